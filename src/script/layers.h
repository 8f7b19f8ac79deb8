// Layers and layer stacks.
//
// A layer groups a path list with an ordered list of operations; a stack is an ordered list
// of layers, and a script holds 256 of them. Layers in a stack and operations in a layer are
// addressed by 1-based positions everywhere; a position that names nothing makes an
// operation do nothing and a lookup give null or 0. A stack owns its layers, a layer its
// path list and its operations, from the moment they are handed over.
#pragma once

#include <cstdint>

#include "app/core/pascal_strings.h"

class CPathList;
struct Oprn;

// Deletes every operation of a chain linked through NextOprn.
void DeleteOprnChain(Oprn* op);

class Laye {
 public:
  Laye();
  ~Laye();
  Laye(const Laye&) = delete;
  Laye& operator=(const Laye&) = delete;

  int16_t LayFlag = 0;  // copied and stored with the layer; not read by the renderer
  int16_t active = 1;
  int16_t lock = 0;
  Str255 name = {0};
  CPathList* paths = nullptr;
  int16_t oprnCount = 0;
  Oprn* firstOprn = nullptr;  // linked through NextOprn
  Laye* next = nullptr;
};

class LayerFile {
 public:
  LayerFile() = default;
  ~LayerFile();
  LayerFile(const LayerFile&) = delete;
  LayerFile& operator=(const LayerFile&) = delete;

  Laye* GetLaye(int16_t n) const;
  // Inserts a caller-made layer: n 0 first, n above the count last, else after layer n.
  void AddLaye(int16_t n, Laye* layer);
  void EmptyLaye(int16_t n);
  void MoveLaye(int16_t from, int16_t to);
  // what 0: flags, paths and operations; 1 paths; 2 operations; the name never.
  void CopyLaye(int16_t from, int16_t to, int16_t what);
  // Appends copies of every layer of this stack to `target`.
  void CopyAllLaye(LayerFile* target) const;
  void DeleteLaye(int16_t n);
  void DeleteAllLaye();
  int16_t GetLayAct(int16_t n, int16_t* out) const;
  void SetLayAct(int16_t n, int16_t value);
  int16_t GetLayLock(int16_t n, int16_t* out) const;
  void SetLayLock(int16_t n, int16_t value);

  Oprn* GetOprnLaye(int16_t n, int16_t k) const;
  // Inserts a caller-made operation into layer n: k 0 first, k above the count last, else
  // after operation k. Layer n, or null when there is none (the operation is then not taken).
  Laye* AddOprnLaye(int16_t n, int16_t k, Oprn* op);
  void DeleteOprnLaye(int16_t n, int16_t k);
  void CleanOprnLaye(int16_t n);
  void MoveOprnLaye(int16_t n, int16_t from, int16_t to);

  uint8_t flagA = 1;  // not read by the script
  uint8_t flagB = 0;
  int16_t layerCount = 0;
  Laye* firstLaye = nullptr;
  int16_t stackShortA = 0;
  int16_t stackShortB = 1;
  int32_t stackValue = 10;  // stored in the combined-layer file's directory
  Str255 stackName = {0};
};
