#include "platform/parallel/byte_passes.h"
#include "platform/parallel/simd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

std::vector<uint8_t> Pattern(int64_t n, uint32_t seed) {
  std::vector<uint8_t> v(static_cast<size_t>(n));
  for (int64_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(((i + seed) * 2654435761u) >> 24);
  return v;
}

// Lengths around the run size and a plane of several runs with a ragged end; each pass
// writes exactly [0, n) with the plain loop's bytes and leaves the guard bytes after it.
TEST(BytePasses, EqualThePlainLoopsAtAnyCountAndWriteNothingBeyond) {
  const int64_t run = plat::kBytePassRun;
  for (int threads : {1, 3, 8}) {
    const Threads t(threads);
    for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{17 * 3}, run - 1, run, run + 1,
                      5 * run + 12345}) {
      const std::vector<uint8_t> src = Pattern(n + 8, 7);
      std::vector<uint8_t> fill(n + 8, 3), copy(n + 8, 3), comp(n + 8, 3), inPlace = src;
      plat::FillBytes(fill.data(), n, 201);
      plat::CopyBytes(copy.data(), src.data(), n);
      plat::ComplementBytes(comp.data(), src.data(), n);
      plat::ComplementBytes(inPlace.data(), inPlace.data(), n);
      for (int64_t i = 0; i < n + 8; ++i) {
        const bool in = i < n;
        ASSERT_EQ(fill[i], in ? 201 : 3) << threads << " " << n << " " << i;
        ASSERT_EQ(copy[i], in ? src[i] : 3) << threads << " " << n << " " << i;
        ASSERT_EQ(comp[i], in ? 255 - src[i] : 3) << threads << " " << n << " " << i;
        ASSERT_EQ(inPlace[i], in ? 255 - src[i] : src[i]) << threads << " " << n << " " << i;
      }
    }
  }
}

// The runs are the same whatever the thread count, and cover the range once.
TEST(BytePasses, RunsAreFixedByTheLength) {
  const int64_t run = plat::kBytePassRun;
  const int64_t n = 3 * run + 5;
  for (int threads : {1, 8}) {
    const Threads t(threads);
    std::vector<int> hits(static_cast<size_t>(n), 0);
    std::vector<std::pair<int64_t, int64_t>> runs(4, {-1, -1});
    plat::ForEachByteRun(n, [&](int64_t first, int64_t last) {
      runs[static_cast<size_t>(first / run)] = {first, last};
      for (int64_t i = first; i < last; ++i) ++hits[static_cast<size_t>(i)];
    });
    for (int64_t k = 0; k < 4; ++k) {
      EXPECT_EQ(runs[k].first, k * run);
      EXPECT_EQ(runs[k].second, k == 3 ? n : (k + 1) * run);
    }
    for (int64_t i = 0; i < n; ++i) ASSERT_EQ(hits[i], 1) << i;
  }
}

struct SimdCap {
  explicit SimdCap(plat::SimdLevel level) { plat::SetSimdLevel(level); }
  ~SimdCap() { plat::SetSimdLevel(plat::SimdLevel::kAvx512); }
};

constexpr plat::SimdLevel kLevels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                       plat::SimdLevel::kAvx512};

// The pixels split into three or four planes, some missing, and the mean of three planes: each
// equal to the plain loop on every vector level and thread count, with nothing written past the
// count (odd lengths around the vector steps and the run size).
TEST(BytePasses, SplitAndMeanEqualThePlainLoopsOnEveryLevel) {
  const int64_t run = plat::kBytePassRun;
  for (const plat::SimdLevel level : kLevels) {
    const SimdCap cap(level);
    for (int threads : {1, 3, 8}) {
      const Threads t(threads);
      for (int64_t n : {int64_t{0}, int64_t{1}, int64_t{15}, int64_t{16}, int64_t{17 * 3},
                        int64_t{63}, int64_t{64}, int64_t{65}, int64_t{2049 * 5}, run + 17,
                        3 * run + 4093}) {
        const std::string where = std::to_string(static_cast<int>(level)) + " " +
                                  std::to_string(threads) + " " + std::to_string(n);
        const std::vector<uint8_t> pixels = Pattern(4 * n, 11);
        for (int32_t missing : {-1, 3, 1}) {
          std::vector<std::vector<uint8_t>> planes(4, std::vector<uint8_t>(n + 8, 5));
          uint8_t* to[4] = {};
          for (int32_t k = 0; k < 4; ++k) to[k] = k == missing ? nullptr : planes[k].data();
          plat::SplitPixelBytes(pixels.data(), to, n);
          for (int32_t k = 0; k < 4; ++k)
            for (int64_t i = 0; i < n + 8; ++i)
              ASSERT_EQ(planes[k][i], k != missing && i < n ? pixels[4 * i + k] : 5)
                  << where << " plane " << k << " missing " << missing << " at " << i;
        }
        const std::vector<uint8_t> a = Pattern(n, 1), b = Pattern(n, 2), c = Pattern(n, 3);
        std::vector<uint8_t> mean(n + 8, 9);
        plat::MeanOfThree(mean.data(), a.data(), b.data(), c.data(), n);
        for (int64_t i = 0; i < n + 8; ++i)
          ASSERT_EQ(mean[i], i < n ? (a[i] + b[i] + c[i]) / 3 : 9) << where << " at " << i;
      }
    }
  }
}

}  // namespace
