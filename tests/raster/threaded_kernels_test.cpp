// The raster kernels that run their rows on the shared threads give, at one
// thread and at eight, exactly the samples of their one-sample references.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "raster/convolution.h"
#include "raster/focus_filters.h"
#include "raster/tone_lut.h"
#include "support/session.h"

namespace {

struct Size {
  int32_t w, h;
};
// Odd sizes, and tall ones whose rows fall into many bands.
constexpr Size kSizes[] = {{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {19, 70}, {3, 3}};
constexpr int kCounts[] = {1, 3, 8};

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

template <typename T>
std::vector<T> Noise(Size s, uint32_t seed, uint32_t range) {
  plat::SeedRandom(seed);
  std::vector<T> p(static_cast<size_t>(s.w) * s.h);
  for (auto& v : p) v = static_cast<T>(static_cast<uint32_t>(plat::Random()) % range);
  return p;
}

// Whole-plane rectangle and one inside it; the kernels clamp both to the
// plane less its border.
std::array<std::array<int32_t, 4>, 2> Rects(Size s) {
  return {{{0, 0, s.w - 1, s.h - 1}, {2, s.h / 3, s.w - 3, s.h - 2}}};
}

// The plane as the one-sample function computes it from the unfiltered one.
template <typename T, typename One>
std::vector<T> Reference(const std::vector<T>& orig, Size s, std::array<int32_t, 4> r, One one) {
  std::vector<T> out = orig;
  for (int32_t y = std::max(r[1], 1); y <= std::min(r[3], s.h - 2); ++y)
    for (int32_t x = std::max(r[0], 1); x <= std::min(r[2], s.w - 2); ++x)
      one(&out[y * s.w + x], &orig[y * s.w + x], s.w);
  return out;
}

template <typename T, typename Run, typename One>
void CheckAtEveryCount(uint32_t range, Run run, One one) {
  for (Size s : kSizes)
    for (const auto& r : Rects(s)) {
      const std::vector<T> orig = Noise<T>(s, static_cast<uint32_t>(s.w * 31 + s.h), range);
      const std::vector<T> expect = Reference(orig, s, r, one);
      for (int n : kCounts) {
        const Threads t(n);
        std::vector<T> p = orig;
        run(p.data(), s, r);
        ASSERT_EQ(p, expect) << s.w << "x" << s.h << " from " << r[0] << "," << r[1] << " at "
                             << n << " threads";
      }
    }
}

class ThreadedKernels : public vmktest::SessionTest {};

TEST_F(ThreadedKernels, Convolution3x3) {
  int32_t k[9];
  int16_t div = 0;
  Load_matrix(0, 150, k, &div);
  CheckAtEveryCount<uint8_t>(
      256,
      [&](uint8_t* p, Size s, std::array<int32_t, 4> r) {
        (void)X_Mat_Chbuf(s.w, s.h, p, r[0], r[1], r[2], r[3], 3, div, k, 3000);
      },
      [&](uint8_t* out, const uint8_t* c, int32_t row) {
        Calc_Chmatrix(out, c, row, 3, div, k, 4096 - 3000, 3000);
      });
}

// Kernels of every sign, divisors either way, biases and strengths beyond
// the full weight, and one kernel too heavy for 32-bit intermediates: each
// sample as the one-sample function gives it.
TEST_F(ThreadedKernels, Convolution3x3EveryKernelShape) {
  plat::SeedRandom(77);
  struct Setting {
    int16_t divisor, bias;
    int32_t strength, scale;
  };
  for (const Setting& st : {Setting{7, 0, 4096, 20}, Setting{-3, -5, 3000, 20}, Setting{16, 9, 6000, 20},
                            Setting{1, 2, -500, 3}, Setting{5, 0, 4096, 40000}}) {
    int32_t k[9];
    for (auto& v : k) v = static_cast<int32_t>(plat::Random() % (2 * st.scale + 1)) - st.scale;
    CheckAtEveryCount<uint8_t>(
        256,
        [&](uint8_t* p, Size s, std::array<int32_t, 4> r) {
          (void)X_Mat_Chbuf(s.w, s.h, p, r[0], r[1], r[2], r[3], st.bias, st.divisor, k, st.strength);
        },
        [&](uint8_t* out, const uint8_t* c, int32_t row) {
          Calc_Chmatrix(out, c, row, st.bias, st.divisor, k, 4096 - st.strength, st.strength);
        });
  }
}

TEST_F(ThreadedKernels, WideConvolution3x3) {
  const int32_t k[9] = {1, -2, 3, 4, 9, -5, 2, 1, 7};
  CheckAtEveryCount<uint32_t>(
      1u << 20,
      [&](uint32_t* p, Size s, std::array<int32_t, 4> r) {
        (void)X_Mat_Lnbuf(s.w, s.h, p, r[0], r[1], r[2], r[3], -2, 7, k, 2500);
      },
      [&](uint32_t* out, const uint32_t* c, int32_t row) {
        Calc_Lnmatrix(out, c, row, -2, 7, k, 4096 - 2500, 2500);
      });
}

TEST_F(ThreadedKernels, Median3x3) {
  CheckAtEveryCount<uint8_t>(
      256,
      [&](uint8_t* p, Size s, std::array<int32_t, 4> r) {
        (void)X_median_buf(s.w, s.h, p, r[0], r[1], r[2], r[3], 0);
      },
      [&](uint8_t* out, const uint8_t* c, int32_t row) { Calc_median(out, c, row, 0); });
}

TEST_F(ThreadedKernels, LookUpTablesWithAndWithoutMask) {
  int16_t luts[3][256];
  for (int k = 0; k < 3; ++k)
    for (int i = 0; i < 256; ++i) luts[k][i] = static_cast<int16_t>((i * (k + 3) + 7 * k) % 300 - 20);
  for (Size s : kSizes)
    for (bool masked : {false, true}) {
      const std::vector<uint32_t> src = Noise<uint32_t>(s, 11, 0xFFFFFFFFu);
      std::vector<int16_t> mask = Noise<int16_t>(s, 12, 8193);
      const int16_t* m = masked ? mask.data() : nullptr;
      const int32_t left = s.w / 4, top = s.h / 3, right = s.w, bottom = s.h;
      std::vector<uint32_t> expect = src;
      for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x) {
          const size_t i = static_cast<size_t>(y) * s.w + x;
          uint8_t b[4];
          std::memcpy(b, &src[i], 4);
          for (int k = 0; k < 4; ++k) {
            const int32_t t = k == 3 ? b[k] : luts[k][b[k]];
            if (!masked) {
              b[k] = static_cast<uint8_t>(t & 0xFF);
            } else {
              const int32_t v = (t * (8192 - mask[i]) + b[k] * mask[i]) >> 13;
              b[k] = static_cast<uint8_t>(std::clamp(v, 0, 255));
            }
          }
          std::memcpy(&expect[i], b, 4);
        }
      for (int n : kCounts) {
        const Threads t(n);
        std::vector<uint32_t> dst(src.size(), 0), inPlace = src;
        for (size_t i = 0; i < dst.size(); ++i) dst[i] = src[i];
        X_lut_buffer(s.h, s.w, src.data(), dst.data(), left, top, right, bottom, m, 0, luts[0],
                     luts[1], luts[2], nullptr);
        X_lut_buffer(s.h, s.w, inPlace.data(), inPlace.data(), left, top, right, bottom, m, 0,
                     luts[0], luts[1], luts[2], nullptr);
        ASSERT_EQ(dst, expect) << s.w << "x" << s.h << " at " << n;
        ASSERT_EQ(inPlace, expect) << s.w << "x" << s.h << " at " << n;
      }
    }
}

}  // namespace

namespace {

// The separable pass as plain loops: outputs whose window stays inside the
// plane, each one sum of fused multiply-adds in tap order; the rest 0.
std::vector<float> PlainPass(const std::vector<float>& src, Size s, int direction, const Filter& f) {
  std::vector<float> out(src.size(), 0.0f);
  const int32_t n = f.size, half = (n - 1) / 2;
  for (int32_t y = 0; y < s.h; ++y)
    for (int32_t x = 0; x < s.w; ++x) {
      const bool inside = direction == 0 ? x < s.w - n : y < s.h - n;
      if (!inside) continue;
      float acc = 0.0f;
      for (int32_t j = 0; j < n; ++j) {
        const size_t at = direction == 0 ? static_cast<size_t>(y) * s.w + x + j
                                         : static_cast<size_t>(y + j) * s.w + x;
        acc = std::fma(src[at], f.kernel[j], acc);
      }
      out[direction == 0 ? static_cast<size_t>(y) * s.w + x + half
                         : static_cast<size_t>(y + half) * s.w + x] = acc;
    }
  return out;
}

}  // namespace

TEST_F(ThreadedKernels, SeparableFilterPasses) {
  Filter f;
  ASSERT_EQ(f.MakeDogFilter(7, 2, 1.5f), 1);
  // The last two fall into several bands.
  constexpr Size kWide[] = {{1, 1}, {17, 3}, {2049, 5}, {5, 70}, {2049, 45}, {300, 200}};
  for (Size s : kWide)
    for (int direction : {0, 1}) {
      const std::vector<uint8_t> orig = Noise<uint8_t>(s, static_cast<uint32_t>(s.w + 7 * s.h), 256);
      const std::vector<float> wide(orig.begin(), orig.end());
      const std::vector<float> expect = PlainPass(wide, s, direction, f);
      std::vector<uint8_t> expect8(orig.size());
      for (size_t i = 0; i < orig.size(); ++i) {
        const float v = 1.25f * expect[i] + 3.0f;
        expect8[i] = v > 254.0f ? 255 : (v < 1.0f ? 0 : static_cast<uint8_t>(v));
      }
      for (int n : {1, 3, 8}) {
        const Threads t(n);
        std::vector<float> out(orig.size(), 9.0f), inPlace = wide;
        std::vector<uint8_t> p = orig, src = orig;
        ASSERT_EQ(f.ConvCharBuf(src.data(), out.data(), s.w, s.h, direction, 1.0f, 0), 1);
        EXPECT_EQ(std::memcmp(out.data(), expect.data(), out.size() * sizeof(float)), 0)
            << s.w << "x" << s.h << " direction " << direction << " at " << n;
        ASSERT_EQ(f.ConvCharBuf(p.data(), nullptr, s.w, s.h, direction, 1.25f, 3), 1);
        EXPECT_EQ(p, expect8) << s.w << "x" << s.h << " in place, at " << n;
        ASSERT_EQ(f.ConvCharBuf(inPlace.data(), inPlace.data(), s.w, s.h, direction), 1);
        EXPECT_EQ(std::memcmp(inPlace.data(), expect.data(), out.size() * sizeof(float)), 0);
      }
    }
}
