// Plane geometry: lines, angles, projections, point-in-polygon and
// point-in-quad tests, the Bezier evaluator and the circumscribed circle.
//
// The precision of every step is part of the results the callers rely on
// (angles fed back into truncating pixel arithmetic), so single and double
// precision are kept where they were: geometry in float, trigonometry in
// double, angles stored back as float.
#include "app/core/plane_geometry.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592654;
constexpr double kTwoPi = 6.283185308;
// Angles that are set directly rather than computed.
constexpr float kHalfPiF = 1.5707964f;
constexpr float kPiF = 3.1415927f;
constexpr float kThreeHalfPiF = 4.712389f;

// Polynomial coefficients of a cubic Bezier coordinate.
struct Cubic {
  float a, b, c;
};

Cubic cubicOf(float p0, float p1, float p2, float p3) {
  Cubic k;
  k.c = 3.0f * (p1 - p0);
  k.b = 3.0f * (p2 - p1) - k.c;
  k.a = p3 - p0 - k.c - k.b;
  return k;
}

}  // namespace

float distance(float x1, float y1, float x2, float y2) {
  const float dx = x1 - x2;
  const float dy = y1 - y2;
  return std::sqrt(dx * dx + dy * dy);
}

int16_t A_lig_2point(float x1, float y1, float x2, float y2, float* a, float* b, float* c) {
  *a = y1 - y2;
  *b = x2 - x1;
  *c = -(*a * x1 + *b * y1);
  if (std::fabs(*a) > 1e-6 && std::fabs(*b) > 1e-6) return 0;
  return -1;
}

int16_t fct_spline(int16_t init, float* x, float* y, float t, float x0, float y0, float x1,
                   float y1, float x2, float y2, float x3, float y3) {
  // The path tools evaluate many points per segment; the coefficients are
  // recomputed only when the caller starts a new segment. Each thread keeps its own: a
  // preview worker walks a path while the interface thread draws another.
  thread_local float ax = 0.0f, bx = 0.0f, cx = 0.0f;
  thread_local float ay = 0.0f, by = 0.0f, cy = 0.0f;
  thread_local float t2 = 0.0f, t3 = 0.0f;
  if (init == 1) {
    const Cubic kx = cubicOf(x0, x1, x2, x3);
    const Cubic ky = cubicOf(y0, y1, y2, y3);
    ax = kx.a;
    bx = kx.b;
    cx = kx.c;
    ay = ky.a;
    by = ky.b;
    cy = ky.c;
  }
  t2 = t * t;
  t3 = t2 * t;
  *x = ax * t3 + bx * t2 + cx * t + x0;
  *y = ay * t3 + by * t2 + cy * t + y0;
  return init;
}

void ang_onspline(float* angle, float t, float x0, float y0, float x1, float y1, float x2, float y2,
                  float x3, float y3) {
  const Cubic kx = cubicOf(x0, x1, x2, x3);
  const Cubic ky = cubicOf(y0, y1, y2, y3);
  const float dx = 3.0f * kx.a * t * t + 2.0f * kx.b * t + kx.c;
  const float dy = 3.0f * ky.a * t * t + 2.0f * ky.b * t + ky.c;
  float theta;
  if (dx > -0.001f && dx < 0.001f) {
    theta = dy > 0.0f ? kHalfPiF : kThreeHalfPiF;
  } else if (dx <= -0.001f) {
    theta = static_cast<float>(std::atan(dy / dx) + kPi);
  } else if (dy >= 0.0f) {
    theta = static_cast<float>(std::atan(dy / dx));
  } else {
    theta = static_cast<float>(std::atan(dy / dx) + kTwoPi);
  }
  // Callers want the direction counter-clockwise on screen.
  *angle = static_cast<float>(kTwoPi - theta);
}

int16_t A_int_2droit(float a1, float b1, float c1, float a2, float b2, float c2, float* x,
                     float* y) {
  const float det = a1 * b2 - a2 * b1;
  if (std::fabs(det) <= 1e-6) return -1;
  const float nx = b1 * c2 - b2 * c1;
  const float ny = a2 * c1 - a1 * c2;
  *x = static_cast<float>(static_cast<double>(nx) / static_cast<double>(det));
  *y = static_cast<float>(static_cast<double>(ny) / static_cast<double>(det));
  return 0;
}

int16_t A_lig_perpoint(float a, float b, float /*c*/, float x, float y, float* a2, float* b2,
                       float* c2) {
  *a2 = b;
  *b2 = -a;
  *c2 = a * y - b * x;
  return 0;
}

int16_t A_proj_droit(float a, float b, float c, float x, float y, float* px, float* py) {
  const float n = a * a + b * b;
  if (n == 0.0f) return -1;
  const float m = b * x - a * y;
  *px = (b * m - a * c) / n;
  *py = -(a * m + b * c) / n;
  return 0;
}

void A_droit_ang(float x, float y, float angle, float* a, float* b, float* c) {
  *a = static_cast<float>(-1000.0 * std::sin(static_cast<double>(angle)));
  *b = static_cast<float>(1000.0 * std::cos(static_cast<double>(angle)));
  *c = -(*a * x + *b * y);
}

void A_ang_2point(float x1, float y1, float x2, float y2, float* angle) {
  const float dx = x2 - x1;
  const float dy = y2 - y1;
  if (std::fabs(dx) <= 1e-6) {
    if (std::fabs(dy) <= 1e-6) {
      *angle = 0.0f;
    } else {
      *angle = dy > 0.0f ? kHalfPiF : kThreeHalfPiF;
    }
    return;
  }
  if (std::fabs(dy) <= 1e-6) {
    *angle = dx > 0.0f ? 0.0f : kPiF;
    return;
  }
  double a = std::atan(dy / dx);
  if (dx < 0.0f) {
    a += kPi;
  } else if (dy < 0.0f) {
    a += kTwoPi;
  }
  *angle = static_cast<float>(a);
}

int16_t A_ang_2droit(float a1, float b1, float /*c1*/, float a2, float b2, float /*c2*/,
                     float* angle) {
  const float dot = a1 * a2 + b1 * b2;
  const float cross = a1 * b2 - b1 * a2;
  if (dot < 0.0f) {
    *angle = static_cast<float>(std::atan(cross / dot) + kPi);
  } else if (dot > 0.0f) {
    const double base = std::atan(cross / dot);
    *angle = static_cast<float>(cross > 0.0f ? base : base + kTwoPi);
  } else {
    *angle = cross > 0.0f ? kHalfPiF : kThreeHalfPiF;
  }
  return 0;
}

void A_point_fromAng(float cx, float cy, float px, float py, float* rx, float* ry, float angle) {
  const float r = distance(cx, cy, px, py);
  float theta = 0.0f;
  A_ang_2point(cx, cy, px, py, &theta);
  const double turned = static_cast<double>(theta) + static_cast<double>(angle);
  *rx = static_cast<float>(cx + r * std::cos(turned));
  *ry = static_cast<float>(cy + r * std::sin(turned));
}

int16_t pt_intouext_obj(int16_t n, const float* xs, const float* ys, float px, float py) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const int j = (i + 1) % n;
    double step = std::atan2(static_cast<double>(ys[j] - py), static_cast<double>(xs[j] - px)) -
                  std::atan2(static_cast<double>(ys[i] - py), static_cast<double>(xs[i] - px));
    while (step > kPi) step -= kTwoPi;
    while (step < -kPi) step += kTwoPi;
    sum += step;
  }
  // A point inside winds by +-2*pi, one outside by about 0.
  return std::fabs(sum) >= kPi ? 0 : -1;
}

int16_t lst_intouext_obj(int16_t m, const float* xs, const float* ys, int16_t n,
                         const float* polyxs, const float* polyys) {
  for (int k = 0; k < m; ++k) {
    if (pt_intouext_obj(n, polyxs, polyys, xs[k], ys[k]) != 0) return -1;
  }
  return 0;
}

int16_t test_seg(float* px, float* py, float x1, float y1, float x2, float y2, float* dist) {
  const float d = *dist;
  const float minX = x1 < x2 ? x1 : x2;
  const float maxX = x1 < x2 ? x2 : x1;
  const float minY = y1 < y2 ? y1 : y2;
  const float maxY = y1 < y2 ? y2 : y1;
  if (!(*px > minX - d && *px<maxX + d&& * py> minY - d && *py < maxY + d)) return 0;
  float a = 0.0f, b = 0.0f, c = 0.0f;
  A_lig_2point(x1, y1, x2, y2, &a, &b, &c);
  const float norm = std::sqrt(a * a + b * b);
  // A segment of no length has no line to measure against.
  if (norm == 0.0f) return 0;
  const float dd = std::fabs(a * *px + b * *py + c) / norm;
  if (!(dd < d)) return 0;
  *dist = dd;
  float pa = 0.0f, pb = 0.0f, pc = 0.0f;
  A_lig_perpoint(a, b, c, *px, *py, &pa, &pb, &pc);
  A_int_2droit(a, b, c, pa, pb, pc, px, py);
  return 1;
}

int16_t A_point_inquad(float px, float py, float x1, float y1, float x2, float y2, float x3,
                       float y3, float x4, float y4, float* u, float* v) {
  const float ox[4] = {x1, x2, x4, x3};
  const float oy[4] = {y1, y2, y4, y3};
  if (pt_intouext_obj(4, ox, oy, px, py) != 0) return -1;

  // Relative position across a pair of opposite edges: project the point on
  // the first edge, follow the perpendicular to the second edge, and take
  // the share of that path already covered.
  auto across = [px, py](float ax, float ay, float bx, float by, float cx, float cy, float dx,
                         float dy) -> float {
    float a = 0.0f, b = 0.0f, c = 0.0f;
    A_lig_2point(ax, ay, bx, by, &a, &b, &c);
    float qx = px, qy = py;
    A_proj_droit(a, b, c, px, py, &qx, &qy);
    float la = 0.0f, lb = 0.0f, lc = 0.0f;
    A_lig_2point(px, py, qx, qy, &la, &lb, &lc);
    float ea = 0.0f, eb = 0.0f, ec = 0.0f;
    A_lig_2point(cx, cy, dx, dy, &ea, &eb, &ec);
    // A point on the first edge has no perpendicular path; R then stays at Q
    // and the share is 0.
    float rx = qx, ry = qy;
    A_int_2droit(la, lb, lc, ea, eb, ec, &rx, &ry);
    const float pq = distance(px, py, qx, qy);
    const float qr = distance(qx, qy, rx, ry);
    return qr <= 0.01f ? 0.0f : pq / qr;
  };
  const float uu = across(x1, y1, x3, y3, x2, y2, x4, y4);
  const float vv = across(x1, y1, x2, y2, x3, y3, x4, y4);
  *u = uu;
  *v = vv;
  return 0;
}

int16_t A_point_inrect(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  float u = 0.0f, v = 0.0f;
  const float fx1 = static_cast<float>(x1), fy1 = static_cast<float>(y1);
  const float fx2 = static_cast<float>(x2), fy2 = static_cast<float>(y2);
  return A_point_inquad(static_cast<float>(x), static_cast<float>(y), fx1, fy1, fx2, fy1, fx1, fy2,
                        fx2, fy2, &u, &v);
}

int16_t A_cer_3points(double x1, double y1, double x2, double y2, double x3, double y3, double* cx,
                      double* cy, double* r) {
  const float px[3] = {static_cast<float>(x1), static_cast<float>(x2), static_cast<float>(x3)};
  const float py[3] = {static_cast<float>(y1), static_cast<float>(y2), static_cast<float>(y3)};
  // Perpendicular bisector of the pair (i, j): normal along the pair's
  // direction, through its midpoint.
  struct Line {
    float a, b, c;
  };
  auto bisector = [&](int i, int j) {
    const float mx = (px[i] + px[j]) / 2.0f;
    const float my = (py[i] + py[j]) / 2.0f;
    return Line{px[j] - px[i], py[j] - py[i], my * (py[i] - py[j]) - mx * (px[j] - px[i])};
  };
  const Line l12 = bisector(0, 1);
  const Line l13 = bisector(0, 2);
  const Line l23 = bisector(1, 2);
  float ccx = 0.0f, ccy = 0.0f;
  if (A_int_2droit(l12.a, l12.b, l12.c, l13.a, l13.b, l13.c, &ccx, &ccy) != 0 &&
      A_int_2droit(l12.a, l12.b, l12.c, l23.a, l23.b, l23.c, &ccx, &ccy) != 0) {
    return -1;
  }
  *cx = ccx;
  *cy = ccy;
  *r = distance(px[0], py[0], ccx, ccy);
  return 0;
}

int16_t pt_incircumcircle(double px, double py, double x1, double y1, double x2, double y2,
                          double x3, double y3, double* cx, double* cy, double* r) {
  // Collinear points have no circle; comparing against whatever the outputs
  // held on entry would answer at random.
  if (A_cer_3points(x1, y1, x2, y2, x3, y3, cx, cy, r) != 0) return 0;
  const float d = distance(static_cast<float>(px), static_cast<float>(py), static_cast<float>(*cx),
                           static_cast<float>(*cy));
  return d < *r ? 1 : 0;
}

void inf_sup(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
             int32_t y4, int32_t* minx, int32_t* miny, int32_t* maxx, int32_t* maxy) {
  auto lo = [](int32_t a, int32_t b) { return a < b ? a : b; };
  auto hi = [](int32_t a, int32_t b) { return a < b ? b : a; };
  *minx = lo(lo(x1, x2), lo(x3, x4));
  *miny = lo(lo(y1, y2), lo(y3, y4));
  *maxx = hi(hi(x1, x2), hi(x3, x4));
  *maxy = hi(hi(y1, y2), hi(y3, y4));
}
