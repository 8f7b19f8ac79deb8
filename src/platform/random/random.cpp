#include "platform/random/random.h"

#include <ctime>
#include <mutex>

namespace plat {

namespace {

// The C library's srandom/random, reproduced so that many draws can be taken at once
// (a film grain draws three per pixel: 72 million for a 24-megapixel picture, where a
// call of random() each cost well over half a second). It is the library's additive
// generator of degree 31: a table of 31 words seeded through the minimal standard
// generator, each draw the sum of the words 3 and 31 back, stored, less its lowest bit;
// 310 draws are thrown away after seeding. The same seed gives the library's numbers.
class Additive {
 public:
  Additive() { Seed(1); }

  void Seed(uint32_t seed) {
    if (seed == 0) seed = 1;
    auto word = static_cast<int32_t>(seed);
    state_[0] = static_cast<uint32_t>(word);
    for (int32_t i = 1; i < kDegree; ++i) {
      const int64_t hi = word / 127773, lo = word % 127773;
      int64_t next = 16807 * lo - 2836 * hi;
      word = static_cast<int32_t>(next);
      if (word < 0) word = static_cast<int32_t>(int64_t{word} + 2147483647);
      state_[i] = static_cast<uint32_t>(word);
    }
    front_ = kSeparation;
    rear_ = 0;
    for (int32_t i = 0; i < 10 * kDegree; ++i) (void)Next();
  }

  // The next count draws into out: the table laid out oldest word first, so the sum of the
  // words 31 and 3 back is a plain loop over a line rather than two wrapping cursors.
  void Fill(int32_t* out, int64_t count) {
    constexpr int32_t kBlock = 4096;
    uint32_t line[kDegree + kBlock];
    while (count > 0) {
      const int32_t m = count < kBlock ? static_cast<int32_t>(count) : kBlock;
      for (int32_t k = 0; k < kDegree; ++k) line[k] = state_[(front_ + k) % kDegree];
      for (int32_t i = 0; i < m; ++i) {
        line[kDegree + i] = line[i] + line[kDegree - kSeparation + i];
        out[i] = static_cast<int32_t>(line[kDegree + i] >> 1);
      }
      front_ = (front_ + m) % kDegree;
      rear_ = (front_ + kDegree - kSeparation) % kDegree;
      for (int32_t k = 0; k < kDegree; ++k) state_[(front_ + k) % kDegree] = line[m + k];
      out += m;
      count -= m;
    }
  }

  int32_t Next() {
    const uint32_t v = state_[front_] += state_[rear_];
    front_ = front_ + 1 == kDegree ? 0 : front_ + 1;
    rear_ = rear_ + 1 == kDegree ? 0 : rear_ + 1;
    return static_cast<int32_t>(v >> 1);
  }

 private:
  static constexpr int32_t kDegree = 31, kSeparation = 3;
  uint32_t state_[kDegree];
  int32_t front_ = kSeparation, rear_ = 0;
};

// One generator for the process, as the library's was; its lock keeps the draws of two
// threads from tearing its table, as the library's did.
std::mutex gLock;
Additive gAdditive;

int32_t libcRandom() {
  std::lock_guard<std::mutex> hold(gLock);
  return gAdditive.Next();
}
void libcSeed(uint32_t seed) {
  std::lock_guard<std::mutex> hold(gLock);
  gAdditive.Seed(seed);
}
uint32_t clockSeed() { return static_cast<uint32_t>(std::time(nullptr)); }

RandomFunction gNext = libcRandom;
SeedFunction gSeed = libcSeed;
TimeSeedFunction gTimeSeed = clockSeed;
}  // namespace

int32_t Random() { return gNext(); }
void SeedRandom(uint32_t seed) { gSeed(seed); }
uint32_t TimeSeed() { return gTimeSeed(); }

void RandomDraws(int32_t* out, int64_t count) {
  if (gNext == libcRandom) {
    std::lock_guard<std::mutex> hold(gLock);
    gAdditive.Fill(out, count);
    return;
  }
  for (int64_t i = 0; i < count; ++i) out[i] = gNext();
}

void SetRandomFunctions(RandomFunction next, SeedFunction seed) {
  gNext = next ? next : libcRandom;
  gSeed = seed ? seed : libcSeed;
}

void SetTimeSeedFunction(TimeSeedFunction fn) { gTimeSeed = fn ? fn : clockSeed; }

}  // namespace plat
