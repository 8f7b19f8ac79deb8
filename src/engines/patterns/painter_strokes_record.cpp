#include "engines/patterns/painter_strokes_record.h"

#include <algorithm>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kPainterFile{FourCC("hSto"), "Load a New Painter...",
                                            vmkrec::PresetLayout::RecordOnly, 0, false};

}  // namespace

void Init_StrokInfo1(StrokInfo1* head) {
  if (head == nullptr) return;
  int32_t* w = head->w;
  w[0] = 0;
  w[1] = 1;
  w[4] = 3;
  w[kStrColourSource] = 1;
  w[6] = 100;
  w[kStrSourceBlur] = 0;
  w[8] = 0;
  w[kStrSourceContrast] = 0;
  std::fill(w + kStrUniformRGB, w + kStrUniformRGB + 3, 0);
  w[kStrPaperWidth] = 30;
  w[kStrPaperHeight] = 30;
  w[kStrPaperOpacity] = 50;
  w[kStrPaperMode] = 7;
  w[kStrPaperA] = w[kStrPaperB] = w[kStrPaperContrast] = 0;
  w[kStrCurrentSet] = 0;
  Init_LutVign(3, &head->ramp, 0, 0, 0, 0);
}

void Init_StrokInfo(StrokInfo* set) {
  if (set == nullptr) return;
  // Words 0..29; words 30 and 31 are left as they were.
  const int32_t defaults[30] = {0,  1,  100, 0, 1, 0, 50, 100, 0, 0, 0, 0, 1, 15, 15,
                                50, 16, 2,   0, 90, 16, 1, 0,  0, 0, 0, 0, 0, 0,  1};
  std::copy(defaults, defaults + 30, set->w);
  Init_LutVign(3, &set->ramp, 0, 0, 0, 0);
}

void Init_StrokPar(StrokPar* record) {
  if (record == nullptr) return;
  Init_StrokInfo1(&record->head);
  for (int k = 0; k < kStrokSets; ++k) {
    Init_StrokInfo(&record->sets[k]);
    Init_FicStruct(&record->brushes[k]);
  }
  Init_FicStruct(&record->second);
  Init_FicStruct(&record->paper);
}

void Copy_StrokInfo1(const StrokInfo1* s, StrokInfo1* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Copy_StrokInfo(const StrokInfo* s, StrokInfo* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Copy_StrokPar(const StrokPar* s, StrokPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  Copy_StrokInfo1(&s->head, &d->head);
  for (int k = 0; k < kStrokSets; ++k) {
    Copy_StrokInfo(&s->sets[k], &d->sets[k]);
    Copy_FicStruct(&s->brushes[k], &d->brushes[k]);
  }
  Copy_FicStruct(&s->second, &d->second);
  Copy_FicStruct(&s->paper, &d->paper);
}

void SwapStrokInfo1(StrokInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapStrokInfo(StrokInfo* set, int16_t direction, int16_t force) {
  if (set != nullptr) vmkrec::SwapRecord(*set, direction, force);
}

void SwapStrokPar(StrokPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AStrok_file(int16_t mode, FSSpec spec, StrokPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kPainterFile, Copy_StrokPar);
}
