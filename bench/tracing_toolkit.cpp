// The tracing toolkit on 2048 x 1536 planes, each beside a peer where one
// exists: outline tracing of a thresholded texture against OpenCV's
// findContours (two-level hierarchy, every point kept), thinning against
// OpenCV's ximgproc Zhang-Suen thinning, despeckling at level 8 (no peer),
// and Wu's quantiser at 16 and 256 colours against libimagequant and
// ImageMagick's quantiser, both without dithering. A peer is compiled in
// only when its development package was found (scripts/install-deps
// --bench installs them).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "operations/colour_quantisers.h"
#include "operations/despeckle.h"
#include "operations/outline_tracing.h"
#include "operations/thinning.h"

#if defined(VMK_PEER_OPENCV)
#include <opencv2/imgproc.hpp>
#endif
#if defined(VMK_PEER_XIMGPROC)
#include <opencv2/ximgproc.hpp>
#endif
#if defined(VMK_PEER_IMAGEQUANT)
#include <libimagequant.h>
#endif
#if defined(VMK_PEER_MAGICK)
#include <Magick++.h>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

using Plane = std::vector<unsigned char>;

uint32_t Hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  return v ^ (v >> 16);
}

// A smooth texture of blobs of many sizes with a little grain, 0..255.
Plane Texture(uint32_t salt) {
  Plane p(static_cast<size_t>(kW) * kH);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const double v = std::sin(x * 0.021 + salt) * std::cos(y * 0.017 - salt) +
                       0.5 * std::sin((x + 2 * y) * 0.053 + 2 * salt) +
                       0.25 * std::cos((3 * x - y) * 0.11);
      const int32_t grain = static_cast<int32_t>(Hash((y * kW + x) ^ salt) % 25) - 12;
      const int32_t s = static_cast<int32_t>(128 + 70 * v) + grain;
      p[static_cast<size_t>(y) * kW + x] = static_cast<unsigned char>(s < 0 ? 0 : s > 255 ? 255 : s);
    }
  }
  return p;
}

Plane Thresholded() {
  Plane p = Texture(1);
  for (auto& v : p) v = v >= 128 ? 255 : 0;
  return p;
}

// A texture cut into eight grey levels: blobs of every size, many tiny.
Plane Levels() {
  Plane p = Texture(2);
  for (auto& v : p) v = static_cast<unsigned char>(v & 0xE0);
  return p;
}

void BM_FindOutlinePixels(benchmark::State& state) {
  const Plane p = Thresholded();
  for (auto _ : state) {
    int16_t flag = 0;
    pixel_outline_list_type list = find_outline_pixels(p.data(), kH, kW, 0, &flag);
    benchmark::DoNotOptimize(list.length);
    free_pixel_outline_list(&list);
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_FindOutlinePixels)->Unit(benchmark::kMillisecond);

// Times `run` on a fresh copy of `source` each pass (the kernels work in
// place); the copy is not timed.
template <class Source, class Run>
void TimeInPlace(benchmark::State& state, const Source& source, Run run) {
  Source p = source;
  for (auto _ : state) {
    state.PauseTiming();
    p = source;
    state.ResumeTiming();
    benchmark::DoNotOptimize(run(p));
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_ThinImage(benchmark::State& state) {
  TimeInPlace(state, Thresholded(), [](Plane& p) { return thin_image(p.data(), kH, kW, 0); });
}
BENCHMARK(BM_ThinImage)->Unit(benchmark::kMillisecond);

void BM_Despeckle(benchmark::State& state) {
  TimeInPlace(state, Levels(), [](Plane& p) {
    return despeckle(p.data(), nullptr, nullptr, 1, kH, kW, 8, 2.4f);
  });
}
BENCHMARK(BM_Despeckle)->Unit(benchmark::kMillisecond);

struct Rgb {
  Plane r = Texture(3), g = Texture(4), b = Texture(5);
};

void BM_WuReduce(benchmark::State& state) {
  const auto colours = static_cast<int16_t>(state.range(0));
  TimeInPlace(state, Rgb{}, [colours](Rgb& p) {
    return wuReduce(0, 255, 3, p.r.data(), p.g.data(), p.b.data(), kH, kW, 0, 0, kW - 1, kH - 1,
                    nullptr, colours);
  });
}
BENCHMARK(BM_WuReduce)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);

#if defined(VMK_PEER_IMAGEQUANT) || defined(VMK_PEER_MAGICK)
// The peers take interleaved pixels; `channels` 3 or 4 (alpha 255).
std::vector<unsigned char> Interleaved(const Rgb& s, int channels) {
  std::vector<unsigned char> px(static_cast<size_t>(kW) * kH * channels, 255);
  for (size_t i = 0; i < s.r.size(); ++i) {
    px[i * channels] = s.r[i];
    px[i * channels + 1] = s.g[i];
    px[i * channels + 2] = s.b[i];
  }
  return px;
}
#endif

#if defined(VMK_PEER_OPENCV)
void BM_Peer_OpenCV_FindContours(benchmark::State& state) {
  const Plane p = Thresholded();
  const cv::Mat m(kH, kW, CV_8UC1, const_cast<unsigned char*>(p.data()));
  for (auto _ : state) {
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(m, contours, hierarchy, cv::RETR_CCOMP, cv::CHAIN_APPROX_NONE);
    benchmark::DoNotOptimize(contours.size());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Peer_OpenCV_FindContours)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_XIMGPROC)
void BM_Peer_OpenCV_Thinning(benchmark::State& state) {
  const Plane p = Thresholded();
  const cv::Mat m(kH, kW, CV_8UC1, const_cast<unsigned char*>(p.data()));
  cv::Mat out;
  for (auto _ : state) {
    cv::ximgproc::thinning(m, out, cv::ximgproc::THINNING_ZHANGSUEN);
    benchmark::DoNotOptimize(out.data);
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Peer_OpenCV_Thinning)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_IMAGEQUANT)
void BM_Peer_LibImageQuant(benchmark::State& state) {
  const std::vector<unsigned char> rgba = Interleaved(Rgb{}, 4);
  std::vector<unsigned char> out(static_cast<size_t>(kW) * kH);
  for (auto _ : state) {
    liq_attr* attr = liq_attr_create();
    liq_set_max_colors(attr, static_cast<int>(state.range(0)));
    liq_image* image = liq_image_create_rgba(attr, rgba.data(), kW, kH, 0);
    liq_result* result = nullptr;
    if (liq_image_quantize(image, attr, &result) == LIQ_OK) {
      liq_set_dithering_level(result, 0.0f);
      liq_write_remapped_image(result, image, out.data(), out.size());
      liq_result_destroy(result);
    }
    liq_image_destroy(image);
    liq_attr_destroy(attr);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Peer_LibImageQuant)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);
#endif

#if defined(VMK_PEER_MAGICK)
void BM_Peer_Magick_Quantize(benchmark::State& state) {
  Magick::InitializeMagick(nullptr);
  const std::vector<unsigned char> rgb = Interleaved(Rgb{}, 3);
  for (auto _ : state) {
    Magick::Image image(kW, kH, "RGB", Magick::CharPixel, rgb.data());
    image.quantizeColors(static_cast<size_t>(state.range(0)));
    image.quantizeDither(false);
    image.quantize();
    benchmark::DoNotOptimize(image.columns());
  }
  state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_Peer_Magick_Quantize)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
