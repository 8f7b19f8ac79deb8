#include "script/lut_vign_engine.h"

#include <cstddef>
#include <cstring>

#include "app/core/memory_manager.h"
#include "engines/records/engine_frame.h"
#include "platform/memory/block.h"

void MiscLutVign::SetLutVign(const LutVign* lut) {
  Copy_LutVign(lut, lut_.get());
}

void MiscLutVign::GetLutVign(LutVign* lut) const {
  Copy_LutVign(lut_.get(), lut);
}

int32_t MiscLutVign::FillBuf(int16_t n, int16_t mode, int16_t opacity, int16_t source, int16_t,
                             int32_t left, int32_t top, int32_t right, int32_t bottom,
                             int32_t photoLeft, int32_t photoTop, int32_t photoRight,
                             int32_t photoBottom, float scaleX, float scaleY, int32_t width,
                             int32_t height, uint8_t* red, uint8_t* green, uint8_t* blue,
                             uint8_t* fourth, const uint8_t* mask) {
  if (width <= 0 || height <= 0 || red == nullptr) return -1;
  if (n == 3 && (green == nullptr || blue == nullptr)) return -1;
  const vmkrec::EngineArea area = vmkrec::ClampArea(left, top, right, bottom, width, height, false);
  uint8_t* planes[3] = {red, green, blue};
  const int32_t count = n == 3 ? 3 : 1;

  // Source 0 is the planes themselves: each sample blends with itself (and a single plane's
  // grey level is its own value), so no copy is taken.
  if (source == 0) {
    for (int32_t k = 0; k < count; ++k)
      vmkrec::BlendEffect(planes[k], planes[k], mask, width, area, mode, opacity);
    return 0;
  }

  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<uint8_t> work(3 * size, WorkSource());
  if (!work) return -1;
  uint8_t* src[3] = {work.get(), work.get() + size, work.get() + 2 * size};
  // What the source step does not fill stays the image.
  if (count == 3) {
    for (int32_t k = 0; k < 3; ++k) std::memcpy(src[k], planes[k], static_cast<size_t>(size));
  } else {
    for (int32_t k = 0; k < 3; ++k) std::memcpy(src[k], red, static_cast<size_t>(size));
  }
  const vmkrec::SourceRequest request = vmkrec::MakeSourceRequest(
      width, height, area.right - area.left, area.bottom - area.top, photoLeft, photoTop,
      photoRight, photoBottom, scaleX, scaleY, src[0], src[1], src[2], fourth);
  vmkrec::PrepareEngineSource(source, 3, 255, request);

  if (count == 3) {
    for (int32_t k = 0; k < 3; ++k)
      vmkrec::BlendEffect(planes[k], src[k], mask, width, area, mode, opacity);
    return 0;
  }
  for (int64_t i = 0; i < size; ++i)
    src[0][i] = static_cast<uint8_t>((src[0][i] + src[1][i] + src[2][i]) / 3);
  vmkrec::BlendEffect(red, src[0], mask, width, area, mode, opacity);
  return 0;
}
