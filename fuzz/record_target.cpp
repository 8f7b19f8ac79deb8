// Fuzz target: the run record (platform/files/run_record.h), read as a start reads the
// record of a run that was killed, and the removals, put-backs and exchanges that reading
// drives in the file system. An input is a record's text; it is written into the records
// folder of a scratch tree made afresh for each input. Before it is written, "$" becomes the
// scratch folder, "%N" (N a digit) the identity of scratch item N as a record writes it, "&N"
// as a record of the version before wrote it, "@M" and "@B" this machine's and this boot's
// names (counted), and "~:" the length of the rest of its line and a colon, so that inputs
// reach what is really there.
//
// Promises besides the sanitizers': every unlink, rmdir, rename and link the clean-up makes
// names a place inside the scratch tree (the system calls are wrapped at link time,
// fuzz/CMakeLists.txt); the keepers, files and a folder made with the tree that no input can
// name by their identity, are never removed nor changed, wherever an exchange may move them
// (a record of the version before knew files by their numbers alone, and one that names a
// keeper's number may take it, as that version would: the keepers are checked under records
// of this version). The scratch tree is on tmpfs where there is one, which never gives a
// removed file's inode number to a new one, so a number an input makes up cannot come to be
// a keeper's.
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/files/race_free_removal.h"
#include "platform/files/run_record.h"

namespace vmkfuzz {
namespace {

namespace files = plat::files;

// True while the clean-up runs: the wrapped calls check their paths.
bool gGuarding = false;

std::string Root() { return File("record"); }

// The folder `dirfd` is open on ("" for the current folder).
std::string FolderOf(int dirfd) {
  if (dirfd == AT_FDCWD) {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "";
  }
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
  char target[PATH_MAX];
  const ssize_t n = ::readlink(link, target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : "";
}

// Whether `path` (from `dirfd`) names a place inside the scratch tree: its folder, resolved
// as the system resolves it, is the tree or below it. A folder that does not resolve makes
// the call fail, and is let through.
bool Inside(int dirfd, const char* path) {
  std::string p = path;
  if (p.empty()) return true;
  if (p.front() != '/') p = FolderOf(dirfd) + "/" + p;
  const size_t slash = p.rfind('/');
  const std::string leaf = p.substr(slash + 1);
  const std::string folder = leaf == "." || leaf == ".." ? p : p.substr(0, slash);
  char resolved[PATH_MAX];
  if (::realpath(folder.empty() ? "/" : folder.c_str(), resolved) == nullptr) return true;
  static const std::string root = [] {
    char r[PATH_MAX];
    return std::string(::realpath(File("").c_str(), r) != nullptr ? r : "");
  }();
  const std::string got = resolved;
  return !root.empty() && got.compare(0, root.size(), root) == 0 && (got.size() == root.size() || got[root.size()] == '/');
}

void Check(const char* call, int dirfd, const char* path) {
  if (gGuarding && !Inside(dirfd, path)) Violation("the clean-up reached outside the scratch tree:", std::string(call) + " " + path);
}

}  // namespace
}  // namespace vmkfuzz

// The calls the clean-up changes names with, wrapped at link time.
extern "C" {
int __real_unlink(const char*);
int __real_unlinkat(int, const char*, int);
int __real_rmdir(const char*);
int __real_rename(const char*, const char*);
int __real_renameat(int, const char*, int, const char*);
int __real_renameat2(int, const char*, int, const char*, unsigned);
int __real_link(const char*, const char*);
int __real_linkat(int, const char*, int, const char*, int);

int __wrap_unlink(const char* p) {
  vmkfuzz::Check("unlink", AT_FDCWD, p);
  return __real_unlink(p);
}
int __wrap_unlinkat(int d, const char* p, int f) {
  vmkfuzz::Check("unlinkat", d, p);
  return __real_unlinkat(d, p, f);
}
int __wrap_rmdir(const char* p) {
  vmkfuzz::Check("rmdir", AT_FDCWD, p);
  return __real_rmdir(p);
}
int __wrap_rename(const char* a, const char* b) {
  vmkfuzz::Check("rename from", AT_FDCWD, a);
  vmkfuzz::Check("rename to", AT_FDCWD, b);
  return __real_rename(a, b);
}
int __wrap_renameat(int da, const char* a, int db, const char* b) {
  vmkfuzz::Check("renameat from", da, a);
  vmkfuzz::Check("renameat to", db, b);
  return __real_renameat(da, a, db, b);
}
int __wrap_renameat2(int da, const char* a, int db, const char* b, unsigned f) {
  vmkfuzz::Check("renameat2 from", da, a);
  vmkfuzz::Check("renameat2 to", db, b);
  return __real_renameat2(da, a, db, b, f);
}
int __wrap_link(const char* a, const char* b) {
  vmkfuzz::Check("link", AT_FDCWD, b);
  return __real_link(a, b);
}
int __wrap_linkat(int da, const char* a, int db, const char* b, int f) {
  vmkfuzz::Check("linkat", db, b);
  return __real_linkat(da, a, db, b, f);
}
}

namespace vmkfuzz {
namespace {

// The scratch items an input names by number: a versions folder with a copy, a temporary,
// an empty and a full folder, and files at the private names of entries 4, 5 and 7 of the
// dead run "1-AAAAAAAA".
constexpr const char* kItems[] = {"t/v/a.tif",          "t/v/.~a.tif.Ab12Cd",      "t/v/empty/",
                                  "t/v/full/",          "t/v/full/x",              "t/v/.~vmk-1-AAAAAAAA-4",
                                  "t/v/.~vmk-1-AAAAAAAA-5", "t/v/b.tif",           "t/v/.~vmk-1-AAAAAAAA-7",
                                  "t/v/"};
// Made with the tree, never named by number.
constexpr const char* kKeepers[] = {"t/v/keep.tif", "t/v/.~keep.tif.Zz9Yy8", "t/v/keepdir/", "t/v/full/kept.txt",
                                    "t/keep.txt"};
constexpr const char* kDeadRun = "run-1-AAAAAAAA";

std::string Item(const char* name) {
  std::string p = Root() + "/" + name;
  if (p.back() == '/') p.pop_back();
  return p;
}

void Rebuild() {
  std::error_code ec;
  std::filesystem::remove_all(Root(), ec);
  for (const char* list : {"t/v/empty", "t/v/full", "t/v/keepdir", "runs"})
    std::filesystem::create_directories(Root() + "/" + list, ec);
  ::chmod((Root() + "/runs").c_str(), 0700);
  int n = 0;
  for (const char* name : kItems) {
    const std::string text = "item " + std::to_string(n++);
    if (name[std::strlen(name) - 1] != '/') PutFile(Item(name), reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
  for (const char* name : kKeepers) {
    const std::string text = std::string("keeper ") + name;
    if (name[std::strlen(name) - 1] != '/') PutFile(Item(name), reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }
}

// Item `n`'s identity as a record line gives it: this version's nine fields (written a
// moment after the item was made), or the version before's five.
std::string IdentityText(int n, bool before) {
  files::FileIdentity id;
  if (!files::IdentityOf(Item(kItems[n]).c_str(), false, &id)) Violation("harness: no item", kItems[n]);
  std::string t = std::to_string(static_cast<uint64_t>(id.device)) + " " + std::to_string(static_cast<uint64_t>(id.inode)) +
                  " 0 " + std::to_string(id.size) + " " + std::to_string(id.modified);
  if (before) return t;
  return t + " " + std::to_string(id.known) + " " + std::to_string(id.birth) + " " + std::to_string(id.generation) +
         " " + std::to_string(std::max(id.birth, id.changed) + 1);
}

std::string CountedText(const std::string& text) { return std::to_string(text.size()) + ":" + text; }

// The input with its stand-ins replaced.
std::string Expand(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    const char next = i + 1 < size ? static_cast<char>(data[i + 1]) : 0;
    if (c == '$') {
      out += Root();
    } else if ((c == '%' || c == '&') && next >= '0' && next <= '9') {
      out += IdentityText(next - '0', c == '&');
      ++i;
    } else if (c == '@' && (next == 'M' || next == 'B')) {
      const files::RunOrigin& here = files::ThisRunOrigin();
      out += CountedText(next == 'M' ? here.machine : here.boot);
      ++i;
    } else if (c == '~' && next == ':') {
      size_t end = i + 2;
      while (end < size && data[end] != '\n') ++end;
      // The rest of the line, expanded on its own.
      const std::string rest = Expand(data + i + 2, end - (i + 2));
      out += CountedText(rest);
      i = end - 1;
    } else {
      out += c;
    }
  }
  return out;
}

struct Keeper {
  std::string name;
  int fd;
  std::string text;
};

void RecordOne(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return;
  Rebuild();
  const std::string text = Expand(data, size);
  const std::string record = Root() + "/runs/" + kDeadRun;
  PutFile(record, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  ::chmod(record.c_str(), 0600);
  // Last written a second from now: the moments the lines give are bounded by it, and only
  // the identities the input names (or makes up) can match.
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const struct timespec times[2] = {{0, UTIME_OMIT}, {now.tv_sec + 1, now.tv_nsec}};
  ::utimensat(AT_FDCWD, record.c_str(), times, 0);
  std::vector<Keeper> keepers;
  for (const char* name : kKeepers) {
    const bool folder = name[std::strlen(name) - 1] == '/';
    Keeper k{name, ::open(Item(name).c_str(), (folder ? O_PATH | O_DIRECTORY : O_RDONLY) | O_CLOEXEC), ""};
    if (k.fd < 0) Violation("harness: no keeper", name);
    if (!folder) k.text = std::string("keeper ") + name;
    keepers.push_back(k);
  }
  std::vector<std::string> left;
  gGuarding = true;
  const int removed = files::RemoveWhatEndedRunsLeft(Root() + "/runs", &left);
  gGuarding = false;
  if (removed > 0) Accepted();
  else RefusedChecked();
  const bool byNumber = text.rfind("vellmarkstead run record 1\n", 0) == 0;
  for (const Keeper& k : keepers) {
    if (byNumber) {
      ::close(k.fd);
      continue;
    }
    struct stat st {};
    if (::fstat(k.fd, &st) != 0 || st.st_nlink == 0) Violation("a keeper was removed:", k.name);
    if (!k.text.empty()) {
      std::string now(k.text.size() + 1, '\0');
      const ssize_t n = ::pread(k.fd, now.data(), now.size(), 0);
      if (n != static_cast<ssize_t>(k.text.size()) || now.compare(0, k.text.size(), k.text) != 0)
        Violation("a keeper was changed:", k.name);
    }
    ::close(k.fd);
  }
}

// Records as the run record's own writer makes them, over the scratch items, with their
// paths and identities turned back into stand-ins.
std::vector<Bytes> RecordSeeds() {
  Rebuild();
  using Kind = files::RunRecord::Kind;
  using X = files::RunRecord::Exchange;
  struct Line {
    char what;  // 'M', 'X', 'E'
    char kind;
    uint64_t id;
    int item;          // whose identity
    const char* path;  // the path written (an item's, or another)
  };
  const std::vector<std::vector<Line>> runs = {
      // Killed while its edit was open: its folders, copy and temporary; the run's own file
      // at entry 4's private name, a user's at entry 5's.
      {{'M', 'D', 1, 9, "t/v"},
       {'M', 'C', 2, 0, "t/v/a.tif"},
       {'M', 'T', 3, 1, "t/v/.~a.tif.Ab12Cd"},
       {'M', 'C', 4, 5, "t/v/c.tif"},
       {'M', 'C', 5, 7, "t/v/d.tif"},
       {'M', 'D', 6, 2, "t/v/empty"}},
      // Killed in a write-back's exchange (the user's file at the copy's name), with what the
      // record ended; the full folder stays.
      {{'M', 'C', 2, 0, "t/v/a.tif"},
       {'M', 'T', 3, 1, "t/v/.~a.tif.Ab12Cd"},
       {'X', 'W', 3, 4, "t/v/b.tif"},
       {'M', 'C', 7, 8, "t/v/e.tif"},
       {'E', 0, 7, 0, ""},
       {'M', 'D', 8, 3, "t/v/full"}},
      // Killed in a copy's making, the exchange made with the copy's own claim.
      {{'M', 'C', 2, 7, "t/v/b.tif"}, {'M', 'T', 3, 0, "t/v/.~b.tif.Ab12Cd"}, {'X', 'C', 3, 1, "t/v/b.tif"}},
  };
  std::vector<Bytes> out;
  const std::string folder = Root() + "/seeds";
  for (const auto& lines : runs) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::string text;
    {
      files::RunRecord run;
      if (!run.Begin(folder)) Violation("harness: no record");
      for (const Line& l : lines) {
        files::FileIdentity id;
        files::IdentityOf(Item(kItems[l.item]).c_str(), l.kind == 'C', &id);
        const std::string path = Root() + "/" + l.path;
        if (l.what == 'M') run.Made(l.id, static_cast<Kind>(l.kind), path, id);
        if (l.what == 'X') run.Exchanging(l.id, static_cast<X>(l.kind), path, id);
        if (l.what == 'E') run.Ended(l.id);
      }
      run.AbandonForTesting();
      for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const Bytes b = GetFile(e.path().string());
        text.assign(b.begin(), b.end());
      }
    }
    // Back to stand-ins, line by line: the machine and boot, each item's identity and path.
    std::string seed;
    size_t at = 0;
    int line = 0;
    while (at < text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string l = text.substr(at, end - at);
      at = end + 1;
      if (line == 1) {
        l = "W @M @B";
      } else if (line >= 2 && (l[0] == 'M' || l[0] == 'X')) {
        const Line& from = lines[static_cast<size_t>(line - 2)];
        // Letter, kind, entry, the nine identity fields, the counted path.
        size_t field = 0, p = 0;
        for (; field < 3; ++field) p = l.find(' ', p) + 1;
        l = l.substr(0, p) + "%" + std::to_string(from.item) + " ~:$/" + from.path;
      }
      seed += l + "\n";
      ++line;
    }
    out.emplace_back(seed.begin(), seed.end());
    // The same as the version before wrote it, and as another machine's.
    std::string before = "vellmarkstead run record 1\n";
    for (size_t p = seed.find('\n', seed.find('\n') + 1) + 1; p < seed.size();) {
      size_t end = seed.find('\n', p);
      std::string l = seed.substr(p, end - p);
      p = end + 1;
      if (l[0] == 'X') continue;
      if (const size_t pc = l.find('%'); pc != std::string::npos) l[pc] = '&';
      before += l + "\n";
    }
    out.emplace_back(before.begin(), before.end());
    std::string other = seed;
    other.replace(other.find("@M"), 2, "13:other machine");
    out.emplace_back(other.begin(), other.end());
  }
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return out;
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"record", RecordSeeds, RecordOne};
  return family;
}

}  // namespace vmkfuzz
