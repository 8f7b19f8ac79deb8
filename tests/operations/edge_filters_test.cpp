#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/outline_tracing.h"
#include "platform/parallel/parallel.h"
#include "raster/convolution.h"
#include "support/noise_plane.h"
#include "support/session.h"

namespace {

using Plane = std::vector<unsigned char>;

Plane Make(int w, int h, int (*f)(int, int)) {
  Plane p(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[y * w + x] = static_cast<unsigned char>(f(x, y));
  return p;
}

class EdgeFilters : public vmktest::SessionTest {};

Plane Embossed(Plane p, int w, int h, int16_t depth, int16_t bias, int16_t angle,
               int16_t divisor = 1) {
  EXPECT_EQ(Effects::Emboss(0, 255, p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, depth, 1, bias,
                            angle, divisor),
            0);
  return p;
}

TEST_F(EdgeFilters, EmbossBiasDepthZeroAndDirections) {
  // A flat plane has no relief at any depth or angle.
  const Plane flat(8 * 6, 77);
  EXPECT_EQ(Embossed(flat, 8, 6, 2, 128, 30), Plane(8 * 6, 128));
  // Depth 0 is the single weight -1: bias - s / divisor, held at 0.
  const Plane dots = {0, 40, 80, 120, 160, 200};
  EXPECT_EQ(Embossed(dots, 6, 1, 0, 100, 0), (Plane{100, 60, 20, 0, 0, 0}));
  EXPECT_EQ(Embossed(dots, 6, 1, 0, 100, 0, 2), (Plane{100, 80, 60, 40, 20, 0}));
  // On a ramp along x: s(x + 1) - s(x - 1) at 0 degrees, its negative at
  // 180, nothing along y; the border repeats its own column.
  const Plane alongX = Make(6, 5, [](int x, int) { return 10 * x; });
  const Plane e0 = Embossed(alongX, 6, 5, 1, 128, 0);
  const Plane e180 = Embossed(alongX, 6, 5, 1, 128, 180);
  EXPECT_EQ(e0[2 * 6 + 0], 138);
  EXPECT_EQ(e0[2 * 6 + 3], 148);
  EXPECT_EQ(e180[2 * 6 + 3], 108);
  EXPECT_EQ(Embossed(alongX, 6, 5, 1, 128, 90), Plane(6 * 5, 128));
  // Along y: 90 degrees looks up (rows grow downward), 270 down.
  const Plane alongY = Make(5, 6, [](int, int y) { return 10 * y; });
  EXPECT_EQ(Embossed(alongY, 5, 6, 1, 128, 90)[3 * 5 + 2], 108);
  EXPECT_EQ(Embossed(alongY, 5, 6, 1, 128, 270)[3 * 5 + 2], 148);
  // 45 degrees at depth 2 takes the corner (2, 2): (s(x+2, y-2) -
  // s(x-2, y+2)) with s = 7x + 3y is 28 - 12.
  const Plane slope = Make(9, 9, [](int x, int y) { return 7 * x + 3 * y; });
  EXPECT_EQ(Embossed(slope, 9, 9, 2, 128, 45)[4 * 9 + 4], 144);
  // 405 degrees is 45.
  EXPECT_EQ(Embossed(slope, 9, 9, 2, 128, 405)[4 * 9 + 4], 144);
  Plane p = slope;
  EXPECT_EQ(Effects::Emboss(0, 255, p.data(), nullptr, 9, 9, 0, 0, 8, 8, -1, 1, 0, 0, 1), -1);
  EXPECT_EQ(Effects::Emboss(0, 255, p.data(), nullptr, 9, 9, 0, 0, 8, 8, 1001, 1, 0, 0, 1), -1);
  EXPECT_EQ(p, slope);
}

// Without a mask the relief is stored whatever the blend mode and opacity; a mask weighs it
// by mask * opacity / 255 in the blend. So a mask of 255 everywhere gives the stored relief only
// at the plain mode and full opacity, and the render frame must hand emboss its mask plane.
TEST_F(EdgeFilters, EmbossWithoutAMaskStoresTheReliefWhateverTheBlend) {
  const int w = 9, h = 9;
  const Plane slope = Make(w, h, [](int x, int y) { return 7 * x + 3 * y; });
  const Plane relief = Embossed(slope, w, h, 1, 128, 0);
  EXPECT_EQ(relief[4 * w + 4], 142);
  const Plane full(static_cast<size_t>(w) * h, 255);
  auto emboss = [&](int16_t mode, int16_t opacity, const unsigned char* mask) {
    Plane p = slope;
    EXPECT_EQ(Effects::Emboss(mode, opacity, p.data(), mask, h, w, 0, 0, w - 1, h - 1, 1, 1, 128,
                              0, 1),
              0);
    return p;
  };
  EXPECT_EQ(emboss(5, 90, nullptr), relief);
  EXPECT_EQ(emboss(0, 90, nullptr), relief);
  EXPECT_EQ(emboss(0, 255, full.data()), relief);
  // Plain mode at opacity 90 through the full mask: (165 * old + 90 * relief) / 255.
  const Plane weighed = emboss(0, 90, full.data());
  for (size_t i = 0; i < weighed.size(); ++i)
    ASSERT_EQ(weighed[i], (165 * slope[i] + 90 * relief[i]) / 255) << i;
  EXPECT_EQ(weighed[4 * w + 4], 76);
  EXPECT_NE(emboss(5, 90, full.data()), relief);
}

TEST_F(EdgeFilters, FindEdgeFlatStepStrengthAndLowContrast) {
  // Flat: table[0], white at contrast 0 and at every contrast down to the
  // lowest (-300 counts as -128, whose entry 0 is 0).
  for (const int16_t contrast : {0, 40, -64, -128, -300, -32768}) {
    Plane p(10 * 7, 90);
    ASSERT_EQ(Effects::FindEdge(0, 255, p.data(), nullptr, 7, 10, 0, 0, 9, 6, 255, 1, contrast),
              0);
    EXPECT_EQ(p, Plane(10 * 7, 255)) << contrast;
  }
  // A step of 200: the emboss against the step falls to 0, strength 255,
  // edge 0.
  const Plane step = Make(10, 4, [](int x, int) { return x < 5 ? 0 : 200; });
  Plane p = step;
  ASSERT_EQ(Effects::FindEdge(0, 255, p.data(), nullptr, 4, 10, 0, 0, 9, 3, 255, 1, 0), 0);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(p[10 + x], x == 4 || x == 5 ? 0 : 255) << x;
  // Strength 0 leaves the plane; the region bounds the change.
  p = step;
  ASSERT_EQ(Effects::FindEdge(0, 255, p.data(), nullptr, 4, 10, 0, 0, 9, 3, 0, 1, 0), 0);
  EXPECT_EQ(p, step);
  p = step;
  ASSERT_EQ(Effects::FindEdge(0, 255, p.data(), nullptr, 4, 10, 6, 1, 9, 2, 255, 1, 0), 0);
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(p[x], step[x]);
    EXPECT_EQ(p[10 + x], x >= 6 ? 255 : step[10 + x]);
  }
}

TEST_F(EdgeFilters, SkeletonThinsTheDarkShapes) {
  // White is the background: nothing to thin.
  Plane white(9 * 7, 255);
  ASSERT_EQ(Effects::Skeleton(0, 255, 1, white.data(), nullptr, nullptr, 7, 9, 0, 0, 8, 6,
                              nullptr, 0),
            0);
  EXPECT_EQ(white, Plane(9 * 7, 255));
  // A dark bar three rows thick across the plane thins to its middle row;
  // the three planes take the threshold of their mean.
  Plane r = Make(9, 5, [](int, int y) { return y >= 1 && y <= 3 ? 30 : 240; });
  Plane g = r, b = r;
  ASSERT_EQ(Effects::Skeleton(0, 255, 3, r.data(), g.data(), b.data(), 5, 9, 0, 0, 8, 4, nullptr,
                              0),
            0);
  const Plane bar = Make(9, 5, [](int, int y) { return y == 2 ? 0 : 255; });
  EXPECT_EQ(r, bar);
  EXPECT_EQ(g, bar);
  EXPECT_EQ(Effects::Skeleton(0, 255, 2, r.data(), g.data(), b.data(), 5, 9, 0, 0, 8, 4, nullptr,
                              0),
            -1);
}

TEST_F(EdgeFilters, GeoLevelsDrawsTheContourOfEachLevel) {
  const unsigned char colour[3] = {200, 7, 9};
  auto run = [&](int left, int16_t count) {
    const Plane src = Make(8, 6, [](int x, int) { return x < 4 ? 0 : 1; });
    Plane s = src;
    for (auto& v : s) v = static_cast<unsigned char>(v ? 127 : left);
    Plane t(8 * 6, 50);
    EXPECT_EQ(Effects::GeoLevels(0, 255, 1, s.data(), 6, 8, t.data(), nullptr, nullptr, 6, 8, 0,
                                 0, 7, 5, nullptr, count, colour),
              0);
    return t;
  };
  // One level is 127: left at 126 falls below it, and the boundary at
  // column 4 is drawn besides the plane's own border.
  const Plane below = run(126, 1);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool border = x == 0 || x == 7 || y == 0 || y == 5;
      EXPECT_EQ(below[y * 8 + x], border || x == 4 ? 200 : 50) << x << "," << y;
    }
  }
  // Left at 127 is at the level: no boundary inside.
  EXPECT_EQ(run(127, 1)[2 * 8 + 4], 50);
  // Counts above the table's 130 levels are held there.
  EXPECT_EQ(run(0, 500)[2 * 8 + 4], 200);
  EXPECT_EQ(run(126, 0), Plane(8 * 6, 50));
}

// The contour lines written out plainly: each level thresholded and traced, every outline drawn
// point by point into the line plane and each plane's copy through the undrawn marks, then the
// copies blended in by the line's weight.
void PlainGeoLevels(int16_t mode, int16_t opacity, int16_t channels, const Plane& source,
                    int32_t sh, int32_t sw, Plane* planes[3], int32_t h, int32_t w, int32_t x0,
                    int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask, int16_t count,
                    const unsigned char colour[3]) {
  const int32_t levels = std::clamp<int32_t>(count, 0, 130);
  const size_t size = static_cast<size_t>(w) * h;
  Plane line(size, 0), undrawn(size), copies[3];
  for (int32_t k = 0; k < channels; ++k) copies[k] = *planes[k];
  for (int32_t i = 0; i < levels; ++i) {
    const int32_t t = 255 * (i + 1) / (levels + 1);
    Plane two(source.size());
    for (size_t p = 0; p < two.size(); ++p) two[p] = source[p] < t ? 0 : 255;
    int16_t flag = 0;
    pixel_outline_list_type list =
        find_outline_pixels(two.data(), sh, sw, static_cast<unsigned char>(t), &flag);
    ASSERT_EQ(flag, 0);
    std::fill(undrawn.begin(), undrawn.end(), 255);
    for (uint32_t o = 0; o < list.length; ++o) {
      const pixel_outline_type& outline = list.data[o];
      std::vector<coords> pixels(outline.length);
      std::vector<int16_t> opacities(outline.length, 255), offsets(outline.length, 0);
      for (uint32_t k = 0; k < outline.length; ++k) {
        const int64_t row = static_cast<int64_t>(h) - outline.data[k].y;
        pixels[k].x = std::min<uint32_t>(outline.data[k].x, static_cast<uint32_t>(w - 1));
        pixels[k].y = static_cast<uint32_t>(std::clamp<int64_t>(row, 0, h - 1));
      }
      const auto n = static_cast<int32_t>(outline.length);
      DrawOutline(0, 255, line.data(), undrawn.data(), h, w, 0, n, pixels.data(), opacities.data(),
                  offsets.data(), 255);
      for (int32_t k = 0; k < channels; ++k) {
        DrawOutline(0, 255, copies[k].data(), undrawn.data(), h, w, k == 2 ? 1 : 0, n,
                    pixels.data(), opacities.data(), offsets.data(), colour[k]);
      }
    }
    free_pixel_outline_list(&list);
  }
  x0 = std::max(x0, 0), y0 = std::max(y0, 0), x1 = std::min(x1, w - 1), y1 = std::min(y1, h - 1);
  for (int32_t y = y0; y <= y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const size_t i = static_cast<size_t>(y) * w + x;
      const int32_t a =
          mask != nullptr ? mask[i] * opacity * line[i] / 65025 : opacity * line[i] / 255;
      for (int32_t k = 0; k < channels; ++k) {
        unsigned char& v = (*planes[k])[i];
        v = effect_support::Blend(mode, v, copies[k][i], a);
      }
    }
  }
}

// The levels traced side by side and the drawing cut down to the pixels on an outline, against
// the plain form: odd sizes, a tall plane, a source larger than the target, one and three
// planes, a mask, another mode and a region, at 1, 3 and 8 threads.
TEST_F(EdgeFilters, GeoLevelsMatchesThePlainDrawingAtAnyThreadCount) {
  struct Case {
    int32_t w, h, sw, sh;
  };
  const unsigned char colour[3] = {200, 7, 90};
  for (const Case c : {Case{1, 1, 1, 1}, Case{17, 3, 17, 3}, Case{2049, 5, 2049, 5},
                       Case{3, 701, 3, 701}, Case{40, 30, 45, 33}}) {
    const size_t n = static_cast<size_t>(c.w) * c.h, sn = static_cast<size_t>(c.sw) * c.sh;
    Plane source = vmktest::Noise(sn, 31);
    for (size_t i = 0; i < sn; ++i) {
      const auto x = static_cast<int32_t>(i % static_cast<size_t>(c.sw));
      source[i] = static_cast<unsigned char>((x * 255 / c.sw + source[i] / 4) * 4 / 5);
    }
    const Plane mask = vmktest::Noise(n, 32);
    const Plane start[3] = {vmktest::Noise(n, 33), vmktest::Noise(n, 34), vmktest::Noise(n, 35)};
    struct Blend {
      int16_t mode, opacity;
      bool masked;
      int32_t x0, y0, x1, y1;
    };
    for (const Blend b :
         {Blend{0, 255, false, 0, 0, c.w - 1, c.h - 1}, Blend{3, 170, true, 1, 0, c.w - 2, c.h}}) {
      for (const int16_t channels : {1, 3}) {
        for (const int16_t count : {1, 10, 40}) {
          Plane want[3] = {start[0], start[1], start[2]};
          Plane* wp[3] = {&want[0], &want[1], &want[2]};
          PlainGeoLevels(b.mode, b.opacity, channels, source, c.sh, c.sw, wp, c.h, c.w, b.x0, b.y0,
                         b.x1, b.y1, b.masked ? mask.data() : nullptr, count, colour);
          for (const int threads : {1, 3, 8}) {
            plat::SetThreadCount(threads);
            Plane got[3] = {start[0], start[1], start[2]};
            ASSERT_EQ(Effects::GeoLevels(b.mode, b.opacity, channels, source.data(), c.sh, c.sw,
                                         got[0].data(), got[1].data(), got[2].data(), c.h, c.w,
                                         b.x0, b.y0, b.x1, b.y1, b.masked ? mask.data() : nullptr,
                                         count, colour),
                      0);
            for (int k = 0; k < 3; ++k)
              ASSERT_EQ(got[k], want[k])
                  << c.w << "x" << c.h << " mode " << b.mode << " channels " << channels
                  << " count " << count << " threads " << threads << " plane " << k;
          }
          plat::SetThreadCount(0);
        }
      }
    }
  }
}

TEST_F(EdgeFilters, FailuresLeaveThePlanes) {
  const Plane src = Make(8, 6, [](int x, int y) { return (x * 40 + y * 25) % 256; });
  const unsigned char colour[3] = {1, 2, 3};
  Plane r(8 * 6, 50), g(8 * 6, 60), b(8 * 6, 70);
  // A tracer that stops (its arrays refused) makes the contour lines fail.
  setOutlineGrowthLimitForTesting(0);
  EXPECT_EQ(Effects::GeoLevels(0, 255, 3, src.data(), 6, 8, r.data(), g.data(), b.data(), 6, 8,
                               0, 0, 7, 5, nullptr, 3, colour),
            -1);
  setOutlineGrowthLimitForTesting(std::nullopt);
  EXPECT_EQ(r, Plane(8 * 6, 50));
  EXPECT_EQ(b, Plane(8 * 6, 70));
  Plane p = src;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(Effects::FindEdge(0, 255, p.data(), nullptr, 6, 8, 0, 0, 7, 5, 255, 1, 0), -1);
  EXPECT_EQ(Effects::X_sharpedg_buf(8, 6, p.data(), 0, 0, 7, 5, 100, 1, 100, 1), -1);
  EXPECT_EQ(Effects::Skeleton(0, 255, 1, p.data(), nullptr, nullptr, 6, 8, 0, 0, 7, 5, nullptr,
                              1),
            -1);
  EXPECT_EQ(Effects::GeoLevels(0, 255, 3, src.data(), 6, 8, r.data(), g.data(), b.data(), 6, 8,
                               0, 0, 7, 5, nullptr, 3, colour),
            -1);
  EXPECT_EQ(p, src);
  EXPECT_EQ(g, Plane(8 * 6, 60));
}

TEST_F(EdgeFilters, SharpeningAndOutlineDrawing) {
  const Plane src = Make(12, 9, [](int x, int y) { return (x * 53 + y * 31 + x * y) % 256; });
  // Without an edge depth: the raster core's matrix, passes times.
  Plane p = src, direct = src;
  ASSERT_EQ(Effects::X_sharpedg_buf(12, 9, p.data(), 0, 0, 11, 8, 50, 2, 100, 0), 0);
  int32_t kernel[9] = {};
  int16_t divisor = 0;
  Load_matrix(0, 100, kernel, &divisor);
  for (int pass = 0; pass < 2; ++pass) {
    X_Mat_Chbuf(12, 9, direct.data(), 0, 0, 11, 8, 0, divisor, kernel, 2048);
  }
  EXPECT_EQ(p, direct);
  // Level 0 sharpens nothing; with an edge depth the region's last row
  // stays.
  p = src;
  ASSERT_EQ(Effects::X_sharpedg_buf(12, 9, p.data(), 0, 0, 11, 8, 50, 2, 0, 0), 0);
  EXPECT_EQ(p, src);
  ASSERT_EQ(Effects::X_sharpedg_buf(12, 9, p.data(), 0, 0, 11, 5, 100, 1, 100, 1), 0);
  for (int x = 0; x < 12; ++x) EXPECT_EQ(p[5 * 12 + x], src[5 * 12 + x]);

  // Drawing through a mask with the clear flag draws each pixel once.
  Plane plane(4 * 3, 10), mask(4 * 3, 255);
  const coords pts[2] = {{1, 2}, {1, 2}};
  const int16_t opacities[2] = {255, 255}, offsets[2] = {0, 100};
  DrawOutline(0, 255, plane.data(), mask.data(), 3, 4, 1, 2, pts, opacities, offsets, 60);
  EXPECT_EQ(plane[2 * 4 + 1], 60);
  EXPECT_EQ(mask[2 * 4 + 1], 0);
  // Offsets are held to the sample range before the point's opacity.
  DrawOutline(0, 255, plane.data(), nullptr, 3, 4, 0, 2, pts, opacities, offsets, 200);
  EXPECT_EQ(plane[2 * 4 + 1], 255);
}

}  // namespace
