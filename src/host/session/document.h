// The document of an edit session: the image's geometry and the operation
// script that the effects are stored in.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class ScriptFile;
class Laye;

struct DocData {
  ScriptFile* script = nullptr;  // owned
  char firstName[255] = {};
  char secondName[255] = {};
  int16_t saveWord = 0;  // passed on when the combined layers are written
  int16_t currentStack = 0;
  int16_t currentLayer = 1;
  int16_t words[2] = {};
  Laye* layer = nullptr;  // the current layer of the script
  fichier file;
  int16_t imageMode = 3;  // 11 for 16-bit images, else 3
  int16_t sevenWords[7] = {};
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolution = 72;
  int32_t twoLongs[2] = {};
  int32_t width2 = 0;
  int32_t height2 = 0;
};

// Copies every field but the script and the layer.
void CopyDocData(const DocData* source, DocData* destination);

class VMKdoc : public DocData {
 public:
  VMKdoc();
  ~VMKdoc();
  VMKdoc(const VMKdoc&) = delete;
  VMKdoc& operator=(const VMKdoc&) = delete;
  // (Re)creates the script for the session's image.
  void Initialize();
};
