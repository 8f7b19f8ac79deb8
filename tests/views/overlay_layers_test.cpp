// The overlays of a whole draw: their order, the shape outlines against what
// their engines render, and a picture of each overlay for a person to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_fixture.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/path_shape_engines.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "overlay_probe.h"
#include "app/core/session_state.h"
#include "paths/draw_par.h"
#include "paths/path_list.h"

namespace vmktest {
namespace {

// A box drawn offscreen: its 200 x 200 view at (20, 10) of the probe's port,
// over a 400 x 300 picture shown whole (200 x 150 at (20, 35)), the display
// transparent so only the overlays carry colour over the background.
class LayerTest : public BoxTest {
 protected:
  void SetUp() override {
    BoxTest::SetUp();
    // The session's shared drawing parameters, which the path lists draw with.
    Init_DrawPar(&shared_);
    gPer->drawPar = &shared_;
    box_.InitBuf(26);  // the shape record too; before the layout, which InitBuf resets
    LayOutPicture(400, 300, 2);
    std::vector<char> clear(200 * 200 * 4, 0);
    box_.SetBuf(0, 200, 0, clear.data(), 200, 200, 0);
    DrawPar dp;
    Init_DrawPar(&dp);
    dp.viewOffsetX = 20.0f;
    dp.viewOffsetY = 35.0f;
    dp.limit = Rect{35, 20, 185, 220};
    box_.SetDrw(&dp);
  }
  void TearDown() override {
    gPer->drawPar = nullptr;
    BoxTest::TearDown();
  }
  void Draw() {
    probe_.Clear();
    const plat::draw::Context ctx{probe_.port(), 20, 10, Rect{10, 20, 210, 220}};
    box_.DrawContent(nullptr, nullptr, ctx);
  }
  // The box's view shows the picture only: every overlay's record at its
  // defaults, picture-sized.
  void InitRecords() {
    Init_GridPar(box_.gridRecord(), 400, 300, 2, 2, 0, 3, 1, 1);
    Init_ZondracPar(box_.zondracRecord(), 400, 300, 72, 8, 8, 0);
    Init_BordPar(box_.bordRecord(), 400, 300, 0, 1, 0, 0);
    Init_RepPar(box_.repRecord(), 0, 2, 2);
    Init_TessPar(box_.tessRecord(), 0, 0, 0);
    Init_WeaveInfo(box_.weaveRecord(), 4, 4);
    ShapePar shape;
    Init_ShapePar(&shape, 200, 150, 0);
    box_.SetShapePar(&shape, -1, 0, 110);
    CookiCutPar cookie;
    Init_CookiCutPar(&cookie);
    box_.SetCookiCutPar(&cookie, -1, 0);
  }

  Probe probe_{240, 220};
  DrawPar shared_{};
};

TEST_F(LayerTest, EveryLayerInItsOrder) {
  InitRecords();
  CPathList paths(0);
  paths.AddPath(0);
  paths.current->CreaPathof_xpts(4, 1);
  paths.fct_calc_Rect(paths.current, 10.0f, 10.0f, 60.0f, 40.0f);
  paths.InActivateAll(0);  // the outline alone, no knots
  box_.SetPathList(&paths);
  PlaidPar* plaid = box_.plaidRecord();
  plaid->lineMode = 1;
  plaid->colRepeats = 1;
  plaid->free1.stripCount = 1;
  plaid->free1.stripOn[0] = 1;
  plaid->free1.stripWidth[0] = 40;
  plaid->paletteA[0][0] = plaid->paletteA[1][0] = 255;  // yellow
  box_.SetWeaveInfo(box_.weaveRecord(), 2, 0, 16, 32, 48, 64, 80, 96);
  box_.weaveRecord()->cells[0][0] = 1;
  box_.SetStarMode(1);
  box_.SetSpirMode(1);
  box_.SetCookiMode(1);
  box_.SetWWInfoMode(2);
  box_.SetZondracMode(3);
  box_.SetBufSSPan(20000, 20000, 80000, 80000, 100, 2, 0);
  // Paths, pan frame 2 only, quad, image, grid both, border, repeat,
  // tessellation mode 2.
  box_.SetBufParam(0, 0, 0, 1, 4, 1, 1, 3, 0, 0, 2, 1, 1);
  box_.gridRecord()->head.w[kGpTool] = 5;
  box_.SetNewRowCol(2, 3, 2, 2);
  BordInfo& layer = box_.bordRecord()->layers[0].info;
  layer.two[0] = 1;  // corner 3, the last drawn, selected
  layer.two[1] = 3;
  box_.repRecord()->grid.w[kRepSelColumn] = 1;
  box_.SetSelMode(1, 1);
  Draw();
  // The paths and outlines lent the shared drawing parameters the window's
  // port for their drawing only.
  EXPECT_EQ(shared_.port, nullptr);
  const std::vector<std::string>& s = probe_.steps();
  const auto frame = std::find(s.begin(), s.end(), "FrameRect 000000000000");
  ASSERT_NE(frame, s.end());
  const std::vector<std::string> overlays(frame + 1, s.end());
  const std::vector<std::string> expected = {
      "Line 00000000ffff",       // paths
      "PaintRect fe01fe010000",  // plaid stripes
      "PaintRect 100020003000",  // weave: background, cells, frame
      "PaintRect 400050006000",
      "FrameRect 000000000000",
      "Line 00000000ffff",  // star, spirograph, cookie cutter
      "Line ffff00000000",  // quad and its handles
      "FrameRect ffff00000000",
      "FrameRect 0000ffff0000",  // pan frame 2
      "Line ffff00000000",       // lens: regular, corrected
      "Line 00000000ffff",
      "Line ffff00000000",  // grid: in, out
      "Line 00000000ffff",
      "PaintRect ffffffffffff",  // three create points
      "FrameRect 0000ffff0000",
      "PaintRect ffffffffffff",
      "FrameRect 0000ffff0000",
      "PaintRect ffffffffffff",
      "FrameRect 0000ffff0000",
      "Line 00000000ffff",  // border, its selected corner last
      "Line ffff00000000",
      "Line 00000000ffff",  // repeat, its marked tile
      "Line ffff00000000",
      "Line 000000000000",  // tessellation: effective, geometric, layout
      "Line 00000000ffff",
      "Line ffff00000000",
      "FrameRect ffff00000000",  // the selection
  };
  EXPECT_EQ(overlays, expected);
}

// Bounding box of the pixels of one colour inside the image rectangle, in
// pixels from its top-left corner.
struct Box {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box BoxOf(const Probe& p, uint32_t colour) {
  Box b;
  for (int y = 35; y < 185; ++y)
    for (int x = 20; x < 220; ++x)
      if (p.At(x, y) == colour) {
        b.left = std::min(b.left, x - 20);
        b.right = std::max(b.right, x - 20);
        b.top = std::min(b.top, y - 35);
        b.bottom = std::max(b.bottom, y - 35);
      }
  return b;
}
// The engine's shape plane over the displayed size, rows shown bottom up as
// the box shows its planes.
Box BoxOf(const std::vector<uint8_t>& plane, int w, int h) {
  Box b;
  for (int i = 0; i < w * h; ++i)
    if (plane[i] >= 128) {
      const int x = i % w, y = h - 1 - i / w;
      b.left = std::min(b.left, x);
      b.right = std::max(b.right, x);
      b.top = std::min(b.top, y);
      b.bottom = std::max(b.bottom, y);
    }
  return b;
}
void ExpectNear(const Box& a, const Box& b, const char* what) {
  EXPECT_NEAR(a.left, b.left, 1) << what;
  EXPECT_NEAR(a.right, b.right, 1) << what;
  EXPECT_NEAR(a.top, b.top, 1) << what;
  EXPECT_NEAR(a.bottom, b.bottom, 1) << what;
}

TEST_F(LayerTest, OutlinesLieOnWhatTheEnginesRender) {
  InitRecords();
  ShapePar star;
  Init_ShapePar(&star, 200, 150, 0);
  star.rotation = 20;
  star.centreX = 40;
  Init_LutVign(0, &star.ramp, 0, 0, 0, 0);
  CookiCutPar cookie;
  Init_CookiCutPar(&cookie);
  cookie.softness = 0;  // hard edges: the shape plane's extent is the outline's
  Init_LutVign(0, &cookie.ramp, 0, 0, 0, 0);
  auto render = [](auto& engine, auto fill) {
    std::vector<uint8_t> plane(200 * 150, 0);
    fill(engine, plane.data());
    return BoxOf(plane, 200, 150);
  };
  for (int32_t kind : {0, 1}) {
    star.kind = kind;
    MiscShape e;
    e.SetShapePar(&star);
    const Box rendered = render(e, [](MiscShape& m, uint8_t* p) {
      m.FillBuf(1, 0, 255, 0, 1, 0, 0, 200, 150, 200, 150, 0, 0, 200, 150, 1.0f, 1.0f, 200, 150, p,
                nullptr, nullptr, nullptr, nullptr);
    });
    box_.SetShapePar(&star, -1, 0, 110);
    box_.SetStarMode(kind == 0 ? 1 : 0);
    box_.SetSpirMode(kind == 1 ? 1 : 0);
    Draw();
    ExpectNear(BoxOf(probe_, 0xFF0000FFu), rendered, kind == 0 ? "star" : "spirograph");
  }
  box_.SetStarMode(0);
  box_.SetSpirMode(0);
  box_.SetCookiMode(1);
  box_.SetCookiCutPar(&cookie, -1, 0);
  MiscCookiCut c;
  c.SetCookiCutPar(&cookie);
  const Box rendered = render(c, [](MiscCookiCut& m, uint8_t* p) {
    m.FillBuf(1, 0, 255, 0, 1, 200, 150, 0, 0, 200, 150, 200, 150, 0, 0, 200, 150, 1.0f, 1.0f, p,
              nullptr, nullptr, nullptr, nullptr);
  });
  Draw();
  ExpectNear(BoxOf(probe_, 0xFF0000FFu), rendered, "cookie");
}

}  // namespace
}  // namespace vmktest
