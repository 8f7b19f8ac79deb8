// Focus, denoise, smoothing and smart-blur drivers on a 2048 x 1536 RGB
// image at the settings the colour correction uses: denoise at 50 percent,
// smoothing with radius 10, smart blur with radius 10, deblur at strength
// 50, and the default sharpen and edge-blur values.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_session.h"
#include "platform/parallel/parallel.h"
#include "raster/anisotropic_diffusion.h"
#include "raster/focus_filters.h"
#include "raster/smart_blur.h"
#include "raster/susan_denoise.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

using Session = BenchSession;

// A photograph-like picture: smooth gradients, a few hard edges and a
// little grain, so the edge-stopping filters meet both flat and busy areas.
struct Picture {
  std::vector<uint32_t> src, dst;
  std::vector<uint8_t> grey, scratch;
  Picture() : src(static_cast<size_t>(kW) * kH), dst(src.size()), grey(src.size()),
              scratch(src.size()) {
    uint32_t seed = 12345;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        seed = seed * 1103515245u + 12345u;
        const int grain = static_cast<int>((seed >> 16) % 9) - 4;
        const int block = ((x / 256) + (y / 192)) % 3 == 0 ? 60 : 0;
        auto c = [&](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
        const uint8_t b[4] = {c(x / 10 + block + grain), c(y / 8 + block / 2 + grain),
                              c(200 - x / 16 - y / 16 + grain), 0};
        uint32_t p;
        std::memcpy(&p, b, 4);
        src[static_cast<size_t>(y) * kW + x] = p;
        grey[static_cast<size_t>(y) * kW + x] = static_cast<uint8_t>((b[0] + b[1] + b[2]) / 3);
      }
  }
};

void Report(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}

// Times one driver call from a fresh copy of the picture; `run` returns the
// driver's result.
template <typename Run>
void Driver(benchmark::State& state, Run run) {
  Session s;
  Picture p;
  for (auto _ : state) {
    p.dst = p.src;
    if (run(p) != 0) state.SkipWithError("the driver failed");
  }
  Report(state);
}

void BM_DeNoise(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_DeNoise_buffer(1, kH, kW, p.src.data(), p.dst.data(), 0, 0, kW, kH, 50, 2, 20, 20);
  });
}
BENCHMARK(BM_DeNoise)->Unit(benchmark::kMillisecond);

void BM_SmoothRadius10(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_Smooth_buffer(1, kH, kW, p.src.data(), p.dst.data(), kH, kW, p.grey.data(), kH, kW,
                           0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 0, 1, 100, 10, 65, 25, 35);
  });
}
BENCHMARK(BM_SmoothRadius10)->Unit(benchmark::kMillisecond);

// The noise-reduction step: smart blur radius 10 at a third of the default
// threshold, no mask gain.
void BM_NoiseReductionSmartBlur10(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_Smooth_buffer(1, kH, kW, p.src.data(), p.dst.data(), kH, kW, p.grey.data(), kH, kW,
                           0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 0, 1, 100, 10, 15, 0, 0);
  });
}
BENCHMARK(BM_NoiseReductionSmartBlur10)->Unit(benchmark::kMillisecond);

void BM_SmartBlurRGB10(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    X_SmartBlur_RGB(1, kH, kW, p.src.data(), p.dst.data(), 10, 65, 128, 32);
    return 0;
  });
}
BENCHMARK(BM_SmartBlurRGB10)->Unit(benchmark::kMillisecond);

// The Gaussian of sigma 5 (31 taps) along the rows, then down the columns,
// of the grey plane, written back in place each time; one thread.
void BM_FilterGaussianRowsColumns(benchmark::State& state) {
  Session session;
  Picture p;
  Filter gauss;
  if (gauss.MakeDogFilter(31, 0, 5.0f) == 0) state.SkipWithError("no kernel");
  std::vector<uint8_t> plane = p.grey;
  plat::SetThreadCount(1);
  for (auto _ : state) {
    const int direction = static_cast<int>(state.range(0));
    if (gauss.ConvCharBuf(plane.data(), nullptr, kW, kH, direction, 1.0f, 0) == 0)
      state.SkipWithError("filter failed");
    benchmark::ClobberMemory();
  }
  plat::SetThreadCount(0);
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_FilterGaussianRowsColumns)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DeBlurStrength50(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_DeBlur_buffer(1, kH, kW, p.src.data(), p.dst.data(), kH, kW, p.grey.data(),
                           p.scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 2,
                           50, 0);
  });
}
BENCHMARK(BM_DeBlurStrength50)->Unit(benchmark::kMillisecond);

void BM_HighSharp(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_HighSharp_buffer(1, kH, kW, p.src.data(), p.dst.data(), kH, kW, p.grey.data(),
                              p.scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100,
                              1, 50, 0);
  });
}
BENCHMARK(BM_HighSharp)->Unit(benchmark::kMillisecond);

void BM_BlurOutsideEdges(benchmark::State& state) {
  Driver(state, [](Picture& p) {
    return X_bluroutedge_buffer(0, kH, kW, p.src.data(), p.dst.data(), kH, kW, p.grey.data(),
                                p.scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100,
                                5, 40, 5, 0);
  });
}
BENCHMARK(BM_BlurOutsideEdges)->Unit(benchmark::kMillisecond);

void BM_AnisotropicDiffusionPlane(benchmark::State& state) {
  Session s;
  Picture p;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<uint8_t> plane = p.grey;
    state.ResumeTiming();
    AnisotropicDiffusion(kW, kH, plane.data(), 0, 1, 20.0f);
    benchmark::DoNotOptimize(plane.data());
  }
  Report(state);
}
BENCHMARK(BM_AnisotropicDiffusionPlane)->Unit(benchmark::kMillisecond);

}  // namespace
