#include "platform/files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace plat::files {

namespace {

std::atomic<int> gFolderLockFault{0};
std::atomic<int> gFileLockFault{0};

// An exclusive flock taken without waiting (again after a signal): 0, or the
// system's error (EWOULDBLOCK when another holder has it).
int LockNow(int fd, const std::atomic<int>& fault) {
  if (const int e = fault.load(); e != 0) return e;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FolderLock::Result FolderLock::Take(const std::string& folder) {
  Release();
  error_ = 0;
  // A folder only: anything else (a FIFO among them) is refused by the open
  // itself, which never blocks.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    const int why = LockNow(dir, gFolderLockFault);
    if (why == 0) {
      fd_ = dir;
      return Result::kHeld;
    }
    ::close(dir);
    if (why == EWOULDBLOCK) return Result::kInUse;
  } else if (!IsFolder(folder)) {
    return Result::kUnavailable;
  }
  // The folder itself cannot be locked: a file in it, open for writing, can
  // be wherever the file system has locks at all. A link in the file's place
  // is not followed and only a regular file is locked, so that nothing of
  // the user's elsewhere is made or held, and the open never waits.
  const int fd = ::open((folder + "/" + kLockFileName).c_str(),
                        O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    error_ = errno;
    return Result::kNoLock;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    error_ = EINVAL;
    return Result::kNoLock;
  }
  const int why = LockNow(fd, gFileLockFault);
  if (why == 0) {
    fd_ = fd;
    return Result::kHeld;
  }
  ::close(fd);
  if (why == EWOULDBLOCK) return Result::kInUse;
  error_ = why;
  return Result::kNoLock;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  // Closing the only descriptor of the lock lets it go.
  ::close(fd_);
  fd_ = -1;
}

void FailFolderLocksForTesting(int folderError, int fileError) {
  gFolderLockFault.store(folderError);
  gFileLockFault.store(fileError);
}

}  // namespace plat::files
