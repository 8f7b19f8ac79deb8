// The one source of random numbers.
//
// Every effect that draws random numbers goes through here, so that a test
// can fix the seed (or substitute the generator) and get reproducible
// pixels. The default generator gives the numbers of the C library's
// srandom/random, range 0..2^31-1. Draws that the user expects to differ from run to run take
// their seed from timeSeed(), which tests can also pin.
#pragma once

#include <cstdint>
#include <memory>

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

// The current generator's table into run, when the generator is the default one; false when
// a substituted generator is in use (its draws can then only come in order).
bool TakeRandomRun(RandomRun* run);
// Moves the current generator on by n draws, as n calls of Random() would (for the default
// generator without making them).
void SkipRandom(int64_t n);

// --- A render's own numbers -----------------------------------------------------------------
//
// Two renders run at once (two windows' previews, the layered editor's render beside the
// preview of a window it opened), and an effect that seeds the generator and then draws from
// it must get the numbers that follow its seed, not those another render's draws left between
// them. So the default generator is the thread's current one: while a RenderRandomScope lives
// on a thread, Random, RandomDraws, SeedRandom, TakeRandomRun and SkipRandom act on a table of
// the scope's own, and the pool's threads that run the bands of a loop started under it draw
// from that table too (ParallelFor passes it on, as it passes on the cancel flag).
//
// The scope's table starts as a copy of the process generator's, and when the render drew,
// seeded or jumped, the process generator takes the render's table back at the end. So a
// render alone draws the numbers it always drew, from the seed a test set or from where the
// render before it stopped (an effect that never seeds, such as the painter's strokes, goes on
// from there), and one render's seeding or drawing never reaches a render beside it. A scope
// that drew nothing gives nothing back: the process generator keeps what was set meanwhile.
// Outside any scope (the dialogs' own draws) the process generator is drawn from, as before.
// A substituted generator (SetRandomFunctions) stays the one generator of every thread, for
// tests that run one render at a time. A scope inside another on the same thread changes
// nothing.
class RenderRandomScope {
 public:
  RenderRandomScope();
  ~RenderRandomScope();
  RenderRandomScope(const RenderRandomScope&) = delete;
  RenderRandomScope& operator=(const RenderRandomScope&) = delete;

  struct Table;

 private:
  std::unique_ptr<Table> own_;
};

// Replaces the generator (null restores srandom/random).
void SetRandomFunctions(RandomFunction next, SeedFunction seed);
// Replaces the clock seed source (null restores the clock).
void SetTimeSeedFunction(TimeSeedFunction fn);

}  // namespace plat
