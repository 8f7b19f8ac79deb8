// Brightness-similarity (SUSAN) smoothing and the denoise filters built on
// it. The weights come from a 513-entry table indexed by the signed
// brightness difference, so the inner loops carry no transcendental call;
// the plane is first copied into a mirrored enlargement so that every
// sample, on the border too, has its full window without edge tests.
//
// Every pass rounds its weighted means and medians to the nearest, and the
// denoise filters mix to the nearest: a truncated mean takes half a level off
// a textured picture each pass, and the denoise repeats the pass up to twenty
// times (a photo-like plane lost 9 levels at 20 passes, its negative as
// much). Rounded, the plane's mean stays within a tenth of a level of the
// mean in exact arithmetic at every pass count and threshold, its bright and
// dark regions within a third, so the passes need no correction beyond it.
#include "raster/susan_denoise.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/channel_frame.h"
#include "raster/mix_lanes.h"
#include "raster/plane_rect.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr int32_t kTableBytes = 516;
constexpr int32_t kTableCentre = 258;
// Rows per band of the smoothing passes: each output row reads only the
// enlarged copy, so the rows run on the shared threads.
constexpr int32_t kBandRows = 16;

// Three rows of a plane enlarged by a mirrored border of one sample: the row
// above, the row itself and the row below, each width + 2 samples, sample x
// of the plane at column x + 1.
struct Rows3 {
  const unsigned char* up;
  const unsigned char* mid;
  const unsigned char* down;
};

// Sum of the middle two of the eight neighbours of enlarged column
// `column`: upper-left, up, upper-right, left, right, lower-left, down,
// lower-right, sorted by seven bubble passes.
int32_t MiddleTwoOf(Rows3 r, int32_t column) {
  int32_t p[8] = {r.up[column - 1],  r.up[column],      r.up[column + 1],
                  r.mid[column - 1], r.mid[column + 1], r.down[column - 1],
                  r.down[column],    r.down[column + 1]};
  for (int pass = 0; pass < 7; ++pass)
    for (int i = 0; i < 7; ++i)
      if (p[i] > p[i + 1]) std::swap(p[i], p[i + 1]);
  return p[3] + p[4];
}

// Their mean truncated, as the standalone median gives it.
int32_t MedianOf(Rows3 r, int32_t column) { return MiddleTwoOf(r, column) / 2; }

// Their mean to the nearest, as the passes take it. Half of all sums are odd
// and tie: below mid-grey (a sum below 255) a tie goes to the odd value, from
// there up to the even one, so ties go up as often as down and the median of
// a negative is the negative of the median.
int32_t RoundedMedianOf(Rows3 r, int32_t column) {
  const int32_t s = MiddleTwoOf(r, column);
  return (s + (((s >> 1) ^ (s < 255 ? 1 : 0)) & 1)) >> 1;
}

#if defined(__x86_64__)
bool HasWideGather() {
  return plat::SimdAtLeast(plat::SimdLevel::kAvx2);
}

__attribute__((target("avx2"))) inline __m256i Widen8(const unsigned char* p) {
  return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Eight samples at a time: the eight weights gathered from a table widened
// to 32 bits, the weighted sum and the weights summed in lanes, and the
// rounded quotient (2 sum + n) / (2 n) taken in single precision. Both stay
// below 2^24 and 2 n at most 1600, so a quotient that is no integer lies at
// least 1 / 1600 above the one below it, far beyond the float's error, and
// the truncated float quotient is the integer one (checked against the plain
// float form in the tests). One 2048 x 1536 pass: 16 ms one sample at a
// time, 8 ms this way. Starts at column x and returns the first column it did
// not do.
__attribute__((target("avx2"))) int32_t SmoothRowWide(Rows3 r, const int32_t* weight,
                                                      int32_t width, unsigned char* out,
                                                      int32_t x) {
  const unsigned char* up = r.up;
  const unsigned char* mid = r.mid;
  const unsigned char* down = r.down;
  for (; x + 8 <= width; x += 8) {
    const __m256i c = Widen8(mid + x + 1);
    const unsigned char* rows[8] = {up + x,      up + x + 1, up + x + 2,   mid + x,
                                    mid + x + 2, down + x,   down + x + 1, down + x + 2};
    __m256i n = _mm256_setzero_si256();
    __m256i sum = _mm256_setzero_si256();
    for (const unsigned char* v8 : rows) {
      const __m256i v = Widen8(v8);
      const __m256i w = _mm256_i32gather_epi32(weight, _mm256_sub_epi32(c, v), 4);
      n = _mm256_add_epi32(n, w);
      sum = _mm256_add_epi32(sum, _mm256_mullo_epi32(v, w));
    }
    const __m256i none = _mm256_cmpeq_epi32(n, _mm256_setzero_si256());
    const __m256i n1 = _mm256_or_si256(n, _mm256_srli_epi32(none, 31));
    const __m256 q =
        _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_add_epi32(sum, sum), n)),
                      _mm256_cvtepi32_ps(_mm256_add_epi32(n1, n1)));
    __m256i res = _mm256_andnot_si256(none, _mm256_cvttps_epi32(q));
    const __m128i r16 =
        _mm_packus_epi32(_mm256_castsi256_si128(res), _mm256_extracti128_si256(res, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(r16, r16));
    // Samples without a similar neighbour take the median of the eight.
    for (int bits = _mm256_movemask_ps(_mm256_castsi256_ps(none)); bits != 0; bits &= bits - 1) {
      const int32_t i = x + __builtin_ctz(static_cast<unsigned>(bits));
      out[i] = static_cast<unsigned char>(RoundedMedianOf(r, i + 1));
    }
  }
  return x;
}
#endif

// The weights of the 3 x 3 pass: the brightness table (entries -256..256)
// and, for the gathers, the same widened to 32 bits.
struct Weights {
  const unsigned char* table;
  int32_t wide[513];
  // Entries 0..127, and whether the byte-lane forms below apply: entry 0 is
  // 100, entry -k is entry k, every entry from 127 on is 0, and eight
  // neighbours' weighted differences stay within 16 bits. `segments` is the
  // number of 16-entry pieces from 0 that hold every weight.
  alignas(64) unsigned char low[128] = {};
  bool bytes = true;
  int32_t segments = 1;
  explicit Weights(const unsigned char* t) : table(t) {
    for (int32_t k = -256; k <= 256; ++k) wide[k + 256] = t[k];
    int32_t most = 0;
    for (int32_t k = 0; k <= 255; ++k) {
      if (t[k] != t[-k]) bytes = false;
      if (t[k] == 0) continue;
      if (k >= 127) bytes = false;
      if (k < 128) low[k] = t[k];
      segments = std::max(segments, k / 16 + 1);
      most = std::max(most, k * t[k]);
    }
    if (t[0] != 100 || 8 * most > 32767) bytes = false;
  }
  const int32_t* gather() const { return wide + 256; }
};

#if defined(__x86_64__)
// GCC 12's 512-bit intrinsics start their results from deliberately
// undefined lanes, which its flow analysis reports as uninitialised values.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The byte-lane forms of the 3 x 3 row (tables with entry 0 = 100 whose
// weights are symmetric and vanish from |k| = 128 on, with 8 x max k T[k] <=
// 32767; Weights::bytes says whether the table is such). Each neighbour's
// weight is looked up by |v - c| in bytes; with D = sum of w (v - c) and
// n = sum of w, the plain rounded quotient (2 sum(w v) + n) / (2 n) =
// (2 c n + 2 D + n) / (2 n) is c + floor((2 D + n) / (2 n)). |D| fits 16 bits
// by the bound above and n <= 2040, so the weighted differences are summed in
// 16-bit lanes (pairs of neighbours by the byte multiply-add: w unsigned,
// v - c signed and within -127..127 wherever w is not 0). The quotient is
// taken in 32-bit lanes and single precision: it lies within -128..128, so
// its rounding error is below 2^-16, less than the 1 / (2 n) by which a
// non-integer quotient clears the next integer, and the floor is exact.
// Samples with n = 0 take the median. Both forms return the first column
// they did not do (the AVX2 form starts at column x).

// c + floor((2 D + n) / (2 n)) in 16-bit lanes (D signed, n >= 0, c a byte):
// the lanes widened to 32 bits in two halves and packed back in the same
// order. n = 0 divides by 2 here; the median replaces those samples.
VMK_TARGET_AVX2 inline __m256i FloorQuotient256(__m256i s32, __m256i n32) {
  const __m256i d = _mm256_max_epi32(n32, _mm256_set1_epi32(1));
  const __m256 q =
      _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_add_epi32(s32, s32), n32)),
                    _mm256_cvtepi32_ps(_mm256_add_epi32(d, d)));
  return _mm256_cvttps_epi32(_mm256_floor_ps(q));
}
VMK_TARGET_AVX2 inline __m256i Quotient256(__m256i sum, __m256i n, __m256i c16) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lo = FloorQuotient256(_mm256_srai_epi32(_mm256_unpacklo_epi16(sum, sum), 16),
                                      _mm256_unpacklo_epi16(n, zero));
  const __m256i hi = FloorQuotient256(_mm256_srai_epi32(_mm256_unpackhi_epi16(sum, sum), 16),
                                      _mm256_unpackhi_epi16(n, zero));
  return _mm256_add_epi16(c16, _mm256_packs_epi32(lo, hi));
}
VMK_TARGET_AVX512VBMI inline __m512i FloorQuotient512(__m512i s32, __m512i n32) {
  const __m512i d = _mm512_max_epi32(n32, _mm512_set1_epi32(1));
  const __m512 q =
      _mm512_div_ps(_mm512_cvtepi32_ps(_mm512_add_epi32(_mm512_add_epi32(s32, s32), n32)),
                    _mm512_cvtepi32_ps(_mm512_add_epi32(d, d)));
  return _mm512_cvttps_epi32(_mm512_roundscale_ps(q, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
}
VMK_TARGET_AVX512VBMI inline __m512i Quotient512(__m512i sum, __m512i n, __m512i c16) {
  const __m512i zero = _mm512_setzero_si512();
  const __m512i lo = FloorQuotient512(_mm512_srai_epi32(_mm512_unpacklo_epi16(sum, sum), 16),
                                      _mm512_unpacklo_epi16(n, zero));
  const __m512i hi = FloorQuotient512(_mm512_srai_epi32(_mm512_unpackhi_epi16(sum, sum), 16),
                                      _mm512_unpackhi_epi16(n, zero));
  return _mm512_add_epi16(c16, _mm512_packs_epi32(lo, hi));
}

// The AVX2 form: weights by 16-entry byte shuffles, one per 16 entries of
// the table that hold a weight, 32 samples a step.
VMK_TARGET_AVX2 int32_t SmoothRowBytes256(Rows3 r, const Weights& wt, int32_t width,
                                          unsigned char* out, int32_t x) {
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i room = _mm256_set1_epi8(0x70);
  const __m256i ones = _mm256_set1_epi8(1);
  __m256i seg[8];
  const int32_t segments = wt.segments;
  for (int32_t s = 0; s < segments; ++s)
    seg[s] = _mm256_broadcastsi128_si256(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(wt.low + 16 * s)));
  for (; x + 32 <= width; x += 32) {
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r.mid + x + 1));
    const __m256i cs = _mm256_xor_si256(c, bias);
    const unsigned char* at[8] = {r.up + x,      r.up + x + 1,   r.up + x + 2,
                                  r.mid + x,     r.mid + x + 2,  r.down + x,
                                  r.down + x + 1, r.down + x + 2};
    __m256i w[8], d[8];
    for (int k = 0; k < 8; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at[k]));
      const __m256i dist = _mm256_or_si256(_mm256_subs_epu8(v, c), _mm256_subs_epu8(c, v));
      // Entries 16 s .. 16 s + 15 from segment s: the index less 16 s, with
      // 0x70 added at saturation, keeps its low four bits where it lies in
      // the segment and has its top bit set (a zero look-up) elsewhere.
      __m256i weight = _mm256_shuffle_epi8(seg[0], _mm256_adds_epu8(dist, room));
      for (int32_t s = 1; s < segments; ++s) {
        const __m256i i = _mm256_sub_epi8(dist, _mm256_set1_epi8(static_cast<char>(16 * s)));
        weight = _mm256_or_si256(weight, _mm256_shuffle_epi8(seg[s], _mm256_adds_epu8(i, room)));
      }
      w[k] = weight;
      d[k] = _mm256_subs_epi8(_mm256_xor_si256(v, bias), cs);
    }
    __m256i sumLo = _mm256_setzero_si256(), sumHi = _mm256_setzero_si256();
    __m256i nLo = _mm256_setzero_si256(), nHi = _mm256_setzero_si256();
    for (int k = 0; k < 8; k += 2) {
      const __m256i wl = _mm256_unpacklo_epi8(w[k], w[k + 1]);
      const __m256i wh = _mm256_unpackhi_epi8(w[k], w[k + 1]);
      sumLo = _mm256_add_epi16(sumLo,
                               _mm256_maddubs_epi16(wl, _mm256_unpacklo_epi8(d[k], d[k + 1])));
      sumHi = _mm256_add_epi16(sumHi,
                               _mm256_maddubs_epi16(wh, _mm256_unpackhi_epi8(d[k], d[k + 1])));
      nLo = _mm256_add_epi16(nLo, _mm256_maddubs_epi16(wl, ones));
      nHi = _mm256_add_epi16(nHi, _mm256_maddubs_epi16(wh, ones));
    }
    const __m256i zero = _mm256_setzero_si256();
    const __m256i resLo = Quotient256(sumLo, nLo, _mm256_unpacklo_epi8(c, zero));
    const __m256i resHi = Quotient256(sumHi, nHi, _mm256_unpackhi_epi8(c, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(resLo, resHi));
    const __m256i none = _mm256_packs_epi16(_mm256_cmpeq_epi16(nLo, zero),
                                            _mm256_cmpeq_epi16(nHi, zero));
    // Samples without a similar neighbour take the median of the eight.
    for (uint32_t bits = static_cast<uint32_t>(_mm256_movemask_epi8(none)); bits != 0;
         bits &= bits - 1) {
      const int32_t i = x + __builtin_ctz(bits);
      out[i] = static_cast<unsigned char>(RoundedMedianOf(r, i + 1));
    }
  }
  return x;
}

// The AVX-512 form where the processor permutes bytes: the 128 weights in
// two registers, one two-register permute a look-up, 64 samples a step.
VMK_TARGET_AVX512VBMI int32_t SmoothRowBytes512(Rows3 r, const Weights& wt, int32_t width,
                                                unsigned char* out) {
  const __m512i bias = _mm512_set1_epi8(static_cast<char>(0x80));
  const __m512i last = _mm512_set1_epi8(127);
  const __m512i ones = _mm512_set1_epi8(1);
  const __m512i t0 = _mm512_loadu_si512(wt.low);
  const __m512i t1 = _mm512_loadu_si512(wt.low + 64);
  int32_t x = 0;
  for (; x + 64 <= width; x += 64) {
    const __m512i c = _mm512_loadu_si512(r.mid + x + 1);
    const __m512i cs = _mm512_xor_si512(c, bias);
    const unsigned char* at[8] = {r.up + x,      r.up + x + 1,   r.up + x + 2,
                                  r.mid + x,     r.mid + x + 2,  r.down + x,
                                  r.down + x + 1, r.down + x + 2};
    __m512i w[8], d[8];
    for (int k = 0; k < 8; ++k) {
      const __m512i v = _mm512_loadu_si512(at[k]);
      const __m512i dist = _mm512_or_si512(_mm512_subs_epu8(v, c), _mm512_subs_epu8(c, v));
      // Entry 127 is 0, and so is every weight beyond it.
      w[k] = _mm512_permutex2var_epi8(t0, _mm512_min_epu8(dist, last), t1);
      d[k] = _mm512_subs_epi8(_mm512_xor_si512(v, bias), cs);
    }
    __m512i sumLo = _mm512_setzero_si512(), sumHi = _mm512_setzero_si512();
    __m512i nLo = _mm512_setzero_si512(), nHi = _mm512_setzero_si512();
    for (int k = 0; k < 8; k += 2) {
      const __m512i wl = _mm512_unpacklo_epi8(w[k], w[k + 1]);
      const __m512i wh = _mm512_unpackhi_epi8(w[k], w[k + 1]);
      sumLo = _mm512_add_epi16(sumLo,
                               _mm512_maddubs_epi16(wl, _mm512_unpacklo_epi8(d[k], d[k + 1])));
      sumHi = _mm512_add_epi16(sumHi,
                               _mm512_maddubs_epi16(wh, _mm512_unpackhi_epi8(d[k], d[k + 1])));
      nLo = _mm512_add_epi16(nLo, _mm512_maddubs_epi16(wl, ones));
      nHi = _mm512_add_epi16(nHi, _mm512_maddubs_epi16(wh, ones));
    }
    const __m512i zero = _mm512_setzero_si512();
    const __m512i resLo = Quotient512(sumLo, nLo, _mm512_unpacklo_epi8(c, zero));
    const __m512i resHi = Quotient512(sumHi, nHi, _mm512_unpackhi_epi8(c, zero));
    _mm512_storeu_si512(out + x, _mm512_packus_epi16(resLo, resHi));
    const __m512i none = _mm512_packs_epi16(_mm512_movm_epi16(_mm512_cmpeq_epi16_mask(nLo, zero)),
                                            _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(nHi, zero)));
    for (uint64_t bits = _mm512_movepi8_mask(none); bits != 0; bits &= bits - 1) {
      const int32_t i = x + __builtin_ctzll(bits);
      out[i] = static_cast<unsigned char>(RoundedMedianOf(r, i + 1));
    }
  }
  return x;
}
#pragma GCC diagnostic pop
#endif

// One row of the 3 x 3 pass in its plain form, for tables whose entry 0 is
// not the usual 100: nine weights, the centre's included, and
// single-precision sums, the quotient rounded to the nearest.
void SmoothRowAnyTable(Rows3 r, const unsigned char* table, int32_t width, unsigned char* o) {
  const unsigned char* rows[3] = {r.up, r.mid, r.down};
  for (int32_t x = 0; x < width; ++x) {
    const int32_t c = r.mid[x + 1];
    int32_t area = 0;
    float total = 0.0f;
    for (const unsigned char* row : rows) {
      for (int32_t j = 0; j <= 2; ++j) {
        const int32_t v = row[x + j];
        area += table[c - v];
        total += static_cast<float>(v * table[c - v]);
      }
    }
    const int32_t n = area - 100;
    int32_t res;
    if (n != 0) {
      const float q = (total - 100.0f * static_cast<float>(c)) / static_cast<float>(n) + 0.5f;
      res = q >= 255.0f ? 255 : (q <= 0.0f ? 0 : static_cast<int32_t>(q));
    } else {
      res = RoundedMedianOf(r, x + 1);
    }
    o[x] = static_cast<unsigned char>(res);
  }
}

// One row of the 3 x 3 pass into o (width samples). With the centre's own
// weight (always 100) left out of both sums, the plain form's
// (total - 100 c) / (area - 100) is the neighbours' weighted sum over their
// weights. Both are integers below 2^24, so the single-precision quotient
// plus a half truncates to the integer quotient (2 sum + n) / (2 n) (a tie
// is exact in both): the integer form gives the same bytes (checked against
// the float form in the tests) and takes about half the time (one
// 2048 x 1536 pass: 16 ms against 28 ms).
void SmoothRow(Rows3 r, const Weights& weights, int32_t width, unsigned char* o) {
  const unsigned char* table = weights.table;
  if (table[0] != 100) {
    SmoothRowAnyTable(r, table, width, o);
    return;
  }
  const unsigned char* up = r.up;
  const unsigned char* mid = r.mid;
  const unsigned char* down = r.down;
  int32_t x = 0;
#if defined(__x86_64__)
  if (weights.bytes && plat::SimdAtLeast(plat::SimdLevel::kAvx512) && plat::SimdHasByteVbmi())
    x = SmoothRowBytes512(r, weights, width, o);
  if (weights.bytes && HasWideGather()) x = SmoothRowBytes256(r, weights, width, o, x);
  if (HasWideGather()) x = SmoothRowWide(r, weights.gather(), width, o, x);
#endif
  for (; x < width; ++x) {
    const int32_t c = mid[x + 1];
    const unsigned char* t = table + c;  // t[-v] is the weight of v
    const int32_t v0 = up[x], v1 = up[x + 1], v2 = up[x + 2];
    const int32_t v3 = mid[x], v5 = mid[x + 2];
    const int32_t v6 = down[x], v7 = down[x + 1], v8 = down[x + 2];
    const int32_t w0 = t[-v0], w1 = t[-v1], w2 = t[-v2], w3 = t[-v3], w5 = t[-v5];
    const int32_t w6 = t[-v6], w7 = t[-v7], w8 = t[-v8];
    const int32_t n = w0 + w1 + w2 + w3 + w5 + w6 + w7 + w8;
    if (n != 0) {
      const int32_t sum =
          v0 * w0 + v1 * w1 + v2 * w2 + v3 * w3 + v5 * w5 + v6 * w6 + v7 * w7 + v8 * w8;
      o[x] = static_cast<unsigned char>((2 * sum + n) / (2 * n));
    } else {
      o[x] = static_cast<unsigned char>(RoundedMedianOf(r, x + 1));
    }
  }
}

// The 3 x 3 pass over the enlarged plane (border 1), written into `out`.
void SmoothThreeByThree(const unsigned char* e, int32_t width, int32_t height,
                        const unsigned char* table, unsigned char* out) {
  const int32_t ew = width + 2;
  const Weights weights(table);
  plat::ParallelFor(0, height, kBandRows, [=, &weights](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      // Stopped work leaves the rest; the channel frame then writes nothing.
      if (plat::Cancelled()) return;
      const unsigned char* up = e + static_cast<int64_t>(y) * ew;
      SmoothRow({up, up + ew, up + 2 * ew}, weights, width, out + static_cast<int64_t>(y) * width);
    }
  });
}
// The round-window pass over the enlarged plane (border m).
int32_t SmoothFullMask(const unsigned char* e, int32_t width, int32_t height, int32_t m,
                       float dt, const unsigned char* table, unsigned char* out) {
  const int32_t side = 2 * m + 1;
  plat::Block<unsigned char> distances(int64_t{side} * side, WorkSource());
  if (!distances) return -1;
  unsigned char* dist = distances.get();
  const double dt2 = static_cast<double>(dt) * dt;
  for (int32_t i = -m; i <= m; ++i) {
    for (int32_t j = -m; j <= m; ++j) {
      unsigned char w;
      if (dt2 > 0.0) {
        w = static_cast<unsigned char>(100.0 * std::exp(-static_cast<double>(i * i + j * j) / dt2));
      } else {
        w = (i == 0 && j == 0) ? 100 : 0;  // no spread: the centre alone
      }
      dist[(i + m) * side + (j + m)] = w;
    }
  }
  const int32_t ew = width + 2 * m;
  const unsigned char* t = table;
  for (int32_t y = 0; y < height; ++y) {
    // Stopped work leaves the rest; the channel frame then writes nothing.
    if (plat::Cancelled()) return -1;
    for (int32_t x = 0; x < width; ++x) {
      const unsigned char* centre = e + static_cast<int64_t>(y + m) * ew + (x + m);
      const int32_t c = *centre;
      int64_t area = 0;
      float total = 0.0f;
      for (int32_t i = -m; i <= m; ++i) {
        const unsigned char* row = centre + static_cast<int64_t>(i) * ew;
        const unsigned char* d = dist + (i + m) * side + m;
        for (int32_t j = -m; j <= m; ++j) {
          const int32_t v = row[j];
          const int32_t w = d[j] * t[c - v];
          area += w;
          total += static_cast<float>(w * v);
        }
      }
      const int64_t n = area - 10000;
      int32_t r;
      if (n != 0) {
        const float q =
            (total - 10000.0f * static_cast<float>(c)) / static_cast<float>(n) + 0.5f;
        r = q >= 255.0f ? 255 : (q <= 0.0f ? 0 : static_cast<int32_t>(q));
      } else {
        const unsigned char* row = e + static_cast<int64_t>(y + m) * ew;
        r = RoundedMedianOf({row - ew, row, row + ew}, x + m);
      }
      out[static_cast<int64_t>(y) * width + x] = static_cast<unsigned char>(r);
    }
  }
  return 0;
}

}  // namespace

void setup_brightness_lut(unsigned char** table, int32_t t, int32_t form) {
  if (table == nullptr || *table == nullptr) return;
  *table += kTableCentre;
  unsigned char* lut = *table;
  for (int32_t k = -256; k <= 256; ++k) {
    if (t <= 0) {
      // No division by zero: nothing is similar, and the smoothing, which
      // always credits the centre with 100, then keeps every sample.
      lut[k] = 0;
      continue;
    }
    const float r = static_cast<float>(k) / static_cast<float>(t);
    float r2 = r * r;
    if (form == 6) r2 = r2 * r2 * r2;
    const float v = static_cast<float>(100.0 * std::exp(-static_cast<double>(r2)));
    lut[k] = static_cast<unsigned char>(v);
  }
}

int32_t median(const unsigned char* plane, int32_t row, int32_t column, int32_t width) {
  const unsigned char* c = plane + static_cast<int64_t>(row) * width;
  return MedianOf({c - width, c, c + width}, column);
}

void enlarge(unsigned char** plane, unsigned char* enlarged, int32_t* width, int32_t* height,
             int32_t b) {
  if (plane == nullptr || *plane == nullptr || enlarged == nullptr || width == nullptr ||
      height == nullptr) {
    return;
  }
  const int32_t w = *width, h = *height;
  // A mirror wider than the plane would read outside it.
  if (b < 0 || b > w || b > h) return;
  const int32_t ew = w + 2 * b;
  const unsigned char* src = *plane;
  auto row = [&](int32_t r) { return enlarged + static_cast<int64_t>(r) * ew; };
  for (int32_t i = 0; i < h; ++i) std::memcpy(row(i + b) + b, src + static_cast<int64_t>(i) * w, w);
  for (int32_t i = 0; i < b; ++i) {
    std::memcpy(row(b - 1 - i) + b, src + static_cast<int64_t>(i) * w, w);
    std::memcpy(row(h + b + i) + b, src + static_cast<int64_t>(h - 1 - i) * w, w);
  }
  for (int32_t r = 0; r < h + 2 * b; ++r) {
    unsigned char* e = row(r);
    for (int32_t i = 0; i < b; ++i) {
      e[b - 1 - i] = e[b + i];
      e[w + b + i] = e[w + b - 1 - i];
    }
  }
  *width = ew;
  *height = h + 2 * b;
  *plane = enlarged;
}

int32_t s_smoothing(int threeByThree, unsigned char* plane, int32_t width, int32_t height, float dt,
                    const unsigned char* table) {
  if (plane == nullptr || table == nullptr || width <= 0 || height <= 0) return -1;
  int32_t m = 1;
  if (threeByThree == 0) {
    const double r = static_cast<double>(dt) * 1.5;
    // Beyond the plane's own size the window could not fit anyway.
    if (!(r < 1.0e6)) return -1;
    m = static_cast<int32_t>(r) + 1;
    if (m < 1) m = 1;
  }
  if (2 * m + 1 > width || 2 * m + 1 > height) return -1;
  int32_t ew = width, eh = height;
  plat::Block<unsigned char> e(static_cast<int64_t>(width + 2 * m) * (height + 2 * m),
                               WorkSource());
  if (!e) return -1;
  unsigned char* view = plane;
  enlarge(&view, e.get(), &ew, &eh, m);
  if (threeByThree != 0) {
    SmoothThreeByThree(e.get(), width, height, table, plane);
    return 0;
  }
  return SmoothFullMask(e.get(), width, height, m, dt, table, plane);
}

int32_t X_smooth_buf(unsigned char* plane, int32_t width, int32_t height, int32_t distance,
                     int32_t threshold) {
  if (plane == nullptr) return -1;
  // The 3 x 3 window does not fit a plane narrower or lower than 3: such a
  // plane is left as it is, and what repeats the smoothing goes on.
  if (width < 3 || height < 3) return 0;
  plat::Block<unsigned char> block(kTableBytes, WorkSource());
  if (!block) return -1;
  unsigned char* table = block.get();
  setup_brightness_lut(&table, threshold, 2);
  return s_smoothing(1, plane, width, height, static_cast<float>(distance * 20 / 100), table);
}

namespace {

// The blend of every sample of the rectangle with itself, which is what the
// denoise blends when nothing smooths the copy (no pass, or a plane too small
// for the window): the copy is then the plane, so the blend's value t =
// blend(p, p) depends on the sample alone and no copy is needed. Where t = p
// for every p (replacement, lighter, darker), ((255 - m) p + m p + 127) / 255
// = p at any weight m: the plane keeps every sample, and nothing is written.
int32_t BlendWithItself(uint32_t mode, int32_t opacity, plat::PlaneView<unsigned char> plane,
                        const unsigned char* mask, plat::InclusiveRect rect) {
  const int32_t op = ClampInt(opacity, 0, 255);
  unsigned char self[256];
  bool keeps = true;
  for (int32_t p = 0; p < 256; ++p) {
    unsigned char t = static_cast<unsigned char>(p);
    X_optionRPart(&t, mode, p, p);
    self[p] = t;
    keeps = keeps && t == p;
  }
  if (keeps) return 0;
  unsigned char* data = plane.data;
  const int32_t width = plane.width, left = rect.left, right = rect.right;
  plat::ParallelFor(rect.top, rect.bottom + 1, kBandRows, [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      for (int32_t x = left; x <= right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const int32_t p = data[i];
        const int32_t m = mask != nullptr ? mask[i] * op / 255 : op;
        data[i] = static_cast<unsigned char>(
            (m * self[p] + (255 - m) * p + lanemix::kNearestLift) / 255);
      }
    }
  });
  return 0;
}

// Rows per band of the denoise's own passes. A band smooths its rows through
// three enlarged rows of its own, so no pass needs an enlarged copy of the
// plane; the band's scratch is four rows.
constexpr int32_t kPassBandRows = 32;

// The blend of n smoothed samples v into the plane's samples p through the
// shared blend `mode`, weighted by op (0..255) or mask x op / 255, to the
// nearest. Mode 1 is the replacement, whose table row is the smoothed sample
// itself: the 16-bit lanes' mix, without the table.
void BlendRow(lanemix::MixRunFn mix, uint32_t mode, int32_t op, unsigned char* p,
              const unsigned char* v, const unsigned char* mask, int32_t n) {
  if (mode == 1) {
    mix(p, v, mask, op, n);
    return;
  }
  for (int32_t i = 0; i < n; ++i) {
    const int32_t a = p[i];
    unsigned char t = static_cast<unsigned char>(a);
    X_optionRPart(&t, mode, a, v[i]);
    const int32_t m = mask != nullptr ? mask[i] * op / 255 : op;
    p[i] = static_cast<unsigned char>((m * t + (255 - m) * a + lanemix::kNearestLift) / 255);
  }
}

// Rows [first, last) of one 3 x 3 pass. Each row is smoothed from three
// enlarged rows held in `ring` (3 x (width + 2) bytes): rowOf(y) gives the
// source samples of row y, y held to 0..height - 1 (the mirror of a border
// of one), and each is loaded once, before any row the band writes. The
// smoothed row y goes to target(y), which done(y, row) then takes.
template <typename RowOf, typename Target, typename Done>
void SmoothBand(RowOf rowOf, int32_t width, int32_t height, int32_t first, int32_t last,
                const Weights& weights, unsigned char* ring, Target target, Done done) {
  const int32_t ew = width + 2;
  unsigned char* r[3] = {ring, ring + ew, ring + 2 * ew};
  auto load = [&](int32_t y, unsigned char* e) {
    std::memcpy(e + 1, rowOf(ClampInt(y, 0, height - 1)), static_cast<size_t>(width));
    e[0] = e[1];
    e[width + 1] = e[width];
  };
  load(first - 1, r[0]);
  load(first, r[1]);
  for (int32_t y = first; y < last; ++y) {
    // Stopped work leaves the rest (see DeNoiseCore).
    if (plat::Cancelled()) return;
    load(y + 1, r[2]);
    unsigned char* o = target(y);
    SmoothRow({r[0], r[1], r[2]}, weights, width, o);
    done(y, o);
    unsigned char* oldest = r[0];
    r[0] = r[1];
    r[1] = r[2];
    r[2] = oldest;
  }
}

// Smooths the plane `passes` times (at least 1; width and height at least 3)
// and blends the result into the inclusive rectangle: the bytes of a copy
// smoothed by X_smooth_buf and blended sample by sample. All but the last
// pass go into work planes (one, or two taking turns), each in bands of rows
// with their own enlarged rows; the last pass smooths only the rectangle's
// rows and blends each straight into the plane. With one pass that pass
// reads the plane it writes: each band keeps a copy of the rows just outside
// it, which the bands beside it may have rewritten by the time it reads them.
int32_t SmoothAndBlend(uint32_t mode, int32_t opacity, plat::PlaneView<unsigned char> plane,
                       const unsigned char* mask, plat::InclusiveRect rect, int32_t passes,
                       int32_t threshold) {
  const int32_t width = plane.width, height = plane.height;
  const int32_t op = ClampInt(opacity, 0, 255);
  unsigned char block[kTableBytes];
  unsigned char* table = block;
  setup_brightness_lut(&table, threshold, 2);
  const Weights weights(table);
  const int32_t ew = width + 2;
  const int64_t bandBytes = int64_t{4} * ew;
  const int32_t bands = plat::BandCount(0, height, kPassBandRows);
  const int32_t lastBands = plat::BandCount(rect.top, rect.bottom + 1, kPassBandRows);
  plat::Block<unsigned char> scratch(bands * bandBytes, WorkSource());
  plat::Block<unsigned char> edges(passes == 1 ? int64_t{2} * lastBands * width : 0,
                                   WorkSource());
  plat::Block<unsigned char> work[2];
  for (int32_t k = 0; k < 2 && k + 1 < passes; ++k) {
    work[k] = plat::Block<unsigned char>(plane.count(), WorkSource());
    if (!work[k]) return -1;
  }
  if (!scratch || !edges) return -1;

  const unsigned char* from = plane.data;
  for (int32_t p = 0; p + 1 < passes; ++p) {
    unsigned char* to = work[p % 2].get();
    plat::ParallelFor(0, height, kPassBandRows, [&](int32_t band, int32_t first, int32_t last) {
      SmoothBand([from, width](int32_t y) { return from + static_cast<int64_t>(y) * width; },
                 width, height, first, last, weights, scratch.get() + band * bandBytes,
                 [to, width](int32_t y) { return to + static_cast<int64_t>(y) * width; },
                 [](int32_t, unsigned char*) {});
    });
    // The next pass would read rows this one left: the plane stays as it was.
    if (plat::Cancelled()) return 0;
    from = work[p % 2].get();
  }

  unsigned char* data = plane.data;
  const bool inPlace = from == data;
  const int32_t top = rect.top, end = rect.bottom + 1;
  auto bandRows = [&](int32_t band, int32_t* first, int32_t* last) {
    *first = top + band * kPassBandRows;
    *last = std::min(*first + kPassBandRows, end);
  };
  auto edgeRow = [&](int32_t band, int32_t k) {
    return edges.get() + (int64_t{2} * band + k) * width;
  };
  if (inPlace) {
    plat::ParallelFor(0, lastBands, 1, [&](int32_t b0, int32_t b1) {
      for (int32_t band = b0; band < b1; ++band) {
        int32_t first, last;
        bandRows(band, &first, &last);
        if (first > 0)
          std::memcpy(edgeRow(band, 0), data + static_cast<int64_t>(first - 1) * width,
                      static_cast<size_t>(width));
        if (last < height)
          std::memcpy(edgeRow(band, 1), data + static_cast<int64_t>(last) * width,
                      static_cast<size_t>(width));
      }
    });
  }
  const int32_t left = rect.left, n = rect.right - rect.left + 1;
  const lanemix::MixRunFn mix = lanemix::PickMixRunNearest();
  plat::ParallelFor(top, end, kPassBandRows, [&](int32_t band, int32_t first, int32_t last) {
    const unsigned char* above = inPlace ? edgeRow(band, 0) : nullptr;
    const unsigned char* below = inPlace ? edgeRow(band, 1) : nullptr;
    unsigned char* ring = scratch.get() + band * bandBytes;
    unsigned char* smoothed = ring + 3 * ew;
    SmoothBand(
        [=](int32_t y) {
          if (inPlace && y < first) return above;
          if (inPlace && y >= last) return below;
          return from + static_cast<int64_t>(y) * width;
        },
        width, height, first, last, weights, ring, [smoothed](int32_t) { return smoothed; },
        [=](int32_t y, unsigned char* row) {
          const int64_t at = static_cast<int64_t>(y) * width + left;
          BlendRow(mix, mode, op, data + at, row + left, mask != nullptr ? mask + at : nullptr,
                   n);
        });
  });
  return 0;
}

// Smooths a copy of the packed plane `passes` times and blends it into the
// inclusive rectangle.
int32_t DeNoiseCore(int16_t mode, int16_t opacity, plat::PlaneView<unsigned char> plane,
                    const unsigned char* mask, plat::InclusiveRect rect, int16_t passes,
                    int16_t threshold) {
  const auto blendMode = static_cast<uint32_t>(mode + 1);
  // The 3 x 3 window does not fit a plane narrower or lower than 3: no pass
  // changes the copy there either.
  if (passes <= 0 || plane.width < 3 || plane.height < 3)
    return BlendWithItself(blendMode, opacity, plane, mask, rect);
  return SmoothAndBlend(blendMode, opacity, plane, mask, rect, passes, threshold);
}

template <typename Pixels>
int32_t DeNoiseChannels(int16_t mode, int32_t width, int32_t height, const Pixels& px,
                        plat::ExclusiveRect rect, int16_t opacity, int16_t passes, int16_t distance,
                        int16_t threshold) {
  // Percent: beyond 0..100 the mix would weigh outside the two values.
  const int32_t op = ClampInt(opacity, 0, 100);
  return RunChannels(
      width, height, px, mode == 0 ? 4 : 3, rect,
      [&](int, plat::PlaneView<unsigned char> p, plat::ExclusiveRect) {
        for (int32_t n = 0; n < passes; ++n)
          if (X_smooth_buf(p.data, p.width, p.height, distance, threshold) != 0) return -1;
        return 0;
      },
      [&](int k, int32_t x, int32_t y, unsigned char v) {
        px.Put(k, x, y,
               static_cast<unsigned char>((op * v + (100 - op) * px.Out(k, x, y) + 50) / 100));
      });
}

}  // namespace

int32_t DeNoise(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
                int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
                int32_t bottom, int16_t passes, int16_t distance, int16_t threshold) {
  const auto view = plat::PlaneView<unsigned char>::Packed(plane, width, height);
  if (!view.valid()) return -1;
  plat::InclusiveRect rect{left, top, right, bottom};
  if (!rect.ClipTo(width, height)) return 0;
  // The 3 x 3 window takes no part of the distance.
  (void)distance;
  return DeNoiseCore(mode, opacity, view, mask, rect, passes, threshold);
}

int32_t X_DeNoise_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                         uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                         int16_t opacity, int16_t passes, int16_t distance, int16_t threshold) {
  if (src == nullptr || dst == nullptr) return -1;
  return DeNoiseChannels(mode, width, height, LongPixels::Of(src, dst, width),
                         {left, top, right, bottom}, opacity, passes, distance, threshold);
}

int32_t X_DeNoise_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                            int32_t left, int32_t top, int32_t right, int32_t bottom,
                            int16_t opacity, int16_t passes, int16_t distance, int16_t threshold) {
  if (planes == nullptr) return -1;
  return DeNoiseChannels(mode, width, height, RowPixels{planes}, {left, top, right, bottom},
                         opacity, passes, distance, threshold);
}
