// The texture, plaid, lens-blur and compo engines on a 2048 x 1536 picture with their
// default records (the texture also with turbulence 100 and 2048 particles), the plaid
// beside G'MIC's weave when its development package was found; the cookie cutter and the
// star and spirograph shapes (the star beside G'MIC's shape_star and blur), and the spray's
// step and repeat with 32-pixel cells.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "engines/patterns/backdrop_compo_engines.h"
#include "engines/patterns/lens_flare_gradient_engines.h"
#include "engines/patterns/misc_spray.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/texture_engine.h"
#include "engines/patterns/weave_engine.h"

#if defined(VMK_PEER_GMIC)
#include <gmic.h>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture {
  std::vector<uint8_t> p[3];
  Picture() {
    for (int32_t k = 0; k < 3; ++k) {
      p[k].resize(static_cast<size_t>(kW) * kH);
      for (size_t i = 0; i < p[k].size(); ++i) p[k][i] = static_cast<uint8_t>((i * 7 + k * 50) & 255);
    }
  }
};

void Items(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}

void Texture(benchmark::State& state, bool busy) {
  BenchSession session;
  TextuPar r;
  Init_TextuPar(&r);
  if (busy) {
    r.turbulence = 100.0f;
    r.particleCount = 2048;
  }
  Picture pic;
  for (auto _ : state) {
    MiscTextu e;
    e.SetTextuPar(&r);
    e.FillBuf(3, 0, 255, 0, 1.0f, 1.0f, kW, kH, pic.p[0].data(), pic.p[1].data(),
              pic.p[2].data(), nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
void BM_Texture_Default(benchmark::State& state) { Texture(state, false); }
BENCHMARK(BM_Texture_Default)->Unit(benchmark::kMillisecond);
void BM_Texture_Turbulence100_Particles2048(benchmark::State& state) { Texture(state, true); }
BENCHMARK(BM_Texture_Turbulence100_Particles2048)->Unit(benchmark::kMillisecond);

void BM_Plaid(benchmark::State& state) {
  BenchSession session;
  PlaidPar r;
  Init_PlaidPar(&r, 0);
  Picture pic;
  for (auto _ : state) {
    MiscWeave e;
    e.SetPlaidPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Plaid)->Unit(benchmark::kMillisecond);

void BM_LensBlur(benchmark::State& state) {
  BenchSession session;
  LBlurPar r;
  Init_LBlurPar(&r);
  Picture pic;
  for (auto _ : state) {
    MiscLensBlur e;
    e.SetLBlurPar(&r);
    e.FillBuf(0, 255, kW, kH, 0, 0, kW, kH, pic.p[0].data(), pic.p[1].data(), pic.p[2].data(),
              nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_LensBlur)->Unit(benchmark::kMillisecond);

void BM_Compo(benchmark::State& state) {
  BenchSession session;
  CompoPar r;
  Init_CompoPar(&r, kW, kH, 1, 1, 1, 1);
  Picture pic;
  for (auto _ : state) {
    MiscCompo e;
    e.SetCompoPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Compo)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_GMIC)
void BM_Peer_Gmic_Weave(benchmark::State& state) {
  for (auto _ : state) {
    gmic_list<float> images;
    gmic_list<char> names;
    gmic("2048,1536,1,3 weave", images, names);
    benchmark::DoNotOptimize(images._data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_Gmic_Weave)->Unit(benchmark::kMillisecond);
#endif

void BM_CookieCutter(benchmark::State& state) {
  BenchSession session;
  CookiCutPar r;
  Init_CookiCutPar(&r);
  Picture pic;
  for (auto _ : state) {
    MiscCookiCut e;
    e.SetCookiCutPar(&r);
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_CookieCutter)->Unit(benchmark::kMillisecond);

void Shape(benchmark::State& state, int32_t kind) {
  BenchSession session;
  ShapePar r;
  Init_ShapePar(&r, kW, kH, kind);
  Picture pic;
  for (auto _ : state) {
    MiscShape e;
    e.SetShapePar(&r);
    e.FillBuf(3, 0, 255, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f, kW, kH,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
void BM_Shape_Star(benchmark::State& state) { Shape(state, 0); }
BENCHMARK(BM_Shape_Star)->Unit(benchmark::kMillisecond);
void BM_Shape_Spirograph(benchmark::State& state) { Shape(state, 1); }
BENCHMARK(BM_Shape_Spirograph)->Unit(benchmark::kMillisecond);

void BM_Spray_StepRepeat32(benchmark::State& state) {
  BenchSession session;
  constexpr int32_t kCell = 32;
  std::vector<uint8_t> cell(kCell * kCell, 180);
  std::vector<uint16_t> mask(kCell * kCell, 0);
  Picture pic;
  MiscSpray e;
  e.SetBuf(kW, kH, kW, kH, pic.p[0].data(), pic.p[1].data(), pic.p[2].data());
  e.cellWidth = e.cellHeight = kCell;
  for (int32_t k = 0; k < 3; ++k) e.cellPlanes[k][0] = cell.data();
  e.cellMasks[0] = mask.data();
  for (auto _ : state) {
    e.StepRepeatBuf(kCell, 255, 1, 50, nullptr, 0, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  // The cells belong to this benchmark, not to the memory manager.
  for (int32_t k = 0; k < 3; ++k) e.cellPlanes[k][0] = nullptr;
  e.cellMasks[0] = nullptr;
  Items(state);
}
BENCHMARK(BM_Spray_StepRepeat32)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_GMIC)
void BM_Peer_Gmic_StarBlur(benchmark::State& state) {
  for (auto _ : state) {
    gmic_list<float> images;
    gmic_list<char> names;
    try {
      gmic("shape_star 1536 resize 2048,1536,1,3,0,0,0.5,0.5 blur 3", images, names);
    } catch (...) {
      state.SkipWithError("G'MIC refused the star command");
      break;
    }
    benchmark::DoNotOptimize(images._data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_Gmic_StarBlur)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
