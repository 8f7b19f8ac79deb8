// The session record: state that every part of one edit session reaches
// through the process-wide pointer gPer.
//
// Its first field is the session's block registry; the remaining fields are
// filled in as the application object is set up.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class CMemMan;
struct DrawPar;
struct TObjPar;

struct TPermanent {
  CMemMan* memMan = nullptr;
  DrawPar* drawPar = nullptr;
  TObjPar* objPar = nullptr;
  float boxWidth = 0.0f;
  float boxHeight = 0.0f;
  int32_t planeMode = 3;
  int32_t currentEffect = 0;
  int32_t boxLimitWidth = 500;
  int32_t boxLimitHeight = 500;
  int16_t lineReaderWords[2] = {0, 0};
  int16_t lineReaderFlag = 1;
  int32_t effectListWord = 0;
  // The maker's folder: the path of the folder that holds it and its name,
  // so that path + name + a file's own name addresses a file in it.
  fichier makersFolder;
  fichier pathScratch;     // ":com.vellmarkstead.vec", 'pAth'
  fichier layerScratch;    // ":com.vellmarkstead.lay", 'aLay'
  fichier channelScratch;  // ":com.vellmarkstead.chan", 'aCha'
  int32_t previewWidth = 0;
  int32_t previewHeight = 0;
  float resolution = 72.0f;
};

extern TPermanent* gPer;

// The session's registry (null before the session is set up).
inline CMemMan* SessionMemMan() { return gPer != nullptr ? gPer->memMan : nullptr; }
