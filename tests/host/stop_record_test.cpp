// The host's record of what a start made, driven in place: every
// replacement is followed however many are open at once, and a write-back
// whose copy's name another file took goes beside it, with the record
// following it there.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/file_io.h"
#include "support/session.h"

#ifdef VMK_EDIT_HOST

#include "stop_signals.h"

namespace {

namespace fs = std::filesystem;

class StopRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::files::WatchTemporaries(stops::TemporaryWatch()); }
  void TearDown() override { plat::files::WatchTemporaries(nullptr); }
  // A copy made at `path` with `text`, recorded and whole.
  stops::Made* Copy(const std::string& path, const std::string& text) {
    vmktest::WriteText(path, text);
    stops::Made* made = nullptr;
    {
      const stops::Change change;
      made = stops::RecordMade(path, -1, false);
    }
    stops::CopyWhole(made);
    return made;
  }
  static bool WriteBack(const std::string& path, const std::string& text) {
    plat::files::AtomicReplace r(path);
    return r.ok() && r.write(text.data(), text.size()) && r.commit();
  }

  vmktest::TempDir dir_;
};

// Forty replacements of support files open while OK writes the copy back:
// each is known, so the removal takes every half-written file and the
// written-back copy, and says nothing stays.
TEST_F(StopRecordTest, EveryReplacementIsFollowedHoweverManyAreOpen) {
  const std::string copy = dir_.file("picture.tif");
  Copy(copy, "as made");
  std::vector<std::unique_ptr<plat::files::AtomicReplace>> open;
  for (int i = 0; i < 40; ++i) {
    open.push_back(std::make_unique<plat::files::AtomicReplace>(dir_.file("support " + std::to_string(i))));
    ASSERT_TRUE(open.back()->ok());
    ASSERT_TRUE(open.back()->write("half", 4));
  }
  ASSERT_TRUE(WriteBack(copy, "the edit"));
  const std::vector<std::string> written = stops::WrittenBack();
  ASSERT_FALSE(written.empty());
  EXPECT_EQ(written.back(), copy);
  std::vector<std::string> left;
  stops::RemoveRecorded(&left);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
  open.clear();
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename().string());
  EXPECT_TRUE(names.empty()) << ::testing::PrintToString(names);
}

// The user's file took the copy's name (renamed there, as an export does):
// the write-back keeps it and takes the next free name; the record follows
// the edit there, so a removal takes the edit and leaves the user's file.
TEST_F(StopRecordTest, AWriteBackNeverReplacesAFileThatTookTheCopysName) {
  const std::string copy = dir_.file("picture.tif");
  stops::Made* made = Copy(copy, "as made");
  vmktest::WriteText(dir_.file("picture-1.tif"), "the user's other picture");
  vmktest::WriteText(dir_.file(".export"), "the user's export");
  fs::rename(dir_.file(".export"), copy);
  ASSERT_TRUE(WriteBack(copy, "the edit"));
  EXPECT_EQ(vmktest::ReadText(copy), "the user's export");
  EXPECT_EQ(vmktest::ReadText(dir_.file("picture-1.tif")), "the user's other picture");
  EXPECT_EQ(vmktest::ReadText(dir_.file("picture-2.tif")), "the edit");
  EXPECT_EQ(stops::PathOf(made), dir_.file("picture-2.tif"));
  ASSERT_FALSE(stops::Moved().empty());
  EXPECT_EQ(stops::Moved().back(), std::make_pair(copy, dir_.file("picture-2.tif")));
  // A second write-back to the name the plug-in knows goes to the edit's
  // new place, not over the user's file.
  ASSERT_TRUE(WriteBack(copy, "the edit, again"));
  EXPECT_EQ(vmktest::ReadText(copy), "the user's export");
  EXPECT_EQ(vmktest::ReadText(dir_.file("picture-2.tif")), "the edit, again");
  std::vector<std::string> left;
  stops::RemoveRecorded(&left);
  EXPECT_TRUE(left.empty()) << ::testing::PrintToString(left);
  EXPECT_FALSE(fs::exists(dir_.file("picture-2.tif")));
  EXPECT_EQ(vmktest::ReadText(copy), "the user's export");
  EXPECT_EQ(vmktest::ReadText(dir_.file("picture-1.tif")), "the user's other picture");
}

}  // namespace

#endif
