// The kinds of parameter record that an operation's MulStruc can hold, keyed by kind number.
//
// The records belong to the effect families, which sit above the script; the script reaches
// them only through this table, which each family library fills by an explicit call at
// start-up (RegisterEffectFamilies, engines/families). Static libraries drop self-registering
// objects, so nothing here registers itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

// The sizes that a record's defaults may depend on: W, H and R, and the preview size PW, PH.
struct DefaultSizes {
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolution = 0;
  int32_t previewWidth = 0;
  int32_t previewHeight = 0;
};

// The session's values for all five (its image size, resolution truncated toward zero):
// what a parameter block gives a record it creates. Zeros outside a session.
DefaultSizes SessionDefaultSizes();

// A resolution as a whole number of pixels per inch: truncated toward zero, held to the 32-bit
// range (a value that names no number gives 0).
int32_t WholeResolution(float resolution);

using RecordInit = void (*)(void* record, const DefaultSizes& sizes);
using RecordCopy = void (*)(const void* source, void* destination);
using RecordRelease = void (*)(void* record);
using RecordSwap = void (*)(void* record, int16_t direction, int16_t force);

struct RecordKind {
  int16_t kind = 0;
  int16_t slot = 0;        // its slot in the MulStruc
  size_t blockSize = 0;    // bytes of the record in memory
  int32_t storedSize = 0;  // bytes of its stored form; 0 when it is stored in another form
  // Constructs the record in a fresh zeroed block (placement new of its type).
  void (*construct)(void* block) = nullptr;
  // Defaults as the parameter block gives them (called with SessionDefaultSizes()).
  RecordInit blockDefaults = nullptr;
  // Defaults that a script accessor hands out for a missing record (script W, H, R and the
  // session's PW, PH); null when they are the block's.
  RecordInit accessDefaults = nullptr;
  RecordCopy copy = nullptr;
  // Frees what the record holds besides its own block (null: nothing).
  RecordRelease release = nullptr;
  // Byte order (null: the record is stored in the host's order).
  RecordSwap swap = nullptr;
};

// Kinds 2 to 30 that name a slot: kind 25, 28 and 29 name none.
int16_t SlotOfKind(int16_t kind);  // -1 when the kind names no slot
int16_t KindOfSlot(int16_t slot);  // -1 when no kind lives there

// Registers a kind. 0 when it is new or already registered with the same functions; -1 (the
// first registration kept) for a kind that names no slot, a slot that does not match, or a
// second, different entry.
int32_t RegisterRecordKind(const RecordKind& entry);
// The registered entry of a kind, or null.
const RecordKind* FindRecordKind(int16_t kind);

// Adapters from a record type's own functions to the untyped entry.
template <class R, void (*Init)(R*, const DefaultSizes&)>
RecordInit InitOf() {
  return [](void* r, const DefaultSizes& s) { Init(static_cast<R*>(r), s); };
}
template <class R, void (*Swap)(R*, int16_t, int16_t)>
RecordSwap SwapOf() {
  return [](void* r, int16_t direction, int16_t force) { Swap(static_cast<R*>(r), direction, force); };
}
template <class R, void (*Release)(R*)>
RecordRelease ReleaseOf() {
  return [](void* r) { Release(static_cast<R*>(r)); };
}

// The entry of record type R under `kind`, with its block defaults and copy.
template <class R, void (*Init)(R*, const DefaultSizes&), void (*Copy)(const R*, R*)>
RecordKind RecordKindOf(int16_t kind) {
  RecordKind k;
  k.kind = kind;
  k.slot = SlotOfKind(kind);
  k.blockSize = sizeof(R);
  if constexpr (requires { R::kStoredSize; }) k.storedSize = R::kStoredSize;
  k.construct = [](void* block) { new (block) R{}; };
  k.blockDefaults = InitOf<R, Init>();
  k.copy = [](const void* s, void* d) { Copy(static_cast<const R*>(s), static_cast<R*>(d)); };
  return k;
}

// An entry that also converts its record's byte order.
template <class R, void (*Swap)(R*, int16_t, int16_t)>
RecordKind WithSwap(RecordKind k) {
  k.swap = SwapOf<R, Swap>();
  return k;
}

// The script's own two kinds (TcolPar, MpluPar), its own script-record codecs and the render
// file as the engines' source 2; called by RegisterEffectFamilies.
void RegisterScriptRecords();
