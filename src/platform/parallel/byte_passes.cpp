#include "platform/parallel/byte_passes.h"

#include <cstring>

#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace plat {
namespace {

// Pixels [first, last): each plane pointer held locally, so that a byte stored cannot be
// taken to change it.
void SplitRunPlain(const uint8_t* pixels, uint8_t* const planes[4], int64_t first,
                   int64_t last) {
  for (int32_t k = 0; k < 4; ++k) {
    uint8_t* const p = planes[k];
    if (p == nullptr) continue;
    for (int64_t i = first; i < last; ++i) p[i] = pixels[4 * i + k];
  }
}

#if VMK_SIMD_X86
// Sixteen pixels a step: within each 128-bit half the bytes are grouped by component, the
// dwords then gathered so that each 64-bit lane holds eight pixels' bytes of one component,
// and the lanes of two loads paired into sixteen bytes of each plane. Needs planes 0..2.
VMK_TARGET_AVX2 void SplitRunAvx2(const uint8_t* pixels, uint8_t* const planes[4],
                                  int64_t first, int64_t last) {
  uint8_t* const p0 = planes[0];
  uint8_t* const p1 = planes[1];
  uint8_t* const p2 = planes[2];
  uint8_t* const p3 = planes[3];
  const __m256i group = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,
                                         0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  const __m256i gather = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  int64_t i = first;
  for (; i + 16 <= last; i += 16) {
    const auto* at = reinterpret_cast<const __m256i*>(pixels + 4 * i);
    const __m256i a =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(_mm256_loadu_si256(at), group), gather);
    const __m256i b = _mm256_permutevar8x32_epi32(
        _mm256_shuffle_epi8(_mm256_loadu_si256(at + 1), group), gather);
    const __m256i even = _mm256_unpacklo_epi64(a, b);  // component 0 | component 2
    const __m256i odd = _mm256_unpackhi_epi64(a, b);   // component 1 | component 3
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p0 + i), _mm256_castsi256_si128(even));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p1 + i), _mm256_castsi256_si128(odd));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p2 + i), _mm256_extracti128_si256(even, 1));
    if (p3 != nullptr)
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p3 + i), _mm256_extracti128_si256(odd, 1));
  }
  SplitRunPlain(pixels, planes, i, last);
}

#endif

using SplitRun = void (*)(const uint8_t*, uint8_t* const[4], int64_t, int64_t);

}  // namespace

void SplitPixelBytes(const uint8_t* pixels, uint8_t* const planes[4], int64_t n) {
  SplitRun run = SplitRunPlain;
#if VMK_SIMD_X86
  if (planes[0] != nullptr && planes[1] != nullptr && planes[2] != nullptr)
    run = PickKernel<SplitRun>(SplitRunPlain, SplitRunAvx2);
#endif
  uint8_t* const to[4] = {planes[0], planes[1], planes[2], planes[3]};
  ForEachByteRun(n, [=](int64_t first, int64_t last) { run(pixels, to, first, last); });
}

void MeanOfThree(uint8_t* dst, const uint8_t* a, const uint8_t* b, const uint8_t* c,
                 int64_t count) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    uint8_t* const d = dst;
    const uint8_t* const x = a;
    const uint8_t* const y = b;
    const uint8_t* const z = c;
    for (int64_t i = first; i < last; ++i) d[i] = static_cast<uint8_t>((x[i] + y[i] + z[i]) / 3);
  });
}

void FillBytes(uint8_t* dst, int64_t count, uint8_t value) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    std::memset(dst + first, value, static_cast<size_t>(last - first));
  });
}

void CopyBytes(uint8_t* dst, const uint8_t* src, int64_t count) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    std::memcpy(dst + first, src + first, static_cast<size_t>(last - first));
  });
}

void ComplementBytes(uint8_t* dst, const uint8_t* src, int64_t count) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    for (int64_t i = first; i < last; ++i) dst[i] = static_cast<uint8_t>(255 - src[i]);
  });
}

}  // namespace plat
