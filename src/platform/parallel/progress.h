// How much of a long piece of work is done, for a window that shows it as it goes.
//
// Whoever starts the work (the session's render of a confirmed effect) hands it a
// ProgressMeter under a ProgressScope, as it hands it a cancel flag, and reads the meter's
// share from any thread (the window polls it). The work divides its span of the meter into
// stages (ProgressStage: the operations of a render, the steps of one operation) and says how
// far it is through the innermost one (ReportProgress). Each top-level ParallelFor does the
// second by itself: a band done moves the span on by its share of the loop's bands, so a
// kernel whose work is one loop over rows reports with no code of its own. A kernel whose
// loops differ much in cost names a stage for its long one.
//
// The meter never goes back: a report below what it already shows changes nothing, so the
// stages of one span may be reported from many threads and in any order. Without a scope the
// calls cost a look at a thread-local pointer and do nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace plat {

class ProgressMeter {
 public:
  // The share is kept in millionths.
  static constexpr int32_t kWhole = 1000000;

  ProgressMeter() = default;
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // The share done, 0 to kWhole; only ever grows. Any thread.
  int32_t parts() const { return parts_.load(std::memory_order_relaxed); }
  double share() const { return parts() / static_cast<double>(kWhole); }

  // Raises the share to `parts` (clamped to 0..kWhole) if that is more than it shows.
  void Raise(int64_t parts);

  // Called with each new share, in the order the meter took them (tests record the reports
  // through it). Set it before the work starts; it runs on the reporting thread, under the
  // meter's lock, so it must be short.
  void SetObserver(std::function<void(int32_t parts)> observer);

 private:
  std::atomic<int32_t> parts_{0};
  std::mutex observerLock_;
  std::function<void(int32_t)> observer_;
};

// The calling thread's span of its meter: reports of 0..1 of the work at hand land on
// [from, to] of the meter's whole. Null meter outside any scope.
struct ProgressSpan {
  ProgressMeter* meter = nullptr;
  int64_t from = 0, to = 0;  // in the meter's parts
};

ProgressSpan CurrentProgressSpan();

// Makes `span` the calling thread's until the scope ends (ParallelFor hands the caller's span
// to the pool's threads this way); scopes nest.
class ProgressSpanScope {
 public:
  explicit ProgressSpanScope(const ProgressSpan& span);
  ~ProgressSpanScope();
  ProgressSpanScope(const ProgressSpanScope&) = delete;
  ProgressSpanScope& operator=(const ProgressSpanScope&) = delete;

 private:
  ProgressSpan outer_;
};

// The whole of `meter` (null for none) is the calling thread's span until the scope ends.
class ProgressScope : public ProgressSpanScope {
 public:
  explicit ProgressScope(ProgressMeter* meter);
};

// Narrows the calling thread's span to the part [from, to] (shares of 0..1) of itself until
// the stage ends. A stage reports its end when it ends, so that work which returns early
// from a stage (a kernel with nothing to do) still moves the meter on; a cancelled stage does
// not.
class ProgressStage : public ProgressSpanScope {
 public:
  ProgressStage(double from, double to);
  ~ProgressStage();
};

// Reports `done` of `total` of the calling thread's span (nothing without a meter, or for a
// total of 0 or less).
void ReportProgress(int64_t done, int64_t total);

}  // namespace plat
