// The ramp library of the default content: three categories of ramps that
// the ramp dialogs list, the same bytes at every run, and pictures of both
// ramp windows on it for a person to look at.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <filesystem>
#include <functional>

#include "dialogs/patterns/ramp_browser.h"
#include "dialogs/patterns/ramp_editor.h"
#include "dialogs/patterns/ramp_fixture.h"

using vmktest::RampDialogTest;
namespace tb = plat::tb;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> RampFiles(const fs::path& folder) {
  std::vector<fs::path> out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.path().extension() == ".hvig") out.push_back(fs::relative(e.path(), folder));
  std::sort(out.begin(), out.end());
  return out;
}

TEST_F(RampDialogTest, TheContentLibraryHoldsFourBasicSevenMetalAndTwentySpectrumRampsTheSameAtEveryRun) {
  const fs::path mine = bundle_.makersFile("");
  ASSERT_TRUE(vmktest::MakeContentLibrary(mine.string()));
  vmktest::TempDir other;
  ASSERT_TRUE(vmktest::MakeContentLibrary(other.path().string()));
  const std::vector<fs::path> files = RampFiles(mine);
  ASSERT_EQ(files.size(), 31u);
  EXPECT_EQ(RampFiles(other.path()), files);
  for (const fs::path& f : files) {
    const std::vector<uint8_t> bytes = vmktest::ReadBytes((mine / f).string());
    EXPECT_EQ(bytes.size(), static_cast<size_t>(kLutVignFileSize)) << f;
    EXPECT_EQ(vmktest::ReadBytes((other.path() / f).string()), bytes) << f;
  }
  VMKlisteff keeper(1, 6);
  MenuRef categories = plat::ui::NewMenu(1, "c");
  MenuRef names = plat::ui::NewMenu(2, "n");
  keeper.PrepareCatNamMenus(categories, names, 0);
  std::vector<std::string> seen;
  for (int16_t item = 1; item <= plat::ui::CountMenuItems(categories); ++item) {
    int16_t count = 0;
    keeper.NbEff_Cat(categories, &count, item);
    seen.push_back(plat::ui::GetMenuItemText(categories, item) + " " + std::to_string(count));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"ALL 31", "Basic 4", "Metals 7", "Spectrum 20"}));
  plat::ui::DisposeMenu(categories);
  plat::ui::DisposeMenu(names);
}

// Left in the build tree; never compared.
TEST_F(RampDialogTest, ScreenshotsOfTheRampEditorAndBrowser) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  auto shoot = [&](const char* name, OSType sig, const std::function<void()>& before,
                   const std::function<int16_t()>& run) {
    driver_.Advance(0.01);
    before();
    driver_.Advance(0.6)
        .Do([&](tb::WindowRef w) { EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")) << name; })
        .Press(sig, 2);
    EXPECT_EQ(run(), 0) << name;
  };
  {
    VMKadjvignUI editor;
    editor.SetAdjVignFlagPreview(1);
    shoot("AdjVign", FourCC("Avig"), [&] { driver_.Choose(FourCC("Avig"), 43, 12); },
          [&] { return editor.Do_AdjVignUIDlg(); });
  }
  {
    VMKloadvign browser;
    shoot("LoadVign", FourCC("Lvig"), [&] { driver_.Choose(FourCC("Lvig"), 21, 3); },
          [&] { return browser.Do_LoadVignDlg(); });
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
