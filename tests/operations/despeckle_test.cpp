#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/despeckle.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Despeckled(Plane p, int32_t level, float tightness, int32_t height = 1) {
  const auto width = static_cast<int32_t>(p.size()) / height;
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, height, width, level, tightness), 0);
  return p;
}

TEST(Despeckle, LevelOneChangesNothingLevelTwoMergesLonePixels) {
  const Plane row = {90, 90, 100, 200, 200};
  EXPECT_EQ(Despeckled(row, 1, 0.0f), row);
  EXPECT_EQ(Despeckled(row, 2, 0.0f), (Plane{90, 90, 90, 200, 200}));
  // Equal errors: the neighbour met first (left of the run) wins.
  EXPECT_EQ(Despeckled({90, 90, 100, 110, 110}, 2, 0.0f), (Plane{90, 90, 90, 110, 110}));
  EXPECT_EQ(Despeckled({110, 110, 100, 90, 90}, 2, 0.0f), (Plane{110, 110, 110, 90, 90}));
}

TEST(Despeckle, TightnessEightUsesThresholdFifteenInPassTwo) {
  // A two-pixel blob is first looked at in pass 2 (limit 4), where
  // 256 / (1 + 8 * 2) = 15: a difference of 25 is an error of 14.4 and
  // merges, 26 gives 15.01 and stays.
  const Plane merges = {100, 100, 100, 100, 125, 125, 200, 200, 200, 200};
  EXPECT_EQ(Despeckled(merges, 3, 8.0f),
            (Plane{100, 100, 100, 100, 100, 100, 200, 200, 200, 200}));
  EXPECT_EQ(Despeckled(merges, 2, 8.0f), merges);
  const Plane stays = {100, 100, 100, 100, 126, 126, 200, 200, 200, 200};
  EXPECT_EQ(Despeckled(stays, 3, 8.0f), stays);
}

TEST(Despeckle, ThreePlanesMergeWholeColours) {
  Plane r = {90, 90, 100, 200, 200}, g = {90, 90, 100, 200, 200}, b = {90, 90, 101, 200, 200};
  ASSERT_EQ(despeckle(r.data(), g.data(), b.data(), 3, 1, 5, 2, 0.0f), 0);
  EXPECT_EQ(r, (Plane{90, 90, 90, 200, 200}));
  EXPECT_EQ(b, (Plane{90, 90, 90, 200, 200}));
}

TEST(Despeckle, RefusedArgumentsChangeNothing) {
  Plane p = {90, 90, 100, 200, 200};
  const Plane before = p;
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, 8.5f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, -0.1f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, std::nanf("")), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 21, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 0, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 3, 1, 5, 2, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), p.data(), p.data(), 2, 1, 5, 2, 0.0f), 0);
  EXPECT_EQ(p, before);
}

TEST(Despeckle, HugeSnakeOfOneBlobNeedsNoDeepRecursion) {
  // Columns of 255 joined alternately at the top and the bottom: one blob
  // of two million one-pixel runs in a single chain.
  const int32_t n = 2000;
  Plane p(static_cast<size_t>(n) * n, 0);
  for (int32_t x = 0; x < n; x += 2) {
    for (int32_t y = 0; y < n; ++y) p[static_cast<size_t>(y) * n + x] = 255;
    if (x + 2 < n) p[static_cast<size_t>(x % 4 == 0 ? 0 : n - 1) * n + x + 1] = 255;
  }
  p[static_cast<size_t>(n / 2) * n + 1] = 250;  // a speckle between two columns
  std::vector<unsigned char> mask(p.size(), 0);
  EXPECT_EQ(find_size_8(255, 0, 0, n, n, p.data(), mask.data()), n / 2 * n + n / 2 - 1);
  const Plane out = Despeckled(p, 2, 0.0f, n);
  EXPECT_EQ(out[static_cast<size_t>(n / 2) * n + 1], 255);
  p[static_cast<size_t>(n / 2) * n + 1] = 255;
  EXPECT_EQ(out, p);
}

}  // namespace
