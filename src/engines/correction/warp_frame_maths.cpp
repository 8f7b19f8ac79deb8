#include "engines/correction/warp_frame_maths.h"

#include <algorithm>

#include "app/core/plane_geometry.h"
#include "app/core/memory_manager.h"
#include "platform/memory/block.h"

namespace {

// The ten planes of a node set in their pairs: position, then the handles toward the
// previous column, next column, previous row and next row.
using Plane = float (TCWrapNodes::*)[kTCWrapMaxNodes];
constexpr Plane kPlanes[10] = {&TCWrapNodes::x,        &TCWrapNodes::y,        &TCWrapNodes::prevColX,
                               &TCWrapNodes::prevColY, &TCWrapNodes::nextColX, &TCWrapNodes::nextColY,
                               &TCWrapNodes::prevRowX, &TCWrapNodes::prevRowY, &TCWrapNodes::nextRowX,
                               &TCWrapNodes::nextRowY};

bool FirstNamed(int16_t set, int16_t both) { return both == 1 || set == 0; }
bool SecondNamed(int16_t set, int16_t both) { return both == 1 || set != 0; }

bool Chosen(int16_t sel, const uint8_t* flags, int32_t k) {
  return sel == 0 || (sel == 1 && flags[k] == 1);
}

// Nodes of a lattice that fits its planes, else 0.
int32_t NodeCount(const TCWrap& f) {
  return TCWrapLatticeFits(f) ? (f.columns + 1) * (f.rows + 1) : 0;
}

// Cell counts the planes can take: at least 1 each; the larger one lowered until the
// nodes fit.
void HoldCounts(int32_t* columns, int32_t* rows) {
  int64_t c = std::clamp(*columns, 1, kTCWrapMaxNodes - 1);
  int64_t r = std::clamp(*rows, 1, kTCWrapMaxNodes - 1);
  while ((c + 1) * (r + 1) > kTCWrapMaxNodes) {
    if (c >= r)
      --c;
    else
      --r;
  }
  *columns = static_cast<int32_t>(c);
  *rows = static_cast<int32_t>(r);
}

void SetSizes(TCWrap& f, float width1, float height1, float width2, float height2) {
  f.width1 = width1;
  f.height1 = height1;
  f.width2 = width2;
  f.height2 = height2;
}

// Seven points a side, each side two cubic segments, running up the left side, along the
// top, down the right side and back along the bottom.
void InitOutline(float* xs, float* ys, float w, float h) {
  static constexpr float kX[kTCWrapOutlinePoints] = {
      0, 0, 0, 0, 0, 0, 0, 0, 0.125f, 0.375f, 0.5f, 0.625f, 0.875f, 1, 1,
      1, 1, 1, 1, 1, 1, 1, 0.875f, 0.625f, 0.5f, 0.375f, 0.125f, 0};
  static constexpr float kY[kTCWrapOutlinePoints] = {
      0, 0.125f, 0.375f, 0.5f, 0.625f, 0.875f, 1, 1, 1, 1, 1, 1, 1, 1, 1,
      0.875f, 0.625f, 0.5f, 0.375f, 0.125f, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int32_t k = 0; k < kTCWrapOutlinePoints; ++k) {
    xs[k] = kX[k] * w;
    ys[k] = kY[k] * h;
  }
}

void InitLattice(TCWrap& f, TCWrapNodes& s, uint8_t* flags) {
  int32_t nx = f.columns, ny = f.rows;
  HoldCounts(&nx, &ny);
  f.columns = static_cast<int16_t>(nx);
  f.rows = static_cast<int16_t>(ny);
  const float w = f.width1, h = f.height1;
  const int32_t stride = nx + 1;
  for (int32_t j = 0; j <= ny; ++j) {
    for (int32_t i = 0; i <= nx; ++i) {
      const int32_t k = i + j * stride;
      s.x[k] = static_cast<float>(i) * w / static_cast<float>(nx);
      s.y[k] = static_cast<float>(ny - j) * h / static_cast<float>(ny);
      flags[k] = 0;
    }
  }
  for (int32_t j = 0; j <= ny; ++j) {
    for (int32_t i = 0; i <= nx; ++i) {
      const int32_t k = i + j * stride;
      s.prevColX[k] = i == 0 ? s.x[k] : (3.0f * s.x[k] + s.x[k - 1]) * 0.25f;
      s.prevColY[k] = i == 0 ? s.y[k] : (3.0f * s.y[k] + s.y[k - 1]) * 0.25f;
      s.nextColX[k] = i == nx ? s.x[k] : (3.0f * s.x[k] + s.x[k + 1]) * 0.25f;
      s.nextColY[k] = i == nx ? s.y[k] : (3.0f * s.y[k] + s.y[k + 1]) * 0.25f;
      s.prevRowX[k] = j == 0 ? s.x[k] : (3.0f * s.x[k] + s.x[k - stride]) * 0.25f;
      s.prevRowY[k] = j == 0 ? s.y[k] : (3.0f * s.y[k] + s.y[k - stride]) * 0.25f;
      s.nextRowX[k] = j == ny ? s.x[k] : (3.0f * s.x[k] + s.x[k + stride]) * 0.25f;
      s.nextRowY[k] = j == ny ? s.y[k] : (3.0f * s.y[k] + s.y[k + stride]) * 0.25f;
    }
  }
}

void CopySet(const TCWrap& s, TCWrap& d, bool second) {
  d.kind = s.kind;
  d.width1 = s.width1;
  d.height1 = s.height1;
  d.resolution = s.resolution;
  d.width2 = s.width2;
  d.height2 = s.height2;
  d.columns = s.columns;
  d.rows = s.rows;
  d.extra = s.extra;
  const int32_t n = s.columns < 0 || s.rows < 0
                        ? 0
                        : std::min((s.columns + 1) * (s.rows + 1), kTCWrapMaxNodes);
  const TCWrapNodes& a = second ? s.set2 : s.set1;
  TCWrapNodes& b = second ? d.set2 : d.set1;
  for (Plane p : kPlanes) std::copy(a.*p, a.*p + n, b.*p);
  const uint8_t* fa = second ? s.flags2 : s.flags1;
  std::copy(fa, fa + n, second ? d.flags2 : d.flags1);
}

// A scaled or turned copy of each chosen node's five points, source to destination.
template <class Fn>
void TransformChosen(const TCWrap* source, TCWrap* destination, int16_t set, int16_t both,
                     int16_t sel, Fn fn) {
  if (source == nullptr || destination == nullptr) return;
  const int32_t n = NodeCount(*source);
  for (int pass = 0; pass < 2; ++pass) {
    const bool second = pass == 1;
    if (!(second ? SecondNamed(set, both) : FirstNamed(set, both))) continue;
    const TCWrapNodes& a = second ? source->set2 : source->set1;
    TCWrapNodes& b = second ? destination->set2 : destination->set1;
    const uint8_t* flags = second ? destination->flags2 : destination->flags1;
    for (int32_t k = 0; k < n; ++k) {
      if (!Chosen(sel, flags, k)) continue;
      for (int p = 0; p < 10; p += 2) fn((a.*kPlanes[p])[k], (a.*kPlanes[p + 1])[k], (b.*kPlanes[p])[k], (b.*kPlanes[p + 1])[k]);
    }
  }
}

// The falloff of one set: see SetFlag_todo.
void Spread(const TCWrapNodes& s, int32_t nx, int32_t ny, int32_t column, int32_t row,
            int16_t curve, float dx, float dy, float* ax, float* ay, uint8_t* pending,
            const uint8_t* done) {
  if (ax == nullptr || ay == nullptr) return;
  const int32_t stride = nx + 1;
  auto at = [stride](int32_t i, int32_t j) { return i + j * stride; };
  auto dist = [&s](int32_t a, int32_t b) { return distance(s.x[a], s.y[a], s.x[b], s.y[b]); };
  // A span that has (nearly) no length takes the whole displacement; the moved node
  // always does, as its distance to each end is the span itself.
  auto weight = [curve](float d, float span) {
    if (span <= 0.01f) return 1.0f;
    if (curve == 0) return d / span;
    const float e = span - d;
    return 1.0f - (e * e) / (span * span);
  };
  const int32_t g = at(column, row);
  const float left = dist(g, at(0, row));
  const float right = dist(g, at(nx, row));
  const float top = dist(g, at(column, 0));
  const float bottom = dist(g, at(column, ny));
  for (int32_t i = 0; i <= nx; ++i) {
    const float rw = i < column ? weight(dist(at(0, row), at(i, row)), left)
                                : weight(dist(at(nx, row), at(i, row)), right);
    const float rdx = dx * rw;
    const float rdy = dy * rw;
    for (int32_t j = 0; j <= ny; ++j) {
      const int32_t k = at(i, j);
      if (done[k] != 0) continue;
      const float w = j < row ? weight(dist(at(i, 0), k), top) : weight(dist(at(i, ny), k), bottom);
      ax[k] = rdx * w;
      ay[k] = rdy * w;
      pending[k] = 1;
    }
  }
}

void MoveNode(TCWrapNodes& s, int32_t k, float dx, float dy) {
  for (int p = 0; p < 10; p += 2) {
    (s.*kPlanes[p])[k] += dx;
    (s.*kPlanes[p + 1])[k] += dy;
  }
}

// Work arrays of one deformation, zeroed, freed on every path.
class Work {
 public:
  Work(int32_t nodes, int floatArrays)
      : flags_(2 * static_cast<int64_t>(nodes), WorkSource()),
        floats_(static_cast<int64_t>(floatArrays) * nodes, WorkSource()),
        nodes_(nodes) {
    flags_.Clear();
    floats_.Clear();
  }
  bool valid() const { return flags_ && floats_; }
  uint8_t* pending() const { return flags_.get(); }
  uint8_t* done() const { return flags_.get() + nodes_; }
  float* array(int i) const { return floats_.get() + static_cast<int64_t>(i) * nodes_; }

 private:
  plat::Block<uint8_t> flags_;
  plat::Block<float> floats_;
  int32_t nodes_ = 0;
};

// Moves the row and column of every pending node until none is left; done flags are
// never cleared, so each node moves once.
void Propagate(TCWrap* frame, int16_t set, int16_t both, int16_t sel, const Work& w,
               const float* const a[4]) {
  const int32_t n = NodeCount(*frame);
  const int32_t stride = frame->columns + 1;
  uint8_t* pending = w.pending();
  for (bool found = true; found;) {
    found = false;
    for (int32_t k = 0; k < n; ++k) {
      if (pending[k] == 0) continue;
      MovRowCol(frame, set, both, sel, w.done(), k % stride, k / stride, a[0], a[1], a[2], a[3]);
      pending[k] = 0;
      found = true;
    }
  }
}

bool InLattice(const TCWrap& f, int32_t column, int32_t row) {
  return column >= 0 && column <= f.columns && row >= 0 && row <= f.rows;
}

}  // namespace

void InitTCWrap(int16_t mode, float width1, float height1, float width2, float height2,
                float resolution, int32_t columns, int32_t rows, int32_t extra, TCWrap* f) {
  if (f == nullptr) return;
  switch (mode) {
    case 0:
      f->flag1 = 1;
      f->flag2 = 1;
      f->kind = 1;
      InitTCWrap(1, width1, height1, width2, height2, resolution, columns, rows, extra, f);
      InitTCWrap(4, width1, height1, width2, height2, resolution, columns, rows, extra, f);
      break;
    case 1:
      SetSizes(*f, width1, height1, width2, height2);
      InitTCWrap(2, width1, height1, width2, height2, resolution, columns, rows, extra, f);
      InitTCWrap(3, width1, height1, width2, height2, resolution, columns, rows, extra, f);
      break;
    case 2:
      f->outlineKind = 3;
      InitOutline(f->outline1X, f->outline1Y, width1, height1);
      break;
    case 3:
      f->outlineKind = 3;
      InitOutline(f->outline2X, f->outline2Y, width1, height1);
      break;
    case 4:
      SetSizes(*f, width1, height1, width2, height2);
      HoldCounts(&columns, &rows);
      f->columns = static_cast<int16_t>(columns);
      f->rows = static_cast<int16_t>(rows);
      f->extra = extra;
      InitLattice(*f, f->set1, f->flags1);
      InitLattice(*f, f->set2, f->flags2);
      break;
    case 5:
      InitLattice(*f, f->set1, f->flags1);
      break;
    case 6:
      InitLattice(*f, f->set2, f->flags2);
      break;
    default:
      break;
  }
}

void CopyTCWrap(int16_t mode, const TCWrap* s, TCWrap* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  switch (mode) {
    case 0:
      d->flag1 = s->flag1;
      d->flag2 = s->flag2;
      CopyTCWrap(1, s, d);
      CopyTCWrap(4, s, d);
      break;
    case 1:
      d->width1 = s->width1;
      d->height1 = s->height1;
      d->resolution = s->resolution;
      d->width2 = s->width2;
      d->height2 = s->height2;
      CopyTCWrap(2, s, d);
      CopyTCWrap(3, s, d);
      break;
    case 2:
      d->outlineKind = s->outlineKind;
      std::copy(s->outline1X, s->outline1X + kTCWrapOutlinePoints, d->outline1X);
      std::copy(s->outline1Y, s->outline1Y + kTCWrapOutlinePoints, d->outline1Y);
      break;
    case 3:
      d->outlineKind = s->outlineKind;
      std::copy(s->outline2X, s->outline2X + kTCWrapOutlinePoints, d->outline2X);
      std::copy(s->outline2Y, s->outline2Y + kTCWrapOutlinePoints, d->outline2Y);
      break;
    case 4:
      CopySet(*s, *d, false);
      CopySet(*s, *d, true);
      break;
    case 5:
      CopySet(*s, *d, false);
      break;
    case 6:
      CopySet(*s, *d, true);
      break;
    default:
      break;
  }
}

void MinMaxCenterGridTCWrap(const TCWrap* f, int16_t set, float* minX, float* minY, float* maxX,
                            float* maxY, float* centreX, float* centreY) {
  if (f == nullptr) return;
  const int32_t n = NodeCount(*f);
  if (n == 0) return;
  const TCWrapNodes& s = set == 0 ? f->set1 : f->set2;
  float x0 = s.x[0], x1 = s.x[0], y0 = s.y[0], y1 = s.y[0];
  for (int32_t k = 1; k < n; ++k) {
    x0 = std::min(x0, s.x[k]);
    x1 = std::max(x1, s.x[k]);
    y0 = std::min(y0, s.y[k]);
    y1 = std::max(y1, s.y[k]);
  }
  if (minX) *minX = x0;
  if (minY) *minY = y0;
  if (maxX) *maxX = x1;
  if (maxY) *maxY = y1;
  if (centreX) *centreX = (x0 + x1) * 0.5f;
  if (centreY) *centreY = (y0 + y1) * 0.5f;
}

void SizeGridTCWrap(const TCWrap* source, TCWrap* destination, int16_t set, int16_t both,
                    int16_t sel, float cx, float cy, float oldW, float oldH, float newW,
                    float newH) {
  if (oldW == 0.0f || oldH == 0.0f) return;
  TransformChosen(source, destination, set, both, sel,
                  [=](float px, float py, float& qx, float& qy) {
                    qx = cx + newW * (px - cx) / oldW;
                    qy = cy + newH * (py - cy) / oldH;
                  });
}

void RotaGridTCWrap(const TCWrap* source, TCWrap* destination, int16_t set, int16_t both,
                    int16_t sel, float cx, float cy, float startAngle, float endAngle) {
  const float angle = endAngle - startAngle;
  TransformChosen(source, destination, set, both, sel,
                  [=](float px, float py, float& qx, float& qy) {
                    A_point_fromAng(cx, cy, px, py, &qx, &qy, angle);
                  });
}

void SetFlag_todo(const TCWrap* f, int16_t set, int16_t both, uint8_t* pending,
                  const uint8_t* done, int32_t column, int32_t row, int16_t curve, float dx1,
                  float dy1, float dx2, float dy2, float* ax1, float* ay1, float* ax2, float* ay2) {
  if (f == nullptr || pending == nullptr || done == nullptr) return;
  if (NodeCount(*f) == 0 || !InLattice(*f, column, row)) return;
  auto small = [](float v) { return v >= -0.01f && v <= 0.01f; };
  if (small(dx1) && small(dy1) && small(dx2) && small(dy2)) return;
  if (FirstNamed(set, both))
    Spread(f->set1, f->columns, f->rows, column, row, curve, dx1, dy1, ax1, ay1, pending, done);
  if (SecondNamed(set, both))
    Spread(f->set2, f->columns, f->rows, column, row, curve, dx2, dy2, ax2, ay2, pending, done);
}

void MovRowCol(TCWrap* f, int16_t set, int16_t both, int16_t sel, uint8_t* done, int32_t column,
               int32_t row, const float* ax1, const float* ay1, const float* ax2,
               const float* ay2) {
  if (f == nullptr || done == nullptr || NodeCount(*f) == 0) return;
  const int32_t nx = f->columns, ny = f->rows;
  const bool first = FirstNamed(set, both) && ax1 != nullptr && ay1 != nullptr;
  const bool second = SecondNamed(set, both) && ax2 != nullptr && ay2 != nullptr;
  auto move = [&](int32_t k) {
    if (done[k] != 0) return;
    if (first && Chosen(sel, f->flags1, k)) MoveNode(f->set1, k, ax1[k], ay1[k]);
    if (second && Chosen(sel, f->flags2, k)) MoveNode(f->set2, k, ax2[k], ay2[k]);
    done[k] = 1;
  };
  if (row >= 0 && row <= ny)
    for (int32_t i = 0; i <= nx; ++i) move(i + row * (nx + 1));
  if (column >= 0 && column <= nx)
    for (int32_t j = 0; j <= ny; ++j) move(column + j * (nx + 1));
}

void PerspGridTCWrap(TCWrap* f, int16_t set, int16_t both, int16_t sel, int16_t curve, float fx,
                     float fy, int32_t column, int32_t row, float dx, float dy) {
  if (f == nullptr) return;
  const int32_t n = NodeCount(*f);
  if (n == 0 || !InLattice(*f, column, row)) return;
  Work w(n, 4);
  if (!w.valid()) return;
  const float* const a[4] = {w.array(0), w.array(1), w.array(2), w.array(3)};
  SetFlag_todo(f, set, both, w.pending(), w.done(), column, row, curve, fx * dx, fy * dy, fx * dx,
               fy * dy, w.array(0), w.array(1), w.array(2), w.array(3));
  MovRowCol(f, set, both, sel, w.done(), column, row, a[0], a[1], a[2], a[3]);
  Propagate(f, set, both, sel, w, a);
}

void ZondracTCWrap(TCWrap* f, int16_t set, int16_t both, int16_t sel, int16_t curve, float dx,
                   float dy) {
  if (f == nullptr) return;
  const int32_t n = NodeCount(*f);
  if (n == 0) return;
  const int32_t nx = f->columns, ny = f->rows;
  // Arrays 0-3: the mean; 4-19: the four edge moves.
  Work w(n, 20);
  if (!w.valid()) return;
  struct EdgeMove {
    int32_t column, row;
    float dx, dy;
  };
  const EdgeMove moves[4] = {
      {nx / 2, 0, 0.0f, -dy}, {nx / 2, ny, 0.0f, dy}, {0, ny / 2, dx, 0.0f}, {nx, ny / 2, -dx, 0.0f}};
  for (int m = 0; m < 4; ++m) {
    float* a = w.array(4 + 4 * m);
    SetFlag_todo(f, set, both, w.pending(), w.done(), moves[m].column, moves[m].row, curve,
                 moves[m].dx, moves[m].dy, moves[m].dx, moves[m].dy, a, a + n, a + 2 * n,
                 a + 3 * n);
  }
  for (int q = 0; q < 4; ++q) {
    float* mean = w.array(q);
    const float* e0 = w.array(4 + q);
    const float* e1 = w.array(8 + q);
    const float* e2 = w.array(12 + q);
    const float* e3 = w.array(16 + q);
    for (int32_t k = 0; k < n; ++k) mean[k] = (e0[k] + e1[k] + e2[k] + e3[k]) * 0.25f;
  }
  const float* const a[4] = {w.array(0), w.array(1), w.array(2), w.array(3)};
  Propagate(f, set, both, sel, w, a);
}
