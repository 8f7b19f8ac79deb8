// Posterize and despeckle as image operations: the quantiser and the
// despeckler wrapped in the operations' region, mask and blend.
#include <cstring>

#include "operations/colour_quantisers.h"
#include "operations/despeckle.h"
#include "operations/effect_support.h"
#include "operations/effects.h"

namespace {

// Despeckles a copy of a plane. A level or tightness the despeckler refuses
// (level 0 is on the editor's slider) leaves the copy as it is and is no
// failure: the step still blends the copy back, so every mode treats those
// settings as it treats a level that finds nothing to merge.
int32_t DespeckleCopy(unsigned char* copy, int32_t height, int32_t width, int16_t level,
                      float strength) {
  if (!(strength >= 0.0f && strength <= 8.0f) || level < 1 || level > 20) return 0;
  return despeckle(copy, nullptr, nullptr, 1, height, width, level, strength);
}

}  // namespace

int32_t Effects::PosterizeWU(int16_t mode, int16_t opacity, int16_t channels, int32_t height,
                             int32_t width, unsigned char* red, unsigned char* green,
                             unsigned char* blue, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             const unsigned char* mask, int16_t colours) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  // A missing plane or too little memory leaves the colours as they were:
  // that is reported, not passed off as done.
  return wuReduce(mode, opacity, channels, red, green, blue, height, width, x0, y0, x1, y1, mask,
                  colours);
}

int32_t Effects::Despeckle(int16_t mode, int16_t opacity, int16_t channels, unsigned char* red,
                           unsigned char* /*green*/, unsigned char* /*blue*/, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           const unsigned char* mask, int16_t level, int16_t tightness) {
  if (channels != 1) return 0;
  if (red == nullptr || height <= 0 || width <= 0) return 0;
  // The script's tightness is a percentage of the despeckler's limit 8.
  const float strength = static_cast<float>(tightness) * 8.0f / 100.0f;
  return effect_support::FilterWholeCopy(
      mode, opacity, red, mask, width, height, x0, y0, x1, y1,
      [&](unsigned char* copy) { return DespeckleCopy(copy, height, width, level, strength); },
      [](int32_t, int32_t filtered) { return filtered; });
}

int32_t DespeckleEachPlane(int16_t mode, int16_t opacity, unsigned char* const* planes,
                           int32_t count, int32_t height, int32_t width, int32_t x0, int32_t y0,
                           int32_t x1, int32_t y1, const unsigned char* mask, int16_t level,
                           int16_t tightness) {
  constexpr int32_t kMost = 4;
  auto oneByOne = [&] {
    int32_t result = 0;
    for (int32_t k = 0; k < count; ++k)
      if (Effects::Despeckle(mode, opacity, 1, planes[k], nullptr, nullptr, height, width, x0, y0,
                             x1, y1, mask, level, tightness) != 0)
        result = -1;
    return result;
  };
  if (count < 2 || count > kMost || height <= 0 || width <= 0) return oneByOne();
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> copies[kMost];
  for (int32_t k = 0; k < count; ++k) {
    if (planes[k] == nullptr) return oneByOne();
    copies[k] = plat::Block<unsigned char>(size, WorkSource());
    if (!copies[k]) return oneByOne();
  }
  const float strength = static_cast<float>(tightness) * 8.0f / 100.0f;
  int32_t results[kMost] = {};
  plat::ParallelFor(0, count, 1, [&](int32_t k, int32_t) {
    std::memcpy(copies[k].get(), planes[k], static_cast<size_t>(size));
    results[k] = DespeckleCopy(copies[k].get(), height, width, level, strength);
  });
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
  int32_t result = 0;
  for (int32_t k = 0; k < count; ++k) {
    if (results[k] != 0) {
      result = -1;
      continue;
    }
    effect_support::BlendFilteredBack(mode, opacity, planes[k], mask, copies[k].get(), width, x0,
                                      y0, x1, y1,
                                      [](int32_t, int32_t filtered) { return filtered; });
  }
  return result;
}
