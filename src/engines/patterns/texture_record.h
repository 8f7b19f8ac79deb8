// The texture generator's record: amounts, shapes and frequencies of turbulence, two wave
// patterns and particles, how they are combined and shaped, three colour curves, a colour
// ramp and a hue/saturation/lightness shift.
//
// The record itself is never stored: files and scripts hold its file form TextuParFile, in
// which every number is a 32-bit word and every float two words, its integer part and its
// fraction in ten-thousandths (-2.5 is -2 and -5000). A float thus comes back to within
// 1/10000, the fraction being truncated. Shapes, falloff and combination that are out of
// range in a file leave the record's own values.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

struct TextuPar {
  uint8_t byteOrder = 0;  // the byte-order flag, as one byte
  uint8_t reserved1 = 0;  // carried to and from the file, read by nothing
  int32_t reserved2 = 0;
  int32_t reserved3 = 0;
  float warp = 0.0f;            // -100..100: horizontal smear by the texture's own value
  float turbulence = 0.0f;      // 0..100
  float vertAmount = 0.0f;      // wave along the image height
  float horizAmount = 0.0f;     // wave along the image width
  float particleAmount = 0.0f;
  int32_t vertShape = 0;        // 0..3
  int32_t horizShape = 0;       // 0..3
  int32_t particleFalloff = 0;  // 0..3
  int32_t seed = 0;
  int32_t vertFrequency = 0;    // percent of the highest
  int32_t horizFrequency = 0;
  int32_t particleCount = 0;
  float turbulenceDetail = 0.0f;  // octaves, percent of 8
  float vertDetail = 0.0f;        // harmonics, percent of 8
  float horizDetail = 0.0f;
  int32_t particleSize = 0;  // tenths of a pixel at scale 1
  int32_t combineMode = 0;   // 0..5
  float distortion = 0.0f;
  float bias = 0.0f;
  float gain = 0.0f;
  float redKnots[6] = {};  // entries 0 and 5 are derived by the engine
  float greenKnots[6] = {};
  float blueKnots[6] = {};
  LutVign ramp;
  int32_t hueShift = 0;         // -180..180
  int32_t saturationShift = 0;  // -100..100
  int32_t lightnessShift = 0;   // -100..100
};

// Word indexes of the file form.
enum : int32_t {
  kTexReserved1 = 1,
  kTexReserved2 = 2,
  kTexReserved3 = 3,
  kTexWarp = 4,  // integer part, then fraction, for every float
  kTexTurbulence = 6,
  kTexVertAmount = 8,
  kTexHorizAmount = 10,
  kTexParticleAmount = 12,
  kTexVertShape = 14,
  kTexHorizShape = 15,
  kTexParticleFalloff = 16,
  kTexSeed = 17,
  kTexVertFrequency = 18,
  kTexHorizFrequency = 19,
  kTexParticleCount = 20,
  kTexTurbulenceDetail = 21,
  kTexVertDetail = 23,
  kTexHorizDetail = 25,
  kTexParticleSize = 27,
  kTexCombineMode = 28,
  kTexDistortion = 29,
  kTexBias = 31,
  kTexGain = 33,
  kTexKnots = 35,  // per curve (red, green, blue): 6 integer parts, then 6 fractions
  kTexHueShift = 71,
  kTexSaturationShift = 72,
  kTexLightnessShift = 73,
  kTexFileWords = 74,
};

struct TextuParFile {
  int32_t w[kTexFileWords] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 6188;
};

template <class V>
void VisitRecord(V& v, TextuParFile& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], kTexFileWords - 1);
  v.reserved(4096);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

void Init_TextuPar(TextuPar* record);
// Every field but the reserved block.
void Copy_TextuPar(const TextuPar* source, TextuPar* destination);
// toRecord nonzero: file form into the record; zero: record into the (cleared) file form.
void TextuPar_to_TextuParFile(int16_t toRecord, int16_t unused, TextuPar* record,
                              TextuParFile* file);
void SwapTextuParFile(TextuParFile* file, int16_t direction, int16_t force);
// Modes 0 to 2 of the preset convention, type 'hTex'; mode 3 and others return 0.
int16_t Do_ATextu_file(int16_t mode, FSSpec spec, TextuPar* record);
