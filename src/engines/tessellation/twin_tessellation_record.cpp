#include "engines/tessellation/twin_tessellation_record.h"

#include <algorithm>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kTwinFile{FourCC("hHhs"), "Load a New Pattern...",
                                         vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_HeschInfo(HeschInfo* info, int16_t quad, int16_t place) {
  if (info == nullptr) return;
  const int32_t head[15] = {0, 1, 1, 0, 100, 0, 0, 0, 0, 0, 0, 0, 0, 100, 100};
  std::copy(head, head + 15, info->w);
  // The quads are the tessellation's own defaults; only words 0..14 differ.
  Init_TessInfo(info, 0, quad, place);
  info->w[0] = 0;
}

void Init_HeschPar(HeschPar* record, int16_t, int16_t, int16_t ramps) {
  if (record == nullptr) return;
  const int32_t head[kTessHeadWords] = {0, 1, 0, 0, 4, 0, 1, 1, 1};
  std::copy(head, head + kTessHeadWords, record->head.w);
  if (ramps == 1) SetDefaultTessRamps(record->ramps);
  for (HeschInfo& info : record->sets) Init_HeschInfo(&info, 1, 1);
}

void Copy_HeschInfo(const HeschInfo* source, HeschInfo* destination, int16_t group) {
  Copy_TessInfo(source, destination, group);
}

void Copy_HeschPar(const HeschPar* source, HeschPar* destination) {
  CopyTessLayout(source, destination);
}

int16_t Do_AHeschPar_file(int16_t mode, FSSpec spec, HeschPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kTwinFile, WholeTessCopy<HeschPar>,
                              vmkrec::TakeWhole<HeschPar>);
}
