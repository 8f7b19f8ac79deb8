#include "stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace stops {

// Which file a name held when it was recorded, and the descriptor that keeps
// that file's inode in use (-1 when none could be opened).
struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  int fd = -1;
};

// Made on a thread of the program and never freed, then published at the
// head of the list with one atomic store, so that a handler sees either the
// whole node or none.
struct Made {
  char* path = nullptr;
  bool folder = false;
  // The file the name holds as this start left it; null once removed or
  // taken back.
  std::atomic<Identity*> now{nullptr};
  Made* next = nullptr;
};

namespace {

enum Phase { kOpen, kSettled, kStopping };

// A temporary file of a replacement, from its making to its rename or
// removal. The slots are made beforehand: a handler reads them as they are.
struct Temporary {
  static constexpr size_t kPathMax = 4096;
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 recorded
  char path[kPathMax] = {};
  Identity identity;
  // The copy whose name the rename gives this file, or null.
  Made* replaces = nullptr;
};

constexpr int kTemporaries = 32;
Temporary gTemporaries[kTemporaries];
std::atomic<Made*> gMade{nullptr};
std::atomic<char*> gLine{nullptr};
std::atomic<int> gPhase{kOpen};
// Changes under way, and a removal that wants none.
std::atomic<int> gChanging{0};
std::atomic<int> gRemoving{0};

thread_local int tDepth = 0;
thread_local sigset_t tMask;

// A millisecond's wait, as a handler may wait.
void Pause() { ::poll(nullptr, 0, 1); }

[[noreturn]] void WaitForTheEnd() {
  for (;;) Pause();
}

// Waits until no change is under way (at most five seconds: a change stuck
// in a file system that does not answer does not hold a stop for ever); no
// change starts from now on.
void Exclude() {
  gRemoving.store(1);
  for (int i = 0; i < 5000 && gChanging.load() != 0; ++i) Pause();
}

void Say(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, text, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text += n;
    left -= static_cast<size_t>(n);
  }
}

char* Keep(const std::string& text) {
  char* out = new char[text.size() + 1];
  std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

// The system's words for each error, looked up before any handler may need
// them (a handler may not call strerror).
constexpr int kReasons = 134;
std::atomic<const char*> gReasons[kReasons];

const char* Reason(int error) {
  const char* text = error > 0 && error < kReasons ? gReasons[error].load() : nullptr;
  return text != nullptr ? text : "unknown error";
}

// The file `path` names, held: `fd` is open on it (or -1), and the
// identity is that of the held descriptor.
Identity Hold(const char* path, int fd, bool folder) {
  Identity id;
  struct stat want {};
  if (fd >= 0 ? ::fstat(fd, &want) != 0 : ::lstat(path, &want) != 0) return id;
  id.device = want.st_dev;
  id.inode = want.st_ino;
  const int held = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  struct stat got {};
  if (held >= 0 && ::fstat(held, &got) == 0 && got.st_dev == want.st_dev && got.st_ino == want.st_ino) {
    id.fd = held;
  } else if (held >= 0) {
    ::close(held);
  }
  return id;
}

bool Holds(const char* path, const Identity& id) {
  struct stat st {};
  return ::lstat(path, &st) == 0 && st.st_dev == id.device && st.st_ino == id.inode;
}

void Release(Identity* id) {
  if (id == nullptr) return;
  if (id->fd >= 0) ::close(id->fd);
  delete id;
}

using Report = void (*)(void* context, const char* what, const char* path, int error);

// Removes everything recorded; `report` is told of each thing that stays.
// Async-signal-safe unless `release` (then the copies' and folders'
// descriptors are closed and their records freed, which only the program's
// own threads may do).
void RemoveAll(Report report, void* context, bool release) {
  // The temporary files first: one may be about to take a copy's place.
  for (Temporary& t : gTemporaries) {
    if (t.state.load() != 2) continue;
    // Its slot stays until its replacement ends (and lets its descriptor go).
    if (Holds(t.path, t.identity) && ::unlink(t.path) != 0 && errno != ENOENT)
      report(context, "the temporary file ", t.path, errno);
  }
  for (Made* m = gMade.load(); m != nullptr; m = m->next) {
    if (m->folder) continue;
    Identity* id = m->now.exchange(nullptr);
    // Gone already, or another file by now: not this start's to remove.
    if (id != nullptr && Holds(m->path, *id) && ::unlink(m->path) != 0 && errno != ENOENT)
      report(context, "the editable copy ", m->path, errno);
    if (release) Release(id);
  }
  // Newest first, so innermost first.
  for (Made* m = gMade.load(); m != nullptr; m = m->next) {
    if (!m->folder) continue;
    Identity* id = m->now.exchange(nullptr);
    if (id != nullptr && Holds(m->path, *id) && ::rmdir(m->path) != 0 && errno != ENOTEMPTY &&
        errno != EEXIST && errno != ENOENT)
      report(context, "the folder ", m->path, errno);
    if (release) Release(id);
  }
}

void ReportFromHandler(void* context, const char* what, const char* path, int error) {
  *static_cast<bool*>(context) = false;
  Say("Edit stopped; could not remove ");
  Say(what);
  Say(path);
  Say(": ");
  Say(Reason(error));
  Say("\n");
}

void ReportToList(void* context, const char* what, const char* path, int error) {
  static_cast<std::vector<std::string>*>(context)->push_back(std::string(what) + path + ": " + Reason(error));
}

void Step(bool starting) {
  if (starting) {
    if (tDepth++ > 0) return;
    sigset_t stop;
    sigemptyset(&stop);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stop, s);
    ::pthread_sigmask(SIG_BLOCK, &stop, &tMask);
    for (;;) {
      gChanging.fetch_add(1);
      if (gRemoving.load() == 0) break;
      gChanging.fetch_sub(1);
      Pause();
    }
    return;
  }
  if (--tDepth > 0) return;
  gChanging.fetch_sub(1);
  ::pthread_sigmask(SIG_SETMASK, &tMask, nullptr);
}

Made* FindCopy(const char* path) {
  for (Made* m = gMade.load(); m != nullptr; m = m->next)
    if (!m->folder && m->now.load() != nullptr && std::strcmp(m->path, path) == 0) return m;
  return nullptr;
}

int TemporaryMade(const char* temporary, const char* finalPath, int fd) {
  const size_t n = std::strlen(temporary);
  if (n >= Temporary::kPathMax) return -1;
  for (int i = 0; i < kTemporaries; ++i) {
    Temporary& t = gTemporaries[i];
    int free = 0;
    if (!t.state.compare_exchange_strong(free, 1)) continue;
    std::memcpy(t.path, temporary, n + 1);
    t.identity = Hold(temporary, fd, false);
    t.replaces = FindCopy(finalPath);
    t.state.store(2);
    return i;
  }
  // Unrecorded: a start's sweep takes it if a stop leaves it.
  return -1;
}

void TemporaryEnded(int token, bool renamed) {
  if (token < 0 || token >= kTemporaries) return;
  Temporary& t = gTemporaries[token];
  if (t.state.load() != 2) return;
  Made* copy = t.replaces;
  if (renamed && copy != nullptr && copy->now.load() != nullptr) {
    // The copy's name holds this file now; the file it held before is let
    // go (its blocks are freed).
    Release(copy->now.exchange(new Identity(t.identity)));
  } else if (t.identity.fd >= 0) {
    ::close(t.identity.fd);
  }
  t.identity = Identity();
  t.replaces = nullptr;
  t.state.store(0);
}

const plat::files::TemporaryWatch kWatch = {Step, TemporaryMade, TemporaryEnded};

}  // namespace

Change::Change() { Step(true); }
Change::~Change() {
  const int e = errno;
  Step(false);
  errno = e;
}

Made* RecordMade(const std::string& path, int fd, bool folder) {
  auto* m = new Made;
  m->path = Keep(path);
  m->folder = folder;
  m->now.store(new Identity(Hold(path.c_str(), fd, folder)));
  m->next = gMade.load();
  gMade.store(m);
  return m;
}

void TakeBack(Made* made) {
  if (made == nullptr) return;
  Identity* id = made->now.exchange(nullptr);
  if (id != nullptr && Holds(made->path, *id)) ::unlink(made->path);
  Release(id);
}

const plat::files::TemporaryWatch* TemporaryWatch() { return &kWatch; }

void SetStopLine(const std::string& line) {
  for (int e = 1; e < kReasons; ++e)
    if (gReasons[e].load() == nullptr) gReasons[e].store(Keep(std::strerror(e)));
  gLine.store(Keep(line + "\n"));
}

bool Open() { return gPhase.load() == kOpen; }

void Settle() {
  int phase = kOpen;
  if (gPhase.compare_exchange_strong(phase, kSettled) || phase == kSettled) return;
  WaitForTheEnd();
}

bool BeginStop() {
  int phase = kOpen;
  if (gPhase.compare_exchange_strong(phase, kStopping)) return true;
  if (phase == kSettled) return false;
  WaitForTheEnd();
}

void RemoveRecorded(std::vector<std::string>* left) {
  Exclude();
  RemoveAll(ReportToList, left, true);
  // A stop's removal is the last change: the process ends after it.
  if (gPhase.load() != kStopping) gRemoving.store(0);
}

void StopFromHandler(int signal) {
  int phase = kOpen;
  if (!gPhase.compare_exchange_strong(phase, kStopping)) return;
  Exclude();
  bool all = true;
  RemoveAll(ReportFromHandler, &all, false);
  const char* line = gLine.load();
  if (all && line != nullptr) Say(line);
  ::_exit(128 + signal);
}

}  // namespace stops
