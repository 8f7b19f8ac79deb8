// The image operations with a vector form give, on every path this
// processor has and at one thread and at eight, exactly what their plain
// per-sample forms give.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/core/sample_clamp.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

struct Size {
  int32_t w, h;
};

Plane Noise(Size s, uint32_t seed) {
  Plane p(static_cast<size_t>(s.w) * s.h);
  uint32_t v = seed * 2654435761u + 1;
  for (size_t i = 0; i < p.size(); ++i) {
    v = v * 1664525u + 1013904223u;
    // Smooth with noise on top: the blurred value is near and far.
    p[i] = static_cast<unsigned char>(((i % 61) * 4 + (v >> 27)) & 0xFF);
  }
  return p;
}

template <typename Run>
void OnEveryPath(Run run) {
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  for (plat::SimdLevel level : levels)
    for (int threads : {1, 8}) {
      plat::SetSimdLevel(level);
      plat::SetThreadCount(threads);
      run(static_cast<int>(level), threads);
    }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  plat::SetThreadCount(0);
}

// The vector form's quotient by 100 goes through a float: for every product
// it can meet, the truncated float quotient is the integer one.
TEST(UnsharpQuotient, TheFloatQuotientByAHundredIsExactForEveryProduct) {
  for (int32_t p = -255 * 32768; p <= 255 * 32768; ++p) {
    const int32_t viaFloat = static_cast<int32_t>(static_cast<float>(p) / 100.0f);
    if (viaFloat != p / 100) FAIL() << p;
  }
}

class VectorEffects : public vmktest::SessionTest {};

TEST_F(VectorEffects, UnSharpMaskAgainstBlurAndPlainValueOnEveryPath) {
  struct Case {
    int16_t radius, amount, threshold;
  };
  const Case cases[] = {{5, 100, 0}, {1, 250, 3}, {9, -80, 10}, {2, 32767, -1}, {3, -32768, 0}};
  for (Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 2049}, Size{45, 32}})
    for (const Case& c : cases) {
      const Plane orig = Noise(s, static_cast<uint32_t>(s.w + c.amount));
      Plane blurred = orig;
      ASSERT_EQ(Effects::Blur(0, 255, blurred.data(), nullptr, s.w, s.h, 0, 0, s.w - 1, s.h - 1,
                              c.radius, 1), 0);
      const int32_t rx0 = s.w / 3, ry0 = s.h / 4, rx1 = s.w + 2, ry1 = s.h - 2;
      Plane want = orig;
      for (int32_t y = std::max(ry0, 0); y <= std::min(ry1, s.h - 1); ++y)
        for (int32_t x = rx0; x < s.w; ++x) {
          const size_t i = static_cast<size_t>(y) * s.w + x;
          const int32_t d = blurred[i] - orig[i];
          want[i] = static_cast<unsigned char>(
              (d < 0 ? -d : d) <= c.threshold ? orig[i] : Clamp255(orig[i] - d * c.amount / 100));
        }
      OnEveryPath([&](int level, int threads) {
        Plane p = orig;
        ASSERT_EQ(Effects::UnSharpMask(0, 255, p.data(), nullptr, s.w, s.h, rx0, ry0, rx1, ry1,
                                       c.radius, c.amount, c.threshold), 0);
        EXPECT_EQ(p, want) << s.w << "x" << s.h << " amount " << c.amount << " level " << level
                           << " threads " << threads;
      });
    }
}

}  // namespace
