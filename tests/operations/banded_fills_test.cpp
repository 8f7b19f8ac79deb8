// The stripes laid along a turned axis (positions a run at a time, eight on AVX2) and the edge
// map's passes in bands give the plain forms' bytes: the baseline level at one thread is the
// plain form, every other level and thread count must match it, on odd sizes, turned axes and
// regions, with and without a mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

struct LevelAndThreads {
  LevelAndThreads(plat::SimdLevel level, int threads) {
    plat::SetSimdLevel(level);
    plat::SetThreadCount(threads);
  }
  ~LevelAndThreads() {
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    plat::SetThreadCount(0);
  }
};

constexpr plat::SimdLevel kLevels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                       plat::SimdLevel::kAvx512};

Plane Noise(size_t n, uint32_t seed) {
  Plane p(n);
  uint32_t v = seed * 2654435761u + 1;
  for (auto& b : p) {
    v = v * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(v >> 24);
  }
  return p;
}

struct Case {
  int32_t w, h, x0, y0, x1, y1;
};
constexpr Case kCases[] = {{1, 1, 0, 0, 0, 0},       {17, 3, 0, 0, 16, 2},
                           {2049, 5, 3, 1, 2040, 4}, {5, 2049, 0, 0, 4, 2048},
                           {601, 67, -5, 2, 700, 80}, {531, 211, 40, 30, 40, 200}};

TEST(BandedFills, ColourBarOnEveryLevelAndThreadCountIsThePlainForm) {
  const unsigned char pattern[7] = {0, 3, 16, 1, 2, 16, 4};
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
