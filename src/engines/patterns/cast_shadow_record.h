// The cast-shadow record: blur and fades of the source channel, the footprint
// quadrilateral the shadow is distorted into (corner coordinates in units of the reference
// size in words 2 and 3, y counted from the bottom) and the colour ramp.
//
// The record is raw: word 0 is not a byte-order flag and nothing converts it. Its preset
// file ('hShs') is the record as it lies in memory, 5,996 bytes: 26 words, a 4,096-byte
// reserved block (written as zeros), the ramp and two bytes to the end, numbers
// little-endian.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kShadoWords = 26;

enum : int32_t {
  kShaRefWidth = 2,
  kShaRefHeight = 3,
  kShaMaskTreatment = 5,  // 0 invert, 2 replace by 255, other: leave
  kShaBlur = 7,           // blur radius is twice this; 0 or less: none
  kShaFadeV = 8,          // 8, 9: centre and spread, percent of the height
  kShaFadeH = 10,         // 10, 11: centre and spread, percent of the width
  kShaDistort = 12,       // 12..17: values handed to the quad distortion
  kShaCornerX = 18,       // 18..21
  kShaCornerY = 22,       // 22..25
};

struct ShadoPar {
  int32_t w[kShadoWords] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 5996;
};

template <class V>
void VisitRecord(V& v, ShadoPar& r) {
  v.i32s(r.w, kShadoWords);
  v.reserved(4096);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

// keepCorners 0: the corners span the whole photo.
void Init_ShadoPar(ShadoPar* record, int16_t keepCorners);
// Words 0..25 and the ramp.
void Copy_ShadoPar(const ShadoPar* source, ShadoPar* destination);
// Modes 0-2, type 'hShs'. A read scales the stored corners from the file's reference size
// to the record's own and keeps the record's reference size.
int16_t Do_AShadoPar_file(int16_t mode, FSSpec spec, ShadoPar* record);
