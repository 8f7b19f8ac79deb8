#include "engines/patterns/cookie_cutter_record.h"

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kCookieFile{FourCC("hCoo"), "Load a New Cookie Cutter...",
                                           vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_CookiCutPar(CookiCutPar* r) {
  if (r == nullptr) return;
  r->byteOrderFlag = HostOrderFlag();
  r->version = 1;
  r->softness = 2;
  r->radius = 100;
  r->turns = 1;
  r->hueShift = r->saturationShift = r->lightnessShift = 0;
  for (int32_t& s : r->shape) s = 50;
  r->shapeScale = 50;
  r->angle = 0;
  Init_LutVign(3, &r->ramp, 0, 0, 0, 0);
}

void Copy_CookiCutPar(const CookiCutPar* s, CookiCutPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  *d = *s;  // every kept field has a meaning: words 0..15 and the ramp
}

void SwapCookiCutPar(CookiCutPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_ACookiCut_file(int16_t mode, FSSpec spec, CookiCutPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kCookieFile, Copy_CookiCutPar);
}
