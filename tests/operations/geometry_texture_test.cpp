// Texture tiling, framing, placement and the geometric operations: exact
// samples of small planes.
#include <gtest/gtest.h>

#include <cstdint>
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
  const int32_t w = 20, h = 14;
  Plane p(static_cast<size_t>(w) * h, 77);
  ASSERT_EQ(Effects::Kaleido(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 8, 6, 3, -40),
            0);
  // The shrink into the tile may lose a unit to truncation, evenly.
  EXPECT_EQ(p, Plane(p.size(), p[0]));
  EXPECT_NEAR(p[0], 77, 1);
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
