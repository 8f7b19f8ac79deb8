// Percent and 0..255: each way rounded once in double, and a field that
// still shows a stored value's percent gives the value back unchanged.
#include "app/core/percent.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(Percent, BothWaysAreRoundedOnceInDouble) {
  // In single precision 2.55 is a little more: 50 and 90 gave 128 and 230.
  EXPECT_EQ(PercentTo255(50), 127);
  EXPECT_EQ(PercentTo255(90), 229);
  EXPECT_EQ(PercentTo255(39), 99);
  EXPECT_EQ(PercentTo255(40), 102);
  EXPECT_EQ(PercentTo255(100), 255);
  EXPECT_EQ(PercentTo255(0), 0);
  // Truncated toward zero, as the long it was.
  EXPECT_EQ(PercentTo255(-1), -2);
  EXPECT_EQ(PercentTo255(INT32_MAX), 5476083300);
  EXPECT_EQ(PercentTo255(INT32_MIN), -5476083301);
  EXPECT_EQ(PercentOf255(128), 50);
  EXPECT_EQ(PercentOf255(127), 50);
  EXPECT_EQ(PercentOf255(100), 39);
  EXPECT_EQ(PercentOf255(255), 100);
  EXPECT_EQ(PercentOf255(1), 0);
  EXPECT_EQ(PercentOf255(2), 1);
  EXPECT_EQ(PercentOf255(-1), 0);
}

TEST(Percent, TheSixteenBitFormIsHeldToItsRange) {
  EXPECT_EQ(PercentTo255Int16(50), 127);
  EXPECT_EQ(PercentTo255Int16(-50), -126);  // -127.49999... + 0.5
  EXPECT_EQ(PercentTo255Int16(12849), 32765);
  EXPECT_EQ(PercentTo255Int16(12850), 32767);
  EXPECT_EQ(PercentTo255Int16(INT32_MAX), 32767);
  EXPECT_EQ(PercentTo255Int16(INT32_MIN), -32768);
}

TEST(Percent, AnUntouchedFieldKeepsTheStoredValue) {
  // Every stored value survives its own percent, though the round trip
  // alone moves 155 of the 256.
  int moved = 0;
  for (int32_t v = 0; v <= 255; ++v) {
    EXPECT_EQ(PercentFieldTo255(v, PercentOf255(v)), v);
    if (PercentTo255(PercentOf255(v)) != v) ++moved;
  }
  EXPECT_EQ(moved, 155);
  // Another percent is converted.
  EXPECT_EQ(PercentFieldTo255(128, 51), 130);
  EXPECT_EQ(PercentFieldTo255(100, 40), 102);
  EXPECT_EQ(PercentFieldTo255(0, 50), 127);
}

}  // namespace
