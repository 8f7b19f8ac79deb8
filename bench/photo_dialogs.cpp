// The photo dialogs and the image library:
//   - CombineRefresh: one refresh of the combine-images preview (the record
//     of 8 images handed to its 500 x 500 view, SetCombImaPar) over a
//     6000 x 4000 photo; p95 of single refreshes.
//   - CornerDrag: the window's loop (played by the bench's own loop, ticking
//     every 2 ms) while a corner is dragged, one new quad every 30 ms, the
//     previews on a worker thread as the dialog's preview worker runs them;
//     the longest gap between ticks.
//   - PickerPage: one page of 15 thumbnails (UpdatePreviews from -1) from a
//     library of 60 images; p95.
//   - ListRebuild: the list file rebuilt from the seven scan passes over a
//     maker's folder of 5,000 image files (PrepareImaListFile(1)).
//   - ThumbRebuild: the thumbnail file built for 200 JPEG images of
//     1600 x 1200 (PrepareBufImaListFile(1)), decoding on the shared threads.
//   - FractalRefresh: the fractal dialog's refresh of its main preview (the
//     record, 2000 iterations, handed to the 500 x 500 view over the photo,
//     SetFractPar); p95.
//   - FractalStrip: the strip of three samples brought up to date: three
//     fractal files read and previewed in their 125 x 125 views; p95.
//   - FractalArrowHeld: the window's loop (the bench's own, ticking every
//     2 ms) while a digit arrow of C is held, one step every 50 ms for a
//     second (each step brings only the strip up to date, whose files do not
//     change), then released (the main preview asked for, on a worker
//     thread); the longest gap between ticks.
//   - QuorlinRefresh: one refresh of the tessellation dialog (type 11, eight
//     tiles of the photo) into both boxes: the 500 x 500 preview with the
//     grid overlay and the tile view; p95.
//   - MirrovanRefresh: one refresh of the border preview (two layers, all
//     260 tiles of each drawn from an image file of 600 x 600) into the
//     500 x 500 view over the photo (SetBordPar); p95.
//   - ModifAllVal: the border dialog's whole-layer change of the tile hue
//     (mode 2: 260 tiles, the backup of the 17 MB record first); p95.
//   - QuorlinHueDrag, MirrovanHueDrag: the window's loop (the bench's own,
//     ticking every 2 ms) while the hue slider is dragged, a new hue every
//     30 ms, 40 of them, then 400 ms more (1.5 s for the border, whose
//     render takes longer). Tessellation: the current tile's
//     hue stored, both boxes asked for (each box on its own worker thread).
//     Border: the hue stored in all 260 tiles of the layer (mode 2, with the
//     backup), the preview asked for on a worker thread. The longest gap
//     between ticks and the longest step.
//   - CastelRefresh: one refresh of the photo-repeat preview (a 23 x 23
//     grid, the tile a 1200 x 900 JPEG, cells turned, handed to the 500 x 500
//     view with its grid overlay over the photo, SetRepPar); p95.
//   - CastelOpacityDrag: the same loop (SliderDrag, as the hue drags) while
//     the current cell's opacity slider of the repeat is dragged, 40 values
//     30 ms apart, then 1.5 s more; the longest gap and the longest step.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/app_data.h"
#include "app/image_library_files.h"
#include "bench_session.h"
#include "dialog_bench_photo.h"
#include "dialogs/editor/effect_list.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/image_library.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/fractal_record.h"
#include "engines/patterns/image_combination_record.h"
#include "engines/patterns/spray_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/files/colon_paths.h"
#include "platform/imageio/image_io.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace {

namespace fs = std::filesystem;
using namespace benchphoto;

// A picture file of w x h in a soft pattern.
void Picture(const std::string& path, uint32_t w, uint32_t h, uint32_t seed) {
  std::vector<uint8_t> px(size_t{w} * h * 4);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = &px[(size_t{y} * w + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / w + seed * 31);
      p[1] = static_cast<uint8_t>(y * 255 / h + seed * 17);
      p[2] = static_cast<uint8_t>(((x / 40) ^ (y / 40)) * 40 + seed);
      p[3] = 255;
    }
  plat::imageio::PixelSource src;
  src.base = px.data();
  src.rowBytes = size_t{w} * 4;
  src.width = w;
  src.height = h;
  src.bytesPerComponent = 1;
  fs::create_directories(fs::path(path).parent_path());
  const bool jpeg = fs::path(path).extension() == ".jpg";
  plat::imageio::WriteImage(path, jpeg ? plat::imageio::kTypeJPEG : plat::imageio::kTypeTIFF, {}, src);
}

VMKimabox* NewBox(int32_t side) {
  auto* box = new VMKimabox;
  plat::tb::Event init;
  init.eventClass = plat::tb::kEventClassHIObject;
  init.kind = plat::tb::kEventHIObjectInitialize;
  init.bounds = CGRect{{0.0f, 0.0f}, {static_cast<float>(side), static_cast<float>(side)}};
  box->ImaBoxEventHandler(nullptr, &init, nullptr);
  return box;
}

// The combine-images preview of 8 images of 1200 x 900 laid over the photo.
struct Combination {
  BenchScratchDir dir;
  std::unique_ptr<CombImaPar> record = std::make_unique<CombImaPar>();
  std::unique_ptr<VMKimabox> box{NewBox(kView)};
  Combination() {
    Init_CombImaPar(record.get(), 1);
    for (int i = 0; i < 8; ++i) {
      const std::string path = dir.path + "/Images/c" + std::to_string(i) + ".jpg";
      Picture(path, 1200, 900, static_cast<uint32_t>(i));
      fichier f;
      Init_FicStruct(&f);
      SetFicFromPosix(&f, path);
      AddCombIma(record.get(), static_cast<int16_t>(i), &f);
      CombImaInfo& info = record->infos[i];
      info.opacity = 60 + 5 * i;
      info.blendMode = i % 4;
      info.cornerX[0] = info.cornerX[3] = 5 * i;
      info.cornerX[1] = info.cornerX[2] = 50 + 5 * i;
      info.cornerY[0] = info.cornerY[1] = 4 * i;
      info.cornerY[2] = info.cornerY[3] = 60 + 4 * i;
    }
    box->InitBuf(17);
    box->SetBufParam(0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
    Yoxel picture;
    Init_YoxelPar(picture.par, kW, kH, 300, 0, 5);
    box->SetYoxelPar(picture.par, 0, 3);
  }
};

void BM_CombineRefresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Combination c;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    c.box->SetCombImaPar(c.record.get(), 1, 3);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_CombineRefresh)->Iterations(20)->Unit(benchmark::kMillisecond);

// One worker thread, the newest job first in line.
struct LoopRunner : vmkviews::PreviewRunner {
  std::mutex lock;
  std::shared_ptr<vmkviews::PreviewJob> waiting;
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> finished;
  bool quit = false;
  std::thread thread{[this] { Work(); }};
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override {
    const std::lock_guard<std::mutex> hold(lock);
    waiting = std::move(job);
  }
  void Work() {
    for (;;) {
      std::shared_ptr<vmkviews::PreviewJob> job;
      {
        const std::lock_guard<std::mutex> hold(lock);
        if (quit) return;
        job = std::move(waiting);
      }
      if (job == nullptr) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        continue;
      }
      job->Run();
      const std::lock_guard<std::mutex> hold(lock);
      finished.push_back(std::move(job));
    }
  }
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> Take() {
    const std::lock_guard<std::mutex> hold(lock);
    return std::move(finished);
  }
  ~LoopRunner() override {
    {
      const std::lock_guard<std::mutex> hold(lock);
      quit = true;
    }
    thread.join();
  }
};

void BM_CornerDrag(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Combination c;
  double worst = 0.0;
  int shown = 0;
  for (auto _ : state) {
    LoopRunner runner;
    c.box->SetPreviewRunner(&runner);
    const auto start = Clock::now();
    auto last = start, nextTick = start, nextStep = start;
    int step = 0;
    while (Clock::now() - start < std::chrono::milliseconds(40 * 30 + 400)) {
      const auto now = Clock::now();
      if (now >= nextTick) {
        worst = std::max(worst, Ms(now - last));
        last = now;
        nextTick = now + std::chrono::milliseconds(2);
      }
      if (step < 40 && now >= nextStep) {
        c.record->infos[0].cornerX[1] = 40 + step;
        c.box->StalePreview();
        c.box->SetCombImaPar(c.record.get(), 1, 3);
        ++step;
        nextStep = now + std::chrono::milliseconds(30);
      }
      for (const auto& job : runner.Take()) {
        c.box->FinishPreview(*job);
        shown += job->ok() ? 1 : 0;
      }
      // Once the last step is taken the loop only ticks (it would spin otherwise).
      std::this_thread::sleep_until(step < 40 ? std::min(nextTick, nextStep) : nextTick);
    }
    c.box->StalePreview();
    c.box->SetPreviewRunner(nullptr);
  }
  state.counters["longest_gap_ms"] = worst;
  state.counters["previews_run"] = shown;
  gFilterRecord = nullptr;
}
BENCHMARK(BM_CornerDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

// A maker's folder for the library keeper: the session's records point at it.
struct Library {
  BenchScratchDir dir;
  TAppData app;
  TAppData* previous = gappData;
  std::string makers;
  Library() {
    makers = dir.path + "/Vellmarkstead";
    fs::create_directories(makers);
    SetFicFromPosix(&gPer->makersFolder, makers);
    unsigned char folder[256];
    const std::string colon = plat::files::PosixToColon(makers, true);
    folder[0] = static_cast<unsigned char>(colon.size());
    std::copy(colon.begin(), colon.end(), folder + 1);
    std::copy(folder, folder + 256, app.folder.path);
    app.folder.name[0] = 0;
    gappData = &app;
  }
  ~Library() { gappData = previous; }
};

void BM_PickerPage(benchmark::State& state) {
  BenchSession s;
  Library lib;
  for (int i = 0; i < 60; ++i)
    Picture(lib.makers + "/Tiles1/p" + std::to_string(100 + i) + ".tif", 200 + i, 150, static_cast<uint32_t>(i));
  VMKlistima keeper(15);
  keeper.pageSize = 15;
  keeper.PrepareImaListFile(1);
  keeper.PrepareBufImaListFile(1);
  std::vector<std::unique_ptr<VMKimabox>> owned;
  VMKimabox* boxes[15];
  for (auto& b : boxes) {
    owned.emplace_back(NewBox(130));
    b = owned.back().get();
    b->InitBuf(21);
  }
  TSSeff slots[15];
  SprayPar images[15];
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    keeper.UpdatePreviews(nullptr, -1, slots, images, boxes);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  state.counters["shown"] = keeper.shownOnPage;
}
BENCHMARK(BM_PickerPage)->Iterations(50)->Unit(benchmark::kMillisecond);

void BM_ListRebuild(benchmark::State& state) {
  BenchSession s;
  Library lib;
  // 5,000 files in 50 folders: small TIFF headers would do, as the passes
  // read names and types only.
  for (int f = 0; f < 50; ++f) {
    const std::string folder = lib.makers + "/Folder" + std::to_string(f);
    fs::create_directories(folder);
    for (int i = 0; i < 100; ++i) {
      const char* ext = i % 3 == 0 ? ".jpg" : i % 3 == 1 ? ".tif" : ".psd";
      std::FILE* out = std::fopen((folder + "/f" + std::to_string(i) + ext).c_str(), "wb");
      if (out != nullptr) std::fclose(out);
    }
  }
  VMKlistima keeper(15);
  for (auto _ : state) benchmark::DoNotOptimize(keeper.PrepareImaListFile(1));
  state.counters["entries"] = keeper.entryCount;
}
BENCHMARK(BM_ListRebuild)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ThumbRebuild(benchmark::State& state) {
  BenchSession s;
  Library lib;
  for (int i = 0; i < 200; ++i)
    Picture(lib.makers + "/Images/i" + std::to_string(100 + i) + ".jpg", 1600, 1200, static_cast<uint32_t>(i));
  VMKlistima keeper(15);
  keeper.PrepareImaListFile(1);
  for (auto _ : state) keeper.PrepareBufImaListFile(1);
  state.counters["records"] =
      static_cast<double>(fs::file_size(lib.makers + "/com.vellmarkstead.pspImaBuf.lst") / kImaThumbRecordSize);
}
BENCHMARK(BM_ThumbRebuild)->Iterations(2)->Unit(benchmark::kMillisecond);

// ---- the fractal dialog ----

// A fractal view of `side` over the photo, as the dialog prepares its boxes.
std::unique_ptr<VMKimabox> FractalBox(int32_t side, bool sample) {
  std::unique_ptr<VMKimabox> box(NewBox(side));
  box->InitBuf(20);
  if (sample)
    box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  else
    box->SetBufParam(0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0);
  box->SetPanBufCoord(0, 0, 100000, 100000);
  Yoxel picture;
  Init_YoxelPar(picture.par, kW, kH, 300, 0, 5);
  box->SetYoxelPar(picture.par, 0, 3);
  return box;
}

std::unique_ptr<FractPar> HeavyFractal() {
  auto r = std::make_unique<FractPar>();
  Init_FractPar(r.get(), 1, 0);
  r->entries[0].w[kFraIterations] = 2000;
  return r;
}

void BM_FractalRefresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  std::unique_ptr<VMKimabox> box = FractalBox(kView, false);
  std::unique_ptr<FractPar> record = HeavyFractal();
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    box->SetFractPar(record.get(), 1, 3, nullptr);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_FractalRefresh)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_FractalStrip(benchmark::State& state) {
  BenchSession s;
  Library lib;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  FSSpec files[3];
  for (int k = 0; k < 3; ++k) {
    auto r = std::make_unique<FractPar>();
    Init_FractPar(r.get(), static_cast<int16_t>(1 + 4 * k), 0);
    fichier f;
    Init_FicStruct(&f);
    SetFicFromPosix(&f, lib.makers + "/f" + std::to_string(k) + ".hfra");
    files[k] = SpecOf(f);
    Do_AFract_file(3, files[k], r.get());
  }
  std::unique_ptr<VMKimabox> boxes[3] = {FractalBox(125, true), FractalBox(125, true), FractalBox(125, true)};
  auto sample = std::make_unique<FractPar>();
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (int k = 0; k < 3; ++k) {
      Init_FractPar(sample.get(), 1, 0);
      if (Do_AFract_file(2, files[k], sample.get()) == 0) boxes[k]->SetFractPar(sample.get(), 1, 3, nullptr);
    }
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_FractalStrip)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_FractalArrowHeld(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  std::unique_ptr<VMKimabox> box = FractalBox(kView, false);
  std::unique_ptr<FractPar> record = HeavyFractal();
  double worst = 0.0;
  int shown = 0;
  for (auto _ : state) {
    LoopRunner runner;
    box->SetPreviewRunner(&runner);
    const auto start = Clock::now();
    auto last = start, nextTick = start, nextStep = start;
    int step = 0;
    while (Clock::now() - start < std::chrono::milliseconds(20 * 50 + 1500)) {
      const auto now = Clock::now();
      if (now >= nextTick) {
        worst = std::max(worst, Ms(now - last));
        last = now;
        nextTick = now + std::chrono::milliseconds(2);
      }
      if (step <= 20 && now >= nextStep) {
        if (step < 20) {
          // Held: the fraction word steps; the strip's files stay, so it
          // renders nothing.
          record->entries[0].w[kFraConstRe + 1] += 100000;
        } else {
          // Released: the main preview.
          box->StalePreview();
          box->SetFractPar(record.get(), 1, 3, nullptr);
        }
        ++step;
        nextStep = now + std::chrono::milliseconds(50);
      }
      for (const auto& job : runner.Take()) {
        box->FinishPreview(*job);
        shown += job->ok() ? 1 : 0;
      }
      std::this_thread::sleep_until(step <= 20 ? std::min(nextTick, nextStep) : nextTick);
    }
    box->StalePreview();
    box->SetPreviewRunner(nullptr);
  }
  state.counters["longest_gap_ms"] = worst;
  state.counters["previews_run"] = shown;
  gFilterRecord = nullptr;
}
BENCHMARK(BM_FractalArrowHeld)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- the tessellation and border dialogs ----

// A preview box of `side` over the photo, as the dialogs prepare theirs.
std::unique_ptr<VMKimabox> PhotoBox(int32_t side, int16_t kind, int16_t overlay) {
  std::unique_ptr<VMKimabox> box(NewBox(side));
  box->InitBuf(kind);
  box->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, overlay, 0, 0);
  box->SetPanBufCoord(0, 0, 100000, 100000);
  Yoxel picture;
  Init_YoxelPar(picture.par, kW, kH, 300, 0, 5);
  box->SetYoxelPar(picture.par, 0, 3);
  return box;
}

// The tessellation's two boxes as the dialog prepares them (the preview and
// the tile view) and a record of type 11 with eight photo tiles.
struct Tessellation {
  std::unique_ptr<VMKimabox> preview = PhotoBox(kView, 6, 2);
  std::unique_ptr<VMKimabox> tile = PhotoBox(160, 6, 1);
  std::unique_ptr<TessPar> record = std::make_unique<TessPar>();
  Tessellation() {
    Init_TessPar(record.get(), 1, 1, 1);
    record->head.w[kTessSymmetry] = 11;
    record->head.w[kTessSetsInUse] = 8;
    Init_TessParQuad(record.get(), 11, -1);
  }
};

// The border's preview box and a record of two layers of 260 image tiles (64
// cells a side), every tile the same 600 x 600 JPEG.
struct Border {
  BenchScratchDir dir;
  std::unique_ptr<VMKimabox> box = PhotoBox(kView, 24, 0);
  std::unique_ptr<BordPar> record = std::make_unique<BordPar>();
  Border() {
    const std::string path = dir.path + "/Bord/tile.jpg";
    Picture(path, 600, 600, 3);
    Init_BordPar(record.get(), kW, kH, 1, 1, 1, 1);
    record->head.layerCount = 2;
    for (int l = 0; l < 2; ++l) {
      BordLay& layer = record->layers[l];
      SetFicFromPosix(&layer.files[0], path);
      for (int k = 0; k < 4; ++k) layer.info.cells[k] = 64;
      for (BordTile& t : layer.tiles) {
        t.enabled = 1;
        t.image = 0;
      }
    }
  }
};

void BM_QuorlinRefresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Tessellation t;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    t.preview->SetTessPar(t.record.get(), 1, 3, nullptr);
    t.tile->SetTessPar(t.record.get(), 0, 3, nullptr);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_QuorlinRefresh)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_MirrovanRefresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Border b;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    b.box->SetBordPar(b.record.get(), 1, 3, nullptr);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_MirrovanRefresh)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_ModifAllVal(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  VMKmirrovanUI dialog;
  std::vector<double> times;
  int32_t hue = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    dialog.ModifAllVal(nullptr, 2, FourCC("Shue"), ++hue % 180);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_ModifAllVal)->Iterations(50)->Unit(benchmark::kMillisecond);

// The window's loop while a slider is dragged: `step` runs every 30 ms (40
// times), each box shows what its runner finished; the longest gap between
// 2 ms ticks, and how many previews came back.
struct DragResult {
  double longestGap = 0.0;
  double longestStep = 0.0;
  int shown = 0;
};

DragResult SliderDrag(const std::vector<VMKimabox*>& boxes, const std::function<void(int)>& step, int tailMs) {
  std::vector<std::unique_ptr<LoopRunner>> runners;
  for (VMKimabox* box : boxes) {
    runners.push_back(std::make_unique<LoopRunner>());
    box->SetPreviewRunner(runners.back().get());
  }
  DragResult out;
  const auto start = Clock::now();
  auto last = start, nextTick = start, nextStep = start;
  int done = 0;
  while (Clock::now() - start < std::chrono::milliseconds(40 * 30 + tailMs)) {
    const auto now = Clock::now();
    if (now >= nextTick) {
      out.longestGap = std::max(out.longestGap, Ms(now - last));
      last = now;
      nextTick = now + std::chrono::milliseconds(2);
    }
    if (done < 40 && now >= nextStep) {
      step(done++);
      out.longestStep = std::max(out.longestStep, Ms(Clock::now() - now));
      nextStep = now + std::chrono::milliseconds(30);
    }
    for (size_t k = 0; k < boxes.size(); ++k)
      for (const auto& job : runners[k]->Take()) {
        boxes[k]->FinishPreview(*job);
        out.shown += job->ok() ? 1 : 0;
      }
    std::this_thread::sleep_until(done < 40 ? std::min(nextTick, nextStep) : nextTick);
  }
  for (VMKimabox* box : boxes) {
    box->StalePreview();
    box->SetPreviewRunner(nullptr);
  }
  return out;
}

void Report(benchmark::State& state, const DragResult& r) {
  state.counters["longest_gap_ms"] = r.longestGap;
  state.counters["longest_step_ms"] = r.longestStep;
  state.counters["previews_shown"] = r.shown;
}

void BM_QuorlinHueDrag(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Tessellation t;
  DragResult r;
  for (auto _ : state)
    r = SliderDrag({t.preview.get(), t.tile.get()}, [&](int k) {
      t.record->sets[0].w[kTessColourShift] = 9 * k - 180;
      t.preview->StalePreview();
      t.preview->SetTessPar(t.record.get(), 1, 3, nullptr);
      t.tile->StalePreview();
      t.tile->SetTessPar(t.record.get(), 0, 3, nullptr);
    }, 400);
  Report(state, r);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_QuorlinHueDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MirrovanHueDrag(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Border b;
  VMKmirrovanUI dialog;
  dialog.SetBordPar(b.record.get());
  DragResult r;
  for (auto _ : state)
    r = SliderDrag({b.box.get()}, [&](int k) {
      dialog.ModifAllVal(nullptr, 2, FourCC("Shue"), 9 * k - 180);
      b.box->StalePreview();
      b.box->SetBordPar(dialog.current(), 1, 3, nullptr);
    }, 1500);
  Report(state, r);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_MirrovanHueDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- the photo-repeat dialog ----

// The repeat's preview as the dialog prepares it: kind 3, the grid overlay
// on, over the photo.
struct Repeat {
  BenchScratchDir dir;
  std::unique_ptr<RepPar> record = std::make_unique<RepPar>();
  std::unique_ptr<VMKimabox> box{NewBox(kView)};
  Repeat() {
    const std::string tile = dir.path + "/Images/tile.jpg";
    Picture(tile, 1200, 900, 5);
    Init_RepPar(record.get(), 1, 23, 23);
    SetFicFromPosix(&record->tiles[0], tile);
    record->grid.w[kRepTileSource] = 1;
    for (int32_t k = 0; k < 23 * 23; ++k) record->cells[k].w[kCellOrientation] = k % 7;
    box->InitBuf(3);
    box->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
    Yoxel picture;
    Init_YoxelPar(picture.par, kW, kH, 300, 0, 5);
    box->SetYoxelPar(picture.par, 0, 3);
  }
  int32_t* currentCell() { return record->cells[0].w; }
};

void BM_CastelRefresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Repeat r;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    r.box->SetRepPar(r.record.get(), 1, 3, nullptr);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_CastelRefresh)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_CastelOpacityDrag(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Repeat r;
  DragResult d;
  for (auto _ : state)
    d = SliderDrag({r.box.get()}, [&](int k) {
      // The slider's value goes into the current cell and the preview on its
      // way is stale.
      r.currentCell()[kCellOpacity] = 100 - 2 * k;
      r.box->StalePreview();
      r.box->SetRepPar(r.record.get(), 1, 3, nullptr);
    }, 1500);
  Report(state, d);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_CastelOpacityDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
