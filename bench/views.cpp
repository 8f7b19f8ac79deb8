// Preview view timings: loading planes into an image box in both modes,
// drawing a box with its image and overlays, and copying a picture into an
// offscreen surface. Boxes are drawn offscreen into a port of their size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/buffer_converters.h"
#include "bench_session.h"
#include "engines/correction/resize_record.h"
#include "platform/draw/port.h"
#include "views/image_box.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/draw_par.h"

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

// ---- overlays ----
// A 500 x 500 view over a 6000 x 4000 picture (500 x 333 displayed), every
// overlay's record at its defaults unless said. Drawing runs inside the
// window's draw event, so its time is a stall of the event loop: the goal is
// at most 50 ms at the 95th percentile for one DrawContent with one overlay on.

double Percentile95(const std::vector<double>& v) {
  std::vector<double> s(v);
  std::sort(s.begin(), s.end());
  return s.empty() ? 0.0 : s[std::min(s.size() - 1, static_cast<size_t>(0.95 * static_cast<double>(s.size())))];
}

struct OverlayBox {
  BenchSession session;
  DrawPar shared{};
  VMKimabox box;
  plat::draw::Port port{500, 500};
  OverlayBox() {
    Init_DrawPar(&shared);
    gPer->drawPar = &shared;
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {500.0f, 500.0f}};
    box.ImaBoxEventHandler(nullptr, &init, nullptr);
    box.InitBuf(1);
    box.InitBuf(26);
    YoxelPar rec;
    Init_YoxelPar(&rec, 6000, 4000, 72, 0, 5);
    box.SetYoxelPar(&rec, 2, 0);
    DrawPar dp;
    Init_DrawPar(&dp);
    dp.viewOffsetY = static_cast<float>((500 - box.displayedHeight()) / 2);
    box.SetDrw(&dp);
    Init_GridPar(box.gridRecord(), 6000, 4000, 8, 8, 0, 3, 1, 1);
    Init_ZondracPar(box.zondracRecord(), 6000, 4000, 72, 20, 20, 0);
    Init_BordPar(box.bordRecord(), 6000, 4000, 0, 1, 0, 0);
    Init_RepPar(box.repRecord(), 0, 4, 4);
    Init_TessPar(box.tessRecord(), 0, 0, 0);
    Init_WeaveInfo(box.weaveRecord(), 16, 16);
    ShapePar shape;
    Init_ShapePar(&shape, 500, 333, 0);
    box.SetShapePar(&shape, -1, 0, 110);
    CookiCutPar cookie;
    Init_CookiCutPar(&cookie);
    box.SetCookiCutPar(&cookie, -1, 0);
    box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  }
  ~OverlayBox() { gPer->drawPar = nullptr; }
  // A smooth out grid of n x n cells, its inner nodes pushed about so the
  // cells bend.
  void SmoothGrid(int32_t n) {
    GridInfo& g = box.gridRecord()->grids[0];
    Init_GridInfo(&g, 1, 1, n, n, 3);
    g.w[kGiCurvature] = 60;
    for (int32_t k = 0; k < (n + 1) * (n + 1); ++k) {
      g.node[kGaOut + kGaX][k] += (k * 37) % 301 - 150;
      g.node[kGaOut + kGaY][k] += (k * 53) % 301 - 150;
    }
  }
  void Draw() {
    box.DrawContent(nullptr, nullptr, plat::draw::Context{&port, 0, 0, port.portRect});
    benchmark::DoNotOptimize(port.surface().pixels().data());
  }
};

// Which overlay one DrawContent draws: 0 lens (warp-grid value = arg 1), 1
// smooth grid mesh (arg 1 cells a side), 2 plain grid (arg 1 cells),
// 3 tessellation mode 2, 4 repeat, 5 border, 6 weave, 7 star, 8 spirograph,
// 9 cookie cutter.
void SwitchOn(OverlayBox& o, int64_t which, int64_t arg) {
  VMKimabox& b = o.box;
  switch (which) {
    case 0:
      o.box.zondracRecord()->w[kZndFrameCells] = static_cast<int32_t>(arg);
      o.box.zondracRecord()->w[kZndFrameLastRow] = static_cast<int32_t>(arg);
      b.SetZondracMode(3);
      break;
    case 1:
      o.SmoothGrid(static_cast<int32_t>(arg));
      b.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0);
      break;
    case 2:
      o.SmoothGrid(static_cast<int32_t>(arg));
      b.SetBufParam(0, 0, 0, 0, 0, 0, 1, 3, 0, 0, 0, 0, 0);
      break;
    case 3: b.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0); break;
    case 4: b.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0); break;
    case 5: b.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1); break;
    case 6: b.SetWeaveInfo(b.weaveRecord(), 2, 1, 200, 180, 120, 60, 40, 30); break;
    case 7: b.SetStarMode(1); break;
    case 8: b.SetSpirMode(1); break;
    default: b.SetCookiMode(1); break;
  }
}

void BM_DrawContentOverlay(benchmark::State& state) {
  OverlayBox o;
  SwitchOn(o, state.range(0), state.range(1));
  for (auto _ : state) o.Draw();
}
BENCHMARK(BM_DrawContentOverlay)
    ->ArgNames({"overlay", "arg"})
    ->Args({0, 20})->Args({0, 100})
    ->Args({1, 16})->Args({1, 32})->Args({1, 127})
    ->Args({2, 32})
    ->Args({3, 0})->Args({4, 0})->Args({5, 0})->Args({6, 0})
    ->Args({7, 0})->Args({8, 0})->Args({9, 0})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(12)
    ->ComputeStatistics("p95", Percentile95)
    ->ReportAggregatesOnly(true);

// The overlay routines by themselves, into the box's rectangle.
constexpr Rect kBox{0, 0, 500, 500};
constexpr RGBColor kBlueC{0, 0, 65535};

void BM_DrawGrid(benchmark::State& state) {
  OverlayBox o;
  o.SmoothGrid(static_cast<int32_t>(state.range(0)));
  o.box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, static_cast<int16_t>(state.range(1)), 0, 0, 0, 0);
  for (auto _ : state) o.box.DrawGrid(&o.port, kBox, 1, kBlueC, 1, 1);
}
BENCHMARK(BM_DrawGrid)
    ->ArgNames({"cells", "smooth"})
    ->Args({16, 0})->Args({32, 0})->Args({127, 0})
    ->Args({16, 1})->Args({32, 1})->Args({127, 1})
    ->Unit(benchmark::kMillisecond);

void BM_DrawZondrac(benchmark::State& state) {
  OverlayBox o;
  o.box.zondracRecord()->w[kZndFrameCells] = static_cast<int32_t>(state.range(0));
  o.box.zondracRecord()->w[kZndFrameLastRow] = static_cast<int32_t>(state.range(0));
  for (auto _ : state) o.box.DrawZondrac(&o.port, kBox, 1, kBlueC, 1);
}
BENCHMARK(BM_DrawZondrac)->ArgName("grid")->Arg(20)->Arg(100)->Unit(benchmark::kMillisecond);

void BM_DrawTess(benchmark::State& state) {
  OverlayBox o;
  o.box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0);
  for (auto _ : state) o.box.DrawTess(&o.port, kBox, kBlueC, 1, 1);
}
BENCHMARK(BM_DrawTess)->Unit(benchmark::kMillisecond);

void BM_DrawRep(benchmark::State& state) {
  OverlayBox o;
  for (auto _ : state) o.box.DrawRep(&o.port, kBox, kBlueC, 1, 1);
}
BENCHMARK(BM_DrawRep)->Unit(benchmark::kMillisecond);

void BM_DrawBord(benchmark::State& state) {
  OverlayBox o;
  for (auto _ : state) o.box.DrawBord(&o.port, kBox, kBlueC, 1, 1);
}
BENCHMARK(BM_DrawBord)->Unit(benchmark::kMillisecond);

}  // namespace
