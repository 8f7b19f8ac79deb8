// A plane of pseudo-random bytes for tests that compare a fast form with a
// plain one: every seed gives the same bytes on every run and machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vmktest {

inline std::vector<unsigned char> Noise(size_t n, uint32_t seed) {
  std::vector<unsigned char> p(n);
  uint32_t v = seed * 2654435761u + 1;
  for (auto& b : p) {
    v = v * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(v >> 24);
  }
  return p;
}

}  // namespace vmktest
