// Signed 32-bit lanes divided by 3 and by 100, truncated toward zero as C's `/` does, without a
// divide: the lane's signed product with a fixed-point reciprocal, its high word (shifted for
// 100), plus one for a negative lane (Hacker's Delight's magic numbers). Exact for every int32;
// the scalar form of the quotient by 100 is effect_support's QuotientBy100.
#pragma once

#include <cstdint>

#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>

namespace lanediv {

inline constexpr int32_t kBy3Magic = 0x55555556;
inline constexpr int32_t kBy100Magic = 0x51EB851F;  // ceil(2^37 / 100)

// The high 32 bits of each lane's signed 64-bit product a × m.
VMK_TARGET_AVX2 inline __m256i MulHigh(__m256i a, __m256i m) {
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epi32(a, m), 32);
  const __m256i odd = _mm256_mul_epi32(_mm256_srli_epi64(a, 32), m);
  return _mm256_blend_epi32(even, odd, 0xAA);
}

VMK_TARGET_AVX2 inline __m256i QuotientBy3(__m256i a) {
  return _mm256_add_epi32(MulHigh(a, _mm256_set1_epi32(kBy3Magic)), _mm256_srli_epi32(a, 31));
}

VMK_TARGET_AVX2 inline __m256i QuotientBy100(__m256i a) {
  return _mm256_add_epi32(_mm256_srai_epi32(MulHigh(a, _mm256_set1_epi32(kBy100Magic)), 5),
                          _mm256_srli_epi32(a, 31));
}

// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values in every caller.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

VMK_TARGET_AVX512 inline __m512i MulHigh(__m512i a, __m512i m) {
  const __m512i even = _mm512_srli_epi64(_mm512_mul_epi32(a, m), 32);
  const __m512i odd = _mm512_mul_epi32(_mm512_srli_epi64(a, 32), m);
  return _mm512_mask_blend_epi32(0xAAAA, even, odd);
}

VMK_TARGET_AVX512 inline __m512i QuotientBy3(__m512i a) {
  return _mm512_add_epi32(MulHigh(a, _mm512_set1_epi32(kBy3Magic)), _mm512_srli_epi32(a, 31));
}

VMK_TARGET_AVX512 inline __m512i QuotientBy100(__m512i a) {
  return _mm512_add_epi32(_mm512_srai_epi32(MulHigh(a, _mm512_set1_epi32(kBy100Magic)), 5),
                          _mm512_srli_epi32(a, 31));
}

#pragma GCC diagnostic pop

}  // namespace lanediv
#endif
