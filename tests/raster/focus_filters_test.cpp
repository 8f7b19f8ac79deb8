#include "raster/focus_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "raster/blend_filters.h"
#include "raster/blend_rows.h"
#include "raster/plane_kernels.h"
#include "support/pixels.h"
#include "support/row_held.h"
#include "support/session.h"

namespace {

using vmktest::Px;
using vmktest::PxByte;

std::vector<uint8_t> Noise(int32_t w, int32_t h, uint32_t seed) {
  plat::SeedRandom(seed);
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (auto& v : p) v = static_cast<uint8_t>(plat::Random() % 256);
  return p;
}

std::vector<uint32_t> NoisePixels(int32_t w, int32_t h, uint32_t seed) {
  plat::SeedRandom(seed);
  std::vector<uint32_t> p(static_cast<size_t>(w) * h);
  for (auto& v : p)
    v = Px(plat::Random() % 256, plat::Random() % 256, plat::Random() % 256, plat::Random() % 256);
  return p;
}

// The convolution written plainly, tap by tap with std::fma.
std::vector<float> ReferenceConv(const float* src, int32_t w, int32_t h, int dir, const float* k,
                                 int32_t n) {
  std::vector<float> out(static_cast<size_t>(w) * h, 0.0f);
  const int32_t half = (n - 1) / 2;
  if (dir == 0) {
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x <= w - n - 1; ++x) {
        float acc = 0.0f;
        for (int32_t j = 0; j < n; ++j) acc = std::fma(src[y * w + x + j], k[j], acc);
        out[y * w + x + half] = acc;
      }
  } else {
    for (int32_t y = 0; y <= h - n - 1; ++y)
      for (int32_t x = 0; x < w; ++x) {
        float acc = 0.0f;
        for (int32_t j = 0; j < n; ++j) acc = std::fma(src[(y + j) * w + x], k[j], acc);
        out[(y + half) * w + x] = acc;
      }
  }
  return out;
}

TEST(FilterKernel, FactorialPowerAndHermite) {
  Filter f;
  EXPECT_EQ(f.fac(0), 1);
  EXPECT_EQ(f.fac(-3), 1);
  EXPECT_EQ(f.fac(5), 120);
  EXPECT_EQ(f.herpow(0.0f, 0.0f), 1.0f);
  EXPECT_EQ(f.herpow(2.0f, 3.0f), 8.0f);
  for (float x : {-3.0f, 0.0f, 0.5f, 7.0f}) {
    EXPECT_EQ(f.hermitefunction(x, 2.0f, 0), 1.0f);
    EXPECT_NEAR(f.hermitefunction(x, 2.0f, 1), x / 4.0f, 1e-6);
    EXPECT_NEAR(f.hermitefunction(x, 2.0f, 2), x * x / 16.0f - 0.25f, 1e-5);
  }
}

TEST(FilterKernel, DerivativeOfGaussianShapes) {
  Filter f;
  EXPECT_EQ(f.kernel, nullptr);
  ASSERT_EQ(f.MakeDogFilter(27, 0, 2.0f), 1);
  EXPECT_EQ(f.size, 27);
  EXPECT_EQ(f.centre, 14);
  float sum = 0.0f;
  for (int i = 0; i < 27; ++i) sum += f.kernel[i];
  EXPECT_NEAR(sum, 1.0f, 1e-5);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(f.kernel[i], f.kernel[26 - i]);

  ASSERT_EQ(f.MakeDogFilter(9, 1, 1.5f), 1);
  EXPECT_EQ(f.centre, 5);
  EXPECT_EQ(f.kernel[4], 0.0f);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.kernel[i], -f.kernel[8 - i]);

  // Rejected requests leave the last kernel as it was.
  const float* before = f.kernel;
  EXPECT_EQ(f.MakeDogFilter(2, 0, 1.0f), 0);
  EXPECT_EQ(f.MakeDogFilter(9, -1, 1.0f), 0);
  EXPECT_EQ(f.kernel, before);
  EXPECT_EQ(f.size, 9);
}

TEST(FilterConvolution, NoCompleteWindowGivesZeros) {
  Filter f;
  ASSERT_EQ(f.MakeDogFilter(27, 2, 2.0f), 1);
  const auto plane = Noise(27, 40, 3);
  std::vector<float> out(plane.size(), 99.0f);
  std::vector<uint8_t> copy = plane;
  EXPECT_EQ(f.ConvCharBuf(copy.data(), out.data(), 27, 40, 0, 1.0f, 0), 1);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  // Columns of a 27-high plane likewise; an unknown direction leaves zeros.
  const auto tall = Noise(40, 27, 4);
  copy = tall;
  EXPECT_EQ(f.ConvCharBuf(copy.data(), out.data(), 40, 27, 1, 1.0f, 0), 1);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(f.ConvCharBuf(copy.data(), out.data(), 40, 27, 2, 1.0f, 0), 1);
  for (float v : out) EXPECT_EQ(v, 0.0f);
  EXPECT_EQ(copy, tall);
}

TEST(FilterConvolution, MatchesTheTapByTapSum) {
  Filter f;
  ASSERT_EQ(f.MakeDogFilter(27, 2, 2.0f), 1);
  // Widths that leave every remainder of the eight-wide loop.
  for (int32_t w : {28, 45, 101}) {
    const int32_t h = 37;
    const auto plane = Noise(w, h, static_cast<uint32_t>(w));
    std::vector<float> fsrc(plane.begin(), plane.end());
    for (int dir : {0, 1}) {
      const auto ref = ReferenceConv(fsrc.data(), w, h, dir, f.kernel, f.size);
      std::vector<uint8_t> copy = plane;
      std::vector<float> out(plane.size(), -1.0f);
      ASSERT_EQ(f.ConvCharBuf(copy.data(), out.data(), w, h, dir, 1.0f, 0), 1);
      EXPECT_EQ(std::memcmp(out.data(), ref.data(), out.size() * sizeof(float)), 0) << w << dir;
      std::vector<float> out2(plane.size(), -1.0f);
      ASSERT_EQ(f.ConvCharBuf(fsrc.data(), out2.data(), w, h, dir), 1);
      EXPECT_EQ(std::memcmp(out2.data(), ref.data(), out.size() * sizeof(float)), 0) << w << dir;
      // In place through the float member.
      std::vector<float> same = fsrc;
      ASSERT_EQ(f.ConvCharBuf(same.data(), same.data(), w, h, dir), 1);
      EXPECT_EQ(std::memcmp(same.data(), ref.data(), out.size() * sizeof(float)), 0) << w << dir;
    }
  }
}

TEST(FilterConvolution, WriteBackScalesOffsetsAndClamps) {
  Filter f;
  ASSERT_EQ(f.MakeDogFilter(3, 0, 100.0f), 1);  // nearly a 3-tap box
  std::vector<uint8_t> row = {30, 60, 90, 150, 150, 0, 0};
  ASSERT_EQ(f.ConvCharBuf(row.data(), nullptr, 7, 1, 0, 2.0f, 10), 1);
  // Windows at x = 0..3 fill columns 1..4; the rest hold gain * 0 + 10.
  EXPECT_EQ(row[0], 10);
  EXPECT_NEAR(row[1], 130, 1);
  EXPECT_NEAR(row[2], 210, 1);
  EXPECT_EQ(row[3], 255);  // above 254
  EXPECT_NEAR(row[4], 210, 1);
  EXPECT_EQ(row[5], 10);
  EXPECT_EQ(row[6], 10);
  std::vector<uint8_t> dark = {5, 5, 5, 5};
  ASSERT_EQ(f.ConvCharBuf(dark.data(), nullptr, 4, 1, 0, 0.1f, 0), 1);
  for (uint8_t v : dark) EXPECT_EQ(v, 0);  // below 1
}

class FocusPlane : public vmktest::SessionTest {};

TEST_F(FocusPlane, DeBlurNeutralSettingsKeepThePlane) {
  const auto plane = Noise(40, 30, 7);
  auto p = plane;
  EXPECT_EQ(DeBlur(0, 255, p.data(), nullptr, 30, 40, 0, 0, 39, 29, 0, 50), 0);
  EXPECT_EQ(p, plane);
  EXPECT_EQ(DeBlur(0, 255, p.data(), nullptr, 30, 40, 0, 0, 39, 29, 3, 0), 0);
  EXPECT_EQ(p, plane);
  // Opacity 0, and a mask of zeros, keep it too.
  EXPECT_EQ(DeBlur(0, 0, p.data(), nullptr, 30, 40, 0, 0, 39, 29, 2, 80), 0);
  EXPECT_EQ(p, plane);
  const std::vector<uint8_t> zeros(plane.size(), 0);
  EXPECT_EQ(DeBlur(0, 255, p.data(), zeros.data(), 30, 40, 0, 0, 39, 29, 2, 80), 0);
  EXPECT_EQ(p, plane);
}

TEST_F(FocusPlane, DeBlurSteepensAnEdgeInsideItsRectangle) {
  const int32_t w = 64, h = 64;
  std::vector<uint8_t> p(w * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p[y * w + x] = x < 32 ? 80 : 160;
  const auto before = p;
  // Bounds beyond the plane are clipped.
  EXPECT_EQ(DeBlur(0, 255, p.data(), nullptr, h, w, -5, 20, 500, 40, 2, 30), 0);
  const int32_t y = 30;
  EXPECT_LT(p[y * w + 31], 80);   // undershoot on the dark side
  EXPECT_GT(p[y * w + 32], 160);  // overshoot on the bright side
  EXPECT_EQ(p[y * w + 2], 80);    // no window reaches the border columns
  for (int32_t x = 0; x < w; ++x) {
    EXPECT_EQ(p[10 * w + x], before[10 * w + x]);  // rows outside the rectangle
    EXPECT_EQ(p[41 * w + x], before[41 * w + x]);
  }
}

TEST_F(FocusPlane, DeBlurHoldsStrengthAndOrdersWhereTheSeriesIsFinite) {
  const int32_t w = 40, h = 36;
  const auto plane = Noise(w, h, 11);
  auto run = [&](int16_t orders, int16_t strength) {
    auto p = plane;
    EXPECT_EQ(DeBlur(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, orders, strength), 0);
    return p;
  };
  // Past the limit the strength is held to it (before, the largest
  // coefficients overflowed and the result was NaN turned into bytes).
  const auto held = run(30, kDeBlurMaxStrength);
  EXPECT_NE(held, plane);
  EXPECT_EQ(run(30, 32767), held);
  EXPECT_EQ(run(30, -32768), run(30, -kDeBlurMaxStrength));
  // Within it, the coefficient of order 171 and beyond is 0, and at
  // strength 30 it is 0 from order 54 on: more orders change nothing.
  EXPECT_EQ(run(32767, kDeBlurMaxStrength), run(kDeBlurMaxOrders, kDeBlurMaxStrength));
  EXPECT_EQ(run(32767, 30), run(53, 30));
  EXPECT_NE(run(53, 30), run(1, 30));
}

TEST_F(FocusPlane, HighPassAmountZeroIsNeutralGreyAndNeedsNoMask) {
  const int32_t w = 20, h = 16;
  const auto plane = Noise(w, h, 9);
  auto p = plane;
  EXPECT_EQ(HighPass(0, 255, p.data(), nullptr, w, h, 2, 3, 17, 12, 2, 0), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool inside = x >= 2 && x <= 17 && y >= 3 && y <= 12;
      EXPECT_EQ(p[y * w + x], inside ? 128 : plane[y * w + x]) << x << "," << y;
    }
  // A half mask mixes half way: (127 * 128 + 128 * v) / 255.
  p = plane;
  const std::vector<uint8_t> mask(plane.size(), 255);
  EXPECT_EQ(HighPass(0, 127, p.data(), mask.data(), w, h, 0, 0, w - 1, h - 1, 2, 0), 0);
  for (size_t i = 0; i < p.size(); ++i) EXPECT_EQ(p[i], (127 * 128 + 128 * plane[i]) / 255);
}

class FocusDrivers : public vmktest::SessionTest {
 protected:
  static constexpr int32_t kW = 48, kH = 36;
  FocusDrivers()
      : src(NoisePixels(kW, kH, 11)), dst(src), guide(Noise(kW, kH, 12)), scratch(kW * kH) {
    // A smooth picture with one hard edge, so filters have something to do.
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        const int v = x < kW / 2 ? 60 + x : 180 - y;
        src[y * kW + x] = Px(v, v / 2 + 20, 255 - v, PxByte(src[y * kW + x], 3));
        guide[y * kW + x] = static_cast<uint8_t>(v);
      }
    dst = src;
    for (auto& v : dst) v = Px(PxByte(v, 0), PxByte(v, 1), PxByte(v, 2), 7);
  }
  std::vector<uint32_t> src, dst;
  std::vector<uint8_t> guide, scratch;
};

TEST_F(FocusDrivers, ModeOneNeverTouchesByteThree) {
  auto d = dst;
  EXPECT_EQ(X_DeBlur_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(), scratch.data(),
                            kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 200, 2, 50, 3),
            0);
  EXPECT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                               scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 2,
                               80, 4),
            0);
  for (uint32_t v : d) EXPECT_EQ(PxByte(v, 3), 7);
  // Mode 0 filters byte 3 as well.
  d = dst;
  EXPECT_EQ(X_DeBlur_buffer(0, kH, kW, src.data(), d.data(), kH, kW, guide.data(), scratch.data(),
                            kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 255, 0, 50, 0),
            0);
  for (size_t i = 0; i < d.size(); ++i) EXPECT_EQ(d[i], src[i]);
}

TEST_F(FocusDrivers, HighSharpAmountZeroReturnsTheSource) {
  auto d = dst;
  EXPECT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                               scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 3,
                               0, 0),
            0);
  for (size_t i = 0; i < d.size(); ++i)
    for (int k = 0; k < 3; ++k) EXPECT_EQ(PxByte(d[i], k), PxByte(src[i], k));
}

TEST_F(FocusDrivers, RectangleIsClippedAndBoundsTheWrite) {
  auto whole = dst;
  EXPECT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), whole.data(), kH, kW, guide.data(),
                               scratch.data(), kH, kW, -10, -10, kW + 30, kH + 30, 1, 0, 0, 1.0f,
                               1.0f, 100, 2, 90, 0),
            0);
  auto part = dst;
  EXPECT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), part.data(), kH, kW, guide.data(),
                               scratch.data(), kH, kW, 5, 6, 30, 20, 1, 0, 0, 1.0f, 1.0f, 100, 2,
                               90, 0),
            0);
  bool changed = false;
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const size_t i = static_cast<size_t>(y) * kW + x;
      const bool inside = x >= 5 && x < 30 && y >= 6 && y < 20;
      EXPECT_EQ(part[i], inside ? whole[i] : dst[i]);
      changed = changed || whole[i] != dst[i];
    }
  EXPECT_TRUE(changed);
}

TEST_F(FocusDrivers, BlurOutsideEdgesMixesByOpacityAndLift) {
  auto d = dst;
  EXPECT_EQ(X_bluroutedge_buffer(0, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                                 scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 0, 5,
                                 30, 40, 0),
            0);
  EXPECT_EQ(d, src);  // opacity 0 returns the source
  // Lift 100 turns every weight to full: the plain smoothed picture.
  d = dst;
  EXPECT_EQ(X_bluroutedge_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                                 scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 5,
                                 10, 100, 0),
            0);
  for (int32_t y = 1; y < kH - 1; ++y)
    for (int32_t x = 1; x < kW - 1; ++x) {
      int sum = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) sum += PxByte(src[(y + dy) * kW + x + dx], 1);
      const int box = static_cast<int>(static_cast<float>(sum) / 9.0f + 0.5f);
      EXPECT_EQ(PxByte(d[y * kW + x], 1), box) << x << "," << y;
      EXPECT_EQ(PxByte(d[y * kW + x], 3), 7);
    }
}

// Channel k of the pixels as a packed plane, and written back.
std::vector<uint8_t> Channel(const std::vector<uint32_t>& px, int k) {
  std::vector<uint8_t> c(px.size());
  for (size_t i = 0; i < px.size(); ++i) c[i] = static_cast<uint8_t>(PxByte(px[i], k));
  return c;
}
void PutChannel(std::vector<uint32_t>& px, int k, const std::vector<uint8_t>& c) {
  for (size_t i = 0; i < px.size(); ++i) {
    const int b[4] = {PxByte(px[i], 0), PxByte(px[i], 1), PxByte(px[i], 2), PxByte(px[i], 3)};
    px[i] = Px(k == 0 ? c[i] : b[0], k == 1 ? c[i] : b[1], k == 2 ? c[i] : b[2], b[3]);
  }
}

class FocusThreads : public vmktest::SessionTest {};

TEST_F(FocusThreads, SampleMixesMatchTheirPlainFormsAtAnyThreadCount) {
  // The high pass without edges and the edge blur lifted to full weight,
  // whole picture, three channels: the blurred channel mixed sample by
  // sample with the source, as written here one sample at a time.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049}}) {
    const auto src = NoisePixels(w, h, static_cast<uint32_t>(w * 7 + h));
    std::vector<uint8_t> guide(src.size(), 90), scratch(src.size());
    auto sharp = src, edge = src;
    auto blend = SharedBlend(9);
    for (int k = 0; k < 3; ++k) {
      const auto s = Channel(src, k);
      auto p = s;
      ASSERT_EQ(X_Blur_buffer(p.data(), nullptr, w, h, 0, 0, w - 1, h - 1, 2, 1), 0);
      for (size_t i = 0; i < p.size(); ++i) {
        const int d = (p[i] - s[i]) * 80 / 50;
        const int hv = d > 128 ? 0 : (d < -127 ? 255 : 128 - d);
        p[i] = static_cast<uint8_t>((70 * blend.Row(hv)[s[i]] + 30 * s[i]) / 100);
      }
      PutChannel(sharp, k, p);
      p = s;
      ASSERT_EQ(MatrixWholePlane(w, h, p.data(), 1, 100), 0);
      ASSERT_EQ(MatrixWholePlane(w, h, p.data(), 1, 100), 0);
      const int wt = 255 * 60 / 255;
      for (size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<uint8_t>(((100 - wt) * s[i] + wt * p[i]) / 100);
      PutChannel(edge, k, p);
    }
    for (int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      auto d = src;
      ASSERT_EQ(X_HighSharp_buffer(1, h, w, src.data(), d.data(), h, w, guide.data(),
                                   scratch.data(), h, w, 0, 0, w, h, 1, 0, 0, 1.0f, 1.0f, 70, 2,
                                   80, 0),
                0);
      EXPECT_EQ(d, sharp) << w << "x" << h << " threads " << threads;
      d = src;
      ASSERT_EQ(X_bluroutedge_buffer(1, h, w, src.data(), d.data(), h, w, guide.data(),
                                     scratch.data(), h, w, 0, 0, w, h, 1, 0, 0, 1.0f, 1.0f, 60, 5,
                                     20, 100, 0),
                0);
      EXPECT_EQ(d, edge) << w << "x" << h << " threads " << threads;
    }
    plat::SetThreadCount(0);
  }
}

TEST_F(FocusThreads, HighPassBlendMatchesItsPlainFormAtAnyThreadCount) {
  // The rectangle blend runs on the threads from 65536 samples up: 300 x 300
  // and 1 x 70000 do, the odd sizes stay on one thread.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049},
                      std::pair{300, 300}, std::pair{1, 70000}}) {
    const auto plane = Noise(w, h, static_cast<uint32_t>(w + 2 * h));
    const auto mask = Noise(w, h, static_cast<uint32_t>(3 * w + h));
    auto blurred = plane;
    ASSERT_EQ(X_Blur_buffer(blurred.data(), nullptr, w, h, 0, 0, w - 1, h - 1, 3, 1), 0);
    auto blend = SharedBlend(4);
    auto want = plane;
    for (size_t i = 0; i < want.size(); ++i) {
      const int p = want[i];
      const int d = (blurred[i] - p) * 150 / 200;
      const int m = mask[i] * 200 / 255;
      const int t = blend.Row(d > 128 ? 0 : (d < -127 ? 255 : 128 - d))[p];
      want[i] = static_cast<uint8_t>((m * t + (255 - m) * p) / 255);
    }
    for (int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      auto got = plane;
      ASSERT_EQ(HighPass(3, 200, got.data(), mask.data(), w, h, 0, 0, w - 1, h - 1, 3, 150), 0);
      EXPECT_EQ(got, want) << w << "x" << h << " threads " << threads;
    }
    plat::SetThreadCount(0);
  }
}

TEST_F(FocusDrivers, FailuresLeaveTheImage) {
  auto d = dst;
  // An edge map needs its guide and scratch planes.
  EXPECT_EQ(X_bluroutedge_buffer(1, kH, kW, src.data(), d.data(), kH, kW, nullptr, scratch.data(),
                                 kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 5, 30, 40, 0),
            -1);
  EXPECT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(), nullptr, kH,
                               kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 100, 2, 50, 3),
            -1);
  EXPECT_EQ(d, dst);
}

TEST_F(FocusDrivers, RowHeldMembersMatchThePixelDrivers) {
  vmktest::RowHeld rows(4, kW, kH);
  auto fill = [&]() {
    for (int c = 0; c < 4; ++c)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) rows.at(c, x, y) = PxByte(src[y * kW + x], c);
  };
  auto same = [&](const std::vector<uint32_t>& d, int channels) {
    for (int c = 0; c < channels; ++c)
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x)
          ASSERT_EQ(rows.at(c, x, y), PxByte(d[y * kW + x], c)) << c << " " << x << "," << y;
  };
  // dst starting as src is what "in place" means for the pixel drivers.
  auto d = src;
  fill();
  ASSERT_EQ(X_DeBlur_buffer(0, kH, kW, src.data(), d.data(), kH, kW, guide.data(), scratch.data(),
                            kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 180, 2, 40, 4),
            0);
  ASSERT_EQ(X_DeBlur_reabuffer(0, kH, kW, rows.planes(), kH, kW, guide.data(), scratch.data(), kH,
                               kW, 0, 0, kW, kH, 180, 2, 40, 4),
            0);
  same(d, 4);
  d = src;
  fill();
  ASSERT_EQ(X_HighSharp_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                               scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 80, 2,
                               70, 3),
            0);
  ASSERT_EQ(X_HighSharp_reabuffer(1, kH, kW, rows.planes(), kH, kW, guide.data(), scratch.data(),
                                  kH, kW, 0, 0, kW, kH, 80, 2, 70, 3),
            0);
  same(d, 4);
  d = src;
  fill();
  ASSERT_EQ(X_bluroutedge_buffer(1, kH, kW, src.data(), d.data(), kH, kW, guide.data(),
                                 scratch.data(), kH, kW, 0, 0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 90, 4,
                                 20, 30, 40),
            0);
  ASSERT_EQ(X_bluroutedge_reabuffer(1, kH, kW, rows.planes(), kH, kW, guide.data(),
                                    scratch.data(), kH, kW, 0, 0, kW, kH, 90, 4, 20, 30, 40),
            0);
  same(d, 4);
}

}  // namespace
