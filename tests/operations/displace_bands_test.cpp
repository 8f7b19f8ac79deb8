// The displacements gather and blend in bands of rows: at 1, 3 and 8 threads their bytes are
// those of the plain walk below (every source pixel found and copied, then every pixel
// blended through its weight one after the other), on odd sizes, a tall plane, inner regions,
// several samples a pixel, with and without a mask, in replacement and another mode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using vmktest::LevelAndThreads;
using vmktest::Noise;

struct Case {
  int32_t w, h, x0, y0, x1, y1;
};
constexpr Case kCases[] = {{1, 1, 0, 0, 0, 0},       {17, 3, 0, 0, 16, 2},
                           {2049, 5, 3, 1, 2040, 4}, {5, 2049, 0, 0, 4, 2048},
                           {61, 37, 4, 2, 50, 30},   {33, 29, -3, -2, 40, 40}};

int32_t Shifted(int32_t c, int32_t m, int32_t amount, int32_t neutral, int32_t lo, int32_t hi) {
  const int32_t s = c + (neutral - m) * amount / 100;
  return s >= lo && s <= hi ? s : c;
}

// The plain walk of DisplaceXY (mapX == mapY == nullptr: Displace's one map of the plane's
// size). The region is clipped as every effect clips it.
Plane PlainDisplace(Plane p, const unsigned char* map, const unsigned char* mapX,
                    const unsigned char* mapY, int32_t mw, int32_t mh, const unsigned char* mask,
                    const Case& c, int32_t bytes, int16_t mode, int16_t opacity, int16_t ax,
                    int16_t ay, int16_t neutral) {
  const int32_t l = std::max(c.x0, 0), t = std::max(c.y0, 0);
  const int32_t r = std::min(c.x1, c.w - 1), b = std::min(c.y1, c.h - 1);
  if (l > r || t > b) return p;
  const Plane old = p;
  for (int32_t y = t; y <= b; ++y) {
    for (int32_t x = l; x <= r; ++x) {
      int32_t sx = x, sy = y;
      if (map != nullptr) {
        const int32_t m = map[int64_t{y} * c.w + x];
        sy = Shifted(y, m, ay, neutral, t, b);
        sx = Shifted(x, m, ax, neutral, l, r);
      } else {
        const int64_t m = int64_t{y % mh} * mw + x % mw;
        sy = Shifted(y, mapY[m], ay, neutral, t, b);
        sx = Shifted(x, mapX[m], ax, neutral, l, r);
      }
      const int64_t at = int64_t{y} * c.w + x;
      const int32_t weight = mask != nullptr ? mask[at] * opacity / 255 : opacity;
      for (int32_t k = 0; k < bytes; ++k) {
        const int32_t o = old[at * bytes + k];
        const int32_t e = old[(int64_t{sy} * c.w + sx) * bytes + k];
        p[at * bytes + k] = effect_support::Blend(mode, o, e, weight);
      }
    }
  }
  return p;
}

TEST(DisplaceBands, EveryThreadCountGivesThePlainWalk) {
  const unsigned char* none = nullptr;
  for (const Case& c : kCases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane map = Noise(n, 3), mask = Noise(n, 4);
    const int32_t mw = 7, mh = 5;
    const Plane mapX = Noise(mw * mh, 5), mapY = Noise(mw * mh, 6);
    for (int32_t bytes : {1, 3}) {
      const Plane start = Noise(n * bytes, 7);
      for (const unsigned char* m : {none, mask.data()}) {
        for (int16_t mode : {0, 3}) {
          for (int16_t opacity : {255, 130}) {
            const Plane plainXY = PlainDisplace(start, nullptr, mapX.data(), mapY.data(), mw, mh, m,
                                                c, bytes, mode, opacity, 40, -25, 128);
            const Plane plainOne = PlainDisplace(start, map.data(), nullptr, nullptr, 0, 0, m, c,
                                                 bytes, mode, opacity, 60, 35, 100);
            for (int threads : {1, 3, 8}) {
              const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
              Plane p = start;
              ASSERT_EQ(Effects::DisplaceXY(mode, opacity, p.data(), mapX.data(), mapY.data(), mw,
                                            mh, m, c.h, c.w, c.x0, c.y0, c.x1, c.y1,
                                            static_cast<int16_t>(bytes), 40, -25, 128),
                        0);
              ASSERT_EQ(p, plainXY)
                  << c.w << "x" << c.h << " bytes " << bytes << " mask " << (m != nullptr)
                  << " mode " << mode << " opacity " << opacity << " threads " << threads;
              p = start;
              ASSERT_EQ(Effects::Displace(mode, opacity, p.data(), map.data(), c.h, c.w, c.x0, c.y0,
                                          c.x1, c.y1, static_cast<int16_t>(bytes), m, 60, 35, 100),
                        0);
              ASSERT_EQ(p, plainOne)
                  << c.w << "x" << c.h << " bytes " << bytes << " mask " << (m != nullptr)
                  << " mode " << mode << " opacity " << opacity << " threads " << threads;
            }
          }
        }
      }
    }
  }
}

}  // namespace
