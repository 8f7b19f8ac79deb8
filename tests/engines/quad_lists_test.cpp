// The tessellation engine's quad lists and its lattice of base quads.
#include "engines/tessellation/quad_lists.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "app/core/plane_geometry.h"

namespace {

Quads* Tagged(int16_t tag) {
  auto* q = new Quads;
  q->tag = tag;
  return q;
}

std::vector<int16_t> GeoTags(MiscQuorlin& e) {
  std::vector<int16_t> tags;
  for (Quads* q = e.geoHead; q != nullptr; q = q->next) tags.push_back(q->tag);
  return tags;
}

bool Lattice(MiscQuorlin& e, const float* x, const float* y, int32_t W, int32_t H) {
  float a01 = 0, a12 = 0;
  A_ang_2point(x[0], y[0], x[1], y[1], &a01);
  A_ang_2point(x[1], y[1], x[2], y[2], &a12);
  return e.PrepQuadGeoinQuad(a01, a12, x, y, W, H);
}

TEST(QuadLists, PositionsHeadTailMiddleAndOutOfRange) {
  MiscQuorlin e;
  ASSERT_NE(e.par, nullptr);
  EXPECT_EQ(e.GetQuadGeo(1), nullptr);
  e.AddQuadGeo(5, Tagged(1));   // past the count of an empty list
  e.AddQuadGeo(0, Tagged(2));   // new head
  e.AddQuadGeo(9, Tagged(3));   // past the count: the tail
  e.AddQuadGeo(1, Tagged(4));   // after the first
  e.AddQuadGeo(-3, Tagged(5));  // below 0 stands for the head
  EXPECT_EQ(GeoTags(e), (std::vector<int16_t>{5, 2, 4, 1, 3}));
  EXPECT_EQ(e.geoCount, 5);
  EXPECT_EQ(e.GetQuadGeo(0), nullptr);
  EXPECT_EQ(e.GetQuadGeo(6), nullptr);
  EXPECT_EQ(e.GetQuadGeo(3)->tag, 4);
  EXPECT_EQ(e.GetQuadGeo(5)->tag, 3);
  e.DeleteQuadGeo(6);
  e.DeleteQuadGeo(0);
  e.DeleteQuadGeo(5);  // the tail: appends still land at the end
  e.DeleteQuadGeo(1);
  e.DeleteQuadGeo(2);
  e.AddQuadGeo(99, Tagged(6));
  EXPECT_EQ(GeoTags(e), (std::vector<int16_t>{2, 1, 6}));
  EXPECT_EQ(e.geoCount, 3);
  e.AddQuadEff(0, Tagged(7));
  EXPECT_EQ(e.effCount, 1);
  EXPECT_EQ(e.GetQuadEff(1)->tag, 7);
  e.DeleteQuadEff(1);
  EXPECT_EQ(e.effHead, nullptr);
  e.AddQuadEff(3, Tagged(8));
  EXPECT_EQ(e.GetQuadEff(1)->tag, 8);
}

TEST(QuadLists, EmptyingMoreThanASixteenBitCount) {
  MiscQuorlin e;
  for (int k = 0; k < 40000; ++k) e.AddQuadGeo(e.geoCount + 1, Tagged(static_cast<int16_t>(k)));
  EXPECT_EQ(e.geoCount, 40000);
  EXPECT_EQ(e.GetQuadGeo(40000)->tag, static_cast<int16_t>(39999));
  e.DeleteAllQuadGeo();
  EXPECT_EQ(e.geoCount, 0);
  EXPECT_EQ(e.geoHead, nullptr);
  e.AddQuadGeo(1, Tagged(1));
  EXPECT_EQ(e.GetQuadGeo(1)->tag, 1);
}

TEST(QuadLattice, SquareBaseTilesTheRectangle) {
  MiscQuorlin e;
  const float x[4] = {40, 60, 60, 40}, y[4] = {40, 40, 60, 60};
  ASSERT_TRUE(Lattice(e, x, y, 100, 80));
  ASSERT_GT(e.geoCount, 0);
  std::set<std::pair<int32_t, int32_t>> origins;
  int32_t minX = 1 << 30, maxX = -(1 << 30), minY = minX, maxY = maxX, n = 0;
  for (Quads* q = e.geoHead; q != nullptr; q = q->next, ++n) {
    EXPECT_EQ(q->x[1] - q->x[0], 20);
    EXPECT_EQ(q->y[3] - q->y[0], 20);
    EXPECT_EQ(q->x[2], q->x[1]);
    EXPECT_EQ(q->y[2], q->y[3]);
    EXPECT_EQ((q->x[0] - 40) % 20, 0);
    EXPECT_EQ((q->y[0] - 40) % 20, 0);
    EXPECT_EQ(q->tag, 0);
    EXPECT_EQ(q->tile, 0);
    origins.insert({q->x[0], q->y[0]});
    minX = std::min(minX, q->x[0]);
    maxX = std::max(maxX, q->x[2]);
    minY = std::min(minY, q->y[0]);
    maxY = std::max(maxY, q->y[2]);
  }
  EXPECT_EQ(n, e.geoCount);
  EXPECT_EQ(static_cast<int32_t>(origins.size()), n);  // no cell twice
  EXPECT_TRUE(origins.count({40, 40}));
  EXPECT_LE(minX, 0);
  EXPECT_GE(maxX, 100);
  EXPECT_LE(minY, 0);
  EXPECT_GE(maxY, 80);
  // Rows along edge 0-3 outer: the first two quads are neighbours along edge 0-1.
  EXPECT_EQ(e.GetQuadGeo(2)->x[0] - e.GetQuadGeo(1)->x[0], 20);
}

TEST(QuadLattice, DegenerateAndCapped) {
  MiscQuorlin e;
  const float x[4] = {40, 40, 60, 40}, y[4] = {40, 40, 60, 60};  // P0 = P1
  ASSERT_TRUE(Lattice(e, x, y, 100, 100));
  EXPECT_EQ(e.geoCount, 0);
  const float sx[4] = {10, 10.5f, 10.5f, 10}, sy[4] = {10, 10, 10.5f, 10.5f};
  ASSERT_TRUE(Lattice(e, sx, sy, 2000, 2000));
  EXPECT_EQ(e.geoCount, 500 * 500);
}

TEST(QuadLattice, RectangleCellsAtRightAngles) {
  MiscQuorlin e;
  const float x[4] = {30, 50, 50, 30}, y[4] = {20, 20, 30, 30};
  ASSERT_TRUE(e.PrepQuadGeoinRect(0.0f, x, y, 100, 60));
  ASSERT_GT(e.geoCount, 0);
  bool base = false;
  for (Quads* q = e.geoHead; q != nullptr; q = q->next) {
    EXPECT_EQ(q->x[1] - q->x[0], 20);
    EXPECT_EQ(q->y[2] - q->y[1], 10);
    base = base || (q->x[0] == 30 && q->y[0] == 20);
  }
  EXPECT_TRUE(base);
  EXPECT_LE(e.geoHead->x[0], 0);
  const int32_t before = e.geoCount;
  ASSERT_TRUE(e.PrepQuadGeoinRect(0.7f, x, y, 100, 60));  // not a right angle: nothing
  EXPECT_EQ(e.geoCount, before);
}

TEST(QuadBleed, HundredKeepsAndHundredTenGrowsAboutTheCentre) {
  int32_t r[8];
  MiscQuorlin::BleedQuad(10, 20, 50, 20, 50, 60, 10, 60, 100, 100, &r[0], &r[1], &r[2], &r[3],
                         &r[4], &r[5], &r[6], &r[7]);
  EXPECT_EQ(std::vector<int32_t>(r, r + 8), (std::vector<int32_t>{10, 20, 50, 20, 50, 60, 10, 60}));
  MiscQuorlin::BleedQuad(10, 20, 50, 20, 50, 60, 10, 60, 110, 150, &r[0], &r[1], &r[2], &r[3],
                         &r[4], &r[5], &r[6], &r[7]);
  EXPECT_EQ(std::vector<int32_t>(r, r + 8), (std::vector<int32_t>{8, 10, 52, 10, 52, 70, 8, 70}));
  // Odd sums and negative offsets truncate toward zero: centre (0, 0), -7 * 110 / 100 = -7.
  MiscQuorlin::BleedQuad(-7, -7, 8, -7, 8, 8, -7, 8, 110, 110, &r[0], &r[1], &r[2], &r[3], &r[4],
                         &r[5], &r[6], &r[7]);
  EXPECT_EQ(r[0], -7);
  EXPECT_EQ(r[2], 8);
}

TEST(QuadLists, OwnRecordCopy) {
  MiscQuorlin e;
  auto r = std::make_unique<TessPar>();
  Init_TessPar(r.get(), 0, 0, 1);
  r->head.w[kTessSymmetry] = 11;
  r->sets[3].w[kTessBleed] = 120;
  e.SetTessPar(r.get());
  auto back = std::make_unique<TessPar>();
  e.GetTessPar(back.get());
  EXPECT_EQ(back->head.w[kTessSymmetry], 11);
  EXPECT_EQ(back->sets[3].w[kTessBleed], 120);
}

}  // namespace
