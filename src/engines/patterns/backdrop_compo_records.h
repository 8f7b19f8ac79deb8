// The backdrop and composition records.
//
// Backdrop (BDropPar): a head BDropInfo1 with its ramp, a background file reference, 128
// image file references and 128 BDropInfo settings, each with a ramp. Stored ('hCbd' preset
// file), 843,322 bytes: the head region of 5,920 bytes (the head, its ramp, then reserved),
// the background reference and the 128 image references (538 bytes each), the 128 entries
// (6,000 bytes each: 17 words, the ramp, then reserved). Every entry is converted with the
// record, so a file is little-endian throughout.
//
// Composition (CompoPar): words 0 and 1 and a CompoInfo1 of four words. Stored ('hCom'
// preset file), 1,316 bytes: the flag, word 1, the CompoInfo1 and 1,292 reserved bytes.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kBDropImages = 128;

struct BDropInfo1 {
  int32_t w[10] = {};  // flag, version, preview width and height, six values
  LutVign ramp;
};

struct BDropInfo {
  int32_t w[17] = {};  // flag, version, fifteen values
  LutVign ramp;

  static constexpr int32_t kStoredSize = 6000;
};

struct BDropPar {
  BDropInfo1 head;
  fichier background;
  fichier images[kBDropImages];
  BDropInfo entries[kBDropImages];

  static constexpr int32_t kHeadRegion = 5920;
  static constexpr int32_t kStoredSize = 843322;
};

template <class V>
void VisitRecord(V& v, BDropInfo1& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], 9);
  VisitRecord(v, r.ramp);
}

// An entry's word 0 decides nothing: the record's word 0 speaks for it.
template <class V>
void VisitRecord(V& v, BDropInfo& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], 16);
  VisitRecord(v, r.ramp);
  v.reserved(BDropInfo::kStoredSize - 17 * 4 - LutVign::kStoredSize);
}

template <class V>
void VisitRecord(V& v, BDropPar& r) {
  VisitRecord(v, r.head);
  v.reserved(BDropPar::kHeadRegion - 10 * 4 - LutVign::kStoredSize);
  v.fic(r.background);
  for (fichier& f : r.images) v.fic(f);
  for (BDropInfo& e : r.entries) VisitRecord(v, e);
}

// ramp 1: the head ramp opaque with the four colour values 255.
void Init_BDropInfo1(BDropInfo1* head, int16_t ramp);
// a 1: words 2..8; b 1: words 9..16; c 1: the ramp.
void Init_BDropInfo(BDropInfo* entry, int16_t a, int16_t b, int16_t c);
// files 1: the background reference emptied too.
void Init_BDropPar(BDropPar* record, int16_t files);
// Words 0, 1, 4..9 and the ramp.
void Copy_BDropInfo1(const BDropInfo1* source, BDropInfo1* destination);
// Words 0..16 and the ramp.
void Copy_BDropInfo(const BDropInfo* source, BDropInfo* destination);
void Copy_BDropPar(const BDropPar* source, BDropPar* destination);
void SwapBDropInfo1(BDropInfo1* head, int16_t direction, int16_t force);
void SwapBDropInfo(BDropInfo* entry, int16_t direction, int16_t force);
// The head and all 128 entries.
void SwapBDropPar(BDropPar* record, int16_t direction, int16_t force);
// Modes 0-2 of the preset convention, type 'hCbd'.
int16_t Do_ABDrop_file(int16_t mode, FSSpec spec, BDropPar* record);

struct CompoInfo1 {
  int32_t w[4] = {};  // flag, version, two values
};

struct CompoPar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;
  CompoInfo1 info;

  static constexpr int32_t kStoredSize = 1316;
};

template <class V>
void VisitRecord(V& v, CompoInfo1& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], 3);
}

template <class V>
void VisitRecord(V& v, CompoPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  VisitRecord(v, r.info);
  v.reserved(CompoPar::kStoredSize - 24);
}

// 1, 1, a, b.
void Init_CompoInfo1(CompoInfo1* info, int32_t a, int32_t b);
void Copy_CompoInfo1(const CompoInfo1* source, CompoInfo1* destination);
// Word 0 is 1 whatever the host; the four shorts are not read.
void Init_CompoPar(CompoPar* record, int32_t a, int32_t b, int16_t, int16_t, int16_t, int16_t);
// Words 0..5.
void Copy_CompoPar(const CompoPar* source, CompoPar* destination);
void SwapCompoInfo1(CompoInfo1* info, int16_t direction, int16_t force);
void SwapCompoPar(CompoPar* record, int16_t direction, int16_t force);
// Modes 0-3 of the preset convention, type 'hCom'.
int16_t Do_ACompoPar_file(int16_t mode, FSSpec spec, CompoPar* record);
