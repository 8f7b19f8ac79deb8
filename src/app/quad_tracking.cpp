// The quad editor's drag loops. Every loop reads the mouse through the
// toolbox's tracking call, acts only when the mouse has moved, and erases
// each outline by drawing it again with the pattern it was drawn with.
#include "app/quad_tracking.h"

#include <algorithm>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "platform/toolbox/api/ui_services.h"

namespace {

using plat::draw::PenState;
namespace ui = plat::ui;

constexpr uint32_t kCmd = cmdKey;
constexpr uint32_t kShift = shiftKey;
constexpr uint32_t kCmdShift = cmdKey | shiftKey;
constexpr uint32_t kOption = optionKey;
constexpr uint32_t kCmdShiftOption = cmdKey | shiftKey | optionKey;
constexpr uint32_t kControl = controlKey;

struct Quad {
  float x[4];
  float y[4];
};

int16_t T(float v) { return static_cast<int16_t>(v); }  // truncation toward zero

// The outline as the quad's frame puts it on the port.
void Outline(int16_t offH, int16_t offV, const Quad& q) {
  ugxy_quad(offH, offV, T(q.x[0]), T(q.y[0]), T(q.x[1]), T(q.y[1]), T(q.x[2]), T(q.y[2]), T(q.x[3]), T(q.y[3]));
}

// Pen set-up of every drag: XOR, the rest normal, so the first outline is
// solid; later outlines alternate between the two list patterns.
class CrawlingPen {
 public:
  CrawlingPen() {
    plat::draw::PenMode(plat::draw::patXor);
    plat::draw::PenNormal();
    plat::draw::PenMode(plat::draw::patXor);
  }
  void Alternate() {
    current_ = current_ == 2 ? 1 : 2;
    plat::draw::PenPat(plat::draw::GetIndPattern(kOutlinePatternList, current_));
  }

 private:
  int16_t current_ = 0;  // solid; pattern 2 comes first
};

// Saves and restores the current port, the pen and the colours of the port
// that the drag draws into.
class DragScope {
 public:
  explicit DragScope(GrafPtr port) : saved_(plat::draw::GetPort()) {
    if (port != nullptr) plat::draw::SetPort(port);
    plat::draw::GetPenState(&pen_);
    plat::draw::GetForeColor(&fore_);
  }
  ~DragScope() {
    plat::draw::SetPenState(pen_);
    plat::draw::RGBForeColor(fore_);
    plat::draw::SetPort(saved_);
  }
  DragScope(const DragScope&) = delete;
  DragScope& operator=(const DragScope&) = delete;

 private:
  GrafPtr saved_;
  PenState pen_;
  RGBColor fore_;
};

struct Mouse {
  int16_t h = 0, v = 0;
  int16_t result = ui::kTrackMouseDragged;
};

Mouse Track(GrafPtr port, int16_t offH, int16_t offV) {
  Point p;
  Mouse m;
  ui::TrackMouseLocation(port, &p, &m.result);
  m.h = static_cast<int16_t>(p.h - offH);
  m.v = static_cast<int16_t>(p.v - offV);
  return m;
}

void Handles(const Quad& q, float hx[9], float hy[9]) {
  for (int i = 0; i < 4; ++i) {
    hx[i] = q.x[i];
    hy[i] = q.y[i];
    hx[4 + i] = (q.x[i] + q.x[(i + 1) % 4]) / 2;
    hy[4 + i] = (q.y[i] + q.y[(i + 1) % 4]) / 2;
  }
  hx[8] = (hx[4] + hx[6]) / 2;
  hy[8] = (hy[4] + hy[6]) / 2;
}

void DialQuad(GrafPtr port, int16_t offH, int16_t offV, const Quad& q) {
  ugxy_dialquad(port, offH, offV, q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3]);
}

// The drag of the tools with a crawling outline, once the first outline is
// drawn: from the mouse at `prev`, each step with a moved mouse erases the
// outline, lets step(mouse, previous mouse) change the quad, switches the
// pattern and draws it again; the last outline is erased when the button
// comes up. True when the mouse moved at all.
template <typename Step>
bool CrawlingDrag(GrafPtr port, int16_t offH, int16_t offV, Mouse prev, CrawlingPen& pen, Quad& q,
                  Step step) {
  Mouse m = prev;
  bool moved = false;
  while (m.result != ui::kTrackMouseUp) {
    m = Track(port, offH, offV);
    if (m.h == prev.h && m.v == prev.v) continue;
    Outline(offH, offV, q);
    step(m, prev);
    pen.Alternate();
    Outline(offH, offV, q);
    prev = m;
    moved = true;
  }
  Outline(offH, offV, q);
  return moved;
}

// Whole-quad move: each step adds the mouse step to every corner.
int32_t MoveQuad(GrafPtr port, int16_t offH, int16_t offV, Quad& q) {
  DragScope scope(port);
  CrawlingPen pen;
  Outline(offH, offV, q);
  const bool moved = CrawlingDrag(port, offH, offV, Track(port, offH, offV), pen, q,
                                  [&q](const Mouse& m, const Mouse& prev) {
                                    for (int k = 0; k < 4; ++k) {
                                      q.x[k] += static_cast<float>(m.h - prev.h);
                                      q.y[k] += static_cast<float>(m.v - prev.v);
                                    }
                                  });
  return moved ? 1 : -1;
}

// Scaling about the centre of the bounding box at the press, from the
// corners `start`; P1 is the reference corner and the absolute factors keep
// the quad from flipping.
int32_t ScaleAboutCentre(GrafPtr port, int16_t offH, int16_t offV, const Quad& start, float cx, float cy,
                         CrawlingPen& pen, Quad& q) {
  q = start;
  Outline(offH, offV, q);
  const bool stepped = CrawlingDrag(
      port, offH, offV, Track(port, offH, offV), pen, q, [&](const Mouse& m, const Mouse&) {
        const float sx =
            std::fabs(start.x[0] - cx) <= 0.01f ? 0.1f : std::fabs((m.h - cx) / (start.x[0] - cx));
        const float sy =
            std::fabs(start.y[0] - cy) <= 0.01f ? 0.1f : std::fabs((m.v - cy) / (start.y[0] - cy));
        for (int k = 0; k < 4; ++k) {
          q.x[k] = cx + sx * (start.x[k] - cx);
          q.y[k] = cy + sy * (start.y[k] - cy);
        }
      });
  return stepped ? 11 : -1;
}

int32_t Rotate(GrafPtr port, int16_t offH, int16_t offV, const Quad& start, float cx, float cy, CrawlingPen& pen,
               Quad& q) {
  Outline(offH, offV, q);
  Mouse m = Track(port, offH, offV);
  float a0 = 0.0f;
  A_ang_2point(cx, cy, m.h, m.v, &a0);
  float prevDelta = 0.0f;
  while (m.result != ui::kTrackMouseUp) {
    m = Track(port, offH, offV);
    float a = 0.0f;
    A_ang_2point(cx, cy, m.h, m.v, &a);
    float delta = a - a0;
    if (std::fabs(delta - prevDelta) <= 0.01f) continue;
    Outline(offH, offV, q);
    for (int k = 0; k < 4; ++k) A_point_fromAng(cx, cy, start.x[k], start.y[k], &q.x[k], &q.y[k], delta);
    pen.Alternate();
    Outline(offH, offV, q);
    prevDelta = delta;
  }
  Outline(offH, offV, q);
  return 9;
}

// Corner drag of corner i; `start` and the handle start values are the
// quad at the press. Returns the code of the whole drag.
int32_t CornerDrag(GrafPtr port, int16_t offH, int16_t offV, int i, int16_t constraint, const Quad& start,
                   float cx, float cy, CrawlingPen& pen, Quad& q) {
  const int o = (i + 2) % 4;
  // Aspect of the quad read as P1 top-left, P2 top-right, P3 bottom-right.
  const float dx21 = start.x[1] - start.x[0];
  const bool ratioKnown = std::fabs(dx21) > 0.01f;
  const float ratio = ratioKnown ? (start.y[1] - start.y[2]) / dx21 : 0.0f;
  DialQuad(port, offH, offV, q);
  Mouse m;
  do {
    m = Track(port, offH, offV);
    if (m.h == q.x[i] && m.v == q.y[i]) continue;
    DialQuad(port, offH, offV, q);
    const float dx = m.h - q.x[i], dy = m.v - q.y[i];
    const uint32_t mods = ui::GetCurrentKeyModifiers();
    if (mods == kCmd) {
      if (constraint == 0) {
        q.x[i] = m.h;
        q.y[i] = m.v;
      }
    } else if (mods == kCmdShift) {
      if (constraint == 0 || constraint == 2) {
        q.x[i] += dx;
        q.y[i] += dy;
        q.x[o] -= dx;
        q.y[o] -= dy;
      }
    } else if (mods == kCmdShiftOption) {
      if (constraint == 0) {
        for (int k = 0; k < 4; ++k) {
          float s = (k == i || k == o) ? 1.0f : -1.0f;
          q.x[k] += s * dx;
          q.y[k] += s * dy;
        }
      }
    } else if (mods == kOption) {
      // The rest of the drag scales about the centre, from the press.
      return ScaleAboutCentre(port, offH, offV, start, cx, cy, pen, q);
    } else {
      int v = m.v;
      if (mods == kShift) {
        const float x1 = start.x[0], x2 = start.x[1], x3 = start.x[2];
        const float y2 = start.y[1], y3 = start.y[2];
        // The ratio is undefined when P1 and P2 share x; the aspect is then
        // left alone rather than computed from an infinite slope.
        const bool applies = ratioKnown && (i < 2 || std::fabs(x3 - x1) > 0.01f);
        if (applies) {
          switch (i) {
            case 0: v = static_cast<int>(y3 + static_cast<int>(ratio * (x2 - m.h) + 0.5f)); break;
            case 1: v = static_cast<int>(y3 + static_cast<int>(ratio * (m.h - x1) + 0.5f)); break;
            case 2: v = static_cast<int>(y2 - static_cast<int>(ratio * (m.h - x1) + 0.5f)); break;
            default: v = static_cast<int>(y2 - static_cast<int>(ratio * (x2 - m.h) + 0.5f)); break;
          }
        }
      }
      const float xi = start.x[i], xo = start.x[o], yi = start.y[i], yo = start.y[o];
      const float sx = std::fabs(xi - xo) <= 0.01f ? 0.1f : (m.h - xo) / (xi - xo);
      const float sy = std::fabs(yi - yo) <= 0.01f ? 0.1f : (v - yo) / (yi - yo);
      for (int k = 0; k < 4; ++k) {
        q.x[k] = xo + sx * (start.x[k] - xo);
        q.y[k] = yo + sy * (start.y[k] - yo);
      }
    }
    DialQuad(port, offH, offV, q);
  } while (m.result != ui::kTrackMouseUp);
  DialQuad(port, offH, offV, q);
  return i;
}

// Edge drag of handle j (4..7).
int32_t EdgeDrag(GrafPtr port, int16_t offH, int16_t offV, int j, int16_t constraint, const Quad& start,
                 int16_t pressH, int16_t pressV, Quad& q) {
  static constexpr int kOpposite[4] = {6, 7, 4, 5};
  const int a = j - 4, b = (j - 3) % 4;
  const int o = kOpposite[j - 4];
  const int oa = o - 4, ob = (o - 3) % 4;
  // Partner of each corner on the opposite edge.
  auto partner = [j](int c) {
    if (j == 4 || j == 6) return 3 - c;  // P1-P4, P2-P3
    return c ^ 1;                        // P1-P2, P3-P4
  };
  float sx0[9], sy0[9], hx[9], hy[9];
  Handles(start, sx0, sy0);
  Handles(q, hx, hy);
  DialQuad(port, offH, offV, q);
  while (ui::StillDown()) {
    Mouse m = Track(port, offH, offV);
    if (m.h == pressH && m.v == pressV) continue;
    DialQuad(port, offH, offV, q);
    const float dx = m.h - hx[j], dy = m.v - hy[j];
    const uint32_t mods = ui::GetCurrentKeyModifiers();
    if (mods == kCmdShift) {
      if (constraint == 0) {
        for (int c : {a, b}) {
          q.x[c] += dx;
          q.y[c] += dy;
        }
        for (int c : {oa, ob}) {
          q.x[c] -= dx;
          q.y[c] -= dy;
        }
        hx[j] += dx;
        hy[j] += dy;
        hx[o] -= dx;
        hy[o] -= dy;
      }
    } else if (mods == kCmd) {
      if (constraint == 0) {
        for (int c : {a, b}) {
          q.x[c] += dx;
          q.y[c] += dy;
        }
        hx[j] += dx;
        hy[j] += dy;
      }
    } else {
      const float sx = std::fabs(sx0[j] - sx0[o]) <= 0.01f ? 0.1f : (m.h - sx0[o]) / (sx0[j] - sx0[o]);
      const float sy = std::fabs(sy0[j] - sy0[o]) <= 0.01f ? 0.1f : (m.v - sy0[o]) / (sy0[j] - sy0[o]);
      hx[j] = sx0[o] + sx * (sx0[j] - sx0[o]);
      hy[j] = sy0[o] + sy * (sy0[j] - sy0[o]);
      for (int c : {a, b}) {
        const int p = partner(c);
        q.x[c] = start.x[p] + sx * (start.x[c] - start.x[p]);
        q.y[c] = start.y[p] + sy * (start.y[c] - start.y[p]);
      }
    }
    DialQuad(port, offH, offV, q);
  }
  DialQuad(port, offH, offV, q);
  return j;
}

int32_t CreateQuad(GrafPtr port, int16_t offH, int16_t offV, int16_t hp, int16_t vp, CrawlingPen& pen, Quad& q) {
  for (int k = 0; k < 4; ++k) {
    q.x[k] = hp;
    q.y[k] = vp;
  }
  Outline(offH, offV, q);
  const bool moved = CrawlingDrag(port, offH, offV, Mouse{hp, vp, ui::kTrackMouseDragged}, pen, q,
                                  [&q](const Mouse& m, const Mouse&) {
                                    q.x[1] = m.h;
                                    q.x[2] = m.h;
                                    q.y[2] = m.v;
                                    q.y[3] = m.v;
                                  });
  return moved ? 12 : -1;
}

}  // namespace

void ugxy_quad(int16_t offH, int16_t offV, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3, int16_t y3,
               int16_t x4, int16_t y4) {
  using namespace plat::draw;
  MoveTo(static_cast<int16_t>(offH + x1), static_cast<int16_t>(offV + y1));
  LineTo(static_cast<int16_t>(offH + x2), static_cast<int16_t>(offV + y2));
  LineTo(static_cast<int16_t>(offH + x3), static_cast<int16_t>(offV + y3));
  LineTo(static_cast<int16_t>(offH + x4), static_cast<int16_t>(offV + y4));
  LineTo(static_cast<int16_t>(offH + x1), static_cast<int16_t>(offV + y1));
}

void ugxy_dialquad(GrafPtr port, int16_t offH, int16_t offV, float x1, float y1, float x2, float y2, float x3,
                   float y3, float x4, float y4) {
  using namespace plat::draw;
  GrafPtr saved = GetPort();
  if (port != nullptr) SetPort(port);
  PenState caller;
  GetPenState(&caller);
  PenPat(GetIndPattern(kOutlinePatternList, 1));
  ugxy_quad(offH, offV, T(x1), T(y1), T(x2), T(y2), T(x3), T(y3), T(x4), T(y4));
  SetPenState(caller);
  PenMode(patXor);
  auto r = [](float v) { return static_cast<int>(v + 0.5f); };
  const float xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
  int hx[9], hy[9];
  for (int i = 0; i < 4; ++i) {
    hx[i] = r(xs[i]);
    hy[i] = r(ys[i]);
    hx[4 + i] = r((xs[i] + xs[(i + 1) % 4]) / 2);
    hy[4 + i] = r((ys[i] + ys[(i + 1) % 4]) / 2);
  }
  hx[8] = r((hx[4] + hx[6]) / 2.0f);
  hy[8] = r((hy[4] + hy[6]) / 2.0f);
  for (int k = 0; k < 9; ++k) {
    int x = offH + hx[k], y = offV + hy[k];
    FrameRect(Rect{static_cast<int16_t>(y - 3), static_cast<int16_t>(x - 3), static_cast<int16_t>(y + 3),
                   static_cast<int16_t>(x + 3)});
  }
  SetPenState(caller);
  SetPort(saved);
}

int32_t ug_movquad(GrafPtr port, int16_t offH, int16_t offV, float* x1, float* y1, float* x2, float* y2, float* x3,
                   float* y3, float* x4, float* y4) {
  Quad q{{*x1, *x2, *x3, *x4}, {*y1, *y2, *y3, *y4}};
  int32_t result = MoveQuad(port, offH, offV, q);
  *x1 = q.x[0], *y1 = q.y[0], *x2 = q.x[1], *y2 = q.y[1];
  *x3 = q.x[2], *y3 = q.y[2], *x4 = q.x[3], *y4 = q.y[3];
  return result;
}

int32_t updatequad(GrafPtr port, int16_t offH, int16_t offV, Rect clip, float* x1, float* y1, float* x2, float* y2,
                   float* x3, float* y3, float* x4, float* y4, int16_t* flag, int16_t, int16_t constraint,
                   int16_t create, int16_t) {
  Quad q{{*x1, *x2, *x3, *x4}, {*y1, *y2, *y3, *y4}};
  const Quad start = q;
  int32_t code = -1;
  {
    DragScope scope(port);
    plat::draw::ClipRect(clip);  // stays after the drag
    CrawlingPen pen;
    Mouse press = Track(port, offH, offV);
    const int16_t h = press.h, v = press.v;
    const uint32_t mods = ui::GetCurrentKeyModifiers();
    if (create == 1) {
      code = mods == kControl ? (MoveQuad(port, offH, offV, q) == 1 ? 10 : -1)
                              : CreateQuad(port, offH, offV, h, v, pen, q);
    } else {
      float hx[9], hy[9];
      Handles(q, hx, hy);
      float minX = q.x[0], maxX = q.x[0], minY = q.y[0], maxY = q.y[0];
      for (int k = 1; k < 4; ++k) {
        minX = std::min(minX, q.x[k]);
        maxX = std::max(maxX, q.x[k]);
        minY = std::min(minY, q.y[k]);
        maxY = std::max(maxY, q.y[k]);
      }
      const float cx = (minX + maxX) / 2, cy = (minY + maxY) / 2;
      if (flag != nullptr) *flag = 0;
      int hit = -1;
      for (int k = 0; k < 8 && hit < 0; ++k)
        if (std::fabs(h - hx[k]) < 10.0f && std::fabs(v - hy[k]) < 10.0f) hit = k;
      if (mods == kShift) {
        code = ScaleAboutCentre(port, offH, offV, start, cx, cy, pen, q);
      } else if (mods == kControl) {
        code = MoveQuad(port, offH, offV, q) == 1 ? 10 : -1;
      } else if (hit >= 0 && hit < 4) {
        code = CornerDrag(port, offH, offV, hit, constraint, start, cx, cy, pen, q);
      } else if (hit >= 4) {
        code = EdgeDrag(port, offH, offV, hit, constraint, start, h, v, q);
      } else if (minX < h && h < maxX && minY < v && v < maxY) {
        code = MoveQuad(port, offH, offV, q) == 1 ? 9 : -1;
      } else if (constraint == 0) {
        code = Rotate(port, offH, offV, start, cx, cy, pen, q);
      } else {
        code = -1;
      }
    }
  }
  *x1 = q.x[0], *y1 = q.y[0], *x2 = q.x[1], *y2 = q.y[1];
  *x3 = q.x[2], *y3 = q.y[2], *x4 = q.x[3], *y4 = q.y[3];
  if (flag != nullptr) *flag = 1;
  return code;
}

int32_t updaterect(GrafPtr port, int16_t offH, int16_t offV, Rect clip, Rect* rect, Rect* frame, int16_t* flag,
                   int16_t value) {
  if (rect == nullptr || frame == nullptr) return 0;
  plat::draw::ClipRect(*frame);
  const int16_t fl = frame->left, ft = frame->top;
  float x1 = static_cast<float>(rect->left + fl), y1 = static_cast<float>(rect->top + ft);
  float x2 = static_cast<float>(rect->right + fl), y2 = y1;
  float x3 = x2, y3 = static_cast<float>(rect->bottom + ft);
  float x4 = x1, y4 = y3;
  updatequad(port, offH, offV, clip, &x1, &y1, &x2, &y2, &x3, &y3, &x4, &y4, flag, value, 1, 0, 0);
  rect->top = static_cast<int16_t>(static_cast<int16_t>(y1) - ft);
  rect->left = static_cast<int16_t>(static_cast<int16_t>(x1) - fl);
  rect->right = static_cast<int16_t>(static_cast<int16_t>(x2) - fl);
  rect->bottom = static_cast<int16_t>(static_cast<int16_t>(y4) - ft);
  return 0;
}
