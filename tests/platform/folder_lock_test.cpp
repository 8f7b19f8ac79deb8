// The advisory hold on a folder: one holder at a time, across processes,
// let go when the holder ends however it ends; through any name of the
// folder, and only on a folder; through a hidden file of the folder where
// the folder itself cannot be locked, and said to be impossible where
// nothing can be.
#include "platform/files/folder_lock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "support/folder_lock_faults.h"
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

using vmktest::LockFaults;

// A child process that takes `folder` (its folder locks failing with
// `folderError`), says whether it holds it, then holds it until it is killed
// or this process ends (the end of `alive_`).
class HoldingChild {
 public:
  HoldingChild(const std::string& folder, int folderError) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(alive_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(alive_[1]);
      plat::files::FailFolderLocksForTesting(folderError, 0);
      FolderLock hold;
      const char taken = hold.Take(folder) == Result::kHeld ? 'y' : 'n';
      [[maybe_unused]] ssize_t n = ::write(ready[1], &taken, 1);
      char c;
      n = ::read(alive_[0], &c, 1);
      ::_exit(0);
    }
    ::close(alive_[0]);
    ::close(ready[1]);
    if (pid_ > 0 && ::read(ready[0], &taken_, 1) != 1) taken_ = 0;
    ::close(ready[0]);
  }
  ~HoldingChild() {
    Kill();
    ::close(alive_[1]);
  }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;
  bool holds() const { return taken_ == 'y'; }
  bool Kill() {
    if (pid_ <= 0) return false;
    const bool killed = ::kill(pid_, SIGKILL) == 0 && ::waitpid(pid_, nullptr, 0) == pid_;
    pid_ = -1;
    return killed;
  }

 private:
  pid_t pid_ = -1;
  int alive_[2] = {-1, -1};
  char taken_ = 0;
};

// Another process holds the folder; killed, it lets go without a word. The
// same through the hidden lock file where the folder itself cannot be
// locked (NFS's EBADF for a folder open for reading).
TEST(FolderLock, AnotherProcessHoldsItUntilItIsKilled) {
  for (const int folderError : {0, EBADF}) {
    SCOPED_TRACE(folderError);
    vmktest::TempDir dir;
    LockFaults faults(folderError, 0);
    HoldingChild child(dir.path().string(), folderError);
    ASSERT_TRUE(child.holds());
    FolderLock mine;
    EXPECT_EQ(mine.Take(dir.path().string()), Result::kInUse);
    ASSERT_TRUE(child.Kill());
    EXPECT_EQ(mine.Take(dir.path().string()), Result::kHeld);
  }
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

// The folder cannot be locked: a hidden file made in it holds it instead,
// against another open of it in this process too, and is left as it is.
TEST(FolderLock, AFolderThatCannotBeLockedIsHeldThroughAHiddenFileOfIt) {
  vmktest::TempDir dir;
  const std::string folder = dir.path().string();
  const std::string file = dir.file(FolderLock::kLockFileName);
  LockFaults faults(EBADF, 0);
  ASSERT_EQ(FolderLock::kLockFileName[0], '.');
  FolderLock first, second;
  ASSERT_EQ(first.Take(folder), Result::kHeld);
  ASSERT_TRUE(fs::is_regular_file(fs::symlink_status(file)));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_EQ(second.Take(folder + "/"), Result::kInUse);
  EXPECT_FALSE(second.held());
  first.Release();
  EXPECT_EQ(second.Take(folder), Result::kHeld);
  second.Release();
  // The one file made, kept (with what it holds) from one hold to the next.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  vmktest::WriteText(file, "left by an older run");
  ASSERT_EQ(first.Take(folder), Result::kHeld);
  EXPECT_EQ(vmktest::ReadText(file), "left by an older run");
}

// Nothing to be had: no lock, the system's reason, nothing held; and no
// file of the user's is made, followed or locked in the lock file's place.
TEST(FolderLock, WhereNothingCanBeLockedTheReasonIsGivenAndNothingIsHeld) {
  vmktest::TempDir dir;
  const std::string folder = dir.path().string();
  {
    LockFaults faults(EBADF, ENOLCK);
    FolderLock lock;
    EXPECT_EQ(lock.Take(folder), Result::kNoLock);
    EXPECT_EQ(lock.error(), ENOLCK);
    EXPECT_FALSE(lock.held());
    // A lock that cannot be had is no lock of another holder.
    FolderLock other;
    EXPECT_EQ(other.Take(folder), Result::kNoLock);
  }
  {
    LockFaults faults(ENOLCK, 0);
    fs::remove(dir.file(FolderLock::kLockFileName));
    const std::string elsewhere = dir.file("elsewhere");
    fs::create_directory(elsewhere);
    fs::create_symlink(elsewhere + "/notes", dir.file(FolderLock::kLockFileName));
    FolderLock lock;
    EXPECT_EQ(lock.Take(folder), Result::kNoLock);
    EXPECT_EQ(lock.error(), ELOOP);
    EXPECT_FALSE(fs::exists(elsewhere + "/notes"));
    vmktest::WriteText(elsewhere + "/notes", "user's words");
    EXPECT_EQ(lock.Take(folder), Result::kNoLock);
    EXPECT_EQ(vmktest::ReadText(elsewhere + "/notes"), "user's words");
    // A FIFO is opened without waiting, and not locked.
    fs::remove(dir.file(FolderLock::kLockFileName));
    ASSERT_EQ(::mkfifo(dir.file(FolderLock::kLockFileName).c_str(), 0600), 0);
    EXPECT_EQ(lock.Take(folder), Result::kNoLock);
    EXPECT_FALSE(lock.held());
    // What is not a folder is still not held, and nothing is made beside it.
    EXPECT_EQ(lock.Take(dir.file("missing")), Result::kUnavailable);
    EXPECT_FALSE(fs::exists(dir.file("missing")));
  }
  // A folder that cannot be written: nothing is made in it.
  if (::geteuid() != 0) {
    LockFaults faults(EBADF, 0);
    const std::string shut = dir.file("shut");
    fs::create_directory(shut);
    fs::permissions(shut, fs::perms::owner_read | fs::perms::owner_exec);
    FolderLock lock;
    EXPECT_EQ(lock.Take(shut), Result::kNoLock);
    EXPECT_EQ(lock.error(), EACCES);
    EXPECT_TRUE(fs::is_empty(shut));
    fs::permissions(shut, fs::perms::owner_all);
  }
}

}  // namespace
