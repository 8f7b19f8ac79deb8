// The content-aware resize record: resize method, the source, target and
// middle rectangles in picture fractions, the seam-carving settings, the
// fill of the uncovered area and the two painted masks (protect, remove).
//
// Stored, it is a block of 4316 bytes whose words 0-55 are signed 32-bit
// fields; the rest of the block carries nothing (written as zeros, skipped on
// reading). Words 46 and 47 name the two masks in memory and are stored as 0:
// a pointer does not fit a 32-bit word here, so the references are kept
// beside the words (protectMask, removeMask), outside the field list, and the
// stored layout stays as it was. Conversion never touches them either.
//
// Quads are eight words: x of corners 0-3, then their y, in 1/100000 of the
// picture's width and height, y measured upward from the bottom edge.
#pragma once

#include <cstddef>
#include <cstdint>

struct YoxelPar {
  static constexpr int32_t kStoredSize = 4316;

  int32_t byteOrderFlag = 0;  // 0: numbers in big-endian order, 1: little-endian
  int32_t recordVersion = 0;
  int32_t imageWidth = 0;  // picture width and height in pixels
  int32_t imageHeight = 0;
  int32_t imageResolution = 0;
  int32_t overlayOn = 0;  // preview overlay; not read by the engine
  int32_t overlayIndex = 0;
  int32_t overlayOpacity = 0;  // 0..255
  int32_t word8 = 0;           // not read
  int32_t resizeMethod = 0;    // 0-7 resampling filter, 8 content-aware
  int32_t sourceQuad[8] = {};  // rectangle that is resized
  int32_t targetQuad[8] = {};  // rectangle that receives the result
  int32_t middleQuad[8] = {};  // intermediate size of a two-stage run
  int32_t noiseAmount = 0;     // low 16 bits used
  int32_t sharpenAmount = 0;   // low 16 bits used
  int32_t fillMode = 0;        // 1 black, 2 fill colour, other: keep the picture
  int32_t fillRed = 0;         // low byte used
  int32_t fillGreen = 0;
  int32_t fillBlue = 0;
  int32_t twoStage = 0;  // 1: source -> middle -> target
  int32_t energySpread = 0;
  int32_t contrast = 0;
  int32_t edgeKernel = 0;
  int32_t maskWidth = 0;
  int32_t maskHeight = 0;
  int32_t maskWords[2] = {};  // stored as 0; see protectMask and removeMask
  int32_t protectWeight = 0;
  int32_t removeWeight = 0;
  int32_t dialogSettings[5] = {};
  int32_t flipMode = 0;  // 0 none, 1 mirror columns, 2 mirror rows, 3 both

  // Owned masks of (maskWidth + 1) x (maskHeight + 1) signed 16-bit values,
  // or null. Words 46 and 47 of the stored record.
  int16_t* protectMask = nullptr;
  int16_t* removeMask = nullptr;
};

static_assert(offsetof(YoxelPar, resizeMethod) == 9 * 4);
static_assert(offsetof(YoxelPar, sourceQuad) == 10 * 4);
static_assert(offsetof(YoxelPar, targetQuad) == 18 * 4);
static_assert(offsetof(YoxelPar, middleQuad) == 26 * 4);
static_assert(offsetof(YoxelPar, noiseAmount) == 34 * 4);
static_assert(offsetof(YoxelPar, twoStage) == 40 * 4);
static_assert(offsetof(YoxelPar, maskWidth) == 44 * 4);
static_assert(offsetof(YoxelPar, maskWords) == 46 * 4);
static_assert(offsetof(YoxelPar, protectWeight) == 48 * 4);
static_assert(offsetof(YoxelPar, dialogSettings) == 50 * 4);
static_assert(offsetof(YoxelPar, flipMode) == 55 * 4);

// The stored field list (see engines/param_record.h).
template <class V>
void VisitRecord(V& v, YoxelPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.recordVersion);
  v.i32(r.imageWidth);
  v.i32(r.imageHeight);
  v.i32(r.imageResolution);
  v.i32(r.overlayOn);
  v.i32(r.overlayIndex);
  v.i32(r.overlayOpacity);
  v.i32(r.word8);
  v.i32(r.resizeMethod);
  v.i32s(r.sourceQuad, 8);
  v.i32s(r.targetQuad, 8);
  v.i32s(r.middleQuad, 8);
  v.i32(r.noiseAmount);
  v.i32(r.sharpenAmount);
  v.i32(r.fillMode);
  v.i32(r.fillRed);
  v.i32(r.fillGreen);
  v.i32(r.fillBlue);
  v.i32(r.twoStage);
  v.i32(r.energySpread);
  v.i32(r.contrast);
  v.i32(r.edgeKernel);
  v.i32(r.maskWidth);
  v.i32(r.maskHeight);
  v.reserved(8);  // words 46-47: the mask references
  v.i32(r.protectWeight);
  v.i32(r.removeWeight);
  v.i32s(r.dialogSettings, 5);
  v.i32(r.flipMode);
  v.reserved(YoxelPar::kStoredSize - 56 * 4);
}
