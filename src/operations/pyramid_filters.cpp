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
#include <algorithm>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/focus_filters.h"
#include "raster/mix_lanes.h"
#include "raster/plane_kernels.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

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

// The unsharp mask of one sample against its blurred value.
inline int32_t UnsharpValue(int32_t old, int32_t blurred, int32_t amount, int32_t threshold) {
  const int32_t d = blurred - old;
  if ((d < 0 ? -d : d) <= threshold) return old;
  return effect_support::Clamp255(old - d * amount / 100);
}

// Samples of a row done from the left by a vector form; the plain loop does
// the rest.
using UnsharpRow = int32_t (*)(unsigned char* plane, const unsigned char* blurred, int32_t count,
                               int32_t amount, int32_t threshold);
int32_t UnsharpRowPlain(unsigned char*, const unsigned char*, int32_t, int32_t, int32_t) {
  return 0;
}

#if VMK_SIMD_X86
// Eight samples of UnsharpValue. |d * amount| stays below 2^23 (255 times
// an int16), where the float quotient by 100, truncated, is the integer
// one: a product that is no multiple of 100 lies at least 0.01 from the
// next whole quotient, far beyond the float's error there (under 2^-8).
VMK_TARGET_AVX2 inline __m256i UnsharpEight(__m256i old, __m256i blurred, __m256i amount,
                                            __m256i threshold) {
  const __m256i d = _mm256_sub_epi32(blurred, old);
  const __m256i kept = _mm256_cmpgt_epi32(_mm256_abs_epi32(d), threshold);
  const __m256 product = _mm256_cvtepi32_ps(_mm256_mullo_epi32(d, amount));
  const __m256i q = _mm256_cvttps_epi32(_mm256_div_ps(product, _mm256_set1_ps(100.0f)));
  const __m256i v = _mm256_min_epi32(_mm256_max_epi32(_mm256_sub_epi32(old, q),
                                                      _mm256_setzero_si256()),
                                     _mm256_set1_epi32(255));
  return _mm256_blendv_epi8(old, v, kept);
}

VMK_TARGET_AVX2 int32_t UnsharpRowAvx2(unsigned char* plane, const unsigned char* blurred,
                                       int32_t count, int32_t amount, int32_t threshold) {
  const __m256i a = _mm256_set1_epi32(amount);
  const __m256i t = _mm256_set1_epi32(threshold);
  int32_t x = 0;
  for (; x + 16 <= count; x += 16) {
    const __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + x));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blurred + x));
    const __m256i lo = UnsharpEight(_mm256_cvtepu8_epi32(o), _mm256_cvtepu8_epi32(b), a, t);
    const __m256i hi = UnsharpEight(_mm256_cvtepu8_epi32(_mm_srli_si128(o, 8)),
                                    _mm256_cvtepu8_epi32(_mm_srli_si128(b, 8)), a, t);
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(lo, hi), 0xD8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(plane + x),
                     _mm_packus_epi16(_mm256_castsi256_si128(words),
                                      _mm256_extracti128_si256(words, 1)));
  }
  return x;
}
#endif

// UnSharpMask replacing the region at full opacity without a mask: the
// blend then stores the value itself, so the rows of the region take it
// straight, in bands on the shared threads, a vector form doing what it can.
// Three 3072 x 2048 planes, radius 5, one thread (EPYC, AVX2): 243 ms
// through the copy-filter-blend frame and the general convolution, 18 ms
// with the pyramid's vector forms and this.
int32_t UnsharpReplace(unsigned char* plane, int32_t width, int32_t height, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1, int16_t radius, int32_t amount,
                       int32_t threshold) {
  ClampRegion(width, height, x0, y0, x1, y1);
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> work(size, WorkSource());
  if (!work) return -1;
  unsigned char* blurred = work.get();
  std::memcpy(blurred, plane, static_cast<size_t>(size));
  if (Effects::Blur(0, 255, blurred, nullptr, width, height, 0, 0, width - 1, height - 1, radius,
                    1) != 0) {
    return -1;
  }
  if (x0 > x1 || y0 > y1) return 0;
  UnsharpRow wide = UnsharpRowPlain;
#if VMK_SIMD_X86
  wide = plat::PickKernel<UnsharpRow>(UnsharpRowPlain, UnsharpRowAvx2);
#endif
  const int32_t count = x1 - x0 + 1;
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows,
                    [=](int32_t first, int32_t end) {
                      for (int32_t y = first; y < end; ++y) {
                        const int64_t at = static_cast<int64_t>(y) * width + x0;
                        unsigned char* row = plane + at;
                        const unsigned char* b = blurred + at;
                        for (int32_t x = wide(row, b, count, amount, threshold); x < count; ++x)
                          row[x] = static_cast<unsigned char>(
                              UnsharpValue(row[x], b[x], amount, threshold));
                      }
                    });
  return 0;
}

// The blend back of a filter that worked in place: buffer holds the filtered samples of rows
// y0..y1, columns x0..x1, `kept` the old ones packed, and each sample becomes
// Blend(mode, old, filtered, weight of its pixel) through the mask (a pixel's mask sample at
// scaleY^2 y width + scaleX x). One sample a pixel on a mask of the plane's own size takes
// runs of kRun: the filtered run goes to the band's stack, the old one back into the plane,
// and BlendRun mixes them there (replacement at an opacity of 0..255 in the widest form of the
// 16-bit lanes this processor runs).
void BlendKeptBack(int16_t mode, int16_t opacity, unsigned char* buffer, const unsigned char* kept,
                   const unsigned char* mask, int16_t maskScaleX, int16_t maskScaleY,
                   int32_t width, int32_t x0, int32_t x1, int32_t y0, int32_t y1,
                   int16_t channels) {
  const int64_t rowBytes = static_cast<int64_t>(x1 - x0 + 1) * channels;
  const bool runs = channels == 1 && maskScaleX == 1 && maskScaleY == 1;
  const lanemix::MixRunFn mix =
      mode == 0 && effect_support::InByteRange(opacity) ? lanemix::PickMixRun() : nullptr;
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
    unsigned char filtered[effect_support::kRun];
    for (int32_t y = first; y < end; ++y) {
      const unsigned char* before = kept + (y - y0) * rowBytes;
      unsigned char* out = buffer + (static_cast<int64_t>(y) * width + x0) * channels;
      if (runs) {
        const unsigned char* weights = mask + static_cast<int64_t>(y) * width + x0;
        for (int64_t x = 0; x < rowBytes; x += effect_support::kRun) {
          const auto n = static_cast<int32_t>(std::min<int64_t>(rowBytes - x, effect_support::kRun));
          std::memcpy(filtered, out + x, static_cast<size_t>(n));
          std::memcpy(out + x, before + x, static_cast<size_t>(n));
          if (mix != nullptr)
            mix(out + x, filtered, weights + x, opacity, n);
          else
            effect_support::BlendRun(mode, opacity, out + x, filtered, weights + x, n);
        }
        continue;
      }
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
  });
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
  // Any other blend needs the old samples beside the filtered ones. The copy and the blend
  // back go in bands of rows on the shared threads: each row reads and writes its own samples
  // only (the filter between them, which reads across rows, runs on its own).
  const int64_t rowBytes = static_cast<int64_t>(x1 - x0 + 1) * channels;
  plat::Block<unsigned char> old(rowBytes * (y1 - y0 + 1), WorkSource());
  if (!old) return -1;
  unsigned char* const kept = old.get();
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y)
      std::memcpy(kept + (y - y0) * rowBytes,
                  buffer + (static_cast<int64_t>(y) * width + x0) * channels,
                  static_cast<size_t>(rowBytes));
  });
  if (::ApplyMatrix(buffer, nullptr, 1, 1, width, height, x0, x1, y0, y1, radius, channels, bias,
                    divisor, kernel) != 0) {
    return -1;
  }
  BlendKeptBack(mode, opacity, buffer, kept, mask, maskScaleX, maskScaleY, width, x0, x1, y0, y1,
                channels);
  return 0;
}

int32_t Effects::Blur(int16_t mode, int16_t opacity, unsigned char* plane,
                      const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t channels) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (radius < 0) radius = 0;
  if (radius > kMaxBlurRadius) radius = kMaxBlurRadius;
  const bool mixed = mask != nullptr || opacity < 255;
  const bool any = x0 <= x1 && y0 <= y1;
  const int32_t rw = any ? x1 - x0 + 1 : 0, rh = any ? y1 - y0 + 1 : 0;
  // Replacement is the unblurred sample mixed toward the blurred one, which the 16-bit lanes
  // do a run at a time; any other mode goes sample by sample. `at` is the run's first
  // sample in the plane (and the mask), old its unblurred samples, which may be the plane's.
  const bool lanes = mode == 0 && effect_support::InByteRange(opacity);
  const lanemix::MixRunFn mixRun = lanemix::PickMixRun();
  const auto blendRun = [=](int64_t at, const unsigned char* blurred, const unsigned char* old,
                            int32_t n) {
    unsigned char* p = plane + at;
    if (lanes) {
      if (p != old) std::memcpy(p, old, static_cast<size_t>(n));
      mixRun(p, blurred, mask != nullptr ? mask + at : nullptr, opacity, n);
      return;
    }
    for (int32_t x = 0; x < n; ++x) {
      // The blurred sample is the kernel's base here, and the weight pulls toward it: at
      // full weight the result is the blur whatever the mode.
      const int32_t b = blurred[x];
      const int32_t combined = Combine(mode, b, old[x]);
      p[x] = Mix(combined, b, Weight(mask, at + x, opacity));
    }
  };
  if (mixed && channels == 1) {
    // Each blurred row goes in as the blur hands it on, while the plane's row is still the
    // unblurred one: no copy of the plane, no second pass over it. Outside the region the
    // plane takes the blur as it is, as the blur of the whole plane in place leaves it.
    return BlurPlaneRows(plane, mask, width, height, radius, [=](int32_t y, unsigned char* row) {
      unsigned char* p = plane + static_cast<int64_t>(y) * width;
      if (y < y0 || y > y1 || rw == 0) {
        std::memcpy(p, row, static_cast<size_t>(width));
        return;
      }
      std::memcpy(p, row, static_cast<size_t>(x0));
      std::memcpy(p + x1 + 1, row + x1 + 1, static_cast<size_t>(width - 1 - x1));
      blendRun(static_cast<int64_t>(y) * width + x0, row + x0, p + x0, rw);
    });
  }
  // Otherwise only the region is blended back, so only its rows are kept, in bands.
  plat::Block<unsigned char> unblurred(mixed ? static_cast<int64_t>(rw) * rh : 0, WorkSource());
  if (mixed) {
    if (!unblurred) return -1;
    unsigned char* const keep = unblurred.get();
    const unsigned char* const from = plane;
    plat::ParallelFor(0, rh, effect_support::kPixelBandRows, [=](int32_t first, int32_t last) {
      for (int32_t y = first; y < last; ++y) {
        std::memcpy(keep + static_cast<int64_t>(y) * rw,
                    from + static_cast<int64_t>(y0 + y) * width + x0, static_cast<size_t>(rw));
      }
    });
  }
  if (X_Blur_buffer(plane, mask, width, height, 0, 0, width - 1, height - 1, radius, channels) !=
      0) {
    return -1;
  }
  if (!mixed) return 0;
  const unsigned char* const before = unblurred.get();
  plat::ParallelFor(0, rh, effect_support::kPixelBandRows, [=](int32_t first, int32_t last) {
    unsigned char blurredRun[effect_support::kRun];
    for (int32_t y = first; y < last; ++y) {
      const int64_t row = static_cast<int64_t>(y0 + y) * width + x0;
      const unsigned char* old = before + static_cast<int64_t>(y) * rw;
      for (int32_t at = 0; at < rw; at += effect_support::kRun) {
        const int32_t n = std::min(effect_support::kRun, rw - at);
        std::memcpy(blurredRun, plane + row + at, static_cast<size_t>(n));
        blendRun(row + at, blurredRun, old + at, n);
      }
    }
  });
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
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (mode == 0 && opacity == 255 && mask == nullptr)
    return UnsharpReplace(plane, width, height, x0, y0, x1, y1, radius, amount, threshold);
  return FilterAgainstBlur(mode, opacity, plane, mask, width, height, x0, y0, x1, y1, radius,
                           [amount, threshold](int32_t old, int32_t blurred) {
                             return UnsharpValue(old, blurred, amount, threshold);
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
