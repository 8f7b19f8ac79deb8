// The frame that the per-channel filter drivers share: sample access to
// byte k of 32-bit pixels or to row-held planes, and a run that filters
// every channel into its own plane before the first result is written, so
// that a failing filter leaves the image as it was.
#pragma once

#include <cstdint>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/types/plane_view.h"
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

// Clips the rectangle to the image, takes one width x height plane per
// channel and fills it with the whole channel (so filters reading past the
// rectangle see the image, not stale memory); filter(k, plane, rect) turns
// it into the channel's result inside the clipped rectangle (0, or nonzero
// to give up); then write(k, x, y, value) is called for every sample of the
// rectangle. 0, or -1 when memory is short, a filter failed or the work was
// cancelled (nothing written).
template <typename Pixels, typename FilterFn, typename WriteFn>
int32_t RunChannels(int32_t width, int32_t height, const Pixels& px, int channels,
                    plat::ExclusiveRect rect, FilterFn filter, WriteFn write) {
  if (width <= 0 || height <= 0) return -1;
  if (!rect.ClipTo(width, height)) return 0;
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> planes(size * channels, WorkSource());
  if (!planes) return -1;
  // Both copies touch each sample alone (the write functions of the drivers
  // read and write only the sample they are given), so their rows run in
  // bands on the shared threads.
  constexpr int32_t kBand = 16;
  for (int k = 0; k < channels; ++k) {
    const auto p = plat::PlaneView<unsigned char>::Packed(planes.get() + size * k, width, height);
    plat::ParallelFor(0, height, kBand, [&](int32_t y0, int32_t y1) {
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = 0; x < width; ++x) p.At(x, y) = px.In(k, x, y);
    });
    // Stopped work writes nothing, as a failed filter.
    if (filter(k, p, rect) != 0 || plat::Cancelled()) return -1;
  }
  const unsigned char* base = planes.get();
  plat::ParallelFor(rect.top, rect.bottom, kBand, [&](int32_t y0, int32_t y1) {
    for (int k = 0; k < channels; ++k) {
      const unsigned char* p = base + size * k;
      for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = rect.left; x < rect.right; ++x)
          write(k, x, y, p[static_cast<int64_t>(y) * width + x]);
    }
  });
  return 0;
}
