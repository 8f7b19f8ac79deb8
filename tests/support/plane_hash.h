// The 32-bit FNV-1a of a plane's samples, in the order they lie: the engine tests' kept
// pictures; a running hash carries on from the value of the planes before it.
#pragma once

#include <cstdint>
#include <vector>

namespace vmktest {

inline uint32_t Fnv(const std::vector<uint8_t>& plane, uint32_t h = 2166136261u) {
  for (uint8_t v : plane) h = (h ^ v) * 16777619u;
  return h;
}

}  // namespace vmktest
