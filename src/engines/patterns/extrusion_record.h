// The extrusion record: colour mode, light, brightness variation and ten quadrilaterals of
// which the first (front) and last (back) give the extruded body, in photo units with y
// counted from the bottom. It has no preset file.
//
// Stored, 6,812 bytes: words 0 and 1, 540 reserved bytes (words 2..136), words 137..229,
// a 4,096-byte reserved block, the ramp and two bytes to the end. Reserved space is written
// as zeros and not kept.
#pragma once

#include <cstdint>

#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kXTrudeFirstWord = 137;
inline constexpr int32_t kXTrudeWords = 230;  // words 0..229
inline constexpr int32_t kXTrudeQuads = 10;

enum : int32_t {
  kXtrWidth = 137,          // the Init_XTrudePar arguments; not read by the engine
  kXtrHeight = 138,
  kXtrColourMode = 140,     // 0 picture at the front outline, 1 ramp by depth, 2 ramp along
  kXtrLightAngle = 146,     // degrees
  kXtrLightStrength = 147,  // percent
  kXtrSegment = 148,        // brightness segment length, outline points
  kXtrVariation = 149,      // brightness variation range
  kXtrQuads = 150,          // eight tables of ten: x0, y0, x1, y1, x2, y2, x3, y3
};

struct XTrudePar {
  int32_t w[kXTrudeWords] = {};  // words 2..136 stay 0
  LutVign ramp;

  static constexpr int32_t kStoredSize = 6812;
};

template <class V>
void VisitRecord(V& v, XTrudePar& r) {
  v.flag(r.w[0]);
  v.i32(r.w[1]);
  v.reserved(4 * (kXTrudeFirstWord - 2));
  v.i32s(&r.w[kXTrudeFirstWord], kXTrudeWords - kXTrudeFirstWord);
  v.reserved(4096);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

// The word of quadrilateral `quad` (0..9) in table `table` (0..7).
inline constexpr int32_t XTrudeQuadWord(int32_t table, int32_t quad) {
  return kXtrQuads + 10 * table + quad;
}

// keepQuads 0: all ten quadrilaterals span the whole host photo.
void Init_XTrudePar(XTrudePar* record, int16_t keepQuads, int32_t width, int32_t height);
// Words 0, 1, 137..144, 146..229 and the ramp.
void Copy_XTrudePar(const XTrudePar* source, XTrudePar* destination);
// The eight tables of ten (corner 0 x, corner 0 y, ..., corner 3 y) into the record.
void SetQuad_XTrudePar(XTrudePar* record, const int32_t* x0, const int32_t* y0,
                       const int32_t* x1, const int32_t* y1, const int32_t* x2,
                       const int32_t* y2, const int32_t* x3, const int32_t* y3);
// Word 0 as a byte-order flag and every number of the record.
void SwapXTrudePar(XTrudePar* record, int16_t direction, int16_t force);
