#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/thinning.h"

namespace {

using Plane = std::vector<unsigned char>;

// Rows of '.' (0), '1' and '2'.
Plane FromRows(const std::vector<std::string>& rows) {
  Plane p;
  for (const auto& r : rows)
    for (char c : r) p.push_back(c == '.' ? 0 : static_cast<unsigned char>(c - '0'));
  return p;
}

Plane Thinned(const std::vector<std::string>& rows) {
  Plane p = FromRows(rows);
  EXPECT_EQ(thin_image(p.data(), static_cast<int32_t>(rows.size()),
                       static_cast<int32_t>(rows[0].size()), 0),
            0);
  return p;
}

TEST(Thinning, SquaresAndRectanglesThinToTheirMiddle) {
  EXPECT_EQ(Thinned({".......", ".11111.", ".11111.", ".11111.", ".11111.", ".11111.",
                     "......."}),
            FromRows({".......", ".......", ".......", "..111..", ".......", ".......",
                      "......."}));
  EXPECT_EQ(Thinned({".........", ".1111111.", ".1111111.", ".1111111.", "........."}),
            FromRows({".........", ".........", ".1111111.", ".........", "........."}));
}

TEST(Thinning, ThinLinesAndBackgroundStayAsTheyAre) {
  const std::vector<std::string> lines = {"......", ".111..", "....1.", "...1..", "..1...",
                                          "......"};
  EXPECT_EQ(Thinned(lines), FromRows(lines));
  EXPECT_EQ(Thinned({"1111", "....", "1..1"}), FromRows({"1111", "....", "1..1"}));
  EXPECT_EQ(Thinned({"....", "...."}), FromRows({"....", "...."}));
}

TEST(Thinning, ValuesAreThinnedIndependently) {
  // The 2s beside the block thin on their own; thinning the 1s never
  // touches them.
  const std::vector<std::string> rows = {".........", ".1111122.", ".1111122.", ".1111122.",
                                         "........."};
  const Plane out = Thinned(rows);
  Plane ones = FromRows(rows), twos = FromRows(rows);
  for (auto& v : ones) v = v == 1 ? 1 : 0;
  for (auto& v : twos) v = v == 2 ? 2 : 0;
  ASSERT_EQ(thin1(ones.data(), 5, 9, 0, 1), 0);
  ASSERT_EQ(thin1(twos.data(), 5, 9, 0, 2), 0);
  for (size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], ones[i] | twos[i]) << i;
  EXPECT_EQ(ones, FromRows({".........", ".........", ".11111...", ".........", "........."}));
}

// Number of 0 -> 1 changes round the eight neighbours, a corner counted
// only where both its sides are clear (8-connectivity).
int32_t Connectivity(int32_t map) {
  // a b c / d e f / g h i as bits 8..0; the ring a, b, c, f, i, h, g, d.
  const int32_t ring[8] = {8, 7, 6, 3, 0, 1, 2, 5};
  auto set = [map](int32_t bit) { return (map >> bit) & 1; };
  int32_t changes = 0;
  for (int k = 0; k < 8; k += 2) {
    // Sides are ring[1], [3], [5], [7]; corners between them.
    const int32_t side = set(ring[(k + 1) % 8]);
    const int32_t next = set(ring[(k + 3) % 8]);
    const int32_t corner = set(ring[(k + 2) % 8]);
    if (!side && (next || corner)) ++changes;
  }
  return changes;
}

TEST(Thinning, RemovalTableFollowsItsRule) {
  int32_t unreachable = 0;
  for (int32_t map = 0; map < 512; ++map) {
    const bool centre = (map & 0020) != 0;
    const int32_t neighbours = std::popcount(static_cast<uint32_t>(map & ~0020));
    const bool rule = centre && neighbours >= 2 && Connectivity(map) == 1;
    const bool fourSides = (map & 0272) == 0272;  // b, d, e, f, h
    if (fourSides) {
      EXPECT_EQ(todelete[map], 1) << map;
      if (!rule) ++unreachable;
      for (int32_t m : masks) EXPECT_NE(map & m, 0);
      continue;
    }
    EXPECT_EQ(todelete[map], rule ? 1 : 0) << map;
  }
  EXPECT_EQ(unreachable, 16);
  EXPECT_EQ(masks[0], 0200);
  EXPECT_EQ(masks[3], 0010);
}

}  // namespace
