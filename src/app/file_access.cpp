#include "app/file_access.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "app/core/app_data.h"
#include "platform/files/file_errors.h"
#include "platform/files/file_io.h"
#include "platform/toolbox/api/ui_services.h"

namespace pf = plat::files;

namespace {

bool validSlot(int16_t slot) { return slot >= 0 && slot < kFileSlots && gappData != nullptr; }

// A slot belongs to the thread that opened it until that thread closes it. A preview worker
// reads a render file in the slot that the interface thread saves presets in: another
// thread's open waits for the slot to be closed (a read or a write is brief), and its reads,
// writes and closes are refused, so that no thread moves or closes a file another is writing.
struct SlotOwners {
  std::mutex lock;
  std::condition_variable freed;
  std::thread::id owner[kFileSlots];
};

SlotOwners& Owners() {
  static SlotOwners owners;
  return owners;
}

constexpr auto kSlotWait = std::chrono::seconds(10);

// The slot is open and this thread's.
bool mine(int16_t slot) {
  if (!validSlot(slot)) return false;
  SlotOwners& o = Owners();
  const std::lock_guard<std::mutex> hold(o.lock);
  return gappData->fileStates[slot] != kSlotClosed && o.owner[slot] == std::this_thread::get_id();
}

// Opens the record's file by mode; 0 and the reference number, or -1.
int16_t openByMode(const fichier& f, int16_t mode, int16_t* refNum) {
  const std::string posix = FicToPosix(f);
  if (posix.empty()) return -1;
  switch (mode) {
    case 1:
      if (!pf::CanOpenFile(posix)) return -1;
      break;
    case 2:
      if (pf::CanOpenFile(posix)) return -1;
      if (pf::CreateFile(posix, f.creator, f.type) != 0) return -1;
      break;
    case 3:
      return pf::OpenReplacement(posix, f.creator, f.type, refNum) == 0 ? 0 : -1;
    default:
      break;
  }
  return pf::OpenFile(posix, refNum) == 0 ? 0 : -1;
}

// One positioned transfer on an access path whose position was left at
// `*current`. The position moves only when every byte was transferred.
template <typename Transfer>
int16_t positioned(int16_t refNum, bool mustSeek, int32_t* current, int32_t position,
                   int32_t count, Transfer transfer) {
  if (position < 0 || count < 0) return -1;
  if ((mustSeek || position != *current) && pf::SetFilePos(refNum, position) != 0) {
    (void)pf::SetFilePos(refNum, *current);
    return -1;
  }
  int32_t done = count;
  if (transfer(&done) != 0 || done != count) {
    // Put the access path back where the caller believes it is.
    (void)pf::SetFilePos(refNum, *current);
    return -1;
  }
  *current = position + count;
  return 0;
}

}  // namespace

int16_t S_open(const fichier* f, int16_t mode, int16_t slot) {
  if (f == nullptr || !validSlot(slot)) return -1;
  SlotOwners& o = Owners();
  std::unique_lock<std::mutex> hold(o.lock);
  const std::thread::id me = std::this_thread::get_id();
  // A slot this thread has open is refused before anything is created or replaced.
  if (gappData->fileStates[slot] != kSlotClosed && o.owner[slot] == me) return -1;
  if (!o.freed.wait_for(hold, kSlotWait, [&] { return gappData->fileStates[slot] == kSlotClosed; }))
    return -1;
  int16_t ref = 0;
  gappData->filePositions[slot] = 0;
  if (openByMode(*f, mode, &ref) != 0) return -1;
  gappData->fileRefNums[slot] = ref;
  gappData->fileStates[slot] = kSlotOpen;
  o.owner[slot] = me;
  return 0;
}

int16_t S_read(int16_t slot, void* buffer, int32_t position, int32_t count) {
  if (!mine(slot)) return -1;
  const int16_t ref = gappData->fileRefNums[slot];
  return positioned(ref, gappData->fileStates[slot] == kSlotShared,
                    &gappData->filePositions[slot], position, count,
                    [&](int32_t* n) { return pf::ReadFile(ref, buffer, n); });
}

int16_t S_write(int16_t slot, const void* buffer, int32_t position, int32_t count) {
  if (!mine(slot)) return -1;
  const int16_t ref = gappData->fileRefNums[slot];
  return positioned(ref, gappData->fileStates[slot] == kSlotShared,
                    &gappData->filePositions[slot], position, count,
                    [&](int32_t* n) { return pf::WriteFile(ref, buffer, n); });
}

int16_t S_close(int16_t slot) {
  if (!mine(slot)) return -1;
  const OSErr e = pf::CloseFile(gappData->fileRefNums[slot]);
  if (e == pf::kBadRefNum) return -1;
  (void)pf::FlushVolume();
  // Closed either way; a replacement that could not be committed is gone
  // and the old file is left in place.
  SlotOwners& o = Owners();
  {
    const std::lock_guard<std::mutex> hold(o.lock);
    gappData->fileStates[slot] = kSlotClosed;
    gappData->fileRefNums[slot] = 0;
    o.owner[slot] = std::thread::id();
  }
  o.freed.notify_all();
  return e == 0 ? 0 : -1;
}

int16_t S_setEOF(int16_t slot, int32_t size) {
  if (!mine(slot)) return -1;
  return pf::SetEOF(gappData->fileRefNums[slot], size) == 0 ? 0 : -1;
}

int16_t S_getEOF(int16_t slot, int32_t* size) {
  if (size == nullptr || !mine(slot)) return -1;
  return pf::GetEOF(gappData->fileRefNums[slot], size) == 0 ? 0 : -1;
}

int16_t S_test_exist(const fichier* f) {
  return f != nullptr && pf::CanOpenFile(FicToPosix(*f)) ? 1 : 0;
}

OSErr S_delete(const fichier* f) {
  if (f == nullptr) return pf::kParamError;
  const std::string posix = FicToPosix(*f);
  return posix.empty() ? pf::kBadName : pf::DeleteFile(posix);
}

OSErr CreateFile(const fichier* f) {
  if (f == nullptr) return pf::kParamError;
  const std::string posix = FicToPosix(*f);
  return posix.empty() ? pf::kBadName : pf::CreateFile(posix, f->creator, f->type);
}

File_kern::File_kern(const fichier* f) {
  if (f != nullptr) {
    Copy_FicStruct(f, &file);
    file.reserved = f->reserved;
  }
}

int16_t File_kern::CreateFile() { return ::CreateFile(&file) == 0 ? 0 : -1; }

int16_t File_kern::S_test_exist() { return ::S_test_exist(&file); }

int16_t File_kern::S_open(int16_t mode) {
  if (state == kSlotOpen) return -1;
  int16_t ref = 0;
  if (openByMode(file, mode, &ref) != 0) return -1;
  refNum = ref;
  position = 0;
  state = kSlotOpen;
  return 0;
}

int16_t File_kern::S_read(void* buffer, int32_t at, int32_t count) {
  if (state != kSlotOpen) return -1;
  const int16_t ref = refNum;
  return positioned(ref, false, &position, at, count,
                    [&](int32_t* n) { return pf::ReadFile(ref, buffer, n); });
}

int16_t File_kern::S_write(const void* buffer, int32_t at, int32_t count) {
  if (state != kSlotOpen) return -1;
  const int16_t ref = refNum;
  return positioned(ref, false, &position, at, count,
                    [&](int32_t* n) { return pf::WriteFile(ref, buffer, n); });
}

int16_t File_kern::S_close() {
  if (state != kSlotOpen) return -1;
  const OSErr e = pf::CloseFile(refNum);
  if (e == pf::kBadRefNum) return -1;
  state = kSlotClosed;
  (void)pf::FlushVolume();
  return e == 0 ? 0 : -1;
}

int16_t File_kern::S_setEOF(int32_t size) {
  if (state != kSlotOpen) return -1;
  return pf::SetEOF(refNum, size) == 0 ? 0 : -1;
}

int16_t File_kern::S_getEOF(int32_t* size) {
  if (state != kSlotOpen || size == nullptr) return -1;
  return pf::GetEOF(refNum, size) == 0 ? 0 : -1;
}

int16_t File_kern::FileError(const unsigned char* first, const unsigned char* second) {
  plat::ui::AlertRequest alert;
  alert.alertId = 129;
  alert.params = {first != nullptr ? PStrString(first) : std::string(),
                  second != nullptr ? PStrString(second) : std::string(), std::string(),
                  std::string()};
  return plat::ui::Alert(alert);
}

int16_t FILE_BinaryCreate(int16_t* refNum, const fichier* f, int16_t /*unused*/) {
  if (refNum == nullptr || f == nullptr) return -1;
  const std::string posix = FicToPosix(*f);
  if (posix.empty()) return -1;
  return pf::OpenReplacement(posix, f->creator, f->type, refNum) == 0 ? 0 : -1;
}

int16_t FILE_BinaryWrite(int16_t refNum, const void* buffer, int32_t count) {
  int32_t n = count;
  return pf::WriteFile(refNum, buffer, &n) == 0 && n == count ? 0 : -1;
}

int16_t FILE_BinaryRead(int16_t refNum, void* buffer, int32_t count) {
  int32_t n = count;
  return pf::ReadFile(refNum, buffer, &n) == 0 && n == count ? 0 : -1;
}

int16_t FILE_BinaryWriteAtPos(int16_t refNum, int32_t position, const void* buffer,
                              int32_t count) {
  if (pf::SetFilePos(refNum, position) != 0) return -1;
  return FILE_BinaryWrite(refNum, buffer, count);
}

int16_t FILE_BinaryReadAtPos(int16_t refNum, int32_t position, void* buffer, int32_t count) {
  if (pf::SetFilePos(refNum, position) != 0) return -1;
  return FILE_BinaryRead(refNum, buffer, count);
}

int16_t FILE_TextWrite(int16_t refNum, const char* text) {
  if (text == nullptr) return -1;
  const size_t n = std::strlen(text);
  if (n > INT32_MAX) return -1;
  return FILE_BinaryWrite(refNum, text, static_cast<int32_t>(n));
}

int16_t FILE_TextWriteAtPos(int16_t refNum, int32_t position, const char* text) {
  if (pf::SetFilePos(refNum, position) != 0) return -1;
  return FILE_TextWrite(refNum, text);
}

int16_t FILE_TextRead(int16_t refNum, char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return -1;
  int32_t got = 0;
  bool any = false;
  while (got < size - 1) {
    char c = 0;
    int32_t n = 1;
    if (pf::ReadFile(refNum, &c, &n) != 0 || n != 1) break;
    any = true;
    if (c == '\n') break;
    buffer[got++] = c;
  }
  buffer[got] = 0;
  return any ? 0 : -1;
}

int16_t FILE_TextReadAtPos(int16_t refNum, int32_t position, char* buffer, int32_t size) {
  if (pf::SetFilePos(refNum, position) != 0) return -1;
  return FILE_TextRead(refNum, buffer, size);
}

int16_t FILE_Close(int16_t refNum) { return pf::CloseFile(refNum) == 0 ? 0 : -1; }
