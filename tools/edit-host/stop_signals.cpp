#include "stop_signals.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// One copy: made on the main thread and never freed, then published at the
// head of the list with one atomic store, so that a handler that interrupts
// the main thread sees either the whole node or none.
struct Copy {
  char* path;
  dev_t device;
  ino_t inode;
  Copy* next;
};

std::atomic<Copy*> gCopies{nullptr};
std::atomic<char*> gLine{nullptr};
std::atomic<int> gMaking{0};
std::atomic<int> gDeferred{0};

void Say(const char* text) {
  size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, text, left);
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

}  // namespace

void BeginCopyMaking() { gMaking.store(1); }

void EndCopyMaking() {
  gMaking.store(0);
  const int signal = gDeferred.exchange(0);
  if (signal != 0) StopFromHandler(128 + signal, false);
}

bool DeferStopWhileMaking(int signal) {
  if (gMaking.load() == 0) return false;
  int none = 0;
  return gDeferred.compare_exchange_strong(none, signal);
}

void RecordCopyForStop(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return;
  auto* c = new Copy{Keep(path), st.st_dev, st.st_ino, gCopies.load()};
  gCopies.store(c);
}

void SetStopLine(const std::string& line) { gLine.store(Keep(line + "\n")); }

void StopFromHandler(int status, bool keep) {
  bool all = true;
  if (!keep) {
    for (const Copy* c = gCopies.load(); c != nullptr; c = c->next) {
      struct stat st {};
      // Gone already, or another file by now: not ours to remove.
      if (::lstat(c->path, &st) != 0 || st.st_dev != c->device || st.st_ino != c->inode) continue;
      if (::unlink(c->path) == 0) continue;
      all = false;
      Say("Edit stopped; could not remove the editable copy ");
      Say(c->path);
      Say("\n");
    }
    const char* line = gLine.load();
    if (all && line != nullptr) Say(line);
  }
  ::_exit(status);
}
