// The record of the twin tessellation engine: the layout and meaning of the tessellation
// record (engines/tessellation/tessellation_record.h) with defaults of its own: no
// byte-order flag is computed (word 0 stays 0), no symmetry type, and the tile references
// are never touched by Init_HeschPar.
//
// Its preset file ('hHhs') is the record as it lies in memory, 105,156 bytes: the head
// (36), the sixteen file references at their 540-byte spacing, the sixteen ramps and the
// sixteen HeschInfo (4,236 each), numbers little-endian, with no conversion and no
// byte-order test (word 0 is stored as it stands).
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "script/lut_vign.h"

// The TessInfo layout under the twin's name.
struct HeschInfo : TessInfo {};

struct HeschPar {
  TessInfo1 head;
  fichier tiles[kTessSets];
  LutVign ramps[kTessSets];
  HeschInfo sets[kTessSets];

  static constexpr int32_t kStoredSize = 105156;
};

template <class V>
void VisitRecord(V& v, HeschInfo& r) {
  v.i32s(r.w, kTessInfoWords);
  v.reserved(TessInfo::kStoredSize - 4 * kTessInfoWords);
}

template <class V>
void VisitRecord(V& v, HeschPar& r) {
  v.i32s(r.head.w, kTessHeadWords);
  for (fichier& f : r.tiles) {
    v.fic(f);
    v.reserved(2);  // a file reference takes 540 bytes in memory
  }
  for (LutVign& ramp : r.ramps) VisitRecord(v, ramp);
  for (HeschInfo& info : r.sets) VisitRecord(v, info);
}

// Head words 0, 1, 0, 0, 4, 0, 1, 1, 1; ramps 1: the twelve default ramps into ramps 0..11;
// every tile set Init_HeschInfo(1, 1). The first two flags are not read.
void Init_HeschPar(HeschPar* record, int16_t, int16_t, int16_t ramps);
// Words 0..14 always (0, 1, 1, 0, 100, eight zeros, 100, 100); quad 1: the source quad;
// place 1: the base quad.
void Init_HeschInfo(HeschInfo* info, int16_t quad, int16_t place);
void Copy_HeschPar(const HeschPar* source, HeschPar* destination);
// As Copy_TessInfo.
void Copy_HeschInfo(const HeschInfo* source, HeschInfo* destination, int16_t group);
// Modes 0-2, type 'hHhs'; any other mode does nothing.
int16_t Do_AHeschPar_file(int16_t mode, FSSpec spec, HeschPar* record);
