// A step is judged by the blocks its own render was refused: on the render's thread and in its
// loops' bands wherever they run, and in a render inside the step; never in another render's
// band that its thread ran while waiting on a loop of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <latch>
#include <list>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "script/render_cases.h"
#include "support/session.h"

namespace {

// An engine's number, whose case comes from above the script: free in this program.
constexpr int16_t kStandIn = 100;
// What the stand-in step does in each script; filled before any render starts.
std::map<const ScriptFile*, std::function<int32_t()>> gSteps;

void RefuseOne() { EXPECT_EQ(plat::NewPtr(-1), nullptr); }

class RenderRefusals : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegisterRenderCase(kStandIn, [](RenderCall& c) { return gSteps.at(c.script)(); }), 0);
  }
  void TearDown() override {
    plat::SetThreadCount(0);
    gSteps.clear();
  }
  ScriptFile& StandIn(std::function<int32_t()> step) {
    ScriptFile& s = scripts_.emplace_back();
    EXPECT_EQ(s.I_ScriptFile(3, 24, 16, 72.0f, 24, 16, 0, 0, 23, 15), 0);
    s.SetEffect(0, 1, 1, kStandIn, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetToChannel(0, 1, 1, 2);
    gSteps[&s] = std::move(step);
    return s;
  }
  // 0 rendered, 1 failed for want of memory at the stand-in, -1 anything else.
  int32_t Outcome(ScriptFile& s) {
    const int32_t rc = s.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0);
    if (rc == 0 && !s.Failure()) return 0;
    return s.Failure() == RenderFailure{1, 1, kStandIn, StepFailure::kNoMemory} ? 1 : -1;
  }

  std::vector<uint8_t> picture_ = std::vector<uint8_t>(4 * 24 * 16, 90);
  std::list<ScriptFile> scripts_;
};

TEST_F(RenderRefusals, ABandOfItsOwnRefusedOnAnyThreadFailsTheStepAtOneAndManyThreads) {
  for (int threads : {1, 4}) {
    plat::SetThreadCount(threads);
    auto loop = [](int32_t refused) {
      plat::ParallelFor(0, 32, 1, [=](int32_t first, int32_t) {
        if (first == refused) RefuseOne();
      });
      return 0;
    };
    EXPECT_EQ(Outcome(StandIn([&] { return loop(13); })), 1) << threads;
    EXPECT_EQ(Outcome(StandIn([&] { return loop(-1); })), 0) << threads;
    // A band on another thread, as the pool runs it.
    EXPECT_EQ(Outcome(StandIn([] {
                const plat::BandStates states;
                std::thread([&] {
                  const plat::InBandStates in(states);
                  RefuseOne();
                }).join();
                return 0;
              })), 1) << threads;
  }
}

// B's step hands a band of its own to A's thread, as the pool does while A waits on a loop, and
// the band is refused a block: B fails for want of memory, A renders.
TEST_F(RenderRefusals, TwoRendersAtOnceFailOnlyForTheirOwnRefusals) {
  for (int threads : {1, plat::ThreadCount()}) {
    plat::SetThreadCount(threads);
    std::optional<plat::BandStates> bBand;
    std::latch taken(1), ran(1);
    std::atomic<bool> took{false};
    ScriptFile& b = StandIn([&] {
      bBand.emplace();
      took.store(true);
      taken.count_down();
      ran.wait();
      return 0;
    });
    ScriptFile& a = StandIn([&] {
      taken.wait();
      if (bBand) {
        const plat::InBandStates in(*bBand);
        RefuseOne();
      }
      ran.count_down();
      return 0;
    });
    int32_t bOutcome = -2;
    std::thread other([&] {
      bOutcome = Outcome(b);
      if (!took.load()) taken.count_down();  // never leave A waiting
    });
    EXPECT_EQ(Outcome(a), 0) << threads;
    other.join();
    EXPECT_EQ(bOutcome, 1) << threads;
  }
}

// The inner render is judged by its own refusals only; what it is refused fails the outer step
// too, even when the step goes round the inner render's failure.
TEST_F(RenderRefusals, ARenderInsideAStepCountsItsRefusalsForThatStepToo) {
  ScriptFile& inner = StandIn([] { return 0; });
  ScriptFile& refused = StandIn([] { return RefuseOne(), 0; });
  int32_t innerOutcome = -2;
  EXPECT_EQ(Outcome(StandIn([&] { return RefuseOne(), innerOutcome = Outcome(inner), 0; })), 1);
  EXPECT_EQ(innerOutcome, 0);
  EXPECT_EQ(Outcome(StandIn([&] { return innerOutcome = Outcome(refused), 0; })), 1);
  EXPECT_EQ(innerOutcome, 1);
  EXPECT_EQ(Outcome(StandIn([&] { return innerOutcome = Outcome(inner), 0; })), 0);
}

}  // namespace
