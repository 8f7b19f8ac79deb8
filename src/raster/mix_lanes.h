// The replacement mix of a run of samples in 16-bit lanes: each sample moved toward its new
// value by a weight in 0..255, the mask's sample times an opacity / 255 or the opacity alone.
// Every product of a sample and a weight is at most 255 x 255, so the sum fits in 16 bits and
// its quotient by 255 is the integer one - the same bytes at every vector width. The operations'
// mix truncates; the nearest form adds 127 before dividing (still within 16 bits), for the
// filters that keep a picture's brightness, where a truncated mix would take half a level.
#pragma once

#include <cstdint>

namespace lanemix {

// What the nearest form adds to a mix's sum before dividing it by 255.
constexpr uint16_t kNearestLift = 127;

// The mix of one sample, weight a in 0..255, truncated (kLift 0) or to the nearest.
template <uint16_t kLift = 0>
inline unsigned char MixLane(uint16_t old, uint16_t value, uint16_t a) {
  return static_cast<unsigned char>(static_cast<uint16_t>((255 - a) * old + a * value + kLift) /
                                    255);
}

// The weight of a mask sample times an opacity in 0..255.
inline uint16_t MaskLane(uint16_t mask, uint16_t op) {
  return static_cast<uint16_t>(static_cast<uint16_t>(mask * op) / 255);
}

// Samples a step of MixRun takes at once. The build's -O2 vectorises only loops that need no
// remainder (its cheap cost model): a loop of a fixed 16 samples becomes vector code, where a
// loop over the run's n samples stayed one sample at a time (three 6000 x 4000 planes blended
// through a mask: about 3 times as long).
constexpr int32_t kMixStep = 16;

// p[i] = MixLane(p[i], value[i], weight) for i < n, weight mask[i] * opacity / 255 or opacity
// without a mask; opacity in 0..255. Inline, for the callers that mix short runs.
template <uint16_t kLift = 0>
inline void MixRun(unsigned char* __restrict p, const unsigned char* __restrict value,
                   const unsigned char* __restrict mask, int32_t opacity, int32_t n) {
  const auto op = static_cast<uint16_t>(opacity);
  int32_t i = 0;
  if (mask == nullptr) {
    for (; i + kMixStep <= n; i += kMixStep)
      for (int32_t j = 0; j < kMixStep; ++j)
        p[i + j] = MixLane<kLift>(p[i + j], value[i + j], op);
    for (; i < n; ++i) p[i] = MixLane<kLift>(p[i], value[i], op);
    return;
  }
  for (; i + kMixStep <= n; i += kMixStep)
    for (int32_t j = 0; j < kMixStep; ++j)
      p[i + j] = MixLane<kLift>(p[i + j], value[i + j], MaskLane(mask[i + j], op));
  for (; i < n; ++i) p[i] = MixLane<kLift>(p[i], value[i], MaskLane(mask[i], op));
}

using MixRunFn = void (*)(unsigned char* p, const unsigned char* value, const unsigned char* mask,
                          int32_t opacity, int32_t n);

// The widest form this processor runs (the same bytes as MixRun), for long runs; and of the
// nearest form (the bytes of MixRun<kNearestLift>).
MixRunFn PickMixRun();
MixRunFn PickMixRunNearest();

}  // namespace lanemix
