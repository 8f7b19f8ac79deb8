#include "script/effect_list_file.h"

#include <cstring>
#include <filesystem>

#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/bytes/byte_order.h"
#include "platform/files/file_types.h"
#include "support/session.h"

namespace {

using efflist::Entry;
using efflist::ListFile;

Entry Make(const std::string& category, const std::string& name) {
  return {category, "second of " + name, ":home:user:Effects:", name};
}

ListFile ListOf(std::initializer_list<Entry> entries) {
  ListFile list;
  list.entries = entries;
  return list;
}

int16_t Word(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int16_t>(plat::bytes::loadLE16(b.data() + at));
}

std::string CText(const std::vector<uint8_t>& b, size_t at) {
  return std::string(reinterpret_cast<const char*>(b.data() + at));
}

size_t CategoryAt(size_t entries, size_t k) {
  return efflist::kHeaderSize + efflist::kEntrySize * entries + efflist::kCategorySize * k;
}

TEST(EffectListLayout, EmptyFolderIsHeaderAndAllRecord) {
  const std::vector<uint8_t> b = efflist::EncodeList(ListFile{});
  ASSERT_EQ(b.size(), 267u);
  EXPECT_EQ(Word(b, 0), 1);
  EXPECT_EQ(Word(b, 2), 0);
  EXPECT_EQ(Word(b, 6), 1);
  EXPECT_EQ(Word(b, 8), 0);
  EXPECT_EQ(Word(b, 10), 1);
  EXPECT_EQ(CText(b, 12), "ALL");
  for (size_t i = 15; i < b.size(); ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST(EffectListLayout, EntryFieldsAndCategoryRecords) {
  ListFile list = ListOf({Make("A", "one"), Make("B", "two"), Make("A", "three")});
  list.header.selectedCategory = 2;
  list.header.firstVisible = 7;
  list.header.categoryEntries = 2;
  const std::vector<uint8_t> b = efflist::EncodeList(list);
  ASSERT_EQ(b.size(), 10u + 3 * 1020 + 3 * 257);
  EXPECT_EQ(Word(b, 0), 2);
  EXPECT_EQ(Word(b, 2), 7);
  EXPECT_EQ(Word(b, 4), 2);
  // Word 3 = 3 is stored as the bytes 03 00 whatever the host's order.
  plat::bytes::setHostOrderForTesting(plat::bytes::Order::Big);
  const std::vector<uint8_t> big = efflist::EncodeList(list);
  plat::bytes::setHostOrderForTesting(std::nullopt);
  EXPECT_EQ(big, b);
  EXPECT_EQ(b[6], 3);
  EXPECT_EQ(b[7], 0);
  EXPECT_EQ(b[8], 3);
  EXPECT_EQ(b[9], 0);

  // Entry 2: category, second text, length-prefixed folder and name, then zeros.
  const size_t e = 10 + 2 * 1020;
  EXPECT_EQ(CText(b, e), "A");
  EXPECT_EQ(CText(b, e + 255), "second of three");
  EXPECT_EQ(b[e + 510], std::strlen(":home:user:Effects:"));
  EXPECT_EQ(std::memcmp(b.data() + e + 511, ":home:user:Effects:", 19), 0);
  EXPECT_EQ(b[e + 765], 5);
  EXPECT_EQ(std::memcmp(b.data() + e + 766, "three", 5), 0);
  for (size_t i = e + 771; i < e + 1020; ++i) EXPECT_EQ(b[i], 0) << i;

  const std::pair<int16_t, const char*> want[] = {{4, "ALL"}, {2, "A"}, {1, "B"}};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(Word(b, CategoryAt(3, k)), want[k].first);
    EXPECT_EQ(CText(b, CategoryAt(3, k) + 2), want[k].second);
  }
}

TEST(EffectListLayout, CategoriesAreExactAndAllMakesNone) {
  const ListFile list =
      ListOf({Make("ALL", "a"), Make("all", "b"), Make("All", "c"), Make("all", "d")});
  const auto cats = efflist::BuildCategories(list.entries);
  ASSERT_EQ(cats.size(), 3u);
  EXPECT_EQ(cats[0].name, "ALL");
  EXPECT_EQ(cats[0].count, 5);
  EXPECT_EQ(cats[1].name, "all");
  EXPECT_EQ(cats[1].count, 2);
  EXPECT_EQ(cats[2].name, "All");
  EXPECT_EQ(efflist::EntriesOfCategory(list, "ALL"), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(efflist::EntriesOfCategory(list, "all"), (std::vector<int32_t>{1, 3}));
  EXPECT_TRUE(efflist::EntriesOfCategory(list, "none").empty());
}

TEST(EffectListLayout, EntriesThatCannotBeStoredAreLeftOut) {
  Entry longName = Make("A", std::string(64, 'n'));
  Entry longFolder = Make("A", "x");
  longFolder.folder = std::string(255, ':');
  Entry longText = Make(std::string(255, 'c'), "y");
  Entry noName = Make("A", "");
  const ListFile list = ListOf({longName, Make("B", std::string(63, 'm')), longFolder,
                                longText, noName});
  const std::vector<uint8_t> b = efflist::EncodeList(list);
  ListFile back;
  ASSERT_EQ(efflist::DecodeList(b.data(), b.size(), &back), 0);
  ASSERT_EQ(back.entries.size(), 1u);
  EXPECT_EQ(back.entries[0].name, std::string(63, 'm'));
  ASSERT_EQ(back.categories.size(), 2u);
  EXPECT_EQ(back.categories[1].name, "B");
}

TEST(EffectListLayout, RoundTripKeepsEveryField) {
  ListFile list = ListOf({Make("Warm", "sun"), Make("Cold", "ice"), Make("Warm", "fire")});
  list.entries[1].second = std::string(254, 's');
  list.entries[2].folder = std::string(254, 'f');
  list.header = {3, 1, 2, 0, 0};
  const std::vector<uint8_t> b = efflist::EncodeList(list);
  ListFile back;
  ASSERT_EQ(efflist::DecodeList(b.data(), b.size(), &back), 0);
  EXPECT_EQ(back.header.selectedCategory, 3);
  EXPECT_EQ(back.header.firstVisible, 1);
  EXPECT_EQ(back.header.categoryEntries, 2);
  EXPECT_EQ(back.header.categoryCount, 3);
  EXPECT_EQ(back.header.entryCount, 3);
  ASSERT_EQ(back.entries.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back.entries[i].category, list.entries[i].category);
    EXPECT_EQ(back.entries[i].second, list.entries[i].second);
    EXPECT_EQ(back.entries[i].folder, list.entries[i].folder);
    EXPECT_EQ(back.entries[i].name, list.entries[i].name);
  }
  EXPECT_EQ(efflist::EncodeList(back), b);
}

TEST(EffectListDamage, EveryTruncationAndEveryExtraByteIsRefused) {
  const std::vector<uint8_t> b = efflist::EncodeList(ListOf({Make("A", "one"), Make("B", "two")}));
  ListFile out = ListOf({Make("kept", "kept")});
  for (size_t n = 0; n < b.size(); ++n) {
    ASSERT_EQ(efflist::DecodeList(b.data(), n, &out), -1) << n;
  }
  std::vector<uint8_t> longer = b;
  longer.push_back(0);
  EXPECT_EQ(efflist::DecodeList(longer.data(), longer.size(), &out), -1);
  EXPECT_EQ(efflist::DecodeList(nullptr, 0, &out), -1);
  // A refused file leaves the caller's list alone.
  ASSERT_EQ(out.entries.size(), 1u);
  EXPECT_EQ(out.entries[0].name, "kept");
}

TEST(EffectListDamage, CountsAndFieldsOutOfPlace) {
  const std::vector<uint8_t> good =
      efflist::EncodeList(ListOf({Make("A", "one"), Make("B", "two")}));
  ListFile out;
  ASSERT_EQ(efflist::DecodeList(good.data(), good.size(), &out), 0);
  const auto refused = [&](auto change, const char* what) {
    std::vector<uint8_t> b = good;
    change(b);
    ListFile o;
    EXPECT_EQ(efflist::DecodeList(b.data(), b.size(), &o), -1) << what;
  };
  refused([](auto& b) { plat::bytes::storeLE16(b.data() + 8, 3); }, "entries beyond the size");
  refused([](auto& b) { plat::bytes::storeLE16(b.data() + 8, 0x8000); }, "negative entries");
  refused([](auto& b) { plat::bytes::storeLE16(b.data() + 6, 4); }, "categories beyond the size");
  refused([](auto& b) { plat::bytes::storeLE16(b.data() + 6, 0); }, "no category");
  refused([](auto& b) { std::memset(b.data() + 10, 'c', 255); }, "unterminated category");
  refused([](auto& b) { std::memset(b.data() + 10 + 255, 's', 255); }, "unterminated second");
  refused([](auto& b) { b[10 + 510] = 255; }, "folder longer than its field");
  refused([](auto& b) { b[10 + 765] = 64; }, "name over 63");
  refused([](auto& b) { b[10 + 765] = 0; }, "empty name");
  refused([](auto& b) { std::memset(b.data() + CategoryAt(2, 1) + 2, 'k', 255); },
          "unterminated category record");
  refused([](auto& b) { b[CategoryAt(2, 0) + 2] = 'a'; }, "first record is not ALL");
  // Header words 0 to 2 are the browser's state, never counts of the file: any value reads.
  std::vector<uint8_t> b = good;
  plat::bytes::storeLE16(b.data(), 0x7FFF);
  plat::bytes::storeLE16(b.data() + 2, 0xFFFF);
  plat::bytes::storeLE16(b.data() + 4, 0x8000);
  ASSERT_EQ(efflist::DecodeList(b.data(), b.size(), &out), 0);
  EXPECT_EQ(out.header.selectedCategory, 0x7FFF);
  EXPECT_EQ(out.header.firstVisible, -1);
}

TEST(EffectListTable, FamiliesAndRamps) {
  EXPECT_EQ(efflist::ListKinds().size(), 12u);
  const efflist::ListKind* k = efflist::ListKindFor(0, 58);
  ASSERT_NE(k, nullptr);
  EXPECT_STREQ(k->fileName, ":com.vellmarkstead.effqtss.lst");
  EXPECT_EQ(k->listed, FourCC("aC15"));
  k = efflist::ListKindFor(0, 117);
  ASSERT_NE(k, nullptr);
  EXPECT_STREQ(k->fileName, ":com.vellmarkstead.pspeff.lst");
  EXPECT_EQ(k->listed, FourCC("aCH1"));
  k = efflist::ListKindFor(1, 41);
  ASSERT_NE(k, nullptr);
  EXPECT_STREQ(k->fileName, ":com.vellmarkstead.vmkvign.lst");
  EXPECT_EQ(k->listed, FourCC("hVig"));
  EXPECT_EQ(efflist::ListKindFor(0, 43), nullptr);
  EXPECT_EQ(efflist::ListKindFor(0, 0), nullptr);
  EXPECT_EQ(efflist::ListKindFor(2, 41), nullptr);
}

class EffectListFiles : public ::testing::Test {
 protected:
  fichier Record(const std::string& name) {
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, dir_.file(name)));
    return f;
  }
  vmktest::TempDir dir_;
};

TEST_F(EffectListFiles, WriteReadAndPosition) {
  const fichier f = Record("list.lst");
  ListFile list = ListOf({Make("A", "one"), Make("B", "two"), Make("A", "three")});
  ASSERT_EQ(efflist::WriteListFile(f, list), 0);
  EXPECT_EQ(vmktest::ReadBytes(dir_.file("list.lst")), efflist::EncodeList(list));
  OSType type = 0, creator = 0;
  if (plat::files::GetTypeCreator(dir_.file("list.lst"), &type, &creator)) {
    EXPECT_EQ(type, FourCC("hLst"));
    EXPECT_EQ(creator, FourCC("vMkC"));
  }
  ASSERT_EQ(efflist::WriteListPosition(f, 3, 12), 0);
  ListFile back;
  ASSERT_EQ(efflist::ReadListFile(f, &back), 0);
  EXPECT_EQ(back.header.selectedCategory, 3);
  EXPECT_EQ(back.header.firstVisible, 12);
  EXPECT_EQ(back.entries.size(), 3u);
}

TEST_F(EffectListFiles, MissingDamagedAndUnwritable) {
  ListFile out;
  EXPECT_EQ(efflist::ReadListFile(Record("none.lst"), &out), -1);
  EXPECT_EQ(efflist::WriteListPosition(Record("none.lst"), 1, 0), -1);
  EXPECT_FALSE(std::filesystem::exists(dir_.file("none.lst")));

  const fichier f = Record("list.lst");
  const ListFile list = ListOf({Make("A", "one")});
  ASSERT_EQ(efflist::WriteListFile(f, list), 0);
  std::vector<uint8_t> bytes = vmktest::ReadBytes(dir_.file("list.lst"));
  bytes.resize(bytes.size() - 1);
  vmktest::WriteBytes(dir_.file("list.lst"), bytes);
  EXPECT_EQ(efflist::ReadListFile(f, &out), -1);

  // A list that cannot be written leaves the old file as it was.
  vmktest::WriteBytes(dir_.file("list.lst"), efflist::EncodeList(list));
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_read |
                                                std::filesystem::perms::owner_exec);
  const bool locked = ::access(dir_.path().c_str(), W_OK) != 0;  // not when run as root
  const int32_t written = efflist::WriteListFile(f, ListOf({Make("B", "two")}));
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all);
  if (locked) {
    EXPECT_EQ(written, -1);
    EXPECT_EQ(vmktest::ReadBytes(dir_.file("list.lst")), efflist::EncodeList(list));
  }
  fichier nowhere;
  ASSERT_TRUE(SetFicFromPosix(&nowhere, dir_.file("missing/list.lst")));
  EXPECT_EQ(efflist::WriteListFile(nowhere, list), -1);
}

}  // namespace
