// The image-tools window ("ImaEff") of an edit session on a 6000 x 4000
// photo (offscreen, live clock), opened by the main window's image-tools
// button as a user opens it:
//   - PreviewRefresh: one refresh of the preview for a one-operation script
//     (a brightness whose value changes each time): from the loop's pass
//     (PrepareBuf target 1, both stages, on the preview worker) to the
//     preview put into the view; p95. Goal: 100 ms.
//   - SliderDrag: the window's event loop while a slider is dragged (a new
//     value every 30 ms, a refresh pass every 90 ms so that previews keep
//     going to the worker); the longest gap between two ticks of a 2 ms
//     timer. Goal: 50 ms.
//   - SaveListThumbnail: the 130 x 130 thumbnail that SaveList stores
//     (PrepareBuf target 0) of the script over the whole photo.
//   - LoadActMenu200: the operation popup rebuilt for 200 operations.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_host_scene.h"
#include "dialog_bench_photo.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/editor/tune_effect_ids.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/edit_session.h"
#include "host/main_window.h"
#include "host/session/app_object.h"
#include "platform/hostapi/fake_host.h"
#include "platform/imageio/image_io.h"
#include "platform/toolbox/toolbox.h"
#include "script/operation.h"
#include "script/script_file.h"

namespace {

namespace tb = plat::tb;
using benchphoto::Clock;
using benchphoto::Ms;
using benchphoto::P95;

// One step of a measurement, run from a 1 ms timer inside the window's modal
// loop once its first preview is shown; true when the measurement is done.
using Step = std::function<bool(VMKtuneeff& e, tb::WindowRef w)>;

// Opens the image-tools window through the main window's button, with the
// layer's first operation a brightness of 40, runs `step` until it is done
// and cancels the window. False when the session could not be had.
bool InImageTools(const Step& step) {
  tb::StartOffscreenApplication();
  static benchscene::HostScene scene("tuneeff", benchphoto::ThePhoto().photo);
  plat::hostapi::FakeEditManager edit{{scene.version()}};
  plat::hostapi::FakeApiManager api{&edit};
  CarbonEditPlugin session(&api, "bench", &edit);
  if (session.editWindow() == nullptr) return false;
  bool ready = false, done = false;
  tb::EventLoopTimerRef poll = nullptr;
  tb::InstallEventLoopTimer(
      0.0, 0.001,
      [&](tb::EventLoopTimerRef, void*) {
        VMKtuneeff* e = gVMKtuneeff;
        if (done || e == nullptr || e->window == nullptr || e->previewsShown() == 0) return;
        if (!ready) {
          e->script->SetEffect(e->stack, e->layer, 1, 16, 0, 0, static_cast<int16_t>(benchphoto::kW),
                               static_cast<int16_t>(benchphoto::kH));
          e->script->SetParam1(e->stack, e->layer, 1, 40);
          e->currentOprn = 1;
          e->DrawWindowContent(e->window);
          ready = true;
        }
        if (!step(*e, e->window)) return;
        done = true;
        e->result = 0;
        tb::QuitAppModalLoopForWindow(e->window);
      },
      nullptr, &poll);
  tb::Event command;
  command.eventClass = tb::kEventClassCommand;
  command.kind = tb::kEventCommandProcess;
  command.command = FourCC("Btoo");
  session.mainWindow->ApemainWindowEventCommandProcess(&command);
  tb::RemoveEventLoopTimer(poll);
  return done;
}

// Row 1's number field: read into Param1 by the next refresh pass.
void TypeRowOne(tb::WindowRef w, int32_t value) {
  tb::SetControlText(tb::FindControl(w, tuneeff::kSignature, tuneeff::kRowEdit[0]), std::to_string(value));
}

void BM_PreviewRefresh(benchmark::State& state) {
  std::vector<double> times;
  int32_t viewW = 0, viewH = 0;
  for (auto _ : state) {
    int32_t asked = -1;
    Clock::time_point t0;
    const bool ok = InImageTools([&](VMKtuneeff& e, tb::WindowRef w) {
      if (asked >= 0 && e.previewsShown() <= asked) return false;
      if (asked >= 0) times.push_back(Ms(Clock::now() - t0));
      viewW = e.viewWidth;
      viewH = e.viewHeight;
      if (times.size() >= 20) return true;
      TypeRowOne(w, 20 + static_cast<int32_t>(times.size()) * 9);
      asked = e.previewsShown();
      t0 = Clock::now();
      e.SetRefreshFlag(1);
      e.TuneEffLoop(nullptr, w);
      return false;
    });
    if (!ok) {
      state.SkipWithError("no image-tools window");
      return;
    }
  }
  state.counters["p95_ms"] = P95(times);
  state.counters["previews"] = static_cast<double>(times.size());
  state.counters["view_w"] = viewW;
  state.counters["view_h"] = viewH;
}
BENCHMARK(BM_PreviewRefresh)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SliderDrag(benchmark::State& state) {
  double longest = 0.0;
  int32_t shown = 0;
  for (auto _ : state) {
    Clock::time_point start{}, last{}, lastMove{};
    int32_t moves = 0, first = 0;
    const bool ok = InImageTools([&](VMKtuneeff& e, tb::WindowRef w) {
      const Clock::time_point now = Clock::now();
      if (start == Clock::time_point{}) {
        start = last = lastMove = now;
        first = e.previewsShown();
        return false;
      }
      longest = std::max(longest, Ms(now - last));
      last = now;
      if (Ms(now - lastMove) >= 30.0) {
        lastMove = now;
        tb::ControlRef slider = tb::FindControl(w, tuneeff::kSignature, tuneeff::kRowSlider[0]);
        tb::SetControl32BitValue(slider, -200 + (moves * 7) % 400);
        TypeRowOne(w, -200 + (moves * 7) % 400);
        tb::Event drag;
        drag.eventClass = tb::kEventClassCommand;
        drag.kind = tb::kEventCommandProcess;
        drag.command = FourCC("Sva0");
        drag.control = slider;
        drag.window = w;
        e.TuneEffWindowEventCommandProcess(nullptr, &drag, w);
        if (++moves % 3 == 0) e.TuneEffLoop(nullptr, w);
      }
      shown = e.previewsShown() - first;
      return Ms(now - start) >= 2000.0;
    });
    if (!ok) {
      state.SkipWithError("no image-tools window");
      return;
    }
  }
  state.counters["longest_gap_ms"] = longest;
  state.counters["previews_shown"] = shown;
}
BENCHMARK(BM_SliderDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SaveListThumbnail(benchmark::State& state) {
  std::vector<double> times;
  std::vector<uint32_t> thumb(130 * 130);
  for (auto _ : state) {
    const bool ok = InImageTools([&](VMKtuneeff& e, tb::WindowRef) {
      for (int k = 0; k < 10; ++k) {
        short w = 0, h = 0;
        const auto t0 = Clock::now();
        e.PrepareBuf(0, 0, 0, 130, 130, thumb.data(), &w, &h);
        times.push_back(Ms(Clock::now() - t0));
        benchmark::DoNotOptimize(thumb.data());
      }
      return true;
    });
    if (!ok) {
      state.SkipWithError("no image-tools window");
      return;
    }
  }
  state.counters["p95_ms"] = P95(times);
}
BENCHMARK(BM_SaveListThumbnail)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LoadActMenu200(benchmark::State& state) {
  std::vector<double> times;
  for (auto _ : state) {
    const bool ok = InImageTools([&](VMKtuneeff& e, tb::WindowRef) {
      for (int16_t k = 2; k <= 200; ++k) {
        e.script->SetEffect(e.stack, e.layer, k, static_cast<int16_t>(2 + k % 20), 0, 0,
                            static_cast<int16_t>(benchphoto::kW), static_cast<int16_t>(benchphoto::kH));
        e.script->SetToChannel(e.stack, e.layer, k, static_cast<int16_t>(1 + k % 7));
      }
      for (int k = 0; k < 20; ++k) {
        const auto t0 = Clock::now();
        e.LoadActMenu(118);
        times.push_back(Ms(Clock::now() - t0));
      }
      return true;
    });
    if (!ok) {
      state.SkipWithError("no image-tools window");
      return;
    }
  }
  state.counters["p95_ms"] = P95(times);
}
BENCHMARK(BM_LoadActMenu200)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
