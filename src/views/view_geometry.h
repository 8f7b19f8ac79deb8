// Geometry and drawing conventions shared by the image box's drawing,
// overlays and mouse tracking.
//
// Overlay frame: every overlay routine that takes a port sets that port,
// clips to the box's rectangle and, for routines that draw lines, puts the
// pen to normal (pattern XOR when the copy flag is 0, so drawing the overlay
// twice removes it). On the way out, on every path, the pen and foreground
// colour come back, the clip of the port drawn in is opened to
// (0, 0, 32000, 32000) rather than put back, and the previous port is set.
//
// Display origin: the scaled image is centred in the box; single precision,
// truncated toward zero.
//
// Pan mapping: an image point (X, Y) of an image Wi x Hi goes to the screen
// through the visible window x0 = (Wi - 1) * pan left / 100000 ... (integer)
// and the scales sx = displayed width / (x1 - x0), sy likewise (single):
// (ox + trunc(sx (X - x0) + 0.5), oy + trunc(sy (Y - y0) + 0.5)). A window
// with no extent on an axis, or an image of no size, maps nothing. The
// differences are taken in 64 bits and a mapped point too far off to name in
// 32 bits is held at that range, as the records' words that feed them come
// from files.
//
// The meshes use the clamped form of that window: left and top raised to 0,
// right and bottom lowered to the image's last column and row.
#pragma once

#include <cstdint>

#include "app/core/sample_clamp.h"
#include "platform/draw/port.h"
#include "platform/toolbox/toolbox.h"
#include "platform/types/mac_types.h"

namespace vmkviews {

// The view's own bounds, (0, 0, width, height), as the view events give them.
CGRect LocalBounds(plat::tb::ControlRef view);
// Half width and height of bounds: mid - min on each axis.
void HalfSizes(const CGRect& bounds, float* halfWidth, float* halfHeight);
// Whether a view-local point lies in the view's bounds (the minimum edges in,
// the maximum edges out).
bool ViewContains(plat::tb::ControlRef view, CGPoint point);

class OverlayFrame {
 public:
  // withPen: the routine draws lines; copy: its copy flag.
  OverlayFrame(plat::draw::Port* port, const Rect& rect, bool withPen, int16_t copy);
  ~OverlayFrame();
  OverlayFrame(const OverlayFrame&) = delete;
  OverlayFrame& operator=(const OverlayFrame&) = delete;

 private:
  plat::draw::Port* previous_;
  plat::draw::Port* port_;
  RGBColor fore_;
  plat::draw::PenState pen_;
  bool withPen_;
};

inline constexpr Rect kOpenClip{0, 0, 32000, 32000};

// Origin of the displayed image inside `rect`.
int32_t DisplayOriginH(const Rect& rect, int32_t displayedWidth);
int32_t DisplayOriginV(const Rect& rect, int32_t displayedHeight);

// Truncating integer of x + 0.5, single precision.
inline int32_t Rnd(float x) { return static_cast<int32_t>(x + 0.5f); }

// Image pixel of a record coordinate in 1/100000 of the image. Worked out in
// 64 bits and held to the 32-bit range: a record's size or coordinate may
// come from a damaged file (a width of 80000000).
inline int32_t PixelOfUnit(int32_t size, int32_t unit) {
  return ClampToInt32((int64_t{size} - 1) * unit / 100000);
}

struct PanMap {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  float sx = 0.0f, sy = 0.0f;
  int32_t ox = 0, oy = 0;
  bool ok = false;  // an image, and a window with an extent on both axes
  Point Map(int32_t x, int32_t y) const;
  // The same for a point in fractional image pixels (single precision). A
  // point too far off to name in 32 bits is held at that range first.
  Point MapF(float x, float y) const;
};

// Zoomed views: a view that shows its pan rectangle at a zoom (x 10000, one scale both ways)
// counts a side's pixels from the side's left edge, unit u being pixel size * u / 100000, so
// that a side of up to 100000 pixels goes to units and back to the same pixel. (The rule
// above, (size - 1) * u / 100000, measures from the first pixel to the last, and a part of
// n pixels cannot end at the last one in it.)
int32_t ZoomUnitOf(int32_t size, double pixel);
double ZoomPixelOf(int32_t size, int32_t unit);

// The part of a picture a zoomed view shows: from picture pixel (left, top) on, `step`
// picture pixels a view pixel each way, over shownWidth x shownHeight view pixels.
struct ShownPart {
  double step = 1.0;
  int32_t left = 0, top = 0;
  int32_t shownWidth = 0, shownHeight = 0;
  bool operator==(const ShownPart&) const = default;
};

// What a view of viewWidth x viewHeight shows of the pan rectangle at `zoom`: its corner's
// pixel (each edge rounded to the nearest), and as many view pixels as its pixels make at
// that zoom, at most the view's.
ShownPart ShownPartOf(const int32_t pan[4], int32_t zoom, int32_t imageWidth, int32_t imageHeight,
                      int32_t viewWidth, int32_t viewHeight);

PanMap MakePanMap(int32_t imageWidth, int32_t imageHeight, const int32_t pan[4],
                  int32_t displayedWidth, int32_t displayedHeight, int32_t ox, int32_t oy);
PanMap MakeClampedPanMap(int32_t imageWidth, int32_t imageHeight, const int32_t pan[4],
                         int32_t displayedWidth, int32_t displayedHeight, int32_t ox, int32_t oy);

}  // namespace vmkviews
