// The pattern overlays of the image box: the weave's cells, the border
// layer's tiles and corners, the tessellation's quads and the repeat's tiles.
//
// Counts read from a record are held to the record's arrays (a weave of at
// most 128 x 128 cells, 64 tiles a border side, the sixteen tile sets and 128
// border layers; a layer or tile set outside them draws nothing): records
// come from stored scripts and presets. Engines and windows that cannot be
// had draw nothing; every routine still restores the port and opens its clip.
#include <algorithm>
#include <memory>
#include <new>

#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/quad_lists.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;

namespace {

constexpr RGBColor kRed{65535, 0, 0};
constexpr RGBColor kGreen{0, 65535, 0};
constexpr RGBColor kBlue{0, 0, 65535};
constexpr RGBColor kYellow{65535, 65535, 0};
constexpr RGBColor kBlack{0, 0, 0};

Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

// A closed outline through four screen points: MoveTo the first, LineTo the
// others and back.
void Outline(const Point p[4]) {
  MoveTo(p[0].h, p[0].v);
  for (int k = 1; k <= 4; ++k) LineTo(p[k % 4].h, p[k % 4].v);
}

// Truncation toward zero of a double held inside the 32-bit range.
int32_t Trunc(double v) {
  if (v != v) return 0;
  return static_cast<int32_t>(std::clamp(v, -2147483647.0, 2147483647.0));
}

int32_t Mod(int32_t v, int32_t n) { return ((v % n) + n) % n; }

}  // namespace

// ---- weave ----

void VMKimabox::DrawWeave(GrafPtr port, Rect rect, int16_t cellMode, int16_t cellGrid,
                          RGBColor background, RGBColor foreground) {
  vmkviews::OverlayFrame frame(port, rect, false, 1);
  if (weave_ == nullptr || weave_->columns <= 0 || weave_->rows <= 0) return;
  const int32_t c = std::min<int32_t>(weave_->columns, kWeaveSide);
  const int32_t r = std::min<int32_t>(weave_->rows, kWeaveSide);
  RGBForeColor(background);
  PaintRect(rect);
  RGBForeColor(foreground);
  if (cellMode == 1) {
    DrawWeavePixels(rect, c, r);
  } else {
    DrawWeaveCells(rect, c, r, cellGrid);
  }
  RGBForeColor(kBlack);
  FrameRect(rect);
}

// One pixel a cell, the pattern anchored at the port's origin rather than at
// the rectangle (kept: the weave editor's preview has always shown it so).
// Runs of set cells along a row are painted as one rectangle: the same
// pixels as one 1 x 1 rectangle each, at a fraction of the cost.
void VMKimabox::DrawWeavePixels(const Rect& rect, int32_t c, int32_t r) {
  for (int32_t y = rect.top; y < rect.bottom; ++y) {
    const uint8_t* row = weave_->cells[Mod(y, r)];
    int32_t x = rect.left;
    while (x < rect.right) {
      if (row[Mod(x, c)] == 0) {
        ++x;
        continue;
      }
      const int32_t start = x;
      while (x < rect.right && row[Mod(x, c)] != 0) ++x;
      PaintRect(MakeRect(start, y, x, y + 1));
    }
  }
}

// The pattern stretched over the rectangle, row 0 at the bottom; with the
// cell-grid flag every cell framed in blue.
void VMKimabox::DrawWeaveCells(const Rect& rect, int32_t c, int32_t r, int16_t cellGrid) {
  const int32_t w = rect.right - rect.left;
  const int32_t h = rect.bottom - rect.top;
  auto cell = [&](int32_t k, int32_t m) {
    return MakeRect(rect.left + w * m / c, rect.bottom - h * (k + 1) / r, rect.left + w * (m + 1) / c,
                    rect.bottom - h * k / r);
  };
  for (int32_t k = 0; k < r; ++k)
    for (int32_t m = 0; m < c; ++m)
      if (weave_->cells[k][m] != 0) PaintRect(cell(k, m));
  if (cellGrid != 1) return;
  RGBForeColor(kBlue);
  for (int32_t k = 0; k < r; ++k)
    for (int32_t m = 0; m < c; ++m) FrameRect(cell(k, m));
}

// ---- border ----

namespace {

// The current layer's geometry in picture pixels. Side s: a band across
// [across0, across1] that runs from `from` to `to`, cut into tiles; corner k:
// a box [x0, x1] x [y0, y1]. Sides 0 to 3 are left, bottom, right, top (y
// down the screen); corners top left, bottom left, bottom right, top right.
struct BorderShapes {
  struct Side {
    float across0, across1, from, to;
    int32_t tiles;
    bool vertical;
  } side[4];
  struct Corner {
    float x0, y0, x1, y1;
  } corner[4];
};

BorderShapes LayBorder(const BordInfo& b, int32_t width, int32_t height) {
  const float W = static_cast<float>(width), H = static_cast<float>(height);
  auto f = [](int32_t v) { return static_cast<float>(v); };
  // Band thickness A (1/200), band offset B and corner inset E (1/400), corner
  // height C and width D (1/200).
  auto inX = [&](int32_t e) { return f(e) * W / 400; };
  auto inY = [&](int32_t e) { return f(e) * H / 400; };
  const int32_t* A = b.thickness;
  const int32_t* B = b.inset;
  const int32_t* C = b.cornerHeight;
  const int32_t* D = b.cornerWidth;
  const int32_t* E = b.cornerInset;
  BorderShapes s{};
  s.side[0] = {inX(B[0]), inX(B[0]) + f(A[0]) * W / 200, inY(E[0]) + f(C[0]) * H / 200,
               H - (inY(E[1]) + f(C[1]) * H / 200), 0, true};
  s.side[1] = {H - f(B[1]) * H / 400 - f(A[1]) * H / 200, H - f(B[1]) * H / 400,
               inX(E[1]) + f(D[1]) * W / 200, W - (inX(E[2]) + f(D[2]) * W / 200), 0, false};
  s.side[2] = {W - f(B[2]) * W / 400 - f(A[2]) * W / 200, W - f(B[2]) * W / 400,
               H - (inY(E[2]) + f(C[2]) * H / 200), inY(E[3]) + f(C[3]) * H / 200, 0, true};
  s.side[3] = {f(B[3]) * H / 400, f(B[3]) * H / 400 + f(A[3]) * H / 200,
               W - (inX(E[3]) + f(D[3]) * W / 200), inX(E[0]) + f(D[0]) * W / 200, 0, false};
  for (int k = 0; k < 4; ++k) s.side[k].tiles = std::clamp(b.cells[k], 0, kBordCellsPerSide);
  auto left = [&](int k) { return inX(E[k]); };
  auto right = [&](int k) { return W - inX(E[k]); };
  s.corner[0] = {left(0), inY(E[0]), left(0) + f(D[0]) * W / 200, inY(E[0]) + f(C[0]) * H / 200};
  s.corner[1] = {left(1), H - inY(E[1]) - f(C[1]) * H / 200, left(1) + f(D[1]) * W / 200, H - inY(E[1])};
  s.corner[2] = {right(2) - f(D[2]) * W / 200, H - inY(E[2]) - f(C[2]) * H / 200, right(2), H - inY(E[2])};
  s.corner[3] = {right(3) - f(D[3]) * W / 200, inY(E[3]), right(3), inY(E[3]) + f(C[3]) * H / 200};
  return s;
}

}  // namespace

void VMKimabox::DrawBord(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  if (bord_ == nullptr) return;
  const int32_t layer = bord_->head.current;
  if (layer < 0 || layer >= kBordLayers) return;
  const int32_t w = bord_->head.width, h = bord_->head.height;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map =
      vmkviews::MakePanMap(w, h, pan, dispWidth_, dispHeight_, vmkviews::DisplayOriginH(rect, dispWidth_),
                           vmkviews::DisplayOriginV(rect, dispHeight_));
  if (!map.ok) return;
  const BordInfo& info = bord_->layers[layer].info;
  // The layer's selection, as the border editor keeps it: the element kind
  // (0 a side tile, 1 a corner), its side or corner, and the tile of that
  // side counted from the side's end (kept: the editor counts so).
  const int32_t kind = info.two[0], index = info.two[1], tile = info.last;
  const BorderShapes s = LayBorder(info, w, h);
  auto quad = [&](float x0, float y0, float x1, float y1, bool selected) {
    const Point p[4] = {map.MapF(x0, y0), map.MapF(x1, y0), map.MapF(x1, y1), map.MapF(x0, y1)};
    RGBForeColor(selected ? kRed : colour);
    Outline(p);
  };
  for (int32_t k = 0; k < 4; ++k) {
    const BorderShapes::Side& d = s.side[k];
    for (int32_t i = 0; i < d.tiles; ++i) {
      const float a = d.from + (d.to - d.from) * static_cast<float>(i) / static_cast<float>(d.tiles);
      const float b = d.from + (d.to - d.from) * static_cast<float>(i + 1) / static_cast<float>(d.tiles);
      const bool selected = kind == 0 && index == k && tile == d.tiles - 1 - i;
      if (d.vertical)
        quad(d.across0, a, d.across1, b, selected);
      else
        quad(a, d.across0, b, d.across1, selected);
    }
  }
  for (int32_t k = 0; k < 4; ++k) {
    const BorderShapes::Corner& c = s.corner[k];
    quad(c.x0, c.y0, c.x1, c.y1, kind == 1 && index == k);
  }
}

// ---- tessellation ----

void VMKimabox::DrawTess(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  if (tess_ == nullptr) return;
  const int32_t ox = vmkviews::DisplayOriginH(rect, dispWidth_);
  const int32_t oy = vmkviews::DisplayOriginV(rect, dispHeight_);
  if (param_.tessMode == 1) DrawTessBase(ox, oy);
  if (param_.tessMode == 2) DrawTessTiling(ox, oy, colour);
}

// The base quad of the current tile set, in thousandths of the displayed
// picture, without the pan (kept: the tile quad edits the whole tile); with
// a scale other than 100 the quad scaled about its centre in yellow.
void VMKimabox::DrawTessBase(int32_t ox, int32_t oy) {
  const int32_t set = tess_->head.w[kTessCurrentSet];
  if (set < 0 || set >= kTessSets) return;
  const int32_t* w = tess_->sets[set].w;
  Point p[4];
  for (int k = 0; k < 4; ++k) {
    p[k].h = static_cast<int16_t>(Trunc(ox + w[kTessSourceX + k] * (dispWidth_ - 1.0) / 1000 + 0.5));
    p[k].v = static_cast<int16_t>(Trunc(oy + w[kTessSourceY + k] * (dispHeight_ - 1.0) / 1000 + 0.5));
  }
  RGBForeColor(kGreen);
  Outline(p);
  const int64_t scale = w[kTessBleed];
  if (scale == 100) return;
  const int32_t cx = ((p[0].h + p[2].h) / 2 + (p[1].h + p[3].h) / 2) / 2;
  const int32_t cy = ((p[0].v + p[2].v) / 2 + (p[1].v + p[3].v) / 2) / 2;
  Point q[4];
  for (int k = 0; k < 4; ++k) {
    q[k].h = static_cast<int16_t>(cx + (p[k].h - cx) * scale / 100);
    q[k].v = static_cast<int16_t>(cy + (p[k].v - cy) * scale / 100);
  }
  RGBForeColor(kYellow);
  Outline(q);
}

namespace {

void FrameQuads(const Quads* q, int32_t count, int32_t ox, int32_t oy) {
  for (int32_t n = 0; n < count && q != nullptr; ++n, q = q->next) {
    PolyHandle poly = OpenPoly();
    MoveTo(static_cast<int16_t>(ox + q->x[0]), static_cast<int16_t>(oy + q->y[0]));
    for (int k = 1; k <= 4; ++k) LineTo(static_cast<int16_t>(ox + q->x[k % 4]), static_cast<int16_t>(oy + q->y[k % 4]));
    ClosePoly();
    FramePoly(poly);
    KillPoly(poly);
  }
}

}  // namespace

// The tiling the engine lays for the displayed size: its effective quads in
// black, its geometric quads in the colour, then the layout quad in red.
void VMKimabox::DrawTessTiling(int32_t ox, int32_t oy, RGBColor colour) {
  std::unique_ptr<MiscQuorlin> engine(new (std::nothrow) MiscQuorlin);
  if (engine == nullptr) return;
  engine->SetTessPar(tess_);
  engine->PrepQuads(0, 0, dispWidth_, dispHeight_);
  RGBForeColor(kBlack);
  FrameQuads(engine->effHead, engine->effCount, ox, oy);
  RGBForeColor(colour);
  FrameQuads(engine->geoHead, engine->geoCount, ox, oy);
  // The layout quad: percent of the displayed size, y up from the bottom;
  // outlined from corner 3 round to corner 2 and back.
  const int32_t* w = tess_->sets[0].w;
  Point p[4];
  for (int k = 0; k < 4; ++k) {
    p[k].h = static_cast<int16_t>(Trunc(ox + w[kTessBaseX + k] * static_cast<double>(dispWidth_) / 100 + 0.5));
    p[k].v = static_cast<int16_t>(
        Trunc(oy + dispHeight_ - w[kTessBaseY + k] * static_cast<double>(dispHeight_) / 100 + 0.5));
  }
  const Point order[4] = {p[2], p[3], p[0], p[1]};
  RGBForeColor(kRed);
  Outline(order);
}

// ---- repeat ----

// The repeat's tiles laid over the content-aware holder's picture size
// (kept: the repeat editor's box holds its picture there), rows flipped from
// the bottom-up tile rectangles to the screen; the marked tile outlined again
// in red, the last one when several are marked.
void VMKimabox::DrawRep(GrafPtr port, Rect rect, RGBColor colour, int16_t copy, int16_t) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  const YoxelPar* holder = yoxelRecord();
  if (rep_ == nullptr || holder == nullptr) return;
  const int32_t w = holder->imageWidth, h = holder->imageHeight;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map =
      vmkviews::MakePanMap(w, h, pan, dispWidth_, dispHeight_, vmkviews::DisplayOriginH(rect, dispWidth_),
                           vmkviews::DisplayOriginV(rect, dispHeight_));
  if (!map.ok) return;
  std::unique_ptr<MiscCastel> engine(new (std::nothrow) MiscCastel);
  if (engine == nullptr) return;
  engine->SetRepPar(rep_);
  engine->PrepareRepPat(w, h);
  auto outline = [&](const TRepPat& t) {
    const Rect& d = t.destination;
    const int16_t left = map.Map(d.left, 0).h, right = map.Map(d.right, 0).h;
    const int16_t first = map.Map(0, h - d.top).v, second = map.Map(0, h - d.bottom).v;
    const Point p[4] = {{first, left}, {second, left}, {second, right}, {first, right}};
    Outline(p);
  };
  RGBForeColor(colour);
  const TRepPat* marked = nullptr;
  const TRepPat* t = engine->head;
  for (int32_t n = 0; n < engine->pieceCount && t != nullptr; ++n, t = t->next) {
    outline(*t);
    if (t->selected == 1) marked = t;
  }
  if (marked == nullptr) return;
  RGBForeColor(kRed);
  outline(*marked);
}
