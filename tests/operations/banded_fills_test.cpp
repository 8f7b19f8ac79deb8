// The stripes laid along a turned axis (positions a run at a time, eight on AVX2) and the edge
// map's passes in bands give the plain forms' bytes: the baseline level at one thread is the
// plain form, every other level and thread count must match it, on odd sizes, turned axes and
// regions, with and without a mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/plane_geometry.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/level_and_threads.h"
#include "support/session.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::LevelAndThreads;

constexpr plat::SimdLevel kLevels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                       plat::SimdLevel::kAvx512};

using vmktest::Noise;

struct Case {
  int32_t w, h, x0, y0, x1, y1;
};
constexpr Case kCases[] = {{1, 1, 0, 0, 0, 0},       {17, 3, 0, 0, 16, 2},
                           {2049, 5, 3, 1, 2040, 4}, {5, 2049, 0, 0, 4, 2048},
                           {601, 67, -5, 2, 700, 80}, {531, 211, 40, 30, 40, 200}};

TEST(BandedFills, ColourBarOnEveryLevelAndThreadCountIsThePlainForm) {
  // One entry a stripe for the longest period, seven values over and over.
  const unsigned char seven[7] = {0, 3, 16, 1, 2, 16, 4};
  unsigned char pattern[255];
  for (size_t k = 0; k < sizeof pattern; ++k) pattern[k] = seven[k % 7];
  const unsigned char colours[16] = {11, 22, 33, 44, 55};
  for (const Case& c : kCases) {
    for (int16_t angle : {0, 17, 45, 90, 133, 200, 271, 359}) {
      for (int32_t period : {1, 7, 255}) {
        const size_t n = static_cast<size_t>(c.w) * c.h;
        auto bars = [&](plat::SimdLevel level, int threads) {
          const LevelAndThreads run(level, threads);
          Plane p = Noise(n, 5);
          EXPECT_EQ(Effects::ColorBar(p.data(), c.h, c.w, c.x0, c.y0, c.x1, c.y1, period,
                                      pattern, colours, angle),
                    0);
          return p;
        };
        const Plane plain = bars(plat::SimdLevel::kBaseline, 1);
        for (const plat::SimdLevel level : kLevels)
          for (int threads : {1, 3, 8})
            ASSERT_EQ(bars(level, threads), plain)
                << c.w << "x" << c.h << " angle " << angle << " period " << period << " level "
                << static_cast<int>(level) << " threads " << threads;
      }
    }
  }
}

// The stripes one pixel at a time, straight from the axis geometry: the region's top edge
// turned about its centre, each pixel projected on it, its distance scaled to `period` stripes
// and wrapped. The plain walk every faster form of ColorBar must match.
Plane PlainBars(Plane p, int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                int32_t period, const unsigned char* pattern, const unsigned char* colours,
                int16_t angleDegrees) {
  effect_support::ClampRegion(w, h, x0, y0, x1, y1);
  const float cx = static_cast<float>((x0 + x1) / 2), cy = static_cast<float>((y0 + y1) / 2);
  const float angle = static_cast<float>(angleDegrees) * 3.141592654f / 180.0f;
  float p1x = 0, p1y = 0, p2x = 0, p2y = 0, a = 0, b = 0, c = 0;
  A_point_fromAng(cx, cy, static_cast<float>(x0), static_cast<float>(y0), &p1x, &p1y, angle);
  A_point_fromAng(cx, cy, static_cast<float>(x1), static_cast<float>(y0), &p2x, &p2y, angle);
  const float length = distance(p1x, p1y, p2x, p2y);
  A_lig_2point(p1x, p1y, p2x, p2y, &a, &b, &c);
  const bool usable = length > 1.0e-6f && (a != 0.0f || b != 0.0f);
  const auto trunc = [](float v) {
    return v > 1.0e9f ? 1000000000 : v < -1.0e9f ? -1000000000 : static_cast<int32_t>(v);
  };
  const float s = static_cast<float>(period);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      int32_t at = 0;
      if (usable) {
        float qx = 0, qy = 0;
        A_proj_droit(a, b, c, static_cast<float>(x), static_cast<float>(y), &qx, &qy);
        const float d1 = distance(qx, qy, p1x, p1y), d2 = distance(qx, qy, p2x, p2y);
        if (d2 > length) {
          at = period - trunc(d2 * s / length + 0.5f) % period;
          if (at == period) at = 0;
        } else {
          at = trunc(d1 * s / length + 0.5f) % period;
        }
      }
      if (pattern[at] < 16) p[static_cast<size_t>(y) * w + x] = colours[pattern[at]];
    }
  return p;
}

TEST(BandedFills, ColourBarOfAnyPatternIsThePlainPixelWalk) {
  // Stripes of every kind: one value throughout (painted or free), a run of each, and mixed;
  // rows of 0 degrees and columns of 90 share their positions, others do not.
  std::vector<unsigned char> mixed(300), halves(300, 0), same(300, 2), free(300, 16);
  for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<unsigned char>(i * 7 % 19);
  for (size_t i = 150; i < halves.size(); ++i) halves[i] = 16;
  const unsigned char colours[16] = {11, 22, 33, 44, 55, 66, 77, 88, 99, 110, 121, 132, 143, 154, 165, 176};
  for (const Case& c : kCases) {
    for (int16_t angle : {0, 30, 90, 180, 270, -360}) {
      for (const auto* pattern : {&mixed, &halves, &same, &free}) {
        for (int32_t period : {1, 5, 300}) {
          const Plane start = Noise(static_cast<size_t>(c.w) * c.h, 4);
          const Plane plain = PlainBars(start, c.w, c.h, c.x0, c.y0, c.x1, c.y1, period,
                                        pattern->data(), colours, angle);
          for (const plat::SimdLevel level : kLevels)
            for (int threads : {1, 3, 8}) {
              const LevelAndThreads run(level, threads);
              Plane p = start;
              ASSERT_EQ(Effects::ColorBar(p.data(), c.h, c.w, c.x0, c.y0, c.x1, c.y1, period,
                                          pattern->data(), colours, angle),
                        0);
              ASSERT_EQ(p, plain) << c.w << "x" << c.h << " angle " << angle << " period "
                                  << period << " level " << static_cast<int>(level)
                                  << " threads " << threads;
            }
        }
      }
    }
  }
}

class BandedEdges : public vmktest::SessionTest {};

TEST_F(BandedEdges, FindEdgeAtAnyThreadCountIsThePlainForm) {
  for (const Case& c : kCases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane mask = Noise(n, 9);
    for (int16_t mode : {0, 4}) {
      for (bool masked : {false, true}) {
        for (int16_t depth : {1, 3}) {
          auto edges = [&](int threads) {
            const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
            Plane p = Noise(n, 3);
            EXPECT_EQ(Effects::FindEdge(mode, 200, p.data(), masked ? mask.data() : nullptr,
                                        c.h, c.w, c.x0, c.y0, c.x1, c.y1, 230, depth, 20),
                      0);
            return p;
          };
          const Plane plain = edges(1);
          for (int threads : {3, 8})
            ASSERT_EQ(edges(threads), plain) << c.w << "x" << c.h << " mode " << mode
                                             << " masked " << masked << " depth " << depth
                                             << " threads " << threads;
        }
      }
    }
  }
}

}  // namespace
