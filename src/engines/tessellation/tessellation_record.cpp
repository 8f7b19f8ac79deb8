#include "engines/tessellation/tessellation_record.h"

#include <algorithm>
#include <cstring>

#include "engines/records/preset_file.h"
#include "engines/records/session_defaults.h"

namespace {

constexpr vmkrec::PresetFormat kTessFile{FourCC("hPts"), "Load a New Pattern...",
                                         vmkrec::PresetLayout::RecordOnly, 0, true};

// Corners 0..3 as (x, y) in thousandths, per symmetry type 1..17.
struct QuadCorners {
  int32_t x[4];
  int32_t y[4];
};
constexpr QuadCorners kSquare{{0, 1000, 1000, 0}, {0, 0, 1000, 1000}};

const QuadCorners* DefaultQuad(int16_t type) {
  static constexpr QuadCorners kType5{{0, 1000, 1000, 1000}, {0, 0, 500, 1000}};
  static constexpr QuadCorners kType7{{0, 500, 500, 0}, {0, 0, 1000, 1000}};
  static constexpr QuadCorners kType9{{0, 1000, 500, 0}, {0, 0, 500, 1000}};
  static constexpr QuadCorners kType11{{0, 500, 1000, 0}, {0, 500, 1000, 1000}};
  static constexpr QuadCorners kType14{{0, 500, 333, 0}, {0, 833, 1000, 1000}};
  static constexpr QuadCorners kType15{{500, 1000, 500, 0}, {0, 1000, 1000, 1000}};
  static constexpr QuadCorners kType17{{0, 333, 166, 0}, {0, 1000, 1000, 1000}};
  switch (type) {
    case 1: case 2: case 3: case 4: case 6: case 8: case 10: case 13: return &kSquare;
    case 5: return &kType5;
    case 7: return &kType7;
    case 9: return &kType9;
    case 11: case 12: return &kType11;
    case 14: return &kType14;
    case 15: case 16: return &kType15;
    case 17: return &kType17;
    default: return nullptr;
  }
}

void CopyWords(const int32_t* s, int32_t* d, int from, int toInclusive) {
  std::copy(s + from, s + toInclusive + 1, d + from);
}

// The default picture colours of the first twelve ramps.
constexpr int16_t kRampColours[12][3] = {
    {255, 255, 255}, {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
    {255, 255, 0},   {0, 255, 255}, {255, 0, 255}, {128, 128, 128},
    {128, 0, 0},     {0, 128, 0},   {0, 0, 128},   {128, 128, 0}};

}  // namespace

void SetDefaultTessRamps(LutVign* ramps) {
  if (ramps == nullptr) return;
  for (int k = 0; k < 12; ++k)
    Init_LutVign(6, &ramps[k], kRampColours[k][0], kRampColours[k][1], kRampColours[k][2], 0);
}

bool SetDefaultSourceQuad(int32_t* words, int16_t type) {
  const QuadCorners* q = DefaultQuad(type);
  if (q == nullptr || words == nullptr) return false;
  std::copy(q->x, q->x + 4, words + kTessSourceX);
  std::copy(q->y, q->y + 4, words + kTessSourceY);
  return true;
}

void Init_TessInfo1(TessInfo1* head) {
  if (head == nullptr) return;
  const int32_t defaults[kTessHeadWords] = {HostOrderFlag(), 1, 1, 0, 4, 0, 1, 0, 1};
  std::copy(defaults, defaults + kTessHeadWords, head->w);
}

void Copy_TessInfo1(const TessInfo1* source, TessInfo1* destination) {
  if (source == nullptr || destination == nullptr) return;
  std::copy(source->w, source->w + kTessHeadWords, destination->w);
}

void Init_TessInfo(TessInfo* info, int16_t general, int16_t quad, int16_t place) {
  if (info == nullptr) return;
  int32_t* w = info->w;
  w[0] = HostOrderFlag();
  w[1] = 1;
  if (general == 1) {
    w[kTessEnabled] = 1;
    w[kTessWarpMode] = 0;
    w[4] = 100;
    std::fill(w + 5, w + 13, 0);
    w[kTessBleed] = w[kTessBleed + 1] = 100;
  }
  if (quad == 1) SetDefaultSourceQuad(w, 1);
  if (place == 1) {
    const int32_t base[8] = {40, 60, 60, 40, 40, 40, 60, 60};
    std::copy(base, base + 8, w + kTessBaseX);
  }
}

void Copy_TessInfo(const TessInfo* source, TessInfo* destination, int16_t group) {
  if (source == nullptr || destination == nullptr) return;
  const int32_t* s = source->w;
  int32_t* d = destination->w;
  d[0] = s[0];
  d[1] = s[1];
  if (group == 0 || group == 1) d[kTessEnabled] = s[kTessEnabled];
  if (group == 0 || group == 2) d[kTessWarpMode] = s[kTessWarpMode];
  if (group == 0 || group == 3) CopyWords(s, d, kTessColourShift, kTessColourShift + 2);
  if (group == 0 || group == 4) CopyWords(s, d, kTessOffset, kTessOffset + 1);
  if (group == 0 || group == 5) CopyWords(s, d, 15, kTessInfoWords - 1);
  if (group == 0 || group == 6) CopyWords(s, d, kTessBleed, kTessBleed + 1);
}

void Init_TessParQuad(TessPar* record, int16_t type, int16_t index) {
  if (record == nullptr) return;
  if (index == -1) {
    SetDefaultSourceQuad(record->sets[0].w, type);
    for (int k = 1; k < kTessSets; ++k)
      CopyWords(record->sets[0].w, record->sets[k].w, kTessSourceX, kTessSourceY + 3);
  } else if (index >= 0 && index < kTessSets) {
    SetDefaultSourceQuad(record->sets[index].w, type);
  }
}

void Init_TessPar(TessPar* record, int16_t files, int16_t, int16_t ramps) {
  if (record == nullptr) return;
  Init_TessInfo1(&record->head);
  if (files == 1)
    for (fichier& f : record->tiles) SetContentPicture(&f, ":Vellmarkstead:Images:generic.tif");
  if (ramps == 1) SetDefaultTessRamps(record->ramps);
  for (TessInfo& info : record->sets) Init_TessInfo(&info, 1, 1, 1);
}

void Copy_TessPar(const TessPar* source, TessPar* destination) {
  CopyTessLayout(source, destination);
}

void SwapTessInfo1(TessInfo1* head, int16_t direction, int16_t force) {
  if (head != nullptr) vmkrec::SwapRecord(*head, direction, force);
}

void SwapTessInfo(TessInfo* info, int16_t direction, int16_t force) {
  if (info != nullptr) vmkrec::SwapRecord(*info, direction, force);
}

void SwapTessPar(TessPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_ATessPar_file(int16_t mode, FSSpec spec, TessPar* record) {
  // Copy_TessPar skips words 4..7 of each tile set; a file carries them both ways.
  return vmkrec::DoPresetFile(mode, spec, record, kTessFile, WholeTessCopy<TessPar>,
                              vmkrec::TakeWhole<TessPar>);
}
