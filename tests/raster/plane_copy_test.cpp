#include "raster/plane_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "raster/densitometer.h"
#include "raster/rescale.h"
#include "support/pixels.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
using vmktest::Px;
using vmktest::PxByte;

Plane Ramp(int32_t w, int32_t h) {
  Plane p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p[y * w + x] = static_cast<uint8_t>(y * 16 + x);
  return p;
}

TEST(NearestCopy, TenToFiveTakesEveryEvenRowAndColumn) {
  const Plane src = Ramp(10, 10);
  Plane dst(25, 0);
  ASSERT_EQ(BufToBufCharLow_andR(10, 10, src.data(), 5, 5, dst.data(), 0, 0, 10, 10, 0, 0, 5, 5),
            0);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(dst[y * 5 + x], src[(2 * y) * 10 + 2 * x]);
}

TEST(NearestCopy, DestinationOverhangIsSkipped) {
  const Plane src = Ramp(4, 4);
  Plane dst(3 * 3, 0xEE);
  ASSERT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 3, 3, dst.data(), 0, 0, 4, 4, -2, 1, 2, 5), 0);
  // Destination columns -2..1 and rows 1..4 map one to one onto the source.
  const Plane expect = {0xEE, 0xEE, 0xEE, src[2], src[3], 0xEE, src[6], src[7], 0xEE};
  EXPECT_EQ(dst, expect);
}

TEST(NearestCopy, EmptyOrMissingRectanglesWriteNothing) {
  const Plane src = Ramp(4, 4);
  Plane dst(16, 0xEE);
  const Plane untouched = dst;
  // Wholly outside the source plane.
  EXPECT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 4, 4, dst.data(), 5, 0, 8, 4, 0, 0, 4, 4), -1);
  EXPECT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 4, 4, dst.data(), 0, -6, 4, -1, 0, 0, 4, 4), -1);
  // Empty or inverted rectangles.
  EXPECT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 4, 4, dst.data(), 1, 0, 1, 4, 0, 0, 4, 4), -1);
  EXPECT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 4, 4, dst.data(), 0, 0, 4, 4, 0, 3, 4, 1), -1);
  EXPECT_EQ(BufToBufChar_andR(0, 4, 4, src.data(), 4, 4, dst.data(), 0, 0, 4, 4, 2, 0, 2, 4), -1);
  EXPECT_EQ(dst, untouched);
}

TEST(NearestCopy, SourceHangingOverItsPlaneReadsOnlyInside) {
  const Plane src = Ramp(4, 4);
  Plane dst(8 * 8, 0);
  ASSERT_EQ(BufToBufCharLow_andR(4, 4, src.data(), 8, 8, dst.data(), 0, 0, 8, 8, 0, 0, 8, 8), 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(dst[y * 8 + x], src[std::min(y, 3) * 4 + std::min(x, 3)]) << x << "," << y;
}

TEST(NearestCopy, WideAndCombinedPlanes) {
  const std::vector<int16_t> s16 = {-5, 6, 7, 8};
  std::vector<int16_t> d16(16, 0);
  ASSERT_EQ(BufToBufShortLow_andR(2, 2, s16.data(), 4, 4, d16.data(), 0, 0, 2, 2, 0, 0, 4, 4), 0);
  EXPECT_EQ(d16[0], -5);
  EXPECT_EQ(d16[1], -5);
  EXPECT_EQ(d16[2], 6);
  EXPECT_EQ(d16[15], 8);

  const std::vector<uint32_t> s32 = {0x01020304u, 0xA0B0C0D0u};
  std::vector<uint32_t> d32(4, 0);
  ASSERT_EQ(BufToBufLongLow_andR(2, 1, s32.data(), 4, 1, d32.data(), 0, 0, 2, 1, 0, 0, 4, 1), 0);
  EXPECT_EQ(d32, (std::vector<uint32_t>{0x01020304u, 0x01020304u, 0xA0B0C0D0u, 0xA0B0C0D0u}));

  const Plane r = {10, 11}, g = {20, 21}, b = {30, 31};
  std::vector<uint32_t> rgb(2, Px(0, 0, 0, 99));
  ASSERT_EQ(BufToBufMulChartoLongLow_andR(2, 1, r.data(), g.data(), b.data(), 2, 1, rgb.data(), 0,
                                          0, 2, 1, 0, 0, 2, 1),
            0);
  EXPECT_EQ(rgb[1], Px(11, 21, 31, 99));  // byte 3 untouched

  // The char-to-long copy lowers a bottom edge outside the plane to the
  // last row, so a one-row source has nothing left to copy.
  const Plane grey = {7, 200, 1, 2};
  std::vector<uint32_t> wide(2, 0);
  EXPECT_EQ(ChBufToLnBuf(2, 1, grey.data(), 2, 1, wide.data(), 0, 0, 2, 1, 0, 0, 2, 1), -1);
  ASSERT_EQ(ChBufToLnBuf(2, 2, grey.data(), 2, 1, wide.data(), 0, 0, 2, 2, 0, 0, 2, 1), 0);
  EXPECT_EQ(wide[0], Px(7, 7, 7, 7));
  EXPECT_EQ(wide[1], Px(200, 200, 200, 200));
}

TEST(MeanCopy, TwoByTwoMeanTruncates) {
  std::vector<int16_t> d16(1, 0);
  // Samples 1, 2, 2, 2 in the top-left corner of a larger plane (the short
  // copy lowers a right or bottom edge outside the plane to the last row or
  // column).
  const std::vector<int16_t> s16big = {1, 2, 0, 2, 2, 0, 0, 0, 0};
  ASSERT_EQ(BufToBufShort_andR(3, 3, s16big.data(), 1, 1, d16.data(), 0, 0, 2, 2, 0, 0, 1, 1, 8192),
            0);
  EXPECT_EQ(d16[0], 1);

  const std::vector<uint32_t> s32 = {Px(1, 0, 255, 4), Px(2, 1, 255, 4), Px(2, 1, 254, 4),
                                     Px(2, 1, 255, 5)};
  std::vector<uint32_t> d32(1, 0);
  ASSERT_EQ(BufToBufLong_andR(2, 2, s32.data(), 1, 1, d32.data(), 0, 0, 2, 2, 0, 0, 1, 1), 0);
  EXPECT_EQ(d32[0], Px(1, 0, 254, 4));
}

TEST(MeanCopy, SecondSampleStaysInsideTheClippedSource) {
  // Halving 4 -> 2: the second row / column of the last output would be row
  // 4; it is lowered to the last row of the plane.
  std::vector<uint32_t> s32(16);
  for (int32_t i = 0; i < 16; ++i) s32[i] = Px(static_cast<uint8_t>(i * 8), 0, 0, 0);
  std::vector<uint32_t> d32(4, 0);
  ASSERT_EQ(BufToBufLong_andR(4, 4, s32.data(), 2, 2, d32.data(), 0, 0, 4, 4, 0, 0, 2, 2), 0);
  EXPECT_EQ(PxByte(d32[0], 0), (0 + 16 + 64 + 80) / 4);     // rows 0, 2 and columns 0, 2
  EXPECT_EQ(PxByte(d32[3], 0), (80 + 88 + 112 + 120) / 4);  // rows 2, 3 and columns 2, 3
}

TEST(PlainCopies, CopyGreyAndTranspose) {
  const Plane a = Ramp(3, 2);
  Plane b(6, 0);
  ChBufToChBuf(3, 2, a.data(), b.data());
  EXPECT_EQ(a, b);

  const std::vector<uint32_t> l = {1, 2, 3, 4};
  std::vector<uint32_t> m(4, 0);
  LnBufToLnBuf(2, 2, l.data(), m.data());
  EXPECT_EQ(l, m);

  const Plane r = {10, 255}, g = {20, 255}, bl = {30, 255};
  Plane grey(2, 0);
  RGBBufToGrBuf(2, 1, r.data(), g.data(), bl.data(), grey.data());
  EXPECT_EQ(grey, (Plane{18, 255}));  // floor(2.99 + 11.74 + 3.42)

  Plane t(6, 0);
  Transpos_ChBufToChBuf(3, 2, a.data(), t.data());
  // dst is 2 wide and 3 high: dst(x = j, y = i) = src(x = i, y = j).
  EXPECT_EQ(t, (Plane{a[0], a[3], a[1], a[4], a[2], a[5]}));
}

TEST(PlainCopies, AreaCopyInsideOnePlane) {
  Plane p = Ramp(6, 5);
  const Plane before = p;
  // Columns 3..4 (inclusive), rows 2..3 take the block at (0, 0).
  ChBufToChBufArea(6, 5, p.data(), 0, 0, 3, 2, 4, 4);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool moved = x >= 3 && x <= 4 && y >= 2 && y <= 3;
      EXPECT_EQ(p[y * 6 + x], moved ? before[(y - 2) * 6 + (x - 3)] : before[y * 6 + x]);
    }
  // A right below left copies nothing; overlapping blocks copy as a whole.
  Plane q = Ramp(6, 5);
  ChBufToChBufArea(6, 5, q.data(), 0, 0, 4, 1, 3, 3);
  EXPECT_EQ(q, Ramp(6, 5));
  ChBufToChBufArea(6, 5, q.data(), 0, 0, 0, 1, 5, 5);
  for (int32_t y = 1; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(q[y * 6 + x], before[(y - 1) * 6 + x]);
}

class RasterSession : public vmktest::SessionTest {};

TEST_F(RasterSession, StepAndRepeatOneByOneIsAPlainRescale) {
  const Plane src = Ramp(8, 6);
  Plane a(12 * 10, 0), b(12 * 10, 0);
  ASSERT_EQ(BufToBufChar_andStepR(1, 1, 8, 6, src.data(), 12, 10, a.data(), 0, 0, 8, 6, 2, 1, 9, 7),
            0);
  ASSERT_EQ(BufToBufChar_andR(0, 8, 6, src.data(), 12, 10, b.data(), 0, 0, 8, 6, 0, 0, 7, 6), 0);
  EXPECT_EQ(a, b);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(RasterSession, StepAndRepeatFillsEveryCell) {
  const Plane src = Ramp(4, 4);
  Plane dst(8 * 8, 0);
  ASSERT_EQ(BufToBufChar_andStepR(2, 2, 4, 4, src.data(), 8, 8, dst.data(), 0, 0, 4, 4, 0, 0, 8, 8),
            0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(dst[y * 8 + x], dst[(y % 4) * 8 + (x % 4)]);
  // The first cell is a rescale of the source at equal size.
  Plane cell(16, 0);
  ASSERT_EQ(BufToBufChar_andR(0, 4, 4, src.data(), 4, 4, cell.data(), 0, 0, 4, 4, 0, 0, 4, 4), 0);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst[y * 8 + x], cell[y * 4 + x]);
  // A first cell that cannot be rendered is reported.
  EXPECT_EQ(
      BufToBufChar_andStepR(2, 2, 4, 4, src.data(), 8, 8, dst.data(), 9, 9, 12, 12, 0, 0, 8, 8),
      -1);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST(Centring, WideImageFillsTheWidth) {
  std::vector<uint32_t> src(8 * 2, Px(200, 100, 50, 255));
  std::vector<uint32_t> dst(8 * 8, 0xFFFFFFFFu);
  ASSERT_EQ(X_CentreBuf(src.data(), 8, 2, dst.data(), 8, 8), 0);
  // Height 2 centred: rows 3 and 4 (bottom 5 exclusive), columns 0..6.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) {
      const bool image = y >= 3 && y < 5 && x < 7;
      EXPECT_EQ(dst[y * 8 + x], image ? Px(200, 100, 50, 255) : 0u) << x << "," << y;
    }
}

TEST(Subsampling, UniformScaleKeepsAspect) {
  std::vector<uint32_t> src(8 * 4);
  for (uint32_t i = 0; i < src.size(); ++i) src[i] = i;
  std::vector<uint32_t> dst(4 * 4, 0xFFFFFFFFu);
  int32_t w = 0, h = 0;
  float scale = 0.0f;
  ASSERT_EQ(X_calcul_ss_buffer(src.data(), 8, 4, dst.data(), 4, 4, &w, &h, &scale), 0);
  EXPECT_EQ(scale, 0.5f);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(dst[0], 0u);
  EXPECT_EQ(dst[1], 2u);
  EXPECT_EQ(dst[3], 6u);
  EXPECT_EQ(dst[4], 16u);  // second output row is source row 2
  EXPECT_EQ(dst[8], 0xFFFFFFFFu);
}

TEST(Densitometer, SquareCutToThePlane) {
  Plane p(6 * 5);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>(i);
  int16_t v = -1;
  // Size code 3 at (0, 0): columns and rows 0..2.
  ASSERT_EQ(X_CharDensitometre(5, 6, p.data(), 0, 0, 3, &v), 0);
  EXPECT_EQ(v, 7);  // (0 + 1 + 2 + 6 + 7 + 8 + 12 + 13 + 14) / 9 + 0.5
  ASSERT_EQ(X_CharDensitometre(5, 6, p.data(), 5, 4, 1, &v), 0);
  EXPECT_EQ(v, 29);
  EXPECT_EQ(X_CharDensitometre(5, 6, p.data(), 9, 2, 2, &v), -1);
  EXPECT_EQ(v, 0);

  const std::vector<int16_t> s = {-10, -11, 16384, 3};
  ASSERT_EQ(X_ShortDensitometre(2, 2, s.data(), 0, 0, 2, &v), 0);
  EXPECT_EQ(v, 4092);  // 16366 / 4 + 0.5

  const Plane r = {1, 2}, g = {3, 4}, b = {5, 8};
  int16_t mr, mg, mb;
  ASSERT_EQ(X_RGBCharDensitometre(1, 2, r.data(), g.data(), b.data(), 1, 0, 2, &mr, &mg, &mb), 0);
  EXPECT_EQ(mr, 2);  // 1.5 rounds up
  EXPECT_EQ(mg, 4);
  EXPECT_EQ(mb, 7);
}

TEST(Densitometer, LongBuffersAndTheYmckBias) {
  const std::vector<uint32_t> buf = {Px(10, 20, 30, 40), Px(20, 21, 31, 41)};
  int16_t a, b, c, d;
  ASSERT_EQ(X_RGBLongDensitometre(1, 2, buf.data(), 0, 0, 2, &a, &b, &c), 0);
  EXPECT_EQ(a, 15);
  EXPECT_EQ(b, 21);  // 20.5 rounds up
  EXPECT_EQ(c, 31);
  ASSERT_EQ(X_YMCKdensitometre(1, 2, buf.data(), 0, 0, 2, &a, &b, &c, &d), 0);
  EXPECT_EQ(a, 16);  // (11 + 21) / 2: byte 0 summed with its lowest bit set
  EXPECT_EQ(d, 41);
  EXPECT_EQ(X_YMCKdensitometre(1, 2, buf.data(), -5, 0, 4, &a, &b, &c, &d), -1);
  EXPECT_EQ(a + b + c + d, 0);
}

}  // namespace
