// Grain in and out: uniform or rectangle noise, wind streaks, film grain
// weighted by lightness, and edge-preserving denoise.
//
// Noise and film grain are seeded by the caller's parameter, wind by the
// clock; the number and order of the draws below are part of the result, so
// a seed gives the same grain on every run. A draw u is random() / (2^31 - 1).
//
// Noise filters a copy of the whole plane, since its blur reads beyond the
// region; rectangle noise steps by at least one sample, however small the
// size. Wind and film grain report a work plane that cannot be had with -1
// and leave the planes as they were.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/random/random.h"
#include "raster/susan_denoise.h"

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

inline double Draw() { return plat::Random() / 2147483647.0; }

void CopyRegion(const unsigned char* from, unsigned char* to, int32_t width, int32_t x0,
                int32_t y0, int32_t x1, int32_t y1) {
  if (x0 > x1) return;
  for (int32_t y = y0; y <= y1; ++y) {
    const int64_t row = static_cast<int64_t>(y) * width + x0;
    std::memcpy(to + row, from + row, static_cast<size_t>(x1 - x0 + 1));
  }
}

// A size in samples from a scaled, rounded float; sizes no plane could hold
// (or no number at all) saturate rather than wrap.
int32_t SizeFrom(double v) {
  if (!(v > -2147483648.0)) return v < 0.0 ? INT32_MIN : 0;
  if (v >= 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// Random grey rectangles; the loop position only sets how many are drawn.
void FillRectangles(unsigned char* work, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                    int32_t y1, float sizeX, float sizeY, int32_t scale, int32_t step) {
  const int32_t hh = SizeFrom(std::floor(sizeY * scale + 0.5));
  const int32_t ww = SizeFrom(std::floor(sizeX * scale + 0.5));
  int32_t rowStep = SizeFrom(std::floor(sizeY * step + 0.5));
  int32_t columnStep = SizeFrom(std::floor(sizeX * step + 0.5));
  if (rowStep < 1) rowStep = 1;
  if (columnStep < 1) columnStep = 1;
  // 64-bit positions: a step of a huge size must not wrap back into the region.
  for (int64_t y = y0; y <= y1; y += rowStep) {
    for (int64_t x = x0; x <= x1; x += columnStep) {
      const double u1 = Draw(), u2 = Draw(), u3 = Draw(), u4 = Draw(), u5 = Draw(), u6 = Draw();
      const int32_t left = static_cast<int32_t>(std::floor(x0 + (x1 - x0) * u1));
      const int32_t top = static_cast<int32_t>(std::floor(y0 + (y1 - y0) * u2));
      const int32_t w = SizeFrom(std::floor(ww * u3));
      const int32_t h = SizeFrom(std::floor(hh * u4));
      const unsigned char grey =
          static_cast<unsigned char>(std::floor(std::floor(255 * u5) * u6));
      // Rows and columns past the region's edge land on its last row or
      // column, which the rectangle has already painted with the same grey:
      // stop there instead of repainting it for a huge size.
      const int32_t rows = h < y1 - top + 1 ? h : y1 - top + 1;
      const int32_t columns = w < x1 - left + 1 ? w : x1 - left + 1;
      for (int32_t r = 0; r < rows; ++r) {
        const int32_t ry = top + r > y1 ? y1 : top + r;
        unsigned char* row = work + static_cast<int64_t>(ry) * width;
        for (int32_t c = 0; c < columns; ++c) row[left + c > x1 ? x1 : left + c] = grey;
      }
    }
  }
}

// Walks rows y0..y1 (y0 <= y1) whose draws, perRow a row, come in the order of a walk row
// by row: the draws of a chunk of rows are taken at once, and the chunk's rows go to
// rowFn(y, the row's draws) on the shared threads while one of them takes the next chunk's
// draws beside the rows' work. The generator is called in the order of the walk, and as
// often, so the results are those of drawing pixel by pixel. A seed, when given, is set once
// the work memory is had. -1 without work memory, with nothing seeded or drawn.
template <typename RowFn>
int32_t WalkChunksOfDraws(int32_t y0, int32_t y1, int64_t perRow, const int16_t* seed,
                          RowFn rowFn) {
  const int32_t chunkRows =
      static_cast<int32_t>(std::clamp<int64_t>((int64_t{1} << 20) / perRow, 1, y1 - y0 + 1));
  const int64_t chunk = perRow * chunkRows;
  plat::Block<int32_t> buf(2 * chunk, WorkSource());
  if (!buf) return -1;
  int32_t* const half[2] = {buf.get(), buf.get() + chunk};
  if (seed != nullptr) plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(*seed)));
  auto rowsFrom = [&](int64_t cy) { return static_cast<int32_t>(std::min<int64_t>(chunkRows, y1 - cy + 1)); };
  plat::RandomDraws(half[0], perRow * rowsFrom(y0));
  int32_t which = 0;
  for (int64_t cy = y0; cy <= y1; cy += chunkRows) {
    const int32_t rows = rowsFrom(cy);
    const int64_t next = cy + chunkRows;
    const int32_t* current = half[which];
    int32_t* ahead = half[1 - which];
    // Task 0 takes the next chunk's draws; task t works out row cy + t - 1.
    plat::ParallelFor(0, rows + 1, 1, [&](int32_t first, int32_t end) {
      for (int32_t t = first; t < end; ++t) {
        if (t == 0) {
          if (next <= y1) plat::RandomDraws(ahead, perRow * rowsFrom(next));
          continue;
        }
        rowFn(static_cast<int32_t>(cy + t - 1), current + (t - 1) * perRow);
      }
    });
    which = 1 - which;
  }
  return 0;
}

// floor(255 * u) for a draw d, u = d / (2^31 - 1) in double precision, in 32-bit integer
// steps that the compiler puts in vector lanes. 255 d = q0 2^31 + r0 (q0 from the top 8 bits
// of d, less one where 256 times the low 23 bits falls short of d), and 2^31 = (2^31 - 1) + 1,
// so 255 d / (2^31 - 1) = q0 + (q0 + r0) / (2^31 - 1), the second part below 2 and at least 1
// just when q0 + r0 + 1 reaches 2^31. The double quotient is never off by enough to cross a
// whole number (the exact one is a whole number only for d = 0 and 2^31 - 1, where the double
// is exact), so the two agree on every draw; all 2^31 of them were checked.
inline uint32_t ByteOfDraw(int32_t draw) {
  const auto d = static_cast<uint32_t>(draw);
  const uint32_t q0 = (d >> 23) - (((d & 0x7fffffu) << 8) < d ? 1u : 0u);
  const uint32_t r0 = (d * 255u) & 0x7fffffffu;
  return q0 + ((q0 + r0 + 1u) >> 31);
}

// Rows per band of DrawnRuns: about 2^18 draws, well over the cost of a band's jump (some
// 40 products of 31 x 31 words).
constexpr int64_t kBandDraws = int64_t{1} << 18;

// Visits the region x0..x1, y0..y1 (clamped, not empty) whose pixels take perPixel draws each
// in the order of a walk row by row: runFn(y, x, n, draws) for runs of at most kRun pixels of
// row y from column x, draws holding the run's n * perPixel draws in order. runFn touches only
// its own pixels. With the default generator the rows go in bands to the shared threads, each
// band starting its own copy of the generator at its first draw (a jump past the draws of the
// rows before it), and the process generator then moves on past them all, as drawing pixel by
// pixel leaves it. A substituted generator is drawn in order, a chunk of rows at a time. A seed,
// when given, is set first. -1 without work memory, with nothing seeded or drawn.
template <typename RunFn>
int32_t DrawnRuns(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t perPixel,
                  const int16_t* seed, RunFn runFn) {
  using effect_support::kRun;
  const int32_t rw = x1 - x0 + 1;
  const int64_t perRow = static_cast<int64_t>(perPixel) * rw;
  plat::RandomRun start;
  if (!plat::TakeRandomRun(&start)) {
    return WalkChunksOfDraws(y0, y1, perRow, seed, [&](int32_t y, const int32_t* d) {
      for (int32_t x = x0; x <= x1; x += kRun)
        runFn(y, x, std::min(kRun, x1 - x + 1), d + static_cast<int64_t>(x - x0) * perPixel);
    });
  }
  if (seed != nullptr) {
    plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(*seed)));
    (void)plat::TakeRandomRun(&start);
  }
  const auto bandRows =
      static_cast<int32_t>(std::clamp<int64_t>((kBandDraws + perRow - 1) / perRow, 1, y1 - y0 + 1));
  plat::ParallelFor(y0, y1 + 1, bandRows, [=](int32_t first, int32_t end) {
    int32_t draws[3 * kRun];
    plat::RandomRun run = start;
    run.Skip(static_cast<uint64_t>(first - y0) * static_cast<uint64_t>(perRow));
    for (int32_t y = first; y < end; ++y)
      for (int32_t x = x0; x <= x1; x += kRun) {
        const int32_t n = std::min(kRun, x1 - x + 1);
        run.Fill(draws, static_cast<int64_t>(n) * perPixel);
        runFn(y, x, n, static_cast<const int32_t*>(draws));
      }
  });
  plat::SkipRandom(static_cast<int64_t>(y1 - y0 + 1) * perRow);
  return 0;
}

}  // namespace

int32_t Effects::Noise(int16_t mode, int16_t opacity, int16_t kind, unsigned char* plane,
                       const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1, float sizeX, float sizeY,
                       int16_t blurRadius, int16_t contrast, int16_t brightness, int16_t seed) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  // The fill below covers the clamped region only.
  ClampRegion(width, height, x0, y0, x1, y1);
  unsigned char table[256];
  const int16_t darken = static_cast<int16_t>(-static_cast<int32_t>(brightness));
  if (kind == 0 && blurRadius <= 0) {
    // Uniform noise unblurred: each sample of the region takes the table's value of its own
    // draw, which nothing else reads, so it goes straight into the blend, band by band on the
    // shared threads, with no work plane (three 6000 x 4000 planes: about 315 ms with a copy
    // of each plane, a chunk of draws at a time on one thread beside the rows' work).
    CreaLut(table, contrast, darken, 0);
    plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
    if (x0 > x1 || y0 > y1) return 0;
    return DrawnRuns(x0, y0, x1, y1, 1, nullptr,
                     [&](int32_t y, int32_t x, int32_t n, const int32_t* d) {
                       unsigned char values[effect_support::kRun];
                       for (int32_t j = 0; j < n; ++j) values[j] = table[ByteOfDraw(d[j])];
                       const int64_t at = static_cast<int64_t>(y) * width + x;
                       effect_support::BlendRun(mode, opacity, plane + at, values,
                                                mask != nullptr ? mask + at : nullptr, n);
                     });
  }
  return effect_support::FilterWholeCopy(
      mode, opacity, plane, mask, width, height, x0, y0, x1, y1,
      [&](unsigned char* work) {
        plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
        switch (kind) {
          case 0: {
            // Each sample's draw in the order of the walk, the rows in bands on the shared
            // threads; the blur below reads the whole plane.
            if (x0 > x1 || y0 > y1) break;
            if (DrawnRuns(x0, y0, x1, y1, 1, nullptr,
                          [&](int32_t y, int32_t x, int32_t n, const int32_t* d) {
                            unsigned char* row = work + static_cast<int64_t>(y) * width + x;
                            for (int32_t j = 0; j < n; ++j)
                              row[j] = static_cast<unsigned char>(ByteOfDraw(d[j]));
                          }) != 0) {
              return -1;
            }
            break;
          }
          case 1:
          case 2:
            FillRectangles(work, width, x0, y0, x1, y1, sizeX, sizeY, 25, 3);
            break;
          case 3:
          case 4:
            FillRectangles(work, width, x0, y0, x1, y1, sizeX, sizeY, 60, 6);
            break;
          default:
            break;
        }
        if (blurRadius > 0 && Blur(0, 255, work, nullptr, width, height, 0, 0, width - 1,
                                   height - 1, blurRadius, 1) != 0) {
          return -1;
        }
        CreaLut(table, contrast, darken, (kind == 2 || kind == 4) ? 1 : 0);
        return 0;
      },
      [&](int32_t, int32_t noise) { return static_cast<int32_t>(table[noise]); });
}

int32_t Effects::Wind(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      const unsigned char* mask, int16_t length, int16_t angle,
                      int16_t randomness) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  plat::SeedRandom(plat::TimeSeed());
  ClampRegion(width, height, x0, y0, x1, y1);
  plat::Block<unsigned char> workBuf(static_cast<int64_t>(width) * height, WorkSource());
  if (!workBuf) return -1;
  unsigned char* work = workBuf.get();
  CopyRegion(plane, work, width, x0, y0, x1, y1);

  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta));
  const float s = static_cast<float>(std::sin(theta));
  const int32_t L = length;
  const bool downward = angle < 180;
  // Each streak runs from x, y on steps that depend on k alone: worked out once. (Every
  // pixel's streak reads what the streaks before it wrote, so the walk itself stays one.)
  const int32_t steps = std::max<int32_t>(L, 0);
  plat::Block<int32_t> stepBuf(2 * static_cast<int64_t>(steps), WorkSource());
  if (!stepBuf) return -1;
  int32_t* stepX = stepBuf.get();
  int32_t* stepY = stepBuf.get() + steps;
  for (int32_t k = 0; k < steps; ++k) {
    stepX[k] = static_cast<int32_t>(c * static_cast<float>(k));
    stepY[k] = static_cast<int32_t>(s * static_cast<float>(k));
  }
  const effect_support::ByteSumQuotient byLength(L);
  for (int32_t n = 0; n <= y1 - y0; ++n) {
    const int32_t y = downward ? y0 + n : y1 - n;
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t v = work[i];
      const int32_t cut = static_cast<int32_t>(std::floor(L * Draw()));
      const int32_t streak = L - cut * randomness / 10;
      for (int32_t k = 0; k < streak; ++k) {
        // A negative randomness can reach past the length: those steps are worked out here.
        int32_t tx = x + (k < steps ? stepX[k] : static_cast<int32_t>(c * static_cast<float>(k)));
        int32_t ty = y + (k < steps ? stepY[k] : static_cast<int32_t>(s * static_cast<float>(k)));
        tx = ClampInt(tx, x0, x1);
        ty = ClampInt(ty, y0, y1);
        unsigned char& target = work[static_cast<int64_t>(ty) * width + tx];
        const int32_t w = k / 4;
        // Within the length the sum lies in 0 .. 255 L, where the reciprocal's quotient is
        // exact; past it the sum may be negative: divided as written.
        const int32_t sum = v * w + target * (L - w);
        const int32_t quotient = w <= L ? byLength(sum) : sum / L;
        target = static_cast<unsigned char>(Clamp255(quotient));
      }
      plane[i] = Blend(mode, plane[i], v, Weight(mask, i, opacity));
    }
  }
  return 0;
}

int32_t Effects::FilmGrain(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                           unsigned char* red, unsigned char* green, unsigned char* blue,
                           int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           const unsigned char* mask, int16_t amount, int16_t highlights,
                           int16_t midtones, int16_t shadows, int16_t colourShare, int16_t seed) {
  if (red == nullptr || green == nullptr || blue == nullptr || width <= 0 || height <= 0) {
    return -1;
  }
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) {
    plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
    return 0;
  }
  // Each pixel takes its three draws in the order of a walk row by row, and reads and writes
  // only its own samples. So the rows go in bands to the shared threads, each band drawing
  // from its own copy of the generator started at its first pixel's draws, and work out their
  // grain and blend it in a run at a time, with no copies of the planes.
  // Measured on three 6000 x 4000 planes (8 shared cores): about 1.2 s one pixel and one
  // call of the generator at a time with whole-plane copies; 315 ms with the draws a chunk
  // of rows at a time on one thread beside the rows' work.
  // The strength depends on the lightness alone: one entry for each of its 256 values.
  int64_t strength[256];
  for (int32_t L = 0; L < 256; ++L) {
    const int32_t off = L < 128 ? 128 - L : L - 128;
    const int32_t mid = 128 - off;
    // 64-bit sums: a strong grain with a full colour share goes far past the 32-bit range
    // before the clamp, and must saturate, not wrap.
    strength[L] = static_cast<int64_t>(amount) *
                  (L * highlights / 255 + midtones * mid / 128 + shadows * (255 - L) / 255) / 30;
  }
  unsigned char* const plane[3] = {red, green, blue};
  return DrawnRuns(x0, y0, x1, y1, 3, &seed,
                   [&](int32_t y, int32_t x, int32_t n, const int32_t* draws) {
    unsigned char values[3][effect_support::kRun];
    const int64_t at = static_cast<int64_t>(y) * width + x;
    for (int32_t j = 0; j < n; ++j) {
      const int64_t i = at + j;
      const int32_t* u = draws + 3 * j;
      const int64_t S = strength[(2 * red[i] + green[i]) / 3];
      int64_t noise[3];
      for (int32_t k = 0; k < 3; ++k) {
        noise[k] = static_cast<int64_t>(static_cast<double>(S) * (128 - 255 * (u[k] / 2147483647.0)) / 100);
      }
      const int64_t mono = ((noise[0] + noise[1] + noise[2]) / 3) * (100 - colourShare);
      for (int32_t k = 0; k < 3; ++k) {
        const int64_t v = plane[k][i] + (noise[k] * colourShare + mono) / 100;
        values[k][j] = static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
    for (int32_t k = 0; k < 3; ++k)
      effect_support::BlendRun(mode, opacity, plane[k] + at, values[k],
                               mask != nullptr ? mask + at : nullptr, n);
  });
}

int32_t Effects::DeNoise(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int16_t passes, int16_t spatial,
                         int16_t threshold) {
  // The raster core's denoise smooths a copy of the whole plane and blends
  // it in over the region, which is this operation exactly.
  return ::DeNoise(mode, opacity, plane, mask, height, width, x0, y0, x1, y1, passes, spatial,
                   threshold);
}
