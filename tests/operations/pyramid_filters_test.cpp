#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "operations/effects.h"
#include "raster/blend_filters.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

// A plane whose samples vary in both directions without any symmetry.
Plane Ramp(int w, int h) {
  Plane p(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p[y * w + x] = static_cast<unsigned char>((x * 37 + y * 59 + x * y * 7) % 256);
  }
  return p;
}

class MatrixFilter : public vmktest::SessionTest {};

TEST_F(MatrixFilter, BiasAndClampOfAOneTapKernel) {
  Plane p = {0, 100, 250, 20, 40, 60};
  const int32_t k[1] = {2};
  const unsigned char bias[1] = {10};
  ASSERT_EQ(Effects::ApplyMatrix(0, 255, p.data(), nullptr, 1, 1, 3, 2, 0, 2, 0, 1, 0, 1, bias,
                                 2.0f, k),
            0);
  EXPECT_EQ(p, (Plane{10, 110, 255, 30, 50, 70}));
}

TEST_F(MatrixFilter, TapsBeyondTheRegionRepeatItsBorder) {
  // Each sample takes its left neighbour; the region's first column (x0 = 1
  // here, not the plane's) has none and reads itself again.
  Plane p = {1, 2, 3, 4, 5, 6, 7, 8};
  const int32_t k[9] = {0, 0, 0, 1, 0, 0, 0, 0, 0};
  ASSERT_EQ(Effects::ApplyMatrix(0, 255, p.data(), nullptr, 1, 1, 4, 2, 1, 3, 0, 1, 1, 1, nullptr,
                                 1.0f, k),
            0);
  EXPECT_EQ(p, (Plane{1, 2, 2, 3, 5, 6, 6, 7}));
}

TEST_F(MatrixFilter, MaskWeighsModeAndOpacity) {
  const Plane before = {100, 100, 100, 100};
  const int32_t k[1] = {1};
  const unsigned char bias[1] = {50};
  const Plane mask = {255, 0, 255, 128};
  Plane p = before;
  // Opacity 128, mode 0: ((255 - a) * old + a * value) / 255.
  ASSERT_EQ(Effects::ApplyMatrix(0, 128, p.data(), mask.data(), 1, 1, 2, 2, 0, 1, 0, 1, 0, 1,
                                 bias, 1.0f, k),
            0);
  EXPECT_EQ(p[0], (127 * 100 + 128 * 150) / 255);
  EXPECT_EQ(p[1], 100);
  EXPECT_EQ(p[3], (191 * 100 + 64 * 150) / 255);
  // Mode 2 (subtract): 100 - 150 gives 0 before the weighting.
  p = before;
  ASSERT_EQ(Effects::ApplyMatrix(2, 255, p.data(), mask.data(), 1, 1, 2, 2, 0, 1, 0, 1, 0, 1,
                                 bias, 1.0f, k),
            0);
  EXPECT_EQ(p, (Plane{0, 100, 0, (127 * 100) / 255}));
}

TEST_F(MatrixFilter, ScaledMaskIsReadAtTheFullResolutionPixel) {
  // A 2 x 2 level of a 4 x 4 picture: pixel (x, y) reads the mask at
  // 2 * 2 * y * 2 + 2 * x, the picture's pixel (2x, 2y).
  Plane p = {10, 10, 10, 10};
  Plane mask(16, 0);
  mask[2] = 255;   // (1, 0)
  mask[10] = 255;  // (1, 1)
  const int32_t k[1] = {3};
  ASSERT_EQ(Effects::ApplyMatrix(0, 255, p.data(), mask.data(), 2, 2, 2, 2, 0, 1, 0, 1, 0, 1,
                                 nullptr, 1.0f, k),
            0);
  EXPECT_EQ(p, (Plane{10, 30, 10, 30}));
  p = {10, 10, 10, 10};
  ASSERT_EQ(Effects::ApplyMatrix(1, 255, p.data(), mask.data(), 2, 2, 2, 2, 0, 1, 0, 1, 0, 1,
                                 nullptr, 1.0f, k),
            0);
  EXPECT_EQ(p, (Plane{10, 40, 10, 40}));
}

// A blend other than replacement at full opacity through a mask: the region filtered in place
// (the raster convolution alone, without a mask, on one thread), then each sample's combination
// of the kept one with the filtered one, mixed toward it by mask times opacity, written out here
// pixel by pixel. A relief's two taps and a general 3 x 3 kernel; one and three samples a
// pixel; the mask at the plane's size and at twice it; on a single pixel, short rows, rows of
// several runs, a tall plane and regions inside and over the edges; every vector level at 1, 3
// and 8 threads.
TEST_F(MatrixFilter, BlendBackThroughAMaskMatchesThePlainWalk) {
  struct Shape {
    int w, h, x0, y0, x1, y1;
  };
  const Shape shapes[] = {{1, 1, 0, 0, 0, 0},         {17, 3, 0, 0, 16, 2},
                          {2049, 5, 0, 0, 2048, 4},   {2049, 5, 3, -1, 2100, 3},
                          {5, 2049, 0, 0, 4, 2048},   {70, 260, 2, 9, 66, 251}};
  const int settings[][2] = {{0, 128}, {0, 0}, {0, 255}, {0, 300}, {3, 200}, {7, 90}};
  const plat::SimdLevel levels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                    plat::SimdLevel::kAvx512};
  const int32_t relief[9] = {0, 0, 1, 0, 0, 0, -1, 0, 0};
  const int32_t smooth[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  const unsigned char reliefBias[3] = {128, 128, 128}, smoothBias[3] = {0, 7, 0};
  uint32_t seed = 40;
  for (const Shape& s : shapes) {
    for (const int channels : {1, 3}) {
      for (const int scale : {1, 2}) {
        const size_t n = static_cast<size_t>(s.w) * s.h;
        const Plane in = vmktest::Noise(n * channels, ++seed);
        const Plane mask = vmktest::Noise(n * scale * scale, ++seed);
        for (const bool general : {false, true}) {
          const int32_t* k = general ? smooth : relief;
          const unsigned char* bias = general ? smoothBias : reliefBias;
          const float divisor = general ? 16.0f : 1.0f;
          Plane filtered = in;
          {
            const vmktest::LevelAndThreads hold(plat::SimdLevel::kBaseline, 1);
            ASSERT_EQ(::ApplyMatrix(filtered.data(), nullptr, 1, 1, s.w, s.h, s.x0, s.x1, s.y0,
                                    s.y1, 1, channels, bias, divisor, k),
                      0);
          }
          for (const auto& set : settings) {
            const int mode = set[0], opacity = set[1];
            Plane want = in;
            for (int y = std::max(s.y0, 0); y <= std::min(s.y1, s.h - 1); ++y) {
              for (int x = std::max(s.x0, 0); x <= std::min(s.x1, s.w - 1); ++x) {
                const int weight =
                    mask[static_cast<size_t>(scale) * scale * y * s.w + scale * x] * opacity / 255;
                for (int c = 0; c < channels; ++c) {
                  const size_t i = (static_cast<size_t>(y) * s.w + x) * channels + c;
                  unsigned char combined = filtered[i];
                  if (mode != 0) {
                    combined = in[i];
                    X_optionRPart(&combined, static_cast<uint32_t>(mode + 1), in[i], filtered[i]);
                  }
                  want[i] =
                      static_cast<unsigned char>(((255 - weight) * in[i] + weight * combined) / 255);
                }
              }
            }
            for (const plat::SimdLevel level : levels) {
              for (const int threads : {1, 3, 8}) {
                const vmktest::LevelAndThreads hold(level, threads);
                Plane got = in;
                ASSERT_EQ(Effects::ApplyMatrix(static_cast<int16_t>(mode),
                                               static_cast<int16_t>(opacity), got.data(),
                                               mask.data(), static_cast<int16_t>(scale),
                                               static_cast<int16_t>(scale), s.w, s.h, s.x0, s.x1,
                                               s.y0, s.y1, 1, static_cast<int16_t>(channels), bias,
                                               divisor, k),
                          0);
                ASSERT_EQ(got, want) << s.w << "x" << s.h << " channels " << channels
                                     << " scale " << scale << " general " << general << " mode "
                                     << mode << " opacity " << opacity << " level "
                                     << static_cast<int>(level) << " threads " << threads;
              }
            }
          }
        }
      }
    }
  }
}

TEST(PyramidSteps, HalvingReadsAnOddLastColumnThroughItsNeighbour) {
  const Plane src = {0, 4, 8, 12, 16, 20, 24, 28, 32};  // 3 x 3
  Plane dst(4, 0);
  Effects::DivideInHalf(3, 3, 2, 0, 0, 0, 1, 1, 1, src.data(), dst.data());
  EXPECT_EQ(dst, (Plane{8, 12, 20, 24}));
}

TEST(PyramidSteps, DoublingFillsTheLastColumnAndRowOfEvenSizes) {
  // Stale contents in the target must not survive anywhere.
  const Plane half = {10, 20, 30, 40};
  Plane full(16, 0xAB);
  Effects::Double(4, 4, 0, 0, 3, 3, 1, full.data(), half.data());
  EXPECT_EQ(full, (Plane{10, 15, 20, 20,  //
                         20, 25, 30, 30,  //
                         30, 35, 40, 40,  //
                         30, 35, 40, 40}));
}

class PyramidBlur : public vmktest::SessionTest {};

TEST_F(PyramidBlur, RadiusZeroStillHalvesAndEnlarges) {
  // 2 x 2 halves to the mean 85, a box pass keeps a single sample, and the
  // enlargement repeats it into the missing column and row.
  Plane p = {0, 100, 200, 40};
  ASSERT_EQ(Effects::Blur(0, 255, p.data(), nullptr, 2, 2, 0, 0, 1, 1, 0, 1), 0);
  EXPECT_EQ(p, (Plane{85, 85, 85, 85}));
}

TEST_F(PyramidBlur, OddLastRowIsLeftAndFlatPlanesStayFlat) {
  Plane p = Ramp(6, 5);
  const Plane before = p;
  ASSERT_EQ(Effects::Blur(0, 255, p.data(), nullptr, 6, 5, 0, 0, 5, 4, 3, 1), 0);
  for (int x = 0; x < 6; ++x) EXPECT_EQ(p[4 * 6 + x], before[4 * 6 + x]) << x;
  EXPECT_NE(p, before);

  for (int16_t r : {0, 5, 20, 199}) {
    Plane flat(64 * 48, 77);
    ASSERT_EQ(Effects::Blur(0, 255, flat.data(), nullptr, 64, 48, 0, 0, 63, 47, r, 1), 0);
    EXPECT_EQ(flat, Plane(64 * 48, 77)) << r;
  }
}

TEST_F(PyramidBlur, HugeRadiusEndsAsTheLargestOne) {
  Plane a = Ramp(20, 16);
  Plane b = a;
  ASSERT_EQ(Effects::Blur(0, 255, a.data(), nullptr, 20, 16, 0, 0, 19, 15, 199, 1), 0);
  ASSERT_EQ(Effects::Blur(0, 255, b.data(), nullptr, 20, 16, 0, 0, 19, 15, 32000, 1), 0);
  EXPECT_EQ(a, b);
}

TEST_F(PyramidBlur, FullOpacityIgnoresTheModeAndZeroOpacityKeepsTheRegion) {
  const Plane before = Ramp(12, 8);
  Plane a = before, b = before;
  ASSERT_EQ(Effects::Blur(0, 255, a.data(), nullptr, 12, 8, 0, 0, 11, 7, 6, 1), 0);
  ASSERT_EQ(Effects::Blur(5, 255, b.data(), nullptr, 12, 8, 0, 0, 11, 7, 6, 1), 0);
  EXPECT_EQ(a, b);

  // Opacity 0 in mode 0 gives back the unblurred samples inside the region;
  // the pyramid itself runs over the whole plane.
  Plane c = before;
  ASSERT_EQ(Effects::Blur(0, 0, c.data(), nullptr, 12, 8, 2, 2, 9, 5, 6, 1), 0);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 12; ++x) {
      const bool inside = x >= 2 && x <= 9 && y >= 2 && y <= 5;
      EXPECT_EQ(c[y * 12 + x], inside ? before[y * 12 + x] : a[y * 12 + x]) << x << "," << y;
    }
  }
}

TEST_F(PyramidBlur, MaskZeroKeepsItsPixels) {
  const Plane before = Ramp(16, 12);
  Plane mask(16 * 12, 0);
  for (int i = 0; i < 16 * 6; ++i) mask[i] = 255;  // the upper half
  Plane p = before;
  ASSERT_EQ(Effects::Blur(0, 255, p.data(), mask.data(), 16, 12, 0, 0, 15, 11, 4, 1), 0);
  for (int i = 16 * 6; i < 16 * 12; ++i) ASSERT_EQ(p[i], before[i]) << i;
  EXPECT_NE(Plane(p.begin(), p.begin() + 16 * 6), Plane(before.begin(), before.begin() + 16 * 6));
}

// The blend back of a mixed blur in bands and 16-bit lanes against the plain walk: the same
// pyramid blur of the whole plane, then each region pixel's combination of the blurred sample
// with the kept one, mixed toward the blur by mask times opacity. On a single pixel, short
// rows, rows of several runs, a tall plane and regions inside and over the plane's edges, at
// every vector level and at 1, 3 and 8 threads.
TEST_F(PyramidBlur, MixedBlendBackMatchesThePlainWalk) {
  struct Shape {
    int w, h, x0, y0, x1, y1;
  };
  const Shape shapes[] = {{1, 1, 0, 0, 0, 0},     {17, 3, 0, 0, 16, 2},   {2049, 5, 0, 0, 2048, 4},
                          {2049, 5, 3, -1, 2100, 3}, {6, 300, 0, 0, 5, 299}, {70, 260, 2, 9, 66, 251}};
  const int settings[][3] = {{0, 255, 1}, {0, 140, 0}, {0, 140, 1}, {0, 0, 1},
                             {3, 255, 1}, {3, 90, 0},  {7, 200, 1}, {0, 300, 1}};
  const plat::SimdLevel levels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                    plat::SimdLevel::kAvx512};
  uint32_t seed = 90;
  for (const Shape& s : shapes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane in = vmktest::Noise(n, ++seed);
    const Plane mask = vmktest::Noise(n, ++seed);
    for (const int radius : {0, 2, 5}) {
      for (const auto& set : settings) {
        const int mode = set[0], opacity = set[1];
        const unsigned char* m = set[2] != 0 ? mask.data() : nullptr;
        Plane want = in;
        ASSERT_EQ(X_Blur_buffer(want.data(), m, s.w, s.h, 0, 0, s.w - 1, s.h - 1, radius, 1), 0);
        for (int y = std::max(s.y0, 0); y <= std::min(s.y1, s.h - 1); ++y) {
          for (int x = std::max(s.x0, 0); x <= std::min(s.x1, s.w - 1); ++x) {
            const size_t i = static_cast<size_t>(y) * s.w + x;
            const int blurred = want[i];
            unsigned char combined = in[i];
            if (mode != 0) X_optionRPart(&combined, static_cast<uint32_t>(mode + 1), blurred, in[i]);
            const int weight = m != nullptr ? m[i] * opacity / 255 : opacity;
            want[i] = static_cast<unsigned char>(((255 - weight) * combined + weight * blurred) / 255);
          }
        }
        for (const plat::SimdLevel level : levels) {
          for (const int threads : {1, 3, 8}) {
            const vmktest::LevelAndThreads hold(level, threads);
            Plane got = in;
            ASSERT_EQ(Effects::Blur(static_cast<int16_t>(mode), static_cast<int16_t>(opacity),
                                    got.data(), m, s.w, s.h, s.x0, s.y0, s.x1, s.y1,
                                    static_cast<int16_t>(radius), 1),
                      0);
            ASSERT_EQ(got, want) << s.w << "x" << s.h << " radius " << radius << " mode " << mode
                                 << " opacity " << opacity << " mask " << set[2] << " level "
                                 << static_cast<int>(level) << " threads " << threads;
          }
        }
      }
    }
  }
}

TEST(PyramidBlurOutOfMemory, MixedBlurFailsWithThePlaneUnchanged) {
  Plane p = Ramp(8, 8);
  const Plane before = p;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::Blur(0, 128, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 3, 1), -1);
  EXPECT_EQ(p, before);
  EXPECT_EQ(Effects::HighPass(0, 255, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 3, 100), -1);
  EXPECT_EQ(Effects::Sharpen(0, 255, p.data(), nullptr, 8, 8, 0, 0, 7, 7, 5), -1);
  EXPECT_EQ(p, before);
}

TEST(PyramidBlurWithoutSession, TakesPlainMemoryAndMatchesASessionRun) {
  Plane alone = Ramp(8, 8);
  ASSERT_EQ(Effects::Blur(0, 128, alone.data(), nullptr, 8, 8, 0, 0, 7, 7, 3, 1), 0);
  Plane inSession = Ramp(8, 8);
  {
    vmktest::ScopedSession session;
    ASSERT_EQ(Effects::Blur(0, 128, inSession.data(), nullptr, 8, 8, 0, 0, 7, 7, 3, 1), 0);
    EXPECT_EQ(session.memMan().count(), 0);
  }
  EXPECT_EQ(alone, inSession);
  EXPECT_NE(alone, Ramp(8, 8));
}

class Sharpening : public vmktest::SessionTest {};

TEST_F(Sharpening, HighPassOfAFlatPlaneIsMidGrey) {
  Plane p(10 * 6, 200);
  ASSERT_EQ(Effects::HighPass(0, 255, p.data(), nullptr, 10, 6, 0, 0, 9, 5, 4, 150), 0);
  EXPECT_EQ(p, Plane(10 * 6, 128));
}

TEST_F(Sharpening, UnsharpMaskHighThresholdChangesNothing) {
  Plane p = Ramp(16, 12);
  const Plane before = p;
  ASSERT_EQ(Effects::UnSharpMask(0, 255, p.data(), nullptr, 16, 12, 0, 0, 15, 11, 3, 300, 255),
            0);
  EXPECT_EQ(p, before);
  ASSERT_EQ(Effects::UnSharpMask(0, 255, p.data(), nullptr, 16, 12, 0, 0, 15, 11, 3, 300, 0), 0);
  EXPECT_NE(p, before);
}

TEST_F(Sharpening, SharpenStrengthZeroLeavesThePlane) {
  Plane p = Ramp(9, 9);
  const Plane before = p;
  ASSERT_EQ(Effects::Sharpen(0, 255, p.data(), nullptr, 9, 9, 0, 0, 8, 8, 0), 0);
  EXPECT_EQ(p, before);
  ASSERT_EQ(Effects::Sharpen(0, 255, p.data(), nullptr, 9, 9, 0, 0, 8, 8, 8), 0);
  EXPECT_NE(p, before);
}

TEST_F(Sharpening, WholePlaneReplacementFiltersInPlaceToTheSameSamples) {
  // Without a mask, at full opacity in mode 0 over the whole plane (or more),
  // the plane is filtered where it is; a mask of full weight goes through the
  // copy and the blend, and must agree sample for sample.
  for (auto [w, h] : {std::pair{1, 1}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{9, 70}}) {
    const Plane before = Ramp(w, h);
    const Plane full(before.size(), 255);
    Plane direct = before, blended = before;
    ASSERT_EQ(Effects::Sharpen(0, 255, direct.data(), nullptr, w, h, -2, -1, w + 3, h, 7), 0);
    ASSERT_EQ(Effects::Sharpen(0, 255, blended.data(), full.data(), w, h, 0, 0, w - 1, h - 1, 7),
              0);
    EXPECT_EQ(direct, blended) << w << "x" << h;
  }
}

TEST_F(Sharpening, PartRegionsSeeThePlaneAroundThem) {
  // Filtering only part of the plane gives, inside that part, exactly what
  // filtering the whole plane gives: the filters read the real neighbours.
  const Plane before = Ramp(14, 10);
  auto check = [&](auto run) {
    Plane whole = before, part = before;
    ASSERT_EQ(run(whole.data(), 0, 0, 13, 9), 0);
    ASSERT_EQ(run(part.data(), 3, 2, 9, 6), 0);
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 14; ++x) {
        const bool inside = x >= 3 && x <= 9 && y >= 2 && y <= 6;
        EXPECT_EQ(part[y * 14 + x], inside ? whole[y * 14 + x] : before[y * 14 + x]);
      }
    }
  };
  check([](unsigned char* p, int x0, int y0, int x1, int y1) {
    return Effects::Sharpen(0, 255, p, nullptr, 14, 10, x0, y0, x1, y1, 6);
  });
  check([](unsigned char* p, int x0, int y0, int x1, int y1) {
    return Effects::UnSharpMask(0, 255, p, nullptr, 14, 10, x0, y0, x1, y1, 2, 150, 1);
  });
  check([](unsigned char* p, int x0, int y0, int x1, int y1) {
    return Effects::HighPass(0, 255, p, nullptr, 14, 10, x0, y0, x1, y1, 2, 200);
  });
}

TEST(Deblur, NoMaskIsFullStrengthAndStrengthZeroKeeps) {
  const Plane before = Ramp(40, 36);
  const Plane full(40 * 36, 255);
  Plane a = before, b = before, c = before;
  ASSERT_EQ(Effects::DeBlur(0, 255, a.data(), nullptr, 36, 40, 0, 0, 39, 35, 3, 8), 0);
  ASSERT_EQ(Effects::DeBlur(0, 255, b.data(), full.data(), 36, 40, 0, 0, 39, 35, 3, 8), 0);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, before);
  ASSERT_EQ(Effects::DeBlur(0, 255, c.data(), nullptr, 36, 40, 0, 0, 39, 35, 3, 0), 0);
  EXPECT_EQ(c, before);
}

TEST(Deblur, HugeOrdersAndStrengthStayFinite) {
  // Strength 32767 made the series overflow to infinity and the sample NaN;
  // on one pixel no filter window fits, so every term is 0.
  for (int16_t strength : {32767, -32768}) {
    unsigned char p = 100;
    ASSERT_EQ(Effects::DeBlur(0, 255, &p, nullptr, 1, 1, 0, 0, 0, 0, 50, strength), 0);
    EXPECT_EQ(p, 100) << strength;
  }
}

TEST(BinomialRow, OrdersZeroOneAndFour) {
  int32_t row[6] = {-1, -1, -1, -1, -1, -1};
  Effects::GaussianMatrix(row, 4);
  EXPECT_EQ(std::vector<int32_t>(row, row + 6), (std::vector<int32_t>{1, 4, 6, 4, 1, -1}));
  Effects::GaussianMatrix(row, 1);
  EXPECT_EQ(row[0], 1);
  EXPECT_EQ(row[1], 1);
  Effects::GaussianMatrix(row, 0);
  EXPECT_EQ(row[0], 1);
}

}  // namespace
