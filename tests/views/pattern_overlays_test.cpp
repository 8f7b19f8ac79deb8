// The pattern overlays of the image box: weave cells, border tiles,
// tessellation quads and repeat tiles, drawn into an offscreen port.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_fixture.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "overlay_probe.h"

namespace vmktest {
namespace {

constexpr RGBColor kBlueC{0, 0, 65535};
constexpr uint32_t kRedPx = 0xFFFF0000u;
constexpr uint32_t kBluePx = 0xFF0000FFu;
constexpr uint32_t kBlackPx = 0xFF000000u;
constexpr uint32_t kWhitePx = 0xFFFFFFFFu;
constexpr uint32_t kBg = 0xFF102030u;
constexpr uint32_t kFg = 0xFF405060u;
constexpr RGBColor kBgC{0x1000, 0x2000, 0x3000};
constexpr RGBColor kFgC{0x4000, 0x5000, 0x6000};

// As the meshes: a 400 x 300 picture whole, 200 x 150 displayed at (20, 35)
// in the box rectangle (20, 10)-(220, 210) of a 240 x 220 port.
class PatternTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    LayOutPicture(400, 300, 2);
  }
  size_t Count(const char* prefix) const {
    return static_cast<size_t>(std::count_if(probe_.log().begin(), probe_.log().end(),
                                             [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
  }
  Probe probe_{240, 220};
  const Rect rect_{10, 20, 210, 220};
};

TEST_F(PatternTest, WeaveOfNoColumnsDrawsNothing) {
  Init_WeaveInfo(box_.weaveRecord(), 0, 4);
  box_.DrawWeave(probe_.port(), rect_, 2, 1, kBgC, kFgC);
  EXPECT_TRUE(probe_.log().empty());
  probe_.ExpectRestored();
}

TEST_F(PatternTest, WeaveAtOnePixelACellStaysFixedToThePort) {
  WeaveInfo* w = box_.weaveRecord();
  Init_WeaveInfo(w, 3, 2);
  w->cells[0][0] = 1;
  w->cells[1][2] = 1;
  box_.DrawWeave(probe_.port(), rect_, 1, 1, kBgC, kFgC);
  // Cell (row y mod 2, column x mod 3), counted from the port's origin.
  EXPECT_EQ(probe_.At(21, 12), kFg);   // 21 mod 3 = 0, 12 mod 2 = 0
  EXPECT_EQ(probe_.At(22, 12), kBg);
  EXPECT_EQ(probe_.At(23, 13), kFg);   // column 2, row 1
  EXPECT_EQ(probe_.At(20, 100), kBlackPx);  // the frame
  EXPECT_EQ(Count("FrameRect"), 1u);   // no cell grid at one pixel a cell
  Probe moved(240, 220);
  box_.DrawWeave(moved.port(), Rect{13, 23, 213, 223}, 1, 0, kBgC, kFgC);
  for (int y = 20; y < 200; y += 7)
    for (int x = 30; x < 210; x += 5) ASSERT_EQ(moved.At(x, y), probe_.At(x, y)) << x << "," << y;
}

TEST_F(PatternTest, StretchedWeaveRowsStartAtTheBottom) {
  WeaveInfo* w = box_.weaveRecord();
  Init_WeaveInfo(w, 2, 2);
  std::fill(&w->cells[0][0], &w->cells[0][0] + sizeof w->cells, uint8_t{0});
  w->cells[0][0] = 1;  // row 0, column 0: the bottom-left cell
  box_.DrawWeave(probe_.port(), rect_, 2, 0, kBgC, kFgC);
  EXPECT_EQ(probe_.At(50, 150), kFg);
  EXPECT_EQ(probe_.At(50, 50), kBg);
  EXPECT_EQ(probe_.At(150, 150), kBg);
  EXPECT_EQ(Count("FrameRect"), 1u);
  probe_.Clear();
  box_.DrawWeave(probe_.port(), rect_, 2, 1, kBgC, kFgC);
  EXPECT_EQ(Count("FrameRect"), 5u);  // four cells in blue, then the frame
  EXPECT_EQ(probe_.log().back(), "FrameRect 20 10 220 210 mode 8");
  EXPECT_EQ(probe_.At(120, 50), kBluePx);
}

TEST_F(PatternTest, BorderTilesAreCountedFromTheEndOfTheirSide) {
  BordPar* b = box_.bordRecord();
  Init_BordPar(b, 400, 300, 0, 1, 0, 0);
  BordInfo& layer = b->layers[0].info;
  // Side 2 (right): x 360 to 400, four tiles from y 270 up to y 30; tile 0 of
  // the side's count is the top one, drawn last.
  layer.two[0] = 0;
  layer.two[1] = 2;
  layer.last = 0;
  box_.DrawBord(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.At(200, 65), kRedPx);   // the top tile's left edge
  EXPECT_EQ(probe_.At(200, 100), kBluePx);  // the tile below it
  // 16 side tiles and 4 corners, four segments each.
  EXPECT_EQ(probe_.Lines().size(), 80u);
  // Kind 1, index 3: the top-right corner.
  layer.two[0] = 1;
  layer.two[1] = 3;
  box_.DrawBord(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.At(200, 65), kBluePx);
  EXPECT_EQ(probe_.At(200, 42), kRedPx);
  probe_.ExpectRestored();
}

TEST_F(PatternTest, TessellationBaseQuadScaledOnlyAwayFromOneHundred) {
  TessPar* t = box_.tessRecord();
  Init_TessPar(t, 0, 0, 0);
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0);
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.steps(), (std::vector<std::string>{"Line 0000ffff0000"}));
  // Corners in thousandths of 199 x 149 from the origin (20, 35).
  EXPECT_EQ(probe_.At(20, 35), 0xFF00FF00u);
  EXPECT_EQ(probe_.At(219, 184), 0xFF00FF00u);
  t->sets[0].w[kTessBleed] = 50;
  probe_.Clear();
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.steps(), (std::vector<std::string>{"Line 0000ffff0000", "Line ffffffff0000"}));
}

TEST_F(PatternTest, TessellationTilingBlackThenColouredThenTheRedLayout) {
  Init_TessPar(box_.tessRecord(), 0, 0, 0);
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0);
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.steps(),
            (std::vector<std::string>{"Line 000000000000", "Line 00000000ffff", "Line ffff00000000"}));
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0);
  probe_.Clear();
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_TRUE(probe_.log().empty());
  probe_.ExpectRestored();
}

TEST_F(PatternTest, RepeatOutlinesTheMarkedTileLastInRed) {
  RepPar* r = box_.repRecord();
  Init_RepPar(r, 0, 2, 2);
  r->grid.w[kRepSelColumn] = 9;  // no such cell: nothing marked
  box_.DrawRep(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.steps(), (std::vector<std::string>{"Line 00000000ffff"}));
  EXPECT_EQ(probe_.Lines().size(), 16u);
  r->grid.w[kRepSelColumn] = 1;
  r->grid.w[kRepSelRow] = 0;
  probe_.Clear();
  box_.DrawRep(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_EQ(probe_.steps(), (std::vector<std::string>{"Line 00000000ffff", "Line ffff00000000"}));
}

TEST_F(PatternTest, HostileRecordsReadNothingOutside) {
  WeaveInfo* w = box_.weaveRecord();
  Init_WeaveInfo(w, 4, 4);
  w->columns = 300;
  w->rows = 300;
  box_.DrawWeave(probe_.port(), rect_, 1, 1, kBgC, kFgC);
  box_.DrawWeave(probe_.port(), rect_, 2, 1, kBgC, kFgC);
  probe_.ExpectRestored();
  BordPar* b = box_.bordRecord();
  Init_BordPar(b, 400, 300, 0, 1, 0, 0);
  b->layers[0].info.cells[1] = 1 << 30;
  b->layers[0].info.thickness[0] = -(1 << 30);
  box_.DrawBord(probe_.port(), rect_, kBlueC, 1, 1);
  b->head.current = 200;
  probe_.Clear();
  box_.DrawBord(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_TRUE(probe_.log().empty());
  TessPar* t = box_.tessRecord();
  Init_TessPar(t, 0, 0, 0);
  t->head.w[kTessCurrentSet] = 40;
  box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0);
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_TRUE(probe_.log().empty());
  t->head.w[kTessCurrentSet] = 0;
  t->sets[0].w[kTessSourceX] = 2147483647;
  t->sets[0].w[kTessBleed] = -2147483647;
  box_.DrawTess(probe_.port(), rect_, kBlueC, 1, 1);
  probe_.ExpectRestored();
  // A one-pixel picture: no window, nothing drawn.
  LayOutPicture(1, 1, 2);
  Init_RepPar(box_.repRecord(), 0, 2, 2);
  b->head.current = 0;
  b->head.width = b->head.height = 1;
  probe_.Clear();
  box_.DrawRep(probe_.port(), rect_, kBlueC, 1, 1);
  box_.DrawBord(probe_.port(), rect_, kBlueC, 1, 1);
  EXPECT_TRUE(probe_.log().empty());
  probe_.ExpectRestored();
}

}  // namespace
}  // namespace vmktest
