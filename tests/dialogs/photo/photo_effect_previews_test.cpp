// The fractal, photo-repeat and border dialogs over a picture with their real
// engines: at 1:1 (a 500 x 500 picture in the 500 x 500 preview) the
// preview is the final render's own pixels; the content library's presets
// in the dialogs; and a picture of each window after its first preview
// (also at 200 %), kept under the build tree for a person to look at.
#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/repeat_dialog.h"
#include "engines/families/effect_families.h"
#include "engines/patterns/border_record.h"
#include "fractal_fixture.h"
#include "script/engine_rows.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kCancel = 102;

void Shoot(tb::WindowRef w, const std::string& name) {
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  QWidget* widget = tb::QtWidgetOf(w);
  EXPECT_TRUE(widget->grab().save(folder + "/" + QString::fromStdString(name) + ".png")) << name;
  QPixmap twice(widget->size() * 2);
  twice.setDevicePixelRatio(2.0);
  twice.fill(Qt::white);
  QPainter painter(&twice);
  widget->render(&painter);
  painter.end();
  EXPECT_TRUE(twice.save(folder + "/" + QString::fromStdString(name) + "@2x.png")) << name;
}

class PhotoEffectPreviews : public vmktest::FractalDialogTest {
 protected:
  void SetUp() override {
    FractalDialogTest::SetUp();
    // The real engines.
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 100, nullptr);
    vmkviews::RegisterPreviewEngines();
    UsePhoto();
  }
  // The effect's engine row as the script runs it over the whole picture:
  // three planes, bottom row first, a full mask and plane 6, and the
  // operation's first parameters as its effect gives them.
  std::vector<uint8_t> FinalRender(int16_t effect, void* record, std::array<int16_t, 3> params = {}) {
    const int32_t w = 500, h = 500;
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> planes(5 * n, 255);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k)
          planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo_.rowPtr(y)[4 * x + k];
    EngineRowCall row;
    row.effect = effect;
    row.record = record;
    row.n = 3;
    row.w = row.aw = w;
    row.h = row.ah = h;
    row.planes[0] = planes.data();
    row.planes[1] = planes.data() + n;
    row.planes[2] = planes.data() + 2 * n;
    row.mask = planes.data() + 3 * n;
    row.plane6 = planes.data() + 4 * n;
    row.p1 = params[0];
    row.p2 = params[1];
    row.p3 = params[2];
    RegisterEffectFamilies();
    const EngineAdapter adapter = FindEngineRow(effect);
    EXPECT_NE(adapter, nullptr);
    if (adapter != nullptr) adapter(row);
    planes.resize(3 * n);
    return planes;
  }
  // The box's display (rows bottom-up) against the render where the view
  // samples the picture's own pixels (it steps at 499 / 500 from the top
  // left, first repeating a pixel at column and row 250); and how many
  // samples the render changed there.
  static std::pair<int, int> Compare(const VMKimabox* box, const std::vector<uint8_t>& render,
                                     const PixelBuffer& photo) {
    const size_t n = 500u * 500u;
    int differ = 0, changed = 0;
    for (size_t row = 250; row < 500; ++row)
      for (size_t x = 0; x < 250; ++x)
        for (int k = 0; k < 3; ++k) {
          const uint8_t r = render[k * n + row * 500 + x];
          differ += box->displayBuffer()[4 * (row * 500 + x) + k] != r;
          changed += r != photo.rowPtr(static_cast<uint32_t>(499 - row))[4 * x + k];
        }
    return {differ, changed};
  }
};

TEST_F(PhotoEffectPreviews, FractalAtOneToOneIsTheFinalRender) {
  VMKorreluneUI dlg;
  FractPar r;
  Init_FractPar(&r, 1, 0);
  r.entries[0].w[kFraOpacity] = 70;
  dlg.SetFractPar(&r);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.fittedWidth, 500);
        EXPECT_EQ(dlg.fittedHeight, 500);
        FractPar record;
        dlg.GetFractPar(&record);
        const std::vector<uint8_t> render = FinalRender(100, &record);
        const auto [differ, changed] = Compare(dlg.Box(0), render, photo_);
        EXPECT_GT(changed, 1000);
        EXPECT_EQ(differ, 0);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The border of two ramp-filled layers, the second's tiles on a coloured
// ramp and recoloured: the preview at 1:1 shows what the final render puts
// there.
TEST_F(PhotoEffectPreviews, BorderAtOneToOneIsTheFinalRender) {
  auto r = std::make_unique<BordPar>();
  Init_BordPar(r.get(), 500, 500, 1, 1, 1, 0);
  r->head.layerCount = 2;
  for (BordTile& t : r->layers[1].tiles) {
    t.image = 3;
    t.hue = 60;
  }
  VMKmirrovanUI dlg;
  dlg.SetBordPar(r.get());
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.displayWidth, 500);
        EXPECT_EQ(dlg.displayHeight, 500);
        auto record = std::make_unique<BordPar>();
        dlg.GetBordPar(record.get());
        const std::vector<uint8_t> render = FinalRender(106, record.get());
        const auto [differ, changed] = Compare(dlg.Box(0), render, photo_);
        EXPECT_GT(changed, 1000);
        EXPECT_EQ(differ, 0);
      })
      .Press(FourCC("Cbor"), 3);
  EXPECT_EQ(dlg.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The library's fractals: each its own formula and constant, listed in the
// strip, three of them shown at once.
TEST_F(PhotoEffectPreviews, TheContentFractalsFillTheStrip) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(makers_.string()));
  VMKorreluneUI dlg;
  FractPar r;
  Init_FractPar(&r, 1, 0);
  dlg.SetFractPar(&r);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        const int32_t count = tb::CountMenuItems(tb::FindControl(w, kOrlf, 26));
        ASSERT_GE(count, 4);
        std::set<int32_t> types;
        std::set<std::pair<int32_t, int32_t>> constants;
        for (int32_t k = 0; k < count; ++k) {
          FractPar f;
          ASSERT_EQ(Do_AFract_file(2, dlg.presetList[k], &f), 0);
          types.insert(f.entries[0].w[kFraType]);
          constants.insert({f.entries[0].w[kFraConstRe + 1], f.entries[0].w[kFraConstIm + 1]});
        }
        EXPECT_GE(types.size(), 4u);
        EXPECT_EQ(constants.size(), static_cast<size_t>(count));
        for (int k = 0; k < 3; ++k) {
          EXPECT_EQ(dlg.shownIndex[k], k);
          EXPECT_FALSE(Text(w, std::vector<int32_t>{10, 8, 6}[static_cast<size_t>(k)]).empty());
          EXPECT_GT(dlg.Box(static_cast<size_t>(2 + k))->previewsShown(), 0);
        }
      })
      .Choose(kOrlf, 26, 2)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { Shoot(w, "OrrFract"); })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A repeat operation's parameters as its effect gives them: the tiles at
// full opacity (255), the pattern once across and once down. (Rendered
// with none, the tiles have no opacity and the render is the picture.)
constexpr std::array<int16_t, 3> kRepeatParams = {255, 1, 1};

// The largest difference of one sample between the box's display and the
// render, over the whole view.
int LargestDifference(const VMKimabox* box, const std::vector<uint8_t>& render) {
  const size_t n = 500u * 500u;
  int largest = 0;
  for (size_t i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k)
      largest = std::max(largest, std::abs(box->displayBuffer()[4 * i + k] - render[k * n + i]));
  return largest;
}

// A tile picture of its own, turned, one cell faded and one off, the grid
// overlay on (drawn over the view, never into its picture): the preview at
// 1:1 is the render. With the picture as its own tile the tile is the
// picture shrunk from the preview's read of it, which repeats a pixel at
// the middle (see Compare): the render's tile, shrunk from the picture
// itself, is one sample off there in places, one level on this gradient.
TEST_F(PhotoEffectPreviews, RepeatAtOneToOneIsTheFinalRender) {
  const std::string tilePath = (makers_ / "Images" / "tile.tif").string();
  std::filesystem::create_directories(makers_ / "Images");
  vmktest::WriteImageFile(tilePath, plat::imageio::kTypeTIFF, vmktest::PatternImage(90, 70, 1));
  for (int32_t source : {1, 0}) {
    auto r = std::make_unique<RepPar>();
    Init_RepPar(r.get(), 1, 4, 4);
    ASSERT_TRUE(SetFicFromPosix(&r->tiles[0], tilePath));
    r->grid.w[kRepTileSource] = source;
    for (int32_t k = 0; k < 16; ++k) r->cells[k].w[kCellOrientation] = k % 7;
    r->cells[1].w[kCellOpacity] = 60;
    r->cells[2].w[kCellOn] = 0;
    VMKcastelUI dlg;
    dlg.SetRepPar(r.get());
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(dlg.gridDisplay, 1);
          auto record = std::make_unique<RepPar>();
          dlg.GetRepPar(record.get());
          const std::vector<uint8_t> render = FinalRender(41, record.get(), kRepeatParams);
          const auto [differ, changed] = Compare(dlg.Box(0), render, photo_);
          EXPECT_GT(changed, 20000) << "source " << source;
          if (source == 1) {
            EXPECT_EQ(differ, 0);
          }
          EXPECT_LE(LargestDifference(dlg.Box(0), render), 1) << "source " << source;
        })
        .Press(FourCC("Prep"), kCancel);
    EXPECT_EQ(dlg.Do_CastelDlg(0), 0);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// The repeat over the picture itself, the library's repeats in its popup,
// and the window's picture after a preset's preview.
TEST_F(PhotoEffectPreviews, RepeatOverThePictureAndTheContentRepeatsAreListed) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(makers_.string()));
  auto r = std::make_unique<RepPar>();
  Init_RepPar(r.get(), 1, 4, 4);
  r->grid.w[kRepTileSource] = 0;
  for (int32_t k = 0; k < 16; ++k) r->cells[k].w[kCellOrientation] = k % 4;
  r->cells[5].w[kCellOpacity] = 60;
  VMKcastelUI dlg;
  dlg.SetRepPar(r.get());
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        const std::vector<std::string> items = vmktest::Items(tb::FindControl(w, FourCC("Prep"), 13));
        EXPECT_EQ(items.size(), 3u);
        EXPECT_GT(dlg.Box(0)->previewsShown(), 0);
      })
      .Choose(FourCC("Prep"), 13, 2)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.grid()[kRepColumnCount], 3);
        EXPECT_GT(dlg.sourcePreviews, 0);
        Shoot(w, "CasRep");
      })
      .Press(FourCC("Prep"), kCancel);
  EXPECT_EQ(dlg.Do_CastelDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
