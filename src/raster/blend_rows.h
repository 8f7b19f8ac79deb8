// Memoised per-sample blends. A blend of two bytes by one mode has 65536
// possible results; filters that blend every sample of a picture by one
// mode look them up here instead of calling the blend kernel per sample.
// Rows are filled from the kernel itself the first time they are asked
// for, so the results are the kernel's own.
#pragma once

#include <cstdint>

#include "app/colour_spaces.h"
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
