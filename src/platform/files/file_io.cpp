#include "platform/files/file_io.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/files/file_errors.h"
#include "platform/files/file_types.h"

namespace plat::files {

namespace {

struct Access {
  int fd = -1;
  std::unique_ptr<AtomicReplace> replacement;  // set for replacements
  std::string path;
};

struct Table {
  std::mutex lock;
  std::map<int16_t, Access> open;
  int16_t next = 1;
};

Table& table() {
  static Table t;
  return t;
}

std::atomic<uint64_t> gSeeks{0};

// The writes a test makes fail, by folder.
struct WriteFault {
  std::mutex lock;
  std::string folder;  // with its closing slash; empty: none
  int error = 0;
};

WriteFault& writeFault() {
  static WriteFault f;
  return f;
}

// The error a test has set for writes into `path`, or 0.
int injectedWriteError(const std::string& path) {
  WriteFault& f = writeFault();
  std::lock_guard<std::mutex> g(f.lock);
  return !f.folder.empty() && path.compare(0, f.folder.size(), f.folder) == 0 ? f.error : 0;
}

OSErr fromErrno(int e) {
  switch (e) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
      return kFolderNotFound;
    case EEXIST:
      return kDuplicateName;
    case EACCES:
    case EPERM:
    case EROFS:
      return kPermission;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    case ENAMETOOLONG:
      return kBadName;
    case EMFILE:
    case ENFILE:
      return kTooManyOpen;
    default:
      return kIOError;
  }
}

// Registers an open descriptor; the caller holds no lock.
OSErr enter(Access a, int16_t* refNum) {
  Table& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  for (int tries = 0; tries < 32767; ++tries) {
    const int16_t r = t.next;
    t.next = static_cast<int16_t>(t.next == 32767 ? 1 : t.next + 1);
    if (t.open.count(r) == 0) {
      t.open.emplace(r, std::move(a));
      *refNum = r;
      return 0;
    }
  }
  return kTooManyOpen;
}

// The descriptor of a reference number, or -1.
int fdOf(int16_t refNum, AtomicReplace** replacement = nullptr, std::string* path = nullptr) {
  Table& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  const auto it = t.open.find(refNum);
  if (it == t.open.end()) return -1;
  if (replacement != nullptr) *replacement = it->second.replacement.get();
  if (path != nullptr) *path = it->second.path;
  return it->second.fd;
}

// Whether replacements act as where the process status shows no file mode mask (tests).
std::atomic<bool> gStatusMaskHidden{false};

}  // namespace

OSErr OpenFile(const std::string& posix, int16_t* refNum) {
  if (refNum == nullptr || posix.empty()) return kParamError;
  bool notRegular = false;
  int fd = OpenRegular(posix, O_RDWR, &notRegular);
  if (fd < 0 && !notRegular && (errno == EACCES || errno == EROFS || errno == EPERM))
    fd = OpenRegular(posix, O_RDONLY, &notRegular);
  if (notRegular) return kFileNotFound;
  if (fd < 0) return fromErrno(errno);
  Access a;
  a.fd = fd;
  a.path = posix;
  const OSErr e = enter(std::move(a), refNum);
  if (e != 0) ::close(fd);
  return e;
}

int OpenRegular(const std::string& posix, int flags, bool* notRegular) {
  if (notRegular != nullptr) *notRegular = false;
  auto refuse = [notRegular](int fd) {
    if (fd >= 0) ::close(fd);
    if (notRegular != nullptr) *notRegular = true;
    errno = EINVAL;
    return -1;
  };
  // Looked at first, so that a device is not even opened; the open below
  // does not wait either, and its own look closes the gap in which the
  // name could have been made a FIFO.
  struct stat st {};
  if (::stat(posix.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return refuse(-1);
  const int fd = ::open(posix.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    // A FIFO opened for writing with no reader, or a folder for writing.
    if ((e == ENXIO || e == EISDIR) && ::stat(posix.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      return refuse(-1);
    errno = e;
    return -1;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return refuse(fd);
  const int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) (void)::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

std::string NotRegularKind(const std::string& posix) {
  struct stat st {};
  if (posix.empty() || ::stat(posix.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  if (S_ISFIFO(st.st_mode)) return "a FIFO";
  if (S_ISDIR(st.st_mode)) return "a folder";
  if (S_ISSOCK(st.st_mode)) return "a socket";
  return "a device";
}

OSErr CreateFile(const std::string& posix, OSType creator, OSType type) {
  if (posix.empty()) return kParamError;
  const int fd = ::open(posix.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno == ENOENT ? kFolderNotFound : fromErrno(errno);
  ::close(fd);
  SetTypeCreator(posix, type, creator);
  return 0;
}

OSErr OpenReplacement(const std::string& posix, OSType creator, OSType type, int16_t* refNum) {
  if (refNum == nullptr || posix.empty()) return kParamError;
  struct stat st {};
  if (::stat(posix.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return kDuplicateName;
  auto r = std::make_unique<AtomicReplace>(posix);
  if (!r->ok()) {
    const std::string folder = posix.substr(0, posix.rfind('/') + 1);
    return ::stat(folder.empty() ? "." : folder.c_str(), &st) == 0 ? kPermission
                                                                    : kFolderNotFound;
  }
  SetTypeCreator(r->tempPath(), type, creator);
  Access a;
  a.fd = r->fd();
  a.replacement = std::move(r);
  a.path = posix;
  return enter(std::move(a), refNum);
}

OSErr ReadFile(int16_t refNum, void* buffer, int32_t* count) {
  if (count == nullptr || *count < 0 || (buffer == nullptr && *count > 0)) return kParamError;
  const int fd = fdOf(refNum);
  if (fd < 0) return kBadRefNum;
  const int32_t want = *count;
  int32_t got = 0;
  auto* p = static_cast<char*>(buffer);
  while (got < want) {
    const ssize_t n = ::read(fd, p + got, static_cast<size_t>(want - got));
    if (n < 0) {
      if (errno == EINTR) continue;
      *count = got;
      return kIOError;
    }
    if (n == 0) break;
    got += static_cast<int32_t>(n);
  }
  *count = got;
  return got == want ? 0 : kEndOfFile;
}

OSErr WriteFile(int16_t refNum, const void* buffer, int32_t* count) {
  if (count == nullptr || *count < 0 || (buffer == nullptr && *count > 0)) return kParamError;
  AtomicReplace* replacement = nullptr;
  std::string path;
  const int fd = fdOf(refNum, &replacement, &path);
  if (fd < 0) return kBadRefNum;
  const int32_t want = *count;
  int32_t done = 0;
  const auto* p = static_cast<const char*>(buffer);
  // The system's error, kept for callers that tell the user its words: in
  // errno once the write is over, also after a replacement's commit.
  int error = want > 0 ? injectedWriteError(path) : 0;
  while (error == 0 && done < want) {
    const ssize_t n = ::write(fd, p + done, static_cast<size_t>(want - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    // A write that takes nothing has met the end of the disk.
    if (n == 0) {
      error = ENOSPC;
      break;
    }
    done += static_cast<int32_t>(n);
  }
  *count = done;
  if (error == 0) return 0;
  if (replacement != nullptr) replacement->fail(error);
  errno = error;
  return fromErrno(error);
}

OSErr SetFilePos(int16_t refNum, int32_t position) {
  if (position < 0) return kBadPosition;
  const int fd = fdOf(refNum);
  if (fd < 0) return kBadRefNum;
  ++gSeeks;
  return ::lseek(fd, position, SEEK_SET) < 0 ? kBadPosition : 0;
}

OSErr GetFilePos(int16_t refNum, int32_t* position) {
  const int fd = fdOf(refNum);
  if (fd < 0) return kBadRefNum;
  const off_t p = ::lseek(fd, 0, SEEK_CUR);
  if (p < 0 || p > INT32_MAX) return kBadPosition;
  *position = static_cast<int32_t>(p);
  return 0;
}

OSErr GetEOF(int16_t refNum, int32_t* size) {
  const int fd = fdOf(refNum);
  if (fd < 0) return kBadRefNum;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return fromErrno(errno);
  if (st.st_size > INT32_MAX) return kBadPosition;
  *size = static_cast<int32_t>(st.st_size);
  return 0;
}

OSErr SetEOF(int16_t refNum, int32_t size) {
  if (size < 0) return kParamError;
  const int fd = fdOf(refNum);
  if (fd < 0) return kBadRefNum;
  return ::ftruncate(fd, size) == 0 ? 0 : fromErrno(errno);
}

OSErr CloseFile(int16_t refNum) {
  Access a;
  {
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const auto it = t.open.find(refNum);
    if (it == t.open.end()) return kBadRefNum;
    a = std::move(it->second);
    t.open.erase(it);
  }
  if (a.replacement) return a.replacement->commit() ? 0 : kIOError;
  return ::close(a.fd) == 0 ? 0 : kIOError;
}

OSErr DeleteFile(const std::string& posix) {
  if (posix.empty()) return kParamError;
  return ::remove(posix.c_str()) == 0 ? 0 : fromErrno(errno);
}

bool CanOpenFile(const std::string& posix) {
  if (posix.empty()) return false;
  const int fd = OpenRegular(posix, O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

OSErr FlushVolume() { return 0; }

uint64_t SeekCount() { return gSeeks.load(); }

int32_t OpenFileCount() {
  Table& t = table();
  std::lock_guard<std::mutex> g(t.lock);
  return static_cast<int32_t>(t.open.size());
}

void HideStatusMaskForTesting(bool hidden) { gStatusMaskHidden.store(hidden); }

void FailWritesForTesting(const std::string& folder, int error) {
  WriteFault& f = writeFault();
  std::lock_guard<std::mutex> g(f.lock);
  f.folder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  f.error = error;
}

namespace {

std::atomic<const TemporaryWatch*> gWatch{nullptr};

// One change of a temporary file, bracketed for the watch; errno is kept.
class WatchedStep {
 public:
  WatchedStep() : watch_(gWatch.load()) {
    const int e = errno;
    if (watch_ != nullptr && watch_->step != nullptr) watch_->step(true);
    errno = e;
  }
  ~WatchedStep() {
    const int e = errno;
    if (watch_ != nullptr && watch_->step != nullptr) watch_->step(false);
    errno = e;
  }
  WatchedStep(const WatchedStep&) = delete;
  WatchedStep& operator=(const WatchedStep&) = delete;
  int Made(const char* temporary, const char* finalPath, int fd) const {
    const int e = errno;
    const int token = watch_ != nullptr && watch_->made != nullptr ? watch_->made(temporary, finalPath, fd) : -1;
    errno = e;
    return token;
  }
  void Ended(int token, bool renamed) const {
    const int e = errno;
    if (watch_ != nullptr && watch_->ended != nullptr) watch_->ended(token, renamed);
    errno = e;
  }
  // Gives the temporary file its final path: 0, or the system's error.
  int Put(int token, const char* temporary, const char* finalPath) const {
    if (watch_ != nullptr && watch_->put != nullptr && token >= 0) return watch_->put(token, temporary, finalPath);
    return ::rename(temporary, finalPath) == 0 ? 0 : errno;
  }
  // Takes the temporary file away; errno is kept.
  void Discard(int token, const char* temporary) const {
    const int e = errno;
    if (watch_ != nullptr && watch_->discard != nullptr && token >= 0)
      watch_->discard(token, temporary);
    else
      ::unlink(temporary);
    errno = e;
  }

 private:
  const TemporaryWatch* watch_;
};

// Six letters or digits that make a temporary file's name its own.
void RandomLetters(char* out) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[6] = {};
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    static std::atomic<uint64_t> counter{0};
    const uint64_t mix = (static_cast<uint64_t>(::getpid()) << 32 ^ counter.fetch_add(1) ^
                          static_cast<uint64_t>(::time(nullptr)) * 0x9E3779B97F4A7C15ull);
    std::memcpy(random, &mix, sizeof random);
  }
  for (size_t i = 0; i < sizeof random; ++i) out[i] = kLetters[random[i] % (sizeof kLetters - 1)];
}

// The process's file mode mask as its status shows it; false where the
// system does not show it there. Reading it so leaves it alone: umask() can
// only read the mask by setting it, and a file another thread makes in
// between would get the mask set.
bool StatusMask(mode_t* mask) {
  const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // The line comes second, after the name; the first block holds it.
  char text[1024];
  ssize_t n = -1;
  do {
    n = ::read(fd, text, sizeof text - 1);
  } while (n < 0 && errno == EINTR);
  ::close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  const char* line = std::strstr(text, "\nUmask:");
  if (line == nullptr) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(line + 7, &end, 8);
  if (end == line + 7 || (*end != '\n' && *end != '\0') || value > 0777) return false;
  *mask = static_cast<mode_t>(value);
  return true;
}

// The mask as the process started, for a system whose status does not show
// it: asked of umask() then, while the program's objects are made and no
// thread of its own runs yet, and never again.
const mode_t gStartingMask = [] {
  mode_t mask = 0;
  if (StatusMask(&mask)) return mask;
  mask = ::umask(0);
  ::umask(mask);
  return mask;
}();

// The mode a file made now in `folder` with 0666 gets. Where the status does not show the
// mask, an unnamed file made in the folder tells it: the kernel applies the mask as it stands
// (and the folder's default permissions), so a mask the program set after it started is
// honoured without setting the mask to read it. The mask at start-up is the last resort.
mode_t NewFileMode(const std::string& folder) {
  mode_t mask = 0;
  if (!gStatusMaskHidden.load(std::memory_order_relaxed) && StatusMask(&mask)) return 0666 & ~mask;
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
  if (fd >= 0) {
    struct stat st {};
    const bool seen = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (seen) return st.st_mode & 0666;
  }
  return 0666 & ~gStartingMask;
}

}  // namespace

void WatchTemporaries(const TemporaryWatch* watch) { gWatch.store(watch); }

AtomicReplace::AtomicReplace(std::string finalPath) : finalPath_(std::move(finalPath)) {
  const size_t slash = finalPath_.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : finalPath_.substr(0, slash + 1);
  const std::string leaf = slash == std::string::npos ? finalPath_ : finalPath_.substr(slash + 1);
  // Made without a name where the file system can, so that a watch learns
  // of the file before its name appears and nothing of it is ever at a name
  // the watch does not know; else made at its name, and told right after.
  bool unnamed = true;
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    // Hidden and beside the final file, so the rename never crosses devices.
    std::string name = folder + ".~" + leaf.substr(0, 200) + ".XXXXXX";
    RandomLetters(name.data() + name.size() - 6);
    const WatchedStep step;
    int fd = -1;
    if (unnamed) {
      fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
      if (fd >= 0) {
        const int token = step.Made(name.c_str(), finalPath_.c_str(), fd);
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          fd_ = fd;
          token_ = token;
          tempPath_ = name;
          break;
        }
        const int e = errno;
        ::close(fd);
        step.Ended(token, false);
        if (e == EEXIST) continue;
      }
      // No unnamed files here (or no way to name one): named ones from now on.
      unnamed = false;
    }
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error_ = errno;
      return;
    }
    token_ = step.Made(name.c_str(), finalPath_.c_str(), fd);
    fd_ = fd;
    tempPath_ = name;
  }
  if (fd_ < 0) {
    if (error_ == 0) error_ = EEXIST;
    return;
  }
  error_ = 0;
  // Made private; give it the mode a new file would get.
  mode_t mode = NewFileMode(folder);
  struct stat st {};
  if (::stat(finalPath_.c_str(), &st) == 0) mode = st.st_mode & 07777;
  (void)::fchmod(fd_, mode);
}

AtomicReplace::~AtomicReplace() {
  if (!done_ && fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    Discard();
  }
}

void AtomicReplace::Discard() {
  const WatchedStep step;
  step.Discard(token_, tempPath_.c_str());
  step.Ended(token_, false);
}

void AtomicReplace::Failed(int error) {
  failed_ = true;
  if (error_ == 0) error_ = error != 0 ? error : EIO;
}

bool AtomicReplace::write(const void* data, size_t size) {
  if (fd_ < 0 || done_) return false;
  if (size > 0) {
    if (const int injected = injectedWriteError(finalPath_)) {
      Failed(injected);
      return false;
    }
  }
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      // A write that takes nothing has met the end of the disk.
      Failed(n == 0 ? ENOSPC : errno);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicReplace::commit() {
  if (fd_ < 0 || done_) return false;
  done_ = true;
  bool good = !failed_;
  if (good && ::fsync(fd_) != 0) {
    Failed(errno);
    good = false;
  }
  if (::close(fd_) != 0 && good) {
    Failed(errno);
    good = false;
  }
  fd_ = -1;
  bool renamed = false;
  if (good) {
    const WatchedStep step;
    const int e = step.Put(token_, tempPath_.c_str(), finalPath_.c_str());
    renamed = e == 0;
    if (renamed)
      step.Ended(token_, true);
    else
      Failed(e);
  }
  if (!renamed) Discard();
  if (!renamed) errno = error_;
  return renamed;
}

}  // namespace plat::files
