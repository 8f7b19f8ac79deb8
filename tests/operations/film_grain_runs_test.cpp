// Film grain and uniform noise with their rows in bands on the shared threads, each band
// drawing from its own copy of the generator started at its first pixel's draws, and their
// pixels in vector lanes, give the bytes of their plain forms, written out here as they were
// first written (one call of the generator per draw, whole-plane copies, one pixel after
// another), and leave the generator where the plain forms leave it: odd sizes, tall planes of
// several bands, regions inside and past the planes, blend modes with and without a mask,
// weak, strong and saturating grain, at one, three and eight threads, at every vector width;
// and with a substituted generator, drawn in order, that serves the draws where the lanes'
// shortcuts end (0, 2^31 - 1, the steps of 255 u).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "support/session.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::Noise;

// The plain loop, then every vector width the processor has.
std::vector<plat::SimdLevel> Levels() {
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  return levels;
}

// Each thread count at each vector width, put back afterwards.
template <typename Fn>
void AtEveryWidthAndCount(Fn fn) {
  for (const plat::SimdLevel level : Levels())
    for (const int threads : {1, 3, 8}) {
      plat::SetSimdLevel(level);
      plat::SetThreadCount(threads);
      fn(level, threads);
      plat::SetThreadCount(0);
      plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    }
}

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
  // {80, 100, -30, 60, 40, 7}: strengths up to 62; {154, 100, ...}: up to 1021, just inside
  // what the lanes take; {900, 300, ...}: up to 17970, past it; {32767, ...}: every sample
  // saturates.
  const Grain grains[] = {{5, 50, 50, 50, 0, 0}, {80, 100, -30, 60, 40, 7},
                          {154, 100, 100, 100, 60, 12}, {900, 300, 300, 300, 30, 5},
                          {32767, 32767, 32767, 32767, 100, -3}};
  // 1200 x 300 and the tall 5 x 30000: several bands of rows.
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 400}, Size{1200, 300}, Size{5, 30000}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
    const Plane mask = Noise(n, 4);
    struct Region {
      int32_t x0, y0, x1, y1;
    };
    const bool large = n > 100000;
    for (const Region r : {Region{0, 0, s.w - 1, s.h - 1}, Region{1, -2, s.w + 3, s.h / 2}})
      for (const Grain& g : grains)
        if (!large || &g == &grains[1])
        for (const int16_t mode : {0, 4})
          for (const bool masked : {false, true}) {
            if (large && mode == 4 && masked) continue;
            const unsigned char* m = masked ? mask.data() : nullptr;
            const int16_t opacity = mode == 0 && !masked ? 255 : 230;
            Plane expect[3] = {orig[0], orig[1], orig[2]};
            PlainFilmGrain(mode, opacity, s.h, s.w, expect, r.x0, r.y0, r.x1, r.y1, m, g);
            const int32_t after = plat::Random();
            AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
              Plane got[3] = {orig[0], orig[1], orig[2]};
              plat::SeedRandom(99);  // the operation seeds the generator itself
              const int32_t rc = Effects::FilmGrain(mode, opacity, s.h, s.w, got[0].data(), got[1].data(),
                                                    got[2].data(), r.x0, r.y0, r.x1, r.y1, m, g.amount,
                                                    g.highlights, g.midtones, g.shadows, g.colourShare,
                                                    g.seed);
              ASSERT_EQ(rc, 0);
              ASSERT_EQ(plat::Random(), after) << "the generator moved on by another count";
              for (int k = 0; k < 3; ++k)
                ASSERT_EQ(got[k], expect[k]) << s.w << "x" << s.h << " mode " << mode << " threads "
                                             << threads << " level " << static_cast<int>(level)
                                             << " grain " << g.amount << " plane " << k;
            });
          }
  }
}

// A plane given twice, replaced at full weight without a mask (where the fast form writes the
// values straight into the samples): every value is worked out from the run's old samples and
// the plane keeps the later channel's (green over red, blue over red), as with the values kept
// aside and stored one plane after the other.
TEST_F(FilmGrainRuns, APlaneGivenTwiceKeepsTheLaterChannelsValues) {
  const int32_t w = 517, h = 9;
  const size_t n = static_cast<size_t>(w) * h;
  const Plane x = Noise(n, 51), other = Noise(n, 52);
  const Grain g{80, 100, -30, 60, 0, 7};
  // Red and green one plane: the plain form on separate copies, the plane ending as green;
  // red and blue one plane: it ends as blue.
  Plane expect[3] = {x, x, other};
  PlainFilmGrain(0, 255, h, w, expect, 0, 0, w - 1, h - 1, nullptr, g);
  Plane expect2[3] = {x, other, x};
  PlainFilmGrain(0, 255, h, w, expect2, 0, 0, w - 1, h - 1, nullptr, g);
  Plane expect3[3] = {other, x, x};  // green and blue one plane: it ends as blue
  PlainFilmGrain(0, 255, h, w, expect3, 0, 0, w - 1, h - 1, nullptr, g);
  AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
    Plane shared = x, second = other;
    ASSERT_EQ(Effects::FilmGrain(0, 255, h, w, shared.data(), shared.data(), second.data(), 0, 0, w - 1,
                                 h - 1, nullptr, g.amount, g.highlights, g.midtones, g.shadows,
                                 g.colourShare, g.seed),
              0);
    ASSERT_EQ(shared, expect[1]) << "threads " << threads << " level " << static_cast<int>(level);
    ASSERT_EQ(second, expect[2]);
    shared = x;
    second = other;
    ASSERT_EQ(Effects::FilmGrain(0, 255, h, w, shared.data(), second.data(), shared.data(), 0, 0, w - 1,
                                 h - 1, nullptr, g.amount, g.highlights, g.midtones, g.shadows,
                                 g.colourShare, g.seed),
              0);
    ASSERT_EQ(shared, expect2[2]) << "threads " << threads << " level " << static_cast<int>(level);
    ASSERT_EQ(second, expect2[1]);
    shared = x;
    second = other;
    ASSERT_EQ(Effects::FilmGrain(0, 255, h, w, second.data(), shared.data(), shared.data(), 0, 0, w - 1,
                                 h - 1, nullptr, g.amount, g.highlights, g.midtones, g.shadows,
                                 g.colourShare, g.seed),
              0);
    ASSERT_EQ(shared, expect3[2]) << "threads " << threads << " level " << static_cast<int>(level);
    ASSERT_EQ(second, expect3[0]);
  });
}

// A substituted generator, drawn in order: it serves the two draws whose quotient is a whole
// number (0 and 2^31 - 1) among the others, so that groups of lanes fall back to the plain
// arithmetic, and the first draws of each step of floor(255 u) and the last before them.
int32_t gServed = 0;
std::vector<int32_t> gServe;
int32_t Serve() {
  const int32_t v = gServe[static_cast<size_t>(gServed) % gServe.size()];
  ++gServed;
  return v;
}
void ServeFrom(uint32_t seed) { gServed = static_cast<int32_t>(seed % 1000u); }

std::vector<int32_t> EdgeDraws() {
  std::vector<int32_t> d = {0, 2147483647, 1, 2147483646};
  for (int64_t k = 1; k <= 255; ++k) {
    const int64_t first = (k * 2147483647 + 254) / 255;  // the least d with 255 d >= k (2^31 - 1)
    d.push_back(static_cast<int32_t>(first));
    d.push_back(static_cast<int32_t>(first - 1));
  }
  uint32_t v = 12345;
  for (int i = 0; i < 700; ++i) {
    v = v * 1664525u + 1013904223u;
    d.push_back(static_cast<int32_t>(v >> 1));
    if (i % 7 == 0) d.push_back(i % 2 == 0 ? 0 : 2147483647);
  }
  return d;
}

TEST_F(FilmGrainRuns, SubstitutedGeneratorAndEndDrawsGiveThePlainFormsBytes) {
  gServe = EdgeDraws();
  plat::SetRandomFunctions(&Serve, &ServeFrom);
  // 67 x 23, and 700 x 600: more than one chunk of draws in order (2^20 a chunk).
  for (const int32_t w : {67, 700}) {
    const int32_t h = w == 67 ? 23 : 600;
    const size_t n = static_cast<size_t>(w) * h;
    const Plane orig[3] = {Noise(n, 21), Noise(n, 22), Noise(n, 23)};
    // Strengths with whole quotients at the end draws (multiples of 25 and 100) up to 497,
    // 1021 (just inside what the lanes take), 1028 (just past) and 599.
    const Grain grains[] = {{75, 100, 100, 100, 0, 1}, {154, 100, 100, 100, 100, 2},
                            {155, 100, 100, 100, 45, 3}, {30, 300, 300, 300, 70, 4}};
    for (const Grain& g : grains) {
      Plane expect[3] = {orig[0], orig[1], orig[2]};
      PlainFilmGrain(0, 255, h, w, expect, 0, 0, w - 1, h - 1, nullptr, g);
      const int32_t after = gServed;
      AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
        Plane got[3] = {orig[0], orig[1], orig[2]};
        ASSERT_EQ(Effects::FilmGrain(0, 255, h, w, got[0].data(), got[1].data(), got[2].data(), 0, 0,
                                     w - 1, h - 1, nullptr, g.amount, g.highlights, g.midtones, g.shadows,
                                     g.colourShare, g.seed),
                  0);
        ASSERT_EQ(gServed, after);
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " grain " << g.amount << " threads "
                                       << threads << " level " << static_cast<int>(level) << " plane " << k;
      });
    }
  }
  plat::SetRandomFunctions(nullptr, nullptr);
}

// The two draws on either side of each one whose grain S (128 - 255 u) / 100 is a whole
// number k: the lanes' single-precision grain may fall on either side of k there, and must give
// way to the exact one. Each such draw stands alone among 47 whose grain is a half (far from
// any whole number), at a place that moves on by one from one block of 48 to the next: so
// with rows of 256 pixels each group of 16 lanes holds one, in every lane and channel in turn.
std::vector<int32_t> DrawsAtWholeGrains(int64_t S) {
  auto drawOf = [S](long double grain) {
    return static_cast<int64_t>(std::floor((128.0L * S - 100.0L * grain) * 2147483647.0L / (255.0L * S)));
  };
  const auto half = static_cast<int32_t>(drawOf(0.5L));
  std::vector<int32_t> d;
  const int64_t reach = (std::abs(S) * 13) / 10 + 1;
  for (int64_t k = -reach; k <= reach; ++k)
    for (int64_t v = drawOf(static_cast<long double>(k)); v <= drawOf(static_cast<long double>(k)) + 1; ++v) {
      if (v < 1 || v > 2147483646) continue;
      const size_t at = d.size() / 48 % 48;
      for (size_t i = 0; i < 48; ++i) d.push_back(i == at ? static_cast<int32_t>(v) : half);
    }
  while (d.size() % (16 * 48) != 0) d.push_back(half);  // whole rows of 256 pixels
  return d;
}

TEST_F(FilmGrainRuns, DrawsAtWholeGrainsGiveThePlainFormsBytes) {
  // Grey planes: every pixel has the lightness 200 and so one strength.
  const int32_t w = 256;
  const Grain grains[] = {{5, 50, 50, 50, 0, 0}, {80, 100, -30, 60, 0, 0}, {154, 100, 100, 100, 0, 0},
                          {154, 100, 100, 100, 100, 0}, {120, -90, 20, 60, 45, 0}};
  plat::SetRandomFunctions(&Serve, &ServeFrom);
  for (const Grain& g : grains) {
    const int32_t L = 200, mid = 128 - (L - 128);
    const int64_t S = static_cast<int64_t>(g.amount) *
                      (L * g.highlights / 255 + g.midtones * mid / 128 + g.shadows * (255 - L) / 255) / 30;
    ASSERT_NE(S, 0);
    gServe = DrawsAtWholeGrains(S);
    const auto h = static_cast<int32_t>(gServe.size() / (3 * w));
    const size_t n = static_cast<size_t>(w) * h;
    const Plane orig[3] = {Plane(n, 200), Plane(n, 200), Plane(n, 200)};
    Plane expect[3] = {orig[0], orig[1], orig[2]};
    PlainFilmGrain(0, 255, h, w, expect, 0, 0, w - 1, h - 1, nullptr, g);
    AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
      Plane got[3] = {orig[0], orig[1], orig[2]};
      ASSERT_EQ(Effects::FilmGrain(0, 255, h, w, got[0].data(), got[1].data(), got[2].data(), 0, 0,
                                   w - 1, h - 1, nullptr, g.amount, g.highlights, g.midtones, g.shadows,
                                   g.colourShare, g.seed),
                0);
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(got[k], expect[k]) << "strength " << S << " share " << g.colourShare << " threads "
                                     << threads << " level " << static_cast<int>(level) << " plane " << k;
    });
  }
  plat::SetRandomFunctions(nullptr, nullptr);
}

// The strongest grains the lanes take, |S| up to 1024 either way with a strength for every
// lightness, at colour shares on both sides of 0 and 100 and at the ends of their range, where
// the separate grains' hundredfold products go far past what 16-bit lanes hold before the
// clamp; {121, ...} reaches 1028, just past the lanes. Odd widths leave runs that end in a step
// of 8 pixels and single pixels; the tall plane goes in several bands.
TEST_F(FilmGrainRuns, StrongestGrainsAtEdgeSharesGiveThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  struct Strength {
    int16_t amount, highlights, midtones, shadows;
  };
  const Strength strengths[] = {{120, 256, 0, -255}, {120, -256, 0, 255}, {121, 255, 0, -255}};
  const int16_t shares[] = {0, 100, 1, 99, -1, 101, 32767, -32768};
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 700}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig[3] = {Noise(n, 61), Noise(n, 62), Noise(n, 63)};
    for (const Strength& st : strengths)
      for (const int16_t share : shares) {
        const Grain g{st.amount, st.highlights, st.midtones, st.shadows, share, 9};
        Plane expect[3] = {orig[0], orig[1], orig[2]};
        PlainFilmGrain(0, 255, s.h, s.w, expect, 0, 0, s.w - 1, s.h - 1, nullptr, g);
        AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
          Plane got[3] = {orig[0], orig[1], orig[2]};
          ASSERT_EQ(Effects::FilmGrain(0, 255, s.h, s.w, got[0].data(), got[1].data(), got[2].data(), 0,
                                       0, s.w - 1, s.h - 1, nullptr, g.amount, g.highlights, g.midtones,
                                       g.shadows, g.colourShare, g.seed),
                    0);
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(got[k], expect[k]) << s.w << "x" << s.h << " amount " << g.amount << " share "
                                         << share << " threads " << threads << " level "
                                         << static_cast<int>(level) << " plane " << k;
        });
      }
  }
}

}  // namespace

namespace {

// Uniform noise (kind 0), as first written: one call of the generator per sample of the
// region, row by row, into a copy of the plane, the blur of the whole copy, the table of its
// contrast and brightness, the blend.
void PlainUniformNoise(int16_t mode, int16_t opacity, Plane& plane, const unsigned char* mask,
                       int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                       int32_t y1, int16_t blur, int16_t contrast, int16_t brightness, int16_t seed) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  Plane work = plane;
  plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x)
      work[static_cast<size_t>(y) * width + x] =
          static_cast<unsigned char>(std::floor(255 * (plat::Random() / 2147483647.0)));
  if (blur > 0) {
    ASSERT_EQ(Effects::Blur(0, 255, work.data(), nullptr, width, height, 0, 0, width - 1, height - 1, blur, 1), 0);
  }
  unsigned char table[256];
  Effects::CreaLut(table, contrast, static_cast<int16_t>(-brightness), 0);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      plane[i] = effect_support::Blend(mode, plane[i], table[work[i]],
                                       effect_support::Weight(mask, i, opacity));
    }
}

struct NoiseCase {
  int16_t mode, opacity;
  bool masked;
  int16_t blur, contrast, brightness;
};

void ExpectPlainNoise(const Plane& orig, const Plane& mask, int32_t w, int32_t h, const NoiseCase& c) {
  const unsigned char* m = c.masked ? mask.data() : nullptr;
  Plane expect = orig;
  PlainUniformNoise(c.mode, c.opacity, expect, m, h, w, 0, 1, w + 2, h - 1, c.blur, c.contrast,
                    c.brightness, 11);
  if (w * h > 1) {
    ASSERT_NE(expect, orig);
  }
  const int32_t after = plat::Random();
  AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
    Plane got = orig;
    const int32_t rc = Effects::Noise(c.mode, c.opacity, 0, got.data(), m, h, w, 0, 1, w + 2, h - 1,
                                      1.0f, 1.0f, c.blur, c.contrast, c.brightness, 11);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(plat::Random(), after);
    ASSERT_EQ(got, expect) << w << "x" << h << " threads " << threads << " level "
                           << static_cast<int>(level) << " mode " << c.mode << " blur " << c.blur
                           << " contrast " << c.contrast;
  });
}

TEST_F(FilmGrainRuns, UniformNoiseInBandsGivesThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  // Replacement at full weight (the values stored as they are), through a mask, another mode;
  // the table plain and shaped; a blur, which works on a copy of the whole plane.
  const NoiseCase cases[] = {{0, 255, false, 0, 0, 0}, {0, 200, true, 0, 30, 10},
                             {2, 200, false, 0, 0, 0}, {0, 255, false, 2, 20, -15}};
  // 1200 x 1000 and the tall 7 x 40000: several bands of rows.
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{1200, 1000}, Size{7, 40000}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig = Noise(n, 8), mask = Noise(n, 9);
    for (const NoiseCase& c : cases) {
      if (n > 100000 && &c != &cases[0] && &c != &cases[1]) continue;
      ExpectPlainNoise(orig, mask, s.w, s.h, c);
    }
  }
}

TEST_F(FilmGrainRuns, UniformNoiseTakesEveryStepOfItsDrawsAsThePlainFormDoes) {
  gServe = EdgeDraws();
  plat::SetRandomFunctions(&Serve, &ServeFrom);
  const int32_t w = 61, h = 29;
  const Plane orig = Noise(static_cast<size_t>(w) * h, 31), mask = Noise(static_cast<size_t>(w) * h, 32);
  ExpectPlainNoise(orig, mask, w, h, NoiseCase{0, 255, false, 0, 0, 0});
  ExpectPlainNoise(orig, mask, w, h, NoiseCase{0, 255, false, 1, 0, 0});
  // More than one chunk of draws in order (2^20 a chunk).
  const int32_t bw = 1100, bh = 1000;
  const Plane big = Noise(static_cast<size_t>(bw) * bh, 33);
  ExpectPlainNoise(big, big, bw, bh, NoiseCase{0, 200, true, 0, 10, 5});
  plat::SetRandomFunctions(nullptr, nullptr);
}

// The composite's planes in one call: unblurred uniform noise draws its bytes once for all the
// planes, which must come out as the plain noise on each plane in turn, the generator left
// where the last plane's leaves it; a plane named twice takes its noise twice.
void ExpectPlainNoiseOnEachPlane(std::vector<Plane> orig, const Plane& mask, int32_t w, int32_t h,
                                 const NoiseCase& c, std::vector<int32_t> order) {
  const unsigned char* m = c.masked ? mask.data() : nullptr;
  std::vector<Plane> expect = orig;
  for (const int32_t k : order)
    PlainUniformNoise(c.mode, c.opacity, expect[static_cast<size_t>(k)], m, h, w, 0, 1, w + 2, h - 1,
                      c.blur, c.contrast, c.brightness, 11);
  const int32_t after = plat::Random();
  AtEveryWidthAndCount([&](plat::SimdLevel level, int threads) {
    std::vector<Plane> got = orig;
    std::vector<unsigned char*> planes;
    for (const int32_t k : order) planes.push_back(got[static_cast<size_t>(k)].data());
    plat::SeedRandom(99);  // the operation seeds the generator itself
    const int32_t rc = NoiseEachPlane(c.mode, c.opacity, 0, planes.data(), static_cast<int32_t>(planes.size()),
                                      m, h, w, 0, 1, w + 2, h - 1, 1.0f, 1.0f, c.blur, c.contrast,
                                      c.brightness, 11);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(plat::Random(), after);
    for (size_t k = 0; k < got.size(); ++k)
      ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " threads " << threads << " level "
                                   << static_cast<int>(level) << " mode " << c.mode << " planes "
                                   << order.size() << " plane " << k;
  });
}

TEST_F(FilmGrainRuns, UniformNoiseOnEachPlaneGivesThePlainFormsBytes) {
  struct Size {
    int32_t w, h;
  };
  const NoiseCase cases[] = {{0, 255, false, 0, 0, 0}, {0, 200, true, 0, 30, 10},
                             {2, 200, false, 0, 0, 0}, {0, 255, false, 1, 0, 0}};
  for (const Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{600, 500}, Size{7, 40000}}) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const std::vector<Plane> orig = {Noise(n, 41), Noise(n, 42), Noise(n, 43), Noise(n, 44)};
    const Plane mask = Noise(n, 45);
    for (const NoiseCase& c : cases) {
      if (n > 100000 && &c == &cases[3]) continue;
      ExpectPlainNoiseOnEachPlane(orig, mask, s.w, s.h, c, {0, 1, 2});
      if (n < 100000) ExpectPlainNoiseOnEachPlane(orig, mask, s.w, s.h, c, {0, 1, 2, 3});
    }
    if (n < 100000) ExpectPlainNoiseOnEachPlane(orig, mask, s.w, s.h, cases[2], {0, 1, 0});
  }
}

}  // namespace
