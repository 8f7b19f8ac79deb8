// The data of a document (VMKdoc): its script, names, current stack and layer, the picture's
// size and resolution. The session owns the documents; the script reaches the current one
// only through the source the session installs here (SetCurrentDocumentSource), so nothing
// below the session includes it.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class ScriptFile;
class Laye;

struct DocData {
  ScriptFile* script = nullptr;  // owned by the document; null until it is set up
  char firstName[255] = {};      // zero-terminated
  char secondName[255] = {};     // the category text that script files store
  int16_t saveWord = 0;          // handed to ScriptFile::SaveCombiLay
  int16_t currentStack = 0;
  int16_t currentLayer = 1;  // 1-based
  int16_t words[2] = {};
  Laye* layer = nullptr;  // the current layer of the script
  fichier file;
  int16_t imageMode = 3;  // 11 for 16-bit pictures, else 3
  int16_t sevenWords[7] = {};
  int32_t width = 0;  // the picture rectangle
  int32_t height = 0;
  int32_t resolution = 72;  // whole pixels per inch
  int32_t twoLongs[2] = {};
  int32_t width2 = 0;  // the picture rectangle again
  int32_t height2 = 0;
};

// Every field but the script and the layer pointer.
void CopyDocData(const DocData* source, DocData* destination);

// The current document, or null when there is none.
using CurrentDocumentSource = DocData* (*)();
// Installs the session's source of the current document; null removes it.
void SetCurrentDocumentSource(CurrentDocumentSource source);
DocData* CurrentDocData();
