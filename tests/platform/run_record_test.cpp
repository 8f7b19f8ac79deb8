// What a later start takes away after a run was killed: only what that
// run's record says it made, only while the name holds that very file, and
// a removal that no rename of another program's can race.
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/race_free_removal.h"
#include "platform/files/run_record.h"
#include "support/session.h"

namespace fs = std::filesystem;
using namespace plat::files;
using vmktest::ReadText;
using vmktest::WriteText;

namespace {

FileIdentity IdentityOrFail(const std::string& path, bool content) {
  FileIdentity id;
  EXPECT_TRUE(IdentityOf(path.c_str(), content, &id)) << path;
  return id;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(RaceFreeRemoval, PrivateNamesAreBesideThePathAndTellTheRunAndEntry) {
  char out[64];
  ASSERT_TRUE(PrivateNameBeside("/v/pictures/a.tif", "123-AbCd", 42, out, sizeof out));
  EXPECT_STREQ(out, "/v/pictures/.~vmk-123-AbCd-42");
  ASSERT_TRUE(PrivateNameBeside("a.tif", "9-x", 0, out, sizeof out));
  EXPECT_STREQ(out, ".~vmk-9-x-0");
  ASSERT_TRUE(PrivateNameBeside("/f/", "t", 18446744073709551615ull, out, sizeof out));
  EXPECT_STREQ(out, "/f/.~vmk-t-18446744073709551615");
  // Exactly full (with its closing zero), and one byte short.
  ASSERT_TRUE(PrivateNameBeside("/f/x", "t", 7, out, 13));
  EXPECT_STREQ(out, "/f/.~vmk-t-7");
  EXPECT_FALSE(PrivateNameBeside("/f/x", "t", 17, out, 13));
}

TEST(RaceFreeRemoval, ARenameNeverReplacesWhatIsThere) {
  vmktest::TempDir dir;
  WriteText(dir.file("a"), "a");
  WriteText(dir.file("b"), "b");
  EXPECT_EQ(RenameWithoutReplacing(dir.file("a").c_str(), dir.file("b").c_str()), EEXIST);
  EXPECT_EQ(ReadText(dir.file("a")), "a");
  EXPECT_EQ(ReadText(dir.file("b")), "b");
  EXPECT_EQ(RenameWithoutReplacing(dir.file("a").c_str(), dir.file("c").c_str()), 0);
  EXPECT_FALSE(fs::exists(dir.file("a")));
  EXPECT_EQ(ReadText(dir.file("c")), "a");
  EXPECT_EQ(RenameWithoutReplacing(dir.file("none").c_str(), dir.file("d").c_str()), ENOENT);
  fs::create_directories(dir.file("folder/inside"));
  EXPECT_EQ(RenameWithoutReplacing(dir.file("folder").c_str(), dir.file("moved").c_str()), 0);
  EXPECT_TRUE(fs::is_directory(dir.file("moved/inside")));
}

TEST(RaceFreeRemoval, OnlyTheFileMadeGoesAndNothingElseIsMoved) {
  vmktest::TempDir dir;
  const std::string copy = dir.file("copy.tif");
  const std::string away = dir.file(".~vmk-test-1");
  WriteText(copy, "ours");
  const FileIdentity ours = IdentityOrFail(copy, false);
  // Another file at the name: left where it is.
  fs::rename(copy, dir.file("kept.tif"));
  WriteText(copy, "the user's");
  EXPECT_EQ(RemoveIfHolds(copy.c_str(), ours, false, away.c_str()), Removal::kNotIt);
  EXPECT_EQ(ReadText(copy), "the user's");
  fs::remove(copy);
  EXPECT_EQ(RemoveIfHolds(copy.c_str(), ours, false, away.c_str()), Removal::kNotThere);
  fs::rename(dir.file("kept.tif"), copy);
  // The same file, changed since: kept when the content must be unchanged,
  // removed when only the file counts.
  const FileIdentity asMade = IdentityOrFail(copy, true);
  {
    const int fd = ::open(copy.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "!", 1), 1);
    ::close(fd);
  }
  EXPECT_EQ(RemoveIfHolds(copy.c_str(), asMade, false, away.c_str()), Removal::kNotIt);
  EXPECT_EQ(ReadText(copy), "ours!");
  EXPECT_EQ(RemoveIfHolds(copy.c_str(), ours, false, away.c_str()), Removal::kRemoved);
  EXPECT_TRUE(Names(dir.path().string()).empty());
  // A folder goes only when empty, and stays at its name otherwise.
  fs::create_directories(dir.file("made/inner"));
  const FileIdentity folder = IdentityOrFail(dir.file("made"), false);
  EXPECT_EQ(RemoveIfHolds(dir.file("made").c_str(), folder, true, away.c_str()), Removal::kFailed);
  EXPECT_TRUE(fs::is_directory(dir.file("made/inner")));
  fs::remove(dir.file("made/inner"));
  EXPECT_EQ(RemoveIfHolds(dir.file("made").c_str(), folder, true, away.c_str()), Removal::kRemoved);
  EXPECT_TRUE(Names(dir.path().string()).empty());
}

// Another program renames the user's file onto the copy's name at a random
// moment while the copy is being removed: whichever comes first, the user's
// file is at the name afterwards, whole. The two start together on a
// signal and the rename waits a random few microseconds, so that it lands
// before, inside and after the removal's steps.
TEST(RaceFreeRemoval, AFileRenamedOntoTheNameWhileItIsRemovedIsAlwaysKept) {
  vmktest::TempDir dir;
  const std::string copy = dir.file("copy.tif");
  const std::string away = dir.file(".~vmk-test-1");
  const std::string users = dir.file("export.tif");
  constexpr int kTrials = 3000;
  std::atomic<int> trial{-1};
  std::atomic<int> renamed{-1};
  std::thread user([&] {
    std::mt19937 random(20240607);
    for (int t = 0; t < kTrials; ++t) {
      while (trial.load() != t) {
      }
      const int spin = static_cast<int>(random() % 20000);
      for (int i = 0; i < spin; ++i) trial.load(std::memory_order_relaxed);
      if (::rename(users.c_str(), copy.c_str()) != 0) ADD_FAILURE() << "rename: " << errno;
      renamed.store(t);
    }
  });
  int removedFirst = 0;
  int renamedFirst = 0;
  int lost = 0;
  for (int t = 0; t < kTrials; ++t) {
    WriteText(copy, "ours");
    const FileIdentity ours = IdentityOrFail(copy, false);
    const std::string mine = "the user's file " + std::to_string(t);
    WriteText(users, mine);
    trial.store(t);
    const Removal r = RemoveIfHolds(copy.c_str(), ours, false, away.c_str());
    while (renamed.load() != t) {
    }
    (r == Removal::kRemoved ? removedFirst : renamedFirst) += 1;
    std::error_code ec;
    if (!(r == Removal::kRemoved || r == Removal::kNotIt) || !fs::exists(copy) || ReadText(copy) != mine ||
        Names(dir.path().string()) != std::vector<std::string>{"copy.tif"}) {
      if (++lost == 1) ADD_FAILURE() << "trial " << t << ": the user's file is not at the name, whole";
      fs::remove(away, ec);
    }
    fs::remove(copy, ec);
  }
  user.join();
  EXPECT_EQ(lost, 0);
  RecordProperty("removed_first", removedFirst);
  RecordProperty("renamed_first", renamedFirst);
}

class RunRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_.file("v")); }
  std::string Records() const { return dir_.file("records"); }
  std::string V(const std::string& name) const { return dir_.file("v/" + name); }
  // Makes `name` in v with `text` and writes it down in `record`.
  uint64_t Make(RunRecord* record, RunRecord::Kind kind, const std::string& name, const std::string& text = "x") {
    if (kind == RunRecord::Kind::kFolder)
      fs::create_directories(V(name));
    else
      WriteText(V(name), text);
    record->Made(++next_, kind, V(name), IdentityOrFail(V(name), kind == RunRecord::Kind::kCopy));
    return next_;
  }
  // Plants a file of the user's.
  void Plant(const std::string& name) {
    fs::create_directories(fs::path(V(name)).parent_path());
    WriteText(V(name), "user data of " + name);
  }

  vmktest::TempDir dir_;
  uint64_t next_ = 0;
};

// A run killed outright: its temporary, its unchanged copy and its empty
// folder go; what it wrote down and then ended, what changed, what another
// file replaced, and every file of the user's whatever its name, stay.
TEST_F(RunRecordTest, AKilledRunsThingsGoAndNothingElse) {
  const std::vector<std::string> users = {".~report.odt.ABC123", ".~notes.backup", ".~Budget 2026.xlsx.final1",
                                          "My presets/old/.~Light.sse4.Kp9Zz1", ".~vmk-1-x-1", "holiday.jpg"};
  for (const std::string& u : users) Plant(u);
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  ASSERT_TRUE(run.active());
  Make(&run, RunRecord::Kind::kFolder, "made");
  Make(&run, RunRecord::Kind::kTemporary, "made/.~a.tif.Ab12Cd", std::string(5000, 't'));
  Make(&run, RunRecord::Kind::kCopy, "made/a.tif", "copy of a");
  // Written again by the run itself after it was first written down.
  const uint64_t b = Make(&run, RunRecord::Kind::kCopy, "b.tif", "copy of b");
  WriteText(V("b.tif.new"), "copy of b, whole");
  fs::rename(V("b.tif.new"), V("b.tif"));
  run.Made(b, RunRecord::Kind::kCopy, V("b.tif"), IdentityOrFail(V("b.tif"), true));
  // An edit written back: the user's, and ended.
  const uint64_t edited = Make(&run, RunRecord::Kind::kCopy, "edited.tif", "the edit");
  run.Ended(edited);
  // Changed by the user since it was made.
  Make(&run, RunRecord::Kind::kCopy, "changed.tif", "copy");
  WriteText(V("changed.tif"), "copy, then painted on");
  // Replaced by a file of the user's at its name.
  Make(&run, RunRecord::Kind::kCopy, "replaced.tif", "copy");
  fs::remove(V("replaced.tif"));
  WriteText(V("replaced.tif"), "the user's export");
  // A temporary whose name the user's file took.
  Make(&run, RunRecord::Kind::kTemporary, ".~c.tif.Zz9Yy8");
  WriteText(V("other"), "the user's");
  fs::rename(V("other"), V(".~c.tif.Zz9Yy8"));
  // A folder the run made that holds a file of the user's now.
  Make(&run, RunRecord::Kind::kFolder, "kept folder");
  Plant("kept folder/mine.txt");
  // Named relative to the folder the run ran in; the later start runs
  // elsewhere.
  WriteText(V("relative.tif"), "copy");
  {
    const fs::path was = fs::current_path();
    fs::current_path(dir_.path());
    run.Made(++next_, RunRecord::Kind::kCopy, "v/relative.tif", IdentityOrFail("v/relative.tif", true));
    fs::current_path(was);
  }
  run.AbandonForTesting();

  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 5);
  EXPECT_FALSE(fs::exists(V("relative.tif")));
  for (const std::string& u : users) EXPECT_EQ(ReadText(V(u)), "user data of " + u) << u;
  EXPECT_FALSE(fs::exists(V("made")));
  EXPECT_FALSE(fs::exists(V("b.tif")));
  EXPECT_EQ(ReadText(V("edited.tif")), "the edit");
  EXPECT_EQ(ReadText(V("changed.tif")), "copy, then painted on");
  EXPECT_EQ(ReadText(V("replaced.tif")), "the user's export");
  EXPECT_EQ(ReadText(V(".~c.tif.Zz9Yy8")), "the user's");
  EXPECT_EQ(ReadText(V("kept folder/mine.txt")), "user data of kept folder/mine.txt");
  // The record went with it; a second start finds nothing to do.
  EXPECT_TRUE(Names(Records()).empty());
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 0);
}

// A live run's record is left alone, and one that ends as it meant to
// leaves none.
TEST_F(RunRecordTest, ALiveRunsRecordIsNotTouchedAndAFinishedOneIsGone) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  Make(&run, RunRecord::Kind::kTemporary, ".~a.tif.Ab12Cd");
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 0);
  EXPECT_TRUE(fs::exists(V(".~a.tif.Ab12Cd")));
  EXPECT_EQ(Names(Records()).size(), 1u);
  run.Finish();
  EXPECT_FALSE(run.active());
  EXPECT_TRUE(Names(Records()).empty());
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 0);
  EXPECT_TRUE(fs::exists(V(".~a.tif.Ab12Cd")));
  // Two runs at once have records of their own.
  RunRecord one, two;
  ASSERT_TRUE(one.Begin(Records()));
  ASSERT_TRUE(two.Begin(Records()));
  EXPECT_STRNE(one.tag(), two.tag());
  EXPECT_EQ(Names(Records()).size(), 2u);
  one.Finish();
  two.Finish();
}

// Killed while it had a name moved to its private name: its own file
// there goes, a file of the user's goes back to its name; killed while a
// write-back had swapped names, the copy replaced goes and the edit stays.
TEST_F(RunRecordTest, WhatAKilledRunHadMovedAsideIsPutRight) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  const uint64_t ours = Make(&run, RunRecord::Kind::kCopy, "a.tif", "copy of a");
  const uint64_t theirs = Make(&run, RunRecord::Kind::kCopy, "b.tif", "copy of b");
  char away[4200];
  ASSERT_TRUE(PrivateNameBeside(V("a.tif").c_str(), run.tag(), ours, away, sizeof away));
  fs::rename(V("a.tif"), away);
  // The edit had taken a.tif's name already; the old copy was still aside.
  WriteText(V("a.tif"), "the edit");
  run.Ended(ours);
  ASSERT_TRUE(PrivateNameBeside(V("b.tif").c_str(), run.tag(), theirs, away, sizeof away));
  WriteText(away, "the user's b");
  fs::remove(V("b.tif"));
  // Killed just after a write-back swapped c.tif with its temporary file:
  // the copy it replaced, at the temporary's name, goes; the edit stays.
  Make(&run, RunRecord::Kind::kCopy, "c.tif", "copy of c");
  Make(&run, RunRecord::Kind::kTemporary, ".~c.tif.Ab12Cd", "the edit of c");
  ASSERT_EQ(::renameat2(AT_FDCWD, V(".~c.tif.Ab12Cd").c_str(), AT_FDCWD, V("c.tif").c_str(), RENAME_EXCHANGE), 0);
  run.AbandonForTesting();
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 2);
  EXPECT_EQ(Names(dir_.file("v")), (std::vector<std::string>{"a.tif", "b.tif", "c.tif"}));
  EXPECT_EQ(ReadText(V("a.tif")), "the edit");
  EXPECT_EQ(ReadText(V("b.tif")), "the user's b");
  EXPECT_EQ(ReadText(V("c.tif")), "the edit of c");
}

// A record cut short in the middle of a line (the run was killed while it
// wrote it) is read up to there; a file in the records folder that is no
// record is neither read nor removed; a records folder that is a link is
// not used.
TEST_F(RunRecordTest, DamagedRecordsAndForeignFilesAreHandledSafely) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  Make(&run, RunRecord::Kind::kTemporary, ".~a.tif.Ab12Cd");
  Make(&run, RunRecord::Kind::kTemporary, ".~b.tif.Ab12Cd");
  run.AbandonForTesting();
  const std::vector<std::string> records = Names(Records());
  ASSERT_EQ(records.size(), 1u);
  const std::string record = Records() + "/" + records[0];
  const std::string text = ReadText(record);
  // Cut inside the second entry's path.
  WriteText(record, text.substr(0, text.size() - 5));
  WriteText(Records() + "/run-0-notarecord", "M T 1 0 0 0 0 0 4:/etc\n");
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 1);
  EXPECT_FALSE(fs::exists(V(".~a.tif.Ab12Cd")));
  EXPECT_TRUE(fs::exists(V(".~b.tif.Ab12Cd")));
  EXPECT_EQ(Names(Records()), std::vector<std::string>{"run-0-notarecord"});

  fs::create_directories(dir_.file("elsewhere"));
  fs::create_symlink(dir_.file("elsewhere"), dir_.file("linked"));
  RunRecord linked;
  EXPECT_FALSE(linked.Begin(dir_.file("linked")));
  EXPECT_TRUE(Names(dir_.file("elsewhere")).empty());
}

}  // namespace
