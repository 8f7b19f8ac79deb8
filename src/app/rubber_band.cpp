// The rubber-band loops. Each step frames the old rectangle again to erase
// it, changes it, clamps it into the limits and frames it anew; the frame
// is drawn with the pen normal and in XOR.
#include "app/rubber_band.h"

#include <cstdlib>

#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "platform/toolbox/api/ui_services.h"

namespace {

namespace draw = plat::draw;
namespace ui = plat::ui;

struct Box {
  int32_t l, r, b, t;
};

class RectDrag {
 public:
  RectDrag(draw::Port* port, int32_t offH, int32_t offV) : offH_(offH), offV_(offV) {
    draw::GetForeColor(&fore_);  // of the caller's port
    saved_ = draw::GetPort();
    if (port != nullptr) draw::SetPort(port);
    draw::GetPenState(&pen_);
    draw::PenNormal();
    draw::PenMode(draw::patXor);
  }
  ~RectDrag() {
    draw::SetPenState(pen_);
    draw::SetPort(saved_);
    draw::RGBForeColor(fore_);
  }
  RectDrag(const RectDrag&) = delete;
  RectDrag& operator=(const RectDrag&) = delete;

  void Frame(const Box& b) const {
    draw::FrameRect(Rect{static_cast<int16_t>(offV_ + b.t), static_cast<int16_t>(offH_ + b.l),
                         static_cast<int16_t>(offV_ + b.b), static_cast<int16_t>(offH_ + b.r)});
  }

 private:
  int32_t offH_, offV_;
  draw::Port* saved_;
  draw::PenState pen_;
  RGBColor fore_;
};

// The limits, in the order the tools apply them, with the size kept.
void Clamp(Box& x, int32_t w, int32_t h, int32_t maxV, int32_t maxH) {
  if (x.b > maxV) {
    x.b = maxV;
    x.t = maxV - h;
  }
  if (x.t < 0) {
    x.t = 0;
    x.b = h;
  }
  if (x.r > maxH) {
    x.r = maxH;
    x.l = maxH - w;
  }
  if (x.l < 0) {
    x.l = 0;
    x.r = w;
  }
}

Point MouseNow() {
  Point p;
  ui::GetMouse(&p);
  return p;
}

// Frames the box and follows the mouse from `prev` until the button comes
// up: each step with a moved mouse erases the frame, lets
// step(mouse, dh, dv) change and clamp the box and frames it anew. The last
// frame stays for the caller to erase.
template <typename Step>
void FrameDrag(draw::Port* port, const RectDrag& drag, Point prev, Box& x, Step step) {
  drag.Frame(x);
  int16_t result = ui::kTrackMouseDragged;
  while (result != ui::kTrackMouseUp) {
    Point p;
    ui::TrackMouseLocation(port, &p, &result);
    if (p.h == prev.h && p.v == prev.v) continue;
    drag.Frame(x);
    step(p, p.h - prev.h, p.v - prev.v);
    drag.Frame(x);
    prev = p;
  }
}

}  // namespace

void Mov_ssrec(draw::Port* port, int32_t maxV, int32_t maxH, int32_t offH, int32_t offV, int32_t* left,
               int32_t* right, int32_t* bottom, int32_t* top) {
  RectDrag drag(port, offH, offV);
  Box x{*left, *right, *bottom, *top};
  const int32_t w = x.r - x.l, h = x.b - x.t;
  FrameDrag(port, drag, MouseNow(), x, [&](Point, int32_t dh, int32_t dv) {
    x.l += dh;
    x.r += dh;
    x.b += dv;
    x.t += dv;
    Clamp(x, w, h, maxV, maxH);
    *left = x.l;
    *bottom = x.b;
  });
  x.r = x.l + w;
  x.t = x.b - h;
  *left = x.l;
  *bottom = x.b;
  *right = x.r;
  *top = x.t;
  drag.Frame(x);
}

void Resize_ssrec(draw::Port* port, int16_t mode, int16_t keepRatio, int32_t maxV, int32_t maxH, int32_t offH,
                  int32_t offV, int32_t* left, int32_t* right, int32_t* bottom, int32_t* top) {
  RectDrag drag(port, offH, offV);
  Box x{*left, *right, *bottom, *top};
  const Box start = x;
  const int32_t w0 = start.r - start.l, tb0 = start.t - start.b;
  const int32_t ch = (start.l + start.r) / 2, cv = (start.b + start.t) / 2;
  int32_t w = w0, h = start.b - start.t;
  const Point press = MouseNow();
  const int32_t hs = press.h - offH, vs = press.v - offV;
  FrameDrag(port, drag, press, x, [&](Point p, int32_t dh, int32_t dv) {
    switch (mode) {
      case 1: x.l += dh; x.b += dv; break;
      case 2: x.r += dh; x.b += dv; break;
      case 3: x.l += dh; x.t += dv; break;
      case 4: x.r += dh; x.t += dv; break;
      case 5: {
        // A first location on the centre line gives no factor on that axis;
        // that axis then keeps its size instead of dividing by zero.
        const int32_t h1 = p.h - offH, v1 = p.v - offV;
        const int32_t fh = hs == ch ? 100 : 100 * std::abs(h1 - ch) / std::abs(hs - ch);
        const int32_t fv = vs == cv ? 100 : 100 * std::abs(v1 - cv) / std::abs(vs - cv);
        x.l = ch + fh * (start.l - ch) / 100;
        x.r = ch + fh * (start.r - ch) / 100;
        x.b = cv + fv * (start.b - cv) / 100;
        x.t = cv + fv * (start.t - cv) / 100;
        break;
      }
      default: break;
    }
    if (keepRatio == 1) {
      // A start rectangle without width or height has no ratio to keep.
      if (w0 <= tb0) {
        if (w0 != 0) x.t = x.b + tb0 * (x.r - x.l) / w0;
      } else if (tb0 != 0) {
        x.r = x.l + w0 * (x.t - x.b) / tb0;
      }
    }
    Clamp(x, w, h, maxV, maxH);
    w = x.r - x.l;
    h = x.b - x.t;
    *left = x.l;
    *right = x.r;
    *bottom = x.b;
    *top = x.t;
  });
  drag.Frame(x);
}

int16_t Track_ssrec(draw::Port* port, int32_t maxV, int32_t maxH, int32_t offH, int32_t offV, Rect clip,
                    int32_t* left, int32_t* right, int32_t* bottom, int32_t* top, int16_t handles) {
  draw::Port* saved = draw::GetPort();
  if (port != nullptr) draw::SetPort(port);
  draw::ClipRect(clip);
  const int32_t l = *left, r = *right, b = *bottom, t = *top;
  Point m;
  ui::GetMouse(&m);
  const int32_t h = m.h - offH, v = m.v - offV;
  auto inside = [h, v](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    return h >= x0 && h < x1 && v >= y0 && v < y1;
  };
  auto onHandle = [&](int32_t x, int32_t y) { return inside(x - 3, y - 3, x + 3, y + 3); };
  int16_t done = 1;
  if (handles == 0) {
    Mov_ssrec(port, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (TestKeyModif(shiftKey) == 1) {
    Resize_ssrec(port, 5, 0, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (onHandle(l, b)) {
    Resize_ssrec(port, 1, 0, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (onHandle(r, b)) {
    Resize_ssrec(port, 2, 0, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (onHandle(l, t)) {
    Resize_ssrec(port, 3, 0, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (onHandle(r, t)) {
    Resize_ssrec(port, 4, 0, maxV, maxH, offH, offV, left, right, bottom, top);
  } else if (inside(l, t, r, b)) {
    Mov_ssrec(port, maxV, maxH, offH, offV, left, right, bottom, top);
  } else {
    done = 0;
  }
  draw::SetPort(saved);
  return done;
}
