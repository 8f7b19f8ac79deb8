// The default content library gives each colour-correction dialog three
// presets, listed in its popup and read through the engines' own reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
    check({FourCC("Kfoc"), 37, VMKkevrUI::FocusWord(2, 3), {50, 70, 90}}, d, [&] { return d.Do_KevrDlg(); });
  }
  {
    VMKcmixUI d;
    check({FourCC("Cmix"), d.desc().ids.presetPopup, kCCMixPercent, {35, 65, 100}}, d,
          [&] { return d.Do_CMixDlg(); });
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// The popup shows the presets as they were saved ("Light", not the file
// "Light.sse4"); an item reads its own file, Save... over a shown name
// replaces that file instead of making a second one, and a name with a dot
// of its own keeps it.
TEST_F(ColCorDialogTest, PresetsShowAsSavedAndSavingOverAShownNameReplacesItsFile) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  const fs::path folder = bundle_.makersFile("Presets/Noise reduction");
  ASSERT_TRUE(fs::exists(folder / "Light.sse4"));
  constexpr OSType kDnoi = FourCC("Dnoi");
  constexpr int32_t kPopup = 37, kSave = 105, kCancel = 102, kWord = kCCNoise + 1;
  auto items = [](tb::WindowRef w) {
    std::vector<std::string> out;
    tb::ControlRef popup = tb::FindControl(w, kDnoi, kPopup);
    for (int32_t i = 1; i <= tb::CountMenuItems(popup); ++i)
      out.push_back(tb::GetMenuItemText(popup, i));
    return out;
  };
  auto files = [&] {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
      out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  };
  driver_.ui().AnswerSaveFile((folder / "Light").string());
  driver_.ui().AnswerSaveFile((folder / "v1.2").string());
  VMKdnoiUI d;
  std::vector<int32_t> seen;
  auto read = [&](tb::WindowRef) { seen.push_back(d.Word(kWord)); };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(items(w), (std::vector<std::string>{"Light", "Medium", "Strong"}));
      })
      .Choose(kDnoi, kPopup, 3)
      .Do(read)
      .Press(kDnoi, kSave)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(items(w), (std::vector<std::string>{"Light", "Medium", "Strong"}));
        EXPECT_EQ(files(), (std::vector<std::string>{"Light.sse4", "Medium.sse4", "Strong.sse4"}));
      })
      .Choose(kDnoi, kPopup, 2)
      .Do(read)
      .Choose(kDnoi, kPopup, 1)
      .Do(read)
      .Press(kDnoi, kSave)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(items(w), (std::vector<std::string>{"Light", "Medium", "Strong", "v1.2"}));
        EXPECT_EQ(files(), (std::vector<std::string>{"Light.sse4", "Medium.sse4", "Strong.sse4",
                                                     "v1.2.sse4"}));
      })
      .Choose(kDnoi, kPopup, 2)
      .Choose(kDnoi, kPopup, 4)
      .Do(read)
      .Press(kDnoi, kCancel);
  d.Do_DNoiDlg();
  // Strong's 80, Medium's 50, then Light holding what was saved over it, and
  // v1.2 the same.
  EXPECT_EQ(seen, (std::vector<int32_t>{80, 50, 80, 80}));
  // The save dialog offered no suffix and was told the type that brings it.
  ASSERT_EQ(driver_.ui().saveRequests.size(), 2u);
  EXPECT_EQ(driver_.ui().saveRequests[0].type, FourCC("Sse4"));
  EXPECT_TRUE(driver_.errors().empty());
}

// Save... offers the name of the preset in front of the user, as the popup
// shows it: none before one is chosen, then the one chosen in the popup, the
// file Load... read and the name the last Save... wrote, never its suffix.
TEST_F(ColCorDialogTest, SaveOffersTheShownNameOfThePresetLastChosenLoadedOrSaved) {
  namespace fs = std::filesystem;
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  const fs::path folder = bundle_.makersFile("Presets/Noise reduction");
  constexpr OSType kDnoi = FourCC("Dnoi");
  constexpr int32_t kPopup = 37, kLoad = 104, kSave = 105, kCancel = 102;
  auto& ui = driver_.ui();
  ui.AnswerSaveFile(std::nullopt);                   // nothing chosen yet
  ui.AnswerSaveFile(std::nullopt);                   // after Strong in the popup
  ui.AnswerSaveFile((folder / "Mine").string());     // saved as Mine
  ui.AnswerSaveFile(std::nullopt);                   // after that save
  ui.AnswerOpenFile((folder / "Medium.sse4").string());
  ui.AnswerSaveFile(std::nullopt);                   // after Load... of Medium
  ui.AnswerOpenFile(std::nullopt);                   // a Load... cancelled
  ui.AnswerSaveFile(std::nullopt);
  VMKdnoiUI d;
  driver_.Advance(0.1)
      .Press(kDnoi, kSave)
      .Choose(kDnoi, kPopup, 3)
      .Press(kDnoi, kSave)
      .Press(kDnoi, kSave)
      .Press(kDnoi, kSave)
      .Press(kDnoi, kLoad)
      .Press(kDnoi, kSave)
      .Press(kDnoi, kLoad)
      .Press(kDnoi, kSave)
      .Press(kDnoi, kCancel);
  d.Do_DNoiDlg();
  std::vector<std::string> offered;
  for (const auto& r : ui.saveRequests) offered.push_back(r.defaultName);
  EXPECT_EQ(offered, (std::vector<std::string>{"", "Strong", "Strong", "Mine", "Medium", "Medium"}));
  EXPECT_TRUE(fs::exists(folder / "Mine.sse4"));
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
