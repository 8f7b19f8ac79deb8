// The script's files where a user waits on them: the session writes and reads its
// combined-layer scratch file on every change, the previews render a saved file through
// MiscRender, and every engine in source mode 2 reads the render file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/core/app_data.h"
#include "app/file_access.h"
#include "bench_session.h"
#include "engines/families/effect_families.h"
#include "script/layers.h"
#include "script/misc_render.h"
#include "script/render_cases.h"
#include "script/script_file.h"

namespace {

struct BenchFolder {
  std::filesystem::path path;
  TAppData data;
  TAppData* previous;
  BenchFolder() : previous(gappData) {
    path = std::filesystem::temp_directory_path() / ("vmk-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    gappData = &data;
    SetFicFromPosix(&data.makersFolder, path.string());
  }
  ~BenchFolder() {
    gappData = previous;
    std::filesystem::remove_all(path);
  }
  fichier File(const std::string& name) const {
    fichier f;
    SetFicFromPosix(&f, (path / name).string());
    return f;
  }
};

// Twenty operations of tone, ramp and matrix effects over the composite.
void TwentyOperations(ScriptFile& s) {
  const int16_t effects[] = {9, 16, 17, 23, 22, 13, 14, 15, 18, 60};
  for (int16_t k = 1; k <= 20; ++k) {
    s.SetEffect(0, 1, k, effects[(k - 1) % 10], 0, 0, 0, 0);
    s.SetAct(0, 1, k, 1);
    s.SetToChannel(0, 1, k, 2);
    s.SetParam1(0, 1, k, static_cast<int16_t>(10 + k));
  }
}

void BM_SaveCombiLay(benchmark::State& state) {
  BenchSession session;
  BenchFolder folder;
  RegisterEffectFamilies();
  ScriptFile s;
  s.I_ScriptFile(3, 500, 500, 72.0f, 500, 500, 0, 0, 499, 499);
  TwentyOperations(s);
  fichier f = folder.File("doc.lay");
  for (auto _ : state) {
    File_kern file(&f);
    benchmark::DoNotOptimize(s.SaveCombiLay(&file, 0, nullptr));
  }
}
BENCHMARK(BM_SaveCombiLay)->Unit(benchmark::kMillisecond);

void BM_RecallCombiLay(benchmark::State& state) {
  BenchSession session;
  BenchFolder folder;
  RegisterEffectFamilies();
  ScriptFile s;
  s.I_ScriptFile(3, 500, 500, 72.0f, 500, 500, 0, 0, 499, 499);
  TwentyOperations(s);
  fichier f = folder.File("doc.lay");
  File_kern file(&f);
  s.SaveCombiLay(&file, 0, nullptr);
  for (auto _ : state) {
    int32_t value = 0;
    benchmark::DoNotOptimize(s.RecallCombiLay(&file, 1, &value, nullptr));
  }
}
BENCHMARK(BM_RecallCombiLay)->Unit(benchmark::kMillisecond);

// MiscRender over a saved combined-layer file, as the previews do.
void BM_MiscRenderFillBufCombined(benchmark::State& state) {
  BenchSession session;
  BenchFolder folder;
  RegisterEffectFamilies();
  RegisterScriptRenderCases();
  const auto w = static_cast<int32_t>(state.range(0)), h = static_cast<int32_t>(state.range(1));
  session.per.previewWidth = w;
  session.per.previewHeight = h;
  ScriptFile s;
  s.I_ScriptFile(3, w, h, 72.0f, w, h, 0, 0, w - 1, h - 1);
  TwentyOperations(s);
  fichier f = folder.File("doc.lay");
  File_kern file(&f);
  s.SaveCombiLay(&file, 0, nullptr);
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<std::vector<uint8_t>> planes(4, std::vector<uint8_t>(n));
  for (size_t i = 0; i < n; ++i)
    for (int c = 0; c < 4; ++c) planes[c][i] = static_cast<uint8_t>((i * (c + 7)) >> 3);
  for (auto _ : state) {
    MiscRender r;
    r.SetFich(&f, nullptr, 2, 0, 0);
    benchmark::DoNotOptimize(r.FillBuf(3, 0, 255, 0, 1, nullptr, 0, 0, w, h, 0, 0, 0, 0, 1.0f,
                                       1.0f, w, h, planes[0].data(), planes[1].data(),
                                       planes[2].data(), planes[3].data(), nullptr));
  }
}
BENCHMARK(BM_MiscRenderFillBufCombined)->Args({500, 500})->Args({2048, 1536})->Unit(benchmark::kMillisecond);

void BM_RenderFile(benchmark::State& state) {
  BenchSession session;
  BenchFolder folder;
  const int16_t direction = static_cast<int16_t>(state.range(0));
  std::vector<std::vector<uint8_t>> planes(4, std::vector<uint8_t>(500 * 500, 77));
  MiscRender r;
  r.ReadWriteRendFile(0, 500, 500, planes[0].data(), planes[1].data(), planes[2].data(),
                      planes[3].data(), 500, 333);
  for (auto _ : state)
    benchmark::DoNotOptimize(r.ReadWriteRendFile(direction, 500, 500, planes[0].data(),
                                                 planes[1].data(), planes[2].data(),
                                                 planes[3].data(), 500, 333));
}
// 0 writes, 1 reads back rescaled.
BENCHMARK(BM_RenderFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
