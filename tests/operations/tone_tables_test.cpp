#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "operations/effects.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

std::vector<int> Lut(int16_t contrast, int16_t brightness, int16_t invert = 0) {
  unsigned char t[256];
  EXPECT_EQ(Effects::CreaLut(t, contrast, brightness, invert), 0);
  return std::vector<int>(t, t + 256);
}

TEST(ContrastTable, IdentityInversionAndLessContrast) {
  const std::vector<int> id = Lut(0, 0);
  const std::vector<int> inv = Lut(0, 0, 1);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(id[i], i);
    EXPECT_EQ(inv[i], 255 - i);
  }
  // Less contrast spans 50..205 and ignores the brightness.
  const std::vector<int> flat = Lut(-50, 0);
  EXPECT_EQ(flat[0], 50);
  EXPECT_EQ(flat[255], 205);
  EXPECT_EQ(flat[128], 128 * 155 / 255 + 50);
  EXPECT_EQ(Lut(-50, 120), flat);
  EXPECT_EQ(Lut(-50, -120), flat);
}

TEST(ContrastTable, BrightnessRampsAndThresholds) {
  const std::vector<int> bright = Lut(0, 40);
  for (int i = 0; i <= 215; ++i) EXPECT_EQ(bright[i], i + 40) << i;
  for (int i = 215; i < 256; ++i) EXPECT_EQ(bright[i], 255) << i;
  const std::vector<int> dark = Lut(0, -40);
  for (int i = 0; i <= 40; ++i) EXPECT_EQ(dark[i], 0) << i;
  EXPECT_EQ(dark[41], 1);
  EXPECT_EQ(dark[255], 215);

  // Contrast 100: black up to 100, white from 155, a ramp between.
  const std::vector<int> steep = Lut(100, 0);
  EXPECT_EQ(steep[99], 0);
  EXPECT_EQ(steep[100], 0);
  EXPECT_EQ(steep[127], 255 * 27 / 55);
  EXPECT_EQ(steep[155], 255);
  EXPECT_EQ(steep[200], 255);

  // From 128 on there is no ramp: the white entries, written last, set the
  // threshold at 255 - contrast - brightness.
  const std::vector<int> threshold = Lut(200, 0);
  for (int i = 0; i < 55; ++i) EXPECT_EQ(threshold[i], 0) << i;
  for (int i = 55; i < 256; ++i) EXPECT_EQ(threshold[i], 255) << i;
  const std::vector<int> shifted = Lut(200, 20);
  EXPECT_EQ(shifted[34], 0);
  EXPECT_EQ(shifted[35], 255);

  // Brightness beyond a full shift is held at it.
  EXPECT_EQ(Lut(0, 1000), Lut(0, 255));
  EXPECT_EQ(Lut(0, 255), std::vector<int>(256, 255));
  EXPECT_EQ(Lut(0, -1000), std::vector<int>(256, 0));
  EXPECT_EQ(Lut(30, 32000), Lut(30, 255));
}

TEST(TableApply, RowsPerChannelMaskAndRegion) {
  // Two channels: row 0 inverts, row 1 is the identity.
  unsigned char tables[2][256];
  for (int i = 0; i < 256; ++i) {
    tables[0][i] = static_cast<unsigned char>(255 - i);
    tables[1][i] = static_cast<unsigned char>(i);
  }
  Plane buf = {10, 20, 30, 40, 50, 60};  // 3 x 1 pixels, 2 channels
  ASSERT_EQ(Effects::Etch(0, 255, buf.data(), 1, 3, 0, 0, 1, 0, 2, nullptr, tables[0]), 0);
  EXPECT_EQ(buf, (Plane{245, 20, 225, 40, 50, 60}));  // the third pixel lies outside

  // The identity leaves the buffer alone at any opacity in mode 0.
  const Plane before = buf;
  for (int16_t opacity : {0, 1, 77, 128, 255}) {
    ASSERT_EQ(Effects::Etch(0, opacity, buf.data(), 3, 1, 0, 0, 0, 2, 1, nullptr, tables[1]), 0);
    EXPECT_EQ(buf, before);
  }

  // Mask weights: 255 full, 0 none, 102 with opacity 255 weighs 102.
  Plane plane = {100, 100, 100};
  const Plane mask = {255, 0, 102};
  ASSERT_EQ(Effects::Etch(0, 255, plane.data(), 1, 3, 0, 0, 2, 0, 1, mask.data(), tables[0]), 0);
  EXPECT_EQ(plane, (Plane{155, 100, (153 * 100 + 102 * 155) / 255}));
}

TEST(TableApply, AdjContrastGivesEveryChannelTheSameTable) {
  // Six channels a pixel: more than a table set holds rows for.
  Plane buf = {0, 50, 100, 150, 200, 255};
  ASSERT_EQ(Effects::AdjContrast(0, 255, buf.data(), 1, 1, 0, 0, 0, 0, 6, nullptr, 0, 40, 1), 0);
  const std::vector<int> t = Lut(0, 40, 1);
  EXPECT_EQ(buf, (Plane{static_cast<unsigned char>(t[0]), static_cast<unsigned char>(t[50]),
                        static_cast<unsigned char>(t[100]), static_cast<unsigned char>(t[150]),
                        static_cast<unsigned char>(t[200]), static_cast<unsigned char>(t[255])}));
}

TEST(ChannelLevels, BrightnessStepsInPercent) {
  auto shift = [](int32_t percent, int value) {
    Plane p = {static_cast<unsigned char>(value)};
    EXPECT_EQ(Effects::AdjustChan(0, 255, 1, 1, p.data(), nullptr, 0, 0, 0, 0, percent, 0), 0);
    return static_cast<int>(p[0]);
  };
  EXPECT_EQ(shift(10, 100), 126);   // 10 x 2.55 + 0.5 = 26.0
  EXPECT_EQ(shift(-10, 100), 75);   // -25.5 + 0.5 = -25.0
  EXPECT_EQ(shift(50, 100), 227);   // 127.4999... + 0.5 truncates to 127
  EXPECT_EQ(shift(10, 250), 255);
  EXPECT_EQ(shift(-10, 10), 0);

  // Opacity weighs the shift; the contrast then acts through the mask only.
  Plane p = {100, 100};
  const Plane mask = {255, 0};
  ASSERT_EQ(Effects::AdjustChan(0, 128, 1, 2, p.data(), mask.data(), 0, 0, 1, 0, 10, 200), 0);
  // (127 * 100 + 128 * 126) / 255 = 113, then the threshold at 55: white.
  EXPECT_EQ(p, (Plane{255, 100}));
}

class RGBLevels : public vmktest::SessionTest {
 protected:
  // One pixel per column: (r, g, b) triples.
  void Set(std::initializer_list<std::array<int, 3>> px) {
    r.clear();
    g.clear();
    b.clear();
    for (const auto& p : px) {
      r.push_back(static_cast<unsigned char>(p[0]));
      g.push_back(static_cast<unsigned char>(p[1]));
      b.push_back(static_cast<unsigned char>(p[2]));
    }
  }
  void Run(int32_t sr, int32_t sg, int32_t sb, int32_t contrast, int32_t range,
           int16_t opacity = 255) {
    const int32_t w = static_cast<int32_t>(r.size());
    Effects::AdjustRGBChan(0, opacity, 1, w, r.data(), g.data(), b.data(), nullptr, 0, 0, w - 1,
                           0, sr, sg, sb, contrast, range);
  }
  Plane r, g, b;
};

TEST_F(RGBLevels, AllTonesShiftEachChannelThenApplyTheTable) {
  Set({{100, 100, 100}, {250, 0, 5}});
  Run(10, -10, 0, 0, 0);
  EXPECT_EQ(r, (Plane{126, 255}));
  EXPECT_EQ(g, (Plane{75, 0}));
  EXPECT_EQ(b, (Plane{100, 5}));
  // With contrast -50 after a zero shift every value goes through the table.
  Set({{0, 128, 255}});
  Run(0, 0, 0, -50, 0);
  EXPECT_EQ(r[0], 50);
  EXPECT_EQ(g[0], 128 * 155 / 255 + 50);
  EXPECT_EQ(b[0], 205);
  EXPECT_EQ(gPer->memMan->count(), 0);
}

TEST_F(RGBLevels, TonalRangesWeighByLightness) {
  // Mid-tones: L = (2r + g) / 3. Full weight at L = 128, none at 0, 1/128
  // at 255 (the table's share; a 100 % shift weighs 100 / 128 = 0).
  Set({{128, 128, 128}, {0, 0, 200}, {255, 255, 0}});
  Run(0, 0, 0, -50, 2);
  EXPECT_EQ(r[0], 128 * 155 / 255 + 50);
  EXPECT_EQ(b[1], 200);
  EXPECT_EQ(r[2], (205 + 127 * 255) / 128);
  EXPECT_EQ(b[2], (50 + 127 * 0) / 128);
  Set({{128, 128, 0}, {255, 255, 0}});
  Run(0, 0, 40, 0, 2);
  EXPECT_EQ(b, (Plane{102, 0}));  // 40 % = 102 at full weight

  // Highlights: full shift at L = 255, none at L = 0; shadows the reverse.
  Set({{255, 255, 0}, {0, 0, 0}});
  Run(0, 0, 100, 0, 1);
  EXPECT_EQ(b, (Plane{255, 0}));
  Set({{255, 255, 0}, {0, 0, 0}});
  Run(0, 0, 100, 0, 3);
  EXPECT_EQ(b, (Plane{0, 255}));
}

// An unknown range changes nothing. The levels work a run at a time on the band's stack and
// take no work memory, so a refusal of work memory no longer stops them: the same bytes as with
// memory.
TEST_F(RGBLevels, UnknownRangeChangesNothingAndNoWorkMemoryIsTaken) {
  Set({{10, 20, 30}, {40, 50, 60}});
  const Plane r0 = r, g0 = g, b0 = b;
  Run(50, 50, 50, 80, 4);
  Run(50, 50, 50, 80, -1);
  EXPECT_EQ(r, r0);
  EXPECT_EQ(g, g0);
  EXPECT_EQ(b, b0);
  Run(50, 50, 50, 80, 0);
  const Plane r1 = r, g1 = g, b1 = b;
  ASSERT_NE(r1, r0);
  Set({{10, 20, 30}, {40, 50, 60}});
  vmktest::NoWorkMemory none;
  Run(50, 50, 50, 80, 0);
  none.End();
  EXPECT_EQ(r, r1);
  EXPECT_EQ(g, g1);
  EXPECT_EQ(b, b1);
}

}  // namespace
