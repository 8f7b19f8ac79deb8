// The colour-correction engine: noise reduction (103), smoothing (104), focus (105) and
// channel mixing (119), all from one ColCorPar. It packs the planes into 32-bit pixels
// (bytes 0, 1, 2 = red, green, blue) and a grey plane, hands them to the raster kernels with
// the record's words, and blends the result back at the operation's mode and strength.
#pragma once

#include <cstdint>

#include "engines/correction/colour_correction.h"

class MiscColCor {
 public:
  MiscColCor();
  ~MiscColCor();
  MiscColCor(const MiscColCor&) = delete;
  MiscColCor& operator=(const MiscColCor&) = delete;

  // Everything of the record (Copy_ColCorPar part 0, how 0, which 0).
  void SetColCorPar(const ColCorPar* record);
  void GetColCorPar(ColCorPar* record) const;

  // Word 17 picks the step, not the caller's effect number. Apply 1 processes; 0 and 2 blend
  // the unprocessed planes; anything else leaves them. With source 3 the fourth plane is the
  // blend mask. The six longs are the picture's size (the planes'
  // size is what the reader fills, so it is not read) and the host rectangle. Result 0.
  // Scales above 1 (picture pixels to a plane pixel: a preview fitted into its view) draw
  // each step as the render of the whole picture shows it scaled down to the planes: the
  // steps' reaches, spreads and repeats are taken at that scale.
  int32_t FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                  int16_t apply, int32_t width, int32_t height, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, int32_t readWidth, int32_t readHeight,
                  int32_t photoLeft, int32_t photoTop, int32_t photoRight, int32_t photoBottom,
                  float scaleX, float scaleY, uint8_t* red, uint8_t* green, uint8_t* blue,
                  uint8_t* fourth, const uint8_t* mask);

  // One step each: reads `src`, writes `dst` (both height x width pixels, dst starting as a
  // copy of src).
  void ProcessChannelMix(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst);
  void ProcessDeNoise(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                      const uint8_t* grey);
  void ProcessSmooth(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                     const uint8_t* grey);
  // The focus kernels of the mode's bits, chained: each reads the previous one's result.
  // `src` is used as the chain's carry, so it ends up holding the last input.
  void ProcessFocus(int16_t focusMode, int32_t height, int32_t width, uint32_t* src,
                    uint32_t* dst, const uint8_t* grey, uint8_t* spare);

  ColCorPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<ColCorPar> par_;
  // The last FillBuf's scale (1 for the Process calls of a render).
  float viewScale_ = 1.0f;
};

// How far from a pixel the render of `record` at one picture pixel a sample reads the pixels
// it writes that pixel from, at most: each step's reach (a smart blur's scans times its
// iterations, a kernel's half width times its passes or terms, the pyramid blur's levels, the
// edge maps and contrast masks of the guide), summed over the steps the record chains. A
// render of part of a picture with this margin around it gives the part what the render of
// the whole picture gives it, provided the part's planes start on the whole's grid of eight
// (the pyramid blur pairs samples from the planes' first column and row). Held to 1 << 20.
int32_t ColCorReach(const ColCorPar& record);

// The focus steps, as the bits of the focus mode.
enum : int16_t { kFocusDeblur = 1, kFocusDenoise = 2, kFocusSharpen = 4, kFocusEdgeBlur = 8 };

// The order in which mode 1..15 runs its steps (zero-terminated); null for any other mode.
const int16_t* FocusChain(int16_t focusMode);
