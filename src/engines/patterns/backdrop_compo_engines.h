// The backdrop and compo engines. Neither reads its record when it draws: both blend every
// pixel of the rectangle with its own copy at the operation's blend mode and opacity (and
// mask), which stored scripts rely on. With one plane the blend partner is the mean of three
// copies of that plane.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/patterns/backdrop_compo_records.h"
#include "platform/memory/block.h"

class MiscBackDrop {
 public:
  MiscBackDrop();
  MiscBackDrop(const MiscBackDrop&) = delete;
  MiscBackDrop& operator=(const MiscBackDrop&) = delete;

  void SetBDropPar(const BDropPar* record);
  void GetBDropPar(BDropPar* record) const;
  // Acts only on source 1. 0, or -1 when a work plane cannot be had.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  const uint8_t* mask);

 private:
  plat::Block<BDropPar> par_;
};

class MiscCompo {
 public:
  MiscCompo();
  MiscCompo(const MiscCompo&) = delete;
  MiscCompo& operator=(const MiscCompo&) = delete;

  void SetCompoPar(const CompoPar* record);
  void GetCompoPar(CompoPar* record) const;
  // Sources 1 to 3 as every engine; `apply` is not read. 0, or -1.
  int32_t FillBuf(int16_t planeCount, int16_t blendMode, int16_t opacity, int16_t source,
                  int16_t apply, int32_t left, int32_t top, int32_t right, int32_t bottom,
                  int32_t fullWidth, int32_t fullHeight, int32_t photoLeft, int32_t photoTop,
                  int32_t photoRight, int32_t photoBottom, float scaleX, float scaleY,
                  int32_t width, int32_t height, uint8_t* plane0, uint8_t* plane1,
                  uint8_t* plane2, uint8_t* plane3, const uint8_t* mask);
  // The crop (thousandths of the image) of a tile file resampled into four target planes of
  // targetB x targetA bytes; the fourth gets the image's fourth plane, 255 where the file
  // has no alpha. 0, or -1 (targets cleared) when the file or memory fails.
  int32_t LoadTileBuf(const fichier* file, int32_t cropLeft, int32_t cropTop,
                      int32_t cropRight, int32_t cropBottom, int32_t targetA, int32_t targetB,
                      uint8_t* plane0, uint8_t* plane1, uint8_t* plane2, uint8_t* plane3);

 private:
  plat::Block<CompoPar> par_;
};

namespace vmkpat {
// The shared step of the pass-through engines: copies of the planes (one plane: three copies
// of it, whose mean is the partner) blended back over the area (exclusive corners). -1 when
// the copies cannot be had.
int32_t SelfBlend(int32_t planeCount, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                  const uint8_t* mask, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int16_t blendMode,
                  int16_t opacity);
}  // namespace vmkpat
