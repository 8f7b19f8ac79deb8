// The image box's other mouse tools: path tools, mask brush, stripe pick,
// weave cell, tessellation quads and repeat pick.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "engines/correction/grid_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/path_list.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "track_fixture.h"

namespace vmktest {
namespace {

using PickTest = TrackTest;

TEST_F(PickTest, PathToolAddsAPathAndLeavesTheSharedDrawingParameters) {
  CPathList empty(0);
  box_.SetPathList(&empty);
  DrawPar dp;
  Init_DrawPar(&dp);
  dp.viewOffsetX = 20.0f;
  dp.viewOffsetY = 35.0f;
  box_.SetDrw(&dp);
  box_.SetVecMode(32, 1, 0);  // the rectangle tool
  box_.SetBufParam(0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  DrawPar before;
  std::memcpy(&before, &shared_, sizeof before);
  Track({P(60, 60), P(80, 80), P(120, 120)});
  EXPECT_EQ(box_.pathList()->count, 1);
  EXPECT_EQ(std::memcmp(&before, &shared_, sizeof before), 0);
}

// The live window's loop runs on while a path tool pauses in a press (a
// click told from a drag): the editor's redraw then hands the box the layer's
// list, older than the press's edit. The press keeps the list it holds (the
// swap once freed it under the tools); the owner's list is taken after.
class PausingUi : public plat::ui::ScriptedUi {
 public:
  void Delay(uint32_t ticks) override {
    ScriptedUi::Delay(ticks);
    if (during) {
      auto f = std::move(during);
      during = nullptr;
      f();
    }
  }
  std::function<void()> during;
};

class PausedPressTest : public TrackTest {
 protected:
  // A rectangle drawn with the path tool, then the select-and-edit tool,
  // which pauses before it reads the press.
  void SetUp() override {
    TrackTest::SetUp();
    box_.SetPathList(&empty_);
    DrawPar dp;
    Init_DrawPar(&dp);
    dp.viewOffsetX = 20.0f;
    dp.viewOffsetY = 35.0f;
    box_.SetDrw(&dp);
    box_.SetVecMode(32, 1, 0);
    box_.SetBufParam(0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    Track({P(60, 60), P(80, 80), P(120, 120)});
    held_ = box_.pathList();
    box_.SetVecMode(15, 1, 0);
  }
  // The press at (60, 60) dragged to (70, 64), on the pausing user.
  void PressInTheBox() {
    ui_.Press(60, 60);
    ui_.DragTo(70, 64);
    ui_.Release(70, 64);
    plat::ui::ScopedServices live(&ui_);
    Enter();
  }
  void Enter() {
    plat::tb::Event e;
    e.eventClass = plat::tb::kEventClassControl;
    e.kind = plat::tb::kEventControlTrack;
    e.viewPoint = CGPoint{40.0f, 50.0f};
    box_.TrackMouse(&e, view_, plat::draw::Context{plat::tb::GetWindowPort(window_), 20, 10, Rect{10, 20, 210, 220}});
  }

  CPathList empty_{0};
  CPathList* held_ = nullptr;
  PausingUi ui_;
};

TEST_F(PausedPressTest, TheOwnersPathsHandedOverDuringAPressWaitForItsEnd) {
  ASSERT_EQ(held_->count, 1);
  bool handed = false;
  ui_.during = [&] {
    box_.SetPathList(&empty_);
    handed = true;
  };
  PressInTheBox();
  ASSERT_TRUE(handed);
  EXPECT_EQ(box_.pathList(), held_);
  EXPECT_EQ(box_.pathList()->count, 1);
  // Once the press is over the owner's list is taken as before.
  box_.SetPathList(&empty_);
  EXPECT_EQ(box_.pathList()->count, 0);
}

// The other half of a double click, queued, arrives in the first press's
// pause: it is dropped (its tools never run: one pause only), and the press
// still holds its list when the owner's redraw follows.
TEST_F(PausedPressTest, ASecondPressArrivingInsideAPressIsDropped) {
  ASSERT_EQ(held_->count, 1);
  bool handed = false;
  ui_.during = [&] {
    Enter();
    box_.SetPathList(&empty_);
    handed = true;
  };
  PressInTheBox();
  ASSERT_TRUE(handed);
  EXPECT_EQ(ui_.delays.size(), 1u);
  EXPECT_EQ(box_.pathList(), held_);
  EXPECT_EQ(box_.pathList()->count, 1);
}

// Mask A at 200 x 150 under the whole picture: mask sample (c, r) is display
// pixel (c x 200 / 199, r x 150 / 149) from the image origin (20, 35).
class BrushTest : public TrackTest {
 protected:
  void SetUp() override {
    TrackTest::SetUp();
    box_.InitBufMsk(200, 150, 3);
    box_.SetMskMod(1);
    box_.SetBruMod(6, 100, 0, 0);
  }
  int16_t A(int c, int r) const { return box_.maskA()[r * 200 + c]; }
  std::vector<uint8_t> Display() const {
    const uint8_t* d = box_.displayBuffer();
    return std::vector<uint8_t>(d, d + 200 * 200 * 4);
  }
};

TEST_F(BrushTest, AStrokePaintsMaskAAlongItsPathAndTheDisplayOnlyAroundIt) {
  const std::vector<uint8_t> before = Display();
  std::vector<Point> stroke;
  for (int h = 60; h <= 100; ++h) stroke.push_back(P(h, 110));
  Track(stroke);
  // Along the path (display y 75, mask row about 74), not above it.
  for (int c = 45; c <= 75; c += 5) EXPECT_GT(A(c, 74), 8000) << c;
  EXPECT_EQ(A(60, 60), 0);
  EXPECT_EQ(A(20, 74), 0);
  for (int i = 0; i < 200 * 150; ++i) ASSERT_EQ(box_.maskB()[i], 0);
  // Display pixels outside the brush rectangles (x 40 - 6 .. 80 + 6, rows
  // counted from the bottom 150 - (75 + 6) .. 150 - (75 - 6)) are untouched.
  const std::vector<uint8_t> after = Display();
  int changedInside = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) {
      const bool inside = x >= 33 && x <= 86 && y >= 68 && y <= 81;
      const bool same = std::memcmp(&before[(y * 200 + x) * 4], &after[(y * 200 + x) * 4], 4) == 0;
      if (!inside) {
        ASSERT_TRUE(same) << x << "," << y;
      }
      if (inside && !same) ++changedInside;
    }
  EXPECT_GT(changedInside, 0);
  // The outline stays shown at the last point.
  EXPECT_EQ(box_.cursorShown(), 1);
  EXPECT_EQ(box_.cursorLastX(), 100);
  EXPECT_EQ(box_.cursorLastY(), 110);
  // The erase flag pulls the same samples back down.
  box_.SetBruMod(6, 100, 0, 1);
  Track(stroke);
  for (int c = 45; c <= 75; c += 5) EXPECT_LT(A(c, 74), 1000) << c;
}

TEST_F(BrushTest, MaskModeTwoPaintsMaskB) {
  box_.SetMskMod(2);
  Track({P(60, 110), P(65, 110), P(70, 110), P(75, 110), P(80, 110)});
  EXPECT_GT(box_.maskB()[74 * 200 + 55], 8000);
  EXPECT_EQ(A(55, 74), 0);
}

// A stroke near the top of the picture: the mask takes it in its top rows,
// and the live tint shows it on the screen where it was painted, not at its
// mirror image about the middle of the view.
TEST_F(BrushTest, TheLiveTintShowsTheStrokeWhereItWasPainted) {
  std::vector<Point> stroke;
  for (int h = 60; h <= 100; ++h) stroke.push_back(P(h, 50));
  const std::vector<uint8_t> before = Display();
  Track(stroke);
  // Window y 50 is 15 lines below the image's top (35): mask row about 15.
  EXPECT_GT(A(60, 15), 16000);
  EXPECT_EQ(A(60, 134), 0);
  // Display rows count from the bottom: line 15 is row 150 - 1 - 15 = 134.
  const std::vector<uint8_t> after = Display();
  const auto red = [](const std::vector<uint8_t>& d, int x, int row) { return d[(row * 200 + x) * 4]; };
  EXPECT_GE(red(after, 60, 134), 250);
  EXPECT_EQ(red(after, 60, 15), red(before, 60, 15));
  // And on the window: the pixel under the stroke is the full tint.
  EXPECT_GE((Screen(80, 50) >> 16) & 0xFF, 250u);
  // The readout under the stroke reads the painted mask (255 at full scale).
  int16_t b = -1, a = -1;
  box_.GetMskcolfromBuf(80 - 20, 50 - 10, &b, &a);
  EXPECT_GE(a, 250);
  EXPECT_EQ(b, 0);
}

class StripeTest : public TrackTest {
 protected:
  // Picture and view limit of 200 x 150 from the box's corner, so the
  // stripes span the displayed picture; two repeats of three stripes in
  // each set, widths 10, 30, 20.
  void SetUp() override {
    TrackTest::SetUp();
    LayOutPicture(200, 150, 2);
    DrawPar dp;
    Init_DrawPar(&dp);
    dp.limit = Rect{0, 0, 150, 200};
    box_.SetDrw(&dp);
    PlaidPar* p = box_.plaidRecord();
    p->colRepeats = 2;
    p->rowRepeats = 2;
    for (WWInfo* w : {&p->free1, &p->free2}) {
      w->stripCount = 3;
      const int32_t widths[3] = {10, 30, 20};
      for (int j = 0; j < 3; ++j) {
        w->stripOn[j] = 1;
        w->stripWidth[j] = widths[j];
        w->stripColour[j] = j;
      }
      w->selected = -5;
    }
    for (int j = 0; j < 3; ++j) {
      p->paletteA[j][j] = 255;
      p->paletteB[j][j] = 255;
    }
  }
};

TEST_F(StripeTest, VerticalPicksInBothLayouts) {
  PlaidPar* p = box_.plaidRecord();
  box_.SetWWInfoMode(2);
  // Mode 1: widths in picture pixels, repeat i from 100 i: stripe 1 spans
  // x 10 to 40 of each repeat, the box's left edge at 20.
  p->lineMode = 1;
  Click(20 + 25, 100);
  EXPECT_EQ(p->free1.selected, 1);
  Click(20 + 100 + 50, 100);
  EXPECT_EQ(p->free1.selected, 2);
  // Between the repeat's stripes (x 60 to 100) nothing is picked.
  p->free1.selected = -5;
  Click(20 + 80, 100);
  EXPECT_EQ(p->free1.selected, -5);
  // Mode 2: each repeat of 100 shared 1 : 3 : 2.
  p->lineMode = 2;
  Click(20 + 100 + 20, 100);
  EXPECT_EQ(p->free1.selected, 1);
  EXPECT_EQ(p->free2.selected, -5);
}

TEST_F(StripeTest, HorizontalPickIsTheStripeDrawnUnderThePress) {
  PlaidPar* p = box_.plaidRecord();
  box_.SetWWInfoMode(1);
  for (int16_t mode : {1, 2}) {
    p->lineMode = mode;
    plat::draw::Port port(240, 220);
    box_.DrawWWIHStrip(&port, Rect{10, 20, 210, 220});
    for (int v = 40; v < 190; v += 7) {
      p->free2.selected = -5;
      Click(100, static_cast<int16_t>(v));
      const uint32_t shown = port.surface().pixel(100, v);
      if (p->free2.selected < 0) {
        // Nothing picked: no stripe drawn here, or its edge.
        continue;
      }
      const int j = p->free2.selected;
      const uint32_t colour = 0xFF000000u | (static_cast<uint32_t>(p->paletteB[0][j] == 255 ? 0xFE : 0) << 16) |
                              (static_cast<uint32_t>(p->paletteB[1][j] == 255 ? 0xFE : 0) << 8) |
                              (p->paletteB[2][j] == 255 ? 0xFEu : 0u);
      EXPECT_EQ(shown, colour) << "mode " << mode << " v " << v;
    }
  }
  EXPECT_EQ(p->free1.selected, -5);
}

TEST_F(PickTest, WeaveCellTogglesAndTheRightEdgePicksNothing) {
  WeaveInfo* w = box_.weaveRecord();
  Init_WeaveInfo(w, 4, 4);
  std::fill(&w->cells[0][0], &w->cells[0][0] + sizeof w->cells, uint8_t{0});
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  box_.SetWeaveInfo(w, 2, 0, 0, 0, 0, 0, 0, 0);
  // The image rectangle is (0, 25)-(200, 175) in the view: cells 50 wide,
  // 43.75 high counted from its bottom edge 175.
  Click(20 + 60, 10 + 160);  // view (60, 160): column 1, row 0
  EXPECT_EQ(box_.weaveRecord()->cells[0][1], 1);
  Click(20 + 60, 10 + 160);
  EXPECT_EQ(box_.weaveRecord()->cells[0][1], 0);
  w = box_.weaveRecord();
  w->columns = 128;
  Click(20 + 200, 10 + 160);  // the right edge: column 128, none
  for (int c = 0; c < 128; ++c) ASSERT_EQ(box_.weaveRecord()->cells[0][c], 0) << c;
}

TEST_F(PickTest, TessellationCellTooSmallIsNotStoredAndDIsDerived) {
  TessPar* t = box_.tessRecord();
  Init_TessPar(t, 0, 0, 0);
  int32_t* X = &t->sets[0].w[kTessBaseX];
  int32_t* Y = &t->sets[0].w[kTessBaseY];
  // A (element 2) at (20, 20) %, B (3) at (60, 20) %, C (0) at (60, 60) %.
  X[2] = 20, Y[2] = 20, X[3] = 60, Y[3] = 20, X[0] = 60, Y[0] = 60, X[1] = 20, Y[1] = 60;
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0);
  // A shows at (20 + 40, 35 + 150 - 30) = (60, 155); drag it alone (the
  // quad tracker moves a single corner with Command) next to B at (140, 155).
  Track({P(60, 155), P(100, 155), P(137, 155)}, cmdKey);
  EXPECT_EQ(X[2], 20);
  EXPECT_EQ(X[3], 60);
  // Drag A up by 15 pixels: 10 % of the height.
  Track({P(60, 155), P(60, 150), P(60, 140)}, cmdKey);
  EXPECT_EQ(X[2], 20);
  EXPECT_EQ(Y[2], 30);
  EXPECT_EQ(X[1], X[0] - X[3] + X[2]);
  EXPECT_EQ(Y[1], Y[0] - Y[3] + Y[2]);
  EXPECT_EQ(Y[3], 20);
  EXPECT_EQ(Y[1], 70);
}

TEST_F(PickTest, RepeatPickTakesTheFirstTileAndEndsTheTools) {
  RepPar* r = box_.repRecord();
  Init_RepPar(r, 0, 2, 2);
  // Cells of 200 x 150 picture pixels; row 1 shifted right and column 1 up
  // by half a cell, so cell (column 0, row 1) and cell (column 1, row 0)
  // overlap over x 200 to 300, y 150 to 225 from the bottom.
  r->grid.w[kRepRowShift + 1] = 50;
  r->grid.w[kRepColumnShift + 1] = 50;
  Init_GridPar(box_.gridRecord(), 400, 300, 2, 2, 0, 3, 1, 1);
  box_.gridRecord()->head.w[kGpTool] = 6;  // would add a column
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 1, 0);
  Click(145, 90);  // picture (249, 109 from the top)
  EXPECT_EQ(r->grid.w[kRepSelColumn], 0);
  EXPECT_EQ(r->grid.w[kRepSelRow], 1);
  EXPECT_EQ(r->grid.w[kRepSelCell], 1 * r->grid.w[kRepColumnCount] + 0);
  EXPECT_EQ(box_.gridRecord()->grids[0].w[kGiColumns], 2);  // the grid tool did not run
  // In the gap left by the shifts no tile is hit, and the grid tool runs.
  r->grid.w[kRepSelColumn] = 7;
  Click(45, 90);
  EXPECT_EQ(r->grid.w[kRepSelColumn], 7);
  EXPECT_EQ(box_.gridRecord()->grids[0].w[kGiColumns], 3);
}

TEST_F(PickTest, HostileTessellationSetWritesNothing) {
  TessPar* t = box_.tessRecord();
  Init_TessPar(t, 0, 0, 0);
  t->head.w[kTessCurrentSet] = 40;
  const TessPar copy = *t;
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0);
  Track({P(20, 35), P(60, 60), P(90, 90)});
  EXPECT_EQ(std::memcmp(&copy, t, sizeof copy), 0);
}

}  // namespace
}  // namespace vmktest
