// The image-combination record: up to 127 image files laid over the picture, each entry an
// image reference, a texture reference and its settings (placement corners, blur, emboss,
// edge colouring, texture tiling, blend mode, opacity and colour ramp). The editing dialog
// adds, moves and deletes entries with the list operations below; the count and the current
// entry change only through them and through reading a file.
//
// Stored ('hCim' preset file and the script's block), 909,336 bytes: the head and 4,096
// reserved bytes, the 128 image references, the 128 texture references (each 538 bytes,
// name and path zero-terminated), then the 128 settings blocks of 5,996 bytes.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kCombImaSlots = 128;
inline constexpr int32_t kCombImaMaxEntries = 127;

// The head.
struct CombImaInfo1 {
  int32_t byteOrder = 0;
  int32_t version = 0;
  int32_t imageWidth = 0;  // the current image's size when the record was made
  int32_t imageHeight = 0;
  int32_t count = 0;    // entries in use, 0..127
  int32_t current = 0;  // the entry the dialog works on
};

// The head's flag is the whole record's.
template <class V>
void VisitRecord(V& v, CombImaInfo1& r) {
  v.flag(r.byteOrder);
  v.i32(r.version);
  v.i32(r.imageWidth);
  v.i32(r.imageHeight);
  v.i32(r.count);
  v.i32(r.current);
}

// The settings of one entry.
struct CombImaInfo {
  int32_t byteOrder = 0;
  int32_t version = 0;
  int32_t active = 0;      // 1: the entry is drawn
  int32_t blendMode = 0;   // low 16 bits
  int32_t opacity = 0;     // percent
  int32_t blur = 0;        // radius, low 16 bits; 0 none
  int32_t emboss = 0;      // amount, low 16 bits; 0 none
  int32_t embossDirection = 0;
  int32_t edge = 0;        // amount, low 16 bits; 0 no edge colouring
  int32_t edgeColour[3] = {};  // red, green, blue in the lowest byte of each word
  int32_t carried48 = 0;   // carried with the record, read by no engine
  int32_t textureOn = 0;   // nonzero: the texture reference is laid over the entry
  int32_t textureAcross = 0;
  int32_t textureDown = 0;
  int32_t carried64 = 0;
  int32_t carried68 = 0;
  // Corners 0 to 3 in percent of the drawing rectangle, y upward from its bottom edge.
  int32_t cornerX[4] = {};
  int32_t cornerY[4] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 5996;
};

template <class V>
void VisitRecord(V& v, CombImaInfo& r) {
  v.innerFlag(r.byteOrder);
  v.i32(r.version);
  v.i32(r.active);
  v.i32(r.blendMode);
  v.i32(r.opacity);
  v.i32(r.blur);
  v.i32(r.emboss);
  v.i32(r.embossDirection);
  v.i32(r.edge);
  v.i32s(r.edgeColour, 3);
  v.i32(r.carried48);
  v.i32(r.textureOn);
  v.i32(r.textureAcross);
  v.i32(r.textureDown);
  v.i32(r.carried64);
  v.i32(r.carried68);
  v.i32s(r.cornerX, 4);
  v.i32s(r.cornerY, 4);
  VisitRecord(v, r.ramp);
  v.reserved(4098);
}

struct CombImaPar {
  CombImaInfo1 head;
  fichier images[kCombImaSlots];
  fichier textures[kCombImaSlots];
  CombImaInfo infos[kCombImaSlots];

  static constexpr int32_t kStoredSize = 909336;
};

template <class V>
void VisitRecord(V& v, CombImaPar& r) {
  VisitRecord(v, r.head);
  v.reserved(4096);
  for (fichier& f : r.images) v.ficCStrings(f);
  for (fichier& f : r.textures) v.ficCStrings(f);
  for (CombImaInfo& info : r.infos) VisitRecord(v, info);
}

// settings 1: active, opacity 100 and every other setting 0; corners 1: the undistorted
// rectangle; rampPreset 1 or more: the ramp from that preset in white.
void Init_CombImaInfo(CombImaInfo* info, int16_t settings, int16_t corners, int16_t rampPreset);
// The head: the session photo's size, no entries.
void Init_CombImaInfo1(CombImaInfo1* head);
// allReferences 0 keeps the image references; the texture references and settings are
// always reset.
void Init_CombImaPar(CombImaPar* record, int16_t allReferences);
void Copy_CombImaInfo(const CombImaInfo* source, CombImaInfo* destination);
// Head words 0, 1, 4 and 5: the destination keeps its image size.
void Copy_CombImaInfo1(const CombImaInfo1* source, CombImaInfo1* destination);
void Copy_CombImaPar(const CombImaPar* source, CombImaPar* destination);
void SwapCombImaInfo(CombImaInfo* info, int16_t direction, int16_t force);
void SwapCombImaInfo1(CombImaInfo1* head, int16_t direction, int16_t force);
void SwapCombImaPar(CombImaPar* record, int16_t direction, int16_t force);

// Inserts an entry before `index` (appends when index is past the end) with fresh settings
// and, when `file` is given, that image; it becomes the current entry. A full list (127)
// takes nothing.
void AddCombIma(CombImaPar* record, int16_t index, const fichier* file);
// Places entry `source` right after entry `target`; indices outside the list do nothing.
void MovCombIma(CombImaPar* record, int16_t source, int16_t target);
// Removes entry `index`; an index past the last entry does nothing.
void DelCombIma(CombImaPar* record, int16_t index);

// Modes 0 to 2 of the preset convention, type 'hCim'. A read keeps the record's image size
// and brings the count into 0..127 and the current entry into the list.
int16_t Do_ACombIma_file(int16_t mode, FSSpec spec, CombImaPar* record);
