// The grid-warp tools of the image box's mouse editing: select, move, size,
// rotate and bend the nodes of the current grid, create a grid from four
// clicks, add or delete a column or row. The record's tool word picks the
// tool (0 to 9; Option turns 1 to 3 into select); the grid engine's routines
// change the nodes, this file hands them the press in grid units
// (1/100000 of the grid's picture).
//
// Feedback: during a drag the edited set's mesh is drawn in light grey XOR
// before and after every change, never the preview; the view is redrawn once
// at the end of the press.
//
// A press does nothing (the redraw still follows) when the visible window,
// the displayed size or the grid's picture has no extent (every one is a
// divisor here), or when the current grid lies outside the record's slots:
// records reach the box from stored files.
#include <algorithm>
#include <memory>

#include "app/core/memory_manager.h"
#include "app/core/plane_geometry.h"
#include "app/keyboard.h"
#include "app/quad_tracking.h"
#include "engines/correction/grid_edit.h"
#include "platform/memory/block.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;
using namespace plat::tb;
using vmkviews::Rnd;

namespace {

constexpr RGBColor kFeedback{60000, 60000, 60000};
constexpr RGBColor kGreen{0, 65535, 0};
constexpr int32_t kTolerance = 500;

// Grid units of a picture coordinate, truncated; held inside the 32-bit range.
int32_t Units(float picture, int32_t size) {
  constexpr float kLimit = 2147483520.0f;
  const float v = picture * 100000.0f / static_cast<float>(size);
  if (v != v) return 0;
  return static_cast<int32_t>(std::clamp(v, -kLimit, kLimit));
}

bool Down(uint32_t key) { return TestKeyModif(key) == 1; }

}  // namespace

// ---- geometry ----

bool VMKimabox::MakeGridFrame(GrafPtr port, const Rect& bounds, GridFrame* f) {
  if (port == nullptr || grid_ == nullptr || CurrentGrid() == nullptr || dispWidth_ <= 0 || dispHeight_ <= 0)
    return false;
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map =
      vmkviews::MakeClampedPanMap(state_.srcWidth, state_.srcHeight, pan, dispWidth_, dispHeight_, 0, 0);
  const int32_t* head = grid_->head.w;
  if (!map.ok || head[kGpWidth] <= 0 || head[kGpHeight] <= 0) return false;
  f->port = port;
  f->bounds = bounds;
  f->origin = ImageOrigin(bounds);
  f->left = map.x0;
  f->top = map.y0;
  f->sx = map.sx;
  f->sy = map.sy;
  f->width = head[kGpWidth];
  f->height = head[kGpHeight];
  f->grid = static_cast<int16_t>(head[kGpCurrent]);
  f->set = static_cast<int16_t>(head[12]);
  f->link = static_cast<int16_t>(head[15]);
  f->sel = Down(controlKey) ? 0 : 1;
  return true;
}

// The press form: picture coordinate of the point, then grid units.
void VMKimabox::GridPoint(const GridFrame& f, Point p, int32_t* x, int32_t* y) const {
  *x = Units(static_cast<float>(p.h - f.origin.h) / f.sx + static_cast<float>(f.left), f.width);
  *y = Units(static_cast<float>(p.v - f.origin.v) / f.sy + static_cast<float>(f.top), f.height);
}

// The drag form: the offset in picture pixels taken to the nearest integer
// first, so that a step of the mouse is a whole number of picture pixels.
void VMKimabox::GridPointRounded(const GridFrame& f, Point p, int32_t* x, int32_t* y) const {
  *x = Units(static_cast<float>(f.left + Rnd(static_cast<float>(p.h - f.origin.h) / f.sx)), f.width);
  *y = Units(static_cast<float>(f.top + Rnd(static_cast<float>(p.v - f.origin.v) / f.sy)), f.height);
}

void VMKimabox::GridFeedback(const GridFrame& f) { DrawGrid(f.port, f.bounds, f.set, kFeedback, 0, 0); }

// The drag loop of the tools: each step at a new point erases the mesh, lets
// `change` edit the record and draws the mesh again. The tracking's first
// answer, read before the tool was known, is the first step.
template <class Change>
void VMKimabox::GridDrag(const GridFrame& f, Point press, Point first, int16_t* result, Change change) {
  Point last = press;
  auto step = [&](Point pt) {
    if (pt.h == last.h && pt.v == last.v) return;
    last = pt;
    GridFeedback(f);
    change(pt);
    GridFeedback(f);
  };
  step(first);
  while (*result != plat::ui::kTrackMouseUp) {
    Point pt;
    plat::ui::TrackMouseLocation(f.port, &pt, result);
    step(pt);
  }
}

// ---- dispatch ----

// The press is where the button went down, as the press event tells it. The
// tracking's first answer is where the mouse is once it has moved or been
// let go: on a drag of a few pixels an event, already farther from the node
// under the press than the 500 units a node is found within (two or three
// display pixels of a fitted picture), so a drag of a node that was not
// selected moved nothing. That answer is the drag's first step.
void VMKimabox::TrackGrid(GrafPtr port, const Rect& bounds, Point pressed, int16_t* result) {
  GridFrame f;
  if (!MakeGridFrame(port, bounds, &f)) return;
  Point first;
  plat::ui::TrackMouseLocation(port, &first, result);
  const Point press = pressed;
  int32_t tool = grid_->head.w[kGpTool];
  if (tool < 0 || tool > 9) return;
  if (tool >= 1 && tool <= 3 && Down(optionKey)) tool = 0;
  switch (tool) {
    case 0: GridSelect(f, press); break;
    case 1: GridMove(f, press, first, result); break;
    case 2: GridSize(f, press, first, result); break;
    case 3: GridRotate(f, press, first, result); break;
    case 4: GridBend(f, press, first, result); break;
    case 5: GridCreate(f, press); break;
    default: GridRowColumn(f, press, tool); break;
  }
}

// ---- select ----

// The selection quad (the press point and corners 1 to 3) as display pixels
// from the image origin, the origin handed on beside it, and read back the
// same way: a quad moved with Control follows the mouse exactly.
int32_t VMKimabox::TrackSelectionQuad(const GridFrame& f) {
  const int32_t qx[4] = {pressX_, selQuadX_[0], selQuadX_[1], selQuadX_[2]};
  const int32_t qy[4] = {pressY_, selQuadY_[0], selQuadY_[1], selQuadY_[2]};
  float x[4], y[4];
  for (int k = 0; k < 4; ++k) {
    x[k] = f.sx * (static_cast<float>(int64_t{f.width} * qx[k]) / 100000.0f - static_cast<float>(f.left));
    y[k] = f.sy * (static_cast<float>(int64_t{f.height} * qy[k]) / 100000.0f - static_cast<float>(f.top));
  }
  int16_t flag = 0;
  const int32_t answer = updatequad(f.port, f.origin.h, f.origin.v, f.bounds, &x[0], &y[0], &x[1], &y[1], &x[2],
                                    &y[2], &x[3], &y[3], &flag, 0, 3, 1, 0);
  if (answer == -1) return -1;
  int32_t* px[4] = {&pressX_, &selQuadX_[0], &selQuadX_[1], &selQuadX_[2]};
  int32_t* py[4] = {&pressY_, &selQuadY_[0], &selQuadY_[1], &selQuadY_[2]};
  for (int k = 0; k < 4; ++k) {
    *px[k] = Units(static_cast<float>(f.left + Rnd(x[k] / f.sx)), f.width);
    *py[k] = Units(static_cast<float>(f.top + Rnd(y[k] / f.sy)), f.height);
  }
  return answer;
}

void VMKimabox::SelectionBox(int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY) const {
  const int32_t qx[4] = {pressX_, selQuadX_[0], selQuadX_[1], selQuadX_[2]};
  const int32_t qy[4] = {pressY_, selQuadY_[0], selQuadY_[1], selQuadY_[2]};
  *minX = *std::min_element(qx, qx + 4);
  *maxX = *std::max_element(qx, qx + 4);
  *minY = *std::min_element(qy, qy + 4);
  *maxY = *std::max_element(qy, qy + 4);
}

void VMKimabox::GridSelect(const GridFrame& f, Point press) {
  GridPoint(f, press, &pressX_, &pressY_);
  int32_t column = 0, row = 0;
  if (SearchInter_GridPar(grid_, f.grid, f.set, 2, pressX_, pressY_, &column, &row, kTolerance) == 0) {
    const GridInfo& g = *CurrentGrid();
    const int64_t k = int64_t{row} * (g.w[kGiColumns] + 1) + column;
    if (k >= 0 && k < kGridNodes) {
      auto toggle = [&](int32_t set) {
        int32_t& flag = grid_->grids[f.grid].node[set + kGaSelected][k];
        flag = flag == 0 ? 1 : 0;
      };
      if (f.set == 0 || f.link == 1) toggle(0);
      if (f.set == 1 || f.link == 1) toggle(kGaOut);
    }
  } else if (TrackSelectionQuad(f) == -1) {
    if (!Down(shiftKey)) {
      SelDeselInOut_GridPar(grid_, f.grid, f.set, f.link, 0);
    } else {
      // A Shift-click adds the rectangle between the last click and this one.
      GridPoint(f, Point{static_cast<int16_t>(lastClickV_), static_cast<int16_t>(lastClickH_)}, &pressX_,
                &pressY_);
      GridPoint(f, press, &selQuadX_[0], &selQuadY_[0]);
      RectSeleInOut_GridPar(grid_, f.grid, f.set, f.link, std::min(pressX_, selQuadX_[0]),
                            std::min(pressY_, selQuadY_[0]), std::max(pressX_, selQuadX_[0]),
                            std::max(pressY_, selQuadY_[0]));
    }
  } else {
    if (!Down(shiftKey)) SelDeselInOut_GridPar(grid_, f.grid, f.set, f.link, 0);
    int32_t minX, minY, maxX, maxY;
    SelectionBox(&minX, &minY, &maxX, &maxY);
    RectSeleInOut_GridPar(grid_, f.grid, f.set, f.link, minX, minY, maxX, maxY);
  }
  Point now;
  int16_t ignored = 0;
  plat::ui::TrackMouseLocation(f.port, &now, &ignored);
  lastClickH_ = now.h;
  lastClickV_ = now.v;
}

// ---- move, size, rotate, bend ----

void VMKimabox::GridMove(const GridFrame& f, Point press, Point first, int16_t* result) {
  GridPoint(f, press, &pressX_, &pressY_);
  // The engine carries a drag in these from step to step; the box reads none.
  int16_t held = 0, set = 0, node = 0, column = 0, row = 0;
  GridDrag(f, press, first, result, [&](Point pt) {
    GridPointRounded(f, pt, &curX_, &curY_);
    MoveGrid_GridPar(grid_, f.grid, f.set, f.link, f.sel, pressX_, pressY_, curX_ - pressX_, curY_ - pressY_, 0, 0,
                     0, &held, &set, &node, &column, &row, kTolerance);
    pressX_ = curX_;
    pressY_ = curY_;
  });
}

// Size and rotate work from a copy of the record taken at the press, so each
// step starts from the nodes as they were and rounding never builds up. A
// copy that cannot be had leaves the record alone. The copy's room (the whole
// record, tens of megabytes) is had and cleared once for the box: had and
// cleared at every press it held the window's loop for a quarter of a second
// on a busy machine. Only the grids in use are copied, and only those are read.
GridPar* VMKimabox::GridPressCopy() {
  if (gridPressCopy_ == nullptr) {
    auto room = std::make_shared<plat::Block<GridPar>>(1, WorkSource());
    if (!*room) return nullptr;
    room->Clear();
    gridPressCopy_ = std::move(room);
  }
  Copy_GridPar(grid_, gridPressCopy_->get());
  return gridPressCopy_->get();
}

void VMKimabox::GridSize(const GridFrame& f, Point press, Point first, int16_t* result) {
  const GridPar* copy = GridPressCopy();
  if (copy == nullptr) return;
  GridPointRounded(f, press, &pressX_, &pressY_);
  int32_t minX, minY, maxX, maxY, cx, cy;
  MinMaxCenterGrid_GridPar(grid_, f.grid, f.set, f.sel, &minX, &minY, &maxX, &maxY, &cx, &cy);
  int32_t a, b, anchorX = cx, anchorY = cy;
  if (Which_Corner(grid_, f.grid, f.set, pressX_, pressY_, &a, &b, &anchorX, &anchorY, kTolerance) == -1) {
    anchorX = cx;
    anchorY = cy;
  }
  GridDrag(f, press, first, result, [&](Point pt) {
    GridPointRounded(f, pt, &curX_, &curY_);
    SizeGrid_GridPar(copy, grid_, f.grid, f.set, f.link, f.sel, static_cast<float>(anchorX),
                     static_cast<float>(anchorY), static_cast<float>(pressX_ - anchorX),
                     static_cast<float>(pressY_ - anchorY), static_cast<float>(curX_ - anchorX),
                     static_cast<float>(curY_ - anchorY));
  });
}

void VMKimabox::GridRotate(const GridFrame& f, Point press, Point first, int16_t* result) {
  const GridPar* copy = GridPressCopy();
  if (copy == nullptr) return;
  GridPointRounded(f, press, &pressX_, &pressY_);
  int32_t minX, minY, maxX, maxY, cx, cy;
  MinMaxCenterGrid_GridPar(grid_, f.grid, f.set, f.sel, &minX, &minY, &maxX, &maxY, &cx, &cy);
  float start = 0.0f;
  A_ang_2point(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(pressX_),
               static_cast<float>(pressY_), &start);
  GridDrag(f, press, first, result, [&](Point pt) {
    GridPointRounded(f, pt, &curX_, &curY_);
    float angle = 0.0f;
    A_ang_2point(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(curX_),
                 static_cast<float>(curY_), &angle);
    RotaGrid_GridPar(copy, grid_, f.grid, f.set, f.link, f.sel, cx, cy, start, angle);
  });
}

// The press is taken with y counted from the bottom, and the routine gets
// the step with y downward (kept: the bend has always been handed its point
// so). Command bends with kind 0 whatever the record's kind.
void VMKimabox::GridBend(const GridFrame& f, Point press, Point first, int16_t* result) {
  const int16_t kind = Down(cmdKey) ? 0 : static_cast<int16_t>(grid_->head.w[10]);
  GridPointRounded(f, press, &pressX_, &pressY_);
  pressY_ = 100000 - pressY_;
  int16_t phase = 2;
  GridDrag(f, press, first, result, [&](Point pt) {
    GridPointRounded(f, pt, &curX_, &curY_);
    curY_ = 100000 - curY_;
    PerspGrid_GridPar(grid_, f.grid, f.set, f.link, f.sel, kind, phase, curX_, 100000 - curY_, curX_ - pressX_,
                      pressY_ - curY_);
    phase = 1;
    pressX_ = curX_;
    pressY_ = curY_;
  });
}

// ---- create ----

// Clicks count in the first new-grid value (the dialog sets it to -1 as it
// picks the tool); the fourth click, or an Option-drag over a rectangle,
// builds the grid over the four corners and the tool goes back to select.
// A click with the count already at 3 (or a count no dialog set) starts
// again at corner 0: no click is ever stored beyond corner 3.
void VMKimabox::GridCreate(const GridFrame& f, Point press) {
  if (!Down(optionKey)) {
    int32_t n = newRowCol_[0] + 1;
    if (n < 0 || n > 3) n = 0;
    newRowCol_[0] = static_cast<int16_t>(n);
    GridPoint(f, press, &creaX_[n], &creaY_[n]);
    DrawCre(f.port, f.bounds, creaX_, creaY_, static_cast<int16_t>(n), kGreen);
  } else {
    GridPoint(f, press, &pressX_, &pressY_);
    if (TrackSelectionQuad(f) != -1) {
      int32_t minX, minY, maxX, maxY;
      SelectionBox(&minX, &minY, &maxX, &maxY);
      const int32_t x[4] = {minX, maxX, maxX, minX};
      const int32_t y[4] = {maxY, maxY, minY, minY};
      std::copy(x, x + 4, creaX_);
      std::copy(y, y + 4, creaY_);
      newRowCol_[0] = 3;
    }
  }
  if (newRowCol_[0] != 3) return;
  Crea_GridPar(grid_, f.grid, newRowCol_[1], newRowCol_[2], newRowCol_[3], creaX_, creaY_);
  grid_->head.w[kGpTool] = 0;
}

// ---- columns and rows ----

void VMKimabox::GridRowColumn(const GridFrame& f, Point press, int32_t tool) {
  int32_t x = 0, y = 0;
  GridPoint(f, press, &x, &y);
  if (tool == 6) AddCol_GridPar(grid_, f.grid, f.set, 0, x, y);
  if (tool == 7) DelCol_GridPar(grid_, f.grid, f.set, x, y);
  if (tool == 8) AddRow_GridPar(grid_, f.grid, f.set, 0, x, y);
  if (tool == 9) DelRow_GridPar(grid_, f.grid, f.set, x, y);
}
