// The effect-list browsers: writing the list of a family over a folder of 500 stored
// effects (each file's texts read through the script reader), filling the 15 preview
// slots and views of the load-effect browser from that list (each preview read from its
// stored file), and the two halves of one hover in the compose chooser over a 6000 x 4000
// picture: the window's own part and the slot's render on the worker.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/app_data.h"
#include "app/file_access.h"
#include "bench_session.h"
#include "dialogs/editor/effect_list.h"
#include "engines/families/effect_families.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "paths/draw_par.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/plain_menus.h"
#include "script/misc_render.h"
#include "script/operation.h"
#include "script/script_file.h"
#include "views/image_box.h"

namespace {

constexpr int kStored = 500;

// A maker's folder holding `kStored` effects of family 117 in five categories.
struct StoredFolder {
  BenchSession session;
  TAppData app;
  TAppData* previousApp = gappData;
  DrawPar drawPar;
  BenchScratchDir dir;
  StoredFolder() {
    gappData = &app;
    Init_DrawPar(&drawPar);
    session.per.drawPar = &drawPar;
    const std::filesystem::path makers = std::filesystem::path(dir.path) / "Vellmarkstead";
    std::filesystem::create_directories(makers / "Effects");
    session.per.makersFolder = BenchFileRecord(makers.string());
    RegisterEffectFamilies();
    ScriptFile s;
    s.I_ScriptFile(3, 200, 150, 72.0f, 200, 150, 0, 0, 199, 149);
    s.SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
    std::vector<char> preview(67600, 90);
    for (int n = 0; n < kStored; ++n) {
      const std::string name = "effect " + std::to_string(1000 + n) + ".ach1";
      fichier f = BenchFileRecord((makers / "Effects" / name).string());
      f.type = FourCC("aCH1");
      f.creator = FourCC("vMkC");
      char text[255] = {};
      std::snprintf(text, sizeof text, "Category %d", n % 5);
      File_kern file(&f);
      s.SaveScript(1, s.GetOprn(0, 1, 1), &file, preview.data(), 130, 120, text, 0);
    }
  }
  ~StoredFolder() { gappData = previousApp; }
};

void BM_PrepareEffListFile(benchmark::State& state) {
  StoredFolder folder;
  VMKlisteff list(0, 15);
  MenuRef cat = plat::ui::NewMenu(1, "cat");
  MenuRef nam = plat::ui::NewMenu(2, "nam");
  list.PrepareCatNamMenus(cat, nam, 117);
  for (auto _ : state) list.PrepareEffListFile(117);
  state.counters["entries"] = list.entryCount;
  plat::ui::DisposeMenu(cat);
  plat::ui::DisposeMenu(nam);
}
BENCHMARK(BM_PrepareEffListFile)->Unit(benchmark::kMillisecond);

void BM_UpdatePreviews15(benchmark::State& state) {
  StoredFolder folder;
  VMKlisteff list(0, 15);
  list.fillLimit = 15;
  MenuRef cat = plat::ui::NewMenu(1, "cat");
  MenuRef nam = plat::ui::NewMenu(2, "nam");
  list.PrepareCatNamMenus(cat, nam, 117);
  std::vector<TSSeff> slots(15);
  std::vector<TSSeff*> slotTable(15);
  std::vector<std::unique_ptr<VMKimabox>> boxes;
  std::vector<VMKimabox*> views(15);
  for (size_t k = 0; k < 15; ++k) {
    slotTable[k] = &slots[k];
    boxes.push_back(std::make_unique<VMKimabox>());
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {130.0f, 130.0f}};
    boxes[k]->ImaBoxEventHandler(nullptr, &init, nullptr);
    boxes[k]->InitBuf(21);
    boxes[k]->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    views[k] = boxes[k].get();
  }
  int16_t first = 0;
  for (auto _ : state) {
    list.UpdatePreviews(0, cat, first, 1, slotTable.data(), views.data(), nullptr);
    first = static_cast<int16_t>((first + 15) % (kStored - 15));
  }
  state.counters["filled"] = list.filled;
  plat::ui::DisposeMenu(cat);
  plat::ui::DisposeMenu(nam);
}
BENCHMARK(BM_UpdatePreviews15)->Unit(benchmark::kMillisecond);

}  // namespace

// ---- the compose chooser's hover over a large picture ----

namespace {

constexpr int32_t kBigW = 6000;
constexpr int32_t kBigH = 4000;
// A slot of the 2 x 2 layout of the chooser's window: 402 x 272, the picture fitted.
constexpr int32_t kSlotW = 402, kSlotH = 272;
constexpr int32_t kFitW = 402, kFitH = 268;

struct BigPicture {
  PixelBuffer photo{kBigW, kBigH, 1, 4};
  PixelBuffer unused;
  FilterRecord record;
  BigPicture() {
    for (uint32_t y = 0; y < kBigH; ++y) {
      uint8_t* p = photo.rowPtr(y);
      for (uint32_t x = 0; x < kBigW; ++x, p += 4) {
        p[0] = static_cast<uint8_t>(x >> 4);
        p[1] = static_cast<uint8_t>(y >> 4);
        p[2] = static_cast<uint8_t>((x ^ y) >> 3);
        p[3] = 255;
      }
    }
    record.planeCount = 3;
    record.imageMode = 3;
    record.imageWidth = kBigW;
    record.imageHeight = kBigH;
    record.imageRect = Rect{0, 0, kBigH, kBigW};
    record.inLastPlane = 2;
    gFilterRecord = &record;
    SetSessionSpanImages(&photo, &unused);
  }
  ~BigPicture() {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
  }
};

// What the worker does for one hovered name: the stored effect rendered over the whole
// 6000 x 4000 picture into one slot (goal: 100 ms at the 95th percentile).
void BM_HoverSlotRender(benchmark::State& state) {
  StoredFolder folder;
  BigPicture picture;
  const std::filesystem::path effect =
      std::filesystem::path(folder.dir.path) / "Vellmarkstead" / "Effects" / "effect 1000.ach1";
  fichier file = BenchFileRecord(effect.string());
  std::vector<uint8_t> planes[4];
  for (auto& p : planes) p.assign(static_cast<size_t>(kSlotW) * kSlotH, 0);
  const float scale = std::max(static_cast<float>(kBigW) / kFitW, static_cast<float>(kBigH) / kFitH);
  for (auto _ : state) {
    MiscRender render;
    render.SetFich(&file, nullptr, 3, 0, 0);
    if (render.FillBuf(3, 0, 255, 3, 1, nullptr, 0, 0, kFitW, kFitH, 0, 0, kBigW - 1, kBigH - 1, scale,
                       scale, kSlotW, kSlotH, planes[0].data(), planes[1].data(), planes[2].data(),
                       planes[3].data(), nullptr) != 0) {
      state.SkipWithError("the slot did not render");
      break;
    }
  }
}
BENCHMARK(BM_HoverSlotRender)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(20)
    ->ComputeStatistics("p95", [](const std::vector<double>& v) {
      std::vector<double> s = v;
      std::sort(s.begin(), s.end());
      return s[static_cast<size_t>(0.95 * static_cast<double>(s.size() - 1))];
    });

// What the window's own thread does for one hovered name before the worker takes over:
// the entry's record from the list and the whole-record check of its file (goal: the
// event loop never waits 50 ms).
void BM_HoverOnTheEventLoop(benchmark::State& state) {
  StoredFolder folder;
  VMKlisteff list(0, 4);
  list.fillLimit = 1;
  MenuRef cat = plat::ui::NewMenu(1, "cat");
  MenuRef nam = plat::ui::NewMenu(2, "nam");
  list.PrepareCatNamMenus(cat, nam, 117);
  std::vector<TSSeff> slots(4);
  std::vector<TSSeff*> table;
  for (TSSeff& s : slots) table.push_back(&s);
  ScriptFile script;
  int16_t item = 0;
  for (auto _ : state) {
    fichier out;
    list.UpdatePreviews(1, cat, item, 0, table.data(), nullptr, &out);
    File_kern kern(&out);
    int16_t count = 0;
    Oprn* chain = nullptr;
    benchmark::DoNotOptimize(script.RecallScript(1, &count, &chain, &kern, 0, nullptr, nullptr, nullptr,
                                                 nullptr, nullptr, 1.0f, 1.0f, 0));
    DeleteOprnChain(chain);
    item = static_cast<int16_t>((item + 1) % 20);
  }
  plat::ui::DisposeMenu(cat);
  plat::ui::DisposeMenu(nam);
}
BENCHMARK(BM_HoverOnTheEventLoop)->Unit(benchmark::kMillisecond);

}  // namespace
