// Rendering a script where a user waits on it: a ten-operation script over 2048 x 1536 RGB
// planes (three blends, curve, levels, channel levels, blur, noise, brightness and invert,
// two of them through a colour selection), and the frame alone: the operation mask of a
// mask plane narrowed by a colour selection, with no case behind it.
//
// Measured on the shared 8-core build machine (one thread): about 1.4 s a render and 0.18 s
// a frame; the colour selection's ColorCirc is nearly all of the frame and a fifth of the
// render, the mask itself (a copy or an inversion of one plane) a few percent.
//
// BM_SaveBufferStepsPeakMemory renders twenty save-buffer steps (96, slots 0 to 19) of the
// composite of a 6000 x 4000 picture, as a preview and OK render them (the slots the render's
// own, files in a folder of its own below the maker's folder), and reports the process's peak
// resident memory over the set-up and the render (peak_MB) and its rise over what was
// resident just before the render (render_MB, the planes the render makes included). The peak
// a process reached can only rise, so each iteration first sets it back to what is resident
// (5 into /proc/self/clear_refs) and reads it (VmHWM) after the render.
// Blocks the size of planes are mapped and unmapped one by one here, so that memory an earlier
// iteration freed neither counts as resident before the render nor hides what it takes.
// Measured on the shared 8-core build machine under a load of 8 to 15: 202 MB at peak, 91-92
// MB over what was resident before the render (the three planes it makes, 72 MB, among
// them), 1.7-4.5 s a render; with the slots kept in memory, as a preview once kept them, it
// peaked at 1575 MB (1465 MB over) and took 11 s.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "app/core/app_data.h"
#include "bench_session.h"
#include "process_memory.h"
#include "script/render_cases.h"
#include "script/script_file.h"

namespace {

constexpr int32_t kW = 2048, kH = 1536;

struct Step {
  int16_t effect, from, to;
  int16_t p[5];
  bool select;
};

void SelectColours(ScriptFile& s, int16_t o) {
  OprnExt ext;
  InitOprnExt(&ext);
  ext.SelFlag[0] = 1;
  ext.SelLevel[0] = 80;
  ext.SelValueB[0] = 60;
  ext.SelValueC[0] = 50;
  ext.SelValueD[0] = 40;
  s.SetSelOprnExt(0, 1, o, &ext);
}

bool MakeScript(ScriptFile& s) {
  if (s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1) != 0) return false;
  const Step steps[10] = {
      {3, 6, 2, {180}, false},                   // add plane 6 to the composite
      {5, 6, 40, {255}, false},                  // difference into a working plane
      {2, 40, 2, {128}, false},                  // replace half way
      {13, 0, 2, {0, 80, 128, 170, 255}, true},  // curve through a colour selection
      {14, 0, 2, {20, 230}, false},              // levels
      {60, 0, 2, {10, -5, 5, 20, 0}, true},      // channel levels through a selection
      {11, 0, 2, {6}, false},                    // blur
      {63, 0, 2, {0, 1, 0, 0, 3}, false},        // noise
      {16, 0, 3, {12}, false},                   // brightness of one plane
      {9, 0, 41, {}, false},                     // invert a working plane
  };
  for (int16_t o = 1; o <= 10; ++o) {
    const Step& st = steps[o - 1];
    s.SetEffect(0, 1, o, st.effect, 0, 0, 0, 0);
    s.SetAct(0, 1, o, 1);
    s.SetFromChannel(0, 1, o, st.from);
    s.SetToChannel(0, 1, o, st.to);
    s.SetParam1(0, 1, o, st.p[0]);
    s.SetParam2(0, 1, o, st.p[1]);
    s.SetParam3(0, 1, o, st.p[2]);
    s.SetParam4(0, 1, o, st.p[3]);
    s.SetParam5(0, 1, o, st.p[4]);
    s.SetOpa(0, 1, o, 220);
    if (st.select) SelectColours(s, o);
  }
  return true;
}

std::vector<uint8_t> Pattern(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(((i + seed) * 2654435761u) >> 24);
  return v;
}

void BM_RenderTenOperations(benchmark::State& state) {
  BenchSession session;
  ScriptFile s;
  if (!MakeScript(s)) {
    state.SkipWithError("no memory for the script");
    return;
  }
  const size_t n = static_cast<size_t>(kW) * kH;
  const std::vector<uint8_t> pixels = Pattern(4 * n, 1), extra6 = Pattern(n, 7);
  for (auto _ : state) {
    s.FreeAllChanBuf(6);  // plane 6 is taken from the caller only when absent
    s.Render(0, 0, 0, pixels.data(), extra6.data(), nullptr, 0, 0);
    benchmark::DoNotOptimize(s.ChannelPlane(3, 0));
  }
}
BENCHMARK(BM_RenderTenOperations)->Unit(benchmark::kMillisecond);

void BM_FrameMaskAndSelection(benchmark::State& state) {
  BenchSession session;
  ScriptFile s;
  if (s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1) != 0) return;
  const std::vector<uint8_t> mask = Pattern(static_cast<size_t>(kW) * kH, 3);
  std::copy(mask.begin(), mask.end(), s.ChannelPlane(50, 1));
  s.SetEffect(0, 1, 1, 35, 0, 0, 0, 0);  // reaches the frame, no case runs
  s.SetToChannel(0, 1, 1, 40);
  s.SetMChannel(0, 1, 1, 50);
  s.SetIntExt(0, 1, 1, 2);
  SelectColours(s, 1);
  Oprn* op = s.GetOprn(0, 1, 1);
  for (auto _ : state) benchmark::DoNotOptimize(s.PerformToEffect(op));
}
BENCHMARK(BM_FrameMaskAndSelection)->Unit(benchmark::kMillisecond);

void BM_SaveBufferStepsPeakMemory(benchmark::State& state) {
  constexpr int32_t kPhotoW = 6000, kPhotoH = 4000;
  constexpr int16_t kSteps = 20;
  BenchSession session;
  BenchScratchDir makers;
  TAppData app;
  TAppData* const previous = std::exchange(gappData, &app);
  if (makers.path.empty() || !SetFicFromPosix(&app.makersFolder, makers.path)) {
    gappData = previous;
    state.SkipWithError("no maker's folder");
    return;
  }
  mallopt(M_MMAP_THRESHOLD, 1 << 20);
  double peakMb = 0, renderMb = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!ResetPeakResident()) {
      state.SkipWithError("the peak resident memory cannot be set back");
      break;
    }
    auto s = std::make_unique<ScriptFile>();
    std::vector<uint8_t> pixels;
    bool made = s->I_ScriptFile(3, kPhotoW, kPhotoH, 72.0f, kPhotoW, kPhotoH, 0, 0, kPhotoW - 1,
                                kPhotoH - 1) == 0;
    for (int16_t o = 1; made && o <= kSteps; ++o) {
      s->SetEffect(0, 1, o, 96, 0, 0, 0, 0);
      s->SetAct(0, 1, o, 1);
      s->SetFromChannel(0, 1, o, 0);
      s->SetToChannel(0, 1, o, 2);
      s->SetParam1(0, 1, o, static_cast<int16_t>(o - 1));
      s->SetOpa(0, 1, o, 255);
    }
    if (made) pixels = Pattern(size_t{4} * kPhotoW * kPhotoH, 5);
    const long before = StatusKb("VmRSS");
    state.ResumeTiming();
    // A preview's render and OK's keep their slots alike, as files of their own.
    if (made) made = s->Render(0, 0, 0, pixels.data(), nullptr, nullptr, 0, 0) == 0;
    state.PauseTiming();
    const long peak = StatusKb("VmHWM");
    s.reset();
    state.ResumeTiming();
    if (!made) {
      state.SkipWithError("the script could not be made or rendered");
      break;
    }
    peakMb = std::max(peakMb, peak / 1024.0);
    renderMb = std::max(renderMb, (peak - before) / 1024.0);
  }
  gappData = previous;
  state.counters["peak_MB"] = peakMb;
  state.counters["render_MB"] = renderMb;
}
BENCHMARK(BM_SaveBufferStepsPeakMemory)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace
