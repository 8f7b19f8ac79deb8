// 3 x 3 neighbourhood filters.
//
// The rectangle is filtered in place through a window of three unfiltered
// rows, so row y never sees the already filtered row y - 1 and the filters
// need a few rows of memory per band of rows whatever the plane's width.
#include "raster/convolution.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/rounded_quotient.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace {

void FillKernel(int32_t* k, int32_t corner, int32_t edge, int32_t middle) {
  const int32_t v[9] = {corner, edge, corner, edge, middle, edge, corner, edge, corner};
  std::memcpy(k, v, sizeof v);
}

// Rows per band of the parallel walk: enough that the two saved edge rows
// and the window reload of each band stay small beside its work.
constexpr int32_t kBandRows = 32;

// Walks the clamped rectangle row by row through a three-row window and
// calls filter(outRow, rows, n, scratch) once per row: outRow points at the
// rectangle's left sample of the plane row, rows[0..2] at the window rows
// above, at and below it (index 1 is the rectangle's left column), n is the
// rectangle's width and scratch holds `scratchRows` rows of the window's
// length for the filter's own use. The rows go in bands on the shared
// threads; each band starts from copies of the unfiltered rows just outside
// it, taken before any band runs, since its neighbours may filter those
// first. The filter must touch nothing but its arguments.
template <typename T, typename Filter>
int32_t WindowWalk(int32_t width, int32_t height, T* plane, int32_t left, int32_t top,
                   int32_t right, int32_t bottom, int32_t scratchRows, Filter filter) {
  if (plane == nullptr) return -1;
  left = std::max(left, 1);
  top = std::max(top, 1);
  if (right >= width - 1) right = width - 2;
  if (bottom >= height - 1) bottom = height - 2;
  if (left > right || top > bottom) return -1;
  const int32_t rowLength = right - left + 3;
  const size_t rowBytes = static_cast<size_t>(rowLength) * sizeof(T);
  const int32_t bands = plat::BandCount(top, bottom + 1, kBandRows);
  // Per band: the window, the scratch, the saved rows above and below.
  const int64_t perBand = static_cast<int64_t>(rowLength) * (5 + scratchRows);
  plat::Block<T> block(perBand * bands, WorkSource());
  if (!block) return -1;
  auto source = [&](int32_t y) {
    return plane + static_cast<int64_t>(y) * width + (left - 1);
  };
  auto edges = [&](int32_t band) {
    return block.get() + perBand * band + static_cast<int64_t>(rowLength) * (3 + scratchRows);
  };
  for (int32_t b = 0; b < bands; ++b) {
    const int32_t first = top + b * kBandRows;
    const int32_t end = std::min(first + kBandRows, bottom + 1);
    std::memcpy(edges(b), source(first - 1), rowBytes);
    std::memcpy(edges(b) + rowLength, source(end), rowBytes);
  }
  // The filter and the sizes by value, so that no store through the plane
  // can be taken to change them.
  plat::ParallelFor(
      top, bottom + 1, kBandRows,
      [&, filter, width, left, right, rowLength, rowBytes](int32_t b, int32_t first, int32_t end) {
        T* window = block.get() + perBand * b;
        T* rows[3] = {window, window + rowLength, window + 2 * rowLength};
        T* scratch = window + 3 * static_cast<int64_t>(rowLength);
        const T* below = edges(b) + rowLength;
        auto load = [&](T* into, int32_t y) {
          std::memcpy(into, y == end ? below : source(y), rowBytes);
        };
        std::memcpy(rows[0], edges(b), rowBytes);
        load(rows[1], first);
        load(rows[2], first + 1);
        for (int32_t y = first; y < end; ++y) {
          if (y > first) {
            T* oldest = rows[0];
            rows[0] = rows[1];
            rows[1] = rows[2];
            rows[2] = oldest;
            load(rows[2], y + 1);
          }
          filter(plane + static_cast<int64_t>(y) * width + left, rows, right - left + 1, scratch);
        }
      });
  return 0;
}

template <typename T>
int64_t Sum3x3(const T* const* rows, int32_t i, const int32_t* k) {
  const T* below = rows[2];
  const T* mid = rows[1];
  const T* above = rows[0];
  return static_cast<int64_t>(k[0]) * below[i - 1] + static_cast<int64_t>(k[1]) * below[i] +
         static_cast<int64_t>(k[2]) * below[i + 1] + static_cast<int64_t>(k[3]) * mid[i - 1] +
         static_cast<int64_t>(k[4]) * mid[i] + static_cast<int64_t>(k[5]) * mid[i + 1] +
         static_cast<int64_t>(k[6]) * above[i - 1] + static_cast<int64_t>(k[7]) * above[i] +
         static_cast<int64_t>(k[8]) * above[i + 1];
}

inline uint8_t ChMix(int32_t sum, int32_t centre, int16_t bias, int16_t divisor, int64_t keep,
                     int32_t strength) {
  const float f = static_cast<float>(sum) / static_cast<float>(divisor);
  const int32_t q = static_cast<int32_t>(f + 0.5f);
  // 64-bit: a strength far beyond 4096 must clamp, not wrap.
  const int64_t v = (static_cast<int64_t>(centre) * keep +
                     (static_cast<int64_t>(q) + bias) * strength) >> 12;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline uint32_t LnMix(double sum, uint32_t centre, int16_t bias, int16_t divisor, int64_t keep,
                      int32_t strength) {
  const float f = static_cast<float>(sum / static_cast<double>(divisor));
  const int64_t q = static_cast<int64_t>(f + 0.5f);
  const double v = (static_cast<double>(centre) * keep + static_cast<double>(q + bias) * strength) *
                   (1.0 / 4096.0);
  // Stored as the word arithmetic leaves it: no clamping, wrapping modulo 2^32.
  return static_cast<uint32_t>(static_cast<int64_t>(v));
}

// What the vector form of X_Mat_Chbuf needs, fixed for a call. The sums
// of a kernel lie within [sumMin, sumMin + 65535], so sixteen-bit lanes
// hold them exactly modulo 2^16 and the offset from sumMin recovers them.
struct ChPlan {
  int16_t k[9] = {};
  int32_t sumMin = 0;
  RoundedQuotient quotient{1};
  int32_t bias = 0;
  int32_t keep = 0;
  int32_t strength = 4096;
};

// The plan, or false when a sum or a step of the mix could leave the range
// where the vector form is exact (the plain loop then does the row).
bool PlanCh(const int32_t* kernel, int16_t bias, int16_t divisor, int32_t strength,
            ChPlan& plan) {
  int64_t pos = 0, neg = 0;
  for (int32_t i = 0; i < 9; ++i) {
    (kernel[i] > 0 ? pos : neg) += int64_t{255} * kernel[i];
    plan.k[i] = static_cast<int16_t>(static_cast<uint16_t>(kernel[i] & 0xffff));
  }
  if (pos - neg > RoundedQuotient::kSumLimit) return false;
  const int64_t keep = 4096 - static_cast<int64_t>(strength);
  const int64_t absD = divisor < 0 ? -int64_t{divisor} : divisor;
  const int64_t qMax = std::max(pos, -neg) / absD + 1;
  const int64_t absS = strength < 0 ? -int64_t{strength} : strength;
  const int64_t mixMax = (qMax + std::abs(int64_t{bias})) * absS + 255 * std::abs(keep);
  if (mixMax >= (int64_t{1} << 31)) return false;
  plan.sumMin = static_cast<int32_t>(neg);
  plan.quotient = RoundedQuotient(divisor);
  plan.bias = bias;
  plan.keep = static_cast<int32_t>(keep);
  plan.strength = strength;
  return true;
}

// Samples of a row the vector form did, from the left; the plain loop does
// the rest. The baseline leaves them all to it.
using ChRow = int32_t (*)(uint8_t* out, uint8_t* const* rows, int32_t n, const ChPlan& plan);
int32_t ChRowPlain(uint8_t*, uint8_t* const*, int32_t, const ChPlan&) { return 0; }

#if VMK_SIMD_X86
// trunc((2 sum + d) / (2 d)) of eight sums given as sum - sumMin.
VMK_TARGET_AVX2 inline __m256i QuotientAvx2(__m256i offset, __m256i base, __m256i mult,
                                            __m128i shift, __m256i dSign) {
  const __m256i n = _mm256_add_epi32(_mm256_slli_epi32(offset, 1), base);
  const __m256i a = _mm256_abs_epi32(n);
  const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(a, mult), shift);
  const __m256i odd = _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(a, 32), mult), shift);
  const __m256i q = _mm256_sign_epi32(_mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA), n);
  return _mm256_sub_epi32(_mm256_xor_si256(q, dSign), dSign);
}

// (centre * keep + (q + bias) * strength) >> 12, which is q + bias at full
// strength; the plan keeps every step inside 32 bits.
VMK_TARGET_AVX2 inline __m256i MixAvx2(__m256i q, __m256i centre, __m256i bias, __m256i keep,
                                       __m256i strength, bool whole) {
  const __m256i v = _mm256_add_epi32(q, bias);
  if (whole) return v;
  return _mm256_srai_epi32(
      _mm256_add_epi32(_mm256_mullo_epi32(centre, keep), _mm256_mullo_epi32(v, strength)), 12);
}

// Sixteen samples a step: the nine products summed in sixteen-bit lanes
// (exact modulo 2^16), the quotient by the reciprocal in 32-bit lanes, the
// mix, and the clamp to 0..255 by saturating packs. Three 3072 x 2048 planes
// on one thread (EPYC, AVX2): 117 ms one sample at a time with the float
// divide, 14 ms this way.
VMK_TARGET_AVX2 int32_t ChRowAvx2(uint8_t* out, uint8_t* const* rows, int32_t n,
                                  const ChPlan& plan) {
  __m256i k[9];
  for (int32_t i = 0; i < 9; ++i) k[i] = _mm256_set1_epi16(plan.k[i]);
  const __m256i sumMin = _mm256_set1_epi16(static_cast<int16_t>(plan.sumMin & 0xffff));
  const __m256i base = _mm256_set1_epi32(2 * plan.sumMin + plan.quotient.divisor());
  const __m256i mult = _mm256_set1_epi32(static_cast<int32_t>(plan.quotient.multiplier()));
  const __m128i shift = _mm_cvtsi32_si128(plan.quotient.shift());
  const __m256i dSign = _mm256_set1_epi32(plan.quotient.divisor() < 0 ? -1 : 0);
  const __m256i bias = _mm256_set1_epi32(plan.bias);
  const __m256i keep = _mm256_set1_epi32(plan.keep);
  const __m256i strength = _mm256_set1_epi32(plan.strength);
  const bool whole = plan.strength == 4096;
  // The kernel's rows: k[0..2] weigh the row below, k[6..8] the row above.
  const uint8_t* const src[3] = {rows[2], rows[1], rows[0]};
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) {
    __m256i sum = _mm256_setzero_si256();
    __m256i centre = _mm256_setzero_si256();
    for (int32_t r = 0; r < 3; ++r) {
      for (int32_t c = 0; c < 3; ++c) {
        const __m256i v = _mm256_cvtepu8_epi16(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(src[r] + x + c)));
        if (r == 1 && c == 1) centre = v;
        sum = _mm256_add_epi16(sum, _mm256_mullo_epi16(v, k[3 * r + c]));
      }
    }
    const __m256i offset = _mm256_sub_epi16(sum, sumMin);
    const __m256i lo = QuotientAvx2(_mm256_cvtepu16_epi32(_mm256_castsi256_si128(offset)), base,
                                    mult, shift, dSign);
    const __m256i hi = QuotientAvx2(_mm256_cvtepu16_epi32(_mm256_extracti128_si256(offset, 1)),
                                    base, mult, shift, dSign);
    const __m256i vlo = MixAvx2(lo, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(centre)), bias,
                                keep, strength, whole);
    const __m256i vhi = MixAvx2(hi, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(centre, 1)),
                                bias, keep, strength, whole);
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(vlo, vhi), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     _mm_packus_epi16(_mm256_castsi256_si128(words),
                                      _mm256_extracti128_si256(words, 1)));
  }
  return x;
}
#endif

// Median of nine by an exchange network (the value equals the fifth
// smallest, which is all the median is defined by).
inline uint8_t Median9(uint8_t p[9]) {
  static constexpr int8_t kExchanges[19][2] = {
      {1, 2}, {4, 5}, {7, 8}, {0, 1}, {3, 4}, {6, 7}, {1, 2}, {4, 5}, {7, 8}, {0, 3},
      {5, 8}, {4, 7}, {3, 6}, {1, 4}, {2, 5}, {4, 7}, {4, 2}, {6, 4}, {4, 2}};
  for (const auto& e : kExchanges)
    if (p[e[0]] > p[e[1]]) std::swap(p[e[0]], p[e[1]]);
  return p[4];
}

// Sixteen samples side by side, or one; min and max work on either.
typedef uint8_t Bytes16 __attribute__((vector_size(16)));

template <typename V>
inline V Ld(const uint8_t* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
template <typename V>
inline void St(uint8_t* p, V v) {
  std::memcpy(p, &v, sizeof v);
}
template <typename V>
inline V Min(V a, V b) {
  return a < b ? a : b;
}
template <typename V>
inline V Max(V a, V b) {
  return a < b ? b : a;
}

// lo, mid, hi of the window column(s) at c.
template <typename V>
inline void SortColumns(const uint8_t* const* rows, int32_t c, uint8_t* lo, uint8_t* mid,
                        uint8_t* hi) {
  const V a = Ld<V>(rows[0] + c), b = Ld<V>(rows[1] + c), d = Ld<V>(rows[2] + c);
  const V mn = Min(a, b), mx = Max(a, b);
  St(lo + c, Min(mn, d));
  St(hi + c, Max(mx, d));
  St(mid + c, Max(mn, Min(mx, d)));
}

// SortColumns, keeping the middle row's samples in `keep` on the way.
template <typename V>
inline void SortKeeping(const uint8_t* const* rows, int32_t c, uint8_t* lo, uint8_t* mid,
                        uint8_t* hi, uint8_t* keep) {
  St(keep + c, Ld<V>(rows[1] + c));
  SortColumns<V>(rows, c, lo, mid, hi);
}

// Median of the windows whose left column is x.
template <typename V>
inline void MedianOfColumns(const uint8_t* lo, const uint8_t* mid, const uint8_t* hi, int32_t x,
                            uint8_t* out) {
  const V l = Max(Max(Ld<V>(lo + x), Ld<V>(lo + x + 1)), Ld<V>(lo + x + 2));
  const V h = Min(Min(Ld<V>(hi + x), Ld<V>(hi + x + 1)), Ld<V>(hi + x + 2));
  const V m0 = Min(Ld<V>(mid + x), Ld<V>(mid + x + 1));
  const V m1 = Max(Ld<V>(mid + x), Ld<V>(mid + x + 1));
  const V m = Max(m0, Min(m1, Ld<V>(mid + x + 2)));
  St(out + x, Max(Min(l, m), Min(Max(l, m), h)));
}

}  // namespace

void Load_matrix(int16_t type, int16_t amount, int32_t* kernel, int16_t* divisor) {
  if (amount == 0 || kernel == nullptr || divisor == nullptr) return;
  if (type == 1) {
    if (amount < 0) return;
    if (amount >= 100) {
      FillKernel(kernel, 1, 1, 1);
      *divisor = 9;
      return;
    }
    int32_t m;
    if (amount == 1)
      m = 400;
    else if (amount == 2)
      m = 200;
    else if (amount == 3)
      m = 133;
    else if (amount == 4)
      m = 100;
    else if (amount <= 9)
      m = 80;
    else if (amount <= 14)
      m = 40;
    else if (amount <= 19)
      m = 27;
    else if (amount <= 24)
      m = 20;
    else if (amount <= 29)
      m = 16;
    else if (amount <= 34)
      m = 13;
    else if (amount <= 39)
      m = 11;
    else if (amount <= 44)
      m = 10;
    else if (amount <= 49)
      m = 9;
    else if (amount <= 64)
      m = 8;
    else if (amount <= 80)
      m = 6;
    else if (amount <= 90)
      m = 5;
    else
      m = 4;
    FillKernel(kernel, 1, 2, m);
    *divisor = static_cast<int16_t>(m + 12);
    return;
  }
  struct Band {
    int16_t upTo;
    int32_t c, e, m;
    int16_t div;
  };
  static constexpr Band kBands[] = {
      {74, -1, -2, 42, 30},    {124, -1, -2, 30, 18},  {174, -2, -4, 49, 25},
      {224, -2, -4, 42, 18},   {274, -3, -6, 58, 22},  {324, -3, -6, 54, 18},
      {374, -4, -8, 69, 21},   {424, -4, -8, 65, 17},  {474, -4, -8, 64, 16},
      {524, -5, -10, 76, 16},  {574, -6, -12, 88, 16}, {624, -7, -14, 100, 16},
      {674, -8, -16, 112, 16}, {724, -9, -18, 124, 16}};
  for (const Band& b : kBands) {
    if (amount <= b.upTo) {
      FillKernel(kernel, b.c, b.e, b.m);
      *divisor = b.div;
      return;
    }
  }
  FillKernel(kernel, -10, -20, 136);
  *divisor = 16;
}

void Calc_Chmatrix(uint8_t* dest, const uint8_t* centre, int32_t rowLength, int16_t bias,
                   int16_t divisor, const int32_t* kernel, int32_t keep, int32_t strength) {
  const uint8_t* rows[3] = {centre - rowLength, centre, centre + rowLength};
  const int64_t sum = Sum3x3(rows, 0, kernel);
  *dest = ChMix(static_cast<int32_t>(sum), *centre, bias, divisor, keep, strength);
}

void Calc_Lnmatrix(uint32_t* dest, const uint32_t* centre, int32_t rowLength, int16_t bias,
                   int16_t divisor, const int32_t* kernel, int32_t keep, int32_t strength) {
  const uint32_t* rows[3] = {centre - rowLength, centre, centre + rowLength};
  const int64_t sum = Sum3x3(rows, 0, kernel);
  *dest = LnMix(static_cast<double>(sum), *centre, bias, divisor, keep, strength);
}

void Calc_median(uint8_t* dest, const uint8_t* centre, int32_t rowLength, int16_t /*unused*/) {
  uint8_t p[9];
  for (int32_t r = -1, n = 0; r <= 1; ++r)
    for (int32_t c = -1; c <= 1; ++c) p[n++] = centre[r * rowLength + c];
  *dest = Median9(p);
}

int32_t X_Mat_Chbuf(int32_t width, int32_t height, uint8_t* plane, int32_t left, int32_t top,
                    int32_t right, int32_t bottom, int16_t bias, int16_t divisor,
                    const int32_t* kernel, int32_t strength) {
  if (kernel == nullptr || divisor == 0) return -1;
  const int64_t keep = 4096 - static_cast<int64_t>(strength);
  ChPlan plan;
  ChRow wide = ChRowPlain;
#if VMK_SIMD_X86
  if (PlanCh(kernel, bias, divisor, strength, plan))
    wide = plat::PickKernel<ChRow>(ChRowPlain, ChRowAvx2);
#endif
  return WindowWalk(width, height, plane, left, top, right, bottom, 0,
                    [=](uint8_t* out, uint8_t* const* rows, int32_t n, uint8_t*) {
                      for (int32_t x = wide(out, rows, n, plan); x < n; ++x) {
                        const int64_t sum = Sum3x3(rows, x + 1, kernel);
                        out[x] = ChMix(static_cast<int32_t>(sum), rows[1][x + 1], bias, divisor,
                                       keep, strength);
                      }
                    });
}

int32_t X_Mat_Lnbuf(int32_t width, int32_t height, uint32_t* plane, int32_t left, int32_t top,
                    int32_t right, int32_t bottom, int16_t bias, int16_t divisor,
                    const int32_t* kernel, int32_t strength) {
  if (kernel == nullptr || divisor == 0) return -1;
  // 64-bit: a strength near the 32-bit limits leaves a weight beyond them.
  const int64_t keep = 4096 - static_cast<int64_t>(strength);
  return WindowWalk(width, height, plane, left, top, right, bottom, 0,
                    [=](uint32_t* out, uint32_t* const* rows, int32_t n, uint32_t*) {
                      for (int32_t x = 0; x < n; ++x) {
                        const int64_t sum = Sum3x3(rows, x + 1, kernel);
                        out[x] = LnMix(static_cast<double>(sum), rows[1][x + 1], bias, divisor,
                                       keep, strength);
                      }
                    });
}

namespace {

// One row of the 3 x 3 median from the three window rows, through the
// sorted columns in `scratch` (three rows of n + 2 bytes); the middle row's
// n + 2 samples are kept in `keep` before `out` (inside that row) is
// written.
using MedianRow = void (*)(uint8_t* out, const uint8_t* const* rows, int32_t n, uint8_t* scratch,
                           uint8_t* keep);

void MedianRowPlain(uint8_t* out, const uint8_t* const* rows, int32_t n, uint8_t* scratch,
                    uint8_t* keep) {
  const int32_t len = n + 2;
  uint8_t* lo = scratch;
  uint8_t* mid = scratch + len;
  uint8_t* hi = scratch + 2 * len;
  int32_t c = 0;
  for (; c + 16 <= len; c += 16) SortKeeping<Bytes16>(rows, c, lo, mid, hi, keep);
  for (; c < len; ++c) SortKeeping<uint8_t>(rows, c, lo, mid, hi, keep);
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) MedianOfColumns<Bytes16>(lo, mid, hi, x, out);
  for (; x < n; ++x) MedianOfColumns<uint8_t>(lo, mid, hi, x, out);
}

#if VMK_SIMD_X86
// The same min / max steps on thirty-two columns at a time.
VMK_TARGET_AVX2 inline __m256i Ld32(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
VMK_TARGET_AVX2 inline void St32(uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

VMK_TARGET_AVX2 void MedianRowAvx2(uint8_t* out, const uint8_t* const* rows, int32_t n,
                                   uint8_t* scratch, uint8_t* keep) {
  const int32_t len = n + 2;
  uint8_t* lo = scratch;
  uint8_t* mid = scratch + len;
  uint8_t* hi = scratch + 2 * len;
  int32_t c = 0;
  for (; c + 32 <= len; c += 32) {
    const __m256i a = Ld32(rows[0] + c), b = Ld32(rows[1] + c), d = Ld32(rows[2] + c);
    St32(keep + c, b);
    const __m256i mn = _mm256_min_epu8(a, b), mx = _mm256_max_epu8(a, b);
    St32(lo + c, _mm256_min_epu8(mn, d));
    St32(hi + c, _mm256_max_epu8(mx, d));
    St32(mid + c, _mm256_max_epu8(mn, _mm256_min_epu8(mx, d)));
  }
  for (; c < len; ++c) SortKeeping<uint8_t>(rows, c, lo, mid, hi, keep);
  int32_t x = 0;
  for (; x + 32 <= n; x += 32) {
    const __m256i l = _mm256_max_epu8(_mm256_max_epu8(Ld32(lo + x), Ld32(lo + x + 1)), Ld32(lo + x + 2));
    const __m256i h = _mm256_min_epu8(_mm256_min_epu8(Ld32(hi + x), Ld32(hi + x + 1)), Ld32(hi + x + 2));
    const __m256i m0 = _mm256_min_epu8(Ld32(mid + x), Ld32(mid + x + 1));
    const __m256i m1 = _mm256_max_epu8(Ld32(mid + x), Ld32(mid + x + 1));
    const __m256i m = _mm256_max_epu8(m0, _mm256_min_epu8(m1, Ld32(mid + x + 2)));
    St32(out + x, _mm256_max_epu8(_mm256_min_epu8(l, m), _mm256_min_epu8(_mm256_max_epu8(l, m), h)));
  }
  for (; x < n; ++x) MedianOfColumns<uint8_t>(lo, mid, hi, x, out);
}

// lo <= mid <= hi of the sixty-four window columns from `at` on.
VMK_TARGET_AVX512 inline void SortColumns64(const uint8_t* const* rows, int32_t at, __mmask64 m,
                                            __m512i& lo, __m512i& mid, __m512i& hi) {
  const __m512i a = _mm512_maskz_loadu_epi8(m, rows[0] + at);
  const __m512i b = _mm512_maskz_loadu_epi8(m, rows[1] + at);
  const __m512i d = _mm512_maskz_loadu_epi8(m, rows[2] + at);
  const __m512i mn = _mm512_min_epu8(a, b), mx = _mm512_max_epu8(a, b);
  lo = _mm512_min_epu8(mn, d);
  hi = _mm512_max_epu8(mx, d);
  mid = _mm512_max_epu8(mn, _mm512_min_epu8(mx, d));
}

// The median of the sixty-four windows whose left column is x (lanes off in
// m neither read nor matter).
VMK_TARGET_AVX512 inline __m512i Median64(const uint8_t* const* rows, int32_t x, __mmask64 m) {
  __m512i lo0, mid0, hi0, lo1, mid1, hi1, lo2, mid2, hi2;
  SortColumns64(rows, x, m, lo0, mid0, hi0);
  SortColumns64(rows, x + 1, m, lo1, mid1, hi1);
  SortColumns64(rows, x + 2, m, lo2, mid2, hi2);
  const __m512i l = _mm512_max_epu8(_mm512_max_epu8(lo0, lo1), lo2);
  const __m512i h = _mm512_min_epu8(_mm512_min_epu8(hi0, hi1), hi2);
  const __m512i m0 = _mm512_min_epu8(mid0, mid1), m1 = _mm512_max_epu8(mid0, mid1);
  const __m512i md = _mm512_max_epu8(m0, _mm512_min_epu8(m1, mid2));
  return _mm512_max_epu8(_mm512_min_epu8(l, md), _mm512_min_epu8(_mm512_max_epu8(l, md), h));
}

// Sixty-four windows at a time with no pass through sorted rows: the
// column sorts of the three offsets are made from the rows straight away
// (loads are cheaper than the stores and reloads of the sorted rows). The
// middle row is kept first, as the plane's row is written over from the
// start. A 3072 x 2048 plane, one thread (EPYC, a machine shared with
// builds): 0.80 ms through the sorted rows on AVX2, 0.72 ms this way (two
// output rows sharing the sort of their two common rows came out slower:
// the compiler spills the eighteen sorted vectors).
VMK_TARGET_AVX512 void MedianRowAvx512(uint8_t* out, const uint8_t* const* rows, int32_t n,
                                       uint8_t* /*scratch*/, uint8_t* keep) {
  std::memcpy(keep, rows[1], static_cast<size_t>(n) + 2);
  const uint8_t* const window[3] = {rows[0], keep, rows[2]};
  int32_t x = 0;
  for (; x + 64 <= n; x += 64)
    _mm512_storeu_si512(out + x, Median64(window, x, ~__mmask64{0}));
  if (x < n) {
    const __mmask64 m = _bzhi_u64(~uint64_t{0}, static_cast<uint32_t>(n - x));
    _mm512_mask_storeu_epi8(out + x, m, Median64(window, x, m));
  }
}
#endif

}  // namespace

int32_t X_median_buf(int32_t width, int32_t height, uint8_t* plane, int32_t left, int32_t top,
                     int32_t right, int32_t bottom, int16_t /*unused*/) {
  // With every window column sorted (lo <= mid <= hi), the median of the
  // nine is the median of the largest lo, the median mid and the smallest
  // hi. Sorting the columns once per row lets neighbouring windows share
  // them, and the min / max form has no branches, so sixteen columns go at
  // once (2048 x 1536: 137 ms with the exchange network per sample, about
  // 0.7 ms this way), thirty-two with AVX2; AVX-512 sorts sixty-four
  // columns at each of the three offsets in registers instead.
  //
  // The window reads the rows at and below straight from the plane, which
  // still holds them unfiltered; only the row above, already filtered, is
  // read from the copy the sort kept of it on its way (no separate copy of
  // each row: three 3072 x 2048 planes, one thread, about 4.0 ms before).
#if VMK_SIMD_X86
  const MedianRow row =
      plat::PickKernel<MedianRow>(MedianRowPlain, MedianRowAvx2, MedianRowAvx512);
#else
  const MedianRow row = MedianRowPlain;
#endif
  if (plane == nullptr) return -1;
  left = std::max(left, 1);
  top = std::max(top, 1);
  if (right >= width - 1) right = width - 2;
  if (bottom >= height - 1) bottom = height - 2;
  if (left > right || top > bottom) return -1;
  const int32_t rowLength = right - left + 3;
  const size_t rowBytes = static_cast<size_t>(rowLength);
  const int32_t bands = plat::BandCount(top, bottom + 1, kBandRows);
  // Per band: two kept rows, the sorted columns, the saved rows above and below.
  const int64_t perBand = static_cast<int64_t>(rowLength) * 7;
  plat::Block<uint8_t> block(perBand * bands, WorkSource());
  if (!block) return -1;
  auto source = [&](int32_t y) { return plane + static_cast<int64_t>(y) * width + (left - 1); };
  auto edges = [&](int32_t band) { return block.get() + perBand * band + int64_t{rowLength} * 5; };
  for (int32_t b = 0; b < bands; ++b) {
    const int32_t first = top + b * kBandRows;
    const int32_t end = std::min(first + kBandRows, bottom + 1);
    std::memcpy(edges(b), source(first - 1), rowBytes);
    std::memcpy(edges(b) + rowLength, source(end), rowBytes);
  }
  plat::ParallelFor(
      top, bottom + 1, kBandRows,
      [&, row, width, left, right, rowLength](int32_t b, int32_t first, int32_t end) {
        uint8_t* kept[2] = {block.get() + perBand * b, block.get() + perBand * b + rowLength};
        uint8_t* scratch = block.get() + perBand * b + 2 * int64_t{rowLength};
        const uint8_t* above = edges(b);
        const uint8_t* below = edges(b) + rowLength;
        for (int32_t y = first; y < end; ++y) {
          const uint8_t* rows[3] = {above, source(y), y + 1 == end ? below : source(y + 1)};
          uint8_t* keep = kept[(y - first) & 1];
          row(plane + static_cast<int64_t>(y) * width + left, rows, right - left + 1, scratch,
              keep);
          above = keep;
        }
      });
  return 0;
}
