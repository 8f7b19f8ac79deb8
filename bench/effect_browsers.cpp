// The effect-list browsers: writing the list of a family over a folder of 500 stored
// effects (each file's texts read through the script reader), and filling the 15 preview
// slots and views of the load-effect browser from that list (each preview read from its
// stored file).
#include <benchmark/benchmark.h>

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
#include "paths/draw_par.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/plain_menus.h"
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
