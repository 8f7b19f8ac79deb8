// The main editing window's costs: the layer-stack render at view size
// (PrepareBuf(1, null): the combined layer file written, its private copy,
// the render of 1, 3 and 10 layers over a 6000 x 4000 picture fitted into a
// 640 x 480 view) and one path snapshot pushed into the undo ring (a list of
// 1000 knots).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "app/folder_scans.h"
#include "bench_session.h"
#include "dialogs/editor/main_editor.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "paths/path.h"
#include "paths/path_list.h"
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
