// Memoised per-sample blends. A blend of two bytes by one mode has 65536
// possible results; filters that blend every sample of a picture by one
// mode look them up here instead of calling the blend kernel per sample.
// Rows are filled from the kernel itself the first time they are asked
// for, so the results are the kernel's own.
#pragma once

#include <cstdint>

#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"
#include "platform/parallel/parallel.h"
#include "raster/blend_filters.h"

// Kernel: void(unsigned char* out, int32_t a, int32_t b), writing the blend
// of base a with blend value b (or nothing, which keeps a).
template <typename Kernel>
class BlendRows {
 public:
  explicit BlendRows(Kernel kernel) : kernel_(kernel) {}
  BlendRows(const BlendRows&) = delete;
  BlendRows& operator=(const BlendRows&) = delete;

  // Row b: entry a is the blend of base a with blend value b (0..255).
  const unsigned char* Row(int32_t b) {
    unsigned char* row = table_[b];
    if (!filled_[b]) {
      for (int32_t a = 0; a < 256; ++a) {
        row[a] = static_cast<unsigned char>(a);
        kernel_(&row[a], a, b);
      }
      filled_[b] = true;
    }
    return row;
  }

 private:
  Kernel kernel_;
  bool filled_[256] = {};
  unsigned char table_[256][256];
};

// The raster blend modes 1..9 (X_optionBlend) and the shared blend modes
// 1..12 (X_optionRPart).
inline auto RasterBlend(int16_t mode) {
  return BlendRows([mode](unsigned char* out, int32_t a, int32_t b) { X_optionBlend(out, mode, a, b); });
}
inline auto SharedBlend(uint32_t mode) {
  return BlendRows([mode](unsigned char* out, int32_t a, int32_t b) { X_optionRPart(out, mode, a, b); });
}

// Blends value(i, p) into every sample p (index i) of the inclusive
// rectangle through the shared blend `mode` (1..12), weighted by opacity
// (held to 0..255) and, where there is one, by the mask at the same index.
template <typename ValueFn>
void BlendIntoRect(unsigned char* plane, const unsigned char* mask, int32_t width, int32_t left,
                   int32_t top, int32_t right, int32_t bottom, uint32_t mode, int32_t opacity,
                   ValueFn value) {
  const int32_t op = ClampInt(opacity, 0, 255);
  // A mode without a blend keeps the sample.
  auto blend = SharedBlend(mode);
  auto rows = [&](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      for (int32_t x = left; x <= right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const int32_t p = plane[i];
        const int32_t m = mask != nullptr ? mask[i] * op / 255 : op;
        const int32_t t = blend.Row(value(i, p))[p];
        plane[i] = static_cast<unsigned char>((m * t + (255 - m) * p) / 255);
      }
    }
  };
  // The shared threads need the whole table filled first (65536 blend
  // calls), after which their bands only read it (the value functions read
  // alone); a rectangle smaller than that runs on this thread.
  const int64_t area = int64_t{right - left + 1} * (bottom - top + 1);
  if (area < (int64_t{1} << 16)) {
    rows(top, bottom + 1);
    return;
  }
  for (int32_t b = 0; b < 256; ++b) blend.Row(b);
  plat::ParallelFor(top, bottom + 1, 16, [&](int32_t y0, int32_t y1) { rows(y0, y1); });
}
