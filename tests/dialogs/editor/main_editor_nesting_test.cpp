// The main editing window with the windows it runs over itself: its timer
// keeps polling while the operation-list editor, the load-effect browser and
// a shape dialog run inside one another (four loops deep), its palettes stay
// usable during the editor's loop, and a browser's choice goes into the
// current layer only when its file reads; the browser's hover shows in the
// main view.
// Headers that name a member `slots` come before Qt's.
#include "dialogs/editor/compose_effect.h"
#include "dialogs/editor/load_effect.h"
#include "dialogs/editor/tune_effect.h"

#include <gtest/gtest.h>

#include "app/core/session_state.h"
#include "app/file_access.h"
#include "dialogs/editor/main_editor_fixture.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/patterns/patterns_rows.h"
#include "paths/shape_params.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/script_file.h"

using vmktest::kMain;
using vmktest::MainEditorTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kTeff = FourCC("Teff"), kLeff = FourCC("Leff"), kCeff = FourCC("Ceff"),
                 kTlay = FourCC("Tlay"), kTpth = FourCC("Tpth"), kCrec = FourCC("Crec"),
                 kVign = FourCC("Avig");
constexpr int32_t kOk = 1, kCancel = 2;
constexpr int32_t kLayerButton = 45, kPathsButton = 22, kTuneButton = 46, kLoadButton = 47,
                  kComposeButton = 48;
constexpr int32_t kAdjustButton = 33;  // the editor's 'Badj'
constexpr int32_t kEditorLoadButton = 36;  // the editor's 'Bloa'
constexpr int32_t kEditorCancel = 12;      // the editor's 'canc'
constexpr int32_t kBrowseButton = 20;  // the browser's 'Bloa'
constexpr int32_t kNamePopup = 24;     // the browser's stored-effect names
constexpr int32_t kActiveCheck = 1;       // the layer palette's 'Bsee'
constexpr Point kCurrentSlot{200, 200};  // inside the chooser's slot 0
constexpr int32_t kRectangleTool = 41;  // the path palette's 'Bp13'

class PinmainNestingTest : public MainEditorTest {
 protected:
  void SetUp() override {
    MainEditorTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
    Init_TObjPar(&shapes_);
    if (per_.objPar == nullptr) per_.objPar = &shapes_;
  }
  void TearDown() override {
    if (per_.objPar == &shapes_) per_.objPar = nullptr;
    MainEditorTest::TearDown();
  }
  int16_t Active(int16_t layer) {
    int16_t a = 0;
    stack()->GetLayAct(layer, &a);
    return a;
  }
  TObjPar shapes_{};
};

// Main window, editor, an effect dialog of the editor's 'Badj', rectangle
// dialog: a click in the layer palette four loops deep is carried out by the
// main window's tick, and so is one during the editor's own loop.
TEST_F(PinmainNestingTest, TheMainTimerPollsFourLoopsDeepAndThePalettesStayUsable) {
  MakeLayers(2);
  // A ramp operation in layer 1, whose editor the editor's 'Badj' opens.
  script()->SetEffect(0, 1, 1, 23, 0, 0, 0, 0);
  script()->SetAct(0, 1, 1, 1);
  VMKpinmainUI editor;
  int depth = 0;
  driver_.Advance(0.6)
      .Press(kMain, kLayerButton)
      .Press(kMain, kPathsButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) { depth = tb::ModalDepth(); })
      .Press(kMain, kTuneButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "TuneEff");
        EXPECT_EQ(editor.operationEditor, gVMKtuneeff);
        // The palette during the editor's loop: layer 1 goes inactive at
        // the main window's next tick.
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(Active(1), 0); })
      .Press(kTeff, kAdjustButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "AdjVign");
        driver_.ClickControl(tb::FindControl(editor.pathPalette->window, kTpth, kRectangleTool));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(tb::ModalDepth(), depth + 3);
        EXPECT_NE(editor.pathPalette->openShapeDialog, nullptr);
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(Active(1), 1); })
      .Press(kCrec, kCancel)
      .Press(kVign, kCancel)
      .Press(kTeff, kOk)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        EXPECT_EQ(editor.operationEditor, nullptr);
        EXPECT_EQ(gVMKtuneeff, nullptr);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

// The load browser with a shape dialog over it: the main window's tick
// still carries out the palette; a cancelled browser leaves the layer.
TEST_F(PinmainNestingTest, TheMainTimerPollsUnderTheBrowserAndAShapeDialog) {
  MakeLayers(1);
  VMKpinmainUI editor;
  std::vector<uint8_t> before;
  driver_.Advance(0.6)
      .Press(kMain, kLayerButton)
      .Press(kMain, kPathsButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) { before = StackBytes(); })
      .Press(kMain, kLoadButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "LoadEff");
        driver_.ClickControl(tb::FindControl(editor.pathPalette->window, kTpth, kRectangleTool));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_NE(editor.pathPalette->openShapeDialog, nullptr);
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Active(1), 0);
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Press(kCrec, kCancel)
      .Press(kLeff, kCancel)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        EXPECT_EQ(StackBytes(), before);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

// Four loops deep the other way: main window, editor, the editor's load
// browser, rectangle dialog. The main window's tick carries out the layer
// palette at the bottom of it; the cancelled browser and editor leave the
// layers as they were.
TEST_F(PinmainNestingTest, TheMainTimerPollsUnderTheEditorsBrowserAndAShapeDialog) {
  MakeLayers(1);
  VMKpinmainUI editor;
  std::vector<uint8_t> before;
  int depth = 0;
  driver_.Advance(0.6)
      .Press(kMain, kLayerButton)
      .Press(kMain, kPathsButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        before = StackBytes();
        depth = tb::ModalDepth();
      })
      .Press(kMain, kTuneButton)
      .Advance(0.6)
      .Press(kTeff, kEditorLoadButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "LoadEff");
        driver_.ClickControl(tb::FindControl(editor.pathPalette->window, kTpth, kRectangleTool));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(tb::ModalDepth(), depth + 3);
        EXPECT_NE(editor.pathPalette->openShapeDialog, nullptr);
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Active(1), 0);
        driver_.ClickControl(tb::FindControl(editor.layerPalette->window, kTlay, kActiveCheck));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(Active(1), 1); })
      .Press(kCrec, kCancel)
      .Press(kLeff, kCancel)
      .Press(kTeff, kEditorCancel)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        EXPECT_EQ(gVMKtuneeff, nullptr);
        EXPECT_EQ(StackBytes(), before);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

// Brightness by 40 on the composite as operation 1 of `layer`.
void PlantBrightness(ScriptFile* s, int16_t layer) {
  s->SetEffect(0, layer, 1, 16, 0, 0, 0, 0);
  s->SetAct(0, layer, 1, 1);
  s->SetFromChannel(0, layer, 1, 0);
  s->SetToChannel(0, layer, 1, 2);
  s->SetParam1(0, layer, 1, 40);
  s->SetMode(0, layer, 1, 0);
  s->SetOpa(0, layer, 1, 255);
  s->SetMChannel(0, layer, 1, 0);
  s->SetIntExt(0, layer, 1, 1);
}

// 'Bloa': the file the browser names goes into the current layer and the
// main view renders it; a damaged file leaves the stack byte for byte and
// an alert names it.
TEST_F(PinmainNestingTest, ABrowsedEffectGoesIntoTheLayerOnlyWhenItReadsWhole) {
  MakeLayers(2);
  PlantBrightness(script(), 2);
  const std::string stored = bundle_.makersFile("bright.ach1");
  {
    fichier f;
    ASSERT_TRUE(SetFicFromPosix(&f, stored));
    File_kern file(&f);
    Laye* l = stack()->GetLaye(2);
    ASSERT_EQ(script()->SaveScript(l->oprnCount, l->firstOprn, &file, nullptr, 0, 0, CurrentDocData()->secondName, 0), 0);
  }
  const std::vector<uint8_t> whole = vmktest::ReadBytes(stored);
  const std::string damaged = bundle_.makersFile("cut.ach1");
  vmktest::WriteBytes(damaged, std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
  VMKpinmainUI editor;
  uint64_t shown = 0;
  std::vector<uint8_t> before;
  size_t alerts = 0;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        shown = editor.rendersShown();
        driver_.ui().AnswerOpenFile(stored);
      })
      .Press(kMain, kLoadButton)
      .Press(kLeff, kBrowseButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        const Oprn* op = script()->GetOprn(0, 1, 1);
        ASSERT_NE(op, nullptr);
        EXPECT_EQ(op->Effect, 16);
        EXPECT_EQ(op->Param1, 40);
        EXPECT_GT(editor.rendersShown(), shown);
        before = StackBytes();
        alerts = driver_.ui().alertRequests.size();
        driver_.ui().AnswerOpenFile(damaged);
      })
      .Press(kMain, kLoadButton)
      .Press(kLeff, kBrowseButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(StackBytes(), before);
        ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 1);
        EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("\"cut\""), std::string::npos);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

// The browser's hover over its stored effects shows each in the real main
// window's view, and the closing menu puts the document's own layers back.
TEST_F(PinmainNestingTest, TheBrowsersHoverShowsEachEffectInTheMainViewAndClosingPutsTheLayersBack) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  MakeLayers(1);
  VMKpinmainUI editor;
  std::vector<uint8_t> own;
  const auto plane = [&] {
    const size_t n = static_cast<size_t>(editor.viewWidth) * static_cast<size_t>(editor.viewHeight);
    return std::vector<uint8_t>(editor.effectPlanes[3], editor.effectPlanes[3] + n);
  };
  const auto menu = [](tb::WindowRef w, uint32_t kind, int32_t item = 0) {
    tb::Event ev;
    ev.eventClass = tb::kEventClassMenu;
    ev.kind = kind;
    ev.control = tb::FindControl(w, kLeff, kNamePopup);
    ev.window = w;
    ev.menuItem = item;
    tb::SendEventToEventTarget(&ev, w, ev.control);
  };
  const std::vector<uint8_t> before = StackBytes();
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(editor.effectPlanes[3], nullptr);
        own = plane();
      })
      .Press(kMain, kLoadButton)
      .Advance(0.1)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "LoadEff");
        const int32_t names = tb::CountMenuItems(tb::FindControl(w, kLeff, kNamePopup));
        ASSERT_GE(names, 3);
        menu(w, tb::kEventMenuOpening);
        std::vector<std::vector<uint8_t>> shown;
        for (int32_t item = 1; item <= names; ++item) {
          menu(w, tb::kEventMenuTargetItem, item);
          shown.push_back(plane());
          EXPECT_NE(shown.back(), own) << item;
        }
        EXPECT_NE(shown[0], shown[1]);
        menu(w, tb::kEventMenuClosed);
        EXPECT_EQ(plane(), own);
        // Hovering only shows: the document's layers are as they were.
        EXPECT_EQ(StackBytes(), before);
      })
      .Press(kLeff, kCancel)
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

// 'Bcom': the layer's own operations are saved as the chooser's "Current"
// slot; OK on it loads them back, so the layer keeps what it had.
TEST_F(PinmainNestingTest, TheComposeChooserStartsFromTheLayersOwnOperations) {
  MakeLayers(1);
  PlantBrightness(script(), 1);
  VMKpinmainUI editor;
  const Oprn* first = nullptr;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        first = stack()->GetLaye(1)->firstOprn;
      })
      .Press(kMain, kComposeButton)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(tb::GetWindowName(w), "CompEff");
        EXPECT_GT(vmktest::ReadBytes(FicToPosix(per_.channelScratch)).size(), 0u);
      })
      // OK on slot 1, empty: nothing is loaded and nothing is said.
      .Press(kCeff, kOk)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(stack()->GetLaye(1)->firstOprn, first);
        EXPECT_TRUE(driver_.ui().alertRequests.empty());
      })
      .Press(kMain, kComposeButton)
      .Advance(0.6)
      // Slot 0, "Current", is the layer's own operations.
      .Drag({kCurrentSlot, kCurrentSlot})
      .Advance(0.6)
      .Press(kCeff, kOk)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "PinMain");
        const Oprn* op = script()->GetOprn(0, 1, 1);
        ASSERT_NE(op, nullptr);
        EXPECT_EQ(op->Effect, 16);
        EXPECT_EQ(op->Param1, 40);
        EXPECT_EQ(stack()->GetLaye(1)->oprnCount, 1);
        // Loaded back from the slot's file, not left alone.
        EXPECT_NE(stack()->GetLaye(1)->firstOprn, first);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors().front());
}

}  // namespace
