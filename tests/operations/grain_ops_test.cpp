#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "platform/random/random.h"
#include "support/level_and_threads.h"
#include "support/literal_wind.h"
#include "support/noise_plane.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Ramp(int w, int h) {
  Plane p(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<unsigned char>((i * 23 + 40) % 256);
  return p;
}

class NoiseOp : public vmktest::SessionTest {
 protected:
  Plane Run(int16_t kind, int16_t seed, float size = 1.0f, int16_t blur = 0, int16_t contrast = 0,
            int16_t brightness = 0) {
    Plane p = Ramp(24, 16);
    EXPECT_EQ(Effects::Noise(0, 255, kind, p.data(), nullptr, 16, 24, 0, 0, 23, 15, size, size,
                             blur, contrast, brightness, seed),
              0);
    return p;
  }
};

TEST_F(NoiseOp, UniformNoiseIsOneDrawPerSampleInRowOrder) {
  const Plane a = Run(0, 7);
  plat::SeedRandom(7);
  for (size_t i = 0; i < a.size(); ++i) {
    ASSERT_EQ(a[i], static_cast<int>(std::floor(255 * (plat::Random() / 2147483647.0)))) << i;
  }
  EXPECT_EQ(Run(0, 7), a);
  EXPECT_NE(Run(0, 8), a);
}

TEST_F(NoiseOp, EvenKindsInvertTheOddOnes) {
  for (int16_t kind : {1, 3}) {
    const Plane plain = Run(kind, 11, 0.5f);
    const Plane inverted = Run(static_cast<int16_t>(kind + 1), 11, 0.5f);
    EXPECT_EQ(Run(kind, 11, 0.5f), plain);
    for (size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(inverted[i], 255 - plain[i]) << kind;
  }
}

TEST_F(NoiseOp, TinyRectanglesStillStepForward) {
  // A size this small would give a step of 0 and never finish; its
  // rectangles are empty, so only the table is applied.
  EXPECT_EQ(Run(1, 3, 0.01f), Ramp(24, 16));
  const Plane inverted = Run(4, 3, 0.01f);
  const Plane before = Ramp(24, 16);
  for (size_t i = 0; i < before.size(); ++i) ASSERT_EQ(inverted[i], 255 - before[i]);
}

TEST_F(NoiseOp, OtherKindsMapThePictureThroughTheTable) {
  // Kind 9 keeps the picture as the noise; brightness 40 lowers it by 40.
  const Plane before = Ramp(24, 16);
  const Plane same = Run(9, 1);
  EXPECT_EQ(same, before);
  const Plane darker = Run(9, 1, 1.0f, 0, 0, 40);
  for (size_t i = 0; i < before.size(); ++i) {
    ASSERT_EQ(darker[i], before[i] >= 40 ? before[i] - 40 : 0) << i;
  }
}

TEST_F(NoiseOp, BlurSmoothsTheNoise) {
  const Plane raw = Run(0, 5);
  const Plane soft = Run(0, 5, 1.0f, 6);
  auto spread = [](const Plane& p) {
    int lo = 255, hi = 0;
    for (unsigned char v : p) {
      lo = std::min<int>(lo, v);
      hi = std::max<int>(hi, v);
    }
    return hi - lo;
  };
  EXPECT_LT(spread(soft), spread(raw) / 2);
}

// The rectangle noise painted in bands against the rectangles painted one after the other: odd
// sizes and a tall plane, rectangles from a pixel to larger than the bands (and than the
// plane), chunks of rectangles one after the other, a region inside the plane, the inverted
// kinds and the fog that brightens by the noise, at 1, 3 and 8 threads.
TEST_F(NoiseOp, BandedRectanglesMatchThePlainPainting) {
  struct Size {
    int32_t w, h;
  };
  // 300 x 260 at the smallest scale steps by one sample: more rectangles than one chunk holds.
  for (const Size size :
       {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 701}, Size{97, 61}, Size{300, 260}}) {
    const Plane start = vmktest::Noise(static_cast<size_t>(size.w) * size.h, 77);
    struct Region {
      int32_t x0, y0, x1, y1;
    };
    for (const Region r : {Region{0, 0, size.w - 1, size.h - 1},
                           Region{size.w / 3, size.h / 4, size.w - 2, size.h - 1}}) {
      for (const float scale : {0.1f, 1.0f, 2.5f, 9.0f}) {
        for (const int16_t kind : {1, 2, 3, 4, 0}) {  // 0 here: the fog
          auto run = [&](bool banded) {
            SetBandedRectangleNoise(banded);
            Plane p = start;
            const int32_t result =
                kind == 0
                    ? Effects::Foggy(0, 200, 0, p.data(), nullptr, nullptr, size.h, size.w, r.x0,
                                     r.y0, r.x1, r.y1, scale, scale * 0.7f, 2, -10, 4, 220, 5)
                    : Effects::Noise(3, 255, kind, p.data(), nullptr, size.h, size.w, r.x0, r.y0,
                                     r.x1, r.y1, scale, scale * 1.3f, 0, 20, -5, 9);
            EXPECT_EQ(result, 0);
            SetBandedRectangleNoise(true);
            return p;
          };
          plat::SetThreadCount(1);
          const Plane want = run(false);
          for (const int threads : {1, 3, 8}) {
            plat::SetThreadCount(threads);
            ASSERT_EQ(run(true), want) << size.w << "x" << size.h << " scale " << scale << " kind "
                                       << kind << " threads " << threads;
          }
          plat::SetThreadCount(0);
        }
      }
    }
  }
}

class WindOp : public vmktest::SessionTest {
 protected:
  void TearDown() override { plat::SetTimeSeedFunction(nullptr); }
  Plane Run(uint32_t (*clock)(), int16_t length, int16_t angle, int16_t randomness,
            int16_t opacity = 255) {
    plat::SetTimeSeedFunction(clock);
    Plane p = Ramp(20, 12);
    EXPECT_EQ(Effects::Wind(0, opacity, p.data(), 12, 20, 0, 0, 19, 11, nullptr, length, angle,
                            randomness),
              0);
    return p;
  }
};

uint32_t SecondA() {
  return 1000;
}
uint32_t SecondB() {
  return 1001;
}

TEST_F(WindOp, TheClockSetsTheStreaks) {
  const Plane a = Run(SecondA, 8, 30, 6);
  EXPECT_EQ(Run(SecondA, 8, 30, 6), a);
  EXPECT_NE(Run(SecondB, 8, 30, 6), a);
  EXPECT_NE(a, Ramp(20, 12));
  // Without randomness every streak has its full length, whatever the clock.
  EXPECT_EQ(Run(SecondA, 8, 200, 0), Run(SecondB, 8, 200, 0));
}

TEST_F(WindOp, LengthZeroBlendsThePlaneWithItself) {
  EXPECT_EQ(Run(SecondA, 0, 45, 5), Ramp(20, 12));
  EXPECT_EQ(Run(SecondA, 6, 45, 5, 0), Ramp(20, 12));
}

// The streaks' steps are worked out once per call: the plane is the literal walk's, with each
// step taken from k as it goes, for lengths and angles on every side and for randomness that
// lengthens the streaks past the length. Each step within the length divides its sum plus
// the step's offset; past it (only a negative randomness goes there) the sum as it is.
TEST_F(WindOp, StreaksEqualTheLiteralWalk) {
  for (int16_t length : {1, 8, 30, 255})
    for (int16_t angle : {0, 30, 135, 200, 315})
      for (int16_t randomness : {0, 6, -15}) {
        const Plane got = Run(SecondA, length, angle, randomness, 200);
        const Plane want = vmktest::LiteralWind(Ramp(20, 12), 20, 0, 0, 19, 11, SecondA(), length,
                                                angle, randomness, 200);
        ASSERT_EQ(got, want) << length << " " << angle << " " << randomness;
      }
}

// Streaks inside the region go by offsets and skip the steps that weigh the pixel by 0, the
// rest are clamped as before: the literal walk on odd sizes, a tall plane and a region inside
// the plane, for angles on every side, and a length past the lanes' sums (300).
TEST_F(WindOp, StreaksByOffsetsEqualTheLiteralWalkOnOddSizes) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{3, 701}, Size{61, 47}}) {
    const Plane start = vmktest::Noise(static_cast<size_t>(size.w) * size.h, 5);
    for (const int16_t length : {1, 9, 18, 300})
      for (const int16_t angle : {0, 45, 100, 200, 300})
        for (const int16_t randomness : {0, 7, -4}) {
          const int32_t x0 = size.w / 4, y0 = size.h / 5, x1 = size.w - 1 - size.w / 7,
                        y1 = size.h - 1;
          const Plane want = vmktest::LiteralWind(start, size.w, x0, y0, x1, y1, SecondA(), length,
                                                  angle, randomness, 180);
          plat::SetTimeSeedFunction(SecondA);
          Plane got = start;
          ASSERT_EQ(Effects::Wind(0, 180, got.data(), size.h, size.w, x0, y0, x1, y1, nullptr,
                                  length, angle, randomness),
                    0);
          ASSERT_EQ(got, want) << size.w << "x" << size.h << " " << length << " " << angle << " "
                               << randomness;
        }
  }
}

// A clock that ticks a second at each look, from where a test sets it.
uint32_t gSecond = 0;
uint32_t TickingClock() {
  return gSecond++;
}

// Sixteen neighbouring pixels' streaks a step at a time, where the angle's steps allow it, and
// one pixel at a time: both the literal walk, for angles on every side (the walk up the plane
// too, and steps against the walk's direction), streaks lengthened past the length and a
// region inside the plane.
TEST_F(WindOp, EveryLevelEqualsTheLiteralWalk) {
  const int32_t w = 1211, h = 41;
  const Plane start = vmktest::Noise(static_cast<size_t>(w) * h, 9);
  for (const int16_t length : {9, 18, 40, 50})
    for (const int16_t angle : {0, 45, 90, 135, 180, 200, 270, 330, -60})
      for (const int16_t randomness : {0, 7, -6}) {
        const int32_t x0 = 3, y0 = 2, x1 = w - 5, y1 = h - 1;
        const Plane want = vmktest::LiteralWind(start, w, x0, y0, x1, y1, SecondA(), length, angle,
                                                randomness, 200);
        for (const plat::SimdLevel level :
             {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
          vmktest::LevelAndThreads hold(level, 0);
          plat::SetTimeSeedFunction(SecondA);
          Plane got = start;
          ASSERT_EQ(Effects::Wind(0, 200, got.data(), h, w, x0, y0, x1, y1, nullptr, length, angle,
                                  randomness),
                    0);
          ASSERT_EQ(got, want) << length << " " << angle << " " << randomness << " level "
                               << static_cast<int>(level);
        }
      }
}

// Sixteen neighbouring pixels' streaks a step at a time (where no two steps of a row land
// within sixteen columns in the wrong order) against one pixel at a time, through a mask and
// in another mode too, on the planes side by side at 1, 3 and 8 threads: the angles whose
// steps allow it and ones whose steps do not, lengths up to the 16-bit lanes' most (181, a
// sum and its offset divided by a 16-bit multiplier) and past it.
// Three planes of w x h through a mask, in modes 0 and 4, over the region x0..x1, y0..y1, at
// each length and angle: the vector walks at 1, 3 and 8 threads against one pixel at a time on
// one thread.
void ExpectVectorWindLikeOnePixel(int32_t w, int32_t h, int32_t x0, int32_t y0, int32_t x1,
                                  int32_t y1, uint32_t seed, uint32_t second,
                                  std::initializer_list<int16_t> lengths,
                                  std::initializer_list<int16_t> angles) {
  const size_t n = static_cast<size_t>(w) * h;
  const Plane start[3] = {vmktest::Noise(n, seed), vmktest::Noise(n, seed + 1),
                          vmktest::Noise(n, seed + 2)};
  const Plane mask = vmktest::Noise(n, seed + 3);
  plat::SetTimeSeedFunction(TickingClock);
  for (const int16_t mode : {0, 4})
    for (const int16_t length : lengths)
      for (const int16_t angle : angles) {
        auto run = [&](plat::SimdLevel level, int threads) {
          vmktest::LevelAndThreads hold(level, threads);
          gSecond = second;
          std::vector<Plane> p(start, start + 3);
          unsigned char* planes[3] = {p[0].data(), p[1].data(), p[2].data()};
          EXPECT_EQ(WindEachPlane(mode, 190, planes, 3, h, w, x0, y0, x1, y1, mask.data(), length,
                                  angle, 7),
                    0);
          return p;
        };
        const std::vector<Plane> want = run(plat::SimdLevel::kBaseline, 1);
        for (const int threads : {1, 3, 8})
          ASSERT_EQ(run(plat::SimdLevel::kAvx2, threads), want)
              << "mode " << mode << " length " << length << " angle " << angle << " threads "
              << threads;
      }
}

TEST_F(WindOp, SixteenPixelsAtOnceEqualOneAtATime) {
  ExpectVectorWindLikeOnePixel(500, 29, 2, 1, 500 - 3, 29 - 2, 11, 77,
                               {5, 18, 60, 180, 181, 182, 255}, {45, 135, 200, -30, 10});
}

// Where no streak leaves its row, sixteen rows go side by side, a row a lane, through a tile
// of their samples column by column: against the literal walk and one pixel at a time, for
// the wind along x both ways and a little off it, the rows walked down and up, streaks that
// the randomness shortens to nothing (15) or lengthens (-6, walked one pixel at a time),
// lengths on both sides of the 16-bit lanes' most (181), and regions of a few rows and
// columns past a multiple of sixteen, of fewer than sixteen columns, and of one column.
TEST_F(WindOp, SixteenRowsAtOnceEqualTheLiteralWalk) {
  struct Region {
    int32_t w, h, x0, y0, x1, y1;
  };
  for (const Region g : {Region{61, 37, 3, 2, 57, 36}, Region{40, 33, 0, 0, 39, 32},
                         Region{23, 18, 4, 1, 16, 17}, Region{9, 40, 4, 3, 4, 38}})
    for (const int16_t length : {5, 6, 18, 30, 181, 182})
      for (const int16_t angle : {0, 180, 2, 178, 182, 358})
        for (const int16_t randomness : {0, 7, 15, -6}) {
          const Plane start = vmktest::Noise(static_cast<size_t>(g.w) * g.h, 21);
          const Plane want = vmktest::LiteralWind(start, g.w, g.x0, g.y0, g.x1, g.y1, SecondA(),
                                                  length, angle, randomness, 170);
          for (const plat::SimdLevel level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2}) {
            vmktest::LevelAndThreads hold(level, 0);
            plat::SetTimeSeedFunction(SecondA);
            Plane got = start;
            ASSERT_EQ(Effects::Wind(0, 170, got.data(), g.h, g.w, g.x0, g.y0, g.x1, g.y1, nullptr,
                                    length, angle, randomness),
                      0);
            ASSERT_EQ(got, want) << g.w << "x" << g.h << " " << length << " " << angle << " "
                                 << randomness << " level " << static_cast<int>(level);
          }
        }
}

// The same through a mask and in another mode, the planes side by side at 1, 3 and 8 threads
// against one pixel at a time on one thread, on a picture of many strips of sixteen rows.
TEST_F(WindOp, SixteenRowsAtOnceEqualOneAtATime) {
  ExpectVectorWindLikeOnePixel(333, 101, 1, 2, 333 - 2, 101 - 1, 31, 91, {5, 18, 40},
                               {0, 180, 181});
}

// The wind reports its rows as they are walked: a rise for every row (the loop over the plane
// adds nothing of its own past them) and the whole at the end, at any thread count, sixteen
// rows walked side by side (along x) too.
TEST_F(WindOp, RowsWalkedAreReportedToTheEnd) {
  const int32_t w = 1211, h = 41;
  for (const int16_t angle : {45, 180})
    for (const int threads : {1, 3, 8}) {
      plat::SetThreadCount(threads);
      plat::ProgressMeter meter;
      std::vector<int32_t> reports;
      meter.SetObserver([&](int32_t parts) { reports.push_back(parts); });
      Plane p = vmktest::Noise(static_cast<size_t>(w) * h, 3);
      {
        const plat::ProgressScope scope(&meter);
        ASSERT_EQ(Effects::Wind(0, 255, p.data(), h, w, 0, 0, w - 1, h - 1, nullptr, 18, angle, 7),
                  0);
      }
      ASSERT_FALSE(reports.empty());
      EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
      EXPECT_EQ(reports.back(), plat::ProgressMeter::kWhole) << threads;
      EXPECT_EQ(reports.size(), static_cast<size_t>(h)) << threads;
    }
  plat::SetThreadCount(0);
}

// The planes side by side against the planes one after the other, each plane seeded from its
// own tick of the clock: the same planes, and the shared generator left at the same place, at
// 1, 3 and 8 threads, through a mask and another mode.
TEST_F(WindOp, PlanesSideBySideEqualThePlanesInTurn) {
  for (const auto& [w, h] : {std::pair<int32_t, int32_t>{1, 1}, {17, 3}, {2049, 5}, {3, 701}}) {
    const size_t n = static_cast<size_t>(w) * h;
    const Plane start[3] = {vmktest::Noise(n, 1), vmktest::Noise(n, 2), vmktest::Noise(n, 3)};
    const Plane mask = vmktest::Noise(n, 4);
    plat::SetTimeSeedFunction(TickingClock);
    auto run = [&](bool sideBySide, int16_t mode, Plane(&p)[3]) {
      SetWindPlanesSideBySide(sideBySide);
      gSecond = 500;
      unsigned char* planes[3] = {p[0].data(), p[1].data(), p[2].data()};
      EXPECT_EQ(
          WindEachPlane(mode, 200, planes, 3, h, w, 0, 0, w - 1, h - 1, mask.data(), 18, 45, 7), 0);
      SetWindPlanesSideBySide(true);
      return plat::Random();
    };
    for (const int16_t mode : {0, 4}) {
      Plane want[3] = {start[0], start[1], start[2]};
      const int32_t wantNext = run(false, mode, want);
      if (n > 1) {
        EXPECT_NE(want[0], start[0]);
      }
      for (const int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        Plane got[3] = {start[0], start[1], start[2]};
        EXPECT_EQ(run(true, mode, got), wantNext) << w << "x" << h << " threads " << threads;
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(got[k], want[k]) << w << "x" << h << " threads " << threads << " plane " << k;
      }
      plat::SetThreadCount(0);
    }
  }
}

TEST(GrainOutOfMemory, WorkPlanesMissingGiveMinusOneAndNoChange) {
  vmktest::NoWorkMemory none;
  Plane p = Ramp(8, 8), g = Ramp(8, 8), b = Ramp(8, 8);
  EXPECT_EQ(Effects::Wind(0, 255, p.data(), 8, 8, 0, 0, 7, 7, nullptr, 5, 0, 0), -1);
  // Blurred noise works on a whole-plane copy.
  EXPECT_EQ(Effects::Noise(0, 255, 0, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 1, 1, 1, 0, 0, 1), -1);
  EXPECT_EQ(p, Ramp(8, 8));
  EXPECT_EQ(g, Ramp(8, 8));
  none.End();
  // Film grain and unblurred uniform noise blend each pixel's grain straight in and take no
  // work memory: without any they give what they give with it.
  Plane want[3] = {Ramp(8, 8), Ramp(8, 8), Ramp(8, 8)};
  ASSERT_EQ(Effects::FilmGrain(0, 255, 8, 8, want[0].data(), want[1].data(), want[2].data(), 0, 0,
                               7, 7, nullptr, 50, 50, 50, 50, 50, 1),
            0);
  ASSERT_EQ(Effects::Noise(0, 255, 0, want[0].data(), nullptr, 8, 8, 0, 0, 7, 7, 1, 1, 0, 0, 0, 1), 0);
  vmktest::NoWorkMemory again;
  EXPECT_EQ(Effects::FilmGrain(0, 255, 8, 8, p.data(), g.data(), b.data(), 0, 0, 7, 7, nullptr, 50,
                               50, 50, 50, 50, 1),
            0);
  EXPECT_EQ(Effects::Noise(0, 255, 0, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 1, 1, 0, 0, 0, 1), 0);
  EXPECT_EQ(p, want[0]);
  EXPECT_EQ(g, want[1]);
  EXPECT_EQ(b, want[2]);
}

class FilmGrainOp : public vmktest::SessionTest {
 protected:
  struct Rgb {
    Plane r, g, b;
  };
  Rgb Run(int16_t amount, int16_t share, int16_t seed, int16_t opacity = 255) {
    Rgb c{Plane(100, 120), Plane(100, 120), Plane(100, 120)};
    EXPECT_EQ(Effects::FilmGrain(0, opacity, 10, 10, c.r.data(), c.g.data(), c.b.data(), 0, 0, 9, 9,
                                 nullptr, amount, 60, 80, 40, share, seed),
              0);
    return c;
  }
};

TEST_F(FilmGrainOp, AmountZeroChangesNothing) {
  const Rgb c = Run(0, 50, 3);
  EXPECT_EQ(c.r, Plane(100, 120));
  EXPECT_EQ(c.g, Plane(100, 120));
  EXPECT_EQ(c.b, Plane(100, 120));
}

TEST_F(FilmGrainOp, ColourShareSplitsCommonAndSeparateGrain) {
  const Rgb mono = Run(60, 0, 3);
  EXPECT_EQ(mono.r, mono.g);
  EXPECT_EQ(mono.g, mono.b);
  EXPECT_NE(mono.r, Plane(100, 120));
  const Rgb colour = Run(60, 100, 3);
  EXPECT_NE(colour.r, colour.g);
  EXPECT_NE(colour.g, colour.b);
  const Rgb again = Run(60, 100, 3);
  EXPECT_EQ(again.r, colour.r);
  EXPECT_EQ(again.b, colour.b);
}

TEST_F(FilmGrainOp, TheStrongestGrainSaturatesInsteadOfWrapping) {
  // Mid-grey at full weights, amount and colour share: every draw pushes its
  // channel far past either end, so each sample is 0 or 255 by the sign of
  // 128 - 255 u.
  Plane r(16, 128), g(16, 128), b(16, 128);
  ASSERT_EQ(Effects::FilmGrain(0, 255, 4, 4, r.data(), g.data(), b.data(), 0, 0, 3, 3, nullptr,
                               32767, 32767, 32767, 32767, 100, 7),
            0);
  plat::SeedRandom(7);
  for (size_t i = 0; i < 16; ++i) {
    for (const Plane* p : {&r, &g, &b}) {
      const double u = plat::Random() / 2147483647.0;
      EXPECT_EQ((*p)[i], 128 - 255 * u > 0 ? 255 : 0) << i;
    }
  }
}

TEST(Denoise, NoPassesKeepAndPassesSmooth) {
  Plane speckled(20 * 20, 100);
  for (size_t i = 0; i < speckled.size(); i += 7) speckled[i] = 110;
  Plane p = speckled;
  ASSERT_EQ(Effects::DeNoise(0, 255, p.data(), nullptr, 20, 20, 0, 0, 19, 19, 0, 3, 20), 0);
  EXPECT_EQ(p, speckled);
  ASSERT_EQ(Effects::DeNoise(0, 255, p.data(), nullptr, 20, 20, 0, 0, 19, 19, 2, 3, 20), 0);
  EXPECT_NE(p, speckled);
  // A mask of zeros keeps everything.
  Plane q = speckled;
  const Plane none(20 * 20, 0);
  ASSERT_EQ(Effects::DeNoise(0, 255, q.data(), none.data(), 20, 20, 0, 0, 19, 19, 2, 3, 20), 0);
  EXPECT_EQ(q, speckled);
}

}  // namespace
