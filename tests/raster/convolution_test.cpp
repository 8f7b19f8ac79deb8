#include "raster/convolution.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "platform/random/random.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
using Kernel = std::array<int32_t, 9>;

Kernel Symmetric(int32_t c, int32_t e, int32_t m) {
  return {c, e, c, e, m, e, c, e, c};
}

struct Loaded {
  Kernel k{};
  int16_t divisor = 0;
};

Loaded Load(int16_t type, int16_t amount) {
  Loaded l;
  l.k.fill(777);
  l.divisor = 777;
  Load_matrix(type, amount, l.k.data(), &l.divisor);
  return l;
}

TEST(LoadMatrix, SmoothingTable) {
  EXPECT_EQ(Load(1, 100).k, Symmetric(1, 1, 1));
  EXPECT_EQ(Load(1, 100).divisor, 9);
  EXPECT_EQ(Load(1, 1000).divisor, 9);
  EXPECT_EQ(Load(1, 1).k, Symmetric(1, 2, 400));
  EXPECT_EQ(Load(1, 1).divisor, 412);
  EXPECT_EQ(Load(1, 3).k[4], 133);
  EXPECT_EQ(Load(1, 5).k[4], 80);
  EXPECT_EQ(Load(1, 30).k[4], 13);
  EXPECT_EQ(Load(1, 64).k[4], 8);
  // 80 belongs to 65..80, 90 to 81..90.
  EXPECT_EQ(Load(1, 80).k, Symmetric(1, 2, 6));
  EXPECT_EQ(Load(1, 80).divisor, 18);
  EXPECT_EQ(Load(1, 90).k[4], 5);
  EXPECT_EQ(Load(1, 90).divisor, 17);
  EXPECT_EQ(Load(1, 99).divisor, 16);
  // Amount 0 or below writes nothing.
  EXPECT_EQ(Load(1, 0).divisor, 777);
  EXPECT_EQ(Load(1, -3).k[0], 777);
}

TEST(LoadMatrix, SharpeningTable) {
  EXPECT_EQ(Load(0, 1).k, Symmetric(-1, -2, 42));
  EXPECT_EQ(Load(0, 1).divisor, 30);
  EXPECT_EQ(Load(0, -5).k, Load(0, 1).k);
  EXPECT_EQ(Load(0, -5).divisor, 30);
  EXPECT_EQ(Load(0, 75).k, Symmetric(-1, -2, 30));
  EXPECT_EQ(Load(0, 75).divisor, 18);
  EXPECT_EQ(Load(2, 174).k, Symmetric(-2, -4, 49));
  EXPECT_EQ(Load(7, 425).divisor, 16);
  EXPECT_EQ(Load(0, 724).k, Symmetric(-9, -18, 124));
  EXPECT_EQ(Load(0, 725).k, Symmetric(-10, -20, 136));
  EXPECT_EQ(Load(0, 30000).divisor, 16);
  EXPECT_EQ(Load(0, 0).divisor, 777);
  // Every built-in kernel sums to its divisor.
  for (int16_t type : {0, 1})
    for (int16_t amount = -10; amount < 800; ++amount) {
      const Loaded l = Load(type, amount);
      if (l.divisor == 777) continue;
      int32_t sum = 0;
      for (int32_t v : l.k) sum += v;
      EXPECT_EQ(sum, l.divisor) << type << " " << amount;
    }
}

class Convolution : public vmktest::SessionTest {
 protected:
  int32_t Mat(Plane& p, int32_t w, int32_t h, const Kernel& k, int16_t div, int32_t strength,
              int16_t bias = 0) {
    return X_Mat_Chbuf(w, h, p.data(), 0, 0, w - 1, h - 1, bias, div, k.data(), strength);
  }
};

TEST_F(Convolution, StrengthMixesFilteredAndOriginal) {
  const Plane base = {10, 20, 30, 40, 90, 60, 70, 80, 90};
  const Kernel k = Symmetric(-1, -2, 42);  // sum 3180 / 30 -> 106
  Plane p = base;
  ASSERT_EQ(Mat(p, 3, 3, k, 30, 4096), 0);
  EXPECT_EQ(p[4], 106);
  p = base;
  ASSERT_EQ(Mat(p, 3, 3, k, 30, 2048), 0);
  EXPECT_EQ(p[4], 98);  // (90 * 2048 + 106 * 2048) >> 12
  p = base;
  ASSERT_EQ(Mat(p, 3, 3, k, 30, 0), 0);
  EXPECT_EQ(p, base);
}

TEST_F(Convolution, RoundingBiasAndClamping) {
  const Kernel centre = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  Plane p(9, 5);
  ASSERT_EQ(Mat(p, 3, 3, centre, 2, 4096), 0);
  EXPECT_EQ(p[4], 3);  // 2.5 + 0.5 truncated
  p.assign(9, 50);
  ASSERT_EQ(Mat(p, 3, 3, centre, 1, 4096, 10), 0);
  EXPECT_EQ(p[4], 60);
  const Kernel negative = {0, 0, 0, 0, -1, 0, 0, 0, 0};
  p.assign(9, 5);
  ASSERT_EQ(Mat(p, 3, 3, negative, 2, 4096), 0);
  EXPECT_EQ(p[4], 0);
  const Kernel triple = {0, 0, 0, 0, 3, 0, 0, 0, 0};
  p.assign(9, 100);
  ASSERT_EQ(Mat(p, 3, 3, triple, 1, 4096), 0);
  EXPECT_EQ(p[4], 255);
}

TEST_F(Convolution, KernelOrientationAndUnfilteredNeighbours) {
  // Rows hold 10, 20, 30, 40. k[1] weighs the row below, k[7] the row above.
  const Plane rows = {10, 10, 10, 20, 20, 20, 30, 30, 30, 40, 40, 40};
  Plane p = rows;
  ASSERT_EQ(Mat(p, 3, 4, {0, 1, 0, 0, 0, 0, 0, 0, 0}, 1, 4096), 0);
  EXPECT_EQ(p[4], 30);
  EXPECT_EQ(p[7], 40);
  p = rows;
  ASSERT_EQ(Mat(p, 3, 4, {0, 0, 0, 0, 0, 0, 0, 1, 0}, 1, 4096), 0);
  EXPECT_EQ(p[4], 10);
  EXPECT_EQ(p[7], 20);  // the row above as it was, not as filtered
  // Outermost rows and columns never change.
  for (int32_t i : {0, 1, 2, 3, 5, 6, 8, 9, 10, 11}) EXPECT_EQ(p[i], rows[i]) << i;
}

TEST_F(Convolution, EverySampleIsComputedFromTheUnfilteredPlane) {
  plat::SeedRandom(5);
  const int32_t w = 37, h = 23;
  Plane orig(w * h);
  for (auto& v : orig) v = static_cast<uint8_t>(plat::Random() % 256);
  for (int16_t amount : {3, 40, 250, 725})
    for (int32_t strength : {4096, 1500}) {
      const Loaded l = Load(amount < 100 ? 1 : 0, amount);
      Plane p = orig;
      ASSERT_EQ(X_Mat_Chbuf(w, h, p.data(), 2, 3, 30, 20, 0, l.divisor, l.k.data(), strength), 0);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          uint8_t expect = orig[y * w + x];
          if (x >= 2 && x <= 30 && y >= 3 && y <= 20)
            Calc_Chmatrix(&expect, &orig[y * w + x], w, 0, l.divisor, l.k.data(), 4096 - strength,
                          strength);
          ASSERT_EQ(p[y * w + x], expect) << x << "," << y << " amount " << amount;
        }
    }
}

TEST_F(Convolution, FlatPlaneStaysFlatUnderEveryBuiltInKernel) {
  for (int16_t type : {0, 1})
    for (int16_t amount : {1, 2, 3, 4, 7, 30, 80, 100, 60, 150, 333, 500, 725, -5})
      for (int32_t strength : {0, 1000, 4096}) {
        const Loaded l = Load(type, amount);
        if (l.divisor == 777) continue;
        Plane p(6 * 5, 77);
        ASSERT_EQ(Mat(p, 6, 5, l.k, l.divisor, strength), 0);
        EXPECT_EQ(p, Plane(30, 77)) << type << " " << amount << " " << strength;
      }
}

TEST_F(Convolution, EmptyRectanglesAndBadArguments) {
  Plane p(4, 9);
  const Kernel k = Symmetric(1, 1, 1);
  EXPECT_EQ(Mat(p, 2, 2, k, 9, 4096), -1);
  EXPECT_EQ(X_median_buf(2, 2, p.data(), 0, 0, 1, 1, 0), -1);
  Plane q(25, 9);
  EXPECT_EQ(X_Mat_Chbuf(5, 5, q.data(), 3, 3, 2, 4, 0, 9, k.data(), 4096), -1);
  EXPECT_EQ(X_Mat_Chbuf(5, 5, q.data(), 0, 0, 4, 4, 0, 0, k.data(), 4096), -1);
  EXPECT_EQ(q, Plane(25, 9));
  EXPECT_EQ(session_.memMan().count(), 0);
}

TEST_F(Convolution, WideSamplesAreNotClamped) {
  std::vector<uint32_t> p(9, 1000);
  const Kernel twice = {0, 0, 0, 0, 2, 0, 0, 0, 0};
  ASSERT_EQ(X_Mat_Lnbuf(3, 3, p.data(), 0, 0, 2, 2, 0, 1, twice.data(), 4096), 0);
  EXPECT_EQ(p[4], 2000u);
  EXPECT_EQ(p[0], 1000u);
  uint32_t out = 0;
  const uint32_t window[9] = {0, 0, 0, 0, 400, 0, 0, 0, 0};
  Calc_Lnmatrix(&out, window + 4, 3, 0, 1, twice.data(), 2048, 2048);
  EXPECT_EQ(out, 600u);  // (400 * 2048 + 800 * 2048) / 4096

  // A strength near the 32-bit limit: the kept weight 4096 - strength lies
  // beyond 32 bits. With the identity kernel both weights meet the same
  // sample and sum to 4096.
  std::vector<uint32_t> flat(9, 1000);
  const Kernel identity = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  ASSERT_EQ(X_Mat_Lnbuf(3, 3, flat.data(), 0, 0, 2, 2, 0, 1, identity.data(), INT32_MIN + 1000),
            0);
  EXPECT_EQ(flat[4], 1000u);
}

TEST_F(Convolution, MedianOfNine) {
  Plane p(9, 9);
  p[2] = 200;
  ASSERT_EQ(X_median_buf(3, 3, p.data(), 0, 0, 2, 2, 0), 0);
  EXPECT_EQ(p[4], 9);

  // Every sample of the rectangle takes the median of its unfiltered window,
  // with many ties (values 0..3) and without.
  plat::SeedRandom(11);
  for (int32_t range : {4, 256}) {
    const int32_t w = 41, h = 29;
    Plane big(w * h);
    for (auto& v : big) v = static_cast<uint8_t>(plat::Random() % range);
    Plane filtered = big;
    ASSERT_EQ(X_median_buf(w, h, filtered.data(), 0, 0, w - 1, h - 1, 0), 0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1) {
          EXPECT_EQ(filtered[y * w + x], big[y * w + x]);
          continue;
        }
        std::vector<uint8_t> win;
        for (int32_t dy = -1; dy <= 1; ++dy)
          for (int32_t dx = -1; dx <= 1; ++dx) win.push_back(big[(y + dy) * w + x + dx]);
        std::sort(win.begin(), win.end());
        ASSERT_EQ(filtered[y * w + x], win[4]) << x << "," << y << " range " << range;
      }
  }
  uint8_t one = 0;
  const uint8_t window[9] = {5, 1, 9, 7, 3, 8, 2, 6, 4};
  Calc_median(&one, window + 4, 3, 0);
  EXPECT_EQ(one, 5);
}

}  // namespace
