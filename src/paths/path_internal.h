// Helpers shared by the path sources; not part of the path interface.
#pragma once

#include "paths/draw_par.h"
#include "paths/path.h"
#include "paths/path_point.h"
#include "platform/draw/port.h"

namespace paths_detail {

// The given drawing parameters, or the defaults when none were given (a
// path made outside a session still measures and hit-tests at scale 1).
const DrawPar& DrawParOr(const DrawPar* dp);

// Links `node` at the end of a chain whose last node is `last` (nullptr for
// an empty chain, whose head `first` then becomes the node); the node becomes
// the last. The node's own links are the caller's.
template <typename Node>
void LinkLast(Node*& first, Node*& last, Node* node) {
  if (last != nullptr) {
    last->next = node;
  } else {
    first = node;
  }
  last = node;
}

// The last knot of the open chain of `count` knots that starts at `first`
// (not null); nullptr when the chain turns out to be a ring or runs on past
// its count, so that a damaged chain is never walked for ever.
inline CPathPoint* OpenChainLast(CPathPoint* first, int32_t count) {
  CPathPoint* last = first;
  for (int32_t i = 0; i < count && last->next != nullptr; ++i) {
    last = last->next;
    if (last == first) return nullptr;
  }
  return last->next == nullptr ? last : nullptr;
}

// A value truncated toward zero to 16 bits, held at the ends of the range
// (NaN gives 0).
int16_t Trunc16Held(double v);

// One Bezier segment as its four control points, evaluated through the
// shared curve evaluator, which holds one curve at a time: SetUp before the
// first At, and again after anything else has used the evaluator.
struct Curve {
  float p[8];
  Curve(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3)
      : p{x0, y0, x1, y1, x2, y2, x3, y3} {}
  // The segment a, a.out, b.in, b.
  Curve(const CPathPoint* a, const CPathPoint* b)
      : Curve(a->x, a->y, a->outX, a->outY, b->inX, b->inY, b->x, b->y) {}
  void SetUp() const;
  void At(float t, float* x, float* y) const;
};

// The pen of the current port, saved on construction, set normal and to
// XOR, and restored on destruction.
class XorPen {
 public:
  XorPen();
  ~XorPen();
  XorPen(const XorPen&) = delete;
  XorPen& operator=(const XorPen&) = delete;

 private:
  struct Saved;
  Saved* saved_;
};

// Pen and foreground colour saved, pen normal; mode 0 draws in XOR, any
// other mode in the given colour.
class PenScope {
 public:
  PenScope(int16_t mode, const RGBColor& colour) {
    plat::draw::GetPenState(&pen_);
    plat::draw::GetForeColor(&fore_);
    plat::draw::PenNormal();
    if (mode == 0) {
      plat::draw::PenMode(plat::draw::patXor);
    } else {
      plat::draw::RGBForeColor(colour);
    }
  }
  ~PenScope() {
    plat::draw::SetPenState(pen_);
    plat::draw::RGBForeColor(fore_);
  }
  PenScope(const PenScope&) = delete;
  PenScope& operator=(const PenScope&) = delete;

 private:
  plat::draw::PenState pen_;
  RGBColor fore_;
};

// The given port becomes current for the life of the guard (the current one
// stays when none is given); the drawing parameters' port likewise.
class PortScope {
 public:
  explicit PortScope(GrafPtr port) : saved_(plat::draw::GetPort()) {
    if (port != nullptr) plat::draw::SetPort(port);
  }
  explicit PortScope(const DrawPar* dp) : PortScope(dp != nullptr ? dp->port : nullptr) {}
  ~PortScope() { plat::draw::SetPort(saved_); }
  PortScope(const PortScope&) = delete;
  PortScope& operator=(const PortScope&) = delete;

 private:
  plat::draw::Port* saved_;
};

// Mouse and keys, through the toolbox layer.
bool MouseStillDown();
Point MouseInPort();
// 1 when the given modifier is the only one down.
int16_t ModifierAlone(uint32_t mask);

// Runs step(x, y, dx, dy) for every mouse position, in path coordinates,
// that lies more than 0.1 in x or y from the last position acted on (first
// the press at x0, y0), while the button stays down.
template <typename F>
void DragWhileDown(const DrawPar& dp, float x0, float y0, F&& step) {
  float lx = x0, ly = y0;
  while (MouseStillDown()) {
    const Point m = MouseInPort();
    const float x = PortToPathX(dp, m.h);
    const float y = PortToPathY(dp, m.v);
    const float dx = x - lx, dy = y - ly;
    if (dx > 0.1f || dx < -0.1f || dy > 0.1f || dy < -0.1f) {
      step(x, y, dx, dy);
      lx = x;
      ly = y;
    }
  }
}

// Runs f(knot) for the knots of a path's chain in order, at most `count`,
// stopping at a null link or when the chain comes back to its first knot.
template <typename F>
void ForEachPathKnot(CPath* p, F&& f) {
  CPathPoint* k = p->first;
  for (int32_t i = 0; i < p->count && k != nullptr; ++i) {
    CPathPoint* nx = k->next;
    f(k);
    if (nx == p->first) break;
    k = nx;
  }
}

// Applies f(x, y) to the position and both control points of every knot.
template <typename F>
void ForEachCoordinatePair(CPath* p, F&& f) {
  ForEachPathKnot(p, [&](CPathPoint* k) {
    f(k->x, k->y);
    f(k->outX, k->outY);
    f(k->inX, k->inY);
  });
}

// Copies the six coordinates of every knot of src onto the knots of dst, in chain order as
// far as both chains reach (and dst's count); with `selection` the selected flags too.
inline void CopyKnotCoordinates(const CPath* src, CPath* dst, bool selection) {
  CPathPoint* d = dst->first;
  const CPathPoint* s = src->first;
  for (int32_t i = 0; i < dst->count && d != nullptr && s != nullptr; ++i) {
    d->x = s->x;
    d->y = s->y;
    d->outX = s->outX;
    d->outY = s->outY;
    d->inX = s->inX;
    d->inY = s->inY;
    if (selection) d->selected = s->selected;
    d = d->next;
    s = s->next;
    if (d == dst->first) break;
  }
}

// A point or vector of the curve samplers.
struct Pt {
  float x = 0.0f;
  float y = 0.0f;
};

inline Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
inline Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
inline Pt operator*(float s, Pt a) { return {s * a.x, s * a.y}; }

// Samples curves through scratch paths: the two-knot curve from p with
// handle h to q with handle k, or the three-knot path through a middle
// point without handles. `mode` is the length walk's (0 in hundredths of
// a segment, 1 in thousandths).
class CurveSampler {
 public:
  explicit CurveSampler(int16_t mode = 0) : mode_(mode) {
    two_.CreaPathof_xpts(2, 0);
    three_.CreaPathof_xpts(3, 0);
  }

  // f(k, point, tangent) for the points at lengths L * k / m, k = 0..m.
  template <typename F>
  void Sample(Pt p, Pt h, Pt k, Pt q, int m, F&& f) {
    CPathPoint* a = two_.first;
    CPathPoint* b = a->next;
    SetKnot(a, p, p, h);
    SetKnot(b, q, k, q);
    Walk(two_, m, f);
  }

  template <typename F>
  void Sample(Pt p, Pt h, Pt mid, Pt k, Pt q, int m, F&& f) {
    CPathPoint* a = three_.first;
    SetKnot(a, p, p, h);
    SetKnot(a->next, mid, mid, mid);
    SetKnot(a->next->next, q, k, q);
    Walk(three_, m, f);
  }

  // The point at half the length of the two-knot curve.
  Pt Middle(Pt p, Pt h, Pt k, Pt q) {
    Pt mid;
    Sample(p, h, k, q, 2, [&](int i, Pt pt, Pt) {
      if (i == 1) mid = pt;
    });
    return mid;
  }

 private:
  static void SetKnot(CPathPoint* n, Pt at, Pt in, Pt out) {
    n->x = at.x;
    n->y = at.y;
    n->inX = in.x;
    n->inY = in.y;
    n->outX = out.x;
    n->outY = out.y;
  }

  template <typename F>
  void Walk(const CPath& path, int m, F&& f) const {
    const float L = path.GetAcuPathLength();
    for (int i = 0; i <= m; ++i) {
      Pt pt;
      float ang = 0.0f;
      CPathPoint* a = nullptr;
      CPathPoint* b = nullptr;
      path.GetPointAtLength(mode_, L * static_cast<float>(i) / static_cast<float>(m), &ang, &pt.x,
                            &pt.y, &a, &b);
      // At the very end the walk reports the last knot twice: the tangent
      // is then that of the segment arriving there.
      if (a == b && a != nullptr && a->prev != nullptr) a = a->prev;
      Pt tan;
      if (path.Tan_atOnSpline(pt.x, pt.y, a, b, &tan.x, &tan.y) < 0) tan = {};
      f(i, pt, tan);
    }
  }

  int16_t mode_;
  CPath two_, three_;
};

// Knot tolerance along one axis: trunc(scale * 3) as 16 bits, at least 2.
int16_t KnotTolerance(float scale);

}  // namespace paths_detail
