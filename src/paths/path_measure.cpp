// Measuring a path along its length and turning it into points: segment
// and path lengths, the length at a point and the point at a length,
// subdivision, flattening, and the marks.
//
// Lengths are sums of chords between samples at t = i / 100, i = 0, 3, ...,
// 99: the last hundredth of every segment is never measured, so the segment
// (0, 0)-(100, 0) measures 99.9702. Stored mark fractions and the division
// operations all rest on that figure, so it stays.
#include <algorithm>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "paths/path.h"
#include "paths/path_internal.h"

namespace {

using paths_detail::Curve;

// Length of the chord polyline from the curve's start point through
// t = i / div for i = first, first + step, ..., last.
float Chords(const Curve& c, int first, int last, int step, int div, float* endX = nullptr,
             float* endY = nullptr) {
  c.SetUp();
  float px = c.p[0], py = c.p[1], len = 0.0f;
  for (int i = first; i <= last; i += step) {
    float x, y;
    c.At(static_cast<float>(i) / static_cast<float>(div), &x, &y);
    len += distance(px, py, x, y);
    px = x;
    py = y;
  }
  if (endX != nullptr) *endX = px;
  if (endY != nullptr) *endY = py;
  return len;
}

}  // namespace

float CPath::SplineLength(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                          float y3, int16_t step) {
  if (step <= 0) step = 1;
  return Chords(Curve(x0, y0, x1, y1, x2, y2, x3, y3), step, 100, step, 100);
}

float CPath::SegmentLength(const CPathPoint* a, const CPathPoint* b) const {
  return SplineLength(a->x, a->y, a->outX, a->outY, b->inX, b->inY, b->x, b->y, 3);
}

float CPath::GetAcuPathLength() const {
  float total = 0.0f;
  const CPathPoint* k = first;
  const int32_t segs = SegmentBound();
  for (int32_t i = 0; i < segs && k != nullptr && k->next != nullptr; ++i) {
    total += SegmentLength(k, k->next);
    k = k->next;
  }
  return total;
}

int32_t CPath::GetLengthAtPoint(int16_t mode, float* length, float x, float y, float* startX,
                                float* startY) const {
  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  int16_t h = 0;
  intptr_t object = 0;
  if (IfOnCurve(x, y, &a, &b, &h, &object) == 0 || a == nullptr || b == nullptr) return -1;

  float before = 0.0f;
  const CPathPoint* k = first;
  const int32_t segs = SegmentBound();
  for (int32_t i = 0; i < segs && k != nullptr && k->next != nullptr && k != a; ++i) {
    before += SegmentLength(k, k->next);
    k = k->next;
  }
  if (startX != nullptr) *startX = a->x;
  if (startY != nullptr) *startY = a->y;

  const Curve seg(a, b);
  float partial;
  if (mode == 1) {
    partial = Chords(seg, 1, h - 1, 1, 1000);
  } else {
    float ex, ey;
    partial = Chords(seg, 1, h - 1, 1, 100, &ex, &ey);
    if (h == 100) {
      float x1, y1;
      seg.At(1.0f, &x1, &y1);
      partial += distance(ex, ey, x1, y1);
    }
  }
  if (length != nullptr) *length = before + partial;
  return 0;
}

void CPath::GetPointAtLength(int16_t mode, float L, float* angle, float* x, float* y,
                             CPathPoint** aOut, CPathPoint** bOut) const {
  if (first == nullptr) return;
  const float total = GetAcuPathLength();
  if (L > total - 0.001f) L = closed == 1 ? 0.0f : total;

  // Find the segment holding L; past the end the last segment walked is
  // used and both knots reported are the last knot reached.
  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  CPathPoint* segStart = first;
  CPathPoint* segEnd = first;
  float acc = 0.0f, before = 0.0f;
  CPathPoint* k = first;
  const int32_t segs = SegmentBound();
  for (int32_t i = 0; i < segs && k != nullptr && k->next != nullptr; ++i) {
    const float len = SegmentLength(k, k->next);
    segStart = k;
    segEnd = k->next;
    before = acc;
    if (L < acc + len) {
      a = k;
      b = k->next;
      break;
    }
    acc += len;
    k = k->next;
  }
  if (a == nullptr) {
    a = b = segEnd;
  }

  const Curve seg(segStart, segEnd);
  seg.SetUp();
  float px = segStart->x, py = segStart->y;
  float s = before;
  int i = 0;
  const int div = mode == 1 ? 1000 : 100;
  // The step may run one past the end (t = 1.01) when the measured length,
  // short of each segment's last hundredth, is reached only there.
  while (s < L && i <= div) {
    ++i;
    float nx, ny;
    seg.At(static_cast<float>(i) / static_cast<float>(div), &nx, &ny);
    s += distance(px, py, nx, ny);
    px = nx;
    py = ny;
  }
  if (x != nullptr) *x = px;
  if (y != nullptr) *y = py;
  const float t = i == 0 ? 0.0f : static_cast<float>(i) / static_cast<float>(div);
  if (angle != nullptr) {
    ang_onspline(angle, t, segStart->x, segStart->y, segStart->outX, segStart->outY,
                 segEnd->inX, segEnd->inY, segEnd->x, segEnd->y);
  }
  if (aOut != nullptr) *aOut = a;
  if (bOut != nullptr) *bOut = b;
}

int32_t CPath::InsertPointOnSpline(CPathPoint* a, CPathPoint* b, CPathPoint* knot, float x,
                                   float y) const {
  if (a == nullptr || b == nullptr || knot == nullptr) return -1;
  int16_t h = 0;
  if (IfOnSegment(x, y, a, b, &h) == 0) return -1;
  if (h == 0 || h == 100) {
    const CPathPoint* src = h == 0 ? a : b;
    knot->x = src->x;
    knot->y = src->y;
    knot->outX = src->outX;
    knot->outY = src->outY;
    knot->inX = src->inX;
    knot->inY = src->inY;
    knot->kind = src->kind;
    knot->markNum = src->markNum;
    knot->selected = src->selected;
    knot->drawPar = src->drawPar;
    knot->prev = nullptr;
    knot->next = nullptr;
    return h == 0 ? 1 : 2;
  }
  // Exact subdivision at s (de Casteljau); the new knot sits at the clicked
  // point itself, not at the curve point.
  const float s = static_cast<float>(h) / 100.0f;
  auto lerp = [s](float p, float q) { return p + (q - p) * s; };
  const float q01x = lerp(a->x, a->outX), q01y = lerp(a->y, a->outY);
  const float q12x = lerp(a->outX, b->inX), q12y = lerp(a->outY, b->inY);
  const float q23x = lerp(b->inX, b->x), q23y = lerp(b->inY, b->y);
  const float r0x = lerp(q01x, q12x), r0y = lerp(q01y, q12y);
  const float r1x = lerp(q12x, q23x), r1y = lerp(q12y, q23y);
  a->outX = q01x;
  a->outY = q01y;
  knot->inX = r0x;
  knot->inY = r0y;
  knot->outX = r1x;
  knot->outY = r1y;
  b->inX = q23x;
  b->inY = q23y;
  knot->x = x;
  knot->y = y;
  return 3;
}

void CPath::InsertPoints(int32_t maxLength) {
  CPathPoint* k = first;
  for (int32_t i = 0; i < SegmentBound() && k != nullptr && k->next != nullptr; ++i) {
    CPathPoint* nx = k->next;
    // Measured on whole-number coordinates, as the subdivision always was.
    const float ax = std::trunc(k->x), ay = std::trunc(k->y);
    const float aox = std::trunc(k->outX), aoy = std::trunc(k->outY);
    const float bix = std::trunc(nx->inX), biy = std::trunc(nx->inY);
    const float bx = std::trunc(nx->x), by = std::trunc(nx->y);
    const float len = std::trunc(SplineLength(ax, ay, aox, aoy, bix, biy, bx, by, 3));
    if (len > static_cast<float>(maxLength)) {
      float mx, my;
      const Curve whole(ax, ay, aox, aoy, bix, biy, bx, by);
      whole.SetUp();
      whole.At(0.5f, &mx, &my);
      CPathPoint* knot = new CPathPoint;
      if (InsertPointOnSpline(k, nx, knot, mx, my) == 3) {
        knot->prev = k;
        knot->next = nx;
        k->next = knot;
        nx->prev = knot;
        ++count;
      } else {
        delete knot;
      }
    }
    // The second half of a split segment is tested again, the first is not.
    k = k->next;
  }
}

int32_t CPath::DrawToTable(float* xs, float* ys, int16_t step) const {
  if (xs == nullptr || ys == nullptr || first == nullptr) return 0;
  if (step <= 0) step = 1;
  const DrawPar& dp = Drw();
  int32_t n = 0;
  const CPathPoint* k = first;
  // Always closed: a knot without a next knot is joined back to the first.
  for (int32_t seg = 0; seg < count && k != nullptr; ++seg) {
    const CPathPoint* e = k->next != nullptr ? k->next : first;
    const Curve c(
        static_cast<float>(PathToUnitH(dp, k->x)),    static_cast<float>(PathToUnitV(dp, k->y)),
        static_cast<float>(PathToUnitH(dp, k->outX)), static_cast<float>(PathToUnitV(dp, k->outY)),
        static_cast<float>(PathToUnitH(dp, e->inX)),  static_cast<float>(PathToUnitV(dp, e->inY)),
        static_cast<float>(PathToUnitH(dp, e->x)),    static_cast<float>(PathToUnitV(dp, e->y)));
    c.SetUp();
    float x = 0.0f, y = 0.0f;
    for (int i = 0; i <= 90; i += step) {
      c.At(static_cast<float>(i) / 90.0f, &x, &y);
      xs[n] = x;
      ys[n] = y;
      ++n;
    }
    xs[n] = x;
    ys[n] = y;
    ++n;
    if (e == first) break;
    k = e;
  }
  return n;
}

int32_t CPath::PointsOnAPath(Point2f* points, int32_t* n) const {
  if (n != nullptr) *n = 0;
  if (points == nullptr || n == nullptr || first == nullptr) return 0;
  points[0].x = first->x;
  points[0].y = first->y;
  *n = 1;
  ForEachKnot([&](CPathPoint* k) {
    if (k->next == nullptr) return;
    const Curve seg(k, k->next);
    seg.SetUp();
    for (int j = 0; j < 20; ++j) {
      float x, y;
      seg.At(static_cast<float>(1 + 5 * j) / 100.0f, &x, &y);
      points[*n].x = x;
      points[*n].y = y;
      ++*n;
    }
  });
  return 0;
}

int32_t CPath::PutMarks(int16_t n, int16_t mode) {
  // The table holds kMaxMarks entries; more would run past it.
  if (n > kMaxMarks) return -1;
  if (mode == 1 && markCount == n) return 0;
  const float total = GetAcuPathLength();
  // Marks are fractions of the length: a path without length has no places
  // for them, so the ones it has are kept.
  if (!(total > 0.0f)) return -1;
  if (n == count) {
    int i = 0;
    ForEachKnot([&](CPathPoint* k) {
      if (i >= n) return;
      float len = 0.0f;
      GetLengthAtPoint(0, &len, k->x, k->y, nullptr, nullptr);
      marks[i++] = len / total;
    });
    for (; i < n; ++i) marks[i] = 0.0f;
  } else {
    for (int i = 0; i < n; ++i) marks[i] = static_cast<float>(i) / static_cast<float>(n);
  }
  markCount = n;
  return 0;
}

int32_t CPath::ifOnMarkedLength(float x, float y) const {
  float len = 0.0f;
  if (GetLengthAtPoint(0, &len, x, y, nullptr, nullptr) != 0 || markCount == 0) return 0;
  const float total = GetAcuPathLength();
  const int n = std::min<int>(markCount, kMaxMarks);
  for (int i = 0; i < n; ++i) {
    float px = 0.0f, py = 0.0f, ang = 0.0f;
    GetPointAtLength(0, total * marks[i], &ang, &px, &py, nullptr, nullptr);
    if (std::fabs(px - x) < 4.0f && std::fabs(py - y) < 4.0f) return i + 1;
  }
  return 0;
}

namespace paths_detail {

void Curve::SetUp() const {
  float x, y;
  fct_spline(1, &x, &y, 0.0f, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
}

void Curve::At(float t, float* x, float* y) const {
  fct_spline(0, x, y, t, p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]);
}

}  // namespace paths_detail
