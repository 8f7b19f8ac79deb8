#include "platform/files/race_free_removal.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat::files {

namespace {

std::atomic<uint64_t> gLookups{0};

int64_t Nanoseconds(int64_t seconds, uint32_t nanoseconds) { return seconds * 1000000000 + nanoseconds; }

// Appends `text` to `out` at `*at`; false when it does not fit (with its
// closing zero).
bool Append(char* out, size_t size, size_t* at, const char* text, size_t n) {
  if (*at + n + 1 > size) return false;
  std::memcpy(out + *at, text, n);
  *at += n;
  out[*at] = 0;
  return true;
}

// The decimal digits of `n` into `out` (room for 21); their count.
size_t Digits(uint64_t n, char* out) {
  char last[24];
  size_t count = 0;
  do {
    last[count++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n != 0);
  for (size_t i = 0; i < count; ++i) out[i] = last[count - 1 - i];
  out[count] = 0;
  return count;
}

// The inode's generation, asked of a descriptor that can be asked: an
// O_PATH one cannot, and the file is opened again through it for reading
// (a regular file or a folder only: opening a device or a FIFO may do
// something). 0 when the file system keeps none (tmpfs, NFS) or the file
// cannot be read; a file system that keeps one never draws 0 but by chance.
uint32_t Generation(int fd, mode_t mode) {
  if (!S_ISREG(mode) && !S_ISDIR(mode)) return 0;
  int generation = 0;
  if (::ioctl(fd, FS_IOC_GETVERSION, &generation) == 0) return static_cast<uint32_t>(generation);
  if (errno != EBADF) return 0;
  char self[48] = "/proc/self/fd/";
  Digits(static_cast<uint64_t>(fd), self + std::strlen(self));
  const int readable = ::open(self, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (S_ISDIR(mode) ? O_DIRECTORY : 0));
  if (readable < 0) return 0;
  generation = 0;
  if (::ioctl(readable, FS_IOC_GETVERSION, &generation) != 0) generation = 0;
  ::close(readable);
  return static_cast<uint32_t>(generation);
}

}  // namespace

bool IdentityOfFd(int fd, bool content, FileIdentity* identity) {
  gLookups.fetch_add(1, std::memory_order_relaxed);
  FileIdentity id;
  id.content = content;
  mode_t mode = 0;
  struct statx sx {};
  if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
    mode = sx.stx_mode;
    id.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    id.inode = static_cast<ino_t>(sx.stx_ino);
    id.size = static_cast<int64_t>(sx.stx_size);
    id.modified = Nanoseconds(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    id.changed = Nanoseconds(sx.stx_ctime.tv_sec, sx.stx_ctime.tv_nsec);
    if ((sx.stx_mask & STATX_BTIME) != 0) {
      id.known |= kKnownBirth;
      id.birth = Nanoseconds(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec);
    }
  } else {
    if (errno != ENOSYS) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    mode = st.st_mode;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = static_cast<int64_t>(st.st_size);
    id.modified = Nanoseconds(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    id.changed = Nanoseconds(st.st_ctim.tv_sec, static_cast<uint32_t>(st.st_ctim.tv_nsec));
  }
  if (const uint32_t generation = Generation(fd, mode); generation != 0) {
    id.known |= kKnownGeneration;
    id.generation = generation;
  }
  *identity = id;
  return true;
}

bool IdentityOf(const char* path, bool content, FileIdentity* identity) {
  const int fd = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    gLookups.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  const bool got = IdentityOfFd(fd, content, identity);
  const int e = errno;
  ::close(fd);
  errno = e;
  return got;
}

uint64_t IdentityLookups() { return gLookups.load(std::memory_order_relaxed); }

// Why a file written down in a record and found at that number later is
// the same file, and never one made there after it was written down:
// - a generation, where the file system keeps one, is drawn anew for every
//   inode it makes, so a file made later at the same number has another;
// - without one, the file must have been born before the line was written
//   (its birth time cannot be set by anyone), and a file made after it has
//   a birth time no earlier than the file system's clock at its making,
//   which is past the moment the line was written (the writer waits until
//   the coarse clock, which the file system's times come from, has passed
//   the file's birth before it writes);
// - without a birth time either, the same holds of the status change time:
//   a file made later was changed no earlier than it was made. A file of
//   the run's that changed after it was written down (renamed, linked,
//   written, its mode changed) no longer matches either, and stays: the
//   price of being sure, paid only where the file system tells neither.
bool SameFile(const FileIdentity& want, const FileIdentity& got) {
  if (want.device != got.device || want.inode != got.inode) return false;
  if (want.content && (want.size != got.size || want.modified != got.modified)) return false;
  if ((want.known & kKnownGeneration) != 0 &&
      ((got.known & kKnownGeneration) == 0 || got.generation != want.generation))
    return false;
  if ((want.known & kKnownBirth) != 0 && ((got.known & kKnownBirth) == 0 || got.birth != want.birth)) return false;
  if (want.writtenBefore != 0 && (want.known & kKnownGeneration) == 0) {
    const int64_t since = (want.known & kKnownBirth) != 0 ? want.birth : got.changed;
    if (since >= want.writtenBefore) return false;
  }
  return true;
}

bool Holds(const char* path, const FileIdentity& identity) {
  FileIdentity now;
  return IdentityOf(path, identity.content, &now) && SameFile(identity, now);
}

bool PrivateNameBeside(const char* path, const char* tag, uint64_t id, char* out, size_t size) {
  if (path == nullptr || tag == nullptr || out == nullptr || size == 0) return false;
  const char* slash = std::strrchr(path, '/');
  const size_t folder = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
  char number[24];
  const size_t n = Digits(id, number);
  size_t at = 0;
  out[0] = 0;
  return Append(out, size, &at, path, folder) && Append(out, size, &at, ".~vmk-", 6) &&
         Append(out, size, &at, tag, std::strlen(tag)) && Append(out, size, &at, "-", 1) &&
         Append(out, size, &at, number, n);
}

int RenameWithoutReplacing(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  const int e = errno;
  if (e != EINVAL && e != ENOSYS && e != ENOTSUP) return e;
  // A file system that cannot rename without replacing (NFS, some FUSE
  // ones): a file gets its new name as a link, which never replaces, and
  // loses its old one; a folder cannot be linked, and is renamed after a look.
  struct stat st {};
  if (::lstat(from, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) {
    if (::lstat(to, &st) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::rename(from, to) == 0 ? 0 : errno;
  }
  if (::link(from, to) != 0) return errno;
  if (::unlink(from) != 0) {
    const int u = errno;
    ::unlink(to);
    return u;
  }
  return 0;
}

namespace {

// The file `held` (open as `fd`) is moved from `path` to `privateName` and
// removed there when it is the one that moved.
Removal MoveAsideAndRemove(const char* path, const FileIdentity& held, const char* privateName) {
  if (const int e = RenameWithoutReplacing(path, privateName); e != 0) {
    errno = e;
    return e == ENOENT ? Removal::kNotThere : Removal::kFailed;
  }
  // Away from the name, the file can no longer be swapped: what is looked
  // at is what goes. The descriptor held on the file looked at keeps its
  // number from being given to another, so the number alone tells it (a
  // rename may change its status time).
  int why = 0;
  struct stat st {};
  if (::lstat(privateName, &st) == 0 && st.st_dev == held.device && st.st_ino == held.inode) {
    if (::unlink(privateName) == 0) return Removal::kRemoved;
    why = errno;
  }
  if (RenameWithoutReplacing(privateName, path) != 0) {
    errno = EEXIST;
    return Removal::kStranded;
  }
  if (why == 0) return Removal::kNotIt;
  errno = why;
  return Removal::kFailed;
}

}  // namespace

Removal RemoveIfHolds(const char* path, const FileIdentity& identity, bool folder, const char* privateName) {
  // The file at the name is held open (without opening it for anything)
  // while it is looked at and moved, so that its number stays its own.
  const int fd = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Removal::kNotThere : Removal::kFailed;
  Removal result = Removal::kNotIt;
  FileIdentity now;
  // Most of the time the name plainly holds something else: then it is not
  // even moved.
  if (!IdentityOfFd(fd, identity.content, &now)) {
    result = Removal::kFailed;
  } else if (!SameFile(identity, now)) {
    result = Removal::kNotIt;
  } else if (folder) {
    // A folder is never moved: another program (another start of the host)
    // may be making files in it this moment, and would find it gone. It
    // goes only while empty, which the system checks as it removes it, so
    // no file is ever at stake; what another program could put at its
    // name in between is an empty folder.
    if (::rmdir(path) == 0)
      result = Removal::kRemoved;
    else
      result = errno == ENOENT ? Removal::kNotThere : Removal::kFailed;
  } else {
    result = MoveAsideAndRemove(path, now, privateName);
  }
  const int e = errno;
  ::close(fd);
  errno = e;
  return result;
}

}  // namespace plat::files
