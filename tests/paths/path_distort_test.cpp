// Bending path lists into warp frames of two and of four curved edges.
#include <memory>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"

using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class PathDistortTest : public pathtest::PathTest {};

// A list of one path whose knots cover the box 0..100 x 0..80, its sides
// included, with a handle off its knot.
std::unique_ptr<CPathList> Sample() {
  auto l = std::make_unique<CPathList>(0);
  l->first = OpenPath({{0, 0}, {100, 0}, {37, 41}, {100, 80}, {0, 80}, {63, 13}});
  Knot(l->first, 2)->outX = 52.0f;
  Knot(l->first, 2)->outY = 70.0f;
  l->count = 1;
  return l;
}

void ExpectSameKnots(const CPath* got, const CPath* want, float tol) {
  ASSERT_EQ(got->count, want->count);
  for (int i = 0; i < want->count; ++i) {
    const CPathPoint* g = Knot(got, i);
    const CPathPoint* w = Knot(want, i);
    EXPECT_NEAR(g->x, w->x, tol) << i;
    EXPECT_NEAR(g->y, w->y, tol) << i;
    EXPECT_NEAR(g->outX, w->outX, tol) << i;
    EXPECT_NEAR(g->outY, w->outY, tol) << i;
  }
}

TEST_F(PathDistortTest, AFrameResetOverThePathsLeavesThemInPlace) {
  const auto want = Sample();
  for (int16_t kind : {2, 3, 20, 30, 33}) {
    auto l = Sample();
    CWarpPath f;
    f.kind = kind;
    f.Reset(l.get());
    if (kind == 33) {
      l->DistortWithPath(1, f.X, f.Y, 0);
    } else {
      l->Distort2Path(1, kind, f.X, f.Y, 0);
    }
    SCOPED_TRACE(kind);
    // Within the one-hundredth steps of sampling the frame's curves.
    ExpectSameKnots(l->first, want->first, 1.0f);
  }
}

TEST_F(PathDistortTest, CurvedTopLiftsTheTopAndKeepsTheBottom) {
  auto l = Sample();
  CWarpPath f;
  f.kind = 20;
  f.Reset(l.get());
  // The top curve's handles rise by 40: the top bows upward.
  f.Y[22] -= 40.0f;
  f.Y[26] -= 40.0f;
  l->Distort2Path(0, 20, f.X, f.Y, 0);
  // The middle of the top edge rises by about three quarters of 40, its
  // ends stay; the bottom stays where it was.
  const CPathPoint* mid = Knot(l->first, 5);  // (63, 13): on the way down
  EXPECT_LT(mid->y, 13.0f - 15.0f);
  // A curve's last sample lies at t = 0.99, where the steep curve is 1.2 short.
  EXPECT_NEAR(Knot(l->first, 0)->y, 0.0f, 1.5f);
  EXPECT_NEAR(Knot(l->first, 3)->y, 80.0f, 1e-3f);
  EXPECT_NEAR(Knot(l->first, 4)->x, 0.0f, 1e-3f);

  // Kind 33 with the right edge's middle pushed out by 30.
  auto m = Sample();
  CWarpPath g;
  g.kind = 33;
  g.Reset(m.get());
  for (int i = 15; i <= 19; ++i) g.X[i] += 30.0f;
  m->DistortWithPath(0, g.X, g.Y, 0);
  EXPECT_GT(Knot(m->first, 2)->x, 37.0f + 2.0f);   // the inside follows
  EXPECT_NEAR(Knot(m->first, 4)->x, 0.0f, 1.0f);   // the left side stays
  EXPECT_NEAR(Knot(m->first, 1)->x, 100.0f, 1.0f);  // the corners stay
}

TEST_F(PathDistortTest, DensityInsertsKnotsFirst) {
  auto l = std::make_unique<CPathList>(0);
  l->first = OpenPath({{0, 0}, {250, 0}, {250, 30}});
  l->count = 1;
  CPath twin;
  l->first->CopyPath(&twin);
  twin.InsertPoints(100);
  CWarpPath f;
  f.kind = 3;
  f.Reset(l.get());
  l->Distort2Path(1, 3, f.X, f.Y, 0);
  EXPECT_EQ(l->first->count, 3);
  l->Distort2Path(1, 3, f.X, f.Y, 20);
  EXPECT_EQ(l->first->count, twin.count);
  EXPECT_GT(twin.count, 3);
  // A kind without two curved edges only inserts.
  l->Distort2Path(1, 33, f.X, f.Y, 60);
  EXPECT_GT(l->first->count, twin.count);
}

TEST_F(PathDistortTest, NothingToMapMovesNothing) {
  CWarpPath f;
  f.kind = 33;
  f.Reset(nullptr);
  f.X[3] += 50.0f;
  CPathList empty(0);
  empty.DistortWithPath(0, f.X, f.Y, 0);
  EXPECT_EQ(empty.first, nullptr);

  // No active path: no box, nothing moves.
  auto l = Sample();
  l->first->active = 0;
  l->DistortWithPath(1, f.X, f.Y, 0);
  l->DistortWithPath(0, f.X, f.Y, 0);
  l->Distort2Path(0, 3, f.X, f.Y, 0);
  ExpectSameKnots(l->first, Sample()->first, 0.0f);

  // A box without height: nothing moves either.
  auto flat = std::make_unique<CPathList>(0);
  flat->first = OpenPath({{0, 5}, {100, 5}});
  flat->count = 1;
  flat->Distort2Path(1, 2, f.X, f.Y, 0);
  EXPECT_EQ(Knot(flat->first, 1)->x, 100.0f);
  EXPECT_EQ(Knot(flat->first, 1)->y, 5.0f);

  // An inactive path outside the active box uses the nearest cell.
  auto two = Sample();
  two->first->next = OpenPath({{300, -50}});
  two->first->next->active = 0;
  two->count = 2;
  CWarpPath g;
  g.kind = 2;
  g.Reset(two.get());
  EXPECT_EQ(two->first->next->active, 0);
  two->Distort2Path(0, 2, g.X, g.Y, 0);
  EXPECT_NEAR(two->first->next->first->x, 100.0f, 1.0f);
  EXPECT_NEAR(two->first->next->first->y, 0.0f, 1.0f);
}

}  // namespace
