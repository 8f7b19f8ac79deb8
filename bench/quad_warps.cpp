// Quadrilateral warps on a 2048 x 1536 RGB picture: the inverse-bilinear
// distortion onto a rotated quadrilateral, the forward quad-to-quad map, and
// the bilinear pull through displacement maps that the grid and lens engines
// apply after building their maps. The brush family's warp of four planes
// through full-size 32-bit maps, beside OpenCV's nearest-sample remap on the
// same maps when OpenCV is present; one dab of the displacement brush; the
// curved-cell lattice and path-to-path warps into 500 x 500 maps; one dab
// of the soft mask brush at radius 100.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "paths/path_list.h"
#include "paths/path_warps.h"
#include "peer_ratio.h"
#include "raster/displacement_brush.h"
#include "raster/displacement_resample.h"
#include "raster/distortion_warp.h"
#include "raster/mask_brush.h"
#include "raster/quad_mapping.h"
#include "raster/warp_frame_record.h"
#include "raster/warp_lattice.h"

#if defined(VMK_PEER_OPENCV)
#include <opencv2/imgproc.hpp>
#endif

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

// Brush-family maps over the whole picture: a swirl of up to 12 pixels.
struct BrushMaps {
  BrushMaps() : x(kW * kH), y(kW * kH) {
    for (int32_t r = 0; r < kH; ++r) {
      for (int32_t c = 0; c < kW; ++c) {
        const double dx = (c - kW / 2.0) / kW, dy = (r - kH / 2.0) / kH;
        x[r * kW + c] = kBrushMapNeutral + static_cast<int32_t>(128.0 * 12.0 * dy);
        y[r * kW + c] = kBrushMapNeutral - static_cast<int32_t>(128.0 * 12.0 * dx);
      }
    }
  }
  std::vector<uint32_t> x, y;
};

void BM_Xlong_CompuDisplace(benchmark::State& state) {
  Picture src;
  BrushMaps maps;
  std::vector<uint8_t> dr(kW * kH), dg(kW * kH), db(kW * kH);
  for (auto _ : state) {
    Xlong_CompuDisplace(kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, src.r.data(), src.g.data(),
                        src.b.data(), nullptr, dr.data(), dg.data(), db.data(), nullptr,
                        maps.x.data(), maps.y.data(), 100, 1.0f);
    benchmark::DoNotOptimize(dr.data());
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_Xlong_CompuDisplace)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(VMK_PEER_OPENCV)
// The same maps as absolute float positions, three planes remapped.
void BM_Peer_OpenCV_RemapNearest(benchmark::State& state) {
  Picture src;
  BrushMaps maps;
  cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1);
  for (int32_t r = 0; r < kH; ++r) {
    for (int32_t c = 0; c < kW; ++c) {
      const int32_t i = r * kW + c;
      mx.at<float>(r, c) = static_cast<float>(c + (static_cast<int32_t>(maps.x[i]) - 32768) / 128);
      my.at<float>(r, c) = static_cast<float>(r + (static_cast<int32_t>(maps.y[i]) - 32768) / 128);
    }
  }
  const cv::Mat inR(kH, kW, CV_8UC1, src.r.data()), inG(kH, kW, CV_8UC1, src.g.data()),
      inB(kH, kW, CV_8UC1, src.b.data());
  cv::Mat outR, outG, outB;
  for (auto _ : state) {
    cv::remap(inR, outR, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
    cv::remap(inG, outG, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
    cv::remap(inB, outB, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
    benchmark::DoNotOptimize(outR.data);
  }
  state.SetItemsProcessed(state.iterations() * int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_OpenCV_RemapNearest)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ratio row of the two above, timed side by side: both read the same maps and give 255
// outside, so their results should not differ at all.
void BM_Ratio_LongDisplace_OpenCV(benchmark::State& state) {
  Picture src;
  BrushMaps maps;
  cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1);
  for (int32_t r = 0; r < kH; ++r) {
    for (int32_t c = 0; c < kW; ++c) {
      const int32_t i = r * kW + c;
      mx.at<float>(r, c) = static_cast<float>(c + (static_cast<int32_t>(maps.x[i]) - 32768) / 128);
      my.at<float>(r, c) = static_cast<float>(r + (static_cast<int32_t>(maps.y[i]) - 32768) / 128);
    }
  }
  const cv::Mat inR(kH, kW, CV_8UC1, src.r.data()), inG(kH, kW, CV_8UC1, src.g.data()),
      inB(kH, kW, CV_8UC1, src.b.data());
  std::vector<uint8_t> dr(kW * kH), dg(kW * kH), db(kW * kH);
  cv::Mat outR, outG, outB;
  auto project = [&] {
    Xlong_CompuDisplace(kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, src.r.data(), src.g.data(),
                        src.b.data(), nullptr, dr.data(), dg.data(), db.data(), nullptr,
                        maps.x.data(), maps.y.data(), 100, 1.0f);
  };
  auto peer = [&] {
    cv::remap(inR, outR, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
    cv::remap(inG, outG, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
    cv::remap(inB, outB, mx, my, cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(255));
  };
  PeerRatio ratio;
  for (auto _ : state) {
    project();
    peer();
    const size_t n = src.r.size();
    ratio.projectChange = (MeanAbsDifference(dr.data(), src.r.data(), n) +
                           MeanAbsDifference(dg.data(), src.g.data(), n) +
                           MeanAbsDifference(db.data(), src.b.data(), n)) /
                          3.0;
    ratio.peerChange = (MeanAbsDifference(outR.data, src.r.data(), n) +
                        MeanAbsDifference(outG.data, src.g.data(), n) +
                        MeanAbsDifference(outB.data, src.b.data(), n)) /
                       3.0;
    ratio.meanDifference =
        (MeanAbsDifference(dr.data(), outR.data, n) + MeanAbsDifference(dg.data(), outG.data, n) +
         MeanAbsDifference(db.data(), outB.data, n)) /
        3.0;
    TimeSideBySide(project, peer, 15, &ratio);
  }
  ReportRatio(state, "brush displacement warp, three planes / OpenCV remap nearest, same maps",
              ratio, "");
}
BENCHMARK(BM_Ratio_LongDisplace_OpenCV)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

void BM_X_Brush_Displace_Radius50(benchmark::State& state) {
  BrushMaps maps;
  const BrushMaps orig;
  std::vector<int32_t> weights(101 * 101);
  X_prepare_Brush(weights.data(), 50, 100);
  std::vector<uint16_t> brush(weights.begin(), weights.end());
  X_Brush_Displace(0, kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, 1.0f, maps.x.data(),
                   maps.y.data(), orig.x.data(), orig.y.data(), brush.data(), 1000, 700, 50, 0,
                   0, 100, 0, 50);
  int32_t step = 0;
  for (auto _ : state) {
    step = (step + 1) % 100;
    X_Brush_Displace(1, kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, 1.0f, maps.x.data(),
                     maps.y.data(), orig.x.data(), orig.y.data(), brush.data(), 1000 + step, 700,
                     50, 0, 0, 100, 0, 50);
    benchmark::DoNotOptimize(maps.x.data());
  }
}
BENCHMARK(BM_X_Brush_Displace_Radius50)->Unit(benchmark::kMicrosecond);

// A frame record in pixels over a 500 x 500 picture.
std::unique_ptr<TCWrap> PixelFrame() {
  auto f = std::make_unique<TCWrap>();
  f->kind = 1;
  f->width1 = f->height1 = 500.0f;
  f->width2 = f->height2 = 500.0f;
  f->resolution = 72.0f;
  return f;
}

// An 8 x 8 lattice with straight handles, the destination bent by a wave.
void BM_X_Grcrvinout_buffer_8x8(benchmark::State& state) {
  auto f = PixelFrame();
  InitGrid(8, 8, 500, 500, 500, 500, f.get());
  for (int32_t k = 0; k < 81; ++k) f->set2.x[k] += 10.0f * std::sin(f->set2.y[k] * 0.02f);
  for (TCWrapNodes* s : {&f->set1, &f->set2}) {
    for (int32_t k = 0; k < 81; ++k) {
      const int32_t i = k % 9, j = k / 9;
      auto third = [&](int32_t o, float* hx, float* hy) {
        hx[k] = s->x[k] + (s->x[o] - s->x[k]) / 3.0f;
        hy[k] = s->y[k] + (s->y[o] - s->y[k]) / 3.0f;
      };
      third(i > 0 ? k - 1 : k, s->prevColX, s->prevColY);
      third(i < 8 ? k + 1 : k, s->nextColX, s->nextColY);
      third(j > 0 ? k - 9 : k, s->prevRowX, s->prevRowY);
      third(j < 8 ? k + 9 : k, s->nextRowX, s->nextRowY);
    }
  }
  std::vector<uint16_t> mx(500 * 500), my(500 * 500);
  for (auto _ : state) {
    X_Grcrvinout_buffer(1, 500, 0, 500, 500, mx.data(), my.data(), f.get());
    benchmark::DoNotOptimize(mx.data());
  }
}
BENCHMARK(BM_X_Grcrvinout_buffer_8x8)->Unit(benchmark::kMillisecond);

CPathList* Outline(std::initializer_list<std::pair<float, float>> pts) {
  auto* list = new CPathList(0);
  auto* p = new CPath;
  for (const auto& [x, y] : pts) p->AddPoint(new CPathPoint(x, y, 0));
  CPathPoint* last = p->first;
  while (last->next != nullptr) last = last->next;
  last->next = p->first;
  p->first->prev = last;
  p->closed = 1;
  list->first = p;
  return list;
}

void BM_PathToPath(benchmark::State& state) {
  auto f = PixelFrame();
  std::unique_ptr<CPathList> a(Outline({{50, 50}, {450, 50}, {450, 450}, {50, 450}}));
  std::unique_ptr<CPathList> b(Outline({{80, 40}, {300, 90}, {470, 420}, {30, 380}, {60, 200}}));
  std::vector<uint16_t> mx(500 * 500, 32768), my(500 * 500, 32768);
  float sa[4], sb[4];
  for (auto _ : state) {
    PathToPath(500, 500, 500, 0, mx.data(), my.data(), f.get(), a.get(), b.get(), sa, sb);
    benchmark::DoNotOptimize(mx.data());
  }
}
BENCHMARK(BM_PathToPath)->Unit(benchmark::kMillisecond);

// A soft dab of radius 100 painted into a 2048 x 1536 mask at zoom 1,
// alternately painting and erasing so that the mask never saturates.
void BM_X_Brush_Msk_Radius100(benchmark::State& state) {
  std::vector<int16_t> mask(static_cast<size_t>(kW + 1) * (kH + 1), 8000);
  std::vector<int16_t> footprint(201 * 201);
  X_prepare_MskBrush(0, footprint.data(), 100, 100, 4096 * 60 / 100);
  int16_t mode = 0;
  for (auto _ : state) {
    X_Brush_Msk(0, 0, 1, 1, kW, kH, mask.data(), footprint.data(), 1000, 700, 100, mode);
    mode = static_cast<int16_t>(1 - mode);
    benchmark::DoNotOptimize(mask.data());
  }
}
BENCHMARK(BM_X_Brush_Msk_Radius100)->Unit(benchmark::kMicrosecond);

}  // namespace
