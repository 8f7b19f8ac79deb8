// What the dialog benchmarks share: the 6000 x 4000 photo the previews read
// through the session's spans, made once for the whole program, and the
// timing helpers they report with.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/ApePlugInUtilities/pixel_buffer.h"

namespace benchphoto {

using Clock = std::chrono::steady_clock;

constexpr int32_t kW = 6000;
constexpr int32_t kH = 4000;
constexpr int32_t kView = 500;

inline double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

inline double P95(const std::vector<double>& v) {
  std::vector<double> s = v;
  std::sort(s.begin(), s.end());
  return s.empty() ? 0.0 : s[std::min(s.size() - 1, s.size() * 95 / 100)];
}

// The photo, read by the engines and previews through the session's spans.
struct Photo {
  PixelBuffer photo{kW, kH, 1, 4};
  PixelBuffer unused;
  FilterRecord record;
  Photo() {
    for (uint32_t y = 0; y < kH; ++y) {
      uint8_t* p = photo.rowPtr(y);
      for (uint32_t x = 0; x < kW; ++x, p += 4) {
        p[0] = static_cast<uint8_t>(x * 5 + ((x * y) & 31));
        p[1] = static_cast<uint8_t>(y * 3 + (x & 15));
        p[2] = static_cast<uint8_t>((x ^ y) * 7);
        p[3] = 255;
      }
    }
    record.planeCount = 3;
    record.imageMode = 3;
    record.imageWidth = kW;
    record.imageHeight = kH;
    record.imageRect = Rect{0, 0, static_cast<int16_t>(kH), static_cast<int16_t>(kW)};
    record.inLastPlane = 2;
  }
  void Use() {
    gFilterRecord = &record;
    SetSessionSpanImages(&photo, &unused);
  }
};

inline Photo& ThePhoto() {
  static Photo photo;
  return photo;
}

}  // namespace benchphoto
