#include "engines/correction/colour_matrix.h"

#include <cstring>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kColourMatrixFile{
    FourCC("hCma"), "Load a New ColorMatrix...", vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_ColMatPar(ColMatPar* record) {
  if (record == nullptr) return;
  record->byteOrder = HostOrderFlag();
  record->second = 1;
  for (auto& cell : record->cells) cell = 0xFFFFFFFFu;
  record->tool = 5;
  std::memset(record->paint, 0, sizeof record->paint);
  std::memset(record->shift, 0, sizeof record->shift);
  record->noise = 0;
  record->contrast = 0;
  // A black centre fading to white at the grid's border, in all four channels.
  Calc_vign(record, 16, 16, 0, 1, 1, 1, 1, 0, 0, 0, 0);
}

void Copy_ColMatPar(const ColMatPar* source, ColMatPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  destination->byteOrder = source->byteOrder;
  destination->second = source->second;
  std::memcpy(destination->cells, source->cells, sizeof source->cells);
  destination->tool = source->tool;
  std::memcpy(destination->paint, source->paint, sizeof source->paint);
  std::memcpy(destination->shift, source->shift, sizeof source->shift);
  destination->noise = source->noise;
  destination->contrast = source->contrast;
}

void Invert_vign(ColMatPar* record, int32_t flag0, int32_t flag1, int32_t flag2, int32_t flag3) {
  if (record == nullptr) return;
  const int32_t flags[4] = {flag0, flag1, flag2, flag3};
  for (auto& cell : record->cells)
    for (int c = 0; c < 4; ++c)
      if (flags[c] == 1)
        cell = ColMatWithChannel(cell, c, static_cast<uint8_t>(255 - ColMatChannel(cell, c)));
}

void SwapColMatPar(ColMatPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AColMatPar_file(int16_t mode, FSSpec spec, ColMatPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kColourMatrixFile, Copy_ColMatPar);
}
