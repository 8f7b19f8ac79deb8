// The envelope transform and the quad distortion of a path list, and the
// drawing of the quad and of a warp frame.
#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "paths/warp_frame.h"

using pathtest::Knot;
using pathtest::OpenPath;

namespace {

class EnvelopeTest : public pathtest::InteractivePathTest {};

// A straight path with its handles at the thirds, so that length and curve
// parameter run evenly.
CPath* Straight(float x0, float y0, float x1, float y1) {
  CPath* p = OpenPath({{x0, y0}, {x1, y1}});
  p->first->outX = x0 + (x1 - x0) / 3;
  p->first->outY = y0 + (y1 - y0) / 3;
  p->first->next->inX = x0 + 2 * (x1 - x0) / 3;
  p->first->next->inY = y0 + 2 * (y1 - y0) / 3;
  return p;
}

// A list of one open path through the points.
std::unique_ptr<CPathList> ListOf(std::initializer_list<std::pair<float, float>> pts) {
  auto l = std::make_unique<CPathList>(0);
  l->first = OpenPath(pts);
  l->count = 1;
  return l;
}

struct Edges {
  std::unique_ptr<CPath> top, right, bottom, left;
};

Edges RectEdges(float x0, float y0, float x1, float y1, float rightShift = 0) {
  return {std::unique_ptr<CPath>(Straight(x0, y0, x1, y0)),
          std::unique_ptr<CPath>(Straight(x1 + rightShift, y0, x1 + rightShift, y1)),
          std::unique_ptr<CPath>(Straight(x1, y1, x0, y1)),
          std::unique_ptr<CPath>(Straight(x0, y1, x0, y0))};
}

TEST_F(EnvelopeTest, StraightEdgesLeaveTheKnots) {
  auto l = ListOf({{0, 0}, {33, 71}, {100, 50}, {57, 100}});
  Edges e = RectEdges(0, 0, 100, 100);
  l->Transform(0, 0, 0, 100, 100, e.top.get(), e.right.get(), e.bottom.get(), e.left.get());
  const float want[4][2] = {{0, 0}, {33, 71}, {100, 50}, {57, 100}};
  for (int i = 0; i < 4; ++i) {
    // Within the one-hundredth steps of the edge sampling.
    EXPECT_NEAR(Knot(l->first, i)->x, want[i][0], 1.0f) << i;
    EXPECT_NEAR(Knot(l->first, i)->y, want[i][1], 1.0f) << i;
  }
}

TEST_F(EnvelopeTest, MovedRightEdgeStretchesTowardIt) {
  auto l = ListOf({{0, 50}, {25, 50}, {50, 50}, {75, 50}, {100, 50}});
  Knot(l->first, 2)->outX = 60.0f;
  Edges e = RectEdges(0, 0, 100, 100, 10);
  l->Transform(0, 0, 0, 100, 100, e.top.get(), e.right.get(), e.bottom.get(), e.left.get());
  EXPECT_NEAR(Knot(l->first, 0)->x, 0.0f, 1e-4f);
  EXPECT_NEAR(Knot(l->first, 4)->x, 110.0f, 1e-3f);
  float last = 0.0f;
  for (int i = 1; i < 4; ++i) {
    const float moved = Knot(l->first, i)->x - 25.0f * static_cast<float>(i);
    EXPECT_GT(moved, last) << i;
    EXPECT_LT(moved, 10.0f) << i;
    last = moved;
  }
  // Tangent mode 0: the handle moves with its knot.
  EXPECT_FLOAT_EQ(Knot(l->first, 2)->outX - Knot(l->first, 2)->x, 10.0f);

  // Any other mode maps the handle by itself.
  auto m = ListOf({{50, 50}});
  m->first->first->outX = 100.0f;
  m->Transform(1, 0, 0, 100, 100, e.top.get(), e.right.get(), e.bottom.get(), e.left.get());
  EXPECT_NEAR(m->first->first->outX, 110.0f, 1e-3f);
}

TEST_F(EnvelopeTest, DegenerateEnvelopesChangeNothing) {
  auto l = ListOf({{10, 20}, {30, 40}});
  Edges e = RectEdges(0, 0, 100, 100, 10);
  l->Transform(0, 0, 0, 0, 100, e.top.get(), e.right.get(), e.bottom.get(), e.left.get());
  l->Transform(0, 0, 5, 100, 5, e.top.get(), e.right.get(), e.bottom.get(), e.left.get());
  CPath empty;
  l->Transform(0, 0, 0, 100, 100, e.top.get(), &empty, e.bottom.get(), e.left.get());
  l->Transform(0, 0, 0, 100, 100, nullptr, e.right.get(), e.bottom.get(), e.left.get());
  EXPECT_EQ(Knot(l->first, 0)->x, 10.0f);
  EXPECT_EQ(Knot(l->first, 1)->y, 40.0f);
}

TEST_F(EnvelopeTest, QuadDistortion) {
  auto l = ListOf({{10, 20}, {60, 20}, {35, 70}});
  // Onto its own bounds: nothing moves.
  l->DistortInQuad(0, 10, 20, 60, 20, 60, 70, 10, 70);
  EXPECT_NEAR(Knot(l->first, 2)->x, 35.0f, 1e-4f);
  EXPECT_NEAR(Knot(l->first, 2)->y, 70.0f, 1e-4f);
  // A box twice as wide, moved: the middle of the bottom goes with it.
  l->DistortInQuad(0, 0, 0, 100, 0, 100, 50, 0, 50);
  EXPECT_NEAR(Knot(l->first, 2)->x, 50.0f, 1e-4f);
  EXPECT_NEAR(Knot(l->first, 2)->y, 50.0f, 1e-4f);
  EXPECT_NEAR(Knot(l->first, 1)->x, 100.0f, 1e-4f);
  // Onto a trapezoid: the bottom middle stays the middle of the wide side.
  l->DistortInQuad(0, 40, 0, 60, 0, 100, 50, 0, 50);
  EXPECT_NEAR(Knot(l->first, 2)->x, 50.0f, 1e-3f);
  EXPECT_NEAR(Knot(l->first, 0)->x, 40.0f, 1e-3f);

  // A box without height has nothing to map.
  auto flat = ListOf({{10, 20}, {60, 20}});
  flat->DistortInQuad(0, 0, 0, 100, 0, 100, 50, 0, 50);
  EXPECT_EQ(Knot(flat->first, 1)->x, 60.0f);
  EXPECT_EQ(Knot(flat->first, 1)->y, 20.0f);
}

TEST_F(EnvelopeTest, QuadAndFrameDrawingsUndoThemselves) {
  CPathList l(0);
  const RGBColor black{0, 0, 0};
  l.DrawDistQuad(nullptr, 0, black, 20, 20, 120, 30, 110, 90, 30, 100);
  EXPECT_FALSE(PortIsWhite());
  l.DrawDistQuad(nullptr, 0, black, 20, 20, 120, 30, 110, 90, 30, 100);
  EXPECT_TRUE(PortIsWhite());

  // A frame of a kind outside the table draws nothing, in a port given.
  plat::draw::Port other(50, 50);
  CWarpPath frame;
  frame.Reset(nullptr);
  frame.kind = 5;
  l.DrawDistWarp(&other, 0, black, &frame);
  EXPECT_EQ(plat::draw::GetPort(), &port_);
  const auto& px = other.surface().pixels();
  EXPECT_TRUE(std::all_of(px.begin(), px.end(), [](uint32_t p) { return p == 0xFFFFFFFFu; }));
  frame.kind = 33;
  l.DrawDistWarp(nullptr, 0, black, &frame);
  EXPECT_FALSE(PortIsWhite());
  l.DrawDistWarp(nullptr, 0, black, &frame);
  EXPECT_TRUE(PortIsWhite());
}

}  // namespace
