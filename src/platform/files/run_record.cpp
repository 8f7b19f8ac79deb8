#include "platform/files/run_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/files/folders.h"

namespace plat::files {

namespace {

constexpr char kHeader[] = "vellmarkstead run record 1\n";
constexpr char kRecordPrefix[] = "run-";
// A record larger than this is read only so far: what it says beyond stays.
constexpr size_t kLargestRecord = 64u << 20;

int64_t ToInt(const char* text, const char** end) {
  errno = 0;
  char* e = nullptr;
  const long long v = std::strtoll(text, &e, 10);
  *end = errno == 0 && e != text ? e : nullptr;
  return v;
}

// One thing a record wrote down, as its last line about it says.
struct Entry {
  RunRecord::Kind kind = RunRecord::Kind::kTemporary;
  std::string path;
  FileIdentity identity;
  bool ended = false;
};

// Reads the lines of a record into `entries`; a damaged line ends the
// reading (a run killed in the middle of writing one leaves it so).
void Parse(const std::string& text, std::map<uint64_t, Entry>* entries) {
  if (text.compare(0, sizeof(kHeader) - 1, kHeader) != 0) return;
  const char* p = text.c_str() + sizeof(kHeader) - 1;
  const char* const end = text.c_str() + text.size();
  while (p < end) {
    const char* e = nullptr;
    if (p[0] == 'E' && p[1] == ' ') {
      const int64_t id = ToInt(p + 2, &e);
      if (e == nullptr || *e != '\n' || id < 0) return;
      auto it = entries->find(static_cast<uint64_t>(id));
      if (it != entries->end()) it->second.ended = true;
      p = e + 1;
      continue;
    }
    if (p[0] != 'M' || p[1] != ' ' || (p[2] != 'T' && p[2] != 'C' && p[2] != 'D') || p[3] != ' ') return;
    Entry entry;
    entry.kind = static_cast<RunRecord::Kind>(p[2]);
    int64_t v[6];
    const char* q = p + 4;
    for (int64_t& value : v) {
      value = ToInt(q, &e);
      if (e == nullptr || *e != ' ') return;
      q = e + 1;
    }
    // The path: its length, a colon, its bytes (any bytes, a line feed too).
    const int64_t length = ToInt(q, &e);
    if (e == nullptr || *e != ':' || length <= 0 || length > end - (e + 1) - 1 || e[1 + length] != '\n') return;
    if (v[0] < 0) return;
    entry.path.assign(e + 1, static_cast<size_t>(length));
    entry.identity.device = static_cast<dev_t>(v[1]);
    entry.identity.inode = static_cast<ino_t>(v[2]);
    entry.identity.content = v[3] != 0;
    entry.identity.size = v[4];
    entry.identity.modified = v[5];
    // Written down again: the name holds another file of the run's.
    (*entries)[static_cast<uint64_t>(v[0])] = entry;
    p = e + 1 + length + 1;
  }
}

bool IsEmptyFolder(const char* path) {
  DIR* d = ::opendir(path);
  if (d == nullptr) return false;
  bool empty = true;
  while (const dirent* e = ::readdir(d)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  ::closedir(d);
  return empty;
}

std::string Reason(int error) { return std::strerror(error); }

// Takes away what the ended run tagged `tag` left, as its record says.
int RemoveEntries(const std::string& tag, const std::map<uint64_t, Entry>& entries, std::vector<std::string>* left) {
  int removed = 0;
  auto note = [left](const std::string& line) {
    if (left != nullptr) left->push_back(line);
  };
  char away[4200];
  char again[4200];
  const std::string againTag = tag + "-again";
  // First what the run had moved to a private name when it was killed:
  // its own file goes, a file of the user's goes back to its name.
  for (const auto& [id, entry] : entries) {
    if (!PrivateNameBeside(entry.path.c_str(), tag.c_str(), id, away, sizeof away)) continue;
    FileIdentity there;
    if (!IdentityOf(away, false, &there)) continue;
    FileIdentity mine = entry.identity;
    mine.content = false;
    if (there.device == mine.device && there.inode == mine.inode &&
        PrivateNameBeside(away, againTag.c_str(), id, again, sizeof again)) {
      const bool folder = entry.kind == RunRecord::Kind::kFolder;
      if (RemoveIfHolds(away, mine, folder, again) == Removal::kRemoved) {
        ++removed;
        continue;
      }
      // A folder that holds something now: it goes back to its name.
    }
    if (const int e = RenameWithoutReplacing(away, entry.path.c_str()); e != 0)
      note(std::string(away) + ": could not be put back at " + entry.path + ": " + Reason(e));
  }
  // A write-back swaps the copy's name with its temporary file's; killed
  // right after, the copy it replaced is at the temporary's name.
  std::vector<FileIdentity> copies;
  for (const auto& [id, entry] : entries) {
    if (entry.kind != RunRecord::Kind::kCopy) continue;
    FileIdentity file = entry.identity;
    file.content = false;
    copies.push_back(file);
  }
  for (const auto& [id, entry] : entries) {
    if (entry.kind != RunRecord::Kind::kTemporary || entry.ended) continue;
    const char* path = entry.path.c_str();
    for (const FileIdentity& copy : copies) {
      if (!Holds(path, copy) || !PrivateNameBeside(path, tag.c_str(), id, away, sizeof away)) continue;
      if (RemoveIfHolds(path, copy, false, away) == Removal::kRemoved) ++removed;
      break;
    }
  }
  auto take = [&](RunRecord::Kind kind) {
    std::vector<std::pair<uint64_t, const Entry*>> order;
    for (const auto& [id, entry] : entries)
      if (!entry.ended && entry.kind == kind) order.emplace_back(id, &entry);
    // Folders newest first, so innermost first.
    if (kind == RunRecord::Kind::kFolder) std::reverse(order.begin(), order.end());
    for (const auto& [id, entry] : order) {
      const char* path = entry->path.c_str();
      const bool folder = kind == RunRecord::Kind::kFolder;
      if (!Holds(path, entry->identity) || (folder && !IsEmptyFolder(path))) continue;
      if (!PrivateNameBeside(path, tag.c_str(), id, away, sizeof away)) continue;
      switch (RemoveIfHolds(path, entry->identity, folder, away)) {
        case Removal::kRemoved:
          ++removed;
          break;
        case Removal::kFailed:
          if (errno != ENOTEMPTY && errno != EEXIST) note(entry->path + ": " + Reason(errno));
          break;
        case Removal::kStranded:
          note(std::string(away) + ": could not be put back at " + entry->path + ": " + Reason(EEXIST));
          break;
        case Removal::kNotThere:
        case Removal::kNotIt:
          break;
      }
    }
  };
  take(RunRecord::Kind::kTemporary);
  take(RunRecord::Kind::kCopy);
  take(RunRecord::Kind::kFolder);
  return removed;
}

}  // namespace

std::string RunRecordsFolder() {
  std::string support = ApplicationSupportFolder();
  if (support.empty()) return {};
  if (support.front() != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return {};
    support = std::string(cwd) + "/" + support;
  }
  return support + "/" + kRunRecordsFolderName;
}

RunRecord::RunRecord() {
  // The process number, and letters that tell two runs of the same number
  // apart (one after a restart, or on another machine sharing the folder).
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[8] = {};
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    const uint64_t mix = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(this);
    std::memcpy(random, &mix, sizeof random);
  }
  char letters[9] = {};
  for (size_t i = 0; i < 8; ++i) letters[i] = kLetters[random[i] % (sizeof kLetters - 1)];
  std::snprintf(tag_, sizeof tag_, "%ld-%s", static_cast<long>(::getpid()), letters);
}

bool RunRecord::Begin(const std::string& folder) {
  if (fd_ >= 0 || folder.empty()) return fd_ >= 0;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  // Only a folder of this user's own (not a link to somewhere else).
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  const std::string path = folder + "/" + kRecordPrefix + tag_;
  if (path.size() >= sizeof path_) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
      ::write(fd, kHeader, sizeof kHeader - 1) != static_cast<ssize_t>(sizeof kHeader - 1)) {
    ::unlink(path.c_str());
    ::close(fd);
    return false;
  }
  std::memcpy(path_, path.c_str(), path.size() + 1);
  fd_ = fd;
  return true;
}

void RunRecord::Made(uint64_t id, Kind kind, const std::string& path, const FileIdentity& identity) {
  if (fd_ < 0 || path.empty()) return;
  // A later start may run in another folder.
  std::string where = path;
  if (where.front() != '/') {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) return;
    where = std::string(cwd) + "/" + where;
  }
  char head[200];
  const int n = std::snprintf(head, sizeof head, "M %c %" PRIu64 " %" PRIu64 " %" PRIu64 " %d %" PRId64 " %" PRId64
                              " %zu:",
                              static_cast<char>(kind), id, static_cast<uint64_t>(identity.device),
                              static_cast<uint64_t>(identity.inode), identity.content ? 1 : 0, identity.size,
                              identity.modified, where.size());
  if (n <= 0 || static_cast<size_t>(n) >= sizeof head) return;
  std::string line(head, static_cast<size_t>(n));
  line += where;
  line += '\n';
  // One write: lines of several threads never interleave.
  [[maybe_unused]] const ssize_t w = ::write(fd_, line.data(), line.size());
}

void RunRecord::Ended(uint64_t id) {
  if (fd_ < 0) return;
  char line[40];
  const int n = std::snprintf(line, sizeof line, "E %" PRIu64 "\n", id);
  if (n > 0) [[maybe_unused]] const ssize_t w = ::write(fd_, line, static_cast<size_t>(n));
}

void RunRecord::Finish() {
  if (fd_ < 0) return;
  ::unlink(path_);
  ::close(fd_);
  fd_ = -1;
}

void RunRecord::AbandonForTesting() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

int RemoveWhatEndedRunsLeft(const std::string& folder, std::vector<std::string>* left) {
  if (folder.empty()) return 0;
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return 0;
  struct stat st {};
  if (::fstat(dir, &st) != 0 || st.st_uid != ::geteuid()) {
    ::close(dir);
    return 0;
  }
  std::vector<std::string> names;
  if (DIR* d = ::fdopendir(::fcntl(dir, F_DUPFD_CLOEXEC, 0))) {
    while (const dirent* e = ::readdir(d))
      if (std::strncmp(e->d_name, kRecordPrefix, sizeof kRecordPrefix - 1) == 0) names.emplace_back(e->d_name);
    ::closedir(d);
  }
  int removed = 0;
  for (const std::string& name : names) {
    const int fd = ::openat(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    // A live run holds its record's lock; where locks cannot be had, a
    // record cannot be told from a live run's, and stays.
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid() ||
        ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    struct stat now {};
    // Another start took it first, while this one waited for the lock.
    if (::fstat(fd, &now) != 0 || now.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    std::string text;
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<size_t>(n));
      if (text.size() >= kLargestRecord) break;
    }
    if (text.compare(0, sizeof(kHeader) - 1, kHeader) != 0) {
      // Not a record of this program's making: not read, not removed.
      ::close(fd);
      continue;
    }
    std::map<uint64_t, Entry> entries;
    Parse(text, &entries);
    removed += RemoveEntries(name.substr(sizeof kRecordPrefix - 1), entries, left);
    // Still the same record at that name, locked: it goes.
    struct stat named {};
    if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
        named.st_ino == held.st_ino)
      ::unlinkat(dir, name.c_str(), 0);
    ::close(fd);
  }
  ::close(dir);
  return removed;
}

}  // namespace plat::files
