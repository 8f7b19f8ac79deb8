// The record one run of a program keeps of the files and folders it makes
// in places that are not its own (a versions folder the user chose, the
// maker's folder), so that a later start can take away what a run that was
// killed outright or crashed left there, and nothing else.
//
// Each run writes its own record file in a folder of records, and holds a
// lock on it for as long as it lives; the system lets the lock go however
// the run ends. A thing is written down before its name appears (a file is
// made without a name, written down with its inode, then linked at its
// name), again whenever the name comes to hold another file of the run's,
// and once more when it is no longer the run's to remove (renamed into its
// place for good, removed, or kept as the user's). A run that ends as it
// meant to removes its record. A start finds the records nobody holds, and
// for each thing written down there and not ended removes it only while
// its name still holds that very file (and a copy only while it is
// unchanged since it was written down); it never looks at any other name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/files/race_free_removal.h"

namespace plat::files {

// The folder of records below the Application Support folder.
inline constexpr const char* kRunRecordsFolderName = ".vellmarkstead-runs";
// The records folder of this user: below the Application Support folder
// (made absolute); "" when there is none.
std::string RunRecordsFolder();

class RunRecord {
 public:
  enum class Kind : char {
    kTemporary = 'T',  // a half-written file: removed whatever it holds
    kCopy = 'C',       // removed only while unchanged since written down
    kFolder = 'D',     // removed only while empty
  };

  RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // Starts this run's record in `folder` (made, readable by this user
  // only, when missing). False when it cannot be: nothing is then written,
  // and what the run makes is not known to later starts.
  bool Begin(const std::string& folder);
  bool active() const { return fd_ >= 0; }
  // This run's tag, for private names (PrivateNameBeside); set from the
  // start, with a record or without.
  const char* tag() const { return tag_; }

  // Writes down that `path` holds (or is about to hold) the file
  // `identity` as entry `id` of this run. Safe from several threads at once;
  // not from a signal handler.
  void Made(uint64_t id, Kind kind, const std::string& path, const FileIdentity& identity);
  // Entry `id` is no longer this run's to remove.
  void Ended(uint64_t id);
  // The run ends as it meant to: the record goes. Async-signal-safe.
  void Finish();
  // For tests of a run killed outright: the record stays, and its lock goes
  // as the system would let it go.
  void AbandonForTesting();

 private:
  int fd_ = -1;
  char path_[4096] = {};
  char tag_[40] = {};
};

// Takes away what the runs whose records are in `folder` left, for each
// record that no live run holds: the entries written down and not ended,
// each only while its name holds the file written down (a copy also
// unchanged, a folder also empty), through the run's private names; a file
// of the user's that such a run had moved to a private name when it was
// killed is put back. Then the record goes. The number of things removed;
// `left`, when given, gets a line for each thing that stays for a reason
// other than being another file.
int RemoveWhatEndedRunsLeft(const std::string& folder, std::vector<std::string>* left = nullptr);

}  // namespace plat::files
