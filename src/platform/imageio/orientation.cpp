// Turning a stored grid upright by its orientation, for whoever makes the
// editable version of a file: the readers themselves never turn anything.
#include <cstring>
#include <new>

#include "platform/imageio/image_io.h"

namespace plat::imageio {
namespace {

// Where the upright pixel (x, y) lies in the stored grid of w x h.
void StoredPlace(int orientation, uint32_t w, uint32_t h, uint32_t x, uint32_t y, uint32_t* sx,
                 uint32_t* sy) {
  switch (orientation) {
    case 2: *sx = w - 1 - x; *sy = y; break;
    case 3: *sx = w - 1 - x; *sy = h - 1 - y; break;
    case 4: *sx = x; *sy = h - 1 - y; break;
    case 5: *sx = y; *sy = x; break;
    case 6: *sx = y; *sy = h - 1 - x; break;
    case 7: *sx = w - 1 - y; *sy = h - 1 - x; break;
    case 8: *sx = w - 1 - y; *sy = x; break;
    default: *sx = x; *sy = y; break;
  }
}

}  // namespace

int OrientPixels(const PixelSource& stored, int orientation, std::vector<uint8_t>* upright,
                 uint32_t* width, uint32_t* height) {
  const int b = stored.bytesPerComponent;
  if (upright == nullptr || stored.base == nullptr || (b != 1 && b != 2 && b != 4) ||
      stored.width == 0 || stored.height == 0 ||
      stored.rowBytes < static_cast<size_t>(stored.width) * 4u * static_cast<size_t>(b))
    return kErrArgument;
  const bool swap = orientation >= 5 && orientation <= 8;
  const uint32_t w = swap ? stored.height : stored.width;
  const uint32_t h = swap ? stored.width : stored.height;
  const size_t pixelBytes = 4u * static_cast<size_t>(b);
  try {
    upright->resize(static_cast<size_t>(w) * h * pixelBytes);
  } catch (const std::bad_alloc&) {
    return kErrNoMemory;
  }
  uint8_t* d = upright->data();
  for (uint32_t y = 0; y < h; ++y) {
    for (uint32_t x = 0; x < w; ++x, d += pixelBytes) {
      uint32_t sx = 0, sy = 0;
      StoredPlace(orientation, stored.width, stored.height, x, y, &sx, &sy);
      std::memcpy(d, stored.base + static_cast<size_t>(sy) * stored.rowBytes + sx * pixelBytes,
                  pixelBytes);
    }
  }
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  return kOk;
}

}  // namespace plat::imageio
