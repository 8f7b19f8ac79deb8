// Pictures compared as the live check compares a preview with what OK wrote: the render scaled
// down by area means, then each channel's 8 x 8 block medians set side by side.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vmktest {

// Top-down RGB, three bytes a pixel.
struct Picture {
  int32_t w = 0, h = 0;
  std::vector<uint8_t> rgb;
  uint8_t at(int32_t x, int32_t y, int c) const { return rgb[(static_cast<size_t>(y) * w + x) * 3 + c]; }
};

// The picture scaled to w x h by the mean of the pixels each target pixel covers, rounded, as
// the live check scales the written version.
inline Picture ScaledTo(const Picture& big, int32_t w, int32_t h) {
  Picture out{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  const double sx = static_cast<double>(big.w) / w, sy = static_cast<double>(big.h) / h;
  // Each target column's share of the source columns, worked out once; each target row's
  // sums gathered a source row at a time, along the bytes as they lie.
  std::vector<int32_t> first(static_cast<size_t>(w)), end(static_cast<size_t>(w));
  for (int32_t x = 0; x < w; ++x) {
    const auto x0 = static_cast<int32_t>(x * sx);
    first[static_cast<size_t>(x)] = x0;
    end[static_cast<size_t>(x)] = std::max(x0 + 1, std::min(big.w, static_cast<int32_t>((x + 1) * sx)));
  }
  std::vector<uint64_t> sums(static_cast<size_t>(w) * 3);
  for (int32_t y = 0; y < h; ++y) {
    const auto y0 = static_cast<int32_t>(y * sy);
    const int32_t y1 = std::max(y0 + 1, std::min(big.h, static_cast<int32_t>((y + 1) * sy)));
    std::fill(sums.begin(), sums.end(), 0);
    for (int32_t v = y0; v < y1; ++v) {
      const uint8_t* row = big.rgb.data() + static_cast<size_t>(v) * big.w * 3;
      for (int32_t x = 0; x < w; ++x) {
        uint64_t* sum = sums.data() + static_cast<size_t>(x) * 3;
        for (int32_t u = first[static_cast<size_t>(x)]; u < end[static_cast<size_t>(x)]; ++u)
          for (int c = 0; c < 3; ++c) sum[c] += row[static_cast<size_t>(u) * 3 + c];
      }
    }
    for (int32_t x = 0; x < w; ++x) {
      const auto n = static_cast<uint64_t>((y1 - y0) * (end[static_cast<size_t>(x)] - first[static_cast<size_t>(x)]));
      for (int c = 0; c < 3; ++c)
        out.rgb[(static_cast<size_t>(y) * w + x) * 3 + c] =
            static_cast<uint8_t>((sums[static_cast<size_t>(x) * 3 + c] + n / 2) / n);
    }
  }
  return out;
}

// Each channel's median over blocks of 8 x 8 pixels (the last ones smaller).
inline std::vector<double> BlockMedians(const Picture& p) {
  constexpr int32_t b = 8;
  const int32_t bw = (p.w + b - 1) / b, bh = (p.h + b - 1) / b;
  std::vector<double> out;
  std::vector<int> values;
  for (int32_t by = 0; by < bh; ++by)
    for (int32_t bx = 0; bx < bw; ++bx)
      for (int c = 0; c < 3; ++c) {
        values.clear();
        for (int32_t y = by * b; y < std::min(p.h, (by + 1) * b); ++y)
          for (int32_t x = bx * b; x < std::min(p.w, (bx + 1) * b); ++x) values.push_back(p.at(x, y, c));
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        out.push_back(n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]));
      }
  return out;
}

// The mean absolute difference of the two pictures' block medians; 255 when their sizes differ.
inline double MedianDifference(const Picture& a, const Picture& b) {
  const std::vector<double> ma = BlockMedians(a), mb = BlockMedians(b);
  if (ma.size() != mb.size() || ma.empty()) return 255.0;
  double total = 0.0;
  for (size_t i = 0; i < ma.size(); ++i) total += std::fabs(ma[i] - mb[i]);
  return total / static_cast<double>(ma.size());
}

}  // namespace vmktest
