// The weave-pattern editor on the project's CreaWeav window: the nine
// operations and their sub-windows, the import's threshold and failures,
// undo after a change of size, sizes held to the grid from files and the
// owner, the colours and the check boxes.
#include "dialogs/patterns/weave_dialog.h"

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/correction/dialog_fixture.h"
#include "platform/imageio/image_io.h"
#include "views/colour_box.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kCwea = FourCC("Cwea"), kSwea = FourCC("Swea"), kEwea = FourCC("Ewea");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103, kLoad = 104;
constexpr int32_t kWidth = 8, kHeight = 7, kPattern = 23, kEnlarge = 40, kGrid = 24;
// 'Bop1' .. 'Bop9' are buttons 111 .. 119.
constexpr int32_t Op(int k) { return 110 + k; }

class WeaveDialogTest : public ColCorDialogTest {
 protected:
  // A pattern of the given size whose cell (r, c) is 1 when (r * 7 + c * 3)
  // is odd, everywhere in the grid.
  static WeaveInfo Numbered(int16_t columns, int16_t rows) {
    WeaveInfo w;
    Init_WeaveInfo(&w, columns, rows);
    for (int r = 0; r < kWeaveSide; ++r)
      for (int c = 0; c < kWeaveSide; ++c) w.cells[r][c] = (r * 7 + c * 3) % 2 == 1 ? 1 : 0;
    return w;
  }
  static bool SameCells(const WeaveInfo& a, const WeaveInfo& b) {
    return std::memcmp(a.cells, b.cells, sizeof a.cells) == 0;
  }
  // A picture of w x h pixels all of one colour, as a PNG.
  std::string Picture(const std::string& name, uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < px.size(); i += 4) {
      px[i] = r;
      px[i + 1] = g;
      px[i + 2] = b;
      px[i + 3] = 255;
    }
    const std::string path = bundle_.file(name);
    plat::imageio::PixelSource src{px.data(), static_cast<size_t>(w) * 4, w, h, 1};
    EXPECT_EQ(plat::imageio::WriteImage(path, plat::imageio::kTypePNG, {}, src), 0);
    return path;
  }
  std::string Field(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kCwea, id)); }
};

TEST_F(WeaveDialogTest, UndoAfterATransposeBringsBackTheOldSizeWithTheOldCells) {
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(8, 3);
  dlg.SetWeaveInfo(&start);
  std::string widthAfterTranspose, widthAfterUndo;
  WeaveInfo transposed;
  driver_.Advance(0.01)
      .Press(kCwea, Op(3))
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        widthAfterTranspose = Field(w, kWidth);
        transposed = *dlg.current();
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { widthAfterUndo = Field(w, kWidth); })
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(widthAfterTranspose, "3");
  EXPECT_EQ(transposed.columns, 3);
  EXPECT_EQ(transposed.rows, 8);
  EXPECT_EQ(transposed.cells[5][1], start.cells[1][5]);
  EXPECT_EQ(widthAfterUndo, "8");
  WeaveInfo out;
  dlg.GetWeaveInfo(&out);
  EXPECT_EQ(out.columns, 8);
  EXPECT_EQ(out.rows, 3);
  EXPECT_TRUE(SameCells(out, start));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WeaveDialogTest, ResizingATwoByTwoCheckerToFourByFourGivesTwoByTwoBlocks) {
  VMKcreaweavUI dlg;
  WeaveInfo checker;
  Init_WeaveInfo(&checker, 2, 2);
  checker.cells[0][0] = 1;
  checker.cells[0][1] = 0;
  checker.cells[1][0] = 0;
  checker.cells[1][1] = 1;
  dlg.SetWeaveInfo(&checker);
  std::string offered[2];
  driver_.Advance(0.01)
      .Press(kCwea, Op(9))
      .Do([&](tb::WindowRef w) {
        offered[0] = tb::GetControlText(tb::FindControl(w, kEwea, 6));
        offered[1] = tb::GetControlText(tb::FindControl(w, kEwea, 5));
      })
      .Type(kEwea, 6, "4")
      .Type(kEwea, 5, "4")
      .Press(kEwea, 1)
      .Advance(0.5)
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(offered[0], "2");
  EXPECT_EQ(offered[1], "2");
  const WeaveInfo& w = *dlg.current();
  ASSERT_EQ(w.columns, 4);
  ASSERT_EQ(w.rows, 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(w.cells[r][c], checker.cells[r / 2][c / 2]) << r << "," << c;
  EXPECT_EQ(dlg.resizeResult, 1);
}

TEST_F(WeaveDialogTest, ResizeHoldsToOneToHundredTwentySevenAndCancelChangesNothing) {
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(5, 6);
  dlg.SetWeaveInfo(&start);
  WeaveInfo afterCancel;
  driver_.Advance(0.01)
      .Press(kCwea, Op(9))
      .Type(kEwea, 6, "400")
      .Press(kEwea, 2)
      .Do([&](tb::WindowRef) { afterCancel = *dlg.current(); })
      .Press(kCwea, Op(9))
      .Type(kEwea, 6, "400")
      .Type(kEwea, 5, "-3")
      .Press(kEwea, 1)
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(afterCancel.columns, 5);
  EXPECT_TRUE(SameCells(afterCancel, start));
  EXPECT_EQ(dlg.current()->columns, 127);
  EXPECT_EQ(dlg.current()->rows, 1);
}

TEST_F(WeaveDialogTest, ShiftingByTheWholeWidthLeavesThePatternAndOneColumnMovesItLeft) {
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(8, 5);
  dlg.SetWeaveInfo(&start);
  WeaveInfo whole, beyond;
  driver_.Advance(0.01)
      .Press(kCwea, Op(4))
      .Type(kSwea, 6, "8")
      .Type(kSwea, 5, "-5")
      .Press(kSwea, 1)
      .Do([&](tb::WindowRef) { whole = *dlg.current(); })
      .Press(kCwea, Op(4))
      .Type(kSwea, 6, "300")
      .Type(kSwea, 5, "0")
      .Press(kSwea, 1)
      .Do([&](tb::WindowRef) { beyond = *dlg.current(); })
      .Press(kCwea, Op(4))
      .Type(kSwea, 6, "1")
      .Type(kSwea, 5, "2")
      .Press(kSwea, 1)
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_TRUE(SameCells(whole, start));
  EXPECT_TRUE(SameCells(beyond, start));
  const WeaveInfo& w = *dlg.current();
  for (int r = 0; r < 5; ++r)
    for (int c = 0; c < 8; ++c) EXPECT_EQ(w.cells[r][c], start.cells[(r + 2) % 5][(c + 1) % 8]) << r << "," << c;
  // Outside the repeat nothing moves.
  EXPECT_EQ(w.cells[5][0], start.cells[5][0]);
  EXPECT_EQ(w.cells[0][8], start.cells[0][8]);
}

TEST_F(WeaveDialogTest, InvertTouchesOnlyTheRepeatAndClearEmptiesTheWholeGrid) {
  VMKcreaweavUI dlg;
  WeaveInfo start = Numbered(3, 2);
  dlg.SetWeaveInfo(&start);
  WeaveInfo inverted;
  driver_.Advance(0.01)
      .Press(kCwea, Op(1))
      .Do([&](tb::WindowRef) { inverted = *dlg.current(); })
      .Press(kCwea, Op(2))
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) {
      const bool inside = r < 2 && c < 3;
      ASSERT_EQ(inverted.cells[r][c], inside ? 1 - start.cells[r][c] : start.cells[r][c]) << r << "," << c;
    }
  const WeaveInfo& w = *dlg.current();
  EXPECT_EQ(w.columns, 3);
  EXPECT_EQ(w.rows, 2);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) ASSERT_EQ(w.cells[r][c], 0);
}

TEST_F(WeaveDialogTest, MirrorsResetAtTheCurrentSizeAndUndoOfOneLevel) {
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(6, 4);
  dlg.SetWeaveInfo(&start);
  WeaveInfo leftRight, topBottom, reset, undone;
  driver_.Advance(0.01)
      .Press(kCwea, Op(5))
      .Do([&](tb::WindowRef) { leftRight = *dlg.current(); })
      .Press(kCwea, Op(6))
      .Do([&](tb::WindowRef) { topBottom = *dlg.current(); })
      .Press(kCwea, kReset)
      .Do([&](tb::WindowRef) { reset = *dlg.current(); })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { undone = *dlg.current(); })
      .Key(26, controlKey)
      .Advance(0.5)
      .Press(kCwea, kCancel);
  EXPECT_EQ(dlg.Do_CreaWeavDlg(), 0);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c) {
      EXPECT_EQ(leftRight.cells[r][c], start.cells[r][5 - c]);
      EXPECT_EQ(topBottom.cells[r][c], start.cells[3 - r][5 - c]);
    }
  WeaveInfo defaults;
  Init_WeaveInfo(&defaults, 6, 4);
  EXPECT_EQ(reset.columns, 6);
  EXPECT_EQ(reset.rows, 4);
  EXPECT_TRUE(SameCells(reset, defaults));
  EXPECT_TRUE(SameCells(undone, topBottom));
  // A second undo restores the same backup again.
  EXPECT_TRUE(SameCells(*dlg.current(), topBottom));
}

TEST_F(WeaveDialogTest, ImportMakesCellsOfPixelsSummingToAtMost383) {
  const std::string dark = Picture("dark.png", 5, 3, 128, 128, 127);
  const std::string light = Picture("light.png", 5, 3, 128, 128, 128);
  for (const auto& [path, cell] : {std::pair{dark, 1}, std::pair{light, 0}}) {
    SCOPED_TRACE(path);
    VMKcreaweavUI dlg;
    const WeaveInfo start = Numbered(8, 8);
    dlg.SetWeaveInfo(&start);
    driver_.ui().AnswerOpenFile(path);
    std::string offered;
    driver_.Advance(0.01)
        .Press(kCwea, Op(7))
        .Do([&](tb::WindowRef w) { offered = tb::GetControlText(tb::FindControl(w, kEwea, 6)); })
        .Press(kEwea, 1)
        .Press(kCwea, kOk);
    ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
    EXPECT_EQ(offered, "5");
    const WeaveInfo& w = *dlg.current();
    ASSERT_EQ(w.columns, 5);
    ASSERT_EQ(w.rows, 3);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 5; ++c) EXPECT_EQ(w.cells[r][c], cell);
    EXPECT_EQ(w.cells[3][0], start.cells[3][0]);
  }
}

TEST_F(WeaveDialogTest, ImportTakesEveryColumnOfThePictureFromTheFirstToTheLast) {
  // Dark first and last columns, light between: a read at the picture's own
  // size keeps both edges where they are.
  std::vector<uint8_t> px(6 * 4 * 4, 255);
  for (size_t y = 0; y < 4; ++y)
    for (size_t x : {size_t{0}, size_t{5}}) std::memset(&px[(y * 6 + x) * 4], 0, 3);
  const std::string path = bundle_.file("edges.png");
  plat::imageio::PixelSource src{px.data(), 6 * 4, 6, 4, 1};
  ASSERT_EQ(plat::imageio::WriteImage(path, plat::imageio::kTypePNG, {}, src), 0);
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(8, 8);
  dlg.SetWeaveInfo(&start);
  driver_.ui().AnswerOpenFile(path);
  driver_.Advance(0.01).Press(kCwea, Op(7)).Press(kEwea, 1).Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  const WeaveInfo& w = *dlg.current();
  ASSERT_EQ(w.columns, 6);
  ASSERT_EQ(w.rows, 4);
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 6; ++c) EXPECT_EQ(w.cells[r][c], c == 0 || c == 5 ? 1 : 0) << r << " " << c;
}

TEST_F(WeaveDialogTest, ASideOfOnePixelIsReadAndAFailedReadChangesNeitherSizeNorCells) {
  const std::string line = Picture("line.png", 6, 1, 0, 0, 0);
  // A picture whose header can be measured but whose pixels cannot be read.
  const std::string good = Picture("cut.png", 40, 40, 10, 10, 10);
  std::vector<char> bytes;
  {
    std::ifstream in(good, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  const std::string cut = bundle_.file("cut2.png");
  std::ofstream(cut, std::ios::binary).write(bytes.data(), 60);
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(8, 8);
  dlg.SetWeaveInfo(&start);
  int16_t cutAnswer = -1;
  WeaveInfo afterCut, afterFailure;
  driver_.ui().AnswerOpenFile(line);
  driver_.ui().AnswerOpenFile(cut);
  driver_.Advance(0.01)
      .Press(kCwea, Op(7))
      .Press(kEwea, 1)
      .Do([&](tb::WindowRef) {
        afterCut = *dlg.current();
        dlg.SetWeaveInfo(&start);
        cutAnswer = dlg.ImportWeaveDataFromFile(dlg.current());
      })
      .Press(kEwea, 1)
      .Do([&](tb::WindowRef) { afterFailure = *dlg.current(); })
      .Press(kCwea, kCancel);
  dlg.Do_CreaWeavDlg();
  EXPECT_EQ(afterCut.columns, 6);
  EXPECT_EQ(afterCut.rows, 1);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(afterCut.cells[0][c], 1);
  EXPECT_EQ(afterCut.cells[1][0], start.cells[1][0]);
  EXPECT_EQ(cutAnswer, 0);
  EXPECT_EQ(afterFailure.columns, 8);
  EXPECT_EQ(afterFailure.rows, 8);
  EXPECT_TRUE(SameCells(afterFailure, start));
}

TEST_F(WeaveDialogTest, SizesFromTheOwnerAndFromFilesAreHeldToTheGrid) {
  WeaveInfo wide = Numbered(8, 8);
  wide.columns = 300;
  wide.rows = 200;
  // A weave file that claims 300 columns.
  driver_.ui().AnswerSaveFile(bundle_.makersFile("wide.hwea"));
  FSSpec none{};
  ASSERT_EQ(Do_AWeaveInfo_file(1, none, &wide), 0);
  VMKcreaweavUI dlg;
  dlg.SetWeaveInfo(&wide);
  EXPECT_EQ(dlg.current()->columns, 128);
  EXPECT_EQ(dlg.current()->rows, 128);
  WeaveInfo negative = wide;
  negative.rows = -4;
  dlg.SetWeaveInfo(&negative);
  EXPECT_EQ(dlg.current()->rows, 0);
  const WeaveInfo narrow = Numbered(2, 2);
  dlg.SetWeaveInfo(&narrow);
  int16_t columnsAfterLoad = 0, columnsAfterHover = 0;
  driver_.ui().AnswerOpenFile(bundle_.makersFile("wide.hwea"));
  driver_.Advance(0.01)
      .Press(kCwea, kLoad)
      .Do([&](tb::WindowRef) { columnsAfterLoad = dlg.current()->columns; })
      .Press(kCwea, Op(1))
      .Do([&](tb::WindowRef) { dlg.SetWeaveInfo(&narrow); })
      .Hover(kCwea, 21, {1})
      .Do([&](tb::WindowRef) { columnsAfterHover = dlg.current()->columns; })
      .Choose(kCwea, 21, 1)
      .Press(kCwea, Op(1))
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(columnsAfterLoad, 128);
  // The hover left the pattern as it was before the menu opened.
  EXPECT_EQ(columnsAfterHover, 2);
  EXPECT_EQ(dlg.current()->columns, 128);
  EXPECT_EQ(dlg.current()->cells[127][127], 1 - wide.cells[127][127]);
}

TEST_F(WeaveDialogTest, CombineAndsTheFilesPatternWithTheOldOneTiled) {
  WeaveInfo file = Numbered(6, 6);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) file.cells[r][c] = 1;
  file.cells[0][0] = 0;
  driver_.ui().AnswerSaveFile(bundle_.makersFile("ones.hwea"));
  FSSpec none{};
  ASSERT_EQ(Do_AWeaveInfo_file(1, none, &file), 0);
  VMKcreaweavUI dlg;
  WeaveInfo stripes;
  Init_WeaveInfo(&stripes, 2, 3);
  for (int r = 0; r < kWeaveSide; ++r)
    for (int c = 0; c < kWeaveSide; ++c) stripes.cells[r][c] = c % 2 == 0 ? 1 : 0;
  dlg.SetWeaveInfo(&stripes);
  driver_.ui().AnswerOpenFile(bundle_.makersFile("ones.hwea"));
  driver_.Advance(0.01).Press(kCwea, Op(8)).Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  const WeaveInfo& w = *dlg.current();
  EXPECT_EQ(w.columns, 6);
  EXPECT_EQ(w.rows, 6);
  EXPECT_EQ(w.cells[0][0], 0);
  for (int r = 0; r < 6; ++r)
    for (int c = 0; c < 6; ++c)
      if (r != 0 || c != 0) {
        EXPECT_EQ(w.cells[r][c], c % 2 == 0 ? 1 : 0) << r << "," << c;
      }
  EXPECT_TRUE(SameCells(*dlg.backupRecord(), stripes));
}

TEST_F(WeaveDialogTest, FieldsClampAndAZeroSizeLeavesRaisedToOne) {
  VMKcreaweavUI dlg;
  dlg.SetCol(1, 2, 3, 4, 5, 6);
  const WeaveInfo start = Numbered(4, 4);
  dlg.SetWeaveInfo(&start);
  driver_.Advance(0.01)
      .Type(kCwea, kWidth, "0")
      .Type(kCwea, kHeight, "500")
      .Type(kCwea, 26, "300")
      .Type(kCwea, 38, "-7")
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(dlg.current()->columns, 0);
  EXPECT_EQ(dlg.current()->rows, 128);
  WeaveInfo out;
  dlg.GetWeaveInfo(&out);
  EXPECT_EQ(out.columns, 1);
  EXPECT_EQ(out.rows, 128);
  uint8_t c[6];
  dlg.GetCol(&c[0], &c[1], &c[2], &c[3], &c[4], &c[5]);
  EXPECT_EQ(c[0], 255);
  EXPECT_EQ(c[1], 2);
  EXPECT_EQ(c[5], 0);
}

TEST_F(WeaveDialogTest, TheGridBoxHidesWithoutThePatternAndOnlyTheEnlargedPatternTakesClicks) {
  VMKcreaweavUI dlg;
  const WeaveInfo start = Numbered(4, 4);
  dlg.SetWeaveInfo(&start);
  bool gridShown[2] = {};
  int16_t modes[2] = {};
  uint8_t toggled = 0;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) { gridShown[0] = tb::IsControlVisible(tb::FindControl(w, kCwea, kGrid)); })
      // Both boxes on: the pattern is stretched over the view; a click on
      // the bottom-left cell toggles cell (0, 0).
      .Do([&](tb::WindowRef) { modes[0] = dlg.patternView()->param().weaveMode; })
      .Drag({Point{325, 15}})
      .Advance(0.5)
      .Do([&](tb::WindowRef) { toggled = dlg.current()->cells[0][0]; })
      .Press(kCwea, kEnlarge)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { modes[1] = dlg.patternView()->param().weaveMode; })
      .Press(kCwea, kPattern)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { gridShown[1] = tb::IsControlVisible(tb::FindControl(w, kCwea, kGrid)); })
      .Press(kCwea, kCancel);
  dlg.Do_CreaWeavDlg();
  EXPECT_TRUE(gridShown[0]);
  EXPECT_FALSE(gridShown[1]);
  EXPECT_EQ(modes[0], 2);
  EXPECT_EQ(modes[1], 1);
  EXPECT_EQ(toggled, 1 - start.cells[0][0]);
  EXPECT_EQ(dlg.Cpat, 0);
  EXPECT_EQ(dlg.Ceff, 0);
}

TEST_F(WeaveDialogTest, APickedSwatchColourBecomesTheWarpColour) {
  VMKcreaweavUI dlg;
  driver_.ui().AnswerColor(RGBColor{0x1200, 0x3400, 0x5600});
  std::string red;
  driver_.Advance(0.01)
      .Drag({Point{104, 520}})
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { red = Field(w, 26); })
      .Press(kCwea, kOk);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(dlg.warp[0], 0x12);
  EXPECT_EQ(dlg.warp[1], 0x34);
  EXPECT_EQ(dlg.warp[2], 0x56);
  EXPECT_EQ(red, "18");
}

}  // namespace
