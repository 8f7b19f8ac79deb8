// Sharpen and median of a char plane, optionally kept off the edges: with
// an edge radius the filtered copy is mixed back only where the edge map
// (through a contrast table) says there is no edge.
#include <cstdint>
#include <cstring>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/plane_rect.h"

namespace {

// Sharpens the whole plane `passes` times with the kernel of step `amount`.
// -1 when a pass cannot get its work rows.
int32_t SharpenWhole(int32_t width, int32_t height, unsigned char* plane, int32_t percent,
                     int32_t passes, int32_t amount) {
  // An amount of 0 selects no kernel: the identity keeps the plane as it is.
  int32_t kernel[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  int16_t divisor = 1;
  Load_matrix(2, static_cast<int16_t>(amount), kernel, &divisor);
  // Held inside 32 bits: a percentage far past 100 must not wrap the weight.
  const float w = static_cast<float>(percent) * 40.96f + 0.5f;
  const int32_t weight = w >= 2147483520.0f    ? INT32_MAX
                         : w <= -2147483648.0f ? INT32_MIN
                                               : static_cast<int32_t>(w);
  for (int32_t p = 0; p < passes; ++p) {
    if (X_Mat_Chbuf(width, height, plane, 0, 0, width - 1, height - 1, 0, divisor, kernel,
                    weight) != 0) {
      return -1;
    }
  }
  return 0;
}

int32_t MedianWhole(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                    int32_t top, int32_t right, int32_t bottom, int32_t passes) {
  for (int32_t p = 0; p < passes; ++p) {
    if (X_median_buf(width, height, plane, left, top, right, bottom, 0) != 0) return -1;
  }
  return 0;
}

// Mixes `filtered` into the rectangle of `plane` where the edge copy shows
// no edge. Returns -1 when the copies, the edge map or the filtered copy
// cannot be had (plane unchanged).
template <typename Filter>
int32_t EdgeProtected(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                      int32_t top, int32_t right, int32_t bottom, int32_t edgeRadius,
                      Filter filter) {
  const int64_t size = static_cast<int64_t>(width) * height;
  const plat::Block<unsigned char> edgeBlock(size, WorkSource());
  const plat::Block<unsigned char> filteredBlock(size, WorkSource());
  if (!edgeBlock || !filteredBlock) return -1;
  unsigned char* edges = edgeBlock.get();
  unsigned char* filtered = filteredBlock.get();
  std::memcpy(edges, plane, size);
  std::memcpy(filtered, plane, size);
  // Without its edge map the mix would weigh the filtered copy by the
  // plane's own samples: nothing is changed instead and the caller hears of it.
  if (X_FindEdge(edges, nullptr, height, width, 0, 0, width - 1, height - 1, 255, edgeRadius, -64,
                 0) != 0) {
    return -1;
  }
  int32_t table[256];
  X_lutcontrast(table, 40);
  if (filter(filtered) != 0) return -1;
  ClipInclusiveRect(width, height, left, top, right, bottom);
  for (int32_t y = top; y <= bottom; ++y) {
    for (int32_t x = left; x <= right; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t k = table[edges[i]] * 100 / 255;
      plane[i] = static_cast<unsigned char>((k * plane[i] + (100 - k) * filtered[i]) / 100);
    }
  }
  return 0;
}

}  // namespace

int32_t X_sharp_buffer(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                       int32_t top, int32_t right, int32_t bottom, int32_t percent,
                       int32_t passes, int32_t amount, int32_t edgeRadius) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (edgeRadius == 0) return SharpenWhole(width, height, plane, percent, passes, amount);
  return EdgeProtected(width, height, plane, left, top, right, bottom, edgeRadius,
                       [&](unsigned char* copy) {
                         return SharpenWhole(width, height, copy, percent, passes, amount);
                       });
}

int32_t X_medianedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                        int32_t top, int32_t right, int32_t bottom, int32_t passes,
                        int32_t edgeRadius) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (edgeRadius == 0) return MedianWhole(width, height, plane, left, top, right, bottom, passes);
  return EdgeProtected(width, height, plane, left, top, right, bottom, edgeRadius,
                       [&](unsigned char* copy) {
                         return MedianWhole(width, height, copy, 0, 0, width - 1, height - 1,
                                            passes);
                       });
}
