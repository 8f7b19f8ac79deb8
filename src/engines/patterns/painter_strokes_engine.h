// The painter engine: the picture repainted as a crowd of brush strokes.
//
// A working copy of the picture (the picture itself, the picture through the head ramp, or
// one colour), blurred and contrasted when asked, takes up to eight stroke sets in turn. A
// set reads its grey brush picture resized to the reference length (the longer side of the
// edited photo), prepares up to 32 size by 32 angle variants of it, and lays s x s strokes
// (s = reference length x density / 600) at random places, coloured from the caller's
// picture there (or through the set ramp, or one colour), jittered in hue, saturation,
// lightness and opacity, optionally only near a chosen colour. A paper picture is laid over
// the copy after every set. The copy finally goes over the caller's planes at the
// operation's blend mode and opacity under the mask.
//
// Limits: size and angle counts are held to 1..32, unknown colour sources and colour modes
// count as 1, unknown size modes as 1 and rotation modes as 2, the current set as 0..7. With
// one plane, that plane stands for red, green and blue everywhere and takes the mean of the
// three working planes. Draws come from plat::Random, which the engine never seeds.
//
// A brush or paper reference left empty skips its set or paper; one that names a picture that
// cannot be read stops the rendering (-1, the caller's planes as they were, UnreadableFile
// naming it): the user chose that picture, and strokes without it are not what was asked.
#pragma once

#include <cstdint>
#include <string>

#include "engines/patterns/painter_strokes_record.h"
#include "platform/memory/block.h"

struct EngineRowCall;

class MiscStrok {
 public:
  MiscStrok();  // the copy starts at the record's defaults
  MiscStrok(const MiscStrok&) = delete;
  MiscStrok& operator=(const MiscStrok&) = delete;

  void SetStrokPar(const StrokPar* record);
  void GetStrokPar(StrokPar* record) const;

  // Rectangle with exclusive right and bottom. `source` 1 fills the planes white first (only
  // plane0 with one plane); `apply` 0 stops there. `showSelection` 1 writes the current
  // set's colour selection into the planes instead of the strokes. 0, or -1 when the record
  // copy or a work buffer cannot be had (the planes then keep what they held).
  int32_t FillBuf(int16_t apply, int16_t showSelection, int16_t source, int16_t planeCount,
                  int16_t blendMode, int16_t opacity, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, uint8_t* plane0, uint8_t* plane1,
                  uint8_t* plane2, const uint8_t* mask);

  StrokPar* record() const { return par_.get(); }
  // The brush or paper picture the record names that the last FillBuf could not read (it
  // then answered -1); empty otherwise.
  const std::string& UnreadableFile() const { return unreadable_; }

 private:
  plat::Block<StrokPar> par_;
  std::string unreadable_;
};

namespace vmkpat {

// A stroke's column or row from one draw: the draw cut to 16 signed bits, its remainder by
// `size` (sign of the dividend) cut to 16 bits again, read as an unsigned 32-bit number and
// reduced modulo `size`. `size` is above 0.
int32_t StrokePlace(int32_t draw, int32_t size);

// The variant a stroke takes by one of the six choice modes (count 1..32): 1 the first; 2
// by brightness, 3 by a draw, 4 by hue, 5 by saturation, 6 by lightness; never `count` or
// beyond. `draw` is only read by mode 3.
int32_t StrokeVariantIndex(int32_t mode, int32_t count, int32_t brightness, float hue,
                           float saturation100, float lightness, int32_t draw);

}  // namespace vmkpat

// The engine row of the painter effect.
int32_t RunStrokRow(const EngineRowCall& call);
