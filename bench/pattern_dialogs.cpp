// The colour-ramp dialogs' own work and the owner's side of a live ramp
// edit: the editor's four images (what its DrawWindowContent draws after
// every change, also the longest step of a tick while the hue bar is
// dragged), one page of the ramp browser (six ramp files read and drawn as
// bars), and one live hand-shake round: the editor's ramp with its shifts
// handed to an owner whose cookie-cutter preview renders a 6000 x 4000
// picture into a 500 x 500 view.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/core/app_data.h"
#include "bench_session.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/patterns/ramp_editor.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/toolbox/api/plain_menus.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace {

// An image box of the given size, as a window would make it.
void Open(VMKimabox& box, float w, float h, int16_t mode) {
  plat::tb::Event init;
  init.eventClass = plat::tb::kEventClassHIObject;
  init.kind = plat::tb::kEventHIObjectInitialize;
  init.bounds = CGRect{{0.0f, 0.0f}, {w, h}};
  box.ImaBoxEventHandler(nullptr, &init, nullptr);
  box.InitBuf(mode);
  box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
}

LutVign Ramp(int k) {
  LutVign r;
  for (int i = 0; i < 256; ++i) {
    r.opacity[i] = static_cast<uint8_t>(255 - i / 3);
    r.colour[0][i] = static_cast<uint8_t>(i);
    r.colour[1][i] = static_cast<uint8_t>(k * 12 + i / 2);
    r.colour[2][i] = static_cast<uint8_t>(255 - i);
  }
  return r;
}

void BM_EditorImages(benchmark::State& state) {
  BenchSession s;
  VMKimabox colourBar, opacityBar, colourPicker, opacityPicker;
  Open(colourBar, 400, 32, 21);
  Open(opacityBar, 400, 32, 21);
  Open(colourPicker, 200, 64, 21);
  Open(opacityPicker, 200, 32, 21);
  const LutVign ramp = Ramp(3);
  int16_t hue = 0;
  for (auto _ : state) {
    hue = static_cast<int16_t>(hue == 180 ? -180 : hue + 1);  // as while the hue bar is dragged
    DrawRampImages(&colourBar, &opacityBar, &colourPicker, &opacityPicker, &ramp, hue, 10, 5);
    benchmark::DoNotOptimize(colourBar.displayBuffer());
  }
}
BENCHMARK(BM_EditorImages)->Unit(benchmark::kMillisecond);

void BM_BrowserPage(benchmark::State& state) {
  BenchSession s;
  BenchScratchDir dir;
  TAppData data;
  TAppData* const previous = gappData;
  gappData = &data;
  SetFicFromPosix(&s.per.makersFolder, dir.path + "/");
  {
    plat::ui::ScriptedUi answers;
    plat::ui::ScopedServices scoped(&answers);
    for (int k = 0; k < 20; ++k) {
      char name[64];
      std::snprintf(name, sizeof name, "%s/ramp%02d.hvig", dir.path.c_str(), k);
      char category[kLutVignTextSize] = "Spectrum";
      LutVign r = Ramp(k);
      answers.AnswerSaveFile(std::string(name));
      FSSpec none{};
      Do_ALutVign_file(1, none, &r, category, nullptr, 0, 0, 0, 0);
    }
  }
  VMKimabox boxes[6];
  VMKimabox* views[6];
  TSSeff slotRecords[6];
  TSSeff* slots[6];
  for (int k = 0; k < 6; ++k) {
    Open(boxes[k], 400, 32, 21);
    views[k] = &boxes[k];
    slots[k] = &slotRecords[k];
  }
  VMKlisteff keeper(1, 6);
  keeper.fillLimit = 6;
  MenuRef categories = plat::ui::NewMenu(1, "c");
  MenuRef names = plat::ui::NewMenu(2, "n");
  keeper.PrepareCatNamMenus(categories, names, 0);
  int16_t first = 0;
  for (auto _ : state) {
    first = static_cast<int16_t>(first == 0 ? 14 : 0);  // a new page each time
    keeper.UpdatePreviews(3, categories, first, 0, slots, views, nullptr);
    benchmark::DoNotOptimize(boxes[5].displayBuffer());
  }
  state.SetLabel(std::to_string(keeper.filled) + " bars");
  plat::ui::DisposeMenu(categories);
  plat::ui::DisposeMenu(names);
  gappData = previous;
}
BENCHMARK(BM_BrowserPage)->Unit(benchmark::kMillisecond);

void BM_LiveRound(benchmark::State& state) {
  BenchSession s;
  constexpr uint32_t kW = 6000, kH = 4000;
  PixelBuffer photo(kW, kH, 1, 4), unused;
  for (uint32_t y = 0; y < kH; ++y) {
    uint8_t* row = photo.rowPtr(y);
    for (uint32_t x = 0; x < kW; ++x) {
      row[4 * x] = static_cast<uint8_t>(x * 3);
      row[4 * x + 1] = static_cast<uint8_t>(y * 5);
      row[4 * x + 2] = static_cast<uint8_t>((x ^ y) & 255);
      row[4 * x + 3] = 255;
    }
  }
  FilterRecord record;
  record.planeCount = 3;
  record.imageMode = 3;
  record.imageWidth = kW;
  record.imageHeight = kH;
  record.imageRect = Rect{0, 0, static_cast<int16_t>(kH), static_cast<int16_t>(kW)};
  record.inLastPlane = 2;
  gFilterRecord = &record;
  SetSessionSpanImages(&photo, &unused);
  vmkviews::RegisterPreviewEngines();
  VMKimabox owner;
  Open(owner, 500, 500, 12);
  owner.SetPanBufCoord(0, 0, 100000, 100000);
  // The picture record of the current document, as a dialog hands it over.
  auto picture = std::make_unique<YoxelPar>();
  Init_YoxelPar(picture.get(), kW, kH, 72, 0, 5);
  owner.SetYoxelPar(picture.get(), 0, 3);
  CookiCutPar cookie;
  Init_CookiCutPar(&cookie);
  const LutVign ramp = Ramp(5);
  int16_t hue = 0;
  for (auto _ : state) {
    // The editor's side: the ramp with its shifts; the owner's: into its
    // record and onto its preview.
    hue = static_cast<int16_t>(hue == 180 ? -180 : hue + 7);
    LutVign handed = ramp;
    HSLadjust_LutVign(&handed, hue, 0, 0);
    Copy_LutVign(&handed, &cookie.ramp);
    owner.SetCookiCutPar(&cookie, 1, 3);
    benchmark::DoNotOptimize(owner.displayBuffer());
  }
  SetSessionSpanImages(nullptr, nullptr);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_LiveRound)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
