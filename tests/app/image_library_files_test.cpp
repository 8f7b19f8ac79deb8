#include "app/image_library_files.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "platform/bytes/byte_order.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_io.h"
#include "platform/files/file_types.h"
#include "platform/imageio/image_io.h"
#include "platform/parallel/parallel.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace fs = std::filesystem;
namespace pf = plat::files;
namespace io = plat::imageio;

namespace {

std::string Colon(const fs::path& folder) { return pf::PosixToColon(folder.string(), true); }

// A session whose maker's folder is <temp>/Vellmarkstead.
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    makers_ = dir_.path() / "Vellmarkstead";
    fs::create_directories(makers_);
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, makers_.string()));
    SetPStr(app_.data().folder.path, Colon(makers_));
    app_.data().folder.name[0] = 0;
    ASSERT_TRUE(ImaLibraryFile(kImaListFileName, kImaListType, &list_));
    ASSERT_TRUE(ImaLibraryFile(kImaThumbFileName, kImaThumbType, &thumbs_));
  }

  void Image(const fs::path& rel, uint32_t w, uint32_t h, const char* type = io::kTypeTIFF) {
    fs::create_directories((makers_ / rel).parent_path());
    vmktest::WriteImageFile((makers_ / rel).string(), type,
                            vmktest::SolidImage(w, h, 200, 100, 50));
  }

  // The seven passes over the maker's folder.
  std::vector<ImaListEntry> Scan() {
    std::vector<uint8_t> specs(kImaPassBufferSize);
    std::unordered_set<std::string> listed;
    std::vector<ImaListEntry> entries;
    for (const ImaScanPass& pass : ImaScanPasses())
      ImaAppendPass(makers_.string(), pass, specs.data(), kImaPassLimit, &listed, &entries);
    return entries;
  }

  vmktest::ScopedSession session_;
  vmktest::ScopedAppData app_;
  vmktest::TempDir dir_;
  fs::path makers_;
  fichier list_;
  fichier thumbs_;
};

// An entry's bytes as the file's table describes them, field by field.
void PutEntry(std::vector<uint8_t>& b, size_t at, const std::string& cat, const std::string& name,
              const std::string& path, const char* type) {
  std::memcpy(&b[at], cat.data(), cat.size());
  b[at + 255] = static_cast<uint8_t>(name.size());
  std::memcpy(&b[at + 256], name.data(), name.size());
  b[at + 510] = static_cast<uint8_t>(path.size());
  std::memcpy(&b[at + 511], path.data(), path.size());
  b[at + 765] = static_cast<uint8_t>(name.size());
  std::memcpy(&b[at + 766], name.data(), name.size());
  std::memcpy(&b[at + 1020], type, 4);
}

void PutCategory(std::vector<uint8_t>& b, size_t at, int16_t count, const std::string& name) {
  b[at] = static_cast<uint8_t>(count & 0xFF);
  b[at + 1] = static_cast<uint8_t>((count >> 8) & 0xFF);
  std::memcpy(&b[at + 2], name.data(), name.size());
}

TEST_F(LibraryTest, ThreeFolderLibraryGivesTheListFileOfTheTables) {
  Image("A/photo.tif", 8, 8);
  Image("A/sky.jpg", 8, 8, io::kTypeJPEG);
  Image("B/sky.jpg", 8, 8, io::kTypeJPEG);
  fs::create_directories(makers_ / "C");
  vmktest::WriteBytes((makers_ / "C" / "x.psd").string(), {'8', 'B', 'P', 'S'});
  ImaList list;
  list.entries = Scan();
  list.categories = BuildImaCategories(list.entries);
  ASSERT_EQ(WriteImaListFile(list_, list), 0);

  std::vector<uint8_t> want(582 + 1032 * 4 + 257 * 4, 0);
  const uint8_t head[10] = {1, 0, 0, 0, 0, 0, 4, 0, 4, 0};
  std::memcpy(want.data(), head, sizeof head);
  // photo.tif once (the 'TIFF' pass, not again by ".tif"); sky.jpg of both
  // folders (one pass); x.psd by the '8BPS' pass only.
  PutEntry(want, 582, "A", "photo.tif", Colon(makers_ / "A"), "TIFF");
  PutEntry(want, 582 + 1032, "A", "sky.jpg", Colon(makers_ / "A"), "JPEG");
  PutEntry(want, 582 + 2064, "B", "sky.jpg", Colon(makers_ / "B"), "JPEG");
  PutEntry(want, 582 + 3096, "C", "x.psd", Colon(makers_ / "C"), "8BPS");
  const size_t cats = 582 + 1032 * 4;
  PutCategory(want, cats, 5, "ALL");  // N + 1
  PutCategory(want, cats + 257, 2, "A");
  PutCategory(want, cats + 514, 1, "B");
  PutCategory(want, cats + 771, 1, "C");
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), want);

  ImaList back;
  ASSERT_EQ(ReadImaListFile(list_, &back), 0);
  EXPECT_EQ(EncodeImaList(back), want);
  OSType type = 0, creator = 0;
  if (pf::GetTypeCreator(FicToPosix(list_), &type, &creator)) {
    EXPECT_EQ(type, kImaListType);
    EXPECT_EQ(creator, kImaLibraryCreator);
  }
}

TEST_F(LibraryTest, EmptyFolderGivesHeaderBlockAndAllOfOne) {
  ImaList list;
  list.entries = Scan();
  list.categories = BuildImaCategories(list.entries);
  ASSERT_EQ(WriteImaListFile(list_, list), 0);
  std::vector<uint8_t> want(582 + 257, 0);
  want[0] = 1;
  want[6] = 1;
  PutCategory(want, 582, 1, "ALL");
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), want);
  ASSERT_EQ(BuildImaThumbFile(thumbs_, list.entries, nullptr), 0);
  EXPECT_EQ(fs::file_size(FicToPosix(thumbs_)), 0u);
}

TEST_F(LibraryTest, ExtensionPassListsTheTypeOfItsTypePass) {
  Image("Odd/z.jpg", 4, 4, io::kTypeJPEG);
  Image("Odd/y.tif", 4, 4);
  // Recorded types that the type passes do not look for.
  pf::SetTypeCreator((makers_ / "Odd" / "z.jpg").string(), FourCC("TEXT"), 0);
  pf::SetTypeCreator((makers_ / "Odd" / "y.tif").string(), FourCC("TEXT"), 0);
  OSType type = 0, creator = 0;
  if (!pf::GetTypeCreator((makers_ / "Odd" / "z.jpg").string(), &type, &creator))
    GTEST_SKIP() << "no extended attributes here";
  const std::vector<ImaListEntry> e = Scan();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(ImaNameText(e[0]), "y.tif");
  EXPECT_EQ(e[0].type, FourCC("TIFF"));
  EXPECT_EQ(ImaNameText(e[1]), "z.jpg");
  EXPECT_EQ(e[1].type, FourCC("JPEG"));
}

TEST_F(LibraryTest, ExtensionPassesMatchTheEndOfTheNameOnly) {
  vmktest::Touch(makers_ / "D" / "a.tif.txt");
  vmktest::Touch(makers_ / "D" / "b.psd");
  pf::SetTypeCreator((makers_ / "D" / "b.psd").string(), FourCC("TEXT"), 0);
  OSType type = 0, creator = 0;
  const bool typed = pf::GetTypeCreator((makers_ / "D" / "b.psd").string(), &type, &creator);
  const std::vector<ImaListEntry> e = Scan();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(ImaNameText(e[0]), "b.psd");
  // Untyped, the '8BPS' pass finds it by its extension; typed otherwise, the
  // ".psd" pass lists it as '8BIM'.
  EXPECT_EQ(e[0].type, typed ? FourCC("8BIM") : FourCC("8BPS"));
}

TEST_F(LibraryTest, LongNamesAndPathsAreNotListed) {
  Image("E/" + std::string(59, 'n') + ".tif", 2, 2);
  vmktest::Touch(makers_ / "E" / (std::string(60, 'm') + ".tif"));
  fs::path deep = makers_;
  while (Colon(deep).size() < 260) deep /= std::string(40, 'd');
  vmktest::Touch(deep / "deep.tif");
  const std::vector<ImaListEntry> e = Scan();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(ImaNameText(e[0]).size(), 63u);
}

TEST_F(LibraryTest, EntryCountStopsAt32767) {
  std::vector<ImaListEntry> entries(kImaMaxEntries - 1);
  Image("F/a.tif", 2, 2);
  Image("F/b.tif", 2, 2);
  std::vector<uint8_t> specs(kImaPassBufferSize);
  std::unordered_set<std::string> listed;
  EXPECT_EQ(ImaAppendPass(makers_.string(), ImaScanPasses()[0], specs.data(), kImaPassLimit,
                          &listed, &entries),
            1);
  EXPECT_EQ(entries.size(), static_cast<size_t>(kImaMaxEntries));
  EXPECT_EQ(ImaNameText(entries.back()), "a.tif");
}

TEST(ImaCategories, CountsFollowTheMenuWalk) {
  std::vector<ImaListEntry> e(4);
  ASSERT_TRUE(MakeImaEntry("A", "1", "v:A:", FourCC("TIFF"), &e[0]));
  ASSERT_TRUE(MakeImaEntry("B", "2", "v:B:", FourCC("TIFF"), &e[1]));
  ASSERT_TRUE(MakeImaEntry("A", "3", "v:A:", FourCC("TIFF"), &e[2]));
  ASSERT_TRUE(MakeImaEntry("ALL", "4", "v:ALL:", FourCC("TIFF"), &e[3]));
  const std::vector<ImaCategory> c = BuildImaCategories(e);
  ASSERT_EQ(c.size(), 3u);
  // A folder called "ALL" adds twice to "ALL" and makes no category.
  EXPECT_EQ(ImaCategoryName(c[0]), "ALL");
  EXPECT_EQ(c[0].count, 6);
  EXPECT_EQ(ImaCategoryName(c[1]), "A");
  EXPECT_EQ(c[1].count, 2);
  EXPECT_EQ(ImaCategoryName(c[2]), "B");
  EXPECT_EQ(c[2].count, 1);
}

// ---- thumbnails ----

TEST(ImaThumbSizes, LongerSideIs130) {
  int32_t w = 0, h = 0;
  ImaThumbSize(400, 200, &w, &h);
  EXPECT_EQ(w, 130);
  EXPECT_EQ(h, 65);
  ImaThumbSize(200, 400, &w, &h);
  EXPECT_EQ(w, 65);
  EXPECT_EQ(h, 130);
  ImaThumbSize(1, 1000, &w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 130);
  ImaThumbSize(7, 7, &w, &h);
  EXPECT_EQ(w, 130);
  EXPECT_EQ(h, 130);
}

TEST_F(LibraryTest, ThumbnailsAreSizedPlacedBottomUpAndBlankWhereUnwritten) {
  // Top half red, bottom half blue.
  vmktest::RawImage img = vmktest::SolidImage(400, 200, 0, 0, 255);
  for (uint32_t y = 0; y < 100; ++y)
    for (uint32_t x = 0; x < 400; ++x) {
      img.row(y)[4 * x] = 255;
      img.row(y)[4 * x + 2] = 0;
    }
  fs::create_directories(makers_ / "T");
  vmktest::WriteImageFile((makers_ / "T" / "wide.tif").string(), io::kTypeTIFF, img);
  Image("T/tall.tif", 200, 400);
  Image("T/thin.tif", 1, 1000);
  vmktest::WriteBytes((makers_ / "T" / "broken.tif").string(), {'I', 'I', 42, 0});
  const std::vector<ImaListEntry> entries = Scan();
  ASSERT_EQ(entries.size(), 4u);
  ASSERT_EQ(BuildImaThumbFile(thumbs_, entries, nullptr), 0);
  ImaThumbReader r;
  ASSERT_TRUE(r.Open(thumbs_));
  // broken.tif is left out; the rest keep list order.
  ASSERT_EQ(r.RecordCount(), 3);
  ImaListEntry e;
  std::vector<uint8_t> px(kImaThumbBytes);
  ASSERT_TRUE(r.Entry(0, &e));
  EXPECT_EQ(ImaNameText(e), "tall.tif");
  EXPECT_EQ(e.width, 65);
  EXPECT_EQ(e.height, 130);
  ASSERT_TRUE(r.Entry(1, &e));
  EXPECT_EQ(ImaNameText(e), "thin.tif");
  EXPECT_EQ(e.width, 0);
  EXPECT_EQ(e.height, 130);
  ASSERT_TRUE(r.Pixels(1, px.data()));
  EXPECT_EQ(px, std::vector<uint8_t>(kImaThumbBytes, 0));
  ASSERT_TRUE(r.Entry(2, &e));
  EXPECT_EQ(ImaNameText(e), "wide.tif");
  EXPECT_EQ(e.width, 130);
  EXPECT_EQ(e.height, 65);
  ASSERT_TRUE(r.Pixels(2, px.data()));
  auto at = [&](int x, int y) { return &px[static_cast<size_t>(y * 130 + x) * 4]; };
  // Row 64 is the picture's top (red), row 0 its bottom (blue); the fourth
  // byte, the columns past 130 and the rows past 65 are zeros.
  EXPECT_EQ(at(0, 64)[0], 255);
  EXPECT_EQ(at(0, 64)[2], 0);
  EXPECT_EQ(at(129, 0)[0], 0);
  EXPECT_EQ(at(129, 0)[2], 255);
  EXPECT_EQ(at(5, 5)[3], 0);
  EXPECT_EQ(at(5, 65)[0] | at(5, 65)[2] | at(129, 129)[2], 0);
  // The record's own bytes: the entry as the list has it, sizes filled.
  const std::vector<uint8_t> file = vmktest::ReadBytes(FicToPosix(thumbs_));
  ASSERT_EQ(file.size(), 3u * 68632u);
  EXPECT_EQ(plat::bytes::loadLE32(&file[2 * 68632 + 1024]), 130u);
  EXPECT_EQ(plat::bytes::loadLE32(&file[2 * 68632 + 1028]), 65u);
  EXPECT_EQ(std::memcmp(&file[2 * 68632 + 1020], "TIFF", 4), 0);
}

TEST_F(LibraryTest, ThumbnailBytesDoNotDependOnTheThreadCount) {
  for (int i = 0; i < 40; ++i) Image("P/" + std::to_string(100 + i) + ".tif", 10 + i, 30);
  const std::vector<ImaListEntry> entries = Scan();
  plat::SetThreadCount(1);
  ASSERT_EQ(BuildImaThumbFile(thumbs_, entries, nullptr), 0);
  const std::vector<uint8_t> one = vmktest::ReadBytes(FicToPosix(thumbs_));
  plat::SetThreadCount(8);
  int turns = 0;
  ASSERT_EQ(BuildImaThumbFile(thumbs_, entries, [&] { ++turns; }), 0);
  plat::SetThreadCount(0);
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(thumbs_)), one);
  EXPECT_EQ(one.size(), 40u * 68632u);
  EXPECT_EQ(turns, 3);  // batches of 16
}

TEST_F(LibraryTest, MovedImagesAreFoundInTheCategoryFoldersInProbeOrder) {
  ImaListEntry e;
  ASSERT_TRUE(MakeImaEntry("Cat", "moved.tif", "nowhere:old:Cat:", FourCC("TIFF"), &e));
  Image("Vellmarkstead/Cat/moved.tif", 20, 10);
  // Probe 3: the maker's folder's own "Vellmarkstead" folder.
  unsigned char path[256];
  pStrCopy(e.path.data(), path);
  EXPECT_EQ(ImaFindImage(path, "Cat", e.name.data()), 1);
  EXPECT_EQ(PStrString(path), Colon(makers_ / "Vellmarkstead" / "Cat"));
  // Probe 2 comes first once the image is there too.
  Image("Cat/moved.tif", 20, 10);
  pStrCopy(e.path.data(), path);
  EXPECT_EQ(ImaFindImage(path, "Cat", e.name.data()), 1);
  EXPECT_EQ(PStrString(path), Colon(makers_ / "Cat"));
  ASSERT_EQ(BuildImaThumbFile(thumbs_, {e}, nullptr), 0);
  ImaThumbReader r;
  ASSERT_TRUE(r.Open(thumbs_));
  ImaListEntry got;
  ASSERT_TRUE(r.Entry(0, &got));
  EXPECT_EQ(ImaPathText(got), Colon(makers_ / "Cat"));
  // Probe 1 leaves the path as listed; nothing found leaves it too.
  SetPStr(path, Colon(makers_ / "Cat"));
  EXPECT_EQ(ImaFindImage(path, "Other", e.name.data()), 1);
  SetPStr(path, "nowhere:x:");
  unsigned char missing[256];
  SetPStr(missing, "missing.tif");
  EXPECT_EQ(ImaFindImage(path, "Cat", missing), 0);
  EXPECT_EQ(PStrString(path), "nowhere:x:");
}

// ---- damaged files ----

class DamagedList : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    ImaList list;
    list.header.selectedCategory = 2;
    list.header.firstVisible = 1;
    list.entries.resize(2);
    ASSERT_TRUE(MakeImaEntry("A", "a.tif", "v:A:", FourCC("TIFF"), &list.entries[0]));
    ASSERT_TRUE(MakeImaEntry("B", "b.tif", "v:B:", FourCC("TIFF"), &list.entries[1]));
    list.categories = BuildImaCategories(list.entries);
    good_ = EncodeImaList(list);
  }
  // Parsed or refused, and the caller's list left alone on a refusal.
  int16_t Parse(const std::vector<uint8_t>& bytes) {
    ImaList kept;
    kept.header.entryCount = 77;
    const int16_t r = ParseImaList(bytes.data(), bytes.size(), &kept);
    if (r != 0) {
      EXPECT_EQ(kept.header.entryCount, 77);
    }
    vmktest::WriteBytes(FicToPosix(list_), bytes);
    ImaList fromFile;
    EXPECT_EQ(ReadImaListFile(list_, &fromFile), r);
    ImaListHeader h;
    if (r == 0) {
      EXPECT_EQ(ReadImaListHeader(list_, &h), 0);
    }
    return r;
  }
  std::vector<uint8_t> good_;
};

TEST_F(DamagedList, CountsAndSizesMustAgree) {
  EXPECT_EQ(Parse(good_), 0);
  std::vector<uint8_t> b = good_;
  b.pop_back();
  EXPECT_EQ(Parse(b), -1);  // truncated
  b = good_;
  b.push_back(0);
  EXPECT_EQ(Parse(b), -1);  // trailing bytes
  b = good_;
  b[8] = 3;  // N past the size
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  b[6] = 0;  // C = 0
  b.resize(582 + 2 * 1032);
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  b[8] = 0xFF;  // N = -1
  b[9] = 0xFF;
  EXPECT_EQ(Parse(b), -1);
  EXPECT_EQ(Parse(std::vector<uint8_t>(10, 0)), -1);
  EXPECT_EQ(Parse({}), -1);
  // A file of 32767 entries claimed but a few bytes long is refused before
  // anything is allocated for it.
  b = std::vector<uint8_t>(582, 0);
  b[6] = 1;
  b[8] = 0xFF;
  b[9] = 0x7F;
  EXPECT_EQ(Parse(b), -1);
}

TEST_F(DamagedList, TextsMustEndInTheirFields) {
  std::vector<uint8_t> b = good_;
  std::memset(&b[582], 'x', 255);  // unterminated category
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  b[582 + 510] = 255;  // path length 255
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  b[582 + 510] = 254;
  EXPECT_EQ(Parse(b), 0);
  b = good_;
  b[582 + 255] = 64;  // name of 64
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  b[582 + 1032 + 765] = 64;  // second name of 64
  EXPECT_EQ(Parse(b), -1);
  b = good_;
  std::memset(&b[582 + 2 * 1032 + 257 + 2], 'c', 255);  // unterminated category record
  EXPECT_EQ(Parse(b), -1);
}

TEST_F(DamagedList, HeaderWordsZeroAndOneAreCorrectedNotRefused) {
  ImaList list;
  int16_t sel = 0, first = 0;
  for (int16_t bad : {int16_t{0}, int16_t{4}, int16_t{-3}}) {
    std::vector<uint8_t> b = good_;
    plat::bytes::storeLE16(&b[0], static_cast<uint16_t>(bad));
    plat::bytes::storeLE16(&b[2], 0xFFF0);
    ASSERT_EQ(Parse(b), 0);
    ASSERT_EQ(ParseImaList(b.data(), b.size(), &list), 0);
    ImaListCorrected(list.header, &sel, &first);
    EXPECT_EQ(sel, 1);
    EXPECT_EQ(first, 0);
    // ... and kept as stored, so the file writes back the same.
    EXPECT_EQ(EncodeImaList(list), b);
  }
  ASSERT_EQ(ParseImaList(good_.data(), good_.size(), &list), 0);
  ImaListCorrected(list.header, &sel, &first);
  EXPECT_EQ(sel, 2);
  EXPECT_EQ(first, 1);
}

TEST_F(DamagedList, BytesAfterATextSurviveAReadAndAWrite) {
  std::vector<uint8_t> b = good_;
  b[582 + 100] = 0x5A;   // after the category's end
  b[582 + 510 + 200] = 7;  // after the path's characters
  b[100] = 9;            // the reserved block
  b[582 + 1024] = 3;     // a size word of the list
  ImaList list;
  ASSERT_EQ(ParseImaList(b.data(), b.size(), &list), 0);
  EXPECT_EQ(EncodeImaList(list), b);
  ASSERT_EQ(WriteImaListFile(list_, list), 0);
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), b);
}

TEST_F(DamagedList, HeaderWordsAreRewrittenInPlace) {
  vmktest::WriteBytes(FicToPosix(list_), good_);
  ASSERT_EQ(WriteImaListHeaderWords(list_, 3, 258), 0);
  std::vector<uint8_t> want = good_;
  want[0] = 3;
  want[1] = 0;
  want[2] = 2;
  want[3] = 1;
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), want);
  fs::remove(FicToPosix(list_));
  EXPECT_EQ(WriteImaListHeaderWords(list_, 1, 0), -1);
  EXPECT_FALSE(fs::exists(FicToPosix(list_)));
}

// A page redraw's words go only into a list that reads as one: a damaged
// list, which a declined or failed rebuild says was left as it was, stays
// byte for byte; a good one is replaced whole, never torn in place.
TEST_F(DamagedList, HeaderWordsLeaveADamagedListAsItWas) {
  std::vector<uint8_t> torn = good_;
  torn.resize(torn.size() - 1);
  std::vector<uint8_t> foreign = good_;
  foreign[582 + 255] = 0xFF;  // a name longer than a name may be
  for (const std::vector<uint8_t>* bad : {&torn, &foreign}) {
    vmktest::WriteBytes(FicToPosix(list_), *bad);
    EXPECT_EQ(WriteImaListHeaderWords(list_, 3, 258), -1);
    EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), *bad);
  }
  // The good list: a new file takes the old one's place (a link to the old
  // one sees none of the change).
  vmktest::WriteBytes(FicToPosix(list_), good_);
  const std::string held = FicToPosix(list_) + ".held";
  ASSERT_EQ(::link(FicToPosix(list_).c_str(), held.c_str()), 0);
  ASSERT_EQ(WriteImaListHeaderWords(list_, 3, 258), 0);
  EXPECT_EQ(vmktest::ReadBytes(held), good_);
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_))[0], 3);
}

// A FIFO in the list's place reads as no list, at once.
TEST_F(DamagedList, AFifoInTheListsPlaceIsNoList) {
  const std::string posix = FicToPosix(list_);
  fs::remove(posix);
  ASSERT_EQ(::mkfifo(posix.c_str(), 0600), 0);
  int16_t read = 0, header = 0, words = 0;
  auto done = std::async(std::launch::async, [&] {
    ImaList list;
    ImaListHeader h;
    read = ReadImaListFile(list_, &list);
    header = ReadImaListHeader(list_, &h);
    words = WriteImaListHeaderWords(list_, 1, 0);
  });
  if (done.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Let the held open go, then fail.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      const int w = ::open(posix.c_str(), O_WRONLY | O_NONBLOCK);
      if (w >= 0) ::close(w);
    }
    FAIL() << "the open of the FIFO waited";
  }
  EXPECT_EQ(read, -1);
  EXPECT_EQ(header, -1);
  EXPECT_EQ(words, -1);
  ImaThumbReader thumbs;
  EXPECT_FALSE(thumbs.Open(list_));
}

TEST_F(LibraryTest, DamagedThumbnailRecordsAreSkipped) {
  ImaListEntry e;
  ASSERT_TRUE(MakeImaEntry("A", "a.tif", "v:A:", FourCC("TIFF"), &e));
  e.width = 130;
  e.height = 20;
  std::vector<uint8_t> file(3 * 68632 + 500, 0);
  std::vector<uint8_t> px(kImaThumbBytes, 9);
  EncodeImaThumbRecord(e, px.data(), &file[0]);
  e.width = 500;  // too wide for the block
  EncodeImaThumbRecord(e, px.data(), &file[68632]);
  e.width = 10;
  EncodeImaThumbRecord(e, px.data(), &file[2 * 68632]);
  file[2 * 68632 + 255] = 200;  // name too long
  vmktest::WriteBytes(FicToPosix(thumbs_), file);
  ImaThumbReader r;
  ASSERT_TRUE(r.Open(thumbs_));
  EXPECT_EQ(r.RecordCount(), 3);  // the 500 bytes at the end are no record
  ImaListEntry got;
  EXPECT_TRUE(r.Entry(0, &got));
  EXPECT_FALSE(r.Entry(1, &got));
  EXPECT_FALSE(r.Entry(2, &got));
  EXPECT_FALSE(r.Entry(3, &got));
  EXPECT_FALSE(r.Entry(-1, &got));
  std::vector<uint8_t> out(kImaThumbBytes);
  EXPECT_TRUE(r.Pixels(0, out.data()));
  EXPECT_EQ(out, px);
  EXPECT_FALSE(r.Pixels(3, out.data()));
  fs::remove(FicToPosix(thumbs_));
  EXPECT_FALSE(r.Open(thumbs_));
  EXPECT_EQ(r.RecordCount(), 0);
}

TEST_F(LibraryTest, FailedRebuildsLeaveTheOldFilesByteIdentical) {
  Image("A/a.tif", 30, 30);
  const std::vector<uint8_t> oldList = {1, 2, 3};
  const std::vector<uint8_t> oldThumbs = {4, 5, 6, 7};
  vmktest::WriteBytes(FicToPosix(list_), oldList);
  vmktest::WriteBytes(FicToPosix(thumbs_), oldThumbs);
  const std::vector<ImaListEntry> entries = Scan();
  {
    vmktest::NoWorkMemory none;
    EXPECT_EQ(BuildImaThumbFile(thumbs_, entries, nullptr), -1);
  }
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(thumbs_)), oldThumbs);
  // An impossible list is refused before anything is written.
  ImaList bad;
  EXPECT_EQ(WriteImaListFile(list_, bad), -1);
  EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), oldList);
  // A folder that takes no new file (not for root, who may write anyway).
  if (::geteuid() != 0) {
    ImaList list;
    list.entries = entries;
    list.categories = BuildImaCategories(entries);
    fs::permissions(makers_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(WriteImaListFile(list_, list), -1);
    EXPECT_EQ(BuildImaThumbFile(thumbs_, entries, nullptr), kImaNotWritten);
    fs::permissions(makers_, fs::perms::owner_all);
    EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), oldList);
    EXPECT_EQ(vmktest::ReadBytes(FicToPosix(thumbs_)), oldThumbs);
  }
  // A full disk, for root too: told apart from a session out of memory.
  for (int error : {ENOSPC, EROFS}) {
    ImaList list;
    list.entries = entries;
    list.categories = BuildImaCategories(entries);
    plat::files::FailWritesForTesting(makers_.string(), error);
    EXPECT_EQ(WriteImaListFile(list_, list), -1);
    EXPECT_EQ(BuildImaThumbFile(thumbs_, entries, nullptr), kImaNotWritten);
    plat::files::FailWritesForTesting("", 0);
    EXPECT_EQ(vmktest::ReadBytes(FicToPosix(list_)), oldList);
    EXPECT_EQ(vmktest::ReadBytes(FicToPosix(thumbs_)), oldThumbs);
  }
  // No temporary file is left behind.
  for (const auto& item : fs::directory_iterator(makers_))
    EXPECT_NE(item.path().filename().string().rfind(".~", 0), 0u) << item.path();
}

}  // namespace
