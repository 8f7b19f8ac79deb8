// Editing a path with the mouse: what lies under a point (knot, control
// point, segment), the pen, inserting, removing and converting knots,
// selecting and dragging, and reshaping a segment through a dragged point.
//
// Every change is shown in XOR: the old look is drawn once more (erasing
// it), the data changes, the new look is drawn.
#include <cmath>

#include "app/core/plane_geometry.h"
#include "paths/path.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/text_objects.h"

using paths_detail::Curve;
using paths_detail::DragWhileDown;
using paths_detail::KnotTolerance;
using paths_detail::ModifierAlone;
using paths_detail::MouseStillDown;
using paths_detail::OpenChainLast;
using paths_detail::XorPen;

namespace paths_detail {

int16_t KnotTolerance(float scale) {
  const int16_t t = Trunc16Held(static_cast<double>(scale) * 3.0);
  return t < 2 ? int16_t{2} : t;
}

}  // namespace paths_detail

namespace {

// Segment tolerance, a bound on the squared distance: trunc(sx * 9 * sy)
// as 16 bits, 2 when smaller.
float SegmentTolerance(const DrawPar& dp) {
  const int16_t t =
      paths_detail::Trunc16Held(static_cast<double>(dp.scaleX) * 9.0 * dp.scaleY);
  return t < 2 ? 2.0f : static_cast<float>(t);
}

bool Near(float px, float py, float x, float y, int16_t tx, int16_t ty) {
  return std::fabs(px - x) < tx && std::fabs(py - y) < ty;
}

}  // namespace

CPathPoint* CPath::IfOnPoint(float x, float y) const {
  const DrawPar& dp = Drw();
  const int16_t tx = KnotTolerance(dp.scaleX), ty = KnotTolerance(dp.scaleY);
  CPathPoint* hit = nullptr;
  ForEachKnot([&](CPathPoint* k) {
    if (hit == nullptr && Near(k->x, k->y, x, y, tx, ty)) hit = k;
  });
  return hit;
}

CPathPoint* CPath::IfOnTanPoint(float x, float y, int16_t* which) const {
  const DrawPar& dp = Drw();
  const int16_t tx = KnotTolerance(dp.scaleX), ty = KnotTolerance(dp.scaleY);
  CPathPoint* hit = nullptr;
  int16_t w = 0;
  ForEachKnot([&](CPathPoint* k) {
    if (hit != nullptr || k->selected == 0) return;
    if (Near(k->outX, k->outY, x, y, tx, ty)) {
      hit = k;
      w = 1;
    } else if (Near(k->inX, k->inY, x, y, tx, ty)) {
      hit = k;
      w = 2;
    }
  });
  if (which != nullptr) *which = w;
  return hit;
}

int16_t CPath::IfOnSegment(float x, float y, const CPathPoint* a, const CPathPoint* b,
                           int16_t* t) const {
  if (a == nullptr || b == nullptr) return 0;
  const float tol = SegmentTolerance(Drw());
  const Curve seg(a, b);
  seg.SetUp();
  float prevX = a->x, prevY = a->y;
  float fx = x, fy = y;
  for (int i = 0; i <= 100; i += 5) {
    float px, py;
    seg.At(static_cast<float>(i) / 100.0f, &px, &py);
    if (std::fabs(px - prevX) < 0.1f && std::fabs(py - prevY) < 0.1f) {
      fx = prevX;
      fy = prevY;
    } else {
      // Foot of the perpendicular from (x, y) on the chord's line; when the
      // two lines do not meet the foot keeps its last value.
      float la, lb, lc, pa, pb, pc;
      A_lig_2point(prevX, prevY, px, py, &la, &lb, &lc);
      A_lig_perpoint(la, lb, lc, x, y, &pa, &pb, &pc);
      A_int_2droit(la, lb, lc, pa, pb, pc, &fx, &fy);
    }
    const float dx = x - fx, dy = y - fy;
    if (dx * dx + dy * dy <= tol && fx >= std::fmin(prevX, px) - 0.1f &&
        fx <= std::fmax(prevX, px) + 0.1f && fy >= std::fmin(prevY, py) - 0.1f &&
        fy <= std::fmax(prevY, py) + 0.1f) {
      if (t != nullptr) *t = static_cast<int16_t>(i);
      return 1;
    }
    prevX = px;
    prevY = py;
  }
  return 0;
}

int16_t CPath::IfOnCurve(float x, float y, CPathPoint** a, CPathPoint** b, int16_t* t,
                         intptr_t* object) const {
  if (object != nullptr) *object = 0;
  if (txtObj != nullptr) {
    // The outline of a text object is what its letters render.
    CPathList outline(0);
    txtObj->RenderToList(&outline);
    for (CPath* p = outline.first; p != nullptr; p = p->next) {
      CPathPoint* pa = nullptr;
      CPathPoint* pb = nullptr;
      intptr_t inner = 0;
      if (p->IfOnCurve(x, y, &pa, &pb, t, &inner) != 0) {
        if (object != nullptr) *object = reinterpret_cast<intptr_t>(txtObj);
        return 2;
      }
    }
    return 0;
  }
  CPathPoint* ha = nullptr;
  ForEachKnot([&](CPathPoint* k) {
    if (ha == nullptr && k->next != nullptr && IfOnSegment(x, y, k, k->next, t) != 0) ha = k;
  });
  if (ha == nullptr) return 0;
  if (a != nullptr) *a = ha;
  if (b != nullptr) *b = ha->next;
  if (txtPath != nullptr) {
    if (object != nullptr) *object = reinterpret_cast<intptr_t>(txtPath);
    return 3;
  }
  return 1;
}

void CPath::AddPoint(float x, float y, int16_t mode) {
  if (closed != 0) return;
  const DrawPar& dp = Drw();
  const int16_t tx = KnotTolerance(dp.scaleX), ty = KnotTolerance(dp.scaleY);
  XorPen pen;

  if (first == nullptr) {
    CPathPoint* k = new CPathPoint(x, y, 0);
    first = k;
    current = k;
    k->selected = 1;
    k->DrawSelf();
    count = 1;
  } else if (Near(first->x, first->y, x, y, tx, ty)) {
    if (current == nullptr) return;
    current->next = first;
    first->prev = current;
    DrawSegment(current, first);
    closed = 1;
  } else {
    CPathPoint* last = OpenChainLast(first, count);
    if (last == nullptr) return;  // a ring: the pen adds nothing to it
    CPathPoint* k = new CPathPoint(x, y, 0);
    last->DrawSelf();
    k->prev = last;
    k->next = nullptr;
    last->next = k;
    last->selected = 0;
    k->selected = 1;
    DrawSegment(last, k);
    last->DrawSelf();
    k->DrawSelf();
    current = k;
    ++count;
  }

  // The pen smooths the knot before the one just placed, unless Option is
  // held to keep a corner.
  if (ModifierAlone(optionKey) == 0 && mode == 1 && current != nullptr &&
      current->prev != nullptr && current->prev->prev != nullptr) {
    CPathPoint* p = current->prev;
    CPathPoint* q = p->prev;
    DrawSegment(q, p);
    DrawSegment(p, current);
    Calc_Pttg(q->x, q->y, p->x, p->y, current->x, current->y, &p->inX, &p->inY, &p->outX,
              &p->outY);
    DrawSegment(q, p);
    DrawSegment(p, current);
  }
}

int32_t CPath::Calc_Pttg(float x1, float y1, float x2, float y2, float x3, float y3, float* inX,
                         float* inY, float* outX, float* outY) {
  // The centre of the circle through the three points: the crossing of the
  // perpendicular bisectors of P1P2 and P2P3. Collinear or coinciding
  // points have none, and the middle knot keeps its control points.
  float a1, b1, c1, a2, b2, c2;
  A_lig_2point(x1, y1, x2, y2, &a1, &b1, &c1);
  A_lig_2point(x2, y2, x3, y3, &a2, &b2, &c2);
  float ba1, bb1, bc1, ba2, bb2, bc2;
  A_lig_perpoint(a1, b1, c1, (x1 + x2) / 2.0f, (y1 + y2) / 2.0f, &ba1, &bb1, &bc1);
  A_lig_perpoint(a2, b2, c2, (x2 + x3) / 2.0f, (y2 + y3) / 2.0f, &ba2, &bb2, &bc2);
  float cx, cy;
  if (A_int_2droit(ba1, bb1, bc1, ba2, bb2, bc2, &cx, &cy) != 0) return 0;

  // The circle's tangent at P2.
  float ra, rb, rc, ta, tb, tc;
  A_lig_2point(cx, cy, x2, y2, &ra, &rb, &rc);
  A_lig_perpoint(ra, rb, rc, x2, y2, &ta, &tb, &tc);

  const float q1x = (x1 + 2.0f * x2) / 3.0f, q1y = (y1 + 2.0f * y2) / 3.0f;
  const float q3x = (x3 + 2.0f * x2) / 3.0f, q3y = (y3 + 2.0f * y2) / 3.0f;
  float la, lb, lc, px, py;
  A_lig_2point(cx, cy, q1x, q1y, &la, &lb, &lc);
  if (A_int_2droit(ta, tb, tc, la, lb, lc, &px, &py) == 0) {
    *inX = px;
    *inY = py;
  }
  A_lig_2point(cx, cy, q3x, q3y, &la, &lb, &lc);
  if (A_int_2droit(ta, tb, tc, la, lb, lc, &px, &py) == 0) {
    *outX = px;
    *outY = py;
  }
  return 0;
}

namespace {

// The segment being reshaped and its solution, kept between the remembering
// call and the reshaping calls of one drag.
struct ReshapeState {
  float p0x = 0, p0y = 0, p3x = 0, p3y = 0, dx = 0, dy = 0;
  float m1 = 0, m2 = 0;
  float L = 0, M = 0, N = 0, L1 = 0, M1 = 0, N1 = 0;
  float bx = 0, cx = 0;  // last solution
};
ReshapeState gReshape;

// Slope of the handle from a knot to its control point; the chord's slope
// when the handle is retracted, and 10 for a vertical handle (or a
// retracted one on a vertical chord, which has no finite slope either).
float HandleSlope(float kx, float ky, float hx, float hy, float dx, float dy) {
  if (hx == kx && hy == ky) return dx != 0.0f ? dy / dx : 10.0f;
  if (hx == kx) return 10.0f;
  return (hy - ky) / (hx - kx);
}

}  // namespace

void CPath::CalcNewCurve(CPathPoint* a, CPathPoint* b, float x, float y, float t, int16_t mode) {
  if (a == nullptr || b == nullptr) return;
  ReshapeState& r = gReshape;
  if (mode == 1) {
    r.p0x = a->x;
    r.p0y = a->y;
    r.p3x = b->x;
    r.p3y = b->y;
    r.dx = r.p3x - r.p0x;
    r.dy = r.p3y - r.p0y;
    r.m1 = HandleSlope(a->x, a->y, a->outX, a->outY, r.dx, r.dy);
    r.m2 = HandleSlope(b->x, b->y, b->inX, b->inY, r.dx, r.dy);
    const float t2 = t * t, t3 = t2 * t;
    r.L = t2 - t3;
    r.M = t - t3;
    r.N = r.dx * t3 + r.p0x;
    r.L1 = r.L * r.m2;
    r.M1 = 2.0f * (r.m2 - r.m1) * r.L + r.M * r.m1;
    r.N1 = -3.0f * r.L * r.m2 * r.dx + 3.0f * r.L * r.dy + r.dy * t3 + r.p0y;
    return;
  }
  // Without a solution the last one stands (0 before any).
  A_int_2droit(r.L, r.M, r.N - x, r.L1, r.M1, r.N1 - y, &r.bx, &r.cx);
  const float bx = r.bx, cx = r.cx;
  const float cy = r.m1 * cx;
  const float by = -2.0f * r.m1 * cx + r.m2 * (3.0f * (r.p0x - r.p3x) + 2.0f * cx + bx) +
                   3.0f * r.dy;
  a->outX = std::trunc(a->x + cx / 3.0f);
  a->outY = std::trunc(a->y + cy / 3.0f);
  b->inX = std::trunc(a->outX + (cx + bx) / 3.0f);
  b->inY = std::trunc(a->outY + (cy + by) / 3.0f);
}

void CPath::EraseKnotAndSegments(CPathPoint* k) {
  k->DrawSelf();
  DrawSegment(k->prev, k);
  DrawSegment(k, k->next);
}

void CPath::SelectPoint(float x, float y) {
  const DrawPar& dp = Drw();
  XorPen pen;

  auto dragAllSelected = [&] {
    DragWhileDown(dp, x, y, [&](float, float, float dx, float dy) {
      DrawPath(0, colour);
      ForEachKnot([&](CPathPoint* k) {
        if (k->selected != 0) k->MovePoint(dx, dy);
      });
      DrawPath(0, colour);
    });
  };

  if (CPathPoint* k = IfOnPoint(x, y)) {
    if (ModifierAlone(shiftKey) != 0) {
      k->DrawSelf();
      k->selected = k->selected != 0 ? 0 : 1;
      k->DrawSelf();
      if (k->selected == 0) return;
      dragAllSelected();
      return;
    }
    if (k->selected == 0 || !MouseStillDown()) {
      ForEachKnot([](CPathPoint* s) {
        if (s->selected != 0) {
          s->DrawSelf();
          s->selected = 0;
          s->DrawSelf();
        }
      });
      k->DrawSelf();
      k->selected = 1;
      k->DrawSelf();
      current = k;
      DragWhileDown(dp, x, y, [&](float mx, float my, float dx, float dy) {
        EraseKnotAndSegments(k);
        k->x = mx;
        k->y = my;
        k->outX += dx;
        k->outY += dy;
        k->inX += dx;
        k->inY += dy;
        EraseKnotAndSegments(k);
      });
      return;
    }
    dragAllSelected();
    return;
  }

  int16_t which = 0;
  if (CPathPoint* k = IfOnTanPoint(x, y, &which)) {
    const int16_t tx = KnotTolerance(dp.scaleX), ty = KnotTolerance(dp.scaleY);
    const bool onOut = which == 1 && Near(k->outX, k->outY, x, y, tx, ty);
    const bool onIn = which == 2 && Near(k->inX, k->inY, x, y, tx, ty);
    if (!onOut && !onIn) return;
    DragWhileDown(dp, x, y, [&](float mx, float my, float, float) {
      const bool corner = k->kind != 0;
      // Erase: the knot and the segment(s) whose shape the handle changes.
      auto look = [&] {
        k->DrawSelf();
        if (onOut || !corner) DrawSegment(k, k->next);
        if (onIn || !corner) DrawSegment(k->prev, k);
      };
      look();
      if (onOut) {
        k->outX = mx;
        k->outY = my;
        if (!corner) {
          k->inX = 2.0f * k->x - mx;
          k->inY = 2.0f * k->y - my;
        }
      } else {
        k->inX = mx;
        k->inY = my;
        if (!corner) {
          k->outX = 2.0f * k->x - mx;
          k->outY = 2.0f * k->y - my;
        }
      }
      look();
    });
    return;
  }

  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  int16_t t = 0;
  intptr_t object = 0;
  if (IfOnCurve(x, y, &a, &b, &t, &object) != 0 && a != nullptr && b != nullptr) {
    const float tt = static_cast<float>(t) / 100.0f;
    CalcNewCurve(a, b, x, y, tt, 1);
    DragWhileDown(dp, x, y, [&](float mx, float my, float, float) {
      a->DrawSelf();
      b->DrawSelf();
      DrawSegment(a, b);
      CalcNewCurve(a, b, mx, my, tt, 0);
      a->DrawSelf();
      b->DrawSelf();
      DrawSegment(a, b);
    });
  }
}

void CPath::InsertPoint(float x, float y) {
  CPathPoint* a = nullptr;
  CPathPoint* b = nullptr;
  int16_t t = 0;
  intptr_t object = 0;
  const int16_t r = IfOnCurve(x, y, &a, &b, &t, &object);
  if ((r != 1 && r != 3) || a == nullptr || b == nullptr) return;
  const DrawPar& dp = Drw();
  XorPen pen;
  CPathPoint* n = new CPathPoint(x, y, 0);
  n->selected = 1;
  DrawSegment(a, b);
  n->prev = a;
  n->next = b;
  a->next = n;
  b->prev = n;
  DrawSegment(a, n);
  DrawSegment(n, b);
  n->DrawSelf();
  ++count;
  if (!MouseStillDown()) return;
  float lastX = x, lastY = y;
  DragWhileDown(dp, x, y, [&](float mx, float my, float, float) {
    EraseKnotAndSegments(n);
    n->outX = lastX;
    n->outY = lastY;
    n->inX = 2.0f * n->x - mx;
    n->inY = 2.0f * n->y - my;
    EraseKnotAndSegments(n);
    lastX = mx;
    lastY = my;
  });
  n->DrawSelf();
  n->selected = 0;
  n->DrawSelf();
}

void CPath::RemovePoint(float x, float y) {
  CPathPoint* k = IfOnPoint(x, y);
  if (k == nullptr) return;
  XorPen pen;
  CPathPoint* p = k->prev;
  CPathPoint* n = k->next;
  DrawSegment(p, k);
  DrawSegment(k, n);
  k->DrawSelf();
  // A knot that is its own neighbour (the last knot of a ring) leaves none.
  if (p == k) p = nullptr;
  if (n == k) n = nullptr;
  if (k->selected != 0) {
    CPathPoint* s = n != nullptr ? n : p;
    if (s != nullptr) {
      s->DrawSelf();
      s->selected = 1;
      s->DrawSelf();
    }
    current = s;
  }
  if (p != nullptr && n != nullptr) DrawSegment(p, n);
  if (p != nullptr) p->next = n;
  if (n != nullptr) n->prev = p;
  if (first == k) first = n;
  // The current knot never points at a freed knot.
  if (current == k) current = n != nullptr ? n : p;
  delete k;
  --count;
  if (count <= 0) {
    count = 0;
    first = nullptr;
    current = nullptr;
  }
}

void CPath::CornerPoint(float x, float y) {
  CPathPoint* k = IfOnPoint(x, y);
  if (k == nullptr) return;
  const DrawPar& dp = Drw();
  XorPen pen;
  ForEachKnot([](CPathPoint* s) {
    if (s->selected != 0) {
      s->DrawSelf();
      s->selected = 0;
      s->DrawSelf();
    }
  });
  EraseKnotAndSegments(k);
  k->selected = 1;
  k->outX = k->inX = k->x;
  k->outY = k->inY = k->y;
  EraseKnotAndSegments(k);
  k->kind = k->kind == 0 ? 1 : 0;
  current = k;
  DragWhileDown(dp, x, y, [&](float mx, float my, float dx, float dy) {
    EraseKnotAndSegments(k);
    k->outX = mx + dx;
    k->outY = my + dy;
    k->inX = 2.0f * k->x - mx + dx;
    k->inY = 2.0f * k->y - my + dy;
    EraseKnotAndSegments(k);
  });
}

void CPath::PutToAddPointMode() {
  if (closed != 0 || first == nullptr) return;
  XorPen pen;
  CPathPoint* last = nullptr;
  ForEachKnot([&](CPathPoint* k) {
    if (k->next == nullptr) {
      last = k;
    } else if (k->selected != 0) {
      k->DrawSelf();
      k->selected = 0;
      k->DrawSelf();
    }
  });
  if (last == nullptr) return;
  last->DrawSelf();
  last->selected = 1;
  last->DrawSelf();
  current = last;
}

void CPath::DeleteLastPoint() {
  if (closed != 0 || first == nullptr) return;
  CPathPoint* last = OpenChainLast(first, count);
  if (last == nullptr) return;  // a ring has no last knot to take away
  XorPen pen;
  CPathPoint* p = last->prev;
  if (p != nullptr) p->DrawSelf();
  last->DrawSelf();
  DrawSegment(p, last);
  --count;
  if (p != nullptr) {
    p->next = nullptr;
    p->selected = 1;
    p->DrawSelf();
    current = p;
  } else {
    current = nullptr;
  }
  if (last == first) first = nullptr;
  delete last;
  if (count <= 0) {
    count = 0;
    first = nullptr;
    current = nullptr;
  }
}

void CPath::MoveSelPathPoints(float dx, float dy) {
  XorPen pen;
  ForEachKnot([&](CPathPoint* k) {
    if (k->selected == 0) return;
    EraseKnotAndSegments(k);
    k->MovePoint(dx, dy);
    EraseKnotAndSegments(k);
  });
}
