// The two-layer arithmetic of the script's blend steps and the per-channel
// levels on 2048 x 1536 planes: whole-area regions, a mask, blend mode 0
// at part opacity (the common case of a rendered script step).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "operations/effects.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

std::vector<unsigned char> Plane(uint32_t seed) {
  std::vector<unsigned char> p(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < p.size(); ++i) {
    p[i] = static_cast<unsigned char>(((i + seed) * 2654435761u) >> 24);
  }
  return p;
}

// The operations take their tables from the session's memory manager.
using Session = BenchSession;

using TwoLayerOp = int32_t (*)(int16_t, int16_t, const unsigned char*, int32_t, int32_t,
                               unsigned char*, int32_t, int32_t, int32_t, int32_t, int32_t,
                               int32_t, int32_t, int32_t, int32_t, int32_t, int16_t, int16_t,
                               const unsigned char*, int16_t);

int32_t MultiplyOp(int16_t mode, int16_t opacity, const unsigned char* src, int32_t sh,
                   int32_t sw, unsigned char* dst, int32_t th, int32_t tw, int32_t sx0,
                   int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                   int32_t ty1, int16_t cs, int16_t ct, const unsigned char* mask, int16_t) {
  return Effects::Multiply(mode, opacity, src, sh, sw, dst, th, tw, sx0, sy0, sx1, sy1, tx0, ty0,
                           tx1, ty1, cs, ct, mask);
}

void RunTwoLayer(benchmark::State& state, TwoLayerOp op) {
  Session session;
  const std::vector<unsigned char> src = Plane(1), mask = Plane(3);
  std::vector<unsigned char> dst = Plane(2);
  for (auto _ : state) {
    benchmark::DoNotOptimize(op(0, 200, src.data(), kH, kW, dst.data(), kH, kW, 0, 0, kW - 1,
                                kH - 1, 0, 0, kW - 1, kH - 1, 1, 1, mask.data(), 180));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_Add(benchmark::State& s) { RunTwoLayer(s, &Effects::Add); }
void BM_Subtract(benchmark::State& s) { RunTwoLayer(s, &Effects::Subtract); }
void BM_Difference(benchmark::State& s) { RunTwoLayer(s, &Effects::Difference); }
void BM_Multiply(benchmark::State& s) { RunTwoLayer(s, &MultiplyOp); }
BENCHMARK(BM_Add)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Subtract)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Difference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Multiply)->Unit(benchmark::kMillisecond);

// Replace of three planes into three, and of one into three.
void BM_Replace(benchmark::State& state) {
  Session session;
  const int16_t cs = static_cast<int16_t>(state.range(0));
  const std::vector<unsigned char> sr = Plane(1), sg = Plane(4), sb = Plane(5), mask = Plane(3);
  std::vector<unsigned char> r = Plane(2), g = Plane(6), b = Plane(7);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::Replace(0, 200, sr.data(), sg.data(), sb.data(), kH, kW,
                                              r.data(), g.data(), b.data(), kH, kW, 0, 0, kW - 1,
                                              kH - 1, 0, 0, kW - 1, kH - 1, cs, 3, mask.data(),
                                              180));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Replace)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond);

// Levels of the composite, per tonal range (0 all, 2 mid-tones).
void BM_AdjustRGBChan(benchmark::State& state) {
  Session session;
  const int32_t range = static_cast<int32_t>(state.range(0));
  const std::vector<unsigned char> mask = Plane(3);
  std::vector<unsigned char> r = Plane(2), g = Plane(6), b = Plane(7);
  for (auto _ : state) {
    Effects::AdjustRGBChan(0, 200, kH, kW, r.data(), g.data(), b.data(), mask.data(), 0, 0,
                           kW - 1, kH - 1, 12, -8, 5, 30, range);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_AdjustRGBChan)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
