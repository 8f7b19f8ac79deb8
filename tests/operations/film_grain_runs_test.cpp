// Film grain with its draws taken a chunk of rows at a time and its rows on the shared
// threads gives the bytes of its plain form, written out here as it was first written (one
// call of the generator per draw, whole-plane copies, one pixel after another), and leaves the
// generator where the plain form leaves it: odd sizes, regions inside and past the planes,
// blend modes with and without a mask, weak and saturating grain, at one, three and eight
// threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "support/session.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::Noise;

struct Grain {
  int16_t amount, highlights, midtones, shadows, colourShare, seed;
};

void PlainFilmGrain(int16_t mode, int16_t opacity, int32_t height, int32_t width, Plane (&plane)[3],
                    int32_t x0, int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                    const Grain& g) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  Plane work[3] = {plane[0], plane[1], plane[2]};
  plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(g.seed)));
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t L = (2 * work[0][i] + work[1][i]) / 3;
      const int32_t off = L < 128 ? 128 - L : L - 128;
      const int32_t mid = 128 - off;
      const int64_t S = static_cast<int64_t>(g.amount) *
                        (L * g.highlights / 255 + g.midtones * mid / 128 + g.shadows * (255 - L) / 255) /
                        30;
      int64_t noise[3];
      for (int32_t k = 0; k < 3; ++k)
        noise[k] = static_cast<int64_t>(static_cast<double>(S) *
                                        (128 - 255 * (plat::Random() / 2147483647.0)) / 100);
      const int64_t mono = ((noise[0] + noise[1] + noise[2]) / 3) * (100 - g.colourShare);
      for (int32_t k = 0; k < 3; ++k) {
        const int64_t v = work[k][i] + (noise[k] * g.colourShare + mono) / 100;
        work[k][i] = static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      for (int32_t p = 0; p < 3; ++p)
        plane[p][i] = effect_support::Blend(mode, plane[p][i], work[p][i],
                                            effect_support::Weight(mask, i, opacity));
    }
}

class FilmGrainRuns : public vmktest::SessionTest {};

TEST_F(FilmGrainRuns, ChunksAndBandsGiveThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  const Grain grains[] = {{5, 50, 50, 50, 0, 0}, {80, 100, -30, 60, 40, 7}, {32767, 32767, 32767, 32767, 100, -3}};
  // 1200 x 300: more than one chunk of draws.
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 400}, Size{1200, 300}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
    const Plane mask = Noise(n, 4);
    struct Region {
      int32_t x0, y0, x1, y1;
    };
    for (const Region r : {Region{0, 0, s.w - 1, s.h - 1}, Region{1, -2, s.w + 3, s.h / 2}})
      for (const Grain& g : grains)
        if (s.w < 1000 || &g == &grains[1])
        for (const int16_t mode : {0, 4})
          for (const bool masked : {false, true}) {
            const unsigned char* m = masked ? mask.data() : nullptr;
            Plane expect[3] = {orig[0], orig[1], orig[2]};
            PlainFilmGrain(mode, 230, s.h, s.w, expect, r.x0, r.y0, r.x1, r.y1, m, g);
            const int32_t after = plat::Random();
            for (const int threads : {1, 3, 8}) {
              plat::SetThreadCount(threads);
              Plane got[3] = {orig[0], orig[1], orig[2]};
              const int32_t rc = Effects::FilmGrain(mode, 230, s.h, s.w, got[0].data(), got[1].data(),
                                                    got[2].data(), r.x0, r.y0, r.x1, r.y1, m, g.amount,
                                                    g.highlights, g.midtones, g.shadows, g.colourShare,
                                                    g.seed);
              plat::SetThreadCount(0);
              ASSERT_EQ(rc, 0);
              ASSERT_EQ(plat::Random(), after) << "the generator moved on by another count";
              for (int k = 0; k < 3; ++k)
                ASSERT_EQ(got[k], expect[k]) << s.w << "x" << s.h << " mode " << mode << " threads "
                                             << threads << " plane " << k;
            }
          }
  }
}

}  // namespace

namespace {

// Uniform noise (kind 0) without blur, as first written: one call of the generator per
// sample of the region, row by row, the table of its contrast and brightness, the blend.
void PlainUniformNoise(int16_t mode, int16_t opacity, Plane& plane, const unsigned char* mask,
                       int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1, int16_t contrast, int16_t brightness, int16_t seed) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  Plane work = plane;
  plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x)
      work[static_cast<size_t>(y) * width + x] =
          static_cast<unsigned char>(std::floor(255 * (plat::Random() / 2147483647.0)));
  unsigned char table[256];
  Effects::CreaLut(table, contrast, static_cast<int16_t>(-brightness), 0);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      plane[i] = effect_support::Blend(mode, plane[i], table[work[i]],
                                       effect_support::Weight(mask, i, opacity));
    }
}

TEST_F(FilmGrainRuns, UniformNoiseInChunksGivesThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  // 1200 x 1000: more than one chunk of draws.
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{1200, 1000}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig = Noise(n, 8), mask = Noise(n, 9);
    for (const bool masked : {false, true}) {
      const unsigned char* m = masked ? mask.data() : nullptr;
      Plane expect = orig;
      PlainUniformNoise(masked ? 2 : 0, 200, expect, m, s.h, s.w, 0, 1, s.w + 2, s.h - 1, 30, 10, 11);
      if (n > 1) {
        ASSERT_NE(expect, orig);
      }
      const int32_t after = plat::Random();
      for (const int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        Plane got = orig;
        const int32_t rc = Effects::Noise(masked ? 2 : 0, 200, 0, got.data(), m, s.h, s.w, 0, 1,
                                          s.w + 2, s.h - 1, 1.0f, 1.0f, 0, 30, 10, 11);
        plat::SetThreadCount(0);
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(plat::Random(), after);
        ASSERT_EQ(got, expect) << s.w << "x" << s.h << " threads " << threads;
      }
    }
  }
}

}  // namespace
