#include "raster/distortion_warp.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/inverse_bilinear.h"

namespace {

std::vector<uint8_t> ramp(int32_t w, int32_t h) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(10 + i);
  return p;
}

TEST(DistortBuffer, RectangleOntoItselfCopiesAllButTheLastRowAndColumn) {
  const int32_t w = 10, h = 8;
  const auto src = ramp(w, h);
  // The same with the quadrilateral itself and with percentage 0 pulling an
  // unrelated quadrilateral back onto the rectangle.
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<uint8_t> dst(src.size(), 7);
    if (pass == 0) {
      EXPECT_EQ(X_distort_buffer(0, h, w, src.data(), 0, nullptr, h, w, dst.data(), 0, 0, 9, 0, 9,
                                 7, 0, 7, 0, 0, 9, 7, 100),
                0);
    } else {
      EXPECT_EQ(X_distort_buffer(0, h, w, src.data(), 0, nullptr, h, w, dst.data(), 3, 1, 6, 2, 8,
                                 5, 1, 6, 0, 0, 9, 7, 0),
                0);
    }
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        if (x < w - 1 && y < h - 1) {
          ASSERT_EQ(dst[i], src[i]) << pass << ": " << x << "," << y;
        } else {
          ASSERT_EQ(dst[i], 7) << pass << ": " << x << "," << y;
        }
      }
    }
  }
}

TEST(DistortBuffer, BlendMaskAndPixelModes) {
  const int32_t w = 4, h = 4;
  std::vector<uint8_t> src(16, 200), mask(16, 255);
  std::vector<uint8_t> dst(16, 50);
  // Blend 1 with a full mask keeps the destination, blend 2 takes the source.
  X_distort_buffer(0, h, w, src.data(), 1, mask.data(), h, w, dst.data(), 0, 0, 3, 0, 3, 3, 0, 3, 0,
                   0, 3, 3, 100);
  EXPECT_EQ(dst[0], 50);
  X_distort_buffer(0, h, w, src.data(), 2, mask.data(), h, w, dst.data(), 0, 0, 3, 0, 3, 3, 0, 3, 0,
                   0, 3, 3, 100);
  EXPECT_EQ(dst[0], 200);
  // Half mask: (50*128 + 200*127) / 255 truncated.
  std::fill(dst.begin(), dst.end(), 50);
  std::fill(mask.begin(), mask.end(), 128);
  X_distort_buffer(0, h, w, src.data(), 1, mask.data(), h, w, dst.data(), 0, 0, 3, 0, 3, 3, 0, 3, 0,
                   0, 3, 3, 100);
  EXPECT_EQ(dst[5], (50 * 128 + 200 * 127) / 255);

  // Long pixels are copied whole; an unknown pixel mode writes nothing.
  std::vector<uint32_t> lsrc(16), ldst(16, 0xDEADBEEFu);
  for (uint32_t i = 0; i < 16; ++i) lsrc[i] = 0x01020300u + i;
  X_distort_buffer(1, h, w, lsrc.data(), 0, nullptr, h, w, ldst.data(), 0, 0, 3, 0, 3, 3, 0, 3, 0,
                   0, 3, 3, 100);
  EXPECT_EQ(ldst[5], lsrc[5]);
  EXPECT_EQ(ldst[15], 0xDEADBEEFu);
  std::fill(dst.begin(), dst.end(), 9);
  X_distort_buffer(2, h, w, src.data(), 0, nullptr, h, w, dst.data(), 0, 0, 3, 0, 3, 3, 0, 3, 0, 0,
                   3, 3, 100);
  EXPECT_EQ(dst[0], 9);
}

TEST(DistortBuffer, MirroredQuadAndOverhangingSourceRectangle) {
  const int32_t w = 5, h = 1 + 4;
  const auto src = ramp(w, h);
  std::vector<uint8_t> dst(src.size(), 0);
  // Corners P0/P1 swapped left-right: each row comes out mirrored.
  X_distort_buffer(0, h, w, src.data(), 0, nullptr, h, w, dst.data(), 4, 0, 0, 0, 0, 4, 4, 4, 0, 0,
                   4, 4, 100);
  // Row 0: x = 0..3 are written; x = 4 is the excluded border.
  EXPECT_EQ(dst[0], src[4]);
  EXPECT_EQ(dst[1], src[3]);
  EXPECT_EQ(dst[3], src[1]);

  // A source rectangle twice the plane's width samples the last column
  // instead of reading past the row.
  std::vector<uint8_t> out(100, 0);
  X_distort_buffer(0, h, w, src.data(), 0, nullptr, 10, 10, out.data(), 0, 0, 9, 0, 9, 4, 0, 4, 0,
                   0, 9, 4, 100);
  EXPECT_EQ(out[8], src[4]);
  EXPECT_EQ(out[2], src[2]);
}

TEST(DistortBuffer, ZeroDiscriminantIsSkipped) {
  double r = -1.0;
  // K r^2 - b r - c with b^2 + 4Kc == 0.
  EXPECT_FALSE(raster_detail::SolvePatchRoot(4, 4, -1, &r));
  EXPECT_FALSE(raster_detail::SolvePatchRoot(0, 0, 5, &r));
  EXPECT_TRUE(raster_detail::SolvePatchRoot(0, 10, -3, &r));
  EXPECT_DOUBLE_EQ(r, 0.3);
  // The second root is taken when the first lies outside 0..1.
  EXPECT_TRUE(raster_detail::SolvePatchRoot(2, 1, 1, &r));
  EXPECT_DOUBLE_EQ(r, 1.0);
}

TEST(GridBuffer, MissingCellsAndOversizedMapsAreRefused) {
  std::vector<float> nx(4, 0.0f), ny(4, 0.0f);
  std::vector<uint16_t> xm(kCoordinateMapEntries, 1), ym(kCoordinateMapEntries, 1);
  EXPECT_EQ(X_Grid_buffer(1, 0, 1, 1, nullptr, nullptr, 10, 10, nullptr, xm.data(), ym.data(), 0, 1,
                          nx.data(), ny.data(), 0, 0, 1, 1, 1.0f, 1.0f, 100),
            -1);
  EXPECT_EQ(X_Grid_buffer(1, 0, 1, 1, nullptr, nullptr, 10, 10, nullptr, xm.data(), ym.data(), 1, 0,
                          nx.data(), ny.data(), 0, 0, 1, 1, 1.0f, 1.0f, 100),
            -1);
  // 501 x 500 does not fit the 500 x 500 maps.
  EXPECT_EQ(X_Grid_buffer(1, 0, 1, 1, nullptr, nullptr, 500, 501, nullptr, xm.data(), ym.data(), 1,
                          1, nx.data(), ny.data(), 0, 0, 1, 1, 1.0f, 1.0f, 100),
            -1);
  for (size_t i = 0; i < xm.size(); i += 997) ASSERT_EQ(xm[i], 1);
}

TEST(GridBuffer, RegularLatticeMapsToNeutralAndCopiesCells) {
  // 2 x 2 cells over a 9 x 9 source, lattice nodes at 0, 4 (rounded), 8.
  const int32_t w = 9, h = 9;
  const float xs[9] = {0, 4, 8, 0, 4, 8, 0, 4, 8};
  const float ys[9] = {0, 0, 0, 4, 4, 4, 8, 8, 8};
  std::vector<uint16_t> xm(kCoordinateMapEntries, 1), ym(kCoordinateMapEntries, 1);
  EXPECT_EQ(X_Grid_buffer(1, 0, h, w, nullptr, nullptr, h, w, nullptr, xm.data(), ym.data(), 2, 2,
                          xs, ys, 0, 0, 8, 8, 1.0f, 1.0f, 100),
            0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      ASSERT_EQ(xm[y * w + x], kGridMapNeutral) << x << "," << y;
      ASSERT_EQ(ym[y * w + x], kGridMapNeutral) << x << "," << y;
    }
  }
  // Beyond the destination the reset value stays.
  EXPECT_EQ(xm[kCoordinateMapEntries - 1], kGridMapNeutral);

  const auto src = ramp(w, h);
  std::vector<uint8_t> dst(src.size(), 3);
  EXPECT_EQ(X_Grid_buffer(0, 0, h, w, src.data(), nullptr, h, w, dst.data(), nullptr, nullptr, 2, 2,
                          xs, ys, 0, 0, 8, 8, 1.0f, 1.0f, 100),
            0);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(dst[y * w + x], src[y * w + x]) << x << "," << y;
  }
  EXPECT_EQ(dst[8], 3);
}

TEST(GridBuffer, ShiftedLatticeWritesTheDisplacementInEighthsOf1024) {
  // One cell; the lattice is the source square moved 2 right and 1 down, so
  // each pixel reads 2 left and 1 up: 8192 - 256 and 8192 - 128. The scale
  // halves node values held at twice the pixel size.
  const float xs[4] = {4, 12, 4, 12};
  const float ys[4] = {2, 2, 10, 10};
  std::vector<uint16_t> xm(kCoordinateMapEntries, 0), ym(kCoordinateMapEntries, 0);
  EXPECT_EQ(X_Grid_buffer(2, 0, 8, 8, nullptr, nullptr, 8, 8, nullptr, xm.data(), ym.data(), 1, 1,
                          xs, ys, 0, 0, 4, 4, 2.0f, 2.0f, 100),
            0);
  EXPECT_EQ(xm[2 * 8 + 3], 8192 - 256);
  EXPECT_EQ(ym[2 * 8 + 3], 8192 - 128);
  EXPECT_EQ(xm[0], 0);  // mode 2 does not reset
}

}  // namespace

namespace {

TEST(DistortBufcol, IdentityQuadCopiesAllButTheLastRowAndColumnInEveryMode) {
  const int32_t w = 6, h = 5;
  for (int16_t mode = 0; mode < 4; ++mode) {
    const int32_t bytes = mode == 0 ? 4 : mode == 1 ? 2 : 1;
    const auto src = ramp(w * bytes, h);
    std::vector<uint8_t> dst(src.size(), 7);
    EXPECT_EQ(X_distort_bufcol(mode, h, w, src.data(), h, w, dst.data(), 0, 0, w - 1, 0, w - 1,
                               h - 1, 0, h - 1, 0, 0, w - 1, h - 1, 0, 100),
              0);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        for (int32_t b = 0; b < bytes; ++b) {
          const size_t i = (static_cast<size_t>(y) * w + x) * bytes + b;
          const bool copied = mode < 3 && x < w - 1 && y < h - 1;
          ASSERT_EQ(dst[i], copied ? src[i] : 7) << mode << ": " << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
