#include "engines/correction/lens_correction_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine_row_fixture.h"
#include "engines/correction/colour_matrix_dither.h"
#include "platform/parallel/cancel.h"
#include "engines/families/effect_families.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/displacement_resample.h"
#include "script/engine_rows.h"
#include "script/param_block.h"
#include "script/script_file.h"
#include "support/session.h"

namespace {

using Plane = std::vector<uint8_t>;
constexpr int32_t kW = 24, kH = 18, kN = kW * kH;

Plane Ramp(int seed) {
  Plane p(kN);
  for (int i = 0; i < kN; ++i)
    p[i] = static_cast<uint8_t>((i % kW) * 9 + (i / kW) * 5 + seed * 31);
  return p;
}

struct Rgb {
  Plane r = Ramp(1), g = Ramp(2), b = Ramp(3);
};

ZondracPar Record() {
  ZondracPar r;
  Init_ZondracPar(&r, kW, kH, 72, 20, 20, 2);
  for (int k = 20; k < kZondracWords; ++k) r.w[k] = 0;
  r.w[kZndFringe] = r.w[kZndFringe + 1] = r.w[kZndFringe + 2] = 100;
  return r;
}

Rgb Render(const ZondracPar& par, int32_t imageWidth = kW, Plane* extra = nullptr,
           int16_t makeMaps = 1) {
  MiscZondrac e;
  e.SetZondracPar(&par);
  Rgb p;
  EXPECT_EQ(e.FillBuf(3, 0, 255, 0, makeMaps, 1, 0, 0, kW, kH, imageWidth, kH, 0, 0, kW, kH, 1.f,
                      1.f, kW, kH, p.r.data(), p.g.data(), p.b.data(), nullptr,
                      extra != nullptr ? extra->data() : nullptr, nullptr, nullptr),
            0);
  return p;
}

class LensEngine : public vmktest::SessionTest {
 protected:
  void SetUp() override { ResetColMatRandom(); }
};

TEST_F(LensEngine, SizeScalesTheCorrectedCornersAboutTheCentre) {
  auto frame = std::make_unique<TCWrap>();
  ZondracPar par = Record();
  par.w[kZndSize] = 10;
  MiscZondrac e;
  e.SetZondracPar(&par);
  ASSERT_EQ(e.PrepareGrid(frame.get(), 100, 80, 100, 80, 10, 10), 0);
  const float cx = 50.0f, cy = 40.0f;
  for (int k : {0, 10, 110, 120}) {
    EXPECT_NEAR(frame->set2.x[k], cx + 1.1f * (frame->set1.x[k] - cx), 1e-3) << k;
    EXPECT_NEAR(frame->set2.y[k], cy + 1.1f * (frame->set1.y[k] - cy), 1e-3) << k;
  }
  EXPECT_FLOAT_EQ(frame->set1.x[10], 100.0f);  // the first set stays regular
  EXPECT_EQ(frame->resolution, 72.0f);
}

TEST_F(LensEngine, MutateOffKeepsTheGeometry) {
  const Rgb in;
  ZondracPar par = Record();
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 40;
  par.w[kZndDistortV] = -30;
  const Rgb off = Render(par);
  EXPECT_EQ(off.r, in.r);
  EXPECT_EQ(off.b, in.b);
  par.w[kZndMutateOn] = 1;
  const Rgb on = Render(par);
  EXPECT_NE(on.r, in.r);
  // Fringe at 100, 100, 100 is the plain path; the selection switch without a plane is 255.
  par.w[kZndFringeOn] = 1;
  par.w[kZndSelection] = 1;
  EXPECT_EQ(Render(par).g, on.g);
  par.w[kZndFringe] = 120;
  EXPECT_NE(Render(par).r, on.r);
}

TEST_F(LensEngine, VignetteWithoutBrightnessSkipsTheCompensation) {
  ZondracPar par = Record();
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 50;
  par.w[kZndDistortH] = 20;
  const Rgb plain = Render(par);
  par.w[kZndVignetteOn] = 1;
  par.w[kZndBalance] = 70;
  EXPECT_EQ(Render(par).r, plain.r);
  par.w[kZndBrightness + 1] = 40;
  const Rgb bright = Render(par);
  EXPECT_EQ(bright.r, plain.r);
  EXPECT_NE(bright.g, plain.g);
  // The direct quad path never compensates.
  ZondracPar dark = par;
  dark.w[kZndBrightness + 1] = 0;
  EXPECT_EQ(Render(par, kW, nullptr, 0).g, Render(dark, kW, nullptr, 0).g);
}

TEST_F(LensEngine, CompuBrightTables) {
  uint8_t t[256];
  CompuBrightBalanceTable(70, t);
  EXPECT_EQ(t[0], 0);
  EXPECT_EQ(t[100], 40);  // 100 + 140 - 200
  EXPECT_EQ(t[255], 195);
  CompuBrightChannelTable(-20, t);
  EXPECT_EQ(t[30], 0);
  EXPECT_EQ(t[100], 60);
  CompuBrightChannelTable(50, t);
  EXPECT_EQ(t[200], 255);
  EXPECT_EQ(t[10], 110);
}

// A picture fitted into planes taller and wider than it (a fitted preview,
// the render file): the cells land in the region their sources come from.
// Counted from the planes' bottom they once put the picture's lower rows
// where its upper ones belong, and the region showed one half twice.
TEST_F(LensEngine, ARegionSmallerThanThePlanesStaysInPlace) {
  constexpr int32_t kRw = 20, kRh = 11;
  for (int16_t makeMaps : {1, 0}) {
    ZondracPar par = Record();  // the lens off: every cell onto itself
    MiscZondrac e;
    e.SetZondracPar(&par);
    const Rgb in;
    Rgb out = in;
    ASSERT_EQ(e.FillBuf(3, 0, 255, 0, makeMaps, 1, 0, 0, kRw, kRh, kRw, kRh, 0, 0, kRw, kRh, 1.f, 1.f, kW, kH,
                        out.r.data(), out.g.data(), out.b.data(), nullptr, nullptr, nullptr, nullptr),
              0);
    int worst = 0;
    for (int32_t y = 0; y < kRh; ++y)
      for (int32_t x = 0; x < kRw; ++x) {
        const int32_t i = y * kW + x;
        worst = std::max({worst, std::abs(out.r[i] - in.r[i]), std::abs(out.g[i] - in.g[i]),
                          std::abs(out.b[i] - in.b[i])});
      }
    EXPECT_LE(worst, 1) << "maps " << makeMaps;
    // Outside the region the planes are left as they were.
    for (int32_t i = kRh * kW; i < kN; ++i) ASSERT_EQ(out.r[i], in.r[i]) << i;
  }
}

TEST_F(LensEngine, ExtraPlaneIsWarpedWithTheImage) {
  ZondracPar par = Record();
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 30;
  par.w[kZndRotation] = 5;
  Plane extra = Ramp(1);
  const Rgb out = Render(par, kW, &extra);
  EXPECT_NE(extra, Ramp(1));
  EXPECT_EQ(extra, out.r);
}

TEST_F(LensEngine, DegenerateGeometryAndAbsurdWordsWarpNothingOrStayInside) {
  const Rgb in;
  ZondracPar par = Record();
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 30;
  EXPECT_EQ(Render(par, 0).r, in.r);  // image width 0: nothing is warped
  MiscZondrac e;
  e.SetZondracPar(&par);
  Rgb p;
  // A zero-width window: the copies blend back unwarped.
  e.FillBuf(3, 0, 255, 0, 1, 1, 0, 0, kW, kH, kW, kH, 5, 0, 5, kH, 1.f, 1.f, kW, kH, p.r.data(),
            p.g.data(), p.b.data(), nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(p.r, in.r);
  for (int32_t v : {70000, -70000, 2147483647, -2147483647 - 1}) {
    for (int k = 5; k < kZondracWords; ++k) par.w[k] = v;
    for (int16_t maps : {int16_t{0}, int16_t{1}}) Render(par, kW, nullptr, maps);
  }
}

class LensRow : public vmktest::EngineRowTest<kW, kH> {};

TEST_F(LensRow, OnePlaneThroughTheScript) {
  ASSERT_NE(FindEngineRow(113), nullptr);
  Oprn* op = OnePlaneOperation(113);
  if (op->MulStruc == nullptr) {
    ASSERT_EQ(Alloc_MulStruc(&op->MulStruc, 0), 0);
  }
  ASSERT_EQ(Init_MulStruc(op->MulStruc, 1, 30), 0);
  auto* par = static_cast<ZondracPar*>(MulStrucRecord(op->MulStruc, 30));
  ASSERT_NE(par, nullptr);
  par->w[kZndMutateOn] = 1;
  par->w[kZndMutate] = 100;
  par->w[kZndDistortH] = 20;
  op->Mode = 0;
  op->Opa = 255;
  const Plane in = Ramp(5);
  std::memcpy(s_.ChannelPlane(9, 1), in.data(), kN);
  EXPECT_EQ(s_.PerformToEffect(op), 0);
  const uint8_t* got = s_.ChannelPlane(9, 0);

  MiscZondrac e;
  e.SetZondracPar(par);
  Plane want = in;
  e.FillBuf(1, 0, 255, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
            want.data(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(Plane(got, got + kN), want);
  EXPECT_NE(want, in);
}

TEST_F(LensRow, CompositeWarpsPlaneEightyNineAlong) {
  s_.SetEffect(0, 1, 1, 113, 0, 0, 0, 0);
  s_.SetAct(0, 1, 1, 1);
  s_.SetToChannel(0, 1, 1, 2);
  Oprn* op = s_.GetOprn(0, 1, 1);
  if (op->MulStruc == nullptr) {
    ASSERT_EQ(Alloc_MulStruc(&op->MulStruc, 0), 0);
  }
  ASSERT_EQ(Init_MulStruc(op->MulStruc, 1, 30), 0);
  auto* par = static_cast<ZondracPar*>(MulStrucRecord(op->MulStruc, 30));
  par->w[kZndMutateOn] = 1;
  par->w[kZndMutate] = 100;
  par->w[kZndRotation] = 4;
  Rgb want;
  Plane q = Ramp(9);
  for (int32_t c : {3, 4, 5}) std::memcpy(s_.ChannelPlane(c, 1), Ramp(c - 2).data(), kN);
  std::memcpy(s_.ChannelPlane(89, 1), q.data(), kN);
  EXPECT_EQ(s_.PerformToEffect(op), 0);

  MiscZondrac e;
  e.SetZondracPar(par);
  e.FillBuf(3, op->Mode, op->Opa, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
            want.r.data(), want.g.data(), want.b.data(), nullptr, q.data(), nullptr, nullptr);
  const uint8_t* got89 = s_.ChannelPlane(89, 0);
  EXPECT_EQ(Plane(got89, got89 + kN), q);
  EXPECT_NE(q, Ramp(9));
  const uint8_t* got4 = s_.ChannelPlane(4, 0);
  EXPECT_EQ(Plane(got4, got4 + kN), want.g);
}

TEST_F(LensEngine, NoMemoryLeavesThePlanes) {
  const Rgb in;
  ZondracPar par = Record();
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 30;
  Rgb p;
  {
    MiscZondrac e;
    e.SetZondracPar(&par);
    vmktest::NoWorkMemory none;
    EXPECT_EQ(e.FillBuf(3, 0, 255, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
                        p.r.data(), p.g.data(), p.b.data(), nullptr, nullptr, nullptr, nullptr),
              0);
    X_CompuBright(kH, kW, 0, 0, kW, kH, p.r.data(), p.g.data(), p.b.data(), 30, 30, 30, 50);
  }
  EXPECT_EQ(p.r, in.r);
  EXPECT_EQ(p.b, in.b);
}

// The blend back at replacement runs in lanes: through a mask and a selection at a lower
// strength, each sample is the plain mix of the picture and the full-strength warp, at
// one, three and eight threads; the extra plane takes its warp whole.
TEST_F(LensEngine, WeightedBlendBackIsThePlainMixAtAnyThreadCount) {
  ZondracPar par = Record();
  par.w[kZndMutateOn] = 1;
  par.w[kZndMutate] = 100;
  par.w[kZndDistortH] = 40;
  par.w[kZndDistortV] = -30;
  par.w[kZndSelection] = 1;
  Plane extraFull = Ramp(7);
  const Rgb full = Render(par, kW, &extraFull);
  const Rgb orig;
  ASSERT_NE(full.r, orig.r);  // the warp moves something
  Plane mask(kN), selection(kN);
  for (int i = 0; i < kN; ++i) {
    mask[i] = static_cast<uint8_t>(i * 37 + 5);
    selection[i] = static_cast<uint8_t>(i * 11 + 90);
  }
  for (int threads : {1, 3, 8}) {
    plat::SetThreadCount(threads);
    MiscZondrac e;
    e.SetZondracPar(&par);
    Rgb p;
    Plane extra = Ramp(7);
    ASSERT_EQ(e.FillBuf(3, 0, 200, 0, 1, 1, 0, 0, kW, kH, kW, kH, 0, 0, kW, kH, 1.f, 1.f, kW, kH,
                        p.r.data(), p.g.data(), p.b.data(), nullptr, extra.data(), selection.data(),
                        mask.data()),
              0);
    const Plane* got[3] = {&p.r, &p.g, &p.b};
    const Plane* was[3] = {&orig.r, &orig.g, &orig.b};
    const Plane* warped[3] = {&full.r, &full.g, &full.b};
    for (int c = 0; c < 3; ++c)
      for (int i = 0; i < kN; ++i) {
        const int a = selection[i] * (mask[i] * 200 / 255) / 255;
        ASSERT_EQ((*got[c])[i], ((255 - a) * (*was[c])[i] + a * (*warped[c])[i]) / 255)
            << threads << " plane " << c << " sample " << i;
      }
    EXPECT_EQ(extra, extraFull) << threads;
  }
  plat::SetThreadCount(0);
}

}  // namespace

namespace {

// Under a flag nobody raises the render is the same; raised before it, the
// render stops before it warps and leaves the caller's planes as they were.
TEST_F(LensEngine, CancelledRendersStopAndUncancelledOnesAreUnchanged) {
  ZondracPar par = Record();
  par.w[kZndMutate] = 100;
  par.w[kZndMutateOn] = 1;
  par.w[kZndDistortH] = 40;
  par.w[kZndFringeOn] = 1;
  par.w[kZndFringe] = 104;
  const Rgb plain = Render(par);
  plat::CancelFlag flag;
  const plat::CancelScope scope(&flag);
  const Rgb watched = Render(par);
  EXPECT_EQ(watched.r, plain.r);
  EXPECT_EQ(watched.b, plain.b);
  EXPECT_NE(plain.r, Rgb().r);
  flag.Cancel();
  for (int16_t makeMaps : {0, 1}) {
    const Rgb stopped = Render(par, kW, nullptr, makeMaps);
    EXPECT_EQ(stopped.r, Rgb().r) << makeMaps;
    EXPECT_EQ(stopped.g, Rgb().g) << makeMaps;
  }
}

// The maps path reads the caller's planes for its source, sets its maps to neutral band by
// band as it lays the cells and pulls into warped copies it never fills from the planes: at
// full strength the planes become the plain pull of the untouched picture through the maps
// ValidZondrac lays over neutral ones, and every path (plain, fringe, fall-off, quad by quad,
// with the extra plane) gives on every vector form at one, three and eight threads what the
// plain forms give at one, on odd and tall pictures.
TEST_F(LensEngine, EveryPathOnEveryFormEqualsThePlainFormsOnOddSizes) {
  struct Size {
    int32_t w, h;
  };
  for (const Size size : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{37, 509}, Size{301, 203}}) {
    const int32_t w = size.w, h = size.h;
    const size_t n = static_cast<size_t>(w) * h;
    auto picture = [&](int seed) {
      Plane p(n);
      for (size_t i = 0; i < n; ++i)
        p[i] = static_cast<uint8_t>((i % w) * 7 + (i / w) * 3 + seed * 41 + (i * i) % 13);
      return p;
    };
    ZondracPar par;
    Init_ZondracPar(&par, w, h, 72, 20, 20, 2);
    for (int k = 20; k < kZondracWords; ++k) par.w[k] = 0;
    par.w[kZndMutateOn] = 1;
    par.w[kZndMutate] = 100;
    par.w[kZndDistortH] = 25;
    par.w[kZndDistortV] = -15;
    par.w[kZndRotation] = 2;
    par.w[kZndFringe] = 101;
    par.w[kZndFringe + 1] = 100;
    par.w[kZndFringe + 2] = 98;
    par.w[kZndBrightness] = par.w[kZndBrightness + 1] = par.w[kZndBrightness + 2] = 15;
    // 0 plain maps, 1 fringe, 2 fall-off, 3 quad by quad, 4 plain maps with the extra plane.
    auto render = [&](int path, Plane out[4]) {
      ZondracPar r = par;
      r.w[kZndFringeOn] = path == 1 ? 1 : 0;
      r.w[kZndVignetteOn] = path == 2 ? 1 : 0;
      MiscZondrac e;
      e.SetZondracPar(&r);
      for (int c = 0; c < 4; ++c) out[c] = picture(c);
      ASSERT_EQ(e.FillBuf(3, 0, 255, 0, path == 3 ? 0 : 1, 1, 0, 0, w, h, w, h, 0, 0, w, h, 1.f,
                          1.f, w, h, out[0].data(), out[1].data(), out[2].data(), nullptr,
                          path == 4 ? out[3].data() : nullptr, nullptr, nullptr),
                0);
    };
    // The plain pull through the maps laid over neutral ones, from the untouched picture.
    {
      std::vector<uint32_t> mx(n, kDisplacementNeutral), my(n, kDisplacementNeutral);
      std::vector<uint32_t*> rx(h), ry(h);
      for (int32_t y = 0; y < h; ++y) {
        rx[y] = mx.data() + static_cast<size_t>(y) * w;
        ry[y] = my.data() + static_cast<size_t>(y) * w;
      }
      const Plane src[4] = {picture(0), picture(1), picture(2), picture(3)};
      Plane expect[4] = {src[0], src[1], src[2], src[3]};
      plat::SetSimdLevel(plat::SimdLevel::kBaseline);
      plat::SetThreadCount(1);
      MiscZondrac e;
      e.SetZondracPar(&par);
      e.ValidZondrac(1, rx.data(), ry.data(), w, h, w, h, 0, 0, w, h, w, h, src[0].data(),
                     src[1].data(), src[2].data(), w, h, nullptr, nullptr, nullptr);
      ComputeBufRGBInterDisAtXY(h, w, src[0].data(), src[1].data(), src[2].data(), src[3].data(),
                                expect[0].data(), expect[1].data(), expect[2].data(),
                                expect[3].data(), rx.data(), ry.data());
      Plane got[4];
      render(4, got);
      for (int c = 0; c < 4; ++c) ASSERT_EQ(got[c], expect[c]) << w << "x" << h << " plane " << c;
    }
    for (int path = 0; path < 5; ++path) {
      Plane expect[4];
      plat::SetSimdLevel(plat::SimdLevel::kBaseline);
      plat::SetThreadCount(1);
      render(path, expect);
      for (const plat::SimdLevel level :
           {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
        plat::SetSimdLevel(level);
        for (int threads : {1, 3, 8}) {
          plat::SetThreadCount(threads);
          Plane got[4];
          render(path, got);
          for (int c = 0; c < 4; ++c)
            ASSERT_EQ(got[c], expect[c]) << w << "x" << h << " path " << path << " level "
                                         << static_cast<int>(level) << " threads " << threads
                                         << " plane " << c;
        }
      }
    }
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  plat::SetThreadCount(0);
}

}  // namespace
