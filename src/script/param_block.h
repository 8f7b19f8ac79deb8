// The block of effect parameter records that an operation carries (MulStruc), and the two
// small records that live only inside it.
//
// A MulStruc is 257 record-pointer slots, of which slots 0 to 28 are used; each holds one
// parameter record, created on demand, of the kind that names the slot (script/record_kinds.h).
// The block and its records are blocks of the session's registry.
#pragma once

#include <cstdint>

struct MulStruc {
  static constexpr int32_t kSlots = 257;
  static constexpr int32_t kUsedSlots = 29;
  void* slot[kSlots];
};

// Kinds: -1 frees an existing block and makes a new empty one; 0 makes a new empty one
// without freeing; 1 creates every registered kind's record; 2 to 30 the one record of that
// kind. A kind that names no slot, or one above 30 or below -1, does nothing (0). Kinds 1 to
// 30 need the block; without it, or when a kind's family is not registered, or memory runs
// short, -1. A record that replaces one in its slot is had first: when it cannot be had the
// old one stays, and once it is had the old one is freed with everything it holds.
int32_t Alloc_MulStruc(MulStruc** ms, int16_t kind);
// With create 1 first Alloc_MulStruc for that kind, then gives the record of that kind (kind
// 1: every record present) the block's defaults. -1 when the allocation failed.
int32_t Init_MulStruc(MulStruc* ms, int16_t create, int16_t kind);
// Copies every record of `src` into `dst`, creating the slots `dst` lacks; slots `src` lacks
// stay as they are in `dst`. -1 when a slot could not be created (the copy stops there).
int32_t Copy_MulStruc(const MulStruc* src, MulStruc* dst);
// Frees every record (with what it holds), then the block.
void Dele_MulStruc(MulStruc* ms);

// The record of `kind` in a block, or null.
void* MulStrucRecord(const MulStruc* ms, int16_t kind);

// Slot 9, kind 8: a 4 x 4 diagonal of 100 and a fifth group of zeros. No renderer reads it;
// its defaults and copies are all that is fixed, in a block of 8236 bytes.
struct TcolPar {
  static constexpr int32_t kStoredSize = 8236;
  uint8_t head0 = 0;
  uint8_t head1 = 0;
  int16_t word = 0;
  int16_t groups[5][4] = {};
  uint8_t reserved[kStoredSize - 44] = {};
};
static_assert(sizeof(TcolPar) == TcolPar::kStoredSize);

// Slot 10, kind 9: two counts and 100 values; defaults and copies only.
struct MpluPar {
  static constexpr int32_t kStoredSize = 408;
  uint8_t head0 = 0;
  uint8_t head1 = 0;
  int16_t countA = 0;
  int16_t countB = 0;
  int16_t spare = 0;
  float values[100] = {};
};
static_assert(sizeof(MpluPar) == MpluPar::kStoredSize);

void Init_TcolPar(TcolPar* record);
void Copy_TcolPar(const TcolPar* source, TcolPar* destination);
void Init_MpluPar(MpluPar* record);
void Copy_MpluPar(const MpluPar* source, MpluPar* destination);
