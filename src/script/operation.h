// One step of a layer's operation list and the small records it owns.
//
// An operation names an effect number, the channel planes it reads, writes and masks with,
// five parameters (and a sixth, Param99), a blend mode and an opacity, and owns up to six
// attached records: a colour-selection extension (OprnExt), a 33 x 33 colour matrix, a colour
// ramp (LutVign), a path-fill record (Path3D), a block of effect parameter records (MulStruc,
// script/param_block.h) and a file record. An absent record is a null pointer; every reader
// tests for it. All attached records except the file record are blocks of the session's
// registry (or of the plain allocator outside a session), so a forgotten one never outlives
// the session.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "app/core/file_records.h"
#include "script/lut_vign.h"

struct MulStruc;

// An effect number of the script (1 to 122); 0 names no effect.
using EffectCode = int16_t;

// Colour-selection extension: a 2396-byte block whose first 348 bytes carry fields. The five
// arrays are parallel; the renderer reads entry 0 only, the selection dialog edits the entry
// whose index is head word 6.
struct OprnExt {
  static constexpr int32_t kBlockSize = 2396;
  static constexpr int32_t kEntries = 16;

  int32_t ByteOrder = 1;
  int32_t head[6] = {};  // head words 1 to 6; word 6 is the entry being edited
  int32_t SelFlag[kEntries] = {};
  int32_t SelLevel[kEntries] = {};   // percent
  int32_t SelValueB[kEntries] = {};  // percent; low 16 bits reach the selection
  int32_t SelValueC[kEntries] = {};
  int32_t SelValueD[kEntries] = {};
  uint8_t reserved[kBlockSize - 348];  // stored, never initialised nor copied
};
static_assert(sizeof(OprnExt) == OprnExt::kBlockSize);
static_assert(offsetof(OprnExt, SelFlag) == 28 && offsetof(OprnExt, SelValueD) == 284);

// The stored field list of the extension (see engines/records/param_record.h).
template <class V>
void VisitRecord(V& v, OprnExt& r) {
  v.flag(r.ByteOrder);
  v.i32s(r.head, 6);
  v.i32s(r.SelFlag, OprnExt::kEntries);
  v.i32s(r.SelLevel, OprnExt::kEntries);
  v.i32s(r.SelValueB, OprnExt::kEntries);
  v.i32s(r.SelValueC, OprnExt::kEntries);
  v.i32s(r.SelValueD, OprnExt::kEntries);
  v.reserved(OprnExt::kBlockSize - 348);
}

// Path-fill record of effect 28: a direction flag, a second flag, two rectangles (left, top,
// right, bottom each) in drawing coordinates, the ramp that colours the steps and a table of
// 256 values. Its in-memory layout is its stored one.
struct Path3D {
  static constexpr int32_t kBlockSize = 2856;

  int16_t direction = 0;  // 0: from the first rectangle to the second
  int16_t flag = 0;
  int32_t rects[8] = {};
  LutVign lut;
  uint8_t reserved[2] = {};
  int32_t table[256] = {};
};
static_assert(offsetof(Path3D, lut) == 36 && offsetof(Path3D, table) == 1832);
static_assert(sizeof(Path3D) == Path3D::kBlockSize);

// The 33 x 33 colour matrix of effect 22.
inline constexpr int32_t kColMatCells = 1089;

struct Oprn {
  Oprn();
  ~Oprn();
  Oprn(const Oprn&) = delete;
  Oprn& operator=(const Oprn&) = delete;

  EffectCode Effect;
  int8_t Act;          // 0: the renderer skips the operation
  int8_t FromChannel;  // channel numbers: 1 or less none, 2 the composite, 3 to 89 planes
  int8_t ToChannel;
  int8_t IntExt;    // mask plane: 1 as is, 2 inverted, other values not used
  int8_t MChannel;  // 2 or less: no mask plane
  int16_t Param1, Param2, Param3, Param4, Param5;
  uint8_t Mode;  // blend mode
  uint8_t Opa;   // opacity 0..255
  int16_t Param99;
  OprnExt* SelOprnExt;
  int32_t* ColMat;  // kColMatCells values, row by row
  ::LutVign* LutVign;
  ::Path3D* Path3D;
  ::MulStruc* MulStruc;
  fichier* FileOprn;
  Oprn* NextOprn;
};

// Mode 0, opacity 255 and every pointer null; what they pointed to is not freed.
void InitOprn(Oprn* op);
// Copies the effect number, the flag and channel bytes, the six parameters, mode and opacity.
void CopyOprnInfo(const Oprn* src, Oprn* dst);
// Deep copy of everything but NextOprn into `dst` (a constructed, initialised operation).
// -1 when a block could not be had: `dst` then keeps the records copied so far, the one that
// failed is absent, and every later pointer is as it was; none is shared with `src`.
int32_t CopyOprn(const Oprn* src, Oprn* dst);
// Byte order of the 16-bit numbers (and of the extension): dir 1 host to little-endian (force
// 1 reverses whatever the host), any other dir little-endian to host.
void SwapOprn(Oprn* op, int16_t dir, int16_t force);

void InitOprnExt(OprnExt* ext);
// Head words 0 to 6 and the five arrays.
void CopyOprnExt(const OprnExt* src, OprnExt* dst);
void SwapOprnExt(OprnExt* ext, int16_t dir, int16_t force);

void Copy_Path3D(const Path3D* src, Path3D* dst);

// Blocks of the session's registry (the plain allocator outside a session), zeroed; null
// when memory is short. Records are constructed in them by their owners.
void* NewRecordBlock(size_t size);
void DeleteRecordBlock(void* block);
// A new attached record of type R, value-initialised, or null.
template <class R>
R* NewRecord() {
  void* p = NewRecordBlock(sizeof(R));
  return p != nullptr ? new (p) R{} : nullptr;
}
