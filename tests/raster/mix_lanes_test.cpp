#include "raster/mix_lanes.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "support/level_and_threads.h"

namespace {

// The mix written out in 32-bit arithmetic, truncated or to the nearest: what every width must
// give.
unsigned char Mixed(int32_t old, int32_t value, int32_t mask, int32_t opacity, bool masked,
                    bool nearest) {
  const int32_t a = masked ? mask * opacity / 255 : opacity;
  const int32_t x = (255 - a) * old + a * value;
  return static_cast<unsigned char>(nearest ? (2 * x + 255) / 510 : x / 255);
}

// Every pair of old and new sample against weights across 0..255, through a mask and without,
// in runs whose lengths leave every remainder of the widest step (so the tails are met too);
// truncated, and to the nearest (x / 255 rounded half up, x never being half-way but for
// x = 255 k + 127.5, which no integer is).
TEST(MixLanes, EveryPairAtEveryLevelIsTheQuotientWrittenOut) {
  for (const plat::SimdLevel level :
       {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
    for (const bool nearest : {false, true}) {
      vmktest::LevelAndThreads hold(level, 1);
      const lanemix::MixRunFn mix = nearest ? lanemix::PickMixRunNearest() : lanemix::PickMixRun();
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
            if (nearest)
              lanemix::MixRun<lanemix::kNearestLift>(q.data(), v.data(),
                                                     masked ? m.data() : nullptr, opacity, n);
            else
              lanemix::MixRun(q.data(), v.data(), masked ? m.data() : nullptr, opacity, n);
            for (int32_t i = 0; i < n; ++i) {
              const unsigned char want = Mixed(old, v[i], m[i], opacity, masked, nearest);
              ASSERT_EQ(p[i], want)
                  << "level " << static_cast<int>(level) << " old " << old << " value " << int{v[i]}
                  << " opacity " << opacity << (nearest ? " nearest" : "");
              ASSERT_EQ(q[i], want);
            }
          }
        }
      }
    }
  }
}

}  // namespace
