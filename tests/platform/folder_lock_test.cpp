// The advisory hold on a folder: one holder at a time, across processes,
// let go when the holder ends however it ends; through any name of the
// folder, and only on a folder.
#include "platform/files/folder_lock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/session.h"

namespace {

namespace fs = std::filesystem;
using plat::files::FolderLock;
using Result = plat::files::FolderLock::Result;

TEST(FolderLock, OneHolderAtATimeAndTheNextOnceItLetsGo) {
  vmktest::TempDir dir;
  const std::string folder = dir.path().string();
  FolderLock first;
  ASSERT_EQ(first.Take(folder), Result::kHeld);
  EXPECT_TRUE(first.held());
  FolderLock second;
  EXPECT_EQ(second.Take(folder), Result::kInUse);
  EXPECT_FALSE(second.held());
  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_EQ(second.Take(folder), Result::kHeld);
  {
    FolderLock third;
    EXPECT_EQ(third.Take(folder), Result::kInUse);
  }
  // Taking again lets the earlier hold go first.
  EXPECT_EQ(second.Take(folder), Result::kHeld);
  second.Release();
  // Nothing was added to the folder.
  EXPECT_TRUE(fs::is_empty(folder));
}

// Another process holds the folder; killed, it lets go without a word.
TEST(FolderLock, AnotherProcessHoldsItUntilItIsKilled) {
  vmktest::TempDir dir;
  // The child says whether it took the folder, then waits for the end of
  // `alive`, which comes with this process's end if the test stops early.
  int ready[2], alive[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(alive), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(alive[1]);
    FolderLock hold;
    const char taken = hold.Take(dir.path().string()) == Result::kHeld ? 'y' : 'n';
    [[maybe_unused]] ssize_t n = ::write(ready[1], &taken, 1);
    char c;
    n = ::read(alive[0], &c, 1);
    ::_exit(0);
  }
  ::close(alive[0]);
  ::close(ready[1]);
  char taken = 0;
  ASSERT_EQ(::read(ready[0], &taken, 1), 1);
  ::close(ready[0]);
  ASSERT_EQ(taken, 'y');
  FolderLock mine;
  EXPECT_EQ(mine.Take(dir.path().string()), Result::kInUse);
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(mine.Take(dir.path().string()), Result::kHeld);
  ::close(alive[1]);
}

// A link to the folder is the folder; a file, a FIFO or nothing at all
// cannot be held, and is left as it is.
TEST(FolderLock, EveryNameOfTheFolderIsOneLockAndNothingElseIsHeld) {
  vmktest::TempDir dir;
  fs::create_directory(dir.file("folder"));
  fs::create_directory_symlink(dir.file("folder"), dir.file("link"));
  FolderLock byName, byLink;
  ASSERT_EQ(byName.Take(dir.file("folder")), Result::kHeld);
  EXPECT_EQ(byLink.Take(dir.file("link")), Result::kInUse);
  byName.Release();
  EXPECT_EQ(byLink.Take(dir.file("link")), Result::kHeld);

  FolderLock other;
  vmktest::WriteText(dir.file("file"), "user's words");
  EXPECT_EQ(other.Take(dir.file("file")), Result::kUnavailable);
  EXPECT_EQ(vmktest::ReadText(dir.file("file")), "user's words");
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  EXPECT_EQ(other.Take(dir.file("fifo")), Result::kUnavailable);
  EXPECT_EQ(other.Take(dir.file("missing")), Result::kUnavailable);
  EXPECT_FALSE(other.held());
  EXPECT_FALSE(fs::exists(dir.file("missing")));
}

}  // namespace
