// Curved-cell lattice, envelope and path-to-path warps, and the polyline
// resampler and Coons patch under them.
//
// Lengths along a polyline are summed in double precision; the Coons patch
// sums in fixed point with 20 fractional bits so that a patch of straight
// sides lands on whole numbers exactly. Curves are measured and sampled
// through scratch paths, walking each segment in thousandths.
#include "paths/path_warps.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/core/memory_manager.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "platform/memory/block.h"
#include "raster/distortion_warp.h"
#include "raster/quad_mapping.h"
#include "raster/warp_frame_record.h"
#include "raster/warp_lattice.h"

using paths_detail::CurveSampler;
using paths_detail::Pt;
using paths_detail::Trunc16Held;

int16_t nbgrids = 8;
int16_t HALFnbgrids = 4;

namespace {

// Length walks in thousandths of a segment.
constexpr int16_t kFineWalk = 1;

bool MapsFit(int32_t height, int32_t width) {
  return height >= 0 && width >= 0 && int64_t{height} * width <= kCoordinateMapEntries;
}

void ResetMaps(uint16_t* xMap, uint16_t* yMap) {
  std::fill(xMap, xMap + kCoordinateMapEntries, kQuadMapNeutral);
  std::fill(yMap, yMap + kCoordinateMapEntries, kQuadMapNeutral);
}

double SegmentLength(const Point2f& a, const Point2f& b) {
  return std::hypot(static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y);
}

void ByArcLength(const Curve& in, Point2f* out, int32_t n) {
  double total = 0.0;
  for (int32_t i = 1; i < in.count; ++i) total += SegmentLength(in.pts[i - 1], in.pts[i]);
  if (!(total > 0.0)) {
    // No length to walk: every place along it is the first point.
    std::fill(out, out + n, in.pts[0]);
    return;
  }
  const double step = n > 1 ? total / (n - 1) : std::numeric_limits<double>::infinity();
  double value = 0.0001;
  int32_t written = 0;
  for (int32_t i = 1; i < in.count && written < n; ++i) {
    const Point2f& a = in.pts[i - 1];
    const Point2f& b = in.pts[i];
    const double d = SegmentLength(a, b);
    // A repeated point adds no length and has no place to give.
    if (!(d > 0.0)) continue;
    value += d;
    while (value > 0.0 && written < n) {
      const double f = value / d;
      out[written].x = static_cast<float>(b.x - f * (static_cast<double>(b.x) - a.x));
      out[written].y = static_cast<float>(b.y - f * (static_cast<double>(b.y) - a.y));
      ++written;
      value -= step;
    }
  }
  // Rounding may leave the last place just beyond the end.
  std::fill(out + written, out + n, in.pts[in.count - 1]);
}

void ByIndex(const Curve& in, Point2f* out, int32_t n) {
  const int32_t last = in.count - 1;
  for (int32_t k = 0; k < n - 1; ++k) {
    const float p =
        static_cast<float>(k) * static_cast<float>(last) / static_cast<float>(n - 1);
    const int32_t i0 = std::min(static_cast<int32_t>(p), last);
    const int32_t i1 = std::min(i0 + 1, last);
    const float f = p - static_cast<float>(i0);
    out[k].x = in.pts[i0].x + f * (in.pts[i1].x - in.pts[i0].x);
    out[k].y = in.pts[i0].y + f * (in.pts[i1].y - in.pts[i0].y);
  }
  out[n - 1] = in.pts[last];
}

// A curve that hands its points back when it goes.
struct OwnedCurve {
  Curve c;
  OwnedCurve() = default;
  OwnedCurve(const OwnedCurve&) = delete;
  OwnedCurve& operator=(const OwnedCurve&) = delete;
  ~OwnedCurve() { DisposeCurve(&c); }
};

// The side path flattened and spaced by arc length into n points.
bool SidePoints(const CPath* side, int32_t n, Curve* out) {
  if (side == nullptr || side->first == nullptr || side->count < 1) return false;
  // The flattening writes the first knot and 20 points for each segment,
  // one segment leaving each of at most `count` knots.
  const plat::Block<Point2f> flat(1 + 20 * int64_t{side->count}, WorkSource());
  if (!flat) return false;
  int32_t got = 0;
  side->PointsOnAPath(flat.get(), &got);
  const Curve c{got, flat.get()};
  resample(&c, out, n, 0);
  return out->count == n;
}

int64_t Fixed20(double v) { return std::llround(v * 1048576.0); }

int16_t Rounded20(int64_t sum) {
  return Trunc16Held(static_cast<double>((sum + 524288) >> 20));
}

// Four closed-path pieces made and freed with the call.
struct FourSides {
  CPath* p[4] = {new CPath, new CPath, new CPath, new CPath};
  FourSides() = default;
  FourSides(const FourSides&) = delete;
  FourSides& operator=(const FourSides&) = delete;
  ~FourSides() {
    for (CPath* s : p) delete s;
  }
};

// Coons grid of (cells + 1)^2 nodes over the path cut into four equal sides.
bool OutlineGrid(CPath* path, int32_t cells, int16_t* gx, int16_t* gy) {
  FourSides sides;
  if (path->DivideInNb(4, sides.p) != 0) return false;
  return prep_nBYnGrid(0, 0, cells, cells, sides.p[0], sides.p[1], sides.p[2], sides.p[3], gx,
                       gy) == 0;
}

// A picture-space quadrilateral, corners P0..P3.
struct Quad {
  int32_t x[4];
  int32_t y[4];
};

void MapQuad(int32_t height, int32_t width, uint16_t* xMap, uint16_t* yMap, const Quad& a,
             const Quad& b) {
  QuadToQuad(height, width, xMap, yMap, a.x[0], a.y[0], a.x[1], a.y[1], a.x[2], a.y[2], a.x[3],
             a.y[3], b.x[0], b.y[0], b.x[1], b.y[1], b.x[2], b.y[2], b.x[3], b.y[3]);
}

// --- Cell grids ----------------------------------------------------------------

// One edge of a cell outline: its first outline entry, where sample j of it
// lands in the grid, the cross-direction table it fills and the outline
// entries whose difference is the corner vector at each of its two ends.
struct CellEdge {
  int e0;
  int side;  // 0 left, 1 bottom, 2 right, 3 top
  bool reversed;  // samples run from the grid's far end
  int vFirst[2];
  int vSecond[2];
};

constexpr CellEdge kCellEdges[4] = {
    {0, 0, false, {26, 27}, {8, 7}},
    {7, 1, false, {5, 6}, {15, 14}},
    {14, 2, true, {12, 13}, {22, 21}},
    {21, 3, true, {19, 20}, {1, 0}},
};

// Grid position (column, row) of sample j of edge `side`.
void EdgeNode(int side, int j, int nb, int* c, int* r) {
  switch (side) {
    case 0: *c = 0; *r = j; break;
    case 1: *c = j; *r = nb; break;
    case 2: *c = nb; *r = nb - j; break;
    default: *c = nb - j; *r = 0; break;
  }
}

// Twice the signed area of the outline's corners: positive when it turns
// anticlockwise with y pointing up.
float Turning(const float* ox, const float* oy) {
  const int corners[4] = {0, 7, 14, 21};
  float s = 0.0f;
  for (int i = 0; i < 4; ++i) {
    const int a = corners[i], b = corners[(i + 1) % 4];
    s += ox[a] * oy[b] - ox[b] * oy[a];
  }
  return s;
}

bool BuildCellGrid(const float* ox, const float* oy, float* gx, float* gy) {
  const int nb = nbgrids;
  const int half = HALFnbgrids;
  if (nb < 2 || half < 1 || 2 * half != nb) return false;
  const int n1 = nb + 1;
  plat::Block<Pt> grid(int64_t{n1} * n1, WorkSource());
  plat::Block<Pt> dirs(4 * int64_t{n1}, WorkSource());
  plat::Block<Pt> mids(2 * int64_t{n1}, WorkSource());
  if (!grid || !dirs || !mids) return false;
  grid.Clear();
  dirs.Clear();
  auto at = [&](int c, int r) -> Pt& { return grid[int64_t{r} * n1 + c]; };
  auto P = [&](int i) { return Pt{ox[i], oy[i]}; };
  // The cross direction leaves each border sample into the cell: the
  // tangent turned a quarter toward the inside, whichever way the outline
  // runs.
  const float turn = Turning(ox, oy) >= 0.0f ? 1.0f : -1.0f;
  CurveSampler s(kFineWalk);
  for (const CellEdge& e : kCellEdges) {
    Pt* d = dirs.get() + e.side * n1;
    const Pt v[2] = {P(e.vFirst[0]) - P(e.vFirst[1]), P(e.vSecond[0]) - P(e.vSecond[1])};
    for (int h = 0; h < 2; ++h) {
      const int p0 = e.e0 + 3 * h;
      s.Sample(P(p0), P(p0 + 1), P(p0 + 2), P(p0 + 3), half, [&](int k, Pt pt, Pt tan) {
        // The ends of each half are its own end points exactly, so that
        // neighbouring cells share their corners.
        if (k == 0) pt = P(p0);
        if (k == half) pt = P(p0 + 3);
        const int j = half * h + k;
        int c = 0, r = 0;
        EdgeNode(e.side, j, nb, &c, &r);
        at(c, r) = pt;
        const Pt normal{-turn * tan.y, turn * tan.x};
        const int fromCorner = h == 0 ? k : half - k;
        const float w = static_cast<float>(half - fromCorner) / static_cast<float>(half);
        d[e.reversed ? nb - j : j] = w * v[h] + (1.0f - w) * normal;
      });
    }
    d[half] = 0.5f * (d[half - 1] + d[half + 1]);
  }
  const Pt* left = dirs.get();
  const Pt* bottom = dirs.get() + n1;
  const Pt* right = dirs.get() + 2 * n1;
  const Pt* top = dirs.get() + 3 * n1;
  Pt* hMid = mids.get();
  Pt* vMid = mids.get() + n1;
  s.Sample(at(0, half), at(0, half) + left[half], at(nb, half) + right[half], at(nb, half), nb,
           [&](int k, Pt pt, Pt) { hMid[k] = pt; });
  s.Sample(at(half, 0), at(half, 0) + top[half], at(half, nb) + bottom[half], at(half, nb), nb,
           [&](int k, Pt pt, Pt) { vMid[k] = pt; });
  // Row curves give each inner node its first half, column curves the other.
  for (int r = 1; r < nb; ++r) {
    s.Sample(at(0, r), at(0, r) + left[r], vMid[r], at(nb, r) + right[r], at(nb, r), nb,
             [&](int k, Pt pt, Pt) {
               if (k > 0 && k < nb) at(k, r) = pt;
             });
  }
  for (int c = 1; c < nb; ++c) {
    s.Sample(at(c, 0), at(c, 0) + top[c], hMid[c], at(c, nb) + bottom[c], at(c, nb), nb,
             [&](int k, Pt pt, Pt) {
               if (k > 0 && k < nb) at(c, k) = 0.5f * (at(c, k) + pt);
             });
  }
  for (int64_t i = 0; i < int64_t{n1} * n1; ++i) {
    gx[i] = grid[i].x;
    gy[i] = grid[i].y;
  }
  return true;
}

// Subdivision of a cell for a lattice whose smaller count is m.
int16_t CellSubdivision(int32_t m) {
  if (m < 3) return 16;
  if (m < 5) return 8;
  if (m < 9) return 6;
  if (m < 16) return 4;
  return 2;
}

// The fine lattice of one node set, in picture pixels.
bool FineLattice(const TCWrapNodes& set, int32_t nx, int32_t ny, int32_t nb,
                 const TCWrapToPicture& pic, float* cellX, float* cellY, int16_t* fx,
                 int16_t* fy) {
  const int64_t fw = int64_t{nx} * nb + 1;
  float sx[kTCWrapOutlinePoints], sy[kTCWrapOutlinePoints];
  for (int32_t j = 0; j < ny; ++j) {
    for (int32_t i = 0; i < nx; ++i) {
      // The lattice's y axis points up: the cell's lower-left node lies
      // one row nearer the start than its upper-left one.
      const int32_t k = i + (ny - 1 - j) * (nx + 1);
      GrToShape(k, nx, set.x, set.y, set.prevColX, set.prevColY, set.prevRowX, set.prevRowY,
                set.nextColX, set.nextColY, set.nextRowX, set.nextRowY, sx, sy);
      if (!BuildCellGrid(sx, sy, cellX, cellY)) return false;
      for (int32_t r = 0; r <= nb; ++r) {
        for (int32_t c = 0; c <= nb; ++c) {
          const int64_t f = (int64_t{j} * nb + r) * fw + int64_t{i} * nb + c;
          const int32_t g = r * (nb + 1) + c;
          fx[f] = Trunc16Held(pic.X(cellX[g]));
          fy[f] = Trunc16Held(pic.Y(cellY[g]));
        }
      }
    }
  }
  return true;
}

}  // namespace

void DisposeCurve(Curve* c) {
  if (c == nullptr) return;
  if (c->pts != nullptr) {
    const plat::BlockSource src = WorkSource();
    src.give(src.owner, c->pts);
  }
  *c = Curve{};
}

void resample(const Curve* in, Curve* out, int32_t n, int16_t mode) {
  if (out == nullptr) return;
  *out = Curve{};
  if (in == nullptr || in->pts == nullptr || in->count < 1 || n < 1) return;
  if (mode == 0 ? in->count < 2 : n < 2) return;
  const plat::BlockSource src = WorkSource();
  auto* pts = static_cast<Point2f*>(src.take(src.owner, int64_t{n} * sizeof(Point2f)));
  if (pts == nullptr) return;
  if (mode == 0) {
    ByArcLength(*in, pts, n);
  } else {
    ByIndex(*in, pts, n);
  }
  out->count = n;
  out->pts = pts;
}

int32_t prep_nBYnGrid(int32_t left, int32_t top, int32_t right, int32_t bottom, CPath* side1,
                      CPath* side2, CPath* side3, CPath* side4, int16_t* gridX, int16_t* gridY) {
  const int64_t nu64 = int64_t{right} - left + 1;
  const int64_t nv64 = int64_t{bottom} - top + 1;
  if (gridX == nullptr || gridY == nullptr || nu64 < 2 || nv64 < 2 || nu64 > 32767 ||
      nv64 > 32767) {
    return -1;
  }
  const auto nu = static_cast<int32_t>(nu64);
  const auto nv = static_cast<int32_t>(nv64);
  OwnedCurve s1, s2, s3, s4;
  if (!SidePoints(side1, nu, &s1.c) || !SidePoints(side2, nv, &s2.c) ||
      !SidePoints(side3, nu, &s3.c) || !SidePoints(side4, nv, &s4.c)) {
    return -1;
  }
  const Point2f* S1 = s1.c.pts;
  const Point2f* S2 = s2.c.pts;
  const Point2f* S3 = s3.c.pts;
  const Point2f* S4 = s4.c.pts;
  auto mean = [](const Point2f& a, const Point2f& b) {
    return Point2f{(a.x + b.x) / 2.0f, (a.y + b.y) / 2.0f};
  };
  const Point2f tl = mean(S1[0], S4[nv - 1]);
  const Point2f tr = mean(S1[nu - 1], S2[0]);
  const Point2f br = mean(S2[nv - 1], S3[0]);
  const Point2f bl = mean(S3[nu - 1], S4[0]);
  const float dt = 1.0f / static_cast<float>(nv - 1);
  float t = 0.0f;
  for (int32_t r = 0; r < nv; ++r) {
    const double tt = t;
    // Row blend less the corners' bilinear blend is linear along the row:
    // its start and its per-column step.
    const double startX = S4[nv - 1 - r].x - ((1.0 - tt) * tl.x + tt * bl.x);
    const double startY = S4[nv - 1 - r].y - ((1.0 - tt) * tl.y + tt * bl.y);
    const double endX = S2[r].x - ((1.0 - tt) * tr.x + tt * br.x);
    const double endY = S2[r].y - ((1.0 - tt) * tr.y + tt * br.y);
    int64_t accX = Fixed20(startX);
    int64_t accY = Fixed20(startY);
    const int64_t stepX = Fixed20((endX - startX) / (nu - 1));
    const int64_t stepY = Fixed20((endY - startY) / (nu - 1));
    for (int32_t k = 0; k < nu; ++k) {
      const double colX = (1.0 - tt) * S1[k].x + tt * S3[nu - 1 - k].x;
      const double colY = (1.0 - tt) * S1[k].y + tt * S3[nu - 1 - k].y;
      const int64_t at = int64_t{left} + int64_t{r} * nu + k;
      gridX[at] = Rounded20(Fixed20(colX) + accX);
      gridY[at] = Rounded20(Fixed20(colY) + accY);
      accX += stepX;
      accY += stepY;
    }
    t += dt;
  }
  return 0;
}

int32_t X_Env_buffer(int32_t height, int32_t width, int32_t flipHeight, int32_t /*unused*/,
                     uint16_t* xMap, uint16_t* yMap, const TCWrap* record, CPathList* first,
                     CPathList* second, CPathList* shared) {
  CPathList* lists[3] = {first, second, shared};
  for (CPathList* l : lists) {
    if (l == nullptr || l->first == nullptr) return -1;
  }
  if (xMap == nullptr || yMap == nullptr || record == nullptr || !MapsFit(height, width)) {
    return -1;
  }
  const TCWrapToPicture pic(*record, flipHeight);
  if (!pic.valid()) return -1;
  constexpr int32_t kCells = 14, kSide = kCells + 1, kRing = 4 * kSide;
  plat::Block<int16_t> gx(kSide * kSide, WorkSource());
  plat::Block<int16_t> gy(kSide * kSide, WorkSource());
  plat::Block<int32_t> ringX(3 * kRing, WorkSource());
  plat::Block<int32_t> ringY(3 * kRing, WorkSource());
  if (!gx || !gy || !ringX || !ringY) return -1;
  for (int o = 0; o < 3; ++o) {
    if (!OutlineGrid(lists[o]->first, kCells, gx.get(), gy.get())) return -1;
    // The grid's border as a ring: row 0, the last column, the last row
    // backwards, the first column upwards.
    int32_t* rx = ringX.get() + o * kRing;
    int32_t* ry = ringY.get() + o * kRing;
    for (int32_t i = 0; i < kSide; ++i) {
      const int32_t at[4] = {i, i * kSide + kCells, kCells * kSide + (kCells - i),
                             (kCells - i) * kSide};
      for (int s = 0; s < 4; ++s) {
        rx[s * kSide + i] = pic.X(gx[at[s]]);
        ry[s * kSide + i] = pic.Y(gy[at[s]]);
      }
    }
  }
  const int32_t* r1x = ringX.get();
  const int32_t* r1y = ringY.get();
  const int32_t* r2x = ringX.get() + kRing;
  const int32_t* r2y = ringY.get() + kRing;
  const int32_t* r3x = ringX.get() + 2 * kRing;
  const int32_t* r3y = ringY.get() + 2 * kRing;
  for (int32_t k = 0; k + 1 < kRing; ++k) {
    const Quad a{{r1x[k], r1x[k + 1], r3x[k + 1], r3x[k]}, {r1y[k], r1y[k + 1], r3y[k + 1], r3y[k]}};
    const Quad b{{r2x[k], r2x[k + 1], r3x[k + 1], r3x[k]}, {r2y[k], r2y[k + 1], r3y[k + 1], r3y[k]}};
    MapQuad(height, width, xMap, yMap, a, b);
  }
  return 0;
}

int32_t PathToPath(int32_t height, int32_t width, int32_t flipHeight, int32_t /*unused*/,
                   uint16_t* xMap, uint16_t* yMap, const TCWrap* record, CPathList* src,
                   CPathList* dst, float* srcSides, float* dstSides) {
  if (src == nullptr || dst == nullptr || src->first == nullptr || dst->first == nullptr) {
    return -1;
  }
  const float srcLength = src->first->GetAcuPathLength();
  const float dstLength = dst->first->GetAcuPathLength();
  if (!(srcLength >= 0.1f) || !(dstLength >= 0.1f)) return -1;
  if (xMap == nullptr || yMap == nullptr || record == nullptr || !MapsFit(height, width)) {
    return -1;
  }
  const TCWrapToPicture pic(*record, flipHeight);
  if (!pic.valid()) return -1;
  constexpr int32_t kCells = 11, kSide = kCells + 1;
  plat::Block<int16_t> grids(4 * kSide * kSide, WorkSource());
  if (!grids) return -1;
  int16_t* sx = grids.get();
  int16_t* sy = sx + kSide * kSide;
  int16_t* dx = sy + kSide * kSide;
  int16_t* dy = dx + kSide * kSide;
  if (!OutlineGrid(src->first, kCells, sx, sy) || !OutlineGrid(dst->first, kCells, dx, dy)) {
    return -1;
  }
  for (int i = 0; i < 4; ++i) {
    if (srcSides != nullptr) srcSides[i] = srcLength / 4.0f;
    if (dstSides != nullptr) dstSides[i] = dstLength / 4.0f;
  }
  for (int32_t r = 0; r < kCells; ++r) {
    for (int32_t c = 0; c < kCells; ++c) {
      const int32_t at[4] = {r * kSide + c, r * kSide + c + 1, (r + 1) * kSide + c + 1,
                             (r + 1) * kSide + c};
      Quad a{}, b{};
      for (int q = 0; q < 4; ++q) {
        a.x[q] = pic.X(sx[at[q]]);
        a.y[q] = pic.Y(sy[at[q]]);
        b.x[q] = pic.X(dx[at[q]]);
        b.y[q] = pic.Y(dy[at[q]]);
      }
      MapQuad(height, width, xMap, yMap, a, b);
    }
  }
  return 0;
}

int32_t X_Grcrvinout_buffer(int16_t mode, int32_t flipHeight, int32_t /*unused*/, int32_t height,
                            int32_t width, uint16_t* xMap, uint16_t* yMap, const TCWrap* record) {
  if (record == nullptr) return -1;
  if (record->columns == 0 || record->rows == 0) {
    nbgrids = 8;
    HALFnbgrids = 4;
    return -1;
  }
  if (!TCWrapLatticeFits(*record)) return -1;
  if (xMap == nullptr || yMap == nullptr || !MapsFit(height, width)) return -1;
  const TCWrapToPicture pic(*record, flipHeight);
  if (!pic.valid()) return -1;
  const int32_t nx = record->columns;
  const int32_t ny = record->rows;
  const int16_t nb = CellSubdivision(std::min(nx, ny));
  // Kept for the next ShapeToGrid call, as the lattice editor expects.
  nbgrids = nb;
  HALFnbgrids = static_cast<int16_t>(nb / 2);
  const int64_t fw = int64_t{nx} * nb + 1;
  const int64_t fh = int64_t{ny} * nb + 1;
  plat::Block<float> cellX(int64_t{nb + 1} * (nb + 1), WorkSource());
  plat::Block<float> cellY(int64_t{nb + 1} * (nb + 1), WorkSource());
  plat::Block<int16_t> fine(4 * fw * fh, WorkSource());
  if (!cellX || !cellY || !fine) return -1;
  int16_t* ax = fine.get();
  int16_t* ay = ax + fw * fh;
  int16_t* bx = ay + fw * fh;
  int16_t* by = bx + fw * fh;
  if (!FineLattice(record->set1, nx, ny, nb, pic, cellX.get(), cellY.get(), ax, ay) ||
      !FineLattice(record->set2, nx, ny, nb, pic, cellX.get(), cellY.get(), bx, by)) {
    return -1;
  }
  if (mode == 1) ResetMaps(xMap, yMap);
  for (int64_t r = 0; r + 1 < fh; ++r) {
    for (int64_t c = 0; c + 1 < fw; ++c) {
      const int64_t at[4] = {r * fw + c, r * fw + c + 1, (r + 1) * fw + c + 1, (r + 1) * fw + c};
      Quad a{}, b{};
      for (int q = 0; q < 4; ++q) {
        a.x[q] = ax[at[q]];
        a.y[q] = ay[at[q]];
        b.x[q] = bx[at[q]];
        b.y[q] = by[at[q]];
      }
      MapQuad(height, width, xMap, yMap, a, b);
    }
  }
  return 0;
}

void GrToShape(int32_t k, int32_t nx, const float* x, const float* y, const float* leftX,
               const float* leftY, const float* prevRowX, const float* prevRowY,
               const float* rightX, const float* rightY, const float* nextRowX,
               const float* nextRowY, float* outX, float* outY) {
  const int32_t ll = k, lr = k + 1, ul = k + nx + 1, ur = k + nx + 2;
  auto node = [&](int32_t i) { return Pt{x[i], y[i]}; };
  auto lh = [&](int32_t i) { return Pt{leftX[i], leftY[i]}; };
  auto rh = [&](int32_t i) { return Pt{rightX[i], rightY[i]}; };
  auto ph = [&](int32_t i) { return Pt{prevRowX[i], prevRowY[i]}; };
  auto nh = [&](int32_t i) { return Pt{nextRowX[i], nextRowY[i]}; };
  CurveSampler s(kFineWalk);
  const Pt mLeft = s.Middle(node(ul), ph(ul), nh(ll), node(ll));
  const Pt mBottom = s.Middle(node(ll), rh(ll), lh(lr), node(lr));
  const Pt mRight = s.Middle(node(lr), nh(lr), ph(ur), node(ur));
  const Pt mTop = s.Middle(node(ur), lh(ur), rh(ul), node(ul));
  const Pt out[kTCWrapOutlinePoints] = {
      node(ul), ph(ul),   mLeft,    mLeft,   mLeft,  nh(ll),   node(ll),
      node(ll), rh(ll),   mBottom,  mBottom, mBottom, lh(lr),  node(lr),
      node(lr), nh(lr),   mRight,   mRight,  mRight, ph(ur),   node(ur),
      node(ur), lh(ur),   mTop,     mTop,    mTop,   rh(ul),   node(ul)};
  for (int i = 0; i < kTCWrapOutlinePoints; ++i) {
    outX[i] = out[i].x;
    outY[i] = out[i].y;
  }
}

void ShapeToGrid(const float* outX, const float* outY, float* gridX, float* gridY) {
  BuildCellGrid(outX, outY, gridX, gridY);
}
