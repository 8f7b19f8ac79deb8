// The 3 x 3 filters' rounded quotient without a divide.
//
// The filters take (int)((float)sum / (float)divisor + 0.5f). For sums of
// magnitude below 2^22 neither float rounding can carry the quotient across
// the half-way points that decide the result, so it equals the exact
// trunc(sum / divisor + 1/2) = trunc((2 sum + d) / (2 d)), which a
// multiply by a fixed-point reciprocal and a shift give for every numerator
// below 2^kNumeratorBits. Sums up to kSumLimit keep 2 sum + d inside that.
// The tests check both steps at every point where the result changes, over
// every int16 divisor.
#pragma once

#include <cstdint>

class RoundedQuotient {
 public:
  static constexpr int32_t kNumeratorBits = 18;
  static constexpr int32_t kSumLimit = 65535;

  // divisor != 0.
  explicit RoundedQuotient(int16_t divisor) : divisor_(divisor) {
    const uint32_t d2 = 2u * static_cast<uint32_t>(divisor < 0 ? -divisor : divisor);
    int32_t bits = 0;
    while ((1u << bits) < d2) ++bits;
    shift_ = kNumeratorBits + bits;
    multiplier_ = static_cast<uint32_t>(((uint64_t{1} << shift_) + d2 - 1) / d2);
  }

  // For |sum| <= kSumLimit: the quotient as the vector form computes it.
  int32_t operator()(int32_t sum) const {
    const int32_t n = 2 * sum + divisor_;
    const uint64_t a = static_cast<uint64_t>(n < 0 ? -int64_t{n} : n);
    const int32_t q = static_cast<int32_t>((a * multiplier_) >> shift_);
    return (n < 0) != (divisor_ < 0) ? -q : q;
  }

  int32_t divisor() const { return divisor_; }
  uint32_t multiplier() const { return multiplier_; }
  int32_t shift() const { return shift_; }

 private:
  int32_t divisor_;
  uint32_t multiplier_ = 0;
  int32_t shift_ = 0;
};
