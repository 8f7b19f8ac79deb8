// A render's step is judged by the blocks the render itself was refused while it ran: on the
// render's thread and in the bands of its loops wherever they run, never in the bands of another
// render that its thread ran while waiting on a loop of its own. A render inside a step counts
// what it was refused for that step too.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <latch>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "script/effect_registries.h"
#include "script/render_cases.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

constexpr int32_t kW = 24, kH = 16;
// An engine's number, whose case comes from above the script: nothing else in this program
// renders it, so the stand-in below can take it.
constexpr int16_t kStandIn = 100;

// What the stand-in step does in each script; filled before any render starts.
std::map<const ScriptFile*, std::function<int32_t()>> gSteps;

int32_t StandInStep(RenderCall& call) {
  const auto found = gSteps.find(call.script);
  return found != gSteps.end() ? found->second() : 0;
}

// A block of a negative size is refused whatever the limit, and counted.
void RefuseOne() { EXPECT_EQ(plat::NewPtr(-1), nullptr); }

class RenderRefusals : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    // As a session does before its first render: two first renders at once would both fill
    // the tables.
    RegisterScriptRenderCases();
    ASSERT_EQ(RegisterRenderCase(kStandIn, StandInStep), 0);
    for (size_t i = 0; i < picture_.size(); ++i) picture_[i] = static_cast<uint8_t>(i * 5 + i / 7);
  }
  void TearDown() override {
    gSteps.clear();
    plat::SetThreadCount(0);
  }
  // A script of one stand-in step that does `step`.
  void StandIn(ScriptFile& s, std::function<int32_t()> step) {
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    s.SetEffect(0, 1, 1, kStandIn, 0, 0, 0, 0);
    s.SetAct(0, 1, 1, 1);
    s.SetFromChannel(0, 1, 1, 2);
    s.SetToChannel(0, 1, 1, 2);
    s.SetMode(0, 1, 1, 0);
    s.SetOpa(0, 1, 1, 255);
    gSteps[&s] = std::move(step);
  }
  int32_t Render(ScriptFile& s) { return s.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0); }
  static bool FailedForMemory(const ScriptFile& s) {
    return s.Failure() == RenderFailure{1, 1, kStandIn, StepFailure::kNoMemory};
  }

  std::vector<uint8_t> picture_ = std::vector<uint8_t>(4 * kW * kH);
};

// A block refused in one band of the step's loop, or in a band run on another thread, fails
// the step for want of memory although the step answers success; a step refused nothing passes.
TEST_F(RenderRefusals, ABlockRefusedInTheStepsOwnBandsFailsItAtOneAndManyThreads) {
  for (int threads : {1, 4}) {
    plat::SetThreadCount(threads);
    ScriptFile loop, elsewhere, clean;
    StandIn(loop, [] {
      plat::ParallelFor(0, 32, 1, [](int32_t first, int32_t) {
        if (first == 13) RefuseOne();
      });
      return 0;
    });
    // One of the loop's bands on a thread of its own, as a pool thread takes it.
    StandIn(elsewhere, [] {
      const plat::BandStates states;
      std::thread band([&] {
        const plat::InBandStates in(states);
        RefuseOne();
      });
      band.join();
      return 0;
    });
    StandIn(clean, [] {
      plat::ParallelFor(0, 32, 1, [](int32_t, int32_t) {});
      return 0;
    });
    EXPECT_EQ(Render(loop), -1) << threads << " threads";
    EXPECT_TRUE(FailedForMemory(loop)) << threads << " threads";
    EXPECT_EQ(Render(elsewhere), -1) << threads << " threads";
    EXPECT_TRUE(FailedForMemory(elsewhere)) << threads << " threads";
    EXPECT_EQ(Render(clean), 0) << threads << " threads";
    EXPECT_FALSE(clean.Failure().has_value()) << threads << " threads";
  }
}

// Render B's step hands a band of its own to the thread of render A, as the pool does while A
// waits on a loop; the band is refused a block. B's step fails for want of memory; A, refused
// nothing itself, renders. At one thread and at as many as the run is given.
TEST_F(RenderRefusals, TwoRendersAtOnceFailOnlyForTheirOwnRefusals) {
  for (int threads : {1, plat::ThreadCount()}) {
    plat::SetThreadCount(threads);
    std::optional<plat::BandStates> bBand;
    std::latch taken(1), ran(1);
    std::atomic<bool> tookIt{false};
    ScriptFile a, b;
    StandIn(b, [&] {
      bBand.emplace();
      tookIt.store(true);
      taken.count_down();
      ran.wait();
      return 0;
    });
    StandIn(a, [&] {
      taken.wait();
      if (bBand.has_value()) {
        const plat::InBandStates in(*bBand);
        RefuseOne();
      }
      ran.count_down();
      return 0;
    });
    int32_t bRendered = 0;
    std::thread other([&] {
      bRendered = Render(b);
      if (!tookIt.load()) taken.count_down();  // never leave A waiting
    });
    EXPECT_EQ(Render(a), 0) << threads << " threads";
    EXPECT_FALSE(a.Failure().has_value()) << threads << " threads";
    other.join();
    EXPECT_TRUE(tookIt.load());
    EXPECT_EQ(bRendered, -1) << threads << " threads";
    EXPECT_TRUE(FailedForMemory(b)) << threads << " threads";
    gSteps.clear();
  }
}

// A render inside a step: the inner render is judged by its own refusals only (the step's
// refusal before it is none of its business), and what it is refused fails the outer step even
// when the step answers success all the same.
TEST_F(RenderRefusals, ARenderInsideAStepCountsItsRefusalsForThatStepToo) {
  ScriptFile outer, inner, innerRefused;
  StandIn(inner, [] { return 0; });
  StandIn(innerRefused, [] {
    plat::ParallelFor(0, 8, 1, [](int32_t first, int32_t) {
      if (first == 5) RefuseOne();
    });
    return 0;
  });
  int32_t innerRendered = 1;
  StandIn(outer, [&] {
    RefuseOne();
    innerRendered = Render(inner);
    return 0;
  });
  EXPECT_EQ(Render(outer), -1);
  EXPECT_TRUE(FailedForMemory(outer));
  EXPECT_EQ(innerRendered, 0);
  EXPECT_FALSE(inner.Failure().has_value());

  gSteps[&outer] = [&] {
    innerRendered = Render(innerRefused);
    return 0;  // goes round its inner render's failure
  };
  EXPECT_EQ(Render(outer), -1);
  EXPECT_TRUE(FailedForMemory(outer));
  EXPECT_EQ(innerRendered, -1);
  EXPECT_TRUE(FailedForMemory(innerRefused));

  gSteps[&outer] = [&] {
    innerRendered = Render(inner);
    return 0;
  };
  EXPECT_EQ(Render(outer), 0);
  EXPECT_FALSE(outer.Failure().has_value());
}

}  // namespace
