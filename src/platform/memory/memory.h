// Non-relocatable memory blocks in the manner of the old toolbox's NewPtr.
//
// Every block carries a small header with its size and a tag, so that a
// foreign pointer or a second disposal is recognised and ignored instead of
// corrupting the heap. Contents are not cleared unless asked for.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace plat {

using Ptr = char*;

// A block of `size` bytes, or null when size is negative or memory runs out.
Ptr NewPtr(int64_t size);
// The same, filled with zeros.
Ptr NewPtrClear(int64_t size);
// Frees a block from NewPtr; null, foreign and already freed blocks are
// ignored (MemError() then reports -1).
void DisposePtr(void* p);
// The size asked for when the block was made, or -1 for a foreign pointer.
int64_t GetPtrSize(const void* p);
// 0 after a successful call, -108 (out of memory) or -1 (bad pointer).
int32_t MemError();
// Number of blocks currently alive, for leak checks in tests.
int64_t LiveBlockCount();
// For tests of failure paths: the allocation `n` calls from now (0 = the
// next one) fails as if memory had run out; only that one. A negative n
// cancels a pending failure.
void FailNthAllocation(int64_t n);
// Refuses (as out of memory) every later block larger than `bytes`; a
// negative value lifts the limit. Returns the limit it replaces. Lets tests
// walk the paths taken when memory runs out.
int64_t SetBlockLimit(int64_t bytes);
// How many blocks the work in hand on this thread has been refused so far: by NewPtr, and by the
// registries above it that refuse a size of their own (CountRefusedBlock). The work in hand is
// the innermost RefusalScope living on the thread, or, while the thread runs a band of a loop,
// the work of the thread that started the loop; outside both, the thread's own work. A caller
// that sees the count grow across a call knows that the call failed for want of memory, not for
// a reason of its own.
int64_t RefusedBlockCount();
// The same over every piece of work of the process, whatever thread it ran on: what a
// measurement of a whole process looks at. It never tells whether one piece of work was
// refused anything; RefusedBlockCount does.
int64_t RefusedBlockCountOnAnyThread();
// Counts a block that a registry refused without asking NewPtr, for the work in hand.
void CountRefusedBlock();

// A piece of work's own count of refused blocks (a render's). A thread that waits on its own
// loop runs bands of other threads' loops meanwhile, so a count kept by thread would hand this
// work another's refusals and miss those of its own bands that other threads ran. While the
// scope lives on a thread, a block refused there, or in a band of a loop started there on
// whichever thread runs it (ParallelFor carries the count as it carries the cancel flag),
// counts for the scope and for the work it was made in (so an operation that renders inside
// itself sees what its inner render was refused), and for no other work.
class RefusalScope {
 public:
  RefusalScope();
  ~RefusalScope();
  RefusalScope(const RefusalScope&) = delete;
  RefusalScope& operator=(const RefusalScope&) = delete;

  // Blocks refused in the scope's work so far.
  int64_t Count() const { return own_.count.load(std::memory_order_relaxed); }

  struct Tally {
    std::atomic<int64_t> count{0};
    Tally* outer = nullptr;  // the work it was made in; refusals count there too
  };

 private:
  Tally own_;
  Tally* before_;  // the thread's work in hand before the scope, null for its own
};

}  // namespace plat
