// The record one run of a program keeps of the files and folders it makes
// in places that are not its own (a versions folder the user chose, the
// maker's folder), so that a later start can take away what a run that was
// killed outright or crashed left there, and nothing else.
//
// Each run writes its own record file in a folder of records, says in it
// which machine and which boot of that machine it runs on, and holds a
// lock on it for as long as it lives; the system lets the lock go however
// the run ends. A thing is written down before its name appears (a file is
// made without a name, written down with its inode, then linked at its
// name), again whenever the name comes to hold another file of the run's,
// and once more when it is no longer the run's to remove (renamed into its
// place for good, removed, or kept as the user's). Before two names are
// exchanged (a temporary file and the copy it replaces), the exchange is
// written down too, so that a start can undo one that a kill left half
// done. A run that ends as it meant to removes its record.
//
// A start takes up the records of its own machine that nobody holds (of an
// earlier boot, dead for sure, also where no lock can be had), and leaves
// other machines' records alone. For each thing written down there and not
// ended it removes it only while its name still holds that very file (and
// a copy only while it is unchanged since it was written down); it never
// looks at any other name.
//
// A record (version 2) is lines of text:
//   vellmarkstead run record 2
//   W <n>:<machine> <n>:<boot>
//   M <kind T|C|D> <entry> <identity> <n>:<path>
//   X <how W|C> <entry> <identity> <n>:<path>
//   E <entry>
// where <identity> is "device inode content size modified known birth
// generation written" (race_free_removal.h; `written` the coarse clock when
// the line was written, in ns) and <n>:<text> is a length and that many
// bytes (a line feed too). Version 1 had no W line, no exchanges and an
// identity of "device inode content size modified" only; such a record (of
// a run of the version before this one) is read and taken up as that
// version did, judged by its lock, its files known by their numbers. A
// start of that version leaves a record of this one alone.
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

// Which machine (its /etc/machine-id, else "host:" and its host name) and
// which boot of it (/proc/sys/kernel/random/boot_id) this process runs on;
// "" for what cannot be told.
struct RunOrigin {
  std::string machine;
  std::string boot;
};
const RunOrigin& ThisRunOrigin();

// The name beside `path` with "-N" before its suffix ("v/a.tif", 1 gives
// "v/a-1.tif").
std::string NumberedBeside(const std::string& path, int n);

class RunRecord {
 public:
  enum class Kind : char {
    kTemporary = 'T',  // a half-written file: removed whatever it holds
    kCopy = 'C',       // removed only while unchanged since written down
    kFolder = 'D',     // removed only while empty
  };
  // What the file of a temporary entry is, in an exchange with a copy's name.
  enum class Exchange : char {
    kWriteBack = 'W',  // an edit, whole: kept (beside a file of someone else's)
    kCopyMade = 'C',   // the copy's own pixels: the run's, removed
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
  // not from a signal handler. Where the file system keeps no generation,
  // it may wait a clock tick, so that the line is written after the file's
  // time (race_free_removal.cpp says why).
  void Made(uint64_t id, Kind kind, const std::string& path, const FileIdentity& identity);
  // The name of entry `id` (a temporary file, written down whole) is about
  // to be exchanged with `path`, which holds the file `identity` of this
  // run's; once the temporary file has taken that name for good, or has
  // gone, the entry is ended.
  void Exchanging(uint64_t id, Exchange how, const std::string& path, const FileIdentity& identity);
  // Entry `id` is no longer this run's to remove.
  void Ended(uint64_t id);
  // The run ends as it meant to: the record goes. Async-signal-safe.
  void Finish();
  // For tests of a run killed outright: the record stays, and its lock goes
  // as the system would let it go.
  void AbandonForTesting();

 private:
  void Write(const std::string& line);

  int fd_ = -1;
  char path_[4096] = {};
  char tag_[40] = {};
};

// Takes away what the runs whose records are in `folder` left, for each
// record of this machine that no live run holds: the entries written down
// and not ended, each only while its name holds the file written down (a
// copy also unchanged, a folder also empty), through the run's private
// names; a file of the user's that such a run had moved to a private name,
// or had exchanged with a temporary file's name, when it was killed is put
// back. Then the record goes. The number of things removed; `left`, when
// given, gets a line for each thing that stays for a reason other than
// being another file, and for each file it put under another name.
int RemoveWhatEndedRunsLeft(const std::string& folder, std::vector<std::string>* left = nullptr);

// For tests of a file system where no lock can be had: from now on taking a
// record's lock in RemoveWhatEndedRunsLeft fails with the system error
// `error` (ENOLCK, as an NFS mount without its lock service answers); 0
// ends it.
void FailRecordLocksForTesting(int error);

}  // namespace plat::files
