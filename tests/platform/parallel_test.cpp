#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#include "platform/parallel/cancel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

TEST(ParallelFor, BandsCoverTheRangeOnceAtFixedBoundsAtAnyCount) {
  for (int n : {1, 3, 8}) {
    const Threads t(n);
    EXPECT_EQ(plat::ThreadCount(), n);
    // 5..1005 in bands of 7: 143 bands, the last of 6 rows.
    std::vector<std::atomic<int>> hits(1010);
    std::vector<int> firstOf(143, -1), endOf(143, -1);
    plat::ParallelFor(5, 1005, 7, [&](int32_t b, int32_t first, int32_t end) {
      firstOf[b] = first;
      endOf[b] = end;
      for (int32_t y = first; y < end; ++y) hits[y]++;
    });
    for (int32_t y = 0; y < 1010; ++y) ASSERT_EQ(hits[y].load(), y >= 5 && y < 1005) << y;
    for (int32_t b = 0; b < 143; ++b) {
      EXPECT_EQ(firstOf[b], 5 + 7 * b);
      EXPECT_EQ(endOf[b], b == 142 ? 1005 : 12 + 7 * b);
    }
  }
}

TEST(ParallelFor, EmptyRangesNestedLoopsAndCounts) {
  EXPECT_EQ(plat::BandCount(3, 3, 4), 0);
  EXPECT_EQ(plat::BandCount(4, 3, 4), 0);
  EXPECT_EQ(plat::BandCount(0, 9, 4), 3);
  EXPECT_EQ(plat::BandCount(0, 9, 0), 9);  // a band is at least one row
  const Threads t(8);
  int calls = 0;
  plat::ParallelFor(10, 10, 4, [&](int32_t, int32_t) { ++calls; });
  EXPECT_EQ(calls, 0);
  // A loop inside a band runs there, in order.
  std::vector<std::vector<int32_t>> inner(16);
  plat::ParallelFor(0, 16, 1, [&](int32_t outer, int32_t) {
    plat::ParallelFor(0, 5, 1, [&](int32_t y, int32_t) { inner[outer].push_back(y); });
  });
  for (const auto& v : inner) EXPECT_EQ(v, (std::vector<int32_t>{0, 1, 2, 3, 4}));
  plat::SetThreadCount(-4);
  EXPECT_GE(plat::ThreadCount(), 1);
}

// A flag raised inside band 3 is seen by the bands after it, on the pool's
// threads as on the caller's; every band still runs. Outside the scope
// nothing is cancelled.
TEST(ParallelFor, BandsSeeTheCallersCancelFlag) {
  for (int n : {1, 4}) {
    const Threads t(n);
    plat::CancelFlag flag;
    std::atomic<int> ran{0};
    std::atomic<int> stopped{0};
    std::atomic<int> missed{0};
    {
      const plat::CancelScope scope(&flag);
      plat::ParallelFor(0, 400, 1, [&](int32_t b, int32_t, int32_t) {
        ++ran;
        if (b == 3) flag.Cancel();
        // Which bands run after the cancel depends on the pool's timing; what
        // must hold is that a band that can see the raised flag is told so.
        const bool raised = flag.cancelled();
        if (plat::Cancelled()) {
          ++stopped;
        } else if (raised) {
          ++missed;
        }
      });
      EXPECT_TRUE(plat::Cancelled());
    }
    EXPECT_FALSE(plat::Cancelled());
    EXPECT_EQ(ran.load(), 400);
    EXPECT_EQ(missed.load(), 0) << n;
    // On one thread the bands run in order: all from the fourth on stop.
    if (n == 1) {
      EXPECT_EQ(stopped.load(), 397);
    }
    EXPECT_GE(stopped.load(), 1) << n;
  }
}

}  // namespace

namespace {

int Baseline() { return 0; }
int Wide() { return 1; }
int Widest() { return 2; }

TEST(SimdLevel, TheCapHoldsPicksDownAndLiftsAgain) {
  using plat::SimdLevel;
  const SimdLevel top = plat::SimdSupported();
  EXPECT_LE(static_cast<int>(plat::ActiveSimd()), static_cast<int>(top));
  plat::SetSimdLevel(SimdLevel::kBaseline);
  EXPECT_EQ(plat::ActiveSimd(), SimdLevel::kBaseline);
  EXPECT_EQ(plat::PickKernel(&Baseline, &Wide, &Widest)(), 0);
  plat::SetSimdLevel(SimdLevel::kAvx2);
  const int two = top >= SimdLevel::kAvx2 ? 1 : 0;
  EXPECT_EQ(plat::PickKernel(&Baseline, &Wide, &Widest)(), two);
  plat::SetSimdLevel(SimdLevel::kAvx512);
  // A missing form falls back to the next narrower one.
  EXPECT_EQ(plat::PickKernel(&Baseline, &Wide, nullptr)(), two);
  EXPECT_EQ(plat::PickKernel(&Baseline, nullptr, nullptr)(), 0);
  EXPECT_EQ(plat::PickKernel(&Baseline, &Wide, &Widest)(), static_cast<int>(plat::ActiveSimd()));
}

}  // namespace
