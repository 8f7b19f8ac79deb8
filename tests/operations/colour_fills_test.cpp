#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

// A ramp of five rows: opacity, then four channel rows.
struct Ramp {
  unsigned char rows[5][256];
  explicit Ramp(int opacity) {
    for (int i = 0; i < 256; ++i) {
      rows[0][i] = static_cast<unsigned char>(opacity);
      for (int k = 1; k < 5; ++k) rows[k][i] = static_cast<unsigned char>(i);
    }
  }
  const unsigned char* data() const { return rows[0]; }
};

TEST(Fill, StrengthMixesTheColourInBeforeTheKernel) {
  Plane buf = {10, 20, 30, 40, 50, 60};  // 2 pixels of 3 channels
  const unsigned char colour[3] = {200, 100, 0};
  int16_t k = 255;
  ASSERT_EQ(Effects::Fill(0, 255, buf.data(), 1, 2, 0, 0, 1, 0, 3, nullptr, colour, &k), 0);
  EXPECT_EQ(buf, (Plane{200, 100, 0, 200, 100, 0}));
  k = 0;
  ASSERT_EQ(Effects::Fill(0, 255, buf.data(), 1, 2, 0, 0, 1, 0, 3, nullptr, colour, &k), 0);
  EXPECT_EQ(buf, (Plane{200, 100, 0, 200, 100, 0}));

  // Half strength, then the add mode, through a mask that spares pixel 1.
  Plane p = {100, 100};
  const Plane mask = {255, 0};
  const unsigned char grey[1] = {200};
  k = 102;
  ASSERT_EQ(Effects::Fill(1, 255, p.data(), 1, 2, 0, 0, 1, 0, 1, mask.data(), grey, &k), 0);
  EXPECT_EQ(p, (Plane{240, 100}));  // add: 100 + (153 * 100 + 102 * 200) / 255
  // Region outside the plane is clamped; a null strength is refused.
  EXPECT_EQ(Effects::Fill(0, 255, p.data(), 1, 2, -4, -4, 9, 9, 1, nullptr, grey, nullptr), -1);
  EXPECT_EQ(p, (Plane{240, 100}));
}

TEST(ColourRange, RecoloursOnlyColoursNearTheReference) {
  // Pixel 0 is the reference colour, pixel 1 a blue far from it.
  const Plane sr = {200, 50}, sg = {50, 50}, sb = {50, 200};
  Plane tr = {1, 1}, tg = {2, 2}, tb = {3, 3};
  const unsigned char reference[3] = {200, 50, 50};
  const unsigned char recolour[3] = {9, 99, 199};
  ASSERT_EQ(Effects::ColorRange(0, 255, 3, sr.data(), sg.data(), sb.data(), 1, 2, 3, tr.data(),
                                tg.data(), tb.data(), 0, 0, 0, 0, 1, 0, nullptr, 20, recolour,
                                reference),
            0);
  EXPECT_EQ(tr, (Plane{9, 1}));
  EXPECT_EQ(tg, (Plane{99, 2}));
  EXPECT_EQ(tb, (Plane{199, 3}));

  // A one-plane target takes only the new colour's red.
  Plane single = {1, 1};
  ASSERT_EQ(Effects::ColorRange(0, 255, 3, sr.data(), sg.data(), sb.data(), 1, 2, 1,
                                single.data(), nullptr, nullptr, 0, 0, 0, 0, 1, 0, nullptr, 20,
                                recolour, reference),
            0);
  EXPECT_EQ(single, (Plane{9, 1}));
}

class ColourFrame : public vmktest::SessionTest {
 protected:
  Plane Picture() {
    Plane p(100);
    for (int i = 0; i < 100; ++i) p[i] = static_cast<unsigned char>(i + 100);
    return p;
  }
};

TEST_F(ColourFrame, FullInnerRectangleGetsAOnePixelBand) {
  Plane p = Picture();
  const Plane before = p;
  const unsigned char colour = 7;
  ASSERT_EQ(Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, nullptr, &colour, 100, 100, 0, 0),
            0);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool band = x == 0 || x == 9 || y == 0 || y == 9;
      EXPECT_EQ(p[y * 10 + x], band ? 7 : before[y * 10 + x]) << x << "," << y;
    }
  }
  // A mask of 0 keeps the band's samples.
  p = Picture();
  const Plane none(100, 0);
  ASSERT_EQ(
      Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, none.data(), &colour, 100, 100, 0, 0), 0);
  EXPECT_EQ(p, before);
  EXPECT_EQ(gPer->memMan->count(), 0);
}

TEST_F(ColourFrame, OuterPercentWidensTheBand) {
  Plane p = Picture();
  const unsigned char colour = 7;
  // Inner 50 %: half sizes 4.5, so the inner rectangle runs 2..6; outer
  // 100 % reaches the region's edge.
  ASSERT_EQ(Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, nullptr, &colour, 50, 50, 100, 100),
            0);
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool inside = x > 2 && x < 6 && y > 2 && y < 6;
      if (!inside) {
        EXPECT_EQ(p[y * 10 + x], 7) << x << "," << y;
      }
    }
  }
  // Outer 0 %: only the inner rectangle's own border; the rest keeps the
  // old picture.
  p = Picture();
  ASSERT_EQ(Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, nullptr, &colour, 50, 50, 0, 0), 0);
  EXPECT_EQ(p[2 * 10 + 2], 7);
  EXPECT_EQ(p[6 * 10 + 4], 7);
  EXPECT_EQ(p[0], 100);
  EXPECT_EQ(p[99], 199);

  // Without work memory nothing changes.
  p = Picture();
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, nullptr, &colour, 50, 50, 100, 100),
            -1);
  none.End();
  EXPECT_EQ(p, Picture());
}

TEST_F(ColourFrame, PercentagesFarOutOfRangeCutTheBandAtThePlane) {
  // 20000 x 1: the inner rectangle reaches millions of columns past both
  // ends, and the outer percentages push its products past 32 bits. The
  // single row is on the inner rectangle's border, so all of it is band.
  Plane p(20000, 40);
  const unsigned char colour = 7;
  ASSERT_EQ(Effects::ColorFrame(p.data(), 1, 20000, 0, 0, 19999, 0, nullptr, &colour, 32767,
                                100, -32768, 100),
            0);
  EXPECT_EQ(p, Plane(20000, 7));
}

TEST_F(ColourFrame, InnerRectangleBeyondSixteenBitsTakesNoPicture) {
  // Inner 2000000 %: the inner rectangle runs to -89995 .. 90004, which no
  // rectangle can hold. The picture is not rescaled, and the whole plane lies
  // inside the inner rectangle, so no band either.
  Plane p = Picture();
  const unsigned char colour = 7;
  ASSERT_EQ(Effects::ColorFrame(p.data(), 10, 10, 0, 0, 9, 9, nullptr, &colour, 2000000, 2000000,
                                100, 100),
            0);
  EXPECT_EQ(p, Picture());
  EXPECT_EQ(gPer->memMan->count(), 0);
}

TEST(ColourBar, StripesAlongTheAxisAndTransparentEntries) {
  // Axis 0..9 (length 9), three stripes of 3 columns; entry 16 leaves its
  // stripe alone.
  Plane p(20, 1);
  const unsigned char pattern[3] = {0, 16, 1};
  unsigned char colours[16] = {};
  colours[0] = 10;
  colours[1] = 20;
  ASSERT_EQ(Effects::ColorBar(p.data(), 2, 10, 0, 0, 9, 1, 3, pattern, colours, 0), 0);
  const Plane row = {10, 10, 1, 1, 1, 20, 20, 20, 10, 10};
  EXPECT_EQ(Plane(p.begin(), p.begin() + 10), row);
  EXPECT_EQ(Plane(p.begin() + 10, p.end()), row);
  // A period of 0 would divide by zero: refused.
  EXPECT_EQ(Effects::ColorBar(p.data(), 2, 10, 0, 0, 9, 1, 0, pattern, colours, 0), -1);
}

TEST(ColourBar, TurnedAxisStaysInsideThePattern) {
  // At 45 degrees many pixels project before the axis's start; every
  // stripe index must stay within the pattern (entries 16 mark misses).
  Plane p(32 * 32, 0);
  const unsigned char pattern[4] = {0, 1, 2, 3};
  const unsigned char colours[16] = {11, 22, 33, 44};
  ASSERT_EQ(Effects::ColorBar(p.data(), 32, 32, 0, 0, 31, 31, 4, pattern, colours, 45), 0);
  for (unsigned char v : p) EXPECT_TRUE(v == 11 || v == 22 || v == 33 || v == 44) << int(v);
}

TEST(ColourRamp, PlaneRampWrapsAtTheAxisEnd) {
  const Ramp ramp(255);
  Plane p(256, 0);
  ASSERT_EQ(Effects::ColorWavePlane(p.data(), 1, 256, 0, 0, 255, 0, 0, ramp.data(), 0, 1), 0);
  for (int x = 0; x < 255; ++x) EXPECT_EQ(p[x], x);
  EXPECT_EQ(p[255], 0);  // 255 mod 255
  // Twice along the axis.
  ASSERT_EQ(Effects::ColorWavePlane(p.data(), 1, 256, 0, 0, 255, 0, 0, ramp.data(), 0, 2), 0);
  EXPECT_EQ(p[10], 20);
  EXPECT_EQ(p[200], 400 % 255);
  // Opacity 0 keeps the plane.
  const Ramp clear(0);
  Plane q(256, 33);
  ASSERT_EQ(Effects::ColorWavePlane(q.data(), 1, 256, 0, 0, 255, 0, 0, clear.data(), 0, 1), 0);
  EXPECT_EQ(q, Plane(256, 33));
}

TEST(ColourRamp, ZeroDegreesRunsLeftToRightAndTheOffsetFoldsBack) {
  const Ramp ramp(255);
  Plane r(2 * 256, 0), g(2 * 256, 0), b(2 * 256, 0);
  ASSERT_EQ(Effects::ColorWave(0, 255, r.data(), g.data(), b.data(), nullptr, 2, 256, 0, 0, 255,
                               1, 1, 3, nullptr, ramp.data(), 0, 0),
            0);
  for (int x = 0; x < 256; ++x) {
    EXPECT_EQ(r[x], x);
    EXPECT_EQ(b[256 + x], x);
  }
  // Offset 50: shifted, mirrored beyond 255, counted again from the offset.
  ASSERT_EQ(Effects::ColorWave(0, 255, r.data(), g.data(), b.data(), nullptr, 2, 256, 0, 0, 255,
                               1, 1, 3, nullptr, ramp.data(), 50, 0),
            0);
  EXPECT_EQ(r[0], 0);
  EXPECT_EQ(r[100], 100);
  EXPECT_EQ(r[205], 205);
  EXPECT_EQ(r[255], 155);
}

TEST(ColourRamp, InterleavedKindsAndChannels) {
  const Ramp ramp(255);
  // Kind 1 runs across the region whatever the angle.
  Plane buf(4 * 2, 0);  // 4 pixels of 2 channels
  ASSERT_EQ(Effects::ColorWave(0, 255, buf.data(), 1, 4, 0, 0, 3, 0, 1, 2, nullptr, ramp.data(),
                               0, 90, 1),
            0);
  EXPECT_EQ(buf, (Plane{0, 0, 85, 85, 170, 170, 255, 255}));
  // No width, no height: refused.
  EXPECT_EQ(Effects::ColorWave(0, 255, buf.data(), 1, 0, 0, 0, 3, 0, 1, 2, nullptr, ramp.data(),
                               0, 0, 0),
            -1);
  EXPECT_EQ(Effects::ColorWaveChan(0, 255, buf.data(), 0, 4, 0, 0, 3, 0, 1, nullptr, ramp.data(),
                                   0, 0, 0),
            -1);
}

TEST(ColourRamp, ChannelFormIgnoresTheOpacityRow) {
  Ramp ramp(0);  // fully transparent, yet the channel form paints
  for (int i = 0; i < 256; ++i) ramp.rows[2][i] = static_cast<unsigned char>(255 - i);
  Plane p(4, 9);
  ASSERT_EQ(Effects::ColorWaveChan(0, 255, p.data(), 1, 4, 0, 0, 3, 0, 1, nullptr, ramp.data(), 0,
                                   0, 1),
            0);
  EXPECT_EQ(p, (Plane{255, 170, 85, 0}));
  // Mask 0 keeps it.
  const Plane mask(4, 0);
  Plane q(4, 9);
  ASSERT_EQ(Effects::ColorWaveChan(0, 255, q.data(), 1, 4, 0, 0, 3, 0, 1, mask.data(),
                                   ramp.data(), 0, 0, 1),
            0);
  EXPECT_EQ(q, Plane(4, 9));
}

TEST(ColourRamp, CmykLayerWithoutAColourModelUsesThePlainConversion) {
  // A pure red ramp: no cyan, full magenta and yellow, no black.
  Ramp ramp(255);
  for (int i = 0; i < 256; ++i) {
    ramp.rows[1][i] = 255;
    ramp.rows[2][i] = 0;
    ramp.rows[3][i] = 0;
  }
  Plane c(4, 1), m(4, 1), y(4, 1), k(4, 1);
  ASSERT_EQ(Effects::ColorWave(0, 255, c.data(), m.data(), y.data(), k.data(), 1, 4, 0, 0, 3, 0,
                               0, 4, nullptr, ramp.data(), 0, 0),
            0);
  EXPECT_EQ(c, Plane(4, 0));
  EXPECT_EQ(m, Plane(4, 255));
  EXPECT_EQ(y, Plane(4, 255));
  EXPECT_EQ(k, Plane(4, 0));
  // The caller's ramp is left as it was.
  EXPECT_EQ(ramp.rows[1][7], 255);
}

}  // namespace
