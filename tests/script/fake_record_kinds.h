// Stand-ins for effect-family records, so the script's own tests exercise the parameter
// block without the families above it: kind 21 holds a block of its own (freed with it, as
// the resize record's masks are), kind 26 is plain. Both take their defaults from the sizes.
#pragma once

#include <cstdint>

#include "script/record_kinds.h"

struct FakeMaskPar {
  static constexpr int32_t kStoredSize = 16;
  int32_t width = 0;
  int32_t height = 0;
  int32_t resolution = 0;
  int32_t value = 0;
  uint8_t* mask = nullptr;  // owned, 64 bytes
};

struct FakePar {
  static constexpr int32_t kStoredSize = 12;
  int32_t previewWidth = 0;
  int32_t previewHeight = 0;
  int32_t value = 0;
};

inline constexpr int16_t kFakeMaskKind = 21;
inline constexpr int16_t kFakeKind = 26;

// Registers the script's own kinds and the two stand-ins (idempotent).
void RegisterFakeKinds();

// While alive, records of `kind` cannot be had (their block size is beyond any allocator).
class RefusedKind {
 public:
  explicit RefusedKind(int16_t kind);
  ~RefusedKind();
  RefusedKind(const RefusedKind&) = delete;
  RefusedKind& operator=(const RefusedKind&) = delete;

 private:
  RecordKind* entry_;
  size_t size_;
};
