// The shape record: one star, polygon or spirograph outline (from the embedded shape-tool
// record), placed by percentages of the drawing rectangle, softened and coloured through
// the record's ramp. The star dialog makes it with kind 0, the spirograph dialog with 1.
//
// Stored ('hShp' preset file and the script's block), 10,252 bytes: words 0..3, the
// shape-tool record (4,288 bytes), fourteen words from kind to lightness shift, a
// 4,096-byte reserved block (written as zeros, not kept), the ramp and two bytes to the end.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "paths/shape_params.h"
#include "script/lut_vign.h"

struct ShapePar {
  int32_t byteOrderFlag = 0;
  int32_t version = 0;
  int32_t width = 0;  // FillBuf overwrites both with the plane size
  int32_t height = 0;
  TObjPar shape;      // star values, point count and table, star and spirograph longs
  int32_t kind = 0;       // 0 star or polygon, 1 spirograph, other: no outline
  int32_t centreX = 0;    // percent of the rectangle's width
  int32_t centreY = 0;    // percent of its height
  int32_t radius = 0;     // percent of the smaller side (star or polygon)
  int32_t rotation = 0;   // degrees (star or polygon)
  int32_t softness = 0;   // 0 hard edge
  int32_t carried[5] = {};  // kept, copied, converted and stored; not read by the engine
  int32_t hueShift = 0;     // low 16 bits used
  int32_t saturationShift = 0;
  int32_t lightnessShift = 0;
  LutVign ramp;

  static constexpr int32_t kStoredSize = 10252;
};

template <class V>
void VisitRecord(V& v, ShapePar& r) {
  v.flag(r.byteOrderFlag);
  v.i32(r.version);
  v.i32(r.width);
  v.i32(r.height);
  VisitRecord(v, r.shape);
  v.i32(r.kind);
  v.i32(r.centreX);
  v.i32(r.centreY);
  v.i32(r.radius);
  v.i32(r.rotation);
  v.i32(r.softness);
  v.i32s(r.carried, 5);
  v.i32(r.hueShift);
  v.i32(r.saturationShift);
  v.i32(r.lightnessShift);
  v.reserved(4096);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

void Init_ShapePar(ShapePar* record, int32_t width, int32_t height, int32_t kind);
// Words 0..3, the shape-tool record, the fourteen words from kind on and the ramp.
void Copy_ShapePar(const ShapePar* source, ShapePar* destination);
void SwapShapePar(ShapePar* record, int16_t direction, int16_t force);
// Modes 0-2 of the preset convention, type 'hShp'.
int16_t Do_AShapePar_file(int16_t mode, FSSpec spec, ShapePar* record);
