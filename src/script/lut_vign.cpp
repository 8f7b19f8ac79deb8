#include "script/lut_vign.h"

#include <algorithm>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "platform/random/random.h"

namespace {

void ClearNumbers(LutVign* lut) {
  lut->flag = 0;
  std::memset(lut->values, 0, sizeof lut->values);
}

void IdentityColours(LutVign* lut) {
  for (auto& table : lut->colour)
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
}

void FillColours(LutVign* lut, uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  std::memset(lut->colour[0], a, 256);
  std::memset(lut->colour[1], b, 256);
  std::memset(lut->colour[2], c, 256);
  std::memset(lut->colour[3], d, 256);
}

// 255 over the first half, then 254 falling by 2 to 0 at the last position.
void HalfFadeOpacity(LutVign* lut) {
  for (int i = 0; i < 128; ++i) lut->opacity[i] = 255;
  for (int k = 0; k < 128; ++k) lut->opacity[128 + k] = static_cast<uint8_t>(254 - 2 * k);
}

// The old toolbox generator gave signed 16-bit numbers (-32767..32767); the ramp keeps
// that range so its bytes are spread the same way, including the wrap of negative values.
uint8_t RandomRampByte() {
  const int32_t r = plat::Random() % 65535 - 32767;
  return static_cast<uint8_t>(r % 255);
}

void ReverseTable(uint8_t* table, const uint8_t* copy, int32_t from, int32_t to) {
  for (int32_t k = 0; k <= to - from; ++k) table[from + k] = copy[to - k];
}

}  // namespace

void Init_LutVign(int16_t preset, LutVign* lut, int16_t a, int16_t b, int16_t c, int16_t d) {
  if (lut == nullptr) return;
  ClearNumbers(lut);
  const auto fa = static_cast<uint8_t>(a), fb = static_cast<uint8_t>(b),
             fc = static_cast<uint8_t>(c), fd = static_cast<uint8_t>(d);
  switch (preset) {
    case 0:
      std::memset(lut->opacity, 255, 256);
      IdentityColours(lut);
      break;
    case 1:
      std::memset(lut->opacity, 255, 256);
      break;
    case 2:
      for (int i = 0; i < 256; ++i) lut->opacity[i] = static_cast<uint8_t>(i);
      FillColours(lut, fa, fa, fa, fa);
      break;
    case 3:
      HalfFadeOpacity(lut);
      IdentityColours(lut);
      break;
    case 4:
      for (int i = 0; i < 256; ++i) lut->opacity[i] = static_cast<uint8_t>(255 - i);
      FillColours(lut, fa, fa, fa, fa);
      break;
    case 5:
      HalfFadeOpacity(lut);
      FillColours(lut, fa, fb, fc, fd);
      break;
    case 6:
      std::memset(lut->opacity, 255, 256);
      FillColours(lut, fa, fb, fc, fd);
      break;
    default:
      break;
  }
}

void Copy_LutVign(const LutVign* source, LutVign* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  destination->flag = source->flag;
  std::memcpy(destination->values, source->values, sizeof source->values);
  std::memcpy(destination->opacity, source->opacity, sizeof source->opacity);
  std::memcpy(destination->colour, source->colour, sizeof source->colour);
}

void Random_LutVign(int16_t mode, LutVign* lut) {
  if (lut == nullptr) return;
  ClearNumbers(lut);
  if (mode == 0 || mode == 1)
    for (auto& o : lut->opacity) o = RandomRampByte();
  if (mode == 0 || mode == 2)
    for (auto& table : lut->colour)
      for (auto& v : table) v = RandomRampByte();
}

void HSLadjust_LutVign(LutVign* lut, int16_t hue, int16_t saturation, int16_t lightness) {
  if (lut == nullptr) return;
  for (int i = 0; i < 256; ++i) {
    float r = static_cast<float>(lut->colour[0][i] / 255.0);
    float g = static_cast<float>(lut->colour[1][i] / 255.0);
    float b = static_cast<float>(lut->colour[2][i] / 255.0);
    RGBHSLadjust(&r, &g, &b, hue, saturation, lightness);
    // The adjustment keeps its results in 0..1; the clamp only guards the byte store.
    lut->colour[0][i] = static_cast<uint8_t>(std::clamp(static_cast<int>(r * 255.0), 0, 255));
    lut->colour[1][i] = static_cast<uint8_t>(std::clamp(static_cast<int>(g * 255.0), 0, 255));
    lut->colour[2][i] = static_cast<uint8_t>(std::clamp(static_cast<int>(b * 255.0), 0, 255));
  }
}

void Invert_LutVign(int16_t mode, LutVign* lut, int32_t from, int32_t to) {
  if (lut == nullptr) return;
  // Positions outside the ramp do not exist; a range reaching past it is cut to the ramp.
  from = std::max(from, 0);
  to = std::min(to, 255);
  if (from > to) return;
  const LutVign copy = *lut;
  if (mode == 0 || mode == 1) ReverseTable(lut->opacity, copy.opacity, from, to);
  if (mode == 0 || mode == 2)
    for (int t = 0; t < 4; ++t) ReverseTable(lut->colour[t], copy.colour[t], from, to);
}

void SwapLutVign(LutVign* lut, int16_t direction) {
  if (lut == nullptr) return;
  vmkrec::SwapRecord(*lut, direction, 0);
}
