#pragma once

#include "platform/files/folder_lock.h"

namespace vmktest {

// Folder locks that fail as the test says, for the life of the object.
class LockFaults {
 public:
  LockFaults(int folderError, int fileError) { plat::files::FailFolderLocksForTesting(folderError, fileError); }
  ~LockFaults() { plat::files::FailFolderLocksForTesting(0, 0); }
  LockFaults(const LockFaults&) = delete;
  LockFaults& operator=(const LockFaults&) = delete;
};

}  // namespace vmktest
