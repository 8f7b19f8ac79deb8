// The reader of a fitted preview's script: the lengths a render of the
// whole picture takes in its pixels come at the preview's scale, while the
// script of a render, and a preview at the picture's own size, read them as
// before.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "script/layers.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

constexpr int32_t kW = 1200, kH = 800;

class FittedPreviewLengths : public vmktest::SessionTest {
 protected:
  // A chain of one operation of each effect, Param1 and Param2 as given.
  static Oprn* Chain(std::initializer_list<std::pair<int16_t, std::pair<int16_t, int16_t>>> ops) {
    Oprn* first = nullptr;
    Oprn* last = nullptr;
    for (const auto& [effect, params] : ops) {
      auto* op = new Oprn;
      InitOprn(op);
      op->Effect = effect;
      op->Param1 = params.first;
      op->Param2 = params.second;
      (last == nullptr ? first : last->NextOprn) = op;
      last = op;
    }
    return first;
  }
  // The operations read into a script of area aw x ah on the whole picture's
  // width and height, as stored for a picture of kW x kH.
  // With `shortOfMemory` the session gives no work memory while the reader runs.
  static std::vector<std::pair<int16_t, int16_t>> Read(int32_t aw, int32_t ah, bool preview,
                                                       bool shortOfMemory = false) {
    ScriptFile s;
    EXPECT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, aw, ah, 0, 0, aw - 1, ah - 1), 0);
    EXPECT_EQ(s.areaWidth, aw);
    s.fittedPreview = preview;
    Oprn* first =
        Chain({{11, {36, 0}}, {84, {35, 45}}, {120, {8, 8}}, {19, {64, 20}}, {16, {45, 0}}, {122, {20, 50}},
               {32, {30, 45}}});
    {
      std::optional<vmktest::NoWorkMemory> none;
      if (shortOfMemory) none.emplace();
      s.UpdateOprnParams(first, kW, kH, 1.0f, 1.0f, 1);
    }
    std::vector<std::pair<int16_t, int16_t>> out;
    for (Oprn* op = first; op != nullptr; op = op->NextOprn) out.emplace_back(op->Param1, op->Param2);
    DeleteOprnChain(first);
    return out;
  }
};

using Params = std::vector<std::pair<int16_t, int16_t>>;

TEST_F(FittedPreviewLengths, ARenderReadsTheLengthsAsBefore) {
  // The whole picture: nothing changes.
  EXPECT_EQ(Read(kW, kH, false), (Params{{36, 0}, {35, 45}, {8, 8}, {64, 20}, {45, 0}, {20, 50}, {30, 45}}));
  // A fitted script that is no preview (the render file's): only the reader's own lengths
  // (the blur's radius, the offset's distances) scale.
  EXPECT_EQ(Read(375, 250, false), (Params{{11, 0}, {35, 45}, {8, 8}, {20, 6}, {45, 0}, {20, 50}, {30, 45}}));
}

TEST_F(FittedPreviewLengths, APreviewAtThePicturesSizeReadsThemAsBefore) {
  EXPECT_EQ(Read(kW, kH, true), (Params{{36, 0}, {35, 45}, {8, 8}, {64, 20}, {45, 0}, {20, 50}, {30, 45}}));
}

TEST_F(FittedPreviewLengths, AFittedPreviewReadsThemAtItsScale) {
  const Params p = Read(375, 250, true);
  // The pyramid blur of 36 spreads about as wide as that of 11, not three times less:
  // at a third of the size the preview takes the radius of a ninth of its spread, 3.
  EXPECT_EQ(p[0], (std::pair<int16_t, int16_t>{3, 0}));
  // The streak and the blocks at the preview's scale (the angle is no length).
  EXPECT_EQ(p[1], (std::pair<int16_t, int16_t>{11, 45}));
  EXPECT_EQ(p[2], (std::pair<int16_t, int16_t>{3, 3}));
  // The reader's own lengths scale once, as before; other parameters stay.
  EXPECT_EQ(p[3], (std::pair<int16_t, int16_t>{20, 6}));
  EXPECT_EQ(p[4], (std::pair<int16_t, int16_t>{45, 0}));
  // The grain's amount as faint as the result's grain scaled down (its highlights' share
  // is no length).
  EXPECT_EQ(p[5], (std::pair<int16_t, int16_t>{6, 50}));
  // The wind: the length whose streaks carry the preview's planes as far as the picture's
  // carry the picture, scaled (each streak pulls its pixel's value on from streak to streak,
  // much further than a streak is long; 30 scaled as a length, 9, carries the planes some 4
  // samples where the picture's wind, scaled, carries them 48). The angle is no length.
  EXPECT_EQ(p[6], (std::pair<int16_t, int16_t>{23, 45}));
}

// The lengths that the render reads in the picture's pixels at its own scale, which the reader
// does not scale: the contrast expansion's disc (growing and shrinking, a negative radius
// shrinking the dark shapes) and the shadow's blur and offset. At a third of the size the
// disc is a third as wide, at least a sample; the shadow's blur spreads as the picture's once
// scaled down, and its offset is a third as far, to the nearest sample, either way.
TEST_F(FittedPreviewLengths, TheDiscsAndTheShadowAtItsScale) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, 400, 266, 0, 0, 399, 265), 0);
  s.fittedPreview = true;
  Oprn* first = Chain({{34, {131, 255}}, {47, {-40, 0}}, {48, {2, 255}}, {33, {36, 60}}, {33, {2, -10}}});
  first->NextOprn->NextOprn->NextOprn->Param3 = 40;
  first->NextOprn->NextOprn->NextOprn->NextOprn->Param3 = 1;
  s.UpdateOprnParams(first, kW, kH, 1.0f, 1.0f, 1);
  const Oprn* op = first;
  EXPECT_EQ(op->Param1, 44);  // 131 / 3
  EXPECT_EQ(op->Param2, 255);  // a colour
  op = op->NextOprn;
  EXPECT_EQ(op->Param1, -13);
  op = op->NextOprn;
  EXPECT_EQ(op->Param1, 1);
  op = op->NextOprn;
  EXPECT_EQ(op->Param1, 3);  // the pyramid blur of 36 spreads as that of 11, a ninth of it as 3
  EXPECT_EQ(op->Param2, 20);
  EXPECT_EQ(op->Param3, 13);
  op = op->NextOprn;
  EXPECT_EQ(op->Param2, -3);
  EXPECT_EQ(op->Param3, 0);
  DeleteOprnChain(first);
}

// The blur's spreads are measured by the first fitted preview, on work planes from the
// session's registry. A preview that finds memory short takes the radius the reader scaled;
// the next one measures them again and takes the radius of the same spread.
TEST_F(FittedPreviewLengths, AMeasureThatFoundMemoryShortIsTakenAgain) {
  // In a process of its own, whose first fitted preview is the one that finds memory short.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const int16_t shortOf = Read(375, 250, true, true)[0].first;
        const int16_t later = Read(375, 250, true)[0].first;
        std::fprintf(stderr, "short of memory %d, later %d\n", shortOf, later);
        std::exit(shortOf == 11 && later == 3 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// A picture under three times its view is previewed on planes larger than itself: the
// lengths come at the planes' scale there too, 1.5 here (they were left in the picture's
// pixels, and a disc of 131 drew a frame two thirds as wide as the result's).
TEST_F(FittedPreviewLengths, PlanesLargerThanThePictureReadThemAtTheirScale) {
  const Params p = Read(1800, 1200, true);
  // The pyramid blur of 36 on planes 1.5 times as large: the radius of 2.25 times its spread,
  // 84 (its spread does not grow with its radius: not 54).
  EXPECT_EQ(p[0], (std::pair<int16_t, int16_t>{84, 0}));
  EXPECT_EQ(p[1], (std::pair<int16_t, int16_t>{53, 45}));
  EXPECT_EQ(p[2], (std::pair<int16_t, int16_t>{12, 12}));
  // The reader's own lengths scale once, as before.
  EXPECT_EQ(p[3], (std::pair<int16_t, int16_t>{96, 30}));
  EXPECT_EQ(p[4], (std::pair<int16_t, int16_t>{45, 0}));
  EXPECT_EQ(p[5], (std::pair<int16_t, int16_t>{30, 50}));
  // The wind's pull grows far faster than its length: 30 at randomness 0 carries the planes
  // 1.5 times as far at 33, where 45, the length scaled, carries them six times further.
  EXPECT_EQ(p[6], (std::pair<int16_t, int16_t>{33, 45}));

  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, 1800, 1200, 0, 0, 1799, 1199), 0);
  s.fittedPreview = true;
  Oprn* first = Chain({{34, {131, 255}}, {47, {-40, 0}}, {48, {1, 255}}, {33, {20, 60}}});
  first->NextOprn->NextOprn->NextOprn->Param3 = -3;
  s.UpdateOprnParams(first, kW, kH, 1.0f, 1.0f, 1);
  const Oprn* op = first;
  EXPECT_EQ(op->Param1, 197);  // 131 x 1.5, rounded
  op = op->NextOprn;
  EXPECT_EQ(op->Param1, -60);
  op = op->NextOprn;
  EXPECT_EQ(op->Param1, 2);
  op = op->NextOprn;
  EXPECT_EQ(op->Param2, 90);
  EXPECT_EQ(op->Param3, -5);  // -4.5, to the nearest away from 0
  DeleteOprnChain(first);
}

// A disc of 0 grows and shrinks nothing, where a disc of 1 stamps every edge pixel: on planes
// of any scale it stays 0, as do a streak, blocks, a wind, grain and a shadow's offset of 0.
// The pyramid blur of radius 0 is no zero length (it still spreads an edge over some three
// squared samples): on planes 1.5 times the picture's size the radius of the nearest spread
// to 2.25 times that is 1, on smaller planes it stays 0.
TEST_F(FittedPreviewLengths, ALengthOfZeroStaysZeroAtAnyScale) {
  for (const auto& [aw, ah] : {std::pair<int32_t, int32_t>{400, 266}, {1800, 1200}, {1201, 801}, {40, 26}}) {
    ScriptFile s;
    ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, aw, ah, 0, 0, aw - 1, ah - 1), 0);
    s.fittedPreview = true;
    Oprn* first = Chain({{34, {0, 255}}, {47, {0, 0}}, {48, {0, 255}}, {33, {0, 0}}, {84, {0, 0}}, {120, {0, 0}},
                         {32, {0, 45}}, {122, {0, 50}}, {11, {0, 0}}});
    s.UpdateOprnParams(first, kW, kH, 1.0f, 1.0f, 1);
    for (const Oprn* op = first; op != nullptr; op = op->NextOprn) {
      const bool blur = op->Effect == 11 || op->Effect == 33;
      EXPECT_EQ(op->Param1, blur && aw == 1800 ? 1 : 0) << "effect " << op->Effect << " on " << aw << " x " << ah;
      if (op->Effect == 33 || op->Effect == 120) {
        EXPECT_EQ(op->Param2, 0) << "effect " << op->Effect;
      }
      EXPECT_EQ(op->Param3, 0) << "effect " << op->Effect;
    }
    DeleteOprnChain(first);
  }
}

TEST_F(FittedPreviewLengths, ALengthStaysAtLeastOnePixel) {
  ScriptFile s;
  ASSERT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, 40, 26, 0, 0, 39, 25), 0);
  s.fittedPreview = true;
  Oprn* first = Chain({{84, {2, 0}}, {120, {1, 3}}, {84, {0, 0}}});
  s.UpdateOprnParams(first, kW, kH, 1.0f, 1.0f, 1);
  EXPECT_EQ(first->Param1, 1);
  EXPECT_EQ(first->NextOprn->Param1, 1);
  EXPECT_EQ(first->NextOprn->Param2, 1);
  EXPECT_EQ(first->NextOprn->NextOprn->Param1, 0);  // no streak stays none
  DeleteOprnChain(first);
}

}  // namespace
