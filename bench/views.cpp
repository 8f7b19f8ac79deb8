// Preview view timings: loading planes into an image box in both modes,
// drawing a box with its image and overlays, and copying a picture into an
// offscreen surface. Boxes are drawn offscreen into a port of their size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "app/buffer_converters.h"
#include "bench_session.h"
#include "engines/correction/resize_record.h"
#include "platform/draw/port.h"
#include "views/image_box.h"

namespace {

std::vector<uint8_t> Plane(int32_t w, int32_t h, int32_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x * 3 + y * 5 + seed);
  return p;
}

// A box of w x h showing a 4:3 picture over the whole pan, masks tinting.
void Prepare(VMKimabox& box, int32_t w, int32_t h) {
  plat::tb::Event init;
  init.eventClass = plat::tb::kEventClassHIObject;
  init.kind = plat::tb::kEventHIObjectInitialize;
  init.bounds = CGRect{{0.0f, 0.0f}, {static_cast<float>(w), static_cast<float>(h)}};
  box.ImaBoxEventHandler(nullptr, &init, nullptr);
  box.InitBuf(1);
  box.InitBufMsk(1000, 1000, 3);
  box.SetMskMod(1);
  YoxelPar rec;
  Init_YoxelPar(&rec, 2048, 1536, 72, 0, 5);
  box.SetYoxelPar(&rec, 0, 0);
}

void BM_SetBufRGB(benchmark::State& state) {
  BenchSession s;
  const int32_t w = static_cast<int32_t>(state.range(0));
  const int32_t h = static_cast<int32_t>(state.range(1));
  const int16_t mode = static_cast<int16_t>(state.range(2));
  VMKimabox box;
  Prepare(box, w, h);
  const auto r = Plane(w, h, 1), g = Plane(w, h, 2), b = Plane(w, h, 3), m = Plane(w, h, 4);
  for (auto _ : state) {
    box.SetBufRGB(mode, 0, 0, w, h, 1, 2048, 1536, w, h, const_cast<uint8_t*>(r.data()),
                  const_cast<uint8_t*>(g.data()), const_cast<uint8_t*>(b.data()),
                  const_cast<uint8_t*>(m.data()), 255, 1);
    benchmark::DoNotOptimize(box.displayBuffer());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_SetBufRGB)->Args({500, 500, 0})->Args({500, 500, 1})->Args({1024, 768, 0})->Args({1024, 768, 1});

void BM_DrawContent(benchmark::State& state) {
  BenchSession s;
  const int32_t w = static_cast<int32_t>(state.range(0));
  const int32_t h = static_cast<int32_t>(state.range(1));
  VMKimabox box;
  Prepare(box, w, h);
  box.SetBufSSPan(10000, 10000, 90000, 90000, 80, 0, 0);
  box.SetBufParam(0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0);
  plat::draw::Port port(w, h);
  const plat::draw::Context ctx{&port, 0, 0, port.portRect};
  for (auto _ : state) {
    box.DrawContent(nullptr, nullptr, ctx);
    benchmark::DoNotOptimize(port.surface().pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_DrawContent)->Args({500, 500})->Args({1024, 768});

void BM_BufToGWorld(benchmark::State& state) {
  constexpr int32_t kW = 2048;
  constexpr int32_t kH = 1536;
  std::vector<uint32_t> buffer(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < buffer.size(); ++i) buffer[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  plat::draw::Surface world(kW, kH);
  for (auto _ : state) {
    if (BufToGWorld(buffer.data(), kW, kH, &world) != 0) state.SkipWithError("copy failed");
    benchmark::DoNotOptimize(world.pixels().data());
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}
BENCHMARK(BM_BufToGWorld);

}  // namespace
