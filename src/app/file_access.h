// Positioned reads and writes, either through the 128-slot open-file table
// of the application data (the slot functions) or through one File_kern
// object per open file.
//
// Every function answers 0 for success and -1 for failure, except the
// existence tests (1 or 0) and the thin wrappers that pass the platform's
// code on. A read or write whose position equals the one the slot (or
// object) was left at goes straight on without a seek, so readers that walk
// a file front to back never seek. A read or write that cannot transfer
// every byte fails with -1 and leaves the position where it was, so the
// next call at the old position still works.
//
// Open modes: 0 open an existing file; 1 the same, -1 when it is missing;
// 2 create a new file, -1 when it exists; 3 replace: a new empty file with
// the record's creator and type. A replaced file is written beside the old
// one and takes its place when it is closed, so a failed write (or a session
// that never closes it) leaves the old file as it was.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

// Slot functions. Slots are 0..127; others are refused with -1. A slot is the opening
// thread's until it closes it: another thread's open waits for that (at most ten seconds),
// and its reads, writes and closes are refused.
int16_t S_open(const fichier* f, int16_t mode, int16_t slot);
int16_t S_read(int16_t slot, void* buffer, int32_t position, int32_t count);
int16_t S_write(int16_t slot, const void* buffer, int32_t position, int32_t count);
// Closes and frees the slot. -1 when it was not open, and when the data of a
// replaced file could not be committed (the old file then stays).
int16_t S_close(int16_t slot);
int16_t S_setEOF(int16_t slot, int32_t size);
int16_t S_getEOF(int16_t slot, int32_t* size);
// 1 when the file exists and can be opened, else 0.
int16_t S_test_exist(const fichier* f);
// The platform's result.
OSErr S_delete(const fichier* f);
OSErr CreateFile(const fichier* f);

class File_kern {
 public:
  explicit File_kern(const fichier* f);
  // Does not close: the owner closes first.
  ~File_kern() = default;

  int16_t CreateFile();
  int16_t S_test_exist();
  int16_t S_open(int16_t mode);
  int16_t S_read(void* buffer, int32_t position, int32_t count);
  int16_t S_write(const void* buffer, int32_t position, int32_t count);
  int16_t S_close();
  int16_t S_setEOF(int32_t size);
  int16_t S_getEOF(int32_t* size);
  // Shows the bundle's file alert with the two texts as its first and second
  // parameters; answers the button pressed.
  int16_t FileError(const unsigned char* first, const unsigned char* second);

  int16_t refNum = 0;
  int16_t state = 0;
  int32_t position = 0;
  fichier file;
};

// Functions on a bare reference number, without slots. Each answers 0 or -1.
// Deletes the file if it exists, creates it empty with the record's creator
// and type and opens it (as a replacement, committed when it is closed).
int16_t FILE_BinaryCreate(int16_t* refNum, const fichier* f, int16_t unused);
int16_t FILE_BinaryWrite(int16_t refNum, const void* buffer, int32_t count);
int16_t FILE_BinaryRead(int16_t refNum, void* buffer, int32_t count);
int16_t FILE_BinaryWriteAtPos(int16_t refNum, int32_t position, const void* buffer,
                              int32_t count);
int16_t FILE_BinaryReadAtPos(int16_t refNum, int32_t position, void* buffer, int32_t count);
// Writes a C string without its zero.
int16_t FILE_TextWrite(int16_t refNum, const char* text);
int16_t FILE_TextWriteAtPos(int16_t refNum, int32_t position, const char* text);
// Reads one line: characters up to a line feed, which is not kept, into a
// buffer of `size` bytes, always ended by a zero; at most size - 1
// characters are taken. -1 when nothing could be read.
int16_t FILE_TextRead(int16_t refNum, char* buffer, int32_t size);
int16_t FILE_TextReadAtPos(int16_t refNum, int32_t position, char* buffer, int32_t size);
// Closes a reference number of the functions above.
int16_t FILE_Close(int16_t refNum);
