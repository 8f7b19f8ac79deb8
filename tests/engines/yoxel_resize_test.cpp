// The content-aware resize driver: refusals that leave the picture, the flip, the fill of
// the uncovered part and the write-back.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/yoxel_seams.h"

namespace {

constexpr int32_t kW = 12, kH = 6;

std::vector<uint8_t> Rows() {
  std::vector<uint8_t> p(kW * kH);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) p[y * kW + x] = static_cast<uint8_t>(10 * y + 5);
  return p;
}

int16_t Resize(std::vector<uint8_t>& p, int16_t flip, int16_t twoStage, int32_t midRight, int32_t tgtRight,
               int32_t tgtBottom, int16_t fillMode = 2, int16_t opacity = 255) {
  return PerformSmartBufResize(1, 0, opacity, kW, kH, 0, 0, kW, kH, p.data(), nullptr, nullptr, nullptr,
                               nullptr, nullptr, 0, 0, nullptr, nullptr, 100, 100, twoStage, 0, 0, midRight,
                               kH, 2, flip, 0, 0, 0, 0, 0, 0, 0, 0, kW, kH, 0, 0, tgtRight, tgtBottom,
                               fillMode, 7, 8, 9);
}

TEST(YoxelResize, RefusalsLeaveThePicture) {
  const std::vector<uint8_t> original = Rows();
  std::vector<uint8_t> p = original;
  EXPECT_EQ(Resize(p, 4, 0, kW, 10, kH), -1);       // no such flip
  EXPECT_EQ(Resize(p, 2, 0, kW, 0, kH), -1);        // empty target
  EXPECT_EQ(Resize(p, 2, 0, 5, kW, kH), -1);        // one stage of equal sizes
  EXPECT_EQ(Resize(p, 2, 1, kW, kW, kH), -1);       // two stages, all equal
  EXPECT_EQ(Resize(p, 2, 1, 0, 10, kH), -1);        // an empty middle
  EXPECT_EQ(p, original);
}

TEST(YoxelResize, NarrowingKeepsRowsUprightAndFillsTheRest) {
  for (int16_t flip : {0, 2}) {
    SCOPED_TRACE(flip);
    std::vector<uint8_t> p = Rows();
    ASSERT_EQ(Resize(p, flip, 0, kW, 10, kH), 0);
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < 10; ++x) ASSERT_EQ(p[y * kW + x], 10 * y + 5) << x << "," << y;
      EXPECT_EQ(p[y * kW + 10], 7);
      EXPECT_EQ(p[y * kW + 11], 7);
    }
  }
  // Widening through a middle size, black outside, half opacity inside.
  std::vector<uint8_t> p = Rows();
  ASSERT_EQ(Resize(p, 2, 1, 8, 11, 5, 1, 255), 0);
  EXPECT_EQ(p[2 * kW + 3], 25);
  EXPECT_EQ(p[5 * kW + 3], 0);
  EXPECT_EQ(p[2 * kW + 11], 0);
}

}  // namespace
