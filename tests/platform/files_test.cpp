#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/colon_paths.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_io.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"
#include "platform/files/folders.h"
#include "support/session.h"

namespace fs = std::filesystem;
using namespace plat::files;
using vmktest::ReadText;
using vmktest::ScopedEnv;
using vmktest::WriteText;

namespace {

std::string pstr(const unsigned char* s) { return std::string(reinterpret_cast<const char*>(s + 1), s[0]); }

struct PStr {
  unsigned char b[256] = {};
  explicit PStr(const std::string& s) {
    b[0] = static_cast<unsigned char>(s.size());
    for (size_t i = 0; i < s.size(); ++i) b[i + 1] = static_cast<unsigned char>(s[i]);
  }
};

TEST(ColonPaths, AbsolutePathsConvertBothWays) {
  EXPECT_EQ(ColonToPosix("home:ann:Pictures:"), "/home/ann/Pictures");
  EXPECT_EQ(ColonToPosix("home:ann:photo.tif"), "/home/ann/photo.tif");
  EXPECT_EQ(ColonToPosix("home:"), "/home");
  EXPECT_EQ(PosixToColon("/home/ann/Pictures", true), "home:ann:Pictures:");
  EXPECT_EQ(PosixToColon("/home/ann/Pictures/", true), "home:ann:Pictures:");
  EXPECT_EQ(PosixToColon("/home/ann/photo.tif", false), "home:ann:photo.tif");
  EXPECT_EQ(PosixToColon("/home", false), "home:");
  EXPECT_EQ(PosixToColon("/home/./ann/../bob", true), "home:bob:");
  // The root and relative POSIX paths have no colon form.
  EXPECT_EQ(PosixToColon("/", true), "");
  EXPECT_EQ(PosixToColon("rel/x", true), "");
  EXPECT_EQ(ColonToPosix(""), "");
}

TEST(ColonPaths, SeparatorsInsideNamesSurviveTheTrip) {
  EXPECT_EQ(PosixToColon("/data/a:b/c", false), "data:a/b:c");
  EXPECT_EQ(ColonToPosix("data:a/b:c"), "/data/a:b/c");
  for (const char* p : {"/v/x y/z.hvig", "/v/with:colon/and more", "/v/1/2/3/4/5"})
    EXPECT_EQ(ColonToPosix(PosixToColon(p, false)), p);
}

TEST(ColonPaths, RelativePathsClimbWithExtraColons) {
  EXPECT_EQ(ColonToPosix(":com.vellmarkstead.lay"), "com.vellmarkstead.lay");
  EXPECT_EQ(ColonToPosix(":a:b:"), "a/b");
  EXPECT_EQ(ColonToPosix("::a"), "../a");
  EXPECT_EQ(ColonToPosix(":"), ".");
  EXPECT_EQ(ColonToPosix("v:a::b"), "/v/a/../b");
  EXPECT_EQ(ColonToPosix("plain"), "plain");
  EXPECT_TRUE(IsAbsoluteColonPath("v:a"));
  EXPECT_FALSE(IsAbsoluteColonPath(":v:a"));
  EXPECT_FALSE(IsAbsoluteColonPath("name"));
}

TEST(FileTypes, OneExtensionPerType) {
  EXPECT_EQ(ExtensionForType(FourCC("hVig")), ".hvig");
  EXPECT_EQ(ExtensionForType(FourCC("aCH1")), ".ach1");
  EXPECT_EQ(ExtensionForType(FourCC("TIFF")), ".tif");
  EXPECT_EQ(ExtensionForType(FourCC("JPEG")), ".jpg");
  EXPECT_EQ(ExtensionForType(FourCC("PNGf")), ".png");
  EXPECT_EQ(ExtensionForType(FourCC("Sse2")), ".sse2");
  EXPECT_EQ(ExtensionForType(0x20202020u), "");

  EXPECT_EQ(TypeForExtension(".hvig"), FourCC("hVig"));
  EXPECT_EQ(TypeForExtension("HVIG"), FourCC("hVig"));
  EXPECT_EQ(TypeForExtension(".tiff"), FourCC("TIFF"));
  EXPECT_EQ(TypeForExtension(".TIF"), FourCC("TIFF"));
  EXPECT_EQ(TypeForExtension(".jpeg"), FourCC("JPEG"));
  EXPECT_EQ(TypeForExtension(".png"), FourCC("PNGf"));
  // The layered editor's "all layers" file: found by its name when the
  // type it was tagged with did not come along (a copy, a filesystem
  // without extended attributes).
  EXPECT_EQ(TypeForExtension(".vmkc"), FourCC("vMkC"));
  EXPECT_EQ(TypeForExtension(".lay"), 0u);
  EXPECT_EQ(TypeForExtension(""), 0u);
}

TEST(FileTypes, SavedNamesGetTheirTypesExtensionOnce) {
  EXPECT_EQ(WithTypeExtension("Warm", FourCC("hVig")), "Warm.hvig");
  EXPECT_EQ(WithTypeExtension("Warm.hvig", FourCC("hVig")), "Warm.hvig");
  EXPECT_EQ(WithTypeExtension("shot.TIFF", FourCC("TIFF")), "shot.TIFF");
  EXPECT_EQ(WithTypeExtension("shot.jpg", FourCC("TIFF")), "shot.jpg.tif");
  EXPECT_EQ(ExtensionOf("dir.x/name"), "");
  EXPECT_EQ(ExtensionOf(".hidden"), "");
  EXPECT_EQ(ExtensionOf("a.b.png"), ".png");
}

TEST(FileTypes, ShownNamesLoseOnlyTheSuffixThatMarksTheSystemsOwnType) {
  EXPECT_EQ(DisplayName("Light.sse4"), "Light");
  EXPECT_EQ(DisplayName("Edged vignette.hcim"), "Edged vignette");
  EXPECT_EQ(DisplayName("Black and white.ac28"), "Black and white");
  EXPECT_EQ(DisplayName("Bulge.hxgr"), "Bulge");
  EXPECT_EQ(DisplayName("Emboss.ach4"), "Emboss");
  EXPECT_EQ(DisplayName("Layer.ala0"), "Layer");
  EXPECT_EQ(DisplayName("Warm.HVIG"), "Warm");  // the table's case does not count
  // The user's own dots stay, and only the one mark goes.
  EXPECT_EQ(DisplayName("v1.2.sse4"), "v1.2");
  EXPECT_EQ(DisplayName("v1.2"), "v1.2");
  EXPECT_EQ(DisplayName("Cool.hvig.sse4"), "Cool.hvig");
  EXPECT_EQ(DisplayName("Light"), "Light");
  EXPECT_EQ(DisplayName("Light."), "Light.");
  // Image and text extensions are part of those files' names.
  EXPECT_EQ(DisplayName("canvas.tif"), "canvas.tif");
  EXPECT_EQ(DisplayName("sunset.jpg"), "sunset.jpg");
  EXPECT_EQ(DisplayName("notes.txt"), "notes.txt");
  // A name that is nothing but a mark keeps it: it would show as nothing.
  EXPECT_EQ(DisplayName(".sse4"), ".sse4");
  EXPECT_EQ(DisplayName(""), "");
  // In a path only the leaf's mark goes; a folder's dot is no suffix.
  EXPECT_EQ(DisplayName("Presets/Light.sse4"), "Presets/Light");
  EXPECT_EQ(DisplayName("Presets.sse4/Light"), "Presets.sse4/Light");
  // Every name a save gives comes back as the user typed it.
  for (const char* typed : {"Light", "v1.2", "a.b.c", "Cool.hvig", "canvas.tif"})
    EXPECT_EQ(DisplayName(WithTypeExtension(typed, FourCC("Sse4"))), typed) << typed;
}

TEST(FileTypes, TypeAndCreatorTagsAreKeptWhereTheFileSystemAllows) {
  vmktest::TempDir dir;
  const std::string f = dir.file("preset");
  WriteText(f, "x");
  SetTypeCreator(f, FourCC("hVig"), FourCC("vMkC"));
  OSType t = 1, c = 1;
  if (!GetTypeCreator(f, &t, &c)) GTEST_SKIP() << "no extended attributes here";
  EXPECT_EQ(t, FourCC("hVig"));
  EXPECT_EQ(c, FourCC("vMkC"));
  EXPECT_EQ(FileTypeOf(f), FourCC("hVig"));
  // A file without tags is typed by its extension; a missing file is ignored.
  const std::string g = dir.file("plain.tif");
  WriteText(g, "x");
  EXPECT_EQ(FileTypeOf(g), FourCC("TIFF"));
  SetTypeCreator(dir.file("missing"), FourCC("hVig"), FourCC("vMkC"));
  EXPECT_FALSE(GetTypeCreator(dir.file("missing"), &t, &c));
  EXPECT_EQ(t, 0u);
}

TEST(Folders, SupportFolderFollowsTheEnvironment) {
  {
    ScopedEnv a("VMK_SUPPORT_DIR", "/srv/support/");
    ScopedEnv b("XDG_DATA_HOME", "/xdg");
    EXPECT_EQ(ApplicationSupportFolder(), "/srv/support");
  }
  {
    ScopedEnv a("VMK_SUPPORT_DIR", nullptr);
    ScopedEnv b("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(ApplicationSupportFolder(), "/xdg/data");
  }
  {
    ScopedEnv a("VMK_SUPPORT_DIR", nullptr);
    ScopedEnv b("XDG_DATA_HOME", "relative");
    ScopedEnv c("HOME", "/home/ann");
    EXPECT_EQ(ApplicationSupportFolder(), "/home/ann/.local/share");
  }
  {
    // Named from the current folder: the folder there, by its whole path.
    const std::string here = fs::current_path().string();
    ScopedEnv b("XDG_DATA_HOME", "/xdg");
    for (const char* relative : {"rel/dir", "rel/dir/", "./rel/dir", "rel/../rel/dir"}) {
      ScopedEnv a("VMK_SUPPORT_DIR", relative);
      EXPECT_EQ(ApplicationSupportFolder(), (here == "/" ? "" : here) + "/rel/dir") << relative;
    }
    ScopedEnv a("VMK_SUPPORT_DIR", nullptr);
    ScopedEnv c("XDG_DATA_HOME", nullptr);
    ScopedEnv d("HOME", "home/ann/");
    EXPECT_EQ(ApplicationSupportFolder(), (here == "/" ? "" : here) + "/home/ann/.local/share");
  }
}

TEST(Folders, MakersFolderSearchPrefersTheDirectChildThenGoesDepthFirst) {
  vmktest::TempDir dir;
  const fs::path root = dir.path();
  fs::create_directories(root / "a" / "b" / "Vellmarkstead");
  fs::create_directories(root / "c" / "Vellmarkstead");
  fs::create_directories(root / "Vellmarkstead2");
  // Depth first in name order: a/b/... is found before c/...
  EXPECT_EQ(FindFolderBelow(root.string(), "Vellmarkstead", 4),
            (root / "a" / "b" / "Vellmarkstead").string());
  fs::create_directories(root / "Vellmarkstead");
  EXPECT_EQ(FindFolderBelow(root.string(), "Vellmarkstead", 4),
            (root / "Vellmarkstead").string());

  ScopedEnv env("VMK_SUPPORT_DIR", root.c_str());
  EXPECT_EQ(FindMakersFolder(), (root / "Vellmarkstead").string());
}

TEST(Folders, MakersFolderSearchStopsAtFourLevels) {
  vmktest::TempDir dir;
  const fs::path root = dir.path();
  fs::create_directories(root / "1" / "2" / "3" / "4" / "Vellmarkstead");
  fs::create_directories(root / "x" / "y" / "z" / "Vellmarkstead");
  EXPECT_EQ(FindFolderBelow(root.string(), "Vellmarkstead", 4),
            (root / "x" / "y" / "z" / "Vellmarkstead").string());
  fs::remove_all(root / "x");
  EXPECT_EQ(FindFolderBelow(root.string(), "Vellmarkstead", 4), std::nullopt);
  EXPECT_EQ(FindFolderBelow((root / "nowhere").string(), "Vellmarkstead", 4), std::nullopt);
  // A file of that name is not a folder.
  WriteText((root / "Vellmarkstead").string(), "");
  EXPECT_EQ(FindFolderBelow(root.string(), "Vellmarkstead", 1), std::nullopt);
}

TEST(FileSpecs, MadeFromColonPathsWithTheirFolder) {
  vmktest::TempDir dir;
  const std::string folder = PosixToColon(dir.path().string(), true);
  WriteText(dir.file("there"), "x");
  FSSpec s;
  EXPECT_EQ(FSMakeFSSpec(0, 0, PStr(folder + "there").b, &s), 0);
  EXPECT_EQ(pstr(s.name), "there");
  EXPECT_EQ(SpecToPosix(s), dir.file("there"));
  std::string colon;
  ASSERT_TRUE(FolderColonPath(s.parID, &colon));
  EXPECT_EQ(colon, folder);

  EXPECT_EQ(FSMakeFSSpec(0, 0, PStr(folder + "missing").b, &s), kFileNotFound);
  EXPECT_EQ(SpecToPosix(s), dir.file("missing"));
  // A missing folder still names where the item would be.
  EXPECT_EQ(FSMakeFSSpec(0, 0, PStr(folder + "no:file").b, &s), kFolderNotFound);
  EXPECT_EQ(SpecToPosix(s), dir.file("no/file"));

  // Relative names need a known folder.
  FSSpec t;
  const int32_t id = FolderID(dir.path().string());
  EXPECT_EQ(FSMakeFSSpec(0, id, PStr("there").b, &t), 0);
  EXPECT_EQ(SpecToPosix(t), dir.file("there"));
  FSSpec u;
  u.parID = 77777;
  EXPECT_EQ(FSMakeFSSpec(0, 0, PStr(":there").b, &u), kFolderNotFound);
  EXPECT_EQ(u.parID, 77777);
  // The folder itself, by an empty name.
  EXPECT_EQ(FSMakeFSSpec(0, id, PStr("").b, &t), 0);
  EXPECT_EQ(SpecToPosix(t), dir.path().string());
}

TEST(FileSpecs, FolderIdentifiersClimbToTheTop) {
  const int32_t id = FolderID("/vol/a/b");
  EXPECT_EQ(FolderID("/vol/a/b/"), id);
  EXPECT_EQ(FolderID("relative"), 0);
  int32_t up = id;
  ASSERT_TRUE(ParentFolderID(up, &up));
  std::string colon;
  ASSERT_TRUE(FolderColonPath(up, &colon));
  EXPECT_EQ(colon, "vol:a:");
  ASSERT_TRUE(ParentFolderID(up, &up));
  ASSERT_TRUE(ParentFolderID(up, &up));
  EXPECT_EQ(up, kRootParentID);
  EXPECT_FALSE(FolderColonPath(up, &colon));
  EXPECT_FALSE(ParentFolderID(up, &up));
}

TEST(FileIO, ReplacementTakesThePlaceOnlyWhenClosed) {
  vmktest::TempDir dir;
  const std::string f = dir.file("scene.hvig");
  WriteText(f, "old contents");
  const int32_t before = OpenFileCount();
  int16_t ref = 0;
  ASSERT_EQ(OpenReplacement(f, FourCC("vMkC"), FourCC("hVig"), &ref), 0);
  int32_t n = 3;
  ASSERT_EQ(WriteFile(ref, "new", &n), 0);
  EXPECT_EQ(ReadText(f), "old contents");
  ASSERT_EQ(CloseFile(ref), 0);
  EXPECT_EQ(ReadText(f), "new");
  EXPECT_EQ(OpenFileCount(), before);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(FileIO, AFailedReplacementKeepsTheOldFile) {
  vmktest::TempDir dir;
  const std::string f = dir.file("keep");
  WriteText(f, "precious");
  {
    AtomicReplace r(f);
    ASSERT_TRUE(r.ok());
    r.write("partial", 7);
    r.fail();
    EXPECT_FALSE(r.commit());
  }
  {
    AtomicReplace r(f);
    r.write("abandoned", 9);
  }
  EXPECT_EQ(ReadText(f), "precious");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  AtomicReplace r(dir.file("missing/x"));
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.commit());
}

TEST(FileIO, InjectedWriteFailuresHitOnlyTheirFolderAndKeepTheOldFiles) {
  vmktest::TempDir dir;
  fs::create_directories(dir.file("full/below"));
  const std::string kept = dir.file("full/below/kept");
  const std::string open = dir.file("full/open");
  const std::string elsewhere = dir.file("fullness");
  WriteText(kept, "precious");
  WriteText(open, "as it was");
  FailWritesForTesting(dir.file("full"), ENOSPC);
  {
    AtomicReplace r(kept);
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(r.write("new", 3));
    EXPECT_EQ(r.error(), ENOSPC);
    EXPECT_FALSE(r.commit());
    EXPECT_EQ(r.error(), ENOSPC);
  }
  int16_t ref = 0;
  ASSERT_EQ(OpenReplacement(kept, 0, 0, &ref), 0);
  int32_t n = 3;
  EXPECT_EQ(WriteFile(ref, "new", &n), kDiskFull);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(CloseFile(ref), kIOError);
  ASSERT_EQ(OpenFile(open, &ref), 0);
  n = 3;
  EXPECT_EQ(WriteFile(ref, "new", &n), kDiskFull);
  // Reading still works, and so does a write of nothing.
  char buf[9] = {};
  n = 9;
  EXPECT_EQ(ReadFile(ref, buf, &n), 0);
  n = 0;
  EXPECT_EQ(WriteFile(ref, "", &n), 0);
  EXPECT_EQ(CloseFile(ref), 0);
  // A name that only begins like the folder is not in it.
  {
    AtomicReplace r(elsewhere);
    EXPECT_TRUE(r.write("fine", 4));
    EXPECT_TRUE(r.commit());
    EXPECT_EQ(r.error(), 0);
  }
  FailWritesForTesting(dir.file("full"), EROFS);
  ASSERT_EQ(OpenReplacement(kept, 0, 0, &ref), 0);
  n = 1;
  EXPECT_EQ(WriteFile(ref, "x", &n), kPermission);
  EXPECT_EQ(CloseFile(ref), kIOError);
  FailWritesForTesting("", 0);
  EXPECT_EQ(ReadText(kept), "precious");
  EXPECT_EQ(ReadText(open), "as it was");
  EXPECT_EQ(ReadText(elsewhere), "fine");
  // No temporary is left anywhere.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("full/below")), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("full")), fs::directory_iterator()), 2);
  {
    AtomicReplace r(kept);
    EXPECT_TRUE(r.write("new", 3));
    EXPECT_TRUE(r.commit());
  }
  EXPECT_EQ(ReadText(kept), "new");
}

// A failed write leaves the system's error in errno, also once the replacement it failed is
// closed, so that a caller several layers up can tell the user the system's words.
TEST(FileIO, AFailedWriteLeavesTheSystemsErrorInErrnoThroughTheCommit) {
  vmktest::TempDir dir;
  for (const int error : {ENOSPC, EROFS}) {
    FailWritesForTesting(dir.path().string(), error);
    int16_t ref = 0;
    ASSERT_EQ(OpenReplacement(dir.file("kept"), 0, 0, &ref), 0);
    int32_t n = 3;
    errno = 0;
    EXPECT_NE(WriteFile(ref, "new", &n), 0);
    EXPECT_EQ(errno, error);
    errno = 0;
    EXPECT_EQ(CloseFile(ref), kIOError);
    EXPECT_EQ(errno, error);
  }
  FailWritesForTesting("", 0);
}

TEST(FileIO, AReplacementSaysWhichSystemErrorStoppedIt) {
  vmktest::TempDir dir;
  // The folder is missing: the temporary cannot be made.
  AtomicReplace missing(dir.file("no/such"));
  EXPECT_FALSE(missing.ok());
  EXPECT_EQ(missing.error(), ENOENT);
  // A folder stands where the file should go: the rename fails.
  fs::create_directories(dir.file("taken/inside"));
  AtomicReplace taken(dir.file("taken"));
  ASSERT_TRUE(taken.ok());
  EXPECT_TRUE(taken.write("x", 1));
  EXPECT_FALSE(taken.commit());
  EXPECT_EQ(taken.error(), EISDIR);
  EXPECT_TRUE(fs::is_directory(dir.file("taken/inside")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// A watch learns of each temporary file before its name appears (where the
// file system makes files without a name), and the watch's put gives it
// the final path's place: its refusal fails the commit and keeps the old
// file.
struct WatchLog {
  static inline std::vector<std::string> made;
  static inline std::vector<bool> namedWhenMade;
  static inline std::vector<std::string> ended;
  static inline int refuse = 0;
  static void Step(bool) {}
  static int Made(const char* temporary, const char* finalPath, int) {
    made.push_back(std::string(temporary) + " for " + finalPath);
    namedWhenMade.push_back(fs::exists(temporary));
    return static_cast<int>(made.size()) - 1;
  }
  static void Ended(int token, bool renamed) { ended.push_back(std::to_string(token) + (renamed ? " renamed" : " gone")); }
  static int Put(int, const char* temporary, const char* finalPath) {
    if (refuse != 0) return refuse;
    return ::rename(temporary, finalPath) == 0 ? 0 : errno;
  }
};

TEST(FileIO, AWatchLearnsOfEachTemporaryBeforeItsNameAppearsAndPutsItInPlace) {
  vmktest::TempDir dir;
  const std::string f = dir.file("picture.tif");
  WriteText(f, "old");
  const int unnamed = ::open(dir.path().c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (unnamed >= 0) ::close(unnamed);
  WatchLog::made.clear();
  WatchLog::namedWhenMade.clear();
  WatchLog::ended.clear();
  WatchLog::refuse = 0;
  static const TemporaryWatch watch = {WatchLog::Step, WatchLog::Made, WatchLog::Ended, WatchLog::Put};
  WatchTemporaries(&watch);
  {
    AtomicReplace r(f);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(WatchLog::made.size(), 1u);
    EXPECT_EQ(WatchLog::made[0], r.tempPath() + " for " + f);
    // Hidden beside the file, six letters or digits of its own.
    const std::string leaf = fs::path(r.tempPath()).filename().string();
    EXPECT_EQ(leaf.rfind(".~picture.tif.", 0), 0u) << leaf;
    EXPECT_EQ(leaf.size(), std::string(".~picture.tif.").size() + 6);
    EXPECT_EQ(WatchLog::namedWhenMade[0], unnamed < 0);
    EXPECT_TRUE(fs::exists(r.tempPath()));
    EXPECT_TRUE(r.write("new", 3));
    EXPECT_TRUE(r.commit());
  }
  EXPECT_EQ(ReadText(f), "new");
  EXPECT_EQ(WatchLog::ended, std::vector<std::string>{"0 renamed"});
  WatchLog::refuse = EEXIST;
  {
    AtomicReplace r(f);
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(r.write("newer", 5));
    EXPECT_FALSE(r.commit());
    EXPECT_EQ(r.error(), EEXIST);
  }
  WatchTemporaries(nullptr);
  EXPECT_EQ(ReadText(f), "new");
  EXPECT_EQ(WatchLog::ended, (std::vector<std::string>{"0 renamed", "1 gone"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(FileIO, CreateOpenReadAndErrors) {
  vmktest::TempDir dir;
  const std::string f = dir.file("data");
  EXPECT_EQ(CreateFile(f, FourCC("vMkC"), FourCC("aLay")), 0);
  EXPECT_EQ(CreateFile(f, FourCC("vMkC"), FourCC("aLay")), kDuplicateName);
  EXPECT_EQ(CreateFile(dir.file("no/data"), 0, 0), kFolderNotFound);
  EXPECT_TRUE(CanOpenFile(f));
  EXPECT_FALSE(CanOpenFile(dir.path().string()));
  int16_t ref = 0;
  EXPECT_EQ(OpenFile(dir.file("none"), &ref), kFileNotFound);
  EXPECT_EQ(OpenFile(dir.path().string(), &ref), kFileNotFound);
  ASSERT_EQ(OpenFile(f, &ref), 0);
  int32_t n = 5;
  ASSERT_EQ(WriteFile(ref, "abcde", &n), 0);
  const uint64_t seeks = SeekCount();
  ASSERT_EQ(SetFilePos(ref, 1), 0);
  EXPECT_EQ(SeekCount(), seeks + 1);
  char buf[8] = {};
  n = 8;
  EXPECT_EQ(ReadFile(ref, buf, &n), kEndOfFile);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(std::string(buf, 4), "bcde");
  int32_t size = 0;
  EXPECT_EQ(GetEOF(ref, &size), 0);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(SetEOF(ref, 2), 0);
  EXPECT_EQ(GetEOF(ref, &size), 0);
  EXPECT_EQ(size, 2);
  EXPECT_EQ(SetFilePos(ref, -1), kBadPosition);
  EXPECT_EQ(CloseFile(ref), 0);
  EXPECT_EQ(CloseFile(ref), kBadRefNum);
  n = 1;
  EXPECT_EQ(ReadFile(ref, buf, &n), kBadRefNum);
  EXPECT_EQ(DeleteFile(f), 0);
  EXPECT_EQ(DeleteFile(f), kFileNotFound);
}

}  // namespace
