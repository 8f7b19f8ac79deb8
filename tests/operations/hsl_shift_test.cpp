#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"
#include "support/pixels.h"

namespace {

using Plane = std::vector<unsigned char>;

struct Rgb {
  Plane r, g, b;
};

// Six saturated and muddy colours, one per pixel of a 3 x 2 image.
Rgb Colours() {
  return Rgb{{200, 30, 90, 10, 250, 128},
             {40, 180, 90, 60, 250, 64},
             {90, 60, 200, 10, 5, 200}};
}

Rgb Shift(int16_t hue, int16_t sat, int16_t light, int16_t model = 1, int16_t mode = 0,
          int16_t opacity = 255, const unsigned char* mask = nullptr) {
  Rgb c = Colours();
  EXPECT_EQ(Effects::HSLBlend(mode, opacity, 2, 3, c.r.data(), c.g.data(), c.b.data(), nullptr,
                              mask, 0, 0, 2, 1, hue, sat, light, model),
            0);
  return c;
}

TEST(HslShift, NoChangeGivesBackEachValueUpToTruncation) {
  const Rgb before = Colours();
  for (int16_t model : {0, 1}) {
    const Rgb after = Shift(0, 0, 0, model);
    for (int i = 0; i < 6; ++i) {
      for (auto [a, b] : {std::pair{after.r[i], before.r[i]}, std::pair{after.g[i], before.g[i]},
                          std::pair{after.b[i], before.b[i]}}) {
        EXPECT_LE(a, b);
        EXPECT_GE(a + 1, b);
      }
    }
  }
}

TEST(HslShift, SaturationDownIsGreyAndLightnessUpIsWhite) {
  const Rgb grey = Shift(0, -100, 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(grey.r[i], grey.g[i]);
    EXPECT_EQ(grey.g[i], grey.b[i]);
  }
  const Rgb white = Shift(75, 20, 100);
  EXPECT_EQ(white.r, Plane(6, 255));
  EXPECT_EQ(white.g, Plane(6, 255));
  EXPECT_EQ(white.b, Plane(6, 255));
}

TEST(HslShift, FullDesaturationOfAStrongGreenIsExactGrey) {
  // 10, 250, 90: a saturation factor that misses 0 by a hair kept it
  // faintly green (129, 130, 130).
  Plane r = {10}, g = {250}, b = {90};
  ASSERT_EQ(Effects::HSLBlend(0, 255, 1, 1, r.data(), g.data(), b.data(), nullptr, nullptr, 0, 0,
                              0, 0, 0, -100, 0, 1),
            0);
  EXPECT_EQ(r[0], g[0]);
  EXPECT_EQ(g[0], b[0]);
  EXPECT_EQ(r[0], 130);
  // Lightness -100 is black, whatever the colour.
  r = {10}, g = {250}, b = {90};
  ASSERT_EQ(Effects::HSLBlend(0, 255, 1, 1, r.data(), g.data(), b.data(), nullptr, nullptr, 0, 0,
                              0, 0, 40, 30, -100, 1),
            0);
  EXPECT_EQ(r, Plane{0});
  EXPECT_EQ(g, Plane{0});
  EXPECT_EQ(b, Plane{0});
}

TEST(HslShift, WholeTurnsChangeNothingBeyondOneTurnToo) {
  const Rgb none = Shift(0, 0, 0);
  for (int16_t turn : {360, -360, 720, -1080}) {
    const Rgb t = Shift(turn, 0, 0);
    EXPECT_EQ(t.r, none.r) << turn;
    EXPECT_EQ(t.g, none.g) << turn;
    EXPECT_EQ(t.b, none.b) << turn;
  }
  const Rgb a = Shift(40, 0, 0), b = Shift(400, 0, 0);
  EXPECT_EQ(a.r, b.r);
  EXPECT_EQ(a.g, b.g);
  EXPECT_NE(a.r, none.r);
  // A third of a turn carries pure red to pure green.
  Plane r = {255}, g = {0}, bl = {0};
  Effects::HSLBlend(0, 255, 1, 1, r.data(), g.data(), bl.data(), nullptr, nullptr, 0, 0, 0, 0, 120,
                    0, 0, 1);
  EXPECT_EQ((std::vector<int>{r[0], g[0], bl[0]}), (std::vector<int>{0, 255, 0}));
}

TEST(HslShift, YmcDataIsTurnedAsItsComplement) {
  // y, m, c = 255 - (b, g, r): the same turn on either form gives
  // complementary results.
  Rgb rgb = Colours();
  Rgb ymc{Plane(6), Plane(6), Plane(6)};
  for (int i = 0; i < 6; ++i) {
    ymc.r[i] = static_cast<unsigned char>(255 - rgb.b[i]);
    ymc.g[i] = static_cast<unsigned char>(255 - rgb.g[i]);
    ymc.b[i] = static_cast<unsigned char>(255 - rgb.r[i]);
  }
  Effects::HSLBlend(0, 255, 2, 3, rgb.r.data(), rgb.g.data(), rgb.b.data(), nullptr, nullptr, 0,
                    0, 2, 1, 90, 30, -10, 1);
  Effects::HSLBlend(0, 255, 2, 3, ymc.r.data(), ymc.g.data(), ymc.b.data(), nullptr, nullptr, 0,
                    0, 2, 1, 90, 30, -10, 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(ymc.r[i], 255 - rgb.b[i], 1) << i;
    EXPECT_NEAR(ymc.g[i], 255 - rgb.g[i], 1) << i;
    EXPECT_NEAR(ymc.b[i], 255 - rgb.r[i], 1) << i;
  }
}

TEST(HslShift, PixelsMatchPlanesAndKeepTheirFourthByte) {
  const Rgb planes = Shift(130, 40, 5, 1, 0, 200);
  Rgb c = Colours();
  std::vector<uint32_t> px(6);
  for (int i = 0; i < 6; ++i) px[i] = vmktest::Px(c.r[i], c.g[i], c.b[i], 17 * i);
  ASSERT_EQ(Effects::HSLBlend(0, 200, 2, 3, px.data(), nullptr, 0, 0, 2, 1, 130, 40, 5, 1), 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(vmktest::PxByte(px[i], 0), planes.r[i]);
    EXPECT_EQ(vmktest::PxByte(px[i], 1), planes.g[i]);
    EXPECT_EQ(vmktest::PxByte(px[i], 2), planes.b[i]);
    EXPECT_EQ(vmktest::PxByte(px[i], 3), 17 * i);
  }
}

TEST(HslShift, MaskAndRegionLimitTheShift) {
  const Plane mask = {255, 0, 255, 0, 255, 0};
  const Rgb before = Colours();
  const Rgb full = Shift(0, -100, 0);
  const Rgb masked = Shift(0, -100, 0, 1, 0, 255, mask.data());
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(masked.r[i], mask[i] ? full.r[i] : before.r[i]);
    EXPECT_EQ(masked.b[i], mask[i] ? full.b[i] : before.b[i]);
  }
  Rgb c = Colours();
  Effects::HSLBlend(0, 255, 2, 3, c.r.data(), c.g.data(), c.b.data(), nullptr, nullptr, 1, -4, 9,
                    0, 0, -100, 0, 1);
  EXPECT_EQ(c.r[0], before.r[0]);
  EXPECT_EQ(c.r[1], full.r[1]);
  EXPECT_EQ(c.r[2], full.r[2]);
  EXPECT_EQ(c.r[4], before.r[4]);
}

using vmktest::LevelAndThreads;

struct ShiftArgs {
  int16_t hue, saturation, lightness, model;
};

Rgb ShiftPlanes(Rgb c, int32_t w, int32_t h, const ShiftArgs& a, plat::SimdLevel level,
                int threads, int16_t mode = 0, int16_t opacity = 255,
                const unsigned char* mask = nullptr) {
  LevelAndThreads setting(level, threads);
  EXPECT_EQ(Effects::HSLBlend(mode, opacity, h, w, c.r.data(), c.g.data(), c.b.data(), nullptr,
                              mask, 0, 0, w - 1, h - 1, a.hue, a.saturation, a.lightness, a.model),
            0);
  return c;
}

TEST(HslShift, VectorLanesGiveTheBytesOfOnePixelAtATimeForEveryColour) {
  // Every colour once: 4096 x 4096 pixels.
  constexpr int32_t kSide = 4096;
  Rgb all{Plane(kSide * kSide), Plane(kSide * kSide), Plane(kSide * kSide)};
  for (int32_t i = 0; i < kSide * kSide; ++i) {
    all.r[i] = static_cast<unsigned char>(i);
    all.g[i] = static_cast<unsigned char>(i >> 8);
    all.b[i] = static_cast<unsigned char>(i >> 16);
  }
  // The defaults on either colour model; turns near a whole one and a half one, with the
  // saturation and lightness at their ends, where the sixteen-pixel form's left-out limits and
  // wraps would show first; and each of the three shifts alone, which that form skips when 0.
  const ShiftArgs cases[] = {{0, 0, 0, 1},      {0, 0, 0, 0},       {130, 40, 5, 1},
                             {-250, -60, -20, 0}, {725, 100, 99, 1}, {359, -100, 100, 0},
                             {-359, 100, -99, 1}, {180, 50, -50, 1}, {-1, 0, 0, 1},
                             {0, -40, 0, 1},      {0, 0, 30, 0}};
  for (const ShiftArgs& a : cases) {
    const Rgb plain = ShiftPlanes(all, kSide, kSide, a, plat::SimdLevel::kBaseline, 8);
    for (const plat::SimdLevel level : {plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      if (plat::SimdSupported() < level) continue;
      const Rgb wide = ShiftPlanes(all, kSide, kSide, a, level, 8);
      ASSERT_TRUE(plain.r == wide.r && plain.g == wide.g && plain.b == wide.b)
          << a.hue << " " << a.saturation << " " << a.lightness << " " << a.model << " level "
          << static_cast<int>(level);
    }
  }
}

// Blends through a mask and at part opacity (the sixteen- and eight-pixel forms on a copy of
// each run, then the blend) and the bare replacement against the plain form on one thread, on
// odd, wide and tall planes, both colour models, at every vector level and 1, 3 and 8 threads.
TEST(HslShift, OddSizesGiveTheSameBytesAtAnyThreadCount) {
  struct Size {
    int32_t w, h;
  };
  struct Blending {
    int16_t mode, opacity;
    bool masked;
  };
  std::vector<plat::SimdLevel> levels = {plat::SimdLevel::kAvx2};
  if (plat::SimdSupported() >= plat::SimdLevel::kAvx512) levels.push_back(plat::SimdLevel::kAvx512);
  const Blending blends[] = {{3, 200, true}, {0, 128, true}, {0, 100, false}, {0, 255, true},
                             {0, 300, true}, {5, 255, false}};
  for (const Size sz :
       {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{5, 67}, Size{41, 70}, Size{5, 2049}}) {
    const size_t n = static_cast<size_t>(sz.w) * sz.h;
    Rgb c{Plane(n), Plane(n), Plane(n)};
    // A mask without a period, so that a run read at the wrong column shows.
    const Plane mask = vmktest::Noise(n, static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) {
      c.r[i] = static_cast<unsigned char>(i * 7 + 3);
      c.g[i] = static_cast<unsigned char>(i * 13 + 100);
      c.b[i] = static_cast<unsigned char>(i * 29);
    }
    for (const int16_t model : {int16_t{1}, int16_t{0}}) {
      const ShiftArgs a{-40, 25, -10, model};
      const Rgb barePlain = ShiftPlanes(c, sz.w, sz.h, a, plat::SimdLevel::kBaseline, 1);
      for (const Blending& b : blends) {
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        const Rgb plain =
            ShiftPlanes(c, sz.w, sz.h, a, plat::SimdLevel::kBaseline, 1, b.mode, b.opacity, m);
        for (const plat::SimdLevel level : levels)
          for (const int threads : {1, 3, 8}) {
            const Rgb wide = ShiftPlanes(c, sz.w, sz.h, a, level, threads, b.mode, b.opacity, m);
            EXPECT_TRUE(plain.r == wide.r && plain.g == wide.g && plain.b == wide.b)
                << sz.w << "x" << sz.h << " model " << model << " mode " << b.mode
                << " opacity " << b.opacity << " mask " << b.masked << " level "
                << static_cast<int>(level) << " threads " << threads;
          }
      }
      for (const plat::SimdLevel level : levels)
        for (const int threads : {1, 3, 8}) {
          const Rgb bare = ShiftPlanes(c, sz.w, sz.h, a, level, threads);
          EXPECT_TRUE(bare.r == barePlain.r && bare.g == barePlain.g && bare.b == barePlain.b)
              << sz.w << "x" << sz.h << " level " << static_cast<int>(level) << " threads "
              << threads;
        }
    }
  }
}

}  // namespace

namespace {

// Regions that start and end anywhere in a row: every split of a row into groups of 32, 16 and
// 8 pixels and a tail, at every offset within a group, bare and through a mask, against the
// plain form, on y, m, c data with shifts that keep and that drop the white select.
TEST(HslShift, RegionsOfEveryWidthAndStartGiveThePlainBytes) {
  constexpr int32_t kW = 83, kH = 3;
  constexpr size_t kN = static_cast<size_t>(kW) * kH;
  const Plane mask = vmktest::Noise(kN, 7);
  Rgb c{vmktest::Noise(kN, 1), vmktest::Noise(kN, 2), vmktest::Noise(kN, 3)};
  const auto shift = [&](int32_t x0, int32_t x1, const ShiftArgs& a, plat::SimdLevel level,
                         int threads, const unsigned char* m) {
    LevelAndThreads setting(level, threads);
    Rgb out = c;
    Effects::HSLBlend(0, m != nullptr ? 200 : 255, kH, kW, out.r.data(), out.g.data(),
                      out.b.data(), nullptr, m, x0, 0, x1, kH - 1, a.hue, a.saturation,
                      a.lightness, a.model);
    return out;
  };
  for (const ShiftArgs& a : {ShiftArgs{0, 0, 0, 0}, ShiftArgs{-70, 30, 40, 0}})
    for (const unsigned char* m : {static_cast<const unsigned char*>(nullptr), mask.data()})
      for (int32_t x0 = 0; x0 < 9; ++x0)
        for (int32_t x1 = x0; x1 < kW; ++x1) {
          const Rgb plain = shift(x0, x1, a, plat::SimdLevel::kBaseline, 1, m);
          for (const plat::SimdLevel level : {plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
            if (plat::SimdSupported() < level) continue;
            for (const int threads : {1, 3, 8}) {
              const Rgb wide = shift(x0, x1, a, level, threads, m);
              ASSERT_TRUE(plain.r == wide.r && plain.g == wide.g && plain.b == wide.b)
                  << x0 << ".." << x1 << " lightness " << a.lightness << " mask " << (m != nullptr)
                  << " level " << static_cast<int>(level) << " threads " << threads;
            }
          }
        }
}

}  // namespace
