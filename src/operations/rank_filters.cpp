// Rank filters: grey dilation and erosion over a rectangle, the median over
// a square, and the 3 x 3 median that spares edges.
//
// The maximum and minimum are separable: a vertical pass over column strips
// into the work copy, then a horizontal pass along each of its rows (one
// channel with a column radius up to 16 takes both in one walk down bands
// of rows instead, see ExtremumByBands). Each one-dimensional pass of the
// strips costs O(1) a sample: inside, where the whole window fits, the van
// Herk / Gil-Werman blocks of 2r + 1 samples give any window as the maximum
// of one block's suffix and the next block's prefix; in the border bands
// the window shrinks symmetrically, so it always starts (or ends) at the
// region's edge and is a running maximum from that edge.
// Measured on 2048 x 1536 (one core): radius 25 costs about what radius 1
// does.
//
// The median slides a 256-bin histogram along each row (Huang): one column
// of the window leaves and one enters per step, and the median is tracked
// from the last one by counting how many samples lie below it. Coordinates
// are clamped to the region, and a sample that the clamp names several
// times counts that many times, so the multiset, and with it its middle,
// is exactly that of the sorted window.
#include <algorithm>
#include <cstring>
#include <type_traits>

#include "operations/edge_mix.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/rank_kernels.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/convolution.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

// Lanes of the vertical pass: this many neighbouring samples are carried
// down the region together, so the inner loops run over contiguous bytes.
constexpr int32_t kStrip = 128;

struct MaxOp {
  uint8_t operator()(uint8_t a, uint8_t b) const { return a > b ? a : b; }
};
struct MinOp {
  uint8_t operator()(uint8_t a, uint8_t b) const { return a < b ? a : b; }
};

// One-dimensional pass over n positions of `lanes` independent signals:
// signal l at position j is in[j * inStep + l], its result goes to
// out[j * outStep + l]. g and h hold n * lanes samples each.
// kLanes > 0 fixes the lane count at compile time, so that the lane loops
// unroll and vectorise; 0 takes `laneCount`.
template <int32_t kLanes, typename Op>
void Slide(const uint8_t* in, int64_t inStep, uint8_t* out, int64_t outStep, int32_t n,
           int32_t laneCount, int32_t r, uint8_t* g, uint8_t* h, Op op) {
  const int32_t lanes = kLanes > 0 ? kLanes : laneCount;
  auto src = [&](int32_t j) { return in + j * inStep; };
  auto dst = [&](int32_t j) { return out + j * outStep; };
  auto G = [&](int32_t j) { return g + static_cast<int64_t>(j) * lanes; };
  auto H = [&](int32_t j) { return h + static_cast<int64_t>(j) * lanes; };
  if (r == 0 || n == 1) {
    for (int32_t j = 0; j < n; ++j) std::memcpy(dst(j), src(j), static_cast<size_t>(lanes));
    return;
  }
  // Prefixes (g) and suffixes (h) within blocks of 2r + 1; a region shorter
  // than one block is one block, whose prefix and suffix serve its bands.
  const int32_t block = r < n ? 2 * r + 1 : n;
  for (int32_t b = 0; b < n; b += block) {
    const int32_t e = std::min(b + block, n);
    std::memcpy(G(b), src(b), static_cast<size_t>(lanes));
    for (int32_t j = b + 1; j < e; ++j) {
      for (int32_t l = 0; l < lanes; ++l) G(j)[l] = op(G(j - 1)[l], src(j)[l]);
    }
    std::memcpy(H(e - 1), src(e - 1), static_cast<size_t>(lanes));
    for (int32_t j = e - 2; j >= b; --j) {
      for (int32_t l = 0; l < lanes; ++l) H(j)[l] = op(H(j + 1)[l], src(j)[l]);
    }
  }
  // Inside: the window i - r .. i + r spans the end of one block and the
  // start of the next (or exactly one block).
  for (int32_t i = r; i + r < n; ++i) {
    for (int32_t l = 0; l < lanes; ++l) dst(i)[l] = op(H(i - r)[l], G(i + r)[l]);
  }
  // Near the start the window is 0 .. 2i, a prefix of the first block.
  for (int32_t i = 0; i < r && i <= n - 1 - i; ++i) {
    std::memcpy(dst(i), G(2 * i), static_cast<size_t>(lanes));
  }
  // Near the end it is 2i - n + 1 .. n - 1: a suffix of the whole signal.
  // The inside no longer needs the suffixes of the last 2r positions, so
  // h is rebuilt there as suffixes to the end.
  const int32_t from = std::max(0, n - 2 * r);
  if (block < n) {
    std::memcpy(H(n - 1), src(n - 1), static_cast<size_t>(lanes));
    for (int32_t j = n - 2; j >= from; --j) {
      for (int32_t l = 0; l < lanes; ++l) H(j)[l] = op(H(j + 1)[l], src(j)[l]);
    }
  }
  for (int32_t i = std::max(n - r, 0); i < n; ++i) {
    if (i <= n - 1 - i) continue;  // a short signal: the start's band has it
    std::memcpy(dst(i), H(2 * i - n + 1), static_cast<size_t>(lanes));
  }
}

// Picks the compile-time lane count for the common cases.
template <typename Op>
void SlideAny(const uint8_t* in, int64_t inStep, uint8_t* out, int64_t outStep, int32_t n,
              int32_t lanes, int32_t r, uint8_t* g, uint8_t* h, Op op) {
  switch (lanes) {
    case kStrip: return Slide<kStrip>(in, inStep, out, outStep, n, lanes, r, g, h, op);
    case 1: return Slide<1>(in, inStep, out, outStep, n, lanes, r, g, h, op);
    case 3: return Slide<3>(in, inStep, out, outStep, n, lanes, r, g, h, op);
    case 4: return Slide<4>(in, inStep, out, outStep, n, lanes, r, g, h, op);
    default: return Slide<0>(in, inStep, out, outStep, n, lanes, r, g, h, op);
  }
}

// The horizontal pass of one-channel rows by doubling: level k holds the
// extreme of k samples from each position, level 2k pairs two of level k,
// and the full window 2r + 1 is two overlapping runs of the largest level p
// that fits in it. log2(p) + 1 passes over the row, each a plain pairwise
// extreme that runs 16 to 64 samples a step, against the blocks' serial
// chain of one sample a step; the border bands keep their running extremes.
using PairFn = void (*)(const uint8_t*, const uint8_t*, uint8_t*, int32_t);

template <bool kMax>
void PairBaseline(const uint8_t* __restrict x, const uint8_t* __restrict y, uint8_t* __restrict z,
                  int32_t m) {
  for (int32_t j = 0; j < m; ++j) z[j] = kMax ? std::max(x[j], y[j]) : std::min(x[j], y[j]);
}

#if VMK_SIMD_X86
template <bool kMax>
VMK_TARGET_AVX2 void PairAvx2(const uint8_t* __restrict x, const uint8_t* __restrict y,
                              uint8_t* __restrict z, int32_t m) {
  for (int32_t j = 0; j < m; ++j) z[j] = kMax ? std::max(x[j], y[j]) : std::min(x[j], y[j]);
}

template <bool kMax>
VMK_TARGET_AVX512 void PairAvx512(const uint8_t* __restrict x, const uint8_t* __restrict y,
                                  uint8_t* __restrict z, int32_t m) {
  for (int32_t j = 0; j < m; ++j) z[j] = kMax ? std::max(x[j], y[j]) : std::min(x[j], y[j]);
}
#endif

// A short window in one pass: out[j] = the extreme of rows[0][j] ..
// rows[count - 1][j] for j < m, kept in a register while the rows go by. It
// serves both directions: a few rows of the ring, or a few neighbouring
// samples of one row (rows[d] = row + d). Up to kDirectWindow rows it beats
// the doubling levels, which store every level between.
// `ahead`, when not null, is the row the caller reads next: it is fetched
// into the cache alongside, so that its first reads do not wait on memory.
using WindowFn = void (*)(const uint8_t* const*, int32_t, uint8_t*, int32_t, const uint8_t*);
constexpr int32_t kDirectWindow = 9;

template <bool kMax>
uint8_t Extreme(uint8_t a, uint8_t b) {
  return kMax ? std::max(a, b) : std::min(a, b);
}

// The samples past the last whole vector one at a time: only rows shorter
// than one vector come here; longer ones finish with a vector that ends at
// m and overlaps the last, rewriting a few samples with the same values.
template <bool kMax>
void WindowTail(const uint8_t* const* rows, int32_t count, uint8_t* out, int32_t from, int32_t m) {
  for (int32_t j = from; j < m; ++j) {
    uint8_t v = rows[0][j];
    for (int32_t d = 1; d < count; ++d) v = Extreme<kMax>(v, rows[d][j]);
    out[j] = v;
  }
}

template <bool kMax>
void WindowBaseline(const uint8_t* const* rows, int32_t count, uint8_t* out, int32_t m,
                    const uint8_t* ahead) {
  constexpr int32_t kChunk = 64;
  if (m < kChunk) return WindowTail<kMax>(rows, count, out, 0, m);
  for (int32_t j = 0; j < m; j += kChunk) {
    const int32_t at = std::min(j, m - kChunk);
    if (ahead != nullptr) __builtin_prefetch(ahead + at);
    uint8_t acc[kChunk];
    std::memcpy(acc, rows[0] + at, kChunk);
    for (int32_t d = 1; d < count; ++d) {
      const uint8_t* r = rows[d] + at;
      for (int32_t l = 0; l < kChunk; ++l) acc[l] = Extreme<kMax>(acc[l], r[l]);
    }
    std::memcpy(out + at, acc, kChunk);
  }
}

#if VMK_SIMD_X86
template <bool kMax>
VMK_TARGET_AVX2 inline __m256i Extreme32(__m256i a, const uint8_t* p) {
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  return kMax ? _mm256_max_epu8(a, b) : _mm256_min_epu8(a, b);
}

template <bool kMax>
VMK_TARGET_AVX2 void WindowAvx2(const uint8_t* const* rows, int32_t count, uint8_t* out, int32_t m,
                                const uint8_t* ahead) {
  int32_t j = 0;
  for (; j + 64 <= m; j += 64) {
    if (ahead != nullptr) __builtin_prefetch(ahead + j);
    const uint8_t* r = rows[0] + j;
    __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r));
    __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r + 32));
    for (int32_t d = 1; d < count; ++d) {
      r = rows[d] + j;
      v0 = Extreme32<kMax>(v0, r);
      v1 = Extreme32<kMax>(v1, r + 32);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j), v0);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j + 32), v1);
  }
  if (m < 32) return WindowTail<kMax>(rows, count, out, j, m);
  for (; j < m; j += 32) {
    const int32_t at = std::min(j, m - 32);
    __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[0] + at));
    for (int32_t d = 1; d < count; ++d) v = Extreme32<kMax>(v, rows[d] + at);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + at), v);
  }
}

template <bool kMax>
VMK_TARGET_AVX512 inline __m512i Extreme64(__m512i a, const uint8_t* p) {
  const __m512i b = _mm512_loadu_si512(p);
  return kMax ? _mm512_max_epu8(a, b) : _mm512_min_epu8(a, b);
}

template <bool kMax>
VMK_TARGET_AVX512 void WindowAvx512(const uint8_t* const* rows, int32_t count, uint8_t* out,
                                    int32_t m, const uint8_t* ahead) {
  int32_t j = 0;
  for (; j + 128 <= m; j += 128) {
    if (ahead != nullptr) {
      __builtin_prefetch(ahead + j);
      __builtin_prefetch(ahead + j + 64);
    }
    const uint8_t* r = rows[0] + j;
    __m512i v0 = _mm512_loadu_si512(r);
    __m512i v1 = _mm512_loadu_si512(r + 64);
    for (int32_t d = 1; d < count; ++d) {
      r = rows[d] + j;
      v0 = Extreme64<kMax>(v0, r);
      v1 = Extreme64<kMax>(v1, r + 64);
    }
    _mm512_storeu_si512(out + j, v0);
    _mm512_storeu_si512(out + j + 64, v1);
  }
  if (m < 64) return WindowTail<kMax>(rows, count, out, j, m);
  for (; j < m; j += 64) {
    const int32_t at = std::min(j, m - 64);
    __m512i v = _mm512_loadu_si512(rows[0] + at);
    for (int32_t d = 1; d < count; ++d) v = Extreme64<kMax>(v, rows[d] + at);
    _mm512_storeu_si512(out + at, v);
  }
}
#endif

// The vector forms a pass takes, picked once before its loop.
struct Kernels {
  PairFn pair;
  WindowFn window;
};

template <bool kMax>
Kernels PickKernels() {
#if VMK_SIMD_X86
  return {
      plat::PickKernel<PairFn>(&PairBaseline<kMax>, &PairAvx2<kMax>, &PairAvx512<kMax>),
      plat::PickKernel<WindowFn>(&WindowBaseline<kMax>, &WindowAvx2<kMax>, &WindowAvx512<kMax>)};
#else
  return {&PairBaseline<kMax>, &WindowBaseline<kMax>};
#endif
}

// out[i] = the extreme of in over i - k .. i + k, k = min(r, i, n - 1 - i).
// a and b hold n samples each; in, out, a and b are apart. A short window
// goes in one pass instead.
template <typename Op>
void SlideRowByDoubling(const uint8_t* in, uint8_t* out, int32_t n, int32_t r, uint8_t* a,
                        uint8_t* b, Kernels kernels, Op op, const uint8_t* ahead = nullptr) {
  if (r == 0 || n == 1) {
    std::memcpy(out, in, static_cast<size_t>(n));
    return;
  }
  const PairFn pair = kernels.pair;
  const int64_t window = 2 * static_cast<int64_t>(r) + 1;
  if (window <= n && window <= kDirectWindow) {
    const uint8_t* taps[kDirectWindow];
    for (int32_t d = 0; d < window; ++d) taps[d] = in + d;
    kernels.window(taps, static_cast<int32_t>(window), out + r, n - 2 * r, ahead);
  } else if (window <= n) {
    int32_t p = 1;
    while (2 * static_cast<int64_t>(p) <= window) p *= 2;
    const uint8_t* level = in;
    uint8_t* spare[2] = {a, b};
    int32_t next = 0;
    for (int32_t k = 1; k < p; k *= 2) {
      // Level 2k is defined at 0 .. n - 2k.
      pair(level, level + k, spare[next], n - 2 * k + 1);
      level = spare[next];
      next ^= 1;
    }
    pair(level, level + (window - p), out + r, n - 2 * r);
  }
  // The start's band: window 0 .. 2i, grown two samples a step.
  uint8_t m = in[0];
  int32_t end = 0;
  for (int32_t i = 0; i < r && i <= n - 1 - i; ++i) {
    while (end < 2 * i) m = op(m, in[++end]);
    out[i] = m;
  }
  // The end's band: window 2i - n + 1 .. n - 1.
  m = in[n - 1];
  int32_t start = n - 1;
  for (int32_t i = n - 1; n - 1 - i < r && i > n - 1 - i; --i) {
    while (start > 2 * i - n + 1) m = op(m, in[--start]);
    out[i] = m;
  }
}

// Strips of the vertical pass per band, and rows per band of the
// horizontal one: every strip and row is filtered alone, so the bands only
// share out the work, each with its own block extremes (and row copy).
// Each strip band holds its own block extremes, a column of the whole
// region: at most kStripBands of them, so that a wide plane does not fault
// in tens of megabytes of fresh scratch for a pass that reads it once.
constexpr int32_t kStripsPerBand = 2;
constexpr int32_t kStripBands = 12;
constexpr int32_t kRowsPerBand = 16;

template <typename Op>
int32_t ExtremeFilterWith(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst,
                          int32_t channels, int32_t rx, int32_t ry, Op op) {
  const int32_t samples = src.width;
  const int32_t rows = src.height;
  const int32_t pixels = samples / channels;
  const int32_t strips = (samples + kStrip - 1) / kStrip;
  const int32_t stripsPerBand = std::max(kStripsPerBand, (strips + kStripBands - 1) / kStripBands);
  const int32_t stripBands = plat::BandCount(0, strips, stripsPerBand);
  const int32_t rowBands = rx == 0 ? 0 : plat::BandCount(0, rows, kRowsPerBand);
  // Block extremes of one band: a strip's column of kStrip lanes, or a row.
  const int64_t column = static_cast<int64_t>(rows) * kStrip;
  const int64_t scratch = std::max(column * stripBands, static_cast<int64_t>(samples) * rowBands);
  plat::Block<uint8_t> g(scratch, WorkSource()), h(scratch, WorkSource());
  plat::Block<uint8_t> line(static_cast<int64_t>(samples) * rowBands, WorkSource());
  if (!g || !h || !line) return -1;
  uint8_t* const gs = g.get();
  uint8_t* const hs = h.get();
  plat::ParallelFor(0, strips, stripsPerBand, [=](int32_t band, int32_t first, int32_t last) {
    for (int32_t strip = first; strip < last; ++strip) {
      const int32_t c = strip * kStrip;
      const int32_t lanes = std::min(kStrip, samples - c);
      SlideAny(src.data + c, src.rowStep, dst.data + c, dst.rowStep, rows, lanes, ry,
               gs + band * column, hs + band * column, op);
    }
  });
  if (rx == 0) return 0;
  uint8_t* const lines = line.get();
  const Kernels kernels = PickKernels<std::is_same_v<Op, MaxOp>>();
  plat::ParallelFor(0, rows, kRowsPerBand, [=](int32_t band, int32_t first, int32_t last) {
    const int64_t at = static_cast<int64_t>(band) * samples;
    for (int32_t y = first; y < last; ++y) {
      std::memcpy(lines + at, dst.Row(y), static_cast<size_t>(samples));
      if (channels == 1) {
        SlideRowByDoubling(lines + at, dst.Row(y), samples, rx, gs + at, hs + at, kernels, op);
      } else {
        SlideAny(lines + at, channels, dst.Row(y), channels, pixels, channels, rx, gs + at,
                 hs + at, op);
      }
    }
  });
  return 0;
}

// Blends the filtered region (packed, rw * channels samples a row) into the
// buffer.
void BlendRegion(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t width,
                 int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t channels,
                 const unsigned char* mask, const unsigned char* filtered) {
  const int64_t rowSamples = static_cast<int64_t>(x1 - x0 + 1) * channels;
  if (mode == 0 && opacity == 255 && mask == nullptr) {
    // Full weight of the replacing blend: the filtered samples themselves.
    for (int32_t y = y0; y <= y1; ++y) {
      std::memcpy(buffer + (static_cast<int64_t>(y) * width + x0) * channels,
                  filtered + (y - y0) * rowSamples, static_cast<size_t>(rowSamples));
    }
    return;
  }
  if (channels == 1) {
    effect_support::BlendPackedRegion(mode, opacity, buffer, mask, width, x0, y0, x1, y1,
                                      filtered);
    return;
  }
  for (int32_t y = y0; y <= y1; ++y) {
    const unsigned char* f = filtered + (y - y0) * rowSamples;
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t pixel = static_cast<int64_t>(y) * width + x;
      const int32_t a = Weight(mask, pixel, opacity);
      unsigned char* p = buffer + pixel * channels;
      const unsigned char* v = f + static_cast<int64_t>(x - x0) * channels;
      for (int32_t k = 0; k < channels; ++k) p[k] = Blend(mode, p[k], v[k], a);
    }
  }
}

// One channel, column radius up to kBandRadius: both passes in one walk
// down bands of rows, so that the plane is read once and written once and
// nothing else leaves the cache. Each source row's extremes along the row
// (as above) go into a ring of level rows; a short column window is then
// taken straight from the ring in one pass, a longer one is doubled the
// same way down the ring (level 2k of row y pairs level k of rows y and
// y + k) and the window 2r + 1 is two overlapping runs of the largest level
// p in it; either is written straight into the plane (or blended there).
// The extremes of a rectangle are those of its rows' extremes in any
// order, so this is the strip pass's result to the bit.
// A row is overwritten only after its band has read it; the r rows at
// each end of a band, which the neighbouring bands read too, are copied
// aside before any band writes.
constexpr int32_t kBandRadius = 16;
// Bands of the walk: at most about this many, each with its own ring.
constexpr int32_t kWalkBands = 32;
constexpr int32_t kMaxLevels = 8;  // log2(2 * kBandRadius + 1) + 1 and some

template <typename Op>
int32_t ExtremumByBands(plat::ConstPlaneView<uint8_t> region, int16_t mode, int16_t opacity,
                        unsigned char* buffer, int32_t width, int32_t x0, int32_t y0, int32_t rx,
                        int32_t ry, const unsigned char* mask, Op op) {
  const int32_t rw = region.width, rh = region.height;
  const int32_t band = std::max({ry, kRowsPerBand, (rh + kWalkBands - 1) / kWalkBands});
  const int32_t bands = plat::BandCount(0, rh, band);
  // Level j holds the extremes of 2^j rows; p = 2^top is the largest in
  // the window. Rows kept per level: the next level pairs rows y and
  // y + 2^j of this one; the top one pairs rows i - r and i + r - p + 1;
  // level 0 also serves the border rows, whose windows reach 2r back.
  const bool direct = 2 * ry + 1 <= kDirectWindow;
  int32_t top = 0, p = 1;
  while (!direct && 2 * p <= 2 * ry + 1) {
    p *= 2;
    ++top;
  }
  int32_t kept[kMaxLevels] = {};
  int64_t at[kMaxLevels] = {};
  int64_t ringRows = 0;
  for (int32_t j = 0; j <= top; ++j) {
    kept[j] = j == 0 ? 2 * ry + 1 : (j == top ? 2 * ry + 2 - p : (1 << j) + 1);
    at[j] = ringRows * rw;
    ringRows += kept[j];
  }
  // The ring, two doubling levels of the row pass and a filtered row.
  const int64_t perBand = (ringRows + 3) * rw;
  plat::Block<unsigned char> scratch(perBand * bands, WorkSource());
  plat::Block<unsigned char> ends(std::max<int64_t>(2 * static_cast<int64_t>(ry) * rw * bands, 1),
                                  WorkSource());
  if (!scratch || !ends) return -1;
  unsigned char* const spare = scratch.get();
  unsigned char* const aside = ends.get();
  const int64_t endRows = 2 * static_cast<int64_t>(ry);
  // The first r rows of a band go to slots 0 .. r - 1 of its part of `aside`, the last r rows
  // to slots r .. 2r - 1.
  if (ry > 0 && bands > 1) {
    plat::ParallelFor(0, rh, band, [=](int32_t index, int32_t first, int32_t last) {
      unsigned char* const slots = aside + index * endRows * rw;
      if (index > 0) {
        for (int32_t t = first; t < std::min(first + ry, last); ++t) {
          std::memcpy(slots + (t - first) * static_cast<int64_t>(rw), region.Row(t),
                      static_cast<size_t>(rw));
        }
      }
      if (index < bands - 1) {
        for (int32_t t = last - ry; t < last; ++t) {
          std::memcpy(slots + (ry + t - (last - ry)) * static_cast<int64_t>(rw), region.Row(t),
                      static_cast<size_t>(rw));
        }
      }
    });
  }
  const Kernels kernels = PickKernels<std::is_same_v<Op, MaxOp>>();
  const PairFn pair = kernels.pair;
  const bool replace = mode == 0 && opacity == 255 && mask == nullptr;
  plat::ParallelFor(0, rh, band, [=](int32_t index, int32_t first, int32_t last) {
    unsigned char* const base = spare + index * perBand;
    uint8_t* const a = base + ringRows * rw;
    uint8_t* const b = a + rw;
    uint8_t* const line = b + rw;
    auto level = [&](int32_t j, int32_t y) {
      return base + at[j] + static_cast<int64_t>(y % kept[j]) * rw;
    };
    // Row i of the band, once every row its window names is in the ring.
    auto emit = [&](int32_t i) {
      const int64_t row = static_cast<int64_t>(y0 + i) * width + x0;
      uint8_t* const out = replace ? buffer + row : line;
      const int32_t k = std::min({ry, i, rh - 1 - i});
      if (k == 0) {
        std::memcpy(out, level(0, i), static_cast<size_t>(rw));
      } else if (k == ry && !direct) {
        pair(level(top, i - ry), level(top, i + ry - p + 1), out, rw);
      } else {
        // A short window, or a border row's shrunk one: its rows in one pass.
        const uint8_t* taps[2 * kBandRadius + 1];
        for (int32_t s = i - k; s <= i + k; ++s) taps[s - i + k] = level(0, s);
        kernels.window(taps, 2 * k + 1, out, rw, nullptr);
      }
      if (!replace) {
        effect_support::BlendRun(mode, opacity, buffer + row, line,
                                 mask != nullptr ? mask + row : nullptr, rw);
      }
    };
    const int32_t lo = std::max(0, first - ry), hi = std::min(rh - 1, last - 1 + ry);
    int32_t next = first;
    // Source row t: the band's own, or a neighbour's set aside.
    auto source = [&](int32_t t) -> const uint8_t* {
      if (t < first) return aside + ((index - 1) * endRows + ry + (t - (first - ry))) * rw;
      if (t >= last) return aside + ((index + 1) * endRows + (t - last)) * rw;
      return region.Row(t);
    };
    for (int32_t t = lo; t <= hi; ++t) {
      SlideRowByDoubling(source(t), level(0, t), rw, rx, a, b, kernels, op,
                         t < hi ? source(t + 1) : nullptr);
      for (int32_t j = 1; j <= top; ++j) {
        const int32_t y = t - (1 << j) + 1;
        if (y < lo) break;
        pair(level(j - 1, y), level(j - 1, y + (1 << (j - 1))), level(j, y), rw);
      }
      const int32_t upTo = t == rh - 1 ? last - 1 : std::min(last - 1, t - ry);
      for (; next <= upTo; ++next) emit(next);
    }
  });
  return 0;
}

// One channel: the columns' extremes go to the work copy, and each row's
// extremes along it go straight to the plane (blended there), whose samples
// the column pass has done reading: no whole-region copy back.
template <typename Op>
int32_t ExtremumOfOneChannel(plat::ConstPlaneView<uint8_t> region, int16_t mode,
                             int16_t opacity, unsigned char* buffer, int32_t width, int32_t x0,
                             int32_t y0, int32_t rx, int32_t ry, const unsigned char* mask,
                             Op op) {
  rx = std::max(rx, 0);
  ry = std::max(ry, 0);
  if (ry <= kBandRadius) {
    return ExtremumByBands(region, mode, opacity, buffer, width, x0, y0, rx, ry, mask, op);
  }
  const int32_t rw = region.width, rh = region.height;
  plat::Block<unsigned char> work(static_cast<int64_t>(rw) * rh, WorkSource());
  if (!work) return -1;
  const auto columns = plat::PlaneView<uint8_t>::Packed(work.get(), rw, rh);
  if (ExtremeFilterWith(region, columns, 1, 0, ry, op) != 0) return -1;
  // Two doubling levels and a filtered row a band.
  const int64_t perBand = 3 * static_cast<int64_t>(rw);
  plat::Block<unsigned char> scratch(perBand * plat::BandCount(0, rh, kRowsPerBand),
                                     WorkSource());
  if (!scratch) return -1;
  const Kernels kernels = PickKernels<std::is_same_v<Op, MaxOp>>();
  const bool replace = mode == 0 && opacity == 255 && mask == nullptr;
  const unsigned char* const filtered = work.get();
  unsigned char* const spare = scratch.get();
  plat::ParallelFor(0, rh, kRowsPerBand, [=](int32_t band, int32_t first, int32_t last) {
    uint8_t* const a = spare + band * perBand;
    uint8_t* const b = a + rw;
    uint8_t* const line = b + rw;
    for (int32_t y = first; y < last; ++y) {
      const int64_t row = static_cast<int64_t>(y0 + y) * width + x0;
      const uint8_t* in = filtered + static_cast<int64_t>(y) * rw;
      if (replace) {
        SlideRowByDoubling(in, buffer + row, rw, rx, a, b, kernels, op);
        continue;
      }
      SlideRowByDoubling(in, line, rw, rx, a, b, kernels, op);
      effect_support::BlendRun(mode, opacity, buffer + row, line,
                               mask != nullptr ? mask + row : nullptr, rw);
    }
  });
  return 0;
}

int32_t Extremum(rank::Extreme extreme, int16_t mode, int16_t opacity, unsigned char* buffer,
                 int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                 int16_t radiusX, int16_t radiusY, int16_t channels,
                 const unsigned char* mask) {
  if (buffer == nullptr || channels < 1 || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t ch = channels;
  const int64_t rowSamples = static_cast<int64_t>(x1 - x0 + 1) * ch;
  if (rowSamples > INT32_MAX) return -1;
  if (ch == 1) {
    const plat::ConstPlaneView<uint8_t> region(buffer + static_cast<int64_t>(y0) * width + x0,
                                               x1 - x0 + 1, y1 - y0 + 1, width);
    return extreme == rank::Extreme::kMax
               ? ExtremumOfOneChannel(region, mode, opacity, buffer, width, x0, y0, radiusX,
                                      radiusY, mask, MaxOp{})
               : ExtremumOfOneChannel(region, mode, opacity, buffer, width, x0, y0, radiusX,
                                      radiusY, mask, MinOp{});
  }
  plat::Block<unsigned char> work(rowSamples * (y1 - y0 + 1), WorkSource());
  if (!work) return -1;
  const plat::ConstPlaneView<uint8_t> region(buffer + (static_cast<int64_t>(y0) * width + x0) * ch,
                                             static_cast<int32_t>(rowSamples), y1 - y0 + 1,
                                             static_cast<int64_t>(width) * ch);
  const auto out = plat::PlaneView<uint8_t>::Packed(work.get(), static_cast<int32_t>(rowSamples),
                                                    y1 - y0 + 1);
  if (rank::ExtremeFilter(region, out, ch, radiusX, radiusY, extreme) != 0) return -1;
  BlendRegion(mode, opacity, buffer, width, x0, y0, x1, y1, ch, mask, work.get());
  return 0;
}

// ---- median ----

// How many of the window's coordinates t in lo..hi clamp to position p of
// 0..last.
int64_t Multiplicity(int64_t lo, int64_t hi, int32_t p, int32_t last) {
  const int64_t from = p == 0 ? lo : std::max<int64_t>(lo, p);
  const int64_t to = p == last ? hi : std::min<int64_t>(hi, p);
  return to >= from ? to - from + 1 : 0;
}

// A 256-bin histogram of the window with its median tracked: `below`
// counts the samples under `median`, the value whose cumulative count
// first passes the middle index.
class WindowHistogram {
 public:
  explicit WindowHistogram(int64_t middle) : middle_(middle) {}
  void Reset() {
    std::memset(bins_, 0, sizeof bins_);
    median_ = 0;
    below_ = 0;
  }
  void Add(uint8_t v, int64_t count) {
    bins_[v] += count;
    if (v < median_) below_ += count;
  }
  // One column of the window leaves and another enters, each sample
  // counted `count` times.
  void Swap(uint8_t out, uint8_t in, int64_t count) {
    bins_[out] -= count;
    bins_[in] += count;
    below_ += count * ((in < median_) - (out < median_));
  }
  uint8_t Median() {
    while (below_ > middle_) below_ -= bins_[--median_];
    while (below_ + bins_[median_] <= middle_) below_ += bins_[median_++];
    return static_cast<uint8_t>(median_);
  }

 private:
  int64_t bins_[256] = {};
  int64_t middle_;
  int32_t median_ = 0;
  int64_t below_ = 0;
};

// Radius 1 away from the region's border: the middle of nine by a fixed
// exchange network (19 compare-exchanges), branch-free so that the row
// loop vectorises. 2048 x 1536 on one core: about 80 ms by histograms,
// a few ms this way.
inline void Exchange(uint8_t& a, uint8_t& b) {
  const uint8_t lo = a < b ? a : b;
  b = a < b ? b : a;
  a = lo;
}

void MedianOfNineRows(const uint8_t* up, const uint8_t* mid, const uint8_t* down, uint8_t* out,
                      int32_t from, int32_t to) {
  for (int32_t x = from; x <= to; ++x) {
    uint8_t p0 = up[x - 1], p1 = up[x], p2 = up[x + 1];
    uint8_t p3 = mid[x - 1], p4 = mid[x], p5 = mid[x + 1];
    uint8_t p6 = down[x - 1], p7 = down[x], p8 = down[x + 1];
    Exchange(p1, p2); Exchange(p4, p5); Exchange(p7, p8);
    Exchange(p0, p1); Exchange(p3, p4); Exchange(p6, p7);
    Exchange(p1, p2); Exchange(p4, p5); Exchange(p7, p8);
    Exchange(p0, p3); Exchange(p5, p8); Exchange(p4, p7);
    Exchange(p3, p6); Exchange(p1, p4); Exchange(p2, p5);
    Exchange(p4, p7); Exchange(p4, p2); Exchange(p6, p4);
    Exchange(p4, p2);
    out[x] = p4;
  }
}

// The literal clamped window of radius 1 at one pixel.
uint8_t MedianOfNineAt(plat::ConstPlaneView<uint8_t> src, int32_t x, int32_t y) {
  uint8_t v[9];
  int32_t n = 0;
  for (int32_t j = -1; j <= 1; ++j) {
    for (int32_t i = -1; i <= 1; ++i) {
      v[n++] = src.At(std::clamp(x + i, 0, src.width - 1), std::clamp(y + j, 0, src.height - 1));
    }
  }
  std::nth_element(v, v + 4, v + 9);
  return v[4];
}

void MedianOfNine(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst) {
  const int32_t w = src.width, h = src.height;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* out = dst.Row(y);
    if (y == 0 || y == h - 1) {
      for (int32_t x = 0; x < w; ++x) out[x] = MedianOfNineAt(src, x, y);
      continue;
    }
    out[0] = MedianOfNineAt(src, 0, y);
    MedianOfNineRows(src.Row(y - 1), src.Row(y), src.Row(y + 1), out, 1, w - 2);
    out[w - 1] = MedianOfNineAt(src, w - 1, y);
  }
}

}  // namespace

namespace rank {

int32_t ExtremeFilter(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst,
                      int32_t channels, int32_t rx, int32_t ry, Extreme extreme) {
  if (!src.valid() || !dst.valid() || channels < 1 || src.width % channels != 0) return -1;
  rx = std::max(rx, 0);
  ry = std::max(ry, 0);
  return extreme == Extreme::kMax ? ExtremeFilterWith(src, dst, channels, rx, ry, MaxOp{})
                                  : ExtremeFilterWith(src, dst, channels, rx, ry, MinOp{});
}

int32_t MedianFilter(plat::ConstPlaneView<uint8_t> src, plat::PlaneView<uint8_t> dst, int32_t r) {
  if (!src.valid() || !dst.valid()) return -1;
  r = std::max(r, 0);
  const int32_t w = src.width, h = src.height;
  if (r == 1 && w >= 3 && h >= 3) {
    MedianOfNine(src, dst);
    return 0;
  }
  // Row weights of the current row's window, for the distinct rows it names.
  plat::Block<int64_t> rowWeight(h, WorkSource());
  if (!rowWeight) return -1;
  const int64_t side = 2 * static_cast<int64_t>(r) + 1;
  WindowHistogram hist((side * side - 1) / 2);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t top = std::max(0, y - r), bottom = std::min(h - 1, y + r);
    for (int32_t p = top; p <= bottom; ++p) {
      rowWeight[p] = Multiplicity(static_cast<int64_t>(y) - r, static_cast<int64_t>(y) + r, p,
                                  h - 1);
    }
    hist.Reset();
    for (int32_t c = 0; c <= std::min(w - 1, r); ++c) {
      const int64_t times = Multiplicity(-static_cast<int64_t>(r), r, c, w - 1);
      for (int32_t p = top; p <= bottom; ++p) hist.Add(src.At(c, p), rowWeight[p] * times);
    }
    // Rows away from the region's top and bottom count once each: the
    // common case goes without the weights.
    const bool unit = y - r >= 0 && y + r <= h - 1;
    uint8_t* out = dst.Row(y);
    out[0] = hist.Median();
    for (int32_t x = 1; x < w; ++x) {
      const int32_t leaving = std::max(0, x - 1 - r);
      const int32_t entering = std::min(w - 1, x + r);
      if (leaving != entering) {
        for (int32_t p = top; p <= bottom; ++p) {
          const uint8_t* row = src.Row(p);
          hist.Swap(row[leaving], row[entering], unit ? 1 : rowWeight[p]);
        }
      }
      out[x] = hist.Median();
    }
  }
  return 0;
}

}  // namespace rank

int32_t Effects::Maxima(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radiusX, int16_t radiusY, int16_t channels,
                        const unsigned char* mask) {
  return Extremum(rank::Extreme::kMax, mode, opacity, buffer, height, width, x0, y0, x1, y1,
                  radiusX, radiusY, channels, mask);
}

int32_t Effects::Minima(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radiusX, int16_t radiusY, int16_t channels,
                        const unsigned char* mask) {
  return Extremum(rank::Extreme::kMin, mode, opacity, buffer, height, width, x0, y0, x1, y1,
                  radiusX, radiusY, channels, mask);
}

int32_t Effects::Median(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radius, int16_t passes, const unsigned char* mask) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  const int64_t size = static_cast<int64_t>(rw) * rh;
  plat::Block<unsigned char> output(size, WorkSource());
  plat::Block<unsigned char> work(size, WorkSource());
  if (!output || !work) return -1;
  const plat::ConstPlaneView<uint8_t> region(plane + static_cast<int64_t>(y0) * width + x0, rw,
                                             rh, width);
  const auto out = plat::PlaneView<uint8_t>::Packed(output.get(), rw, rh);
  const auto in = plat::PlaneView<uint8_t>::Packed(work.get(), rw, rh);
  for (int32_t y = 0; y < rh; ++y) {
    std::memcpy(out.Row(y), region.Row(y), static_cast<size_t>(rw));
  }
  for (int32_t pass = 0; pass < passes; ++pass) {
    // Each pass filters the last one's output.
    std::memcpy(work.get(), output.get(), static_cast<size_t>(size));
    if (rank::MedianFilter(in, out, radius) != 0) return -1;
  }
  BlendRegion(mode, opacity, plane, width, x0, y0, x1, y1, 1, mask, output.get());
  return 0;
}

int32_t Effects::X_medianedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t x0,
                                 int32_t y0, int32_t x1, int32_t y1, int16_t setting,
                                 int16_t edgeDepth) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  if (edgeDepth == 0) {
    (void)X_median_buf(width, height, plane, x0, y0, x1, y1, setting);
    return 0;
  }
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> edges(size, WorkSource()), median(size, WorkSource());
  // Unfiltered for want of memory is a failure, and the caller hears of it.
  if (!edges || !median) return -1;
  std::memcpy(edges.get(), plane, static_cast<size_t>(size));
  std::memcpy(median.get(), plane, static_cast<size_t>(size));
  if (FindEdge(0, 255, edges.get(), nullptr, height, width, 0, 0, width - 1, height - 1, 255,
               edgeDepth, -64) != 0) {
    return -1;
  }
  (void)X_median_buf(width, height, median.get(), 0, 0, width - 1, height - 1, setting);
  MixByEdges(plane, edges.get(), median.get(), width, height, x0, y0, x1, y1);
  return 0;
}
