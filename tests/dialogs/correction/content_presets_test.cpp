// The default content library gives each colour-correction dialog three
// presets, listed in its popup and read through the engines' own reader.
#include <gtest/gtest.h>

#include <functional>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

TEST_F(ColCorDialogTest, TheContentLibraryGivesEveryCorrectionDialogALightMediumAndStrongPreset) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  struct Case {
    OSType signature;
    int32_t popup;
    int32_t word;
    int32_t values[3];  // light, medium, strong
  };
  auto check = [&](const Case& c, EffectDialog& dlg, const std::function<int16_t()>& run) {
    std::vector<int32_t> seen;
    driver_.Advance(0.1).Do([&](tb::WindowRef w) {
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, c.signature, c.popup)), 3);
    });
    for (int32_t item = 1; item <= 3; ++item)
      driver_.Choose(c.signature, c.popup, item).Do([&](tb::WindowRef) { seen.push_back(dlg.Word(c.word)); });
    driver_.Press(c.signature, 102);
    run();
    EXPECT_EQ(seen, std::vector<int32_t>(c.values, c.values + 3)) << c.signature;
  };
  {
    VMKdnoiUI d;
    check({FourCC("Dnoi"), 37, kCCNoise + 1, {25, 50, 80}}, d, [&] { return d.Do_DNoiDlg(); });
  }
  {
    VMKglimUI d;
    check({FourCC("Glim"), d.desc().ids.presetPopup, kCCSmoothing + 1, {10, 20, 40}}, d,
          [&] { return d.Do_GlimDlg(); });
  }
  {
    VMKkevrUI d;
    check({FourCC("Kfoc"), 37, VMKkevrUI::FocusWord(2, 3), {30, 60, 90}}, d, [&] { return d.Do_KevrDlg(); });
  }
  {
    VMKcmixUI d;
    check({FourCC("Cmix"), d.desc().ids.presetPopup, kCCMixPercent, {35, 65, 100}}, d,
          [&] { return d.Do_CMixDlg(); });
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
