#include "app/core/plane_geometry.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/at_once.h"

namespace {

constexpr float kHalfPi = 1.5707964f;
constexpr float kPi = 3.1415927f;
constexpr float kThreeHalfPi = 4.712389f;
constexpr float kTwoPi = 6.2831855f;

float angleTo(float x, float y) {
  float a = -1.0f;
  A_ang_2point(0.0f, 0.0f, x, y, &a);
  return a;
}

TEST(PlaneGeometryAngles, DirectionAnglesRunClockwiseOnScreenFromPlusX) {
  EXPECT_FLOAT_EQ(angleTo(5.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(angleTo(0.0f, 5.0f), kHalfPi);  // below: y grows downward
  EXPECT_FLOAT_EQ(angleTo(-5.0f, 0.0f), kPi);
  EXPECT_FLOAT_EQ(angleTo(0.0f, -5.0f), kThreeHalfPi);
  EXPECT_FLOAT_EQ(angleTo(0.0f, 0.0f), 0.0f);
  EXPECT_FLOAT_EQ(angleTo(-5.0f, 5e-7f), kPi);
  // Quadrants: atan plus pi to the left, plus 2 pi above-right.
  EXPECT_NEAR(angleTo(1.0f, 1.0f), 0.7853982f, 1e-6);
  EXPECT_NEAR(angleTo(-1.0f, 1.0f), 2.3561945f, 1e-6);
  EXPECT_NEAR(angleTo(-1.0f, -1.0f), 3.9269908f, 1e-6);
  EXPECT_NEAR(angleTo(1.0f, -1.0f), 5.4977871f, 1e-6);
}

TEST(PlaneGeometryAngles, SplineTangentIsCounterClockwise) {
  float a = 0.0f;
  ang_onspline(&a, 0.5f, 0, 0, 1, 0, 2, 0, 3, 0);
  EXPECT_FLOAT_EQ(a, kTwoPi);
  ang_onspline(&a, 0.5f, 0, 0, 0, 1, 0, 2, 0, 3);
  EXPECT_FLOAT_EQ(a, kThreeHalfPi);
  ang_onspline(&a, 0.5f, 0, 0, 0, -1, 0, -2, 0, -3);
  EXPECT_FLOAT_EQ(a, kHalfPi);
  ang_onspline(&a, 0.5f, 0, 0, -1, 0, -2, 0, -3, 0);
  EXPECT_NEAR(a, kPi, 1e-6);
}

TEST(PlaneGeometryAngles, AngleBetweenLineNormals) {
  float a = -1.0f;
  EXPECT_EQ(A_ang_2droit(1, 0, 0, 0, 1, 0, &a), 0);
  EXPECT_FLOAT_EQ(a, kHalfPi);  // dot 0, cross > 0
  A_ang_2droit(1, 0, 0, 0, -1, 0, &a);
  EXPECT_FLOAT_EQ(a, kThreeHalfPi);
  A_ang_2droit(1, 0, 0, 1, 0, 5, &a);
  EXPECT_NEAR(a, 6.283185308, 1e-6);  // dot > 0 and cross 0 counts as a full turn
  A_ang_2droit(1, 0, 0, -1, 0, 0, &a);
  EXPECT_NEAR(a, 3.141592654, 1e-6);
}

TEST(PlaneGeometryAngles, RotationAboutAPointAndLineFromAngle) {
  float x = 0.0f, y = 0.0f;
  A_point_fromAng(1.0f, 1.0f, 3.0f, 1.0f, &x, &y, kHalfPi);
  EXPECT_NEAR(x, 1.0f, 1e-5);
  EXPECT_NEAR(y, 3.0f, 1e-5);
  float a = 0.0f, b = 0.0f, c = 0.0f;
  A_droit_ang(2.0f, 3.0f, 0.0f, &a, &b, &c);
  EXPECT_FLOAT_EQ(a, 0.0f);
  EXPECT_FLOAT_EQ(b, 1000.0f);
  EXPECT_FLOAT_EQ(c, -3000.0f);
}

TEST(PlaneGeometryLines, LineThroughPointsAlwaysWritesCoefficients) {
  float a = 9, b = 9, c = 9;
  EXPECT_EQ(A_lig_2point(1, 2, 4, 6, &a, &b, &c), 0);
  EXPECT_FLOAT_EQ(a, -4.0f);
  EXPECT_FLOAT_EQ(b, 3.0f);
  EXPECT_FLOAT_EQ(c, -2.0f);
  EXPECT_EQ(A_lig_2point(0, 5, 10, 5, &a, &b, &c), -1);  // horizontal
  EXPECT_FLOAT_EQ(a, 0.0f);
  EXPECT_FLOAT_EQ(b, 10.0f);
  EXPECT_FLOAT_EQ(c, -50.0f);
}

TEST(PlaneGeometryLines, IntersectionProjectionAndPerpendicular) {
  float x = 7, y = 7;
  EXPECT_EQ(A_int_2droit(1, 0, -2, 2, 0, 5, &x, &y), -1);  // parallel
  EXPECT_EQ(x, 7.0f);
  EXPECT_EQ(y, 7.0f);
  EXPECT_EQ(A_int_2droit(1, 0, -2, 0, 1, -3, &x, &y), 0);
  EXPECT_FLOAT_EQ(x, 2.0f);
  EXPECT_FLOAT_EQ(y, 3.0f);

  float px = 7, py = 7;
  EXPECT_EQ(A_proj_droit(0, 0, 1, 3, 4, &px, &py), -1);
  EXPECT_EQ(px, 7.0f);
  EXPECT_EQ(A_proj_droit(0, 1, 0, 3, 4, &px, &py), 0);  // onto y = 0
  EXPECT_FLOAT_EQ(px, 3.0f);
  EXPECT_FLOAT_EQ(py, 0.0f);

  float a2, b2, c2;
  EXPECT_EQ(A_lig_perpoint(2, 3, 99, 1, 1, &a2, &b2, &c2), 0);
  EXPECT_FLOAT_EQ(a2, 3.0f);
  EXPECT_FLOAT_EQ(b2, -2.0f);
  EXPECT_FLOAT_EQ(c2, -1.0f);
}

TEST(PlaneGeometryLines, NearestSegmentStep) {
  float px = 5.0f, py = 3.0f, dist = 5.0f;
  EXPECT_EQ(test_seg(&px, &py, 0.0f, 0.0f, 10.0f, 0.0f, &dist), 1);
  EXPECT_FLOAT_EQ(dist, 3.0f);
  EXPECT_FLOAT_EQ(px, 5.0f);
  EXPECT_FLOAT_EQ(py, 0.0f);
  // A farther segment leaves the nearest one's result.
  px = 5.0f;
  py = 3.0f;
  EXPECT_EQ(test_seg(&px, &py, 0.0f, 7.0f, 10.0f, 7.5f, &dist), 0);
  EXPECT_FLOAT_EQ(dist, 3.0f);
  EXPECT_FLOAT_EQ(px, 5.0f);
  EXPECT_FLOAT_EQ(py, 3.0f);
  // Outside the widened box: no step at all; a zero-length segment neither.
  EXPECT_EQ(test_seg(&px, &py, 20.0f, 0.0f, 30.0f, 0.0f, &dist), 0);
  EXPECT_EQ(test_seg(&px, &py, 5.0f, 2.0f, 5.0f, 2.0f, &dist), 0);
  EXPECT_FLOAT_EQ(dist, 3.0f);
}

TEST(PlaneGeometryInside, WindingTestEitherOrientation) {
  const float xs[4] = {0, 10, 10, 0};
  const float ys[4] = {0, 0, 10, 10};
  const float rxs[4] = {0, 0, 10, 10};
  const float rys[4] = {0, 10, 10, 0};
  EXPECT_EQ(pt_intouext_obj(4, xs, ys, 5, 5), 0);
  EXPECT_EQ(pt_intouext_obj(4, rxs, rys, 5, 5), 0);
  EXPECT_EQ(pt_intouext_obj(4, xs, ys, 15, 5), -1);
  EXPECT_EQ(pt_intouext_obj(0, xs, ys, 5, 5), -1);

  const float inX[2] = {1, 9};
  const float inY[2] = {1, 9};
  const float mixedX[3] = {1, 12, 2};
  const float mixedY[3] = {1, 5, 2};
  EXPECT_EQ(lst_intouext_obj(0, nullptr, nullptr, 4, xs, ys), 0);
  EXPECT_EQ(lst_intouext_obj(2, inX, inY, 4, xs, ys), 0);
  EXPECT_EQ(lst_intouext_obj(3, mixedX, mixedY, 4, xs, ys), -1);
}

TEST(PlaneGeometryInside, RelativePositionInsideAQuad) {
  float u = -1, v = -1;
  EXPECT_EQ(A_point_inquad(5, 5, 0, 0, 10, 0, 0, 10, 10, 10, &u, &v), 0);
  EXPECT_FLOAT_EQ(u, 0.5f);
  EXPECT_FLOAT_EQ(v, 0.5f);
  EXPECT_EQ(A_point_inquad(2, 7, 0, 0, 10, 0, 0, 10, 10, 10, &u, &v), 0);
  EXPECT_FLOAT_EQ(u, 0.2f);
  EXPECT_FLOAT_EQ(v, 0.7f);
  // Outside: -1 and nothing written.
  u = v = -1;
  EXPECT_EQ(A_point_inquad(12, 5, 0, 0, 10, 0, 0, 10, 10, 10, &u, &v), -1);
  EXPECT_EQ(u, -1.0f);
  EXPECT_EQ(v, -1.0f);
  // Centre of a tilted quad (a diamond) still maps to the middle.
  EXPECT_EQ(A_point_inquad(10, 10, 10, 0, 20, 10, 0, 10, 10, 20, &u, &v), 0);
  EXPECT_NEAR(u, 0.5f, 1e-6);
  EXPECT_NEAR(v, 0.5f, 1e-6);
}

TEST(PlaneGeometryInside, PointInRectangleWhicheverCornersArePassed) {
  const int32_t corners[4][4] = {{0, 0, 10, 6}, {10, 6, 0, 0}, {0, 6, 10, 0}, {10, 0, 0, 6}};
  for (const auto& c : corners) {
    for (int32_t y = 1; y < 6; ++y) {
      for (int32_t x = 1; x < 10; ++x) {
        EXPECT_EQ(A_point_inrect(x, y, c[0], c[1], c[2], c[3]), 0) << x << "," << y;
      }
    }
    EXPECT_EQ(A_point_inrect(11, 3, c[0], c[1], c[2], c[3]), -1);
    EXPECT_EQ(A_point_inrect(5, -1, c[0], c[1], c[2], c[3]), -1);
  }
}

TEST(PlaneGeometryCircle, CircumscribedCircleAndCollinearPoints) {
  double cx = 0, cy = 0, r = 0;
  EXPECT_EQ(A_cer_3points(0, 0, 2, 0, 0, 2, &cx, &cy, &r), 0);
  EXPECT_DOUBLE_EQ(cx, 1.0);
  EXPECT_DOUBLE_EQ(cy, 1.0);
  EXPECT_NEAR(r, std::sqrt(2.0), 1e-6);

  cx = cy = 50.0;
  r = 1000.0;
  EXPECT_EQ(A_cer_3points(0, 0, 1, 1, 2, 2, &cx, &cy, &r), -1);
  EXPECT_EQ(cx, 50.0);
  EXPECT_EQ(r, 1000.0);

  // Collinear points have no circle, whatever the outputs held before.
  EXPECT_EQ(pt_incircumcircle(3, 3, 0, 0, 1, 1, 2, 2, &cx, &cy, &r), 0);
  EXPECT_EQ(cx, 50.0);
  EXPECT_EQ(r, 1000.0);

  EXPECT_EQ(pt_incircumcircle(1.2, 0.9, 0, 0, 2, 0, 0, 2, &cx, &cy, &r), 1);
  EXPECT_DOUBLE_EQ(cx, 1.0);
  EXPECT_EQ(pt_incircumcircle(3, 3, 0, 0, 2, 0, 0, 2, &cx, &cy, &r), 0);
}

TEST(PlaneGeometryMisc, SplineCachesItsCoefficientsUntilTheNextInit) {
  float x = 0, y = 0;
  EXPECT_EQ(fct_spline(1, &x, &y, 0.5f, 0, 0, 0, 10, 10, 10, 10, 0), 1);
  EXPECT_FLOAT_EQ(x, 5.0f);
  EXPECT_FLOAT_EQ(y, 7.5f);
  // init 0 keeps the cached curve; only the start point comes from the call.
  EXPECT_EQ(fct_spline(0, &x, &y, 1.0f, 100, 200, 0, 0, 0, 0, 0, 0), 0);
  EXPECT_FLOAT_EQ(x, 110.0f);
  EXPECT_FLOAT_EQ(y, 200.0f);
}

// A preview worker walking one path while the interface thread draws another: each keeps
// the curve it started.
TEST(PlaneGeometryMisc, TwoThreadsWalkingSplinesAtOnceKeepTheirOwnCurves) {
  auto walk = [](float scale) {
    float x = 0, y = 0;
    fct_spline(1, &x, &y, 0.0f, 0, 0, 0, 10 * scale, 10 * scale, 10 * scale, 10 * scale, 0);
    fct_spline(0, &x, &y, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0);
    return x == 5.0f * scale && y == 7.5f * scale;
  };
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(2000000, [&] { return walk(1.0f); }, [&] { return walk(3.0f); }), 0);
}

TEST(PlaneGeometryMisc, BoundingBoxOfFourPoints) {
  int32_t a, b, c, d;
  inf_sup(5, -2, 1, 7, 9, 3, -4, 0, &a, &b, &c, &d);
  EXPECT_EQ(a, -4);
  EXPECT_EQ(b, -2);
  EXPECT_EQ(c, 9);
  EXPECT_EQ(d, 7);
  EXPECT_FLOAT_EQ(distance(0, 0, 3, 4), 5.0f);
}

}  // namespace
