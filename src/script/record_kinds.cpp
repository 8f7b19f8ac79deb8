#include "script/record_kinds.h"

#include <array>
#include <cstdint>

#include "app/core/session_state.h"
#include "engines/records/session_defaults.h"
#include "script/param_block.h"
#include "script/misc_render.h"
#include "script/script_blocks.h"

namespace {

constexpr int16_t kHighestKind = 30;

// Kind -> slot; -1 where a kind names no slot. Kinds 25, 28 and 29 have no record (their
// numbers were never given one), and slots 4 to 6 stay empty: stored blocks keep that layout.
constexpr std::array<int16_t, kHighestKind + 1> kSlotOfKind = {
    -1, -1, 1,  3,  0,  2,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
    17, 18, 19, 20, 21, 22, 23, 24, 25, -1, 26, 27, -1, -1, 28};

struct Registry {
  std::array<RecordKind, kHighestKind + 1> entries{};
  std::array<bool, kHighestKind + 1> present{};
};

Registry& Kinds() {
  static Registry registry;
  return registry;
}

bool SameEntry(const RecordKind& a, const RecordKind& b) {
  return a.kind == b.kind && a.slot == b.slot && a.blockSize == b.blockSize &&
         a.storedSize == b.storedSize && a.construct == b.construct &&
         a.blockDefaults == b.blockDefaults && a.accessDefaults == b.accessDefaults &&
         a.copy == b.copy && a.release == b.release && a.swap == b.swap;
}

}  // namespace

int32_t WholeResolution(float r) {
  if (!(r > -2147483648.0f)) return r < 0.0f ? INT32_MIN : 0;
  if (r >= 2147483648.0f) return INT32_MAX;
  return static_cast<int32_t>(r);
}

DefaultSizes SessionDefaultSizes() {
  DefaultSizes s;
  s.width = s.previewWidth = SessionPhotoWidth();
  s.height = s.previewHeight = SessionPhotoHeight();
  s.resolution = gPer != nullptr ? WholeResolution(gPer->resolution) : 0;
  return s;
}

int16_t SlotOfKind(int16_t kind) {
  return kind >= 0 && kind <= kHighestKind ? kSlotOfKind[kind] : -1;
}

int16_t KindOfSlot(int16_t slot) {
  for (int16_t k = 0; k <= kHighestKind; ++k)
    if (kSlotOfKind[k] == slot && slot >= 0) return k;
  return -1;
}

int32_t RegisterRecordKind(const RecordKind& entry) {
  const int16_t slot = SlotOfKind(entry.kind);
  if (slot < 0 || slot != entry.slot || entry.blockSize == 0 || entry.construct == nullptr ||
      entry.blockDefaults == nullptr || entry.copy == nullptr)
    return -1;
  Registry& r = Kinds();
  if (r.present[entry.kind]) return SameEntry(r.entries[entry.kind], entry) ? 0 : -1;
  r.entries[entry.kind] = entry;
  r.present[entry.kind] = true;
  return 0;
}

const RecordKind* FindRecordKind(int16_t kind) {
  if (SlotOfKind(kind) < 0) return nullptr;
  const Registry& r = Kinds();
  return r.present[kind] ? &r.entries[kind] : nullptr;
}

namespace {

void TcolDefaults(TcolPar* r, const DefaultSizes&) { Init_TcolPar(r); }
void MpluDefaults(MpluPar* r, const DefaultSizes&) { Init_MpluPar(r); }

}  // namespace

void RegisterScriptRecords() {
  RegisterRecordKind(RecordKindOf<TcolPar, TcolDefaults, Copy_TcolPar>(8));
  RegisterRecordKind(RecordKindOf<MpluPar, MpluDefaults, Copy_MpluPar>(9));
  RegisterScriptBlockCodecs();
  InstallRenderFileSource();
}
