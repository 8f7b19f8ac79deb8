// The G'MIC peer's timing loop, for the benchmarks that set G'MIC's own commands beside
// an engine (built only where its development package was found).
#pragma once

#if defined(VMK_PEER_GMIC)
#include <benchmark/benchmark.h>
#include <gmic.h>

#include <cstdint>

// G'MIC making and working its own picture by `command`, `pixels` items an iteration.
inline void RunGmic(benchmark::State& state, const char* command, int64_t pixels) {
  for (auto _ : state) {
    gmic_list<float> images;
    gmic_list<char> names;
    gmic(command, images, names);
    benchmark::DoNotOptimize(images._data);
  }
  state.SetItemsProcessed(state.iterations() * pixels);
}
#endif
