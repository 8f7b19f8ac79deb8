// The effect-list keeper: building, reading and rebuilding the list file of a family, its
// menus, the preview fill of the slots and the loading of a stored effect into a layer.
#include "dialogs/editor/effect_list.h"

#include <array>
#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "effect_list_fixture.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "script/layers.h"
#include "script/operation.h"

namespace {

using vmktest::EffectListTest;

constexpr const char* kPspList = ":com.vellmarkstead.pspeff.lst";

struct Menus {
  Menus() : cat(plat::ui::NewMenu(1, "cat")), nam(plat::ui::NewMenu(2, "nam")) {}
  ~Menus() {
    plat::ui::DisposeMenu(cat);
    plat::ui::DisposeMenu(nam);
  }
  std::vector<std::string> Names() const { return nam->items; }
  MenuRef cat;
  MenuRef nam;
};

struct Slots {
  explicit Slots(int n) : slots(static_cast<size_t>(n)), table(static_cast<size_t>(n)) {
    for (size_t k = 0; k < slots.size(); ++k) table[k] = &slots[k];
  }
  std::vector<TSSeff> slots;
  std::vector<TSSeff*> table;
  TSSeff** get() { return table.data(); }
};

TEST_F(EffectListTest, EmptyFolderMakesTheSmallestList) {
  VMKlisteff list(0, 15);
  Menus m;
  EXPECT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 0);
  const std::vector<uint8_t> b = vmktest::ReadBytes(ListPath(kPspList));
  ASSERT_EQ(b.size(), 267u);
  EXPECT_EQ(plat::bytes::loadLE16(b.data() + 6), 1);
  EXPECT_EQ(plat::bytes::loadLE16(b.data() + 10), 1);
  EXPECT_EQ(m.cat->items, std::vector<std::string>{"ALL"});
  EXPECT_TRUE(m.Names().empty());
}

TEST_F(EffectListTest, CategoriesNamesAndCounts) {
  stored_->Effect("one", "A");
  stored_->Effect("two", "B");
  stored_->Effect("three", "A");
  stored_->Effect("four", "ALL");
  stored_->Effect("other", "A", FourCC("aCH4"));  // another family's type: not listed
  VMKlisteff list(0, 15);
  Menus m;
  ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 4);
  EXPECT_EQ(m.cat->items, (std::vector<std::string>{"ALL", "A", "B"}));
  // Files are listed in name order; under "ALL" each name carries its place.
  EXPECT_EQ(m.Names(), (std::vector<std::string>{"1 four", "2 one", "3 three", "4 two"}));
  EXPECT_EQ(list.entryCount, 4);
  EXPECT_EQ(list.categoryCount, 3);
  // The rebuild counts the selected category, but the header read after it still holds
  // the word written before the count.
  EXPECT_EQ(list.categoryEntries, 0);
  int16_t count = -1;
  list.NbEff_Cat(m.cat, &count, 2);
  EXPECT_EQ(count, 2);
  list.NbEff_Cat(m.cat, &count, 0);
  EXPECT_EQ(count, 4);

  list.selectedCategory = 2;
  EXPECT_EQ(list.LoadNamMenus(m.cat, m.nam), 2);
  EXPECT_EQ(m.Names(), (std::vector<std::string>{"one", "three"}));
  fichier f;
  list.GetFichInList(m.cat, 1, &f);
  EXPECT_EQ(PStrString(f.name), "three.ach1");
  EXPECT_EQ(FicToPosix(f), (makers() / "Effects" / "three.ach1").string());
  fichier untouched;
  SetPStr(untouched.name, "kept");
  list.GetFichInList(m.cat, 2, &untouched);
  EXPECT_EQ(PStrString(untouched.name), "kept");

  const std::vector<uint8_t> b = vmktest::ReadBytes(ListPath(kPspList));
  EXPECT_EQ(b[6], 3);
  EXPECT_EQ(b[7], 0);
}

TEST_F(EffectListTest, ReopeningFindsTheSameCategoryAndPosition) {
  for (const char* n : {"a", "b", "c", "d", "e"}) stored_->Effect(n, "Warm");
  {
    VMKlisteff list(0, 2);
    Menus m;
    list.fillLimit = 2;
    list.PrepareCatNamMenus(m.cat, m.nam, 117);
    list.selectedCategory = 2;
    list.firstVisible = 3;
    Slots s(2);
    list.UpdatePreviews(0, m.cat, 3, 0, s.get(), nullptr, nullptr);
  }
  VMKlisteff again(0, 2);
  Menus m;
  EXPECT_EQ(again.PrepareCatNamMenus(m.cat, m.nam, 117), 5);
  EXPECT_EQ(again.selectedCategory, 2);
  EXPECT_EQ(again.firstVisible, 3);
  EXPECT_EQ(m.Names().front(), "a");
}

TEST_F(EffectListTest, ListIsRebuiltOnlyWhenMissingOrDamaged) {
  stored_->Effect("one", "A");
  Menus m;
  {
    VMKlisteff list(0, 15);
    ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 1);
  }
  stored_->Effect("two", "A");
  VMKlisteff list(0, 15);
  // A list that reads is kept as it stands: the new file is not there yet.
  EXPECT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 1);
  list.PrepareEffListFile(117);
  list.PrepareListCat(m.cat);
  EXPECT_EQ(list.LoadNamMenus(m.cat, m.nam), 2);

  const std::string path = ListPath(kPspList);
  const std::vector<uint8_t> good = vmktest::ReadBytes(path);
  const auto damaged = [&](std::vector<uint8_t> b, const char* what) {
    vmktest::WriteBytes(path, b);
    stored_->Effect("three", "B");
    VMKlisteff fresh(0, 15);
    Menus n;
    EXPECT_EQ(fresh.PrepareCatNamMenus(n.cat, n.nam, 117), 3) << what;
    EXPECT_EQ(n.cat->items, (std::vector<std::string>{"ALL", "A", "B"})) << what;
    std::filesystem::remove(makers() / "Effects" / "three.ach1");
  };
  damaged(std::vector<uint8_t>(good.begin(), good.begin() + 700), "truncated");
  std::vector<uint8_t> b = good;
  plat::bytes::storeLE16(b.data() + 8, 9);
  damaged(b, "count beyond the size");
  b = good;
  std::memset(b.data() + 10 + 765 + 1, 'x', 254);
  b[10 + 765] = 200;
  damaged(b, "over-long name");
  b = good;
  std::memset(b.data() + 10, 'c', 255);
  damaged(b, "category without its zero");
}

TEST_F(EffectListTest, ARebuildTheFolderCannotTakeNamesTheFolderAndKeepsTheOldList) {
  stored_->Effect("one", "A");
  Menus m;
  {
    VMKlisteff list(0, 15);
    ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 1);
  }
  const std::string path = ListPath(kPspList);
  const std::vector<uint8_t> good = vmktest::ReadBytes(path);
  stored_->Effect("two", "B");
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  const std::string folder = makers().string();
  for (int error : {ENOSPC, EROFS}) {
    VMKlisteff list(0, 15);
    plat::files::FailWritesForTesting(folder, error);
    list.PrepareEffListFile(117);
    plat::files::FailWritesForTesting("", 0);
    EXPECT_EQ(vmktest::ReadBytes(path), good) << error;
  }
  ASSERT_EQ(ui.alertRequests.size(), 2u);
  EXPECT_EQ(ui.alertRequests[0].alertId, 129);
  EXPECT_EQ(ui.alertRequests[0].params[0],
            "The list of stored effects could not be written in the folder \"" + folder + "\".");
  EXPECT_EQ(ui.alertRequests[0].params[1], "The folder cannot take its files; the list was left as it was.");
  // A damaged list whose rebuild fails leaves an empty browser, but not a
  // silent one.
  vmktest::WriteBytes(path, {1, 2, 3});
  ui.alertRequests.clear();
  VMKlisteff list(0, 15);
  Menus n;
  plat::files::FailWritesForTesting(folder, ENOSPC);
  EXPECT_EQ(list.PrepareCatNamMenus(n.cat, n.nam, 117), 0);
  plat::files::FailWritesForTesting("", 0);
  EXPECT_EQ(ui.alertRequests.size(), 1u);
  EXPECT_EQ(vmktest::ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  for (const auto& item : std::filesystem::directory_iterator(makers()))
    EXPECT_NE(item.path().filename().string().rfind(".~", 0), 0u) << item.path();
}

TEST_F(EffectListTest, ACategoryTableTheFolderWillNotMendIsNamedAndTheListStays) {
  stored_->Effect("one", "A");
  stored_->Effect("two", "B");
  Menus m;
  {
    VMKlisteff list(0, 15);
    ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 2);
  }
  const std::string path = ListPath(kPspList);
  std::vector<uint8_t> bytes = vmktest::ReadBytes(path);
  // A list written elsewhere: its last category claims five entries.
  ASSERT_GT(bytes.size(), efflist::kCategorySize);
  bytes[bytes.size() - efflist::kCategorySize] = 5;
  vmktest::WriteBytes(path, bytes);
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices scoped(&ui);
  VMKlisteff list(0, 15);
  ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 2);
  plat::files::FailWritesForTesting(makers().string(), EROFS);
  list.PrepareListCat(m.cat);
  plat::files::FailWritesForTesting("", 0);
  // The menus show the categories as the entries have them all the same.
  EXPECT_EQ(plat::ui::CountMenuItems(m.cat), 3);
  EXPECT_EQ(vmktest::ReadBytes(path), bytes);
  ASSERT_EQ(ui.alertRequests.size(), 1u);
  EXPECT_EQ(ui.alertRequests[0].alertId, 129);
  EXPECT_EQ(ui.alertRequests[0].params[0], "The list of stored effects could not be written as \"" + path + "\".");
  EXPECT_EQ(ui.alertRequests[0].params[1], "The folder cannot take its files; the list was left as it was.");
  // A folder that takes it: mended without a word.
  list.PrepareListCat(m.cat);
  EXPECT_EQ(ui.alertRequests.size(), 1u);
  bytes[bytes.size() - efflist::kCategorySize] = 1;
  EXPECT_EQ(vmktest::ReadBytes(path), bytes);
}

TEST_F(EffectListTest, PreviewFillFollowsTheEntries) {
  stored_->Effect("a", "A", FourCC("aCH1"), 11, 5, 130, 100, 10);
  stored_->Effect("b", "A", FourCC("aCH1"), 11, 5, 200, 300, 20);  // claims too much
  stored_->Effect("c", "A", FourCC("aCH1"), 11, 5, 30, 20, 30);
  stored_->Effect("d", "A", FourCC("aCH1"), 11, 5, 40, 50, 40);
  VMKlisteff list(0, 3);
  list.fillLimit = 3;
  Menus m;
  ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 4);
  // Entry c's file is damaged after the list was made: its slot stays empty.
  vmktest::WriteBytes((makers() / "Effects" / "c.ach1").string(), {1, 2, 3});
  Slots s(3);
  list.UpdatePreviews(0, m.cat, 1, 0, s.get(), nullptr, nullptr);
  EXPECT_EQ(list.filled, 3);
  EXPECT_EQ(s.slots[0].filled, 1);
  EXPECT_EQ(PStrString(s.slots[0].file.name), "b.ach1");
  EXPECT_EQ(s.slots[0].previewWidth, 130);
  EXPECT_EQ(s.slots[0].previewHeight, 130);
  EXPECT_EQ(s.slots[1].filled, 0);
  EXPECT_EQ(s.slots[2].filled, 1);
  EXPECT_EQ(PStrString(s.slots[2].file.name), "d.ach1");
  EXPECT_EQ(s.slots[2].previewWidth, 40);
  EXPECT_EQ(s.slots[2].previewHeight, 50);
  EXPECT_EQ(PStrString(s.slots[2].file.path), PStrString(gPer->makersFolder.path) +
                                                  PStrString(gPer->makersFolder.name) +
                                                  ":Effects:");

  // The same first again does nothing unless forced; -1 means 0.
  s.slots[0].filled = 7;
  list.UpdatePreviews(0, m.cat, 1, 0, s.get(), nullptr, nullptr);
  EXPECT_EQ(s.slots[0].filled, 7);
  list.UpdatePreviews(0, m.cat, -1, 0, s.get(), nullptr, nullptr);
  EXPECT_EQ(PStrString(s.slots[0].file.name), "a.ach1");
  EXPECT_EQ(list.lastFirst, 0);

  // Mode 1 hands out the entry at `first` and leaves the slots alone.
  list.fillLimit = 1;
  fichier out;
  list.UpdatePreviews(1, m.cat, 3, 1, s.get(), nullptr, &out);
  EXPECT_EQ(PStrString(out.name), "d.ach1");
  EXPECT_EQ(s.slots[0].filled, 0);  // cleared, never refilled in this mode
}

TEST_F(EffectListTest, RampModeDrawsBars) {
  stored_->Ramp("sunset", "Warm", "evening");
  stored_->Ramp("sea", "Cold", "water");
  VMKlisteff list(1, 6);
  list.fillLimit = 6;
  Menus m;
  ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 0), 2);
  EXPECT_TRUE(std::filesystem::exists(ListPath(":com.vellmarkstead.vmkvign.lst")));
  EXPECT_EQ(m.cat->items, (std::vector<std::string>{"ALL", "Cold", "Warm"}));
  Slots s(6);
  list.UpdatePreviews(0, m.cat, 0, 1, s.get(), nullptr, nullptr);
  EXPECT_EQ(list.filled, 2);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(s.slots[static_cast<size_t>(k)].filled, 1);
    EXPECT_EQ(s.slots[static_cast<size_t>(k)].previewWidth, 400);
    EXPECT_EQ(s.slots[static_cast<size_t>(k)].previewHeight, 32);
    EXPECT_EQ(s.slots[static_cast<size_t>(k)].bar.bottom, 32);
    EXPECT_EQ(s.slots[static_cast<size_t>(k)].bar.right, 400);
  }
  EXPECT_EQ(PStrString(s.slots[0].file.name), "sea.hvig");
  EXPECT_EQ(s.slots[2].filled, 0);
}

TEST_F(EffectListTest, FamilyWithoutAListHasEmptyMenus) {
  stored_->Effect("one", "A");
  VMKlisteff list(0, 15);
  Menus m;
  EXPECT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 43), 0);
  EXPECT_TRUE(m.cat->items.empty());
  EXPECT_TRUE(std::filesystem::is_directory(makers()));
}

TEST_F(EffectListTest, LoadEffReplacesTheLayerOnlyOnSuccess) {
  stored_->Effect("good", "A", FourCC("aCH1"), 12, 33);
  stored_->Effect("bad", "A");
  VMKlisteff list(0, 2);
  list.fillLimit = 2;
  Menus m;
  ASSERT_EQ(list.PrepareCatNamMenus(m.cat, m.nam, 117), 2);
  Slots s(2);
  list.UpdatePreviews(0, m.cat, 0, 1, s.get(), nullptr, nullptr);
  ASSERT_EQ(PStrString(s.slots[0].file.name), "bad.ach1");
  vmktest::WriteBytes((makers() / "Effects" / "bad.ach1").string(), {2, 0, 1});

  ScriptFile script;
  script.I_ScriptFile(3, 60, 40, 72.0f, 60, 40, 0, 0, 59, 39);
  Laye* layer = script.GetStack(0)->GetLaye(1);
  script.SetEffect(0, 1, 1, 3, 0, 0, 0, 0);
  Oprn* before = layer->firstOprn;
  char t1[256] = {}, t2[256] = {};
  EXPECT_EQ(list.LoadEff(0, 1, 0, s.get(), nullptr, layer, &script, t1, t2), -1);
  EXPECT_EQ(layer->firstOprn, before);
  EXPECT_EQ(layer->oprnCount, 1);
  EXPECT_EQ(list.LoadEff(0, 0, 1, s.get(), nullptr, layer, &script, t1, t2), -1);
  EXPECT_EQ(list.LoadEff(1, 1, 1, s.get(), nullptr, layer, &script, t1, t2), -1);
  EXPECT_EQ(layer->firstOprn, before);

  ASSERT_EQ(list.LoadEff(2, 1, 1, s.get(), nullptr, layer, &script, t1, t2), 0);
  ASSERT_EQ(layer->oprnCount, 1);
  EXPECT_EQ(layer->firstOprn->Effect, 12);
  EXPECT_STREQ(t2, "A");

  fichier file;
  MakeEffListRecord(PStrString(s.slots[0].file.path), "missing.ach1", &file);
  EXPECT_EQ(list.LoadEff(3, 1, 0, nullptr, &file, layer, &script, t1, t2), -1);
  EXPECT_EQ(layer->firstOprn->Effect, 12);
}

}  // namespace
