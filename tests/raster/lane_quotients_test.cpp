#include "raster/lane_quotients.h"

#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#if VMK_SIMD_X86
namespace {

// Dividends that cross every place a truncated quotient can go wrong: both ends of int32, zero
// and its neighbours, each multiple of 3 and 100 near them, and a stride across the whole range
// whose step is prime to both divisors so it meets every remainder.
std::vector<int32_t> Dividends() {
  std::vector<int32_t> v;
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  for (int64_t x = -1000; x <= 1000; ++x) v.push_back(static_cast<int32_t>(x));
  for (int64_t x = kMin; x < kMin + 1000; ++x) v.push_back(static_cast<int32_t>(x));
  for (int64_t x = kMax - 1000; x <= kMax; ++x) v.push_back(static_cast<int32_t>(x));
  for (int64_t x = kMin; x <= kMax; x += 104729) v.push_back(static_cast<int32_t>(x));
  while (v.size() % 16 != 0) v.push_back(0);
  return v;
}

VMK_TARGET_AVX2 void Quotients8(const int32_t* in, int32_t* by3, int32_t* by100, size_t n) {
  for (size_t i = 0; i < n; i += 8) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(by3 + i), lanediv::QuotientBy3(a));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(by100 + i), lanediv::QuotientBy100(a));
  }
}

VMK_TARGET_AVX512 void Quotients16(const int32_t* in, int32_t* by3, int32_t* by100, size_t n) {
  for (size_t i = 0; i < n; i += 16) {
    const __m512i a = _mm512_loadu_si512(in + i);
    _mm512_storeu_si512(by3 + i, lanediv::QuotientBy3(a));
    _mm512_storeu_si512(by100 + i, lanediv::QuotientBy100(a));
  }
}

TEST(LaneQuotients, TruncateAsCDoesAtEveryWidth) {
  const std::vector<int32_t> in = Dividends();
  std::vector<int32_t> by3(in.size()), by100(in.size());
  const auto check = [&](const char* width) {
    for (size_t i = 0; i < in.size(); ++i) {
      ASSERT_EQ(by3[i], in[i] / 3) << width << " " << in[i];
      ASSERT_EQ(by100[i], in[i] / 100) << width << " " << in[i];
    }
  };
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) {
    Quotients8(in.data(), by3.data(), by100.data(), in.size());
    check("8 lanes");
  }
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) {
    Quotients16(in.data(), by3.data(), by100.data(), in.size());
    check("16 lanes");
  }
}

}  // namespace
#endif
