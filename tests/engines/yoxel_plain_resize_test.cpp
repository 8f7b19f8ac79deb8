// Plain resizes of the content-aware resize engine: the three plans against the raster
// core and the operations run by hand, the fourth and fifth planes, refusals and failed
// allocations, and FillBuf with the resampling methods (whole renders, partial requests,
// the script's row 101).
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "engines/correction/yoxel_engine.h"
#include "engines/correction/yoxel_plain_resize.h"
#include "operations/effects.h"
#include "platform/memory/memory.h"
#include "raster/rescale.h"
#include "support/photo_planes.h"

namespace {

using Plane = std::vector<uint8_t>;

Plane Pattern(int32_t w, int32_t h, int32_t seed) {
  Plane p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      p[y * w + x] = static_cast<uint8_t>((x * 29 + y * 53 + seed * 71 + (x * y) % 7 * 19) & 255);
  return p;
}

// A tw x th reference result placed into a copy of `into` at (l, t).
Plane Placed(const Plane& staged, int32_t tw, int32_t th, Plane into, int32_t width, int32_t l,
             int32_t t) {
  for (int32_t y = 0; y < th; ++y)
    for (int32_t x = 0; x < tw; ++x) into[(t + y) * width + l + x] = staged[y * tw + x];
  return into;
}

void Sharpen(Plane& p, int32_t w, int32_t h, int16_t weight) {
  ASSERT_EQ(Effects::X_sharpedg_buf(w, h, p.data(), 0, 0, w - 1, h - 1, weight, 1, 1, 0), 0);
}

constexpr int32_t kW = 20, kH = 14;

TEST(YoxelPlainResize, SameSizeIsACopyThenTheRecordsSharpening) {
  const Plane src = Pattern(kW, kH, 1), dst0 = Pattern(kW, kH, 2);
  Plane dst = dst0;
  // Filter 6 turns into the plain copy: no median either.
  ASSERT_EQ(PerformYoxelCharResize(6, 0, 0, src.data(), kW, kH, dst.data(), kW, kH, 2, 3, 9, 8,
                                   11, 6, 18, 11),
            0);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const bool inside = x >= 11 && x < 18 && y >= 6 && y < 11;
      ASSERT_EQ(dst[y * kW + x], inside ? src[(y - 3) * kW + x - 9] : dst0[y * kW + x]);
    }
  // Sharpen 5 is applied to the copy alone, its border not reading the stale picture.
  Plane staged(7 * 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) staged[y * 7 + x] = src[(y + 3) * kW + x + 2];
  Sharpen(staged, 7, 5, 5);
  dst = dst0;
  ASSERT_EQ(PerformYoxelCharResize(3, 5, 0, src.data(), kW, kH, dst.data(), kW, kH, 2, 3, 9, 8,
                                   11, 6, 18, 11),
            0);
  EXPECT_EQ(dst, Placed(staged, 7, 5, dst0, kW, 11, 6));
}

TEST(YoxelPlainResize, ReductionIsOneStepSharpenedByThirty) {
  const Plane src = Pattern(kW, kH, 3), dst0(kW * kH, 9);
  // Narrower but taller still counts as a reduction; the record's 5 gives way to 30.
  for (int16_t filter : {0, 2, 5}) {
    SCOPED_TRACE(filter);
    Plane staged(12 * 13);
    ASSERT_EQ(X_Newechant_charbuf(filter, src.data(), kW, kH, staged.data(), 12, 13, 0, 2, 18, 12,
                                  0, 0, 12, 13),
              0);
    Sharpen(staged, 12, 13, 30);
    Plane dst = dst0;
    ASSERT_EQ(PerformYoxelCharResize(filter, 5, 0, src.data(), kW, kH, dst.data(), kW, kH, 0, 2,
                                     18, 12, 4, 1, 16, 14),
              0);
    EXPECT_EQ(dst, Placed(staged, 12, 13, dst0, kW, 4, 1));
  }
}

// 10 x 8 to 20 x 13 goes through 13 x 9, both steps with the filter; Lanczos (6)
// sharpens the intermediate by 20 and takes a median before the record's sharpening.
Plane TwoSteps(const Plane& src, int16_t filter, int16_t sharpen) {
  Plane mid(13 * 9), out(20 * 13);
  X_Newechant_charbuf(filter, src.data(), kW, kH, mid.data(), 13, 9, 1, 1, 11, 9, 0, 0, 13, 9);
  if (filter == 6) Sharpen(mid, 13, 9, 20);
  X_Newechant_charbuf(filter, mid.data(), 13, 9, out.data(), 20, 13, 0, 0, 13, 9, 0, 0, 20, 13);
  if (filter == 6) Effects::X_medianedg_buf(20, 13, out.data(), 0, 0, 19, 12, 3, 0);
  if (sharpen != 0) Sharpen(out, 20, 13, sharpen);
  return out;
}

TEST(YoxelPlainResize, EnlargementGoesThroughThirtyPercent) {
  const Plane src = Pattern(kW, kH, 4), dst0(kW * kH, 1);
  for (int16_t filter : {1, 6}) {
    SCOPED_TRACE(filter);
    Plane dst = dst0;
    ASSERT_EQ(PerformYoxelCharResize(filter, 7, 0, src.data(), kW, kH, dst.data(), kW, kH, 1, 1,
                                     11, 9, 0, 1, 20, 14),
              0);
    EXPECT_EQ(dst, Placed(TwoSteps(src, filter, 7), 20, 13, dst0, kW, 0, 1));
  }
}

TEST(YoxelPlainResize, GrainIsSeededUniformNoiseAtTheAmount) {
  const Plane src = Pattern(kW, kH, 5);
  Plane staged(Plane(src.begin(), src.end()));
  ASSERT_EQ(Effects::Noise(0, 40, 0, staged.data(), nullptr, kH, kW, 0, 0, kW - 1, kH - 1, 1.f,
                           1.f, 0, 0, 0, 1),
            0);
  Plane a(kW * kH), b(kW * kH);
  ASSERT_EQ(PerformYoxelCharResize(4, 0, 40, src.data(), kW, kH, a.data(), kW, kH, 0, 0, kW, kH,
                                   0, 0, kW, kH),
            0);
  ASSERT_EQ(PerformYoxelCharResize(4, 0, 40, src.data(), kW, kH, b.data(), kW, kH, 0, 0, kW, kH,
                                   0, 0, kW, kH),
            0);
  EXPECT_EQ(a, staged);
  EXPECT_EQ(a, b);
}

TEST(YoxelPlainResize, FourthPlaneGoesStraightAndTheFifthRidesAlong) {
  const Plane r = Pattern(kW, kH, 6), g = Pattern(kW, kH, 7), b = Pattern(kW, kH, 8);
  const Plane k = Pattern(kW, kH, 9), t = Pattern(kW, kH, 10);
  Plane out[5];
  for (Plane& o : out) o.assign(kW * kH, 3);
  ASSERT_EQ(PerformYoxelRGBKTResize(6, 7, 0, r.data(), g.data(), b.data(), k.data(), t.data(), kW,
                                    kH, out[0].data(), out[1].data(), out[2].data(),
                                    out[3].data(), out[4].data(), kW, kH, 1, 1, 11, 9, 0, 1, 20,
                                    14),
            0);
  const Plane base(kW * kH, 3);
  EXPECT_EQ(out[0], Placed(TwoSteps(r, 6, 7), 20, 13, base, kW, 0, 1));
  EXPECT_EQ(out[2], Placed(TwoSteps(b, 6, 7), 20, 13, base, kW, 0, 1));
  Plane fourth(20 * 13), fifth(20 * 13);
  X_Newechant_charbuf(6, k.data(), kW, kH, fourth.data(), 20, 13, 1, 1, 11, 9, 0, 0, 20, 13);
  Effects::X_medianedg_buf(20, 13, fourth.data(), 0, 0, 19, 12, 3, 0);
  Sharpen(fourth, 20, 13, 7);
  EXPECT_EQ(out[3], Placed(fourth, 20, 13, base, kW, 0, 1));
  X_Newechant_charbuf(2, t.data(), kW, kH, fifth.data(), 20, 13, 1, 1, 11, 9, 0, 0, 20, 13);
  EXPECT_EQ(out[4], Placed(fifth, 20, 13, base, kW, 0, 1));
}

TEST(YoxelPlainResize, RefusalsAndFailedAllocationsLeaveTheTargets) {
  const Plane r = Pattern(kW, kH, 11), k = Pattern(kW, kH, 12);
  const Plane base(kW * kH, 77);
  Plane out[5];
  for (Plane& o : out) o = base;
  auto run = [&](int32_t tr) {
    return PerformYoxelRGBKTResize(2, 9, 30, r.data(), r.data(), r.data(), k.data(), k.data(), kW,
                                   kH, out[0].data(), out[1].data(), out[2].data(),
                                   out[3].data(), out[4].data(), kW, kH, 2, 2, 12, 10, 0, 0, tr,
                                   kH);
  };
  EXPECT_EQ(run(0), -1);  // empty target
  Plane one = base;
  EXPECT_EQ(PerformYoxelCharResize(2, 0, 0, r.data(), kW, kH, one.data(), kW, kH, 30, 0, 40, kH,
                                   0, 0, kW, kH),
            -1);  // the source lies outside its plane
  EXPECT_EQ(one, base);
  const int64_t live = plat::LiveBlockCount();
  int16_t result = -1;
  for (int64_t n = 0; result != 0 && n < 200; ++n) {
    plat::FailNthAllocation(n);
    result = run(kW);
    plat::FailNthAllocation(-1);
    EXPECT_EQ(plat::LiveBlockCount(), live) << n;
    if (result != 0) {
      for (const Plane& o : out) ASSERT_EQ(o, base) << n;
    }
  }
  ASSERT_EQ(result, 0);
  EXPECT_NE(out[0], base);
  EXPECT_NE(out[4], base);
}

// The resize keeps a picture's brightness at every filter, reduced to a tenth and enlarged up
// to three times, at sharpness 0 and the slider's most (a reduction always sharpens by 30): on
// a texture the mean moves by at most a level, a photo's negative resizes to the negative of
// its resize within a level of mean, and a flat plane stays exactly flat. (A reduction's
// samples are centred on every n-th sample from the first, so its picture sits up to half a
// step toward the top left: a photo's gradient moves its mean by that much.) (The noise amount mixes in grain of mean 127.5 at its
// weight and so draws the mean toward mid-grey by design: it stays 0 here.) Every pass of the
// rescale rounded its sums down, and a reduced row list's weights fell short of 1024: a
// tenth of a flat 200 came out as 196.
TEST(YoxelPlainResize, KeepsThePicturesBrightness) {
  const int32_t w = 600, h = 400;
  const Plane texture = vmktest::EvenTexture(w, h);
  const Plane photo = vmktest::PhotoLike(w, h);
  const Plane negative = vmktest::Negative(photo);
  const Plane flat(photo.size(), 200);
  const double before = vmktest::Mean(texture);
  struct Size {
    int32_t w, h;
  };
  for (const Size to : {Size{60, 40}, Size{300, 200}, Size{600, 400}, Size{822, 548}, Size{1200, 800},
                        Size{1800, 1200}})
    for (int16_t filter = 0; filter <= 7; ++filter)
      for (const int32_t sharpen : {0, 100}) {
        auto resize = [&](const Plane& from) {
          Plane out(static_cast<size_t>(to.w) * to.h);
          EXPECT_EQ(PerformYoxelCharResize(filter, sharpen, 0, from.data(), w, h, out.data(), to.w,
                                           to.h, 0, 0, w, h, 0, 0, to.w, to.h),
                    0);
          return out;
        };
        EXPECT_NEAR(vmktest::Mean(resize(texture)), before, 1.0)
            << "filter " << filter << " sharpen " << sharpen << " to " << to.w << "x" << to.h;
        EXPECT_NEAR(255.0 - vmktest::Mean(resize(negative)), vmktest::Mean(resize(photo)), 1.0)
            << "negative, filter " << filter << " sharpen " << sharpen << " to " << to.w;
        ASSERT_EQ(resize(flat), Plane(static_cast<size_t>(to.w) * to.h, 200))
            << "flat, filter " << filter << " sharpen " << sharpen << " to " << to.w;
      }
}

}  // namespace
