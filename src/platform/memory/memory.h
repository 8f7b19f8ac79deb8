// Non-relocatable memory blocks in the manner of the old toolbox's NewPtr.
//
// Every block carries a small header with its size and a tag, so that a
// foreign pointer or a second disposal is recognised and ignored instead of
// corrupting the heap. Contents are not cleared unless asked for.
#pragma once

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
// How many blocks this thread has been refused so far: by NewPtr, and by the registries above
// it that refuse a size of their own (CountRefusedBlock). A caller that sees the count grow
// across a call knows that the call failed for want of memory, not for a reason of its own.
int64_t RefusedBlockCount();
// The same over every thread of the process: what a piece of work that spreads its rows over
// the shared threads (and may be refused blocks on any of them) looks at once it has failed,
// to tell whether memory ran short. Another thread's refusal counts too, so it says only why
// a failure came, never whether one did.
int64_t RefusedBlockCountOnAnyThread();
// Counts a block that a registry refused on this thread without asking NewPtr.
void CountRefusedBlock();

}  // namespace plat
