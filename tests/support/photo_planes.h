// Photo-like planes for the tests that check an operation keeps a picture's brightness.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/noise_plane.h"

namespace vmktest {

// Broad gradients, soft shapes, hard-edged patches and grain, clamped as a photo's are;
// `samples` interleaved samples a pixel. The grain is a uniform noise of its own in every
// sample, `grainGain` times its distance from the middle (127.5): ±44.6 levels at the 0.35 most
// tests take, none at 0, the same picture underneath whatever its grain.
inline std::vector<unsigned char> PhotoLike(int w, int h, int samples = 1, double grainGain = 0.35) {
  std::vector<unsigned char> p(static_cast<size_t>(w) * h * samples);
  const std::vector<unsigned char> grain = Noise(p.size(), 62);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < samples; ++c) {
        const size_t i = (static_cast<size_t>(y) * w + x) * samples + c;
        const double v = 25.0 + 140.0 * x / w + 40.0 * y / h + 12.0 * c +
                         35.0 * std::sin(x * 0.013 + y * 0.021) * std::cos(y * 0.008 - c) +
                         ((x / 97 + y / 61) % 5 == 0 ? 45.0 : 0.0) + (grain[i] - 127.5) * grainGain;
        p[i] = static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
      }
  return p;
}

// Texture without a trend: waves, patches a few tens of pixels across and a photograph's grain
// (a few levels), every wave and patch a whole number of times across each row and down each
// column of a plane whose width is a multiple of 200 and height a multiple of 400, so that
// every row and every column has the picture's mean (up to the grain). An operation that
// carries one part of a picture far across it (a long streak that drags the up-wind pixels
// down-wind) keeps such a picture's mean when it keeps brightness, whichever way it goes.
inline std::vector<unsigned char> EvenTexture(int w, int h) {
  std::vector<unsigned char> p(static_cast<size_t>(w) * h);
  const std::vector<unsigned char> grain = Noise(p.size(), 63);
  constexpr double kTurn = 6.283185307179586;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      const double v = 112.0 + 28.0 * std::sin(kTurn * (x / 50.0 + y / 40.0)) +
                       18.0 * std::sin(kTurn * (x / 200.0 - y / 100.0)) * std::cos(kTurn * x / 25.0) +
                       ((x / 20 + y / 20) % 5 == 0 ? 50.0 : 0.0) -
                       ((x / 25 + y / 20) % 4 == 0 ? 30.0 : 0.0) + (grain[i] - 127.5) * 0.1;
      p[i] = static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
    }
  return p;
}

inline double Mean(const std::vector<unsigned char>& p) {
  double sum = 0.0;
  for (const unsigned char v : p) sum += v;
  return sum / static_cast<double>(p.size());
}

inline std::vector<unsigned char> Negative(std::vector<unsigned char> p) {
  for (unsigned char& v : p) v = static_cast<unsigned char>(255 - v);
  return p;
}

}  // namespace vmktest
