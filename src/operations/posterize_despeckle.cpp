// Posterize and despeckle as image operations: the quantiser and the
// despeckler wrapped in the operations' region, mask and blend.
#include "operations/colour_quantisers.h"
#include "operations/despeckle.h"
#include "operations/effect_support.h"
#include "operations/effects.h"

int32_t Effects::PosterizeWU(int16_t mode, int16_t opacity, int16_t channels, int32_t height,
                             int32_t width, unsigned char* red, unsigned char* green,
                             unsigned char* blue, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             const unsigned char* mask, int16_t colours) {
  effect_support::ClampRegion(width, height, x0, y0, x1, y1);
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
      [&](unsigned char* copy) {
        return despeckle(copy, nullptr, nullptr, 1, height, width, level, strength);
      },
      [](int32_t, int32_t filtered) { return filtered; });
}
