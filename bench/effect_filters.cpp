// The script's filters on a 2048 x 1536 plane: the pyramid blur at small,
// medium and the largest radius (its cost should hardly grow with it), the
// unsharp mask against it, a
// 7 x 7 kernel through ApplyMatrix with a mask and a partial opacity (the
// blended path), the zoom blur, the hue/saturation/lightness shift of three
// planes, uniform noise, the 3 x 3 sharpen and a table etch of three planes
// (both replacing at full opacity without a mask).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "operations/effects.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

using Plane = std::vector<unsigned char>;

Plane MakePlane(uint32_t salt) {
  Plane p(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < p.size(); ++i) {
    p[i] = static_cast<unsigned char>(((i + salt) * 2654435761u) >> 24);
  }
  return p;
}

void BM_Blur(benchmark::State& state) {
  BenchSession session;
  const int16_t radius = static_cast<int16_t>(state.range(0));
  const Plane source = MakePlane(0);
  Plane p = source;
  for (auto _ : state) {
    state.PauseTiming();
    p = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        Effects::Blur(0, 255, p.data(), nullptr, kW, kH, 0, 0, kW - 1, kH - 1, radius, 1));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Blur)->Arg(2)->Arg(20)->Arg(199)->Unit(benchmark::kMillisecond);

// The unsharp mask at radius 5, replacing at full opacity without a mask.
void BM_UnSharpMask(benchmark::State& state) {
  BenchSession session;
  const Plane source = MakePlane(5);
  Plane p = source;
  for (auto _ : state) {
    state.PauseTiming();
    p = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        Effects::UnSharpMask(0, 255, p.data(), nullptr, kW, kH, 0, 0, kW - 1, kH - 1, 5, 100, 0));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_UnSharpMask)->Unit(benchmark::kMillisecond);

void BM_ApplyMatrix7x7(benchmark::State& state) {
  BenchSession session;
  Plane p = MakePlane(1);
  const Plane mask = MakePlane(2);
  std::vector<int32_t> kernel(49);
  for (size_t i = 0; i < kernel.size(); ++i) kernel[i] = static_cast<int32_t>(i % 5) - 1;
  const unsigned char bias[1] = {16};
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::ApplyMatrix(3, 200, p.data(), mask.data(), 1, 1, kW, kH, 0,
                                                  kW - 1, 0, kH - 1, 3, 1, bias, 49.0f,
                                                  kernel.data()));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_ApplyMatrix7x7)->Unit(benchmark::kMillisecond);

void BM_RadialBlur(benchmark::State& state) {
  BenchSession session;
  Plane r = MakePlane(3), g = MakePlane(4), b = MakePlane(5);
  const int16_t kind = static_cast<int16_t>(state.range(0));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::RadialBlur(0, 255, r.data(), g.data(), b.data(), kH, kW, 0,
                                                 0, kW - 1, kH - 1, nullptr, 3, 16, 50, 50,
                                                 kind));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_RadialBlur)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_HSLBlend(benchmark::State& state) {
  Plane r = MakePlane(6), g = MakePlane(7), b = MakePlane(8);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::HSLBlend(0, 255, kH, kW, r.data(), g.data(), b.data(),
                                               nullptr, nullptr, 0, 0, kW - 1, kH - 1, 30, 10, 0,
                                               1));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_HSLBlend)->Unit(benchmark::kMillisecond);

void BM_Noise(benchmark::State& state) {
  BenchSession session;
  Plane p = MakePlane(9);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::Noise(0, 128, 0, p.data(), nullptr, kH, kW, 0, 0, kW - 1,
                                            kH - 1, 1.0f, 1.0f, 2, 0, 0, 5));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Noise)->Unit(benchmark::kMillisecond);

void BM_Sharpen(benchmark::State& state) {
  BenchSession session;
  Plane p = MakePlane(10);
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Effects::Sharpen(0, 255, p.data(), nullptr, kW, kH, 0, 0, kW - 1, kH - 1, 8));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Sharpen)->Unit(benchmark::kMillisecond);

void BM_EtchThreePlanes(benchmark::State& state) {
  Plane planes[3] = {MakePlane(11), MakePlane(12), MakePlane(13)};
  unsigned char table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(255 - i);
  for (auto _ : state) {
    for (Plane& p : planes) {
      benchmark::DoNotOptimize(Effects::Etch(0, 255, p.data(), kH, kW, 0, 0, kW - 1, kH - 1, 1,
                                             nullptr, table));
    }
  }
  state.SetItemsProcessed(state.iterations() * kW * kH * 3);
}
BENCHMARK(BM_EtchThreePlanes)->Unit(benchmark::kMillisecond);

}  // namespace
