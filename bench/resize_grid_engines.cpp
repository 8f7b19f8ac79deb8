// The content-aware resize and the grid warp on realistic pictures.
//
// Seam carving: 2048 x 1536 narrowed to 1536 (512 vertical seams), lowered to 1152 (384
// horizontal seams) and 1024 x 768 widened by 25 % (256 seams inserted), beside liblqr (lqr_carver_init(c, 1, 0), the same picture
// and seam count) when its development package is present. The two differ in their energy
// and rules; the figures compare the cost of a seam, not the results.
// The plain resize: 1536 x 1152 of the picture enlarged to 2048 x 1536 with Lanczos,
// sharpening and grain.
// Grid warp: 2048 x 1536 under a 10 x 10 grid whose inner nodes are moved, straight and
// with curvature 60, through displacement maps (make maps 1) and quad by quad (0); beside
// it OpenCV's bilinear cv::remap of the very maps the grid makes, as the floor of the
// resampling step. PerspGrid_GridPar dragging a node of a 127 x 127 grid is one mouse move.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engines/correction/grid_edit.h"
#include "engines/correction/grid_warp.h"
#include "engines/correction/yoxel_engine.h"
#include "engines/correction/yoxel_seams.h"
#include "peer_ratio.h"
#include "raster/displacement_resample.h"

#if VMK_PEER_LQR
#include <lqr.h>
#endif
#if VMK_PEER_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

// Smooth gradients with a few sharp shapes, so the seams have something to avoid.
struct Picture {
  Picture(int32_t w, int32_t h) : width(w), height(h), r(w * h), g(w * h), b(w * h) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const int32_t i = y * w + x;
        const bool disc = ((x - w / 3) * (x - w / 3) + (y - h / 2) * (y - h / 2)) < (h / 5) * (h / 5);
        const bool bar = (x / 97) % 5 == 0 && y > h / 4;
        r[i] = static_cast<uint8_t>(disc ? 230 : x * 255 / w);
        g[i] = static_cast<uint8_t>(bar ? 20 : y * 255 / h);
        b[i] = static_cast<uint8_t>(((x ^ y) & 15) * 4 + 60);
      }
  }
  int32_t width, height;
  std::vector<uint8_t> r, g, b;
};

// The picture in the left part of planes `planeWidth` wide, for widening in place.
Picture Widened(const Picture& p, int32_t planeWidth) {
  Picture out(planeWidth, p.height);
  for (int32_t y = 0; y < p.height; ++y) {
    const auto at = static_cast<size_t>(y) * planeWidth;
    const auto from = static_cast<size_t>(y) * p.width;
    std::memcpy(&out.r[at], &p.r[from], p.width);
    std::memcpy(&out.g[at], &p.g[from], p.width);
    std::memcpy(&out.b[at], &p.b[from], p.width);
  }
  return out;
}

void Carve(benchmark::State& state, int32_t w, int32_t h, int32_t planeWidth, int32_t targetWidth,
           int32_t targetHeight = 0) {
  if (targetHeight == 0) targetHeight = h;
  const Picture original = Widened(Picture(w, h), planeWidth);
  for (auto _ : state) {
    state.PauseTiming();
    Picture p = original;
    state.ResumeTiming();
    // The record's defaults: kernel 2, spread 5, no contrast, no masks, one stage.
    PerformSmartBufResize(3, 0, 255, planeWidth, h, 0, 0, planeWidth, h, p.r.data(), p.g.data(),
                          p.b.data(), nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr, 100, 100,
                          0, 0, 0, 0, 0, 2, 0, 0, 5, 0, 0, 0, 0, 0, 0, w, h, 0, 0, targetWidth,
                          targetHeight, 0, 0, 0, 0);
    benchmark::DoNotOptimize(p.r.data());
  }
}

void BM_SeamCarveNarrow512(benchmark::State& state) { Carve(state, kW, kH, kW, kW - 512); }
BENCHMARK(BM_SeamCarveNarrow512)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_SeamCarveWiden25(benchmark::State& state) { Carve(state, 1024, 768, 1280, 1280); }
BENCHMARK(BM_SeamCarveWiden25)->Unit(benchmark::kMillisecond)->Iterations(3);

// Horizontal seams: 2048 x 1536 lowered to 1152 rows (384 seams).
void BM_SeamCarveLower384(benchmark::State& state) { Carve(state, kW, kH, kW, kW, kH - 384); }
void BM_SeamCarveLowerSmall(benchmark::State& state) { Carve(state, 1024, 768, 1024, 1024, 768 - 96); }
BENCHMARK(BM_SeamCarveLowerSmall)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SeamCarveLower384)->Unit(benchmark::kMillisecond)->Iterations(1);

#if VMK_PEER_LQR
void LqrCarve(benchmark::State& state, int32_t w, int32_t h, int32_t targetWidth) {
  const Picture p(w, h);
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < p.r.size(); ++i) {
    rgb[3 * i] = p.r[i];
    rgb[3 * i + 1] = p.g[i];
    rgb[3 * i + 2] = p.b[i];
  }
  for (auto _ : state) {
    state.PauseTiming();
    // The carver takes the buffer over and frees it.
    auto* buffer = static_cast<guchar*>(g_malloc(rgb.size()));
    std::memcpy(buffer, rgb.data(), rgb.size());
    state.ResumeTiming();
    LqrCarver* c = lqr_carver_new(buffer, w, h, 3);
    lqr_carver_init(c, 1, 0);
    lqr_carver_resize(c, targetWidth, h);
    benchmark::DoNotOptimize(c);
    lqr_carver_destroy(c);
  }
}
void BM_LqrNarrow512(benchmark::State& state) { LqrCarve(state, kW, kH, kW - 512); }
BENCHMARK(BM_LqrNarrow512)->Unit(benchmark::kMillisecond)->Iterations(2);
void BM_LqrWiden25(benchmark::State& state) { LqrCarve(state, 1024, 768, 1280); }
BENCHMARK(BM_LqrWiden25)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

void SetQuad(int32_t* q, int32_t x0, int32_t y0, int32_t x2, int32_t y2) {
  q[0] = q[3] = x0;
  q[1] = q[2] = x2;
  q[4] = q[5] = y0;
  q[6] = q[7] = y2;
}

void BM_PlainResizeLanczos(benchmark::State& state) {
  const Picture original(kW, kH);
  YoxelPar par;
  Init_YoxelPar(&par, kW, kH, 72, 0, 6);
  par.sharpenAmount = 20;
  par.noiseAmount = 10;
  SetQuad(par.sourceQuad, 0, 25000, 75000, 100000);
  for (auto _ : state) {
    state.PauseTiming();
    Picture p = original;
    state.ResumeTiming();
    MiscYoxel e;
    e.SetYoxelPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW - 1, kH - 1, 1.f, 1.f,
              p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_PlainResizeLanczos)->Unit(benchmark::kMillisecond);

// A 10 x 10 grid whose inner out nodes swing on a wave of up to 2 % of the picture.
std::unique_ptr<GridPar> WavyGrid(int32_t curvature) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), kW, kH, 10, 10, 1, 3, 1, 1);
  GridInfo& g = r->grids[0];
  g.w[kGiMorph] = 100;
  g.w[kGiCurvature] = curvature;
  for (int32_t row = 1; row < 10; ++row)
    for (int32_t col = 1; col < 10; ++col) {
      const int32_t k = row * 11 + col;
      g.node[kGaOut + kGaX][k] += static_cast<int32_t>(2000 * std::sin(row * 0.9));
      g.node[kGaOut + kGaY][k] += static_cast<int32_t>(2000 * std::cos(col * 0.7));
    }
  return r;
}

void BM_GridWarp(benchmark::State& state) {
  const auto curvature = static_cast<int32_t>(state.range(0));
  const auto makeMaps = static_cast<int16_t>(state.range(1));
  const Picture original(kW, kH);
  const auto grid = WavyGrid(curvature);
  for (auto _ : state) {
    state.PauseTiming();
    Picture p = original;
    state.ResumeTiming();
    MiscGrid e;
    e.SetGridPar(grid.get());
    e.FillBuf(3, 0, 255, 0, makeMaps, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f,
              p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_GridWarp)
    ->ArgNames({"curvature", "maps"})
    ->Args({0, 1})
    ->Args({0, 0})
    ->Args({60, 1})
    ->Args({60, 0})
    ->Unit(benchmark::kMillisecond);

// The grid warp of a picture one pixel wide or high (1 x 30000, 30000 x 1) under the dialog's
// first grid, 3 x 3, its inner out nodes moved along the picture: each cell a pixel or less
// across and 10000 long, its lattices 10000 x 10000 points. Measured on the shared 8-core
// machine at a load of 25 to 35, wall time, maps / planes: before the dense lattices ran
// backwards, upright 1.5 s / 8.5 s, flat 0.7 s / 5.5 s; after, 12 to 24 ms each.
void BM_GridWarpThin(benchmark::State& state) {
  const bool upright = state.range(0) == 1;
  const auto makeMaps = static_cast<int16_t>(state.range(1));
  const int32_t w = upright ? 1 : 30000, h = upright ? 30000 : 1;
  const Picture original(w, h);
  auto grid = std::make_unique<GridPar>();
  Init_GridPar(grid.get(), w, h, 3, 3, 0, 3, 1, 1);
  GridInfo& g = grid->grids[0];
  g.w[kGiMorph] = 100;
  for (int32_t row = 1; row < 3; ++row)
    for (int32_t col = 1; col < 3; ++col) {
      const int32_t k = row * 4 + col;
      g.node[kGaOut + (upright ? kGaY : kGaX)][k] += 3000 * (row + col == 3 ? 1 : -1);
    }
  for (auto _ : state) {
    state.PauseTiming();
    Picture p = original;
    state.ResumeTiming();
    MiscGrid e;
    e.SetGridPar(grid.get());
    e.FillBuf(3, 0, 255, 0, makeMaps, 1, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1.f, 1.f, p.r.data(), p.g.data(),
              p.b.data(), nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_GridWarpThin)
    ->ArgNames({"upright", "maps"})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

// The maps the grid makes, for the resampling floor.
struct GridMaps {
  std::vector<uint32_t> x, y;
  explicit GridMaps(int32_t curvature) : x(kW * kH, kDisplacementNeutral), y(kW * kH, kDisplacementNeutral) {
    std::vector<uint32_t*> xr(kH), yr(kH);
    for (int32_t row = 0; row < kH; ++row) {
      xr[row] = &x[static_cast<size_t>(row) * kW];
      yr[row] = &y[static_cast<size_t>(row) * kW];
    }
    const Picture p(kW, kH);
    std::vector<uint8_t> dr(p.r), dg(p.g), db(p.b);
    const auto grid = WavyGrid(curvature);
    MiscGrid e;
    e.SetGridPar(grid.get());
    e.ValidGrid(1, xr.data(), yr.data(), &grid->grids[0], kW, kH, kW, kH, 0, 0, kW, kH, kW, kH,
                p.r.data(), p.g.data(), p.b.data(), kW, kH, dr.data(), dg.data(), db.data());
  }
};

void BM_DisplacementResample(benchmark::State& state) {
  const GridMaps maps(static_cast<int32_t>(state.range(0)));
  std::vector<const uint32_t*> xr(kH), yr(kH);
  for (int32_t row = 0; row < kH; ++row) {
    xr[row] = &maps.x[static_cast<size_t>(row) * kW];
    yr[row] = &maps.y[static_cast<size_t>(row) * kW];
  }
  const Picture src(kW, kH);
  Picture dst(kW, kH);
  for (auto _ : state) {
    ComputeBufRGBInterDisAtXY(kH, kW, src.r.data(), src.g.data(), src.b.data(), nullptr,
                              dst.r.data(), dst.g.data(), dst.b.data(), nullptr, xr.data(),
                              yr.data());
    benchmark::DoNotOptimize(dst.r.data());
  }
}
BENCHMARK(BM_DisplacementResample)->ArgName("curvature")->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond);

#if VMK_PEER_OPENCV
void BM_OpenCVRemap(benchmark::State& state) {
  const GridMaps maps(static_cast<int32_t>(state.range(0)));
  cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1);
  for (int32_t row = 0; row < kH; ++row)
    for (int32_t col = 0; col < kW; ++col) {
      const size_t i = static_cast<size_t>(row) * kW + col;
      const double dx = (static_cast<double>(maps.x[i]) - kDisplacementNeutral) / 128.0;
      const double dy = (static_cast<double>(maps.y[i]) - kDisplacementNeutral) / 128.0;
      mx.at<float>(row, col) = static_cast<float>(col + dx);
      my.at<float>(row, col) = static_cast<float>(row + dy);
    }
  const Picture p(kW, kH);
  cv::Mat src(kH, kW, CV_8UC3), dst;
  for (int32_t i = 0; i < kW * kH; ++i) {
    src.data[3 * i] = p.r[i];
    src.data[3 * i + 1] = p.g[i];
    src.data[3 * i + 2] = p.b[i];
  }
  for (auto _ : state) {
    cv::remap(src, dst, mx, my, cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(dst.data);
  }
}
BENCHMARK(BM_OpenCVRemap)->ArgName("curvature")->Arg(0)->Arg(60)->Unit(benchmark::kMillisecond);

// The ratio row of the grid warp's resampling: the pull through the maps the curved grid
// makes against cv::remap of the same maps (bilinear, three interleaved channels, its
// fastest form), at default threads on both sides; the mean difference of the results is
// the two bilinear roundings apart.
void BM_Ratio_GridWarpResample_OpenCV(benchmark::State& state) {
  const GridMaps maps(60);
  std::vector<const uint32_t*> xr(kH), yr(kH);
  for (int32_t row = 0; row < kH; ++row) {
    xr[row] = &maps.x[static_cast<size_t>(row) * kW];
    yr[row] = &maps.y[static_cast<size_t>(row) * kW];
  }
  const Picture src(kW, kH);
  Picture dst(kW, kH);
  auto project = [&] {
    ComputeBufRGBInterDisAtXY(kH, kW, src.r.data(), src.g.data(), src.b.data(), nullptr,
                              dst.r.data(), dst.g.data(), dst.b.data(), nullptr, xr.data(),
                              yr.data());
  };
  cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1);
  for (int32_t row = 0; row < kH; ++row)
    for (int32_t col = 0; col < kW; ++col) {
      const size_t i = static_cast<size_t>(row) * kW + col;
      mx.at<float>(row, col) =
          static_cast<float>(col + (static_cast<double>(maps.x[i]) - kDisplacementNeutral) / 128.0);
      my.at<float>(row, col) =
          static_cast<float>(row + (static_cast<double>(maps.y[i]) - kDisplacementNeutral) / 128.0);
    }
  cv::Mat in(kH, kW, CV_8UC3), out;
  for (int32_t i = 0; i < kW * kH; ++i) {
    in.data[3 * i] = src.r[i];
    in.data[3 * i + 1] = src.g[i];
    in.data[3 * i + 2] = src.b[i];
  }
  auto peer = [&] { cv::remap(in, out, mx, my, cv::INTER_LINEAR, cv::BORDER_REPLICATE); };
  PeerRatio ratio;
  for (auto _ : state) {
    project();
    peer();
    std::vector<uint8_t> theirs(static_cast<size_t>(kW) * kH);
    for (size_t i = 0; i < theirs.size(); ++i) theirs[i] = out.data[3 * i];
    ratio.projectChange = MeanAbsDifference(dst.r.data(), src.r.data(), src.r.size());
    ratio.peerChange = MeanAbsDifference(theirs.data(), src.r.data(), src.r.size());
    ratio.meanDifference = MeanAbsDifference(dst.r.data(), theirs.data(), theirs.size());
    TimeSideBySide(project, peer, 15, &ratio);
  }
  ReportRatio(state, "grid warp resample (102) / OpenCV remap, same maps", ratio, "");
}
BENCHMARK(BM_Ratio_GridWarpResample_OpenCV)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

#if VMK_PEER_LQR
// The ratio row of seam carving: 512 vertical seams out of the 2048 x 1536 picture against
// liblqr's (one step, no rigidity), one warm-up and three calls each. The energies differ, so
// each side's change is shown against the picture cut to the same width.
void BM_Ratio_SeamCarving_Lqr(benchmark::State& state) {
  const Picture original(kW, kH);
  Picture mine(kW, kH);
  auto project = [&] {
    mine = original;
    PerformSmartBufResize(3, 0, 255, kW, kH, 0, 0, kW, kH, mine.r.data(), mine.g.data(),
                          mine.b.data(), nullptr, nullptr, nullptr, 0, 0, nullptr, nullptr, 100,
                          100, 0, 0, 0, 0, 0, 2, 0, 0, 5, 0, 0, 0, 0, 0, 0, kW, kH, 0, 0, kW - 512,
                          kH, 0, 0, 0, 0);
  };
  std::vector<uint8_t> rgb(static_cast<size_t>(kW) * kH * 3), carved;
  for (size_t i = 0; i < original.r.size(); ++i) {
    rgb[3 * i] = original.r[i];
    rgb[3 * i + 1] = original.g[i];
    rgb[3 * i + 2] = original.b[i];
  }
  auto peer = [&] {
    auto* buffer = static_cast<guchar*>(g_malloc(rgb.size()));
    std::memcpy(buffer, rgb.data(), rgb.size());
    LqrCarver* c = lqr_carver_new(buffer, kW, kH, 3);
    lqr_carver_init(c, 1, 0);
    lqr_carver_resize(c, kW - 512, kH);
    carved.assign(static_cast<size_t>(kW - 512) * kH, 0);
    lqr_carver_scan_reset(c);
    gint x = 0, y = 0;
    guchar* px = nullptr;
    while (lqr_carver_scan(c, &x, &y, &px)) carved[static_cast<size_t>(y) * (kW - 512) + x] = px[0];
    lqr_carver_destroy(c);
  };
  PeerRatio ratio;
  for (auto _ : state) {
    project();
    peer();
    // Each result against the picture's first kW - 512 columns, row by row.
    std::vector<uint8_t> cut(static_cast<size_t>(kW - 512) * kH), ours(cut.size());
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW - 512; ++x) {
        cut[static_cast<size_t>(y) * (kW - 512) + x] = original.r[static_cast<size_t>(y) * kW + x];
        ours[static_cast<size_t>(y) * (kW - 512) + x] = mine.r[static_cast<size_t>(y) * kW + x];
      }
    ratio.projectChange = MeanAbsDifference(ours.data(), cut.data(), cut.size());
    ratio.peerChange = MeanAbsDifference(carved.data(), cut.data(), cut.size());
    ratio.meanDifference = MeanAbsDifference(ours.data(), carved.data(), cut.size());
    TimeSideBySide(project, peer, 3, &ratio);
  }
  ReportRatio(state, "seam carving 512 seams (101) / liblqr", ratio, "energies differ");
}
BENCHMARK(BM_Ratio_SeamCarving_Lqr)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

// One mouse move: an inner node of a 127 x 127 grid dragged, linear and quadratic falloff.
void BM_PerspGrid127(benchmark::State& state) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), kW, kH, 127, 127, 1, 3, 1, 1);
  const auto falloff = static_cast<int16_t>(state.range(0));
  int32_t step = 0;
  for (auto _ : state) {
    const int32_t d = (step++ & 1) != 0 ? 40 : -40;  // back and forth, the grid stays in shape
    PerspGrid_GridPar(r.get(), 0, 3, 1, 0, falloff, 0, 60, 70, d, -d);
    benchmark::DoNotOptimize(r->grids[0].node[0]);
  }
  ResetPerspAnchor_GridPar();
}
BENCHMARK(BM_PerspGrid127)->ArgName("falloff")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
