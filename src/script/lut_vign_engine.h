// The ramp engine: an engine object of the usual shape (its own record, one FillBuf) whose
// record is one colour ramp. Its FillBuf does the common engine steps only: it takes its
// source and blends it into the caller's planes. It never reads the ramp it holds.
#pragma once

#include <cstdint>

#include "engines/records/param_record.h"
#include "script/lut_vign.h"

class MiscLutVign {
 public:
  // Copy the flag, the 256 values and the five tables in and out.
  void SetLutVign(const LutVign* lut);
  void GetLutVign(LutVign* lut) const;

  // n 3: red, green and blue; n 1: one plane, `red`, which receives the grey level
  // (R + G + B) / 3 of the source. Source 0 the planes as given, 1 white, 2 the render file,
  // 3 the host photo's rectangle at the scales. The source goes over the area (right and
  // bottom exclusive, clamped to the planes) at the blend mode and opacity, weighted by the
  // mask where there is one. `apply` changes nothing: the source is the effect's result
  // either way. 0, or -1 for planes without size or when work memory is refused.
  int32_t FillBuf(int16_t n, int16_t mode, int16_t opacity, int16_t source, int16_t apply,
                  int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t photoLeft,
                  int32_t photoTop, int32_t photoRight, int32_t photoBottom, float scaleX,
                  float scaleY, int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                  uint8_t* blue, uint8_t* fourth, const uint8_t* mask);

  LutVign* record() const { return lut_.get(); }

 private:
  vmkrec::ScratchRecord<LutVign> lut_;
};
