#include "engines/patterns/lens_flare_gradient_engines.h"

#include <cstring>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "engines/records/engine_frame.h"
#include "operations/effects.h"

MiscLensBlur::MiscLensBlur() : par_(1, plat::PlainSource()) { par_.Clear(); }

void MiscLensBlur::SetLBlurPar(const LBlurPar* record) {
  if (par_) Copy_LBlurPar(record, par_.get());
}

int32_t MiscLensBlur::FillBuf(int16_t blendMode, int16_t opacity, int32_t width,
                              int32_t height, int32_t left, int32_t top, int32_t right,
                              int32_t bottom, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                              const uint8_t*, const uint8_t*, const uint8_t* mask) {
  if (!par_ || width <= 0 || height <= 0 || plane0 == nullptr) return -1;
  // The renderer hands a one-channel target alone; it stands for all three planes.
  const bool three = plane1 != nullptr && plane2 != nullptr;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, true);
  if (a.empty()) return 0;
  uint8_t* planes[3] = {plane0, three ? plane1 : plane0, three ? plane2 : plane0};
  const int64_t size = int64_t{width} * height;
  plat::Block<uint8_t> work(3 * size, plat::PlainSource());
  if (!work) return -1;
  uint8_t* copies[3];
  for (int32_t k = 0; k < 3; ++k) {
    copies[k] = work.get() + k * size;
    std::memcpy(copies[k], planes[k], static_cast<size_t>(size));
  }
  const LBlurPar& p = *par_.get();
  if (p.contrastStrength > 0 && p.contrastGate > 0) {
    plat::Block<uint8_t> gray(size, plat::PlainSource());
    if (!gray) return -1;
    for (int64_t i = 0; i < size; ++i)
      gray[i] = static_cast<uint8_t>((copies[0][i] + copies[1][i] + copies[2][i]) / 3);
    Effects::AdjContrast(0, 255, gray.get(), height, width, 0, 0, width, height, 1, nullptr,
                         static_cast<int16_t>(p.contrastGate),
                         static_cast<int16_t>(p.contrastSecond), 0);
    for (uint8_t* c : copies)
      Effects::AdjContrast(0, 255, c, height, width, 0, 0, width, height, 1, gray.get(), 0,
                           static_cast<int16_t>(-p.contrastStrength), 0);
  }
  const vmkrec::EngineArea exclusive{a.left, a.top, a.right + 1, a.bottom + 1};
  for (int32_t k = 0; k < (three ? 3 : 1); ++k)
    vmkrec::BlendEffect(planes[k], copies[k], mask, width, exclusive, blendMode, opacity);
  return 0;
}

MiscFlare::MiscFlare() : par_(1, plat::PlainSource()) { par_.Clear(); }

void MiscFlare::SetFlarePar(const FlarePar* record) {
  if (par_) Copy_FlarePar(record, par_.get());
}

int32_t MiscFlare::FillBuf(int16_t, int16_t, int32_t width, int32_t height, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, uint8_t*, uint8_t*,
                           uint8_t*, uint8_t* plane3, const uint8_t*) {
  if (!par_ || width <= 0 || height <= 0 || plane3 == nullptr) return -1;
  const vmkrec::EngineArea a = vmkrec::ClampArea(left, top, right, bottom, width, height, true);
  // A copy was always taken and never used; its failure still fails the call.
  plat::Block<uint8_t> scratch(int64_t{width} * height, plat::PlainSource());
  if (!scratch) return -1;
  const int32_t blur = par_.get()->blur;
  // The blur gets the rectangle's size as its plane size, as it always did.
  if (blur > 0)
    Effects::Blur(0, 255, plane3, nullptr, a.right - a.left + 1, a.bottom - a.top + 1, 0, 0,
                  width, height, static_cast<int16_t>(2 * blur), 1);
  return 0;
}

MiscSupVig::MiscSupVig() {
  if (gPer != nullptr) {
    previewWidth_ = gPer->previewWidth;
    previewHeight_ = gPer->previewHeight;
  }
}
