// The vector level and the thread count held for as long as one comparison of a fast form with
// its plain one lives, then put back to what the other tests expect (every level, all threads).
#pragma once

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

namespace vmktest {

struct LevelAndThreads {
  LevelAndThreads(plat::SimdLevel level, int threads) {
    plat::SetSimdLevel(level);
    plat::SetThreadCount(threads);
  }
  ~LevelAndThreads() {
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    plat::SetThreadCount(0);
  }
  LevelAndThreads(const LevelAndThreads&) = delete;
  LevelAndThreads& operator=(const LevelAndThreads&) = delete;
};

}  // namespace vmktest
