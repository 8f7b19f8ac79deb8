// The previews through the engine table: each equals its engine called
// directly on the same region, and a failing engine leaves the view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/colour_correction_engine.h"
#include "engines/correction/colour_matrix_engine.h"
#include "engines/correction/grid_warp.h"
#include "engines/correction/lens_correction_engine.h"
#include "engines/correction/yoxel_engine.h"
#include "engines/patterns/border_engine.h"
#include "engines/patterns/image_combination_engine.h"
#include "engines/patterns/misc_fract.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/weave_engine.h"
#include "engines/tessellation/photo_repeat_engine.h"
#include "engines/tessellation/quad_lists.h"
#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "script/misc_render.h"
#include "views/preview_engines.h"

namespace vmktest {
namespace {

using vmkviews::PreviewCall;
constexpr int32_t kW = 40, kH = 30;

// The engines as the previews' tables order their arguments, called by hand.
int32_t DirectColCor(const PreviewCall& c) {
  MiscColCor e;
  e.SetColCorPar(c.recordAs<ColCorPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], c.viewWidth, c.viewHeight, 0, 0, c.effWidth,
                   c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2],
                   c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1], c.planes[2], c.planes[3],
                   nullptr);
}
int32_t DirectZondrac(const PreviewCall& c) {
  MiscZondrac e;
  e.SetZondracPar(c.recordAs<ZondracPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], 1, c.shorts[5], 0, 0, c.effWidth, c.effHeight, c.srcWidth,
                   c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2], c.srcRect[3], c.scale,
                   c.scale, c.viewWidth, c.viewHeight, c.planes[0], c.planes[1], c.planes[2],
                   nullptr, nullptr, c.planes[5], nullptr);
}
int32_t DirectColMat(const PreviewCall& c) {
  MiscColMat e;
  e.SetColMatPar(c.recordAs<ColMatPar>());
  e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], 255, 0, 0, c.effWidth, c.effHeight, c.srcWidth,
            c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2], c.srcRect[3], c.scale, c.scale,
            c.viewWidth, c.viewHeight, c.planes[0], c.planes[1], c.planes[2], c.planes[3], nullptr);
  return 0;
}
int32_t Failing(const PreviewCall& c) {
  std::memset(c.planes[0], 77, static_cast<size_t>(c.viewWidth) * c.viewHeight);
  return -1;
}

class CorrectionPreviews : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 6 + ((x * y) & 15));
        p[1] = static_cast<uint8_t>(y * 8);
        p[2] = static_cast<uint8_t>((x ^ y) * 9);
        p[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, kH, kW};
    rec_.inLastPlane = 2;
    rec_.imageWidth = kW;
    rec_.imageHeight = kH;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    box_.InitBuf(1);  // every record copy of the correction dialogs
    YoxelPar y;
    Init_YoxelPar(&y, kW, kH, 72, 0, 5);
    box_.SetYoxelPar(&y, 2, 0);
    box_.SetPanBufCoord(10000, 0, 90000, 100000);
  }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    vmkviews::RegisterPreviewEngines();
    BoxTest::TearDown();
  }
  std::vector<uint8_t> Shown() const {
    const uint8_t* d = box_.displayBuffer();
    return std::vector<uint8_t>(d, d + 4 * box_.state().viewWidth * box_.state().viewHeight);
  }
  // The display after the preview with the table's engine, then with the
  // direct call in its place.
  void ExpectSameAsDirect(int16_t routine, int16_t code, vmkviews::PreviewEngine direct,
                          const std::function<void()>& preview) {
    vmkviews::RegisterPreviewEngines();
    preview();
    const std::vector<uint8_t> table = Shown();
    vmkviews::RegisterPreviewEngine(routine, code, direct);
    preview();
    EXPECT_EQ(table, Shown());
    // The picture came through (not cleared planes).
    EXPECT_NE(Display(100, 100) & 0xFFFFFF00u, 0u) << routine << " " << code;
  }

  PixelBuffer photo_{kW, kH, 1, 4};
  PixelBuffer unused_;
  FilterRecord rec_;
};

TEST_F(CorrectionPreviews, EachEqualsItsEngineCalledDirectly) {
  ColCorPar cc;
  Init_ColCorPar(&cc, kW, kH, 72, 103, 0, 0);
  ExpectSameAsDirect(vmkviews::kPreviewColCor, 0, DirectColCor, [&] { box_.SetColCorPar(&cc, 0, 3); });
  Init_ColCorPar(&cc, kW, kH, 72, 105, 0, 0);
  ExpectSameAsDirect(vmkviews::kPreviewColCor, 0, DirectColCor, [&] { box_.SetColCorPar(&cc, 2, 3); });

  ZondracPar zp;
  Init_ZondracPar(&zp, kW, kH, 72, 20, 20, 0);
  zp.w[22] = 40;  // horizontal distortion
  ExpectSameAsDirect(vmkviews::kPreviewZondrac, 0, DirectZondrac, [&] { box_.SetZondracPar(&zp, 0, 3); });

  ColMatPar cm;
  Init_ColMatPar(&cm);
  cm.cells[5] = 0x80402010u;
  ExpectSameAsDirect(vmkviews::kPreviewEffect, 22, DirectColMat, [&] { box_.SetColMatPar(&cm, 0, 3, 22); });
}

TEST_F(CorrectionPreviews, AFailingEngineLeavesTheView) {
  ColCorPar cc;
  Init_ColCorPar(&cc, kW, kH, 72, 103, 0, 0);
  box_.SetColCorPar(&cc, 0, 3);
  const std::vector<uint8_t> before = Shown();
  const ImaboxState state = box_.state();
  // A picture of another shape would lay out otherwise; nothing of it shows.
  Init_ColCorPar(&cc, 10, 30, 72, 103, 0, 0);
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, Failing);
  box_.SetColCorPar(&cc, 0, 3);
  EXPECT_EQ(Shown(), before);
  EXPECT_EQ(box_.state().effWidth, state.effWidth);
  EXPECT_EQ(box_.state().originX, state.originX);
  EXPECT_EQ(box_.displayedWidth(), state.effWidth);

  // The table's engines refuse a call without a record.
  PreviewCall call;
  for (auto [routine, code] : {std::pair<int16_t, int16_t>{vmkviews::kPreviewColCor, 0},
                               {vmkviews::kPreviewZondrac, 0}, {vmkviews::kPreviewEffect, 22}}) {
    vmkviews::RegisterPreviewEngines();
    EXPECT_EQ(vmkviews::FindPreviewEngine(routine, code)(call), -1);
  }
}

// ---- every other row of the table, each as its engine called by hand ----

int32_t DirectYoxel(const PreviewCall& c) {
  MiscYoxel e;
  e.SetYoxelPar(c.recordAs<YoxelPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], c.viewWidth, c.viewHeight, 0, 0, c.effWidth,
                   c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2],
                   c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1], c.planes[2], nullptr,
                   nullptr, c.planes[5], nullptr);
}
int32_t DirectGrid(const PreviewCall& c) {
  MiscGrid e;
  e.SetGridPar(c.recordAs<GridPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], 1, c.shorts[5], c.viewWidth, c.viewHeight, 0, 0, c.effWidth,
                   c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2],
                   c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1], c.planes[2], c.planes[3],
                   nullptr);
}
int32_t DirectRender(const PreviewCall& c) {
  MiscRender e;
  if (c.renderFile != nullptr) e.SetFich(c.renderFile, nullptr, 3, 0, 0);
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], nullptr, 0, 0, c.effWidth, c.effHeight,
                   c.srcRect[0], c.srcRect[1], c.srcRect[2], c.srcRect[3], c.scale, c.scale,
                   c.viewWidth, c.viewHeight, c.planes[0], c.planes[1], c.planes[2], c.planes[3],
                   nullptr);
}
int32_t DirectRepeat(const PreviewCall& c) {
  MiscCastel e;
  e.SetRepPar(c.recordAs<RepPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], 255, 1, 1, 1, 0, c.viewWidth, c.viewHeight, 0,
                   0, c.effWidth, c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1],
                   c.srcRect[2], c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1],
                   c.planes[2], c.planes[3], nullptr);
}
int32_t DirectFract(const PreviewCall& c) {
  MiscFract e;
  e.SetFractPar(c.recordAs<FractPar>());
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], nullptr, c.viewWidth, c.viewHeight, 0, 0,
                   c.effWidth, c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1],
                   c.srcRect[2], c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1],
                   c.planes[2], c.planes[3], nullptr);
}
// Tessellation, cookie cutter, image combination, border: 255, option, mode.
template <class E, class R, void (E::*Set)(const R*)>
int32_t DirectFirst(const PreviewCall& c) {
  E e;
  (e.*Set)(c.recordAs<R>());
  return e.FillBuf(3, 0, 255, c.shorts[3], c.shorts[4], c.viewWidth, c.viewHeight, 0, 0, c.effWidth,
                   c.effHeight, c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2],
                   c.srcRect[3], c.scale, c.scale, c.planes[0], c.planes[1], c.planes[2], c.planes[3],
                   nullptr);
}
// Weave (level first) and shapes (255 first): the view size after the scales.
template <class E, class R, void (E::*Set)(const R*)>
int32_t DirectAfter(const PreviewCall& c) {
  E e;
  (e.*Set)(c.recordAs<R>());
  return e.FillBuf(3, 0, c.shorts[2], c.shorts[3], c.shorts[4], 0, 0, c.effWidth, c.effHeight,
                   c.srcWidth, c.srcHeight, c.srcRect[0], c.srcRect[1], c.srcRect[2], c.srcRect[3],
                   c.scale, c.scale, c.viewWidth, c.viewHeight, c.planes[0], c.planes[1], c.planes[2],
                   c.planes[3], nullptr);
}

// The plaid: woven over the whole view, its fourth plane (the engine's
// blend mask) full.
int32_t DirectPlaid(const PreviewCall& c) {
  std::fill(c.planes[3], c.planes[3] + static_cast<size_t>(c.viewWidth) * c.viewHeight, uint8_t{255});
  return DirectAfter<MiscWeave, PlaidPar, &MiscWeave::SetPlaidPar>(c);
}

// The table's engine, counted and its answer kept.
vmkviews::PreviewEngine gInner = nullptr;
int gCalls = 0;
int32_t gAnswer = 0;
int32_t Spy(const PreviewCall& c) {
  ++gCalls;
  gAnswer = gInner != nullptr ? gInner(c) : 0;
  return gAnswer;
}

struct Row {
  const char* name;
  int16_t routine;
  int16_t code;
  vmkviews::PreviewEngine direct;
  bool renders;  // the engine draws with the fixture's picture alone
  std::function<void(VMKimabox&, int16_t mode)> set;
};

class EffectPreviews : public CorrectionPreviews {
 protected:
  void SetUp() override {
    CorrectionPreviews::SetUp();
    box_.InitBuf(26);  // the shapes' copy
    Init_YoxelPar(&yoxel_, kW, kH, 72, 0, 5);
    Init_GridPar(&grid_, kW, kH, 4, 4, 0, 1, 1, 1);
    Init_RepPar(&rep_, 0, 2, 2);
    rep_.grid.w[kRepTileSource] = 0;  // the picture is its own tile: no file
    Init_PlaidPar(&plaid_, 0);
    Init_TessPar(&tess_, 0, 0, 1);
    Init_CookiCutPar(&cookie_);
    Init_CombImaPar(&comb_, 0);
    Init_FractPar(&fract_, 0, 0);
    Init_BordPar(&bord_, kW, kH, 0, 1, 1, 0);
    Init_ShapePar(&shape_, kW, kH, 0);
  }
  std::vector<Row> Rows() {
    using namespace vmkviews;
    return {
        {"resize", kPreviewYoxel, 0, DirectYoxel, true,
         [this](VMKimabox& b, int16_t m) { b.SetYoxelPar(&yoxel_, m, 3); }},
        {"grid", kPreviewGrid, 0, DirectGrid, true,
         [this](VMKimabox& b, int16_t m) { b.SetGridPar(&grid_, m, 3); }},
        {"render", kPreviewEffect, 0, DirectRender, false,
         [](VMKimabox& b, int16_t m) { b.SetRender(0, nullptr, m, 3); }},
        {"repeat", kPreviewEffect, 41, DirectRepeat, true,
         [this](VMKimabox& b, int16_t m) { b.SetRepPar(&rep_, m, 3, nullptr); }},
        {"weave", kPreviewEffect, 42, DirectPlaid, true,
         [this](VMKimabox& b, int16_t m) { b.SetPlaidPar(&plaid_, m, 255, 3, 42); }},
        {"tessellation", kPreviewEffect, 58, DirectFirst<MiscQuorlin, TessPar, &MiscQuorlin::SetTessPar>,
         true, [this](VMKimabox& b, int16_t m) { b.SetTessPar(&tess_, m, 3, nullptr); }},
        {"cookie cutter", kPreviewEffect, 81,
         DirectFirst<MiscCookiCut, CookiCutPar, &MiscCookiCut::SetCookiCutPar>, true,
         [this](VMKimabox& b, int16_t m) { b.SetCookiCutPar(&cookie_, m, 3); }},
        {"combination", kPreviewEffect, 92,
         DirectFirst<MiscCombIma, CombImaPar, &MiscCombIma::SetCombImaPar>, true,
         [this](VMKimabox& b, int16_t m) { b.SetCombImaPar(&comb_, m, 3); }},
        {"fractal", kPreviewEffect, 100, DirectFract, true,
         [this](VMKimabox& b, int16_t m) { b.SetFractPar(&fract_, m, 3, nullptr); }},
        {"border", kPreviewEffect, 106, DirectFirst<MiscBord, BordPar, &MiscBord::SetBordPar>, true,
         [this](VMKimabox& b, int16_t m) { b.SetBordPar(&bord_, m, 3, nullptr); }},
        {"shape 109", kPreviewEffect, 109, DirectAfter<MiscShape, ShapePar, &MiscShape::SetShapePar>, true,
         [this](VMKimabox& b, int16_t m) { b.SetShapePar(&shape_, m, 3, 109); }},
        {"shape 110", kPreviewEffect, 110, DirectAfter<MiscShape, ShapePar, &MiscShape::SetShapePar>, true,
         [this](VMKimabox& b, int16_t m) { b.SetShapePar(&shape_, m, 3, 110); }},
    };
  }
  // The row's own engine behind the spy.
  void Spy(const Row& row) {
    vmkviews::RegisterPreviewEngines();
    gInner = vmkviews::FindPreviewEngine(row.routine, row.code);
    ASSERT_NE(gInner, nullptr) << row.name;
    gCalls = 0;
    vmkviews::RegisterPreviewEngine(row.routine, row.code, vmktest::Spy);
  }

  YoxelPar yoxel_;
  GridPar grid_;
  RepPar rep_;
  PlaidPar plaid_;
  TessPar tess_;
  CookiCutPar cookie_;
  CombImaPar comb_;
  FractPar fract_;
  BordPar bord_;
  ShapePar shape_;
};

TEST_F(EffectPreviews, EachEqualsItsEngineCalledDirectly) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    Spy(row);
    row.set(box_, 1);
    EXPECT_EQ(gCalls, 1);
    const std::vector<uint8_t> table = Shown();
    if (row.renders) {
      EXPECT_EQ(gAnswer, 0);
    }
    vmkviews::RegisterPreviewEngine(row.routine, row.code, row.direct);
    row.set(box_, 1);
    EXPECT_EQ(table, Shown());
  }
  // With its flag set the grid first loads the picture, then warps it.
  grid_.head.w[kGpTool - 1] = 1;
  Spy(Rows()[1]);
  box_.SetGridPar(&grid_, 1, 3);
  EXPECT_EQ(gCalls, 2);
}

TEST_F(EffectPreviews, ModeTwoLaysOutAndModeMinusOneOnlyCopies) {
  for (const Row& row : Rows()) {
    if (row.routine != vmkviews::kPreviewEffect) continue;
    SCOPED_TRACE(row.name);
    Spy(row);
    row.set(box_, 1);
    const std::vector<uint8_t> shown = Shown();
    const ImaboxState laidOut = box_.state();
    gCalls = 0;
    row.set(box_, -1);
    EXPECT_EQ(gCalls, 0);
    EXPECT_EQ(Shown(), shown);
    EXPECT_EQ(box_.state().effWidth, laidOut.effWidth);
    // The whole 40 x 30 picture in the 200 x 200 view, nothing rendered.
    row.set(box_, 2);
    EXPECT_EQ(gCalls, 0);
    EXPECT_EQ(Shown(), shown);
    EXPECT_EQ(box_.state().effWidth, 200);
    EXPECT_EQ(box_.state().effHeight, 150);
    EXPECT_EQ(box_.state().originY, 25);
    EXPECT_EQ(box_.displayedHeight(), 150);
  }
  // The resize renders even for mode -1.
  Spy(Rows()[0]);
  box_.SetYoxelPar(&yoxel_, -1, 3);
  EXPECT_EQ(gCalls, 1);
  // Mode -1 kept the record: the getters hand it back.
  Init_ShapePar(&shape_, kW, kH, 1);
  box_.SetShapePar(&shape_, -1, 3, 109);
  ShapePar back;
  box_.GetShapePar(&back);
  EXPECT_EQ(back.kind, 1);
}

TEST_F(EffectPreviews, AFailingEngineLeavesTheViewAndCode43ShowsBlankPlanes) {
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.name);
    vmkviews::RegisterPreviewEngines();
    row.set(box_, 1);
    const std::vector<uint8_t> before = Shown();
    const ImaboxState state = box_.state();
    box_.SetPanBufCoord(0, 0, 50000, 100000);  // another layout, if it were made
    vmkviews::RegisterPreviewEngine(row.routine, row.code, Failing);
    row.set(box_, 1);
    EXPECT_EQ(Shown(), before);
    EXPECT_EQ(box_.state().effWidth, state.effWidth);
    EXPECT_EQ(box_.state().originX, state.originX);
    box_.SetPanBufCoord(10000, 0, 90000, 100000);
  }
  vmkviews::RegisterPreviewEngines();
  ASSERT_EQ(vmkviews::FindPreviewEngine(vmkviews::kPreviewEffect, 43), nullptr);
  box_.SetPanBufCoord(0, 0, 100000, 100000);
  box_.PrepEffBuf(1, 255, 3, 43);
  EXPECT_EQ(box_.state().effWidth, 200);
  EXPECT_EQ(box_.state().effHeight, 200 * 29 / 39);
  EXPECT_EQ(Display(100, 100) & 0xFFFFFF00u, 0u);
}

// The whole picture in a view of another shape than the box fixture's
// square one (the dialogs' navigators are 4:3): the colour correction with
// nothing to apply shows the picture itself, every displayed pixel the
// picture's pixel at twice its column and row, up to the right edge.
class WholePictureInAWideView : public BoxTest {
 protected:
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    BoxTest::TearDown();
  }
  void Show(uint32_t w, uint32_t h) {
    photo_ = PixelBuffer(w, h, 1, 4);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(x);
        p[1] = static_cast<uint8_t>(y);
        p[2] = static_cast<uint8_t>((x * 7 + y * 13) & 255);
        p[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
    rec_.inLastPlane = 2;
    rec_.imageWidth = static_cast<int16_t>(w);
    rec_.imageHeight = static_cast<int16_t>(h);
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    vmkviews::RegisterPreviewEngines();
    plat::tb::SetControlBounds(view_, Rect{10, 20, 100, 140});  // 120 x 90
    box_.InitBuf(23);
    ColCorPar cc;
    Init_ColCorPar(&cc, static_cast<int32_t>(w), static_cast<int32_t>(h), 72, 103, 0, 0);
    box_.SetColCorPar(&cc, 2, 3);
  }
  // Display rows run bottom up: buffer row eh - 1 - k shows picture row 2k.
  void ExpectHalfScalePicture(int32_t ew, int32_t eh) {
    ASSERT_EQ(box_.displayedWidth(), ew);
    ASSERT_EQ(box_.displayedHeight(), eh);
    int bad = 0;
    for (int32_t b = 0; b < eh; ++b)
      for (int32_t j = 0; j < ew; ++j) {
        const uint32_t x = static_cast<uint32_t>(2 * j);
        const uint32_t y = static_cast<uint32_t>(2 * (eh - 1 - b));
        const uint32_t want = (x << 24) | (y << 16) | (((x * 7 + y * 13) & 255) << 8) | 0xFFu;
        if (Display(j, b) != want && bad++ < 5) ADD_FAILURE() << "column " << j << " row " << b;
      }
    EXPECT_EQ(bad, 0);
  }

  PixelBuffer photo_;
  PixelBuffer unused_;
  FilterRecord rec_;
};

TEST_F(WholePictureInAWideView, FillsTheViewOnTheRelativelyWiderAxis) {
  Show(240, 180);  // the view's own shape: all of it
  EXPECT_EQ(box_.state().originX, 0);
  EXPECT_EQ(box_.state().originY, 0);
  ExpectHalfScalePicture(120, 90);
  Show(90, 180);  // taller than the view: full height, centred
  EXPECT_EQ(box_.state().originX, 37);
  ExpectHalfScalePicture(45, 90);
  Show(240, 90);  // wider than the view: full width
  EXPECT_EQ(box_.state().originY, 22);
  ExpectHalfScalePicture(120, 45);
}

}  // namespace
}  // namespace vmktest
