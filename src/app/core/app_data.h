// The application data: the record at the head of the application object,
// reached through gappData. It holds the image mode, the document table,
// the well-known file records of the maker's folder and the table of open
// files that the slot functions use.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class VMKdoc;

inline constexpr int kDocumentSlots = 128;
inline constexpr int kFileSlots = 128;

// Slot states of the open-file table.
enum : uint8_t {
  kSlotClosed = 0,
  kSlotOpen = 1,
  kSlotShared = 2,  // the same access path is open in another slot
};

struct TAppData {
  int16_t firstWord = 1;  // the grid-warp dialog tests it for 1
  int16_t imageMode = 0;  // 3, 11 or 16: 8-bit, 16-bit or float RGB
  int16_t words255[3] = {255, 255, 255};
  int16_t wordOne = 1;
  int16_t wordZero = 0;
  int16_t currentDocument = 0;
  VMKdoc* documents[kDocumentSlots] = {};
  // The maker's folder as a folder: its own path with the closing colon,
  // empty name.
  fichier folder;
  fichier documentFolder;
  // The maker's folder as found: the path of the folder that holds it and
  // its name.
  fichier makersFolder;
  fichier helpPage;
  // The open-file table.
  int16_t fileRefNums[kFileSlots] = {};
  uint8_t fileStates[kFileSlots] = {};
  int32_t filePositions[kFileSlots] = {};
  void* nibRef = nullptr;       // the nib the windows are made from
  void* colourModel = nullptr;  // handle to the colour model; never filled
  int32_t furtherWords[2] = {0, 0};
};

extern TAppData* gappData;
