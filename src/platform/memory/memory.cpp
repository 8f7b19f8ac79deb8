#include "platform/memory/memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "platform/parallel/parallel.h"

namespace plat {

namespace {

constexpr uint64_t kLiveTag = 0x564D4B426C6F636BULL;  // "VMKBlock"
constexpr uint64_t kDeadTag = 0x44656164426C6F63ULL;

// 16 bytes keep the caller's block aligned for any scalar type.
struct alignas(16) Header {
  uint64_t tag;
  int64_t size;
};

thread_local int32_t gMemError = 0;

// The count of what the thread does outside any scope; bands of its loops may add to it from
// the pool's threads while it waits, hence atomic.
thread_local RefusalScope::Tally tOwnTally;
// The work in hand: a scope on this thread, or the loop caller's while a band runs; null for
// the thread's own.
thread_local RefusalScope::Tally* tInHand = nullptr;
std::atomic<int64_t> gRefusedAnywhere{0};

RefusalScope::Tally* InHand() { return tInHand != nullptr ? tInHand : &tOwnTally; }

void Refused() {
  gRefusedAnywhere.fetch_add(1, std::memory_order_relaxed);
  for (RefusalScope::Tally* t = InHand(); t != nullptr; t = t->outer)
    t->count.fetch_add(1, std::memory_order_relaxed);
}

// The bands of a loop count what they are refused for the work that started the loop, on
// whichever of the pool's threads they run.
void* CurrentTally() { return InHand(); }
void* InstallTally(void* tally) {
  return std::exchange(tInHand, static_cast<RefusalScope::Tally*>(tally));
}
[[maybe_unused]] const bool kCarriedIntoBands = (CarryIntoBands({&CurrentTally, &InstallTally}), true);

std::atomic<int64_t> gLiveBlocks{0};
// Allocations left before the injected failure; -1 when none is pending.
std::atomic<int64_t> gFailCountdown{-1};

bool injectedFailure() {
  return gFailCountdown.load(std::memory_order_relaxed) >= 0 && gFailCountdown.fetch_sub(1) == 0;
}
std::atomic<int64_t> gBlockLimit{-1};

Header* headerOf(const void* p) {
  return reinterpret_cast<Header*>(const_cast<char*>(static_cast<const char*>(p)) - sizeof(Header));
}

Ptr allocate(int64_t size, bool clear) {
  const int64_t limit = gBlockLimit.load();
  if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX - sizeof(Header) ||
      (limit >= 0 && size > limit)) {
    gMemError = -108;
    Refused();
    return nullptr;
  }
  if (injectedFailure()) {
    gMemError = -108;
    Refused();
    return nullptr;
  }
  const size_t total = sizeof(Header) + static_cast<size_t>(size);
  void* raw = clear ? std::calloc(1, total) : std::malloc(total);
  if (raw == nullptr) {
    gMemError = -108;
    Refused();
    return nullptr;
  }
  auto* h = static_cast<Header*>(raw);
  h->tag = kLiveTag;
  h->size = size;
  ++gLiveBlocks;
  gMemError = 0;
  return reinterpret_cast<Ptr>(h + 1);
}

}  // namespace

Ptr NewPtr(int64_t size) { return allocate(size, false); }
Ptr NewPtrClear(int64_t size) { return allocate(size, true); }

void DisposePtr(void* p) {
  if (p == nullptr) {
    gMemError = -1;
    return;
  }
  Header* h = headerOf(p);
  if (h->tag != kLiveTag) {
    gMemError = -1;
    return;
  }
  h->tag = kDeadTag;
  --gLiveBlocks;
  std::free(h);
  gMemError = 0;
}

int64_t GetPtrSize(const void* p) {
  if (p == nullptr) return -1;
  const Header* h = headerOf(p);
  return h->tag == kLiveTag ? h->size : -1;
}

int32_t MemError() { return gMemError; }
int64_t LiveBlockCount() { return gLiveBlocks.load(); }
void FailNthAllocation(int64_t n) { gFailCountdown.store(n < 0 ? -1 : n); }
int64_t SetBlockLimit(int64_t bytes) { return gBlockLimit.exchange(bytes < 0 ? -1 : bytes); }
int64_t RefusedBlockCount() { return InHand()->count.load(std::memory_order_relaxed); }
int64_t RefusedBlockCountOnAnyThread() { return gRefusedAnywhere.load(std::memory_order_relaxed); }
void CountRefusedBlock() { Refused(); }

RefusalScope::RefusalScope() : before_(tInHand) {
  own_.outer = InHand();
  tInHand = &own_;
}

RefusalScope::~RefusalScope() { tInHand = before_; }

}  // namespace plat
