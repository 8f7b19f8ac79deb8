#include "dialogs/correction/channel_mixer_dialog.h"

#include "dialogs/correction/dialog_fixture.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kCmix = FourCC("Cmix");
constexpr int32_t kOk = 101, kCancel = 102;

std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kCmix, id)); }

TEST_F(ColCorDialogTest, MixerEntriesClampAndArrowsStepByOne) {
  VMKcmixUI dlg;
  EXPECT_EQ(VMKcmixUI::RefreshFlag(), 0);
  EXPECT_EQ(VMKcmixUI::BeforeAfter(), 1);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, 18), "100");  // red to red
        EXPECT_EQ(Text(w, 33), "0");
        EXPECT_EQ(Text(w, 40), "100");  // green to green
      })
      .Type(kCmix, 33, "600")   // red source, green output
      .Type(kCmix, 47, "-700")  // constant, blue output
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKcmixUI::MatrixWord(0, 1)), 500);
        EXPECT_EQ(dlg.Word(VMKcmixUI::MatrixWord(4, 2)), -500);
        EXPECT_EQ(Text(w, 33), "500");
      })
      .PressPart(kCmix, 56, tb::kControlUpButtonPart)  // green source, red output
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, 39), "1"); })
      .PressPart(kCmix, 63, tb::kControlDownButtonPart)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, 47), "-500");  // the arrows' own range holds it
        EXPECT_EQ(VMKcmixUI::RefreshFlag(), 1);
      })
      .PressPart(kCmix, 54, tb::kControlDownButtonPart)
      .Advance(1.0)
      .Press(kCmix, kOk);
  ASSERT_EQ(dlg.Do_CMixDlg(), 1);
  EXPECT_EQ(dlg.Word(VMKcmixUI::MatrixWord(1, 0)), 1);
  EXPECT_EQ(dlg.Word(VMKcmixUI::MatrixWord(0, 2)), -1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, MixerCmdSFlipsThePreviewWithoutTyping) {
  VMKcmixUI dlg;
  size_t before = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { before = MainRenders().size(); })
      .Type(kCmix, 16, "50")
      .Key('s', cmdKey)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, 16), "50");
        EXPECT_EQ(VMKcmixUI::BeforeAfter(), 0);
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(MainRenders().size(), before + 1);
        EXPECT_EQ(MainRenders().back().mode, 0);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCmix, 7)), 1);
        before = MainRenders().size();
      })
      // The strength slider sets the flag without pushing the tick.
      .Slide(kCmix, 25, 30)
      .Advance(1.0)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(MainRenders().size(), before + 1);
        EXPECT_EQ(MainRenders().back().words[kCCMixPercent], 30);
      })
      .Key('z', cmdKey)
      .Choose(kCmix, 7, 2)
      .Press(kCmix, kCancel);
  EXPECT_EQ(dlg.Do_CMixDlg(), 0);
  EXPECT_EQ(VMKcmixUI::BeforeAfter(), 1);
  EXPECT_EQ(VMKcmixUI::UndoRequest(), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// The mixer leaves its overlay section as the window has it, yet its opacity
// slider and field show the record's 0..255 as the same percent both ways.
TEST_F(ColCorDialogTest, MixerOpacitySliderAndFieldAgree) {
  VMKcmixUI dlg;
  auto slider = [](tb::WindowRef w) { return tb::GetControl32BitValue(tb::FindControl(w, kCmix, 31)); };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        // The default 128 shows as 50, which the tick leaves as it is: the field still shows
        // the stored value's percent (50 x 2.55 + 0.5 would make it 127).
        EXPECT_EQ(dlg.Word(7), 128);
        EXPECT_EQ(slider(w), 50);
        EXPECT_EQ(Text(w, 29), "50");
      })
      .Slide(kCmix, 31, 30)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, 29), "30");
        EXPECT_EQ(dlg.Word(7), 77);
      })
      .Type(kCmix, 29, "80")
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(7), 204);
        EXPECT_EQ(slider(w), 80);
      })
      .Type(kCmix, 29, "250")
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(7), 255);
        EXPECT_EQ(slider(w), 100);
        EXPECT_EQ(Text(w, 29), "100");
        // Every percent survives the way through the record's 0..255.
        for (int p = 0; p <= 100; ++p) {
          tb::SetControlText(tb::FindControl(w, kCmix, 29), std::to_string(p));
          dlg.GetEditValue();
          dlg.DrawWindowContent(w);
          EXPECT_EQ(slider(w), p);
          EXPECT_EQ(Text(w, 29), std::to_string(p));
        }
        EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCmix, 31)));
      })
      .Press(kCmix, kCancel);
  EXPECT_EQ(dlg.Do_CMixDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
