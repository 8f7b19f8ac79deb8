#include "engines/patterns/texture_record.h"

#include <cmath>
#include <cstring>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kTextureFile{FourCC("hTex"), "Load a New Texture...",
                                            vmkrec::PresetLayout::RecordOnly, 0, false};

// Truncation toward zero that saturates at the 32-bit limits; NaN gives the lowest value.
int32_t TruncateToWord(float x) {
  if (std::isnan(x) || x <= -2147483648.0f) return INT32_MIN;
  if (x >= 2147483648.0f) return INT32_MAX;
  return static_cast<int32_t>(x);
}

void PutFloat(int32_t* integerPart, int32_t* fraction, float v) {
  const int32_t i = TruncateToWord(v);
  *integerPart = i;
  *fraction = TruncateToWord((v - static_cast<float>(i)) * 10000.0f);
}

float GetFloat(int32_t integerPart, int32_t fraction) {
  return static_cast<float>(integerPart) + static_cast<float>(fraction) / 10000.0f;
}

void PutPair(int32_t* w, int32_t at, float v) { PutFloat(&w[at], &w[at + 1], v); }
float GetPair(const int32_t* w, int32_t at) { return GetFloat(w[at], w[at + 1]); }

// Takes a stored choice only when it is one the generator knows.
void TakeChoice(int32_t* field, int32_t stored, uint32_t last) {
  if (static_cast<uint32_t>(stored) <= last) *field = stored;
}

}  // namespace

void Init_TextuPar(TextuPar* r) {
  if (r == nullptr) return;
  r->byteOrder = static_cast<uint8_t>(HostOrderFlag());
  r->warp = 0.0f;
  r->turbulence = 0.0f;
  r->vertAmount = 10.0f;
  r->horizAmount = 10.0f;
  r->particleAmount = 0.0f;
  r->vertShape = 0;
  r->horizShape = 0;
  r->particleFalloff = 0;
  r->seed = 0;
  r->vertFrequency = 5;
  r->horizFrequency = 5;
  r->particleCount = 100;
  r->turbulenceDetail = 10.0f;
  r->vertDetail = 0.0f;
  r->horizDetail = 0.0f;
  r->particleSize = 20;
  r->combineMode = 0;
  r->distortion = 0.0f;
  r->bias = 0.0f;
  r->gain = 0.0f;
  const float knots[4] = {0.0f, 0.33f, 0.67f, 1.0f};
  for (int i = 0; i < 4; ++i) r->redKnots[1 + i] = r->greenKnots[1 + i] = r->blueKnots[1 + i] = knots[i];
  Init_LutVign(0, &r->ramp, 0, 0, 0, 0);
  r->hueShift = 0;
  r->saturationShift = 0;
  r->lightnessShift = 0;
}

void Copy_TextuPar(const TextuPar* source, TextuPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  // The record holds no reserved block in memory, so a whole copy is every field.
  *destination = *source;
}

void TextuPar_to_TextuParFile(int16_t toRecord, int16_t /*unused*/, TextuPar* r,
                              TextuParFile* file) {
  if (r == nullptr || file == nullptr) return;
  int32_t* w = file->w;
  float* curves[3] = {r->redKnots, r->greenKnots, r->blueKnots};
  if (toRecord == 0) {
    *file = TextuParFile{};
    w[0] = r->byteOrder;
    w[kTexReserved1] = r->reserved1;
    w[kTexReserved2] = r->reserved2;
    w[kTexReserved3] = r->reserved3;
    PutPair(w, kTexWarp, r->warp);
    PutPair(w, kTexTurbulence, r->turbulence);
    PutPair(w, kTexVertAmount, r->vertAmount);
    PutPair(w, kTexHorizAmount, r->horizAmount);
    PutPair(w, kTexParticleAmount, r->particleAmount);
    if (r->vertShape >= 0 && r->vertShape <= 3) w[kTexVertShape] = r->vertShape;
    if (r->horizShape >= 0 && r->horizShape <= 3) w[kTexHorizShape] = r->horizShape;
    if (r->particleFalloff >= 0 && r->particleFalloff <= 3) w[kTexParticleFalloff] = r->particleFalloff;
    w[kTexSeed] = r->seed;
    w[kTexVertFrequency] = r->vertFrequency;
    w[kTexHorizFrequency] = r->horizFrequency;
    w[kTexParticleCount] = r->particleCount;
    PutPair(w, kTexTurbulenceDetail, r->turbulenceDetail);
    PutPair(w, kTexVertDetail, r->vertDetail);
    PutPair(w, kTexHorizDetail, r->horizDetail);
    w[kTexParticleSize] = r->particleSize;
    w[kTexCombineMode] = r->combineMode;
    PutPair(w, kTexDistortion, r->distortion);
    PutPair(w, kTexBias, r->bias);
    PutPair(w, kTexGain, r->gain);
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 6; ++k) PutFloat(&w[kTexKnots + 12 * c + k], &w[kTexKnots + 12 * c + 6 + k], curves[c][k]);
    w[kTexHueShift] = r->hueShift;
    w[kTexSaturationShift] = r->saturationShift;
    w[kTexLightnessShift] = r->lightnessShift;
    Copy_LutVign(&r->ramp, &file->ramp);
    return;
  }
  r->byteOrder = static_cast<uint8_t>(w[0]);
  r->reserved1 = static_cast<uint8_t>(w[kTexReserved1]);
  r->reserved2 = w[kTexReserved2];
  r->reserved3 = w[kTexReserved3];
  r->warp = GetPair(w, kTexWarp);
  r->turbulence = GetPair(w, kTexTurbulence);
  r->vertAmount = GetPair(w, kTexVertAmount);
  r->horizAmount = GetPair(w, kTexHorizAmount);
  r->particleAmount = GetPair(w, kTexParticleAmount);
  TakeChoice(&r->vertShape, w[kTexVertShape], 3);
  TakeChoice(&r->horizShape, w[kTexHorizShape], 3);
  TakeChoice(&r->particleFalloff, w[kTexParticleFalloff], 3);
  r->seed = w[kTexSeed];
  r->vertFrequency = w[kTexVertFrequency];
  r->horizFrequency = w[kTexHorizFrequency];
  r->particleCount = w[kTexParticleCount];
  r->turbulenceDetail = GetPair(w, kTexTurbulenceDetail);
  r->vertDetail = GetPair(w, kTexVertDetail);
  r->horizDetail = GetPair(w, kTexHorizDetail);
  r->particleSize = w[kTexParticleSize];
  TakeChoice(&r->combineMode, w[kTexCombineMode], 5);
  r->distortion = GetPair(w, kTexDistortion);
  r->bias = GetPair(w, kTexBias);
  r->gain = GetPair(w, kTexGain);
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 6; ++k) curves[c][k] = GetFloat(w[kTexKnots + 12 * c + k], w[kTexKnots + 12 * c + 6 + k]);
  r->hueShift = w[kTexHueShift];
  r->saturationShift = w[kTexSaturationShift];
  r->lightnessShift = w[kTexLightnessShift];
  Copy_LutVign(&file->ramp, &r->ramp);
}

void SwapTextuParFile(TextuParFile* file, int16_t direction, int16_t force) {
  if (file != nullptr) vmkrec::SwapRecord(*file, direction, force);
}

int16_t Do_ATextu_file(int16_t mode, FSSpec spec, TextuPar* record) {
  return vmkrec::DoPresetFileForm<TextuParFile>(
      mode, spec, record, kTextureFile,
      [](const TextuPar& r, TextuParFile* form) {
        TextuPar copy = r;
        TextuPar_to_TextuParFile(0, 0, &copy, form);
      },
      [](const TextuParFile& form, TextuPar* r) {
        TextuParFile copy = form;
        TextuPar_to_TextuParFile(1, 0, r, &copy);
      });
}
