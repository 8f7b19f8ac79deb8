// One parallel-for over rows.
//
// Kernels whose rows are independent hand a row range to ParallelFor, which
// cuts it into bands of `band` rows and runs the bands on the shared thread
// pool. The bands depend only on the range and the band height, never on the
// number of threads, so a kernel that keeps state per band (a window of
// unfiltered rows, a running sum) gives the same samples at any count.
//
// Bodies must not touch process-wide state: work memory (plat::Block from
// the session) is taken before the loop, one piece per band if need be
// (BandCount tells how many), never inside it. A ParallelFor called from a
// body runs its bands in order on the calling thread.
//
// Every band runs, cancelled or not: what follows a loop reads all of its
// rows. A body that can stop early looks at plat::Cancelled() (cancel.h),
// which answers on the pool's threads as on the caller's, and the kernel
// then returns before anything reads the rows it left.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace plat {

// Threads a loop may use: the host's cores, unless the environment variable
// VMK_THREADS (read once) or SetThreadCount says otherwise. At least 1.
int ThreadCount();
// Sets the count for every later loop; 0 or less goes back to the default
// (VMK_THREADS, else the cores).
void SetThreadCount(int count);

// Number of bands [begin, end) falls into; 0 for an empty range.
int32_t BandCount(int32_t begin, int32_t end, int32_t band);

// Loops started under it report nothing to a progress meter (progress.h): passes over memory
// that take a negligible part of the work they serve, which would otherwise fill the share of
// the work ahead of them in a moment.
class QuietProgress {
 public:
  QuietProgress();
  ~QuietProgress();
  QuietProgress(const QuietProgress&) = delete;
  QuietProgress& operator=(const QuietProgress&) = delete;

 private:
  bool outer_;
};

// A thread's own state that the bands of its loops take on, on whichever of the pool's
// threads they run, as they take on its cancel flag and progress span. The floors above that
// keep one name it by two functions, once, as the program starts: the random generator, whose
// render's own table the bands must draw from, and the count of refused memory blocks, which
// must reach the work that started the loop, not the one whose thread runs the band.
struct CarriedState {
  void* (*current)() = nullptr;             // the calling thread's state
  void* (*install)(void* state) = nullptr;  // makes it the calling thread's; the one it had
};
// Registers a state the bands carry: each once, before any loop runs; at most four.
void CarryIntoBands(CarriedState state);

// Every carried state as the calling thread holds it now: what the bands of a loop it started
// now would take on.
class BandStates {
 public:
  BandStates();

 private:
  friend class InBandStates;
  void* states_[4] = {};
};

// While alive, the calling thread holds `states` as a band of their loop does; it gets its own
// back after.
class InBandStates {
 public:
  explicit InBandStates(const BandStates& states);
  ~InBandStates();
  InBandStates(const InBandStates&) = delete;
  InBandStates& operator=(const InBandStates&) = delete;

 private:
  void* outer_[4] = {};
};

// The body of a loop without the cost of a std::function: a function and the
// object it acts on.
struct BandBody {
  void* object = nullptr;
  // Rows [first, last) of band number `index`.
  void (*call)(void* object, int32_t index, int32_t first, int32_t last) = nullptr;
};

// Runs body over every band of [begin, end); returns when all have run.
void ParallelBands(int32_t begin, int32_t end, int32_t band, BandBody body);

// body(index, first, last) for band `index` covering rows [first, last).
template <typename F>
  requires std::is_invocable_v<F&, int32_t, int32_t, int32_t>
void ParallelFor(int32_t begin, int32_t end, int32_t band, F&& body) {
  using Body = std::remove_reference_t<F>;
  ParallelBands(begin, end, band,
                BandBody{const_cast<void*>(static_cast<const void*>(&body)),
                         [](void* o, int32_t index, int32_t first, int32_t last) {
                           // A copy on this thread's stack: the values the body
                           // captured then live in registers, where a store
                           // through a sample pointer cannot be taken to change
                           // them (in the caller's object every such store
                           // would force a reload).
                           if constexpr (std::is_copy_constructible_v<Body>) {
                             Body local(*static_cast<const Body*>(o));
                             local(index, first, last);
                           } else {
                             (*static_cast<Body*>(o))(index, first, last);
                           }
                         }});
}

// body(first, last) for rows [first, last), when the band index is of no use.
template <typename F>
  requires std::is_invocable_v<F&, int32_t, int32_t>
void ParallelFor(int32_t begin, int32_t end, int32_t band, F&& body) {
  using Body = std::remove_reference_t<F>;
  if constexpr (std::is_copy_constructible_v<Body>) {
    // Held by value, so that each band runs on its own copy (see above).
    ParallelFor(begin, end, band,
                [body](int32_t, int32_t first, int32_t last) { body(first, last); });
  } else {
    ParallelFor(begin, end, band,
                [&body](int32_t, int32_t first, int32_t last) { body(first, last); });
  }
}

}  // namespace plat
