// The wind and the radial blur keep a picture's brightness. The wind's every streak step moves
// its target toward the pixel's value by a mean divided by the length, tens of steps on each
// sample one after the other; truncated, each took half a level, and a picture lost 20 to 50
// levels at the lengths the dialog allows. At every length, angle and randomness of the dialog
// the wind now keeps a texture's mean (its negative's too, within a level) as the streaks in
// exact arithmetic keep it, through a mask as well, and a flat plane stays exactly flat. A radial blur of one
// sample leaves the picture as it is.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "platform/random/random.h"
#include "support/literal_wind.h"
#include "support/noise_plane.h"
#include "support/photo_planes.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;
using vmktest::Mean;

uint32_t FixedSecond() { return 4242; }

class WindBrightness : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    vmktest::SessionTest::SetUp();
    plat::SetTimeSeedFunction(FixedSecond);
  }
  void TearDown() override {
    plat::SetTimeSeedFunction(nullptr);
    vmktest::SessionTest::TearDown();
  }

  static Plane Wind(Plane p, int32_t w, int32_t h, int16_t length, int16_t angle,
                    int16_t randomness, const unsigned char* mask = nullptr) {
    EXPECT_EQ(Effects::Wind(0, 255, p.data(), h, w, 0, 0, w - 1, h - 1, mask, length, angle,
                            randomness),
              0);
    return p;
  }
};

// The mean of the wind over the whole plane in exact arithmetic: the same walk, draws and
// streaks, each step's mean kept whole.
double ExactWindMean(const Plane& plane, int32_t w, int32_t h, uint32_t seed, int32_t length,
                     int32_t angle, int32_t randomness) {
  std::vector<double> work(plane.begin(), plane.end());
  double sum = 0.0;
  plat::SeedRandom(seed);
  const double theta = angle * 3.141592654 / 180.0;
  const float c = static_cast<float>(std::cos(theta)), sn = static_cast<float>(std::sin(theta));
  const bool leftward = vmktest::WindStepsLeft(static_cast<int16_t>(length), static_cast<int16_t>(angle),
                                               static_cast<int16_t>(randomness));
  for (int32_t n = 0; n < h; ++n) {
    const int32_t y = angle < 180 ? n : h - 1 - n;
    for (int32_t m = 0; m < w; ++m) {
      const int32_t x = leftward ? w - 1 - m : m;
      const double v = work[static_cast<size_t>(y) * w + x];
      const auto cut = static_cast<int32_t>(std::floor(length * (plat::Random() / 2147483647.0)));
      const int32_t streak = length - cut * randomness / 10;
      for (int32_t k = 0; k < streak; ++k) {
        const int32_t tx = std::clamp(x + static_cast<int32_t>(c * static_cast<float>(k)), 0, w - 1);
        const int32_t ty = std::clamp(y + static_cast<int32_t>(sn * static_cast<float>(k)), 0, h - 1);
        double& t = work[static_cast<size_t>(ty) * w + tx];
        const int32_t wk = k / 4;
        t = (v * wk + t * (length - wk)) / length;
      }
      sum += v;
    }
  }
  return sum / (static_cast<double>(w) * h);
}

struct Setting {
  int16_t length, angle, randomness;
};

// Every length of the dialog (0..50) with its default angle, at no randomness and the most;
// the lengths the darkening was seen at, at angles on every side.
std::vector<Setting> DialogSettings() {
  std::vector<Setting> out;
  for (int16_t length = 0; length <= 50; ++length)
    for (const int16_t randomness : {0, 10}) out.push_back({length, 45, randomness});
  for (const int16_t length : {18, 30, 50})
    for (const int16_t angle : {0, 90, 135, 180, 200, 270, 315, 360})
      for (const int16_t randomness : {0, 7}) out.push_back({length, angle, randomness});
  return out;
}

// On a texture whose every row and column has its mean (so that the streaks, which carry the
// up-wind pixels hundreds of pixels down-wind at the longest lengths, have no brighter or
// darker side to carry), the mean stays within a level at every setting, and the negative
// winds to the negative within a level of mean. Truncated, the texture lost 21 levels at
// length 17 and up to 48 at the longest lengths.
TEST_F(WindBrightness, TheMeanStaysAtEverySettingOfTheDialog) {
  const int32_t w = 600, h = 400;
  const Plane texture = vmktest::EvenTexture(w, h);
  const Plane negative = vmktest::Negative(texture);
  const double before = Mean(texture);
  for (const Setting& s : DialogSettings()) {
    const double after = Mean(Wind(texture, w, h, s.length, s.angle, s.randomness));
    EXPECT_NEAR(after, before, 1.0) << "length " << s.length << " angle " << s.angle
                                    << " randomness " << s.randomness;
    if (s.length % 5 != 0) continue;
    const double mirrored = Mean(Wind(negative, w, h, s.length, s.angle, s.randomness));
    EXPECT_NEAR(255.0 - mirrored, after, 1.0) << "negative, length " << s.length << " angle "
                                              << s.angle << " randomness " << s.randomness;
  }
}

// Through a mask the pixels blend their values in at the mask's weight: the mean still stays.
TEST_F(WindBrightness, ThroughAMaskTheMeanStaysToo) {
  const int32_t w = 600, h = 400;
  const Plane texture = vmktest::EvenTexture(w, h);
  const Plane grain = vmktest::Noise(texture.size(), 5);
  const Plane half(texture.size(), 128);
  const double before = Mean(texture);
  for (const Setting s : {Setting{18, 45, 7}, Setting{30, 45, 0}, Setting{30, 0, 0},
                          Setting{50, 270, 0}, Setting{50, 45, 10}}) {
    for (const Plane* mask : {&grain, &half})
      EXPECT_NEAR(Mean(Wind(texture, w, h, s.length, s.angle, s.randomness, mask->data())),
                  before, 1.0)
          << "length " << s.length << " angle " << s.angle << " randomness " << s.randomness;
  }
}

// On a picture with a brightness trend the streaks themselves move the mean: carried
// down-wind, the darker side of a gradient darkens the rest (by 33 levels here at length 30
// along the gradient, 61 at length 50). The wind's rounding adds nothing to that: its mean
// is the exact walk's within a level (truncated, 64 levels lower at length 30).
TEST_F(WindBrightness, OnAGradientTheMeanIsTheExactStreaks) {
  const int32_t w = 600, h = 400;
  const Plane photo = vmktest::PhotoLike(w, h);
  const Plane negative = vmktest::Negative(photo);
  for (const Setting s : {Setting{18, 45, 7}, Setting{30, 45, 0}, Setting{30, 0, 0},
                          Setting{50, 0, 0}, Setting{50, 90, 10}, Setting{40, 200, 3}}) {
    const double exact = ExactWindMean(photo, w, h, FixedSecond(), s.length, s.angle, s.randomness);
    EXPECT_NEAR(Mean(Wind(photo, w, h, s.length, s.angle, s.randomness)), exact, 1.0)
        << "length " << s.length << " angle " << s.angle << " randomness " << s.randomness;
    EXPECT_NEAR(255.0 - Mean(Wind(negative, w, h, s.length, s.angle, s.randomness)), exact, 1.0)
        << "negative, length " << s.length << " angle " << s.angle;
  }
}

// A flat plane: every step's sum is the length times the level, and its offset stays below
// the length, so no step moves a sample; through a mask too.
TEST_F(WindBrightness, FlatPlanesStayExactlyFlat) {
  const int32_t w = 61, h = 47;
  const Plane mask = vmktest::Noise(static_cast<size_t>(w) * h, 8);
  for (const int v : {0, 1, 77, 128, 254, 255}) {
    const Plane flat(static_cast<size_t>(w) * h, static_cast<unsigned char>(v));
    for (int16_t length = 0; length <= 50; length = static_cast<int16_t>(length + 7))
      for (const int16_t angle : {0, 45, 200, 300})
        for (const int16_t randomness : {0, 10}) {
          ASSERT_EQ(Wind(flat, w, h, length, angle, randomness), flat)
              << "level " << v << " length " << length << " angle " << angle;
          ASSERT_EQ(Wind(flat, w, h, length, angle, randomness, mask.data()), flat)
              << "through a mask, level " << v << " length " << length << " angle " << angle;
        }
  }
}

// The offset a step adds before its division: within 0..length - 1, each value about as often
// as the others over the pixels at every step, and over the steps of one pixel's streak.
TEST(WindStreakOffsets, SpreadEvenlyOverPixelsAndSteps) {
  for (const int32_t length : {1, 2, 7, 18, 30, 50, 181, 255, 4000}) {
    std::vector<int64_t> overPixels(static_cast<size_t>(length), 0);
    std::vector<int64_t> overSteps(static_cast<size_t>(length), 0);
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 256; ++x) {
        const int32_t o = WindStreakOffset(x, y, 4 + (x + y) % 40, length);
        ASSERT_GE(o, 0);
        ASSERT_LT(o, length);
        ++overPixels[static_cast<size_t>(o)];
        const int32_t p = WindStreakOffset(97, 31, 4 + x + 256 * y, length);
        ASSERT_GE(p, 0);
        ASSERT_LT(p, length);
        ++overSteps[static_cast<size_t>(p)];
      }
    if (length > 64) continue;
    for (const std::vector<int64_t>* seen : {&overPixels, &overSteps}) {
      const double expected = 64.0 * 256.0 / length;
      const auto [least, most] = std::minmax_element(seen->begin(), seen->end());
      EXPECT_GT(static_cast<double>(*least), 0.8 * expected) << "length " << length;
      EXPECT_LT(static_cast<double>(*most), 1.2 * expected) << "length " << length;
    }
  }
}

class RadialBrightness : public vmktest::SessionTest {};

// One sample is the pixel itself: zoom and spin, one plane and three, through a mask, over a
// region inside the plane, every pixel stays as it was (the region's border lines too, which
// a count of 1 used to blacken with the rest).
TEST_F(RadialBrightness, OneSampleLeavesThePictureAsItIs) {
  const int32_t w = 97, h = 61;
  const Plane r = vmktest::PhotoLike(w, h), g = vmktest::Noise(r.size(), 2), b = vmktest::Negative(r);
  const Plane mask = vmktest::Noise(r.size(), 3);
  for (const int16_t kind : {0, 1})
    for (const int16_t channels : {1, 3})
      for (const bool masked : {false, true}) {
        Plane pr = r, pg = g, pb = b;
        ASSERT_EQ(Effects::RadialBlur(0, 255, pr.data(), pg.data(), pb.data(), h, w, 5, 3, w - 8,
                                      h - 2, masked ? mask.data() : nullptr, channels, 1, 30, 70,
                                      kind),
                  0);
        EXPECT_EQ(pr, r) << "kind " << kind << " channels " << channels << " masked " << masked;
        EXPECT_EQ(pg, g) << "kind " << kind << " channels " << channels << " masked " << masked;
        EXPECT_EQ(pb, b) << "kind " << kind << " channels " << channels << " masked " << masked;
      }
}

// Counts of 2 and more average their samples as before. Three pixels inside the region's
// border (the border lines average nothing and take 0, as documented, and a pixel next to
// them may find its few samples all on them) the mean of a texture moves by at most a level
// and a flat plane stays flat.
TEST_F(RadialBrightness, MoreSamplesKeepTheMeanInsideTheBorder) {
  const int32_t w = 600, h = 400, margin = 3;
  const Plane texture = vmktest::EvenTexture(w, h);
  const auto inside = [&](const Plane& p) {
    double sum = 0.0;
    for (int32_t y = margin; y < h - margin; ++y)
      for (int32_t x = margin; x < w - margin; ++x) sum += p[static_cast<size_t>(y) * w + x];
    return sum / (static_cast<double>(w - 2 * margin) * (h - 2 * margin));
  };
  const double before = inside(texture);
  const Plane flat(texture.size(), 77);
  for (const int16_t kind : {0, 1})
    for (const int16_t count : {2, 3, 4, 9, 25, 100}) {
      Plane p = texture;
      ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1,
                                    nullptr, 1, count, 40, 60, kind),
                0);
      EXPECT_NEAR(inside(p), before, 1.0) << "kind " << kind << " count " << count;
      p = flat;
      ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, h, w, 0, 0, w - 1, h - 1,
                                    nullptr, 1, count, 40, 60, kind),
                0);
      EXPECT_EQ(inside(p), 77.0) << "kind " << kind << " count " << count;
    }
}

}  // namespace
