// The curved cells of the grid warp: an 8 x 8 subdivision per cell whose edges are bent
// toward handles placed on the corner tangents.
#include <algorithm>
#include <cmath>

#include "app/core/plane_geometry.h"
#include "engines/correction/grid_warp.h"

namespace {

// Per slot: its corner, the other end of its edge (0 top-left, 1 top-right, 2 bottom-right,
// 3 bottom-left), whether its tangent runs along the rows, and the point it pulls.
struct Slot {
  int32_t corner, other;
  bool horizontal;
  int32_t row, column;
};
constexpr Slot kSlots[8] = {{0, 1, true, 0, 2},  {1, 0, true, 0, 6},  {1, 2, false, 2, 8},
                            {2, 1, false, 6, 8}, {2, 3, true, 8, 6},  {3, 2, true, 8, 2},
                            {3, 0, false, 6, 0}, {0, 3, false, 2, 0}};
constexpr int32_t kCornerRow[4] = {0, 0, 1, 1};
constexpr int32_t kCornerColumn[4] = {0, 1, 1, 0};

// A degenerate cell has no side to spread the move over: full weight. The parabola is 1 at
// the moved point and 0 at the end, but a point more than twice the side from the end (a
// longer neighbouring column, a folded cell) would fall below 0 by (d / side)^2: a short side
// then threw the point millions of pixels the wrong way, and every later bend of the cell
// measured from there. Such a point is past the move's reach and stays.
float Weight(float d, float side) {
  if (side <= 0.01f) return 1.0f;
  return std::max(0.0f, 1.0f - (side - d) * (side - d) / (side * side));
}

}  // namespace

SubGrid::SubGrid() {
  for (int32_t k = 0; k < 4; ++k) tgtX[k] = tgtY[k] = 0.0f;
}

void SubGrid::InitSubGrid(float* xs, float* ys) {
  for (int32_t i = 0; i <= 8; ++i) {
    ptX[0][i] = xs[0] + (xs[1] - xs[0]) * static_cast<float>(i) * 0.125f;
    ptY[0][i] = ys[0] + (ys[1] - ys[0]) * static_cast<float>(i) * 0.125f;
    ptX[8][i] = xs[3] + (xs[2] - xs[3]) * static_cast<float>(i) * 0.125f;
    ptY[8][i] = ys[3] + (ys[2] - ys[3]) * static_cast<float>(i) * 0.125f;
  }
  // The columns run between the edge points truncated to whole node units, which also
  // replaces the edges themselves.
  for (int32_t i = 0; i <= 8; ++i) {
    const auto ax = static_cast<int32_t>(ptX[0][i]), bx = static_cast<int32_t>(ptX[8][i]);
    const auto ay = static_cast<int32_t>(ptY[0][i]), by = static_cast<int32_t>(ptY[8][i]);
    for (int32_t j = 0; j <= 8; ++j) {
      ptX[j][i] = static_cast<float>(ax) + static_cast<float>((bx - ax) * j) * 0.125f;
      ptY[j][i] = static_cast<float>(ay) + static_cast<float>((by - ay) * j) * 0.125f;
    }
  }
}

void CalcTgt_SubGrid(const int32_t* xs, const int32_t* ys, SubGrid** cells, int32_t cols,
                     int32_t rows) {
  if (xs == nullptr || ys == nullptr || cells == nullptr) return;
  const int32_t stride = cols + 1;
  // Differences across the node; past the outer border the node stands in for its neighbour.
  auto tangent = [&](int32_t r, int32_t c, bool horizontal, float* tx, float* ty) {
    int32_t a = 0, b = 0;
    if (horizontal) {
      a = r * stride + std::max(c - 1, 0);
      b = r * stride + std::min(c + 1, cols);
    } else {
      a = std::max(r - 1, 0) * stride + c;
      b = std::min(r + 1, rows) * stride + c;
    }
    *tx = static_cast<float>(xs[b] - xs[a]);
    *ty = static_cast<float>(ys[b] - ys[a]);
  };
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      SubGrid* cell = cells[r * stride + c];
      if (cell == nullptr) continue;
      for (int32_t k = 0; k < 8; ++k) {
        const Slot& s = kSlots[k];
        tangent(r + kCornerRow[s.corner], c + kCornerColumn[s.corner], s.horizontal, &cell->tgtX[k],
                &cell->tgtY[k]);
      }
    }
  }
}

void CalcDisp_SubGrid(const int32_t* xs, const int32_t* ys, SubGrid** cells, int32_t cols,
                      int32_t rows) {
  if (xs == nullptr || ys == nullptr || cells == nullptr) return;
  const int32_t stride = cols + 1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c < cols; ++c) {
      SubGrid* cell = cells[r * stride + c];
      if (cell == nullptr) continue;
      for (int32_t k = 0; k < 8; ++k) {
        const Slot& s = kSlots[k];
        const int32_t v = (r + kCornerRow[s.corner]) * stride + c + kCornerColumn[s.corner];
        const int32_t o = (r + kCornerRow[s.other]) * stride + c + kCornerColumn[s.other];
        const float vx = static_cast<float>(xs[v]), vy = static_cast<float>(ys[v]);
        const float ex = static_cast<float>(xs[v] + (xs[o] - xs[v]) / 4);
        const float ey = static_cast<float>(ys[v] + (ys[o] - ys[v]) / 4);
        float a = 0, b = 0, cc = 0, pa = 0, pb = 0, pc = 0, ta = 0, tb = 0, tc = 0;
        A_lig_2point(vx, vy, static_cast<float>(xs[o]), static_cast<float>(ys[o]), &a, &b, &cc);
        A_lig_perpoint(a, b, cc, ex, ey, &pa, &pb, &pc);
        A_lig_2point(vx - cell->tgtX[k], vy - cell->tgtY[k], vx + cell->tgtX[k], vy + cell->tgtY[k], &ta,
                     &tb, &tc);
        // Parallel lines meet nowhere: the handle stays at the quarter point.
        cell->hdlX[k] = ex;
        cell->hdlY[k] = ey;
        A_int_2droit(pa, pb, pc, ta, tb, tc, &cell->hdlX[k], &cell->hdlY[k]);
      }
    }
  }
}

void PerspSubGrid(SubGrid* cell, int32_t column, int32_t row, int32_t dx, int32_t dy) {
  if (cell == nullptr || column < 0 || column > 8 || row < 0 || row > 8) return;
  const float fdx = static_cast<float>(dx), fdy = static_cast<float>(dy);
  if (std::abs(fdx) <= 0.01f && std::abs(fdy) <= 0.01f) return;
  auto dist = [cell](int32_t r1, int32_t c1, int32_t r2, int32_t c2) {
    return distance(cell->ptX[r1][c1], cell->ptY[r1][c1], cell->ptX[r2][c2], cell->ptY[r2][c2]);
  };
  const float left = dist(row, column, row, 0), right = dist(row, column, row, 8);
  const float top = dist(row, column, 0, column), bottom = dist(row, column, 8, column);
  float mx[9][9] = {}, my[9][9] = {};
  for (int32_t k = 0; k <= 8; ++k) {
    const float w = k < column ? Weight(dist(row, 0, row, k), left) : Weight(dist(row, 8, row, k), right);
    mx[row][k] = w * fdx;
    my[row][k] = w * fdy;
  }
  // Rows above take the row's move as it was, the row itself and those below its rescaled
  // value.
  for (int32_t m = 0; m <= 8; ++m) {
    for (int32_t k = 0; k < row; ++k) {
      const float w = Weight(dist(0, m, k, m), top);
      mx[k][m] = w * mx[row][m];
      my[k][m] = w * my[row][m];
    }
    for (int32_t k = row; k <= 8; ++k) {
      const float w = Weight(dist(8, m, k, m), bottom);
      mx[k][m] = w * mx[row][m];
      my[k][m] = w * my[row][m];
    }
  }
  for (int32_t j = 0; j <= 8; ++j) {
    for (int32_t i = 0; i <= 8; ++i) {
      cell->ptX[j][i] += mx[j][i];
      cell->ptY[j][i] += my[j][i];
    }
  }
}

void CorrAdj_SubGrid(SubGrid** cells, int32_t cols, int32_t rows) {
  if (cells == nullptr) return;
  const int32_t stride = cols + 1;
  for (int32_t r = 0; r < rows; ++r) {
    for (int32_t c = 0; c + 1 < cols; ++c) {
      SubGrid* a = cells[r * stride + c];
      SubGrid* b = cells[r * stride + c + 1];
      for (int32_t k = 0; k < 8; ++k) {
        b->ptX[k][0] = a->ptX[k][8];
        b->ptY[k][0] = a->ptY[k][8];
      }
    }
  }
  for (int32_t c = 0; c < cols; ++c) {
    for (int32_t r = 0; r + 1 < rows; ++r) {
      SubGrid* a = cells[r * stride + c];
      SubGrid* b = cells[(r + 1) * stride + c];
      for (int32_t k = 0; k < 8; ++k) {
        b->ptX[0][k] = a->ptX[8][k];
        b->ptY[0][k] = a->ptY[8][k];
      }
    }
  }
}
