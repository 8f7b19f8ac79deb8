// The screen record: the picture rebuilt as a grid of cells, each filled with one image
// adjusted by the cell's darkness (image mode 0) or with the image of 256 that its darkness
// picks (image mode 1, drawn only where that image's flag is 1).
//
// Its preset file ('hScr') is the record as it lies in memory, 143,396 bytes: nine head
// words, the 256 image flags, the 256 file references at their 540-byte spacing and a
// 4,096-byte block that nothing reads (written as zeros). Numbers are little-endian and
// nothing is converted or tested: word 0 is not a byte-order flag here.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/param_record.h"

inline constexpr int32_t kScreenImages = 256;

// Head words.
enum : int32_t {
  kScrImageMode = 4,     // 0 one image for every cell, 1 one of 256 by level, other: none
  kScrDisplacement = 8,  // nonzero: cells displaced by the picture, by its low 16 bits
};

struct ScreenPar {
  int32_t w[9] = {};
  int32_t imageFlags[kScreenImages] = {};
  fichier images[kScreenImages];

  static constexpr int32_t kStoredSize = 143396;
};

template <class V>
void VisitRecord(V& v, ScreenPar& r) {
  v.i32s(r.w, 9);
  v.i32s(r.imageFlags, kScreenImages);
  for (fichier& f : r.images) {
    v.fic(f);
    v.reserved(2);  // a file reference takes 540 bytes in memory
  }
  v.reserved(4096);
}

// The second argument is not read.
void Init_ScreenPar(ScreenPar* record, int16_t);
// The nine head words, the flags and the file references.
void Copy_ScreenPar(const ScreenPar* source, ScreenPar* destination);
// Modes 0-2, type 'hScr'; any other mode does nothing.
int16_t Do_AScreenPar_file(int16_t mode, FSSpec spec, ScreenPar* record);
