// The lens and grid-warp meshes of the image box and the points of a grid
// being created, drawn into an offscreen port.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "overlay_probe.h"

namespace vmktest {
namespace {

constexpr RGBColor kRedC{65535, 0, 0};
constexpr RGBColor kBlueC{0, 0, 65535};
constexpr RGBColor kGreenC{0, 65535, 0};

// A 400 x 300 picture, whole, 200 x 150 displayed in the box rectangle
// (20, 10)-(220, 210) of a 240 x 220 port: origin (20, 35).
class MeshTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    LayOutPicture(400, 300, 2);
    GridPar* g = box_.gridRecord();
    Init_GridPar(g, 400, 300, 2, 2, 0, 3, 1, 1);
    Init_ZondracPar(box_.zondracRecord(), 400, 300, 72, 20, 20, 0);
  }
  GridInfo& Grid() { return box_.gridRecord()->grids[0]; }

  Probe probe_{240, 220};
  const Rect rect_{10, 20, 210, 220};
};

TEST_F(MeshTest, LensMeshWithTheSwitchOffLiesOnTheRegularOne) {
  box_.zondracRecord()->w[kZndMutateOn] = 0;
  box_.zondracRecord()->w[kZndDistortH] = 40;
  box_.DrawZondrac(probe_.port(), rect_, 0, kRedC, 1);
  const std::vector<std::string> regular = probe_.Lines();
  // 21 rows of 20 segments, then 21 columns of 20.
  EXPECT_EQ(regular.size(), 2u * 21 * 20);
  probe_.Clear();
  box_.DrawZondrac(probe_.port(), rect_, 1, kBlueC, 1);
  EXPECT_EQ(probe_.Lines(), regular);
  // Switched on, the corrected set is bent away from the regular one.
  box_.zondracRecord()->w[kZndMutateOn] = 1;
  probe_.Clear();
  box_.DrawZondrac(probe_.port(), rect_, 1, kBlueC, 1);
  EXPECT_NE(probe_.Lines(), regular);
  // The mesh spans the displayed picture, its row 0 along the bottom.
  EXPECT_EQ(regular.front(), "Line 20 186 30 186 mode 8");
  EXPECT_EQ(regular[20 * 21 - 1], "Line 210 35 221 35 mode 8");
}

TEST_F(MeshTest, OtherGridValuesDrawNothingAndOpenTheClip) {
  for (int16_t grid : {2, -1}) {
    probe_.Clear();
    box_.DrawZondrac(probe_.port(), rect_, grid, kRedC, 1);
    box_.DrawGrid(probe_.port(), rect_, grid, kRedC, 1, 1);
    EXPECT_TRUE(probe_.log().empty());
    probe_.ExpectRestored();
  }
}

TEST_F(MeshTest, PlainGridsLineByLineAndSmoothingBelowThreeStaysPlain) {
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 0);
  // 3 rows of 2 segments, then 3 columns of 2; the grid's row 0 lies along
  // the picture's bottom.
  ASSERT_EQ(probe_.log().size(), 12u);
  EXPECT_EQ(probe_.log()[0], "Line 20 185 120 185 mode 8");
  EXPECT_EQ(probe_.log()[5], "Line 120 35 220 35 mode 8");
  EXPECT_EQ(probe_.log()[6], "Line 20 185 20 110 mode 8");
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0);  // smooth display on
  for (int32_t smoothing : {1, 2}) {
    Grid().w[kGiCurvature] = smoothing;
    probe_.Clear();
    box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 1, 0);
    EXPECT_EQ(probe_.log().size(), 12u) << smoothing;
  }
}

TEST_F(MeshTest, SmoothMeshInAddMaxThenOutlinesThenNodes) {
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0);
  Grid().w[kGiCurvature] = 30;
  Grid().node[kGaOut + kGaX][4] += 5000;  // bend the middle node
  box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 1, 0);
  const std::vector<std::string>& log = probe_.log();
  // Four cells of 9 rows of 8 and 8 bands of 9 segments, then their outlines
  // (32 segments each), then a square on each of the nine nodes.
  ASSERT_EQ(log.size(), 4u * 144 + 4 * 32 + 9);
  EXPECT_TRUE(std::all_of(log.begin(), log.begin() + 576,
                          [](const std::string& s) { return s.find(" mode 37") != std::string::npos; }));
  EXPECT_NE(log[576].find(" mode 8"), std::string::npos);
  EXPECT_EQ(log.back().rfind("PaintRect", 0), 0u);
  // Without smooth display the same grid is the plain mesh.
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 0, 0, 0);
  probe_.Clear();
  box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 1, 0);
  EXPECT_EQ(probe_.log().size(), 12u);
}

TEST_F(MeshTest, XorMeshesDrawnTwiceLeaveThePixels) {
  Grid().w[kGiCurvature] = 30;
  Grid().node[kGaOut + kGaY][4] -= 7000;
  Grid().node[kGaOut + kGaSelected][4] = 1;
  for (int16_t smooth : {0, 1}) {
    box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, smooth, 0, 0, 0, 0);
    probe_.Fill();
    const std::vector<uint32_t> before = probe_.pixels();
    box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 0, 1);
    EXPECT_NE(probe_.pixels(), before);
    box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 0, 1);
    EXPECT_EQ(probe_.pixels(), before) << smooth;
  }
}

TEST_F(MeshTest, MarkersOnlyOnSelectedNodes) {
  Grid().node[kGaSelected][4] = 1;    // in grid: the middle node
  Grid().node[kGaOut + kGaSelected][0] = 1;
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 1);
  const std::vector<std::string>& log = probe_.log();
  ASSERT_EQ(log.size(), 14u);
  // The middle node at (20 + rnd(199 x 200 / 399), 35 + rnd(149 x 150 / 299)).
  EXPECT_EQ(log[12], "PaintRect 118 108 122 112 mode 8");
  EXPECT_EQ(log[13], "FrameRect 118 108 122 112 mode 8");
  EXPECT_EQ(probe_.At(120, 110), 0xFFFFFFFFu);
  EXPECT_EQ(probe_.At(118, 110), 0xFFFF0000u);
  probe_.Clear();
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 0);  // marker flag off
  EXPECT_EQ(probe_.log().size(), 12u);
}

TEST_F(MeshTest, AQuarterOfThePictureKeepsTheMeshInsideTheBox) {
  box_.SetPanBufCoord(25000, 25000, 75000, 75000);
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0);
  Grid().w[kGiCurvature] = 30;
  Init_GridInfo(&Grid(), 1, 1, 12, 12, 3);
  probe_.Fill();
  const std::vector<uint32_t> before = probe_.pixels();
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 1);
  box_.DrawGrid(probe_.port(), rect_, 1, kBlueC, 1, 1);
  box_.DrawZondrac(probe_.port(), rect_, 1, kBlueC, 1);
  EXPECT_NE(probe_.pixels(), before);
  EXPECT_EQ(probe_.ChangedOutside(before, rect_), 0);
}

TEST_F(MeshTest, CreatePointsShowUpToThree) {
  int32_t x[4] = {0, 50000, 100000, 50000};
  int32_t y[4] = {0, 0, 100000, 100000};
  auto squares = [&](int16_t last) {
    probe_.Clear();
    box_.DrawCre(probe_.port(), rect_, x, y, last, kGreenC);
    return std::count_if(probe_.log().begin(), probe_.log().end(),
                         [](const std::string& s) { return s.rfind("PaintRect", 0) == 0; });
  };
  EXPECT_EQ(squares(-1), 0);
  EXPECT_EQ(squares(1), 2);
  EXPECT_EQ(squares(3), 3);
  EXPECT_EQ(probe_.log()[2], "PaintRect 118 33 122 37 mode 8");
  EXPECT_EQ(probe_.At(120, 35), 0xFFFFFFFFu);
  EXPECT_EQ(probe_.At(118, 35), 0xFF00FF00u);
  probe_.ExpectRestored();
}

TEST_F(MeshTest, HostileGridRecordsReadNothingOutside) {
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 3, 1, 0, 0, 0, 0);
  Grid().w[kGiColumns] = 200;
  Grid().w[kGiRows] = 200;
  Grid().w[kGiCurvature] = 30;
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 1);
  box_.DrawGrid(probe_.port(), rect_, 1, kRedC, 1, 1);
  probe_.ExpectRestored();
  Grid().w[kGiColumns] = -5;
  box_.DrawGrid(probe_.port(), rect_, 1, kRedC, 1, 1);
  box_.gridRecord()->head.w[kGpCurrent] = 40;
  probe_.Clear();
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 1);
  EXPECT_TRUE(probe_.log().empty());
  probe_.ExpectRestored();
  box_.zondracRecord()->w[kZndFrameCells] = 100000;  // held to the warp grid's lattice
  box_.zondracRecord()->w[kZndFrameLastRow] = -7;
  box_.DrawZondrac(probe_.port(), rect_, 1, kRedC, 1);
  probe_.ExpectRestored();
  // A one-pixel picture has no window to map through.
  LayOutPicture(1, 1, 2);
  box_.gridRecord()->head.w[kGpCurrent] = 0;
  probe_.Clear();
  box_.DrawGrid(probe_.port(), rect_, 0, kRedC, 1, 1);
  box_.DrawZondrac(probe_.port(), rect_, 0, kRedC, 1);
  EXPECT_TRUE(probe_.log().empty());
  probe_.ExpectRestored();
}

}  // namespace
}  // namespace vmktest
