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

// Replaces the generator (null restores srandom/random).
void SetRandomFunctions(RandomFunction next, SeedFunction seed);
// Replaces the clock seed source (null restores the clock).
void SetTimeSeedFunction(TimeSeedFunction fn);

}  // namespace plat
