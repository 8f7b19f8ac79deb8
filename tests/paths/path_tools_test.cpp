// The path tool dispatcher driven by a scripted mouse: clicks that set the
// pivot, transforms of the active paths and their last-reform values,
// rubber-band shapes, the pen, the marquee and text frames under the press,
// clicks on paths and knots, the knot tools, the ellipse and the star.
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

// A second closed square right of the first, from (180, 80) to (220, 120).
CPath* AddSecondSquare(CPathList& list) {
  CPath* other = ClosedPath({{180, 80}, {220, 80}, {220, 120}, {180, 120}});
  list.first->next = other;
  list.count = 2;
  return other;
}

void DeselectAll(CPath* p) {
  for (int i = 0; i < p->count; ++i) Knot(p, i)->selected = 0;
}

int SelectedCount(CPath* p) {
  int n = 0;
  for (int i = 0; i < p->count; ++i) n += Knot(p, i)->selected;
  return n;
}

// Presses on the curve of a path, away from its knots: a click makes that
// path the only active one (activating selects all its knots), a Shift
// click adds an inactive path to the active ones and leaves an active plain
// path alone; a plain click on an active plain path's curve falls through
// to the knot test and, finding no knot, deactivates everything.
TEST_F(PathToolsTest, ClicksAndShiftClicksOnAPathsCurve) {
  CPath* other = AddSecondSquare(list_);
  DeselectAll(square_);
  DeselectAll(other);
  square_->active = 0;
  Tap(100, 80, 0);
  Click(15);
  EXPECT_EQ(square_->active, 1);
  EXPECT_EQ(other->active, 0);
  EXPECT_EQ(SelectedCount(square_), 4);

  Tap(200, 80, shiftKey);
  Click(15);
  EXPECT_EQ(other->active, 1);
  EXPECT_EQ(square_->active, 1);

  Tap(100, 80, shiftKey);  // active, no text: nothing happens
  Click(15);
  EXPECT_EQ(square_->active, 1);
  EXPECT_EQ(other->active, 1);
  Tap(120, 80, shiftKey);  // on a knot of it, the same
  Click(15);
  EXPECT_EQ(SelectedCount(square_), 4);

  Tap(100, 80, 0);
  Click(15);
  EXPECT_EQ(square_->active, 0);
  EXPECT_EQ(other->active, 0);

  Tap(200, 120, optionKey);
  Click(15);
  EXPECT_EQ(other->active, 1);
  EXPECT_EQ(square_->active, 0);
  EXPECT_EQ(SelectedCount(other), 4);
  EXPECT_EQ(list_.current, nullptr);  // the tool forgets the path being drawn
}

// A press on a knot of an active path: a click selects that knot alone; a
// drag from an unselected knot moves it alone with its handles; a drag from
// a selected knot moves every selected knot by the same steps.
TEST_F(PathToolsTest, ClickingAndDraggingKnotsWithTheSelectTool) {
  DeselectAll(square_);
  Knot(square_, 3)->selected = 1;
  Tap(120, 80, 0);
  Click(15);
  EXPECT_EQ(Knot(square_, 1)->selected, 1);
  EXPECT_EQ(SelectedCount(square_), 1);
  EXPECT_EQ(square_->current, Knot(square_, 1));

  DeselectAll(square_);
  Knot(square_, 1)->outX = 126.0f;
  Drag(120, 80, {{125, 84}, {130, 90}});
  Click(15);
  CPathPoint* k = Knot(square_, 1);
  EXPECT_EQ(k->x, 130.0f);
  EXPECT_EQ(k->y, 90.0f);
  EXPECT_EQ(k->outX, 136.0f);  // the handles follow by the same steps
  EXPECT_EQ(k->outY, 90.0f);
  EXPECT_EQ(k->inX, 130.0f);
  EXPECT_EQ(k->inY, 90.0f);
  EXPECT_EQ(Knot(square_, 0)->x, 80.0f);
  EXPECT_EQ(Knot(square_, 2)->y, 120.0f);
  EXPECT_EQ(SelectedCount(square_), 1);

  // Knots 0 and 1 selected, dragged from knot 1 (now at 130, 90).
  Knot(square_, 0)->selected = 1;
  Drag(130, 90, {{134, 93}, {140, 95}});
  Click(15);
  EXPECT_EQ(Knot(square_, 0)->x, 90.0f);
  EXPECT_EQ(Knot(square_, 0)->y, 85.0f);
  EXPECT_EQ(Knot(square_, 0)->outX, 90.0f);
  EXPECT_EQ(Knot(square_, 1)->x, 140.0f);
  EXPECT_EQ(Knot(square_, 1)->y, 95.0f);
  EXPECT_EQ(Knot(square_, 2)->x, 120.0f);
  EXPECT_EQ(Knot(square_, 3)->x, 80.0f);
}

// Tool 24 inserts a knot where the press meets a curve, activating an
// inactive path; a drag pulls the new knot's handles (out to the pointer of
// the step before, in mirrored through the knot from the pointer) and
// unselects it at the release.
TEST_F(PathToolsTest, TheInsertToolAddsAKnotOnTheCurve) {
  DeselectAll(square_);
  square_->active = 0;
  Tap(100, 80, 0);
  Click(24);
  EXPECT_EQ(square_->active, 1);
  ASSERT_EQ(square_->count, 5);
  CPathPoint* n = Knot(square_, 1);
  EXPECT_EQ(n->x, 100.0f);
  EXPECT_EQ(n->y, 80.0f);
  EXPECT_EQ(n->selected, 1);  // a click leaves it selected
  EXPECT_EQ(n->kind, 0);
  EXPECT_EQ(Knot(square_, 2)->x, 120.0f);
  EXPECT_EQ(Knot(square_, 2)->prev, n);

  Drag(120, 100, {{124, 102}, {130, 106}});
  Click(24);
  ASSERT_EQ(square_->count, 6);
  n = Knot(square_, 3);
  EXPECT_EQ(n->x, 120.0f);
  EXPECT_EQ(n->y, 100.0f);
  EXPECT_EQ(n->outX, 124.0f);
  EXPECT_EQ(n->outY, 102.0f);
  EXPECT_EQ(n->inX, 110.0f);  // 2 * 120 - 130
  EXPECT_EQ(n->inY, 94.0f);   // 2 * 100 - 106
  EXPECT_EQ(n->selected, 0);

  // Off every curve: nothing.
  Tap(150, 150, 0);
  Click(24);
  EXPECT_EQ(square_->count, 6);
}

// Tool 25 removes the knot under the press from the first active path that
// has one, its selection passing to the next knot; tool 26 makes a knot a
// corner with its handles retracted, then pulled out by a drag.
TEST_F(PathToolsTest, TheRemoveAndCornerToolsWorkOnActivePathsOnly) {
  DeselectAll(square_);
  square_->active = 0;
  Tap(120, 80, 0);
  Click(25);
  EXPECT_EQ(square_->count, 4);  // inactive: untouched

  square_->active = 1;
  Knot(square_, 1)->selected = 1;
  Tap(120, 80, 0);
  Click(25);
  ASSERT_EQ(square_->count, 3);
  CPathPoint* next = Knot(square_, 1);
  EXPECT_EQ(next->x, 120.0f);
  EXPECT_EQ(next->y, 120.0f);
  EXPECT_EQ(next->selected, 1);
  EXPECT_EQ(square_->current, next);
  EXPECT_EQ(Knot(square_, 0)->next, next);
  EXPECT_EQ(next->prev, Knot(square_, 0));

  // The corner tool: knot (120, 120) with handles out, another selected.
  next->outX = 130.0f;
  next->inX = 110.0f;
  Knot(square_, 2)->selected = 1;
  Tap(120, 120, 0);
  Click(26);
  EXPECT_EQ(next->kind, 1);
  EXPECT_EQ(next->outX, 120.0f);
  EXPECT_EQ(next->inX, 120.0f);
  EXPECT_EQ(next->selected, 1);
  EXPECT_EQ(Knot(square_, 2)->selected, 0);
  // Again, dragged: the kind toggles back and the handles follow the drag,
  // out at M + d and in at 2K - M + d for the last step d.
  Drag(120, 120, {{124, 123}, {130, 126}});
  Click(26);
  EXPECT_EQ(next->kind, 0);
  EXPECT_EQ(next->outX, 136.0f);
  EXPECT_EQ(next->outY, 129.0f);
  EXPECT_EQ(next->inX, 116.0f);
  EXPECT_EQ(next->inY, 117.0f);
  EXPECT_EQ(next->x, 120.0f);
}

// The ellipse with an outline offset: the plain ellipse in the dragged box
// and, after it, the one grown by the offset, four knots each with handles
// 0.2761424 of the box's sides from them.
TEST_F(PathToolsTest, TheEllipseWithAnOffsetAddsTheGrownOutlineToo) {
  list_.objPar.w[kObjOutlineOffset] = 5;
  Drag(20, 20, {{40, 30}, {60, 40}});
  Click(33);
  ASSERT_EQ(list_.count, 3);
  CPath* plain = square_->next;
  ASSERT_NE(plain, nullptr);
  CPath* grown = plain->next;
  ASSERT_NE(grown, nullptr);
  struct Box {
    CPath* path;
    float l, t, r, b;
  };
  for (const Box& e : {Box{plain, 20, 20, 60, 40}, Box{grown, 15, 15, 65, 45}}) {
    ASSERT_EQ(e.path->count, 4);
    EXPECT_EQ(e.path->closed, 1);
    const float cx = (e.l + e.r) * 0.5f, cy = (e.t + e.b) * 0.5f;
    const float kx = (e.r - e.l) * 0.2761424f, ky = (e.b - e.t) * 0.2761424f;
    const float want[4][6] = {{cx, e.t, cx + kx, e.t, cx - kx, e.t},
                              {e.r, cy, e.r, cy + ky, e.r, cy - ky},
                              {cx, e.b, cx - kx, e.b, cx + kx, e.b},
                              {e.l, cy, e.l, cy - ky, e.l, cy + ky}};
    for (int i = 0; i < 4; ++i) {
      const CPathPoint* k = Knot(e.path, i);
      EXPECT_FLOAT_EQ(k->x, want[i][0]) << i;
      EXPECT_FLOAT_EQ(k->y, want[i][1]) << i;
      EXPECT_FLOAT_EQ(k->outX, want[i][2]) << i;
      EXPECT_FLOAT_EQ(k->outY, want[i][3]) << i;
      EXPECT_FLOAT_EQ(k->inX, want[i][4]) << i;
      EXPECT_FLOAT_EQ(k->inY, want[i][5]) << i;
    }
  }
}

// The star from its centre: five sharp points of the dragged radius and
// inner knots at half of it, the first tip a tenth of a turn from straight
// down (Command keeps the start angle at 0); with an offset, a second star
// grown by it follows the plain one.
TEST_F(PathToolsTest, TheStarTakesItsRadiusFromTheDrag) {
  int32_t* w = list_.objPar.w;
  w[kObjStarPoints] = 5;
  w[kObjStarInner] = 50;
  w[kObjStarAltTip] = 100;
  w[kObjStarAltInner] = 50;
  w[kObjInnerStyle] = 1;
  w[kObjTipStyle] = 1;
  w[kObjInnerPerPoint] = 0;
  w[kObjTipPerPoint] = 0;
  w[kObjOutlineOffset] = 3;
  ui_.ClearMouseScript();
  ui_.Press(100, 100, cmdKey);
  ui_.DragTo(100, 100);
  ui_.DragTo(110, 120);
  ui_.DragTo(100, 140);
  ui_.Release(100, 140);
  Click(39);
  ASSERT_EQ(list_.count, 3);
  CPath* plain = square_->next;
  ASSERT_NE(plain, nullptr);
  CPath* grown = plain->next;
  ASSERT_NE(grown, nullptr);
  for (auto [path, tip] : {std::pair<CPath*, double>{plain, 40.0}, {grown, 43.0}}) {
    ASSERT_EQ(path->count, 10);
    for (int j = 0; j < 10; ++j) {
      const double a = (j + 1) * 2.0 * 3.14159265358979 / 10.0;
      const double r = j % 2 == 0 ? tip : tip * 0.5;
      const CPathPoint* k = Knot(path, j);
      EXPECT_NEAR(k->x, 100.0 + r * std::sin(a), 1e-3) << j;
      EXPECT_NEAR(k->y, 100.0 + r * std::cos(a), 1e-3) << j;
      EXPECT_EQ(k->outX, k->x) << j;  // sharp knots
      EXPECT_EQ(k->inY, k->y) << j;
    }
  }
}

}  // namespace
