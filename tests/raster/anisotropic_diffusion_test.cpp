#include "raster/anisotropic_diffusion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/random/random.h"
#include "support/pixels.h"
#include "support/session.h"

namespace {

using vmktest::Px;
using vmktest::PxByte;

// One pass written plainly, with an exp (or a division) per neighbour.
void ReferencePass(std::vector<uint8_t>& p, int32_t w, int32_t h, int mode, float k) {
  std::vector<uint8_t> out = p;
  auto g = [&](int d) {
    const double r = static_cast<double>(d) / static_cast<double>(k);
    return mode == 0 ? std::exp(-(r * r)) : 1.0 / (1.0 + r * r);
  };
  for (int32_t y = 1; y < h - 1; ++y)
    for (int32_t x = 1; x < w - 1; ++x) {
      const int c = p[y * w + x];
      const int dN = p[(y - 1) * w + x] - c, dS = p[(y + 1) * w + x] - c;
      const int dW = p[y * w + x - 1] - c, dE = p[y * w + x + 1] - c;
      const double s = g(dS) * dS + g(dN) * dN + g(dE) * dE + g(dW) * dW;
      int v = c + static_cast<int>(0.25 * s);
      out[y * w + x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
    }
  p = out;
}

class Diffusion : public vmktest::SessionTest {};

TEST_F(Diffusion, OneStepByHand) {
  std::vector<uint8_t> p = {0, 0, 0, 0, 100, 0, 0, 0, 0};
  auto q = p;
  AnisotropicDiffusion(3, 3, p.data(), 1, 1, 100.0f);
  EXPECT_EQ(p[4], 50);  // g = 1/2 for every neighbour: 100 - 0.25 * 4 * 50
  AnisotropicDiffusion(3, 3, q.data(), 0, 1, 100.0f);
  EXPECT_EQ(q[4], 64);  // 100 - trunc(100 / e)
  EXPECT_EQ(q[0], 0);
}

TEST_F(Diffusion, NeutralCasesChangeNothing) {
  std::vector<uint8_t> flat(11 * 7, 93);
  AnisotropicDiffusion(11, 7, flat.data(), 0, 5, 10.0f);
  EXPECT_EQ(flat, std::vector<uint8_t>(11 * 7, 93));
  plat::SeedRandom(3);
  std::vector<uint8_t> p(12 * 9);
  for (auto& v : p) v = static_cast<uint8_t>(plat::Random() % 256);
  const auto before = p;
  AnisotropicDiffusion(12, 9, p.data(), 0, 0, 10.0f);  // no passes
  AnisotropicDiffusion(12, 9, p.data(), 2, 3, 10.0f);  // unknown mode
  AnisotropicDiffusion(2, 54, p.data(), 0, 3, 10.0f);  // no interior sample
  AnisotropicDiffusion(12, 9, p.data(), 0, 3, std::nanf(""));
  EXPECT_EQ(p, before);
  // K = 0: conduction vanishes everywhere, without a division by zero.
  AnisotropicDiffusion(12, 9, p.data(), 1, 3, 0.0f);
  EXPECT_EQ(p, before);
}

TEST_F(Diffusion, TableMatchesTheDirectFormOnNonSquarePlanes) {
  for (int mode : {0, 1})
    for (float k : {3.0f, 15.5f, 60.0f}) {
      const int32_t w = 31, h = 13;
      plat::SeedRandom(static_cast<uint32_t>(k * 10) + mode);
      std::vector<uint8_t> p(w * h);
      for (auto& v : p) v = static_cast<uint8_t>(plat::Random() % 256);
      auto ref = p;
      for (int i = 0; i < 3; ++i) ReferencePass(ref, w, h, mode, k);
      AnisotropicDiffusion(w, h, p.data(), static_cast<int16_t>(mode), 3, k);
      EXPECT_EQ(p, ref) << mode << " " << k;
    }
}

TEST_F(Diffusion, ExponentialConductionKeepsEdgesBetter) {
  const int32_t w = 16, h = 8;
  std::vector<uint8_t> e(w * h), r;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) e[y * w + x] = x < 8 ? 40 : 200;
  r = e;
  AnisotropicDiffusion(w, h, e.data(), 0, 10, 60.0f);
  AnisotropicDiffusion(w, h, r.data(), 1, 10, 60.0f);
  EXPECT_EQ(e[3 * w + 7], 40);  // g = exp(-7.1): less than a level crosses
  EXPECT_GT(r[3 * w + 7], 40);
  EXPECT_LT(r[3 * w + 8], 200);
}

TEST_F(Diffusion, PixelDriverChannelsAndRectangle) {
  const int32_t w = 8, h = 6;
  std::vector<uint32_t> src(w * h), dst(w * h, Px(1, 2, 3, 4));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) src[y * w + x] = Px(x * 30, 100, y * 40, 250);
  EXPECT_EQ(X_Aniso_buffer(0, h, w, src.data(), dst.data(), 2, 1, 5, 4, 0, 2, 30), 0);
  std::vector<uint8_t> red(w * h);
  for (int32_t i = 0; i < w * h; ++i) red[i] = static_cast<uint8_t>(PxByte(src[i], 0));
  AnisotropicDiffusion(w, h, red.data(), 0, 2, 30.0f);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t v = dst[y * w + x];
      if (x >= 2 && x <= 5 && y >= 1 && y < 4) {  // right inclusive, bottom exclusive
        EXPECT_EQ(PxByte(v, 0), red[y * w + x]);
        EXPECT_EQ(PxByte(v, 1), 100);
      } else {
        EXPECT_EQ(PxByte(v, 0), 1);
      }
      EXPECT_EQ(PxByte(v, 3), 4);
    }
  // A right edge at the image's width is held inside it.
  EXPECT_EQ(X_Aniso_buffer(0, h, w, src.data(), dst.data(), 0, 0, w, h, 0, 1, 30), 0);
  EXPECT_EQ(PxByte(dst[w - 1], 0), PxByte(src[w - 1], 0));
}

TEST_F(Diffusion, InfluenceFunctionsAndVolume) {
  EXPECT_DOUBLE_EQ(tukeyPsi(1.0, 2.0), 1.0 * 0.75 * 0.75);
  EXPECT_EQ(tukeyPsi(2.5, 2.0), 0.0);
  EXPECT_EQ(linearPsi(-3.0), -6.0);
  EXPECT_DOUBLE_EQ(lorentzianPsi(2.0, 1.0), 4.0 / 6.0);
  // In-place scan order: the second sample already sees the first moved.
  std::vector<uint8_t> v = {0, 30, 0};
  Caniso3(v.data(), 3, 1, 1, 2, 1.0, 1, 4.0);
  EXPECT_EQ(v, (std::vector<uint8_t>{15, 7, 3}));
  std::vector<uint8_t> cube(4 * 3 * 2, 77);
  Caniso3(cube.data(), 4, 3, 2, 0, 10.0, 4, 2.0);
  EXPECT_EQ(cube, std::vector<uint8_t>(24, 77));
  v = {0, 30, 0};
  Caniso3(v.data(), 3, 1, 1, 5, 1.0, 1, 4.0);  // unknown influence mode
  EXPECT_EQ(v, (std::vector<uint8_t>{0, 30, 0}));
}

}  // namespace
