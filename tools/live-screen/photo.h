// The live check's photograph: broad gradients (sky and light), hard edges of
// a few shapes, and a grain of small deterministic noise, the same on the
// three channels as a camera's luminance grain. live-screen writes it as the
// JPEG the host opens; tests render the effects on the same pixels.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace livescreen {

// w x h pixels of four bytes (red, green, blue, 255), top row first.
inline std::vector<uint8_t> PhotoPixels(uint32_t w, uint32_t h) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  uint32_t seed = 12345;
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* p = px.data() + static_cast<size_t>(y) * w * 4;
    const double fy = static_cast<double>(y) / h;
    for (uint32_t x = 0; x < w; ++x, p += 4) {
      const double fx = static_cast<double>(x) / w;
      double r = 70 + 150 * (1 - fy) + 30 * std::sin(fx * 6.0);
      double g = 90 + 110 * (1 - fy) * fx + 40 * fy;
      double b = 120 + 120 * (1 - fy) - 60 * fx * fy;
      // A sun, a hill and a stripe of posts: edges for the focus and the lens.
      const double dx = fx - 0.7, dy = fy - 0.25;
      if (dx * dx + dy * dy * 2.25 < 0.01) r = 250, g = 230, b = 150;
      if (fy > 0.65 + 0.08 * std::sin(fx * 9.0)) r *= 0.45, g = g * 0.7 + 40, b *= 0.4;
      if (fy > 0.5 && fy < 0.8 && static_cast<int>(fx * 40) % 5 == 0) r = g = b = 35;
      seed = seed * 1664525u + 1013904223u;
      const double grain = static_cast<double>((seed >> 24) & 31) - 15.5;
      p[0] = static_cast<uint8_t>(std::clamp(r + grain, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(g + grain, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(b + grain, 0.0, 255.0));
      p[3] = 255;
    }
  }
  return px;
}

}  // namespace livescreen
