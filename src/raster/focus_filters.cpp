// Focus corrections: deblur, high-pass sharpening and blur outside edges.
//
// The deblur adds to every sample the first terms of the exponential series
// of -(strength / 10) times a Laplacian of Gaussian, each term made from the
// previous one by one more pair of separable 27-tap passes. The drivers run
// a plane filter on each channel of 32-bit pixels (or row-held planes) and
// can hold the result off the edges of a grey guide picture. Every channel
// is filtered before the first one is written, so a failing allocation
// leaves the image as it was.
#include "raster/focus_filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/memory/memory.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/types/plane_view.h"
#include "raster/blend_filters.h"
#include "raster/blend_rows.h"
#include "raster/channel_frame.h"
#include "raster/filter_passes.h"
#include "raster/plane_kernels.h"
#include "raster/plane_rect.h"
#include "raster/plane_copy.h"
#include "raster/rescale.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Rows per band of the per-sample mixes of the focus filters.
constexpr int32_t kMixBand = 16;

// out[x] = sum over j of base[x + j * step] * k[j] for x < count, summed
// with fused multiply-adds in the order of j. The straightforward form.
template <typename T>
void TapRowScalar(const T* base, float* out, int32_t from, int32_t count, int64_t step,
                  const float* k, int32_t n) {
  for (int32_t x = from; x < count; ++x) {
    float acc = 0.0f;
    const T* p = base + x;
    for (int32_t j = 0; j < n; ++j) acc = std::fma(static_cast<float>(p[j * step]), k[j], acc);
    out[x] = acc;
  }
}

#if defined(__x86_64__)
__attribute__((target("avx2,fma"))) inline __m256 Load8(const float* p) {
  return _mm256_loadu_ps(p);
}
__attribute__((target("avx2,fma"))) inline __m256 Load8(const unsigned char* p) {
  return _mm256_cvtepi32_ps(
      _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// Eight outputs at a time; each lane performs exactly the scalar sequence of
// fused multiply-adds, so the result is bit-identical to TapRowScalar.
// Measured on a 2048 x 1536 plane with 27 taps along rows (Xeon, -O2):
// 108 ms through the libm fmaf call per tap, 7 ms this way. Four vectors of
// outputs go side by side first: one vector alone waits on each fused
// multiply-add's latency along its chain of taps, four keep the unit busy
// (3072 x 2048, 31 taps, rows then columns, one thread: 91 ms a plane
// before, 39 ms after).
template <typename T>
__attribute__((target("avx2,fma"))) void TapRowWide(const T* base, float* out, int32_t count,
                                                    int64_t step, const float* k, int32_t n) {
  int32_t x = 0;
  for (; x + 64 <= count; x += 64) {
    __m256 a[8];
    for (int32_t v = 0; v < 8; ++v) a[v] = _mm256_setzero_ps();
    const T* p = base + x;
    for (int32_t j = 0; j < n; ++j) {
      const __m256 kj = _mm256_set1_ps(k[j]);
      const T* q = p + j * step;
      for (int32_t v = 0; v < 8; ++v) a[v] = _mm256_fmadd_ps(Load8(q + 8 * v), kj, a[v]);
    }
    for (int32_t v = 0; v < 8; ++v) _mm256_storeu_ps(out + x + 8 * v, a[v]);
  }
  for (; x + 32 <= count; x += 32) {
    __m256 a0 = _mm256_setzero_ps(), a1 = _mm256_setzero_ps(), a2 = _mm256_setzero_ps(),
           a3 = _mm256_setzero_ps();
    const T* p = base + x;
    for (int32_t j = 0; j < n; ++j) {
      const __m256 kj = _mm256_set1_ps(k[j]);
      const T* q = p + j * step;
      a0 = _mm256_fmadd_ps(Load8(q), kj, a0);
      a1 = _mm256_fmadd_ps(Load8(q + 8), kj, a1);
      a2 = _mm256_fmadd_ps(Load8(q + 16), kj, a2);
      a3 = _mm256_fmadd_ps(Load8(q + 24), kj, a3);
    }
    _mm256_storeu_ps(out + x, a0);
    _mm256_storeu_ps(out + x + 8, a1);
    _mm256_storeu_ps(out + x + 16, a2);
    _mm256_storeu_ps(out + x + 24, a3);
  }
  for (; x + 8 <= count; x += 8) {
    __m256 acc = _mm256_setzero_ps();
    const T* p = base + x;
    for (int32_t j = 0; j < n; ++j) acc = _mm256_fmadd_ps(Load8(p + j * step), _mm256_set1_ps(k[j]), acc);
    _mm256_storeu_ps(out + x, acc);
  }
  // The remainder with the same hardware instruction, one lane at a time.
  for (; x < count; ++x) {
    __m128 acc = _mm_setzero_ps();
    const T* p = base + x;
    for (int32_t j = 0; j < n; ++j)
      acc = _mm_fmadd_ss(_mm_set_ss(static_cast<float>(p[j * step])), _mm_set_ss(k[j]), acc);
    out[x] = _mm_cvtss_f32(acc);
  }
}

// c = a + b; s = fma(coef, c, s), eight at a time.
__attribute__((target("avx2,fma"))) void SeriesStepWide(const float* a, const float* b, float* c,
                                                        float* s, float coef, int64_t count) {
  const __m256 q = _mm256_set1_ps(coef);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 sum = _mm256_add_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i));
    _mm256_storeu_ps(c + i, sum);
    _mm256_storeu_ps(s + i, _mm256_fmadd_ps(q, sum, _mm256_loadu_ps(s + i)));
  }
  for (; i < count; ++i) {
    c[i] = a[i] + b[i];
    s[i] = _mm_cvtss_f32(_mm_fmadd_ss(_mm_set_ss(coef), _mm_set_ss(c[i]), _mm_set_ss(s[i])));
  }
}

bool HasWideFma() { return plat::SimdAtLeast(plat::SimdLevel::kAvx2); }

// Bytes to floats, eight at a time.
__attribute__((target("avx2,fma"))) void WidenRowWide(const unsigned char* src, float* out,
                                                      int32_t count) {
  int32_t x = 0;
  for (; x + 8 <= count; x += 8) _mm256_storeu_ps(out + x, Load8(src + x));
  for (; x < count; ++x) out[x] = static_cast<float>(src[x]);
}

// out[i] = gain * sums[i] + offset stored as a byte: above 254 gives 255,
// below 1 gives 0, anything else its truncation; eight at a time, the
// multiply and the add apart as in the plain loop. Returns the samples done.
__attribute__((target("avx2,fma"))) int64_t StoreGainWide(const float* sums, unsigned char* out,
                                                         int64_t count, float gain, float off) {
  const __m256 g = _mm256_set1_ps(gain), o = _mm256_set1_ps(off);
  const __m256 top = _mm256_set1_ps(254.0f), one = _mm256_set1_ps(1.0f);
  const __m256i lowByte = _mm256_set1_epi32(0xFF), full = _mm256_set1_epi32(255);
  int64_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 v = _mm256_add_ps(_mm256_mul_ps(g, _mm256_loadu_ps(sums + i)), o);
    // The conversion keeps its low byte, as the plain cast of a float to a
    // byte does; the ends then override it.
    __m256i b = _mm256_and_si256(_mm256_cvttps_epi32(v), lowByte);
    b = _mm256_andnot_si256(_mm256_castps_si256(_mm256_cmp_ps(v, one, _CMP_LT_OQ)), b);
    b = _mm256_blendv_epi8(b, full, _mm256_castps_si256(_mm256_cmp_ps(v, top, _CMP_GT_OQ)));
    const __m128i w = _mm_packus_epi32(_mm256_castsi256_si128(b), _mm256_extracti128_si256(b, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(w, w));
  }
  return i;
}
#else
bool HasWideFma() { return false; }
#endif

void WidenRow(const unsigned char* src, float* out, int32_t count) {
#if defined(__x86_64__)
  if (HasWideFma()) {
    WidenRowWide(src, out, count);
    return;
  }
#endif
  for (int32_t x = 0; x < count; ++x) out[x] = static_cast<float>(src[x]);
}

int64_t StoreGain(const float* sums, unsigned char* out, int64_t count, float gain, float off) {
#if defined(__x86_64__)
  if (HasWideFma()) return StoreGainWide(sums, out, count, gain, off);
#endif
  (void)sums;
  (void)out;
  (void)count;
  (void)gain;
  (void)off;
  return 0;
}

template <typename T>
void TapRow(const T* base, float* out, int32_t count, int64_t step, const float* k, int32_t n) {
#if defined(__x86_64__)
  if (HasWideFma()) {
    TapRowWide(base, out, count, step, k, n);
    return;
  }
#endif
  TapRowScalar(base, out, 0, count, step, k, n);
}

void SeriesStep(const float* a, const float* b, float* c, float* s, float coef, int64_t count) {
#if defined(__x86_64__)
  if (HasWideFma()) {
    SeriesStepWide(a, b, c, s, coef, count);
    return;
  }
#endif
  for (int64_t i = 0; i < count; ++i) {
    c[i] = a[i] + b[i];
    s[i] = std::fma(coef, c[i], s[i]);
  }
}

// Rows per band of the parallel walks: at least 16 (a band of columns reads
// n + 15 rows, which stay in the cache while its outputs are summed), and
// enough that a band holds some 256 K multiply-adds, so that the many small
// passes of a deblur series do not pay for threads they cannot use.
int32_t ConvBand(int32_t width, int32_t taps) {
  const int64_t perRow = std::max<int64_t>(int64_t{width} * std::max(taps, 1), 1);
  return static_cast<int32_t>(std::clamp<int64_t>((int64_t{1} << 18) / perRow, 16, 1 << 20));
}

// Convolves src into the work plane along rows (0) or columns (1); every
// output row depends on the source only, so the rows run in bands.
template <typename T>
void ConvolvePlane(const T* src, float* work, int32_t width, int32_t height, int direction,
                   const float* k, int32_t n) {
  const int32_t half = static_cast<int32_t>((n - 1) * 0.5);
  if (direction == 0) {
    const int32_t band = ConvBand(width, n);
    // Bytes along a row: each band widens its row to floats once, so that
    // the taps do not widen every sample n times over (the sums are the
    // same: a byte is exact as a float). Without the memory the taps widen.
    // With the vector write-back below: three 3072 x 2048 planes, 31 taps,
    // rows then columns, one thread (EPYC, a loaded machine), 80 ms before,
    // 65 ms after. Widening the columns' rows the same way (whole plane or
    // strips) was slower: the floats overflow the cache the bytes fit in.
    plat::Block<float> widened;
    if constexpr (std::is_same_v<T, unsigned char>) {
      if (HasWideFma() && width > n)
        widened = plat::Block<float>(int64_t{width} * plat::BandCount(0, height, band), WorkSource());
    }
    float* rows = widened.get();
    plat::ParallelFor(0, height, band, [=](int32_t b, int32_t y0, int32_t y1) {
      float* own = rows != nullptr ? rows + int64_t{width} * b : nullptr;
      for (int32_t y = y0; y < y1; ++y) {
        const int64_t row = static_cast<int64_t>(y) * width;
        if constexpr (std::is_same_v<T, unsigned char>) {
          if (own != nullptr) {
            WidenRow(src + row, own, width);
            TapRow(static_cast<const float*>(own), work + row + half, width - n, 1, k, n);
            continue;
          }
        }
        TapRow(src + row, work + row + half, width - n, 1, k, n);
      }
    });
  } else if (direction == 1) {
    plat::ParallelFor(0, height - n, ConvBand(width, n), [=](int32_t y0, int32_t y1) {
      for (int32_t y = y0; y < y1; ++y) {
        TapRow(src + static_cast<int64_t>(y) * width,
               work + static_cast<int64_t>(y + half) * width, width, width, k, n);
      }
    });
  }
}

// sums[i] * gain + off as a byte, as the 8-bit filter stores it.
inline unsigned char GainByte(float sum, float gain, float off) {
  const float v = gain * sum + off;
  return v > 254.0f ? 255 : (v < 1.0f ? 0 : static_cast<unsigned char>(v));
}

// The 8-bit filter along rows written back in place, on the plain path (the
// vector paths are in filter_passes.cpp). A row's outputs read that row
// alone, so each is summed into a row of floats and stored at once. The
// row's ends, whose window would reach the border, count as sums of 0.
bool RowsInPlace(unsigned char* src, int32_t width, int32_t height, const float* k, int32_t n,
                 float gain, float off) {
  const int32_t band = ConvBand(width, n);
  plat::Block<float> rows(int64_t{width} * plat::BandCount(0, height, band), WorkSource());
  if (!rows) return false;
  float* all = rows.get();
  const int32_t half = static_cast<int32_t>((n - 1) * 0.5);
  const int32_t from = std::min(half, width);
  const int32_t to = std::min(half + std::max(width - n, 0), width);
  plat::ParallelFor(0, height, band, [=](int32_t b, int32_t y0, int32_t y1) {
    float* sums = all + int64_t{width} * b;
    std::fill(sums, sums + from, 0.0f);
    std::fill(sums + to, sums + width, 0.0f);
    for (int32_t y = y0; y < y1; ++y) {
      unsigned char* row = src + int64_t{y} * width;
      TapRow(static_cast<const unsigned char*>(row), sums + half, width - n, 1, k, n);
      for (int32_t x = 0; x < width; ++x) row[x] = GainByte(sums[x], gain, off);
    }
  });
  return true;
}

// Clears what ConvolvePlane leaves unwritten: the columns (rows) whose
// window would reach the border, or everything for an unknown direction.
// Clearing only these instead of the whole plane first saves a pass over
// the plane per convolution.
void ClearBorders(float* work, int32_t width, int32_t height, int direction, int32_t n) {
  const int32_t half = static_cast<int32_t>((n - 1) * 0.5);
  if (direction == 0) {
    const int32_t from = std::min(half, width);
    const int32_t to = std::min(half + std::max(width - n, 0), width);
    for (int32_t y = 0; y < height; ++y) {
      float* row = work + static_cast<int64_t>(y) * width;
      std::fill(row, row + from, 0.0f);
      std::fill(row + to, row + width, 0.0f);
    }
  } else if (direction == 1) {
    const int32_t from = std::min(half, height);
    const int32_t to = std::min(half + std::max(height - n, 0), height);
    std::fill(work, work + static_cast<int64_t>(from) * width, 0.0f);
    std::fill(work + static_cast<int64_t>(to) * width, work + static_cast<int64_t>(height) * width,
              0.0f);
  } else {
    std::fill(work, work + static_cast<int64_t>(width) * height, 0.0f);
  }
}

// The deblur's work planes and kernel, taken once and reused for every
// channel of a driver: fresh planes per channel are paid for in page faults
// (the 2048 x 1536 driver at strength 50: 224 ms with fresh planes and
// whole-plane clearing, 199 ms reusing them and clearing borders only).
struct DeBlurWork {
  plat::Block<float> a, b, c, s;
  Filter filter;
  bool Take(int64_t count, int16_t orders) {
    a = plat::Block<float>(count, WorkSource());
    b = plat::Block<float>(count, WorkSource());
    c = plat::Block<float>(count, WorkSource());
    s = plat::Block<float>(count, WorkSource());
    return a && b && c && s && (orders < 1 || filter.MakeDogFilter(27, 2, 2.0f) != 0);
  }
};

int32_t DeBlurWith(DeBlurWork& work, int16_t mode, int16_t opacity,
                   plat::PlaneView<unsigned char> plane, const unsigned char* mask,
                   plat::InclusiveRect rect, int16_t orders, int16_t strength);

// What steers a driver: the grey guide picture, the guide-sized plane that
// receives its edges, and the corner of the image (0, 0 .. outRight,
// outBottom) over which the edges are rescaled.
struct FocusGuide {
  plat::ConstPlaneView<unsigned char> picture;
  unsigned char* scratch = nullptr;
  int32_t outRight = 0;
  int32_t outBottom = 0;
};

// The edge map of a driver: the guide's edges rescaled over the image and
// the contrast table that turns them into weights.
struct EdgeMap {
  plat::Block<unsigned char> plane;
  int32_t table[256] = {};
};

int32_t MakeEdgeMap(int32_t width, int32_t height, const FocusGuide& guide, int32_t radius,
                    int32_t step, EdgeMap* map) {
  const plat::ConstPlaneView<unsigned char>& g = guide.picture;
  if (!g.valid() || guide.scratch == nullptr) return -1;
  map->plane = plat::Block<unsigned char>(static_cast<int64_t>(width) * height, WorkSource());
  if (!map->plane) return -1;
  map->plane.Clear();
  ChBufToChBuf(g.width, g.height, g.data, guide.scratch);
  if (X_FindEdge(guide.scratch, nullptr, g.height, g.width, 0, 0, g.width, g.height, 255,
                 std::max(radius, 0), -64, 0) != 0 ||
      plat::Cancelled() ||
      X_Newechant_charbuf(5, guide.scratch, g.width, g.height, map->plane.get(), width, height, 0,
                          0, g.width, g.height, 0, 0, guide.outRight, guide.outBottom) != 0) {
    map->plane.reset();
    return -1;
  }
  X_lutcontrast(map->table, step);
  return 0;
}

// The guide of a driver's loose arguments.
FocusGuide GuideOf(int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                   unsigned char* scratch, int32_t outBottom, int32_t outRight) {
  return {plat::ConstPlaneView<unsigned char>::Packed(guide, guideWidth, guideHeight), scratch,
          outRight, outBottom};
}

template <typename Pixels>
int32_t DeBlurChannels(int16_t mode, int32_t width, int32_t height, const Pixels& px,
                       const FocusGuide& guide, plat::ExclusiveRect rect, int16_t opacity,
                       int16_t orders, int16_t strength, int16_t edgeLevel) {
  EdgeMap edges;
  if (edgeLevel > 0 && width > 0 && height > 0 &&
      MakeEdgeMap(width, height, guide, 11 - edgeLevel, 30, &edges) != 0) {
    return -1;
  }
  DeBlurWork work;
  if (width > 0 && height > 0 && !work.Take(static_cast<int64_t>(width) * height, orders))
    return -1;
  return RunChannels(
      width, height, px, mode == 0 ? 4 : 3, rect,
      [&](int, plat::PlaneView<unsigned char> p, plat::ExclusiveRect r) {
        return DeBlurWith(work, 0, opacity, p, nullptr, r.Inclusive(), orders, strength);
      },
      [&](int k, int32_t x, int32_t y, unsigned char v) {
        if (!edges.plane) {
          px.Put(k, x, y, v);
          return;
        }
        const int32_t w = edges.table[edges.plane[static_cast<int64_t>(y) * width + x]];
        px.Put(k, x, y, static_cast<unsigned char>((w * v + (255 - w) * px.Out(k, x, y)) / 255));
      });
}

template <typename Pixels>
int32_t HighSharpChannels(int16_t mode, int32_t width, int32_t height, const Pixels& px,
                          const FocusGuide& guide, plat::ExclusiveRect rect, int16_t opacity,
                          int16_t blur, int16_t amount, int16_t edgeLevel) {
  EdgeMap edges;
  if (edgeLevel > 0 && width > 0 && height > 0 &&
      MakeEdgeMap(width, height, guide, edgeLevel, 10, &edges) != 0) {
    return -1;
  }
  // Percent: beyond 0..100 the mix would weigh outside the two values.
  const int32_t op = ClampInt(opacity, 0, 100);
  auto blend = SharedBlend(9);
  // Every row filled now: the bands below then only read the table.
  for (int32_t h = 0; h < 256; ++h) blend.Row(h);
  return RunChannels(
      width, height, px, mode == 0 ? 4 : 3, rect,
      [&](int k, plat::PlaneView<unsigned char> p, plat::ExclusiveRect r) {
        if (X_Blur_buffer(p.data, nullptr, width, height, 0, 0, width - 1, height - 1,
                          std::max<int32_t>(blur, 0), 1) != 0) {
          return -1;
        }
        // Each sample reads only its own blurred value and source.
        plat::ParallelFor(r.top, r.bottom, kMixBand, [&](int32_t y0, int32_t y1) {
          for (int32_t y = y0; y < y1; ++y) {
            if (plat::Cancelled()) return;
            for (int32_t x = r.left; x < r.right; ++x) {
              const int64_t i = p.Index(x, y);
              const int32_t s = px.In(k, x, y);
              const int32_t d = (p.data[i] - s) * amount / 50;
              const int32_t h = d > 128 ? 0 : (d < -127 ? 255 : 128 - d);
              const int32_t m = edges.plane ? edges.table[edges.plane[i]] * op / 255 : op;
              const int32_t tv = blend.Row(h)[s];
              p.data[i] = static_cast<unsigned char>((m * tv + (100 - m) * s) / 100);
            }
          }
        });
        return plat::Cancelled() ? -1 : 0;
      },
      [&](int k, int32_t x, int32_t y, unsigned char v) { px.Put(k, x, y, v); });
}

template <typename Pixels>
int32_t BlurOutEdgeChannels(int16_t mode, int32_t width, int32_t height, const Pixels& px,
                            const FocusGuide& guide, plat::ExclusiveRect rect, int16_t opacity,
                            int16_t edgeRadius, int16_t blur, int16_t lift, int16_t sharpen) {
  if (width <= 0 || height <= 0) return -1;
  EdgeMap edges;
  if (MakeEdgeMap(width, height, guide, edgeRadius, 30, &edges) != 0) return -1;
  // Percentages: beyond 0..100 the weights would leave 0..255 and wrap.
  const int32_t up = ClampInt(lift, 0, 100);
  for (int32_t& v : edges.table) v = ((100 - up) * v + 255 * up) / 100;
  const int32_t op = ClampInt(opacity, 0, 100);
  return RunChannels(
      width, height, px, mode == 0 ? 4 : 3, rect,
      [&](int k, plat::PlaneView<unsigned char> p, plat::ExclusiveRect r) {
        for (int32_t n = 0; n < blur / 10; ++n)
          if (plat::Cancelled() || MatrixWholePlane(width, height, p.data, 1, 100) != 0) return -1;
        plat::ParallelFor(r.top, r.bottom, kMixBand, [&](int32_t y0, int32_t y1) {
          for (int32_t y = y0; y < y1; ++y) {
            if (plat::Cancelled()) return;
            for (int32_t x = r.left; x < r.right; ++x) {
              const int64_t i = p.Index(x, y);
              const int32_t w = edges.table[edges.plane[i]] * op / 255;
              p.data[i] =
                  static_cast<unsigned char>(((100 - w) * px.In(k, x, y) + w * p.data[i]) / 100);
            }
          }
        });
        if (plat::Cancelled()) return -1;
        if (sharpen != 0) {
          // Outside the rectangle the plane still holds the smoothed
          // channel, which the two kernels read at the rectangle's edge.
          if (MatrixWholePlane(width, height, p.data, 1, 5) != 0 ||
              MatrixWholePlane(width, height, p.data, 0, sharpen * 750 / 100) != 0) {
            return -1;
          }
        }
        return 0;
      },
      [&](int k, int32_t x, int32_t y, unsigned char v) { px.Put(k, x, y, v); });
}

}  // namespace

Filter::Filter() = default;

Filter::~Filter() { plat::DisposePtr(kernel); }

float Filter::herpow(float base, float exponent) {
  if (base == 0.0f && exponent == 0.0f) return 1.0f;
  return static_cast<float>(std::pow(static_cast<double>(base), static_cast<double>(exponent)));
}

int Filter::fac(int n) {
  // Unsigned so that a factorial beyond 12! wraps instead of overflowing.
  uint32_t f = 1;
  for (int i = 2; i <= n; ++i) f *= static_cast<uint32_t>(i);
  return static_cast<int>(f);
}

float Filter::hermitefunction(float x, float sigma, int n) {
  const float s = sigma * sigma * 0.5f * 4.0f;
  float sum = 0.0f;
  for (int m = 0; m <= n / 2; ++m) {
    const float sign = (m & 1) != 0 ? -1.0f : 1.0f;
    const float num = herpow(2.0f * x, static_cast<float>(n - 2 * m));
    const float den = herpow(s, static_cast<float>(n - m)) * static_cast<float>(fac(m)) *
                      static_cast<float>(fac(n - 2 * m));
    sum += sign * num / den;
  }
  return static_cast<float>(fac(n)) * sum;
}

int Filter::MakeDogFilter(int taps, int order, float sigma) {
  if (taps <= 2 || order < 0) return 0;
  // The member is the documented owner of its kernel: plain blocks that the
  // destructor frees.
  float* k = reinterpret_cast<float*>(plat::NewPtr(static_cast<int64_t>(taps) * sizeof(float)));
  if (k == nullptr) return 0;
  plat::DisposePtr(kernel);
  kernel = k;
  size = taps;
  const double c = (taps - 1) * 0.5;
  centre = static_cast<int32_t>(c + 1.0);
  const float s = sigma * sigma * 2.0f;
  float sum = 0.0f;
  for (int i = 0; i < taps; ++i) {
    const float d = static_cast<float>(i - c);
    sum += std::exp(-(d * d) / s);
  }
  const float norm = 1.0f / sum;
  for (int i = 0; i < taps; ++i) {
    const double d = i - c;
    const float g = static_cast<float>(norm * std::exp(-(d * d) / static_cast<double>(s)));
    kernel[i] = g * hermitefunction(static_cast<float>(d), sigma, order);
  }
  return 1;
}

int Filter::ConvCharBuf(unsigned char* src, float* dst, int32_t width, int32_t height,
                        int direction, float gain, int offset) {
  if (src == nullptr || kernel == nullptr || width <= 0 || height <= 0) return 0;
  const int64_t count = static_cast<int64_t>(width) * height;
  // With a separate destination the sums go straight into it.
  if (dst != nullptr) {
    ClearBorders(dst, width, height, direction, size);
    ConvolvePlane(src, dst, width, height, direction, kernel, size);
    return 1;
  }
  const float off = static_cast<float>(offset);
  // The vector paths sum straight into the plane (see filter_passes.h); the
  // plain one goes through rows of floats or a plane of sums.
  if (direction == 0 && filter_passes::RowsInPlace(src, width, height, kernel, size, gain, off))
    return 1;
  if (direction == 1 && filter_passes::ColumnsInPlace(src, width, height, kernel, size, gain, off))
    return 1;
  if (direction == 0) return RowsInPlace(src, width, height, kernel, size, gain, off) ? 1 : 0;
  plat::Block<float> work(count, WorkSource());
  if (!work) return 0;
  ClearBorders(work.get(), width, height, direction, size);
  ConvolvePlane(src, work.get(), width, height, direction, kernel, size);
  const float* sums = work.get();
  plat::ParallelFor(0, height, ConvBand(width, 4), [=](int32_t y0, int32_t y1) {
    const int64_t first = static_cast<int64_t>(y0) * width;
    const int64_t end = static_cast<int64_t>(y1) * width;
    for (int64_t i = first + StoreGain(sums + first, src + first, end - first, gain, off); i < end;
         ++i) {
      src[i] = GainByte(sums[i], gain, off);
    }
  });
  return 1;
}

int Filter::ConvCharBuf(float* src, float* dst, int32_t width, int32_t height, int direction) {
  if (src == nullptr || dst == nullptr || kernel == nullptr || width <= 0 || height <= 0) return 0;
  const int64_t count = static_cast<int64_t>(width) * height;
  if (dst != src) {
    ClearBorders(dst, width, height, direction, size);
    ConvolvePlane(static_cast<const float*>(src), dst, width, height, direction, kernel, size);
    return 1;
  }
  plat::Block<float> work(count, WorkSource());
  if (!work) return 0;
  ClearBorders(work.get(), width, height, direction, size);
  ConvolvePlane(static_cast<const float*>(src), work.get(), width, height, direction, kernel, size);
  std::memcpy(dst, work.get(), static_cast<size_t>(count) * sizeof(float));
  return 1;
}

int32_t DeBlur(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
               int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
               int32_t bottom, int16_t orders, int16_t strength) {
  const auto view = plat::PlaneView<unsigned char>::Packed(plane, width, height);
  if (!view.valid()) return -1;
  plat::InclusiveRect rect{left, top, right, bottom};
  if (!rect.ClipTo(width, height)) return 0;
  DeBlurWork work;
  if (!work.Take(view.count(), orders)) return -1;
  return DeBlurWith(work, mode, opacity, view, mask, rect, orders, strength);
}

namespace {

// The series over a packed plane; the work planes are plane-sized.
int32_t DeBlurWith(DeBlurWork& work, int16_t mode, int16_t opacity,
                   plat::PlaneView<unsigned char> plane, const unsigned char* mask,
                   plat::InclusiveRect rect, int16_t orders, int16_t strength) {
  if (!rect.ClipTo(plane.width, plane.height)) return 0;
  const int32_t width = plane.width;
  const int32_t height = plane.height;
  const int64_t count = plane.count();
  Filter& filter = work.filter;
  float* a = work.a.get();
  float* b = work.b.get();
  float* c = work.c.get();
  float* s = work.s.get();
  std::fill(s, s + count, 0.0f);
  // Beyond the strength limit a coefficient overflows and the sum turns to
  // infinities and NaN; the orders past the limit all have coefficient 0.
  strength = std::clamp(strength, static_cast<int16_t>(-kDeBlurMaxStrength), kDeBlurMaxStrength);
  orders = std::min(orders, kDeBlurMaxOrders);
  const float q = static_cast<float>(strength) / -10.0f;
  // k! in double: exact as far as the series can usefully go, where an
  // integer factorial would overflow past 12 terms.
  double factorial = 1.0;
  for (int32_t k = 1; k <= orders; ++k) {
    factorial *= k;
    const float coef = static_cast<float>(std::pow(static_cast<double>(q), k) / factorial);
    // Past its peak the coefficient only shrinks: once it is 0, no later
    // term adds anything.
    if (coef == 0.0f) break;
    const int ok = k == 1 ? filter.ConvCharBuf(plane.data, a, width, height, 0, 1.0f, 0) &
                                filter.ConvCharBuf(plane.data, b, width, height, 1, 1.0f, 0)
                          : filter.ConvCharBuf(c, a, width, height, 0) &
                                filter.ConvCharBuf(c, b, width, height, 1);
    // Stopped work gives up between orders (RunChannels writes nothing).
    if (ok == 0 || plat::Cancelled()) return -1;
    SeriesStep(a, b, c, s, coef, count);
  }
  BlendIntoRect(plane.data, mask, width, rect.left, rect.top, rect.right, rect.bottom,
                static_cast<uint32_t>(mode + 1), opacity, [&](int64_t i, int32_t p) {
                  const float v = static_cast<float>(p) + s[i];
                  return v > 254.0f ? 255 : (v < 1.0f ? 0 : static_cast<int32_t>(v));
                });
  return 0;
}

// The high-pass over a packed plane and an inclusive rectangle inside it.
int32_t HighPassCore(int16_t mode, int16_t opacity, plat::PlaneView<unsigned char> plane,
                     const unsigned char* mask, plat::InclusiveRect rect, int16_t blur,
                     int16_t amount) {
  plat::Block<unsigned char> work(plane.count(), WorkSource());
  if (!work) return -1;
  // The whole plane, so the blur sees real neighbours around the rectangle.
  std::memcpy(work.get(), plane.data, static_cast<size_t>(plane.count()));
  if (X_Blur_buffer(work.get(), nullptr, plane.width, plane.height, 0, 0, plane.width - 1,
                    plane.height - 1, std::max<int32_t>(blur, 0), 1) != 0) {
    return -1;
  }
  BlendIntoRect(plane.data, mask, plane.width, rect.left, rect.top, rect.right, rect.bottom,
                static_cast<uint32_t>(mode + 1), opacity, [&](int64_t i, int32_t p) {
                  const int32_t d = (work[i] - p) * amount / 200;
                  return d > 128 ? 0 : (d < -127 ? 255 : 128 - d);
                });
  return 0;
}

}  // namespace

int32_t HighPass(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
                 int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                 int32_t bottom, int16_t blur, int16_t amount) {
  const auto view = plat::PlaneView<unsigned char>::Packed(plane, width, height);
  if (!view.valid()) return -1;
  plat::InclusiveRect rect{left, top, right, bottom};
  if (!rect.ClipTo(width, height)) return 0;
  return HighPassCore(mode, opacity, view, mask, rect, blur, amount);
}

int32_t X_DeBlur_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                        uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                        const unsigned char* guide, unsigned char* scratch, int32_t outBottom,
                        int32_t outRight, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, int16_t /*resample*/, int32_t /*offsetX*/,
                        int32_t /*offsetY*/, float /*scaleX*/, float /*scaleY*/,
                        int16_t opacity, int16_t orders, int16_t strength, int16_t edgeLevel) {
  if (src == nullptr || dst == nullptr) return -1;
  return DeBlurChannels(mode, width, height, LongPixels::Of(src, dst, width),
                        GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                        {left, top, right, bottom}, opacity, orders, strength, edgeLevel);
}

int32_t X_HighSharp_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                           uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                           const unsigned char* guide, unsigned char* scratch, int32_t outBottom,
                           int32_t outRight, int32_t left, int32_t top, int32_t right,
                           int32_t bottom, int16_t /*resample*/, int32_t /*offsetX*/,
                           int32_t /*offsetY*/, float /*scaleX*/, float /*scaleY*/,
                           int16_t opacity, int16_t blur, int16_t amount, int16_t edgeLevel) {
  if (src == nullptr || dst == nullptr) return -1;
  return HighSharpChannels(mode, width, height, LongPixels::Of(src, dst, width),
                           GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                           {left, top, right, bottom}, opacity, blur, amount, edgeLevel);
}

int32_t X_bluroutedge_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                             uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                             const unsigned char* guide, unsigned char* scratch,
                             int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                             int32_t right, int32_t bottom, int16_t /*resample*/,
                             int32_t /*offsetX*/, int32_t /*offsetY*/, float /*scaleX*/,
                             float /*scaleY*/, int16_t opacity, int16_t edgeRadius,
                             int16_t blur, int16_t lift, int16_t sharpen) {
  if (src == nullptr || dst == nullptr) return -1;
  return BlurOutEdgeChannels(mode, width, height, LongPixels::Of(src, dst, width),
                             GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                             {left, top, right, bottom}, opacity, edgeRadius, blur, lift, sharpen);
}

int32_t X_DeBlur_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           unsigned char* scratch, int32_t outBottom, int32_t outRight,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int16_t opacity, int16_t orders, int16_t strength, int16_t edgeLevel) {
  if (planes == nullptr) return -1;
  return DeBlurChannels(mode, width, height, RowPixels{planes},
                        GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                        {left, top, right, bottom}, opacity, orders, strength, edgeLevel);
}

int32_t X_HighSharp_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                              int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                              unsigned char* scratch, int32_t outBottom, int32_t outRight,
                              int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int16_t opacity, int16_t blur, int16_t amount, int16_t edgeLevel) {
  if (planes == nullptr) return -1;
  return HighSharpChannels(mode, width, height, RowPixels{planes},
                           GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                           {left, top, right, bottom}, opacity, blur, amount, edgeLevel);
}

int32_t X_bluroutedge_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                                int32_t guideHeight, int32_t guideWidth,
                                const unsigned char* guide, unsigned char* scratch,
                                int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                                int32_t right, int32_t bottom, int16_t opacity,
                                int16_t edgeRadius, int16_t blur, int16_t lift, int16_t sharpen) {
  if (planes == nullptr) return -1;
  return BlurOutEdgeChannels(mode, width, height, RowPixels{planes},
                             GuideOf(guideHeight, guideWidth, guide, scratch, outBottom, outRight),
                             {left, top, right, bottom}, opacity, edgeRadius, blur, lift, sharpen);
}
