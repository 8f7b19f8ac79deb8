// Texture tiling, framing, placement and the geometric operations: exact
// samples of small planes.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "operations/effects.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Ramp(int32_t w, int32_t h, int32_t step = 3) {
  Plane p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>(i * step + 1);
  return p;
}

TEST(LoadTexture, RefusesEmptyTexturesAndAnchorsAtTheRegion) {
  const int32_t w = 9, h = 4;
  Plane plane = Ramp(w, h);
  const Plane before = plane;
  const unsigned char tex[6] = {10, 20, 30, 40, 50, 60};  // 3 x 2
  EXPECT_EQ(Effects::LoadTexture(0, 255, plane.data(), tex, 1, 1, nullptr, h, w, 0, 0, 8, 3, 0,
                                 2, 0, 0),
            -1);
  EXPECT_EQ(Effects::LoadTexture(0, 255, plane.data(), tex, 1, 1, nullptr, h, w, 0, 0, 8, 3, 3,
                                 -2, 0, 0),
            -1);
  EXPECT_EQ(plane, before);
  // Column 0 of the texture falls on x = 5, row 0 on y = 1.
  ASSERT_EQ(Effects::LoadTexture(0, 255, plane.data(), tex, 1, 1, nullptr, h, w, 5, 1, 8, 3, 3,
                                 2, 0, 0),
            0);
  const unsigned char row1[4] = {10, 20, 30, 10}, row2[4] = {40, 50, 60, 40};
  for (int32_t x = 5; x < 9; ++x) {
    EXPECT_EQ(plane[1 * w + x], row1[x - 5]);
    EXPECT_EQ(plane[2 * w + x], row2[x - 5]);
    EXPECT_EQ(plane[3 * w + x], row1[x - 5]);
  }
  EXPECT_EQ(plane[1 * w + 4], before[1 * w + 4]);
  EXPECT_EQ(plane[0 * w + 6], before[0 * w + 6]);
}

TEST(LoadTexture, OneTexelThroughTheKernelAndEveryForm) {
  const int32_t w = 4, h = 3, n = w * h;
  Plane plane(n, 100);
  const unsigned char texel[4] = {60, 70, 80, 90};
  // Blend mode 1 is the kernel's sum: 100 + 60, at half opacity.
  ASSERT_EQ(Effects::LoadTexture(1, 128, plane.data(), texel, 1, 4, nullptr, h, w, 0, 0, 9, 9, 1,
                                 1, 0, 0),
            0);
  for (unsigned char v : plane) EXPECT_EQ(v, (127 * 100 + 128 * 160) / 255);
  // Planar with 4-byte texels: k written only with flag 0.
  Plane r(n, 0), g(n, 0), b(n, 0), k(n, 0);
  ASSERT_EQ(Effects::LoadTexture(0, 255, r.data(), g.data(), b.data(), k.data(), texel, 1,
                                 nullptr, h, w, 0, 0, 3, 2, 1, 1, 0, 0),
            0);
  EXPECT_EQ(r[5], 60);
  EXPECT_EQ(g[5], 70);
  EXPECT_EQ(b[5], 80);
  EXPECT_EQ(k[5], 0);
  ASSERT_EQ(Effects::LoadTexture(0, 255, r.data(), g.data(), b.data(), k.data(), texel, 0,
                                 nullptr, h, w, 0, 0, 3, 2, 1, 1, 0, 0),
            0);
  EXPECT_EQ(k[5], 90);
  // Grey of three texture planes.
  const unsigned char tr = 10, tg = 20, tb = 61;
  ASSERT_EQ(Effects::LoadTexture(0, 255, plane.data(), &tr, &tg, &tb, nullptr, h, w, 0, 0, 3, 2,
                                 1, 1),
            0);
  EXPECT_EQ(plane[7], 30);
}

TEST(LoadTexture, ReliefOfAFlatTextureHalvesTheInterior) {
  const int32_t w = 12, h = 10;
  Plane plane(static_cast<size_t>(w) * h, 180);
  const unsigned char texel = 200;
  ASSERT_EQ(Effects::LoadTexture(0, 255, plane.data(), &texel, 1, 1, nullptr, h, w, 0, 0, w - 1,
                                 h - 1, 1, 1, 45, 5),
            0);
  // A flat texture embosses to mid-grey away from the rim: 180 x 128 / 255
  // = 90, then the texture in blend mode 8: 90 + 165 x 90 x 72 / 32640.
  EXPECT_EQ(plane[5 * w + 6], 122);
  EXPECT_EQ(Effects::LoadTexture(0, 255, plane.data(), &texel, 1, 1, nullptr, h, w, 0, 0, w - 1,
                                 h - 1, 0, 1, 45, 5),
            -1);
}

TEST(LoadInFrame, FullBoxTexturesOnlyTheRimEmptyBoxEverything) {
  const int32_t w = 8, h = 6;
  const unsigned char tex = 200;
  // Box 100: the open box spans the region, so only its outer rows and
  // columns take the texture. A null mask is full strength.
  Plane full(static_cast<size_t>(w) * h, 50);
  ASSERT_EQ(Effects::LoadInFrame(full.data(), &tex, nullptr, h, w, 0, 255, 100, 100, 0, 0, 0, 0,
                                 w - 1, h - 1, 1, 1),
            0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const bool rim = x == 0 || y == 0 || x == w - 1 || y == h - 1;
      if (rim) EXPECT_EQ(full[y * w + x], 200) << x << "," << y;
      else EXPECT_NE(full[y * w + x], 200) << x << "," << y;
    }
  }
  Plane none(static_cast<size_t>(w) * h, 50);
  ASSERT_EQ(Effects::LoadInFrame(none.data(), &tex, nullptr, h, w, 0, 255, 0, 0, 0, 0, 0, 0,
                                 w - 1, h - 1, 1, 1),
            0);
  for (unsigned char v : none) EXPECT_EQ(v, 200);
  EXPECT_EQ(Effects::LoadInFrame(none.data(), &tex, nullptr, h, w, 0, 255, 0, 0, 0, 0, 0, 0,
                                 w - 1, h - 1, 0, 1),
            -1);
}

TEST(PlaceBuf, NegativeLeftAndTopPlaceTheStampsInsidePart) {
  const int32_t w = 4, h = 3;
  Plane r(12, 0), g(12, 0), b(12, 0);
  const unsigned char stamp[6] = {255, 255, 255, 255, 0, 255};  // 3 wide, 2 high
  ASSERT_EQ(Effects::PlaceBuf(0, 255, r.data(), g.data(), b.data(), nullptr, h, w, stamp, 2, 3,
                              -1, -1, 9, 8, 7),
            0);
  // Only stamp row 1, columns 1 and 2 land, on (0, 0) and (1, 0).
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(g[1], 8);
  EXPECT_EQ(b[1], 7);
  for (size_t i = 2; i < 12; ++i) EXPECT_EQ(r[i], 0);
}

TEST(Geometry, NeutralSettingsChangeNothing) {
  const int32_t w = 7, h = 5;
  const Plane before = Ramp(w, h);
  Plane p = before;
  EXPECT_EQ(Effects::Twirl(0, 255, p.data(), nullptr, h, w, 0, 0, w, h, 0, 50, 50), 0);
  EXPECT_EQ(Effects::Flip(0, 255, p.data(), h, w, 0, 0, w, h, 0, 0, 0, 0, nullptr), 0);
  EXPECT_EQ(Effects::Mosaic(0, 255, p.data(), h, w, 0, 0, w, h, nullptr, 1, 1), 0);
  EXPECT_EQ(Effects::Offset(p.data(), h, w, 0, 0, w, h, 0, 0, 1), 0);
  const Plane map(p.size(), 128);
  EXPECT_EQ(Effects::Displace(0, 255, p.data(), map.data(), h, w, 0, 0, w, h, 1, nullptr, 40, 40,
                              128),
            0);
  EXPECT_EQ(Effects::DisplaceXY(0, 255, p.data(), map.data(), map.data(), 2, 2, nullptr, h, w, 0,
                                0, w, h, 1, 40, 40, 128),
            0);
  EXPECT_EQ(p, before);
  EXPECT_EQ(Effects::DisplaceXY(0, 255, p.data(), map.data(), map.data(), 0, 2, nullptr, h, w, 0,
                                0, w, h, 1, 40, 40, 100),
            -1);
  EXPECT_EQ(Effects::Mosaic(0, 255, p.data(), h, w, 0, 0, w, h, nullptr, 0, 1), -1);
  EXPECT_EQ(p, before);
}

TEST(Geometry, FlipMirrorAndMosaicMoveSamplesExactly) {
  const int32_t w = 10, h = 4;
  const Plane src = Ramp(w, h);
  Plane p = src;
  ASSERT_EQ(Effects::Flip(0, 255, p.data(), h, w, 0, 0, w, h, 1, 1, 0, 0, nullptr), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) EXPECT_EQ(p[y * w + x], src[(h - 1 - y) * w + (w - 1 - x)]);
  p = src;
  ASSERT_EQ(Effects::Mirror(0, 255, p.data(), h, w, 0, 0, 9, h - 1, 0, 0, nullptr), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t k = 0; k <= 4; ++k) EXPECT_EQ(p[y * w + 5 + k], src[y * w + 5 - k]);
  p = src;
  // The diagonal folds refuse one-column regions.
  EXPECT_EQ(Effects::Mirror(0, 255, p.data(), h, w, 3, 0, 3, h - 1, 4, 0, nullptr), -1);
  EXPECT_EQ(p, src);
  ASSERT_EQ(Effects::Mosaic(0, 255, p.data(), h, w, 0, 0, w, h, nullptr, 2, 2), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) EXPECT_EQ(p[y * w + x], src[(y & ~1) * w + (x & ~1)]);
}

// The mirror kinds written from their table, in place on a copy of the
// plane: kinds 1 and 3 count from column and row 0, and the folds take row 0
// where a column or row of theirs has no extent.
Plane MirrorReference(const Plane& src, int32_t w, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int kind) {
  Plane W = src;
  auto at = [&](int32_t x, int32_t y) -> unsigned char& { return W[y * w + x]; };
  const auto xm = static_cast<int32_t>(static_cast<float>(x0 + x1) * 0.5f + 0.5f);
  const auto ym = static_cast<int32_t>(static_cast<float>(y0 + y1) * 0.5f + 0.5f);
  const int32_t wx = x1 - x0, hy = y1 - y0;
  for (int32_t y = y0; y <= y1; ++y) {
    if (kind == 0)
      for (int32_t k = 0; xm + k <= x1; ++k) at(xm + k, y) = at(xm - k, y);
    if (kind == 1)
      for (int32_t k = 0; k <= xm - 1; ++k) at(k, y) = at(x1 - k, y);
  }
  for (int32_t x = x0; x <= x1; ++x) {
    if (kind == 2)
      for (int32_t k = 0; ym + k <= y1; ++k) at(x, ym + k) = at(x, ym - k);
    if (kind == 3)
      for (int32_t k = 0; k <= ym - 1; ++k) at(x, k) = at(x, y1 - k);
  }
  for (int32_t k = 0; kind == 5 && k <= hy; ++k) {
    const int32_t y = y0 + k, xd = x0 + wx * k / hy;
    for (int32_t x = x0; x <= xd; ++x)
      at(x, y) = xd == x0 ? at(x0, 0) : at(xd, y0 + (x - x0) * k / (xd - x0));
  }
  for (int32_t k = 0; (kind == 4 || kind == 6 || kind == 7) && k <= wx; ++k) {
    const int32_t x = x0 + k;
    if (kind == 4) {
      const int32_t yd = y0 + hy * k / wx;
      for (int32_t y = y0; y <= yd; ++y)
        at(x, y) = yd == y0 ? at(x0, 0) : at(x0 + (y - y0) * k / (yd - y0), yd);
    } else if (kind == 6) {
      const int32_t yd = y1 - k * hy / wx;
      for (int32_t y = y0; y <= yd; ++y)
        at(x, y) = yd == y0 ? at(x1, 0) : at(x1 - (y - y0) * (wx - k) / (yd - y0), yd);
    } else {
      const int32_t d = hy * k / wx;
      for (int32_t y = y1 - d; y <= y1; ++y)
        at(x, y) = d == 0 ? at(x0, 0) : at(x0 + (d * k - (y - y1 + d) * k) / d, y1 - d);
    }
  }
  Plane out = src;  // only the region is blended back
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) out[y * w + x] = W[y * w + x];
  return out;
}

TEST(Geometry, MirrorOnARegionOffTheCorner) {
  const int32_t w = 12, h = 10;
  Plane src(w * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) src[y * w + x] = static_cast<unsigned char>(y * 16 + x + 1);
  auto o = [&](int32_t x, int32_t y) { return src[y * w + x]; };
  auto mirror = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t kind) {
    Plane p = src;
    EXPECT_EQ(Effects::Mirror(0, 255, p.data(), h, w, x0, y0, x1, y1, kind, 0, nullptr), 0);
    return p;
  };
  // Kind 1 on columns 4..9 (middle 7): columns 0..6 take 9 - k in turn, so
  // column 4 takes 5, column 5 takes what column 4 now holds (5 again), and
  // column 6 what column 3 took from 6: 5 5 6 7 8 9.
  Plane p = mirror(4, 2, 9, 5, 1);
  for (int32_t y = 2; y <= 5; ++y) {
    const unsigned char want[6] = {o(5, y), o(5, y), o(6, y), o(7, y), o(8, y), o(9, y)};
    for (int32_t x = 4; x <= 9; ++x) EXPECT_EQ(p[y * w + x], want[x - 4]) << x << "," << y;
  }
  EXPECT_EQ(p[2 * w + 3], o(3, 2));  // outside the region nothing changes
  // Kind 3 on rows 3..7 (middle 5): 4 4 5 6 7 the same way.
  p = mirror(1, 3, 8, 7, 3);
  for (int32_t x = 1; x <= 8; ++x) {
    const unsigned char want[5] = {o(x, 4), o(x, 4), o(x, 5), o(x, 6), o(x, 7)};
    for (int32_t y = 3; y <= 7; ++y) EXPECT_EQ(p[y * w + x], want[y - 3]) << x << "," << y;
  }
  // Kind 4 on 2,3 .. 10,6: the first three columns reach no lower row in
  // the top row of the region and take column 2 of row 0; column 5 reaches
  // row 4 and its top sample comes from column 2 of it.
  p = mirror(2, 3, 10, 6, 4);
  EXPECT_EQ(p[3 * w + 2], o(2, 0));
  EXPECT_EQ(p[3 * w + 3], o(2, 0));
  EXPECT_EQ(p[3 * w + 4], o(2, 0));
  EXPECT_EQ(p[3 * w + 5], o(2, 4));
  EXPECT_EQ(p[4 * w + 5], o(5, 4));
  // Every kind on regions off the corner, wide and tall, equals the table.
  struct Region {
    int32_t x0, y0, x1, y1;
  };
  for (const Region& r : {Region{4, 2, 9, 5}, Region{1, 3, 8, 7}, Region{2, 3, 10, 6},
                          Region{3, 1, 6, 9}, Region{5, 4, 11, 9}})
    for (int16_t kind = 0; kind <= 8; ++kind)
      EXPECT_EQ(mirror(r.x0, r.y0, r.x1, r.y1, kind),
                MirrorReference(src, w, r.x0, r.y0, r.x1, r.y1, kind))
          << "kind " << kind << " region " << r.x0 << "," << r.y0 << " " << r.x1 << "," << r.y1;
}

TEST(Geometry, DeinterlaceDuplicatesAndOffsetWrapsOneRowShort) {
  const int32_t w = 3, h = 10;
  const Plane src = Ramp(w, h);
  Plane p = src;
  ASSERT_EQ(Effects::DeInterlace(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 0, 0), 0);
  for (int32_t r = 0; r < h - 1; r += 2)
    for (int32_t x = 0; x < w; ++x) EXPECT_EQ(p[r * w + x], src[(r + 1) * w + x]);
  p = src;
  // One row up on rows 0..9: row 9 reads row 10, which wraps by 9 to row 1.
  ASSERT_EQ(Effects::Offset(p.data(), h, w, 0, 0, w - 1, h - 1, 0, 1, 1), 0);
  for (int32_t x = 0; x < w; ++x) {
    EXPECT_EQ(p[9 * w + x], src[1 * w + x]);
    EXPECT_EQ(p[0 * w + x], src[1 * w + x]);
  }
  // A shift many times the region's height still reads inside it.
  p = src;
  ASSERT_EQ(Effects::Offset(p.data(), h, w, 0, 0, w - 1, h - 1, 0, 9 * 1000 + 2, 1), 0);
  EXPECT_EQ(p[0], src[2 * w]);
  // A one-column region reads its only column, whatever the shift.
  p = src;
  ASSERT_EQ(Effects::Offset(p.data(), h, w, 1, 0, 1, h - 1, 7, 0, 1), 0);
  EXPECT_EQ(p, src);
}

TEST(Geometry, KaleidoscopeOfAFlatPlaneStaysFlatAndRefusesEmptyTiles) {
  // The region is rescaled into the tile, shrunk or (the render's 999 x 999) enlarged: every
  // level stays exactly as it was (the shrink used to take a unit or more off).
  for (const auto& [w, h] : {std::pair{20, 14}, std::pair{300, 200}})
    for (const int v : {0, 1, 77, 200, 255})
      for (const auto& [tw, th] : {std::pair{8, 6}, std::pair{37, 23}, std::pair{999, 999}}) {
        Plane p(static_cast<size_t>(w) * h, static_cast<unsigned char>(v));
        ASSERT_EQ(Effects::Kaleido(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, tw, th, 3,
                                   -40),
                  0);
        EXPECT_EQ(p, Plane(p.size(), static_cast<unsigned char>(v)))
            << w << "x" << h << " level " << v << " tile " << tw << "x" << th;
      }
  const int32_t w = 20, h = 14;
  Plane p(static_cast<size_t>(w) * h, 77);
  EXPECT_EQ(Effects::Kaleido(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 0, 6, 3, 4),
            -1);
}

TEST(Geometry, TransformCoversTheRegionAndShiftsWrapWhole) {
  const int32_t w = 6, h = 5;
  const Plane src = Ramp(w, h);  // no sample is 9
  Plane a = src;
  ASSERT_EQ(Effects::Transform(0, 255, a.data(), h, w, 0, 0, w, h, 0, 0, 100, 100, 0, 9, 0,
                               nullptr),
            0);
  // Unturned at 100 %, the box covers the region: no fill shows.
  for (unsigned char v : a) EXPECT_NE(v, 9);
  EXPECT_EQ(a[0], src[0]);
  // Shifts of whole multiples of the region's size, however large, wrap
  // back onto themselves.
  Plane b = src;
  ASSERT_EQ(Effects::Transform(0, 255, b.data(), h, w, 0, 0, w, h, 6 * 50, 5 * 70, 100, 100, 0,
                               9, 0, nullptr),
            0);
  EXPECT_EQ(a, b);
  // Half size: the uncovered band takes the fill.
  Plane c = src;
  ASSERT_EQ(Effects::Transform(0, 255, c.data(), h, w, 0, 0, w, h, 0, 0, 50, 50, 0, 9, 0,
                               nullptr),
            0);
  EXPECT_EQ(c[0], 9);
  EXPECT_EQ(c[w - 1], 9);
}

}  // namespace
