#include "operations/brush_exchange.h"

#include <gtest/gtest.h>

#include <vector>

#include "operations/effects.h"
#include "raster/colour_select.h"

namespace {

TEST(ExchangeBrush, RgbMixAndYmckExchangeOfTheSource) {
  const int32_t r1[4] = {50, 100, 0, 10}, r2[4] = {50, 0, 200, 20}, r3[4] = {0, 30, 0, 30},
                r4[4] = {0, 0, 0, 100}, off[4] = {5, -7, 0, 1};
  const std::vector<uint32_t> src = {0x80402010u, 0x11FF0033u, 0x00000000u, 0x7F7F7F7Fu};
  const std::vector<int16_t> full(4, 4096);
  auto byte = [](uint32_t p, int k) { return static_cast<int32_t>((p >> (8 * k)) & 0xFF); };

  std::vector<uint32_t> px(4, 0xAB000000u);
  X_Brush_BCol(1, 0, 0, 1, 2, 2, px.data(), src.data(), full.data(), 0.5f, 0.5f, 0.5f, r1, r2,
               r3, nullptr, off);
  for (int i = 0; i < 4; ++i) {
    int32_t o[3];
    Effects::Calc_exchRGB(7, r1, r2, r3, off, byte(src[i], 0), byte(src[i], 1), byte(src[i], 2),
                          &o[0], &o[1], &o[2]);
    EXPECT_EQ(px[i], 0xAB000000u | (o[2] << 16) | (o[1] << 8) | o[0]) << i;
  }

  px.assign(4, 0);
  X_Brush_BCol(0, 0, 0, 1, 2, 2, px.data(), src.data(), full.data(), 0.5f, 0.5f, 0.5f, r1, r2,
               r3, r4, off);
  for (int i = 0; i < 4; ++i) {
    int32_t o[4];
    Calc_exchYMCK(15, r1, r2, r3, r4, off, byte(src[i], 0), byte(src[i], 1), byte(src[i], 2),
                  byte(src[i], 3), &o[0], &o[1], &o[2], &o[3]);
    EXPECT_EQ(px[i], static_cast<uint32_t>((o[3] << 24) | (o[2] << 16) | (o[1] << 8) | o[0])) << i;
  }
}

}  // namespace
