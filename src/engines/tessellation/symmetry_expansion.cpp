#include <cmath>
#include <new>

#include "app/core/plane_geometry.h"
#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/symmetry_tables.h"

namespace {

// One lattice cell: its integer corners and, in floats, the origin copies are laid from
// and the two edge vectors.
struct Cell {
  const Quads* q;
  float ox, oy;  // P0, or the cell centre for the repeated copies
  bool atP0;
  float e1x, e1y, e3x, e3y;
};

// A cell corner keeps its exact integers (the lattice goes past 2^24 on huge pictures);
// any other point is laid in floats from the origin and truncated toward zero.
void Place(const Cell& c, CellPoint p, int32_t* x, int32_t* y) {
  if (c.atP0 && (p.a == 0 || p.a == kCellUnit) && (p.b == 0 || p.b == kCellUnit)) {
    static constexpr int kCorner[2][2] = {{0, 3}, {1, 2}};  // [a is 1][b is 1]
    const int k = kCorner[p.a == kCellUnit][p.b == kCellUnit];
    *x = c.q->x[k];
    *y = c.q->y[k];
    return;
  }
  const float fa = static_cast<float>(p.a) / kCellUnit, fb = static_cast<float>(p.b) / kCellUnit;
  *x = static_cast<int32_t>(c.ox + c.e1x * fa + c.e3x * fb);
  *y = static_cast<int32_t>(c.oy + c.e1y * fa + c.e3y * fb);
}

}  // namespace

void MiscQuorlin::QuadGeotoQuadEff(int16_t symmetry) {
  const std::span<const CopyRow> rows = SymmetryRows(symmetry);
  if (rows.empty()) return;
  const int passes = RepeatsAboutCentre(symmetry) ? 2 : 1;
  for (const Quads* g = geoHead; g != nullptr; g = g->next) {
    Cell cell{g,
              static_cast<float>(g->x[0]),
              static_cast<float>(g->y[0]),
              true,
              static_cast<float>(g->x[1] - g->x[0]),
              static_cast<float>(g->y[1] - g->y[0]),
              static_cast<float>(g->x[3] - g->x[0]),
              static_cast<float>(g->y[3] - g->y[0])};
    for (int pass = 0; pass < passes; ++pass) {
      if (pass == 1) {
        cell.ox += static_cast<float>(g->x[2] - g->x[0]) * 0.5f;
        cell.oy += static_cast<float>(g->y[2] - g->y[0]) * 0.5f;
        cell.atP0 = false;
      }
      for (const CopyRow& row : rows) {
        Quads* q = new (std::nothrow) Quads;
        if (q == nullptr) {
          EmptyLists();
          return;
        }
        for (int k = 0; k < 4; ++k) Place(cell, row.corner[k], &q->x[k], &q->y[k]);
        q->tile = row.tile;
        q->tag = row.tag;
        AddQuadEff(effCount + 1, q);
      }
    }
  }
}

void MiscQuorlin::PrepQuads(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  EmptyLists();
  if (par == nullptr) return;
  const int32_t W = right - left, H = bottom - top;
  const int32_t* w = par->sets[0].w;
  // Lattice corner k is the record's corner (k + 2) mod 4; y runs downward here.
  float x[4], y[4];
  for (int k = 0; k < 4; ++k) {
    const int c = (k + 2) % 4;
    x[k] = static_cast<float>(static_cast<int64_t>(W) * w[kTessBaseX + c] / 100);
    y[k] = static_cast<float>(H - static_cast<int64_t>(H) * w[kTessBaseY + c] / 100);
  }
  float angle01 = 0, angle12 = 0;
  A_ang_2point(x[0], y[0], x[1], y[1], &angle01);
  A_ang_2point(x[1], y[1], x[2], y[2], &angle12);
  if (!PrepQuadGeoinQuad(angle01, angle12, x, y, W, H)) return;
  type = par->head.w[kTessSymmetry];
  QuadGeotoQuadEff(static_cast<int16_t>(type));
}
