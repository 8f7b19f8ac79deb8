// The fractal's lane walk and elementary functions at each vector level. The functions and the
// formulas' steps are written once, over a lane type (fractal_lane_math.inc and
// fractal_lane_walk.inc), and included here inside one namespace per level: the plain one on
// single doubles, the AVX2 one on four and the AVX-512 one on eight, the last two compiled for
// their instructions (a region of target options, since a template cannot take a target of
// its own per lane type).
//
// Measured on the shared 8-core machine (AVX-512), the content library's presets through the
// render at 6000 x 4000 and default threads, plain beside lanes, load 19-27: Dendrite 0.66 ->
// 0.37 s, Sea horses 2.0 -> 0.59 s, Sine lace 150 -> 4.2 s (its plain walk goes pixel after
// pixel), Copper rings 21.5 -> 2.1 s, Spiral 1.9 -> 0.82 s (bench/effect_renders.cpp,
// BM_FractalPreset). At the dialog's most, 2000 iterations, load ~21: Sea horses 19.7 -> 2.3 s,
// Spiral 1.7 -> 0.80 s, Dendrite 0.8 s either way; Copper rings 42 s and Sine lace 165 s in
// lanes, where nearly every pixel runs all 2000 steps of sines and hyperbolic functions (a
// tenth of a microsecond a step and pixel on one core, eight lanes at once). On one core, 600 x 400 of Sine lace: the exponential's and the sinh
// series' terms paired (a chain of four products, not thirteen) 0.25 -> 0.21 s, and the
// product with the carried denormal constant skipped where it provably changes nothing 0.21
// -> 0.12 s, and sinh and cosh below 1 from their series alone (no exponential, no division)
// 0.12 -> 0.10 s (AVX2: 0.19 -> 0.14 s; the preset at 6000 x 4000, default threads, load ~30:
// 5.5 -> 4.1 s); a third and fourth vector of lanes a step, or the sine's terms paired,
// changed nothing measurable. Then most of what was left: orbits that never escape, run to the
// limit. A lane now stops an orbit that has come back to a state of its own, bit for bit, and
// an orbit of the sine formulas inside a disc it cannot leave (fractal_lane_walk.inc), either
// taking what the limit gives. At 6000 x 4000 through the render, default threads, load 28-42
// before and 17-26 after: Sine lace 5.1 -> 0.54 s, Copper rings 4.3 -> 1.3 s; at 2000
// iterations Sine lace 164 -> 0.47 s, Copper rings 77 -> 1.9 s, Sea horses 3.2 -> 0.36 s. Copper
// rings' interior falls on an attracting fixed point of c cos z, within 0.1 of it in some seven
// steps but bit for bit only after some 130: a disc about that point that no orbit leaves
// stops them as it is reached, 1.9-2.7 -> 0.67 s, and at 2000 iterations 3.3 -> 0.83 s (load
// ~20 before, ~60 after). The one-pixel walk keeps to the literal loop, the reference the lanes
// are held to.
#include "engines/patterns/fractal_lanes.h"

#include <algorithm>
#include <bit>
#include <complex>
#include <cmath>
#include <cstdint>

#include "platform/parallel/cancel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace fractmath {

constexpr double Bits(uint64_t b) { return std::bit_cast<double>(b); }

// round(v) by adding and taking away 1.5 x 2^52: the sum's representation holds the whole
// number in its low bits.
constexpr double kRoundMagic = 6755399441055744.0;
constexpr uint64_t kRoundMagicBits = 0x4338000000000000ull;

// 2 / pi, and pi / 2 in three parts of 33, 33 and 53 bits.
constexpr double kTwoOverPi = Bits(0x3FE45F306DC9C883ull);
constexpr double kPio2Hi = Bits(0x3FF921FB54400000ull);
constexpr double kPio2Mid = Bits(0x3DD0B4611A600000ull);
constexpr double kPio2Lo = Bits(0x3BA3198A2E037073ull);
constexpr double kReduceBelow = 524288.0;  // 2^19

// The minimax polynomials of sin and cos on [-pi/4, pi/4] (the classic kernels' coefficients).
constexpr double kS1 = Bits(0xBFC5555555555549ull);
constexpr double kS2 = Bits(0x3F8111111110F8A6ull);
constexpr double kS3 = Bits(0xBF2A01A019C161D5ull);
constexpr double kS4 = Bits(0x3EC71DE357B1FE7Dull);
constexpr double kS5 = Bits(0xBE5AE5E68A2B9CEBull);
constexpr double kS6 = Bits(0x3DE5D93A5ACFD57Cull);
constexpr double kC1 = Bits(0x3FA555555555554Cull);
constexpr double kC2 = Bits(0xBF56C16C16C15177ull);
constexpr double kC3 = Bits(0x3EFA01A019CB1590ull);
constexpr double kC4 = Bits(0xBE927E4F809C52ADull);
constexpr double kC5 = Bits(0x3E21EE9EBDB4B1C4ull);
constexpr double kC6 = Bits(0xBDA8FAE9BE8838D4ull);

// log2 e, and ln 2 in two parts (the first times any exponent up to 2^11 is exact).
constexpr double kLog2E = Bits(0x3FF71547652B82FEull);
constexpr double kLn2Hi = Bits(0x3FE62E42FEE00000ull);
constexpr double kLn2Lo = Bits(0x3DEA39EF35793C76ull);
constexpr double kExpMost = 710.0;

struct InverseFactorials {
  double v[20];
  constexpr InverseFactorials() : v() {
    double f = 1.0;
    for (int i = 0; i < 20; ++i) {
      if (i > 0) f *= i;
      v[i] = 1.0 / f;
    }
  }
};
constexpr InverseFactorials kInverseFactorials;
constexpr const double* kInvFactorial = kInverseFactorials.v;

}  // namespace fractmath

namespace {

// ---- One double: the form the one-pixel walk calls ----
namespace plainlanes {

using V = double;
using M = bool;

inline V Set(double v) { return v; }
inline uint64_t Rep(V v) { return std::bit_cast<uint64_t>(v); }
inline V Abs(V v) { return std::bit_cast<double>(Rep(v) & 0x7FFFFFFFFFFFFFFFull); }
inline V SignBit(V v) { return std::bit_cast<double>(Rep(v) & 0x8000000000000000ull); }
inline V Xor(V a, V b) { return std::bit_cast<double>(Rep(a) ^ Rep(b)); }
inline V Select(M m, V a, V b) { return m ? a : b; }
inline M Less(V a, V b) { return a < b; }
inline M AtLeast(V a, V b) { return a >= b; }
inline bool Any(M m) { return m; }
inline bool All(M m) { return m; }
inline M Odd(V t) { return (Rep(t) & 1u) != 0; }
inline V QuadrantSign(V t, uint64_t add) {
  return std::bit_cast<double>(((Rep(t) + add) >> 1 & 1u) << 63);
}
inline V Pow2Of(V t) {
  return std::bit_cast<double>((Rep(t) - fractmath::kRoundMagicBits + 1023u) << 52);
}
inline void LibmSinCos(M, V x, V* s, V* c) {
  *s = std::sin(x);
  *c = std::cos(x);
}

#include "engines/patterns/fractal_lane_math.inc"

}  // namespace plainlanes

}  // namespace

namespace fractlanes {

void SinCos(double x, double* sine, double* cosine) { plainlanes::SinCosLanes(x, sine, cosine); }

void SinhCosh(double y, double* sinh, double* cosh) { plainlanes::SinhCoshLanes(y, sinh, cosh); }

}  // namespace fractlanes

#if VMK_SIMD_X86

// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values in every caller; and the lane types pass
// through the walk's inline helpers by value, which only the wide forms ever call.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

// ---- AVX2: four doubles ----
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma,bmi,bmi2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma,bmi,bmi2,popcnt")
#endif

namespace {
namespace avx2lanes {

using V = __m256d;
using M = __m256d;
constexpr int32_t kLanes = 4;

inline V Set(double v) { return _mm256_set1_pd(v); }
inline V Load(const double* p) { return _mm256_load_pd(p); }
inline void Store(double* p, V v) { _mm256_store_pd(p, v); }
inline V Sqrt(V v) { return _mm256_sqrt_pd(v); }
inline __m256i Rep(V v) { return _mm256_castpd_si256(v); }
inline V FromRep(__m256i r) { return _mm256_castsi256_pd(r); }
inline V Abs(V v) { return FromRep(_mm256_and_si256(Rep(v), _mm256_set1_epi64x(0x7FFFFFFFFFFFFFFFll))); }
inline V SignBit(V v) {
  return FromRep(_mm256_and_si256(Rep(v), _mm256_set1_epi64x(static_cast<int64_t>(0x8000000000000000ull))));
}
inline V Xor(V a, V b) { return _mm256_xor_pd(a, b); }
inline V Select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
inline M Less(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline M NotAtMost(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NLE_UQ); }
inline M AtLeast(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline M Or(M a, M b) { return _mm256_or_pd(a, b); }
inline unsigned Bits(M m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
inline bool Any(M m) { return _mm256_movemask_pd(m) != 0; }
inline bool All(M m) { return _mm256_movemask_pd(m) == 0xF; }
inline M And(M a, M b) { return _mm256_and_pd(a, b); }
inline M SameBits(V a, V b) { return FromRep(_mm256_cmpeq_epi64(Rep(a), Rep(b))); }
inline M Odd(V t) {
  const __m256i one = _mm256_set1_epi64x(1);
  return FromRep(_mm256_cmpeq_epi64(_mm256_and_si256(Rep(t), one), one));
}
inline V QuadrantSign(V t, uint64_t add) {
  const __m256i q = _mm256_add_epi64(Rep(t), _mm256_set1_epi64x(static_cast<int64_t>(add)));
  return FromRep(_mm256_slli_epi64(_mm256_and_si256(_mm256_srli_epi64(q, 1), _mm256_set1_epi64x(1)), 63));
}
inline V Pow2Of(V t) {
  const __m256i k = _mm256_sub_epi64(
      Rep(t), _mm256_set1_epi64x(static_cast<int64_t>(fractmath::kRoundMagicBits - 1023u)));
  return FromRep(_mm256_slli_epi64(k, 52));
}
inline void LibmSinCos(M far, V x, V* s, V* c) {
  alignas(32) double xs[4], ss[4], cs[4];
  Store(xs, x), Store(ss, *s), Store(cs, *c);
  const unsigned bits = Bits(far);
  for (int32_t j = 0; j < 4; ++j)
    if ((bits >> j & 1u) != 0) ss[j] = std::sin(xs[j]), cs[j] = std::cos(xs[j]);
  *s = Load(ss), *c = Load(cs);
}

#include "engines/patterns/fractal_lane_math.inc"
#include "engines/patterns/fractal_lane_walk.inc"

}  // namespace avx2lanes
}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// ---- AVX-512: eight doubles ----
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma,bmi,bmi2,popcnt"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma,bmi,bmi2,popcnt")
#endif

namespace {
namespace avx512lanes {

using V = __m512d;
using M = __mmask8;
constexpr int32_t kLanes = 8;

inline V Set(double v) { return _mm512_set1_pd(v); }
inline V Load(const double* p) { return _mm512_load_pd(p); }
inline void Store(double* p, V v) { _mm512_store_pd(p, v); }
inline V Sqrt(V v) { return _mm512_sqrt_pd(v); }
inline __m512i Rep(V v) { return _mm512_castpd_si512(v); }
inline V FromRep(__m512i r) { return _mm512_castsi512_pd(r); }
inline V Abs(V v) { return FromRep(_mm512_and_si512(Rep(v), _mm512_set1_epi64(0x7FFFFFFFFFFFFFFFll))); }
inline V SignBit(V v) {
  return FromRep(_mm512_and_si512(Rep(v), _mm512_set1_epi64(static_cast<int64_t>(0x8000000000000000ull))));
}
inline V Xor(V a, V b) { return FromRep(_mm512_xor_si512(Rep(a), Rep(b))); }
inline V Select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }
inline M Less(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
inline M NotAtMost(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NLE_UQ); }
inline M AtLeast(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
inline M Or(M a, M b) { return static_cast<M>(a | b); }
inline unsigned Bits(M m) { return m; }
inline bool Any(M m) { return m != 0; }
inline bool All(M m) { return m == 0xFF; }
inline M And(M a, M b) { return static_cast<M>(a & b); }
inline M SameBits(V a, V b) { return _mm512_cmpeq_epi64_mask(Rep(a), Rep(b)); }
inline M Odd(V t) { return _mm512_test_epi64_mask(Rep(t), _mm512_set1_epi64(1)); }
inline V QuadrantSign(V t, uint64_t add) {
  const __m512i q = _mm512_add_epi64(Rep(t), _mm512_set1_epi64(static_cast<int64_t>(add)));
  return FromRep(_mm512_slli_epi64(_mm512_and_si512(_mm512_srli_epi64(q, 1), _mm512_set1_epi64(1)), 63));
}
inline V Pow2Of(V t) {
  const __m512i k = _mm512_sub_epi64(
      Rep(t), _mm512_set1_epi64(static_cast<int64_t>(fractmath::kRoundMagicBits - 1023u)));
  return FromRep(_mm512_slli_epi64(k, 52));
}
inline void LibmSinCos(M far, V x, V* s, V* c) {
  alignas(64) double xs[8], ss[8], cs[8];
  Store(xs, x), Store(ss, *s), Store(cs, *c);
  for (int32_t j = 0; j < 8; ++j)
    if ((far >> j & 1u) != 0) ss[j] = std::sin(xs[j]), cs[j] = std::cos(xs[j]);
  *s = Load(ss), *c = Load(cs);
}

#include "engines/patterns/fractal_lane_math.inc"
#include "engines/patterns/fractal_lane_walk.inc"

}  // namespace avx512lanes
}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#pragma GCC diagnostic pop

#endif  // VMK_SIMD_X86

namespace fractlanes {

WalkFn PickWalk(int16_t formula) {
#if VMK_SIMD_X86
  if (plat::SimdAtLeast(plat::SimdLevel::kAvx512)) return avx512lanes::WalkOf(formula);
  if (plat::SimdAtLeast(plat::SimdLevel::kAvx2)) return avx2lanes::WalkOf(formula);
#else
  (void)formula;
#endif
  return nullptr;
}

}  // namespace fractlanes
