// The image box's mouse editing: one call handles one press, from the button
// going down to its release, running every tool whose mode is on in a fixed
// order, each by itself.
//
// Geometry shared by the tools: the port is the window's, bounds the view's
// bounds in it; the displayed image lies centred in the view at
// origin = rnd((view size - displayed size) x 0.5 + bounds corner); the
// visible window of the picture is (size - 1) x pan / 100000 per edge and the
// display scale is displayed size / window extent (display pixels per
// picture pixel).
//
// Drag loop: every drag runs on TrackMouseLocation until the mouse-up, with
// one result variable for the whole call, set to 1 at its start; a drag that
// follows a finished one within the same press therefore does not run. A step
// works only when the point moved since the last one handled. Feedback is in
// pattern XOR.
#include <algorithm>

#include "app/core/session_state.h"
#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "app/quad_tracking.h"
#include "engines/patterns/draw_par_keeper.h"
#include "platform/toolbox/api/ui_services.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"
#include "views/image_box.h"
#include "views/image_box_drawing.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;
using vmkviews::Rnd;

namespace {

constexpr RGBColor kWhite{65535, 65535, 65535};
constexpr RGBColor kBlack{0, 0, 0};

}  // namespace

// The tools' pauses and drags let the window's loop run on, and a second
// press already queued (the other half of a double click) can arrive there,
// inside this one: the tools would then run twice over the same paths and
// masks, the inner press ending while the outer still holds them. A press
// that comes while one is tracked is dropped, as the button cannot go down
// twice.
void VMKimabox::TrackMouse(EventRef event, ControlRef view, const Context& context) {
  if (view == nullptr || tracking_) return;
  tracking_ = true;
  GrafPtr port = GetWindowPort(GetControlOwner(view));
  const Rect bounds = GetControlBounds(view);
  const Rect image = ImageRect(view);
  int16_t result = 1;
  if (pickCoordOn_ == 1) {
    cursorX_ = static_cast<int16_t>(event->viewPoint.x);
    cursorY_ = static_cast<int16_t>(event->viewPoint.y);
  }
  if (pickMinMaxOn_ == 1) TrackRange(port, bounds, &result);
  if (param_.pathMode == 1 && pathList_ != nullptr) TrackPaths(port, bounds);
  if (state_.maskMode != 0) TrackMaskBrush(port, view, context, bounds, image, &result);
  if (param_.stripeMode == 1 || param_.stripeMode == 2) TrackStripe(port, bounds, &result);
  if (param_.weaveMode == 2) TrackWeaveCell(event, image);
  // With Option down the press passes frame 0 by, so a frame lying under it
  // can be reached.
  bool frame0 = false;
  if (param_.panFrameShown[0] == 1 && TestKeyModif(optionKey) == 0) {
    frame0 = TrackPanFrame(0, port, bounds, &result) != 0;
  }
  if (param_.panFrameShown[1] == 1 && !frame0) TrackPanFrame(1, port, bounds, &result);
  if (param_.panFrameShown[2] == 1 && !frame0) TrackPanFrame(2, port, bounds, &result);
  if (param_.quadMode == 1) TrackQuad(port, bounds, &result);
  if (param_.tessMode == 2) TrackTessCell(port, bounds, &result);
  if (param_.tessMode == 1) TrackTessBase(port, bounds, &result);
  // A repeat tile hit ends the tools: the grid tools below do not run.
  const bool tile = param_.repeatMode != 0 && TrackRepeat(port, bounds, &result);
  if (!tile && param_.gridMode != 0) {
    // The event's point is view-local; the tools work in the port's.
    const Point press{static_cast<int16_t>(bounds.top + static_cast<int32_t>(event->viewPoint.y)),
                      static_cast<int16_t>(bounds.left + static_cast<int32_t>(event->viewPoint.x))};
    TrackGrid(port, bounds, press, &result);
  }
  SetControlNeedsDisplay(view);
  refresh_ = 1;
  if (pickMode_ == 1) {
    ReadRGBcol(event, view);
    std::copy(cursorColour_, cursorColour_ + 3, selColour_);
  }
  if (selectable_ == 1) selected_ = 1;
  tracking_ = false;
}

// The displayed image's origin in the port: rnd((view size - displayed
// size) x 0.5 + bounds corner), single precision.
Point VMKimabox::ImageOrigin(const Rect& bounds) const {
  Point o;
  o.h = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewWidth - dispWidth_) * 0.5f + static_cast<float>(bounds.left)));
  o.v = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewHeight - dispHeight_) * 0.5f + static_cast<float>(bounds.top)));
  return o;
}

// The same centring in the view's own bounds: where the display buffer is
// drawn into the view's context.
Rect VMKimabox::ImageRect(ControlRef view) const {
  const CGRect local = vmkviews::LocalBounds(view);
  const float x = static_cast<float>(Rnd((local.size.width - static_cast<float>(dispWidth_)) * 0.5f + local.origin.x));
  const float y = static_cast<float>(Rnd((local.size.height - static_cast<float>(dispHeight_)) * 0.5f + local.origin.y));
  Rect r;
  ConvertCGRecttoRect(CGRect{{x, y}, {static_cast<float>(dispWidth_), static_cast<float>(dispHeight_)}}, &r);
  return r;
}

// The path tools track the press themselves, on the session's shared drawing
// parameters: the box lends them its own for the press and puts the shared
// ones back as they were, their port included.
void VMKimabox::TrackPaths(GrafPtr port, const Rect& bounds) {
  DrawParKeeper keeper;
  pathList_->SetTObjPar(gPer != nullptr ? gPer->objPar : nullptr);
  pathList_->SetDrw(port, drawPar_);
  pathList_->SetToolmode(state_.vecModeA);
  pathList_->DoClick(port, 0, 0, bounds);
}

// The range picker: two markers for the minimum and maximum of 0 ... scale
// over the whole box. A press within 4 values of a marker drags it; a press
// between them moves the range, each end stopping at 0 and the scale by
// itself (pushing past an end narrows the range).
int16_t VMKimabox::TrackRange(GrafPtr port, const Rect& bounds, int16_t* result) {
  const int32_t w = bounds.right - bounds.left;
  const int32_t scale = pickScale_;
  if (port == nullptr || w <= 0 || scale == 0) return 0;
  Port* previous = GetPort();
  SetPort(port);
  PenState pen;
  GetPenState(&pen);
  ClipRect(bounds);
  RGBForeColor(kWhite);
  PaintRect(bounds);
  RGBForeColor(kBlack);
  PenNormal();
  PenMode(patXor);
  auto figure = [&] { vmkviews::DrawRangeFigure(bounds, pickMin_, pickMax_, scale); };
  figure();
  Point press;
  plat::ui::TrackMouseLocation(port, &press, result);
  const int32_t p = scale * (press.h - bounds.left) / w;
  auto valueAt = [&](int32_t h) {
    return Rnd(static_cast<float>(h - bounds.left) * static_cast<float>(scale) / static_cast<float>(w));
  };
  auto drag = [&](auto step) {
    Point last = press;
    while (*result != plat::ui::kTrackMouseUp) {
      Point pt;
      plat::ui::TrackMouseLocation(port, &pt, result);
      if (pt.h == last.h && pt.v == last.v) continue;
      last = pt;
      figure();
      step(pt);
      figure();
    }
  };
  if (p - pickMin_ >= -4 && p - pickMin_ <= 4) {
    drag([&](Point pt) {
      pickMin_ = static_cast<int16_t>(std::min<int32_t>(std::max(valueAt(pt.h), 0), pickMax_));
    });
  }
  if (p - pickMax_ >= -4 && p - pickMax_ <= 4) {
    drag([&](Point pt) {
      pickMax_ = static_cast<int16_t>(std::max<int32_t>(std::min(valueAt(pt.h), scale), pickMin_));
    });
  }
  if (pickMin_ < p && p < pickMax_) {
    const int32_t min0 = pickMin_;
    const int32_t max0 = pickMax_;
    drag([&](Point pt) {
      const int32_t d = Rnd(static_cast<float>(pt.h - press.h) * static_cast<float>(scale) /
                            static_cast<float>(w));
      pickMin_ = static_cast<int16_t>(std::clamp(min0 + d, 0, scale));
      pickMax_ = static_cast<int16_t>(std::clamp(max0 + d, 0, scale));
    });
  }
  SetPenState(pen);
  SetPort(previous);
  return 1;
}

// One pan frame through the quad tracker, corners relative to the image
// origin. 1 when the press was on the frame (the frame then takes the
// corners as returned), 0 otherwise.
int16_t VMKimabox::TrackPanFrame(int16_t k, GrafPtr port, const Rect& bounds, int16_t*) {
  const int32_t w = state_.srcWidth;
  const int32_t h = state_.srcHeight;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map = vmkviews::MakePanMap(w, h, pan, dispWidth_, dispHeight_, 0, 0);
  if (port == nullptr || w <= 0 || h <= 0 || !map.ok || dispWidth_ <= 0 || dispHeight_ <= 0) return 0;
  const int16_t ox = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewWidth - dispWidth_) * 0.5f + static_cast<float>(bounds.left)));
  const int16_t oy = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewHeight - dispHeight_) * 0.5f + static_cast<float>(bounds.top)));
  auto cornerX = [&](int32_t v) {
    return map.sx * (static_cast<float>(static_cast<int64_t>(w) * v) / 100000.0f - static_cast<float>(map.x0));
  };
  auto cornerY = [&](int32_t v) {
    return map.sy * (static_cast<float>(static_cast<int64_t>(h) * v) / 100000.0f - static_cast<float>(map.y0));
  };
  const float left = cornerX(state_.frameLeft[k]);
  const float right = cornerX(state_.frameRight[k]);
  const float top = cornerY(state_.frameTop[k]);
  const float bottom = cornerY(state_.frameBottom[k]);
  float x0 = left, y0 = bottom, x1 = left, y1 = top, x2 = right, y2 = top, x3 = right, y3 = bottom;
  int16_t flag = 0;
  if (updatequad(port, ox, oy, bounds, &x0, &y0, &x1, &y1, &x2, &y2, &x3, &y3, &flag, 0, 1, 0, 0) == -1) {
    return 0;
  }
  auto toUnit = [](int32_t windowEdge, float corner, float scale, int32_t size) {
    const int32_t pixel = windowEdge + Rnd(corner / scale);
    return Rnd(static_cast<float>(pixel) * 100000.0f / static_cast<float>(size));
  };
  state_.frameLeft[k] = toUnit(map.x0, x0, map.sx, w);
  state_.frameBottom[k] = toUnit(map.y0, y0, map.sy, h);
  state_.frameRight[k] = toUnit(map.x0, x2, map.sx, w);
  state_.frameTop[k] = toUnit(map.y0, y2, map.sy, h);
  return 1;
}

// The quad, in 1/100000 of the displayed image; every corner is stored back
// whatever the tracker answers.
void VMKimabox::TrackQuad(GrafPtr port, const Rect& bounds, int16_t*) {
  const int32_t dw = dispWidth_;
  const int32_t dh = dispHeight_;
  if (port == nullptr || dw <= 0 || dh <= 0) return;
  const int16_t ox = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewWidth - dw) * 0.5f + static_cast<float>(bounds.left)));
  const int16_t oy = static_cast<int16_t>(
      Rnd(static_cast<float>(state_.viewHeight - dh) * 0.5f + static_cast<float>(bounds.top)));
  float x[4];
  float y[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = static_cast<float>(static_cast<int64_t>(dw) * state_.quadX[k] / 100000);
    y[k] = static_cast<float>(static_cast<int64_t>(dh) * state_.quadY[k] / 100000);
  }
  int16_t flag = 0;
  updatequad(port, ox, oy, bounds, &x[0], &y[0], &x[1], &y[1], &x[2], &y[2], &x[3], &y[3], &flag, 0, 0,
             static_cast<int16_t>(state_.quadTag), 0);
  for (int k = 0; k < 4; ++k) {
    state_.quadX[k] = Rnd(x[k] * 100000.0f / static_cast<float>(dw));
    state_.quadY[k] = Rnd(y[k] * 100000.0f / static_cast<float>(dh));
  }
}
