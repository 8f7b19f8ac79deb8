// Lengths, points at lengths, subdivision, flattening and marks.
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"

using pathtest::ClosedPath;
using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class PathMeasureTest : public pathtest::PathTest {};

TEST_F(PathMeasureTest, LengthsSkipTheLastHundredth) {
  EXPECT_NEAR(CPath::SplineLength(0, 0, 0, 0, 100, 0, 100, 0, 3), 99.9702f, 1e-3f);
  std::unique_ptr<CPath> open(OpenPath({{0, 0}, {100, 0}}));
  EXPECT_NEAR(open->GetAcuPathLength(), 99.9702f, 1e-3f);
  // Closed: the segment back to the first knot counts too.
  std::unique_ptr<CPath> closed(ClosedPath({{0, 0}, {100, 0}}));
  EXPECT_NEAR(closed->GetAcuPathLength(), 2 * 99.9702f, 2e-3f);
  // A ring flagged open measures count - 1 segments.
  CPath ring;
  ring.CreaPathof_xpts(3, 0);
  Knot(&ring, 1)->x = Knot(&ring, 1)->outX = Knot(&ring, 1)->inX = 100.0f;
  Knot(&ring, 2)->y = Knot(&ring, 2)->outY = Knot(&ring, 2)->inY = 100.0f;
  Knot(&ring, 2)->x = Knot(&ring, 2)->outX = Knot(&ring, 2)->inX = 100.0f;
  EXPECT_NEAR(ring.GetAcuPathLength(), 2 * 99.9702f, 2e-3f);

  CPath empty;
  EXPECT_EQ(empty.GetAcuPathLength(), 0.0f);
  std::unique_ptr<CPath> one(OpenPath({{5, 5}}));
  EXPECT_EQ(one->GetAcuPathLength(), 0.0f);
}

TEST_F(PathMeasureTest, LengthAtPoint) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}, {100, 100}}));
  float len = -1.0f, sx = -1.0f, sy = -1.0f;
  // (50, 1) is hit at hundredth 50; the partial length runs to t = 0.49.
  ASSERT_EQ(p->GetLengthAtPoint(0, &len, 50.0f, 1.0f, &sx, &sy), 0);
  EXPECT_NEAR(len, 48.5002f, 1e-3f);
  EXPECT_EQ(sx, 0.0f);
  EXPECT_EQ(sy, 0.0f);
  // On the second segment the first one's measured length comes first.
  ASSERT_EQ(p->GetLengthAtPoint(0, &len, 101.0f, 50.0f, &sx, &sy), 0);
  EXPECT_NEAR(len, 99.9702f + 48.5002f, 2e-3f);
  EXPECT_EQ(sx, 100.0f);
  // Mode 1 counts in thousandths: t = 0 to 0.049.
  ASSERT_EQ(p->GetLengthAtPoint(1, &len, 50.0f, 1.0f, nullptr, nullptr), 0);
  EXPECT_NEAR(len, 100.0f * (3 * 0.049f * 0.049f - 2 * 0.049f * 0.049f * 0.049f), 1e-3f);
  len = 7.0f;
  EXPECT_EQ(p->GetLengthAtPoint(0, &len, 50.0f, 10.0f, &sx, &sy), -1);
  EXPECT_EQ(len, 7.0f);
}

TEST_F(PathMeasureTest, PointAtLength) {
  std::unique_ptr<CPath> open(OpenPath({{0, 0}, {100, 0}, {100, 100}}));
  float ang = 0, x = -1, y = -1;
  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  open->GetPointAtLength(0, 50.0f, &ang, &x, &y, &a, &b);
  EXPECT_EQ(a, open->first);
  EXPECT_EQ(b, Knot(open.get(), 1));
  EXPECT_NEAR(x, 50.0f, 1.6f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_NEAR(ang, 6.283185f, 1e-5f);  // along +x
  open->GetPointAtLength(0, 150.0f, &ang, &x, &y, &a, &b);
  EXPECT_EQ(a, Knot(open.get(), 1));
  EXPECT_NEAR(y, 50.0f, 1.6f);
  // At or beyond the end: the end of an open path, both knots the last.
  open->GetPointAtLength(0, 1000.0f, &ang, &x, &y, &a, &b);
  EXPECT_NEAR(x, 100.0f, 1e-3f);
  EXPECT_NEAR(y, 100.0f, 0.1f);
  EXPECT_EQ(a, Knot(open.get(), 2));
  EXPECT_EQ(b, Knot(open.get(), 2));

  std::unique_ptr<CPath> closed(ClosedPath({{0, 0}, {100, 0}, {100, 100}}));
  closed->GetPointAtLength(0, closed->GetAcuPathLength(), &ang, &x, &y, &a, &b);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);
  EXPECT_EQ(a, closed->first);
}

TEST_F(PathMeasureTest, SplittingASegment) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {90, 0}}));
  CPathPoint* a = p->first;
  CPathPoint* b = Knot(p.get(), 1);
  a->outX = 30.0f;
  b->inX = 60.0f;
  CPathPoint k;
  EXPECT_EQ(p->InsertPointOnSpline(a, b, &k, 45.0f, 20.0f), -1);
  EXPECT_EQ(p->InsertPointOnSpline(a, b, &k, 0.5f, 0.5f), 1);
  EXPECT_EQ(k.x, 0.0f);
  EXPECT_EQ(k.outX, 30.0f);
  EXPECT_EQ(k.next, nullptr);
  EXPECT_EQ(p->InsertPointOnSpline(a, b, &k, 90.0f, 0.5f), 2);
  EXPECT_EQ(k.inX, 60.0f);
  // Hundredth 50: exact halving of the control polygon; the knot keeps the
  // clicked point.
  ASSERT_EQ(p->InsertPointOnSpline(a, b, &k, 45.0f, 1.0f), 3);
  EXPECT_EQ(k.x, 45.0f);
  EXPECT_EQ(k.y, 1.0f);
  EXPECT_FLOAT_EQ(a->outX, 15.0f);
  EXPECT_FLOAT_EQ(k.inX, 30.0f);
  EXPECT_FLOAT_EQ(k.outX, 60.0f);
  EXPECT_FLOAT_EQ(b->inX, 75.0f);
  EXPECT_EQ(k.prev, nullptr);
  EXPECT_EQ(a->next, b);
}

TEST_F(PathMeasureTest, InsertPointsHalvesTheSecondHalfAgain) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}}));
  p->InsertPoints(30);
  ASSERT_EQ(p->count, 4);
  EXPECT_EQ(Knot(p.get(), 1)->x, 50.0f);
  EXPECT_FLOAT_EQ(Knot(p.get(), 2)->x, 84.375f);
  EXPECT_EQ(Knot(p.get(), 3)->x, 100.0f);
  EXPECT_EQ(Knot(p.get(), 3)->next, nullptr);
  EXPECT_EQ(Knot(p.get(), 3)->prev, Knot(p.get(), 2));
  // Short segments stay as they are.
  std::unique_ptr<CPath> q(OpenPath({{0, 0}, {20, 0}}));
  q->InsertPoints(30);
  EXPECT_EQ(q->count, 2);
}

TEST_F(PathMeasureTest, Flattening) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}, {100, 100}}));
  std::vector<Point2f> pts(1 + 20 * 2 + 5);
  int32_t n = 0;
  EXPECT_EQ(p->PointsOnAPath(pts.data(), &n), 0);
  EXPECT_EQ(n, 1 + 20 * 2);
  EXPECT_EQ(pts[0].x, 0.0f);
  EXPECT_NEAR(pts[1].x, 100.0f * (3 * 0.0001f - 2 * 0.000001f), 1e-5f);
  EXPECT_NEAR(pts[40].y, 100.0f * (3 * 0.96f * 0.96f - 2 * 0.96f * 0.96f * 0.96f), 1e-3f);
  CPath empty;
  EXPECT_EQ(empty.PointsOnAPath(pts.data(), &n), 0);
  EXPECT_EQ(n, 0);

  // Three segments, the third back to the first knot, each 31 samples
  // (t = 0, 3/90, ..., 90/90) and its last sample once more, in units
  // without the view offset.
  drawPar_.viewOffsetX = 500.0f;
  drawPar_.scaleX = 2.0f;
  std::vector<float> xs(200), ys(200);
  EXPECT_EQ(p->DrawToTable(xs.data(), ys.data(), 3), 3 * 32);
  EXPECT_EQ(xs[0], 0.0f);
  EXPECT_EQ(xs[30], 50.0f);
  EXPECT_EQ(xs[31], 50.0f);
  EXPECT_EQ(ys[63], 100.0f);
  EXPECT_EQ(xs[95], 0.0f);
  EXPECT_EQ(ys[95], 0.0f);
}

TEST_F(PathMeasureTest, PutMarks) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}, {200, 0}, {300, 0}, {300, 100}, {300, 300}}));
  ASSERT_EQ(p->PutMarks(4, 0), 0);
  ASSERT_EQ(p->markCount, 4);
  EXPECT_EQ(p->marks[0], 0.0f);
  EXPECT_EQ(p->marks[1], 0.25f);
  EXPECT_EQ(p->marks[2], 0.5f);
  EXPECT_EQ(p->marks[3], 0.75f);
  // As many marks as knots: each knot's share of the length.
  ASSERT_EQ(p->PutMarks(6, 0), 0);
  const float total = p->GetAcuPathLength();
  EXPECT_EQ(p->marks[0], 0.0f);
  EXPECT_NEAR(p->marks[1], 100.0f / total, 1e-3f);
  EXPECT_NEAR(p->marks[4], 400.0f / total, 2e-3f);
  // Mode 1 leaves marks of the same count alone.
  p->marks[1] = 0.9f;
  EXPECT_EQ(p->PutMarks(6, 1), 0);
  EXPECT_EQ(p->marks[1], 0.9f);
  // More than the table holds is refused.
  EXPECT_EQ(p->PutMarks(21, 0), -1);
  EXPECT_EQ(p->markCount, 6);
  EXPECT_EQ(p->marks[1], 0.9f);
  EXPECT_EQ(p->PutMarks(20, 0), 0);
  EXPECT_EQ(p->marks[19], 0.95f);

  // Without length there is nowhere to put marks: they stay.
  std::unique_ptr<CPath> dot(OpenPath({{5, 5}, {5, 5}}));
  dot->markCount = 1;
  dot->marks[0] = 0.5f;
  EXPECT_EQ(dot->PutMarks(2, 0), -1);
  EXPECT_EQ(dot->markCount, 1);
  EXPECT_EQ(dot->marks[0], 0.5f);
}

TEST_F(PathMeasureTest, MarkHitAndDrag) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}, {200, 0}}));
  ASSERT_EQ(p->PutMarks(4, 0), 0);
  EXPECT_EQ(p->ifOnMarkedLength(50.0f, 0.0f), 2);
  EXPECT_EQ(p->ifOnMarkedLength(0.0f, 1.0f), 1);
  EXPECT_EQ(p->ifOnMarkedLength(75.0f, 0.0f), 0);
  EXPECT_EQ(p->ifOnMarkedLength(50.0f, 20.0f), 0);

  plat::draw::Port port(320, 40);
  plat::draw::SetPort(&port);
  port.pen.pnMode = plat::draw::patXor;
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices guard(&ui);
  const float total = p->GetAcuPathLength();
  const RGBColor black;
  auto portIsWhite = [&] {
    for (uint32_t px : port.surface().pixels()) {
      if (px != 0xFFFFFFFFu) return false;
    }
    return true;
  };
  p->DrawMarker(0, black);
  EXPECT_FALSE(portIsWhite());

  // With Option only the mark moves, and never past its neighbours.
  ui.SetModifiers(optionKey);
  ui.DragTo(70, 0);
  ui.DragTo(120, 0);  // beyond the next mark: ignored
  ui.Release(120, 0);
  p->DoInteractiveChangeOfMark(50, 0);
  float l70 = 0.0f;
  ASSERT_EQ(p->GetLengthAtPoint(0, &l70, 70.0f, 0.0f, nullptr, nullptr), 0);
  EXPECT_FLOAT_EQ(p->marks[1], l70 / total);
  EXPECT_EQ(p->marks[0], 0.0f);
  EXPECT_EQ(p->marks[2], 0.5f);
  // The drag erased the old oval and drew the new one in XOR.
  p->DrawMarker(0, black);
  EXPECT_TRUE(portIsWhite());

  // Without it every mark shifts by the same length and wraps at the end.
  p->PutMarks(4, 0);
  p->DrawMarker(0, black);
  ui.SetModifiers(0);
  ui.DragTo(60, 0);
  ui.Release(60, 0);
  p->DoInteractiveChangeOfMark(50, 0);
  float l60 = 0.0f;
  ASSERT_EQ(p->GetLengthAtPoint(0, &l60, 60.0f, 0.0f, nullptr, nullptr), 0);
  const float shift = l60 - 0.25f * total;
  EXPECT_NEAR(p->marks[0], shift / total, 1e-5f);
  EXPECT_NEAR(p->marks[3], 0.75f + shift / total, 1e-5f);

  p->DrawMarker(0, black);
  EXPECT_TRUE(portIsWhite());
  plat::draw::SetPort(nullptr);
}

}  // namespace
