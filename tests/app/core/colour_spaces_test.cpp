#include "app/core/colour_spaces.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace {

int Blend(uint32_t mode, int a, int b) {
  unsigned char out = 77;
  X_optionRPart(&out, mode, a, b);
  return out;
}

TEST(BlendKernel, PinnedModeResults) {
  EXPECT_EQ(Blend(1, 10, 200), 200);
  EXPECT_EQ(Blend(2, 200, 100), 255);
  EXPECT_EQ(Blend(3, 100, 200), 0);
  EXPECT_EQ(Blend(4, 30, 40), 40);
  EXPECT_EQ(Blend(5, 30, 40), 30);
  EXPECT_EQ(Blend(6, 10, 250), 240);
  EXPECT_EQ(Blend(7, 128, 128), 64);
  // Product of complements, not complemented again.
  EXPECT_EQ(Blend(8, 0, 0), 255);
  EXPECT_EQ(Blend(8, 255, 17), 0);
  EXPECT_EQ(Blend(8, 17, 255), 0);
  EXPECT_EQ(Blend(8, 128, 128), 63);
  // Mode 10 limits the dark branch to 255 and reaches white from both sides.
  EXPECT_EQ(Blend(10, 255, 128), 255);
  EXPECT_EQ(Blend(10, 255, 129), 255);
  for (int b = 0; b <= 128; ++b) EXPECT_EQ(Blend(10, 0, b), 0) << b;
  EXPECT_EQ(Blend(10, 100, 200), 255 - 155 * 111 / 255);
}

TEST(BlendKernel, NeutralBlendValueKeepsBase) {
  for (int a = 0; a < 256; a += 17) {
    EXPECT_EQ(Blend(9, a, 128), a);
    EXPECT_EQ(Blend(11, a, 128), a);
    EXPECT_EQ(Blend(12, a, 128), a);
  }
}

TEST(BlendKernel, TruncationAndClamping) {
  // Mode 11 truncates the negative quotient toward zero: 3 * -1 / 128 is 0.
  EXPECT_EQ(Blend(11, 3, 127), 3);
  EXPECT_EQ(Blend(11, 200, 255), 255);
  EXPECT_EQ(Blend(11, 200, 0), 0);
  // Mode 9 darkens below 128 and lightens above, clamped.
  EXPECT_EQ(Blend(9, 128, 0), 128 - 127 * 128 * 128 / 32640);
  EXPECT_EQ(Blend(9, 128, 255), 128 + 127 * 128 * 127 / 32640);
  EXPECT_EQ(Blend(12, 0, 255), 254);
  EXPECT_EQ(Blend(12, 255, 255), 1);
}

TEST(BlendKernel, UnknownModesWriteNothing) {
  EXPECT_EQ(Blend(0, 10, 20), 77);
  EXPECT_EQ(Blend(13, 10, 20), 77);
  EXPECT_EQ(Blend(0xFFFFFFFFu, 10, 20), 77);
}

TEST(BlendKernel, ThreeChannelVariant) {
  unsigned char r = 1, g = 2, b = 3;
  X_optionRGBPart(&r, &g, &b, 6, nullptr, 10, 100, 200, 250, 50, 200);
  EXPECT_EQ(r, 240);
  EXPECT_EQ(g, 50);
  EXPECT_EQ(b, 0);
  const int16_t shift[6] = {100, 100, 100, 150, 50, 100};
  X_optionRGBPart(&r, &g, &b, 10, shift, 0, 0, 0, 20, 230, 77);
  EXPECT_EQ(r, 0);    // 20 - 50 clamped
  EXPECT_EQ(g, 255);  // 230 + 50 clamped
  EXPECT_EQ(b, 77);
  r = g = b = 9;
  X_optionRGBPart(&r, &g, &b, 11, shift, 1, 2, 3, 4, 5, 6);
  X_optionRGBPart(&r, &g, &b, 0, shift, 1, 2, 3, 4, 5, 6);
  EXPECT_EQ(r, 9);
  EXPECT_EQ(g, 9);
  EXPECT_EQ(b, 9);
}

TEST(ColourSpaces, HlsAndHsvOfGreys) {
  float h = 1, l = 1, s = 1;
  RGBtoHLS(0.5f, 0.5f, 0.5f, &h, &l, &s);
  EXPECT_EQ(h, 0.0f);
  EXPECT_EQ(s, 0.0f);
  EXPECT_FLOAT_EQ(l, 0.5f);
  float v = 1;
  RGBtoHSV(0.5f, 0.5f, 0.5f, &h, &s, &v);
  EXPECT_EQ(h, kUndefinedHue);
  EXPECT_EQ(s, 0.0f);
  RGBtoHSV(0, 0, 0, &h, &s, &v);
  EXPECT_EQ(v, 0.0f);
  for (float hue : {0.0f, 77.0f, 200.0f, kUndefinedHue}) {
    float r, g, b;
    HLStoRGB(hue, 0.3f, 0.0f, &r, &g, &b);
    EXPECT_FLOAT_EQ(r, 0.3f);
    EXPECT_FLOAT_EQ(g, 0.3f);
    EXPECT_FLOAT_EQ(b, 0.3f);
  }
  // A zero saturation with a defined hue leaves the outputs alone.
  float r = 9, g = 9, b = 9;
  HSVtoRGB(30.0f, 0.0f, 0.5f, &r, &g, &b);
  EXPECT_EQ(r, 9.0f);
  HSVtoRGB(kUndefinedHue, 0.0f, 0.5f, &r, &g, &b);
  EXPECT_EQ(g, 0.5f);
}

TEST(ColourSpaces, RoundTripsOfSaturatedColours) {
  const float colours[][3] = {{1, 0, 0}, {0.2f, 0.6f, 0.1f}, {0.1f, 0.3f, 0.9f}, {0.8f, 0.7f, 0.1f}};
  for (const auto& c : colours) {
    float h, l, s, r, g, b;
    RGBtoHLS(c[0], c[1], c[2], &h, &l, &s);
    HLStoRGB(h, l, s, &r, &g, &b);
    EXPECT_NEAR(r, c[0], 1e-5);
    EXPECT_NEAR(g, c[1], 1e-5);
    EXPECT_NEAR(b, c[2], 1e-5);
    float v;
    RGBtoHSV(c[0], c[1], c[2], &h, &s, &v);
    HSVtoRGB(h, s, v, &r, &g, &b);
    EXPECT_NEAR(r, c[0], 1e-5);
    EXPECT_NEAR(g, c[1], 1e-5);
    EXPECT_NEAR(b, c[2], 1e-5);
  }
  float h, s, v;
  RGBtoHSV(0, 0, 1, &h, &s, &v);
  EXPECT_FLOAT_EQ(h, 240.0f);
  float r = 0, g = 0, b = 0;
  HSVtoRGB(360.0f, 1.0f, 1.0f, &r, &g, &b);  // exactly 360 is red
  EXPECT_EQ(r, 1.0f);
  EXPECT_EQ(g, 0.0f);
}

TEST(ColourSpaces, HslAdjust) {
  float r = 1, g = 0, b = 0;
  RGBHSLadjust(&r, &g, &b, 180, 0, 0);
  EXPECT_NEAR(r, 0.0f, 1e-6);
  EXPECT_NEAR(g, 1.0f, 1e-6);
  EXPECT_NEAR(b, 1.0f, 1e-6);
  r = 0.3f, g = 0.5f, b = 0.9f;
  RGBHSLadjust(&r, &g, &b, 0, 0, 0);
  EXPECT_NEAR(r, 0.3f, 1e-5);
  EXPECT_NEAR(g, 0.5f, 1e-5);
  EXPECT_NEAR(b, 0.9f, 1e-5);
  // Lightness is limited to 1: everything white.
  RGBHSLadjust(&r, &g, &b, 0, 0, 200);
  EXPECT_FLOAT_EQ(r, 1.0f);
  EXPECT_FLOAT_EQ(b, 1.0f);
  // Desaturating fully gives the grey of the lightness.
  r = 1, g = 0, b = 0;
  RGBHSLadjust(&r, &g, &b, 0, -100, 0);
  EXPECT_FLOAT_EQ(r, 0.5f);
  EXPECT_FLOAT_EQ(g, 0.5f);
}

TEST(ColourSpaces, OtherSpaces) {
  float y, i, q, r, g, b;
  RGB2YIQ(1, 1, 1, y, i, q);
  EXPECT_NEAR(y, 1.0f, 1e-6);
  EXPECT_NEAR(i, 0.0f, 1e-6);
  YIQ2RGB(0.5f, 0, 0, r, g, b);
  EXPECT_EQ(r, 0.5f);
  float c, m, yy, k;
  RGB2CMYK(0.2f, 0.5f, 1.0f, c, m, yy, k);
  EXPECT_FLOAT_EQ(k, 0.0f);
  EXPECT_FLOAT_EQ(c, 0.8f);
  RGB2CMYK(0.2f, 0.5f, 0.4f, c, m, yy, k);
  EXPECT_FLOAT_EQ(k, 0.5f);
  EXPECT_NEAR(c, 0.3f, 1e-6);
  EXPECT_FLOAT_EQ(m, 0.0f);
  float x, Y;
  RGB2CIE(0.4f, 0.6f, 0.2f, x, y, Y);
  CIE2RGB(x, y, Y, r, g, b);
  EXPECT_NEAR(r, 0.4f, 5e-3);
  EXPECT_NEAR(g, 0.6f, 5e-3);
  EXPECT_NEAR(b, 0.2f, 5e-3);
  // Black has no chromaticity and comes back black, without NaNs.
  RGB2CIE(0, 0, 0, x, y, Y);
  EXPECT_EQ(x, 0.0f);
  EXPECT_EQ(y, 0.0f);
  CIE2RGB(x, y, Y, r, g, b);
  EXPECT_EQ(r, 0.0f);
  EXPECT_EQ(b, 0.0f);
  mixcolors(0.3f, 0.3f, 0.3f, 0.5f, 0.5f, 0.5f, x, y, Y);
  EXPECT_FLOAT_EQ(x, 0.4f);
  EXPECT_FLOAT_EQ(Y, 0.8f);
  EXPECT_EQ(max3(1, 3, 2), 3.0f);
  EXPECT_EQ(min3(1, 3, -2), -2.0f);
}

TEST(RowHelpers, ReverseAndReorder) {
  std::vector<uint32_t> px = {1, 2, 3, 4, 5, 6};  // 2 wide, 3 high
  ReverseColLongBuf(px.data(), 2, 3);
  EXPECT_EQ(px, (std::vector<uint32_t>{5, 6, 3, 4, 1, 2}));
  std::vector<unsigned char> bytes = {1, 2, 3, 4, 5, 6, 7, 8};  // 2 wide, 4 high
  ReverseColCharBuf(bytes.data(), 2, 4);
  EXPECT_EQ(bytes, (std::vector<unsigned char>{7, 8, 5, 6, 3, 4, 1, 2}));
  const unsigned char rgba[8] = {10, 20, 30, 40, 50, 60, 70, 80};
  uint32_t two[2];
  std::memcpy(two, rgba, 8);
  BufRGBAtoARGB(two, 2, 1);
  unsigned char out[8];
  std::memcpy(out, two, 8);
  const unsigned char want[8] = {40, 10, 20, 30, 80, 50, 60, 70};
  EXPECT_EQ(std::memcmp(out, want, 8), 0);
}

TEST(RowHelpers, RoughCopies) {
  // 4x4 source, values y * 4 + x; map it onto a 2x2 destination.
  std::vector<uint32_t> src(16);
  for (uint32_t i = 0; i < 16; ++i) src[i] = i;
  std::vector<uint32_t> dst(4, 99);
  EXPECT_EQ(RoughLongBufToLongBuf(4, 4, src.data(), 2, 2, dst.data(), 0, 0, 3, 3, 0, 0, 1, 1), 0);
  EXPECT_EQ(dst, (std::vector<uint32_t>{0, 3, 12, 15}));
  // Oversized rectangles are clipped first.
  std::fill(dst.begin(), dst.end(), 99);
  EXPECT_EQ(RoughLongBufToLongBuf(4, 4, src.data(), 2, 2, dst.data(), -5, -5, 50, 50, -1, -1, 9, 9),
            0);
  EXPECT_EQ(dst, (std::vector<uint32_t>{0, 3, 12, 15}));
  // A one-row destination rectangle is refused and nothing is written.
  std::fill(dst.begin(), dst.end(), 99);
  EXPECT_EQ(RoughLongBufToLongBuf(4, 4, src.data(), 2, 2, dst.data(), 0, 0, 3, 3, 0, 1, 1, 1), -1);
  EXPECT_EQ(dst, (std::vector<uint32_t>(4, 99)));

  const unsigned char pixel[4] = {1, 2, 3, 4};
  uint32_t one;
  std::memcpy(&one, pixel, 4);
  std::vector<uint32_t> flat(9, one);
  std::vector<unsigned char> p0(4), p1(4), p2(4), p3(4);
  EXPECT_EQ(RoughLongBufToCharBuf(3, 3, flat.data(), 2, 2, p0.data(), p1.data(), p2.data(),
                                  p3.data(), 0, 0, 2, 2, 0, 0, 1, 1),
            0);
  EXPECT_EQ(p0, (std::vector<unsigned char>(4, 1)));
  EXPECT_EQ(p3, (std::vector<unsigned char>(4, 4)));
}

}  // namespace
