#include "platform/parallel/simd.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace plat {
namespace {

constexpr int32_t kNoCap = static_cast<int32_t>(SimdLevel::kAvx512);
std::atomic<int32_t> g_cap{kNoCap};

SimdLevel Detect() {
#if VMK_SIMD_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    return SimdLevel::kAvx512;
  }
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SimdLevel::kAvx2;
#endif
  return SimdLevel::kBaseline;
}

int32_t EnvCap() {
  const char* env = std::getenv("VMK_SIMD");
  if (env == nullptr) return kNoCap;
  if (std::strcmp(env, "baseline") == 0) return static_cast<int32_t>(SimdLevel::kBaseline);
  if (std::strcmp(env, "avx2") == 0) return static_cast<int32_t>(SimdLevel::kAvx2);
  return kNoCap;
}

}  // namespace

SimdLevel SimdSupported() {
  static const SimdLevel level = Detect();
  return level;
}

SimdLevel ActiveSimd() {
  static const int32_t env = EnvCap();
  const int32_t level = std::min({static_cast<int32_t>(SimdSupported()), env,
                                  g_cap.load(std::memory_order_relaxed)});
  return static_cast<SimdLevel>(level);
}

bool SimdHasByteVbmi() {
#if VMK_SIMD_X86
  // SimdSupported first: it readies the processor's feature words.
  static const bool vbmi =
      SimdSupported() == SimdLevel::kAvx512 && __builtin_cpu_supports("avx512vbmi") != 0;
  return vbmi && SimdAtLeast(SimdLevel::kAvx512);
#else
  return false;
#endif
}

void SetSimdLevel(SimdLevel cap) {
  g_cap.store(std::clamp(static_cast<int32_t>(cap), 0, kNoCap), std::memory_order_relaxed);
}

}  // namespace plat
