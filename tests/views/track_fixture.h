// Presses in the image box of the test window, scripted through the driver's
// scripted user and handed straight to the box's tracking, so nothing is
// redrawn until a test asks: the window's pixels right after a press are the
// press's own feedback.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/core/session_state.h"
#include "box_fixture.h"
#include "paths/draw_par.h"

namespace vmktest {

// A 400 x 300 picture shown whole: 200 x 150 displayed at (20, 35) of the
// window, whose view spans (20, 10)-(220, 210).
class TrackTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    Init_DrawPar(&shared_);
    shared_.viewOffsetX = 3.0f;
    shared_.scaleY = 2.0f;
    gPer->drawPar = &shared_;
    LayOutPicture(400, 300, 2);
    plat::tb::ShowWindow(window_);
  }
  void TearDown() override {
    gPer->drawPar = nullptr;
    BoxTest::TearDown();
  }
  // Press at the first point (window coordinates), drag through the others,
  // release at the last, with the modifiers held throughout.
  void Track(const std::vector<Point>& points, uint32_t modifiers = 0) { Track(points.front(), points, modifiers); }
  // The same with the press event at `pressed` while the scripted mouse
  // starts at the points' first, as on a display, where the mouse has moved
  // on by the time the tracking first asks where it is.
  void Track(Point pressed, const std::vector<Point>& points, uint32_t modifiers = 0) {
    auto& ui = driver_.ui();
    ui.ClearMouseScript();
    ui.SetModifiers(modifiers);
    ui.Press(points.front().h, points.front().v, modifiers);
    for (size_t i = 1; i + 1 < points.size(); ++i) ui.DragTo(points[i].h, points[i].v);
    ui.Release(points.back().h, points.back().v);
    plat::tb::Event e;
    e.eventClass = plat::tb::kEventClassControl;
    e.kind = plat::tb::kEventControlTrack;
    e.viewPoint = CGPoint{static_cast<float>(pressed.h - 20), static_cast<float>(pressed.v - 10)};
    e.modifiers = modifiers;
    box_.TrackMouse(&e, view_, plat::draw::Context{plat::tb::GetWindowPort(window_), 20, 10, Rect{10, 20, 210, 220}});
    ui.ClearMouseScript();
    ui.SetModifiers(0);
  }
  void Click(int16_t h, int16_t v, uint32_t modifiers = 0) { Track({P(h, v), P(h, v)}, modifiers); }
  static Point P(int h, int v) { return Point{static_cast<int16_t>(v), static_cast<int16_t>(h)}; }
  std::vector<uint32_t> WindowPixels() const { return plat::tb::GetWindowPort(window_)->surface().pixels(); }

  DrawPar shared_{};
};

}  // namespace vmktest
