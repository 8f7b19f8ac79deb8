#include "raster/pixel_brush.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/random/random.h"

namespace {

// A full-weight square footprint of n x n.
std::vector<int16_t> Full(int n, int16_t w = 4096) { return std::vector<int16_t>(n * n, w); }

TEST(PixelBrushes, PlacementAndTheConstantTarget) {
  // Zoom 2, radius 4 at (10, 10): n = 5 from (3, 3); the origin shifts it.
  const PixelDab d = PlacePixelDab(0, 0, 2, 10, 10, 4);
  EXPECT_EQ(d.n, 5);
  EXPECT_EQ(d.left, 3);
  EXPECT_EQ(d.top, 3);
  EXPECT_EQ(PlacePixelDab(2, -2, 2, 10, 10, 4).left, 4);
  EXPECT_EQ(PlacePixelDab(0, 0, 0, 10, 10, 4).n, 0);
  // Sizes and places beyond the int range make no dab.
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const PixelDab& absurd :
       {PlacePixelDab(0, 0, 1e-30f, 10, 10, 4), PlacePixelDab(0, 0, 1, 10, 10, inf),
        PlacePixelDab(0, 0, 1, nan, 10, 4), PlacePixelDab(0, -inf, 1, 10, 10, 4),
        PlacePixelDab(3e9f, 0, 1, 10, 10, 4)})
    EXPECT_EQ(absurd.n, 0);

  // Half weight toward 200 from 100; the dab hangs over the right edge.
  std::vector<uint8_t> plane(6 * 6, 100);
  const auto f = Full(5, 2048);
  X_Brush_MskRGB(0, 0, 2, 6, 6, plane.data(), f.data(), 10, 10, 4, 200);
  EXPECT_EQ(plane[3 * 6 + 3], 150);
  EXPECT_EQ(plane[5 * 6 + 5], 150);
  EXPECT_EQ(plane[2 * 6 + 3], 100);
  EXPECT_EQ(plane[3 * 6 + 2], 100);
  // A target beyond 255 is held.
  X_Brush_MskRGB(0, 0, 2, 6, 6, plane.data(), Full(5).data(), 10, 10, 4, 900);
  EXPECT_EQ(plane[4 * 6 + 4], 255);
}

TEST(PixelBrushes, CloneAeroEtchAndNoise) {
  const int w = 6, h = 2;
  std::vector<uint32_t> px(w * h, 0x10203040u), src(w * h);
  for (int i = 0; i < w * h; ++i) src[i] = 0x01010101u * i;
  const auto f = Full(3);
  // Radius 1 at (1, 0), zoom 1: columns 0..2 of rows 0..1 (row -1 is off).
  X_Brush_Clone(0, 0, 1, w, h, px.data(), src.data(), f.data(), 1, 0, 1, 4, 0);
  EXPECT_EQ(px[0], src[4]);
  EXPECT_EQ(px[w + 1], src[w + 5]);
  EXPECT_EQ(px[2], 0x10203040u);  // its source column 6 is off the plane
  std::vector<uint8_t> r(w * h, 9), g(w * h, 9), b(w * h, 9), sr(w * h, 1), sg(w * h, 2),
      sb(w * h, 3);
  X_Brush_CloneRGB(0, 0, 1, w, h, r.data(), g.data(), b.data(), sr.data(), sg.data(), sb.data(),
                   f.data(), 1, 0, 1, -1, 0);
  EXPECT_EQ(r[0], 9);
  EXPECT_EQ(g[1], 2);
  EXPECT_EQ(b[w + 2], 3);

  // The airbrush's colour comes as bytes 2, 1, 0, 3.
  std::vector<uint32_t> a(4, 0);
  X_Brush_Aero(0, 0, 1, 2, 2, a.data(), f.data(), 0, 0, 1, 0x33, 0x22, 0x11, 0x44);
  EXPECT_EQ(a[3], 0x44332211u);
  X_Brush_AeroRGB(0, 0, 1, 2, 2, r.data(), g.data(), b.data(), f.data(), 0, 0, 1, 5, 6, 7);
  EXPECT_EQ(r[0] + g[0] + b[0], 18);

  // Etch: each byte toward its own table at its value.
  std::vector<int16_t> t0(256), t1(256), t2(256), t3(256);
  for (int v = 0; v < 256; ++v) {
    t0[v] = static_cast<int16_t>(255 - v);
    t1[v] = static_cast<int16_t>(v / 2);
    t2[v] = 7;
    t3[v] = 300;
  }
  std::vector<uint32_t> e(1, 0x40302010u);
  X_Brush_Etch(0, 0, 1, 1, 1, e.data(), f.data(), 1, 1, 1, t0.data(), t1.data(), t2.data(),
               t3.data());
  EXPECT_EQ(e[0], 0xFF0710EFu);
  X_Brush_EtchRGB(0, 0, 1, 2, 2, r.data(), g.data(), b.data(), f.data(), 0, 0, 1, t0.data(),
                  t1.data(), t2.data());
  EXPECT_EQ(r[0], 250);

  // Noise: four draws per pixel, bytes 0..3, reproducible under a seed.
  std::vector<uint32_t> n(1, 0x00000000u);
  plat::SeedRandom(3);
  X_Brush_Noise(0, 0, 1, 1, 1, n.data(), f.data(), 1, 1, 1);
  plat::SeedRandom(3);
  uint32_t expect = 0;
  for (int k = 0; k < 4; ++k) expect |= static_cast<uint32_t>(plat::Random() % 255) << (8 * k);
  EXPECT_EQ(n[0], expect);
}

TEST(PixelBrushes, MatrixReadsThePictureBeforeTheDab) {
  const int w = 5, h = 4;
  std::vector<uint32_t> px(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) px[y * w + x] = x >= 2 ? 0x5A5A5A5Au : 0;
  const std::vector<uint32_t> orig = px;
  // A box blur, divisor 0 (taken as 1, so 9 times the mean), weight a tenth.
  const std::vector<int16_t> box(9, 1);
  const auto f = Full(5);
  ASSERT_EQ(X_Brush_Matrix(0, 0, 1, w, h, px.data(), f.data(), 2, 2, 2, box.data(), 0), 0);
  // Column 1 sees three columns of 90 on its right: 270, held to 255.
  const uint32_t toward255 = (409 * 255) >> 12;
  EXPECT_EQ(px[1 * w + 1] & 0xFF, toward255);
  // Column 2: 6 x 90 = 540 held to 255 as well, from 90.
  EXPECT_EQ(px[2 * w + 2] & 0xFF, ((4096 - 409) * 90 + 409 * 255) >> 12);
  // The outer rows and columns stay.
  for (int x = 0; x < w; ++x) {
    EXPECT_EQ(px[x], orig[x]);
    EXPECT_EQ(px[(h - 1) * w + x], orig[(h - 1) * w + x]);
  }
  for (int y = 0; y < h; ++y) EXPECT_EQ(px[y * w + w - 1], orig[y * w + w - 1]);
  // Divisor 9: the mean of each neighbourhood as it was before the dab,
  // though the dab changed (1, 2) before it reached (2, 2).
  px = orig;
  X_Brush_Matrix(0, 0, 1, w, h, px.data(), f.data(), 2, 2, 2, box.data(), 9);
  EXPECT_EQ(px[1 * w + 1] & 0xFF, (409 * 30) >> 12);
  EXPECT_EQ(px[2 * w + 2] & 0xFF, ((4096 - 409) * 90 + 409 * 60) >> 12);
}

TEST(PixelBrushes, ComputedMaskLooksUpItsTable) {
  std::vector<int16_t> mask = {100, 200, 300, 400};
  const std::vector<int16_t> p = {8000, 1, 2, 3}, q = {8000, 0, 0, 0};
  std::vector<int16_t> table(8192);
  for (int i = 0; i < 8192; ++i) table[i] = static_cast<int16_t>(i);
  std::vector<int16_t> f = {4096, 0, 4096, 4096};
  // Zoom 1, radius 0.5: n = 2 from (0, 0).
  X_Brush_CompuMsk(0, 0, 1, 2, 2, mask.data(), f.data(), 0.5f, 0.5f, 0.5f, 2, 2, p.data(),
                   q.data(), table.data());
  EXPECT_EQ(mask[0], 8000 + 8000 + 100 - 8192);
  EXPECT_EQ(mask[1], 200);  // weight 0
  EXPECT_EQ(mask[2], 0);    // 2 + 300 - 8192 held to 0
  EXPECT_EQ(mask[3], 0);
  mask[0] = 8000;
  X_Brush_CompuMsk(0, 0, 1, 2, 2, mask.data(), f.data(), 0.5f, 0.5f, 0.5f, 2, 2, p.data(),
                   q.data(), table.data());
  EXPECT_EQ(mask[0], 8191);
}

}  // namespace
