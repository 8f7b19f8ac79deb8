#include "raster/colour_select.h"

#include <cstring>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "support/pixels.h"

namespace {

using vmktest::Px;

int Weight(int hMin, int hMax, int sMin, int sMax, int vMin, int vMax, int r, int g, int b) {
  int32_t out = -1;
  Calc_mskselHSV(static_cast<int16_t>(hMin), static_cast<int16_t>(hMax), static_cast<int16_t>(sMin),
                 static_cast<int16_t>(sMax), static_cast<int16_t>(vMin), static_cast<int16_t>(vMax),
                 r, g, b, &out);
  return out;
}

TEST(HsvRangeWeight, CentreInsideAndOutside) {
  // Green: hue 120, saturation 100 %, value 255, all at their windows' centres.
  EXPECT_EQ(Weight(100, 140, 80, 120, 235, 275, 0, 255, 0), 0);
  EXPECT_EQ(Weight(100, 140, 0, 50, 235, 275, 0, 255, 0), 255);  // outside saturation
  EXPECT_EQ(Weight(100, 140, 80, 120, 0, 100, 0, 255, 0), 255);  // outside value
  EXPECT_EQ(Weight(0, 60, 80, 120, 235, 275, 0, 255, 0), 255);   // outside hue
  // Components above 255 count as 255.
  EXPECT_EQ(Weight(100, 140, 80, 120, 235, 275, 0, 900, 0), 0);
  // Half way to the hue window's edge weighs about half.
  const int half = Weight(100, 140, 80, 120, 235, 275, 0, 255, 128);  // hue ~150: outside
  EXPECT_EQ(half, 255);
  const int inside = Weight(100, 160, 80, 120, 235, 275, 0, 255, 128);
  EXPECT_GT(inside, 0);
  EXPECT_LT(inside, 255);
}

// The tabled form against the per-pixel one on a lattice of byte triples that holds every
// grey, every largest/smallest pair's ends and both ends of each axis, for windows inside
// 0..360, across 0 either way, wider than the whole range, empty and with negative bounds.
TEST(HsvRangeWeight, TabledSelectionEqualsThePerPixelWeight) {
  struct Windows {
    int16_t h0, h1, s0, s1, v0, v1;
  };
  const Windows windows[] = {{80, 160, 30, 90, 100, 220},  {-20, 20, -10, 40, 0, 255},
                             {340, 380, 50, 150, 200, 300}, {-400, 800, -300, 300, -300, 600},
                             {10, 10, 0, 0, 128, 128},      {100, 140, 80, 120, 235, 275}};
  std::vector<int> steps;
  for (int v = 0; v < 256; v += 3) steps.push_back(v);
  steps.push_back(254);
  steps.push_back(255);
  for (const Windows& w : windows) {
    const HsvSelection tabled(w.h0, w.h1, w.s0, w.s1, w.v0, w.v1);
    int64_t inside = 0;
    for (int r : steps) {
      for (int g : steps) {
        for (int b : steps) {
          const int plain = Weight(w.h0, w.h1, w.s0, w.s1, w.v0, w.v1, r, g, b);
          inside += plain != 255;
          ASSERT_EQ(tabled.At(r, g, b), plain) << w.h0 << " " << r << " " << g << " " << b;
        }
      }
    }
    for (int v = 0; v < 256; ++v) {
      ASSERT_EQ(tabled.At(v, v, v), Weight(w.h0, w.h1, w.s0, w.s1, w.v0, w.v1, v, v, v)) << v;
    }
    if (w.h0 == -400) {
      EXPECT_GT(inside, 0);
    }
  }
}

TEST(HsvRangeWeight, HueWindowsAcrossZero) {
  // Red (hue 0) inside a window written as -20..20 and as 340..380.
  EXPECT_EQ(Weight(-20, 20, 80, 120, 235, 275, 255, 0, 0), 0);
  EXPECT_EQ(Weight(340, 380, 80, 120, 235, 275, 255, 0, 0), 0);
  // Blue (hue 240) lies in neither.
  EXPECT_EQ(Weight(-20, 20, 80, 120, 235, 275, 0, 0, 255), 255);
  EXPECT_EQ(Weight(340, 380, 80, 120, 235, 275, 0, 0, 255), 255);
  // A hue of 350 inside -20..20 is 10 degrees from the centre.
  const int near = Weight(-20, 20, 80, 120, 235, 275, 255, 0, 42);
  EXPECT_GT(near, 100);
  EXPECT_LT(near, 150);
  EXPECT_EQ(Weight(340, 380, 80, 120, 235, 275, 255, 0, 42), near);
}

TEST(RgbColourMask, AddsAndRemovesSelections) {
  auto mask = std::make_unique<TMaskPar>();
  std::memset(mask.get(), 0, sizeof(TMaskPar));
  int16_t cr[9] = {100, 100}, cg[9] = {100, 100}, cb[9] = {100, 100};
  int16_t active[9] = {1, 0}, strength[9] = {8, 8}, tol[9] = {10, 10}, remove[9] = {0, 1};
  Calc_MaskRGB(0, mask.get(), cr, cg, cb, active, strength, tol, remove, 0, 0, 0, nullptr);
  EXPECT_EQ(mask->falloff[0], 255);
  EXPECT_EQ(mask->falloff[400], 0);
  EXPECT_EQ(mask->clamp[0], 0);
  EXPECT_EQ(mask->clamp[255 + 17], 17);
  EXPECT_EQ(mask->clamp[765], 255);
  EXPECT_EQ(mask->tabR[0][100], 0);
  EXPECT_EQ(mask->tabR[0][255], 400);
  EXPECT_EQ(mask->tabR[0][101], 1000 / 11);

  int32_t out = -1;
  Calc_MaskRGB(1, mask.get(), cr, cg, cb, active, strength, tol, remove, 100, 100, 100, &out);
  EXPECT_EQ(out, 255);
  Calc_MaskRGB(1, mask.get(), cr, cg, cb, active, strength, tol, remove, 250, 100, 100, &out);
  EXPECT_EQ(out, 0);
  strength[0] = 4;
  Calc_MaskRGB(1, mask.get(), cr, cg, cb, active, strength, tol, remove, 100, 100, 100, &out);
  EXPECT_EQ(out, 127);
  active[1] = 1;  // the same colour removed again
  Calc_MaskRGB(1, mask.get(), cr, cg, cb, active, strength, tol, remove, 100, 100, 100, &out);
  EXPECT_EQ(out, 0);
}

struct YmckSelection {
  int32_t cy[8] = {10}, cm[8] = {20}, cc[8] = {30}, ck[8] = {40};
  int32_t ty[8] = {110}, tm[8] = {20}, tc[8] = {30}, tk[8] = {40};
  int32_t active[8] = {1};
  int32_t t1[8] = {10}, t2[8] = {10}, t3[8] = {10}, t4[8] = {10};
};

TEST(YmckSelection, MovesMatchingPixelsTowardsTarget) {
  auto sel = std::make_unique<TSelec>();
  YmckSelection s;
  for (int16_t mode : {0, 1}) {
    std::vector<uint32_t> src = {Px(10, 20, 30, 40), Px(255, 255, 255, 255), Px(10, 20, 30, 40)};
    std::vector<uint32_t> dst(3, 0);
    EXPECT_EQ(X_seleYMCK_buffer(mode, 1, 3, src.data(), dst.data(), 0, 0, 1, 0, 0, 0, sel.get(),
                                s.cy, s.cm, s.cc, s.ck, s.ty, s.tm, s.tc, s.tk, s.active, s.t1,
                                s.t2, s.t3, s.t4),
              0);
    EXPECT_EQ(dst[0], Px(110, 20, 30, 40)) << mode;
    EXPECT_EQ(dst[1], src[1]) << mode;
    EXPECT_EQ(dst[2], 0u) << mode;  // outside the rectangle
  }
  EXPECT_EQ(sel->tolerance3[0], 110);
  EXPECT_EQ(sel->falloff[0], 256);
  // An inactive selection moves nothing.
  s.active[0] = 0;
  std::vector<uint32_t> src = {Px(10, 20, 30, 40)}, dst(1, 0);
  X_seleYMCK_buffer(0, 1, 1, src.data(), dst.data(), 0, 0, 0, 0, 0, 0, sel.get(), s.cy, s.cm, s.cc,
                    s.ck, s.ty, s.tm, s.tc, s.tk, s.active, s.t1, s.t2, s.t3, s.t4);
  EXPECT_EQ(dst[0], src[0]);
  EXPECT_EQ(X_seleYMCK_buffer(0, 1, 1, src.data(), dst.data(), 3, 0, 5, 0, 0, 0, sel.get(), s.cy,
                              s.cm, s.cc, s.ck, s.ty, s.tm, s.tc, s.tk, s.active, s.t1, s.t2, s.t3,
                              s.t4),
            -1);
}

TEST(YmckChannels, ExchangeAndGradation) {
  const int32_t keepY[4] = {100, 0, 0, 0}, zero[4] = {0, 0, 0, 0};
  int32_t o[4];
  Calc_exchYMCK(1, keepY, zero, zero, zero, zero, 12, 34, 56, 78, &o[0], &o[1], &o[2], &o[3]);
  EXPECT_EQ(o[0], 12);
  EXPECT_EQ(o[1], 34);
  EXPECT_EQ(o[3], 78);
  // Coefficients near the 32-bit limits clamp instead of wrapping.
  const int32_t huge[4] = {2000000000, -2000000000, 0, 0};
  Calc_exchYMCK(3, huge, zero, zero, zero, zero, 175, 34, 56, 78, &o[0], &o[1], &o[2], &o[3]);
  EXPECT_EQ(o[0], 255);
  EXPECT_EQ(o[1], 0);

  // Swap yellow and cyan, lift black by half of full scale.
  const int32_t cy[4] = {0, 0, 100, 0}, cm[4] = {0, 100, 0, 0}, cc[4] = {100, 0, 0, 0},
                ck[4] = {0, 0, 0, 100}, konst[4] = {0, 0, 0, 50};
  std::vector<uint32_t> src = {Px(12, 34, 56, 78), Px(1, 2, 3, 200)}, dst(2, 0);
  EXPECT_EQ(X_exchYMCK_buffer(1, 2, src.data(), dst.data(), -3, -3, 9, 9, 15, cy, cm, cc, ck, konst),
            0);
  EXPECT_EQ(dst[0], Px(56, 34, 12, 78 + 127));
  EXPECT_EQ(dst[1], Px(3, 2, 1, 255));
  EXPECT_EQ(X_exchYMCK_buffer(1, 2, src.data(), dst.data(), 2, 0, 1, 0, 15, cy, cm, cc, ck, konst),
            -1);

  int16_t inv[256], big[256];
  for (int i = 0; i < 256; ++i) {
    inv[i] = static_cast<int16_t>(255 - i);
    big[i] = static_cast<int16_t>(i + 300);
  }
  Calc_lutYMCK(1 | 4, inv, inv, big, inv, 10, 20, 30, 40, &o[0], &o[1], &o[2], &o[3]);
  EXPECT_EQ(o[0], 245);
  EXPECT_EQ(o[1], 20);
  EXPECT_EQ(o[2], 255);  // clamped
  EXPECT_EQ(o[3], 40);
  EXPECT_EQ(X_gradYMCK_buffer(1, 2, src.data(), dst.data(), 0, 0, 1, 0, 0, 0, inv, inv, big, inv), 0);
  EXPECT_EQ(dst, src);  // channels 0: a copy
  EXPECT_EQ(X_gradYMCK_buffer(1, 2, src.data(), dst.data(), 0, 0, 1, 0, 1 | 4, 0, inv, inv, big, inv),
            0);
  EXPECT_EQ(dst[0], Px(243, 34, (56 + 300) & 0xFF, 78));  // low byte, no clamping
}

}  // namespace
