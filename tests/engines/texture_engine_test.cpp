// The texture generator: its working values, tables and pixels.
#include "engines/patterns/texture_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "support/at_once.h"
#include "support/plane_hash.h"

namespace {

// A generator the tests script, so pixels do not depend on the C library.
uint32_t gState = 0;
int32_t gDraws = 0;
int32_t ScriptedNext() {
  ++gDraws;
  gState = gState * 1103515245u + 12345u;
  return static_cast<int32_t>(gState & 0x7FFFFFFFu);
}
void ScriptedSeed(uint32_t s) { gState = s; }

class Texture : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::SetRandomFunctions(ScriptedNext, ScriptedSeed);
    ResetTextureTables();
    gDraws = 0;
    Init_TextuPar(&rec);
    rec.turbulence = rec.vertAmount = rec.horizAmount = rec.particleAmount = 0.0f;
    rec.particleCount = 0;
    rec.warp = 0.0f;
    rec.combineMode = 0;
    rec.bias = rec.gain = 50.0f;
    rec.hueShift = rec.saturationShift = rec.lightnessShift = 0;
    for (int32_t i = 0; i < 256; ++i) {
      rec.ramp.opacity[i] = 255;
      for (int32_t p = 0; p < 3; ++p) rec.ramp.colour[p][i] = static_cast<uint8_t>(i);
    }
    const float knots[6] = {0, 0, 1.0f / 3, 2.0f / 3, 1, 0};
    for (int32_t k = 0; k < 6; ++k) rec.redKnots[k] = rec.greenKnots[k] = rec.blueKnots[k] = knots[k];
  }
  void TearDown() override {
    plat::SetRandomFunctions(nullptr, nullptr);
    ResetTextureTables();
  }
  // Renders into three planes (or one) of w x h filled with 9.
  std::vector<std::vector<uint8_t>> Render(int32_t n, int32_t w, int32_t h, MiscTextu* keep = nullptr,
                                           int16_t blendMode = 0) {
    std::vector<std::vector<uint8_t>> p(3, std::vector<uint8_t>(static_cast<size_t>(w * h), 9));
    MiscTextu local;
    MiscTextu& e = keep != nullptr ? *keep : local;
    e.SetTextuPar(&rec);
    e.FillBuf(static_cast<int16_t>(n), blendMode, 255, 0, 1.0f, 1.0f, w, h, p[0].data(),
              n == 1 ? nullptr : p[1].data(), n == 1 ? nullptr : p[2].data(), nullptr);
    return p;
  }
  TextuPar rec;
};


TEST_F(Texture, FlatRecordsLandOnTheMiddleOfTheRamp) {
  const auto p = Render(3, 8, 5);
  const uint8_t expect = SharedTextureTables().colours[127][0];
  for (int32_t i = 0; i < 40; ++i) ASSERT_EQ(p[0][i], expect) << i;
  EXPECT_EQ(gDraws, 0);  // nothing random was drawn
  // A combination past the last gives 0.5 whatever the components.
  rec.turbulence = 80.0f;
  rec.combineMode = 6;
  EXPECT_EQ(Render(3, 8, 5)[1], p[1]);
}

TEST_F(Texture, NoParticlesWithoutACountWhateverTheAmount) {
  rec.turbulence = 50.0f;
  const auto plain = Render(3, 16, 12);
  rec.particleAmount = 100.0f;
  rec.particleCount = 0;
  EXPECT_EQ(Render(3, 16, 12), plain);
}

TEST_F(Texture, ParticleRadiusFollowsScaleAndHalfTheSmallerSide) {
  rec.particleSize = 1000;
  rec.particleCount = 1;
  rec.turbulenceDetail = 0.0f;
  MiscTextu e;
  Render(3, 100, 60, &e);
  EXPECT_EQ(e.work.particleSize, 30);
  EXPECT_FLOAT_EQ(e.work.turbulenceDetail, 1.1920929e-07f);
  EXPECT_EQ(e.horizTable.get(), nullptr);  // released after the rendering
}

TEST_F(Texture, OctavesAndSplines) {
  MiscTextu e;
  e.par = rec;
  const float eps = 1.1920929e-07f;
  // An octave count of eps sums one whole octave and no fraction.
  EXPECT_FLOAT_EQ(e.Turbulence(1.3f, 2.7f, eps, 0.5f), e.Noise(1.3f, 2.7f));
  EXPECT_FLOAT_EQ(e.Turbulence(1.3f, 2.7f, 2.0f, 0.5f),
                  e.Noise(1.3f, 2.7f) + e.Noise(2.6f, 5.4f) * std::pow(2.0f, -0.5f));
  const float knots[6] = {-0.2f, 0.1f, 0.4f, 0.3f, 0.9f, 1.5f};
  EXPECT_FLOAT_EQ(MiscTextu::Spline(0.0f, knots, 6), 0.1f);
  EXPECT_FLOAT_EQ(MiscTextu::Spline(1.0f / 3, knots, 6), 0.4f);
  EXPECT_FLOAT_EQ(MiscTextu::Spline(2.0f / 3, knots, 6), 0.3f);
  EXPECT_FLOAT_EQ(MiscTextu::Spline(1.0f, knots, 6), 0.9f);
  EXPECT_EQ(MiscTextu::Spline(0.5f, knots, 65), 0.0f);
  EXPECT_EQ(MiscTextu::ShapeSample(0.7f, 4), 0.0f);
  EXPECT_EQ(MiscTextu::ShapeSample(0.7f, kShapeSquare), 1.0f);
}

TEST_F(Texture, NoiseTablesFollowTheShuffle) {
  rec.seed = 77;
  MiscTextu e;
  e.work.seed = 77;
  (void)e.Noise(0.5f, 0.5f);
  ScriptedSeed(77);
  int32_t perm[34] = {};
  float gx[34] = {};
  for (int32_t i = 0; i < 16; ++i) {
    const float a = static_cast<float>(static_cast<double>(ScriptedNext()) * 6.283185308 / 2147483647.0);
    gx[i] = std::sin(a);
    perm[i] = i;
  }
  for (int32_t k = 16; k >= 2; k -= 2) std::swap(perm[k], perm[ScriptedNext() % 16]);
  for (int32_t i = 0; i < 18; ++i) perm[16 + i] = perm[i], gx[16 + i] = gx[i];
  const TextureTables& t = SharedTextureTables();
  for (int32_t i = 0; i < 34; ++i) {
    EXPECT_EQ(t.perm[i], perm[i]) << i;
    EXPECT_FLOAT_EQ(t.gx[i], gx[i]) << i;
  }
}

TEST_F(Texture, SeedMovesParticlesNotNoise) {
  rec.turbulence = 60.0f;
  rec.particleAmount = 40.0f;
  rec.particleCount = 30;
  rec.particleSize = 40;
  rec.seed = 5;
  const auto first = Render(3, 32, 24);
  EXPECT_EQ(Render(3, 32, 24), first);
  const TextureTables before = SharedTextureTables();
  rec.seed = 6;
  EXPECT_NE(Render(3, 32, 24), first);
  const TextureTables& after = SharedTextureTables();
  for (int32_t i = 0; i < 34; ++i) ASSERT_EQ(after.perm[i], before.perm[i]);
  rec.particleAmount = 0.0f;
  const auto noiseSix = Render(3, 32, 24);
  rec.seed = 5;
  EXPECT_EQ(Render(3, 32, 24), noiseSix);
}

TEST_F(Texture, OnePlaneUsesTheRedCurveAndFirstTable) {
  rec.turbulence = 70.0f;
  for (int32_t i = 0; i < 256; ++i) {
    rec.ramp.colour[0][i] = static_cast<uint8_t>(255 - i);
    rec.ramp.colour[1][i] = 3;
  }
  rec.greenKnots[1] = rec.greenKnots[2] = 0.0f;
  const auto three = Render(3, 12, 10);
  const auto one = Render(1, 12, 10);
  EXPECT_EQ(one[0], three[0]);
  EXPECT_EQ(one[1], std::vector<uint8_t>(120, 9));
}

TEST_F(Texture, InfiniteCentresSaturateAndEmptyPlanesAreLeft) {
  rec.particleFalloff = 2;
  rec.particleAmount = 100.0f;
  rec.particleCount = 1;
  rec.particleSize = 30;
  const auto p = Render(3, 9, 9);
  const uint8_t top = SharedTextureTables().colours[255][0];
  EXPECT_NE(std::count(p[0].begin(), p[0].end(), top), 0);
  rec.combineMode = 1;  // a zero factor times the infinite centre: NaN, taken as 0
  rec.turbulence = 100.0f;
  rec.particleAmount = 8.0f * 12.5f;
  (void)Render(3, 9, 9);
  std::vector<uint8_t> plane(4, 9);
  MiscTextu e;
  e.SetTextuPar(&rec);
  e.FillBuf(1, 0, 255, 1, 1, 1, 0, 2, plane.data(), nullptr, nullptr, nullptr);
  EXPECT_EQ(plane, std::vector<uint8_t>(4, 9));
}

// A blend mode without a case in the kernel keeps the picture, as in every other engine.
TEST_F(Texture, ABlendModeWithoutACaseKeepsThePicture) {
  for (int16_t mode : {12, 40, -2})
    for (int32_t n : {1, 3}) {
      const auto p = Render(n, 6, 5, nullptr, mode);
      for (int32_t c = 0; c < n; ++c) EXPECT_EQ(p[c], std::vector<uint8_t>(30, 9)) << mode;
    }
}

// The generator's preview and the image tools' rendering two textures at once, with
// different colour curves: each gets the picture it gets alone.
TEST_F(Texture, TwoThreadsRenderingAtOnceKeepTheirOwnCurves) {
  rec.vertAmount = 60.0f;
  rec.vertFrequency = 6;
  TextuPar other = rec;
  for (int32_t k = 1; k <= 4; ++k) other.redKnots[k] = 1.0f - rec.redKnots[k];
  auto render = [](const TextuPar& r) {
    std::vector<std::vector<uint8_t>> p(3, std::vector<uint8_t>(48 * 40, 9));
    MiscTextu e;
    e.SetTextuPar(&r);
    e.FillBuf(3, 0, 255, 0, 1.0f, 1.0f, 48, 40, p[0].data(), p[1].data(), p[2].data(), nullptr);
    return p;
  };
  const auto wantA = render(rec), wantB = render(other);
  ASSERT_NE(wantA[0], wantB[0]);
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(150, [&] { return render(rec) == wantA; },
                                       [&] { return render(other) == wantB; }),
            0);
}

TEST_F(Texture, GoldenSeededTexture) {
  rec.turbulence = 40.0f;
  rec.turbulenceDetail = 50.0f;
  rec.vertAmount = 30.0f;
  rec.vertFrequency = 20;
  rec.vertDetail = 30.0f;
  rec.horizAmount = 25.0f;
  rec.horizFrequency = 10;
  rec.horizShape = kShapeTriangle;
  rec.particleAmount = 20.0f;
  rec.particleCount = 12;
  rec.particleSize = 50;
  rec.particleFalloff = 1;
  rec.distortion = 10.0f;
  rec.warp = 20.0f;
  rec.combineMode = 2;
  rec.bias = 40.0f;
  rec.gain = 60.0f;
  rec.seed = 1234;
  // Its samples run in bands of rows once the first has set up the tables: the same picture
  // at one, three and eight threads, and on a larger picture the same at each count.
  std::vector<std::vector<uint8_t>> larger;
  for (int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    ResetTextureTables();
    EXPECT_EQ(vmktest::PlanesHash(Render(3, 40, 30)), 15041985470444089629ull) << threads;
    ResetTextureTables();
    const auto big = Render(3, 97, 61);
    if (larger.empty()) larger = big;
    EXPECT_EQ(big, larger) << threads;
  }
  plat::SetThreadCount(0);
}

}  // namespace
