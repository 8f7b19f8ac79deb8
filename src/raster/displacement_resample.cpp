// Bilinear pull through displacement maps.
//
// The weights are taken in hundredths, as the lens and grid engines' results
// were always computed, and the sum is truncated: the truncation is part of
// what those engines' pixels are.
#include "raster/displacement_resample.h"

#include <cstddef>

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

template <typename Offset>
void pull(int32_t h, int32_t w, const uint8_t* const src[4], uint8_t* const dst[4],
          const uint32_t* const* xMap, const uint32_t* const* yMap, Offset&& offset) {
  if (h <= 0 || w <= 0 || xMap == nullptr || yMap == nullptr) return;
  const int planes = (src[3] != nullptr && dst[3] != nullptr) ? 4 : 3;
  for (int32_t y = h - 1; y >= 0; --y) {
    const uint32_t* xr = xMap[y];
    const uint32_t* yr = yMap[y];
    for (int32_t x = 0; x < w; ++x) {
      for (int k = 0; k < planes; ++k) {
        if (src[k] == nullptr || dst[k] == nullptr) continue;
        const Axis ax = hold(x + offset(xr[x], k), w);
        const Axis ay = hold(y + offset(yr[x], k), h);
        Displ(h, w, src[k], dst[k] + static_cast<size_t>(y) * w + x, ax.pos, ay.pos, ax.pos - 1.0,
              ay.pos - 1.0, ax.next, ay.next);
      }
    }
  }
}

}  // namespace

void Displ(int32_t /*h*/, int32_t w, const uint8_t* src, uint8_t* dst, double x, double y,
           double /*xPrev*/, double /*yPrev*/, double xNext, double yNext) {
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
  *dst = static_cast<uint8_t>(static_cast<int32_t>(value));
}

void ComputeBufRGBInterDisAtXY(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                               uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                               const uint32_t* const* xMap, const uint32_t* const* yMap) {
  const uint8_t* const src[4] = {srcR, srcG, srcB, srcMask};
  uint8_t* const dst[4] = {dstR, dstG, dstB, dstMask};
  pull(h, w, src, dst, xMap, yMap, [](uint32_t v, int) {
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
  pull(h, w, src, dst, xMap, yMap, [&k](uint32_t v, int plane) {
    return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) * k[plane] /
           12800.0;
  });
}
