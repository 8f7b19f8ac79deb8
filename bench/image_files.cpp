// Reading and writing the session's image files at a realistic size:
// 4000 x 3000 pixels, 16-bit TIFF and 8-bit JPEG, through the same calls the
// edit session makes (readSourceImage, writeDestinationImage).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bench_session.h"
#include "host/ApePlugInUtilities/image_files.h"

namespace {

constexpr uint32_t kW = 4000, kH = 3000;

std::string BenchFile(const char* name) {
  static const BenchScratchDir dir;  // removed when the program ends
  return (dir.path.empty() ? std::string("/tmp") : dir.path) + "/" + name;
}

PixelBuffer Picture(uint32_t bytes) {
  PixelBuffer b(kW, kH, bytes, 4);
  for (uint32_t y = 0; y < kH; ++y) {
    uint8_t* row = b.rowPtr(y);
    for (uint32_t i = 0; i < kW * 4 * bytes; ++i) row[i] = static_cast<uint8_t>((i >> 3) + y);
  }
  return b;
}

void Write(benchmark::State& state, const char* name, const char* type, uint32_t bytes) {
  const PixelBuffer pic = Picture(bytes);
  const std::string path = BenchFile(name);
  for (auto _ : state) {
    if (writeDestinationImage(path, type, {}, pic) != 0) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 3 * bytes);
}

void Read(benchmark::State& state, const char* name, const char* type, uint32_t bytes) {
  const std::string path = BenchFile(name);
  if (writeDestinationImage(path, type, {}, Picture(bytes)) != 0) {
    state.SkipWithError("could not make the file");
    return;
  }
  for (auto _ : state) {
    PixelBuffer b;
    if (readSourceImage(path, nullptr, nullptr, 0, true, b) != 0) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(b.rowPtr(0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * kH * 3 * bytes);
}

void BM_WriteTiff16(benchmark::State& s) { Write(s, "w16.tif", "public.tiff", 2); }
void BM_ReadTiff16(benchmark::State& s) { Read(s, "r16.tif", "public.tiff", 2); }
void BM_WriteJpeg8(benchmark::State& s) { Write(s, "w8.jpg", "public.jpeg", 1); }
void BM_ReadJpeg8(benchmark::State& s) { Read(s, "r8.jpg", "public.jpeg", 1); }

}  // namespace

BENCHMARK(BM_WriteTiff16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadTiff16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteJpeg8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadJpeg8)->Unit(benchmark::kMillisecond)->UseRealTime();
