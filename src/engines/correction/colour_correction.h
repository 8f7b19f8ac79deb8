// The one record of the four colour-correction effects: noise reduction (103), smoothing
// (104), focus (105) and channel mixing (119). Word 17 names the effect; each effect reads
// only its own words, and a preset file of one effect (one file type per effect) changes
// only those words of the record it is loaded into.
//
// The record is a block of signed 32-bit words addressed by index: words 0 to 5016 are
// defined; the rest of its 28228 stored bytes is reserved and is neither kept nor
// converted. Which curve belongs to which channel is the engine's business.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "platform/types/mac_types.h"

inline constexpr int32_t kColCorWords = 5017;  // defined words 0..5016

// Word indexes.
enum : int32_t {
  kCCVersion = 1,
  kCCWidth = 2,
  kCCHeight = 3,
  kCCResolution = 4,
  kCCKind = 17,         // 103, 104, 105 or 119
  kCCMixPercent = 18,
  kCCMatrix = 24,       // five rows of four words: 24, 28, 32, 36, 40
  kCCArrays = 44,       // 59 arrays of 32 entries
  kCCArrayOne = 1932,   // array whose entry 0 is 1
  kCCArrayOnes = 1964,  // array of ones
  kCCUnsetArrays = 1999,
  kCCOnesArrays = 2383,  // 24 arrays of ones, up to 3150
  kCCTables = 3151,      // curve 4, 3, 2, 1: 256 entries each
  kCCPoints = 4175,      // curve 4, 3, 2, 1: 101 entries each (-200 = no point)
  kCCMorePoints = 4579,  // four further lists, never copied
  kCCFocusMode = 4983,
  kCCFocus = 4991,       // deblur, denoise, sharpen, edge blur interleaved, 16 words
  kCCSmoothing = 5007,   // 6 words
  kCCNoise = 5013,       // 4 words
};

struct ColCorPar {
  int32_t w[kColCorWords] = {};

  static constexpr int32_t kStoredSize = 28228;
};

template <class V>
void VisitRecord(V& v, ColCorPar& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], kColCorWords - 1);
  v.reserved(ColCorPar::kStoredSize - 4 * kColCorWords);
}

// Index of curve n's (1 to 4) look-up table and point list.
inline constexpr int32_t ColCorTable(int n) { return kCCTables + 256 * (4 - n); }
inline constexpr int32_t ColCorPoints(int n) { return kCCPoints + 101 * (4 - n); }

// part 0 all, 1 matrix, 2 the 32-entry arrays, 3 curves (curve 0 all four, 1-4 that one);
// the head and the single words are written whatever the part.
void Init_ColCorPar(ColCorPar* record, int32_t width, int32_t height, int32_t resolution,
                    int16_t kind, int16_t part, int16_t curve);
// Always words 0-23, 1996-1998, 4983, 4988-5016; part 0/1 the matrix, 0/2 the arrays,
// 0/3 the curves: how 0 all four as they are, how 1-4 that source curve into destination
// curve `which` (1-4) or into all four when which is 0.
void Copy_ColCorPar(const ColCorPar* source, ColCorPar* destination, int16_t part, int16_t how,
                    int16_t which);
void SwapColCorPar(ColCorPar* record, int16_t direction, int16_t force);
// Preset file of effect `kind` (103 'Sse4', 104 'Sse5', 105 'Sse3', 119 'Sse2'); modes 0-2.
int16_t Do_AColCor_file(int16_t mode, FSSpec spec, ColCorPar* record, int16_t kind);

// The file type of an effect's presets (0 for any other number).
OSType ColCorFileType(int16_t kind);
