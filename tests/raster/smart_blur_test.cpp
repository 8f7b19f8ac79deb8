#include "raster/smart_blur.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "raster/blend_filters.h"
#include "raster/blend_rows.h"
#include "support/pixels.h"
#include "support/row_held.h"
#include "support/session.h"

namespace {

using vmktest::Px;
using vmktest::PxByte;

// Grey pixels (all channels v) from a list of values, byte 3 given.
std::vector<uint32_t> Grey(const std::vector<int>& v, int b3 = 9) {
  std::vector<uint32_t> p;
  for (int x : v) p.push_back(Px(x, x, x, b3));
  return p;
}

std::vector<uint32_t> Texture(int32_t w, int32_t h, uint32_t seed) {
  plat::SeedRandom(seed);
  std::vector<uint32_t> p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int base = x < w / 2 ? 70 : 170;
      p[y * w + x] = Px(base + plat::Random() % 12, base + plat::Random() % 12,
                        base / 2 + plat::Random() % 12, plat::Random() % 256);
    }
  return p;
}

std::vector<uint32_t> Blur(int16_t mode, int32_t w, int32_t h, const std::vector<uint32_t>& src,
                           int16_t radius, int16_t t, int16_t weighting) {
  std::vector<uint32_t> dst(src.size(), Px(1, 1, 1, 1));
  X_SmartBlur_RGB(mode, h, w, src.data(), dst.data(), radius, t, 128, weighting);
  return dst;
}

// The pass written plainly: slots per pixel, scans in the kernel's order,
// weights from the ramp recomputed here, each mean rounded to the nearest.
std::vector<uint32_t> ReferenceBlur(int channels, int32_t w, int32_t h,
                                    const std::vector<uint32_t>& src, int radius, int t,
                                    bool weighted) {
  std::vector<int> ramp(1024, 0);
  double r = 256.0;
  for (int i = 0; i < 768; ++i) {
    if (i > 0) r -= 256.0 / (3.0 * t);
    const double v = r + 0.5;
    ramp[i] = v >= 256.0 ? 256 : (v >= 1.0 ? static_cast<int>(v) : 0);
  }
  radius = radius <= 4 ? 5 : (radius > 22 ? 22 : radius);
  const int half = radius >> 1;
  const int unit = weighted ? 256 : 1;
  std::vector<std::array<int, 5>> slot(src.size());
  for (size_t i = 0; i < src.size(); ++i) {
    for (int k = 0; k < channels; ++k) slot[i][k] = PxByte(src[i], k) * unit;
    slot[i][channels] = unit;
  }
  std::vector<uint32_t> out(src.size());
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      std::array<int, 5> sum = slot[i];
      auto visit = [&](int32_t qx, int32_t qy) {
        const size_t j = static_cast<size_t>(qy) * w + qx;
        int diff = 0;
        for (int k = 0; k < channels; ++k) {
          const int dk = std::abs(PxByte(src[j], k) - PxByte(src[i], k));
          if (dk >= t) return false;
          diff += dk;
        }
        const int wt = weighted ? ramp[diff] : 1;
        for (int k = 0; k < channels; ++k) {
          sum[k] += wt * PxByte(src[j], k);
          slot[j][k] += wt * PxByte(src[i], k);
        }
        sum[channels] += wt;
        slot[j][channels] += wt;
        return true;
      };
      for (int32_t qx = x + 1; qx <= std::min(x + half, w - 1); ++qx)
        if (!visit(qx, y)) break;
      for (int32_t dd = 1; dd <= std::min(half, h - 1 - y); ++dd) {
        bool stopAtX = false;
        for (int32_t qx = x; qx >= std::max(x - half, 0); --qx)
          if (!visit(qx, y + dd)) {
            stopAtX = qx == x;
            break;
          }
        for (int32_t qx = x + 1; qx <= std::min(x + half, w - 1); ++qx)
          if (!visit(qx, y + dd)) break;
        if (stopAtX) break;
      }
      int b[4] = {0, 0, 0, 0};
      for (int k = 0; k < channels; ++k)
        b[k] = static_cast<int>(std::floor(static_cast<double>(sum[k]) / sum[channels] + 0.5));
      out[i] = Px(b[0], b[1], b[2], b[3]);
    }
  return out;
}

TEST(SmartBlur, ExactMeansOfTheScannedNeighbourhood) {
  // One row, unweighted, T = 5: 10 finds 12 and stops at 50; 12 already
  // holds 10 in its slot and finds nothing further.
  const auto out = Blur(1, 3, 1, Grey({10, 12, 50}), 5, 5, 0);
  EXPECT_EQ(PxByte(out[0], 0), 11);
  EXPECT_EQ(PxByte(out[1], 1), 11);
  EXPECT_EQ(PxByte(out[2], 2), 50);
  for (uint32_t v : out) EXPECT_EQ(PxByte(v, 3), 0);  // three channels clear byte 3
  // Means are rounded to the nearest: 10 finds 12 and 13, (10 + 12 + 13) / 3
  // is 11.67, so 12 (truncated, 11); 12 finds 13 and holds 10, 12 too.
  const auto near = Blur(1, 3, 1, Grey({10, 12, 13}), 5, 5, 0);
  EXPECT_EQ(PxByte(near[0], 0), 12);
  EXPECT_EQ(PxByte(near[1], 0), 12);
  EXPECT_EQ(PxByte(near[2], 0), 12);

  // When the pixel straight below is dissimilar, that row's rightward scan
  // still runs but the rows below it are not visited: the top-left pixel
  // averages 10, 12, 10 (its row) and 10, 10 (right of the 90), not the 14.
  const auto grid = Blur(1, 3, 3, Grey({10, 12, 10,  //
                                        90, 10, 10,  //
                                        14, 90, 90}),
                         5, 5, 0);
  EXPECT_EQ(PxByte(grid[0], 0), 52 / 5);
  // The last column is a rightward candidate from the left: (2, 1) is found
  // by (0, 0), (1, 0), (2, 0) and (1, 1).
  EXPECT_EQ(PxByte(grid[5], 0), 10);
}

TEST(SmartBlur, MatchesTheStraightforwardPass) {
  // Sizes below and above the eight-candidate steps, radii from the
  // smallest to the largest window.
  for (auto [w, h] : {std::pair{41, 29}, std::pair{9, 4}, std::pair{3, 12}}) {
    const auto tex = Texture(w, h, static_cast<uint32_t>(17 + w));
    for (int16_t radius : {5, 10, 22})
      for (int16_t mode : {0, 1})
        for (int16_t weighting : {0, 32})
          for (int16_t t : {1, 9, 30, 200}) {
            const auto want =
                ReferenceBlur(mode == 0 ? 4 : 3, w, h, tex, radius, t, weighting != 0);
            EXPECT_EQ(Blur(mode, w, h, tex, radius, t, weighting), want)
                << w << "x" << h << " r" << radius << " m" << mode << " cw" << weighting
                << " t" << t;
          }
  }
}

TEST(SmartBlur, AnyThreadCountMatchesTheStraightforwardPass) {
  // The pass runs its rows in bands, even bands first: a single pixel, a
  // row shorter than a band, a wide strip and a tall column of many bands.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049},
                      std::pair{23, 70}}) {
    const auto tex = Texture(w, h, static_cast<uint32_t>(5 + h));
    for (int16_t radius : {5, 22})
      for (int16_t mode : {0, 1}) {
        const auto want = ReferenceBlur(mode == 0 ? 4 : 3, w, h, tex, radius, 30, true);
        for (int threads : {1, 3, 8}) {
          plat::SetThreadCount(threads);
          EXPECT_EQ(Blur(mode, w, h, tex, radius, 30, 32), want)
              << w << "x" << h << " r" << radius << " m" << mode << " threads " << threads;
        }
        plat::SetThreadCount(0);
      }
  }
}

TEST(SmartBlur, FlatOutliersAndThreshold) {
  const int32_t w = 9, h = 7;
  const std::vector<uint32_t> flat(w * h, Px(40, 90, 200, 33));
  auto out = Blur(1, w, h, flat, 10, 20, 32);
  for (uint32_t v : out) EXPECT_EQ(v, Px(40, 90, 200, 0));
  out = Blur(0, w, h, flat, 10, 20, 32);
  EXPECT_EQ(out, flat);  // four channels average byte 3 as well
  // A lone pixel different by T or more in one channel keeps its value.
  auto spot = flat;
  spot[3 * w + 4] = Px(40, 110, 200, 33);
  out = Blur(1, w, h, spot, 10, 20, 32);
  EXPECT_EQ(out[3 * w + 4], Px(40, 110, 200, 0));
  EXPECT_EQ(out[3 * w + 3], Px(40, 90, 200, 0));
  // Threshold 0: nothing is similar.
  const auto tex = Texture(w, h, 5);
  out = Blur(0, w, h, tex, 10, 0, 32);
  EXPECT_EQ(out, tex);
}

TEST(SmartBlur, RadiusIsHeldToFiveThroughTwentyTwo) {
  const int32_t w = 60, h = 30;
  const auto tex = Texture(w, h, 7);
  EXPECT_EQ(Blur(1, w, h, tex, 3, 40, 32), Blur(1, w, h, tex, 5, 40, 32));
  EXPECT_EQ(Blur(1, w, h, tex, 30, 40, 32), Blur(1, w, h, tex, 22, 40, 32));
  EXPECT_NE(Blur(1, w, h, tex, 5, 40, 32), Blur(1, w, h, tex, 7, 40, 32));
  // Half-window 2: a pixel three columns away is out of reach.
  const auto line = Grey({0, 0, 0, 60, 60});
  const auto far = Blur(1, 5, 1, Grey({0, 0, 0, 30, 30}), 5, 100, 0);
  EXPECT_EQ(PxByte(far[0], 0), 0);
  // Pixel 1: itself, the credit from pixel 0, and columns 2 and 3.
  EXPECT_EQ(PxByte(Blur(1, 5, 1, line, 5, 100, 0)[1], 0), 60 / 4);
}

TEST(SmartBlur, ColourTableRampAndItsEnd) {
  vmktest::ScopedSession session;
  TSmartBlurData d;
  d.radius = 10;
  d.threshold = 32;
  d.colourWeighting = 32;
  ASSERT_EQ(StartSmartBlur_RGB(1, &d, 4, 4), 0);
  ASSERT_NE(d.colourTable, nullptr);
  EXPECT_NE(d.work3, nullptr);
  EXPECT_EQ(d.key, SmartBlurKey(&d));
  EXPECT_EQ(d.colourTable[0], 256);
  EXPECT_EQ(d.colourTable[1], static_cast<int>(256.0 - 256.0 / 96 + 0.5));
  EXPECT_EQ(d.colourTable[48], 128);
  EXPECT_GE(d.colourTable[95], 1);
  for (int i = 97; i < 1024; ++i) EXPECT_EQ(d.colourTable[i], 0) << i;
  // Another run on the same record takes its own storage.
  const auto src = Texture(4, 4, 1);
  std::vector<uint32_t> dst(16);
  EXPECT_EQ(RunSmartBlur_CMYK(&d, 4, 4, src.data(), dst.data()), 0);
  EXPECT_NE(d.work4, nullptr);
  EXPECT_EQ(EndSmartBlur_RGB(&d), 0);
  EXPECT_EQ(d.key, -1);
  EXPECT_EQ(d.colourTable, nullptr);
  EXPECT_EQ(d.work3, nullptr);
  EXPECT_EQ(d.work4, nullptr);

  // Four channels each under T but summing past the filled ramp weigh 0.
  const auto pair = std::vector<uint32_t>{Px(0, 0, 0, 0), Px(200, 200, 200, 200)};
  EXPECT_EQ(Blur(0, 2, 1, pair, 5, 250, 32), pair);
}

TEST(SmartBlur, RowHeldRunsMatchTheWeightedPixelRun) {
  const int32_t w = 23, h = 17;
  const auto tex = Texture(w, h, 9);
  const auto want3 = Blur(1, w, h, tex, 9, 30, 1);
  const auto want4 = Blur(0, w, h, tex, 9, 30, 1);
  vmktest::RowHeld p8(4, w, h), p16(3, w, h, 2);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c) {
        p8.at(c, x, y) = PxByte(tex[y * w + x], c);
        if (c < 3) p16.set16(c, x, y, static_cast<int16_t>(PxByte(tex[y * w + x], c) * 128 + 77));
      }
  vmktest::RowHeld q8(4, w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 4; ++c) q8.at(c, x, y) = p8.at(c, x, y);
  X_SmartBlur_buf(1, h, w, p8.planes(), 9, 30, 128, 0);
  X_SmartBlur_buf(0, h, w, q8.planes(), 9, 30, 128, 0);
  X_SmartBlur_buf(4, h, w, p16.planes(), 9, 30, 128, 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(p8.at(c, x, y), PxByte(want3[y * w + x], c));
        EXPECT_EQ(p16.get16(c, x, y), PxByte(want3[y * w + x], c) * 128);
      }
      EXPECT_EQ(p8.at(3, x, y), PxByte(tex[y * w + x], 3));  // three planes only
      for (int c = 0; c < 4; ++c) EXPECT_EQ(q8.at(c, x, y), PxByte(want4[y * w + x], c));
    }
  // An unknown mode runs nothing.
  vmktest::RowHeld r(3, w, h);
  r.at(0, 0, 0) = 200;
  X_SmartBlur_buf(2, h, w, r.planes(), 9, 30, 128, 0);
  EXPECT_EQ(r.at(0, 0, 0), 200);
}

class Smoothing : public vmktest::SessionTest {
 protected:
  static constexpr int32_t kW = 30, kH = 20;
  Smoothing() : src(Texture(kW, kH, 13)), guide(kW * kH) {
    for (size_t i = 0; i < src.size(); ++i)
      guide[i] = static_cast<uint8_t>(
          (PxByte(src[i], 0) + PxByte(src[i], 1) + PxByte(src[i], 2)) / 3);
  }
  int32_t Run(std::vector<uint32_t>& dst, int32_t l, int32_t t, int32_t r, int32_t b,
              int16_t limit, int16_t iterations, int16_t opacity, int16_t gain) {
    return X_Smooth_buffer(1, kH, kW, src.data(), dst.data(), kH, kW, guide.data(), kH, kW, l, t,
                           r, b, 1, 0, 0, 1.0f, 1.0f, limit, iterations, opacity, 8, 30, 25,
                           gain);
  }
  std::vector<uint32_t> src;
  std::vector<uint8_t> guide;
};

TEST_F(Smoothing, GainZeroIsThePlainSmartBlurRepeated) {
  auto dst = src;
  ASSERT_EQ(Run(dst, 0, 0, kW, kH, 0, 3, 100, 0), 0);
  std::vector<uint32_t> a(src.size()), b(src.size());
  X_SmartBlur_RGB(1, kH, kW, src.data(), a.data(), 8, 30, 128, 32);
  X_SmartBlur_RGB(1, kH, kW, a.data(), b.data(), 8, 30, 128, 32);
  X_SmartBlur_RGB(1, kH, kW, b.data(), a.data(), 8, 30, 128, 32);
  for (size_t i = 0; i < dst.size(); ++i)
    for (int k = 0; k < 3; ++k) ASSERT_EQ(PxByte(dst[i], k), PxByte(a[i], k)) << i;
  // Iterations below 1 count as one.
  auto once = src, none = src;
  ASSERT_EQ(Run(once, 0, 0, kW, kH, 0, 1, 100, 0), 0);
  ASSERT_EQ(Run(none, 0, 0, kW, kH, 0, 0, 100, 0), 0);
  EXPECT_EQ(none, once);
  EXPECT_NE(once, dst);
}

TEST_F(Smoothing, OpacityLimitAndRectangle) {
  std::vector<uint32_t> dst(src.size(), Px(3, 3, 3, 3));
  ASSERT_EQ(Run(dst, 0, 0, kW, kH, 0, 1, 0, 35), 0);
  EXPECT_EQ(dst, src);  // opacity 0 returns the source
  dst = src;
  ASSERT_EQ(Run(dst, 0, 0, kW, kH, 1, 2, 100, 35), 0);
  bool changed = false;
  for (size_t i = 0; i < dst.size(); ++i)
    for (int k = 0; k < 4; ++k) {
      EXPECT_LE(PxByte(dst[i], k), PxByte(src[i], k));
      changed = changed || PxByte(dst[i], k) != PxByte(src[i], k);
    }
  EXPECT_TRUE(changed);
  // At full opacity the limit is the smaller of src and the unlimited result.
  auto free = src, darker = src;
  ASSERT_EQ(Run(free, 0, 0, kW, kH, 0, 1, 100, 35), 0);
  ASSERT_EQ(Run(darker, 0, 0, kW, kH, 1, 1, 100, 35), 0);
  for (size_t i = 0; i < dst.size(); ++i)
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(PxByte(darker[i], k), std::min(PxByte(free[i], k), PxByte(src[i], k)));
  // Outside a partial rectangle dst keeps what it held.
  std::vector<uint32_t> part(src.size(), Px(3, 3, 3, 3));
  ASSERT_EQ(Run(part, 4, 5, 20, 15, 0, 1, 100, 35), 0);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      if (x < 4 || x >= 20 || y < 5 || y >= 15) {
        EXPECT_EQ(part[y * kW + x], Px(3, 3, 3, 3));
      }
}

TEST_F(Smoothing, FinalMixMatchesItsPlainFormAtAnyThreadCount) {
  // Gain 0 leaves a flat mask (127 once inverted): each byte is the shaped
  // blur, limited to the darker of it and the source, mixed at 60 percent.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{5, 2049}}) {
    const auto tex = Texture(w, h, static_cast<uint32_t>(w + 3 * h));
    const std::vector<uint8_t> grey(tex.size(), 100);
    std::vector<uint32_t> blurred(tex.size());
    X_SmartBlur_RGB(1, h, w, tex.data(), blurred.data(), 8, 30, 128, 32);
    auto shape = RasterBlend(9);
    auto limit = RasterBlend(5);
    const int op = 60 * 255 / 100;
    std::vector<uint32_t> want(tex.size());
    for (size_t i = 0; i < tex.size(); ++i) {
      int out[4];
      for (int k = 0; k < 4; ++k) {
        const int sv = PxByte(tex[i], k);
        const int t = limit.Row(shape.Row(127)[PxByte(blurred[i], k)])[sv];
        out[k] = (op * t + (255 - op) * sv + 127) / 255;  // to the nearest
      }
      want[i] = Px(out[0], out[1], out[2], out[3]);
    }
    for (int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      std::vector<uint32_t> dst(tex.size());
      ASSERT_EQ(X_Smooth_buffer(1, h, w, tex.data(), dst.data(), h, w, grey.data(), h, w, 0, 0, w,
                                h, 1, 0, 0, 1.0f, 1.0f, 1, 1, 60, 8, 30, 25, 0),
                0);
      EXPECT_EQ(dst, want) << w << "x" << h << " threads " << threads;
    }
    plat::SetThreadCount(0);
  }
}

TEST_F(Smoothing, FlatImageIsUnchanged) {
  const std::vector<uint32_t> flat(src.size(), Px(120, 60, 200, 0));
  const std::vector<uint8_t> grey(src.size(), 126);
  for (int16_t gain : {0, 35}) {
    std::vector<uint32_t> dst(flat.size(), Px(9, 9, 9, 9));
    ASSERT_EQ(X_Smooth_buffer(1, kH, kW, flat.data(), dst.data(), kH, kW, grey.data(), kH, kW, 0,
                              0, kW, kH, 1, 0, 0, 1.0f, 1.0f, 0, 2, 100, 10, 30, 25, gain),
              0);
    EXPECT_EQ(dst, flat);
  }
}

TEST_F(Smoothing, MissingGuideFailsWithoutWriting) {
  const int64_t live = plat::LiveBlockCount();
  auto dst = src;
  EXPECT_EQ(X_Smooth_buffer(1, kH, kW, src.data(), dst.data(), kH, kW, nullptr, kH, kW, 0, 0, kW,
                            kH, 1, 0, 0, 1.0f, 1.0f, 0, 2, 100, 8, 30, 25, 35),
            -1);
  EXPECT_EQ(dst, src);
  EXPECT_EQ(plat::LiveBlockCount(), live);
}

TEST_F(Smoothing, RowHeldGainZeroIsTheSmartBlur) {
  vmktest::RowHeld rows(3, kW, kH);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) rows.at(c, x, y) = PxByte(src[y * kW + x], c);
  ASSERT_EQ(X_Smooth_reabuffer(1, kH, kW, rows.planes(), kH, kW, guide.data(), kH, kW, 0, 0, kW,
                               kH, 8, 30, 25, 0),
            0);
  std::vector<uint32_t> want(src.size());
  X_SmartBlur_RGB(1, kH, kW, src.data(), want.data(), 8, 30, 128, 32);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(rows.at(c, x, y), PxByte(want[y * kW + x], c));
}

}  // namespace
