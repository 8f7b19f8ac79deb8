#include "engines/patterns/fractal_record.h"

#include <cmath>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kFractalFile{FourCC("hFra"), "Load a New Fractal...",
                                            vmkrec::PresetLayout::RecordOnly, 0, true};

constexpr double kFixedUnit = 10000000.0;
constexpr int32_t kFixedOffset = 10;

struct TypeDefaults {
  int32_t colourScale;
  double re;
  double im;
};

// Colour scale and constant of formula types 1 to 31.
constexpr TypeDefaults kTypeDefaults[31] = {
    {5, 0.35, 0.35},   {20, 0.5, 0.0},   {20, 0.5, 0.0},   {30, 0.5, 0.5},   {30, 0.5, 0.5},
    {40, 0.7, -0.3},   {40, 0.7, -0.3},  {10, -0.1, -0.1}, {60, 0.9, 0.9},   {60, 0.8, 0.8},
    {60, 1.0, 1.0},    {60, 1.0, 1.0},   {20, 0.3, 1.58},  {20, 0.5, 0.6},   {10, 0.35, 0.35},
    {10, 0.35, 0.35},  {10, 0.35, 0.35}, {30, 0.18, 0.76}, {30, -0.7, 0.85}, {30, 1.49, 0.5},
    {30, 1.0, 0.5},    {30, 1.0, 0.5},   {30, 1.0, 0.5},   {30, 0.5, -0.5},  {30, 1.0, 0.0},
    {30, 0.4, 0.1},    {30, -1.0, 1.0},  {30, 0.0, 1.5},   {30, 0.43, 0.53}, {20, 0.0, 1.5},
    {10, -0.65, 0.0}};

constexpr int32_t kExtras[8] = {0, 10000, 10000, 0, 0, 0, 10000, 10000};

}  // namespace

double FractFixedValue(const int32_t* words) {
  // The integer word less its offset in 64 bits: a damaged word at the end of its range.
  return static_cast<double>(int64_t{words[0]} - kFixedOffset) +
         static_cast<double>(words[1]) / kFixedUnit;
}

void SetFractFixed(int32_t* words, double value) {
  const double whole = std::floor(value);
  int64_t integer = static_cast<int64_t>(whole) + kFixedOffset;
  // Rounded, so that decimal constants such as 0.35 keep their exact fraction word.
  int64_t fraction = std::llround((value - whole) * kFixedUnit);
  if (fraction >= static_cast<int64_t>(kFixedUnit)) {
    fraction -= static_cast<int64_t>(kFixedUnit);
    ++integer;
  }
  words[0] = static_cast<int32_t>(integer);
  words[1] = static_cast<int32_t>(fraction);
}

void Init_FractInfo(FractInfo* info, int32_t entryFlag, int32_t type, int16_t fillExtras) {
  if (info == nullptr) return;
  int32_t* w = info->w;
  w[0] = HostOrderFlag();
  w[kFraVersion] = 1;
  w[kFraEntryFlag] = entryFlag;
  w[kFraOpacity] = 100;
  w[kFraBlur] = 0;
  w[kFraColourMode] = 0;
  w[kFraType] = type;
  w[kFraIterations] = 100;
  w[kFraColourShift] = 0;
  w[kFraBailOut] = 4;
  w[11] = 0;
  SetFractFixed(&w[kFraWindowLeft], -2.0);
  SetFractFixed(&w[kFraWindowRight], 2.0);
  SetFractFixed(&w[kFraWindowTop], -2.0);
  SetFractFixed(&w[kFraWindowBottom], 2.0);
  if (type >= 1 && type <= 31) {
    const TypeDefaults& d = kTypeDefaults[type - 1];
    w[kFraColourScale] = d.colourScale;
    SetFractFixed(&w[kFraConstRe], d.re);
    SetFractFixed(&w[kFraConstIm], d.im);
  }
  w[kFraWord24] = 1;
  if (fillExtras == 1)
    for (int i = 0; i < 8; ++i) w[kFraExtras + i] = kExtras[i];
  Init_LutVign(0, &info->ramp, 0, 0, 0, 0);
}

void Init_FractPar(FractPar* record, int16_t type, int16_t /*unused*/) {
  if (record == nullptr) return;
  record->byteOrder = HostOrderFlag();
  record->head = 1;
  Init_FractInfo(&record->entries[0], 1, type, 1);
  for (int n = 1; n < kFractEntries; ++n) Init_FractInfo(&record->entries[n], 0, 1, 1);
}

void Copy_FractInfo(const FractInfo* source, FractInfo* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  for (int i = 0; i < kFractInfoWords; ++i) destination->w[i] = source->w[i];
  Copy_LutVign(&source->ramp, &destination->ramp);
}

void Copy_FractPar(const FractPar* source, FractPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  destination->byteOrder = source->byteOrder;
  destination->head = source->head;
  for (int n = 0; n < kFractEntries; ++n)
    Copy_FractInfo(&source->entries[n], &destination->entries[n]);
}

void SwapFractInfo(FractInfo* info, int16_t direction, int16_t force) {
  if (info != nullptr) vmkrec::SwapRecord(*info, direction, force);
}

void SwapFractPar(FractPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AFract_file(int16_t mode, FSSpec spec, FractPar* record) {
  return vmkrec::DoPresetFile(mode, spec, record, kFractalFile, Copy_FractPar);
}
