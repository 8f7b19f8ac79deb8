// How far the wind carries a picture, as the fitted previews reckon it, against the wind itself,
// and the length a preview on smaller or larger planes takes for it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "operations/effects.h"
#include "platform/random/random.h"
#include "script/wind_reach.h"
#include "support/session.h"

namespace {

uint32_t FixedSecond() { return 4242; }

class WindReach : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    vmktest::SessionTest::SetUp();
    plat::SetTimeSeedFunction(FixedSecond);
  }
  void TearDown() override {
    plat::SetTimeSeedFunction(nullptr);
    vmktest::SessionTest::TearDown();
  }
};

// The wind along the rows over a step, bright up to column kEdge and black after it: each row
// past the edge holds 255 P(X > d) at kEdge + d, X how far the wind carried a sample, so the
// sums over the columns past the edge give its mean (sum of P(X > d)) and its second moment
// (sum of (2d + 1) P(X > d)), over many rows of streaks drawn at random.
TEST_F(WindReach, ThePullIsWhatTheWindDrawsAcrossAStep) {
  constexpr int32_t kW = 1400, kH = 400, kEdge = 200;
  struct Case {
    int16_t length, randomness;
  };
  for (const Case c : {Case{8, 0}, Case{12, 3}, Case{18, 7}, Case{18, 0}, Case{25, 10}, Case{30, 7}}) {
    std::vector<unsigned char> plane(static_cast<size_t>(kW) * kH);
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) plane[static_cast<size_t>(y) * kW + x] = x < kEdge ? 255 : 0;
    ASSERT_EQ(Effects::Wind(0, 255, plane.data(), kH, kW, 0, 0, kW - 1, kH - 1, nullptr, c.length, 0, c.randomness),
              0);
    double first = 0.0, second = 0.0;
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t d = 0; kEdge + d < kW; ++d) {
        const double beyond = plane[static_cast<size_t>(y) * kW + kEdge + d] / 255.0 / kH;
        first += beyond;
        second += (2.0 * d + 1.0) * beyond;
      }
    const double spread = std::sqrt(second - first * first);
    const WindPull model = WindPullOf(c.length, c.randomness);
    std::printf("length %d, randomness %d: drawn %.2f / %.2f, reckoned %.2f / %.2f\n", c.length, c.randomness, first,
                spread, model.mean, model.spread);
    EXPECT_NEAR(model.mean, first, 0.03 * first + 0.1) << c.length << ", " << c.randomness;
    EXPECT_NEAR(model.spread, spread, 0.03 * spread + 0.1) << c.length << ", " << c.randomness;
  }
}

TEST(WindPull, StreaksOfFourStepsOrLessCarryNothing) {
  for (int32_t length : {0, 1, 4}) {
    EXPECT_EQ(WindPullOf(length, 7).mean, 0.0);
    EXPECT_EQ(WindPullOf(length, 7).spread, 0.0);
  }
  EXPECT_GT(WindPullOf(5, 0).mean, 0.0);
  // More randomness shortens the streaks, and the pull with them.
  EXPECT_GT(WindPullOf(18, 0).mean, WindPullOf(18, 7).mean);
  EXPECT_GT(WindPullOf(18, 7).mean, WindPullOf(18, 10).mean);
}

// The wind of the image tools at its default 18 (randomness 7), previewed on planes a fifth of a
// photograph's size: as a length it was 3 steps, which draw nothing. The fitted length carries
// the planes as the picture's wind carries the picture, scaled: its mean and spread together
// within a third of the scaled ones, for the slider's lengths, at the scales of the previews.
TEST(FittedWindLength, CarriesThePlanesAsThePicturesWindScaled) {
  const float fifth = 1140.0f / 6000.0f;
  EXPECT_GE(FittedWindLength(18, 7, fifth), 5);
  struct Case {
    int16_t length, randomness;
  };
  for (const Case c : {Case{18, 7}, Case{50, 7}, Case{50, 10}, Case{50, 0}, Case{30, 0}, Case{25, 3}})
    for (const float scale : {fifth, 0.3125f, 0.5f}) {
      const int16_t fitted = FittedWindLength(c.length, c.randomness, scale);
      const WindPull full = WindPullOf(c.length, c.randomness), planes = WindPullOf(fitted, c.randomness);
      const double mean = full.mean * scale, spread = full.spread * scale;
      EXPECT_LE(fitted, c.length);
      EXPECT_LE(std::fabs(planes.mean - mean) + std::fabs(planes.spread - spread), (mean + spread) / 3.0)
          << c.length << ", " << c.randomness << " at " << scale << ": " << fitted;
    }
}

// A picture under three times its view is previewed on planes larger than itself (up to twice
// its size each way): there the wind's pull, which grows far faster than its length, is drawn
// by a length a little longer than the picture's, not by the length scaled as a length (18 on
// planes 1.28 times the picture's size, scaled to 23, carried them 25 samples where the
// picture's wind, scaled, carries them 16).
TEST(FittedWindLength, CarriesLargerPlanesAsThePicturesWindScaled) {
  struct Case {
    int16_t length, randomness;
  };
  for (const Case c : {Case{18, 7}, Case{50, 7}, Case{50, 10}, Case{50, 0}, Case{30, 0}, Case{25, 3}, Case{6, 7}})
    for (const float scale : {1.14f, 1.28f, 1.5f, 1.99f}) {
      const int16_t fitted = FittedWindLength(c.length, c.randomness, scale);
      const WindPull full = WindPullOf(c.length, c.randomness), planes = WindPullOf(fitted, c.randomness);
      const double mean = full.mean * scale, spread = full.spread * scale;
      EXPECT_GE(fitted, c.length);
      EXPECT_LT(fitted, static_cast<int32_t>(c.length * scale + 0.5f)) << c.length << ", " << c.randomness;
      EXPECT_LE(std::fabs(planes.mean - mean) + std::fabs(planes.spread - spread), (mean + spread) / 3.0)
          << c.length << ", " << c.randomness << " at " << scale << ": " << fitted;
    }
  EXPECT_EQ(FittedWindLength(18, 7, 1.28f), 20);
}

TEST(FittedWindLength, ScalesAsALengthWhereThePullTellsNothing) {
  // At the picture's size, the length itself.
  EXPECT_EQ(FittedWindLength(18, 7, 1.0f), 18);
  // Streaks of 4 steps or less carry nothing on the picture, and nothing on larger planes:
  // never lengthened into a wind that draws.
  EXPECT_EQ(FittedWindLength(4, 7, 2.0f), 4);
  EXPECT_EQ(FittedWindLength(3, 0, 1.5f), 3);
  EXPECT_EQ(FittedWindLength(0, 7, 2.0f), 0);
  // A randomness outside the reckoning, on larger planes too.
  EXPECT_EQ(FittedWindLength(20, -5, 1.5f), 30);
  // Streaks that draw nothing, and a randomness that lengthens them past the length (the
  // reckoning covers 0 .. 10): scaled as lengths, at least 1.
  EXPECT_EQ(FittedWindLength(4, 7, 0.5f), 2);
  EXPECT_EQ(FittedWindLength(0, 7, 0.5f), 0);
  EXPECT_EQ(FittedWindLength(20, -5, 0.25f), 5);
  EXPECT_EQ(FittedWindLength(20, 11, 0.25f), 5);
  EXPECT_EQ(FittedWindLength(2, 0, 0.1f), 1);
}

}  // namespace
