#include "platform/random/random.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>
#include <utility>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace plat {

// The C library's srandom/random, reproduced so that many draws can be taken at once
// (a film grain draws three per pixel: 72 million for a 24-megapixel picture, where a
// call of random() each cost well over half a second) and out of order. It is the library's
// additive generator of degree 31: a table of 31 words seeded through the minimal standard
// generator, each draw the sum of the words 3 and 31 back, stored, less its lowest bit;
// 310 draws are thrown away after seeding. The same seed gives the library's numbers.

namespace {

constexpr int32_t kDegree = RandomRun::kDegree;
constexpr int32_t kLag = kDegree - RandomRun::kSeparation;  // the word 3 back, from the oldest

// line[31 + i] = line[i] + line[28 + i] and out[i] = that word >> 1 for i < m: the
// recurrence laid out oldest word first, so that it is a plain loop over one line.
void ExtendPlain(uint32_t* line, int32_t* out, int32_t m) {
  for (int32_t i = 0; i < m; ++i) {
    line[kDegree + i] = line[i] + line[kLag + i];
    out[i] = static_cast<int32_t>(line[kDegree + i] >> 1);
  }
}

#if VMK_SIMD_X86
// The wide form makes whole vectors of 8 consecutive draws. The words 31 back of a vector
// are all made already, so they come as one vector a; each word is then a plus the word 3
// back, which chains within the vector: word j is a[j] + a[j-3] + a[j-6] plus the one of the
// last three words of the vector before that its lane meets (j mod 3). The sums along the
// chains take two shifted adds, the last three words one permute. The words stay in
// registers, the last four vectors of them, so no load waits on a store still on its way.
// m is a multiple of 8; the line's last 31 words are written back.

VMK_TARGET_AVX2 void ExtendAvx2(uint32_t* line, int32_t* out, int32_t m) {
  alignas(32) uint32_t head[kDegree + 1];
  head[0] = 0;  // the word 32 back: never read
  std::memcpy(head + 1, line, sizeof(uint32_t) * kDegree);
  __m256i b4 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head));
  __m256i b3 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 8));
  __m256i b2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 16));
  __m256i b1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 24));
  const __m256i rotate = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 0);
  const __m256i up3 = _mm256_setr_epi32(0, 0, 0, 0, 1, 2, 3, 4);
  const __m256i up6 = _mm256_setr_epi32(0, 0, 0, 0, 0, 0, 0, 1);
  const __m256i last3 = _mm256_setr_epi32(5, 6, 7, 5, 6, 7, 5, 6);
  const __m256i zero = _mm256_setzero_si256();
  // Each vector's words moved down one lane: the words 31 back of the next vector are the
  // rotated vector four back but its last lane, which is the rotated one three back's.
  __m256i r4 = _mm256_permutevar8x32_epi32(b4, rotate);
  __m256i r3 = _mm256_permutevar8x32_epi32(b3, rotate);
  __m256i r2 = _mm256_permutevar8x32_epi32(b2, rotate);
  __m256i r1 = _mm256_permutevar8x32_epi32(b1, rotate);
  __m256i carry = _mm256_permutevar8x32_epi32(b1, last3);
  for (int32_t i = 0; i < m; i += 8) {
    const __m256i a = _mm256_blend_epi32(r4, r3, 0x80);
    __m256i p = _mm256_add_epi32(a, _mm256_blend_epi32(zero, _mm256_permutevar8x32_epi32(a, up3), 0xF8));
    p = _mm256_add_epi32(p, _mm256_blend_epi32(zero, _mm256_permutevar8x32_epi32(p, up6), 0xC0));
    const __m256i v = _mm256_add_epi32(p, carry);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_srli_epi32(v, 1));
    carry = _mm256_permutevar8x32_epi32(v, last3);
    b4 = b3;
    b3 = b2;
    b2 = b1;
    b1 = v;
    r4 = r3;
    r3 = r2;
    r2 = r1;
    r1 = _mm256_permutevar8x32_epi32(v, rotate);
  }
  if (m == 0) return;
  // The last 32 words made: the first of them 32 back, at line[m - 1].
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m - 1), b4);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 7), b3);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 15), b2);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 23), b1);
}


// The same 8 lanes with AVX-512's two-vector lane shift (valignd), which takes the words 31
// back and the chains' shifts in one instruction each where the 8-lane form needs a permute
// and a blend.
VMK_TARGET_AVX512 void ExtendAvx512(uint32_t* line, int32_t* out, int32_t m) {
  alignas(32) uint32_t head[kDegree + 1];
  head[0] = 0;  // the word 32 back: never read
  std::memcpy(head + 1, line, sizeof(uint32_t) * kDegree);
  __m256i b4 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head));
  __m256i b3 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 8));
  __m256i b2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 16));
  __m256i b1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 24));
  const __m256i last3 = _mm256_setr_epi32(5, 6, 7, 5, 6, 7, 5, 6);
  const __m256i zero = _mm256_setzero_si256();
  __m256i carry = _mm256_permutexvar_epi32(last3, b1);
  for (int32_t i = 0; i < m; i += 8) {
    const __m256i a = _mm256_alignr_epi32(b3, b4, 1);
    __m256i p = _mm256_add_epi32(a, _mm256_alignr_epi32(a, zero, 8 - 3));
    p = _mm256_add_epi32(p, _mm256_alignr_epi32(p, zero, 8 - 6));
    const __m256i v = _mm256_add_epi32(p, carry);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_srli_epi32(v, 1));
    carry = _mm256_permutexvar_epi32(last3, v);
    b4 = b3;
    b3 = b2;
    b2 = b1;
    b1 = v;
  }
  if (m == 0) return;
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m - 1), b4);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 7), b3);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 15), b2);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 23), b1);
}

// Two lines side by side in the same 8 lanes: each vector waits on the last (its carry), so a
// second line's vectors fill the time one line spends waiting. 72 million draws on one core
// of the shared 8-core build machine: 16 ms as one line, 9.4 ms as two halves side by side
// (7.7 ms as three thirds). AVX2's form of two lines, with its 16 registers, measured slower
// than one line at a time (22.5 against 20 ms): there the lines are filled one after the other.
struct Lanes8 {
  __m256i b4, b3, b2, b1, carry;
};

VMK_TARGET_AVX512 inline Lanes8 StartLanes(const uint32_t* line) {
  alignas(32) uint32_t head[kDegree + 1];
  head[0] = 0;  // the word 32 back: never read
  std::memcpy(head + 1, line, sizeof(uint32_t) * kDegree);
  Lanes8 s;
  s.b4 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head));
  s.b3 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 8));
  s.b2 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 16));
  s.b1 = _mm256_load_si256(reinterpret_cast<const __m256i*>(head + 24));
  s.carry = _mm256_permutexvar_epi32(_mm256_setr_epi32(5, 6, 7, 5, 6, 7, 5, 6), s.b1);
  return s;
}

VMK_TARGET_AVX512 inline void StepLanes(Lanes8& s, int32_t* out) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i a = _mm256_alignr_epi32(s.b3, s.b4, 1);
  __m256i p = _mm256_add_epi32(a, _mm256_alignr_epi32(a, zero, 8 - 3));
  p = _mm256_add_epi32(p, _mm256_alignr_epi32(p, zero, 8 - 6));
  const __m256i v = _mm256_add_epi32(p, s.carry);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_srli_epi32(v, 1));
  s.carry = _mm256_permutexvar_epi32(_mm256_setr_epi32(5, 6, 7, 5, 6, 7, 5, 6), v);
  s.b4 = s.b3;
  s.b3 = s.b2;
  s.b2 = s.b1;
  s.b1 = v;
}

VMK_TARGET_AVX512 inline void EndLanes(const Lanes8& s, uint32_t* line, int32_t m) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m - 1), s.b4);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 7), s.b3);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 15), s.b2);
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(line + m + 23), s.b1);
}

VMK_TARGET_AVX512 void ExtendTwoAvx512(uint32_t* line, int32_t* out, uint32_t* line2,
                                       int32_t* out2, int32_t m) {
  if (m == 0) return;
  Lanes8 s = StartLanes(line), t = StartLanes(line2);
  for (int32_t i = 0; i < m; i += 8) {
    StepLanes(s, out + i);
    StepLanes(t, out2 + i);
  }
  EndLanes(s, line, m);
  EndLanes(t, line2, m);
}
#endif

using ExtendFn = void (*)(uint32_t*, int32_t*, int32_t);
using ExtendTwoFn = void (*)(uint32_t*, int32_t*, uint32_t*, int32_t*, int32_t);

// The widest form the processor and the cap allow, with the width its draws come in.
ExtendFn PickExtend(int32_t* width) {
#if VMK_SIMD_X86
  // 72 million draws on one core of the 8-core build machine: 56 ms in the plain loop, 20 ms
  // in AVX2's 8 lanes, 17 ms with AVX-512's lane shifts on the same 8 lanes. A form on 16 lanes
  // (the words 31 back by one lane shift of two vectors, the chains by three) took 33 ms,
  // its 512-bit shifts and permutes being slower here than the 256-bit ones.
  if (SimdAtLeast(SimdLevel::kAvx512)) {
    *width = 8;
    return ExtendAvx512;
  }
  if (SimdAtLeast(SimdLevel::kAvx2)) {
    *width = 8;
    return ExtendAvx2;
  }
#endif
  *width = 1;
  return ExtendPlain;
}

// Polynomials below x^31 with coefficients mod 2^32, taken mod x^31 - x^28 - 1; a 32nd
// coefficient, always 0, makes every loop over them a whole number of vectors.
constexpr int32_t kTerms = 32;
struct Poly {
  uint32_t c[kTerms];
};

// x^d = x^(d-3) + x^(d-31) for d >= 31, from the top down so that each term lands below.
Poly Reduce(uint32_t (&wide)[2 * kTerms]) {
  for (int32_t d = 2 * kTerms - 1; d >= kDegree; --d) {
    wide[d - RandomRun::kSeparation] += wide[d];
    wide[d - kDegree] += wide[d];
  }
  Poly r;
  std::memcpy(r.c, wide, sizeof(uint32_t) * kDegree);
  r.c[kDegree] = 0;
  return r;
}

// The square in full rows of 32 products (a jump of 10^9 draws: about 15 us with the
// products of a triangle, one at a time; 4 us so).
Poly Square(const Poly& a) {
  uint32_t wide[2 * kTerms] = {};
  for (int32_t i = 0; i < kTerms; ++i) {
    const uint32_t ai = a.c[i];
    uint32_t* row = wide + i;
    for (int32_t j = 0; j < kTerms; ++j) row[j] += ai * a.c[j];
  }
  return Reduce(wide);
}

Poly TimesX(const Poly& a) {
  Poly r;
  const uint32_t top = a.c[kDegree - 1];
  r.c[0] = 0;
  for (int32_t k = 1; k < kDegree; ++k) r.c[k] = a.c[k - 1];
  r.c[kDegree] = 0;
  r.c[kLag] += top;
  r.c[0] += top;
  return r;
}

}  // namespace

RandomRun::RandomRun(uint32_t seed) {
  if (seed == 0) seed = 1;
  auto word = static_cast<int32_t>(seed);
  state_[0] = static_cast<uint32_t>(word);
  for (int32_t i = 1; i < kDegree; ++i) {
    const int64_t hi = word / 127773, lo = word % 127773;
    const int64_t next = 16807 * lo - 2836 * hi;
    word = static_cast<int32_t>(next);
    if (word < 0) word = static_cast<int32_t>(int64_t{word} + 2147483647);
    state_[i] = static_cast<uint32_t>(word);
  }
  // The library's first sum adds word 3 to word 0: word 3 is the oldest, 0..2 the newest.
  front_ = kSeparation;
  for (int32_t i = 0; i < 10 * kDegree; ++i) (void)Next();
}

int32_t RandomRun::Next() {
  const int32_t lag = front_ + kLag < kDegree ? front_ + kLag : front_ + kLag - kDegree;
  const uint32_t v = state_[front_] += state_[lag];
  front_ = front_ + 1 == kDegree ? 0 : front_ + 1;
  return static_cast<int32_t>(v >> 1);
}

void RandomRun::Words(uint32_t* words) const {
  std::memcpy(words, state_ + front_, sizeof(uint32_t) * static_cast<size_t>(kDegree - front_));
  std::memcpy(words + (kDegree - front_), state_, sizeof(uint32_t) * static_cast<size_t>(front_));
}

void RandomRun::Fill(int32_t* out, int64_t count) {
  constexpr int32_t kBlock = 4096;
  uint32_t line[kDegree + kBlock];
  int32_t width = 1;
  const ExtendFn wide = PickExtend(&width);
  while (count > 0) {
    const int32_t m = count < kBlock ? static_cast<int32_t>(count) : kBlock;
    Words(line);
    const int32_t inVectors = m - m % width;
    wide(line, out, inVectors);
    ExtendPlain(line + inVectors, out + inVectors, m - inVectors);
    std::memcpy(state_, line + m, sizeof state_);
    front_ = 0;
    out += m;
    count -= m;
  }
}

void RandomRun::FillTwo(int32_t* out, RandomRun& other, int32_t* otherOut, int64_t count) {
  ExtendTwoFn two = nullptr;
#if VMK_SIMD_X86
  if (SimdAtLeast(SimdLevel::kAvx512)) two = ExtendTwoAvx512;
#endif
  if (two == nullptr) {
    Fill(out, count);
    other.Fill(otherOut, count);
    return;
  }
  constexpr int32_t kBlock = 4096;
  uint32_t line[kDegree + kBlock], line2[kDegree + kBlock];
  while (count > 0) {
    const int32_t m = count < kBlock ? static_cast<int32_t>(count) : kBlock;
    Words(line);
    other.Words(line2);
    const int32_t inVectors = m - m % 8;
    two(line, out, line2, otherOut, inVectors);
    ExtendPlain(line + inVectors, out + inVectors, m - inVectors);
    ExtendPlain(line2 + inVectors, otherOut + inVectors, m - inVectors);
    std::memcpy(state_, line + m, sizeof state_);
    std::memcpy(other.state_, line2 + m, sizeof other.state_);
    front_ = 0;
    other.front_ = 0;
    out += m;
    otherOut += m;
    count -= m;
  }
}

void RandomRun::Skip(uint64_t n) {
  if (n == 0) return;
  // x^n by squaring from the top bit down, a product by x for each bit that is set.
  Poly q{};
  q.c[0] = 1;
  for (int32_t bit = 63 - __builtin_clzll(n); bit >= 0; --bit) {
    q = Square(q);
    if ((n >> bit) & 1) q = TimesX(q);
  }
  // The word t of the table n draws on is sum q_k r[k + t]: the table and the 30 words after it.
  uint32_t ext[2 * kDegree - 1];
  Words(ext);
  for (int32_t i = kDegree; i < 2 * kDegree - 1; ++i) ext[i] = ext[i - kDegree] + ext[i - RandomRun::kSeparation];
  for (int32_t t = 0; t < kDegree; ++t) {
    uint32_t sum = 0;
    for (int32_t k = 0; k < kDegree; ++k) sum += q.c[k] * ext[k + t];
    state_[t] = sum;
  }
  front_ = 0;
}

struct RenderRandomScope::Table {
  // The pool's threads of the render's loops draw from it as well as the render's own: a draw
  // never tears the table, as the process generator's lock keeps it whole.
  std::mutex lock;
  RandomRun run;
  bool moved = false;  // drawn from, seeded or jumped
};

namespace {

// One generator for the process, as the library's was; its lock keeps the draws of two
// threads from tearing its table, as the library's did. A render draws from a table of its
// own (RenderRandomScope).
std::mutex gLock;
RandomRun gRun;

thread_local RenderRandomScope::Table* tOwn = nullptr;

// f(table) on the calling thread's table under its lock: the render's own, else the process's.
template <typename F>
auto OnTable(bool moves, F&& f) {
  if (RenderRandomScope::Table* own = tOwn) {
    std::lock_guard<std::mutex> hold(own->lock);
    own->moved = own->moved || moves;
    return f(own->run);
  }
  std::lock_guard<std::mutex> hold(gLock);
  return f(gRun);
}

int32_t libcRandom() {
  return OnTable(true, [](RandomRun& run) { return run.Next(); });
}
void libcSeed(uint32_t seed) {
  OnTable(true, [seed](RandomRun& run) { run = RandomRun(seed); });
}
uint32_t clockSeed() { return static_cast<uint32_t>(std::time(nullptr)); }

RandomFunction gNext = libcRandom;
SeedFunction gSeed = libcSeed;
TimeSeedFunction gTimeSeed = clockSeed;

// The bands of a loop started in a render draw from the render's table on whichever of the
// pool's threads they run.
void* CurrentTable() { return tOwn; }
void* InstallTable(void* table) {
  return std::exchange(tOwn, static_cast<RenderRandomScope::Table*>(table));
}
[[maybe_unused]] const bool kCarriedIntoBands = (CarryIntoBands({&CurrentTable, &InstallTable}), true);

}  // namespace

int32_t Random() { return gNext(); }
void SeedRandom(uint32_t seed) { gSeed(seed); }
uint32_t TimeSeed() { return gTimeSeed(); }

void RandomDraws(int32_t* out, int64_t count) {
  if (gNext == libcRandom) {
    OnTable(true, [&](RandomRun& run) { run.Fill(out, count); });
    return;
  }
  for (int64_t i = 0; i < count; ++i) out[i] = gNext();
}

bool TakeRandomRun(RandomRun* run) {
  if (gNext != libcRandom) return false;
  OnTable(false, [run](RandomRun& table) { *run = table; });
  return true;
}

void SkipRandom(int64_t n) {
  if (n <= 0) return;
  if (gNext == libcRandom) {
    OnTable(true, [n](RandomRun& run) { run.Skip(static_cast<uint64_t>(n)); });
    return;
  }
  for (int64_t i = 0; i < n; ++i) (void)gNext();
}

RenderRandomScope::RenderRandomScope() {
  if (tOwn != nullptr) return;
  own_ = std::make_unique<Table>();
  {
    std::lock_guard<std::mutex> hold(gLock);
    own_->run = gRun;
  }
  tOwn = own_.get();
}

RenderRandomScope::~RenderRandomScope() {
  if (own_ == nullptr) return;
  tOwn = nullptr;
  // Where the render's draws stopped is where the next render's go on, as when they drew from
  // the process generator one after the other.
  if (!own_->moved) return;
  std::lock_guard<std::mutex> hold(gLock);
  gRun = own_->run;
}

void SetRandomFunctions(RandomFunction next, SeedFunction seed) {
  gNext = next ? next : libcRandom;
  gSeed = seed ? seed : libcSeed;
}

void SetTimeSeedFunction(TimeSeedFunction fn) { gTimeSeed = fn ? fn : clockSeed; }

}  // namespace plat
