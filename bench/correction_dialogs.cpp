// One preview refresh of each colour-correction dialog: the record handed to
// its 500 x 400 main view (SetColCorPar), which lays the preview out, runs
// the colour-correction engine over a 2048 x 1536 picture read from the
// session and loads the result into the display. Fit (the whole picture)
// and 1:1 (a 500-pixel square of it).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_session.h"
#include "engines/correction/colour_correction.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture {
  PixelBuffer photo{kW, kH, 1, 4};
  PixelBuffer unused;
  FilterRecord record;
  Picture() {
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 5 + ((x * y) & 31));
        p[1] = static_cast<uint8_t>(y * 3);
        p[2] = static_cast<uint8_t>((x ^ y) * 7);
        p[3] = 255;
      }
    record.planeCount = 3;
    record.imageMode = 3;
    record.imageWidth = kW;
    record.imageHeight = kH;
    record.imageRect = Rect{0, 0, kH, kW};
    record.inLastPlane = 2;
    gFilterRecord = &record;
    SetSessionSpanImages(&photo, &unused);
  }
  ~Picture() {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
  }
};

void BM_DialogRefresh(benchmark::State& state) {
  BenchSession s;
  Picture picture;
  vmkviews::RegisterPreviewEngines();
  const auto effect = static_cast<int16_t>(state.range(0));
  const bool oneToOne = state.range(1) != 0;
  VMKimabox box;
  plat::tb::Event init;
  init.eventClass = plat::tb::kEventClassHIObject;
  init.kind = plat::tb::kEventHIObjectInitialize;
  init.bounds = CGRect{{0.0f, 0.0f}, {500.0f, 400.0f}};
  box.ImaBoxEventHandler(nullptr, &init, nullptr);
  box.InitBuf(23);
  box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  // 1:1 shows 500 picture pixels across.
  const int32_t side = 50000000 / kW;
  if (oneToOne) box.SetPanBufCoord(20000, 20000, 20000 + side, 20000 + side);
  else box.SetPanBufCoord(0, 0, 100000, 100000);
  ColCorPar record;
  Init_ColCorPar(&record, kW, kH, 72, effect, 0, 0);
  for (auto _ : state) {
    box.SetColCorPar(&record, 1, 3);
    benchmark::DoNotOptimize(box.displayBuffer());
  }
  state.SetLabel(oneToOne ? "1:1" : "fit");
}
BENCHMARK(BM_DialogRefresh)
    ->ArgNames({"effect", "one"})
    ->ArgsProduct({{103, 104, 105, 119}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
