#include "platform/files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace plat::files {

namespace {

std::atomic<int> gFolderLockFault{0};
std::atomic<int> gFileLockFault{0};

// A lock file that changes under each look (others replacing it at once)
// is given up on after this many.
constexpr int kLooks = 4;

// An exclusive flock taken without waiting (again after a signal): 0, or the
// system's error (EWOULDBLOCK when another holder has it).
int LockNow(int fd, const std::atomic<int>& fault) {
  if (const int e = fault.load(); e != 0) return e;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

bool Same(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && (a.st_mode & S_IFMT) == (b.st_mode & S_IFMT);
}

const char* KindOf(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFLNK: return "a link";
    case S_IFIFO: return "a FIFO";
    case S_IFSOCK: return "a socket";
    case S_IFDIR: return "a folder";
    case S_IFCHR:
    case S_IFBLK: return "a device";
    default: return "not a plain file";
  }
}

}  // namespace

void FolderLock::Fail(int error, const std::string& why) {
  error_ = error;
  why_ = why.empty() ? std::string(std::strerror(error)) : why;
}

int FolderLock::LockFile(int dir) {
  const std::string name = kLockFileName;
  const uid_t me = ::geteuid();
  for (int look = 0; look < kLooks; ++look) {
    struct stat st {};
    int fd = -1;
    if (::fstatat(dir, kLockFileName, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) {
        Fail(errno, "");
        return -1;
      }
      // Made here, so nothing of anyone else's is opened; another start
      // that makes it first is met at the next look.
      fd = ::openat(dir, kLockFileName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        Fail(errno, "");
        return -1;
      }
    } else if (S_ISREG(st.st_mode)) {
      if (st.st_uid != me) {
        Fail(0, name + " in it is another user's file");
        return -1;
      }
      // Non-blocking and not through a link, should the name become a FIFO
      // or a link since the look; what was opened is looked at again below.
      constexpr int kOpen = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
      fd = ::openat(dir, kLockFileName, O_RDWR | kOpen);
      // A file of ours that we may not write (made read-only): locked for
      // reading, which a local disk allows.
      if (fd < 0 && errno == EACCES) fd = ::openat(dir, kLockFileName, O_RDONLY | kOpen);
      if (fd < 0) {
        if (errno == ENOENT || errno == ELOOP) continue;
        Fail(errno, "");
        return -1;
      }
    } else {
      // Not a lock file: ours is replaced (a link goes, not what it names;
      // a folder only while empty); anyone else's is left.
      if (st.st_uid != me) {
        Fail(0, name + " in it is " + KindOf(st.st_mode) + " of another user, not a lock file");
        return -1;
      }
      if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
        Fail(0, name + " in it is a device, not a lock file");
        return -1;
      }
      struct stat again {};
      if (::fstatat(dir, kLockFileName, &again, AT_SYMLINK_NOFOLLOW) != 0 || !Same(st, again)) continue;
      const int removed = ::unlinkat(dir, kLockFileName, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0);
      if (removed != 0 && errno != ENOENT) {
        if (errno == ENOTEMPTY || errno == EEXIST) {
          Fail(0, name + " in it is a folder that holds files, not a lock file");
        } else {
          Fail(errno, "");
        }
        return -1;
      }
      continue;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != me) {
      ::close(fd);
      continue;
    }
    const int why = LockNow(fd, gFileLockFault);
    if (why == EWOULDBLOCK) {
      ::close(fd);
      return -2;
    }
    if (why != 0) {
      ::close(fd);
      Fail(why, "");
      return -1;
    }
    // Locked, but only a lock on the file the name holds now counts: one a
    // replacement took from the name meanwhile holds nothing.
    struct stat now {};
    if (::fstatat(dir, kLockFileName, &now, AT_SYMLINK_NOFOLLOW) != 0 || !Same(now, opened)) {
      ::close(fd);
      continue;
    }
    return fd;
  }
  Fail(0, name + " in it changes under every look");
  return -1;
}

FolderLock::Result FolderLock::Take(const std::string& folder) {
  Release();
  error_ = 0;
  why_.clear();
  // A folder only: anything else (a FIFO among them) is refused by the open
  // itself, which never blocks and opens nothing but the folder's name.
  const int dir = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    if (errno != EACCES) return Result::kUnavailable;
    Fail(errno, "");
    return Result::kNoLock;
  }
  // The folder first: a holder on this machine is met without a look at
  // the lock file. A folder that cannot be read, or whose file system has
  // no lock on a folder, is held through the file alone.
  const int self = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (self >= 0) {
    const int why = LockNow(self, gFolderLockFault);
    if (why == EWOULDBLOCK) {
      ::close(self);
      ::close(dir);
      return Result::kInUse;
    }
    if (why == 0) {
      folderFd_ = self;
    } else {
      ::close(self);
    }
  }
  const int file = LockFile(dir);
  ::close(dir);
  if (file == -2) {
    Release();
    return Result::kInUse;
  }
  if (file >= 0) {
    fileFd_ = file;
    error_ = 0;
    why_.clear();
    return Result::kHeld;
  }
  return folderFd_ >= 0 ? Result::kHeldHere : Result::kNoLock;
}

void FolderLock::Release() {
  // Closing the only descriptor of a lock lets it go.
  if (fileFd_ >= 0) ::close(fileFd_);
  if (folderFd_ >= 0) ::close(folderFd_);
  fileFd_ = -1;
  folderFd_ = -1;
}

void FailFolderLocksForTesting(int folderError, int fileError) {
  gFolderLockFault.store(folderError);
  gFileLockFault.store(fileError);
}

}  // namespace plat::files
