#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

// A ramp whose opacity row is `opacity` and whose channel row k + 1 holds
// entry j + 20 k (wrapping), so the painted value tells the entry.
Plane Ramp(int opacity = 255) {
  Plane t(5 * 256);
  for (int j = 0; j < 256; ++j) {
    t[j] = static_cast<unsigned char>(opacity);
    for (int k = 0; k < 4; ++k) t[(k + 1) * 256 + j] = static_cast<unsigned char>(j + 20 * k);
  }
  return t;
}

class LuminanceRamps : public vmktest::SessionTest {};

TEST_F(LuminanceRamps, TheTwoFormsShiftTheRampDifferently) {
  const Plane ramp = Ramp();
  // Planar: s + i, less 255 past 255.
  const Plane greys = {246, 245, 0, 128};
  Plane t(4, 33);
  ASSERT_EQ(Effects::LutToColor(0, 255, greys.data(), nullptr, nullptr, nullptr, 2, 2, t.data(),
                                nullptr, nullptr, nullptr, 2, 2, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1,
                                nullptr, ramp.data(), 10, 255),
            0);
  EXPECT_EQ(t, (Plane{1, 255, 10, 138}));
  // Interleaved: i - s from s on, i below it.
  const Plane low = {10, 9, 255, 0};
  ASSERT_EQ(Effects::LutToColor(0, 255, low.data(), 2, 2, t.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1,
                                1, 1, 1, 1, nullptr, ramp.data(), 10, 255),
            0);
  EXPECT_EQ(t, (Plane{0, 9, 245, 0}));
  // Shifts beyond the ramp are held to 255: every grey but 0 maps to
  // itself.
  ASSERT_EQ(Effects::LutToColor(0, 255, greys.data(), nullptr, nullptr, nullptr, 2, 2, t.data(),
                                nullptr, nullptr, nullptr, 2, 2, 0, 0, 1, 1, 0, 0, 1, 1, 1, 1, 1,
                                nullptr, ramp.data(), 300, 255),
            0);
  EXPECT_EQ(t, (Plane{246, 245, 255, 128}));
  // The channel choice of a one-channel interleaved target: the mean of
  // rows 1 to 3, or the row chosen.
  ASSERT_EQ(Effects::LutToColor(0, 255, low.data(), 2, 2, t.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1,
                                1, 1, 1, 0, nullptr, ramp.data(), 0, 255),
            0);
  EXPECT_EQ(t[0], 30);
  ASSERT_EQ(Effects::LutToColor(0, 255, low.data(), 2, 2, t.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1,
                                1, 1, 1, 4, nullptr, ramp.data(), 0, 255),
            0);
  EXPECT_EQ(t[0], 70);
}

TEST_F(LuminanceRamps, OpacityStrengthInksAndRefusals) {
  const Plane greys = {0, 60, 120, 250, 7, 8};
  const Plane before = {5, 50, 100, 150, 200, 250};
  // A ramp of no opacity leaves the target.
  Plane t = before;
  ASSERT_EQ(Effects::LutToColor(0, 255, greys.data(), nullptr, nullptr, nullptr, 2, 3, t.data(),
                                nullptr, nullptr, nullptr, 2, 3, 0, 0, 2, 1, 0, 0, 2, 1, 1, 1, 1,
                                nullptr, Ramp(0).data(), 0, 255),
            0);
  EXPECT_EQ(t, before);
  // Strength 102 of a full ramp: (153 * old + 102 * colour) / 255.
  ASSERT_EQ(Effects::LutToColor(0, 255, greys.data(), nullptr, nullptr, nullptr, 2, 3, t.data(),
                                nullptr, nullptr, nullptr, 2, 3, 0, 0, 2, 1, 0, 0, 2, 1, 1, 1, 1,
                                nullptr, Ramp().data(), 0, 102),
            0);
  EXPECT_EQ(t[1], (153 * 50 + 102 * 60) / 255);
  // A CMYK target takes yellow, magenta, cyan and black of a red ramp.
  Plane red(5 * 256, 0);
  std::fill(red.begin(), red.begin() + 512, 255);
  Plane p0(4, 1), p1(4, 1), p2(4, 1), p3(4, 1);
  const Plane g4 = {3, 4, 5, 6};
  ASSERT_EQ(Effects::LutToColor(0, 255, g4.data(), nullptr, nullptr, nullptr, 2, 2, p0.data(),
                                p1.data(), p2.data(), p3.data(), 2, 2, 0, 0, 1, 1, 0, 0, 1, 1, 0,
                                1, 4, nullptr, red.data(), 0, 255),
            0);
  EXPECT_EQ(p0, Plane(4, 255));  // yellow
  EXPECT_EQ(p1, Plane(4, 255));  // magenta
  EXPECT_EQ(p2, Plane(4, 0));    // cyan
  EXPECT_EQ(p3, Plane(4, 0));    // black
  // Regions of one row cannot be mapped: nothing is painted.
  t = before;
  EXPECT_EQ(Effects::LutToColor(0, 255, greys.data(), nullptr, nullptr, nullptr, 2, 3, t.data(),
                                nullptr, nullptr, nullptr, 2, 3, 0, 0, 2, 1, 0, 1, 2, 1, 1, 1, 1,
                                nullptr, Ramp().data(), 0, 255),
            -1);
  EXPECT_EQ(Effects::LutToColor(0, 255, greys.data(), 2, 3, t.data(), 2, 3, 0, 0, 2, 0, 0, 0, 2,
                                1, 1, 1, 1, 0, nullptr, Ramp().data(), 0, 255),
            -1);
  EXPECT_EQ(Effects::Shadow(0, 255, greys.data(), 2, 3, t.data(), 2, 3, 1, 0, 1, 1, 0, 0, 2, 1,
                            1, 1, 1, nullptr, 2, 3000, -3000, Ramp().data(), 0, 255),
            -1);
  EXPECT_EQ(t, before);
}

TEST_F(LuminanceRamps, ShadowPaintsTheBlurredShiftedGrey) {
  const int w = 12, h = 9;
  Plane src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = static_cast<unsigned char>((i * 37) % 256);
  const Plane ramp = Ramp();
  // Offset (0, 0): the ramp of the source's own grey, blurred.
  Plane blurred = src;
  ASSERT_EQ(Effects::Blur(0, 255, blurred.data(), nullptr, w, h, 0, 0, w - 1, h - 1, 2, 1), 0);
  Plane expected(w * h, 40), got(w * h, 40);
  ASSERT_EQ(Effects::LutToColor(0, 255, blurred.data(), nullptr, nullptr, nullptr, h, w,
                                expected.data(), nullptr, nullptr, nullptr, h, w, 0, 0, w - 1,
                                h - 1, 0, 0, w - 1, h - 1, 1, 1, 1, nullptr, ramp.data(), 5, 255),
            0);
  ASSERT_EQ(Effects::Shadow(0, 255, src.data(), nullptr, nullptr, nullptr, h, w, got.data(),
                            nullptr, nullptr, nullptr, h, w, 0, 0, w - 1, h - 1, 0, 0, w - 1,
                            h - 1, 1, 1, 1, nullptr, 2, 0, 0, ramp.data(), 5, 255),
            0);
  EXPECT_EQ(got, expected);
  // Offsets wrap by the region's extent less one, as often as needed:
  // 1000 across 12 columns (period 11) lands where 10 does, -1000 across 9
  // rows (period 8) where -8 does; coordinates already inside stay.
  Plane far(w * h, 40), near(w * h, 40);
  ASSERT_EQ(Effects::Shadow(0, 255, src.data(), h, w, far.data(), h, w, 0, 0, w - 1, h - 1, 0, 0,
                            w - 1, h - 1, 1, 1, 1, nullptr, 1, 1000, -1000, ramp.data(), 0, 255),
            0);
  ASSERT_EQ(Effects::Shadow(0, 255, src.data(), h, w, near.data(), h, w, 0, 0, w - 1, h - 1, 0,
                            0, w - 1, h - 1, 1, 1, 1, nullptr, 1, 10, -8, ramp.data(), 0, 255),
            0);
  EXPECT_EQ(far, near);
}

TEST_F(LuminanceRamps, ContrExpGrowsAndShrinksTheBrightShapes) {
  const int w = 15, h = 15;
  // No pixel above 128: the border stands in for the edge and the shapes
  // are turned over: border weight 0, inside 255 - 155.
  Plane dark(w * h, 100), t(w * h, 50);
  ASSERT_EQ(Effects::ContrExp(0, 0, 255, dark.data(), h, w, t.data(), 0, 0, 0, 0, w - 1, h - 1,
                              0, 0, 0, 0, 0, 1, 1, 1, nullptr, 200, 255),
            0);
  EXPECT_EQ(t[0], 50);
  EXPECT_EQ(t[7 * w + 7], (155 * 50 + 100 * 200) / 255);

  // Growing a bright 3 x 3 block by radius 3 paints the discs about its
  // edge pixels and, with background flag 0, nothing else.
  Plane block(w * h, 10);
  for (int y = 6; y <= 8; ++y)
    for (int x = 6; x <= 8; ++x) block[y * w + x] = 240;
  t.assign(w * h, 50);
  ASSERT_EQ(Effects::ContrExp(1, 0, 255, block.data(), h, w, t.data(), 0, 0, 0, 0, w - 1, h - 1,
                              0, 0, 0, 0, 0, 1, 1, 3, nullptr, 200, 255),
            0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      bool near = false;
      for (int ey = 6; ey <= 8; ++ey)
        for (int ex = 6; ex <= 8; ++ex)
          if (!(ex == 7 && ey == 7) && (x - ex) * (x - ex) + (y - ey) * (y - ey) < 9) near = true;
      EXPECT_EQ(t[y * w + x], near ? 200 : 50) << x << "," << y;
    }
  }
  // With background flag 1 the rest goes to 0.
  t.assign(w * h, 50);
  ASSERT_EQ(Effects::ContrExp(1, 0, 255, block.data(), h, w, t.data(), 0, 0, 0, 0, w - 1, h - 1,
                              0, 0, 0, 0, 1, 1, 1, 3, nullptr, 200, 255),
            0);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[7 * w + 7], 200);
  // Only one-channel sources are read.
  t.assign(w * h, 50);
  EXPECT_EQ(Effects::ContrExp(1, 0, 255, block.data(), h, w, t.data(), 0, 0, 0, 0, w - 1, h - 1,
                              0, 0, 0, 0, 1, 3, 1, 3, nullptr, 200, 255),
            -1);
  EXPECT_EQ(Effects::Outline(0, 255, block.data(), h, w, t.data(), 0, 0, 0, 0, w - 1, h - 1, 0, 0,
                             0, 0, 3, 1, 2, nullptr, 200, 255),
            -1);
  EXPECT_EQ(t, Plane(w * h, 50));
}

TEST_F(LuminanceRamps, OutlineMixesByTheDifferenceFromTheDilation) {
  const int w = 9, h = 7, r = 1;
  Plane src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = static_cast<unsigned char>((i * 53) % 256);
  const Plane before(w * h, 120);
  Plane t = before;
  ASSERT_EQ(Effects::Outline(0, 255, src.data(), h, w, t.data(), 0, 0, 1, 1, 7, 5, 0, 0, 0, 0,
                             1, 1, r, nullptr, 30, 200),
            0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int i = y * w + x;
      if (x < 1 || x > 7 || y < 1 || y > 5) {
        EXPECT_EQ(t[i], 120);
        continue;
      }
      const int kx = std::min({r, x - 1, 7 - x}), ky = std::min({r, y - 1, 5 - y});
      int dilated = 0;
      for (int j = -ky; j <= ky; ++j)
        for (int k = -kx; k <= kx; ++k) dilated = std::max<int>(dilated, src[(y + j) * w + x + k]);
      const int b = std::abs(255 - dilated - src[i]);
      const int tinted = (55 * 120 + 200 * 30) / 255;
      EXPECT_EQ(t[i], std::clamp((120 * b + tinted * (255 - b)) / 255, 0, 255)) << x << "," << y;
    }
  }
}

}  // namespace
