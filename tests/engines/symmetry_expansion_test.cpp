// The cut of lattice cells into the copies of the seventeen symmetry types.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "engines/tessellation/quad_lists.h"

namespace {

Quads* Cell(int32_t x0, int32_t y0, int32_t e1x, int32_t e1y, int32_t e3x, int32_t e3y) {
  auto* q = new Quads;
  const int32_t x[4] = {x0, x0 + e1x, x0 + e1x + e3x, x0 + e3x};
  const int32_t y[4] = {y0, y0 + e1y, y0 + e1y + e3y, y0 + e3y};
  std::copy(x, x + 4, q->x);
  std::copy(y, y + 4, q->y);
  return q;
}

std::vector<const Quads*> Copies(MiscQuorlin& e) {
  std::vector<const Quads*> v;
  for (const Quads* q = e.effHead; q != nullptr; q = q->next) v.push_back(q);
  return v;
}

// A cell whose 24ths are whole pixels: every copy corner is exact.
constexpr int32_t kX0 = 1000, kY0 = 2000, kE1x = 2400, kE1y = 480, kE3x = -240, kE3y = 4800;

void ExpectAt(const Quads* q, int corner, double a, double b) {
  EXPECT_EQ(q->x[corner], kX0 + a * kE1x + b * kE3x) << corner;
  EXPECT_EQ(q->y[corner], kY0 + a * kE1y + b * kE3y) << corner;
}

TEST(SymmetryExpansion, CountsTilesAndTrianglesPerType) {
  const int copies[18] = {0, 4, 4, 4, 4, 2, 4, 8, 4, 4, 4, 8, 2, 6, 12, 12, 12, 24};
  const int tiles[18] = {0, 4, 4, 4, 4, 2, 4, 8, 4, 4, 4, 8, 2, 3, 6, 6, 6, 12};
  for (int16_t type = -1; type <= 18; ++type) {
    MiscQuorlin e;
    e.AddQuadGeo(1, Cell(kX0, kY0, kE1x, kE1y, kE3x, kE3y));
    e.AddQuadGeo(2, Cell(kX0 + kE1x, kY0 + kE1y, kE1x, kE1y, kE3x, kE3y));
    e.QuadGeotoQuadEff(type);
    const bool known = type >= 1 && type <= 17;
    EXPECT_EQ(e.effCount, known ? 2 * copies[type] : 0) << type;
    EXPECT_EQ(e.geoCount, 2);
    if (!known) continue;
    const auto v = Copies(e);
    int16_t most = 0;
    for (const Quads* q : v) most = std::max(most, q->tile);
    EXPECT_EQ(most + 1, tiles[type]) << type;
    // Cell after cell: the second cell's copies are the first's moved by one step.
    for (int k = 0; k < copies[type]; ++k) {
      EXPECT_EQ(v[copies[type] + k]->x[3] - v[k]->x[3], kE1x) << type << " " << k;
      EXPECT_EQ(v[copies[type] + k]->tag, v[k]->tag);
    }
    const bool triangles = type == 5 || type == 9 || type == 11 || type == 12 || type >= 15;
    if (triangles)
      for (const Quads* q : v) {
        EXPECT_EQ(2 * q->x[2], q->x[1] + q->x[3]) << type;
        EXPECT_EQ(2 * q->y[2], q->y[1] + q->y[3]) << type;
      }
  }
  MiscQuorlin empty;
  empty.QuadGeotoQuadEff(17);
  EXPECT_EQ(empty.effCount, 0);
}

TEST(SymmetryExpansion, RowsAgainstTheirFractions) {
  auto run = [](int16_t type) {
    auto e = std::make_unique<MiscQuorlin>();
    e->AddQuadGeo(1, Cell(kX0, kY0, kE1x, kE1y, kE3x, kE3y));
    e->QuadGeotoQuadEff(type);
    return e;
  };
  {
    auto e = run(2);
    const Quads* q = e->GetQuadEff(2);
    ExpectAt(q, 0, 1, 0.5), ExpectAt(q, 1, 0.5, 0.5), ExpectAt(q, 2, 0.5, 0), ExpectAt(q, 3, 1, 0);
    EXPECT_EQ(q->tile, 1);
    EXPECT_EQ(q->tag, 3);
  }
  {
    auto e = run(7);  // strips: tile sets 0..3 below b = 1/2, 4..7 above
    const auto v = Copies(*e);
    ExpectAt(v[2], 0, 0.75, 0.5), ExpectAt(v[2], 3, 0.75, 0);
    ExpectAt(v[7], 0, 0.75, 1), ExpectAt(v[7], 2, 1, 0.5);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(v[k]->tile, k);
    EXPECT_EQ(v[3]->tag, 2);
  }
  {
    auto e = run(11);
    const Quads* q = e->GetQuadEff(4);
    ExpectAt(q, 0, 0.5, 0.5), ExpectAt(q, 1, 1, 1), ExpectAt(q, 2, 1, 0.75), ExpectAt(q, 3, 1, 0.5);
    EXPECT_EQ(q->tag, 5);
  }
  {
    auto e = run(13);
    const Quads* q = e->GetQuadEff(1);
    ExpectAt(q, 0, -1.0 / 6, -0.5), ExpectAt(q, 1, 1.0 / 6, -0.5), ExpectAt(q, 2, 1.0 / 3, 0);
    ExpectAt(q, 3, 0, 0);
  }
  {
    auto e = run(17);
    const auto v = Copies(*e);
    ExpectAt(v[2], 1, -0.25, 0.25), ExpectAt(v[2], 2, -5.0 / 24, 3.0 / 8),
        ExpectAt(v[2], 3, -1.0 / 6, 0.5);
    ExpectAt(v[10], 2, 7.0 / 24, 1.0 / 8), ExpectAt(v[10], 3, 1.0 / 3, 0);
    EXPECT_EQ(v[10]->tile, 10);
    EXPECT_EQ(v[10]->tag, 10);
  }
  // Types 13..17 repeat their copies about the centre, moved by (P2 - P0) / 2.
  for (int16_t type = 13; type <= 17; ++type) {
    auto e = run(type);
    const auto v = Copies(*e);
    const size_t half = v.size() / 2;
    for (size_t k = 0; k < half; ++k) {
      for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(v[half + k]->x[c], v[k]->x[c] + (kE1x + kE3x) / 2) << type;
        EXPECT_EQ(v[half + k]->y[c], v[k]->y[c] + (kE1y + kE3y) / 2) << type;
      }
      EXPECT_EQ(v[half + k]->tile, v[k]->tile);
      EXPECT_EQ(v[half + k]->tag, v[k]->tag);
    }
  }
}

TEST(SymmetryExpansion, ExactCornersAndTruncationTowardZero) {
  MiscQuorlin e;
  const int32_t big = (1 << 24) + 3;  // a float would lose the last digit
  e.AddQuadGeo(1, Cell(big, big, 10, 0, 0, 10));
  e.QuadGeotoQuadEff(1);
  EXPECT_EQ(e.GetQuadEff(1)->x[0], big);
  EXPECT_EQ(e.GetQuadEff(4)->x[2], big + 10);
  EXPECT_EQ(e.GetQuadEff(4)->y[2], big + 10);
  MiscQuorlin n;
  n.AddQuadGeo(1, Cell(-7, -7, 5, 0, 0, 5));  // midpoints at -4.5: toward zero gives -4
  n.QuadGeotoQuadEff(1);
  EXPECT_EQ(n.GetQuadEff(1)->x[1], -4);
  EXPECT_EQ(n.GetQuadEff(1)->y[2], -4);
}

TEST(SymmetryExpansion, PrepQuadsBuildsBothListsFromTheRecord) {
  MiscQuorlin e;
  ASSERT_NE(e.par, nullptr);
  Init_TessPar(e.par, 0, 0, 0);
  e.par->head.w[kTessSymmetry] = 6;
  e.PrepQuads(10, 20, 210, 120);
  EXPECT_EQ(e.type, 6);
  ASSERT_GT(e.geoCount, 0);
  EXPECT_EQ(e.effCount, 4 * e.geoCount);
  // Base corners 40 %..60 %: the cell from record corner 2 at (120, 40) to corner 3.
  bool base = false;
  for (const Quads* q = e.geoHead; q != nullptr; q = q->next)
    base = base || (q->x[0] == 120 && q->y[0] == 40 && q->x[1] == 80 && q->y[1] == 40);
  EXPECT_TRUE(base);
  e.par->head.w[kTessSymmetry] = 0;
  e.PrepQuads(0, 0, 200, 100);
  EXPECT_GT(e.geoCount, 0);
  EXPECT_EQ(e.effCount, 0);
}

}  // namespace
