// Operations that paint colour rather than filter: flat fills, recolouring
// by hue/saturation/value likeness, the shrunk picture in a coloured frame,
// indexed stripes and the colour ramps laid along a turned axis.
//
// Bars and ramps measure a pixel along an axis: the region's top edge turned
// about the region's centre. A pixel is projected onto the axis line; its
// distance from the axis's start, scaled to the axis length D, gives its
// stripe or ramp position. A pixel that projects before the start (further
// than D from the axis's end) counts its position back from the end.
// Positions are rounded by adding one half and truncating, in single
// precision.
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "app/core/plane_geometry.h"
#include "operations/colour_ramp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/colour_select.h"
#include "raster/plane_copy.h"
#include "raster/tone_lut.h"

using effect_support::Blend;
using effect_support::BlendRegionRuns;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::ForEachPixel;
using effect_support::ForEachPixelParallel;
using effect_support::InByteRange;
using effect_support::Weight;

namespace {

constexpr float kPi = 3.141592654f;

// Float to int by truncation, held far inside the 32-bit range so that a
// pixel far off a very short axis cannot overflow the conversion.
int32_t Trunc(float v) {
  if (v > 1.0e9f) return 1000000000;
  if (v < -1.0e9f) return -1000000000;
  return static_cast<int32_t>(v);
}

// The turned axis of a region and the line it lies on.
class Axis {
 public:
  Axis(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t angleDegrees) {
    const float cx = static_cast<float>((x0 + x1) / 2);
    const float cy = static_cast<float>((y0 + y1) / 2);
    const float angle = static_cast<float>(angleDegrees) * kPi / 180.0f;
    A_point_fromAng(cx, cy, static_cast<float>(x0), static_cast<float>(y0), &p1x_, &p1y_, angle);
    A_point_fromAng(cx, cy, static_cast<float>(x1), static_cast<float>(y0), &p2x_, &p2y_, angle);
    length_ = distance(p1x_, p1y_, p2x_, p2y_);
    (void)A_lig_2point(p1x_, p1y_, p2x_, p2y_, &a_, &b_, &c_);
  }

  // An axis of no length (a region of one column) puts every pixel at
  // position 0 instead of dividing by zero.
  bool usable() const { return length_ > 1.0e-6f && (a_ != 0.0f || b_ != 0.0f); }
  float length() const { return length_; }
  // Whether a pixel's distances depend on its column alone: the line's a is zero, so the
  // projection's a * y is an exact zero at every row.
  bool AlongRows() const { return usable() && a_ == 0.0f; }

  // Distances of the pixel's projection from the axis's start and end.
  void Distances(int32_t x, int32_t y, float* fromStart, float* fromEnd) const {
    float qx = 0.0f, qy = 0.0f;
    A_proj_droit(a_, b_, c_, static_cast<float>(x), static_cast<float>(y), &qx, &qy);
    *fromStart = distance(qx, qy, p1x_, p1y_);
    *fromEnd = distance(qx, qy, p2x_, p2y_);
  }

  // Position on a scale of `steps` per axis length, wrapped into 0..steps-1
  // and counted back from the end before the start.
  int32_t Wrapped(int32_t x, int32_t y, int32_t steps) const {
    if (!usable()) return 0;
    float d1 = 0.0f, d2 = 0.0f;
    Distances(x, y, &d1, &d2);
    return WrappedAt(d1, d2, steps);
  }

  // Wrapped for the n pixels of row y from column x on, into out[0..n); n at most kRun.
  void WrappedRun(int32_t x, int32_t y, int32_t n, int32_t steps, int32_t* out) const {
    if (!usable()) {
      for (int32_t i = 0; i < n; ++i) out[i] = 0;
      return;
    }
    float d1[effect_support::kRun], d2[effect_support::kRun];
    DistancesRun(x, y, n, d1, d2);
    for (int32_t i = 0; i < n; ++i) out[i] = WrappedAt(d1[i], d2[i], steps);
  }

  // Position 0..255 of the ramp family before the offset: from the start,
  // with no wrap.
  int32_t Ramp(int32_t x, int32_t y) const {
    if (!usable()) return 0;
    float d1 = 0.0f, d2 = 0.0f;
    Distances(x, y, &d1, &d2);
    return Trunc(d1 * 255.0f / length_ + 0.5f);
  }

 private:
  // v % steps: most positions (a distance plus one half, truncated) lie inside one period, and
  // those need no division.
  static int32_t Wrap(int32_t v, int32_t steps) { return v >= 0 && v < steps ? v : v % steps; }

  int32_t WrappedAt(float d1, float d2, int32_t steps) const {
    const float s = static_cast<float>(steps);
    if (d2 > length_) {
      const int32_t k = steps - Wrap(Trunc(d2 * s / length_ + 0.5f), steps);
      // A position that lands on a whole number of periods is stripe 0, not
      // one past the last stripe.
      return k == steps ? 0 : k;
    }
    return Wrap(Trunc(d1 * s / length_ + 0.5f), steps);
  }

  void DistancesRun(int32_t x, int32_t y, int32_t n, float* d1, float* d2) const;

  float p1x_ = 0, p1y_ = 0, p2x_ = 0, p2y_ = 0;
  float length_ = 0;
  float a_ = 0, b_ = 0, c_ = 0;
};

// The axis line and its ends, as the distance kernels read them.
struct AxisLine {
  float a, b, c, p1x, p1y, p2x, p2y;
};

void DistancesPlain(const AxisLine& l, int32_t x, int32_t y, int32_t n, float* d1, float* d2) {
  for (int32_t i = 0; i < n; ++i) {
    float qx = 0.0f, qy = 0.0f;
    A_proj_droit(l.a, l.b, l.c, static_cast<float>(x + i), static_cast<float>(y), &qx, &qy);
    d1[i] = distance(qx, qy, l.p1x, l.p1y);
    d2[i] = distance(qx, qy, l.p2x, l.p2y);
  }
}

#if VMK_SIMD_X86
// Eight pixels a step, each lane doing the projection's and the distances' operations in the
// scalar order (the build fuses no multiply-add), so every distance is the scalar one.
VMK_TARGET_AVX2 void DistancesAvx2(const AxisLine& l, int32_t x, int32_t y,
                                                   int32_t n, float* d1, float* d2) {
  const float norm = l.a * l.a + l.b * l.b;
  if (norm == 0.0f) {
    DistancesPlain(l, x, y, n, d1, d2);
    return;
  }
  const __m256 a = _mm256_set1_ps(l.a), b = _mm256_set1_ps(l.b), nv = _mm256_set1_ps(norm);
  const __m256 ay = _mm256_set1_ps(l.a * static_cast<float>(y));
  const __m256 ac = _mm256_set1_ps(l.a * l.c), bc = _mm256_set1_ps(l.b * l.c);
  const __m256 p1x = _mm256_set1_ps(l.p1x), p1y = _mm256_set1_ps(l.p1y);
  const __m256 p2x = _mm256_set1_ps(l.p2x), p2y = _mm256_set1_ps(l.p2y);
  const __m256 sign = _mm256_set1_ps(-0.0f);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  int32_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256 fx = _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x + i), lanes));
    const __m256 m = _mm256_sub_ps(_mm256_mul_ps(b, fx), ay);
    const __m256 qx = _mm256_div_ps(_mm256_sub_ps(_mm256_mul_ps(b, m), ac), nv);
    const __m256 qy =
        _mm256_div_ps(_mm256_xor_ps(_mm256_add_ps(_mm256_mul_ps(a, m), bc), sign), nv);
    const __m256 dx1 = _mm256_sub_ps(qx, p1x), dy1 = _mm256_sub_ps(qy, p1y);
    const __m256 dx2 = _mm256_sub_ps(qx, p2x), dy2 = _mm256_sub_ps(qy, p2y);
    _mm256_storeu_ps(d1 + i, _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dx1, dx1),
                                                          _mm256_mul_ps(dy1, dy1))));
    _mm256_storeu_ps(d2 + i, _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(dx2, dx2),
                                                          _mm256_mul_ps(dy2, dy2))));
  }
  DistancesPlain(l, x + i, y, n - i, d1 + i, d2 + i);
}
#endif

using DistancesKernel = void (*)(const AxisLine&, int32_t, int32_t, int32_t, float*, float*);

void Axis::DistancesRun(int32_t x, int32_t y, int32_t n, float* d1, float* d2) const {
  DistancesKernel run = DistancesPlain;
#if VMK_SIMD_X86
  run = plat::PickKernel<DistancesKernel>(DistancesPlain, DistancesAvx2);
#endif
  run(AxisLine{a_, b_, c_, p1x_, p1y_, p2x_, p2y_}, x, y, n, d1, d2);
}

// Ramp position of the offset family: shifted by the offset, the part
// beyond 255 mirrored back down, then counted again from 0 from the offset
// on.
class OffsetRamp {
 public:
  OffsetRamp(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t angle, int16_t offset,
             int16_t kind)
      : axis_(x0, y0, x1, y1, angle),
        x0_(x0),
        x1_(x1),
        // Offsets outside the ramp would index outside it.
        offset_(Clamp255(offset)),
        acrossOnly_(kind == 1) {}

  int32_t Index(int32_t x, int32_t y) const {
    int32_t t = 0;
    if (acrossOnly_) {
      t = x1_ > x0_ ? (x - x0_) * 255 / (x1_ - x0_) : 0;
    } else {
      t = axis_.Ramp(x, y);
    }
    t += offset_;
    if (t > 255) t = 510 - t;
    // Pixels projecting well past the axis's end would fall below 0.
    t = Clamp255(t);
    return t < offset_ ? t : t - offset_;
  }

 private:
  Axis axis_;
  int32_t x0_, x1_;
  int32_t offset_;
  bool acrossOnly_;
};

// The ramp over `count` channels, channel k of pixel i at
// planes[k] + i * stride.
void LayRamp(int16_t mode, int16_t opacity, unsigned char* const* planes, int32_t count,
             int32_t stride, int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
             int32_t y1, const unsigned char* mask, const RampRows& ramp, int16_t offset,
             int16_t angle, int16_t kind) {
  ClampRegion(width, height, x0, y0, x1, y1);
  const OffsetRamp position(x0, y0, x1, y1, angle, offset, kind);
  ForEachPixel(width, height, x0, y0, x1, y1, [&](int64_t pixel, int32_t x, int32_t y) {
    const int32_t a = Weight(mask, pixel, opacity);
    const int32_t t = position.Index(x, y);
    const int32_t op = ramp.rows[0][t];
    for (int32_t k = 0; k < count; ++k) {
      unsigned char* p = planes[k] + pixel * stride;
      const int32_t old = *p;
      const int32_t laid = ((255 - op) * old + ramp.rows[k + 1][t] * op) / 255;
      *p = Blend(mode, old, laid > 255 ? 255 : laid, a);
    }
  });
}

}  // namespace

int32_t Effects::Fill(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t channels, const unsigned char* mask, const unsigned char* colour,
                      const int16_t* strength) {
  if (buffer == nullptr || colour == nullptr || strength == nullptr || channels < 1) return -1;
  const int32_t k = *strength;
  const int32_t n = channels;
  if (n == 1) {
    // A plane: runs in bands, the strength's mix in 16-bit lanes when it lies in 0..255.
    const int32_t c = colour[0];
    BlendRegionRuns(mode, opacity, buffer, mask, width, height, x0, y0, x1, y1,
                    [k, c](int32_t, int32_t, const unsigned char* old, unsigned char* out,
                           int32_t count) {
                      if (InByteRange(k)) {
                        const auto keep = static_cast<uint16_t>(255 - k);
                        const auto add = static_cast<uint16_t>(k * c);
                        for (int32_t i = 0; i < count; ++i)
                          out[i] = static_cast<unsigned char>(
                              static_cast<uint16_t>(keep * old[i] + add) / 255);
                        return;
                      }
                      for (int32_t i = 0; i < count; ++i)
                        out[i] = static_cast<unsigned char>(
                            Clamp255(((255 - k) * old[i] + k * c) / 255));
                    });
    return 0;
  }
  ForEachPixelParallel(width, height, x0, y0, x1, y1, [&](int64_t pixel, int32_t, int32_t) {
    const int32_t a = Weight(mask, pixel, opacity);
    unsigned char* p = buffer + pixel * n;
    for (int32_t ch = 0; ch < n; ++ch) {
      const int32_t old = p[ch];
      // The strength mixes the colour in before the kernel.
      p[ch] = Blend(mode, old, Clamp255(((255 - k) * old + k * colour[ch]) / 255), a);
    }
  });
  return 0;
}

#if VMK_SIMD_X86
namespace {

// The lanes of up to 64 pixels (n of them, from r, g, b on) whose smallest component lies in
// the selection's range for their largest: the only ones that may lie inside its windows.
VMK_TARGET_AVX512VBMI uint64_t CandidateLanes(const HsvSelection& select, const unsigned char* r,
                                              const unsigned char* g, const unsigned char* b,
                                              int32_t n) {
  const __mmask64 lanes = n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
  const __m512i vr = _mm512_maskz_loadu_epi8(lanes, r);
  const __m512i vg = _mm512_maskz_loadu_epi8(lanes, g);
  const __m512i vb = _mm512_maskz_loadu_epi8(lanes, b);
  const __m512i mx = _mm512_max_epu8(vr, _mm512_max_epu8(vg, vb));
  const __m512i mn = _mm512_min_epu8(vr, _mm512_min_epu8(vg, vb));
  const __m512i low = LookUpBytes64(LoadByteTable512(select.CandidateLow()), mx);
  const __m512i high = LookUpBytes64(LoadByteTable512(select.CandidateHigh()), mx);
  return _mm512_mask_cmpge_epu8_mask(lanes, mn, low) & _mm512_cmple_epu8_mask(mn, high);
}

// The same test of up to 32 pixels without byte permutes. A 256-byte table is sixteen rows of
// sixteen: each row is looked up by the index's low four bits (vpshufb), and bits 4 to 7 pick
// among the sixteen answers in a tree of byte blends, which read the top bit of each byte, so
// the index is shifted left to bring bit 4, 5 and 6 there in turn. Both tables share the index.
VMK_TARGET_AVX2 uint32_t CandidateLanes32(const HsvSelection& select, const unsigned char* r,
                                          const unsigned char* g, const unsigned char* b,
                                          int32_t n) {
  __m256i vr, vg, vb;
  if (n >= 32) {
    vr = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r));
    vg = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(g));
    vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
  } else {
    // The row's last pixels: never read past its end.
    alignas(32) unsigned char tail[3][32] = {};
    std::memcpy(tail[0], r, static_cast<size_t>(n));
    std::memcpy(tail[1], g, static_cast<size_t>(n));
    std::memcpy(tail[2], b, static_cast<size_t>(n));
    vr = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail[0]));
    vg = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail[1]));
    vb = _mm256_load_si256(reinterpret_cast<const __m256i*>(tail[2]));
  }
  const __m256i mx = _mm256_max_epu8(vr, _mm256_max_epu8(vg, vb));
  const __m256i mn = _mm256_min_epu8(vr, _mm256_min_epu8(vg, vb));
  const __m256i column = _mm256_and_si256(mx, _mm256_set1_epi8(0x0F));
  const unsigned char* const tables[2] = {select.CandidateLow(), select.CandidateHigh()};
  __m256i found[2];
  for (int t = 0; t < 2; ++t) {
    __m256i v[16];
    for (int k = 0; k < 16; ++k)
      v[k] = _mm256_shuffle_epi8(
          _mm256_broadcastsi128_si256(
              _mm_loadu_si128(reinterpret_cast<const __m128i*>(tables[t] + 16 * k))),
          column);
    // Halve the candidates by bit 4, then 5, 6 and 7 (16-bit shifts: only each byte's top bit
    // is read, and it comes from the same byte).
    for (int bit = 4, count = 16; bit < 8; ++bit, count /= 2) {
      const __m256i pick = _mm256_slli_epi16(mx, 7 - bit);
      for (int j = 0; j < count / 2; ++j)
        v[j] = _mm256_blendv_epi8(v[2 * j], v[2 * j + 1], pick);
    }
    found[t] = v[0];
  }
  const __m256i aboveLow = _mm256_cmpeq_epi8(_mm256_max_epu8(mn, found[0]), mn);
  const __m256i belowHigh = _mm256_cmpeq_epi8(_mm256_min_epu8(mn, found[1]), mn);
  const uint32_t lanes =
      static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(aboveLow, belowHigh)));
  return n >= 32 ? lanes : lanes & ((uint32_t{1} << n) - 1);
}

}  // namespace
#endif

int32_t Effects::ColorRange(int16_t mode, int16_t opacity, int16_t srcChannels,
                            const unsigned char* srcRed, const unsigned char* srcGreen,
                            const unsigned char* srcBlue, int32_t height, int32_t width,
                            int16_t dstChannels, unsigned char* dstRed, unsigned char* dstGreen,
                            unsigned char* dstBlue, int32_t /*unused1*/, int32_t /*unused2*/,
                            int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const unsigned char* mask, int32_t tolerance,
                            const unsigned char* newColour, const unsigned char* refColour) {
  const bool oneSource = srcChannels == 1;
  const bool oneTarget = dstChannels == 1;
  if (srcRed == nullptr || dstRed == nullptr || newColour == nullptr || refColour == nullptr) {
    return -1;
  }
  if (!oneSource && (srcGreen == nullptr || srcBlue == nullptr)) return -1;
  if (!oneTarget && (dstGreen == nullptr || dstBlue == nullptr)) return -1;

  const int32_t rr = refColour[0];
  const int32_t rg = oneSource ? rr : refColour[1];
  const int32_t rb = oneSource ? rr : refColour[2];
  float h = 0, s = 0, v = 0;
  RGBtoHSV(static_cast<float>(rr), static_cast<float>(rg), static_cast<float>(rb), &h, &s, &v);
  s *= 100.0f;
  const float tol = static_cast<float>(tolerance);
  const int16_t hLo = ClampToInt16(Trunc(h - tol)), hHi = ClampToInt16(Trunc(h + tol));
  const int16_t sLo = ClampToInt16(Trunc(s - tol)), sHi = ClampToInt16(Trunc(s + tol));
  const int16_t vLo = ClampToInt16(Trunc(v - tol)), vHi = ClampToInt16(Trunc(v + tol));

  // The windows' weights by table; a pixel outside the saturation or value window needs no hue.
  const HsvSelection select(hLo, hHi, sLo, sHi, vLo, vHi);
  auto pixel = [&](int64_t i) {
    const int32_t r = srcRed[i];
    const int32_t g = oneSource ? r : srcGreen[i];
    const int32_t b = oneSource ? r : srcBlue[i];
    // Selection 0 is the reference colour itself, 255 a colour outside, which weighs nothing:
    // a blend at weight 0 gives back the old sample, so it is left as it is.
    const int32_t selection = select.At(r, g, b);
    if (selection == 255) return;
    const int32_t a = Weight(mask, i, opacity) * (255 - selection) / 255;
    dstRed[i] = Blend(mode, dstRed[i], newColour[0], a);
    if (!oneTarget) {
      dstGreen[i] = Blend(mode, dstGreen[i], newColour[1], a);
      dstBlue[i] = Blend(mode, dstBlue[i], newColour[2], a);
    }
  };
#if VMK_SIMD_X86
  // A screen gives the lanes of `step` pixels from `at` (at most `count` of them) that may lie
  // inside; the others keep their samples.
  auto screened = [&](int32_t step, auto screen) {
    ClampRegion(width, height, x0, y0, x1, y1);
    if (x0 > x1 || y0 > y1) return;
    const unsigned char* const g = oneSource ? srcRed : srcGreen;
    const unsigned char* const b = oneSource ? srcRed : srcBlue;
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y) {
        const int64_t row = static_cast<int64_t>(y) * width;
        for (int32_t x = x0; x <= x1; x += step) {
          const int64_t at = row + x;
          for (uint64_t lanes = screen(srcRed + at, g + at, b + at, x1 - x + 1); lanes != 0;
               lanes &= lanes - 1)
            pixel(at + __builtin_ctzll(lanes));
        }
      }
    });
  };
  // Sixty-four pixels at a time are tested against the windows' ranges of smallest components
  // by largest, and only those that may lie inside go through the pixel's own steps. (The
  // defaults at 6000 x 4000: one thread 51 ms one pixel after another, 5 ms; 8 threads at a
  // load of 12, about 20 ms and 4.5 ms.)
  if (plat::SimdHasByteVbmi()) {
    screened(64, [&](const unsigned char* r, const unsigned char* g, const unsigned char* b,
                     int32_t count) { return CandidateLanes(select, r, g, b, count); });
    return 0;
  }
  // The same with 32 pixels a step on AVX2, whose look-ups take sixteen shuffles and fifteen
  // blends a table.
  if (plat::SimdAtLeast(plat::SimdLevel::kAvx2)) {
    screened(32, [&](const unsigned char* r, const unsigned char* g, const unsigned char* b,
                     int32_t count) -> uint64_t { return CandidateLanes32(select, r, g, b, count); });
    return 0;
  }
#endif
  // Each pixel reads its own samples and writes its own: the rows run in bands.
  ForEachPixelParallel(width, height, x0, y0, x1, y1,
                       [&](int64_t i, int32_t, int32_t) { pixel(i); });
  return 0;
}

int32_t Effects::ColorFrame(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                            int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                            const unsigned char* colour, int32_t innerWidth,
                            int32_t innerHeight, int32_t outerX, int32_t outerY) {
  if (plane == nullptr || colour == nullptr || width < 0 || height < 0) return -1;
  const int64_t size = static_cast<int64_t>(width) * height;
  plat::Block<unsigned char> copy(size, WorkSource());
  if (!copy) return -1;
  std::memcpy(copy.get(), plane, static_cast<size_t>(size));
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x1 < x0 || y1 < y0) return 0;

  // The inner rectangle is measured from 0, not from the region's corner:
  // it is centred on the region when the region starts at 0.
  const float hw = static_cast<float>(x1 - x0) / 2.0f;
  const float hh = static_cast<float>(y1 - y0) / 2.0f;
  const int32_t left = Trunc(hw - hw * static_cast<float>(innerWidth) / 100.0f);
  const int32_t right = Trunc(hw + hw * static_cast<float>(innerWidth) / 100.0f);
  const int32_t top = Trunc(hh - hh * static_cast<float>(innerHeight) / 100.0f);
  const int32_t bottom = Trunc(hh + hh * static_cast<float>(innerHeight) / 100.0f);

  // The picture of the region, shrunk into the inner rectangle (the rescaler
  // takes right and bottom exclusive). An inner rectangle of no extent, or
  // one beyond the 16-bit rectangle range, takes no picture; the band is
  // still painted.
  (void)BufToBufChar_andR(0, width, height, copy.get(), width, height, plane, x0, y0, x1 + 1,
                          y1 + 1, left, top, right + 1, bottom + 1);

  // 64-bit: stored percentages far outside 0..100 push these products past
  // the 32-bit range; the band is then simply cut at the plane.
  const int64_t oLeft = static_cast<int64_t>(left) * (100 - static_cast<int64_t>(outerX)) / 100;
  const int64_t oRight = right + static_cast<int64_t>(outerX) * (x1 - right) / 100;
  const int64_t oTop = static_cast<int64_t>(top) * (100 - static_cast<int64_t>(outerY)) / 100;
  const int64_t oBottom = bottom + static_cast<int64_t>(outerY) * (y1 - bottom) / 100;
  const int32_t c = *colour;
  for (int64_t y = oTop < 0 ? 0 : oTop; y <= oBottom && y < height; ++y) {
    for (int64_t x = oLeft < 0 ? 0 : oLeft; x <= oRight && x < width; ++x) {
      if (x > left && x < right && y > top && y < bottom) continue;
      const int64_t i = static_cast<int64_t>(y) * width + x;
      // No mask paints the band at full strength.
      const int32_t m = mask != nullptr ? mask[i] : 255;
      plane[i] = static_cast<unsigned char>((plane[i] * (255 - m) + c * m) / 255);
    }
  }
  return 0;
}

int32_t Effects::ColorBar(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int32_t period,
                          const unsigned char* pattern, const unsigned char* colours,
                          int16_t angle) {
  if (plane == nullptr || pattern == nullptr || colours == nullptr || period < 1) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  const Axis axis(x0, y0, x1, y1, angle);
  if (x0 > x1 || y0 > y1) return 0;
  // A position always lands inside the pattern; when every stripe of it holds the same value,
  // no pixel needs its position (a plaid formula of one thread, or none, gives such a line).
  if (std::all_of(pattern, pattern + period, [&](unsigned char v) { return v == pattern[0]; })) {
    if (pattern[0] >= 16) return 0;
    const unsigned char c = colours[pattern[0]];
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y)
        std::memset(plane + static_cast<int64_t>(y) * width + x0, c, static_cast<size_t>(x1 - x0 + 1));
    });
    return 0;
  }
  // An axis along the rows (a == 0, as at angle 0) projects every row to the same distances:
  // a * y adds an exact zero. The first row's positions then serve every row.
  plat::Block<int32_t> rowAt;
  if (axis.AlongRows()) rowAt = plat::Block<int32_t>(int64_t{x1} - x0 + 1, WorkSource());
  if (rowAt) {
    const int32_t n = x1 - x0 + 1;
    const int32_t* at = rowAt.get();
    for (int32_t x = x0; x <= x1; x += effect_support::kRun)
      axis.WrappedRun(x, y0, std::min(x1 - x + 1, effect_support::kRun), period, &rowAt[x - x0]);
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y) {
        unsigned char* row = plane + static_cast<int64_t>(y) * width + x0;
        for (int32_t i = 0; i < n; ++i) {
          const int32_t index = pattern[at[i]];
          if (index < 16) row[i] = colours[index];
        }
      }
    });
    return 0;
  }
  // Each pixel from its own place alone: the rows run in bands, the positions a run at a time.
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
    int32_t at[effect_support::kRun];
    for (int32_t y = first; y < end; ++y) {
      unsigned char* row = plane + static_cast<int64_t>(y) * width;
      for (int32_t x = x0; x <= x1; x += effect_support::kRun) {
        const int32_t n = std::min(x1 - x + 1, effect_support::kRun);
        axis.WrappedRun(x, y, n, period, at);
        for (int32_t i = 0; i < n; ++i) {
          const int32_t index = pattern[at[i]];
          if (index < 16) row[x + i] = colours[index];
        }
      }
    }
  });
  return 0;
}

int32_t Effects::ColorWavePlane(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                                int32_t y0, int32_t x1, int32_t y1, int16_t channel,
                                const unsigned char* ramp, int16_t angle, int16_t repeat) {
  if (plane == nullptr || ramp == nullptr || channel < 0 || channel > 3) return -1;
  // The ramp squeezed `repeat` times into one table (a negative repeat runs
  // it backwards rather than outside the table).
  unsigned char opacity[256], values[256];
  for (int32_t i = 0; i < 256; ++i) {
    const int32_t j = ((i * repeat) % 255 + 255) % 255;
    opacity[i] = ramp[j];
    values[i] = ramp[(channel + 1) * 256 + j];
  }
  ClampRegion(width, height, x0, y0, x1, y1);
  const Axis axis(x0, y0, x1, y1, angle);
  ForEachPixelParallel(width, height, x0, y0, x1, y1, [&](int64_t i, int32_t x, int32_t y) {
    const int32_t t = axis.Wrapped(x, y, 255);
    const int32_t op = opacity[t];
    const int32_t v = ((255 - op) * plane[i] + values[t] * op) / 255;
    plane[i] = static_cast<unsigned char>(v > 255 ? 255 : v);
  });
  return 0;
}

int32_t Effects::ColorWave(int16_t mode, int16_t opacity, unsigned char* red,
                           unsigned char* green, unsigned char* blue, unsigned char* black,
                           int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                           int32_t y1, int16_t rgb, int16_t channels, const unsigned char* mask,
                           const unsigned char* ramp, int16_t offset, int16_t angle) {
  if (ramp == nullptr) return -1;
  unsigned char* planes[4] = {red, green, blue, black};
  // The ramp has four channel rows; further channels have no row.
  const int32_t count = ClampInt(channels, 0, 4);
  for (int32_t k = 0; k < count; ++k) {
    if (planes[k] == nullptr) return -1;
  }
  const RampRows rows(ramp, rgb != 0);
  LayRamp(mode, opacity, planes, count, 1, height, width, x0, y0, x1, y1, mask, rows, offset,
          angle, 0);
  return 0;
}

int32_t Effects::ColorWave(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t rgb, int16_t channels, const unsigned char* mask,
                           const unsigned char* ramp, int16_t offset, int16_t angle,
                           int16_t kind) {
  if (width <= 0 || height <= 0) return -1;
  if (buffer == nullptr || ramp == nullptr || channels < 1) return -1;
  unsigned char* planes[4] = {buffer, buffer + 1, buffer + 2, buffer + 3};
  const RampRows rows(ramp, rgb != 0);
  LayRamp(mode, opacity, planes, channels > 4 ? 4 : channels, channels, height, width, x0, y0,
          x1, y1, mask, rows, offset, angle, kind);
  return 0;
}

int32_t Effects::ColorWaveChan(int16_t mode, int16_t opacity, unsigned char* plane,
                               int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1, int16_t channel, const unsigned char* mask,
                               const unsigned char* ramp, int16_t offset, int16_t angle,
                               int16_t kind) {
  if (width <= 0 || height <= 0) return -1;
  if (plane == nullptr || ramp == nullptr || channel < 0 || channel > 3) return -1;
  const unsigned char* values = ramp + (channel + 1) * 256;
  ClampRegion(width, height, x0, y0, x1, y1);
  const OffsetRamp position(x0, y0, x1, y1, angle, offset, kind);
  ForEachPixel(width, height, x0, y0, x1, y1, [&](int64_t i, int32_t x, int32_t y) {
    // The ramp's value goes straight to the kernel; its opacity row is not
    // used here.
    plane[i] = Blend(mode, plane[i], values[position.Index(x, y)], Weight(mask, i, opacity));
  });
  return 0;
}
