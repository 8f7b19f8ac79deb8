// The grid-warp tools of the image box: presses and drags on a 2 x 2 grid
// over the displayed picture, checked on the record's nodes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engines/correction/grid_edit.h"
#include "engines/correction/grid_record.h"
#include "track_fixture.h"

namespace vmktest {
namespace {

// Grid units (1/100000 of the 400 x 300 picture) of window points: the
// press form and the rounded drag form. Node (c, r) of the regular grid lies
// at x = 50000 c, y = 100000 - 50000 r: node 4, the middle, at (120, 110).
constexpr float kSx = 200.0f / 399.0f;
constexpr float kSy = 150.0f / 299.0f;
int32_t PlainX(int h) { return static_cast<int32_t>(static_cast<float>(h - 20) / kSx * 100000.0f / 400.0f); }
int32_t PlainY(int v) { return static_cast<int32_t>(static_cast<float>(v - 35) / kSy * 100000.0f / 300.0f); }
int32_t RoundX(int h) {
  return static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(static_cast<float>(h - 20) / kSx + 0.5f)) *
                              100000.0f / 400.0f);
}
int32_t RoundY(int v) {
  return static_cast<int32_t>(static_cast<float>(static_cast<int32_t>(static_cast<float>(v - 35) / kSy + 0.5f)) *
                              100000.0f / 300.0f);
}

class GridToolTest : public TrackTest {
 protected:
  void SetUp() override {
    TrackTest::SetUp();
    Init_GridPar(g_(), 400, 300, 2, 2, 0, 3, 1, 1);
    g_()->head.w[12] = 0;  // the in grid
    g_()->head.w[15] = 0;  // not linked
    box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0);
  }
  GridPar* g_() { return box_.gridRecord(); }
  GridInfo& G() { return g_()->grids[0]; }
  int32_t& In(int array, int k) { return G().node[array][k]; }
  void Tool(int32_t t) { g_()->head.w[kGpTool] = t; }
  // A drag from a to b in n equal steps (window points), and back when asked.
  static std::vector<Point> Path(Point a, Point b, int n, bool back = false) {
    std::vector<Point> p{a};
    auto at = [&](int k) {
      return P(a.h + (b.h - a.h) * k / n, a.v + (b.v - a.v) * k / n);
    };
    for (int k = 1; k <= n; ++k) p.push_back(at(k));
    if (back)
      for (int k = n - 1; k >= 0; --k) p.push_back(at(k));
    return p;
  }
  // Positions and selection flags of both sets' nine nodes.
  std::vector<int32_t> Nodes() {
    std::vector<int32_t> v;
    for (int32_t a : {int32_t{kGaX}, int32_t{kGaY}, int32_t{kGaSelected}, kGaOut + kGaX, kGaOut + kGaY, kGaOut + kGaSelected})
      v.insert(v.end(), G().node[a], G().node[a] + 9);
    return v;
  }
};

TEST_F(GridToolTest, SelectTogglesANodeAndLinkTogglesBothSets) {
  Tool(0);
  Click(121, 111);
  EXPECT_EQ(In(kGaSelected, 4), 1);
  EXPECT_EQ(In(kGaOut + kGaSelected, 4), 0);
  EXPECT_EQ(std::count(G().node[kGaSelected], G().node[kGaSelected] + 9, 1), 1);
  Click(120, 110);
  EXPECT_EQ(In(kGaSelected, 4), 0);
  g_()->head.w[15] = 1;
  Click(120, 110);
  EXPECT_EQ(In(kGaSelected, 4), 1);
  EXPECT_EQ(In(kGaOut + kGaSelected, 4), 1);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);
}

TEST_F(GridToolTest, ShiftClickAddsTheRectangleFromTheLastClick) {
  Tool(0);
  Click(20, 185);  // node 0, the last click
  ASSERT_EQ(In(kGaSelected, 0), 1);
  Click(150, 60, shiftKey);  // nothing there: the rectangle between the two
  EXPECT_EQ(In(kGaSelected, 0), 1);
  EXPECT_EQ(In(kGaSelected, 4), 1);
  EXPECT_EQ(std::count(G().node[kGaSelected], G().node[kGaSelected] + 9, 1), 2);
  // Without Shift a click on nothing deselects every node of the set.
  Click(40, 150);
  EXPECT_EQ(std::count(G().node[kGaSelected], G().node[kGaSelected] + 9, 1), 0);
}

TEST_F(GridToolTest, RubberBandSelectsWhatItSpans) {
  Tool(0);
  In(kGaSelected, 0) = 1;
  Track(Path(P(60, 60), P(180, 160), 6));
  EXPECT_EQ(In(kGaSelected, 0), 0);  // a new rectangle without Shift starts afresh
  EXPECT_EQ(In(kGaSelected, 4), 1);
  EXPECT_EQ(std::count(G().node[kGaSelected], G().node[kGaSelected] + 9, 1), 1);
}

TEST_F(GridToolTest, OptionTurnsMoveIntoSelectAndToolTenOnlyRefreshes) {
  Tool(1);
  Click(120, 110, optionKey);
  EXPECT_EQ(In(kGaSelected, 4), 1);
  EXPECT_EQ(In(kGaX, 4), 50000);
  Tool(10);
  const std::vector<int32_t> before = Nodes();
  box_.CheckSetRefresh(0);
  Track(Path(P(120, 110), P(160, 150), 4));
  EXPECT_EQ(Nodes(), before);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);
}

TEST_F(GridToolTest, MoveCarriesTheSelectionByTheWholeDrag) {
  Tool(1);
  In(kGaSelected, 4) = 1;
  Track(Path(P(120, 110), P(160, 150), 40));
  EXPECT_EQ(In(kGaX, 4), 50000 + RoundX(160) - PlainX(120));
  EXPECT_EQ(In(kGaY, 4), 50000 + RoundY(150) - PlainY(110));
  EXPECT_EQ(In(kGaX, 0), 0);  // unselected nodes stay
}

// A node that is not selected is found under the press: where the button
// went down, not where the mouse is when the tracking first asks, a few
// pixels on (beyond the 500 units a node is found within).
TEST_F(GridToolTest, MoveWithoutASelectionDragsTheNodeUnderThePress) {
  Tool(1);
  Track(P(120, 110), Path(P(124, 114), P(160, 150), 9));
  EXPECT_EQ(In(kGaX, 4), 50000 + RoundX(160) - PlainX(120));
  EXPECT_EQ(In(kGaY, 4), 50000 + RoundY(150) - PlainY(110));
  // The other nodes stay; a press on no node moves nothing.
  EXPECT_EQ(In(kGaX, 0), 0);
  const std::vector<int32_t> before = Nodes();
  Track(P(60, 60), Path(P(64, 64), P(90, 90), 5));
  EXPECT_EQ(Nodes(), before);
}

TEST_F(GridToolTest, SizeAndRotateOutAndBackWorkFromTheCopy) {
  auto reset = [&] {
    Init_GridPar(g_(), 400, 300, 2, 2, 0, 3, 1, 1);
    g_()->head.w[12] = 0;
    g_()->head.w[15] = 0;
    for (int k = 0; k < 9; ++k) In(kGaSelected, k) = 1;
  };
  const std::vector<Point> longWay = Path(P(150, 130), P(190, 170), 25, true);
  reset();
  const std::vector<int32_t> original = Nodes();
  // Size: back where it started, every node is where it was.
  Tool(2);
  Track(longWay);
  EXPECT_EQ(Nodes(), original);
  std::vector<Point> half(longWay.begin(), longWay.begin() + 26);
  Track(half);
  EXPECT_NE(Nodes(), original);
  // Rotate: the turn's own polar maths may round a node by a unit, but every
  // step starts from the copy, so fifty steps out and back build up nothing.
  reset();
  Tool(3);
  Track(longWay);
  const std::vector<int32_t> fifty = Nodes();
  for (size_t k = 0; k < original.size(); ++k) EXPECT_NEAR(fifty[k], original[k], 1) << k;
}

// The tools' copy is kept from press to press; each press must take the record
// as it is then: sized out, a press where the drag ended and a drag back to where
// the first began sizes it back (from a copy of the first press, it would shrink
// the grid below its first size).
TEST_F(GridToolTest, EachPressOfSizeAndRotateTakesTheRecordAsItIsThen) {
  for (int k = 0; k < 9; ++k) In(kGaSelected, k) = 1;
  const std::vector<int32_t> original = Nodes();
  const std::vector<Point> out = Path(P(150, 130), P(190, 170), 10);
  const std::vector<Point> back(out.rbegin(), out.rend());
  for (int32_t tool : {2, 3}) {
    Tool(tool);
    Track(out);
    EXPECT_NE(Nodes(), original) << "tool " << tool;
    Track(back);
    const std::vector<int32_t> again = Nodes();
    // Each press rounds the turned nodes to units once; a stale copy is off by thousands.
    for (size_t k = 0; k < original.size(); ++k) EXPECT_NEAR(again[k], original[k], 8) << "tool " << tool << ", " << k;
  }
}

TEST_F(GridToolTest, BendStartsAtTheNodeUnderThePress) {
  Tool(4);
  g_()->head.w[10] = 1;
  In(kGaSelected, 4) = 1;
  ResetPerspAnchor_GridPar();  // the anchor a later step would reuse: node 0
  // The first step lands within 500 units of node 4 (half a display pixel
  // across), the later ones beyond it.
  Track(Path(P(120, 110), P(130, 110), 10));
  // The first step (phase 2) took node 4, near its point, as the anchor and
  // the later steps (phase 1) kept it.
  EXPECT_EQ(In(kGaX, 4), 50000 + RoundX(130) - RoundX(120));
  EXPECT_EQ(In(kGaY, 4), 50000);
}

TEST_F(GridToolTest, FourClicksCreateAGridAndTheToolGoesBackToSelect) {
  box_.SetNewRowCol(-1, 3, 2, 2);
  Tool(5);
  const Point corners[4] = {P(40, 60), P(180, 60), P(180, 160), P(40, 160)};
  for (int k = 0; k < 3; ++k) {
    Click(corners[k].h, corners[k].v);
    EXPECT_EQ(box_.newRowCol()[0], k);
    EXPECT_EQ(box_.creaX()[k], PlainX(corners[k].h));
    EXPECT_EQ(g_()->head.w[kGpTool], 5);
  }
  Click(corners[3].h, corners[3].v);
  EXPECT_EQ(g_()->head.w[kGpTool], 0);
  EXPECT_EQ(G().w[kGiColumns], 2);
  EXPECT_EQ(G().w[kGiRows], 2);
  EXPECT_EQ(In(kGaX, 0), PlainX(40));
  EXPECT_EQ(In(kGaY, 0), PlainY(60));
  EXPECT_EQ(In(kGaX, 8), PlainX(180));
  // A fifth click, the count still at 3, starts again at corner 0 and
  // writes no other corner.
  Tool(5);
  const int32_t kept[3] = {box_.creaX()[1], box_.creaX()[2], box_.creaX()[3]};
  const std::vector<int32_t> grid = Nodes();
  Click(100, 100);
  EXPECT_EQ(box_.newRowCol()[0], 0);
  EXPECT_EQ(box_.creaX()[0], PlainX(100));
  EXPECT_EQ(box_.creaX()[1], kept[0]);
  EXPECT_EQ(box_.creaX()[2], kept[1]);
  EXPECT_EQ(box_.creaX()[3], kept[2]);
  EXPECT_EQ(Nodes(), grid);
  EXPECT_EQ(g_()->head.w[kGpTool], 5);
}

TEST_F(GridToolTest, OptionDragCreatesTheGridAtOnce) {
  box_.SetNewRowCol(-1, 3, 2, 2);
  Tool(5);
  Track(Path(P(60, 80), P(180, 160), 6), optionKey);
  EXPECT_EQ(g_()->head.w[kGpTool], 0);
  EXPECT_EQ(box_.newRowCol()[0], 3);
  EXPECT_EQ(G().w[kGiColumns], 2);
  // Corners: (min x, max y), (max x, max y), (max x, min y), (min x, min y).
  EXPECT_LT(box_.creaX()[0], box_.creaX()[1]);
  EXPECT_GT(box_.creaY()[0], box_.creaY()[2]);
  EXPECT_EQ(In(kGaX, 0), box_.creaX()[0]);
  EXPECT_EQ(In(kGaY, 0), box_.creaY()[0]);
}

TEST_F(GridToolTest, ColumnAndRowToolsAtThePress) {
  Tool(6);
  Click(70, 150);
  EXPECT_EQ(G().w[kGiColumns], 3);
  Tool(8);
  Click(70, 150);
  EXPECT_EQ(G().w[kGiRows], 3);
  Tool(7);
  Click(70, 150);
  EXPECT_EQ(G().w[kGiColumns], 2);
  Tool(9);
  Click(70, 150);
  EXPECT_EQ(G().w[kGiRows], 2);
}

TEST_F(GridToolTest, DragFeedbackIsTwoGreyXorMeshesAStepAndLeavesNoTrace) {
  Redraw();
  Tool(1);
  In(kGaSelected, 4) = 1;
  std::vector<std::string> log;
  plat::tb::GetWindowPort(window_)->RecordTo(&log);
  Track(Path(P(120, 110), P(126, 116), 3));
  plat::tb::GetWindowPort(window_)->RecordTo(nullptr);
  // Three steps, each the 12-segment mesh before and after the change.
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& s) { return s.rfind("Line", 0) == 0 && s.find(" mode 10") != std::string::npos; }),
            3 * 2 * 12);
  // Size out and back: the meshes drawn cancel out, the window is as it was.
  Redraw();
  for (int k = 0; k < 9; ++k) In(kGaSelected, k) = 1;
  Tool(2);
  const std::vector<uint32_t> before = WindowPixels();
  Track(Path(P(150, 130), P(190, 170), 10, true));
  EXPECT_EQ(WindowPixels(), before);
}

TEST_F(GridToolTest, HostileRecordsWriteNothing) {
  const std::vector<int32_t> before = Nodes();
  Tool(6);
  g_()->head.w[kGpCurrent] = 40;
  Click(70, 150);
  g_()->head.w[kGpCurrent] = -1;
  Click(70, 150);
  g_()->head.w[kGpCurrent] = 0;
  g_()->head.w[kGpWidth] = 0;
  Click(70, 150);
  Tool(1);
  In(kGaSelected, 4) = 1;
  Track(Path(P(120, 110), P(160, 150), 4));
  In(kGaSelected, 4) = 0;
  EXPECT_EQ(Nodes(), before);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);
}

}  // namespace
}  // namespace vmktest
