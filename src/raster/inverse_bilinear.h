// Inverse bilinear scan shared by the quadrilateral warps: for every pixel
// of a quadrilateral's bounding box, solve the two positions (u along the
// top and bottom edges, v along the left and right edges) that put the
// pixel on the bilinear patch, and hand both to the caller.
//
// The coefficients are exact integers; only the square root and the
// divisions are floating (double). Pixels whose discriminant is not
// positive, or whose u or v falls outside 0..1, are skipped. The box's
// greatest row and column are never visited.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "app/core/plane_geometry.h"
#include "platform/parallel/parallel.h"

namespace raster_detail {

struct Quad {
  int32_t x[4];
  int32_t y[4];
};

// Pulls each corner toward its rectangle corner, (l, t), (l + W, t),
// (l + W, t + H), (l, t + H): c' = c - ((c - r) * (100 - p)) / 100,
// truncating toward zero.
inline Quad PercentQuad(Quad q, int32_t l, int32_t t, int32_t W, int32_t H, int16_t p) {
  const int64_t rx[4] = {l, int64_t{l} + W, int64_t{l} + W, l};
  const int64_t ry[4] = {t, t, int64_t{t} + H, int64_t{t} + H};
  const int64_t k = 100 - int64_t{p};
  for (int i = 0; i < 4; ++i) {
    q.x[i] = static_cast<int32_t>(q.x[i] - ((q.x[i] - rx[i]) * k) / 100);
    q.y[i] = static_cast<int32_t>(q.y[i] - ((q.y[i] - ry[i]) * k) / 100);
  }
  return q;
}

// Root of K*r^2 - b*r - c = 0 in 0..1: (b - sqrt(D)) / 2K first, then
// (b + sqrt(D)) / 2K; -c / b when K is 0. False when there is none.
inline bool SolvePatchRoot(int64_t K, int64_t b, int64_t c, double* root) {
  double r;
  if (K != 0) {
    const double D = static_cast<double>(b) * static_cast<double>(b) +
                     4.0 * static_cast<double>(K) * static_cast<double>(c);
    if (D < 0.0001) return false;
    const double sq = std::sqrt(D);
    const double twoK = 2.0 * static_cast<double>(K);
    r = (static_cast<double>(b) - sq) / twoK;
    if (r < 0.0 || r > 1.0) r = (static_cast<double>(b) + sq) / twoK;
  } else {
    if (b == 0) return false;
    r = -static_cast<double>(c) / static_cast<double>(b);
  }
  if (r < 0.0 || r > 1.0) return false;
  *root = r;
  return true;
}

// Calls fn(x, y, u, v) for every solved pixel of q inside dstW x dstH. Each row starts its
// sums afresh, so with `banded` (fn writes only its own pixel and reads nothing any pixel
// writes) the rows go in bands to the shared threads.
template <typename Fn>
void ScanQuad(const Quad& q, int32_t dstH, int32_t dstW, Fn&& fn, bool banded = false) {
  int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
  inf_sup(q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3], &minX, &minY, &maxX,
          &maxY);
  const int64_t x0 = q.x[0], y0 = q.y[0], x1 = q.x[1], y1 = q.y[1];
  const int64_t x2 = q.x[2], y2 = q.y[2], x3 = q.x[3], y3 = q.y[3];
  const int64_t K1 = (y1 - y0) * (x2 - x3) - (x1 - x0) * (y2 - y3);
  const int64_t K2 = (y3 - y0) * (x2 - x1) - (x3 - x0) * (y2 - y1);
  // b and c are linear in x: their steps per column are constants.
  const int64_t db1 = (y1 - y0) - (y2 - y3);
  const int64_t dc1 = y0 - y3;
  const int64_t db2 = (y3 - y0) - (y2 - y1);
  const int64_t dc2 = y0 - y1;
  const int32_t yStart = minY > 0 ? minY : 0;
  const int32_t yEnd = maxY < dstH ? maxY : dstH;
  const int32_t xStart = minX > 0 ? minX : 0;
  const int32_t xEnd = maxX < dstW ? maxX : dstW;
  auto rows = [&](int32_t first, int32_t end) {
    for (int32_t py = first; py < end; ++py) {
      const int64_t y = py;
      const int64_t x = xStart;
      int64_t b1 =
          (y3 - y) * (x1 - x0) + (y2 - y3) * (x0 - x) + (y - y0) * (x2 - x3) + (y1 - y0) * (x - x3);
      int64_t c1 = (x0 - x) * (y3 - y) + (x - x3) * (y0 - y);
      int64_t b2 =
          (y1 - y) * (x3 - x0) + (y2 - y1) * (x0 - x) + (y - y0) * (x2 - x1) + (y3 - y0) * (x - x1);
      int64_t c2 = (x0 - x) * (y1 - y) + (x - x1) * (y0 - y);
      for (int32_t px = xStart; px < xEnd; ++px, b1 += db1, c1 += dc1, b2 += db2, c2 += dc2) {
        double u = 0.0, v = 0.0;
        if (!SolvePatchRoot(K1, b1, c1, &u)) continue;
        if (!SolvePatchRoot(K2, b2, c2, &v)) continue;
        fn(px, py, u, v);
      }
    }
  };
  if (banded && yEnd - yStart > 32 && xEnd > xStart)
    plat::ParallelFor(yStart, yEnd, 16, rows);
  else
    rows(yStart, yEnd);
}

// Whether planes of `an` and `bn` bytes share any byte (null shares none).
inline bool BytesMeet(const void* a, size_t an, const void* b, size_t bn) {
  if (a == nullptr || b == nullptr) return false;
  const auto p = reinterpret_cast<uintptr_t>(a), q = reinterpret_cast<uintptr_t>(b);
  return p < q + bn && q < p + an;
}

// Nearest sample of a relative position along an extent: trunc(r * E + 0.5),
// the extent taken in single precision first.
inline int32_t NearestOffset(double r, int32_t extent) {
  return static_cast<int32_t>(r * static_cast<double>(static_cast<float>(extent)) + 0.5);
}

inline int32_t ClampIndex(int32_t v, int32_t size) {
  return v < 0 ? 0 : (v >= size ? size - 1 : v);
}

}  // namespace raster_detail
