#include "app/core/letter_matrix.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string row(const int16_t* m, int r) {
  std::string s;
  for (int c = 0; c < kLetterMatrixColumns; ++c) {
    const int16_t v = m[r * kLetterMatrixColumns + c];
    s += v == 255 ? 'X' : (v == 0 ? '.' : '?');
  }
  return s;
}

TEST(LetterMatrix, KnownLetterFillsAllRows) {
  int16_t m[kLetterMatrixSize];
  for (auto& v : m) v = 7;
  EXPECT_EQ(In_mat(m, 'A'), 0);
  EXPECT_EQ(row(m, 0), ".........");
  EXPECT_EQ(row(m, 1), "..XXXXX..");
  EXPECT_EQ(row(m, 6), ".XXXXXXX.");
  EXPECT_EQ(row(m, 11), ".XX...XX.");
  EXPECT_EQ(row(m, 12), ".........");

  EXPECT_EQ(In_mat(m, 'Y'), 0);
  EXPECT_EQ(row(m, 1), ".X.....X.");
  EXPECT_EQ(row(m, 12), "....X....");  // only Y reaches the last row

  EXPECT_EQ(In_mat(m, 'F'), 0);
  EXPECT_EQ(row(m, 11), ".XX..X...");
  EXPECT_EQ(In_mat(m, 'S'), 0);
  EXPECT_EQ(row(m, 10), ".X...XX..");
}

TEST(LetterMatrix, UnknownLetterLeavesTheMatrixUntouched) {
  for (int16_t letter : {int16_t{'D'}, int16_t{'G'}, int16_t{'W'}, int16_t{'Z'}, int16_t{'a'},
                         int16_t{64}, int16_t{-1}}) {
    int16_t m[kLetterMatrixSize];
    for (auto& v : m) v = 7;
    EXPECT_EQ(In_mat(m, letter), 0);
    for (int16_t v : m) ASSERT_EQ(v, 7) << letter;
  }
}

}  // namespace
