// Filtered rescaling: the two-pass contributor-list scheme.
//
// The arithmetic is part of the contract and the tests pin it: column lists
// and magnified row lists round each weight (raw x 1024 + 0.5), reduced row
// lists truncate it. The 8-bit members then spread what the list lacks of
// 1024 over its weights in whole pieces, each the share rounded as the
// running total of the shares rounds, so every list sums to exactly 1024,
// and each sum of weighted samples is divided by 1024 to the nearest (the
// sum plus 512, shifted by 10). A float share left the weights short of
// 1024 (a reduced list by up to half its count: a flat 200 came out as 196
// at a tenth of its size) and the shift after adding 0.5 rounded every
// sample down, half a level in each of the two passes. The 16-bit and
// 32-bit members keep their own rules.
//
// Where the old fixed lists (128 entries) and ring (127 rows) would have run
// out on large reductions, both are sized from the request instead; wherever
// the fixed sizes were enough the results are the same.
#include "raster/rescale.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

// Each thread's own: the previews of two windows rescale at once on their workers.
thread_local CLIST* contribX = nullptr;
thread_local CLIST* contribY = nullptr;

float box_filter(float t) {
  return (t > -0.5f && t <= 0.5f) ? 1.0f : 0.0f;
}

float triangle_filter(float t) {
  const float a = std::fabs(t);
  return a < 1.0f ? 1.0f - a : 0.0f;
}

float cubic_filter(float t) {
  const float a = std::fabs(t);
  return a < 1.0f ? (2.0f * a - 3.0f) * a * a + 1.0f : 0.0f;
}

float bell_filter(float t) {
  const float a = std::fabs(t);
  if (a < 0.5f) return 0.75f - a * a;
  if (a < 1.5f) {
    const float u = a - 1.5f;
    return 0.5f * (u * u);
  }
  return 0.0f;
}

float B_spline_filter(float t) {
  const float a = std::fabs(t);
  if (a < 1.0f) {
    const float a2 = a * a;
    return 0.5f * a2 * a - a2 + 2.0f / 3.0f;
  }
  if (a < 2.0f) {
    const float u = 2.0f - a;
    return u * u * u / 6.0f;
  }
  return 0.0f;
}

float Mitchell_filter(float t) {
  const float a = std::fabs(t);
  const float a2 = a * a;
  if (a < 1.0f) return (7.0f * (a2 * a) - 12.0f * a2 + 16.0f / 3.0f) / 6.0f;
  if (a < 2.0f) return (-7.0f / 3.0f * (a2 * a) + 12.0f * a2 - 20.0f * a + 32.0f / 3.0f) / 6.0f;
  return 0.0f;
}

float sinc(float x) {
  const float y = static_cast<float>(static_cast<double>(x) * 3.141592654);
  if (std::fabs(y) > 0.0001f)
    return static_cast<float>(std::sin(static_cast<double>(y)) / static_cast<double>(y));
  return 1.0f;
}

float Lanczos3_filter(float t) {
  const float a = std::fabs(t);
  return a < 3.0f ? sinc(a) * sinc(a / 3.0f) : 0.0f;
}

float ceiling(float x) {
  const float ip = std::trunc(x);
  if (ip == x) return x;
  return x > 0.0f ? ip + 1.0f : ip - 1.0f;
}

float CubicWeight(float t) {
  auto p3 = [](float u) {
    const float v = u > 0.0f ? u : 0.0f;
    return v * v * v;
  };
  return (p3(t + 2.0f) - 4.0f * p3(t + 1.0f) + 6.0f * p3(t) - 4.0f * p3(t - 1.0f)) / 6.0f;
}

namespace {

struct Kernel {
  float (*fn)(float) = nullptr;
  float support = 0.0f;
};

// Numbering of the 8-bit members; the comparison is unsigned, so a negative
// index lands on the B-spline like any other unknown value.
Kernel CharKernel(int16_t filter) {
  switch (static_cast<uint16_t>(filter)) {
    case 0:
      return {box_filter, 0.5f};
    case 1:
      return {triangle_filter, 1.0f};
    case 2:
      return {cubic_filter, 1.0f};
    case 3:
      return {bell_filter, 1.5f};
    case 4:
      return {Mitchell_filter, 2.0f};
    case 5:
    case 6:
      return {Lanczos3_filter, 3.0f};
    default:
      return {B_spline_filter, 2.0f};
  }
}

// Numbering of the 16-bit and 32-bit members; 4 and above 7 name nothing.
Kernel WideKernel(int16_t filter) {
  switch (filter) {
    case 0:
      return {box_filter, 0.5f};
    case 1:
      return {triangle_filter, 1.0f};
    case 2:
      return {bell_filter, 1.5f};
    case 3:
      return {B_spline_filter, 2.0f};
    case 5:
      return {cubic_filter, 1.0f};
    case 6:
      return {Mitchell_filter, 2.0f};
    case 7:
      return {Lanczos3_filter, 3.0f};
    default:
      return {};
  }
}

enum class WeightRule { kChar, kShort, kLong };

// The blocks of one call, each handed back to where it came from (and both
// list pointers reset) when the call ends, whichever way it ends.
class CallBlocks {
 public:
  CallBlocks() = default;
  ~CallBlocks() {
    contribX = nullptr;
    contribY = nullptr;
  }
  CallBlocks(const CallBlocks&) = delete;
  CallBlocks& operator=(const CallBlocks&) = delete;

  void* Take(int64_t bytes) {
    if (n_ == kMax || bytes <= 0) return nullptr;
    plat::Block<char> b(bytes, WorkSource());
    if (!b) return nullptr;
    blocks_[n_] = std::move(b);
    return blocks_[n_++].get();
  }

 private:
  static constexpr int32_t kMax = 32;
  // Destroyed last to first, after the list pointers are reset.
  plat::Block<char> blocks_[kMax];
  int32_t n_ = 0;
};

// floor(a / b) for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// The 8-bit members' remainder over a list of whole weights: weight m gains
// F(m + 1) - F(m), F(j) = floor(j rem / count + 1/2), the running total of
// the shares rounded. Each piece is the share rounded down or up, and the
// pieces add up to rem exactly; where the share is a fraction the odd units
// fall evenly along the list (one alone on the middle contributor).
void SpreadRemainder(CLIST& L, int32_t rem) {
  const int64_t n = L.count;
  int64_t before = 0;
  for (int64_t m = 0; m < n; ++m) {
    const int64_t upTo = FloorDiv(2 * (m + 1) * rem + n, 2 * n);
    L.weight[m] += static_cast<float>(upTo - before);
    before = upTo;
  }
}

// Builds n lists for a scale of `scale` over a source extent of `extent`
// samples. Returns null when storage cannot be had.
CLIST* BuildLists(CallBlocks& mem, int32_t n, int32_t extent, float scale, Kernel k,
                  WeightRule rule, bool rows) {
  const bool reduce = scale < 1.0f;
  const float width = reduce ? k.support / scale : k.support;
  const float fscale = reduce ? 1.0f / scale : 1.0f;
  // A list spans at most 2 x width + 1 indices, plus one that ceiling() may
  // start early near the first edge; keep a little margin for rounding.
  const double capD = 2.0 * static_cast<double>(width) + 4.0;
  if (!(capD < static_cast<double>(std::numeric_limits<int32_t>::max()))) return nullptr;
  const int64_t cap = static_cast<int64_t>(capD);
  auto* lists = static_cast<CLIST*>(mem.Take(static_cast<int64_t>(n) * sizeof(CLIST)));
  auto* idx = static_cast<int32_t*>(mem.Take(static_cast<int64_t>(n) * cap * sizeof(int32_t)));
  auto* wgt = static_cast<float*>(mem.Take(static_cast<int64_t>(n) * cap * sizeof(float)));
  if (lists == nullptr || idx == nullptr || wgt == nullptr) return nullptr;

  for (int32_t i = 0; i < n; ++i) {
    CLIST& L = lists[i];
    L.index = idx + static_cast<int64_t>(i) * cap;
    L.weight = wgt + static_cast<int64_t>(i) * cap;
    L.count = 0;
    L.last = 0;
    L.centre = 0.0f;
    const float c = static_cast<float>(i) / scale;
    const int32_t left = static_cast<int32_t>(ceiling(c - width));
    const int32_t right = static_cast<int32_t>(c + width);
    int32_t intSum = 0;
    float floatSum = 0.0f;
    for (int32_t j = left; j <= right && L.count < cap; ++j) {
      const float d = c - static_cast<float>(j);
      const float raw = reduce ? k.fn(d / fscale) / fscale : k.fn(d);
      float w = 0.0f;
      switch (rule) {
        case WeightRule::kChar: {
          const int32_t wi = (rows && reduce) ? static_cast<int32_t>(raw * 1024.0f)
                                              : static_cast<int32_t>(raw * 1024.0f + 0.5f);
          intSum += wi;
          w = static_cast<float>(wi);
          break;
        }
        case WeightRule::kShort:
          w = raw * 1024.0f;
          floatSum += w;
          break;
        case WeightRule::kLong: {
          const int32_t wi = static_cast<int32_t>(raw * 1024.0f);
          intSum += wi;
          w = static_cast<float>(wi);
          break;
        }
      }
      const int32_t at = std::clamp(j, 0, extent - 1);
      L.index[L.count] = at;
      L.weight[L.count] = w;
      ++L.count;
      if (rows && at > L.last) L.last = at;
      L.centre = std::trunc(c);
    }
    if (L.count == 0) continue;
    const float cnt = static_cast<float>(L.count);
    float share = 0.0f;
    switch (rule) {
      case WeightRule::kChar:
        SpreadRemainder(L, 1024 - intSum);
        continue;
      case WeightRule::kShort:
        share = (1024.0f - floatSum) / cnt;
        if (rows && reduce) share = static_cast<float>(static_cast<int32_t>(share + 0.5f));
        break;
      case WeightRule::kLong:
        share = static_cast<float>(static_cast<int32_t>(static_cast<float>(1024 - intSum) / cnt));
        break;
    }
    for (int32_t m = 0; m < L.count; ++m) L.weight[m] += share;
  }
  return lists;
}

inline int32_t ShiftClamp(float sum, int32_t hi) {
  const int32_t v = static_cast<int32_t>(sum + 0.5f) >> 10;
  return ClampInt(v, 0, hi);
}

// The 8-bit members' sample: the sum of whole weights times whole samples (a whole number,
// exact in a float) divided by 1024 to the nearest, a half up, within 0..255.
constexpr float kHalfOf1024 = 512.0f;
inline int32_t CharSample(float sum) {
  return Clamp255(static_cast<int32_t>(sum + kHalfOf1024) >> 10);
}

bool SourceInside(int32_t w, int32_t h, int32_t sl, int32_t st, int32_t sr, int32_t sb) {
  return w > 0 && h > 0 && sl >= 0 && st >= 0 && sl < sr && st < sb && sr <= w && sb <= h;
}

// Rectangles are 16-bit quantities. A destination rectangle reaching beyond
// them can only come from a runaway computation (a percentage far out of
// range); its lists and rows would cost memory and time in proportion to the
// whole rectangle though only the part inside the plane is written, so it is
// refused before anything is taken.
bool DestinationRepresentable(int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  constexpr int32_t kLimit = 32767;
  auto in = [](int32_t v) { return v >= -kLimit && v <= kLimit; };
  return in(dl) && in(dt) && in(dr) && in(db);
}

// Four floats handled as one value: element-wise IEEE multiplies and adds,
// exactly the scalar operations (never fused, as the build forbids
// contraction), done side by side.
typedef float Float4 __attribute__((vector_size(16)));

inline Float4 Load4(const float* p) {
  Float4 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

typedef int32_t Int4 __attribute__((vector_size(16)));

// CharSample on four sums: truncation of v + 512 (the conversion truncates
// like the scalar cast), arithmetic shift by 10, limits 0..255.
inline Int4 ShiftClampInt4(Float4 v) {
  Int4 i = __builtin_convertvector(v + kHalfOf1024, Int4) >> 10;
  i = i < 0 ? Int4{} : i;
  return i > 255 ? Int4{} + 255 : i;
}
inline Float4 ShiftClamp4(Float4 v) {
  return __builtin_convertvector(ShiftClampInt4(v), Float4);
}

// acc[x] += row[x] * w over n columns.
inline void AddRow(float* acc, const float* row, float w, int32_t n) {
  int32_t x = 0;
  for (; x + 4 <= n; x += 4) {
    const Float4 a = Load4(acc + x) + Load4(row + x) * w;
    std::memcpy(acc + x, &a, sizeof a);
  }
  for (; x < n; ++x) acc[x] += row[x] * w;
}

// The sample-type specific parts of one rescale. Ring rows hold the
// horizontally resampled samples; the 8-bit member keeps them as floats (the
// 8-bit values exactly) so the vertical pass needs no conversions.
struct CharOps {
  using T = uint8_t;
  using RingT = float;
  using Acc = float;
  static constexpr WeightRule kRule = WeightRule::kChar;
  static constexpr bool kBatched = true;
  static void Add(Acc* acc, const RingT* row, float w, int32_t n) { AddRow(acc, row, w, n); }
  T Out(Acc a) const { return static_cast<T>(CharSample(a)); }
};

struct ShortOps {
  using T = int16_t;
  using RingT = int16_t;
  using Acc = float;
  static constexpr WeightRule kRule = WeightRule::kShort;
  static constexpr bool kBatched = false;
  int16_t maxValue;
  void Expand(const CLIST* cx, int32_t n, const T* s, T* d) const {
    Hor_ShortExpan(cx, n, s, d, maxValue);
  }
  static void Add(Acc* acc, const RingT* row, float w, int32_t n) {
    for (int32_t x = 0; x < n; ++x) acc[x] += static_cast<float>(row[x]) * w;
  }
  T Out(Acc a) const { return static_cast<T>(ShiftClamp(a, maxValue < 0 ? 0 : maxValue)); }
};

struct LongOps {
  using T = uint32_t;
  using RingT = uint32_t;
  using Acc = uint32_t;
  static constexpr WeightRule kRule = WeightRule::kLong;
  static constexpr bool kBatched = false;
  void Expand(const CLIST* cx, int32_t n, const T* s, T* d) const { Hor_LongExpan(cx, n, s, d); }
  // The column sums are unsigned 32-bit words; a negative lobe wraps them
  // exactly as the word arithmetic does.
  static void Add(Acc* acc, const RingT* row, float w, int32_t n) {
    for (int32_t x = 0; x < n; ++x)
      acc[x] += static_cast<uint32_t>(
          static_cast<int64_t>(static_cast<double>(row[x]) * static_cast<double>(w)));
  }
  T Out(Acc a) const { return a >> 10; }
};

// The destination columns of eight interleaved rows (`inter`, eight floats
// a source index) into `out` (eight rows of n floats): each column adds its
// contributors in list order, a multiply then an add, and is rounded,
// shifted and clamped as CharSample does.
using BatchColumnsFn = void (*)(const CLIST* cx, int32_t n, const float* inter, float* out);

void BatchColumnsPlain(const CLIST* cx, int32_t n, const float* inter, float* out) {
  float lanes[8];
  for (int32_t x = 0; x < n; ++x) {
    const CLIST& L = cx[x];
    Float4 lo = {}, hi = {};
    for (int32_t k = 0; k < L.count; ++k) {
      const float* p = inter + static_cast<int64_t>(L.index[k]) * 8;
      const float w = L.weight[k];
      lo += Load4(p) * w;
      hi += Load4(p + 4) * w;
    }
    const Float4 vlo = ShiftClamp4(lo), vhi = ShiftClamp4(hi);
    std::memcpy(lanes, &vlo, sizeof vlo);
    std::memcpy(lanes + 4, &vhi, sizeof vhi);
    for (int32_t r = 0; r < 8; ++r) out[static_cast<int64_t>(r) * n + x] = lanes[r];
  }
}

// Eight source rows' samples interleaved as floats: inter[j * 8 + r] is
// row r's sample j (whole integers convert to float exactly).
using InterleaveFn = void (*)(const uint8_t* const* row, int32_t n, float* inter);

void InterleavePlain(const uint8_t* const* row, int32_t n, float* inter) {
  for (int32_t j = 0; j < n; ++j) {
    const Int4 a = {row[0][j], row[1][j], row[2][j], row[3][j]};
    const Int4 b = {row[4][j], row[5][j], row[6][j], row[7][j]};
    const Float4 fa = __builtin_convertvector(a, Float4);
    const Float4 fb = __builtin_convertvector(b, Float4);
    float* to = inter + static_cast<int64_t>(j) * 8;
    std::memcpy(to, &fa, sizeof fa);
    std::memcpy(to + 4, &fb, sizeof fb);
  }
}

#if VMK_SIMD_X86
// CharSample on eight sums, back as floats: truncation of v + 512 (an out
// of range value truncates to the least integer, as the four-lane form's
// conversion does, and ends at 0), arithmetic shift by 10, limits 0..255.
VMK_TARGET_AVX2 inline __m256i ShiftClampInt8(__m256 v) {
  const __m256i i =
      _mm256_srai_epi32(_mm256_cvttps_epi32(_mm256_add_ps(v, _mm256_set1_ps(kHalfOf1024))), 10);
  return _mm256_min_epi32(_mm256_max_epi32(i, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}
VMK_TARGET_AVX2 inline __m256 ShiftClamp8(__m256 v) {
  return _mm256_cvtepi32_ps(ShiftClampInt8(v));
}

VMK_TARGET_AVX2 inline __m256 AddTaps(__m256 acc, const CLIST& L, int32_t from, int32_t to,
                                      const float* inter) {
  for (int32_t k = from; k < to; ++k)
    acc = _mm256_add_ps(acc,
                        _mm256_mul_ps(_mm256_loadu_ps(inter + static_cast<int64_t>(L.index[k]) * 8),
                                      _mm256_set1_ps(L.weight[k])));
  return acc;
}

// Eight registers turned about: lane c of out[r] is lane r of in[c].
VMK_TARGET_AVX2 inline void Transpose8(__m256* v) {
  const __m256 t0 = _mm256_unpacklo_ps(v[0], v[1]), t1 = _mm256_unpackhi_ps(v[0], v[1]);
  const __m256 t2 = _mm256_unpacklo_ps(v[2], v[3]), t3 = _mm256_unpackhi_ps(v[2], v[3]);
  const __m256 t4 = _mm256_unpacklo_ps(v[4], v[5]), t5 = _mm256_unpackhi_ps(v[4], v[5]);
  const __m256 t6 = _mm256_unpacklo_ps(v[6], v[7]), t7 = _mm256_unpackhi_ps(v[6], v[7]);
  const __m256 u0 = _mm256_shuffle_ps(t0, t2, 0x44), u1 = _mm256_shuffle_ps(t0, t2, 0xEE);
  const __m256 u2 = _mm256_shuffle_ps(t1, t3, 0x44), u3 = _mm256_shuffle_ps(t1, t3, 0xEE);
  const __m256 u4 = _mm256_shuffle_ps(t4, t6, 0x44), u5 = _mm256_shuffle_ps(t4, t6, 0xEE);
  const __m256 u6 = _mm256_shuffle_ps(t5, t7, 0x44), u7 = _mm256_shuffle_ps(t5, t7, 0xEE);
  v[0] = _mm256_permute2f128_ps(u0, u4, 0x20);
  v[1] = _mm256_permute2f128_ps(u1, u5, 0x20);
  v[2] = _mm256_permute2f128_ps(u2, u6, 0x20);
  v[3] = _mm256_permute2f128_ps(u3, u7, 0x20);
  v[4] = _mm256_permute2f128_ps(u0, u4, 0x31);
  v[5] = _mm256_permute2f128_ps(u1, u5, 0x31);
  v[6] = _mm256_permute2f128_ps(u2, u6, 0x31);
  v[7] = _mm256_permute2f128_ps(u3, u7, 0x31);
}

// Eight columns side by side, so that eight chains of dependent adds
// overlap; each column still adds its own contributors in order. The eight
// results, a register a column, are turned into eight row pieces (halving
// three 3072 x 2048 planes with Lanczos3, one thread: the column pass and
// the row copies from about 40 ms to 12 ms).
VMK_TARGET_AVX2 void BatchColumnsAvx2(const CLIST* cx, int32_t n, const float* inter, float* out) {
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const CLIST* l = cx + x;
    int32_t common = l[0].count;
    for (int32_t c = 1; c < 8; ++c) common = std::min(common, l[c].count);
    __m256 v[8];
    for (int32_t c = 0; c < 8; ++c) v[c] = _mm256_setzero_ps();
    for (int32_t k = 0; k < common; ++k)
      for (int32_t c = 0; c < 8; ++c)
        v[c] = _mm256_add_ps(
            v[c], _mm256_mul_ps(_mm256_loadu_ps(inter + static_cast<int64_t>(l[c].index[k]) * 8),
                                _mm256_set1_ps(l[c].weight[k])));
    for (int32_t c = 0; c < 8; ++c)
      v[c] = ShiftClamp8(AddTaps(v[c], l[c], common, l[c].count, inter));
    Transpose8(v);
    for (int32_t r = 0; r < 8; ++r) _mm256_storeu_ps(out + static_cast<int64_t>(r) * n + x, v[r]);
  }
  alignas(32) float lanes[8];
  for (; x < n; ++x) {
    _mm256_store_ps(lanes, ShiftClamp8(AddTaps(_mm256_setzero_ps(), cx[x], 0, cx[x].count, inter)));
    for (int32_t r = 0; r < 8; ++r) out[static_cast<int64_t>(r) * n + x] = lanes[r];
  }
}

// Eight samples of each row at a time, turned about into eight source
// indices' groups.
VMK_TARGET_AVX2 void InterleaveAvx2(const uint8_t* const* row, int32_t n, float* inter) {
  int32_t j = 0;
  for (; j + 8 <= n; j += 8) {
    __m256 v[8];
    for (int32_t r = 0; r < 8; ++r)
      v[r] = _mm256_cvtepi32_ps(
          _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row[r] + j))));
    Transpose8(v);
    for (int32_t c = 0; c < 8; ++c) _mm256_storeu_ps(inter + static_cast<int64_t>(j + c) * 8, v[c]);
  }
  const uint8_t* rest[8];
  for (int32_t r = 0; r < 8; ++r) rest[r] = row[r] + j;
  InterleavePlain(rest, n - j, inter + static_cast<int64_t>(j) * 8);
}
#endif

InterleaveFn PickInterleave() {
#if VMK_SIMD_X86
  return plat::PickKernel<InterleaveFn>(InterleavePlain, InterleaveAvx2);
#else
  return InterleavePlain;
#endif
}

BatchColumnsFn PickBatchColumns() {
#if VMK_SIMD_X86
  return plat::PickKernel<BatchColumnsFn>(BatchColumnsPlain, BatchColumnsAvx2);
#else
  return BatchColumnsPlain;
#endif
}

// One destination row of the vertical pass of 8-bit planes: the ring rows
// `rows` (one a contributor) weighed in list order from 0, each sum
// rounded, shifted and clamped, written to out[x0..x1).
using VerticalRowFn = void (*)(const float* const* rows, const float* weights, int32_t count,
                               float* acc, int32_t width, int32_t x0, int32_t x1, uint8_t* out);

void VerticalRowPlain(const float* const* rows, const float* weights, int32_t count, float* acc,
                      int32_t width, int32_t x0, int32_t x1, uint8_t* out) {
  std::fill(acc, acc + width, 0.0f);
  for (int32_t m = 0; m < count; ++m) AddRow(acc, rows[m], weights[m], width);
  for (int32_t x = x0; x < x1; ++x) out[x] = static_cast<uint8_t>(CharSample(acc[x]));
}

#if VMK_SIMD_X86
// Thirty-two columns held in registers across all contributors, stored
// once as bytes.
VMK_TARGET_AVX2 void VerticalRowAvx2(const float* const* rows, const float* weights, int32_t count,
                                     float* acc, int32_t width, int32_t x0, int32_t x1,
                                     uint8_t* out) {
  int32_t x = x0;
  for (; x + 32 <= x1; x += 32) {
    __m256 s0 = _mm256_setzero_ps(), s1 = s0, s2 = s0, s3 = s0;
    for (int32_t m = 0; m < count; ++m) {
      const float* r = rows[m] + x;
      const __m256 w = _mm256_set1_ps(weights[m]);
      s0 = _mm256_add_ps(s0, _mm256_mul_ps(_mm256_loadu_ps(r), w));
      s1 = _mm256_add_ps(s1, _mm256_mul_ps(_mm256_loadu_ps(r + 8), w));
      s2 = _mm256_add_ps(s2, _mm256_mul_ps(_mm256_loadu_ps(r + 16), w));
      s3 = _mm256_add_ps(s3, _mm256_mul_ps(_mm256_loadu_ps(r + 24), w));
    }
    const __m256i i01 = _mm256_packs_epi32(ShiftClampInt8(s0), ShiftClampInt8(s1));
    const __m256i i23 = _mm256_packs_epi32(ShiftClampInt8(s2), ShiftClampInt8(s3));
    // The packs work within 128-bit halves; the permute puts the bytes back in order.
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(i01, i23),
                                                      _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), bytes);
  }
  if (x < x1) {
    const int32_t at = x;
    std::fill(acc + at, acc + x1, 0.0f);
    for (int32_t m = 0; m < count; ++m)
      for (int32_t k = at; k < x1; ++k) acc[k] += rows[m][k] * weights[m];
    for (int32_t k = at; k < x1; ++k) out[k] = static_cast<uint8_t>(CharSample(acc[k]));
  }
  (void)width;
}
#endif

VerticalRowFn PickVerticalRow() {
#if VMK_SIMD_X86
  return plat::PickKernel<VerticalRowFn>(VerticalRowPlain, VerticalRowAvx2);
#else
  return VerticalRowPlain;
#endif
}

// Horizontal pass of 8-bit rows, kBatch rows at a time. The rows are
// interleaved (as floats) so that the samples of all rows at one source
// index lie side by side; each destination column then runs its list once
// for the whole batch. Every row's sum still adds its contributors in list
// order with the same float operations as Hor_CharExpan, and is rounded,
// shifted and clamped the same way, so the results are identical.
// Measured on 2048 x 1536 RGB halved with Lanczos3 (x86-64, SSE2, -O2):
// 52 ms one row at a time, which mostly waits on each column's single float
// sum; 19 ms with eight rows side by side (a plain copy of the three planes
// takes 0.7 ms on the same machine).
class BatchedRows {
 public:
  static constexpr int32_t kBatch = 8;

  // Floats of room it needs: the interleaved source rows and the results.
  static int64_t Room(int32_t sourceWidth, int32_t outWidth) {
    return (static_cast<int64_t>(sourceWidth) + outWidth) * kBatch;
  }
  // Works in `room` (Room() floats).
  void Attach(float* room, int32_t sourceWidth, int32_t outWidth) {
    sw_ = sourceWidth;
    w_ = outWidth;
    inter_ = room;
    out_ = room + static_cast<int64_t>(sw_) * kBatch;
    first_ = -1;
    count_ = 0;
    std::fill(inter_, inter_ + static_cast<int64_t>(sw_) * kBatch, 0.0f);
  }

  // Row `rel` of the source rectangle, horizontally resampled, into `into`.
  // rows(r) gives the source rectangle's row r; rows are asked for in order.
  template <typename Rows>
  void Get(const CLIST* cx, int32_t rel, int32_t rowsLeft, Rows rows, float* into) {
    if (first_ < 0 || rel < first_ || rel >= first_ + count_) Expand(cx, rel, rowsLeft, rows);
    std::memcpy(into, out_ + static_cast<int64_t>(rel - first_) * w_,
                static_cast<size_t>(w_) * sizeof(float));
  }

 private:
  template <typename Rows>
  void Expand(const CLIST* cx, int32_t rel, int32_t rowsLeft, Rows rows) {
    first_ = rel;
    count_ = std::min(kBatch, rowsLeft);
    // Rows past the source's end repeat its last row; their results are
    // never used.
    const uint8_t* row[kBatch];
    for (int32_t r = 0; r < kBatch; ++r) row[r] = rows(rel + std::min(r, count_ - 1));
    interleave_(row, sw_, inter_);
    columns_(cx, w_, inter_, out_);
  }

  int32_t sw_ = 0, w_ = 0, first_ = -1, count_ = 0;
  InterleaveFn interleave_ = PickInterleave();
  BatchColumnsFn columns_ = PickBatchColumns();
  float* inter_ = nullptr;
  float* out_ = nullptr;
};

std::atomic<bool> gCopyOneToOne{true};

// Whether list i of n takes relative sample i at weight 1024 and every other at 0. Such a
// list's sum is the sample times 1024 plus exact zeros, which the shift by 10 turns back
// into the sample: an 8-bit rescale through such lists both ways is a copy.
bool OneToOne(const CLIST* lists, int32_t n) {
  for (int32_t i = 0; i < n; ++i) {
    const CLIST& L = lists[i];
    int32_t full = 0;
    for (int32_t m = 0; m < L.count; ++m) {
      if (L.weight[m] == 0.0f) continue;
      if (L.weight[m] != 1024.0f || L.index[m] != i) return false;
      ++full;
    }
    if (full != 1) return false;
  }
  return true;
}

// Rescales `planes` planes that share one pair of list arrays.
template <typename Ops>
int32_t Rescale(const Ops& ops, Kernel k, int32_t planes, const typename Ops::T* const* src,
                int32_t srcW, int32_t srcH, typename Ops::T* const* dst, int32_t dstW, int32_t dstH,
                int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                int32_t db) {
  using T = typename Ops::T;
  using RingT = typename Ops::RingT;
  using Acc = typename Ops::Acc;
  if (k.fn == nullptr) return -1;
  for (int32_t p = 0; p < planes; ++p)
    if (src[p] == nullptr || dst[p] == nullptr) return -1;
  if (!SourceInside(srcW, srcH, sl, st, sr, sb) || dr <= dl || db <= dt || dstW <= 0 || dstH <= 0)
    return -1;
  if (!DestinationRepresentable(dl, dt, dr, db)) return -1;

  const int32_t W = dr - dl;
  const int32_t H = db - dt;
  const int32_t sw = sr - sl;
  const int32_t sh = sb - st;
  const float xscale = static_cast<float>(W) / static_cast<float>(sw);
  const float yscale = static_cast<float>(H) / static_cast<float>(sh);

  CallBlocks mem;
  contribX = BuildLists(mem, W, sw, xscale, k, Ops::kRule, false);
  if (contribX == nullptr) return -1;
  contribY = BuildLists(mem, H, sh, yscale, k, Ops::kRule, true);
  if (contribY == nullptr) return -1;
  if constexpr (std::is_same_v<Ops, CharOps>) {
    // Only between planes apart: a plane copied onto itself elsewhere keeps the sums' walk.
    bool apart = true;
    const auto bytes = [](int32_t w, int32_t h) { return static_cast<uintptr_t>(int64_t{w} * h); };
    for (int32_t p = 0; p < planes; ++p)
      for (int32_t q = 0; q < planes; ++q) {
        const auto a = reinterpret_cast<uintptr_t>(src[p]), b = reinterpret_cast<uintptr_t>(dst[q]);
        if (a < b + bytes(dstW, dstH) && b < a + bytes(srcW, srcH)) apart = false;
      }
    if (apart && gCopyOneToOne.load(std::memory_order_relaxed) && W == sw && H == sh &&
        OneToOne(contribX, W) && OneToOne(contribY, H)) {
      // Destination columns and rows inside the destination plane, from their own samples.
      const int32_t x0 = std::max(0, -dl), x1 = std::min(W, dstW - dl);
      const int32_t y0 = std::max(0, -dt), y1 = std::min(H, dstH - dt);
      if (x0 >= x1) return 0;
      plat::ParallelFor(y0, y1, 64, [=](int32_t first, int32_t end) {
        for (int32_t p = 0; p < planes; ++p)
          for (int32_t i = first; i < end; ++i)
            std::memcpy(dst[p] + static_cast<int64_t>(dt + i) * dstW + dl + x0,
                         src[p] + static_cast<int64_t>(st + i) * srcW + sl + x0,
                         static_cast<size_t>(x1 - x0));
      });
      return 0;
    }
  }

  // Ring of horizontally resampled rows, used circularly: relative row
  // base + k lives in slot (head + k) % R. Rows past the source's height
  // would never be filled nor read, so the ring needs no more than that.
  const float wy = yscale < 1.0f ? k.support / yscale : k.support;
  const double ringD = std::min<double>(std::trunc(2.0 * static_cast<double>(wy) + 1.0), sh);
  const int32_t R = std::max<int32_t>(1, static_cast<int32_t>(ringD));

  // The ring's first row when each destination row is made: it moves on
  // while the row's last contributor lies beyond the ring. A contributor
  // before it takes that first row, so this, not the band a row falls in,
  // decides every sum.
  auto* baseAt = static_cast<int32_t*>(mem.Take(static_cast<int64_t>(H) * sizeof(int32_t)));
  if (baseAt == nullptr) return -1;
  for (int32_t i = 0, base = 0; i < H; ++i) {
    while (base + R - 1 < contribY[i].last) ++base;
    baseAt[i] = base;
  }

  // The destination rows go in bands on the shared threads, each with its
  // own ring, sums and batch, all taken here. A band refills the ring rows
  // its first row needs (a few rows done twice at each band's edge); the
  // samples are those of one pass over all rows. Halving three planes of
  // 3072 x 2048 with Lanczos3 at the default threads on a loaded machine:
  // about 47 ms on one ring, 20 to 26 ms in bands.
  const int32_t bandRows = std::max<int32_t>(32, (H + 15) / 16);
  const int32_t bands = plat::BandCount(0, H, bandRows);
  auto floats = [](int64_t bytes) { return (bytes + 63) / 64 * 64; };
  const int64_t ringBytes = floats(static_cast<int64_t>(R) * W * static_cast<int64_t>(sizeof(RingT)));
  const int64_t accBytes = floats(static_cast<int64_t>(W) * static_cast<int64_t>(sizeof(Acc)));
  const int64_t batchBytes =
      Ops::kBatched ? floats(BatchedRows::Room(sw, W) * static_cast<int64_t>(sizeof(float))) : 0;
  // Room for the ring rows of one destination row's contributors.
  int32_t most = 0;
  for (int32_t i = 0; i < H; ++i) most = std::max(most, contribY[i].count);
  const int64_t rowsBytes = Ops::kBatched ? floats(static_cast<int64_t>(most) * sizeof(RingT*)) : 0;
  const int64_t perBand = planes * (ringBytes + batchBytes) + accBytes + rowsBytes;
  plat::Block<char> work(perBand * bands, WorkSource());
  if (!work) return -1;

  const CLIST* cx = contribX;
  const CLIST* cy = contribY;
  // Destination columns that fall inside the destination plane.
  const int32_t x0 = std::max(0, -dl);
  const int32_t x1 = std::min(W, dstW - dl);
  char* room = work.get();
  const VerticalRowFn vertical = PickVerticalRow();
  plat::ParallelFor(0, H, bandRows, [&](int32_t b, int32_t i0, int32_t i1) {
    char* at = room + perBand * b;
    RingT* ring[3] = {};
    BatchedRows batch[3];
    for (int32_t p = 0; p < planes; ++p) {
      ring[p] = reinterpret_cast<RingT*>(at);
      at += ringBytes;
      if constexpr (Ops::kBatched) {
        batch[p].Attach(reinterpret_cast<float*>(at), sw, W);
        at += batchBytes;
      }
    }
    Acc* acc = reinterpret_cast<Acc*>(at);
    const RingT** contributors = reinterpret_cast<const RingT**>(at + accBytes);
    auto slotRow = [&](int32_t p, int32_t physical) {
      return ring[p] + static_cast<int64_t>(physical) * W;
    };
    // Puts relative source row `rel` of plane p, horizontally resampled,
    // into ring slot `physical`.
    auto fill = [&](int32_t p, int32_t rel, int32_t physical) {
      auto rows = [&](int32_t r) { return src[p] + static_cast<int64_t>(st + r) * srcW + sl; };
      if constexpr (Ops::kBatched)
        batch[p].Get(cx, rel, sh - rel, rows, slotRow(p, physical));
      else
        ops.Expand(cx, W, rows(rel), slotRow(p, physical));
    };
    int32_t base = baseAt[i0];
    int32_t head = 0;
    for (int32_t p = 0; p < planes; ++p)
      for (int32_t r = 0; r < R && base + r < sh; ++r) fill(p, base + r, r);
    for (int32_t i = i0; i < i1; ++i) {
      const CLIST& L = cy[i];
      while (base + R - 1 < L.last) {
        // The slot of row base takes row base + R.
        for (int32_t p = 0; p < planes; ++p) fill(p, base + R, head);
        head = head + 1 == R ? 0 : head + 1;
        ++base;
      }
      const int32_t y = dt + i;
      if (y < 0 || y >= dstH) continue;
      for (int32_t p = 0; p < planes; ++p) {
        if constexpr (Ops::kBatched) {
          for (int32_t m = 0; m < L.count; ++m) {
            const int32_t idx = L.index[m];
            contributors[m] = slotRow(p, (head + (idx < base ? 0 : idx - base)) % R);
          }
          vertical(contributors, L.weight, L.count, acc, W, x0, x1,
                   dst[p] + static_cast<int64_t>(y) * dstW + dl);
          continue;
        }
        std::fill(acc, acc + W, Acc{});
        for (int32_t m = 0; m < L.count; ++m) {
          const int32_t idx = L.index[m];
          // A contributor older than the ring's first row takes that row.
          const int32_t rel = idx < base ? 0 : idx - base;
          Ops::Add(acc, slotRow(p, (head + rel) % R), L.weight[m], W);
        }
        T* out = dst[p] + static_cast<int64_t>(y) * dstW + dl;
        for (int32_t x = x0; x < x1; ++x) out[x] = ops.Out(acc[x]);
      }
    }
  });
  return 0;
}

}  // namespace

void Hor_CharExpan(const CLIST* contrib, int32_t n, const uint8_t* src, uint8_t* dst) {
  for (int32_t x = 0; x < n; ++x) {
    const CLIST& L = contrib[x];
    float sum = 0.0f;
    for (int32_t k = 0; k < L.count; ++k) sum += static_cast<float>(src[L.index[k]]) * L.weight[k];
    dst[x] = static_cast<uint8_t>(CharSample(sum));
  }
}

void Hor_ShortExpan(const CLIST* contrib, int32_t n, const int16_t* src, int16_t* dst,
                    int16_t maxValue) {
  const int32_t hi = maxValue < 0 ? 0 : maxValue;
  for (int32_t x = 0; x < n; ++x) {
    const CLIST& L = contrib[x];
    float sum = 0.0f;
    for (int32_t k = 0; k < L.count; ++k) sum += static_cast<float>(src[L.index[k]]) * L.weight[k];
    dst[x] = static_cast<int16_t>(ShiftClamp(sum, hi));
  }
}

void Hor_LongExpan(const CLIST* contrib, int32_t n, const uint32_t* src, uint32_t* dst) {
  for (int32_t x = 0; x < n; ++x) {
    const CLIST& L = contrib[x];
    double sum = 0.0;
    for (int32_t k = 0; k < L.count; ++k)
      sum += static_cast<double>(src[L.index[k]]) * static_cast<double>(L.weight[k]);
    const int64_t v = static_cast<int64_t>(sum + 0.5) >> 10;
    dst[x] = v < 0 ? 0u : static_cast<uint32_t>(v);
  }
}

void Hor_Expan(const CLIST* contrib, int32_t n, const uint8_t* src, uint8_t* dst) {
  for (int32_t x = 0; x < n; ++x) {
    const CLIST& L = contrib[x];
    int32_t sum[4] = {0, 0, 0, 0};
    for (int32_t k = 0; k < L.count; ++k) {
      const uint8_t* px = src + static_cast<int64_t>(L.index[k]) * 4;
      for (int32_t c = 0; c < 4; ++c)
        sum[c] = static_cast<int32_t>(static_cast<float>(sum[c]) +
                                      static_cast<float>(px[c]) * L.weight[k]);
    }
    for (int32_t c = 0; c < 4; ++c) {
      const int32_t v = sum[c] >> 10;
      dst[x * 4 + c] = static_cast<uint8_t>(Clamp255(v));
    }
  }
}

void SetRescaleCopiesOneToOne(bool on) { gCopyOneToOne.store(on, std::memory_order_relaxed); }

std::vector<std::vector<float>> CharRescaleWeights(int16_t filter, int32_t extent, int32_t count,
                                                  bool rows) {
  std::vector<std::vector<float>> out;
  if (extent <= 0 || count <= 0) return out;
  CallBlocks mem;
  const float scale = static_cast<float>(count) / static_cast<float>(extent);
  const CLIST* lists = BuildLists(mem, count, extent, scale, CharKernel(filter), WeightRule::kChar, rows);
  if (lists == nullptr) return out;
  for (int32_t i = 0; i < count; ++i) out.emplace_back(lists[i].weight, lists[i].weight + lists[i].count);
  return out;
}

int32_t X_Newechant_charbuf(int16_t filter, const uint8_t* src, int32_t srcW, int32_t srcH,
                            uint8_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                            int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                            int32_t db) {
  const uint8_t* s[1] = {src};
  uint8_t* d[1] = {dst};
  return Rescale(CharOps{}, CharKernel(filter), 1, s, srcW, srcH, d, dstW, dstH, sl, st, sr, sb, dl,
                 dt, dr, db);
}

int32_t X_Newechant_buffer(int16_t filter, const uint8_t* srcR, const uint8_t* srcG,
                           const uint8_t* srcB, int32_t srcW, int32_t srcH, uint8_t* dstR,
                           uint8_t* dstG, uint8_t* dstB, int32_t dstW, int32_t dstH, int32_t sl,
                           int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db) {
  const uint8_t* s[3] = {srcR, srcG, srcB};
  uint8_t* d[3] = {dstR, dstG, dstB};
  return Rescale(CharOps{}, CharKernel(filter), 3, s, srcW, srcH, d, dstW, dstH, sl, st, sr, sb, dl,
                 dt, dr, db);
}

int32_t X_Newechant_shortbuf(int16_t filter, const int16_t* src, int32_t srcW, int32_t srcH,
                             int16_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                             int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                             int16_t maxValue) {
  const int16_t* s[1] = {src};
  int16_t* d[1] = {dst};
  const Kernel k = WideKernel(filter);
  return Rescale(ShortOps{maxValue}, k, 1, s, srcW, srcH, d, dstW, dstH, sl, st, sr, sb, dl, dt, dr,
                 db);
}

int32_t X_Newechant_longbuf(int16_t filter, const uint32_t* src, int32_t srcW, int32_t srcH,
                            uint32_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                            int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                            int32_t db) {
  const uint32_t* s[1] = {src};
  uint32_t* d[1] = {dst};
  const Kernel k = WideKernel(filter);
  return Rescale(LongOps{}, k, 1, s, srcW, srcH, d, dstW, dstH, sl, st, sr, sb, dl, dt, dr, db);
}

void X_BiCubic_charbuf(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW,
                       int32_t dstH, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                       int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0) return;
  // Reads stay inside both the source rectangle and the plane.
  const int32_t cx0 = std::max(sl, 0), cx1 = std::min(sr, srcW) - 1;
  const int32_t cy0 = std::max(st, 0), cy1 = std::min(sb, srcH) - 1;
  if (cx1 < cx0 || cy1 < cy0) return;
  const int32_t y0 = std::max(dt, 0), y1 = std::min(db, dstH);
  const int32_t x0 = std::max(dl, 0), x1 = std::min(dr, dstW);
  for (int32_t y = y0; y < y1; ++y) {
    const float fy = static_cast<float>(y) * static_cast<float>(srcH) / static_cast<float>(dstH);
    const int32_t iy = static_cast<int32_t>(fy);
    const float dy = fy - static_cast<float>(iy);
    for (int32_t x = x0; x < x1; ++x) {
      const float fx = static_cast<float>(x) * static_cast<float>(srcW) / static_cast<float>(dstW);
      const int32_t ix = static_cast<int32_t>(fx);
      const float dx = fx - static_cast<float>(ix);
      float sum = 0.0f;
      for (int32_t m = -1; m <= 2; ++m) {
        const float wx = CubicWeight(static_cast<float>(m) - dx);
        const int32_t cx = std::clamp(ix + m, cx0, cx1);
        for (int32_t n = -1; n <= 2; ++n) {
          const int32_t cy = std::clamp(iy + n, cy0, cy1);
          sum += static_cast<float>(src[static_cast<int64_t>(cy) * srcW + cx]) * wx *
                 CubicWeight(dy - static_cast<float>(n));
        }
      }
      uint8_t v;
      if (sum < 0.0f)
        v = 0;
      else if (sum > 255.0f)
        v = 255;
      else
        v = static_cast<uint8_t>(sum);
      dst[static_cast<int64_t>(y) * dstW + x] = v;
    }
  }
}
