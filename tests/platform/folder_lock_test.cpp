// The advisory hold on a folder: one holder at a time, across processes,
// let go when the holder ends however it ends; through any name of the
// folder, and only on a folder; through a hidden file of the folder too,
// which is all a holder on another machine reaches, opened only as a
// regular file of this user; held on this machine only, or said to be
// impossible, where the file or nothing can be locked.
#include "platform/files/folder_lock.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
  // Nothing but the empty hidden lock file was added to the folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{FolderLock::kLockFileName});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.file(FolderLock::kLockFileName))));
  EXPECT_EQ(fs::file_size(dir.file(FolderLock::kLockFileName)), 0u);
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

// A holder on another machine sharing the folder reaches only its lock file
// (the folder's own lock there is this machine's alone): it keeps this
// machine's holders out, and they keep it out, though the folder itself
// locks here.
TEST(FolderLock, AHolderThatReachesOnlyTheLockFileIsKeptApart) {
  vmktest::TempDir dir;
  const std::string folder = dir.path().string();
  {
    HoldingChild elsewhere(folder, EBADF);
    ASSERT_TRUE(elsewhere.holds());
    FolderLock here;
    EXPECT_EQ(here.Take(folder), Result::kInUse);
    EXPECT_FALSE(here.held());
  }
  FolderLock here;
  ASSERT_EQ(here.Take(folder), Result::kHeld);
  HoldingChild elsewhere(folder, EBADF);
  EXPECT_FALSE(elsewhere.holds());
}

// Nothing to be had: no lock, the system's reason, nothing held.
TEST(FolderLock, WhereNothingCanBeLockedTheReasonIsGivenAndNothingIsHeld) {
  vmktest::TempDir dir;
  const std::string folder = dir.path().string();
  {
    LockFaults faults(EBADF, ENOLCK);
    FolderLock lock;
    EXPECT_EQ(lock.Take(folder), Result::kNoLock);
    EXPECT_EQ(lock.error(), ENOLCK);
    EXPECT_EQ(lock.why(), std::strerror(ENOLCK));
    EXPECT_FALSE(lock.held());
    // A lock that cannot be had is no lock of another holder.
    FolderLock other;
    EXPECT_EQ(other.Take(folder), Result::kNoLock);
    // What is not a folder is still not held, and nothing is made beside it.
    EXPECT_EQ(lock.Take(dir.file("missing")), Result::kUnavailable);
    EXPECT_FALSE(fs::exists(dir.file("missing")));
  }
  {
    // The folder holds where the file cannot: held on this machine, and
    // said so.
    LockFaults faults(0, ENOLCK);
    FolderLock lock, other;
    EXPECT_EQ(lock.Take(folder), Result::kHeldHere);
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(lock.why(), std::strerror(ENOLCK));
    EXPECT_EQ(other.Take(folder), Result::kInUse);
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

// What lies at the lock file's name. Ours and no file (a link, dangling or
// to a user's file, a FIFO, a socket, an empty folder): replaced by the lock
// file, without following the link, opening the FIFO or touching what a
// link names. A regular file of ours (read-only, or a second name of a
// user's file) is locked as it is, its bytes unchanged. Anything else (a
// folder with files, a device, anything of another user's) is left as it
// is, unopened: the folder is held on this machine only, or not at all
// where it cannot itself be locked, and the reason says what is there.
TEST(FolderLock, TheLockNameIsUsedOnlyAsARegularFileOfThisUser) {
  vmktest::TempDir dir;
  const std::string folder = dir.file("folder");
  const std::string name = folder + "/" + FolderLock::kLockFileName;
  const std::string victim = dir.file("victim.txt");
  auto fresh = [&] {
    fs::remove_all(folder);
    fs::create_directory(folder);
    vmktest::WriteText(victim, "user's words");
  };
  auto socketAt = [](const std::string& path) {
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    const bool made = s >= 0 && ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (s >= 0) ::close(s);
    return made;
  };
  struct Replaced {
    const char* kind;
    std::function<bool()> make;
  };
  const Replaced replaced[] = {
      {"link", [&] { return ::symlink(victim.c_str(), name.c_str()) == 0; }},
      {"dangling link", [&] { return ::symlink(dir.file("new").c_str(), name.c_str()) == 0; }},
      {"FIFO", [&] { return ::mkfifo(name.c_str(), 0600) == 0; }},
      {"socket", [&] { return name.size() < sizeof(sockaddr_un::sun_path) && socketAt(name); }},
      {"empty folder", [&] { return ::mkdir(name.c_str(), 0700) == 0; }},
  };
  for (const int folderError : {0, EBADF}) {
    LockFaults faults(folderError, 0);
    for (const Replaced& r : replaced) {
      SCOPED_TRACE(std::string(r.kind) + (folderError != 0 ? ", folder not lockable" : ""));
      fresh();
      if (!r.make()) continue;
      FolderLock lock;
      EXPECT_EQ(lock.Take(folder), Result::kHeld) << lock.why();
      EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(name)));
      EXPECT_EQ(fs::file_size(name), 0u);
      EXPECT_EQ(vmktest::ReadText(victim), "user's words");
      EXPECT_FALSE(fs::exists(dir.file("new")));
      FolderLock other;
      EXPECT_EQ(other.Take(folder), Result::kInUse);
    }
    for (const bool readOnly : {true, false}) {
      SCOPED_TRACE(readOnly ? "read-only file" : "second name of a user's file");
      fresh();
      if (readOnly) {
        vmktest::WriteText(name, "older run");
        fs::permissions(name, fs::perms::owner_read);
      } else {
        ASSERT_EQ(::link(victim.c_str(), name.c_str()), 0);
      }
      FolderLock lock;
      EXPECT_EQ(lock.Take(folder), Result::kHeld) << lock.why();
      EXPECT_EQ(vmktest::ReadText(name), readOnly ? "older run" : "user's words");
      EXPECT_EQ(vmktest::ReadText(victim), "user's words");
      FolderLock other;
      EXPECT_EQ(other.Take(folder), Result::kInUse);
    }
    {
      SCOPED_TRACE("folder with files");
      fresh();
      fs::create_directory(name);
      vmktest::WriteText(name + "/inside", "kept");
      FolderLock lock;
      EXPECT_EQ(lock.Take(folder), folderError == 0 ? Result::kHeldHere : Result::kNoLock);
      EXPECT_EQ(lock.why(), std::string(FolderLock::kLockFileName) + " in it is a folder that holds files, not a lock file");
      EXPECT_EQ(vmktest::ReadText(name + "/inside"), "kept");
      FolderLock other;
      EXPECT_EQ(other.Take(folder), folderError == 0 ? Result::kInUse : Result::kNoLock);
    }
  }
  // Another user's: made so only by the superuser.
  if (::geteuid() != 0) return;
  constexpr uid_t kSomeoneElse = 65534;
  for (const int folderError : {0, EBADF}) {
    LockFaults faults(folderError, 0);
    struct Foreign {
      const char* kind;
      std::function<bool()> make;
      std::string why;
    };
    const std::string n = FolderLock::kLockFileName;
    const Foreign foreign[] = {
        {"file", [&] { vmktest::WriteText(name, "theirs"); return ::chown(name.c_str(), kSomeoneElse, kSomeoneElse) == 0; },
         n + " in it is another user's file"},
        {"link", [&] { return ::symlink(victim.c_str(), name.c_str()) == 0 && ::lchown(name.c_str(), kSomeoneElse, kSomeoneElse) == 0; },
         n + " in it is a link of another user, not a lock file"},
        {"FIFO", [&] { return ::mkfifo(name.c_str(), 0666) == 0 && ::chown(name.c_str(), kSomeoneElse, kSomeoneElse) == 0; },
         n + " in it is a FIFO of another user, not a lock file"},
        {"device", [&] { return ::mknod(name.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0; },
         n + " in it is a device, not a lock file"},
    };
    for (const Foreign& f : foreign) {
      SCOPED_TRACE(std::string(f.kind) + (folderError != 0 ? ", folder not lockable" : ""));
      fresh();
      if (!f.make()) continue;
      struct stat before {};
      ASSERT_EQ(::lstat(name.c_str(), &before), 0);
      FolderLock lock;
      EXPECT_EQ(lock.Take(folder), folderError == 0 ? Result::kHeldHere : Result::kNoLock);
      EXPECT_EQ(lock.why(), f.why);
      struct stat after {};
      ASSERT_EQ(::lstat(name.c_str(), &after), 0);
      EXPECT_EQ(after.st_ino, before.st_ino);
      EXPECT_EQ(after.st_mode, before.st_mode);
      EXPECT_EQ(vmktest::ReadText(victim), "user's words");
    }
  }
}

}  // namespace
