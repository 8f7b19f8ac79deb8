// The 8-bit passes of Filter written back in place, on the vector paths.
//
// Both passes load a sample once as a float and let it serve several
// outputs: the columns pass keeps a window of widened rows and sums four
// output rows at once from each row it loads; the rows pass
// turns sixteen rows on their side (the sixteen samples at one place x
// become one line of floats) and sums along lines the same way. Every lane
// still takes its taps one by one in the plain order, so the sums are the
// plain form's to the bit.
//
// Measured on a 3072 x 2048 plane, 31 taps, one thread (EPYC, a machine
// shared with builds): rows 7.1 ms and columns 8.7 ms before (a row of
// floats per output row with each tap loading its own vector; columns
// converting every byte once per tap and going through a whole plane of
// float sums); 4.7 and 5.3 ms this way on AVX-512, 5.2 and 6.4 ms on AVX2.
// The rows come near the fused multiply-add units' own limit; the columns
// wait partly on the plane's rows coming in. (OpenCV's 8-bit Gaussian sums
// in 16-bit fixed point and adds mirrored samples before multiplying them
// by their shared tap, half the multiplies; these sums must stay the float
// ones to the bit, so the work saved here is in loads and conversions, not
// in multiply-adds.)
#include "raster/filter_passes.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace filter_passes {
namespace {

// sum * gain + off as a byte, as the filter stores it.
inline unsigned char GainByte(float sum, float gain, float off) {
  const float v = gain * sum + off;
  return v > 254.0f ? 255 : (v < 1.0f ? 0 : static_cast<unsigned char>(v));
}

// Taps before the centre: outputs land half places after their window's start.
inline int32_t HalfOf(int32_t n) {
  return static_cast<int32_t>((n - 1) * 0.5);
}

#if VMK_SIMD_X86

// Rows of floats a kernel sums down: evenly spaced, or listed.
struct EvenRows {
  const float* base;
  int64_t step;
  const float* operator()(int32_t r) const { return base + r * step; }
};
struct ListedRows {
  const float* const* rows;
  const float* operator()(int32_t r) const { return rows[r]; }
};

// One row of DownTaps512: outputs lo <= i < hi take tap r - i.
template <int R, int V, bool Masked, typename Rows>
VMK_TARGET_AVX512 inline void TapStep512(Rows rows, int64_t x, const float* k, int32_t r, int lo,
                                         int hi, __mmask16 mask, __m512 (&a)[R][V]) {
  const float* p = rows(r) + x;
  __m512 d[V];
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v)
    d[v] = Masked ? _mm512_maskz_loadu_ps(mask, p + 16 * v) : _mm512_loadu_ps(p + 16 * v);
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i) {
    if (i < lo || i >= hi) continue;  // (in the loops of constant bounds, settled when compiled)
    const __m512 kj = _mm512_set1_ps(k[r - i]);
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) a[i][v] = _mm512_fmadd_ps(d[v], kj, a[i][v]);
  }
}

// a[i][v] = sum over j of rows(i + j)[x + 16 v + lane] * k[j] for i < R,
// each lane through the fused multiply-adds of j = 0, 1, ... in turn (the
// plain sum's order), R outputs at once so that every row loaded serves
// each of them. Needs n >= R (callers sum fewer taps one output at a time):
// every index into `a` is then settled when compiled, and the sums stay in
// registers.
template <int R, int V, bool Masked, typename Rows>
VMK_TARGET_AVX512 inline void DownTaps512(Rows rows, int64_t x, const float* k, int32_t n,
                                          __mmask16 mask, __m512 (&a)[R][V]) {
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i)
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) a[i][v] = _mm512_setzero_ps();
#pragma GCC unroll 16
  for (int r = 0; r < R - 1; ++r) TapStep512<R, V, Masked>(rows, x, k, r, 0, r + 1, mask, a);
  for (int32_t r = R - 1; r < n; ++r) TapStep512<R, V, Masked>(rows, x, k, r, 0, R, mask, a);
#pragma GCC unroll 16
  for (int r = 0; r < R - 1; ++r) TapStep512<R, V, Masked>(rows, x, k, n + r, r + 1, R, mask, a);
}

// The same on AVX2, eight lanes to a vector.
template <int R, int V, typename Rows>
VMK_TARGET_AVX2 inline void TapStep256(Rows rows, int64_t x, const float* k, int32_t r, int lo,
                                       int hi, __m256 (&a)[R][V]) {
  const float* p = rows(r) + x;
  __m256 kb[R];
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i)
    if (i >= lo && i < hi) kb[i] = _mm256_broadcast_ss(k + r - i);
#pragma GCC unroll 16
  for (int v = 0; v < V; ++v) {
    const __m256 d = _mm256_loadu_ps(p + 8 * v);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
      if (i >= lo && i < hi) a[i][v] = _mm256_fmadd_ps(d, kb[i], a[i][v]);
  }
}

template <int R, int V, typename Rows>
VMK_TARGET_AVX2 inline void DownTaps256(Rows rows, int64_t x, const float* k, int32_t n,
                                        __m256 (&a)[R][V]) {
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i)
#pragma GCC unroll 16
    for (int v = 0; v < V; ++v) a[i][v] = _mm256_setzero_ps();
#pragma GCC unroll 16
  for (int r = 0; r < R - 1; ++r) TapStep256<R, V>(rows, x, k, r, 0, r + 1, a);
  for (int32_t r = R - 1; r < n; ++r) TapStep256<R, V>(rows, x, k, r, 0, R, a);
#pragma GCC unroll 16
  for (int r = 0; r < R - 1; ++r) TapStep256<R, V>(rows, x, k, n + r, r + 1, R, a);
}

// Sixteen bytes as floats. (The masked forms with every lane on are the
// plain instructions; the unmasked intrinsics trip the compiler's check for
// uninitialised values inside its own header.)
VMK_TARGET_AVX512 inline __m512 Widen16To512(__m128i b) {
  return _mm512_maskz_cvtepi32_ps(0xFFFF, _mm512_maskz_cvtepu8_epi32(0xFFFF, b));
}

// gain * sum + off as bytes, as GainByte stores them, sixteen at a time.
VMK_TARGET_AVX512 inline __m128i GainBytes512(__m512 s, __m512 g, __m512 o) {
  const __m512 v = _mm512_add_ps(_mm512_mul_ps(g, s), o);
  __m512i b = _mm512_and_si512(_mm512_maskz_cvttps_epi32(0xFFFF, v), _mm512_set1_epi32(0xFF));
  b = _mm512_maskz_mov_epi32(
      static_cast<__mmask16>(~_mm512_cmp_ps_mask(v, _mm512_set1_ps(1.0f), _CMP_LT_OQ)), b);
  b = _mm512_mask_mov_epi32(b, _mm512_cmp_ps_mask(v, _mm512_set1_ps(254.0f), _CMP_GT_OQ),
                            _mm512_set1_epi32(255));
  return _mm512_maskz_cvtepi32_epi8(0xFFFF, b);
}
// Eight at a time, in the low eight bytes.
VMK_TARGET_AVX2 inline __m128i GainBytes256(__m256 s, __m256 g, __m256 o) {
  const __m256 v = _mm256_add_ps(_mm256_mul_ps(g, s), o);
  __m256i b = _mm256_and_si256(_mm256_cvttps_epi32(v), _mm256_set1_epi32(0xFF));
  b = _mm256_andnot_si256(_mm256_castps_si256(_mm256_cmp_ps(v, _mm256_set1_ps(1.0f), _CMP_LT_OQ)),
                          b);
  b = _mm256_blendv_epi8(b, _mm256_set1_epi32(255),
                         _mm256_castps_si256(_mm256_cmp_ps(v, _mm256_set1_ps(254.0f), _CMP_GT_OQ)));
  const __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1));
  return _mm_packus_epi16(w, w);
}

// One sample summed tap by tap with the hardware's fused multiply-add.
template <typename Rows>
VMK_TARGET_AVX2 inline float DownTapsOne(Rows rows, int64_t x, const float* k, int32_t n) {
  __m128 acc = _mm_setzero_ps();
  for (int32_t j = 0; j < n; ++j) acc = _mm_fmadd_ss(_mm_set_ss(rows(j)[x]), _mm_set_ss(k[j]), acc);
  return _mm_cvtss_f32(acc);
}

// Columns per strip of the columns pass: a window of 34 widened rows of
// 512 floats (70 KB) stays in the second-level cache.
constexpr int32_t kColumnStrip = 512;

// Rows ahead of the one widened whose strip is asked for early: a strip's
// rows lie a plane's row apart, which the processor's own prefetching
// follows poorly (the columns pass of a 3072 x 2048 plane, one thread:
// 5.5 ms without, 4.9 ms asking four or eight rows ahead).
constexpr int32_t kRowsAhead = 6;

inline void Prefetch(const unsigned char* p, int32_t count) {
  for (int32_t c = 0; c < count; c += 64) __builtin_prefetch(p + c);
}

// A block of the in-place column pass: `count` output rows (at most the
// path's block height) out0, out0 + outStep, ..., each the sum down
// rows(i) ... rows(i + n - 1) as bytes.
using ColumnBlock = void (*)(ListedRows rows, int32_t count, unsigned char* out0, int64_t outStep,
                             int32_t width, const float* k, int32_t n, float gain, float off);

template <int R>
VMK_TARGET_AVX512 void ColumnBlockRows512(ListedRows rows, unsigned char* out0, int64_t outStep,
                                          int32_t width, const float* k, int32_t n, float gain,
                                          float off) {
  const __m512 g = _mm512_set1_ps(gain), o = _mm512_set1_ps(off);
  int64_t x = 0;
  for (; x + 64 <= width; x += 64) {
    __m512 a[R][4];
    DownTaps512<R, 4, false>(rows, x, k, n, 0, a);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
#pragma GCC unroll 16
      for (int v = 0; v < 4; ++v)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + i * outStep + x + 16 * v),
                         GainBytes512(a[i][v], g, o));
  }
  for (; x + 16 <= width; x += 16) {
    __m512 a[R][1];
    DownTaps512<R, 1, false>(rows, x, k, n, 0, a);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + i * outStep + x),
                       GainBytes512(a[i][0], g, o));
  }
  if (x < width) {
    const __mmask16 m = static_cast<__mmask16>((1u << (width - x)) - 1);
    __m512 a[R][1];
    DownTaps512<R, 1, true>(rows, x, k, n, m, a);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
      _mm_mask_storeu_epi8(out0 + i * outStep + x, m, GainBytes512(a[i][0], g, o));
  }
}
VMK_TARGET_AVX512 void ColumnBlock512(ListedRows rows, int32_t count, unsigned char* out0,
                                      int64_t outStep, int32_t width, const float* k, int32_t n,
                                      float gain, float off) {
  if (count == 4 && n >= 4) {
    ColumnBlockRows512<4>(rows, out0, outStep, width, k, n, gain, off);
    return;
  }
  for (int32_t i = 0; i < count; ++i)
    ColumnBlockRows512<1>(ListedRows{rows.rows + i}, out0 + i * outStep, outStep, width, k, n, gain,
                          off);
}

template <int R>
VMK_TARGET_AVX2 void ColumnBlockRows256(ListedRows rows, unsigned char* out0, int64_t outStep,
                                        int32_t width, const float* k, int32_t n, float gain,
                                        float off) {
  const __m256 g = _mm256_set1_ps(gain), o = _mm256_set1_ps(off);
  int64_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m256 a[R][2];
    DownTaps256<R, 2>(rows, x, k, n, a);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
#pragma GCC unroll 16
      for (int v = 0; v < 2; ++v)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out0 + i * outStep + x + 8 * v),
                         GainBytes256(a[i][v], g, o));
  }
  for (; x + 8 <= width; x += 8) {
    __m256 a[R][1];
    DownTaps256<R, 1>(rows, x, k, n, a);
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out0 + i * outStep + x),
                       GainBytes256(a[i][0], g, o));
  }
  for (; x < width; ++x)
#pragma GCC unroll 16
    for (int i = 0; i < R; ++i)
      out0[i * outStep + x] = GainByte(DownTapsOne(ListedRows{rows.rows + i}, x, k, n), gain, off);
}
VMK_TARGET_AVX2 void ColumnBlock256(ListedRows rows, int32_t count, unsigned char* out0,
                                    int64_t outStep, int32_t width, const float* k, int32_t n,
                                    float gain, float off) {
  if (count == 4 && n >= 4) {
    ColumnBlockRows256<4>(rows, out0, outStep, width, k, n, gain, off);
    return;
  }
  for (int32_t i = 0; i < count; ++i)
    ColumnBlockRows256<1>(ListedRows{rows.rows + i}, out0 + i * outStep, outStep, width, k, n, gain,
                          off);
}

VMK_TARGET_AVX512 void WidenRow512(const unsigned char* src, float* out, int32_t count) {
  int32_t x = 0;
  for (; x + 16 <= count; x += 16)
    _mm512_storeu_ps(out + x,
                     Widen16To512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x))));
  for (; x < count; ++x) out[x] = static_cast<float>(src[x]);
}
VMK_TARGET_AVX2 void WidenRow256(const unsigned char* src, float* out, int32_t count) {
  int32_t x = 0;
  for (; x + 8 <= count; x += 8)
    _mm256_storeu_ps(out + x, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(
                                  _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + x)))));
  for (; x < count; ++x) out[x] = static_cast<float>(src[x]);
}

// A vector path of the columns pass: output rows per block, the widening
// of a row's bytes and the block itself.
struct ColumnPath {
  int32_t rowsAtOnce;
  void (*widen)(const unsigned char*, float*, int32_t);
  ColumnBlock block;
};

// Sixteen rows of sixteen bytes become sixteen columns: each round
// interleaves row i with row i + 8, which turns the eight bits of a byte's
// place (row, column) one bit to the left; four rounds swap row and column.
VMK_TARGET_AVX2 inline void Transpose16(__m128i (&r)[16]) {
#pragma GCC unroll 4
  for (int round = 0; round < 4; ++round) {
    __m128i t[16];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      t[2 * i] = _mm_unpacklo_epi8(r[i], r[i + 8]);
      t[2 * i + 1] = _mm_unpackhi_epi8(r[i], r[i + 8]);
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) r[i] = t[i];
  }
}

// The row pass on sixteen rows at once, turned on its side: the rows' samples
// at one place x make one line of sixteen floats (lines[x]), so the taps
// run down lines as the column pass runs down rows, and each line loaded
// serves several outputs. `rows[r]` for r < 16 (unused ones may repeat a
// row: only the first `count` are written back).
struct SideRows {
  float* lines;          // width x 16
  unsigned char* bytes;  // width x 16 outputs
};

using SidePass = void (*)(unsigned char* const* rows, int32_t count, int32_t width, const float* k,
                          int32_t n, float gain, float off, SideRows work);

// The sixteen rows' bytes at x .. x + 15 turned: b[c] holds the rows'
// samples at x + c.
VMK_TARGET_AVX2 inline void TurnedBlock(unsigned char* const* rows, int32_t x, __m128i (&b)[16]) {
#pragma GCC unroll 16
  for (int r = 0; r < 16; ++r)
    b[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[r] + x));
  Transpose16(b);
}

// The line at x past the last whole block of sixteen.
inline void TurnedTail(unsigned char* const* rows, int32_t x, float* line) {
  for (int r = 0; r < 16; ++r) line[r] = static_cast<float>(rows[r][x]);
}

// The outputs (bytes[x] for the sixteen rows at x) turned back into the
// first `count` rows.
VMK_TARGET_AVX2 inline void StoreSide(unsigned char* const* rows, int32_t count, int32_t width,
                                      const unsigned char* bytes) {
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    __m128i b[16];
#pragma GCC unroll 16
    for (int c = 0; c < 16; ++c)
      b[c] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + int64_t{x + c} * 16));
    Transpose16(b);
#pragma GCC unroll 16
    for (int r = 0; r < count; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[r] + x), b[r]);
  }
  for (; x < width; ++x)
#pragma GCC unroll 16
    for (int r = 0; r < count; ++r) rows[r][x] = bytes[int64_t{x} * 16 + r];
}

// The columns whose taps reach past the row's ends take the gain of a zero
// sum, as the plain pass gives them; then every output goes back to its row.
VMK_TARGET_AVX2 inline void FinishSide(unsigned char* const* rows, int32_t count, int32_t width,
                                       int32_t half, int32_t sums, unsigned char zero,
                                       unsigned char* bytes) {
  const int32_t from = std::min(half, width), to = std::min(half + sums, width);
  std::memset(bytes, zero, size_t(from) * 16);
  std::memset(bytes + int64_t{to} * 16, zero, size_t(width - to) * 16);
  StoreSide(rows, count, width, bytes);
}

template <int R>
VMK_TARGET_AVX512 inline void SideTaps512(const float* lines, unsigned char* bytes, int32_t x,
                                          const float* k, int32_t n, __m512 g, __m512 o) {
  __m512 a[R][1];
  DownTaps512<R, 1, false>(EvenRows{lines + int64_t{x} * 16, 16}, 0, k, n, 0, a);
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + int64_t{x + i} * 16),
                     GainBytes512(a[i][0], g, o));
}

VMK_TARGET_AVX512 void SidePass512(unsigned char* const* rows, int32_t count, int32_t width,
                                   const float* k, int32_t n, float gain, float off,
                                   SideRows work) {
  int32_t at = 0;
  for (; at + 16 <= width; at += 16) {
    __m128i b[16];
    TurnedBlock(rows, at, b);
#pragma GCC unroll 16
    for (int c = 0; c < 16; ++c)
      _mm512_storeu_ps(work.lines + int64_t{at + c} * 16, Widen16To512(b[c]));
  }
  for (; at < width; ++at) TurnedTail(rows, at, work.lines + int64_t{at} * 16);
  const int32_t half = HalfOf(n);
  const int32_t sums = std::max(width - n, 0);
  const __m512 g = _mm512_set1_ps(gain), o = _mm512_set1_ps(off);
  unsigned char* out = work.bytes + int64_t{half} * 16;
  int32_t x = 0;
  if (n >= 8)
    for (; x + 8 <= sums; x += 8) SideTaps512<8>(work.lines, out, x, k, n, g, o);
  for (; x < sums; ++x) SideTaps512<1>(work.lines, out, x, k, n, g, o);
  FinishSide(rows, count, width, half, sums, GainByte(0.0f, gain, off), work.bytes);
}

template <int R>
VMK_TARGET_AVX2 inline void SideTaps256(const float* lines, unsigned char* bytes, int32_t x,
                                        const float* k, int32_t n, __m256 g, __m256 o) {
  __m256 a[R][2];
  DownTaps256<R, 2>(EvenRows{lines + int64_t{x} * 16, 16}, 0, k, n, a);
#pragma GCC unroll 16
  for (int i = 0; i < R; ++i) {
    unsigned char* p = bytes + int64_t{x + i} * 16;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), GainBytes256(a[i][0], g, o));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8), GainBytes256(a[i][1], g, o));
  }
}

VMK_TARGET_AVX2 void SidePass256(unsigned char* const* rows, int32_t count, int32_t width,
                                 const float* k, int32_t n, float gain, float off, SideRows work) {
  int32_t at = 0;
  for (; at + 16 <= width; at += 16) {
    __m128i b[16];
    TurnedBlock(rows, at, b);
#pragma GCC unroll 16
    for (int c = 0; c < 16; ++c) {
      float* line = work.lines + int64_t{at + c} * 16;
      _mm256_storeu_ps(line, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(b[c])));
      _mm256_storeu_ps(line + 8, _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_srli_si128(b[c], 8))));
    }
  }
  for (; at < width; ++at) TurnedTail(rows, at, work.lines + int64_t{at} * 16);
  const int32_t half = HalfOf(n);
  const int32_t sums = std::max(width - n, 0);
  const __m256 g = _mm256_set1_ps(gain), o = _mm256_set1_ps(off);
  unsigned char* out = work.bytes + int64_t{half} * 16;
  int32_t x = 0;
  if (n >= 4)
    for (; x + 4 <= sums; x += 4) SideTaps256<4>(work.lines, out, x, k, n, g, o);
  for (; x < sums; ++x) SideTaps256<1>(work.lines, out, x, k, n, g, o);
  FinishSide(rows, count, width, half, sums, GainByte(0.0f, gain, off), work.bytes);
}

#endif  // VMK_SIMD_X86

}  // namespace

bool RowsInPlace(unsigned char* plane, int32_t width, int32_t height, const float* k, int32_t n,
                 float gain, float offset) {
#if VMK_SIMD_X86
  const SidePass pass = plat::PickKernel<SidePass>(nullptr, SidePass256, SidePass512);
  if (pass == nullptr) return false;
  // Bands of whole groups of sixteen rows, at most some 32 of them: each
  // keeps its own lines and outputs (80 bytes a column).
  const int32_t band = std::max(64, (height / 32 + 16) & ~15);
  const int32_t bands = plat::BandCount(0, height, band);
  const int64_t perBand = int64_t{width} * 16;
  plat::Block<float> lines(perBand * bands, WorkSource());
  plat::Block<unsigned char> bytes(perBand * bands, WorkSource());
  if (!lines || !bytes) return false;
  float* allLines = lines.get();
  unsigned char* allBytes = bytes.get();
  plat::ParallelFor(0, height, band, [=](int32_t b, int32_t y0, int32_t y1) {
    const SideRows work{allLines + perBand * b, allBytes + perBand * b};
    for (int32_t y = y0; y < y1; y += 16) {
      const int32_t count = std::min(16, y1 - y);
      // A short group repeats its last row in the unused places.
      unsigned char* rows[16];
      for (int32_t r = 0; r < 16; ++r)
        rows[r] = plane + int64_t{y + std::min(r, count - 1)} * width;
      pass(rows, count, width, k, n, gain, offset, work);
    }
  });
  return true;
#else
  (void)plane, (void)width, (void)height, (void)k, (void)n, (void)gain, (void)offset;
  return false;
#endif
}

bool ColumnsInPlace(unsigned char* plane, int32_t width, int32_t height, const float* k, int32_t n,
                    float gain, float offset) {
#if VMK_SIMD_X86
  static constexpr ColumnPath kAvx2{4, WidenRow256, ColumnBlock256};
  static constexpr ColumnPath kAvx512{4, WidenRow512, ColumnBlock512};
  const ColumnPath* path = plat::PickKernel<const ColumnPath*>(nullptr, &kAvx2, &kAvx512);
  if (path == nullptr) return false;
  const int32_t half = HalfOf(n);
  // Output row y + half sums rows y .. y + n - 1, for y < outs.
  const int32_t outs = std::max(height - n, 0);
  if (outs > 0) {
    // Bands of output rows, at most some 32. A band reads n - 1 rows beyond
    // the ones it writes, which its neighbours write: it keeps its own copy
    // of those (the halo), taken before any band starts. Its own rows it
    // reads (widens into its window) before it writes them. Within a band
    // the columns go in strips, so that the window of widened rows stays in
    // the cache (a whole-width window of 31 rows of 3072 floats does not).
    const int32_t band = std::max({128, 2 * n, outs / 32 + 1});
    const int32_t bands = plat::BandCount(0, outs, band);
    const int32_t rowsAtOnce = path->rowsAtOnce;
    const int32_t window = n + rowsAtOnce - 1;
    const int32_t strip = std::min(width, kColumnStrip);
    const int32_t above = half, below = n - 1 - half;
    plat::Block<float> ring(int64_t{bands} * window * strip, WorkSource());
    plat::Block<unsigned char> halo(int64_t{bands} * (n - 1) * width, WorkSource());
    plat::Block<const float*> lists(int64_t{bands} * window, WorkSource());
    if (!ring || !halo || !lists) return false;
    for (int32_t b = 0; b < bands; ++b) {
      const int32_t y0 = b * band, y1 = std::min(y0 + band, outs);
      unsigned char* h = halo.get() + int64_t{b} * (n - 1) * width;
      std::memcpy(h, plane + int64_t{y0} * width, static_cast<size_t>(above) * width);
      std::memcpy(h + int64_t{above} * width, plane + int64_t{y1 + half} * width,
                  static_cast<size_t>(below) * width);
    }
    float* allRings = ring.get();
    const unsigned char* allHalos = halo.get();
    const float** allLists = lists.get();
    const ColumnPath p = *path;
    plat::ParallelFor(0, outs, band, [=](int32_t b, int32_t y0, int32_t y1) {
      float* rb = allRings + int64_t{b} * window * strip;
      const unsigned char* h = allHalos + int64_t{b} * (n - 1) * width;
      const float** list = allLists + int64_t{b} * window;
      auto source = [&](int32_t r) -> const unsigned char* {
        if (r < y0 + half) return h + int64_t{r - y0} * width;
        if (r >= y1 + half) return h + int64_t{above + r - y1 - half} * width;
        return plane + int64_t{r} * width;
      };
      for (int32_t x0 = 0; x0 < width; x0 += strip) {
        const int32_t w = std::min(strip, width - x0);
        int32_t next = y0;  // the next row to widen
        for (int32_t y = y0; y < y1; y += rowsAtOnce) {
          const int32_t count = std::min(rowsAtOnce, y1 - y);
          for (; next < y + count + n - 1; ++next) {
            if (next + kRowsAhead < y1 + n - 1) Prefetch(source(next + kRowsAhead) + x0, w);
            p.widen(source(next) + x0, rb + int64_t{(next - y0) % window} * strip, w);
          }
          for (int32_t r = 0; r < count + n - 1; ++r)
            list[r] = rb + int64_t{(y - y0 + r) % window} * strip;
          p.block(ListedRows{list}, count, plane + int64_t{y + half} * width + x0, width, w, k, n,
                  gain, offset);
        }
      }
    });
  }
  const unsigned char zero = GainByte(0.0f, gain, offset);
  const int32_t from = std::min(half, height), to = std::min(half + outs, height);
  std::memset(plane, zero, static_cast<size_t>(from) * width);
  std::memset(plane + int64_t{to} * width, zero, static_cast<size_t>(height - to) * width);
  return true;
#else
  (void)plane, (void)width, (void)height, (void)k, (void)n, (void)gain, (void)offset;
  return false;
#endif
}

}  // namespace filter_passes
