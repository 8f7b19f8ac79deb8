// The wind blows left as it blows right. Its rows are walked in the wind's direction, so a
// streak that steps left lands on pixels still to be walked, as one that steps right does:
// Wind at 180 - a degrees on a picture is the mirror image of Wind at a on the mirrored
// picture. Walked from x0 whatever the angle, a wind along its row to the left left the
// picture as it was (177 to 183 degrees at length 18).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "operations/effects.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "support/level_and_threads.h"
#include "support/literal_wind.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

uint32_t Second() {
  return 31337;
}

class WindDirection : public vmktest::SessionTest {
 protected:
  void SetUp() override { plat::SetTimeSeedFunction(Second); }
  void TearDown() override { plat::SetTimeSeedFunction(nullptr); }

  Plane Wind(Plane p, int16_t length, int16_t angle, int16_t randomness) const {
    EXPECT_EQ(Effects::Wind(0, 255, p.data(), h_, w_, 0, 0, w_ - 1, h_ - 1, nullptr, length, angle,
                            randomness),
              0);
    return p;
  }
  Plane Mirrored(const Plane& p) const {
    Plane m(p.size());
    for (int32_t y = 0; y < h_; ++y)
      for (int32_t x = 0; x < w_; ++x)
        m[static_cast<size_t>(y) * w_ + x] = p[static_cast<size_t>(y) * w_ + (w_ - 1 - x)];
    return m;
  }
  // The largest difference of the two planes' means over blocks of 8 x 8 samples.
  double MostBlockDifference(const Plane& a, const Plane& b) const {
    double most = 0.0;
    for (int32_t y = 0; y + 7 < h_; y += 8)
      for (int32_t x = 0; x + 7 < w_; x += 8) {
        int32_t d = 0;
        for (int32_t j = 0; j < 8; ++j)
          for (int32_t i = 0; i < 8; ++i) {
            const size_t at = static_cast<size_t>(y + j) * w_ + x + i;
            d += a[at] - b[at];
          }
        most = std::max(most, std::abs(d) / 64.0);
      }
    return most;
  }
  double MeanChange(const Plane& from, const Plane& to) const {
    double sum = 0.0;
    for (size_t i = 0; i < from.size(); ++i) sum += std::abs(from[i] - to[i]);
    return sum / static_cast<double>(from.size());
  }

  const int32_t w_ = 203, h_ = 77;
  const Plane photo_ = vmktest::PhotoLike(w_, h_);
};

// Every angle a of the first quarter against 180 - a, and a of the fourth (upward) against
// 540 - a, at three lengths. Without randomness the mirrored wind differs from the wind only
// by its rounding offsets, which are hashed from the pixel's place: the literal walk given
// the mirrored place's offsets is the wind's mirror image to the byte, at every vector level
// (the sixteen-lane form walks left too). The two winds themselves differ by the offsets'
// dither alone: about a level a sample (each streak step rounds a level apart at most, and a
// sample takes tens of them; the picture's 2 x 2 means lie up to 3.5 levels apart), within
// a level and a half over 8 x 8 blocks. With the offsets of the mirrored place and the same draws,
// the streaks of a randomness mirror too: each row's draws go to its pixels in the order they are
// walked (not at 0 and 180 degrees, whose rows go down and up, as they always went).
TEST_F(WindDirection, BlowingLeftIsTheMirrorImageOfBlowingRight) {
  struct Pair {
    int16_t right, left;
  };
  for (const Pair a :
       {Pair{0, 180}, Pair{20, 160}, Pair{45, 135}, Pair{70, 110}, Pair{300, 240}, Pair{330, 210}})
    for (const int16_t length : {5, 18, 30}) {
      const Plane wind = Wind(Mirrored(photo_), length, a.right, 0);
      for (const plat::SimdLevel level :
           {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
        const vmktest::LevelAndThreads hold(level, 0);
        const Plane left = Wind(photo_, length, a.left, 0);
        EXPECT_LE(MeanChange(left, Mirrored(wind)), 1.25)
            << a.right << " " << length << " level " << static_cast<int>(level);
        EXPECT_LE(MostBlockDifference(left, Mirrored(wind)), 1.5)
            << a.right << " " << length << " level " << static_cast<int>(level);
        for (const int16_t randomness : {0, 7}) {
          if (randomness != 0 && a.right == 0) continue;
          const Plane mirrored = vmktest::LiteralWind(
              Mirrored(photo_), w_, 0, 0, w_ - 1, h_ - 1, Second(), length, a.right, randomness,
              255, [&](int32_t x, int32_t y, int32_t k, int32_t l) {
                return WindStreakOffset(w_ - 1 - x, y, k, l);
              });
          ASSERT_EQ(Wind(photo_, length, a.left, randomness), Mirrored(mirrored))
              << a.right << " " << length << " " << randomness << " level "
              << static_cast<int>(level);
        }
      }
    }
}

// At the dialog's defaults but for the angle, the wind to the left streaks the picture about
// as much as the wind to the right; walked from x0, it left the picture as it was.
TEST_F(WindDirection, BlowingLeftStreaksAsMuchAsBlowingRight) {
  const double right = MeanChange(photo_, Wind(photo_, 18, 0, 7));
  ASSERT_GT(right, 2.0);
  for (const int16_t angle : {180, 178, 182}) {
    const double left = MeanChange(photo_, Wind(photo_, 18, angle, 7));
    EXPECT_GT(left, 0.8 * right) << angle;
    EXPECT_LT(left, 1.25 * right) << angle;
  }
}

// Near the vertical, where cos is a little below 0 (90 degrees' own is a tiny negative
// number): the wind is the literal walk, whose rows go from x0, the draws to the pixels as
// before, unless a streak steps left, at every vector level and on a region inside the plane.
// At length 18 the streaks of 90, 91 and 270 degrees never leave their column, those of 91
// do once a negative randomness lengthens them, and those of 95 step left.
TEST_F(WindDirection, NearTheVerticalTheRowsGoFromX0UnlessAStreakStepsLeft) {
  EXPECT_FALSE(vmktest::WindStepsLeft(18, 90, 7));
  EXPECT_FALSE(vmktest::WindStepsLeft(18, 91, 7));
  EXPECT_FALSE(vmktest::WindStepsLeft(18, 270, 7));
  EXPECT_TRUE(vmktest::WindStepsLeft(18, 91, -40));
  EXPECT_TRUE(vmktest::WindStepsLeft(18, 95, 7));
  for (const int16_t angle : {90, 91, 93, 95, 269, 270, 271})
    for (const int16_t randomness : {7, -40})
      for (const plat::SimdLevel level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2}) {
        const vmktest::LevelAndThreads hold(level, 0);
        const Plane want = vmktest::LiteralWind(photo_, w_, 3, 2, w_ - 4, h_ - 1, Second(), 18,
                                                angle, randomness, 200);
        Plane got = photo_;
        ASSERT_EQ(Effects::Wind(0, 200, got.data(), h_, w_, 3, 2, w_ - 4, h_ - 1, nullptr, 18,
                                angle, randomness),
                  0);
        ASSERT_EQ(got, want) << angle << " " << randomness << " level " << static_cast<int>(level);
      }
}

}  // namespace
