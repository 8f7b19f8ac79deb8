// The photo-repeat record: a grid of up to 24 x 24 cells, each pasting a transformed copy
// of the tile picture (file reference 0, or the picture itself) when it is on.
//
// In memory, in this order: word 0 (byte-order flag), word 1 (2), the grid head RepInfo1,
// 576 RepInfo cells (index row + column x rowCount: the cells of one column follow each
// other), the SymmInfo tables, 16 tile file references and 16 colour ramps. The grid head
// and every cell carry a 1,024-byte block that nothing reads; it is kept as read (zeros
// from Init_) so a file read and written again is the same file. Only file reference 0 is
// used; the SymmInfo tables are carried, copied, converted and stored, the ramps carried
// as the bytes they were stored as.
//
// The preset file ('hPre', 711,884 bytes, little-endian) orders the sections differently
// from memory: words 0 and 1, the grid head, the file references (538 bytes each), the
// ramps, the cells, the SymmInfo.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "engines/records/preset_file.h"
#include "script/lut_vign.h"

inline constexpr int32_t kRepMaxSide = 24;
inline constexpr int32_t kRepCells = kRepMaxSide * kRepMaxSide;  // 576
inline constexpr int32_t kRepFiles = 16;
inline constexpr int32_t kRepHeadWords = 71;
inline constexpr int32_t kRepCellWords = 31;
inline constexpr int32_t kSymmWords = 3002;
inline constexpr int32_t kRepReservedBlock = 1024;

// Grid-head words.
enum : int32_t {
  kRepSelCell = 4,  // row x column count + column of the preview's pick; read by no engine
  kRepSelColumn = 5,
  kRepSelRow = 6,
  kRepColumnCount = 7,
  kRepRowCount = 8,
  kRepColourCells = 9,
  kRepTileSource = 10,   // 1 file reference 0, 0 the picture itself
  kRepRowShift = 23,     // 24 entries, percent of the cell width
  kRepColumnShift = 47,  // 24 entries, percent of the cell height
};

// Cell words.
enum : int32_t {
  kCellOn = 2,
  kCellOrientation = 3,  // 0..7; with colourCells also the colour index
  kCellColumn = 6,
  kCellRow = 7,
  kCellScrollX = 8,
  kCellScrollY = 9,
  kCellSkewX = 10,
  kCellSkewY = 11,
  kCellOpacity = 12,     // percent
  kCellMaskMode = 13,    // 1..3
  kCellBlendMode = 14,
};

struct RepInfo1 {
  int32_t w[kRepHeadWords] = {};
  uint8_t reserved[kRepReservedBlock] = {};

  static constexpr int32_t kStoredSize = 4 * kRepHeadWords + kRepReservedBlock;  // 1308
};

struct RepInfo {
  int32_t w[kRepCellWords] = {};
  uint8_t reserved[kRepReservedBlock] = {};

  static constexpr int32_t kStoredSize = 4 * kRepCellWords + kRepReservedBlock;  // 1148
};

// Word 0 flag, words 1 and 2, three tables of 64 words, two words, eleven tables of 255.
struct SymmInfo {
  int32_t w[kSymmWords] = {};

  static constexpr int32_t kStoredSize = 4 * kSymmWords;  // 12008
};

struct RepPar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;  // 2
  RepInfo1 grid;
  RepInfo cells[kRepCells];
  SymmInfo symm;
  fichier tiles[kRepFiles];
  LutVign ramps[kRepFiles];

  static constexpr int32_t kStoredSize = 711884;
};

template <class V>
void VisitRecord(V& v, RepInfo1& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kRepHeadWords - 1);
  v.bytes(r.reserved, kRepReservedBlock);
}

template <class V>
void VisitRecord(V& v, RepInfo& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kRepCellWords - 1);
  v.bytes(r.reserved, kRepReservedBlock);
}

template <class V>
void VisitRecord(V& v, SymmInfo& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kSymmWords - 1);
}

static_assert(sizeof(LutVign) == LutVign::kStoredSize, "a ramp is carried as its bytes");

// This record's ramps stay in the byte order they were stored in: nothing here reads them.
template <class V>
void VisitRepRamps(V& v, RepPar& r) {
  for (LutVign& ramp : r.ramps) v.bytes(&ramp, LutVign::kStoredSize);
}

// The record in memory order.
template <class V>
void VisitRecord(V& v, RepPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  VisitRecord(v, r.grid);
  for (RepInfo& cell : r.cells) VisitRecord(v, cell);
  VisitRecord(v, r.symm);
  for (fichier& f : r.tiles) v.fic(f);
  VisitRepRamps(v, r);
}

// The preset file's order.
template <class V>
void VisitPresetFile(V& v, const vmkrec::PresetFormat&, RepPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  VisitRecord(v, r.grid);
  for (fichier& f : r.tiles) v.fic(f);
  VisitRepRamps(v, r);
  for (RepInfo& cell : r.cells) VisitRecord(v, cell);
  VisitRecord(v, r.symm);
}

// files 0: the sixteen default tile references (any other value leaves them); the grid
// head for columns x rows; every cell off at (-1, -1), then the cells of the grid on with
// their defaults. The SymmInfo and the ramps are left as they are.
void Init_RepPar(RepPar* record, int16_t files, int16_t columns, int16_t rows);
// Everything but the destination's words 0 and 1 (the reserved blocks too).
void Copy_RepPar(const RepPar* source, RepPar* destination);
void SwapRepPar(RepPar* record, int16_t direction, int16_t force);
// Modes 0-3 of the preset convention, type 'hPre'.
int16_t Do_ARepPar_file(int16_t mode, FSSpec spec, RepPar* record);

void Init_RepInfo1(RepInfo1* grid, int16_t columns, int16_t rows);
void Init_RepInfo(RepInfo* cell, int16_t column, int16_t row);
void Init_SymmInfo(SymmInfo* block);
void Copy_RepInfo1(const RepInfo1* source, RepInfo1* destination);
void Copy_RepInfo(const RepInfo* source, RepInfo* destination);
void Copy_SymmInfo(const SymmInfo* source, SymmInfo* destination);
void SwapRepInfo1(RepInfo1* grid, int16_t direction, int16_t force);
void SwapRepInfo(RepInfo* cell, int16_t direction, int16_t force);
void SwapSymmInfo(SymmInfo* block, int16_t direction, int16_t force);
