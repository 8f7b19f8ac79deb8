// The cast-shadow engine: the source channel, blurred and faded by a vertical and a
// horizontal ramp, is distorted into the footprint quadrilateral and blended, coloured
// through the record's ramp, into the three colour planes under the mask.
#pragma once

#include <cstdint>

#include "engines/patterns/cast_shadow_record.h"
#include "engines/records/param_record.h"

class MiscPhotoShado {
 public:
  MiscPhotoShado();  // the copy starts at the record's defaults
  void SetShadoPar(const ShadoPar* par);

  // Changes `source` (to the blurred and faded shadow) and `mask` (to its treated form) in
  // place. 0, or -1 when work memory is refused or the distortion fails.
  int32_t FillBuf(int16_t blendMode, int16_t opacity, int32_t width, int32_t height,
                  uint8_t* plane0, uint8_t* plane1, uint8_t* plane2, uint8_t* source,
                  uint8_t* mask, int32_t areaWidth, int32_t areaHeight);

  ShadoPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<ShadoPar> par_;
};

// One fade ramp entry per position: 255 keeps the blurred value, 0 the unblurred one.
// `percent` is the position in percent of the length, `centre` and `spread` the record's.
uint8_t ShadowFadeWeight(int32_t percent, int32_t centre, int32_t spread);

// The two-plane render case of the cast shadow.
void RegisterCastShadowCase();
