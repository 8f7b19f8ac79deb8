// The shape and cookie-cutter engines: where the outline lands, how the ramp colours it,
// the softening, the empty rectangle, the shared drawing parameters and one kept picture
// of each generator.
#include "engines/patterns/path_shape_engines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engines/patterns/pattern_record_kinds.h"
#include "operations/effects.h"
#include "paths/draw_par.h"
#include "script/engine_rows.h"
#include "support/plane_hash.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;

using vmktest::Fnv;

// An opaque identity ramp: one plane shows the shape plane itself.
void IdentityRamp(LutVign* ramp) { Init_LutVign(0, ramp, 0, 0, 0, 0); }

class PathShapeEngines : public ::testing::Test {
 protected:
  void SetUp() override {
    Init_DrawPar(&drawPar_);
    drawPar_.viewOffsetX = 7.0f;
    drawPar_.scaleY = 3.0f;
    drawPar_.originX = -5.0f;
    gPer->drawPar = &drawPar_;
  }
  void TearDown() override { gPer->drawPar = nullptr; }

  void ExpectDrawParKept() const {
    EXPECT_EQ(drawPar_.viewOffsetX, 7.0f);
    EXPECT_EQ(drawPar_.viewOffsetY, 0.0f);
    EXPECT_EQ(drawPar_.scaleX, 1.0f);
    EXPECT_EQ(drawPar_.scaleY, 3.0f);
    EXPECT_EQ(drawPar_.originX, -5.0f);
  }

  // The shape plane of one shape record, drawn over the whole w x h plane.
  static Plane Shape(const ShapePar& r, int32_t w, int32_t h) {
    MiscShape e;
    e.SetShapePar(&r);
    Plane p(static_cast<size_t>(w * h), 0);
    EXPECT_EQ(e.FillBuf(1, 0, 255, 0, 1, 0, 0, w, h, w, h, 0, 0, w, h, 1.0f, 1.0f, w, h,
                        p.data(), nullptr, nullptr, nullptr, nullptr),
              0);
    return p;
  }
  static ShapePar StarRecord(int32_t kind = 0) {
    ShapePar r;
    Init_ShapePar(&r, 100, 60, kind);
    IdentityRamp(&r.ramp);
    return r;
  }
  static Plane Cookie(const CookiCutPar& r, int32_t w, int32_t h) {
    MiscCookiCut e;
    e.SetCookiCutPar(&r);
    Plane p(static_cast<size_t>(w * h), 0);
    EXPECT_EQ(e.FillBuf(1, 0, 255, 0, 1, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1.0f, 1.0f,
                        p.data(), nullptr, nullptr, nullptr, nullptr),
              0);
    return p;
  }
  static CookiCutPar CookieRecord() {
    CookiCutPar r;
    Init_CookiCutPar(&r);
    IdentityRamp(&r.ramp);
    return r;
  }

  vmktest::ScopedSession session_;
  DrawPar drawPar_{};
};

struct Extent {
  double cx = 0, cy = 0;
  int32_t left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};
Extent ExtentOf(const Plane& p, int32_t w) {
  Extent e;
  double n = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(p.size()); ++i) {
    if (p[i] < 128) continue;
    const int32_t x = i % w, y = i / w;
    e.cx += x, e.cy += y, n += 1;
    e.left = std::min(e.left, x), e.right = std::max(e.right, x);
    e.top = std::min(e.top, y), e.bottom = std::max(e.bottom, y);
  }
  if (n > 0) e.cx /= n, e.cy /= n;
  return e;
}

TEST_F(PathShapeEngines, ShapeIsPlacedByPercentagesOfTheRectangle) {
  // 100 x 60 at 50/50, radius 40: centre (50, 30), radius 24 of the smaller side.
  ShapePar r = StarRecord();
  r.shape.w[kObjStarInner] = 100;  // a regular pentagon
  Extent e = ExtentOf(Shape(r, 100, 60), 100);
  EXPECT_NEAR((e.left + e.right) / 2.0, 50, 1.5);
  EXPECT_NEAR(e.cy, 30, 3.0);
  EXPECT_LE(e.bottom - e.top, 2 * 24 + 1);
  EXPECT_GE(e.right - e.left, 2 * 24 * 0.95 - 2);
  // Centre 33 on a 100-wide rectangle is 33 (33.5 truncated), as 33 of 100 rows is.
  r.centreX = 33;
  r.centreY = 33;
  r.radius = 20;
  e = ExtentOf(Shape(r, 100, 100), 100);
  EXPECT_NEAR((e.left + e.right) / 2.0, 33, 1.0);
  ExpectDrawParKept();
}

TEST_F(PathShapeEngines, RotationByAFullTurnAndTheSpirographIgnoringIt) {
  ShapePar r = StarRecord();
  const Plane zero = Shape(r, 100, 60);
  r.rotation = 360;
  EXPECT_EQ(Shape(r, 100, 60), zero);
  r.rotation = 36;
  EXPECT_NE(Shape(r, 100, 60), zero);
  ShapePar s = StarRecord(1);
  const Plane spiro = Shape(s, 90, 70);
  s.rotation = 45;
  s.radius = 150;
  EXPECT_EQ(Shape(s, 90, 70), spiro);
}

TEST_F(PathShapeEngines, UnknownKindColoursWithTheAmountZeroEverywhere) {
  ShapePar r = StarRecord(2);
  r.ramp.opacity[0] = 255;
  for (auto& row : r.ramp.colour) row[0] = 77;
  MiscShape e;
  e.SetShapePar(&r);
  Plane p0(40 * 30, 200), p1(40 * 30, 10), p2(40 * 30, 90);
  ASSERT_EQ(e.FillBuf(3, 0, 255, 0, 1, 0, 0, 40, 30, 40, 30, 0, 0, 40, 30, 1.0f, 1.0f, 40, 30,
                      p0.data(), p1.data(), p2.data(), nullptr, nullptr),
            0);
  for (const Plane* p : {&p0, &p1, &p2})
    for (uint8_t v : *p) ASSERT_EQ(v, 77);
}

TEST_F(PathShapeEngines, EmptyRectangleOnlyPreparesTheSource) {
  ShapePar r = StarRecord();
  MiscShape e;
  e.SetShapePar(&r);
  Plane p(30 * 20, 5);
  EXPECT_EQ(e.FillBuf(1, 0, 255, 1, 1, 10, 0, 5, 20, 30, 20, 0, 0, 30, 20, 1.0f, 1.0f, 30, 20,
                      p.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  for (uint8_t v : p) ASSERT_EQ(v, 255);
  EXPECT_EQ(e.record()->width, 30);
  MiscCookiCut c;
  Plane q(30 * 20, 5);
  EXPECT_EQ(c.FillBuf(1, 0, 255, 1, 1, 30, 20, 0, 40, 30, 50, 30, 20, 0, 0, 30, 20, 1.0f, 1.0f,
                      q.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(q, p);
  ExpectDrawParKept();
}

TEST_F(PathShapeEngines, CookieSoftnessIsABlurOfTheHardCut) {
  // The default record already softens by 2; the unblurred cut needs softness 0.
  CookiCutPar r = CookieRecord();
  r.softness = 0;
  Plane hard = Cookie(r, 700, 500);
  EXPECT_EQ(*std::max_element(hard.begin(), hard.end()), 255);
  r.softness = 100;  // radius 700 x 100 / 350 = 200
  const Plane soft = Cookie(r, 700, 500);
  // The identity ramp shows the shape plane as it is, so the engine's plane is exactly
  // one radius-200 blur of the hard cut over the same region.
  Effects::Blur(0, 255, hard.data(), nullptr, 700, 500, 0, 0, 700, 500, 200, 1);
  EXPECT_EQ(soft, hard);
  EXPECT_NE(soft, Cookie(CookieRecord(), 700, 500));
  ExpectDrawParKept();
}

TEST_F(PathShapeEngines, CookieStretchesToTheAspectAndApplyZeroOnlyWhitens) {
  const CookiCutPar r = CookieRecord();
  const Extent square = ExtentOf(Cookie(r, 100, 100), 100);
  const Extent wide = ExtentOf(Cookie(r, 200, 100), 200);
  EXPECT_NEAR((wide.right - wide.left + 1.0) / (square.right - square.left + 1.0), 2.0, 0.08);
  EXPECT_NEAR(wide.bottom - wide.top, square.bottom - square.top, 2);
  MiscCookiCut e;
  Plane p(50 * 40, 3), q(50 * 40, 9), s(50 * 40, 60);
  EXPECT_EQ(e.FillBuf(3, 0, 255, 1, 0, 50, 40, 0, 0, 50, 40, 50, 40, 0, 0, 50, 40, 1.0f, 1.0f,
                      p.data(), q.data(), s.data(), nullptr, nullptr),
            0);
  for (const Plane* x : {&p, &q, &s})
    for (uint8_t v : *x) ASSERT_EQ(v, 255);
}

TEST_F(PathShapeEngines, EveryGeneratorKeepsItsPicture) {
  // Made once from these engines and kept; the doubled star pins what the even-odd fill
  // makes of two identical outlines.
  ShapePar star = StarRecord();
  star.rotation = 20;
  star.softness = 5;
  ShapePar doubled = StarRecord();
  doubled.shape.w[kObjOutlineOffset] = 10;
  CookiCutPar cookie = CookieRecord();
  cookie.turns = 5;
  EXPECT_EQ(Fnv(Shape(star, 120, 90)), 3864212645u);
  EXPECT_EQ(Fnv(Shape(doubled, 120, 90)), 702047724u);
  EXPECT_EQ(Fnv(Shape(StarRecord(1), 120, 90)), 2340275787u);
  EXPECT_EQ(Fnv(Cookie(cookie, 120, 90)), 3380093339u);
}

TEST(PathShapeRows, CookieAndShapeRowsAreRegistered) {
  RegisterPatternRecords();
  EXPECT_EQ(FindEngineRow(81), &RunCookiCutRow);
  EXPECT_EQ(FindEngineRow(109), &RunShapeRow);
  EXPECT_EQ(FindEngineRow(110), &RunShapeRow);
}

}  // namespace
