// Open files addressed by small reference numbers, with explicit positions.
//
// A reference number stands for one access path: its own file position,
// moved by reads and writes and set by SetFilePos. Files are opened for
// reading and writing when the file system allows it, else for reading.
//
// A file opened for replacement is written into a temporary file beside it
// and renamed over the old one only when it is closed after every write
// succeeded; a failed or abandoned write leaves the old file as it was.
#pragma once

#include <cstdint>
#include <string>

#include "platform/types/mac_types.h"

namespace plat::files {

// Opens an existing file. kFileNotFound when it is missing (or is a folder,
// a FIFO or a device).
OSErr OpenFile(const std::string& posix, int16_t* refNum);

// Creates an empty file with the given type and creator. kDuplicateName when
// it exists, kFolderNotFound when its folder is missing.
OSErr CreateFile(const std::string& posix, OSType creator, OSType type);

// Opens an empty replacement for the file (which may or may not exist yet).
// The replacement takes the file's place at CloseFile.
OSErr OpenReplacement(const std::string& posix, OSType creator, OSType type, int16_t* refNum);

// Reads up to *count bytes at the access path's position; *count receives
// the bytes read. kEndOfFile when fewer than asked were there.
OSErr ReadFile(int16_t refNum, void* buffer, int32_t* count);
// Writes *count bytes; *count receives the bytes written.
OSErr WriteFile(int16_t refNum, const void* buffer, int32_t* count);
// Sets and reads the position from the start of the file.
OSErr SetFilePos(int16_t refNum, int32_t position);
OSErr GetFilePos(int16_t refNum, int32_t* position);
OSErr GetEOF(int16_t refNum, int32_t* size);
OSErr SetEOF(int16_t refNum, int32_t size);
// Closes the access path (committing a replacement). The reference number is
// released even when committing fails.
OSErr CloseFile(int16_t refNum);

// Opens an existing file with `flags` (O_RDONLY, O_WRONLY or O_RDWR;
// O_CLOEXEC is added) only when it is a regular file, and never waits while
// opening: a FIFO would hold the open until some writer came, for ever if
// none does, and no stop signal reaches a thread that waits there. A FIFO,
// a device, a socket or a folder is refused with -1 and *notRegular set;
// any other failure gives -1 with errno kept. The descriptor returned
// blocks as usual.
int OpenRegular(const std::string& posix, int flags, bool* notRegular = nullptr);
// What a path that is not a regular file is, for messages: "a FIFO", "a
// folder", "a device", "a socket"; "" for a regular file or none.
std::string NotRegularKind(const std::string& posix);

// Deletes a file (or an empty folder).
OSErr DeleteFile(const std::string& posix);
// True when the file can be opened as data (a regular file that we may read).
bool CanOpenFile(const std::string& posix);
// Makes the data of closed files durable (nothing to do on this platform).
OSErr FlushVolume();

// Number of explicit position changes made so far, for tests that check that
// sequential access does not seek.
uint64_t SeekCount();
// Number of access paths currently open, for leak checks in tests.
int32_t OpenFileCount();

// For tests of what a full or read-only disk does to the writers above: from
// now on every write of data into a file in `folder` or below it (through a
// reference number or a replacement) fails with the system error `error`
// (ENOSPC, EROFS, ...), as the kernel would fail it; files are still made
// and opened. An empty folder ends it.
void FailWritesForTesting(const std::string& folder, int error);
// For tests of a system whose process status does not show the file mode mask: replacements
// then learn the mode of a new file as they would there.
void HideStatusMaskForTesting(bool hidden);

// What a program that takes away its half-written files when it is stopped
// is told of the temporary files of replacements (AtomicReplace and
// OpenReplacement). `step` brackets each change that makes, renames or
// removes a temporary file (true before it, false after), so that such a
// program can hold its stop off until the change is over; inside the
// bracket, `made` learns of a temporary file before its name appears (its
// path, the path it is to replace and its open descriptor, on a file that
// may have no name yet) and answers with a token (or -1), which `ended`
// gets back once the file took the final path's place (`renamed`) or was
// removed (or never got its name). `put`, when set, is asked to give the
// temporary file of a token the final path's place instead of a plain
// rename (0, or the system's error), so that the program can refuse to
// replace a file at that path that is not the one it means to replace.
// `discard`, when set, is asked to take away the temporary file of a token
// that is not renamed, instead of an unlink of its name: after a `put` that
// failed, the name may hold a file of someone else's.
struct TemporaryWatch {
  void (*step)(bool starting);
  int (*made)(const char* temporary, const char* finalPath, int fd);
  void (*ended)(int token, bool renamed);
  int (*put)(int token, const char* temporary, const char* finalPath);
  void (*discard)(int token, const char* temporary) = nullptr;
};
// Sets the watch of every later temporary file (null: none); it must stay
// valid while it is set.
void WatchTemporaries(const TemporaryWatch* watch);

// Writes a whole file through a temporary file that is renamed into place on
// commit(); destroyed without commit() it removes the temporary file and
// leaves the old file alone.
class AtomicReplace {
 public:
  explicit AtomicReplace(std::string finalPath);
  ~AtomicReplace();
  AtomicReplace(const AtomicReplace&) = delete;
  AtomicReplace& operator=(const AtomicReplace&) = delete;

  // False when the temporary file could not be made.
  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& tempPath() const { return tempPath_; }
  const std::string& finalPath() const { return finalPath_; }
  // Appends bytes; false on any failure (then commit() refuses).
  bool write(const void* data, size_t size);
  // Flushes, closes and renames over the final path; false (old file kept)
  // when anything failed before or during it.
  bool commit();
  // Marks the replacement failed by the system's `error` (0: not known);
  // commit() will refuse, and tell that error.
  void fail(int error = 0) {
    failed_ = true;
    if (error_ == 0) error_ = error;
  }
  // The system's error (errno) of the first step that failed: making the
  // temporary file, a write, or committing; 0 when none did (a write that
  // wrote nothing gives ENOSPC).
  int error() const { return error_; }

 private:
  void Failed(int error);

  // Removes the temporary file (not renamed into place), telling the watch.
  void Discard();

  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
  int token_ = -1;
  bool failed_ = false;
  bool done_ = false;
  int error_ = 0;
};

}  // namespace plat::files
