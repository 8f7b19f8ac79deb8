// Which vector instructions a kernel may use, picked at run time.
//
// The default build targets the plain x86-64 baseline, so the same program
// runs on any machine; a kernel that has a wider form compiles it in a
// function marked VMK_TARGET_AVX2 (or VMK_TARGET_AVX512) and picks it with
// PickKernel, which looks at the processor once and at the cap below. Every
// wide form gives the baseline's results to the bit: the cap lets the tests
// (and a user chasing a fault) run the same call on each path and compare.
#pragma once

#include <cstdint>
#include <type_traits>

namespace plat {

enum class SimdLevel : int32_t {
  kBaseline = 0,  // what the build targets
  kAvx2 = 1,      // AVX2 with FMA
  kAvx512 = 2,    // AVX-512 F, BW, DQ and VL
};

// The widest level this processor runs.
SimdLevel SimdSupported();
// The level kernels use: the supported one, held down by the environment
// variable VMK_SIMD (baseline, avx2 or avx512; read once) or by
// SetSimdLevel.
SimdLevel ActiveSimd();
// Holds every later pick at or below `cap`; kAvx512 lifts the call's cap
// (VMK_SIMD still applies).
void SetSimdLevel(SimdLevel cap);

// The AVX-512 level is active and the processor also permutes bytes across
// a whole register (VBMI); kernels that need it check this besides the level.
bool SimdHasByteVbmi();

inline bool SimdAtLeast(SimdLevel level) {
  return static_cast<int32_t>(ActiveSimd()) >= static_cast<int32_t>(level);
}

// The widest of the given forms of a kernel the active level allows; a null
// form is skipped. The forms share one signature.
template <typename Fn>
Fn PickKernel(Fn baseline, std::type_identity_t<Fn> avx2,
              std::type_identity_t<Fn> avx512 = nullptr) {
  if (avx512 != nullptr && SimdAtLeast(SimdLevel::kAvx512)) return avx512;
  if (avx2 != nullptr && SimdAtLeast(SimdLevel::kAvx2)) return avx2;
  return baseline;
}

}  // namespace plat

// Function attributes for the wide forms. Only x86-64 has them; elsewhere
// the kernels keep their baseline (guard wide code with VMK_SIMD_X86).
#if defined(__x86_64__)
#define VMK_SIMD_X86 1
#define VMK_TARGET_AVX2 __attribute__((target("avx2,fma,bmi,bmi2,popcnt")))
#define VMK_TARGET_AVX512 \
  __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma,bmi,bmi2,popcnt")))
#define VMK_TARGET_AVX512VBMI                                                   \
  __attribute__((                                                               \
      target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi,avx2,fma,bmi,bmi2," \
             "popcnt")))
#else
#define VMK_SIMD_X86 0
#endif
