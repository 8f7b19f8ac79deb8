// A step that cannot do its work stops the render at itself: the render answers -1, the script
// keeps which step it was (layer, operation, effect) and why, and no later step runs. Values
// for which an operation does nothing are no failure, nor is a render the user stopped.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

#include "operations/swap_slots.h"
#include "platform/files/file_io.h"
#include "platform/memory/memory.h"
#include "platform/parallel/cancel.h"
#include "script/lut_vign.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr int32_t kW = 40, kH = 30;

struct Step {
  int16_t effect;
  int16_t p1 = 0, p2 = 0, p3 = 0, p4 = 0, p5 = 0;
};

class FailedStep : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SetFicFromPosix(&app_.data().makersFolder, dir_.path().string()));
    ASSERT_EQ(s_.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
    for (size_t i = 0; i < picture_.size(); ++i) picture_[i] = static_cast<uint8_t>(i * 7 + i / 13);
  }
  // The steps as operations 1, 2, ... of `layer` (made when missing), on the composite.
  void Layer(int16_t layer, const std::vector<Step>& steps) {
    if (s_.GetStack(0)->GetLaye(layer) == nullptr) s_.GetStack(0)->AddLaye(layer, new Laye());
    for (size_t k = 0; k < steps.size(); ++k) {
      const auto o = static_cast<int16_t>(k + 1);
      const Step& st = steps[k];
      s_.SetEffect(0, layer, o, st.effect, 0, 0, 0, 0);
      s_.SetAct(0, layer, o, 1);
      s_.SetFromChannel(0, layer, o, 2);
      s_.SetToChannel(0, layer, o, 2);
      s_.SetMode(0, layer, o, 0);
      s_.SetOpa(0, layer, o, 255);
      s_.SetMChannel(0, layer, o, 0);
      s_.SetIntExt(0, layer, o, 1);
      s_.SetParam1(0, layer, o, st.p1);
      s_.SetParam2(0, layer, o, st.p2);
      s_.SetParam3(0, layer, o, st.p3);
      s_.SetParam4(0, layer, o, st.p4);
      s_.SetParam5(0, layer, o, st.p5);
    }
  }
  int32_t Render() { return s_.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0); }
  // Planes 3, 4, 5 one after the other.
  Bytes Composite() {
    Bytes out;
    for (int32_t c = 3; c <= 5; ++c) {
      const uint8_t* p = s_.ChannelPlane(c, 0);
      if (p != nullptr) out.insert(out.end(), p, p + kW * kH);
    }
    return out;
  }
  // The picture's planes, each sample inverted `times` times.
  Bytes Inverted(int times) const {
    Bytes out;
    for (int c = 0; c < 3; ++c)
      for (int32_t i = 0; i < kW * kH; ++i)
        out.push_back(
            static_cast<uint8_t>(times % 2 == 1 ? 255 - picture_[4 * i + c] : picture_[4 * i + c]));
    return out;
  }

  vmktest::TempDir dir_;
  vmktest::ScopedAppData app_;
  ScriptFile s_;
  Bytes picture_ = Bytes(4 * kW * kH);
};

// The transform's mask is refused (a block limit below a plane, the planes made before): the
// render stops at operation 2 of layer 2, after layer 1's inversion and before layer 2's
// third step; without the limit the same script renders whole again.
TEST_F(FailedStep, AStepRefusedItsMemoryStopsTheRenderThere) {
  Layer(1, {{9}});
  Layer(2, {{9}, {53, 0, 0, 150, 80, 30}, {9}});
  ASSERT_EQ(Render(), 0);
  EXPECT_FALSE(s_.Failure().has_value());
  const Bytes whole = Composite();
  ASSERT_NE(whole, Inverted(0));

  const int64_t before = plat::SetBlockLimit(kW * kH - 1);
  const int32_t refused = Render();
  plat::SetBlockLimit(before);
  EXPECT_EQ(refused, -1);
  ASSERT_TRUE(s_.Failure().has_value());
  EXPECT_EQ(*s_.Failure(), (RenderFailure{2, 2, 53, StepFailure::kNoMemory}));
  EXPECT_TRUE(s_.Failure()->memoryRefused());
  // Layer 1's inversion and layer 2's first ran; the transform changed nothing; the third
  // step never ran.
  EXPECT_EQ(Composite(), Inverted(2));

  ASSERT_EQ(Render(), 0);
  EXPECT_FALSE(s_.Failure().has_value());
  EXPECT_EQ(Composite(), whole);
}

// The save-buffer step on a maker's folder whose writes fail as on a full disk: the slot's file
// (in the render's own folder there) cannot be written, so the step fails and the inversion
// after it never runs, on every render alike.
TEST_F(FailedStep, ASaveBufferStepOnAFullFolderFailsWhereItsSlotIsAFile) {
  Layer(1, {{96, 4}, {9}, {97, 4}});
  plat::files::FailWritesForTesting(dir_.path().string(), ENOSPC);
  const int32_t rendered = Render();
  const std::optional<RenderFailure> failure = s_.Failure();
  plat::files::FailWritesForTesting("", 0);
  const RenderFailure unwritable{1, 1, 96, StepFailure::kFileUnwritable};
  EXPECT_EQ(rendered, -1);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(*failure, unwritable);
  EXPECT_EQ(Composite(), Inverted(0));
  // Once the disk takes writes again the preview saves, inverts and recalls the picture.
  ASSERT_EQ(Render(), 0);
  EXPECT_FALSE(s_.Failure().has_value());
  EXPECT_EQ(Composite(), Inverted(0));
}

// Values for which an operation does nothing are no failure: the render goes on to its end,
// and those steps leave the planes as they were. A motion and a radial blur of no length,
// blocks of no size, a relief deeper than the relief draws and edges found through it.
TEST_F(FailedStep, StepsWithNothingToDoAreNoFailure) {
  Layer(1, {{84, 0, 45},
            {83, 0, 50, 50},
            {120, 0, 5},
            {120, 5, 0},
            {12, 5000, 128, 45, 1},
            {44, 255, 2000, 0},
            {9}});
  ASSERT_EQ(Render(), 0);
  EXPECT_FALSE(s_.Failure().has_value());
  EXPECT_EQ(Composite(), Inverted(1));
}

// On a picture one pixel high the two-layer operations and the luminance ramps map nothing, and
// a diagonal fold has no diagonal: no failure, the planes as they were.
TEST_F(FailedStep, ARowOfOnePixelMapsNothingAndFailsNothing) {
  ScriptFile row;
  ASSERT_EQ(row.I_ScriptFile(3, kW, 1, 72.0f, kW, 1, 0, 0, kW - 1, 0), 0);
  const int16_t effects[] = {2, 3, 4, 5, 6, 107};
  for (int16_t o = 1; o <= 6; ++o) {
    row.SetEffect(0, 1, o, effects[o - 1], 0, 0, 0, 0);
    row.SetAct(0, 1, o, 1);
    row.SetFromChannel(0, 1, o, 3);
    row.SetToChannel(0, 1, o, 2);
    row.SetParam1(0, 1, o, effects[o - 1] == 107 ? 5 : 255);
    row.SetMode(0, 1, o, 0);
    row.SetOpa(0, 1, o, 255);
  }
  ASSERT_EQ(row.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0), 0);
  EXPECT_FALSE(row.Failure().has_value());
  for (int32_t c = 3; c <= 5; ++c)
    for (int32_t x = 0; x < kW; ++x)
      ASSERT_EQ(row.ChannelPlane(c, 0)[x], picture_[4 * x + (c - 3)]) << c << "," << x;
}

// Every block of a render refused in turn: the render either fails at the step that was
// refused, saying memory ran short, or renders exactly what it renders with memory to spare;
// it never passes a step it could not do off as done. Steps with masks narrowed by a colour
// selection, on the composite and on one plane.
TEST_F(FailedStep, EveryRefusedBlockFailsTheRenderOrChangesNothing) {
  const Step steps[] = {{53, 10, -7, 130, 90, 33},
                        {11, 4},
                        {12, 2, 128, 45, 1},
                        {44, 255, 2, 0},
                        {78, 6},
                        {95, 200, 40, 60},
                        {83, 9, 50, 50},
                        {84, 9, 30},
                        {120, 3, 4},
                        {121, 30, 50, 10, 20, 30},
                        {55, 1, 2},
                        {7, 2, 2},
                        {71, 1, 2, 10, 3, 10},
                        {17, 40, 10, 0},
                        {112, 0, 1},
                        {9},
                        {10, 200, 10, 20, 30},
                        {13, 0, 60, 128, 190, 255},
                        {18, 30, 20, 10},
                        {19, 5, 3},
                        {29, 45, 10},
                        {54, 1, 1},
                        {56, 0, 0, 10, 10},
                        {60, 20, 0, 0, 10},
                        {63, 0, 2, 10, 0, 5},
                        {68, 2, 3, 20},
                        {69, 10, 20, 0, 40, 5},
                        {79, 0, 50, 50, 100, 1},
                        {87, 3, 40},
                        {88, 1},
                        {98, 5, 2, 10, 0},
                        {99, 5, 200, 20},
                        {107, 5},
                        {108, 1, 2, 10, 0},
                        {122, 10, 50, 50, 50, 30},
                        {2, 200},
                        {3, 200},
                        {6},
                        {20, 4, 4, 128},
                        {23, 0, 0},
                        {33, 3, 4, 4, 200, 0},
                        {34, 3, 200, 255},
                        {47, 3, 200, 255},
                        {91, 4, 0, 200, 100, 50}};
  OprnExt selection{};
  selection.SelFlag[0] = 2;
  selection.SelLevel[0] = 60;
  selection.SelValueB[0] = 50;
  selection.SelValueC[0] = 40;
  selection.SelValueD[0] = 60;
  for (const Step& st : steps)
    for (const int16_t to : {2, 4}) {
      ScriptFile s;
      ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
      s.SetEffect(0, 1, 1, st.effect, 0, 0, 0, 0);
      s.SetAct(0, 1, 1, 1);
      s.SetFromChannel(0, 1, 1, 2);
      s.SetToChannel(0, 1, 1, to);
      s.SetMode(0, 1, 1, 0);
      s.SetOpa(0, 1, 1, 255);
      s.SetParam1(0, 1, 1, st.p1);
      s.SetParam2(0, 1, 1, st.p2);
      s.SetParam3(0, 1, 1, st.p3);
      s.SetParam4(0, 1, 1, st.p4);
      s.SetParam5(0, 1, 1, st.p5);
      ASSERT_EQ(s.SetSelOprnExt(0, 1, 1, &selection), 0);
      auto ramp = std::make_unique<LutVign>();
      s.GetLutVign(0, 0, 1, 1, ramp.get());
      s.SetLutVign(0, 1, 1, ramp.get());
      const auto planes = [&] {
        Bytes out;
        for (int32_t c : {3, 4, 5}) {
          const uint8_t* p = s.ChannelPlane(c, 0);
          out.insert(out.end(), p, p + kW * kH);
        }
        return out;
      };
      ASSERT_EQ(s.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0), 0) << st.effect;
      const Bytes complete = planes();
      bool completed = false;
      for (int64_t nth = 0; nth < 200 && !completed; ++nth) {
        const int64_t refusals = plat::RefusedBlockCount();
        plat::FailNthAllocation(nth);
        const int32_t rendered = s.Render(0, 0, 0, picture_.data(), nullptr, nullptr, 0, 0);
        plat::FailNthAllocation(-1);
        if (rendered == 0) {
          // The render took fewer blocks than that, or a step went round the refusal.
          EXPECT_EQ(planes(), complete)
              << "effect " << st.effect << " into " << to << ", block " << nth
              << " refused: the render passed a step it could not do";
          completed = plat::RefusedBlockCount() == refusals;
          continue;
        }
        ASSERT_TRUE(s.Failure().has_value()) << st.effect;
        EXPECT_EQ(s.Failure()->effect, st.effect);
        EXPECT_TRUE(s.Failure()->memoryRefused()) << "effect " << st.effect << ", block " << nth;
      }
    }
}

// A render the user stopped ends at its next step and is no failure: its owner sees the stop.
TEST_F(FailedStep, AStoppedRenderIsNoFailure) {
  Layer(1, {{9}, {9}});
  plat::CancelFlag stop;
  stop.Cancel();
  const plat::CancelScope scope(&stop);
  EXPECT_EQ(Render(), 0);
  EXPECT_FALSE(s_.Failure().has_value());
  EXPECT_EQ(Composite(), Inverted(0));
}

}  // namespace
