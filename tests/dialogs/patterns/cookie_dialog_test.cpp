// The cookie-cutter dialog: its clamps, the bars read together, the arrows'
// kept quirk, presets with and without Option and while hovered, undo right
// after opening, the preview source, and a preset folder beyond the list.
#include "dialogs/patterns/cookie_dialog.h"

#include <filesystem>
#include <fstream>
#include <vector>

#include "dialogs/patterns/generator_fixture.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kCook = FourCC("Cook");
constexpr int32_t kOk = 101, kCancel = 102;
constexpr int32_t kPresets = 9, kDisplay = 27;
// Number fields.
constexpr int32_t kHue = 11, kValue = 21, kSize = 32, kTurns = 38;

// Each preview the box asks the engine for: source, apply and the record.
struct CookieRender {
  int16_t source;
  int16_t apply;
  CookiCutPar record;
};
std::vector<CookieRender>& CookieRenders() {
  static std::vector<CookieRender> renders;
  return renders;
}
int32_t RecordCookie(const vmkviews::PreviewCall& c) {
  CookieRender r{c.shorts[3], c.shorts[4], {}};
  Copy_CookiCutPar(c.recordAs<CookiCutPar>(), &r.record);
  CookieRenders().push_back(r);
  return 0;
}

class CookieDialogTest : public vmktest::GeneratorDialogTest {
 protected:
  void SetUp() override {
    GeneratorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 81, RecordCookie);
    CookieRenders().clear();
  }
  static std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kCook, id)); }
};

TEST_F(CookieDialogTest, TypedValuesAreHeldToTheirRangesAndTheValueShiftIsTakenAsTyped) {
  VMKcookicutUI dlg;
  CookiCutPar owner;
  Init_CookiCutPar(&owner);
  dlg.SetCookiCutPar(&owner);
  driver_.Advance(0.1)
      .Type(kCook, kTurns, "0")
      .Type(kCook, kSize, "300")
      .Type(kCook, kHue, "500")
      .Type(kCook, kValue, "500")
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        const CookiCutPar& r = *dlg.current();
        EXPECT_EQ(r.turns, 1);
        EXPECT_EQ(r.radius, 200);
        EXPECT_EQ(r.hueShift, 180);
        EXPECT_EQ(r.lightnessShift, 500);
        EXPECT_EQ(Text(w, kHue), "180");
        EXPECT_EQ(Text(w, kValue), "500");
        EXPECT_EQ(Text(w, kTurns), "1");
      })
      .Type(kCook, kValue, "99999")
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.current()->lightnessShift, 32767); })
      .Press(kCook, kOk);
  EXPECT_EQ(dlg.Do_CookiCutDlg(0), 1);
  dlg.GetCookiCutPar(&owner);
  EXPECT_EQ(owner.radius, 200);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CookieDialogTest, AnyOutlineBarReadsAllNineAndTheShiftArrowsWaitForTheNextRefresh) {
  VMKcookicutUI dlg;
  CookiCutPar owner;
  Init_CookiCutPar(&owner);
  dlg.SetCookiCutPar(&owner);
  size_t rendered = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        tb::SetControl32BitValue(tb::FindControl(w, kCook, 29), 12);  // blur
        tb::SetControl32BitValue(tb::FindControl(w, kCook, 52), 77);  // scale
      })
      .Slide(kCook, 37, 5)  // turns
      .Do([&](tb::WindowRef w) {
        const CookiCutPar& r = *dlg.current();
        EXPECT_EQ(r.softness, 12);
        EXPECT_EQ(r.shapeScale, 77);
        EXPECT_EQ(r.turns, 5);
        EXPECT_EQ(dlg.undoRecord()->turns, 1);
        EXPECT_EQ(Text(w, 53), "77");
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        ASSERT_FALSE(CookieRenders().empty());
        EXPECT_EQ(CookieRenders().back().record.shapeScale, 77);
        rendered = CookieRenders().size();
      })
      .PressPart(kCook, 19, tb::kControlUpButtonPart)  // hue arrows
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->hueShift, 1);
        EXPECT_EQ(Text(w, kHue), "1");
        EXPECT_EQ(dlg.refresh(), 0);
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(CookieRenders().size(), rendered); })
      .Press(kCook, kCancel);
  EXPECT_EQ(dlg.Do_CookiCutDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CookieDialogTest, PresetsWithOptionKeepTheColoursAndAHoverLeavesTheRecord) {
  CookiCutPar preset;
  Init_CookiCutPar(&preset);
  preset.shape[0] = 90;
  preset.softness = 40;
  preset.hueShift = 120;
  preset.lightnessShift = -30;
  Init_LutVign(6, &preset.ramp, 200, 10, 10, 0);
  SavePreset("Spiky", Do_ACookiCut_file, &preset);
  CookiCutPar other = preset;
  other.shape[0] = 11;
  SavePreset("Round", Do_ACookiCut_file, &other);

  CookiCutPar owner;
  Init_CookiCutPar(&owner);
  owner.hueShift = -60;
  Init_LutVign(2, &owner.ramp, 50, 0, 0, 0);
  for (uint32_t option : {static_cast<uint32_t>(optionKey), 0u}) {
    VMKcookicutUI dlg;
    dlg.SetCookiCutPar(&owner);
    CookiCutPar before;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { dlg.GetCookiCutPar(&before); })
        .Hover(kCook, kPresets, {1, 2, 1})
        .Do([&](tb::WindowRef) {
          CookiCutPar now;
          dlg.GetCookiCutPar(&now);
          EXPECT_TRUE(SameBytes(now, before));
          Hold(option);
        })
        .Choose(kCook, kPresets, 2)  // "Spiky": the files list by name
        .Do([&](tb::WindowRef) {
          Hold(0);
          const CookiCutPar& r = *dlg.current();
          EXPECT_EQ(r.shape[0], 90);
          EXPECT_EQ(r.softness, 40);
          const CookiCutPar& kept = option != 0 ? owner : preset;
          EXPECT_EQ(r.hueShift, kept.hueShift);
          EXPECT_EQ(r.lightnessShift, kept.lightnessShift);
          EXPECT_TRUE(SameBytes(r.ramp, kept.ramp));
        })
        .Press(kCook, kCancel);
    EXPECT_EQ(dlg.Do_CookiCutDlg(0), 0);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CookieDialogTest, UndoRightAfterOpeningGivesTheConstructorsDefaults) {
  VMKcookicutUI dlg;
  CookiCutPar owner;
  Init_CookiCutPar(&owner);
  owner.turns = 9;
  owner.radius = 150;
  dlg.SetCookiCutPar(&owner);
  driver_.Advance(0.1)
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->turns, 1);
        EXPECT_EQ(dlg.current()->radius, 100);
        EXPECT_EQ(Text(w, kTurns), "1");
        EXPECT_EQ(CookieRenders().back().record.turns, 1);
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.current()->turns, 1); })
      .Press(kCook, kOk);
  EXPECT_EQ(dlg.Do_CookiCutDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CookieDialogTest, FlagOneHandsTheRenderFileWithEveryRecordAndTheDisplayPopupIsPassedOn) {
  for (int16_t flag : {1, 0, 5}) {
    CookieRenders().clear();
    VMKcookicutUI dlg;
    driver_.Advance(0.1)
        .Type(kCook, kSize, "120")
        .Advance(0.5)
        // The second item asks the box for no render: nothing reaches the engine.
        .Choose(kCook, kDisplay, 2)
        .Advance(0.5)
        .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.previewDisplay, 2); })
        .Type(kCook, kSize, "130")
        .Advance(0.5)
        .Choose(kCook, kDisplay, 1)
        .Advance(0.5)
        .Press(kCook, kCancel);
    EXPECT_EQ(dlg.Do_CookiCutDlg(flag), 0);
    ASSERT_EQ(CookieRenders().size(), 3u) << flag;
    for (const CookieRender& r : CookieRenders()) {
      EXPECT_EQ(r.source, flag == 1 ? 2 : 3) << flag;
      EXPECT_EQ(r.apply, 1);
    }
    EXPECT_EQ(CookieRenders()[1].record.radius, 120);
    EXPECT_EQ(CookieRenders()[2].record.radius, 130);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// A folder with more presets than the list holds: the first 30000 are listed.
TEST_F(CookieDialogTest, AFolderBeyondThirtyThousandPresetsListsTheFirstThirtyThousand) {
  // Empty files: the list goes by type; what they hold is read only when chosen.
  const std::filesystem::path folder = std::filesystem::path(bundle_.makersFile("x")).parent_path();
  for (int k = 0; k < 30001; ++k) std::ofstream(folder / ("p" + std::to_string(100000 + k) + ".hcoo"));
  VMKcookicutUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef popup = tb::FindControl(w, kCook, kPresets);
        EXPECT_EQ(tb::CountMenuItems(popup), 30000);
        EXPECT_EQ(tb::GetControl32BitMaximum(popup), 30000);
      })
      .Choose(kCook, kPresets, 30000)  // unreadable: the record stays
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.current()->radius, 100); })
      .Press(kCook, kCancel);
  EXPECT_EQ(dlg.Do_CookiCutDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
