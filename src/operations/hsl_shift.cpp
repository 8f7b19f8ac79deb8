// Hue, saturation and lightness shift of three planes or of 4-byte pixels,
// on r, g, b data or on y, m, c data (colour model 0), blended back through
// the script's mode, opacity and mask.
//
// Full lightness gives exact white.
//
// A hue shift of a full turn or more is first brought back within one turn;
// the single correction after adding it then keeps the hue within 0..360.
//
// Eight pixels go through the conversions side by side where the processor
// has AVX2: every lane takes both sides of each branch and keeps the one the
// scalar code would take, with the same single-precision operations in the
// same order (no fused multiply-adds), so the bytes are those of the
// one-pixel code. Where two branches each divide, the operands of the taken
// one are picked first and one division serves both; the samples go straight
// from the planes into the lanes. Three planes of 2048 x 1536 on one thread,
// a loaded 8-core machine: 30 ms with the samples gathered into arrays and
// two divisions a branch, 24 ms now; the lanes are bound by their divisions.
// Where the shift replaces three planes without a mask, sixteen pixels
// (AVX-512) or eight (AVX2) go side by side the same way, their bytes stored
// straight back, groups of them interleaved step by step, and the steps
// whose outcome is fixed at any shift (or at a zero shift) left out.
#include <algorithm>

#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/simd.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::kPixelBandRows;
using effect_support::Weight;

namespace {

struct HslShift {
  int32_t hue;
  int16_t saturation;
  int16_t lightness;
  bool ymc;

  // The new channel values of one pixel.
  void Apply(int32_t c0, int32_t c1, int32_t c2, int32_t out[3]) const {
    float r, g, b;
    if (ymc) {
      r = (255 - c2) / 255.0f;
      g = (255 - c1) / 255.0f;
      b = (255 - c0) / 255.0f;
    } else {
      r = c0 / 255.0f;
      g = c1 / 255.0f;
      b = c2 / 255.0f;
    }
    float h = 0.0f, l = 0.0f, s = 0.0f;
    RGBtoHLS(r, g, b, &h, &l, &s);
    h = WrapHue(h + static_cast<float>(hue));
    // Single precision throughout, as the colour shift of the tables does:
    // a factor of exactly 0 at -100 % turns any colour grey, where a
    // double 0.01 left a trace of saturation.
    s = Clamp01(s * (1.0f + static_cast<float>(saturation) / 100.0f));
    l = Clamp01(l + static_cast<float>(lightness) / 100.0f);
    // Full lightness is white whatever the hue and saturation; the
    // conversion's float rounding would otherwise leave it at 254 now and
    // then.
    if (l >= 1.0f) {
      r = g = b = 1.0f;
    } else {
      HLStoRGB(h, l, s, &r, &g, &b);
    }
    auto byte = [](float v) { return Clamp255(static_cast<int32_t>(v * 255.0f)); };
    if (ymc) {
      out[0] = byte(1.0f - b);
      out[1] = byte(1.0f - g);
      out[2] = byte(1.0f - r);
    } else {
      out[0] = byte(r);
      out[1] = byte(g);
      out[2] = byte(b);
    }
  }
};

#if defined(__x86_64__)
bool HasWideFloat() { return plat::SimdAtLeast(plat::SimdLevel::kAvx2); }

#define VMK_WIDE __attribute__((target("avx2")))

VMK_WIDE inline __m256 Select(__m256 when, __m256 yes, __m256 no) { return _mm256_blendv_ps(no, yes, when); }
VMK_WIDE inline __m256 Lt(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
VMK_WIDE inline __m256 Gt(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
VMK_WIDE inline __m256 Le(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_LE_OQ); }
VMK_WIDE inline __m256 Eq(__m256 a, __m256 b) { return _mm256_cmp_ps(a, b, _CMP_EQ_OQ); }
VMK_WIDE inline __m256 Set(float v) { return _mm256_set1_ps(v); }

// WrapHue: one turn down above 360, one turn up below 0.
VMK_WIDE inline __m256 WrapHueWide(__m256 h) {
  return Select(Gt(h, Set(360.0f)), _mm256_sub_ps(h, Set(360.0f)),
                Select(Lt(h, Set(0.0f)), _mm256_add_ps(h, Set(360.0f)), h));
}

// Clamp01 and the conversion's limit to 0..255: below the floor, above the
// ceiling, else the value.
VMK_WIDE inline __m256 Limit(__m256 v, float top) {
  return Select(Lt(v, Set(0.0f)), Set(0.0f), Select(Gt(v, Set(top)), Set(top), v));
}

// One component of HLStoRGB. The rising and the falling edge share one
// division: the operand of the edge the hue falls on is picked before it.
VMK_WIDE inline __m256 ValueWide(__m256 m1, __m256 m2, __m256 hue) {
  hue = WrapHueWide(hue);
  const __m256 span = _mm256_sub_ps(m2, m1);
  const __m256 low = Lt(hue, Set(60.0f));
  const __m256 along = Select(low, hue, _mm256_sub_ps(Set(240.0f), hue));
  const __m256 edge = _mm256_add_ps(m1, _mm256_div_ps(_mm256_mul_ps(span, along), Set(60.0f)));
  return Select(low, edge, Select(Lt(hue, Set(180.0f)), m2, Select(Lt(hue, Set(240.0f)), edge, m1)));
}

// byte(): the fraction times 255, truncated, held to 0..255.
VMK_WIDE inline __m256i ByteWide(__m256 v) {
  const __m256i t = _mm256_cvttps_epi32(_mm256_mul_ps(v, Set(255.0f)));
  return _mm256_min_epi32(_mm256_max_epi32(t, _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

VMK_WIDE inline __m256 LoadWide(const int32_t* c) {
  return _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(c)));
}

VMK_WIDE void ApplyWide(const HslShift& shift, __m256 c0, __m256 c1, __m256 c2, int32_t* out0,
                        int32_t* out1, int32_t* out2);

// HslShift::Apply on the eight samples of each plane from pixel i on, read straight into the
// lanes: three planes (stride 1), or 4-byte pixels whose bytes 0..2 are the samples (stride 4,
// base[k] = base[0] + k). Gathering the bytes into arrays first and loading those cost more
// than the conversions (a store of one lane cannot feed a load of eight).
VMK_WIDE void ApplyWideAt(const HslShift& shift, unsigned char* const* base, int32_t stride,
                          int64_t i, int32_t (&out)[3][8]) {
  __m256 c[3];
  if (stride == 1) {
    for (int32_t k = 0; k < 3; ++k)
      c[k] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base[k] + i))));
  } else {
    const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(base[0] + i * 4));
    const __m256i low = _mm256_set1_epi32(255);
    c[0] = _mm256_cvtepi32_ps(_mm256_and_si256(px, low));
    c[1] = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 8), low));
    c[2] = _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(px, 16), low));
  }
  ApplyWide(shift, c[0], c[1], c[2], out[0], out[1], out[2]);
}

// HslShift::Apply on eight pixels.
VMK_WIDE void ApplyWide(const HslShift& shift, __m256 c0, __m256 c1, __m256 c2, int32_t* out0,
                        int32_t* out1, int32_t* out2) {
  const __m256 k255 = Set(255.0f);
  __m256 r, g, b;
  // 255 - c is exact in either type, so the subtraction may come after the conversion.
  if (shift.ymc) {
    r = _mm256_div_ps(_mm256_sub_ps(k255, c2), k255);
    g = _mm256_div_ps(_mm256_sub_ps(k255, c1), k255);
    b = _mm256_div_ps(_mm256_sub_ps(k255, c0), k255);
  } else {
    r = _mm256_div_ps(c0, k255);
    g = _mm256_div_ps(c1, k255);
    b = _mm256_div_ps(c2, k255);
  }
  // RGBtoHLS.
  const __m256 mx = _mm256_max_ps(_mm256_max_ps(r, g), b);
  const __m256 mn = _mm256_min_ps(_mm256_min_ps(r, g), b);
  // Halving by a product: a power of two, so the bytes are the quotient's.
  __m256 l = _mm256_mul_ps(_mm256_add_ps(mx, mn), Set(0.5f));
  const __m256 delta = _mm256_sub_ps(mx, mn);
  const __m256 grey = Lt(_mm256_andnot_ps(Set(-0.0f), delta), Set(0.001f));
  // One division each for the saturation and the hue: the denominator (the
  // numerator) of the branch the scalar code takes is picked first.
  const __m256 dark = Le(l, Set(0.5f));
  __m256 s = _mm256_div_ps(
      delta, Select(dark, _mm256_add_ps(mx, mn), _mm256_sub_ps(_mm256_sub_ps(Set(2.0f), mx), mn)));
  const __m256 redTop = Eq(r, mx), greenTop = Eq(g, mx);
  const __m256 q = _mm256_div_ps(
      Select(redTop, _mm256_sub_ps(g, b), Select(greenTop, _mm256_sub_ps(b, r), _mm256_sub_ps(r, g))),
      delta);
  __m256 h = Select(redTop, q, Select(greenTop, _mm256_add_ps(Set(2.0f), q), _mm256_add_ps(Set(4.0f), q)));
  h = _mm256_mul_ps(h, Set(60.0f));
  h = Select(Lt(h, Set(0.0f)), _mm256_add_ps(h, Set(360.0f)), h);
  h = Select(grey, Set(0.0f), h);
  s = Select(grey, Set(0.0f), s);
  // The shift.
  h = WrapHueWide(_mm256_add_ps(h, Set(static_cast<float>(shift.hue))));
  s = Limit(_mm256_mul_ps(s, Set(1.0f + static_cast<float>(shift.saturation) / 100.0f)), 1.0f);
  l = Limit(_mm256_add_ps(l, Set(static_cast<float>(shift.lightness) / 100.0f)), 1.0f);
  // HLStoRGB, then white at full lightness.
  const __m256 m2 = Select(Le(l, Set(0.5f)), _mm256_mul_ps(l, _mm256_add_ps(Set(1.0f), s)),
                           _mm256_sub_ps(_mm256_add_ps(l, s), _mm256_mul_ps(l, s)));
  const __m256 m1 = _mm256_sub_ps(_mm256_mul_ps(Set(2.0f), l), m2);
  const __m256 flat = _mm256_and_ps(Eq(s, Set(0.0f)), Eq(h, Set(kUndefinedHue)));
  const __m256 white = _mm256_cmp_ps(l, Set(1.0f), _CMP_GE_OQ);
  __m256 rgb[3] = {Limit(ValueWide(m1, m2, _mm256_add_ps(h, Set(120.0f))), 255.0f),
                   Limit(ValueWide(m1, m2, h), 255.0f),
                   Limit(ValueWide(m1, m2, _mm256_sub_ps(h, Set(120.0f))), 255.0f)};
  for (__m256& v : rgb) v = Select(white, Set(1.0f), Select(flat, l, v));
  if (shift.ymc) {
    for (__m256& v : rgb) v = _mm256_sub_ps(Set(1.0f), v);
    std::swap(rgb[0], rgb[2]);
  }
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out0), ByteWide(rgb[0]));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out1), ByteWide(rgb[1]));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out2), ByteWide(rgb[2]));
}
// ApplyWide on samples held in arrays: the last, partial group of a row.
VMK_WIDE void ApplyWideInts(const HslShift& shift, const int32_t (&c)[3][8], int32_t (&out)[3][8]) {
  ApplyWide(shift, LoadWide(c[0]), LoadWide(c[1]), LoadWide(c[2]), out[0], out[1], out[2]);
}
#undef VMK_WIDE

// --- Sixteen pixels a step on AVX-512: ApplyWide lane for lane, the selects by mask -----------
#define VMK_WIDE16 VMK_TARGET_AVX512
// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values in every caller.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wuninitialized"

VMK_WIDE16 inline __m512 Select16(__mmask16 when, __m512 yes, __m512 no) {
  return _mm512_mask_blend_ps(when, no, yes);
}
VMK_WIDE16 inline __mmask16 Lt16(__m512 a, __m512 b) { return _mm512_cmp_ps_mask(a, b, _CMP_LT_OQ); }
VMK_WIDE16 inline __mmask16 Gt16(__m512 a, __m512 b) { return _mm512_cmp_ps_mask(a, b, _CMP_GT_OQ); }
VMK_WIDE16 inline __mmask16 Le16(__m512 a, __m512 b) { return _mm512_cmp_ps_mask(a, b, _CMP_LE_OQ); }
VMK_WIDE16 inline __mmask16 Eq16(__m512 a, __m512 b) { return _mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ); }
VMK_WIDE16 inline __m512 Set16(float v) { return _mm512_set1_ps(v); }

VMK_WIDE16 inline __m512 WrapHue16(__m512 h) {
  return Select16(Gt16(h, Set16(360.0f)), _mm512_sub_ps(h, Set16(360.0f)),
                  Select16(Lt16(h, Set16(0.0f)), _mm512_add_ps(h, Set16(360.0f)), h));
}

VMK_WIDE16 inline __m512 Limit16(__m512 v, float top) {
  return Select16(Lt16(v, Set16(0.0f)), Set16(0.0f), Select16(Gt16(v, Set16(top)), Set16(top), v));
}

// The shift's own numbers, worked out once for a run of rows, and whether each changes
// anything. Without a hue shift the hue stays as it is: it is 0..360 and never -0, so adding 0
// and wrapping give it back. Without a saturation shift the factor is exactly 1 and s already
// lies in 0..1 (delta is at most the denominator of either branch, mx being at most 1), and
// without a lightness shift l = (mx + mn) / 2 lies in 0..1 and is never -0.
struct WideShift {
  float hue, saturation, lightness;
  bool turns, saturates, lightens;
};

// Groups of sixteen pixels of three planes from sample i on, shifted in place: kGroups groups
// side by side, each step taken for every group before the next, so that the processor
// overlaps their long chains of divisions and selects. Against the eight-pixel form, steps
// whose outcome is fixed are left out, each for a reason that holds at every shift:
// - the hue h after the shift lies in 0..360 (RGBtoHLS gives 0..360, the shift is less than a
//   turn and the wrap adds or takes off one turn), so the hue of the green component needs no
//   wrap, h + 120 can only be above 360 and h - 120 only below 0; and h is never the undefined
//   hue (-400), so no lane is flat;
// - every component value lies within -2..6 (l and s are held to 0..1, so m1 and m2 lie in
//   -2..2 and an edge adds at most 4), so its limit to 0..255 only ever lifts values below 0
//   to 0, and the truncation and the clamp of the byte give such a value the byte of 0 (255
//   once turned over for y, m, c) without it; nothing reaches 255.
template <int32_t kGroups, bool kYmc>
VMK_WIDE16 inline void ShiftGroupsInPlace(const WideShift& shift, unsigned char* const* base,
                                          int64_t i) {
  constexpr int32_t G = kGroups;
  const __m512 k255 = Set16(255.0f);
  __m512 r[G], g[G], b[G];
  for (int32_t u = 0; u < G; ++u) {
    __m512 c[3];
    for (int32_t k = 0; k < 3; ++k)
      c[k] = _mm512_cvtepi32_ps(_mm512_maskz_cvtepu8_epi32(
          0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(base[k] + i + 16 * u))));
    // y, m, c are the complements of b, g, r; 255 - c is exact in either type.
    if (kYmc) {
      r[u] = _mm512_div_ps(_mm512_sub_ps(k255, c[2]), k255);
      g[u] = _mm512_div_ps(_mm512_sub_ps(k255, c[1]), k255);
      b[u] = _mm512_div_ps(_mm512_sub_ps(k255, c[0]), k255);
    } else {
      r[u] = _mm512_div_ps(c[0], k255);
      g[u] = _mm512_div_ps(c[1], k255);
      b[u] = _mm512_div_ps(c[2], k255);
    }
  }
  __m512 l[G], h[G], s[G];
  for (int32_t u = 0; u < G; ++u) {
    const __m512 mx = _mm512_max_ps(_mm512_max_ps(r[u], g[u]), b[u]);
    const __m512 mn = _mm512_min_ps(_mm512_min_ps(r[u], g[u]), b[u]);
    const __m512 sum = _mm512_add_ps(mx, mn);
    l[u] = _mm512_mul_ps(sum, Set16(0.5f));
    const __m512 delta = _mm512_sub_ps(mx, mn);
    const __mmask16 grey = Lt16(_mm512_abs_ps(delta), Set16(0.001f));
    const __mmask16 dark = Le16(l[u], Set16(0.5f));
    s[u] = _mm512_div_ps(delta, Select16(dark, sum, _mm512_sub_ps(_mm512_sub_ps(Set16(2.0f), mx), mn)));
    const __mmask16 redTop = Eq16(r[u], mx), greenTop = Eq16(g[u], mx);
    const __m512 q = _mm512_div_ps(
        Select16(redTop, _mm512_sub_ps(g[u], b[u]),
                 Select16(greenTop, _mm512_sub_ps(b[u], r[u]), _mm512_sub_ps(r[u], g[u]))),
        delta);
    __m512 hu = Select16(redTop, q,
                         Select16(greenTop, _mm512_add_ps(Set16(2.0f), q), _mm512_add_ps(Set16(4.0f), q)));
    hu = _mm512_mul_ps(hu, Set16(60.0f));
    hu = Select16(Lt16(hu, Set16(0.0f)), _mm512_add_ps(hu, Set16(360.0f)), hu);
    h[u] = Select16(grey, Set16(0.0f), hu);
    if (shift.turns) h[u] = WrapHue16(_mm512_add_ps(h[u], Set16(shift.hue)));
    s[u] = Select16(grey, Set16(0.0f), s[u]);
  }
  for (int32_t u = 0; u < G; ++u) {
    const __m512 su =
        shift.saturates ? Limit16(_mm512_mul_ps(s[u], Set16(shift.saturation)), 1.0f) : s[u];
    const __m512 lu =
        shift.lightens ? Limit16(_mm512_add_ps(l[u], Set16(shift.lightness)), 1.0f) : l[u];
    const __m512 m2 = Select16(Le16(lu, Set16(0.5f)), _mm512_mul_ps(lu, _mm512_add_ps(Set16(1.0f), su)),
                               _mm512_sub_ps(_mm512_add_ps(lu, su), _mm512_mul_ps(lu, su)));
    const __m512 m1 = _mm512_sub_ps(_mm512_mul_ps(Set16(2.0f), lu), m2);
    const __m512 span = _mm512_sub_ps(m2, m1);
    const __mmask16 white = _mm512_cmp_ps_mask(lu, Set16(1.0f), _CMP_GE_OQ);
    __m512 at[3];
    const __m512 up = _mm512_add_ps(h[u], Set16(120.0f));
    at[0] = Select16(Gt16(up, Set16(360.0f)), _mm512_sub_ps(up, Set16(360.0f)), up);
    at[1] = h[u];
    const __m512 down = _mm512_sub_ps(h[u], Set16(120.0f));
    at[2] = Select16(Lt16(down, Set16(0.0f)), _mm512_add_ps(down, Set16(360.0f)), down);
    for (int32_t k = 0; k < 3; ++k) {
      const __mmask16 low = Lt16(at[k], Set16(60.0f));
      const __m512 along = Select16(low, at[k], _mm512_sub_ps(Set16(240.0f), at[k]));
      const __m512 edge = _mm512_add_ps(m1, _mm512_div_ps(_mm512_mul_ps(span, along), Set16(60.0f)));
      __m512 v = Select16(low, edge,
                          Select16(Lt16(at[k], Set16(180.0f)), m2,
                                   Select16(Lt16(at[k], Set16(240.0f)), edge, m1)));
      v = Select16(white, Set16(1.0f), v);
      if (kYmc) v = _mm512_sub_ps(Set16(1.0f), v);
      // The fraction times 255, truncated, at least 0, at most 255 by the saturating narrowing.
      const __m512i t = _mm512_max_epi32(_mm512_cvttps_epi32(_mm512_mul_ps(v, k255)),
                                         _mm512_setzero_si512());
      _mm_storeu_si128(reinterpret_cast<__m128i*>(base[kYmc ? 2 - k : k] + i + 16 * u),
                       _mm512_maskz_cvtusepi32_epi8(0xFFFF, t));
    }
  }
}

// The pixels of one row from sample i, count of them, in groups of 32 and then 16; returns how
// many it did.
template <bool kYmc>
VMK_WIDE16 int64_t ShiftRunInPlace(const WideShift& w, unsigned char* const* base, int64_t i,
                                   int64_t count) {
  int64_t done = 0;
  for (; done + 64 <= count; done += 64) ShiftGroupsInPlace<4, kYmc>(w, base, i + done);
  for (; done + 32 <= count; done += 32) ShiftGroupsInPlace<2, kYmc>(w, base, i + done);
  for (; done + 16 <= count; done += 16) ShiftGroupsInPlace<1, kYmc>(w, base, i + done);
  return done;
}
#pragma GCC diagnostic pop
#undef VMK_WIDE16

// --- The same on AVX2, eight pixels a group ---------------------------------------------------
// ShiftGroupsInPlace in eight lanes, the selects by lane masks, for processors without
// AVX-512. The chain from a sample to its byte runs through four divisions one after another,
// and eight lanes give the processor too little to do beside it: groups are taken four at a
// time (the registers spill, which costs less than the waits) and the work around the chain is
// trimmed, each step for the same bytes:
// - a sample over 255 (c, or 255 - c for y, m, c, a whole number 0..255) is 2^24 c / 255 in
//   two parts scaled back by 2^-24: c * 65793 (= c * 0x10101, exact in a float) and the
//   fraction c / 255 from a product by the reciprocal. That product is a unit or so off in its
//   last place, far less than the fraction's distance (at least 1 / 65280) from a half of the
//   sum's last place, so the rounded sum is the quotient's (checked for all 256 samples);
// - without a lightness shift l reaches 1 only for white (both extremes 1), a grey whose
//   components come out 1 already, so the select of white is left out;
// - the components lie within -2..6 (see above), so their bytes need no clamp before the
//   packs: the first narrows negative values to 0, the second values over 255 to 255.
// Effect 18 at its defaults on 6000 x 4000, one thread, the kernel alone in cache-sized
// strips at a load of about 35: 64 ms in pairs of groups, 56 ms in fours, 50 ms trimmed. One
// division for the one component on an edge (picked by the three hues' sectors, with a group
// where rounding puts two on an edge taking three) and quotients by 255 from the division
// were each slower.
VMK_TARGET_AVX2 inline __m256 OverFull(__m256 c) {
  return _mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(c, Set(65793.0f)),
                                     _mm256_mul_ps(c, Set(1.0f / 255.0f))),
                       Set(1.0f / 16777216.0f));
}

template <int32_t kGroups, bool kYmc>
VMK_TARGET_AVX2 inline void ShiftGroupsInPlaceAvx2(const WideShift& shift,
                                                   unsigned char* const* base, int64_t i) {
  constexpr int32_t G = kGroups;
  const __m256 k255 = Set(255.0f);
  __m256 r[G], g[G], b[G];
  for (int32_t u = 0; u < G; ++u) {
    __m256 c[3];
    for (int32_t k = 0; k < 3; ++k)
      c[k] = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(base[k] + i + 8 * u))));
    if (kYmc) {
      r[u] = OverFull(_mm256_sub_ps(k255, c[2]));
      g[u] = OverFull(_mm256_sub_ps(k255, c[1]));
      b[u] = OverFull(_mm256_sub_ps(k255, c[0]));
    } else {
      r[u] = OverFull(c[0]);
      g[u] = OverFull(c[1]);
      b[u] = OverFull(c[2]);
    }
  }
  __m256 l[G], h[G], s[G];
  for (int32_t u = 0; u < G; ++u) {
    const __m256 mx = _mm256_max_ps(_mm256_max_ps(r[u], g[u]), b[u]);
    const __m256 mn = _mm256_min_ps(_mm256_min_ps(r[u], g[u]), b[u]);
    const __m256 sum = _mm256_add_ps(mx, mn);
    l[u] = _mm256_mul_ps(sum, Set(0.5f));
    // The largest less the smallest is never negative: its magnitude is itself.
    const __m256 delta = _mm256_sub_ps(mx, mn);
    const __m256 grey = Lt(delta, Set(0.001f));
    const __m256 dark = Le(l[u], Set(0.5f));
    s[u] = _mm256_div_ps(delta, Select(dark, sum, _mm256_sub_ps(_mm256_sub_ps(Set(2.0f), mx), mn)));
    const __m256 redTop = Eq(r[u], mx), greenTop = Eq(g[u], mx);
    const __m256 q = _mm256_div_ps(
        Select(redTop, _mm256_sub_ps(g[u], b[u]),
               Select(greenTop, _mm256_sub_ps(b[u], r[u]), _mm256_sub_ps(r[u], g[u]))),
        delta);
    __m256 hu = Select(redTop, q,
                       Select(greenTop, _mm256_add_ps(Set(2.0f), q), _mm256_add_ps(Set(4.0f), q)));
    hu = _mm256_mul_ps(hu, Set(60.0f));
    hu = Select(Lt(hu, Set(0.0f)), _mm256_add_ps(hu, Set(360.0f)), hu);
    h[u] = Select(grey, Set(0.0f), hu);
    if (shift.turns) h[u] = WrapHueWide(_mm256_add_ps(h[u], Set(shift.hue)));
    s[u] = Select(grey, Set(0.0f), s[u]);
  }
  for (int32_t u = 0; u < G; ++u) {
    const __m256 su = shift.saturates ? Limit(_mm256_mul_ps(s[u], Set(shift.saturation)), 1.0f) : s[u];
    const __m256 lu = shift.lightens ? Limit(_mm256_add_ps(l[u], Set(shift.lightness)), 1.0f) : l[u];
    const __m256 m2 = Select(Le(lu, Set(0.5f)), _mm256_mul_ps(lu, _mm256_add_ps(Set(1.0f), su)),
                             _mm256_sub_ps(_mm256_add_ps(lu, su), _mm256_mul_ps(lu, su)));
    const __m256 m1 = _mm256_sub_ps(_mm256_mul_ps(Set(2.0f), lu), m2);
    const __m256 span = _mm256_sub_ps(m2, m1);
    const __m256 white = _mm256_cmp_ps(lu, Set(1.0f), _CMP_GE_OQ);
    __m256 at[3];
    const __m256 up = _mm256_add_ps(h[u], Set(120.0f));
    at[0] = Select(Gt(up, Set(360.0f)), _mm256_sub_ps(up, Set(360.0f)), up);
    at[1] = h[u];
    const __m256 down = _mm256_sub_ps(h[u], Set(120.0f));
    at[2] = Select(Lt(down, Set(0.0f)), _mm256_add_ps(down, Set(360.0f)), down);
    __m256i t[3];
    for (int32_t k = 0; k < 3; ++k) {
      const __m256 low = Lt(at[k], Set(60.0f));
      const __m256 along = Select(low, at[k], _mm256_sub_ps(Set(240.0f), at[k]));
      const __m256 edge = _mm256_add_ps(m1, _mm256_div_ps(_mm256_mul_ps(span, along), Set(60.0f)));
      __m256 v = Select(low, edge,
                        Select(Lt(at[k], Set(180.0f)), m2, Select(Lt(at[k], Set(240.0f)), edge, m1)));
      if (shift.lightens) v = Select(white, Set(1.0f), v);
      if (kYmc) v = _mm256_sub_ps(Set(1.0f), v);
      // -510..1530 once truncated, well inside the 16-bit lanes the packs read as signed.
      t[k] = _mm256_cvttps_epi32(_mm256_mul_ps(v, k255));
    }
    // The three components' bytes in one register, eight to a quarter: the packs work within
    // each half, so the quarters are put back in order before the stores.
    const __m256i words = _mm256_packus_epi32(t[0], t[1]);
    const __m256i bytes = _mm256_packus_epi16(words, _mm256_packus_epi32(t[2], t[2]));
    const __m256i rows =
        _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    const __m128i first = _mm256_castsi256_si128(rows);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(base[kYmc ? 2 : 0] + i + 8 * u), first);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(base[1] + i + 8 * u),
                     _mm_unpackhi_epi64(first, first));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(base[kYmc ? 0 : 2] + i + 8 * u),
                     _mm256_extracti128_si256(rows, 1));
  }
}

template <bool kYmc>
VMK_TARGET_AVX2 int64_t ShiftRunInPlaceAvx2(const WideShift& w, unsigned char* const* base,
                                            int64_t i, int64_t count) {
  int64_t done = 0;
  for (; done + 32 <= count; done += 32) ShiftGroupsInPlaceAvx2<4, kYmc>(w, base, i + done);
  for (; done + 16 <= count; done += 16) ShiftGroupsInPlaceAvx2<2, kYmc>(w, base, i + done);
  for (; done + 8 <= count; done += 8) ShiftGroupsInPlaceAvx2<1, kYmc>(w, base, i + done);
  return done;
}
#endif

// The shifted values of up to eight pixels of one row.
void ApplyEight(const HslShift& shift, int32_t count, const int32_t (&c)[3][8], int32_t (&out)[3][8]) {
#if defined(__x86_64__)
  if (HasWideFloat()) {
    ApplyWideInts(shift, c, out);
    return;
  }
#endif
  for (int32_t j = 0; j < count; ++j) {
    int32_t o[3];
    shift.Apply(c[0][j], c[1][j], c[2][j], o);
    for (int k = 0; k < 3; ++k) out[k][j] = o[k];
  }
}

HslShift MakeShift(int16_t hueShift, int16_t saturation, int16_t lightness, int16_t model) {
  int32_t hue = hueShift;
  if (hue >= 360 || hue <= -360) hue %= 360;
  return HslShift{hue, saturation, lightness, model == 0};
}

#if defined(__x86_64__)
using ShiftRun = int64_t (*)(const WideShift&, unsigned char* const*, int64_t, int64_t);

// Columns x0..x1 of one row of three planes (row: the row's first sample) shifted and blended
// through the mask: each run of kRun pixels copied to the stack, shifted there in place (the
// last few pixels eight at a time, as the planes' own tail), then blended into the planes.
void ShiftAndBlendRow(int16_t mode, int16_t opacity, const unsigned char* mask,
                      const HslShift& shift, const WideShift& wideShift, ShiftRun inPlace,
                      unsigned char* const (&base)[3], int64_t row, int32_t x0, int32_t x1) {
  unsigned char work[3][effect_support::kRun];
  unsigned char* const run[3] = {work[0], work[1], work[2]};
  for (int32_t x = x0; x <= x1; x += effect_support::kRun) {
    const int32_t n = std::min(effect_support::kRun, x1 - x + 1);
    for (int32_t k = 0; k < 3; ++k) std::memcpy(work[k], base[k] + row + x, static_cast<size_t>(n));
    for (auto j = static_cast<int32_t>(inPlace(wideShift, run, 0, n)); j < n; j += 8) {
      const int32_t count = std::min(8, n - j);
      int32_t c[3][8] = {}, shifted[3][8];
      for (int32_t u = 0; u < count; ++u)
        for (int32_t k = 0; k < 3; ++k) c[k][u] = work[k][j + u];
      ApplyEight(shift, count, c, shifted);
      for (int32_t u = 0; u < count; ++u)
        for (int32_t k = 0; k < 3; ++k) work[k][j + u] = static_cast<unsigned char>(shifted[k][u]);
    }
    for (int32_t k = 0; k < 3; ++k)
      effect_support::BlendRun(mode, opacity, base[k] + row + x, work[k],
                               mask != nullptr ? mask + row + x : nullptr, n);
  }
}
#endif

// Runs the shift over the region, pixel p's three samples at
// sample(p, 0..2), the rows on the shared threads, eight pixels at a time.
template <typename Sample>
void ShiftRegion(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                 const unsigned char* mask, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                 const HslShift& shift, unsigned char* const (&base)[3], int32_t stride,
                 Sample sample) {
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1) return;
  // Replacement at full opacity without a mask blends to the shifted value.
  const bool replace = mode == 0 && opacity == 255 && mask == nullptr;
#if defined(__x86_64__)
  const bool wide = HasWideFloat();
#else
  const bool wide = false;
#endif
#if defined(__x86_64__)
  // Three planes at full replacement without a mask: sixteen pixels a step where the processor
  // has AVX-512 (eight on AVX2), their bytes straight back into the planes. (Three 6000 x 4000 planes at the
  // defaults, one thread: 138 ms eight pixels a step through arrays, 71 ms; 8 threads at a load
  // of 16, where one read and write of the planes took 1.7 to 2 ms: about 19 ms, about 9 ms.
  // The eight divisions remain; their double-precision products by reciprocals, exact for
  // these operands, measured slower on the build machine. The render of effect 18 at its
  // defaults, one thread at a load of 12 to 20, beyond the render that runs nothing: 75 to
  // 87 ms one group of sixteen at a time; with the steps fixed at any shift left out, about
  // 60 ms one group at a time, 47 ms in pairs, 45 ms in fours; with a zero shift's steps left
  // out too, 36 ms. One division for the one component on an edge of the hue, picked by more
  // selects, measured slower than the three divisions and was dropped. Where the processor
  // stops at AVX2, eight pixels a group the same way, bytes straight back: 150 -> 57 ms.)
  using ShiftRun = int64_t (*)(const WideShift&, unsigned char* const*, int64_t, int64_t);
  // Through a mask or at another mode or opacity the same forms shift a copy of each run of
  // kRun pixels on the band's stack, which BlendRun then puts into the planes (mode 0 at an
  // opacity of 0..255 in the 16-bit lanes): through a mask at opacity 128, 6000 x 4000,
  // default threads, from about 100 ms (eight pixels a step through arrays, a blend sample by
  // sample) to about 10.
  const ShiftRun inPlace =
      stride != 1
          ? nullptr
          : shift.ymc ? plat::PickKernel<ShiftRun>(nullptr, ShiftRunInPlaceAvx2<true>,
                                                   ShiftRunInPlace<true>)
                      : plat::PickKernel<ShiftRun>(nullptr, ShiftRunInPlaceAvx2<false>,
                                                   ShiftRunInPlace<false>);
  const WideShift wideShift{static_cast<float>(shift.hue),
                            1.0f + static_cast<float>(shift.saturation) / 100.0f,
                            static_cast<float>(shift.lightness) / 100.0f,
                            shift.hue != 0,
                            shift.saturation != 0,
                            shift.lightness != 0};
#endif
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [=](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t row = static_cast<int64_t>(y) * width;
      int32_t x = x0;
#if defined(__x86_64__)
      if (inPlace != nullptr && !replace) {
        ShiftAndBlendRow(mode, opacity, mask, shift, wideShift, inPlace, base, row, x0, x1);
        continue;
      }
      if (inPlace != nullptr) x += static_cast<int32_t>(inPlace(wideShift, base, row + x, x1 + 1 - x));
#endif
      for (; x <= x1; x += 8) {
        const int32_t count = std::min(8, x1 - x + 1);
        int32_t c[3][8] = {}, shifted[3][8];
        const bool blend = !replace;
#if defined(__x86_64__)
        if (wide && count == 8) {
          ApplyWideAt(shift, base, stride, row + x, shifted);
          if (blend)
            for (int32_t j = 0; j < count; ++j)
              for (int32_t k = 0; k < 3; ++k) c[k][j] = *sample(row + x + j, k);
        } else
#endif
        {
          for (int32_t j = 0; j < count; ++j)
            for (int32_t k = 0; k < 3; ++k) c[k][j] = *sample(row + x + j, k);
          ApplyEight(shift, count, c, shifted);
        }
        if (!blend) {
          for (int32_t j = 0; j < count; ++j)
            for (int32_t k = 0; k < 3; ++k) *sample(row + x + j, k) = static_cast<unsigned char>(shifted[k][j]);
          continue;
        }
        for (int32_t j = 0; j < count; ++j) {
          const int64_t i = row + x + j;
          const int32_t weight = Weight(mask, i, opacity);
          for (int32_t k = 0; k < 3; ++k) *sample(i, k) = Blend(mode, c[k][j], shifted[k][j], weight);
        }
      }
    }
  });
  (void)wide;
}

}  // namespace

int32_t Effects::HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          unsigned char* plane0, unsigned char* plane1, unsigned char* plane2,
                          unsigned char* plane3, const unsigned char* mask, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t hueShift,
                          int16_t saturation, int16_t lightness, int16_t model) {
  (void)plane3;
  if (plane0 == nullptr || plane1 == nullptr || plane2 == nullptr) return 0;
  unsigned char* const planes[3] = {plane0, plane1, plane2};
  ShiftRegion(mode, opacity, height, width, mask, x0, y0, x1, y1,
              MakeShift(hueShift, saturation, lightness, model), planes, 1,
              [planes](int64_t i, int32_t k) { return planes[k] + i; });
  return 0;
}

int32_t Effects::HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          uint32_t* pixels, const unsigned char* mask, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int16_t hueShift, int16_t saturation,
                          int16_t lightness, int16_t model) {
  if (pixels == nullptr) return 0;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(pixels);
  unsigned char* const base[3] = {bytes, bytes + 1, bytes + 2};
  ShiftRegion(mode, opacity, height, width, mask, x0, y0, x1, y1,
              MakeShift(hueShift, saturation, lightness, model), base, 4,
              [bytes](int64_t i, int32_t k) { return bytes + i * 4 + k; });
  return 0;
}
