// The main editing window's costs: the layer-stack render at view size
// (PrepareBuf(1, null): the combined layer file written, its private copy,
// the render of 1, 3 and 10 layers over a 6000 x 4000 picture fitted into a
// 640 x 480 view) and one path snapshot pushed into the undo ring (a list of
// 1000 knots).
//   - ZoomedRenderMemory: how long one render of the 6000 x 4000 picture's
//     layer takes (the row's time) and how far the process's peak resident
//     memory rises above what it held before it (peak_MB), for a layer of
//     levels, reaching nothing; a blur of radius 20; a flip, which reaches
//     the whole picture: the zoomed preview of the 640 x 480 view at 1:1, at
//     the step below it (94.4 %) and at 60.7 % (where the flip's whole
//     picture is rendered at its own pixels and reduced to the view, and the
//     others' part supersampled twice), and OK's render of the whole
//     picture (the script's render as the host's road makes it, without the
//     host's own copies of the picture). Each row's peak is measured from
//     the memory it starts with (the allocator's free memory handed back and
//     the peak reset first), so one row's peak never hides another's.
//     Goal: a zoomed preview peaks no higher than OK's render, and a
//     whole-picture layer's, which renders the picture at its own pixels
//     as OK's does, takes about as long. Measured with the flip on a
//     machine busy with other builds: 139 MB and 1.45 to 1.58 s at each of
//     the three zooms (the reduction to the view a millisecond or two of
//     it), OK's render 139 MB and 1.15 s; the levels and the blur 4 to 9 MB
//     and 78 to 171 ms, against 94 MB and 0.8 s.
//     Before the zoomed preview rendered only the part shown, the probe
//     measured 207 MB at 1:1 and 817 MB at 94.4 % for the levels layer
//     (the whole picture at the zoom, supersampled twice each way below
//     1:1), against 161 MB for OK's render.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "app/file_access.h"
#include "app/folder_scans.h"
#include "bench_session.h"
#include "dialogs/editor/main_editor.h"
#include "dialogs/editor/preview_render.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "paths/path.h"
#include "paths/path_list.h"
#include "process_memory.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace {

constexpr int32_t kW = 6000;
constexpr int32_t kH = 4000;

DocData* gBenchDoc = nullptr;
DocData* BenchDoc() { return gBenchDoc; }

// The session's picture and a document whose current stack holds `layers`
// layers, each with one tone operation.
struct Document {
  PixelBuffer photo{kW, kH, 1, 4};
  PixelBuffer unused;
  FilterRecord record;
  DocData doc;
  BenchScratchDir dir;
  explicit Document(int layers) {
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 5 + ((x * y) & 31));
        p[1] = static_cast<uint8_t>(y * 3);
        p[2] = static_cast<uint8_t>((x ^ y) * 7);
        p[3] = 255;
      }
    record.planeCount = 3;
    record.imageMode = 3;
    record.imageWidth = kW;
    record.imageHeight = kH;
    record.imageRect = Rect{0, 0, kH, kW};
    record.inLastPlane = 2;
    gFilterRecord = &record;
    SetSessionSpanImages(&photo, &unused);
    doc.width = kW;
    doc.height = kH;
    doc.script = new ScriptFile();
    doc.script->I_ScriptFile(3, kW, kH, 300.0f, 500, 500, 0, 0, 499, 332);
    LayerFile* stack = doc.script->GetStack(0);
    while (stack->layerCount < layers) stack->AddLaye(stack->layerCount, new Laye());
    for (int16_t k = 1; k <= layers; ++k) {
      doc.script->SetEffect(0, k, 1, static_cast<int16_t>(13 + k % 6), 0, 0, kW, kH);
      doc.script->SetAct(0, k, 1, 1);
    }
    doc.layer = stack->GetLaye(1);
    gBenchDoc = &doc;
    SetCurrentDocumentSource(BenchDoc);
    std::filesystem::create_directories(dir.path + "/Vellmarkstead");
    setenv("VMK_SUPPORT_DIR", dir.path.c_str(), 1);
    LocateMakersFolder(&gPer->makersFolder);
    gPer->layerScratch = BenchFileRecord(dir.path + "/Vellmarkstead/com.vellmarkstead.lay");
  }
  ~Document() {
    SetCurrentDocumentSource(nullptr);
    gBenchDoc = nullptr;
    delete doc.script;
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
  }
};

void BM_PrepareBuf(benchmark::State& state) {
  BenchSession session;
  Document document(static_cast<int>(state.range(0)));
  VMKpinmainUI editor;
  editor.FitPicture(640, 480);
  for (auto _ : state) editor.PrepareBuf(1, nullptr);
  state.counters["shown"] = static_cast<double>(editor.rendersShown());
}
BENCHMARK(BM_PrepareBuf)->ArgName("layers")->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

// OK's render of the layer file over the whole picture: planes of the picture's size read
// from it, the layers recalled and rendered on them.
bool RenderAsOk(const fichier& layers, const PixelBuffer& photo) {
  ScriptFile s;
  if (s.I_ScriptFile(3, kW, kH, 300.0f, kW, kH, 0, 0, kW, kH) != 0) return false;
  s.SetDrwVal(0, 0, 1.0f, 1.0f, 0, 0);
  s.NewLimSize(0, 0, kW, kH, 1.0f, 1.0f);
  uint8_t* planes[4];
  for (int c = 0; c < 4; ++c)
    if ((planes[c] = reinterpret_cast<uint8_t*>(s.planes->CreBuf(3 + c))) == nullptr) return false;
  for (int32_t y = 0; y < kH; ++y) {
    const size_t at = static_cast<size_t>(kH - 1 - y) * kW;
    const uint8_t* row = photo.rowPtr(static_cast<uint32_t>(y));
    for (int32_t x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) planes[c][at + x] = row[4 * x + c];
    std::memset(planes[3] + at, 255, kW);
  }
  s.SetBuf(planes[0], planes[1], planes[2], nullptr, planes[3], nullptr);
  File_kern file(&layers);
  int32_t value = 0;
  return s.RecallCombiLay(&file, 2, &value, nullptr) == 0 && s.Render(0, 0, 0, nullptr, planes[3], nullptr, 0, 0) == 0;
}

// range(0): 0 the zoomed preview at 1:1, 1 at 94.4 %, 2 at 60.7 %, 3 OK's render; range(1):
// the layer, 0 levels, 1 a blur of radius 20, 2 a flip.
void BM_ZoomedRenderMemory(benchmark::State& state) {
  BenchSession session;
  Document document(1);
  static constexpr int16_t kLayers[3][2] = {{14, 0}, {11, 20}, {54, 1}};
  const int16_t* layer = kLayers[state.range(1)];
  document.doc.script->SetEffect(0, 1, 1, layer[0], 0, 0, kW, kH);
  document.doc.script->SetToChannel(0, 1, 1, 2);
  document.doc.script->SetParam1(0, 1, 1, layer[1]);
  document.doc.script->SetAct(0, 1, 1, 1);
  {
    File_kern file(&gPer->layerScratch);
    if (document.doc.script->SaveCombiLay(&file, 0, nullptr) != 0) {
      state.SkipWithError("the layer file could not be written");
      return;
    }
  }
  // The view's planes, and the part it shows about the picture's middle.
  constexpr int32_t kViewW = 640, kViewH = 480;
  std::vector<uint8_t> view[4];
  for (auto& p : view) p.assign(static_cast<size_t>(kViewW) * kViewH, 0);
  uint8_t* planes[4] = {view[0].data(), view[1].data(), view[2].data(), view[3].data()};
  ZoomedPart part;
  constexpr double kSteps[3] = {1.0, 10000.0 / 9441.0, 10000.0 / 6066.0};
  const bool asOk = state.range(0) == 3;
  part.step = asOk ? 1.0 : kSteps[state.range(0)];
  part.shownWidth = kViewW;
  part.shownHeight = kViewH;
  part.left = static_cast<int32_t>((kW - kViewW * part.step) / 2);
  part.top = static_cast<int32_t>((kH - kViewH * part.step) / 2);
  double peak = 0;
  for (auto _ : state) {
    if (!ResetPeakResident()) {
      state.SkipWithError("the peak of resident memory cannot be reset here");
      return;
    }
    const long before = StatusKb("VmRSS");
    const bool done = asOk ? RenderAsOk(gPer->layerScratch, document.photo)
                           : RenderZoomedPreview(gPer->layerScratch, 1, kW, kH, part, kViewW, kViewH, planes, nullptr);
    const long after = StatusKb("VmHWM");
    if (!done || before < 0 || after < 0) {
      state.SkipWithError("the render failed");
      return;
    }
    peak = static_cast<double>(after - before) / 1024.0;
  }
  state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_ZoomedRenderMemory)
    ->ArgNames({"render", "layer"})
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BackRestPathPush(benchmark::State& state) {
  BenchSession session;
  VMKpinmainUI editor;
  CPathList paths(0);
  for (int p = 0; p < 10; ++p) {
    paths.AddPath(0);
    CPath* path = paths.first;
    while (path->next != nullptr) path = path->next;
    for (int k = 0; k < 100; ++k)
      path->AddPoint(static_cast<float>(p * 100 + k), static_cast<float>((k * 37) % 500), 0);
  }
  for (auto _ : state) editor.BackRestPath(2, &editor.undoRing, &paths);
}
BENCHMARK(BM_BackRestPathPush)->Unit(benchmark::kMicrosecond);

}  // namespace
