// The photo-tessellation record: a head (symmetry type, tile source, tile sets in use), and
// sixteen tile sets, each a tile-image file reference, a colour ramp and a TessInfo
// (enable flag, warp mode, colour shift, offset, bleed, the tile's source quad and the base
// quad's place in the picture).
//
// Stored (preset file 'hPts', and the script's tessellation block), 105,124 bytes: the head
// (36), the sixteen file references (538 each), the sixteen ramps (1,794 each, one after
// the other) and the sixteen TessInfo (4,236 each: 35 words, then 4,096 reserved bytes that
// nothing reads; written as zeros). Numbers little-endian, every word 0 a byte-order flag.
//
// Source quads are in thousandths of the tile source, y upward from the bottom edge; base
// quads in percent of the rendered rectangle, y upward as well.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kTessSets = 16;
inline constexpr int32_t kTessHeadWords = 9;
inline constexpr int32_t kTessInfoWords = 35;  // the words that carry settings

// Head words.
enum : int32_t {
  kTessSymmetry = 2,    // 1..17; 0 or above 17 makes no effective quads
  kTessTileSource = 3,  // 0 picture, 1 generated colour, 2 and 3 tile files, 4 flat colours
  kTessSetsInUse = 4,
  kTessCurrentSet = 5,  // 0-based, the tile set the dialog edits
};

// TessInfo words.
enum : int32_t {
  kTessEnabled = 2,
  kTessWarpMode = 3,     // low 16 bits go to the quad warp
  kTessColourShift = 8,  // 8..10: hue, saturation, lightness
  kTessOffset = 11,      // 11, 12: percent of the tile, rolled with wrap-around
  kTessBleed = 13,       // 13, 14: percent, 100 = none
  kTessSourceX = 17,     // 17..20: corners 0..3
  kTessSourceY = 21,     // 21..24
  kTessBaseX = 27,       // 27..30
  kTessBaseY = 31,       // 31..34
};

struct TessInfo1 {
  int32_t w[kTessHeadWords] = {};

  static constexpr int32_t kStoredSize = 36;
};

struct TessInfo {
  int32_t w[kTessInfoWords] = {};

  static constexpr int32_t kStoredSize = 4236;
};

struct TessPar {
  TessInfo1 head;  // its word 0 is the record's byte-order flag
  fichier tiles[kTessSets];
  LutVign ramps[kTessSets];
  TessInfo sets[kTessSets];

  static constexpr int32_t kStoredSize = 105124;
};

template <class V>
void VisitRecord(V& v, TessInfo1& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], kTessHeadWords - 1);
}

template <class V>
void VisitRecord(V& v, TessInfo& r) {
  // A tile set's own flag follows the record's; it decides nothing.
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kTessInfoWords - 1);
  v.reserved(TessInfo::kStoredSize - 4 * kTessInfoWords);
}

template <class V>
void VisitRecord(V& v, TessPar& r) {
  VisitRecord(v, r.head);
  for (fichier& f : r.tiles) v.fic(f);
  for (LutVign& ramp : r.ramps) VisitRecord(v, ramp);
  for (TessInfo& info : r.sets) VisitRecord(v, info);
}

void Init_TessInfo1(TessInfo1* head);
void Copy_TessInfo1(const TessInfo1* source, TessInfo1* destination);
// Words 0 and 1 always; general 1: words 2..14; quad 1: the source quad; place 1: the base
// quad.
void Init_TessInfo(TessInfo* info, int16_t general, int16_t quad, int16_t place);
// Words 0 and 1, then group 0 all of groups 1-6, 1 enabled, 2 warp mode, 3 colour shift,
// 4 offset, 5 words 15..34 (quads), 6 bleed; above 6 nothing more. Words 4..7 never.
void Copy_TessInfo(const TessInfo* source, TessInfo* destination, int16_t group);
// The default source quad of symmetry `type` into tile set `index` (0..15); index -1 sets
// tile set 0 and spreads its source quad to all sixteen. Types 0 and above 17 set nothing.
void Init_TessParQuad(TessPar* record, int16_t type, int16_t index);
// Head defaults; files 1: the sixteen default tile references; ramps 1: ramps 0..11 get
// the twelve default colours (12..15 untouched); every tile set Init_TessInfo(1, 1, 1).
void Init_TessPar(TessPar* record, int16_t files, int16_t unused, int16_t ramps);
void Copy_TessPar(const TessPar* source, TessPar* destination);
// The copy of a record of this layout (this engine's or the twin's): head, tile references,
// ramps, and every set as Copy_TessInfo with group 0.
template <class P>
void CopyTessLayout(const P* source, P* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  Copy_TessInfo1(&source->head, &destination->head);
  for (int k = 0; k < kTessSets; ++k) {
    Copy_FicStruct(&source->tiles[k], &destination->tiles[k]);
    Copy_LutVign(&source->ramps[k], &destination->ramps[k]);
  }
  for (int k = 0; k < kTessSets; ++k) Copy_TessInfo(&source->sets[k], &destination->sets[k], 0);
}
// A preset file's copy: every word, words 4..7 of each tile set included.
template <class P>
void WholeTessCopy(const P* source, P* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}
void SwapTessInfo1(TessInfo1* head, int16_t direction, int16_t force);
void SwapTessInfo(TessInfo* info, int16_t direction, int16_t force);
void SwapTessPar(TessPar* record, int16_t direction, int16_t force);
// Modes 0-3 of the preset convention, type 'hPts'.
int16_t Do_ATessPar_file(int16_t mode, FSSpec spec, TessPar* record);

// Shared by both tessellation families.
// The twelve default ramps into ramps 0..11 (opaque, one flat colour each).
void SetDefaultTessRamps(LutVign* ramps);
// The default source quad of symmetry `type` into words 17..24 of a tile set; false (words
// untouched) for types 0 and above 17.
bool SetDefaultSourceQuad(int32_t* words, int16_t type);
