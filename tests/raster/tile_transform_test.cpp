#include "raster/tile_transform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/memory/memory.h"

namespace {

using Plane = std::vector<uint8_t>;

TEST(TileOrientation, EveryModeOfAThreeByTwoTile) {
  // a b c
  // d e f
  const Plane src = {'a', 'b', 'c', 'd', 'e', 'f'};
  const char* expect[8] = {"abcdef", "cbafed", "fedcba", "defabc",
                           "cfbead", "fcebda", "daebfc", "adbecf"};
  for (int16_t mode = 0; mode < 8; ++mode) {
    Plane dst(6, '.');
    RotaPatCharBuf(mode, src.data(), dst.data(), 3, 2);
    EXPECT_EQ(std::string(dst.begin(), dst.end()), expect[mode]) << "mode " << mode;

    std::vector<int16_t> s16(src.begin(), src.end()), d16(6, 0);
    RotaPatShortBuf(mode, s16.data(), d16.data(), 3, 2);
    EXPECT_EQ(std::string(d16.begin(), d16.end()), expect[mode]) << "mode " << mode;
  }
  Plane dst(6, '.');
  RotaPatCharBuf(8, src.data(), dst.data(), 3, 2);
  RotaPatCharBuf(-1, src.data(), dst.data(), 3, 2);
  EXPECT_EQ(dst, Plane(6, '.'));
}

class TileOffset : public ::testing::Test {
 protected:
  // 5 wide, 3 high; row y holds 10 * (y + 1) + x.
  Plane plane_ = {10, 11, 12, 13, 14, 20, 21, 22, 23, 24, 30, 31, 32, 33, 34};
  Plane Shifted(int16_t mode, int16_t px, int16_t py) {
    Plane p = plane_;
    OffsetCharBuf(mode, p.data(), 3, 5, 0, 0, 4, 2, px, py);
    return p;
  }
};

TEST_F(TileOffset, ZeroShiftLeavesTheRectangle) {
  EXPECT_EQ(Shifted(0, 0, 0), plane_);
}

TEST_F(TileOffset, ShiftWrapsWithAPeriodOneShortOfTheExtent) {
  // dx = 4 * 50 / 100 = 2: column x takes column wrap(x - 2) over 0..4 with
  // period 4, so column 0 takes column 2 and column 4 takes column 2 again.
  const Plane a = Shifted(0, 50, 0);
  EXPECT_EQ(Plane(a.begin(), a.begin() + 5), (Plane{12, 13, 10, 11, 12}));
  // dy = 2 * 50 / 100 = 1: row y takes row wrap(y + 1) with period 2.
  const Plane b = Shifted(0, 0, 50);
  EXPECT_EQ(b[0], 20);
  EXPECT_EQ(b[5], 30);
  EXPECT_EQ(b[10], 20);
}

TEST_F(TileOffset, ShiftsBeyondTheRectangleWrapAgain) {
  // 150 percent is 6 columns, which is 2 modulo the period of 4.
  EXPECT_EQ(Shifted(0, 150, 0), Shifted(0, 50, 0));
  EXPECT_EQ(Shifted(0, -250, 0), Shifted(0, -50, 0));
  EXPECT_EQ(Shifted(0, 0, 300), Shifted(0, 0, 100));
}

TEST_F(TileOffset, VerticalShearAveragesTwoRows) {
  // 3 x 3 rectangle, dy = 2: column shifts 0, 0, 1.
  Plane p = {10, 10, 10, 20, 20, 20, 40, 40, 40};
  OffsetCharBuf(1, p.data(), 3, 3, 0, 0, 2, 2, 0, 100);
  EXPECT_EQ(p, (Plane{15, 15, 15, 15, 15, 30, 30, 30, 15}));
}

TEST_F(TileOffset, HorizontalShearAveragesTwoColumns) {
  // dx = 2: row shifts 0, 0, -1; wrap(-1) over 0..2 is column 1.
  Plane p = {10, 20, 40, 10, 20, 40, 10, 20, 40};
  OffsetCharBuf(2, p.data(), 3, 3, 0, 0, 2, 2, 100, 0);
  EXPECT_EQ(p, (Plane{15, 15, 30, 15, 15, 30, 15, 15, 15}));
}

TEST_F(TileOffset, OutsideTheRectangleAndUnknownModesNothingChanges) {
  Plane p = plane_;
  OffsetCharBuf(0, p.data(), 3, 5, 1, 1, 3, 1, 50, 0);
  // Only row 1, columns 1..3 move: dx = 1, period 2.
  EXPECT_EQ(p, (Plane{10, 11, 12, 13, 14, 20, 22, 21, 22, 24, 30, 31, 32, 33, 34}));
  const int64_t live = plat::LiveBlockCount();
  EXPECT_EQ(Shifted(3, 50, 50), plane_);
  EXPECT_EQ(plat::LiveBlockCount(), live);

  std::vector<int16_t> s = {-9, 4, 100, 2};
  OffsetShortBuf(2, s.data(), 1, 4, 0, 0, 9, 0, 100, 0);
  // A single row: its shift is 0, so column c averages c and wrap(c - 1),
  // where wrap(-1) over 0..3 is column 2; the halving is arithmetic.
  EXPECT_EQ(s, (std::vector<int16_t>{45, -3, 52, 51}));
}

}  // namespace
