#include "platform/random/random.h"

#include <cstdlib>
#include <ctime>

namespace plat {

namespace {
int32_t libcRandom() { return static_cast<int32_t>(::random()); }
void libcSeed(uint32_t seed) { ::srandom(seed); }
uint32_t clockSeed() { return static_cast<uint32_t>(std::time(nullptr)); }

RandomFunction gNext = libcRandom;
SeedFunction gSeed = libcSeed;
TimeSeedFunction gTimeSeed = clockSeed;
}  // namespace

int32_t Random() { return gNext(); }
void SeedRandom(uint32_t seed) { gSeed(seed); }
uint32_t TimeSeed() { return gTimeSeed(); }

void SetRandomFunctions(RandomFunction next, SeedFunction seed) {
  gNext = next ? next : libcRandom;
  gSeed = seed ? seed : libcSeed;
}

void SetTimeSeedFunction(TimeSeedFunction fn) { gTimeSeed = fn ? fn : clockSeed; }

}  // namespace plat
