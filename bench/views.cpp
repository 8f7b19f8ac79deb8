// Preview view timings: loading planes into an image box in both modes,
// drawing a box with its image and overlays, and copying a picture into an
// offscreen surface. Boxes are drawn offscreen into a port of their size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "app/buffer_converters.h"
#include "bench_session.h"
#include "engines/correction/resize_record.h"
#include "platform/draw/port.h"
#include "views/image_box.h"
#include "views/image_box_drawing.h"
#include "app/core/memory_manager.h"
#include "app/plane_readers.h"
#include "engines/correction/grid_edit.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/memory/block.h"
#include "raster/mask_brush.h"
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
  // Third argument: the port's backing scale (a window on a screen of that
  // density), which draws every figure and the picture over scale^2 as many
  // device pixels.
  const int scale = static_cast<int>(state.range(2));
  VMKimabox box;
  Prepare(box, w, h);
  box.SetBufSSPan(10000, 10000, 90000, 90000, 80, 0, 0);
  box.SetBufParam(0, 0, 0, 0, 1, 1, 1, 0, 0, 0, 0, 0, 0);
  plat::draw::Port port(w, h);
  port.SetBackingScale(scale);
  const plat::draw::Context ctx{&port, 0, 0, port.portRect};
  for (auto _ : state) {
    box.DrawContent(nullptr, nullptr, ctx);
    benchmark::DoNotOptimize(port.surface().pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_DrawContent)->Args({500, 500, 1})->Args({500, 500, 2})->Args({1024, 768, 1})->Args({1024, 768, 2});

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

// ---- mouse tools ----
// A drag holds the window's thread until the release, so each step is the
// user's latency. The steps below replay what the box's tools do at a press
// and at each step of a drag (the loop around them only waits on the mouse),
// over the same 500 x 500 view of a 6000 x 4000 photo. Goals, p95: the mask
// brush's press set-up 100 ms and each brush step 16 ms; a grid drag step
// (two meshes and the routine, 32 x 32 grid, smooth display on) 50 ms; the
// size or rotate press with its record copy 100 ms.

struct BenchPhoto {
  PixelBuffer photo{6000, 4000, 1, 4};
  PixelBuffer unused;
  FilterRecord record;
  BenchPhoto() {
    for (uint32_t y = 0; y < 4000; ++y) {
      uint8_t* p = photo.rowPtr(y);
      for (uint32_t x = 0; x < 6000; ++x, p += 4) {
        p[0] = static_cast<uint8_t>(x * 5 + ((x * y) & 31));
        p[1] = static_cast<uint8_t>(y * 3 + (x & 15));
        p[2] = static_cast<uint8_t>((x ^ y) * 7);
        p[3] = 255;
      }
    }
    record.planeCount = 3;
    record.imageMode = 3;
    record.imageWidth = 6000;
    record.imageHeight = 4000;
    record.imageRect = Rect{0, 0, 4000, 6000};
    record.inLastPlane = 2;
  }
  void Use() {
    gFilterRecord = &record;
    SetSessionSpanImages(&photo, &unused);
  }
};

BenchPhoto& ThePhoto() {
  static BenchPhoto photo;
  return photo;
}

// The brush's press: four view-sized planes read once from the photo at the
// read scale, and the footprint.
void BM_BrushPress(benchmark::State& state) {
  OverlayBox o;
  ThePhoto().Use();
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    plat::Block<uint8_t> planes[4] = {plat::Block<uint8_t>(250000, WorkSource()), plat::Block<uint8_t>(250000, WorkSource()),
                                      plat::Block<uint8_t>(250000, WorkSource()), plat::Block<uint8_t>(250000, WorkSource())};
    for (auto& p : planes) p.Clear();
    ReadCharBuffromPho(3, 0, 500, 500, planes[0].get(), planes[1].get(), planes[2].get(), planes[3].get(), 0,
                       nullptr, nullptr, 0, 0, 5999, 3999, 500, 333, 12.0f, 12.0f, 500, 500);
    plat::Block<int16_t> footprint(121 * 121, WorkSource());
    X_prepare_MskBrush(0, footprint.get(), 60, 60, 4096);
    benchmark::DoNotOptimize(planes[0].get());
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["p95_ms"] = Percentile95(times);
  gFilterRecord = nullptr;
}
BENCHMARK(BM_BrushPress)->Unit(benchmark::kMillisecond);

// One brush step: the stamp into a 1000 x 1000 mask, the brush's rectangle
// recomposed from the planes with the mask's tint, the display drawn into
// the view.
void BM_BrushStep(benchmark::State& state) {
  OverlayBox o;
  o.box.InitBufMsk(1000, 1000, 3);
  o.box.SetMskMod(1);
  const int32_t size = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> planes[4];
  for (int k = 0; k < 4; ++k) planes[k] = Plane(500, 500, k);
  const float k = 333.0f / 999.0f;
  const int32_t rx = static_cast<int32_t>(size / (500.0f / 999.0f) + 0.5f), ry = static_cast<int32_t>(size / k + 0.5f);
  plat::Block<int16_t> fp((2 * rx + 1) * (2 * ry + 1), WorkSource());
  X_prepare_MskBrush(0, fp.get(), rx, ry, 4096);
  std::vector<double> times;
  int32_t x = 100;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    x = x >= 400 ? 100 : x + 3;
    X_Brush_Msk(0.0f, 0.0f, 500.0f / 999.0f, k, 1000, 999, const_cast<int16_t*>(o.box.maskA()), fp.get(), x, 160,
                size, 0);
    o.box.SetBufRGB(0, std::max(x - size, 0), 333 - (160 + size), std::min(x + size, 499), 333 - (160 - size), 1,
                    6000, 4000, 500, 500, planes[0].data(), planes[1].data(), planes[2].data(), planes[3].data(), 255,
                    0);
    const plat::draw::ImageRef bitmap = CreateImageFromRGBA32Bitmap(500, 333, o.box.displayBuffer(), 2000);
    plat::draw::DrawImage(plat::draw::Context{&o.port, 0, 0, o.port.portRect}, CGRect{{0.0f, 83.0f}, {500.0f, 333.0f}},
                          bitmap, false);
    benchmark::DoNotOptimize(o.port.surface().pixels().data());
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["p95_ms"] = Percentile95(times);
}
BENCHMARK(BM_BrushStep)->ArgName("size")->Arg(20)->Arg(100)->Arg(299)->Unit(benchmark::kMillisecond);

// One step of a grid drag on a 32 x 32 grid with smooth display on: the
// edited mesh erased, the tool's routine, the mesh drawn again. Tools 1 move,
// 2 size, 3 rotate, 4 bend; every node selected.
void BM_GridDragStep(benchmark::State& state) {
  OverlayBox o;
  o.SmoothGrid(32);
  o.box.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0);
  GridPar* g = o.box.gridRecord();
  g->head.w[12] = 1;
  for (int32_t k = 0; k < 33 * 33; ++k) g->grids[0].node[kGaOut + kGaSelected][k] = 1;
  plat::Block<GridPar> copy(1, WorkSource());
  copy.Clear();
  Copy_GridPar(g, copy.get());
  const int64_t tool = state.range(0);
  constexpr RGBColor kGrey{60000, 60000, 60000};
  int16_t held = 0, set = 0, node = 0, column = 0, row = 0;
  int32_t step = 0;
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    step = (step + 1) % 20;
    o.box.DrawGrid(&o.port, kBox, 1, kGrey, 0, 0);
    if (tool == 1) MoveGrid_GridPar(g, 0, 1, 0, 1, 50000, 50000, step % 2 ? 300 : -300, 0, 0, 0, 0, &held, &set, &node, &column, &row, 500);
    if (tool == 2) SizeGrid_GridPar(copy.get(), g, 0, 1, 0, 1, 50000.0f, 50000.0f, 1000.0f, 1000.0f, 1000.0f + step * 20.0f, 1000.0f);
    if (tool == 3) RotaGrid_GridPar(copy.get(), g, 0, 1, 0, 1, 50000, 50000, 0.0f, step * 0.01f);
    if (tool == 4) PerspGrid_GridPar(g, 0, 1, 0, 1, 1, step == 1 ? 2 : 1, 50000, 50000, step % 2 ? 300 : -300, 0);
    o.box.DrawGrid(&o.port, kBox, 1, kGrey, 0, 0);
    benchmark::DoNotOptimize(o.port.surface().pixels().data());
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["p95_ms"] = Percentile95(times);
}
BENCHMARK(BM_GridDragStep)->ArgName("tool")->Arg(1)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);

// The size or rotate press: the whole record copied, the selection's bounds
// and centre, the corner under the press.
void BM_GridCopyPress(benchmark::State& state) {
  OverlayBox o;
  o.SmoothGrid(32);
  GridPar* g = o.box.gridRecord();
  std::vector<double> times;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    plat::Block<GridPar> copy(1, WorkSource());
    copy.Clear();
    Copy_GridPar(g, copy.get());
    int32_t a, b, c, d, cx, cy;
    MinMaxCenterGrid_GridPar(g, 0, 1, 1, &a, &b, &c, &d, &cx, &cy);
    Which_Corner(g, 0, 1, 50000, 50000, &a, &b, &c, &d, 500);
    benchmark::DoNotOptimize(copy.get());
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["p95_ms"] = Percentile95(times);
}
BENCHMARK(BM_GridCopyPress)->Unit(benchmark::kMillisecond);

}  // namespace
