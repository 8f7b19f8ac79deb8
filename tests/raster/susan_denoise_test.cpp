#include "raster/susan_denoise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "app/core/colour_spaces.h"
#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"
#include "support/pixels.h"
#include "support/row_held.h"

namespace {

using vmktest::Px;
using vmktest::PxByte;

struct Lut {
  std::vector<unsigned char> block = std::vector<unsigned char>(516, 0xEE);
  unsigned char* table = block.data();
  Lut(int32_t t, int32_t form) { setup_brightness_lut(&table, t, form); }
  int operator[](int k) const { return table[k]; }
};

std::vector<uint8_t> Noise(int32_t w, int32_t h, uint32_t seed, int spread) {
  plat::SeedRandom(seed);
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i)
    p[i] = static_cast<uint8_t>(100 + (static_cast<int>(i) % 7) * 5 + plat::Random() % spread);
  return p;
}

// The mean of the middle two of eight neighbours as the passes take it: to
// the nearest, a tie below mid-grey to the odd value and from there up to the
// even one.
int RoundedMiddle(int a, int b) {
  const int s = a + b, lo = s / 2;
  if (s % 2 == 0) return lo;
  return (lo % 2 == 1) == (s < 255) ? lo : lo + 1;
}

// The 3 x 3 pass written plainly: nine weights with the centre's, single
// precision sums and quotient rounded to the nearest, over a mirrored border.
std::vector<uint8_t> ReferenceSmooth(const std::vector<uint8_t>& p, int32_t w, int32_t h,
                                     const Lut& lut) {
  auto at = [&](int32_t x, int32_t y) {
    x = x < 0 ? -1 - x : (x >= w ? 2 * w - 1 - x : x);
    y = y < 0 ? -1 - y : (y >= h ? 2 * h - 1 - y : y);
    return static_cast<int>(p[y * w + x]);
  };
  std::vector<uint8_t> out(p.size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int c = at(x, y);
      int area = 0;
      float total = 0.0f;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int v = at(x + dx, y + dy);
          area += lut[c - v];
          total += static_cast<float>(v * lut[c - v]);
        }
      const int n = area - 100;
      if (n != 0) {
        out[y * w + x] =
            static_cast<uint8_t>(static_cast<int>(std::floor((total - 100.0f * c) / n + 0.5f)));
      } else {
        std::vector<int> nb;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0) nb.push_back(at(x + dx, y + dy));
        std::sort(nb.begin(), nb.end());
        out[y * w + x] = static_cast<uint8_t>(RoundedMiddle(nb[3], nb[4]));
      }
    }
  return out;
}

TEST(BrightnessTable, GaussianAndSixthPowerForms) {
  const Lut t20(20, 2);
  // The working pointer sits 258 bytes in; entries -256..256 fill 2..514.
  EXPECT_EQ(t20.table, t20.block.data() + 258);
  EXPECT_EQ(t20.block[1], 0xEE);
  EXPECT_EQ(t20.block[515], 0xEE);
  EXPECT_EQ(t20[0], 100);
  EXPECT_EQ(t20[20], 36);
  EXPECT_EQ(t20[-20], 36);
  for (int k = 40; k <= 42; ++k) {
    EXPECT_EQ(t20[k], 1) << k;
    EXPECT_EQ(t20[-k], 1) << k;
  }
  for (int k = 43; k <= 256; ++k) {
    EXPECT_EQ(t20[k], 0) << k;
    EXPECT_EQ(t20[-k], 0) << k;
  }
  const Lut t1(1, 2);
  EXPECT_EQ(t1[1], 36);
  EXPECT_EQ(t1[2], 1);
  EXPECT_EQ(t1[3], 0);
  // Form 6 stays flat longer and then drops harder.
  const Lut s20(20, 6);
  EXPECT_EQ(s20[10], static_cast<int>(static_cast<float>(100.0 * std::exp(-1.0 / 64))));
  EXPECT_EQ(s20[20], 36);
  EXPECT_EQ(s20[30], 0);
  // A threshold of 0 or less: nothing is similar.
  for (int32_t t : {0, -5}) {
    const Lut z(t, 2);
    for (int k = -256; k <= 256; ++k) EXPECT_EQ(z[k], 0) << k;
  }
}

TEST(SusanHelpers, MedianAndMirroredEnlargement) {
  // Neighbours 9 1 8 / 2 . 7 / 3 6 4: sorted 1 2 3 4 6 7 8 9, (4 + 6) / 2.
  const std::vector<uint8_t> p = {9, 1, 8, 2, 200, 7, 3, 6, 4};
  EXPECT_EQ(median(p.data(), 1, 1, 3), 5);

  std::vector<uint8_t> img = {1, 2, 3, 4, 5, 6};  // 3 x 2
  std::vector<uint8_t> big(5 * 4, 0);
  unsigned char* plane = img.data();
  int32_t w = 3, h = 2;
  enlarge(&plane, big.data(), &w, &h, 1);
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(plane, big.data());
  const std::vector<uint8_t> want = {1, 1, 2, 3, 3,  //
                                     1, 1, 2, 3, 3,  //
                                     4, 4, 5, 6, 6,  //
                                     4, 4, 5, 6, 6};
  EXPECT_EQ(big, want);
  // A border deeper than the plane is refused.
  plane = img.data();
  w = 3;
  h = 2;
  enlarge(&plane, big.data(), &w, &h, 3);
  EXPECT_EQ(plane, img.data());
  EXPECT_EQ(w, 3);
}

TEST(SusanSmoothing, FlatPlanesAndTooSmallPlanes) {
  std::vector<uint8_t> flat(9 * 7, 77);
  EXPECT_EQ(X_smooth_buf(flat.data(), 9, 7, 10, 20), 0);
  EXPECT_EQ(flat, std::vector<uint8_t>(9 * 7, 77));
  const Lut t(20, 2);
  EXPECT_EQ(s_smoothing(0, flat.data(), 9, 7, 1.0f, t.table), 0);  // round window, m = 2
  EXPECT_EQ(flat, std::vector<uint8_t>(9 * 7, 77));

  const int64_t live = plat::LiveBlockCount();
  std::vector<uint8_t> narrow = {10, 200, 30, 40, 50, 60, 70, 80};  // 2 x 4
  const auto before = narrow;
  // Too small for the 3 x 3 window: the smoothing step leaves it and
  // succeeds, so the passes around it go on.
  EXPECT_EQ(X_smooth_buf(narrow.data(), 2, 4, 10, 20), 0);
  EXPECT_EQ(narrow, before);
  EXPECT_EQ(X_smooth_buf(narrow.data(), 4, 2, 10, 20), 0);
  EXPECT_EQ(narrow, before);
  EXPECT_EQ(s_smoothing(1, narrow.data(), 2, 4, 1.0f, t.table), -1);
  EXPECT_EQ(s_smoothing(0, flat.data(), 9, 7, 3.0f, t.table), -1);  // m = 5 needs 11
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

TEST(SusanSmoothing, OutliersAndBorders) {
  // With threshold 1 a sample 3 or more away from all its neighbours has
  // no similar neighbour and takes their median.
  std::vector<uint8_t> p = {10, 10, 12, 20, 90, 14, 16, 16, 18};
  EXPECT_EQ(X_smooth_buf(p.data(), 3, 3, 10, 1), 0);
  EXPECT_EQ(p[4], 15);  // neighbours 10 10 12 14 16 16 18 20
  // Border rows are smoothed through their mirror like interior ones: a
  // step one sample off the top edge blends the same at x = 0 as inside.
  std::vector<uint8_t> q(6 * 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x) q[y * 6 + x] = y == 0 ? 100 : 110;
  EXPECT_EQ(X_smooth_buf(q.data(), 6, 5, 10, 20), 0);
  for (int32_t x = 0; x < 6; ++x) {
    EXPECT_EQ(q[x], q[2]);
    EXPECT_EQ(q[6 + x], q[6 + 2]);
  }
  // Row 0 sees five neighbours of 100 (two beside it, three mirrored above)
  // and three of 110 at weight 100 * exp(-1/4) = 77:
  // (5*100*100 + 3*110*77) / (500 + 231) = 103.2, so 103; row 1 the other way
  // round, (3*100*77 + 5*110*100) / 731 = 106.8, to the nearest 107.
  EXPECT_EQ(q[2], 103);
  EXPECT_EQ(q[6 + 2], 107);
  // Every mean and median of a pass is rounded to the nearest, and a median's
  // tie (an odd sum of the middle two) goes to the odd value below mid-grey
  // and to the even one from there up, so the negative of a plane smooths to
  // the negative of its smoothing (a tie at 127.5 itself goes to 128 either
  // way). Threshold 1: no neighbour 3 or more away from the centre is similar.
  struct Median {
    std::vector<uint8_t> nine;
    int want;
  };
  const Median medians[] = {
      {{10, 10, 12, 20, 90, 14, 15, 16, 18}, 15},          // 14 + 15, below mid-grey: odd
      {{10, 10, 12, 20, 90, 13, 15, 16, 18}, 14},          // 13 + 15: no tie
      {{200, 200, 212, 220, 9, 215, 216, 216, 218}, 216},  // 215 + 216 from there up: even
      {{55, 55, 43, 35, 246, 40, 39, 39, 37}, 39},         // the negative of the last
      {{120, 130, 125, 126, 9, 127, 128, 140, 150}, 128},  // 127 + 128
  };
  for (const Median& m : medians) {
    auto nine = m.nine;
    EXPECT_EQ(X_smooth_buf(nine.data(), 3, 3, 10, 1), 0);
    EXPECT_EQ(nine[4], m.want) << int{m.nine[5]};
  }
  // Threshold 100 weighs a difference of 1 at 99: one 10 and seven 12s around
  // an 11 average 11.75, to the nearest 12 (truncated, 11).
  std::vector<uint8_t> mean = {10, 12, 12, 12, 11, 12, 12, 12, 12};
  EXPECT_EQ(X_smooth_buf(mean.data(), 3, 3, 10, 100), 0);
  EXPECT_EQ(mean[4], 12);
}

TEST(SusanSmoothing, ThresholdZeroKeepsEverySample) {
  const auto p = Noise(13, 9, 77, 60);
  auto q = p;
  EXPECT_EQ(X_smooth_buf(q.data(), 13, 9, 10, 0), 0);
  EXPECT_EQ(q, p);
  const Lut z(-3, 2);
  EXPECT_EQ(s_smoothing(0, q.data(), 13, 9, 1.0f, z.table), 0);
  EXPECT_EQ(q, p);
}

TEST(SusanSmoothing, IntegerQuotientMatchesTheFloatForm) {
  for (int32_t t : {0, 1, 4, 12, 20, 45, 120}) {
    const int32_t w = 37, h = 23;
    const auto p = Noise(w, h, static_cast<uint32_t>(t) + 5, t == 0 ? 3 : 3 * t + 1);
    const Lut lut(t, 2);
    const auto ref = ReferenceSmooth(p, w, h, lut);
    auto got = p;
    ASSERT_EQ(X_smooth_buf(got.data(), w, h, 10, t), 0);
    EXPECT_EQ(got, ref) << "threshold " << t;
  }
}

TEST(SusanSmoothing, AnyThreadCountMatchesTheFloatForm) {
  // The rows run in bands; a plane lower or narrower than 3 stays as it is.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049}}) {
    const auto p = Noise(w, h, static_cast<uint32_t>(w + h), 61);
    // Threshold 0 takes the form for tables without the centre's 100.
    for (int32_t t : {0, 20}) {
      const auto want = w < 3 || h < 3 ? p : ReferenceSmooth(p, w, h, Lut(t, 2));
      for (int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        auto got = p;
        ASSERT_EQ(X_smooth_buf(got.data(), w, h, 10, t), 0);
        EXPECT_EQ(got, want) << w << "x" << h << " t " << t << " threads " << threads;
      }
      plat::SetThreadCount(0);
    }
  }
}

// The denoise written plainly: a copy smoothed `passes` times by the plain
// float form, then every sample of the clipped rectangle blended sample by
// sample through the shared blend kernel, mixed to the nearest.
std::vector<uint8_t> PlainDeNoise(std::vector<uint8_t> p, const uint8_t* mask, int32_t w,
                                  int32_t h, int32_t mode, int32_t opacity, int32_t passes,
                                  int32_t threshold, int32_t left, int32_t top, int32_t right,
                                  int32_t bottom) {
  auto copy = p;
  if (w >= 3 && h >= 3)
    for (int32_t k = 0; k < passes; ++k) copy = ReferenceSmooth(copy, w, h, Lut(threshold, 2));
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, w - 1);
  bottom = std::min(bottom, h - 1);
  const int32_t op = std::clamp(opacity, 0, 255);
  for (int32_t y = top; y <= bottom; ++y)
    for (int32_t x = left; x <= right; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      unsigned char t = p[i];
      X_optionRPart(&t, static_cast<uint32_t>(mode + 1), p[i], copy[i]);
      const int32_t m = mask != nullptr ? mask[i] * op / 255 : op;
      p[i] = static_cast<uint8_t>((m * t + (255 - m) * p[i] + 127) / 255);
    }
  return p;
}

// The plane filter smooths in bands of rows with enlarged rows of their own,
// the last pass blended straight into the plane (replacement in 16-bit
// lanes), and no pass at all blends each sample with itself, which the
// modes that keep a sample blended with itself skip: the same bytes as the
// plain copy-smooth-blend at every vector level and thread count.
TEST(DenoiseFastForms, PlaneFilterMatchesThePlainCopyAndBlend) {
  struct Blend {
    int32_t mode, opacity;
    bool masked;
  };
  const Blend blends[] = {{0, 255, false}, {0, 255, true}, {0, 140, false}, {0, 254, false},
                          {0, 300, true},
                          {0, -5, false},  {3, 90, true},  {1, 200, true},  {2, 255, false},
                          {6, 255, true},  {9, 120, true}, {11, 77, false}, {-1, 255, true},
                          {13, 200, false}};
  struct Shape {
    int32_t w, h;
  };
  for (const Shape s : {Shape{1, 1}, Shape{17, 3}, Shape{2049, 5}, Shape{5, 300}, Shape{70, 97}}) {
    const auto plane = Noise(s.w, s.h, static_cast<uint32_t>(s.w * 7 + s.h), 61);
    const auto mask = vmktest::Noise(plane.size(), static_cast<uint32_t>(s.w + 3 * s.h));
    // The whole plane as the render passes it (one beyond each edge), and an
    // inner rectangle overhanging the left and top edges.
    const int32_t rects[2][4] = {{0, 0, s.w, s.h}, {-3, -2, s.w / 2, (2 * s.h) / 3}};
    for (int32_t passes : {0, 1, 2, 3}) {
      for (int32_t threshold : {20, 0}) {
        if (threshold == 0 && passes != 1) continue;
        for (const auto& r : rects) {
          for (const Blend& b : blends) {
            const uint8_t* m = b.masked ? mask.data() : nullptr;
            const auto want = PlainDeNoise(plane, m, s.w, s.h, b.mode, b.opacity, passes,
                                           threshold, r[0], r[1], r[2], r[3]);
            for (auto level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                               plat::SimdLevel::kAvx512}) {
              for (int threads : {1, 3, 8}) {
                const vmktest::LevelAndThreads hold(level, threads);
                auto got = plane;
                ASSERT_EQ(DeNoise(static_cast<int16_t>(b.mode), static_cast<int16_t>(b.opacity),
                                  got.data(), m, s.h, s.w, r[0], r[1], r[2], r[3],
                                  static_cast<int16_t>(passes), 10,
                                  static_cast<int16_t>(threshold)),
                          0);
                ASSERT_EQ(got, want)
                    << s.w << "x" << s.h << " passes " << passes << " t " << threshold
                    << " rect " << r[0] << "," << r[1] << " mode " << b.mode << " opacity "
                    << b.opacity << (b.masked ? " masked" : "") << " level "
                    << static_cast<int>(level) << " threads " << threads;
              }
            }
          }
        }
      }
    }
  }
  // One pass reads the plane it writes: on a tall plane the bands run side
  // by side, and each must read the rows beside it as they were.
  const int32_t w = 1000, h = 3000;
  const auto tall = Noise(w, h, 77, 90);
  const auto want = PlainDeNoise(tall, nullptr, w, h, 0, 255, 1, 20, 0, 0, w, h);
  for (int threads : {3, 8}) {
    const vmktest::LevelAndThreads hold(plat::SimdLevel::kAvx512, threads);
    for (int run = 0; run < 2; ++run) {
      auto got = tall;
      ASSERT_EQ(DeNoise(0, 255, got.data(), nullptr, h, w, 0, 0, w, h, 1, 10, 20), 0);
      ASSERT_EQ(got, want) << "threads " << threads << " run " << run;
    }
  }
}

// The row kernels by vector level: bytes looked up by shuffles (AVX2) or by
// permutes (AVX-512), the gathers where a table's weights reach beyond 126
// (threshold 60 on), the plain loop below them; every column of a row that
// is not a whole number of steps falls to the next form down.
TEST(SusanSmoothing, EveryVectorLevelMatchesTheFloatForm) {
  for (auto [w, h] : {std::pair{2049, 5}, std::pair{203, 9}}) {
    // Clustered samples (many similar neighbours), uniform ones (many
    // without any, and the widest differences), and three levels about
    // mid-grey, where a mean of neighbours one level below and above at equal
    // weights often lies half-way (the rounded quotients' ties).
    const auto clustered = Noise(w, h, static_cast<uint32_t>(w), 40);
    const auto uniform = vmktest::Noise(static_cast<size_t>(w) * h, static_cast<uint32_t>(h));
    const auto levels = [&] {
      auto l = uniform;
      for (uint8_t& v : l) v = static_cast<uint8_t>(126 + v % 3);
      return l;
    }();
    for (const auto* p : {&clustered, &uniform, &levels}) {
      for (int32_t t : {1, 3, 7, 8, 20, 45, 59, 60, 120}) {
        const auto want = ReferenceSmooth(*p, w, h, Lut(t, 2));
        for (auto level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                           plat::SimdLevel::kAvx512}) {
          for (int threads : {1, 3, 8}) {
            const vmktest::LevelAndThreads hold(level, threads);
            auto got = *p;
            ASSERT_EQ(X_smooth_buf(got.data(), w, h, 10, t), 0);
            ASSERT_EQ(got, want) << w << "x" << h << " t " << t << " level "
                                 << static_cast<int>(level) << " threads " << threads
                                 << (p == &uniform ? " uniform"
                                                   : (p == &levels ? " levels" : " clustered"));
          }
        }
      }
    }
  }
}

class Denoise : public ::testing::Test {};

TEST_F(Denoise, PlaneFilterMixesTheSmoothedCopy) {
  const int32_t w = 16, h = 12;
  const auto plane = Noise(w, h, 21, 30);
  auto p = plane;
  EXPECT_EQ(DeNoise(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 0, 10, 20), 0);
  EXPECT_EQ(p, plane);  // passes 0: the unchanged copy
  EXPECT_EQ(DeNoise(0, 255, p.data(), nullptr, h, w, -4, 2, 99, 5, 2, 10, 20), 0);
  auto twice = plane;
  ASSERT_EQ(X_smooth_buf(twice.data(), w, h, 10, 20), 0);
  ASSERT_EQ(X_smooth_buf(twice.data(), w, h, 10, 20), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      EXPECT_EQ(p[y * w + x], y >= 2 && y <= 5 ? twice[y * w + x] : plane[y * w + x]);
  // A 2 x 5 plane cannot be smoothed: the unsmoothed copy is blended in,
  // which the normal mode leaves as it was, and the call succeeds.
  std::vector<uint8_t> narrow(2 * 5, 9);
  narrow[3] = 200;
  const auto before = narrow;
  EXPECT_EQ(DeNoise(0, 255, narrow.data(), nullptr, 5, 2, 0, 0, 1, 4, 1, 10, 20), 0);
  EXPECT_EQ(narrow, before);
}

TEST_F(Denoise, PixelDriverByChannelAndOpacity) {
  const int32_t w = 20, h = 14;
  std::vector<uint32_t> src(w * h);
  const auto r = Noise(w, h, 31, 25), g = Noise(w, h, 32, 25), b = Noise(w, h, 33, 25);
  for (size_t i = 0; i < src.size(); ++i) src[i] = Px(r[i], g[i], b[i], 250);
  std::vector<uint32_t> dst(src.size(), Px(1, 2, 3, 4));
  EXPECT_EQ(X_DeNoise_buffer(1, h, w, src.data(), dst.data(), 0, 0, w, h, 100, 1, 10, 20), 0);
  auto rs = r;
  ASSERT_EQ(X_smooth_buf(rs.data(), w, h, 10, 20), 0);
  for (size_t i = 0; i < dst.size(); ++i) {
    EXPECT_EQ(PxByte(dst[i], 0), rs[i]);
    EXPECT_EQ(PxByte(dst[i], 3), 4);  // mode 1 leaves byte 3
  }
  // Opacity mixes with what dst already holds; 0 leaves it.
  std::vector<uint32_t> half(src.size(), Px(0, 0, 0, 0));
  EXPECT_EQ(X_DeNoise_buffer(0, h, w, src.data(), half.data(), 0, 0, w, h, 50, 1, 10, 20), 0);
  for (size_t i = 0; i < half.size(); ++i) {
    EXPECT_EQ(PxByte(half[i], 0), (rs[i] * 50 + 50) / 100);  // to the nearest
    EXPECT_EQ(PxByte(half[i], 3), 250 * 50 / 100);  // a flat channel stays flat
  }
  auto keep = dst;
  EXPECT_EQ(X_DeNoise_buffer(0, h, w, src.data(), keep.data(), 0, 0, w, h, 0, 2, 10, 20), 0);
  EXPECT_EQ(keep, dst);
  // Row-held planes give the same bytes in place.
  vmktest::RowHeld rows(3, w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) rows.at(c, x, y) = PxByte(src[y * w + x], c);
  auto same = src;
  EXPECT_EQ(X_DeNoise_buffer(1, h, w, src.data(), same.data(), 0, 0, w, h, 70, 2, 10, 20), 0);
  EXPECT_EQ(X_DeNoise_reabuffer(1, h, w, rows.planes(), 0, 0, w, h, 70, 2, 10, 20), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(rows.at(c, x, y), PxByte(same[y * w + x], c));
  // Too narrow an image to smooth: the channels are copied over as they
  // are, mixed by opacity, and the call succeeds.
  std::vector<uint32_t> tiny(2 * 5), tinyDst(2 * 5, Px(1, 2, 3, 4));
  for (int i = 0; i < 10; ++i) tiny[i] = Px(10 * i, 200 - i, 7, 9);
  EXPECT_EQ(X_DeNoise_buffer(1, 5, 2, tiny.data(), tinyDst.data(), 0, 0, 2, 5, 100, 1, 10, 20), 0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(tinyDst[i], Px(10 * i, 200 - i, 7, 4));
  vmktest::RowHeld small(3, 2, 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c) small.at(c, x, y) = PxByte(tiny[y * 2 + x], c);
  EXPECT_EQ(X_DeNoise_reabuffer(1, 5, 2, small.planes(), 0, 0, 2, 5, 100, 1, 10, 20), 0);
  EXPECT_EQ(small.at(0, 1, 4), PxByte(tiny[9], 0));
}

}  // namespace
