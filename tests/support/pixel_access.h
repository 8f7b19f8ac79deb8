// Reading one component of a pixel buffer in tests.
#pragma once

#include <cstdint>
#include <cstring>

#include "host/ApePlugInUtilities/pixel_buffer.h"

namespace vmktest {

// Component c (0..3) of pixel (x, y), of the buffer's component type T.
template <typename T>
T ComponentAt(const PixelBuffer& b, uint32_t x, uint32_t y, int c) {
  T v;
  std::memcpy(&v, b.rowPtr(y) + (x * 4 + static_cast<uint32_t>(c)) * sizeof(T), sizeof(T));
  return v;
}

}  // namespace vmktest
