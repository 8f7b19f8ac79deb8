// Blur, convolution and look-up on a 2048 x 1536 picture: the pyramid blur
// at small, medium and large radii (its cost should hardly grow with the
// radius), without and through a mask, a 5 x 5 kernel through ApplyMatrix,
// and the four look-up tables through a mask.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "raster/blend_filters.h"
#include "raster/tone_lut.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

std::vector<unsigned char> Plane() {
  std::vector<unsigned char> p(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>((i * 2654435761u) >> 24);
  return p;
}

void BM_PyramidBlur(benchmark::State& state) {
  const int32_t radius = static_cast<int32_t>(state.range(0));
  const std::vector<unsigned char> source = Plane();
  std::vector<unsigned char> p = source;
  for (auto _ : state) {
    state.PauseTiming();
    p = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(X_Blur_buffer(p.data(), nullptr, kW, kH, 0, 0, kW - 1, kH - 1, radius, 1));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_PyramidBlur)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

// The same through a mask of every weight, which each box pass mixes its result with.
void BM_PyramidBlurMasked(benchmark::State& state) {
  const int32_t radius = static_cast<int32_t>(state.range(0));
  const std::vector<unsigned char> source = Plane();
  std::vector<unsigned char> mask(source.size());
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = static_cast<unsigned char>(i * 7 / 3);
  std::vector<unsigned char> p = source;
  for (auto _ : state) {
    state.PauseTiming();
    p = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(
        X_Blur_buffer(p.data(), mask.data(), kW, kH, 0, 0, kW - 1, kH - 1, radius, 1));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_PyramidBlurMasked)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_ApplyMatrix5x5(benchmark::State& state) {
  std::vector<unsigned char> p = Plane();
  std::vector<int32_t> kernel(25, 1);
  kernel[12] = 8;
  const unsigned char offsets[1] = {0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(ApplyMatrix(p.data(), nullptr, 1, 1, kW, kH, 0, kW - 1, 0, kH - 1,
                                         2, 1, offsets, 32.0f, kernel.data()));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_ApplyMatrix5x5)->Unit(benchmark::kMillisecond);

void BM_LookUpWithMask(benchmark::State& state) {
  std::vector<uint32_t> src(static_cast<size_t>(kW) * kH), dst(src.size());
  std::vector<int16_t> mask(src.size());
  for (size_t i = 0; i < src.size(); ++i) {
    src[i] = static_cast<uint32_t>(i * 2654435761u);
    mask[i] = static_cast<int16_t>(i % 8193);
  }
  int16_t lut[4][256];
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 256; ++i) lut[k][i] = static_cast<int16_t>(255 - i);
  for (auto _ : state) {
    benchmark::DoNotOptimize(X_lut_buffer(kH, kW, src.data(), dst.data(), 0, 0, kW, kH,
                                          mask.data(), 100, lut[0], lut[1], lut[2], lut[3]));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_LookUpWithMask)->Unit(benchmark::kMillisecond);

}  // namespace
