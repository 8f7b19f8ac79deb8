// The blocks a piece of work is refused count for it and for the work it was started in, in
// the bands of its loops on whichever thread runs them, and for no other thread's work.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"

namespace {

// A block of a negative size is refused whatever the limit, and counted.
void RefuseOne() { EXPECT_EQ(plat::NewPtr(-1), nullptr); }

TEST(RefusalScope, CountsItsOwnBandsAndInnerScopesAtOneAndManyThreads) {
  const int64_t start = plat::RefusedBlockCount(), anywhere = plat::RefusedBlockCountOnAnyThread();
  for (int threads : {1, 4}) {
    plat::SetThreadCount(threads);
    const plat::RefusalScope outer;
    plat::CountRefusedBlock();
    {
      const plat::RefusalScope inner;
      EXPECT_EQ(plat::RefusedBlockCount(), 0);
      plat::ParallelFor(0, 64, 1, [](int32_t first, int32_t) {
        volatile uint32_t work = 0;  // so that the pool's threads take bands too
        for (uint32_t i = 0; i < 20000; ++i) work = work * 31u + i;
        if (first % 2 == 0) RefuseOne();
      });
      EXPECT_EQ(inner.Count(), 32) << threads << " threads";
    }
    EXPECT_EQ(outer.Count(), 33) << threads << " threads";
    EXPECT_EQ(plat::RefusedBlockCount(), 33);
  }
  plat::SetThreadCount(0);
  EXPECT_EQ(plat::RefusedBlockCount(), start + 66);
  EXPECT_EQ(plat::RefusedBlockCountOnAnyThread(), anywhere + 66);
}

}  // namespace
