// Editing a warp frame with the mouse: handles offered by kind, the drag of
// corners and inner points with their mirrored partners, and the drag and
// scaling of the whole frame.
#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/warp_frame.h"

namespace {

using plat::ui::kVKCommand;
using plat::ui::kVKOption;
using plat::ui::kVKShift;

Point At(int16_t h, int16_t v) {
  Point p;
  p.h = h;
  p.v = v;
  return p;
}

class WarpFrameEditTest : public pathtest::InteractivePathTest {
 protected:
  WarpFrameEditTest() {
    frame_.Reset(nullptr);  // 10..110 both ways, centre (60, 60)
    frame_.kind = 20;
  }
  // Press at (h, v), one drag to (h2, v2), release there.
  int16_t Drag(int16_t h, int16_t v, int16_t h2, int16_t v2) {
    ui_.Press(h, v);
    ui_.DragTo(h2, v2);
    ui_.Release(h2, v2);
    return frame_.Interactive2(frame_.kind, At(h, v));
  }
  CWarpPath frame_;
};

TEST_F(WarpFrameEditTest, OnCtrlOffersTheHandlesOfTheKind) {
  // Kind 33 answers on corners only; the middle of the left edge is not
  // offered even though the press lies on it.
  EXPECT_EQ(frame_.OnCtrl(33, At(10, 10)), 1);
  EXPECT_EQ(frame_.OnCtrl(33, At(110, 110)), 1);
  EXPECT_EQ(frame_.OnCtrl(33, At(10, 60)), 0);
  EXPECT_EQ(frame_.OnCtrl(33, At(22, 110)), 0);
  // Kind 20: the outer controls of bottom and top (8, 12, 22, 26), not 9-11.
  EXPECT_EQ(frame_.OnCtrl(20, At(22, 110)), 1);   // 8 at (22.5, 110)
  EXPECT_EQ(frame_.OnCtrl(20, At(97, 10)), 1);    // 22 at (97.5, 10)
  EXPECT_EQ(frame_.OnCtrl(20, At(47, 110)), 0);   // 9 at (47.5, 110)
  EXPECT_EQ(frame_.OnCtrl(20, At(60, 110)), 0);   // 10
  EXPECT_EQ(frame_.OnCtrl(30, At(60, 110)), 1);
  EXPECT_EQ(frame_.OnCtrl(3, At(10, 60)), 1);     // 3 on the left edge
  // Six units away is already outside (strict bounds).
  EXPECT_EQ(frame_.OnCtrl(33, At(16, 10)), 0);
  EXPECT_EQ(frame_.OnCtrl(33, At(15, 15)), 1);
}

TEST_F(WarpFrameEditTest, CommandOnCornerZeroMirrorsTheTopRightCorner) {
  ui_.SetKeyDown(kVKCommand, true);
  EXPECT_EQ(Drag(10, 10, 20, 15), 1);
  EXPECT_EQ(frame_.X[0], 20.0f);
  EXPECT_EQ(frame_.Y[0], 15.0f);
  EXPECT_EQ(frame_.X[27], 20.0f);
  EXPECT_EQ(frame_.Y[27], 15.0f);
  EXPECT_EQ(frame_.X[1], 20.0f);   // control points follow by the step
  EXPECT_EQ(frame_.Y[1], 27.5f);
  EXPECT_EQ(frame_.X[26], 32.5f);
  EXPECT_EQ(frame_.Y[26], 15.0f);
  // The top-right corner mirrors across x = 60, its controls by (-dx, dy).
  EXPECT_EQ(frame_.X[20], 100.0f);
  EXPECT_EQ(frame_.X[21], 100.0f);
  EXPECT_EQ(frame_.Y[21], 15.0f);
  EXPECT_EQ(frame_.X[19], 100.0f);
  EXPECT_EQ(frame_.Y[19], 27.5f);
  EXPECT_EQ(frame_.X[22], 87.5f);
  EXPECT_EQ(frame_.Y[22], 15.0f);
  // Without Shift or Control the other corners stay.
  EXPECT_EQ(frame_.X[6], 10.0f);
  EXPECT_EQ(frame_.Y[13], 110.0f);
}

TEST_F(WarpFrameEditTest, MiddleKnotsMirrorThemselvesAndCarryNeighbours) {
  ui_.SetKeyDown(kVKShift, true);
  EXPECT_EQ(Drag(10, 60, 14, 50), 1);
  EXPECT_EQ(frame_.X[3], 14.0f);
  EXPECT_EQ(frame_.Y[3], 70.0f);  // 2 * 60 - 50
  EXPECT_EQ(frame_.X[2], 14.0f);
  EXPECT_EQ(frame_.Y[2], 37.5f);
  EXPECT_EQ(frame_.Y[4], 62.5f);

  frame_.Reset(nullptr);
  ui_.SetKeyDown(kVKShift, false);
  ui_.SetKeyDown(kVKCommand, true);
  EXPECT_EQ(Drag(10, 60, 14, 50), 1);
  EXPECT_EQ(frame_.X[3], 14.0f);
  EXPECT_EQ(frame_.Y[3], 50.0f);
  EXPECT_EQ(frame_.X[17], 106.0f);  // across x = 60
  EXPECT_EQ(frame_.Y[17], 50.0f);
  EXPECT_EQ(frame_.Y[16], 72.5f);   // the partner's neighbours stay
}

TEST_F(WarpFrameEditTest, APressAwayFromThePointsMovesOrScalesTheFrame) {
  EXPECT_EQ(Drag(60, 60, 70, 65), 1);
  for (int i = 0; i < CWarpPath::kPoints; ++i) {
    CWarpPath fresh;
    fresh.Reset(nullptr);
    EXPECT_EQ(frame_.X[i], fresh.X[i] + 10.0f);
    EXPECT_EQ(frame_.Y[i], fresh.Y[i] + 5.0f);
  }

  // Option scales about the centre by the ratio of distances; the press
  // lies on the horizontal centre line, so heights keep their size.
  frame_.Reset(nullptr);
  ui_.SetKeyDown(kVKOption, true);
  EXPECT_EQ(Drag(85, 60, 110, 70), 1);
  EXPECT_EQ(frame_.X[0], -40.0f);  // 60 + 50 * (10 - 60) / 25
  EXPECT_EQ(frame_.X[14], 160.0f);
  EXPECT_EQ(frame_.Y[0], 10.0f);
  EXPECT_EQ(frame_.Y[6], 110.0f);
  // Dragging to the other side never mirrors.
  frame_.Reset(nullptr);
  EXPECT_EQ(Drag(85, 60, 35, 60), 1);
  EXPECT_EQ(frame_.X[0], 10.0f);
}

TEST_F(WarpFrameEditTest, NoMovementChangesNothing) {
  ui_.Press(10, 10);
  ui_.Release(10, 10);
  EXPECT_EQ(frame_.Interactive2(20, At(10, 10)), 0);
  ui_.Press(60, 60);
  ui_.Release(60, 60);
  EXPECT_EQ(frame_.Interactive2(20, At(60, 60)), 0);
  CWarpPath fresh;
  fresh.Reset(nullptr);
  for (int i = 0; i < CWarpPath::kPoints; ++i) EXPECT_EQ(frame_.X[i], fresh.X[i]);
  // Each step erases the old look and draws the new one: with the frame
  // shown before, erasing its last look leaves the port white.
  frame_.DisplayFrame2(0, RGBColor(), 20, frame_.X, frame_.Y);
  ui_.Press(60, 60);
  ui_.DragTo(64, 62);
  ui_.DragTo(70, 65);
  ui_.Release(70, 65);
  EXPECT_EQ(frame_.Interactive2(20, At(60, 60)), 1);
  EXPECT_FALSE(PortIsWhite());
  frame_.DisplayFrame2(0, RGBColor(), 20, frame_.X, frame_.Y);
  EXPECT_TRUE(PortIsWhite());
}

}  // namespace
