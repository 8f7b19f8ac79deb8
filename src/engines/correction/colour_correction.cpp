#include "engines/correction/colour_correction.h"

#include <algorithm>
#include <cstring>

#include "engines/records/preset_file.h"

namespace {

void Fill(ColCorPar* r, int32_t from, int32_t count, int32_t value) {
  std::fill_n(&r->w[from], count, value);
}

void CopyWords(const ColCorPar* s, ColCorPar* d, int32_t from, int32_t toInclusive) {
  std::memcpy(&d->w[from], &s->w[from], sizeof(int32_t) * static_cast<size_t>(toInclusive - from + 1));
}

void DefaultCurve(ColCorPar* r, int n) {
  for (int i = 0; i < 256; ++i) r->w[ColCorTable(n) + i] = i;
  Fill(r, ColCorPoints(n), 101, -200);
  for (int level : {0, 25, 50, 75, 100}) r->w[ColCorPoints(n) + level] = level;
}

void CopyCurve(const ColCorPar* s, int from, ColCorPar* d, int to) {
  std::memcpy(&d->w[ColCorTable(to)], &s->w[ColCorTable(from)], 256 * sizeof(int32_t));
  std::memcpy(&d->w[ColCorPoints(to)], &s->w[ColCorPoints(from)], 101 * sizeof(int32_t));
}

constexpr int32_t kFocusDefaults[16] = {
    100, 100, 100, 100,  // deblur, denoise, sharpen, edge blur, interleaved
    2,   2,   1,   5,    //
    30,  20,  50,  5,    //
    0,   20,  0,   40};

}  // namespace

OSType ColCorFileType(int16_t kind) {
  switch (kind) {
    case 103: return FourCC("Sse4");
    case 104: return FourCC("Sse5");
    case 105: return FourCC("Sse3");
    case 119: return FourCC("Sse2");
    default: return 0;
  }
}

void Init_ColCorPar(ColCorPar* r, int32_t width, int32_t height, int32_t resolution,
                    int16_t kind, int16_t part, int16_t curve) {
  if (r == nullptr) return;
  int32_t* w = r->w;
  w[0] = HostOrderFlag();
  w[kCCVersion] = 1;
  w[kCCWidth] = width;
  w[kCCHeight] = height;
  w[kCCResolution] = resolution;
  w[5] = 0;
  w[7] = 128;
  w[9] = 0;
  w[10] = w[11] = 100000;
  w[12] = w[13] = w[14] = 0;
  w[15] = w[16] = 100000;
  w[kCCKind] = kind;
  w[kCCMixPercent] = 100;
  w[19] = 5;
  w[20] = 10;
  w[21] = 2;
  w[22] = 50;
  w[23] = 0;
  w[1996] = w[1997] = w[1998] = 1;
  w[kCCFocusMode] = 1;
  w[4988] = w[4989] = w[4990] = 100;
  std::memcpy(&w[kCCFocus], kFocusDefaults, sizeof kFocusDefaults);
  const int32_t smoothing[6] = {100, 15, 65, 35, 25, 0};
  std::memcpy(&w[kCCSmoothing], smoothing, sizeof smoothing);
  const int32_t noise[4] = {100, 45, 1, 0};
  std::memcpy(&w[kCCNoise], noise, sizeof noise);

  if (part == 0 || part == 1) {
    Fill(r, kCCMatrix, 20, 0);
    for (int row = 0; row < 4; ++row) w[kCCMatrix + 5 * row] = 100;  // words 24, 29, 34, 39
  }
  if (part == 0 || part == 2) {
    Fill(r, kCCArrays, 48 * 32, 0);
    Fill(r, kCCArrays + 48 * 32, 5 * 32, 9);
    Fill(r, kCCArrays + 53 * 32, 6 * 32, 15);
    Fill(r, kCCArrayOne, 32, 0);
    w[kCCArrayOne] = 1;
    Fill(r, kCCArrayOnes, 32, 1);
    Fill(r, kCCOnesArrays, 24 * 32, 1);
  }
  if (part == 0 || part == 3) {
    for (int n = 1; n <= 4; ++n)
      if (curve == 0 || curve == n) DefaultCurve(r, n);
  }
}

void Copy_ColCorPar(const ColCorPar* s, ColCorPar* d, int16_t part, int16_t how, int16_t which) {
  if (s == nullptr || d == nullptr || s == d) return;
  CopyWords(s, d, 0, 23);
  CopyWords(s, d, 1996, 1998);
  d->w[kCCFocusMode] = s->w[kCCFocusMode];
  CopyWords(s, d, 4988, kColCorWords - 1);
  if (part == 0 || part == 1) CopyWords(s, d, kCCMatrix, kCCArrays - 1);
  if (part == 0 || part == 2) {
    CopyWords(s, d, kCCArrays, 1995);
    CopyWords(s, d, kCCUnsetArrays, kCCTables - 1);
  }
  if (part == 0 || part == 3) {
    if (how == 0) {
      CopyWords(s, d, kCCTables, kCCMorePoints - 1);
    } else if (how >= 1 && how <= 4) {
      if (which == 0)
        for (int n = 1; n <= 4; ++n) CopyCurve(s, how, d, n);
      else if (which >= 1 && which <= 4)
        CopyCurve(s, how, d, which);
    }
  }
}

void SwapColCorPar(ColCorPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AColCor_file(int16_t mode, FSSpec spec, ColCorPar* record, int16_t kind) {
  if (mode < 0 || mode > 2) return 0;
  const OSType type = ColCorFileType(kind);
  if (type == 0) return -1;
  const vmkrec::PresetFormat format{type, "Load a New ColCor...",
                                    vmkrec::PresetLayout::HeadAndRecord, 4, false};
  auto copyAll = [](const ColCorPar* s, ColCorPar* d) { Copy_ColCorPar(s, d, 0, 0, 0); };
  // A preset of one effect brings only that effect's words; the rest of the record, its
  // geometry included, stays as it was.
  auto take = [kind](const ColCorPar& loaded, ColCorPar* r) {
    switch (kind) {
      case 104: CopyWords(&loaded, r, kCCSmoothing, kCCSmoothing + 5); break;
      case 103: CopyWords(&loaded, r, kCCNoise, kCCNoise + 3); break;
      case 105:
        r->w[kCCFocusMode] = loaded.w[kCCFocusMode];
        CopyWords(&loaded, r, kCCFocus, kCCFocus + 15);
        break;
      case 119:
        r->w[kCCMixPercent] = loaded.w[kCCMixPercent];
        for (int row : {0, 1, 2, 4}) CopyWords(&loaded, r, kCCMatrix + 4 * row, kCCMatrix + 4 * row + 2);
        break;
      default: break;
    }
  };
  return vmkrec::DoPresetFile(mode, spec, record, format, copyAll, take);
}
