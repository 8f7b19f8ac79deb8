// The wind written out plainly, for the tests that hold the fast walks to it: every pixel's
// draw taken as the walk reaches it, every step of its streak worked out and clamped as it
// goes. The rows go down below 180 degrees and up from there; each row goes from x0 to x1, or
// from x1 back to x0 when some streak a draw can give steps left.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "operations/effects.h"
#include "platform/random/random.h"

namespace vmktest {

// Whether some step of some streak lands left of its pixel: every step of every streak
// length 0 .. L - n r / 10 (n = 0 .. L) tried.
inline bool WindStepsLeft(int16_t length, int16_t angle, int16_t randomness) {
  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta));
  for (int32_t n = std::min<int32_t>(0, length); n <= std::max<int32_t>(0, length); ++n) {
    const int32_t streak = length - n * randomness / 10;
    for (int32_t k = 0; k < streak; ++k)
      if (static_cast<int32_t>(c * static_cast<float>(k)) < 0) return true;
  }
  return false;
}

// The wind over the region x0..x1, y0..y1 of a plane w wide, seeded with `seed`, each step's
// rounding offset within the length from offset(x, y, k, length).
template <typename Offset>
std::vector<unsigned char> LiteralWind(std::vector<unsigned char> plane, int32_t w, int32_t x0,
                                       int32_t y0, int32_t x1, int32_t y1, uint32_t seed,
                                       int16_t length, int16_t angle, int16_t randomness,
                                       int16_t opacity, Offset offset) {
  std::vector<unsigned char> work = plane;
  plat::SeedRandom(seed);
  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta)), sn = static_cast<float>(std::sin(theta));
  const bool leftward = WindStepsLeft(length, angle, randomness);
  for (int32_t n = 0; n <= y1 - y0; ++n) {
    const int32_t y = angle < 180 ? y0 + n : y1 - n;
    for (int32_t m = 0; m <= x1 - x0; ++m) {
      const int32_t x = leftward ? x1 - m : x0 + m;
      const int32_t v = work[static_cast<size_t>(y) * w + x];
      const int32_t cut =
          static_cast<int32_t>(std::floor(length * (plat::Random() / 2147483647.0)));
      const int32_t streak = length - cut * randomness / 10;
      for (int32_t k = 0; k < streak; ++k) {
        const int32_t tx = std::clamp(x + static_cast<int32_t>(c * static_cast<float>(k)), x0, x1);
        const int32_t ty = std::clamp(y + static_cast<int32_t>(sn * static_cast<float>(k)), y0, y1);
        unsigned char& t = work[static_cast<size_t>(ty) * w + tx];
        const int32_t wk = k / 4;
        const int32_t sum = v * wk + t * (length - wk);
        const int32_t o = wk <= length ? offset(x, y, k, length) : 0;
        t = static_cast<unsigned char>(std::clamp((sum + o) / length, 0, 255));
      }
      unsigned char& p = plane[static_cast<size_t>(y) * w + x];
      p = static_cast<unsigned char>(((255 - opacity) * p + opacity * v) / 255);
    }
  }
  return plane;
}

inline std::vector<unsigned char> LiteralWind(std::vector<unsigned char> plane, int32_t w,
                                              int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                              uint32_t seed, int16_t length, int16_t angle,
                                              int16_t randomness, int16_t opacity) {
  return LiteralWind(std::move(plane), w, x0, y0, x1, y1, seed, length, angle, randomness, opacity,
                     WindStreakOffset);
}

}  // namespace vmktest
