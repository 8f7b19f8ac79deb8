// The painter-strokes record: a head StrokInfo1 (colour source, source blur and contrast,
// paper, current set, head ramp), a paper file, a second file, eight brush files and eight
// stroke sets StrokInfo (opacity, density, selection, sizes, angles, colouring, set ramp).
//
// Stored ('hSto' preset file), 55,420 bytes: the head (1,880), the paper and second file
// references and the eight brush references (538 bytes each, names and paths as
// zero-terminated strings), then the eight sets (6,020 bytes each, their 4,096-byte
// reserved block written as zeros). In memory the record ends with a further 4,096-byte
// block that is not stored.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"
#include "script/lut_vign.h"

inline constexpr int32_t kStrokSets = 8;
inline constexpr int32_t kStrokHeadWords = 21;
inline constexpr int32_t kStrokSetWords = 32;

// Head words.
enum : int32_t {
  kStrHeadWidth = 2,
  kStrHeadHeight = 3,
  kStrColourSource = 5,  // 1 picture, 2 through the head ramp, 3 uniform colour
  kStrSourceBlur = 7,
  kStrSourceContrast = 9,
  kStrUniformRGB = 10,  // 10..12
  kStrPaperWidth = 13,
  kStrPaperHeight = 14,
  kStrPaperOpacity = 15,
  kStrPaperMode = 16,
  kStrPaperA = 17,
  kStrPaperB = 18,
  kStrPaperContrast = 19,
  kStrCurrentSet = 20,
};

// Set words.
enum : int32_t {
  kStrOpacity = 2,
  kStrOpacityJitter = 3,
  kStrStrokeMode = 4,
  kStrBrushBlur = 5,
  kStrDensity = 6,
  kStrTolerance = 7,
  kStrSelContrast = 8,
  kStrSelRGB = 9,  // 9..11
  kStrSizeMode = 12,
  kStrBrushWidth = 13,
  kStrBrushHeight = 14,
  kStrSizeRange = 15,
  kStrSizeCount = 16,
  kStrRotationMode = 17,
  kStrBaseAngle = 18,
  kStrAngleRange = 19,
  kStrAngleCount = 20,
  kStrColourMode = 21,
  kStrHueJitter = 22,
  kStrSatJitter = 23,
  kStrLightJitter = 24,
  kStrColourContrast = 25,
  kStrFixedRGB = 26,  // 26..28
  kStrSetValue = 29,
};

struct StrokInfo1 {
  int32_t w[kStrokHeadWords] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 1880;
};

struct StrokInfo {
  int32_t w[kStrokSetWords] = {};
  LutVign ramp;

  static constexpr int32_t kStoredSize = 6020;
};

struct StrokPar {
  StrokInfo1 head;
  fichier paper;
  fichier second;
  fichier brushes[kStrokSets];
  StrokInfo sets[kStrokSets];

  static constexpr int32_t kStoredSize = 55420;
};

template <class V>
void VisitRecord(V& v, StrokInfo1& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], kStrokHeadWords - 1);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

// A set's word 0 decides nothing: the record's word 0 (the head's) speaks for it.
template <class V>
void VisitRecord(V& v, StrokInfo& r) {
  v.innerFlag(r.w[0]);
  v.i32s(&r.w[1], kStrokSetWords - 1);
  v.reserved(4096);
  VisitRecord(v, r.ramp);
  v.reserved(2);
}

template <class V>
void VisitRecord(V& v, StrokPar& r) {
  VisitRecord(v, r.head);
  v.ficCStrings(r.paper);
  v.ficCStrings(r.second);
  for (fichier& f : r.brushes) v.ficCStrings(f);
  for (StrokInfo& s : r.sets) VisitRecord(v, s);
}

void Init_StrokInfo1(StrokInfo1* head);
void Init_StrokInfo(StrokInfo* set);
// The head, every set and every file reference.
void Init_StrokPar(StrokPar* record);
void Copy_StrokInfo1(const StrokInfo1* source, StrokInfo1* destination);
void Copy_StrokInfo(const StrokInfo* source, StrokInfo* destination);
void Copy_StrokPar(const StrokPar* source, StrokPar* destination);
void SwapStrokInfo1(StrokInfo1* head, int16_t direction, int16_t force);
void SwapStrokInfo(StrokInfo* set, int16_t direction, int16_t force);
// The head, the sets, and the names and paths of the ten file references (direction 1 to
// zero-terminated strings, any other back to length-prefixed ones).
void SwapStrokPar(StrokPar* record, int16_t direction, int16_t force);
// Modes 0-2 of the preset convention, type 'hSto'.
int16_t Do_AStrok_file(int16_t mode, FSSpec spec, StrokPar* record);
