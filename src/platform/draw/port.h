// Drawing ports: the pixel surfaces every window and view draws into.
//
// A port owns a persistent 32-bit surface (0xAARRGGBB, alpha always 0xFF)
// that the toolbox shows on screen and that drawing writes straight into, at
// any time: XOR feedback during a drag is drawn outside any paint event and
// appears on the next repaint. Coordinates are port pixels, y down; a window
// port's coordinates are the window's content coordinates.
//
// A port shown on a denser screen has a backing scale: its surface holds
// scale x scale device pixels for each port pixel, while every coordinate
// the primitives take stays in port pixels. Shapes, lines and patterns cover
// whole port pixels (each one a block of device pixels, so XOR stays exact);
// text is set at the device size and images are sampled straight into device
// pixels, so a picture of the scaled size shows one to one. At scale 1 the
// surface is the port.
//
// The pen draws in the manner the system's drawing code expects: a current
// port, a pen with location, size, mode and 8 by 8 pattern, fore and back
// colours, a clip rectangle. Every primitive covers each pixel at most once,
// so XOR drawing is an exact involution: drawing the same figure twice puts
// back every pixel. Consecutive LineTo calls are separate primitives, so a
// joint shared by two strokes is inverted twice (callers end strokes with
// Line(0, 0) where the joint must survive).
//
// A port may also keep a log of the primitives it drew (RecordTo), so tests
// can check what was drawn as well as the pixels.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/types/mac_types.h"

namespace plat::draw {

// Pen modes in use: copy the pattern, or it, XOR it (invert where the
// pattern is set), and the arithmetic maximum of pen colour and pixel.
enum : int16_t {
  patCopy = 8,
  patOr = 9,
  patXor = 10,
  addMax = 37,
};

// 8 by 8 bit pattern, row 0 first, the leftmost pixel in the high bit.
struct Pattern {
  uint8_t pat[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};
constexpr Pattern kBlackPattern{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};

struct PenState {
  Point pnLoc;
  Point pnSize{1, 1};
  int16_t pnMode = patCopy;
  Pattern pnPat = kBlackPattern;
};

// 32-bit pixels, row by row, top row first.
class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, uint32_t fill = 0xFFFFFFFFu);
  void resize(int width, int height, uint32_t fill = 0xFFFFFFFFu);
  int width() const { return width_; }
  int height() const { return height_; }
  uint32_t* row(int y) { return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_); }
  const uint32_t* row(int y) const {
    return pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
  }
  uint32_t pixel(int x, int y) const;  // 0 outside the surface
  const std::vector<uint32_t>& pixels() const { return pixels_; }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

struct Polygon;

class Port {
 public:
  // A port of the given size, cleared to white.
  Port(int width, int height);
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;
  ~Port();

  // Device pixels: the port's size times its backing scale on each axis.
  Surface& surface() { return surface_; }
  const Surface& surface() const { return surface_; }
  // Resizing (in port pixels) keeps the pixels that still fit, fills the
  // rest white and resets portRect (the clip is widened to the new port only
  // when it was the whole old port).
  void resize(int width, int height);
  // Device pixels per port pixel on each axis, 1 to 4 (a value outside is
  // held there). A change remakes the surface white at the new density:
  // whoever shows the port draws it anew.
  int backingScale() const { return scale_; }
  void SetBackingScale(int scale);

  Rect portRect;
  Rect clipRect;
  PenState pen;
  RGBColor foreColor{0, 0, 0};
  RGBColor backColor{65535, 65535, 65535};
  int16_t textSize = 12;

  // Where this port's origin lies in its window's content (views drawing
  // through their own port); window ports have (0, 0).
  Point originInWindow;
  // Opaque handle of the window that shows this port (the toolbox's), or
  // null for an offscreen port.
  void* owner = nullptr;

  // Called with the bounding box of every change, so the widget that shows
  // the port can schedule a repaint.
  std::function<void(const Rect&)> onChanged;

  // Starts (or, with null, stops) a log of the primitives drawn.
  void RecordTo(std::vector<std::string>* log) { log_ = log; }
  void record(const std::string& entry) {
    if (log_ != nullptr) log_->push_back(entry);
  }
  // Whether a log is kept: the primitives build their entries only then, so
  // drawing without one costs no text.
  bool recording() const { return log_ != nullptr; }

  Polygon* openPoly = nullptr;  // a polygon being recorded (OpenPoly)

 private:
  Surface surface_;
  int scale_ = 1;
  std::vector<std::string>* log_ = nullptr;
};

// 32-bit pixel of a 16-bit colour (high bytes).
constexpr uint32_t PixelOf(const RGBColor& c) {
  return 0xFF000000u | (static_cast<uint32_t>(c.red >> 8) << 16) |
         (static_cast<uint32_t>(c.green >> 8) << 8) | static_cast<uint32_t>(c.blue >> 8);
}

// ---- current port and pen state ----
// The current port is the calling thread's: every thread starts with none,
// and with none every primitive draws nothing. A port freed while current
// stops being current on the thread that frees it.
Port* GetPort();
void SetPort(Port* port);
// Called with every port as it is freed, on the thread that frees it, so that a record
// above this layer that names the port can forget it (one hook; null for none).
using PortFreedHook = void (*)(Port* port);
void SetPortFreedHook(PortFreedHook hook);
void ClipRect(const Rect& r);
void GetClip(Rect* r);
void RGBForeColor(const RGBColor& c);
void GetForeColor(RGBColor* c);
void RGBBackColor(const RGBColor& c);
void GetBackColor(RGBColor* c);
void GetPenState(PenState* state);
void SetPenState(const PenState& state);
// Size 1 by 1, mode copy, black pattern; the location stays.
void PenNormal();
void PenMode(int16_t mode);
void PenSize(int16_t width, int16_t height);
void PenPat(const Pattern& pattern);

// Pattern `index` (1-based) of the pattern list resource `listId` of the
// resource file; a missing resource or index gives built-in patterns
// (odd indices dashes, even indices the same dashes shifted by half).
Pattern GetIndPattern(int16_t listId, int16_t index);

// ---- lines ----
void MoveTo(int16_t h, int16_t v);
void Move(int16_t dh, int16_t dv);
// Draws from the pen location to (h, v), both ends included, and moves the
// pen there. While a polygon is open the point is recorded instead.
void LineTo(int16_t h, int16_t v);
void Line(int16_t dh, int16_t dv);

// ---- rectangles, ovals, rounded rectangles (right and bottom exclusive) ----
void FrameRect(const Rect& r);
void PaintRect(const Rect& r);
void EraseRect(const Rect& r);   // back colour, copy
void InvertRect(const Rect& r);  // XOR whatever the pen
// True when the pixel whose top-left corner is pt lies in r: left and top
// included, right and bottom excluded (an empty rectangle holds nothing).
bool PtInRect(Point pt, const Rect* r);
void FrameOval(const Rect& r);
void PaintOval(const Rect& r);
void FrameRoundRect(const Rect& r, int16_t ovalWidth, int16_t ovalHeight);
void PaintRoundRect(const Rect& r, int16_t ovalWidth, int16_t ovalHeight);

// ---- polygons ----
struct Polygon {
  std::vector<Point> points;
};
using PolyHandle = Polygon*;
// Starts recording MoveTo/LineTo of the current port into a new polygon.
PolyHandle OpenPoly();
void ClosePoly();
void KillPoly(PolyHandle poly);
// Frames as the recorded lines, in the pen's mode.
void FramePoly(PolyHandle poly);
// Fills the inside (even-odd rule on pixel centres).
void PaintPoly(PolyHandle poly);

// ---- text (FreeType; one sans-serif face) ----
void TextSize(int16_t size);
// Draws at the pen location (baseline) in the fore colour and moves the
// pen past the text. In XOR mode the covered pixels are inverted.
void DrawString(const std::string& text);
int16_t StringWidth(const std::string& text);

// ---- images ----
// Premultiplied RGBA bytes (R, G, B, A), row by row.
struct ImageRef {
  const uint8_t* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t rowBytes = 0;
};

// A view-local drawing context on a port, as custom views receive it: its
// origin is the view's top-left corner in port coordinates and it clips to
// the view. Images drawn into it put the image's row 0 at the bottom of the
// destination rectangle.
struct Context {
  Port* port = nullptr;
  int16_t originH = 0;
  int16_t originV = 0;
  Rect clip;  // port coordinates
};

// Draws `image` into `dst` (context coordinates), composited over the port
// with its alpha; `smooth` samples bilinearly, otherwise the nearest pixel.
// The image is sampled per device pixel: on a port of backing scale k an
// image k times the size of `dst` lands pixel for pixel.
void DrawImage(const Context& ctx, const CGRect& dst, const ImageRef& image, bool smooth);

}  // namespace plat::draw
