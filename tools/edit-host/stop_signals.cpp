#include "stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/files/race_free_removal.h"
#include "platform/files/run_record.h"

namespace stops {

namespace files = plat::files;

// Which file a name held when it was recorded, and the descriptor that keeps
// that file's inode in use (-1 when none could be opened).
struct Identity {
  files::FileIdentity file;
  int fd = -1;
};

// Made on a thread of the program and never freed, then published at the
// head of the list with one atomic store, so that a handler sees either the
// whole node or none.
struct Made {
  // Replaced (never freed) when the copy gets another name.
  std::atomic<char*> path{nullptr};
  // The name it was made at, which the plug-in may still write to.
  const char* given = nullptr;
  bool folder = false;
  uint64_t id = 0;
  // The file the name holds as this start left it; null once removed or
  // taken back.
  std::atomic<Identity*> now{nullptr};
  // 0 being made, 1 whole as the host made it, 2 written back since.
  std::atomic<int> stage{0};
  // A replacement of the copy that could not be followed: the name may hold
  // a file of this start's that the record does not know.
  std::atomic<bool> lost{false};
  Made* next = nullptr;
};

namespace {

enum Phase { kOpen, kSettled, kStopping };

// A temporary file of a replacement, from its making to its rename or
// removal. Nodes are made on the program's threads and never freed; a
// handler reads those whose state is 2 as they are.
struct Temporary {
  std::atomic<int> state{0};  // 0 free, 1 being filled, 2 recorded
  char* path = nullptr;       // grown (never freed) when a longer one comes
  size_t capacity = 0;
  Identity identity;
  uint64_t id = 0;
  // The copy whose name the rename gives this file, or null.
  Made* replaces = nullptr;
  // The name `put` gave the file when it is not the final path, or null.
  char* landed = nullptr;
  int token = -1;
  Temporary* next = nullptr;
};

std::atomic<Temporary*> gTemporaries{nullptr};
// The nodes by token, for the program's threads only.
std::mutex gTokensLock;
std::vector<Temporary*> gTokens;
// Paths that another took the place of: never freed, as the handler may
// still be reading one, but kept where the program can reach them (a list
// no exit handler takes apart, for a leak check run at exit).
struct Retired {
  char* path;
  Retired* next;
};
std::atomic<Retired*> gRetired{nullptr};

void Retire(char* path) {
  if (path == nullptr) return;
  auto* r = new Retired{path, gRetired.load()};
  while (!gRetired.compare_exchange_weak(r->next, r)) {
  }
}
std::atomic<Made*> gMade{nullptr};
std::atomic<char*> gLine{nullptr};
std::atomic<int> gPhase{kOpen};
std::atomic<uint64_t> gNextId{1};
files::RunRecord gRecord;
// Changes under way, and a removal that wants none.
std::atomic<int> gChanging{0};
std::atomic<int> gRemoving{0};
// Copies whose write-back went to another name, and files of others'
// left at a private name; the program's threads only.
std::mutex gMovedLock;
std::vector<std::pair<std::string, std::string>> gMoved;
std::vector<Stranded> gStranded;

thread_local int tDepth = 0;
thread_local sigset_t tMask;
// Set when a write-back's temporary file is made, for the test hold.
thread_local bool tHoldAfterStep = false;
// Set when a copy's own temporary file is made, for the test hold.
thread_local bool tHoldCopyAfterStep = false;

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

// The file `fd` is open on (which may have no name yet), or else the one
// `path` names, held: the identity is that of the held descriptor. A copy's
// identity carries its size and time too, for later starts.
Identity Hold(const char* path, int fd, bool folder) {
  Identity id;
  if (fd >= 0) {
    if (!files::IdentityOfFd(fd, !folder, &id.file)) return id;
    id.fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    return id;
  }
  if (!files::IdentityOf(path, !folder, &id.file)) return id;
  const int held = ::open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC | (folder ? O_DIRECTORY : 0));
  files::FileIdentity got;
  if (held >= 0 && files::IdentityOfFd(held, false, &got) && got.device == id.file.device &&
      got.inode == id.file.inode) {
    id.fd = held;
  } else if (held >= 0) {
    ::close(held);
  }
  return id;
}

// The identity a removal by this start compares: the held inode cannot be
// another file's, whatever was written into it since.
files::FileIdentity Inode(const Identity& id) {
  files::FileIdentity f = id.file;
  f.content = false;
  return f;
}

// The identity as it is now, size and time included, for the record.
files::FileIdentity Current(const Identity& id, bool content) {
  files::FileIdentity f = id.file;
  if (id.fd >= 0) files::IdentityOfFd(id.fd, content, &f);
  f.content = content;
  return f;
}

void Release(Identity* id) {
  if (id == nullptr) return;
  if (id->fd >= 0) ::close(id->fd);
  delete id;
}

// Room for a path and the private name beside it.
constexpr size_t kNameRoom = 4200;

// What a removal that left something says: `what` and `path`, and either
// the system's error or the private name where another file stays.
using Report = void (*)(void* context, const char* what, const char* path, int error, const char* stranded);

// Removes `path` while it holds `identity`, through this run's private
// name of entry `id`; tells `report` when it stays for a reason other than
// being gone or another file.
void RemoveOne(const char* path, const Identity& identity, bool folder, uint64_t id, Report report,
               void* context, const char* what) {
  char away[kNameRoom];
  if (!files::PrivateNameBeside(path, gRecord.tag(), id, away, sizeof away)) {
    report(context, what, path, ENAMETOOLONG, nullptr);
    return;
  }
  switch (files::RemoveIfHolds(path, Inode(identity), folder, away)) {
    case files::Removal::kRemoved:
    case files::Removal::kNotThere:
    case files::Removal::kNotIt:
      return;
    case files::Removal::kFailed:
      if (folder && (errno == ENOTEMPTY || errno == EEXIST)) return;
      report(context, what, path, errno, nullptr);
      return;
    case files::Removal::kStranded:
      report(context, what, path, EEXIST, away);
      return;
  }
}

// Removes everything recorded; `report` is told of each thing that stays.
// Async-signal-safe unless `release` (then the copies' and folders'
// descriptors are closed and their records freed, which only the program's
// own threads may do).
void RemoveAll(Report report, void* context, bool release) {
  // The temporary files first: one may be about to take a copy's place.
  for (Temporary* t = gTemporaries.load(); t != nullptr; t = t->next) {
    if (t->state.load() != 2) continue;
    // Its node stays until its replacement ends (and lets its descriptor go).
    RemoveOne(t->path, t->identity, false, t->id, report, context, "the temporary file ");
  }
  for (Made* m = gMade.load(); m != nullptr; m = m->next) {
    if (m->folder) continue;
    Identity* id = m->now.exchange(nullptr);
    const char* path = m->path.load();
    // The name may hold a file of this start's that the record lost track of:
    // it is named as left rather than said to be gone.
    if (id != nullptr && m->lost.load()) report(context, "the editable copy ", path, 0, nullptr);
    // Gone already, or another file by now: not this start's to remove.
    else if (id != nullptr) RemoveOne(path, *id, false, m->id, report, context, "the editable copy ");
    if (release) Release(id);
  }
  // Newest first, so innermost first.
  for (Made* m = gMade.load(); m != nullptr; m = m->next) {
    if (!m->folder) continue;
    Identity* id = m->now.exchange(nullptr);
    if (id != nullptr) RemoveOne(m->path.load(), *id, true, m->id, report, context, "the folder ");
    if (release) Release(id);
  }
}

void ReportFromHandler(void* context, const char* what, const char* path, int error, const char* stranded) {
  *static_cast<bool*>(context) = false;
  Say("Edit stopped; could not remove ");
  Say(what);
  Say(path);
  if (stranded != nullptr) {
    Say(": another file that was at its name is now at ");
    Say(stranded);
    Say(", since yet another took the name meanwhile\n");
    return;
  }
  Say(": ");
  Say(error == 0 ? "a write-back over it could not be followed" : Reason(error));
  Say("\n");
}

void ReportToList(void* context, const char* what, const char* path, int error, const char* stranded) {
  std::string line = std::string(what) + path + ": ";
  if (stranded != nullptr)
    line += std::string("another file that was at its name is now at ") + stranded +
            ", since yet another took the name meanwhile";
  else
    line += error == 0 ? "a write-back over it could not be followed" : Reason(error);
  static_cast<std::vector<std::string>*>(context)->push_back(line);
}

void Step(bool starting) {
  if (starting) {
    if (tDepth++ > 0) return;
    sigset_t stop;
    sigemptyset(&stop);
    for (int s : kStopSignals) sigaddset(&stop, s);
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
  // Once the write-back's temporary file has its name, and with stops let
  // through again, as while its pixels are written.
  if (tHoldAfterStep) {
    tHoldAfterStep = false;
    HoldForTest("write");
  }
  if (tHoldCopyAfterStep) {
    tHoldCopyAfterStep = false;
    HoldForTest("copy");
  }
}

Made* FindCopy(const char* path) {
  for (Made* m = gMade.load(); m != nullptr; m = m->next)
    if (!m->folder && m->now.load() != nullptr &&
        (std::strcmp(m->path.load(), path) == 0 || std::strcmp(m->given, path) == 0))
      return m;
  return nullptr;
}

// A free node (a new one when none is), marked as being filled.
Temporary* TakeNode() {
  for (Temporary* t = gTemporaries.load(); t != nullptr; t = t->next) {
    int free = 0;
    if (t->state.compare_exchange_strong(free, 1)) return t;
  }
  auto* t = new Temporary;
  t->state.store(1);
  {
    std::lock_guard<std::mutex> g(gTokensLock);
    t->token = static_cast<int>(gTokens.size());
    gTokens.push_back(t);
  }
  Temporary* head = gTemporaries.load();
  do {
    t->next = head;
  } while (!gTemporaries.compare_exchange_weak(head, t));
  return t;
}

Temporary* NodeOf(int token) {
  std::lock_guard<std::mutex> g(gTokensLock);
  return token >= 0 && static_cast<size_t>(token) < gTokens.size() ? gTokens[static_cast<size_t>(token)] : nullptr;
}

int TemporaryMade(const char* temporary, const char* finalPath, int fd) {
  Temporary* t = nullptr;
  try {
    t = TakeNode();
    const size_t n = std::strlen(temporary);
    if (n + 1 > t->capacity) {
      Retire(t->path);
      t->path = new char[n + 1];
      t->capacity = n + 1;
    }
    std::memcpy(t->path, temporary, n + 1);
  } catch (...) {
    if (t != nullptr) t->state.store(0);
    // Not followed: a copy this replacement takes the place of is named as
    // left, never said to be removed.
    if (Made* copy = FindCopy(finalPath)) copy->lost.store(true);
    return -1;
  }
  t->identity = Hold(temporary, fd, false);
  t->id = gNextId.fetch_add(1);
  t->replaces = FindCopy(finalPath);
  t->landed = nullptr;
  gRecord.Made(t->id, files::RunRecord::Kind::kTemporary, temporary, Inode(t->identity));
  t->state.store(2);
  if (t->replaces != nullptr && t->replaces->stage.load() == 1) tHoldAfterStep = true;
  if (t->replaces != nullptr && t->replaces->stage.load() == 0) tHoldCopyAfterStep = true;
  return t->token;
}

// The temporary file `temporary` takes the first free numbered name beside
// `target`; where, in `landed`. 0, or the system's error.
int PutAtNumberedName(const char* temporary, const std::string& target, std::string* landed) {
  int put = EEXIST;
  for (int n = 1; put == EEXIST && n < 1000; ++n) {
    *landed = files::NumberedBeside(target, n);
    put = files::RenameWithoutReplacing(temporary, landed->c_str());
  }
  return put;
}

// Where the file system cannot swap two names: the copy's name is moved to
// its private name, looked at there, and the new file given the name; a
// file of anyone else's goes back. The name is free for that moment.
int PutOverCopyByMoving(Made* copy, const Identity& mine, const char* temporary, const std::string& target,
                        std::string* landed) {
  char away[kNameRoom];
  if (!files::PrivateNameBeside(target.c_str(), gRecord.tag(), copy->id, away, sizeof away)) return ENAMETOOLONG;
  bool ours = false;
  bool free = false;
  if (const int e = files::RenameWithoutReplacing(target.c_str(), away); e == ENOENT) {
    free = true;
  } else if (e != 0) {
    return e;
  } else if (files::Holds(away, Inode(mine))) {
    ours = true;
  } else if (files::RenameWithoutReplacing(away, target.c_str()) != 0) {
    // Yet another file took the name while the user's was away: the user's
    // stays at the private name, and is named.
    std::lock_guard<std::mutex> g(gMovedLock);
    gStranded.push_back({away, target, false, EEXIST});
  }
  *landed = target;
  int put = (ours || free) ? files::RenameWithoutReplacing(temporary, target.c_str()) : EEXIST;
  if (put == EEXIST) put = PutAtNumberedName(temporary, target, landed);
  // The copy it replaces (ours, away from its name) goes once the new file
  // has a name; else it goes back.
  if (ours && put == 0) ::unlink(away);
  if (ours && put != 0) files::RenameWithoutReplacing(away, target.c_str());
  return put;
}

// The user's file (or anyone's) found at the copy's name by the exchange is
// at the temporary's name, and the new file `t` at the copy's: the two are
// exchanged back. 0 when they are (the new file then goes beside it), else
// the error the write fails with; nothing is removed either way, and a file
// left at the temporary's name is named.
int ExchangeBack(Temporary* t, const char* temporary, const std::string& target) {
  HoldForTest("swap");
  if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
    const int e = errno;
    // The name was removed meanwhile, and the new file with it: the file
    // that had the name goes back to it, unless yet another came first.
    if (e == ENOENT && files::RenameWithoutReplacing(temporary, target.c_str()) == 0) return ENOENT;
    std::lock_guard<std::mutex> g(gMovedLock);
    gStranded.push_back({temporary, target, false, e == ENOENT ? EEXIST : e});
    return e == ENOENT ? EEXIST : e;
  }
  if (files::Holds(temporary, Inode(t->identity))) return 0;
  // Yet another file had taken the name in between (and the new file's
  // place with it): the file that had the name is back at it, and the one
  // that came after is at the temporary's name, where it stays.
  std::lock_guard<std::mutex> g(gMovedLock);
  gStranded.push_back({temporary, target, true, EEXIST});
  return EEXIST;
}

// Gives a copy's write-back (or the copy's own pixels) the copy's name, only
// while that name holds the copy this start made (or nothing). The two
// names are swapped in one step, so the name is never free for another
// start to claim, and what the name held is looked at under the temporary
// name: the copy goes; a file of anyone else's (the user's, put there
// meanwhile) is swapped back, and the new file takes the first free
// numbered name instead. Each swap is written down before it is made, so
// that a later start puts right one that a kill left half done.
int PutOverCopy(Temporary* t, const char* temporary) {
  Made* copy = t->replaces;
  Identity* mine = copy->now.load();
  // Where the copy is now: a write-back to the name it was made at goes
  // there too, once the copy got another name.
  const std::string target = copy->path.load();
  if (mine == nullptr) return ::rename(temporary, target.c_str()) == 0 ? 0 : errno;
  const auto how = copy->stage.load() == 0 ? files::RunRecord::Exchange::kCopyMade
                                           : files::RunRecord::Exchange::kWriteBack;
  std::string landed = target;
  int put = EEXIST;
  for (int attempt = 0; attempt < 8 && put == EEXIST; ++attempt) {
    gRecord.Exchanging(t->id, how, target, Current(*mine, false));
    if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, target.c_str(), RENAME_EXCHANGE) != 0) {
      const int e = errno;
      if (e == ENOENT) {
        // Nothing at the name: the new file takes it, unless something
        // comes first.
        put = files::RenameWithoutReplacing(temporary, target.c_str());
        continue;
      }
      if (e == EINVAL || e == ENOSYS || e == ENOTSUP) {
        put = PutOverCopyByMoving(copy, *mine, temporary, target, &landed);
        break;
      }
      return e;
    }
    if (files::Holds(temporary, Inode(*mine))) {
      // The copy, now at the temporary name, which nobody else uses.
      ::unlink(temporary);
      put = 0;
      break;
    }
    // Another file was at the name: swapped back, and the new file, at the
    // temporary name again, goes beside it.
    if (const int e = ExchangeBack(t, temporary, target); e != 0) return e;
    put = PutAtNumberedName(temporary, target, &landed);
  }
  if (put != 0) return put;
  if (landed != target) {
    t->landed = Keep(landed);
    std::lock_guard<std::mutex> g(gMovedLock);
    gMoved.emplace_back(target, landed);
  }
  return 0;
}

int TemporaryPut(int token, const char* temporary, const char* finalPath) {
  Temporary* t = NodeOf(token);
  if (t == nullptr || t->state.load() != 2 || t->replaces == nullptr || t->replaces->now.load() == nullptr)
    return ::rename(temporary, finalPath) == 0 ? 0 : errno;
  return PutOverCopy(t, temporary);
}

// A temporary file that did not take its place goes while its name holds
// it; after a write-back that failed, the name may hold someone else's.
void TemporaryDiscard(int token, const char* temporary) {
  Temporary* t = NodeOf(token);
  if (t == nullptr || t->state.load() != 2) {
    ::unlink(temporary);
    return;
  }
  std::vector<std::string> ignored;
  RemoveOne(temporary, t->identity, false, t->id, ReportToList, &ignored, "");
}

void TemporaryEnded(int token, bool renamed) {
  Temporary* t = NodeOf(token);
  if (t == nullptr || t->state.load() != 2) return;
  Made* copy = t->replaces;
  gRecord.Ended(t->id);
  if (renamed && copy != nullptr && copy->now.load() != nullptr) {
    if (t->landed != nullptr) Retire(copy->path.exchange(std::exchange(t->landed, nullptr)));
    // The copy's name holds this file now; the file it held before is let
    // go (its blocks are freed).
    auto* now = new Identity(t->identity);
    Release(copy->now.exchange(now));
    if (copy->stage.load() == 0) {
      gRecord.Made(copy->id, files::RunRecord::Kind::kCopy, copy->path.load(), Current(*now, true));
    } else {
      // An edit written back: the user's once the session ends, and never a
      // later start's to remove.
      copy->stage.store(2);
      gRecord.Ended(copy->id);
    }
  } else if (t->identity.fd >= 0) {
    ::close(t->identity.fd);
  }
  t->identity = Identity();
  t->replaces = nullptr;
  Retire(std::exchange(t->landed, nullptr));
  t->state.store(0);
}

const plat::files::TemporaryWatch kWatch = {Step, TemporaryMade, TemporaryEnded, TemporaryPut, TemporaryDiscard};

}  // namespace

Change::Change() { Step(true); }
Change::~Change() {
  const int e = errno;
  Step(false);
  errno = e;
}

void BeginRecord(const std::string& records, std::vector<std::string>* notes) {
  if (records.empty()) return;
  files::RemoveWhatEndedRunsLeft(records, notes);
  gRecord.Begin(records);
}

void EndRecord() { gRecord.Finish(); }

Made* RecordMade(const std::string& path, int fd, bool folder) {
  auto* m = new Made;
  m->path.store(Keep(path));
  m->given = m->path.load();
  m->folder = folder;
  m->id = gNextId.fetch_add(1);
  auto* id = new Identity(Hold(path.c_str(), fd, folder));
  m->now.store(id);
  gRecord.Made(m->id, folder ? files::RunRecord::Kind::kFolder : files::RunRecord::Kind::kCopy, path,
               Current(*id, !folder));
  m->next = gMade.load();
  gMade.store(m);
  return m;
}

void TakeBack(Made* made) {
  if (made == nullptr) return;
  Identity* id = made->now.exchange(nullptr);
  if (id != nullptr) {
    std::vector<std::string> ignored;
    RemoveOne(made->path.load(), *id, made->folder, made->id, ReportToList, &ignored, "");
  }
  gRecord.Ended(made->id);
  Release(id);
}

void CopyWhole(Made* made) {
  if (made == nullptr) return;
  const Change change;
  if (Identity* id = made->now.load()) gRecord.Made(made->id, files::RunRecord::Kind::kCopy, made->path.load(), Current(*id, true));
  made->stage.store(1);
}

std::string PathOf(const Made* made) { return made != nullptr ? made->path.load() : std::string(); }

void KeepCopies() {
  const Change change;
  for (Made* m = gMade.load(); m != nullptr; m = m->next) gRecord.Ended(m->id);
}

std::vector<std::string> WrittenBack() {
  std::vector<std::string> out;
  for (Made* m = gMade.load(); m != nullptr; m = m->next)
    if (!m->folder && m->stage.load() == 2) out.insert(out.begin(), m->path.load());
  return out;
}

std::vector<std::pair<std::string, std::string>> Moved() {
  std::lock_guard<std::mutex> g(gMovedLock);
  return gMoved;
}

std::vector<Stranded> StrandedFiles() {
  std::lock_guard<std::mutex> g(gMovedLock);
  return gStranded;
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
  gRecord.Finish();
  ::_exit(128 + signal);
}

void HoldForTest(const char* point) {
  const char* hold = std::getenv("VMK_TEST_HOLD");
  const size_t n = std::strlen(point);
  // POINT:FILE[,POINT:FILE...]: the first entry of this point.
  for (const char* entry = hold; entry != nullptr && *entry != 0;) {
    const char* comma = std::strchr(entry, ',');
    const size_t length = comma != nullptr ? static_cast<size_t>(comma - entry) : std::strlen(entry);
    if (length > n + 1 && std::strncmp(entry, point, n) == 0 && entry[n] == ':') {
      char file[4096];
      if (length - n - 1 >= sizeof file) return;
      std::memcpy(file, entry + n + 1, length - n - 1);
      file[length - n - 1] = 0;
      const int fd = ::open(file, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) return;
      ::close(fd);
      for (int waited = 0; waited < 6000 && ::access(file, F_OK) == 0; ++waited) ::poll(nullptr, 0, 10);
      return;
    }
    entry = comma != nullptr ? comma + 1 : nullptr;
  }
}

}  // namespace stops
