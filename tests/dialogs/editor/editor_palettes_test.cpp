// The layer and path-tool palettes on their own: pending requests, the
// layer popup's text, showing and hiding, the shape dialogs' guard, and a
// palette that never got its window.
#include <gtest/gtest.h>

#include "dialogs/editor/main_editor_fixture.h"
#include "host/session/small_dialogs.h"
#include "paths/shape_params.h"

using vmktest::MainEditorTest;
namespace tb = plat::tb;

namespace {

using PaletteTest = MainEditorTest;

TEST_F(PaletteTest, LayerPaletteKeepsOnlyTheLaterOfTwoCommandsAndItsPopupLine) {
  MakeLayers(1);
  VMKtunelay palette;
  palette.Do_TuneLayDlg(117);
  ASSERT_NE(palette.window, nullptr);
  EXPECT_EQ(palette.shownFlag, 1);
  EXPECT_TRUE(tb::IsWindowVisible(palette.window));
  // One active layer: "x ", its number, a space and its name.
  ASSERT_EQ(tb::CountMenuItems(palette.layerPopup), 1);
  EXPECT_EQ(tb::GetMenuItemText(palette.layerPopup, 1), "x 1 L1");
  EXPECT_EQ(tb::GetControl32BitValue(palette.activeCheck), 1);
  Send(palette.window, "Lay1");
  Send(palette.window, "La10");
  EXPECT_EQ(palette.CheckSetRefresh(0), 13);
  EXPECT_EQ(palette.CheckSetRefresh(0), 0);
  EXPECT_EQ(palette.redrawFlag, 1);
  // An inactive layer shows two spaces; the popup's choice is kept for op 3.
  MakeLayers(3);
  stack()->SetLayAct(2, 0);
  palette.DrawWindowContent(palette.window);
  EXPECT_EQ(tb::GetMenuItemText(palette.layerPopup, 2), "  2 L2");
  tb::SetControl32BitValue(palette.layerPopup, 3);
  Send(palette.window, "Play");
  EXPECT_EQ(palette.layerPicked, 3);
  EXPECT_EQ(palette.CheckSetRefresh(0), 3);
  EXPECT_EQ(gVMKtunelay, &palette);
  palette.CloseTuneLayWindow();
}

TEST_F(PaletteTest, HidingTheLayerPaletteKeepsWhatItShowedUntilItsNextRedraw) {
  MakeLayers(2);
  VMKtunelay palette;
  palette.Do_TuneLayDlg(117);
  palette.ShowHideTuneLayWindow(2);
  EXPECT_EQ(palette.shownFlag, 0);
  EXPECT_FALSE(tb::IsWindowVisible(palette.window));
  MakeLayers(4);
  palette.ShowHideTuneLayWindow(2);
  EXPECT_EQ(palette.shownFlag, 1);
  EXPECT_EQ(tb::CountMenuItems(palette.layerPopup), 2);
  palette.SetRefreshFlag(1);
  driver_.Advance(0.6).RunSteps(palette.window);
  EXPECT_EQ(tb::CountMenuItems(palette.layerPopup), 4);
  EXPECT_EQ(palette.redrawFlag, 0);
  palette.ShowHideTuneLayWindow(7);
  EXPECT_EQ(palette.shownFlag, 1);
  palette.CloseTuneLayWindow();
  EXPECT_EQ(palette.window, nullptr);
}

// The close box hides a palette as its owner's button does; the palette
// lives on and the button's toggle shows it again. The path palette's hiding
// reaches the main window as every show or hide does: through its signal.
TEST_F(PaletteTest, TheCloseBoxHidesAPaletteAndItsButtonShowsItAgain) {
  MakeLayers(2);
  VMKtunelay layers;
  layers.Do_TuneLayDlg(117);
  ASSERT_NE(layers.window, nullptr);
  driver_.CloseBox().RunSteps(layers.window);
  EXPECT_EQ(layers.shownFlag, 0);
  EXPECT_FALSE(tb::IsWindowVisible(layers.window));
  ASSERT_NE(layers.window, nullptr);
  layers.ShowHideTuneLayWindow(2);
  EXPECT_EQ(layers.shownFlag, 1);
  EXPECT_TRUE(tb::IsWindowVisible(layers.window));
  EXPECT_EQ(tb::CountMenuItems(layers.layerPopup), 2);

  VMKtoolpath paths;
  paths.Do_ToolPathDlg(117);
  ASSERT_NE(paths.window, nullptr);
  driver_.Advance(0.25).RunSteps(paths.window);
  ASSERT_EQ(paths.CheckSetRefresh(0), 1);
  driver_.CloseBox().Advance(0.25).RunSteps(paths.window);
  EXPECT_EQ(paths.shownFlag, 0);
  EXPECT_FALSE(tb::IsWindowVisible(paths.window));
  EXPECT_EQ(paths.CheckSetRefresh(0), 1);
  paths.ShowHideToolPathWindow(2);
  EXPECT_EQ(paths.shownFlag, 1);
  EXPECT_TRUE(tb::IsWindowVisible(paths.window));
  EXPECT_TRUE(driver_.errors().empty());
  paths.CloseToolPathWindow();
  layers.CloseTuneLayWindow();
}

TEST_F(PaletteTest, PalettesThatNeverOpenedCloseAndGoQuietly) {
  auto* layers = new VMKtunelay();
  auto* paths = new VMKtoolpath();
  layers->CloseTuneLayWindow();
  paths->CloseToolPathWindow();
  delete layers;
  delete paths;
  EXPECT_EQ(gVMKtunelay, nullptr);
  EXPECT_EQ(gVMKtoolpath, nullptr);
}

TEST_F(PaletteTest, OptionAddKnotsIsToolThirtyFiveUnderTheAddKnotsIndicator) {
  VMKtoolpath palette;
  palette.Do_ToolPathDlg(117);
  ASSERT_NE(palette.window, nullptr);
  driver_.ui().SetModifiers(optionKey);
  Send(palette.window, "Bpa6");
  driver_.ui().SetModifiers(0);
  EXPECT_EQ(palette.tool, 35);
  driver_.Advance(0.25).RunSteps(palette.window);
  EXPECT_EQ(palette.CheckSetRefresh(0), 1);
  EXPECT_EQ(tb::GetControl32BitValue(palette.Ctl(8)), 1);
  EXPECT_EQ(tb::GetControl32BitValue(palette.Ctl(3)), 0);
  Send(palette.window, "Bpa6");
  EXPECT_EQ(palette.tool, 23);
  Send(palette.window, "Pop2");
  Send(palette.window, "Bund");
  driver_.Advance(0.25).RunSteps(palette.window);
  EXPECT_EQ(tb::GetControl32BitValue(palette.Ctl(8)), 1);
  EXPECT_EQ(tb::GetControl32BitValue(palette.Ctl(1)), 3);
  EXPECT_EQ(palette.pendingOp, VMKtoolpath::kUndoPaths);
  palette.CloseToolPathWindow();
}

TEST_F(PaletteTest, AShapeCommandWhileItsDialogIsOpenOnlySetsTheTool) {
  VMKtoolpath palette;
  palette.Do_ToolPathDlg(117);
  VMKlibr* open = new VMKlibr();
  palette.openShapeDialog = open;
  const int depth = tb::ModalDepth();
  Send(palette.window, "Bp15");
  EXPECT_EQ(palette.tool, 39);
  EXPECT_EQ(palette.openShapeDialog, open);
  EXPECT_EQ(tb::ModalDepth(), depth);
  palette.openShapeDialog = nullptr;
  delete open;
  TObjPar shapes;
  Init_TObjPar(&shapes);
  if (per_.objPar == nullptr) per_.objPar = &shapes;
  // Without one open the rectangle dialog runs; cancelled, it leaves the tool set.
  driver_.Advance(0.1).Press(FourCC("Crec"), 2);
  Send(palette.window, "Bp13");
  EXPECT_EQ(palette.tool, 32);
  EXPECT_EQ(palette.openShapeDialog, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
  if (per_.objPar == &shapes) per_.objPar = nullptr;
  palette.CloseToolPathWindow();
}

}  // namespace
