#include "raster/mask_brush.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

TEST(MaskFootprint, HardSoftAndZeroRadii) {
  std::vector<int16_t> f(25, -1);
  X_prepare_MskBrush(1, f.data(), 2, 2, 4096);
  EXPECT_EQ(std::count(f.begin(), f.end(), 4096), 13);
  EXPECT_EQ(std::count(f.begin(), f.end(), 0), 12);
  X_prepare_MskBrush(0, f.data(), 2, 2, 4096);
  EXPECT_EQ(f[12], 4096);
  EXPECT_EQ(f[13], 3072);  // E = 4, F = 16: three quarters
  EXPECT_EQ(f[14], 0);     // on the rim
  // Radii 0: a hard footprint is the single value, a soft one weighs 0.
  int16_t one = -1;
  X_prepare_MskBrush(1, &one, 0, 0, 900);
  EXPECT_EQ(one, 900);
  X_prepare_MskBrush(0, &one, 0, 0, 900);
  EXPECT_EQ(one, 0);
  // An elongated ellipse 3 x 1.
  std::vector<int16_t> e(7 * 3);
  X_prepare_MskBrush(1, e.data(), 3, 1, 7);
  EXPECT_EQ(e[7 + 0], 7);
  EXPECT_EQ(e[0], 0);
  EXPECT_EQ(e[3], 7);
}

TEST(MaskStamp, PaintEraseWeightsAndTheSpareRow) {
  int16_t m = 5000;
  const int16_t full = 4096, none = 0;
  X_Brush_Msk(0, 0, 1, 1, 1, 1, &m, &full, 0, 0, 0, 0);
  EXPECT_EQ(m, 16384);
  X_Brush_Msk(0, 0, 1, 1, 1, 1, &m, &full, 0, 0, 0, 1);
  EXPECT_EQ(m, 0);
  m = 5000;
  X_Brush_Msk(0, 0, 1, 1, 1, 1, &m, &none, 0, 0, 0, 1);
  EXPECT_EQ(m, 5000);
  const int16_t half = 2048;
  X_Brush_Msk(0, 0, 1, 1, 1, 1, &m, &half, 0, 0, 0, 0);
  EXPECT_EQ(m, (5000 + 16384) / 2);

  // A 4 x 3 mask in its 5 x 4 block; a 5 x 5 stamp at (3, 3) hangs over
  // the right and bottom: columns 1..3 of rows 1..3 (row 3 the spare row)
  // change, nothing past them.
  std::vector<int16_t> mask(5 * 4, 100);
  const std::vector<int16_t> square(25, 4096);
  X_Brush_Msk(0, 0, 1, 1, 4, 3, mask.data(), square.data(), 3, 3, 2, 0);
  for (int i = 0; i < 20; ++i) {
    const int row = i / 4, col = i % 4;
    const bool in = i < 16 && row >= 1 && col >= 1;
    EXPECT_EQ(mask[i], in ? 16384 : 100) << i;
  }
  // The origin shifts the stamp; zoom 2 halves radius and place.
  std::fill(mask.begin(), mask.end(), 0);
  const std::vector<int16_t> nine(9, 4096);
  X_Brush_Msk(-1, 0, 2, 2, 4, 3, mask.data(), nine.data(), 4, 4, 2, 0);
  EXPECT_EQ(mask[1 * 4 + 0], 16384);  // left = 1, less the origin
  EXPECT_EQ(mask[3 * 4 + 2], 16384);
  EXPECT_EQ(mask[3 * 4 + 3], 0);
  // A vanishing zoom or an origin beyond any mask stamps nothing.
  const std::vector<int16_t> before = mask;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  X_Brush_Msk(0, 0, 1e-30f, 1, 4, 3, mask.data(), nine.data(), 1, 1, 1, 0);
  X_Brush_Msk(nan, 0, 1, 1, 4, 3, mask.data(), nine.data(), 1, 1, 1, 0);
  X_Brush_Msk(0, 3e9f, 1, 1, 4, 3, mask.data(), nine.data(), 1, 1, 1, 0);
  EXPECT_EQ(mask, before);
}

TEST(WholeMask, InvertAndFill) {
  std::vector<int16_t> m = {0, 100, 16384, 9000, 7, 7};
  const std::vector<int16_t> orig = m;
  X_Invert_Msk(2, 2, m.data());
  EXPECT_EQ(m[0], 16384);
  EXPECT_EQ(m[3], 16384 - 9000);
  EXPECT_EQ(m[4], 7);
  X_Invert_Msk(2, 2, m.data());
  EXPECT_EQ(m, orig);
  X_Color_Msk(0, 3, m.data(), 55);
  X_Color_Msk(3, -1, m.data(), 55);
  EXPECT_EQ(m, orig);
  X_Color_Msk(5, 1, m.data(), 55);
  EXPECT_EQ(m, (std::vector<int16_t>{55, 55, 55, 55, 55, 7}));
}

}  // namespace
