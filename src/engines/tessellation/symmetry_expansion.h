// The cut of every lattice cell into the copies of one symmetry type, shared by both
// tessellation engines (each with its own quad record and its own rows).
#pragma once

#include <cstdint>
#include <new>
#include <span>

#include "engines/tessellation/quad_lists.h"
#include "engines/tessellation/symmetry_tables.h"

namespace symmexp {

// One lattice cell: its integer corners and, in floats, the origin copies are laid from
// and the two edge vectors.
struct Cell {
  const int32_t* x;
  const int32_t* y;
  float ox, oy;  // P0, or the cell centre for the repeated copies
  bool atP0;
  float e1x, e1y, e3x, e3y;
};

// A cell corner keeps its exact integers (the lattice goes past 2^24 on huge pictures);
// any other point is laid in floats from the origin and truncated toward zero.
inline void Place(const Cell& c, CellPoint p, int32_t* x, int32_t* y) {
  if (c.atP0 && (p.a == 0 || p.a == kCellUnit) && (p.b == 0 || p.b == kCellUnit)) {
    static constexpr int kCorner[2][2] = {{0, 3}, {1, 2}};  // [a is 1][b is 1]
    const int k = kCorner[p.a == kCellUnit][p.b == kCellUnit];
    *x = c.x[k];
    *y = c.y[k];
    return;
  }
  const float fa = static_cast<float>(p.a) / kCellUnit, fb = static_cast<float>(p.b) / kCellUnit;
  *x = static_cast<int32_t>(c.ox + c.e1x * fa + c.e3x * fb);
  *y = static_cast<int32_t>(c.oy + c.e1y * fa + c.e3y * fb);
}

// Appends the copies of `rows` for every quad from `geo` on to `eff`, cell after cell in
// table order (types 13..17 a second time about the cell centre). False when a copy could
// not be allocated.
template <class Q>
bool Expand(const Q* geo, std::span<const CopyRow> rows, bool aboutCentre, QuadListOf<Q> eff) {
  const int passes = aboutCentre ? 2 : 1;
  for (const Q* g = geo; g != nullptr; g = g->next) {
    Cell cell{g->x,
              g->y,
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
        Q* q = new (std::nothrow) Q;
        if (q == nullptr) return false;
        for (int k = 0; k < 4; ++k) Place(cell, row.corner[k], &q->x[k], &q->y[k]);
        q->tile = row.tile;
        q->tag = row.tag;
        eff.Add(eff.count + 1, q);
      }
    }
  }
  return true;
}

}  // namespace symmexp
