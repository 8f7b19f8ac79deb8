#include "host/ApePlugInUtilities/ape_spans.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/pixel_access.h"

namespace {

template <typename T>
void SetPixel(PixelBuffer& b, uint32_t x, uint32_t y, T r, T g, T bl, T a) {
  T v[4] = {r, g, bl, a};
  std::memcpy(b.rowPtr(y) + x * 4 * sizeof(T), v, sizeof v);
}

}  // namespace

TEST(ApeSpans, ReadsEachDepthAsBytes) {
  PixelBuffer b8(3, 2, 1, 4), b16(3, 2, 2, 4), bf(3, 2, 4, 4);
  SetPixel<uint8_t>(b8, 1, 1, 10, 20, 30, 40);
  SetPixel<uint16_t>(b16, 1, 1, 0xABFF, 0x0100, 0x00FF, 0xFF00);
  SetPixel<float>(bf, 1, 1, 1.0f, 0.5f, -2.0f, 2.0f);
  std::vector<uint8_t> rgb(9, 0xEE), alpha(3, 0xEE);
  ASSERT_EQ(ReadAPEspan(b8, 3, rgb.data(), alpha.data(), 3, 1, 1, 2, 2), 0);
  EXPECT_EQ(rgb[0], 10);
  EXPECT_EQ(rgb[2], 30);
  EXPECT_EQ(alpha[0], 40);
  EXPECT_EQ(rgb[3], 0xEE);  // one pixel only
  // 16 bits: the high byte, no rounding.
  ASSERT_EQ(ReadAPEspan(b16, 3, rgb.data(), alpha.data(), 3, 1, 1, 2, 2), 0);
  EXPECT_EQ(rgb[0], 0xAB);
  EXPECT_EQ(rgb[1], 0x01);
  EXPECT_EQ(rgb[2], 0x00);
  EXPECT_EQ(alpha[0], 0xFF);
  // Floats: 0..1 onto 0..255, rounded and clamped.
  ASSERT_EQ(ReadAPEspan(bf, 3, rgb.data(), nullptr, 3, 1, 1, 2, 2), 0);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 128);
  EXPECT_EQ(rgb[2], 0);
}

TEST(ApeSpans, SpansAreClampedAndBadOnesReadNothing) {
  PixelBuffer b(4, 1, 1, 4);
  for (uint32_t x = 0; x < 4; ++x)
    SetPixel<uint8_t>(b, x, 0, static_cast<uint8_t>(x + 1), 0, 0, 0);
  std::vector<uint8_t> rgb(30, 0xEE);
  // left > right and right = 0 read nothing.
  EXPECT_EQ(ReadAPEspan(b, 0, rgb.data(), nullptr, 3, 3, 0, 2, 1), 0);
  EXPECT_EQ(ReadAPEspan(b, 0, rgb.data(), nullptr, 3, 0, 0, 0, 1), 0);
  EXPECT_EQ(rgb[0], 0xEE);
  // A negative left starts at 0; a right past the width stops at it.
  EXPECT_EQ(ReadAPEspan(b, 0, rgb.data(), nullptr, 3, -5, 0, 9, 1), 0);
  EXPECT_EQ(rgb[0], 1);
  EXPECT_EQ(rgb[9], 4);
  EXPECT_EQ(rgb[12], 0xEE);
  // Missing output and rows outside the buffer are failures, not crashes.
  EXPECT_EQ(ReadAPEspan(b, 0, nullptr, nullptr, 3, 0, 0, 4, 1), -1);
  EXPECT_EQ(ReadAPEspan(b, 0, rgb.data(), nullptr, 3, 0, 1, 4, 2), -1);
  EXPECT_EQ(ReadAPEspan(PixelBuffer(), 0, rgb.data(), nullptr, 3, 0, 0, 4, 1), -1);
}

TEST(ApeSpans, WritesLeaveTheFourthComponentAsItWas) {
  PixelBuffer b8(2, 1, 1, 4), b16(2, 1, 2, 4), bf(2, 1, 4, 4);
  // The picture's alpha, which a render's colours must not touch.
  b8.rowPtr(0)[3] = 7;
  b8.rowPtr(0)[7] = 0;
  reinterpret_cast<uint16_t*>(b16.rowPtr(0))[3] = 0x1234;
  reinterpret_cast<float*>(bf.rowPtr(0))[7] = 0.25f;
  const uint8_t in8[6] = {1, 2, 3, 4, 5, 6};
  const uint16_t in16[6] = {0xFF00, 2, 3, 4, 5, 6};
  const uint32_t in32[6] = {255, 0, 51, 1, 2, 3};
  ASSERT_EQ(WriteAPEspan(b8, 2, in8, nullptr, 3, 0, 0, 2, 1), 0);
  ASSERT_EQ(WriteAPEspan(b16, 2, in16, nullptr, 3, 0, 0, 2, 1), 0);
  ASSERT_EQ(WriteAPEspan(bf, 2, in32, nullptr, 3, 0, 0, 2, 1), 0);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(b8, 1, 0, 0), 4);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(b8, 0, 0, 3), 7);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(b8, 1, 0, 3), 0);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(b16, 0, 0, 0), 0xFF00);  // unchanged, not rescaled
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(b16, 0, 0, 3), 0x1234);
  EXPECT_EQ(vmktest::ComponentAt<uint16_t>(b16, 1, 0, 3), 0);
  EXPECT_FLOAT_EQ(vmktest::ComponentAt<float>(bf, 0, 0, 0), 1.0f);
  EXPECT_FLOAT_EQ(vmktest::ComponentAt<float>(bf, 0, 0, 2), 0.2f);
  EXPECT_FLOAT_EQ(vmktest::ComponentAt<float>(bf, 1, 0, 3), 0.25f);
  EXPECT_EQ(WriteAPEspan(b8, 2, nullptr, nullptr, 3, 0, 0, 2, 1), -1);
  EXPECT_EQ(WriteAPEspan(b8, 2, in8, nullptr, 3, 0, 5, 2, 6), -1);
}

TEST(ApeSpans, SessionFormsReachTheSessionsBuffersOnly) {
  PixelBuffer source(2, 1, 1, 4), destination(2, 1, 1, 4);
  SetPixel<uint8_t>(source, 0, 0, 9, 8, 7, 6);
  PixelBuffer shared = destination;  // a handle the write must not disturb
  uint8_t rgb[6] = {0};
  EXPECT_EQ(ReadAPEimage(2, rgb, nullptr, 3, 0, 0, 2, 1), -1);  // no session yet
  SetSessionSpanImages(&source, &destination);
  EXPECT_EQ(ReadAPEimage(2, rgb, nullptr, 3, 0, 0, 2, 1), 0);
  EXPECT_EQ(rgb[0], 9);
  const uint8_t in[6] = {50, 51, 52, 53, 54, 55};
  EXPECT_EQ(WriteAPEimage(2, in, nullptr, 3, 0, 0, 2, 1), 0);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(destination, 1, 0, 2), 55);
  EXPECT_EQ(vmktest::ComponentAt<uint8_t>(shared, 1, 0, 2), 0);
  SetSessionSpanImages(nullptr, nullptr);
  EXPECT_EQ(WriteAPEimage(2, in, nullptr, 3, 0, 0, 2, 1), -1);
}
