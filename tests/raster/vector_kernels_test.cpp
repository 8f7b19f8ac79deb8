// The kernels with a vector form give, on every path this processor has and
// at one thread and at eight, exactly the samples of their plain forms; the
// fixed-point quotient of the 3 x 3 filters equals their float one wherever
// the vector form may use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/focus_filters.h"
#include "raster/rounded_quotient.h"
#include "raster/tone_lut.h"
#include "support/session.h"

namespace {

struct Size {
  int32_t w, h;
};
constexpr Size kSizes[] = {{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {19, 70}, {53, 9}};

// Every path the processor has, each at one thread and at eight.
template <typename Run>
void OnEveryPath(Run run) {
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  for (plat::SimdLevel level : levels)
    for (int threads : {1, 8}) {
      plat::SetSimdLevel(level);
      plat::SetThreadCount(threads);
      run(static_cast<int>(level), threads);
    }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  plat::SetThreadCount(0);
}

std::vector<uint8_t> Noise(Size s, uint32_t seed) {
  plat::SeedRandom(seed);
  std::vector<uint8_t> p(static_cast<size_t>(s.w) * s.h);
  // Runs of 0 and 255 now and then, so that the sums reach their extremes.
  for (auto& v : p) {
    const uint32_t r = static_cast<uint32_t>(plat::Random());
    v = static_cast<uint8_t>(r % 7 == 0 ? 0 : r % 7 == 1 ? 255 : (r >> 8) & 0xFF);
  }
  return p;
}

int32_t FloatQuotient(int32_t sum, int32_t divisor) {
  return static_cast<int32_t>(static_cast<float>(sum) / static_cast<float>(divisor) + 0.5f);
}

int64_t ExactQuotient(int64_t sum, int64_t divisor) { return (2 * sum + divisor) / (2 * divisor); }

// Both the float quotient and the fixed-point one are monotone in the sum
// (for a fixed divisor), so where they agree at both ends of a run of
// equal exact quotients they agree all along it. The runs cover every sum.
TEST(RoundedQuotient, EqualsTheFloatQuotientAtEverySumItIsUsedFor) {
  constexpr int32_t kLimit = RoundedQuotient::kSumLimit;
  int64_t checked = 0;
  for (int32_t d = -32768; d <= 32767; ++d) {
    if (d == 0) continue;
    const RoundedQuotient q(static_cast<int16_t>(d));
    for (int32_t s = -kLimit; s <= kLimit;) {
      // The last sum of the run that starts at s.
      const int64_t value = ExactQuotient(s, d);
      int32_t lo = s, hi = kLimit;
      while (lo < hi) {
        const int32_t mid = lo + (hi - lo + 1) / 2;
        if (ExactQuotient(mid, d) == value) lo = mid; else hi = mid - 1;
      }
      for (int32_t end : {s, lo}) {
        const int32_t want = FloatQuotient(end, d);
        if (q(end) != want) FAIL() << "sum " << end << " divisor " << d << ": " << q(end)
                                   << " against " << want;
      }
      checked += 2;
      s = lo + 1;
    }
  }
  EXPECT_GT(checked, 1000000);
}

TEST(RoundedQuotient, EverySumOfTheSmallDivisors) {
  for (int32_t d = -40; d <= 40; ++d) {
    if (d == 0) continue;
    const RoundedQuotient q(static_cast<int16_t>(d));
    for (int32_t s = -RoundedQuotient::kSumLimit; s <= RoundedQuotient::kSumLimit; ++s)
      if (q(s) != FloatQuotient(s, d)) FAIL() << "sum " << s << " divisor " << d;
  }
}

struct ChCase {
  std::array<int32_t, 9> k;
  int16_t divisor;
  int16_t bias;
  int32_t strength;
};

class VectorKernels : public vmktest::SessionTest {};

TEST_F(VectorKernels, Convolution3x3AgainstTheOneSampleFormOnEveryPath) {
  std::vector<ChCase> cases;
  for (int16_t amount : {150, 724, 900}) {
    ChCase c{{}, 0, 0, 4096};
    Load_matrix(0, amount, c.k.data(), &c.divisor);
    cases.push_back(c);
  }
  cases.push_back({{-2, -4, -2, -4, 49, -4, -2, -4, -2}, 25, -7, 2048});
  cases.push_back({{1, 2, 1, 2, 4, 2, 1, 2, 1}, -3, 5, 4096});              // negative divisor
  cases.push_back({{-30, 0, -1, -2, 200, -3, -1, 0, -40}, 7, 0, 5000});     // beyond full strength
  cases.push_back({{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9, 3, -300});
  cases.push_back({{400, 2, 1, 2, 400, 2, 1, 2, 1}, 811, 0, 4096});         // sums past 16 bits
  cases.push_back({{-1, -1, -1, -1, 8, -1, -1, -1, -1}, 32767, 300, 4096});
  for (const ChCase& c : cases)
    for (Size s : kSizes) {
      const std::vector<uint8_t> orig = Noise(s, static_cast<uint32_t>(s.w * 7 + s.h));
      const std::array<std::array<int32_t, 4>, 3> rects = {
          {{0, 0, s.w - 1, s.h - 1}, {2, s.h / 3, s.w - 3, s.h - 2}, {-5, 1, s.w + 9, 1}}};
      for (const auto& r : rects) {
        std::vector<uint8_t> want = orig;
        for (int32_t y = std::max(r[1], 1); y <= std::min(r[3], s.h - 2); ++y)
          for (int32_t x = std::max(r[0], 1); x <= std::min(r[2], s.w - 2); ++x)
            Calc_Chmatrix(&want[y * s.w + x], &orig[y * s.w + x], s.w, c.bias, c.divisor,
                          c.k.data(), 4096 - c.strength, c.strength);
        OnEveryPath([&](int level, int threads) {
          std::vector<uint8_t> p = orig;
          (void)X_Mat_Chbuf(s.w, s.h, p.data(), r[0], r[1], r[2], r[3], c.bias, c.divisor,
                            c.k.data(), c.strength);
          ASSERT_EQ(p, want) << s.w << "x" << s.h << " kernel centre " << c.k[4] << " level "
                             << level << " threads " << threads << " rect " << r[0] << ","
                             << r[1];
        });
      }
    }
}

// The Gaussian (and its derivative) along rows and down columns of a byte
// plane written back in place, against the taps summed one by one.
TEST_F(VectorKernels, FilterOfBytesAgainstTapByTapSumsOnEveryPath) {
  struct Case {
    int size, order;
    float sigma, gain;
    int offset;
  };
  // Fewer taps than the vector forms sum outputs at once (3, 4, 5, 7), an
  // even count, and more than a strip's worth of rows above and below.
  const Case cases[] = {{31, 0, 5.0f, 1.0f, 0},  {7, 1, 1.5f, 3.0f, 128}, {5, 2, 1.0f, -2.5f, 40},
                        {3, 0, 0.8f, 1.0f, 0},   {4, 1, 1.0f, 40.0f, 100}, {40, 0, 7.0f, 1.25f, 3}};
  for (const Case& c : cases) {
    Filter f;
    ASSERT_EQ(f.MakeDogFilter(c.size, c.order, c.sigma), 1);
    const int32_t n = f.size, half = (n - 1) / 2;
    // Besides the odd sizes: several strips of columns and bands of rows
    // (each band reading rows its neighbours write), a short last group of
    // rows.
    for (Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 2049}, Size{40, 37},
                   Size{203, 45}, Size{517, 301}})
      for (int direction : {0, 1}) {
        const std::vector<uint8_t> orig = Noise(s, static_cast<uint32_t>(s.w * n + direction));
        std::vector<float> sums(orig.size(), 0.0f);
        const int32_t across = direction == 0 ? s.w - n : s.w;
        const int32_t down = direction == 0 ? s.h : s.h - n;
        const int64_t step = direction == 0 ? 1 : s.w;
        for (int32_t y = 0; y < down; ++y)
          for (int32_t x = 0; x < across; ++x) {
            float acc = 0.0f;
            for (int32_t j = 0; j < n; ++j)
              acc = std::fma(static_cast<float>(orig[y * s.w + x + j * step]), f.kernel[j], acc);
            const int64_t at = direction == 0 ? y * s.w + x + half : (y + half) * s.w + x;
            sums[at] = acc;
          }
        std::vector<uint8_t> want(orig.size());
        for (size_t i = 0; i < want.size(); ++i) {
          const float v = c.gain * sums[i] + static_cast<float>(c.offset);
          want[i] = v > 254.0f ? 255 : (v < 1.0f ? 0 : static_cast<uint8_t>(v));
        }
        OnEveryPath([&](int level, int threads) {
          std::vector<uint8_t> p = orig;
          ASSERT_EQ(f.ConvCharBuf(p.data(), nullptr, s.w, s.h, direction, c.gain, c.offset), 1);
          EXPECT_EQ(p, want) << s.w << "x" << s.h << " taps " << n << " direction " << direction
                             << " level " << level << " threads " << threads;
        });
      }
  }
}

// Refused the work memory of its vector passes, the filter in place takes
// its plain form to the same samples; with no memory at all it says so and
// leaves the plane as it was.
TEST_F(VectorKernels, FilterOfBytesWithoutWorkMemory) {
  Filter f;
  ASSERT_EQ(f.MakeDogFilter(9, 0, 2.0f), 1);
  const Size s{203, 45};
  const std::vector<uint8_t> orig = Noise(s, 77);
  for (int direction : {0, 1}) {
    plat::SetSimdLevel(plat::SimdLevel::kBaseline);
    std::vector<uint8_t> want = orig;
    ASSERT_EQ(f.ConvCharBuf(want.data(), nullptr, s.w, s.h, direction, 1.5f, 2), 1);
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    OnEveryPath([&](int level, int threads) {
      std::vector<uint8_t> p = orig;
      plat::FailNthAllocation(0);
      const int done = f.ConvCharBuf(p.data(), nullptr, s.w, s.h, direction, 1.5f, 2);
      plat::FailNthAllocation(-1);
      // On the plain path the refused block was the plain form's own.
      EXPECT_EQ(done, level == 0 ? 0 : 1)
          << direction << " level " << level << " threads " << threads;
      EXPECT_EQ(p, level == 0 ? orig : want)
          << direction << " level " << level << " threads " << threads;
      vmktest::NoWorkMemory none;
      p = orig;
      EXPECT_EQ(f.ConvCharBuf(p.data(), nullptr, s.w, s.h, direction, 1.5f, 2), 0);
      EXPECT_EQ(p, orig) << direction << " level " << level << " threads " << threads;
    });
  }
}

// The general convolution without a mask: the quotient of every sample,
// stored eight at a time on the wide path, against the sums written out.
TEST_F(VectorKernels, MaskFreeConvolutionAgainstWrittenOutSumsOnEveryPath) {
  struct Case {
    int32_t radius, samples;
    float divisor;
    int32_t centre;
  };
  // Centres past sixteen bits; then sums that fit sixteen-bit lanes, 232 and
  // -232 with every sum exactly 65535 apart at most (the other weights of
  // 3 x 3 add up to 25 in size), 233 just past it.
  const Case cases[] = {{1, 1, 9.0f, 70000}, {2, 3, -3.5f, 70000}, {1, 4, 0.0f, 70000},
                        {1, 1, 7.25f, 70000}, {1, 1, 25.0f, 49},   {1, 3, 9.0f, 232},
                        {1, 1, -30.0f, -232}, {1, 1, 11.0f, 233},  {1, 4, 0.0f, 232},
                        {2, 1, 32.0f, 8},     {2, 3, 5.5f, -20}};
  const unsigned char offsets[4] = {0, 17, 200, 3};
  for (const Case& c : cases) {
    const int32_t side = 2 * c.radius + 1;
    std::vector<int32_t> k(static_cast<size_t>(side) * side);
    for (size_t i = 0; i < k.size(); ++i) k[i] = static_cast<int32_t>(i * 7 % 11) - 3;
    k[k.size() / 2] = c.centre;  // only its low sixteen bits weigh
    for (Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 2049}, Size{31, 9}}) {
      const Size wide{s.w * c.samples, s.h};
      const std::vector<uint8_t> orig = Noise(wide, static_cast<uint32_t>(s.w + c.samples));
      const int32_t l = s.w > 4 ? 2 : 0, t = s.h > 4 ? 1 : 0, r = s.w - 1, b = s.h - 1;
      std::vector<uint8_t> want = orig;
      for (int32_t y = t; y <= b; ++y)
        for (int32_t x = l; x <= r; ++x)
          for (int32_t ch = 0; ch < c.samples; ++ch) {
            int32_t sum = 0;
            for (int32_t dy = -c.radius; dy <= c.radius; ++dy)
              for (int32_t dx = -c.radius; dx <= c.radius; ++dx) {
                const int32_t yy = std::clamp(y + dy, t, b), xx = std::clamp(x + dx, l, r);
                sum += static_cast<int16_t>(k[(dy + c.radius) * side + dx + c.radius]) *
                       orig[(yy * s.w + xx) * c.samples + ch];
              }
            const float f = static_cast<float>(sum) / c.divisor + static_cast<float>(offsets[ch]);
            want[(y * s.w + x) * c.samples + ch] =
                static_cast<uint8_t>(!(f > 0.0f) ? 0 : (f >= 255.0f ? 255 : static_cast<int32_t>(f)));
          }
      OnEveryPath([&](int level, int threads) {
        std::vector<uint8_t> p = orig;
        ASSERT_EQ(ApplyMatrix(p.data(), nullptr, 1, 1, s.w, s.h, l, r, t, b, c.radius, c.samples,
                              offsets, c.divisor, k.data()), 0);
        EXPECT_EQ(p, want) << s.w << "x" << s.h << " samples " << c.samples << " divisor "
                           << c.divisor << " centre " << c.centre << " level " << level << " threads " << threads;
      });
    }
  }
}

}  // namespace

namespace {

// The 3 x 3 median on every path against the exchange network of nine,
// whole planes and an inner rectangle.
TEST_F(VectorKernels, MedianAgainstTheNineSampleNetworkOnEveryPath) {
  for (Size s : kSizes) {
    const std::vector<uint8_t> orig = Noise(s, static_cast<uint32_t>(s.w * 13 + s.h));
    for (const std::array<int32_t, 4> r : {std::array<int32_t, 4>{0, 0, s.w - 1, s.h - 1},
                                           std::array<int32_t, 4>{3, 1, s.w - 2, s.h - 3}}) {
      std::vector<uint8_t> want = orig;
      for (int32_t y = std::max(r[1], 1); y <= std::min(r[3], s.h - 2); ++y)
        for (int32_t x = std::max(r[0], 1); x <= std::min(r[2], s.w - 2); ++x)
          Calc_median(&want[static_cast<size_t>(y) * s.w + x], &orig[static_cast<size_t>(y) * s.w + x], s.w, 0);
      OnEveryPath([&](int level, int threads) {
        std::vector<uint8_t> p = orig;
        (void)X_median_buf(s.w, s.h, p.data(), r[0], r[1], r[2], r[3], 0);
        ASSERT_EQ(p, want) << s.w << "x" << s.h << " level " << level << " at " << threads;
      });
    }
  }
}

}  // namespace

namespace {

// Byte tables on every path: runs of every length around the 64-byte
// steps, in place and apart, against the table read byte by byte; then
// four-byte pixels with a table per byte (one of them the identity a
// missing table gives), through X_lut_buffer on whole and part rows.
TEST_F(VectorKernels, ByteTablesAgainstTheTableReadByteByByteOnEveryPath) {
  plat::SeedRandom(4242);
  std::vector<unsigned char> tables(4 * 256);
  for (auto& t : tables) t = static_cast<unsigned char>(plat::Random() >> 4);
  for (int64_t n : {0, 1, 63, 64, 65, 127, 200, 4099}) {
    const std::vector<uint8_t> src =
        Noise({static_cast<int32_t>(std::max<int64_t>(n, 1)), 1}, static_cast<uint32_t>(n + 5));
    std::vector<uint8_t> want(src.begin(), src.begin() + n);
    for (auto& v : want) v = tables[v];
    OnEveryPath([&](int level, int threads) {
      std::vector<uint8_t> apart(static_cast<size_t>(n) + 64, 0xCD);
      LookUpRun(tables.data(), src.data(), apart.data(), n);
      EXPECT_TRUE(std::equal(want.begin(), want.end(), apart.begin())) << n << " level " << level;
      EXPECT_EQ(std::count(apart.begin() + n, apart.end(), 0xCD), 64) << "wrote past the run";
      std::vector<uint8_t> inPlace(src.begin(), src.begin() + n);
      LookUpRun(tables.data(), inPlace.data(), inPlace.data(), n);
      EXPECT_EQ(inPlace, want) << n << " level " << level << " at " << threads;
    });
  }
  int16_t lut[3][256];
  for (int k = 0; k < 3; ++k)
    for (int v = 0; v < 256; ++v)
      lut[k][v] = static_cast<int16_t>(tables[k * 256 + v] + (k == 1 ? 256 : 0));
  for (Size s : kSizes) {
    const std::vector<uint8_t> bytes = Noise({s.w * 4, s.h}, static_cast<uint32_t>(s.w * 3 + s.h));
    std::vector<uint32_t> src(static_cast<size_t>(s.w) * s.h);
    std::memcpy(src.data(), bytes.data(), src.size() * 4);
    for (const std::array<int32_t, 4> r :
         {std::array<int32_t, 4>{0, 0, s.w, s.h}, std::array<int32_t, 4>{1, 1, s.w - 1, s.h}}) {
      std::vector<uint32_t> want = src;
      for (int32_t y = r[1]; y < r[3]; ++y)
        for (int32_t x = r[0]; x < r[2]; ++x) {
          unsigned char* p =
              reinterpret_cast<unsigned char*>(&want[static_cast<size_t>(y) * s.w + x]);
          for (int k = 0; k < 3; ++k) p[k] = static_cast<unsigned char>(lut[k][p[k]] & 0xFF);
        }
      OnEveryPath([&](int level, int threads) {
        std::vector<uint32_t> dst = src;
        X_lut_buffer(s.h, s.w, src.data(), dst.data(), r[0], r[1], r[2], r[3], nullptr, 100, lut[0],
                     lut[1], lut[2], nullptr);
        EXPECT_EQ(dst, want) << s.w << "x" << s.h << " level " << level << " at " << threads;
        std::vector<uint32_t> same = src;
        X_lut_buffer(s.h, s.w, same.data(), same.data(), r[0], r[1], r[2], r[3], nullptr, 100,
                     lut[0], lut[1], lut[2], nullptr);
        EXPECT_EQ(same, want) << "in place, " << s.w << "x" << s.h << " level " << level;
      });
    }
  }
}

}  // namespace

namespace {

// The relief's filter, one tap of +1 and one of -1: on the vector paths a divisor of 1 and one
// whole offset go straight from the rows to the samples, with and without a mask, against the
// differences written out (a divisor of 1.5 stays on the general path and is held to them too).
TEST_F(VectorKernels, TwoTapReliefAgainstWrittenOutDifferencesOnEveryPath) {
  struct Case {
    int32_t radius, samples;
    int32_t px, py, mx, my;  // the +1 and the -1 tap
    float divisor;
    unsigned char offset;
  };
  const Case cases[] = {{1, 1, 1, -1, -1, 1, 1.0f, 128},  {1, 1, -1, 0, 1, 0, 1.0f, 0},
                        {1, 3, 0, 1, 0, -1, 1.0f, 255},   {3, 1, 3, -2, -3, 2, 1.0f, 128},
                        {2, 1, -2, -2, 2, 2, 1.0f, 77},   {1, 1, 1, 1, -1, -1, 1.5f, 128},
                        {1, 1, 0, -1, 1, 1, 1.0f, 128}};
  for (const Case& c : cases) {
    const int32_t side = 2 * c.radius + 1;
    std::vector<int32_t> k(static_cast<size_t>(side) * side, 0);
    k[(c.py + c.radius) * side + c.px + c.radius] = 1;
    k[(c.my + c.radius) * side + c.mx + c.radius] = -1;
    unsigned char offsets[9];
    std::memset(offsets, c.offset, sizeof offsets);
    for (Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 2049}, Size{130, 70}}) {
      const Size wide{s.w * c.samples, s.h};
      const std::vector<uint8_t> orig = Noise(wide, static_cast<uint32_t>(s.w * 3 + c.radius));
      const std::vector<uint8_t> mask = Noise(s, static_cast<uint32_t>(s.h * 5 + 1));
      for (const bool masked : {false, true}) {
        for (const bool inner : {false, true}) {
          const int32_t l = inner && s.w > 4 ? 2 : 0, t = inner && s.h > 4 ? 1 : 0;
          const int32_t r = inner && s.w > 4 ? s.w - 2 : s.w - 1, b = s.h - 1;
          std::vector<uint8_t> want = orig;
          for (int32_t y = t; y <= b; ++y)
            for (int32_t x = l; x <= r; ++x)
              for (int32_t ch = 0; ch < c.samples; ++ch) {
                auto at = [&](int32_t dx, int32_t dy) {
                  const int32_t yy = std::clamp(y + dy, t, b), xx = std::clamp(x + dx, l, r);
                  return static_cast<int32_t>(orig[(yy * s.w + xx) * c.samples + ch]);
                };
                const float f = static_cast<float>(at(c.px, c.py) - at(c.mx, c.my)) / c.divisor +
                                static_cast<float>(c.offset);
                int32_t v = !(f > 0.0f) ? 0 : (f >= 255.0f ? 255 : static_cast<int32_t>(f));
                const size_t i = static_cast<size_t>(y * s.w + x) * c.samples + ch;
                if (masked) {
                  const int32_t m = mask[static_cast<size_t>(y) * s.w + x];
                  v = (v * m + (255 - m) * orig[i]) / 255;
                }
                want[i] = static_cast<uint8_t>(v);
              }
          std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kBaseline};
          if (plat::SimdSupported() >= plat::SimdLevel::kAvx2) levels.push_back(plat::SimdLevel::kAvx2);
          if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
          for (plat::SimdLevel level : levels)
            for (int threads : {1, 3, 8}) {
              plat::SetSimdLevel(level);
              plat::SetThreadCount(threads);
              std::vector<uint8_t> p = orig;
              ASSERT_EQ(ApplyMatrix(p.data(), masked ? mask.data() : nullptr, 1, 1, s.w, s.h, l, r,
                                    t, b, c.radius, c.samples, offsets, c.divisor, k.data()),
                        0);
              EXPECT_EQ(p, want) << s.w << "x" << s.h << " radius " << c.radius << " samples "
                                 << c.samples << " taps " << c.px << "," << c.py << " " << c.mx
                                 << "," << c.my << " divisor " << c.divisor << " mask " << masked
                                 << " inner " << inner << " level " << static_cast<int>(level)
                                 << " threads " << threads;
            }
          plat::SetSimdLevel(plat::SimdLevel::kAvx512);
          plat::SetThreadCount(0);
        }
      }
    }
  }
}

}  // namespace
