#include "engines/patterns/backdrop_compo_records.h"

#include <algorithm>

#include "engines/records/preset_file.h"
#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kBackdropFile{FourCC("hCbd"), "Load a New BackDrop...",
                                             vmkrec::PresetLayout::RecordOnly, 0, false};
constexpr vmkrec::PresetFormat kCompoFile{FourCC("hCom"), "Load a New Compo...",
                                          vmkrec::PresetLayout::RecordOnly, 0, true};

}  // namespace

void Init_BDropInfo1(BDropInfo1* head, int16_t ramp) {
  if (head == nullptr) return;
  int32_t* w = head->w;
  w[0] = 0;
  w[1] = 1;
  w[2] = SessionPhotoWidth();
  w[3] = SessionPhotoHeight();
  std::fill(w + 4, w + 9, 0);
  w[9] = 1;
  if (ramp == 1) Init_LutVign(0, &head->ramp, 255, 255, 255, 255);
}

void Init_BDropInfo(BDropInfo* entry, int16_t a, int16_t b, int16_t c) {
  if (entry == nullptr) return;
  int32_t* w = entry->w;
  w[0] = 0;
  w[1] = 1;
  if (a == 1) {
    const int32_t values[7] = {1, 0, 100, 0, 0, 1, 1};
    std::copy(values, values + 7, w + 2);
  }
  if (b == 1) {
    const int32_t values[8] = {0, 100, 100, 0, 0, 0, 100, 100};
    std::copy(values, values + 8, w + 9);
  }
  if (c == 1) Init_LutVign(5, &entry->ramp, 255, 255, 255, 255);
}

void Init_BDropPar(BDropPar* record, int16_t files) {
  if (record == nullptr) return;
  Init_BDropInfo1(&record->head, 1);
  if (files == 1) Init_FicStruct(&record->background);
  for (fichier& f : record->images) Init_FicStruct(&f);
  for (BDropInfo& e : record->entries) Init_BDropInfo(&e, 1, 1, 1);
}

void Copy_BDropInfo1(const BDropInfo1* s, BDropInfo1* d) {
  if (s == nullptr || d == nullptr) return;
  d->w[0] = s->w[0];
  d->w[1] = s->w[1];
  std::copy(s->w + 4, s->w + 10, d->w + 4);
  Copy_LutVign(&s->ramp, &d->ramp);
}

void Copy_BDropInfo(const BDropInfo* s, BDropInfo* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Copy_BDropPar(const BDropPar* s, BDropPar* d) {
  if (s == nullptr || d == nullptr || s == d) return;
  Copy_BDropInfo1(&s->head, &d->head);
  Copy_FicStruct(&s->background, &d->background);
  for (int32_t n = 0; n < kBDropImages; ++n) {
    Copy_FicStruct(&s->images[n], &d->images[n]);
    Copy_BDropInfo(&s->entries[n], &d->entries[n]);
  }
}

void SwapBDropInfo1(BDropInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapBDropInfo(BDropInfo* entry, int16_t direction, int16_t force) {
  if (entry != nullptr) vmkrec::SwapRecord(*entry, direction, force);
}

void SwapBDropPar(BDropPar* record, int16_t direction, int16_t force) {
  // All 128 entries: converting only the first 16 would store the rest in
  // the writer's order, unreadable on a host of the other order.
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_ABDrop_file(int16_t mode, FSSpec spec, BDropPar* record) {
  // Whole: the copy leaves out the head's words 2 and 3, which the file holds.
  return vmkrec::DoPresetFile(mode, spec, record, kBackdropFile, Copy_BDropPar,
                              vmkrec::TakeWhole<BDropPar>);
}

void Init_CompoInfo1(CompoInfo1* info, int32_t a, int32_t b) {
  if (info == nullptr) return;
  info->w[0] = 1;
  info->w[1] = 1;
  info->w[2] = a;
  info->w[3] = b;
}

void Copy_CompoInfo1(const CompoInfo1* s, CompoInfo1* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void Init_CompoPar(CompoPar* record, int32_t a, int32_t b, int16_t, int16_t, int16_t, int16_t) {
  if (record == nullptr) return;
  record->byteOrderFlag = 1;
  record->version = 1;
  Init_CompoInfo1(&record->info, a, b);
}

void Copy_CompoPar(const CompoPar* s, CompoPar* d) {
  if (s != nullptr && d != nullptr) *d = *s;
}

void SwapCompoInfo1(CompoInfo1* info, int16_t direction, int16_t force) {
  if (info != nullptr) vmkrec::SwapRecord(*info, direction, force);
}

void SwapCompoPar(CompoPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_ACompoPar_file(int16_t mode, FSSpec spec, CompoPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kCompoFile, Copy_CompoPar);
}
