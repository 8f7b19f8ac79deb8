#include "platform/files/private_copy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace plat::files {

namespace {

std::atomic<uint32_t> gCopyCount{0};
std::atomic<int> gCopyFault{0};

// The copies this process holds, by device and inode, and the lock that
// makes a copy's making and a sweep one step each for the process: a sweep
// never sees a copy between its making and its holder's lock, nor takes one
// whose lock a file system grants the whole process (NFS's flock is a
// record lock, which a second descriptor of the same process gets too).
struct Held {
  std::mutex lock;
  std::set<std::pair<dev_t, ino_t>> copies;
};

Held& held() {
  static Held h;
  return h;
}

// The folder part of `path` ("." when it has none) and the rest.
std::pair<std::string, std::string> Split(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// A copy's name: the stem and one or more digits, nothing else.
bool IsCopyName(const char* name, const std::string& stem) {
  const size_t n = std::strlen(name);
  if (n <= stem.size() || std::strncmp(name, stem.c_str(), stem.size()) != 0) return false;
  return std::all_of(name + stem.size(), name + n, [](char c) { return c >= '0' && c <= '9'; });
}

// An exclusive lock taken without waiting: 0, or the system's error.
int LockNow(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

// Writes all of `size` bytes: 0, or the system's error.
int WriteAll(int fd, const char* p, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    // A write that takes nothing has met the end of the disk.
    if (n <= 0) return n == 0 ? ENOSPC : errno;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

// The bytes of the file open as `in` onto `out`: 0, or the system's error.
int CopyBytes(int in, int out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (const int e = WriteAll(out, buffer.data(), static_cast<size_t>(n)); e != 0) return e;
  }
}

// Takes the name `name` in the folder `dir` away while it holds the file
// open as `fd`.
void UnlinkIfHolds(int dir, const char* name, int fd) {
  struct stat mine {}, named {};
  if (::fstat(fd, &mine) == 0 && ::fstatat(dir, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
    (void)::unlinkat(dir, name, 0);
}

// The sweep itself; the caller holds held().lock.
int SweepLocked(const std::string& of, const std::string& tag) {
  const auto [folder, leaf] = Split(of);
  const std::string stem = leaf + tag;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return 0;
  const int listing = ::dup(dir);
  DIR* d = listing >= 0 ? ::fdopendir(listing) : nullptr;
  if (d == nullptr) {
    if (listing >= 0) ::close(listing);
    ::close(dir);
    return 0;
  }
  const uid_t me = ::geteuid();
  int removed = 0;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(d))
    if (IsCopyName(e->d_name, stem)) names.emplace_back(e->d_name);
  ::closedir(d);
  for (const std::string& name : names) {
    // Never a link, a FIFO (whose open would wait) or another user's file.
    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == me;
    // Held here, or locked by a holder elsewhere: left. One removed meanwhile
    // (by another sweep, whose lock this one got after it) has no links left.
    if (plain && held().copies.count({st.st_dev, st.st_ino}) == 0 && LockNow(fd) == 0 &&
        ::fstat(fd, &st) == 0 && st.st_nlink > 0) {
      UnlinkIfHolds(dir, name.c_str(), fd);
      ++removed;
    }
    ::close(fd);  // lets the lock go
  }
  ::close(dir);
  return removed;
}

}  // namespace

int PrivateCopy::Make(const std::string& from, const std::string& tag) {
  Remove();
  const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat source {};
  if (::fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
    const int e = S_ISDIR(source.st_mode) ? EISDIR : EINVAL;
    ::close(in);
    return e;
  }
  // Reads wait as usual once the file is known to be a plain one.
  (void)::fcntl(in, F_SETFL, ::fcntl(in, F_GETFL) & ~O_NONBLOCK);
  int fd = -1;
  std::string path;
  {
    std::lock_guard<std::mutex> g(held().lock);
    (void)SweepLocked(from, tag);
    int error = EEXIST;
    for (int attempt = 0; attempt < 1000 && fd < 0; ++attempt) {
      path = from + tag + std::to_string(gCopyCount++ % 1000000);
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd < 0) {
        error = errno;
        if (error == EEXIST) continue;
        break;
      }
      struct stat st {};
      // Taken by a sweep of another process between its making and this
      // lock: gone already, or about to go. Where nothing can be locked the
      // copy goes unlocked.
      const int locked = LockNow(fd);
      if (locked == EWOULDBLOCK || ::fstat(fd, &st) != 0 || st.st_nlink == 0) {
        ::close(fd);
        fd = -1;
        continue;
      }
      device_ = st.st_dev;
      inode_ = st.st_ino;
      held().copies.insert({device_, inode_});
    }
    if (fd < 0) {
      ::close(in);
      return error;
    }
  }
  path_ = std::move(path);
  fd_ = fd;
  const int fault = gCopyFault.load();
  const int error = fault != 0 ? fault : CopyBytes(in, fd_);
  ::close(in);
  if (error != 0) Remove();
  return error;
}

void PrivateCopy::Remove() {
  if (fd_ < 0) return;
  std::lock_guard<std::mutex> g(held().lock);
  const auto [folder, leaf] = Split(path_);
  if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
    UnlinkIfHolds(dir, leaf.c_str(), fd_);
    ::close(dir);
  }
  held().copies.erase({device_, inode_});
  ::close(fd_);  // lets the lock go
  fd_ = -1;
  path_.clear();
}

int SweepPrivateCopies(const std::string& of, const std::string& tag) {
  std::lock_guard<std::mutex> g(held().lock);
  return SweepLocked(of, tag);
}

void FailPrivateCopiesForTesting(int error) { gCopyFault.store(error); }

}  // namespace plat::files
