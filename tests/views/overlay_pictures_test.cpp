// A picture of each overlay of the image box over a generated picture, kept
// under the build tree (artefacts/views) for a person to look at; never
// compared.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "engines/correction/grid_record.h"
#include "engines/correction/lens_correction.h"
#include "engines/correction/resize_record.h"
#include "engines/patterns/border_record.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/weave_plaid_record.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "engines/tessellation/tessellation_record.h"
#include "paths/draw_par.h"
#include "platform/draw/port.h"
#include "support/session.h"
#include "views/image_box.h"

namespace vmktest {
namespace {

// A 500 x 500 box drawn offscreen over a 600 x 400 picture of soft bands.
class OverlayPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    Init_DrawPar(&shared_);
    gPer->drawPar = &shared_;
    plat::tb::Event init;
    init.eventClass = plat::tb::kEventClassHIObject;
    init.kind = plat::tb::kEventHIObjectInitialize;
    init.bounds = CGRect{{0.0f, 0.0f}, {500.0f, 500.0f}};
    box_.ImaBoxEventHandler(nullptr, &init, nullptr);
    box_.InitBuf(1);
    box_.InitBuf(26);
    YoxelPar rec;
    Init_YoxelPar(&rec, 600, 400, 72, 0, 5);
    box_.SetYoxelPar(&rec, 2, 0);
    const int32_t w = box_.displayedWidth(), h = box_.displayedHeight();
    std::vector<uint8_t> r(w * h), g(w * h), b(w * h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        r[i] = static_cast<uint8_t>(120 + x * 100 / w);
        g[i] = static_cast<uint8_t>(140 + y * 80 / h);
        b[i] = static_cast<uint8_t>(170 + ((x / 25 + y / 25) % 2) * 30);
      }
    box_.SetBufRGB(0, 0, 0, w, h, 0, 600, 400, w, h, r.data(), g.data(), b.data(), nullptr, 255, 0);
    DrawPar dp;
    Init_DrawPar(&dp);
    dp.viewOffsetX = static_cast<float>((500 - w) / 2);
    dp.viewOffsetY = static_cast<float>((500 - h) / 2);
    dp.limit = Rect{0, 0, 500, 500};
    box_.SetDrw(&dp);
    Init_GridPar(box_.gridRecord(), 600, 400, 6, 4, 0, 3, 1, 1);
    Init_ZondracPar(box_.zondracRecord(), 600, 400, 72, 20, 20, 0);
    Init_BordPar(box_.bordRecord(), 600, 400, 0, 1, 0, 0);
    Init_RepPar(box_.repRecord(), 0, 4, 3);
    Init_TessPar(box_.tessRecord(), 0, 0, 0);
    Init_WeaveInfo(box_.weaveRecord(), 8, 8);
    ShapePar shape;
    Init_ShapePar(&shape, w, h, 0);
    box_.SetShapePar(&shape, -1, 0, 110);
    CookiCutPar cookie;
    Init_CookiCutPar(&cookie);
    box_.SetCookiCutPar(&cookie, -1, 0);
  }
  void TearDown() override { gPer->drawPar = nullptr; }

  // Draws with `on` switched on, saves the picture as <name>.png.
  void Shoot(const char* name, const std::function<void()>& on) {
    box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box_.SetZondracMode(0);
    box_.SetStarMode(0);
    box_.SetSpirMode(0);
    box_.SetCookiMode(0);
    box_.SetWeaveInfo(box_.weaveRecord(), 0, 0, 0, 0, 0, 0, 0, 0);
    on();
    plat::draw::Port port(500, 500);
    box_.DrawContent(nullptr, nullptr, plat::draw::Context{&port, 0, 0, port.portRect});
    const QString folder = VMK_ARTEFACTS_DIR;
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::vector<uint32_t>& px = port.surface().pixels();
    const QImage shot(reinterpret_cast<const uchar*>(px.data()), 500, 500, QImage::Format_RGB32);
    EXPECT_TRUE(shot.save(folder + "/" + name + ".png")) << name;
  }

  ScopedSession session_;
  DrawPar shared_{};
  VMKimabox box_;
};

TEST_F(OverlayPictures, EachOverlayOverAPicture) {
  WeaveInfo* weave = box_.weaveRecord();
  for (int k = 0; k < 8; ++k)
    for (int m = 0; m < 8; ++m) weave->cells[k][m] = static_cast<uint8_t>((k + m) % 3 == 0);
  Shoot("weave", [&] { box_.SetWeaveInfo(weave, 2, 1, 200, 180, 120, 60, 40, 30); });
  box_.bordRecord()->layers[0].info.last = 1;
  Shoot("border", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1); });
  box_.tessRecord()->sets[0].w[kTessBleed] = 80;
  Shoot("tessellation-1", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0); });
  Shoot("tessellation-2", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0); });
  box_.repRecord()->grid.w[kRepSelColumn] = 1;
  Shoot("repeat", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0); });
  box_.zondracRecord()->w[kZndDistortH] = 40;
  box_.zondracRecord()->w[kZndRotation] = 4;
  Shoot("lens", [&] { box_.SetZondracMode(3); });
  GridInfo& g = box_.gridRecord()->grids[0];
  g.node[kGaOut + kGaX][8] += 6000;
  g.node[kGaOut + kGaY][8] -= 9000;
  g.node[kGaOut + kGaSelected][8] = 1;
  g.node[kGaSelected][8] = 1;
  Shoot("grid", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 3, 0, 0, 0, 0, 0); });
  g.w[kGiCurvature] = 60;
  Shoot("grid-smooth", [&] { box_.SetBufParam(0, 0, 0, 0, 0, 0, 1, 2, 1, 0, 0, 0, 0); });
  Shoot("star", [&] { box_.SetStarMode(1); });
  Shoot("spirograph", [&] { box_.SetSpirMode(1); });
  Shoot("cookie", [&] { box_.SetCookiMode(1); });
}

}  // namespace
}  // namespace vmktest
