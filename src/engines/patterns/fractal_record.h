// The fractal record: a head and a table of 128 complete fractal settings (formula, iteration
// limit, bail-out, window on the complex plane, constant, colouring, blur, colour ramp). The
// fractal engine renders entry 0; the other entries travel with the record and its presets.
//
// Real values of the window and of the constant are fixed-point pairs (integer word, fraction
// word): value = (integer word - 10) + fraction word / 10,000,000. The offset of 10 keeps the
// fraction non-negative for negative values: -0.3 is (9, 7,000,000), 1.58 is (11, 5,800,000).
//
// Preset files ('hFra', 775,688 bytes) hold the record as it is stored: the head, then each
// entry with its 4,134 reserved bytes written as zeros.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kFractEntries = 128;
inline constexpr int32_t kFractInfoWords = 33;  // words 0..32

// Word indexes of an entry.
enum : int32_t {
  kFraVersion = 1,
  kFraEntryFlag = 2,    // 1 in the first entry of a new record; not read by the engine
  kFraOpacity = 3,      // percent
  kFraBlur = 4,         // 0 none, 1..6 strength 32 x level, 7 and more strength 255
  kFraColourMode = 5,   // low 16 bits
  kFraType = 6,         // formula number, low 16 bits
  kFraIterations = 7,
  kFraColourScale = 8,  // smooth escape count to colour index
  kFraColourShift = 9,  // low 16 bits
  kFraBailOut = 10,     // escape when the squared modulus exceeds this
  kFraWindowLeft = 12,  // fixed-point pairs from here on
  kFraWindowRight = 14,
  kFraWindowTop = 16,
  kFraWindowBottom = 18,
  kFraConstRe = 20,
  kFraConstIm = 22,
  kFraWord24 = 24,      // 1; not read by the engine
  kFraExtras = 25,      // eight words in ten-thousandths, not read by the engine
};

struct FractInfo {
  int32_t w[kFractInfoWords] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 6060;
};

template <class V>
void VisitRecord(V& v, FractInfo& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kFractInfoWords - 1);
  VisitRecord(v, r.ramp);
  v.reserved(FractInfo::kStoredSize - 4 * kFractInfoWords - LutVign::kStoredSize);
}

struct FractPar {
  int32_t byteOrder = 0;
  int32_t head = 0;  // 1 in a new record; not read by the engine
  FractInfo entries[kFractEntries];

  static constexpr int32_t kStoredSize = 8 + kFractEntries * FractInfo::kStoredSize;
};

template <class V>
void VisitRecord(V& v, FractPar& r) {
  v.flag(r.byteOrder);
  v.i32(r.head);
  for (FractInfo& e : r.entries) VisitRecord(v, e);
}

// The real value of the fixed-point pair at words[0], words[1] (double precision).
double FractFixedValue(const int32_t* words);
// Stores `value` as a fixed-point pair at words[0], words[1], the fraction rounded to the
// nearest unit.
void SetFractFixed(int32_t* words, double value);

// Defaults of an entry. The colour scale and the constant depend on `type` and are written
// only for types 1 to 31; the eight extra words only when `fillExtras` is 1. The ramp is
// always reset (preset 0).
void Init_FractInfo(FractInfo* info, int32_t entryFlag, int32_t type, int16_t fillExtras);
// Entry 0 of `type` (entry flag 1), entries 1..127 of type 1 (entry flag 0).
void Init_FractPar(FractPar* record, int16_t type, int16_t unused);
// Words 0..32 and the ramp.
void Copy_FractInfo(const FractInfo* source, FractInfo* destination);
void Copy_FractPar(const FractPar* source, FractPar* destination);
void SwapFractInfo(FractInfo* info, int16_t direction, int16_t force);
void SwapFractPar(FractPar* record, int16_t direction, int16_t force);
// Modes 0 to 3 of the preset convention, type 'hFra'.
int16_t Do_AFract_file(int16_t mode, FSSpec spec, FractPar* record);
