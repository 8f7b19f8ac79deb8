// The extrusion engine: an empty shape, a body of no depth, the light, one plane, the
// outline drawing rules, and one kept picture.
#include "engines/patterns/extrusion_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engines/patterns/pattern_record_kinds.h"
#include "platform/random/random.h"
#include "script/effect_registries.h"
#include "support/plane_hash.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 40, kH = 30;

using vmktest::Fnv;

int32_t gDraw = 0;
int32_t NextDraw() { return gDraw = (gDraw * 1103 + 7) & 0x7fff; }

// Columns 10..29, rows 5..19 at 200; the rest 0.
Plane Block() {
  Plane p(kW * kH, 0);
  for (int32_t y = 5; y < 20; ++y)
    for (int32_t x = 10; x < 30; ++x) p[y * kW + x] = 200;
  return p;
}

void SetQuad(XTrudePar& r, int32_t quad, const int32_t x[4], const int32_t y[4]) {
  for (int32_t k = 0; k < 4; ++k) {
    r.w[XTrudeQuadWord(2 * k, quad)] = x[k];
    r.w[XTrudeQuadWord(2 * k + 1, quad)] = y[k];
  }
}

class ExtrusionEngine : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    gPer->previewWidth = kW;
    gPer->previewHeight = kH;
    gDraw = 0;
    plat::SetRandomFunctions(&NextDraw, nullptr);
    Init_XTrudePar(&r_, 0, kW, kH);
    const int32_t x[4] = {14, 14, 36, 36}, y[4] = {2, 18, 18, 2};
    SetQuad(r_, 9, x, y);  // the back: smaller, lower right
  }
  void TearDown() override { plat::SetRandomFunctions(nullptr, nullptr); }

  struct Result {
    Plane planes[3] = {Plane(kW * kH, 60), Plane(kW * kH, 120), Plane(kW * kH, 180)};
    int32_t result = 0;
  };
  Result Render(const Plane& source, int16_t planeCount = 3, int16_t blendMode = 0) const {
    Result out;
    MiscXTrude e;
    e.SetXTrudePar(&r_);
    out.result = e.FillBuf(blendMode, 255, kW, kH, planeCount, out.planes[0].data(),
                           out.planes[1].data(), out.planes[2].data(), source.data(), nullptr,
                           kW, kH);
    return out;
  }

  XTrudePar r_;
};

}  // namespace

TEST_F(ExtrusionEngine, EmptyShapeAndBodyWithoutDepthLeaveThePlanes) {
  const Result empty = Render(Plane(kW * kH, 127));
  EXPECT_EQ(empty.result, 0);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(empty.planes[k], Plane(kW * kH, 60 + 60 * k));

  // Front and back on the shape's own box: no depth, no steps; the shape blends the
  // unchanged copies back in normal mode.
  const int32_t x[4] = {10, 10, 30, 30}, y[4] = {10, 25, 25, 10};
  SetQuad(r_, 0, x, y);
  SetQuad(r_, 9, x, y);
  const Result flat = Render(Block());
  for (int k = 0; k < 3; ++k) EXPECT_EQ(flat.planes[k], Plane(kW * kH, 60 + 60 * k));
}

TEST_F(ExtrusionEngine, LightShadesOnlyWithStrengthAndOnePlaneStaysAlone) {
  r_.w[kXtrLightStrength] = 0;
  const Result dark = Render(Block());
  EXPECT_NE(dark.planes[0], Plane(kW * kH, 60));
  r_.w[kXtrLightAngle] = 90;
  gDraw = 0;
  EXPECT_EQ(Render(Block()).planes[1], dark.planes[1]);  // strength 0: every shade 0
  r_.w[kXtrLightStrength] = 100;
  gDraw = 0;
  EXPECT_NE(Render(Block()).planes[1], dark.planes[1]);

  const Result one = Render(Block(), 1);
  EXPECT_NE(one.planes[0], Plane(kW * kH, 60));
  EXPECT_EQ(one.planes[1], Plane(kW * kH, 120));
  EXPECT_EQ(one.planes[2], Plane(kW * kH, 180));
}

TEST(ExtrusionOutline, DrawingClampsWeighsByCoverAndClears) {
  Plane plane(4 * 3, 100), cover(4 * 3, 255);
  cover[0] = 0;
  const OutPoint p[3] = {{-5, -2}, {9, 1}, {1, 1}};
  const int16_t mult[3] = {255, 255, 128}, off[3] = {0, 300, -50};
  DrawOutlineCol(0, 255, plane.data(), cover.data(), 3, 4, 1, 3, p, mult, off, 200);
  EXPECT_EQ(plane[0], 100);          // covered already: weight 0
  EXPECT_EQ(plane[1 * 4 + 3], 255);  // clamped into the plane, colour limited to 255
  EXPECT_EQ(plane[1 * 4 + 1], 75);   // (200 - 50) x 128 / 255
  EXPECT_EQ(cover[1 * 4 + 3], 0);
  // A second draw over cleared cover leaves the pixel.
  const uint8_t colours[3] = {0, 0, 0};
  DrawOutline(0, 255, plane.data(), cover.data(), 3, 4, 0, 3, p, mult, off, colours);
  EXPECT_EQ(plane[1 * 4 + 1], 75);
  // Without a cover the opacity alone weighs.
  DrawOutline(0, 255, plane.data(), nullptr, 3, 4, 0, 1, &p[2], mult, off, colours);
  EXPECT_EQ(plane[1 * 4 + 1], 0);
}

// A blend mode without a case in the kernel keeps the picture, body and outline alike.
TEST_F(ExtrusionEngine, ABlendModeWithoutACaseKeepsThePicture) {
  ASSERT_NE(Render(Block()).planes[0], Plane(kW * kH, 60));  // mode 0 does draw
  for (int16_t mode : {12, 40, -2}) {
    const Result r = Render(Block(), 3, mode);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.planes[0], Plane(kW * kH, 60)) << mode;
    EXPECT_EQ(r.planes[1], Plane(kW * kH, 120)) << mode;
    EXPECT_EQ(r.planes[2], Plane(kW * kH, 180)) << mode;
  }
}

TEST_F(ExtrusionEngine, KeptPictureAndRegisteredCase) {
  r_.w[kXtrColourMode] = 2;
  r_.w[kXtrLightAngle] = 45;
  r_.w[kXtrLightStrength] = 60;
  const Result kept = Render(Block());
  EXPECT_EQ(Fnv(kept.planes[0]) ^ Fnv(kept.planes[1]) ^ Fnv(kept.planes[2]), 3483144176u);
  RegisterPatternRecords();
  EXPECT_NE(FindRenderCase(90), nullptr);
}

TEST_F(ExtrusionEngine, StraightVariantDrawsAlongItsOffsetOnly) {
  for (int32_t i = 0; i < 256; ++i) r_.ramp.colour[0][i] = 250;
  const int32_t x[4] = {5, 5, 45, 45}, y[4] = {0, 30, 30, 0};
  SetQuad(r_, 9, x, y);  // five columns to the right
  Plane shape = Block();
  for (uint8_t& v : shape) v = v >= 128 ? 255 : 0;
  Plane copy(kW * kH, 60);
  ASSERT_EQ(ExtrudeBackLightOffset(1, shape.data(), copy.data(), nullptr, nullptr, kH, kW, 0, 0,
                                   kW - 1, kH - 1, 0, &r_, kW, kH),
            0);
  int32_t drawn = 0;
  for (int32_t i = 0; i < kW * kH; ++i) {
    if (copy[i] == 60) continue;
    ++drawn;
    const int32_t col = i % kW, row = i / kW;
    EXPECT_TRUE(col >= 10 && col <= 35 && row >= 4 && row <= 20) << col << "," << row;
  }
  EXPECT_GT(drawn, 40);
}
