#include "engines/correction/grid_edit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/plane_geometry.h"
#include "platform/memory/block.h"

namespace {

// The five points of a node: position, then handles 1 to 4.
constexpr int32_t kXArrays[5] = {kGaX, kGaHandles, kGaHandles + 2, kGaHandles + 4, kGaHandles + 6};
constexpr int32_t kYArrays[5] = {kGaY, kGaHandles + 1, kGaHandles + 3, kGaHandles + 5,
                                 kGaHandles + 7};
// First arrays of the in and out sets.
constexpr int32_t kSetBases[2] = {0, kGaOut};

// The slot to work on, or null when the slot or its counts would reach past the arrays.
GridInfo* Slot(GridPar* r, int16_t grid) {
  if (r == nullptr || grid < 0 || grid >= kGridSlots) return nullptr;
  GridInfo* g = &r->grids[grid];
  const int32_t c = g->w[kGiColumns], rw = g->w[kGiRows];
  if (c < 1 || c > kGridMaxCells || rw < 1 || rw > kGridMaxCells) return nullptr;
  return g;
}
const GridInfo* Slot(const GridPar* r, int16_t grid) { return Slot(const_cast<GridPar*>(r), grid); }

struct Lattice {
  int32_t columns, rows;
  int32_t at(int32_t r, int32_t c) const { return r * (columns + 1) + c; }
  int32_t nodes() const { return (columns + 1) * (rows + 1); }
};
Lattice LatticeOf(const GridInfo& g) { return {g.w[kGiColumns], g.w[kGiRows]}; }

int32_t SearchBase(int16_t which) { return which != 0 ? kGaOut : 0; }
bool UsesIn(int16_t which, int16_t both) { return which == 0 || both == 1; }
bool UsesOut(int16_t which, int16_t both) { return which == 1 || both == 1; }
bool Admits(int16_t selOnly, int32_t flag) { return selOnly == 0 || (selOnly == 1 && flag == 1); }

void MovePoints(GridInfo& g, int32_t base, int32_t k, int32_t dx, int32_t dy) {
  for (int32_t i = 0; i < 5; ++i) {
    g.node[base + kXArrays[i]][k] += dx;
    g.node[base + kYArrays[i]][k] += dy;
  }
}

// The partners across the vertical axis, the horizontal axis and through the centre. One
// mirror switch alone moves its own partner; two or three move all three.
void MoveMirrors(GridInfo& g, int32_t base, const Lattice& l, int32_t r, int32_t c, int32_t dx,
                 int32_t dy, int16_t mx, int16_t my, int16_t mc) {
  const int32_t on = (mx == 1) + (my == 1) + (mc == 1);
  if (on == 0) return;
  if (on > 1 || mx == 1) MovePoints(g, base, l.at(r, l.columns - c), -dx, dy);
  if (on > 1 || my == 1) MovePoints(g, base, l.at(l.rows - r, c), dx, -dy);
  if (on > 1 || mc == 1) MovePoints(g, base, l.at(l.rows - r, l.columns - c), -dx, -dy);
}

bool Near(int32_t v, int32_t target, int32_t tolerance) {
  return std::fabs(static_cast<float>(v) - static_cast<float>(target)) < static_cast<float>(tolerance);
}

// Corners (or a row) of a lattice placed from `first` toward `last` at step i of n,
// rounded half up and truncated toward zero also below 0.
int32_t Between(int32_t first, int32_t last, int32_t i, int32_t n) {
  const float q = static_cast<float>(static_cast<int64_t>(i) * (static_cast<int64_t>(last) - first)) /
                  static_cast<float>(n);
  return first + static_cast<int32_t>(q + 0.5f);
}

void CreaSet(GridInfo& g, int32_t base, const Lattice& l, const int32_t* cx, const int32_t* cy) {
  for (int32_t c = 0; c <= l.columns; ++c) {
    const int32_t topX = Between(cx[0], cx[1], c, l.columns), topY = Between(cy[0], cy[1], c, l.columns);
    const int32_t botX = Between(cx[3], cx[2], c, l.columns), botY = Between(cy[3], cy[2], c, l.columns);
    for (int32_t r = 0; r <= l.rows; ++r) {
      const int32_t k = l.at(r, c);
      g.node[base + kGaX][k] = Between(topX, botX, r, l.rows);
      g.node[base + kGaY][k] = Between(topY, botY, r, l.rows);
      g.node[base + kGaSelected][k] = 0;
    }
  }
}

// Scales or turns every admitted node of one set: `point` maps (x, y) to its new place.
template <class F>
void TransformSet(const GridInfo& from, GridInfo& to, int32_t base, int16_t selOnly, F point) {
  const Lattice l = LatticeOf(from);
  for (int32_t k = 0; k < l.nodes(); ++k) {
    if (!Admits(selOnly, to.node[base + kGaSelected][k])) continue;
    for (int32_t i = 0; i < 5; ++i) {
      float x = 0, y = 0;
      point(static_cast<float>(from.node[base + kXArrays[i]][k]),
            static_cast<float>(from.node[base + kYArrays[i]][k]), &x, &y);
      to.node[base + kXArrays[i]][k] = static_cast<int32_t>(x);
      to.node[base + kYArrays[i]][k] = static_cast<int32_t>(y);
    }
  }
}

template <class F>
void TransformGrid(const GridPar* source, GridPar* destination, int16_t grid, int16_t which,
                   int16_t both, int16_t selOnly, F point) {
  const GridInfo* from = Slot(source, grid);
  GridInfo* to = Slot(destination, grid);
  if (from == nullptr || to == nullptr) return;
  if (to->w[kGiColumns] != from->w[kGiColumns] || to->w[kGiRows] != from->w[kGiRows]) return;
  if (UsesIn(which, both)) TransformSet(*from, *to, 0, selOnly, point);
  if (UsesOut(which, both)) TransformSet(*from, *to, kGaOut, selOnly, point);
}

// The anchor of the perspective drag, one for the program.
int32_t gAnchorColumn = 0;
int32_t gAnchorRow = 0;

float Falloff(float d, float side, int16_t falloff) {
  // Nodes that coincide with the border node leave no side to spread over: full weight.
  if (side <= 0.01f) return 1.0f;
  if (falloff == 0) return d / side;
  return 1.0f - (side - d) * (side - d) / (side * side);
}

// Weights of every node of one set for a drag of the anchor by (dx, dy).
void PerspWeights(const GridInfo& g, int32_t base, const Lattice& l, int32_t ac, int32_t ar,
                  float dx, float dy, int16_t falloff, float* wx, float* wy, uint8_t* computed) {
  const int32_t* xs = g.node[base + kGaX];
  const int32_t* ys = g.node[base + kGaY];
  auto dist = [&](int32_t r1, int32_t c1, int32_t r2, int32_t c2) {
    const int32_t p = l.at(r1, c1), q = l.at(r2, c2);
    return distance(static_cast<float>(xs[p]), static_cast<float>(ys[p]), static_cast<float>(xs[q]),
                    static_cast<float>(ys[q]));
  };
  const float left = dist(ar, ac, ar, 0), right = dist(ar, ac, ar, l.columns);
  const float top = dist(ar, ac, 0, ac), bottom = dist(ar, ac, l.rows, ac);
  for (int32_t c = 0; c <= l.columns; ++c) {
    const float f = c < ac ? Falloff(dist(ar, 0, ar, c), left, falloff)
                           : Falloff(dist(ar, l.columns, ar, c), right, falloff);
    wx[l.at(ar, c)] = dx * f;
    wy[l.at(ar, c)] = dy * f;
  }
  // Rows above take the anchor row's weight before the lower pass rescales it, the rows
  // below after; top and bottom sides are measured in the anchor's column for all.
  for (int32_t c = 0; c <= l.columns; ++c) {
    const int32_t a = l.at(ar, c);
    for (int32_t r = 0; r < ar; ++r) {
      const float f = Falloff(dist(0, c, r, c), top, falloff);
      wx[l.at(r, c)] = wx[a] * f;
      wy[l.at(r, c)] = wy[a] * f;
    }
    for (int32_t r = ar; r <= l.rows; ++r) {
      const float f = Falloff(dist(l.rows, c, r, c), bottom, falloff);
      wx[l.at(r, c)] = wx[a] * f;
      wy[l.at(r, c)] = wy[a] * f;
    }
  }
  for (int32_t k = 0; k < l.nodes(); ++k) computed[k] = 1;
}

bool PointArray(int32_t a) { return a != kGaSelected && a != kGaOut + kGaSelected; }

// Rebuilds every array of the grid on a lattice one row or column larger or smaller:
// `source(r, c, &from)` names the old node a new node takes (true), or false for a new node,
// which `fresh(array, r, c)` fills.
template <class S, class N>
int16_t Relayout(GridInfo& g, const Lattice& old, const Lattice& now, S source, N fresh) {
  plat::Block<int32_t> scratch(old.nodes(), WorkSource());
  if (!scratch) return -1;
  for (int32_t a = 0; a < kGridArrays; ++a) {
    std::memcpy(scratch.get(), g.node[a], static_cast<size_t>(scratch.bytes()));
    for (int32_t r = 0; r <= now.rows; ++r) {
      for (int32_t c = 0; c <= now.columns; ++c) {
        int32_t from = 0;
        g.node[a][now.at(r, c)] = source(r, c, &from) ? scratch[from] : fresh(scratch.get(), a, r, c);
      }
    }
  }
  g.w[kGiColumns] = now.columns;
  g.w[kGiRows] = now.rows;
  return 0;
}

int32_t Interpolate(int32_t lo, int32_t hi, float t) {
  return static_cast<int32_t>(static_cast<float>(lo) + static_cast<float>(hi - lo) * t);
}

}  // namespace

void SelDeselInOut_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                           int16_t value) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return;
  const int32_t n = LatticeOf(*g).nodes();
  for (int32_t k = 0; k < n; ++k) {
    if (UsesIn(which, both)) g->node[kGaSelected][k] = value;
    if (UsesOut(which, both)) g->node[kGaOut + kGaSelected][k] = value;
  }
}

void RectSeleInOut_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                           int32_t left, int32_t top, int32_t right, int32_t bottom) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return;
  const int32_t n = LatticeOf(*g).nodes();
  for (int32_t base : kSetBases) {
    if (!(base == 0 ? UsesIn(which, both) : UsesOut(which, both))) continue;
    for (int32_t k = 0; k < n; ++k) {
      const int32_t x = g->node[base + kGaX][k], y = g->node[base + kGaY][k];
      int32_t& flag = g->node[base + kGaSelected][k];
      if (left < x && x < right && top < y && y < bottom) flag = flag == 1 ? 0 : 1;
    }
  }
}

int16_t SearchInter_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t mode,
                            int32_t x, int32_t y, int32_t* column, int32_t* row,
                            int16_t tolerance) {
  const GridInfo* g = Slot(record, grid);
  if (g == nullptr || mode < 0 || mode > 2) return -1;
  const Lattice l = LatticeOf(*g);
  const int32_t base = SearchBase(which);
  for (int32_t r = 0; r <= l.rows; ++r) {
    for (int32_t c = 0; c <= l.columns; ++c) {
      const int32_t k = l.at(r, c);
      const bool nearX = std::abs(static_cast<int64_t>(g->node[base + kGaX][k]) - x) < tolerance;
      const bool nearY = std::abs(static_cast<int64_t>(g->node[base + kGaY][k]) - y) < tolerance;
      if ((mode == 0 && nearX) || (mode == 1 && nearY) || (mode == 2 && nearX && nearY)) {
        if (column != nullptr) *column = c;
        if (row != nullptr) *row = r;
        return 0;
      }
    }
  }
  return -1;
}

int16_t SearchPosit_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                            int32_t* column, int32_t* row, float* u, float* v) {
  const GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  const int32_t* xs = g->node[SearchBase(which) + kGaX];
  const int32_t* ys = g->node[SearchBase(which) + kGaY];
  auto fx = [&](int32_t r, int32_t c) { return static_cast<float>(xs[l.at(r, c)]); };
  auto fy = [&](int32_t r, int32_t c) { return static_cast<float>(ys[l.at(r, c)]); };
  for (int32_t r = 0; r < l.rows; ++r) {
    for (int32_t c = 0; c < l.columns; ++c) {
      float cu = 0, cv = 0;
      if (A_point_inquad(static_cast<float>(x), static_cast<float>(y), fx(r, c), fy(r, c), fx(r, c + 1),
                         fy(r, c + 1), fx(r + 1, c), fy(r + 1, c), fx(r + 1, c + 1), fy(r + 1, c + 1), &cu,
                         &cv) != 0)
        continue;
      if (column != nullptr) *column = c;
      if (row != nullptr) *row = r;
      if (u != nullptr) *u = cu;
      if (v != nullptr) *v = cv;
      return 0;
    }
  }
  return -1;
}

int16_t SearchCell_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                           int32_t* column, int32_t* row) {
  return SearchPosit_GridPar(record, grid, which, x, y, column, row, nullptr, nullptr);
}

void Crea_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t rows, int16_t columns,
                  const int32_t cornerX[4], const int32_t cornerY[4]) {
  if (record == nullptr || grid < 0 || grid >= kGridSlots || which < 1 || which > 3) return;
  if (cornerX == nullptr || cornerY == nullptr) return;
  GridInfo& g = record->grids[grid];
  const int32_t cs = columns > kGridMaxCells ? kGridMaxCells : (columns < 2 ? 1 : columns);
  const int32_t rs = rows > kGridMaxCells ? kGridMaxCells : (rows < 2 ? 1 : rows);
  g.w[kGiColumns] = cs;
  g.w[kGiRows] = rs;
  const Lattice lat{cs, rs};
  if (which & 1) CreaSet(g, 0, lat, cornerX, cornerY);
  if (which & 2) CreaSet(g, kGaOut, lat, cornerX, cornerY);
}

int16_t MoveGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                         int16_t selOnly, int32_t x, int32_t y, int32_t dx, int32_t dy,
                         int16_t mirrorX, int16_t mirrorY, int16_t mirrorC, int16_t* held,
                         int16_t* set, int16_t* node, int16_t* column, int16_t* row,
                         int32_t tolerance) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr || held == nullptr || set == nullptr || node == nullptr || column == nullptr ||
      row == nullptr)
    return 1;
  const Lattice l = LatticeOf(*g);
  bool moved = false;
  for (int32_t base : kSetBases) {
    if (!(base == 0 ? UsesIn(which, both) : UsesOut(which, both))) continue;
    for (int32_t r = 0; r <= l.rows; ++r) {
      for (int32_t c = 0; c <= l.columns; ++c) {
        if (!Admits(selOnly, g->node[base + kGaSelected][l.at(r, c)])) continue;
        MovePoints(*g, base, l.at(r, c), dx, dy);
        MoveMirrors(*g, base, l, r, c, dx, dy, mirrorX, mirrorY, mirrorC);
        moved = true;
      }
    }
  }
  if (moved) return 2;

  int32_t start = 0;
  if (*held == 1) {
    // A drag remembered from another grid or size resumes nowhere.
    if (*node < 0 || *node >= l.nodes() || *set < 0 || *set > 1) return 1;
    start = *node;
  } else {
    *set = which == 0 ? 0 : 1;
  }
  const int32_t base = *set == 1 ? kGaOut : 0;
  for (int32_t k = start; k < l.nodes(); ++k) {
    const int32_t r = k / (l.columns + 1), c = k % (l.columns + 1);
    *held = 1;
    *node = static_cast<int16_t>(k);
    *row = static_cast<int16_t>(r);
    *column = static_cast<int16_t>(c);
    if (Near(g->node[base + kGaX][k], x, tolerance) && Near(g->node[base + kGaY][k], y, tolerance)) {
      MovePoints(*g, base, k, dx, dy);
      if (both == 1) {
        const int32_t other = kGaOut - base;
        g->node[other + kGaX][k] += dx;
        g->node[other + kGaY][k] += dy;
      }
      MoveMirrors(*g, base, l, r, c, dx, dy, mirrorX, mirrorY, mirrorC);
      return 1;
    }
    if (g->w[kGiHandles] != 1) continue;
    for (int32_t h = 0; h < 4; ++h) {
      int32_t& hx = g->node[base + kGaHandles + 2 * h][k];
      int32_t& hy = g->node[base + kGaHandles + 2 * h + 1][k];
      if (Near(hx, x, tolerance) && Near(hy, y, tolerance)) {
        hx += dx;
        hy += dy;
        return 1;
      }
    }
  }
  return 1;
}

void MinMaxCenterGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selOnly,
                              int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY,
                              int32_t* centreX, int32_t* centreY) {
  const GridInfo* g = Slot(record, grid);
  if (g == nullptr || minX == nullptr || minY == nullptr || maxX == nullptr || maxY == nullptr ||
      centreX == nullptr || centreY == nullptr)
    return;
  const int32_t n = LatticeOf(*g).nodes();
  const int32_t base = SearchBase(which);
  auto scan = [&](bool selectedOnly) {
    *minX = *minY = 100000;
    *maxX = *maxY = 0;
    bool any = false;
    for (int32_t k = 0; k < n; ++k) {
      if (selectedOnly && g->node[base + kGaSelected][k] != 1) continue;
      const int32_t x = g->node[base + kGaX][k], y = g->node[base + kGaY][k];
      *minX = std::min(*minX, x);
      *minY = std::min(*minY, y);
      *maxX = std::max(*maxX, x);
      *maxY = std::max(*maxY, y);
      any = true;
    }
    return any;
  };
  if (selOnly != 1 || !scan(true)) scan(false);
  *centreX = (*minX + *maxX) / 2;
  *centreY = (*minY + *maxY) / 2;
}

int16_t Which_Corner(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                     int32_t* cornerX, int32_t* cornerY, int32_t* oppositeX, int32_t* oppositeY,
                     int32_t tolerance) {
  const GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  const int32_t base = SearchBase(which);
  const int32_t corners[4] = {l.at(0, 0), l.at(0, l.columns), l.at(l.rows, 0), l.at(l.rows, l.columns)};
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t k = corners[i], o = corners[3 - i];
    const int32_t cx = g->node[base + kGaX][k], cy = g->node[base + kGaY][k];
    if (!(x > cx - tolerance && x < cx + tolerance && y > cy - tolerance && y < cy + tolerance)) continue;
    if (cornerX != nullptr) *cornerX = cx;
    if (cornerY != nullptr) *cornerY = cy;
    if (oppositeX != nullptr) *oppositeX = g->node[base + kGaX][o];
    if (oppositeY != nullptr) *oppositeY = g->node[base + kGaY][o];
    return static_cast<int16_t>(i + 1);
  }
  return -1;
}

int16_t Which_CornerRect(int32_t x, int32_t y, int32_t left, int32_t right, int32_t top,
                         int32_t bottom, int32_t tolerance) {
  auto near = [&](int32_t cx, int32_t cy) {
    return x > cx - tolerance && x < cx + tolerance && y > cy - tolerance && y < cy + tolerance;
  };
  if (near(left, top)) return 1;
  if (near(right, top)) return 2;
  if (near(left, bottom)) return 3;
  if (near(right, bottom)) return 4;
  // Inside whichever way up the rectangle is given.
  const bool insideX = x > std::min(left, right) && x < std::max(left, right);
  const bool insideY = y > std::min(top, bottom) && y < std::max(top, bottom);
  return insideX && insideY ? 0 : -1;
}

void SizeGrid_GridPar(const GridPar* source, GridPar* destination, int16_t grid, int16_t which,
                      int16_t both, int16_t selOnly, float centreX, float centreY,
                      float oldWidth, float oldHeight, float newWidth, float newHeight) {
  // A zero old size has no scale to give.
  if (oldWidth == 0.0f || oldHeight == 0.0f) return;
  TransformGrid(source, destination, grid, which, both, selOnly, [&](float x, float y, float* nx, float* ny) {
    *nx = centreX + newWidth * (x - centreX) / oldWidth;
    *ny = centreY + newHeight * (y - centreY) / oldHeight;
  });
}

void RotaGrid_GridPar(const GridPar* source, GridPar* destination, int16_t grid, int16_t which,
                      int16_t both, int16_t selOnly, int32_t centreX, int32_t centreY,
                      float startAngle, float endAngle) {
  const float angle = endAngle - startAngle;
  const float cx = static_cast<float>(centreX), cy = static_cast<float>(centreY);
  TransformGrid(source, destination, grid, which, both, selOnly, [&](float x, float y, float* nx, float* ny) {
    A_point_fromAng(cx, cy, x, y, nx, ny, angle);
  });
}

void ResetPerspAnchor_GridPar() {
  gAnchorColumn = 0;
  gAnchorRow = 0;
}

int16_t PerspGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                          int16_t selOnly, int16_t falloff, int16_t anchorMode, int32_t a,
                          int32_t b, int32_t dx, int32_t dy) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  if (anchorMode == 0) {
    if (a < 0 || a > l.columns || b < 0 || b > l.rows) return -1;
    gAnchorColumn = a;
    gAnchorRow = b;
  } else if (anchorMode == 2) {
    int32_t c = 0, r = 0;
    if (SearchInter_GridPar(record, grid, which, 2, a, b, &c, &r, 500) != 0) return -1;
    gAnchorColumn = c;
    gAnchorRow = r;
  }
  // An anchor kept from a larger grid lies outside this one.
  if (gAnchorColumn > l.columns || gAnchorRow > l.rows) return -1;
  const int32_t n = l.nodes();
  const int32_t lines = l.rows + 1 + l.columns + 1;
  plat::Block<uint8_t> flags(2 * static_cast<int64_t>(n) + lines, WorkSource());
  plat::Block<float> weights(4 * static_cast<int64_t>(n), WorkSource());
  if (!flags || !weights) return -1;
  flags.Clear();
  weights.Clear();
  uint8_t* computed = flags.get();
  uint8_t* moved = computed + n;
  // A row or column once passed to MovRowCol has moved whole: later nodes on both a done
  // row and a done column have nothing left to move.
  uint8_t* rowDone = moved + n;
  uint8_t* columnDone = rowDone + l.rows + 1;
  float* w = weights.get();
  if (std::fabs(static_cast<float>(dx)) <= 0.01f && std::fabs(static_cast<float>(dy)) <= 0.01f) return 0;
  const float fdx = static_cast<float>(dx), fdy = static_cast<float>(dy);
  if (UsesIn(which, both))
    PerspWeights(*g, 0, l, gAnchorColumn, gAnchorRow, fdx, fdy, falloff, w, w + n, computed);
  if (UsesOut(which, both))
    PerspWeights(*g, kGaOut, l, gAnchorColumn, gAnchorRow, fdx, fdy, falloff, w + 2 * n, w + 3 * n,
                 computed);
  auto move = [&](int32_t column, int32_t row) {
    if (rowDone[row] != 0 && columnDone[column] != 0) return;
    MovRowCol(record, grid, which, both, selOnly, moved, column, row, w, w + n, w + 2 * n, w + 3 * n);
    rowDone[row] = 1;
    columnDone[column] = 1;
  };
  move(gAnchorColumn, gAnchorRow);
  for (bool again = true; again;) {
    again = false;
    for (int32_t k = 0; k < n; ++k) {
      if (computed[k] == 0) continue;
      move(k % (l.columns + 1), k / (l.columns + 1));
      computed[k] = 0;
      again = true;
    }
  }
  return 0;
}

void MovRowCol(GridPar* record, int16_t grid, int16_t which, int16_t both, int16_t selOnly,
               uint8_t* moved, int32_t column, int32_t row, const float* inDx,
               const float* inDy, const float* outDx, const float* outDy) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr || moved == nullptr) return;
  const Lattice l = LatticeOf(*g);
  auto shift = [&](int32_t base, int32_t k, const float* wx, const float* wy) {
    if (wx == nullptr || wy == nullptr || !Admits(selOnly, g->node[base + kGaSelected][k])) return;
    for (int32_t i = 0; i < 5; ++i) {
      int32_t& px = g->node[base + kXArrays[i]][k];
      int32_t& py = g->node[base + kYArrays[i]][k];
      px = static_cast<int32_t>(static_cast<float>(px) + wx[k]);
      py = static_cast<int32_t>(static_cast<float>(py) + wy[k]);
    }
  };
  auto visit = [&](int32_t k) {
    if (moved[k] != 0) return;
    if (UsesIn(which, both)) shift(0, k, inDx, inDy);
    if (UsesOut(which, both)) shift(kGaOut, k, outDx, outDy);
    moved[k] = 1;
  };
  // Only the row and the column are visited: each node moves by its own weights alone, so
  // the order does not matter, and a drag of a node of a 127 x 127 grid (one call per
  // node) stays far below a mouse move's time (about 190 ms when every call scanned the
  // whole lattice; see bench/resize_grid_engines.cpp).
  if (row >= 0 && row <= l.rows)
    for (int32_t c = 0; c <= l.columns; ++c) visit(l.at(row, c));
  if (column >= 0 && column <= l.columns)
    for (int32_t r = 0; r <= l.rows; ++r) visit(l.at(r, column));
}

int16_t DelRow_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  int32_t found = 0, column = 0;
  if (l.rows == 1 || SearchInter_GridPar(record, grid, which, 1, x, y, &column, &found, 500) != 0) return -1;
  const Lattice now{l.columns, l.rows - 1};
  return Relayout(
      *g, l, now,
      [&](int32_t r, int32_t c, int32_t* from) {
        *from = l.at(r < found ? r : r + 1, c);
        return true;
      },
      [](const int32_t*, int32_t, int32_t, int32_t) { return 0; });
}

int16_t DelCol_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  int32_t found = 0, row = 0;
  if (l.columns == 1 || SearchInter_GridPar(record, grid, which, 0, x, y, &found, &row, 500) != 0) return -1;
  const Lattice now{l.columns - 1, l.rows};
  return Relayout(
      *g, l, now,
      [&](int32_t r, int32_t c, int32_t* from) {
        *from = l.at(r, c < found ? c : c + 1);
        return true;
      },
      [](const int32_t*, int32_t, int32_t, int32_t) { return 0; });
}

int16_t AddRow_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selectNew,
                       int32_t x, int32_t y) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  // The node arrays hold 128 node rows: a grid at 127 cells takes no more.
  if (l.rows >= kGridMaxCells) return -1;
  int32_t column = l.columns / 2, k = l.rows / 2;
  float u = 0.5f, v = 0.5f;
  if (SearchPosit_GridPar(record, grid, which, x, y, &column, &k, &u, &v) != 0) return -1;
  const Lattice now{l.columns, l.rows + 1};
  return Relayout(
      *g, l, now,
      [&](int32_t r, int32_t c, int32_t* from) {
        if (r == k + 1) return false;
        *from = l.at(r <= k ? r : r - 1, c);
        return true;
      },
      [&](const int32_t* old, int32_t a, int32_t, int32_t c) {
        if (!PointArray(a)) return selectNew == 1 && c > 0 && c < l.columns ? 1 : 0;
        return Interpolate(old[l.at(k, c)], old[l.at(k + 1, c)], v);
      });
}

int16_t AddCol_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selectNew,
                       int32_t x, int32_t y) {
  GridInfo* g = Slot(record, grid);
  if (g == nullptr) return -1;
  const Lattice l = LatticeOf(*g);
  if (l.columns >= kGridMaxCells) return -1;
  int32_t k = l.columns / 2, row = l.rows / 2;
  float u = 0.5f, v = 0.5f;
  if (SearchPosit_GridPar(record, grid, which, x, y, &k, &row, &u, &v) != 0) return -1;
  const Lattice now{l.columns + 1, l.rows};
  return Relayout(
      *g, l, now,
      [&](int32_t r, int32_t c, int32_t* from) {
        if (c == k + 1) return false;
        *from = l.at(r, c <= k ? c : c - 1);
        return true;
      },
      [&](const int32_t* old, int32_t a, int32_t r, int32_t) {
        if (!PointArray(a)) return selectNew == 1 && r > 0 && r < l.rows ? 1 : 0;
        return Interpolate(old[l.at(r, k)], old[l.at(r, k + 1)], u);
      });
}
