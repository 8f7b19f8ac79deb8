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
//
// Masks: two arrays of signed 16-bit values, (maskWidth + 1) x (maskHeight + 1)
// entries each, the mask proper being the first maskWidth x maskHeight entries
// row by row, bottom row of the picture first. The record owns them; they come
// from plat::NewPtr, so their real size can always be told, and whoever frees
// a record frees its masks first (Dele_YoxelMsk).
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/core/file_records.h"

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

// The stored field list (see engines/records/param_record.h).
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

// Defaults of every word. Mask mode 0 sets both mask references to none without freeing
// (for a record whose references are copies of another's); 1 frees both masks and makes
// them anew filled with 0 (Init_YoxelMsk); other modes leave them. A kind of 8 leaves
// twoStage as it was.
void Init_YoxelPar(YoxelPar* record, int32_t width, int32_t height, int32_t resolution,
                   int32_t maskMode, int32_t kind);
// Makes each missing mask (and remakes one too small for the record's mask size), then
// fills every entry of both, the spare row and column included, with `value`. Stops at
// the first mask it cannot allocate, which stays absent.
void Init_YoxelMsk(YoxelPar* record, int16_t value);
// Frees both masks and sets the references to none.
void Dele_YoxelMsk(YoxelPar* record);
// Copies words 0-45 and 48-55 (the mask size included), then the masks' contents
// (Copy_YoxelMsk); the destination keeps its own mask arrays.
void Copy_YoxelPar(const YoxelPar* source, YoxelPar* destination);
// For each source mask that exists: makes the destination's mask when it is absent or
// too small, then copies width x height entries. A missing source mask leaves the
// destination's as it was; an allocation failure stops there.
void Copy_YoxelMsk(YoxelPar* destination, int32_t width, int32_t height, const int16_t* protect,
                   const int16_t* remove);
// Converts words 1-45 and 48-55; never the mask references.
void SwapYoxelPar(YoxelPar* record, int16_t direction, int16_t force);

// The 'hYxl' preset: mode 0 open dialog ("Load a New Yoxel..."), 1 save dialog, 2 read
// and 3 write the given file, others nothing (0). Callers pass the record's own mask
// size and masks (blocks as above) with withMasks 1.
//
// File: the record block (4316 bytes; words 46-47 and bytes 224-4315 zero), mask width W
// at 4316 and height H at 4320, the protect stream's word count Lp at 4324 and its words
// at 4328, the remove stream's count at 4328 + 4 Lp and its words after it; every word
// little-endian; each stream codes W x H entries as (count, value) runs.
//
// A read keeps the record's picture width, height and resolution and its mask size (the
// masks keep their arrays: a stored mask of another size is resampled into them by
// nearest sample). Everything is checked before anything is taken: a short file, a
// stream longer than its file or with runs beyond W x H, or masks too small for the
// size passed, gives -1 with the record and masks untouched. A missing mask is written
// as a mask of zeros.
int16_t Do_AYoxel_file(int16_t mode, FSSpec spec, YoxelPar* record, int16_t withMasks,
                       int32_t maskWidth, int32_t maskHeight, int16_t* protect, int16_t* remove);

// Holder of one record: the record comes from the block registry zeroed, with no masks
// (callers then call Init_YoxelPar); destruction frees the protect mask,
// the remove mask, then the record. When the registry has no block to give, par is null.
class Yoxel {
 public:
  Yoxel();
  ~Yoxel();
  Yoxel(const Yoxel&) = delete;
  Yoxel& operator=(const Yoxel&) = delete;

  YoxelPar* par = nullptr;
};
