// The image picker and the combine-images dialog over the generated content
// library, after their first previews, kept under the build tree for a
// person to look at (also at 200 %); never compared.
#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/image_import.h"
#include "dialogs/photo/border_dialog.h"
#include "dialogs/photo/combine_dialog.h"
#include "dialogs/photo/image_picker.h"
#include "dialogs/photo/tessellation_dialog.h"
#include "dialogs/photo/tile_lists.h"
#include "engines/patterns/border_editing.h"
#include "engines/tessellation/tessellation_checks.h"
#include "engines/tessellation/tessellation_record.h"
#include "photo_fixture.h"
#include "support/session.h"

namespace tb = plat::tb;

namespace {

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

class PhotoScreenshots : public vmktest::PhotoDialogTest {};

// The library's categories are the content folders, and one of them holds
// more than a page, so that paging shows: Tiles1, 18 images.
TEST_F(PhotoScreenshots, PickerAndCombineOverTheContentLibrary) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(makers_.string()));
  UsePhoto();
  std::vector<uint8_t> specs(kImaPassBufferSize);
  std::unordered_set<std::string> listed;
  std::vector<ImaListEntry> entries;
  for (const ImaScanPass& pass : ImaScanPasses())
    ImaAppendPass(makers_.string(), pass, specs.data(), kImaPassLimit, &listed, &entries);
  const std::vector<ImaCategory> categories = BuildImaCategories(entries);
  int32_t tiles1 = 0;
  std::set<std::string> names;
  for (size_t k = 0; k < categories.size(); ++k) {
    names.insert(ImaCategoryName(categories[k]));
    if (ImaCategoryName(categories[k]) == "Tiles1") {
      tiles1 = static_cast<int32_t>(k + 1);
      EXPECT_EQ(categories[k].count, 18);
    }
  }
  for (const char* folder : {"Tiles", "Tiles1", "Displace", "Lights", "Sprays", "Images", "Edges", "Bord"})
    EXPECT_EQ(names.count(folder), 1u) << folder;
  ASSERT_GT(tiles1, 0);
  {
    VMKloadima picker;
    driver_.Press(FourCC("Updt"), 1)
        .Choose(FourCC("Lima"), 23, tiles1)
        .Advance(0.5)
        .Do([](tb::WindowRef w) {
          EXPECT_EQ(gVMKloadima->keeper->shownOnPage, 15);
          EXPECT_EQ(tb::GetControl32BitMaximum(tb::FindControl(w, FourCC("Lima"), 22)), 18);
          Shoot(w, "LoadIma");
        })
        .Press(FourCC("Lima"), 2);
    EXPECT_EQ(picker.Do_LoadImaDlg(0), 0);
  }
  {
    // The library's four stored combinations, in name order, each with its
    // own pictures.
    VMKcimaUI dialog;
    // The slots' previews end with a redraw of their views, which the window
    // takes at its next turn.
    driver_.Advance(0.4)
        .Do([](tb::WindowRef) {})
        .Do([](tb::WindowRef w) {
          tb::ControlRef presets = tb::FindControl(w, FourCC("Cima"), 47);
          ASSERT_EQ(tb::CountMenuItems(presets), 4);
          EXPECT_EQ(tb::GetMenuItemText(presets, 1), "Edged vignette");
          EXPECT_EQ(tb::GetMenuItemText(presets, 2), "Four-corner collage");
          const int32_t counts[4] = {2, 4, 2, 2};
          for (int k = 0; k < 4; ++k) {
            auto r = std::make_unique<CombImaPar>();
            ASSERT_EQ(Do_ACombIma_file(2, gVMKcima->presetList[k], r.get()), 0);
            EXPECT_EQ(r->head.count, counts[k]) << k;
            // Named by content folder and name, found in the session's library.
            for (int32_t i = 0; i < r->head.count; ++i) {
              int32_t w = 0, h = 0;
              EXPECT_EQ(AS_GetImageDimension(&r->images[i], &w, &h, nullptr), 0) << k;
            }
          }
          EXPECT_EQ(gVMKcima->shownPreset[2], 2);
          Shoot(w, "CombIma");
        })
        .Press(FourCC("Cima"), 2);
    EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
  }
  {
    // The tile lists over the library's tiles: six image tiles, twelve
    // default ramps.
    std::vector<std::string> tiles;
    for (const auto& e : std::filesystem::directory_iterator(makers_ / "Tiles1"))
      if (e.path().extension() == ".tif") tiles.push_back(e.path().string());
    std::sort(tiles.begin(), tiles.end());
    ASSERT_GE(tiles.size(), 6u);
    auto tess = std::make_unique<TessPar>();
    Init_TessPar(tess.get(), 1, 1, 1);
    tess->head.w[kTessSetsInUse] = 6;
    for (int k = 0; k < 6; ++k) ASSERT_TRUE(SetFicFromPosix(&tess->tiles[k], tiles[static_cast<size_t>(k)]));
    VMKsetima images;
    driver_.Do([](tb::WindowRef w) { Shoot(w, "ImageList"); }).Press(FourCC("Lima"), 2);
    EXPECT_EQ(images.Do_SetImaDlg(tess.get(), nullptr), 0);
    VMKsetvig ramps;
    tess->head.w[kTessSetsInUse] = 12;
    driver_.Do([](tb::WindowRef w) { Shoot(w, "VignList"); }).Press(FourCC("Livi"), 2);
    EXPECT_EQ(ramps.Do_SetVigDlg(tess.get(), nullptr), 0);
  }
  {
    // The tessellation over the photo, type 11, and its source view.
    auto tess = std::make_unique<TessPar>();
    Init_TessPar(tess.get(), 1, 1, 1);
    tess->head.w[kTessSymmetry] = 11;
    VMKquorlinUI dialog;
    dialog.SetTessPar(tess.get());
    driver_.Advance(0.1)
        .Do([](tb::WindowRef) {})
        .Do([](tb::WindowRef w) {
          // The library's three tessellations, each in range, the image
          // fill's tiles found in the session's library.
          tb::ControlRef presets = tb::FindControl(w, FourCC("Qtss"), 7);
          ASSERT_EQ(tb::CountMenuItems(presets), 3);
          EXPECT_EQ(tb::GetMenuItemText(presets, 1), "Brick and marble");
          for (int k = 0; k < 3; ++k) {
            auto r = std::make_unique<TessPar>();
            ASSERT_EQ(Do_ATessPar_file(2, gVMKquorlin->presetList[k], r.get()), 0);
            EXPECT_TRUE(TessParInRange(*r)) << k;
            if (k == 0)
              for (int i = 0; i < 2; ++i) {
                int32_t iw = 0, ih = 0;
                EXPECT_EQ(AS_GetImageDimension(&r->tiles[i], &iw, &ih, nullptr), 0) << i;
              }
          }
          Shoot(w, "QuoTess");
        })
        .Press(FourCC("Qtss"), 6)
        .Advance(0.1)
        .Do([](tb::WindowRef) {})
        .Do([](tb::WindowRef w) { Shoot(w, "OriIma"); })
        .Press(FourCC("Oima"), 2)
        .Press(FourCC("Qtss"), 2);
    EXPECT_EQ(dialog.Do_QuorlinDlg(0), 0);
  }
  {
    // The border over the photo: the library's three borders, each in
    // range with its tile images found, the rope and beads shown.
    auto bord = std::make_unique<BordPar>();
    Init_BordPar(bord.get(), 600, 400, 1, 1, 1, 1);
    VMKmirrovanUI dialog;
    dialog.SetBordPar(bord.get());
    driver_.Advance(0.1)
        .Do([](tb::WindowRef w) {
          tb::ControlRef presets = tb::FindControl(w, FourCC("Cbor"), 9);
          ASSERT_EQ(tb::CountMenuItems(presets), 3);
          EXPECT_EQ(tb::GetMenuItemText(presets, 3), "Rope and beads");
          for (int k = 0; k < 3; ++k) {
            auto r = std::make_unique<BordPar>();
            ASSERT_EQ(Do_ABordPar_file(2, gVMKmirrovan->presetList[k], r.get()), 0);
            EXPECT_TRUE(BordParInRange(*r)) << k;
            int32_t iw = 0, ih = 0;
            if (r->layers[0].info.kind == 1) {
              EXPECT_EQ(AS_GetImageDimension(&r->layers[0].files[0], &iw, &ih, nullptr), 0) << k;
            }
          }
        })
        .Choose(FourCC("Cbor"), 9, 3)
        .Advance(0.6)
        .Do([](tb::WindowRef) {})
        .Do([](tb::WindowRef w) { Shoot(w, "CreaBord"); })
        .Press(FourCC("Cbor"), 3);
    EXPECT_EQ(dialog.Do_MirrovanDlg(0), 0);
    EXPECT_EQ(bord->head.layerCount, 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
