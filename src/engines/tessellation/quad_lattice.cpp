#include "engines/tessellation/quad_lattice.h"

#include <algorithm>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "engines/tessellation/tessellation_record.h"

namespace {

struct Anchor {
  float x, y;
};

// The rectangle corners the four bounding lines pass through (a, b, c, d), chosen by the
// direction of edge 0-1 and by which way the base quad leans.
void LatticeAnchors(float angle01, bool p0AboveP3, float W, float H, Anchor out[4]) {
  const Anchor o{0, 0}, w{W, 0}, h{0, H}, wh{W, H};
  int band = 3;
  if (angle01 <= 1.580796327f)
    band = 0;
  else if (angle01 <= 3.151592654f)
    band = 1;
  else if (angle01 <= 4.722388981f)
    band = 2;
  const Anchor above[4][4] = {{h, wh, w, o}, {wh, h, o, w}, {h, o, w, wh}, {wh, w, o, h}};
  const Anchor below[4][4] = {{w, wh, h, o}, {o, h, wh, w}, {w, o, h, wh}, {o, w, wh, h}};
  std::copy_n(p0AboveP3 ? above[band] : below[band], 4, out);
}

float ProjectedLength(float a, float b, float c, float x0, float y0, float x1, float y1) {
  float px0 = 0, py0 = 0, px1 = 0, py1 = 0;
  A_proj_droit(a, b, c, x0, y0, &px0, &py0);
  A_proj_droit(a, b, c, x1, y1, &px1, &py1);
  return std::sqrt((px1 - px0) * (px1 - px0) + (py1 - py0) * (py1 - py0));
}

int32_t Span(float x0, float y0, float x1, float y1) {
  const double dx = static_cast<double>(x1) - x0, dy = static_cast<double>(y1) - y0;
  return static_cast<int32_t>(std::sqrt(dx * dx + dy * dy));
}

}  // namespace

bool LayQuadLattice(float angle01, float angle12, const float* x, const float* y, int32_t W,
                    int32_t H, const CellSink& sink) {
  const float e1x = x[1] - x[0], e1y = y[1] - y[0];
  const float e2x = x[3] - x[0], e2y = y[3] - y[0];
  Anchor at[4];
  LatticeAnchors(angle01, y[0] > y[3], static_cast<float>(W), static_cast<float>(H), at);
  float la[3], lb[3], lc[3], ld[3];
  A_droit_ang(at[0].x, at[0].y, angle01, &la[0], &la[1], &la[2]);
  A_droit_ang(at[1].x, at[1].y, angle12, &lb[0], &lb[1], &lb[2]);
  A_droit_ang(at[2].x, at[2].y, angle01, &lc[0], &lc[1], &lc[2]);
  A_droit_ang(at[3].x, at[3].y, angle12, &ld[0], &ld[1], &ld[2]);
  float q0x = 0, q0y = 0, q1x = 0, q1y = 0, q2x = 0, q2y = 0;
  A_int_2droit(la[0], la[1], la[2], ld[0], ld[1], ld[2], &q0x, &q0y);
  A_int_2droit(la[0], la[1], la[2], lb[0], lb[1], lb[2], &q1x, &q1y);
  A_int_2droit(lb[0], lb[1], lb[2], lc[0], lc[1], lc[2], &q2x, &q2y);
  const int32_t d1 = Span(q0x, q0y, q1x, q1y), d2 = Span(q1x, q1y, q2x, q2y);
  const int32_t dmax = d1 > d2 ? d1 : d2;
  const float h1 = ProjectedLength(la[0], la[1], la[2], x[0], y[0], x[1], y[1]);
  const float h2 = ProjectedLength(lb[0], lb[1], lb[2], x[0], y[0], x[3], y[3]);
  if (std::fabs(h1) < 0.01f || std::fabs(h2) < 0.01f) return true;
  const auto k1 = static_cast<int32_t>(static_cast<float>(dmax) / h1);
  const auto k2 = static_cast<int32_t>(static_cast<float>(dmax) / h2);
  // The cap is 500 cells, not 501: kept as the lattice has always been sized.
  const int32_t m1 = std::min(2 * k1 + 1, 500), m2 = std::min(2 * k2 + 1, 500);
  const float ox = (x[0] - e1x * static_cast<float>(k1)) - e2x * static_cast<float>(k2);
  const float oy = (y[0] - e1y * static_cast<float>(k1)) - e2y * static_cast<float>(k2);
  auto at_step = [&](float e1, float o, float e2, int32_t i, int32_t j) {
    return static_cast<int32_t>((e1 * static_cast<float>(i) + o) + e2 * static_cast<float>(j));
  };
  static constexpr int32_t kStepI[4] = {0, 1, 1, 0}, kStepJ[4] = {0, 0, 1, 1};
  for (int32_t j = 0; j < m2; ++j)
    for (int32_t i = 0; i < m1; ++i) {
      int32_t cx[4], cy[4];
      for (int c = 0; c < 4; ++c) {
        cx[c] = at_step(e1x, ox, e2x, i + kStepI[c], j + kStepJ[c]);
        cy[c] = at_step(e1y, oy, e2y, i + kStepI[c], j + kStepJ[c]);
      }
      if (!sink(cx, cy)) return false;
    }
  return true;
}

namespace {

bool Near(float a, float b) {
  return std::fabs(a - b) < 0.01f;
}

// Cells on each side of the base span [lo, hi] needed to reach 0 and `extent`.
struct Axis {
  int32_t step = 0, before = 0, cells = 0;
};

Axis CoverAxis(float v0, float v1, int32_t extent) {
  Axis a;
  const auto lo = static_cast<int32_t>(std::min(v0, v1));
  const auto hi = static_cast<int32_t>(std::max(v0, v1));
  a.step = hi - lo;
  if (a.step <= 0) return a;
  a.before = lo / a.step + 1;
  const int32_t after = (extent - hi) / a.step + 1;
  a.cells = a.before + after + 1;
  a.before = lo - a.before * a.step;  // the first cell's edge
  return a;
}

}  // namespace

bool LayRectLattice(float angle, const float* x, const float* y, int32_t W, int32_t H,
                    const CellSink& sink) {
  Axis h, v;
  if (Near(angle, 0.0f) || Near(angle, 3.141592654f)) {
    h = CoverAxis(x[0], x[1], W);
    v = CoverAxis(y[1], y[2], H);
  } else if (Near(angle, 1.570796327f) || Near(angle, 4.712388981f)) {
    h = CoverAxis(x[1], x[2], W);
    v = CoverAxis(y[2], y[3], H);
  } else {
    return true;
  }
  for (int32_t j = 0; j < v.cells; ++j)
    for (int32_t i = 0; i < h.cells; ++i) {
      const int32_t x0 = h.before + i * h.step, y0 = v.before + j * v.step;
      const int32_t cx[4] = {x0, x0 + h.step, x0 + h.step, x0};
      const int32_t cy[4] = {y0, y0, y0 + v.step, y0 + v.step};
      if (!sink(cx, cy)) return false;
    }
  return true;
}

void BaseQuadOf(const int32_t* words, int32_t W, int32_t H, float* x, float* y, float* angle01,
                float* angle12) {
  // Lattice corner k is the record's corner (k + 2) mod 4; y runs downward here.
  for (int k = 0; k < 4; ++k) {
    const int c = (k + 2) % 4;
    x[k] = static_cast<float>(static_cast<int64_t>(W) * words[kTessBaseX + c] / 100);
    y[k] = static_cast<float>(H - static_cast<int64_t>(H) * words[kTessBaseY + c] / 100);
  }
  *angle01 = 0;
  *angle12 = 0;
  A_ang_2point(x[0], y[0], x[1], y[1], angle01);
  A_ang_2point(x[1], y[1], x[2], y[2], angle12);
}
