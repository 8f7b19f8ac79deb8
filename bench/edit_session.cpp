// The edit session: the opacity and blend-mode mix and the render road on a
// 2048 x 1536 picture at 8 and 16 bits, and the start of a session on a
// 4000 x 3000 JPEG (reading it, the application object, the view table).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/file_access.h"
#include "bench_host_scene.h"
#include "host/edit_session.h"
#include "host/session/app_object.h"
#include "platform/hostapi/fake_host.h"
#include "platform/imageio/image_io.h"
#include "script/script_file.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kW = 2048;
constexpr uint32_t kH = 1536;

benchscene::HostScene& TheScene() {
  static benchscene::HostScene scene("session");
  return scene;
}

PixelBuffer Pattern(uint32_t bytes, uint32_t seed) {
  PixelBuffer b(kW, kH, bytes, 4);
  for (uint32_t y = 0; y < kH; ++y) {
    uint8_t* row = b.rowPtr(y);
    for (uint32_t i = 0; i < kW * 4 * bytes; ++i) row[i] = static_cast<uint8_t>(i * 7 + y * 13 + seed);
  }
  return b;
}

// A session on no version, given a picture of the size timed.
struct Session {
  plat::hostapi::FakeEditManager edit{{}};
  plat::hostapi::FakeApiManager api{&edit};
  std::unique_ptr<CarbonEditPlugin> s;
  explicit Session(uint32_t bytes) {
    TheScene();
    s = std::make_unique<CarbonEditPlugin>(&api, "bench", &edit);
    s->source = Pattern(bytes, 1);
    s->destination = s->source;
    s->spare = s->source;
    s->filtered = Pattern(bytes, 5);
  }
};

void BM_OpaModAPEimage(benchmark::State& state) {
  Session session(static_cast<uint32_t>(state.range(0)));
  for (auto _ : state) {
    session.s->OpaModAPEimage(0, 0, kW, kH, 50, 7);
    benchmark::DoNotOptimize(session.s->destination.rowPtr(0));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_OpaModAPEimage)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The render road with one brightness operation in the layer file.
void BM_DoFilter(benchmark::State& state) {
  Session session(static_cast<uint32_t>(state.range(0)));
  FilterRecord* r = gFilterRecord;
  r->imageWidth = static_cast<int16_t>(kW);
  r->imageHeight = static_cast<int16_t>(kH);
  r->imageRect = Rect{0, 0, static_cast<int16_t>(kH), static_cast<int16_t>(kW)};
  r->planeCount = 3;
  r->imageMode = state.range(0) == 2 ? 11 : 3;
  r->inFirstPlane = 0;
  r->inLastPlane = 2;
  {
    ScriptFile layers;
    layers.I_ScriptFile(3, 4, 4, 72.0f, 4, 4, 0, 0, 3, 3);
    layers.SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
    layers.SetAct(0, 1, 1, 1);
    layers.SetToChannel(0, 1, 1, 2);
    layers.SetParam1(0, 1, 1, 10);
    layers.SetOpa(0, 1, 1, 255);
    layers.SetIntExt(0, 1, 1, 1);
    File_kern file(&gPer->layerScratch);
    layers.SaveCombiLay(&file, 0, nullptr);
  }
  for (auto _ : state) {
    session.s->source = session.s->destination;
    if (session.s->DoFilter() != 0) {
      state.SkipWithError("the render failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_DoFilter)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_SessionStart(benchmark::State& state) {
  const std::string jpeg = (TheScene().root() / "large.jpg").string();
  if (!fs::exists(jpeg)) {
    constexpr uint32_t w = 4000, h = 3000;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + (i >> 14));
    const plat::imageio::PixelSource source{pixels.data(), static_cast<size_t>(w) * 4, w, h, 1};
    plat::imageio::WriteImage(jpeg, plat::imageio::kTypeJPEG, {}, source);
  }
  for (auto _ : state) {
    plat::hostapi::FakeEditManager edit({jpeg});
    plat::hostapi::FakeApiManager api(&edit);
    CarbonEditPlugin session(&api, "bench", &edit);
    benchmark::DoNotOptimize(session.destinationBuffer().width());
  }
}
BENCHMARK(BM_SessionStart)->Unit(benchmark::kMillisecond);

}  // namespace
