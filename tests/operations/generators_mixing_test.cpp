// Fog, the plasma and aggregation operations, colour selection, channel
// mixing and the window searches.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "operations/effects.h"
#include "operations/fractal_generators.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Ramp(size_t n, int32_t step, int32_t start) {
  Plane p(n);
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<unsigned char>(start + step * i);
  return p;
}

Plane RampTable() {
  Plane t(5 * 256);
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<unsigned char>(i * 7 + 1);
  return t;
}

TEST(Foggy, TableIdentityFullBrighteningAndRefusals) {
  const int32_t w = 5, h = 4;
  Plane plane = Ramp(w * h, 11, 3);
  const Plane before = plane;
  Plane fog = Ramp(w * h, 13, 0);
  ASSERT_EQ(Effects::Foggy(0, 255, 2, plane.data(), nullptr, fog.data(), h, w, 0, 0, w, h, 1, 1,
                           0, 0, 0, 0, 0),
            0);
  EXPECT_EQ(plane, before);
  Plane dense(w * h, 255);
  ASSERT_EQ(Effects::Foggy(0, 255, 2, plane.data(), nullptr, dense.data(), h, w, 0, 0, w, h, 1,
                           1, 0, 0, 0, 255, 0),
            0);
  EXPECT_EQ(plane, Plane(w * h, 255));
  plane = before;
  EXPECT_EQ(Effects::Foggy(0, 255, 3, plane.data(), nullptr, dense.data(), h, w, 0, 0, w, h, 1,
                           1, 0, 0, 0, 9, 0),
            -1);
  EXPECT_EQ(Effects::Foggy(0, 255, 1, plane.data(), nullptr, nullptr, h, w, 0, 0, w, h, 1, 1, 0,
                           0, 0, 9, 0),
            -1);
  EXPECT_EQ(plane, before);
}

TEST(Generators, AggregationSeedPositionsAndPlasmaSeeds) {
  const int32_t w = 30, h = 20;
  const Plane ramp = RampTable();
  const Plane start = Ramp(w * h, 3, 0);
  // Kind 4 grows from (50 %, 50 %), painting colour row 2.
  Plane viaOp = start, direct = start;
  ASSERT_EQ(Effects::DiffusAggreg(0, 255, viaOp.data(), nullptr, h, w, 0, 0, w, h, 2, ramp.data(),
                                  9, 25, 0, 30, 4),
            0);
  ASSERT_EQ(DrawAggregation(w, h, direct.data(), 2, ramp.data(), 9, 25, 30, 50, 50), 0);
  EXPECT_EQ(viaOp, direct);
  EXPECT_NE(viaOp, start);
  Plane refused = start;
  EXPECT_EQ(Effects::DiffusAggreg(0, 255, refused.data(), nullptr, h, w, 0, 0, w, h, 2,
                                  ramp.data(), 9, 25, 0, 30, 9),
            -1);
  EXPECT_EQ(refused, start);
  // The same seed gives the same plasma.
  Plane p1(w * h, 0), p2(w * h, 0);
  ASSERT_EQ(Effects::FractPlasma(0, 255, 1, p1.data(), nullptr, nullptr, nullptr, h, w, 0, 0, w,
                                 h, ramp.data(), 42, 2, 10, 0),
            0);
  ASSERT_EQ(Effects::FractPlasma(0, 255, 1, p2.data(), nullptr, nullptr, nullptr, h, w, 0, 0, w,
                                 h, ramp.data(), 42, 2, 10, 0),
            0);
  EXPECT_EQ(p1, p2);
  EXPECT_NE(p1, Plane(w * h, 0));
}

TEST(ChannelMix, IdentityWeightsNoFlagsAndBlackAndWhite) {
  const int32_t red[3] = {100, 0, 0}, green[3] = {0, 100, 0}, blue[3] = {0, 0, 100};
  const int32_t zero[3] = {0, 0, 0};
  int32_t r = 0, g = 0, b = 0;
  EXPECT_EQ(Effects::Calc_exchRGB(7, red, green, blue, zero, 12, 34, 56, &r, &g, &b),
            (12 << 16) | (34 << 8) | 56);
  EXPECT_EQ(r, 12);
  EXPECT_EQ(b, 56);
  // Offsets clamp.
  const int32_t big[3] = {300, -300, 0};
  Effects::Calc_exchRGB(6, red, green, blue, big, 12, 34, 56, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 56);

  const int32_t w = 4, h = 3, n = w * h;
  const Plane sr = Ramp(n, 9, 1), sg = Ramp(n, 5, 40), sb = Ramp(n, 17, 7);
  Plane dr(n, 0), dg(n, 0), db(n, 0);
  const int32_t odd[3] = {30, 40, 50};
  ASSERT_EQ(Effects::X_exchRGB_CharBuf(h, w, sr.data(), sg.data(), sb.data(), dr.data(),
                                       dg.data(), db.data(), 0, 0, w, h, 0, 100, odd, odd, odd,
                                       odd),
            0);
  EXPECT_EQ(dr, sr);
  EXPECT_EQ(db, sb);
  EXPECT_EQ(Effects::X_exchRGB_CharBuf(h, w, sr.data(), sg.data(), sb.data(), dr.data(),
                                       dg.data(), db.data(), 3, 0, 2, h, 0, 100, odd, odd, odd,
                                       odd),
            -1);
  // 32-bit pixels keep byte 3.
  std::vector<uint32_t> src(n, 0x11223344u), dst(n, 0xAA000000u);
  ASSERT_EQ(Effects::X_exchRGB_LongBuf(h, w, src.data(), dst.data(), 0, 0, w, h, 0, 100, odd,
                                       odd, odd, odd),
            0);
  EXPECT_EQ(dst[5], 0xAA223344u);

  // Filter angle 0 at strength 100 with no tone: the green plane as grey.
  Plane r2 = sr, g2 = sg, b2 = sb;
  ASSERT_EQ(Effects::BWConversion(0, 255, h, w, r2.data(), g2.data(), b2.data(), 0, 0, w, h,
                                  nullptr, 0, 100, 0, 0, 0),
            0);
  EXPECT_EQ(r2, sg);
  EXPECT_EQ(g2, sg);
  EXPECT_EQ(b2, sg);
}

TEST(SelCol, PaintsByTheSelectionWeightThroughTheMask) {
  const int32_t w = 2, h = 1;
  // A reference colour far from the pixel: weight 255, the full colour.
  const unsigned char src[2] = {200, 10}, ref[3] = {10, 10, 10}, colour[3] = {90, 80, 70};
  Plane d0(2, 5), d1(2, 5), d2(2, 5);
  ASSERT_EQ(Effects::SelCol(0, 255, src, src, src, h, w, d0.data(), d1.data(), d2.data(), h, w,
                            0, 0, 0, 0, 0, 0, 0, 0, 1, 3, nullptr, 5, ref, colour),
            0);
  EXPECT_EQ(d0[0], 90);
  EXPECT_EQ(d1[0], 90);  // a one-channel source paints the first byte on all three
  const unsigned char mask[2] = {0, 255};
  ASSERT_EQ(Effects::SelCol(0, 255, src, src, src, h, w, d0.data(), d1.data(), d2.data(), h, w,
                            0, 0, 0, 0, 0, 0, 1, 0, 1, 3, mask, 5, ref, colour),
            0);
  EXPECT_EQ(d0[0], 90);  // masked out: kept
}

TEST(WindowSearch, DarkestAndBrightestPixels) {
  const int32_t w = 4, h = 3;
  Plane buf = {50, 60, 70, 80,  //
               40, 30, 90, 20,  //
               99, 10, 5,  200};
  unsigned char out = 0;
  // Rows 0..1, columns 1..2 around (2, 1) with radii 1.
  Effects::MinOutOfBuf(2, 1, buf.data(), w, h, 1, 1, &out, 1);
  EXPECT_EQ(out, 30);
  Effects::MaxOutOfBuf(2, 1, buf.data(), w, h, 1, 1, &out, 1);
  EXPECT_EQ(out, 90);
  Effects::MaxOutOfBuf(3, 2, buf.data(), w, h, 2, 2, &out, 1);
  EXPECT_EQ(out, 200);
}

}  // namespace
