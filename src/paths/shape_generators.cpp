// Shape generators: ellipses, plain and rounded rectangles, stars and
// polygons, tables of cells.
//
// Coordinates are image pixels, y downward. A knot's out point leaves toward
// the next knot and its in point arrives from the previous one; a sharp knot
// has both on itself. Generators that fill a caller's path check first that
// the path holds the knots they place: a path of another count (or a chain
// that ends early) is left as it is.
#include <algorithm>
#include <array>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"
#include "paths/warp_frame.h"

namespace {

// Near zero: within 0.01 either way.
bool NearZero(double v) { return v >= -0.01 && v <= 0.01; }

void SetKnot(CPathPoint* k, float x, float y, float outX, float outY, float inX, float inY) {
  k->x = x;
  k->y = y;
  k->outX = outX;
  k->outY = outY;
  k->inX = inX;
  k->inY = inY;
}

void SetSharp(CPathPoint* k, float x, float y) { SetKnot(k, x, y, x, y, x, y); }

// True when the path's chain holds n knots from its first (none of them met
// twice); their addresses go to out when it is given.
bool ChainHolds(const CPath* p, int32_t n, CPathPoint** out = nullptr) {
  if (p == nullptr || n < 1 || p->count < n || p->first == nullptr) return false;
  CPathPoint* k = p->first;
  for (int32_t i = 0; i < n; ++i) {
    if (k == nullptr || (i > 0 && k == p->first)) return false;
    if (out != nullptr) out[i] = k;
    k = k->next;
  }
  return true;
}

// The same for a path of exactly n knots: what a counting phase made.
bool ExactChain(const CPath* p, int32_t n) { return p != nullptr && p->count == n && ChainHolds(p, n); }

// AddPath, then the new current path given n knots in a ring, closed.
CPath* NewShapePath(CPathList* list, int16_t flag, int32_t knots) {
  list->AddPath(flag);
  CPath* p = list->current;
  if (p != nullptr && knots > 0) p->CreaPathof_xpts(knots, 1);
  return p;
}

// Outlines are drawn only into a port the list names, in XOR in its colour.
bool HasPort(const CPathList* list) {
  return list->drawPar != nullptr && list->drawPar->port != nullptr;
}

void DrawShape(CPathList* list, CPath* p) {
  if (p != nullptr && HasPort(list)) p->DrawPath(0, list->colour);
}

// Half the circle factor: the tangent length of a quarter ellipse per unit
// of its box.
constexpr float kQuarterEllipse = 0.2761424f;
// Tangent length of a quarter circle per unit of radius.
constexpr float kCircle = 0.5522848f;
constexpr double kTwoPi = 6.283185308;
constexpr double kFourPi = 12.566370616;
// The star's angle steps: m is capped so that its tables hold every entry.
constexpr int32_t kStarSteps = 512;

// A corner of a rectangle walked counter-clockwise on the screen: its point,
// the direction of the edge arriving at it and of the edge leaving it.
struct Corner {
  float x, y;
  float ax, ay;  // arriving
  float bx, by;  // leaving
};

// The knot on the arriving edge at distance |r| from the corner.
void ArrivingKnot(CPathPoint* k, const Corner& c, float r, int32_t style) {
  const float d = std::fabs(r);
  const float x = c.x - d * c.ax, y = c.y - d * c.ay;
  if (style == 1) {
    SetSharp(k, x, y);
  } else if (r > 0.0f) {
    // Convex: the out point heads for the corner.
    SetKnot(k, x, y, x + kCircle * r * c.ax, y + kCircle * r * c.ay, x, y);
  } else {
    // Concave: the out point heads into the rectangle along the other edge.
    SetKnot(k, x, y, x + kCircle * d * c.bx, y + kCircle * d * c.by, x, y);
  }
}

// The knot on the leaving edge at distance |r| from the corner.
void LeavingKnot(CPathPoint* k, const Corner& c, float r, int32_t style) {
  const float d = std::fabs(r);
  const float x = c.x + d * c.bx, y = c.y + d * c.by;
  if (style == 1) {
    SetSharp(k, x, y);
  } else if (r > 0.0f) {
    SetKnot(k, x, y, x, y, x - kCircle * r * c.bx, y - kCircle * r * c.by);
  } else {
    SetKnot(k, x, y, x, y, x - kCircle * d * c.ax, y - kCircle * d * c.ay);
  }
}

int32_t RoundedKnots(const float r[4]) {
  int32_t n = 4;
  for (int i = 0; i < 4; ++i) n += NearZero(r[i]) ? 0 : 1;
  return n;
}

// The box with left <= right and top <= bottom.
struct Box {
  float left, top, right, bottom;
};

Box Ordered(float x1, float y1, float x2, float y2) {
  return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// --- Star -------------------------------------------------------------------------

// Knots a star of m angle steps takes: a bevelled knot (style 3) is two.
int32_t StarKnots(int32_t m, int32_t innerStyle, int32_t tipStyle) {
  const int32_t half = m / 2;
  const int32_t bevels = (innerStyle == 3 ? 1 : 0) + (tipStyle == 3 ? 1 : 0);
  return half * (2 + bevels);
}

struct Star {
  float cx = 0.0f, cy = 0.0f;  // scaled centre
  float scale = 1.0f;
  double stepAngle = 0.0;      // 4 pi / (m * 100): one percent of a tip-to-tip angle

  void At(double theta, float rho, float* x, float* y) const {
    *x = static_cast<float>(cx + rho * std::sin(theta));
    *y = static_cast<float>(cy + rho * std::cos(theta));
  }

  // Where the ray from the centre at angle theta + delta meets the line
  // through the knot (kx, ky) perpendicular to its radius; -1 when parallel.
  int32_t Construct(float kx, float ky, double theta, float rho, double delta, float* px,
                    float* py) const {
    float a = 0.0f, b = 0.0f, c = 0.0f;
    A_lig_2point(cx, cy, kx, ky, &a, &b, &c);
    float ta = 0.0f, tb = 0.0f, tc = 0.0f;
    A_lig_perpoint(a, b, c, kx, ky, &ta, &tb, &tc);
    float rx = 0.0f, ry = 0.0f;
    At(theta + delta, rho, &rx, &ry);
    float ra = 0.0f, rb = 0.0f, rc = 0.0f;
    A_lig_2point(cx, cy, rx, ry, &ra, &rb, &rc);
    return A_int_2droit(ta, tb, tc, ra, rb, rc, px, py) == 0 ? 0 : -1;
  }

  // Places the knot(s) of one tip or inner point at *k and moves *k past
  // them. -1 when a construction fails.
  int32_t Place(CPathPoint** k, double theta, float rho, int32_t style, int32_t forward,
                int32_t backward) const {
    float x = 0.0f, y = 0.0f;
    At(theta, rho, &x, &y);
    float fx = 0.0f, fy = 0.0f, bx = 0.0f, by = 0.0f;
    if (style >= 2 && style <= 4) {
      if (Construct(x, y, theta, rho, forward * stepAngle, &fx, &fy) != 0 ||
          Construct(x, y, theta, rho, -(backward * stepAngle), &bx, &by) != 0) {
        return -1;
      }
    }
    const float s = scale;
    switch (style) {
      case 1:
        SetSharp(*k, x / s, y / s);
        break;
      case 2:
        SetKnot(*k, x / s, y / s, fx / s, fy / s, bx / s, by / s);
        break;
      case 3:
        SetSharp(*k, bx / s, by / s);
        *k = (*k)->next;
        SetSharp(*k, fx / s, fy / s);
        break;
      case 4:
        // The control points exchanged: the knot turns into a small loop.
        SetKnot(*k, x / s, y / s, bx / s, by / s, fx / s, fy / s);
        break;
      default:
        break;  // an unknown style leaves the knot as it was
    }
    *k = (*k)->next;
    return 0;
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Ellipse and rectangles

void CPathList::fct_calc_ellipse(CPath* path, float x1, float y1, float x2, float y2,
                                 float margin) {
  std::array<CPathPoint*, 4> k{};
  if (!ChainHolds(path, 4, k.data())) return;
  const float left = std::min(x1, x2) - margin, right = std::max(x1, x2) + margin;
  const float top = std::min(y1, y2) - margin, bottom = std::max(y1, y2) + margin;
  const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
  const float kx = (right - left) * kQuarterEllipse, ky = (bottom - top) * kQuarterEllipse;
  // Top, right, bottom, left: clockwise on the screen.
  SetKnot(k[0], cx, top, cx + kx, top, cx - kx, top);
  SetKnot(k[1], right, cy, right, cy + ky, right, cy - ky);
  SetKnot(k[2], cx, bottom, cx - kx, bottom, cx + kx, bottom);
  SetKnot(k[3], left, cy, left, cy - ky, left, cy + ky);
}

void CPathList::fct_calc_Rect(CPath* path, float x1, float y1, float x2, float y2) {
  std::array<CPathPoint*, 4> k{};
  if (!ChainHolds(path, 4, k.data())) return;
  SetSharp(k[0], x1, y1);
  SetSharp(k[1], x2, y1);
  SetSharp(k[2], x2, y2);
  SetSharp(k[3], x1, y2);
}

void RRect(CPath* path, float left, float top, float right, float bottom, float r0, float r1,
           float r2, float r3, int32_t s0, int32_t s1, int32_t s2, int32_t s3) {
  const float r[4] = {r0, r1, r2, r3};
  const int32_t s[4] = {s0, s1, s2, s3};
  std::array<CPathPoint*, 8> k{};
  if (!ChainHolds(path, RoundedKnots(r), k.data())) return;
  // Top-left, bottom-left, bottom-right, top-right, walked down the left
  // edge first (counter-clockwise on the screen).
  const Corner corners[4] = {{left, top, -1.0f, 0.0f, 0.0f, 1.0f},
                             {left, bottom, 0.0f, 1.0f, 1.0f, 0.0f},
                             {right, bottom, 1.0f, 0.0f, 0.0f, -1.0f},
                             {right, top, 0.0f, -1.0f, -1.0f, 0.0f}};
  int32_t n = 0;
  // The path starts just below the top-left corner: that corner's leaving
  // knot first, its arriving knot last.
  if (NearZero(r[0])) {
    SetSharp(k[n++], left, top);
  } else {
    LeavingKnot(k[n++], corners[0], r[0], s[0]);
  }
  for (int c = 1; c < 4; ++c) {
    if (NearZero(r[c])) {
      SetSharp(k[n++], corners[c].x, corners[c].y);
      continue;
    }
    ArrivingKnot(k[n++], corners[c], r[c], s[c]);
    LeavingKnot(k[n++], corners[c], r[c], s[c]);
  }
  if (!NearZero(r[0])) ArrivingKnot(k[n], corners[0], r[0], s[0]);
}

void CPathList::fct_calc_RRect(int16_t flag, float x1, float y1, float x2, float y2,
                               float offset, float r0, float r1, float r2, float r3, int32_t s0,
                               int32_t s1, int32_t s2, int32_t s3) {
  const Box b = Ordered(x1, y1, x2, y2);
  float r[4] = {r0, r1, r2, r3};
  CPath* p = NewShapePath(this, flag, RoundedKnots(r));
  RRect(p, b.left, b.top, b.right, b.bottom, r[0], r[1], r[2], r[3], s0, s1, s2, s3);
  DrawShape(this, p);
  if (NearZero(offset)) return;
  // Growing rounds only the round corners further; shrinking turns the
  // sharp corners into concave ones of radius |offset|.
  for (float& v : r) {
    if ((offset > 0.01 && v > 0.01) || (offset < -0.01 && v < 0.01)) v += offset;
  }
  p = NewShapePath(this, flag, RoundedKnots(r));
  RRect(p, b.left - offset, b.top - offset, b.right + offset, b.bottom + offset, r[0], r[1],
        r[2], r[3], s0, s1, s2, s3);
  DrawShape(this, p);
}

void CPathList::fct_crea_RRect(int16_t flag) {
  const int32_t* w = objPar.w;
  const int64_t left = w[kObjBoxLeft], top = w[kObjBoxTop];
  const int32_t* r = w + kObjCornerRadius;
  const int32_t* s = w + kObjCornerStyle;
  fct_calc_RRect(flag, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(left + w[kObjBoxWidth]),
                 static_cast<float>(top + w[kObjBoxHeight]),
                 static_cast<float>(w[kObjOutlineOffset]), static_cast<float>(r[0]),
                 static_cast<float>(r[1]), static_cast<float>(r[2]), static_cast<float>(r[3]),
                 s[0], s[1], s[2], s[3]);
}

void CPathList::fct_crea_ellipse(int16_t flag) {
  const int32_t* w = objPar.w;
  const float X = static_cast<float>(w[kObjCentreX]), Y = static_cast<float>(w[kObjCentreY]);
  const float W = static_cast<float>(w[kObjBoxWidth]), H = static_cast<float>(w[kObjBoxHeight]);
  const float offset = static_cast<float>(w[kObjOutlineOffset]);
  // The bottom edge takes the integer half of the height, the other three
  // exact halves: shapes drawn so are kept as they were.
  const float x1 = X - 0.5f * W, y1 = Y - 0.5f * H, x2 = X + 0.5f * W;
  const float y2 = Y + static_cast<float>(w[kObjBoxHeight] / 2);
  if (!NearZero(offset)) {
    fct_calc_ellipse(NewShapePath(this, flag, 4), x1, y1, x2, y2, 0.0f);
  }
  fct_calc_ellipse(NewShapePath(this, flag, 4), x1, y1, x2, y2, offset);
}

// ---------------------------------------------------------------------------
// Star and polygon

int32_t CPathList::fct_calc_ngon(int16_t phase, float scale, int16_t points, CPath* path,
                                 float cx, float cy, float radius, float innerPercent,
                                 float altTipPercent, float altInnerPercent,
                                 const int32_t* depthPercents, float startAngle,
                                 float radiusAddend, int32_t innerForward,
                                 int32_t innerBackward, int32_t innerStyle,
                                 int32_t innerPerPoint, int32_t tipForward,
                                 int32_t tipBackward, int32_t tipStyle, int32_t tipPerPoint) {
  if (points < 1 || path == nullptr) return -1;
  const int32_t m = std::min<int32_t>(2 * points, kStarSteps);
  // Above 256 points the steps are capped: the count follows the steps, so
  // that phase 1 places every knot phase 0 made.
  const int32_t knots = StarKnots(m, innerStyle, tipStyle);
  if (phase == 0) {
    path->CreaPathof_xpts(knots, 1);
    return 0;
  }
  if (!ExactChain(path, knots)) return -1;

  const float s = scale;
  Star star;
  star.cx = s * cx;
  star.cy = s * cy;
  star.scale = s;
  star.stepAngle = kFourPi / (static_cast<double>(m) * 100.0);
  const float R = s * radius + s * radiusAddend;
  const float rin = R * innerPercent / 100.0f;
  const float rTipAlt = R * altTipPercent / 100.0f;
  const float rInAlt = R * altInnerPercent / 100.0f;
  const bool even = points % 2 == 0;
  // One entry past the 512 percentages: the last tip of a 256-point star
  // reads it, as a point of percentage 0.
  std::array<float, kStarSteps + 1> inner{}, tip{};
  for (int32_t i = 0; i <= kStarSteps; ++i) {
    const float pct =
        i < kStarSteps && depthPercents != nullptr ? static_cast<float>(depthPercents[i]) : 0.0f;
    if (innerPerPoint == 1) {
      inner[i] = rin * (100.0f - pct) / 100.0f;
    } else {
      inner[i] = even && i % 4 == 3 ? rInAlt : rin;
    }
    if (tipPerPoint == 1) {
      tip[i] = R * (100.0f - pct) / 100.0f;
    } else {
      tip[i] = even && i % 4 == 2 ? rTipAlt : R;
    }
  }

  CPathPoint* k = path->first;
  for (int32_t i = 1; i < m; i += 2) {
    const double tipAngle = startAngle + i * kTwoPi / m;
    const double innerAngle = startAngle + (i + 1) * kTwoPi / m;
    if (star.Place(&k, tipAngle, tip[i + 1], tipStyle, tipForward, tipBackward) != 0 ||
        star.Place(&k, innerAngle, inner[i], innerStyle, innerForward, innerBackward) != 0) {
      return -1;
    }
  }
  return 0;
}

int32_t CPathList::fct_crea_ngon(int16_t flag) {
  const int32_t* w = objPar.w;
  const auto points = static_cast<int16_t>(w[kObjStarPoints]);
  const float offset = static_cast<float>(w[kObjOutlineOffset]);
  auto star = [&](float addend) {
    CPath* p = NewShapePath(this, flag, 0);
    if (p == nullptr) return -1;
    auto calc = [&](int16_t phase) {
      return fct_calc_ngon(phase, 1000.0f, points, p, static_cast<float>(w[kObjCentreX]),
                           static_cast<float>(w[kObjCentreY]),
                           static_cast<float>(w[kObjStarRadius]),
                           static_cast<float>(w[kObjStarInner]),
                           static_cast<float>(w[kObjStarAltTip]),
                           static_cast<float>(w[kObjStarAltInner]), w + kObjPointDepth, 0.0f,
                           addend, w[kObjInnerForward], w[kObjInnerBackward],
                           w[kObjInnerStyle], w[kObjInnerPerPoint], w[kObjTipForward],
                           w[kObjTipBackward], w[kObjTipStyle], w[kObjTipPerPoint]);
    };
    return calc(0) != 0 ? -1 : calc(1);
  };
  // The offset star comes first, the plain one second.
  if (!NearZero(offset)) star(offset);
  return star(0.0f);
}

// ---------------------------------------------------------------------------
// Table of cells

void CPathList::fct_calc_Table(int16_t flag, float x1, float y1, float x2, float y2,
                               int16_t columns, int16_t rows, float columnGap, float rowGap,
                               float offset) {
  if (columns == 0 || rows == 0) return;
  const Box b = Ordered(x1, y1, x2, y2);
  const float h = ((b.bottom - b.top) - static_cast<float>(rows - 1) * rowGap) /
                  static_cast<float>(rows);
  const float w = ((b.right - b.left) - static_cast<float>(columns - 1) * columnGap) /
                  static_cast<float>(columns);
  auto cell = [&](float l, float t, float r, float bt) {
    CPath* p = NewShapePath(this, flag, 4);
    fct_calc_Rect(p, l, t, r, bt);
    DrawShape(this, p);
  };
  for (int32_t row = 0; row < rows; ++row) {
    const float y = b.top + static_cast<float>(row) * (h + rowGap);
    for (int32_t col = 0; col < columns; ++col) {
      const float x = b.left + static_cast<float>(col) * (w + columnGap);
      cell(x, y, x + w, y + h);
    }
  }
  if (!NearZero(offset)) {
    cell(b.left - offset, b.top - offset, b.right + offset, b.bottom + offset);
  }
}

void CPathList::fct_crea_Table(int16_t flag) {
  const int32_t* w = objPar.w;
  const int64_t left = w[kObjBoxLeft], top = w[kObjBoxTop];
  fct_calc_Table(flag, static_cast<float>(left), static_cast<float>(top),
                 static_cast<float>(left + w[kObjBoxWidth]),
                 static_cast<float>(top + w[kObjBoxHeight]),
                 static_cast<int16_t>(w[kObjColumns]), static_cast<int16_t>(w[kObjRows]),
                 static_cast<float>(w[kObjColumnGap]), static_cast<float>(w[kObjRowGap]),
                 static_cast<float>(w[kObjOutlineOffset]));
}

// ---------------------------------------------------------------------------
// Spirograph, superformula and step and repeat

namespace {

constexpr double kPi = 3.141592654;
// Beyond this many turns the spirograph stops at 360000 degrees.
constexpr int32_t kSpiroTurnCap = 200;

// A spirograph radius in curve units: trunc(v * 500 / 200 + 0.5).
int64_t SpiroRadius(int32_t v) {
  const auto product = static_cast<float>(static_cast<int64_t>(v) * 500);
  return static_cast<int64_t>(std::trunc(static_cast<double>(product) / 200.0 + 0.5));
}

struct Spiro {
  int64_t A, B, D;
  int32_t step, limit;

  Spiro(int32_t a, int32_t b, int32_t d, int32_t angleStep, int32_t turns)
      : A(SpiroRadius(a == 0 ? 1 : a)),
        B(SpiroRadius(b == 0 ? 1 : b)),
        D(SpiroRadius(d)),
        step(std::max(1, angleStep)),
        limit(std::max(1, turns) < kSpiroTurnCap ? std::max(1, turns) * 360 : 360000) {}

  // The pen is back where it started: a whole turn of the fixed circle
  // and a whole turn of the rolling one.
  bool Closes(int64_t t) const { return t % 360 == 0 && ((A + B) * t / A) % 360 == 0; }

  int32_t Knots() const {
    int32_t n = 1;
    for (int64_t t = step; t < limit; t += step) {
      ++n;
      if (Closes(t)) break;
    }
    return n;
  }
};

// Maps the six coordinates of every knot of src onto the same knots of dst
// (src itself for a change in place).
template <typename F>
void MapKnots(const CPath* src, CPath* dst, F&& f) {
  const CPathPoint* s = src->first;
  CPathPoint* d = dst->first;
  for (int32_t i = 0; i < src->count && s != nullptr && d != nullptr; ++i) {
    f(s->x, s->y, &d->x, &d->y);
    f(s->outX, s->outY, &d->outX, &d->outY);
    f(s->inX, s->inY, &d->inX, &d->inY);
    s = s->next;
    d = d->next;
    if (s == src->first) break;
  }
}

struct StepRepeat {
  int16_t mode;
  float px, py, ox, oy, sx, sy, angle;

  // One source path transformed onto dst: knots, or a text object's frame.
  void Apply(const CPath* src, CPath* dst) const {
    if (src->txtObj != nullptr) {
      CWarpPath* frame = dst->txtObj != nullptr ? dst->txtObj->frame : nullptr;
      if (frame == nullptr) return;
      if (mode == 0) frame->MoveFrame(ox, oy);
      if (mode == 1) frame->ResizeFrame(px, py, 100.0f, sx, 100.0f, sy);
      if (mode == 2) frame->RotateFrame(px, py, angle);
      return;
    }
    MapKnots(src, dst, [&](float x, float y, float* rx, float* ry) {
      switch (mode) {
        case 0:
          *rx = x + ox;
          *ry = y + oy;
          break;
        case 1:
          *rx = px + (x - px) * sx / 100.0f;
          *ry = py + (y - py) * sy / 100.0f;
          break;
        case 2: {
          // Turned with y pointing up: a positive angle is counter-clockwise
          // on the screen.
          float tx = 0.0f, ty = 0.0f;
          A_point_fromAng(px, -py, x, -y, &tx, &ty, angle);
          *rx = tx;
          *ry = -ty;
          break;
        }
        default:
          break;
      }
    });
  }
};

bool Transformable(const CPath* p) {
  return p->active != 0 && (p->first != nullptr || p->txtObj != nullptr);
}

}  // namespace

int32_t CPathList::fct_calc_spiro(int16_t phase, int32_t, int32_t, int32_t, int32_t, int32_t cx,
                                  int32_t cy, CPath* path, int32_t a, int32_t b, int32_t d,
                                  int32_t angleStep, int32_t turns) {
  if (path == nullptr) return -1;
  const Spiro sp(a, b, d, angleStep, turns);
  const int32_t knots = sp.Knots();
  if (phase == 0) {
    // Flagged open although the knots form a ring: the curve ends where it
    // began, and the flag has always said so.
    path->CreaPathof_xpts(knots, 0);
    return 0;
  }
  if (!ExactChain(path, knots)) return -1;
  const double AB = static_cast<double>(sp.A + sp.B);
  const double A = static_cast<double>(sp.A), D = static_cast<double>(sp.D);
  CPathPoint* k = path->first;
  SetSharp(k, static_cast<float>(cx + AB - D), static_cast<float>(cy));
  for (int64_t t = sp.step; t < sp.limit; t += sp.step) {
    k = k->next;
    const double u = static_cast<double>(t) * kPi / 180.0;
    const double x = cx + AB * std::cos(u) - D * std::cos(AB * u / A);
    const double y = cy + AB * std::sin(u) - D * std::sin(AB * u / A);
    SetSharp(k, static_cast<float>(x), static_cast<float>(y));
    if (sp.Closes(t)) break;
  }
  return 0;
}

void CalcCooki(double m, double e1, double e2, double e3, double phi, double rotation,
               int32_t size, double k, double* x, double* y) {
  const double t = m * phi * 0.25;
  const double c = std::pow(std::fabs(std::cos(t)), e2);
  const double q = std::pow(std::fabs(std::sin(t)), e3);
  const double r = std::pow(c + q, 1.0 / e1);
  *x = 0.0;
  *y = 0.0;
  if (r == 0.0) return;
  const double d = (k / r) * size;
  const double px = d * std::cos(phi + rotation) / 100.0;
  const double py = d * std::sin(phi + rotation) / 100.0;
  // An exponent of 0 (or a radius too small to divide by) has no point:
  // the centre, as for a radius of 0.
  if (!std::isfinite(px) || !std::isfinite(py)) return;
  *x = px;
  *y = py;
}

int32_t CPathList::fct_calc_cooki(int16_t phase, float, int16_t steps, CPath* path, float cx,
                                  float cy, float k, int32_t size, int32_t rotation,
                                  int32_t phaseStep, int32_t m, int32_t e1, int32_t e2,
                                  int32_t e3, int32_t factor) {
  // The angle divides by the step count.
  if (steps < 1 || path == nullptr) return -1;
  if (phase == 0) {
    path->CreaPathof_xpts(steps + 1, 1);
    return 0;
  }
  if (!ExactChain(path, steps + 1)) return -1;
  auto scaled = [&](int32_t v) { return static_cast<double>(static_cast<int64_t>(v) * factor) / 10.0; };
  const double rot = rotation * kTwoPi / 360.0;
  const auto twoPi = static_cast<float>(kTwoPi);
  CPathPoint* knot = path->first;
  for (int32_t i = 0; i <= steps; ++i) {
    const float phi = static_cast<float>(static_cast<int64_t>(i) * phaseStep) * twoPi /
                      static_cast<float>(steps);
    double x = 0.0, y = 0.0;
    CalcCooki(scaled(m), scaled(e1), scaled(e2), scaled(e3), phi, rot, size, k, &x, &y);
    SetSharp(knot, static_cast<float>(cx + x), static_cast<float>(cy + y));
    knot = knot->next;
  }
  return 0;
}

void CPathList::fct_calc_StepRepeat(int16_t mode, int16_t count, float pivotX, float pivotY,
                                    float offsetX, float offsetY, float scaleX, float scaleY,
                                    float angle) {
  const StepRepeat step{mode, pivotX, pivotY, offsetX, offsetY, scaleX, scaleY, angle};
  const bool draw = HasPort(this);
  if (count <= 0) {
    // In the caller's XOR pen the first drawing erases the old outlines.
    if (draw) DrawPathList(drawPar->port, 0, 0, colour);
    for (CPath* p = first; p != nullptr; p = p->next) {
      if (Transformable(p)) step.Apply(p, p);
    }
    if (draw) DrawPathList(drawPar->port, 0, 0, colour);
    return;
  }
  for (int16_t n = 0; n < count; ++n) {
    // Each generation is copied from the paths active now, so every copy
    // is transformed from the one before it.
    CPathList copies(0);
    CopyActivePaths(&copies);
    CPath* c = copies.first;
    for (CPath* p = first; p != nullptr && c != nullptr; p = p->next) {
      if (!Transformable(p)) continue;
      step.Apply(p, c);
      c = c->next;
    }
    AttachPathList(draw ? 1 : 0, &copies);
  }
  if (draw) DrawPathList(drawPar->port, 0, 0, colour);
}

void CPathList::fct_crea_StepRepeat() {
  const int32_t* w = objPar.w;
  // The stored angle is handed on as radians, unchanged.
  fct_calc_StepRepeat(static_cast<int16_t>(w[kObjStepMode]), static_cast<int16_t>(w[kObjStepCount]),
                      static_cast<float>(w[kObjCentreX]), static_cast<float>(w[kObjCentreY]),
                      static_cast<float>(w[kObjStepX]), static_cast<float>(w[kObjStepY]),
                      static_cast<float>(w[kObjStepScaleX]), static_cast<float>(w[kObjStepScaleY]),
                      static_cast<float>(w[kObjStepAngle]));
}
