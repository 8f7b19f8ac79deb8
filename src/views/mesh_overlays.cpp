// The correction meshes of the image box: the lens warp's regular and
// corrected lattices, the grid warp's in and out grids (the out grid also as
// the smooth curved mesh the warp really uses), and the points placed so far
// while a new grid is being created.
//
// Lens and grid map through the clamped visible window of the box's picture;
// the create points map through the unclamped window of the grid record's own
// picture size (so they may fall outside the view when the two differ: kept,
// it is how the create tool has always shown its clicks). Only the first
// three create points are ever shown: the fourth click creates the grid.
//
// Both meshes are built anew at every draw: the lens engine lays its warp
// grid, the smooth grid builds and solves one sub-grid per cell. Node counts
// read from a record are held to the record's arrays (128 x 128 nodes), and a
// current grid outside the sixteen slots draws nothing: records come from
// stored scripts and presets.
#include <algorithm>
#include <memory>
#include <new>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "engines/correction/grid_warp.h"
#include "engines/correction/lens_correction_engine.h"
#include "platform/memory/block.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

using namespace plat::draw;

namespace {

constexpr RGBColor kWhite{65535, 65535, 65535};

Rect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return Rect{static_cast<int16_t>(top), static_cast<int16_t>(left), static_cast<int16_t>(bottom),
              static_cast<int16_t>(right)};
}

void Segment(const Point& a, const Point& b) {
  MoveTo(a.h, a.v);
  LineTo(b.h, b.v);
}

// Horizontal lines row by row, then vertical lines column by column, through
// a lattice of (columns + 1) x (rows + 1) screen points stored row by row.
void LineMesh(const std::vector<Point>& p, int32_t columns, int32_t rows) {
  const int32_t stride = columns + 1;
  for (int32_t r = 0; r <= rows; ++r)
    for (int32_t c = 0; c < columns; ++c) Segment(p[r * stride + c], p[r * stride + c + 1]);
  for (int32_t c = 0; c <= columns; ++c)
    for (int32_t r = 0; r < rows; ++r) Segment(p[r * stride + c], p[(r + 1) * stride + c]);
}

// The node square: from (x - 2, y - 2) to (x + 2, y + 2).
Rect NodeSquare(const Point& p) { return MakeRect(p.h - 2, p.v - 2, p.h + 2, p.v + 2); }

void MarkNode(const Point& p, const RGBColor& colour) {
  RGBForeColor(kWhite);
  PaintRect(NodeSquare(p));
  RGBForeColor(colour);
  FrameRect(NodeSquare(p));
}

// Grid units (1/100000 of the grid's picture) to picture pixels, single
// precision; the size less one taken in 64 bits.
float UnitToPixel(int32_t size, float v) {
  return static_cast<float>(int64_t{size} - 1) * v / 100000.0f;
}

// Grid nodes to the screen: grid units to the grid picture's pixels, then
// through the window.
struct GridScreen {
  vmkviews::PanMap map;
  int32_t wg, hg;
  Point operator()(float x, float y) const { return map.MapF(UnitToPixel(wg, x), UnitToPixel(hg, y)); }
};

// One cell's sub-grids, made, placed and bent as the warp bends them, given
// back whatever way the drawing ends.
class SubGridTable {
 public:
  SubGridTable(int32_t columns, int32_t rows)
      : columns_(columns), rows_(rows),
        table_(int64_t{columns + 1} * (rows + 1), WorkSource()) {
    if (table_) std::fill(table_.begin(), table_.end(), nullptr);
  }
  ~SubGridTable() {
    if (table_)
      for (SubGrid* cell : table_) delete cell;
  }
  SubGridTable(const SubGridTable&) = delete;
  SubGridTable& operator=(const SubGridTable&) = delete;

  // Every cell from its four corners (top left, top right, bottom right,
  // bottom left); false when the table or a cell cannot be had.
  bool Build(const int32_t* xs, const int32_t* ys) {
    if (!table_) return false;
    const int32_t stride = columns_ + 1;
    for (int32_t r = 0; r < rows_; ++r) {
      for (int32_t c = 0; c < columns_; ++c) {
        SubGrid* cell = new (std::nothrow) SubGrid();
        if (cell == nullptr) return false;
        table_[r * stride + c] = cell;
        const int32_t k[4] = {r * stride + c, r * stride + c + 1, (r + 1) * stride + c + 1,
                              (r + 1) * stride + c};
        float x[4], y[4];
        for (int i = 0; i < 4; ++i) {
          x[i] = static_cast<float>(xs[k[i]]);
          y[i] = static_cast<float>(ys[k[i]]);
        }
        cell->InitSubGrid(x, y);
      }
    }
    return true;
  }
  SubGrid* Cell(int32_t c, int32_t r) const { return table_[r * (columns_ + 1) + c]; }
  SubGrid** data() const { return table_.get(); }

 private:
  int32_t columns_;
  int32_t rows_;
  plat::Block<SubGrid*> table_;
};

// The eight edge nodes of a cell, in the order they are bent: two per edge,
// clockwise from the top edge's left one; (column, row) of the 9 x 9 nodes.
constexpr int32_t kEdgeNode[8][2] = {{2, 0}, {6, 0}, {8, 2}, {8, 6}, {6, 8}, {2, 8}, {0, 6}, {0, 2}};

// Each edge node drawn s percent of the way to its target.
void BendCell(SubGrid* cell, int32_t s) {
  const float f = static_cast<float>(s);
  for (int32_t k = 0; k < 8; ++k) {
    const int32_t i = kEdgeNode[k][0], j = kEdgeNode[k][1];
    // A far handle (a tangent all but square to its edge) is held to the int range.
    const int32_t dx = TruncToInt32((cell->hdlX[k] - cell->ptX[j][i]) * f / 100.0f);
    const int32_t dy = TruncToInt32((cell->hdlY[k] - cell->ptY[j][i]) * f / 100.0f);
    PerspSubGrid(cell, i, j, dx, dy);
  }
}

// The out grid as the warp bends it: every cell cut into 8 x 8 sub-quads
// whose edges curve by s percent toward their targets, then the cells'
// outlines over them and a square on every node. False when the sub-grids
// cannot be had (nothing more is drawn).
bool DrawSmoothMesh(const GridInfo& g, int32_t nx, int32_t ny, int32_t s, int16_t copy,
                    const GridScreen& screen, const std::vector<Point>& nodes) {
  const int32_t* xs = g.node[kGaOut + kGaX];
  const int32_t* ys = g.node[kGaOut + kGaY];
  SubGridTable table(nx, ny);
  if (!table.Build(xs, ys)) return false;
  CalcTgt_SubGrid(xs, ys, table.data(), nx, ny);
  CalcDisp_SubGrid(xs, ys, table.data(), nx, ny);
  for (int32_t r = 0; r < ny; ++r)
    for (int32_t c = 0; c < nx; ++c) BendCell(table.Cell(c, r), s);
  CorrAdj_SubGrid(table.data(), nx, ny);
  Point q[81];
  auto place = [&](const SubGrid& cell) {
    for (int32_t j = 0; j <= 8; ++j)
      for (int32_t i = 0; i <= 8; ++i) q[i + 9 * j] = screen(cell.ptX[j][i], cell.ptY[j][i]);
  };
  PenMode(copy == 1 ? addMax : patXor);
  for (int32_t r = 0; r < ny; ++r) {
    for (int32_t c = 0; c < nx; ++c) {
      place(*table.Cell(c, r));
      for (int32_t j = 0; j <= 8; ++j)
        for (int32_t i = 0; i < 8; ++i) Segment(q[i + 9 * j], q[i + 1 + 9 * j]);
      for (int32_t j = 0; j < 8; ++j)
        for (int32_t i = 0; i <= 8; ++i) Segment(q[i + 9 * j], q[i + 9 + 9 * j]);
    }
  }
  PenNormal();
  if (copy == 0) PenMode(patXor);
  for (int32_t r = 0; r < ny; ++r) {
    for (int32_t c = 0; c < nx; ++c) {
      place(*table.Cell(c, r));
      for (int32_t j : {0, 8})
        for (int32_t i = 0; i < 8; ++i) Segment(q[i + 9 * j], q[i + 1 + 9 * j]);
      for (int32_t i : {0, 8})
        for (int32_t j = 0; j < 8; ++j) Segment(q[i + 9 * j], q[i + 9 + 9 * j]);
    }
  }
  for (const Point& n : nodes) PaintRect(NodeSquare(n));
  return true;
}

}  // namespace

const GridInfo* VMKimabox::CurrentGrid() const {
  if (grid_ == nullptr) return nullptr;
  const int32_t current = grid_->head.w[kGpCurrent];
  if (current < 0 || current >= kGridSlots) return nullptr;
  return &grid_->grids[current];
}

vmkviews::PanMap VMKimabox::MeshWindow(const Rect& rect) const {
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  return vmkviews::MakeClampedPanMap(state_.srcWidth, state_.srcHeight, pan, dispWidth_, dispHeight_,
                                     vmkviews::DisplayOriginH(rect, dispWidth_),
                                     vmkviews::DisplayOriginV(rect, dispHeight_));
}

void VMKimabox::DrawZondrac(GrafPtr port, Rect rect, int16_t grid, RGBColor colour, int16_t copy) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  if (zondrac_ == nullptr || (grid != 0 && grid != 1)) return;
  const vmkviews::PanMap map = MeshWindow(rect);
  if (!map.ok) return;
  // The warp grid is laid anew at every draw, as the lens engine lays it for
  // its render: what is drawn is what the preview bends.
  plat::Block<TCWrap> wrap(1, WorkSource());
  std::unique_ptr<MiscZondrac> engine(new (std::nothrow) MiscZondrac);
  if (!wrap || engine == nullptr) return;
  wrap.Clear();
  engine->SetZondracPar(zondrac_);
  const int32_t w = state_.srcWidth, h = state_.srcHeight;
  if (engine->PrepareGrid(wrap.get(), w, h, w, h, zondrac_->w[kZndFrameCells],
                          zondrac_->w[kZndFrameLastRow]) != 0)
    return;
  const TCWrap& f = *wrap.get();
  const bool corrected = grid == 1 && zondrac_->w[kZndMutateOn] != 0;
  const TCWrapNodes& set = corrected ? f.set2 : f.set1;
  const int32_t columns = f.columns, rows = f.rows;
  if (columns < 0 || rows < 0 || int64_t{columns + 1} * (rows + 1) > kTCWrapMaxNodes) return;
  std::vector<Point> p(static_cast<size_t>(columns + 1) * static_cast<size_t>(rows + 1));
  for (size_t k = 0; k < p.size(); ++k) p[k] = map.MapF(set.x[k], set.y[k]);
  RGBForeColor(colour);
  LineMesh(p, columns, rows);
}

void VMKimabox::DrawGrid(GrafPtr port, Rect rect, int16_t grid, RGBColor colour, int16_t copy,
                         int16_t markers) {
  vmkviews::OverlayFrame frame(port, rect, true, copy);
  const GridInfo* g = CurrentGrid();
  if (g == nullptr || (grid != 0 && grid != 1)) return;
  const vmkviews::PanMap map = MeshWindow(rect);
  if (!map.ok) return;
  const int32_t nx = std::clamp(g->w[kGiColumns], 0, kGridMaxCells);
  const int32_t ny = std::clamp(g->w[kGiRows], 0, kGridMaxCells);
  const int32_t wg = grid_->head.w[kGpWidth], hg = grid_->head.w[kGpHeight];
  const int32_t set = grid == 0 ? 0 : kGaOut;
  const int32_t* xs = g->node[set + kGaX];
  const int32_t* ys = g->node[set + kGaY];
  const GridScreen screen{map, wg, hg};
  std::vector<Point> p(static_cast<size_t>(nx + 1) * static_cast<size_t>(ny + 1));
  for (size_t k = 0; k < p.size(); ++k) p[k] = screen(static_cast<float>(xs[k]), static_cast<float>(ys[k]));
  RGBForeColor(colour);
  const int32_t s = g->w[kGiCurvature] / 3;
  if (grid == 0 || s == 0 || param_.gridOverlay != 1) {
    LineMesh(p, nx, ny);
  } else if (!DrawSmoothMesh(*g, nx, ny, s, copy, screen, p)) {
    return;
  }
  PenNormal();
  if (copy == 0) PenMode(patXor);
  if (markers != 1) return;
  const int32_t* selected = g->node[set + kGaSelected];
  for (size_t k = 0; k < p.size(); ++k)
    if (selected[k] == 1) MarkNode(p[k], colour);
}

void VMKimabox::DrawCre(GrafPtr port, Rect rect, int32_t* x, int32_t* y, int16_t last, RGBColor colour) {
  vmkviews::OverlayFrame frame(port, rect, false, 1);
  if (grid_ == nullptr || x == nullptr || y == nullptr || last < 0) return;
  const int32_t wg = grid_->head.w[kGpWidth], hg = grid_->head.w[kGpHeight];
  const int32_t pan[4] = {state_.panLeft, state_.panTop, state_.panRight, state_.panBottom};
  const vmkviews::PanMap map =
      vmkviews::MakePanMap(wg, hg, pan, dispWidth_, dispHeight_, vmkviews::DisplayOriginH(rect, dispWidth_),
                           vmkviews::DisplayOriginV(rect, dispHeight_));
  if (!map.ok) return;
  for (int32_t k = 0; k <= std::min<int32_t>(last, 2); ++k) {
    const Point p = map.Map(vmkviews::PixelOfUnit(wg, x[k]), vmkviews::PixelOfUnit(hg, y[k]));
    MoveTo(p.h, p.v);
    MarkNode(p, colour);
  }
}
