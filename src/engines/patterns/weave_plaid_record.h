// The weave and plaid record: two strip formulas (the colour sequences of the threads running
// one way and the other), two palettes of sixteen colours, two weave patterns (which thread
// lies on top at each crossing), two free-strip lists, two colour ramps and two file
// references. The weave-pattern and plaid dialogs edit it; the weave engine renders it.
//
// Two preset files: the weave file ('hWea') holds one WeaveInfo as it is stored, the plaid
// file ('hPld') the whole record in ten sections at fixed offsets. In the plaid file the
// second weave begins six bytes before the first one's end (over its reserved tail), so the
// file is six bytes shorter than the record's stored form inside a script.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kWeaveSide = 128;

// A weave pattern of up to 128 x 128 cells; a cell's value says which thread is on top.
struct WeaveInfo {
  uint8_t byteOrder = 0;
  uint8_t version = 0;  // 2; 1 or below marks a record from before the second weave
  int16_t word2 = 0;    // 1; read by no engine
  int16_t columns = 0;  // 1..128
  int16_t rows = 0;     // 1..128
  int16_t word8 = 0;    // 100; read by no engine
  int16_t word10 = 0;   // travel with the record
  int16_t word12 = 0;
  uint8_t cells[kWeaveSide][kWeaveSide] = {};  // [row][column]

  static constexpr int32_t kStoredSize = 17720;
};

inline constexpr int32_t kWeaveReserved = 1322;

// `ownFile`: the weave is a file of its own, whose flag decides the order of its numbers;
// inside the plaid record the record's flag does. `reserved` is its stored tail.
template <class V>
void VisitWeave(V& v, WeaveInfo& r, bool ownFile, size_t reserved) {
  if (ownFile)
    v.flag8(r.byteOrder);
  else
    v.innerFlag8(r.byteOrder);
  v.bytes(&r.version, 1);
  v.i16(r.word2);
  v.i16(r.columns);
  v.i16(r.rows);
  v.i16(r.word8);
  v.i16(r.word10);
  v.i16(r.word12);
  v.bytes(r.cells, sizeof r.cells);
  v.reserved(reserved);
}

template <class V>
void VisitRecord(V& v, WeaveInfo& r) {
  VisitWeave(v, r, true, kWeaveReserved);
}

inline constexpr int32_t kFreeStrips = 256;

// A list of up to 256 free strips.
struct WWInfo {
  int32_t byteOrder = 0;
  int32_t word4 = 0;  // 3; read by no engine
  int32_t selected = 0;    // the strip the preview's pick chose; read by no engine
  int32_t stripCount = 0;  // strips in use
  int32_t cumulative = 0;  // 1: widths are running end positions
  int32_t stripOn[kFreeStrips] = {};
  int32_t stripWidth[kFreeStrips] = {};
  int32_t stripColour[kFreeStrips] = {};  // palette index

  static constexpr int32_t kStoredSize = 16008;
};

template <class V>
void VisitRecord(V& v, WWInfo& r) {
  v.innerFlag(r.byteOrder);
  v.i32(r.word4);
  v.i32(r.selected);
  v.i32(r.stripCount);
  v.i32(r.cumulative);
  v.i32s(r.stripOn, kFreeStrips);
  v.i32s(r.stripWidth, kFreeStrips);
  v.i32s(r.stripColour, kFreeStrips);
  v.reserved(WWInfo::kStoredSize - 20 - 3 * 4 * kFreeStrips);
}

inline constexpr int32_t kPlaidColours = 16;
inline constexpr int32_t kFormulaSize = 256;

struct PlaidPar {
  uint8_t byteOrder = 0;
  uint8_t version = 0;  // 3
  // 0 both thread sets from strips, 1 rows from strips and columns from ramp2, 2 rows from
  // ramp1 and columns from strips, 3 both from the ramps.
  int16_t threadSource = 0;
  int16_t head4 = 0;
  int16_t lineMode = 0;   // how a strip line is laid out
  int16_t sameWeave = 0;  // 1: both thread sets use weave1
  int16_t rowsWoven = 0;  // 1: row threads only where the weave says so
  int16_t colsWoven = 0;
  int16_t head14 = 0;
  // 0 both sets from the formulas, 1 columns from free1, 2 rows from free2, 3 both free.
  int16_t freeMode = 0;
  int16_t rowAngle = 0;  // degrees
  int16_t colAngle = 0;  // degrees, less 90
  int16_t threadHeight = 0;  // pixel rows per weave cell
  int16_t threadWidth = 0;   // pixel columns per weave cell
  int16_t rowRepeats = 0;
  int16_t colRepeats = 0;
  fichier file1;
  fichier file2;
  LutVign ramp1;
  LutVign ramp2;
  int32_t shade1 = 0;
  int32_t shade2 = 0;
  // Parallel arrays: red, green, blue and two further bytes per entry.
  uint8_t paletteA[5][kPlaidColours] = {};
  uint8_t paletteB[5][kPlaidColours] = {};
  char formula1[kFormulaSize] = {};  // zero-terminated
  char formula2[kFormulaSize] = {};
  WeaveInfo weave1;
  WeaveInfo weave2;
  WWInfo free1;
  WWInfo free2;

  // Stored inside a script: the head, both file records, and the rest whole.
  static constexpr int32_t kStoredSize = 72830;
};

// The head: the flag, the version and the fourteen 16-bit values.
template <class V>
void VisitPlaidHead(V& v, PlaidPar& r) {
  v.flag8(r.byteOrder);
  v.bytes(&r.version, 1);
  v.i16(r.threadSource);
  v.i16(r.head4);
  v.i16(r.lineMode);
  v.i16(r.sameWeave);
  v.i16(r.rowsWoven);
  v.i16(r.colsWoven);
  v.i16(r.head14);
  v.i16(r.freeMode);
  v.i16(r.rowAngle);
  v.i16(r.colAngle);
  v.i16(r.threadHeight);
  v.i16(r.threadWidth);
  v.i16(r.rowRepeats);
  v.i16(r.colRepeats);
}

// Everything from the first ramp on. The ramps are stored as they lie in memory, never
// converted (on a little-endian host their bytes are the same either way).
template <class V>
void VisitPlaidBody(V& v, PlaidPar& r, bool fileForm) {
  static_assert(sizeof(LutVign) == LutVign::kStoredSize, "a ramp is stored as it lies");
  v.bytes(&r.ramp1, sizeof r.ramp1);
  v.bytes(&r.ramp2, sizeof r.ramp2);
  v.i32(r.shade1);
  v.i32(r.shade2);
  v.bytes(r.paletteA, sizeof r.paletteA);
  v.bytes(r.paletteB, sizeof r.paletteB);
  v.bytes(r.formula1, sizeof r.formula1);
  v.bytes(r.formula2, sizeof r.formula2);
  VisitWeave(v, r.weave1, false, fileForm ? kWeaveReserved - 6 : kWeaveReserved);
  VisitWeave(v, r.weave2, false, kWeaveReserved);
  VisitRecord(v, r.free1);
  VisitRecord(v, r.free2);
}

// `fileForm`: the plaid preset file, in which the first weave loses its last six bytes.
template <class V>
void VisitPlaid(V& v, PlaidPar& r, bool fileForm) {
  VisitPlaidHead(v, r);
  v.fic(r.file1);
  v.fic(r.file2);
  VisitPlaidBody(v, r, fileForm);
}

template <class V>
void VisitRecord(V& v, PlaidPar& r) {
  VisitPlaid(v, r, false);
}

// The plaid preset file's form of the record.
struct PlaidParFile {
  PlaidPar plaid;
  static constexpr int32_t kStoredSize = 72824;
};

template <class V>
void VisitRecord(V& v, PlaidParFile& r) {
  VisitPlaid(v, r.plaid, true);
}

// Cells: 1 at every even column of every even row, 0 elsewhere.
void Init_WeaveInfo(WeaveInfo* weave, int16_t columns, int16_t rows);
void Init_WWInfo(WWInfo* strips);
// keepFiles 0 empties both file references' names and paths.
void Init_PlaidPar(PlaidPar* record, int16_t keepFiles);

void Copy_WWInfo(const WWInfo* source, WWInfo* destination);
// Always the flag, version and the values at 2 and 8; then by `how`: 0 sizes and cells;
// 1 cells holding 1 take the source pattern repeated, 2 cells holding 0 likewise; 3 resize
// to the source's size; 4 mirror left to right; 5 top to bottom; 6 transpose.
void Copy_WeaveInfo(const WeaveInfo* source, WeaveInfo* destination, int16_t how);
void Copy_PlaidPar(const PlaidPar* source, PlaidPar* destination);
// Palettes: 0 both, 1 A, 2 B, 3 source A into destination B, 4 source B into destination A,
// 5 source A and destination B exchanged.
void Copy_ColPlaidPar(int16_t how, PlaidPar* source, PlaidPar* destination);
// Palette B by (h1, s1, l1), palette A by (h2, s2, l2).
void AdjHSV_ColPlaidPar(PlaidPar* record, int16_t h1, int16_t s1, int16_t l1, int16_t h2,
                        int16_t s2, int16_t l2);
// Random colours in 0..254: which 1 palette B, 2 palette A, 3 B then A.
void Rand_ColPlaidPar(PlaidPar* record, int16_t which);

void SwapWeaveInfo(WeaveInfo* weave, int16_t direction, int16_t force);
void SwapWWInfo(WWInfo* strips, int16_t direction, int16_t force);
// The head's fourteen values (SwapPlaidInfo1) and everything from the first ramp on
// except the ramps (SwapPlaidInfo2); SwapPlaidPar is the one, then the other.
void SwapPlaidInfo1(PlaidPar* record, int16_t direction, int16_t force);
void SwapPlaidInfo2(PlaidPar* record, int16_t direction, int16_t force);
void SwapPlaidPar(PlaidPar* record, int16_t direction, int16_t force);

// Modes 0 to 2, type 'hWea'.
int16_t Do_AWeaveInfo_file(int16_t mode, FSSpec spec, WeaveInfo* weave);
// Modes 0 to 3, type 'hPld'. A file from before the second weave gets weave2 = weave1.
int16_t Do_APlaidPar_file(int16_t mode, FSSpec spec, PlaidPar* record);
