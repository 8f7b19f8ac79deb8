// The lens-correction engine: a warp frame corrected by the record's distortion, size,
// rotation and perspective, turned into a cell-by-cell quad remapping of the image, with the
// displacement optionally scaled per channel against colour fringes and the light fall-off
// compensated, then blended into the caller's planes.
#pragma once

#include <cstdint>

#include "engines/correction/lens_correction.h"
#include "raster/warp_frame_record.h"

class MiscZondrac {
 public:
  MiscZondrac() = default;
  MiscZondrac(const MiscZondrac&) = delete;
  MiscZondrac& operator=(const MiscZondrac&) = delete;

  void SetZondracPar(const ZondracPar* record);
  void GetZondracPar(ZondracPar* record) const;

  // The corrected frame: a regular lattice of `cells` x `cells` over frameWidth x frameHeight
  // in the first node set, and in the second the same lattice sized, turned, bent and pulled
  // in perspective by the record (the image size gives the scale of the record's values).
  // -1, the frame regular, when the scratch frame cannot be had.
  int32_t PrepareGrid(TCWrap* grid, int32_t frameWidth, int32_t frameHeight, int32_t imageWidth,
                      int32_t imageHeight, int32_t cells, int32_t lastRow);
  // Remaps the source planes cell by cell into the destination planes (makeMaps 0) or into the
  // two displacement maps (row pointers, otherwise). Always 0.
  int32_t ValidZondrac(int16_t makeMaps, uint32_t* const* xMap, uint32_t* const* yMap,
                       int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                       int32_t windowX0, int32_t windowY0, int32_t windowX1, int32_t windowY1,
                       int32_t regionWidth, int32_t regionHeight, const uint8_t* srcR,
                       const uint8_t* srcG, const uint8_t* srcB, int32_t destWidth,
                       int32_t destHeight, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB);
  // The render call. `extra` (may be null) is warped with the image; `selection` weights the
  // strength when word 11 is 1 (none counts as 255). Result 0.
  int32_t FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                  int16_t makeMaps, int16_t apply, int32_t left, int32_t top, int32_t right,
                  int32_t bottom, int32_t imageWidth, int32_t imageHeight, int32_t windowX0,
                  int32_t windowY0, int32_t windowX1, int32_t windowY1, float scaleX,
                  float scaleY, int32_t width, int32_t height, uint8_t* red, uint8_t* green,
                  uint8_t* blue, uint8_t* fourth, uint8_t* extra, const uint8_t* selection,
                  const uint8_t* mask);

  ZondracPar* record() const { return par_.get(); }
  int32_t imageWidth() const { return imageWidth_; }
  int32_t imageHeight() const { return imageHeight_; }

 private:
  // Steps of FillBuf: the source copies warped into the destination copies, directly or
  // through displacement maps (with the fringe and fall-off corrections). True when the
  // maps were pulled through, which writes every sample of the destination copies.
  bool Warp(int16_t makeMaps, int32_t width, int32_t height, int32_t regionWidth,
            int32_t regionHeight, int32_t windowX0, int32_t windowY0, int32_t windowX1,
            int32_t windowY1, uint8_t* const* src, uint8_t* const* dst, uint8_t* extraSrc,
            uint8_t* extraDst);

  // ValidZondrac; with `neutral`, into maps not yet set, which it sets to neutral as it lays
  // the cells, telling through *neutral whether it did (not when it stopped before).
  int32_t LayCells(bool* neutral, int16_t makeMaps, uint32_t* const* xMap, uint32_t* const* yMap,
                   int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                   int32_t windowX0, int32_t windowY0, int32_t windowX1, int32_t windowY1,
                   int32_t regionWidth, int32_t regionHeight, const uint8_t* srcR,
                   const uint8_t* srcG, const uint8_t* srcB, int32_t destWidth, int32_t destHeight,
                   uint8_t* dstR, uint8_t* dstG, uint8_t* dstB);
  static void FillNeutral(uint32_t* const* xMap, uint32_t* const* yMap, int32_t width,
                          int32_t height);

  vmkrec::ScratchRecord<ZondracPar> par_;
  int32_t imageWidth_ = 0;
  int32_t imageHeight_ = 0;
};

// Brightness compensation in place: the colour matrix's default light fall-off, shifted by
// the balance, is the mask through which each channel moves toward its value + 2 x bright.
void X_CompuBright(int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
                   int32_t bottom, uint8_t* red, uint8_t* green, uint8_t* blue, int16_t brightR,
                   int16_t brightG, int16_t brightB, int16_t balance);
// Its tables: the mask's, clamp(i + 2 x balance - 200), and a channel's, clamp(i + 2 x bright).
void CompuBrightBalanceTable(int16_t balance, uint8_t* table);
void CompuBrightChannelTable(int16_t bright, uint8_t* table);
