// Division of paths into pieces, evenly spaced points, tangents,
// interpolation between paths and the two grid rows along two paths.
#include <array>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/plane_geometry.h"
#include "path_fixture.h"
#include "raster/warp_frame_record.h"

using pathtest::ClosedPath;
using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class PathDivideTest : public pathtest::PathTest {
 protected:
  // n empty destination paths and the pointer array the division takes.
  void MakePieces(int n) {
    owned_.clear();
    ptrs_.clear();
    for (int i = 0; i < n; ++i) {
      owned_.push_back(std::make_unique<CPath>());
      ptrs_.push_back(owned_.back().get());
    }
  }
  CPath& Piece(int i) { return *owned_[static_cast<size_t>(i)]; }

  std::vector<std::unique_ptr<CPath>> owned_;
  std::vector<CPath*> ptrs_;
};

// The knot positions of a piece, in chain order (at most count knots).
std::vector<std::pair<float, float>> Positions(const CPath& p) {
  std::vector<std::pair<float, float>> out;
  const CPathPoint* k = p.first;
  for (int32_t i = 0; i < p.count && k != nullptr; ++i, k = k->next) out.emplace_back(k->x, k->y);
  return out;
}

using Pts = std::vector<std::pair<float, float>>;

TEST_F(PathDivideTest, DivideInNbCutsTheReversedSquareAtItsKnots) {
  std::unique_ptr<CPath> sq(ClosedPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
  MakePieces(4);
  ASSERT_EQ(sq->DivideInNb(4, ptrs_.data()), 0);
  // The cuts are the knots themselves; the pieces run against the path's
  // own direction, each an open two-knot chain without mark numbers.
  EXPECT_EQ(Positions(Piece(0)), (Pts{{0, 0}, {0, 100}}));
  EXPECT_EQ(Positions(Piece(1)), (Pts{{0, 100}, {100, 100}}));
  EXPECT_EQ(Positions(Piece(2)), (Pts{{100, 100}, {100, 0}}));
  EXPECT_EQ(Positions(Piece(3)), (Pts{{100, 0}, {0, 0}}));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Piece(i).count, 2);
    EXPECT_EQ(Piece(i).first->next->next, nullptr);
    EXPECT_EQ(Piece(i).first->markNum, 0);
  }
  // The source keeps its knots.
  EXPECT_EQ(sq->count, 4);
  EXPECT_EQ(sq->markCount, 4);

  // n = 2: cut at the start and half-way round.
  std::unique_ptr<CPath> sq2(ClosedPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
  MakePieces(2);
  ASSERT_EQ(sq2->DivideInNb(2, ptrs_.data()), 0);
  EXPECT_EQ(Positions(Piece(0)), (Pts{{0, 0}, {0, 100}, {100, 100}}));
  EXPECT_EQ(Positions(Piece(1)), (Pts{{100, 100}, {100, 0}, {0, 0}}));
}

TEST_F(PathDivideTest, DivideInNbRefusals) {
  // An open path is refused, yet its marks are already set.
  std::unique_ptr<CPath> open(OpenPath({{0, 0}, {100, 0}, {100, 100}}));
  MakePieces(3);
  EXPECT_EQ(open->DivideInNb(3, ptrs_.data()), -1);
  EXPECT_EQ(open->markCount, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Piece(i).first, nullptr);

  // n < 1, more marks than the table holds, and a path without length cut
  // nowhere and keep their old marks.
  std::unique_ptr<CPath> sq(ClosedPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
  MakePieces(21);
  EXPECT_EQ(sq->DivideInNb(0, ptrs_.data()), -1);
  EXPECT_EQ(sq->DivideInNb(21, ptrs_.data()), -1);
  EXPECT_EQ(sq->markCount, -1);
  std::unique_ptr<CPath> dot(ClosedPath({{5, 5}, {5, 5}}));
  EXPECT_EQ(dot->DivideInNb(2, ptrs_.data()), -1);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(Piece(i).count, 0);
}

TEST_F(PathDivideTest, DivideAlongMarkedPoints) {
  std::unique_ptr<CPath> sq(ClosedPath({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
  for (int i = 0; i < 4; ++i) Knot(sq.get(), i)->markNum = static_cast<int16_t>(i + 1);
  // n = 1 runs from the first knot round to the knot numbered 1.
  MakePieces(1);
  sq->DivideAlongMarkedPoints(1, ptrs_.data());
  EXPECT_EQ(Positions(Piece(0)), (Pts{{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}}));
  EXPECT_EQ(Piece(0).first->markNum, 1);

  MakePieces(2);
  sq->DivideAlongMarkedPoints(2, ptrs_.data());
  EXPECT_EQ(Positions(Piece(0)), (Pts{{0, 0}, {100, 0}}));
  EXPECT_EQ(Positions(Piece(1)), (Pts{{100, 0}, {100, 100}, {0, 100}, {0, 0}}));

  // An end number that never comes: one round, and the next piece starts
  // where the first stopped.
  for (int i = 0; i < 4; ++i) Knot(sq.get(), i)->markNum = 0;
  MakePieces(2);
  sq->DivideAlongMarkedPoints(2, ptrs_.data());
  EXPECT_EQ(Piece(0).count, 5);
  EXPECT_EQ(Piece(1).count, 5);

  // An open chain stops at its last knot.
  std::unique_ptr<CPath> open(OpenPath({{0, 0}, {10, 0}, {20, 0}}));
  MakePieces(1);
  open->DivideAlongMarkedPoints(1, ptrs_.data());
  EXPECT_EQ(Piece(0).count, 3);
}

TEST_F(PathDivideTest, CutPathIntoAndGetLocation) {
  std::unique_ptr<CPath> line(OpenPath({{0, 0}, {100, 0}}));
  std::array<int32_t, 5> xs{}, ys{};
  EXPECT_EQ(line->CutPathInto(5, xs.data(), ys.data()), 0);
  // Each point is the sample at which the previous step was passed; the
  // last is the last sample (t = 0.99).
  EXPECT_EQ(xs, (std::array<int32_t, 5>{0, 21, 42, 60, 99}));
  EXPECT_EQ(ys, (std::array<int32_t, 5>{}));
  // n < 1 writes nothing.
  xs.fill(-7);
  EXPECT_EQ(line->CutPathInto(0, xs.data(), ys.data()), 0);
  EXPECT_EQ(xs[0], -7);

  int32_t x = -1, y = -1;
  line->GetLocation(&x, &y, 10, 1);
  EXPECT_EQ(x, 0);
  // Locations 1..11 on the one segment: 6 lies at t = 0.45, x = 42.5 + 0.5.
  line->GetLocation(&x, &y, 10, 6);
  EXPECT_EQ(x, 43);
  // Beyond the last location: the end knot.
  line->GetLocation(&x, &y, 10, 12);
  EXPECT_EQ(x, 100);
  // A path shorter than 1 gives its first knot.
  std::unique_ptr<CPath> dot(OpenPath({{3.7f, 4.2f}, {3.9f, 4.2f}}));
  dot->GetLocation(&x, &y, 10, 3);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
}

TEST_F(PathDivideTest, TangentAtKnotsAndInside) {
  std::unique_ptr<CPath> p(OpenPath({{0, 0}, {100, 0}}));
  CPathPoint* a = p->first;
  CPathPoint* b = a->next;
  a->outX = 30.0f;
  a->outY = 20.0f;
  b->inX = 80.0f;
  b->inY = -10.0f;
  float dx = 0, dy = 0;
  EXPECT_EQ(p->Tan_atOnSpline(0.0f, 0.0f, a, b, &dx, &dy), 1);
  EXPECT_EQ(dx, 30.0f);
  EXPECT_EQ(dy, 20.0f);
  EXPECT_EQ(p->Tan_atOnSpline(100.0f, 0.0f, a, b, &dx, &dy), 2);
  EXPECT_EQ(dx, 20.0f);
  EXPECT_EQ(dy, 10.0f);
  // Half-way: a third of the derivative, (P3 + P2 - P1 - P0) / 4.
  float mx, my;
  fct_spline(1, &mx, &my, 0.5f, 0, 0, 30, 20, 80, -10, 100, 0);
  EXPECT_EQ(p->Tan_atOnSpline(mx, my, a, b, &dx, &dy), 3);
  EXPECT_FLOAT_EQ(dx, (100.0f + 80.0f - 30.0f) / 4.0f);
  EXPECT_FLOAT_EQ(dy, (-10.0f - 20.0f) / 4.0f);
  EXPECT_EQ(p->Tan_atOnSpline(50.0f, 60.0f, a, b, &dx, &dy), -1);
}

TEST_F(PathDivideTest, InterPolatePath) {
  std::unique_ptr<CPath> a(OpenPath({{0, 0}, {100, 0}, {100, 100}}));
  std::unique_ptr<CPath> b(OpenPath({{0, 50}, {50, 50}, {50, 150}}));
  Knot(b.get(), 1)->markNum = 7;
  CPath mid;
  mid.InterPolatePath(a.get(), b.get(), 0.25f);
  EXPECT_EQ(Positions(mid), (Pts{{0, 37.5f}, {62.5f, 37.5f}, {62.5f, 137.5f}}));
  EXPECT_EQ(mid.first->markNum, 1);
  EXPECT_EQ(mid.first->next->markNum, 7);
  EXPECT_EQ(mid.closed, 1);
  EXPECT_EQ(Knot(&mid, 2)->next, mid.first);
  EXPECT_EQ(mid.first->prev, Knot(&mid, 2));
  // A path that is not empty is left alone.
  mid.InterPolatePath(b.get(), a.get(), 0.5f);
  EXPECT_EQ(mid.count, 3);

  // Differing counts: the longer path leads and each of its knots pairs
  // with the other path's knot at the nearest relative length. The tables
  // follow the paths' sizes, well past two hundred knots.
  CPath many;
  many.CreaPathof_xpts(301, 0);
  for (int i = 0; i < 301; ++i) {
    CPathPoint* k = Knot(&many, i);
    k->x = k->outX = k->inX = static_cast<float>(i);
  }
  std::unique_ptr<CPath> two(OpenPath({{0, 10}, {300, 10}}));
  CPath blend;
  blend.InterPolatePath(&many, two.get(), 1.0f);
  EXPECT_EQ(blend.count, 301);
  EXPECT_EQ(blend.markCount, 1);
  EXPECT_EQ(Knot(&blend, 300)->x, 300.0f);
  CPath other;
  other.InterPolatePath(&many, two.get(), 0.0f);
  // The first half pairs with the short path's first knot, the rest with its end.
  EXPECT_EQ(Knot(&other, 100)->x, 0.0f);
  EXPECT_EQ(Knot(&other, 200)->x, 300.0f);
}

TEST_F(PathDivideTest, TwoPathsToGridRows) {
  std::unique_ptr<CPath> top(OpenPath({{0, 0}, {100, 0}}));
  std::unique_ptr<CPath> bottom(OpenPath({{0, 50}, {60, 50}, {60, 90}}));
  auto grid = std::make_unique<TCWrap>();
  ASSERT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 0, 100, 10, grid.get()), 0);
  EXPECT_EQ(grid->columns, 10);
  EXPECT_EQ(grid->rows, 1);
  const TCWrapNodes& n = grid->set2;
  // Row 0 along this path, row 1 (from index 11) along the other, both
  // from start to end.
  EXPECT_EQ(n.x[0], 0.0f);
  EXPECT_NEAR(n.x[10], 100.0f, 0.1f);
  EXPECT_EQ(n.y[11], 50.0f);
  EXPECT_NEAR(n.x[21], 60.0f, 0.1f);
  EXPECT_NEAR(n.y[21], 90.0f, 0.1f);
  for (int i = 1; i <= 10; ++i) EXPECT_GT(n.x[i], n.x[i - 1]) << i;
  // Half-way along the other path (60 + 40 long) lies 50 along its first leg.
  EXPECT_NEAR(n.x[16], 50.0f, 0.5f);
  EXPECT_NEAR(n.y[16], 50.0f, 0.5f);
  // A span of 25 to 75 percent runs backward when given as 75 to 25.
  ASSERT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 75, 25, 2, grid.get()), 0);
  EXPECT_NEAR(n.x[0], 75.0f, 2.0f);
  EXPECT_NEAR(n.x[2], 25.0f, 2.0f);

  // Refusals leave the grid as it was.
  grid->columns = 7;
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 40, 40, 10, grid.get()), -1);
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 0, 100, 0, grid.get()), -1);
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 0, 100, 5100, grid.get()), -1);
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(nullptr, 0, 100, 10, grid.get()), -1);
  std::unique_ptr<CPath> dot(OpenPath({{5, 5}}));
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(dot.get(), 0, 100, 10, grid.get()), -1);
  EXPECT_EQ(grid->columns, 7);
  // The largest grid that fits the tables: 2 x 5100 nodes.
  EXPECT_EQ(top->X_TwoPartPaths_toGrid(bottom.get(), 0, 100, 5099, grid.get()), 0);
}

}  // namespace
