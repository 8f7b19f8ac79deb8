#include "dialogs/frame/zoom_pan.h"

#include <algorithm>
#include <cmath>

#include "views/view_geometry.h"

namespace {
constexpr int32_t kOneToOne = 10000;
int32_t AtLeastOne(int32_t v) { return v > 0 ? v : 1; }
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

int32_t FitScaleOf(int32_t viewWidth, int32_t viewHeight, int32_t imageWidth, int32_t imageHeight) {
  const float fx = std::min(static_cast<float>(viewWidth) / static_cast<float>(AtLeastOne(imageWidth)), 1.0f);
  const float fy = std::min(static_cast<float>(viewHeight) / static_cast<float>(AtLeastOne(imageHeight)), 1.0f);
  return std::min(static_cast<int32_t>(fx * 10000.0f), static_cast<int32_t>(fy * 10000.0f));
}

int32_t FittedZoom(int32_t fittedWidth, int32_t fittedHeight, int32_t imageWidth, int32_t imageHeight,
                   int32_t tableFirst) {
  const float fx = static_cast<float>(fittedWidth) / static_cast<float>(AtLeastOne(imageWidth));
  const float fy = static_cast<float>(fittedHeight) / static_cast<float>(AtLeastOne(imageHeight));
  const auto fitted = static_cast<int32_t>(std::min(fx, fy) * 10000.0f);
  return fittedWidth > 0 && fittedHeight > 0 && fitted > kOneToOne ? fitted : tableFirst;
}

int32_t ZoomStepIndex(const int32_t* table, int32_t minIndex, int32_t maxIndex, int32_t from, int direction) {
  if (direction > 0) {
    for (int32_t k = minIndex; k <= maxIndex; ++k)
      if (table[k] > from) return k;
    return maxIndex;
  }
  for (int32_t k = maxIndex; k >= minIndex; --k)
    if (table[k] < from) return k;
  return minIndex;
}

void PanAtZoom(int32_t* pan, double cx, double cy, int32_t zoom, int32_t viewWidth, int32_t viewHeight,
               int32_t imageWidth, int32_t imageHeight) {
  const double step = static_cast<double>(kOneToOne) / std::max(zoom, 1);
  const auto side = [&](int32_t view, int32_t picture, double centre, int32_t* from, int32_t* to) {
    // Enough pixels for every view pixel; a part of the last one is shown whole.
    const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(view * step - 1e-9)), 1, picture);
    const int64_t first = std::clamp<int64_t>(std::llround(centre - static_cast<double>(n) / 2.0), 0, picture - n);
    *from = vmkviews::ZoomUnitOf(picture, static_cast<double>(first));
    *to = vmkviews::ZoomUnitOf(picture, static_cast<double>(first + n));
  };
  side(AtLeastOne(viewWidth), AtLeastOne(imageWidth), cx, &pan[0], &pan[2]);
  side(AtLeastOne(viewHeight), AtLeastOne(imageHeight), cy, &pan[1], &pan[3]);
}

double PanCentreOf(int32_t size, int32_t from, int32_t to) {
  return (vmkviews::ZoomPixelOf(size, from) + vmkviews::ZoomPixelOf(size, to)) / 2.0;
}

int32_t NavigatorFrameZoom(const int32_t frame[4], const int32_t pan[4], int32_t zoom, int32_t viewWidth,
                           int32_t viewHeight, int32_t imageWidth, int32_t imageHeight, int32_t smallest,
                           int32_t largest) {
  // The whole pixels between two edges, each rounded to the nearest.
  const auto between = [](int32_t size, int32_t from, int32_t to) {
    return static_cast<double>(std::llround(vmkviews::ZoomPixelOf(size, to)) -
                               std::llround(vmkviews::ZoomPixelOf(size, from)));
  };
  const int32_t width = AtLeastOne(imageWidth), height = AtLeastOne(imageHeight);
  const double fw = std::max(between(width, frame[0], frame[2]), 1.0);
  const double fh = std::max(between(height, frame[1], frame[3]), 1.0);
  const double pw = between(width, pan[0], pan[2]);
  const double ph = between(height, pan[1], pan[3]);
  const auto near = [](double a, double b) { return std::fabs(a - b) <= std::max(2.0, 0.01 * b); };
  if (near(fw, pw) && near(fh, ph)) return zoom;
  const double fill = std::min(AtLeastOne(viewWidth) / fw, AtLeastOne(viewHeight) / fh);
  return static_cast<int32_t>(std::clamp<int64_t>(std::llround(fill * kOneToOne), smallest, largest));
}
