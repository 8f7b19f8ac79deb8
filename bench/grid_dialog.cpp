// Responsiveness of the grid-warp dialog on a 6000 x 4000 photo and a
// 500 x 500 main view (p95 where a series is timed):
//   - Refresh: one preview of a 3 x 3 grid, and of a 16 x 16 grid with
//     smoothing 30, at fit and at 1:1, rendered in line (what the preview
//     worker spends on it).
//   - SmoothDrag: the watchdog. The window's loop (played by the bench's own
//     loop, ticking every 2 ms) follows a scripted 'Ssmo' drag: every 30 ms
//     the current grid's smoothing changes and the record goes to the main
//     view as the tick hands it over (the job's record copy is made on the
//     window's thread); each finished preview is shown and both meshes are
//     drawn over it, smooth, as the view's redraw does; halfway one 'Cgrd'
//     command (its backup of the whole record and its copy to the view) runs
//     in the loop. The longest gap between ticks; worker 0 renders in line.
//   - GridCommand: a 'Cgrd' command alone (backup, switch, copy to the
//     view), on one 16 x 16 grid and on fifteen grids of 127 x 127.
//   - StaleStop: a preview made stale 5 ms into its render (a grid preview
//     takes some 15 to 30 ms here); the time until its thread lets go
//     (cancel 0 lets it run on).
//   - OpenDialog: the main window's 'Bgrd' through the session to the first
//     preview the grid dialog's main view shows, then cancel; also what the
//     open dialog adds to the process's resident memory (records, selection,
//     the preview's job) and to its high-water mark.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench_session.h"
#include "bench_host_scene.h"
#include "dialog_bench_photo.h"
#include "dialogs/correction/grid_warp_dialog.h"
#include "engines/correction/grid_record.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/edit_session.h"
#include "host/main_window.h"
#include "host/session/app_object.h"
#include "platform/draw/port.h"
#include "platform/hostapi/fake_host.h"
#include "platform/imageio/image_io.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace {

using namespace benchphoto;

double PeakMegabytes() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// The process's resident memory now.
double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A grid of the given counts over the photo with its middle out node moved,
// and the given smoothing; `grids` copies of it.
std::unique_ptr<GridPar> GridRecord(int32_t cells, int32_t smoothing, int32_t grids = 1) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), kW, kH, cells, cells, 0, 3, 1, 1);
  GridInfo& g = r->grids[0];
  g.w[kGiCurvature] = smoothing;
  const int32_t middle = (cells / 2) * (cells + 1) + cells / 2;
  g.node[kGaOut + kGaX][middle] += 100000 / cells / 3;
  g.node[kGaOut + kGaY][middle] -= 100000 / cells / 4;
  r->head.w[kGpCount] = grids;
  for (int32_t k = 1; k < grids; ++k) Copy_GridInfo(&r->grids[0], &r->grids[k]);
  return r;
}

struct Box {
  VMKimabox box;
  explicit Box(bool oneToOne) {
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {static_cast<float>(kView), static_cast<float>(kView)}};
    box.ImaBoxEventHandler(nullptr, &init, nullptr);
    box.InitBuf(22);
    // Both meshes, smooth, as the dialog's tick sets them.
    box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 3, 1, 0, 0, 0, 0);
    if (oneToOne) box.SetPanBufCoord(40000, 40000, 40000 + kView * 100000 / kW, 40000 + kView * 100000 / kH);
    else box.SetPanBufCoord(0, 0, 100000, 100000);
  }
};

void BM_Refresh(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  const auto cells = static_cast<int32_t>(state.range(0));
  Box b(state.range(1) != 0);
  auto record = GridRecord(cells, cells == 3 ? 0 : 30);
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    b.box.SetGridPar(record.get(), 1, 3);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_Refresh)
    ->ArgNames({"cells", "one"})
    ->ArgsProduct({{3, 16}, {0, 1}})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// One worker thread, the newest job first in line; finished jobs wait for
// the loop to show them.
struct LoopRunner : vmkviews::PreviewRunner {
  std::mutex lock;
  std::shared_ptr<vmkviews::PreviewJob> waiting;
  std::vector<std::shared_ptr<vmkviews::PreviewJob>> finished;
  bool quit = false;
  std::thread thread{[this] { Work(); }};
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override {
    const std::lock_guard<std::mutex> hold(lock);
    if (waiting != nullptr) waiting->MarkStale();
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

// The 'Cgrd' command: the whole record backed up, the current grid switched,
// the record handed to the main view without a preview.
void GridCommand(GridPar* edit, GridPar* backup, VMKimabox& box) {
  Copy_GridPar(edit, backup);
  edit->grids[0].w[kGiEnabled] = edit->grids[0].w[kGiEnabled] == 0 ? 1 : 0;
  box.SetGridPar(edit, -1, 3);
}

void BM_SmoothDrag(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Box b(state.range(1) != 0);
  const bool onWorker = state.range(0) != 0;
  auto record = GridRecord(16, 30);
  auto backup = GridRecord(16, 30);
  plat::draw::Port port(kView, kView);
  const Rect whole{0, 0, static_cast<int16_t>(kView), static_cast<int16_t>(kView)};
  auto draw = [&] {
    b.box.DrawGrid(&port, whole, 0, RGBColor{65535, 0, 0}, 1, 1);
    b.box.DrawGrid(&port, whole, 1, RGBColor{0, 0, 65535}, 1, 1);
  };
  double worst = 0.0;
  int shown = 0;
  for (auto _ : state) {
    LoopRunner runner;
    if (onWorker) b.box.SetPreviewRunner(&runner);
    const auto start = Clock::now();
    auto last = start;
    auto nextTick = start;
    auto nextStep = start;
    int step = 0;
    // The drag: a new value every 30 ms, 40 of them; then 400 ms more.
    while (Clock::now() - start < std::chrono::milliseconds(40 * 30 + 400)) {
      const auto now = Clock::now();
      if (now >= nextTick) {
        worst = std::max(worst, Ms(now - last));
        last = now;
        nextTick = now + std::chrono::milliseconds(2);
      }
      if (step < 40 && now >= nextStep) {
        if (step == 20) GridCommand(record.get(), backup.get(), b.box);
        record->grids[0].w[kGiCurvature] = 30 + step;
        b.box.SetGridPar(record.get(), 1, 3);
        ++step;
        nextStep = now + std::chrono::milliseconds(30);
        if (!onWorker) {
          ++shown;
          draw();
        }
      }
      for (const auto& job : runner.Take()) {
        b.box.FinishPreview(*job);
        shown += job->ok() ? 1 : 0;
        if (job->ok()) draw();
      }
      std::this_thread::sleep_until(std::min(nextTick, nextStep));
    }
    b.box.StalePreview();
    b.box.SetPreviewRunner(nullptr);
  }
  state.counters["longest_gap_ms"] = worst;
  state.counters["previews_shown"] = shown;
  gFilterRecord = nullptr;
}
BENCHMARK(BM_SmoothDrag)
    ->ArgNames({"worker", "one"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_GridCommand(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  Box b(false);
  const auto cells = static_cast<int32_t>(state.range(0));
  const auto grids = static_cast<int32_t>(state.range(1));
  auto record = GridRecord(cells, 0, grids);
  auto backup = GridRecord(cells, 0, grids);
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    GridCommand(record.get(), backup.get(), b.box);
    times.push_back(Ms(Clock::now() - t0));
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_GridCommand)
    ->ArgNames({"cells", "grids"})
    ->Args({16, 1})
    ->Args({127, 15})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

// Runs every job on a thread of its own and keeps it, so that the bench can
// wait for exactly the one it made stale.
struct ThreadRunner : vmkviews::PreviewRunner {
  std::vector<std::thread> threads;
  void Submit(std::shared_ptr<vmkviews::PreviewJob> job) override {
    threads.emplace_back([job] { job->Run(); });
  }
  ~ThreadRunner() override {
    for (auto& t : threads) t.join();
  }
};

void BM_StaleStop(benchmark::State& state) {
  BenchSession s;
  ThePhoto().Use();
  vmkviews::RegisterPreviewEngines();
  Box b(state.range(1) != 0);
  auto record = GridRecord(16, 30);
  const bool cancel = state.range(0) != 0;
  std::vector<double> times;
  for (auto _ : state) {
    ThreadRunner runner;
    b.box.SetPreviewRunner(&runner);
    b.box.SetGridPar(record.get(), 1, 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto t0 = Clock::now();
    if (cancel) b.box.StalePreview();
    runner.threads[0].join();
    times.push_back(Ms(Clock::now() - t0));
    runner.threads.clear();
    b.box.SetPreviewRunner(nullptr);
  }
  state.counters["p95_ms"] = P95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_StaleStop)
    ->ArgNames({"cancel", "one"})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

const VMKimabox* GridMainView() {
  const int index = FindCustomView("com.vellmarkstead.grid.HIima");
  return index >= 0 && gVMKapp != nullptr ? gVMKapp->ImageView(index) : nullptr;
}

void BM_OpenDialog(benchmark::State& state) {
  plat::tb::StartOffscreenApplication();
  static benchscene::HostScene scene("grid", ThePhoto().photo);
  plat::hostapi::FakeEditManager edit{{scene.version()}};
  plat::hostapi::FakeApiManager api{&edit};
  CarbonEditPlugin session(&api, "bench", &edit);
  const VMKimabox* view = GridMainView();
  if (session.editWindow() == nullptr || view == nullptr) {
    state.SkipWithError("no session window or grid view");
    return;
  }
  std::vector<double> times;
  double added = 0.0;
  double peakAdded = 0.0;
  for (auto _ : state) {
    const int64_t before = view->previewsShown();
    const double residentBefore = ResidentMegabytes();
    const double peakBefore = PeakMegabytes();
    Clock::time_point shown{};
    // Polls the dialog from inside its own modal loop: once its main view
    // shows a preview, the time is taken and the dialog closed without its
    // question (as its close box does).
    plat::tb::EventLoopTimerRef poll = nullptr;
    plat::tb::InstallEventLoopTimer(
        0.0, 0.0005,
        [&](plat::tb::EventLoopTimerRef, void*) {
          VMKgridUI* d = gVMKgrid;
          if (d == nullptr || d->controls.empty() || d->controls[0] == nullptr ||
              shown != Clock::time_point{} || view->previewsShown() <= before)
            return;
          shown = Clock::now();
          added = std::max(added, ResidentMegabytes() - residentBefore);
          peakAdded = std::max(peakAdded, PeakMegabytes() - peakBefore);
          d->result = 0;
          plat::tb::QuitAppModalLoopForWindow(plat::tb::GetControlOwner(d->controls[0]));
        },
        nullptr, &poll);
    plat::tb::Event command;
    command.eventClass = plat::tb::kEventClassCommand;
    command.kind = plat::tb::kEventCommandProcess;
    command.command = FourCC("Bgrd");
    const auto t0 = Clock::now();
    session.mainWindow->ApemainWindowEventCommandProcess(&command);
    plat::tb::RemoveEventLoopTimer(poll);
    times.push_back(Ms(shown - t0));
  }
  state.counters["p95_ms"] = P95(times);
  state.counters["resident_added_mb"] = added;
  state.counters["peak_added_mb"] = peakAdded;
}
BENCHMARK(BM_OpenDialog)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
