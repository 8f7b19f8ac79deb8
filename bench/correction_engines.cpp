// The correction engines on a 2048 x 1536 RGB picture: the colour matrix at its default
// record, the four colour corrections (focus at mode 15) and the lens correction as barrel
// correction, plain and with fringe or fall-off compensation. Beside the lens correction,
// when OpenCV is present, its undistortion maps and bilinear remap on the same planes (times
// only: the two lens models differ). The lensfun peer is timed only where lensfun is built in.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/lens_correction_engine.h"
#include "peer_ratio.h"

#if VMK_PEER_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int32_t kW = 2048;
constexpr int32_t kH = 1536;

struct Picture {
  Picture() : r(kW * kH), g(kW * kH), b(kW * kH) {
    for (int32_t i = 0; i < kW * kH; ++i) {
      r[i] = static_cast<uint8_t>(i);
      g[i] = static_cast<uint8_t>(i >> 3);
      b[i] = static_cast<uint8_t>(i >> 7);
    }
  }
  std::vector<uint8_t> r, g, b;
};

void BM_ColourMatrixDefault(benchmark::State& state) {
  Picture p;
  ColMatPar par;
  Init_ColMatPar(&par);
  for (auto _ : state) {
    MiscColMat e;
    e.SetColMatPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, 255, 0, 0, kW, kH, 0, 0, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
              p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_ColourMatrixDefault)->Unit(benchmark::kMillisecond);

void BM_ColourCorrection(benchmark::State& state) {
  Picture p;
  ColCorPar par;
  const auto kind = static_cast<int16_t>(state.range(0));
  Init_ColCorPar(&par, kW, kH, 72, kind, 0, 0);
  par.w[kCCFocusMode] = 15;
  for (auto _ : state) {
    MiscColCor e;
    e.SetColCorPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, kW, kH, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, p.r.data(),
              p.g.data(), p.b.data(), nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_ColourCorrection)->Arg(103)->Arg(104)->Arg(105)->Arg(119)->Unit(benchmark::kMillisecond);

// 0 plain barrel, 1 with fringe, 2 with fall-off compensation.
void BM_LensBarrel(benchmark::State& state) {
  Picture p;
  ZondracPar par;
  Init_ZondracPar(&par, kW, kH, 72, 20, 20, 2);
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 20;
  par.w[kZndFringeOn] = state.range(0) == 1 ? 1 : 0;
  par.w[kZndFringe] = 101;
  par.w[kZndFringe + 1] = 100;
  par.w[kZndFringe + 2] = 99;
  par.w[kZndVignetteOn] = state.range(0) == 2 ? 1 : 0;
  par.w[kZndBrightness] = par.w[kZndBrightness + 1] = par.w[kZndBrightness + 2] = 20;
  for (auto _ : state) {
    MiscZondrac e;
    e.SetZondracPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
              p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr, nullptr, nullptr);
    benchmark::DoNotOptimize(p.r.data());
  }
}
BENCHMARK(BM_LensBarrel)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

#if VMK_PEER_OPENCV
// OpenCV's undistortion maps and a bilinear remap of the three planes.
void BM_Peer_OpenCV_UndistortRemap(benchmark::State& state) {
  Picture p;
  cv::Mat r(kH, kW, CV_8UC1, p.r.data()), g(kH, kW, CV_8UC1, p.g.data()),
      b(kH, kW, CV_8UC1, p.b.data());
  const cv::Matx33d camera(kW, 0, kW / 2.0, 0, kW, kH / 2.0, 0, 0, 1);
  const cv::Vec4d dist(-0.08, 0, 0, 0);
  cv::Mat outR, outG, outB;
  for (auto _ : state) {
    cv::Mat mapX, mapY;
    cv::initUndistortRectifyMap(camera, dist, cv::Mat(), camera, cv::Size(kW, kH), CV_32FC1,
                                mapX, mapY);
    cv::remap(r, outR, mapX, mapY, cv::INTER_LINEAR);
    cv::remap(g, outG, mapX, mapY, cv::INTER_LINEAR);
    cv::remap(b, outB, mapX, mapY, cv::INTER_LINEAR);
    benchmark::DoNotOptimize(outB.data);
  }
}
BENCHMARK(BM_Peer_OpenCV_UndistortRemap)->Unit(benchmark::kMillisecond);

// The ratio row: the plain barrel correction against the undistortion maps and remap, at
// default threads on both sides. The two lens models differ, so only each side's change to
// the picture is shown, not a difference between them.
void BM_Ratio_LensCorrection_OpenCV(benchmark::State& state) {
  const Picture original;
  ZondracPar par;
  Init_ZondracPar(&par, kW, kH, 72, 20, 20, 2);
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 20;
  Picture mine;
  auto project = [&] {
    MiscZondrac e;
    e.SetZondracPar(&par);
    e.FillBuf(3, 0, 255, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
              mine.r.data(), mine.g.data(), mine.b.data(), nullptr, nullptr, nullptr, nullptr);
  };
  Picture theirs;
  cv::Mat r(kH, kW, CV_8UC1, theirs.r.data()), g(kH, kW, CV_8UC1, theirs.g.data()),
      b(kH, kW, CV_8UC1, theirs.b.data());
  const cv::Matx33d camera(kW, 0, kW / 2.0, 0, kW, kH / 2.0, 0, 0, 1);
  const cv::Vec4d dist(-0.08, 0, 0, 0);
  cv::Mat outR, outG, outB;
  auto peer = [&] {
    cv::Mat mapX, mapY;
    cv::initUndistortRectifyMap(camera, dist, cv::Mat(), camera, cv::Size(kW, kH), CV_32FC1, mapX,
                                mapY);
    cv::remap(r, outR, mapX, mapY, cv::INTER_LINEAR);
    cv::remap(g, outG, mapX, mapY, cv::INTER_LINEAR);
    cv::remap(b, outB, mapX, mapY, cv::INTER_LINEAR);
  };
  PeerRatio ratio;
  for (auto _ : state) {
    mine = original;
    project();
    peer();
    ratio.projectChange = MeanAbsDifference(mine.r.data(), original.r.data(), mine.r.size());
    ratio.peerChange = MeanAbsDifference(outR.data, original.r.data(), original.r.size());
    TimeSideBySide(project, peer, 9, &ratio);
  }
  ReportRatio(state, "lens correction (113) / OpenCV undistort+remap", ratio,
              "models differ: times only");
}
BENCHMARK(BM_Ratio_LensCorrection_OpenCV)->Iterations(1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
