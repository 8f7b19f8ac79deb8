#include "engines/correction/lens_correction.h"

#include <cstring>

#include "engines/records/preset_file.h"

namespace {

constexpr vmkrec::PresetFormat kLensFile{FourCC("hZnd"), "Load a New Lens...",
                                         vmkrec::PresetLayout::HeadAndRecord, 1, false};

}  // namespace

void Init_ZondracPar(ZondracPar* r, int32_t width, int32_t height, int32_t resolution,
                     int32_t a4, int32_t a5, int16_t a6) {
  if (r == nullptr) return;
  int32_t* w = r->w;
  w[0] = HostOrderFlag();
  w[kZndVersion] = 1;
  w[kZndWidth] = width;
  w[kZndHeight] = height;
  w[kZndResolution] = resolution;
  w[kZndFrameCells] = a4;
  w[kZndFrameLastRow] = a5;
  w[7] = a6;
  w[8] = w[9] = 0;
  w[10] = 128;
  w[kZndSelection] = 0;
  w[12] = 0;
  w[13] = w[14] = 100000;
  w[15] = w[16] = w[17] = 0;
  w[18] = w[19] = 100000;
  w[kZndMutate] = 100;
  w[kZndMutateOn] = 1;
  w[kZndDistortH] = 10;
  w[kZndDistortV] = 10;
  w[kZndSize] = 5;
  for (int i = kZndRotation; i <= 30; ++i) w[i] = 0;
  w[kZndFringeOn] = 0;
  w[kZndFringe] = w[kZndFringe + 1] = w[kZndFringe + 2] = 110;
  w[35] = 100;
  w[kZndVignetteOn] = 0;
  w[kZndBrightness] = w[kZndBrightness + 1] = w[kZndBrightness + 2] = 50;
  w[kZndBalance] = 50;
}

void Copy_ZondracPar(const ZondracPar* source, ZondracPar* destination) {
  if (source == nullptr || destination == nullptr || source == destination) return;
  std::memcpy(destination->w, source->w, sizeof source->w);
}

void SwapZondracPar(ZondracPar* record, int16_t direction, int16_t force) {
  if (record != nullptr) vmkrec::SwapRecord(*record, direction, force);
}

int16_t Do_AZondrac_file(int16_t mode, FSSpec spec, ZondracPar* record) {
  // A preset made on another image keeps the current image's width and height.
  auto take = [](const ZondracPar& loaded, ZondracPar* r) {
    const int32_t width = r->w[kZndWidth], height = r->w[kZndHeight];
    Copy_ZondracPar(&loaded, r);
    r->w[kZndWidth] = width;
    r->w[kZndHeight] = height;
  };
  return vmkrec::DoPresetFile(mode, spec, record, kLensFile, Copy_ZondracPar, take);
}
