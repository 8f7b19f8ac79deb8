// A copy of a file beside it that one reader has to itself while the
// original goes on changing: a preview render reads the layer file it was
// asked for while the window rewrites the file for the next request.
//
// The copy is "<file><tag><N>" (N the first free number of a count the
// process keeps), made new (never over anything at that name), readable by
// the user only, and locked (flock) by its holder for as long as it lives;
// the holder removes it when it ends. A copy that cannot be finished (a full
// disk, a read-only folder) is taken away at once, so nothing half-written
// stays behind. A holder that dies without removing its copy (a kill, a
// crash) leaves it unlocked, and the next copy made beside the same file
// removes every such copy that nobody holds, in this process or another.
// Where a file system cannot lock, the copy goes unlocked and no sweep can
// lock it either, so it is left alone. A copy held in this process is never
// swept, also where a file system's locks are the process's own (NFS).
#pragma once

#include <sys/types.h>

#include <string>

namespace plat::files {

class PrivateCopy {
 public:
  PrivateCopy() = default;
  ~PrivateCopy() { Remove(); }
  PrivateCopy(const PrivateCopy&) = delete;
  PrivateCopy& operator=(const PrivateCopy&) = delete;

  // Sweeps the unheld copies beside `from`, then copies `from` to a new
  // "<from><tag><N>": 0, or the system's error (errno value) with nothing
  // of the copy left. A second Make removes the first copy.
  int Make(const std::string& from, const std::string& tag);
  // The copy's path; empty until made.
  const std::string& path() const { return path_; }
  // Removes the copy (while its name still holds it) and lets its lock go.
  void Remove();

 private:
  std::string path_;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

// Removes the copies "<of><tag><digits>" beside `of` that nobody holds (the
// user's own plain files only); answers how many went.
int SweepPrivateCopies(const std::string& of, const std::string& tag);

// For tests of a copy that cannot be finished: every later Make fails with
// `error` once its file is made, as a full disk fails its first write; 0
// ends it.
void FailPrivateCopiesForTesting(int error);

}  // namespace plat::files
