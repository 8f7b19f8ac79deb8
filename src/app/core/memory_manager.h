// The session's registry of work buffers and the numbered channel planes.
//
// While a session runs, every work buffer of every subsystem is taken from
// the one CMemMan held in the first field of the session record (gPer) and
// handed back to it; the registry frees whatever is still registered when it
// is destroyed, so a buffer that a failing path forgot does not outlive the
// session. Kernels take their work memory as plat::Block from WorkSource(),
// which is this registry in a session and the plain allocator outside one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/memory/block.h"
#include "platform/memory/memory.h"

// One registered block.
struct CMem {
  char* block = nullptr;
  int32_t size = 0;
  double identifier = 0.0;
  CMem* next = nullptr;

  CMem() = default;
  CMem(const CMem&) = delete;
  CMem& operator=(const CMem&) = delete;
  ~CMem();
  // Stores the size and allocates the block (no caller in the system).
  void CreaCMem(int32_t size);
};

class CMemMan {
 public:
  CMemMan();
  CMemMan(const CMemMan&) = delete;
  CMemMan& operator=(const CMemMan&) = delete;
  virtual ~CMemMan();

  // A new block of `size` bytes (contents not cleared), or null.
  char* NewBuf(int32_t size);
  // As above; a nonzero `numbered` gives the block the next serial number.
  char* NewBuf(int32_t size, int16_t numbered);
  // 1 when the block was registered and is now freed, 0 otherwise.
  int16_t DelBuf(void* block);
  int16_t DelCMem(CMem* record);
  void AddCMem(CMem* record);
  CMem* GetCMem(void* block);
  int16_t SaveBufonDisk(double, void*, int32_t) { return 0; }
  int16_t RestoreBufonDisk(double) { return 0; }

  int32_t count() const { return count_; }
  CMem* head() const { return head_; }

 private:
  // A preview renders on a worker thread while the window's thread goes on
  // taking and returning blocks: the list is changed and searched under
  // this lock (recursive: DelBuf finds, then deletes).
  std::recursive_mutex lock_;
  int32_t count_ = 0;
  CMem* head_ = nullptr;
  double nextIdentifier_ = 1.0;
};

// The numbered channel planes of the image being rendered: 90 slots of
// width x height samples of one depth, all taken from the session registry.
class VMKMemMan {
 public:
  static constexpr int32_t kSlots = 90;

  VMKMemMan() = default;
  VMKMemMan(const VMKMemMan&) = delete;
  VMKMemMan& operator=(const VMKMemMan&) = delete;
  ~VMKMemMan();

  int32_t IniVMKMemMan(int32_t width, int32_t height, int32_t bitsPerSample);
  // (Re)creates plane n; null on failure or for a slot outside 0..89.
  char* CreBuf(int32_t n);
  // Plane n; created when missing and `create` is 1.
  char* GetBuf(int32_t n, int16_t create);
  // -1 when slot n was never created (or is outside 0..89), else 0.
  int32_t DelBuf(int32_t n);
  void DelAllBuf();
  int32_t GetID(const void* plane, int32_t* slot) const;

  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int32_t bytesPerSample() const { return bytesPerSample_; }
  int32_t depth(int32_t n) const { return validSlot(n) ? depth_[n] : 0; }

 private:
  static bool validSlot(int32_t n) { return n >= 0 && n < kSlots; }

  int32_t depth_[kSlots] = {};
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bytesPerSample_ = 0;
  char* plane_[kSlots] = {};
};

// Blocks taken from `man` with NewBuf and handed back with DelBuf; a null
// registry gives the plain allocator. Sizes beyond the registry's 32-bit
// sizes are refused (the block comes out empty).
plat::BlockSource MemManSource(CMemMan* man);
// Where every kernel takes its work memory: the session's registry while a
// session runs, the plain allocator otherwise, so a batch program can call
// any kernel without setting up a session. The registry is one list under a
// lock, shared by the window's thread and the preview worker: take blocks
// before a parallel loop, never inside its body.
plat::BlockSource WorkSource();
