// Quadrilateral warps on a 2048 x 1536 RGB picture: the inverse-bilinear
// distortion onto a rotated quadrilateral, the forward quad-to-quad map, and
// the bilinear pull through displacement maps that the grid and lens engines
// apply after building their maps.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "raster/displacement_resample.h"
#include "raster/distortion_warp.h"
#include "raster/quad_mapping.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture {
  Picture() : r(kW * kH), g(kW * kH), b(kW * kH), rgba(kW * kH) {
    for (int32_t i = 0; i < kW * kH; ++i) {
      r[i] = static_cast<uint8_t>(i);
      g[i] = static_cast<uint8_t>(i >> 3);
      b[i] = static_cast<uint8_t>(i >> 7);
      rgba[i] = 0xFF000000u | (uint32_t{b[i]} << 16) | (uint32_t{g[i]} << 8) | r[i];
    }
  }
  std::vector<uint8_t> r, g, b;
  std::vector<uint32_t> rgba;
};

// The picture's rectangle turned by 20 degrees about its centre and shrunk
// to 80 % so that it stays inside the destination.
void rotatedQuad(int32_t q[8]) {
  const double a = 20.0 * 3.141592654 / 180.0;
  const double cx = kW / 2.0, cy = kH / 2.0;
  const double px[4] = {0, kW - 1.0, kW - 1.0, 0};
  const double py[4] = {0, 0, kH - 1.0, kH - 1.0};
  for (int k = 0; k < 4; ++k) {
    const double dx = (px[k] - cx) * 0.8, dy = (py[k] - cy) * 0.8;
    q[2 * k] = static_cast<int32_t>(cx + dx * std::cos(a) - dy * std::sin(a));
    q[2 * k + 1] = static_cast<int32_t>(cy + dx * std::sin(a) + dy * std::cos(a));
  }
}

void BM_DistortRotatedPixels(benchmark::State& state) {
  Picture src;
  std::vector<uint32_t> dst(kW * kH, 0);
  int32_t q[8];
  rotatedQuad(q);
  for (auto _ : state) {
    X_distort_buffer(1, kH, kW, src.rgba.data(), 0, nullptr, kH, kW, dst.data(), q[0], q[1], q[2],
                     q[3], q[4], q[5], q[6], q[7], 0, 0, kW - 1, kH - 1, 100);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_DistortRotatedPixels)->Unit(benchmark::kMillisecond);

void BM_DistortRotatedPlanes(benchmark::State& state) {
  Picture src;
  std::vector<uint8_t> dr(kW * kH), dg(kW * kH), db(kW * kH);
  int32_t q[8];
  rotatedQuad(q);
  for (auto _ : state) {
    for (auto [s, d] : {std::pair{&src.r, &dr}, std::pair{&src.g, &dg}, std::pair{&src.b, &db}}) {
      X_distort_buffer(0, kH, kW, s->data(), 0, nullptr, kH, kW, d->data(), q[0], q[1], q[2], q[3],
                       q[4], q[5], q[6], q[7], 0, 0, kW - 1, kH - 1, 100);
    }
    benchmark::DoNotOptimize(dr.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_DistortRotatedPlanes)->Unit(benchmark::kMillisecond);

void BM_QuadBufRGBToQuadBufRGB(benchmark::State& state) {
  Picture src;
  std::vector<uint8_t> dr(kW * kH), dg(kW * kH), db(kW * kH);
  int32_t q[8];
  rotatedQuad(q);
  for (auto _ : state) {
    QuadBufRGBToQuadBufRGB(kH, kW, src.r.data(), src.g.data(), src.b.data(), 0, nullptr, kH, kW,
                           dr.data(), dg.data(), db.data(), 0, 0, kW - 1, 0, kW - 1, kH - 1, 0,
                           kH - 1, q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7]);
    benchmark::DoNotOptimize(dr.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_QuadBufRGBToQuadBufRGB)->Unit(benchmark::kMillisecond);

void BM_ComputeBufRGBInterDisAtXY(benchmark::State& state) {
  Picture src;
  std::vector<uint8_t> dr(kW * kH), dg(kW * kH), db(kW * kH);
  // A gentle barrel: displacement grows with the distance from the centre.
  std::vector<uint32_t> xs(kW * kH), ys(kW * kH);
  std::vector<const uint32_t*> xr(kH), yr(kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const double dx = (x - kW / 2.0) / kW, dy = (y - kH / 2.0) / kH;
      const double r2 = dx * dx + dy * dy;
      xs[y * kW + x] = kDisplacementNeutral + static_cast<int32_t>(128.0 * 40.0 * dx * r2);
      ys[y * kW + x] = kDisplacementNeutral + static_cast<int32_t>(128.0 * 40.0 * dy * r2);
    }
    xr[y] = xs.data() + y * kW;
    yr[y] = ys.data() + y * kW;
  }
  for (auto _ : state) {
    ComputeBufRGBInterDisAtXY(kH, kW, src.r.data(), src.g.data(), src.b.data(), nullptr, dr.data(),
                              dg.data(), db.data(), nullptr, xr.data(), yr.data());
    benchmark::DoNotOptimize(dr.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_ComputeBufRGBInterDisAtXY)->Unit(benchmark::kMillisecond);

}  // namespace
