// The one source of random numbers.
//
// Every effect that draws random numbers goes through here, so that a test
// can fix the seed (or substitute the generator) and get reproducible
// pixels. The default generator gives the numbers of the C library's
// srandom/random, range 0..2^31-1. Draws that the user expects to differ from run to run take
// their seed from timeSeed(), which tests can also pin.
#pragma once

#include <cstdint>

namespace plat {

using RandomFunction = int32_t (*)();
using SeedFunction = void (*)(uint32_t);
using TimeSeedFunction = uint32_t (*)();

// A number in 0..2^31-1 from the current generator.
int32_t Random();
// The next `count` numbers of the current generator into out, in order: what as many
// calls of Random() give, taken at once.
void RandomDraws(int32_t* out, int64_t count);
// Seeds the current generator.
void SeedRandom(uint32_t seed);
// A seed for "different every time" draws (the clock unless a test set it).
uint32_t TimeSeed();

// --- Draws taken out of order -------------------------------------------------------------
//
// The default generator's sequence is linear: each word is the sum (mod 2^32) of the words 3
// and 31 before it. So the table after n draws is a fixed combination of the table now, the
// coefficients being those of x^n reduced by x^31 - x^28 - 1, found by squaring in about
// log2(n) steps. A band of rows that knows how many draws come before its first row can thus
// start its own copy of the generator there and draw beside the other bands, giving each
// pixel the very number that drawing pixel after pixel gives it.

// A copy of the default generator's table at one point of its sequence, drawing on its own.
class RandomRun {
 public:
  static constexpr int32_t kDegree = 31;
  static constexpr int32_t kSeparation = 3;

  // The table that srandom(seed) leaves.
  explicit RandomRun(uint32_t seed = 1);

  // The next draw, as random() would give it.
  int32_t Next();
  // The next count draws into out, in order.
  void Fill(int32_t* out, int64_t count);
  // Fill(out, count) and other.Fill(otherOut, count) side by side: each draw waits on the
  // one three before it, so two tables worked in turn keep the processor busier than one.
  void FillTwo(int32_t* out, RandomRun& other, int32_t* otherOut, int64_t count);
  // Moves on by n draws without making them, in about log2(n) steps of 31 x 31 products.
  void Skip(uint64_t n);

  // The table's kDegree words into words, oldest first: the one 31 before the next draw's.
  void Words(uint32_t* words) const;

 private:
  // A ring: state_[front_] is the oldest word, the one 31 before the next draw's.
  uint32_t state_[kDegree];
  int32_t front_ = 0;
};

// The process generator's current table into run, when the generator is the default one;
// false when a substituted generator is in use (its draws can then only come in order).
bool TakeRandomRun(RandomRun* run);
// Moves the process generator on by n draws, as n calls of Random() would (for the default
// generator without making them).
void SkipRandom(int64_t n);

// Replaces the generator (null restores srandom/random).
void SetRandomFunctions(RandomFunction next, SeedFunction seed);
// Replaces the clock seed source (null restores the clock).
void SetTimeSeedFunction(TimeSeedFunction fn);

}  // namespace plat
