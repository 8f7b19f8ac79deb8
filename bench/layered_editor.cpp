// The main editing window ("PinMain") with the operation-list editor over it,
// in an edit session on a 6000 x 4000 photo (offscreen, live clock), opened
// as a user opens them: the main window's texture button, then 'Btun'.
//   - EditorSliderDrag: the event loop while the editor's first slider is
//     dragged (a new value every 30 ms, an editor pass every 90 ms, so that
//     the editor keeps asking for previews and the main window's timer keeps
//     rendering the layer stack on its worker); the longest gap between two
//     ticks of a 1 ms timer. Goal: 50 ms. Counters: the main view's renders
//     shown during the drag (the main window follows).
//   - MainFollowsEditor: from an editor pass with a new value to the main
//     view's planes of it, p95 over 20: `follow` includes the wait for the
//     main window's next tick (every 0.5 s), `render` runs from the render
//     handed to the worker at that tick (the layer stack rendered at view
//     size, the planes taken back on the event loop). Goal for the render:
//     100 ms.
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
#include "dialogs/editor/main_editor.h"
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

void Send(tb::WindowRef w, uint32_t command, tb::ControlRef control,
          const std::function<OSStatus(tb::Event*)>& handler) {
  tb::Event e;
  e.eventClass = tb::kEventClassCommand;
  e.kind = tb::kEventCommandProcess;
  e.command = command;
  e.control = control;
  e.window = w;
  (void)handler(&e);
}

// One step of a measurement, run from a 1 ms timer inside the editor's modal
// loop once the main view shows its first render; true when it is done.
using Step = std::function<bool(VMKpinmainUI& main, VMKtuneeff& e, tb::WindowRef w)>;

// Opens the main editing window through the texture button and the editor
// over it through 'Btun', with the layer's first operation a brightness of
// 40, runs `step` until it is done and cancels both windows. False when the
// session could not be had.
bool InEditorOverMain(const Step& step) {
  tb::StartOffscreenApplication();
  static benchscene::HostScene scene("layered", benchphoto::ThePhoto().photo);
  plat::hostapi::FakeEditManager edit{{scene.version()}};
  plat::hostapi::FakeApiManager api{&edit};
  CarbonEditPlugin session(&api, "bench", &edit);
  if (session.editWindow() == nullptr) return false;
  bool asked = false, ready = false, done = false;
  tb::EventLoopTimerRef poll = nullptr;
  tb::InstallEventLoopTimer(
      0.0, 0.001,
      [&](tb::EventLoopTimerRef, void*) {
        VMKpinmainUI* main = gVMKpinmain;
        if (main == nullptr || main->window == nullptr || main->rendersShown() == 0) return;
        VMKtuneeff* e = gVMKtuneeff;
        if (done) {
          // The editor is gone: the main window goes too.
          if (e == nullptr) tb::QuitAppModalLoopForWindow(main->window);
          return;
        }
        if (e == nullptr) {
          // The editor's modal loop must not run inside this timer's call.
          if (!asked)
            tb::PostToEventLoop([main] {
              Send(main->window, FourCC("Btun"), nullptr, [main](tb::Event* ev) {
                return main->PinmainWindowEventCommandProcess(nullptr, ev, main->window);
              });
            });
          asked = true;
          return;
        }
        if (e->window == nullptr) return;
        if (!ready) {
          e->script->SetEffect(e->stack, e->layer, 1, 16, 0, 0, static_cast<int16_t>(benchphoto::kW),
                               static_cast<int16_t>(benchphoto::kH));
          e->script->SetParam1(e->stack, e->layer, 1, 40);
          e->currentOprn = 1;
          e->DrawWindowContent(e->window);
          ready = true;
        }
        if (!step(*main, *e, e->window)) return;
        done = true;
        e->result = 0;
        tb::QuitAppModalLoopForWindow(e->window);
      },
      nullptr, &poll);
  Send(nullptr, FourCC("Btex"), nullptr,
       [&](tb::Event* ev) { return session.mainWindow->ApemainWindowEventCommandProcess(ev); });
  tb::RemoveEventLoopTimer(poll);
  return done;
}

// The editor's first slider to `value` as a drag would leave it, and its
// number field with it.
void MoveFirstSlider(VMKtuneeff& e, tb::WindowRef w, int32_t value) {
  tb::ControlRef slider = tb::FindControl(w, tuneeff::kSignature, tuneeff::kRowSlider[0]);
  tb::SetControl32BitValue(slider, value);
  tb::SetControlText(tb::FindControl(w, tuneeff::kSignature, tuneeff::kRowEdit[0]), std::to_string(value));
  Send(w, FourCC("Sva0"), slider,
       [&](tb::Event* ev) { return e.TuneEffWindowEventCommandProcess(nullptr, ev, w); });
}

void BM_EditorSliderDrag(benchmark::State& state) {
  double longest = 0.0;
  uint64_t followed = 0;
  for (auto _ : state) {
    Clock::time_point start{}, last{}, lastMove{};
    int32_t moves = 0;
    uint64_t first = 0;
    const bool ok = InEditorOverMain([&](VMKpinmainUI& main, VMKtuneeff& e, tb::WindowRef w) {
      const Clock::time_point now = Clock::now();
      if (start == Clock::time_point{}) {
        start = last = lastMove = now;
        first = main.rendersShown();
        return false;
      }
      longest = std::max(longest, Ms(now - last));
      last = now;
      if (Ms(now - lastMove) >= 30.0) {
        lastMove = now;
        MoveFirstSlider(e, w, -200 + (moves * 7) % 400);
        if (++moves % 3 == 0) e.TuneEffLoop(nullptr, w);
      }
      followed = main.rendersShown() - first;
      return Ms(now - start) >= 2000.0;
    });
    if (!ok) {
      state.SkipWithError("no editor over the main editing window");
      return;
    }
  }
  state.counters["longest_gap_ms"] = longest;
  state.counters["main_renders_shown"] = static_cast<double>(followed);
}
BENCHMARK(BM_EditorSliderDrag)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_MainFollowsEditor(benchmark::State& state) {
  std::vector<double> follow, render;
  for (auto _ : state) {
    uint64_t shownBase = 0, askedBase = 0;
    bool waiting = false, rendering = false;
    Clock::time_point t0, t1;
    const bool ok = InEditorOverMain([&](VMKpinmainUI& main, VMKtuneeff& e, tb::WindowRef w) {
      const Clock::time_point now = Clock::now();
      if (waiting && !rendering && main.rendersAsked() > askedBase) {
        rendering = true;
        t1 = now;
      }
      if (waiting && main.rendersShown() <= shownBase) return false;
      if (waiting) {
        follow.push_back(Ms(now - t0));
        render.push_back(Ms(now - t1));
      }
      if (follow.size() >= 20) return true;
      MoveFirstSlider(e, w, 20 + static_cast<int32_t>(follow.size()) * 9);
      shownBase = main.rendersShown();
      askedBase = main.rendersAsked();
      t0 = Clock::now();
      e.SetRefreshFlag(1);
      e.TuneEffLoop(nullptr, w);
      waiting = true;
      rendering = false;
      return false;
    });
    if (!ok) {
      state.SkipWithError("no editor over the main editing window");
      return;
    }
  }
  state.counters["follow_p95_ms"] = P95(follow);
  state.counters["render_p95_ms"] = P95(render);
  state.counters["renders"] = static_cast<double>(follow.size());
}
BENCHMARK(BM_MainFollowsEditor)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
