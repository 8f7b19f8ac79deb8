#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

// Five ramp rows: opacity 255, then the identity in row 1 and constants in
// rows 2 to 4.
std::vector<unsigned char> Ramps(int opacity = 255) {
  std::vector<unsigned char> t(5 * 256);
  for (int i = 0; i < 256; ++i) {
    t[i] = static_cast<unsigned char>(opacity);
    t[256 + i] = static_cast<unsigned char>(i);
    t[512 + i] = 77;
    t[768 + i] = 0;
    t[1024 + i] = 255;
  }
  return t;
}

// Which pixels of a w x h plane a line paints (value 200, full strength).
Plane Line(int w, int h, int16_t sx, int16_t sy, int16_t ex, int16_t ey) {
  Plane p(static_cast<size_t>(w) * h, 0);
  DrawLine(0, 255, p.data(), nullptr, h, w, sx, sy, ex, ey, 200, 255);
  return p;
}

TEST(LinePainter, VerticalStopsShortAndHorizontalKeepsBothEnds) {
  Plane v = Line(3, 7, 0, 0, 0, 5);
  for (int y = 0; y < 7; ++y) EXPECT_EQ(v[y * 3], y < 5 ? 200 : 0) << y;
  Plane h = Line(7, 2, 0, 0, 5, 0);
  for (int x = 0; x < 7; ++x) EXPECT_EQ(h[x], x <= 5 ? 200 : 0) << x;
}

TEST(LinePainter, SlopedLineIsConnectedWhicheverEndComesFirst) {
  const Plane expected = {200, 200, 0, 0, 0,  //
                          0, 200, 200, 200, 0,  //
                          0, 0, 0, 200, 200};
  EXPECT_EQ(Line(5, 3, 0, 0, 4, 2), expected);
  EXPECT_EQ(Line(5, 3, 4, 2, 0, 0), expected);
  // Steep: every row between the columns' rows is filled.
  const Plane steep = Line(2, 5, 0, 0, 1, 4);
  EXPECT_EQ(steep, (Plane{200, 200, 0, 200, 0, 200, 0, 200, 0, 200}));
}

TEST(LinePainter, StrengthMixesAndPointsOffThePlaneAreSkipped) {
  Plane p(4, 100);
  DrawLine(0, 255, p.data(), nullptr, 1, 4, 0, 0, 9, 0, 200, 128);
  EXPECT_EQ(p, Plane(4, (127 * 100 + 128 * 200) / 255));
  Plane q(4, 100);
  DrawLine(0, 255, q.data(), nullptr, 2, 2, -3, -3, 1, 1, 0, 255);
  EXPECT_EQ(q, (Plane{0, 0, 100, 0}));
}

class Gradient : public vmktest::SessionTest {};

TEST_F(Gradient, CircleRunsFromCentreToTheLongSidesMidPoints) {
  // 9 x 5: centre (4, 2); farthest side mid-points (0, 2) and (8, 2), R = 4.
  Plane p(45, 50);
  const auto t = Ramps();
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 5, 9, 0, 0, 8, 4, 1, nullptr, t.data(), 0, 50,
                               50, 100, 1, 0),
            0);
  EXPECT_EQ(p[2 * 9 + 4], 0);
  EXPECT_EQ(p[2 * 9 + 2], 128);    // d = 2: 127.5 rounds up
  EXPECT_EQ(p[2 * 9 + 0], 255);
  EXPECT_EQ(p[2 * 9 + 8], 255);
  EXPECT_EQ(p[0], 255);            // beyond R, capped
  EXPECT_EQ(p[0 * 9 + 4], 128);    // top mid-point, d = 2
}

TEST_F(Gradient, AColourRowOutsideTheTableIsRefused) {
  // The table holds rows 0..4, exactly as allocated here: row 5 would be
  // read past its end.
  const auto t = Ramps();
  for (int16_t row : {5, -1, 32767, -32768}) {
    Plane p(45, 50);
    EXPECT_EQ(Effects::ColorCirc(0, 255, p.data(), 5, 9, 0, 0, 8, 4, row, nullptr, t.data(), 0,
                                 50, 50, 100, 1, 0),
              -1)
        << row;
    EXPECT_EQ(p, Plane(45, 50)) << row;
  }
  // The last row paints its constant; row 0 paints the opacity row itself.
  for (const auto& [row, value] : {std::pair<int16_t, int>{4, 255}, {0, 255}}) {
    Plane p(45, 50);
    ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 5, 9, 0, 0, 8, 4, row, nullptr, t.data(), 0,
                                 50, 50, 100, 1, 0),
              0);
    EXPECT_EQ(p, Plane(45, static_cast<unsigned char>(value))) << row;
  }
}

TEST_F(Gradient, ACentreFarOutsideTheRegionStillMeasuresDistances) {
  // 500 x 2 with the centre at 32767 % of the width: cx = 163507, so the
  // squared distances pass 2^31. R is the distance to the left mid-point
  // (0, 0); t falls from 255 at the left to 254 at the right.
  Plane p(1000, 50);
  const auto t = Ramps();
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 2, 500, 0, 0, 499, 1, 1, nullptr, t.data(), 0,
                               32767, 0, 100, 1, 0),
            0);
  EXPECT_EQ(p[0], 255);
  EXPECT_EQ(p[499], 254);
  for (int x = 1; x < 500; ++x) EXPECT_LE(p[x], p[x - 1]) << x;
  EXPECT_EQ(p[500 + 499], 254);
}

TEST_F(Gradient, DiamondShiftAndRampOpacity) {
  const auto t = Ramps();
  Plane p(45, 50);
  // Diamond: M = 4 (side mid-points), t = d * 255 / 4 rounded; shift 10
  // moves entry t to t + 10, wrapping past 255 onto 1..255.
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 5, 9, 0, 0, 8, 4, 1, nullptr, t.data(), 10, 50,
                               50, 100, 2, 0),
            0);
  EXPECT_EQ(p[2 * 9 + 4], 10);
  EXPECT_EQ(p[2 * 9 + 3], 64 + 10);   // 63.75 + 0.5
  EXPECT_EQ(p[2 * 9 + 0], 10);        // t = 255 wraps to 265 - 255
  EXPECT_EQ(p[1 * 9 + 1], 10);        // d = 4 as well
  EXPECT_EQ(p[0], 10);                // beyond M, capped at 255
  // A ramp of zero opacity paints nothing.
  const auto clear = Ramps(0);
  Plane q(45, 50);
  ASSERT_EQ(Effects::ColorCirc(0, 255, q.data(), 5, 9, 0, 0, 8, 4, 1, nullptr, clear.data(), 0,
                               50, 50, 100, 2, 0),
            0);
  EXPECT_EQ(q, Plane(45, 50));
}

TEST_F(Gradient, FadeZeroPaintsNothingAndDitherRepeats) {
  const auto t = Ramps();
  Plane p(64, 30);
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 8, 8, 0, 0, 7, 7, 1, nullptr, t.data(), 0, 50, 50,
                               0, 1, 40),
            0);
  EXPECT_EQ(p, Plane(64, 30));

  Plane a(64, 30), b(64, 30), plain(64, 30);
  for (Plane* x : {&a, &b}) {
    ASSERT_EQ(Effects::ColorCirc(0, 255, x->data(), 8, 8, 0, 0, 7, 7, 1, nullptr, t.data(), 0, 50,
                                 50, 60, 1, 40),
              0);
  }
  ASSERT_EQ(Effects::ColorCirc(0, 255, plain.data(), 8, 8, 0, 0, 7, 7, 1, nullptr, t.data(), 0, 50,
                               50, 60, 1, 0),
            0);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, plain);
  for (int i = 0; i < 64; ++i) EXPECT_GE(a[i], plain[i]);
}

TEST_F(Gradient, AngularCoversTheRegionAndLeavesTheRest) {
  const auto t = Ramps();
  Plane p(7 * 7, 9);
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 7, 7, 1, 1, 5, 5, 2, nullptr, t.data(), 0, 50, 50,
                               100, 0, 0),
            0);
  for (int y = 0; y < 7; ++y) {
    for (int x = 0; x < 7; ++x) {
      const bool inside = x >= 1 && x <= 5 && y >= 1 && y <= 5;
      EXPECT_EQ(p[y * 7 + x], inside ? 77 : 9) << x << "," << y;
    }
  }
}

TEST_F(Gradient, MaskWeighsTheResult) {
  const auto t = Ramps();
  Plane p(4, 100);
  const Plane mask = {0, 255, 128, 0};
  ASSERT_EQ(Effects::ColorCirc(0, 255, p.data(), 1, 4, 0, 0, 3, 0, 3, mask.data(), t.data(), 0, 0,
                               0, 100, 1, 0),
            0);
  EXPECT_EQ(p, (Plane{100, 0, (127 * 100) / 255, 100}));
}

}  // namespace
