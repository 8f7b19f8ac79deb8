// Ports, the current port, pen state and the primitives built on coverage
// masks: each primitive first marks the pixels it covers, then applies the
// pen once per marked pixel, which is what keeps XOR drawing reversible.
#include "platform/draw/port.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "platform/draw/coverage.h"

namespace plat::draw {
namespace {

// Each thread's own: a render on a worker starts with none, so whatever it draws goes
// nowhere, and the ports the interface thread sets and puts back are never seen by a
// render (nor a render's by the interface).
thread_local Port* gCurrentPort = nullptr;

// Set once while the program starts, read by every thread that frees a port.
std::atomic<PortFreedHook> gPortFreed{nullptr};

std::string RectText(const Rect& r) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d %d %d %d", r.left, r.top, r.right, r.bottom);
  return buf;
}

std::string ModeText(const Port& p) {
  char buf[32];
  std::snprintf(buf, sizeof buf, " mode %d", p.pen.pnMode);
  return buf;
}

bool InsideRoundRect(int x, int y, const Rect& r, int ow, int oh) {
  if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
  ow = std::min(ow, r.right - r.left);
  oh = std::min(oh, r.bottom - r.top);
  if (ow <= 0 || oh <= 0) return true;
  double rx = ow / 2.0, ry = oh / 2.0;
  double px = x + 0.5, py = y + 0.5;
  double cxl = r.left + rx, cxr = r.right - rx, cyt = r.top + ry, cyb = r.bottom - ry;
  double dx = px < cxl ? cxl - px : (px > cxr ? px - cxr : 0.0);
  double dy = py < cyt ? cyt - py : (py > cyb ? py - cyb : 0.0);
  if (dx <= 0.0 || dy <= 0.0) return true;
  return (dx / rx) * (dx / rx) + (dy / ry) * (dy / ry) <= 1.0;
}

Rect Inset(const Rect& r, int dh, int dv) {
  Rect o;
  o.left = static_cast<int16_t>(r.left + dh);
  o.right = static_cast<int16_t>(r.right - dh);
  o.top = static_cast<int16_t>(r.top + dv);
  o.bottom = static_cast<int16_t>(r.bottom - dv);
  if (o.left >= o.right || o.top >= o.bottom) o = Rect{};
  return o;
}

bool Empty(const Rect& r) { return r.left >= r.right || r.top >= r.bottom; }

// Frame or paint of a rounded shape; oval when the corner size is the rect's.
void RoundShape(const Rect& r, int ow, int oh, bool frame, bool oval, const char* name) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  if (p->recording()) p->record(std::string(name) + " " + RectText(r) + ModeText(*p));
  if (Empty(r)) return;
  Coverage cov(r.left, r.top, r.right, r.bottom);
  Rect inner{};
  int iow = 0, ioh = 0;
  if (frame) {
    int pw = p->pen.pnSize.h, ph = p->pen.pnSize.v;
    if (pw <= 0 || ph <= 0) return;
    inner = Inset(r, pw, ph);
    iow = oval ? inner.right - inner.left : std::max(0, ow - 2 * pw);
    ioh = oval ? inner.bottom - inner.top : std::max(0, oh - 2 * ph);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      if (!InsideRoundRect(x, y, r, ow, oh)) continue;
      if (frame && !Empty(inner) && InsideRoundRect(x, y, inner, iow, ioh)) continue;
      cov.set(x, y);
    }
  }
  ApplyPen(*p, cov);
}

}  // namespace

// ---- Surface ----

Surface::Surface(int width, int height, uint32_t fill) { resize(width, height, fill); }

void Surface::resize(int width, int height, uint32_t fill) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  pixels_.assign(static_cast<size_t>(width_) * static_cast<size_t>(height_), fill);
}

uint32_t Surface::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return row(y)[x];
}

// ---- Port ----

Port::Port(int width, int height) : surface_(width, height) {
  portRect = Rect{0, 0, static_cast<int16_t>(surface_.height()), static_cast<int16_t>(surface_.width())};
  clipRect = portRect;
}

Port::~Port() {
  if (gCurrentPort == this) gCurrentPort = nullptr;
  if (const PortFreedHook hook = gPortFreed.load(std::memory_order_acquire)) hook(this);
  delete openPoly;
}

void Port::resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  Surface old = std::move(surface_);
  surface_ = Surface(width * scale_, height * scale_);
  int w = std::min(old.width(), surface_.width()), h = std::min(old.height(), surface_.height());
  for (int y = 0; y < h; ++y) std::copy(old.row(y), old.row(y) + w, surface_.row(y));
  bool wholeClip = clipRect.top == portRect.top && clipRect.left == portRect.left &&
                   clipRect.bottom == portRect.bottom && clipRect.right == portRect.right;
  portRect = Rect{0, 0, static_cast<int16_t>(height), static_cast<int16_t>(width)};
  if (wholeClip) clipRect = portRect;
  if (onChanged) onChanged(portRect);
}

void Port::SetBackingScale(int scale) {
  scale = std::clamp(scale, 1, 4);
  if (scale == scale_) return;
  scale_ = scale;
  surface_ = Surface((portRect.right - portRect.left) * scale_, (portRect.bottom - portRect.top) * scale_);
  if (onChanged) onChanged(portRect);
}

// ---- current port and pen ----

Port* GetPort() { return gCurrentPort; }
void SetPort(Port* port) { gCurrentPort = port; }
void SetPortFreedHook(PortFreedHook hook) { gPortFreed.store(hook, std::memory_order_release); }

void ClipRect(const Rect& r) {
  if (gCurrentPort != nullptr) gCurrentPort->clipRect = r;
}
void GetClip(Rect* r) {
  if (gCurrentPort != nullptr && r != nullptr) *r = gCurrentPort->clipRect;
}
void RGBForeColor(const RGBColor& c) {
  if (gCurrentPort != nullptr) gCurrentPort->foreColor = c;
}
void GetForeColor(RGBColor* c) {
  if (gCurrentPort != nullptr && c != nullptr) *c = gCurrentPort->foreColor;
}
void RGBBackColor(const RGBColor& c) {
  if (gCurrentPort != nullptr) gCurrentPort->backColor = c;
}
void GetBackColor(RGBColor* c) {
  if (gCurrentPort != nullptr && c != nullptr) *c = gCurrentPort->backColor;
}
void GetPenState(PenState* state) {
  if (gCurrentPort != nullptr && state != nullptr) *state = gCurrentPort->pen;
}
void SetPenState(const PenState& state) {
  if (gCurrentPort != nullptr) gCurrentPort->pen = state;
}
void PenNormal() {
  if (gCurrentPort == nullptr) return;
  Point loc = gCurrentPort->pen.pnLoc;
  gCurrentPort->pen = PenState{};
  gCurrentPort->pen.pnLoc = loc;
}
void PenMode(int16_t mode) {
  if (gCurrentPort != nullptr) gCurrentPort->pen.pnMode = mode;
}
void PenSize(int16_t width, int16_t height) {
  if (gCurrentPort != nullptr) gCurrentPort->pen.pnSize = Point{height, width};
}
void PenPat(const Pattern& pattern) {
  if (gCurrentPort != nullptr) gCurrentPort->pen.pnPat = pattern;
}

// ---- lines ----

void MoveTo(int16_t h, int16_t v) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  p->pen.pnLoc = Point{v, h};
  if (p->openPoly != nullptr) p->openPoly->points.push_back(Point{v, h});
}

void Move(int16_t dh, int16_t dv) {
  if (gCurrentPort == nullptr) return;
  const Point& l = gCurrentPort->pen.pnLoc;
  MoveTo(static_cast<int16_t>(l.h + dh), static_cast<int16_t>(l.v + dv));
}

void LineTo(int16_t h, int16_t v) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  Point from = p->pen.pnLoc;
  p->pen.pnLoc = Point{v, h};
  if (p->openPoly != nullptr) {
    if (p->openPoly->points.empty()) p->openPoly->points.push_back(from);
    p->openPoly->points.push_back(Point{v, h});
    return;
  }
  if (p->recording()) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Line %d %d %d %d", from.h, from.v, h, v);
    p->record(buf + ModeText(*p));
  }
  int pw = p->pen.pnSize.h, ph = p->pen.pnSize.v;
  if (pw <= 0 || ph <= 0) return;
  // The usual pen touches each pixel of its line once: drawn straight, the
  // meshes and outlines of the views cost a fraction of a coverage each.
  if (pw == 1 && ph == 1) {
    ApplyThinLine(*p, from.h, from.v, h, v);
    return;
  }
  Coverage cov(std::min<int>(from.h, h), std::min<int>(from.v, v), std::max<int>(from.h, h) + pw,
               std::max<int>(from.v, v) + ph);
  int x0 = from.h, y0 = from.v, x1 = h, y1 = v;
  int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    for (int yy = 0; yy < ph; ++yy)
      for (int xx = 0; xx < pw; ++xx) cov.set(x0 + xx, y0 + yy);
    if (x0 == x1 && y0 == y1) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  ApplyPen(*p, cov);
}

void Line(int16_t dh, int16_t dv) {
  if (gCurrentPort == nullptr) return;
  const Point l = gCurrentPort->pen.pnLoc;
  LineTo(static_cast<int16_t>(l.h + dh), static_cast<int16_t>(l.v + dv));
}

// ---- rectangles and ovals ----

void FrameRect(const Rect& r) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  if (p->recording()) p->record("FrameRect " + RectText(r) + ModeText(*p));
  if (Empty(r)) return;
  int pw = p->pen.pnSize.h, ph = p->pen.pnSize.v;
  if (pw <= 0 || ph <= 0) return;
  Rect inner = Inset(r, pw, ph);
  Coverage cov(r.left, r.top, r.right, r.bottom);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (Empty(inner) || x < inner.left || x >= inner.right || y < inner.top || y >= inner.bottom)
        cov.set(x, y);
  ApplyPen(*p, cov);
}

void PaintRect(const Rect& r) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  if (p->recording()) p->record("PaintRect " + RectText(r) + ModeText(*p));
  if (Empty(r)) return;
  Coverage cov(r.left, r.top, r.right, r.bottom);
  cov.fill();
  ApplyPen(*p, cov);
}

void EraseRect(const Rect& r) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  if (p->recording()) p->record("EraseRect " + RectText(r));
  if (Empty(r)) return;
  Coverage cov(r.left, r.top, r.right, r.bottom);
  cov.fill();
  ApplyInk(*p, cov, PixelOf(p->backColor), patCopy, kBlackPattern);
}

void InvertRect(const Rect& r) {
  Port* p = gCurrentPort;
  if (p == nullptr) return;
  if (p->recording()) p->record("InvertRect " + RectText(r));
  if (Empty(r)) return;
  Coverage cov(r.left, r.top, r.right, r.bottom);
  cov.fill();
  ApplyInk(*p, cov, 0, patXor, kBlackPattern);
}

bool PtInRect(Point pt, const Rect* r) {
  return r != nullptr && pt.h >= r->left && pt.h < r->right && pt.v >= r->top && pt.v < r->bottom;
}

void FrameOval(const Rect& r) { RoundShape(r, r.right - r.left, r.bottom - r.top, true, true, "FrameOval"); }
void PaintOval(const Rect& r) { RoundShape(r, r.right - r.left, r.bottom - r.top, false, true, "PaintOval"); }
void FrameRoundRect(const Rect& r, int16_t ow, int16_t oh) { RoundShape(r, ow, oh, true, false, "FrameRoundRect"); }
void PaintRoundRect(const Rect& r, int16_t ow, int16_t oh) { RoundShape(r, ow, oh, false, false, "PaintRoundRect"); }

// ---- polygons ----

PolyHandle OpenPoly() {
  Port* p = gCurrentPort;
  if (p == nullptr) return nullptr;
  delete p->openPoly;
  p->openPoly = new Polygon;
  return p->openPoly;
}

void ClosePoly() {
  // The polygon now belongs to the caller (KillPoly).
  if (gCurrentPort != nullptr) gCurrentPort->openPoly = nullptr;
}

void KillPoly(PolyHandle poly) {
  if (poly == nullptr) return;
  if (gCurrentPort != nullptr && gCurrentPort->openPoly == poly) gCurrentPort->openPoly = nullptr;
  delete poly;
}

void FramePoly(PolyHandle poly) {
  Port* p = gCurrentPort;
  if (p == nullptr || poly == nullptr || poly->points.empty() || p->openPoly != nullptr) return;
  Point keep = p->pen.pnLoc;
  MoveTo(poly->points[0].h, poly->points[0].v);
  for (size_t i = 1; i < poly->points.size(); ++i) LineTo(poly->points[i].h, poly->points[i].v);
  p->pen.pnLoc = keep;
}

void PaintPoly(PolyHandle poly) {
  Port* p = gCurrentPort;
  if (p == nullptr || poly == nullptr || poly->points.size() < 3) return;
  const auto& pts = poly->points;
  int l = pts[0].h, r = pts[0].h, t = pts[0].v, b = pts[0].v;
  for (const Point& q : pts) {
    l = std::min<int>(l, q.h);
    r = std::max<int>(r, q.h);
    t = std::min<int>(t, q.v);
    b = std::max<int>(b, q.v);
  }
  if (p->recording()) p->record("PaintPoly " + std::to_string(pts.size()) + ModeText(*p));
  Coverage cov(l, t, r, b);
  std::vector<double> xs;
  for (int y = t; y < b; ++y) {
    double cy = y + 0.5;
    xs.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      const Point& a = pts[i];
      const Point& c = pts[(i + 1) % pts.size()];
      if ((a.v <= cy) == (c.v <= cy)) continue;
      xs.push_back(a.h + (cy - a.v) * (c.h - a.h) / static_cast<double>(c.v - a.v));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2)
      for (int x = l; x < r; ++x)
        if (x + 0.5 >= xs[k] && x + 0.5 < xs[k + 1]) cov.set(x, y);
  }
  ApplyPen(*p, cov);
}

// ---- patterns ----

Pattern GetIndPattern(int16_t listId, int16_t index) {
  std::vector<Pattern> list = LoadPatternList(listId);
  if (index >= 1 && static_cast<size_t>(index) <= list.size()) return list[static_cast<size_t>(index) - 1];
  // Built-in dashes: the same diagonal stripe, shifted by half a period for
  // even indices, so any two neighbouring indices differ.
  Pattern p;
  for (int row = 0; row < 8; ++row) {
    uint8_t v = static_cast<uint8_t>((0xF0F0u >> (row & 7)) & 0xFF);
    p.pat[row] = (index % 2 == 0) ? static_cast<uint8_t>(~v) : v;
  }
  return p;
}

}  // namespace plat::draw
