#include "platform/parallel/progress.h"

#include <algorithm>
#include <utility>

#include "platform/parallel/cancel.h"

namespace plat {
namespace {

thread_local ProgressSpan t_span;

ProgressSpan Narrow(const ProgressSpan& outer, double from, double to) {
  if (outer.meter == nullptr) return outer;
  from = std::clamp(from, 0.0, 1.0);
  to = std::clamp(to, from, 1.0);
  const auto width = static_cast<double>(outer.to - outer.from);
  ProgressSpan inner = outer;
  inner.from = outer.from + static_cast<int64_t>(width * from);
  inner.to = outer.from + static_cast<int64_t>(width * to);
  return inner;
}

}  // namespace

void ProgressMeter::Raise(int64_t parts) {
  const auto want = static_cast<int32_t>(std::clamp<int64_t>(parts, 0, kWhole));
  int32_t now = parts_.load(std::memory_order_relaxed);
  if (want <= now) return;
  if (!observer_) {
    while (now < want && !parts_.compare_exchange_weak(now, want, std::memory_order_relaxed)) {
    }
    return;
  }
  // With an observer the new share and its report go together, so that the reports come in
  // the order of the shares.
  const std::lock_guard<std::mutex> hold(observerLock_);
  if (want <= parts_.load(std::memory_order_relaxed)) return;
  parts_.store(want, std::memory_order_relaxed);
  observer_(want);
}

void ProgressMeter::SetObserver(std::function<void(int32_t)> observer) {
  const std::lock_guard<std::mutex> hold(observerLock_);
  observer_ = std::move(observer);
}

ProgressSpan CurrentProgressSpan() { return t_span; }

ProgressSpanScope::ProgressSpanScope(const ProgressSpan& span) : outer_(t_span) { t_span = span; }

ProgressSpanScope::~ProgressSpanScope() { t_span = outer_; }

ProgressScope::ProgressScope(ProgressMeter* meter)
    : ProgressSpanScope(ProgressSpan{meter, 0, ProgressMeter::kWhole}) {}

ProgressStage::ProgressStage(double from, double to)
    : ProgressSpanScope(Narrow(CurrentProgressSpan(), from, to)) {}

ProgressStage::~ProgressStage() {
  if (!Cancelled()) ReportProgress(1, 1);
}

void ReportProgress(int64_t done, int64_t total) {
  const ProgressSpan& s = t_span;
  if (s.meter == nullptr || total <= 0) return;
  done = std::clamp<int64_t>(done, 0, total);
  const auto width = static_cast<double>(s.to - s.from);
  s.meter->Raise(s.from + static_cast<int64_t>(width * static_cast<double>(done) /
                                               static_cast<double>(total)));
}

}  // namespace plat
