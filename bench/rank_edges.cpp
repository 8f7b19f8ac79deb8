// Rank filters, edge maps and the convolution effect on a 2048 x 1536
// plane, each beside its peers where one exists: the maximum and minimum at
// radii 1, 5 and 25 against OpenCV's dilate and erode (rectangle,
// replicated border) and libvips' rank filter; the median at radii 1, 3
// and 10 against OpenCV's medianBlur (apertures 3, 7, 21) and libvips'
// median; the edge map and the Sobel response map against OpenCV's Sobel
// (x plus y) and Canny; the convolution effect and the planar luminance
// ramp on their own. A peer is compiled in only when its development
// package was found (scripts/install-deps --bench installs them).
//
// The maximum and minimum should cost about the same at every radius, the
// median grow with the radius (its histogram takes a column in and out per
// step).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_session.h"
#include "operations/effects.h"

#if defined(VMK_PEER_OPENCV)
#include <opencv2/imgproc.hpp>
#endif
#if defined(VMK_PEER_VIPS)
#include <vips/vips.h>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

using Plane = std::vector<unsigned char>;

// A smooth picture with a little grain, so that the edges are both long
// contours and noise.
Plane Picture(uint32_t salt) {
  Plane p(static_cast<size_t>(kW) * kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const double v = std::sin(x * 0.013 + salt) * std::cos(y * 0.019 - salt) +
                       0.4 * std::sin((x - 2 * y) * 0.041);
      const uint32_t h = (static_cast<uint32_t>(y * kW + x) ^ salt) * 2654435761u;
      const int32_t s = static_cast<int32_t>(128 + 90 * v) + static_cast<int32_t>(h >> 28) - 8;
      p[static_cast<size_t>(y) * kW + x] = static_cast<unsigned char>(s < 0 ? 0 : s > 255 ? 255 : s);
    }
  }
  return p;
}

const Plane& Source() {
  static const Plane p = Picture(1);
  return p;
}

void Items(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kW * kH); }

// Times `run` on a fresh copy of the source each iteration (the copy untimed),
// since these operations work in place.
template <typename Run>
void OnFreshCopies(benchmark::State& state, Run run) {
  BenchSession session;
  Plane p = Source();
  for (auto _ : state) {
    state.PauseTiming();
    p = Source();
    state.ResumeTiming();
    benchmark::DoNotOptimize(run(p.data()));
  }
  Items(state);
}

void BM_Maxima(benchmark::State& state) {
  const auto r = static_cast<int16_t>(state.range(0));
  OnFreshCopies(state, [r](unsigned char* p) {
    return Effects::Maxima(0, 255, p, kH, kW, 0, 0, kW - 1, kH - 1, r, r, 1, nullptr);
  });
}
BENCHMARK(BM_Maxima)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Minima(benchmark::State& state) {
  const auto r = static_cast<int16_t>(state.range(0));
  OnFreshCopies(state, [r](unsigned char* p) {
    return Effects::Minima(0, 255, p, kH, kW, 0, 0, kW - 1, kH - 1, r, r, 1, nullptr);
  });
}
BENCHMARK(BM_Minima)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Median(benchmark::State& state) {
  const auto r = static_cast<int16_t>(state.range(0));
  OnFreshCopies(state, [r](unsigned char* p) {
    return Effects::Median(0, 255, p, kH, kW, 0, 0, kW - 1, kH - 1, r, 1, nullptr);
  });
}
BENCHMARK(BM_Median)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_FindEdge(benchmark::State& state) {
  OnFreshCopies(state, [](unsigned char* p) {
    return Effects::FindEdge(0, 255, p, nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 255, 1, 0);
  });
}
BENCHMARK(BM_FindEdge)->Unit(benchmark::kMillisecond);

void BM_ConvDetectSobel(benchmark::State& state) {
  BenchSession session;
  std::vector<int32_t> map(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    int32_t maximum = 0;
    benchmark::DoNotOptimize(Effects::Conv_Detect(1, kW, kH, Source().data(), map.data(),
                                                  &maximum, 3, 100, 0, 0, 0, kW - 1, kH - 1));
  }
  Items(state);
}
BENCHMARK(BM_ConvDetectSobel)->Unit(benchmark::kMillisecond);

// A ramp from black to white through the colour wheel, fully opaque.
Plane Ramp() {
  Plane t(5 * 256);
  for (int j = 0; j < 256; ++j) {
    t[j] = 255;
    t[256 + j] = static_cast<unsigned char>(j);
    t[512 + j] = static_cast<unsigned char>((j * 3) & 255);
    t[768 + j] = static_cast<unsigned char>(255 - j);
    t[1024 + j] = 0;
  }
  return t;
}

void BM_Convolution(benchmark::State& state) {
  BenchSession session;
  const Plane ramp = Ramp();
  Plane p = Source();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::Convolution(0, 255, 1, p.data(), nullptr, nullptr, nullptr,
                                                  kH, kW, 0, 0, kW - 1, kH - 1, ramp.data(), 3,
                                                  2, 0, 0));
  }
  Items(state);
}
BENCHMARK(BM_Convolution)->Unit(benchmark::kMillisecond);

void BM_LutToColorPlanar(benchmark::State& state) {
  BenchSession session;
  const Plane ramp = Ramp();
  Plane r = Source(), g = Source(), b = Source();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Effects::LutToColor(
        0, 200, Source().data(), nullptr, nullptr, nullptr, kH, kW, r.data(), g.data(), b.data(),
        nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 0, 0, kW - 1, kH - 1, 1, 1, 3, nullptr,
        ramp.data(), 10, 255));
  }
  Items(state);
}
BENCHMARK(BM_LutToColorPlanar)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_OPENCV)
cv::Mat SourceMat() {
  return cv::Mat(kH, kW, CV_8UC1, const_cast<unsigned char*>(Source().data()));
}

void BM_Peer_OpenCV_Dilate(benchmark::State& state) {
  cv::setNumThreads(1);
  const int r = static_cast<int>(state.range(0));
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * r + 1, 2 * r + 1));
  cv::Mat out;
  for (auto _ : state) {
    cv::dilate(SourceMat(), out, kernel, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_Dilate)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Peer_OpenCV_Erode(benchmark::State& state) {
  cv::setNumThreads(1);
  const int r = static_cast<int>(state.range(0));
  const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(2 * r + 1, 2 * r + 1));
  cv::Mat out;
  for (auto _ : state) {
    cv::erode(SourceMat(), out, kernel, cv::Point(-1, -1), 1, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_Erode)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Peer_OpenCV_MedianBlur(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat out;
  for (auto _ : state) {
    cv::medianBlur(SourceMat(), out, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_MedianBlur)->Arg(3)->Arg(7)->Arg(21)->Unit(benchmark::kMillisecond);

void BM_Peer_OpenCV_SobelXY(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat dx, dy, ax, ay, out;
  for (auto _ : state) {
    cv::Sobel(SourceMat(), dx, CV_16S, 1, 0);
    cv::Sobel(SourceMat(), dy, CV_16S, 0, 1);
    cv::convertScaleAbs(dx, ax);
    cv::convertScaleAbs(dy, ay);
    cv::add(ax, ay, out);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_SobelXY)->Unit(benchmark::kMillisecond);

void BM_Peer_OpenCV_Canny(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat out;
  for (auto _ : state) {
    cv::Canny(SourceMat(), out, 50, 150);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_Canny)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_VIPS)
// Runs one libvips operation on the source and makes it compute the whole
// result into memory, single-threaded like ours.
template <typename Op>
void RunVips(benchmark::State& state, Op op) {
  if (VIPS_INIT("bench_rank_edges") != 0) {
    state.SkipWithError("libvips would not start");
    return;
  }
  vips_concurrency_set(1);
  for (auto _ : state) {
    VipsImage* in = vips_image_new_from_memory(Source().data(), Source().size(), kW, kH, 1,
                                               VIPS_FORMAT_UCHAR);
    VipsImage* out = nullptr;
    if (op(in, &out) == 0) {
      size_t length = 0;
      void* bytes = vips_image_write_to_memory(out, &length);
      benchmark::DoNotOptimize(bytes);
      g_free(bytes);
      g_object_unref(out);
    }
    g_object_unref(in);
  }
  Items(state);
}

void BM_Peer_Vips_RankMax(benchmark::State& state) {
  const int side = 2 * static_cast<int>(state.range(0)) + 1;
  RunVips(state, [side](VipsImage* in, VipsImage** out) {
    return vips_rank(in, out, side, side, side * side - 1, nullptr);
  });
}
BENCHMARK(BM_Peer_Vips_RankMax)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Peer_Vips_RankMin(benchmark::State& state) {
  const int side = 2 * static_cast<int>(state.range(0)) + 1;
  RunVips(state, [side](VipsImage* in, VipsImage** out) {
    return vips_rank(in, out, side, side, 0, nullptr);
  });
}
BENCHMARK(BM_Peer_Vips_RankMin)->Arg(1)->Arg(5)->Arg(25)->Unit(benchmark::kMillisecond);

void BM_Peer_Vips_Median(benchmark::State& state) {
  const int side = 2 * static_cast<int>(state.range(0)) + 1;
  RunVips(state, [side](VipsImage* in, VipsImage** out) {
    return vips_median(in, out, side, nullptr);
  });
}
BENCHMARK(BM_Peer_Vips_Median)->Arg(1)->Arg(3)->Arg(10)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
