// Seam carving steps: cumulative maps with saturation, the seam trace and its ties,
// removal and insertion with their averaging, and the cone update of the map.
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/yoxel_seams.h"

namespace {

TEST(YoxelSeams, MapAndSeamThroughTies) {
  const int32_t stride = 6, h = 3, w = 5;
  std::vector<int32_t> e = {1, 2, 1, 3, 1, 0, 2, 1, 2, 1, 2, 0, 3, 1, 1, 3, 2, 0};
  std::vector<int32_t> zero(e.size(), 0), map(e.size(), -7);
  Energy_VMap(h, w, stride, h, map.data(), e.data(), zero.data(), nullptr, nullptr);
  EXPECT_EQ(std::vector<int32_t>(map.begin() + 6, map.begin() + 11), (std::vector<int32_t>{3, 2, 3, 2, 3}));
  EXPECT_EQ(std::vector<int32_t>(map.begin() + 12, map.begin() + 17), (std::vector<int32_t>{5, 3, 3, 5, 4}));
  EXPECT_EQ(map[5], -7);  // outside the live width
  std::vector<pixXY> seam(h);
  Energy_VPath(h, w, stride, h, map.data(), seam.data());
  // Start at the lower of two minima; middle beats an equal right; left beats an equal right.
  EXPECT_EQ(seam[2].x, 1);
  EXPECT_EQ(seam[1].x, 1);
  EXPECT_EQ(seam[0].x, 0);
  EXPECT_EQ(seam[0].y, 0);

  // The same map transposed gives the horizontal seam.
  std::vector<int32_t> t(5 * 3, 0), tmap(t.size(), 0), tzero(t.size(), 0);
  for (int32_t r = 0; r < h; ++r)
    for (int32_t c = 0; c < w; ++c) t[c * 3 + r] = e[r * stride + c];
  Energy_HMap(w, h, 3, w, tmap.data(), t.data(), tzero.data(), nullptr, nullptr);
  Energy_HPath(w, h, 3, w, tmap.data(), seam.data());
  EXPECT_EQ(seam[0].y, 0);
  EXPECT_EQ(seam[0].x, 0);
  EXPECT_EQ(seam[2].y, 1);
}

TEST(YoxelSeams, SumsSaturate) {
  std::vector<int32_t> big(4, 2000000000), low(4, -2000000000), map(4, 0);
  Energy_VMap(2, 2, 2, 2, map.data(), big.data(), big.data(), nullptr, nullptr);
  EXPECT_EQ(map[0], 2147483647);
  EXPECT_EQ(map[3], 2147483647);
  Energy_VMap(2, 2, 2, 2, map.data(), low.data(), low.data(), low.data(), nullptr);
  EXPECT_EQ(map[1], -2147483647);
  EXPECT_EQ(map[2], -2147483647);
}

TEST(YoxelSeams, RemovalAndInsertionAverage) {
  const int32_t stride = 6;
  std::vector<uint8_t> r = {10, 21, 40, 61, 80, 0}, g = r, b = r, l = r;
  std::vector<int32_t> m = {-3, -4, 5, 7, 9, 0}, edge = m, mask = m;
  pixXY seam[1] = {{2, 0}};
  Remove_VPath(1, 5, stride, 1, r.data(), g.data(), b.data(), l.data(), m.data(), edge.data(), mask.data(), seam);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 4), (std::vector<uint8_t>{10, 30, 50, 80}));
  EXPECT_EQ(std::vector<int32_t>(edge.begin(), edge.begin() + 4), (std::vector<int32_t>{-3, 0, 6, 9}));
  seam[0].x = 0;
  Remove_VPath(1, 4, stride, 1, r.data(), g.data(), b.data(), l.data(), m.data(), edge.data(), mask.data(), seam);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 3), (std::vector<uint8_t>{30, 50, 80}));
  seam[0].x = 2;  // the last live column just drops out
  Remove_VPath(1, 3, stride, 1, r.data(), g.data(), b.data(), l.data(), m.data(), edge.data(), mask.data(), seam);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 3), (std::vector<uint8_t>{30, 50, 80}));
  std::vector<int32_t> words = {-3, -4, 5, 0, 0, 0};
  seam[0].x = 1;
  Remove_VPath(1, 3, stride, 1, r.data(), g.data(), b.data(), l.data(), words.data(), edge.data(), mask.data(),
               seam);
  EXPECT_EQ(words[0], -3);  // -7 / 2 toward zero
  EXPECT_EQ(words[1], 0);

  std::vector<uint8_t> p = {10, 21, 40, 61, 0, 0};
  std::vector<int32_t> added = {1, 2, 3, 4, 0, 0}, w6(6, 0);
  addweight = 5;
  seam[0].x = 2;
  Add_VPath(1, 5, stride, 1, p.data(), g.data(), b.data(), l.data(), w6.data(), edge.data(), mask.data(),
            added.data(), seam);
  EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 5), (std::vector<uint8_t>{10, 21, 30, 40, 61}));
  EXPECT_EQ(std::vector<int32_t>(added.begin(), added.begin() + 5), (std::vector<int32_t>{1, 2, 8, 8, 4}));
  seam[0].x = 0;
  Add_VPath(1, 6, stride, 1, p.data(), g.data(), b.data(), l.data(), w6.data(), edge.data(), mask.data(),
            added.data(), seam);
  EXPECT_EQ(p[0], 10);
  EXPECT_EQ(p[1], 10);
  EXPECT_EQ(added[0], 6);
  EXPECT_EQ(added[1], 6);
  addweight = 0;
}

TEST(YoxelSeams, InsertingNothingLeavesThePlanes) {
  const int32_t w = 12, h = 9;
  std::vector<uint8_t> r(w * h), g(w * h), b(w * h), l(w * h);
  for (int32_t i = 0; i < w * h; ++i) r[i] = g[i] = b[i] = l[i] = static_cast<uint8_t>(i * 7);
  std::vector<int32_t> edge(w * h, 1), mask(w * h, 0);
  const auto before = r;
  EXPECT_EQ(Smart_VAdd(2, 0, h, w, w, h, r.data(), g.data(), b.data(), l.data(), edge.data(), mask.data()), 0);
  EXPECT_EQ(r, before);
  EXPECT_EQ(Smart_HRemove(2, 3, h, w, w, h, r.data(), g.data(), b.data(), l.data(), edge.data(), mask.data()),
            0);
}

}  // namespace

namespace {

// After each removed seam and its edge refresh the cone from its first point brings the map back to what a
// whole rebuild gives.
TEST(YoxelSeams, ConeUpdateEqualsRebuild) {
  std::mt19937 random(7);
  for (bool vertical : {true, false}) {
    const int32_t w = 30, h = 20, stride = 30;
    std::vector<int32_t> edge(w * h), mask(w * h), map(w * h), full(w * h);
    for (auto& v : edge) v = static_cast<int32_t>(random() % 1000);
    for (auto& v : mask) v = static_cast<int32_t>(random() % 300) - 100;
    std::vector<uint8_t> r(w * h), g(w * h), b(w * h), l(w * h);
    for (auto& v : l) v = static_cast<uint8_t>(random());
    std::vector<pixXY> seam(std::max(w, h));
    int32_t across = vertical ? w : h;
    auto build = [&](int32_t* m, const pixXY* seed) {
      if (vertical)
        Energy_VMap(h, across, stride, h, m, edge.data(), mask.data(), nullptr, seed);
      else
        Energy_HMap(across, w, stride, h, m, edge.data(), mask.data(), nullptr, seed);
    };
    build(map.data(), nullptr);
    for (int32_t n = 0; n < 8; ++n) {
      SCOPED_TRACE(n);
      if (vertical) {
        Energy_VPath(h, across, stride, h, map.data(), seam.data());
        Remove_VPath(h, across, stride, h, r.data(), g.data(), b.data(), l.data(), map.data(), edge.data(),
                     mask.data(), seam.data());
        AdjustV_Edge(2, h, across, stride, h, l.data(), edge.data(), seam.data());
      } else {
        Energy_HPath(across, w, stride, h, map.data(), seam.data());
        Remove_HPath(across, w, stride, h, r.data(), g.data(), b.data(), l.data(), map.data(), edge.data(),
                     mask.data(), seam.data());
        AdjustH_Edge(7, across, w, stride, h, l.data(), edge.data(), seam.data());
      }
      --across;
      build(map.data(), &seam[0]);
      build(full.data(), nullptr);
      for (int32_t i = 0; i < (vertical ? h : across); ++i)
        for (int32_t j = 0; j < (vertical ? across : w); ++j)
          ASSERT_EQ(map[i * stride + j], full[i * stride + j]) << i << "," << j;
    }
  }
}

}  // namespace
