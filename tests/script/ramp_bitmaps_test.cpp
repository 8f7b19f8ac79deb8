#include "script/ramp_bitmaps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/random/random.h"
#include "script/lut_vign_engine.h"
#include "support/session.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint16_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

Rgb Pick(int32_t x, int32_t y, const Rect& rect) {
  Rgb c;
  getVPick(x, y, &rect, &c.r, &c.g, &c.b);
  return c;
}

// Pixel (x, y) of a bitmap w pixels wide: red, green, blue, fourth byte.
std::vector<int> Pixel(const Bytes& bitmap, int32_t w, int32_t x, int32_t y) {
  const uint8_t* p = &bitmap[(static_cast<size_t>(y) * w + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

LutVign Ramp(uint8_t opacity, uint8_t colour) {
  LutVign lut;
  std::fill(std::begin(lut.opacity), std::end(lut.opacity), opacity);
  for (auto& t : lut.colour) std::fill(std::begin(t), std::end(t), colour);
  return lut;
}

TEST(RampBitmaps, CheckerboardAndItsShadings) {
  const Rect r{20, 10, 28, 18};  // 8 x 8 away from the origin
  Bytes pat(8 * 8 * 4, 9);
  build_BufPat(&r, pat.data());
  EXPECT_EQ(Pixel(pat, 8, 0, 0), (std::vector<int>{255, 255, 255, 0}));
  EXPECT_EQ(Pixel(pat, 8, 3, 3), (std::vector<int>{255, 255, 255, 0}));
  EXPECT_EQ(Pixel(pat, 8, 4, 0), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(pat, 8, 0, 4), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(pat, 8, 4, 4), (std::vector<int>{255, 255, 255, 0}));

  // Opacity 0 shows the checkerboard, 255 covers it with black.
  Bytes bar(8 * 8 * 4);
  const LutVign clear = Ramp(0, 0), opaque = Ramp(255, 0);
  EXPECT_EQ(build_BufBarOpa(&r, bar.data(), &clear), 32);
  EXPECT_EQ(bar, pat);
  build_BufBarOpa(&r, bar.data(), &opaque);
  for (size_t i = 0; i < bar.size(); ++i) ASSERT_EQ(bar[i], 0) << i;

  // p(x) = x x 255 / W truncated: the last column of a 10-wide bar is position 229.
  const Rect ten{0, 0, 1, 10};
  LutVign rising = Ramp(0, 0);
  for (int i = 0; i < 256; ++i) rising.opacity[i] = static_cast<uint8_t>(i);
  Bytes row(10 * 4);
  build_BufBarOpa(&ten, row.data(), &rising);
  EXPECT_EQ(Pixel(row, 10, 9, 0)[0], 255 - 229);
  EXPECT_EQ(Pixel(row, 10, 1, 0)[0], 255 - 25);

  // The picker's pattern darkens the white cells by (255 - p(x)) / 255.
  build_BufPickPat(&ten, row.data());
  EXPECT_EQ(Pixel(row, 10, 0, 0), (std::vector<int>{255, 255, 255, 0}));
  EXPECT_EQ(Pixel(row, 10, 4, 0)[0], 0);
  EXPECT_EQ(Pixel(row, 10, 9, 0)[1], 255 - 229);
  uint16_t out = 0;
  getAPick(9, 0, &ten, &out);
  EXPECT_EQ(out, 229);
}

TEST(RampBitmaps, PickerHueInEverySegmentAndBothHalves) {
  const Rect r{100, 50, 120, 110};  // W 60: segments of 10; H 20: middle at 10
  const int32_t x0 = 50, y0 = 100;
  const Rgb mid[6] = {{65535, 32767, 0}, {32767, 65535, 0}, {0, 65535, 32767},
                      {0, 32767, 65535}, {32767, 0, 65535}, {65535, 0, 32767}};
  for (int s = 0; s < 6; ++s) {
    EXPECT_EQ(Pick(x0 + 10 * s + 5, y0 + 10, r), mid[s]) << s;
    EXPECT_EQ(Pick(x0 + 10 * s + 5, y0, r), (Rgb{65535, 65535, 65535})) << s;
    EXPECT_EQ(Pick(x0 + 10 * s + 5, y0 + 20, r), (Rgb{0, 0, 0})) << s;
  }
  // Above the middle towards white, below it towards black.
  EXPECT_EQ(Pick(x0 + 5, y0 + 5, r), (Rgb{65535, 49151, 32767}));
  EXPECT_EQ(Pick(x0 + 5, y0 + 15, r), (Rgb{32767, 16383, 0}));
  EXPECT_EQ(getVPick(x0, y0 + 7, &r, nullptr, nullptr, nullptr), 7);

  // W 62: segments of 10 again; the two columns past them take the segment end's red.
  const Rect wide{0, 0, 20, 62};
  EXPECT_EQ(Pick(59, 10, wide), (Rgb{65535, 0, 6553}));
  EXPECT_EQ(Pick(60, 10, wide), (Rgb{65535, 0, 0}));
  EXPECT_EQ(Pick(61, 10, wide), (Rgb{65535, 0, 0}));
  // Too narrow for a segment: red, never a division by zero.
  const Rect narrow{0, 0, 4, 2};
  EXPECT_EQ(Pick(1, 2, narrow), (Rgb{65535, 0, 0}));

  // The field shows the dark end on its top row and the pure hue at the middle.
  const Rect field{0, 0, 20, 60};
  Bytes bitmap(60 * 20 * 4);
  build_BufPick(0, &field, bitmap.data(), 0, 0, 0);
  for (int32_t x = 0; x < 60; ++x)
    ASSERT_EQ(Pixel(bitmap, 60, x, 0), (std::vector<int>{0, 0, 0, 0}));
  const std::vector<int> hue = Pixel(bitmap, 60, 5, 10);
  EXPECT_EQ(hue[0], 255);
  EXPECT_NEAR(hue[1], 127, 1);
  EXPECT_EQ(hue[2], 0);
  EXPECT_NEAR(Pixel(bitmap, 60, 35, 19)[0], 229, 1);  // next to white at the bottom
}

TEST(RampBitmaps, ColourBarOverTheCheckerboard) {
  const Rect r{0, 0, 8, 8};
  Bytes bar(8 * 8 * 4);
  LutVign lut = Ramp(128, 0);
  for (int i = 0; i < 256; ++i) lut.colour[0][i] = 255;  // red at half opacity
  build_BufBar(&r, bar.data(), &lut, 0, 0, 0);
  EXPECT_EQ(Pixel(bar, 8, 0, 0), (std::vector<int>{255, 127, 127, 0}));  // over white
  EXPECT_EQ(Pixel(bar, 8, 4, 0), (std::vector<int>{128, 0, 0, 0}));      // over black

  // The three-plane bar is the bitmap's bar, byte for byte, whatever the ramp and shift.
  plat::SeedRandom(7);
  for (const auto& [w, h] : {std::pair{8, 8}, {37, 5}, {300, 9}, {1, 1}}) {
    const Rect rect{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
    Random_LutVign(0, &lut);
    const size_t n = static_cast<size_t>(w) * h;
    Bytes bitmap(4 * n), planes(3 * n, 1);
    build_BufBar(&rect, bitmap.data(), &lut, 40, -30, 10);
    build_BufRGBBar(&rect, planes.data(), planes.data() + n, planes.data() + 2 * n, &lut, 40, -30,
                    10);
    for (size_t i = 0; i < n; ++i)
      for (size_t k = 0; k < 3; ++k)
        ASSERT_EQ(planes[k * n + i], bitmap[4 * i + k]) << w << " " << i;
  }
}

// Drawn for a denser screen: the checkerboard's cells keep their size in
// view pixels, every first device pixel of a view pixel is the picture drawn
// at the view's size, and the device pixels between carry the ramp's own
// finer positions. Scale 1 and below are the plain pictures.
TEST(RampBitmaps, PicturesAtTheDevicePixels) {
  plat::SeedRandom(11);
  LutVign lut;
  Random_LutVign(0, &lut);
  const int32_t w = 37, h = 9;
  const Rect view{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
  const size_t n = static_cast<size_t>(w) * h;
  using Draw = void (*)(int32_t, const Rect*, uint8_t*, const LutVign*);
  const Draw draws[4] = {
      [](int32_t s, const Rect* r, uint8_t* b, const LutVign*) { build_BufPatAt(s, r, b); },
      [](int32_t s, const Rect* r, uint8_t* b, const LutVign*) { build_BufPickPatAt(s, r, b); },
      [](int32_t s, const Rect* r, uint8_t* b, const LutVign* l) { build_BufBarOpaAt(s, r, b, l); },
      [](int32_t s, const Rect* r, uint8_t* b, const LutVign* l) { build_BufBarAt(s, r, b, l, 25, 10, -5); }};
  for (int d = 0; d < 4; ++d) {
    SCOPED_TRACE(d);
    Bytes plain(4 * n), none(4 * n, 5);
    draws[d](1, &view, plain.data(), &lut);
    draws[d](0, &view, none.data(), &lut);
    EXPECT_EQ(none, plain);
    for (const int32_t k : {2, 3}) {
      SCOPED_TRACE(k);
      const Rect fine{0, 0, static_cast<int16_t>(h * k), static_cast<int16_t>(w * k)};
      const int32_t fw = w * k;
      Bytes device(4 * n * static_cast<size_t>(k * k));
      draws[d](k, &fine, device.data(), &lut);
      int32_t finer = 0;
      for (int32_t y = 0; y < h * k; ++y)
        for (int32_t x = 0; x < fw; ++x) {
          const std::vector<int> p = Pixel(device, fw, x, y);
          if (x % k == 0 && y % k == 0) {
            ASSERT_EQ(p, Pixel(plain, w, x / k, y / k)) << x << "," << y;
          }
          finer += p != Pixel(device, fw, x - x % k, y - y % k);
        }
      // The checkerboard alone has nothing finer than a view pixel; the ramps do.
      if (d == 0) EXPECT_EQ(finer, 0);
      else EXPECT_GT(finer, w * h / 2);
    }
  }
  // A cell is four view pixels: eight device pixels at scale 2.
  const Rect cells{0, 0, 16, 16};
  Bytes pat(16 * 16 * 4);
  build_BufPatAt(2, &cells, pat.data());
  EXPECT_EQ(Pixel(pat, 16, 7, 7)[0], 255);
  EXPECT_EQ(Pixel(pat, 16, 8, 0)[0], 0);
  EXPECT_EQ(Pixel(pat, 16, 0, 8)[0], 0);
  EXPECT_EQ(Pixel(pat, 16, 8, 8)[0], 255);

  // The three-plane bar is the bitmap's bar at the same scale, byte for byte.
  const Rect fine{0, 0, static_cast<int16_t>(h * 2), static_cast<int16_t>(w * 2)};
  const size_t m = 4 * n;
  Bytes bitmap(4 * m), planes(3 * m, 1);
  build_BufBarAt(2, &fine, bitmap.data(), &lut, 40, -30, 10);
  build_BufRGBBarAt(2, &fine, planes.data(), planes.data() + m, planes.data() + 2 * m, &lut, 40, -30, 10);
  for (size_t i = 0; i < m; ++i)
    for (size_t c = 0; c < 3; ++c) ASSERT_EQ(planes[c * m + i], bitmap[4 * i + c]) << i;
}

TEST(RampBitmaps, ControlPointLines) {
  LutVign lut = Ramp(0, 0);
  InterLutOpa(0, 255, &lut, 128, 255);
  EXPECT_EQ(lut.opacity[0], 0);
  EXPECT_EQ(lut.opacity[64], 127);
  EXPECT_EQ(lut.opacity[128], 255);
  EXPECT_EQ(lut.opacity[192], 126);
  EXPECT_EQ(lut.opacity[255], 0);

  // Within 3 of an end the point snaps to it: one line across the range.
  lut = Ramp(0, 0);
  lut.opacity[20] = 100;
  InterLutOpa(10, 20, &lut, 12, 200);
  EXPECT_EQ(lut.opacity[10], 200);
  EXPECT_EQ(lut.opacity[15], 150);
  EXPECT_EQ(lut.opacity[20], 100);
  EXPECT_EQ(lut.opacity[9], 0);
  EXPECT_EQ(lut.opacity[21], 0);
  lut = Ramp(0, 0);
  InterLutOpa(10, 20, &lut, 18, 200);
  EXPECT_EQ(lut.opacity[20], 200);
  EXPECT_EQ(lut.opacity[15], 100);
  lut = Ramp(0, 0);
  InterLutOpa(10, 20, &lut, 17, 210);  // not within 3: the point stays
  EXPECT_EQ(lut.opacity[17], 210);
  EXPECT_EQ(lut.opacity[20], 0);
  EXPECT_EQ(lut.opacity[12], 60);

  // A range reaching past the ramp is cut to it.
  lut = Ramp(0, 0);
  InterLutOpa(-20, 300, &lut, 128, 255);
  EXPECT_EQ(lut.opacity[0], 0);
  EXPECT_EQ(lut.opacity[128], 255);

  // Colours: tables 1 to 3 each to their own value; table 4 and the opacity stay.
  lut = Ramp(9, 0);
  InterLutCol(0, 100, &lut, 50, 100, 200, 50);
  EXPECT_EQ(lut.colour[0][50], 100);
  EXPECT_EQ(lut.colour[1][50], 200);
  EXPECT_EQ(lut.colour[2][25], 25);
  EXPECT_EQ(lut.colour[3][50], 0);
  EXPECT_EQ(lut.opacity[50], 9);
}

class RampEngine : public vmktest::SessionTest {};

TEST_F(RampEngine, BlendsItsSourceIntoThePlanes) {
  const int32_t w = 5, h = 4, n = w * h;
  MiscLutVign engine;
  LutVign lut = Ramp(3, 4), back;
  lut.values[7] = 70;
  engine.SetLutVign(&lut);
  engine.GetLutVign(&back);
  EXPECT_EQ(std::memcmp(&lut, &back, sizeof lut), 0);

  // Source 1 (white), replace, over an area reaching past the planes, half a mask.
  Bytes r(n, 10), g(n, 20), b(n, 30), mask(n, 255);
  for (int32_t i = 0; i < n; i += 2) mask[i] = 0;
  ASSERT_EQ(engine.FillBuf(3, 0, 255, 1, 1, 1, 1, 99, 99, 0, 0, 0, 0, 1.0f, 1.0f, w, h, r.data(),
                           g.data(), b.data(), nullptr, mask.data()),
            0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t i = y * w + x;
      const bool hit = x >= 1 && y >= 1 && mask[i] != 0;
      ASSERT_EQ(r[i], hit ? 255 : 10) << i;
      ASSERT_EQ(b[i], hit ? 255 : 30) << i;
    }

  // One plane at opacity 100: the grey of the white source over the plane.
  Bytes one(n, 40);
  ASSERT_EQ(engine.FillBuf(1, 0, 100, 1, 1, 0, 0, w, h, 0, 0, 0, 0, 1.0f, 1.0f, w, h, one.data(),
                           nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(one, Bytes(n, (155 * 40 + 100 * 255) / 255));

  // Source 0 replaces the planes by themselves.
  Bytes same = r;
  engine.FillBuf(3, 0, 255, 0, 1, 0, 0, w, h, 0, 0, 0, 0, 1.0f, 1.0f, w, h, r.data(), g.data(),
                 b.data(), nullptr, nullptr);
  EXPECT_EQ(r, same);
  EXPECT_EQ(engine.FillBuf(3, 0, 255, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 1.0f, 0, h, r.data(),
                           g.data(), b.data(), nullptr, nullptr),
            -1);
}

}  // namespace
