// Four small records that the script's multi-record carries: lens blur, flare, frame flags
// and super gradient.
//
// LBlurPar (604 bytes stored) and FlarePar (592): flag, version, a 540-byte reserved block
// (written as zeros, not kept), then their values. They have no preset file.
// FramPar (4 bytes): a byte flag, a byte, a 16-bit value; converting it only sets the flag.
// SupVigPar (1,828 bytes): seven words (word 0 is not a byte-order flag), four reserved
// bytes, the ramp and two bytes to the end. Its preset file ('hSvr') is the record as it
// lies in memory, numbers little-endian, nothing converted or tested.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

struct LBlurPar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;
  int32_t unread[9] = {};         // kept and copied; the engine does not read them
  int32_t contrastStrength = 0;   // the colour planes are adjusted by its negative
  int32_t contrastGate = 0;       // also the first value of the highlight contrast
  int32_t contrastSecond = 0;     // second value of the highlight contrast
  int32_t tail[2] = {};           // kept and copied; not read

  static constexpr int32_t kStoredSize = 604;
};

template <class V>
void VisitRecord(V& v, LBlurPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  v.reserved(540);
  v.i32s(r.unread, 9);
  v.i32(r.contrastStrength);
  v.i32(r.contrastGate);
  v.i32(r.contrastSecond);
  v.i32s(r.tail, 2);
}

void Init_LBlurPar(LBlurPar* record);
// Words 0 and 1 and the fourteen words from byte 548.
void Copy_LBlurPar(const LBlurPar* source, LBlurPar* destination);

struct FlarePar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;
  int32_t values[3] = {};
  int32_t blur = 0;  // blurs only when positive, by twice this value
  int32_t more[7] = {};

  static constexpr int32_t kStoredSize = 592;
};

template <class V>
void VisitRecord(V& v, FlarePar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  v.reserved(540);
  v.i32s(r.values, 3);
  v.i32(r.blur);
  v.i32s(r.more, 7);
}

void Init_FlarePar(FlarePar* record);
// Words 0 and 1 and the eleven words from byte 548.
void Copy_FlarePar(const FlarePar* source, FlarePar* destination);

struct FramPar {
  uint8_t byteOrderFlag = 0;
  uint8_t flag = 0;
  int16_t value = 0;

  static constexpr int32_t kStoredSize = 4;
};

template <class V>
void VisitRecord(V& v, FramPar& r) {
  v.bytes(&r.byteOrderFlag, 1);
  v.bytes(&r.flag, 1);
  v.i16(r.value);
}

void Init_FramPar(FramPar* record);
void Copy_FramPar(const FramPar* source, FramPar* destination);
// Sets byte 0 only: 1 in direction 1, the host's flag otherwise; nothing is reversed.
void SwapFramPar(FramPar* record, int16_t direction, int16_t force);

struct SupVigPar {
  int32_t w[7] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 1828;
};

template <class V>
void VisitRecord(V& v, SupVigPar& r) {
  v.i32s(r.w, 7);
  v.reserved(4);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

void Init_SupVigPar(SupVigPar* record);
// Words 0..6 and the ramp.
void Copy_SupVigPar(const SupVigPar* source, SupVigPar* destination);
// Modes 0-2, type 'hSvr'; any other mode does nothing.
int16_t Do_ASupVigPar_file(int16_t mode, FSSpec spec, SupVigPar* record);
