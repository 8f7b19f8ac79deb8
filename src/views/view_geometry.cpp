#include "views/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace vmkviews {

using namespace plat::draw;

CGRect LocalBounds(plat::tb::ControlRef view) {
  if (view == nullptr) return CGRect{};
  const Rect b = plat::tb::GetControlBounds(view);
  return CGRect{{0.0f, 0.0f},
                {static_cast<float>(b.right - b.left), static_cast<float>(b.bottom - b.top)}};
}

void HalfSizes(const CGRect& bounds, float* halfWidth, float* halfHeight) {
  const float midX = bounds.origin.x + bounds.size.width * 0.5f;
  const float midY = bounds.origin.y + bounds.size.height * 0.5f;
  *halfWidth = midX - bounds.origin.x;
  *halfHeight = midY - bounds.origin.y;
}

bool ViewContains(plat::tb::ControlRef view, CGPoint p) {
  const CGRect b = LocalBounds(view);
  return p.x >= b.origin.x && p.x < b.origin.x + b.size.width && p.y >= b.origin.y &&
         p.y < b.origin.y + b.size.height;
}

OverlayFrame::OverlayFrame(Port* port, const Rect& rect, bool withPen, int16_t copy)
    : previous_(GetPort()), port_(port), withPen_(withPen) {
  SetPort(port_);
  GetForeColor(&fore_);
  ClipRect(rect);
  if (withPen_) {
    GetPenState(&pen_);
    PenNormal();
    if (copy == 0) PenMode(patXor);
  }
}

OverlayFrame::~OverlayFrame() {
  if (withPen_) SetPenState(pen_);
  RGBForeColor(fore_);
  ClipRect(kOpenClip);
  SetPort(previous_);
}

int32_t DisplayOriginH(const Rect& rect, int32_t displayedWidth) {
  return static_cast<int32_t>(static_cast<float>(rect.left) +
                              static_cast<float>(rect.right - rect.left - displayedWidth) * 0.5f +
                              0.5f);
}

int32_t DisplayOriginV(const Rect& rect, int32_t displayedHeight) {
  return static_cast<int32_t>(static_cast<float>(rect.top) +
                              static_cast<float>(rect.bottom - rect.top - displayedHeight) * 0.5f +
                              0.5f);
}

namespace {

PanMap Window(int32_t w, int32_t h, const int32_t pan[4], int32_t ox, int32_t oy) {
  PanMap m;
  m.x0 = PixelOfUnit(w, pan[0]);
  m.y0 = PixelOfUnit(h, pan[1]);
  m.x1 = PixelOfUnit(w, pan[2]);
  m.y1 = PixelOfUnit(h, pan[3]);
  m.ox = ox;
  m.oy = oy;
  return m;
}

// The scales of a window; none (and nothing mapped) when it has no extent.
PanMap Scaled(PanMap m, int32_t w, int32_t h, int32_t dw, int32_t dh) {
  m.ok = w > 0 && h > 0 && m.x1 != m.x0 && m.y1 != m.y0;
  if (m.ok) {
    m.sx = static_cast<float>(dw) / static_cast<float>(int64_t{m.x1} - m.x0);
    m.sy = static_cast<float>(dh) / static_cast<float>(int64_t{m.y1} - m.y0);
  }
  return m;
}

// Truncation toward zero of a value held inside the 32-bit range (a value
// that is no number counts as 0).
int32_t Trunc(float v) {
  constexpr float kLimit = 2147483520.0f;  // the largest float below 2^31
  if (v != v) return 0;
  return static_cast<int32_t>(v < -kLimit ? -kLimit : (v > kLimit ? kLimit : v));
}

}  // namespace

PanMap MakePanMap(int32_t w, int32_t h, const int32_t pan[4], int32_t dw, int32_t dh, int32_t ox,
                  int32_t oy) {
  return Scaled(Window(w, h, pan, ox, oy), w, h, dw, dh);
}

PanMap MakeClampedPanMap(int32_t w, int32_t h, const int32_t pan[4], int32_t dw, int32_t dh,
                         int32_t ox, int32_t oy) {
  PanMap m = Window(w, h, pan, ox, oy);
  m.x0 = std::max(m.x0, 0);
  m.y0 = std::max(m.y0, 0);
  m.x1 = ClampToInt32(std::min<int64_t>(m.x1, int64_t{w} - 1));
  m.y1 = ClampToInt32(std::min<int64_t>(m.y1, int64_t{h} - 1));
  return Scaled(m, w, h, dw, dh);
}

int32_t ZoomUnitOf(int32_t size, double pixel) {
  const double whole = 100000.0;
  return static_cast<int32_t>(
      std::clamp<int64_t>(std::llround(pixel * whole / std::max(size, 1)), 0, 100000));
}

double ZoomPixelOf(int32_t size, int32_t unit) { return static_cast<double>(size) * unit / 100000.0; }

ShownPart ShownPartOf(const int32_t pan[4], int32_t zoom, int32_t imageWidth, int32_t imageHeight,
                      int32_t viewWidth, int32_t viewHeight) {
  const int32_t width = std::max(imageWidth, 1);
  const int32_t height = std::max(imageHeight, 1);
  const auto edge = [](int32_t size, int32_t unit) {
    return static_cast<int32_t>((int64_t{size} * std::clamp(unit, 0, 100000) + 50000) / 100000);
  };
  ShownPart part;
  part.step = 10000.0 / std::max(zoom, 1);
  part.left = std::min(edge(width, pan[0]), width - 1);
  part.top = std::min(edge(height, pan[1]), height - 1);
  const int32_t pw = std::max(edge(width, pan[2]) - part.left, 1);
  const int32_t ph = std::max(edge(height, pan[3]) - part.top, 1);
  part.shownWidth = std::clamp(static_cast<int32_t>(std::lround(pw / part.step)), 1, std::max(viewWidth, 1));
  part.shownHeight = std::clamp(static_cast<int32_t>(std::lround(ph / part.step)), 1, std::max(viewHeight, 1));
  return part;
}

Point PanMap::Map(int32_t x, int32_t y) const {
  Point p;
  p.h = static_cast<int16_t>(int64_t{ox} + Trunc(sx * static_cast<float>(int64_t{x} - x0) + 0.5f));
  p.v = static_cast<int16_t>(int64_t{oy} + Trunc(sy * static_cast<float>(int64_t{y} - y0) + 0.5f));
  return p;
}

Point PanMap::MapF(float x, float y) const {
  Point p;
  p.h = static_cast<int16_t>(int64_t{ox} + Trunc(sx * (x - static_cast<float>(x0)) + 0.5f));
  p.v = static_cast<int16_t>(int64_t{oy} + Trunc(sy * (y - static_cast<float>(y0)) + 0.5f));
  return p;
}

}  // namespace vmkviews
