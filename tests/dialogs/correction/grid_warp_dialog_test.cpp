#include "dialogs/correction/grid_warp_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

#include "app/file_access.h"
#include "dialogs/correction/dialog_fixture.h"
#include "engines/correction/grid_edit.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "platform/toolbox/toolbox.h"
#include "support/qt/popup_keys.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kGrid = FourCC("Grid");
constexpr OSType kAlert = FourCC("Aler");
constexpr OSType kCreate = FourCC("Gcre");
constexpr OSType kReset = FourCC("Gres");
constexpr OSType kBell = FourCC("Gbel");
constexpr int32_t kOk = 101, kCancel = 102, kResetButton = 103, kFit = 109, kOneToOne = 110;
// The save-or-discard alert: 1 closes, 3 saves to a file first, 2 stays.
constexpr int32_t kAlertClose = 1, kAlertSave = 3, kAlertStay = 2;
constexpr int32_t kBellTool = 33, kCreateTool = 34;
constexpr int32_t kAdd = 54, kDelete = 57, kGridPopup = 27, kSmoothEdit = 17, kOpacityEdit = 19;

// One render handed to the grid engine: the main view's planes are 500 wide.
struct GridRender {
  double at;
  int32_t viewWidth;
  int16_t source;
  int16_t apply;
  int32_t head[16];
};

std::vector<GridRender>& GridRenders() {
  static std::vector<GridRender> renders;
  return renders;
}

int32_t RecordGrid(const vmkviews::PreviewCall& call) {
  const GridPar* r = call.recordAs<GridPar>();
  const size_t n = static_cast<size_t>(call.viewWidth) * static_cast<size_t>(call.viewHeight);
  std::memset(call.planes[0], 40, n);
  std::memset(call.planes[1], 140, n);
  std::memset(call.planes[2], 240, n);
  GridRender g{plat::ui::Now(), call.viewWidth, call.shorts[3], call.shorts[5], {}};
  std::copy(r->head.w, r->head.w + 16, g.head);
  GridRenders().push_back(g);
  return 0;
}

std::unique_ptr<GridPar> Defaults(int32_t columns = 3, int32_t rows = 3) {
  auto r = std::make_unique<GridPar>();
  Init_GridPar(r.get(), 1200, 900, columns, rows, 0, 3, 1, 1);
  return r;
}

std::unique_ptr<GridPar> CopyOf(const GridPar& from) {
  auto r = std::make_unique<GridPar>();
  std::memcpy(static_cast<void*>(r.get()), &from, sizeof from);
  return r;
}

bool SameGrid(const GridPar& a, const GridPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kGrid, id)); }
int32_t Value(tb::WindowRef w, int32_t id) { return tb::GetControl32BitValue(tb::FindControl(w, kGrid, id)); }
bool Visible(tb::WindowRef w, int32_t id) { return tb::IsControlVisible(tb::FindControl(w, kGrid, id)); }

// Every node's selection flag of one set of the grid: all `value`.
bool AllSelected(const GridInfo& g, int32_t set, int32_t value) {
  const int32_t n = (g.w[kGiColumns] + 1) * (g.w[kGiRows] + 1);
  for (int32_t k = 0; k < n; ++k)
    if (g.node[set * kGaOut + kGaSelected][k] != value) return false;
  return true;
}

class GridDialogTest : public vmktest::ColCorDialogTest {
 protected:
  void SetUp() override {
    ColCorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, RecordGrid);
    GridRenders().clear();
  }
  size_t MainRenders() const {
    size_t n = 0;
    for (const GridRender& r : GridRenders()) n += r.viewWidth == 500 ? 1 : 0;
    return n;
  }
  // Closing always asks: the first answer closes.
  void Cancel() { driver_.Press(kGrid, kCancel).Press(kAlert, kAlertClose); }
  void Ok() { driver_.Press(kGrid, kOk).Press(kAlert, kAlertClose); }
  // Holds a modifier for the next steps (0 lets go).
  void Hold(uint32_t modifiers) {
    driver_.Do([this, modifiers](tb::WindowRef) { driver_.ui().SetModifiers(modifiers); });
  }
  std::string TempFile() const { return bundle_.makersFile("tmpvmkplv.hgr"); }
};

// ---- the owner's protocol and closing ----

TEST_F(GridDialogTest, OkHandsTheRecordBackAndEveryOtherCloseLeavesTheOwnersRecord) {
  auto owner = Defaults();
  const auto before = CopyOf(*owner);
  for (int way = 0; way < 3; ++way) {
    VMKgridUI dlg;
    dlg.SetGridPar(owner.get());
    driver_.Advance(0.1).Press(kGrid, 53).Type(kGrid, kSmoothEdit, "45").Advance(1.1).Press(kGrid, 41);
    if (way == 0) Cancel();
    // The close box is the Cancel button: its closing question comes too.
    if (way == 1) driver_.CloseBox().Press(kAlert, kAlertClose);
    if (way == 2) {
      // Saving to a file before cancelling writes the file and still
      // answers 0 (kept).
      driver_.ui().AnswerSaveFile(bundle_.makersFile("kept.hxgr"));
      driver_.Press(kGrid, kCancel).Press(kAlert, kAlertSave);
    }
    if (dlg.Do_GridDlg(0) == 1) dlg.GetGridPar(owner.get());
    EXPECT_TRUE(SameGrid(*owner, *before)) << way;
  }
  EXPECT_TRUE(std::filesystem::exists(bundle_.makersFile("kept.hxgr")));
  {
    VMKgridUI dlg;
    dlg.SetGridPar(owner.get());
    driver_.Advance(0.1).Press(kGrid, 53).Type(kGrid, kSmoothEdit, "45");
    Ok();
    ASSERT_EQ(dlg.Do_GridDlg(0), 1);
    dlg.GetGridPar(owner.get());
  }
  EXPECT_EQ(owner->grids[0].w[kGiEnabled], 0);
  EXPECT_EQ(owner->grids[0].w[kGiCurvature], 45);  // typed just before OK, read by OK
  EXPECT_EQ(gVMKgrid, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridDialogTest, ASaveThatDoesNotHappenOrAnyOtherAnswerKeepsTheDialogOpen) {
  VMKgridUI dlg;
  int asked = 0;
  driver_.Advance(0.1);
  driver_.ui().AnswerSaveFile(std::nullopt);
  driver_.Press(kGrid, kOk).Press(kAlert, kAlertSave).Do([&](tb::WindowRef) { ++asked; });
  driver_.Press(kGrid, kOk).Press(kAlert, kAlertStay).Do([&](tb::WindowRef) { ++asked; });
  driver_.Press(kGrid, kCancel).Press(kAlert, kAlertStay).Do([&](tb::WindowRef) { ++asked; });
  // Saved: closes with 1 and keeps the grids for the next opening too.
  driver_.ui().AnswerSaveFile(bundle_.makersFile("mine.hxgr"));
  driver_.Press(kGrid, kOk).Press(kAlert, kAlertSave);
  EXPECT_EQ(dlg.Do_GridDlg(0), 1);
  EXPECT_EQ(asked, 3);
  EXPECT_TRUE(std::filesystem::exists(bundle_.makersFile("mine.hxgr")));
  EXPECT_TRUE(std::filesystem::exists(TempFile()));
  EXPECT_EQ(driver_.ui().saveRequests.size(), 2u);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridDialogTest, TheTemporaryFileBringsBackTheLastAcceptedGridsUnlessTheFlagIsOne) {
  {
    VMKgridUI dlg;
    driver_.Advance(0.1).Press(kGrid, 53);  // grid 1 off
    Ok();
    ASSERT_EQ(dlg.Do_GridDlg(0), 1);
  }
  ASSERT_TRUE(std::filesystem::exists(TempFile()));
  for (int16_t flag : {0, 1}) {
    auto owner = Defaults();
    VMKgridUI dlg;
    dlg.SetGridPar(owner.get());
    int32_t enabled = -1;
    driver_.Advance(0.1).Do([&](tb::WindowRef) { enabled = dlg.editRecord()->grids[0].w[kGiEnabled]; });
    Cancel();
    dlg.Do_GridDlg(flag);
    EXPECT_EQ(enabled, flag == 1 ? 1 : 0) << flag;
  }
  // A damaged file changes nothing.
  {
    std::ofstream out(TempFile(), std::ios::binary | std::ios::trunc);
    out << "not a grid file at all, but long enough to be read as one's head words";
  }
  auto owner = Defaults();
  owner->grids[0].w[kGiCurvature] = 21;
  VMKgridUI dlg;
  dlg.SetGridPar(owner.get());
  bool same = false;
  driver_.Advance(0.1).Do([&](tb::WindowRef) { same = SameGrid(*dlg.editRecord(), *owner); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(same);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- the undo keys ----

TEST_F(GridDialogTest, UndoKeysRestoreTheWholeRecordAndSelectOrDeselectEveryNodeAtTheNextTick) {
  VMKgridUI dlg;
  std::unique_ptr<GridPar> beforeDrag;
  std::vector<bool> checks;
  auto check = [&](bool v) { checks.push_back(v); };
  driver_.Advance(0.1)
      .Key('a', cmdKey)
      .Do([&](tb::WindowRef) { check(VMKgridUI::UndoRequest() == 2 && AllSelected(dlg.editRecord()->grids[0], 0, 0)); })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        check(VMKgridUI::UndoRequest() == 0);
        check(AllSelected(dlg.editRecord()->grids[0], 0, 1) && AllSelected(dlg.editRecord()->grids[0], 1, 1));
      })
      .Press(kGrid, 30)  // move tool
      .Advance(0.5)
      .Do([&](tb::WindowRef) { beforeDrag = CopyOf(*dlg.editRecord()); })
      .Drag({{200, 250}, {220, 260}, {240, 280}})
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(!SameGrid(*dlg.editRecord(), *beforeDrag)); })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(SameGrid(*dlg.editRecord(), *beforeDrag)); })
      .Drag({{200, 250}, {260, 300}})
      .Advance(0.5)
      .Key(26, controlKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(SameGrid(*dlg.editRecord(), *beforeDrag)); })
      .Key(2, controlKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(AllSelected(dlg.editRecord()->grids[0], 0, 0)); })
      .Key(1, controlKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(AllSelected(dlg.editRecord()->grids[0], 1, 1)); })
      .Key('b', cmdKey)
      .Do([&](tb::WindowRef w) {
        // Swallowed by the focused number field, acted on at the tick.
        check(Text(w, kSmoothEdit) == "0");
        check(AllSelected(dlg.editRecord()->grids[0], 1, 1));
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(AllSelected(dlg.editRecord()->grids[0], 1, 0)); })
      .Key('z', cmdKey | shiftKey)
      .Key(26, controlKey | optionKey)
      .Do([&](tb::WindowRef) { check(VMKgridUI::UndoRequest() == 0); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(checks, std::vector<bool>(checks.size(), true));
  EXPECT_EQ(checks.size(), 12u);
  // The number fields' filter: the same three keys raise their requests and
  // never reach the field; digits, '-', space and backspace pass.
  VMKgridUI keys;
  for (int16_t ch : {'z', 'a', 'b'}) {
    VMKgridUI::UndoRequest() = 0;
    EXPECT_FALSE(keys.FilterNumKey(ch, cmdKey));
    EXPECT_EQ(VMKgridUI::UndoRequest(), ch == 'z' ? 1 : ch == 'a' ? 2 : 3);
  }
  VMKgridUI::UndoRequest() = 0;
  for (int16_t ch : {int16_t{'0'}, int16_t{'9'}, int16_t{'-'}, int16_t{' '}, int16_t{8}}) EXPECT_TRUE(keys.FilterNumKey(ch, 0));
  for (int16_t ch : {'x', '.', 'c'}) EXPECT_FALSE(keys.FilterNumKey(ch, cmdKey));
  EXPECT_EQ(VMKgridUI::UndoRequest(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The view's own copy of the record, what the next drag starts from (the
// grids in use: the slots beyond them as the dialog's record has them).
std::unique_ptr<GridPar> ViewGrid(VMKgridUI& dlg) {
  auto r = CopyOf(*dlg.editRecord());
  dlg.mainView()->GetGridPar(r.get());
  return r;
}

// The same grids in use: a read preset leaves its words in the slots beyond
// them, which a restore (as every copy of the record) does not touch.
bool SameInUse(const GridPar& a, const GridPar& b) {
  auto x = std::make_unique<GridPar>();
  auto y = std::make_unique<GridPar>();
  Copy_GridPar(&a, x.get());
  Copy_GridPar(&b, y.get());
  return SameGrid(*x, *y);
}

// A drag released and a key pressed before the next tick, as a quick user
// does on a desktop: the tick finds both and the key acts on the drag.
TEST_F(GridDialogTest, UndoKeysPressedBeforeTheTickActOnTheDragJustReleased) {
  VMKgridUI dlg;
  std::unique_ptr<GridPar> afterFirst, dragged;
  std::vector<bool> checks;
  auto check = [&](bool v) { checks.push_back(v); };
  driver_.Advance(0.1)
      .Key('a', cmdKey)
      .Advance(0.5)
      .Press(kGrid, 30)  // move tool
      .Advance(0.5)
      .Drag({{200, 250}, {240, 280}})
      .Advance(0.5)
      .Do([&](tb::WindowRef) { afterFirst = CopyOf(*dlg.editRecord()); })
      .Drag({{240, 280}, {280, 300}})
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        // Back to the grid of before the second drag, not of before the
        // first; the view edits on from the same grid.
        check(SameInUse(*dlg.editRecord(), *afterFirst));
        check(SameInUse(*ViewGrid(dlg), *afterFirst));
      })
      .Drag({{200, 250}, {230, 230}})
      .Do([&](tb::WindowRef) { dragged = ViewGrid(dlg); })
      .Key('b', cmdKey)  // deselect every node
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        // The drag is kept under the deselection.
        check(!SameInUse(*dragged, *afterFirst));
        auto expected = CopyOf(*dragged);
        SelDeselInOut_GridPar(expected.get(), 0, 0, 1, 0);
        check(SameInUse(*dlg.editRecord(), *expected));
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { check(SameInUse(*dlg.editRecord(), *afterFirst)); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(checks, std::vector<bool>(checks.size(), true));
  EXPECT_EQ(checks.size(), 5u);
  EXPECT_TRUE(driver_.errors().empty());
}

// Ctrl+Z after a preset picked and before the tick takes the smoothing
// back too: the fields show the preset's until the tick redraws them.
TEST_F(GridDialogTest, UndoBeforeTheTickAfterAPresetTakesItsSmoothingBackToo) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  VMKgridUI dlg;
  std::unique_ptr<GridPar> before;
  driver_.Advance(0.1)
      .Type(kGrid, kSmoothEdit, "33")
      .Advance(1.1)
      .Do([&](tb::WindowRef) { before = CopyOf(*dlg.editRecord()); })
      .Choose(kGrid, 61, 3)
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(SameInUse(*dlg.editRecord(), *before));
        EXPECT_EQ(Text(w, kSmoothEdit), "33");
      })
      .Advance(1.1)
      .Do([&](tb::WindowRef) { EXPECT_TRUE(SameInUse(*dlg.editRecord(), *before)); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Undo after a preset picked with the keys brings back the grid of before
// the pick, not the first preset the list highlighted as it opened; a list
// opened and left with Escape changes nothing, even with a drag still
// waiting for its tick.
TEST_F(GridDialogTest, ThePresetPopupAsADesktopRunsItKeepsTheGridsAndTheUndo) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  std::unique_ptr<GridPar> before, dragged;
  std::vector<bool> checks;
  auto check = [&](bool v) { checks.push_back(v); };
  {
    VMKgridUI dlg;
    driver_.Advance(0.1)
        .Press(kGrid, 53)  // grid 1 off: an edit with its own undo
        .Advance(0.5)
        .Do([&](tb::WindowRef) { before = CopyOf(*dlg.editRecord()); })
        .Do([&](tb::WindowRef w) {
          vmktest::PopupKeys(tb::FindControl(w, kGrid, 61), {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        })
        .Advance(0.5)
        .Do([&](tb::WindowRef) {
          // Pinch, the third: its middle out node moved right.
          const GridInfo& g = dlg.editRecord()->grids[0];
          check(dlg.presetIndex == 2 && g.node[kGaOut + kGaX][2 * 5 + 1] - g.node[kGaX][2 * 5 + 1] == 7500);
        })
        .Key('z', cmdKey)
        .Advance(0.5)
        .Do([&](tb::WindowRef) { check(SameInUse(*dlg.editRecord(), *before)); });
    Cancel();
    dlg.Do_GridDlg(1);
  }
  {
    VMKgridUI dlg;
    driver_.Advance(0.1)
        .Press(kGrid, 53)
        .Advance(0.5)
        .Do([&](tb::WindowRef) { before = CopyOf(*dlg.editRecord()); })
        .Do([&](tb::WindowRef w) {
          vmktest::PopupKeys(tb::FindControl(w, kGrid, 61), {Qt::Key_Down, Qt::Key_Escape});
        })
        .Advance(0.5)
        .Do([&](tb::WindowRef) { check(SameInUse(*dlg.editRecord(), *before)); })
        .Press(kGrid, 30)
        .Advance(0.5)
        .Drag({{200, 250}, {240, 280}})
        .Do([&](tb::WindowRef w) {
          dragged = ViewGrid(dlg);
          vmktest::PopupKeys(tb::FindControl(w, kGrid, 61), {Qt::Key_Escape});
        })
        .Advance(0.5)
        .Do([&](tb::WindowRef) {
          check(SameInUse(*dlg.editRecord(), *dragged));
          check(SameInUse(*ViewGrid(dlg), *dragged));
        });
    Cancel();
    dlg.Do_GridDlg(1);
  }
  EXPECT_EQ(checks, std::vector<bool>(checks.size(), true));
  EXPECT_EQ(checks.size(), 5u);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- grids ----

TEST_F(GridDialogTest, GridLayersAddUpToFifteenAndDeletingMakesTheFirstCurrent) {
  VMKgridUI dlg;
  std::vector<std::string> items;
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    EXPECT_FALSE(Visible(w, kDelete));
    EXPECT_TRUE(Visible(w, kAdd));
  });
  for (int k = 0; k < 14; ++k) driver_.Press(kGrid, kAdd);
  driver_.Advance(0.5).Do([&](tb::WindowRef w) {
    EXPECT_EQ(dlg.Head(kGpCount), 15);
    EXPECT_FALSE(Visible(w, kAdd));
    EXPECT_TRUE(Visible(w, kDelete));
    tb::ControlRef popup = tb::FindControl(w, kGrid, kGridPopup);
    for (int32_t i = 1; i <= tb::CountMenuItems(popup); ++i) items.push_back(tb::GetMenuItemText(popup, i));
  });
  driver_.Choose(kGrid, kGridPopup, 4).Do([&](tb::WindowRef w) {
    EXPECT_EQ(dlg.Head(kGpCurrent), 3);
    EXPECT_EQ(Value(w, kGridPopup), 4);
  });
  driver_.Press(kGrid, kDelete).Advance(0.5).Do([&](tb::WindowRef w) {
    EXPECT_EQ(dlg.Head(kGpCount), 14);
    EXPECT_EQ(dlg.Head(kGpCurrent), 0);
    EXPECT_EQ(Value(w, kGridPopup), 1);
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kGrid, kGridPopup)), 14);
    EXPECT_TRUE(Visible(w, kAdd));
  });
  Cancel();
  dlg.Do_GridDlg(0);
  ASSERT_EQ(items.size(), 15u);
  EXPECT_EQ(items.front(), "Grid layer 1");
  EXPECT_EQ(items.back(), "Grid layer 15");
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- tools ----

TEST_F(GridDialogTest, ToolButtonsSetTheToolAndTheBellAndCreateToolsAskTheirValues) {
  VMKgridUI dlg;
  std::vector<int32_t> tools;
  driver_.Advance(0.1);
  for (int32_t k : {1, 2, 3, 6, 7, 8, 9, 0}) {
    driver_.Press(kGrid, k == 0 ? 23 : 29 + k).Do([&, k](tb::WindowRef w) {
      tools.push_back(dlg.Head(kGpTool));
      for (int32_t j = 0; j <= 9; ++j) EXPECT_EQ(Value(w, j == 0 ? 23 : 29 + j), j == k ? 1 : 0) << j;
    });
  }
  auto cursorAt = [&](int16_t expected) {
    driver_.MoveMouse(260, 260).Do([&, expected](tb::WindowRef) {
      const plat::ui::CursorChoice c = driver_.ui().cursors.back();
      EXPECT_EQ(c.kind, plat::ui::CursorChoice::Resource);
      EXPECT_EQ(c.id, expected);
    });
  };
  // The bell tool: Option gives the linear falloff.
  Hold(optionKey);
  driver_.Press(kGrid, kBellTool);
  Hold(0);
  driver_.Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(VMKgridUI::kBell), 0); });
  cursorAt(16026);
  driver_.Press(kGrid, kBellTool).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(VMKgridUI::kBell), 1); });
  cursorAt(16025);
  // Control asks; a cancel keeps the value the keys gave, OK takes the choice.
  Hold(controlKey);
  driver_.Press(kGrid, kBellTool).Choose(kBell, 2, 1).Press(kBell, 102);
  Hold(0);
  driver_.Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(VMKgridUI::kBell), 1); });
  Hold(controlKey);
  driver_.Press(kGrid, kBellTool).Choose(kBell, 2, 1).Press(kBell, 101);
  Hold(0);
  driver_.Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.Head(VMKgridUI::kBell), 0);
    EXPECT_EQ(dlg.Head(kGpTool), 4);
  });
  // The create tool: cancelled, the tool is select; typed counts in mode 3.
  driver_.Press(kGrid, kCreateTool).Press(kCreate, 2).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(kGpTool), 0); });
  driver_.Press(kGrid, kCreateTool)
      .Choose(kCreate, 3, 3)
      .Type(kCreate, 8, "4")
      .Type(kCreate, 9, "5")
      .Press(kCreate, 1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Head(kGpTool), 5);
        const int16_t* v = dlg.mainView()->newRowCol();
        EXPECT_EQ(std::vector<int16_t>(v, v + 4), (std::vector<int16_t>{-1, 3, 5, 4}));
        EXPECT_EQ(dlg.smoothFlag, 1);
      })
      .Type(kGrid, kSmoothEdit, "30")
      .Advance(1.1);
  // Counts of 1 and 1 turn the smoothing and the smooth display off; other
  // modes draw with the current grid's counts.
  driver_.Press(kGrid, kCreateTool).Choose(kCreate, 3, 2).Press(kCreate, 1).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.smoothFlag, 0);
    EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 0);
    const int16_t* v = dlg.mainView()->newRowCol();
    EXPECT_EQ(std::vector<int16_t>(v, v + 4), (std::vector<int16_t>{-1, 2, 3, 3}));
  });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(tools, (std::vector<int32_t>{1, 2, 3, 6, 7, 8, 9, 0}));
  EXPECT_TRUE(driver_.errors().empty());
}

// The record's and the dialog's switches, and what the views are told.
TEST_F(GridDialogTest, SwitchesSetTheirWordsAndTellTheViews) {
  VMKgridUI dlg;
  std::vector<int32_t> seen;
  auto head = [&](int32_t word) { return [&, word](tb::WindowRef) { seen.push_back(dlg.Head(word)); }; };
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    EXPECT_EQ(dlg.mainView()->param().gridMode, 3);  // show in + show out
    EXPECT_EQ(dlg.mainView()->param().gridOverlay, 1);
    EXPECT_EQ(dlg.navigator()->state().panTag, 0);
    EXPECT_FALSE(Visible(w, 29));  // the mask switch is never offered (kept)
    EXPECT_EQ(Value(w, 47), 1);    // the out set is edited at first
  });
  // Changing the edited set deselects every node first (both sets, linked).
  driver_.Key('a', cmdKey).Advance(0.5).Press(kGrid, 39).Do(head(VMKgridUI::kEditedSet)).Do([&](tb::WindowRef w) {
    EXPECT_TRUE(AllSelected(dlg.editRecord()->grids[0], 1, 0));
    EXPECT_TRUE(AllSelected(dlg.editRecord()->grids[0], 0, 0));
    EXPECT_EQ(Value(w, 39), 1);
    EXPECT_EQ(Value(w, 47), 0);
  });
  driver_.Key('a', cmdKey).Advance(0.5).Press(kGrid, 47).Do(head(VMKgridUI::kEditedSet)).Do([&](tb::WindowRef) {
    EXPECT_TRUE(AllSelected(dlg.editRecord()->grids[0], 0, 0));
  });
  // Pressed again on the set already edited, nothing is deselected.
  driver_.Key('a', cmdKey).Advance(0.5).Press(kGrid, 47).Do([&](tb::WindowRef) {
    EXPECT_TRUE(AllSelected(dlg.editRecord()->grids[0], 0, 1));
  });
  driver_.Press(kGrid, 49).Do(head(VMKgridUI::kShowIn)).Press(kGrid, 50).Do(head(VMKgridUI::kShowOut));
  driver_.Do([&](tb::WindowRef) { EXPECT_EQ(dlg.mainView()->param().gridMode, 0); });
  driver_.Press(kGrid, 49).Press(kGrid, 50).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.mainView()->param().gridMode, 3); });
  driver_.Press(kGrid, 48).Do(head(VMKgridUI::kLink)).Press(kGrid, 48).Do(head(VMKgridUI::kLink));
  driver_.Press(kGrid, 29).Do(head(kGpSelection));
  driver_.Press(kGrid, 42).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.smoothFlag, 0);
    EXPECT_EQ(dlg.mainView()->param().gridOverlay, 0);
  });
  // In to out and back: one set takes the other's nodes.
  driver_.Do([&](tb::WindowRef) { dlg.editRecord()->grids[0].node[kGaX][5] = 12345; })
      .Press(kGrid, 111)
      .Do([&](tb::WindowRef) { seen.push_back(dlg.editRecord()->grids[0].node[kGaOut + kGaX][5]); })
      .Do([&](tb::WindowRef) { dlg.editRecord()->grids[0].node[kGaOut + kGaX][5] = 23456; })
      .Press(kGrid, 112)
      .Do([&](tb::WindowRef) { seen.push_back(dlg.editRecord()->grids[0].node[kGaX][5]); });
  // The preview switch renders without the warp at the next tick.
  driver_.Press(kGrid, 40).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.previewFlag, 0);
    EXPECT_EQ(GridRenders().back().apply, 0);
  });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 1, 0, 0, 1, 0, 1, 12345, 23456}));
  EXPECT_TRUE(driver_.errors().empty());
}

// Each tool's cursor over the main view; the arrow outside it and for the
// tools that act as select while Option is down.
// The show and link buttons follow the record whenever the window is drawn (a reset, a load
// or an undo changes the words without a press), and nothing else takes their values.
TEST_F(GridDialogTest, TheShowAndLinkButtonsFollowTheRecord) {
  auto owner = Defaults();
  owner->head.w[VMKgridUI::kShowIn] = 1;
  owner->head.w[VMKgridUI::kShowOut] = 2;
  owner->head.w[VMKgridUI::kLink] = 1;
  VMKgridUI dlg;
  dlg.SetGridPar(owner.get());
  int32_t slider = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Value(w, 49), 1);
        EXPECT_EQ(Value(w, 50), 1);
        EXPECT_EQ(Value(w, 48), 1);
        slider = Value(w, 13);
        dlg.editRecord()->head.w[VMKgridUI::kShowIn] = 0;
        dlg.editRecord()->head.w[VMKgridUI::kShowOut] = 0;
        dlg.editRecord()->head.w[VMKgridUI::kLink] = 0;
        dlg.DrawWindowContent(w);
        EXPECT_EQ(Value(w, 49), 0);
        EXPECT_EQ(Value(w, 50), 0);
        EXPECT_EQ(Value(w, 48), 0);
        EXPECT_EQ(Value(w, 13), slider);
      });
  Cancel();
  EXPECT_EQ(dlg.Do_GridDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridDialogTest, TheCursorFollowsTheTool) {
  VMKgridUI dlg;
  std::vector<std::pair<int, int32_t>> seen;
  auto look = [&](tb::WindowRef) {
    const plat::ui::CursorChoice c = driver_.ui().cursors.back();
    seen.push_back({c.kind == plat::ui::CursorChoice::Resource ? 1 : 0, c.id});
  };
  driver_.Advance(0.1);
  for (int32_t tool : {0, 1, 2, 3, 6, 7, 8, 9}) driver_.Press(kGrid, tool == 0 ? 23 : 29 + tool).MoveMouse(260, 260).Do(look);
  Hold(optionKey);
  for (int32_t tool : {1, 2, 3}) driver_.Press(kGrid, 29 + tool).MoveMouse(260, 260).Do(look);
  Hold(0);
  driver_.MoveMouse(700, 600).Do(look);
  Cancel();
  dlg.Do_GridDlg(0);
  const int32_t arrow = plat::ui::kArrowCursor;
  EXPECT_EQ(seen, (std::vector<std::pair<int, int32_t>>{{0, arrow},
                                                        {0, plat::ui::kCrossCursor},
                                                        {1, 16029},
                                                        {1, 16024},
                                                        {1, 16031},
                                                        {1, 16032},
                                                        {1, 16031},
                                                        {1, 16032},
                                                        {0, arrow},
                                                        {0, arrow},
                                                        {0, arrow},
                                                        {0, arrow}}));
  EXPECT_TRUE(driver_.errors().empty());
}

// While the create tool is on, a click is taken back without a render
// (kept): the grid appears after the fourth.
TEST_F(GridDialogTest, CreateToolClicksAreTakenBackWithoutARender) {
  VMKgridUI dlg;
  size_t before = 0;
  driver_.Advance(0.1)
      .Press(kGrid, kCreateTool)
      .Choose(kCreate, 3, 3)
      .Type(kCreate, 8, "2")
      .Type(kCreate, 9, "2")
      .Press(kCreate, 1)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { before = MainRenders(); });
  for (Point p : {Point{120, 100}, Point{120, 400}, Point{400, 400}})
    driver_.Drag({p, p}).Advance(0.5).Do([&](tb::WindowRef) {
      EXPECT_EQ(MainRenders(), before);
      EXPECT_EQ(dlg.Head(kGpTool), 5);
    });
  driver_.Drag({{400, 100}, {400, 100}}).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_EQ(MainRenders(), before + 1);
    EXPECT_EQ(dlg.Head(kGpTool), 0);
    EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiColumns], 2);
  });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Grid files: saved where the user says and listed at once; loaded back.
TEST_F(GridDialogTest, SaveListsTheFileAndLoadReadsItBack) {
  VMKgridUI dlg;
  const std::string file = bundle_.makersFile("Ten.hxgr");
  driver_.ui().AnswerSaveFile(file);
  driver_.ui().AnswerOpenFile(file);
  driver_.Advance(0.1)
      .Type(kGrid, kSmoothEdit, "10")
      .Advance(1.1)
      .Press(kGrid, 105)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kGrid, 61)), 1);
        EXPECT_TRUE(Visible(w, 61));
      })
      .Type(kGrid, kSmoothEdit, "77")
      .Advance(1.1)
      .Press(kGrid, 104)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 10); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_TRUE(driver_.errors().empty());
}

// The next tick reads the fields back into the record: after a load or a
// reset they must already show the new grids, or the old smoothing comes
// back over the one just loaded (a live run found the loaded value lost).
TEST_F(GridDialogTest, ALoadedOrResetSmoothingOutlastsTheNextTick) {
  VMKgridUI dlg;
  const std::string file = bundle_.makersFile("Twelve.hxgr");
  driver_.ui().AnswerSaveFile(file);
  driver_.ui().AnswerOpenFile(file);
  int32_t afterReset = 0;
  driver_.Advance(0.1)
      .Type(kGrid, kSmoothEdit, "12")
      .Advance(1.1)
      .Press(kGrid, 105)
      .Type(kGrid, kSmoothEdit, "90")
      .Advance(1.1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 90); })
      .Press(kGrid, 104)
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 12);
        EXPECT_EQ(Text(w, kSmoothEdit), "12");
      })
      .Type(kGrid, kSmoothEdit, "77")
      .Advance(1.1)
      .Press(kGrid, kResetButton)
      .Press(kReset, 1)
      .Do([&](tb::WindowRef) { afterReset = dlg.editRecord()->grids[0].w[kGiCurvature]; })
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_NE(afterReset, 77);
        EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], afterReset);
        EXPECT_EQ(Text(w, kSmoothEdit), std::to_string(afterReset));
      });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Typed counts beyond the 16-bit range reach the view held at its end, not
// wrapped; the create routine holds them to its arrays.
TEST_F(GridDialogTest, CreateCountsBeyondSixteenBitsSaturate) {
  VMKgridUI dlg;
  driver_.Advance(0.1)
      .Press(kGrid, kCreateTool)
      .Choose(kCreate, 3, 3)
      .Type(kCreate, 8, "70000")
      .Type(kCreate, 9, "-99999")
      .Press(kCreate, 1)
      .Do([&](tb::WindowRef) {
        const int16_t* v = dlg.mainView()->newRowCol();
        EXPECT_EQ(std::vector<int16_t>(v, v + 4), (std::vector<int16_t>{-1, 3, -32768, 32767}));
      });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- the preview ----

TEST_F(GridDialogTest, TheUpdateModeDecidesWhetherAnEditRendersAndOneUpdateRendersOnce) {
  VMKgridUI dlg;
  size_t before = 0;
  size_t afterDrag = 0;
  size_t afterOnce = 0;
  size_t afterSecondDrag = 0;
  driver_.Advance(0.1)
      .Key('a', cmdKey)
      .Press(kGrid, 30)
      .Press(kGrid, 41)  // update off
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        before = MainRenders();
        EXPECT_TRUE(Visible(w, 58));
      })
      .Drag({{200, 250}, {230, 270}})
      .Advance(0.5)
      .Do([&](tb::WindowRef) { afterDrag = MainRenders(); })
      .Press(kGrid, 58)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { afterOnce = MainRenders(); })
      .Drag({{230, 270}, {250, 290}})
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        afterSecondDrag = MainRenders();
        EXPECT_EQ(dlg.updateMode, 0);
      })
      .Press(kGrid, 41)  // update on: every edit renders again
      .Advance(0.5)
      .Drag({{250, 290}, {240, 280}})
      .Advance(0.5);
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(afterDrag, before);
  EXPECT_EQ(afterOnce, before + 1);
  EXPECT_EQ(afterSecondDrag, afterOnce);
  EXPECT_EQ(MainRenders(), afterOnce + 2);  // the switch's tick and the drag
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridDialogTest, TicksEveryHalfSecondAndTypingPushesTheTickASecondAway) {
  VMKgridUI dlg;
  std::vector<double> at;
  driver_.Advance(0.1).Do([&](tb::WindowRef) { at.push_back(plat::ui::Now()); });
  driver_.Type(kGrid, kSmoothEdit, "12").Advance(0.6).Do([&](tb::WindowRef) {
    at.push_back(plat::ui::Now());
    EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 0);  // not yet
  });
  driver_.Advance(0.5).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 12); });
  // Neither the smoothing slider nor fit and 1:1 push the tick on.
  driver_.Slide(kGrid, 55, 40).Press(kGrid, kOneToOne).Press(kGrid, kFit).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 40);
  });
  size_t rendered = 0;
  driver_.Do([&](tb::WindowRef) { rendered = MainRenders(); }).Advance(0.5).Do([&](tb::WindowRef) {
    EXPECT_EQ(MainRenders(), rendered);
  });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A new scale only pans the main view; the tick that follows the navigator
// renders it. The navigator shows its pan frame only while zoomed.
TEST_F(GridDialogTest, ZoomPansTheMainViewAndTheNextTickRendersIt) {
  VMKgridUI dlg;
  size_t rendered = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        rendered = MainRenders();
        EXPECT_EQ(dlg.navigator()->param().panFrameSet, 0);
      })
      .Press(kGrid, kOneToOne)
      .Press(kGrid, 25)  // zoom in
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(MainRenders(), rendered);
        EXPECT_EQ(dlg.navigator()->param().panFrameSet, 1);
        EXPECT_EQ(dlg.mainView()->state().panRight - dlg.mainView()->state().panLeft, dlg.pan[2] - dlg.pan[0]);
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_GT(MainRenders(), rendered);
        EXPECT_EQ(GridRenders().back().apply, 1);
      })
      .Press(kGrid, kFit)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.navigator()->param().panFrameSet, 0); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The overlay's percent is held to 0..100 before it becomes 0..255; the
// smoothing is taken as typed (kept).
TEST_F(GridDialogTest, OpacityIsClampedAndSmoothingIsTakenAsTyped) {
  VMKgridUI dlg;
  driver_.Advance(0.1)
      .Type(kGrid, kOpacityEdit, "999")
      .Type(kGrid, kSmoothEdit, "999")
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.overlayOpacity, 255);
        EXPECT_EQ(dlg.editRecord()->grids[0].w[kGiCurvature], 999);
      })
      .Type(kGrid, kOpacityEdit, "-5")
      .Advance(1.1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.overlayOpacity, 0); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- readout and selection ----

TEST_F(GridDialogTest, TheReadoutNamesTheCellUnderThePointerAndTheSelectionIsReadAtScaleOne) {
  UsePhoto();
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewGrid, 0, RecordGrid);
  // A selection in the photo's alpha, read through the plane readers.
  for (uint32_t y = 0; y < 900; ++y)
    for (uint32_t x = 0; x < 1200; ++x) photo_.rowPtr(y)[4 * x + 3] = static_cast<uint8_t>((x * 3 + y * 5) & 0xFF);
  record_.maskFromSource = 1;
  // The grid covers the picture's left half.
  auto owner = Defaults();
  for (int32_t set : {0, int32_t{kGaOut}})
    for (int32_t k = 0; k < 16; ++k) owner->grids[0].node[set + kGaX][k] /= 2;
  VMKgridUI dlg;
  dlg.SetGridPar(owner.get());
  std::string inside[2], outside[2];
  int16_t x = 0;
  driver_.Advance(0.1)
      .MoveMouse(110, 260)
      .Do([&](tb::WindowRef w) {
        inside[0] = Text(w, 59);
        inside[1] = Text(w, 60);
        x = dlg.readout[3];
      })
      .MoveMouse(460, 260)
      .Do([&](tb::WindowRef w) {
        outside[0] = Text(w, 59);
        outside[1] = Text(w, 60);
      });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(inside[0], "X " + std::to_string(x) + " / 1");
  EXPECT_EQ(inside[1].rfind(" / 1"), inside[1].size() - 4) << inside[1];
  EXPECT_EQ(outside[0].find('/'), std::string::npos) << outside[0];
  EXPECT_EQ(outside[0].rfind("X ", 0), 0u);
  EXPECT_EQ(outside[1].rfind("Y ", 0), 0u);
  ASSERT_NE(dlg.selPlane, nullptr);
  ASSERT_EQ(dlg.selWidth, 1200);
  ASSERT_EQ(dlg.selHeight, 900);
  // Rows bottom first, one byte a pixel.
  for (uint32_t y : {0u, 1u, 450u, 899u})
    for (uint32_t x2 : {0u, 7u, 1199u})
      EXPECT_EQ(dlg.selPlane[(899 - y) * 1200 + x2], (x2 * 3 + y * 5) & 0xFF) << x2 << "," << y;
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- the small windows ----

TEST_F(GridDialogTest, SmallWindowsShowTheirValuesAndGiveThemBackOnlyOnOk) {
  VMKgridUI dlg;
  int32_t mode = 2, columns = 7, rows = 8;
  std::vector<bool> shown;
  auto fields = [&](tb::WindowRef w) {
    for (int32_t id : {6, 7, 8, 9}) shown.push_back(tb::IsControlVisible(tb::FindControl(w, kCreate, id)));
  };
  driver_.Do(fields)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCreate, 8)), "7");
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCreate, 9)), "8");
      })
      .Choose(kCreate, 3, 3)
      .Do(fields)
      .Type(kCreate, 8, "12")
      .Type(kCreate, 9, "x")  // not a number: 0
      .Choose(kCreate, 3, 1)
      .Do(fields)
      .Choose(kCreate, 3, 2)
      .Press(kCreate, 1);
  EXPECT_EQ(dlg.Do_CreateGridDlg(&mode, &columns, &rows), 1);
  EXPECT_EQ(shown, (std::vector<bool>{false, false, false, false, true, true, true, true, false, false, false,
                                      false}));
  EXPECT_EQ(mode, 2);
  EXPECT_EQ(columns, 12);
  EXPECT_EQ(rows, 0);
  driver_.Choose(kCreate, 3, 3).Type(kCreate, 8, "3").Press(kCreate, 2);
  EXPECT_EQ(dlg.Do_CreateGridDlg(&mode, &columns, &rows), 0);
  EXPECT_EQ(std::vector<int32_t>({mode, columns, rows}), std::vector<int32_t>({2, 12, 0}));
  int32_t scope = 1, style = 2;
  driver_.Do([&](tb::WindowRef w) {
           EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kReset, 3)), 1);
           EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kReset, 4)), 2);
         })
      .Choose(kReset, 3, 2)
      .Choose(kReset, 4, 3)
      .Press(kReset, 1);
  EXPECT_EQ(dlg.Do_ResetGridDlg(&scope, &style), 1);
  EXPECT_EQ(scope, 2);
  EXPECT_EQ(style, 3);
  driver_.Choose(kReset, 3, 1).Press(kReset, 2);
  EXPECT_EQ(dlg.Do_ResetGridDlg(&scope, &style), 0);
  EXPECT_EQ(scope, 2);
  int32_t choice = 2;
  driver_.Choose(kBell, 2, 1).Press(kBell, 101);
  EXPECT_EQ(dlg.Do_BellGridDlg(&choice), 1);
  EXPECT_EQ(choice, 1);
  // Without their windows they answer 0 and write nothing.
  tb::SetNibFolder(bundle_.file("nowhere"));
  EXPECT_EQ(dlg.Do_CreateGridDlg(&mode, &columns, &rows), 0);
  EXPECT_EQ(dlg.Do_ResetGridDlg(&scope, &style), 0);
  EXPECT_EQ(dlg.Do_BellGridDlg(&choice), 0);
  EXPECT_EQ(std::vector<int32_t>({mode, columns, rows, scope, style, choice}),
            std::vector<int32_t>({2, 12, 0, 2, 3, 1}));
  EXPECT_TRUE(driver_.errors().empty());
}

// Reset asks its scope and style; a cancel still rebuilds the grid popup
// (kept), and the whole record can be undone.
TEST_F(GridDialogTest, ResetRebuildsAllGridsOrTheCurrentOneWithTheChosenNodes) {
  VMKgridUI dlg;
  driver_.Advance(0.1).Press(kGrid, kAdd).Press(kGrid, kAdd).Advance(0.5);
  driver_.Press(kGrid, kResetButton).Choose(kReset, 3, 2).Press(kReset, 1).Do([&](tb::WindowRef) {
    EXPECT_EQ(dlg.Head(kGpCount), 3);
  });
  driver_.Press(kGrid, kResetButton).Press(kReset, 2).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(kGpCount), 3); });
  driver_.Press(kGrid, kResetButton).Press(kReset, 1).Do([&](tb::WindowRef w) {
    EXPECT_EQ(dlg.Head(kGpCount), 1);
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kGrid, kGridPopup)), 1);
  });
  driver_.Key('z', cmdKey).Advance(0.5).Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Head(kGpCount), 3); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(GridDialogTest, WithoutItsWindowTheDialogInstallsNothing) {
  {
    VMKgridUI dlg;
    EXPECT_EQ(gVMKgrid, &dlg);
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_GridDlg(0), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
    EXPECT_EQ(dlg.loopTimer, nullptr);
  }
  EXPECT_EQ(gVMKgrid, nullptr);
  EXPECT_EQ(GetGridWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  EXPECT_EQ(GetBellGridWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  GridLoopHandler(nullptr, nullptr);
}

// The default content library's grid presets are listed and read; a preset
// keeps the document's picture size.
TEST_F(GridDialogTest, TheContentLibraryOffersGridPresets) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  VMKgridUI dlg;
  std::vector<int32_t> seen;
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    ASSERT_EQ(tb::CountMenuItems(tb::FindControl(w, kGrid, 61)), 4);
    EXPECT_TRUE(Visible(w, 61));
  });
  for (int32_t item = 1; item <= 4; ++item)
    driver_.Choose(kGrid, 61, item).Do([&, item](tb::WindowRef) {
      const GridInfo& g = dlg.editRecord()->grids[0];
      seen.push_back(g.w[kGiColumns]);
      // The middle out node: moved by the bulge and the pinch, not by the
      // wave or the lean.
      seen.push_back(g.node[kGaOut + kGaX][2 * 5 + 1] - g.node[kGaX][2 * 5 + 1]);
      EXPECT_EQ(dlg.Head(kGpWidth), 1200);
      EXPECT_EQ(dlg.presetIndex, item - 1);
    });
  Cancel();
  dlg.Do_GridDlg(0);
  // Listed by name: bulge, lean, pinch, wave.
  EXPECT_EQ(seen, (std::vector<int32_t>{4, -7500, 4, 5000, 4, 7500, 4, 0}));
  EXPECT_TRUE(driver_.errors().empty());
}

// A confirmed run keeps its grids for the next in the maker's folder, beside
// the presets and of their type: the next run's popup lists the presets alone.
TEST_F(GridDialogTest, TheLastSettingsAreNoPresetOfTheNextRun) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  const auto items = [](tb::WindowRef w) {
    std::vector<std::string> out;
    tb::ControlRef popup = tb::FindControl(w, kGrid, 61);
    for (int32_t i = 1; i <= tb::CountMenuItems(popup); ++i) out.push_back(tb::GetMenuItemText(popup, i));
    return out;
  };
  std::vector<std::string> first, next;
  {
    VMKgridUI dlg;
    driver_.Advance(0.1).Do([&](tb::WindowRef w) { first = items(w); });
    Ok();
    ASSERT_EQ(dlg.Do_GridDlg(0), 1);
  }
  ASSERT_TRUE(std::filesystem::exists(TempFile()));
  VMKgridUI dlg;
  driver_.Advance(0.1).Do([&](tb::WindowRef w) { next = items(w); });
  Cancel();
  dlg.Do_GridDlg(0);
  EXPECT_EQ(first.size(), 4u);
  EXPECT_EQ(next, first);
  EXPECT_TRUE(driver_.errors().empty());
}

// The final render of a grid record: the engine row as the script runs it
// over the whole picture (planes bottom row first).
std::vector<uint8_t> FinalGridRender(const PixelBuffer& photo, GridPar* record) {
  const int32_t w = static_cast<int32_t>(photo.width());
  const int32_t h = static_cast<int32_t>(photo.height());
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> planes(4 * n, 255);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo.rowPtr(y)[4 * x + k];
  EngineRowCall row;
  row.effect = 102;
  row.record = record;
  row.n = 3;
  row.w = row.aw = w;
  row.h = row.ah = h;
  row.planes[0] = planes.data();
  row.planes[1] = planes.data() + n;
  row.planes[2] = planes.data() + 2 * n;
  row.mask = planes.data() + 3 * n;
  RegisterEffectFamilies();
  const EngineAdapter adapter = FindEngineRow(102);
  EXPECT_NE(adapter, nullptr);
  if (adapter != nullptr) adapter(row);
  return planes;
}

// At 1:1 the preview shows the window's part of the picture warped as the
// final render warps it, but not from the render's own pixels: the grid may
// pull from anywhere in the picture, so the preview warps the whole picture
// scaled to the view (2.4 picture pixels a sample here). On a smooth picture
// that costs a few levels; compared over the top-left part of the 1:1
// window.
TEST_F(GridDialogTest, PreviewAtOneToOneShowsTheWindowAsTheFinalRenderDoes) {
  struct Case {
    const char* name;
    int32_t cells, smoothing;
    int32_t worst;
    double mean;
  };
  const Case cases[] = {{"unwarped", 3, 0, 6, 0.8}, {"straight", 3, 0, 6, 0.8}, {"smooth", 4, 60, 6, 0.8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Start(1200, 900);
    UsePhoto();
    for (uint32_t y = 0; y < 900; ++y)
      for (uint32_t x = 0; x < 1200; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 255 / 1200);
        p[1] = static_cast<uint8_t>(y * 255 / 900);
        p[2] = static_cast<uint8_t>(128 + 100 * std::sin(static_cast<double>(x + y) / 60.0));
      }
    auto record = Defaults(c.cells, c.cells);
    GridInfo& g = record->grids[0];
    g.w[kGiCurvature] = c.smoothing;
    // A node near the window's corner moved right and down.
    if (std::string(c.name) != "unwarped") {
      g.node[kGaOut + kGaX][c.cells + 2] += 6000;
      g.node[kGaOut + kGaY][c.cells + 2] += 5000;
    }
    VMKgridUI dlg;
    dlg.SetGridPar(record.get());
    std::vector<uint8_t> shown;
    int32_t rows = 0;
    driver_.Advance(0.1)
        .Press(kGrid, kOneToOne)
        .Advance(0.5)
        .Do([&](tb::WindowRef) {
          const VMKimabox* box = dlg.mainView();
          // The picture's corner, the 500 x 500 view's size of it.
          EXPECT_EQ(box->state().panRight, 41667);
          EXPECT_EQ(box->state().panBottom, 55556);
          rows = box->displayedHeight();
          EXPECT_EQ(rows, 500);
          shown.assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 500);
        });
    Cancel();
    dlg.Do_GridDlg(0);
    ASSERT_EQ(shown.size(), 4u * 500 * 500);
    const std::vector<uint8_t> final = FinalGridRender(photo_, record.get());
    const size_t n = 1200u * 900u;
    int worst = 0;
    double sum = 0.0;
    for (int32_t y = 0; y < 250; ++y)
      for (int32_t x = 0; x < 250; ++x)
        for (int k = 0; k < 3; ++k) {
          const int p = shown[4 * (static_cast<size_t>(rows - 1 - y) * 500 + x) + k];
          const int f = final[k * n + static_cast<size_t>(899 - y) * 1200 + x];
          worst = std::max(worst, std::abs(p - f));
          sum += std::abs(p - f);
        }
    EXPECT_LE(worst, c.worst);
    EXPECT_LE(sum / (250.0 * 250.0 * 3.0), c.mean);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// A 4 x 4 grid with a moved node and the smooth display on, and the three
// small windows; kept under the build tree for a person to look at.
TEST_F(GridDialogTest, Screenshots) {
  UsePhoto();
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  auto shoot = [&](const char* name) {
    return [&, name](tb::WindowRef w) {
      EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")) << name;
    };
  };
  auto owner = Defaults(4, 4);
  GridInfo& g = owner->grids[0];
  const int32_t node = 2 * 5 + 2;
  g.node[kGaOut + kGaX][node] += 9000;
  g.node[kGaOut + kGaY][node] -= 7000;
  g.w[kGiCurvature] = 60;
  VMKgridUI dlg;
  dlg.SetGridPar(owner.get());
  driver_.Advance(0.6).Do(shoot("Gridmain"));
  driver_.Press(kGrid, kCreateTool).Choose(kCreate, 3, 3).Do(shoot("GridCreate")).Press(kCreate, 2);
  driver_.Press(kGrid, kResetButton).Do(shoot("GridReset")).Press(kReset, 2);
  Hold(controlKey);
  driver_.Press(kGrid, kBellTool).Do(shoot("GridBell")).Press(kBell, 102);
  Hold(0);
  Cancel();
  EXPECT_EQ(dlg.Do_GridDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
