#include "platform/files/race_free_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace plat::files {

namespace {

void Fill(const struct stat& st, bool content, FileIdentity* identity) {
  identity->device = st.st_dev;
  identity->inode = st.st_ino;
  identity->content = content;
  identity->size = static_cast<int64_t>(st.st_size);
  identity->modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool Same(const FileIdentity& want, const FileIdentity& got) {
  return want.device == got.device && want.inode == got.inode &&
         (!want.content || (want.size == got.size && want.modified == got.modified));
}

// Appends `text` to `out` at `*at`; false when it does not fit (with its
// closing zero).
bool Append(char* out, size_t size, size_t* at, const char* text, size_t n) {
  if (*at + n + 1 > size) return false;
  std::memcpy(out + *at, text, n);
  *at += n;
  out[*at] = 0;
  return true;
}

}  // namespace

bool IdentityOf(const char* path, bool content, FileIdentity* identity) {
  struct stat st {};
  if (::lstat(path, &st) != 0) return false;
  Fill(st, content, identity);
  return true;
}

bool IdentityOfFd(int fd, bool content, FileIdentity* identity) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  Fill(st, content, identity);
  return true;
}

bool Holds(const char* path, const FileIdentity& identity) {
  FileIdentity now;
  return IdentityOf(path, identity.content, &now) && Same(identity, now);
}

bool PrivateNameBeside(const char* path, const char* tag, uint64_t id, char* out, size_t size) {
  if (path == nullptr || tag == nullptr || out == nullptr || size == 0) return false;
  const char* slash = std::strrchr(path, '/');
  const size_t folder = slash != nullptr ? static_cast<size_t>(slash - path) + 1 : 0;
  // The number's digits, last first.
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + id % 10);
    id /= 10;
  } while (id != 0);
  char number[24];
  for (size_t i = 0; i < n; ++i) number[i] = digits[n - 1 - i];
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

Removal RemoveIfHolds(const char* path, const FileIdentity& identity, bool folder, const char* privateName) {
  // Most of the time the name plainly holds something else, or nothing:
  // then it is not even moved.
  FileIdentity now;
  if (!IdentityOf(path, identity.content, &now)) return errno == ENOENT ? Removal::kNotThere : Removal::kFailed;
  if (!Same(identity, now)) return Removal::kNotIt;
  if (folder) {
    // A folder is never moved: another program (another start of the host)
    // may be making files in it this moment, and would find it gone. It
    // goes only while empty, which the system checks as it removes it, so
    // no file is ever at stake; what another program could put at its
    // name in between is an empty folder.
    if (::rmdir(path) == 0) return Removal::kRemoved;
    return errno == ENOENT ? Removal::kNotThere : Removal::kFailed;
  }
  if (const int e = RenameWithoutReplacing(path, privateName); e != 0) {
    errno = e;
    return e == ENOENT ? Removal::kNotThere : Removal::kFailed;
  }
  // Away from the name, the file can no longer be swapped: what is looked
  // at is what goes.
  int why = 0;
  if (Holds(privateName, identity)) {
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

}  // namespace plat::files
