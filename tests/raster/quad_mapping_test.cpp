#include "raster/quad_mapping.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <vector>

#include "raster/warp_frame_record.h"

namespace {

constexpr int32_t kMap = 500 * 500;

TEST(QuadToQuadMaps, QuadOntoItselfIsNeutralOverItsWholeArea) {
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  const int32_t w = 20, h = 20;
  QuadToQuad(h, w, xm.data(), ym.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0, 0, 9, 0, 9, 9, 0, 9);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint16_t expect = (x <= 9 && y <= 9) ? kQuadMapNeutral : 1;
      ASSERT_EQ(xm[y * w + x], expect) << x << "," << y;
      ASSERT_EQ(ym[y * w + x], expect) << x << "," << y;
    }
  }
  // The edge-sized lattice gives the same.
  std::vector<uint16_t> xm1(kMap, 1), ym1(kMap, 1);
  QuadToQuad1(h, w, 0, 0, xm1.data(), ym1.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0, 0, 9, 0, 9, 9, 0, 9);
  EXPECT_EQ(xm1, xm);
  EXPECT_EQ(ym1, ym);
}

TEST(QuadToQuadMaps, TranslationAndClippingToTheDestination) {
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  const int32_t w = 8, h = 8;
  // B is A moved 3 right and 2 down and hangs over the right edge.
  QuadToQuad(h, w, xm.data(), ym.data(), 2, 0, 8, 0, 8, 4, 2, 4, 5, 2, 11, 2, 11, 6, 5, 6);
  EXPECT_EQ(xm[2 * w + 5], kQuadMapNeutral - 3 * 128);
  EXPECT_EQ(ym[2 * w + 5], kQuadMapNeutral - 2 * 128);
  EXPECT_EQ(xm[6 * w + 7], kQuadMapNeutral - 3 * 128);
  EXPECT_EQ(xm[2 * w + 4], 1);
  EXPECT_EQ(xm[7 * w + 7], 1);
  // Nothing past the destination rows was touched.
  EXPECT_EQ(xm[8 * w], 1);
}

TEST(QuadToQuadMaps, SinglePixelQuadsAndOversizedMapsWriteNothing) {
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  QuadToQuad(10, 10, xm.data(), ym.data(), 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4);
  QuadToQuad1(10, 10, 0, 0, xm.data(), ym.data(), 3, 3, 3, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4);
  // 600 x 500 does not fit the 500 x 500 maps.
  QuadToQuad(500, 600, xm.data(), ym.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0, 0, 9, 0, 9, 9, 0, 9);
  for (size_t i = 0; i < xm.size(); ++i) ASSERT_EQ(xm[i], 1) << i;
}

TEST(QuadToQuadDisplacement, EntriesOnlyWhereTheSourceLiesInThePlane) {
  const int32_t w = 6, h = 6;
  std::vector<uint32_t> xs(w * h, 7), ys(w * h, 7);
  std::vector<uint32_t*> xr, yr;
  for (int32_t r = 0; r < h; ++r) {
    xr.push_back(xs.data() + r * w);
    yr.push_back(ys.data() + r * w);
  }
  // Source 2 to the left of the destination; its left column is off the plane.
  EXPECT_EQ(QuadToQuadDisRea(h, w, xr.data(), yr.data(), -2, 0, 3, 0, 3, 5, -2, 5, 0, 0, 5, 0, 5, 5,
                             0, 5),
            8);
  EXPECT_EQ(xs[1 * w + 3], 327680000u - 256u);  // reads 2 pixels to the left
  EXPECT_EQ(ys[1 * w + 3], 327680000u);
  EXPECT_EQ(xs[1 * w + 1], 7u);  // its source (-1) is outside
}

// Corners the grid warp's smoothed mesh once gave a preview from typed node
// values: a lattice side of about ten million, whose walk never ended. Such a
// quad lays nothing, and corners 2^32 apart measure without overflowing.
TEST(QuadToQuadDisplacement, CornersMillionsOfPixelsOutLayNothing) {
  const int32_t w = 500, h = 500;
  std::vector<uint32_t> xs(w * h, 7), ys(w * h, 7);
  std::vector<uint32_t*> xr, yr;
  for (int32_t r = 0; r < h; ++r) {
    xr.push_back(xs.data() + r * w);
    yr.push_back(ys.data() + r * w);
  }
  EXPECT_EQ(QuadToQuadDisRea(h, w, xr.data(), yr.data(), 219, 103, 234, 103, 234, 113, 219, 113,
                             -7419, -166, -225329, -417, 10284642, -177, 441182, 543),
            10509972);
  EXPECT_EQ(QuadToQuadDisReaRows(0, 250, h, w, xr.data(), yr.data(), 219, 103, 234, 103, 234, 113,
                                 219, 113, -7419, -166, -225329, -417, 10284642, -177, 441182, 543),
            10509972);
  EXPECT_EQ(QuadToQuadDisRea(h, w, xr.data(), yr.data(), 0, 0, 9, 0, 9, 9, 0, 9, INT32_MIN,
                             INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN,
                             INT32_MAX),
            INT32_MAX);
  for (size_t i = 0; i < xs.size(); ++i) ASSERT_TRUE(xs[i] == 7u && ys[i] == 7u) << i;
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  QuadToQuad1(h, w, 0, 0, xm.data(), ym.data(), 0, 0, 9, 0, 9, 9, 0, 9, -7419, -166, -225329, -417,
              10284642, -177, 441182, 543);
  for (size_t i = 0; i < xm.size(); ++i) ASSERT_TRUE(xm[i] == 1 && ym[i] == 1) << i;
}

struct Rgb {
  explicit Rgb(int32_t n, uint8_t v) : r(n, v), g(n, v), b(n, v) {}
  std::vector<uint8_t> r, g, b;
};

// A cell a pixel across and 3000 long (a grid cell over a picture one pixel wide or high) has
// a lattice of 3000 x 3000 points for its 3000 pixels: the maps and the planes are laid
// working out a few points a pixel, not all of them.
TEST(QuadToQuadDisplacement, AThinCellWorksOutAFewPointsAPixel) {
  const int32_t length = 3000;
  for (const bool upright : {true, false}) {
    const int32_t w = upright ? 1 : length, h = upright ? length : 1;
    auto quad = [&](int32_t bend, int32_t* q) {
      const int32_t across[4] = {0, 1, 1, 0}, along[4] = {bend, 0, length - 1, length - 1 - bend};
      for (int k = 0; k < 4; ++k) {
        q[2 * k] = upright ? across[k] : along[k];
        q[2 * k + 1] = upright ? along[k] : across[k];
      }
    };
    int32_t a[8], b[8];
    quad(0, a);
    for (const int32_t bend : {0, 40}) {
      quad(bend, b);
      std::vector<uint32_t> xs(static_cast<size_t>(length), 7), ys(static_cast<size_t>(length), 7);
      std::vector<uint32_t*> xr(static_cast<size_t>(h)), yr(static_cast<size_t>(h));
      for (int32_t y = 0; y < h; ++y) {
        xr[static_cast<size_t>(y)] = xs.data() + static_cast<size_t>(y) * w;
        yr[static_cast<size_t>(y)] = ys.data() + static_cast<size_t>(y) * w;
      }
      const int64_t before = QuadWalkPoints();
      QuadToQuadDisRea(h, w, xr.data(), yr.data(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], b[0], b[1],
                       b[2], b[3], b[4], b[5], b[6], b[7]);
      const int64_t maps = QuadWalkPoints() - before;
      EXPECT_LT(maps, 8 * length) << (upright ? "upright" : "flat") << " bend " << bend;
      std::vector<uint8_t> src(static_cast<size_t>(length), 9), dst(static_cast<size_t>(length), 0);
      const int64_t again = QuadWalkPoints();
      QuadBufRGBToQuadBufRGB(h, w, src.data(), src.data(), src.data(), 0, nullptr, h, w, dst.data(), dst.data(),
                             dst.data(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], b[0], b[1], b[2], b[3],
                             b[4], b[5], b[6], b[7]);
      EXPECT_LT(QuadWalkPoints() - again, 8 * length) << (upright ? "upright" : "flat") << " bend " << bend;
    }
  }
}

TEST(QuadBufRGB, IdentityCopiesAndBlendModes) {
  // On a one-row quad the lattice steps by whole pixels, so the identity
  // mapping copies every sample exactly.
  const int32_t w = 10, h = 1;
  Rgb src(w * h, 0);
  for (int32_t i = 0; i < w * h; ++i) {
    src.r[i] = static_cast<uint8_t>(3 * i);
    src.g[i] = static_cast<uint8_t>(200 - i);
    src.b[i] = static_cast<uint8_t>(i * i);
  }
  Rgb dst(w * h, 5);
  const int32_t n = QuadBufRGBToQuadBufRGB(h, w, src.r.data(), src.g.data(), src.b.data(), 0,
                                           nullptr, h, w, dst.r.data(), dst.g.data(), dst.b.data(),
                                           0, 0, 9, 0, 9, 0, 0, 0, 0, 0, 9, 0, 9, 0, 0, 0);
  EXPECT_EQ(n, 10);
  EXPECT_EQ(dst.r, src.r);
  EXPECT_EQ(dst.g, src.g);
  EXPECT_EQ(dst.b, src.b);

  // Blends through a full mask: mode 1 keeps the destination, mode 2 writes
  // the (here uniform) source; a half mask mixes with truncation.
  const int32_t sq = 10 * 10;
  Rgb flat(sq, 200);
  std::vector<uint8_t> mask(sq, 255);
  Rgb keep(sq, 5);
  QuadBufRGBToQuadBufRGB(10, 10, flat.r.data(), flat.g.data(), flat.b.data(), 1, mask.data(), 10,
                         10, keep.r.data(), keep.g.data(), keep.b.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0,
                         0, 9, 0, 9, 9, 0, 9);
  EXPECT_EQ(keep.r, std::vector<uint8_t>(sq, 5));
  QuadBufRGBToQuadBufRGB(10, 10, flat.r.data(), flat.g.data(), flat.b.data(), 2, mask.data(), 10,
                         10, keep.r.data(), keep.g.data(), keep.b.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0,
                         0, 9, 0, 9, 9, 0, 9);
  EXPECT_EQ(keep.r, std::vector<uint8_t>(sq, 200));
  std::fill(mask.begin(), mask.end(), 100);
  Rgb half(sq, 50);
  QuadBufRGBToQuadBufRGB(10, 10, flat.r.data(), flat.g.data(), flat.b.data(), 1, mask.data(), 10,
                         10, half.r.data(), half.g.data(), half.b.data(), 0, 0, 9, 0, 9, 9, 0, 9, 0,
                         0, 9, 0, 9, 9, 0, 9);
  EXPECT_EQ(half.g[55], (50 * 100 + 200 * 155) / 255);
}

TEST(QuadBufRGB, LastColumnAndOverhangingSourceStayInsideThePlane) {
  // A 3 x 1 source stretched over a 7 x 1 destination: the last source column
  // is its own right neighbour.
  const std::vector<uint8_t> s = {0, 100, 200};
  Rgb dst(7 * 2, 9);
  QuadBufRGBToQuadBufRGB(1, 3, s.data(), s.data(), s.data(), 0, nullptr, 2, 7, dst.r.data(),
                         dst.g.data(), dst.b.data(), 0, 0, 2, 0, 2, 0, 0, 0, 0, 0, 6, 0, 6, 0, 0,
                         0);
  EXPECT_EQ(dst.r[0], 0);
  EXPECT_EQ(dst.r[6], 200);
  EXPECT_EQ(dst.r[7], 9);  // second row untouched

  // A source quadrilateral reaching 4 columns past the plane reads its edge.
  Rgb out(7, 9);
  QuadBufRGBToQuadBufRGB(1, 3, s.data(), s.data(), s.data(), 0, nullptr, 1, 7, out.r.data(),
                         out.g.data(), out.b.data(), 0, 0, 6, 0, 6, 0, 0, 0, 0, 0, 6, 0, 6, 0, 0,
                         0);
  EXPECT_EQ(out.r[6], 200);
  EXPECT_EQ(out.r[4], 200);
}

TEST(QuadBufRGB, SinglePixelQuadsWriteNothing) {
  const std::vector<uint8_t> s(4, 50);
  Rgb dst(4, 9);
  EXPECT_EQ(QuadBufRGBToQuadBufRGB(2, 2, s.data(), s.data(), s.data(), 0, nullptr, 2, 2,
                                   dst.r.data(), dst.g.data(), dst.b.data(), 1, 1, 1, 1, 1, 1, 1, 1,
                                   0, 0, 0, 0, 0, 0, 0, 0),
            1);
  std::vector<uint8_t> one(4, 9);
  EXPECT_EQ(QuadBufToQuadBuf(2, 2, s.data(), 0, nullptr, 2, 2, one.data(), 1, 1, 1, 1, 1, 1, 1, 1,
                             0, 0, 0, 0, 0, 0, 0, 0),
            1);
  EXPECT_EQ(dst.r, std::vector<uint8_t>(4, 9));
  EXPECT_EQ(one, std::vector<uint8_t>(4, 9));
}

TEST(QuadBuf, NearestSampleTruncates) {
  // Mirror a 4 x 1 row: destination x takes source trunc(3 - x) along the
  // lattice, so every destination column is reached exactly.
  const std::vector<uint8_t> s = {1, 2, 3, 4};
  std::vector<uint8_t> d(4, 0);
  QuadBufToQuadBuf(1, 4, s.data(), 0, nullptr, 1, 4, d.data(), 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 3, 0,
                   3, 0, 0, 0);
  EXPECT_EQ(d, (std::vector<uint8_t>{4, 3, 2, 1}));
}

// A frame of nx x ny cells over a 10 x 10 area in pixels, both lattices
// regular, y pointing up (row 0 at the top, y = 10).
std::unique_ptr<TCWrap> regularFrame(int16_t nx, int16_t ny) {
  auto f = std::make_unique<TCWrap>();
  f->kind = 1;
  f->width1 = f->height1 = 10.0f;
  f->width2 = f->height2 = 10.0f;
  f->resolution = 72.0f;
  f->columns = nx;
  f->rows = ny;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      const int k = j * (nx + 1) + i;
      f->set1.x[k] = f->set2.x[k] = 10.0f * i / nx;
      f->set1.y[k] = f->set2.y[k] = 10.0f * (ny - j) / ny;
    }
  }
  return f;
}

TEST(GridRecordMaps, RegularFrameIsNeutralAndAMovedLatticeIsDisplaced) {
  auto frame = regularFrame(2, 2);
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  EXPECT_EQ(X_Grinout_buffer(1, 10, 0, 10, 10, xm.data(), ym.data(), frame.get()), 0);
  for (int32_t k = 0; k < 100; ++k) {
    ASSERT_EQ(xm[k], kQuadMapNeutral) << k;
    ASSERT_EQ(ym[k], kQuadMapNeutral) << k;
  }
  EXPECT_EQ(xm[kMap - 1], kQuadMapNeutral);  // mode 1 resets everything

  // The destination lattice 2 to the right and 1 up (y points up): pixels
  // read 2 to the left and 1 further down.
  for (int k = 0; k < 9; ++k) {
    frame->set2.x[k] += 2.0f;
    frame->set2.y[k] += 1.0f;
  }
  std::fill(xm.begin(), xm.end(), 1);
  std::fill(ym.begin(), ym.end(), 1);
  EXPECT_EQ(X_Grinout_buffer(0, 10, 0, 10, 10, xm.data(), ym.data(), frame.get()), 0);
  EXPECT_EQ(xm[4 * 10 + 5], kQuadMapNeutral - 256);
  // -128 + 0.5 truncates toward zero: one step short of a whole pixel.
  EXPECT_EQ(ym[4 * 10 + 5], kQuadMapNeutral + 127);
  EXPECT_EQ(xm[4 * 10 + 1], 1);  // left of the moved lattice; mode 0 keeps it
}

TEST(GridRecordMaps, LatticeSizeInAnotherUnitScalesToThePicture) {
  // One cell of 1 x 1 inch at 10 pixels per inch over a 20 x 20 picture.
  auto frame = regularFrame(1, 1);
  frame->kind = 3;
  frame->resolution = 10.0f;
  frame->width1 = frame->height1 = 1.0f;
  frame->width2 = frame->height2 = 20.0f;
  for (int k = 0; k < 4; ++k) {
    frame->set1.x[k] = frame->set2.x[k] = frame->set1.x[k] / 10.0f;
    frame->set1.y[k] = frame->set2.y[k] = frame->set1.y[k] / 10.0f;
  }
  frame->set2.x[1] = frame->set2.x[3] = 0.5f;  // destination half as wide
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  EXPECT_EQ(X_Grinout_buffer(0, 20, 0, 20, 20, xm.data(), ym.data(), frame.get()), 0);
  EXPECT_EQ(ym[5 * 20 + 5], kQuadMapNeutral);
  // Pixel 5 is last reached by the lattice point at 16/28 of the way: 5.714
  // in the destination, twice that in the source.
  EXPECT_EQ(xm[5 * 20 + 5], kQuadMapNeutral + 730);
  EXPECT_EQ(xm[5 * 20 + 15], 1);  // beyond the destination's half
}

TEST(GridRecordMaps, EmptyOrOversizedRecordsLeaveTheMaps) {
  std::vector<uint16_t> xm(kMap, 1), ym(kMap, 1);
  auto frame = regularFrame(2, 2);
  frame->columns = 0;
  EXPECT_EQ(X_Grinout_buffer(1, 10, 0, 10, 10, xm.data(), ym.data(), frame.get()), -1);
  frame->columns = 101;
  frame->rows = 100;
  EXPECT_EQ(X_Grinout_buffer(1, 10, 0, 10, 10, xm.data(), ym.data(), frame.get()), -1);
  frame = regularFrame(2, 2);
  frame->kind = 9;  // no such unit: the lattice has no size in pixels
  EXPECT_EQ(X_Grinout_buffer(1, 10, 0, 10, 10, xm.data(), ym.data(), frame.get()), -1);
  frame->kind = 1;
  EXPECT_EQ(X_Grinout_buffer(1, 10, 0, 500, 501, xm.data(), ym.data(), frame.get()), -1);
  for (size_t i = 0; i < xm.size(); ++i) ASSERT_EQ(xm[i], 1) << i;
}

}  // namespace
