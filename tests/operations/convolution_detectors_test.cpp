#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;
using Map = std::vector<int32_t>;

class ConvolutionDetectors : public vmktest::SessionTest {};

TEST_F(ConvolutionDetectors, KernelResponses) {
  const Plane flat(5 * 5, 77);
  for (int16_t kind = 0; kind <= 10; ++kind) {
    int32_t v = -1;
    Effects::Convolve_Pixel(1, 5, 5, flat.data(), 2, 2, kind, &v);
    EXPECT_EQ(v, 0) << kind;  // kind 5 too: a byte plane has no mean
  }
  // A 3 x 3 patch 1 2 3 / 4 6 6 / 7 8 10.
  const Plane patch = {1, 2, 3, 4, 6, 6, 7, 8, 10};
  auto at = [&](int16_t kind) {
    int32_t v = -1;
    Effects::Convolve_Pixel(1, 3, 3, patch.data(), 1, 1, kind, &v);
    return v;
  };
  const int h = (3 + 6 + 10) - (1 + 4 + 7), vert = (7 + 8 + 10) - (1 + 2 + 3);
  EXPECT_EQ(at(0), h + vert);
  EXPECT_EQ(at(1), h * h);
  EXPECT_EQ(at(8), h * h);
  EXPECT_EQ(at(2), h);
  EXPECT_EQ(at(6), h);
  EXPECT_EQ(at(3), ((3 + 12 + 10) - (1 + 8 + 7)) + ((7 + 16 + 10) - (1 + 4 + 3)));
  EXPECT_EQ(at(4), 4);
  EXPECT_EQ(at(7), vert);
  EXPECT_EQ(at(9), vert * vert);
  // Kind 5 averages 32-bit words.
  const uint32_t words[9] = {9, 18, 27, 36, 45, 54, 63, 72, 4000000000u};
  int32_t mean = 0;
  Effects::Convolve_Pixel(4, 3, 3, words, 1, 1, 5, &mean);
  EXPECT_EQ(mean, static_cast<int32_t>((324LL + 4000000000LL) / 9));
  // The border itself is never a kernel centre.
  int32_t edge = -1;
  Effects::Convolve_Pixel(1, 3, 3, patch.data(), 0, 1, 0, &edge);
  EXPECT_EQ(edge, 0);
}

TEST_F(ConvolutionDetectors, ResponseMapBordersMixAndContrast) {
  const int w = 5, h = 5;
  Plane dot(w * h, 0);
  dot[2 * w + 2] = 255;
  Map map(w * h, 0);
  int32_t maximum = 0;
  ASSERT_EQ(Effects::Conv_Detect(1, w, h, dot.data(), map.data(), &maximum, 4, 100, 0, 0, 0,
                                 w - 1, h - 1),
            0);
  EXPECT_EQ(map[2 * w + 2], 1020);
  for (const int i : {1 * w + 2, 3 * w + 2, 2 * w + 1, 2 * w + 3}) EXPECT_EQ(map[i], 255) << i;
  EXPECT_EQ(maximum, 1020);
  // Row 0 and column 0 take the responses of row 1 and column 1, the last
  // row and column those of their inner neighbours.
  EXPECT_EQ(map[0 * w + 2], map[1 * w + 2]);
  EXPECT_EQ(map[2 * w + 0], map[2 * w + 1]);
  EXPECT_EQ(map[4 * w + 2], map[3 * w + 2]);
  EXPECT_EQ(map[2 * w + 4], map[2 * w + 3]);
  // Mixing by percent with what the map held.
  Map mixed(w * h, 100);
  int32_t m2 = 0;
  ASSERT_EQ(Effects::Conv_Detect(1, w, h, dot.data(), mixed.data(), &m2, 4, 30, 0, 2, 2, 2, 2),
            0);
  EXPECT_EQ(mixed[2 * w + 2], (30 * 1020 + 70 * 100) / 100);
  EXPECT_EQ(mixed[0], 100);
  // A maximum below 255 makes the step 1, not 0, and values past the table
  // read its last entry: contrast 50 turns 1020 into 255.
  Map contrasted(w * h, 0);
  int32_t m3 = 100;
  ASSERT_EQ(Effects::Conv_Detect(1, w, h, dot.data(), contrasted.data(), &m3, 4, 100, 50, 0, 0,
                                 w - 1, h - 1),
            0);
  EXPECT_EQ(contrasted[2 * w + 2], 255);
  EXPECT_EQ(contrasted[0], 0);
}

TEST_F(ConvolutionDetectors, ConvolutionStretchesAndColoursTheMap) {
  // A ramp painting entry j as j.
  Plane ramp(5 * 256);
  for (int j = 0; j < 256; ++j) {
    ramp[j] = 255;
    for (int k = 1; k < 5; ++k) ramp[k * 256 + j] = static_cast<unsigned char>(j);
  }
  const int w = 6, h = 4;
  Plane step(w * h);
  for (int i = 0; i < w * h; ++i) step[i] = i % w < 3 ? 0 : 90;
  Plane p = step;
  ASSERT_EQ(Effects::Convolution(0, 255, 1, p.data(), nullptr, nullptr, nullptr, h, w, 0, 0,
                                 w - 1, h - 1, ramp.data(), 2, 0, 0, 0),
            0);
  for (int i = 0; i < w * h; ++i) EXPECT_EQ(p[i], i % w == 2 || i % w == 3 ? 255 : 0) << i;
  // A uniform picture has no response: everything takes ramp entry 0.
  Plane r(w * h, 80), g(w * h, 160), b(w * h, 240);
  ASSERT_EQ(Effects::Convolution(0, 255, 3, r.data(), g.data(), b.data(), nullptr, h, w, 0, 0,
                                 w - 1, h - 1, ramp.data(), 0, 0, 0, 0),
            0);
  EXPECT_EQ(r, Plane(w * h, 0));
  EXPECT_EQ(b, Plane(w * h, 0));
  // Refused memory or a missing plane: nothing changes.
  p = step;
  EXPECT_EQ(Effects::Convolution(0, 255, 3, p.data(), nullptr, nullptr, nullptr, h, w, 0, 0,
                                 w - 1, h - 1, ramp.data(), 2, 0, 0, 0),
            -1);
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::Convolution(0, 255, 1, p.data(), nullptr, nullptr, nullptr, h, w, 0, 0,
                                 w - 1, h - 1, ramp.data(), 2, 3, 10, 10),
            -1);
  EXPECT_EQ(p, step);
}

}  // namespace
