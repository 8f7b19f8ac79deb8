#include "dialogs/frame/zoom_pan.h"

#include <algorithm>

namespace {
constexpr int32_t kWhole = 100000;
}  // namespace

void FillZoomTable(int32_t* table, int32_t minimum, int32_t* minIndex, int32_t* midIndex,
                   int32_t* maxIndex) {
  if (minimum <= 9999) {
    for (int32_t k = 0; k <= 16; ++k) table[k] = minimum + k * (10000 - minimum) / 16;
    for (int32_t k = 16; k <= 32; ++k) table[k] = 10000 + (k - 16) * 4375;
  } else {
    for (int32_t k = 0; k <= 32; ++k) table[k] = 10000 + k * 70000 / 32;
  }
  *minIndex = 0;
  *midIndex = 16;
  *maxIndex = 32;
}

int32_t ZoomSliderPosition(const int32_t* table, int32_t minIndex, int32_t midIndex,
                           int32_t maxIndex, int32_t z) {
  const int32_t lo = table[minIndex];
  const int32_t mid = table[midIndex];
  const int32_t hi = table[maxIndex];
  if (z <= 9999) return mid != lo ? (z - lo) * 100 / (mid - lo) : 0;
  return 100 + (hi != mid ? (z - mid) * 100 / (hi - mid) : 0);
}

int32_t ZoomAtSliderPosition(const int32_t* table, int32_t minIndex, int32_t midIndex,
                             int32_t maxIndex, int16_t p) {
  const int32_t lo = table[minIndex];
  const int32_t mid = table[midIndex];
  const int32_t hi = table[maxIndex];
  return p <= 99 ? lo + (mid - lo) * p / 100 : mid + (hi - mid) * (p - 100) / 100;
}

int32_t ZoomIndexAbove(const int32_t* table, int32_t minIndex, int32_t maxIndex, int32_t z,
                       int32_t current) {
  for (int32_t k = minIndex; k <= maxIndex; ++k)
    if (table[k] > z) return k;
  return current;
}

void CentrePanOnZoom(int32_t* pan, float fit, int32_t zoom) {
  const int32_t cx = (pan[0] + pan[2]) / 2;
  const int32_t cy = (pan[1] + pan[3]) / 2;
  const int64_t side = static_cast<int64_t>(fit * 100000.0f + 0.5f);
  const auto h = static_cast<int32_t>(side * 10000 / std::max(zoom, 1) / 2);
  pan[0] = std::max(cx - h, 0);
  pan[1] = std::max(cy - h, 0);
  pan[2] = std::min(cx + h, kWhole);
  pan[3] = std::min(cy + h, kWhole);
}

int32_t ZoomOfPanWidth(int32_t width, float fit) {
  if (width <= 0) return 1;
  const int64_t side = static_cast<int64_t>(fit * 100000.0f + 0.5f);
  return static_cast<int32_t>(std::max<int64_t>((side * 10000 + width / 2) / width, 1));
}
