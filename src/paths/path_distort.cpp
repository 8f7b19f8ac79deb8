// Bending the paths of a list into the shape of a warp frame: the bounds of
// the active paths are cut into a grid of cells, the frame's curved edges
// are sampled into a grid of the same shape, and every knot and handle
// moves from its cell of the box to the matching cell of the frame.
//
// Distort2Path serves the frames with two curved opposite edges (kinds 2,
// 3, 20, 30: a 2 x 21 or 21 x 2 grid spanned between the two curves);
// DistortWithPath the frame with four curved edges (kind 33: a 21 x 21
// grid whose inner nodes come from curves that leave each edge along a
// direction blended from the edge's normal and its corners).
//
// The curves are sampled by length through a scratch path, once per call.
// A point is mapped by intersecting the two lines that join matching
// positions on opposite sides of its cell; where they are parallel the
// point stays. Points outside the active paths' bounds use the nearest
// cell. Without a box (no extent, no active path) nothing moves.
#include <cmath>
#include <cstdint>
#include <utility>

#include "app/core/memory_manager.h"
#include "app/core/plane_geometry.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"
#include "platform/memory/block.h"

using paths_detail::CurveSampler;
using paths_detail::ForEachCoordinatePair;
using paths_detail::Pt;

namespace {

constexpr int kSteps = 20;         // cells along a curved direction
constexpr int kNodes = kSteps + 1;
constexpr float kCrossLength = 10.0f;

// The sampling grid: (nx + 1) x (ny + 1) nodes, column c and row r at
// c + r * (nx + 1), in two work blocks.
class Grid {
 public:
  Grid(int nx, int ny)
      : nx_(nx),
        ny_(ny),
        xs_(static_cast<int64_t>(nx + 1) * (ny + 1), WorkSource()),
        ys_(static_cast<int64_t>(nx + 1) * (ny + 1), WorkSource()) {
    xs_.Clear();
    ys_.Clear();
  }
  bool ok() const { return static_cast<bool>(xs_) && static_cast<bool>(ys_); }
  int nx() const { return nx_; }
  int ny() const { return ny_; }
  Pt At(int c, int r) const { return {xs_[Index(c, r)], ys_[Index(c, r)]}; }
  void Set(int c, int r, Pt p) {
    xs_[Index(c, r)] = p.x;
    ys_[Index(c, r)] = p.y;
  }

 private:
  int64_t Index(int c, int r) const { return c + static_cast<int64_t>(r) * (nx_ + 1); }
  int nx_, ny_;
  plat::Block<float> xs_, ys_;
};

// The frame point i.
Pt F(const float* xs, const float* ys, int i) { return {xs[i], ys[i]}; }

// Samples the frame curve (p0, p1, p2, p3) at m steps into grid nodes
// node(k) for k = 0..m.
template <typename Node>
void CurveIntoGrid(CurveSampler& s, const float* xs, const float* ys, int p0, int p1, int p2,
                   int p3, int m, Grid& g, Node&& node) {
  s.Sample(F(xs, ys, p0), F(xs, ys, p1), F(xs, ys, p2), F(xs, ys, p3), m,
           [&](int k, Pt pt, Pt) {
             const auto [c, r] = node(k);
             g.Set(c, r, pt);
           });
}

// The grid of a two-curve frame; false for a kind without one.
bool BuildTwoCurveGrid(int16_t kind, const float* xs, const float* ys, Grid& g) {
  CurveSampler s;
  using CR = std::pair<int, int>;
  switch (kind) {
    case 3:
      CurveIntoGrid(s, xs, ys, 0, 1, 2, 3, 10, g, [](int k) { return CR{0, k}; });
      CurveIntoGrid(s, xs, ys, 3, 4, 5, 6, 10, g, [](int k) { return CR{0, 10 + k}; });
      CurveIntoGrid(s, xs, ys, 14, 15, 16, 17, 10, g, [](int k) { return CR{1, 20 - k}; });
      CurveIntoGrid(s, xs, ys, 17, 18, 19, 20, 10, g, [](int k) { return CR{1, 10 - k}; });
      return true;
    case 2:
      CurveIntoGrid(s, xs, ys, 0, 1, 5, 6, 20, g, [](int k) { return CR{0, k}; });
      CurveIntoGrid(s, xs, ys, 14, 15, 19, 20, 20, g, [](int k) { return CR{1, 20 - k}; });
      return true;
    case 20:
      CurveIntoGrid(s, xs, ys, 7, 8, 12, 13, 20, g, [](int k) { return CR{k, 1}; });
      CurveIntoGrid(s, xs, ys, 21, 22, 26, 27, 20, g, [](int k) { return CR{20 - k, 0}; });
      return true;
    case 30:
      CurveIntoGrid(s, xs, ys, 7, 8, 9, 10, 10, g, [](int k) { return CR{k, 1}; });
      CurveIntoGrid(s, xs, ys, 10, 11, 12, 13, 10, g, [](int k) { return CR{10 + k, 1}; });
      CurveIntoGrid(s, xs, ys, 21, 22, 23, 24, 10, g, [](int k) { return CR{20 - k, 0}; });
      CurveIntoGrid(s, xs, ys, 24, 25, 26, 27, 10, g, [](int k) { return CR{10 - k, 0}; });
      return true;
    default:
      return false;
  }
}

// One edge of the four-curve frame: its first point, where its samples go
// in the grid, and the corner vectors of its two ends.
struct Edge {
  int e0;
  int side;  // which cross-direction array: 0 left, 1 bottom, 2 right, 3 top
  // Node (column, row) and direction entry of sample j = 0..20 along it.
  std::pair<int, int> (*node)(int j);
  int (*entry)(int j);
  int wFrom[2];  // corner vector w = point wFrom[0] - point wFrom[1] (first curve)
  int wTo[2];    // the same for the second curve
};

constexpr Edge kEdges[4] = {
    {0, 0, [](int j) { return std::pair{0, j}; }, [](int j) { return j; }, {26, 27}, {8, 7}},
    {7, 1, [](int j) { return std::pair{j, 20}; }, [](int j) { return j; }, {5, 6}, {15, 14}},
    {14, 2, [](int j) { return std::pair{20, 20 - j}; }, [](int j) { return 20 - j; }, {12, 13},
     {22, 21}},
    {21, 3, [](int j) { return std::pair{20 - j, 0}; }, [](int j) { return 20 - j; }, {19, 20},
     {1, 0}},
};

// Scaled to length 10; a zero vector stays zero.
Pt CrossLength(Pt v) {
  const float len = std::sqrt(v.x * v.x + v.y * v.y);
  return len > 0.0f ? (kCrossLength / len) * v : v;
}

// The grid of the four-curve frame; `dirs` holds 4 x 21 cross directions
// and `mids` 2 x 21 middle-line points, both work blocks of the caller.
void BuildFourCurveGrid(const float* xs, const float* ys, Grid& g, Pt* dirs, Pt* mids) {
  CurveSampler s;
  for (const Edge& e : kEdges) {
    Pt* d = dirs + e.side * kNodes;
    const Pt wFirst = F(xs, ys, e.wFrom[0]) - F(xs, ys, e.wFrom[1]);
    const Pt wSecond = F(xs, ys, e.wTo[0]) - F(xs, ys, e.wTo[1]);
    for (int half = 0; half < 2; ++half) {
      const int p0 = e.e0 + 3 * half;
      s.Sample(F(xs, ys, p0), F(xs, ys, p0 + 1), F(xs, ys, p0 + 2), F(xs, ys, p0 + 3), 10,
               [&](int k, Pt pt, Pt tan) {
                 const int j = 10 * half + k;
                 const auto [c, r] = e.node(j);
                 g.Set(c, r, pt);
                 // The edges run anticlockwise on screen, so (dy, -dx) points
                 // into the frame; toward the ends it turns to the corners.
                 const Pt n{tan.y, -tan.x};
                 const auto fk = static_cast<float>(k);
                 const Pt blend = half == 0 ? (1.0f / 10) * (fk * n + (10 - fk) * wFirst)
                                            : (1.0f / 10) * ((10 - fk) * n + fk * wSecond);
                 d[e.entry(j)] = CrossLength(blend);
               });
    }
    d[10] = 0.5f * (d[9] + d[11]);
  }
  const Pt* left = dirs;
  const Pt* bottom = dirs + kNodes;
  const Pt* right = dirs + 2 * kNodes;
  const Pt* top = dirs + 3 * kNodes;
  Pt* hMid = mids;
  Pt* vMid = mids + kNodes;

  // The middle lines, each from one edge's middle node to the opposite one.
  s.Sample(g.At(0, 10), g.At(0, 10) + left[10], g.At(20, 10) + right[10], g.At(20, 10), kSteps,
           [&](int k, Pt pt, Pt) { hMid[k] = pt; });
  s.Sample(g.At(10, 0), g.At(10, 0) + top[10], g.At(10, 20) + bottom[10], g.At(10, 20), kSteps,
           [&](int k, Pt pt, Pt) { vMid[k] = pt; });

  // Row curves give each inner node its first half, column curves the second.
  for (int r = 1; r < kSteps; ++r) {
    s.Sample(g.At(0, r), g.At(0, r) + left[r], vMid[r], g.At(20, r) + right[r], g.At(20, r),
             kSteps, [&](int k, Pt pt, Pt) {
               if (k > 0 && k < kSteps) g.Set(k, r, pt);
             });
  }
  for (int c = 1; c < kSteps; ++c) {
    s.Sample(g.At(c, 0), g.At(c, 0) + top[c], hMid[c], g.At(c, 20) + bottom[c], g.At(c, 20),
             kSteps, [&](int k, Pt pt, Pt) {
               if (k > 0 && k < kSteps) g.Set(c, k, 0.5f * (g.At(c, k) + pt));
             });
  }
}

struct Box {
  float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
};

// The cell of the box that holds the point, as a position on the grid.
void MapPoint(const Grid& g, const Box& box, float& x, float& y) {
  const float cw = (box.right - box.left) / static_cast<float>(g.nx());
  const float ch = (box.bottom - box.top) / static_cast<float>(g.ny());
  auto cell = [](float f, int n) {
    const double t = std::trunc(static_cast<double>(f));
    // The far side belongs to the last cell; points beyond the box to the
    // nearest one.
    return t < 0.0 ? 0 : t >= n ? n - 1 : static_cast<int>(t);
  };
  const int i = cell((x - box.left) / cw, g.nx());
  const int j = cell((y - box.top) / ch, g.ny());
  auto unit = [](float f) { return f < 0.0f ? 0.0f : f > 1.0f ? 1.0f : f; };
  const float u = unit((x - box.left - static_cast<float>(i) * cw) / cw);
  const float v = unit((y - box.top - static_cast<float>(j) * ch) / ch);
  const Pt A = g.At(i, j), B = g.At(i + 1, j), C = g.At(i, j + 1), D = g.At(i + 1, j + 1);
  const Pt p1 = A + v * (C - A), p2 = B + v * (D - B);
  const Pt q1 = C + u * (D - C), q2 = A + u * (B - A);
  float a1, b1, c1, a2, b2, c2;
  A_lig_2point(p1.x, p1.y, p2.x, p2.y, &a1, &b1, &c1);
  A_lig_2point(q1.x, q1.y, q2.x, q2.y, &a2, &b2, &c2);
  A_int_2droit(a1, b1, c1, a2, b2, c2, &x, &y);
}

// Moves every point of the chosen paths through the grid over the box of
// the active paths; nothing when that box has no extent.
void MapListThroughGrid(CPathList& list, int16_t onlyActive, const Grid& g) {
  Box box;
  if (list.GetBound(1, &box.left, &box.top, &box.right, &box.bottom) == 0) return;
  if (!(box.right - box.left > 0.0f) || !(box.bottom - box.top > 0.0f)) return;
  for (CPath* p = list.first; p != nullptr; p = p->next) {
    if (onlyActive == 1 && p->active == 0) continue;
    ForEachCoordinatePair(p, [&](float& x, float& y) { MapPoint(g, box, x, y); });
  }
}

}  // namespace

void CPathList::Distort2Path(int16_t onlyActive, int16_t kind, const float* X, const float* Y,
                             int16_t density) {
  if (density != 0) InsertPoints(120 - density);
  if (X == nullptr || Y == nullptr) return;
  const bool across = kind == 20 || kind == 30;
  if (!across && kind != 2 && kind != 3) return;
  Grid g(across ? kSteps : 1, across ? 1 : kSteps);
  if (!g.ok() || !BuildTwoCurveGrid(kind, X, Y, g)) return;
  MapListThroughGrid(*this, onlyActive, g);
}

void CPathList::DistortWithPath(int16_t onlyActive, const float* X, const float* Y,
                                int16_t density) {
  if (density != 0) InsertPoints(120 - density);
  if (X == nullptr || Y == nullptr) return;
  Grid g(kSteps, kSteps);
  plat::Block<Pt> dirs(4 * kNodes, WorkSource());
  plat::Block<Pt> mids(2 * kNodes, WorkSource());
  if (!g.ok() || !dirs || !mids) return;
  dirs.Clear();
  mids.Clear();
  BuildFourCurveGrid(X, Y, g, dirs.get(), mids.get());
  MapListThroughGrid(*this, onlyActive, g);
}
