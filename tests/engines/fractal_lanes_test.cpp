// The fractal's lane walk against the one-pixel walk, and the elementary functions both share.
#include "engines/patterns/fractal_lanes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engines/patterns/fractal_record.h"
#include "engines/patterns/misc_fract.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/simd.h"
#include "support/level_and_threads.h"

namespace {

using Plane = std::vector<uint8_t>;
using plat::SimdLevel;

// Row 0 a part opacity that differs by entry, rows 1..3 three different ramps: the entry-0
// blend and the escape's blend both show in every plane.
struct Table {
  uint8_t t[5][256];
  Table() {
    for (int32_t v = 0; v < 256; ++v) {
      t[0][v] = static_cast<uint8_t>(128 + v / 2);
      t[1][v] = static_cast<uint8_t>(v);
      t[2][v] = static_cast<uint8_t>(255 - v);
      t[3][v] = static_cast<uint8_t>(v * 7);
      t[4][v] = 0;
    }
  }
};

// One drawing: the planes start from a pattern, so that entry 0's blend is seen too.
struct Drawing {
  int32_t stride, rows;
  Plane p[3];
  Drawing(int32_t s, int32_t r) : stride(s), rows(r) {
    for (int32_t k = 0; k < 3; ++k) {
      p[k].resize(static_cast<size_t>(s) * r);
      for (size_t i = 0; i < p[k].size(); ++i) p[k][i] = static_cast<uint8_t>(i * 13 + 70 * k);
    }
  }
  bool operator==(const Drawing& o) const { return p[0] == o.p[0] && p[1] == o.p[1] && p[2] == o.p[2]; }
};

// The record's settings of one formula (its constant and colour scale as a new record has
// them), over a window around the origin.
struct Formula {
  int16_t type;
  double cRe, cIm;
  int32_t scale;
};

Formula Defaults(int16_t type) {
  if (type == 50) return {50, 0.3, 0.2, 10};  // a new record gives 50 no constant of its own
  auto r = std::make_unique<FractPar>();
  Init_FractPar(r.get(), type, 0);
  const FractInfo& e = r->entries[0];
  return {type, FractFixedValue(&e.w[kFraConstRe]), FractFixedValue(&e.w[kFraConstIm]),
          e.w[kFraColourScale]};
}

const std::vector<int16_t>& DrawingFormulas() {
  static const std::vector<int16_t> all = [] {
    std::vector<int16_t> v;
    for (int16_t f = 1; f <= 31; ++f) v.push_back(f);
    v.push_back(50);
    return v;
  }();
  return all;
}

struct Area {
  int32_t left, top, right, bottom;
};

Drawing Draw(const Formula& f, int32_t stride, int32_t rows, Area a, int32_t limit,
             int32_t bailout = 4, double half = 1.7) {
  static const Table table;
  Drawing d(stride, rows);
  MiscFract engine;
  EXPECT_EQ(engine.FractJulia(f.type, stride, rows, d.p[0].data(), d.p[1].data(), d.p[2].data(),
                              a.left, a.top, a.right, a.bottom, table.t, limit, f.scale, bailout,
                              -half, half * 0.75, half * 1.1, -half * 0.8, f.cRe, f.cIm),
            0);
  return d;
}

std::vector<SimdLevel> WideLevels() {
  std::vector<SimdLevel> v;
  for (SimdLevel l : {SimdLevel::kAvx2, SimdLevel::kAvx512})
    if (static_cast<int>(plat::SimdSupported()) >= static_cast<int>(l)) v.push_back(l);
  return v;
}

// Each formula at each vector level and at 1, 3 and 8 threads against the one-pixel walk, on
// odd sizes: a plane wider than its area's rows are long, an area reaching past the plane's
// last rows and columns (and starting before its first), and a tall one-column-wide strip.
TEST(FractalLanes, EveryFormulaAtEveryLevelIsTheOnePixelWalk) {
  struct Case {
    int32_t stride, rows;
    Area area;
    int32_t limit;
  };
  const Case cases[] = {
      {37, 23, {2, 1, 35, 22}, 4},
      {37, 23, {-3, -2, 40, 30}, 20},
      {5, 61, {0, 0, 5, 61}, 20},
      {3, 29, {1, 0, 2, 29}, 20},
      {19, 13, {0, 0, 19, 13}, 2000},
  };
  for (const int16_t type : DrawingFormulas()) {
    const Formula f = Defaults(type);
    for (const Case& c : cases) {
      Drawing plain(0, 0);
      {
        vmktest::LevelAndThreads hold(SimdLevel::kBaseline, 1);
        plain = Draw(f, c.stride, c.rows, c.area, c.limit);
      }
      for (const SimdLevel level : WideLevels()) {
        for (const int threads : {1, 3, 8}) {
          vmktest::LevelAndThreads hold(level, threads);
          EXPECT_TRUE(Draw(f, c.stride, c.rows, c.area, c.limit) == plain)
              << "formula " << type << " level " << static_cast<int>(level) << " threads "
              << threads << " " << c.stride << " x " << c.rows << " limit " << c.limit;
        }
      }
    }
  }
}

// Bail-outs that let every pixel go at once (negative), that keep the orbits long (large), and
// windows far out, where the sines' arguments pass 2^19 and go to the C library lane by lane.
TEST(FractalLanes, ExtremeBailOutsAndFarWindows) {
  for (const int16_t type : DrawingFormulas()) {
    const Formula f = Defaults(type);
    for (const int32_t bailout : {-5, 0, 1000000, 2147483647}) {
      for (const double half : {1.7, 3e5, 4e9}) {
        Drawing plain(0, 0);
        {
          vmktest::LevelAndThreads hold(SimdLevel::kBaseline, 1);
          plain = Draw(f, 21, 11, {0, 0, 21, 11}, 30, bailout, half);
        }
        for (const SimdLevel level : WideLevels()) {
          vmktest::LevelAndThreads hold(level, 3);
          EXPECT_TRUE(Draw(f, 21, 11, {0, 0, 21, 11}, 30, bailout, half) == plain)
              << "formula " << type << " bail-out " << bailout << " half " << half;
        }
      }
    }
  }
}

// Formula 9 carries its constant from pixel to pixel: each pixel takes the cosine of the last
// one's. The lanes look each pixel's up in the chain worked out once, which goes round its
// cycle after some thousands of pixels: a picture well past that is the one-pixel walk's.
TEST(FractalLanes, TheCarriedConstantOfFormulaNineFarIntoThePicture) {
  const Formula sineLace{9, 1.0, 0.12, 40};
  const Formula spiralling{9, -0.2, 1.1, 30};
  for (const Formula& f : {sineLace, spiralling}) {
    Drawing plain(0, 0);
    {
      vmktest::LevelAndThreads hold(SimdLevel::kBaseline, 1);
      plain = Draw(f, 97, 71, {-2, 3, 99, 70}, 40, 50, 3.0);
    }
    for (const SimdLevel level : WideLevels()) {
      for (const int threads : {1, 8}) {
        vmktest::LevelAndThreads hold(level, threads);
        EXPECT_TRUE(Draw(f, 97, 71, {-2, 3, 99, 70}, 40, 50, 3.0) == plain)
            << "c " << f.cRe << " " << f.cIm << " level " << static_cast<int>(level);
      }
    }
  }
}

// One drawing over a window given as the record gives it: x from left to right, y from top to
// bottom.
struct Picture {
  Formula f;
  double left, top, right, bottom;
  int32_t bailout;
};

Drawing DrawPicture(const Picture& p, int32_t stride, int32_t rows, int32_t limit) {
  static const Table table;
  Drawing d(stride, rows);
  MiscFract engine;
  EXPECT_EQ(engine.FractJulia(p.f.type, stride, rows, d.p[0].data(), d.p[1].data(), d.p[2].data(),
                              0, 0, stride, rows, table.t, limit, p.f.scale, p.bailout,
                              p.left, p.top, p.right, p.bottom, p.f.cRe, p.f.cIm),
            0);
  return d;
}

// The lanes stop an orbit that has come back to a state it had, and an orbit of the sine
// formulas inside the disc it can never leave, before the limit: what the limit gives, to the
// bit, or the picture differs. The content library's five fractal presets (their formulas,
// constants, windows and bail-outs), interiors that settle on fixed points and cycles of a few
// steps (the rabbit's three, c = -1's two), orbits that creep near a parabolic point and never
// settle within the limit, the formulas whose step carries k as well as z, the sine formula's
// constant just inside and just outside the disc's bound and with bail-outs inside the disc,
// and orbits up the imaginary axis whose real part stays 0 to the bit while they climb to
// their escape over some ninety steps (a state is all of z); and the cosine and sine formulas
// about attracting fixed points of their own, weakly and strongly attracting, with a bail-out
// the disc about the point must stay inside, and a constant whose fixed point repels: every
// level, 1, 3 and 8 threads, at 4, 20 and 2000 steps.
TEST(FractalLanes, OrbitsStoppedBeforeTheLimitGiveWhatTheLimitGives) {
  const Picture pictures[] = {
      {{1, 0.0, 1.0, 12}, -1.6, -1.6, 1.6, 1.6, 4},     // Dendrite
      {{2, -0.1, 0.65, 24}, -2.0, -2.0, 2.0, 2.0, 4},   // Sea horses
      {{9, 1.0, 0.12, 40}, -3.0, -2.0, 3.0, 2.0, 50},   // Sine lace
      {{11, 0.9, 0.45, 50}, -2.0, -2.0, 2.0, 2.0, 30},  // Copper rings
      {{1, -0.75, 0.11, 8}, -0.6, -0.6, 0.6, 0.6, 4},   // Spiral
      {{1, -1.0, 0.0, 10}, -1.8, -1.2, 1.8, 1.2, 4},
      {{1, -0.122, 0.745, 10}, -1.5, -1.3, 1.5, 1.3, 4},
      {{1, 0.26, 0.0, 10}, -0.2, -0.7, 1.2, 0.7, 4},
      {{29, 0.1, 0.1, 10}, -1.0, -1.0, 1.0, 1.0, 4},
      {{31, 0.1, 0.1, 10}, -1.0, -1.0, 1.0, 1.0, 4},
      {{31, -0.2, 0.3, 10}, -1.2, -1.2, 1.2, 1.2, 9},
      {{10, 0.9985, 0.0, 10}, -3.0, -2.0, 3.0, 2.0, 50},
      {{10, 0.9995, 0.0, 10}, -3.0, -2.0, 3.0, 2.0, 50},
      {{10, 0.5, 0.4, 10}, -3.0, -2.0, 3.0, 2.0, 1},
      {{10, 0.3, -0.2, 10}, -2.0, -2.0, 2.0, 2.0, 0},
      {{9, 0.7, -0.6, 30}, -3.0, -2.0, 3.0, 2.0, 2},
      {{10, 1.1, 0.0, 10}, -19.0 / 1024, -13.0 / 1024, 19.0 / 1024, 13.0 / 1024, 50},
      {{11, 0.9, 0.45, 50}, -2.0, -2.0, 2.0, 2.0, 1},
      {{11, 1.273, 0.0, 20}, -3.0, -2.0, 3.0, 2.0, 30},
      {{11, 1.2, 0.25, 20}, -3.0, -2.0, 3.0, 2.0, 30},
      {{11, 0.6, 0.6, 20}, -3.0, -2.0, 3.0, 2.0, 1},
      {{11, 1.2, 0.7, 20}, -3.0, -2.0, 3.0, 2.0, 30},
      {{10, 1.05, 0.1, 20}, -3.0, -2.0, 3.0, 2.0, 30},
      {{10, 1.4, 0.3, 20}, -3.0, -2.0, 3.0, 2.0, 4},
      {{10, 2.0, 0.1, 20}, -3.0, -2.0, 3.0, 2.0, 30},
      {{10, 2.5, 0.0, 20}, -3.0, -2.0, 3.0, 2.0, 30},
  };
  for (const Picture& p : pictures) {
    for (const int32_t limit : {4, 20, 2000}) {
      Drawing plain(0, 0);
      {
        vmktest::LevelAndThreads hold(SimdLevel::kBaseline, 1);
        plain = DrawPicture(p, 39, 27, limit);
      }
      for (const SimdLevel level : WideLevels()) {
        for (const int threads : {1, 3, 8}) {
          vmktest::LevelAndThreads hold(level, threads);
          EXPECT_TRUE(DrawPicture(p, 39, 27, limit) == plain)
              << "formula " << p.f.type << " c " << p.f.cRe << " " << p.f.cIm << " level "
              << static_cast<int>(level) << " threads " << threads << " limit " << limit;
        }
      }
    }
  }
}

// A cancelled drawing in lanes stops before its first row, as the one-pixel walk does.
TEST(FractalLanes, ACancelledDrawingLeavesThePlanes) {
  const Drawing untouched(16, 9);
  plat::CancelFlag flag;
  flag.Cancel();
  for (const SimdLevel level : WideLevels()) {
    vmktest::LevelAndThreads hold(level, 3);
    const plat::CancelScope scope(&flag);
    EXPECT_TRUE(Draw(Defaults(1), 16, 9, {0, 0, 16, 9}, 50) == untouched);
  }
}

// The shared sines and hyperbolic functions stay within four units in the last place of the C
// library's over the ranges the orbits reach, and keep their special values.
TEST(FractalLanes, ElementaryFunctionsNearTheLibrarys) {
  auto ulps = [](double got, double want) {
    if (got == want) return 0.0;
    const double unit = std::nextafter(std::fabs(want), INFINITY) - std::fabs(want);
    return std::fabs(got - want) / unit;
  };
  std::mt19937_64 draw(7);
  double worst[4] = {};
  for (const double range : {0.5, 4.0, 100.0, 500000.0}) {
    std::uniform_real_distribution<double> x(-range, range);
    for (int32_t i = 0; i < 20000; ++i) {
      const double v = x(draw);
      double s = 0, c = 0;
      fractlanes::SinCos(v, &s, &c);
      // Near a zero of the function the library's own last bit is all there is to compare.
      if (std::fabs(std::sin(v)) > 1e-3) worst[0] = std::max(worst[0], ulps(s, std::sin(v)));
      if (std::fabs(std::cos(v)) > 1e-3) worst[1] = std::max(worst[1], ulps(c, std::cos(v)));
    }
  }
  for (const double range : {0.01, 0.9, 1.1, 30.0, 705.0}) {
    std::uniform_real_distribution<double> y(-range, range);
    for (int32_t i = 0; i < 20000; ++i) {
      const double v = y(draw);
      double sh = 0, ch = 0;
      fractlanes::SinhCosh(v, &sh, &ch);
      worst[2] = std::max(worst[2], ulps(sh, std::sinh(v)));
      worst[3] = std::max(worst[3], ulps(ch, std::cosh(v)));
    }
  }
  for (const double w : worst) EXPECT_LE(w, 4.0);

  double s = 0, c = 0, sh = 0, ch = 0;
  fractlanes::SinCos(1e300, &s, &c);  // beyond the reduction: the library's values
  EXPECT_EQ(s, std::sin(1e300));
  EXPECT_EQ(c, std::cos(1e300));
  fractlanes::SinCos(NAN, &s, &c);
  EXPECT_TRUE(std::isnan(s) && std::isnan(c));
  fractlanes::SinCos(0.0, &s, &c);
  EXPECT_EQ(s, 0.0);
  EXPECT_EQ(c, 1.0);
  fractlanes::SinhCosh(-800.0, &sh, &ch);
  EXPECT_EQ(sh, -INFINITY);
  EXPECT_EQ(ch, INFINITY);
  fractlanes::SinhCosh(NAN, &sh, &ch);
  EXPECT_TRUE(std::isnan(sh) && std::isnan(ch));
  fractlanes::SinhCosh(0.0, &sh, &ch);
  EXPECT_EQ(sh, 0.0);
  EXPECT_EQ(ch, 1.0);
}

}  // namespace
