// An advisory hold on a folder whose files one user of it at a time may
// change: the folder itself locked with flock for as long as the hold lasts.
// The system lets the lock go when the holder ends in any way (a crash,
// SIGKILL), so a hold is never left behind, and nothing is added to the
// folder. Every name of the folder (a link to it too) reaches the same lock.
//
// Some file systems cannot lock the folder itself: NFS emulates flock with a
// write lock, which a folder (open for reading only) cannot take. There the
// hold is on a hidden file of the folder, kLockFileName, opened for writing
// and made when missing. That file stays in the folder: removed as a hold
// ends, a second holder could lock the removed file while a third locks a new
// one of the same name, and both would hold the folder.
#pragma once

#include <string>

namespace plat::files {

class FolderLock {
 public:
  // Hidden, and of no type a folder scan lists.
  static constexpr const char* kLockFileName = ".vellmarkstead-lock";

  enum class Result {
    kHeld,         // this object holds the folder
    kInUse,        // another holder has it: nothing was taken
    kUnavailable,  // no folder there: nothing to hold, nothing was made
    kNoLock,       // a folder that neither it nor a file in it can lock (a
                   // file system without locks, a folder that cannot be
                   // written): nobody can hold it, it is used as it is
  };

  FolderLock() = default;
  ~FolderLock() { Release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the hold on `folder`, without waiting.
  Result Take(const std::string& folder);
  bool held() const { return fd_ >= 0; }
  // The system's error that left the last Take with kNoLock.
  int error() const { return error_; }
  void Release();

 private:
  int fd_ = -1;
  int error_ = 0;
};

// For tests of file systems whose locks are not a local disk's: from now on
// every FolderLock's flock on a folder fails with `folderError` and on its
// lock file with `fileError`, as the kernel would fail it (EBADF is what NFS
// answers for a folder); 0 leaves that one to the system.
void FailFolderLocksForTesting(int folderError, int fileError);

}  // namespace plat::files
