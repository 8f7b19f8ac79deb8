// A photograph as a camera's small picture enlarged shows it: its detail (a wooden table's
// grain, a cup and saucer with hard rims, fur-like strokes and a sensor's grain, all drawn on a
// 600 x 400 picture) a few pixels across in a view, and soft at the picture's own pixels, as a
// camera's photograph is and the live check's (whose grain is sharp at every pixel) is not. At
// 6000 x 4000 a fitted preview shows it ten times as fine as OK renders it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vmktest {

// w x h pixels of four bytes (red, green, blue, 255), top row first.
inline std::vector<uint8_t> EnlargedPhotograph(int32_t w, int32_t h) {
  std::vector<uint8_t> photo(static_cast<size_t>(w) * h * 4);
  constexpr int32_t bw = 600, bh = 400;
  std::vector<double> base(static_cast<size_t>(bw) * bh * 3);
  auto lattice = [](int32_t i, int32_t j, uint32_t seed) {
    uint32_t v = static_cast<uint32_t>(i) * 73856093u ^ static_cast<uint32_t>(j) * 19349663u ^
                 seed * 83492791u;
    v ^= v >> 13;
    v *= 0x5bd1e995u;
    v ^= v >> 15;
    return static_cast<double>(v & 0xFFFF) / 65535.0 - 0.5;
  };
  // Smooth value noise: a lattice of random levels every `cell` pixels, eased between.
  auto smooth = [&](double x, double y, double cell, uint32_t seed) {
    const double fx = x / cell, fy = y / cell;
    const auto i = static_cast<int32_t>(std::floor(fx)), j = static_cast<int32_t>(std::floor(fy));
    const double u = fx - i, v = fy - j;
    const double su = u * u * (3 - 2 * u), sv = v * v * (3 - 2 * v);
    return (lattice(i, j, seed) * (1 - su) + lattice(i + 1, j, seed) * su) * (1 - sv) +
           (lattice(i, j + 1, seed) * (1 - su) + lattice(i + 1, j + 1, seed) * su) * sv;
  };
  uint32_t grain = 20261209u;
  for (int32_t y = 0; y < bh; ++y)
    for (int32_t x = 0; x < bw; ++x) {
      const double fx = static_cast<double>(x) / bw, fy = static_cast<double>(y) / bh;
      // The table's grain runs along the rows, dark lines a few pixels apart bending slowly.
      const double bend = 14.0 * smooth(x, y, 90.0, 1) + 5.0 * smooth(x, y, 25.0, 2);
      const double line = std::pow(0.5 + 0.5 * std::sin((y + bend) * 1.1), 4.0);
      double band = 0.0;
      for (int k = 0; k < 5; ++k) band += 22.0 * smooth(x / 4.0, y, 2.0 * (1 << k), 10 + k);
      const double light = 70.0 * (1.0 - fx) * (1.0 - 0.5 * fy);
      double r = 125 + light + band - 55 * line, g = 65 + 0.6 * light + 0.7 * band - 35 * line,
             b = 35 + 0.3 * light + 0.4 * band - 20 * line;
      // The saucer (a deep red glaze) and the cup (white, coffee inside, a highlight).
      const double dx = (fx - 0.45) * bw, dy = (fy - 0.5) * bh;
      const double saucer = dx * dx / (230.0 * 230.0) + dy * dy / (150.0 * 150.0);
      const double cup = dx * dx / (120.0 * 120.0) + (dy + 30) * (dy + 30) / (90.0 * 90.0);
      if (saucer < 1.0) {
        const double shade = 1.0 - 0.4 * saucer + 0.1 * smooth(x, y, 12.0, 5);
        r = 175 * shade, g = 45 * shade, b = 28 * shade;
      }
      if (cup < 1.0) {
        r = 238 - 50 * cup, g = 234 - 50 * cup, b = 226 - 55 * cup;
        if (cup < 0.7)
          r = 150 + 60 * smooth(x, y, 9.0, 6), g = 95 + 35 * smooth(x, y, 9.0, 7), b = 45;
        const double hx = dx + 50, hy = dy + 70;
        if (hx * hx + hy * hy < 12.0 * 12.0) r = g = b = 252;
      }
      // Fur to the right: short strokes of light and dark a pixel or two wide.
      if (fx > 0.85) {
        const double stroke = std::sin(x * 1.7 + 3.0 * smooth(x, y, 6.0, 8) + y * 0.4);
        r = 190 + 45 * stroke + 30 * smooth(x, y, 20.0, 9), g = 150 + 40 * stroke,
        b = 100 + 30 * stroke;
      }
      grain = grain * 1664525u + 1013904223u;
      const double n = static_cast<double>(grain >> 28) - 7.5;
      double* p = &base[(static_cast<size_t>(y) * bw + x) * 3];
      p[0] = r + n, p[1] = g + n, p[2] = b + n;
    }
  // Enlarged with Catmull-Rom cubics, as an editor enlarges a picture: along the rows, then
  // down the columns.
  struct Taps {
    int32_t at[4];
    double weight[4];
  };
  auto taps = [](int32_t to, int32_t from, int32_t size) {
    const double s = (to + 0.5) * from / size - 0.5;
    const auto i = static_cast<int32_t>(std::floor(s));
    const double t = s - i, t2 = t * t, t3 = t2 * t;
    Taps r{{},
           {0.5 * (-t + 2 * t2 - t3), 0.5 * (2 - 5 * t2 + 3 * t3), 0.5 * (t + 4 * t2 - 3 * t3),
            0.5 * (t3 - t2)}};
    for (int m = 0; m < 4; ++m) r.at[m] = std::clamp(i - 1 + m, 0, from - 1);
    return r;
  };
  std::vector<Taps> across(static_cast<size_t>(w));
  for (int32_t x = 0; x < w; ++x) across[x] = taps(x, bw, w);
  std::vector<float> rows(static_cast<size_t>(bh) * w * 3);
  for (int32_t y = 0; y < bh; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) {
        double v = 0.0;
        for (int m = 0; m < 4; ++m)
          v += across[x].weight[m] * base[(static_cast<size_t>(y) * bw + across[x].at[m]) * 3 + k];
        rows[(static_cast<size_t>(y) * w + x) * 3 + k] = static_cast<float>(v);
      }
  for (int32_t y = 0; y < h; ++y) {
    const Taps down = taps(y, bh, h);
    uint8_t* row = photo.data() + static_cast<size_t>(y) * w * 4;
    for (int32_t x = 0; x < w; ++x) {
      for (int k = 0; k < 3; ++k) {
        double v = 0.0;
        for (int m = 0; m < 4; ++m)
          v += down.weight[m] * rows[(static_cast<size_t>(down.at[m]) * w + x) * 3 + k];
        row[4 * x + k] = static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
      }
      row[4 * x + 3] = 255;
    }
  }
  return photo;
}

}  // namespace vmktest
