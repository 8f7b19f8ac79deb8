// Rendering every effect number at its defaults on a three-plane picture, one line per
// number so that the slowest effects stand out, and the file- and path-driven effects where a
// user waits on them: the path sweep at 30 steps, the path frame and the texture relief.
//
// Each line's arguments are the effect number, the picture's width (2048 x 1536, or a
// 24-megapixel 6000 x 4000 photo) and the thread count (0: the default, the host's cores).
// BM_MemoryPass is the yardstick of the point and blend effects: one read and one write of
// the three planes in bands on the same threads, as a render that touches each sample once
// cannot beat it. A filter picks rows, e.g. --benchmark_filter='/6000/0$'.
//
// The operations read a picture file and the default content library, both made in a
// temporary folder before the first benchmark.
//
// Measured on the shared 8-core build machine under load: a render that runs nothing costs
// about 12 ms (loading the planes and clearing the swap files); the slowest numbers at their
// defaults are the despeckle (87, about 1 s), the wind (32, 0.7 s), the weave frame, the
// texture generator and the plaid (40, 77, 42, about 0.5 s); the path sweep at 30 steps, the
// path frame and the texture relief take 0.2 to 0.25 s, the sweep nearly all in its 30 fills
// of the whole area. Since then, at 2048 x 1536 under a load of about 18: the wind 0.13 s, the
// texture generator 0.11 s, the despeckle 0.09 s, the fog 0.07 s, the contour lines 0.03 s;
// at 6000 x 4000 the four that took over a second (wind 3.9 s, despeckle 2.2 s, contour
// lines 1.5 s, fog 1.1 s) take 0.25 to 0.8 s.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/core/app_data.h"
#include "app/core/file_records.h"
#include "bench_session.h"
#include "dialogs/editor/tune_effect_tables.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/fractal_record.h"
#include "operations/effects.h"
#include "paths/path_list.h"
#include "platform/imageio/image_io.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/parallel/simd.h"
#include "script/effect_table.h"
#include "script/lut_vign.h"
#include "script/param_block.h"
#include "script/record_kinds.h"
#include "script/script_file.h"

namespace {

// The picture's height for each width the benchmark offers.
int32_t HeightOf(int32_t width) { return width == 6000 ? 4000 : width * 3 / 4; }

// The thread count of one benchmark line for as long as it lives (0: the default).
struct ThreadsFor {
  explicit ThreadsFor(int64_t threads) { plat::SetThreadCount(static_cast<int>(threads)); }
  ~ThreadsFor() { plat::SetThreadCount(0); }
  ThreadsFor(const ThreadsFor&) = delete;
  ThreadsFor& operator=(const ThreadsFor&) = delete;
};

struct Files {
  std::filesystem::path dir;
  fichier picture;
  bool content = false;
  Files() {
    dir = std::filesystem::temp_directory_path() / ("vmk-bench-effects-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> px(256 * 192 * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    plat::imageio::PixelSource src;
    src.base = px.data();
    src.rowBytes = 256 * 4;
    src.width = 256;
    src.height = 192;
    const std::string path = (dir / "picture.tif").string();
    plat::imageio::WriteImage(path, plat::imageio::kTypeTIFF, {}, src);
    Init_FicStruct(&picture);
    SetFicFromPosix(&picture, path);
#ifdef VMK_MAKE_CONTENT
    const std::string command = std::string("'") + VMK_MAKE_CONTENT + "' '" +
                                (dir / "Maker" / "Vellmarkstead").string() + "' >/dev/null";
    content = std::system(command.c_str()) == 0;
#endif
  }
  ~Files() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

Files& TheFiles() {
  static Files f;
  return f;
}

std::vector<uint8_t> MakePicture(int32_t width, int32_t height) {
  std::vector<uint8_t> v(static_cast<size_t>(width) * height * 4);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &v[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(y * 255 / height);
      p[2] = static_cast<uint8_t>((x ^ y) & 255);
      p[3] = 255;
    }
  return v;
}

// The picture of one width, made once (the larger one takes 96 MB).
const std::vector<uint8_t>& Picture(int32_t width) {
  static std::vector<uint8_t> small, large;
  std::vector<uint8_t>& v = width == 6000 ? large : small;
  if (v.empty()) v = MakePicture(width, HeightOf(width));
  return v;
}

// One operation of `effect` at its defaults on the composite, with the layer's paths (an
// ellipse and a rectangle) and the picture file where the number reads one.
bool MakeScript(ScriptFile& s, int16_t effect, int32_t width = 2048) {
  const int32_t height = HeightOf(width);
  if (s.I_ScriptFile(3, width, height, 72.0f, width, height, 0, 0, width - 1, height - 1) != 0)
    return false;
  s.previewScaleX = s.previewScaleY = 1.0f;
  s.SetDrwVal(0, 0, 1, 1, 0, 0);
  CPathList* paths = s.GetStack(0)->GetLaye(1)->paths;
  paths->objPar.w[kObjCentreX] = width / 3;
  paths->objPar.w[kObjCentreY] = height / 2;
  paths->objPar.w[kObjBoxWidth] = width / 3;
  paths->objPar.w[kObjBoxHeight] = height / 2;
  paths->objPar.w[kObjOutlineOffset] = 0;
  paths->fct_crea_ellipse(0);
  s.SetEffect(0, 1, 1, effect, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetFromChannel(0, 1, 1, 2);
  s.SetToChannel(0, 1, 1, 2);
  if ((EffectRowOf(effect).uses & kUsesFileRecord) != 0) s.SetFileOprn(0, 1, 1, &TheFiles().picture);
  return true;
}

void RunRenders(benchmark::State& state, ScriptFile& s, int32_t width = 2048) {
  const std::vector<uint8_t>& picture = Picture(width);
  for (auto _ : state) {
    s.Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
    benchmark::ClobberMemory();
  }
}

void Prepare(BenchSession& session) {
  RegisterEffectFamilies();
  Files& f = TheFiles();
  SetFicFromPosix(&session.per.makersFolder, (f.dir / "Maker").string());
}

void BM_EffectAtDefaults(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto effect = static_cast<int16_t>(state.range(0));
  const auto width = static_cast<int32_t>(state.range(1));
  ThreadsFor threads(state.range(2));
  ScriptFile s;
  if (!MakeScript(s, effect, width)) {
    state.SkipWithError("no memory for the script");
    return;
  }
  RunRenders(state, s, width);
  if (!s.MissingCases().empty()) state.SetLabel("no render case");
}
BENCHMARK(BM_EffectAtDefaults)
    ->ArgNames({"effect", "width", "threads"})
    ->ArgsProduct({benchmark::CreateDenseRange(1, 122, 1), {2048, 6000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// One read and one write of three planes, in bands of rows on the shared threads.
void BM_MemoryPass(benchmark::State& state) {
  const auto width = static_cast<int32_t>(state.range(0));
  const int32_t height = HeightOf(width);
  ThreadsFor threads(state.range(1));
  const size_t n = static_cast<size_t>(width) * height;
  std::vector<uint8_t> from[3], to[3];
  for (int32_t k = 0; k < 3; ++k) {
    from[k].assign(n, static_cast<uint8_t>(k + 1));
    to[k].assign(n, 0);
  }
  for (auto _ : state) {
    plat::ParallelFor(0, height, 16, [&](int32_t first, int32_t last) {
      const size_t at = static_cast<size_t>(first) * width;
      const size_t count = static_cast<size_t>(last - first) * width;
      for (int32_t k = 0; k < 3; ++k) std::memcpy(to[k].data() + at, from[k].data() + at, count);
    });
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemoryPass)
    ->ArgNames({"width", "threads"})
    ->ArgsProduct({{2048, 6000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// Point effects away from their defaults, where a default changes nothing or takes a shortcut:
// channel levels 60 with shifts 30, -20, 10 %, contrast 40, the mid-tones; the black-and-white
// conversion 121 with a filter of -60 degrees at 120 %, contrast 40, a tone of 30 degrees at 20;
// the denoise 68, whose default of no pass leaves the picture as it is, with one pass at
// threshold 20.
void BM_EffectAwayFromDefaults(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto effect = static_cast<int16_t>(state.range(0));
  const auto width = static_cast<int32_t>(state.range(1));
  ThreadsFor threads(state.range(2));
  ScriptFile s;
  if (!MakeScript(s, effect, width)) return state.SkipWithError("no memory for the script");
  const int16_t levels[5] = {30, -20, 10, 40, 2}, grey[5] = {-60, 120, 40, 30, 20};
  const int16_t denoise[5] = {1, 10, 20, 0, 0};
  const int16_t* p = effect == 60 ? levels : (effect == 68 ? denoise : grey);
  s.SetParam1(0, 1, 1, p[0]);
  s.SetParam2(0, 1, 1, p[1]);
  s.SetParam3(0, 1, 1, p[2]);
  s.SetParam4(0, 1, 1, p[3]);
  s.SetParam5(0, 1, 1, p[4]);
  RunRenders(state, s, width);
}
BENCHMARK(BM_EffectAwayFromDefaults)
    ->ArgNames({"effect", "width", "threads"})
    ->ArgsProduct({{60, 68, 121}, {2048, 6000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The point, tone and blend effects the way a user who paints a mask or lowers the opacity
// meets them: at opacity 128 through mask channel 89, a plane of soft diagonal ramps (no two
// neighbouring rows alike, no run of one value), so that the frame fills the operation mask
// and blends the result back rather than writing straight into the planes.
const std::vector<uint8_t>& MaskPlane(int32_t width) {
  static std::vector<uint8_t> small, large;
  std::vector<uint8_t>& v = width == 6000 ? large : small;
  if (v.empty()) {
    const int32_t height = HeightOf(width);
    v.resize(static_cast<size_t>(width) * height);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x)
        v[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((x + 3 * y) * 255 / 1000);
  }
  return v;
}

void BM_EffectThroughMask(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto effect = static_cast<int16_t>(state.range(0));
  const auto width = static_cast<int32_t>(state.range(1));
  ThreadsFor threads(state.range(2));
  ScriptFile s;
  if (!MakeScript(s, effect, width)) return state.SkipWithError("no memory for the script");
  s.SetOpa(0, 1, 1, 128);
  s.SetMChannel(0, 1, 1, 89);
  s.SetIntExt(0, 1, 1, 1);
  const std::vector<uint8_t>& picture = Picture(width);
  const std::vector<uint8_t>& mask = MaskPlane(width);
  for (auto _ : state) {
    s.Render(0, 0, 0, picture.data(), nullptr, mask.data(), 0, 0);
    benchmark::ClobberMemory();
  }
  if (!s.MissingCases().empty()) state.SetLabel("no render case");
}
BENCHMARK(BM_EffectThroughMask)
    ->ArgNames({"effect", "width", "threads"})
    ->ArgsProduct({{1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18,
                    60, 63, 65, 66, 67, 68, 70, 71, 86, 96, 97, 121, 122},
                   {2048, 6000},
                   {0, 1}})
    ->Unit(benchmark::kMillisecond);

// --- Every operation at its largest -----------------------------------------------------------
//
// The operations the windows offer (the image tools and the layered editor's families), each
// with every slider of its row at its largest, on the composite of a 6000 x 4000 picture, as
// the operation lists make a new operation of the kind (its record, ramp, source and mask),
// at default threads and at one. Besides the time, two things a user waiting on the render
// sees: `still_s`, the longest stretch the render's progress stood on one value (from the
// start to the first rise and from the last to the end included), and, in the Stopped rows,
// `stop_ms`, how long the render ran on after its cancel flag was raised half a second in
// (0: it was over before).
//
// Measured on the shared 8-core build machine at loads of 7 to 18, before the long loops
// looked at the cancel flag and moved the meter -> after (time; still_s; stop_ms), default
// threads: radial blur 67 -> 30 s; 67 -> 1.2 s; 46 s -> 30 ms. Motion blur 33 -> 8 s; 33 ->
// 0.3 s; 18 s -> 23 ms. Contour lines 5.3 -> 2.1 s; 4.2 -> 0.25 s; 2.8 s -> 0.11 s. Twirl (its
// rows now on the shared threads) 4.0 -> 0.6 s; 2.7 -> 0.01 s; 4.6 s -> 7 ms. The loaded image
// 2.9 -> 1.6 s; 2.1 -> 0.3 s; 1.3 s -> 0.15 s. Colour circle 2.6 -> 2.4 s; 2.4 -> 0.2 s; 1.8 s
// -> 6 ms. Edges 2.6 -> 0.8 s; 2.0 -> 0.13 s; 0.5 s -> 0. Colour matrix 2.4 -> 1.7 s; 1.6 ->
// 0.7 s; 1.1 s -> 0.2 s. Feathered path fill 1.8 -> 1.9 s; 1.5 -> 0.2 s; 0.5 s -> 5 ms. The
// rest take 1.5 s or less, stand still 1.2 s or less and stop within 0.25 s. The times
// follow the machine's load; only the twirl's fell by its own change. The radial blur alone
// (BM_RadialBlurAtLargest): 90 s at one thread, 29 s at default threads.

// The codes with a slider layout on the composite, each once, in the order of the families.
std::vector<int16_t> CodesWithSliders() {
  std::vector<int16_t> codes;
  std::set<int16_t> seen;
  for (const tuneeff::Family& f : tuneeff::Families())
    for (const int16_t code : f.codes)
      if (code > 1 && tuneeff::LayoutOf(code, true) != nullptr && seen.insert(code).second)
        codes.push_back(code);
  return codes;
}

// One operation of `code` as the operation lists make it, every slider at its largest.
bool MakeLargest(ScriptFile& s, int16_t code, int32_t width) {
  if (!MakeScript(s, code, width)) return false;
  s.SetFromChannel(0, 1, 1, 0);
  if (const tuneeff::KindChange* k = tuneeff::KindChangeOf(code)) {
    if (k->record == tuneeff::KindRecord::kColourMatrix) {
      std::vector<int32_t> matrix(4096);
      s.GetColMat(0, 1, 1, matrix.data());
      s.SetColMat(0, 1, 1, matrix.data());
    } else if (k->record == tuneeff::KindRecord::kRecord) {
      const RecordKind* rk = FindRecordKind(k->recordKind);
      if (rk == nullptr) return false;
      void* block = NewRecordBlock(rk->blockSize);
      if (block == nullptr) return false;
      rk->construct(block);
      s.GetRecordPar(k->recordKind, 0, 1, 1, block);
      s.SetRecordPar(k->recordKind, 0, 1, 1, block);
      if (rk->release != nullptr) rk->release(block);
      DeleteRecordBlock(block);
    }
    if (k->ramp >= 0) {
      auto ramp = std::make_unique<LutVign>();
      s.GetLutVign(k->ramp, 0, 1, 1, ramp.get());
      s.SetLutVign(0, 1, 1, ramp.get());
    }
    if (k->source != 0) s.SetFromChannel(0, 1, 1, k->source);
    if (k->maskMode != 0) s.SetIntExt(0, 1, 1, k->maskMode);
    if (k->maskChannel != 0) s.SetMChannel(0, 1, 1, k->maskChannel);
    if (k->paramOneOpacity) s.SetParam1(0, 1, 1, 255);
  }
  const tuneeff::SliderLayout* layout = tuneeff::LayoutOf(code, true);
  void (ScriptFile::*const set[5])(int16_t, int16_t, int16_t, int16_t) = {
      &ScriptFile::SetParam1, &ScriptFile::SetParam2, &ScriptFile::SetParam3,
      &ScriptFile::SetParam4, &ScriptFile::SetParam5};
  for (int n = 0; layout != nullptr && n < 5; ++n)
    if (layout->rows[n].used())
      (s.*set[n])(0, 1, 1, static_cast<int16_t>(std::clamp<int32_t>(layout->rows[n].maximum,
                                                                     INT16_MIN, INT16_MAX)));
  return true;
}

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The render of `s` over the picture under a meter whose rises it times: the longest
// stretch on one value.
double RenderMeasured(ScriptFile& s, const std::vector<uint8_t>& picture) {
  plat::ProgressMeter meter;
  std::mutex lock;
  Clock::time_point last = Clock::now();
  double longest = 0.0;
  meter.SetObserver([&](int32_t) {
    const std::lock_guard<std::mutex> hold(lock);
    const Clock::time_point now = Clock::now();
    longest = std::max(longest, Seconds(now - last));
    last = now;
  });
  {
    const plat::ProgressScope scope(&meter);
    s.Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
  }
  const std::lock_guard<std::mutex> hold(lock);
  return std::max(longest, Seconds(Clock::now() - last));
}

void BM_OperationAtLargest(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto code = static_cast<int16_t>(state.range(0));
  ThreadsFor threads(state.range(1));
  ScriptFile s;
  if (!MakeLargest(s, code, 6000)) return state.SkipWithError("the operation cannot be made");
  const std::vector<uint8_t>& picture = Picture(6000);
  double still = 0.0;
  for (auto _ : state) {
    still = std::max(still, RenderMeasured(s, picture));
    benchmark::ClobberMemory();
  }
  state.counters["still_s"] = still;
  if (!s.MissingCases().empty()) state.SetLabel("no render case");
}

void OperationCodes(benchmark::internal::Benchmark* b) {
  for (const int16_t code : CodesWithSliders())
    for (const int threads : {0, 1}) b->Args({code, threads});
}
BENCHMARK(BM_OperationAtLargest)
    ->ArgNames({"effect", "threads"})
    ->Apply(OperationCodes)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The same render at default threads, its cancel flag raised half a second in, as the
// Rendering window's Cancel raises it: the time is the whole call's, `stop_ms` the part after
// the flag.
void BM_OperationAtLargestStopped(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto code = static_cast<int16_t>(state.range(0));
  ScriptFile s;
  if (!MakeLargest(s, code, 6000)) return state.SkipWithError("the operation cannot be made");
  const std::vector<uint8_t>& picture = Picture(6000);
  double after = 0.0;
  for (auto _ : state) {
    plat::CancelFlag flag;
    std::mutex lock;
    std::condition_variable over;
    bool done = false;
    Clock::time_point raised{};
    std::thread press([&] {
      std::unique_lock<std::mutex> hold(lock);
      if (over.wait_for(hold, std::chrono::milliseconds(500), [&] { return done; })) return;
      raised = Clock::now();
      flag.Cancel();
    });
    {
      const plat::CancelScope scope(&flag);
      s.Render(0, 0, 0, picture.data(), nullptr, nullptr, 0, 0);
    }
    const Clock::time_point end = Clock::now();
    {
      const std::lock_guard<std::mutex> hold(lock);
      done = true;
    }
    over.notify_all();
    press.join();
    if (flag.cancelled()) after = std::max(after, Seconds(end - raised) * 1000.0);
    benchmark::ClobberMemory();
  }
  state.counters["stop_ms"] = after;
}

void StoppedCodes(benchmark::internal::Benchmark* b) {
  for (const int16_t code : CodesWithSliders()) b->Arg(code);
}
BENCHMARK(BM_OperationAtLargestStopped)
    ->ArgName("effect")
    ->Apply(StoppedCodes)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The radial blur (83) at its largest, a spin of 100 samples about the picture's corner, on
// 6000 x 4000 at one thread and at default threads: the longest render of the operation
// lists, which a user stops rather than waits out.
void BM_RadialBlurAtLargest(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ThreadsFor threads(state.range(0));
  ScriptFile s;
  if (!MakeLargest(s, 83, 6000)) return state.SkipWithError("the operation cannot be made");
  RunRenders(state, s, 6000);
}
BENCHMARK(BM_RadialBlurAtLargest)
    ->ArgName("threads")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The swept fill of the layer's paths in 30 steps.
void BM_PathSweep30Steps(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 28)) return state.SkipWithError("no memory for the script");
  s.SetParam2(0, 1, 1, 30);
  RunRenders(state, s);
}
BENCHMARK(BM_PathSweep30Steps)->Unit(benchmark::kMillisecond);

void BM_PathFrame(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 61)) return state.SkipWithError("no memory for the script");
  RunRenders(state, s);
}
BENCHMARK(BM_PathFrame)->Unit(benchmark::kMillisecond);

void BM_TextureRelief(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 52)) return state.SkipWithError("no memory for the script");
  RunRenders(state, s);
}
BENCHMARK(BM_TextureRelief)->Unit(benchmark::kMillisecond);

// The vector level of one benchmark line for as long as it lives.
struct SimdFor {
  explicit SimdFor(bool plain) {
    plat::SetSimdLevel(plain ? plat::SimdLevel::kBaseline : plat::SimdLevel::kAvx512);
  }
  ~SimdFor() { plat::SetSimdLevel(plat::SimdLevel::kAvx512); }
  SimdFor(const SimdFor&) = delete;
  SimdFor& operator=(const SimdFor&) = delete;
};

// The wind (32) at its defaults, two forms timed side by side, the planes side by side on three
// threads in both: 0, the plain walk, one pixel at a time, as the wind went before; 1, sixteen
// pixels' streaks a step at a time and the streak lengths in lanes where the processor has
// AVX2.
void BM_WindForms(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  const auto form = state.range(0);
  const auto width = static_cast<int32_t>(state.range(1));
  SetWindSixteenAtOnce(form == 1);
  ScriptFile s;
  if (!MakeScript(s, 32, width)) return state.SkipWithError("no memory for the script");
  RunRenders(state, s, width);
  SetWindSixteenAtOnce(true);
}
BENCHMARK(BM_WindForms)
    ->ArgNames({"form", "width"})
    ->ArgsProduct({{0, 1}, {6000}})
    ->Unit(benchmark::kMillisecond);

// The wind at the settings a user reaches for long streaks: length 30 without randomness, along
// x both ways (angles 0 and 180, sixteen rows at once, each row walked in the wind's
// direction), at the default 45 degrees and blowing left at 135 (sixteen pixels at once), on a
// 6000-wide picture at the default threads.
void BM_WindLong(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  ScriptFile s;
  if (!MakeScript(s, 32, 6000)) return state.SkipWithError("no memory for the script");
  s.SetParam1(0, 1, 1, 30);
  s.SetParam2(0, 1, 1, static_cast<int16_t>(state.range(0)));
  s.SetParam3(0, 1, 1, 0);
  RunRenders(state, s, 6000);
}
BENCHMARK(BM_WindLong)
    ->ArgName("angle")
    ->Arg(0)
    ->Arg(45)
    ->Arg(135)
    ->Arg(180)
    ->Unit(benchmark::kMillisecond);

// The fractal effect (100) the way a user meets it after "Use" on one of the content library's
// fractal presets, and with the preset's iteration count raised to the dialog's largest, 2000.
// Each at 6000 x 4000 on the default threads, in the plain form (the baseline level: one pixel
// at a time) beside the vector lanes the processor runs, so that the two are timed side by side.
// The plain forms take minutes where the orbits are long (Sine lace draws pixel after pixel, its
// constant carried from each to the next): a filter picks rows, e.g.
// --benchmark_filter='BM_FractalPreset/lanes:1/'.
constexpr const char* kFractalPresets[] = {"Dendrite", "Sea horses", "Sine lace", "Copper rings",
                                           "Spiral"};

void BM_FractalPreset(benchmark::State& state) {
  BenchSession session;
  Prepare(session);
  if (!TheFiles().content) return state.SkipWithError("no content library");
  const bool plain = state.range(0) == 0;
  const auto preset = static_cast<size_t>(state.range(1));
  const bool most = state.range(2) != 0;
  const auto width = static_cast<int32_t>(state.range(3));
  ThreadsFor threads(state.range(4));
  const SimdFor level(plain);
  ScriptFile s;
  if (!MakeScript(s, 100, width)) return state.SkipWithError("no memory for the script");
  Oprn* op = s.GetOprn(0, 1, 1);
  if (op == nullptr || (op->MulStruc == nullptr && Alloc_MulStruc(&op->MulStruc, 0) != 0) ||
      Init_MulStruc(op->MulStruc, 1, 20) != 0)
    return state.SkipWithError("no fractal record");
  auto* par = static_cast<FractPar*>(MulStrucRecord(op->MulStruc, 20));
  const std::string file = (TheFiles().dir / "Maker" / "Vellmarkstead" / "Presets" / "Fractals" /
                            (std::string(kFractalPresets[preset]) + ".hfra"))
                               .string();
  fichier f;
  Init_FicStruct(&f);
  // The preset is read through the application's file slots.
  TAppData app;
  TAppData* const previous = std::exchange(gappData, &app);
  const bool read = par != nullptr && SetFicFromPosix(&f, file) &&
                    Do_AFract_file(2, SpecOf(f), par) == 0;
  gappData = previous;
  if (!read) return state.SkipWithError("the preset cannot be read");
  if (most) par->entries[0].w[kFraIterations] = 2000;
  state.SetLabel(std::string(kFractalPresets[preset]) + (plain ? ", plain" : ", lanes"));
  RunRenders(state, s, width);
}
BENCHMARK(BM_FractalPreset)
    ->ArgNames({"lanes", "preset", "most", "width", "threads"})
    ->ArgsProduct({{0, 1}, {0, 1, 2, 3, 4}, {0, 1}, {6000}, {0}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
