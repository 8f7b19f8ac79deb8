// Stopping work that nobody waits for any more.
//
// Whoever starts a piece of work that may go stale (a preview whose values
// have changed since, a render the user cancels) hands it a CancelFlag and
// raises the flag from any thread when the result is no longer wanted. The
// work runs under a CancelScope naming the flag (ParallelFor passes it on to
// the pool's threads), and the long loops look at Cancelled() between rows,
// bands or steps and return early, at a point where nothing reads what they
// left unfinished. What a cancelled piece of work leaves in its buffers is
// unfinished: its owner drops it.
//
// Nothing changes for work that runs under no scope: Cancelled() is false.
#pragma once

#include <atomic>

namespace plat {

class CancelFlag {
 public:
  CancelFlag() = default;
  CancelFlag(const CancelFlag&) = delete;
  CancelFlag& operator=(const CancelFlag&) = delete;

  void Cancel() { raised_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return raised_.load(std::memory_order_relaxed); }

 private:
  std::atomic<bool> raised_{false};
};

// The flag the calling thread's work answers to; null outside any scope.
const CancelFlag* CurrentCancelFlag();
// True when the calling thread's work has been cancelled.
bool Cancelled();

// Makes `flag` (null for none) the calling thread's flag until the scope
// ends; scopes nest.
class CancelScope {
 public:
  explicit CancelScope(const CancelFlag* flag);
  ~CancelScope();
  CancelScope(const CancelScope&) = delete;
  CancelScope& operator=(const CancelScope&) = delete;

 private:
  const CancelFlag* outer_;
};

}  // namespace plat
