// The colour range's test of many pixels at once (only the pixels whose smallest component lies
// in the windows' range for their largest go through their own steps; 64 at once with byte
// permutes, 32 on AVX2) gives the bytes of the one-pixel walk: the baseline level at one
// thread is the plain form, every wider level the processor has, at one, three and eight
// threads, must match it, on odd sizes and a tall plane, rows ending inside and at the end of
// a step, one and three sources and targets, with and without a mask, several windows. And
// the ranges never leave out a colour the windows select, checked over every colour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/colour_select.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using vmktest::Noise;

using vmktest::LevelAndThreads;

TEST(ColourRangeLanes, TheRangesHoldEveryColourTheWindowsSelect) {
  struct Windows {
    int16_t hLo, hHi, sLo, sHi, vLo, vHi;
  };
  for (const Windows w : {Windows{-20, 60, 10, 90, 40, 200}, Windows{300, 420, -5, 30, 0, 255},
                          Windows{100, 140, 50, 150, 120, 180}, Windows{170, 250, 0, 100, 0, 255}}) {
    const HsvSelection select(w.hLo, w.hHi, w.sLo, w.sHi, w.vLo, w.vHi);
    const unsigned char* low = select.CandidateLow();
    const unsigned char* high = select.CandidateHigh();
    int64_t inside = 0;
    for (int32_t r = 0; r < 256; ++r)
      for (int32_t g = 0; g < 256; ++g)
        for (int32_t b = 0; b < 256; ++b) {
          if (select.At(r, g, b) == 255) continue;
          ++inside;
          const int32_t mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
          ASSERT_TRUE(mn >= low[mx] && mn <= high[mx]) << r << " " << g << " " << b;
        }
    EXPECT_GT(inside, 0);
  }
}

// The wider levels this processor runs (the AVX-512 one takes the byte permutes where it has
// them, the AVX2 form otherwise).
std::vector<plat::SimdLevel> WideLevels() {
  std::vector<plat::SimdLevel> levels;
  for (const plat::SimdLevel level : {plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512})
    if (static_cast<int32_t>(plat::SimdSupported()) >= static_cast<int32_t>(level))
      levels.push_back(level);
  return levels;
}

TEST(ColourRangeLanes, LanesGiveThePixelWalksBytes) {
  const std::vector<plat::SimdLevel> levels = WideLevels();
  if (levels.empty()) GTEST_SKIP() << "no wide vectors on this processor";
  struct Size {
    int32_t w, h;
  };
  struct Selection {
    int32_t tolerance;
    unsigned char ref[3], colour[3];
  };
  const Selection selections[] = {{40, {120, 60, 30}, {200, 30, 90}},
                                   {90, {20, 200, 180}, {0, 255, 10}},
                                   {10, {130, 75, 40}, {255, 255, 255}}};
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{7, 301}, Size{70, 3}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    // Noise, and a smooth picture whose colours lie near one another.
    Plane src[3] = {Noise(n, 61), Noise(n, 62), Noise(n, 63)};
    for (size_t i = 0; i < n / 2; ++i) {
      src[0][i] = static_cast<unsigned char>(100 + i % 50);
      src[1][i] = static_cast<unsigned char>(50 + (i / 7) % 40);
      src[2][i] = static_cast<unsigned char>(20 + (i / 3) % 30);
    }
    const Plane mask = Noise(n, 64), dst[3] = {Noise(n, 65), Noise(n, 66), Noise(n, 67)};
    // The comparisons mean something only where the selection changes the picture.
    int32_t changed = 0;
    for (const Selection& sel : selections)
      for (const int16_t sources : {1, 3})
        for (const int16_t targets : {1, 3})
          for (const bool masked : {false, true})
            // Columns 1 .. width - 2 (the 2049-wide rows end at a step's end) and 0 .. width - 1
            // (they end one pixel into a step).
            for (const int32_t margin : {0, 1}) {
              const int16_t mode = masked ? 3 : 0, opacity = masked ? 200 : 255;
              auto run = [&](plat::SimdLevel level, int threads) {
                const LevelAndThreads setting(level, threads);
                std::vector<Plane> out(dst, dst + 3);
                EXPECT_EQ(Effects::ColorRange(mode, opacity, sources, src[0].data(),
                                              src[1].data(), src[2].data(), s.h, s.w, targets,
                                              out[0].data(), out[1].data(), out[2].data(), 0, 0,
                                              1 - margin, 0, s.w - 2 + margin, s.h,
                                              masked ? mask.data() : nullptr, sel.tolerance,
                                              sel.colour, sel.ref),
                          0);
                return out;
              };
              const std::vector<Plane> plain = run(plat::SimdLevel::kBaseline, 1);
              changed += plain != std::vector<Plane>(dst, dst + 3) ? 1 : 0;
              for (const plat::SimdLevel level : levels)
                for (const int threads : {1, 3, 8})
                  ASSERT_EQ(run(level, threads), plain)
                      << s.w << "x" << s.h << " level " << static_cast<int>(level)
                      << " tolerance " << sel.tolerance << " sources " << sources << " targets "
                      << targets << " masked " << masked << " margin " << margin << " threads "
                      << threads;
            }
    if (n > 64) {
      EXPECT_GE(changed, 40) << s.w << "x" << s.h;
    }
  }
}

// Every pair of largest and smallest component, with the middle one at either end and between:
// a range looked up from the wrong entry leaves out colours at the windows' edges.
TEST(ColourRangeLanes, LanesTakeEachLargestComponentsOwnRange) {
  const std::vector<plat::SimdLevel> levels = WideLevels();
  if (levels.empty()) GTEST_SKIP() << "no wide vectors on this processor";
  Plane src[3];
  for (int32_t mx = 0; mx < 256; ++mx)
    for (int32_t mn = 0; mn <= mx; ++mn)
      for (const int32_t mid : {mn, (mx + mn) / 2, mx}) {
        // The components' roles turn with the pair, so each plane holds largest, smallest and
        // middle ones.
        const int32_t turn = (mx + mn) % 3;
        const int32_t c[3] = {mx, mid, mn};
        for (int k = 0; k < 3; ++k) src[k].push_back(static_cast<unsigned char>(c[(k + turn) % 3]));
      }
  const int32_t width = 771, height = static_cast<int32_t>(src[0].size()) / width;
  struct Selection {
    int32_t tolerance;
    unsigned char ref[3];
  };
  const unsigned char colour[3] = {7, 250, 128};
  const Plane dst(src[0].size(), 99);
  for (const Selection& sel : {Selection{40, {120, 60, 30}}, Selection{90, {20, 200, 180}},
                               Selection{10, {130, 75, 40}}, Selection{25, {240, 240, 235}},
                               Selection{15, {12, 30, 9}}}) {
    auto run = [&](plat::SimdLevel level, int threads) {
      const LevelAndThreads setting(level, threads);
      Plane out[3] = {dst, dst, dst};
      EXPECT_EQ(Effects::ColorRange(0, 255, 3, src[0].data(), src[1].data(), src[2].data(),
                                    height, width, 3, out[0].data(), out[1].data(), out[2].data(),
                                    0, 0, 0, 0, width - 1, height - 1, nullptr, sel.tolerance,
                                    colour, sel.ref),
                0);
      return std::vector<Plane>(out, out + 3);
    };
    const std::vector<Plane> plain = run(plat::SimdLevel::kBaseline, 1);
    EXPECT_NE(plain[0], dst) << "tolerance " << sel.tolerance;
    for (const plat::SimdLevel level : levels)
      for (const int threads : {1, 3, 8})
        ASSERT_EQ(run(level, threads), plain)
            << "level " << static_cast<int>(level) << " tolerance " << sel.tolerance
            << " threads " << threads;
  }
}

}  // namespace
