#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

class StreakBlur : public vmktest::SessionTest {};

TEST_F(StreakBlur, CountOrLengthZeroIsRefused) {
  Plane p(25, 90);
  EXPECT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1,
                                0, 50, 50, 0),
            -1);
  EXPECT_EQ(Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1,
                                0, 30),
            -1);
  EXPECT_EQ(p, Plane(25, 90));
}

TEST_F(StreakBlur, RadialCountOneGathersNothing) {
  // No sample: the kernel receives 0, which replaces in mode 0 and adds
  // nothing in mode 1.
  Plane p(25, 90);
  ASSERT_EQ(Effects::RadialBlur(1, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1,
                                1, 50, 50, 0),
            0);
  EXPECT_EQ(p, Plane(25, 90));
  ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 5, 5, 0, 0, 4, 4, nullptr, 1,
                                1, 50, 50, 1),
            0);
  EXPECT_EQ(p, Plane(25, 0));
}

TEST_F(StreakBlur, RadialCentreAndCornersOfAFlatPlane) {
  for (int16_t kind : {0, 1}) {
    Plane p(49, 100);
    ASSERT_EQ(Effects::RadialBlur(0, 255, p.data(), nullptr, nullptr, 7, 7, 0, 0, 6, 6, nullptr,
                                  1, 4, 50, 50, kind),
              0);
    // The centre (3, 3) samples only inside the region; three corners only
    // on or beyond its border. From (6, 6) the pixel's own position comes
    // back from the angle a hair short, 5.99..., and truncates into the
    // region.
    EXPECT_EQ(p[3 * 7 + 3], 100) << kind;
    for (int corner : {0, 6, 42}) EXPECT_EQ(p[corner], 0) << kind << " " << corner;
    EXPECT_EQ(p[48], 100) << kind;
  }
}

TEST_F(StreakBlur, MotionAlongXAveragesForwardAndZeroesTheBorder) {
  // 5 x 4, angle 0, length 2: the pixel and its right neighbour, counted
  // only strictly inside the region.
  Plane p = {10, 20, 30, 40, 50,  //
             11, 21, 31, 41, 51,  //
             12, 22, 32, 42, 52,  //
             13, 23, 33, 43, 53};
  ASSERT_EQ(Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 4, 5, 0, 0, 4, 3, nullptr, 1,
                                2, 0),
            0);
  EXPECT_EQ(p, (Plane{0, 0, 0, 0, 0,            //
                      21, 26, 36, 41, 0,        //
                      22, 27, 37, 42, 0,        //
                      0, 0, 0, 0, 0}));
}

TEST_F(StreakBlur, OneChannelTouchesRedOnlyAndMaskZeroKeeps) {
  Plane r(36, 60), g(36, 60), b(36, 60);
  ASSERT_EQ(Effects::MotionBlur(0, 255, r.data(), g.data(), b.data(), 6, 6, 0, 0, 5, 5, nullptr, 1,
                                3, 45),
            0);
  EXPECT_NE(r, Plane(36, 60));
  EXPECT_EQ(g, Plane(36, 60));
  EXPECT_EQ(b, Plane(36, 60));

  Plane mask(36, 0);
  mask[14] = 255;
  Plane r3(36, 60), g3(36, 70), b3(36, 80);
  ASSERT_EQ(Effects::RadialBlur(0, 255, r3.data(), g3.data(), b3.data(), 6, 6, 0, 0, 5, 5,
                                mask.data(), 3, 2, 50, 50, 0),
            0);
  for (int i = 0; i < 36; ++i) {
    if (i == 14) continue;
    EXPECT_EQ(r3[i], 60);
    EXPECT_EQ(g3[i], 70);
    EXPECT_EQ(b3[i], 80);
  }
  // Pixel (2, 2) lies inside: all three planes keep their flat value.
  EXPECT_EQ(r3[14], 60);
  EXPECT_EQ(g3[14], 70);
  EXPECT_EQ(b3[14], 80);
}

TEST(StreakBlurWithoutSession, NoWorkPlaneNoChange) {
  Plane p(16, 33);
  EXPECT_EQ(Effects::MotionBlur(0, 255, p.data(), nullptr, nullptr, 4, 4, 0, 0, 3, 3, nullptr, 1,
                                2, 0),
            -1);
  EXPECT_EQ(p, Plane(16, 33));
}

}  // namespace
