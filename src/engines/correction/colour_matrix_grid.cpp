// Grid tools of the colour matrix: how a click of the colour-matrix dialog (and the record's
// defaults) paints the 33 x 33 cells. Interpolations run in single precision and truncate
// toward zero; their end points are read from the grid as each cell is computed, so a tool
// that rewrites an end point early changes the cells after it (the dialog relies on the
// resulting look).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engines/correction/colour_matrix.h"

namespace {

// Centre of the radial tools, kept between clicks so that a later border click recomputes
// the gradient around the last centre with new corner values. Each thread keeps its own: a
// lens correction rendering on a preview worker sets them up afresh while the colour matrix's
// clicks on the interface thread build on theirs.
thread_local int16_t cx = 0;
thread_local int16_t cy = 0;
thread_local float rad = 0.0f;
thread_local int16_t colCY = 0;  // centre value of channel 0
thread_local int16_t colCM = 0;  // channel 1
thread_local int16_t colCC = 0;  // channel 2
thread_local int16_t colCK = 0;  // channel 3

int16_t* CentreValue(int k) {
  int16_t* const centre[4] = {&colCY, &colCM, &colCC, &colCK};
  return centre[k];
}

class Grid {
 public:
  Grid(uint32_t* cells, const bool* flags, const uint8_t* values)
      : cells_(cells), flags_(flags), values_(values) {}

  uint8_t get(int c, int r, int k) const { return ColMatChannel(cells_[r * kColMatSide + c], k); }
  void set(int c, int r, int k, int v) {
    uint32_t& cell = cells_[r * kColMatSide + c];
    cell = ColMatWithChannel(cell, k, static_cast<uint8_t>(v));
  }
  bool flagged(int k) const { return flags_[k]; }

  void paint(int c, int r) {
    for (int k = 0; k < 4; ++k)
      if (flags_[k]) set(c, r, k, values_[k]);
  }

  // Cell (c, r) := start + (end - start) * i / n per flagged channel.
  void interpolate(int c, int r, int sc, int sr, int ec, int er, int i, int n) {
    for (int k = 0; k < 4; ++k) {
      if (!flags_[k]) continue;
      const int s = get(sc, sr, k), e = get(ec, er, k);
      set(c, r, k, static_cast<int>(static_cast<float>(s) + static_cast<float>(e - s) *
                                                                  static_cast<float>(i) /
                                                                  static_cast<float>(n)));
    }
  }

 private:
  uint32_t* cells_;
  const bool* flags_;
  const uint8_t* values_;
};

constexpr int kLast = kColMatSide - 1;  // 32

void Vertical(Grid& g, int y) {
  g.paint(0, y);
  for (int c = 0; c <= kLast; ++c)
    for (int r = 0; r <= kLast; ++r) {
      if (r < y)
        g.interpolate(c, r, 0, 0, 0, y, r, y);
      else
        g.interpolate(c, r, 0, y, 0, kLast, r - y, kColMatSide - y);
    }
}

void Horizontal(Grid& g, int x) {
  g.paint(x, 0);
  for (int r = 0; r <= kLast; ++r)
    for (int c = 0; c <= kLast; ++c) {
      if (c < x)
        g.interpolate(c, r, 0, 0, x, 0, c, x);
      else
        g.interpolate(c, r, x, 0, kLast, 0, c - x, kColMatSide - x);
    }
}

void EdgeFromCorners(Grid& g, int c0, int r0, int c1, int r1, bool alongRow) {
  for (int k = 1; k < kLast; ++k) {
    const int c = alongRow ? k : c0, r = alongRow ? r0 : k;
    for (int ch = 0; ch < 4; ++ch) {
      if (!g.flagged(ch)) continue;
      const int s = g.get(c0, r0, ch), e = g.get(c1, r1, ch);
      g.set(c, r, ch,
            static_cast<int>(static_cast<float>(s) +
                             static_cast<float>(e - s) * static_cast<float>(k) * 0.03125f));
    }
  }
}

void Quadrant(Grid& g, int c0, int c1, int r0, int r1) {
  const int width = c1 - c0, height = r1 - r0;
  if (width == 0) return;
  for (int i = 0; i <= width; ++i) {
    const int c = c0 + i;
    g.interpolate(c, r0, c0, r0, c1, r0, i, width);
    g.interpolate(c, r1, c0, r1, c1, r1, i, width);
    if (height != 0)
      for (int j = 0; j <= height; ++j) g.interpolate(c, r0 + j, c, r0, c, r1, j, height);
  }
}

void CornersAndPoint(Grid& g, int x, int y) {
  EdgeFromCorners(g, 0, 0, kLast, 0, true);
  EdgeFromCorners(g, 0, kLast, kLast, kLast, true);
  EdgeFromCorners(g, 0, 0, 0, kLast, false);
  EdgeFromCorners(g, kLast, 0, kLast, kLast, false);
  g.paint(x, y);
  Quadrant(g, 0, x, 0, y);
  Quadrant(g, 0, x, y, kLast);
  Quadrant(g, x, kLast, 0, y);
  Quadrant(g, x, kLast, y, kLast);
}

void Radial(Grid& g, int tool, int x, int y, const uint8_t* values) {
  if (x == 0 || y == 0 || x == kLast || y == kLast) {
    g.paint(0, 0);
    g.paint(kLast, 0);
    g.paint(0, kLast);
    g.paint(kLast, kLast);
  } else {
    cx = static_cast<int16_t>(x);
    cy = static_cast<int16_t>(y);
    for (int k = 0; k < 4; ++k)
      if (g.flagged(k)) *CentreValue(k) = values[k];
    g.paint(x, y);
    const int half = kColMatSide / 2;  // 16
    const int nx = x < half ? x : kLast - x, ny = y < half ? y : kLast - y;
    rad = static_cast<float>(std::min(nx, ny));
  }
  for (int i = 0; i <= kLast; ++i)
    for (int j = 0; j <= kLast; ++j) {
      if (i == cx && j == cy) continue;
      const int dx = std::abs(i - cx), dy = std::abs(j - cy);
      float d;
      switch (tool) {
        case 5: d = static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy))); break;
        case 6: d = static_cast<float>(std::min(dx, dy)); break;
        case 7: d = static_cast<float>(std::max(dx, dy)); break;
        default: d = static_cast<float>(dx + dy); break;
      }
      for (int k = 0; k < 4; ++k) {
        if (!g.flagged(k)) continue;
        const int corner = g.get(0, 0, k);
        const int centre = *CentreValue(k);
        if (d <= rad) {
          // With no radius yet (a border click before any centre) the distance-0 cells of
          // the min tool would divide 0 by 0; they take the centre value.
          const float v = rad > 0.0f ? static_cast<float>(centre) +
                                           d * static_cast<float>(corner - centre) / rad
                                     : static_cast<float>(centre);
          g.set(i, j, k, static_cast<int>(v));
        } else {
          g.set(i, j, k, corner);
        }
      }
    }
}

}  // namespace

void Calc_vign(ColMatPar* record, int16_t x, int16_t y, int16_t accumulate, int32_t flag0,
               int32_t flag1, int32_t flag2, int32_t flag3, int32_t value0, int32_t value1,
               int32_t value2, int32_t value3) {
  if (record == nullptr) return;
  // A click outside the grid is taken at the nearest cell instead of writing past it.
  const int px = std::clamp<int>(x, 0, kLast), py = std::clamp<int>(y, 0, kLast);
  const bool flags[4] = {flag0 == 1, flag1 == 1, flag2 == 1, flag3 == 1};
  const uint8_t values[4] = {static_cast<uint8_t>(value0), static_cast<uint8_t>(value1),
                             static_cast<uint8_t>(value2), static_cast<uint8_t>(value3)};
  const bool accumulating = accumulate == 1 || accumulate == -1;
  static_assert(sizeof(ColMatPar::cells) == kColMatCells * 4);
  uint32_t before[kColMatCells];
  if (accumulating) std::memcpy(before, record->cells, sizeof before);

  Grid g(record->cells, flags, values);
  switch (record->tool) {
    case 1: Vertical(g, py); break;
    case 2: Horizontal(g, px); break;
    case 3: CornersAndPoint(g, px, py); break;
    case 4:
      for (int r = 0; r <= kLast; ++r)
        for (int c = 0; c <= kLast; ++c) g.paint(c, r);
      break;
    case 5:
    case 6:
    case 7:
    case 8: Radial(g, record->tool, px, py, values); break;
    case 9:
    case 10:
      for (int k = 0; k < kColMatCells; ++k) {
        const auto v = static_cast<uint32_t>((4 * k) % 256);
        record->cells[k] = (v << 24) | (v << 16) | (v << 8) | v;
      }
      break;
    default: g.paint(px, py); break;
  }

  if (accumulating)
    for (int i = 0; i < kColMatCells; ++i)
      for (int k = 0; k < 4; ++k) {
        if (!flags[k]) continue;
        const int v = accumulate * ColMatChannel(record->cells[i], k) + ColMatChannel(before[i], k);
        record->cells[i] = ColMatWithChannel(record->cells[i], k,
                                             static_cast<uint8_t>(std::clamp(v, 0, 255)));
      }
}
