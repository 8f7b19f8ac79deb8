// A kept file goes back byte for byte: through a replacement, or over the
// file where it lies when the disk has no room for a second copy.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "host/session/kept_file.h"
#include "platform/files/file_io.h"
#include "support/session.h"

namespace {

namespace fs = std::filesystem;

fichier Record(const std::string& path) {
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, path));
  return f;
}

size_t EntriesIn(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(KeptFile, PutsTheBytesBackOrTheAbsenceAndLeavesNoTemporary) {
  vmktest::TempDir dir;
  const std::string path = dir.file("layers.lay");
  vmktest::WriteText(path, "the confirmed layers");
  const KeptFile kept(Record(path));
  EXPECT_TRUE(kept.existed());
  EXPECT_TRUE(kept.Unchanged());
  vmktest::WriteText(path, "a preview's layers, longer than the old ones");
  EXPECT_FALSE(kept.Unchanged());
  EXPECT_TRUE(kept.Restore());
  EXPECT_EQ(vmktest::ReadText(path), "the confirmed layers");
  EXPECT_EQ(EntriesIn(dir.path()), 1u);

  const std::string none = dir.file("none.lay");
  const KeptFile absent(Record(none));
  EXPECT_FALSE(absent.existed());
  vmktest::WriteText(none, "made meanwhile");
  EXPECT_TRUE(absent.Restore());
  EXPECT_FALSE(fs::exists(none));
  // A folder that took the file's place is not the kept file's to remove.
  fs::create_directory(none);
  EXPECT_TRUE(absent.Restore());
  EXPECT_TRUE(fs::is_directory(none));
}

TEST(KeptFile, OnAFullDiskTheOldBytesGoBackWhereTheFileLies) {
  vmktest::TempDir dir;
  const std::string path = dir.file("layers.lay");
  vmktest::WriteText(path, "the confirmed layers of an earlier effect");
  const KeptFile kept(Record(path));
  for (const std::string now : {"shorter", "a preview's layers, longer than the confirmed ones were"}) {
    vmktest::WriteText(path, now);
    plat::files::FailWritesForTesting(dir.path().string(), ENOSPC);
    const bool restored = kept.Restore();
    plat::files::FailWritesForTesting("", 0);
    EXPECT_TRUE(restored) << now;
    EXPECT_EQ(vmktest::ReadText(path), "the confirmed layers of an earlier effect") << now;
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
  }
}

}  // namespace
