#include "engines/patterns/screen_record.h"

#include <algorithm>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kScreenFile{FourCC("hScr"), "Load a New Screen...",
                                           vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_ScreenPar(ScreenPar* r, int16_t) {
  if (r == nullptr) return;
  r->w[0] = 0;
  r->w[1] = 1;
  r->w[kScrImageMode] = 0;
  r->w[5] = 2;
  r->w[7] = 0;
  r->w[kScrDisplacement] = 0;
  std::fill(std::begin(r->imageFlags), std::end(r->imageFlags), 1);
}

void Copy_ScreenPar(const ScreenPar* s, ScreenPar* d) {
  if (s != nullptr && d != nullptr && s != d) *d = *s;
}

int16_t Do_AScreenPar_file(int16_t mode, FSSpec spec, ScreenPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kScreenFile, Copy_ScreenPar);
}
