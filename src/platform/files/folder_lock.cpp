#include "platform/files/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace plat::files {

FolderLock::Result FolderLock::Take(const std::string& folder) {
  Release();
  // A folder only: anything else (a FIFO among them) is refused by the open
  // itself, which never blocks.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Result::kUnavailable;
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    const bool inUse = errno == EWOULDBLOCK;
    ::close(fd);
    return inUse ? Result::kInUse : Result::kUnavailable;
  }
  fd_ = fd;
  return Result::kHeld;
}

void FolderLock::Release() {
  if (fd_ < 0) return;
  // Closing the only descriptor of the lock lets it go.
  ::close(fd_);
  fd_ = -1;
}

}  // namespace plat::files
