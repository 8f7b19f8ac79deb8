// The main editing window: its layer operations and their edge cases, the
// path snapshots, layer files that cannot be read or written, and the
// window run through the test driver with its palettes beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/core/percent.h"
#include "app/core/session_state.h"
#include "engines/correction/resize_record.h"
#include "dialogs/editor/main_editor_fixture.h"
#include "dialogs/frame/preview_worker.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

using vmktest::kMain;
using vmktest::MainEditorTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 1, kCancel = 2;

using LayerOpsTest = MainEditorTest;

TEST_F(LayerOpsTest, DeletingTheOnlyLayerLeavesOneNewLayerAndEarlierMovesFromTheSecond) {
  MakeLayers(1);
  VMKpinmainUI editor;
  AddTriangles(stack()->GetLaye(1)->paths, 2);
  editor.ModifLayer(13);
  ASSERT_EQ(stack()->layerCount, 1);
  EXPECT_EQ(doc()->currentLayer, 1);
  EXPECT_EQ(doc()->layer, stack()->GetLaye(1));
  EXPECT_EQ(PathCount(doc()->layer->paths), 0);
  MakeLayers(3);
  // One place earlier: nothing on layer 1, to the top from layer 2.
  editor.ModifLayer(11);
  EXPECT_EQ(LayerName(1), "L1");
  doc()->currentLayer = 2;
  editor.ModifLayer(11);
  EXPECT_EQ(LayerName(1), "L2");
  EXPECT_EQ(LayerName(2), "L1");
  // The index stays, the record follows it.
  EXPECT_EQ(doc()->currentLayer, 2);
  EXPECT_EQ(doc()->layer, stack()->GetLaye(2));
  editor.ModifLayer(8);
  EXPECT_EQ(LayerName(3), "L1");
  EXPECT_EQ(doc()->layer, stack()->GetLaye(2));
  editor.ModifLayer(1);
  int16_t active = 1;
  stack()->GetLayAct(2, &active);
  EXPECT_EQ(active, 0);
  const auto before = StackBytes();
  editor.ModifLayer(0);
  editor.ModifLayer(18);
  EXPECT_EQ(StackBytes(), before);
}

TEST_F(LayerOpsTest, LoadingALayerReplacesTheCurrentOneInPlaceAndADamagedFileChangesNothing) {
  MakeLayers(3);
  VMKpinmainUI editor;
  AddTriangles(stack()->GetLaye(1)->paths, 3);
  const std::string saved = bundle_.makersFile("one.ala0");
  driver_.ui().AnswerSaveFile(saved);
  editor.ModifLayer(14);
  ASSERT_TRUE(vmktest::ReadBytes(saved).size() > 0);
  doc()->currentLayer = 2;
  doc()->layer = stack()->GetLaye(2);
  driver_.ui().AnswerOpenFile(saved);
  editor.ModifLayer(15);
  EXPECT_EQ(stack()->layerCount, 3);
  EXPECT_EQ(LayerName(2), "L1");
  EXPECT_EQ(LayerName(3), "L3");
  EXPECT_EQ(PathCount(stack()->GetLaye(2)->paths), 3);
  EXPECT_EQ(doc()->layer, stack()->GetLaye(2));
  // A truncated file: the stack stays byte for byte and the alert names it.
  const std::vector<uint8_t> whole = vmktest::ReadBytes(saved);
  const std::string damaged = bundle_.makersFile("cut.ala0");
  vmktest::WriteBytes(damaged, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
  const auto before = StackBytes();
  const size_t alerts = driver_.ui().alertRequests.size();
  driver_.ui().AnswerOpenFile(damaged);
  editor.ModifLayer(15);
  EXPECT_EQ(StackBytes(), before);
  ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 1);
  EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("\"cut\""), std::string::npos);
  // Load all from a damaged file: the stack stays, layer 1 becomes current.
  driver_.ui().AnswerOpenFile(damaged);
  editor.ModifLayer(17);
  EXPECT_EQ(StackBytes(), before);
  EXPECT_EQ(doc()->currentLayer, 1);
  EXPECT_EQ(driver_.ui().alertRequests.size(), alerts + 2);
}

TEST_F(LayerOpsTest, SavedLayersReadBackAndACancelledLoadAllStillSelectsLayerOne) {
  MakeLayers(3);
  VMKpinmainUI editor;
  AddTriangles(stack()->GetLaye(3)->paths, 2);
  const std::string all = bundle_.makersFile("all.vmkc");
  driver_.ui().AnswerSaveFile(all);
  editor.ModifLayer(16);
  const auto before = StackBytes();
  MakeLayers(5);
  doc()->currentLayer = 4;
  driver_.ui().AnswerOpenFile(all);
  editor.ModifLayer(17);
  EXPECT_EQ(StackBytes(), before);
  EXPECT_EQ(doc()->currentLayer, 1);
  doc()->currentLayer = 3;
  driver_.ui().AnswerOpenFile(std::nullopt);
  editor.ModifLayer(17);
  EXPECT_EQ(doc()->currentLayer, 1);
  EXPECT_EQ(doc()->layer, stack()->GetLaye(1));
  EXPECT_EQ(StackBytes(), before);
}

TEST_F(LayerOpsTest, ASaveThatCannotBeWrittenIsReportedAndLeavesTheOldFile) {
  MakeLayers(2);
  VMKpinmainUI editor;
  // Folders where the files would go: neither can be replaced by a file.
  const std::string layer = bundle_.makersFile("blocked.ala0");
  const std::string all = bundle_.makersFile("blocked.vmkc");
  std::filesystem::create_directories(layer + "/kept");
  std::filesystem::create_directories(all + "/kept");
  const size_t alerts = driver_.ui().alertRequests.size();
  driver_.ui().AnswerSaveFile(layer, true);
  editor.ModifLayer(14);
  driver_.ui().AnswerSaveFile(all, true);
  editor.ModifLayer(16);
  EXPECT_TRUE(std::filesystem::is_directory(layer + "/kept"));
  EXPECT_TRUE(std::filesystem::is_directory(all + "/kept"));
  ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 2);
  // Named as the chooser shows the file: without the suffix of its type.
  EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("blocked"), std::string::npos);
}

// Save Paths from the path palette into a folder that will not take the
// file: the alert names it and the old file stays byte for byte; a cancel
// says nothing.
TEST_F(LayerOpsTest, PathsThatCannotBeSavedAreNamedAndTheOldFileStays) {
  MakeLayers(1);
  VMKpinmainUI editor;
  AddTriangles(doc()->layer->paths, 2);
  auto save = [&](std::optional<std::string> answer, bool replacing) {
    driver_.ui().AnswerSaveFile(std::move(answer), replacing);
    editor.pathPalette = new VMKtoolpath();
    editor.pathPalette->pendingOp = VMKtoolpath::kSavePaths;
    editor.pathPalette->signal = 1;
    editor.RunLoopOnce();
    delete editor.pathPalette;
    editor.pathPalette = nullptr;
  };
  const std::string kept = bundle_.makersFile("kept.path");
  save(kept, false);
  const std::vector<uint8_t> old = vmktest::ReadBytes(kept);
  ASSERT_FALSE(old.empty());
  auto& alerts = driver_.ui().alertRequests;
  const size_t before = alerts.size();
  AddTriangles(doc()->layer->paths, 1, 300.0f);
  const std::string folder = std::filesystem::path(kept).parent_path().string();
  plat::files::FailWritesForTesting(folder, ENOSPC);
  save(kept, true);
  save(bundle_.makersFile("fresh"), false);
  save(std::nullopt, false);
  plat::files::FailWritesForTesting("", 0);
  ASSERT_EQ(alerts.size(), before + 2);
  EXPECT_EQ(alerts[before].alertId, 129);
  EXPECT_EQ(alerts[before].params[0], "The paths could not be saved as \"kept\".");
  EXPECT_EQ(alerts[before].params[1], "The file was left as it was.");
  EXPECT_EQ(alerts[before + 1].params[0], "The paths could not be saved as \"fresh\".");
  EXPECT_EQ(alerts[before + 1].params[1], "No file was made.");
  EXPECT_EQ(vmktest::ReadBytes(kept), old);
  EXPECT_FALSE(std::filesystem::exists(bundle_.makersFile("fresh.path")));
}

// The path palette's Save... into a folder whose name has accents writes
// the file there, whatever the name, and Load... reads it back; a folder
// that is not there (a letter of it lost in the typing) is said in an alert,
// never passed over in silence.
TEST_F(LayerOpsTest, PathsSaveIntoAFolderWithAccentsAndAMissingFolderIsSaid) {
  MakeLayers(1);
  VMKpinmainUI editor;
  AddTriangles(doc()->layer->paths, 2);
  auto palette = [&](int16_t op) {
    editor.pathPalette = new VMKtoolpath();
    editor.pathPalette->pendingOp = op;
    editor.pathPalette->signal = 1;
    editor.RunLoopOnce();
    delete editor.pathPalette;
    editor.pathPalette = nullptr;
  };
  auto save = [&](const std::string& answer) {
    driver_.ui().AnswerSaveFile(answer, false);
    palette(VMKtoolpath::kSavePaths);
  };
  const std::string folder = bundle_.makersFile("dossier \xc3\xa9t\xc3\xa9");
  std::filesystem::create_directories(folder);
  auto& alerts = driver_.ui().alertRequests;
  const size_t before = alerts.size();
  for (const std::string name : {"Chemin ovale \xc3\xbc", "plain"}) {
    save(folder + "/" + name);
    EXPECT_FALSE(vmktest::ReadBytes(folder + "/" + name + ".path").empty()) << name;
  }
  EXPECT_EQ(alerts.size(), before);
  palette(VMKtoolpath::kClearPaths);
  ASSERT_EQ(PathCount(doc()->layer->paths), 0);
  driver_.ui().AnswerOpenFile(folder + "/Chemin ovale \xc3\xbc.path");
  palette(VMKtoolpath::kLoadPaths);
  EXPECT_EQ(PathCount(doc()->layer->paths), 2);
  const std::string missing = bundle_.makersFile("dossier t\xc3\xa9");
  save(missing + "/plain");
  ASSERT_EQ(alerts.size(), before + 1);
  EXPECT_EQ(alerts[before].params.at(0), "The file could not be saved as \"plain\".");
  EXPECT_NE(alerts[before].params.at(1).find("does not exist"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(missing));
}

using PathRingTest = MainEditorTest;

TEST_F(PathRingTest, UndoTwiceThenRedoGivesBackTheEditedPaths) {
  MakeLayers(1);
  VMKpinmainUI editor;
  CPathList* paths = doc()->layer->paths;
  AddTriangles(paths, 1);
  auto empty = [](const BkPath& ring) {
    return std::all_of(std::begin(ring.age), std::end(ring.age), [](int32_t a) { return a == -1; });
  };
  // One edit: the state before it goes into the undo ring.
  editor.BackRestPath(1, &editor.redoRing, nullptr);
  editor.BackRestPath(2, &editor.undoRing, paths);
  AddTriangles(paths, 1, 300.0f);
  ASSERT_EQ(PathCount(paths), 2);
  auto undo = [&](uint32_t modifiers) {
    driver_.ui().SetModifiers(modifiers);
    editor.pathPalette = new VMKtoolpath();
    editor.pathPalette->pendingOp = VMKtoolpath::kUndoPaths;
    editor.pathPalette->signal = 1;
    editor.RunLoopOnce();
    driver_.ui().SetModifiers(0);
    delete editor.pathPalette;
    editor.pathPalette = nullptr;
  };
  undo(0);
  EXPECT_EQ(PathCount(paths), 1);
  // The undo ring is empty now: a second undo leaves paths and rings alone.
  EXPECT_TRUE(empty(editor.undoRing));
  undo(0);
  EXPECT_EQ(PathCount(paths), 1);
  EXPECT_TRUE(empty(editor.undoRing));
  undo(optionKey);
  EXPECT_EQ(PathCount(paths), 2);
  // Redo again finds its ring empty: nothing changes.
  EXPECT_TRUE(empty(editor.redoRing));
  undo(optionKey);
  EXPECT_EQ(PathCount(paths), 2);
  EXPECT_TRUE(empty(editor.redoRing));
}

TEST_F(PathRingTest, TheHundredAndFirstSnapshotReplacesTheOldest) {
  VMKpinmainUI editor;
  CPathList paths(0);
  for (int k = 0; k < BkPath::kEntries + 1; ++k) {
    AddTriangles(&paths, 1);
    editor.BackRestPath(2, &editor.undoRing, &paths);
  }
  // Entry 0 held one path, the oldest; it now holds the 101st snapshot.
  EXPECT_EQ(editor.undoRing.age[0], BkPath::kEntries);
  EXPECT_EQ(PathCount(editor.undoRing.list[0]), BkPath::kEntries + 1);
  EXPECT_EQ(PathCount(editor.undoRing.list[1]), 2);
  CPathList out(0);
  editor.BackRestPath(3, &editor.undoRing, &out);
  EXPECT_EQ(PathCount(&out), BkPath::kEntries + 1);
  editor.BackRestPath(1, &editor.undoRing, nullptr);
  editor.BackRestPath(3, &editor.undoRing, &out);
  EXPECT_EQ(PathCount(&out), BkPath::kEntries + 1);
  editor.BackRestPath(5, &editor.undoRing, &out);
}

using PinmainWindowTest = MainEditorTest;

TEST_F(PinmainWindowTest, OkRewritesTheScratchFileEvenUnchangedAndCancelLeavesIt) {
  MakeLayers(2);
  const std::string scratch = FicToPosix(per_.layerScratch);
  vmktest::WriteText(scratch, "earlier layers");
  {
    VMKpinmainUI editor;
    driver_.Advance(0.6).Do([&](tb::WindowRef) { vmktest::WriteText(scratch, "earlier layers"); })
        .Press(kMain, kCancel);
    EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  }
  EXPECT_EQ(vmktest::ReadText(scratch), "earlier layers");
  VMKpinmainUI editor;
  driver_.Advance(0.6).Press(kMain, kOk);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 1);
  ASSERT_NE(vmktest::ReadText(scratch), "earlier layers");
  ScriptFile back;
  back.I_ScriptFile(3, 1200, 900, 300.0f, 500, 500, 0, 0, 499, 374);
  File_kern file(&per_.layerScratch);
  int32_t value = 0;
  ASSERT_EQ(back.RecallCombiLay(&file, 2, &value, nullptr), 0);
  EXPECT_EQ(back.GetStack(0)->layerCount, 2);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PinmainWindowTest, ARectangleResizedInTheNavigatorIsTheZoomTheTextShows) {
  MakeLayers(1);
  VMKpinmainUI editor;
  std::string atOneToOne, afterResize;
  int32_t side = 0;
  driver_.Advance(0.6)
      .Press(kMain, 41)  // 1:1
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        atOneToOne = tb::GetControlText(tb::FindControl(w, kMain, 31));
        // The user drags the frame's corner in to half its side.
        side = editor.pan[2] - editor.pan[0];
        editor.navigator()->SetBufSSPan(0, 0, side / 2, side / 2, 100, 0, 0);
        editor.navigator()->CheckSetRefresh(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { afterResize = tb::GetControlText(tb::FindControl(w, kMain, 31)); })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  ASSERT_GT(side, 2);
  EXPECT_EQ(atOneToOne, "100%");
  EXPECT_EQ(afterResize, "200%");
  EXPECT_EQ(editor.curZoom, 20000);
  EXPECT_TRUE(driver_.errors().empty());
}

// 1:1 shows the picture at one picture pixel a view pixel, from the corner of
// the pan rectangle: the view's display (rows from the bottom) holds the
// picture's pixels under the layers, the readout names them, and the path
// tools take a press at that scale. A frame moved in the navigator moves the
// view with it, "+" enlarges it by the next step, and Fit shows the whole
// picture again. The layer brightens every sample by 40, so each pixel shown
// is the photo's plus 40.
TEST_F(PinmainWindowTest, OneToOneShowsThePicturePixelForPixelAndTheViewFollowsTheZoom) {
  MakeLayers(1);
  ScriptFile* s = script();
  s->SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
  s->SetAct(0, 1, 1, 1);
  s->SetFromChannel(0, 1, 1, 0);
  s->SetToChannel(0, 1, 1, 2);
  s->SetParam1(0, 1, 1, 40);
  s->SetMode(0, 1, 1, 0);
  s->SetOpa(0, 1, 1, 255);
  s->SetMChannel(0, 1, 1, 0);
  s->SetIntExt(0, 1, 1, 1);
  VMKpinmainUI editor;
  const auto expectShows = [&](const PinmainZoom& z, const char* where) {
    const VMKimabox* view = editor.mainView();
    const int32_t dw = view->displayedWidth(), dh = view->displayedHeight();
    ASSERT_EQ(dw, z.shownWidth) << where;
    ASSERT_EQ(dh, z.shownHeight) << where;
    int bad = 0;
    for (int32_t y = 0; y < dh; ++y)
      for (int32_t x = 0; x < dw; ++x) {
        const auto px = static_cast<uint32_t>(z.left + static_cast<int32_t>((x + 0.5) * z.step));
        const auto py = static_cast<uint32_t>(z.top + static_cast<int32_t>((y + 0.5) * z.step));
        const uint8_t* want = photo_.rowPtr(py) + 4 * px;
        const uint8_t* got = view->displayBuffer() + 4 * ((dh - 1 - y) * view->state().viewWidth + x);
        for (int k = 0; k < 3; ++k) bad += got[k] != std::min(want[k] + 40, 255);
      }
    EXPECT_EQ(bad, 0) << where;
  };
  PinmainZoom atOne, moved, enlarged, fitted;
  int16_t read[5] = {};
  float knotX = -1.0f, knotY = -1.0f;
  driver_.Advance(0.6)
      .Press(kMain, 41)  // 1:1
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        atOne = editor.ViewZoom();
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kMain, 31)), "100%");
        // The 1 200 x 900 picture in the 640 x 480 view: its top-left corner,
        // one pixel a view pixel, filling the view.
        EXPECT_TRUE(atOne.zoomed);
        EXPECT_EQ(atOne.step, 1.0);
        EXPECT_EQ(atOne.left, 0);
        EXPECT_EQ(atOne.top, 0);
        EXPECT_EQ(atOne.shownWidth, 640);
        EXPECT_EQ(atOne.shownHeight, 480);
        expectShows(atOne, "at 1:1");
        const VMKimabox* view = editor.mainView();
        editor.mainView()->GetRGBcolfromBuf(0, view->state().originX + 100, view->state().originY + 50, &read[0],
                                            &read[1], &read[2], &read[3], &read[4]);
        // The user drags the navigator's frame to another part of the picture.
        editor.navigator()->SetBufSSPan(25000, 10000, 25000 + editor.oneToOne[2], 10000 + editor.oneToOne[3], 100, 0,
                                        0);
        editor.navigator()->CheckSetRefresh(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        moved = editor.ViewZoom();
        EXPECT_EQ(moved.step, 1.0);
        EXPECT_EQ(moved.left, 300);
        EXPECT_EQ(moved.top, 90);
        expectShows(moved, "after the frame moved");
        // A path tool's press lands on the picture point under it.
        editor.mainView()->SetVecMode(22, 1, 1);
      })
      .Press(kMain, 22)
      .Advance(0.6)
      .Do([&](tb::WindowRef) { editor.mainView()->SetVecMode(22, 1, 1); })
      .Drag({Point{150, 200}, Point{150, 200}})
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        const CPathList* paths = doc()->layer->paths;
        if (paths != nullptr && paths->first != nullptr && paths->first->first != nullptr) {
          knotX = paths->first->first->x;
          knotY = paths->first->first->y;
        }
      })
      .Press(kMain, 17)  // +
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        enlarged = editor.ViewZoom();
        // The next step above 1:1, 143.75 %, about the same centre.
        EXPECT_NEAR(enlarged.step, 10000.0 / 14375.0, 0.005);
        EXPECT_NEAR(enlarged.left + enlarged.shownWidth * enlarged.step / 2, 620.0, 2.0);
        expectShows(enlarged, "after +");
      })
      .Press(kMain, 40)  // Fit
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        fitted = editor.ViewZoom();
        EXPECT_FALSE(fitted.zoomed);
        EXPECT_EQ(editor.mainView()->displayedWidth(), editor.previewWidth);
        EXPECT_EQ(editor.mainView()->displayedHeight(), editor.previewHeight);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
  // The readout at view point (100, 50) of the picture's corner names
  // picture pixel (100, 50) (the views' pan mapping reckons the window from
  // the picture's last pixel: within one).
  EXPECT_NEAR(read[3], 100, 1);
  EXPECT_NEAR(read[4], 50, 1);
  // Window point (200, 150) is view point (190, 140) of the moved 1:1 view.
  EXPECT_FLOAT_EQ(knotX, 300.0f + 190.0f);
  EXPECT_FLOAT_EQ(knotY, 90.0f + 140.0f);
}

TEST_F(PinmainWindowTest, APathlessFamilyOpensWithoutPathsAndHidesThePathsButton) {
  MakeLayers(1);
  AddTriangles(doc()->layer->paths, 2);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kMain, 22)));
        EXPECT_EQ(tb::GetWindowTitle(w), "Haldencrest 1.0 - www.vellmarkstead.org");
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(114), 0);
  EXPECT_EQ(PathCount(doc()->layer->paths), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PinmainWindowTest, AChannelTheRenderDidNotMakeShowsBlack) {
  MakeLayers(1);
  VMKpinmainUI editor;
  int16_t rgb[5] = {};
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) {
        const Rect view = tb::GetControlBounds(tb::FindControl(w, kMain, 9));
        (void)view;
        editor.mainView()->GetRGBcolfromBuf(0, editor.viewWidth / 2, editor.viewHeight / 2, &rgb[0], &rgb[1],
                                            &rgb[2], &rgb[3], &rgb[4]);
        EXPECT_GT(rgb[0] + rgb[1] + rgb[2], 0);
      })
      .Choose(kMain, 20, 6)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(editor.channelShown, 6);
        EXPECT_EQ(editor.effectPlanes[7], nullptr);
        editor.mainView()->GetRGBcolfromBuf(0, editor.viewWidth / 2, editor.viewHeight / 2, &rgb[0], &rgb[1],
                                            &rgb[2], &rgb[3], &rgb[4]);
        EXPECT_EQ(rgb[0] + rgb[1] + rgb[2], 0);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PinmainWindowTest, PalettesAreCarriedOutByTheMainTickAndTheViewFollowsTheLayer) {
  MakeLayers(3);
  AddTriangles(stack()->GetLaye(2)->paths, 4);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Press(kMain, 45)
      .Press(kMain, 22)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(editor.layerPalette, nullptr);
        ASSERT_NE(editor.pathPalette, nullptr);
        EXPECT_EQ(editor.pathEditFlag, 1);
        tb::SetControl32BitValue(editor.layerPalette->layerPopup, 2);
        // Two commands within one tick: only the later counts.
        Send(editor.layerPalette->window, "Lay8");
        Send(editor.layerPalette->window, "Play");
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(doc()->currentLayer, 2);
        EXPECT_EQ(LayerName(1), "L1");
        CPathList shown(0);
        editor.mainView()->GetPathList(&shown);
        EXPECT_EQ(PathCount(&shown), 4);
        // Hiding the path palette ends path editing at the next main tick
        // after the palette's redraw.
        Send(editor.window, "Bpth");
      })
      .Advance(0.2 + 0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(editor.pathEditFlag, 0); })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The layer palette names the current layer in its popup, whose check boxes are that layer's:
// after a layer is picked there, after Add (the new layer, once it is named) and after the
// current layer changed another way, at the palette's next redraw. Its list is rebuilt at every
// redraw, and the list's first entry, layer 1, used to be shown whatever was current.
TEST_F(PinmainWindowTest, TheLayerPaletteShowsTheCurrentLayer) {
  MakeLayers(3);
  stack()->SetLayAct(3, 0);
  VMKpinmainUI editor;
  const auto shown = [&] { return tb::GetControl32BitValue(editor.layerPalette->layerPopup); };
  driver_.Advance(0.6)
      .Press(kMain, 45)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(editor.layerPalette, nullptr);
        EXPECT_EQ(shown(), 1);
        tb::SetControl32BitValue(editor.layerPalette->layerPopup, 3);
        Send(editor.layerPalette->window, "Play");
        // Redrawn before the main window takes the pick, the popup keeps it.
        editor.layerPalette->DrawWindowContent(editor.layerPalette->window);
        EXPECT_EQ(shown(), 3);
      })
      .Advance(1.2)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(doc()->currentLayer, 3);
        EXPECT_EQ(shown(), 3);
        EXPECT_EQ(tb::GetControl32BitValue(editor.layerPalette->activeCheck), 0);
        Send(editor.layerPalette->window, "Lay1");
      })
      // Add names the new layer in the category-name dialog.
      .Advance(0.6)
      .Press(FourCC("Catn"), 101)
      .Advance(1.2)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(stack()->layerCount, 4);
        EXPECT_EQ(doc()->currentLayer, 4);
        EXPECT_EQ(tb::CountMenuItems(editor.layerPalette->layerPopup), 4);
        EXPECT_EQ(shown(), 4);
        EXPECT_EQ(tb::GetControl32BitValue(editor.layerPalette->activeCheck), 1);
        doc()->currentLayer = 2;
        editor.layerPalette->SetRefreshFlag(1);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(shown(), 2); })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << driver_.errors().front();
}

// A press in the main view of a family with paths goes to the path tool,
// whose pause before it tells a click from a drag is asked of the services
// (live it lets the window's loop run): the window's thread never spins.
TEST_F(PinmainWindowTest, APressInTheMainViewPausesThroughTheServicesNotASpin) {
  MakeLayers(1);
  AddTriangles(stack()->GetLaye(1)->paths, 2);
  VMKpinmainUI editor;
  size_t before = 0;
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    before = driver_.ui().delays.size();
    const Rect view = tb::GetControlBounds(tb::FindControl(w, kMain, 9));
    const Point centre{static_cast<int16_t>((view.top + view.bottom) / 2),
                       static_cast<int16_t>((view.left + view.right) / 2)};
    driver_.Drag({centre, centre})
        .Do([&](tb::WindowRef) {
          ASSERT_EQ(driver_.ui().delays.size(), before + 1);
          EXPECT_EQ(driver_.ui().delays.back(), 20u);
        })
        .Press(kMain, kCancel);
  });
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Renders that have not arrived yet: layer commands go on without them, the
// last complete planes stay shown, and of several requests of one kind only
// the newest is shown (the older ones stop before they render).
TEST_F(PinmainWindowTest, LayerCommandsNeverWaitForARenderAndOnlyTheNewestArrives) {
  MakeLayers(1);
  VMKpinmainUI editor;
  std::vector<uint8_t> shown;
  uint64_t before = 0;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(editor.renderWorker(), nullptr);
        editor.renderWorker()->Hold(true);
        before = editor.rendersShown();
        const size_t n = static_cast<size_t>(editor.viewWidth) * editor.viewHeight;
        shown.assign(editor.effectPlanes[3], editor.effectPlanes[3] + n);
        // A brightness operation in the layer, a layer command (the lock)
        // and two more requests.
        ScriptFile* s = script();
        s->SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
        s->SetAct(0, 1, 1, 1);
        s->SetFromChannel(0, 1, 1, 0);
        s->SetToChannel(0, 1, 1, 2);
        s->SetParam1(0, 1, 1, 40);
        s->SetMode(0, 1, 1, 0);
        s->SetOpa(0, 1, 1, 255);
        s->SetMChannel(0, 1, 1, 0);
        s->SetIntExt(0, 1, 1, 1);
        editor.PrepareBuf(1, nullptr);
        editor.ModifLayer(2);
        editor.PrepareBuf(0, nullptr);
        editor.PrepareBuf(1, nullptr);
        int16_t lock = 0;
        stack()->GetLayLock(1, &lock);
        EXPECT_EQ(lock, 1);
        EXPECT_EQ(editor.rendersShown(), before);
        EXPECT_TRUE(std::equal(shown.begin(), shown.end(), editor.effectPlanes[3]));
        editor.renderWorker()->Hold(false);
        EXPECT_GE(editor.renderWorker()->RunHeld(), 3);
        // One source render and the newest layers' render.
        EXPECT_EQ(editor.rendersShown(), before + 2);
        int brighter = 0;
        for (size_t i = 0; i < shown.size(); ++i) brighter += editor.effectPlanes[3][i] == std::min(shown[i] + 40, 255);
        EXPECT_EQ(brighter, static_cast<int>(shown.size()));
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Live, the layers' renders run beside the window's loop and arrive after
// its first step, the one that opened the window. That step must not load
// the blank planes over the view's own picture (the view showed black, save
// for its top row), and a render that arrives shows at once, every row and
// column of it, not at the loop's next step half a second later.
TEST_F(PinmainWindowTest, RendersArrivingAfterTheFirstStepShowAtOnceAndNothingBlackBefore) {
  MakeLayers(1);
  ScriptFile* s = script();
  s->SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
  s->SetAct(0, 1, 1, 1);
  s->SetFromChannel(0, 1, 1, 0);
  s->SetToChannel(0, 1, 1, 2);
  s->SetParam1(0, 1, 1, 40);
  s->SetMode(0, 1, 1, 0);
  s->SetOpa(0, 1, 1, 255);
  s->SetMChannel(0, 1, 1, 0);
  s->SetIntExt(0, 1, 1, 1);
  VMKpinmainUI editor;
  ASSERT_NE(editor.renderWorker(), nullptr);
  // As on a display: no render is complete when the loop first steps.
  editor.renderWorker()->Hold(true);
  // The pixels of the picture's area in the main view (as far as the view
  // draws it) that are black, and those that differ from the effect planes.
  auto count = [&editor](bool black) {
    const VMKimabox* view = editor.mainView();
    const uint8_t* d = view->displayBuffer();
    const int32_t stride = view->state().viewWidth;
    const int32_t w = std::min(editor.previewWidth, view->displayedWidth());
    const int32_t h = std::min(editor.previewHeight, view->displayedHeight());
    int n = 0;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x);
        const uint8_t* p = d + i * 4;
        if (black)
          n += p[0] == 0 && p[1] == 0 && p[2] == 0;
        else
          n += p[0] != editor.effectPlanes[3][i] || p[1] != editor.effectPlanes[4][i] ||
               p[2] != editor.effectPlanes[5][i];
      }
    return n;
  };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(editor.rendersShown(), 0u);
        const VMKimabox* view = editor.mainView();
        ASSERT_NE(view->displayBuffer(), nullptr);
        // Nearly the whole preview is drawn (the view's own layout may take
        // a row or a column less).
        ASSERT_GE(view->displayedWidth(), editor.previewWidth - 1);
        ASSERT_GE(view->displayedHeight(), editor.previewHeight - 1);
        ASSERT_EQ(view->state().viewWidth, editor.viewWidth);
        // The view's own picture stays until the layers come.
        EXPECT_EQ(count(true), 0);
        editor.renderWorker()->Hold(false);
        // The open asked twice for each kind; the older of each went stale.
        EXPECT_EQ(editor.renderWorker()->RunHeld(), 4);
        ASSERT_EQ(editor.rendersShown(), 2u);
        // Shown on arrival, without a loop step: the brightened picture,
        // the top row and the last column included.
        EXPECT_EQ(count(false), 0);
        EXPECT_EQ(count(true), 0);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(count(false), 0); })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The main view's own first preview and the layers' first render run on two
// workers; on a loaded machine the render can come first, and the view's own
// preview then goes stale. The view must still lay the fitted picture out as
// its own preview would: before, it kept the whole view as the picture's
// place, drew a wide picture at its foot with a checkerboard over the band
// above it, and the grey band below was gone.
TEST_F(PinmainWindowTest, TheLayersArrivingBeforeTheViewsOwnPreviewAreFittedInTheView) {
  Start(1200, 800);
  UsePhoto();
  doc()->Initialize();
  MakeLayers(1);
  VMKpinmainUI editor;
  editor.previews().Hold(true);
  editor.renderWorker()->Hold(true);
  auto laidOut = [&editor] {
    const VMKimabox* view = editor.mainView();
    EXPECT_NEAR(view->displayedWidth(), editor.previewWidth, 1);
    EXPECT_NEAR(view->displayedHeight(), editor.previewHeight, 1);
    EXPECT_NEAR(view->state().originY, (editor.viewHeight - editor.previewHeight) / 2, 1);
  };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(editor.rendersShown(), 0u);
        // A wide picture leaves bands above and below it.
        ASSERT_LT(editor.previewHeight, editor.viewHeight - 20);
        editor.renderWorker()->Hold(false);
        EXPECT_GT(editor.renderWorker()->RunHeld(), 0);
        ASSERT_EQ(editor.rendersShown(), 2u);
        laidOut();
        // The view's own preview, late, is not shown over the layers.
        editor.previews().Hold(false);
        editor.previews().RunHeld();
        laidOut();
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { laidOut(); })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PinmainWindowTest, TitlesKeysAndTheOpacityField) {
  EXPECT_EQ(PinmainTitle(117), "Glossimbra 1.0 - www.vellmarkstead.org");
  EXPECT_EQ(PinmainTitle(99), "");
  EXPECT_TRUE(IsPathlessFamily(116));
  EXPECT_FALSE(IsPathlessFamily(117));
  const int beeps = driver_.ui().beeps;
  EXPECT_TRUE(VMKpinmainUI::NumEditKey('7'));
  EXPECT_TRUE(VMKpinmainUI::NumEditKey(8));
  EXPECT_FALSE(VMKpinmainUI::NumEditKey('-'));
  EXPECT_FALSE(VMKpinmainUI::NumEditKey('a'));
  EXPECT_EQ(driver_.ui().beeps, beeps + 2);
  MakeLayers(1);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        // The nib's "50" reads as 128, as the overlay section starts.
        editor.GetEditValue();
        EXPECT_EQ(editor.display->overlayOpacity, 128);
        EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(editor.window, kMain, 28)));
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
}

// The overlay opacity field's percent becomes 0..255 in double, as in every
// other dialog: 50 gives 127 and 90 gives 229 (single precision gave 128 and
// 230). A field that still shows the stored value's percent leaves the value.
TEST_F(PinmainWindowTest, TheOpacityFieldIsReadInDoubleAndLeavesAnUntouchedValue) {
  MakeLayers(1);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef field = tb::FindControl(w, kMain, 26);
        const std::pair<const char*, int32_t> typed[] = {{"50", 127}, {"90", 229}, {"100", 255}, {"0", 0}};
        for (const auto& [text, stored] : typed) {
          editor.display->overlayOpacity = 3;  // shown as 1 %
          tb::SetControlText(field, text);
          editor.GetEditValue();
          EXPECT_EQ(editor.display->overlayOpacity, stored) << text;
        }
        for (int32_t kept : {100, 128, 254, 1}) {
          editor.display->overlayOpacity = kept;
          tb::SetControlText(field, std::to_string(PercentOf255(kept)));
          editor.GetEditValue();
          EXPECT_EQ(editor.display->overlayOpacity, kept);
        }
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

// A view as large as the picture renders at 1:1: the source planes are the
// picture itself and the effect planes the layer's brightness over it, as
// the final render makes it (min(v + 40, 255)).
TEST_F(PinmainWindowTest, APictureOnePixelAcrossFitsOnePixelAcross) {
  VMKpinmainUI editor;
  const struct {
    int32_t w, h, fittedW, fittedH;
  } cases[] = {{1, 1, 900, 900}, {1, 30000, 1, 900}, {30000, 1, 1200, 1}, {2, 2, 900, 900}};
  for (const auto& c : cases) {
    editor.imageWidth = c.w;
    editor.imageHeight = c.h;
    editor.FitPicture(1200, 900);
    EXPECT_EQ(editor.previewWidth, c.fittedW) << c.w << " x " << c.h;
    EXPECT_EQ(editor.previewHeight, c.fittedH) << c.w << " x " << c.h;
  }
}

TEST_F(PinmainWindowTest, ThePreviewAtOneToOneIsTheFinalRender) {
  MakeLayers(1);
  ScriptFile* s = script();
  s->SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
  s->SetAct(0, 1, 1, 1);
  s->SetFromChannel(0, 1, 1, 0);
  s->SetToChannel(0, 1, 1, 2);
  s->SetParam1(0, 1, 1, 40);
  s->SetMode(0, 1, 1, 0);
  s->SetOpa(0, 1, 1, 255);
  s->SetMChannel(0, 1, 1, 0);
  s->SetIntExt(0, 1, 1, 1);
  VMKpinmainUI editor;
  editor.FitPicture(1200, 900);
  ASSERT_EQ(editor.previewWidth, 1200);
  ASSERT_EQ(editor.previewHeight, 900);
  editor.PrepareBuf(0, nullptr);
  editor.PrepareBuf(1, nullptr);
  ASSERT_EQ(editor.rendersShown(), 2u);
  int picture = 0, render = 0;
  for (uint32_t y = 0; y < 900; ++y)
    for (uint32_t x = 0; x < 1200; ++x) {
      // Plane rows count from the bottom of the picture.
      const size_t i = static_cast<size_t>(899 - y) * 1200 + x;
      for (int k = 0; k < 3; ++k) {
        const uint32_t v = photo_.rowPtr(y)[4 * x + k];
        picture += editor.sourcePlanes[3 + k][i] != v;
        render += editor.effectPlanes[3 + k][i] != std::min<uint32_t>(v + 40, 255);
      }
    }
  EXPECT_EQ(picture, 0);
  EXPECT_EQ(render, 0);
}

}  // namespace
