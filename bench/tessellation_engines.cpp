// The tessellation and repeat engines on a 2048 x 1536 picture: the tessellation of
// symmetry types 1, 7 and 17 with its tiles from the picture and from a tile file (the
// default base quad, a fifth of the picture each way); the quad preparation at the
// lattice's 500 x 500 cap cut by type 17 (six million quads, built in one linear pass
// thanks to the lists' kept tails); and the photo repeat on a 24 x 24 grid with colour
// cells, its pattern placed twice across and down. No installable peer tessellates or
// repeats tiles this way, so these run alone.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench_session.h"
#include "app/core/file_records.h"
#include "app/core/plane_geometry.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/quad_lists.h"
#include "platform/imageio/image_io.h"

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture : BenchPlanes {
  Picture() : BenchPlanes(kW, kH) {}
};

void Items(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}

// One 256 x 256 tile picture written once into a temporary folder.
struct TileFile {
  BenchScratchDir folder;
  std::string path;
  TileFile() {
    if (folder.path.empty()) return;
    constexpr uint32_t side = 256;
    std::vector<uint8_t> px(size_t{side} * side * 4);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 5 + i / 1024) & 255);
    plat::imageio::PixelSource src{px.data(), size_t{side} * 4, side, side, 1};
    path = folder.path + "/tile.tif";
    plat::imageio::WriteImage(path, plat::imageio::kTypeTIFF, {}, src);
  }
};

const TileFile& Tile() {
  static const TileFile file;
  return file;
}

const int32_t kSetsOfType[18] = {0, 4, 4, 4, 4, 2, 4, 8, 4, 4, 4, 8, 2, 3, 6, 6, 6, 12};

void Tessellation(benchmark::State& state, int16_t type, int32_t tileSource) {
  BenchSession session;
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 0, 0, 1);
  r->head.w[kTessSymmetry] = type;
  r->head.w[kTessTileSource] = tileSource;
  r->head.w[kTessSetsInUse] = kSetsOfType[type];
  Init_TessParQuad(r.get(), type, -1);
  const fichier tile = BenchFileRecord(Tile().path);
  for (fichier& f : r->tiles) Copy_FicStruct(&tile, &f);
  Picture pic;
  for (auto _ : state) {
    MiscQuorlin e;
    e.SetTessPar(r.get());
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f, 1.0f,
              pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}

void BM_Tessellation_Type1_Picture(benchmark::State& s) { Tessellation(s, 1, 0); }
BENCHMARK(BM_Tessellation_Type1_Picture)->Unit(benchmark::kMillisecond);
void BM_Tessellation_Type7_Picture(benchmark::State& s) { Tessellation(s, 7, 0); }
BENCHMARK(BM_Tessellation_Type7_Picture)->Unit(benchmark::kMillisecond);
void BM_Tessellation_Type17_Picture(benchmark::State& s) { Tessellation(s, 17, 0); }
BENCHMARK(BM_Tessellation_Type17_Picture)->Unit(benchmark::kMillisecond);
void BM_Tessellation_Type1_File(benchmark::State& s) { Tessellation(s, 1, 2); }
BENCHMARK(BM_Tessellation_Type1_File)->Unit(benchmark::kMillisecond);
void BM_Tessellation_Type7_File(benchmark::State& s) { Tessellation(s, 7, 2); }
BENCHMARK(BM_Tessellation_Type7_File)->Unit(benchmark::kMillisecond);
void BM_Tessellation_Type17_File(benchmark::State& s) { Tessellation(s, 17, 2); }
BENCHMARK(BM_Tessellation_Type17_File)->Unit(benchmark::kMillisecond);

// A 4 x 3 pixel base quad needs far more than 500 cells each way: the lattice is capped,
// and type 17 cuts each of its 250,000 cells into 24 quads. The steps of PrepQuads, with
// the base quad given in pixels (the record's percentages cannot make one this small).
void BM_PrepQuads_Cap500_Type17(benchmark::State& state) {
  BenchSession session;
  const float x[4] = {1000, 1004, 1004, 1000}, y[4] = {700, 700, 703, 703};
  float a01 = 0, a12 = 0;
  A_ang_2point(x[0], y[0], x[1], y[1], &a01);
  A_ang_2point(x[1], y[1], x[2], y[2], &a12);
  int64_t quads = 0;
  for (auto _ : state) {
    MiscQuorlin e;
    e.PrepQuadGeoinQuad(a01, a12, x, y, kW, kH);
    e.QuadGeotoQuadEff(17);
    quads = e.effCount;
    benchmark::DoNotOptimize(e.effHead);
  }
  state.counters["quads"] = static_cast<double>(quads);
  state.SetItemsProcessed(state.iterations() * quads);
}
BENCHMARK(BM_PrepQuads_Cap500_Type17)->Unit(benchmark::kMillisecond);

void BM_Castel_24x24_Repeat2x2_ColourCells(benchmark::State& state) {
  BenchSession session;
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, 24, 24);
  r->grid.w[kRepTileSource] = 0;  // the picture is its own tile
  r->grid.w[kRepColourCells] = 1;
  for (int32_t k = 0; k < kRepCells; ++k) {
    r->cells[k].w[kCellOrientation] = k % 8;
    r->cells[k].w[kCellOpacity] = 60;
  }
  Picture pic;
  for (auto _ : state) {
    MiscCastel e;
    e.SetRepPar(r.get());
    e.FillBuf(3, 0, 255, 0, 1, 255, 1, 2, 2, 0, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.0f,
              1.0f, pic.p[0].data(), pic.p[1].data(), pic.p[2].data(), nullptr, nullptr);
    benchmark::DoNotOptimize(pic.p[0].data());
  }
  Items(state);
}
BENCHMARK(BM_Castel_24x24_Repeat2x2_ColourCells)->Unit(benchmark::kMillisecond);

}  // namespace
