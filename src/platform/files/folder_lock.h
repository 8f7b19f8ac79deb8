// An advisory hold on a folder whose files one user of it at a time may
// change: the folder itself locked with flock for as long as the hold lasts.
// The system lets the lock go when the holder ends in any way (a crash,
// SIGKILL), so a hold is never left behind, and nothing is added to the
// folder. Every name of the folder (a link to it too) reaches the same lock.
#pragma once

#include <string>

namespace plat::files {

class FolderLock {
 public:
  enum class Result {
    kHeld,         // this object holds the folder
    kInUse,        // another holder has it: nothing was taken
    kUnavailable,  // no folder there, or a file system without locks:
                   // nobody can hold it, the folder is used as it is
  };

  FolderLock() = default;
  ~FolderLock() { Release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the hold on `folder`, without waiting.
  Result Take(const std::string& folder);
  bool held() const { return fd_ >= 0; }
  void Release();

 private:
  int fd_ = -1;
};

}  // namespace plat::files
