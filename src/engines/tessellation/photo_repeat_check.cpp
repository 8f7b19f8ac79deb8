#include "engines/tessellation/photo_repeat_check.h"

#include <algorithm>

#include "engines/records/param_record.h"

namespace {

bool Side(int32_t v) { return v >= 1 && v <= kRepMaxSide; }

}  // namespace

int16_t Check_RepPar(const RepPar* record) {
  if (record == nullptr) return -1;
  const int32_t* g = record->grid.w;
  const int32_t columns = g[kRepColumnCount], rows = g[kRepRowCount];
  if (!Side(columns) || !Side(rows)) return -1;
  const int32_t column = g[kRepSelColumn], row = g[kRepSelRow], cell = g[kRepSelCell];
  if (column < 0 || column >= columns || row < 0 || row >= rows) return -1;
  return cell >= 0 && cell < rows * columns ? 0 : -1;
}

void Clamp_RepPar(RepPar* record) {
  if (record == nullptr) return;
  int32_t* g = record->grid.w;
  g[kRepColumnCount] = std::clamp(g[kRepColumnCount], 1, kRepMaxSide);
  g[kRepRowCount] = std::clamp(g[kRepRowCount], 1, kRepMaxSide);
  g[kRepSelColumn] = std::clamp(g[kRepSelColumn], 0, g[kRepColumnCount] - 1);
  g[kRepSelRow] = std::clamp(g[kRepSelRow], 0, g[kRepRowCount] - 1);
  g[kRepSelCell] = g[kRepSelRow] * g[kRepColumnCount] + g[kRepSelColumn];
}

int32_t CurrentRepCell(const RepPar* record) {
  if (record == nullptr) return 0;
  const int32_t* g = record->grid.w;
  const int32_t cell = g[kRepSelRow] + g[kRepSelColumn] * g[kRepRowCount];
  // A record that skipped its check still never names a cell past the table.
  return std::clamp(cell, 0, kRepCells - 1);
}

int16_t Do_ARepPar_checked(int16_t mode, FSSpec spec, RepPar* record) {
  if (record == nullptr || (mode != 0 && mode != 2)) return Do_ARepPar_file(mode, spec, record);
  vmkrec::ScratchRecord<RepPar> loaded;
  if (!loaded.valid()) return -1;
  *loaded = *record;
  if (Do_ARepPar_file(mode, spec, loaded.get()) != 0 || Check_RepPar(loaded.get()) != 0) return -1;
  *record = *loaded;
  return 0;
}
