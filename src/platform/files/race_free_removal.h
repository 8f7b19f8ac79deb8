// Taking a file away by its name only while the name holds the file a
// program made, and putting a file at a name only while nothing is there.
//
// A look at the name followed by an unlink of the name leaves a moment in
// which another program (an export, a save that renames its result into
// place) can put the user's file there, and the unlink then takes the
// user's file. So the name is first moved to a private name beside it,
// never over anything; the file found there is looked at, and removed when
// it is the one, else moved back, again without replacing whatever took
// the name meanwhile. Every function here makes only system calls that a
// signal handler may make.
//
// A file is known by more than its device and inode number, since a file
// system gives the number of a removed file to the next one it makes (ext4
// does so at once): by its birth time where the file system tells it
// (statx), and by the inode's generation where it keeps one (a number drawn
// anew for each inode made: ext4, XFS, Btrfs). An identity written down in
// a run's record also says when it was written down; where the file system
// keeps no generation, a file matches it only when it was born (without a
// birth time: last changed) before that moment, which no file made at that
// number afterwards can have been (see Same in the source).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace plat::files {

// What FileIdentity::known holds besides the number.
inline constexpr unsigned kKnownBirth = 1;
inline constexpr unsigned kKnownGeneration = 2;

// Which file a name held when it was made or last written (device and
// inode, with its birth time and generation where the file system keeps
// them), and, for a file that must also be unchanged since then, its size
// and modification time.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool content = false;  // size and modified are compared too
  int64_t size = 0;
  int64_t modified = 0;  // nanoseconds since the epoch
  unsigned known = 0;    // kKnownBirth, kKnownGeneration
  int64_t birth = 0;     // nanoseconds since the epoch
  uint32_t generation = 0;
  int64_t changed = 0;  // the status change time, nanoseconds since the epoch
  // For an identity read back from a record: the coarse clock when it was
  // written down (ns); a file matches only if born (or, with no birth time,
  // last changed) before then, unless its generation is known. 0 for the
  // identity of a file this program holds open, whose number cannot be
  // given to another file meanwhile.
  int64_t writtenBefore = 0;
};

// The identity of what `path` names (not following a link); `content` as
// asked. False when nothing is there (errno says why).
bool IdentityOf(const char* path, bool content, FileIdentity* identity);
// The same for an open descriptor (O_PATH ones too).
bool IdentityOfFd(int fd, bool content, FileIdentity* identity);
// True when `got` (as IdentityOf gives it) is the file `want` says.
bool SameFile(const FileIdentity& want, const FileIdentity& got);
// True when `path` names the file `identity` (and, when it says so, with
// the same size and modification time).
bool Holds(const char* path, const FileIdentity& identity);
// How many names and descriptors IdentityOf and IdentityOfFd looked at in
// this process, for tests that count a clean-up's work.
uint64_t IdentityLookups();

// Writes into `out` (of `size` bytes) the private name beside `path` that
// entry `id` of the run tagged `tag` moves a name to while it removes or
// replaces it: "FOLDER/.~vmk-TAG-ID". The same run, entry and path always
// give the same name, so a later start can find what a run killed at that
// moment left there. False when it does not fit.
bool PrivateNameBeside(const char* path, const char* tag, uint64_t id, char* out, size_t size);

// Moves `from` to `to` only while nothing is at `to`: 0, or the system's
// error (EEXIST when something is). Where the file system cannot rename so,
// a file is linked at `to` and its old name unlinked.
int RenameWithoutReplacing(const char* from, const char* to);

enum class Removal {
  kRemoved,    // the name held the file, which is gone
  kNotThere,   // nothing at the name
  kNotIt,      // another file is at the name: it stays where it was
  kFailed,     // the system refused; errno says why (the name holds what it held)
  kStranded,   // another file was at the name, and a file took the name while
               // it was away: it stays at the private name (errno EEXIST)
};

// Removes the file `path` only if it holds `identity`, through the private
// name `privateName` in the same folder (made with PrivateNameBeside;
// nothing may be there). A folder (`folder`) is never moved, since other
// programs may be making files in it: it goes only while it is `identity`
// and empty. errno is set for kFailed and kStranded.
Removal RemoveIfHolds(const char* path, const FileIdentity& identity, bool folder, const char* privateName);

}  // namespace plat::files
