// FNV-1a hashes of planes, for the engine tests' kept pictures.
#pragma once

#include <cstdint>
#include <vector>

namespace vmktest {

// 32 bits over one plane's samples in the order they lie; a running hash carries on from
// the value of the planes before it.
inline uint32_t Fnv(const std::vector<uint8_t>& plane, uint32_t h = 2166136261u) {
  for (uint8_t v : plane) h = (h ^ v) * 16777619u;
  return h;
}

// 64 bits over every plane, one after the other.
inline uint64_t PlanesHash(const std::vector<std::vector<uint8_t>>& planes) {
  uint64_t h = 1469598103934665603ull;
  for (const auto& p : planes)
    for (uint8_t b : p) h = (h ^ b) * 1099511628211ull;
  return h;
}

}  // namespace vmktest
