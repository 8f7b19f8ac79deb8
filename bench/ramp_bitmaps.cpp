// The colour ramp at picture size: the three-plane colour bar of a random ramp with a hue,
// saturation and lightness shift, and the ramp engine's fill (white source, multiply, through
// a mask) over 2048 x 1536 planes.
//
// Measured on the shared 8-core build machine (one thread): about 12 ms a bar, the shift done
// once per ramp position and each column's two results (over a white and a black cell) once
// per column; about 76 ms a fill, nearly all of it the common blend back of the engines
// (one X_optionRPart per sample) and 3 ms the white source.
#include "script/ramp_bitmaps.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "platform/random/random.h"
#include "script/lut_vign_engine.h"

namespace {

constexpr int32_t kW = 2048, kH = 1536;
constexpr size_t kN = static_cast<size_t>(kW) * kH;

void BM_RGBBar(benchmark::State& state) {
  BenchSession session;
  plat::SeedRandom(3);
  LutVign lut;
  Random_LutVign(0, &lut);
  std::vector<uint8_t> planes(3 * kN);
  const Rect r{0, 0, kH, kW};
  for (auto _ : state) {
    build_BufRGBBar(&r, planes.data(), planes.data() + kN, planes.data() + 2 * kN, &lut, 30, -20,
                    10);
    benchmark::DoNotOptimize(planes.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kN));
}
BENCHMARK(BM_RGBBar)->Unit(benchmark::kMillisecond);

void BM_RampEngineFill(benchmark::State& state) {
  BenchSession session;
  std::vector<uint8_t> r(kN, 90), g(kN, 140), b(kN, 200), mask(kN);
  for (size_t i = 0; i < kN; ++i) mask[i] = static_cast<uint8_t>(i * 7);
  for (auto _ : state) {
    MiscLutVign engine;
    engine.FillBuf(3, 2, 200, 1, 1, 0, 0, kW, kH, 0, 0, 0, 0, 1.0f, 1.0f, kW, kH, r.data(),
                   g.data(), b.data(), nullptr, mask.data());
    benchmark::DoNotOptimize(r.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kN));
}
BENCHMARK(BM_RampEngineFill)->Unit(benchmark::kMillisecond);

}  // namespace
