#include "engines/correction/colour_matrix_dither.h"

#include <cmath>
#include <mutex>

#include "platform/memory/block.h"

namespace {

constexpr double kSeed = 21348759609.0;

struct AleaState {
  double first = kSeed;   // S_alea and S_precalcul_alea
  double second = kSeed;  // S2_alea
  // Plain memory: the table outlives any one session.
  plat::Block<uint8_t> table;
  int32_t index = 0;
  bool refill = true;
  // Two windows' previews and OK's render can dither at once on different threads; without
  // it one render's release frees the byte table under another's read.
  std::mutex lock;
};

AleaState& State() {
  static AleaState state;
  return state;
}

// The middle subtraction is 68719416736, not 2^36: stored renders depend on the sequence.
double Step(double x) {
  x *= 5.0;
  if (x >= 137438953472.0) x -= 137438953472.0;
  if (x >= 68719416736.0) x -= 68719416736.0;
  if (x >= 34359738368.0) x -= 34359738368.0;
  return x;
}

// An absurd scale would leave the integer range: it gives 0 rather than an undefined value.
int16_t Low16(double v) {
  if (!(std::fabs(v) < 9.0e18)) return 0;
  return static_cast<int16_t>(static_cast<int64_t>(v) & 0xFFFF);
}

}  // namespace

int16_t S2_alea(int16_t release) {
  AleaState& s = State();
  const std::lock_guard<std::mutex> hold(s.lock);
  if (release == 1) {
    s.refill = true;
    s.table = plat::Block<uint8_t>();
    return 0;
  }
  if (s.refill) {
    if (!s.table) s.table = plat::Block<uint8_t>(kAleaTableSize);
    if (!s.table) return 0;
    for (int32_t i = 0; i < kAleaTableSize; ++i) {
      s.second = Step(s.second);
      s.table[i] = static_cast<uint8_t>(static_cast<int64_t>(s.second / 100000000.0) & 0xFF);
    }
    s.refill = false;
  }
  if (s.index >= kAleaTableSize) s.index = 0;
  return s.table[s.index++];
}

int16_t S_alea(double scale) {
  AleaState& s = State();
  const std::lock_guard<std::mutex> hold(s.lock);
  s.first = Step(s.first);
  return Low16((s.first - 17180000000.0) * scale);
}

void S_precalcul_alea(uint8_t* table, int16_t shaped, int16_t deviation) {
  if (table == nullptr) return;
  AleaState& s = State();
  const std::lock_guard<std::mutex> hold(s.lock);
  const double base = deviation / 34359700000.0;
  for (int32_t L = 0; L < kDitherRows; ++L) {
    const double amplitude =
        shaped != 0 ? base * (L < 512 ? L + 64 : 1088 - L) * 0.0078125 : base * 4.0;
    // The carry is the last byte's own error, not a running sum of the row's errors: the
    // rows' dither pattern depends on it as it is.
    int16_t e = 0;
    uint8_t* row = table + L * 256;
    for (int32_t i = 0; i < 256; ++i) {
      s.first = Step(s.first);
      const int32_t t = L - (e >> 2);
      const int16_t noise = Low16(amplitude * (s.first - 17180000000.0));
      const int16_t q = static_cast<int16_t>((t + noise) >> 2);
      const uint8_t byte = q < 0 ? 0 : q > 255 ? 254 : static_cast<uint8_t>(q & ~1);
      row[i] = byte;
      e = static_cast<int16_t>(4 * byte - L);
    }
  }
}

void ResetColMatRandom() {
  AleaState& s = State();
  const std::lock_guard<std::mutex> hold(s.lock);
  s.first = kSeed;
  s.second = kSeed;
  s.table = plat::Block<uint8_t>();
  s.index = 0;
  s.refill = true;
}
