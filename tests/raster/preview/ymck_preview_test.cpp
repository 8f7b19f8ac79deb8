#include "raster/preview/ymck_preview.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "support/pixels.h"

#include "platform/draw/port.h"
#include "support/colour_model_fixture.h"

namespace {

using vmktest::Px;

uint32_t Screen(int r, int g, int b) {
  return 0xFF000000u | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

TEST(ChannelView, EveryViewAndSingleChannel) {
  const int want[8][2][3] = {
      {{0, 0, 0}, {0, 0, 0}},       {{1, 1, 1}, {1, 0, 0}},       {{2, 2, 2}, {0, 2, 0}},
      {{1, 2, 0}, {1, 2, 0}},       {{3, 3, 3}, {0, 0, 3}},       {{1, 0, 3}, {1, 0, 3}},
      {{0, 2, 3}, {0, 2, 3}},       {{1, 2, 3}, {1, 2, 3}},
  };
  for (int16_t view = 1; view <= 7; ++view) {
    for (int16_t single = 0; single <= 1; ++single) {
      unsigned char p[4] = {9, 9, 9, 9};
      HiQ_RGBConvert(view, p, single, 1, 2, 3);
      EXPECT_EQ(p[0], 9);
      EXPECT_EQ(p[1], want[view][single][0]) << view << " " << single;
      EXPECT_EQ(p[2], want[view][single][1]) << view << " " << single;
      EXPECT_EQ(p[3], want[view][single][2]) << view << " " << single;
    }
  }
  for (int16_t view : {0, 8, -3}) {
    unsigned char p[4] = {9, 9, 9, 9};
    HiQ_RGBConvert(view, p, 0, 1, 2, 3);
    EXPECT_EQ(p[1], 9);
  }
}

TEST(FastDisplay, ConvertsThroughPlanesAndBlack) {
  const auto model = vmktest::MakeComplementModel();
  const unsigned char src[8] = {0, 0, 0, 0, 0, 0, 255, 128};
  unsigned char dst[6];
  EXPECT_EQ(X_conv_YMCK_RGB(src, dst, 2, model.get()), 0);
  EXPECT_EQ(dst[0], 254);  // 255 * 255 >> 8
  EXPECT_EQ(dst[3], (3 * 127) >> 8);  // full cyan: plane value 255 - 4 * 63
  EXPECT_EQ(dst[4], (255 * 127) >> 8);
  EXPECT_EQ(X_conv_YMCK_RGB(src, dst, 2, nullptr), -1);
}

TEST(PreviewDrawing, RgbBufferAtZoomWithInversionAndMask) {
  plat::draw::Port port(10, 10);
  const std::vector<uint32_t> buf = {Px(10, 20, 30, 0), Px(40, 50, 60, 0), Px(70, 80, 90, 0),
                                     Px(100, 110, 120, 0)};
  X_RGBecho_UG(&port, 2, 2, 0, 0, 1, 1, 1, 1, 7, nullptr, 0, 1, buf.data(), nullptr, 2.0f);
  EXPECT_EQ(port.surface().pixel(1, 1), Screen(10, 20, 30));
  EXPECT_EQ(port.surface().pixel(2, 2), Screen(10, 20, 30));
  EXPECT_EQ(port.surface().pixel(3, 1), Screen(40, 50, 60));
  EXPECT_EQ(port.surface().pixel(4, 4), Screen(100, 110, 120));
  EXPECT_EQ(port.surface().pixel(5, 5), Screen(255, 255, 255));  // untouched

  // invert 0 shows the complements; view -1 paints white.
  X_RGBecho_UG(&port, 2, 2, 0, 0, 0, 0, 0, 0, 7, nullptr, 0, 0, buf.data(), nullptr, 1.0f);
  EXPECT_EQ(port.surface().pixel(0, 0), Screen(245, 235, 225));
  X_RGBecho_UG(&port, 2, 2, 1, 1, 1, 1, 6, 6, -1, nullptr, 0, 1, buf.data(), nullptr, 1.0f);
  EXPECT_EQ(port.surface().pixel(6, 6), Screen(255, 255, 255));

  // The colour mask is laid over nonzero mask samples only.
  const TColMsk overlay{0, 200, 0, 0, 255};
  const unsigned char mask[4] = {255, 0, 0, 0};
  X_RGBecho_UG(&port, 2, 2, 0, 0, 1, 0, 0, 8, 7, &overlay, 0, 1, buf.data(), mask, 1.0f);
  EXPECT_EQ(port.surface().pixel(0, 8), Screen((10 + 254 * 200) >> 8, (20 * 1) >> 8, (30 * 1) >> 8));
  EXPECT_EQ(port.surface().pixel(1, 8), Screen(40, 50, 60));
}

TEST(PreviewDrawing, TallBuffersAreDrawnBandByBand) {
  const int h = 70;
  std::vector<uint32_t> column(h);
  for (int y = 0; y < h; ++y) column[y] = Px(y, y, y, 0);
  plat::draw::Port port(3, 80);
  X_RGBecho_UG(&port, h, 1, 0, 0, 0, h - 1, 1, 5, 1, nullptr, 0, 1, column.data(), nullptr, 1.0f);
  for (int y = 0; y < h; ++y) ASSERT_EQ(port.surface().pixel(1, 5 + y), Screen(y, y, y)) << y;
  EXPECT_EQ(port.surface().pixel(1, 4), Screen(255, 255, 255));
  EXPECT_EQ(port.surface().pixel(1, 75), Screen(255, 255, 255));
}

TEST(PreviewDrawing, YmckThroughPreviewModelAndOffscreen) {
  const auto model = vmktest::MakeComplementPreviewModel();
  const std::vector<uint32_t> buf = {Px(0, 0, 0, 0), Px(0, 0, 255, 0)};
  plat::draw::Port port(4, 4);
  X_YMCKecho_UG(&port, 1, 2, 0, 0, 1, 0, 0, 0, 1.0f, 0, 0, 0, 0, buf.data(), model.get());
  EXPECT_EQ(port.surface().pixel(0, 0), Screen(254, 254, 254));
  EXPECT_EQ(port.surface().pixel(1, 0), Screen((3 * 255) >> 8, 254, 254));
  // Without a model nothing is drawn.
  plat::draw::Port blank(4, 4);
  X_YMCKecho_UG(&blank, 1, 2, 0, 0, 1, 0, 0, 0, 1.0f, 0, 0, 0, 0, buf.data(), nullptr);
  EXPECT_EQ(blank.surface().pixel(0, 0), Screen(255, 255, 255));

  plat::draw::Port off(4, 4);
  const std::vector<uint32_t> rgb = {Px(1, 2, 3, 4), Px(5, 6, 7, 8)};
  X_echo_OFFSCREEN(rgb.data(), &off, 7, 0, 1, 2, 0, 0, 1, 0, 2, 3, 0, 0, nullptr);
  EXPECT_EQ(off.surface().pixel(2, 3), Screen(1, 2, 3));
  EXPECT_EQ(off.surface().pixel(3, 3), Screen(5, 6, 7));
  X_echo_OFFSCREEN(buf.data(), &off, 7, 15, 1, 2, 0, 0, 1, 0, 0, 0, 0, 0, model.get());
  EXPECT_EQ(off.surface().pixel(0, 0), Screen(254, 254, 254));
}

}  // namespace
