#include "app/ui/file_menus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "platform/toolbox/test_driver.h"
#include "support/session.h"

namespace fs = std::filesystem;
using namespace plat::tb;
using vmktest::Touch;

namespace {

class FileMenus : public ::testing::Test {
 protected:
  void SetUp() override {
    SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib");
    ASSERT_EQ(CreateWindowFromNib("Demo", &window_), noErr);
    popup_ = FindControl(window_, FourCC("Demo"), 7);
    ASSERT_NE(popup_, nullptr);
    DeleteMenuItems(popup_);
    presets_ = dir_.path() / "Vellmarkstead";
    fs::create_directories(presets_);
    // The maker's folder as the session keeps it: the folder that holds it
    // and its name.
    ASSERT_TRUE(SetFicFromPosix(&folder_, presets_.string()));
  }
  void TearDown() override {
    DisposeWindow(window_);
    driver_.Pump();
  }
  std::vector<std::string> Items() const {
    std::vector<std::string> out;
    for (int32_t i = 1; i <= CountMenuItems(popup_); ++i) out.push_back(GetMenuItemText(popup_, i));
    return out;
  }

  test::Driver driver_;
  vmktest::TempDir dir_;
  WindowRef window_ = nullptr;
  ControlRef popup_ = nullptr;
  fs::path presets_;
  fichier folder_;
  std::vector<FSSpec> list_ = std::vector<FSSpec>(512);
};

TEST_F(FileMenus, DuplicateNamesGiveOneItem) {
  Touch(presets_ / "Gold" / "frame.hbor");
  Touch(presets_ / "Silver" / "frame.hbor");
  Touch(presets_ / "plain.hbor");
  Touch(presets_ / "plain.hvig");
  const OSType types[] = {FourCC("hBor")};
  int32_t count = 0;
  InstallMenuFromFileType(popup_, &folder_, types, 255, &count, list_.data(), 0);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(Items(), (std::vector<std::string>{"frame", "plain"}));
  // The item stands for the file met first.
  EXPECT_EQ(FicToPosix(folder_) + "/Gold/frame.hbor", plat::files::SpecToPosix(list_[0]));
}

TEST_F(FileMenus, ItemsShowNamesAsSavedAndTheListKeepsTheFilesOnDisk) {
  Touch(presets_ / "Light.sse4");
  Touch(presets_ / "v1.2.sse4");
  Touch(presets_ / "Strong.SSE4");
  Touch(presets_ / "Light.sse5");
  Touch(presets_ / "Notes" / "read me.sse4.txt");
  const OSType types[] = {FourCC("Sse4")};
  int32_t count = 0;
  InstallMenuFromFileType(popup_, &folder_, types, 255, &count, list_.data(), 0);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(Items(), (std::vector<std::string>{"Light", "Strong", "v1.2"}));
  EXPECT_EQ(plat::files::SpecToPosix(list_[0]), (presets_ / "Light.sse4").string());
  EXPECT_EQ(plat::files::SpecToPosix(list_[1]), (presets_ / "Strong.SSE4").string());
  EXPECT_EQ(plat::files::SpecToPosix(list_[2]), (presets_ / "v1.2.sse4").string());

  // Numbered items and name scans show the same names; image names keep
  // their extension.
  DeleteMenuItems(popup_);
  Touch(presets_ / "Images" / "canvas.tif");
  count = 0;
  InstallMenuFromFileType(popup_, &folder_, types, 255, &count, list_.data(), 1);
  InstallMenuFromFileExt(popup_, &folder_, "canvas", 255, &count, list_.data(), 1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"1 Light", "2 Strong", "3 v1.2", "4 canvas.tif"}));
}

TEST_F(FileMenus, CapacityOf255With300FilesGives254Items) {
  for (int i = 0; i < 300; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "g%03d.hxgr", i);
    Touch(presets_ / name);
  }
  const OSType types[] = {FourCC("hXgr")};
  int32_t count = 0;
  InstallMenuFromFileType(popup_, &folder_, types, 255, &count, list_.data(), 0);
  EXPECT_EQ(count, 254);
  EXPECT_EQ(CountMenuItems(popup_), 254);
  EXPECT_EQ(GetMenuItemText(popup_, 254), "g253");
  EXPECT_EQ(PStrString(list_[253].name), "g253.hxgr");
  // The entry at the count is written but not counted, and gets no item.
  EXPECT_EQ(PStrString(list_[254].name), "g254.hxgr");
  EXPECT_EQ(list_[255].name[0], 0);
}

TEST_F(FileMenus, NumberedItemsContinueAcrossCalls) {
  Touch(presets_ / "a.tif");
  Touch(presets_ / "b.tif");
  Touch(presets_ / "More" / "c.tif");
  fichier more;
  ASSERT_TRUE(SetFicFromPosix(&more, (presets_ / "More").string()));
  Touch(presets_ / "Other" / "d.tif");
  fichier other;
  ASSERT_TRUE(SetFicFromPosix(&other, (presets_ / "Other").string()));
  int32_t count = 0;
  InstallMenuFromFileExt(popup_, &more, ".tif", 30000, &count, list_.data(), 1);
  InstallMenuFromFileExt(popup_, &other, ".tif", 30000, &count, list_.data(), 1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"1 c.tif", "2 d.tif"}));
  // The whole tree adds only the names not listed yet, numbered on.
  InstallMenuFromFileExt(popup_, &folder_, ".tif", 30000, &count, list_.data(), 1);
  EXPECT_EQ(Items(), (std::vector<std::string>{"1 c.tif", "2 d.tif", "3 a.tif", "4 b.tif"}));
  EXPECT_EQ(count, 4);
}

TEST_F(FileMenus, AMissingFolderAddsNothing) {
  AppendMenuItemText(popup_, "kept");
  fichier gone;
  ASSERT_TRUE(SetFicFromPosix(&gone, (dir_.path() / "Gone").string()));
  const OSType types[] = {FourCC("hBor")};
  int32_t count = 3;
  InstallMenuFromFileType(popup_, &gone, types, 255, &count, list_.data(), 0);
  InstallMenuFromFileExt(popup_, &gone, ".tif", 255, &count, list_.data(), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(Items(), (std::vector<std::string>{"kept"}));
}

}  // namespace
