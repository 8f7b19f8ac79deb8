// Grain in and out: uniform or rectangle noise, wind streaks, film grain
// weighted by lightness, and edge-preserving denoise.
//
// Noise and film grain are seeded by the caller's parameter, wind by the
// clock; the number and order of the draws below are part of the result, so
// a seed gives the same grain on every run. A draw u is random() / (2^31 - 1).
//
// Each step of a wind streak moves its target toward the pixel's value by a
// mean that is then divided by the length; the division takes an offset
// (WindStreakOffset) rather than truncating, as every sample is moved by
// tens of steps one after the other and truncation took half a level off
// with each of them.
//
// The wind visits each row in its own direction: from x1 back to x0 where
// its streaks step left, from x0 to x1 otherwise (the rows go down, or up
// from 180 degrees, as before). Walked from x0 always, a streak that steps
// left landed only on pixels already blended into the plane, so that a wind
// blowing left along its row drew nothing. Each pixel still takes one draw,
// the row's draws in the order its pixels are visited; at angles whose
// streaks never step left nothing changes.
//
// Noise filters a copy of the whole plane, since its blur reads beyond the
// region; rectangle noise steps by at least one sample, however small the
// size. Wind and film grain report a work plane that cannot be had with -1
// and leave the planes as they were.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "raster/lane_quotients.h"
#include "raster/susan_denoise.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

inline double Draw() { return plat::Random() / 2147483647.0; }

// The wind's rounding offset (see WindStreakOffset): a 16-bit term of the pixel whose streak it
// is and one of the step, added in 16 bits and scaled to 0..length - 1. Each term is a hash of
// its place (the pixel's column and row times odd numbers, or the step times one) in 16 bits,
// so that the lanes below, which hold sixteen neighbouring pixels, make the same terms.
constexpr uint32_t kWindAlongX = 0x2F1D, kWindAlongY = 0x5A37, kWindStep = 0x6F4B;
constexpr uint32_t kWindMix = 0xA3B5;

constexpr uint32_t WindMix(uint32_t a) {
  a &= 0xFFFFu;
  a ^= a >> 7;
  return (a * kWindMix) & 0xFFFFu;
}

constexpr uint32_t WindPixelTerm(int32_t x, int32_t y) {
  return WindMix(static_cast<uint32_t>(x) * kWindAlongX + static_cast<uint32_t>(y) * kWindAlongY);
}

constexpr uint32_t WindStepTerm(int32_t k) { return WindMix(static_cast<uint32_t>(k) * kWindStep); }

constexpr int32_t WindOffset(uint32_t pixelTerm, uint32_t stepTerm, int32_t length) {
  return static_cast<int32_t>((((pixelTerm + stepTerm) & 0xFFFFu) * static_cast<uint32_t>(length)) >> 16);
}

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

bool gBandedRectangles = true;
bool gWindSideBySide = true;
bool gWindSixteenAtOnce = true;

// One rectangle of the noise: where, how large (rows and columns already cut at the region's
// last row and column; none when either is 0 or less) and its grey.
struct GreyRect {
  int32_t left, top, rows, columns;
  unsigned char grey;
};

// Sizes of the rectangle noise, from the scale and step of its kind.
struct RectSizes {
  int32_t hh, ww, rowStep, columnStep;
  RectSizes(float sizeX, float sizeY, int32_t scale, int32_t step)
      : hh(SizeFrom(std::floor(sizeY * scale + 0.5))),
        ww(SizeFrom(std::floor(sizeX * scale + 0.5))),
        rowStep(std::max(1, SizeFrom(std::floor(sizeY * step + 0.5)))),
        columnStep(std::max(1, SizeFrom(std::floor(sizeX * step + 0.5)))) {}
};

// The rectangle of six draws u1..u6.
GreyRect RectOf(const RectSizes& z, int32_t x0, int32_t y0, int32_t x1, int32_t y1, double u1,
                double u2, double u3, double u4, double u5, double u6) {
  const int32_t left = static_cast<int32_t>(std::floor(x0 + (x1 - x0) * u1));
  const int32_t top = static_cast<int32_t>(std::floor(y0 + (y1 - y0) * u2));
  const int32_t w = SizeFrom(std::floor(z.ww * u3));
  const int32_t h = SizeFrom(std::floor(z.hh * u4));
  const unsigned char grey = static_cast<unsigned char>(std::floor(std::floor(255 * u5) * u6));
  // Rows and columns past the region's edge land on its last row or column, which the
  // rectangle has already painted with the same grey: stop there instead of repainting it for
  // a huge size.
  return {left, top, h < y1 - top + 1 ? h : y1 - top + 1, w < x1 - left + 1 ? w : x1 - left + 1,
          grey};
}

// `count` bytes of `grey`. Most rows of a rectangle are a few to 25 bytes, too short for a call
// to memset to pay: they go in 8-byte stores, the last one overlapping the one before.
inline void FillRun(unsigned char* at, int32_t count, unsigned char grey) {
  if (count < 8) {
    for (int32_t c = 0; c < count; ++c) at[c] = grey;
    return;
  }
  if (count > 64) {
    std::memset(at, grey, static_cast<size_t>(count));
    return;
  }
  const uint64_t word = grey * 0x0101010101010101ull;
  for (int32_t c = 0; c + 8 <= count; c += 8) std::memcpy(at + c, &word, 8);
  std::memcpy(at + count - 8, &word, 8);
}

// Random grey rectangles, one after the other; the loop position only sets how many are drawn.
void PlainFillRectangles(unsigned char* work, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                         int32_t y1, const RectSizes& z) {
  // 64-bit positions: a step of a huge size must not wrap back into the region.
  for (int64_t y = y0; y <= y1; y += z.rowStep) {
    for (int64_t x = x0; x <= x1; x += z.columnStep) {
      const double u1 = Draw(), u2 = Draw(), u3 = Draw(), u4 = Draw(), u5 = Draw(), u6 = Draw();
      const GreyRect r = RectOf(z, x0, y0, x1, y1, u1, u2, u3, u4, u5, u6);
      for (int32_t k = 0; k < r.rows; ++k) {
        unsigned char* row = work + static_cast<int64_t>(r.top + k) * width + r.left;
        for (int32_t c = 0; c < r.columns; ++c) row[c] = r.grey;
      }
    }
  }
}

// The same rectangles painted in bands of rows on the shared threads. A chunk of rectangles at a
// time: their draws are taken at once (the next chunk's beside the painting of this one), the
// rectangles worked out from them side by side, and then every band goes through the chunk's
// rectangles in order and paints the rows of each that fall in it, so every pixel ends with
// the grey of the last rectangle over it, as painting them one after the other gives.
// Measured on the fog of a 6000 x 4000 plane (2.7 million rectangles up to 25 x 25) on the
// shared 8-core machine under a load of about 14: the whole fog 0.88 s with the rectangles
// one after the other (a third of it the draws, with a lock each), 0.10 s in bands. Bands of 128
// rows: each band looks at every rectangle, which costs less than sorting the rectangles into bands
// on one thread did. The plain form when the work lists cannot be had.
void FillRectangles(unsigned char* work, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                    int32_t y1, float sizeX, float sizeY, int32_t scale, int32_t step) {
  const RectSizes z(sizeX, sizeY, scale, step);
  if (x0 > x1 || y0 > y1) return;
  const int64_t across = (int64_t{x1} - x0) / z.columnStep + 1;
  const int64_t down = (int64_t{y1} - y0) / z.rowStep + 1;
  const int64_t total = across * down;
  constexpr int32_t kBandRows = 128;
  constexpr int64_t kChunk = int64_t{1} << 16;
  const int32_t bands = (y1 - y0) / kBandRows + 1;
  plat::Block<int32_t> draws(2 * 6 * kChunk, WorkSource());
  plat::Block<GreyRect> rects(kChunk, WorkSource());
  if (!gBandedRectangles || !draws || !rects) {
    PlainFillRectangles(work, width, x0, y0, x1, y1, z);
    return;
  }
  int32_t* const half[2] = {draws.get(), draws.get() + 6 * kChunk};
  auto sizeOf = [&](int64_t first) {
    return static_cast<int32_t>(std::min(kChunk, total - first));
  };
  plat::RandomDraws(half[0], 6 * int64_t{sizeOf(0)});
  int32_t which = 0;
  GreyRect* const rs = rects.get();
  for (int64_t first = 0; first < total; first += kChunk) {
    const int32_t n = sizeOf(first);
    const int32_t* d = half[which];
    plat::ParallelFor(0, n, 4096, [=, &z](int32_t from, int32_t to) {
      for (int32_t i = from; i < to; ++i) {
        const int32_t* di = d + 6 * int64_t{i};
        auto u = [&](int k) { return di[k] / 2147483647.0; };
        rs[i] = RectOf(z, x0, y0, x1, y1, u(0), u(1), u(2), u(3), u(4), u(5));
      }
    });
    const int64_t next = first + kChunk;
    int32_t* ahead = half[1 - which];
    // Task 0 takes the next chunk's draws; task b + 1 paints band b.
    plat::ParallelFor(0, bands + 1, 1, [&](int32_t t, int32_t) {
      if (t == 0) {
        if (next < total) plat::RandomDraws(ahead, 6 * int64_t{sizeOf(next)});
        return;
      }
      const int32_t top = y0 + (t - 1) * kBandRows;
      const int32_t bottom = std::min(y1, top + kBandRows - 1);
      for (int32_t i = 0; i < n; ++i) {
        const GreyRect r = rs[i];
        if (r.columns <= 0) continue;
        const int32_t from = std::max(top, r.top), to = std::min(bottom, r.top + r.rows - 1);
        for (int32_t y = from; y <= to; ++y)
          FillRun(work + static_cast<int64_t>(y) * width + r.left, r.columns, r.grey);
      }
    });
    which = 1 - which;
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

// --- Uniform noise's bytes -------------------------------------------------------------------

// out[j] = ByteOfDraw(d[j]) for j < n; the wide forms are the same loop in fixed steps of 16
// (32), which the build's cost model puts in vector lanes.
void NoiseBytesPlain(const int32_t* d, unsigned char* out, int32_t n) {
  for (int32_t j = 0; j < n; ++j) out[j] = static_cast<unsigned char>(ByteOfDraw(d[j]));
}

#if VMK_SIMD_X86
VMK_TARGET_AVX2 void NoiseBytesAvx2(const int32_t* d, unsigned char* out, int32_t n) {
  int32_t j = 0;
  for (; j + 16 <= n; j += 16)
    for (int32_t k = 0; k < 16; ++k) out[j + k] = static_cast<unsigned char>(ByteOfDraw(d[j + k]));
  for (; j < n; ++j) out[j] = static_cast<unsigned char>(ByteOfDraw(d[j]));
}

VMK_TARGET_AVX512 void NoiseBytesAvx512(const int32_t* d, unsigned char* out, int32_t n) {
  int32_t j = 0;
  for (; j + 32 <= n; j += 32)
    for (int32_t k = 0; k < 32; ++k) out[j + k] = static_cast<unsigned char>(ByteOfDraw(d[j + k]));
  for (; j < n; ++j) out[j] = static_cast<unsigned char>(ByteOfDraw(d[j]));
}
#endif

using NoiseBytesFn = void (*)(const int32_t*, unsigned char*, int32_t);

NoiseBytesFn NoiseBytes() {
#if VMK_SIMD_X86
  return plat::PickKernel<NoiseBytesFn>(NoiseBytesPlain, NoiseBytesAvx2, NoiseBytesAvx512);
#else
  return NoiseBytesPlain;
#endif
}

// --- Film grain's values --------------------------------------------------------------------

// The strongest grain the wide form takes (see there).
constexpr int64_t kNarrowStrength = 1024;

// What every pixel of one film grain shares: the strength by lightness (it depends on nothing
// else), the colour share, and whether every sum below fits in 32-bit lanes.
struct GrainTerms {
  int64_t strength[256];
  int32_t strength32[256];
  int16_t strength16[256];  // where every strength fits (narrow)
  int32_t colourShare;
  bool narrow;
};

// The grain of pixels j0..j1 of a run, as the operation is written: p[k] are the run's samples
// of red, green and blue, draws its draws (three a pixel), values[k] the clamped sums.
void GrainPixels(const GrainTerms& t, const unsigned char* const p[3], const int32_t* draws,
                 int32_t j0, int32_t j1, unsigned char* const values[3]) {
  for (int32_t j = j0; j < j1; ++j) {
    const int32_t* u = draws + 3 * j;
    const int64_t S = t.strength[(2 * p[0][j] + p[1][j]) / 3];
    int64_t noise[3];
    for (int32_t k = 0; k < 3; ++k)
      noise[k] = static_cast<int64_t>(static_cast<double>(S) * (128 - 255 * (u[k] / 2147483647.0)) / 100);
    const int64_t mono = ((noise[0] + noise[1] + noise[2]) / 3) * (100 - t.colourShare);
    for (int32_t k = 0; k < 3; ++k) {
      const int64_t v = p[k][j] + (noise[k] * t.colourShare + mono) / 100;
      values[k][j] = static_cast<unsigned char>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  }
}

using GrainRunFn = void (*)(const GrainTerms&, const unsigned char* const[3], const int32_t*,
                            int32_t, unsigned char* const[3]);

void GrainRunPlain(const GrainTerms& t, const unsigned char* const p[3], const int32_t* draws,
                   int32_t n, unsigned char* const values[3]) {
  GrainPixels(t, p, draws, 0, n, values);
}

#if VMK_SIMD_X86
// The wide form takes 8 pixels at a time, for strengths of at most kNarrowStrength. A grain
// n = trunc(S (128 - 255 u) / 100), u = d / (2^31 - 1), is worked out in the plain form by a
// chain of roundings that stays within 8 |S| 2^-53 of the exact quotient q = S (128 (2^31 - 1)
// - 255 d) / (100 (2^31 - 1)); the lanes take it as A - d B in one fused multiply-add, A = 1.28 S
// and B = 2.55 S / (2^31 - 1) rounded once a pixel, within 12 |S| 2^-53 of q (11.5 for A, B and
// the one rounding of the fused step; 14 allows a separate product's rounding too). q has the denominator
// 100 (2^31 - 1), so where it is not a whole number it lies at least 1 / (100 (2^31 - 1)),
// about 4.7e-12, from one: more than the 22 |S| 2^-53 the two may lie apart, for |S| up to
// 1900, so both truncate to the same number. q is a whole number only for the draws 0 and 2^31 - 1
// (2^31 - 1 is prime and divides neither 255 nor S); the plain chain is exact there, and the groups
// that hold such a draw are worked out as written. The sums after it are whole numbers in 32-bit
// lanes (at most 1311 x 65634 + 255), the quotient by 100 truncated as C does, by the
// multiply-high of Hacker's Delight (0x51EB851F shifted by 5; plus 1 for a negative dividend),
// exact for every 32-bit dividend, all 2^32 checked; the quotient by 3 of the three grains' sum
// by QuotientBy3Small below.
// The sum of a pixel's three grains lies within 3 x 1311, where a product by 21846 (a third
// of 2^16, rounded up) shifted down by 16, plus 1 for a negative sum, is its quotient by 3
// truncated as C does: checked for every sum of magnitude below 2^15.
VMK_TARGET_AVX2 inline __m256i QuotientBy3Small(__m256i a) {
  return _mm256_add_epi32(_mm256_srai_epi32(_mm256_mullo_epi32(a, _mm256_set1_epi32(21846)), 16),
                          _mm256_srli_epi32(a, 31));
}

// The grains of one channel's 8 draws, A and B of their pixels in two halves.
VMK_TARGET_AVX2 inline __m256i GrainOf8(__m256i draws, __m256d aLo, __m256d aHi, __m256d bLo,
                                        __m256d bHi) {
  const __m256d dLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(draws));
  const __m256d dHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(draws, 1));
  const __m128i lo = _mm256_cvttpd_epi32(_mm256_fnmadd_pd(dLo, bLo, aLo));
  const __m128i hi = _mm256_cvttpd_epi32(_mm256_fnmadd_pd(dHi, bHi, aHi));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// Lanes holding the draw 0 or 2^31 - 1: d - 1 at or above 2^31 - 2 unsigned.
VMK_TARGET_AVX2 inline __m256i EndDraws(__m256i d) {
  const __m256i x = _mm256_sub_epi32(d, _mm256_set1_epi32(1));
  return _mm256_cmpeq_epi32(_mm256_max_epu32(x, _mm256_set1_epi32(2147483646)), x);
}

// Bytes 0 of 8 lanes in 0..255, in order, to out.
VMK_TARGET_AVX2 inline void StoreBytes8(__m256i v, unsigned char* out) {
  const __m256i pick = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                        0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
  const __m256i b = _mm256_shuffle_epi8(v, pick);
  const __m128i both = _mm_unpacklo_epi32(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), both);
}

// Pixels j..j+7 in lanes; false, with nothing written, where a lane must be worked out as
// written.
template <int32_t kShare>
VMK_TARGET_AVX2 bool GrainEightAvx2(const GrainTerms& t, const unsigned char* const p[3],
                                    const int32_t* draws, int32_t j,
                                    unsigned char* const values[3]) {
  __m256i sample[3];
  for (int32_t k = 0; k < 3; ++k)
    sample[k] = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p[k] + j)));
  // L = (2 r + g) / 3: below 2^15, where x * 43691 >> 17 is x / 3.
  const __m256i twice = _mm256_add_epi32(_mm256_add_epi32(sample[0], sample[0]), sample[1]);
  const __m256i light = _mm256_srli_epi32(_mm256_mullo_epi32(twice, _mm256_set1_epi32(43691)), 17);
  const __m256i S = _mm256_i32gather_epi32(t.strength32, light, 4);
  // The draws r0 g0 b0 r1 ... of 8 pixels, dealt out by channel.
  const int32_t* d = draws + 3 * j;
  const __m256i d0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
  const __m256i d1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 8));
  const __m256i d2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 16));
  const __m256i ends = _mm256_or_si256(_mm256_or_si256(EndDraws(d0), EndDraws(d1)), EndDraws(d2));
  if (!_mm256_testz_si256(ends, ends)) return false;
  const __m256i rMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x92), d2, 0x24);
  const __m256i gMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x24), d2, 0x49);
  const __m256i bMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x49), d2, 0x92);
  const __m256i channel[3] = {
      _mm256_permutevar8x32_epi32(rMix, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5)),
      _mm256_permutevar8x32_epi32(gMix, _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6)),
      _mm256_permutevar8x32_epi32(bMix, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7))};
  const __m256d sLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(S));
  const __m256d sHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(S, 1));
  const __m256d a = _mm256_set1_pd(128.0 / 100.0), b = _mm256_set1_pd(255.0 / 100.0 / 2147483647.0);
  const __m256d aLo = _mm256_mul_pd(sLo, a), aHi = _mm256_mul_pd(sHi, a);
  const __m256d bLo = _mm256_mul_pd(sLo, b), bHi = _mm256_mul_pd(sHi, b);
  __m256i noise[3];
  for (int32_t k = 0; k < 3; ++k) noise[k] = GrainOf8(channel[k], aLo, aHi, bLo, bHi);
  __m256i grain[3];
  if constexpr (kShare == 100) {
    for (int32_t k = 0; k < 3; ++k) grain[k] = noise[k];
  } else {
    const __m256i common =
        QuotientBy3Small(_mm256_add_epi32(_mm256_add_epi32(noise[0], noise[1]), noise[2]));
    if constexpr (kShare == 0) {
      for (int32_t k = 0; k < 3; ++k) grain[k] = common;
    } else {
      const __m256i share = _mm256_set1_epi32(t.colourShare);
      const __m256i mono = _mm256_mullo_epi32(common, _mm256_set1_epi32(100 - t.colourShare));
      for (int32_t k = 0; k < 3; ++k)
        grain[k] = lanediv::QuotientBy100(_mm256_add_epi32(_mm256_mullo_epi32(noise[k], share), mono));
    }
  }
  for (int32_t k = 0; k < 3; ++k) {
    __m256i v = _mm256_add_epi32(sample[k], grain[k]);
    v = _mm256_min_epi32(_mm256_max_epi32(v, _mm256_setzero_si256()), _mm256_set1_epi32(255));
    StoreBytes8(v, values[k] + j);
  }
  return true;
}

// The draws of 8 pixels, r0 g0 b0 r1 ... in d0, d1, d2, dealt out by channel.
VMK_TARGET_AVX2 inline void DealEight(__m256i d0, __m256i d1, __m256i d2, __m256i channel[3]) {
  const __m256i rMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x92), d2, 0x24);
  const __m256i gMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x24), d2, 0x49);
  const __m256i bMix = _mm256_blend_epi32(_mm256_blend_epi32(d0, d1, 0x49), d2, 0x92);
  channel[0] = _mm256_permutevar8x32_epi32(rMix, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5));
  channel[1] = _mm256_permutevar8x32_epi32(gMix, _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6));
  channel[2] = _mm256_permutevar8x32_epi32(bMix, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7));
}

// The grains of 16 pixels again in double lanes, from their strengths S and dealt draws, where
// the single-precision ones came near a whole number; false where a draw is 0 or 2^31 - 1,
// whose pixels must be worked out as written. Out of the 16-pixel step, which seldom needs it.
__attribute__((noinline)) VMK_TARGET_AVX2 bool GrainsInDoubleLanes(const __m256i S[2],
                                                                   const __m256i channel[2][3],
                                                                   __m256i noise[2][3]) {
  // d - 1 at or above 2^31 - 2 unsigned.
  const __m256i one = _mm256_set1_epi32(1);
  __m256i most = _mm256_sub_epi32(channel[0][0], one);
  for (int32_t h = 0; h < 2; ++h)
    for (int32_t k = 0; k < 3; ++k) most = _mm256_max_epu32(most, _mm256_sub_epi32(channel[h][k], one));
  const __m256i ends = _mm256_cmpeq_epi32(_mm256_max_epu32(most, _mm256_set1_epi32(2147483646)), most);
  if (!_mm256_testz_si256(ends, ends)) return false;
  const __m256d a = _mm256_set1_pd(128.0 / 100.0), b = _mm256_set1_pd(255.0 / 100.0 / 2147483647.0);
  for (int32_t h = 0; h < 2; ++h) {
    const __m256d sLo = _mm256_cvtepi32_pd(_mm256_castsi256_si128(S[h]));
    const __m256d sHi = _mm256_cvtepi32_pd(_mm256_extracti128_si256(S[h], 1));
    const __m256d aLo = _mm256_mul_pd(sLo, a), aHi = _mm256_mul_pd(sHi, a);
    const __m256d bLo = _mm256_mul_pd(sLo, b), bHi = _mm256_mul_pd(sHi, b);
    for (int32_t k = 0; k < 3; ++k) noise[h][k] = GrainOf8(channel[h][k], aLo, aHi, bLo, bHi);
  }
  return true;
}

// Pixels j..j+15 in lanes, the grains first in single precision as in the AVX-512 form (see
// there for the bound): x = A - d B with A, B and d rounded to float and one rounding of the
// fused step, trusted where it lies at least |S| 2^-20 from every whole number. That holds
// for the draws 0 and 2^31 - 1 too: x then lies as near the exact grain, which the plain form
// gives there, so only the groups worked out again in double lanes look for them. The sums
// that follow fit 16-bit lanes for a share of 0 or 100 (a grain's magnitude is at most 1311,
// three of them below 2^15, where the high half of the product by 21846 is the 32-bit one
// shifted by 16); for other shares they are made in 32-bit lanes and narrowed with
// saturation, which like the sample's saturating add and the narrowing to bytes keeps every
// value the clamp to 0..255 would. False, with nothing written, where a lane must be worked
// out as written.
template <int32_t kShare>
VMK_TARGET_AVX2 inline __attribute__((always_inline)) bool GrainSixteenAvx2(
    const GrainTerms& t, const unsigned char* const p[3], const int32_t* draws, int32_t j,
    unsigned char* const values[3]) {
  const int32_t* d = draws + 3 * j;
  // Named loads: a loop filling an array of vectors from the draws was compiled as a copy
  // through the stack in 16-byte pieces, each vector then waiting on two stores.
  const __m256i d0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
  const __m256i d1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 8));
  const __m256i d2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 16));
  const __m256i d3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 24));
  const __m256i d4 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 32));
  const __m256i d5 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + 40));
  __m256i sample[3];
  for (int32_t k = 0; k < 3; ++k)
    sample[k] = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k] + j)));
  // L = (2 r + g) / 3 in 16-bit lanes: the high half of x * 43691 shifted by 1 is x * 43691 >> 17.
  const __m256i twice = _mm256_add_epi16(_mm256_add_epi16(sample[0], sample[0]), sample[1]);
  const __m256i light =
      _mm256_srli_epi16(_mm256_mulhi_epu16(twice, _mm256_set1_epi16(static_cast<int16_t>(43691))), 1);
  const __m256i S[2] = {
      _mm256_i32gather_epi32(t.strength32, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(light)), 4),
      _mm256_i32gather_epi32(t.strength32, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(light, 1)), 4)};
  __m256i channel[2][3], noise[2][3];
  DealEight(d0, d1, d2, channel[0]);
  DealEight(d3, d4, d5, channel[1]);
  __m256 redo = _mm256_setzero_ps();
  for (int32_t h = 0; h < 2; ++h) {
    const __m256 sF = _mm256_cvtepi32_ps(S[h]);
    const __m256 aF = _mm256_mul_ps(sF, _mm256_set1_ps(1.28f));
    const __m256 bF = _mm256_mul_ps(sF, _mm256_set1_ps(static_cast<float>(255.0 / 100.0 / 2147483647.0)));
    const __m256 sign = _mm256_set1_ps(-0.0f);
    const __m256 near = _mm256_mul_ps(_mm256_andnot_ps(sign, sF), _mm256_set1_ps(0x1p-20f));
    __m256 least = _mm256_set1_ps(1.0f);
    for (int32_t k = 0; k < 3; ++k) {
      const __m256 x = _mm256_fnmadd_ps(_mm256_cvtepi32_ps(channel[h][k]), bF, aF);
      noise[h][k] = _mm256_cvttps_epi32(x);
      // x less its nearest whole number, exact below 2^23.
      const __m256 off = _mm256_sub_ps(x, _mm256_round_ps(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC));
      least = _mm256_min_ps(least, _mm256_andnot_ps(sign, off));
    }
    redo = _mm256_or_ps(redo, _mm256_cmp_ps(least, near, _CMP_LT_OQ));
  }
  if (!_mm256_testz_ps(redo, redo) && !GrainsInDoubleLanes(S, channel, noise)) return false;
  // The grains in 16-bit lanes; the narrowing leaves pixels 0-3, 8-11, 4-7, 12-15, put in
  // order by one permute a channel (one for all three with a share of 0).
  constexpr int32_t kInOrder = 0xD8;
  __m256i grain[3];
  if constexpr (kShare == 100) {
    for (int32_t k = 0; k < 3; ++k)
      grain[k] = _mm256_permute4x64_epi64(_mm256_packs_epi32(noise[0][k], noise[1][k]), kInOrder);
  } else if constexpr (kShare == 0) {
    const __m256i sum = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_packs_epi32(noise[0][0], noise[1][0]), _mm256_packs_epi32(noise[0][1], noise[1][1])),
        _mm256_packs_epi32(noise[0][2], noise[1][2]));
    const __m256i common = _mm256_add_epi16(_mm256_mulhi_epi16(sum, _mm256_set1_epi16(21846)),
                                            _mm256_srli_epi16(sum, 15));
    for (int32_t k = 0; k < 3; ++k) grain[k] = _mm256_permute4x64_epi64(common, kInOrder);
  } else {
    const __m256i share = _mm256_set1_epi32(t.colourShare);
    const __m256i rest = _mm256_set1_epi32(100 - t.colourShare);
    __m256i g[2][3];
    for (int32_t h = 0; h < 2; ++h) {
      const __m256i common =
          QuotientBy3Small(_mm256_add_epi32(_mm256_add_epi32(noise[h][0], noise[h][1]), noise[h][2]));
      const __m256i mono = _mm256_mullo_epi32(common, rest);
      for (int32_t k = 0; k < 3; ++k)
        g[h][k] = lanediv::QuotientBy100(_mm256_add_epi32(_mm256_mullo_epi32(noise[h][k], share), mono));
    }
    for (int32_t k = 0; k < 3; ++k)
      grain[k] = _mm256_permute4x64_epi64(_mm256_packs_epi32(g[0][k], g[1][k]), kInOrder);
  }
  for (int32_t k = 0; k < 3; ++k) {
    const __m256i v = _mm256_adds_epi16(sample[k], grain[k]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values[k] + j),
                     _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
  }
  return true;
}

template <int32_t kShare>
VMK_TARGET_AVX2 void GrainRunAvx2(const GrainTerms& t, const unsigned char* const p[3],
                                  const int32_t* draws, int32_t n,
                                  unsigned char* const values[3]) {
  int32_t j = 0;
  for (; j + 16 <= n; j += 16)
    if (!GrainSixteenAvx2<kShare>(t, p, draws, j, values)) GrainPixels(t, p, draws, j, j + 16, values);
  for (; j + 8 <= n; j += 8)
    if (!GrainEightAvx2<kShare>(t, p, draws, j, values)) GrainPixels(t, p, draws, j, j + 8, values);
  GrainPixels(t, p, draws, j, n, values);
}

// The same on 16 pixels a step: the draws dealt out by two-vector permutes, the quotients'
// multiply-high on 16 lanes, the clamp to 255 by the saturating narrowing.
// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The draws of one channel of 16 pixels out of the 48 draws d0, d1, d2 (r0 g0 b0 r1 ...):
// draw 3 i + c of the 48 to lane i, first from d0 and d1, then the last lanes from d2.
struct DealIndices {
  int32_t first[3][16], second[3][16];
  constexpr DealIndices() : first(), second() {
    for (int32_t c = 0; c < 3; ++c)
      for (int32_t i = 0; i < 16; ++i) {
        const int32_t g = 3 * i + c;
        first[c][i] = g < 32 ? g : 0;
        second[c][i] = g < 32 ? i : 16 + (g - 32);
      }
  }
};
constexpr DealIndices kDeal;

VMK_TARGET_AVX512 inline __m512i Deal(__m512i d0, __m512i d1, __m512i d2, int32_t c) {
  const __m512i two = _mm512_permutex2var_epi32(d0, _mm512_loadu_si512(kDeal.first[c]), d1);
  return _mm512_permutex2var_epi32(two, _mm512_loadu_si512(kDeal.second[c]), d2);
}

VMK_TARGET_AVX512 inline __m512i QuotientBy3Small(__m512i a) {
  return _mm512_add_epi32(_mm512_srai_epi32(_mm512_mullo_epi32(a, _mm512_set1_epi32(21846)), 16),
                          _mm512_srli_epi32(a, 31));
}

VMK_TARGET_AVX512 inline __m512i GrainOf16(__m512i draws, __m512d aLo, __m512d aHi, __m512d bLo,
                                           __m512d bHi) {
  const __m512d dLo = _mm512_cvtepi32_pd(_mm512_castsi512_si256(draws));
  const __m512d dHi = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(draws, 1));
  const __m256i lo = _mm512_cvttpd_epi32(_mm512_fnmadd_pd(dLo, bLo, aLo));
  const __m256i hi = _mm512_cvttpd_epi32(_mm512_fnmadd_pd(dHi, bHi, aHi));
  return _mm512_inserti64x4(_mm512_zextsi256_si512(lo), hi, 1);
}

// The strength table in 16-bit entries, 32 to a vector.
struct Strengths512 {
  __m512i part[8];
};

VMK_TARGET_AVX512 inline Strengths512 LoadStrengths(const GrainTerms& t) {
  Strengths512 s;
  for (int32_t k = 0; k < 8; ++k) s.part[k] = _mm512_loadu_si512(t.strength16 + 32 * k);
  return s;
}

// The strengths of 32 lightnesses (0..255 in 16-bit lanes): a permute of two vectors takes a
// quarter of the table by the low six bits, bits 6 and 7 pick the quarter. Costs less than a
// gather of the 32-bit table from memory.
VMK_TARGET_AVX512 inline __m512i StrengthOf32(const Strengths512& s, __m512i i) {
  const __m512i q0 = _mm512_permutex2var_epi16(s.part[0], i, s.part[1]);
  const __m512i q1 = _mm512_permutex2var_epi16(s.part[2], i, s.part[3]);
  const __m512i q2 = _mm512_permutex2var_epi16(s.part[4], i, s.part[5]);
  const __m512i q3 = _mm512_permutex2var_epi16(s.part[6], i, s.part[7]);
  const __mmask32 b6 = _mm512_test_epi16_mask(i, _mm512_set1_epi16(64));
  const __mmask32 b7 = _mm512_test_epi16_mask(i, _mm512_set1_epi16(128));
  const __m512i low = _mm512_mask_blend_epi16(b6, q0, q1);
  const __m512i high = _mm512_mask_blend_epi16(b6, q2, q3);
  return _mm512_mask_blend_epi16(b7, low, high);
}

// The strengths of the 16 pixels of r and g from j on, in 32-bit lanes.
VMK_TARGET_AVX512 inline __m512i StrengthOf16(const Strengths512& s, const unsigned char* r,
                                              const unsigned char* g) {
  const __m512i rr = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(r)));
  const __m512i gg = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(g)));
  // L = (2 r + g) / 3: below 2^15, where x * 43691 >> 17 is x / 3.
  const __m512i twice = _mm512_add_epi32(_mm512_add_epi32(rr, rr), gg);
  const __m512i light = _mm512_srli_epi32(_mm512_mullo_epi32(twice, _mm512_set1_epi32(43691)), 17);
  const __m512i i = _mm512_castsi256_si512(_mm512_cvtepi32_epi16(light));
  return _mm512_cvtepi16_epi32(_mm512_castsi512_si256(StrengthOf32(s, i)));
}

// The same for 32 pixels, the lightness in 16-bit lanes (the high half of x * 43691, shifted
// by 1, is the same x * 43691 >> 17): the strengths of pixels j..j+15 to lo, the rest to hi.
VMK_TARGET_AVX512 inline void StrengthsOf32(const Strengths512& s, const unsigned char* r,
                                            const unsigned char* g, __m512i* lo, __m512i* hi) {
  const __m512i rr = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(r)));
  const __m512i gg = _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(g)));
  const __m512i twice = _mm512_add_epi16(_mm512_add_epi16(rr, rr), gg);
  const __m512i light =
      _mm512_srli_epi16(_mm512_mulhi_epu16(twice, _mm512_set1_epi16(static_cast<int16_t>(43691))), 1);
  const __m512i S = StrengthOf32(s, light);
  *lo = _mm512_cvtepi16_epi32(_mm512_castsi512_si256(S));
  *hi = _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(S, 1));
}

template <int32_t kShare>
VMK_TARGET_AVX512 inline bool GrainSixteenAvx512(const GrainTerms& t, __m512i S,
                                                 const unsigned char* const p[3],
                                                 const int32_t* draws, int32_t j,
                                                 unsigned char* const values[3]) {
  const int32_t* d = draws + 3 * j;
  const __m512i d0 = _mm512_loadu_si512(d);
  const __m512i d1 = _mm512_loadu_si512(d + 16);
  const __m512i d2 = _mm512_loadu_si512(d + 32);
  // The draws 0 and 2^31 - 1: d - 1 at or above 2^31 - 2 unsigned.
  const __m512i one = _mm512_set1_epi32(1), top = _mm512_set1_epi32(2147483646);
  const __m512i most = _mm512_max_epu32(
      _mm512_max_epu32(_mm512_sub_epi32(d0, one), _mm512_sub_epi32(d1, one)), _mm512_sub_epi32(d2, one));
  if (_mm512_cmpge_epu32_mask(most, top) != 0) return false;
  __m512i sample[3];
  for (int32_t k = 0; k < 3; ++k)
    sample[k] = _mm512_cvtepu8_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k] + j)));
  // The grains first in single precision, 16 to a vector, as x = A - d B with A, B and d each
  // rounded to float and one rounding of the fused step: x lies within |S| 2^-24 (1.28 x 2 for
  // A, 2.55 x 3 for B's two roundings and d's, 1.28 for the sum), below 12 |S| 2^-24, of the
  // exact quotient q. Where x is at least |S| 2^-20 from every whole number, no whole number
  // lies between x and q, so trunc(x) is trunc(q), which is the plain form's grain (see above).
  // A group with a grain nearer a whole number than that (about 48 |S| 2^-19 of the groups)
  // is worked out again in double lanes.
  __m512i dealt[3], noise[3];
  for (int32_t k = 0; k < 3; ++k) dealt[k] = Deal(d0, d1, d2, k);
  {
    const __m512 sF = _mm512_cvtepi32_ps(S);
    const __m512 aF = _mm512_mul_ps(sF, _mm512_set1_ps(1.28f));
    const __m512 bF = _mm512_mul_ps(sF, _mm512_set1_ps(static_cast<float>(255.0 / 100.0 / 2147483647.0)));
    const __m512 near = _mm512_mul_ps(_mm512_abs_ps(sF), _mm512_set1_ps(0x1p-20f));
    __m512 off[3];
    for (int32_t k = 0; k < 3; ++k) {
      const __m512 x = _mm512_fnmadd_ps(_mm512_cvtepi32_ps(dealt[k]), bF, aF);
      noise[k] = _mm512_cvttps_epi32(x);
      // x less its nearest whole number, exact below 2^23.
      off[k] = _mm512_reduce_ps(x, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    }
    // The least of the three distances (0x0A: the smaller magnitude, its sign cleared).
    const __m512 least = _mm512_range_ps(_mm512_range_ps(off[0], off[1], 0x0A), off[2], 0x0A);
    if (_mm512_cmp_ps_mask(least, near, _CMP_LT_OQ) != 0) {
      const __m512d sLo = _mm512_cvtepi32_pd(_mm512_castsi512_si256(S));
      const __m512d sHi = _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(S, 1));
      const __m512d a = _mm512_set1_pd(128.0 / 100.0), b = _mm512_set1_pd(255.0 / 100.0 / 2147483647.0);
      const __m512d aLo = _mm512_mul_pd(sLo, a), aHi = _mm512_mul_pd(sHi, a);
      const __m512d bLo = _mm512_mul_pd(sLo, b), bHi = _mm512_mul_pd(sHi, b);
      for (int32_t k = 0; k < 3; ++k) noise[k] = GrainOf16(dealt[k], aLo, aHi, bLo, bHi);
    }
  }
  __m512i grain[3];
  if constexpr (kShare == 100) {
    for (int32_t k = 0; k < 3; ++k) grain[k] = noise[k];
  } else {
    const __m512i common =
        QuotientBy3Small(_mm512_add_epi32(_mm512_add_epi32(noise[0], noise[1]), noise[2]));
    if constexpr (kShare == 0) {
      for (int32_t k = 0; k < 3; ++k) grain[k] = common;
    } else {
      const __m512i share = _mm512_set1_epi32(t.colourShare);
      const __m512i mono = _mm512_mullo_epi32(common, _mm512_set1_epi32(100 - t.colourShare));
      for (int32_t k = 0; k < 3; ++k)
        grain[k] = lanediv::QuotientBy100(_mm512_add_epi32(_mm512_mullo_epi32(noise[k], share), mono));
    }
  }
  for (int32_t k = 0; k < 3; ++k) {
    const __m512i v = _mm512_max_epi32(_mm512_add_epi32(sample[k], grain[k]), _mm512_setzero_si512());
    _mm_storeu_si128(reinterpret_cast<__m128i*>(values[k] + j), _mm512_cvtusepi32_epi8(v));
  }
  return true;
}

template <int32_t kShare>
VMK_TARGET_AVX512 void GrainRunAvx512(const GrainTerms& t, const unsigned char* const p[3],
                                      const int32_t* draws, int32_t n,
                                      unsigned char* const values[3]) {
  const Strengths512 strengths = LoadStrengths(t);
  int32_t j = 0;
  for (; j + 32 <= n; j += 32) {
    __m512i lo, hi;
    StrengthsOf32(strengths, p[0] + j, p[1] + j, &lo, &hi);
    if (!GrainSixteenAvx512<kShare>(t, lo, p, draws, j, values))
      GrainPixels(t, p, draws, j, j + 16, values);
    if (!GrainSixteenAvx512<kShare>(t, hi, p, draws, j + 16, values))
      GrainPixels(t, p, draws, j + 16, j + 32, values);
  }
  for (; j + 16 <= n; j += 16)
    if (!GrainSixteenAvx512<kShare>(t, StrengthOf16(strengths, p[0] + j, p[1] + j), p, draws, j, values))
      GrainPixels(t, p, draws, j, j + 16, values);
  GrainPixels(t, p, draws, j, n, values);
}
#pragma GCC diagnostic pop
#endif

// A band of DrawnRuns takes at least 2^17 draws, some 35 us of drawing against the 5 to 10 us
// of its jump, and the rows go in about four bands a thread so that the threads finish
// together. (The bands change nothing in the result: every draw is the sequence's own.)
constexpr int64_t kBandDraws = int64_t{1} << 17;
constexpr int32_t kBandsPerThread = 4;

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
  const int64_t rows = y1 - y0 + 1;
  const int64_t bands = int64_t{kBandsPerThread} * plat::ThreadCount();
  const auto bandRows = static_cast<int32_t>(std::clamp<int64_t>(
      std::max((rows + bands - 1) / bands, (kBandDraws + perRow - 1) / perRow), 1, rows));
  plat::ParallelFor(y0, y1 + 1, bandRows, [=](int32_t first, int32_t end) {
    int32_t draws[3 * kRun], more[3 * kRun];
    plat::RandomRun run = start;
    run.Skip(static_cast<uint64_t>(first - y0) * static_cast<uint64_t>(perRow));
    // A band of enough draws goes as two halves side by side, the second half's table a jump
    // on from the first's: row i of the first half with row i of the second, the same runs in
    // each, so that the two tables fill together; an odd row left at the end goes alone.
    // (The second table's jump, 5 to 10 us, buys back more than that on a band's 2^17 draws.)
    const int32_t half = (end - first) * perRow >= kBandDraws ? (end - first) / 2 : 0;
    plat::RandomRun second = run;
    if (half > 0) second.Skip(static_cast<uint64_t>(half) * static_cast<uint64_t>(perRow));
    for (int32_t i = 0; i < half; ++i)
      for (int32_t x = x0; x <= x1; x += kRun) {
        const int32_t n = std::min(kRun, x1 - x + 1);
        run.FillTwo(draws, second, more, static_cast<int64_t>(n) * perPixel);
        runFn(first + i, x, n, static_cast<const int32_t*>(draws));
        runFn(first + half + i, x, n, static_cast<const int32_t*>(more));
      }
    if (half > 0) run = second;
    for (int32_t y = first + 2 * half; y < end; ++y)
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

void SetBandedRectangleNoise(bool on) {
  gBandedRectangles = on;
}
void SetWindPlanesSideBySide(bool on) {
  gWindSideBySide = on;
}
void SetWindSixteenAtOnce(bool on) {
  gWindSixteenAtOnce = on;
}

int32_t WindStreakOffset(int32_t x, int32_t y, int32_t k, int32_t length) {
  return WindOffset(WindPixelTerm(x, y), WindStepTerm(k), length);
}

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
    // shared threads, with no work plane. Three 6000 x 4000 planes on the shared 8-core build
    // machine: about 315 ms with a copy of each plane and a chunk of draws at a time on one
    // thread beside the rows' work; about 14 ms so, at a load of 11 (46 ms on one thread).
    CreaLut(table, contrast, darken, 0);
    bool identity = true;
    for (int32_t v = 0; v < 256; ++v) identity = identity && table[v] == v;
    const NoiseBytesFn bytes = NoiseBytes();
    plat::SeedRandom(static_cast<uint32_t>(static_cast<int32_t>(seed)));
    if (x0 > x1 || y0 > y1) return 0;
    return DrawnRuns(x0, y0, x1, y1, 1, nullptr,
                     [&](int32_t y, int32_t x, int32_t n, const int32_t* d) {
                       unsigned char values[effect_support::kRun];
                       bytes(d, values, n);
                       if (!identity)
                         for (int32_t j = 0; j < n; ++j) values[j] = table[values[j]];
                       const int64_t at = static_cast<int64_t>(y) * width + x;
                       effect_support::BlendRun(mode, opacity, plane + at, values,
                                                mask != nullptr ? mask + at : nullptr, n);
                     });
  }
  const NoiseBytesFn bytes = NoiseBytes();
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
                            bytes(d, work + static_cast<int64_t>(y) * width + x, n);
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

int32_t NoiseEachPlane(int16_t mode, int16_t opacity, int16_t kind, unsigned char* const* planes,
                       int32_t count, const unsigned char* mask, int32_t height, int32_t width,
                       int32_t x0, int32_t y0, int32_t x1, int32_t y1, float sizeX, float sizeY,
                       int16_t blurRadius, int16_t contrast, int16_t brightness, int16_t seed) {
  auto oneByOne = [&] {
    int32_t result = 0;
    for (int32_t k = 0; k < count; ++k)
      if (Effects::Noise(mode, opacity, kind, planes[k], mask, height, width, x0, y0, x1, y1,
                         sizeX, sizeY, blurRadius, contrast, brightness, seed) != 0)
        result = -1;
    return result;
  };
  // Each plane's uniform noise starts from the same seed over the same region, so every plane
  // takes the same bytes: drawn once, blended into each plane in turn. Only with the C
  // library's generator: a test's own generator is called as often as the planes one after
  // the other would call it. (A plane named twice is blended twice with the same bytes, as
  // one after the other does.)
  plat::RandomRun probe;
  if (count < 2 || kind != 0 || blurRadius > 0 || width <= 0 || height <= 0 ||
      !plat::TakeRandomRun(&probe))
    return oneByOne();
  for (int32_t k = 0; k < count; ++k)
    if (planes[k] == nullptr) return oneByOne();
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return oneByOne();
  unsigned char table[256];
  Effects::CreaLut(table, contrast, static_cast<int16_t>(-static_cast<int32_t>(brightness)), 0);
  bool identity = true;
  for (int32_t v = 0; v < 256; ++v) identity = identity && table[v] == v;
  const NoiseBytesFn bytes = NoiseBytes();
  // The generator ends where the last plane's walk leaves it: seeded, then on by a draw a
  // sample of the region.
  return DrawnRuns(x0, y0, x1, y1, 1, &seed,
                   [&](int32_t y, int32_t x, int32_t n, const int32_t* d) {
                     unsigned char values[effect_support::kRun];
                     bytes(d, values, n);
                     if (!identity)
                       for (int32_t j = 0; j < n; ++j) values[j] = table[values[j]];
                     const int64_t at = static_cast<int64_t>(y) * width + x;
                     for (int32_t k = 0; k < count; ++k)
                       effect_support::BlendRun(mode, opacity, planes[k] + at, values,
                                                mask != nullptr ? mask + at : nullptr, n);
                   });
}

namespace {

// Room past a streak's steps in the tables of one pixel's sums, which go up to sixteen steps at
// a time.
constexpr int32_t kSumsPast = 16;

// Work memory of one plane's wind: the work plane, the steps of a streak and where the streaks
// of each length reach, and one row's draws. All is taken before the plane changes.
struct WindWork {
  plat::Block<unsigned char> work;
  plat::Block<int32_t> steps;    // x steps, then y steps
  plat::Block<int32_t> reach;    // least and most x, least and most y of the steps before k
  plat::Block<int64_t> offsets;  // the steps as offsets in the plane
  plat::Block<uint16_t> terms;   // the steps' terms of the rounding offset
  plat::Block<int32_t> sums;     // one pixel's streak: v w + its offset, step by step
  plat::Block<int32_t> rest;     // the target's weight L - w, step by step
  plat::Block<int32_t> draws;    // sixteen rows', one after the other
  plat::Block<unsigned char> tile;  // sixteen rows' samples column by column
  plat::Block<int16_t> ends;        // and their streak lengths
  WindWork(int32_t width, int32_t height, int32_t x0, int32_t x1, int32_t length)
      : work(static_cast<int64_t>(width) * height, WorkSource()),
        steps(2 * static_cast<int64_t>(std::max<int32_t>(length, 0)), WorkSource()),
        reach(4 * (static_cast<int64_t>(std::max<int32_t>(length, 0)) + 1), WorkSource()),
        offsets(std::max<int32_t>(length, 1), WorkSource()),
        terms(std::max<int32_t>(length, 1) + kSumsPast, WorkSource()),
        sums(std::max<int32_t>(length, 1) + kSumsPast, WorkSource()),
        rest(std::max<int32_t>(length, 1), WorkSource()),
        draws(16 * std::max<int64_t>(int64_t{x1} - x0 + 1, 1), WorkSource()),
        tile(16 * std::max<int64_t>(int64_t{x1} - x0 + 1, 1), WorkSource()),
        ends(16 * std::max<int64_t>(int64_t{x1} - x0 + 1, 1), WorkSource()) {}
  bool ok() const {
    return work && steps && reach && offsets && terms && sums && rest && draws && tile && ends;
  }
};

// Each draw d of a run turned into its streak's length, L - floor(L d / (2^31 - 1)) r / 10 (r the
// randomness), in place.
using StreakLengthsFn = void (*)(int32_t* draws, int64_t n, int32_t length, int32_t randomness);

void StreakLengthsPlain(int32_t* draws, int64_t n, int32_t length, int32_t randomness) {
  for (int64_t i = 0; i < n; ++i) {
    const int32_t cut = static_cast<int32_t>(std::floor(length * (draws[i] / 2147483647.0)));
    draws[i] = length - cut * randomness / 10;
  }
}

#if VMK_SIMD_X86
// Four lanes of the same double operations (the quotient, the product and floor are exact IEEE
// steps), and cut r / 10 as the truncated double quotient: cut r stays below 2^31, where
// n / 10.0 lies at least a tenth from any whole number it does not equal, so its truncation is
// C's quotient.
VMK_TARGET_AVX2 void StreakLengthsAvx2(int32_t* draws, int64_t n, int32_t length,
                                       int32_t randomness) {
  const __m256d scale = _mm256_set1_pd(2147483647.0), l = _mm256_set1_pd(length);
  const __m256d ten = _mm256_set1_pd(10.0);
  const __m128i r = _mm_set1_epi32(randomness), lengths = _mm_set1_epi32(length);
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(draws + i));
    const __m256d cut = _mm256_floor_pd(_mm256_mul_pd(l, _mm256_div_pd(_mm256_cvtepi32_pd(d), scale)));
    const __m128i cr = _mm_mullo_epi32(_mm256_cvttpd_epi32(cut), r);
    const __m256d q = _mm256_div_pd(_mm256_cvtepi32_pd(cr), ten);
    const __m128i tenths = _mm256_cvttpd_epi32(q);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(draws + i), _mm_sub_epi32(lengths, tenths));
  }
  StreakLengthsPlain(draws + i, n - i, length, randomness);
}

// Steps 4 .. most - 1 of sixteen streaks side by side, one in each 16-bit lane: step k's
// sixteen samples are the 16 bytes at target(k), read, moved toward the lanes' values `v` and
// written back. v w + t (L - w) plus its offset stays within 256 L - 1 < 2^16, and its
// quotient by L is the high word of its product with `magic` shifted by `shift`, exact over
// that range as the one-pixel walk's reciprocal is; the offset is WindOffset's, from the
// lanes' pixel terms `terms` and the step's `stepTerm[k]`: the same samples to the bit. A lane
// whose streak (`ends`) has ended keeps its sample; every lane's goes on up to `least`.
// Measured on the shared 8-core machine (AMD EPYC; 6000 x 4000, three planes, length 30 at 45
// degrees without randomness, Release, each run timed in turns with the same lanes before
// they took the offset, at a load of 35 to 60): with the weight, the ends' mask and their
// broadcasts worked out at every step, 1.07 times that time at the default threads and at one;
// with the weight once for four steps and the mask only once some lane's streak has ended,
// 0.93 to 1.0 times (and 1.0 to 1.08 at the defaults, length 18 and randomness 7, where most
// groups have a lane whose streak ends early).
template <typename Target>
VMK_TARGET_AVX2 inline void WindLaneSteps(Target target, __m256i v, __m256i terms, __m256i ends,
                                          int32_t least, int32_t most, const uint16_t* stepTerm,
                                          int32_t length, uint16_t magic, int32_t shift) {
  const __m256i m = _mm256_set1_epi16(static_cast<int16_t>(magic));
  const __m128i sh = _mm_cvtsi32_si128(shift);
  const __m256i len = _mm256_set1_epi16(static_cast<int16_t>(length));
  __m256i vw = _mm256_setzero_si256();
  for (int32_t g = 4; g < most; g += 4) {
    // Steps g .. g + 3 weigh the pixels' values by g / 4.
    vw = _mm256_add_epi16(vw, v);
    const __m256i rest = _mm256_set1_epi16(static_cast<int16_t>(length - g / 4));
    const int32_t e = std::min(g + 4, most);
    for (int32_t k = g; k < e; ++k) {
      unsigned char* const p = target(k);
      const __m256i t = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
      const __m256i o = _mm256_mulhi_epu16(
          _mm256_add_epi16(terms, _mm256_set1_epi16(static_cast<int16_t>(stepTerm[k]))), len);
      const __m256i n = _mm256_add_epi16(_mm256_add_epi16(vw, o), _mm256_mullo_epi16(t, rest));
      __m256i r = _mm256_srl_epi16(_mm256_mulhi_epu16(n, m), sh);
      if (k >= least)
        r = _mm256_blendv_epi8(t, r, _mm256_cmpgt_epi16(ends, _mm256_set1_epi16(static_cast<int16_t>(k))));
      const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(r, r), 0x08);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
    }
  }
}

// The least and most of sixteen streak lengths in 16-bit lanes (each 0 .. 255).
VMK_TARGET_AVX2 inline void LeastAndMost(__m256i ends, int32_t* least, int32_t* most) {
  const __m128i lo = _mm256_castsi256_si128(ends), hi = _mm256_extracti128_si256(ends, 1);
  *least = _mm_cvtsi128_si32(_mm_minpos_epu16(_mm_min_epu16(lo, hi))) & 0xFFFF;
  const __m128i flipped = _mm_xor_si128(_mm_max_epu16(lo, hi), _mm_set1_epi16(-1));
  *most = 0xFFFF ^ (_mm_cvtsi128_si32(_mm_minpos_epu16(flipped)) & 0xFFFF);
}

// The pixel terms of sixteen lanes: WindPixelTerm's hash of each lane's unmixed sum.
VMK_TARGET_AVX2 inline __m256i WindLaneTerms(__m256i sums) {
  sums = _mm256_xor_si256(sums, _mm256_srli_epi16(sums, 7));
  return _mm256_mullo_epi16(sums, _mm256_set1_epi16(static_cast<int16_t>(kWindMix)));
}

// Sixteen neighbouring pixels' streaks side by side, step by step: step k of the sixteen is one
// run of 16 samples (their places differ by a column each) at `offset[k]` from the first
// pixel's, worked out by WindLaneSteps; the pixels' terms from the first one's unmixed sum
// `place`, a column's step a lane. The pixels' own values go to `values`.
VMK_TARGET_AVX2 void WindStreaks16Avx2(unsigned char* at, const int64_t* offset,
                                       const uint16_t* stepTerm, uint32_t place,
                                       const int32_t* streaks, int32_t length, uint16_t magic,
                                       int32_t shift, unsigned char* values) {
  const __m128i own = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(values), own);
  const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(streaks));
  const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(streaks + 8));
  // A streak of no steps (the randomness can make one shorter than none) ends at 0.
  const __m256i ends = _mm256_max_epi16(
      _mm256_permute4x64_epi64(_mm256_packs_epi32(s0, s1), 0xD8), _mm256_setzero_si256());
  int32_t least = 0, most = 0;
  LeastAndMost(ends, &least, &most);
  const __m256i terms = WindLaneTerms(_mm256_add_epi16(
      _mm256_set1_epi16(static_cast<int16_t>(place)),
      _mm256_mullo_epi16(_mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                         _mm256_set1_epi16(static_cast<int16_t>(kWindAlongX)))));
  WindLaneSteps([&](int32_t k) { return at + offset[k]; }, _mm256_cvtepu8_epi16(own), terms, ends,
                least, most, stepTerm, length, magic, shift);
}

// One pixel's sums of WindPlaneWalk::PixelSums, sixteen steps at a time (lengths up to 255).
VMK_TARGET_AVX2 void WindPixelSums16Avx2(int32_t* sums, const uint16_t* stepTerm, int32_t v,
                                         uint32_t term, int32_t length, int32_t streak) {
  const __m256i pixel = _mm256_set1_epi16(static_cast<int16_t>(term));
  const __m256i len = _mm256_set1_epi16(static_cast<int16_t>(length));
  const __m256i value = _mm256_set1_epi16(static_cast<int16_t>(v));
  const __m256i along = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  for (int32_t k = 4; k < streak; k += 16) {
    const __m256i o = _mm256_mulhi_epu16(
        _mm256_add_epi16(pixel, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stepTerm + k))), len);
    const __m256i w = _mm256_srli_epi16(_mm256_add_epi16(_mm256_set1_epi16(static_cast<int16_t>(k)), along), 2);
    const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(value, w), o);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + k), _mm256_cvtepu16_epi32(_mm256_castsi256_si128(sum)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + k + 8),
                        _mm256_cvtepu16_epi32(_mm256_extracti128_si256(sum, 1)));
  }
}

// Sixteen rows of 16 bytes (from + r * fromStep) written as sixteen columns (to + c * toStep
// holds byte c of each row): a row strip into its tile, or back.
VMK_TARGET_AVX2 inline void Transpose16(const unsigned char* from, int64_t fromStep,
                                        unsigned char* to, int64_t toStep) {
  __m128i a[16], b[16];
  for (int32_t r = 0; r < 16; ++r)
    a[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + r * fromStep));
  for (int32_t r = 0; r < 16; r += 2) {
    b[r] = _mm_unpacklo_epi8(a[r], a[r + 1]);
    b[r + 1] = _mm_unpackhi_epi8(a[r], a[r + 1]);
  }
  // b[2q], b[2q + 1]: rows 2q, 2q + 1 of columns 0..7 and 8..15.
  for (int32_t q = 0; q < 16; q += 4) {
    a[q] = _mm_unpacklo_epi16(b[q], b[q + 2]);
    a[q + 1] = _mm_unpackhi_epi16(b[q], b[q + 2]);
    a[q + 2] = _mm_unpacklo_epi16(b[q + 1], b[q + 3]);
    a[q + 3] = _mm_unpackhi_epi16(b[q + 1], b[q + 3]);
  }
  // a[q + j]: rows q .. q + 3 of columns 4j .. 4j + 3.
  for (int32_t h = 0; h < 16; h += 8)
    for (int32_t j = 0; j < 4; ++j) {
      b[h + 2 * j] = _mm_unpacklo_epi32(a[h + j], a[h + 4 + j]);
      b[h + 2 * j + 1] = _mm_unpackhi_epi32(a[h + j], a[h + 4 + j]);
    }
  // b[h + i]: rows h .. h + 7 of columns 2i, 2i + 1.
  for (int32_t i = 0; i < 8; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (2 * i) * toStep),
                     _mm_unpacklo_epi64(b[i], b[8 + i]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + (2 * i + 1) * toStep),
                     _mm_unpackhi_epi64(b[i], b[8 + i]));
  }
}

// Sixteen rows' winds side by side, where no streak leaves its row: the rows are independent,
// so each lane is a row, and each pixel of the sixteen rows is one step of the one-pixel walk
// for all of them at once. `tile` holds the rows' samples of the region's `columns` columns,
// column by column (16 bytes a column, byte r of row r), and `streaks` their streak lengths
// the same way (0 .. length); the pixels go from the first column on, or from the last where
// `leftward`, each step's column clamped to the region as the one-pixel walk clamps it. The
// rounding offset is WindOffset's, the rows' terms `rowTerm` (y times the row's odd number)
// plus the column's, and the quotient by the length the high word of the product with `magic`
// shifted by `shift`, as in WindStreaks16Avx2. Every step from the fourth on lands ahead of
// its pixel, so no pixel is written after its own walk but the last one, whose steps are all
// clamped onto itself and move it toward its own value, which leaves it as it is: the tile
// ends holding every pixel's value as its walk read it.
// Measured as the lanes above (length 30, no randomness, one thread): along x the one-pixel
// walk took 3.35 s for the three planes, this 0.40 s; at 180 degrees 0.51 s, where the walk
// from x0 whatever the angle (its streaks landing on pixels already blended, sixteen columns
// at once) took 1.44 s.
VMK_TARGET_AVX2 void WindAlongRows16Avx2(unsigned char* tile, const int16_t* streaks,
                                         int32_t columns, bool leftward, uint32_t firstPlace,
                                         const int32_t* stepX, const uint16_t* stepTerm,
                                         const uint16_t* rowTerm, int32_t length, uint16_t magic,
                                         int32_t shift) {
  const __m256i rows = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rowTerm));
  const int32_t last = columns - 1;
  for (int32_t n = 0; n < columns; ++n) {
    const int32_t i = leftward ? last - n : n;
    const __m256i v = _mm256_cvtepu8_epi16(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(tile + static_cast<int64_t>(i) * 16)));
    const __m256i ends =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(streaks + static_cast<int64_t>(i) * 16));
    int32_t least = 0, most = 0;
    LeastAndMost(ends, &least, &most);
    const __m256i terms = WindLaneTerms(_mm256_add_epi16(
        rows, _mm256_set1_epi16(static_cast<int16_t>(firstPlace + static_cast<uint32_t>(i) * kWindAlongX))));
    WindLaneSteps(
        [&](int32_t k) { return tile + static_cast<int64_t>(std::clamp(i + stepX[k], 0, last)) * 16; },
        v, terms, ends, least, most, stepTerm, length, magic, shift);
  }
}

// Sixteen rows of the work plane (the first at `rows`, each `rowStep` from the one before, the
// region's `columns` columns) walked by WindAlongRows16Avx2 through `tile`, and each pixel's
// value as its walk read it written back in its place.
VMK_TARGET_AVX2 void WindSixteenRowsAvx2(unsigned char* rows, int64_t rowStep, int32_t columns,
                                         unsigned char* tile, const int16_t* streaks,
                                         bool leftward, uint32_t firstPlace, const int32_t* stepX,
                                         const uint16_t* stepTerm, const uint16_t* rowTerm,
                                         int32_t length, uint16_t magic, int32_t shift) {
  int32_t i = 0;
  for (; i + 16 <= columns; i += 16)
    Transpose16(rows + i, rowStep, tile + static_cast<int64_t>(i) * 16, 16);
  for (; i < columns; ++i)
    for (int32_t r = 0; r < 16; ++r) tile[static_cast<int64_t>(i) * 16 + r] = rows[r * rowStep + i];
  WindAlongRows16Avx2(tile, streaks, columns, leftward, firstPlace, stepX, stepTerm, rowTerm,
                      length, magic, shift);
  for (i = 0; i + 16 <= columns; i += 16)
    Transpose16(tile + static_cast<int64_t>(i) * 16, 16, rows + i, rowStep);
  for (; i < columns; ++i)
    for (int32_t r = 0; r < 16; ++r) rows[r * rowStep + i] = tile[static_cast<int64_t>(i) * 16 + r];
}
#endif

// The streaks of one plane over the clamped region, its row draws from drawRow(out, count).
// Measured on one 6000 x 4000 plane at the render's defaults (length 18, angle 45, randomness 7)
// on the shared 8-core machine: 1.28 s drawing and clamping pixel by pixel, 0.75 s with the
// row's draws at once and the streaks inside the region by offsets, 0.55 s with the streak
// lengths worked out ahead of the row's walk. What was left (a profile of the three planes
// side by side, load ~17): about two thirds the streaks' own steps, a read, a product and a
// quotient and a write a step, each sample's chain through what the streaks before wrote; a
// sixth the streak lengths, a division and a floor in doubles a pixel; a sixth the blend. Now
// sixteen neighbouring pixels' streaks go a step at a time in 16-bit lanes, the lengths four
// at a time, and the blend a run of sixteen at once (the render at its defaults, default
// threads, load ~30: 1.31 -> 0.42 s). Rows side by side on more threads, each some columns
// behind the one before, were tried and dropped: no faster under the load the machine sees,
// and three times the processor time in waiting on the row before.
template <typename DrawRow>
class WindPlaneWalk {
 public:
  WindPlaneWalk(WindWork& ww, int16_t mode, int16_t opacity, unsigned char* plane, int32_t width,
                int32_t x0, int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                int16_t length, int16_t angle, int16_t randomness, DrawRow drawRow)
      : ww_(ww), mode_(mode), opacity_(opacity), plane_(plane), width_(width), x0_(x0), y0_(y0),
        x1_(x1), y1_(y1), mask_(mask), L_(length), randomness_(randomness),
        byLength_(length), drawRow_(drawRow) {
    work_ = ww.work.get();
    CopyRegion(plane, work_, width, x0, y0, x1, y1);
    const double theta = angle * 3.141592654 / 180.0;
    c_ = static_cast<float>(std::cos(theta));
    s_ = static_cast<float>(std::sin(theta));
    downward_ = angle < 180;
    // Whether a streak can step left: the longest one a draw can give (past L only with a
    // negative randomness) reaches a column to the left. Not the sign of cos: that of 90
    // degrees is a tiny negative number whose steps stay in their column.
    {
      const int64_t longest = std::max<int64_t>(L_, L_ - int64_t{L_} * randomness_ / 10);
      leftward_ = longest > 1 &&
                  static_cast<int32_t>(c_ * static_cast<float>(longest - 1)) < 0;
    }
    // Each streak runs from x, y on steps that depend on k alone: worked out once. (Every
    // pixel's streak reads what the streaks before it wrote, so the walk itself stays one.)
    steps_ = std::max<int32_t>(L_, 0);
    stepX_ = ww.steps.get();
    stepY_ = ww.steps.get() + steps_;
    for (int32_t k = 0; k < steps_; ++k) {
      stepX_[k] = static_cast<int32_t>(c_ * static_cast<float>(k));
      stepY_[k] = static_cast<int32_t>(s_ * static_cast<float>(k));
    }
    // Where the streaks of each length reach: the least and most of the steps before it. A
    // streak that stays inside the region needs no clamping, and goes by offsets in the plane.
    loX_ = ww.reach.get();
    hiX_ = loX_ + steps_ + 1;
    loY_ = hiX_ + steps_ + 1;
    hiY_ = loY_ + steps_ + 1;
    offset_ = ww.offsets.get();
    loX_[0] = hiX_[0] = loY_[0] = hiY_[0] = 0;
    stepTerm_ = ww.terms.get();
    for (int32_t k = 0; k < steps_ + kSumsPast; ++k)
      stepTerm_[k] = static_cast<uint16_t>(WindStepTerm(k));
    sums_ = ww.sums.get();
    rest_ = ww.rest.get();
    for (int32_t k = 0; k < steps_; ++k) {
      loX_[k + 1] = std::min(loX_[k], stepX_[k]);
      hiX_[k + 1] = std::max(hiX_[k], stepX_[k]);
      loY_[k + 1] = std::min(loY_[k], stepY_[k]);
      hiY_[k + 1] = std::max(hiY_[k], stepY_[k]);
      offset_[k] = int64_t{stepY_[k]} * width + stepX_[k];
      rest_[k] = L_ - k / 4;
    }
    rows_ = y1 >= y0 && x1 >= x0 ? y1 - y0 + 1 : 0;
    lanes_ = SixteenSideBySide();
    rowLanes_ = SixteenRowsSideBySide();
#if VMK_SIMD_X86
    sixteenSums_ = L_ <= 255 && plat::SimdAtLeast(plat::SimdLevel::kAvx2);
    if (gWindSixteenAtOnce)
      streakLengths_ = plat::PickKernel<StreakLengthsFn>(StreakLengthsPlain, StreakLengthsAvx2);
#endif
  }

  int32_t rows() const { return rows_; }

  // Walks the rows in order; rowDone() after each.
  template <typename RowDone>
  void Walk(RowDone rowDone) {
    int32_t* const draws = ww_.draws.get();
    const int32_t columns = x1_ - x0_ + 1;
    int32_t n = 0;
#if VMK_SIMD_X86
    if (rowLanes_)
      for (; n + 16 <= rows_; n += 16) {
        WalkSixteenRows(n, columns);
        for (int32_t r = 0; r < 16; ++r) rowDone();
      }
#endif
    for (; n < rows_; ++n) {
      const int32_t y = downward_ ? y0_ + n : y1_ - n;
      // The row's draws at once, in the order its pixels take them: one lock, not one a pixel.
      drawRow_(draws, int64_t{columns});
      // The row's streak lengths, each from its own draw: worked out ahead of the walk, the
      // divisions of one pixel need not wait for the streaks of the last.
      streakLengths_(draws, columns, L_, randomness_);
      if (leftward_) {
        // The row is walked from x1: its first draw is x1's. The lengths go by column.
        std::reverse(draws, draws + columns);
        WalkColumnsLeftward(y, x0_, x1_, draws);
      } else {
        WalkColumns(y, x0_, x1_, draws);
      }
      rowDone();
    }
  }

 private:
  // Whether sixteen neighbouring pixels' streaks may go side by side, a step at a time: every
  // pixel's value is read before any of the sixteen streaks moves (no step of a streak lands
  // on the row itself, ahead in the walk's direction, within the sixteen), and wherever two
  // steps land on one sample the one the one-pixel walk takes first comes first (steps of one
  // row fall at least sixteen columns apart, or the later step lies behind in the walk's
  // direction). A row walked leftward is the mirror image of one walked rightward: the same
  // conditions on the steps' columns negated. Then the magic number of the quotient by the
  // length in 16-bit lanes (lengths up to 181).
  bool SixteenSideBySide() {
#if VMK_SIMD_X86
    if (!gWindSixteenAtOnce || !plat::SimdAtLeast(plat::SimdLevel::kAvx2) || steps_ < 5 ||
        L_ > 255)
      return false;
    const int32_t ahead = leftward_ ? -1 : 1;
    for (int32_t k = 4; k < steps_; ++k) {
      const int32_t along = ahead * stepX_[k];
      if (stepY_[k] == 0 && along > 0 && along < 16) return false;
      for (int32_t e = 4; e < k; ++e)
        if (stepY_[e] == stepY_[k] && along > ahead * stepX_[e] && along - ahead * stepX_[e] < 16)
          return false;
    }
    return LaneQuotient();
#else
    return false;
#endif
  }

  // Whether sixteen rows may go side by side, a row a lane (WindAlongRows16Avx2): no step of
  // a streak leaves its row, so that the rows are independent, every step from the fourth on
  // lands ahead of its pixel in the walk's direction, no streak is longer than the length
  // (only a negative randomness lengthens them) and the quotient has its 16-bit multiplier.
  // Along its row the one-pixel walk waits on each pixel's value, which the streaks of the
  // four pixels before have just written; sixteen rows at once wait as long for sixteen
  // pixels.
  bool SixteenRowsSideBySide() {
#if VMK_SIMD_X86
    if (!gWindSixteenAtOnce || !plat::SimdAtLeast(plat::SimdLevel::kAvx2) || steps_ < 5 ||
        L_ > 255 || randomness_ < 0)
      return false;
    const int32_t ahead = leftward_ ? -1 : 1;
    for (int32_t k = 0; k < steps_; ++k)
      if (stepY_[k] != 0 || (k >= 4 && ahead * stepX_[k] < 1)) return false;
    return LaneQuotient();
#else
    return false;
#endif
  }

  // The magic number of the quotient by the length in 16-bit lanes (lengths up to 181).
  bool LaneQuotient() {
    // floor(n m / 2^s) is n / L for every n up to 256 L - 1 (a sum and its offset) once
    // (256 L - 1) (L - 1) < 2^s; a multiplier of 16 bits holds that up to L = 181.
    int32_t s = 16;
    while ((int64_t{256} * L_ - 1) * (L_ - 1) >= (int64_t{1} << s)) ++s;
    const int64_t m = ((int64_t{1} << s) + L_ - 1) / L_;
    if (m >= 65536) return false;
    magic_ = static_cast<uint16_t>(m);
    shift_ = s - 16;
    return true;
  }

#if VMK_SIMD_X86
  // Visits first .. first + 15 of the walk's rows, each with its draws in turn, side by side.
  void WalkSixteenRows(int32_t first, int32_t columns) {
    int32_t* const draws = ww_.draws.get();
    int16_t* const ends = ww_.ends.get();
    uint16_t rowTerm[16];
    for (int32_t r = 0; r < 16; ++r) {
      const int32_t y = downward_ ? y0_ + first + r : y1_ - first - r;
      rowTerm[r] = static_cast<uint16_t>(static_cast<uint32_t>(y) * kWindAlongY);
      int32_t* const d = draws + static_cast<int64_t>(r) * columns;
      drawRow_(d, int64_t{columns});
      streakLengths_(d, columns, L_, randomness_);
      if (leftward_) std::reverse(d, d + columns);
      for (int32_t i = 0; i < columns; ++i)
        ends[static_cast<int64_t>(i) * 16 + r] = static_cast<int16_t>(std::clamp(d[i], 0, L_));
    }
    const int32_t y = downward_ ? y0_ + first : y1_ - first;
    const int64_t rowStep = downward_ ? width_ : -int64_t{width_};
    const int64_t at = static_cast<int64_t>(y) * width_ + x0_;
    WindSixteenRowsAvx2(work_ + at, rowStep, columns, ww_.tile.get(), ends, leftward_,
                        static_cast<uint32_t>(x0_) * kWindAlongX, stepX_, stepTerm_, rowTerm, L_,
                        magic_, shift_);
    for (int32_t r = 0; r < 16; ++r) {
      const int64_t i = at + r * rowStep;
      effect_support::BlendRun(mode_, opacity_, plane_ + i, work_ + i,
                               mask_ != nullptr ? mask_ + i : nullptr, columns);
    }
  }
#endif

  // sums_[k] = v (k / 4) plus step k's offset for the pixel of term `term`, k = 4 .. streak - 1:
  // a pass over the steps that carries no sample from one to the next, eight a time on any
  // x86-64 and sixteen with AVX2 (past the streak, into the tables' room).
  void PixelSums(int32_t v, uint32_t term, int32_t streak) {
    int32_t k = 4;
#if VMK_SIMD_X86
    if (sixteenSums_) {
      WindPixelSums16Avx2(sums_, stepTerm_, v, term, L_, streak);
      return;
    }
    const __m128i pixel = _mm_set1_epi16(static_cast<int16_t>(term));
    const __m128i len = _mm_set1_epi16(static_cast<int16_t>(L_));
    const __m128i value = _mm_set1_epi16(static_cast<int16_t>(v));
    if (L_ <= 255) {
      // v w + offset <= 255 L / 4 + L - 1 < 2^16: the lanes' sums are the sums.
      for (; k < streak; k += 8) {
        const __m128i o = _mm_mulhi_epu16(
            _mm_add_epi16(pixel, _mm_loadu_si128(reinterpret_cast<const __m128i*>(stepTerm_ + k))), len);
        const __m128i w = _mm_srli_epi16(_mm_add_epi16(_mm_set1_epi16(static_cast<int16_t>(k)),
                                                       _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7)),
                                         2);
        const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(value, w), o);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums_ + k), _mm_unpacklo_epi16(sum, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums_ + k + 4), _mm_unpackhi_epi16(sum, _mm_setzero_si128()));
      }
    }
#endif
    for (; k < streak; ++k) sums_[k] = v * (k / 4) + WindOffset(term, stepTerm_[k], L_);
  }

  void WalkColumns(int32_t y, int32_t xa, int32_t xb, const int32_t* streaks) {
    int32_t x = xa;
#if VMK_SIMD_X86
    // Sixteen pixels at a time where every streak of the row stays inside the region.
    if (lanes_ && y + loY_[steps_] >= y0_ && y + hiY_[steps_] <= y1_) {
      for (; x + 15 <= xb && x + 15 + hiX_[steps_] <= x1_; x += 16) {
        if (x + loX_[steps_] < x0_) {
          for (int32_t j = 0; j < 16; ++j) WalkPixel(y, x + j, streaks[x + j - xa]);
          continue;
        }
        bool within = true;
        for (int32_t j = 0; j < 16; ++j) within = within && streaks[x + j - xa] <= steps_;
        const int64_t i = static_cast<int64_t>(y) * width_ + x;
        if (!within) {
          for (int32_t j = 0; j < 16; ++j) WalkPixel(y, x + j, streaks[x + j - xa]);
          continue;
        }
        unsigned char values[16];
        WindStreaks16Avx2(work_ + i, offset_, stepTerm_,
                          static_cast<uint32_t>(x) * kWindAlongX + static_cast<uint32_t>(y) * kWindAlongY,
                          streaks + (x - xa), L_, magic_, shift_, values);
        effect_support::BlendRun(mode_, opacity_, plane_ + i, values,
                                 mask_ != nullptr ? mask_ + i : nullptr, 16);
      }
    }
#endif
    for (; x <= xb; ++x) WalkPixel(y, x, streaks[x - xa]);
  }

  // WalkColumns' mirror image: the pixels from xb back to xa, sixteen at a time as the group
  // x - 15 .. x where every streak of the row stays inside the region (the sixteen lanes do
  // not depend on the order of the pixels within the group, which SixteenSideBySide checked
  // for this direction). streaks[x - xa] is pixel x's.
  void WalkColumnsLeftward(int32_t y, int32_t xa, int32_t xb, const int32_t* streaks) {
    int32_t x = xb;
#if VMK_SIMD_X86
    if (lanes_ && y + loY_[steps_] >= y0_ && y + hiY_[steps_] <= y1_) {
      for (; x - 15 >= xa && x - 15 + loX_[steps_] >= x0_; x -= 16) {
        const int32_t left = x - 15;
        if (x + hiX_[steps_] > x1_) {
          for (int32_t j = 15; j >= 0; --j) WalkPixel(y, left + j, streaks[left + j - xa]);
          continue;
        }
        bool within = true;
        for (int32_t j = 0; j < 16; ++j) within = within && streaks[left + j - xa] <= steps_;
        const int64_t i = static_cast<int64_t>(y) * width_ + left;
        if (!within) {
          for (int32_t j = 15; j >= 0; --j) WalkPixel(y, left + j, streaks[left + j - xa]);
          continue;
        }
        unsigned char values[16];
        WindStreaks16Avx2(work_ + i, offset_, stepTerm_,
                          static_cast<uint32_t>(left) * kWindAlongX + static_cast<uint32_t>(y) * kWindAlongY,
                          streaks + (left - xa), L_, magic_, shift_, values);
        effect_support::BlendRun(mode_, opacity_, plane_ + i, values,
                                 mask_ != nullptr ? mask_ + i : nullptr, 16);
      }
    }
#endif
    for (; x >= xa; --x) WalkPixel(y, x, streaks[x - xa]);
  }

  void WalkPixel(int32_t y, int32_t x, int32_t streak) {
    unsigned char* const work = work_;
    const int64_t i = static_cast<int64_t>(y) * width_ + x;
    const int32_t v = work[i];
    if (streak > 0 && streak <= steps_ && x + loX_[streak] >= x0_ && x + hiX_[streak] <= x1_ &&
        y + loY_[streak] >= y0_ && y + hiY_[streak] <= y1_) {
      // Steps 0 to 3 weigh the pixel's value by 0: (target * L + offset) / L leaves the
      // target. Every other sum lies in 0 .. 255 L, so the quotient needs no clamping. The
      // pixel's part of each step's sum, v w and the offset, goes ahead of the steps (a
      // pass in lanes), which then read, multiply by L - w, add and divide. The walk's tables
      // are held in locals: the byte written at each step could be any of the walk's fields
      // as far as the compiler knows, which made it load each of them again at every step.
      // Against the truncating walk on a 6000 x 4000 picture, timed in turns on the shared
      // machine: with the offsets worked out step by step this walk took two fifths longer at
      // length 30 along x and a quarter longer at the defaults; this way, as long.
      unsigned char* const at = work + i;
      PixelSums(v, WindPixelTerm(x, y), streak);
      const int64_t* const offsets = offset_;
      const int32_t* const sums = sums_;
      const int32_t* const rest = rest_;
      const effect_support::ByteSumQuotient byLength = byLength_;
      for (int32_t k = 4; k < streak; ++k) {
        unsigned char& target = at[offsets[k]];
        target = static_cast<unsigned char>(byLength(sums[k] + target * rest[k]));
      }
    } else {
      for (int32_t k = 0; k < streak; ++k) {
        // A negative randomness can reach past the length: those steps are worked out here.
        int32_t tx = x + (k < steps_ ? stepX_[k] : static_cast<int32_t>(c_ * static_cast<float>(k)));
        int32_t ty = y + (k < steps_ ? stepY_[k] : static_cast<int32_t>(s_ * static_cast<float>(k)));
        tx = ClampInt(tx, x0_, x1_);
        ty = ClampInt(ty, y0_, y1_);
        unsigned char& target = work[static_cast<int64_t>(ty) * width_ + tx];
        const int32_t w = k / 4;
        // Within the length the sum lies in 0 .. 255 L, where the reciprocal's quotient of it
        // and its offset is exact; past it the sum may be negative: divided as written.
        const int32_t sum = v * w + target * (L_ - w);
        const int32_t quotient =
            w <= L_ ? byLength_(sum + WindOffset(WindPixelTerm(x, y), WindStepTerm(k), L_))
                    : sum / L_;
        target = static_cast<unsigned char>(Clamp255(quotient));
      }
    }
    plane_[i] = Blend(mode_, plane_[i], v, Weight(mask_, i, opacity_));
  }

  WindWork& ww_;
  int16_t mode_, opacity_;
  unsigned char* plane_;
  int32_t width_, x0_, y0_, x1_, y1_;
  const unsigned char* mask_;
  int32_t L_, randomness_;
  effect_support::ByteSumQuotient byLength_;
  DrawRow drawRow_;
  unsigned char* work_ = nullptr;
  float c_ = 0, s_ = 0;
  bool downward_ = true;
  bool leftward_ = false;
  int32_t steps_ = 0;
  int32_t *stepX_ = nullptr, *stepY_ = nullptr;
  int32_t *loX_ = nullptr, *hiX_ = nullptr, *loY_ = nullptr, *hiY_ = nullptr;
  int64_t* offset_ = nullptr;
  uint16_t* stepTerm_ = nullptr;
  int32_t* sums_ = nullptr;
  int32_t* rest_ = nullptr;
  bool sixteenSums_ = false;
  int32_t rows_ = 0;
  StreakLengthsFn streakLengths_ = StreakLengthsPlain;
  bool lanes_ = false;
  bool rowLanes_ = false;
  uint16_t magic_ = 0;
  int32_t shift_ = 0;
};

// Walks `count` planes' winds side by side, each on a thread of its own, and reports the rows
// done of all of them together.
template <typename Walk>
void RunWindWalks(Walk* const* walks, int32_t count) {
  int64_t rows = 0;
  for (int32_t k = 0; k < count; ++k) rows += walks[k]->rows();
  std::atomic<int64_t> walked{0};
  plat::ParallelFor(0, count, 1, [&](int32_t k, int32_t) {
    walks[k]->Walk([&] {
      plat::ReportProgress(walked.fetch_add(1, std::memory_order_relaxed) + 1, rows);
    });
  });
}

}  // namespace

int32_t Effects::Wind(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      const unsigned char* mask, int16_t length, int16_t angle,
                      int16_t randomness) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  plat::SeedRandom(plat::TimeSeed());
  ClampRegion(width, height, x0, y0, x1, y1);
  WindWork ww(width, height, x0, x1, length);
  if (!ww.ok()) return -1;
  auto draw = [](int32_t* out, int64_t count) { plat::RandomDraws(out, count); };
  WindPlaneWalk<decltype(draw)> walk(ww, mode, opacity, plane, width, x0, y0, x1, y1, mask,
                                     length, angle, randomness, draw);
  WindPlaneWalk<decltype(draw)>* walks[1] = {&walk};
  RunWindWalks(walks, 1);
  return 0;
}

int32_t WindEachPlane(int16_t mode, int16_t opacity, unsigned char* const* planes, int32_t count,
                      int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      const unsigned char* mask, int16_t length, int16_t angle,
                      int16_t randomness) {
  constexpr int32_t kMost = 4;
  auto oneByOne = [&] {
    int32_t result = 0;
    for (int32_t k = 0; k < count; ++k)
      if (Effects::Wind(mode, opacity, planes[k], height, width, x0, y0, x1, y1, mask, length,
                        angle, randomness) != 0)
        result = -1;
    return result;
  };
  // Side by side only with copies of the library's generator (a test's own generator is
  // drawn from in turn) and with every plane's work memory in hand.
  plat::RandomRun probe;
  if (count < 2 || count > kMost || width <= 0 || height <= 0 || !gWindSideBySide ||
      !plat::TakeRandomRun(&probe))
    return oneByOne();
  for (int32_t k = 0; k < count; ++k)
    if (planes[k] == nullptr) return oneByOne();
  ClampRegion(width, height, x0, y0, x1, y1);
  std::optional<WindWork> works[kMost];
  for (int32_t k = 0; k < count; ++k) {
    works[k].emplace(width, height, x0, x1, length);
    if (!works[k]->ok()) return oneByOne();
  }
  // The seeds in the order the planes one after the other would take them.
  uint32_t seeds[kMost] = {};
  plat::RandomRun runs[kMost];
  for (int32_t k = 0; k < count; ++k) {
    seeds[k] = plat::TimeSeed();
    runs[k] = plat::RandomRun(seeds[k]);
  }
  // Each plane's walk draws from its own copy of the generator.
  struct Draw {
    plat::RandomRun* run;
    void operator()(int32_t* out, int64_t n) const { run->Fill(out, n); }
  };
  std::optional<WindPlaneWalk<Draw>> walks[kMost];
  WindPlaneWalk<Draw>* walkOf[kMost] = {};
  for (int32_t k = 0; k < count; ++k) {
    walks[k].emplace(*works[k], mode, opacity, planes[k], width, x0, y0, x1, y1, mask, length,
                     angle, randomness, Draw{&runs[k]});
    walkOf[k] = &*walks[k];
  }
  RunWindWalks(walkOf, count);
  // The shared generator ends where the last plane's walk would have left it: seeded with its
  // seed and on by a draw a pixel of the region.
  plat::SeedRandom(seeds[count - 1]);
  if (x0 <= x1 && y0 <= y1) plat::SkipRandom((int64_t{x1} - x0 + 1) * (int64_t{y1} - y0 + 1));
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
  // call of the generator at a time with whole-plane copies; 310 ms with the draws a chunk
  // of rows at a time on one thread beside the rows' work; about 25 ms so, at a load of 11
  // (96 ms on one thread, two fifths of it the lanes' work, a seventh the draws).
  // The strength depends on the lightness alone: one entry for each of its 256 values.
  GrainTerms terms;
  int64_t strongest = 0;
  for (int32_t L = 0; L < 256; ++L) {
    const int32_t off = L < 128 ? 128 - L : L - 128;
    const int32_t mid = 128 - off;
    // 64-bit sums: a strong grain with a full colour share goes far past the 32-bit range
    // before the clamp, and must saturate, not wrap.
    const int64_t S = static_cast<int64_t>(amount) *
                      (L * highlights / 255 + midtones * mid / 128 + shadows * (255 - L) / 255) / 30;
    terms.strength[L] = S;
    terms.strength32[L] = static_cast<int32_t>(S);  // |S| is below 2^27 for any short arguments
    terms.strength16[L] = static_cast<int16_t>(S);  // read only when narrow: |S| <= 1024
    strongest = std::max(strongest, S < 0 ? -S : S);
  }
  terms.colourShare = colourShare;
  // Each grain lies within 128 |S| / 100; the lanes hold the sums when the largest of them,
  // with a sample added, stays below 2^31.
  const int64_t grain = strongest * 128 / 100 + 1;
  const int64_t share = colourShare < 0 ? -int64_t{colourShare} : colourShare;
  const int64_t rest = 100 - int64_t{colourShare} < 0 ? int64_t{colourShare} - 100 : 100 - int64_t{colourShare};
  terms.narrow = strongest <= kNarrowStrength && grain * (share + rest) + 255 < (int64_t{1} << 31);
#if VMK_SIMD_X86
  // A colour share of 0 gives each channel the common grain (its hundredfold by 100), one of
  // 100 each channel its own: the lanes skip the products and quotients that come to that.
  const GrainRunFn grainRun =
      !terms.narrow ? GrainRunPlain
      : colourShare == 0
          ? plat::PickKernel<GrainRunFn>(GrainRunPlain, GrainRunAvx2<0>, GrainRunAvx512<0>)
      : colourShare == 100
          ? plat::PickKernel<GrainRunFn>(GrainRunPlain, GrainRunAvx2<100>, GrainRunAvx512<100>)
          : plat::PickKernel<GrainRunFn>(GrainRunPlain, GrainRunAvx2<-1>, GrainRunAvx512<-1>);
#else
  const GrainRunFn grainRun = GrainRunPlain;
#endif
  unsigned char* const plane[3] = {red, green, blue};
  // Replacement at full weight without a mask stores the values as they are: each pixel's
  // grain goes straight into its samples, which it reads before it writes them (three
  // distinct planes: a plane given twice takes the values worked out from the run's old samples).
  const bool direct = mode == 0 && opacity == 255 && mask == nullptr && red != green &&
                      red != blue && green != blue;
  return DrawnRuns(x0, y0, x1, y1, 3, &seed,
                   [&](int32_t y, int32_t x, int32_t n, const int32_t* draws) {
    const int64_t at = static_cast<int64_t>(y) * width + x;
    const unsigned char* const p[3] = {red + at, green + at, blue + at};
    if (direct) {
      unsigned char* const out[3] = {red + at, green + at, blue + at};
      grainRun(terms, p, draws, n, out);
      return;
    }
    unsigned char values[3][effect_support::kRun];
    unsigned char* const out[3] = {values[0], values[1], values[2]};
    grainRun(terms, p, draws, n, out);
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
