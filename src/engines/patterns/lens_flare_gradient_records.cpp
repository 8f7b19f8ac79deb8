#include "engines/patterns/lens_flare_gradient_records.h"

#include <algorithm>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kGradientFile{FourCC("hSvr"), "Load a New SuperGradient...",
                                             vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_LBlurPar(LBlurPar* r) {
  if (r == nullptr) return;
  r->byteOrderFlag = 0;
  r->version = 1;
  const int32_t unread[9] = {5, 5, 0, 0, 2, 2, 2, 50, 0};
  std::copy(unread, unread + 9, r->unread);
  r->contrastStrength = 0;
  r->contrastGate = 128;
  r->contrastSecond = 122;
  r->tail[0] = 0;
  r->tail[1] = 5;
}

void Copy_LBlurPar(const LBlurPar* s, LBlurPar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Init_FlarePar(FlarePar* r) {
  if (r == nullptr) return;
  r->byteOrderFlag = 0;
  r->version = 1;
  r->values[0] = 5;
  r->values[1] = 5;
  r->values[2] = 2;
  r->blur = 2;
  // Bytes 564..588; the word at 580 is left as it was.
  r->more[0] = 50;
  r->more[1] = 0;
  r->more[2] = 0;
  r->more[3] = 128;
  r->more[5] = 5;
  r->more[6] = 0;
}

void Copy_FlarePar(const FlarePar* s, FlarePar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Init_FramPar(FramPar* r) {
  if (r == nullptr) return;
  r->byteOrderFlag = 1;
  r->flag = 1;
  r->value = 0;
}

void Copy_FramPar(const FramPar* s, FramPar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void SwapFramPar(FramPar* r, int16_t direction, int16_t) {
  if (r != nullptr) r->byteOrderFlag = static_cast<uint8_t>(direction == 1 ? 1 : HostOrderFlag());
}

void Init_SupVigPar(SupVigPar* r) {
  if (r == nullptr) return;
  const int32_t words[7] = {0, 0, 0, 10, 0, 0, 10};
  std::copy(words, words + 7, r->w);
  Init_LutVign(0, &r->ramp, 0, 0, 0, 0);
}

void Copy_SupVigPar(const SupVigPar* s, SupVigPar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

int16_t Do_ASupVigPar_file(int16_t mode, FSSpec spec, SupVigPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kGradientFile, Copy_SupVigPar);
}
