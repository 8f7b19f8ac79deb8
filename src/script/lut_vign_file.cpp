// The ramp file ('hVig'): two 255-byte caller texts, then the opacity and the four colour
// tables, 1790 bytes with no byte order at all.
#include <cstring>
#include <memory>

#include "engines/records/preset_file.h"
#include "script/lut_vign.h"

namespace {

constexpr vmkrec::PresetFormat kRampFile{FourCC("hVig"), "", vmkrec::PresetLayout::Raw, 0,
                                         false};
constexpr int32_t kOpacityAt = 2 * kLutVignTextSize;  // 510
constexpr int32_t kColoursAt = kOpacityAt + 256;      // 766

void PutText(uint8_t* dst, const char* text) {
  if (text != nullptr) std::memcpy(dst, text, kLutVignTextSize);
}

}  // namespace

int16_t Do_ALutVign_file(int16_t mode, FSSpec spec, LutVign* lut, char* text1, char* text2,
                         int16_t hue, int16_t saturation, int16_t lightness,
                         int16_t coloursOnly) {
  if (mode < 0 || mode > 2) return 0;
  if (lut == nullptr) return -1;
  vmkrec::PresetFile file;
  const vmkrec::PresetAction action = file.Choose(mode, spec, kRampFile);
  if (action == vmkrec::kPresetNothing) return 0;
  if (action == vmkrec::kPresetCancelled) return -1;

  if (action == vmkrec::kPresetWrite) {
    // The saved colours are the adjusted ones, and the caller's ramp keeps the adjustment;
    // it is applied to the caller's ramp only once the file is safely written.
    // Without shifts the colours are written as they are: the adjustment's
    // colour round trip would lower some of them by one.
    LutVign adjusted = *lut;
    if (hue != 0 || saturation != 0 || lightness != 0) HSLadjust_LutVign(&adjusted, hue, saturation, lightness);
    vmkrec::ScratchBytes image(kLutVignFileSize);
    if (!image.valid()) return -1;
    PutText(image.data(), text1);
    PutText(image.data() + kLutVignTextSize, text2);
    std::memcpy(image.data() + kOpacityAt, adjusted.opacity, 256);
    std::memcpy(image.data() + kColoursAt, adjusted.colour, 4 * 256);
    if (file.Write(image.data(), image.size()) != 0) return -1;
    std::memcpy(lut->colour, adjusted.colour, sizeof adjusted.colour);
    return 0;
  }

  std::unique_ptr<vmkrec::ScratchBytes> bytes;
  if (file.Read(kLutVignFileSize, &bytes) != 0 || bytes->size() != kLutVignFileSize) return -1;
  const uint8_t* p = bytes->data();
  if (text1 != nullptr) std::memcpy(text1, p, kLutVignTextSize);
  if (text2 != nullptr) std::memcpy(text2, p + kLutVignTextSize, kLutVignTextSize);
  if (coloursOnly != 1) std::memcpy(lut->opacity, p + kOpacityAt, 256);
  std::memcpy(lut->colour, p + kColoursAt, 4 * 256);
  return 0;
}
