#include "platform/parallel/parallel.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/partitioner.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/parallel/cancel.h"
#include "platform/parallel/progress.h"

namespace plat {
namespace {

std::atomic<int> g_setCount{0};
// Set while a thread runs a band, so that a nested loop stays on it.
thread_local bool t_inBand = false;

struct InBand {
  bool outer = t_inBand;
  InBand() { t_inBand = true; }
  ~InBand() { t_inBand = outer; }
  InBand(const InBand&) = delete;
  InBand& operator=(const InBand&) = delete;
};

// Set while a band of a loop that reports its bands to a progress meter runs (on whichever
// thread), so that the loops inside it leave the reporting to it.
thread_local bool t_measured = false;

struct Measured {
  bool outer = t_measured;
  explicit Measured(bool on) { t_measured = outer || on; }
  ~Measured() { t_measured = outer; }
  Measured(const Measured&) = delete;
  Measured& operator=(const Measured&) = delete;
};

// Set as the program starts, before any loop.
constexpr int kMostCarried = 4;
constinit CarriedState g_carried[kMostCarried]{};
constinit int g_carriedCount = 0;

int DefaultCount() {
  static const int count = [] {
    const char* env = std::getenv("VMK_THREADS");
    if (env != nullptr && *env != '\0') {
      char* end = nullptr;
      const long n = std::strtol(env, &end, 10);
      if (end != nullptr && *end == '\0' && n > 0) return static_cast<int>(std::min(n, 1024L));
    }
    return std::max(1, tbb::this_task_arena::max_concurrency());
  }();
  return count;
}

void RunBand(const BandBody& body, int32_t begin, int32_t end, int32_t band, int32_t index) {
  const int32_t first = begin + static_cast<int32_t>(static_cast<int64_t>(index) * band);
  const int32_t last = static_cast<int32_t>(std::min<int64_t>(int64_t{first} + band, end));
  body.call(body.object, index, first, last);
}

// One arena per thread count, kept for the process: building an arena starts
// its workers, which on small loops (a screen's cells, a view's preview
// bands) cost more than the loop itself. The arena of the current count is
// shared by every loop; a loop with fewer bands than threads simply leaves
// the other workers idle.
std::shared_ptr<tbb::task_arena> ArenaFor(int threads) {
  static std::mutex lock;
  static std::shared_ptr<tbb::task_arena> arena;
  static int arenaThreads = 0;
  const std::lock_guard<std::mutex> hold(lock);
  if (arena == nullptr || arenaThreads != threads) {
    arena = std::make_shared<tbb::task_arena>(threads);
    arenaThreads = threads;
  }
  return arena;
}

}  // namespace

QuietProgress::QuietProgress() : outer_(t_measured) { t_measured = true; }

QuietProgress::~QuietProgress() { t_measured = outer_; }

int ThreadCount() {
  const int set = g_setCount.load(std::memory_order_relaxed);
  return set > 0 ? set : DefaultCount();
}

void CarryIntoBands(CarriedState state) {
  if (state.current == nullptr || state.install == nullptr) return;
  // A fifth would go uncarried, and its bands would act on the wrong thread's state unseen.
  if (g_carriedCount == kMostCarried) std::abort();
  g_carried[g_carriedCount++] = state;
}

BandStates::BandStates() {
  static_assert(sizeof(states_) / sizeof(states_[0]) == kMostCarried);
  for (int i = 0; i < g_carriedCount; ++i) states_[i] = g_carried[i].current();
}

// The band takes on the loop caller's states for its run and gives the thread its own back:
// a thread waiting on its own loop runs the bands of other loops meanwhile.
InBandStates::InBandStates(const BandStates& states) {
  for (int i = 0; i < g_carriedCount; ++i) outer_[i] = g_carried[i].install(states.states_[i]);
}

InBandStates::~InBandStates() {
  for (int i = g_carriedCount; i-- > 0;) g_carried[i].install(outer_[i]);
}

void SetThreadCount(int count) { g_setCount.store(std::max(count, 0), std::memory_order_relaxed); }

int32_t BandCount(int32_t begin, int32_t end, int32_t band) {
  if (end <= begin) return 0;
  band = std::max(band, 1);
  return static_cast<int32_t>((int64_t{end} - begin + band - 1) / band);
}

void ParallelBands(int32_t begin, int32_t end, int32_t band, BandBody body) {
  band = std::max(band, 1);
  const int32_t bands = BandCount(begin, end, band);
  const int threads = ThreadCount();
  // An outermost loop moves the caller's span of its progress meter on by each band it has
  // done; the loops inside one of its bands leave that to it (inside a loop of one band they
  // measure that band).
  const ProgressSpan span = CurrentProgressSpan();
  const bool reports = span.meter != nullptr && !t_measured && bands > 0;
  const bool owns = reports && bands > 1;
  std::atomic<int32_t> done{0};
  auto bandDone = [&] {
    // The bands of a stopped loop run on to nothing: the meter stays where the work stopped.
    if (!reports || Cancelled()) return;
    const int32_t n = done.fetch_add(1, std::memory_order_relaxed) + 1;
    span.meter->Raise(span.from + (span.to - span.from) * n / bands);
  };
  if (bands <= 1 || threads <= 1 || t_inBand) {
    for (int32_t i = 0; i < bands; ++i) {
      {
        const Measured measured(owns);
        RunBand(body, begin, end, band, i);
      }
      bandDone();
    }
    return;
  }
  // The pool's threads answer to the caller's cancel flag: a body may look
  // at Cancelled() as on the caller's thread; they report into the caller's
  // span and carry the caller's states (a render's own random numbers, its refused blocks).
  const CancelFlag* flag = CurrentCancelFlag();
  const BandStates states;
  const std::shared_ptr<tbb::task_arena> arena = ArenaFor(threads);
  arena->execute([&] {
    tbb::parallel_for(
        tbb::blocked_range<int32_t>(0, bands, 1),
        [&](const tbb::blocked_range<int32_t>& r) {
          const InBand mark;
          const CancelScope scope(flag);
          const InBandStates carrying(states);
          const ProgressSpanScope spanScope(span);
          const Measured measured(owns);
          for (int32_t i = r.begin(); i < r.end(); ++i) {
            RunBand(body, begin, end, band, i);
            bandDone();
          }
        },
        tbb::simple_partitioner());
  });
}

}  // namespace plat
