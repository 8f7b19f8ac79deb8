// Elliptic mask brush.
#include "raster/mask_brush.h"

#include <algorithm>

namespace {

int32_t Round(float v) { return static_cast<int32_t>(v + 0.5f); }

// Whether v + 0.5 and sums of it with a footprint's side stay well inside the int range;
// false for NaN and the infinities.
bool Fits(float v) { return v > -1073741824.0f && v < 1073741824.0f; }

int64_t Samples(int32_t width, int32_t height) {
  return width > 0 && height > 0 ? int64_t{width} * height : 0;
}

}  // namespace

void X_prepare_MskBrush(int16_t mode, int16_t* footprint, int32_t rx, int32_t ry, int32_t value) {
  if (footprint == nullptr || rx < 0 || ry < 0) return;
  const double rx2 = static_cast<double>(rx) * rx;
  const double ry2 = static_cast<double>(ry) * ry;
  const double F = rx2 * ry2;
  const int64_t side = 2 * int64_t{rx} + 1;
  for (int64_t y = -ry; y <= ry; ++y) {
    for (int64_t x = -rx; x <= rx; ++x) {
      const double E = rx2 * static_cast<double>(y * y) + ry2 * static_cast<double>(x * x);
      int32_t w = 0;
      if (E <= F) {
        if (mode == 1) {
          w = value;
        } else if (F > 0.0) {
          const float q = static_cast<float>((F - E) / F);
          w = static_cast<int32_t>(q * static_cast<float>(value) + 0.5f);
        }
      }
      footprint[(y + ry) * side + (x + rx)] = static_cast<int16_t>(w);
    }
  }
}

void X_Brush_Msk(float originX, float originY, float zoomX, float zoomY, int32_t width,
                 int32_t height, int16_t* mask, const int16_t* footprint, int32_t centreX,
                 int32_t centreY, int32_t radius, int16_t brushMode) {
  if (mask == nullptr || footprint == nullptr || width <= 0 || height < 0) return;
  if (!(zoomX > 0.0f) || !(zoomY > 0.0f) || radius < 0) return;
  const float r = static_cast<float>(radius);
  const float fx = r / zoomX, fy = r / zoomY;
  const float fl = (static_cast<float>(centreX) - r) / zoomX;
  const float ft = (static_cast<float>(centreY) - r) / zoomY;
  // A vanishing zoom or an origin beyond any mask stamps nothing rather than convert an
  // out-of-range float.
  if (!Fits(fx) || !Fits(fy) || !Fits(fl) || !Fits(ft) || !Fits(originX) || !Fits(originY))
    return;
  const int32_t rx = Round(fx);
  const int32_t ry = Round(fy);
  const int32_t left = Round(fl);
  const int32_t top = Round(ft);
  const int64_t side = 2 * int64_t{rx} + 1;
  const int32_t target = brushMode == 1 ? 0 : kMaskFull;
  for (int64_t j = 0; j <= 2 * int64_t{ry}; ++j) {
    const auto row = static_cast<int64_t>(originY + static_cast<float>(top + j));
    // Row `height` is the mask's spare row; below it is no mask.
    if (row < 0 || row > height) continue;
    for (int64_t i = 0; i < side; ++i) {
      const auto col = static_cast<int64_t>(originX + static_cast<float>(left + i));
      if (col < 0 || col >= width) continue;
      const int32_t m = footprint[j * side + i];
      int16_t& s = mask[row * width + col];
      const auto v = static_cast<int16_t>(((4096 - m) * s + m * target) >> 12);
      s = std::clamp<int16_t>(v, 0, kMaskFull);
    }
  }
}

void X_Invert_Msk(int32_t width, int32_t height, int16_t* mask) {
  if (mask == nullptr) return;
  const int64_t n = Samples(width, height);
  for (int64_t i = 0; i < n; ++i) mask[i] = static_cast<int16_t>(kMaskFull - mask[i]);
}

void X_Color_Msk(int32_t width, int32_t height, int16_t* mask, int16_t value) {
  if (mask == nullptr) return;
  std::fill(mask, mask + Samples(width, height), value);
}
