// A ratio row beside an engine benchmark and its peer, as bench/peers prints them: the two
// are timed here side by side in one run (a warm-up call each, then the median of `reps`
// calls, the two taking turns so that both see the same load), and a sanity check shows that
// each did the work: the mean absolute change each made to its picture, and the mean absolute
// difference between the two results where they answer the same question.
//
// Each row prints one line `RATIO|name|project ms|peer ms|ratio|project change|peer change|
// mean difference|note` to standard output, which `scripts/bench peers` gathers into one
// table, and shows the same figures as the benchmark's counters.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct PeerRatio {
  double projectMs = 0, peerMs = 0;
  double projectChange = 0, peerChange = 0;  // mean |result - input| of each side
  double meanDifference = -1;                // mean |project - peer|; -1 where not comparable
};

// Mean absolute difference of two byte arrays over their common length.
inline double MeanAbsDifference(const uint8_t* a, const uint8_t* b, size_t n) {
  if (n == 0) return 0;
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
  return sum / static_cast<double>(n);
}

// Times project() and peer() alternately: a warm-up call each, then `reps` calls each; the
// medians in milliseconds.
inline void TimeSideBySide(const std::function<void()>& project, const std::function<void()>& peer,
                           int reps, PeerRatio* r) {
  using Clock = std::chrono::steady_clock;
  auto once = [](const std::function<void()>& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
  };
  once(project);
  once(peer);
  std::vector<double> a, b;
  for (int i = 0; i < reps; ++i) {
    a.push_back(once(project));
    b.push_back(once(peer));
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  r->projectMs = a[a.size() / 2];
  r->peerMs = b[b.size() / 2];
}

// Prints the row and sets the benchmark's counters and label. A side that changed nothing
// is flagged: its time would be a no-op's.
inline void ReportRatio(benchmark::State& state, const std::string& name, const PeerRatio& r,
                        const std::string& note) {
  const double ratio = r.peerMs > 0 ? r.projectMs / r.peerMs : 0;
  std::string flags = note;
  if (r.projectChange <= 0)
    flags += (flags.empty() ? "" : "; ") + std::string("PROJECT CHANGED NOTHING");
  if (r.peerChange <= 0) flags += (flags.empty() ? "" : "; ") + std::string("PEER CHANGED NOTHING");
  std::printf("RATIO|%s|%.1f|%.1f|%.2f|%.2f|%.2f|%s|%s\n", name.c_str(), r.projectMs, r.peerMs,
              ratio, r.projectChange, r.peerChange,
              r.meanDifference >= 0 ? std::to_string(r.meanDifference).substr(0, 5).c_str() : "-",
              flags.c_str());
  std::fflush(stdout);
  state.counters["project_ms"] = r.projectMs;
  state.counters["peer_ms"] = r.peerMs;
  state.counters["ratio"] = ratio;
  state.counters["project_change"] = r.projectChange;
  state.counters["peer_change"] = r.peerChange;
  if (r.meanDifference >= 0) state.counters["mean_diff"] = r.meanDifference;
  state.SetLabel(flags);
}
