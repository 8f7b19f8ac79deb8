#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/core/colour_spaces.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "operations/rank_kernels.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Seeded(size_t n, uint32_t seed) {
  Plane p(n);
  for (auto& v : p) {
    seed = seed * 1664525u + 1013904223u;
    v = static_cast<unsigned char>(seed >> 24);
  }
  return p;
}

struct Case {
  int32_t w, h;
  int32_t x0, y0, x1, y1;  // as passed, before clamping
};

// Plane shapes with regions that are whole, odd, touching one side or
// overhanging.
const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {{1, 1, 0, 0, 0, 0},     {9, 1, 0, 0, 8, 0},
                                          {1, 7, 0, 0, 0, 6},     {23, 17, 0, 0, 22, 16},
                                          {37, 29, 5, 3, 30, 26}, {31, 19, -4, 2, 40, 11},
                                          {26, 26, 3, 0, 3, 25},  {150, 9, 3, 1, 146, 8}};
  return cases;
}

unsigned char RefBlend(int mode, int old, int v, int weight) {
  unsigned char combined = static_cast<unsigned char>(old);
  X_optionRPart(&combined, static_cast<uint32_t>(mode + 1), old, v);
  return static_cast<unsigned char>(((255 - weight) * old + weight * combined) / 255);
}

// The literal separable filter: the column window of each row shrinks
// symmetrically at the region's top and bottom, the row window at its
// sides.
Plane RefExtreme(bool max, const Plane& in, Case c, int rx, int ry, int ch, int mode, int opacity,
                 const unsigned char* mask) {
  Plane out = in;
  int x0 = std::max(c.x0, 0), y0 = std::max(c.y0, 0);
  int x1 = std::min(c.x1, c.w - 1), y1 = std::min(c.y1, c.h - 1);
  const int rw = x1 - x0 + 1;
  std::vector<int> work(static_cast<size_t>(rw) * ch * (y1 - y0 + 1));
  for (int y = y0; y <= y1; ++y) {
    const int ky = std::min({ry, y - y0, y1 - y});
    std::vector<int> row(static_cast<size_t>(rw) * ch);
    for (int x = x0; x <= x1; ++x) {
      for (int k = 0; k < ch; ++k) {
        int v = in[(static_cast<size_t>(y) * c.w + x) * ch + k];
        for (int d = -ky; d <= ky; ++d) {
          const int s = in[(static_cast<size_t>(y + d) * c.w + x) * ch + k];
          v = max ? std::max(v, s) : std::min(v, s);
        }
        row[(x - x0) * ch + k] = v;
      }
    }
    for (int x = x0; x <= x1; ++x) {
      const int kx = std::min({rx, x - x0, x1 - x});
      for (int k = 0; k < ch; ++k) {
        int v = in[(static_cast<size_t>(y) * c.w + x) * ch + k];
        for (int d = -kx; d <= kx; ++d) {
          const int s = row[(x - x0 + d) * ch + k];
          v = max ? std::max(v, s) : std::min(v, s);
        }
        work[((y - y0) * rw + (x - x0)) * ch + k] = v;
      }
    }
  }
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const size_t p = static_cast<size_t>(y) * c.w + x;
      const int a = mask ? mask[p] * opacity / 255 : opacity;
      for (int k = 0; k < ch; ++k) {
        out[p * ch + k] =
            RefBlend(mode, in[p * ch + k], work[((y - y0) * rw + (x - x0)) * ch + k], a);
      }
    }
  }
  return out;
}

// The literal median: gather the window with coordinates clamped to the
// region, sort, take entry n / 2; repeated passes filter the last output.
Plane RefMedian(const Plane& in, Case c, int r, int passes, int mode, int opacity,
                const unsigned char* mask) {
  int x0 = std::max(c.x0, 0), y0 = std::max(c.y0, 0);
  int x1 = std::min(c.x1, c.w - 1), y1 = std::min(c.y1, c.h - 1);
  Plane work = in, output = in;
  for (int pass = 0; pass < passes; ++pass) {
    std::vector<int> list;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        list.clear();
        for (int j = -r; j <= r; ++j) {
          for (int i = -r; i <= r; ++i) {
            const int xx = std::clamp(x + i, x0, x1), yy = std::clamp(y + j, y0, y1);
            list.push_back(work[static_cast<size_t>(yy) * c.w + xx]);
          }
        }
        std::sort(list.begin(), list.end());
        output[static_cast<size_t>(y) * c.w + x] =
            static_cast<unsigned char>(list[static_cast<size_t>(list.size() * 0.5)]);
      }
    }
    work = output;
  }
  Plane out = in;
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      const size_t p = static_cast<size_t>(y) * c.w + x;
      const int a = mask ? mask[p] * opacity / 255 : opacity;
      out[p] = RefBlend(mode, in[p], output[p], a);
    }
  }
  return out;
}

class RankFilters : public vmktest::SessionTest {};

// At one, three and eight threads, on the shapes above and on planes of several strips and
// row bands (the passes share them out, each band with its own block extremes).
TEST_F(RankFilters, MaximaAndMinimaMatchTheLiteralWindowsBitForBit) {
  std::vector<Case> cases = Cases();
  cases.push_back({301, 40, 0, 0, 300, 39});
  cases.push_back({290, 37, 3, -2, 299, 33});
  cases.push_back({5, 70, 0, 0, 4, 69});
  for (const int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    uint32_t seed = 7;
    for (const Case& c : cases) {
      for (const int ch : {1, 3}) {
        const Plane in = Seeded(static_cast<size_t>(c.w) * c.h * ch, ++seed);
        const Plane mask = Seeded(static_cast<size_t>(c.w) * c.h, ++seed);
        for (int rx = 0; rx <= 12; rx += (rx < 3 ? 1 : 4)) {
          for (int ry = 0; ry <= 12; ry += (ry < 3 ? 1 : 3)) {
            for (const bool max : {true, false}) {
              const bool masked = (rx + ry) % 2 == 1;
              const int mode = (rx + ry) % 5 == 0 ? 3 : 0;
              const int opacity = ry == 2 ? 140 : 255;
              const unsigned char* m = masked ? mask.data() : nullptr;
              Plane got = in;
              auto fn = max ? &Effects::Maxima : &Effects::Minima;
              ASSERT_EQ(fn(static_cast<int16_t>(mode), static_cast<int16_t>(opacity), got.data(),
                           c.h, c.w, c.x0, c.y0, c.x1, c.y1, static_cast<int16_t>(rx),
                           static_cast<int16_t>(ry), static_cast<int16_t>(ch), m),
                        0);
              ASSERT_EQ(got, RefExtreme(max, in, c, rx, ry, ch, mode, opacity, m))
                  << (max ? "max " : "min ") << c.w << "x" << c.h << " ch " << ch << " r " << rx
                  << "," << ry << " threads " << threads;
            }
          }
        }
      }
    }
  }
  plat::SetThreadCount(0);
}

// Rare peaks and pits in a level plane, so that a window one sample too wide or too narrow shows
// in the extremes even at radii where plain noise would saturate them.
Plane Sparse(size_t n, uint32_t seed) {
  Plane p = vmktest::Noise(n, seed);
  for (auto& v : p) v = v % 61 == 0 ? v : (v % 97 == 0 ? 255 - v : 128);
  return p;
}

// One channel: the row pass by doubling written straight into the plane, at every vector level
// and at 1, 3 and 8 threads, against the literal windows; on a single pixel, short rows, rows
// wider than two vectors, a tall plane and regions inside and over the plane's edges, with radii
// from none to beyond the plane. The bare core too, which other filters call.
TEST_F(RankFilters, OneChannelRowsByDoublingMatchTheLiteralWindows) {
  const std::vector<Case> cases = {{1, 1, 0, 0, 0, 0},        {17, 3, 0, 0, 16, 2},
                                   {2049, 5, 0, 0, 2048, 4},  {2049, 5, 3, -1, 2100, 3},
                                   {6, 300, 0, 0, 5, 299},    {70, 260, 2, 9, 66, 251}};
  // Windows up to 9 go in one pass, longer ones by doubling (radii 4 and 5 on either side).
  // Column radii up to 16 go down bands of rows (at least 16 a band) in one walk, the last band
  // of the tall planes shorter than the radius at 13 to 16; 17 and more go by strips.
  const int radii[][2] = {{0, 0},   {1, 0},  {0, 1},  {1, 1},  {2, 2},  {3, 7},
                          {7, 3},   {4, 5},  {5, 4},  {24, 2}, {2, 24}, {31, 1},
                          {32, 33}, {2, 13}, {1, 16}, {5, 15}, {0, 17}, {5000, 5000}};
  const plat::SimdLevel levels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                    plat::SimdLevel::kAvx512};
  uint32_t seed = 40;
  for (const Case& c : cases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane mask = vmktest::Noise(n, ++seed);
    for (const bool sparse : {false, true}) {
      const Plane in = sparse ? Sparse(n, ++seed) : vmktest::Noise(n, ++seed);
      for (const auto& r : radii) {
        for (const bool max : {true, false}) {
          for (const bool masked : {false, true}) {
            const int mode = masked ? 3 : 0;
            const int opacity = masked ? 200 : 255;
            const unsigned char* m = masked ? mask.data() : nullptr;
            const Plane want = RefExtreme(max, in, c, r[0], r[1], 1, mode, opacity, m);
            const Case whole{c.w, c.h, 0, 0, c.w - 1, c.h - 1};
            const Plane bare = RefExtreme(max, in, whole, r[0], r[1], 1, 0, 255, nullptr);
            for (const plat::SimdLevel level : levels) {
              for (const int threads : {1, 3, 8}) {
                const vmktest::LevelAndThreads hold(level, threads);
                Plane got = in;
                auto fn = max ? &Effects::Maxima : &Effects::Minima;
                ASSERT_EQ(fn(static_cast<int16_t>(mode), static_cast<int16_t>(opacity),
                             got.data(), c.h, c.w, c.x0, c.y0, c.x1, c.y1,
                             static_cast<int16_t>(r[0]), static_cast<int16_t>(r[1]), 1, m),
                          0);
                ASSERT_EQ(got, want) << (max ? "max " : "min ") << c.w << "x" << c.h << " r "
                                     << r[0] << "," << r[1] << " mask " << masked << " level "
                                     << static_cast<int>(level) << " threads " << threads;
                Plane core(n);
                ASSERT_EQ(rank::ExtremeFilter(
                              plat::ConstPlaneView<uint8_t>::Packed(in.data(), c.w, c.h),
                              plat::PlaneView<uint8_t>::Packed(core.data(), c.w, c.h), 1, r[0],
                              r[1], max ? rank::Extreme::kMax : rank::Extreme::kMin),
                          0);
                ASSERT_EQ(core, bare) << (max ? "core max " : "core min ") << c.w << "x"
                                      << c.h << " r " << r[0] << "," << r[1] << " level "
                                      << static_cast<int>(level) << " threads " << threads;
              }
            }
          }
        }
      }
    }
  }
}

// One channel with a column radius up to 16 walks down bands of rows (a 32nd of the region, at
// least 16 and at least the radius) and writes each band straight into the plane, after setting
// aside the rows its neighbours read: tall regions of many bands, a last band shorter than the
// radius, windows in one pass and by doubling on either axis, with and without a mask, at every
// vector level and at 1, 3 and 8 threads.
TEST_F(RankFilters, BandWalkOverManyBandsMatchesTheLiteralWindows) {
  const std::vector<Case> cases = {{61, 1000, 0, 0, 60, 999},    // bands of 32, the last 8 rows
                                   {130, 700, 3, 41, 120, 690},  // bands of 21, the last 20
                                   {40, 520, 0, 0, 39, 519}};    // bands of 17, the last 10
  const int radii[][2] = {{0, 1}, {2, 2}, {4, 4}, {5, 5}, {9, 8}, {2, 15}, {3, 16}, {1, 12}};
  const plat::SimdLevel levels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                    plat::SimdLevel::kAvx512};
  uint32_t seed = 500;
  for (const Case& c : cases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane in = Sparse(n, ++seed);
    const Plane mask = vmktest::Noise(n, ++seed);
    for (const auto& r : radii) {
      for (const bool max : {true, false}) {
        for (const bool masked : {false, true}) {
          const int mode = masked ? 5 : 0;
          const int opacity = masked ? 170 : 255;
          const unsigned char* m = masked ? mask.data() : nullptr;
          const Plane want = RefExtreme(max, in, c, r[0], r[1], 1, mode, opacity, m);
          for (const plat::SimdLevel level : levels) {
            for (const int threads : {1, 3, 8}) {
              const vmktest::LevelAndThreads hold(level, threads);
              Plane got = in;
              auto fn = max ? &Effects::Maxima : &Effects::Minima;
              ASSERT_EQ(fn(static_cast<int16_t>(mode), static_cast<int16_t>(opacity), got.data(),
                           c.h, c.w, c.x0, c.y0, c.x1, c.y1, static_cast<int16_t>(r[0]),
                           static_cast<int16_t>(r[1]), 1, m),
                        0);
              ASSERT_EQ(got, want) << (max ? "max " : "min ") << c.w << "x" << c.h << " r " << r[0]
                                   << "," << r[1] << " mask " << masked << " level "
                                   << static_cast<int>(level) << " threads " << threads;
            }
          }
        }
      }
    }
  }
}

TEST_F(RankFilters, MedianMatchesTheSortedWindowBitForBit) {
  uint32_t seed = 99;
  for (const Case& c : Cases()) {
    const Plane in = Seeded(static_cast<size_t>(c.w) * c.h, ++seed);
    const Plane mask = Seeded(in.size(), ++seed);
    for (int r = 0; r <= 12; ++r) {
      const int passes = r % 3 + 1;
      const unsigned char* m = r % 2 ? mask.data() : nullptr;
      const int mode = r == 4 ? 5 : 0;
      Plane got = in;
      ASSERT_EQ(
          Effects::Median(static_cast<int16_t>(mode), 200, got.data(), c.h, c.w, c.x0, c.y0, c.x1,
                          c.y1, static_cast<int16_t>(r), static_cast<int16_t>(passes), m),
          0);
      ASSERT_EQ(got, RefMedian(in, c, r, passes, mode, 200, m))
          << c.w << "x" << c.h << " r " << r << " passes " << passes;
    }
  }
  // Few grey levels make long runs of equal samples around the middle.
  Plane flat = Seeded(40 * 30, 5);
  for (auto& v : flat) v &= 0xC0;
  const Case whole{40, 30, 0, 0, 39, 29};
  Plane got = flat;
  ASSERT_EQ(Effects::Median(0, 255, got.data(), 30, 40, 0, 0, 39, 29, 3, 2, nullptr), 0);
  EXPECT_EQ(got, RefMedian(flat, whole, 3, 2, 0, 255, nullptr));
}

TEST_F(RankFilters, SmallCasesOfWindowsAndPasses) {
  const Plane in = Seeded(6 * 5, 3);
  Plane p = in;
  // Radius 0 copies the region.
  ASSERT_EQ(Effects::Maxima(0, 255, p.data(), 5, 6, 0, 0, 5, 4, 0, 0, 1, nullptr), 0);
  ASSERT_EQ(Effects::Minima(0, 255, p.data(), 5, 6, 0, 0, 5, 4, 0, 0, 1, nullptr), 0);
  EXPECT_EQ(p, in);
  // At the region's corners the window is the pixel alone.
  ASSERT_EQ(Effects::Maxima(0, 255, p.data(), 5, 6, 0, 0, 5, 4, 9, 9, 1, nullptr), 0);
  EXPECT_EQ(p[0], in[0]);
  EXPECT_EQ(p[5], in[5]);
  EXPECT_EQ(p[24], in[24]);
  EXPECT_EQ(p[29], in[29]);
  // A lone bright pixel in a dark field goes with the median of radius 1.
  Plane dot(7 * 7, 10);
  dot[3 * 7 + 3] = 250;
  ASSERT_EQ(Effects::Median(0, 255, dot.data(), 7, 7, 0, 0, 6, 6, 1, 1, nullptr), 0);
  EXPECT_EQ(dot, Plane(7 * 7, 10));
  // No pass blends the unfiltered region back.
  p = in;
  ASSERT_EQ(Effects::Median(0, 255, p.data(), 5, 6, 0, 0, 5, 4, 2, 0, nullptr), 0);
  EXPECT_EQ(p, in);
  // A radius whose window is far larger than the region counts the border
  // samples as often as the clamp names them.
  Plane tiny = {0, 200, 90, 30};
  ASSERT_EQ(Effects::Median(0, 255, tiny.data(), 2, 2, 0, 0, 1, 1, 30000, 1, nullptr), 0);
  EXPECT_EQ(tiny, (Plane{30, 90, 90, 30}));
}

TEST_F(RankFilters, RefusedWorkMemoryLeavesThePlane) {
  const Plane in = Seeded(16 * 12, 11);
  Plane p = in;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::Maxima(0, 255, p.data(), 12, 16, 0, 0, 15, 11, 2, 2, 1, nullptr), -1);
  EXPECT_EQ(Effects::Minima(0, 255, p.data(), 12, 16, 0, 0, 15, 11, 2, 2, 1, nullptr), -1);
  EXPECT_EQ(Effects::Median(0, 255, p.data(), 12, 16, 0, 0, 15, 11, 2, 2, nullptr), -1);
  EXPECT_EQ(Effects::X_medianedg_buf(16, 12, p.data(), 0, 0, 15, 11, 0, 1), -1);
  EXPECT_EQ(p, in);
}

TEST_F(RankFilters, EdgeSparingMedianLeavesTheRegionsLastRow) {
  const Plane in = Seeded(20 * 10, 17);
  Plane plain = in, spared = in;
  // Depth 0 is the raster core's median of the region.
  ASSERT_EQ(Effects::X_medianedg_buf(20, 10, plain.data(), 2, 2, 17, 7, 0, 0), 0);
  EXPECT_NE(plain, in);
  ASSERT_EQ(Effects::X_medianedg_buf(20, 10, spared.data(), 2, 2, 17, 7, 0, 1), 0);
  for (int x = 0; x < 20; ++x) {
    EXPECT_EQ(spared[7 * 20 + x], in[7 * 20 + x]);
    EXPECT_EQ(spared[1 * 20 + x], in[1 * 20 + x]);
  }
}

}  // namespace
