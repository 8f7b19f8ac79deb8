// Drawing paths, knots and marks on the drawing port, and the mouse and key
// services the editing loops use.
//
// Interactive feedback is drawn in XOR (pen mode 10) so that drawing a
// figure twice removes it. Every stroke ends with Line(0, 0): consecutive
// strokes share their joint pixel, which XOR would otherwise invert twice.
#include <algorithm>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "paths/path.h"
#include "paths/path_internal.h"
#include "platform/draw/port.h"
#include "platform/toolbox/api/ui_services.h"

namespace draw = plat::draw;
using paths_detail::PenScope;
using paths_detail::PortScope;

namespace paths_detail {

struct XorPen::Saved {
  draw::PenState pen;
};

XorPen::XorPen() : saved_(new Saved) {
  draw::GetPenState(&saved_->pen);
  draw::PenNormal();
  draw::PenMode(draw::patXor);
}

XorPen::~XorPen() {
  draw::SetPenState(saved_->pen);
  delete saved_;
}

bool MouseStillDown() { return plat::ui::StillDown(); }

Point MouseInPort() {
  Point p;
  plat::ui::GetMouse(&p);
  return p;
}

int16_t ModifierAlone(uint32_t mask) { return TestKeyModif(mask) != 0 ? 1 : 0; }

}  // namespace paths_detail

namespace {

// A curve point in port pixels: half added, then truncated toward zero.
int16_t RoundToPort(float v) { return paths_detail::Trunc16Held(static_cast<double>(v) + 0.5); }

Rect RectAround(Point c, int16_t r) {
  Rect rect;
  rect.left = static_cast<int16_t>(c.h - r);
  rect.top = static_cast<int16_t>(c.v - r);
  rect.right = static_cast<int16_t>(c.h + r);
  rect.bottom = static_cast<int16_t>(c.v + r);
  return rect;
}

}  // namespace

void CPathPoint::DrawSelf() {
  PortScope port(drawPar);
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const Point k = PathToPort(dp, x, y);
  const Point out = PathToPort(dp, outX, outY);
  const Point in = PathToPort(dp, inX, inY);
  const Rect square = RectAround(k, 3);
  if (selected != 0) {
    draw::PaintRect(square);
  } else {
    draw::FrameRect(square);
  }
  if (selected == 0) return;
  // A handle within the knot's own pixel is not shown.
  for (const Point& h : {out, in}) {
    if (h.h == k.h && h.v == k.v) continue;
    draw::FrameRect(RectAround(h, 2));
    draw::MoveTo(k.h, k.v);
    draw::LineTo(h.h, h.v);
  }
}

int32_t CPath::ug_spline(Point p0, Point p1, Point p2, Point p3, int16_t step) {
  if (step <= 0) step = 1;
  const paths_detail::Curve c(p0.h, p0.v, p1.h, p1.v, p2.h, p2.v, p3.h, p3.v);
  c.SetUp();
  int16_t lastH = 0, lastV = 0;
  for (int i = 0; i <= 100; i += step) {
    float x, y;
    c.At(static_cast<float>(i) / 100.0f, &x, &y);
    const int16_t h = RoundToPort(x);
    const int16_t v = RoundToPort(y);
    if (i == 0) {
      draw::MoveTo(h, v);
    } else {
      draw::MoveTo(lastH, lastV);
      draw::LineTo(h, v);
      draw::Line(0, 0);
    }
    lastH = h;
    lastV = v;
  }
  draw::MoveTo(lastH, lastV);
  draw::LineTo(p3.h, p3.v);
  draw::Line(0, 0);
  return 0;
}

void CPath::DrawSegment(CPathPoint* a, CPathPoint* b) {
  if (a == nullptr || b == nullptr) return;
  const DrawPar& dp = Drw();
  draw::PenState saved;
  draw::GetPenState(&saved);
  draw::PenNormal();
  draw::PenMode(draw::patXor);
  ug_spline(PathToPort(dp, a->x, a->y), PathToPort(dp, a->outX, a->outY),
            PathToPort(dp, b->inX, b->inY), PathToPort(dp, b->x, b->y), 3);
  draw::SetPenState(saved);
}

void CPath::SimpleDraw() {
  const DrawPar& dp = Drw();
  ForEachKnot([&](CPathPoint* k) {
    if (k->next == nullptr) return;
    const CPathPoint* n = k->next;
    ug_spline(PathToPort(dp, k->x, k->y), PathToPort(dp, k->outX, k->outY),
              PathToPort(dp, n->inX, n->inY), PathToPort(dp, n->x, n->y), 3);
  });
}

void CPath::DrawPath(int16_t mode, RGBColor c) {
  PortScope port(drawPar);
  PenScope pen(mode, c);
  const DrawPar& dp = Drw();
  // Every knot with a next knot draws its segment: a ring made at once is
  // drawn closed even while its flag says open, as it always was.
  ForEachKnot([&](CPathPoint* k) {
    if (active != 0) k->DrawSelf();
    if (k->next == nullptr) return;
    const CPathPoint* n = k->next;
    ug_spline(PathToPort(dp, k->x, k->y), PathToPort(dp, k->outX, k->outY),
              PathToPort(dp, n->inX, n->inY), PathToPort(dp, n->x, n->y), 3);
  });
  if (markCount != 0) DrawMarker(mode, c);
}

void CPath::DeselectAll() {
  ForEachKnot([](CPathPoint* k) {
    if (k->selected == 0) return;
    k->DrawSelf();
    k->selected = 0;
    k->DrawSelf();
  });
}

void CPath::DrawMarker(int16_t mode, RGBColor c) {
  const int n = std::min<int>(markCount, kMaxMarks);
  if (n <= 0) return;
  PortScope port(drawPar);
  PenScope pen(mode, c);
  const DrawPar& dp = Drw();
  const float total = GetAcuPathLength();
  for (int i = 0; i < n; ++i) {
    float x = 0.0f, y = 0.0f, ang = 0.0f;
    GetPointAtLength(0, total * marks[i], &ang, &x, &y, nullptr, nullptr);
    draw::FrameOval(RectAround(PathToPort(dp, x, y), 5));
  }
}

void CPath::DoInteractiveChangeOfMark(int16_t h, int16_t v) {
  const DrawPar& dp = Drw();
  const float x0 = PortToPathX(dp, h), y0 = PortToPathY(dp, v);
  const int k = ifOnMarkedLength(x0, y0);
  const int n = std::min<int>(markCount, kMaxMarks);
  if (k <= 0 || k > n) return;
  const float total = GetAcuPathLength();
  // Marks are fractions of the length; without length they cannot move.
  if (!(total > 0.0f)) return;
  const int prevIdx = k == 1 ? n - 1 : k - 2;
  const int nextIdx = k == n ? 0 : k;
  const float lo = total * marks[prevIdx];
  const float hi = total * marks[nextIdx];
  const bool allMarks = paths_detail::ModifierAlone(optionKey) == 0;
  float base = total * marks[k - 1];

  auto ovalAt = [&](float fraction) {
    float x = 0.0f, y = 0.0f, ang = 0.0f;
    GetPointAtLength(0, total * fraction, &ang, &x, &y, nullptr, nullptr);
    return RectAround(PathToPort(dp, x, y), 5);
  };
  Rect markRect = ovalAt(marks[k - 1]);

  paths_detail::DragWhileDown(dp, x0, y0, [&](float mx, float my, float, float) {
    float L = 0.0f;
    if (GetLengthAtPoint(0, &L, mx, my, nullptr, nullptr) != 0) return;
    const bool between = lo < hi ? (lo < L && L < hi) : (hi < lo && ((lo < L && L <= total) ||
                                                                     (0.0f <= L && L < hi)));
    if (!between) return;
    if (allMarks) {
      for (int i = 0; i < n; ++i) draw::FrameOval(ovalAt(marks[i]));
      for (int i = 0; i < n; ++i) {
        float len = total * marks[i] + (L - base);
        if (len < 0.0f) len += total;
        if (len > total) len -= total;
        marks[i] = len / total;
      }
      for (int i = 0; i < n; ++i) draw::FrameOval(ovalAt(marks[i]));
      base = L;
    } else {
      draw::FrameOval(markRect);
      marks[k - 1] = L / total;
      markRect = ovalAt(marks[k - 1]);
      draw::FrameOval(markRect);
    }
  });
}
