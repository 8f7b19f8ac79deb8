// The colour matrix's pseudo-random bytes and dither table. Two generators share one step
// rule and one seed but keep separate states for the life of the process: S_alea's (which
// S_precalcul_alea advances too) and S2_alea's, whose 16384 bytes are read round and refilled
// after every release, so successive renders dither differently. Any thread may call them.
#pragma once

#include <cstdint>

inline constexpr int32_t kDitherRows = 1024;  // row L serves the value L / 4
inline constexpr int32_t kDitherTableSize = kDitherRows * 256;
inline constexpr int32_t kAleaTableSize = 16384;

// 1 releases the byte table (result 0); anything else draws a byte 0..255.
int16_t S2_alea(int16_t release);
// One step of the first generator, scaled about its middle; the low 16 bits.
int16_t S_alea(double scale);
// Fills the 1024 x 256 dither table: rows of even bytes whose mean follows L / 4, with noise
// of `deviation`, growing toward the middle rows when `shaped` is not 0.
void S_precalcul_alea(uint8_t* table, int16_t shaped, int16_t deviation);

// Both states back to the seed, the byte table released, its index 0: for tests only.
void ResetColMatRandom();
