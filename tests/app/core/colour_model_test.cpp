#include "app/core/colour_model.h"

#include <gtest/gtest.h>

#include "support/colour_model_fixture.h"

namespace {

TEST(ColourModel, RgbToYmckThroughTables) {
  const auto model = vmktest::MakeComplementModel();
  int16_t y = -1, m = -1, c = -1, k = -1;
  EXPECT_EQ(RGB_to_YMCK(0, 0, 0, &y, &m, &c, &k, model.get()), 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(m, 0);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(k, 255);
  EXPECT_EQ(RGB_to_YMCK(255, 255, 255, &y, &m, &c, &k, model.get()), 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(k, 0);
  // Grey 128: black 63 takes the darkening, the rest is lifted to 170.
  EXPECT_EQ(RGB_to_YMCK(128, 128, 128, &y, &m, &c, &k, model.get()), 0);
  EXPECT_EQ(k, 63);
  EXPECT_EQ(y, 85);
  EXPECT_EQ(m, 85);
  EXPECT_EQ(c, 85);
  // Pure red has no cyan and full magenta and yellow.
  EXPECT_EQ(RGB_to_YMCK(255, 0, 0, &y, &m, &c, &k, model.get()), 0);
  EXPECT_EQ(c, 0);
  EXPECT_GE(m, 250);
  EXPECT_GE(y, 250);
}

TEST(ColourModel, YmckToRgbScalesByBlack) {
  const auto model = vmktest::MakeComplementModel();
  uint16_t r = 1, g = 1, b = 1;
  EXPECT_EQ(YMCK_to_RGB(0, 0, 0, 0, &r, &g, &b, model.get()), 0);
  EXPECT_EQ(r, 254 << 8);  // 255 * 255 >> 8
  EXPECT_EQ(b, 254 << 8);
  EXPECT_EQ(YMCK_to_RGB(0, 0, 0, 255, &r, &g, &b, model.get()), 0);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(YMCK_to_RGB(0, 0, 255, 0, &r, &g, &b, model.get()), 0);
  EXPECT_LE(r, 8 << 8);  // full cyan removes red
  EXPECT_EQ(g, 254 << 8);
}

TEST(ColourModel, WithoutModelNothingChanges) {
  int16_t y = 5, m = 6, c = 7, k = 8;
  EXPECT_EQ(RGB_to_YMCK(0, 0, 0, &y, &m, &c, &k, nullptr), -1);
  EXPECT_EQ(y, 5);
  EXPECT_EQ(k, 8);
  uint16_t r = 9, g = 10, b = 11;
  EXPECT_EQ(YMCK_to_RGB(1, 2, 3, 4, &r, &g, &b, nullptr), -1);
  EXPECT_EQ(r, 9);
  EXPECT_EQ(b, 11);
}

TEST(ColourModel, ArrayConversionsKeepBlackByte) {
  const auto model = vmktest::MakeComplementModel();
  const unsigned char rgbz[8] = {255, 10, 20, 30, 0, 0, 0, 0};
  unsigned char out[8];
  EXPECT_EQ(XCAR_convert_rgbk_ymck(rgbz, out, 2, model->bytes + kModRgbToYmc,
                                   model->bytes + kModWeights),
            0);
  // z = 255 keeps the components as they are.
  EXPECT_EQ(out[3], 255);
  EXPECT_EQ(out[2], 255 - 10 - 0);  // cyan from red 10: cell 1 (8) and 2 (16)
  // z = 0 on black: each 0 counts as 1, one eighth into cell 0.
  EXPECT_EQ(out[4], (255 * 7 + 247) / 8);
  EXPECT_EQ(out[7], 0);
  const unsigned char ymck[4] = {0, 0, 0, 128};
  EXPECT_EQ(XCAR_convert_ymck_rgbk(ymck, out, 1, model->bytes + kModYmcToRgb,
                                   model->bytes + kModWeights),
            0);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[1], (255 * 512 * 127) >> 17);
}

}  // namespace
