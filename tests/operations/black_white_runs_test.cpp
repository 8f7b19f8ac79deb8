// The black-and-white conversion in runs (the mixer's sum, the contrast table and the blend
// of each run at once) gives the bytes of its plain form, written out here as it was first
// written: the mixer into whole-plane copies, the contrast pass over each copy, then each copy
// blended back sample by sample. Odd sizes, regions inside and past the planes, every blend
// mode with and without a mask, filter and tone angles of either sign, on every vector path the
// processor has, at one, three and eight threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::Noise;

void PlainBlackAndWhite(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                        Plane (&planes)[3], int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        const unsigned char* mask, int16_t filterAngle, int16_t filterStrength,
                        int16_t contrast, int16_t toneAngle, int16_t toneStrength) {
  const int32_t S = filterStrength, A = filterAngle;
  const int32_t t = std::abs(S * A) / 180;
  const int32_t wr = A < 0 ? t : 0, wg = S - t, wb = A < 0 ? 0 : t;
  const int32_t T = toneStrength, B = toneAngle;
  const int32_t u = std::abs(T * B) / 180;
  const int32_t m[12] = {wr, wr, wr, wg, wg, wg, wb, wb, wb, B < 0 ? u : 0, T - u, B < 0 ? 0 : u};
  const size_t size = static_cast<size_t>(width) * height;
  Plane out[3] = {Plane(size), Plane(size), Plane(size)};
  Effects::X_exchRGB_CharBuf(height, width, planes[0].data(), planes[1].data(), planes[2].data(),
                             out[0].data(), out[1].data(), out[2].data(), x0, y0, x1, y1, 7, 100,
                             m, m + 3, m + 6, m + 9);
  for (int32_t n = 0; n < 3; ++n) {
    Effects::AdjContrast(0, 255, out[n].data(), height, width, x0, y0, x1, y1, 1, nullptr,
                         contrast, 0, 0);
    effect_support::ForEachPixel(width, height, x0, y0, x1, y1, [&](int64_t i, int32_t, int32_t) {
      planes[n][i] = effect_support::Blend(mode, planes[n][i], out[n][i],
                                           effect_support::Weight(mask, i, opacity));
    });
  }
}

TEST(BlackAndWhiteRuns, RunsGiveThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  struct Args {
    int16_t filterAngle, filterStrength, contrast, toneAngle, toneStrength;
  };
  // The defaults; weights and offsets of either sign, the table the identity or not, the three
  // offsets alike or not; weights at the vector forms' limit, and beyond it.
  const Args args[] = {{0, 50, 0, 0, 0},           {0, 100, 0, 0, 0},
                       {-60, 120, 40, 30, 20},     {150, 80, -50, -120, 60},
                       {-180, 300, 200, 90, -40},  {45, -200, 20, 170, 90},
                       {90, 32767, 0, 0, 0},       {-90, -32767, 0, -45, 300},
                       {32767, 32767, 10, -32000, 30000}};
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 41}, Size{70, 37}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
    const Plane mask = Noise(n, 4);
    struct Region {
      int32_t x0, y0, x1, y1;
    };
    for (const Region r : {Region{0, 0, s.w - 1, s.h - 1}, Region{1, 0, s.w + 5, s.h / 2},
                           Region{-2, 1, s.w / 2, s.h + 3}})
      for (const Args& a : args)
        for (const int16_t mode : {0, 1, 5, 11})
          for (const bool masked : {false, true}) {
            const unsigned char* m = masked ? mask.data() : nullptr;
            const int16_t opacity = masked ? 200 : 255;
            Plane expect[3] = {orig[0], orig[1], orig[2]};
            PlainBlackAndWhite(mode, opacity, s.h, s.w, expect, r.x0, r.y0, r.x1, r.y1, m,
                               a.filterAngle, a.filterStrength, a.contrast, a.toneAngle,
                               a.toneStrength);
            for (const plat::SimdLevel level : levels)
              for (const int threads : {1, 3, 8}) {
                plat::SetSimdLevel(level);
                plat::SetThreadCount(threads);
                Plane got[3] = {orig[0], orig[1], orig[2]};
                const int32_t rc = Effects::BWConversion(
                    mode, opacity, s.h, s.w, got[0].data(), got[1].data(), got[2].data(), r.x0,
                    r.y0, r.x1, r.y1, m, a.filterAngle, a.filterStrength, a.contrast,
                    a.toneAngle, a.toneStrength);
                plat::SetThreadCount(0);
                plat::SetSimdLevel(plat::SimdLevel::kAvx512);
                ASSERT_EQ(rc, 0);
                for (int k = 0; k < 3; ++k)
                  ASSERT_EQ(got[k], expect[k])
                      << s.w << "x" << s.h << " mode " << mode << " level "
                      << static_cast<int>(level) << " threads " << threads << " plane " << k
                      << " angle " << a.filterAngle << " strength " << a.filterStrength;
              }
          }
  }
}

// The vector forms' quotient by 100, over every sum they can meet (below 2^24 in magnitude).
TEST(BlackAndWhiteRuns, QuotientByAHundredIsTheDivisionsForEverySumOfTheLanes) {
  for (int32_t x = -(1 << 24); x <= (1 << 24); ++x)
    if (effect_support::QuotientBy100(x) != x / 100) FAIL() << x;
}

}  // namespace
