// Pixel brushes.
#include "raster/pixel_brush.h"

#include <algorithm>
#include <cstddef>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/random/random.h"

namespace {

uint8_t ByteOf(uint32_t p, int k) { return static_cast<uint8_t>(p >> (8 * k)); }

bool Planes3(const void* a, const void* b, const void* c) {
  return a != nullptr && b != nullptr && c != nullptr;
}

}  // namespace

PixelDab PlacePixelDab(float originX, float originY, float zoom, float centreX, float centreY,
                       float radius) {
  PixelDab d;
  if (!(zoom > 0.0f) || !(radius >= 0.0f)) return d;
  const float n = 2.0f * radius / zoom + 1.5f;
  const float left = (originX + centreX - radius) / zoom + 0.5f;
  const float top = (originY + centreY - radius) / zoom + 0.5f;
  // A size or place beyond the int range (a vanishing zoom, an infinite or NaN coordinate)
  // makes no dab: its conversion would be undefined.
  const auto fits = [](float v) { return v >= -2147483648.0f && v < 2147483648.0f; };
  if (!fits(n) || !fits(left) || !fits(top)) return d;
  d.n = static_cast<int32_t>(n);
  d.left = static_cast<int32_t>(left);
  d.top = static_cast<int32_t>(top);
  return d;
}

uint8_t BrushBlend(int32_t old, int32_t target, int32_t m) {
  const int64_t v = ((4096 - int64_t{m}) * old + int64_t{m} * target) >> 12;
  return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255));
}

uint32_t BrushBlendPixel(uint32_t old, uint32_t target, int32_t m) {
  uint32_t out = 0;
  for (int k = 0; k < 4; ++k) {
    out |= uint32_t{BrushBlend(ByteOf(old, k), ByteOf(target, k), m)} << (8 * k);
  }
  return out;
}

void X_Brush_Clone(float originX, float originY, float zoom, int32_t width, int32_t height,
                   uint32_t* pixels, const uint32_t* source, const int16_t* footprint,
                   float centreX, float centreY, float radius, int32_t dx, int32_t dy) {
  if (pixels == nullptr || source == nullptr) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t x, int32_t y, int32_t m) {
    const int64_t sx = int64_t{x} + dx, sy = int64_t{y} + dy;
    if (sx < 0 || sy < 0 || sx >= width || sy >= height) return;
    pixels[i] = BrushBlendPixel(pixels[i], source[sy * width + sx], m);
  });
}

void X_Brush_CloneRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                      uint8_t* R, uint8_t* G, uint8_t* B, const uint8_t* srcR,
                      const uint8_t* srcG, const uint8_t* srcB, const int16_t* footprint,
                      float centreX, float centreY, float radius, int32_t dx, int32_t dy) {
  if (!Planes3(R, G, B) || !Planes3(srcR, srcG, srcB)) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t x, int32_t y, int32_t m) {
    const int64_t sx = int64_t{x} + dx, sy = int64_t{y} + dy;
    if (sx < 0 || sy < 0 || sx >= width || sy >= height) return;
    const int64_t s = sy * width + sx;
    R[i] = BrushBlend(R[i], srcR[s], m);
    G[i] = BrushBlend(G[i], srcG[s], m);
    B[i] = BrushBlend(B[i], srcB[s], m);
  });
}

void X_Brush_Aero(float originX, float originY, float zoom, int32_t width, int32_t height,
                  uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                  float radius, int16_t byte2, int16_t byte1, int16_t byte0, int16_t byte3) {
  if (pixels == nullptr) return;
  const int32_t target[4] = {byte0, byte1, byte2, byte3};
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
      out |= uint32_t{BrushBlend(ByteOf(pixels[i], k), target[k], m)} << (8 * k);
    }
    pixels[i] = out;
  });
}

void X_Brush_AeroRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                     uint8_t* R, uint8_t* G, uint8_t* B, const int16_t* footprint,
                     float centreX, float centreY, float radius, int16_t red, int16_t green,
                     int16_t blue) {
  if (!Planes3(R, G, B)) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    R[i] = BrushBlend(R[i], red, m);
    G[i] = BrushBlend(G[i], green, m);
    B[i] = BrushBlend(B[i], blue, m);
  });
}

void X_Brush_Etch(float originX, float originY, float zoom, int32_t width, int32_t height,
                  uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                  float radius, const int16_t* table0, const int16_t* table1,
                  const int16_t* table2, const int16_t* table3) {
  const int16_t* tables[4] = {table0, table1, table2, table3};
  if (pixels == nullptr || !Planes3(table0, table1, table2) || table3 == nullptr) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
      const uint8_t old = ByteOf(pixels[i], k);
      out |= uint32_t{BrushBlend(old, tables[k][old], m)} << (8 * k);
    }
    pixels[i] = out;
  });
}

void X_Brush_EtchRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                     uint8_t* R, uint8_t* G, uint8_t* B, const int16_t* footprint,
                     float centreX, float centreY, float radius, const int16_t* tableR,
                     const int16_t* tableG, const int16_t* tableB) {
  if (!Planes3(R, G, B) || !Planes3(tableR, tableG, tableB)) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    R[i] = BrushBlend(R[i], tableR[R[i]], m);
    G[i] = BrushBlend(G[i], tableG[G[i]], m);
    B[i] = BrushBlend(B[i], tableB[B[i]], m);
  });
}

void X_Brush_Noise(float originX, float originY, float zoom, int32_t width, int32_t height,
                   uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                   float radius) {
  if (pixels == nullptr) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
      const int32_t old = ByteOf(pixels[i], k);
      const int32_t target = std::min(old + plat::Random() % 255, 255);
      out |= uint32_t{BrushBlend(old, target, m)} << (8 * k);
    }
    pixels[i] = out;
  });
}

int32_t X_Brush_Matrix(float originX, float originY, float zoom, int32_t width, int32_t height,
                       uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                       float radius, const int16_t* kernel, int16_t divisor) {
  if (pixels == nullptr || kernel == nullptr || width < 3 || height < 3) return 0;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  if (dab.n <= 0) return 0;
  // The rows the dab reaches, and one more on each side, as they were: the
  // convolution reads its neighbours unchanged whichever way the dab runs.
  const int64_t first = std::clamp<int64_t>(int64_t{dab.top} - 1, 0, height - 1);
  const int64_t last = std::clamp<int64_t>(int64_t{dab.top} + dab.n, 0, height - 1);
  const plat::Block<uint32_t> before((last - first + 1) * width, WorkSource());
  if (!before) return -1;
  std::copy(pixels + first * width, pixels + (last + 1) * width, before.get());
  const int32_t div = std::max<int32_t>(divisor, 1);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t x, int32_t y, int32_t m) {
    if (x < 1 || y < 1 || x > width - 2 || y > height - 2) return;
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
      int64_t sum = 0;
      for (int32_t v = -1; v <= 1; ++v) {
        const uint32_t* row = before.get() + (y + v - first) * width;
        for (int32_t u = -1; u <= 1; ++u) sum += int64_t{kernel[(v + 1) * 3 + u + 1]} * ByteOf(row[x + u], k);
      }
      const auto target = static_cast<int32_t>(std::clamp<int64_t>(sum / div, 0, 255));
      out |= uint32_t{BrushBlend(ByteOf(pixels[i], k), target, m / 10)} << (8 * k);
    }
    pixels[i] = out;
  });
  return 0;
}

void X_Brush_MskRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                    uint8_t* plane, const int16_t* footprint, float centreX, float centreY,
                    float radius, int16_t value) {
  if (plane == nullptr) return;
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    plane[i] = BrushBlend(plane[i], value, m);
  });
}

void X_Brush_CompuMsk(float originX, float originY, float zoom, int32_t width, int32_t height,
                      int16_t* mask, const int16_t* footprint, float centreX, float centreY,
                      float radius, int32_t planeW, int32_t planeH, const int16_t* planeP,
                      const int16_t* planeQ, const int16_t* table) {
  if (mask == nullptr || planeP == nullptr || planeQ == nullptr || table == nullptr ||
      planeW <= 0 || planeH <= 0) {
    return;
  }
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t x, int32_t y, int32_t m) {
    if (m <= 0) return;
    const int64_t px = std::clamp<int64_t>(static_cast<int64_t>(static_cast<float>(x) * zoom), 0,
                                           planeW - 1);
    const int64_t py = std::clamp<int64_t>(static_cast<int64_t>(static_cast<float>(y) * zoom), 0,
                                           planeH - 1);
    const int64_t s = py * planeW + px;
    const int64_t at = std::clamp<int64_t>(int64_t{planeP[s]} + planeQ[s] + mask[i] - 8192, 0, 8191);
    mask[i] = table[at];
  });
}
