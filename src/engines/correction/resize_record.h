// The content-aware resize record: resize method, the source, target and
// middle rectangles in picture fractions, the seam-carving settings, the
// fill of the uncovered area and the two painted masks (protect, remove).
//
// Stored, it is a block of 4316 bytes whose words 0-55 are signed 32-bit
// fields; the rest of the block carries nothing and is written as zeros.
// Words 46 and 47 name the two masks in memory and are stored as 0: a
// pointer does not fit a 32-bit word here, so the references are kept beside
// the words (protectMask, removeMask) and the stored layout stays as it was.
//
// Quads are eight words: x of corners 0-3, then their y, in 1/100000 of the
// picture's width and height, y measured upward from the bottom edge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/bytes/byte_order.h"

constexpr int32_t kYoxelParStoredSize = 4316;
constexpr int32_t kYoxelParWords = 56;

struct YoxelPar {
  int32_t byteOrderFlag;  // 0: numbers in big-endian order, 1: little-endian
  int32_t recordVersion;
  int32_t imageWidth;  // picture width and height in pixels
  int32_t imageHeight;
  int32_t imageResolution;
  int32_t overlayOn;  // preview overlay; not read by the engine
  int32_t overlayIndex;
  int32_t overlayOpacity;  // 0..255
  int32_t word8;           // not read
  int32_t resizeMethod;    // 0-7 resampling filter, 8 content-aware
  int32_t sourceQuad[8];   // rectangle that is resized
  int32_t targetQuad[8];   // rectangle that receives the result
  int32_t middleQuad[8];   // intermediate size of a two-stage run
  int32_t noiseAmount;     // low 16 bits used
  int32_t sharpenAmount;   // low 16 bits used
  int32_t fillMode;        // 1 black, 2 fill colour, other: keep the picture
  int32_t fillRed;         // low byte used
  int32_t fillGreen;
  int32_t fillBlue;
  int32_t twoStage;  // 1: source -> middle -> target
  int32_t energySpread;
  int32_t contrast;
  int32_t edgeKernel;
  int32_t maskWidth;
  int32_t maskHeight;
  int32_t maskWords[2];  // stored as 0; see protectMask and removeMask
  int32_t protectWeight;
  int32_t removeWeight;
  int32_t dialogSettings[5];
  int32_t flipMode;  // 0 none, 1 mirror columns, 2 mirror rows, 3 both

  // Owned masks of (maskWidth + 1) x (maskHeight + 1) signed 16-bit values,
  // or null. Words 46 and 47 of the stored record.
  int16_t* protectMask;
  int16_t* removeMask;
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

// Appends the 4316-byte stored block in the writer's order: word 0 tells
// that order (1 little-endian, 0 big-endian), words 46-47 and the filler are
// 0. The record itself is not changed.
void WriteYoxelParBlock(const YoxelPar& rec, plat::bytes::Writer& out);

// Reads a stored block whose word 0 tells its order (0: big-endian, else
// little-endian) into `rec`: every word but 46-47, whose mask references stay
// the caller's; word 0 becomes this host's flag. Returns 0, or -1 with `rec`
// untouched when fewer than 4316 bytes remain.
int32_t ReadYoxelParBlock(plat::bytes::Reader& in, YoxelPar& rec);
