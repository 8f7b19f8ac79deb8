// The frame that the per-channel filter drivers share: sample access to
// byte k of 32-bit pixels or to row-held planes, and a run that filters
// every channel into its own plane before the first result is written, so
// that a failing filter leaves the image as it was.
#pragma once

#include <cstdint>

#include "platform/memory/memory.h"
#include "raster/plane_rect.h"
#include "raster/row_planes.h"

// Byte k of 32-bit pixels, source and destination apart.
struct LongPixels {
  const unsigned char* src;
  unsigned char* dst;
  int32_t width;
  // The pixels of src and dst seen as bytes.
  static LongPixels Of(const uint32_t* src, uint32_t* dst, int32_t width) {
    return {reinterpret_cast<const unsigned char*>(src), reinterpret_cast<unsigned char*>(dst),
            width};
  }
  unsigned char In(int k, int32_t x, int32_t y) const {
    return src[(static_cast<int64_t>(y) * width + x) * 4 + k];
  }
  unsigned char Out(int k, int32_t x, int32_t y) const {
    return dst[(static_cast<int64_t>(y) * width + x) * 4 + k];
  }
  void Put(int k, int32_t x, int32_t y, unsigned char v) const {
    dst[(static_cast<int64_t>(y) * width + x) * 4 + k] = v;
  }
};

// Row-held 8-bit planes, rewritten in place.
struct RowPixels {
  RowPlanes planes;
  unsigned char In(int k, int32_t x, int32_t y) const { return RowOf(planes, k, y)[x]; }
  unsigned char Out(int k, int32_t x, int32_t y) const { return RowOf(planes, k, y)[x]; }
  void Put(int k, int32_t x, int32_t y, unsigned char v) const { RowOf(planes, k, y)[x] = v; }
};

// Clips the rectangle (right and bottom exclusive) to the image, takes one
// width x height plane per channel and fills it with the whole channel (so
// filters reading past the rectangle see the image, not stale memory);
// filter(k, plane, left, top, right, bottom) turns it into the channel's
// result inside the rectangle (0, or nonzero to give up); then
// write(k, x, y, value) is called for every sample of the rectangle.
// 0, or -1 when memory is short or a filter failed (nothing written).
template <typename Pixels, typename FilterFn, typename WriteFn>
int32_t RunChannels(int32_t width, int32_t height, const Pixels& px, int channels, int32_t left,
                    int32_t top, int32_t right, int32_t bottom, FilterFn filter, WriteFn write) {
  if (width <= 0 || height <= 0) return -1;
  if (!ClipExclusiveRect(width, height, left, top, right, bottom)) return 0;
  const int64_t size = static_cast<int64_t>(width) * height;
  unsigned char* planes = reinterpret_cast<unsigned char*>(plat::NewPtr(size * channels));
  if (planes == nullptr) return -1;
  for (int k = 0; k < channels; ++k) {
    unsigned char* p = planes + size * k;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) p[static_cast<int64_t>(y) * width + x] = px.In(k, x, y);
    if (filter(k, p, left, top, right, bottom) != 0) {
      plat::DisposePtr(planes);
      return -1;
    }
  }
  for (int k = 0; k < channels; ++k) {
    const unsigned char* p = planes + size * k;
    for (int32_t y = top; y < bottom; ++y)
      for (int32_t x = left; x < right; ++x) write(k, x, y, p[static_cast<int64_t>(y) * width + x]);
  }
  plat::DisposePtr(planes);
  return 0;
}
