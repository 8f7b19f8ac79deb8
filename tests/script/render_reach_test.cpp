// The reach a zoomed preview's margin is made of: the pyramid blur never
// changes a sample further from a step than BlurReach says, at any radius
// and wherever the step lies against its groups of four (its box passes make
// the strict bound; the rounding leaves the far tails unchanged, some five
// times inside it at the largest radius); a stack's reach is
// the sum over what a render runs, and one operation without a reach makes
// the whole stack reach the whole picture.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "script/operation.h"
#include "script/render_reach.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

// The furthest sample from a step, across it, that the blur of `radius`
// changes: a plane of 0 that turns 255 from column (or row) `at` on, against
// a plane of 0 and one of 255, which the blur leaves as they are.
int32_t MeasuredBlurReach(int32_t radius, int32_t at, bool rows) {
  constexpr int32_t kSide = 1024, kThin = 8;
  const int32_t w = rows ? kThin : kSide, h = rows ? kSide : kThin;
  std::vector<uint8_t> step(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) step[static_cast<size_t>(y) * w + x] = (rows ? y : x) >= at ? 255 : 0;
  EXPECT_EQ(Effects::Blur(0, 255, step.data(), nullptr, w, h, 0, 0, w - 1, h - 1, static_cast<int16_t>(radius), 1),
            0);
  int32_t reach = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t along = rows ? y : x;
      const uint8_t unblurred = along >= at ? 255 : 0;
      if (step[static_cast<size_t>(y) * w + x] != unblurred)
        reach = std::max(reach, along >= at ? along - at + 1 : at - along);
    }
  return reach;
}

TEST(RenderReach, TheBlurChangesNothingBeyondItsReach) {
  for (int32_t radius : {0, 1, 3, 4, 7, 8, 15, 40, 87, 150, 199}) {
    int32_t widest = 0;
    for (bool rows : {false, true})
      for (int32_t at : {512, 513, 514, 515}) {
        const int32_t measured = MeasuredBlurReach(radius, at, rows);
        widest = std::max(widest, measured);
        EXPECT_LE(measured, BlurReach(radius)) << "radius " << radius << " at " << at;
      }
    // The step does spread (the measure measures something).
    EXPECT_GT(widest, 0) << "radius " << radius;
  }
  // A radius past the largest blurs as the largest.
  EXPECT_EQ(BlurReach(500), BlurReach(199));
  EXPECT_EQ(BlurReach(-4), BlurReach(0));
}

class StackReachTest : public vmktest::SessionTest {
 protected:
  void SetUp() override { ASSERT_EQ(s_.I_ScriptFile(3, 64, 48, 72.0f, 64, 48, 0, 0, 63, 47), 0); }
  void Put(int16_t layer, int16_t o, int16_t effect, int16_t p1, int16_t p2 = 0) {
    s_.SetEffect(0, layer, o, effect, 0, 0, 0, 0);
    s_.SetAct(0, layer, o, 1);
    s_.SetParam1(0, layer, o, p1);
    s_.SetParam2(0, layer, o, p2);
  }
  Oprn* At(int16_t layer, int16_t o) {
    Oprn* op = s_.GetStack(0)->GetLaye(layer)->firstOprn;
    for (int16_t k = 1; k < o && op != nullptr; ++k) op = op->NextOprn;
    return op;
  }
  ScriptFile s_;
};

TEST_F(StackReachTest, TheSumOfWhatARenderRunsOrTheWholePicture) {
  Put(1, 1, 16, 30);     // brightness: the sample alone
  Put(1, 2, 11, 9);      // blur
  Put(1, 3, 7, 3, 5);    // dilation: the larger radius
  Put(1, 4, 55, 2, 4);   // median: the radius once a pass
  EXPECT_EQ(StackReach(s_, 0), BlurReach(9) + 6 + 9);
  // An inactive operation runs nothing.
  At(1, 2)->Act = 0;
  EXPECT_EQ(StackReach(s_, 0), 6 + 9);
  // Nor does an inactive layer; a second, active, adds its own.
  s_.GetStack(0)->AddLaye(1, new Laye());
  Put(2, 1, 84, -20);    // motion blur: the streak's length, either way
  EXPECT_EQ(StackReach(s_, 0), 6 + 9 + 21);
  s_.GetStack(0)->GetLaye(2)->active = 0;
  EXPECT_EQ(StackReach(s_, 0), 6 + 9);
  // A number that renders nothing anywhere reaches nothing.
  Put(1, 5, 49, 100);
  EXPECT_EQ(StackReach(s_, 0), 6 + 9);
  // A colour selection narrows the mask by a circle about a place.
  OprnExt selection;
  selection.SelFlag[0] = 1;
  ASSERT_EQ(s_.SetSelOprnExt(0, 1, 1, &selection), 0);
  EXPECT_EQ(StackReach(s_, 0), kReachesWhole);
  selection.SelFlag[0] = 0;
  ASSERT_EQ(s_.SetSelOprnExt(0, 1, 1, &selection), 0);
  EXPECT_EQ(StackReach(s_, 0), 6 + 9);
  // Whatever places, flips or draws by position reaches the whole picture.
  for (int16_t effect : {19, 53, 54, 63, 32, 71, 120, 98, 101}) {
    Put(1, 5, effect, 10);
    EXPECT_EQ(StackReach(s_, 0), kReachesWhole) << effect;
  }
}

}  // namespace
