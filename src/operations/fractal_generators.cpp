// Plasma and diffusion-limited aggregation.
//
// The number and order of random draws are part of the pictures: corner
// values first, then one displacement per subdivided square in depth-first
// order; for the aggregation the walkers' start points, then two draws per
// walker step and one per respawn try.
#include "operations/fractal_generators.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/random/random.h"

namespace {

float PlasmaDraw() { return std::fabs(static_cast<float>(plat::Random() / 2147483647.0)); }

// |random() x 2^-31|, 0..1.
double UnitDraw() { return std::fabs(plat::Random() * (1.0 / 2147483648.0)); }

int32_t ClampTo(int64_t v, int32_t size) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, size - 1));
}

// The aggregation's state: the grid and the cluster's box.
struct Cluster {
  int32_t W, H;
  char** columns;
  int32_t minX, maxX, minY, maxY;
  int64_t stuck = 0;

  char& At(int32_t x, int32_t y) const { return columns[x][y]; }
  void Add(int32_t x, int32_t y) {
    At(x, y) = 1;
    minX = std::min(minX, x), maxX = std::max(maxX, x);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
    ++stuck;
  }
  // A free cell on the ellipse about the centre that encloses the cluster.
  // The ellipse may lie wholly on occupied or clamped cells: after W x H
  // misses the first free cell in scan order is taken instead. False when
  // the grid is full.
  bool Respawn(int32_t& x, int32_t& y) const {
    const int32_t cx = W / 2, cy = H / 2;
    const int32_t rx = std::max(maxX - cx, cx - minX) + 5;
    const int32_t ry = std::max(maxY - cy, cy - minY) + 5;
    const int64_t tries = int64_t{W} * H;
    for (int64_t n = 0; n < tries; ++n) {
      const double angle = UnitDraw() * 6.283185308;
      x = ClampTo(static_cast<int64_t>(std::cos(angle) * rx + cx), W);
      y = ClampTo(static_cast<int64_t>(std::sin(angle) * ry + cy), H);
      if (At(x, y) == 0) return true;
    }
    for (y = 0; y < H; ++y)
      for (x = 0; x < W; ++x)
        if (At(x, y) == 0) return true;
    return false;
  }
};

// One step of a walker, kept near the cluster and on the grid.
void Step(const Cluster& c, int32_t& x, int32_t& y) {
  const bool vertical = UnitDraw() >= 0.5;
  const int32_t d = UnitDraw() < 0.5 ? 1 : -1;
  int64_t nx = x, ny = y;
  (vertical ? ny : nx) += d;
  if (nx < c.minX - 5) {
    nx = c.maxX + 5;
  } else if (nx > c.maxX + 5) {
    nx = c.minX - 5;
  }
  if (ny < c.minY - 5) {
    ny = c.maxY + 5;
  } else if (ny > c.maxY + 5) {
    ny = c.minY - 5;
  }
  if (nx < 0) nx = c.W - 1;
  if (nx > c.W - 1) nx = 0;
  if (ny < 0) ny = c.H - 1;
  if (ny > c.H - 1) ny = 0;
  // Start points far off the grid (percentages beyond 0..100) still land
  // on it.
  x = ClampTo(nx, c.W);
  y = ClampTo(ny, c.H);
}

// Start points within a tenth of the size around the given percentage.
int32_t StartPoint(int32_t size, int32_t percent) {
  const int64_t tenth = size / 10;
  return static_cast<int32_t>(UnitDraw() * static_cast<double>(tenth - (-tenth)) +
                              static_cast<double>(-tenth) +
                              static_cast<double>(int64_t{size} * percent / 100));
}

}  // namespace

void DivideGrid(int32_t width, int32_t height, uint8_t* plane, float x, float y, float w,
                float h, float c1, float c2, float c3, float c4) {
  const float nw = w / 2, nh = h / 2;
  if (w > 1 || h > 1) {
    const float edge1 = (c1 + c2) / 2, edge2 = (c2 + c3) / 2;
    const float edge3 = (c3 + c4) / 2, edge4 = (c1 + c4) / 2;
    const auto displacement = static_cast<float>(
        static_cast<double>((nw + nh) / static_cast<float>(width + height)) * 3.0 *
        (static_cast<double>(PlasmaDraw()) - 0.5));
    const float middle = std::clamp((c1 + c2 + c3 + c4) * 0.25f + displacement, 0.0f, 1.0f);
    DivideGrid(width, height, plane, x, y, nw, nh, c1, edge1, middle, edge4);
    DivideGrid(width, height, plane, x + nw, y, nw, nh, edge1, c2, edge2, middle);
    DivideGrid(width, height, plane, x + nw, y + nh, nw, nh, middle, edge2, c3, edge3);
    DivideGrid(width, height, plane, x, y + nh, nw, nh, edge4, middle, edge3, c4);
    return;
  }
  if (x < static_cast<float>(width) && y < static_cast<float>(height)) {
    plane[static_cast<int64_t>(y) * width + static_cast<int64_t>(x)] =
        static_cast<uint8_t>(static_cast<int32_t>((c1 + c2 + c3 + c4) * 0.25f * 255 + 0.5f));
  }
}

int32_t DrawPlasma(int32_t width, int32_t height, uint8_t* plane) {
  if (plane == nullptr || width <= 0 || height <= 0) return 0;
  const float c1 = PlasmaDraw(), c2 = PlasmaDraw(), c3 = PlasmaDraw(), c4 = PlasmaDraw();
  float size = 1.0f;
  while (static_cast<float>(std::max(width, height)) > size) size += size;
  DivideGrid(width, height, plane, 0, 0, size, size, c1, c2, c3, c4);
  return 0;
}

int32_t nearanother(int32_t width, int32_t height, int32_t x, int32_t y, char** grid) {
  for (int32_t dy = -1; dy <= 1; ++dy) {
    for (int32_t dx = -1; dx <= 1; ++dx) {
      if (dx == 0 && dy == 0) continue;
      const int32_t nx = (x + dx + width) % width;
      const int32_t ny = (y + dy + height) % height;
      if (grid[nx][ny] != 0) return 1;
    }
  }
  return 0;
}

int32_t DrawAggregation(int32_t width, int32_t height, uint8_t* plane, int16_t colourRow,
                        const uint8_t* table, int32_t seed, int32_t walkers, int32_t passes,
                        int32_t startXPercent, int32_t startYPercent) {
  if (plane == nullptr || table == nullptr || width <= 0 || height <= 0) return -1;
  if (colourRow < 0 || colourRow > 4) return -1;
  // Without walkers nothing can stick, and a run without a pass limit would
  // never end.
  if (walkers <= 0) return 0;
  const int64_t cells = int64_t{width} * height;
  plat::Block<int32_t> xs(walkers, WorkSource());
  plat::Block<int32_t> ys(walkers, WorkSource());
  plat::Block<char> cellBlock(cells, WorkSource());
  plat::Block<char*> columnBlock(width, WorkSource());
  if (!xs || !ys || !cellBlock || !columnBlock) return -1;
  plat::SeedRandom(static_cast<uint32_t>(seed));
  for (int32_t i = 0; i < walkers; ++i) {
    xs.get()[i] = StartPoint(width, startXPercent);
    ys.get()[i] = StartPoint(height, startYPercent);
  }
  cellBlock.Clear();
  for (int32_t x = 0; x < width; ++x) columnBlock.get()[x] = cellBlock.get() + int64_t{x} * height;
  const int32_t sx = ClampTo(
      static_cast<int64_t>(static_cast<float>(int64_t{width} * startXPercent) / 100.0 + 0.5), width);
  const int32_t sy = ClampTo(
      static_cast<int64_t>(static_cast<float>(int64_t{height} * startYPercent) / 100.0 + 0.5),
      height);
  Cluster c{width, height, columnBlock.get(), sx, sx, sy, sy};
  c.At(sx, sy) = 1;
  const uint8_t* row0 = table;
  const uint8_t* colours = table + 256 * colourRow;
  const int64_t P = passes < 1 ? 1 : passes;
  bool stop = false;
  for (int64_t t = 0; t < P && !stop;) {
    for (int32_t i = 0; i < walkers && !stop; ++i) {
      int32_t& x = xs.get()[i];
      int32_t& y = ys.get()[i];
      Step(c, x, y);
      if (nearanother(width, height, x, y, c.columns) == 0) continue;
      c.Add(x, y);
      // Only the left and top margins stop a run: the box never passes the
      // right and bottom limits it is compared with.
      if (c.minX <= 4 || c.minY <= 4) stop = true;
      const auto e = static_cast<int32_t>((t * walkers * 255 + int64_t{i} * 255) / (walkers * P));
      uint8_t& s = plane[int64_t{width} * y + x];
      // Row 0 weights the old value here, unlike the other ramp painters.
      s = static_cast<uint8_t>((colours[e] * (255 - row0[e]) + row0[e] * s) / 255);
      if (!c.Respawn(x, y)) stop = true;
      if (passes < 0 && c.stuck >= cells) stop = true;
    }
    if (passes >= 0) ++t;
  }
  return 0;
}
