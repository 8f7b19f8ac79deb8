// Bending a whole path list into a new outline: the envelope, which maps a
// rectangle onto the area four edge paths enclose, and the quad distortion,
// which maps the paths' bounds onto a four-cornered quad; with the drawing
// of the quad and of a warp frame as preview feedback.
//
// The envelope samples the edges into a 21 x 21 grid and moves each point
// by the inverse-distance blend of the displacements of the four grid nodes
// around it. A rectangle without area, or an edge without knots, has no
// grid: the paths then stay as they are.
#include <cmath>
#include <memory>

#include "app/core/plane_geometry.h"
#include "paths/path_internal.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"
#include "platform/draw/port.h"

namespace draw = plat::draw;
using paths_detail::ForEachCoordinatePair;
using paths_detail::ForEachPathKnot;

namespace {

constexpr int kCells = 20;
constexpr int kNodes = kCells + 1;

struct GridPoint {
  float x = 0.0f;
  float y = 0.0f;
};

// The envelope grid G[row][column] over the source rectangle.
struct EnvelopeGrid {
  GridPoint g[kNodes][kNodes];
  float x0 = 0.0f, y0 = 0.0f;
  float cw = 0.0f, ch = 0.0f;  // cell size of the undistorted grid

  GridPoint Rest(int row, int col) const {
    return {x0 + static_cast<float>(col) * cw, y0 + static_cast<float>(row) * ch};
  }
};

// The knot reached from the first along count - 1 next links (the chain's
// last knot, also for a ring whose flag says open).
const CPathPoint* LastKnot(const CPath* p) {
  const CPathPoint* k = p->first;
  for (int32_t i = 1; i < p->count && k->next != nullptr && k->next != p->first; ++i) k = k->next;
  return k;
}

// Edge samples: fill(k, point) for k = 1..19 at length L * k / 20.
template <typename F>
void SampleEdge(const CPath* edge, F&& fill) {
  const float L = edge->GetAcuPathLength();
  for (int k = 1; k < kCells; ++k) {
    GridPoint pt;
    float ang = 0.0f;
    edge->GetPointAtLength(0, L * static_cast<float>(k) / kCells, &ang, &pt.x, &pt.y, nullptr,
                           nullptr);
    fill(k, pt);
  }
}

GridPoint At(const CPathPoint* k) { return {k->x, k->y}; }

void BuildEnvelope(EnvelopeGrid& e, const CPath* top, const CPath* right, const CPath* bottom,
                   const CPath* left) {
  auto& g = e.g;
  // Each corner is written by both edges that meet there; the later edge
  // wins, except the top-left corner, which stays the top path's start.
  g[0][0] = At(top->first);
  g[0][kCells] = At(LastKnot(top));
  SampleEdge(top, [&](int k, GridPoint p) { g[0][k] = p; });
  g[0][kCells] = At(right->first);
  g[kCells][kCells] = At(LastKnot(right));
  SampleEdge(right, [&](int k, GridPoint p) { g[k][kCells] = p; });
  g[kCells][kCells] = At(bottom->first);
  g[kCells][0] = At(LastKnot(bottom));
  SampleEdge(bottom, [&](int k, GridPoint p) { g[kCells][kCells - k] = p; });
  g[kCells][0] = At(left->first);
  SampleEdge(left, [&](int k, GridPoint p) { g[kCells - k][0] = p; });

  // Inner nodes average the row blend and the column blend of the edges.
  for (int j = 1; j < kCells; ++j) {
    for (int i = 1; i < kCells; ++i) {
      const auto fi = static_cast<float>(i), fj = static_cast<float>(j);
      g[j][i].x = 0.5f * (((kCells - fi) * g[j][0].x + fi * g[j][kCells].x) / kCells +
                          ((kCells - fj) * g[0][i].x + fj * g[kCells][i].x) / kCells);
      g[j][i].y = 0.5f * (((kCells - fi) * g[j][0].y + fi * g[j][kCells].y) / kCells +
                          ((kCells - fj) * g[0][i].y + fj * g[kCells][i].y) / kCells);
    }
  }
}

// The displacement of a point through the grid.
GridPoint Displacement(const EnvelopeGrid& e, float x, float y) {
  const float u = (x - e.x0) / e.cw;
  const float v = (y - e.y0) / e.ch;
  auto cell = [](float f) {
    const double c = std::trunc(static_cast<double>(f) + 0.5);
    return c < 0.0 ? 0 : c > kCells - 1 ? kCells - 1 : static_cast<int>(c);
  };
  const int i = cell(u), j = cell(v);
  const int cols[4] = {i, i + 1, i + 1, i};
  const int rows[4] = {j, j, j + 1, j + 1};
  GridPoint d[4];
  float dist[4];
  for (int n = 0; n < 4; ++n) {
    const GridPoint rest = e.Rest(rows[n], cols[n]);
    d[n] = {e.g[rows[n]][cols[n]].x - rest.x, e.g[rows[n]][cols[n]].y - rest.y};
    dist[n] = distance(x, y, rest.x, rest.y);
  }
  for (int n = 0; n < 4; ++n) {
    if (dist[n] < 0.01f) return d[n];
  }
  float wsum = 0.0f, dx = 0.0f, dy = 0.0f;
  for (int n = 0; n < 4; ++n) {
    const float w = 1.0f / dist[n];
    wsum += w;
    dx += w * d[n].x;
    dy += w * d[n].y;
  }
  return {dx / wsum, dy / wsum};
}

bool HasKnots(const CPath* p) { return p != nullptr && p->first != nullptr && p->count > 0; }

// One straight stroke that keeps its end pixel when the next stroke starts
// there.
void Stroke(Point a, Point b) {
  draw::MoveTo(a.h, a.v);
  draw::LineTo(b.h, b.v);
  draw::Line(0, 0);
}

}  // namespace

void CPathList::Transform(int16_t tangentMode, float x0, float y0, float x1, float y1, CPath* top,
                          CPath* right, CPath* bottom, CPath* left) {
  if (!(x1 != x0) || !(y1 != y0)) return;
  if (!HasKnots(top) || !HasKnots(right) || !HasKnots(bottom) || !HasKnots(left)) return;
  auto e = std::make_unique<EnvelopeGrid>();
  e->x0 = x0;
  e->y0 = y0;
  e->cw = (x1 - x0) / kCells;
  e->ch = (y1 - y0) / kCells;
  BuildEnvelope(*e, top, right, bottom, left);

  for (CPath* p = first; p != nullptr; p = p->next) {
    if (tangentMode == 0) {
      ForEachPathKnot(p, [&](CPathPoint* k) {
        const GridPoint d = Displacement(*e, k->x, k->y);
        k->MovePoint(d.x, d.y);
      });
    } else {
      ForEachCoordinatePair(p, [&](float& x, float& y) {
        const GridPoint d = Displacement(*e, x, y);
        x += d.x;
        y += d.y;
      });
    }
  }
}

void CPathList::DistortInQuad(int16_t activeOnly, float x1, float y1, float x2, float y2,
                              float x3, float y3, float x4, float y4) {
  float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
  GetBound(activeOnly, &minX, &minY, &maxX, &maxY);
  const float w = maxX - minX, h = maxY - minY;
  // A box without width or height has no relative positions to map.
  if (!(w > 0.0f) || !(h > 0.0f)) return;
  for (CPath* p = first; p != nullptr; p = p->next) {
    if (activeOnly == 1 && p->active == 0) continue;
    ForEachCoordinatePair(p, [&](float& x, float& y) {
      const float u = (x - minX) / w;
      const float v = (y - minY) / h;
      float a1, b1, c1, a2, b2, c2;
      A_lig_2point(x1 + u * (x2 - x1), y1 + u * (y2 - y1), x4 + u * (x3 - x4), y4 + u * (y3 - y4),
                   &a1, &b1, &c1);
      A_lig_2point(x2 + v * (x3 - x2), y2 + v * (y3 - y2), x1 + v * (x4 - x1), y1 + v * (y4 - y1),
                   &a2, &b2, &c2);
      // Parallel lines have no crossing: the point stays.
      A_int_2droit(a1, b1, c1, a2, b2, c2, &x, &y);
    });
  }
}

void CPathList::DrawDistQuad(GrafPtr port, int16_t mode, RGBColor c, float x1, float y1, float x2,
                             float y2, float x3, float y3, float x4, float y4) const {
  paths_detail::PortScope portScope(port);
  paths_detail::PenScope pen(mode, c);
  const DrawPar& dp = paths_detail::DrawParOr(drawPar);
  const float xs[4] = {x1, x2, x3, x4};
  const float ys[4] = {y1, y2, y3, y4};
  for (int i = 0; i < 4; ++i) {
    Stroke(PathToPort(dp, xs[i], ys[i]), PathToPort(dp, xs[(i + 1) % 4], ys[(i + 1) % 4]));
  }
  float hx[9], hy[9];
  for (int i = 0; i < 4; ++i) {
    hx[i] = xs[i];
    hy[i] = ys[i];
    hx[4 + i] = (xs[i] + xs[(i + 1) % 4]) / 2.0f;
    hy[4 + i] = (ys[i] + ys[(i + 1) % 4]) / 2.0f;
  }
  hx[8] = (hx[4] + hx[6]) / 2.0f;
  hy[8] = (hy[4] + hy[6]) / 2.0f;
  for (int i = 0; i < 9; ++i) {
    const Point tl = PathToPort(dp, hx[i] - 3.0f, hy[i] - 3.0f);
    const Point br = PathToPort(dp, hx[i] + 3.0f, hy[i] + 3.0f);
    Rect r;
    r.left = tl.h;
    r.top = tl.v;
    r.right = br.h;
    r.bottom = br.v;
    draw::FrameRect(r);
  }
}

void CPathList::DrawDistWarp(GrafPtr port, int16_t mode, RGBColor c, CWarpPath* frame) const {
  if (frame == nullptr) return;
  paths_detail::PortScope portScope(port);
  paths_detail::PenScope pen(mode, c);
  switch (frame->kind) {
    case 2:
    case 3:
    case 20:
    case 30:
      frame->DisplayFrame2(mode, c, frame->kind, frame->X, frame->Y);
      break;
    case 33:
      frame->DisplayFrame(mode, c, frame->X, frame->Y);
      break;
    default:
      break;
  }
}
