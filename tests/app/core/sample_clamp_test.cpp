#include "app/core/sample_clamp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(SampleClamp, ValuesAreHeldAtTheNearerEnd) {
  EXPECT_EQ(ClampInt(-7, -5, 5), -5);
  EXPECT_EQ(ClampInt(9, -5, 5), 5);
  EXPECT_EQ(ClampInt(3, -5, 5), 3);
  EXPECT_EQ(Clamp255(-1), 0);
  EXPECT_EQ(Clamp255(256), 255);
  EXPECT_EQ(Clamp255(128), 128);
  EXPECT_EQ(ClampToInt16(40000), 32767);
  EXPECT_EQ(ClampToInt16(-40000), -32768);
  EXPECT_EQ(ClampToInt16(-7), -7);
  EXPECT_EQ(Clamp01(-0.25f), 0.0f);
  EXPECT_EQ(Clamp01(1.5f), 1.0f);
  EXPECT_EQ(Clamp01(0.5f), 0.5f);
  // NaN is not a number below or above the range: it is left as it came.
  EXPECT_TRUE(std::isnan(Clamp01(std::numeric_limits<float>::quiet_NaN())));
}

TEST(SampleClamp, InclusiveRectanglesKeepTheirLastRowAndColumn) {
  int32_t l = -3, t = -2, r = 10, b = 10;
  EXPECT_TRUE(ClipInclusiveRect(4, 3, l, t, r, b));
  EXPECT_EQ(l, 0);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(r, 3);
  EXPECT_EQ(b, 2);
  // The last column alone is still something.
  l = 3, t = 0, r = 3, b = 0;
  EXPECT_TRUE(ClipInclusiveRect(4, 3, l, t, r, b));
  // Wholly right of the plane: nothing left.
  l = 5, t = 0, r = 9, b = 2;
  EXPECT_FALSE(ClipInclusiveRect(4, 3, l, t, r, b));
  EXPECT_EQ(r, 3);
}

TEST(SampleClamp, ExclusiveRectanglesStopAtTheSize) {
  int32_t l = -3, t = -2, r = 10, b = 10;
  EXPECT_TRUE(ClipExclusiveRect(4, 3, l, t, r, b));
  EXPECT_EQ(l, 0);
  EXPECT_EQ(t, 0);
  EXPECT_EQ(r, 4);
  EXPECT_EQ(b, 3);
  // A rectangle with no width is empty.
  l = 2, t = 0, r = 2, b = 3;
  EXPECT_FALSE(ClipExclusiveRect(4, 3, l, t, r, b));
}

}  // namespace
