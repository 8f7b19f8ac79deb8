// The wave distortion's strip walk, with its unwrapped rows read through per-column offsets,
// gives the bytes of the plain walk (each row across the whole region, both positions wrapped
// for every sample), written out here as the operation was first written: every shape, shifts
// that wrap once and many times, columns of one shift in runs short and long (the block
// copies), regions inside and at the planes' edges, wide enough for several strips and
// windows, at one, three and eight threads, on every vector level.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/tile_transform.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

using vmktest::Noise;

void PlainShifts(int32_t* shift, int32_t along, int32_t acrossExtent, int16_t shape, int32_t waves,
                 int32_t percent) {
  const int64_t across = acrossExtent;
  if (waves == 0) {
    for (int32_t i = 0; i < along; ++i) shift[i] = 0;
    return;
  }
  int64_t q = along / (2 * waves);
  if (q < 1) q = 1;
  const int64_t full = across * percent / 100;
  for (int32_t i = 0; i < along; ++i) {
    const int64_t phase = (i / q) % 4;
    const int64_t u = i % q;
    int64_t v = 0;
    if (shape == 0) {
      const int64_t arg = (phase == 0 || phase == 2) ? u : q - u;
      const int64_t s = static_cast<int64_t>(
          std::sin(static_cast<double>(arg) * 3.141592654 / static_cast<double>(2 * q)) * percent *
          static_cast<double>(across) / 100);
      v = phase < 2 ? s : -s;
    } else if (shape == 1) {
      if (phase == 0) v = across * percent * u / (100 * q);
      if (phase == 1) v = across * percent * (q - u) / (100 * q);
      if (phase == 2) v = -across * percent * u / (100 * q);
      if (phase == 3) v = across * percent * (u - q) / (100 * q);
    } else if (shape == 2) {
      v = (phase % 2 == 0) ? full : -full;
    }
    shift[i] = static_cast<int32_t>(v);
  }
}

void PlainWave(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
               int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               int16_t shape, int16_t wavesX, int16_t amplitudeX, int16_t wavesY,
               int16_t amplitudeY) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return;
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  std::vector<int32_t> rowShift(rh), columnShift(rw);
  PlainShifts(columnShift.data(), rw, rh, shape, wavesX, amplitudeX);
  PlainShifts(rowShift.data(), rh, rw, shape, wavesY, amplitudeY);
  Plane out(static_cast<size_t>(rw) * rh);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int32_t sy = WrapInSpan(static_cast<int64_t>(y) + columnShift[x - x0], y0, y1);
      const int32_t sx = WrapInSpan(static_cast<int64_t>(x) + rowShift[y - y0], x0, x1);
      out[static_cast<size_t>(y - y0) * rw + (x - x0)] = plane[static_cast<int64_t>(sy) * width + sx];
    }
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      plane[i] = effect_support::Blend(mode, plane[i], out[static_cast<size_t>(y - y0) * rw + (x - x0)],
                                       effect_support::Weight(mask, i, opacity));
    }
}

TEST(WaveWalk, StripsGiveThePlainWalksBytes) {
  struct Size {
    int32_t w, h;
  };
  struct Wave {
    int16_t shape, wavesX, amplitudeX, wavesY, amplitudeY;
  };
  // 700 x 260, 190 x 900 and 300 x 1400 are wide enough for the sweeps at most waves.
  const Size sizes[] = {{1, 1},     {17, 3},    {2049, 5},  {5, 300},
                        {700, 260}, {190, 900}, {300, 1400}};
  // Small square and triangle waves on the tall sizes give the sweeps windows of one shift,
  // windows whose shifts all lie below 0 and windows across a square wave's jump; the three
  // after them turn the rows' shifts by some 33 to 40 columns within the rows a window reads
  // there (just past what the sweeps' byte permutes reach), and the last one shifts columns
  // by more than 128 rows at 300 x 1400.
  const Wave waves[] = {{0, 4, 5, 4, 5},    {1, 3, 20, 2, 15}, {2, 2, 30, 5, 40},
                        {0, 1, 250, 3, 180}, {0, 0, 0, 0, 0},   {1, 7, 1, 1, 2},
                        {0, 1, 2, 1, 3},     {0, 9, 60, 2, 99}, {2, 3, 2, 2, 3},
                        {1, 2, 4, 3, 5},     {0, 1, 2, 9, 20},  {0, 2, 2, 12, 15},
                        {0, 1, 3, 12, 20},   {1, 2, 10, 1, 3}};
  // Every vector level the processor has: AVX-512 and AVX2 gather into a copy window by
  // window and, replacing (AVX-512: with byte permutes), move the region in place in two
  // sweeps (also run held off, as the gather); the baseline walks in place.
  struct Form {
    plat::SimdLevel level;
    bool sweeps;
  };
  std::vector<Form> levels{{plat::SimdLevel::kBaseline, false}};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) {
    levels.push_back({plat::SimdLevel::kAvx2, false});
    levels.push_back({plat::SimdLevel::kAvx2, true});
  }
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) {
    levels.push_back({plat::SimdLevel::kAvx512, false});
    levels.push_back({plat::SimdLevel::kAvx512, true});
  }
  for (const Size s : sizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane orig = Noise(n, 5), mask = Noise(n, 6);
    struct Region {
      int32_t x0, y0, x1, y1;
    };
    const Region regions[] = {{0, 0, s.w - 1, s.h - 1}, {1, 1, s.w - 2, s.h - 1}, {-3, 0, s.w + 4, s.h / 2}};
    for (const Wave& v : waves)
      for (const Region& r : regions)
        for (const bool masked : {false, true}) {
          const unsigned char* m = masked ? mask.data() : nullptr;
          const int16_t mode = masked ? 3 : 0;
          Plane expect = orig;
          PlainWave(mode, 255, expect.data(), m, s.h, s.w, r.x0, r.y0, r.x1, r.y1, v.shape,
                    v.wavesX, v.amplitudeX, v.wavesY, v.amplitudeY);
          for (const Form form : levels)
            for (const int threads : {1, 3, 8}) {
              plat::SetSimdLevel(form.level);
              plat::SetThreadCount(threads);
              SetWaveSweepsInPlace(form.sweeps);
              Plane got = orig;
              ASSERT_EQ(Effects::SinusWave(mode, 255, got.data(), m, s.h, s.w, r.x0, r.y0, r.x1,
                                           r.y1, v.shape, v.wavesX, v.amplitudeX, v.wavesY,
                                           v.amplitudeY),
                        0);
              SetWaveSweepsInPlace(true);
              plat::SetThreadCount(0);
              plat::SetSimdLevel(plat::SimdLevel::kAvx512);
              ASSERT_EQ(got, expect)
                  << s.w << "x" << s.h << " shape " << v.shape << " amplitudes " << v.amplitudeX
                  << "," << v.amplitudeY << " level " << static_cast<int>(form.level)
                  << " sweeps " << form.sweeps << " threads " << threads << " region " << r.x0
                  << "," << r.y0;
            }
        }
  }
}

// The two sweeps in place as processors without byte permutes take them (a row's 32 columns by
// one load a column shift, the columns by stages of byte masks), and their gather into a copy
// (held off, through a mask, at part opacity), on planes tall enough for several of the sweeps'
// bands: windows cut short at the region's right side (by 40 and by 6 columns), regions inside
// the plane, rows whose shifts turn by hundreds of columns within the rows a window reads,
// square waves' jumps, and shifts too large for the sweeps.
TEST(WaveWalk, SweepsAndGatherByLoadsAndBlendsGiveThePlainWalksBytes) {
  if (plat::SimdSupported() < plat::SimdLevel::kAvx2) GTEST_SKIP() << "no AVX2";
  struct Case {
    int32_t w, h, x0, y0, x1, y1;
    int16_t shape, wavesX, amplitudeX, wavesY, amplitudeY;
  };
  const Case cases[] = {
      {1, 1, 0, 0, 0, 0, 0, 4, 5, 4, 5},
      {17, 3, 0, 0, 16, 2, 0, 4, 5, 4, 5},
      {2049, 5, 0, 0, 2048, 4, 0, 4, 5, 4, 5},
      {1000, 1300, 0, 0, 999, 1299, 0, 4, 5, 4, 5},
      {1030, 1300, 0, 0, 1029, 1299, 1, 3, 3, 5, 8},
      {1030, 1300, 2, 3, 1027, 1296, 2, 2, 4, 3, 6},
      {1030, 1300, 0, 0, 1029, 1299, 0, 3, 3, 12, 50},
      {1030, 1300, 0, 0, 1029, 1299, 0, 12, 2, 9, 10},
      {200, 2600, 0, 0, 199, 2599, 0, 4, 5, 4, 5},
      {200, 2600, 5, 0, 190, 2599, 1, 7, 1, 2, 20},
      // Regions ending at the plane's last row and column: no load may read past the plane.
      {1030, 1300, 10, 600, 1029, 1299, 0, 4, 5, 4, 5},
      {1030, 1300, 0, 700, 1029, 1299, 1, 5, 7, 3, 9},
      {1030, 1300, 0, 0, 1029, 1299, 0, 1, 250, 3, 180},
      {1030, 1300, 0, 0, 1029, 1299, 2, 3, 40, 2, 300},
  };
  struct Blend {
    int16_t mode, opacity;
    bool masked;
  };
  const Blend blends[] = {{0, 255, false}, {3, 255, true}, {0, 128, false}};
  for (const Case& c : cases)
    for (const Blend& blend : blends) {
    const Plane orig = Noise(static_cast<size_t>(c.w) * c.h, 7);
    const Plane mask = Noise(static_cast<size_t>(c.w) * c.h, 8);
    const unsigned char* m = blend.masked ? mask.data() : nullptr;
    Plane expect = orig;
    PlainWave(blend.mode, blend.opacity, expect.data(), m, c.h, c.w, c.x0, c.y0, c.x1, c.y1,
              c.shape, c.wavesX, c.amplitudeX, c.wavesY, c.amplitudeY);
    for (const bool sweeps : {true, false})
      for (const int threads : {1, 3, 8}) {
        plat::SetSimdLevel(plat::SimdLevel::kAvx2);
        plat::SetThreadCount(threads);
        SetWaveSweepsInPlace(sweeps);
        Plane got = orig;
        const int32_t result =
            Effects::SinusWave(blend.mode, blend.opacity, got.data(), m, c.h, c.w, c.x0, c.y0,
                               c.x1, c.y1, c.shape, c.wavesX, c.amplitudeX, c.wavesY,
                               c.amplitudeY);
        SetWaveSweepsInPlace(true);
        plat::SetThreadCount(0);
        plat::SetSimdLevel(plat::SimdLevel::kAvx512);
        ASSERT_EQ(result, 0);
        ASSERT_EQ(got, expect) << c.w << "x" << c.h << " shape " << c.shape << " waves "
                               << c.wavesX << "," << c.wavesY << " amplitudes " << c.amplitudeX
                               << "," << c.amplitudeY << " mode " << blend.mode << " opacity "
                               << blend.opacity << " sweeps " << sweeps << " threads " << threads;
      }
    }
}

}  // namespace
