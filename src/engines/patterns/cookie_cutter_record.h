// The cookie-cutter record: one lobed outline, computed from four shape values, centred in
// the drawing rectangle, softened and coloured through the record's ramp.
//
// Stored ('hCoo' preset file and the script's block), 5,952 bytes: words 0..15, a 4,092-byte
// reserved block (written as zeros, not kept), the ramp at 4,156 and two bytes to the end.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

struct CookiCutPar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;
  int32_t width = 0;  // plane width and height; FillBuf writes them before use
  int32_t height = 0;
  int32_t softness = 0;         // 0..100; 0 hard edge
  int32_t radius = 0;           // percent, 0..200
  int32_t turns = 0;            // 1..12
  int32_t hueShift = 0;         // low 16 bits used
  int32_t saturationShift = 0;  // low 16 bits used
  int32_t lightnessShift = 0;   // low 16 bits used
  int32_t shape[4] = {};        // shape values A, B, C, D, 0..100
  int32_t shapeScale = 0;       // 0..100
  int32_t angle = 0;            // degrees
  LutVign ramp;

  static constexpr int32_t kStoredSize = 5952;
};

template <class V>
void VisitRecord(V& v, CookiCutPar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  // The size words stay in the writer's order, never converted: FillBuf overwrites them
  // before use, so nothing reads the order they were left in.
  v.bytes(&r.width, sizeof r.width);
  v.bytes(&r.height, sizeof r.height);
  v.i32(r.softness);
  v.i32(r.radius);
  v.i32(r.turns);
  v.i32(r.hueShift);
  v.i32(r.saturationShift);
  v.i32(r.lightnessShift);
  v.i32s(r.shape, 4);
  v.i32(r.shapeScale);
  v.i32(r.angle);
  v.reserved(4092);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

void Init_CookiCutPar(CookiCutPar* record);
// Words 0..15 and the ramp.
void Copy_CookiCutPar(const CookiCutPar* source, CookiCutPar* destination);
void SwapCookiCutPar(CookiCutPar* record, int16_t direction, int16_t force);
// Modes 0-2 of the preset convention, type 'hCoo'.
int16_t Do_ACookiCut_file(int16_t mode, FSSpec spec, CookiCutPar* record);
