// The path tool dispatcher driven by a scripted mouse: clicks that set the
// pivot, transforms of the active paths and their last-reform values,
// rubber-band shapes, the pen, the marquee and text frames under the press.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"

using pathtest::ClosedPath;
using pathtest::Knot;

namespace {

class PathToolsTest : public pathtest::InteractivePathTest {
 protected:
  // A list holding one active square from (80, 80) to (120, 120).
  PathToolsTest() {
    square_ = ClosedPath({{80, 80}, {120, 80}, {120, 120}, {80, 120}});
    list_.first = square_;
    list_.count = 1;
    clip_.right = 300;
    clip_.bottom = 200;
  }
  void Click(int32_t tool) {
    list_.SetToolmode(tool);
    list_.DoClick(&port_, 0, 0, clip_);
  }
  // Press, one sample where the press was (the transforms read the
  // pointer once more before their loop), the drags, the release.
  void Drag(int16_t h, int16_t v, std::initializer_list<std::pair<int16_t, int16_t>> to,
            uint32_t releaseModifiers = 0) {
    ui_.ClearMouseScript();
    ui_.Press(h, v, 0);
    ui_.DragTo(h, v);
    for (auto [x, y] : to) ui_.DragTo(x, y);
    const auto last = *(to.end() - 1);
    ui_.Release(last.first, last.second, releaseModifiers);
  }
  // A click; what a tool left of the last gesture is dropped first.
  void Tap(int16_t h, int16_t v, uint32_t modifiers = 0) {
    ui_.ClearMouseScript();
    ui_.Press(h, v, modifiers);
    ui_.Release(h, v, modifiers);
  }

  CPathList list_{0};
  CPath* square_;
  Rect clip_;
};

TEST_F(PathToolsTest, AQuickClickOfTheTransformToolsSetsOnlyThePivot) {
  for (int32_t tool : {27, 28, 29}) {
    Tap(static_cast<int16_t>(30 + tool), 40);
    Click(tool);
    EXPECT_EQ(list_.pivotX, static_cast<float>(30 + tool));
    EXPECT_EQ(list_.pivotY, 40.0f);
    EXPECT_EQ(list_.lastReform, 0);
    EXPECT_EQ(Knot(square_, 0)->x, 80.0f);
    EXPECT_EQ(list_.count, 1);
  }
}

TEST_F(PathToolsTest, ScalingAcrossThePivotNeverMirrors) {
  list_.pivotX = list_.pivotY = 100.0f;
  Drag(150, 150, {{130, 130}, {50, 50}});
  Click(29);
  // Back at the press distance on the other side: the factor is 1 again.
  EXPECT_EQ(Knot(square_, 0)->x, 80.0f);
  EXPECT_EQ(Knot(square_, 2)->y, 120.0f);
  EXPECT_EQ(list_.lastReform, 29);
  EXPECT_EQ(list_.resizeNumX, 50);
  EXPECT_EQ(list_.resizeDenX, 50);

  Drag(150, 125, {{175, 150}});
  Click(29);
  EXPECT_EQ(Knot(square_, 0)->x, 70.0f);  // 100 + (80 - 100) * 75 / 50
  EXPECT_EQ(Knot(square_, 0)->y, 60.0f);  // 100 + (80 - 100) * 50 / 25
  EXPECT_EQ(list_.resizeNumY, 50);
  EXPECT_EQ(list_.resizeDenY, 25);
}

TEST_F(PathToolsTest, MovesAndTurnsLeaveTheirLastReform) {
  Drag(100, 80, {{104, 82}, {110, 85}});
  Click(27);
  EXPECT_EQ(list_.count, 1);
  EXPECT_EQ(Knot(square_, 0)->x, 90.0f);
  EXPECT_EQ(Knot(square_, 0)->y, 85.0f);
  EXPECT_EQ(list_.lastReform, 27);
  EXPECT_EQ(list_.moveX, 10.0f);
  EXPECT_EQ(list_.moveY, 5.0f);

  // A quarter turn anticlockwise on the screen about (100, 100).
  list_.pivotX = list_.pivotY = 100.0f;
  square_->Move(-10.0f, -5.0f);
  Drag(150, 100, {{100, 50}});
  Click(28);
  EXPECT_EQ(list_.lastReform, 28);
  EXPECT_NEAR(list_.rotation, 1.5707964f, 1e-5f);
  // (80, 80) turns to (80, 120), kept whole.
  EXPECT_EQ(Knot(square_, 0)->x, 80.0f);
  EXPECT_EQ(Knot(square_, 0)->y, 120.0f);
}

TEST_F(PathToolsTest, OptionAtTheEndOfAMoveAddsMovedCopies) {
  Drag(100, 80, {{110, 85}}, optionKey);
  Click(27);
  ASSERT_EQ(list_.count, 2);
  EXPECT_EQ(Knot(square_, 0)->x, 80.0f);
  CPath* copy = square_->next;
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(Knot(copy, 0)->x, 90.0f);
  EXPECT_EQ(Knot(copy, 2)->y, 125.0f);
  EXPECT_EQ(copy->active, 1);
  EXPECT_EQ(square_->active, 0);
}

TEST_F(PathToolsTest, ShapeToolsAddNothingWithoutMovement) {
  for (int32_t tool : {32, 33, 39, 40}) {
    Tap(20, 20);
    Click(tool);
    EXPECT_EQ(list_.count, 1) << tool;
    EXPECT_EQ(list_.tool, tool);
  }
  // Control swaps the tool for good.
  Tap(20, 20, controlKey);
  Click(40);
  EXPECT_EQ(list_.tool, 33);
  // The marks tool on an empty list does nothing.
  CPathList empty(0);
  empty.SetToolmode(36);
  Tap(20, 20);
  empty.DoClick(&port_, 0, 0, clip_);
  EXPECT_EQ(empty.count, 0);
}

TEST_F(PathToolsTest, ShiftMakesTheRectangleASquare) {
  list_.objPar.w[kObjOutlineOffset] = 0;
  for (int i = 0; i < 4; ++i) list_.objPar.w[kObjCornerRadius + i] = 0;
  ui_.Press(20, 20, shiftKey);
  ui_.DragTo(40, 30);
  ui_.DragTo(60, 40);
  ui_.Release(60, 40);
  Click(32);
  ASSERT_EQ(list_.count, 2);
  float l, t, r, b;
  CPathList only(0);
  CPath* made = square_->next;
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->count, 4);
  l = t = 1e9f;
  r = b = -1e9f;
  made->GetBound(&l, &t, &r, &b);
  EXPECT_EQ(l, 20.0f);
  EXPECT_EQ(t, 20.0f);
  EXPECT_EQ(r, 60.0f);  // the larger distance, 40, on both sides
  EXPECT_EQ(b, 60.0f);
}

TEST_F(PathToolsTest, ThePenClosesOnTheFirstKnotAndStartsANewPath) {
  CPathList pen(0);
  pen.SetToolmode(22);
  for (auto [h, v] : {std::pair<int16_t, int16_t>{10, 10}, {50, 10}, {50, 50}, {10, 10}}) {
    Tap(h, v);
    pen.DoClick(&port_, 0, 0, clip_);
  }
  ASSERT_EQ(pen.count, 2);
  EXPECT_EQ(pen.first->closed, 1);
  EXPECT_EQ(pen.first->count, 3);
  EXPECT_EQ(pen.current, pen.first->next);
  EXPECT_EQ(pen.current->first, nullptr);

  // Dragging from a new knot pulls its tangents, the in point mirrored.
  ui_.ClearMouseScript();
  ui_.Press(100, 100);
  ui_.DragTo(110, 104);
  ui_.Release(110, 104);
  pen.DoClick(&port_, 0, 0, clip_);
  CPathPoint* k = pen.current->first;
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(k->outX, 110.0f);
  EXPECT_EQ(k->inX, 90.0f);
  EXPECT_EQ(k->inY, 96.0f);
}

TEST_F(PathToolsTest, TheMarqueeSelectsOnlyWhatItHolds) {
  ui_.Press(200, 150);
  ui_.DragTo(250, 180);
  ui_.Release(250, 180);
  Click(15);
  EXPECT_EQ(square_->active, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(Knot(square_, i)->selected, 0);

  ui_.Press(70, 70);
  ui_.DragTo(100, 130);
  ui_.Release(100, 130);
  Click(15);
  EXPECT_EQ(square_->active, 1);
  EXPECT_EQ(Knot(square_, 0)->selected, 1);
}

// The pause that tells a click from a drag (select-and-edit, and the three
// transforms before they look at the button) is asked of the services, so
// the window's loop runs on during it: no spin on the tick counter (with
// tick queries that no longer move the clock, a spin would never end).
TEST_F(PathToolsTest, ThePauseBeforeADragIsAskedOfTheServicesNotSpun) {
  ui_.TickQueriesAdvance(false);
  Tap(200, 150);
  Click(15);
  Tap(37, 40);
  Click(27);
  EXPECT_EQ(list_.pivotX, 37.0f);
  EXPECT_EQ(ui_.delays, (std::vector<uint32_t>{20, 20}));
  EXPECT_NEAR(ui_.Now(), 40.0 / 60.0, 1e-9);
}

TEST_F(PathToolsTest, TextFramesTakeOnlyPressesOnTheirHandles) {
  CPath* text = new CPath;
  text->CreaTxtObj();
  text->txtObj->frame->Reset(nullptr);  // corners at 10 and 110
  square_->next = text;
  list_.count = 2;
  for (CPath* p = list_.first; p != nullptr; p = p->next) p->Inactivate();
  text->active = 1;

  // Far from the frame: a marquee, the frame stays.
  ui_.Press(200, 150);
  ui_.DragTo(115, 115);
  ui_.Release(115, 115);
  Click(15);
  EXPECT_EQ(text->txtObj->frame->X[0], 10.0f);
  EXPECT_EQ(square_->active, 1);  // its knot (120, 120) lay in the band

  // On a corner handle: the frame's corner follows.
  text->active = 1;
  ui_.Press(110, 110);
  ui_.DragTo(120, 115);
  ui_.Release(120, 115);
  Click(15);
  EXPECT_EQ(text->txtObj->frame->X[14], 120.0f);
  EXPECT_EQ(text->txtObj->frame->Y[13], 115.0f);
  EXPECT_EQ(text->txtObj->frame->X[0], 10.0f);
}

TEST_F(PathToolsTest, StepAndRepeatTakesItsOffsetFromTheDrag) {
  list_.objPar.w[kObjStepMode] = 0;
  list_.objPar.w[kObjStepCount] = 2;
  ui_.Press(10, 10);
  ui_.DragTo(30, 25);
  ui_.Release(30, 25);
  Click(41);
  EXPECT_EQ(list_.objPar.w[kObjStepX], 20);
  EXPECT_EQ(list_.objPar.w[kObjStepY], 15);
  EXPECT_EQ(list_.count, 3);
}

}  // namespace
