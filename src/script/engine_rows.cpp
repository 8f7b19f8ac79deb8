#include "script/engine_rows.h"

#include <array>
#include <cstring>
#include <string>
#include <utility>

#include "app/core/memory_manager.h"
#include "script/effect_table.h"
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/render_cases.h"
#include "script/script_file.h"

namespace {

std::array<EngineAdapter, kHighestEffect + 1>& Rows() {
  static std::array<EngineAdapter, kHighestEffect + 1> rows{};
  return rows;
}

// The effects whose engine takes plane 6 as its mask, whatever mask the operation names.
bool MaskIsPlane6(EffectCode e) {
  return e == 102 || (e >= 103 && e <= 105) || e == 119;
}

// The weave frame draws on the three composite planes whatever plane the operation names.
bool AlwaysComposite(EffectCode e) {
  return e == 40;
}

// A record at the defaults the script's accessors give for a missing one: the accessor's
// own at the script's sizes when the operation has no MulStruc, the block's at the session's
// when its MulStruc lacks the kind.
void* DefaultsRecord(const ScriptFile& script, const Oprn& op, const RecordKind& k) {
  void* r = NewRecordBlock(k.blockSize);
  if (r == nullptr) return nullptr;
  k.construct(r);
  if (op.MulStruc != nullptr) {
    k.blockDefaults(r, SessionDefaultSizes());
  } else {
    (k.accessDefaults != nullptr ? k.accessDefaults : k.blockDefaults)(r, script.AccessSizes());
  }
  return r;
}

float Quotient(int32_t a, int32_t b) {
  // An area without size gives no scale to divide by; the engine then draws at scale 1.
  return b > 0 ? static_cast<float>(a) / static_cast<float>(b) : 1.0f;
}

}  // namespace

EngineRowStorage::~EngineRowStorage() {
  if (record != nullptr) {
    const RecordKind* k = FindRecordKind(kind);
    if (k != nullptr && k->release != nullptr) k->release(record);
    DeleteRecordBlock(record);
  }
  if (mask != nullptr) DeleteRecordBlock(mask);
}

int32_t RegisterEngineRow(EffectCode effect, EngineAdapter adapter) {
  if (adapter == nullptr || EffectRowOf(effect).group != CaseGroup::kEngine) return -1;
  EngineAdapter& slot = Rows()[effect];
  if (slot != nullptr) return slot == adapter ? 0 : -1;
  if (RegisterRenderCase(effect, EngineRowCase) != 0) return -1;
  slot = adapter;
  return 0;
}

EngineAdapter FindEngineRow(EffectCode effect) {
  return effect >= 1 && effect <= kHighestEffect ? Rows()[effect] : nullptr;
}

int32_t PrepareEngineRow(RenderCall& call, EngineRowCall* row, EngineRowStorage* storage) {
  ScriptFile& s = *call.script;
  Oprn& op = *call.op;
  const EffectCode e = op.Effect;
  const CaseArgs a(call);
  EngineRowCall& r = *row;
  r.script = &s;
  r.op = &op;
  r.effect = e;

  // The record.
  if (EffectRowOf(e).uses & kUsesColourMatrix) {
    if (op.ColMat == nullptr) return 1;
    r.record = op.ColMat;
  } else if (const int16_t kind = EffectRowOf(e).recordKind; kind != 0) {
    r.record = MulStrucRecord(op.MulStruc, kind);
    if (r.record == nullptr) {
      const RecordKind* k = FindRecordKind(kind);
      if (k == nullptr) return -1;
      storage->kind = kind;
      storage->record = r.record = DefaultsRecord(s, op, *k);
      if (r.record == nullptr) return -1;
    }
  }

  // The planes.
  const bool composite = call.plane == nullptr || AlwaysComposite(e);
  r.n = composite ? 3 : 1;
  if (composite) {
    for (int32_t k = 0; k < 3; ++k) r.planes[k] = CompositePlane(call, 3 + k);
  } else {
    r.planes[0] = call.plane;
  }
  r.plane6 = s.ChannelPlane(6, 0);
  if (composite && (e == 101 || e == 113)) r.q = s.ChannelPlane(89, 0);

  // The mask.
  r.mask = call.mask;
  if (MaskIsPlane6(e)) {
    const size_t bytes = static_cast<size_t>(a.w) * static_cast<size_t>(a.h);
    storage->mask = static_cast<uint8_t*>(NewRecordBlock(bytes > 0 ? bytes : 1));
    if (storage->mask == nullptr) return -1;
    // Without a plane 6 nothing holds the effect back: a full mask, as for any mask plane
    // that is missing.
    if (r.plane6 != nullptr) {
      std::memcpy(storage->mask, r.plane6, bytes);
    } else {
      std::memset(storage->mask, 255, bytes);
    }
    r.mask = storage->mask;
  }

  // The values.
  r.mode = a.mode;
  r.opacity = e == 42 ? static_cast<int16_t>(a.p1 * a.opa / 255) : a.opa;
  r.p1 = a.p1, r.p2 = a.p2, r.p3 = a.p3, r.p4 = a.p4, r.p5 = a.p5;
  r.w = a.w, r.h = a.h, r.aw = a.aw, r.ah = a.ah;
  r.resolution = WholeResolution(s.resolution);
  r.pictureW = s.width;
  r.pictureH = s.height;
  if (e == 77) {
    r.scaleX = composite ? static_cast<float>(a.w) / 500.0f : Quotient(a.w, a.aw);
    r.scaleY = composite ? static_cast<float>(a.h) / 500.0f : Quotient(a.h, a.ah);
  }
  return 0;
}

int32_t EngineRowCase(RenderCall& call) {
  const EngineAdapter run = FindEngineRow(call.op->Effect);
  if (run == nullptr) return 0;
  EngineRowCall row;
  EngineRowStorage storage;
  const int32_t prepared = PrepareEngineRow(call, &row, &storage);
  if (prepared != 0) return prepared < 0 ? -1 : 0;
  std::string unreadable;
  row.unreadableFile = &unreadable;
  if (run(row) >= 0) return 0;
  if (!unreadable.empty()) {
    call.failure = StepFailure::kFileUnreadable;
    call.file = std::move(unreadable);
  }
  return -1;
}
