#include "raster/mix_lanes.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "support/level_and_threads.h"

namespace {

// The mix written out in 32-bit arithmetic: what every width must give.
unsigned char Mixed(int32_t old, int32_t value, int32_t mask, int32_t opacity, bool masked) {
  const int32_t a = masked ? mask * opacity / 255 : opacity;
  return static_cast<unsigned char>(((255 - a) * old + a * value) / 255);
}

// Every pair of old and new sample against weights across 0..255, through a mask and without,
// in runs whose lengths leave every remainder of the widest step (so the tails are met too).
TEST(MixLanes, EveryPairAtEveryLevelIsTheQuotientWrittenOut) {
  for (const plat::SimdLevel level :
       {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
    vmktest::LevelAndThreads hold(level, 1);
    const lanemix::MixRunFn mix = lanemix::PickMixRun();
    for (const int32_t opacity : {0, 1, 77, 128, 254, 255}) {
      for (const bool masked : {false, true}) {
        for (int32_t old = 0; old < 256; ++old) {
          const int32_t n = 256 + (old % 67);
          std::vector<unsigned char> p(n, static_cast<unsigned char>(old)), v(n), m(n);
          for (int32_t i = 0; i < n; ++i) {
            v[i] = static_cast<unsigned char>(i & 255);
            m[i] = static_cast<unsigned char>((i * 37 + old) & 255);
          }
          std::vector<unsigned char> q = p;
          mix(p.data(), v.data(), masked ? m.data() : nullptr, opacity, n);
          lanemix::MixRun(q.data(), v.data(), masked ? m.data() : nullptr, opacity, n);
          for (int32_t i = 0; i < n; ++i) {
            const unsigned char want = Mixed(old, v[i], m[i], opacity, masked);
            ASSERT_EQ(p[i], want) << "level " << static_cast<int>(level) << " old " << old
                                  << " value " << int{v[i]} << " opacity " << opacity;
            ASSERT_EQ(q[i], want);
          }
        }
      }
    }
  }
}

}  // namespace
