#include "platform/files/run_record.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/files/folders.h"

namespace plat::files {

namespace {

constexpr char kHeader[] = "vellmarkstead run record 2\n";
constexpr char kHeaderVersion1[] = "vellmarkstead run record 1\n";
static_assert(sizeof kHeader == sizeof kHeaderVersion1);
constexpr size_t kHeaderLength = sizeof kHeader - 1;
constexpr char kRecordPrefix[] = "run-";
// A record larger than this is read only so far: what it says beyond stays.
constexpr size_t kLargestRecord = 64u << 20;
// What a start reads of a record to tell whose it is.
constexpr size_t kHeadLength = 16384;
// The longest a line waits for the clock to pass its file's time.
constexpr int kLongestClockWaitMs = 30;

std::atomic<int> gLockFault{0};

// Takes the lock of a record, unless a test says locks cannot be had.
int LockRecord(int fd) {
  if (const int fault = gLockFault.load(); fault != 0) {
    errno = fault;
    return -1;
  }
  return ::flock(fd, LOCK_EX | LOCK_NB);
}

int64_t Nanoseconds(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

// The clock the file systems take their times from.
int64_t CoarseNow() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return Nanoseconds(now);
}

// The moment to write down with `identity`: once the coarse clock has passed
// the file's birth (or its last change, when the file system keeps no
// birth time), so that no file made at its number afterwards can match it.
// A file system that keeps a generation needs no wait.
int64_t WrittenAfter(const FileIdentity& identity) {
  int64_t now = CoarseNow();
  if ((identity.known & kKnownGeneration) != 0) return now;
  const int64_t since = (identity.known & kKnownBirth) != 0 ? identity.birth : identity.changed;
  for (int waited = 0; now <= since && waited < kLongestClockWaitMs; ++waited) {
    ::poll(nullptr, 0, 1);
    now = CoarseNow();
  }
  return now;
}

// Reading. Each reader takes a field at `*p` that ends in `after` and
// moves past it; false on anything else.
bool ReadUnsigned(const char** p, char after, uint64_t* value) {
  if (**p < '0' || **p > '9') return false;
  errno = 0;
  char* e = nullptr;
  *value = std::strtoull(*p, &e, 10);
  if (errno != 0 || *e != after) return false;
  *p = e + 1;
  return true;
}

bool ReadSigned(const char** p, char after, int64_t* value) {
  const char* digits = **p == '-' ? *p + 1 : *p;
  if (*digits < '0' || *digits > '9') return false;
  errno = 0;
  char* e = nullptr;
  *value = std::strtoll(*p, &e, 10);
  if (errno != 0 || *e != after) return false;
  *p = e + 1;
  return true;
}

// A length, a colon and that many bytes (any bytes, a line feed too).
bool ReadCounted(const char** p, const char* end, char after, bool empty, std::string* text) {
  uint64_t length = 0;
  if (!ReadUnsigned(p, ':', &length)) return false;
  if ((!empty && length == 0) || length >= static_cast<uint64_t>(end - *p) || (*p)[length] != after) return false;
  text->assign(*p, static_cast<size_t>(length));
  *p += length + 1;
  return true;
}

bool ReadIdentity(const char** p, int version, FileIdentity* identity) {
  uint64_t device = 0, inode = 0;
  int64_t content = 0;
  FileIdentity id;
  if (!ReadUnsigned(p, ' ', &device) || !ReadUnsigned(p, ' ', &inode) || !ReadSigned(p, ' ', &content) ||
      !ReadSigned(p, ' ', &id.size) || !ReadSigned(p, ' ', &id.modified))
    return false;
  id.device = static_cast<dev_t>(device);
  id.inode = static_cast<ino_t>(inode);
  id.content = content != 0;
  if (version >= 2) {
    uint64_t known = 0, generation = 0;
    if (!ReadUnsigned(p, ' ', &known) || !ReadSigned(p, ' ', &id.birth) || !ReadUnsigned(p, ' ', &generation) ||
        !ReadSigned(p, ' ', &id.writtenBefore) || generation > UINT32_MAX)
      return false;
    id.known = static_cast<unsigned>(known & (kKnownBirth | kKnownGeneration));
    id.generation = static_cast<uint32_t>(generation);
  }
  *identity = id;
  return true;
}

// What a record says it was written on.
struct Origin {
  bool known = false;
  std::string machine;
  std::string boot;
};

// A pending exchange of a temporary entry's name with a copy's.
struct Exchange {
  bool pending = false;
  RunRecord::Exchange how = RunRecord::Exchange::kWriteBack;
  std::string path;
  FileIdentity identity;
};

// One thing a record wrote down, as its last line about it says.
struct Entry {
  RunRecord::Kind kind = RunRecord::Kind::kTemporary;
  std::string path;
  FileIdentity identity;
  bool ended = false;
  Exchange exchange;
};

// The record's version (1 or 2; 0 for a file that is none), and the
// origin its second line gives.
int ReadHead(const std::string& text, Origin* origin, const char** body) {
  int version = 0;
  if (text.compare(0, kHeaderLength, kHeader) == 0)
    version = 2;
  else if (text.compare(0, kHeaderLength, kHeaderVersion1) == 0)
    version = 1;
  const char* p = text.c_str() + (version != 0 ? kHeaderLength : 0);
  const char* const end = text.c_str() + text.size();
  if (version == 2 && end - p >= 2 && p[0] == 'W' && p[1] == ' ') {
    const char* q = p + 2;
    Origin o;
    if (ReadCounted(&q, end, ' ', true, &o.machine) && ReadCounted(&q, end, '\n', true, &o.boot)) {
      o.known = true;
      *origin = std::move(o);
      p = q;
    }
  }
  if (body != nullptr) *body = p;
  return version;
}

// Reads the lines of a record into `entries`; a damaged line ends the
// reading (a run killed in the middle of writing one leaves it so).
int Parse(const std::string& text, std::map<uint64_t, Entry>* entries) {
  const char* p = nullptr;
  Origin origin;
  const int version = ReadHead(text, &origin, &p);
  if (version == 0) return 0;
  const char* const end = text.c_str() + text.size();
  while (p < end) {
    const char* q = p;
    uint64_t id = 0;
    // The text ends in a zero: a check that fails at it stops there.
    if (p[0] == 'E' && p[1] == ' ') {
      q += 2;
      if (!ReadUnsigned(&q, '\n', &id)) break;
      if (auto it = entries->find(id); it != entries->end()) {
        it->second.ended = true;
        it->second.exchange.pending = false;
      }
      p = q;
      continue;
    }
    const bool made = p[0] == 'M' && p[1] == ' ' && (p[2] == 'T' || p[2] == 'C' || p[2] == 'D') && p[3] == ' ';
    const bool exchange = version >= 2 && p[0] == 'X' && p[1] == ' ' && (p[2] == 'W' || p[2] == 'C') && p[3] == ' ';
    if (!made && !exchange) break;
    q = p + 4;
    FileIdentity identity;
    std::string path;
    // A path is written whole (from the root): one that is not would be
    // taken from wherever a start runs.
    if (!ReadUnsigned(&q, ' ', &id) || !ReadIdentity(&q, version, &identity) ||
        !ReadCounted(&q, end, '\n', false, &path) || path.front() != '/')
      break;
    if (made) {
      // Written down again: the name holds another file of the run's.
      Entry& entry = (*entries)[id];
      entry = Entry();
      entry.kind = static_cast<RunRecord::Kind>(p[2]);
      entry.path = std::move(path);
      entry.identity = identity;
    } else if (auto it = entries->find(id);
               it != entries->end() && !it->second.ended && it->second.kind == RunRecord::Kind::kTemporary) {
      Exchange& x = it->second.exchange;
      x.pending = true;
      x.how = static_cast<RunRecord::Exchange>(p[2]);
      x.path = std::move(path);
      x.identity = identity;
    }
    p = q;
  }
  return version;
}

std::string Reason(int error) { return std::strerror(error); }

// The identity as a record line gives it.
std::string IdentityText(const FileIdentity& identity, int64_t written) {
  char text[220];
  const int n = std::snprintf(text, sizeof text,
                              "%" PRIu64 " %" PRIu64 " %d %" PRId64 " %" PRId64 " %u %" PRId64 " %" PRIu32 " %" PRId64,
                              static_cast<uint64_t>(identity.device), static_cast<uint64_t>(identity.inode),
                              identity.content ? 1 : 0, identity.size, identity.modified, identity.known,
                              identity.birth, identity.generation, written);
  return n > 0 && static_cast<size_t>(n) < sizeof text ? std::string(text, static_cast<size_t>(n)) : std::string();
}

std::string Counted(const std::string& text) { return std::to_string(text.size()) + ":" + text; }

// `path` from the folder this run runs in, for a later start that may run
// in another; "" when that cannot be told.
std::string Absolute(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd) == nullptr) return {};
  return std::string(cwd) + "/" + path;
}

// The first line of a small file, without its line end; "" when none.
std::string FirstLine(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  char text[256];
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  if (n <= 0) return {};
  std::string line(text, static_cast<size_t>(n));
  line = line.substr(0, line.find('\n'));
  for (const char c : line)
    if (c <= ' ' || c > '~') return {};
  return line;
}

// What a name holds, held open (without opening it for anything) while
// this lives.
struct Held {
  explicit Held(const char* path) : fd(::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC)) {
    there = fd >= 0 && IdentityOfFd(fd, false, &identity);
  }
  ~Held() {
    if (fd >= 0) ::close(fd);
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  int fd;
  bool there = false;
  FileIdentity identity;
};

// Takes away what the ended run tagged `tag` left, as its record says.
class Cleaner {
 public:
  Cleaner(const std::string& tag, std::vector<std::string>* left) : tag_(tag), again_(tag + "-again"), left_(left) {}

  ~Cleaner() {
    for (const Folder& f : folders_) ::close(f.fd);
  }

  int Run(const std::map<uint64_t, Entry>& entries) {
    JudgeFolders(entries);
    for (const auto& [id, entry] : entries) PutRightPrivateNames(id, entry);
    for (const auto& [id, entry] : entries)
      if (entry.kind == RunRecord::Kind::kTemporary && !entry.ended && entry.exchange.pending) Undo(id, entry);
    CopiesAtTemporaryNames(entries);
    Take(entries, RunRecord::Kind::kTemporary);
    Take(entries, RunRecord::Kind::kCopy);
    TakeFolders();
    return removed_;
  }

 private:
  // A folder of the run's, found at its name before anything was taken
  // out of it, and held open since.
  struct Folder {
    const Entry* entry;
    int fd;
    FileIdentity identity;
  };

  // Each folder is looked at before anything in it is taken away (which
  // changes its times, and so what a file system that keeps neither birth
  // time nor generation tells of it), newest first, so innermost first; the
  // one that is the run's is held open until its turn, so that its number
  // stays its own.
  void JudgeFolders(const std::map<uint64_t, Entry>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
      const Entry& entry = it->second;
      if (entry.ended || entry.kind != RunRecord::Kind::kFolder) continue;
      const int fd = ::open(entry.path.c_str(), O_PATH | O_NOFOLLOW | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) continue;
      FileIdentity now;
      if (IdentityOfFd(fd, false, &now) && SameFile(entry.identity, now))
        folders_.push_back({&entry, fd, now});
      else
        ::close(fd);
    }
  }

  // The folders held go while their names still hold them and they are
  // empty (the system checks as it removes one; what another program could
  // put at the name in between is an empty folder).
  void TakeFolders() {
    for (Folder& f : folders_) {
      struct stat st {};
      if (::lstat(f.entry->path.c_str(), &st) != 0 || st.st_dev != f.identity.device || st.st_ino != f.identity.inode)
        continue;
      if (::rmdir(f.entry->path.c_str()) == 0)
        ++removed_;
      else if (errno != ENOTEMPTY && errno != EEXIST && errno != ENOENT)
        Note(f.entry->path + ": " + Reason(errno));
    }
  }

  void Note(const std::string& line) {
    if (left_ != nullptr) left_->push_back(line);
  }

  bool Away(const std::string& path, uint64_t id, char* out, size_t size) const {
    return PrivateNameBeside(path.c_str(), tag_.c_str(), id, out, size);
  }

  // Removes `path` while it holds `identity` (a file), through entry `id`'s
  // private name.
  void Remove(const std::string& path, const FileIdentity& identity, uint64_t id) {
    char away[4200];
    if (!Away(path, id, away, sizeof away)) return;
    switch (RemoveIfHolds(path.c_str(), identity, false, away)) {
      case Removal::kRemoved:
        ++removed_;
        break;
      case Removal::kFailed:
        // EEXIST: the private name holds a file already, which a note names.
        if (errno != EEXIST) Note(path + ": " + Reason(errno));
        break;
      case Removal::kStranded:
        Note(std::string(away) + ": could not be put back at " + path + ": " + Reason(EEXIST));
        break;
      case Removal::kNotThere:
      case Removal::kNotIt:
        break;
    }
  }

  // What the run had moved to its private name when it was killed (a stop's
  // removal, a write-back on a file system that cannot exchange names): its
  // own file goes, a file of the user's goes back to its name. The version
  // before this one moved a file once more, to the "-again" name, while it
  // removed one; a start killed then left it there, and it is looked for too.
  void PutRightPrivateNames(uint64_t id, const Entry& entry) {
    char away[4200];
    char again[4200];
    if (!Away(entry.path, id, away, sizeof away)) return;
    PutRight(away, entry);
    if (PrivateNameBeside(away, again_.c_str(), id, again, sizeof again)) PutRight(again, entry);
  }

  void PutRight(const char* name, const Entry& entry) {
    const int fd = ::open(name, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    FileIdentity mine = entry.identity;
    mine.content = false;
    FileIdentity there;
    const bool folder = entry.kind == RunRecord::Kind::kFolder;
    if (IdentityOfFd(fd, false, &there) && SameFile(mine, there)) {
      // Only this run's own removals put anything at its private names, and
      // the record is this start's alone while it holds it: the file goes
      // from there as it is, with no other name in between (a start killed
      // here leaves it for the next, which finds it where this one did).
      const int gone = folder ? ::rmdir(name) : ::unlink(name);
      const int e = errno;
      ::close(fd);
      if (gone == 0) {
        ++removed_;
        return;
      }
      if (!folder) {
        Note(std::string(name) + ": " + Reason(e));
        return;
      }
      // A folder that holds something now: it goes back to its name.
    } else {
      ::close(fd);
    }
    if (const int e = RenameWithoutReplacing(name, entry.path.c_str()); e != 0)
      Note(std::string(name) + ": could not be put back at " + entry.path + ": " + Reason(e));
  }

  // An exchange of the temporary entry `id`'s name with a copy's, written
  // down before it was made, that the run did not see through: whatever
  // had the copy's name (the user's file, put there meanwhile) goes back to
  // it; the written version, whole since it was exchanged, goes beside it
  // under the next free name, and the copy's own pixels go.
  void Undo(uint64_t id, const Entry& entry) {
    const Exchange& x = entry.exchange;
    const std::string& a = entry.path;
    const std::string& b = x.path;
    // A temporary file is made beside the file it replaces: an exchange
    // across folders is none of this program's.
    if (a.substr(0, a.rfind('/')) != b.substr(0, b.rfind('/'))) return;
    FileIdentity mine = entry.identity;
    mine.content = false;
    FileIdentity before = x.identity;
    before.content = false;
    FileIdentity atA;
    const bool hasA = IdentityOf(a.c_str(), false, &atA);
    // The file at the copy's name is held open while it is looked at and
    // moved, so that its number stays its own: once it is known to be the
    // temporary's, the number alone tells it (a rename changes its status
    // time, which is all a file system that keeps neither birth time nor
    // generation tells).
    const Held atB(b.c_str());
    if (atB.there && SameFile(mine, atB.identity)) {
      // Made: the temporary's file has the copy's name.
      FileIdentity held = atB.identity;
      held.writtenBefore = 0;
      if (hasA && !SameFile(before, atA)) {
        if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) != 0) {
          Note(a + ": the file that had the name " + b + " is here, and could not be put back: " + Reason(errno));
          return;
        }
        if (!Holds(a.c_str(), held)) {
          Note(a + ": a file that took the name " + b + " meanwhile is here, and stays");
          return;
        }
        Beside(id, entry, b, held);
        return;
      }
      // The copy it replaced, at the temporary's name.
      if (hasA) Remove(a, before, id);
      if (x.how == RunRecord::Exchange::kCopyMade) Remove(b, held, id);
      return;
    }
    if (hasA && SameFile(mine, atA)) {
      // Not exchanged yet, or exchanged back once the name was found to
      // hold another file: the run would have put the version beside it.
      if (x.how == RunRecord::Exchange::kWriteBack && atB.there && !SameFile(before, atB.identity))
        Beside(id, entry, b, mine);
      return;
    }
    if (!hasA) return;
    // Neither: what is at the temporary's name had the copy's name, and
    // another file took that name after it (or the name was removed, and
    // then it goes back).
    if (!atB.there && RenameWithoutReplacing(a.c_str(), b.c_str()) == 0) return;
    Note(a + ": a file that had the name " + b + " is here, and stays");
  }

  // The temporary entry's file `file`, back at its own name, goes beside
  // `b`: an edit under the next free name, a copy's pixels away.
  void Beside(uint64_t id, const Entry& entry, const std::string& b, const FileIdentity& file) {
    if (entry.exchange.how == RunRecord::Exchange::kCopyMade) {
      Remove(entry.path, file, id);
      return;
    }
    int put = EEXIST;
    for (int n = 1; put == EEXIST && n < 1000; ++n) {
      const std::string name = NumberedBeside(b, n);
      put = RenameWithoutReplacing(entry.path.c_str(), name.c_str());
      if (put == 0) Note(name + ": the version it wrote of " + b + ", whose name holds another file (which stays)");
    }
    if (put != 0) Note(entry.path + ": the version it wrote of " + b + ", which could not go beside it: " + Reason(put));
  }

  // A write-back on a record of the version before this one (which wrote no
  // exchanges down) swapped the copy's name with its temporary file's;
  // killed right after, the copy it replaced is at the temporary's name.
  // Each temporary's name is looked at once, and its file looked up among
  // the copies by number.
  void CopiesAtTemporaryNames(const std::map<uint64_t, Entry>& entries) {
    std::unordered_multimap<uint64_t, const FileIdentity*> copies;
    for (const auto& [id, entry] : entries)
      if (entry.kind == RunRecord::Kind::kCopy) copies.emplace(static_cast<uint64_t>(entry.identity.inode), &entry.identity);
    if (copies.empty()) return;
    for (const auto& [id, entry] : entries) {
      if (entry.kind != RunRecord::Kind::kTemporary || entry.ended) continue;
      FileIdentity there;
      if (!IdentityOf(entry.path.c_str(), false, &there)) continue;
      const auto [first, last] = copies.equal_range(static_cast<uint64_t>(there.inode));
      for (auto it = first; it != last; ++it) {
        FileIdentity copy = *it->second;
        copy.content = false;
        if (!SameFile(copy, there)) continue;
        Remove(entry.path, copy, id);
        break;
      }
    }
  }

  void Take(const std::map<uint64_t, Entry>& entries, RunRecord::Kind kind) {
    for (const auto& [id, entry] : entries)
      if (!entry.ended && entry.kind == kind) Remove(entry.path, entry.identity, id);
  }

  const std::string tag_;
  const std::string again_;
  std::vector<std::string>* left_;
  std::vector<Folder> folders_;
  int removed_ = 0;
};

// Reads the file `fd` from its start, at most kLargestRecord bytes.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    at += n;
    if (text.size() >= kLargestRecord) break;
  }
  return text;
}

// Bounds what each identity says of the moment it was written down by the
// moment the record was last written: a damaged line never claims a later
// one. A record of version 1 gave no moment, nor a birth time: its files are
// known by their numbers (and a copy by its size and time), as that
// version knew them.
void BoundByRecord(std::map<uint64_t, Entry>* entries, int version, int64_t lastWritten) {
  auto bound = [&](FileIdentity* id) {
    if (version < 2)
      id->writtenBefore = 0;
    else
      id->writtenBefore = std::max<int64_t>(1, std::min(id->writtenBefore, lastWritten));
  };
  for (auto& [id, entry] : *entries) {
    bound(&entry.identity);
    bound(&entry.exchange.identity);
  }
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

const RunOrigin& ThisRunOrigin() {
  static const RunOrigin origin = [] {
    RunOrigin o;
    o.machine = FirstLine("/etc/machine-id");
    if (o.machine.empty()) {
      char host[256] = {};
      if (::gethostname(host, sizeof host - 1) == 0 && host[0] != 0) o.machine = std::string("host:") + host;
    }
    o.boot = FirstLine("/proc/sys/kernel/random/boot_id");
    return o;
  }();
  return origin;
}

std::string NumberedBeside(const std::string& path, int n) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const size_t at = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) ? dot : path.size();
  return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
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
  const RunOrigin& origin = ThisRunOrigin();
  const std::string head = std::string(kHeader) + "W " + Counted(origin.machine) + " " + Counted(origin.boot) + "\n";
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::write(fd, head.data(), head.size()) != static_cast<ssize_t>(head.size())) {
    ::unlink(path.c_str());
    ::close(fd);
    return false;
  }
  std::memcpy(path_, path.c_str(), path.size() + 1);
  fd_ = fd;
  return true;
}

void RunRecord::Write(const std::string& line) {
  // One write: lines of several threads never interleave.
  [[maybe_unused]] const ssize_t w = ::write(fd_, line.data(), line.size());
}

void RunRecord::Made(uint64_t id, Kind kind, const std::string& path, const FileIdentity& identity) {
  if (fd_ < 0) return;
  const std::string where = Absolute(path);
  const std::string fields = IdentityText(identity, WrittenAfter(identity));
  if (where.empty() || fields.empty()) return;
  Write(std::string("M ") + static_cast<char>(kind) + " " + std::to_string(id) + " " + fields + " " + Counted(where) +
        "\n");
}

void RunRecord::Exchanging(uint64_t id, Exchange how, const std::string& path, const FileIdentity& identity) {
  if (fd_ < 0) return;
  const std::string where = Absolute(path);
  const std::string fields = IdentityText(identity, WrittenAfter(identity));
  if (where.empty() || fields.empty()) return;
  Write(std::string("X ") + static_cast<char>(how) + " " + std::to_string(id) + " " + fields + " " + Counted(where) +
        "\n");
}

void RunRecord::Ended(uint64_t id) {
  if (fd_ < 0) return;
  Write("E " + std::to_string(id) + "\n");
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
  const RunOrigin& here = ThisRunOrigin();
  int removed = 0;
  for (const std::string& name : names) {
    const int fd = ::openat(dir, name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || held.st_uid != ::geteuid()) {
      ::close(fd);
      continue;
    }
    // Whose record it is, from its first lines. Not a record of this
    // program's making: not read further, not removed. Another machine's:
    // a run there may be alive whatever a lock here says (a network file
    // system may keep locks on each machine apart), and its own starts take
    // it up. One of an earlier boot of this machine: its run is dead.
    std::string head(kHeadLength, '\0');
    const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
    head.resize(got > 0 ? static_cast<size_t>(got) : 0);
    Origin origin;
    if (ReadHead(head, &origin, nullptr) == 0) {
      ::close(fd);
      continue;
    }
    bool earlierBoot = false;
    if (origin.known && !origin.machine.empty() && !here.machine.empty()) {
      if (origin.machine != here.machine) {
        ::close(fd);
        continue;
      }
      earlierBoot = !origin.boot.empty() && !here.boot.empty() && origin.boot != here.boot;
    }
    // A live run holds its record's lock, and so does a start taking it up
    // at this moment. Where locks cannot be had, a record of this boot
    // cannot be told from a live run's, and stays; one of an earlier boot
    // is taken up all the same.
    if (LockRecord(fd) != 0 && (errno == EWOULDBLOCK || !earlierBoot)) {
      ::close(fd);
      continue;
    }
    struct stat now {};
    // Another start took it first, while this one waited for the lock.
    if (::fstat(fd, &now) != 0 || now.st_nlink == 0) {
      ::close(fd);
      continue;
    }
    const std::string text = ReadAll(fd);
    std::map<uint64_t, Entry> entries;
    const int version = Parse(text, &entries);
    if (version != 0) {
      BoundByRecord(&entries, version, Nanoseconds(now.st_mtim));
      removed += Cleaner(name.substr(sizeof kRecordPrefix - 1), left).Run(entries);
      // Still the same record at that name: it goes.
      struct stat named {};
      if (::fstatat(dir, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev &&
          named.st_ino == held.st_ino)
        ::unlinkat(dir, name.c_str(), 0);
    }
    ::close(fd);
  }
  ::close(dir);
  return removed;
}

void FailRecordLocksForTesting(int error) { gLockFault.store(error); }

}  // namespace plat::files
