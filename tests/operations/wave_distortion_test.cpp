#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

// Sample (x, y) = 10 * y + x: every position is recognisable.
Plane Grid(int w, int h) {
  Plane p(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p[y * w + x] = static_cast<unsigned char>(10 * y + x);
  }
  return p;
}

class Wave : public vmktest::SessionTest {};

TEST_F(Wave, NoWavesNoChange) {
  Plane p = Grid(8, 8);
  for (int16_t shape : {0, 1, 2}) {
    ASSERT_EQ(Effects::SinusWave(0, 255, p.data(), nullptr, 8, 8, 0, 0, 7, 7, shape, 0, 50, 0, 50),
              0);
    EXPECT_EQ(p, Grid(8, 8));
  }
}

TEST_F(Wave, SquareWaveShiftsHalfWavesUpAndDown) {
  // 8 x 8, one wave along x: q = 4, A = 8 * 25 / 100 = 2. Columns 0..3 read
  // two rows below, columns 4..7 two rows above, wrapping with period 7.
  Plane p = Grid(8, 8);
  ASSERT_EQ(Effects::SinusWave(0, 255, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 2, 1, 25, 0, 0), 0);
  auto wrap = [](int y) { return y < 0 ? 7 - (0 - y) : (y > 7 ? 0 + (y - 7) : y); };
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int sy = wrap(y + (x < 4 ? 2 : -2));
      EXPECT_EQ(p[y * 8 + x], 10 * sy + x) << x << "," << y;
    }
  }
  // One row above the top reads y1 - 1; one below the bottom reads y0 + 1.
  EXPECT_EQ(p[1 * 8 + 5], 10 * 6 + 5);
  EXPECT_EQ(p[6 * 8 + 1], 10 * 1 + 1);
}

TEST_F(Wave, TriangleAndSineTables) {
  // One column wave on a 1 x 9 strip is impossible to see; use rows: a
  // 9-column region, 1 wave along y on 8 rows: q = 4, shift = 9 * p * u /
  // (100 q) for the first quarter.
  Plane p = Grid(9, 8);
  ASSERT_EQ(Effects::SinusWave(0, 255, p.data(), nullptr, 8, 9, 0, 0, 8, 7, 1, 0, 0, 1, 100), 0);
  const int expected[8] = {0, 2, 4, 6, 9, 6, 4, 2};  // phases 0, 1 rising and falling
  for (int y = 0; y < 4; ++y) EXPECT_EQ(p[y * 9], Grid(9, 8)[y * 9 + expected[y]]) << y;
  Plane s = Grid(9, 8);
  ASSERT_EQ(Effects::SinusWave(0, 255, s.data(), nullptr, 8, 9, 0, 0, 8, 7, 0, 0, 0, 1, 100), 0);
  // sin(pi / 4) * 9 = 6.36: row 2 starts at column 6.
  EXPECT_EQ(s[2 * 9], 10 * 2 + 6);
}

TEST_F(Wave, LargeAmplitudesStayInsideTheRegion) {
  Plane p(12 * 10, 250);
  for (int y = 2; y <= 7; ++y) {
    for (int x = 3; x <= 9; ++x) p[y * 12 + x] = static_cast<unsigned char>(10 * y + x);
  }
  for (int16_t shape : {0, 1, 2}) {
    Plane q = p;
    ASSERT_EQ(Effects::SinusWave(0, 255, q.data(), nullptr, 10, 12, 3, 2, 9, 7, shape, 3, 950, 2,
                                 -700),
              0);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 12; ++x) {
        const bool inside = x >= 3 && x <= 9 && y >= 2 && y <= 7;
        if (inside) {
          EXPECT_NE(q[y * 12 + x], 250) << shape << " " << x << "," << y;
        } else {
          EXPECT_EQ(q[y * 12 + x], 250);
        }
      }
    }
  }
}

TEST_F(Wave, MaskAndOpacityWeighTheDisplacement) {
  Plane p = Grid(8, 8);
  Plane mask(64, 0);
  mask[0] = 255;
  ASSERT_EQ(Effects::SinusWave(0, 255, p.data(), mask.data(), 8, 8, 0, 0, 7, 7, 2, 1, 25, 0, 0), 0);
  Plane expected = Grid(8, 8);
  expected[0] = 20;
  EXPECT_EQ(p, expected);
}

}  // namespace
