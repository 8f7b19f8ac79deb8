// The colour-matrix engine object: it holds its own copy of a ColMatPar, taken from the
// session's registry when it is made and returned when it goes. The script fills it from an
// operation (SetColMatVal), the previews from a whole record (SetColMatPar).
#pragma once

#include <cstdint>

#include "engines/correction/colour_matrix.h"

class MiscColMat {
 public:

  // Copy the fields Copy_ColMatPar copies into and out of the engine's record.
  void SetColMatPar(const ColMatPar* record);
  void GetColMatPar(ColMatPar* record) const;
  // The operation's 1089 cells and its render settings; the drawing state stays.
  void SetColMatVal(const int32_t* cells, int16_t noise, int16_t shift1, int16_t shift2,
                    int16_t shift3, int16_t contrast);

  // Stretches the 33 x 33 cells over the inclusive area of `pixels` (4 bytes each, byte c =
  // channel c, `channels` 1 or 4) and blends the dithered values in. 0, or -1 for an empty
  // area or no memory (pixels as they were).
  int32_t ProcessVignette1(int16_t blendMode, int16_t opacity, int16_t channels, int32_t height,
                           int32_t width, uint32_t* pixels, const uint8_t* mask, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, const uint32_t* cells,
                           int16_t deviation);
  // The same on four separate planes (red, green, blue, fourth).
  int32_t ProcessVignette4(int16_t blendMode, int16_t opacity, int16_t channels, int32_t height,
                           int32_t width, uint8_t* red, uint8_t* green, uint8_t* blue,
                           uint8_t* fourth, const uint8_t* mask, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, const uint32_t* cells,
                           int16_t deviation);
  // Renders the record into the planes (area right and bottom exclusive; the host rectangle
  // inclusive). `fill` is what source 1 puts into a single plane; the two longs after the
  // area are not read.
  void FillBuf(int16_t planes, int16_t blendMode, int16_t opacity, int16_t source, int16_t apply,
               int16_t fill, int32_t left, int32_t top, int32_t right, int32_t bottom,
               int32_t unused1, int32_t unused2, int32_t photoLeft, int32_t photoTop,
               int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY, int32_t width,
               int32_t height, uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* fourth,
               const uint8_t* mask);

  // Null when the registry had no room; the engine then renders nothing.
  ColMatPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<ColMatPar> par_;
};
