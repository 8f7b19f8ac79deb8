// Pan frames and cursor shapes of the image box.
//
// A pan frame is a rectangle of the picture in 1/100000 of its size, drawn
// with eight handles through the pan mapping; with a frame scale other than
// 100 the frame scaled about its centre is drawn in yellow first.
//
// The brush outline and the cross-hair are drawn straight into the window in
// pattern XOR outside the draw event. Both share one remembered position and
// one shown flag, so the next call first erases what the last one drew; a
// draw of the box clears the flag, the image having covered the shape.
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;

namespace {

constexpr RGBColor kYellow{65535, 65535, 0};

Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

// (size - 1) x value / 100000, the product in integers (64 bits, so large
// pictures do not wrap), the division in single precision.
float UnitPixel(int32_t size, int32_t value) {
  return static_cast<float>(static_cast<int64_t>(size - 1) * value) / 100000.0f;
}

}  // namespace

void VMKimabox::DrawPan(GrafPtr port, Rect rect, int16_t index, RGBColor colour, int16_t copy,
                        int16_t) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  if (index < 0 || index > 2) return;
  const int32_t w = state_.srcWidth;
  const int32_t h = state_.srcHeight;
  const float x0 = UnitPixel(w, state_.panLeft);
  const float y0 = UnitPixel(h, state_.panTop);
  const float spanX = UnitPixel(w, state_.panRight) - x0;
  const float spanY = UnitPixel(h, state_.panBottom) - y0;
  // No picture yet, or a window with no extent: nothing to place a frame in.
  if (w <= 0 || h <= 0 || spanX == 0.0f || spanY == 0.0f) return;
  const float sx = static_cast<float>(dispWidth_) / spanX;
  const float sy = static_cast<float>(dispHeight_) / spanY;
  const int32_t ox = vmkviews::DisplayOriginH(rect, dispWidth_);
  const int32_t oy = vmkviews::DisplayOriginV(rect, dispHeight_);
  auto edgeX = [&](int32_t v) { return ox + static_cast<int32_t>(sx * (UnitPixel(w, v) - x0) + 0.5f); };
  auto edgeY = [&](int32_t v) { return oy + static_cast<int32_t>(sy * (UnitPixel(h, v) - y0) + 0.5f); };
  const int32_t left = edgeX(state_.frameLeft[index]);
  const int32_t right = edgeX(state_.frameRight[index]);
  const int32_t top = edgeY(state_.frameTop[index]);
  const int32_t bottom = edgeY(state_.frameBottom[index]);
  const int32_t cx = (left + right) / 2;
  const int32_t cy = (top + bottom) / 2;
  const int32_t p = state_.scaleTag;
  if (p != 100) {
    RGBForeColor(kYellow);
    FrameRect(MakeRect(cx + (left - cx) * p / 100, cy + (top - cy) * p / 100,
                       cx + (right - cx) * p / 100, cy + (bottom - cy) * p / 100));
  }
  RGBForeColor(colour);
  FrameRect(MakeRect(left, top, right, bottom));
  const int32_t handles[8][2] = {{cx, top},     {cx, bottom},   {left, cy},      {right, cy},
                                 {left, top},   {right, top},   {right, bottom}, {left, bottom}};
  for (const auto& hp : handles) FrameRect(MakeRect(hp[0] - 2, hp[1] - 2, hp[0] + 2, hp[1] + 2));
}

namespace {

// Port, clip and XOR pen of the cursor shapes; the clip stays at the
// control's bounds afterwards and the foreground colour is not touched.
class CursorPen {
 public:
  explicit CursorPen(ControlRef control)
      : previous_(GetPort()),
        port_(control != nullptr ? GetWindowPort(GetControlOwner(control)) : nullptr) {
    if (port_ == nullptr) return;
    SetPort(port_);
    ClipRect(GetControlBounds(control));
    GetPenState(&pen_);
    PenNormal();
    PenMode(patXor);
  }
  ~CursorPen() {
    if (port_ != nullptr) SetPenState(pen_);
    SetPort(previous_);
  }
  CursorPen(const CursorPen&) = delete;
  CursorPen& operator=(const CursorPen&) = delete;
  bool ok() const { return port_ != nullptr; }

 private:
  Port* previous_;
  Port* port_;
  PenState pen_;
};

}  // namespace

void VMKimabox::DrawBruShape(ControlRef control, int16_t show, int32_t x, int32_t y) {
  CursorPen pen(control);
  if (!pen.ok()) return;
  const int16_t rh = static_cast<int16_t>(state_.brushSize);
  const int16_t rv = static_cast<int16_t>(state_.brushSizeCopy);
  auto oval = [&](int32_t cx, int32_t cy) { FrameOval(MakeRect(cx - rh, cy - rv, cx + rh, cy + rv)); };
  if (cursorShown_ == 1) oval(cursorLastX_, cursorLastY_);
  if (show == 1) {
    oval(x, y);
    cursorLastX_ = x;
    cursorLastY_ = y;
    cursorShown_ = 1;
  } else {
    cursorShown_ = 0;
  }
}

void VMKimabox::DrawCrossShape(ControlRef control, int16_t show, int32_t x, int32_t y,
                               int32_t left, int32_t right, int32_t top, int32_t bottom) {
  CursorPen pen(control);
  if (!pen.ok()) return;
  auto cross = [&](int32_t cx, int32_t cy) {
    MoveTo(static_cast<int16_t>(left), static_cast<int16_t>(cy));
    LineTo(static_cast<int16_t>(right), static_cast<int16_t>(cy));
    MoveTo(static_cast<int16_t>(cx), static_cast<int16_t>(top));
    LineTo(static_cast<int16_t>(cx), static_cast<int16_t>(bottom));
  };
  if (cursorShown_ == 1) cross(cursorLastX_, cursorLastY_);
  if (show == 1) {
    cross(x, y);
    cursorLastX_ = x;
    cursorLastY_ = y;
    cursorShown_ = 1;
  } else {
    cursorShown_ = 0;
  }
}
