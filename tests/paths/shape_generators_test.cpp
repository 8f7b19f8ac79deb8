// Shape generators: ellipses, rectangles, stars, tables, spirographs,
// superformula outlines and step and repeat.
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/shape_params.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"

using pathtest::Knot;

namespace {

constexpr float kC = 0.5522848f;

struct XY {
  float x, y;
};

std::vector<CPathPoint*> Knots(const CPath* p) {
  std::vector<CPathPoint*> out;
  CPathPoint* k = p->first;
  for (int32_t i = 0; i < p->count && k != nullptr; ++i, k = k->next) out.push_back(k);
  return out;
}

bool Sharp(const CPathPoint* k) {
  return k->outX == k->x && k->outY == k->y && k->inX == k->x && k->inY == k->y;
}

CPath* PathAt(const CPathList& l, int n) {
  CPath* p = l.first;
  for (int i = 0; i < n && p != nullptr; ++i) p = p->next;
  return p;
}

class ShapeTest : public pathtest::PathTest {
 protected:
  // A star on a fresh path of a list: phase 0, then phase 1.
  int32_t Star(CPathList& l, int16_t n, int32_t innerStyle, int32_t tipStyle,
               const int32_t* depth = nullptr, int32_t perPoint = 0) {
    l.AddPath(0);
    CPath* p = l.current;
    auto calc = [&](int16_t phase) {
      return l.fct_calc_ngon(phase, 1.0f, n, p, 100.0f, 100.0f, 40.0f, 50.0f, 80.0f, 30.0f, depth,
                             0.0f, 0.0f, 50, 50, innerStyle, perPoint, 50, 50, tipStyle, perPoint);
    };
    const int32_t r = calc(0);
    return r != 0 ? r : calc(1);
  }
};

TEST_F(ShapeTest, EllipseAndRectangle) {
  CPath a, b;
  a.CreaPathof_xpts(4, 1);
  b.CreaPathof_xpts(4, 1);
  CPathList l(0);
  l.fct_calc_ellipse(&a, 10, 20, 50, 80, 2);
  l.fct_calc_ellipse(&b, 50, 80, 10, 20, 2);
  const auto ka = Knots(&a), kb = Knots(&b);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ka[i]->x, kb[i]->x);
    EXPECT_EQ(ka[i]->outY, kb[i]->outY);
    EXPECT_EQ(ka[i]->inX, kb[i]->inX);
  }
  // Top, right, bottom, left; the box grown by the margin.
  EXPECT_EQ(ka[0]->x, 30.0f);
  EXPECT_EQ(ka[0]->y, 18.0f);
  EXPECT_FLOAT_EQ(ka[0]->outX, 30.0f + 44.0f * 0.2761424f);
  EXPECT_EQ(ka[1]->x, 52.0f);
  EXPECT_FLOAT_EQ(ka[1]->outY, 50.0f + 64.0f * 0.2761424f);

  // The rectangle keeps the corner order it is given.
  l.fct_calc_Rect(&a, 50, 20, 10, 80);
  EXPECT_EQ(Knot(&a, 0)->x, 50.0f);
  EXPECT_EQ(Knot(&a, 1)->x, 10.0f);
  EXPECT_EQ(Knot(&a, 2)->y, 80.0f);

  // Fewer than four knots: nothing is placed.
  CPath three;
  three.CreaPathof_xpts(3, 1);
  l.fct_calc_ellipse(&three, 10, 20, 50, 80, 0);
  l.fct_calc_Rect(&three, 10, 20, 50, 80);
  for (CPathPoint* k : Knots(&three)) EXPECT_EQ(k->x, 0.0f);
}

TEST_F(ShapeTest, RoundedRectangleCorners) {
  CPathList l(0);
  l.fct_calc_RRect(0, 100, 80, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.current->count, 4);
  // Down the left edge first: top-left, bottom-left, bottom-right, top-right.
  EXPECT_EQ(Knot(l.current, 0)->y, 20.0f);
  EXPECT_EQ(Knot(l.current, 1)->y, 80.0f);
  EXPECT_EQ(Knot(l.current, 2)->x, 100.0f);

  // One round top-left corner: five knots, the arc from the last to the first.
  const float r = 8.0f;
  l.fct_calc_RRect(0, 10, 20, 100, 80, 0, r, 0, 0, 0, 0, 0, 0, 0);
  CPath* p = l.current;
  ASSERT_EQ(p->count, 5);
  const CPathPoint* f = Knot(p, 0);
  EXPECT_EQ(f->x, 10.0f);
  EXPECT_EQ(f->y, 28.0f);
  EXPECT_EQ(f->inY, 28.0f - kC * r);
  const CPathPoint* last = Knot(p, 4);
  EXPECT_EQ(last->x, 18.0f);
  EXPECT_EQ(last->y, 20.0f);
  EXPECT_EQ(last->outX, 18.0f - kC * r);

  // A bevelled bottom-right corner: two sharp knots |r| from the corner.
  l.fct_calc_RRect(0, 10, 20, 100, 80, 0, 0, 0, -5, 0, 0, 0, 1, 0);
  ASSERT_EQ(l.current->count, 5);
  EXPECT_TRUE(Sharp(Knot(l.current, 2)));
  EXPECT_EQ(Knot(l.current, 2)->x, 95.0f);
  EXPECT_EQ(Knot(l.current, 3)->y, 75.0f);

  // A negative offset on sharp corners: the inner path's corners become
  // concave quarter circles of radius |offset| about the corner points.
  CPathList o(0);
  o.fct_calc_RRect(0, 10, 20, 100, 80, -4, 0, 0, 0, 0, 0, 0, 0, 0);
  ASSERT_EQ(o.count, 2);
  EXPECT_EQ(o.first->count, 4);
  CPath* in = o.current;
  ASSERT_EQ(in->count, 8);
  // The box shrinks to 14..96 x 24..76; the top-left corner's knots lie 4
  // from (14, 24) with their inner handles pointing into the rectangle.
  const CPathPoint* k0 = Knot(in, 0);
  EXPECT_EQ(k0->x, 14.0f);
  EXPECT_EQ(k0->y, 28.0f);
  EXPECT_EQ(k0->inX, 14.0f + kC * 4.0f);
  EXPECT_EQ(k0->inY, 28.0f);
  const CPathPoint* k7 = Knot(in, 7);
  EXPECT_EQ(k7->x, 18.0f);
  EXPECT_EQ(k7->y, 24.0f);
  EXPECT_EQ(k7->outX, 18.0f);
  EXPECT_EQ(k7->outY, 24.0f + kC * 4.0f);

  // Too few knots: nothing placed.
  CPath four;
  four.CreaPathof_xpts(4, 1);
  RRect(&four, 0, 0, 10, 10, 3, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Knot(&four, 0)->y, 0.0f);
}

TEST_F(ShapeTest, EllipseAndRectangleFromParameters) {
  CPathList l(0);
  int32_t* w = l.objPar.w;
  w[kObjCentreX] = 50;
  w[kObjCentreY] = 40;
  w[kObjBoxWidth] = 20;
  w[kObjBoxHeight] = 11;
  w[kObjOutlineOffset] = 3;
  l.fct_crea_ellipse(0);
  ASSERT_EQ(l.count, 2);
  // The plain ellipse first; its bottom takes the integer half height.
  EXPECT_EQ(Knot(l.first, 0)->y, 34.5f);
  EXPECT_EQ(Knot(l.first, 2)->y, 45.0f);
  EXPECT_EQ(Knot(PathAt(l, 1), 2)->y, 48.0f);
  EXPECT_EQ(l.first->active, 0);
  EXPECT_EQ(l.current, PathAt(l, 1));

  CPathList t(0);
  w = t.objPar.w;
  w[kObjBoxLeft] = 10;
  w[kObjBoxTop] = 10;
  w[kObjBoxWidth] = 100;
  w[kObjBoxHeight] = 50;
  w[kObjColumns] = 3;
  w[kObjRows] = 2;
  w[kObjOutlineOffset] = 2;
  t.fct_crea_Table(0);
  ASSERT_EQ(t.count, 7);
  // Cells of (100 - 2 * 5) / 3 by (50 - 5) / 2, row by row; the frame last.
  const CPath* cell = PathAt(t, 4);
  EXPECT_EQ(Knot(cell, 0)->x, 10.0f + 35.0f);
  EXPECT_EQ(Knot(cell, 0)->y, 10.0f + 27.5f);
  EXPECT_EQ(Knot(cell, 2)->x, 10.0f + 35.0f + 30.0f);
  EXPECT_EQ(Knot(t.current, 0)->x, 8.0f);
  EXPECT_EQ(Knot(t.current, 2)->y, 62.0f);

  // No columns: nothing at all; negative columns: only the frame.
  CPathList none(0);
  none.fct_calc_Table(0, 0, 0, 10, 10, 0, 2, 1, 1, 5);
  EXPECT_EQ(none.count, 0);
  none.fct_calc_Table(0, 0, 0, 10, 10, -1, 2, 1, 1, 5);
  ASSERT_EQ(none.count, 1);
  EXPECT_EQ(Knot(none.first, 0)->x, -5.0f);
}

TEST_F(ShapeTest, StarPointsAndRadii) {
  CPathList l(0);
  ASSERT_EQ(Star(l, 5, 1, 1), 0);
  CPath* p = l.current;
  ASSERT_EQ(p->count, 10);
  for (int i = 0; i < 10; ++i) {
    const CPathPoint* k = Knot(p, i);
    EXPECT_TRUE(Sharp(k));
    const float rho = std::hypot(k->x - 100.0f, k->y - 100.0f);
    EXPECT_NEAR(rho, i % 2 == 0 ? 40.0f : 20.0f, 1e-3f) << i;
  }
  // The first tip lies 2 pi / 10 from straight down, turned toward +x.
  const double a = 6.283185308 / 10;
  EXPECT_NEAR(Knot(p, 0)->x, 100.0 + 40.0 * std::sin(a), 1e-4);
  EXPECT_NEAR(Knot(p, 0)->y, 100.0 + 40.0 * std::cos(a), 1e-4);

  // An even count starts with the alternate tip and alternates the inner
  // radii too.
  ASSERT_EQ(Star(l, 4, 1, 1), 0);
  const float want[4] = {32.0f, 20.0f, 40.0f, 12.0f};
  for (int i = 0; i < 8; ++i) {
    const CPathPoint* k = Knot(l.current, i);
    EXPECT_NEAR(std::hypot(k->x - 100.0f, k->y - 100.0f), want[i % 4], 1e-3f) << i;
  }

  // Bevels double their knots: 4n, 3n or 2n.
  ASSERT_EQ(Star(l, 6, 3, 3), 0);
  EXPECT_EQ(l.current->count, 24);
  ASSERT_EQ(Star(l, 6, 3, 2), 0);
  EXPECT_EQ(l.current->count, 18);
  ASSERT_EQ(Star(l, 6, 4, 2), 0);
  EXPECT_EQ(l.current->count, 12);
  // A rounded tip's handles lie on its tangent, forward one beyond.
  const CPathPoint* tip = Knot(l.current, 0);
  EXPECT_FALSE(Sharp(tip));
  const float dx = tip->x - 100.0f, dy = tip->y - 100.0f;
  EXPECT_NEAR((tip->outX - tip->x) * dx + (tip->outY - tip->y) * dy, 0.0f, 0.05f);
  // Angles grow toward +x from straight down: forward is clockwise of the
  // radius as the screen shows it.
  EXPECT_GT((tip->outX - tip->x) * dy - (tip->outY - tip->y) * dx, 0.0f);
}

TEST_F(ShapeTest, StarRefusals) {
  CPathList l(0);
  EXPECT_EQ(Star(l, 0, 1, 1), -1);
  EXPECT_EQ(Star(l, -3, 1, 1), -1);
  // Phase 1 on a path of another count places nothing.
  CPath wrong;
  wrong.CreaPathof_xpts(9, 1);
  EXPECT_EQ(l.fct_calc_ngon(1, 1.0f, 5, &wrong, 50, 50, 10, 50, 100, 50, nullptr, 0, 0, 50, 50,
                            1, 0, 50, 50, 1, 0),
            -1);
  for (CPathPoint* k : Knots(&wrong)) EXPECT_EQ(k->x, 0.0f);
  // Parallel construction lines: a star of radius 0 cannot be rounded.
  l.AddPath(0);
  ASSERT_EQ(l.fct_calc_ngon(0, 1.0f, 5, l.current, 50, 50, 0, 50, 100, 50, nullptr, 0, 0, 50, 50,
                            2, 0, 50, 50, 2, 0),
            0);
  EXPECT_EQ(l.fct_calc_ngon(1, 1.0f, 5, l.current, 50, 50, 0, 50, 100, 50, nullptr, 0, 0, 50,
                            50, 2, 0, 50, 50, 2, 0),
            -1);
}

TEST_F(ShapeTest, StarOfManyPointsPlacesEveryKnot) {
  // 301 points: the steps are capped at 512, so are the knots, and the last
  // tip reads the table's extra entry (a full radius).
  std::vector<int32_t> depth(512, 10);
  for (int32_t perPoint : {0, 1}) {
    CPathList l(0);
    ASSERT_EQ(Star(l, 301, 1, 1, depth.data(), perPoint), 0);
    CPath* p = l.current;
    ASSERT_EQ(p->count, 512);
    const auto ks = Knots(p);
    for (int i = 0; i < 512; ++i) {
      const float rho = std::hypot(ks[i]->x - 100.0f, ks[i]->y - 100.0f);
      const float tipR = perPoint == 1 && i < 510 ? 36.0f : 40.0f;
      const float innerR = perPoint == 1 ? 18.0f : 20.0f;
      EXPECT_NEAR(rho, i % 2 == 0 ? tipR : innerR, 1e-3f) << i;
    }
  }
  // An even count alternates its tips; still every knot is placed.
  CPathList even(0);
  ASSERT_EQ(Star(even, 300, 1, 1), 0);
  ASSERT_EQ(even.current->count, 512);
  for (const CPathPoint* k : Knots(even.current)) {
    EXPECT_GT(std::hypot(k->x - 100.0f, k->y - 100.0f), 10.0f);
  }
}

TEST_F(ShapeTest, StarFromParametersOffsetFirst) {
  CPathList l(0);
  int32_t* w = l.objPar.w;
  w[kObjCentreX] = 100;
  w[kObjCentreY] = 100;
  w[kObjStarRadius] = 40;
  w[kObjOutlineOffset] = 5;
  ASSERT_EQ(l.fct_crea_ngon(0), 0);
  ASSERT_EQ(l.count, 2);
  const CPathPoint* outer = Knot(l.first, 0);
  const CPathPoint* plain = Knot(l.current, 0);
  EXPECT_NEAR(std::hypot(outer->x - 100.0f, outer->y - 100.0f), 45.0f, 1e-3f);
  EXPECT_NEAR(std::hypot(plain->x - 100.0f, plain->y - 100.0f), 40.0f, 1e-3f);
}

TEST_F(ShapeTest, Spirograph) {
  CPathList l(0);
  auto spiro = [&](CPath* p, int32_t a, int32_t turns) {
    EXPECT_EQ(l.fct_calc_spiro(0, 1, 2, 3, 4, 50, 60, p, a, 1, 2, 10, turns), 0);
    return l.fct_calc_spiro(1, 1, 2, 3, 4, 50, 60, p, a, 1, 2, 10, turns);
  };
  CPath two, one, zero;
  ASSERT_EQ(spiro(&two, 1, 2), 0);
  ASSERT_EQ(two.count, 37);
  EXPECT_EQ(two.closed, 0);
  // A = B = 3, D = 5: the first knot at (50 + 6 - 5, 60), the last (t = 360)
  // back on it.
  EXPECT_EQ(Knot(&two, 0)->x, 51.0f);
  EXPECT_EQ(Knot(&two, 0)->y, 60.0f);
  EXPECT_NEAR(Knot(&two, 36)->x, 51.0f, 1e-4f);
  EXPECT_NEAR(Knot(&two, 36)->y, 60.0f, 1e-4f);
  ASSERT_EQ(spiro(&one, 1, 1), 0);
  EXPECT_EQ(one.count, 36);
  // a = 0 behaves as a = 1.
  ASSERT_EQ(spiro(&zero, 0, 2), 0);
  ASSERT_EQ(zero.count, 37);
  for (int i = 0; i < 37; ++i) EXPECT_EQ(Knot(&zero, i)->y, Knot(&two, i)->y);
  // Phase 1 on a path of another count places nothing.
  CPath wrong;
  wrong.CreaPathof_xpts(36, 0);
  EXPECT_EQ(l.fct_calc_spiro(1, 0, 0, 0, 0, 50, 60, &wrong, 1, 1, 2, 10, 2), -1);
  EXPECT_EQ(Knot(&wrong, 0)->x, 0.0f);
}

TEST_F(ShapeTest, SuperformulaOutline) {
  double x = 1, y = 1;
  CalcCooki(4, 2, 2, 2, 0.0, 0.0, 100, 1.0, &x, &y);
  EXPECT_DOUBLE_EQ(x, 1.0);  // r = 1, d = 100, / 100
  EXPECT_DOUBLE_EQ(y, 0.0);
  // No finite point (a vanishing or tiny radius): the centre.
  CalcCooki(4, 0, 4, 4, 3.141592654 / 4, 0.0, 1000, 100.0, &x, &y);
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 0.0);
  x = y = 1;
  CalcCooki(4, 1.0 / 1020, 4, 4, 3.141592654 / 4, 0.0, 1000, 100.0, &x, &y);
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 0.0);

  CPathList l(0);
  CPath p;
  auto cooki = [&](int16_t phase, int16_t n) {
    return l.fct_calc_cooki(phase, 0.0f, n, &p, 50, 40, 20, 100, 0, 1, 4, 1, 1, 1, 10);
  };
  ASSERT_EQ(cooki(0, 36), 0);
  ASSERT_EQ(p.count, 37);
  ASSERT_EQ(cooki(1, 36), 0);
  EXPECT_NEAR(Knot(&p, 36)->x, Knot(&p, 0)->x, 1e-4f);
  EXPECT_NEAR(Knot(&p, 36)->y, Knot(&p, 0)->y, 1e-4f);
  EXPECT_NEAR(Knot(&p, 0)->x, 70.0f, 1e-4f);  // m = 4, e = 1: radius 20 at phi 0
  EXPECT_EQ(cooki(0, 0), -1);
  EXPECT_EQ(p.count, 37);
  EXPECT_EQ(cooki(1, 35), -1);
}

TEST_F(ShapeTest, StepAndRepeat) {
  CPathList l(0);
  l.fct_calc_RRect(0, 0, 0, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  // In place: one move.
  l.fct_calc_StepRepeat(0, 0, 0, 0, 5, 7, 100, 100, 0);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(Knot(l.first, 0)->x, 5.0f);
  EXPECT_EQ(Knot(l.first, 0)->y, 7.0f);
  // Three copies, each from the one before.
  l.fct_calc_StepRepeat(0, 3, 0, 0, 5, 7, 100, 100, 0);
  ASSERT_EQ(l.count, 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Knot(PathAt(l, i), 0)->x, 5.0f * (i + 1)) << i;
    EXPECT_EQ(PathAt(l, i)->active, i == 3 ? 1 : 0);
  }
  // Scale about the pivot.
  l.fct_calc_StepRepeat(1, 0, 20, 20, 0, 0, 50, 200, 0);
  EXPECT_EQ(Knot(PathAt(l, 3), 0)->x, 20.0f);
  EXPECT_EQ(Knot(PathAt(l, 3), 0)->y, 20.0f + (28.0f - 20.0f) * 2.0f);

  // A quarter turn puts a point right of the pivot above it on the screen.
  CPathList r(0);
  r.fct_calc_RRect(0, 30, 10, 40, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  r.fct_calc_StepRepeat(2, 0, 10, 10, 0, 0, 100, 100, 1.5707964f);
  const CPathPoint* k = Knot(r.first, 0);  // was (30, 10)
  EXPECT_NEAR(k->x, 10.0f, 1e-4f);
  EXPECT_NEAR(k->y, -10.0f, 1e-4f);

  // A text object moves, scales and turns its frame instead of knots.
  CPathList t(0);
  t.AddPath(0);
  t.current->CreaTxtObj();
  CWarpPath* frame = t.current->txtObj->frame;
  frame->X[1] = 10.0f;
  t.fct_calc_StepRepeat(0, 0, 0, 0, 3, 4, 100, 100, 0);
  EXPECT_EQ(frame->X[0], 3.0f);
  EXPECT_EQ(frame->Y[5], 4.0f);
  t.fct_calc_StepRepeat(1, 0, 3, 0, 0, 0, 200, 100, 0);
  EXPECT_EQ(frame->X[1], 23.0f);
  EXPECT_EQ(frame->Y[1], 4.0f);
}

class DrawnShapeTest : public pathtest::InteractivePathTest {};

TEST_F(DrawnShapeTest, OutlinesAreDrawnOnlyIntoTheListsPort) {
  CPathList l(0);
  l.fct_calc_RRect(0, 10, 10, 50, 50, 0, 5, 5, 5, 5, 0, 0, 0, 0);
  EXPECT_TRUE(PortIsWhite());
  drawPar_.port = &port_;
  l.fct_calc_Table(0, 60, 10, 120, 50, 2, 2, 4, 4, 0);
  EXPECT_FALSE(PortIsWhite());
  drawPar_.port = nullptr;
}

}  // namespace
