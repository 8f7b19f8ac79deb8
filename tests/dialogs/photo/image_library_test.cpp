// The library keeper over a maker's folder of the test's own images: list
// file, menus, rebuilds through confirmation, damaged and failed files.
#include "dialogs/photo/image_library.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "dialogs/editor/effect_list.h"
#include "engines/patterns/spray_record.h"
#include "host/session/view_registry.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"
#include "photo_fixture.h"

namespace fs = std::filesystem;
namespace tb = plat::tb;

namespace {

constexpr OSType kLima = FourCC("Lima");
constexpr OSType kUpdt = FourCC("Updt");

class LibraryKeeperTest : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    ASSERT_EQ(tb::CreateWindowFromNib("LoadIma", &window_), 0);
    cat_ = tb::FindControl(window_, kLima, 23);
    nam_ = tb::FindControl(window_, kLima, 24);
    ASSERT_NE(cat_, nullptr);
    ASSERT_NE(nam_, nullptr);
  }
  void TearDown() override {
    tb::DisposeWindow(window_);
    PhotoDialogTest::TearDown();
  }
  // Answers the "Update" confirmation: OK (1) or Cancel (2).
  void Confirm(bool yes) { driver_.Press(kUpdt, yes ? 1 : 2); }

  tb::WindowRef window_ = nullptr;
  tb::ControlRef cat_ = nullptr;
  tb::ControlRef nam_ = nullptr;
};

TEST_F(LibraryKeeperTest, MissingListIsRebuiltAfterConfirmationAndFillsBothMenus) {
  Image("Tiles/b.tif", 20, 10);
  Image("Tiles/a.tif", 10, 20);
  Image("Edges/e.jpg", 30, 30);
  VMKlistima keeper(15);
  // The constructor knows every field the header is written from.
  EXPECT_EQ(keeper.entryCount, 0);
  EXPECT_EQ(keeper.categoryCount, 0);
  EXPECT_EQ(keeper.entriesInCategory, 0);
  EXPECT_EQ(keeper.pageSize, 0);
  EXPECT_EQ(keeper.lastDrawnFirst, -1);
  EXPECT_EQ(keeper.selectedCategory, 1);
  EXPECT_EQ(keeper.slotCount, 15);
  Confirm(true);
  EXPECT_EQ(keeper.PrepareCatNamMenus(cat_, nam_), 3);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(vmktest::Items(cat_), (std::vector<std::string>{"ALL", "Tiles", "Edges"}));
  EXPECT_EQ(vmktest::Items(nam_), (std::vector<std::string>{"1 a.tif", "2 b.tif", "3 e.jpg"}));
  EXPECT_EQ(keeper.entryCount, 3);
  EXPECT_EQ(keeper.categoryCount, 3);
  // Counted after the rebuild, then read back from the header as the
  // rebuild wrote it.
  EXPECT_EQ(keeper.entriesInCategory, 0);
  // The progress window came and went; the file holds what the keeper says.
  ImaList list;
  ASSERT_EQ(ReadImaListFile(listFile_, &list), 0);
  EXPECT_EQ(list.header.entryCount, 3);
  EXPECT_EQ(list.header.categoryCount, 3);
  EXPECT_EQ(list.categories[0].count, 4);

  keeper.selectedCategory = 2;
  EXPECT_EQ(keeper.LoadNamMenus(cat_, nam_), 2);
  EXPECT_EQ(vmktest::Items(nam_), (std::vector<std::string>{"a.tif", "b.tif"}));
  int16_t n = -1, at = -1;
  keeper.NbIma_Cat(cat_, &n, 3);
  EXPECT_EQ(n, 1);
  keeper.NbIma_Cat(cat_, &n, 0);  // below 1 counts "ALL"
  EXPECT_EQ(n, 3);
  keeper.NbIma_inCat(cat_, &at, 3);
  EXPECT_EQ(at, 2);
  at = 77;
  keeper.NbIma_inCat(cat_, &at, 9);  // no such item
  EXPECT_EQ(at, 77);
}

TEST_F(LibraryKeeperTest, AnExistingListIsUsedAsItStands) {
  Image("Tiles/a.tif", 10, 10);
  VMKlistima first(15);
  Confirm(true);
  first.PrepareCatNamMenus(cat_, nam_);
  const std::vector<uint8_t> bytes = vmktest::ReadBytes(ListPath());
  Image("Tiles/z.tif", 10, 10);  // not listed until an update
  VMKlistima keeper(15);
  EXPECT_EQ(keeper.PrepareCatNamMenus(cat_, nam_), 1);  // no confirmation asked
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), bytes);
}

TEST_F(LibraryKeeperTest, AllNumbersItemsByListPositionWithGaps) {
  Image("Tiles/a.tif", 10, 10);
  Image("Tiles/b.tif", 10, 10);
  Image("Tiles/c.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  fs::remove(makers_ / "Tiles" / "b.tif");
  EXPECT_EQ(keeper.LoadNamMenus(cat_, nam_), 2);
  EXPECT_EQ(vmktest::Items(nam_), (std::vector<std::string>{"1 a.tif", "3 c.tif"}));
  // A moved image is still found in the maker's category folder.
  fs::create_directories(makers_ / "Elsewhere");
  fs::rename(makers_ / "Tiles" / "c.tif", makers_ / "Elsewhere" / "c.tif");
  EXPECT_EQ(keeper.LoadNamMenus(cat_, nam_), 1);
  fs::create_directories(makers_ / "Vellmarkstead" / "Tiles");
  fs::rename(makers_ / "Elsewhere" / "c.tif", makers_ / "Vellmarkstead" / "Tiles" / "c.tif");
  EXPECT_EQ(keeper.LoadNamMenus(cat_, nam_), 2);
}

TEST_F(LibraryKeeperTest, DeclinedRebuildWritesNothingAndLeavesTheMenusEmpty) {
  Image("Tiles/a.tif", 10, 10);
  tb::AppendMenuItemText(cat_, "stale");
  tb::AppendMenuItemText(nam_, "stale");
  VMKlistima keeper(15);
  Confirm(false);
  EXPECT_EQ(keeper.PrepareCatNamMenus(cat_, nam_), 0);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_FALSE(fs::exists(ListPath()));
  EXPECT_EQ(tb::CountMenuItems(cat_), 0);
  EXPECT_EQ(tb::CountMenuItems(nam_), 0);
  EXPECT_EQ(keeper.entryCount, 0);
  EXPECT_EQ(keeper.categoryCount, 0);
}

TEST_F(LibraryKeeperTest, ARebuildTheFolderCannotTakeNamesTheFolderAndKeepsTheOldFiles) {
  Image("Tiles/a.tif", 10, 10);
  const std::string folder = fs::path(ListPath()).parent_path().string();
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  keeper.PrepareBufImaListFile(0);
  const std::vector<uint8_t> list = vmktest::ReadBytes(ListPath());
  const std::vector<uint8_t> thumbs = vmktest::ReadBytes(ThumbPath());
  Image("Tiles/b.tif", 10, 10);
  auto& alerts = driver_.ui().alertRequests;
  // Out of memory is no fault of the folder: nothing is said of it.
  {
    vmktest::NoWorkMemory none;
    keeper.PrepareBufImaListFile(1);
  }
  EXPECT_TRUE(alerts.empty());
  plat::files::FailWritesForTesting(folder, ENOSPC);
  EXPECT_EQ(keeper.PrepareImaListFile(1), -1);
  keeper.PrepareBufImaListFile(1);
  // The category table written again: the menu is made all the same.
  keeper.PrepareListCat(cat_);
  plat::files::FailWritesForTesting("", 0);
  EXPECT_EQ(tb::CountMenuItems(cat_), 2);
  ASSERT_EQ(alerts.size(), 3u);
  EXPECT_EQ(alerts[2].params[0], alerts[0].params[0]);
  EXPECT_EQ(alerts[0].alertId, 129);
  EXPECT_EQ(alerts[0].params[0], "The image library's list could not be written in the folder \"" + folder + "\".");
  EXPECT_EQ(alerts[0].params[1], "The folder cannot take its files; the library was left as it was.");
  EXPECT_EQ(alerts[1].params[0],
            "The image library's thumbnails could not be written in the folder \"" + folder + "\".");
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), list);
  EXPECT_EQ(vmktest::ReadBytes(ThumbPath()), thumbs);
  // A picker opened on a folder with no list asks for the rebuild, which
  // fails aloud and leaves the menus empty.
  fs::remove(ListPath());
  alerts.clear();
  VMKlistima fresh(15);
  Confirm(true);
  plat::files::FailWritesForTesting(folder, EROFS);
  EXPECT_EQ(fresh.PrepareCatNamMenus(cat_, nam_), 0);
  plat::files::FailWritesForTesting("", 0);
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].params[0].find(folder), std::string::npos);
  EXPECT_EQ(tb::CountMenuItems(nam_), 0);
  EXPECT_FALSE(fs::exists(ListPath()));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LibraryKeeperTest, DamagedListsAreOfferedARebuild) {
  Image("Tiles/a.tif", 10, 10);
  Image("Lights/l.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  const std::vector<uint8_t> good = vmktest::ReadBytes(ListPath());
  auto damaged = [&](std::vector<uint8_t> bytes, const char* what) {
    vmktest::WriteBytes(ListPath(), bytes);
    VMKlistima k(15);
    Confirm(true);
    EXPECT_EQ(k.PrepareCatNamMenus(cat_, nam_), 2) << what;
    EXPECT_TRUE(driver_.errors().empty()) << what;
    EXPECT_EQ(driver_.PendingSteps(), 0u) << what << ": no confirmation was asked";
    driver_.Pump();
    EXPECT_EQ(vmktest::ReadBytes(ListPath()), good) << what;
  };
  std::vector<uint8_t> b = good;
  b.resize(b.size() - 100);
  damaged(b, "truncated");
  b = good;
  b[8] = 40;
  damaged(b, "N past the size");
  b = good;
  b[6] = 0;
  damaged(b, "C = 0");
  b = good;
  std::fill(b.begin() + 582, b.begin() + 582 + 255, 'x');
  damaged(b, "unterminated");
  b = good;
  b[582 + 510] = 255;
  damaged(b, "length 255");
  // Words 0 and 1 outside their ranges are taken as 1 and 0: no rebuild.
  b = good;
  b[0] = 4;
  b[2] = 0xFF;
  b[3] = 0xFF;
  vmktest::WriteBytes(ListPath(), b);
  VMKlistima k(15);
  EXPECT_EQ(k.PrepareCatNamMenus(cat_, nam_), 2);
  EXPECT_EQ(k.selectedCategory, 1);
  EXPECT_EQ(k.firstVisible, 0);
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), b);
}

TEST_F(LibraryKeeperTest, HeaderWordsZeroAndOneSurviveANewKeeper) {
  Image("Tiles/a.tif", 10, 10);
  Image("Lights/l.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  ASSERT_EQ(WriteImaListHeaderWords(listFile_, 3, 7), 0);
  VMKlistima again(15);
  EXPECT_EQ(again.PrepareCatNamMenus(cat_, nam_), 1);
  EXPECT_EQ(again.selectedCategory, 3);
  EXPECT_EQ(again.firstVisible, 7);
  EXPECT_EQ(vmktest::Items(nam_), (std::vector<std::string>{"a.tif"}));  // Tiles
}

TEST_F(LibraryKeeperTest, RebuildsFailingMidwayLeaveTheOldFilesByteIdentical) {
  Image("Tiles/a.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  keeper.PrepareBufImaListFile(0);
  const std::vector<uint8_t> list = vmktest::ReadBytes(ListPath());
  const std::vector<uint8_t> thumbs = vmktest::ReadBytes(ThumbPath());
  ASSERT_EQ(thumbs.size(), 68632u);
  Image("Tiles/b.tif", 10, 10);
  // The fourth pass cannot have its scratch menu.
  driver_.ui().AcceptMenus(3);
  keeper.entryCount = 0;
  EXPECT_EQ(keeper.PrepareImaListFile(1), -1);
  EXPECT_EQ(keeper.entryCount, 2);  // the count of the last finished pass
  driver_.ui().AcceptMenus(-1);
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), list);
  {
    vmktest::NoWorkMemory none;
    EXPECT_EQ(keeper.PrepareImaListFile(1), -1);
    keeper.PrepareBufImaListFile(1);
  }
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), list);
  EXPECT_EQ(vmktest::ReadBytes(ThumbPath()), thumbs);
  // Done properly, both files take the new image.
  EXPECT_EQ(keeper.PrepareImaListFile(1), 0);
  keeper.PrepareBufImaListFile(1);
  EXPECT_EQ(vmktest::ReadBytes(ThumbPath()).size(), 2u * 68632u);
  EXPECT_EQ(plat::ui::LastCursor().id, plat::ui::kArrowCursor);
}

TEST_F(LibraryKeeperTest, ThumbnailsAreBuiltWhenMissingOrForced) {
  Image("Tiles/a.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  keeper.PrepareBufImaListFile(0);
  ASSERT_TRUE(fs::exists(ThumbPath()));
  vmktest::WriteBytes(ThumbPath(), {1, 2, 3});
  keeper.PrepareBufImaListFile(0);  // there: left alone
  EXPECT_EQ(vmktest::ReadBytes(ThumbPath()), (std::vector<uint8_t>{1, 2, 3}));
  keeper.PrepareBufImaListFile(1);
  EXPECT_EQ(vmktest::ReadBytes(ThumbPath()).size(), 68632u);
  // The spinning cursor while it works, the arrow afterwards.
  bool spun = false;
  for (const plat::ui::CursorChoice& c : driver_.ui().cursors) spun |= c.id == plat::ui::kSpinningCursor;
  EXPECT_TRUE(spun);
}

TEST_F(LibraryKeeperTest, PickingTakesTheNthThumbnailOfTheCategory) {
  Image("Tiles/a.tif", 10, 10);
  Image("Tiles/b.tif", 10, 10);
  Image("Lights/l.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  keeper.PrepareBufImaListFile(0);
  fichier f;
  Init_FicStruct(&f);
  f.creator = FourCC("vMkC");
  // "ALL" in list order: Lights before Tiles.
  keeper.GetFichInList(cat_, 0, &f);
  EXPECT_EQ(PStrString(f.name), "l.tif");
  EXPECT_EQ(PStrString(f.path), Colon("Lights"));
  EXPECT_EQ(FicToPosix(f), (makers_ / "Lights" / "l.tif").string());
  keeper.selectedCategory = 3;  // Tiles
  keeper.GetFichInList(cat_, 1, &f);
  EXPECT_EQ(PStrString(f.name), "b.tif");
  keeper.GetFichInList(cat_, 2, &f);  // none: untouched
  EXPECT_EQ(PStrString(f.name), "b.tif");
  keeper.GetFichInList(cat_, -1, &f);
  EXPECT_EQ(PStrString(f.name), "b.tif");
  EXPECT_EQ(f.creator, FourCC("vMkC"));
}

TEST_F(LibraryKeeperTest, NamesAreCheckedAgainstTheWholeList) {
  Image("Tiles/a.tif", 10, 10);
  VMKlistima keeper(15);
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  unsigned char name[256];
  SetPStr(name, "a.tif");
  EXPECT_EQ(keeper.CheckNamInList(name), 1);
  EXPECT_STREQ(reinterpret_cast<char*>(name), "a.tif");  // now zero-terminated
  SetPStr(name, "b.tif");
  EXPECT_EQ(keeper.CheckNamInList(name), 0);
}

TEST_F(LibraryKeeperTest, PagesAreDrawnOnceAndTheHeaderIsKeptOnlyOnAShortPage) {
  for (int i = 1; i <= 20; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Tiles1/p%02d.tif", i);
    Image(name, 8 + i, 8, static_cast<uint8_t>(10 * i), 0, 0);
  }
  for (const char* n : {"Lights/a.tif", "Lights/b.tif", "Lights/c.tif"}) Image(n, 12, 12);
  VMKlistima keeper(15);
  keeper.pageSize = 15;
  Confirm(true);
  keeper.PrepareCatNamMenus(cat_, nam_);
  keeper.PrepareBufImaListFile(0);
  TSSeff slots[15];
  SprayPar images[15];
  // The first picker box, bound to the window's first thumbnail view.
  VMKimabox& box = *gVMKapp->ImageView(FindCustomView("com.vellmarkstead.lima.HIima0"));
  box.InitBuf(21);
  VMKimabox* boxes[15] = {&box};
  keeper.selectedCategory = 3;  // Tiles1 (Lights comes first by name)
  keeper.firstVisible = 2;
  const std::vector<uint8_t> header = vmktest::ReadBytes(ListPath());
  // A full page: the header is not written.
  keeper.UpdatePreviews(cat_, -1, slots, images, boxes);
  EXPECT_EQ(keeper.shownOnPage, 15);
  EXPECT_EQ(keeper.lastDrawnFirst, 0);
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), header);
  EXPECT_EQ(slots[0].filled, 1);
  EXPECT_EQ(slots[0].previewWidth, 130);
  EXPECT_EQ(slots[0].previewHeight, 130);
  EXPECT_EQ(PStrString(slots[3].file.name), "p04.tif");
  EXPECT_EQ(PStrString(images[3].file.path), Colon("Tiles1"));
  EXPECT_EQ(images[3].width, 130);
  EXPECT_EQ(images[3].height, 8 * 130 / 12);
  std::vector<char> first(130 * 130 * 4), blank(130 * 130 * 4), now(130 * 130 * 4);
  box.GetBuf(130, 130, first.data(), 130, 130);
  // The same first draws nothing: the box keeps what it was given since.
  box.SetBuf(0, 130, 130, blank.data(), 130, 130, 255);
  keeper.UpdatePreviews(cat_, 0, slots, images, boxes);
  box.GetBuf(130, 130, now.data(), 130, 130);
  EXPECT_NE(now, first);
  // -1 always draws.
  keeper.UpdatePreviews(cat_, -1, slots, images, boxes);
  box.GetBuf(130, 130, now.data(), 130, 130);
  EXPECT_EQ(now, first);
  // A short page (from 10: ten thumbnails) keeps category and first visible.
  keeper.UpdatePreviews(cat_, 10, slots, images, boxes);
  EXPECT_EQ(keeper.shownOnPage, 10);
  EXPECT_EQ(slots[9].filled, 1);
  EXPECT_EQ(slots[10].filled, 0);
  std::vector<uint8_t> kept = header;
  kept[0] = 3;
  kept[1] = 0;
  kept[2] = 2;
  kept[3] = 0;
  EXPECT_EQ(vmktest::ReadBytes(ListPath()), kept);
  // Another category draws only its own; no page size draws nothing.
  keeper.selectedCategory = 2;
  keeper.UpdatePreviews(cat_, -1, slots, images, boxes);
  EXPECT_EQ(keeper.shownOnPage, 3);
  EXPECT_EQ(PStrString(slots[2].file.name), "c.tif");
  keeper.pageSize = 0;
  keeper.UpdatePreviews(cat_, -1, slots, images, boxes);
  EXPECT_EQ(keeper.shownOnPage, 0);
  EXPECT_EQ(slots[0].filled, 0);
}

}  // namespace
