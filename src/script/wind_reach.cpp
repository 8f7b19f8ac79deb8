#include "script/wind_reach.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

// The walk, taken on the average over the streaks' lengths: pixel t - j (4 <= j < L) pulls
// sample t toward its own value by c_j = P(S > j) floor(j / 4) / L, the farthest pixel first.
// So t keeps b = prod (1 - c_j) of its own value and takes a_j = c_j prod_{j' < j} (1 - c_j')
// of what the wind left at t - j: a renewal, each value carried on by hops of j with weight
// a_j, stopping with weight b. Its mean is sum j a_j / b and its variance
// sum j^2 a_j / b + mean^2, where a_j / b = c_j / prod_{j' >= j} (1 - c_j').
WindPull WindPullOf(int32_t length, int32_t randomness) {
  WindPull out;
  if (length <= 4 || randomness < 0 || randomness > 10) return out;
  const int32_t L = length;
  // A draw's cut is floor(L d) for d in [0, 1): each of 0 .. L - 1 alike; the streak is
  // S = L - cut randomness / 10 steps long, 1 .. L.
  std::vector<int32_t> ofLength(static_cast<size_t>(L) + 1, 0);
  for (int32_t cut = 0; cut < L; ++cut) ++ofLength[static_cast<size_t>(L - cut * randomness / 10)];
  // longer = the number of cuts whose streak is longer than j, from j = L - 1 down.
  int32_t longer = ofLength[static_cast<size_t>(L)];
  double tail = 1.0, mean = 0.0, second = 0.0;
  for (int32_t j = L - 1; j >= 4; --j) {
    const double c = static_cast<double>(longer) / L * (j / 4) / L;
    tail *= 1.0 - c;
    if (!(tail > 0.0)) {
      out.mean = out.spread = std::numeric_limits<double>::infinity();
      return out;
    }
    mean += j * c / tail;
    second += static_cast<double>(j) * j * c / tail;
    longer += ofLength[static_cast<size_t>(j)];
  }
  out.mean = mean;
  out.spread = std::sqrt(second + mean * mean);
  return out;
}

int16_t FittedWindLength(int16_t length, int16_t randomness, float scale) {
  const auto scaled = [&] {
    if (length <= 0) return length;
    return static_cast<int16_t>(std::clamp(static_cast<int32_t>(length * scale + 0.5f), 1, int32_t{INT16_MAX}));
  };
  if (randomness < 0 || randomness > 10 || !(scale > 0.0f) || scale == 1.0f) return scaled();
  // Streaks of 4 steps or less carry nothing, and on planes of any scale nothing is what they
  // carry: on larger planes a length scaled past 4 would draw a wind the picture has not.
  if (length <= 4) return std::min(scaled(), length);
  const WindPull full = WindPullOf(length, randomness);
  if (!std::isfinite(full.mean) || !std::isfinite(full.spread)) return scaled();
  const double wantMean = full.mean * scale, wantSpread = full.spread * scale;
  // The pull grows with the length (the carried share of each sample falls): the search ends
  // once a length carries further both ways than wanted. Lengths of 4 and less carry nothing.
  // On smaller planes the length is at most the picture's; on larger ones the search runs on
  // past it, as far as the wanted pull, and never past the longest streak a length can name.
  int16_t best = std::min<int16_t>(scaled(), 4);
  double bestMiss = wantMean + wantSpread;
  const int32_t last = scale < 1.0f ? int32_t{length} : int32_t{INT16_MAX};
  for (int32_t l = 5; l <= last; ++l) {
    const WindPull p = WindPullOf(l, randomness);
    if (!std::isfinite(p.mean) || !std::isfinite(p.spread)) break;
    const double miss = std::fabs(p.mean - wantMean) + std::fabs(p.spread - wantSpread);
    if (miss < bestMiss) {
      best = static_cast<int16_t>(l);
      bestMiss = miss;
    }
    if (p.mean > wantMean && p.spread > wantSpread) break;
  }
  return best;
}
