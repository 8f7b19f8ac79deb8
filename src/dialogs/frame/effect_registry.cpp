#include "dialogs/frame/effect_registry.h"

#include <algorithm>

int32_t EffectRegistry::Add(const EffectRow& row) {
  if (row.run == nullptr || row.codes.empty()) return -1;
  for (int16_t code : row.codes) {
    if (code < kFirstCode || code > kLastCode) return -1;
    const EffectRow* held = Find(code);
    if (held != nullptr && held->run != row.run) return -1;
  }
  // A folder registering again (the next session's start) replaces its own
  // row by the same one.
  for (int16_t code : row.codes) Remove(code);
  rows_.push_back(row);
  Reindex();
  return 0;
}

void EffectRegistry::Remove(int16_t code) {
  if (Find(code) == nullptr) return;
  rows_.erase(rows_.begin() + byCode_[code]);
  Reindex();
}

const EffectRow* EffectRegistry::Find(int16_t code) const {
  if (code < kFirstCode || code > kLastCode || byCode_[code] < 0) return nullptr;
  return &rows_[static_cast<size_t>(byCode_[code])];
}

void EffectRegistry::Reindex() {
  std::fill(std::begin(byCode_), std::end(byCode_), int16_t{-1});
  for (size_t i = 0; i < rows_.size(); ++i)
    for (int16_t code : rows_[i].codes) byCode_[code] = static_cast<int16_t>(i);
}

EffectRegistry& EffectDialogRegistry() {
  static EffectRegistry registry;
  return registry;
}
