#include "raster/tone_lut.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "support/pixels.h"

namespace {

uint32_t Pixel(int b0, int b1, int b2, int b3) { return vmktest::Px(b0, b1, b2, b3); }
int Byte(uint32_t p, int k) { return vmktest::PxByte(p, k); }

struct Luts {
  int16_t t[4][256];
  Luts() {
    for (int i = 0; i < 256; ++i) {
      t[0][i] = static_cast<int16_t>(255 - i);  // inversion
      t[1][i] = static_cast<int16_t>(i);        // identity
      t[2][i] = static_cast<int16_t>(i + 300);  // overflows the byte
      t[3][i] = 0;
    }
  }
};

TEST(LookUp, TablesMaskAndRectangle) {
  Luts l;
  const std::vector<uint32_t> src = {Pixel(10, 20, 30, 40), Pixel(200, 100, 50, 0),
                                     Pixel(1, 2, 3, 4), Pixel(5, 6, 7, 8)};
  // Without a mask byte k takes the low byte of its table's entry.
  std::vector<uint32_t> dst(4, 0);
  EXPECT_EQ(X_lut_buffer(2, 2, src.data(), dst.data(), 0, 0, 2, 1, nullptr, 100, l.t[0], l.t[1],
                         l.t[2], l.t[3]),
            0);
  EXPECT_EQ(dst[0], Pixel(245, 20, (30 + 300) & 0xFF, 0));
  EXPECT_EQ(dst[1], Pixel(55, 100, (50 + 300) & 0xFF, 0));
  EXPECT_EQ(dst[2], 0u);  // outside the rectangle (bottom exclusive)

  // Mask 8192 returns the source, mask 0 the tables' output (clamped to 255).
  const std::vector<int16_t> keep(4, 8192), apply(4, 0);
  dst.assign(4, 0);
  X_lut_buffer(2, 2, src.data(), dst.data(), 0, 0, 2, 2, keep.data(), 0, l.t[0], l.t[1], l.t[2],
               l.t[3]);
  EXPECT_EQ(dst, src);
  X_lut_buffer(2, 2, src.data(), dst.data(), 0, 0, 2, 2, apply.data(), 0, l.t[0], l.t[1], l.t[2],
               l.t[3]);
  EXPECT_EQ(dst[0], Pixel(245, 20, 255, 0));
  // Half way: (lut * 4096 + s * 4096) >> 13.
  const std::vector<int16_t> half(4, 4096);
  X_lut_buffer(2, 2, src.data(), dst.data(), 0, 0, 2, 2, half.data(), 0, l.t[0], l.t[1], l.t[2],
               l.t[3]);
  EXPECT_EQ(Byte(dst[1], 0), (55 + 200) / 2);
  EXPECT_EQ(Byte(dst[1], 3), 0);

  // No tables at all: a plain copy whatever the mask, also in place.
  std::vector<uint32_t> same = src;
  X_lut_buffer(2, 2, same.data(), same.data(), 0, 0, 2, 2, apply.data(), 0, nullptr, nullptr,
               nullptr, nullptr);
  EXPECT_EQ(same, src);
  // Identity tables with any mask reproduce the source.
  int16_t id[256];
  for (int i = 0; i < 256; ++i) id[i] = static_cast<int16_t>(i);
  const std::vector<int16_t> odd = {0, 1000, 5000, 8192};
  X_lut_buffer(2, 2, src.data(), dst.data(), 0, 0, 2, 2, odd.data(), 0, id, id, id, id);
  EXPECT_EQ(dst, src);
}

TEST(Histogram, CountsAndSinglePixel) {
  const std::vector<uint32_t> buf = {Pixel(0, 0, 0, 9), Pixel(3, 6, 9, 9), Pixel(3, 0, 0, 9),
                                     Pixel(255, 255, 254, 9)};
  int32_t h0[256], h1[256], h2[256], hm[256];
  int32_t m0 = -1, m1 = -1, m2 = -1, mm = -1, total = -1;
  EXPECT_EQ(X_histo_buffer(2, 2, buf.data(), 0, 0, 1, 1, h0, h1, h2, hm, &m0, &m1, &m2, &mm, &total),
            0);
  EXPECT_EQ(total, 4);
  EXPECT_EQ(h0[3], 2);
  EXPECT_EQ(m0, 2);
  EXPECT_EQ(h1[0], 2);
  EXPECT_EQ(hm[6], 1);
  EXPECT_EQ(hm[1], 1);
  EXPECT_EQ(hm[254], 1);  // (255 + 255 + 254) / 3 truncates
  EXPECT_EQ(mm, 1);

  EXPECT_EQ(X_histo_buffer(2, 2, buf.data(), 1, 1, 1, 1, h0, h1, h2, hm, &m0, &m1, &m2, &mm, &total),
            0);
  EXPECT_EQ(total, 1);
  EXPECT_EQ(h0[255], 1);
  EXPECT_EQ(h1[255], 1);
  EXPECT_EQ(h2[254], 1);
  EXPECT_EQ(hm[254], 1);

  // No row at all: tables cleared, maxima and total untouched.
  total = 42;
  m0 = 43;
  EXPECT_EQ(X_histo_buffer(2, 2, buf.data(), 0, 1, 1, 0, h0, h1, h2, hm, &m0, &m1, &m2, &mm, &total),
            0);
  EXPECT_EQ(total, 42);
  EXPECT_EQ(m0, 43);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(h0[i] + h1[i] + h2[i] + hm[i], 0);
}

TEST(CurveSmoothing, KeepsGivenGridAndLinearRamps) {
  // Every grid position given: the values come back unchanged.
  std::vector<int32_t> keys(17);
  std::vector<float> values(17);
  for (int i = 0; i < 17; ++i) {
    // Neighbours given swapped; one bubble pass puts them in order.
    keys[i] = i == 16 ? 16 : (i ^ 1);
    values[i] = static_cast<float>(keys[i] * keys[i]) / 10.0f;
  }
  std::vector<float> out(17, -1.0f);
  EXPECT_EQ(Y_lissage(4, values.data(), 17, keys.data(), out.data()), 0);
  for (int i = 0; i < 17; ++i) {
    EXPECT_EQ(keys[i], i);
    EXPECT_FLOAT_EQ(out[i], static_cast<float>(i * i) / 10.0f);
  }

  // Three points on a line: the smoothed curve is that line.
  int32_t k3[3] = {0, 64, 32};
  float v3[3] = {0.0f, 1.0f, 0.5f};
  std::vector<float> curve(65);
  EXPECT_EQ(Y_lissage(6, v3, 3, k3, curve.data()), 0);
  for (int i = 0; i <= 64; ++i) EXPECT_NEAR(curve[i], i / 64.0f, 1e-4) << i;

  // A bump between fixed ends stays smooth and inside sensible bounds.
  int32_t kb[3] = {0, 8, 16};
  float vb[3] = {0.0f, 1.0f, 0.0f};
  std::vector<float> bump(17);
  EXPECT_EQ(Y_lissage(4, vb, 3, kb, bump.data()), 0);
  EXPECT_FLOAT_EQ(bump[8], 1.0f);
  EXPECT_FLOAT_EQ(bump[0], 0.0f);
  EXPECT_GT(bump[4], 0.3f);
  EXPECT_LT(bump[4], bump[8]);
}

TEST(CurveSmoothing, RefusesBadArguments) {
  int32_t keys[2] = {0, 4};
  float values[2] = {0.0f, 1.0f};
  std::vector<float> out(200, -7.0f);
  EXPECT_EQ(Y_lissage(1, values, 2, keys, out.data()), -1);
  EXPECT_EQ(Y_lissage(7, values, 2, keys, out.data()), -1);
  EXPECT_EQ(Y_lissage(2, values, 0, keys, out.data()), -1);
  int32_t far[2] = {0, 5};  // beyond 2^2
  EXPECT_EQ(Y_lissage(2, values, 2, far, out.data()), -1);
  int32_t negative[2] = {-1, 3};
  EXPECT_EQ(Y_lissage(2, values, 2, negative, out.data()), -1);
  for (float v : out) ASSERT_EQ(v, -7.0f);
}

TEST(CurveWidening, LinearRampStaysLinear) {
  float in[64];
  for (int i = 0; i < 64; ++i) in[i] = static_cast<float>(i) * 4.0f;
  float out[256];
  EXPECT_EQ(Y_interpolation_64_256(in, out), 0);
  for (int i = 0; i < 256; ++i) EXPECT_FLOAT_EQ(out[i], static_cast<float>(i)) << i;
  // A curve that bends in its last group extrapolates from the last two.
  in[63] = 250.0f;
  Y_interpolation_64_256(in, out);
  EXPECT_FLOAT_EQ(out[252], 250.0f);
  EXPECT_FLOAT_EQ(out[255], 250.0f + 0.75f * (250.0f - 248.0f));
}

}  // namespace
