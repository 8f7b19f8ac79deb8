// The fractal engine: Julia escapes, its FillBuf frame, the generators'
// reproducibility and one kept picture per formula.
#include "engines/patterns/misc_fract.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engines/patterns/pattern_record_kinds.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/progress.h"
#include "script/engine_rows.h"
#include "support/plane_hash.h"

namespace {

using Plane = std::vector<uint8_t>;

// Row 0 fully opaque, rows 1..4 the index itself: a plane shows the index.
struct IndexTable {
  uint8_t t[5][256];
  IndexTable() {
    for (auto& row : t)
      for (int32_t v = 0; v < 256; ++v) row[v] = static_cast<uint8_t>(v);
    for (auto& v : t[0]) v = 255;
  }
};

struct Julia {
  int32_t w, h;
  Plane p1, p2, p3;
  Julia(int32_t width, int32_t height)
      : w(width), h(height), p1(w * h, 0), p2(w * h, 0), p3(w * h, 0) {}
  void Draw(int16_t formula, const IndexTable& t, int32_t left, int32_t top, int32_t right,
            int32_t bottom, double xl, double yt, double xr, double yb, double cr, double ci,
            int32_t limit = 40, int32_t scale = 5, int32_t bailout = 4) {
    MiscFract f;
    EXPECT_EQ(f.FractJulia(formula, w, h, p1.data(), p2.data(), p3.data(), left, top, right,
                           bottom, t.t, limit, scale, bailout, xl, yt, xr, yb, cr, ci),
              0);
  }
};

using vmktest::Fnv;

TEST(ComplexHelpers, DivisionByTheModulusKeepsTheModulus) {
  double re = 0, im = 0;
  DivCompl(3, 4, 0, 2, &re, &im);
  EXPECT_DOUBLE_EQ(re, 4);
  EXPECT_DOUBLE_EQ(im, -3);
  SinCompl(0, 0, &re, &im);
  EXPECT_DOUBLE_EQ(re, 0);
  CosCompl(0, 0, &re, &im);
  EXPECT_DOUBLE_EQ(re, 1);
  EXPECT_DOUBLE_EQ(im, -0.0);
}

TEST(FractJulia, SmoothEscapeNonDrawingFormulasAndOneColumn) {
  const IndexTable t;
  // z0 = 0, c = 2 + i: |z1|^2 = 5 against a bail-out of 4 gives s = 0.8,
  // index 8 at colour scale 10.
  Julia one(1, 1);
  one.Draw(1, t, 0, 0, 1, 1, 0, 0, 1, -1, 2, 1, 40, 10);
  EXPECT_EQ(one.p1[0], 8);
  // Formulas 0 and 40 make no step: only entry 0.
  IndexTable zero;
  for (auto& v : zero.t[0]) v = 0;
  for (int16_t f : {0, 40}) {
    Julia j(8, 6);
    j.Draw(f, t, 0, 0, 8, 6, -2, 2, 2, -2, 0.3, 0.5);
    for (uint8_t v : j.p1) EXPECT_EQ(v, 0);
  }
  // One column: the only column is drawn at xLeft.
  Julia col(3, 4), ref(1, 1);
  col.Draw(1, t, 1, 0, 2, 4, 0.3, 0.2, 5, -1, 0.5, 0.5);
  ref.Draw(1, t, 0, 0, 1, 1, 0.3, 0.2, 9, -3, 0.5, 0.5);
  EXPECT_EQ(col.p1[1], ref.p1[0]);
  EXPECT_EQ(col.p1[0], 0);
}

TEST(FractJulia, EveryFormulaKeepsItsPicture) {
  // Made once from this engine and kept: a change in any formula, in the
  // order of its products or in the escape count shows here.
  const IndexTable t;
  const std::pair<int16_t, uint32_t> golden[] = {
#include "misc_fract_golden.inc"
  };
  // Formulas that start each pixel afresh draw in bands of rows: the same picture at one,
  // three and eight threads.
  for (int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    for (const auto& [formula, hash] : golden) {
      Julia j(64, 48);
      j.Draw(formula, t, 0, 0, 64, 48, -1.6, 1.2, 1.6, -1.2, -0.4, 0.6);
      EXPECT_EQ(Fnv(j.p1), hash) << "formula " << formula << " threads " << threads;
    }
  }
  plat::SetThreadCount(0);
}

TEST(FractGenerators, SameSeedSamePictures) {
  MiscFract f;
  Plane a(40 * 30, 255), b(40 * 30, 255);
  ASSERT_EQ(f.FractPlasma(40, 30, a.data()), 0);
  Plane c = a;
  std::fill(a.begin(), a.end(), 255);
  // The caller seeds: without a new seed the next plasma differs.
  ASSERT_EQ(f.FractPlasma(40, 30, b.data()), 0);
  EXPECT_NE(c, b);
  // Row 0 weights the old value here: 0 paints the colour row outright.
  IndexTable t;
  for (auto& v : t.t[0]) v = 0;
  Plane g1(40 * 30, 0), g2(40 * 30, 0);
  ASSERT_EQ(f.DiffuseAggreg(40, 30, g1.data(), 1, t.t, 77, 30, 0, 40, 50, 50), 0);
  ASSERT_EQ(f.DiffuseAggreg(40, 30, g2.data(), 1, t.t, 77, 30, 0, 40, 50, 50), 0);
  EXPECT_EQ(g1, g2);
  EXPECT_NE(g1, Plane(40 * 30, 0));
  // A full grid of negative passes ends.
  Plane tiny(3 * 3, 0);
  EXPECT_EQ(f.DiffuseAggreg(3, 3, tiny.data(), 1, t.t, 5, 4, 0, -1, 50, 50), 0);
}

TEST(FractFillBuf, ApplyZeroBlendsEachPixelWithItsCopy) {
  MiscFract f;
  auto par = std::make_unique<FractPar>();
  Init_FractPar(par.get(), 1, 1);
  f.SetFractPar(par.get());
  const int32_t w = 6, h = 4;
  Plane r(w * h, 100), g(w * h, 30), b(w * h, 200);
  // Blend mode 1 is the kernel's sum.
  ASSERT_EQ(f.FillBuf(3, 1, 255, 0, 0, nullptr, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1, 1,
                      r.data(), g.data(), b.data(), nullptr, nullptr),
            0);
  for (int32_t i = 0; i < w * h; ++i) {
    EXPECT_EQ(r[i], 200);
    EXPECT_EQ(g[i], 60);
    EXPECT_EQ(b[i], 255);
  }
  // The row of the fractal effect is the engine's.
  RegisterPatternRecords();
  EXPECT_EQ(FindEngineRow(100), &RunFractRow);
}

TEST(FractFillBuf, BlurLevelNineIsFullStrengthRadiusThree) {
  auto par = std::make_unique<FractPar>();
  Init_FractPar(par.get(), 1, 1);
  FractInfo& e = par->entries[0];
  e.w[kFraBlur] = 9;
  const int32_t w = 24, h = 16, n = w * h;
  Plane r(n, 40), g(n, 90), b(n, 140);
  MiscFract f;
  f.SetFractPar(par.get());
  ASSERT_EQ(f.FillBuf(3, 0, 255, 0, 1, nullptr, w, h, 0, 0, w, h, w, h, 0, 0, w, h, 1, 1,
                      r.data(), g.data(), b.data(), nullptr, nullptr),
            0);
  // The same steps by hand: Julia planes on the identity table, each
  // blurred at strength 255 with radius 3, coloured through the ramp.
  IndexTable identity;
  for (int32_t v = 0; v < 256; ++v) identity.t[0][v] = static_cast<uint8_t>(v);
  Plane j1((w + 1) * (h + 1), 0), j2 = j1, j3 = j1;
  MiscFract plain;
  plain.FractJulia(static_cast<int16_t>(e.w[kFraType]), w, h, j1.data(), j2.data(), j3.data(), 0,
                   0, w, h, identity.t, e.w[kFraIterations], e.w[kFraColourScale],
                   e.w[kFraBailOut], FractFixedValue(&e.w[kFraWindowLeft]),
                   FractFixedValue(&e.w[kFraWindowTop]), FractFixedValue(&e.w[kFraWindowRight]),
                   FractFixedValue(&e.w[kFraWindowBottom]), FractFixedValue(&e.w[kFraConstRe]),
                   FractFixedValue(&e.w[kFraConstIm]));
  for (Plane* j : {&j1, &j2, &j3})
    Effects::Blur(0, 255, j->data(), nullptr, w, h, 0, 0, w, h, 3, 1);
  Plane er(n, 40), eg(n, 90), eb(n, 140);
  uint8_t ramp[5 * 256];
  std::memcpy(ramp, e.ramp.opacity, 256);
  std::memcpy(ramp + 256, e.ramp.colour, 4 * 256);
  Effects::LutToColor(static_cast<int16_t>(e.w[kFraColourMode]),
                      static_cast<int16_t>(e.w[kFraOpacity] * 2.55 + 0.5), j1.data(), j2.data(),
                      j3.data(), nullptr, h, w, er.data(), eg.data(), eb.data(), nullptr, h, w, 0,
                      0, w, h, 0, 0, w, h, 1, 3, 3, nullptr, ramp,
                      static_cast<int16_t>(e.w[kFraColourShift]), 255);
  EXPECT_EQ(r, er);
  EXPECT_EQ(g, eg);
  EXPECT_EQ(b, eb);
}

// A 3 x 3 Julia of z^2 + c over -1..1 each way, so the middle pixel starts at 0 and escapes
// after a number of steps set by how far c lies past 1/4: 3140 steps for 0.2500010, 12 for 0.3.
// The ramp shows the escape index times 100 (at most 255) squared over 255.
struct MiddleEscape {
  std::unique_ptr<FractPar> par = std::make_unique<FractPar>();
  explicit MiddleEscape(int32_t cFraction) {
    Init_FractPar(par.get(), 1, 1);
    FractInfo& e = par->entries[0];
    e.w[kFraType] = 1;
    e.w[kFraBlur] = 0;
    e.w[kFraOpacity] = 100;
    e.w[kFraColourScale] = 100;
    e.w[kFraBailOut] = 4;
    SetFractFixed(&e.w[kFraWindowLeft], -1);
    SetFractFixed(&e.w[kFraWindowRight], 1);
    SetFractFixed(&e.w[kFraWindowTop], 1);
    SetFractFixed(&e.w[kFraWindowBottom], -1);
    e.w[kFraConstRe] = 10;
    e.w[kFraConstRe + 1] = cFraction;
    e.w[kFraConstIm] = 10;
    e.w[kFraConstIm + 1] = 0;
    for (int32_t v = 0; v < 256; ++v) {
      e.ramp.opacity[v] = 255;
      for (auto& colour : e.ramp.colour) colour[v] = static_cast<uint8_t>(v);
    }
  }
  // The middle pixel of the red plane.
  int32_t Middle(int32_t iterations) {
    par->entries[0].w[kFraIterations] = iterations;
    std::vector<Plane> p(3, Plane(9, 77));
    MiscFract f;
    f.SetFractPar(par.get());
    EXPECT_EQ(f.FillBuf(3, 0, 255, 0, 1, nullptr, 3, 3, 0, 0, 3, 3, 3, 3, 0, 0, 3, 3, 1, 1,
                        p[0].data(), p[1].data(), p[2].data(), nullptr, nullptr),
              0);
    rendered = p;
    return p[0][4];
  }
  std::vector<Plane> rendered;
};

// A stored count is held to the dialog's 20..2000: more runs as 2000, fewer as 20.
TEST(FractFillBuf, IterationsAreHeldToTheDialogsRange) {
  MiddleEscape slow(2500010);
  EXPECT_EQ(slow.Middle(2000), 0);  // not escaped
  for (int32_t more : {3500, 2147483647}) EXPECT_EQ(slow.Middle(more), 0) << more;
  // By hand, 3500 steps do let it escape.
  IndexTable t;
  Julia j(3, 3);
  j.Draw(1, t, 0, 0, 3, 3, -1, 1, 1, -1, 0.250001, 0, 3500, 100);
  EXPECT_EQ(j.p1[4], 255);

  MiddleEscape quick(3000000);
  EXPECT_EQ(quick.Middle(20), 255);  // escaped after 12 steps
  for (int32_t fewer : {11, 0, -2147483647 - 1}) EXPECT_EQ(quick.Middle(fewer), 255) << fewer;
}

// A raised cancel flag stops the drawing between rows (a damaged record's stale preview must
// not run on), and the render leaves the planes to their owner untouched.
TEST(FractFillBuf, ACancelledRenderStopsBeforeItsFirstRow) {
  MiddleEscape quick(3000000);
  EXPECT_EQ(quick.Middle(20), 255);
  plat::CancelFlag flag;
  flag.Cancel();
  plat::CancelScope scope(&flag);
  quick.Middle(20);
  EXPECT_EQ(quick.rendered, std::vector<Plane>(3, Plane(9, 77)));
  IndexTable t;
  Julia j(3, 3);
  j.Draw(1, t, 0, 0, 3, 3, -1, 1, 1, -1, 0.3, 0, 20, 100);
  EXPECT_EQ(j.p1, Plane(9, 0));
}

// Formula 6 turns its constant with every step of every pixel before, so its pixels go one
// after another, outside any parallel loop: the walk reports its rows itself, each row's end
// a rise, the last the whole. A cancelled walk reports nothing more.
TEST(FractJulia, TheWalkInOrderReportsItsRows) {
  IndexTable t;
  for (const int32_t top : {0, -2}) {
    plat::ProgressMeter meter;
    std::vector<int32_t> reports;
    meter.SetObserver([&](int32_t parts) { reports.push_back(parts); });
    Julia j(7, 5);
    {
      const plat::ProgressScope scope(&meter);
      j.Draw(6, t, 0, top, 7, 5, -1, 1, 1, -1, 0.3, 0.1);
    }
    const int32_t rows = 5 - top;
    ASSERT_EQ(reports.size(), static_cast<size_t>(rows)) << top;
    for (int32_t r = 0; r < rows; ++r)
      EXPECT_EQ(reports[r], static_cast<int32_t>(1e6 * (r + 1) / rows))
          << r << " from " << top;
  }
  plat::ProgressMeter meter;
  std::vector<int32_t> reports;
  meter.SetObserver([&](int32_t parts) { reports.push_back(parts); });
  plat::CancelFlag flag;
  flag.Cancel();
  const plat::CancelScope cancelled(&flag);
  const plat::ProgressScope scope(&meter);
  Julia j(7, 5);
  j.Draw(6, t, 0, 0, 7, 5, -1, 1, 1, -1, 0.3, 0.1);
  EXPECT_TRUE(reports.empty());
}

}  // namespace
