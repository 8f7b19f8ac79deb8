#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kGlim = FourCC("Glim");
constexpr OSType kKfoc = FourCC("Kfoc");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103, kOneToOne = 110;

std::string Text(tb::WindowRef w, OSType sig, int32_t id) { return tb::GetControlText(tb::FindControl(w, sig, id)); }

TEST_F(ColCorDialogTest, SmoothingReadsItsFiveFieldsAndPushesOneToOneThreeSeconds) {
  VMKglimUI dlg;
  // 1:1 over width and height: 500 / 1200 and 500 / 900.
  EXPECT_EQ(dlg.oneToOne[2], 41666);
  EXPECT_EQ(dlg.oneToOne[3], 55555);
  size_t before = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kGlim, 39), "25");  // gradient
        EXPECT_EQ(Text(w, kGlim, 42), "35");  // detail
      })
      .Type(kGlim, 39, "140")
      .Type(kGlim, 42, "-3")
      .Type(kGlim, 34, "77")
      .Advance(1.0)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(kCCSmoothing + 4), 100);
        EXPECT_EQ(dlg.Word(kCCSmoothing + 3), 0);
        EXPECT_EQ(dlg.Word(kCCSmoothing + 2), 77);
        before = MainRenders().size();
      })
      .Press(kGlim, kOneToOne)
      .Advance(2.9)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainRenders().size(), before); })
      .Advance(0.2)
      .Do([&](tb::WindowRef) { EXPECT_GT(MainRenders().size(), before); })
      .Choose(kGlim, 36, 3)
      .Press(kGlim, kOk);
  EXPECT_EQ(dlg.Do_GlimDlg(), 1);
  EXPECT_EQ(dlg.Word(kCCSmoothing + 5), 2);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, SmoothingResetsTheWholeRecordAndTheReadoutFollowsTheMouse) {
  VMKglimUI dlg;
  ColCorPar owner;
  Init_ColCorPar(&owner, 1200, 900, 300, 104, 0, 0);
  owner.w[kCCNoise] = 3;  // another dialog's word
  owner.w[kCCSmoothing] = 9;
  dlg.SetColCorPar(&owner);
  driver_.Advance(0.1)
      .MoveMouse(100, 100)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kGlim, 8), " R 200");
        EXPECT_EQ(Text(w, kGlim, 20), " G 100");
        EXPECT_EQ(Text(w, kGlim, 21), " B 50");
      })
      .Press(kGlim, kReset)
      .Press(kGlim, kOk);
  ASSERT_EQ(dlg.Do_GlimDlg(), 1);
  dlg.GetColCorPar(&owner);
  EXPECT_EQ(owner.w[kCCNoise], 100);
  EXPECT_EQ(owner.w[kCCSmoothing], 100);
  EXPECT_EQ(VMKglimUI::UndoRequest(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, FocusStatusTextsName16Masks) {
  EXPECT_EQ(VMKkevrUI::StatusText(0), "Focus: OFF, DNoise: OFF, HSharp: OFF, FixJPG: OFF");
  EXPECT_EQ(VMKkevrUI::StatusText(1), "Focus: ON, DNoise: OFF, HSharp: OFF, FixJPG: OFF");
  EXPECT_EQ(VMKkevrUI::StatusText(10), "Focus: OFF, DNoise: ON, HSharp: OFF, FixJPG: ON");
  EXPECT_EQ(VMKkevrUI::StatusText(15), "Focus: ON, DNoise: ON, HSharp: ON, FixJPG: ON");
}

TEST_F(ColCorDialogTest, FocusGroupsShareOneRow) {
  VMKkevrUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kKfoc, 42), "Focus: ON, DNoise: OFF, HSharp: OFF, FixJPG: OFF");
        EXPECT_EQ(Text(w, kKfoc, 18), "Iterate:");
        EXPECT_EQ(Text(w, kKfoc, 19), "2");
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kKfoc, 41)), 1);
      })
      // Group 1, row 2: the slider reaches 0, the tick pulls it back to 1.
      .Slide(kKfoc, 27, 0)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, kKfoc, 19), "0"); })
      .Advance(2.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(1, 1)), 1);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kKfoc, 27)), 1);
      })
      .Type(kKfoc, 39, "7")  // group 1, row 4, typed but not yet read
      .Choose(kKfoc, 1, 4)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.currentGroup, 4);
        EXPECT_EQ(Text(w, kKfoc, 18), "Artefact:");
        EXPECT_EQ(Text(w, kKfoc, 39), "40");
        EXPECT_EQ(tb::GetControl32BitMinimum(tb::FindControl(w, kKfoc, 40)), 1);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kKfoc, 41)), 0);
        EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(3, 1)), 0);  // the other group keeps its value
      })
      .Press(kKfoc, 41)  // switch group 4 on
      .Type(kKfoc, 35, "0")  // edge of group 4 clamps at 0, not at its slider's 1
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kCCFocusMode), 9);
        EXPECT_EQ(Text(w, kKfoc, 42), "Focus: ON, DNoise: OFF, HSharp: OFF, FixJPG: ON");
        EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(2, 4)), 0);
        EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(2, 1)), 30);
      })
      .Do([&](tb::WindowRef w) {
        // The box on for a group whose bit is set changes nothing.
        tb::SetControl32BitValue(tb::FindControl(w, kKfoc, 41), 1);
        tb::Event e;
        e.eventClass = tb::kEventClassCommand;
        e.kind = tb::kEventCommandProcess;
        e.command = FourCC("Cact");
        e.control = tb::FindControl(w, kKfoc, 41);
        dlg.KevrWindowEventCommandProcess(nullptr, &e, w);
        EXPECT_EQ(dlg.Word(kCCFocusMode), 9);
      })
      .Press(kKfoc, kReset)  // the group survives a reset
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.currentGroup, 4);
        EXPECT_EQ(dlg.Word(kCCFocusMode), 1);
      })
      .Press(kKfoc, kCancel);
  EXPECT_EQ(dlg.Do_KevrDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// As in the other colour-correction dialogs, Ctrl+Z raises the undo request and
// nothing reads it: the slider's value stays.
TEST_F(ColCorDialogTest, FocusCtrlZLeavesTheSlidersValue) {
  VMKkevrUI dlg;
  driver_.Advance(0.1)
      .Slide(kKfoc, 26, 70)
      .Key('z', cmdKey)
      .Advance(2.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(0, 1)), 70);
        EXPECT_EQ(Text(w, kKfoc, 17), "70");
      })
      .Press(kKfoc, kOk);
  ASSERT_EQ(dlg.Do_KevrDlg(), 1);
  EXPECT_EQ(VMKkevrUI::UndoRequest(), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, FocusGroupThreeIteratePulledBackToTwenty) {
  VMKkevrUI dlg;
  driver_.Advance(0.1).Choose(kKfoc, 1, 3).Slide(kKfoc, 27, 80).Advance(2.1).Press(kKfoc, kOk);
  EXPECT_EQ(dlg.Do_KevrDlg(), 1);
  EXPECT_EQ(dlg.Word(VMKkevrUI::FocusWord(1, 3)), 20);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
