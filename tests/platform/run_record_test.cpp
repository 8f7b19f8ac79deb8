// What a later start takes away after a run was killed: only what that
// run's record says it made, only while the name holds that very file, and
// a removal that no rename of another program's can race.
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/race_free_removal.h"
#include "platform/files/run_record.h"
#include "support/folder_names.h"
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

std::vector<std::string> Names(const std::string& folder) { return vmktest::FolderNames(folder); }

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

// The file-system clock the times of files come from, in ns.
int64_t CoarseNow() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A moment of the coarse clock later than every time `paths` carry (the
// clock is waited for, never a guessed time).
int64_t ClockPast(const std::vector<std::string>& paths) {
  int64_t latest = 0;
  for (const std::string& p : paths) {
    const FileIdentity id = IdentityOrFail(p, false);
    latest = std::max({latest, id.changed, id.birth});
  }
  int64_t now = CoarseNow();
  while (now <= latest) {
    ::poll(nullptr, 0, 1);
    now = CoarseNow();
  }
  return now;
}

// A record's lines, split into their fields: an entry line is its letter,
// kind, number, identity fields and "n:path"; other lines are one field.
std::vector<std::vector<std::string>> Lines(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    if (line.size() > 2 && (line[0] == 'M' || line[0] == 'X') && line[1] == ' ') {
      std::istringstream words(line);
      std::string w;
      for (int i = 0; i < 12 && words >> w; ++i) fields.push_back(w);
      std::string rest;
      std::getline(words, rest);
      fields.push_back(rest.substr(rest.find_first_not_of(' ')));
    } else {
      fields.push_back(line);
    }
    lines.push_back(fields);
  }
  return lines;
}

std::string Text(const std::vector<std::vector<std::string>>& lines) {
  std::string text;
  for (const auto& fields : lines) {
    for (size_t i = 0; i < fields.size(); ++i) text += (i > 0 ? " " : "") + fields[i];
    text += "\n";
  }
  return text;
}

// The path an entry line names.
std::string PathOf(const std::vector<std::string>& fields) {
  const std::string& counted = fields.back();
  return counted.substr(counted.find(':') + 1);
}

// Identity fields of an entry line: 3 device, 4 inode, 8 known, 9 birth,
// 10 generation, 11 written.
constexpr size_t kDevice = 3, kInode = 4, kKnown = 8, kBirth = 9, kGeneration = 10, kWritten = 11;

// Exactness of the identity, with birth time and generation (where the file
// system gives them) or with neither; a file made later at the same number
// never matches a written-down one, and one held open matches as it is.
TEST(RaceFreeRemoval, AFileIsKnownByMoreThanItsNumber) {
  vmktest::TempDir dir;
  const std::string a = dir.file("a");
  WriteText(a, "a");
  FileIdentity byPath = IdentityOrFail(a, true);
  const int fd = ::open(a.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  FileIdentity byFd;
  ASSERT_TRUE(IdentityOfFd(fd, true, &byFd));
  ::close(fd);
  EXPECT_TRUE(SameFile(byPath, byFd));
  EXPECT_EQ(byPath.known, byFd.known);
  EXPECT_EQ(byPath.generation, byFd.generation);
  EXPECT_EQ(byPath.birth, byFd.birth);
  RecordProperty("known", static_cast<int>(byPath.known));

  FileIdentity want;
  want.device = 7;
  want.inode = 42;
  FileIdentity got = want;
  // The generation: another draw is another file.
  want.known = got.known = kKnownGeneration;
  want.generation = 5;
  got.generation = 5;
  EXPECT_TRUE(SameFile(want, got));
  got.generation = 6;
  EXPECT_FALSE(SameFile(want, got));
  got.known = 0;
  EXPECT_FALSE(SameFile(want, got)) << "a generation written down must be there to match";
  // The birth time, born before the line was written.
  want.known = got.known = kKnownBirth;
  want.birth = got.birth = 1000;
  want.writtenBefore = 2000;
  EXPECT_TRUE(SameFile(want, got));
  got.birth = 1500;
  EXPECT_FALSE(SameFile(want, got));
  got.birth = want.birth = 2000;
  EXPECT_FALSE(SameFile(want, got)) << "born as the line was written: a file made right after could be too";
  // Neither: last changed before the line was written.
  want.known = got.known = 0;
  got.changed = 1999;
  EXPECT_TRUE(SameFile(want, got));
  got.changed = 2000;
  EXPECT_FALSE(SameFile(want, got));
  // Held open by this program: the number alone.
  want.writtenBefore = 0;
  EXPECT_TRUE(SameFile(want, got));
  // The content, when asked.
  want.content = true;
  want.size = 3;
  got.size = 4;
  EXPECT_FALSE(SameFile(want, got));
}

// After a kill the user removes what the run left and makes the same folders
// again, puts a kept copy back as `cp -p` does (same size and time), and
// makes a file at a temporary's name: whatever numbers the file system gives
// them (here: the very numbers of the run's, written into the record), a
// start removes none of them, with the birth time and generation the file
// system tells or with neither. The same record over the run's own files
// removes them all.
TEST_F(RunRecordTest, AFileOrFolderMadeAgainAtARecordedPathIsNeverRemoved) {
  const std::vector<std::string> names = {"made", "made/inner", "made/inner/a.tif", "made/inner/.~a.tif.Ab12Cd",
                                          "b.tif"};
  for (const bool told : {true, false}) {
    SCOPED_TRACE(told ? "birth time and generation as the file system tells" : "neither");
    for (const bool again : {true, false}) {
      SCOPED_TRACE(again ? "made again" : "the run's own");
      fs::remove_all(dir_.file("v"));
      fs::remove_all(Records());
      fs::create_directories(V(""));
      RunRecord run;
      ASSERT_TRUE(run.Begin(Records()));
      Make(&run, RunRecord::Kind::kFolder, "made");
      Make(&run, RunRecord::Kind::kFolder, "made/inner");
      Make(&run, RunRecord::Kind::kCopy, "made/inner/a.tif", "copy of a");
      Make(&run, RunRecord::Kind::kTemporary, "made/inner/.~a.tif.Ab12Cd", "half");
      Make(&run, RunRecord::Kind::kCopy, "b.tif", "copy of b");
      run.AbandonForTesting();
      std::vector<std::string> paths;
      for (const std::string& n : names) paths.push_back(V(n));
      const int64_t written = ClockPast(paths);
      const std::vector<std::string> records = Names(Records());
      ASSERT_EQ(records.size(), 1u);
      const std::string record = Records() + "/" + records[0];
      auto lines = Lines(ReadText(record));
      if (!told)
        for (auto& f : lines)
          if (f.size() == 13) {
            f[kKnown] = f[kBirth] = f[kGeneration] = "0";
            f[kWritten] = std::to_string(written);
          }
      if (again) {
        const FileIdentity a = IdentityOrFail(V("made/inner/a.tif"), true);
        const FileIdentity b = IdentityOrFail(V("b.tif"), true);
        fs::remove_all(V("made"));
        fs::remove(V("b.tif"));
        fs::create_directories(V("made/inner"));
        WriteText(V("made/inner/.~a.tif.Ab12Cd"), "half");
        for (const auto& [name, was] : {std::pair{"made/inner/a.tif", a}, std::pair{"b.tif", b}}) {
          WriteText(V(name), name == std::string("b.tif") ? "copy of b" : "copy of a");
          const struct timespec times[2] = {{0, UTIME_OMIT},
                                            {was.modified / 1000000000, was.modified % 1000000000}};
          ASSERT_EQ(::utimensat(AT_FDCWD, V(name).c_str(), times, 0), 0);
          ASSERT_TRUE(Holds(V(name).c_str(), FileIdentity{IdentityOrFail(V(name), true).device,
                                                          IdentityOrFail(V(name), true).inode, true, was.size,
                                                          was.modified}));
        }
        // As a file system that gave each the number of the run's file.
        for (auto& f : lines) {
          if (f.size() != 13) continue;
          const FileIdentity now = IdentityOrFail(PathOf(f), false);
          f[kDevice] = std::to_string(static_cast<uint64_t>(now.device));
          f[kInode] = std::to_string(static_cast<uint64_t>(now.inode));
        }
      }
      WriteText(record, Text(lines));
      EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), again ? 0 : 5);
      for (const std::string& n : names) EXPECT_EQ(fs::exists(V(n)), again) << n;
      EXPECT_TRUE(Names(Records()).empty());
    }
  }
}

// A record written by the version before this one (no machine, no birth
// time, no exchanges) is read and taken up as that version did: judged by
// its lock, its files known by their numbers; a file of the user's at one of
// its names stays.
TEST_F(RunRecordTest, ARecordOfTheVersionBeforeIsTakenUpAsThatVersionDid) {
  fs::create_directories(V("made"));
  WriteText(V("made/a.tif"), "copy");
  WriteText(V(".~a.tif.Ab12Cd"), "half");
  WriteText(V("b.tif"), "copy");
  std::string text = "vellmarkstead run record 1\n";
  uint64_t id = 0;
  for (const auto& [name, kind] : std::vector<std::pair<std::string, char>>{
           {"made", 'D'}, {"made/a.tif", 'C'}, {".~a.tif.Ab12Cd", 'T'}, {"b.tif", 'C'}}) {
    const FileIdentity f = IdentityOrFail(V(name), kind == 'C');
    text += std::string("M ") + kind + " " + std::to_string(++id) + " " + std::to_string(f.device) + " " +
            std::to_string(f.inode) + " " + (kind == 'C' ? "1 " : "0 ") + std::to_string(f.size) + " " +
            std::to_string(f.modified) + " " + std::to_string(V(name).size()) + ":" + V(name) + "\n";
  }
  // The user's file took b.tif's name.
  WriteText(V(".in"), "the user's b");
  fs::rename(V(".in"), V("b.tif"));
  fs::create_directories(Records());
  const std::string record = Records() + "/run-1-AAAAAAAA";
  WriteText(record, text);
  // A live run's (its lock held) stays.
  const int held = ::open(record.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 0);
  ::close(held);
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 3);
  EXPECT_EQ(Names(dir_.file("v")), std::vector<std::string>{"b.tif"});
  EXPECT_EQ(ReadText(V("b.tif")), "the user's b");
  EXPECT_TRUE(Names(Records()).empty());
}

// The clean-up looks at each name written down a few times, however many
// there are: no entry is checked against every other. Counted, not timed.
TEST_F(RunRecordTest, TheCleanUpLooksAtEachNameAFewTimesHoweverLargeTheRecord) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  constexpr int kPairs = 3000;
  uint64_t id = 0;
  for (int i = 0; i < kPairs; ++i) {
    FileIdentity gone;
    gone.device = 64768;
    gone.inode = static_cast<ino_t>(1000000 + 2 * i);
    run.Made(++id, RunRecord::Kind::kTemporary, V(".~a" + std::to_string(i) + ".tif.Ab12Cd"), gone);
    gone.inode += 1;
    gone.content = true;
    run.Made(++id, RunRecord::Kind::kCopy, V("a" + std::to_string(i) + ".tif"), gone);
  }
  // And some that are there: a copy each, at its own name or, as a
  // write-back killed after its swap leaves it, at its temporary's.
  for (int i = 0; i < 20; ++i) {
    const std::string copy = "c" + std::to_string(i) + ".tif";
    const uint64_t c = Make(&run, RunRecord::Kind::kCopy, copy, "copy");
    id = next_;
    if (i % 2 == 0) continue;
    const std::string temporary = ".~c" + std::to_string(i) + ".tif.Ab12Cd";
    run.Made(++next_, RunRecord::Kind::kTemporary, V(temporary), IdentityOrFail(V(copy), false));
    fs::rename(V(copy), V(temporary));
    (void)c;
  }
  run.AbandonForTesting();
  const uint64_t before = IdentityLookups();
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 20);
  const uint64_t looks = IdentityLookups() - before;
  const uint64_t entries = 2 * kPairs + 30;
  EXPECT_LE(looks, 5 * entries) << looks << " looks for " << entries << " entries";
  EXPECT_TRUE(Names(dir_.file("v")).empty());
}

// A file of the run's at its private name (a start or a stop killed while
// it removed it) goes from there; a file of the user's there goes back to
// its name. The version before this one moved such a file once more, to
// ".~vmk-TAG-again-ID", and a start killed then left it there for good: it
// is found there too. No private name is left.
TEST_F(RunRecordTest, WhatAKilledStartLeftAtAPrivateNameIsFound) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  const std::string tag = run.tag();
  auto privateName = [&](const std::string& name, uint64_t id, bool again) {
    char away[4200];
    EXPECT_TRUE(PrivateNameBeside(V(name).c_str(), tag.c_str(), id, away, sizeof away));
    if (!again) return std::string(away);
    char twice[4200];
    EXPECT_TRUE(PrivateNameBeside(away, (tag + "-again").c_str(), id, twice, sizeof twice));
    return std::string(twice);
  };
  const uint64_t ours = Make(&run, RunRecord::Kind::kCopy, "a.tif", "copy of a");
  fs::rename(V("a.tif"), privateName("a.tif", ours, false));
  const uint64_t oursAgain = Make(&run, RunRecord::Kind::kCopy, "b.tif", "copy of b");
  fs::rename(V("b.tif"), privateName("b.tif", oursAgain, true));
  const uint64_t folder = Make(&run, RunRecord::Kind::kFolder, "f");
  fs::rename(V("f"), privateName("f", folder, true));
  const uint64_t theirs = Make(&run, RunRecord::Kind::kCopy, "c.tif", "copy of c");
  fs::remove(V("c.tif"));
  WriteText(privateName("c.tif", theirs, true), "the user's c");
  run.AbandonForTesting();
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 3);
  EXPECT_EQ(Names(dir_.file("v")), std::vector<std::string>{"c.tif"});
  EXPECT_EQ(ReadText(V("c.tif")), "the user's c");
}

// Rewrites the machine and boot a record says it was written on.
void SetOrigin(const std::string& record, const std::string& machine, const std::string& boot) {
  auto lines = Lines(ReadText(record));
  ASSERT_GE(lines.size(), 2u);
  ASSERT_EQ(lines[1][0].rfind("W ", 0), 0u);
  lines[1] = {"W " + std::to_string(machine.size()) + ":" + machine + " " + std::to_string(boot.size()) + ":" + boot};
  WriteText(record, Text(lines));
}

// A record says which machine and boot wrote it. Another machine's is left
// alone whatever a lock here says (a network file system may keep locks of
// each machine apart); one of an earlier boot of this machine is of a dead
// run, and is taken up even where no lock can be had; one of this boot is
// judged by its lock, as before.
TEST_F(RunRecordTest, ARecordIsTakenUpOnlyOnItsOwnMachineAndAnEarlierBootsWithoutALock) {
  const RunOrigin& here = ThisRunOrigin();
  ASSERT_FALSE(here.machine.empty());
  if (here.boot.empty()) GTEST_SKIP() << "no boot id here";
  struct Case {
    const char* what;
    std::string machine;
    std::string boot;
    int lockError;
    bool takenUp;
  };
  const std::vector<Case> cases = {
      {"another machine's", "another machine", here.boot, 0, false},
      {"another machine's, no locks", "another machine", "an earlier boot", ENOLCK, false},
      {"this boot's, no locks", here.machine, here.boot, ENOLCK, false},
      {"an earlier boot's, no locks", here.machine, "an earlier boot", ENOLCK, true},
      {"an earlier boot's", here.machine, "an earlier boot", 0, true},
      {"this boot's", here.machine, here.boot, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dir_.file("v"));
    fs::remove_all(Records());
    fs::create_directories(V(""));
    RunRecord run;
    ASSERT_TRUE(run.Begin(Records()));
    Make(&run, RunRecord::Kind::kFolder, "f");
    Make(&run, RunRecord::Kind::kTemporary, "f/.~a.tif.Ab12Cd");
    Make(&run, RunRecord::Kind::kCopy, "f/a.tif");
    run.AbandonForTesting();
    const std::string record = Records() + "/" + Names(Records()).at(0);
    SetOrigin(record, c.machine, c.boot);
    FailRecordLocksForTesting(c.lockError);
    const int removed = RemoveWhatEndedRunsLeft(Records());
    FailRecordLocksForTesting(0);
    EXPECT_EQ(removed, c.takenUp ? 3 : 0);
    EXPECT_EQ(fs::exists(V("f/a.tif")), !c.takenUp);
    EXPECT_EQ(Names(Records()).size(), c.takenUp ? 0u : 1u);
  }
  // An earlier boot's record that another start is taking up (it holds the
  // lock) is left to it.
  RunRecord one, two;
  ASSERT_TRUE(one.Begin(Records()));
  ASSERT_TRUE(two.Begin(Records()));
  Make(&one, RunRecord::Kind::kCopy, "held.tif");
  Make(&two, RunRecord::Kind::kCopy, "held-too.tif");
  one.AbandonForTesting();
  two.AbandonForTesting();
  const std::vector<std::string> records = Names(Records());
  ASSERT_EQ(records.size(), 2u);
  for (const std::string& r : records) SetOrigin(Records() + "/" + r, here.machine, "an earlier boot");
  std::vector<int> held;
  for (const std::string& r : records) {
    held.push_back(::open((Records() + "/" + r).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_EQ(::flock(held.back(), LOCK_EX), 0);
  }
  EXPECT_EQ(RemoveWhatEndedRunsLeft(Records()), 0);
  EXPECT_TRUE(fs::exists(V("held.tif")));
  EXPECT_TRUE(fs::exists(V("held-too.tif")));
  for (int fd : held) ::close(fd);
}

// A run killed while an exchange of a temporary file's name with a copy's
// was under way (written down before it was made), in each state it can
// leave: the user's file that had taken the copy's name goes back to it, the
// written version (whole) goes beside it under the next free name, the
// copy's own pixels and the copy replaced go, and a file the start cannot
// place is named where it is.
TEST_F(RunRecordTest, AnExchangeAKilledRunLeftHalfDoneIsPutRight) {
  RunRecord run;
  ASSERT_TRUE(run.Begin(Records()));
  using X = RunRecord::Exchange;
  struct Case {
    const char* folder;
    X how;
    bool usersFile;  // the user's file took the copy's name before the exchange
    int swaps;       // exchanges made before the kill
    const char* third;  // then: "replace" or "remove" the copy's name
    std::vector<std::pair<std::string, std::string>> after;  // name, content
  };
  const std::vector<Case> cases = {
      {"made-users", X::kWriteBack, true, 1, "", {{"pic-1.tif", "mine"}, {"pic-2.tif", "edit"}, {"pic.tif", "user"}}},
      {"back-users", X::kWriteBack, true, 2, "", {{"pic-1.tif", "mine"}, {"pic-2.tif", "edit"}, {"pic.tif", "user"}}},
      {"before-users", X::kWriteBack, true, 0, "", {{"pic-1.tif", "mine"}, {"pic-2.tif", "edit"}, {"pic.tif", "user"}}},
      {"made-ours", X::kWriteBack, false, 1, "", {{"pic-1.tif", "mine"}, {"pic.tif", "edit"}}},
      {"before-ours", X::kWriteBack, false, 0, "", {{"pic-1.tif", "mine"}}},
      {"claim-users", X::kCopyMade, true, 1, "", {{"pic-1.tif", "mine"}, {"pic.tif", "user"}}},
      {"claim-back-users", X::kCopyMade, true, 2, "", {{"pic-1.tif", "mine"}, {"pic.tif", "user"}}},
      {"claim-ours", X::kCopyMade, false, 1, "", {{"pic-1.tif", "mine"}}},
      {"third-replace", X::kWriteBack, true, 1, "replace",
       {{".~pic.tif.Ab12Cd", "user"}, {"pic-1.tif", "mine"}, {"pic.tif", "third"}}},
      {"third-remove", X::kWriteBack, true, 1, "remove", {{"pic-1.tif", "mine"}, {"pic.tif", "user"}}},
  };
  for (const Case& c : cases) {
    const std::string f = std::string(c.folder) + "/";
    fs::create_directories(V(c.folder));
    WriteText(V(f + "pic-1.tif"), "mine");
    const uint64_t copy = Make(&run, RunRecord::Kind::kCopy, f + "pic.tif", c.how == X::kCopyMade ? "" : "copy");
    const FileIdentity held = IdentityOrFail(V(f + "pic.tif"), false);
    const uint64_t t = Make(&run, RunRecord::Kind::kTemporary, f + ".~pic.tif.Ab12Cd", "edit");
    if (c.usersFile) {
      WriteText(V(f + ".in"), "user");
      fs::rename(V(f + ".in"), V(f + "pic.tif"));
    }
    run.Exchanging(t, c.how, V(f + "pic.tif"), held);
    for (int i = 0; i < c.swaps; ++i)
      ASSERT_EQ(::renameat2(AT_FDCWD, V(f + ".~pic.tif.Ab12Cd").c_str(), AT_FDCWD, V(f + "pic.tif").c_str(),
                            RENAME_EXCHANGE),
                0);
    if (std::string(c.third) == "replace") {
      WriteText(V(f + ".in"), "third");
      fs::rename(V(f + ".in"), V(f + "pic.tif"));
    } else if (std::string(c.third) == "remove") {
      fs::remove(V(f + "pic.tif"));
    }
    (void)copy;
  }
  run.AbandonForTesting();
  std::vector<std::string> left;
  RemoveWhatEndedRunsLeft(Records(), &left);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    std::vector<std::string> names;
    for (const auto& [name, text] : c.after) {
      names.push_back(name);
      EXPECT_EQ(ReadText(V(std::string(c.folder) + "/" + name)), text) << name;
    }
    EXPECT_EQ(Names(V(c.folder)), names);
  }
  // What went beside, and what stays at a temporary's name, is named.
  const std::string all = ::testing::PrintToString(left);
  for (const char* folder : {"made-users", "back-users", "before-users"})
    EXPECT_NE(all.find(V(std::string(folder) + "/pic-2.tif") + ": the version it wrote of " +
                       V(std::string(folder) + "/pic.tif")),
              std::string::npos)
        << all;
  EXPECT_NE(all.find(V("third-replace/.~pic.tif.Ab12Cd") + ": a file that had the name " + V("third-replace/pic.tif")),
            std::string::npos)
      << all;
  EXPECT_TRUE(Names(Records()).empty());
}

}  // namespace
