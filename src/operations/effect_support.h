// What every image operation shares: the inclusive-region clamp, the
// per-sample blend through the numbered kernel, and the whole-plane filter
// frame. Work memory comes in plat::Block from WorkSource().
#pragma once

#include <cstdint>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "app/core/session_state.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
#include "raster/mix_lanes.h"

namespace effect_support {

// Clamps each bound on its own side. An empty result is not an error: the
// loops over it simply run no pixel.
inline void ClampRegion(int32_t width, int32_t height, int32_t& x0, int32_t& y0, int32_t& x1,
                        int32_t& y1) {
  (void)ClipInclusiveRect(width, height, x0, y0, x1, y1);
}

// Runs visit(pixel index y * width + x, x, y) over the clamped region,
// row by row.
template <typename Visit>
inline void ForEachPixel(int32_t width, int32_t height, int32_t x0, int32_t y0, int32_t x1,
                         int32_t y1, Visit visit) {
  ClampRegion(width, height, x0, y0, x1, y1);
  for (int32_t y = y0; y <= y1; ++y) {
    const int64_t row = static_cast<int64_t>(y) * width;
    for (int32_t x = x0; x <= x1; ++x) visit(row + x, x, y);
  }
}

// Rows per band when a pixel loop runs on the shared threads: a band of a
// wide plane is well over the cost of handing it out.
constexpr int32_t kPixelBandRows = 16;

// ForEachPixel with the rows on the shared threads, for visits that touch
// their own pixel and nothing else (no random draws, no session state, no
// work memory taken inside).
template <typename Visit>
inline void ForEachPixelParallel(int32_t width, int32_t height, int32_t x0, int32_t y0,
                                 int32_t x1, int32_t y1, Visit visit) {
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1) return;
  // The bounds by value: a store through a sample pointer could otherwise
  // be taken to change them, and every pixel would reload them.
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows,
                    [&visit, width, x0, x1](int32_t first, int32_t end) {
                      for (int32_t y = first; y < end; ++y) {
                        const int64_t row = static_cast<int64_t>(y) * width;
                        for (int32_t x = x0; x <= x1; ++x) visit(row + x, x, y);
                      }
                    });
}

// Weight of one pixel: the opacity, or mask * opacity / 255 through a mask.
inline int32_t Weight(const unsigned char* mask, int64_t pixel, int32_t opacity) {
  return mask != nullptr ? mask[pixel] * opacity / 255 : opacity;
}

using ::Clamp255;

// The kernel's combination of the old sample with the effect's value, for
// the script's blend mode (0..11; the kernel numbers them from 1). A mode
// the kernel does not know leaves the old sample, so it changes nothing.
inline int32_t Combine(int16_t mode, int32_t old, int32_t effect) {
  // Mode 0 (the kernel's replacement) is by far the commonest; answering
  // it here saves a call per sample (about a third of a two-layer step on
  // 2048 x 1536 planes).
  if (mode == 0) return effect;
  unsigned char out = static_cast<unsigned char>(old);
  X_optionRPart(&out, static_cast<uint32_t>(mode + 1), old, effect);
  return out;
}

// The weighted mix of the old sample and the combined one.
inline unsigned char Mix(int32_t old, int32_t combined, int32_t weight) {
  return static_cast<unsigned char>(((255 - weight) * old + weight * combined) / 255);
}

// Combine, then mix: the whole per-sample blend.
inline unsigned char Blend(int16_t mode, int32_t old, int32_t effect, int32_t weight) {
  return Mix(old, Combine(mode, old, effect), weight);
}

// --- Runs of samples ------------------------------------------------------------------------
//
// Point operations work on runs of at most kRun samples of one row: the effect's values of a
// run go to a small array on the band's stack, then the blend puts them into the plane. The
// blend of replacement (mode 0) with an opacity in 0..255 runs in 16-bit lanes: every
// product of two samples or a sample and a weight is at most 255 x 255, so it fits, and the
// quotient by 255 of a 16-bit value is the integer one, which the compiler turns into a
// multiply-high on as many samples as the vector holds. Any other mode or opacity blends
// sample by sample through Blend. Either way each sample's bytes are those of Blend.

constexpr int32_t kRun = 512;

// Whether a weight or opacity can take the 16-bit lanes.
inline bool InByteRange(int32_t v) { return v >= 0 && v <= 255; }

// The replacement mix in 16-bit lanes (see there).
using lanemix::kMixStep;
using lanemix::MaskLane;
using lanemix::MixLane;
using lanemix::MixRun;

// p[i] = Blend(mode, p[i], value[i], Weight(mask, i, opacity)) for i < n: MixRun where the
// lanes hold the blend, else sample by sample.
inline void BlendRun(int16_t mode, int32_t opacity, unsigned char* p,
                     const unsigned char* value, const unsigned char* mask, int32_t n) {
  // Replacement at full weight is the value itself.
  if (mode == 0 && opacity == 255 && mask == nullptr) {
    std::memcpy(p, value, static_cast<size_t>(n));
    return;
  }
  if (mode == 0 && InByteRange(opacity)) {
    MixRun(p, value, mask, opacity, n);
    return;
  }
  for (int32_t i = 0; i < n; ++i)
    p[i] = Blend(mode, p[i], value[i], mask != nullptr ? mask[i] * opacity / 255 : opacity);
}

// Over the clamped region of a one-sample plane in bands of rows on the shared threads:
// values(x, y, old, out, n) writes the effect's values of the n samples of row y from column
// x on (old: the plane's samples there) into out, then BlendRun puts them in through the
// mask. values must read nothing that another run writes: its own samples, other planes,
// tables filled before the call.
template <typename Values>
void BlendRegionRuns(int16_t mode, int16_t opacity, unsigned char* plane,
                     const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                     int32_t y0, int32_t x1, int32_t y1, Values values) {
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return;
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [=](int32_t first, int32_t end) {
    unsigned char out[kRun];
    for (int32_t y = first; y < end; ++y) {
      const int64_t row = static_cast<int64_t>(y) * width;
      for (int32_t x = x0; x <= x1; x += kRun) {
        const int32_t n = x1 - x + 1 < kRun ? x1 - x + 1 : kRun;
        unsigned char* p = plane + row + x;
        values(x, y, static_cast<const unsigned char*>(p), out, n);
        BlendRun(mode, opacity, p, out, mask != nullptr ? mask + row + x : nullptr, n);
      }
    }
  });
}

// The same over three planes' rows y0..y1, columns x0..x1 (the caller clamps them):
// values(row, out, n) writes the three planes' values of the n samples from `row` (y × width
// + x) on into out[0..2], which BlendRun then puts in through the mask. With `direct`
// (replacement at full opacity without a mask, where the blend would copy) out are the
// planes' own samples there, so values writes straight into them and must read each sample
// before it writes it.
template <typename Values>
void BlendRegionRuns3(int16_t mode, int32_t opacity, unsigned char* const planes[3],
                      const unsigned char* mask, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                      int32_t y1, bool direct, Values values) {
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [&](int32_t first, int32_t end) {
    unsigned char work[3][kRun];
    for (int32_t y = first; y < end; ++y) {
      for (int32_t x = x0; x <= x1; x += kRun) {
        const int32_t n = x1 - x + 1 < kRun ? x1 - x + 1 : kRun;
        const int64_t row = static_cast<int64_t>(y) * width + x;
        unsigned char* const out[3] = {direct ? planes[0] + row : work[0],
                                       direct ? planes[1] + row : work[1],
                                       direct ? planes[2] + row : work[2]};
        values(row, out, n);
        if (direct) continue;
        for (int32_t c = 0; c < 3; ++c)
          BlendRun(mode, opacity, planes[c] + row, work[c], mask != nullptr ? mask + row : nullptr,
                   n);
      }
    }
  });
}

// n / d for a sum of byte-weighted samples, 0 <= n <= 255 d, and a divisor 1 <= d <= 32767,
// without a divide: n times ceil(2^40 / d), shifted by 40. The reciprocal's excess over
// 2^40 / d is under d / 2^40 of a unit, so for n below 2^40 / d (which 255 d is, for every
// such d) the product never reaches the next whole number: the quotient is exact.
class ByteSumQuotient {
 public:
  explicit ByteSumQuotient(int32_t divisor)
      : reciprocal_(divisor > 0 ? ((uint64_t{1} << 40) + static_cast<uint64_t>(divisor) - 1) /
                                      static_cast<uint64_t>(divisor)
                                : 0) {}
  int32_t operator()(int32_t n) const {
    return static_cast<int32_t>((static_cast<uint64_t>(n) * reciprocal_) >> 40);
  }

 private:
  uint64_t reciprocal_;
};

// x / 100 truncated toward zero without a divide, as the vector forms take it lane by lane: the
// signed 64-bit product with ceil(2^37 / 100), shifted down by 37 (which rounds toward minus
// infinity), plus one for a negative x. Exact for every |x| < 2^24, the range the callers keep
// to (a test runs through all of it); the compilers' own quotient by 100 is this same step.
constexpr int32_t kBy100Magic = 1374389535;
constexpr int32_t QuotientBy100(int32_t x) {
  return static_cast<int32_t>((int64_t{x} * kBy100Magic) >> 37) - (x >> 31);
}

// Blends a packed copy of the clamped region x0..x1, y0..y1 (x1 - x0 + 1 samples a row, rows
// one after the other, or `step` bytes apart) back into a one-sample plane through the mask,
// in bands of rows on the shared threads: the last step of the operations that work on a copy.
// Replacement at full opacity without a mask blends to the copy itself, so its rows are
// simply copied in.
inline void BlendPackedRegion(int16_t mode, int16_t opacity, unsigned char* plane,
                              const unsigned char* mask, int32_t width, int32_t x0, int32_t y0,
                              int32_t x1, int32_t y1, const unsigned char* packed,
                              int64_t step = 0) {
  if (x0 > x1 || y0 > y1) return;
  const int32_t rw = x1 - x0 + 1;
  if (step < rw) step = rw;
  const bool copy = mode == 0 && opacity == 255 && mask == nullptr;
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [=](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t row = static_cast<int64_t>(y) * width + x0;
      const unsigned char* from = packed + static_cast<int64_t>(y - y0) * step;
      if (copy) {
        std::memcpy(plane + row, from, static_cast<size_t>(rw));
        continue;
      }
      BlendRun(mode, opacity, plane + row, from, mask != nullptr ? mask + row : nullptr, rw);
    }
  });
}

// The blend of FilterWholeCopy: value(old, filtered) of each pixel of the region (clamped
// already) blended into the plane through the mask, in bands of rows.
template <typename ValueFn>
void BlendFilteredBack(int16_t mode, int16_t opacity, unsigned char* plane,
                       const unsigned char* mask, const unsigned char* filtered, int32_t width,
                       int32_t x0, int32_t y0, int32_t x1, int32_t y1, ValueFn value) {
  if (x0 > x1) return;
  // Replacement at full opacity without a mask blends to the value itself.
  // The rows go to the shared threads with everything they read held by
  // value (the value functions are pure).
  const bool bare = mode == 0 && opacity == 255 && mask == nullptr;
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [=](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t row = static_cast<int64_t>(y) * width;
      unsigned char* p = plane + row;
      const unsigned char* f = filtered + row;
      if (bare) {
        for (int32_t x = x0; x <= x1; ++x)
          p[x] = static_cast<unsigned char>(value(static_cast<int32_t>(p[x]), static_cast<int32_t>(f[x])));
        continue;
      }
      for (int32_t x = x0; x <= x1; ++x) {
        const int32_t old = p[x];
        p[x] = Blend(mode, old, value(old, static_cast<int32_t>(f[x])), Weight(mask, row + x, opacity));
      }
    }
  });
}

// Filters a copy of the whole plane, so that filters reading past the
// region see the plane's own samples: filter(copy) works on it (nonzero
// gives up with -1, the plane untouched), then value(old, filtered) of each
// pixel of the clamped region is blended in through the mask.
template <typename FilterFn, typename ValueFn>
int32_t FilterWholeCopy(int16_t mode, int16_t opacity, unsigned char* plane,
                        const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, FilterFn filter, ValueFn value) {
  ClampRegion(width, height, x0, y0, x1, y1);
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> work(size, WorkSource());
  if (!work) return -1;
  unsigned char* filtered = work.get();
  std::memcpy(filtered, plane, static_cast<size_t>(size));
  if (filter(filtered) != 0) return -1;
  BlendFilteredBack(mode, opacity, plane, mask, filtered, width, x0, y0, x1, y1, value);
  return 0;
}

// FilterWholeCopy for a filter whose value is the filtered sample itself.
// Replacement at full opacity without a mask, over the whole plane, stores
// exactly the filtered plane, so the filter then works on the plane itself:
// no copy, no blend. Such a filter must leave the plane as it was whenever
// it fails.
template <typename FilterFn>
int32_t FilterWholePlane(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, FilterFn filter) {
  int32_t l = x0, t = y0, r = x1, b = y1;
  ClampRegion(width, height, l, t, r, b);
  if (mode == 0 && opacity == 255 && mask == nullptr && l == 0 && t == 0 && r == width - 1 &&
      b == height - 1) {
    return filter(plane) != 0 ? -1 : 0;
  }
  return FilterWholeCopy(mode, opacity, plane, mask, width, height, x0, y0, x1, y1, filter,
                         [](int32_t, int32_t filtered) { return filtered; });
}

}  // namespace effect_support
