#include "operations/despeckle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Despeckled(Plane p, int32_t level, float tightness, int32_t height = 1) {
  const auto width = static_cast<int32_t>(p.size()) / height;
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, height, width, level, tightness), 0);
  return p;
}

TEST(Despeckle, LevelOneChangesNothingLevelTwoMergesLonePixels) {
  const Plane row = {90, 90, 100, 200, 200};
  EXPECT_EQ(Despeckled(row, 1, 0.0f), row);
  EXPECT_EQ(Despeckled(row, 2, 0.0f), (Plane{90, 90, 90, 200, 200}));
  // Equal errors: the neighbour met first (left of the run) wins.
  EXPECT_EQ(Despeckled({90, 90, 100, 110, 110}, 2, 0.0f), (Plane{90, 90, 90, 110, 110}));
  EXPECT_EQ(Despeckled({110, 110, 100, 90, 90}, 2, 0.0f), (Plane{110, 110, 110, 90, 90}));
}

TEST(Despeckle, TightnessEightUsesThresholdFifteenInPassTwo) {
  // A two-pixel blob is first looked at in pass 2 (limit 4), where
  // 256 / (1 + 8 * 2) = 15: a difference of 25 is an error of 14.4 and
  // merges, 26 gives 15.01 and stays.
  const Plane merges = {100, 100, 100, 100, 125, 125, 200, 200, 200, 200};
  EXPECT_EQ(Despeckled(merges, 3, 8.0f), (Plane{100, 100, 100, 100, 100, 100, 200, 200, 200, 200}));
  EXPECT_EQ(Despeckled(merges, 2, 8.0f), merges);
  const Plane stays = {100, 100, 100, 100, 126, 126, 200, 200, 200, 200};
  EXPECT_EQ(Despeckled(stays, 3, 8.0f), stays);
}

TEST(Despeckle, ThreePlanesMergeWholeColours) {
  Plane r = {90, 90, 100, 200, 200}, g = {90, 90, 100, 200, 200}, b = {90, 90, 101, 200, 200};
  ASSERT_EQ(despeckle(r.data(), g.data(), b.data(), 3, 1, 5, 2, 0.0f), 0);
  EXPECT_EQ(r, (Plane{90, 90, 90, 200, 200}));
  EXPECT_EQ(b, (Plane{90, 90, 90, 200, 200}));
}

TEST(Despeckle, RefusedArgumentsChangeNothing) {
  Plane p = {90, 90, 100, 200, 200};
  const Plane before = p;
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, 8.5f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, -0.1f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 2, std::nanf("")), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 21, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 1, 1, 5, 0, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), nullptr, nullptr, 3, 1, 5, 2, 0.0f), -1);
  EXPECT_EQ(despeckle(p.data(), p.data(), p.data(), 2, 1, 5, 2, 0.0f), 0);
  EXPECT_EQ(p, before);
}

// The passes written out plainly with the fill functions, every blob
// counted in full.
void ReferencePasses(Plane& r, Plane& g, Plane& b, int channels, int32_t h, int32_t w,
                     int32_t level, float tightness) {
  std::vector<unsigned char> mask(r.size());
  unsigned char* const planes[3] = {r.data(), g.data(), b.data()};
  for (int32_t i = 0; i < level; ++i) {
    const int32_t limit = 1 << i;
    const auto threshold = static_cast<int32_t>(256.0 / (1.0 + tightness * static_cast<float>(i)));
    std::fill(mask.begin(), mask.end(), 0);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const size_t at = static_cast<size_t>(y) * w + x;
        if (mask[at] != 0) continue;
        const unsigned char c[3] = {r[at], g[at], b[at]};
        const int32_t n = channels == 1 ? find_size_8(c[0], x, y, w, h, r.data(), mask.data())
                                        : find_size(c, x, y, w, h, planes, mask.data());
        if (n >= limit) {
          ignore(x, y, w, h, mask.data());
          continue;
        }
        unsigned char best[3] = {c[0], c[1], c[2]};
        int32_t error = -1;
        if (channels == 1) {
          find_most_similar_neighbor_8(c[0], best, &error, x, y, w, h, r.data(), mask.data());
        } else {
          find_most_similar_neighbor(c, best, &error, x, y, w, h, planes, mask.data());
        }
        if (error < 0) continue;
        const bool merge = std::sqrt(error / 3.0) <= threshold;
        if (channels == 1) {
          fill_8(merge ? best[0] : c[0], x, y, w, h, r.data(), mask.data());
        } else {
          fill(merge ? best : c, x, y, w, h, planes, mask.data());
        }
      }
    }
  }
}

TEST(Despeckle, MatchesThePlainPassesOnNoisyLevels) {
  // Grey levels with grain: speckles merge into areas that later blobs
  // count again, the case the despeckler shortcuts.
  const int32_t w = 97, h = 61;
  Plane r(static_cast<size_t>(w) * h), g(r.size()), b(r.size());
  uint32_t v = 99;
  for (size_t i = 0; i < r.size(); ++i) {
    v = v * 1103515245u + 12345u;
    const int32_t x = static_cast<int32_t>(i % w), y = static_cast<int32_t>(i / w);
    const int32_t base = static_cast<int32_t>(120 + 90 * std::sin(x * 0.13) * std::cos(y * 0.11));
    r[i] = static_cast<unsigned char>((base + static_cast<int32_t>((v >> 16) % 21) - 10) & 0xE0);
    g[i] = static_cast<unsigned char>((base / 2) & 0xC0);
    b[i] = static_cast<unsigned char>((v >> 24) & 0x80);
  }
  for (const int channels : {1, 3}) {
    for (const int32_t level : {2, 5, 9}) {
      for (const float tightness : {0.0f, 2.4f, 8.0f}) {
        Plane er = r, eg = g, eb = b;
        ReferencePasses(er, eg, eb, channels, h, w, level, tightness);
        Plane ar = r, ag = g, ab = b;
        ASSERT_EQ(despeckle(ar.data(), ag.data(), ab.data(), static_cast<int16_t>(channels), h, w,
                            level, tightness),
                  0);
        EXPECT_EQ(ar, er) << channels << " " << level << " " << tightness;
        EXPECT_EQ(ag, eg);
        EXPECT_EQ(ab, eb);
        EXPECT_NE(ar, r);
      }
    }
  }
}

// The quick passes against the plain ones on odd sizes and a tall plane, through every way a
// start is settled: a run at the limit, a run with the pixels above and below it, a lone pixel,
// a small blob merged or kept (ties between colours equally near included), a blob found at
// the limit with a small limit and with a large one, and a plane of one colour. A plane's
// despeckle is one walk on the calling thread; the thread counts are set all the same, as the
// render runs it inside the shared threads.
TEST(Despeckle, QuickPassesMatchThePlainOnesOnOddSizes) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 701}, Size{40, 37}}) {
    const size_t n = static_cast<size_t>(size.w) * size.h;
    // Few levels 10 apart give equal errors to both sides; the ramp and the bands give runs and
    // columns at and past the limits; the (x ^ y) plane has lone pixels everywhere.
    const Plane noise = vmktest::Noise(n, static_cast<uint32_t>(n));
    Plane levels(n), ramp(n), bands(n), xored(n), flat(n, 77);
    for (size_t i = 0; i < n; ++i) {
      const auto x = static_cast<int32_t>(i % static_cast<size_t>(size.w));
      const auto y = static_cast<int32_t>(i / static_cast<size_t>(size.w));
      levels[i] = static_cast<unsigned char>(90 + 10 * (noise[i] % 3));
      ramp[i] = static_cast<unsigned char>(x / 3 * 7 + (noise[i] < 40 ? 9 : 0));
      bands[i] = static_cast<unsigned char>(y / 4 * 13 + (noise[i] & 0x18));
      xored[i] = static_cast<unsigned char>((x ^ y) & 255);
    }
    const std::pair<const char*, const Plane*> planes[] = {
        {"levels", &levels}, {"ramp", &ramp}, {"bands", &bands}, {"xor", &xored}, {"flat", &flat}};
    for (const int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      for (const auto& [name, plane] : planes) {
        for (const int channels : {1, 3}) {
          for (const int32_t level : {2, 4, 9}) {
            for (const float tightness : {0.0f, 2.4f, 8.0f}) {
              Plane r = *plane, g = levels, b = xored;
              if (channels == 1) g = b = Plane(n, 0);
              Plane er = r, eg = g, eb = b;
              ReferencePasses(er, eg, eb, channels, size.h, size.w, level, tightness);
              ASSERT_EQ(despeckle(r.data(), g.data(), b.data(), static_cast<int16_t>(channels),
                                  size.h, size.w, level, tightness),
                        0);
              ASSERT_EQ(r, er) << name << " " << size.w << "x" << size.h << " channels " << channels
                               << " level " << level << " tightness " << tightness;
              ASSERT_EQ(g, eg) << name << " " << size.w << "x" << size.h;
              ASSERT_EQ(b, eb) << name << " " << size.w << "x" << size.h;
            }
          }
        }
      }
    }
    plat::SetThreadCount(0);
  }
}

TEST(Despeckle, HugeSnakeOfOneBlobNeedsNoDeepRecursion) {
  // Columns of 255 joined alternately at the top and the bottom: one blob
  // of two million one-pixel runs in a single chain.
  const int32_t n = 2000;
  Plane p(static_cast<size_t>(n) * n, 0);
  for (int32_t x = 0; x < n; x += 2) {
    for (int32_t y = 0; y < n; ++y) p[static_cast<size_t>(y) * n + x] = 255;
    if (x + 2 < n) p[static_cast<size_t>(x % 4 == 0 ? 0 : n - 1) * n + x + 1] = 255;
  }
  p[static_cast<size_t>(n / 2) * n + 1] = 250;  // a speckle between two columns
  std::vector<unsigned char> mask(p.size(), 0);
  EXPECT_EQ(find_size_8(255, 0, 0, n, n, p.data(), mask.data()), n / 2 * n + n / 2 - 1);
  const Plane out = Despeckled(p, 2, 0.0f, n);
  EXPECT_EQ(out[static_cast<size_t>(n / 2) * n + 1], 255);
  p[static_cast<size_t>(n / 2) * n + 1] = 255;
  EXPECT_EQ(out, p);
}

// The planes side by side equal the planes despeckled one after the other, at one, three and
// eight threads, through a mask, a region and other modes.
TEST(DespeckleEachPlane, EqualsThePlanesOneAfterTheOther) {
  for (const auto& [w, h] : {std::pair<int32_t, int32_t>{1, 1}, {17, 3}, {61, 47}}) {
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<unsigned char> src[3], mask(n);
    uint32_t seed = 77;
    for (auto& p : src) {
      p.resize(n);
      for (auto& v : p) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<unsigned char>((seed >> 24) & 0xE0);  // few levels: many blobs
      }
    }
    for (auto& v : mask) {
      seed = seed * 1664525u + 1013904223u;
      v = static_cast<unsigned char>(seed >> 24);
    }
    for (const auto& [mode, opacity, masked] :
         {std::tuple<int16_t, int16_t, bool>{0, 255, false}, {3, 180, true}, {0, 90, true}}) {
      const unsigned char* m = masked ? mask.data() : nullptr;
      std::vector<unsigned char> expect[3] = {src[0], src[1], src[2]};
      for (auto& p : expect)
        Effects::Despeckle(mode, opacity, 1, p.data(), nullptr, nullptr, h, w, 1, 0, w - 2, h, m, 4,
                           30);
      for (int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        std::vector<unsigned char> got[3] = {src[0], src[1], src[2]};
        unsigned char* planes[3] = {got[0].data(), got[1].data(), got[2].data()};
        EXPECT_EQ(DespeckleEachPlane(mode, opacity, planes, 3, h, w, 1, 0, w - 2, h, m, 4, 30), 0);
        for (int k = 0; k < 3; ++k) ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " " << threads;
      }
      plat::SetThreadCount(0);
    }
  }
}

}  // namespace
