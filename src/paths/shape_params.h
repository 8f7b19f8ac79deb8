// Shape-tool parameters: the plain record the shape tools (star, polygon,
// rounded rectangle, ellipse, table grid, step and repeat) generate paths
// from. Every path list embeds one, the session holds one that the preview
// copies into its list before each click, and the shape engine stores one
// in its parameter files.
//
// All fields are signed 32-bit words, addressed by number. Words 0 to 559
// are the record's contents; 512 further words follow that no operation
// reads, copies or converts. Fields used as 16-bit values keep them in the
// low 16 bits of their word.
#pragma once

#include <cstdint>

struct TObjPar {
  static constexpr int kWords = 560;
  static constexpr int kSpareWords = 512;
  static constexpr int32_t kStoredSize = (kWords + kSpareWords) * 4;
  int32_t w[kWords + kSpareWords] = {};
};

// Word numbers.
enum : int {
  kObjOrderFlag = 0,       // byte-order flag
  kObjStarRadius = 2,
  kObjStarInner = 3,       // inner radius, percent
  kObjStarAltTip = 4,      // alternate tip, percent
  kObjStarAltInner = 5,    // alternate inner, percent
  kObjOutlineOffset = 6,
  kObjCornerRadius = 7,    // 7-10: top-left, bottom-left, bottom-right, top-right
  kObjCentreX = 12,        // also the step-and-repeat pivot
  kObjCentreY = 13,
  kObjBoxLeft = 14,
  kObjBoxTop = 15,
  kObjBoxWidth = 16,
  kObjBoxHeight = 17,
  kObjColumnGap = 18,
  kObjRowGap = 19,
  kObjStepX = 20,
  kObjStepY = 21,
  kObjStepScaleX = 22,     // percent
  kObjStepScaleY = 23,
  kObjStepAngle = 24,
  kObjStepMode = 26,       // 0 move, 1 scale, 2 rotate (16-bit)
  kObjStepCount = 27,      // 16-bit
  kObjColumns = 28,        // 16-bit
  kObjRows = 29,           // 16-bit
  kObjCornerStyle = 30,    // 30-33, corners in the order of 7-10: 1 bevel, else rounded
  kObjStarPoints = 34,     // 16-bit
  kObjPointDepth = 35,     // 35-546: per-point depth, percent
  kObjInnerForward = 547,
  kObjInnerBackward = 548,
  kObjInnerStyle = 549,    // 1 sharp, 2 rounded, 3 bevel, 4 crossed
  kObjInnerPerPoint = 550,
  kObjTipForward = 551,
  kObjTipBackward = 552,
  kObjTipStyle = 553,
  kObjTipPerPoint = 554,
};

// The defaults into words 2 to 559; words 0, 1 and the spare words stay.
void Init_TObjPar(TObjPar* p);
// Words 0 to 559 from src to dst.
void Copy_TObjPar(const TObjPar* src, TObjPar* dst);
// Converts words 0 to 559 in place between host order and little-endian:
// direction 1 host to file (word 0 := 1), any other file to host (word 0 :=
// the host's flag). Returns the converted word 559.
int32_t SwapTObjPar(TObjPar* p, int16_t direction, int16_t force);

// The record's field list for the parameter-record convention, so that a
// record embedding it stores, loads and converts it with its own fields.
// Its word 0 is an inner flag: the embedding record's word 0 decides the
// order of every number, this one's included.
template <class V>
void VisitRecord(V& v, TObjPar& p) {
  v.innerFlag(p.w[0]);
  v.i32s(&p.w[1], TObjPar::kWords - 1);
  v.bytes(&p.w[TObjPar::kWords], TObjPar::kSpareWords * 4);
}
