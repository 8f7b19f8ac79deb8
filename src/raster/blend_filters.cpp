// Blends, convolution, pyramid blur, emboss and edges on raster planes.
//
// ApplyMatrix filters in place: it keeps a ring of the rectangle's original
// rows (2 * radius + 1 of them), so no full copy of the plane is taken and a
// row is overwritten only once no later row reads it as a source. The pyramid
// blur reaches large radii by at most two halvings and repeated 3 x 3 box
// passes on the small level, so its cost stays near that of a few passes at
// quarter size whatever the radius; its steps round where the convolution and
// the standalone halving and doubling truncate.
#include "raster/blend_filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/types/plane_view.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace {

// Truncation of a float result to 0..255; NaN (a zero divisor over a zero
// sum) counts as 0 so that no out-of-range conversion can happen.
inline int32_t ToByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 255.0f) return 255;
  return static_cast<int32_t>(f);
}

struct Tap {
  int32_t dx;
  int32_t dy;
  int16_t weight;
};

// How a filter reads its mask: value at maskStepY * maskStepY * y * width +
// x * maskStepX, the index held below `limit` for callers that read a
// full-size mask from a reduced level. No mask: the result is taken whole.
struct MaskSampling {
  const unsigned char* mask = nullptr;
  int32_t stepX = 1;
  int32_t stepY = 1;
  int64_t limit = INT64_MAX;
};

// Sums of every tap for the bytes [from, to) of a row whose taps all fall
// inside it: sums[i] = sum over taps of weight * (tap's row)[i + dx * samples].
// Integer sums, so any order of the terms gives the same values.
// `low` is the least sum the taps can reach (see SixteenBitLow); only the
// sixteen-bit forms read it.
using TapSumsFn = void (*)(int32_t* sums, const unsigned char* const* rows, const Tap* taps,
                           int64_t n, int32_t radius, int32_t samples, int64_t from, int64_t to,
                           int32_t low);

void TapSumsPlain(int32_t* sums, const unsigned char* const* rows, const Tap* taps, int64_t n,
                  int32_t radius, int32_t samples, int64_t from, int64_t to, int32_t) {
  for (int64_t i = from; i < to; ++i) {
    int32_t s = 0;
    for (int64_t t = 0; t < n; ++t)
      s += taps[t].weight * rows[taps[t].dy + radius][i + static_cast<int64_t>(taps[t].dx) * samples];
    sums[i] = s;
  }
}

#if VMK_SIMD_X86
VMK_TARGET_AVX2 inline __m256i Widen8(const unsigned char* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Sixteen outputs held in registers across all taps, stored once (5 x 5 on
// three planes of 3072 x 2048, one thread, a loaded machine: about 227 ms
// with a pass over the sums per tap, about 50 ms this way).
VMK_TARGET_AVX2 void TapSumsAvx2(int32_t* sums, const unsigned char* const* rows, const Tap* taps,
                                 int64_t n, int32_t radius, int32_t samples, int64_t from,
                                 int64_t to, int32_t low) {
  int64_t i = from;
  for (; i + 16 <= to; i += 16) {
    __m256i a0 = _mm256_setzero_si256(), a1 = _mm256_setzero_si256();
    for (int64_t t = 0; t < n; ++t) {
      const unsigned char* p = rows[taps[t].dy + radius] + i + static_cast<int64_t>(taps[t].dx) * samples;
      const __m256i w = _mm256_set1_epi32(taps[t].weight);
      a0 = _mm256_add_epi32(a0, _mm256_mullo_epi32(w, Widen8(p)));
      a1 = _mm256_add_epi32(a1, _mm256_mullo_epi32(w, Widen8(p + 8)));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i), a0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i + 8), a1);
  }
  TapSumsPlain(sums, rows, taps, n, radius, samples, i, to, low);
}

// Sixteen-bit lanes, twice as many a step, for taps whose sums all lie
// within 65535 of `low`: each lane starts at -low and wraps, and since the
// wrapped products and sums agree with the true ones modulo 65536 and the
// true sum minus `low` lies in 0..65535, the lane ends on it exactly
// (3 x 3 on three 3072 x 2048 planes, one thread: about 18 ms in 32-bit
// lanes, about 8 ms this way).
VMK_TARGET_AVX2 inline __m256i Widen16(const unsigned char* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

VMK_TARGET_AVX2 inline void StoreLifted(int32_t* out, __m256i lanes, __m256i low) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                      _mm256_add_epi32(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(lanes)), low));
  _mm256_storeu_si256(
      reinterpret_cast<__m256i*>(out + 8),
      _mm256_add_epi32(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(lanes, 1)), low));
}

VMK_TARGET_AVX2 void TapSums16Avx2(int32_t* sums, const unsigned char* const* rows, const Tap* taps,
                                   int64_t n, int32_t radius, int32_t samples, int64_t from,
                                   int64_t to, int32_t low) {
  const __m256i start = _mm256_set1_epi16(static_cast<int16_t>(static_cast<uint16_t>(-low)));
  const __m256i lift = _mm256_set1_epi32(low);
  int64_t i = from;
  for (; i + 32 <= to; i += 32) {
    __m256i a0 = start, a1 = start;
    for (int64_t t = 0; t < n; ++t) {
      const unsigned char* p =
          rows[taps[t].dy + radius] + i + static_cast<int64_t>(taps[t].dx) * samples;
      const __m256i w = _mm256_set1_epi16(taps[t].weight);
      a0 = _mm256_add_epi16(a0, _mm256_mullo_epi16(w, Widen16(p)));
      a1 = _mm256_add_epi16(a1, _mm256_mullo_epi16(w, Widen16(p + 16)));
    }
    StoreLifted(sums + i, a0, lift);
    StoreLifted(sums + i + 16, a1, lift);
  }
  for (; i + 16 <= to; i += 16) {
    __m256i a = start;
    for (int64_t t = 0; t < n; ++t) {
      const unsigned char* p =
          rows[taps[t].dy + radius] + i + static_cast<int64_t>(taps[t].dx) * samples;
      a = _mm256_add_epi16(a, _mm256_mullo_epi16(_mm256_set1_epi16(taps[t].weight), Widen16(p)));
    }
    StoreLifted(sums + i, a, lift);
  }
  TapSumsPlain(sums, rows, taps, n, radius, samples, i, to, low);
}

// The same in 32 lanes a register. The whole-mask forms of the widening
// and narrowing steps are used because the unmasked ones start from an
// undefined register, which this compiler warns of.
constexpr __mmask16 kAll16 = 0xFFFF;

VMK_TARGET_AVX512 inline __m512i Widen32(const unsigned char* p) {
  return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

VMK_TARGET_AVX512 inline void StoreLifted512(int32_t* out, __m512i lanes, __m512i low) {
  _mm512_storeu_si512(
      out, _mm512_add_epi32(
               _mm512_maskz_cvtepu16_epi32(kAll16, _mm512_maskz_extracti64x4_epi64(0xFF, lanes, 0)),
               low));
  _mm512_storeu_si512(out + 16,
                      _mm512_add_epi32(_mm512_maskz_cvtepu16_epi32(
                                           kAll16, _mm512_maskz_extracti64x4_epi64(0xFF, lanes, 1)),
                                       low));
}

VMK_TARGET_AVX512 void TapSums16Avx512(int32_t* sums, const unsigned char* const* rows,
                                       const Tap* taps, int64_t n, int32_t radius, int32_t samples,
                                       int64_t from, int64_t to, int32_t low) {
  const __m512i start = _mm512_set1_epi16(static_cast<int16_t>(static_cast<uint16_t>(-low)));
  const __m512i lift = _mm512_set1_epi32(low);
  int64_t i = from;
  for (; i + 64 <= to; i += 64) {
    __m512i a0 = start, a1 = start;
    for (int64_t t = 0; t < n; ++t) {
      const unsigned char* p =
          rows[taps[t].dy + radius] + i + static_cast<int64_t>(taps[t].dx) * samples;
      const __m512i w = _mm512_set1_epi16(taps[t].weight);
      a0 = _mm512_add_epi16(a0, _mm512_mullo_epi16(w, Widen32(p)));
      a1 = _mm512_add_epi16(a1, _mm512_mullo_epi16(w, Widen32(p + 32)));
    }
    StoreLifted512(sums + i, a0, lift);
    StoreLifted512(sums + i + 32, a1, lift);
  }
  TapSums16Avx2(sums, rows, taps, n, radius, samples, i, to, low);
}
#endif

// The least sum the taps can reach when every sum lies within 65535 of it
// (the sixteen-bit forms then hold them exactly), else 1.
int32_t SixteenBitLow(const Tap* taps, int64_t n) {
  int64_t low = 0, high = 0;
  for (int64_t t = 0; t < n; ++t) (taps[t].weight < 0 ? low : high) += 255 * taps[t].weight;
  return high - low <= 65535 ? static_cast<int32_t>(low) : 1;
}

// out[i] = ToByte(sums[i] / divisor + offsets[i]) for the leading samples of
// a row; returns how many it did (the plain loop does the rest).
using StoreQuotients = int64_t (*)(const int32_t* sums, const float* offsets, unsigned char* out,
                                   int64_t count, float divisor);
int64_t StoreQuotientsPlain(const int32_t*, const float*, unsigned char*, int64_t, float) {
  return 0;
}

#if VMK_SIMD_X86
// Eight at a time: the same float divide and add in each lane, then the
// ends of ToByte (not above 0, NaN included, gives 0; 255 and above 255).
// One 3 x 3 pass over three 3072 x 2048 planes, one thread (EPYC, a loaded
// machine): 73 to 77 ms with a divide per sample, 28 to 46 ms this way.
VMK_TARGET_AVX2 int64_t StoreQuotientsAvx2(const int32_t* sums, const float* offsets,
                                           unsigned char* out, int64_t count, float divisor) {
  const __m256 d = _mm256_set1_ps(divisor);
  const __m256 zero = _mm256_setzero_ps(), top = _mm256_set1_ps(255.0f);
  const __m256i full = _mm256_set1_epi32(255);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 q = _mm256_div_ps(
        _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(sums + i))), d);
    const __m256 f = _mm256_add_ps(q, _mm256_loadu_ps(offsets + i));
    __m256i v = _mm256_and_si256(_mm256_cvttps_epi32(f),
                                 _mm256_castps_si256(_mm256_cmp_ps(f, zero, _CMP_GT_OQ)));
    v = _mm256_blendv_epi8(v, full, _mm256_castps_si256(_mm256_cmp_ps(f, top, _CMP_GE_OQ)));
    const __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(w, w));
  }
  return i;
}

// Sixteen at a time, the eight-lane form's steps in each lane.
VMK_TARGET_AVX512 int64_t StoreQuotientsAvx512(const int32_t* sums, const float* offsets,
                                               unsigned char* out, int64_t count, float divisor) {
  const __m512 d = _mm512_set1_ps(divisor);
  const __m512 zero = _mm512_setzero_ps(), top = _mm512_set1_ps(255.0f);
  const __m512i full = _mm512_set1_epi32(255);
  int64_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512 q =
        _mm512_div_ps(_mm512_maskz_cvtepi32_ps(kAll16, _mm512_loadu_si512(sums + i)), d);
    const __m512 f = _mm512_add_ps(q, _mm512_loadu_ps(offsets + i));
    __m512i v = _mm512_maskz_cvttps_epi32(_mm512_cmp_ps_mask(f, zero, _CMP_GT_OQ), f);
    v = _mm512_mask_blend_epi32(_mm512_cmp_ps_mask(f, top, _CMP_GE_OQ), v, full);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm512_maskz_cvtepi32_epi8(kAll16, v));
  }
  return i + StoreQuotientsAvx2(sums + i, offsets + i, out + i, count - i, divisor);
}
#endif

// The relief's two taps, +1 and -1, whose quotient plus offset is the clamped sum plus a
// whole bias (a divisor of 1): out[i] = the clamp to 0..255 of plus[i] - minus[i] + bias for
// the leading samples of a run; returns how many it did (the caller's loop does the rest).
// Straight from the rows to the samples in 16-bit lanes, with no sums or float quotients
// (the relief of three 6000 x 4000 planes at its defaults through the script's render, EPYC
// under a load of about 20: one thread 68 -> 22 ms, eight 14-20 -> 7.6 ms; the render that
// runs nothing takes 3-5 ms of these).
using DifferenceRun = int64_t (*)(unsigned char* out, const unsigned char* plus,
                                  const unsigned char* minus, int64_t count, int32_t bias);

#if VMK_SIMD_X86
VMK_TARGET_AVX2 int64_t DifferenceRunAvx2(unsigned char* out, const unsigned char* plus,
                                          const unsigned char* minus, int64_t count,
                                          int32_t bias) {
  const __m256i k = _mm256_set1_epi16(static_cast<int16_t>(bias));
  int64_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i v0 = _mm256_add_epi16(_mm256_sub_epi16(Widen16(plus + i), Widen16(minus + i)), k);
    const __m256i v1 =
        _mm256_add_epi16(_mm256_sub_epi16(Widen16(plus + i + 16), Widen16(minus + i + 16)), k);
    // The pack works within 128-bit halves: its quarters come out 0, 2, 1, 3.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_permute4x64_epi64(_mm256_packus_epi16(v0, v1), 0xD8));
  }
  return i;
}

VMK_TARGET_AVX512 int64_t DifferenceRunAvx512(unsigned char* out, const unsigned char* plus,
                                              const unsigned char* minus, int64_t count,
                                              int32_t bias) {
  const __m512i k = _mm512_set1_epi16(static_cast<int16_t>(bias));
  // The pack works within 128-bit quarters: eight-byte pieces 0, 2, 4, 6 are v0's.
  const __m512i order = _mm512_set_epi64(7, 5, 3, 1, 6, 4, 2, 0);
  int64_t i = 0;
  for (; i + 64 <= count; i += 64) {
    const __m512i v0 = _mm512_add_epi16(_mm512_sub_epi16(Widen32(plus + i), Widen32(minus + i)), k);
    const __m512i v1 =
        _mm512_add_epi16(_mm512_sub_epi16(Widen32(plus + i + 32), Widen32(minus + i + 32)), k);
    _mm512_storeu_si512(out + i,
                        _mm512_maskz_permutexvar_epi64(0xFF, order, _mm512_packus_epi16(v0, v1)));
  }
  return i + DifferenceRunAvx2(out + i, plus + i, minus + i, count - i, bias);
}
#endif

// The bias of the two-tap form when every sum s of +1 and -1 taps (-255..255) gives
// ToByte(s / divisor + offset) = the clamp of s + bias, else -1.
int32_t WholeBias(float divisor, float offset) {
  const int32_t bias = ToByte(0.0f / divisor + offset);
  for (int32_t s = -255; s <= 255; ++s)
    if (ToByte(static_cast<float>(s) / divisor + offset) != ClampInt(s + bias, 0, 255)) return -1;
  return bias;
}

// out = (v * m + (255 - m) * old + lift) / 255 for a row's filtered values v, its samples
// before the filter and the mask value m of each pixel. The convolution truncates (lift 0);
// the pyramid blur's own passes round to the nearest (lift kNearestMix), as a truncated mix
// in each of its many passes would take half a level a pass where the mask is partial.
// The products and their sum stay within 255 x 255 + 127, so the 16-bit lanes hold them and
// their quotient exactly; the pyramid blur's reduced levels read the mask every 2nd or 4th byte.
constexpr int32_t kMixLanes = 16;
constexpr uint16_t kNearestMix = 127;

inline unsigned char MixByMaskLane(uint16_t value, uint16_t old, uint16_t m, uint16_t lift) {
  return static_cast<unsigned char>(static_cast<uint16_t>(value * m + (255 - m) * old + lift) /
                                    255);
}

template <int32_t kStep>
void MixRunByMask(unsigned char* __restrict out, const unsigned char* __restrict value,
                  const unsigned char* __restrict old, const unsigned char* __restrict m,
                  int32_t step, int32_t rw, uint16_t lift) {
  const int64_t stride = kStep > 0 ? kStep : step;
  int32_t i = 0;
  for (; i + kMixLanes <= rw; i += kMixLanes)
    for (int32_t j = 0; j < kMixLanes; ++j)
      out[i + j] = MixByMaskLane(value[i + j], old[i + j], m[(i + j) * stride], lift);
  for (; i < rw; ++i) out[i] = MixByMaskLane(value[i], old[i], m[i * stride], lift);
}

// x / 255 for x in 0..255 x 255 + kNearestMix as a multiply-high and a shift, as the vector
// forms take it.
constexpr bool Div255IsTheQuotient() {
  for (uint32_t x = 0; x <= 255 * 255 + kNearestMix; ++x)
    if (((x * 0x8081u) >> 23) != x / 255) return false;
  return true;
}
static_assert(Div255IsTheQuotient());

using MixRunFn = void (*)(unsigned char* __restrict out, const unsigned char* __restrict value,
                          const unsigned char* __restrict old, const unsigned char* __restrict m,
                          int32_t step, int32_t rw, uint16_t lift);

#if VMK_SIMD_X86
// Every 2nd mask byte is the low byte of a 16-bit lane of the mask's bytes as loaded. Each
// step reads one byte past its last mask sample, so it stops a sample short of the row's
// end (the mask's last byte needed may be its last byte).
VMK_TARGET_AVX2 inline __m256i MixLanesAvx2(__m256i v, __m256i o, __m256i m, __m256i lift) {
  const __m256i full = _mm256_set1_epi16(255);
  const __m256i x = _mm256_add_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(v, m), _mm256_mullo_epi16(_mm256_sub_epi16(full, m), o)),
      lift);
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<int16_t>(0x8081))),
                           7);
}

VMK_TARGET_AVX2 void MixRunByMask2Avx2(unsigned char* __restrict out,
                                       const unsigned char* __restrict value,
                                       const unsigned char* __restrict old,
                                       const unsigned char* __restrict m, int32_t step,
                                       int32_t rw, uint16_t lift) {
  const __m256i low = _mm256_set1_epi16(0x00FF);
  const __m256i lifted = _mm256_set1_epi16(static_cast<int16_t>(lift));
  int32_t i = 0;
  for (; i + 16 < rw; i += 16) {
    const __m256i mm =
        _mm256_and_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(m + 2 * i)), low);
    const __m256i r = MixLanesAvx2(Widen16(value + i), Widen16(old + i), mm, lifted);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_packus_epi16(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1)));
  }
  MixRunByMask<2>(out + i, value + i, old + i, m + 2 * i, step, rw - i, lift);
}

VMK_TARGET_AVX512 void MixRunByMask2Avx512(unsigned char* __restrict out,
                                           const unsigned char* __restrict value,
                                           const unsigned char* __restrict old,
                                           const unsigned char* __restrict m, int32_t step,
                                           int32_t rw, uint16_t lift) {
  const __m512i low = _mm512_set1_epi16(0x00FF), full = _mm512_set1_epi16(255);
  const __m512i magic = _mm512_set1_epi16(static_cast<int16_t>(0x8081));
  const __m512i lifted = _mm512_set1_epi16(static_cast<int16_t>(lift));
  int32_t i = 0;
  for (; i + 32 < rw; i += 32) {
    const __m512i mm = _mm512_and_si512(_mm512_loadu_si512(m + 2 * i), low);
    const __m512i x = _mm512_add_epi16(
        _mm512_add_epi16(_mm512_mullo_epi16(Widen32(value + i), mm),
                         _mm512_mullo_epi16(_mm512_sub_epi16(full, mm), Widen32(old + i))),
        lifted);
    const __m512i r = _mm512_srli_epi16(_mm512_mulhi_epu16(x, magic), 7);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm512_maskz_cvtepi16_epi8(0xFFFFFFFFu, r));
  }
  MixRunByMask2Avx2(out + i, value + i, old + i, m + 2 * i, step, rw - i, lift);
}
#endif

void MixRowByMask(unsigned char* out, const unsigned char* value, const unsigned char* old,
                  const MaskSampling& mask, int32_t y, int32_t width, int32_t left, int32_t rw,
                  int32_t samples, uint16_t lift) {
  const int64_t rowStart = static_cast<int64_t>(mask.stepY) * mask.stepY * y * width;
  const int64_t first = rowStart + static_cast<int64_t>(left) * mask.stepX;
  const int64_t last = rowStart + static_cast<int64_t>(left + rw - 1) * mask.stepX;
  if (samples == 1 && mask.stepX >= 1 && first >= 0 && last < mask.limit) {
    const unsigned char* m = mask.mask + first;
    switch (mask.stepX) {
      case 1: return MixRunByMask<1>(out, value, old, m, 1, rw, lift);
      case 2: {
#if VMK_SIMD_X86
        return plat::PickKernel<MixRunFn>(MixRunByMask<2>, MixRunByMask2Avx2,
                                          MixRunByMask2Avx512)(out, value, old, m, 2, rw, lift);
#else
        return MixRunByMask<2>(out, value, old, m, 2, rw, lift);
#endif
      }
      case 4: return MixRunByMask<4>(out, value, old, m, 4, rw, lift);
      default: return MixRunByMask<0>(out, value, old, m, mask.stepX, rw, lift);
    }
  }
  for (int32_t cx = 0; cx < rw; ++cx) {
    int64_t mi = rowStart + static_cast<int64_t>(cx + left) * mask.stepX;
    if (mi >= mask.limit) mi = mask.limit - 1;
    if (mi < 0) mi = 0;
    const int32_t m = mask.mask[mi];
    for (int32_t c = 0; c < samples; ++c) {
      const int64_t i = static_cast<int64_t>(cx) * samples + c;
      out[i] = static_cast<unsigned char>((value[i] * m + (255 - m) * old[i] + lift) / 255);
    }
  }
}

// The convolution proper over interleaved pixels of `samples` bytes: the
// view's width and height count pixels, its row step bytes.
int32_t ApplyMatrixCore(plat::PlaneView<unsigned char> buffer, int32_t samples,
                        const MaskSampling& mask, plat::InclusiveRect rect, int32_t radius,
                        const unsigned char* offsets, float divisor, const int32_t* kernel) {
  if (!buffer.valid() || kernel == nullptr || radius < 0 || samples < 1 || samples > 9) return -1;
  if (!rect.ClipTo(buffer.width, buffer.height)) return 0;
  const int32_t left = rect.left;
  const int32_t top = rect.top;
  const int32_t bottom = rect.bottom;
  const int32_t width = buffer.width;

  const int32_t side = 2 * radius + 1;
  const int64_t tapCap = static_cast<int64_t>(side) * side;
  const int32_t rw = rect.width();
  const int32_t rows = rect.height();
  const int32_t ringRows = side < rows ? side : rows;
  const int64_t rowBytes = static_cast<int64_t>(rw) * samples;
  // Bands of rows for the shared threads, tall beside the radius so that
  // the rows saved at their edges stay a small part of the work.
  const int32_t bandRows = std::max(32, 8 * radius);
  const int32_t bands = plat::BandCount(top, bottom + 1, bandRows);
  const int64_t edgeRows = std::min<int64_t>(2 * static_cast<int64_t>(radius), rows);

  int64_t tapCount = 0;
  for (int64_t i = 0; i < tapCap; ++i) {
    if (static_cast<int16_t>(kernel[i]) != 0) ++tapCount;
  }
  // All work memory is taken here, a ring, row pointers, sums and saved edge
  // rows for every band, never inside the loop.
  const plat::Block<Tap> taps(tapCount, WorkSource());
  if (!taps) return -1;
  int64_t n = 0;
  for (int32_t dy = -radius; dy <= radius; ++dy) {
    for (int32_t dx = -radius; dx <= radius; ++dx) {
      const int16_t w = static_cast<int16_t>(kernel[(dy + radius) * side + (dx + radius)]);
      if (w != 0) taps[n++] = Tap{dx, dy, w};
    }
  }
  // A +1 tap and a -1 tap whose quotients are the clamped difference plus a whole bias, the
  // same for every sample of a pixel, go straight from the rows to the samples.
  DifferenceRun difference = nullptr;
  int32_t bias = -1;
#if VMK_SIMD_X86
  difference = plat::PickKernel<DifferenceRun>(nullptr, DifferenceRunAvx2, DifferenceRunAvx512);
#endif
  if (difference != nullptr && n == 2 && taps[0].weight + taps[1].weight == 0 &&
      (taps[0].weight == 1 || taps[1].weight == 1)) {
    const float offset = offsets != nullptr ? static_cast<float>(offsets[0]) : 0.0f;
    bias = WholeBias(divisor, offset);
    for (int32_t c = 1; offsets != nullptr && c < samples; ++c)
      if (offsets[c] != offsets[0]) bias = -1;
  }
  if (bias < 0) difference = nullptr;
  const Tap plusTap = difference != nullptr ? taps[taps[0].weight == 1 ? 0 : 1] : Tap{};
  const Tap minusTap = difference != nullptr ? taps[taps[0].weight == 1 ? 1 : 0] : Tap{};
  const plat::Block<unsigned char> ring(rowBytes * ringRows * bands, WorkSource());
  const plat::Block<const unsigned char*> rowPtr(static_cast<int64_t>(side) * bands, WorkSource());
  const plat::Block<int32_t> acc(difference == nullptr ? rowBytes * bands : 0, WorkSource());
  const plat::Block<unsigned char> edges(rowBytes * edgeRows * bands, WorkSource());
  if (!ring || !rowPtr || (difference == nullptr && !acc) || !edges) return -1;
  // The quotients of a row in a vector form, the offsets laid out along it: without a mask
  // they are the samples, with one they go to a row of the band's own and are mixed from there.
  StoreQuotients wide = StoreQuotientsPlain;
#if VMK_SIMD_X86
  if (difference == nullptr)
    wide = plat::PickKernel<StoreQuotients>(StoreQuotientsPlain, StoreQuotientsAvx2,
                                            StoreQuotientsAvx512);
#endif
  plat::Block<float> offsetRow(wide != StoreQuotientsPlain ? rowBytes : 0, WorkSource());
  if (wide != StoreQuotientsPlain && !offsetRow) return -1;
  const bool mixed = (wide != StoreQuotientsPlain || difference != nullptr) && mask.mask != nullptr;
  plat::Block<unsigned char> quotients(mixed ? rowBytes * bands : 0, WorkSource());
  if (mixed && !quotients) return -1;
  for (int64_t i = 0; wide != StoreQuotientsPlain && i < rowBytes; ++i)
    offsetRow[i] = offsets != nullptr ? static_cast<float>(offsets[i % samples]) : 0.0f;
  const float* offRow = wide != StoreQuotientsPlain ? offsetRow.get() : nullptr;

  // The rows band `b` reads: its own and up to `radius` on either side.
  auto bandSpan = [&](int32_t b, int32_t& first, int32_t& end, int32_t& from, int32_t& to) {
    first = top + b * bandRows;
    end = std::min(first + bandRows, bottom + 1);
    from = std::max(first - radius, top);
    to = std::min(end - 1 + radius, bottom);
  };
  auto original = [&](int32_t y) { return buffer.Row(y) + static_cast<int64_t>(left) * samples; };
  // The neighbours' rows a band reads are kept as they were before any band
  // runs: the neighbour may filter them first.
  for (int32_t b = 0; b < bands; ++b) {
    int32_t first, end, from, to;
    bandSpan(b, first, end, from, to);
    unsigned char* e = edges.get() + rowBytes * edgeRows * b;
    for (int32_t y = from; y < first; ++y, e += rowBytes) std::memcpy(e, original(y), rowBytes);
    for (int32_t y = end; y <= to; ++y, e += rowBytes) std::memcpy(e, original(y), rowBytes);
  }

  // The sizes go into the body by value: through references the compiler
  // must assume that every store of a sum or a sample may change them.
  const int32_t low = SixteenBitLow(taps.get(), n);
#if VMK_SIMD_X86
  const TapSumsFn tapSums =
      low <= 0 ? plat::PickKernel<TapSumsFn>(TapSumsPlain, TapSums16Avx2, TapSums16Avx512)
               : plat::PickKernel<TapSumsFn>(TapSumsPlain, TapSumsAvx2);
#else
  const TapSumsFn tapSums = TapSumsPlain;
#endif
  plat::ParallelFor(
      top, bottom + 1, bandRows,
      [&, top, bottom, left, width, radius, side, samples, rw, ringRows, rowBytes, edgeRows, n,
       divisor, offsets, wide, offRow, tapSums, low, mixed, difference, bias, plusTap,
       minusTap](int32_t b, int32_t, int32_t) {
        int32_t first, end, from, to;
        bandSpan(b, first, end, from, to);
        unsigned char* bandRing = ring.get() + rowBytes * ringRows * b;
        const unsigned char** bandPtr = rowPtr.get() + static_cast<int64_t>(side) * b;
        int32_t* sums = acc.get() + rowBytes * b;
        const unsigned char* bandEdges = edges.get() + rowBytes * edgeRows * b;
        auto source = [&](int32_t y) {
          if (y < first) return bandEdges + (y - from) * rowBytes;
          if (y >= end) return bandEdges + (first - from + y - end) * rowBytes;
          return static_cast<const unsigned char*>(original(y));
        };
        auto ringRow = [&](int32_t y) { return bandRing + ((y - top) % ringRows) * rowBytes; };
        int32_t nextLoad = from;
        for (int32_t y = first; y < end; ++y) {
          const int32_t need = y + radius < bottom ? y + radius : bottom;
          for (; nextLoad <= need; ++nextLoad)
            std::memcpy(ringRow(nextLoad), source(nextLoad), rowBytes);
          for (int32_t dy = -radius; dy <= radius; ++dy) {
            bandPtr[dy + radius] = ringRow(ClampInt(y + dy, top, bottom));
          }
          // Sums of the row: the columns whose every tap falls inside the
          // rectangle all at once; the others, whose taps outside repeat its
          // first or last column, one by one.
          const int32_t inLo = std::min(radius, rw);
          const int32_t inHi = std::max(rw - radius, inLo);
          if (difference != nullptr) {
            unsigned char* q = mixed ? quotients.get() + rowBytes * b : original(y);
            const unsigned char* plus = bandPtr[plusTap.dy + radius];
            const unsigned char* minus = bandPtr[minusTap.dy + radius];
            for (int32_t cx = 0; cx < rw; ++cx) {
              if (cx == inLo) {
                // The columns whose taps all fall inside, a run at a time.
                const int64_t from = static_cast<int64_t>(inLo) * samples;
                const int64_t count = static_cast<int64_t>(inHi - inLo) * samples;
                const unsigned char* p = plus + from + static_cast<int64_t>(plusTap.dx) * samples;
                const unsigned char* m = minus + from + static_cast<int64_t>(minusTap.dx) * samples;
                for (int64_t i = difference(q + from, p, m, count, bias); i < count; ++i)
                  q[from + i] = static_cast<unsigned char>(ClampInt(p[i] - m[i] + bias, 0, 255));
                cx = inHi;
                if (cx >= rw) break;
              }
              const int64_t sp = static_cast<int64_t>(ClampInt(cx + plusTap.dx, 0, rw - 1)) * samples;
              const int64_t sm = static_cast<int64_t>(ClampInt(cx + minusTap.dx, 0, rw - 1)) * samples;
              for (int32_t c = 0; c < samples; ++c)
                q[static_cast<int64_t>(cx) * samples + c] =
                    static_cast<unsigned char>(ClampInt(plus[sp + c] - minus[sm + c] + bias, 0, 255));
            }
            if (mixed)
              MixRowByMask(original(y), q, ringRow(y), mask, y, width, left, rw, samples, 0);
            continue;
          }
          tapSums(sums, bandPtr, taps.get(), n, radius, samples,
                  static_cast<int64_t>(inLo) * samples, static_cast<int64_t>(inHi) * samples, low);
          for (int32_t cx = 0; cx < rw; ++cx) {
            if (cx == inLo) cx = inHi;
            if (cx >= rw) break;
            for (int32_t c = 0; c < samples; ++c) {
              int32_t sum = 0;
              for (int64_t t = 0; t < n; ++t) {
                const int32_t sx = ClampInt(cx + taps[t].dx, 0, rw - 1);
                sum += taps[t].weight * bandPtr[taps[t].dy + radius][static_cast<int64_t>(sx) * samples + c];
              }
              sums[static_cast<int64_t>(cx) * samples + c] = sum;
            }
          }
          const unsigned char* own = ringRow(y);
          unsigned char* out = original(y);
          if (offRow != nullptr) {
            unsigned char* q = mixed ? quotients.get() + rowBytes * b : out;
            for (int64_t i = wide(sums, offRow, q, rowBytes, divisor); i < rowBytes; ++i)
              q[i] = static_cast<unsigned char>(
                  ToByte(static_cast<float>(sums[i]) / divisor + offRow[i]));
            if (mixed) MixRowByMask(out, q, own, mask, y, width, left, rw, samples, 0);
            continue;
          }
          for (int32_t cx = 0; cx < rw; ++cx) {
            int32_t m = -1;
            if (mask.mask != nullptr) {
              int64_t mi = static_cast<int64_t>(mask.stepY) * mask.stepY * y * width +
                           static_cast<int64_t>(cx + left) * mask.stepX;
              if (mi >= mask.limit) mi = mask.limit - 1;
              if (mi < 0) mi = 0;
              m = mask.mask[mi];
            }
            for (int32_t c = 0; c < samples; ++c) {
              const int64_t i = static_cast<int64_t>(cx) * samples + c;
              const float offset = offsets != nullptr ? static_cast<float>(offsets[c]) : 0.0f;
              const int32_t v = ToByte(static_cast<float>(sums[i]) / divisor + offset);
              out[i] = static_cast<unsigned char>(m < 0 ? v : (v * m + (255 - m) * own[i]) / 255);
            }
          }
        }
      });
  return 0;
}

// A packed buffer of interleaved pixels as a view: widths in pixels, rows in bytes.
plat::PlaneView<unsigned char> Interleaved(unsigned char* buffer, int32_t width, int32_t height,
                                           int32_t samples) {
  return {buffer, width, height, static_cast<int64_t>(width) * samples};
}

// Turns one pixel through the hue/lightness/saturation model.
inline void HslPixel(unsigned char* r, unsigned char* g, unsigned char* b, int16_t hueShift,
                     int16_t saturation, int16_t lightness) {
  float h = 0.0f, l = 0.0f, s = 0.0f;
  RGBtoHLS(*r / 255.0f, *g / 255.0f, *b / 255.0f, &h, &l, &s);
  if (h != kUndefinedHue) h = WrapHue(h + static_cast<float>(hueShift));
  s = Clamp01(s + s * static_cast<float>(saturation) * 0.01f);
  l = Clamp01(l + static_cast<float>(lightness) * 0.01f);
  float rf = 0.0f, gf = 0.0f, bf = 0.0f;
  HLStoRGB(h, l, s, &rf, &gf, &bf);
  *r = static_cast<unsigned char>(ToByte(rf * 255.0f));
  *g = static_cast<unsigned char>(ToByte(gf * 255.0f));
  *b = static_cast<unsigned char>(ToByte(bf * 255.0f));
}

int32_t FindEdgeCore(plat::PlaneView<unsigned char> plane, plat::InclusiveRect rect,
                     int32_t opacity, int32_t radius, int32_t contrast);

// The hue/lightness/saturation turn of every pixel of the rectangle; pixel
// (x, y) of a view is the sample at x * step of its row.
void HslRect(plat::PlaneView<unsigned char> r, plat::PlaneView<unsigned char> g,
             plat::PlaneView<unsigned char> b, int32_t step, plat::InclusiveRect rect,
             int16_t hueShift, int16_t saturation, int16_t lightness) {
  for (int32_t y = rect.top; y <= rect.bottom; ++y) {
    for (int32_t x = rect.left; x <= rect.right; ++x) {
      const int64_t at = static_cast<int64_t>(x) * step;
      HslPixel(r.Row(y) + at, g.Row(y) + at, b.Row(y) + at, hueShift, saturation, lightness);
    }
  }
}

// The means of the pyramid's halving (of four samples) and doubling (of two).
// The standalone steps truncate them; the pyramid blur's own round them to
// the nearest, as a truncated step takes a third of a level or more off a
// textured picture (and its box passes, see BoxOffset, as much each, two
// hundred of them at a large radius). A mean of two or four ties for half or a
// quarter of all samples: below mid-grey (127.5) a tie goes to the odd value,
// from there up to the even one. So ties go up as often as down, and the
// negative of a picture blurs to the negative of its blur (a tie at 127.5
// itself going to 128 either way).
inline int32_t MeanOfTwo(int32_t a, int32_t b, bool nearest) {
  const int32_t s = a + b;
  if (!nearest) return s >> 1;
  return (s + (((s >> 1) ^ (s < 255 ? 1 : 0)) & 1)) >> 1;
}

inline int32_t MeanOfFour(int32_t s, bool nearest) {
  if (!nearest) return s >> 2;
  return (s + 1 + (((s >> 2) ^ (s < 510 ? 1 : 0)) & 1)) >> 2;
}

// Sixteen bytes at a time on any x86-64 (and wherever the compiler has
// vectors): the floor mean (a + b) >> 1 as (a & b) + ((a ^ b) >> 1), which
// never leaves eight bits, and to the nearest a tie (an odd sum) taken up
// where the floor is even below mid-grey (a + b < 255, that is a < 255 - b)
// and odd from there.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

void MeanRowFrom(const unsigned char* a, const unsigned char* b, unsigned char* out, int64_t i,
                 int64_t n, bool nearest) {
  const unsigned char odd = nearest ? 1 : 0;
  for (; i + 16 <= n; i += 16) {
    Bytes16 va, vb;
    std::memcpy(&va, a + i, 16);
    std::memcpy(&vb, b + i, 16);
    const Bytes16 t = va ^ vb;
    const Bytes16 f = (va & vb) + (t >> 1);
    const Bytes16 low = reinterpret_cast<Bytes16>(va < static_cast<Bytes16>(~vb));
    const Bytes16 m = f + (t & (f ^ low) & odd);
    std::memcpy(out + i, &m, 16);
  }
  for (; i < n; ++i) out[i] = static_cast<unsigned char>(MeanOfTwo(a[i], b[i], nearest));
}

using MeanRowFn = void (*)(const unsigned char* a, const unsigned char* b, unsigned char* out,
                           int64_t n, bool nearest);

void MeanRowPlain(const unsigned char* a, const unsigned char* b, unsigned char* out, int64_t n,
                  bool nearest) {
  MeanRowFrom(a, b, out, 0, n, nearest);
}

#if VMK_SIMD_X86
// Thirty-two a step: the floor mean as the rounded-up one less the low bit of the difference,
// and a tie taken up as above (the saturated sum is 255 from mid-grey up).
VMK_TARGET_AVX2 void MeanRowAvx2(const unsigned char* a, const unsigned char* b,
                                 unsigned char* out, int64_t n, bool nearest) {
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i odd = _mm256_set1_epi8(nearest ? 1 : 0);
  const __m256i full = _mm256_set1_epi8(-1);
  int64_t i = 0;
  for (; i + 32 <= n; i += 32) {
    const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    const __m256i t = _mm256_and_si256(_mm256_xor_si256(va, vb), one);
    const __m256i f = _mm256_sub_epi8(_mm256_avg_epu8(va, vb), t);
    const __m256i high = _mm256_cmpeq_epi8(_mm256_adds_epu8(va, vb), full);
    const __m256i up = _mm256_and_si256(_mm256_andnot_si256(_mm256_xor_si256(f, high), t), odd);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_add_epi8(f, up));
  }
  MeanRowFrom(a, b, out, i, n, nearest);
}
#endif

void MeanRow(const unsigned char* a, const unsigned char* b, unsigned char* out, int64_t n,
             bool nearest) {
#if VMK_SIMD_X86
  plat::PickKernel<MeanRowFn>(MeanRowPlain, MeanRowAvx2)(a, b, out, n, nearest);
#else
  MeanRowPlain(a, b, out, n, nearest);
#endif
}

// What the blur's box passes add to a 3 x 3 sum s (0 to 9 x 255) before dividing it by 9 and
// truncating. The first kNearestPasses add 4, rounding to the nearest; the others 0 to 8,
// from a hash of the sum's distance from the mid sum and the pass, added where s lies above
// the middle and taken from 8 below it. Over the sums each offset comes about as often as
// the others, and the same sum takes another from pass to pass, so the quotient is s / 9
// rounded up with about the chance of its fraction, which on average is s / 9 itself.
// Rounding every pass to the nearest is unbiased only on texture: over the two hundred
// passes of a large radius a smooth level stops moving where each mean rounds back to its
// centre sample, so on a 3000 x 2000 photo-like plane at radius 199 a bright shape on a dark
// ground lost (a dark one gained) more than a level, and the result lay 7.7 levels (root
// mean square) from the blur in exact arithmetic; this way 0.8, with the exact blur's mean.
// Over a few passes the texture is still there, and the nearest is the closer. The offset
// is a function of the sum and the pass, never of where the sample lies, so a window of a
// picture blurs as the picture does; and the negative of a sum takes 8 less the offset, so
// the negative of a picture still blurs to the negative of its blur.
constexpr int32_t kNearestPasses = 4;
constexpr uint32_t kBoxMid = 9 * 255;  // the largest sum, twice the middle one
constexpr uint16_t kHashStep = 0x9E37, kHashPass = 0x6F4B, kHashMix = 0xA3B5;

constexpr uint32_t BoxOffset(uint32_t s, int32_t pass) {
  if (pass < kNearestPasses) return 4;
  const int32_t u = 2 * static_cast<int32_t>(s) - static_cast<int32_t>(kBoxMid);
  uint32_t x = (static_cast<uint32_t>(u < 0 ? -u : u) * kHashStep +
                static_cast<uint32_t>(pass) * kHashPass) & 0xFFFFu;
  x ^= x >> 7;
  const uint32_t h = (((x * kHashMix) & 0xFFFFu) * 9) >> 16;
  return u > 0 ? h : 8 - h;
}

// x / 9 for a box's sum and its offset, 0..9 x 255 + 8, as a multiply-high, which the vector
// forms use; over that whole range it is the division.
constexpr uint32_t kNinth = 7282;
constexpr bool NinthIsTheQuotient() {
  for (uint32_t x = 0; x <= kBoxMid + 8; ++x)
    if (((x * kNinth) >> 16) != x / 9) return false;
  return true;
}
static_assert(NinthIsTheQuotient());

// out[i] = (s + BoxOffset(s, pass)) / 9 for the sums s = a[i] + b[i] + c[i] of three rows of
// row sums (each at most 3 x 255) for i in [from, to); returns where it stopped (the table of
// every sum's quotient does the rest).
using BoxSumsRowFn = int64_t (*)(const uint16_t* a, const uint16_t* b, const uint16_t* c,
                                 unsigned char* out, int64_t from, int64_t to, int32_t pass);

int64_t BoxSumsRowPlain(const uint16_t*, const uint16_t*, const uint16_t*, unsigned char*,
                        int64_t from, int64_t, int32_t) {
  return from;
}

#if VMK_SIMD_X86
// Sixteen sums a step in 16-bit lanes: the offset computed in the lanes' own wrapping
// arithmetic (the sum's distance from the middle, its hash, and the offset or 8 less it by
// the distance's sign), the quotient as a multiply-high.
VMK_TARGET_AVX2 int64_t BoxSumsRowAvx2(const uint16_t* a, const uint16_t* b, const uint16_t* c,
                                       unsigned char* out, int64_t i, int64_t to, int32_t pass) {
  const __m256i ninth = _mm256_set1_epi16(static_cast<int16_t>(kNinth));
  const bool nearest = pass < kNearestPasses;
  const __m256i mid = _mm256_set1_epi16(static_cast<int16_t>(kBoxMid));
  const __m256i step = _mm256_set1_epi16(static_cast<int16_t>(kHashStep));
  const __m256i mix = _mm256_set1_epi16(static_cast<int16_t>(kHashMix));
  const __m256i term =
      _mm256_set1_epi16(static_cast<int16_t>(static_cast<uint32_t>(pass) * kHashPass));
  const __m256i nine = _mm256_set1_epi16(9), eight = _mm256_set1_epi16(8);
  const __m256i four = _mm256_set1_epi16(4);
  for (; i + 16 <= to; i += 16) {
    const __m256i s = _mm256_add_epi16(
        _mm256_add_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)),
                         _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i))),
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c + i)));
    __m256i offset = four;
    if (!nearest) {
      const __m256i u = _mm256_sub_epi16(_mm256_add_epi16(s, s), mid);
      __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_abs_epi16(u), step), term);
      x = _mm256_xor_si256(x, _mm256_srli_epi16(x, 7));
      const __m256i h = _mm256_mulhi_epu16(_mm256_mullo_epi16(x, mix), nine);
      offset = _mm256_blendv_epi8(_mm256_sub_epi16(eight, h), h,
                                  _mm256_cmpgt_epi16(u, _mm256_setzero_si256()));
    }
    const __m256i q = _mm256_mulhi_epu16(_mm256_add_epi16(s, offset), ninth);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_packus_epi16(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1)));
  }
  return i;
}
#endif

// The pyramid's 3 x 3 box over a whole level, the same samples as the convolution with
// border repetition: first every row's three-sample sums (a separate plane, so the level can
// then be written in place), then each output from the sums of its row and the rows beside
// it, the sum plus its offset divided by 9 in a vector form, or read from the pass's table of
// every possible sum.
// With a mask each output is mixed with the sample it replaces (the level's width and the
// mask's step placing the mask byte, as the convolution reads it), rounded to the nearest.
// With the one-sample paths of the halving and doubling steps, three planes
// of 3072 x 2048 blurred at radius 5 on one thread (a loaded machine) took
// 248 ms through the general convolution and take 20 to 30 ms this way.
int32_t BoxPass(plat::PlaneView<unsigned char> level, int32_t samples, const MaskSampling& mask,
                int32_t pass) {
  const int32_t w = level.width, h = level.height;
  const int64_t rowLen = static_cast<int64_t>(w) * samples;
  if (w <= 0 || h <= 0) return 0;
  constexpr int32_t kBandRows = 16;
  const bool masked = mask.mask != nullptr;
  plat::Block<uint16_t> sums(rowLen * h, WorkSource());
  // A masked band's quotients and the samples they replace.
  plat::Block<unsigned char> rows(masked ? 2 * rowLen * plat::BandCount(0, h, kBandRows) : 0,
                                  WorkSource());
  if (!sums || (masked && !rows)) return -1;
  unsigned char table[kBoxMid + 1];
  for (uint32_t v = 0; v <= kBoxMid; ++v)
    table[v] = static_cast<unsigned char>((v + BoxOffset(v, pass)) / 9);
  uint16_t* hs = sums.get();
  unsigned char* base = level.data;
  const int64_t step = level.rowStep;
  plat::ParallelFor(0, h, kBandRows, [=](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      const unsigned char* p = base + y * step;
      uint16_t* o = hs + y * rowLen;
      if (w == 1) {
        for (int32_t c = 0; c < samples; ++c) o[c] = static_cast<uint16_t>(3 * p[c]);
        continue;
      }
      for (int32_t c = 0; c < samples; ++c) {
        o[c] = static_cast<uint16_t>(2 * p[c] + p[samples + c]);
        const int64_t last = rowLen - samples + c;
        o[last] = static_cast<uint16_t>(p[last - samples] + 2 * p[last]);
      }
      for (int64_t i = samples; i < rowLen - samples; ++i)
        o[i] = static_cast<uint16_t>(p[i - samples] + p[i] + p[i + samples]);
    }
  });
  const unsigned char* t = table;
  unsigned char* const scratch = rows.get();
#if VMK_SIMD_X86
  const BoxSumsRowFn wide = plat::PickKernel<BoxSumsRowFn>(BoxSumsRowPlain, BoxSumsRowAvx2);
#else
  const BoxSumsRowFn wide = BoxSumsRowPlain;
#endif
  plat::ParallelFor(0, h, kBandRows, [=, &mask](int32_t band, int32_t y0, int32_t y1) {
    unsigned char* const q = masked ? scratch + 2 * rowLen * band : nullptr;
    unsigned char* const old = masked ? q + rowLen : nullptr;
    for (int32_t y = y0; y < y1; ++y) {
      const uint16_t* a = hs + std::max(y - 1, 0) * rowLen;
      const uint16_t* b = hs + y * rowLen;
      const uint16_t* c = hs + std::min(y + 1, h - 1) * rowLen;
      unsigned char* out = base + y * step;
      unsigned char* const made = masked ? q : out;
      for (int64_t i = wide(a, b, c, made, 0, rowLen, pass); i < rowLen; ++i)
        made[i] = t[a[i] + b[i] + c[i]];
      if (!masked) continue;
      std::memcpy(old, out, static_cast<size_t>(rowLen));
      MixRowByMask(out, q, old, mask, y, w, 0, w, samples, kNearestMix);
    }
  });
  return 0;
}

// o[x] = MeanOfFour of the 2 x 2 samples r0[2x], r0[2x + 1], r1[2x], r1[2x + 1] for x in
// [from, to) of a one-sample row; returns where it stopped (the plain loop does the rest).
using HalveRowFn = int32_t (*)(const unsigned char* r0, const unsigned char* r1,
                               unsigned char* o, int32_t from, int32_t to, bool nearest);

int32_t HalveRowPlain(const unsigned char*, const unsigned char*, unsigned char*, int32_t from,
                      int32_t, bool) {
  return from;
}

#if VMK_SIMD_X86
// The pairs' sums as the multiply-add of the bytes by ones (at most 510 a lane); to the
// nearest, MeanOfFour's 1 and its tie's 1 (all ones where the sum lies below 510).
VMK_TARGET_AVX2 int32_t HalveRowAvx2(const unsigned char* r0, const unsigned char* r1,
                                     unsigned char* o, int32_t x, int32_t to, bool nearest) {
  const __m256i ones = _mm256_set1_epi8(1);
  const __m256i one = _mm256_set1_epi16(nearest ? 1 : 0);
  const __m256i mid = _mm256_set1_epi16(510);
  for (; x + 16 <= to; x += 16) {
    const __m256i a =
        _mm256_maddubs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(r0 + 2 * x)), ones);
    const __m256i b =
        _mm256_maddubs_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(r1 + 2 * x)), ones);
    const __m256i s = _mm256_add_epi16(a, b);
    const __m256i tie = _mm256_and_si256(
        _mm256_xor_si256(_mm256_srli_epi16(s, 2), _mm256_cmpgt_epi16(mid, s)), one);
    const __m256i m = _mm256_srli_epi16(_mm256_add_epi16(s, _mm256_add_epi16(one, tie)), 2);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x),
                     _mm_packus_epi16(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1)));
  }
  return x;
}

VMK_TARGET_AVX512 int32_t HalveRowAvx512(const unsigned char* r0, const unsigned char* r1,
                                         unsigned char* o, int32_t x, int32_t to, bool nearest) {
  const __m512i ones = _mm512_set1_epi8(1);
  const __m512i one = _mm512_set1_epi16(nearest ? 1 : 0);
  const __m512i mid = _mm512_set1_epi16(510);
  for (; x + 32 <= to; x += 32) {
    const __m512i a = _mm512_maddubs_epi16(_mm512_loadu_si512(r0 + 2 * x), ones);
    const __m512i b = _mm512_maddubs_epi16(_mm512_loadu_si512(r1 + 2 * x), ones);
    const __m512i s = _mm512_add_epi16(a, b);
    const __m512i below = _mm512_movm_epi16(_mm512_cmplt_epi16_mask(s, mid));
    const __m512i tie =
        _mm512_and_si512(_mm512_xor_si512(_mm512_srli_epi16(s, 2), below), one);
    const __m512i m = _mm512_srli_epi16(_mm512_add_epi16(s, _mm512_add_epi16(one, tie)), 2);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + x),
                        _mm512_maskz_cvtepi16_epi8(0xFFFFFFFFu, m));
  }
  return HalveRowAvx2(r0, r1, o, x, to, nearest);
}
#endif

// Row y of the halved level, columns left..right, into o.
void HalveOneRow(const unsigned char* src, int32_t srcWidth, int32_t srcHeight, unsigned char* o,
                 int32_t y, int32_t left, int32_t right, int32_t samples, HalveRowFn halve,
                 bool nearest) {
  // A source one sample wide or high pairs the sample with itself.
  int32_t y0 = 2 * y < srcHeight - 2 ? 2 * y : srcHeight - 2;
  if (y0 < 0) y0 = 0;
  const int32_t y1 = y0 + 1 < srcHeight ? y0 + 1 : y0;
  const unsigned char* r0 = src + static_cast<int64_t>(y0) * srcWidth * samples;
  const unsigned char* r1 = src + static_cast<int64_t>(y1) * srcWidth * samples;
  // Columns whose pair lies inside the source, without the clamps.
  const int32_t inner = srcWidth >= 2 ? std::min(right, (srcWidth - 2) / 2) : left - 1;
  int32_t x = left;
  if (samples == 1) {
    if (x <= inner) x = halve(r0, r1, o, x, inner + 1, nearest);
    for (; x <= inner; ++x)
      o[x] = static_cast<unsigned char>(
          MeanOfFour(r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1], nearest));
  }
  for (; x <= right; ++x) {
    int32_t x0 = 2 * x < srcWidth - 2 ? 2 * x : srcWidth - 2;
    if (x0 < 0) x0 = 0;
    const int32_t x1 = x0 + 1 < srcWidth ? x0 + 1 : x0;
    for (int32_t c = 0; c < samples; ++c) {
      const int32_t s = r0[x0 * samples + c] + r0[x1 * samples + c] + r1[x0 * samples + c] +
                        r1[x1 * samples + c];
      o[x * samples + c] = static_cast<unsigned char>(MeanOfFour(s, nearest));
    }
  }
}

HalveRowFn PickHalveRow() {
#if VMK_SIMD_X86
  return plat::PickKernel<HalveRowFn>(HalveRowPlain, HalveRowAvx2, HalveRowAvx512);
#else
  return HalveRowPlain;
#endif
}

// --- The pyramid blur's last steps in bands of rows ---------------------------------------
//
// A one-sample blur whose box passes all run on level 1 (radius 0 to 3) halves level 0, does
// the passes and doubles back band by band: each band of level 1's rows runs its passes
// through rings of three rows per pass, recomputing the few rows its neighbours also need,
// and doubles each finished row straight into the plane (or into a scratch row handed on), so
// that level 0 is read once and written once and nothing else goes over a whole plane.
// Three 6000 x 4000 planes at radius 2, a loaded machine (load ~24): as whole-plane passes
// with a copy and a blend back 75-80 ms (8 threads) and 160-180 ms (one thread); this way
// 10-12 ms and 26-31 ms without a mask, 14-18 ms and ~49 ms through one (load ~20).

// floor((s + 4) / 9), the quotient of the first passes (kNearestPasses), as the vector forms
// take it.
inline unsigned char Ninth(uint32_t s) {
  return static_cast<unsigned char>(((s + 4) * kNinth) >> 16);
}

// q[i] = the box's quotient of a first pass for a row of n samples from its row above a, its
// own b and below c (already clamped to the level), the columns past either end repeating
// the end.
using BoxRowFn = void (*)(const unsigned char* a, const unsigned char* b, const unsigned char* c,
                          unsigned char* q, int32_t n);

inline void BoxRowRange(const unsigned char* a, const unsigned char* b, const unsigned char* c,
                        unsigned char* q, int32_t from, int32_t to) {
  for (int32_t i = from; i < to; ++i)
    q[i] = Ninth(static_cast<uint32_t>(a[i - 1] + a[i] + a[i + 1] + b[i - 1] + b[i] + b[i + 1] +
                                       c[i - 1] + c[i] + c[i + 1]));
}

inline void BoxRowEnds(const unsigned char* a, const unsigned char* b, const unsigned char* c,
                       unsigned char* q, int32_t n) {
  const auto v = [&](int32_t i) { return static_cast<uint32_t>(a[i] + b[i] + c[i]); };
  if (n == 1) {
    q[0] = Ninth(3 * v(0));
    return;
  }
  q[0] = Ninth(2 * v(0) + v(1));
  q[n - 1] = Ninth(v(n - 2) + 2 * v(n - 1));
}

void BoxRowPlain(const unsigned char* a, const unsigned char* b, const unsigned char* c,
                 unsigned char* q, int32_t n) {
  BoxRowEnds(a, b, c, q, n);
  BoxRowRange(a, b, c, q, 1, n - 1);
}

#if VMK_SIMD_X86
// Sixteen sums a step in 16-bit lanes (at most 2299 each, with the 4), nine widened loads
// of them, over the columns [i, n - 1) whose neighbours both lie inside the row.
VMK_TARGET_AVX2 void BoxRowAvx2From(const unsigned char* a, const unsigned char* b,
                                    const unsigned char* c, unsigned char* q, int32_t i,
                                    int32_t n) {
  const __m256i ninth = _mm256_set1_epi16(static_cast<int16_t>(kNinth));
  for (; i + 16 <= n - 1; i += 16) {
    __m256i s = _mm256_set1_epi16(4);
    for (const unsigned char* r : {a, b, c})
      s = _mm256_add_epi16(_mm256_add_epi16(s, Widen16(r + i - 1)),
                           _mm256_add_epi16(Widen16(r + i), Widen16(r + i + 1)));
    s = _mm256_mulhi_epu16(s, ninth);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(q + i),
                     _mm_packus_epi16(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1)));
  }
  BoxRowRange(a, b, c, q, i, n - 1);
}

VMK_TARGET_AVX2 void BoxRowAvx2(const unsigned char* a, const unsigned char* b,
                                const unsigned char* c, unsigned char* q, int32_t n) {
  BoxRowEnds(a, b, c, q, n);
  BoxRowAvx2From(a, b, c, q, 1, n);
}

// Thirty-two a step, the rest in the narrower form.
VMK_TARGET_AVX512 void BoxRowAvx512(const unsigned char* a, const unsigned char* b,
                                    const unsigned char* c, unsigned char* q, int32_t n) {
  BoxRowEnds(a, b, c, q, n);
  const __m512i ninth = _mm512_set1_epi16(static_cast<int16_t>(kNinth));
  int32_t i = 1;
  for (; i + 32 <= n - 1; i += 32) {
    __m512i s = _mm512_set1_epi16(4);
    for (const unsigned char* r : {a, b, c})
      s = _mm512_add_epi16(_mm512_add_epi16(s, Widen32(r + i - 1)),
                           _mm512_add_epi16(Widen32(r + i), Widen32(r + i + 1)));
    s = _mm512_mulhi_epu16(s, ninth);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(q + i),
                        _mm512_maskz_cvtepi16_epi8(0xFFFFFFFFu, s));
  }
  BoxRowAvx2From(a, b, c, q, i, n);
}
#endif

// Row d of level 0 (w0 >= 2 samples) from its row s of level 1, as the blur's doubling makes
// it: even columns take s's samples, odd ones the nearest mean of the two beside them, and an
// even width's last column repeats the one before it.
using ExpandRowFn = void (*)(const unsigned char* s, unsigned char* d, int32_t w0);

inline void ExpandRowFrom(const unsigned char* s, unsigned char* d, int32_t w0, int32_t k) {
  const int32_t pairs = (w0 - 1) / 2;
  for (; k < pairs; ++k) {
    d[2 * k] = s[k];
    d[2 * k + 1] = static_cast<unsigned char>(MeanOfTwo(s[k], s[k + 1], true));
  }
  d[2 * pairs] = s[pairs];
  if ((w0 - 1) % 2 == 1) d[w0 - 1] = d[w0 - 2];
}

void ExpandRowPlain(const unsigned char* s, unsigned char* d, int32_t w0) {
  int32_t k = 0;
#if VMK_SIMD_X86
  // Sixteen of s a step, interleaved with their nearest means: the floor mean (the
  // rounded-up one less the low bit of the difference, which marks a tie) taken up at a tie
  // where it is even below mid-grey and odd from there (the saturated sum is 255 there).
  const int32_t pairs = (w0 - 1) / 2;
  const __m128i one = _mm_set1_epi8(1);
  const __m128i full = _mm_set1_epi8(-1);
  for (; k + 16 <= pairs; k += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + k + 1));
    const __m128i tie = _mm_and_si128(_mm_xor_si128(a, b), one);
    const __m128i f = _mm_sub_epi8(_mm_avg_epu8(a, b), tie);
    const __m128i high = _mm_cmpeq_epi8(_mm_adds_epu8(a, b), full);
    const __m128i m = _mm_add_epi8(f, _mm_andnot_si128(_mm_xor_si128(f, high), tie));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * k), _mm_unpacklo_epi8(a, m));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * k + 16), _mm_unpackhi_epi8(a, m));
  }
#endif
  ExpandRowFrom(s, d, w0, k);
}

#if VMK_SIMD_X86
VMK_TARGET_AVX2 void ExpandRowAvx2(const unsigned char* s, unsigned char* d, int32_t w0) {
  const int32_t pairs = (w0 - 1) / 2;
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i full = _mm256_set1_epi8(-1);
  int32_t k = 0;
  for (; k + 32 <= pairs; k += 32) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + k + 1));
    const __m256i tie = _mm256_and_si256(_mm256_xor_si256(a, b), one);
    const __m256i f = _mm256_sub_epi8(_mm256_avg_epu8(a, b), tie);
    const __m256i high = _mm256_cmpeq_epi8(_mm256_adds_epu8(a, b), full);
    const __m256i m = _mm256_add_epi8(f, _mm256_andnot_si256(_mm256_xor_si256(f, high), tie));
    // The unpacks work within 128-bit halves: put the halves back in order.
    const __m256i lo = _mm256_unpacklo_epi8(a, m), hi = _mm256_unpackhi_epi8(a, m);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * k),
                        _mm256_permute2x128_si256(lo, hi, 0x20));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 2 * k + 32),
                        _mm256_permute2x128_si256(lo, hi, 0x31));
  }
  ExpandRowFrom(s, d, w0, k);
}
#endif

// Where the rows of level 0 go: straight into the plane, or into a band's three scratch
// rows handed on to `sink` once made.
struct BlurRowsOut {
  unsigned char* plane = nullptr;
  const BlurRowSink* sink = nullptr;
};

// The box passes on level 1 (w1 x h1, one sample) and the doubling to level 0 (w0 x h0,
// h0 even, w0 >= 2), level 1 either whole in `level` or halved here from `source` (level 0):
// first the rows at every band's edges, which the bands beside it read too, kept apart; then
// each band's others, as its passes come to them, into a ring of three rows. A band so reads
// its rows of level 0 just before it writes them, and level 1 never exists whole. The passes
// are the blur's first (at most four, those of radii 0 to 3), which round to the nearest.
// Returns 0, or -1 before any row is made.
int32_t BlurTail(const unsigned char* level, const unsigned char* source, int32_t w1, int32_t h1,
                 int32_t w0, int32_t h0, int32_t passes, const MaskSampling& mask,
                 BlurRowsOut out) {
  // Bands of 64 rows of level 1: the rows recomputed at a band's edges for its passes stay
  // under a tenth of its own, and a band's rings and rows stay in its core's cache.
  constexpr int32_t kBandRows = 64;
  const int32_t bands = plat::BandCount(0, h1, kBandRows);
  // A band reads `passes` rows of level 1 above its own and passes + 1 below.
  const int32_t edge = passes + 1;
  const int64_t ringBytes = (static_cast<int64_t>(passes) * 3 + 3 + 1) * w1;
  const int64_t bandBytes = ringBytes + 3 * static_cast<int64_t>(w0);
  const int64_t edgeBytes = 2 * static_cast<int64_t>(edge) * w1;
  plat::Block<unsigned char> scratch(bandBytes * bands, WorkSource());
  plat::Block<unsigned char> edgeRows(source != nullptr ? edgeBytes * bands : 0, WorkSource());
  if (!scratch || (source != nullptr && !edgeRows)) return -1;
#if VMK_SIMD_X86
  const BoxRowFn boxRow = plat::PickKernel<BoxRowFn>(BoxRowPlain, BoxRowAvx2, BoxRowAvx512);
  const ExpandRowFn expand = plat::PickKernel<ExpandRowFn>(ExpandRowPlain, ExpandRowAvx2);
#else
  const BoxRowFn boxRow = BoxRowPlain;
  const ExpandRowFn expand = ExpandRowPlain;
#endif
  unsigned char* const base = scratch.get();
  unsigned char* const edges = edgeRows.get();
  const HalveRowFn halve = PickHalveRow();
  const auto halveRow = [=](int32_t j, unsigned char* into) {
    HalveOneRow(source, w0, h0, into, j, 0, w1 - 1, 1, halve, true);
  };
  // Where a band's first `edge` and last `edge` rows of level 1 are kept (a short band's in
  // both places); null for any other row.
  const auto edgeRow = [=](int32_t y) -> unsigned char* {
    const int32_t b = y / kBandRows, j0 = b * kBandRows, j1 = std::min(j0 + kBandRows, h1);
    unsigned char* const e = edges + edgeBytes * b;
    if (y < j0 + edge) return e + static_cast<int64_t>(y - j0) * w1;
    if (y >= j1 - edge) return e + static_cast<int64_t>(edge + j1 - 1 - y) * w1;
    return nullptr;
  };
  if (source != nullptr) {
    plat::ParallelFor(0, h1, kBandRows, [=](int32_t, int32_t j0, int32_t j1) {
      for (int32_t j = j0; j < j1; ++j) {
        if (j < j0 + edge) halveRow(j, edges + edgeBytes * (j / kBandRows) +
                                           static_cast<int64_t>(j - j0) * w1);
        if (j >= j1 - edge) halveRow(j, edges + edgeBytes * (j / kBandRows) +
                                            static_cast<int64_t>(edge + j1 - 1 - j) * w1);
      }
    });
  }
  plat::ParallelFor(0, h1, kBandRows, [&, base, level, source, w1, h1, w0, h0, passes, boxRow,
                                       expand, edge, halveRow, edgeRow](int32_t band, int32_t j0,
                                                                        int32_t j1) {
    unsigned char* const ring = base + bandBytes * band;
    unsigned char* const q = ring + static_cast<int64_t>(passes + 1) * 3 * w1;
    unsigned char* const slots = ring + ringBytes;
    // Pass k's next row to make; pass 0 is level 1 itself. A pass starts one row above the
    // next one's first, which its first row reads.
    int32_t next[5] = {0, 0, 0, 0, 0};
    next[passes] = j0;
    for (int32_t k = passes; k > 1; --k) next[k - 1] = std::max(next[k] - 1, 0);
    // The band's rows of level 1 not at its edges, halved up to row y into ring 0.
    int32_t halved = j0 + edge;
    const int32_t inside = j1 - edge;
    const auto halveTo = [&](int32_t y) {
      for (; source != nullptr && halved <= y && halved < inside; ++halved) {
        halveRow(halved, ring + static_cast<int64_t>(halved % 3) * w1);
#if VMK_SIMD_X86
        // The two mask rows under the row just halved: its passes read the first, the
        // doubling both, a few rows on; fetched now, they are in cache by then (first
        // touches otherwise stalled the passes' mix and the blend on memory).
        if (mask.mask != nullptr) {
          const int64_t from = std::min<int64_t>(2 * static_cast<int64_t>(halved) * w0, mask.limit);
          const int64_t to = std::min<int64_t>(from + 2 * static_cast<int64_t>(w0), mask.limit);
          for (int64_t i = from; i < to; i += 64)
            _mm_prefetch(reinterpret_cast<const char*>(mask.mask + i), _MM_HINT_T0);
        }
#endif
      }
    };
    const auto row = [&](int32_t k, int32_t y) -> unsigned char* {
      if (k == 0 && source == nullptr)
        return const_cast<unsigned char*>(level) + static_cast<int64_t>(y) * w1;
      if (k == 0) {
        unsigned char* e = edgeRow(y);
        if (e != nullptr) return e;
      }
      return ring + (static_cast<int64_t>(k) * 3 + y % 3) * w1;
    };
    // Makes pass k's rows up to y; each asks the pass before for the row below it first, so
    // the three rows it reads are the last three of that pass's ring.
    const auto advance = [&](auto& self, int32_t k, int32_t y) -> void {
      for (; next[k] <= y; ++next[k]) {
        const int32_t r = next[k];
        if (k > 1) {
          self(self, k - 1, std::min(r + 1, h1 - 1));
        } else {
          halveTo(std::min(r + 1, h1 - 1));
        }
        const unsigned char* old = row(k - 1, r);
        unsigned char* made = row(k, r);
        const unsigned char* above = row(k - 1, std::max(r - 1, 0));
        const unsigned char* below = row(k - 1, std::min(r + 1, h1 - 1));
        if (mask.mask == nullptr) {
          boxRow(above, old, below, made, w1);
        } else {
          boxRow(above, old, below, q, w1);
          MixRowByMask(made, q, old, mask, r, w1, 0, w1, 1, kNearestMix);
        }
      }
    };
    const auto finished = [&](int32_t j) {
      if (passes > 0) {
        advance(advance, passes, j);
      } else {
        halveTo(j);
      }
      return row(passes, j);
    };
    // Row y of level 0 is made in the plane, or in scratch slot y % 3; the row just below
    // the band is made in scratch either way, as the band below makes it too.
    const auto target = [&](int32_t y) {
      if (out.plane != nullptr && y < 2 * j1) return out.plane + static_cast<int64_t>(y) * w0;
      return slots + static_cast<int64_t>(y % 3) * w0;
    };
    const auto done = [&](int32_t y, unsigned char* r) {
      if (out.sink != nullptr) (*out.sink)(y, r);
    };
    unsigned char* even = target(2 * j0);
    expand(finished(j0), even, w0);
    for (int32_t j = j0; j < j1; ++j) {
      // The odd row below is the nearest mean of the even rows around it; the last row of the
      // (even) height repeats the one above.
      const int32_t y = 2 * j + 1;
      unsigned char* odd = target(y);
      unsigned char* below = nullptr;
      if (y == h0 - 1) {
        std::memcpy(odd, even, static_cast<size_t>(w0));
      } else {
        below = target(y + 1);
        expand(finished(j + 1), below, w0);
        MeanRow(even, below, odd, w0, true);
      }
      done(y - 1, even);
      done(y, odd);
      even = below;
    }
  });
  return 0;
}

}  // namespace

void X_optionBlend(unsigned char* out, int16_t mode, int32_t a, int32_t b) {
  int32_t v;
  switch (mode) {
    case 1: v = b; break;
    case 2: v = a + b > 255 ? 255 : a + b; break;
    case 3: v = a - b < 0 ? 0 : a - b; break;
    case 4: v = a > b ? a : b; break;
    case 5: v = a < b ? a : b; break;
    case 6: v = b < a ? a - b : b - a; break;
    case 7: v = a * b / 255; break;
    case 8: v = (255 - a) * (255 - b) / 255; break;
    case 9:
      if (b < 129) {
        v = a - (255 - a) * ((128 - b) * a) / 32640;
      } else {
        v = a + (255 - a) * (a * (b - 128)) / 32640;
      }
      v = ClampInt(v, 0, 255);
      break;
    default:
      return;
  }
  *out = static_cast<unsigned char>(v);
}

void X_optionBlend16(int32_t* out, int16_t mode, int32_t a, int32_t b) {
  constexpr int32_t F = 32640;
  int32_t v;
  switch (mode) {
    case 1: v = b; break;
    case 2: v = a + b > F ? F : a + b; break;
    case 3: v = a - b < 0 ? 0 : a - b; break;
    case 4: v = a > b ? a : b; break;
    case 5: v = a < b ? a : b; break;
    case 6: v = b < a ? a - b : b - a; break;
    case 7: v = a * b / F; break;
    case 8: v = (F - a) * (F - b) / F; break;
    case 9:
      if (b >= 16385) {
        v = a + ((F - a) / 128) * (a * ((b - 16384) / 128)) / F;
      } else {
        v = a - ((F - a) / 128) * (((16384 - b) / 128) * a) / F;
      }
      v = ClampInt(v, 0, F);
      break;
    default:
      return;
  }
  *out = v;
}

int32_t HSLBlendChar(unsigned char* red, unsigned char* green, unsigned char* blue, int32_t height,
                     int32_t width, int32_t left, int32_t top, int32_t right, int32_t bottom,
                     int16_t hueShift, int16_t saturation, int16_t lightness) {
  plat::InclusiveRect rect{left, top, right, bottom};
  if (red == nullptr || green == nullptr || blue == nullptr || !rect.ClipTo(width, height))
    return 0;
  using View = plat::PlaneView<unsigned char>;
  HslRect(View::Packed(red, width, height), View::Packed(green, width, height),
          View::Packed(blue, width, height), 1, rect, hueShift, saturation, lightness);
  return 0;
}

int32_t HSLBlendLong(uint32_t* buffer, int32_t height, int32_t width, int32_t left, int32_t top,
                     int32_t right, int32_t bottom, int16_t hueShift, int16_t saturation,
                     int16_t lightness) {
  plat::InclusiveRect rect{left, top, right, bottom};
  if (buffer == nullptr || !rect.ClipTo(width, height)) return 0;
  // Bytes 0, 1 and 2 of each pixel, seen as three planes four bytes apart.
  unsigned char* bytes = reinterpret_cast<unsigned char*>(buffer);
  const int64_t rowBytes = static_cast<int64_t>(width) * 4;
  HslRect({bytes, width, height, rowBytes}, {bytes + 1, width, height, rowBytes},
          {bytes + 2, width, height, rowBytes}, 4, rect, hueShift, saturation, lightness);
  return 0;
}

int32_t ApplyMatrix(unsigned char* buffer, const unsigned char* mask, int32_t maskStepX,
                    int32_t maskStepY, int32_t width, int32_t height, int32_t left, int32_t right,
                    int32_t top, int32_t bottom, int32_t radius, int32_t samples,
                    const unsigned char* offsets, float divisor, const int32_t* kernel) {
  if (samples < 1 || samples > 9) return -1;
  return ApplyMatrixCore(Interleaved(buffer, width, height, samples), samples,
                         {mask, maskStepX, maskStepY, INT64_MAX}, {left, top, right, bottom},
                         radius, offsets, divisor, kernel);
}

namespace {

// The halving and the doubling, each mean truncated or (the pyramid blur's) rounded to the
// nearest.
void HalveLevel(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t samples,
                const unsigned char* src, unsigned char* dst, bool nearest) {
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0) return;
  left = left < 0 ? 0 : left;
  top = top < 0 ? 0 : top;
  right = right > dstWidth - 1 ? dstWidth - 1 : right;
  bottom = bottom > dstHeight - 1 ? dstHeight - 1 : bottom;
  const HalveRowFn halve = PickHalveRow();
  plat::ParallelFor(top, bottom + 1, 16, [=](int32_t firstRow, int32_t endRow) {
    for (int32_t y = firstRow; y < endRow; ++y)
      HalveOneRow(src, srcWidth, srcHeight, dst + static_cast<int64_t>(y) * dstWidth * samples, y,
                  left, right, samples, halve, nearest);
  });
}

void DoubleLevel(int32_t width, int32_t left, int32_t top, int32_t right, int32_t bottom,
                 int32_t samples, unsigned char* dst, const unsigned char* src, bool nearest) {
  if (src == nullptr || dst == nullptr || left > right || top > bottom) return;
  auto at = [=](int32_t x, int32_t y) {
    return dst + (static_cast<int64_t>(y) * width + x) * samples;
  };
  // The small level's samples go to the even rows and columns, then the odd
  // rows take the mean of the even ones around them; within each step the
  // rows are independent.
  const int64_t smallRow = static_cast<int64_t>((right - left) / 2 + 1) * samples;
  const int32_t evenRows = (bottom - top) / 2 + 1;
  plat::ParallelFor(0, evenRows, 16, [=](int32_t firstRow, int32_t endRow) {
    for (int32_t y = top + 2 * firstRow; y < top + 2 * endRow; y += 2) {
      const unsigned char* s = src + smallRow * ((y - top) / 2);
      // Even columns take the small level's samples, odd ones the mean of
      // the two beside them, which are those same samples.
      unsigned char* d = at(left, y);
      const int32_t pairs = (right - left) / 2;
      if (samples == 1) {
        for (int32_t k = 0; k < pairs; ++k) {
          d[2 * k] = s[k];
          d[2 * k + 1] = static_cast<unsigned char>(MeanOfTwo(s[k], s[k + 1], nearest));
        }
        d[2 * pairs] = s[pairs];
      } else {
        for (int32_t k = 0; k <= pairs; ++k) {
          std::memcpy(d + 2 * k * samples, s + k * samples, samples);
          if (k == pairs) break;
          for (int32_t c = 0; c < samples; ++c)
            d[(2 * k + 1) * samples + c] = static_cast<unsigned char>(
                MeanOfTwo(s[k * samples + c], s[(k + 1) * samples + c], nearest));
        }
      }
      // With an even width the last column has no right neighbour: repeat its
      // left one.
      if ((right - left) % 2 == 1) std::memcpy(at(right, y), at(right - 1, y), samples);
    }
  });
  plat::ParallelFor(0, (bottom - top) / 2, 16, [=](int32_t firstRow, int32_t endRow) {
    for (int32_t y = top + 1 + 2 * firstRow; y < top + 1 + 2 * endRow; y += 2)
      MeanRow(at(left, y - 1), at(left, y + 1), at(left, y),
              static_cast<int64_t>(right - left + 1) * samples, nearest);
  });
  // Likewise the last row of an even height repeats the row above.
  if ((bottom - top) % 2 == 1) {
    std::memcpy(at(left, bottom), at(left, bottom - 1),
                static_cast<size_t>(right - left + 1) * samples);
  }
}

}  // namespace

void DivideInHalf(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                  int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t samples,
                  const unsigned char* src, unsigned char* dst) {
  HalveLevel(srcWidth, srcHeight, dstWidth, dstHeight, left, top, right, bottom, samples, src, dst,
             false);
}

void Double(int32_t width, int32_t height, int32_t left, int32_t top, int32_t right, int32_t bottom,
            int32_t samples, unsigned char* dst, const unsigned char* src) {
  (void)height;
  DoubleLevel(width, left, top, right, bottom, samples, dst, src, false);
}

namespace {

// The pyramid blur of X_Blur_buffer. A one-sample plane takes its last steps in bands
// (BlurTail), its rows going to `out`; any other keeps whole-level passes and doubles back
// into the buffer. Every halving, box pass (with its offsets, and its mix through the mask)
// and doubling rounds, so the picture keeps its brightness however many passes the radius
// asks.
// Returns 0, or -1 before level 0 is written or any row handed on.
int32_t PyramidBlur(unsigned char* buffer, const unsigned char* mask, int32_t width,
                    int32_t height, int32_t radius, int32_t samples, BlurRowsOut out) {
  if (buffer == nullptr || samples < 1 || samples > 9 || radius < 0) return -1;
  int32_t w[3], h[3];
  w[0] = width;
  h[0] = height & ~1;
  const bool banded = samples == 1;
  // Rows handed on that no step makes (a plane too small to blur, or the last row of an odd
  // height) go as they are, from a row of their own.
  plat::Block<unsigned char> asIs;
  if (out.sink != nullptr) {
    asIs = plat::Block<unsigned char>(std::max(width, 1), WorkSource());
    if (!asIs) return -1;
  }
  const auto handAsIs = [&](int32_t y) {
    std::memcpy(asIs.get(), buffer + static_cast<int64_t>(y) * width, static_cast<size_t>(width));
    (*out.sink)(y, asIs.get());
  };
  if (w[0] < 2 || h[0] < 2) {  // nothing to blur
    for (int32_t y = 0; out.sink != nullptr && width > 0 && y < height; ++y) handAsIs(y);
    return 0;
  }
  for (int k = 0; k < 2; ++k) {
    w[k + 1] = (w[k] + 1) / 2;
    h[k + 1] = (h[k] + 1) / 2;
  }
  const int64_t maskLimit = static_cast<int64_t>(width) * height;

  // Level 0 is the caller's buffer; the reduced levels live only while needed.
  plat::Block<unsigned char> owned[3];
  unsigned char* level[3] = {buffer, nullptr, nullptr};
  auto newLevel = [&](int k) {
    owned[k] = plat::Block<unsigned char>(static_cast<int64_t>(w[k] + 1) * (h[k] + 1) * samples,
                                          WorkSource());
    level[k] = owned[k].get();
    return owned[k].get() != nullptr;
  };
  auto dropLevel = [&](int k) {
    owned[k].reset();
    level[k] = nullptr;
  };

  const int32_t K = radius / 4;
  const int32_t P = radius - 4 * K + 1;
  // Passes that all run on level 1 go into the banded last steps.
  const int32_t tailPasses = banded && K == 0 ? P : 0;
  static_assert(kNearestPasses >= 4, "the banded passes round to the nearest");
  int halvings = 0;
  for (int32_t k = 0; k <= K; ++k) {
    if (halvings < 2) {
      // The banded last steps halve level 0 themselves, a band at a time.
      if (tailPasses == 0) {
        if (!newLevel(halvings + 1)) return -1;
        HalveLevel(w[halvings], h[halvings], w[halvings + 1], h[halvings + 1], 0, 0,
                   w[halvings + 1] - 1, h[halvings + 1] - 1, samples, level[halvings],
                   level[halvings + 1], true);
      }
      if (halvings > 0) dropLevel(halvings);
      ++halvings;
    }
    if (tailPasses > 0) continue;
    const int32_t step = 1 << halvings;
    const auto view = Interleaved(level[halvings], w[halvings], h[halvings], samples);
    for (int32_t p = 0; p < P; ++p)
      if (BoxPass(view, samples, {mask, step, step, maskLimit}, k * P + p) != 0) return -1;
  }
  for (int k = halvings; k > (banded ? 1 : 0); --k) {
    if (level[k - 1] == nullptr && !newLevel(k - 1)) return -1;
    DoubleLevel(w[k - 1], 0, 0, w[k - 1] - 1, h[k - 1] - 1, samples, level[k - 1], level[k], true);
    dropLevel(k);
  }
  if (!banded) return 0;
  const bool oddLast = out.sink != nullptr && height > h[0];
  if (oddLast) std::memcpy(asIs.get(), buffer + static_cast<int64_t>(h[0]) * width,
                            static_cast<size_t>(width));
  if (BlurTail(level[1], tailPasses > 0 ? level[0] : nullptr, w[1], h[1], w[0], h[0], tailPasses,
               {mask, 2, 2, maskLimit}, out) != 0) {
    return -1;
  }
  if (oddLast) (*out.sink)(h[0], asIs.get());
  return 0;
}

}  // namespace

int32_t PyramidBoxOffset(int32_t sum, int32_t pass) {
  return static_cast<int32_t>(BoxOffset(static_cast<uint32_t>(sum), pass));
}

int32_t X_Blur_buffer(unsigned char* buffer, const unsigned char* mask, int32_t width,
                      int32_t height, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int32_t radius, int32_t samples) {
  (void)left;
  (void)top;
  (void)right;
  (void)bottom;
  return PyramidBlur(buffer, mask, width, height, radius, samples, {buffer, nullptr});
}

int32_t BlurPlaneRows(const unsigned char* plane, const unsigned char* mask, int32_t width,
                      int32_t height, int32_t radius, const BlurRowSink& sink) {
  // Level 0 is only read (by the first halving) when the rows go to a sink.
  return PyramidBlur(const_cast<unsigned char*>(plane), mask, width, height, radius, 1,
                     {nullptr, &sink});
}

int32_t X_Emboss(unsigned char* buffer, const unsigned char* mask, int32_t height, int32_t width,
                 int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t radius,
                 int32_t samples, int32_t offset, int32_t angle, float divisor) {
  if (radius < 0 || samples < 1 || samples > 9) return -1;
  const int32_t side = 2 * radius + 1;
  const plat::Block<int32_t> kernel(static_cast<int64_t>(side) * side, WorkSource());
  if (!kernel) return -1;
  kernel.Clear();
  unsigned char offsets[9];
  for (auto& o : offsets) o = static_cast<unsigned char>(ClampInt(offset, 0, 255));

  while (angle > 360) angle -= 360;
  int32_t folded = angle;
  if (folded > 90 && folded <= 180) {
    folded = 180 - folded;
  } else if (folded > 180 && folded <= 270) {
    folded = folded - 180;
  } else if (folded > 270 && folded <= 360) {
    folded = 360 - folded;
  }
  const double theta = folded * 6.283185308 / 360.0;
  int32_t dx = radius, dy = 0;
  if (radius > 0) {
    double best = 0.0;
    for (int32_t k = 0; k <= radius; ++k) {
      const double cand = std::atan(static_cast<double>(k) / radius);
      if (std::fabs(cand - theta) < std::fabs(theta - best)) {
        best = cand;
        dx = radius;
        dy = k;
      }
    }
    for (int32_t k = 0; k <= radius; ++k) {
      const double cand = k == 0 ? 1.5707963267948966 : std::atan(static_cast<double>(radius) / k);
      if (std::fabs(cand - theta) < std::fabs(theta - best)) {
        best = cand;
        dx = k;
        dy = radius;
      }
    }
  }
  if (angle >= 91 && angle <= 180) {
    dx = -dx;
  } else if (angle >= 181 && angle <= 270) {
    dx = -dx;
    dy = -dy;
  } else if (angle >= 271 && angle <= 360) {
    dy = -dy;
  }
  kernel[(-dy + radius) * side + (dx + radius)] = 1;
  kernel[(dy + radius) * side + (-dx + radius)] = -1;
  return ApplyMatrix(buffer, mask, 1, 1, width, height, left, right, top, bottom, radius, samples,
                     offsets, divisor, kernel.get());
}

void X_lutcontrast(int32_t* table, int32_t amount) {
  if (table == nullptr) return;
  // Beyond +-255 the ranges below would index outside the table.
  const int32_t a = ClampInt(amount, -255, 255);
  if (a < 0) {
    for (int32_t i = 0; i < 256; ++i) table[i] = (i * (255 + 2 * a)) / 255 - a;
    return;
  }
  for (int32_t i = 0; i <= a; ++i) table[i] = 0;
  if (255 - 2 * a > 0) {
    for (int32_t i = a; i <= 254 - a; ++i) table[i] = ((i - a) * 255) / (255 - 2 * a);
  }
  for (int32_t i = 255 - a; i <= 255; ++i) table[i] = 255;
}

int32_t X_FindEdge(unsigned char* plane, const unsigned char* mask, int32_t height, int32_t width,
                   int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t opacity,
                   int32_t radius, int32_t contrast, int16_t unused) {
  (void)mask;
  (void)unused;
  plat::InclusiveRect rect{left, top, right, bottom};
  if (plane == nullptr || !rect.ClipTo(width, height)) return -1;
  return FindEdgeCore(plat::PlaneView<unsigned char>::Packed(plane, width, height), rect, opacity,
                      radius, contrast);
}

namespace {

int32_t FindEdgeCore(plat::PlaneView<unsigned char> plane, plat::InclusiveRect rect,
                     int32_t opacity, int32_t radius, int32_t contrast) {
  const int32_t nx = rect.width();
  const int32_t ny = rect.height();
  const int64_t size = static_cast<int64_t>(nx) * ny;
  // The strongest edge of the four directions gathers apart from the plane,
  // so that an emboss failing half way leaves the plane as it was.
  const plat::Block<unsigned char> workBlock(size, WorkSource());
  const plat::Block<unsigned char> keepBlock(size, WorkSource());
  const plat::Block<unsigned char> edgeBlock(size, WorkSource());
  if (!workBlock || !keepBlock || !edgeBlock) return -1;
  unsigned char* work = workBlock.get();
  unsigned char* keep = keepBlock.get();
  unsigned char* edges = edgeBlock.get();
  // The rectangle cut out of the plane, and the plane's rows inside it.
  const auto region = [&](int32_t y) { return plane.Row(y + rect.top) + rect.left; };
  for (int32_t y = 0; y < ny; ++y) std::memcpy(keep + static_cast<int64_t>(y) * nx, region(y), nx);
  std::memcpy(work, keep, size);

  static const int32_t kAngles[4] = {0, 90, 180, 270};
  for (int a = 0; a < 4; ++a) {
    if (X_Emboss(work, nullptr, ny, nx, 0, 0, nx - 1, ny - 1, radius, 1, 128, kAngles[a], 1.0f) !=
        0) {
      return -1;
    }
    for (int32_t y = 0; y < ny; ++y) {
      unsigned char* row = edges + static_cast<int64_t>(y) * nx;
      const unsigned char* wr = work + static_cast<int64_t>(y) * nx;
      for (int32_t x = 0; x < nx; ++x) {
        const int32_t v = wr[x];
        int32_t e = v <= 128 ? (128 - v) * 2 : 2 * v - 256;
        if (e > 255) e = 255;
        if (a == 0 || e > row[x]) row[x] = static_cast<unsigned char>(e);
      }
    }
    std::memcpy(work, keep, size);
  }

  // The contrast table is only defined from -128 up; from 128 up every
  // value gives the same all-black ramp, and doubling a larger one would
  // wrap and send the ramp's writes outside the table.
  const int32_t c = ClampInt(contrast, -128, 128);
  int32_t table[256];
  if (c >= 0) {
    const int32_t k = 2 * c < 255 ? 2 * c : 255;
    for (int32_t i = 0; i <= k; ++i) table[i] = 0;
    if (k < 255) {
      for (int32_t i = 0; i <= 255 - k; ++i) table[k + i] = i * 255 / (255 - k);
    }
  } else {
    const int32_t k = 2 * c + 256;
    if (k > 0) {
      for (int32_t i = 0; i <= k; ++i) table[i] = i * 255 / k;
    }
    for (int32_t i = k; i <= 255; ++i) table[i] = 255;
  }
  for (auto& t : table) t = ClampInt(255 - t, 0, 255);

  for (int32_t y = 0; y < ny; ++y) {
    unsigned char* row = region(y);
    const unsigned char* er = edges + static_cast<int64_t>(y) * nx;
    const unsigned char* kr = keep + static_cast<int64_t>(y) * nx;
    for (int32_t x = 0; x < nx; ++x) {
      row[x] = static_cast<unsigned char>((opacity * table[er[x]] + (255 - opacity) * kr[x]) / 255);
    }
  }
  return 0;
}

}  // namespace

int32_t X_Opa_BufToBuf_andR(int32_t srcWidth, int32_t srcHeight, const uint32_t* src,
                            int32_t dstWidth, int32_t dstHeight, uint32_t* dst, int32_t srcLeft,
                            int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t dstLeft,
                            int32_t dstTop, int32_t dstRight, int32_t dstBottom, int32_t clipLeft,
                            int32_t clipTop, int32_t clipRight, int32_t clipBottom,
                            int32_t opacity) {
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0) return -1;
  if (srcRight == srcLeft || srcBottom == srcTop || dstRight == dstLeft || dstBottom == dstTop ||
      dstBottom <= dstTop || dstRight <= dstLeft) {
    return -1;
  }
  const int32_t bottomBound = srcBottom < srcHeight ? srcBottom : srcHeight - 1;
  const int32_t rightBound = srcRight < srcWidth ? srcRight : srcWidth - 1;
  const int32_t st0 = srcTop > 0 ? srcTop : 0;
  const int32_t sl0 = srcLeft > 0 ? srcLeft : 0;
  if (bottomBound <= st0 || rightBound <= sl0) return -1;
  // The clip rectangle decides which rows are written, but never beyond the
  // destination plane; source positions stay inside the source plane.
  const int32_t cl = clipLeft > 0 ? clipLeft : 0;
  const int32_t ct = clipTop > 0 ? clipTop : 0;
  const int32_t cr = clipRight < dstWidth - 1 ? clipRight : dstWidth - 1;
  const int32_t cb = clipBottom < dstHeight - 1 ? clipBottom : dstHeight - 1;
  const int32_t o = opacity;
  for (int32_t y = dstTop; y < dstBottom; ++y) {
    if (y < ct || y > cb) continue;
    const int32_t sy =
        ClampInt(st0 + static_cast<int32_t>(static_cast<int64_t>(y - dstTop) * (srcBottom - srcTop) /
                                            (dstBottom - dstTop)),
                 0, srcHeight - 1);
    const unsigned char* srow =
        reinterpret_cast<const unsigned char*>(src + static_cast<int64_t>(sy) * srcWidth);
    unsigned char* drow = reinterpret_cast<unsigned char*>(dst + static_cast<int64_t>(y) * dstWidth);
    for (int32_t x = dstLeft; x < dstRight; ++x) {
      if (x < cl || x > cr) continue;
      const int32_t sx =
          ClampInt(sl0 + static_cast<int32_t>(static_cast<int64_t>(x - dstLeft) *
                                              (srcRight - srcLeft) / (dstRight - dstLeft)),
                   0, srcWidth - 1);
      const unsigned char* s = srow + static_cast<int64_t>(sx) * 4;
      unsigned char* d = drow + static_cast<int64_t>(x) * 4;
      for (int c = 0; c < 4; ++c) {
        d[c] = static_cast<unsigned char>(((255 - o) * d[c] + o * s[c]) >> 8);
      }
    }
  }
  return 0;
}
