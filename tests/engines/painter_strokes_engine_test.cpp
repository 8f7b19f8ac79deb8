// The painter engine: stroke counts and draws, the paper passes, the plain outputs (white,
// red, selection, self-blend), one plane, the variant and place rules, limits and one kept
// picture. Brushes and papers are written by the test; draws come from a counting generator.
#include "engines/patterns/painter_strokes_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/image_import.h"
#include "engines/patterns/pattern_record_kinds.h"
#include "operations/effects.h"
#include "platform/imageio/image_io.h"
#include "platform/memory/memory.h"
#include "platform/random/random.h"
#include "script/engine_rows.h"
#include "support/plane_hash.h"
#include "support/session.h"

#include "tile_pictures.h"

namespace {

using Plane = std::vector<uint8_t>;

uint32_t gState = 1;
int64_t gDraws = 0;
int32_t Next() {
  ++gDraws;
  gState = gState * 1103515245u + 12345u;
  return static_cast<int32_t>(gState >> 1);
}
void Seed(uint32_t s) { gState = s; }

using vmktest::Fnv;

struct Canvas {
  int32_t w, h;
  Plane p[3];
  Canvas(int32_t width, int32_t height) : w(width), h(height) {
    for (int k = 0; k < 3; ++k) {
      p[k].resize(static_cast<size_t>(w) * h);
      for (size_t i = 0; i < p[k].size(); ++i)
        p[k][i] = static_cast<uint8_t>((i * (7 + 4 * k) + (i / w) * 13 + 40 * k) & 255);
    }
  }
  int32_t Fill(const StrokPar& r, int16_t n = 3, int16_t apply = 1, int16_t show = 0,
               int16_t source = 0, int16_t mode = 0, int16_t opacity = 255,
               const uint8_t* mask = nullptr) {
    MiscStrok e;
    e.SetStrokPar(&r);
    return e.FillBuf(apply, show, source, n, mode, opacity, w, h, 0, 0, w, h, p[0].data(),
                     p[1].data(), p[2].data(), mask);
  }
  bool Same(const Canvas& o) const { return p[0] == o.p[0] && p[1] == o.p[1] && p[2] == o.p[2]; }
};

class PainterStrokes : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    brush_ = dir_.file("brush.tif");
    paper_ = dir_.file("paper.tif");
    // A soft round brush: white (full paint) in the middle, black at the corners.
    vmktest::WritePicture(brush_, plat::imageio::kTypeTIFF, 20, 20, [](uint32_t x, uint32_t y, int) {
      const int32_t dx = static_cast<int32_t>(x) - 10, dy = static_cast<int32_t>(y) - 10;
      return static_cast<uint8_t>(std::max(0, 255 - (dx * dx + dy * dy) * 3));
    });
    vmktest::WritePicture(paper_, plat::imageio::kTypeTIFF, 24, 16, [](uint32_t x, uint32_t y, int c) {
      return static_cast<uint8_t>(120 + ((x * 5 + y * 3) % 7) * 15 - c * 10);
    });
    Init_StrokPar(&r_);
    r_.head.w[kStrPaperOpacity] = 0;
    gDraws = 0;
    Seed(1);
    plat::SetRandomFunctions(&Next, &Seed);
  }
  void TearDown() override { plat::SetRandomFunctions(nullptr, nullptr); }

  void UseBrush(int k) { ASSERT_TRUE(SetFicFromPosix(&r_.brushes[k], brush_)); }
  void UsePaper() {
    ASSERT_TRUE(SetFicFromPosix(&r_.paper, paper_));
    r_.head.w[kStrPaperOpacity] = 50;
  }

  vmktest::TempDir dir_;
  std::string brush_, paper_;
  StrokPar r_;
};

}  // namespace

TEST_F(PainterStrokes, DefaultRecordBlendsThePictureWithItself) {
  Init_StrokPar(&r_);  // paper at 50 %, but no paper or brush files
  Canvas c(30, 20);
  const Plane mask(30 * 20, 140);
  EXPECT_EQ(c.Fill(r_, 3, 1, 0, 0, 3, 200, mask.data()), 0);
  Canvas expected(30, 20);
  for (int k = 0; k < 3; ++k)
    for (size_t i = 0; i < expected.p[k].size(); ++i) {
      const uint8_t v = expected.p[k][i];
      unsigned char out = v;
      X_optionRPart(&out, 4, v, v);
      const int32_t a = 140 * 200 / 255;
      expected.p[k][i] = static_cast<uint8_t>(((255 - a) * v + a * out) / 255);
    }
  EXPECT_TRUE(c.Same(expected));
  EXPECT_EQ(gDraws, 0);
}

TEST_F(PainterStrokes, OneBrushOn600PixelsDrawsTwoThousandFiveHundredStrokes) {
  UseBrush(0);
  Canvas c(600, 40);
  EXPECT_EQ(c.Fill(r_), 0);
  EXPECT_EQ(gDraws, 2 * 2500);  // a column and a row each; the defaults draw nothing else
  EXPECT_FALSE(c.Same(Canvas(600, 40)));

  // A density giving s = 0 draws nothing and leaves the picture.
  r_.sets[0].w[kStrDensity] = 0;
  gDraws = 0;
  Canvas none(600, 40);
  EXPECT_EQ(none.Fill(r_), 0);
  EXPECT_EQ(gDraws, 0);
  EXPECT_TRUE(none.Same(Canvas(600, 40)));

  // Jitters and size mode 3 each take one more draw per stroke, in that order.
  r_.sets[0].w[kStrDensity] = 50;
  for (int word : {kStrHueJitter, kStrSatJitter, kStrLightJitter, kStrOpacityJitter})
    r_.sets[0].w[word] = 10;
  r_.sets[0].w[kStrSizeMode] = 3;
  gDraws = 0;
  Canvas busy(600, 40);
  EXPECT_EQ(busy.Fill(r_), 0);
  EXPECT_EQ(gDraws, 7 * 2500);
}

TEST_F(PainterStrokes, PaperGoesOnAfterEverySetEvenWithoutStrokes) {
  UsePaper();
  for (auto& s : r_.sets) s.w[kStrOpacity] = 0;
  Canvas c(60, 40);
  EXPECT_EQ(c.Fill(r_), 0);

  // What eight passes of the paper (18 x 12 pixels, 30 % of the planes) give.
  fichier f;
  ASSERT_TRUE(SetFicFromPosix(&f, paper_));
  int32_t pw = 0, ph = 0;
  int16_t unused = 0;
  ASSERT_EQ(AS_GetImageDimension(&f, &pw, &ph, &unused), 0);
  std::vector<uint8_t> buf(19 * 13 * 4, 0);
  AS_GetResizedImage(&f, 0, 0, 0, pw - 1, ph - 1, 18, 12, 0, 0, 18, 12, 1, buf.data(), nullptr,
                     nullptr, nullptr);
  auto lay = [&](Canvas& d) {
    Effects::LoadTexture(6, 127, d.p[0].data(), d.p[1].data(), d.p[2].data(), nullptr,
                         buf.data(), 1, nullptr, 40, 60, 0, 0, 60, 40, 18, 12, 0, 0);
  };
  Canvas once(60, 40), eight(60, 40);
  lay(once);
  for (int pass = 0; pass < 8; ++pass) lay(eight);
  EXPECT_TRUE(c.Same(eight));
  EXPECT_FALSE(c.Same(once));
}

TEST_F(PainterStrokes, PlainOutputsWhiteRedSelectionAndSource) {
  // apply 0: source 1 only whitens; source 0 leaves the planes.
  Canvas white(10, 6), kept(10, 6);
  UseBrush(0);
  EXPECT_EQ(white.Fill(r_, 3, 0, 0, 1), 0);
  for (const Plane& p : white.p) EXPECT_EQ(p, Plane(60, 255));
  EXPECT_EQ(kept.Fill(r_, 3, 0, 0, 0), 0);
  EXPECT_TRUE(kept.Same(Canvas(10, 6)));
  EXPECT_EQ(gDraws, 0);

  // showSelection with the current set's tolerance at 100: the rectangle turns white.
  Canvas shown(10, 6);
  EXPECT_EQ(shown.Fill(r_, 3, 1, 1), 0);
  for (const Plane& p : shown.p) EXPECT_EQ(p, Plane(60, 255));

  // Colour source 3 with every set off, replace at full opacity: the uniform colour.
  for (auto& s : r_.sets) s.w[kStrOpacity] = 0;
  r_.head.w[kStrColourSource] = 3;
  r_.head.w[kStrUniformRGB] = 255 + 256;  // the low byte counts
  Canvas red(10, 6);
  EXPECT_EQ(red.Fill(r_), 0);
  EXPECT_EQ(red.p[0], Plane(60, 255));
  EXPECT_EQ(red.p[1], Plane(60, 0));
  EXPECT_EQ(red.p[2], Plane(60, 0));

  // A selection shown: where the picture is near the set's colour.
  Init_StrokPar(&r_);
  r_.sets[0].w[kStrTolerance] = 20;
  Canvas sel(10, 6);
  const Canvas picture(10, 6);
  EXPECT_EQ(sel.Fill(r_, 3, 1, 1), 0);
  std::vector<uint8_t> expected(60, 0);
  const uint8_t ref[4] = {0, 0, 0, 255}, full = 255;
  Effects::SelCol(0, 255, picture.p[0].data(), picture.p[1].data(), picture.p[2].data(), 6, 10,
                  expected.data(), nullptr, nullptr, 6, 10, 0, 0, 10, 6, 0, 0, 10, 6, 3, 1, nullptr,
                  20, ref, &full);
  for (const Plane& p : sel.p) EXPECT_EQ(p, expected);
}

TEST_F(PainterStrokes, OnePlaneStandsForThreeAndTakesTheirMean) {
  UseBrush(0);
  r_.sets[0].w[kStrDensity] = 200;
  Canvas c(40, 30);
  Plane untouched1 = c.p[1], untouched2 = c.p[2];
  EXPECT_EQ(c.Fill(r_, 1), 0);
  EXPECT_EQ(c.p[1], untouched1);
  EXPECT_EQ(c.p[2], untouched2);
  EXPECT_NE(c.p[0], Canvas(40, 30).p[0]);

  // The renderer's road: null second and third planes.
  Canvas road(40, 30);
  MiscStrok e;
  e.SetStrokPar(&r_);
  EXPECT_EQ(e.FillBuf(1, 0, 0, 1, 0, 255, 40, 30, 0, 0, 40, 30, road.p[0].data(), nullptr, nullptr,
                      nullptr),
            0);

  // Uniform colour (30, 60, 90) with no strokes: plane0 takes the mean, 60.
  for (auto& s : r_.sets) s.w[kStrOpacity] = 0;
  r_.head.w[kStrColourSource] = 3;
  r_.head.w[kStrUniformRGB] = 30;
  r_.head.w[kStrUniformRGB + 1] = 60;
  r_.head.w[kStrUniformRGB + 2] = 90;
  Canvas mean(40, 30);
  EXPECT_EQ(mean.Fill(r_, 1), 0);
  EXPECT_EQ(mean.p[0], Plane(40 * 30, 60));
}

TEST_F(PainterStrokes, PlaceAndVariantRules) {
  // The 16-bit placement: the draw's low half with its sign, then read unsigned.
  EXPECT_EQ(vmkpat::StrokePlace(0x12345, 600), 0x2345 % 600);
  EXPECT_EQ(vmkpat::StrokePlace(0x8000, 600), 128);  // -32768 % 600 = -368; 2^32 - 368 mod 600
  EXPECT_EQ(vmkpat::StrokePlace(0xFFFF, 7), 3);      // -1, read as 2^32 - 1
  EXPECT_EQ(vmkpat::StrokePlace(0x7FFF, 40000), 32767);
  EXPECT_EQ(vmkpat::StrokePlace(0x9000, 40000), 4294938624u % 40000u);

  // A very dark saturated sample sits at the top of the saturation scale: the last variant.
  float h = 0, l = 0, s = 0;
  RGBtoHLS(1, 0, 0, &h, &l, &s);
  EXPECT_FLOAT_EQ(s, 1.0f);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(5, 16, 0, h, s * 100, l, 0), 15);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(5, 16, 0, 0, -100, 0, 0), 0);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(2, 16, 255, 0, 0, 0, 0), 15);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(2, 16, 120, 0, 0, 0, 0), 8);  // 120 / 15.9375 + 0.5
  EXPECT_EQ(vmkpat::StrokeVariantIndex(4, 12, 0, 359, 0, 0, 0), 11);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(6, 3, 0, 0, 0, 200, 0), 2);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(3, 5, 0, 0, 0, 0, 0x7FFF0003), 3);
  EXPECT_EQ(vmkpat::StrokeVariantIndex(1, 5, 255, 300, 100, 255, 4), 0);
}

TEST_F(PainterStrokes, ValuesOutsideTheirRangesRenderAsTheDefaults) {
  UseBrush(0);
  r_.sets[0].w[kStrDensity] = 100;
  auto render = [&](const StrokPar& r) {
    Seed(7);
    Canvas c(30, 24);
    EXPECT_EQ(c.Fill(r), 0);
    return c;
  };
  const Canvas base = render(r_);
  StrokPar odd = r_;
  odd.sets[0].w[kStrSizeMode] = 9;      // as 1
  odd.sets[0].w[kStrRotationMode] = 0;  // as 2
  odd.sets[0].w[kStrColourMode] = 4;    // as 1
  odd.head.w[kStrColourSource] = -2;    // as 1
  EXPECT_TRUE(render(odd).Same(base));

  StrokPar counts = r_, clamped = r_;
  counts.sets[0].w[kStrAngleCount] = 500;
  counts.sets[0].w[kStrSizeCount] = 0;
  clamped.sets[0].w[kStrAngleCount] = 32;
  clamped.sets[0].w[kStrSizeCount] = 1;
  EXPECT_TRUE(render(counts).Same(render(clamped)));

  // The current set is held to 0..7: 12 reads set 7's modes.
  StrokPar far = r_, last = r_;
  far.head.w[kStrCurrentSet] = 12;
  last.head.w[kStrCurrentSet] = 7;
  far.sets[7].w[kStrRotationMode] = last.sets[7].w[kStrRotationMode] = 5;
  EXPECT_TRUE(render(far).Same(render(last)));

  // A fixed colour beyond a byte is read at the curve's end.
  StrokPar fixed = r_, edge = r_;
  fixed.sets[0].w[kStrColourMode] = edge.sets[0].w[kStrColourMode] = 3;
  fixed.sets[0].w[kStrFixedRGB] = 900;
  edge.sets[0].w[kStrFixedRGB] = 255;
  EXPECT_TRUE(render(fixed).Same(render(edge)));

  // Every angle variant is turned by its own angle once: with no angle range all sixteen are
  // the base angle's, as a single variant is.
  StrokPar many = r_, single = r_;
  many.sets[0].w[kStrBaseAngle] = single.sets[0].w[kStrBaseAngle] = 30;
  many.sets[0].w[kStrAngleRange] = 0;
  single.sets[0].w[kStrAngleCount] = 1;
  EXPECT_TRUE(render(many).Same(render(single)));
}

TEST_F(PainterStrokes, RefusedMemoryAndAbsurdSizesLeaveThePlanes) {
  UseBrush(0);
  {
    plat::FailNthAllocation(0);  // the record copy
    MiscStrok e;
    EXPECT_EQ(e.record(), nullptr);
    Canvas c(10, 6);
    EXPECT_EQ(e.FillBuf(1, 0, 1, 3, 0, 255, 10, 6, 0, 0, 10, 6, c.p[0].data(), c.p[1].data(),
                        c.p[2].data(), nullptr),
              -1);
    for (const Plane& p : c.p) EXPECT_EQ(p, Plane(60, 255));  // the source step still ran
  }
  // Every later buffer refused in turn: the planes keep the picture each time.
  for (int64_t n = 0; n < 12; ++n) {
    MiscStrok e;
    e.SetStrokPar(&r_);
    Canvas c(10, 6);
    plat::FailNthAllocation(n);
    const int32_t result = e.FillBuf(1, 0, 0, 3, 0, 255, 10, 6, 0, 0, 10, 6, c.p[0].data(),
                                     c.p[1].data(), c.p[2].data(), nullptr);
    plat::FailNthAllocation(-1);
    if (result == -1) {
      EXPECT_TRUE(c.Same(Canvas(10, 6))) << n;
    }
  }
  // A brush as wide as a damaged record says cannot be had: nothing drawn, -1.
  StrokPar wide = r_;
  wide.sets[0].w[kStrBrushWidth] = 2147483647;
  Canvas c(10, 6);
  EXPECT_EQ(c.Fill(wide), -1);
  EXPECT_TRUE(c.Same(Canvas(10, 6)));
  // A density past two strokes a pixel per row lays 2L x 2L strokes (L = 10), not billions.
  StrokPar dense = r_;
  dense.sets[0].w[kStrDensity] = 2147483647;
  gDraws = 0;
  EXPECT_EQ(c.Fill(dense), 0);
  EXPECT_EQ(gDraws, 2 * 20 * 20);
}

TEST_F(PainterStrokes, KeptPictureAndTheRow) {
  UseBrush(0);
  UseBrush(2);
  UsePaper();
  r_.head.w[kStrPaperB] = 3;
  r_.head.w[kStrSourceBlur] = 2;
  StrokInfo& a = r_.sets[0];
  a.w[kStrDensity] = 300;
  a.w[kStrSizeMode] = 2;
  a.w[kStrHueJitter] = 40;
  a.w[kStrSatJitter] = 30;
  a.w[kStrLightJitter] = 50;
  a.w[kStrOpacityJitter] = 40;
  a.w[kStrBaseAngle] = 20;
  StrokInfo& b = r_.sets[2];
  b.w[kStrColourMode] = 3;
  b.w[kStrFixedRGB] = 200;
  b.w[kStrFixedRGB + 1] = 40;
  b.w[kStrStrokeMode] = 3;
  b.w[kStrTolerance] = 60;
  b.w[kStrSelRGB] = 200;
  b.w[kStrBrushWidth] = 40;
  Canvas c(64, 48);
  EXPECT_EQ(c.Fill(r_), 0);
  EXPECT_EQ(Fnv(c.p[2], Fnv(c.p[1], Fnv(c.p[0]))), 1662251075u);

  RegisterPatternRecords();
  EXPECT_EQ(FindEngineRow(82), &RunStrokRow);
}

TEST_F(PainterStrokes, EveryWordOfASetAtTheEndsOfItsRangeDrawsWithoutOverflow) {
  UseBrush(0);
  r_.sets[0].w[kStrDensity] = 100;
  for (int32_t v : {2147483647, -2147483647 - 1, -1}) {
    for (int32_t k = 1; k < kStrokSetWords; ++k) {
      StrokPar odd = r_;
      odd.sets[0].w[k] = v;
      Seed(7);
      Canvas c(12, 9);
      // A brush size beyond any memory is refused; nothing else may fail.
      const int32_t result = c.Fill(odd);
      EXPECT_TRUE(result == 0 || result == -1) << "word " << k << " at " << v;
    }
  }
}
