// The script's data model where a user waits on it: copying an operation whose parameter
// block holds every family's record (about 27 MB, most of it the grid record), as the
// editors do on every layer copy, and collecting a 2048 x 1536 channel plane into the
// 500 x 500 preview.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "engines/families/effect_families.h"
#include "script/param_block.h"
#include "script/script_file.h"

namespace {

void BM_CopyOprnFullBlock(benchmark::State& state) {
  BenchSession session;
  session.per.previewWidth = 2048;
  session.per.previewHeight = 1536;
  RegisterEffectFamilies();
  Oprn src;
  InitOprn(&src);
  src.LutVign = NewRecord<LutVign>();
  src.SelOprnExt = NewRecord<OprnExt>();
  if (Alloc_MulStruc(&src.MulStruc, 0) != 0 || Init_MulStruc(src.MulStruc, 1, 1) != 0) {
    state.SkipWithError("no memory for the parameter block");
    return;
  }
  for (auto _ : state) {
    Oprn dst;
    InitOprn(&dst);
    benchmark::DoNotOptimize(CopyOprn(&src, &dst));
  }
}
BENCHMARK(BM_CopyOprnFullBlock)->Unit(benchmark::kMillisecond);

void BM_CollectCharBuf(benchmark::State& state) {
  BenchSession session;
  constexpr int32_t kW = 2048, kH = 1536;
  session.per.previewWidth = kW;
  session.per.previewHeight = kH;
  ScriptFile script;
  script.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1);
  for (int16_t c = 3; c <= 5; ++c) {
    uint8_t* p = script.ChannelPlane(c, 1);
    if (p == nullptr) {
      state.SkipWithError("no memory for the planes");
      return;
    }
    for (size_t i = 0; i < static_cast<size_t>(kW) * kH; ++i)
      p[i] = static_cast<uint8_t>(((i + c) * 2654435761u) >> 24);
  }
  std::vector<uint8_t> out(500 * 500);
  for (auto _ : state) {
    script.CollectCharBuf(static_cast<int16_t>(state.range(0)), 0, 0, 1000, 1000, 500, 500,
                          out.data(), 500, 500);
    benchmark::DoNotOptimize(out.data());
  }
}
// Plane 3, and channel 0 (the composite, which first averages three planes).
BENCHMARK(BM_CollectCharBuf)->Arg(3)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
