// The lens-blur, flare, frame-flag and super-gradient engines.
//
// The lens blur picks out highlights with a contrast step on copies of the picture (only when
// its strength and gate are both positive) and blends the copies back; the flare blurs a
// fourth plane (nothing runs it yet); the frame flags and the super gradient only keep their
// records (the super gradient's FillBuf draws nothing).
#pragma once

#include <cstdint>

#include "engines/patterns/lens_flare_gradient_records.h"
#include "platform/memory/block.h"

class MiscLensBlur {
 public:
  MiscLensBlur();
  MiscLensBlur(const MiscLensBlur&) = delete;
  MiscLensBlur& operator=(const MiscLensBlur&) = delete;

  void SetLBlurPar(const LBlurPar* record);
  // Inclusive bounds. Null plane1 and plane2: the one plane stands for all three. 0, or -1.
  int32_t FillBuf(int16_t blendMode, int16_t opacity, int32_t width, int32_t height,
                  int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* plane0,
                  uint8_t* plane1, uint8_t* plane2, const uint8_t* unused1,
                  const uint8_t* unused2, const uint8_t* mask);

 private:
  plat::Block<LBlurPar> par_;
};

class MiscFlare {
 public:
  MiscFlare();
  MiscFlare(const MiscFlare&) = delete;
  MiscFlare& operator=(const MiscFlare&) = delete;

  void SetFlarePar(const FlarePar* record);
  // Blurs plane3 when the record's blur is positive. 0, or -1.
  int32_t FillBuf(int16_t unused1, int16_t unused2, int32_t width, int32_t height,
                  int32_t left, int32_t top, int32_t right, int32_t bottom, uint8_t* plane0,
                  uint8_t* plane1, uint8_t* plane2, uint8_t* plane3, const uint8_t* unused3);

 private:
  plat::Block<FlarePar> par_;
};

class MiscFram {
 public:
  void SetFramPar(const FramPar* record) { Copy_FramPar(record, &par_); }
  const FramPar& Par() const { return par_; }

 private:
  FramPar par_;
};

class MiscSupVig {
 public:
  MiscSupVig();
  void SetSupVigPar(const SupVigPar* record) { Copy_SupVigPar(record, &par_); }
  void SetBufSize(int32_t width, int32_t height) {
    bufWidth_ = width;
    bufHeight_ = height;
  }
  // Draws nothing: the super gradient's drawing was never made.
  void FillBuf(int16_t, uint8_t*) {}

  const SupVigPar& Par() const { return par_; }
  int32_t previewWidth() const { return previewWidth_; }
  int32_t previewHeight() const { return previewHeight_; }
  int32_t bufWidth() const { return bufWidth_; }
  int32_t bufHeight() const { return bufHeight_; }

 private:
  SupVigPar par_;
  int32_t previewWidth_ = 0;
  int32_t previewHeight_ = 0;
  int32_t bufWidth_ = 0;
  int32_t bufHeight_ = 0;
};
