// Raster core timings on realistic sizes: filtered reductions of an RGB
// image, 3 x 3 convolution and median of a plane, run-length coding of a
// mask. Bytes per second count the source samples read once.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/convolution.h"
#include "raster/plane_copy.h"
#include "raster/rescale.h"
#include "raster/run_length.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

using Session = BenchSession;

std::vector<uint8_t> Picture(int32_t w, int32_t h, int32_t seed) {
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      p[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>((x * 7 + y * 3 + seed) ^ (x * y));
  return p;
}

void BM_Lanczos3ReduceRGB(benchmark::State& state) {
  Session s;
  const int32_t div = static_cast<int32_t>(state.range(0));
  const auto r = Picture(kW, kH, 1), g = Picture(kW, kH, 2), b = Picture(kW, kH, 3);
  const int32_t dw = kW / div, dh = kH / div;
  std::vector<uint8_t> dr(static_cast<size_t>(dw) * dh), dg(dr.size()), db(dr.size());
  for (auto _ : state) {
    const int32_t rc = X_Newechant_buffer(6, r.data(), g.data(), b.data(), kW, kH, dr.data(),
                                          dg.data(), db.data(), dw, dh, 0, 0, kW, kH, 0, 0, dw, dh);
    if (rc != 0) state.SkipWithError("rescale failed");
    benchmark::DoNotOptimize(dr.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{3} * kW * kH);
}
BENCHMARK(BM_Lanczos3ReduceRGB)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

// One plane of 2048 x 1536 to `percent` of its size with a filter of X_Newechant_charbuf: the
// B-spline (7) down to a tenth, Lanczos3 (6) twice up, the box (0) to three quarters.
void BM_RescalePlane(benchmark::State& state) {
  Session s;
  const auto filter = static_cast<int16_t>(state.range(0));
  const auto percent = static_cast<int32_t>(state.range(1));
  const auto p = Picture(kW, kH, 4);
  const int32_t dw = kW * percent / 100, dh = kH * percent / 100;
  std::vector<uint8_t> d(static_cast<size_t>(dw) * dh);
  for (auto _ : state) {
    if (X_Newechant_charbuf(filter, p.data(), kW, kH, d.data(), dw, dh, 0, 0, kW, kH, 0, 0, dw,
                            dh) != 0)
      state.SkipWithError("rescale failed");
    benchmark::DoNotOptimize(d.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_RescalePlane)
    ->ArgNames({"filter", "percent"})
    ->Args({7, 10})
    ->Args({6, 200})
    ->Args({0, 75})
    ->Unit(benchmark::kMillisecond);

// The memory bandwidth the rescaler is measured against: one plain copy of
// the same three planes (one read and one write of every sample).
void BM_CopyRGBReference(benchmark::State& state) {
  const auto r = Picture(kW, kH, 1), g = Picture(kW, kH, 2), b = Picture(kW, kH, 3);
  std::vector<uint8_t> dr(r.size()), dg(r.size()), db(r.size());
  for (auto _ : state) {
    ChBufToChBuf(kW, kH, r.data(), dr.data());
    ChBufToChBuf(kW, kH, g.data(), dg.data());
    ChBufToChBuf(kW, kH, b.data(), db.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{3} * kW * kH);
}
BENCHMARK(BM_CopyRGBReference)->Unit(benchmark::kMillisecond);

void BM_Convolution3x3(benchmark::State& state) {
  Session s;
  const auto src = Picture(kW, kH, 4);
  std::vector<uint8_t> p = src;
  int32_t k[9];
  int16_t div = 0;
  Load_matrix(0, 150, k, &div);
  for (auto _ : state) {
    const int32_t rc = X_Mat_Chbuf(kW, kH, p.data(), 0, 0, kW - 1, kH - 1, 0, div, k, 3000);
    if (rc != 0) state.SkipWithError("convolution failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_Convolution3x3)->Unit(benchmark::kMillisecond);

// The same on one thread, on the baseline (0) and on the widest path (2).
void BM_Convolution3x3OnePath(benchmark::State& state) {
  Session s;
  plat::SetThreadCount(1);
  plat::SetSimdLevel(static_cast<plat::SimdLevel>(state.range(0)));
  std::vector<uint8_t> p = Picture(kW, kH, 4);
  int32_t k[9];
  int16_t div = 0;
  Load_matrix(0, 150, k, &div);
  for (auto _ : state) {
    const int32_t rc = X_Mat_Chbuf(kW, kH, p.data(), 0, 0, kW - 1, kH - 1, 0, div, k, 3000);
    if (rc != 0) state.SkipWithError("convolution failed");
    benchmark::ClobberMemory();
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  plat::SetThreadCount(0);
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_Convolution3x3OnePath)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Median3x3(benchmark::State& state) {
  Session s;
  std::vector<uint8_t> p = Picture(kW, kH, 5);
  for (auto _ : state) {
    const int32_t rc = X_median_buf(kW, kH, p.data(), 0, 0, kW - 1, kH - 1, 0);
    if (rc != 0) state.SkipWithError("median failed");
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_Median3x3)->Unit(benchmark::kMillisecond);

// A mask with a few soft-edged blobs, as the resize presets store them.
std::vector<int16_t> Mask() {
  std::vector<int16_t> m(500 * 500, 0);
  for (int32_t y = 0; y < 500; ++y)
    for (int32_t x = 0; x < 500; ++x) {
      const int32_t dx = x - 250, dy = y - 200;
      const int32_t d = dx * dx + dy * dy;
      if (d < 120 * 120)
        m[y * 500 + x] = 16384;
      else if (d < 130 * 130)
        m[y * 500 + x] = static_cast<int16_t>((130 * 130 - d) * 6);
    }
  return m;
}

void BM_RleEncodeMask(benchmark::State& state) {
  std::vector<int16_t> m = Mask();
  int32_t count = 0;
  encodeRLEshortbuf(0, &count, 500, 500, m.data(), nullptr);
  std::vector<uint32_t> coded(static_cast<size_t>(count));
  for (auto _ : state) {
    int32_t n = 0;
    encodeRLEshortbuf(0, &n, 500, 500, m.data(), nullptr);
    encodeRLEshortbuf(1, &n, 500, 500, m.data(), coded.data());
    benchmark::DoNotOptimize(coded.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{500} * 500 * 2);
  state.counters["words"] = count;
}
BENCHMARK(BM_RleEncodeMask)->Unit(benchmark::kMicrosecond);

void BM_RleDecodeMask(benchmark::State& state) {
  std::vector<int16_t> m = Mask();
  int32_t count = 0;
  encodeRLEshortbuf(0, &count, 500, 500, m.data(), nullptr);
  std::vector<uint32_t> coded(static_cast<size_t>(count));
  encodeRLEshortbuf(1, &count, 500, 500, m.data(), coded.data());
  std::vector<int16_t> out(m.size());
  for (auto _ : state) {
    const int32_t rc = encodeRLEshortbuf(2, &count, 500, 500, out.data(), coded.data());
    if (rc != 0) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * int64_t{500} * 500 * 2);
}
BENCHMARK(BM_RleDecodeMask)->Unit(benchmark::kMicrosecond);

}  // namespace
