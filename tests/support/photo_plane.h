// A textured, photo-like plane for the tests that a filter keeps a picture's brightness: broad
// gradients, soft shapes, hard-edged patches and grain, clamped as a photo's are; the same
// bytes on every run and machine.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "support/noise_plane.h"

namespace vmktest {

// w x h pixels of `samples` interleaved samples, each sample its own shade of the picture.
inline std::vector<unsigned char> PhotoLike(int w, int h, int samples = 1) {
  std::vector<unsigned char> p(static_cast<size_t>(w) * h * samples);
  const std::vector<unsigned char> grain = Noise(p.size(), 62);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < samples; ++c) {
        const size_t i = (static_cast<size_t>(y) * w + x) * samples + c;
        const double v = 25.0 + 140.0 * x / w + 40.0 * y / h + 12.0 * c +
                         35.0 * std::sin(x * 0.013 + y * 0.021) * std::cos(y * 0.008 - c) +
                         ((x / 97 + y / 61) % 5 == 0 ? 45.0 : 0.0) + (grain[i] - 127.5) * 0.35;
        p[i] = static_cast<unsigned char>(std::clamp(std::lround(v), 0L, 255L));
      }
  return p;
}

inline double Mean(const std::vector<unsigned char>& p) {
  double sum = 0.0;
  for (const unsigned char v : p) sum += v;
  return p.empty() ? 0.0 : sum / static_cast<double>(p.size());
}

inline std::vector<unsigned char> Negative(std::vector<unsigned char> p) {
  for (unsigned char& v : p) v = static_cast<unsigned char>(255 - v);
  return p;
}

}  // namespace vmktest
