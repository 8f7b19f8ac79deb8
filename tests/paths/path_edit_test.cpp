// Hit tests, the pen, knot insertion, removal and conversion, selection and
// dragging with scripted mouse sequences, and the XOR drawing they rely on.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/text_objects.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"

using pathtest::ClosedPath;
using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class PathEditTest : public pathtest::InteractivePathTest {};

TEST_F(PathEditTest, KnotToleranceFollowsTheScale) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}}));
  EXPECT_EQ(p->IfOnPoint(12.9f, 7.1f), p->first);
  EXPECT_EQ(p->IfOnPoint(13.0f, 10.0f), nullptr);
  EXPECT_EQ(p->IfOnPoint(10.0f, 13.0f), nullptr);
  EXPECT_EQ(p->IfOnPoint(48.0f, 11.0f), Knot(p.get(), 1));
  // Scale 0.5 gives trunc(1.5) = 1, raised to 2.
  drawPar_.scaleX = drawPar_.scaleY = 0.5f;
  EXPECT_EQ(p->IfOnPoint(11.9f, 10.0f), p->first);
  EXPECT_EQ(p->IfOnPoint(12.0f, 10.0f), nullptr);
  drawPar_.scaleX = drawPar_.scaleY = 4.0f;
  EXPECT_EQ(p->IfOnPoint(21.9f, 10.0f), p->first);
}

TEST_F(PathEditTest, ControlPointsOfSelectedKnotsOnly) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}}));
  p->first->outX = 20.0f;
  p->first->inX = 0.0f;
  int16_t which = 9;
  EXPECT_EQ(p->IfOnTanPoint(20.0f, 10.0f, &which), nullptr);
  EXPECT_EQ(which, 0);
  p->first->selected = 1;
  EXPECT_EQ(p->IfOnTanPoint(20.0f, 10.0f, &which), p->first);
  EXPECT_EQ(which, 1);
  EXPECT_EQ(p->IfOnTanPoint(1.0f, 11.0f, &which), p->first);
  EXPECT_EQ(which, 2);
}

TEST_F(PathEditTest, SegmentHits) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}}));
  int16_t t = -1;
  EXPECT_EQ(p->IfOnSegment(50.0f, 2.9f, p->first, Knot(p.get(), 1), &t), 1);
  EXPECT_EQ(t, 50);
  // The squared distance is bounded by trunc(9 * sx * sy) = 9.
  EXPECT_EQ(p->IfOnSegment(50.0f, 3.1f, p->first, Knot(p.get(), 1), &t), 0);
  EXPECT_EQ(p->IfOnSegment(-2.0f, 0.0f, p->first, Knot(p.get(), 1), &t), 1);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(p->IfOnSegment(100.0f, 1.0f, p->first, Knot(p.get(), 1), &t), 1);
  EXPECT_EQ(t, 100);
  // Beyond the end knot the foot leaves the last chord: no hit.
  EXPECT_EQ(p->IfOnSegment(101.0f, 0.0f, p->first, Knot(p.get(), 1), &t), 0);

  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  intptr_t obj = -1;
  EXPECT_EQ(p->IfOnCurve(30.0f, 1.0f, &a, &b, &t, &obj), 1);
  EXPECT_EQ(a, p->first);
  EXPECT_EQ(obj, 0);
  p->CreaTxtPath();
  EXPECT_EQ(p->IfOnCurve(30.0f, 1.0f, &a, &b, &t, &obj), 3);
  EXPECT_EQ(obj, reinterpret_cast<intptr_t>(p->txtPath));
  EXPECT_EQ(p->IfOnCurve(30.0f, 20.0f, &a, &b, &t, &obj), 0);

  // The closing segment of a closed path is tested too.
  std::unique_ptr<CPath> tri(ClosedPath({{0, 0}, {100, 0}, {100, 100}}));
  EXPECT_EQ(tri->IfOnCurve(50.0f, 50.0f, &a, &b, &t, &obj), 1);
  EXPECT_EQ(a, Knot(tri.get(), 2));
  EXPECT_EQ(b, tri->first);
}

TEST_F(PathEditTest, PenSmoothsTheKnotBeforeTheNewOne) {
  CPath p;
  p.AddPoint(0.0f, 100.0f, 1);
  ASSERT_EQ(p.count, 1);
  EXPECT_EQ(p.current, p.first);
  EXPECT_EQ(p.first->selected, 1);
  p.AddPoint(100.0f, 0.0f, 1);
  p.AddPoint(200.0f, 100.0f, 1);
  ASSERT_EQ(p.count, 3);
  CPathPoint* mid = Knot(&p, 1);
  EXPECT_EQ(p.current, Knot(&p, 2));
  EXPECT_EQ(mid->selected, 0);
  EXPECT_EQ(Knot(&p, 2)->selected, 1);
  // The circle through the three points has its centre at (100, 100); the
  // tangent at the middle knot is horizontal.
  EXPECT_NEAR(mid->inX, 50.0f, 1e-3f);
  EXPECT_NEAR(mid->inY, 0.0f, 1e-3f);
  EXPECT_NEAR(mid->outX, 150.0f, 1e-3f);
  EXPECT_NEAR(mid->outY, 0.0f, 1e-3f);
  EXPECT_EQ(Knot(&p, 2)->next, nullptr);

  // Option held, or mode 0: the knot keeps its control points on itself.
  CPath q;
  ui_.SetModifiers(optionKey);
  q.AddPoint(0.0f, 100.0f, 1);
  q.AddPoint(100.0f, 0.0f, 1);
  q.AddPoint(200.0f, 100.0f, 1);
  EXPECT_EQ(Knot(&q, 1)->inX, 100.0f);
  EXPECT_EQ(Knot(&q, 1)->outY, 0.0f);
  ui_.SetModifiers(optionKey | shiftKey);  // not Option alone
  CPath r;
  r.AddPoint(0.0f, 100.0f, 0);
  r.AddPoint(100.0f, 0.0f, 0);
  r.AddPoint(200.0f, 100.0f, 0);
  EXPECT_EQ(Knot(&r, 1)->inX, 100.0f);
}

TEST_F(PathEditTest, PenClosesOnTheFirstKnot) {
  CPath p;
  p.AddPoint(10.0f, 10.0f, 0);
  p.AddPoint(60.0f, 10.0f, 0);
  p.AddPoint(60.0f, 60.0f, 0);
  p.AddPoint(11.0f, 12.0f, 0);
  EXPECT_EQ(p.closed, 1);
  EXPECT_EQ(p.count, 3);
  EXPECT_EQ(Knot(&p, 2)->next, p.first);
  EXPECT_EQ(p.first->prev, Knot(&p, 2));
  p.AddPoint(100.0f, 100.0f, 0);
  EXPECT_EQ(p.count, 3);

  CPath one;
  one.AddPoint(10.0f, 10.0f, 0);
  one.AddPoint(10.0f, 10.0f, 0);
  EXPECT_EQ(one.closed, 1);
  EXPECT_EQ(one.first->next, one.first);
  EXPECT_EQ(one.first->prev, one.first);

  // A ring made at once is never extended by the pen.
  CPath ring;
  ring.CreaPathof_xpts(3, 0);
  ring.AddPoint(50.0f, 50.0f, 0);
  EXPECT_EQ(ring.count, 3);
}

TEST_F(PathEditTest, SmoothControlPointsOfCollinearKnotsStay) {
  CPath p;
  float ix = 1, iy = 2, ox = 3, oy = 4;
  EXPECT_EQ(p.Calc_Pttg(0, 0, 10, 10, 20, 20, &ix, &iy, &ox, &oy), 0);
  EXPECT_EQ(ix, 1.0f);
  EXPECT_EQ(oy, 4.0f);
  EXPECT_EQ(p.Calc_Pttg(5, 5, 5, 5, 20, 0, &ix, &iy, &ox, &oy), 0);
  EXPECT_EQ(ix, 1.0f);
  EXPECT_EQ(p.Calc_Pttg(0, 10, 10, 0, 20, 10, &ix, &iy, &ox, &oy), 0);
  EXPECT_NEAR(ix, 5.0f, 1e-4f);
  EXPECT_NEAR(iy, 0.0f, 1e-4f);
  EXPECT_NEAR(ox, 15.0f, 1e-4f);
}

TEST_F(PathEditTest, RemovingKnots) {
  std::unique_ptr<CPath> one(OpenPath({{10, 10}}));
  one->current = one->first;
  one->RemovePoint(10.0f, 10.0f);
  EXPECT_EQ(one->first, nullptr);
  EXPECT_EQ(one->current, nullptr);
  EXPECT_EQ(one->count, 0);

  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  Knot(p.get(), 2)->selected = 1;
  p->current = Knot(p.get(), 2);
  p->RemovePoint(90.0f, 10.0f);
  ASSERT_EQ(p->count, 2);
  EXPECT_EQ(Knot(p.get(), 1)->selected, 1);
  EXPECT_EQ(p->current, Knot(p.get(), 1));
  EXPECT_EQ(Knot(p.get(), 1)->next, nullptr);
  p->RemovePoint(10.0f, 10.0f);
  EXPECT_EQ(p->count, 1);
  EXPECT_EQ(p->first->x, 50.0f);
  EXPECT_EQ(p->first->prev, nullptr);

  std::unique_ptr<CPath> ring(ClosedPath({{10, 10}, {50, 10}}));
  ring->RemovePoint(10.0f, 10.0f);
  EXPECT_EQ(ring->first->x, 50.0f);
  EXPECT_EQ(ring->first->next, ring->first);
  ring->RemovePoint(50.0f, 10.0f);
  EXPECT_EQ(ring->first, nullptr);
  EXPECT_EQ(ring->count, 0);

  std::unique_ptr<CPath> pen(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  pen->DeleteLastPoint();
  EXPECT_EQ(pen->count, 2);
  EXPECT_EQ(pen->current, Knot(pen.get(), 1));
  EXPECT_EQ(Knot(pen.get(), 1)->selected, 1);
  EXPECT_EQ(Knot(pen.get(), 1)->next, nullptr);
  pen->DeleteLastPoint();
  pen->DeleteLastPoint();
  EXPECT_EQ(pen->first, nullptr);
  EXPECT_EQ(pen->current, nullptr);
  EXPECT_EQ(pen->count, 0);
}

TEST_F(PathEditTest, AddPointModeSelectsTheLastKnot) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  p->first->selected = 1;
  p->PutToAddPointMode();
  EXPECT_EQ(p->first->selected, 0);
  EXPECT_EQ(Knot(p.get(), 2)->selected, 1);
  EXPECT_EQ(p->current, Knot(p.get(), 2));
}

TEST_F(PathEditTest, DraggingKnots) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  CPathPoint* k = Knot(p.get(), 1);
  k->outX = 60.0f;
  ui_.DragTo(55, 20);
  ui_.DragTo(60, 30);
  ui_.Release(60, 30);
  p->SelectPoint(50.0f, 10.0f);
  EXPECT_EQ(k->x, 60.0f);
  EXPECT_EQ(k->y, 30.0f);
  EXPECT_EQ(k->outX, 70.0f);
  EXPECT_EQ(k->outY, 30.0f);
  EXPECT_EQ(k->selected, 1);
  EXPECT_EQ(p->current, k);

  // Shift adds a knot to the selection and drags every selected knot.
  ui_.SetModifiers(shiftKey);
  ui_.DragTo(15, 15);
  ui_.Release(15, 15);
  p->SelectPoint(10.0f, 10.0f);
  EXPECT_EQ(p->first->selected, 1);
  EXPECT_EQ(p->first->x, 15.0f);
  EXPECT_EQ(k->x, 65.0f);
  EXPECT_EQ(Knot(p.get(), 2)->x, 90.0f);

  // Shift on a selected knot unselects it and drags nothing.
  ui_.DragTo(30, 30);
  ui_.Release(30, 30);
  p->SelectPoint(15.0f, 15.0f);
  EXPECT_EQ(p->first->selected, 0);
  EXPECT_EQ(p->first->x, 15.0f);
  EXPECT_EQ(k->x, 65.0f);
  EXPECT_EQ(ui_.PendingMouseSamples(), 2u);
  ui_.ClearMouseScript();

  // Steps of 0.1 or less in path units are not acted on.
  ui_.SetModifiers(0);
  drawPar_.scaleX = drawPar_.scaleY = 0.05f;
  const float x0 = Knot(p.get(), 2)->x;
  ui_.DragTo(static_cast<int16_t>(x0 / 0.05f + 2), 200);
  ui_.Release(static_cast<int16_t>(x0 / 0.05f + 2), 200);
  p->SelectPoint(x0, 10.0f);
  EXPECT_EQ(Knot(p.get(), 2)->x, x0);
}

TEST_F(PathEditTest, DraggingControlPoints) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  CPathPoint* k = Knot(p.get(), 1);
  k->selected = 1;
  k->outX = 70.0f;
  k->inX = 30.0f;
  ui_.DragTo(70, 30);
  ui_.Release(70, 30);
  p->SelectPoint(70.0f, 10.0f);
  // A smooth knot mirrors its other control point.
  EXPECT_EQ(k->outY, 30.0f);
  EXPECT_EQ(k->inX, 30.0f);
  EXPECT_EQ(k->inY, -10.0f);
  k->kind = 1;
  ui_.DragTo(30, 0);
  ui_.Release(30, 0);
  p->SelectPoint(30.0f, -10.0f);
  EXPECT_EQ(k->inY, 0.0f);
  EXPECT_EQ(k->outY, 30.0f);
}

TEST_F(PathEditTest, InsertAndCornerKnots) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {90, 10}}));
  p->current = p->first;
  p->InsertPoint(50.0f, 11.0f);
  ASSERT_EQ(p->count, 3);
  CPathPoint* n = Knot(p.get(), 1);
  EXPECT_EQ(n->x, 50.0f);
  EXPECT_EQ(n->y, 11.0f);
  EXPECT_EQ(n->selected, 1);
  EXPECT_EQ(n->prev, p->first);
  EXPECT_EQ(n->next->x, 90.0f);
  EXPECT_EQ(n->next->prev, n);
  EXPECT_EQ(p->current, p->first);
  p->InsertPoint(50.0f, 80.0f);
  EXPECT_EQ(p->count, 3);

  // Pulling out while held: out at the previous mouse position, in mirrored
  // about the knot from the current one; unselected on release.
  ui_.DragTo(60, 11);
  ui_.DragTo(70, 11);
  ui_.Release(70, 11);
  p->InsertPoint(30.0f, 10.0f);
  ASSERT_EQ(p->count, 4);
  CPathPoint* m = Knot(p.get(), 1);
  EXPECT_EQ(m->x, 30.0f);
  EXPECT_EQ(m->outX, 60.0f);
  EXPECT_EQ(m->inX, -10.0f);
  EXPECT_EQ(m->selected, 0);

  n->outX = 55.0f;
  p->CornerPoint(50.0f, 11.0f);
  EXPECT_EQ(n->kind, 1);
  EXPECT_EQ(n->outX, 50.0f);
  EXPECT_EQ(n->inY, 11.0f);
  EXPECT_EQ(p->current, n);
  EXPECT_EQ(n->selected, 1);
  EXPECT_EQ(m->selected, 0);
  p->CornerPoint(50.0f, 11.0f);
  EXPECT_EQ(n->kind, 0);
}

TEST_F(PathEditTest, ReshapingASegmentThroughTheMouse) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {90, 0}}));
  CPathPoint* a = p->first;
  CPathPoint* b = Knot(p.get(), 1);
  a->outX = 20.0f;
  a->outY = 20.0f;
  b->inX = 70.0f;
  b->inY = 20.0f;
  ui_.DragTo(45, 40);
  ui_.Release(45, 40);
  p->SelectPoint(45.0f, 15.0f);
  // Whole-number control points, the end directions kept (slope 1 and -1),
  // the curve through the mouse at the hit's parameter.
  EXPECT_EQ(a->outX, std::trunc(a->outX));
  EXPECT_EQ(b->inY, std::trunc(b->inY));
  EXPECT_NEAR(a->outY / a->outX, 1.0f, 0.05f);
  EXPECT_NEAR((b->inY - b->y) / (b->inX - b->x), -1.0f, 0.05f);
  const float t = 0.5f, u = 0.5f;
  const float y = u * u * u * a->y + 3 * u * u * t * a->outY + 3 * u * t * t * b->inY + t * t * t * b->y;
  EXPECT_NEAR(y, 40.0f, 1.0f);
}

TEST_F(PathEditTest, MovingSelectedKnots) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {50, 10}, {90, 10}}));
  Knot(p.get(), 1)->selected = 1;
  p->MoveSelPathPoints(5.0f, -5.0f);
  EXPECT_EQ(p->first->x, 10.0f);
  EXPECT_EQ(Knot(p.get(), 1)->x, 55.0f);
  EXPECT_EQ(Knot(p.get(), 1)->outY, 5.0f);
}

TEST_F(PathEditTest, XorDrawingErasesItself) {
  std::unique_ptr<CPath> p(OpenPath({{10, 10}, {150, 40}, {60, 120}}));
  p->first->outX = 80.0f;
  Knot(p.get(), 1)->selected = 1;
  Knot(p.get(), 1)->outX = 170.0f;
  p->markCount = 2;
  p->marks[0] = 0.0f;
  p->marks[1] = 0.5f;
  const RGBColor red{65535, 0, 0};
  p->DrawPath(0, red);
  EXPECT_FALSE(PortIsWhite());
  // The joints of consecutive strokes survive XOR.
  EXPECT_NE(port_.surface().pixel(150, 40), 0xFFFFFFFFu);
  p->DrawPath(0, red);
  EXPECT_TRUE(PortIsWhite());
  EXPECT_EQ(port_.pen.pnMode, plat::draw::patCopy);

  // Any other mode draws in the colour, pen mode untouched.
  p->DrawPath(1, red);
  EXPECT_EQ(port_.surface().pixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(port_.foreColor.red, 0);

  // A ring of four knots draws four segments.
  CPath ring;
  ring.CreaPathof_xpts(4, 0);
  std::vector<std::string> log;
  port_.RecordTo(&log);
  ring.Inactivate();
  ring.DrawPath(0, red);
  port_.RecordTo(nullptr);
  const auto lines = std::count_if(log.begin(), log.end(),
                                   [](const std::string& e) { return e.rfind("Line", 0) == 0; });
  EXPECT_EQ(lines, 4 * (2 * 34));

  // The drawing parameters' port is used when they name one.
  plat::draw::Port other(50, 50);
  drawPar_.port = &other;
  std::unique_ptr<CPath> q(OpenPath({{5, 5}, {40, 5}}));
  q->DrawPath(0, red);
  EXPECT_NE(other.surface().pixel(20, 5), 0xFFFFFFFFu);
  EXPECT_EQ(plat::draw::GetPort(), &port_);
}

TEST_F(PathEditTest, KnotLook) {
  CPathPoint k(20.0f, 20.0f, 0);
  k.outX = 20.4f;  // same pixel as the knot: no handle
  k.inX = 10.0f;
  std::vector<std::string> log;
  port_.RecordTo(&log);
  k.DrawSelf();
  EXPECT_EQ(log.size(), 1u);
  log.clear();
  k.selected = 1;
  k.DrawSelf();
  port_.RecordTo(nullptr);
  // Filled square, one handle square and its line.
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(port_.surface().pixel(20, 20), 0xFF000000u);
}

}  // namespace
