// The blocks a piece of work is refused are counted for that work: on its own thread, in the
// bands of its loops on whichever thread runs them, and for the work it was started in, never
// for the work of a thread that runs one of its bands while waiting on a loop of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <latch>
#include <optional>
#include <thread>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"

namespace {

// A block of a negative size is refused whatever the limit, and counted.
void RefuseOne() { ASSERT_EQ(plat::NewPtr(-1), nullptr); }

// Some work, so that the pool's threads take bands before the caller has done them all.
void Busy() {
  volatile uint32_t work = 0;
  for (uint32_t i = 0; i < 20000; ++i) work = work * 31u + i;
}

TEST(RefusalScope, CountsItsOwnRefusalsAndThoseOfTheScopesInsideIt) {
  const int64_t start = plat::RefusedBlockCount();
  const int64_t anywhere = plat::RefusedBlockCountOnAnyThread();
  {
    const plat::RefusalScope outer;
    EXPECT_EQ(outer.Count(), 0);
    EXPECT_EQ(plat::RefusedBlockCount(), 0);
    RefuseOne();
    plat::CountRefusedBlock();
    EXPECT_EQ(outer.Count(), 2);
    {
      const plat::RefusalScope inner;
      EXPECT_EQ(plat::RefusedBlockCount(), 0);
      RefuseOne();
      EXPECT_EQ(inner.Count(), 1);
      EXPECT_EQ(plat::RefusedBlockCount(), 1);
      EXPECT_EQ(outer.Count(), 3);
    }
    EXPECT_EQ(plat::RefusedBlockCount(), 3);
    // A block given is no refusal.
    char* p = plat::NewPtr(16);
    ASSERT_NE(p, nullptr);
    plat::DisposePtr(p);
    EXPECT_EQ(outer.Count(), 3);
  }
  // Outside any scope the thread's own work saw every one of them.
  EXPECT_EQ(plat::RefusedBlockCount(), start + 3);
  EXPECT_EQ(plat::RefusedBlockCountOnAnyThread(), anywhere + 3);  // no other thread refused any
}

// Every band refuses one block: the loop's caller counts each, whichever thread ran it, at one
// and at many threads, inside a scope and outside any.
TEST(RefusalScope, BandsOnThePoolsThreadsCountForTheLoopsCaller) {
  constexpr int kBands = 64;
  for (int threads : {1, 4}) {
    plat::SetThreadCount(threads);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> elsewhere{0};
    auto loop = [&] {
      plat::ParallelFor(0, kBands, 1, [&](int32_t, int32_t) {
        if (std::this_thread::get_id() != caller) elsewhere.fetch_add(1);
        Busy();
        RefuseOne();
      });
    };
    for (int round = 0; round < 10; ++round) {
      {
        const plat::RefusalScope scope;
        loop();
        ASSERT_EQ(scope.Count(), kBands)
            << threads << " threads, round " << round << ", " << elsewhere.load() << " bands elsewhere";
      }
      const int64_t before = plat::RefusedBlockCount();
      loop();
      ASSERT_EQ(plat::RefusedBlockCount() - before, kBands) << threads << " threads, round " << round;
    }
    if (threads == 1) {
      EXPECT_EQ(elsewhere.load(), 0);
    }
  }
  plat::SetThreadCount(0);
}

// A thread that runs a band of another thread's loop (as a thread waiting on its own loop
// does) counts what that band is refused for the other thread's work, and gets its own back
// after the band. Forced: the other thread's band states are taken in its scope and run here.
TEST(RefusalScope, TwoScopesAtOnceCountTheBandsOfTheirOwnLoopsOnly) {
  std::optional<plat::BandStates> theirs;
  std::latch taken(1), ran(1);
  int64_t theirCount = -1;
  std::thread other([&] {
    const plat::RefusalScope scope;
    theirs.emplace();
    taken.count_down();
    ran.wait();
    theirCount = scope.Count();
  });
  taken.wait();
  {
    const plat::RefusalScope mine;
    {
      const plat::InBandStates band(*theirs);
      RefuseOne();
      RefuseOne();
      EXPECT_EQ(plat::RefusedBlockCount(), 2);  // the band's work is theirs
    }
    EXPECT_EQ(mine.Count(), 0);
    RefuseOne();
    EXPECT_EQ(mine.Count(), 1);
  }
  ran.count_down();
  other.join();
  EXPECT_EQ(theirCount, 2);
}

// Two threads' loops at once on the shared pool (as many threads as the run is given), one
// whose bands are all refused and one whose bands ask nothing: however the pool hands the bands
// round, each counts exactly its own.
TEST(RefusalScope, TwoLoopsAtOnceOnTheSharedThreadsCountTheirOwnRefusals) {
  constexpr int kBands = 32, kLoops = 60;
  std::atomic<bool> stop{false};
  std::atomic<int> wrongRefusing{0};
  std::latch started(1);
  std::thread refusing([&] {
    started.count_down();
    while (!stop.load()) {
      const plat::RefusalScope scope;
      plat::ParallelFor(0, kBands, 1, [](int32_t, int32_t) {
        Busy();
        RefuseOne();
      });
      if (scope.Count() != kBands) wrongRefusing.fetch_add(1);
    }
  });
  started.wait();
  int grown = 0;
  for (int i = 0; i < kLoops; ++i) {
    const plat::RefusalScope scope;
    plat::ParallelFor(0, kBands, 1, [](int32_t, int32_t) { Busy(); });
    grown += scope.Count() != 0;
  }
  stop.store(true);
  refusing.join();
  EXPECT_EQ(grown, 0) << "loops that asked nothing saw a refusal";
  EXPECT_EQ(wrongRefusing.load(), 0) << "loops whose every band was refused miscounted";
}

}  // namespace
