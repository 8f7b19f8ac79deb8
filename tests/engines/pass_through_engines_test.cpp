// The engines that blend the picture with its own copy: backdrop, compo and lens blur, and the
// rows that run them.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/backdrop_compo_engines.h"
#include "engines/patterns/lens_flare_gradient_engines.h"
#include "platform/random/random.h"
#include "script/engine_rows.h"

namespace {

constexpr int32_t kW = 7, kH = 5;
using Planes = std::vector<std::vector<uint8_t>>;

Planes Picture() {
  Planes p(3, std::vector<uint8_t>(kW * kH));
  for (int32_t k = 0; k < 3; ++k)
    for (int32_t i = 0; i < kW * kH; ++i) p[k][i] = static_cast<uint8_t>((i * 37 + k * 91) % 256);
  return p;
}

uint8_t SelfBlended(int32_t mode, uint8_t v, int32_t op) {
  unsigned char r = 0;
  X_optionRPart(&r, static_cast<uint32_t>(mode + 1), v, v);
  return static_cast<uint8_t>(((255 - op) * v + op * r) / 255);
}

int32_t Backdrop(Planes& p, int16_t n, int16_t mode, int16_t op, const uint8_t* mask) {
  MiscBackDrop e;
  return e.FillBuf(n, mode, op, 0, kW, kH, 0, 0, kW, kH, p[0].data(), n == 1 ? nullptr : p[1].data(),
                   n == 1 ? nullptr : p[2].data(), mask);
}

int32_t Compo(Planes& p, int16_t n, int16_t mode, int16_t op, const uint8_t* mask) {
  MiscCompo e;
  return e.FillBuf(n, mode, op, 0, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1, 1, kW, kH, p[0].data(),
                   n == 1 ? nullptr : p[1].data(), n == 1 ? nullptr : p[2].data(), nullptr, mask);
}

int32_t Lens(Planes& p, int16_t n, int16_t mode, int16_t op, const LBlurPar& r) {
  MiscLensBlur e;
  e.SetLBlurPar(&r);
  return e.FillBuf(mode, op, kW, kH, 0, 0, kW, kH, p[0].data(), n == 1 ? nullptr : p[1].data(),
                   n == 1 ? nullptr : p[2].data(), nullptr, nullptr, nullptr);
}

TEST(PassThrough, ReplaceAtFullOpacityKeepsThePicture) {
  LBlurPar lens;
  Init_LBlurPar(&lens);
  for (int16_t n : {int16_t{1}, int16_t{3}}) {
    Planes a = Picture(), b = Picture(), c = Picture();
    EXPECT_EQ(Backdrop(a, n, 0, 255, nullptr), 0);
    EXPECT_EQ(Compo(b, n, 0, 255, nullptr), 0);
    EXPECT_EQ(Lens(c, n, 0, 255, lens), 0);
    EXPECT_EQ(a, Picture());
    EXPECT_EQ(b, Picture());
    EXPECT_EQ(c, Picture());
  }
}

TEST(PassThrough, OtherModesBlendThePictureWithItself) {
  std::vector<uint8_t> mask(kW * kH);
  for (int32_t i = 0; i < kW * kH; ++i) mask[i] = static_cast<uint8_t>(i * 7);
  const Planes src = Picture();
  for (int16_t n : {int16_t{1}, int16_t{3}}) {
    Planes a = Picture(), b = Picture();
    Backdrop(a, n, 3, 200, mask.data());
    Compo(b, n, 3, 200, mask.data());
    for (int32_t k = 0; k < n; ++k)
      for (int32_t i = 0; i < kW * kH; ++i) {
        const uint8_t want = SelfBlended(3, src[k][i], mask[i] * 200 / 255);
        ASSERT_EQ(a[k][i], want) << n << " " << k << " " << i;
        ASSERT_EQ(b[k][i], want);
      }
    if (n == 1) {
      EXPECT_EQ(a[1], src[1]);  // one plane: the others are not touched
    }
  }
}

TEST(PassThrough, BackdropAndCompoRectanglesAndSeed) {
  Planes p = Picture();
  MiscBackDrop e;
  e.FillBuf(3, 3, 255, 0, kW, kH, 2, 1, 99, 3, p[0].data(), p[1].data(), p[2].data(), nullptr);
  const Planes src = Picture();
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const int32_t i = y * kW + x;
      const bool inside = x >= 2 && y >= 1 && y < 3;
      EXPECT_EQ(p[0][i], inside ? SelfBlended(3, src[0][i], 255) : src[0][i]) << x << "," << y;
    }
  static uint32_t seeded = 99;
  plat::SetRandomFunctions(plat::Random, [](uint32_t s) { seeded = s; });
  Planes q = Picture();
  Compo(q, 3, 0, 255, nullptr);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(seeded, 0u);
}

TEST(PassThrough, LensBlurContrastNeedsStrengthAndGate) {
  LBlurPar r;
  Init_LBlurPar(&r);
  r.contrastStrength = 40;
  r.contrastGate = 0;
  Planes p = Picture();
  Lens(p, 3, 0, 255, r);
  EXPECT_EQ(p, Picture());
  r.contrastGate = 128;
  Lens(p, 3, 0, 255, r);
  EXPECT_NE(p, Picture());
  // One plane alone works as three equal planes.
  Planes one = Picture(), same = Picture();
  same[1] = same[2] = same[0];
  Lens(one, 1, 0, 255, r);
  Lens(same, 3, 0, 255, r);
  EXPECT_EQ(one[0], same[0]);
}

TEST(PassThrough, FlareFramAndSuperGradient) {
  FlarePar f;
  Init_FlarePar(&f);
  std::vector<uint8_t> fourth(kW * kH, 0);
  fourth[17] = 255;
  MiscFlare flare;
  flare.SetFlarePar(&f);
  EXPECT_EQ(flare.FillBuf(0, 0, kW, kH, 0, 0, kW, kH, nullptr, nullptr, nullptr, fourth.data(), nullptr), 0);
  EXPECT_LT(fourth[17], 255);
  f.blur = 0;
  std::vector<uint8_t> still(kW * kH, 0);
  still[3] = 200;
  flare.SetFlarePar(&f);
  flare.FillBuf(0, 0, kW, kH, 0, 0, kW, kH, nullptr, nullptr, nullptr, still.data(), nullptr);
  EXPECT_EQ(still[3], 200);

  FramPar fr;
  Init_FramPar(&fr);
  fr.value = 12;
  MiscFram fram;
  fram.SetFramPar(&fr);
  EXPECT_EQ(fram.Par().value, 12);
  MiscSupVig sv;
  sv.SetBufSize(30, 20);
  EXPECT_EQ(sv.bufWidth(), 30);
}

TEST(PassThrough, RowsAreRegisteredButTheSuperGradientHasNone) {
  RegisterEffectFamilies();
  for (EffectCode e : {77, 85, 94, 111}) EXPECT_NE(FindEngineRow(e), nullptr) << e;
  EXPECT_EQ(FindEngineRow(49), nullptr);
}

}  // namespace
