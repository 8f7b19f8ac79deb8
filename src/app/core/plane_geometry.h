// Plane geometry shared by the path tools, the warps and grids, the
// tessellation and spray engines and the image view's mouse tools.
//
// Coordinates are image or port coordinates, x to the right and y downward.
// A line is the unnormalised triple (a, b, c) of a*x + b*y + c = 0. Angles are
// radians measured from +x towards +y (clockwise on screen), 0 to 2*pi.
// Nothing here allocates; failures come back as result codes (0 or -1) and a
// failing function leaves its outputs as they were unless it says otherwise.
#pragma once

#include <cstdint>

// Distance of two points, in single precision.
float distance(float x1, float y1, float x2, float y2);

// Line through two points. Always writes the coefficients; returns -1 when
// the line is (nearly) axis-parallel or the points coincide, else 0.
int16_t A_lig_2point(float x1, float y1, float x2, float y2, float* a, float* b, float* c);

// Point of the cubic Bezier (x0,y0)..(x3,y3) at t. init 1 recomputes the
// cached polynomial coefficients first; further points of the same segment
// pass 0 and reuse them. Returns init.
int16_t fct_spline(int16_t init, float* x, float* y, float t, float x0, float y0, float x1,
                   float y1, float x2, float y2, float x3, float y3);

// Tangent angle of the same curve at t, measured counter-clockwise on screen
// (above 0 and up to 2*pi; a tangent along +x gives 2*pi).
void ang_onspline(float* angle, float t, float x0, float y0, float x1, float y1, float x2, float y2,
                  float x3, float y3);

// Intersection of two lines; -1 with nothing written when they are parallel.
int16_t A_int_2droit(float a1, float b1, float c1, float a2, float b2, float c2, float* x,
                     float* y);

// Line through (x, y) perpendicular to (a, b, c). Returns 0.
int16_t A_lig_perpoint(float a, float b, float c, float x, float y, float* a2, float* b2,
                       float* c2);

// Orthogonal projection of (x, y) on the line; -1 when a and b are both 0.
int16_t A_proj_droit(float a, float b, float c, float x, float y, float* px, float* py);

// Line through (x, y) in the given direction.
void A_droit_ang(float x, float y, float angle, float* a, float* b, float* c);

// Direction angle from point 1 to point 2 (0 for coincident points).
void A_ang_2point(float x1, float y1, float x2, float y2, float* angle);

// Angle from the first line's normal to the second's. Returns 0.
int16_t A_ang_2droit(float a1, float b1, float c1, float a2, float b2, float c2, float* angle);

// Rotates (px, py) about (cx, cy) by angle, towards increasing direction angles.
void A_point_fromAng(float cx, float cy, float px, float py, float* rx, float* ry, float angle);

// Winding test of (px, py) against the polygon of n vertices: 0 inside, -1 outside.
int16_t pt_intouext_obj(int16_t n, const float* xs, const float* ys, float px, float py);

// 0 when all m points lie inside the polygon of n vertices (also for m <= 0),
// -1 at the first point outside.
int16_t lst_intouext_obj(int16_t m, const float* xs, const float* ys, int16_t n,
                         const float* polyxs, const float* polyys);

// One step of a nearest-segment search: when (*px, *py) lies nearer than
// *dist to the segment, *dist becomes that distance, the point becomes its
// foot on the segment's line and the result is 1; otherwise 0 and nothing
// changes.
int16_t test_seg(float* px, float* py, float x1, float y1, float x2, float y2, float* dist);

// Relative position (u, v) of a point inside the quad with corners 1
// top-left, 2 top-right, 3 bottom-left, 4 bottom-right; -1 with nothing
// written when the point lies outside.
int16_t A_point_inquad(float px, float py, float x1, float y1, float x2, float y2, float x3,
                       float y3, float x4, float y4, float* u, float* v);

// 0 when (x, y) lies inside the axis-aligned rectangle with opposite
// corners (x1, y1) and (x2, y2), else -1.
int16_t A_point_inrect(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Circle through three points (computed in single precision); -1 with
// nothing written when the points are collinear.
int16_t A_cer_3points(double x1, double y1, double x2, double y2, double x3, double y3, double* cx,
                      double* cy, double* r);

// Writes the circle of the three points and returns 1 when (px, py) lies
// strictly inside it. Collinear points have no circle: 0, outputs untouched.
int16_t pt_incircumcircle(double px, double py, double x1, double y1, double x2, double y2,
                          double x3, double y3, double* cx, double* cy, double* r);

// Least x, least y, greatest x and greatest y of four points.
void inf_sup(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
             int32_t y4, int32_t* minx, int32_t* miny, int32_t* maxx, int32_t* maxy);
