#include "raster/rescale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/at_once.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

class Rescale : public vmktest::SessionTest {
 protected:
  // Whole-plane rescale of a w x h plane to dw x dh.
  Plane Run(int16_t filter, const Plane& src, int32_t w, int32_t h, int32_t dw, int32_t dh) {
    Plane dst(static_cast<size_t>(dw) * dh, 0xAB);
    EXPECT_EQ(
        X_Newechant_charbuf(filter, src.data(), w, h, dst.data(), dw, dh, 0, 0, w, h, 0, 0, dw, dh),
        0);
    EXPECT_EQ(contribX, nullptr);
    EXPECT_EQ(contribY, nullptr);
    return dst;
  }
};

TEST(RescaleKernels, ValuesAtTheirLimits) {
  EXPECT_EQ(box_filter(0.5f), 1.0f);
  EXPECT_EQ(box_filter(-0.5f), 0.0f);  // the sign matters at the edge
  EXPECT_EQ(triangle_filter(0.25f), 0.75f);
  EXPECT_EQ(cubic_filter(0.0f), 1.0f);
  EXPECT_EQ(cubic_filter(1.0f), 0.0f);
  EXPECT_EQ(bell_filter(0.0f), 0.75f);
  EXPECT_EQ(bell_filter(1.0f), 0.125f);
  EXPECT_FLOAT_EQ(B_spline_filter(0.0f), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(B_spline_filter(1.0f), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(Mitchell_filter(0.0f), 16.0f / 18.0f);
  EXPECT_NEAR(Mitchell_filter(1.0f), 1.0f / 18.0f, 1e-6f);
  EXPECT_EQ(Mitchell_filter(2.0f), 0.0f);
  EXPECT_EQ(Lanczos3_filter(0.0f), 1.0f);
  EXPECT_NEAR(Lanczos3_filter(1.0f), 0.0f, 1e-6f);
  EXPECT_EQ(Lanczos3_filter(3.0f), 0.0f);
  EXPECT_EQ(sinc(0.0f), 1.0f);
}

TEST(RescaleKernels, CeilingRoundsAwayFromZero) {
  EXPECT_EQ(ceiling(2.0f), 2.0f);
  EXPECT_EQ(ceiling(2.25f), 3.0f);
  EXPECT_EQ(ceiling(-2.25f), -3.0f);
  EXPECT_EQ(ceiling(-2.0f), -2.0f);
  EXPECT_EQ(ceiling(0.0f), 0.0f);
}

TEST(RescaleKernels, CubicBSplineWeights) {
  EXPECT_FLOAT_EQ(CubicWeight(0.0f), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(CubicWeight(1.0f), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(CubicWeight(-1.0f), 1.0f / 6.0f);
  EXPECT_EQ(CubicWeight(2.0f), 0.0f);
  EXPECT_EQ(CubicWeight(-2.0f), 0.0f);
}

TEST_F(Rescale, BoxAtEqualSizeCopiesExactly) {
  Plane src(7 * 5);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 37 + 5);
  EXPECT_EQ(Run(0, src, 7, 5, 7, 5), src);
}

// A rescale at one to one whose lists weigh only each sample's own copies the samples: for
// every filter, every sample value, rectangles off the planes' corners and reaching past the
// destination, at each vector level and at one, three and eight threads, the bytes of the
// sums (the copy turned off), including the filters that do weigh the neighbours.
TEST_F(Rescale, OneToOneCopyIsTheSums) {
  struct Case {
    int32_t w, h, sl, st, sw, sh, dw, dh, dl, dt;
  };
  constexpr Case kCases[] = {{1, 1, 0, 0, 1, 1, 1, 1, 0, 0},       {17, 3, 0, 0, 17, 3, 17, 3, 0, 0},
                             {2049, 5, 3, 1, 2040, 4, 2049, 5, 2, 0}, {5, 301, 1, 7, 4, 290, 7, 280, -1, -3},
                             {64, 40, 5, 2, 50, 30, 40, 40, 3, 20}};
  constexpr plat::SimdLevel kLevels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                         plat::SimdLevel::kAvx512};
  for (const Case& c : kCases) {
    Plane src(static_cast<size_t>(c.w) * c.h);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 151 + 7);
    for (int16_t filter = 0; filter <= 7; ++filter) {
      auto run = [&](bool copies, plat::SimdLevel level, int threads) {
        SetRescaleCopiesOneToOne(copies);
        plat::SetSimdLevel(level);
        plat::SetThreadCount(threads);
        Plane dst(static_cast<size_t>(c.dw) * c.dh, 0xAB);
        EXPECT_EQ(X_Newechant_charbuf(filter, src.data(), c.w, c.h, dst.data(), c.dw, c.dh, c.sl,
                                      c.st, c.sl + c.sw, c.st + c.sh, c.dl, c.dt, c.dl + c.sw,
                                      c.dt + c.sh),
                  0);
        SetRescaleCopiesOneToOne(true);
        plat::SetSimdLevel(plat::SimdLevel::kAvx512);
        plat::SetThreadCount(0);
        return dst;
      };
      for (const plat::SimdLevel level : kLevels) {
        const Plane sums = run(false, level, 1);
        for (int threads : {1, 3, 8})
          ASSERT_EQ(run(true, level, threads), sums)
              << c.w << "x" << c.h << " filter " << filter << " level "
              << static_cast<int>(level) << " threads " << threads;
      }
    }
  }
}

// Two windows' previews rescaling at once on their workers, to different sizes: each gets
// what it gets alone, and each thread's lists are gone when its call ends.
TEST_F(Rescale, TwoThreadsRescalingAtOnceKeepTheirOwnLists) {
  Plane src(97 * 61);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>((i * 37 + i / 97 * 11) & 255);
  const Plane wantA = Run(7, src, 97, 61, 40, 25), wantB = Run(4, src, 97, 61, 151, 90);
  auto once = [&](int16_t filter, int32_t dw, int32_t dh, const Plane& want) {
    Plane dst(static_cast<size_t>(dw) * dh);
    return X_Newechant_charbuf(filter, src.data(), 97, 61, dst.data(), dw, dh, 0, 0, 97, 61, 0, 0, dw, dh) == 0 &&
           dst == want && contribX == nullptr && contribY == nullptr;
  };
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(300, [&] { return once(7, 40, 25, wantA); },
                                       [&] { return once(4, 151, 90, wantB); }),
            0);
}

TEST_F(Rescale, TriangleMagnificationOfTwoSamples) {
  // Columns at 0, 0.5, 1, 1.5 of the source; the list of column 1 starts one
  // index early (weight 0) and the last column clamps to the last sample.
  const Plane row = {0, 100};
  EXPECT_EQ(Run(1, row, 2, 1, 4, 1), (Plane{0, 50, 100, 100}));
  EXPECT_EQ(Run(1, row, 1, 2, 1, 4), (Plane{0, 50, 100, 100}));
}

TEST_F(Rescale, ConstantPlanesStayFlat) {
  const Plane flat(3, 100);
  // Box 3 -> 1: the list centred on the first sample starts two early (ceiling of -1.5), at
  // weight 0, then three weights of 341, rounded (columns) or truncated (reduced rows); the
  // remainder's one unit goes to the second, where the running total of the shares (a
  // quarter each) first rounds to 1. The sum over 1024 to the nearest is 100 exactly (it
  // was 99 under the reduced rows' rounded share of 0).
  EXPECT_EQ(Run(0, flat, 3, 1, 1, 1), (Plane{100}));
  EXPECT_EQ(Run(0, flat, 1, 3, 1, 1), (Plane{100}));
  EXPECT_EQ(CharRescaleWeights(0, 3, 1, false), (std::vector<std::vector<float>>{{0, 342, 341, 341}}));
  EXPECT_EQ(CharRescaleWeights(0, 3, 1, true), (std::vector<std::vector<float>>{{0, 342, 341, 341}}));

  // Every level through every filter, reduced (to a tenth too, where a reduced row list's
  // truncated weights fell 20 short of 1024 and a flat 200 came out as 196) and enlarged.
  struct Size {
    int32_t w, h;
  };
  const int32_t w = 230, h = 170;
  for (const Size to : {Size{9, 17}, Size{23, 17}, Size{57, 43}, Size{168, 124}, Size{230, 170},
                        Size{311, 233}, Size{460, 340}, Size{851, 629}})
    for (const int v : {0, 1, 77, 128, 200, 254, 255}) {
      const Plane big(static_cast<size_t>(w) * h, static_cast<uint8_t>(v));
      for (int16_t f = 0; f <= 7; ++f)
        ASSERT_EQ(Run(f, big, w, h, to.w, to.h), Plane(static_cast<size_t>(to.w) * to.h, static_cast<uint8_t>(v)))
            << "filter " << f << " level " << v << " to " << to.w << "x" << to.h;
    }
}

// Every list of the 8-bit members, columns and rows, reduced and enlarged, holds whole weights
// that sum to exactly 1024.
TEST(RescaleWeights, EveryListSumsToExactly1024) {
  for (int16_t f = 0; f <= 7; ++f)
    for (const auto& [extent, count] : {std::pair{2000, 3}, std::pair{900, 90}, std::pair{640, 211},
                                        std::pair{97, 61}, std::pair{100, 100}, std::pair{61, 97},
                                        std::pair{40, 80}, std::pair{7, 93}})
      for (const bool rows : {false, true}) {
        const std::vector<std::vector<float>> lists = CharRescaleWeights(f, extent, count, rows);
        ASSERT_EQ(lists.size(), static_cast<size_t>(count));
        for (size_t i = 0; i < lists.size(); ++i) {
          double sum = 0.0;
          for (const float wt : lists[i]) {
            ASSERT_EQ(wt, std::trunc(wt)) << "filter " << f << " " << extent << " -> " << count;
            sum += wt;
          }
          ASSERT_EQ(sum, 1024.0) << "filter " << f << " " << extent << " -> " << count
                                 << (rows ? " rows" : " columns") << " list " << i;
        }
      }
}

// A photo-like picture (and its negative) keeps its mean level through every filter, reduced
// to a tenth and enlarged three times: each pass used to round its sums down, half a level
// each, besides the reduced rows' short weights (3.2 levels lost at a tenth, B-spline).
TEST_F(Rescale, APictureKeepsItsMean) {
  const int32_t w = 1200, h = 800;
  const Plane photo = vmktest::PhotoLike(w, h);
  const Plane negative = vmktest::Negative(photo);
  const double before = vmktest::Mean(photo);
  struct Size {
    int32_t w, h;
  };
  for (const Size to : {Size{120, 80}, Size{300, 200}, Size{600, 400}, Size{876, 584},
                        Size{1644, 1096}, Size{2400, 1600}, Size{3600, 2400}})
    for (int16_t f = 0; f <= 7; ++f) {
      const double after = vmktest::Mean(Run(f, photo, w, h, to.w, to.h));
      EXPECT_NEAR(after, before, 1.0) << "filter " << f << " to " << to.w << "x" << to.h;
      EXPECT_NEAR(255.0 - vmktest::Mean(Run(f, negative, w, h, to.w, to.h)), after, 1.0)
          << "negative, filter " << f << " to " << to.w << "x" << to.h;
    }
}

TEST_F(Rescale, LargeReductionsKeepEveryContributor) {
  // Far more than 128 contributors per sample and a ring longer than 127
  // rows; a constant row stays constant and nothing is written out of place.
  const Plane row(3000, 77);
  EXPECT_EQ(Run(6, row, 3000, 1, 2, 1), (Plane{77, 77}));
  Plane column(1 * 900);
  for (int32_t y = 0; y < 900; ++y) column[y] = y < 450 ? 0 : 200;
  const Plane out = Run(6, column, 1, 900, 1, 3);
  // The first row's list (1801 weights of a few units, reaching the bright half only with
  // the lobes beyond the first, whose sum in exact arithmetic is below 0) gets the remainder
  // of its truncated weights, a unit on every fifteenth, over the bright half as well.
  EXPECT_LE(out[0], 8);
  EXPECT_GT(out[2], 100);
}

TEST_F(Rescale, OvershootIsClampedNotWrapped) {
  Plane step(12, 0);
  for (int32_t x = 6; x < 12; ++x) step[x] = 255;
  for (int16_t f : {4, 6}) {
    const Plane out = Run(f, step, 12, 1, 48, 1);
    EXPECT_EQ(out.front(), 0);
    EXPECT_EQ(out.back(), 255);
    bool high = false;
    for (uint8_t v : out) {
      if (v >= 250) high = true;
      if (high) {
        EXPECT_GT(v, 128) << "wrapped overshoot, filter " << f;
      }
    }
  }
}

TEST_F(Rescale, WritesOnlyInsideTheDestinationRectangle) {
  Plane src(6 * 6);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 7);
  Plane dst(10 * 10, 0xEE);
  ASSERT_EQ(X_Newechant_charbuf(0, src.data(), 6, 6, dst.data(), 10, 10, 0, 0, 6, 6, 3, 2, 9, 8),
            0);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const bool inside = x >= 3 && x < 9 && y >= 2 && y < 8;
      const uint8_t expect = inside ? src[(y - 2) * 6 + (x - 3)] : 0xEE;
      EXPECT_EQ(dst[y * 10 + x], expect) << x << "," << y;
    }
  // A source sub-rectangle counts its indices from its own corner.
  Plane part(2 * 2, 0);
  ASSERT_EQ(X_Newechant_charbuf(0, src.data(), 6, 6, part.data(), 2, 2, 3, 1, 5, 3, 0, 0, 2, 2), 0);
  EXPECT_EQ(part, (Plane{src[9], src[10], src[15], src[16]}));
}

TEST_F(Rescale, DestinationHangingOverThePlaneIsCut) {
  const Plane src(4 * 4, 60);
  Plane dst(3 * 3, 0);
  ASSERT_EQ(X_Newechant_charbuf(0, src.data(), 4, 4, dst.data(), 3, 3, 0, 0, 4, 4, -1, -1, 3, 3),
            0);
  EXPECT_EQ(dst, Plane(9, 60));
}

TEST_F(Rescale, BadRectanglesAndFailuresReturnMinusOne) {
  const Plane src(4 * 4, 1);
  Plane dst(4 * 4, 9);
  EXPECT_EQ(X_Newechant_charbuf(6, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 0, 4, 0, 0, 4, 4), -1);
  EXPECT_EQ(X_Newechant_charbuf(6, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 5, 4, 0, 0, 4, 4), -1);
  EXPECT_EQ(X_Newechant_charbuf(6, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 4, 4, 2, 2, 2, 4), -1);
  // Lists for an absurd destination cannot be had: -1, nothing written,
  // both list pointers null.
  EXPECT_EQ(
      X_Newechant_charbuf(6, src.data(), 4, 4, dst.data(), 4, 4, 0, 0, 4, 4, 0, 0, 2000000000, 1),
      -1);
  EXPECT_EQ(dst, Plane(16, 9));
  EXPECT_EQ(contribX, nullptr);
  EXPECT_EQ(contribY, nullptr);
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(Rescale, DestinationBeyondSixteenBitRectanglesIsRefused) {
  // Only the part inside the plane would be written, but the lists would
  // span the whole rectangle: one coordinate past the 16-bit range is refused
  // untouched, in every member.
  const Plane src(4 * 4, 60);
  Plane dst(3 * 3, 9);
  const std::vector<int16_t> src16(16, 60);
  std::vector<int16_t> dst16(9, 9);
  const std::vector<uint32_t> src32(16, 60);
  std::vector<uint32_t> dst32(9, 9);
  const int32_t rects[][4] = {{-32768, 0, 3, 3}, {0, -32768, 3, 3}, {0, 0, 32768, 3},
                              {0, 0, 3, 32768}, {0, 0, 70000, 70000}};
  for (const auto& d : rects) {
    EXPECT_EQ(X_Newechant_charbuf(1, src.data(), 4, 4, dst.data(), 3, 3, 0, 0, 4, 4, d[0], d[1],
                                  d[2], d[3]),
              -1);
    EXPECT_EQ(X_Newechant_buffer(1, src.data(), src.data(), src.data(), 4, 4, dst.data(),
                                 dst.data(), dst.data(), 3, 3, 0, 0, 4, 4, d[0], d[1], d[2], d[3]),
              -1);
    EXPECT_EQ(X_Newechant_shortbuf(1, src16.data(), 4, 4, dst16.data(), 3, 3, 0, 0, 4, 4, d[0],
                                   d[1], d[2], d[3], 255),
              -1);
    EXPECT_EQ(X_Newechant_longbuf(1, src32.data(), 4, 4, dst32.data(), 3, 3, 0, 0, 4, 4, d[0],
                                  d[1], d[2], d[3]),
              -1);
  }
  EXPECT_EQ(dst, Plane(9, 9));
  EXPECT_EQ(dst16, std::vector<int16_t>(9, 9));
  EXPECT_EQ(dst32, std::vector<uint32_t>(9, 9));
  EXPECT_EQ(contribX, nullptr);
  EXPECT_EQ(contribY, nullptr);
  EXPECT_EQ(session_.memMan().count(), 0);

  // The range's own limits are still rescaled; the visible corner of a
  // constant plane stays constant.
  ASSERT_EQ(X_Newechant_charbuf(1, src.data(), 4, 4, dst.data(), 3, 3, 0, 0, 4, 4, -32767,
                                -32767, 3, 3),
            0);
  EXPECT_EQ(dst, Plane(9, 60));
  dst.assign(9, 9);
  ASSERT_EQ(X_Newechant_charbuf(1, src.data(), 4, 4, dst.data(), 3, 3, 0, 0, 4, 4, 0, 0, 32767,
                                32767),
            0);
  EXPECT_EQ(dst, Plane(9, 60));
}

TEST(RescaleNoSession, RunsOnPlainMemoryAndMatchesASessionRun) {
  Plane src(6 * 4);
  for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i * 11);
  Plane alone(3 * 2, 0);
  ASSERT_EQ(SessionMemMan(), nullptr);
  const int64_t live = plat::LiveBlockCount();
  ASSERT_EQ(X_Newechant_charbuf(6, src.data(), 6, 4, alone.data(), 3, 2, 0, 0, 6, 4, 0, 0, 3, 2), 0);
  EXPECT_EQ(plat::LiveBlockCount(), live);
  EXPECT_EQ(contribX, nullptr);
  Plane inSession(3 * 2, 0);
  vmktest::ScopedSession s;
  ASSERT_EQ(X_Newechant_charbuf(6, src.data(), 6, 4, inSession.data(), 3, 2, 0, 0, 6, 4, 0, 0, 3, 2),
            0);
  EXPECT_EQ(s.memMan().count(), 0);
  EXPECT_EQ(alone, inSession);
}

TEST(RescaleOutOfMemory, FailsAndLeavesTheDestination) {
  vmktest::ScopedSession s;
  const Plane src(4, 1);
  Plane dst(4, 0);
  vmktest::NoWorkMemory none;
  EXPECT_EQ(X_Newechant_charbuf(6, src.data(), 2, 2, dst.data(), 2, 2, 0, 0, 2, 2, 0, 0, 2, 2), -1);
  EXPECT_EQ(contribX, nullptr);
  EXPECT_EQ(dst, Plane(4, 0));
  none.End();
  EXPECT_EQ(s.memMan().count(), 0);
}

TEST_F(Rescale, ThreePlanesMatchThreeSingleCalls) {
  Plane r(9 * 7), g(9 * 7), b(9 * 7);
  for (size_t i = 0; i < r.size(); ++i) {
    r[i] = static_cast<uint8_t>(i * 13);
    g[i] = static_cast<uint8_t>(255 - i * 3);
    b[i] = static_cast<uint8_t>((i * i) & 0xFF);
  }
  Plane dr(5 * 11), dg(5 * 11), db(5 * 11);
  ASSERT_EQ(X_Newechant_buffer(5, r.data(), g.data(), b.data(), 9, 7, dr.data(), dg.data(),
                               db.data(), 5, 11, 0, 0, 9, 7, 0, 0, 5, 11),
            0);
  EXPECT_EQ(dr, Run(5, r, 9, 7, 5, 11));
  EXPECT_EQ(dg, Run(5, g, 9, 7, 5, 11));
  EXPECT_EQ(db, Run(5, b, 9, 7, 5, 11));
}

TEST_F(Rescale, WideMembersCopyAtEqualSizeAndClamp) {
  std::vector<int16_t> s16 = {0, 1000, 32640, 7, 12345, 300};
  std::vector<int16_t> d16(6, -1);
  ASSERT_EQ(
      X_Newechant_shortbuf(0, s16.data(), 3, 2, d16.data(), 3, 2, 0, 0, 3, 2, 0, 0, 3, 2, 32640),
      0);
  EXPECT_EQ(d16, s16);
  // Overshoot of a step stays within 0 .. the given maximum.
  std::vector<int16_t> step(8, 0);
  for (int32_t x = 4; x < 8; ++x) step[x] = 32640;
  std::vector<int16_t> big(32, -1);
  ASSERT_EQ(
      X_Newechant_shortbuf(7, step.data(), 8, 1, big.data(), 32, 1, 0, 0, 8, 1, 0, 0, 32, 1, 32640),
      0);
  for (int16_t v : big) {
    EXPECT_GE(v, 0);
    EXPECT_LE(v, 32640);
  }
  EXPECT_GE(big.back(), 32639);  // fractional weights may sum a hair below 1024
  // Index 4 names no kernel in this numbering.
  EXPECT_EQ(
      X_Newechant_shortbuf(4, s16.data(), 3, 2, d16.data(), 3, 2, 0, 0, 3, 2, 0, 0, 3, 2, 32640),
      -1);

  std::vector<uint32_t> s32 = {0, 70000, 4000000000u, 5};
  std::vector<uint32_t> d32(4, 1);
  ASSERT_EQ(X_Newechant_longbuf(0, s32.data(), 2, 2, d32.data(), 2, 2, 0, 0, 2, 2, 0, 0, 2, 2), 0);
  EXPECT_EQ(d32[0], 0u);
  EXPECT_EQ(d32[1], 70000u);
  EXPECT_EQ(d32[3], 5u);
  EXPECT_EQ(X_Newechant_longbuf(8, s32.data(), 2, 2, d32.data(), 2, 2, 0, 0, 2, 2, 0, 0, 2, 2), -1);
}

TEST(RescaleRows, HorizontalPassesRoundShiftAndClamp) {
  int32_t idx[2] = {0, 1};
  float w[2] = {512.0f, 512.0f};
  CLIST list;
  list.count = 2;
  list.index = idx;
  list.weight = w;
  const uint8_t src8[2] = {3, 4};
  uint8_t dst8 = 0;
  Hor_CharExpan(&list, 1, src8, &dst8);
  EXPECT_EQ(dst8, 4);  // (1536 + 2048 + 512) >> 10, the half taken up

  float over[2] = {2048.0f, 0.0f};
  list.weight = over;
  const uint8_t bright[2] = {200, 0};
  Hor_CharExpan(&list, 1, bright, &dst8);
  EXPECT_EQ(dst8, 255);
  const int16_t s16[2] = {1000, 0};
  int16_t d16 = 0;
  Hor_ShortExpan(&list, 1, s16, &d16, 1500);
  EXPECT_EQ(d16, 1500);

  // Four-channel pixels: each byte weighted on its own, sums truncated.
  float third[2] = {341.5f, 682.5f};
  list.weight = third;
  const uint8_t px[8] = {3, 0, 255, 9, 3, 0, 255, 9};
  uint8_t out[4] = {};
  Hor_Expan(&list, 1, px, out);
  EXPECT_EQ(out[0], 2);  // trunc(trunc(1024.5) + 2047.5) = 3071 >> 10
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 254);
  EXPECT_EQ(out[3], 8);
}

TEST(RescaleBicubic, ConstantPlaneAndRectangle) {
  std::vector<uint8_t> src(5 * 5, 120);
  std::vector<uint8_t> dst(10 * 10, 0);
  X_BiCubic_charbuf(src.data(), 5, 5, dst.data(), 10, 10, 0, 0, 5, 5, 2, 3, 8, 9);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x < 8 && y >= 3 && y < 9;
      if (inside) {
        EXPECT_GE(dst[y * 10 + x], 119);
        EXPECT_LE(dst[y * 10 + x], 120);
      } else {
        EXPECT_EQ(dst[y * 10 + x], 0);
      }
    }
}

}  // namespace

namespace {

uint64_t Fnv(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

}  // namespace

// Tall planes whose destination rows fall into many bands, reduced and
// enlarged, with a destination rectangle that hangs over the plane: the
// samples of the one-ring rescale (pinned by their hashes, taken from it;
// the 8-bit ones again once its sums were divided to the nearest over whole
// weights), at one, three and eight threads, for the 8-, 16- and 32-bit
// members.
TEST_F(Rescale, BandsGiveTheSamplesOfOneRing) {
  const int32_t w = 97, h = 1301;
  Plane src(static_cast<size_t>(w) * h);
  std::vector<int16_t> src16(src.size());
  std::vector<uint32_t> src32(src.size());
  uint32_t v = 12345;
  for (size_t i = 0; i < src.size(); ++i) {
    v = v * 1664525u + 1013904223u;
    src[i] = static_cast<uint8_t>(v >> 24);
    src16[i] = static_cast<int16_t>(v >> 18);
    src32[i] = v >> 8;
  }
  struct Case {
    int16_t filter;
    int32_t dw, dh, dt;
    uint64_t hash8, hash16, hash32;
  };
  for (const Case& c : {Case{7, 48, 650, 0, 14646273857168339948ull, 14572982888098722938ull, 4597259107287680818ull},
                        Case{6, 61, 2203, 0, 14140046386261571860ull, 9781747706411159322ull, 422031729585036372ull},
                        Case{3, 40, 700, -37, 11620468602558335743ull, 1971739583868264327ull,
                             10365215786903690610ull}}) {
    for (int n : {1, 3, 8}) {
      const Threads t(n);
      const int32_t rows = c.dh + c.dt;
      Plane d8(static_cast<size_t>(c.dw) * rows, 0);
      std::vector<int16_t> d16(d8.size(), 0);
      std::vector<uint32_t> d32(d8.size(), 0);
      ASSERT_EQ(X_Newechant_charbuf(c.filter, src.data(), w, h, d8.data(), c.dw, rows, 0, 0, w, h, 0, c.dt,
                                    c.dw, c.dt + c.dh),
                0);
      ASSERT_EQ(X_Newechant_shortbuf(c.filter, src16.data(), w, h, d16.data(), c.dw, rows, 0, 0, w, h, 0,
                                     c.dt, c.dw, c.dt + c.dh, 16000),
                0);
      ASSERT_EQ(X_Newechant_longbuf(c.filter, src32.data(), w, h, d32.data(), c.dw, rows, 0, 0, w, h, 0,
                                    c.dt, c.dw, c.dt + c.dh),
                0);
      EXPECT_EQ(Fnv(d8.data(), d8.size()), c.hash8) << c.filter << " at " << n;
      EXPECT_EQ(Fnv(d16.data(), d16.size() * 2), c.hash16) << c.filter << " at " << n;
      EXPECT_EQ(Fnv(d32.data(), d32.size() * 4), c.hash32) << c.filter << " at " << n;
    }
  }
}

// The 8-bit member on every vector path the processor has, at one thread
// and at eight, against its plain form at one thread: every filter, reduced
// and enlarged, wide rows (the wide forms' full steps and their ends), part
// rectangles and a destination hanging over the plane.
TEST_F(Rescale, EveryPathGivesThePlainSamples) {
  const int32_t w = 2051, h = 23;
  Plane src(static_cast<size_t>(w) * h);
  uint32_t v = 777;
  for (auto& s : src) {
    v = v * 1664525u + 1013904223u;
    s = static_cast<uint8_t>(v % 5 == 0 ? 0 : v % 5 == 1 ? 255 : v >> 24);
  }
  struct Case {
    int32_t sl, st, sr, sb, dw, dh, dl, dt, dr, db;
  };
  const Case cases[] = {{0, 0, w, h, 1025, 11, 0, 0, 1025, 11},
                        {3, 2, w - 5, h - 1, 700, 40, -9, 3, 691, 40},
                        {0, 0, 37, h, 1200, 7, 0, 0, 1200, 7},
                        {1, 1, w, 9, 33, 3, 0, 0, 33, 3}};
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  for (int16_t filter = 0; filter <= 7; ++filter)
    for (const Case& c : cases) {
      auto run = [&](plat::SimdLevel level, int threads) {
        plat::SetSimdLevel(level);
        const Threads t(threads);
        Plane d(static_cast<size_t>(c.dw) * c.dh, 0x5A);
        EXPECT_EQ(X_Newechant_charbuf(filter, src.data(), w, h, d.data(), c.dw, c.dh, c.sl, c.st,
                                      c.sr, c.sb, c.dl, c.dt, c.dr, c.db),
                  0);
        return d;
      };
      const Plane want = run(plat::SimdLevel::kBaseline, 1);
      for (plat::SimdLevel level : levels)
        for (int threads : {1, 8})
          EXPECT_EQ(run(level, threads), want)
              << "filter " << filter << " to " << c.dw << "x" << c.dh << " level "
              << static_cast<int>(level) << " at " << threads;
      plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    }
}
