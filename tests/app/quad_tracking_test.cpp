#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/quad_tracking.h"
#include "app/rubber_band.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/scripted_ui.h"

using plat::ui::ScriptedUi;

namespace {

struct Pt {
  int h, v;
  uint32_t mods = ScriptedUi::kKeepModifiers;
};

class QuadTrackingTest : public ::testing::Test {
 protected:
  QuadTrackingTest() : guard_(&ui_), port_(120, 100) {
    keepFolder_ = plat::res::ResourceFolder();
    plat::res::SetResourceFolder(std::string(VMK_SOURCE_DIR) + "/resources/rsrc");
    // A picture under the quad, so that a pixel left inverted shows.
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 120; ++x) port_.surface().row(y)[x] = 0xFF000000u | static_cast<uint32_t>(x * 2 + y * 512);
    before_ = port_.surface().pixels();
    plat::draw::SetPort(&other_);
  }
  ~QuadTrackingTest() override { plat::res::SetResourceFolder(keepFolder_); }

  // Press, drags and release in port coordinates; the first point is the
  // press, the last the release.
  void Script(const std::vector<Pt>& pts, uint32_t modsAtPress = 0) {
    for (size_t i = 0; i < pts.size(); ++i) {
      uint32_t m = pts[i].mods;
      if (i == 0) ui_.Press(static_cast<int16_t>(pts[i].h), static_cast<int16_t>(pts[i].v), modsAtPress);
      else if (i + 1 == pts.size()) ui_.Release(static_cast<int16_t>(pts[i].h), static_cast<int16_t>(pts[i].v), m);
      else ui_.DragTo(static_cast<int16_t>(pts[i].h), static_cast<int16_t>(pts[i].v), m);
    }
  }

  int32_t Run(int16_t constraint, int16_t create = 0, bool takesAll = true) {
    int16_t flag = 7;
    int32_t code = updatequad(&port_, kOffH, kOffV, port_.portRect, &q_[0], &q_[1], &q_[2], &q_[3], &q_[4], &q_[5],
                              &q_[6], &q_[7], &flag, 0, constraint, create, 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(plat::draw::GetPort(), &other_);  // the caller's port is back
    EXPECT_EQ(port_.surface().pixels(), before_) << "feedback left on the port";
    if (takesAll) {
      EXPECT_EQ(ui_.PendingMouseSamples(), 0u);
    }
    ui_.ClearMouseScript();  // what the drag did not take goes to the event loop
    return code;
  }

  void ExpectQuad(std::vector<float> want, float tolerance = 1e-3f) {
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(q_[i], want[i], tolerance) << "value " << i;
  }

  static constexpr int16_t kOffH = 5, kOffV = 3;
  ScriptedUi ui_;
  plat::ui::ScopedServices guard_;
  plat::draw::Port port_;
  plat::draw::Port other_{4, 4};
  std::vector<uint32_t> before_;
  std::string keepFolder_;
  // Square 10..50 in outline order P1 top-left, P2 top-right, P3
  // bottom-right, P4 bottom-left.
  float q_[8] = {10, 10, 50, 10, 50, 50, 10, 50};
};

// Port coordinates of a quad point.
Pt At(int h, int v, uint32_t mods = ScriptedUi::kKeepModifiers) {
  return Pt{h + 5, v + 3, mods};
}

}  // namespace

TEST_F(QuadTrackingTest, CornerDragScalesAboutTheOppositeCornerOrMovesFreely) {
  Script({At(52, 51), At(55, 60), At(60, 70)});
  EXPECT_EQ(Run(0), 2);
  ExpectQuad({10, 10, 60, 10, 60, 70, 10, 70});

  // Command with constraint 0: only the dragged corner moves.
  Script({At(60, 70), At(61, 64, cmdKey), At(61, 64)}, 0);
  EXPECT_EQ(Run(0), 2);
  ExpectQuad({10, 10, 60, 10, 61, 64, 10, 70});

  // Command under constraint 1 is a forbidden mode: nothing moves.
  Script({At(10, 10), At(0, 0, cmdKey), At(2, 2)}, 0);
  EXPECT_EQ(Run(1), 0);
  ExpectQuad({10, 10, 60, 10, 61, 64, 10, 70});
}

TEST_F(QuadTrackingTest, SymmetricCornerModesFollowTheConstraint) {
  // Command+Shift moves the corner and its opposite the other way; allowed
  // under constraint 2.
  Script({At(10, 10), At(14, 12, cmdKey | shiftKey), At(14, 12)}, 0);
  EXPECT_EQ(Run(2), 0);
  ExpectQuad({14, 12, 50, 10, 46, 48, 10, 50});
  // Command+Shift+Option moves the diagonal pair one way and the others back;
  // not under constraint 2.
  float keep[8];
  std::copy(q_, q_ + 8, keep);
  Script({At(50, 10), At(52, 10, cmdKey | shiftKey | optionKey), At(52, 10)}, 0);
  EXPECT_EQ(Run(2), 1);
  ExpectQuad(std::vector<float>(keep, keep + 8));
  Script({At(50, 10), At(52, 10, cmdKey | shiftKey | optionKey), At(52, 10)}, 0);
  EXPECT_EQ(Run(0), 1);
  ExpectQuad({12, 12, 52, 10, 44, 48, 12, 50});
}

TEST_F(QuadTrackingTest, HitsPreferTheLowerHandleIndex) {
  // A small quad whose corner 0 and edge handle 4 both lie within 10 pixels.
  float small[8] = {0, 0, 12, 0, 12, 12, 0, 12};
  std::copy(small, small + 8, q_);
  Script({At(4, 1), At(-3, -2, cmdKey), At(-3, -2)}, 0);
  EXPECT_EQ(Run(0), 0);
  ExpectQuad({-3, -2, 12, 0, 12, 12, 0, 12});
  // A press on a corner released where it was: the index, nothing moved.
  Script({At(12, 12), At(12, 12)});
  EXPECT_EQ(Run(0), 2);
  ExpectQuad({-3, -2, 12, 0, 12, 12, 0, 12});
}

TEST_F(QuadTrackingTest, PressesAwayFromTheQuad) {
  std::vector<std::string> log;
  port_.RecordTo(&log);
  // Constraint 1, outside the bounding box and every handle: nothing.
  Script({At(100, 90), At(110, 95), At(110, 96)});
  EXPECT_EQ(Run(1, 0, false), -1);
  EXPECT_TRUE(log.empty());
  ExpectQuad({10, 10, 50, 10, 50, 50, 10, 50});
  port_.RecordTo(nullptr);
  // Constraint 0: the same press rotates about the centre (30, 30); a
  // quarter turn of the mouse turns the quad a quarter.
  Script({At(80, 30), At(80, 30), At(30, 80), At(30, 80)});
  EXPECT_EQ(Run(0), 9);
  ExpectQuad({50, 10, 50, 50, 10, 50, 10, 10}, 1e-3f);
}

TEST_F(QuadTrackingTest, MovesAndCentreScaling) {
  // Inside the box: move. The first location after the press starts the
  // move; later steps carry the quad.
  Script({At(30, 30), At(31, 30), At(36, 34), At(36, 34)});
  EXPECT_EQ(Run(3), 9);
  ExpectQuad({15, 14, 55, 14, 55, 54, 15, 54});
  // Control anywhere: move with code 10, or -1 without movement.
  Script({At(100, 90), At(100, 90), At(100, 90)}, controlKey);
  EXPECT_EQ(Run(1, 0, false), -1);
  Script({At(100, 90), At(100, 90), At(98, 89), At(98, 89)}, controlKey);
  EXPECT_EQ(Run(1), 10);
  ExpectQuad({13, 13, 53, 13, 53, 53, 13, 53});
  // Shift at the press scales about the centre even on a handle; factors
  // are taken against P1 and never flip the quad.
  Script({At(53, 53), At(53, 53), At(73, 53), At(73, 53)}, shiftKey);
  EXPECT_EQ(Run(1), 11);
  // centre 33; |73-33| / |13-33| = 2 in x, |53-33| / 20 = 1 in y.
  ExpectQuad({-7, 13, 73, 13, 73, 53, -7, 53});
}

TEST_F(QuadTrackingTest, CapsLockDisablesModifierModes) {
  // Shift with Caps Lock on a corner is no centre scaling: a corner drag.
  Script({At(50, 50), At(60, 70, cmdKey | alphaLock), At(60, 70)}, shiftKey | alphaLock);
  EXPECT_EQ(Run(0), 2);
  // Command with Caps Lock during the drag falls to the plain scaling.
  ExpectQuad({10, 10, 60, 10, 60, 70, 10, 70});
}

TEST_F(QuadTrackingTest, OptionDuringACornerDragSwitchesToCentreScaling) {
  Script({At(50, 50), At(60, 60, 0), At(50, 60, optionKey), At(50, 60), At(70, 50), At(70, 50)});
  EXPECT_EQ(Run(0), 11);
  // From the quad at the press: x factor |70-30|/|10-30| = 2, y |50-30|/20 = 1.
  ExpectQuad({-10, 10, 70, 10, 70, 50, -10, 50});
}

TEST_F(QuadTrackingTest, ShiftDuringACornerDragKeepsTheAspect) {
  // ratio = (y2 - y3) / (x2 - x1) = -1 for the square; corner 2 at h = 60:
  // v = y2 - trunc(ratio * (h - x1) + 0.5) = 10 - trunc(-49.5) = 59.
  Script({At(50, 50), At(60, 80, shiftKey), At(60, 80)}, 0);
  EXPECT_EQ(Run(0), 2);
  ExpectQuad({10, 10, 60, 10, 60, 59, 10, 59});
}

TEST_F(QuadTrackingTest, EdgeDragScalesAwayFromTheOppositeEdge) {
  // Handle 4, the middle of P1P2 at (30, 10), pulled up to y = 0.
  Script({At(30, 12), At(30, 0), At(30, 0)});
  EXPECT_EQ(Run(1), 4);
  ExpectQuad({10, 0, 50, 0, 50, 50, 10, 50});
  // Command with constraint 0 translates the edge with the handle.
  Script({At(50, 25), At(58, 27, cmdKey), At(58, 27)}, 0);
  EXPECT_EQ(Run(0), 5);
  ExpectQuad({10, 0, 58, 2, 58, 52, 10, 50});
}

TEST_F(QuadTrackingTest, CreateModeDrawsARectangleFromThePress) {
  Script({At(20, 20), At(20, 20)});
  EXPECT_EQ(Run(0, 1), -1);
  ExpectQuad({20, 20, 20, 20, 20, 20, 20, 20});
  Script({At(20, 20), At(25, 22), At(40, 35), At(40, 35)});
  EXPECT_EQ(Run(0, 1), 12);
  ExpectQuad({20, 20, 40, 20, 40, 35, 20, 35});
}

TEST_F(QuadTrackingTest, DialQuadIsErasedByDrawingItAgain) {
  plat::draw::SetPort(&port_);
  plat::draw::PenNormal();
  plat::draw::PenMode(plat::draw::patXor);
  ugxy_dialquad(&port_, 5, 3, 10.4f, 10.6f, 50, 10, 50, 50, 10, 50);
  EXPECT_NE(port_.surface().pixels(), before_);
  // Handle squares are 6 by 6 around the rounded corner (10, 11) + offsets.
  EXPECT_NE(port_.surface().pixel(5 + 10 - 3, 3 + 11 - 3), before_[static_cast<size_t>((3 + 11 - 3) * 120 + 5 + 10 - 3)]);
  ugxy_dialquad(&port_, 5, 3, 10.4f, 10.6f, 50, 10, 50, 50, 10, 50);
  EXPECT_EQ(port_.surface().pixels(), before_);
}

TEST_F(QuadTrackingTest, UpdateRectKeepsTheRectangleAxisParallel) {
  Rect r{10, 10, 30, 40};  // top, left, bottom, right
  Rect frame{2, 4, 90, 110};
  int16_t flag = 0;
  // Right-bottom corner (40 + 4, 30 + 2) in the quad frame, dragged by (6, 4).
  ui_.Press(5 + 44, 3 + 32, 0);
  ui_.DragTo(5 + 50, 3 + 36);
  ui_.Release(5 + 50, 3 + 36);
  EXPECT_EQ(updaterect(&port_, 5, 3, port_.portRect, &r, &frame, &flag, 0), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 10);
  EXPECT_EQ(r.right, 46);
  EXPECT_EQ(r.bottom, 34);
  EXPECT_EQ(port_.surface().pixels(), before_);
}

TEST_F(QuadTrackingTest, RubberBandMoveStopsAtTheLimitsAndKeepsTheSize) {
  int32_t l = 10, r = 30, b = 40, t = 20;
  ui_.Press(5 + 15, 3 + 25);
  ui_.DragTo(5 + 95, 3 + 25);
  ui_.Release(5 + 95, 3 + 27);
  Mov_ssrec(&port_, 60, 50, 5, 3, &l, &r, &b, &t);
  EXPECT_EQ(r, 50);
  EXPECT_EQ(l, 30);
  EXPECT_EQ(b, 42);
  EXPECT_EQ(t, 22);
  EXPECT_EQ(port_.surface().pixels(), before_);
  EXPECT_EQ(plat::draw::GetPort(), &other_);
}

TEST_F(QuadTrackingTest, RubberBandPressDecidesBetweenMoveAndResize) {
  int32_t l = 10, r = 30, b = 40, t = 20;
  // Outside everything: missed.
  ui_.Press(5 + 80, 3 + 80);
  ui_.Release(5 + 80, 3 + 80);
  EXPECT_EQ(Track_ssrec(&port_, 60, 50, 5, 3, port_.portRect, &l, &r, &b, &t, 1), 0);
  ui_.ClearMouseScript();  // the release of a missed press is not the drag's
  // The left-bottom handle drags left and bottom.
  ui_.Press(5 + 11, 3 + 39);
  ui_.DragTo(5 + 8, 3 + 45);
  ui_.Release(5 + 8, 3 + 45);
  EXPECT_EQ(Track_ssrec(&port_, 60, 50, 5, 3, port_.portRect, &l, &r, &b, &t, 1), 1);
  EXPECT_EQ(l, 7);
  EXPECT_EQ(b, 46);
  EXPECT_EQ(r, 30);
  EXPECT_EQ(t, 20);
  // Shift alone scales about the centre, in whole percent.
  l = 10, r = 30, b = 40, t = 20;  // centre (20, 30)
  ui_.Press(5 + 25, 3 + 35, shiftKey);
  ui_.DragTo(5 + 30, 3 + 40);
  ui_.Release(5 + 30, 3 + 40, 0);
  EXPECT_EQ(Track_ssrec(&port_, 60, 50, 5, 3, port_.portRect, &l, &r, &b, &t, 1), 1);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 40);
  EXPECT_EQ(t, 10);
  EXPECT_EQ(b, 50);
  EXPECT_EQ(port_.surface().pixels(), before_);
}

TEST_F(QuadTrackingTest, ResizeKeepsTheRatioWhenAsked) {
  int32_t l = 10, r = 30, b = 30, t = 20;  // 20 wide, 10 high
  ui_.Press(5 + 30, 3 + 20);
  ui_.DragTo(5 + 30, 3 + 10);
  ui_.Release(5 + 30, 3 + 10);
  Resize_ssrec(&port_, 4, 1, 60, 50, 5, 3, &l, &r, &b, &t);
  EXPECT_EQ(t, 10);
  EXPECT_EQ(r, 50);  // width follows the doubled height
  EXPECT_EQ(port_.surface().pixels(), before_);
}

namespace {

// A press at one rectangle point, a drag to another and the release there.
void PressDragRelease(ScriptedUi& ui, int h0, int v0, int h1, int v1) {
  ui.Press(static_cast<int16_t>(5 + h0), static_cast<int16_t>(3 + v0));
  ui.DragTo(static_cast<int16_t>(5 + h1), static_cast<int16_t>(3 + v1));
  ui.Release(static_cast<int16_t>(5 + h1), static_cast<int16_t>(3 + v1));
}

TEST_F(QuadTrackingTest, ResizeOfFlatRectanglesOrFromTheCentreLineKeepsThatAxis) {
  // Centre scaling pressed on the centre column: no factor across, so the
  // width stays; the height doubles about the centre row.
  int32_t l = 10, r = 30, b = 40, t = 20;  // centre (20, 30)
  PressDragRelease(ui_, 20, 35, 30, 40);
  Resize_ssrec(&port_, 5, 0, 60, 50, 5, 3, &l, &r, &b, &t);
  EXPECT_EQ(l, 10);
  EXPECT_EQ(r, 30);
  EXPECT_EQ(t, 10);
  EXPECT_EQ(b, 50);
  EXPECT_EQ(port_.surface().pixels(), before_);

  // The same pressed on the centre row: the height stays.
  l = 10, r = 30, b = 40, t = 20;
  PressDragRelease(ui_, 25, 30, 30, 45);
  Resize_ssrec(&port_, 5, 0, 60, 50, 5, 3, &l, &r, &b, &t);
  EXPECT_EQ(l, 0);
  EXPECT_EQ(r, 40);
  EXPECT_EQ(t, 20);
  EXPECT_EQ(b, 40);

  // A rectangle without height has no ratio to keep: the corner just moves.
  l = 10, r = 30, b = 30, t = 30;
  PressDragRelease(ui_, 30, 30, 35, 20);
  Resize_ssrec(&port_, 4, 1, 60, 50, 5, 3, &l, &r, &b, &t);
  EXPECT_EQ(l, 10);
  EXPECT_EQ(r, 35);
  EXPECT_EQ(t, 20);
  EXPECT_EQ(b, 30);
  EXPECT_EQ(port_.surface().pixels(), before_);
}

}  // namespace
