// Bilinear pull through displacement maps.
//
// The weights are taken in hundredths, as the lens and grid engines' results
// were always computed, and the sum is truncated: the truncation is part of
// what those engines' pixels are.
#include "raster/displacement_resample.h"

#include <cstddef>
#include <cstdint>

#include "platform/parallel/parallel.h"

namespace {

// Source position of one pixel, held inside 0..size - 1, and its far
// neighbour (position + 1, lowered to size - 1).
struct Axis {
  double pos;
  double next;
};

Axis hold(double p, int32_t size) {
  if (p < 0.0) p = 0.0;
  if (p >= size) p = size - 1;
  double n = p + 1.0;
  if (n >= size) n = size - 1;
  return Axis{p, n};
}

// Rows per band of the pull.
constexpr int32_t kPullBandRows = 16;

// The bilinear value at (x, y) with (xNext, yNext) the far corner, the weights in hundredths
// and every product taken in the order Displ documents.
inline uint8_t DisplValue(int32_t w, const uint8_t* src, double x, double y, double xNext,
                          double yNext) {
  const int32_t ix = static_cast<int32_t>(x);
  const int32_t iy = static_cast<int32_t>(y);
  const int32_t jx = static_cast<int32_t>(xNext);
  const int32_t jy = static_cast<int32_t>(yNext);
  const double fx = x - ix;
  const double fy = y - iy;
  const double s00 = src[static_cast<size_t>(iy) * w + ix];
  const double s10 = src[static_cast<size_t>(iy) * w + jx];
  const double s01 = src[static_cast<size_t>(jy) * w + ix];
  const double s11 = src[static_cast<size_t>(jy) * w + jx];
  const double value =
      (s00 * (100.0 - 100.0 * fx) * (100.0 - 100.0 * fy) +
       s10 * (100.0 * fx) * (100.0 - 100.0 * fy) + s01 * (100.0 - 100.0 * fx) * (100.0 * fy) +
       s11 * (100.0 * fx) * (100.0 * fy)) /
      10000.0;
  return static_cast<uint8_t>(static_cast<int32_t>(value));
}

// One row of the pull. `samePlaces`: every plane has the same offset, so the held position is
// worked out once for the pixel.
template <typename Offset>
void pullRow(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4], int planes,
             const uint32_t* xr, const uint32_t* yr, int32_t y, Offset& offset, bool samePlaces) {
  const size_t row = static_cast<size_t>(y) * w;
  if (samePlaces) {
    for (int32_t x = 0; x < w; ++x) {
      const Axis ax = hold(x + offset(xr[x], 0), w);
      const Axis ay = hold(y + offset(yr[x], 0), h);
      for (int k = 0; k < planes; ++k) {
        if (src[k] == nullptr || dst[k] == nullptr) continue;
        dst[k][row + x] = DisplValue(w, src[k], ax.pos, ay.pos, ax.next, ay.next);
      }
    }
    return;
  }
  for (int32_t x = 0; x < w; ++x) {
    for (int k = 0; k < planes; ++k) {
      if (src[k] == nullptr || dst[k] == nullptr) continue;
      const Axis ax = hold(x + offset(xr[x], k), w);
      const Axis ay = hold(y + offset(yr[x], k), h);
      dst[k][row + x] = DisplValue(w, src[k], ax.pos, ay.pos, ax.next, ay.next);
    }
  }
}

// The rows are pulled from the bottom up. When no plane written is one
// read, each row depends on the sources alone, and the rows run in bands on
// the shared threads; otherwise the one walk from the bottom keeps what a
// row reads of the rows already pulled.
template <typename Offset>
void pull(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4],
          const uint32_t* const* xMap, const uint32_t* const* yMap, bool samePlaces,
          Offset&& offset) {
  if (h <= 0 || w <= 0 || xMap == nullptr || yMap == nullptr) return;
  const int planes = (src[3] != nullptr && dst[3] != nullptr) ? 4 : 3;
  const size_t size = static_cast<size_t>(h) * w;
  bool apart = true;
  for (int k = 0; k < planes; ++k)
    for (int j = 0; j < planes; ++j) {
      if (src[k] == nullptr || dst[j] == nullptr) continue;
      const auto a = reinterpret_cast<uintptr_t>(src[k]), b = reinterpret_cast<uintptr_t>(dst[j]);
      apart = apart && (a + size <= b || b + size <= a);
    }
  if (!apart) {
    for (int32_t y = h - 1; y >= 0; --y)
      pullRow(h, w, src, dst, planes, xMap[y], yMap[y], y, offset, samePlaces);
    return;
  }
  plat::ParallelFor(0, h, kPullBandRows, [&](int32_t first, int32_t last) {
    for (int32_t y = last - 1; y >= first; --y)
      pullRow(h, w, src, dst, planes, xMap[y], yMap[y], y, offset, samePlaces);
  });
}

}  // namespace

void Displ(int32_t /*h*/, int32_t w, const uint8_t* src, uint8_t* dst, double x, double y,
           double /*xPrev*/, double /*yPrev*/, double xNext, double yNext) {
  *dst = DisplValue(w, src, x, y, xNext, yNext);
}

void ComputeBufRGBInterDisAtXY(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                               uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                               const uint32_t* const* xMap, const uint32_t* const* yMap) {
  const uint8_t* const src[4] = {srcR, srcG, srcB, srcMask};
  uint8_t* const dst[4] = {dstR, dstG, dstB, dstMask};
  pull(h, w, src, dst, xMap, yMap, true, [](uint32_t v, int) {
    return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) / 128.0;
  });
}

void ComputeBufRGBInterDisAtXYfring(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                                    const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                                    uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                                    const uint32_t* const* xMap, const uint32_t* const* yMap,
                                    int32_t kR, int32_t kG, int32_t kB) {
  const uint8_t* const src[4] = {srcR, srcG, srcB, srcMask};
  uint8_t* const dst[4] = {dstR, dstG, dstB, dstMask};
  const double k[4] = {static_cast<double>(kR), static_cast<double>(kG), static_cast<double>(kB),
                       100.0};
  pull(h, w, src, dst, xMap, yMap, false, [&k](uint32_t v, int plane) {
    return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) * k[plane] /
           12800.0;
  });
}
