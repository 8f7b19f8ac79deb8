// Smoothing and sharpening of one plane: the general kernel convolution, the
// pyramid blur that most engines lean on, and the filters built on it.
//
// The convolution and the pyramid themselves are the raster core's; what is
// added here is the script's blend (mode, opacity, mask) around them. The
// pyramid blur's cost does not grow with the radius's reach: a larger radius
// only adds 3 x 3 passes at a quarter of the resolution. Its radius is held
// to 0..199, the range the pyramid's step bookkeeping was sized for.
//
// The deblur is the raster core's derivative-of-Gaussian series as it
// stands.
//
// UnSharpMask, HighPass and Sharpen filter a copy of the WHOLE plane, not of
// the region alone: near the region's edges their filters read samples
// outside it, and those must be the plane's own.
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/focus_filters.h"
#include "raster/plane_kernels.h"

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Combine;
using effect_support::Mix;
using effect_support::Weight;

namespace {

constexpr int16_t kMaxBlurRadius = 199;

// Blur a full copy of the plane and hand each pixel of the region, with its
// blurred value, to `value`; the result is blended in through the mask.
template <typename ValueFn>
int32_t FilterAgainstBlur(int16_t mode, int16_t opacity, unsigned char* plane,
                          const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t radius, ValueFn value) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  return effect_support::FilterWholeCopy(
      mode, opacity, plane, mask, width, height, x0, y0, x1, y1,
      [&](unsigned char* blurred) {
        return Effects::Blur(0, 255, blurred, nullptr, width, height, 0, 0, width - 1,
                             height - 1, radius, 1);
      },
      value);
}

}  // namespace

int32_t Effects::ApplyMatrix(int16_t mode, int16_t opacity, unsigned char* buffer,
                             const unsigned char* mask, int16_t maskScaleX, int16_t maskScaleY,
                             int32_t width, int32_t height, int32_t x0, int32_t x1, int32_t y0,
                             int32_t y1, int16_t radius, int16_t channels,
                             const unsigned char* bias, float divisor, const int32_t* kernel) {
  // Without a mask the filtered value is stored as it is; with mode 0 at
  // full opacity the mask alone weighs it, which the raster convolution does
  // itself without any copy.
  if (mask == nullptr || (mode == 0 && opacity == 255)) {
    return ::ApplyMatrix(buffer, mask, maskScaleX, maskScaleY, width, height, x0, x1, y0, y1,
                         radius, channels, bias, divisor, kernel);
  }
  if (buffer == nullptr || width <= 0 || height <= 0 || channels < 1) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  // Any other blend needs the old samples beside the filtered ones.
  const int64_t rowBytes = static_cast<int64_t>(x1 - x0 + 1) * channels;
  plat::Block<unsigned char> old(rowBytes * (y1 - y0 + 1), WorkSource());
  if (!old) return -1;
  for (int32_t y = y0; y <= y1; ++y) {
    std::memcpy(old.get() + (y - y0) * rowBytes,
                buffer + (static_cast<int64_t>(y) * width + x0) * channels,
                static_cast<size_t>(rowBytes));
  }
  if (::ApplyMatrix(buffer, nullptr, 1, 1, width, height, x0, x1, y0, y1, radius, channels, bias,
                    divisor, kernel) != 0) {
    return -1;
  }
  for (int32_t y = y0; y <= y1; ++y) {
    const unsigned char* before = old.get() + (y - y0) * rowBytes;
    unsigned char* out = buffer + (static_cast<int64_t>(y) * width + x0) * channels;
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t m = static_cast<int64_t>(maskScaleY) * maskScaleY * y * width +
                        static_cast<int64_t>(maskScaleX) * x;
      const int32_t weight = Weight(mask, m, opacity);
      for (int32_t c = 0; c < channels; ++c) {
        const int64_t k = static_cast<int64_t>(x - x0) * channels + c;
        out[k] = Blend(mode, before[k], out[k], weight);
      }
    }
  }
  return 0;
}

int32_t Effects::Blur(int16_t mode, int16_t opacity, unsigned char* plane,
                      const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t channels) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (radius < 0) radius = 0;
  if (radius > kMaxBlurRadius) radius = kMaxBlurRadius;
  const int64_t size = static_cast<int64_t>(width) * height;
  const bool mixed = mask != nullptr || opacity < 255;
  plat::Block<unsigned char> unblurred(mixed ? size : 0, WorkSource());
  if (mixed) {
    if (!unblurred) return -1;
    std::memcpy(unblurred.get(), plane, static_cast<size_t>(size));
  }
  if (X_Blur_buffer(plane, mask, width, height, 0, 0, width - 1, height - 1, radius, channels) !=
      0) {
    return -1;
  }
  if (!mixed) return 0;
  const unsigned char* before = unblurred.get();
  for (int32_t y = y0; y <= y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t blurred = plane[i];
      // The blurred sample is the kernel's base here, and the weight pulls
      // toward it: at full weight the result is the blur whatever the mode.
      const int32_t combined = Combine(mode, blurred, before[i]);
      plane[i] = Mix(combined, blurred, Weight(mask, i, opacity));
    }
  }
  return 0;
}

void Effects::DivideInHalf(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t unused,
                           int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t channels,
                           const unsigned char* src, unsigned char* dst) {
  (void)unused;
  // The target's height is not known here: the region's last row bounds it.
  ::DivideInHalf(srcWidth, srcHeight, dstWidth, y1 + 1, x0, y0, x1, y1, channels, src, dst);
}

void Effects::Double(int32_t width, int32_t unused, int32_t x0, int32_t y0, int32_t x1,
                     int32_t y1, int16_t channels, unsigned char* dst, const unsigned char* src) {
  ::Double(width, unused, x0, y0, x1, y1, channels, dst, src);
}

int32_t Effects::UnSharpMask(int16_t mode, int16_t opacity, unsigned char* plane,
                             const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                             int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t amount,
                             int16_t threshold) {
  return FilterAgainstBlur(mode, opacity, plane, mask, width, height, x0, y0, x1, y1, radius,
                           [amount, threshold](int32_t old, int32_t blurred) {
                             const int32_t d = blurred - old;
                             if ((d < 0 ? -d : d) <= threshold) return old;
                             return effect_support::Clamp255(old - d * amount / 100);
                           });
}

int32_t Effects::HighPass(int16_t mode, int16_t opacity, unsigned char* plane,
                          const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t gain) {
  return FilterAgainstBlur(mode, opacity, plane, mask, width, height, x0, y0, x1, y1, radius,
                           [gain](int32_t old, int32_t blurred) {
                             return effect_support::Clamp255(128 - (blurred - old) * gain / 200);
                           });
}

int32_t Effects::Sharpen(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int16_t strength) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  // Level 0 has no sharpening matrix: nothing to do.
  if (strength == 0) return 0;
  // MatrixWholePlane leaves a plane without interior (under 3 x 3) as
  // copied; any other failure is the filter's row buffer, taken before it
  // writes a sample.
  return effect_support::FilterWholePlane(
      mode, opacity, plane, mask, width, height, x0, y0, x1, y1, [&](unsigned char* sharp) {
        return MatrixWholePlane(width, height, sharp, 0, static_cast<int16_t>(strength * 10));
      });
}

int32_t Effects::DeBlur(int16_t mode, int16_t opacity, unsigned char* plane,
                        const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t order, int16_t strength) {
  // The raster core's deblur is this series to the letter, a missing mask
  // meaning full strength.
  return ::DeBlur(mode, opacity, plane, mask, height, width, x0, y0, x1, y1, order, strength);
}

void Effects::GaussianMatrix(int32_t* out, int16_t n) {
  if (out == nullptr) return;
  out[0] = 1;
  // Row k from row k - 1, right to left in place; unsigned so that orders
  // beyond 33, whose middle terms exceed 32 bits, wrap instead of overflowing.
  uint32_t* row = reinterpret_cast<uint32_t*>(out);
  for (int32_t k = 1; k <= n; ++k) {
    row[k] = 1;
    for (int32_t i = k - 1; i > 0; --i) row[i] += row[i - 1];
  }
}
