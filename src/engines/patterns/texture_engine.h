// The texture generator: turbulence, two wave patterns and wrapping particles, combined,
// shaped by bias and gain, optionally smeared sideways, and mapped through three colour
// curves and the record's ramp onto one or three planes.
//
// The noise tables and `exponents` are shared by the whole run and fixed by its first
// texture (its seed, h = 0.5): a later record with another seed moves its particles but not
// its noise. FillBuf renders one texture at a time, whichever thread calls it.
#pragma once

#include <cstdint>

#include "engines/patterns/texture_record.h"
#include "platform/memory/block.h"

// The run-wide tables of the generator.
struct TextureTables {
  uint8_t colours[256][3] = {};  // red, green, blue curve of the last rendering
  int32_t perm[34] = {};
  float gx[34] = {};
  float gy[34] = {};
  float exponents[9] = {};
  bool noiseReady = false;
  bool exponentsReady = false;
};
TextureTables& SharedTextureTables();
// Forgets the noise tables and exponents so the next texture builds them again (tests only).
void ResetTextureTables();

enum PatternShape : int32_t {
  kShapeCosine = 0,
  kShapeSawtooth = 1,
  kShapeTriangle = 2,
  kShapeSquare = 3,
};

class MiscTextu {
 public:
  MiscTextu() = default;
  ~MiscTextu();
  MiscTextu(const MiscTextu&) = delete;
  MiscTextu& operator=(const MiscTextu&) = delete;

  void SetTextuPar(const TextuPar* record);
  void GetTextuPar(TextuPar* record) const;
  // A preview's planes that stand for a picture of width x height: the
  // waves' frequencies (cycles per 200 pixels) and the warp's shift are
  // counted in the picture's pixels, and the waves' octaves finer than two
  // plane pixels, which the picture scaled down to the planes averages
  // away, are left out. 0 (the default): the planes are the picture.
  void SetPictureSize(int32_t width, int32_t height);

  // Renders the whole planes (one: plane0 only). Of the sources only 1 acts (fill with 255).
  void FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
               float scaleX, float scaleY, int32_t width, int32_t height, uint8_t* plane0,
               uint8_t* plane1, uint8_t* plane2, const uint8_t* mask);

  void MakeColours();
  // Catmull-Rom spline through `count` knots (4..64) at x in 0..1; 0 for a count above 64.
  static float Spline(float x, const float* knots, int32_t count);
  float Noise(float x, float y);
  float Turbulence(float x, float y, float octaves, float h);
  static float ShapeSample(float t, int32_t shape);
  float VertPattern(float t, int16_t release = 0);
  float HorizPattern(float t, int16_t release = 0);
  // width x height particle values, empty when the memory cannot be had.
  plat::Block<float> MakeParticles();
  // false when the particle buffer could not be had (the texture then holds no values).
  bool MakeTexture(float* texture);

  TextuPar work;
  TextuPar par;
  plat::Block<float> horizTable;
  plat::Block<float> vertTable;

 private:
  void DeriveWork(float scaleX, float scaleY);
  float WavePattern(plat::Block<float>& table, int32_t size, int32_t picture, int32_t frequency,
                    float detail, int32_t shape, float t, int16_t release);
  float Sample(const float* particles, int32_t x, int32_t y);
  void Smear(float* texture) const;

  int32_t pictureWidth_ = 0, pictureHeight_ = 0;
};
