#include "dialogs/patterns/colour_matrix_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <cstring>
#include <vector>

#include "dialogs/correction/dialog_fixture.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "platform/toolbox/api/ui_services.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kCmat = FourCC("Cmat");
constexpr int32_t kOk = 1, kCancel = 2, kReset = 104, kInvert = 105, kShape = 41;

// One preview of effect 22 handed to its engine.
struct MatrixRender {
  int16_t display;
  int16_t source;
  int32_t tool;
  std::vector<uint32_t> cells;
};

std::vector<MatrixRender>& MatrixRenders() {
  static std::vector<MatrixRender> renders;
  return renders;
}

int32_t RecordMatrix(const vmkviews::PreviewCall& call) {
  const ColMatPar* r = call.recordAs<ColMatPar>();
  // The leading shorts: 3, 0, 255, the source, the display, 255.
  MatrixRenders().push_back({call.shorts[4], call.shorts[3], r->tool,
                             std::vector<uint32_t>(r->cells, r->cells + kColMatCells)});
  return 0;
}

// What the owner holds: the operation's cells and its four parameters.
struct Owner {
  std::array<int32_t, kColMatCells> cells{};
  int16_t p1 = 3, hue = 10, saturation = -20, value = 30, fifth = 77;
  bool operator==(const Owner&) const = default;
};

Owner Flat(uint8_t v) {
  Owner o;
  const uint32_t cell = 0x01010101u * v;
  o.cells.fill(static_cast<int32_t>(cell));
  return o;
}

uint8_t Channel(const ColMatPar& r, int column, int row, int c) {
  return ColMatChannel(r.cells[row * kColMatSide + column], c);
}

class ColourMatrixTest : public vmktest::ColCorDialogTest {
 protected:
  void SetUp() override {
    ColCorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 22, RecordMatrix);
    MatrixRenders().clear();
  }
  // The dialog with the owner's values handed in, painting single cells.
  void HandIn(VMKcolormatrixUI& dlg, const Owner& o, int32_t tool = 0) {
    dlg.SetColMatVal(o.cells.data(), o.p1, o.hue, o.saturation, o.value, o.fifth);
    dlg.record()->tool = tool;
    dlg.record()->paint[0] = 50;
    dlg.record()->paint[1] = 60;
    dlg.record()->paint[2] = 70;
    dlg.record()->paint[3] = 80;
  }
  void TakeBack(VMKcolormatrixUI& dlg, Owner* o) {
    dlg.GetColMatVal(o->cells.data(), &o->p1, &o->hue, &o->saturation, &o->value, &o->fifth);
  }
  // A click in the preview box at view point (x, y); the box is at (10, 10).
  plat::tb::test::Driver& Click(int16_t x, int16_t y, uint32_t modifiers = 0) {
    const Point p{static_cast<int16_t>(10 + y), static_cast<int16_t>(10 + x)};
    return driver_.Drag({p, p}, modifiers);
  }
  void SaveMatrixPreset(const std::string& name, ColMatPar* record) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    FSSpec none{};
    ASSERT_EQ(Do_AColMatPar_file(1, none, record), 0);
  }
};

TEST_F(ColourMatrixTest, ValuesPassThroughUnchangedWithoutARun) {
  Owner in = Flat(9);
  in.cells[5] = 0x11223344;
  VMKcolormatrixUI dlg;
  dlg.SetColMatVal(in.cells.data(), in.p1, in.hue, in.saturation, in.value, in.fifth);
  Owner out;
  out.fifth = -5;
  TakeBack(dlg, &out);
  EXPECT_EQ(out.cells, in.cells);
  EXPECT_EQ(out.p1, 3);
  EXPECT_EQ(out.hue, 10);
  EXPECT_EQ(out.saturation, -20);
  EXPECT_EQ(out.value, 30);
  EXPECT_EQ(out.fifth, -5);  // never written
  // The fifth is not read either: the record's own setting stays.
  EXPECT_EQ(dlg.record()->contrast, 0);
}

TEST_F(ColourMatrixTest, OkReturnsThePaintWhileCancelCloseAndHoverLeaveTheOwnersValues) {
  const Owner before = Flat(100);
  ColMatPar preset;
  Init_ColMatPar(&preset);
  SaveMatrixPreset("warm.hcma", &preset);
  for (int way = 0; way < 4; ++way) {
    Owner o = before;
    VMKcolormatrixUI dlg;
    HandIn(dlg, o);
    driver_.Advance(0.1);
    if (way == 0) Click(250, 200).Advance(0.5).Press(kCmat, kCancel);
    if (way == 1) Click(250, 200).Advance(0.5).Type(kCmat, 9, "90").CloseBox();
    if (way == 2) driver_.Hover(kCmat, 7, {1}).CloseBox();
    if (way == 3) driver_.Press(kCmat, kReset).Advance(0.5).Press(kCmat, kCancel);
    if (dlg.Do_ColorMatrixDlg(0, 1) == 1) TakeBack(dlg, &o);
    EXPECT_EQ(o, before) << way;
  }
  Owner o = before;
  VMKcolormatrixUI dlg;
  HandIn(dlg, o);
  driver_.Advance(0.1);
  Click(250, 200).Advance(0.5).Press(kCmat, kOk);
  ASSERT_EQ(dlg.Do_ColorMatrixDlg(0, 1), 1);
  TakeBack(dlg, &o);
  EXPECT_NE(o.cells, before.cells);
  EXPECT_EQ(o.fifth, 77);
  EXPECT_EQ(gVMKcolormatrix, &dlg);
  EXPECT_TRUE(driver_.errors().empty());
}

// A 1200 x 900 picture in the 500 x 500 box: 500 x 375 displayed, 62 rows
// below the box's top. Row 0 of the cells lies at the picture's bottom.
TEST_F(ColourMatrixTest, ClicksPaintTheCellUnderThePointer) {
  VMKcolormatrixUI dlg;
  HandIn(dlg, Flat(100));
  auto painted = [&](int column, int row) {
    return Channel(*dlg.record(), column, row, 0) == 50 && Channel(*dlg.record(), column, row, 3) == 100;
  };
  driver_.Advance(0.1).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.displayedWidth, 500);
    EXPECT_EQ(dlg.displayedHeight, 375);
    int16_t c = -1, r = -1;
    dlg.CellAt(0, 62, &c, &r);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 0);
    dlg.CellAt(499, 436, &c, &r);  // the last column and row of the picture
    EXPECT_EQ(c, 32);
    EXPECT_EQ(r, 32);
    dlg.CellAt(-40, 600, &c, &r);  // outside: held to the grid
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 32);
  });
  Click(0, 62).Advance(0.5).Do([&](tb::WindowRef) { EXPECT_TRUE(painted(0, 32)); });
  Click(499, 436).Advance(0.5).Do([&](tb::WindowRef) { EXPECT_TRUE(painted(32, 0)); });
  // (250, 249): column 250 x 33 / 500 = 16.5, row 187 x 33 / 375 = 16.46.
  Click(250, 249).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_TRUE(painted(16, 16));
    // Previewed in the tick that took the click.
    ASSERT_FALSE(MatrixRenders().empty());
    EXPECT_EQ(ColMatChannel(MatrixRenders().back().cells[16 * 33 + 16], 0), 50);
  });
  driver_.Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Option adds the pattern to the cells as they were, Control (with or
// without Option) takes it away; an unpainted cell shows which.
TEST_F(ColourMatrixTest, ModifierKeysChooseThePaintMode) {
  struct Case {
    uint32_t keys;
    uint8_t untouched;  // a cell away from the click
  };
  for (const Case& c : {Case{0, 100}, Case{optionKey, 200}, Case{controlKey, 0}, Case{controlKey | optionKey, 0}}) {
    VMKcolormatrixUI dlg;
    HandIn(dlg, Flat(100));
    driver_.Advance(0.1);
    // The keys are read at the tick, from the keyboard as it is then.
    Click(0, 62, c.keys).Do([&](tb::WindowRef) { driver_.ui().SetModifiers(c.keys); }).Advance(0.5).Do([&](tb::WindowRef) {
      EXPECT_EQ(VMKcolormatrixUI::PaintMode(), c.keys == 0 ? 0 : c.keys == optionKey ? 1 : -1);
      EXPECT_EQ(Channel(*dlg.record(), 20, 20, 0), c.untouched) << c.keys;
      driver_.ui().SetModifiers(0);
    });
    driver_.Press(kCmat, kCancel);
    dlg.Do_ColorMatrixDlg(0, 0);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColourMatrixTest, ChannelsSwitchedOffAreNeverPainted) {
  VMKcolormatrixUI dlg;
  HandIn(dlg, Flat(100), 4);  // the fill tool: every cell
  driver_.Advance(0.1).Press(kCmat, 36).Press(kCmat, 37).Press(kCmat, 39);
  Click(100, 100).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.channels[0], 0);
    EXPECT_EQ(dlg.channels[3], 1);
    for (int k = 0; k < kColMatCells; ++k) {
      const uint32_t cell = dlg.record()->cells[k];
      ASSERT_EQ(ColMatChannel(cell, 0), 100) << k;
      ASSERT_EQ(ColMatChannel(cell, 1), 100) << k;
      ASSERT_EQ(ColMatChannel(cell, 2), 70) << k;
      ASSERT_EQ(ColMatChannel(cell, 3), 80) << k;
    }
  });
  driver_.Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColourMatrixTest, InvertTwiceAndTheShiftsClamps) {
  VMKcolormatrixUI dlg;
  Owner o = Flat(100);
  o.cells[7] = 0x0A141E28;
  HandIn(dlg, o);
  std::vector<uint32_t> masks;
  driver_.Advance(0.1)
      .Press(kCmat, kInvert)
      .Do([&](tb::WindowRef) { EXPECT_EQ(ColMatChannel(dlg.record()->cells[7], 3), 255 - 0x28); })
      .Press(kCmat, kInvert)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.record()->cells[7], 0x0A141E28u); })
      .Type(kCmat, 9, "400")
      .Type(kCmat, 19, "500")
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.record()->shift[0], 180);
        EXPECT_EQ(dlg.record()->shift[2], 500);  // taken as typed
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCmat, 9)), "180");
      })
      .Type(kCmat, 19, "70000")
      .Type(kCmat, 16, "-45")
      .Press(kCmat, kOk);  // at once: OK reads what was typed
  ASSERT_EQ(dlg.Do_ColorMatrixDlg(0, 0), 1);
  TakeBack(dlg, &o);
  EXPECT_EQ(o.value, 32767);
  EXPECT_EQ(o.saturation, -45);
  EXPECT_EQ(o.hue, 180);
  VMKcolormatrixUI again;
  HandIn(again, Flat(1));
  driver_.Type(kCmat, 19, "500").Press(kCmat, kOk);
  ASSERT_EQ(again.Do_ColorMatrixDlg(0, 0), 1);
  TakeBack(again, &o);
  EXPECT_EQ(o.value, 500);  // what was typed reaches the owner
  EXPECT_TRUE(driver_.errors().empty());
}

// Integer division leaves a 4000 x 5 picture 0 rows high in the box: it is
// shown at least 1 high, and a click maps to a cell.
TEST_F(ColourMatrixTest, AFlatPictureStillMapsClicks) {
  Start(4000, 5);
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 22, RecordMatrix);
  VMKcolormatrixUI dlg;
  HandIn(dlg, Flat(100));
  driver_.Advance(0.1).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.displayedWidth, 500);
    EXPECT_EQ(dlg.displayedHeight, 1);
  });
  Click(250, 250).Advance(0.5).Do([&](tb::WindowRef) {
    int painted = 0;
    for (int k = 0; k < kColMatCells; ++k) painted += ColMatChannel(dlg.record()->cells[k], 0) == 50;
    EXPECT_EQ(painted, 1);
  });
  driver_.Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Undo goes back over the shape change and the preview shows it at once.
TEST_F(ColourMatrixTest, UndoAfterAShapeChangeRendersTheRestoredRecord) {
  VMKcolormatrixUI dlg;
  HandIn(dlg, Flat(100), 5);
  size_t before = 0;
  driver_.Advance(0.1)
      .Choose(kCmat, kShape, 3)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.record()->tool, 3);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCmat, kShape)), 3);
        before = MatrixRenders().size();
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.record()->tool, 5);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCmat, kShape)), 5);
        ASSERT_EQ(MatrixRenders().size(), before + 1);
        EXPECT_EQ(MatrixRenders().back().tool, 5);
        EXPECT_EQ(VMKcolormatrixUI::UndoRequest(), 0);
      })
      .Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Paint sliders and the swatch change the painting colour without a backup
// (kept); the arrows read their field and wait for the next change.
TEST_F(ColourMatrixTest, PaintSlidersSwatchAndArrows) {
  VMKcolormatrixUI dlg;
  HandIn(dlg, Flat(100));
  driver_.Advance(0.1)
      .Slide(kCmat, 27, 200)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.record()->paint[0], 200);
        EXPECT_EQ(dlg.record()->paint[2], 70);
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCmat, 28)), "200");
        dlg.refresh() = 0;
      })
      .PressPart(kCmat, 17, tb::kControlUpButtonPart)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.record()->shift[0], 11);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCmat, 13)), 11);
        EXPECT_EQ(dlg.refresh(), 0);
      })
      .Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColourMatrixTest, TheFlagChoosesThePreviewSource) {
  for (int16_t flag : {0, 1}) {
    VMKcolormatrixUI dlg;
    driver_.Advance(0.1).Press(kCmat, 35).Advance(0.5).Press(kCmat, kCancel);
    dlg.Do_ColorMatrixDlg(flag, 3);
    EXPECT_EQ(dlg.previewSource, flag == 1 ? 2 : 3);
    ASSERT_FALSE(MatrixRenders().empty());
    EXPECT_EQ(MatrixRenders().back().source, flag == 1 ? 2 : 3);
    EXPECT_EQ(MatrixRenders().back().display, 0);  // the effect check box off
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColourMatrixTest, WithoutItsWindowTheDialogInstallsNothing) {
  {
    VMKcolormatrixUI dlg;
    EXPECT_EQ(gVMKcolormatrix, &dlg);
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_ColorMatrixDlg(0, 0), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
  }
  EXPECT_EQ(gVMKcolormatrix, nullptr);
  EXPECT_EQ(GetColorMatrixWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  ColorMatrixLoopHandler(nullptr, nullptr);
}

// After the first preview of a content preset, kept under the build tree.
TEST_F(ColourMatrixTest, Screenshot) {
  UsePhoto();
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  VMKcolormatrixUI dlg;
  driver_.Advance(0.1)
      .Choose(kCmat, 7, 3)  // "Warm corner"
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/ColMat.png")); })
      .Press(kCmat, kCancel);
  EXPECT_EQ(dlg.Do_ColorMatrixDlg(0, 0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

// A picture of the view's own width is previewed at 1:1 and matches the
// final render (the engine row as the script runs it, planes bottom row
// first) over the part where the view's 0.998 step has not yet repeated a
// sample; the display buffer's rows run from the bottom.
TEST_F(ColourMatrixTest, PreviewOfAPictureAtOneToOneIsTheFinalRender) {
  Start(500, 375);
  UsePhoto();
  VMKcolormatrixUI dlg;
  Owner o = Flat(200);
  o.p1 = 0;  // no dither
  o.hue = 20;
  o.saturation = 10;
  o.value = -5;
  HandIn(dlg, o, 5);
  Calc_vign(dlg.record(), 10, 20, 0, 1, 1, 1, 1, 40, 90, 160, 100);
  std::vector<uint8_t> shown;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        const VMKimabox* box = dlg.Box(0);
        shown.assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 500);
        EXPECT_EQ(box->state().effWidth, 500);
        EXPECT_EQ(box->state().effHeight, 374);
      })
      .Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  const int32_t w = 500, h = 375;
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> planes(4 * n, 255);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo_.rowPtr(y)[4 * x + k];
  std::vector<int32_t> cells(kColMatCells);
  int16_t p[5] = {0, 0, 0, 0, 0};
  dlg.GetColMatVal(cells.data(), &p[0], &p[1], &p[2], &p[3], &p[4]);
  RegisterEffectFamilies();
  EngineRowCall row;
  row.effect = 22;
  row.record = cells.data();
  row.p1 = p[0];
  row.p2 = p[1];
  row.p3 = p[2];
  row.p4 = p[3];
  row.p5 = dlg.record()->contrast;
  row.n = 3;
  row.w = row.aw = w;
  row.h = row.ah = h;
  row.planes[0] = planes.data();
  row.planes[1] = planes.data() + n;
  row.planes[2] = planes.data() + 2 * n;
  const EngineAdapter adapter = FindEngineRow(22);
  ASSERT_NE(adapter, nullptr);
  adapter(row);
  int differ = 0, worst = 0, changed = 0;
  for (int32_t y = 0; y < 250; ++y)
    for (int32_t x = 0; x < 250; ++x)
      for (int k = 0; k < 3; ++k) {
        const int pv = shown[4 * (static_cast<size_t>(373 - y) * 500 + x) + k];
        const int f = planes[k * n + static_cast<size_t>(h - 1 - y) * w + x];
        differ += pv != f;
        worst = std::max(worst, std::abs(pv - f));
        changed += f != photo_.rowPtr(y)[4 * x + k];
      }
  // The view lays a 500 x 375 picture out 374 samples high (its window spans
  // 374 rows of picture), so the matrix is stretched over one row fewer
  // than in the render: a sample differs by at most 3, about one in three
  // by anything at all.
  EXPECT_LE(worst, 3);
  EXPECT_LT(differ, 250 * 250 * 3 / 2);
  EXPECT_GT(changed, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

// The default content library's colour-matrix presets are listed and read.
TEST_F(ColourMatrixTest, TheContentLibraryOffersThreePresets) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  VMKcolormatrixUI dlg;
  std::vector<int32_t> tools;
  std::vector<uint32_t> firstCells;
  driver_.Advance(0.1).Do([&](tb::WindowRef w) { EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kCmat, 7)), 3); });
  for (int32_t item = 1; item <= 3; ++item)
    driver_.Choose(kCmat, 7, item).Do([&](tb::WindowRef) {
      tools.push_back(dlg.record()->tool);
      firstCells.push_back(dlg.record()->cells[0]);
    });
  driver_.Press(kCmat, kCancel);
  dlg.Do_ColorMatrixDlg(0, 0);
  // By name: cool gradient, masked centre, warm corner.
  EXPECT_EQ(tools, (std::vector<int32_t>{2, 5, 5}));
  EXPECT_NE(firstCells[0], firstCells[1]);
  EXPECT_NE(firstCells[1], firstCells[2]);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
