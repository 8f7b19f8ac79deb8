// Distortion of a source rectangle into a quadrilateral, and the grid warp
// built on it.
//
// Source positions come from the inverse bilinear solve and are nearest
// samples inside the source rectangle; they are still held to the source
// plane, because a caller's rectangle that overhangs the plane must not turn
// into reads outside it.
#include "raster/distortion_warp.h"

#include <cstddef>
#include <cstring>

#include "raster/inverse_bilinear.h"

using raster_detail::ClampIndex;
using raster_detail::NearestOffset;
using raster_detail::PercentQuad;
using raster_detail::Quad;
using raster_detail::ScanQuad;

namespace {

// Copies whole samples of `bytes` bytes from the nearest source position.
void DistortSamples(const raster_detail::Quad& q, int32_t bytes, int32_t srcH, int32_t srcW,
                    const uint8_t* s, int32_t dstH, int32_t dstW, uint8_t* d, int32_t l,
                    int32_t t, int32_t W, int32_t H) {
  // Every pixel takes a sample of the source: rows in bands when the source is apart.
  const bool apart = !raster_detail::BytesMeet(
      s, static_cast<size_t>(srcH) * srcW * bytes, d,
      dstH > 0 && dstW > 0 ? static_cast<size_t>(dstH) * dstW * bytes : 0);
  // A sample of one byte is copied as one, not through a copy of a length known only here.
  if (bytes == 1) {
    ScanQuad(
        q, dstH, dstW,
        [&](int32_t x, int32_t y, double u, double v) {
          const int32_t sx = ClampIndex(l + NearestOffset(u, W), srcW);
          const int32_t sy = ClampIndex(t + NearestOffset(v, H), srcH);
          d[static_cast<size_t>(y) * dstW + x] = s[static_cast<size_t>(sy) * srcW + sx];
        },
        apart);
    return;
  }
  ScanQuad(
      q, dstH, dstW,
      [&](int32_t x, int32_t y, double u, double v) {
        const int32_t sx = ClampIndex(l + NearestOffset(u, W), srcW);
        const int32_t sy = ClampIndex(t + NearestOffset(v, H), srcH);
        std::memcpy(d + (static_cast<size_t>(y) * dstW + x) * bytes,
                    s + (static_cast<size_t>(sy) * srcW + sx) * bytes, static_cast<size_t>(bytes));
      },
      apart);
}

}  // namespace

int32_t X_distort_buffer(int16_t pixelMode, int32_t srcH, int32_t srcW, const void* src,
                         int16_t blend, const uint8_t* blendMask, int32_t dstH, int32_t dstW,
                         void* dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                         int32_t y2, int32_t x3, int32_t y3, int32_t l, int32_t t, int32_t W,
                         int32_t H, int16_t percentage) {
  if (src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0) return 0;
  const Quad q = PercentQuad(Quad{{x0, x1, x2, x3}, {y0, y1, y2, y3}}, l, t, W, H, percentage);
  if (pixelMode == 0) {
    const auto* s = static_cast<const uint8_t*>(src);
    auto* d = static_cast<uint8_t*>(dst);
    const bool masked = blendMask != nullptr && (blend == 1 || blend == 2);
    // Every pixel writes only its own sample: rows in bands when neither the source nor the
    // blend mask meets the destination (the screen's cells warped onto 6000 x 4000 planes
    // spent about half of their 0.55 s here on one thread).
    const size_t srcBytes = static_cast<size_t>(srcH) * srcW;
    const size_t dstBytes = dstH > 0 && dstW > 0 ? static_cast<size_t>(dstH) * dstW : 0;
    const bool apart = !raster_detail::BytesMeet(s, srcBytes, d, dstBytes) &&
                       !(masked && raster_detail::BytesMeet(blendMask, srcBytes, d, dstBytes));
    ScanQuad(
        q, dstH, dstW,
        [&](int32_t x, int32_t y, double u, double v) {
          const int32_t sx = ClampIndex(l + NearestOffset(u, W), srcW);
          const int32_t sy = ClampIndex(t + NearestOffset(v, H), srcH);
          const int32_t si = sy * srcW + sx;
          uint8_t& out = d[y * dstW + x];
          const int32_t sv = s[si];
          if (masked) {
            const int32_t m = blendMask[si];
            out = static_cast<uint8_t>(blend == 1 ? (out * m + sv * (255 - m)) / 255
                                                  : (sv * m + out * (255 - m)) / 255);
          } else {
            out = static_cast<uint8_t>(sv);
          }
        },
        apart);
  } else if (pixelMode == 1) {
    DistortSamples(q, 4, srcH, srcW, static_cast<const uint8_t*>(src), dstH, dstW,
                   static_cast<uint8_t*>(dst), l, t, W, H);
  }
  return 0;
}

int32_t X_distort_bufcol(int16_t pixelMode, int32_t srcH, int32_t srcW, const void* src,
                         int32_t dstH, int32_t dstW, void* dst, int32_t x0, int32_t y0,
                         int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                         int32_t l, int32_t t, int32_t W, int32_t H, int32_t /*unused*/,
                         int16_t percentage) {
  if (src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0) return 0;
  static constexpr int32_t kBytes[3] = {4, 2, 1};
  if (pixelMode < 0 || pixelMode > 2) return 0;
  const Quad q = PercentQuad(Quad{{x0, x1, x2, x3}, {y0, y1, y2, y3}}, l, t, W, H, percentage);
  DistortSamples(q, kBytes[pixelMode], srcH, srcW, static_cast<const uint8_t*>(src), dstH, dstW,
                 static_cast<uint8_t*>(dst), l, t, W, H);
  return 0;
}

int32_t X_distort_planes(int32_t count, int32_t srcH, int32_t srcW, const uint8_t* const* src,
                         int32_t dstH, int32_t dstW, uint8_t* const* dst, int32_t x0, int32_t y0,
                         int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                         int32_t l, int32_t t, int32_t W, int32_t H, int16_t percentage) {
  if (count < 1 || count > 4 || src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0)
    return 0;
  for (int32_t k = 0; k < count; ++k)
    if (src[k] == nullptr || dst[k] == nullptr) return 0;
  const Quad q = PercentQuad(Quad{{x0, x1, x2, x3}, {y0, y1, y2, y3}}, l, t, W, H, percentage);
  // One walk for all only when no destination meets a source or another destination: a pixel
  // then reads nothing that any plane's pass writes, and the rows go in bands. Otherwise each
  // pair takes its own call, in order.
  const size_t srcBytes = static_cast<size_t>(srcH) * srcW;
  const size_t dstBytes = dstH > 0 && dstW > 0 ? static_cast<size_t>(dstH) * dstW : 0;
  bool apart = true;
  for (int32_t a = 0; a < count; ++a)
    for (int32_t b = 0; b < count; ++b) {
      apart = apart && !raster_detail::BytesMeet(src[a], srcBytes, dst[b], dstBytes);
      if (a != b) apart = apart && !raster_detail::BytesMeet(dst[a], dstBytes, dst[b], dstBytes);
    }
  if (!apart) {
    for (int32_t k = 0; k < count; ++k)
      X_distort_bufcol(2, srcH, srcW, src[k], dstH, dstW, dst[k], x0, y0, x1, y1, x2, y2, x3, y3,
                       l, t, W, H, 0, percentage);
    return 0;
  }
  const uint8_t* s[4] = {};
  uint8_t* d[4] = {};
  for (int32_t k = 0; k < count; ++k) {
    s[k] = src[k];
    d[k] = dst[k];
  }
  ScanQuad(
      q, dstH, dstW,
      [&](int32_t x, int32_t y, double u, double v) {
        const int32_t sx = ClampIndex(l + NearestOffset(u, W), srcW);
        const int32_t sy = ClampIndex(t + NearestOffset(v, H), srcH);
        const size_t from = static_cast<size_t>(sy) * srcW + sx;
        const size_t to = static_cast<size_t>(y) * dstW + x;
        for (int32_t k = 0; k < count; ++k) d[k][to] = s[k][from];
      },
      true);
  return 0;
}

int32_t X_Grid_buffer(int16_t gridMode, int16_t pixelMode, int32_t srcH, int32_t srcW,
                      const void* src, const uint8_t* /*unused*/, int32_t dstH, int32_t dstW,
                      void* dst, uint16_t* xMap, uint16_t* yMap, int16_t nx, int16_t ny,
                      const float* nodeX, const float* nodeY, int32_t l, int32_t t, int32_t W,
                      int32_t H, float scaleX, float scaleY, int16_t percentage) {
  if (nx <= 0 || ny <= 0 || nodeX == nullptr || nodeY == nullptr) return -1;
  if (gridMode != 0) {
    // The maps are 500 x 500 and indexed with the destination's width.
    if (xMap == nullptr || yMap == nullptr || dstW < 0 || dstH < 0 ||
        int64_t{dstW} * dstH > kCoordinateMapEntries) {
      return -1;
    }
    if (gridMode == 1) {
      for (int32_t k = 0; k < kCoordinateMapEntries; ++k) {
        xMap[k] = kGridMapNeutral;
        yMap[k] = kGridMapNeutral;
      }
    }
  }
  // Cell borders in the source rectangle; neighbouring cells share theirs.
  auto split = [](int32_t i, int32_t extent, int16_t n) {
    return static_cast<int32_t>(static_cast<float>(i * extent) / static_cast<float>(n) + 0.5);
  };
  // Lattice nodes may be held in another unit than destination pixels.
  auto toPixel = [](float node, float scale) {
    return static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(node)) / scale);
  };
  const int32_t stride = nx + 1;
  for (int32_t j = 0; j < ny; ++j) {
    const int32_t top = split(j, H, ny);
    const int32_t cellT = t + top;
    const int32_t cellH = split(j + 1, H, ny) - top;
    for (int32_t i = 0; i < nx; ++i) {
      const int32_t left = split(i, W, nx);
      const int32_t cellL = l + left;
      const int32_t cellW = split(i + 1, W, nx) - left;
      const int32_t n0 = j * stride + i;
      const int32_t n3 = (j + 1) * stride + i;
      const int32_t qx[4] = {toPixel(nodeX[n0], scaleX), toPixel(nodeX[n0 + 1], scaleX),
                             toPixel(nodeX[n3 + 1], scaleX), toPixel(nodeX[n3], scaleX)};
      const int32_t qy[4] = {toPixel(nodeY[n0], scaleY), toPixel(nodeY[n0 + 1], scaleY),
                             toPixel(nodeY[n3 + 1], scaleY), toPixel(nodeY[n3], scaleY)};
      if (gridMode == 0) {
        if (X_distort_buffer(pixelMode, srcH, srcW, src, 0, nullptr, dstH, dstW, dst, qx[0], qy[0],
                             qx[1], qy[1], qx[2], qy[2], qx[3], qy[3], cellL, cellT, cellW, cellH,
                             percentage) < 0) {
          return -1;
        }
        continue;
      }
      const Quad q = PercentQuad(Quad{{qx[0], qx[1], qx[2], qx[3]}, {qy[0], qy[1], qy[2], qy[3]}},
                                 cellL, cellT, cellW, cellH, percentage);
      const double spanX = static_cast<double>(cellW * 128);
      const double spanY = static_cast<double>(cellH * 128);
      ScanQuad(q, dstH, dstW, [&](int32_t x, int32_t y, double u, double v) {
        const int32_t k = y * dstW + x;
        const int32_t ex =
            kGridMapNeutral + static_cast<int32_t>(u * spanX + 0.5) - 128 * (x - cellL);
        const int32_t ey =
            kGridMapNeutral + static_cast<int32_t>(v * spanY + 0.5) - 128 * (y - cellT);
        xMap[k] = static_cast<uint16_t>(ex);
        yMap[k] = static_cast<uint16_t>(ey);
      });
    }
  }
  return 0;
}
