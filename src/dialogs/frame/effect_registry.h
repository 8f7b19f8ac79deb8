// The effect registry: which dialog edits which effect number. The
// operation-list editor's dispatcher looks an effect up here and runs the
// row it finds; the dialog folders above it fill the registry at session
// start, each through its own Register<Folder>Rows, so the dispatcher never
// includes a dialog and no dialog includes the dispatcher.
//
// A row runs one dialog on the editor's current operation by the owner's
// protocol: its scratch records come from the session's memory manager at
// the full size of their record type; the dialog object is made, handed the
// record, run, asked for the record back on 1, and destroyed whatever the
// result; every scratch record is returned before the runner returns.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <new>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/session_state.h"
#include "script/script_file.h"

class VMKtuneeff;

// What a runner is handed: the editor that dispatched it, its binding (script,
// stack, 1-based layer and current operation), the effect code and the
// dispatcher's flag (0 from the effect launcher, 1 from the operation-list
// editor), and the work area the editor passes to every SetEffect.
struct EffectCall {
  VMKtuneeff* editor = nullptr;
  ScriptFile* script = nullptr;
  int16_t stack = 0;
  int16_t layer = 0;
  int16_t operation = 0;
  int16_t code = 0;
  int16_t flag = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  // Gives the current operation this call's code (made when missing, with
  // the code's defaults when the code changes).
  void SetEffect() const { script->SetEffect(stack, layer, operation, code, left, top, right, bottom); }
};

// 1 or 0 as the row's dialog (or picker) answered; what the dispatcher returns.
using EffectRunner = int16_t (*)(EffectCall& call);

struct EffectRow {
  std::vector<int16_t> codes;  // the effect numbers the row serves
  // Under the editor's flag 1 the dispatcher first writes the render file of
  // the operations before the current one, which the row's preview reads.
  bool writesRenderFile = false;
  EffectRunner run = nullptr;
};

class EffectRegistry {
 public:
  static constexpr int16_t kFirstCode = 21;
  static constexpr int16_t kLastCode = 119;

  EffectRegistry() { Reindex(); }

  // 0 when every code of the row is new or already served by the same
  // runner; -1, nothing added, when a code lies outside 21..119, the row has
  // no runner or no code, or another runner already serves one of its codes.
  int32_t Add(const EffectRow& row);
  // Forgets the row serving `code` (every code of it).
  void Remove(int16_t code);
  // The row serving `code`, or null.
  const EffectRow* Find(int16_t code) const;
  size_t size() const { return rows_.size(); }

 private:
  void Reindex();

  std::vector<EffectRow> rows_;
  // For each effect number, its row's place in rows_, or -1.
  int16_t byCode_[kLastCode + 1];
};

// The session's registry, filled by RegisterEffectDialogs at session start.
EffectRegistry& EffectDialogRegistry();

// A record of type R taken from the session's memory manager, at R's full
// size and with R's defaults; returned to the manager when it goes. Empty
// (false) when there is no session or the manager refuses the block.
template <class R>
class ScratchRecord {
 public:
  ScratchRecord() {
    CMemMan* mm = SessionMemMan();
    char* block = mm != nullptr ? mm->NewBuf(static_cast<int32_t>(sizeof(R))) : nullptr;
    if (block != nullptr) record_ = new (block) R();
  }
  ~ScratchRecord() {
    if (record_ == nullptr) return;
    record_->~R();
    if (CMemMan* mm = SessionMemMan()) mm->DelBuf(record_);
  }
  ScratchRecord(const ScratchRecord&) = delete;
  ScratchRecord& operator=(const ScratchRecord&) = delete;

  explicit operator bool() const { return record_ != nullptr; }
  R* get() const { return record_; }
  R* operator->() const { return record_; }
  R& operator*() const { return *record_; }

 private:
  R* record_ = nullptr;
};
