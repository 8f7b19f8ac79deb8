// The cast-shadow warp: a one-channel shadow pushed into its footprint
// quadrilateral and painted into three planes through the look-up table's
// colours, opacity ramps across and down the destination, and the blend
// kernel.
//
// The grain draws through the program's random hook, seeded from its clock
// hook once per call, so a test can pin the jitter while a user still sees
// it differ from run to run.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/random/random.h"
#include "raster/distortion_warp.h"
#include "raster/inverse_bilinear.h"

using raster_detail::ClampIndex;
using raster_detail::NearestOffset;
using raster_detail::PercentQuad;
using raster_detail::Quad;
using raster_detail::ScanQuad;

namespace {

// Opacity ramp over n + 1 entries from a position and a softness in
// percent: a rising edge for a positive softness, a falling one for a
// negative softness, a hard step at the position for 0.
void fillRamp(uint8_t* ramp, int32_t n, int32_t position, int32_t softness) {
  for (int32_t i = 0; i <= n; ++i) {
    const int32_t p = (100 * i) / n;
    int32_t e;
    if (softness >= 0) {
      const int32_t lo = std::max(0, position - 2 * softness);
      const int32_t hi = std::min(100, position + 2 * softness);
      if (p < lo) {
        e = 0;
      } else if (lo == hi) {
        e = 255;
      } else if (p < hi) {
        e = (p - lo) * 255 / (hi - lo);
      } else {
        e = 255;
      }
    } else {
      const int32_t lo = std::max(0, position + 2 * softness);
      const int32_t hi = std::min(100, position - 2 * softness);
      if (p < lo) {
        e = 255;
      } else if (p < hi) {
        e = 255 - (p - lo) * 255 / (hi - lo);
      } else {
        e = 0;
      }
    }
    ramp[i] = static_cast<uint8_t>(e);
  }
}

// A uniform integer 0..255 from the 31-bit generator: its top eight bits.
int32_t draw255() {
  return static_cast<int32_t>(plat::Random() >> 23);
}

}  // namespace

int32_t X_distortandlut_buffer(int16_t m, int16_t opacity, int16_t vPosition, int16_t vSoftness,
                               int16_t hPosition, int16_t hSoftness, int32_t srcH, int32_t srcW,
                               uint8_t* src, int32_t dstH, int32_t dstW, uint8_t* dst1,
                               uint8_t* dst2, uint8_t* dst3, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                               int32_t l, int32_t t, int32_t W, int32_t H, int16_t percentage,
                               const uint8_t* dstMask, const uint8_t* lut, int16_t relief,
                               int16_t grain) {
  plat::SeedRandom(plat::TimeSeed());
  if (dstW <= 0 || dstH <= 0 || srcW <= 0 || srcH <= 0) return 0;
  plat::Block<uint8_t> colRamp(int64_t{dstW} + 1, WorkSource());
  if (!colRamp) return -1;
  plat::Block<uint8_t> rowRamp(int64_t{dstH} + 1, WorkSource());
  if (!rowRamp) return -1;
  fillRamp(colRamp.get(), dstW, hPosition, hSoftness);
  fillRamp(rowRamp.get(), dstH, vPosition, vSoftness);
  // A grain beyond 20 would divide by zero or flip the jitter's sign.
  const int32_t grainDivisor = 21 - (grain > 20 ? 20 : grain);
  const uint32_t kernelMode = static_cast<uint32_t>(m + 1);
  uint8_t* const planes[3] = {dst1, dst2, dst3};

  const Quad q = PercentQuad(Quad{{x0, x1, x2, x3}, {y0, y1, y2, y3}}, l, t, W, H, percentage);
  ScanQuad(q, dstH, dstW, [&](int32_t x, int32_t y, double u, double v) {
    const size_t di = static_cast<size_t>(y) * dstW + x;
    const int32_t d1 = dst1[di], d2 = dst2[di], d3 = dst3[di];
    // Darker ground pushes the shadow further along the relief.
    const int32_t shift = relief * (128 - (d1 + d2 + d3) / 3) / 100;
    const int32_t sx = ClampIndex(l + shift + NearestOffset(u, W), srcW);
    const int32_t sy = ClampIndex(t + shift + NearestOffset(v, H), srcH);
    const int32_t o = dstMask != nullptr ? dstMask[di] * opacity / 255 : opacity;
    const int32_t s = o * colRamp[x] * rowRamp[y] / 65025;
    uint8_t& sample = src[static_cast<size_t>(sy) * srcW + sx];
    int32_t g = sample;
    if (g > 3 && grain > 0) {
      g += (draw255() - 128) / grainDivisor;
      g = Clamp255(g);
      sample = static_cast<uint8_t>(g);
    }
    const int32_t alpha = s * lut[g] / 255;
    for (int k = 0; k < 3; ++k) {
      const int32_t dk = planes[k][di];
      // An unknown kernel mode leaves the ground as it is.
      uint8_t c = static_cast<uint8_t>(dk);
      X_optionRPart(&c, kernelMode, dk, lut[(k + 1) * 256 + g]);
      planes[k][di] = static_cast<uint8_t>((dk * (255 - alpha) + alpha * c) / 255);
    }
  });
  return 0;
}
