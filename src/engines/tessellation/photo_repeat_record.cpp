#include "engines/tessellation/photo_repeat_record.h"

#include <algorithm>
#include <iterator>

#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kRepeatFile{FourCC("hPre"), "Load a New Pattern...",
                                           vmkrec::PresetLayout::RecordOnly, 0, true};

}  // namespace

void Init_RepInfo1(RepInfo1* grid, int16_t columns, int16_t rows) {
  if (grid == nullptr) return;
  int32_t* w = grid->w;
  w[0] = HostOrderFlag();
  w[1] = 2;
  w[4] = 0;
  w[kRepSelColumn] = 0;
  w[kRepSelRow] = 0;
  w[kRepColumnCount] = columns;
  w[kRepRowCount] = rows;
  w[kRepColourCells] = 0;
  w[kRepTileSource] = 1;
  w[11] = 1;
  w[13] = w[14] = 0;
  std::fill(w + kRepRowShift, w + kRepHeadWords, 0);
  std::fill(std::begin(grid->reserved), std::end(grid->reserved), uint8_t{0});
}

void Init_RepInfo(RepInfo* cell, int16_t column, int16_t row) {
  if (cell == nullptr) return;
  int32_t* w = cell->w;
  w[0] = HostOrderFlag();
  w[1] = 2;
  w[kCellOn] = 1;
  w[kCellOrientation] = 0;
  w[4] = 1;
  w[5] = 0;
  w[kCellColumn] = column;
  w[kCellRow] = row;
  std::fill(w + kCellScrollX, w + kCellOpacity, 0);
  w[kCellOpacity] = 100;
  w[kCellMaskMode] = 1;
  w[kCellBlendMode] = 1;
  std::fill(std::begin(cell->reserved), std::end(cell->reserved), uint8_t{0});
}

void Init_SymmInfo(SymmInfo* block) {
  if (block == nullptr) return;
  block->w[0] = HostOrderFlag();
  block->w[1] = 1;
}

void Init_RepPar(RepPar* record, int16_t files, int16_t columns, int16_t rows) {
  if (record == nullptr) return;
  record->byteOrderFlag = HostOrderFlag();
  record->version = 2;
  if (files == 0)
    for (fichier& f : record->tiles) SetContentPicture(&f, ":Vellmarkstead:Images:generic.tif");
  Init_RepInfo1(&record->grid, columns, rows);
  for (RepInfo& cell : record->cells) {
    cell.w[kCellOn] = 0;
    cell.w[kCellColumn] = -1;
    cell.w[kCellRow] = -1;
    std::fill(std::begin(cell.reserved), std::end(cell.reserved), uint8_t{0});
  }
  // A grid larger than 24 x 24 has no cells beyond the 576 the record holds.
  for (int32_t c = 0; c < columns; ++c)
    for (int32_t r = 0; r < rows; ++r) {
      const int32_t index = r + c * rows;
      if (index < kRepCells)
        Init_RepInfo(&record->cells[index], static_cast<int16_t>(c), static_cast<int16_t>(r));
    }
}

void Copy_RepInfo1(const RepInfo1* source, RepInfo1* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_RepInfo(const RepInfo* source, RepInfo* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_SymmInfo(const SymmInfo* source, SymmInfo* destination) {
  if (source != nullptr && destination != nullptr) *destination = *source;
}

void Copy_RepPar(const RepPar* source, RepPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  Copy_RepInfo1(&source->grid, &destination->grid);
  for (int32_t k = 0; k < kRepCells; ++k) Copy_RepInfo(&source->cells[k], &destination->cells[k]);
  Copy_SymmInfo(&source->symm, &destination->symm);
  for (int32_t k = 0; k < kRepFiles; ++k) {
    Copy_FicStruct(&source->tiles[k], &destination->tiles[k]);
    Copy_LutVign(&source->ramps[k], &destination->ramps[k]);
  }
}

void SwapRepInfo1(RepInfo1* grid, int16_t direction, int16_t force) {
  if (grid != nullptr) vmkrec::SwapRecord(*grid, direction, force);
}

void SwapRepInfo(RepInfo* cell, int16_t direction, int16_t force) {
  if (cell != nullptr) vmkrec::SwapRecord(*cell, direction, force);
}

void SwapSymmInfo(SymmInfo* block, int16_t direction, int16_t force) {
  if (block != nullptr) vmkrec::SwapRecord(*block, direction, force);
}

void SwapRepPar(RepPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_ARepPar_file(int16_t mode, FSSpec spec, RepPar* record) {
  // Copy_RepPar leaves words 0 and 1 to the destination, but the file carries word 1 and a
  // read hands it to the caller; the reserved blocks and ramps go through as held.
  auto copy = [](const RepPar* s, RepPar* d) {
    Copy_RepPar(s, d);
    d->version = s->version;
  };
  return vmkrec::DoPresetFile(mode, spec, record, kRepeatFile, copy, vmkrec::TakeWhole<RepPar>);
}
