// Building and reading 32-bit pixels byte by byte, in memory order.
#pragma once

#include <cstdint>
#include <cstring>

namespace vmktest {

inline uint32_t Px(int b0, int b1, int b2, int b3) {
  const unsigned char b[4] = {static_cast<unsigned char>(b0), static_cast<unsigned char>(b1),
                              static_cast<unsigned char>(b2), static_cast<unsigned char>(b3)};
  uint32_t p;
  std::memcpy(&p, b, 4);
  return p;
}

inline int PxByte(uint32_t p, int k) {
  unsigned char b[4];
  std::memcpy(b, &p, 4);
  return b[k];
}

}  // namespace vmktest
