#include "views/view_geometry.h"

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

PanMap MakePanMap(int32_t w, int32_t h, const int32_t pan[4], int32_t dw, int32_t dh, int32_t ox,
                  int32_t oy) {
  PanMap m;
  m.x0 = PixelOfUnit(w, pan[0]);
  m.y0 = PixelOfUnit(h, pan[1]);
  m.x1 = PixelOfUnit(w, pan[2]);
  m.y1 = PixelOfUnit(h, pan[3]);
  m.ox = ox;
  m.oy = oy;
  m.ok = m.x1 != m.x0 && m.y1 != m.y0;
  if (m.ok) {
    m.sx = static_cast<float>(dw) / static_cast<float>(m.x1 - m.x0);
    m.sy = static_cast<float>(dh) / static_cast<float>(m.y1 - m.y0);
  }
  return m;
}

Point PanMap::Map(int32_t x, int32_t y) const {
  Point p;
  p.h = static_cast<int16_t>(ox + static_cast<int32_t>(sx * static_cast<float>(x - x0) + 0.5f));
  p.v = static_cast<int16_t>(oy + static_cast<int32_t>(sy * static_cast<float>(y - y0) + 0.5f));
  return p;
}

}  // namespace vmkviews
