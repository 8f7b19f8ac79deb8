#include "script/param_block.h"

#include <algorithm>
#include <cstring>

#include "script/operation.h"
#include "script/record_kinds.h"

namespace {

// The order in which kind 1 creates the records: slots 1, 3, 0, 2, 7 .. 22, 24, 25, 23, 26,
// 27, 28. Only a failure part-way shows the order: the records made before it stay.
constexpr int16_t kCreationOrder[] = {2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                      15, 16, 17, 18, 19, 20, 21, 23, 24, 22, 26, 27, 30};

// Slots in the order a copy walks them.
constexpr int16_t kCopyOrder[] = {0,  1,  2,  3,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                  16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28};

void* NewKindRecord(const RecordKind& k) {
  void* p = NewRecordBlock(k.blockSize);
  if (p != nullptr) k.construct(p);
  return p;
}

void FreeSlotRecord(int16_t slot, void* record) {
  if (record == nullptr) return;
  const RecordKind* k = FindRecordKind(KindOfSlot(slot));
  if (k != nullptr && k->release != nullptr) k->release(record);
  DeleteRecordBlock(record);
}

MulStruc* NewBlock() { return static_cast<MulStruc*>(NewRecordBlock(sizeof(MulStruc))); }

// Puts a new record of one kind into its slot; the old one goes only once the new one is had.
int32_t CreateKind(MulStruc* ms, int16_t kind) {
  const int16_t slot = SlotOfKind(kind);
  if (slot < 0) return 0;
  if (ms == nullptr) return -1;
  const RecordKind* k = FindRecordKind(kind);
  if (k == nullptr) return -1;
  void* fresh = NewKindRecord(*k);
  if (fresh == nullptr) return -1;
  FreeSlotRecord(slot, ms->slot[slot]);
  ms->slot[slot] = fresh;
  return 0;
}

void DefaultKind(MulStruc* ms, int16_t kind, const DefaultSizes& sizes) {
  const RecordKind* k = FindRecordKind(kind);
  void* record = MulStrucRecord(ms, kind);
  if (k != nullptr && record != nullptr) k->blockDefaults(record, sizes);
}

}  // namespace

int32_t Alloc_MulStruc(MulStruc** ms, int16_t kind) {
  if (ms == nullptr) return -1;
  switch (kind) {
    case -1:
      if (*ms != nullptr) Dele_MulStruc(*ms);
      *ms = NewBlock();
      return *ms != nullptr ? 0 : -1;
    case 0:
      *ms = NewBlock();
      return *ms != nullptr ? 0 : -1;
    case 1:
      if (*ms == nullptr) return -1;
      for (int16_t k : kCreationOrder) {
        if (FindRecordKind(k) == nullptr) continue;
        if (CreateKind(*ms, k) != 0) return -1;
      }
      return 0;
    default:
      if (kind < -1 || kind > 30 || SlotOfKind(kind) < 0) return 0;
      return CreateKind(*ms, kind);
  }
}

int32_t Init_MulStruc(MulStruc* ms, int16_t create, int16_t kind) {
  if (kind < 1 || kind > 30 || (kind > 1 && SlotOfKind(kind) < 0)) return 0;
  if (create == 1 && Alloc_MulStruc(&ms, kind) != 0) return -1;
  if (ms == nullptr) return -1;
  const DefaultSizes sizes = SessionDefaultSizes();
  if (kind != 1) {
    DefaultKind(ms, kind, sizes);
    return 0;
  }
  for (int16_t k : kCreationOrder) DefaultKind(ms, k, sizes);
  return 0;
}

int32_t Copy_MulStruc(const MulStruc* src, MulStruc* dst) {
  if (src == nullptr || dst == nullptr || src == dst) return src == dst ? 0 : -1;
  for (int16_t slot : kCopyOrder) {
    const void* from = src->slot[slot];
    if (from == nullptr) continue;
    const int16_t kind = KindOfSlot(slot);
    const RecordKind* k = FindRecordKind(kind);
    if (k == nullptr) return -1;
    if (dst->slot[slot] == nullptr && Alloc_MulStruc(&dst, kind) != 0) return -1;
    k->copy(from, dst->slot[slot]);
  }
  return 0;
}

void Dele_MulStruc(MulStruc* ms) {
  if (ms == nullptr) return;
  for (int16_t slot = 0; slot < MulStruc::kUsedSlots; ++slot) {
    FreeSlotRecord(slot, ms->slot[slot]);
    ms->slot[slot] = nullptr;
  }
  DeleteRecordBlock(ms);
}

void* MulStrucRecord(const MulStruc* ms, int16_t kind) {
  const int16_t slot = SlotOfKind(kind);
  return ms != nullptr && slot >= 0 ? ms->slot[slot] : nullptr;
}

void Init_TcolPar(TcolPar* r) {
  if (r == nullptr) return;
  r->head0 = 0;
  r->head1 = 1;
  r->word = 0;
  std::memset(r->groups, 0, sizeof r->groups);
  for (int k = 0; k < 4; ++k) r->groups[k][k] = 100;
}

void Copy_TcolPar(const TcolPar* s, TcolPar* d) {
  if (s == nullptr || d == nullptr) return;
  d->head0 = s->head0;
  d->head1 = s->head1;
  d->word = s->word;
  std::memcpy(d->groups, s->groups, sizeof d->groups);
}

void Init_MpluPar(MpluPar* r) {
  if (r == nullptr) return;
  r->head0 = 0;
  r->head1 = 1;
  r->countA = 5;
  r->countB = 5;
  std::fill(std::begin(r->values), std::end(r->values), 0.0f);
}

void Copy_MpluPar(const MpluPar* s, MpluPar* d) {
  if (s == nullptr || d == nullptr) return;
  d->head0 = s->head0;
  d->head1 = s->head1;
  d->countA = s->countA;
  d->countB = s->countB;
  std::copy(std::begin(s->values), std::end(s->values), d->values);
}
