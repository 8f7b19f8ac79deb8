#include "dialogs/correction/lens_correction_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

#include "dialogs/correction/dialog_fixture.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "platform/draw/port.h"
#include "platform/toolbox/toolbox.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kZond = FourCC("Zond");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103, kFit = 109, kOneToOne = 110;
constexpr int32_t kTabs = 1, kSwitch = 41, kStatus = 42, kRegular = 52, kCorrected = 53;
constexpr int32_t kLabels[7] = {16, 18, 34, 38, 43, 46, 49};
constexpr int32_t kFields[7] = {17, 19, 35, 39, 44, 47, 50};
constexpr int32_t kSliders[7] = {26, 27, 36, 40, 45, 48, 51};

// One render handed to the lens engine.
struct LensRender {
  double at;
  int16_t mode;
  int32_t viewWidth;
  std::vector<int32_t> words;
};

std::vector<LensRender>& LensRenders() {
  static std::vector<LensRender> renders;
  return renders;
}

int32_t RecordLens(const vmkviews::PreviewCall& call) {
  const ZondracPar* r = call.recordAs<ZondracPar>();
  const size_t n = static_cast<size_t>(call.viewWidth) * static_cast<size_t>(call.viewHeight);
  std::memset(call.planes[0], 20, n);
  std::memset(call.planes[1], 120, n);
  std::memset(call.planes[2], 220, n);
  LensRenders().push_back({plat::ui::Now(), call.shorts[5], call.viewWidth,
                           std::vector<int32_t>(r->w, r->w + kZondracWords)});
  return 0;
}

ZondracPar Defaults() {
  ZondracPar r;
  Init_ZondracPar(&r, 1200, 900, 300, 20, 20, 2);
  return r;
}

bool SameLens(const ZondracPar& a, const ZondracPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kZond, id)); }
int32_t Value(tb::WindowRef w, int32_t id) { return tb::GetControl32BitValue(tb::FindControl(w, kZond, id)); }
bool Visible(tb::WindowRef w, int32_t id) { return tb::IsControlVisible(tb::FindControl(w, kZond, id)); }

class ZondracDialogTest : public vmktest::ColCorDialogTest {
 protected:
  void SetUp() override {
    ColCorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewZondrac, 0, RecordLens);
    LensRenders().clear();
  }
  std::vector<LensRender> MainLensRenders() const {
    std::vector<LensRender> out;
    // Not the navigator's 300 wide planes.
    for (const LensRender& r : LensRenders())
      if (r.viewWidth != 300) out.push_back(r);
    return out;
  }
  void SaveLensPreset(const std::string& name, ZondracPar* record) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    FSSpec none{};
    ASSERT_EQ(Do_AZondrac_file(1, none, record), 0);
  }
};

TEST_F(ZondracDialogTest, OkCopiesBackWhileCancelAndTheCloseBoxLeaveTheOwnersRecord) {
  ZondracPar owner = Defaults();
  owner.w[kZndRotation] = 12;
  const ZondracPar before = owner;
  ZondracPar preset = owner;
  preset.w[kZndDistortH] = -40;
  SaveLensPreset("barrel.hznd", &preset);
  for (bool closeBox : {false, true}) {
    VMKzondracUI dlg;
    dlg.SetZondracPar(&owner);
    driver_.Advance(0.1)
        .Slide(kZond, 26, 33)
        .Choose(kZond, kTabs, 2)
        .Slide(kZond, 26, -70)
        .Choose(kZond, 37, 1)
        .Hover(kZond, 37, {1})
        .Press(kZond, kReset)
        .Type(kZond, 17, "99")
        .Advance(0.6);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kZond, kCancel);
    if (dlg.Do_ZondracDlg() == 1) dlg.GetZondracPar(&owner);
    EXPECT_TRUE(SameLens(owner, before)) << closeBox;
  }
  {
    VMKzondracUI dlg;
    dlg.SetZondracPar(&owner);
    driver_.Choose(kZond, 37, 1).Type(kZond, 19, "-60").Advance(0.6).Press(kZond, kOk);
    ASSERT_EQ(dlg.Do_ZondracDlg(), 1);
    EXPECT_EQ(dlg.presetEntry, 0);
    dlg.GetZondracPar(&owner);
  }
  EXPECT_EQ(owner.w[kZndDistortH], -40);  // from the preset
  EXPECT_EQ(owner.w[kZndDistortV], -60);  // typed
  EXPECT_EQ(owner.w[kZndWidth], 1200);
  EXPECT_EQ(gVMKzondrac, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
}

// At fit the lens preview shows the whole picture: the navigator's frame dragged by the
// mouse goes back to it at the next tick, and the view's pan and zoom text stay as they were.
TEST_F(ZondracDialogTest, AFrameDraggedInTheNavigatorAtFitGoesBackToTheWholePicture) {
  VMKzondracUI dlg;
  std::string fitText;
  auto frame = [&] {
    std::vector<int32_t> f(4);
    dlg.navigator()->GetBufSSPan(&f[0], &f[1], &f[2], &f[3], 0);
    return f;
  };
  const std::vector<int32_t> whole = {0, 0, 100000, 100000};
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    fitText = Text(w, 12);
    const Rect b = tb::GetControlBounds(tb::FindControl(w, kZond, 11));
    const Point from{static_cast<int16_t>((b.top + b.bottom) / 2), static_cast<int16_t>((b.left + b.right) / 2)};
    driver_.Drag({from, Point{static_cast<int16_t>(from.v - 15), static_cast<int16_t>(from.h - 20)},
                   Point{static_cast<int16_t>(from.v - 35), static_cast<int16_t>(from.h - 50)}})
        .Do([&](tb::WindowRef) { EXPECT_LT(frame()[0], 0); })
        .Advance(0.6)
        .Do([&](tb::WindowRef w2) {
          EXPECT_EQ(frame(), whole);
          EXPECT_EQ(std::vector<int32_t>(dlg.pan, dlg.pan + 4), whole);
          const ImaboxState& s = dlg.mainView()->state();
          EXPECT_EQ((std::vector<int32_t>{s.panLeft, s.panTop, s.panRight, s.panBottom}), whole);
          EXPECT_EQ(Text(w2, 12), fitText);
        })
        .Press(kZond, kCancel);
  });
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, HoveredPresetsRenderAtOnceAndClosingRestoresTheRecord) {
  ZondracPar a = Defaults(), b = Defaults();
  a.w[kZndSize] = 11;
  b.w[kZndSize] = 22;
  SaveLensPreset("a.hznd", &a);
  SaveLensPreset("b.hznd", &b);
  // A damaged preset: the head of a good one.
  const std::string damaged = bundle_.makersFile("c.hznd");
  std::filesystem::copy_file(bundle_.makersFile("a.hznd"), damaged);
  std::filesystem::resize_file(damaged, 60);
  VMKzondracUI dlg;
  ZondracPar held{};
  std::vector<int32_t> seen;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kZond, 37)), 3);
        dlg.GetZondracPar(&held);
        LensRenders().clear();
      })
      .Hover(kZond, 37, {1, 2, 9, 0})  // 9 and 0 lie outside the list: nothing loads
      .Do([&](tb::WindowRef) {
        for (const auto& r : MainLensRenders()) seen.push_back(r.words[kZndSize]);
        ZondracPar now{};
        dlg.GetZondracPar(&now);
        EXPECT_TRUE(SameLens(now, held));
      })
      // The damaged one, hovered and then chosen, changes nothing.
      .Hover(kZond, 37, {3})
      .Choose(kZond, 37, 3)
      .Do([&](tb::WindowRef) {
        ZondracPar now{};
        dlg.GetZondracPar(&now);
        EXPECT_TRUE(SameLens(now, held));
        EXPECT_EQ(dlg.presetEntry, 2);
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_EQ(seen, (std::vector<int32_t>{11, 22}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, PagesRelabelTheRowsAndOnlyTheShownPageIsRead) {
  VMKzondracUI dlg;
  EXPECT_EQ(dlg.page, 1);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Value(w, kTabs), 1);
        for (int r = 0; r < 7; ++r) EXPECT_TRUE(Visible(w, kSliders[r])) << r;
        EXPECT_EQ(Text(w, kLabels[3]), "Rotate:");
        EXPECT_EQ(tb::GetControl32BitMinimum(tb::FindControl(w, kZond, kSliders[3])), -180);
        EXPECT_EQ(Text(w, kLabels[6]), "Mutate:");
        EXPECT_EQ(Text(w, kFields[6]), "100");
        EXPECT_EQ(Value(w, kSwitch), 1);
      })
      .Type(kZond, kFields[0], "-25")  // Horizontal, not yet read
      .Choose(kZond, kTabs, 3)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.page, 3);
        EXPECT_EQ(dlg.refresh(), 1);  // the typing; the tab raised nothing of its own
        for (int r = 0; r < 3; ++r) EXPECT_TRUE(Visible(w, kSliders[r])) << r;
        for (int r = 3; r < 7; ++r) {
          EXPECT_FALSE(Visible(w, kSliders[r])) << r;
          EXPECT_FALSE(Visible(w, kFields[r])) << r;
          EXPECT_FALSE(Visible(w, kLabels[r])) << r;
        }
        EXPECT_EQ(Text(w, kLabels[0]), "Fringe R:");
        EXPECT_EQ(Text(w, kLabels[1]), "Fringe G:");
        EXPECT_EQ(Text(w, kLabels[2]), "Fringe B:");
        tb::ControlRef s = tb::FindControl(w, kZond, kSliders[0]);
        EXPECT_EQ(tb::GetControl32BitMinimum(s), 80);
        EXPECT_EQ(tb::GetControl32BitMaximum(s), 120);
        EXPECT_EQ(Text(w, kFields[0]), "110");
        EXPECT_EQ(Value(w, kSwitch), 0);
      })
      // The field now shows the fringe: the typed horizontal value was
      // replaced before any tick read it.
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(kZndDistortH), 10);
        EXPECT_EQ(dlg.Word(kZndFringe), 110);
        // Only the fringe page answers: 'Sla4' stores nothing on it.
        dlg.Word(kZndPerspBottom) = 7;
      })
      .Slide(kZond, kSliders[0], 95)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(kZndFringe), 95); })
      .Do([&](tb::WindowRef w) {
        tb::ControlRef hidden = tb::FindControl(w, kZond, kSliders[4]);
        tb::SetControl32BitValue(hidden, 55);
        dlg.refresh() = 0;
        tb::Event command;
        command.eventClass = tb::kEventClassCommand;
        command.kind = tb::kEventCommandProcess;
        command.command = FourCC("Sla4");
        command.control = hidden;
        dlg.ZondracWindowEventCommandProcess(nullptr, &command, w);
        EXPECT_EQ(dlg.Word(kZndPerspBottom), 7);
        EXPECT_EQ(dlg.refresh(), 1);
      })
      .Choose(kZond, kTabs, 2)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kLabels[3]), "Balance:");
        EXPECT_EQ(tb::GetControl32BitMinimum(tb::FindControl(w, kZond, kSliders[3])), 0);
        EXPECT_FALSE(Visible(w, kSliders[4]));
        EXPECT_EQ(Text(w, kFields[0]), "50");
      })
      .Choose(kZond, kTabs, 1)
      .Do([&](tb::WindowRef w) {
        // Each page kept its values in the record.
        EXPECT_EQ(Text(w, kFields[4]), "7");
        EXPECT_EQ(dlg.Word(kZndFringe), 95);
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, TheTabAloneRaisesNoRefresh) {
  VMKzondracUI dlg;
  size_t before = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { before = MainLensRenders().size(); })
      .Choose(kZond, kTabs, 2)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.refresh(), 0); })
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainLensRenders().size(), before); })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
}

TEST_F(ZondracDialogTest, FieldsAreClampedToTheirPagesRanges) {
  VMKzondracUI dlg;
  driver_.Advance(0.1)
      .Type(kZond, kFields[3], "200")  // rotate
      .Type(kZond, 31, "150")          // overlay opacity, percent
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kZndRotation), 180);
        EXPECT_EQ(Text(w, kFields[3]), "180");
        EXPECT_EQ(dlg.Word(10), 255);
      })
      .Choose(kZond, kTabs, 3)
      .Type(kZond, kFields[0], "130")
      .Type(kZond, kFields[1], "70")
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(kZndFringe), 120);
        EXPECT_EQ(dlg.Word(kZndFringe + 1), 80);
        EXPECT_EQ(dlg.Word(kZndRotation), 180);
      })
      .Press(kZond, kOk);
  EXPECT_EQ(dlg.Do_ZondracDlg(), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, TheTimerTicksEveryHalfSecondAndOnlyFitAndOneToOnePushIt) {
  VMKzondracUI dlg;
  // 1:1 per axis: 500 / 1200 and 500 / 900 of the picture.
  EXPECT_EQ(dlg.oneToOne[2], 41666);
  EXPECT_EQ(dlg.oneToOne[3], 55555);
  size_t before = 0;
  driver_.Advance(0.05)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.mainView()->param().lensMode, 2);
        // The navigator's frame 0 is the pan rectangle, the main view's the region.
        EXPECT_EQ(dlg.navigator()->state().panTag, 0);
        before = MainLensRenders().size();
      })
      .Slide(kZond, kSliders[0], 40)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(MainLensRenders().size(), before + 1);
        EXPECT_EQ(MainLensRenders().back().words[kZndDistortH], 40);
      })
      .Type(kZond, kFields[1], "-5")
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(MainLensRenders().size(), before + 2);
        EXPECT_EQ(MainLensRenders().back().words[kZndDistortV], -5);
      })
      .Press(kZond, kOneToOne)
      .Do([&](tb::WindowRef) {
        // The picture's corner, the 500 x 500 view's size of it.
        EXPECT_EQ(dlg.pan[2], 41667);
        EXPECT_EQ(dlg.pan[3], 55556);
        before = MainLensRenders().size();
      })
      .Advance(1.9)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainLensRenders().size(), before); })
      .Advance(0.2)
      .Do([&](tb::WindowRef) { EXPECT_GT(MainLensRenders().size(), before); })
      .Press(kZond, kFit)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.pan[2], 100000); })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, GridBoxesSetTheOverlayAndOptionOpensTheStepDialog) {
  VMKzondracUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        // The record's default 2: the corrected grid only.
        EXPECT_EQ(Value(w, kRegular), 0);
        EXPECT_EQ(Value(w, kCorrected), 1);
      })
      .Press(kZond, kCorrected)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(7), 0);
        EXPECT_EQ(dlg.mainView()->param().lensMode, 2);  // not before the tick
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.mainView()->param().lensMode, 0); })
      .Press(kZond, kRegular)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(7), 1); })
      .Press(kZond, kCorrected)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(7), 3); })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.mainView()->param().lensMode, 3);
        driver_.ui().SetModifiers(optionKey);
      })
      // Option-click: the step dialog on words 6 and 5; cancelled, its
      // fields written back by it do not reach the record.
      .Press(kZond, kRegular)
      .Type(FourCC("Gstp"), 6, "33")
      .Type(FourCC("Gstp"), 5, "44")
      .Press(FourCC("Gstp"), 2)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(6), 20);
        EXPECT_EQ(dlg.Word(5), 20);
        EXPECT_EQ(dlg.Word(7), 3);
        EXPECT_EQ(Value(w, kRegular), 1);  // as the record has it
        EXPECT_EQ(Value(w, kCorrected), 1);
      })
      .Press(kZond, kCorrected)
      .Type(FourCC("Gstp"), 6, "8")
      .Type(FourCC("Gstp"), 5, "12")
      .Press(FourCC("Gstp"), 1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(6), 8);
        EXPECT_EQ(dlg.Word(5), 12);
        EXPECT_EQ(dlg.Word(7), 3);
        EXPECT_EQ(Value(w, kCorrected), 1);
        driver_.ui().SetModifiers(0);
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// The mesh the main view draws follows the grid boxes from the next tick:
// none, the regular grid (red), or the regular then the corrected (blue).
TEST_F(ZondracDialogTest, TheMainViewDrawsTheMeshesTheBoxesAskFor) {
  VMKzondracUI dlg;
  std::vector<std::string> log;
  // Redraws the main view alone and keeps the lines it drew.
  auto redraw = [&](tb::WindowRef w) {
    log.clear();
    tb::GetWindowPort(w)->RecordTo(&log);
    tb::SetControlNeedsDisplay(tb::FindControl(w, kZond, 10));
  };
  auto lines = [&](tb::WindowRef w) {
    tb::GetWindowPort(w)->RecordTo(nullptr);
    std::vector<std::string> out;
    for (const std::string& l : log)
      if (l.rfind("Line ", 0) == 0) out.push_back(l);
    return out;
  };
  // 21 rows of 20 segments and 21 columns of 20.
  constexpr size_t kMesh = 2 * 21 * 20;
  std::vector<std::string> regular;
  driver_.Advance(0.1)
      .Press(kZond, kCorrected)
      .Advance(0.5)
      .Do(redraw)
      .Advance(0.01)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(7), 0);
        EXPECT_TRUE(lines(w).empty());
        EXPECT_FALSE(log.empty());  // the view did draw
      })
      .Press(kZond, kRegular)
      .Advance(0.5)
      .Do(redraw)
      .Advance(0.01)
      .Do([&](tb::WindowRef w) {
        regular = lines(w);
        EXPECT_EQ(regular.size(), kMesh);
      })
      .Press(kZond, kCorrected)
      .Advance(0.5)
      .Do(redraw)
      .Advance(0.01)
      .Do([&](tb::WindowRef w) {
        const std::vector<std::string> both = lines(w);
        ASSERT_EQ(both.size(), 2 * kMesh);
        // The regular mesh first, then the corrected one bent away from it.
        EXPECT_EQ(std::vector<std::string>(both.begin(), both.begin() + kMesh), regular);
        EXPECT_NE(std::vector<std::string>(both.begin() + kMesh, both.end()), regular);
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, StatusLineNamesTheThreeSwitches) {
  const char* texts[8] = {"Zondrac: OFF, Vignette: OFF, Fringe: OFF", "Zondrac: OFF, Vignette: OFF, Fringe: ON",
                          "Zondrac: OFF, Vignette: ON, Fringe: OFF",  "Zondrac: OFF, Vignette: ON, Fringe: ON",
                          "Zondrac: ON, Vignette: OFF, Fringe: OFF",  "Zondrac: ON, Vignette: OFF, Fringe: ON",
                          "Zondrac: ON, Vignette: ON, Fringe: OFF",   "Zondrac: ON, Vignette: ON, Fringe: ON"};
  for (int k = 0; k < 8; ++k)
    EXPECT_STREQ(VMKzondracUI::StatusText(k >> 2 & 1, k >> 1 & 1, k & 1), texts[k]) << k;
  // Only 1 counts as on.
  EXPECT_STREQ(VMKzondracUI::StatusText(2, -1, 7), texts[0]);

  VMKzondracUI dlg;
  driver_.Advance(0.1)
      .Choose(kZond, kTabs, 2)
      .Press(kZond, kSwitch)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kZndVignetteOn), 1);
        EXPECT_EQ(Text(w, kStatus), texts[6]);
      })
      .Choose(kZond, kTabs, 3)
      .Press(kZond, kSwitch)
      .Choose(kZond, kTabs, 1)
      .Press(kZond, kSwitch)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kZndFringeOn), 1);
        EXPECT_EQ(dlg.Word(kZndMutateOn), 0);
        EXPECT_EQ(Text(w, kStatus), texts[3]);
      })
      .Press(kZond, kReset)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, kStatus), "Zondrac: ON, Vignette: OFF, Fringe: OFF"); })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, APresetWithAnOverlayShowsTheOverlaySection) {
  ZondracPar p = Defaults();
  p.w[9] = 1;
  p.w[8] = 1;
  SaveLensPreset("overlay.hznd", &p);
  VMKzondracUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        for (int32_t id : {28, 32, 29, 30, 31, 33}) EXPECT_FALSE(Visible(w, id)) << id;
      })
      .Choose(kZond, 37, 1)
      .Do([&](tb::WindowRef w) {
        for (int32_t id : {28, 32, 29, 30, 31, 33}) EXPECT_TRUE(Visible(w, id)) << id;
        EXPECT_EQ(Value(w, 32), 1);
        EXPECT_EQ(Text(w, 31), "50");
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, MouseMovesDrawOneCrossHairAndReadTheImagePlace) {
  VMKzondracUI dlg;
  std::vector<std::string> log;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) { tb::GetWindowPort(w)->RecordTo(&log); })
      .MoveMouse(123, 134)
      .MoveMouse(200, 150)
      .Do([&](tb::WindowRef w) {
        tb::GetWindowPort(w)->RecordTo(nullptr);
        // The first cross-hair, then the same again (erased) and the new one.
        ASSERT_EQ(log.size(), 6u);
        EXPECT_EQ(log[2], log[0]);
        EXPECT_EQ(log[3], log[1]);
        EXPECT_EQ(dlg.mainView()->cursorShown(), 1);
        EXPECT_EQ(Text(w, 9), " R 20");
        EXPECT_EQ(Text(w, 21), " G 120");
        EXPECT_EQ(Text(w, 22), " B 220");
        int16_t r, g, b, x, y;
        dlg.mainView()->GetRGBcolfromBuf(0, 200 - 10, 150 - 10, &r, &g, &b, &x, &y);
        EXPECT_EQ(Text(w, 54), "X: " + std::to_string(x));
        EXPECT_EQ(Text(w, 55), "Y: " + std::to_string(y));
        EXPECT_GT(x, 0);
        log.clear();
        tb::GetWindowPort(w)->RecordTo(&log);
      })
      // Outside the view nothing is drawn; the last cross-hair stays (kept).
      .MoveMouse(701, 702)
      .Do([&](tb::WindowRef w) {
        tb::GetWindowPort(w)->RecordTo(nullptr);
        EXPECT_TRUE(log.empty());
        EXPECT_EQ(dlg.mainView()->cursorShown(), 1);
      })
      .Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  EXPECT_EQ(dlg.readoutUnit, 2);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ZondracDialogTest, WithoutItsWindowTheDialogInstallsNothing) {
  {
    VMKzondracUI dlg;
    EXPECT_EQ(gVMKzondrac, &dlg);
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_ZondracDlg(), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
    EXPECT_EQ(dlg.loopTimer, nullptr);
  }
  EXPECT_EQ(gVMKzondrac, nullptr);
  EXPECT_EQ(GetZondracWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  ZondracLoopHandler(nullptr, nullptr);
}

// The final render of a lens record: the engine row as the script runs it
// over the whole picture (planes bottom row first).
std::vector<uint8_t> FinalLensRender(const PixelBuffer& photo, ZondracPar record) {
  const int32_t w = static_cast<int32_t>(photo.width());
  const int32_t h = static_cast<int32_t>(photo.height());
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> planes(4 * n, 255);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k) planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo.rowPtr(y)[4 * x + k];
  EngineRowCall row;
  row.effect = 113;
  row.record = &record;
  row.n = 3;
  row.w = row.aw = w;
  row.h = row.ah = h;
  row.planes[0] = planes.data();
  row.planes[1] = planes.data() + n;
  row.planes[2] = planes.data() + 2 * n;
  row.mask = planes.data() + 3 * n;
  RegisterEffectFamilies();
  const EngineAdapter adapter = FindEngineRow(113);
  EXPECT_NE(adapter, nullptr);
  if (adapter != nullptr) adapter(row);
  return planes;
}

// At 1:1 the preview shows the window's part of the picture as the final
// render does. It is not the render's own pixels: the warp may pull from
// anywhere in the picture, so the preview remaps the whole picture scaled to
// the view (2.4 picture pixels a sample here), and a smooth picture keeps
// that cost small. Compared over the top-left part of the 1:1 window, and
// inside the band along the picture's edges that a rotated frame leaves
// uncovered (there the preview's neutral displacement reads the scaled whole
// picture). Fringe percentages scale the preview's whole displacement, zoom included, and so
// are left out: at 1:1 they move the channels much further than the render.
TEST_F(ZondracDialogTest, PreviewAtOneToOneShowsTheWindowAsTheFinalRenderDoes) {
  struct Case {
    const char* name;
    void (*values)(ZondracPar*);
    int32_t worst;   // the most a sample may differ by
    double mean;     // and on average
    int32_t margin;  // left and top columns and rows left out
  };
  const Case cases[] = {
      {"unwarped", [](ZondracPar* r) { r->w[kZndMutateOn] = 0; }, 6, 1.0, 0},
      {"warped",
       [](ZondracPar* r) {
         r->w[kZndDistortH] = 40;
         r->w[kZndRotation] = 3;
       },
       6, 1.0, 40},
      {"vignette", [](ZondracPar* r) { r->w[kZndVignetteOn] = 1; }, 6, 1.0, 40},
  };
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
    ZondracPar record = Defaults();
    c.values(&record);
    VMKzondracUI dlg;
    dlg.SetZondracPar(&record);
    std::vector<uint8_t> shown;
    driver_.Advance(0.1)
        .Press(kZond, kOneToOne)
        .Advance(2.1)
        .Do([&](tb::WindowRef) {
          const VMKimabox* box = dlg.mainView();
          // The picture's corner, the 500 x 500 view's size of it.
          EXPECT_EQ(box->state().panRight, 41667);
          EXPECT_EQ(box->state().panBottom, 55556);
          EXPECT_EQ(box->displayedHeight(), 500);
          shown.assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 500);
        })
        .Press(kZond, kCancel);
    dlg.Do_ZondracDlg();
    ASSERT_EQ(shown.size(), 4u * 500 * 500);
    const std::vector<uint8_t> final = FinalLensRender(photo_, record);
    const size_t n = 1200u * 900u;
    const int32_t rows = 500;  // displayed rows of the 1:1 window
    int worst = 0;
    double sum = 0.0;
    for (int32_t y = c.margin; y < 250; ++y)
      for (int32_t x = c.margin; x < 250; ++x)
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

// The default content library's lens presets are listed and read.
TEST_F(ZondracDialogTest, TheContentLibraryOffersLensPresets) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  VMKzondracUI dlg;
  std::vector<int32_t> seen;
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    tb::ControlRef popup = tb::FindControl(w, kZond, 37);
    ASSERT_EQ(tb::CountMenuItems(popup), 4);
    EXPECT_TRUE(Visible(w, 37));
  });
  for (int32_t item = 1; item <= 4; ++item)
    driver_.Choose(kZond, 37, item).Do([&](tb::WindowRef) {
      seen.push_back(dlg.Word(kZndDistortH));
      seen.push_back(dlg.Word(kZndVignetteOn) * 10 + dlg.Word(kZndFringeOn));
      EXPECT_EQ(dlg.Word(kZndWidth), 1200);  // the document's, not the preset's
    });
  driver_.Press(kZond, kCancel);
  dlg.Do_ZondracDlg();
  // Listed by name: barrel, fringe fix, pincushion, vignette lift.
  EXPECT_EQ(seen, (std::vector<int32_t>{-30, 0, 10, 1, 25, 0, 10, 10}));
  EXPECT_TRUE(driver_.errors().empty());
}

// Page 1 with both grid overlays, and page 2, after the first tick over a
// generated picture; kept under the build tree for a person to look at.
TEST_F(ZondracDialogTest, Screenshots) {
  UsePhoto();
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  auto shoot = [&](const char* name) {
    return [&, name](tb::WindowRef w) {
      EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")) << name;
    };
  };
  VMKzondracUI dlg;
  driver_.Advance(0.1)
      .Press(kZond, kRegular)
      .Advance(0.5)
      .Do(shoot("Zondrac"))
      .Choose(kZond, kTabs, 2)
      .Advance(0.5)
      .Do(shoot("Zondrac-vignette"))
      .Press(kZond, kCancel);
  EXPECT_EQ(dlg.Do_ZondracDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
