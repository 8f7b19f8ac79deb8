// An advisory hold on a folder whose files one user of it at a time may
// change, for as long as the hold lasts. The system lets every lock go when
// the holder ends in any way (a crash, SIGKILL), so a hold is never left
// behind.
//
// The hold is two locks. The folder itself, locked with flock, keeps out
// every other holder on this machine, through any name of the folder (a
// link to it too). A hidden regular file of the folder, kLockFileName,
// locked with flock as well, keeps out holders on other machines where the
// folder is shared: a network file system (NFS) has no lock on a folder, so
// flock on a folder there answers for this machine alone, or fails. The
// file is made when missing and stays in the folder: removed as a hold
// ends, a second holder could lock the removed file while a third locks a
// new one of the same name, and both would hold the folder.
//
// Only a regular file of this user is opened as the lock file, and never
// through a link. A link, FIFO, socket or empty folder of this user at its
// name is replaced by the file; anything else there is left as it is, and
// the hold is then the folder's alone, or none, with the reason (why()).
#pragma once

#include <string>

namespace plat::files {

class FolderLock {
 public:
  // Hidden, and of no type a folder scan lists.
  static constexpr const char* kLockFileName = ".vellmarkstead-lock";

  enum class Result {
    kHeld,         // this object holds the folder, on every machine that shares it
    kHeldHere,     // held through the folder itself, but the lock file cannot
                   // be had (why()): no other holder on this machine, but one
                   // on another machine sharing the folder is not kept out
    kInUse,        // another holder has it: nothing was taken
    kUnavailable,  // no folder there: nothing to hold, nothing was made
    kNoLock,       // neither the folder nor its lock file can be locked (why()):
                   // nobody can hold it, it is used as it is
  };

  FolderLock() = default;
  ~FolderLock() { Release(); }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the hold on `folder`, without waiting.
  Result Take(const std::string& folder);
  bool held() const { return folderFd_ >= 0 || fileFd_ >= 0; }
  // Why the last Take could not use the lock file (kHeldHere, kNoLock), in
  // words for the user; empty otherwise.
  const std::string& why() const { return why_; }
  // The system's error behind why(), or 0 when the reason is what lies at
  // the lock file's name.
  int error() const { return error_; }
  void Release();

 private:
  // Opens and locks the lock file below `dir` (an O_PATH descriptor of the
  // folder): its descriptor, -2 when another holder has it, -1 with why_
  // and error_ when it cannot be had.
  int LockFile(int dir);
  void Fail(int error, const std::string& why);

  int folderFd_ = -1;
  int fileFd_ = -1;
  int error_ = 0;
  std::string why_;
};

// For tests of file systems whose locks are not a local disk's: from now on
// every FolderLock's flock on a folder fails with `folderError` and on its
// lock file with `fileError`, as the kernel would fail it (EBADF is what NFS
// answers for a folder); 0 leaves that one to the system.
void FailFolderLocksForTesting(int folderError, int fileError);

}  // namespace plat::files
