// The warp frame's lattices and outlines, their copies and the deformations the lens
// correction builds on.
#include <cmath>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "engines/correction/warp_frame_maths.h"

namespace {

constexpr float kHalfPi = 1.5707963268f;

std::unique_ptr<TCWrap> Frame(int32_t columns, int32_t rows, float w, float h) {
  auto f = std::make_unique<TCWrap>();
  InitTCWrap(0, w, h, w, h, 72.0f, columns, rows, 0, f.get());
  return f;
}

int32_t At(const TCWrap& f, int32_t i, int32_t j) { return i + j * (f.columns + 1); }

bool SameFrame(const TCWrap& a, const TCWrap& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(WarpFrameInit, FullInitialisationBuildsLatticesHandlesAndOutlines) {
  auto f = std::make_unique<TCWrap>();
  f->resolution = 55.0f;
  f->flags1[3] = 1;
  f->flags2[14] = 1;
  InitTCWrap(0, 400.0f, 200.0f, 800.0f, 600.0f, 300.0f, 4, 2, 7, f.get());
  EXPECT_EQ(f->flag1, 1);
  EXPECT_EQ(f->flag2, 1);
  EXPECT_EQ(f->kind, 1);
  EXPECT_EQ(f->columns, 4);
  EXPECT_EQ(f->rows, 2);
  EXPECT_EQ(f->extra, 7);
  EXPECT_EQ(f->width2, 800.0f);
  EXPECT_EQ(f->height2, 600.0f);
  EXPECT_EQ(f->resolution, 55.0f);  // never set by initialisation
  for (const TCWrapNodes* s : {&f->set1, &f->set2}) {
    // Row 0 is the top edge.
    EXPECT_EQ(s->x[At(*f, 1, 0)], 100.0f);
    EXPECT_EQ(s->y[At(*f, 1, 0)], 200.0f);
    EXPECT_EQ(s->x[At(*f, 2, 1)], 200.0f);
    EXPECT_EQ(s->y[At(*f, 2, 1)], 100.0f);
    EXPECT_EQ(s->y[At(*f, 4, 2)], 0.0f);
    // Handles a quarter of the way toward each neighbour; at the ends, the node.
    const int32_t k = At(*f, 1, 0);
    EXPECT_EQ(s->prevColX[k], 75.0f);
    EXPECT_EQ(s->nextColX[k], 125.0f);
    EXPECT_EQ(s->prevColY[k], 200.0f);
    EXPECT_EQ(s->prevRowX[k], 100.0f);
    EXPECT_EQ(s->prevRowY[k], 200.0f);
    EXPECT_EQ(s->nextRowY[k], 175.0f);
    EXPECT_EQ(s->prevColX[At(*f, 0, 1)], 0.0f);
    EXPECT_EQ(s->nextColX[At(*f, 4, 1)], 400.0f);
    EXPECT_EQ(s->nextRowY[At(*f, 3, 2)], 0.0f);
  }
  EXPECT_EQ(f->flags1[3], 0);
  EXPECT_EQ(f->flags2[14], 0);
  EXPECT_EQ(f->outlineKind, 3);
  const int points[6] = {3, 9, 10, 17, 24, 27};
  const float xs[6] = {0.0f, 150.0f, 200.0f, 400.0f, 200.0f, 0.0f};
  const float ys[6] = {100.0f, 200.0f, 200.0f, 100.0f, 0.0f, 0.0f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(f->outline1X[points[i]], xs[i]) << points[i];
    EXPECT_EQ(f->outline1Y[points[i]], ys[i]) << points[i];
    EXPECT_EQ(f->outline2X[points[i]], xs[i]) << points[i];
  }

  // Unknown modes touch nothing, in either function.
  auto before = std::make_unique<TCWrap>(*f);
  InitTCWrap(7, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 9, 9, 9, f.get());
  auto other = Frame(2, 2, 10.0f, 10.0f);
  CopyTCWrap(7, other.get(), f.get());
  EXPECT_TRUE(SameFrame(*f, *before));
}

TEST(WarpFrameInit, CellCountsAreHeldToThePlanes) {
  auto f = std::make_unique<TCWrap>();
  struct Case {
    int32_t columns, rows, wantColumns, wantRows;
  };
  const Case cases[] = {{100, 100, 100, 100}, {101, 100, 100, 100}, {200, 200, 100, 100},
                        {0, -5, 1, 1},        {2000, 10, 926, 10}};
  for (const Case& c : cases) {
    InitTCWrap(4, 100.0f, 100.0f, 100.0f, 100.0f, 72.0f, c.columns, c.rows, 0, f.get());
    EXPECT_EQ(f->columns, c.wantColumns) << c.columns << "x" << c.rows;
    EXPECT_EQ(f->rows, c.wantRows) << c.columns << "x" << c.rows;
    EXPECT_TRUE(TCWrapLatticeFits(*f));
  }
  // 2000 x 10 asked: the wider side gives way, as far as needed.
  InitTCWrap(4, 100.0f, 100.0f, 100.0f, 100.0f, 72.0f, 2000, 10, 0, f.get());
  EXPECT_LE((f->columns + 1) * (f->rows + 1), kTCWrapMaxNodes);
  EXPECT_GT((f->columns + 2) * (f->rows + 1), kTCWrapMaxNodes);
  // Counts a caller wrote into the frame are held the same way by the lattice modes.
  f->columns = 150;
  f->rows = 150;
  InitTCWrap(5, 0, 0, 0, 0, 0, 0, 0, 0, f.get());
  EXPECT_EQ(f->columns, 100);
  EXPECT_EQ(f->set1.x[At(*f, 100, 0)], 100.0f);
}

TEST(WarpFrameCopy, LatticeModesCopyOnlyTheNodesInUse) {
  auto src = Frame(2, 2, 200.0f, 200.0f);
  src->set1.x[4] = -3.0f;
  src->flags1[4] = 1;
  src->kind = 9;
  src->resolution = 240.0f;
  auto dst = std::make_unique<TCWrap>();
  dst->set1.x[9] = 42.0f;  // beyond the 3 x 3 nodes
  dst->set2.x[4] = 5.0f;
  CopyTCWrap(5, src.get(), dst.get());
  EXPECT_EQ(dst->set1.x[4], -3.0f);
  EXPECT_EQ(dst->set1.nextRowY[4], src->set1.nextRowY[4]);
  EXPECT_EQ(dst->flags1[4], 1);
  EXPECT_EQ(dst->set1.x[9], 42.0f);
  EXPECT_EQ(dst->set2.x[4], 5.0f);
  EXPECT_EQ(dst->kind, 9);
  EXPECT_EQ(dst->resolution, 240.0f);
  EXPECT_EQ(dst->columns, 2);
  EXPECT_EQ(dst->flag1, 0);  // only mode 0 copies the flags

  CopyTCWrap(2, src.get(), dst.get());
  EXPECT_EQ(dst->outlineKind, 3);
  EXPECT_EQ(dst->outline1X[10], 100.0f);
  EXPECT_EQ(dst->outline2X[10], 0.0f);

  auto whole = std::make_unique<TCWrap>();
  CopyTCWrap(0, src.get(), whole.get());
  EXPECT_TRUE(SameFrame(*whole, *src));
}

TEST(WarpFrameMeasure, BoundsAndCentreOfOneSet) {
  auto f = Frame(4, 2, 400.0f, 200.0f);
  f->set2.x[At(*f, 1, 1)] = -50.0f;
  f->set2.y[At(*f, 3, 0)] = 260.0f;
  float x0 = 0, y0 = 0, x1 = 0, y1 = 0, cx = 0, cy = 0;
  MinMaxCenterGridTCWrap(f.get(), 1, &x0, &y0, &x1, &y1, &cx, &cy);
  EXPECT_EQ(x0, -50.0f);
  EXPECT_EQ(x1, 400.0f);
  EXPECT_EQ(y0, 0.0f);
  EXPECT_EQ(y1, 260.0f);
  EXPECT_EQ(cx, 175.0f);
  EXPECT_EQ(cy, 130.0f);
  MinMaxCenterGridTCWrap(f.get(), 0, &x0, &y0, &x1, &y1, &cx, &cy);
  EXPECT_EQ(x0, 0.0f);
  EXPECT_EQ(cx, 200.0f);
  EXPECT_EQ(cy, 100.0f);
}

TEST(WarpFrameTransform, ScalingMovesChosenNodesWithTheirHandles) {
  auto src = Frame(2, 2, 200.0f, 200.0f);
  auto dst = std::make_unique<TCWrap>(*src);
  SizeGridTCWrap(src.get(), dst.get(), 0, 0, 0, 100.0f, 100.0f, 100.0f, 100.0f, 150.0f, 50.0f);
  EXPECT_EQ(dst->set1.x[0], -50.0f);
  EXPECT_EQ(dst->set1.y[0], 150.0f);
  EXPECT_EQ(dst->set1.prevColX[1], 62.5f);  // (75 - 100) * 1.5 + 100
  EXPECT_EQ(dst->set1.x[4], 100.0f);
  EXPECT_EQ(dst->set2.x[0], 0.0f);  // the other set is not named

  // Only the nodes flagged in the destination; sel 2 none.
  dst = std::make_unique<TCWrap>(*src);
  dst->flags1[8] = 1;
  SizeGridTCWrap(src.get(), dst.get(), 0, 0, 1, 100.0f, 100.0f, 100.0f, 100.0f, 200.0f, 200.0f);
  EXPECT_EQ(dst->set1.x[8], 300.0f);
  EXPECT_EQ(dst->set1.y[8], -100.0f);
  EXPECT_EQ(dst->set1.x[0], 0.0f);
  auto before = std::make_unique<TCWrap>(*dst);
  SizeGridTCWrap(src.get(), dst.get(), 0, 1, 2, 100.0f, 100.0f, 100.0f, 100.0f, 50.0f, 50.0f);
  EXPECT_TRUE(SameFrame(*dst, *before));
}

TEST(WarpFrameTransform, QuarterTurnAboutTheCentre) {
  auto src = Frame(2, 2, 200.0f, 200.0f);
  auto dst = std::make_unique<TCWrap>(*src);
  RotaGridTCWrap(src.get(), dst.get(), 1, 0, 0, 100.0f, 100.0f, 0.25f, 0.25f + kHalfPi);
  // Top-left (0, 200) goes to (0, 0), top-right (200, 200) to (0, 200): angles grow.
  EXPECT_NEAR(dst->set2.x[At(*dst, 0, 0)], 0.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.y[At(*dst, 0, 0)], 0.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.x[At(*dst, 2, 0)], 0.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.y[At(*dst, 2, 0)], 200.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.x[At(*dst, 1, 1)], 100.0f, 1e-4f);
  // The handle toward the next column of the top-left node, (25, 200), follows.
  EXPECT_NEAR(dst->set2.nextColX[0], 0.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.nextColY[0], 25.0f, 1e-3f);
  EXPECT_EQ(dst->set1.x[0], 0.0f);
  EXPECT_EQ(dst->set1.y[0], 200.0f);

  RotaGridTCWrap(src.get(), dst.get(), 0, 1, 0, 100.0f, 100.0f, 0.0f, 2.0f * kHalfPi);
  EXPECT_NEAR(dst->set1.x[0], 200.0f, 1e-3f);
  EXPECT_NEAR(dst->set1.y[0], 0.0f, 1e-3f);
  EXPECT_NEAR(dst->set2.x[0], 200.0f, 1e-3f);
}

TEST(WarpFrameDeform, TinyDisplacementsFlagNothing) {
  auto f = Frame(4, 4, 400.0f, 400.0f);
  const int32_t n = 25;
  uint8_t pending[n] = {};
  uint8_t done[n] = {};
  float a[4][n];
  for (auto& row : a)
    for (float& v : row) v = 7.0f;
  SetFlag_todo(f.get(), 0, 1, pending, done, 2, 2, 0, 0.01f, -0.01f, 0.0f, 0.005f, a[0], a[1], a[2],
               a[3]);
  for (int k = 0; k < n; ++k) {
    EXPECT_EQ(pending[k], 0);
    EXPECT_EQ(a[0][k], 7.0f);
    EXPECT_EQ(a[3][k], 7.0f);
  }
  // Done nodes are skipped: neither written nor flagged.
  done[At(*f, 1, 0)] = 1;
  SetFlag_todo(f.get(), 0, 0, pending, done, 0, 0, 0, 40.0f, 0.0f, 0.0f, 0.0f, a[0], a[1], a[2],
               a[3]);
  EXPECT_EQ(pending[At(*f, 1, 0)], 0);
  EXPECT_EQ(a[0][At(*f, 1, 0)], 7.0f);
  EXPECT_EQ(pending[At(*f, 2, 0)], 1);
  EXPECT_EQ(a[0][At(*f, 2, 0)], 20.0f);
  EXPECT_EQ(a[2][At(*f, 2, 0)], 7.0f);  // the second set was not named
}

TEST(WarpFrameDeform, DraggedCornerFallsOffTowardTheFarEdges) {
  auto f = Frame(4, 4, 400.0f, 400.0f);
  auto start = std::make_unique<TCWrap>(*f);
  PerspGridTCWrap(f.get(), 0, 0, 0, 0, 0.5f, 1.0f, 0, 0, 80.0f, 0.0f);
  const TCWrapNodes& s = f->set1;
  EXPECT_EQ(s.x[At(*f, 0, 0)], 40.0f);
  EXPECT_EQ(s.y[At(*f, 0, 0)], 400.0f);
  EXPECT_EQ(s.nextColX[At(*f, 0, 0)], 65.0f);  // the handles travel with the node
  EXPECT_EQ(s.x[At(*f, 1, 0)], 130.0f);       // three quarters of the way
  EXPECT_EQ(s.x[At(*f, 1, 1)], 122.5f);
  EXPECT_EQ(s.x[At(*f, 0, 1)], 30.0f);
  for (int32_t j = 0; j <= 4; ++j) EXPECT_EQ(s.x[At(*f, 4, j)], start->set1.x[At(*f, 4, j)]) << j;
  for (int32_t i = 0; i <= 4; ++i) EXPECT_EQ(s.x[At(*f, i, 4)], start->set1.x[At(*f, i, 4)]) << i;
  for (int32_t k = 0; k < 25; ++k) {
    EXPECT_EQ(s.y[k], start->set1.y[k]) << k;
    EXPECT_EQ(f->set2.x[k], start->set2.x[k]) << k;
  }

  // Curve 1: 1 - (D - d)^2 / D^2.
  f = Frame(4, 4, 400.0f, 400.0f);
  PerspGridTCWrap(f.get(), 1, 0, 0, 1, 1.0f, 1.0f, 0, 0, 40.0f, 0.0f);
  EXPECT_EQ(f->set2.x[At(*f, 1, 0)], 137.5f);
  EXPECT_EQ(f->set2.x[At(*f, 0, 0)], 40.0f);

  // sel 2 moves nothing; a node outside the lattice does nothing.
  f = Frame(4, 4, 400.0f, 400.0f);
  PerspGridTCWrap(f.get(), 0, 1, 2, 0, 1.0f, 1.0f, 2, 2, 30.0f, 30.0f);
  PerspGridTCWrap(f.get(), 0, 1, 0, 0, 1.0f, 1.0f, 5, 2, 30.0f, 30.0f);
  EXPECT_TRUE(SameFrame(*f, *start));
}

TEST(WarpFrameDeform, LensDistortionPullsEdgeMiddlesTowardTheCentre) {
  auto f = Frame(4, 4, 400.0f, 400.0f);
  auto start = std::make_unique<TCWrap>(*f);
  ZondracTCWrap(f.get(), 1, 0, 0, 0, 0.0f, 0.0f);
  EXPECT_TRUE(SameFrame(*f, *start));

  ZondracTCWrap(f.get(), 1, 0, 0, 0, 6.0f, 0.0f);
  EXPECT_EQ(f->set2.x[At(*f, 0, 2)], 1.5f);
  EXPECT_EQ(f->set2.x[At(*f, 4, 2)], 398.5f);
  for (int32_t k = 0; k < 25; ++k) {
    EXPECT_EQ(f->set2.y[k], start->set2.y[k]) << k;
    EXPECT_EQ(f->set1.x[k], start->set1.x[k]) << k;
  }

  // The lens engine's call: curve 1. Left middle pull 8 x (1 - 1/16) = 7.5 and right
  // middle push -8 x 7/16 = -3.5 on column 1 of the middle row, each a quarter.
  f = Frame(4, 4, 400.0f, 400.0f);
  ZondracTCWrap(f.get(), 1, 0, 0, 1, 8.0f, 0.0f);
  EXPECT_EQ(f->set2.x[At(*f, 1, 2)], 101.0f);
  EXPECT_EQ(f->set2.x[At(*f, 1, 1)], 100.75f);
  EXPECT_EQ(f->set2.x[At(*f, 2, 2)], 200.0f);
  EXPECT_EQ(f->set2.x[At(*f, 0, 0)], 0.0f);

  f = Frame(4, 4, 400.0f, 400.0f);
  ZondracTCWrap(f.get(), 0, 0, 0, 0, 0.0f, 8.0f);
  EXPECT_EQ(f->set1.y[At(*f, 2, 0)], 398.0f);
  EXPECT_EQ(f->set1.y[At(*f, 2, 4)], 2.0f);
  EXPECT_EQ(f->set1.x[At(*f, 2, 0)], 200.0f);
}

}  // namespace
