#include "app/folder_scans.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/image_library_files.h"
#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_types.h"
#include "platform/files/folder_lock.h"
#include "platform/files/folders.h"
#include "support/session.h"

namespace fs = std::filesystem;
namespace pf = plat::files;
using vmktest::Touch;

namespace {

std::string Colon(const fs::path& folder) { return pf::PosixToColon(folder.string(), true); }

// A record whose path field names `folder`, as the search takes it.
fichier InFolder(const fs::path& folder) {
  fichier f;
  SetPStr(f.path, Colon(folder));
  SetPStr(f.name, "temp");
  return f;
}

std::string Found(const FSSpec& s) { return pf::SpecToPosix(s); }

TEST(SearchDirInDir, FindsTheExactNameNearestFirstThenDepthFirst) {
  vmktest::TempDir dir;
  const fs::path root = dir.path();
  fs::create_directories(root / "a" / "Vellmarkstead2");
  fs::create_directories(root / "a" / "vellmarkstead");
  fs::create_directories(root / "b" / "deep" / "Vellmarkstead");
  fs::create_directories(root / "c" / "Vellmarkstead");
  const fichier where = InFolder(root);
  unsigned char name[256];
  SetPStr(name, "Vellmarkstead");
  FSSpec out;
  // Neither a longer name nor another case matches; b is met before c.
  EXPECT_EQ(SearchDirInDir(&where, name, &out), 1);
  EXPECT_EQ(Found(out), (root / "b" / "deep" / "Vellmarkstead").string());
  EXPECT_EQ(PStrString(out.name), "Vellmarkstead");
  // A direct child wins over anything deeper.
  fs::create_directories(root / "Vellmarkstead");
  EXPECT_EQ(SearchDirInDir(&where, name, &out), 1);
  EXPECT_EQ(Found(out), (root / "Vellmarkstead").string());

  SetPStr(name, "Vellmark");
  out.parID = 42;
  EXPECT_EQ(SearchDirInDir(&where, name, &out), 0);
  EXPECT_EQ(out.parID, 42);
  const fichier nowhere = InFolder(root / "missing");
  EXPECT_EQ(SearchDirInDir(&nowhere, name, &out), pf::kFolderNotFound);
}

TEST(SearchDirInDir, StopsAtItsDepthBound) {
  vmktest::TempDir dir;
  const fs::path root = dir.path();
  fs::create_directories(root / "1" / "2" / "3" / "4" / "Vellmarkstead");
  const fichier where = InFolder(root);
  unsigned char name[256];
  SetPStr(name, "Vellmarkstead");
  FSSpec out;
  EXPECT_EQ(SearchDirInDir(&where, name, &out), 0);
  fs::create_directories(root / "x" / "y" / "z" / "Vellmarkstead");
  EXPECT_EQ(SearchDirInDir(&where, name, &out), 1);
  EXPECT_EQ(Found(out), (root / "x" / "y" / "z" / "Vellmarkstead").string());
}

TEST(MakersFolder, ADeepFolderIsAddressedThroughItsOwnPath) {
  vmktest::TempDir dir;
  const fs::path deep = dir.path() / "share" / "apps" / "Vellmarkstead";
  Touch(deep / "Tiles" / "brick.tif");
  vmktest::ScopedEnv env("VMK_SUPPORT_DIR", dir.path().c_str());
  fichier f;
  EXPECT_EQ(LocateMakersFolder(&f), 1);
  EXPECT_EQ(PStrString(f.name), "Vellmarkstead");
  EXPECT_EQ(PStrString(f.path), Colon(deep.parent_path()));
  // path + name + a file's own name reaches a file in it.
  const std::string full = PStrString(f.path) + PStrString(f.name) + ":Tiles:brick.tif";
  EXPECT_EQ(pf::ColonToPosix(full), (deep / "Tiles" / "brick.tif").string());

  fs::remove_all(dir.path() / "share");
  EXPECT_EQ(LocateMakersFolder(&f), 0);
  EXPECT_EQ(PStrString(f.name), "temp");
  EXPECT_EQ(PStrString(f.path), Colon(dir.path()));
}

class AlternateFic : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    makers_ = dir_.path() / "Vellmarkstead";
    fs::create_directories(makers_);
    ASSERT_TRUE(SetFicFromPosix(&gPer->makersFolder, makers_.string()));
  }
  // A record as a preset stores it: no folder number, a path that no
  // longer holds the file.
  fichier Stored(const std::string& name) const {
    fichier f;
    SetPStr(f.path, Colon(dir_.path() / "moved"));
    SetPStr(f.name, name);
    f.type = FourCC("TIFF");
    return f;
  }
  static fs::path Sub(const char* folder) { return pf::ColonToPosix(folder); }
  vmktest::TempDir dir_;
  fs::path makers_;
};

TEST_F(AlternateFic, ExistingFileIsLeftAlone) {
  Touch(dir_.path() / "moved" / "x.tif");
  Touch(makers_ / "Tiles" / "x.tif");
  fichier f = Stored("x.tif");
  EXPECT_EQ(SearchAlternateFic(&f), 0);
  EXPECT_EQ(f.parent, 0);
  EXPECT_EQ(PStrString(f.path), Colon(dir_.path() / "moved"));
}

TEST_F(AlternateFic, EachFolderIsTriedInItsOrder) {
  ASSERT_EQ(kContentFolders.size(), 19u);
  EXPECT_STREQ(kContentFolders[8], ":Edges2:");
  EXPECT_STREQ(kContentFolders[18], ":Bord:");
  for (size_t k = 0; k < kContentFolders.size(); ++k) {
    const std::string name = "only" + std::to_string(k) + ".tif";
    Touch(makers_ / Sub(kContentFolders[k]) / name);
    // The same name further down the list loses to this one.
    const std::string both = "both" + std::to_string(k) + ".tif";
    Touch(makers_ / Sub(kContentFolders[k]) / both);
    for (size_t later = k + 1; later < kContentFolders.size(); ++later)
      Touch(makers_ / Sub(kContentFolders[later]) / both);
    for (const std::string& n : {name, both}) {
      fichier f = Stored(n);
      EXPECT_EQ(SearchAlternateFic(&f), 0);
      EXPECT_EQ(FicToPosix(f), (makers_ / Sub(kContentFolders[k]) / n).string()) << n;
      EXPECT_EQ(PStrString(f.path), Colon(makers_ / Sub(kContentFolders[k]))) << n;
      EXPECT_EQ(PStrString(f.name), n);
      EXPECT_EQ(f.type, FourCC("TIFF"));
    }
  }
}

TEST_F(AlternateFic, AFileFoundNowhereEndsOnTheLastFolder) {
  fichier f = Stored("nowhere.tif");
  EXPECT_EQ(SearchAlternateFic(&f), 0);
  EXPECT_EQ(PStrString(f.path), Colon(makers_ / "Bord"));
  EXPECT_EQ(PStrString(f.name), "nowhere.tif");
  EXPECT_NE(f.parent, 0);

  // Without a session nothing is known of a maker's folder.
  fichier g = Stored("nowhere.tif");
  TPermanent* keep = gPer;
  gPer = nullptr;
  EXPECT_EQ(SearchAlternateFic(&g), 0);
  gPer = keep;
  EXPECT_EQ(PStrString(g.path), Colon(dir_.path() / "moved"));
}

class Scans : public ::testing::Test {
 protected:
  int32_t Id(const fs::path& folder) const { return pf::FolderID(folder.string()); }
  std::vector<std::string> Names(int32_t count, bool withUncounted = false) const {
    std::vector<std::string> out;
    for (int32_t k = 0; k < count + (withUncounted ? 1 : 0); ++k) out.push_back(PStrString(list_[k].name));
    return out;
  }
  vmktest::TempDir dir_;
  std::vector<FSSpec> list_ = std::vector<FSSpec>(400);
};

TEST_F(Scans, TheFirstNameMetDepthFirstWins) {
  const fs::path root = dir_.path();
  Touch(root / "a" / "same.hvig");
  Touch(root / "a" / "zeta.hvig");
  Touch(root / "b.hvig");
  Touch(root / "same.hvig");
  Touch(root / "notes.txt");
  Touch(root / "c" / "d" / "deep.hvig");
  Touch(root / "c" / "same.hvig");
  int32_t count = 0;
  const OSType type = FourCC("hVig");
  EXPECT_EQ(SortFileType(Id(root), pf::kVolume, &type, 255, &count, list_.data()), 0);
  EXPECT_EQ(Names(count), (std::vector<std::string>{"same.hvig", "zeta.hvig", "b.hvig", "deep.hvig"}));
  EXPECT_EQ(list_[0].parID, Id(root / "a"));
  EXPECT_EQ(list_[3].parID, Id(root / "c" / "d"));
  EXPECT_EQ(pf::SpecToPosix(list_[0]), (root / "a" / "same.hvig").string());

  // A second scan appends after what is there, skipping names already listed.
  Touch(root / "more" / "b.hvig");
  Touch(root / "more" / "new.hvig");
  EXPECT_EQ(SortFileType(Id(root / "more"), pf::kVolume, &type, 255, &count, list_.data()), 0);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(PStrString(list_[4].name), "new.hvig");

  int32_t none = 0;
  EXPECT_EQ(SortFileType(Id(root / "gone"), pf::kVolume, &type, 255, &none, list_.data()),
            pf::kFolderNotFound);
  EXPECT_EQ(none, 0);
}

TEST_F(Scans, AFullListGetsNothingWrittenPastItsEnd) {
  Touch(dir_.path() / "a.hxgr");
  const OSType type = FourCC("hXgr");
  std::vector<FSSpec> small(4);
  int32_t full = 4;
  EXPECT_EQ(SortFileType(Id(dir_.path()), pf::kVolume, &type, 4, &full, small.data()), 0);
  EXPECT_EQ(full, 4);
  for (const FSSpec& s : small) EXPECT_EQ(s.name[0], 0);
}

TEST_F(Scans, ByTextAnywhereInTheName) {
  Touch(dir_.path() / "a.tif");
  Touch(dir_.path() / "b.tiff");
  Touch(dir_.path() / "c.tif.old");
  Touch(dir_.path() / "d.jpg");
  Touch(dir_.path() / "sub" / "e.TIF");
  int32_t count = 0;
  EXPECT_EQ(SortFileExt(Id(dir_.path()), pf::kVolume, ".tif", 255, &count, list_.data()), 0);
  EXPECT_EQ(Names(count), (std::vector<std::string>{"a.tif", "b.tiff", "c.tif.old"}));
}

// The hidden file that holds a maker's folder where the folder itself cannot
// be locked is nobody's content: no preset list or image library lists it,
// whatever type or name end is asked for.
TEST_F(Scans, TheFolderLockFileIsListedByNoScan) {
  const fs::path root = dir_.path();
  Touch(root / "Light.sse4");
  Touch(root / "Tiles" / "brick.tif");
  Touch(root / "Tiles" / "scan.psd");
  pf::FailFolderLocksForTesting(EBADF, 0);
  pf::FolderLock hold;
  const auto held = hold.Take(root.string());
  pf::FailFolderLocksForTesting(0, 0);
  ASSERT_EQ(held, pf::FolderLock::Result::kHeld);
  ASSERT_TRUE(fs::is_regular_file(root / pf::FolderLock::kLockFileName));
  for (const OSType type : {FourCC("Sse4"), FourCC("TIFF"), FourCC("8BPS"), FourCC("aLay"), FourCC("vMkC")}) {
    int32_t count = 0;
    EXPECT_EQ(SortFileType(Id(root), pf::kVolume, &type, 255, &count, list_.data()), 0);
    for (const std::string& name : Names(count)) EXPECT_EQ(name.find("lock"), std::string::npos) << name;
  }
  std::vector<uint8_t> specs(static_cast<size_t>(kImaPassSpecSize) * 16);
  int32_t listed = 0;
  for (const ImaScanPass& pass : ImaScanPasses()) {
    const int32_t n = ImaScanFolder(root.string(), pass, specs.data(), 16);
    for (int32_t k = 0; k < n; ++k) {
      const uint8_t* spec = specs.data() + static_cast<size_t>(k) * kImaPassSpecSize;
      const std::string name(reinterpret_cast<const char*>(spec + 7), spec[6]);
      EXPECT_EQ(name.find("lock"), std::string::npos) << name;
    }
    listed += n;
  }
  EXPECT_EQ(listed, 4);
}

// Every dialog's last settings, named and typed as the dialog writes them,
// beside a preset of the same type: the lists by type and by name offer the
// preset alone.
TEST_F(Scans, ADialogsSettingsFileIsNoPreset) {
  struct Kept {
    const char* name;
    OSType type;
  };
  const Kept kept[] = {{"tmpvmkplv.hgr", FourCC("hXgr")},   {"tmpvmkpbo.hbr", FourCC("hBor")},
                       {"tmpvmkplaid.hpl", FourCC("hPld")}, {"tmpvmkfract.hfa", FourCC("hFra")},
                       {"tmpvmkpre.hpr", FourCC("hRep")},   {"tmpvmkpts.hts", FourCC("hPts")},
                       {"tmpvmkyxl.hyx", FourCC("hYxl")},   {"tmpvmkcompeff", FourCC("hCef")}};
  for (const Kept& k : kept) {
    const fs::path folder = dir_.path() / k.name;
    const fs::path settings = folder / k.name;
    Touch(settings);
    pf::SetTypeCreator(settings.string(), k.type, FourCC("vMkC"));
    if (pf::FileTypeOf(settings.string()) != k.type) GTEST_SKIP() << "no extended attributes on " << folder;
    const std::string preset = pf::WithTypeExtension("Light", k.type);
    Touch(folder / preset);
    int32_t count = 0;
    EXPECT_EQ(SortFileType(Id(folder), pf::kVolume, &k.type, 255, &count, list_.data()), 0);
    EXPECT_EQ(Names(count), std::vector<std::string>{preset}) << k.name;
    count = 0;
    EXPECT_EQ(SortFileExt(Id(folder), pf::kVolume, k.name, 255, &count, list_.data()), 0);
    EXPECT_EQ(count, 0) << k.name;
    EXPECT_TRUE(pf::IsSettingsFileName(k.name));
  }
  // Only the prefix counts: a preset may say "tmpvmk" elsewhere in its name.
  EXPECT_FALSE(pf::IsSettingsFileName("my tmpvmkplv.hxgr"));
}

TEST_F(Scans, FolderOfARecordIsItsPathAndName) {
  fs::create_directories(dir_.path() / "Vellmarkstead");
  fichier asFound;
  ASSERT_TRUE(SetFicFromPosix(&asFound, (dir_.path() / "Vellmarkstead").string()));
  EXPECT_EQ(FolderIDOfRecord(&asFound), Id(dir_.path() / "Vellmarkstead"));
  fichier asFolder;
  SetPStr(asFolder.path, Colon(dir_.path() / "Vellmarkstead"));
  EXPECT_EQ(FolderIDOfRecord(&asFolder), Id(dir_.path() / "Vellmarkstead"));
  SetPStr(asFolder.path, Colon(dir_.path() / "nothing"));
  EXPECT_EQ(FolderIDOfRecord(&asFolder), 0);
  SetPStr(asFolder.path, ":relative:");
  EXPECT_EQ(FolderIDOfRecord(&asFolder), 0);
}

}  // namespace
