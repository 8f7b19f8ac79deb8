// Bilinear pull through displacement maps.
//
// The weights are taken in hundredths, as the lens and grid engines' results
// were always computed, and the sum is truncated: the truncation is part of
// what those engines' pixels are.
#include "raster/displacement_resample.h"

#include <cstddef>
#include <cstring>
#include <cstdint>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace {

// Source position of one pixel, held inside 0..size - 1, and its far
// neighbour (position + 1, lowered to size - 1).
struct Axis {
  double pos;
  double next;
};

Axis hold(double p, int32_t size) {
  if (p < 0.0) p = 0.0;
  if (p >= size) p = size - 1;
  double n = p + 1.0;
  if (n >= size) n = size - 1;
  return Axis{p, n};
}

// Rows per band of the pull.
constexpr int32_t kPullBandRows = 16;

// The bilinear value at (x, y) with (xNext, yNext) the far corner, the weights in hundredths
// and every product taken in the order Displ documents.
inline uint8_t DisplValue(int32_t w, const uint8_t* src, double x, double y, double xNext,
                          double yNext) {
  const int32_t ix = static_cast<int32_t>(x);
  const int32_t iy = static_cast<int32_t>(y);
  const int32_t jx = static_cast<int32_t>(xNext);
  const int32_t jy = static_cast<int32_t>(yNext);
  const double fx = x - ix;
  const double fy = y - iy;
  const double s00 = src[static_cast<size_t>(iy) * w + ix];
  const double s10 = src[static_cast<size_t>(iy) * w + jx];
  const double s01 = src[static_cast<size_t>(jy) * w + ix];
  const double s11 = src[static_cast<size_t>(jy) * w + jx];
  const double value =
      (s00 * (100.0 - 100.0 * fx) * (100.0 - 100.0 * fy) +
       s10 * (100.0 * fx) * (100.0 - 100.0 * fy) + s01 * (100.0 - 100.0 * fx) * (100.0 * fy) +
       s11 * (100.0 * fx) * (100.0 * fy)) /
      10000.0;
  return static_cast<uint8_t>(static_cast<int32_t>(value));
}

// One row of the pull. `samePlaces`: every plane has the same offset, so the held position is
// worked out once for the pixel.
template <typename Offset>
void pullRow(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4], int planes,
             const uint32_t* xr, const uint32_t* yr, int32_t y, Offset& offset, bool samePlaces) {
  const size_t row = static_cast<size_t>(y) * w;
  if (samePlaces) {
    for (int32_t x = 0; x < w; ++x) {
      const Axis ax = hold(x + offset(xr[x], 0), w);
      const Axis ay = hold(y + offset(yr[x], 0), h);
      for (int k = 0; k < planes; ++k) {
        if (src[k] == nullptr || dst[k] == nullptr) continue;
        dst[k][row + x] = DisplValue(w, src[k], ax.pos, ay.pos, ax.next, ay.next);
      }
    }
    return;
  }
  for (int32_t x = 0; x < w; ++x) {
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const Axis ax = hold(x + offset(xr[x], k), w);
      const Axis ay = hold(y + offset(yr[x], k), h);
      dst[k][row + x] = DisplValue(w, src[k], ax.pos, ay.pos, ax.next, ay.next);
    }
  }
}

// The plain pull's offset of a map value: (v - neutral) / 128 pixel.
inline double PlainOffset(uint32_t v, int) {
  return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) / 128.0;
}

// One row of the plain pull, every plane at the pixel's one position; the planes apart from
// one another's targets (a pixel's planes may then be written in any order).
using PlainRow = void (*)(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4],
                          int planes, const uint32_t* xr, const uint32_t* yr, int32_t y,
                          int32_t from);

// The plain pull in whole numbers. Its offsets are whole 1/128 steps, so a position is an
// integer count of 1/128 pixel, each hundredths weight (100 - 100 f, 100 f) is a multiple of
// 100/128, and every product and sum DisplValue forms is exact in double: the sum is
// 10000 T / 16384 with T the bilinear sum in 1/128 weights, and its quotient by 10000, a
// double within a rounding of T / 16384, truncates to T >> 14 (a quotient that is not whole
// lies at least 1/16384 from the next whole number, far beyond any rounding). So T >> 14 is
// the pull's sample, bit for bit.
struct Step128 {
  int32_t at, next, fraction;  // whole position, far neighbour, 1/128 part
};

// hold() of x + (v - neutral) / 128 over 0..size - 1, in 1/128 steps.
inline Step128 HoldSteps(int32_t x, uint32_t v, int32_t size) {
  const int64_t p = int64_t{x} * 128 + int64_t{v} - int64_t{kDisplacementNeutral};
  const int64_t last = int64_t{size - 1} * 128;
  const int64_t held = p < 0 ? 0 : (p >= int64_t{size} * 128 ? last : p);
  const int64_t next = held + 128 > last ? last : held + 128;
  return {static_cast<int32_t>(held >> 7), static_cast<int32_t>(next >> 7),
          static_cast<int32_t>(held & 127)};
}

void PlainRowBaseline(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4],
                      int planes, const uint32_t* xr, const uint32_t* yr, int32_t y,
                      int32_t from = 0) {
  const size_t row = static_cast<size_t>(y) * w;
  for (int32_t x = from; x < w; ++x) {
    const Step128 sx = HoldSteps(x, xr[x], w), sy = HoldSteps(y, yr[x], h);
    const int32_t fx = sx.fraction, fy = sy.fraction;
    const int32_t w00 = (128 - fx) * (128 - fy), w10 = fx * (128 - fy);
    const int32_t w01 = (128 - fx) * fy, w11 = fx * fy;
    const size_t i00 = static_cast<size_t>(sy.at) * w + sx.at;
    const size_t i10 = static_cast<size_t>(sy.at) * w + sx.next;
    const size_t i01 = static_cast<size_t>(sy.next) * w + sx.at;
    const size_t i11 = static_cast<size_t>(sy.next) * w + sx.next;
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const uint8_t* s = src[k];
      dst[k][row + x] =
          static_cast<uint8_t>((s[i00] * w00 + s[i10] * w10 + s[i01] * w01 + s[i11] * w11) >> 14);
    }
  }
}

#if VMK_SIMD_X86
// The samples at `index` and at index + step (step 0 or 1: a position's far neighbour is the
// next sample, or the same one held at the edge) for eight lanes, from one 32-bit read each: an
// index within the last three samples reads the four that end the plane and shifts its bytes
// down, so no read passes the plane's end (size at least 4).
VMK_TARGET_AVX2 inline void SamplePairs8(const uint8_t* plane, __m256i index, __m256i step,
                                         __m256i lastWord, __m256i* near, __m256i* far) {
  const __m256i start = _mm256_min_epi32(index, lastWord);
  const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(plane), start, 1);
  const __m256i shift = _mm256_slli_epi32(_mm256_sub_epi32(index, start), 3);
  const __m256i byte = _mm256_set1_epi32(0xFF);
  *near = _mm256_and_si256(_mm256_srlv_epi32(words, shift), byte);
  *far = _mm256_and_si256(
      _mm256_srlv_epi32(words, _mm256_add_epi32(shift, _mm256_slli_epi32(step, 3))), byte);
}

// HoldSteps on eight lanes: v against the bounds where the position leaves 0..size - 1
// (compared unsigned), the steps taken from the lower bound, then the far neighbour.
VMK_TARGET_AVX2 inline void Hold8(__m256i v, __m256i low, __m256i high, __m256i last, __m256i* at,
                                  __m256i* next) {
  const __m256i flip = _mm256_set1_epi32(static_cast<int32_t>(0x80000000u));
  const __m256i fv = _mm256_xor_si256(v, flip);
  const __m256i below = _mm256_cmpgt_epi32(_mm256_xor_si256(low, flip), fv);
  const __m256i beyond = _mm256_cmpgt_epi32(fv, _mm256_xor_si256(high, flip));
  __m256i p = _mm256_sub_epi32(v, low);
  p = _mm256_andnot_si256(below, p);
  p = _mm256_blendv_epi8(p, last, beyond);
  *at = p;
  *next = _mm256_min_epi32(_mm256_add_epi32(p, _mm256_set1_epi32(128)), last);
}

// The least of eight lanes.
VMK_TARGET_AVX2 inline int32_t LeastOf8(__m256i v) {
  __m128i m = _mm_min_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0x4E));
  m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0xB1));
  return _mm_cvtsi128_si32(m);
}

// Eight 16-bit values held in the low halves of eight 32-bit lanes, in lane order, as the low
// 128 bits, and those of `b` as the high 128 bits.
VMK_TARGET_AVX2 inline __m256i Halves16(__m256i a, __m256i b) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
}

// PlainRowBaseline eight pixels a step. The bounds need the neutral value above every
// 128 x column (widths up to 2.5 million) and the plane within 32-bit indices of at least
// four samples; the caller sees to both.
//
// The maps the lens and grid engines make move neighbouring pixels alike, so the eight
// source positions of a step mostly lie within 16 columns and their top rows within two
// neighbouring rows: then three rows of 16 samples from the leftmost column are read and each
// pixel's four samples picked out of them by byte shuffles, a row pair to a register, each
// pick zeroed in the row it does not come from. The sum is the baseline's whole-number sum,
// taken across then down with the samples less 128 (signed bytes for the multiply-adds):
//   across = (128 - fx) (s0 - 128) + fx (s1 - 128), the row's sum less 128 x 128, and
//   ((128 - fy) across0 + fy across1) >> 14 plus 128 is the baseline's sum >> 14, as
// (128 - fy + fy) x 128 x 128 = 2^21 is a whole number of 2^14. A step whose positions spread
// wider, or whose third row would reach past the plane, reads its samples by gathers.
// Measured on 2048 x 1536 through the maps of a curved 10 x 10 grid, one thread, on a shared
// 8-core AVX2 machine under heavy load (about 38): 18 ms against 32 ms for the gathers alone.
VMK_TARGET_AVX2 void PlainRowAvx2(int32_t h, int32_t w, const uint8_t* const src[4],
                                  uint8_t* const dst[4], int planes, const uint32_t* xr,
                                  const uint32_t* yr, int32_t y, int32_t from) {
  const size_t row = static_cast<size_t>(y) * w;
  const auto neutral = static_cast<int64_t>(kDisplacementNeutral);
  const __m256i lastX = _mm256_set1_epi32((w - 1) * 128);
  const __m256i lastY = _mm256_set1_epi32((h - 1) * 128);
  // v below neutral - 128 y leaves the top; v above neutral + 128 (h - y) - 1 the bottom.
  const __m256i lowY = _mm256_set1_epi32(static_cast<int32_t>(neutral - int64_t{y} * 128));
  const __m256i highY = _mm256_set1_epi32(
      static_cast<int32_t>(static_cast<uint32_t>(neutral + int64_t{h - y} * 128 - 1)));
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i width = _mm256_set1_epi32(w), full = _mm256_set1_epi32(128);
  const __m256i lastWord = _mm256_set1_epi32(static_cast<int32_t>(int64_t{w} * h - 4));
  int32_t x = from;
  for (; x + 8 <= w; x += 8) {
    const __m256i col128 = _mm256_slli_epi32(_mm256_add_epi32(_mm256_set1_epi32(x), lane), 7);
    const __m256i lowX = _mm256_sub_epi32(_mm256_set1_epi32(static_cast<int32_t>(neutral)), col128);
    const __m256i highX = _mm256_sub_epi32(
        _mm256_set1_epi32(
            static_cast<int32_t>(static_cast<uint32_t>(neutral + int64_t{w} * 128 - 1))),
        col128);
    __m256i px, nx, py, ny;
    Hold8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(xr + x)), lowX, highX, lastX, &px,
          &nx);
    Hold8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(yr + x)), lowY, highY, lastY, &py,
          &ny);
    const __m256i fx = _mm256_and_si256(px, _mm256_set1_epi32(127));
    const __m256i fy = _mm256_and_si256(py, _mm256_set1_epi32(127));
    const __m256i gx = _mm256_sub_epi32(full, fx), gy = _mm256_sub_epi32(full, fy);
    const __m256i ix = _mm256_srli_epi32(px, 7), jx = _mm256_srli_epi32(nx, 7);
    const __m256i iy = _mm256_srli_epi32(py, 7), jy = _mm256_srli_epi32(ny, 7);
    const __m256i step = _mm256_sub_epi32(jx, ix);
    const int32_t base = LeastOf8(ix);
    const int32_t topRow = LeastOf8(iy);
    const __m256i across = _mm256_sub_epi32(ix, _mm256_set1_epi32(base));
    const __m256i downTop = _mm256_sub_epi32(iy, _mm256_set1_epi32(topRow));
    const __m256i downBottom = _mm256_sub_epi32(jy, _mm256_set1_epi32(topRow + 1));
    // Near: every far column within the 16 read, every top row one of the first two, every
    // bottom row one of the two after the first (so none at the plane's last row, where it is
    // the top one), and the third row's 16 samples inside the plane. Compared as signed: a
    // lane below its bound turns negative, its unsigned value past any bound, by the xor.
    const __m256i flip = _mm256_set1_epi32(static_cast<int32_t>(0x80000000u));
    const __m256i wide8 = _mm256_or_si256(
        _mm256_cmpgt_epi32(_mm256_xor_si256(_mm256_add_epi32(across, step), flip),
                           _mm256_set1_epi32(static_cast<int32_t>(0x80000000u + 15))),
        _mm256_or_si256(
            _mm256_cmpgt_epi32(_mm256_xor_si256(downTop, flip),
                               _mm256_set1_epi32(static_cast<int32_t>(0x80000000u + 1))),
            _mm256_cmpgt_epi32(_mm256_xor_si256(downBottom, flip),
                               _mm256_set1_epi32(static_cast<int32_t>(0x80000000u + 1)))));
    const int64_t at = int64_t{topRow} * w + base;
    if (_mm256_testz_si256(wide8, wide8) && at + 2 * int64_t{w} + 16 <= int64_t{w} * h) {
      // Each pixel's near and far column as one 16-bit pick, the far one in the high byte;
      // the pick from the row it does not come from has its bytes' top bits set, so the
      // shuffle gives 0 there.
      const __m256i pick = _mm256_or_si256(
          across, _mm256_slli_epi32(_mm256_add_epi32(across, step), 8));
      const __m256i other = _mm256_set1_epi32(0x8080);
      const __m256i lowerTop = _mm256_and_si256(_mm256_sub_epi32(_mm256_setzero_si256(), downTop), other);
      const __m256i lowerBottom =
          _mm256_and_si256(_mm256_sub_epi32(_mm256_setzero_si256(), downBottom), other);
      const __m256i pickTop = Halves16(_mm256_or_si256(pick, lowerTop),
                                       _mm256_or_si256(pick, _mm256_xor_si256(lowerTop, other)));
      const __m256i pickBottom = Halves16(
          _mm256_or_si256(pick, lowerBottom),
          _mm256_or_si256(pick, _mm256_xor_si256(lowerBottom, other)));
      // (128 - fx, fx) byte pairs for both rows; (128 - fy, fy) 16-bit pairs.
      const __m256i weightX = _mm256_permute4x64_epi64(
          _mm256_packus_epi32(_mm256_or_si256(gx, _mm256_slli_epi32(fx, 8)),
                              _mm256_or_si256(gx, _mm256_slli_epi32(fx, 8))),
          0x88);
      const __m256i weightY = _mm256_or_si256(gy, _mm256_slli_epi32(fy, 16));
      const __m128i weightLow = _mm256_castsi256_si128(weightY);
      const __m128i weightHigh = _mm256_extracti128_si256(weightY, 1);
      const __m256i signs = _mm256_set1_epi8(static_cast<char>(0x80));
      const __m128i half = _mm_set1_epi16(128);
      for (int k = 0; k < planes; ++k) {
        if (src[k] == nullptr || dst[k] == nullptr) continue;
        const uint8_t* s = src[k] + at;
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + w));
        const __m256i rowsTop = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s))), r1, 1);
        const __m256i rowsBottom = _mm256_inserti128_si256(
            _mm256_castsi128_si256(r1),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * static_cast<size_t>(w))), 1);
        const __m256i top = _mm256_shuffle_epi8(rowsTop, pickTop);
        const __m256i bottom = _mm256_shuffle_epi8(rowsBottom, pickBottom);
        // The top row's samples as the low 128 bits, the bottom row's as the high ones.
        const __m256i samples = _mm256_xor_si256(
            _mm256_or_si256(_mm256_permute2x128_si256(top, bottom, 0x20),
                            _mm256_permute2x128_si256(top, bottom, 0x31)),
            signs);
        const __m256i rowSums = _mm256_maddubs_epi16(weightX, samples);
        const __m128i sumTop = _mm256_castsi256_si128(rowSums);
        const __m128i sumBottom = _mm256_extracti128_si256(rowSums, 1);
        const __m128i low = _mm_srai_epi32(
            _mm_madd_epi16(_mm_unpacklo_epi16(sumTop, sumBottom), weightLow), 14);
        const __m128i high = _mm_srai_epi32(
            _mm_madd_epi16(_mm_unpackhi_epi16(sumTop, sumBottom), weightHigh), 14);
        const __m128i values = _mm_add_epi16(_mm_packs_epi32(low, high), half);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst[k] + row + x),
                         _mm_packus_epi16(values, values));
      }
      continue;
    }
    const __m256i w00 = _mm256_mullo_epi32(gx, gy), w10 = _mm256_mullo_epi32(fx, gy);
    const __m256i w01 = _mm256_mullo_epi32(gx, fy), w11 = _mm256_mullo_epi32(fx, fy);
    const __m256i top = _mm256_mullo_epi32(iy, width);
    const __m256i bottom = _mm256_mullo_epi32(jy, width);
    const __m256i i00 = _mm256_add_epi32(top, ix), i01 = _mm256_add_epi32(bottom, ix);
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const uint8_t* s = src[k];
      __m256i s00, s10, s01, s11;
      SamplePairs8(s, i00, step, lastWord, &s00, &s10);
      SamplePairs8(s, i01, step, lastWord, &s01, &s11);
      __m256i t = _mm256_mullo_epi32(s00, w00);
      t = _mm256_add_epi32(t, _mm256_mullo_epi32(s10, w10));
      t = _mm256_add_epi32(t, _mm256_mullo_epi32(s01, w01));
      t = _mm256_add_epi32(t, _mm256_mullo_epi32(s11, w11));
      t = _mm256_srli_epi32(t, 14);
      // Eight 32-bit values of at most 255 to eight bytes.
      const __m128i lo = _mm256_castsi256_si128(t), hi = _mm256_extracti128_si256(t, 1);
      const __m128i words = _mm_packus_epi32(lo, hi);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst[k] + row + x),
                       _mm_packus_epi16(words, words));
    }
  }
  if (x < w) PlainRowBaseline(h, w, src, dst, planes, xr, yr, y, x);
}

// The fringe pull's row four pixels a step, one plane at a time: each plane's offsets scaled
// by its percentage, held and weighed in doubles by the very operations, in the very order,
// of the plane by plane pull (hold, then DisplValue), lane by lane; the four samples read
// from one 32-bit word each, as SamplePairs8 reads them (a far sample may lie up to two past
// its near one, where adding 1 to a position rounds across a whole number). The plane must
// hold at least four samples within 32-bit indices. Measured with the lens correction's
// fringe compensation on 2048 x 1536 at one thread, on a shared machine under load: the
// whole render 97 to 125 ms against 139 to 198 ms plane by plane.
using FringeRow = void (*)(int32_t h, int32_t w, const uint8_t* const src[4],
                           uint8_t* const dst[4], int planes, const uint32_t* xr,
                           const uint32_t* yr, int32_t y, const double* scale);

VMK_TARGET_AVX2 inline __m128i Sample4(const uint8_t* plane, __m128i index, __m128i lastWord) {
  const __m128i start = _mm_min_epi32(index, lastWord);
  const __m128i words = _mm_i32gather_epi32(reinterpret_cast<const int*>(plane), start, 1);
  const __m128i shift = _mm_slli_epi32(_mm_sub_epi32(index, start), 3);
  return _mm_and_si128(_mm_srlv_epi32(words, shift), _mm_set1_epi32(0xFF));
}

// hold() on four lanes: p held to 0..size - 1 and its far neighbour.
VMK_TARGET_AVX2 inline void Hold4(__m256d p, __m256d size, __m256d last, __m256d* at,
                                  __m256d* next) {
  p = _mm256_blendv_pd(p, _mm256_setzero_pd(), _mm256_cmp_pd(p, _mm256_setzero_pd(), _CMP_LT_OQ));
  p = _mm256_blendv_pd(p, last, _mm256_cmp_pd(p, size, _CMP_GE_OQ));
  __m256d n = _mm256_add_pd(p, _mm256_set1_pd(1.0));
  n = _mm256_blendv_pd(n, last, _mm256_cmp_pd(n, size, _CMP_GE_OQ));
  *at = p;
  *next = n;
}

// Four uint32 map values as doubles, less the neutral value.
VMK_TARGET_AVX2 inline __m256d Offsets4(const uint32_t* v) {
  const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
  // v - 2^31 as a signed value, widened exactly, then 2^31 added back.
  const __m256d d = _mm256_add_pd(
      _mm256_cvtepi32_pd(_mm_xor_si128(raw, _mm_set1_epi32(static_cast<int32_t>(0x80000000u)))),
      _mm256_set1_pd(2147483648.0));
  return _mm256_sub_pd(d, _mm256_set1_pd(static_cast<double>(kDisplacementNeutral)));
}

VMK_TARGET_AVX2 void FringeRowAvx2(int32_t h, int32_t w, const uint8_t* const src[4],
                                   uint8_t* const dst[4], int planes, const uint32_t* xr,
                                   const uint32_t* yr, int32_t y, const double* scale) {
  const size_t row = static_cast<size_t>(y) * w;
  const __m256d width = _mm256_set1_pd(w), height = _mm256_set1_pd(h);
  const __m256d lastX = _mm256_set1_pd(w - 1), lastY = _mm256_set1_pd(h - 1);
  const __m256d rowY = _mm256_set1_pd(y), hundred = _mm256_set1_pd(100.0);
  const __m256d quotient = _mm256_set1_pd(12800.0), tenThousand = _mm256_set1_pd(10000.0);
  const __m128i lastWord = _mm_set1_epi32(static_cast<int32_t>(int64_t{w} * h - 4));
  const __m128i stride = _mm_set1_epi32(w);
  int32_t x = 0;
  for (; x + 4 <= w; x += 4) {
    const __m256d dx = Offsets4(xr + x), dy = Offsets4(yr + x);
    const __m256d col = _mm256_add_pd(_mm256_set1_pd(x), _mm256_setr_pd(0.0, 1.0, 2.0, 3.0));
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const __m256d factor = _mm256_set1_pd(scale[k]);
      __m256d px, nx, py, ny;
      Hold4(_mm256_add_pd(col, _mm256_div_pd(_mm256_mul_pd(dx, factor), quotient)), width, lastX,
            &px, &nx);
      Hold4(_mm256_add_pd(rowY, _mm256_div_pd(_mm256_mul_pd(dy, factor), quotient)), height,
            lastY, &py, &ny);
      const __m128i ix = _mm256_cvttpd_epi32(px), iy = _mm256_cvttpd_epi32(py);
      const __m128i jx = _mm256_cvttpd_epi32(nx), jy = _mm256_cvttpd_epi32(ny);
      const __m256d fx = _mm256_sub_pd(px, _mm256_cvtepi32_pd(ix));
      const __m256d fy = _mm256_sub_pd(py, _mm256_cvtepi32_pd(iy));
      const __m128i top = _mm_mullo_epi32(iy, stride), bottom = _mm_mullo_epi32(jy, stride);
      const uint8_t* s = src[k];
      const __m256d s00 = _mm256_cvtepi32_pd(Sample4(s, _mm_add_epi32(top, ix), lastWord));
      const __m256d s10 = _mm256_cvtepi32_pd(Sample4(s, _mm_add_epi32(top, jx), lastWord));
      const __m256d s01 = _mm256_cvtepi32_pd(Sample4(s, _mm_add_epi32(bottom, ix), lastWord));
      const __m256d s11 = _mm256_cvtepi32_pd(Sample4(s, _mm_add_epi32(bottom, jx), lastWord));
      const __m256d hx = _mm256_mul_pd(hundred, fx), hy = _mm256_mul_pd(hundred, fy);
      const __m256d gx = _mm256_sub_pd(hundred, hx), gy = _mm256_sub_pd(hundred, hy);
      __m256d v = _mm256_mul_pd(_mm256_mul_pd(s00, gx), gy);
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(s10, hx), gy));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(s01, gx), hy));
      v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(s11, hx), hy));
      const __m128i out = _mm256_cvttpd_epi32(_mm256_div_pd(v, tenThousand));
      const __m128i bytes = _mm_shuffle_epi8(out, _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1,
                                                                -1, -1, -1, -1, -1, -1, -1));
      const int32_t four = _mm_cvtsi128_si32(bytes);
      std::memcpy(dst[k] + row + x, &four, 4);
    }
  }
  for (; x < w; ++x) {
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const double ox =
          (static_cast<double>(xr[x]) - static_cast<double>(kDisplacementNeutral)) * scale[k] /
          12800.0;
      const double oy =
          (static_cast<double>(yr[x]) - static_cast<double>(kDisplacementNeutral)) * scale[k] /
          12800.0;
      const Axis ax = hold(x + ox, w);
      const Axis ay = hold(y + oy, h);
      dst[k][row + x] = DisplValue(w, src[k], ax.pos, ay.pos, ax.next, ay.next);
    }
  }
}

// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports, at -O3, as uninitialised values in every caller.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// SamplePairs8 on sixteen lanes, the far sample's shift (0 or 8 bits) given.
VMK_TARGET_AVX512VBMI inline void SamplePairs16(const uint8_t* plane, __m512i index, __m512i shift,
                                                __m512i lastWord, __m512i* near, __m512i* far) {
  const __m512i start = _mm512_min_epi32(index, lastWord);
  const __m512i words = _mm512_i32gather_epi32(start, plane, 1);
  const __m512i offset = _mm512_slli_epi32(_mm512_sub_epi32(index, start), 3);
  const __m512i byte = _mm512_set1_epi32(0xFF);
  *near = _mm512_and_si512(_mm512_srlv_epi32(words, offset), byte);
  *far = _mm512_and_si512(_mm512_srlv_epi32(words, _mm512_add_epi32(offset, shift)), byte);
}

// The least of sixteen lanes.
VMK_TARGET_AVX512VBMI inline int32_t LeastOf16(__m512i v) {
  __m512i m = _mm512_min_epi32(v, _mm512_shuffle_i32x4(v, v, 0x4E));
  m = _mm512_min_epi32(m, _mm512_shuffle_i32x4(m, m, 0xB1));
  m = _mm512_min_epi32(m, _mm512_shuffle_epi32(m, _MM_PERM_BADC));
  m = _mm512_min_epi32(m, _mm512_shuffle_epi32(m, _MM_PERM_CDAB));
  return _mm_cvtsi128_si32(_mm512_castsi512_si128(m));
}

// Hold8 on sixteen lanes.
VMK_TARGET_AVX512VBMI inline void Hold16(__m512i v, __m512i low, __m512i high, __m512i last,
                                         __m512i* at, __m512i* next) {
  const __mmask16 below = _mm512_cmplt_epu32_mask(v, low);
  const __mmask16 beyond = _mm512_cmpgt_epu32_mask(v, high);
  __m512i p = _mm512_maskz_sub_epi32(static_cast<__mmask16>(~below), v, low);
  p = _mm512_mask_mov_epi32(p, beyond, last);
  *at = p;
  *next = _mm512_min_epi32(_mm512_add_epi32(p, _mm512_set1_epi32(128)), last);
}

// PlainRowBaseline sixteen pixels a step, without gathers where it can. The maps the lens
// and grid engines make move neighbouring pixels alike, so the sixteen source positions of a
// step mostly lie within 32 columns and their top rows within four neighbouring rows: then
// five rows of 32 samples from the leftmost column are read and each pixel's four samples
// picked out of them by byte permutes. A step whose positions spread wider, or that reaches
// the plane's last row, reads its samples by gathers as PlainRowAvx2 does. Either way the
// sum is the baseline's whole-number sum, taken across then down,
//   (128 - fy) ((128 - fx) s00 + fx s10) + fy ((128 - fx) s01 + fx s11),
// each part exact in its lanes (a row's part at most 128 x 255 in 16 bits, the whole in 32).
// Measured on a 2048 x 1536 picture through the maps of a curved 10 x 10 grid (one thread,
// on a shared 8-core machine under load): about 11 ms, against 22 to 26 ms for the eight-lane
// gathers.
VMK_TARGET_AVX512VBMI void PlainRowVbmi(int32_t h, int32_t w, const uint8_t* const src[4],
                                        uint8_t* const dst[4], int planes, const uint32_t* xr,
                                        const uint32_t* yr, int32_t y, int32_t from) {
  const size_t row = static_cast<size_t>(y) * w;
  const auto neutral = static_cast<int64_t>(kDisplacementNeutral);
  const __m512i lastX = _mm512_set1_epi32((w - 1) * 128);
  const __m512i lastY = _mm512_set1_epi32((h - 1) * 128);
  const __m512i lowY = _mm512_set1_epi32(static_cast<int32_t>(neutral - int64_t{y} * 128));
  const __m512i highY = _mm512_set1_epi32(
      static_cast<int32_t>(static_cast<uint32_t>(neutral + int64_t{h - y} * 128 - 1)));
  const __m512i highX0 = _mm512_set1_epi32(
      static_cast<int32_t>(static_cast<uint32_t>(neutral + int64_t{w} * 128 - 1)));
  const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m512i width = _mm512_set1_epi32(w), full = _mm512_set1_epi32(128);
  const __m512i fraction = _mm512_set1_epi32(127), three = _mm512_set1_epi32(3);
  const __m512i lastWord = _mm512_set1_epi32(static_cast<int32_t>(int64_t{w} * h - 4));
  int32_t x = from;
  for (; x + 16 <= w; x += 16) {
    const __m512i col128 = _mm512_slli_epi32(_mm512_add_epi32(_mm512_set1_epi32(x), lane), 7);
    const __m512i lowX = _mm512_sub_epi32(_mm512_set1_epi32(static_cast<int32_t>(neutral)), col128);
    const __m512i highX = _mm512_sub_epi32(highX0, col128);
    __m512i px, nx, py, ny;
    Hold16(_mm512_loadu_si512(xr + x), lowX, highX, lastX, &px, &nx);
    Hold16(_mm512_loadu_si512(yr + x), lowY, highY, lastY, &py, &ny);
    const __m512i fx = _mm512_and_si512(px, fraction), fy = _mm512_and_si512(py, fraction);
    const __m512i gx = _mm512_sub_epi32(full, fx), gy = _mm512_sub_epi32(full, fy);
    const __m512i ix = _mm512_srli_epi32(px, 7), jx = _mm512_srli_epi32(nx, 7);
    const __m512i iy = _mm512_srli_epi32(py, 7), jy = _mm512_srli_epi32(ny, 7);
    const __m512i step = _mm512_sub_epi32(jx, ix);
    const int32_t base = LeastOf16(ix);
    const int32_t top = LeastOf16(iy);
    const __m512i across = _mm512_sub_epi32(ix, _mm512_set1_epi32(base));
    const __m512i downTop = _mm512_sub_epi32(iy, _mm512_set1_epi32(top));
    const __m512i downBottom = _mm512_sub_epi32(jy, _mm512_set1_epi32(top + 1));
    // Near: every far column within the 32 read, every top row one of the first four, every
    // bottom row one of the four after the first (so none at the plane's last row, where it
    // is the top one).
    const __mmask16 near =
        _mm512_cmple_epu32_mask(_mm512_add_epi32(across, step), _mm512_set1_epi32(31)) &
        _mm512_cmple_epu32_mask(downTop, three) & _mm512_cmple_epu32_mask(downBottom, three);
    if (near == 0xFFFF) {
      const __m512i nearTop = _mm512_add_epi32(across, _mm512_slli_epi32(downTop, 5));
      const __m512i nearBottom = _mm512_add_epi32(across, _mm512_slli_epi32(downBottom, 5));
      const __m512i iTN = _mm512_zextsi128_si512(_mm512_cvtepi32_epi8(nearTop));
      const __m512i iTF = _mm512_zextsi128_si512(_mm512_cvtepi32_epi8(_mm512_add_epi32(nearTop, step)));
      const __m512i iBN = _mm512_zextsi128_si512(_mm512_cvtepi32_epi8(nearBottom));
      const __m512i iBF =
          _mm512_zextsi128_si512(_mm512_cvtepi32_epi8(_mm512_add_epi32(nearBottom, step)));
      const __m256i gx16 = _mm512_cvtepi32_epi16(gx), fx16 = _mm512_cvtepi32_epi16(fx);
      const __m256i gy16 = _mm512_cvtepi32_epi16(gy), fy16 = _mm512_cvtepi32_epi16(fy);
      const __m256i wLow = _mm256_unpacklo_epi16(gy16, fy16);
      const __m256i wHigh = _mm256_unpackhi_epi16(gy16, fy16);
      // Five rows of 32 samples from `base` on; samples past a row's end, and rows past the
      // plane's, are not read (a lane never picks them).
      const int64_t left = int64_t{w} - base;
      const __mmask32 inRow = left >= 32 ? ~__mmask32{0} : (__mmask32{1} << left) - 1;
      __mmask32 rowMask[5];
      for (int r = 0; r < 5; ++r) rowMask[r] = top + r < h ? inRow : 0;
      const size_t at = static_cast<size_t>(top) * w + base;
      for (int k = 0; k < planes; ++k) {
        if (src[k] == nullptr || dst[k] == nullptr) continue;
        const uint8_t* s = src[k] + at;
        __m256i r[5];
        for (int j = 0; j < 5; ++j)
          r[j] = _mm256_maskz_loadu_epi8(rowMask[j], s + static_cast<size_t>(j) * w);
        // Rows 0 to 3 for the top samples, 1 to 4 for the bottom ones, 32 bytes a row.
        const __m512i t01 = _mm512_inserti64x4(_mm512_castsi256_si512(r[0]), r[1], 1);
        const __m512i t23 = _mm512_inserti64x4(_mm512_castsi256_si512(r[2]), r[3], 1);
        const __m512i b12 = _mm512_inserti64x4(_mm512_castsi256_si512(r[1]), r[2], 1);
        const __m512i b34 = _mm512_inserti64x4(_mm512_castsi256_si512(r[3]), r[4], 1);
        const __m256i s00 = _mm256_cvtepu8_epi16(
            _mm512_castsi512_si128(_mm512_permutex2var_epi8(t01, iTN, t23)));
        const __m256i s10 = _mm256_cvtepu8_epi16(
            _mm512_castsi512_si128(_mm512_permutex2var_epi8(t01, iTF, t23)));
        const __m256i s01 = _mm256_cvtepu8_epi16(
            _mm512_castsi512_si128(_mm512_permutex2var_epi8(b12, iBN, b34)));
        const __m256i s11 = _mm256_cvtepu8_epi16(
            _mm512_castsi512_si128(_mm512_permutex2var_epi8(b12, iBF, b34)));
        const __m256i across0 =
            _mm256_add_epi16(_mm256_mullo_epi16(s00, gx16), _mm256_mullo_epi16(s10, fx16));
        const __m256i across1 =
            _mm256_add_epi16(_mm256_mullo_epi16(s01, gx16), _mm256_mullo_epi16(s11, fx16));
        const __m256i tLow = _mm256_srli_epi32(
            _mm256_madd_epi16(_mm256_unpacklo_epi16(across0, across1), wLow), 14);
        const __m256i tHigh = _mm256_srli_epi32(
            _mm256_madd_epi16(_mm256_unpackhi_epi16(across0, across1), wHigh), 14);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[k] + row + x),
                         _mm256_cvtepi16_epi8(_mm256_packus_epi32(tLow, tHigh)));
      }
      continue;
    }
    const __m512i w00 = _mm512_mullo_epi32(gx, gy), w10 = _mm512_mullo_epi32(fx, gy);
    const __m512i w01 = _mm512_mullo_epi32(gx, fy), w11 = _mm512_mullo_epi32(fx, fy);
    const __m512i i00 = _mm512_add_epi32(_mm512_mullo_epi32(iy, width), ix);
    const __m512i i01 = _mm512_add_epi32(_mm512_mullo_epi32(jy, width), ix);
    const __m512i shift = _mm512_slli_epi32(step, 3);
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      __m512i s00, s10, s01, s11;
      SamplePairs16(src[k], i00, shift, lastWord, &s00, &s10);
      SamplePairs16(src[k], i01, shift, lastWord, &s01, &s11);
      __m512i t = _mm512_mullo_epi32(s00, w00);
      t = _mm512_add_epi32(t, _mm512_mullo_epi32(s10, w10));
      t = _mm512_add_epi32(t, _mm512_mullo_epi32(s01, w01));
      t = _mm512_add_epi32(t, _mm512_mullo_epi32(s11, w11));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[k] + row + x),
                       _mm512_cvtepi32_epi8(_mm512_srli_epi32(t, 14)));
    }
  }
  if (x < w) PlainRowBaseline(h, w, src, dst, planes, xr, yr, y, x);
}
#pragma GCC diagnostic pop
#endif

// The rows are pulled from the bottom up. When no plane written is one
// read, each row depends on the sources alone, and the rows run in bands on
// the shared threads; otherwise the one walk from the bottom keeps what a
// row reads of the rows already pulled. `wide`, when given, pulls a row of
// the plain pull with planes apart.
template <typename Offset>
void pull(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4],
          const uint32_t* const* xMap, const uint32_t* const* yMap, bool samePlaces,
          Offset&& offset, PlainRow wide = nullptr, FringeRow fringe = nullptr,
          const double* scale = nullptr) {
  if (h <= 0 || w <= 0 || xMap == nullptr || yMap == nullptr) return;
  const int planes = (src[3] != nullptr && dst[3] != nullptr) ? 4 : 3;
  const size_t size = static_cast<size_t>(h) * w;
  bool apart = true;
  for (int k = 0; k < planes; ++k)
    for (int j = 0; j < planes; ++j) {
      if (src[k] == nullptr || dst[j] == nullptr) continue;
      const auto a = reinterpret_cast<uintptr_t>(src[k]), b = reinterpret_cast<uintptr_t>(dst[j]);
      apart = apart && (a + size <= b || b + size <= a);
    }
  if (!apart) {
    for (int32_t y = h - 1; y >= 0; --y)
      pullRow(h, w, src, dst, planes, xMap[y], yMap[y], y, offset, samePlaces);
    return;
  }
  plat::ParallelFor(0, h, kPullBandRows, [&](int32_t first, int32_t last) {
    for (int32_t y = last - 1; y >= first; --y) {
      if (wide != nullptr)
        wide(h, w, src, dst, planes, xMap[y], yMap[y], y, 0);
      else if (fringe != nullptr)
        fringe(h, w, src, dst, planes, xMap[y], yMap[y], y, scale);
      else
        pullRow(h, w, src, dst, planes, xMap[y], yMap[y], y, offset, samePlaces);
    }
  });
}

}  // namespace

void Displ(int32_t /*h*/, int32_t w, const uint8_t* src, uint8_t* dst, double x, double y,
           double /*xPrev*/, double /*yPrev*/, double xNext, double yNext) {
  *dst = DisplValue(w, src, x, y, xNext, yNext);
}

void ComputeBufRGBInterDisAtXY(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                               uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                               const uint32_t* const* xMap, const uint32_t* const* yMap) {
  const uint8_t* const src[4] = {srcR, srcG, srcB, srcMask};
  uint8_t* const dst[4] = {dstR, dstG, dstB, dstMask};
  PlainRow wide = PlainRowBaseline;
#if VMK_SIMD_X86
  // The eight-lane form's bounds: a plane of at least four samples within 32-bit indices,
  // and the neutral value above 128 times every column.
  const int64_t samples = int64_t{w} * h;
  if (samples >= 4 && samples <= INT32_MAX && int64_t{w} * 128 < kDisplacementNeutral &&
      int64_t{h} * 128 < kDisplacementNeutral)
    wide = plat::SimdHasByteVbmi() ? PlainRowVbmi
                                   : plat::PickKernel<PlainRow>(PlainRowBaseline, PlainRowAvx2);
#endif
  pull(h, w, src, dst, xMap, yMap, true, PlainOffset, wide);
}

void ComputeBufRGBInterDisAtXYfring(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                                    const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                                    uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                                    const uint32_t* const* xMap, const uint32_t* const* yMap,
                                    int32_t kR, int32_t kG, int32_t kB) {
  const uint8_t* const src[4] = {srcR, srcG, srcB, srcMask};
  uint8_t* const dst[4] = {dstR, dstG, dstB, dstMask};
  const double k[4] = {static_cast<double>(kR), static_cast<double>(kG), static_cast<double>(kB),
                       100.0};
  FringeRow wide = nullptr;
#if VMK_SIMD_X86
  // The four-lane form's bounds: a plane of at least four samples within 32-bit indices.
  const int64_t samples = int64_t{w} * h;
  if (samples >= 4 && samples <= INT32_MAX)
    wide = plat::PickKernel<FringeRow>(nullptr, FringeRowAvx2);
#endif
  pull(
      h, w, src, dst, xMap, yMap, false,
      [&k](uint32_t v, int plane) {
        return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) * k[plane] /
               12800.0;
      },
      nullptr, wide, k);
}
