#include "engines/patterns/cast_shadow_record.h"

#include <algorithm>

#include "engines/records/preset_file.h"
#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kShadowFile{FourCC("hShs"), "Load a New Cast...",
                                           vmkrec::PresetLayout::RecordOnly, 0, false};

// current x value / stored, truncated toward zero. A stored size of 0 cannot be scaled
// from; the value is then kept as stored.
int32_t Rescale(int32_t value, int32_t current, int32_t stored) {
  if (stored == 0) return value;
  return static_cast<int32_t>(static_cast<int64_t>(current) * value / stored);
}

}  // namespace

void Init_ShadoPar(ShadoPar* r, int16_t keepCorners) {
  if (r == nullptr) return;
  const int32_t width = SessionPhotoWidth(), height = SessionPhotoHeight();
  const int32_t head[18] = {0, 1, width, height, 5, 0, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5};
  std::copy(head, head + 18, r->w);
  if (keepCorners == 0) {
    const int32_t x[4] = {0, 0, width, width};
    const int32_t y[4] = {0, height, height, 0};
    std::copy(x, x + 4, r->w + kShaCornerX);
    std::copy(y, y + 4, r->w + kShaCornerY);
  }
  Init_LutVign(2, &r->ramp, 0, 0, 0, 0);
}

void Copy_ShadoPar(const ShadoPar* s, ShadoPar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

int16_t Do_AShadoPar_file(int16_t mode, FSSpec spec, ShadoPar* record) {
  auto take = [](const ShadoPar& loaded, ShadoPar* r) {
    const int32_t width = r->w[kShaRefWidth], height = r->w[kShaRefHeight];
    Copy_ShadoPar(&loaded, r);
    for (int i = 0; i < 4; ++i) {
      r->w[kShaCornerX + i] = Rescale(loaded.w[kShaCornerX + i], width, loaded.w[kShaRefWidth]);
      r->w[kShaCornerY + i] = Rescale(loaded.w[kShaCornerY + i], height, loaded.w[kShaRefHeight]);
    }
    r->w[kShaRefWidth] = width;
    r->w[kShaRefHeight] = height;
  };
  return vmkrec::DoPresetFile(mode, spec, record, kShadowFile, Copy_ShadoPar, take);
}
