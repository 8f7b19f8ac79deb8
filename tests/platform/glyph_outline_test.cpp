#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/draw/glyph_outline.h"
#include "platform/draw/port.h"
#include "support/at_once.h"

using plat::draw::GlyphContour;
using plat::draw::GlyphOutline;
using plat::draw::GlyphSegment;
using plat::draw::LoadGlyphOutline;

namespace {

bool InBox(const GlyphOutline& g, float x, float y) {
  return x >= g.xMin && x <= g.xMax && y >= g.yMin && y <= g.yMax;
}

}  // namespace

TEST(GlyphOutline, LetterLIsOneClosedContourInsideFreeTypesControlBox) {
  GlyphOutline g;
  ASSERT_TRUE(LoadGlyphOutline('l', 36.0f, &g));
  EXPECT_TRUE(g.hasGlyph);
  ASSERT_EQ(g.contours.size(), 1u);
  const GlyphContour& c = g.contours[0];
  ASSERT_GE(c.segments.size(), 4u);
  EXPECT_EQ(c.segments.back().x, c.startX);
  EXPECT_EQ(c.segments.back().y, c.startY);
  EXPECT_TRUE(InBox(g, c.startX, c.startY));
  for (const GlyphSegment& s : c.segments) {
    EXPECT_TRUE(InBox(g, s.x, s.y) && InBox(g, s.c1x, s.c1y) && InBox(g, s.c2x, s.c2y));
  }
  // The stem stands on the baseline and rises above it (y down).
  EXPECT_EQ(g.yMax, 0.0f);
  EXPECT_LT(g.yMin, -20.0f);
  EXPECT_GT(g.advance, g.xMax);

  // Unhinted outlines scale with the size.
  GlyphOutline big;
  ASSERT_TRUE(LoadGlyphOutline('l', 72.0f, &big));
  EXPECT_NEAR(big.yMin, 2.0f * g.yMin, 1.0f / 32.0f);
  EXPECT_NEAR(big.advance, 2.0f * g.advance, 1.0f / 32.0f);
}

TEST(GlyphOutline, QuadraticArcsBecomeCubicsWithoutACubicTerm) {
  GlyphOutline g;
  ASSERT_TRUE(LoadGlyphOutline('o', 40.0f, &g));
  ASSERT_EQ(g.contours.size(), 2u);  // outside and counter
  int curves = 0;
  for (const GlyphContour& c : g.contours) {
    float px = c.startX, py = c.startY;
    for (const GlyphSegment& s : c.segments) {
      if (!s.line) {
        // A raised quadratic has P3 - P0 - 3 (C2 - C1) = 0 exactly.
        EXPECT_NEAR(s.x - px - 3.0f * (s.c2x - s.c1x), 0.0f, 1e-4f);
        EXPECT_NEAR(s.y - py - 3.0f * (s.c2y - s.c1y), 0.0f, 1e-4f);
        ++curves;
      } else {
        EXPECT_EQ(s.c1x, px);
        EXPECT_EQ(s.c2x, s.x);
      }
      px = s.x;
      py = s.y;
    }
  }
  EXPECT_GT(curves, 4);
}

TEST(GlyphOutline, BlanksMissingGlyphsAndRefusedSizes) {
  GlyphOutline space;
  ASSERT_TRUE(LoadGlyphOutline(' ', 36.0f, &space));
  EXPECT_TRUE(space.hasGlyph);
  EXPECT_TRUE(space.contours.empty());
  EXPECT_GT(space.advance, 5.0f);

  GlyphOutline missing;
  ASSERT_TRUE(LoadGlyphOutline(0xE123, 36.0f, &missing));  // private use: no glyph
  EXPECT_FALSE(missing.hasGlyph);
  EXPECT_TRUE(missing.contours.empty());
  EXPECT_GT(missing.advance, 0.0f);

  GlyphOutline bad;
  bad.advance = 3.0f;
  EXPECT_FALSE(LoadGlyphOutline('a', 0.0f, &bad));
  EXPECT_FALSE(LoadGlyphOutline('a', std::numeric_limits<float>::quiet_NaN(), &bad));
  EXPECT_EQ(bad.advance, 0.0f);
  EXPECT_FALSE(LoadGlyphOutline('a', 36.0f, nullptr));
}

TEST(PtInRect, IncludesLeftAndTopExcludesRightAndBottom) {
  const Rect r{10, 20, 30, 40};  // top, left, bottom, right
  auto at = [&](int16_t h, int16_t v) {
    Point p;
    p.h = h;
    p.v = v;
    return plat::draw::PtInRect(p, &r);
  };
  EXPECT_TRUE(at(20, 10));
  EXPECT_TRUE(at(39, 29));
  EXPECT_FALSE(at(40, 29));
  EXPECT_FALSE(at(39, 30));
  EXPECT_FALSE(at(19, 15));
  EXPECT_FALSE(at(25, 9));
  const Rect empty{5, 5, 5, 9};
  Point p;
  p.h = 5;
  p.v = 5;
  EXPECT_FALSE(plat::draw::PtInRect(p, &empty));
  EXPECT_FALSE(plat::draw::PtInRect(p, nullptr));
}

// Text set on a preview worker while the interface thread sets another size and letter: each
// outline is the one a lone caller gets.
TEST(GlyphOutline, TwoThreadsLoadingAtOnceGetTheirOwnLetters) {
  GlyphOutline wantA, wantB;
  ASSERT_TRUE(LoadGlyphOutline('g', 40.0f, &wantA));
  ASSERT_TRUE(LoadGlyphOutline('W', 13.0f, &wantB));
  auto same = [](const GlyphOutline& a, const GlyphOutline& b) {
    if (a.advance != b.advance || a.xMin != b.xMin || a.yMax != b.yMax || a.contours.size() != b.contours.size())
      return false;
    for (size_t i = 0; i < a.contours.size(); ++i)
      if (a.contours[i].segments.size() != b.contours[i].segments.size()) return false;
    return true;
  };
  auto load = [&](uint32_t ch, float size, const GlyphOutline& want) {
    GlyphOutline g;
    return LoadGlyphOutline(ch, size, &g) && same(g, want);
  };
  EXPECT_EQ(vmktest::WrongRoundsAtOnce(3000, [&] { return load('g', 40.0f, wantA); },
                                       [&] { return load('W', 13.0f, wantB); }),
            0);
}
