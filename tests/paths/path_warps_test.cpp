#include "paths/path_warps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "path_fixture.h"
#include "paths/path_list.h"
#include "raster/quad_mapping.h"
#include "raster/warp_frame_record.h"
#include "raster/warp_lattice.h"

namespace {

using pathtest::ClosedPath;
using pathtest::OpenPath;

constexpr int32_t kMap = 500 * 500;
constexpr int32_t kW = 100;
constexpr int32_t kH = 100;

// One frame record and one pair of maps for the whole file: pixels as the
// unit, a 100 x 100 lattice area on a 100 x 100 picture, so that picture y
// is flipHeight - y.
class PathWarpTest : public pathtest::PathTest {
 protected:
  static void SetUpTestSuite() {
    frame_ = new TCWrap;
    xm_ = new std::vector<uint16_t>(kMap);
    ym_ = new std::vector<uint16_t>(kMap);
  }
  static void TearDownTestSuite() {
    delete frame_;
    delete xm_;
    delete ym_;
  }
  void SetUp() override {
    *frame_ = TCWrap{};
    frame_->kind = 1;
    frame_->width1 = frame_->height1 = 100.0f;
    frame_->width2 = frame_->height2 = 100.0f;
    frame_->resolution = 72.0f;
    Fill(7);
  }
  static void Fill(uint16_t v) {
    std::fill(xm_->begin(), xm_->end(), v);
    std::fill(ym_->begin(), ym_->end(), v);
  }
  static uint16_t* X() { return xm_->data(); }
  static uint16_t* Y() { return ym_->data(); }
  static CPathList* ListOf(CPath* p) {
    auto* l = new CPathList(0);
    l->first = p;
    return l;
  }

  static TCWrap* frame_;
  static std::vector<uint16_t>* xm_;
  static std::vector<uint16_t>* ym_;
};

TCWrap* PathWarpTest::frame_ = nullptr;
std::vector<uint16_t>* PathWarpTest::xm_ = nullptr;
std::vector<uint16_t>* PathWarpTest::ym_ = nullptr;

// Straight edges: every handle a third of the way toward its neighbour.
void StraightHandles(TCWrapNodes& s, int nx, int ny) {
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      const int k = j * (nx + 1) + i;
      auto toward = [&](int o, float* hx, float* hy) {
        hx[k] = s.x[k] + (s.x[o] - s.x[k]) / 3.0f;
        hy[k] = s.y[k] + (s.y[o] - s.y[k]) / 3.0f;
      };
      toward(i > 0 ? k - 1 : k, s.prevColX, s.prevColY);
      toward(i < nx ? k + 1 : k, s.nextColX, s.nextColY);
      toward(j > 0 ? k - nx - 1 : k, s.prevRowX, s.prevRowY);
      toward(j < ny ? k + nx + 1 : k, s.nextRowX, s.nextRowY);
    }
  }
}

TEST(Resample, ByIndexByLengthAndEmptyCurves) {
  Point2f line[2] = {{0, 0}, {10, 0}};
  const Curve in{2, line};
  Curve out;
  resample(&in, &out, 3, 1);
  ASSERT_EQ(out.count, 3);
  EXPECT_FLOAT_EQ(out.pts[0].x, 0.0f);
  EXPECT_FLOAT_EQ(out.pts[1].x, 5.0f);
  EXPECT_FLOAT_EQ(out.pts[2].x, 10.0f);
  DisposeCurve(&out);
  EXPECT_EQ(out.pts, nullptr);

  // By length the places lie a ten-thousandth early, across segments.
  Point2f bend[3] = {{0, 0}, {4, 0}, {4, 6}};
  const Curve in2{3, bend};
  resample(&in2, &out, 3, 0);
  ASSERT_EQ(out.count, 3);
  EXPECT_NEAR(out.pts[0].x, -0.0001f, 1e-6f);
  EXPECT_NEAR(out.pts[1].x, 4.0f, 1e-5f);
  EXPECT_NEAR(out.pts[1].y, 1.0f - 0.0001f, 1e-5f);
  EXPECT_NEAR(out.pts[2].y, 6.0f - 0.0001f, 1e-5f);
  DisposeCurve(&out);

  // A curve without length gives n copies of its first point.
  Point2f still[3] = {{2, 3}, {2, 3}, {2, 3}};
  const Curve in3{3, still};
  resample(&in3, &out, 4, 0);
  ASSERT_EQ(out.count, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(out.pts[i].x, 2.0f);
  DisposeCurve(&out);

  const Curve one{1, line};
  resample(&one, &out, 3, 0);
  EXPECT_EQ(out.count, 0);
  resample(&in, &out, 1, 1);
  EXPECT_EQ(out.count, 0);
}

TEST_F(PathWarpTest, CoonsPatchOfAStraightSquareIsRegular) {
  std::unique_ptr<CPath> s1(OpenPath({{0, 0}, {10, 0}}));
  std::unique_ptr<CPath> s2(OpenPath({{10, 0}, {10, 10}}));
  std::unique_ptr<CPath> s3(OpenPath({{10, 10}, {0, 10}}));
  std::unique_ptr<CPath> s4(OpenPath({{0, 10}, {0, 0}}));
  std::vector<int16_t> gx(121, -1), gy(121, -1);
  ASSERT_EQ(prep_nBYnGrid(0, 0, 10, 10, s1.get(), s2.get(), s3.get(), s4.get(), gx.data(),
                          gy.data()),
            0);
  for (int r = 0; r <= 10; ++r) {
    for (int k = 0; k <= 10; ++k) {
      EXPECT_EQ(gx[r * 11 + k], k) << r << "," << k;
      EXPECT_EQ(gy[r * 11 + k], r) << r << "," << k;
    }
  }
  // A side without knots, or a grid of one column, leaves the grids.
  std::vector<int16_t> before = gx;
  CPath empty;
  EXPECT_EQ(prep_nBYnGrid(0, 0, 10, 10, s1.get(), &empty, s3.get(), s4.get(), gx.data(),
                          gy.data()),
            -1);
  EXPECT_EQ(prep_nBYnGrid(0, 0, 0, 10, s1.get(), s2.get(), s3.get(), s4.get(), gx.data(),
                          gy.data()),
            -1);
  EXPECT_EQ(gx, before);
}

TEST_F(PathWarpTest, CoonsPatchTakesSidesOfManySegments) {
  // 60 segments flatten to 1201 points: more than a fixed work array of
  // 1000 would hold.
  std::unique_ptr<CPath> s1(new CPath);
  for (int i = 0; i <= 60; ++i) s1->AddPoint(new CPathPoint(static_cast<float>(i), 0.0f, 0));
  std::unique_ptr<CPath> s2(OpenPath({{60, 0}, {60, 60}}));
  std::unique_ptr<CPath> s3(OpenPath({{60, 60}, {0, 60}}));
  std::unique_ptr<CPath> s4(OpenPath({{0, 60}, {0, 0}}));
  std::vector<int16_t> gx(7 * 7), gy(7 * 7);
  ASSERT_EQ(prep_nBYnGrid(0, 0, 6, 6, s1.get(), s2.get(), s3.get(), s4.get(), gx.data(),
                          gy.data()),
            0);
  EXPECT_EQ(gx[3], 30);
  EXPECT_EQ(gy[3 * 7 + 3], 30);
}

TEST_F(PathWarpTest, PathToPathRefusesShortPathsAndMovesByTheOffset) {
  float sa[4] = {-1, -1, -1, -1}, sb[4] = {-1, -1, -1, -1};
  std::unique_ptr<CPathList> tiny(ListOf(ClosedPath({{0, 0}, {0.01f, 0}, {0.01f, 0.01f}})));
  std::unique_ptr<CPathList> a(ListOf(ClosedPath({{20, 20}, {80, 20}, {80, 80}, {20, 80}})));
  EXPECT_EQ(PathToPath(kH, kW, 100, 0, X(), Y(), frame_, tiny.get(), a.get(), sa, sb), -1);
  EXPECT_EQ(PathToPath(kH, kW, 100, 0, X(), Y(), frame_, a.get(), nullptr, sa, sb), -1);
  for (int i = 0; i < kMap; ++i) ASSERT_EQ((*xm_)[i], 7) << i;
  EXPECT_EQ(sa[0], -1.0f);

  // The destination is the source moved 3 pixels right: inside it every
  // entry reads 3 pixels to the left.
  std::unique_ptr<CPathList> b(ListOf(ClosedPath({{23, 20}, {83, 20}, {83, 80}, {23, 80}})));
  Fill(kQuadMapNeutral);
  ASSERT_EQ(PathToPath(kH, kW, 100, 0, X(), Y(), frame_, a.get(), b.get(), sa, sb), 0);
  EXPECT_NEAR(sa[0], a->first->GetAcuPathLength() / 4.0f, 1e-3f);
  EXPECT_EQ(sa[3], sa[0]);
  EXPECT_EQ(Y()[50 * kW + 50], kQuadMapNeutral);
  EXPECT_EQ(X()[50 * kW + 50], kQuadMapNeutral - 3 * 128);
  EXPECT_EQ(X()[30 * kW + 70], kQuadMapNeutral - 3 * 128);
  EXPECT_EQ(X()[50 * kW + 10], kQuadMapNeutral);  // outside both
}

TEST_F(PathWarpTest, EnvelopeWithCoincidentOutlinesStaysNeutral) {
  std::unique_ptr<CPathList> l1(ListOf(ClosedPath({{30, 30}, {70, 30}, {70, 70}, {30, 70}})));
  std::unique_ptr<CPathList> l2(ListOf(ClosedPath({{30, 30}, {70, 30}, {70, 70}, {30, 70}})));
  std::unique_ptr<CPathList> l3(ListOf(ClosedPath({{10, 10}, {90, 10}, {90, 90}, {10, 90}})));
  Fill(0);
  ASSERT_EQ(X_Env_buffer(kH, kW, 100, 0, X(), Y(), frame_, l1.get(), l2.get(), l3.get()), 0);
  int written = 0;
  for (int i = 0; i < kW * kH; ++i) {
    if (X()[i] == 0) continue;
    ++written;
    ASSERT_LE(std::abs(X()[i] - int{kQuadMapNeutral}), 128) << i;
    ASSERT_LE(std::abs(Y()[i] - int{kQuadMapNeutral}), 128) << i;
  }
  EXPECT_GT(written, 2000);  // the band between the two outlines
  EXPECT_EQ(X()[20 * kW + 50], kQuadMapNeutral);

  std::unique_ptr<CPathList> none(new CPathList(0));
  Fill(7);
  EXPECT_EQ(X_Env_buffer(kH, kW, 100, 0, X(), Y(), frame_, l1.get(), none.get(), l3.get()), -1);
  EXPECT_EQ(X_Env_buffer(600, 500, 100, 0, X(), Y(), frame_, l1.get(), l2.get(), l3.get()), -1);
  for (int i = 0; i < kMap; ++i) ASSERT_EQ(X()[i], 7) << i;
}

// The 60-point border ring of an outline's 15 x 15 Coons grid (its first
// path cut into four sides of equal length) in picture coordinates, y
// flipped at 100: row 0, the last column, the last row backwards, the first
// column upwards.
void OutlineRing(CPath* outline, int32_t* rx, int32_t* ry) {
  CPath* sides[4] = {new CPath, new CPath, new CPath, new CPath};
  ASSERT_EQ(outline->DivideInNb(4, sides), 0);
  int16_t gx[225], gy[225];
  ASSERT_EQ(prep_nBYnGrid(0, 0, 14, 14, sides[0], sides[1], sides[2], sides[3], gx, gy), 0);
  for (CPath* side : sides) delete side;
  for (int i = 0; i < 15; ++i) {
    const int at[4] = {i, i * 15 + 14, 14 * 15 + (14 - i), (14 - i) * 15};
    for (int s = 0; s < 4; ++s) {
      rx[s * 15 + i] = gx[at[s]];
      ry[s * 15 + i] = 100 - gy[at[s]];
    }
  }
}

// Two different inner outlines: the band between the first and the shared
// outline is pulled onto the band between the second and the shared one,
// one quadrilateral per step of the rings.
TEST_F(PathWarpTest, EnvelopeBetweenTwoDifferentOutlines) {
  std::unique_ptr<CPathList> l1(ListOf(ClosedPath({{30, 30}, {70, 30}, {70, 70}, {30, 70}})));
  std::unique_ptr<CPathList> l2(ListOf(ClosedPath({{36, 30}, {76, 30}, {76, 70}, {36, 70}})));
  std::unique_ptr<CPathList> l3(ListOf(ClosedPath({{10, 10}, {90, 10}, {90, 90}, {10, 90}})));
  Fill(0);
  ASSERT_EQ(X_Env_buffer(kH, kW, 100, 0, X(), Y(), frame_, l1.get(), l2.get(), l3.get()), 0);

  int32_t r1x[60], r1y[60], r2x[60], r2y[60], r3x[60], r3y[60];
  OutlineRing(l1->first, r1x, r1y);
  OutlineRing(l2->first, r2x, r2y);
  OutlineRing(l3->first, r3x, r3y);
  // The sides are cut from the reversed outline: the ring starts down the
  // left edge.
  EXPECT_EQ(r1x[0], 30);
  EXPECT_EQ(r1y[0], 70);
  EXPECT_EQ(r1x[7], 30);
  EXPECT_EQ(r1x[15], 30);
  EXPECT_EQ(r2x[30], 76);
  std::vector<uint16_t> ex(kMap, 0), ey(kMap, 0);
  for (int k = 0; k < 59; ++k)
    QuadToQuad(kH, kW, ex.data(), ey.data(), r1x[k], r1y[k], r1x[k + 1], r1y[k + 1], r3x[k + 1],
               r3y[k + 1], r3x[k], r3y[k], r2x[k], r2y[k], r2x[k + 1], r2y[k + 1], r3x[k + 1],
               r3y[k + 1], r3x[k], r3y[k]);
  int moved = 0;
  for (int i = 0; i < kW * kH; ++i) {
    ASSERT_EQ(X()[i], ex[i]) << i;
    ASSERT_EQ(Y()[i], ey[i]) << i;
    if (X()[i] != 0 && X()[i] != kQuadMapNeutral) ++moved;
  }
  EXPECT_GT(moved, 500);            // the band really moves where the outlines differ
  EXPECT_EQ(X()[50 * kW + 55], 0);  // inside the second outline nothing is written
}

TEST_F(PathWarpTest, CurvedCellLatticeSubdivisionAndMaps) {
  // A 4 x 4 lattice over the picture, the destination moved 3 right.
  InitGrid(4, 4, 100, 100, 100, 100, frame_);
  for (float& v : frame_->set2.x) v += 3.0f;
  StraightHandles(frame_->set1, 4, 4);
  StraightHandles(frame_->set2, 4, 4);
  ASSERT_EQ(X_Grcrvinout_buffer(1, 100, 0, kH, kW, X(), Y(), frame_), 0);
  EXPECT_EQ(nbgrids, 8);
  EXPECT_EQ(HALFnbgrids, 4);
  EXPECT_EQ(X()[50 * kW + 50], kQuadMapNeutral - 3 * 128);
  EXPECT_EQ(Y()[50 * kW + 50], kQuadMapNeutral);
  EXPECT_EQ(X()[(kH - 1) * kW + 1], kQuadMapNeutral);  // left of the moved lattice: reset
  EXPECT_EQ(X()[kMap - 1], kQuadMapNeutral);            // mode 1 resets all of both maps

  // Identical lattices give neutral maps wherever they reach.
  frame_->set2 = frame_->set1;
  Fill(0);
  ASSERT_EQ(X_Grcrvinout_buffer(2, 100, 0, kH, kW, X(), Y(), frame_), 0);
  for (int i = 0; i < kW * kH; ++i) {
    if (X()[i] == 0) continue;
    ASSERT_EQ(X()[i], kQuadMapNeutral) << i;
    ASSERT_EQ(Y()[i], kQuadMapNeutral) << i;
  }
  EXPECT_EQ(X()[50 * kW + 50], kQuadMapNeutral);

  // A 3 x 2 lattice subdivides 16 x 16.
  InitGrid(3, 2, 100, 100, 100, 100, frame_);
  StraightHandles(frame_->set1, 3, 2);
  StraightHandles(frame_->set2, 3, 2);
  ASSERT_EQ(X_Grcrvinout_buffer(0, 100, 0, kH, kW, X(), Y(), frame_), 0);
  EXPECT_EQ(nbgrids, 16);

  // Refusals: no cells (the subdivision falls back to 8), maps too large.
  Fill(7);
  frame_->columns = 0;
  EXPECT_EQ(X_Grcrvinout_buffer(1, 100, 0, kH, kW, X(), Y(), frame_), -1);
  EXPECT_EQ(nbgrids, 8);
  frame_->columns = 3;
  EXPECT_EQ(X_Grcrvinout_buffer(1, 100, 0, 501, 500, X(), Y(), frame_), -1);
  frame_->columns = 101;
  frame_->rows = 100;  // 102 x 101 nodes: more than the record holds
  EXPECT_EQ(X_Grcrvinout_buffer(1, 100, 0, kH, kW, X(), Y(), frame_), -1);
  for (int i = 0; i < kMap; ++i) ASSERT_EQ(X()[i], 7) << i;
}

TEST_F(PathWarpTest, GrToShapeOrderAndShapeToGridOfASquare) {
  // One 30 x 30 cell, straight edges, handles at thirds.
  InitGrid(1, 1, 30, 30, 30, 30, frame_);
  StraightHandles(frame_->set1, 1, 1);
  const TCWrapNodes& s = frame_->set1;
  float ox[28], oy[28];
  GrToShape(0, 1, s.x, s.y, s.prevColX, s.prevColY, s.prevRowX, s.prevRowY, s.nextColX,
            s.nextColY, s.nextRowX, s.nextRowY, ox, oy);
  // Upper-left (0, 30) first; lower-left, lower-right, upper-right.
  EXPECT_EQ(ox[0], 0.0f);
  EXPECT_EQ(oy[0], 30.0f);
  EXPECT_EQ(oy[1], 20.0f);  // its handle toward the previous row
  EXPECT_NEAR(oy[3], 15.0f, 0.2f);  // lengths are measured a little short
  EXPECT_EQ(oy[6], 0.0f);
  EXPECT_EQ(ox[13], 30.0f);
  EXPECT_EQ(oy[20], 30.0f);
  EXPECT_EQ(ox[26], 10.0f);  // the upper-left node's right handle
  EXPECT_EQ(ox[27], 0.0f);

  nbgrids = 6;
  HALFnbgrids = 3;
  float gx[49], gy[49];
  ShapeToGrid(ox, oy, gx, gy);
  for (int r = 0; r <= 6; ++r) {
    for (int c = 0; c <= 6; ++c) {
      EXPECT_NEAR(gx[r * 7 + c], 5.0f * c, 0.3f) << r << "," << c;
      EXPECT_NEAR(gy[r * 7 + c], 30.0f - 5.0f * r, 0.3f) << r << "," << c;
    }
  }
  nbgrids = 8;
  HALFnbgrids = 4;
}

}  // namespace
