// Channel k of a 32-bit pixel: byte k of the pixel in memory order, as the
// long buffers define their channels whatever the host's byte order.
#pragma once

#include <cstdint>
#include <cstring>

inline uint8_t PixelByte(uint32_t px, int32_t k) {
  uint8_t b[4];
  std::memcpy(b, &px, 4);
  return b[k];
}
