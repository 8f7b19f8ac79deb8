// What the image box draws on its view and what a press in it edits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_fixture.h"
#include "engines/patterns/weave_plaid_record.h"
#include "paths/draw_par.h"

using namespace plat::tb;

namespace vmktest {
namespace {

constexpr uint32_t kGrey = 0xFFEAEAEAu;
constexpr uint32_t kWhitePx = 0xFFFFFFFFu;
constexpr uint32_t kBlackPx = 0xFF000000u;
constexpr uint32_t kRedPx = 0xFFFF0000u;
constexpr uint32_t kGreenPx = 0xFF00FF00u;
constexpr uint32_t kBluePx = 0xFF0000FFu;

// A 400 x 300 picture, whole: 200 x 150 displayed at (20, 35) of the window,
// shown fully transparent so the background stays visible.
class DrawTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    LayOutPicture(400, 300, 2);
    std::vector<char> clear(200 * 200 * 4, 0);
    box_.SetBuf(0, 200, 0, clear.data(), 200, 200, 0);
  }
};

TEST_F(DrawTest, BackgroundCheckerboardUnderTheImageOnly) {
  Redraw();
  EXPECT_EQ(Screen(20, 10), kBlackPx);  // the view's frame
  EXPECT_EQ(Screen(25, 30), kGrey);     // above the image
  EXPECT_EQ(Screen(21, 35), kGrey);     // first cell, top-left square
  EXPECT_EQ(Screen(29, 35), kWhitePx);
  EXPECT_EQ(Screen(29, 43), kGrey);     // bottom-right square
  EXPECT_EQ(Screen(21, 43), kWhitePx);
  EXPECT_EQ(Screen(218, 180), kGrey);   // last row of cells, cut at the image's bottom
  EXPECT_EQ(Screen(21, 186), kGrey);    // below the image
  // Hidden image: grey, or nothing at all when field 0 asks for it.
  box_.SetBufParam(1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  std::vector<std::string> log;
  GetWindowPort(window_)->RecordTo(&log);
  Redraw();
  GetWindowPort(window_)->RecordTo(nullptr);
  EXPECT_TRUE(log.empty());
}

TEST_F(DrawTest, PanFramesInOrderTwoOneZero) {
  box_.SetBufSSPan(0, 0, 100000, 100000, 100, 0, 0);
  box_.SetBufSSPan(25000, 25000, 75000, 75000, 100, 1, 0);
  box_.SetBufSSPan(50000, 0, 100000, 50000, 100, 2, 0);
  box_.SetBufParam(0, 0, 0, 0, 7, 0, 1, 0, 0, 0, 0, 0, 0);
  std::vector<std::string> log;
  GetWindowPort(window_)->RecordTo(&log);
  Redraw();
  GetWindowPort(window_)->RecordTo(nullptr);
  std::vector<std::string> frames;
  for (const std::string& s : log)
    if (s.rfind("FrameRect", 0) == 0) frames.push_back(s);
  // Outlines only (handles are 4 x 4): the view, then frames 2, 1, 0; with a
  // frame scale of 100 no yellow frame comes between them.
  std::vector<std::string> outlines;
  for (const std::string& s : frames) {
    int l, t, r, b;
    std::sscanf(s.c_str(), "FrameRect %d %d %d %d", &l, &t, &r, &b);
    if (r - l > 4) outlines.push_back(s);
  }
  ASSERT_EQ(outlines.size(), 4u);
  EXPECT_EQ(outlines[1], "FrameRect 120 35 220 110 mode 8");
  EXPECT_EQ(outlines[2], "FrameRect 70 73 170 148 mode 8");
  EXPECT_EQ(outlines[3], "FrameRect 20 35 220 185 mode 8");
  EXPECT_EQ(Screen(120, 60), kGreenPx);
  EXPECT_EQ(Screen(100, 73), kBluePx);
  EXPECT_EQ(Screen(20, 100), kRedPx);
  EXPECT_EQ(Screen(218, 110), kRedPx);  // left-middle handle
}

TEST_F(DrawTest, QuadWithScaleTagAndRangeMarkers) {
  box_.SetBufSSQua(0, 0, 100000, 0, 100000, 100000, 0, 100000, 50, 0);
  box_.SetBufParam(0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0);
  box_.SetPickMinMax(1, 255);
  box_.SetMinMax(50, 200);
  Redraw();
  EXPECT_EQ(Screen(120, 35), kRedPx);   // the quad itself
  EXPECT_EQ(Screen(120, 73), kBluePx);  // scaled about its centre (120, 110) by half
  EXPECT_EQ(Screen(70, 100), kBluePx);
  EXPECT_EQ(Screen(59, 100), kBlackPx);   // minimum marker: 20 + rnd(50 * 199 / 255)
  EXPECT_EQ(Screen(176, 100), kBlackPx);  // maximum marker
  EXPECT_EQ(Screen(100, 202), kBlackPx);  // the line between them
  box_.SetBufSSQua(0, 0, 100000, 0, 100000, 100000, 0, 100000, 100, 0);
  Redraw();
  EXPECT_NE(Screen(120, 73), kBluePx);
}

TEST_F(DrawTest, CursorShapesEraseTheirLastPosition) {
  Redraw();
  const uint32_t before = Screen(60, 100);
  box_.DrawCrossShape(view_, 1, 100, 100, 20, 220, 10, 210);
  EXPECT_NE(Screen(60, 100), before);
  box_.DrawCrossShape(view_, 1, 150, 120, 20, 220, 10, 210);
  EXPECT_EQ(Screen(60, 100), before);  // one cross-hair on the screen
  EXPECT_NE(Screen(60, 120), Screen(60, 119));
  box_.DrawCrossShape(view_, 0, 0, 0, 20, 220, 10, 210);
  EXPECT_EQ(box_.cursorShown(), 0);
  std::vector<std::string> log;
  GetWindowPort(window_)->RecordTo(&log);
  box_.DrawBruShape(view_, 0, 50, 50);  // nothing shown: nothing drawn
  EXPECT_TRUE(log.empty());
  box_.DrawBruShape(view_, 1, 50, 50);
  EXPECT_EQ(log, (std::vector<std::string>{"FrameOval 30 30 70 70 mode 10"}));
  GetWindowPort(window_)->RecordTo(nullptr);
  Redraw();  // the image covers the outline
  EXPECT_EQ(box_.cursorShown(), 0);
}

TEST_F(DrawTest, DraggingPanFrameZeroMovesIt) {
  box_.SetBufSSPan(25000, 25000, 75000, 75000, 100, 0, 0);
  box_.SetBufSSPan(0, 0, 100000, 100000, 100, 1, 0);
  box_.SetBufParam(0, 0, 0, 0, 3, 0, 1, 0, 0, 0, 0, 0, 0);
  box_.PrepEffBuf(0, 255, 0, 43);  // pan layout: 200 x 149 at (20, 35)
  ShowWindow(window_);
  // Press inside frame 0 (window 120, 110); the move starts from the first
  // drag point (125, 115) and ends 10 pixels further on each axis.
  driver_.Drag({Point{110, 120}, Point{115, 125}, Point{125, 135}});
  driver_.RunSteps(window_);
  int32_t l, t, r, b;
  box_.GetBufSSPan(&l, &t, &r, &b, 0);
  EXPECT_EQ(l, 30000);
  EXPECT_EQ(r, 80000);
  EXPECT_NEAR(t, 31667, 340);
  EXPECT_NEAR(b, 81667, 340);
  box_.GetBufSSPan(&l, &t, &r, &b, 1);
  EXPECT_EQ(l, 0);  // frame 0 took the press
  EXPECT_EQ(r, 100000);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);
  EXPECT_EQ(box_.CheckSetRefresh(0), 0);
}

TEST_F(DrawTest, OptionPassesFrameZeroByAndNoModeOnlyRefreshes) {
  box_.PrepEffBuf(0, 255, 0, 43);
  ShowWindow(window_);
  driver_.Drag({Point{110, 120}, Point{115, 125}, Point{125, 135}});
  driver_.RunSteps(window_);
  EXPECT_EQ(box_.CheckSetRefresh(0), 1);  // nothing on: only the refresh
  int32_t l, t, r, b;
  box_.GetBufSSPan(&l, &t, &r, &b, 1);
  EXPECT_EQ(l, 0);
  box_.SetBufSSPan(25000, 25000, 75000, 75000, 100, 0, 0);
  box_.SetBufSSPan(25000, 25000, 75000, 75000, 100, 1, 0);
  box_.SetBufParam(0, 0, 0, 0, 3, 0, 1, 0, 0, 0, 0, 0, 0);
  driver_.ui().SetModifiers(optionKey);  // held from before the press
  driver_.Drag({Point{110, 120}, Point{115, 125}, Point{125, 135}}, optionKey);
  driver_.RunSteps(window_);
  driver_.ui().SetModifiers(0);
  box_.GetBufSSPan(&l, &t, &r, &b, 0);
  EXPECT_EQ(l, 25000);
  box_.GetBufSSPan(&l, &t, &r, &b, 1);
  EXPECT_EQ(l, 30000);
}

TEST_F(DrawTest, RangePickerMovesTheRangeAndStopsEachEndAtTheScale) {
  box_.SetPickMinMax(1, 255);
  box_.SetMinMax(100, 200);
  ShowWindow(window_);
  // Press between the markers (value 150 at x 20 + 150 * 200 / 255 = 137)
  // and push 80 pixels right: +102 values.
  driver_.Drag({Point{100, 137}, Point{100, 217}});
  driver_.RunSteps(window_);
  int16_t lo, hi;
  box_.GetMinMax(&lo, &hi);
  EXPECT_EQ(lo, 202);
  EXPECT_EQ(hi, 255);
}

TEST_F(DrawTest, RangePickerDragsTheMinimumUpToTheMaximum) {
  box_.SetPickMinMax(1, 255);
  box_.SetMinMax(50, 100);
  box_.SetPickCoord(1);
  ShowWindow(window_);
  // x(50) = 20 + 50 * 200 / 255 = 59: press there and drag far right.
  driver_.Drag({Point{100, 59}, Point{100, 150}, Point{100, 219}});
  driver_.RunSteps(window_);
  int16_t lo, hi;
  box_.GetMinMax(&lo, &hi);
  EXPECT_EQ(lo, 100);
  EXPECT_EQ(hi, 100);
  int32_t x, y;
  box_.GetCoord(&x, &y);
  EXPECT_EQ(x, 39);
  EXPECT_EQ(y, 90);
}

}  // namespace
}  // namespace vmktest

namespace vmktest {
namespace {

TEST_F(BoxTest, PlaidStripesShareEachRepeatInProportion) {
  LayOutPicture(100, 100, 2);
  DrawPar dp;
  Init_DrawPar(&dp);
  dp.limit = Rect{0, 0, 100, 100};
  box_.SetDrw(&dp);
  PlaidPar* plaid = box_.plaidRecord();
  plaid->lineMode = 2;
  plaid->colRepeats = 3;
  plaid->free1.stripCount = 2;
  plaid->free1.stripOn[0] = plaid->free1.stripOn[1] = 1;
  plaid->free1.stripWidth[0] = plaid->free1.stripWidth[1] = 1;
  plaid->free1.stripColour[1] = 1;
  plaid->paletteA[0][0] = 255;  // colour 0 red, colour 1 blue
  plaid->paletteA[2][1] = 255;
  plat::draw::Port port(120, 60);
  box_.DrawWWIVStrip(&port, Rect{0, 0, 50, 100});
  // Steps of rnd(100 / 3) = 33 pixels, each stripe rnd(33 / 2) = 17 wide.
  const plat::draw::Surface& s = port.surface();
  EXPECT_EQ(s.pixel(0, 10), 0xFFFE0000u);
  EXPECT_EQ(s.pixel(17, 10), 0xFF0000FEu);
  EXPECT_EQ(s.pixel(33, 10), 0xFFFE0000u);
  EXPECT_EQ(s.pixel(66, 49), 0xFFFE0000u);
  EXPECT_EQ(s.pixel(99, 10), 0xFF0000FEu);
  EXPECT_EQ(s.pixel(100, 10), 0xFFFFFFFFu);
  EXPECT_EQ(port.clipRect.right, 32000);  // the clip is opened afterwards
  plaid->lineMode = 3;  // no such layout: nothing drawn
  plat::draw::Port other(120, 60);
  box_.DrawWWIVStrip(&other, Rect{0, 0, 50, 100});
  EXPECT_EQ(other.surface().pixel(0, 10), 0xFFFFFFFFu);
}

}  // namespace
}  // namespace vmktest
