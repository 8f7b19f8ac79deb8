#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/random/random.h"
#include "raster/distortion_warp.h"
#include "support/session.h"

namespace {

// Pins the generator and its clock seed for the life of a test.
uint32_t gSeenSeed = 0;
int32_t gDraw = 0;
struct PinnedRandom {
  explicit PinnedRandom(int32_t draw) {
    gDraw = draw;
    gSeenSeed = 0;
    plat::SetRandomFunctions([] { return gDraw; }, [](uint32_t s) { gSeenSeed = s; });
    plat::SetTimeSeedFunction([] { return uint32_t{4242}; });
  }
  ~PinnedRandom() {
    plat::SetRandomFunctions(nullptr, nullptr);
    plat::SetTimeSeedFunction(nullptr);
  }
};

struct Scene {
  Scene(int32_t w, int32_t h)
      : w(w), h(h), src(w * h, 100), p1(w * h, 200), p2(w * h, 150), p3(w * h, 50), lut(4 * 256) {
    for (int g = 0; g < 256; ++g) {
      lut[g] = 255;  // opacity
      lut[256 + g] = 10;
      lut[512 + g] = 20;
      lut[768 + g] = 30;
    }
  }
  int32_t run(int16_t m, int16_t hPos, int16_t hSoft, const uint8_t* mask, int16_t relief,
              int16_t grain) {
    return X_distortandlut_buffer(m, 255, 0, 0, hPos, hSoft, h, w, src.data(), h, w, p1.data(),
                                  p2.data(), p3.data(), 0, 0, w - 1, 0, w - 1, h - 1, 0, h - 1, 0,
                                  0, w - 1, h - 1, 100, mask, lut.data(), relief, grain);
  }
  int32_t w, h;
  std::vector<uint8_t> src, p1, p2, p3, lut;
};

class CastShadowWarp : public vmktest::SessionTest {};

TEST_F(CastShadowWarp, FullOpacityPaintsTheTableColourInsideTheFootprint) {
  PinnedRandom pin(0);
  Scene s(6, 5);
  EXPECT_EQ(s.run(0, 0, 0, nullptr, 0, 0), 0);
  for (int32_t y = 0; y < s.h; ++y) {
    for (int32_t x = 0; x < s.w; ++x) {
      const size_t i = y * s.w + x;
      const bool inside = x < s.w - 1 && y < s.h - 1;
      ASSERT_EQ(s.p1[i], inside ? 10 : 200) << x << "," << y;
      ASSERT_EQ(s.p3[i], inside ? 30 : 50) << x << "," << y;
    }
  }
  // Every call seeds the generator from the clock hook.
  EXPECT_EQ(gSeenSeed, 4242u);
  EXPECT_EQ(session_.memMan().count(), 0);  // both ramps returned
}

TEST_F(CastShadowWarp, HardRampAndMaskLimitWhereThePaintLands) {
  PinnedRandom pin(0);
  Scene s(11, 3);
  // Softness 0 at 50 %: columns with 100 * x / 11 < 50 stay, the others paint.
  EXPECT_EQ(s.run(0, 50, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(s.p2[1 * 11 + 5], 150);
  EXPECT_EQ(s.p2[1 * 11 + 6], 20);

  Scene masked(4, 4);
  std::vector<uint8_t> mask(16, 0);
  mask[5] = 255;
  EXPECT_EQ(masked.run(0, 0, 0, mask.data(), 0, 0), 0);
  EXPECT_EQ(masked.p1[5], 10);
  EXPECT_EQ(masked.p1[6], 200);
}

TEST_F(CastShadowWarp, KernelModeAndUnknownMode) {
  PinnedRandom pin(0);
  Scene s(3, 3);
  // m = 4: kernel mode 5, the lesser of ground and colour.
  for (auto& v : s.lut) v = 255;
  EXPECT_EQ(s.run(4, 0, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(s.p1[0], 200);
  EXPECT_EQ(s.p3[0], 50);
  for (int g = 0; g < 256; ++g) s.lut[256 + g] = 10;
  EXPECT_EQ(s.run(4, 0, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(s.p1[0], 10);
  // A mode the kernel does not know leaves the ground alone.
  Scene u(3, 3);
  EXPECT_EQ(u.run(40, 0, 0, nullptr, 0, 0), 0);
  EXPECT_EQ(u.p1[0], 200);
}

TEST_F(CastShadowWarp, GrainJittersOnlySamplesAboveThreeAndStoresThem) {
  // The largest draw gives r = 255: +127 / (21 - grain).
  PinnedRandom pin(0x7FFFFFFF);
  Scene s(3, 3);
  s.src = {0, 3, 4, 100, 250, 100, 7, 7, 7};
  s.run(0, 0, 0, nullptr, 0, 20);
  EXPECT_EQ(s.src[0], 0);
  EXPECT_EQ(s.src[1], 3);
  EXPECT_EQ(s.src[2], 4);  // on the excluded last column: never read
  EXPECT_EQ(s.src[3], 227);
  EXPECT_EQ(s.src[4], 255);  // clamped
  EXPECT_EQ(s.src[5], 100);

  Scene t(3, 2);
  t.src = {50, 50, 50, 50, 50, 50};
  gDraw = 0;  // r = 0: -128 / (21 - 10) = -11
  t.run(0, 0, 0, nullptr, 0, 10);
  EXPECT_EQ(t.src[0], 39);
  // Grain beyond its range is held at 20 rather than dividing by zero.
  Scene z(3, 2);
  z.run(0, 0, 0, nullptr, 0, 21);
  EXPECT_EQ(z.src[0], 0);  // 100 - 128 clamped
}

TEST(CastShadowWarpOutOfMemory, WithoutRampsNothingIsDrawn) {
  Scene s(4, 4);
  vmktest::NoWorkMemory none;
  EXPECT_EQ(s.run(0, 0, 0, nullptr, 0, 0), -1);
  EXPECT_EQ(s.p1, std::vector<uint8_t>(16, 200));
}

}  // namespace
