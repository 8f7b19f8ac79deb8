// Geometry, textures and generators on a 2048 x 1536 plane, beside their
// peers where one exists: the transform at 30 degrees against OpenCV's
// warpAffine (nearest) and libvips' rotate; the displacement against
// OpenCV's remap; the twirl, the kaleidoscope and a relief texture on their
// own; the plasma against G'MIC's plasma and the fractal engine's default
// entry against G'MIC's mandelbrot in Julia mode; the aggregation at the
// effect's defaults. A peer is compiled in only when its development
// package was found (scripts/install-deps --bench installs them).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "bench_session.h"
#include "gmic_peer.h"
#include "engines/patterns/misc_fract.h"
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

Plane Picture(uint32_t salt) {
  Plane p(static_cast<size_t>(kW) * kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const double v = std::sin(x * 0.011 + salt) * std::cos(y * 0.017 - salt);
      p[static_cast<size_t>(y) * kW + x] = static_cast<unsigned char>(128 + 100 * v);
    }
  }
  return p;
}

const Plane& Source() {
  static const Plane p = Picture(1);
  return p;
}

const Plane& Map() {
  static const Plane p = Picture(7);
  return p;
}

Plane Ramp() {
  Plane t(5 * 256);
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<unsigned char>(i % 256);
  for (size_t i = 0; i < 256; ++i) t[i] = 0;  // the aggregation paints its row outright
  return t;
}

void Items(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kW * kH); }

// Runs one operation on a fresh copy of the picture each iteration.
template <typename Op>
void OnCopy(benchmark::State& state, Op op) {
  BenchSession session;
  Plane p = Source();
  for (auto _ : state) {
    state.PauseTiming();
    p = Source();
    state.ResumeTiming();
    benchmark::DoNotOptimize(op(p.data()));
  }
  Items(state);
}

void BM_Transform30(benchmark::State& state) {
  OnCopy(state, [](unsigned char* p) {
    return Effects::Transform(0, 255, p, kH, kW, 0, 0, kW, kH, 0, 0, 100, 100, 30, 0, 0, nullptr);
  });
}
BENCHMARK(BM_Transform30)->Unit(benchmark::kMillisecond);

void BM_Displace(benchmark::State& state) {
  OnCopy(state, [](unsigned char* p) {
    return Effects::Displace(0, 255, p, Map().data(), kH, kW, 0, 0, kW, kH, 1, nullptr, 20, 20,
                             128);
  });
}
BENCHMARK(BM_Displace)->Unit(benchmark::kMillisecond);

void BM_Twirl(benchmark::State& state) {
  OnCopy(state, [](unsigned char* p) {
    return Effects::Twirl(0, 255, p, nullptr, kH, kW, 0, 0, kW, kH, 180, 50, 50);
  });
}
BENCHMARK(BM_Twirl)->Unit(benchmark::kMillisecond);

void BM_Kaleido(benchmark::State& state) {
  OnCopy(state, [](unsigned char* p) {
    return Effects::Kaleido(0, 255, p, nullptr, kH, kW, 0, 0, kW, kH, 999, 999, 0, 0);
  });
}
BENCHMARK(BM_Kaleido)->Unit(benchmark::kMillisecond);

void BM_LoadTextureRelief5(benchmark::State& state) {
  static const Plane texture = [] {
    Plane t(256 * 256);
    for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<unsigned char>((i * 37) ^ (i >> 8));
    return t;
  }();
  OnCopy(state, [](unsigned char* p) {
    return Effects::LoadTexture(0, 255, p, texture.data(), 1, 1, nullptr, kH, kW, 0, 0, kW - 1,
                                kH - 1, 256, 256, 45, 5);
  });
}
BENCHMARK(BM_LoadTextureRelief5)->Unit(benchmark::kMillisecond);

void BM_FractPlasma(benchmark::State& state) {
  const Plane ramp = Ramp();
  OnCopy(state, [&](unsigned char* p) {
    return Effects::FractPlasma(0, 255, 1, p, nullptr, nullptr, nullptr, kH, kW, 0, 0, kW, kH,
                                ramp.data(), 1, 0, 0, 0);
  });
}
BENCHMARK(BM_FractPlasma)->Unit(benchmark::kMillisecond);

void BM_FractFillBufDefault(benchmark::State& state) {
  BenchSession session;
  auto par = std::make_unique<FractPar>();
  Init_FractPar(par.get(), 1, 1);
  Plane r = Source(), g = Source(), b = Source();
  for (auto _ : state) {
    MiscFract engine;
    engine.SetFractPar(par.get());
    benchmark::DoNotOptimize(engine.FillBuf(3, 0, 255, 0, 1, nullptr, kW, kH, 0, 0, kW, kH, kW,
                                            kH, 0, 0, kW, kH, 1, 1, r.data(), g.data(), b.data(),
                                            nullptr, nullptr));
  }
  Items(state);
}
BENCHMARK(BM_FractFillBufDefault)->Unit(benchmark::kMillisecond);

// The aggregation effect's defaults: seed 0, 2000 walkers, 100 passes from
// the centre.
void BM_DiffusAggreg(benchmark::State& state) {
  const Plane ramp = Ramp();
  OnCopy(state, [&](unsigned char* p) {
    return Effects::DiffusAggreg(0, 255, p, nullptr, kH, kW, 0, 0, kW, kH, 0, ramp.data(), 0,
                                 2000, 8, 100, 4);
  });
}
BENCHMARK(BM_DiffusAggreg)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_OPENCV)
void BM_Peer_OpenCV_WarpAffine30(benchmark::State& state) {
  const cv::Mat in(kH, kW, CV_8UC1, const_cast<unsigned char*>(Source().data()));
  const cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(kW * 0.5f, kH * 0.5f), 30, 1.0);
  cv::Mat out;
  for (auto _ : state) {
    cv::warpAffine(in, out, m, in.size(), cv::INTER_NEAREST);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_WarpAffine30)->Unit(benchmark::kMillisecond);

void BM_Peer_OpenCV_Remap(benchmark::State& state) {
  const cv::Mat in(kH, kW, CV_8UC1, const_cast<unsigned char*>(Source().data()));
  cv::Mat mx(kH, kW, CV_32FC1), my(kH, kW, CV_32FC1), out;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const float d = (128.0f - Map()[static_cast<size_t>(y) * kW + x]) * 0.2f;
      mx.at<float>(y, x) = static_cast<float>(x) + d;
      my.at<float>(y, x) = static_cast<float>(y) + d;
    }
  }
  for (auto _ : state) {
    cv::remap(in, out, mx, my, cv::INTER_NEAREST, cv::BORDER_REPLICATE);
    benchmark::DoNotOptimize(out.data);
  }
  Items(state);
}
BENCHMARK(BM_Peer_OpenCV_Remap)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_VIPS)
void BM_Peer_Vips_Rotate30(benchmark::State& state) {
  if (VIPS_INIT("bench_geometry_generators") != 0) {
    state.SkipWithError("libvips would not start");
    return;
  }
  vips_concurrency_set(1);
  VipsInterpolate* nearest = vips_interpolate_nearest_static();
  for (auto _ : state) {
    VipsImage* in = vips_image_new_from_memory(Source().data(), Source().size(), kW, kH, 1,
                                               VIPS_FORMAT_UCHAR);
    VipsImage* out = nullptr;
    if (vips_rotate(in, &out, 30.0, "interpolate", nearest, nullptr) == 0) {
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
BENCHMARK(BM_Peer_Vips_Rotate30)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_GMIC)
void BM_Peer_Gmic_Plasma(benchmark::State& state) {
  RunGmic(state, "2048,1536 plasma 1,1", int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_Gmic_Plasma)->Unit(benchmark::kMillisecond);

void BM_Peer_Gmic_MandelbrotJulia(benchmark::State& state) {
  RunGmic(state, "2048,1536 mandelbrot -1.6,-1.2,1.6,1.2,40,1,-0.4,0.6",
          int64_t{kW} * kH);
}
BENCHMARK(BM_Peer_Gmic_MandelbrotJulia)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
