// Colour selection painting, the channel mixer with its black-and-white
// conversion, and the darkest and brightest pixel of a window.
//
// Channel weights are percentages: a mixed channel is the weighted sum of
// the input channels divided by 100, plus its offset, clamped to 0..255.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/simd.h"
#include "platform/types/plane_view.h"
#include "raster/colour_select.h"
#include "raster/lane_quotients.h"
#include "raster/tone_lut.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

using IRect = plat::InclusiveRect;

// The mixed colour and the strength-weighted result of one pixel.
void MixPixel(int16_t flags, int32_t strength, const int32_t* wr, const int32_t* wg,
              const int32_t* wb, const int32_t* off, const int32_t in[3], int32_t out[3]) {
  int32_t mixed[3];
  Effects::Calc_exchRGB(flags, wr, wg, wb, off, in[0], in[1], in[2], &mixed[0], &mixed[1],
                        &mixed[2]);
  for (int32_t i = 0; i < 3; ++i) out[i] = (strength * mixed[i] + in[i] * (100 - strength)) / 100;
}

// Walks the window about (x, y), keeping the first pixel whose byte sum
// beats the best; stops once the best reaches `enough`.
template <typename Better>
void WindowSearch(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                  int32_t height, int32_t rx, int32_t ry, unsigned char* result, int16_t bytes,
                  int32_t enough, Better better) {
  if (buffer == nullptr || result == nullptr || bytes <= 0) return;
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  auto sum = [&](int64_t p) {
    int32_t s = 0;
    for (int32_t b = 0; b < bytes; ++b) s += buffer[p * bytes + b];
    return s;
  };
  int64_t bestPixel = int64_t{y} * width + x;
  int32_t best = sum(bestPixel);
  for (int32_t yy = y - ry; yy < y + ry && best != enough; ++yy) {
    if (yy < 0 || yy >= height) continue;
    for (int32_t xx = x - rx; xx < x + rx && best != enough; ++xx) {
      if (xx < 0 || xx >= width) continue;
      const int64_t p = int64_t{yy} * width + xx;
      const int32_t s = sum(p);
      if (better(s, best)) best = s, bestPixel = p;
    }
  }
  std::memcpy(result, buffer + bestPixel * bytes, static_cast<size_t>(bytes));
}

// --- The black-and-white runs ----------------------------------------------------------------
//
// Each pixel's grey is q = (r wr + g wg + b wb) / 100 (truncated), and each plane k takes
// table[clamp(q + offset k, 0, 255)]. A run kernel writes the clamped indices of n pixels into
// out[0..2] (which may be the planes' own samples at the same pixels: every pixel is read
// before it is written); the table, unless it is the identity, is looked up over them after.
struct GreyMix {
  int32_t wr, wg, wb;
  int32_t offsets[3];
  bool sameOffsets;  // the three planes take the same indices
};

using GreyRunFn = void (*)(const GreyMix& m, const unsigned char* r, const unsigned char* g,
                           const unsigned char* b, unsigned char* const* out, int32_t n);

// The vector forms' sums stay below 2^24 in magnitude: weights whose magnitudes add up to at
// most 65536, so that 255 times them does.
constexpr int64_t kLaneWeights = 65536;

void GreyRunPlain(const GreyMix& m, const unsigned char* r, const unsigned char* g,
                  const unsigned char* b, unsigned char* const* out, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const int32_t q = (r[i] * m.wr + g[i] * m.wg + b[i] * m.wb) / 100;
    for (int32_t k = 0; k < 3; ++k)
      out[k][i] = static_cast<unsigned char>(std::clamp(q + m.offsets[k], 0, 255));
  }
}

#if VMK_SIMD_X86
VMK_TARGET_AVX2 inline __m256i WidenEight(const unsigned char* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

VMK_TARGET_AVX2 inline __m256i GreyEightAvx2(const GreyMix& m, const unsigned char* r,
                                             const unsigned char* g, const unsigned char* b) {
  auto widen = WidenEight;
  const __m256i sum = _mm256_add_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(widen(r), _mm256_set1_epi32(m.wr)),
                       _mm256_mullo_epi32(widen(g), _mm256_set1_epi32(m.wg))),
      _mm256_mullo_epi32(widen(b), _mm256_set1_epi32(m.wb)));
  return lanediv::QuotientBy100(sum);
}

// Thirty-two 32-bit lanes to bytes held to 0..255: the saturating packs clamp, the last
// permute puts the four groups back in order.
VMK_TARGET_AVX2 inline __m256i ClampedBytesAvx2(const __m256i (&v)[4], int32_t offset) {
  const __m256i o = _mm256_set1_epi32(offset);
  const __m256i ab = _mm256_packs_epi32(_mm256_add_epi32(v[0], o), _mm256_add_epi32(v[1], o));
  const __m256i cd = _mm256_packs_epi32(_mm256_add_epi32(v[2], o), _mm256_add_epi32(v[3], o));
  return _mm256_permutevar8x32_epi32(_mm256_packus_epi16(ab, cd),
                                     _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

VMK_TARGET_AVX2 void GreyRunAvx2(const GreyMix& m, const unsigned char* r,
                                 const unsigned char* g, const unsigned char* b,
                                 unsigned char* const* out, int32_t n) {
  int32_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i q[4];
    for (int32_t j = 0; j < 4; ++j) q[j] = GreyEightAvx2(m, r + i + 8 * j, g + i + 8 * j, b + i + 8 * j);
    if (m.sameOffsets) {
      const __m256i v = ClampedBytesAvx2(q, m.offsets[0]);
      for (int32_t k = 0; k < 3; ++k) _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[k] + i), v);
      continue;
    }
    for (int32_t k = 0; k < 3; ++k)
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[k] + i), ClampedBytesAvx2(q, m.offsets[k]));
  }
  unsigned char* const rest[3] = {out[0] + i, out[1] + i, out[2] + i};
  GreyRunPlain(m, r + i, g + i, b + i, rest, n - i);
}

// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values in every caller.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

VMK_TARGET_AVX512 inline __m512i WidenSixteen(const unsigned char* p, __mmask16 lanes) {
  return _mm512_maskz_cvtepu8_epi32(0xFFFF, _mm_maskz_loadu_epi8(lanes, p));
}

// Sixteen pixels' quotients, their first byte at p + i of each plane; `lanes` masks the bytes
// that lie in the run.
VMK_TARGET_AVX512 inline __m512i GreySixteenAvx512(const GreyMix& m, const unsigned char* r,
                                                   const unsigned char* g, const unsigned char* b,
                                                   __mmask16 lanes) {
  const __m512i sum = _mm512_add_epi32(
      _mm512_add_epi32(_mm512_mullo_epi32(WidenSixteen(r, lanes), _mm512_set1_epi32(m.wr)),
                       _mm512_mullo_epi32(WidenSixteen(g, lanes), _mm512_set1_epi32(m.wg))),
      _mm512_mullo_epi32(WidenSixteen(b, lanes), _mm512_set1_epi32(m.wb)));
  return lanediv::QuotientBy100(sum);
}

VMK_TARGET_AVX512 inline __m128i ClampedBytesAvx512(__m512i q, int32_t offset) {
  const __m512i v = _mm512_max_epi32(_mm512_add_epi32(q, _mm512_set1_epi32(offset)),
                                     _mm512_setzero_si512());
  return _mm512_maskz_cvtusepi32_epi8(0xFFFF, v);
}

// Sixteen pixels a step, the last step of a run under a mask (nothing past the run is read or
// written).
VMK_TARGET_AVX512 void GreyRunAvx512(const GreyMix& m, const unsigned char* r,
                                     const unsigned char* g, const unsigned char* b,
                                     unsigned char* const* out, int32_t n) {
  for (int32_t i = 0; i < n; i += 16) {
    const __mmask16 lanes =
        n - i >= 16 ? static_cast<__mmask16>(0xFFFF) : static_cast<__mmask16>((1u << (n - i)) - 1);
    const __m512i q = GreySixteenAvx512(m, r + i, g + i, b + i, lanes);
    if (m.sameOffsets) {
      const __m128i v = ClampedBytesAvx512(q, m.offsets[0]);
      for (int32_t k = 0; k < 3; ++k) _mm_mask_storeu_epi8(out[k] + i, lanes, v);
      continue;
    }
    for (int32_t k = 0; k < 3; ++k)
      _mm_mask_storeu_epi8(out[k] + i, lanes, ClampedBytesAvx512(q, m.offsets[k]));
  }
}
#pragma GCC diagnostic pop
#endif

GreyRunFn PickGreyRun() {
#if VMK_SIMD_X86
  return plat::PickKernel<GreyRunFn>(GreyRunPlain, GreyRunAvx2, GreyRunAvx512);
#else
  return GreyRunPlain;
#endif
}

}  // namespace

int32_t Effects::SelCol(int16_t /*mode*/, int16_t /*opacity*/, const unsigned char* srcRed,
                        const unsigned char* srcGreen, const unsigned char* srcBlue,
                        int32_t srcHeight, int32_t srcWidth, unsigned char* dstRed,
                        unsigned char* dstGreen, unsigned char* dstBlue, int32_t dstHeight,
                        int32_t dstWidth, int32_t, int32_t, int32_t, int32_t, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t srcChannels,
                        int16_t dstChannels, const unsigned char* mask, int16_t tolerance,
                        const unsigned char* reference, const unsigned char* colour) {
  if (srcRed == nullptr || dstRed == nullptr || reference == nullptr || colour == nullptr)
    return 0;
  const bool srcRgb = srcChannels != 1, dstRgb = dstChannels != 1;
  if ((srcRgb && (srcGreen == nullptr || srcBlue == nullptr)) ||
      (dstRgb && (dstGreen == nullptr || dstBlue == nullptr)))
    return 0;
  IRect r{x0, y0, x1, y1};
  // The source is read at the destination's positions: keep to both.
  if (!r.ClipTo(dstWidth, dstHeight) || !r.ClipTo(srcWidth, srcHeight)) return 0;
  float h = 0, s = 0, v = 0;
  const int32_t ref[3] = {reference[0], srcRgb ? reference[1] : reference[0],
                          srcRgb ? reference[2] : reference[0]};
  RGBtoHSV(static_cast<float>(ref[0]), static_cast<float>(ref[1]), static_cast<float>(ref[2]),
           &h, &s, &v);
  const float t = tolerance;
  // Held to the 16-bit range before the conversion: a tolerance near its end reaches past it.
  const auto lo = [&](float c) { return TruncToInt16(c - t); };
  const auto hi = [&](float c) { return TruncToInt16(c + t); };
  const float s100 = s * 100;
  unsigned char* const dst[3] = {dstRed, dstGreen, dstBlue};
  // One-channel source onto three planes: all three take the colour.
  const int32_t planes = dstRgb ? 3 : 1;
  const HsvSelection select(lo(h), hi(h), lo(s100), hi(s100), lo(v), hi(v));
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t si = int64_t{y} * srcWidth + x;
      const int64_t di = int64_t{y} * dstWidth + x;
      const int32_t rr = srcRed[si];
      const int32_t m =
          select.At(rr, srcRgb ? srcGreen[si] : rr, srcRgb ? srcBlue[si] : rr);
      for (int32_t n = 0; n < planes; ++n) {
        const int32_t byte = dstRgb && srcRgb ? colour[n] : colour[0];
        const int32_t c = std::min(255, byte * m / 255);
        unsigned char& d = dst[n][di];
        d = static_cast<unsigned char>(mask != nullptr ? (d * (255 - mask[di]) + c * mask[di]) / 255
                                                       : c);
      }
    }
  }
  return 0;
}

int32_t Effects::Calc_exchRGB(int16_t flags, const int32_t* redWeights,
                              const int32_t* greenWeights, const int32_t* blueWeights,
                              const int32_t* offsets, int32_t red, int32_t green, int32_t blue,
                              int32_t* outRed, int32_t* outGreen, int32_t* outBlue) {
  const int32_t in[3] = {red, green, blue};
  int32_t* const out[3] = {outRed, outGreen, outBlue};
  int32_t packed = 0;
  for (int32_t i = 0; i < 3; ++i) {
    int32_t v = in[i];
    if ((flags & (4 >> i)) != 0) {
      const int64_t sum = int64_t{red} * redWeights[i] + int64_t{green} * greenWeights[i] +
                          int64_t{blue} * blueWeights[i];
      v = static_cast<int32_t>(std::clamp<int64_t>(sum / 100 + offsets[i], 0, 255));
    }
    v = Clamp255(v);
    if (out[i] != nullptr) *out[i] = v;
    packed = (packed << 8) | v;
  }
  return packed;
}

int32_t Effects::X_exchRGB_CharBuf(int32_t height, int32_t width, const unsigned char* srcRed,
                                   const unsigned char* srcGreen, const unsigned char* srcBlue,
                                   unsigned char* dstRed, unsigned char* dstGreen,
                                   unsigned char* dstBlue, int32_t x0, int32_t y0, int32_t x1,
                                   int32_t y1, int16_t flags, int32_t strength,
                                   const int32_t* redWeights, const int32_t* greenWeights,
                                   const int32_t* blueWeights, const int32_t* offsets) {
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return -1;
  const unsigned char* const src[3] = {srcRed, srcGreen, srcBlue};
  unsigned char* const dst[3] = {dstRed, dstGreen, dstBlue};
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t i = int64_t{y} * width + x;
      const int32_t in[3] = {src[0][i], src[1][i], src[2][i]};
      int32_t out[3];
      MixPixel(flags, strength, redWeights, greenWeights, blueWeights, offsets, in, out);
      for (int32_t n = 0; n < 3; ++n) dst[n][i] = static_cast<unsigned char>(out[n]);
    }
  }
  return 0;
}

int32_t Effects::X_exchRGB_LongBuf(int32_t height, int32_t width, const uint32_t* src,
                                   uint32_t* dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int16_t flags, int32_t strength, const int32_t* redWeights,
                                   const int32_t* greenWeights, const int32_t* blueWeights,
                                   const int32_t* offsets) {
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return -1;
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    // Stopped work answers a failure; its owner drops the buffer.
    if (plat::Cancelled()) return -1;
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t i = int64_t{y} * width + x;
      unsigned char in8[4], out8[4];
      std::memcpy(in8, &src[i], 4);
      std::memcpy(out8, &dst[i], 4);
      const int32_t in[3] = {in8[0], in8[1], in8[2]};
      int32_t out[3];
      MixPixel(flags, strength, redWeights, greenWeights, blueWeights, offsets, in, out);
      for (int32_t n = 0; n < 3; ++n) out8[n] = static_cast<unsigned char>(out[n]);
      std::memcpy(&dst[i], out8, 4);
    }
  }
  return 0;
}

int32_t Effects::BWConversion(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                              unsigned char* red, unsigned char* green, unsigned char* blue,
                              int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                              const unsigned char* mask, int16_t filterAngle,
                              int16_t filterStrength, int16_t contrast, int16_t toneAngle,
                              int16_t toneStrength) {
  if (red == nullptr || green == nullptr || blue == nullptr || width <= 0 || height <= 0)
    return -1;
  const int32_t S = filterStrength, A = filterAngle;
  const int32_t t = std::abs(S * A) / 180;
  const int32_t wr = A < 0 ? t : 0, wg = S - t, wb = A < 0 ? 0 : t;
  const int32_t T = toneStrength, B = toneAngle;
  const int32_t u = std::abs(T * B) / 180;
  const int32_t offsets[3] = {B < 0 ? u : 0, T - u, B < 0 ? 0 : u};
  unsigned char table[256];
  CreaLut(table, contrast, 0, 0);
  // The mixer's three channels share one weighted sum (each weight serves all three) and
  // differ by their offsets; at full strength the mix is the mixed colour itself, and the
  // contrast step, a replacement without a mask, is its table. So each run's three values
  // go from the samples through the sum and the table straight to the blend, with no
  // whole-plane work copies: the bytes are those of the mixer, the contrast pass over its
  // copies and the blend of each copy back (about 0.9 s for three 6000 x 4000 planes with
  // the copies, one sample after another; a few passes of memory in bands).
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  unsigned char* const planes[3] = {red, green, blue};
  // Weights of the usual size keep the sum inside 32 bits (255 times their magnitudes), and
  // then it is taken in 32 bits, with the same truncated quotient.
  const int64_t magnitude = std::abs(int64_t{wr}) + std::abs(int64_t{wg}) + std::abs(int64_t{wb});
  const bool narrow = magnitude <= 8000000 && std::abs(offsets[0]) <= 8000000 &&
                      std::abs(offsets[1]) <= 8000000 && std::abs(offsets[2]) <= 8000000;
  // Weights of the lanes' size: the run kernels, eight or sixteen pixels a step; without a
  // mask at full replacement their values go straight into the planes. (The default conversion
  // of three 6000 x 4000 planes on 8 threads of a loaded machine, where one read and write of
  // the planes took 5 ms: about 50 ms one pixel at a time through the run arrays, 4.5 ms in
  // 16-lane steps.)
  if (narrow && magnitude <= kLaneWeights) {
    bool identity = true;
    for (int32_t v = 0; v < 256; ++v) identity = identity && table[v] == v;
    const GreyMix mix{wr, wg, wb, {offsets[0], offsets[1], offsets[2]},
                      offsets[0] == offsets[1] && offsets[1] == offsets[2]};
    const GreyRunFn run = PickGreyRun();
    const bool direct = mode == 0 && opacity == 255 && mask == nullptr;
    effect_support::BlendRegionRuns3(mode, opacity, planes, mask, width, x0, y0, x1, y1, direct,
                                     [&](int64_t row, unsigned char* const out[3], int32_t n) {
                                       run(mix, red + row, green + row, blue + row, out, n);
                                       if (identity) return;
                                       LookUpRun(table, out[0], out[0], n);
                                       for (int32_t k = 1; k < 3; ++k) {
                                         if (mix.sameOffsets)
                                           std::memcpy(out[k], out[0], static_cast<size_t>(n));
                                         else
                                           LookUpRun(table, out[k], out[k], n);
                                       }
                                     });
    return 0;
  }
  auto bands = [&](auto wide) {
    using Sum = decltype(wide);
    effect_support::BlendRegionRuns3(
        mode, opacity, planes, mask, width, x0, y0, x1, y1, false,
        [&](int64_t row, unsigned char* const values[3], int32_t n) {
          for (int32_t i = 0; i < n; ++i) {
            const Sum sum = Sum{red[row + i]} * wr + Sum{green[row + i]} * wg + Sum{blue[row + i]} * wb;
            const Sum q = sum / 100;
            for (int32_t k = 0; k < 3; ++k)
              values[k][i] = table[std::clamp<Sum>(q + offsets[k], 0, 255)];
          }
        });
  };
  if (narrow)
    bands(int32_t{0});
  else
    bands(int64_t{0});
  return 0;
}

void Effects::MinOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel) {
  WindowSearch(x, y, buffer, width, height, rx, ry, result, bytesPerPixel, 0,
               [](int32_t s, int32_t best) { return s < best; });
}

void Effects::MaxOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel) {
  // Stops at a byte sum of 255, the brightest one-byte sample.
  WindowSearch(x, y, buffer, width, height, rx, ry, result, bytesPerPixel, 255,
               [](int32_t s, int32_t best) { return s > best; });
}
