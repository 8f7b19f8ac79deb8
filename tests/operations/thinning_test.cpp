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

// The thinning written out plainly: every sub-pass sweeps the whole plane
// with the incremental neighbourhood maps and one row of saved maps.
void ReferenceThin(Plane& plane, int32_t h, int32_t w, unsigned char bg, unsigned char v) {
  std::vector<unsigned char> map(static_cast<size_t>(w), 0);
  auto is = [v](unsigned char s) { return s == v ? 1 : 0; };
  for (;;) {
    int64_t removed = 0;
    for (const int32_t m : masks) {
      auto test = [&](int32_t p, unsigned char& sample) {
        if ((p & m) == 0 && todelete[p] != 0) {
          sample = bg;
          ++removed;
        }
      };
      auto at = [&](int32_t x, int32_t y) -> unsigned char& {
        return plane[static_cast<size_t>(y) * w + x];
      };
      int32_t p = is(at(0, 0));
      for (int32_t x = 0; x < w - 1; ++x) {
        p = ((p << 1) & 0006) | is(at(x + 1, 0));
        map[x] = static_cast<unsigned char>(p);
      }
      for (int32_t y = 0; y < h - 1; ++y) {
        p = ((map[0] << 2) & 0330) | is(at(0, y + 1));
        for (int32_t x = 0; x < w - 1; ++x) {
          p = ((p << 1) & 0666) | ((map[x] << 3) & 0110) | is(at(x + 1, y + 1));
          map[x] = static_cast<unsigned char>(p);
          test(p, at(x, y));
        }
        p = (p << 1) & 0666;
        test(p, at(w - 1, y));
      }
      p = (map[0] << 2) & 0330;
      for (int32_t x = 0; x < w; ++x) {
        p = ((p << 1) & 0666) | ((map[x] << 3) & 0110);
        test(p, at(x, h - 1));
      }
    }
    if (removed == 0) return;
  }
}

TEST(Thinning, MatchesThePlainSweepsOnBlobs) {
  // Overlapping discs, bars and noise of three values on odd sizes.
  for (const auto& [w, h] : {std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2}, std::pair{83, 57},
                             std::pair{160, 41}}) {
    Plane plane(static_cast<size_t>(w) * h, 0);
    uint32_t seed = static_cast<uint32_t>(w * 131 + h);
    auto next = [&seed]() { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int disc = 0; disc < 12; ++disc) {
      const int32_t cx = static_cast<int32_t>(next() % w), cy = static_cast<int32_t>(next() % h);
      const int32_t r = static_cast<int32_t>(next() % 12) + 1;
      const auto v = static_cast<unsigned char>(1 + next() % 3);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
          if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) plane[y * w + x] = v;
    }
    for (int k = 0; k < w * h / 20; ++k) plane[next() % plane.size()] = static_cast<unsigned char>(next() % 4);
    Plane expected = plane;
    for (unsigned char v : {3, 2, 1}) ReferenceThin(expected, h, w, 0, v);
    Plane actual = plane;
    ASSERT_EQ(thin_image(actual.data(), h, w, 0), 0);
    EXPECT_EQ(actual, expected) << w << " x " << h;
    Plane one = plane, oneExpected = plane;
    ASSERT_EQ(thin1(one.data(), h, w, 0, 2), 0);
    ReferenceThin(oneExpected, h, w, 0, 2);
    EXPECT_EQ(one, oneExpected);
  }
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
