// The lens-correction record: geometry (distortion, size, rotation, perspective), colour
// fringing and vignetting settings, as 41 signed 32-bit words addressed by index and
// stored in a 4256-byte block (the tail is reserved: neither kept nor converted). Preset
// files ('hZnd') always keep the current image's width and height when loaded.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"

inline constexpr int32_t kZondracWords = 41;

// Word indexes.
enum : int32_t {
  kZndVersion = 1,
  kZndWidth = 2,
  kZndHeight = 3,
  kZndResolution = 4,
  kZndFrameCells = 5,     // cells of the frame the preview draws
  kZndFrameLastRow = 6,   // last row of that frame
  kZndSelection = 11,     // 1: the blend strength is weighted by the selection plane
  kZndMutate = 20,        // percent of the geometric correction applied
  kZndMutateOn = 21,
  kZndDistortH = 22,
  kZndDistortV = 23,
  kZndSize = 24,          // frame scaled to (size + 100) percent
  kZndRotation = 25,      // degrees
  kZndPerspBottom = 26,
  kZndPerspTop = 27,
  kZndPerspLeft = 28,
  kZndPerspRight = 29,
  kZndFringeOn = 31,
  kZndFringe = 32,        // red, green, blue percent (100 = no change)
  kZndVignetteOn = 36,
  kZndBrightness = 37,    // red, green, blue
  kZndBalance = 40,
};

struct ZondracPar {
  int32_t w[kZondracWords] = {};

  static constexpr int32_t kStoredSize = 4256;
};

template <class V>
void VisitRecord(V& v, ZondracPar& r) {
  v.flag(r.w[0]);
  v.i32s(&r.w[1], kZondracWords - 1);
  v.reserved(ZondracPar::kStoredSize - 4 * kZondracWords);
}

void Init_ZondracPar(ZondracPar* record, int32_t width, int32_t height, int32_t resolution,
                     int32_t a4, int32_t a5, int16_t a6);
// Copies words 0 to 40.
void Copy_ZondracPar(const ZondracPar* source, ZondracPar* destination);
void SwapZondracPar(ZondracPar* record, int16_t direction, int16_t force);
// Modes 0 to 2 of the preset convention, type 'hZnd'; a read keeps words 2 and 3.
int16_t Do_AZondrac_file(int16_t mode, FSSpec spec, ZondracPar* record);
