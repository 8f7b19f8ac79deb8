// The cast-shadow engine: the fade ramps, what it leaves in the source channel and the
// mask, how the footprint follows the reference size, and one kept picture.
#include "engines/patterns/cast_shadow_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engines/families/effect_families.h"
#include "engines/patterns/pattern_record_kinds.h"
#include "operations/effects.h"
#include "platform/random/random.h"
#include "script/effect_registries.h"
#include "script/script_file.h"
#include "support/plane_hash.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 40, kH = 30;

using vmktest::Fnv;

Plane Stripes() {
  Plane p(kW * kH);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) p[y * kW + x] = ((x / 3 + y / 4) % 2) ? 230 : 20;
  return p;
}

ShadoPar Defaults() {
  ShadoPar r;
  Init_ShadoPar(&r, 0);
  r.w[kShaRefWidth] = kW;
  r.w[kShaRefHeight] = kH;
  const int32_t x[4] = {0, 0, kW, kW}, y[4] = {0, kH, kH, 0};
  for (int i = 0; i < 4; ++i) r.w[kShaCornerX + i] = x[i], r.w[kShaCornerY + i] = y[i];
  return r;
}

int32_t gDraw = 0;
int32_t NextSeven() { return gDraw = (gDraw * 1103 + 7) & 0x7fff; }

struct Render {
  Plane source = Stripes(), mask = Plane(kW * kH, 200);
  Plane planes[3] = {Plane(kW * kH, 90), Plane(kW * kH, 150), Plane(kW * kH, 210)};
  int32_t result = 0;

  explicit Render(const ShadoPar& r, int32_t aw = kW, int32_t ah = kH) {
    MiscPhotoShado e;
    e.SetShadoPar(&r);
    result = e.FillBuf(0, 255, kW, kH, planes[0].data(), planes[1].data(), planes[2].data(),
                       source.data(), mask.data(), aw, ah);
  }
};

Plane Blurred(int16_t radius) {
  Plane p = Stripes();
  Effects::Blur(0, 255, p.data(), nullptr, kW, kH, 0, 0, kW - 1, kH - 1, radius, 1);
  return p;
}

}  // namespace

TEST(CastShadowEngine, FadeRampsRiseFallAndStayFlatAtTheDefaults) {
  for (int32_t p = 0; p <= 100; p += 7) EXPECT_EQ(ShadowFadeWeight(p, 0, 0), 255) << p;
  // Centre 50, spread 10: sharp to 30 %, linear to 70 %, blurred after.
  EXPECT_EQ(ShadowFadeWeight(29, 50, 10), 0);
  EXPECT_EQ(ShadowFadeWeight(30, 50, 10), 0);
  EXPECT_EQ(ShadowFadeWeight(50, 50, 10), 127);
  EXPECT_EQ(ShadowFadeWeight(69, 50, 10), 248);
  EXPECT_EQ(ShadowFadeWeight(70, 50, 10), 255);
  // A negative spread reverses it.
  EXPECT_EQ(ShadowFadeWeight(29, 50, -10), 255);
  EXPECT_EQ(ShadowFadeWeight(50, 50, -10), 128);
  EXPECT_EQ(ShadowFadeWeight(70, 50, -10), 0);
  // Bounds held to 0..100; empty or inverted spans divide by nothing.
  EXPECT_EQ(ShadowFadeWeight(10, 10, 20), 51);
  EXPECT_EQ(ShadowFadeWeight(99, 200, 0), 0);
  EXPECT_EQ(ShadowFadeWeight(99, 200, -1), 255);
  EXPECT_EQ(ShadowFadeWeight(0, -200, -1), 0);
  // A spread at the ends of its range reaches past 32 bits before it is held to 0..100: the
  // ramp then runs over the whole length.
  EXPECT_EQ(ShadowFadeWeight(50, 0, INT32_MAX), 127);
  EXPECT_EQ(ShadowFadeWeight(50, INT32_MAX, INT32_MIN), 128);
  EXPECT_EQ(ShadowFadeWeight(50, INT32_MIN, INT32_MIN), 128);
}

TEST(CastShadowEngine, SourceKeepsTheFadedShadowAndMaskItsTreatment) {
  ShadoPar r = Defaults();
  // The distortion's grain writes its jitter back into the source: none here, so the source
  // shows the fades alone.
  r.w[kShaDistort + 5] = 0;
  Render fully(r);
  EXPECT_EQ(fully.result, 0);
  EXPECT_EQ(fully.source, Blurred(8));  // defaults: the whole plane blurred
  EXPECT_EQ(fully.mask, Plane(kW * kH, 55));  // treatment 0 inverts

  r.w[kShaFadeV] = 50;  // centre 50, spread 10: sharp rows to 30 %, blurred from 70 %
  r.w[kShaFadeV + 1] = 10;
  r.w[kShaMaskTreatment] = 1;
  Render faded(r);
  const Plane sharp = Stripes(), blur = Blurred(8);
  for (int32_t x = 0; x < kW; ++x) {
    EXPECT_EQ(faded.source[x], sharp[x]);                          // row 0: 0 %
    EXPECT_EQ(faded.source[8 * kW + x], sharp[8 * kW + x]);        // 26 %
    EXPECT_EQ(faded.source[21 * kW + x], blur[21 * kW + x]);       // 70 %
  }
  EXPECT_EQ(faded.mask, Plane(kW * kH, 200));  // treatment 1 leaves it

  r = Defaults();
  r.w[kShaDistort + 5] = 0;
  r.w[kShaBlur] = 0;
  r.w[kShaFadeH + 1] = -10;
  r.w[kShaMaskTreatment] = 2;
  Render none(r);
  EXPECT_EQ(none.source, Stripes());  // no blur: the fades mix equal values
  EXPECT_EQ(none.mask, Plane(kW * kH, 255));
}

TEST(CastShadowEngine, FootprintFollowsTheReferenceSize) {
  plat::SetRandomFunctions(&NextSeven, nullptr);
  ShadoPar r = Defaults();
  const int32_t x[4] = {4, 10, 36, 30}, y[4] = {2, 20, 26, 6};
  for (int i = 0; i < 4; ++i) r.w[kShaCornerX + i] = x[i], r.w[kShaCornerY + i] = y[i];
  r.w[kShaDistort + 5] = 0;  // no grain: renders comparable
  const Render atArea(r);
  // A record kept for a picture twice the size: every corner halved.
  ShadoPar twice = r;
  twice.w[kShaRefWidth] = 2 * kW;
  twice.w[kShaRefHeight] = 2 * kH;
  for (int i = 0; i < 4; ++i) twice.w[kShaCornerX + i] *= 2, twice.w[kShaCornerY + i] *= 2;
  // A reference size of 0 cannot scale: the corners are taken as they stand.
  ShadoPar zero = r;
  zero.w[kShaRefWidth] = 0;
  zero.w[kShaRefHeight] = 0;
  for (const ShadoPar* other : {&twice, &zero}) {
    const Render o(*other);
    EXPECT_EQ(o.result, 0);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(o.planes[k], atArea.planes[k]);
  }
  EXPECT_NE(atArea.planes[0], Plane(kW * kH, 90));
  plat::SetRandomFunctions(nullptr, nullptr);
}

TEST(CastShadowEngine, EmptyPlaneDrawsNothingAndKeptPictureStays) {
  MiscPhotoShado e;
  uint8_t one = 7;
  EXPECT_EQ(e.FillBuf(0, 255, 0, 5, &one, &one, &one, &one, &one, 0, 5), 0);
  EXPECT_EQ(one, 7);
  EXPECT_EQ(e.FillBuf(0, 255, 1, 1, &one, &one, &one, nullptr, nullptr, 1, 1), -1);

  gDraw = 0;
  plat::SetRandomFunctions(&NextSeven, nullptr);
  ShadoPar r = Defaults();
  r.w[kShaCornerX + 1] = 12;
  r.w[kShaCornerY + 3] = 9;
  const Render kept(r);
  plat::SetRandomFunctions(nullptr, nullptr);
  EXPECT_EQ(Fnv(kept.planes[0]) ^ Fnv(kept.planes[1]) ^ Fnv(kept.planes[2]), 1883707135u);
}

TEST(CastShadowEngine, RegisteredAsTheShadowCase) {
  RegisterPatternRecords();
  EXPECT_NE(FindRenderCase(80), nullptr);
}

namespace {

// One fresh script holding the shadow of plane 6 onto the composite, rendered once from the
// same picture; planes 3 to 6 as it leaves them.
std::vector<Plane> RenderShadowScript() {
  ScriptFile s;
  EXPECT_EQ(s.I_ScriptFile(3, kW, kH, 72.0f, kW, kH, 0, 0, kW - 1, kH - 1), 0);
  s.SetEffect(0, 1, 1, 80, 0, 0, 0, 0);
  s.SetAct(0, 1, 1, 1);
  s.SetFromChannel(0, 1, 1, 6);
  s.SetToChannel(0, 1, 1, 2);
  ShadoPar r = Defaults();
  const int32_t x[4] = {4, 10, 36, 30}, y[4] = {2, 20, 26, 6};
  for (int i = 0; i < 4; ++i) r.w[kShaCornerX + i] = x[i], r.w[kShaCornerY + i] = y[i];
  r.w[kShaMaskTreatment] = 2;  // the whole shadow, whatever the operation's mask
  EXPECT_EQ(s.SetShadoPar(0, 1, 1, &r), 0);
  std::vector<uint8_t> pixels(4 * kW * kH);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 13 + 5);
  const Plane six = Stripes();
  gDraw = 0;  // the distortion's grain draws from the hook: the same draws both times
  EXPECT_EQ(s.Render(0, 0, 0, pixels.data(), six.data(), nullptr, 0, 0), 0);
  EXPECT_TRUE(s.MissingCases().empty());
  std::vector<Plane> out;
  for (int16_t c = 3; c <= 6; ++c) out.emplace_back(s.ChannelPlane(c, 0), s.ChannelPlane(c, 0) + kW * kH);
  return out;
}

}  // namespace

// The shadow fades its source plane in place, so a second render of one script starts from
// the shadow; two fresh scripts over the same picture give the same bytes.
TEST(CastShadowScript, TwoRendersOfAFreshScriptAreIdentical) {
  vmktest::ScopedSession session;
  vmktest::ScopedAppData app;
  vmktest::TempDir dir;
  ASSERT_TRUE(SetFicFromPosix(&app.data().makersFolder, dir.path().string()));
  RegisterEffectFamilies();
  plat::SetRandomFunctions(&NextSeven, nullptr);
  const std::vector<Plane> first = RenderShadowScript(), second = RenderShadowScript();
  plat::SetRandomFunctions(nullptr, nullptr);
  ASSERT_EQ(first.size(), 4u);
  EXPECT_EQ(first, second);
  EXPECT_NE(first[3], Stripes());  // plane 6 holds the faded shadow afterwards
  Plane red(kW * kH);
  for (size_t i = 0; i < red.size(); ++i) red[i] = static_cast<uint8_t>(4 * i * 13 + 5);
  EXPECT_NE(first[0], red);  // and the shadow reached the picture
}
