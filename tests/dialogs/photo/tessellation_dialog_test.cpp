// The tessellation dialog on the virtual clock: the tile menu, linked
// copies, the type and reset commands with their modifiers, the bleed
// field, undo, hover previews, presets out of range, OK after typing, the
// image list and the source-picture view nested inside, and effect 58
// through the dispatcher.
#include "dialogs/photo/tessellation_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/photo_rows.h"
#include "dialogs/photo/tile_lists.h"
#include "engines/tessellation/tessellation_checks.h"
#include "photo_fixture.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kQtss = FourCC("Qtss");
constexpr OSType kOima = FourCC("Oima");
constexpr OSType kLima = FourCC("Lima");
constexpr OSType kUpdt = FourCC("Updt");

int32_t Quiet(const vmkviews::PreviewCall&) { return 0; }

std::unique_ptr<TessPar> Fresh() {
  auto r = std::make_unique<TessPar>();
  std::memset(static_cast<void*>(r.get()), 0, sizeof(TessPar));
  Init_TessPar(r.get(), 1, 1, 1);
  return r;
}

std::vector<uint8_t> Bytes(const TessPar& r) {
  std::vector<uint8_t> b(sizeof r);
  std::memcpy(b.data(), &r, sizeof r);
  return b;
}

std::unique_ptr<TessPar> Held(const VMKquorlinUI& d) {
  std::unique_ptr<TessPar> r = Fresh();
  d.GetTessPar(r.get());
  return r;
}

class TessDialogTest : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    // The previews are not what these tests look at.
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, Quiet);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  // A preset "<name>.hpts" in the maker's folder.
  void Preset(const std::string& name, const TessPar& r) {
    TessPar copy = r;
    driver_.ui().AnswerSaveFile((makers_ / (name + ".hpts")).string());
    FSSpec none{};
    ASSERT_EQ(Do_ATessPar_file(1, none, &copy), 0);
  }
};

TEST_F(TessDialogTest, TypeSeventeenListsTwelveTilesAndLinkedHueReachesTwelve) {
  std::unique_ptr<TessPar> r = Fresh();
  r->head.w[kTessSymmetry] = 17;
  r->sets[9].w[kTessEnabled] = 0;
  r->sets[2].w[kTessWarpMode] = 1;
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  driver_.Advance(0.1).Do([](tb::WindowRef w) {
    tb::ControlRef tiles = tb::FindControl(w, kQtss, 33);
    ASSERT_EQ(tb::CountMenuItems(tiles), 12);
    EXPECT_EQ(tb::GetMenuItemText(tiles, 3), "3 - on msk:ext ");
    EXPECT_EQ(tb::GetMenuItemText(tiles, 10), "10- off msk:off ");
  });
  // A two-tile type, link on, tile 2's saturation typed and hue slid:
  // group 3 reaches tiles 1 to 12.
  driver_.Choose(kQtss, 12, 5).Choose(kQtss, 33, 2).Do([&](tb::WindowRef w) {
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kQtss, 33)), 2);
    EXPECT_EQ(d.current()->head.w[kTessCurrentSet], 1);
  });
  driver_.Type(kQtss, 21, "40").Advance(1.1).Slide(kQtss, 17, 90).Advance(0.6).Press(kQtss, 1);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  std::unique_ptr<TessPar> out = Held(d);
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(out->sets[k].w[8], 90) << k;
    EXPECT_EQ(out->sets[k].w[9], 40) << k;
  }
  EXPECT_EQ(out->sets[12].w[8], 0);
  EXPECT_EQ(out->head.w[kTessSetsInUse], 2);
}

TEST_F(TessDialogTest, TypeResetsWithOptionAndResetKeepsTheType) {
  std::unique_ptr<TessPar> r = Fresh();
  r->sets[0].w[kTessSourceX] = 123;
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  driver_.Choose(kQtss, 12, 7).Do([&](tb::WindowRef) {
    // Without a modifier the quads stay.
    EXPECT_EQ(d.current()->sets[0].w[kTessSourceX], 123);
    EXPECT_EQ(d.current()->head.w[kTessSetsInUse], 8);
  });
  driver_.Do([this](tb::WindowRef) { driver_.ui().SetModifiers(optionKey); }).Choose(kQtss, 12, 9);
  driver_.Do([&](tb::WindowRef) {
    driver_.ui().SetModifiers(0);
    TessPar expected = *d.current();
    Init_TessParQuad(&expected, 9, -1);
    for (int k = 0; k < kTessSets; ++k)
      for (int i = kTessSourceX; i < kTessSourceX + 8; ++i)
        EXPECT_EQ(d.current()->sets[k].w[i], expected.sets[k].w[i]) << k;
    EXPECT_NE(d.current()->sets[0].w[kTessSourceX], 123);
    d.current()->sets[3].w[8] = 50;
  });
  driver_.Press(kQtss, 5).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.current()->head.w[kTessSymmetry], 9);
    EXPECT_EQ(d.current()->sets[3].w[8], 0);
  });
  driver_.Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The bleed field sets the horizontal bleed alone, held to 300; OK right
// after typing keeps what was typed.
TEST_F(TessDialogTest, TypedBleedIsClampedAndHorizontalOnlyAndOkKeepsTheTyping) {
  VMKquorlinUI d;
  std::unique_ptr<TessPar> r = Fresh();
  d.SetTessPar(r.get());
  driver_.Advance(0.1).Type(kQtss, 40, "500").Type(kQtss, 18, "-77").Press(kQtss, 1);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  std::unique_ptr<TessPar> out = Held(d);
  EXPECT_EQ(out->sets[0].w[13], 300);
  EXPECT_EQ(out->sets[0].w[14], 100);
  EXPECT_EQ(out->sets[0].w[8], -77);
}

// Cmd-Z after a slider move: the record from before the move, the first
// tile current, and the fields no longer carry the undone value.
TEST_F(TessDialogTest, UndoAfterASliderMoveRestoresTheRecordAndTheFirstTile) {
  std::unique_ptr<TessPar> r = Fresh();
  r->head.w[kTessCurrentSet] = 2;
  r->head.w[8] = 0;
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  std::vector<uint8_t> before;
  driver_.Advance(0.6).Choose(kQtss, 33, 3).Advance(0.6).Do([&](tb::WindowRef) { before = Bytes(*Held(d)); });
  driver_.Slide(kQtss, 23, 60).Advance(0.6).Key('z', cmdKey).Advance(0.6).Advance(0.6);
  driver_.Do([&](tb::WindowRef w) {
    std::unique_ptr<TessPar> now = Held(d);
    EXPECT_EQ(now->head.w[kTessCurrentSet], 0);
    now->head.w[kTessCurrentSet] = 2;
    EXPECT_EQ(Bytes(*now), before);
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kQtss, 24)), "0");
  });
  driver_.Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Hovering previews each preset and closing restores the record; presets
// whose type or tile count is out of range are refused when chosen.
TEST_F(TessDialogTest, HoverRestoresAndPresetsOutOfRangeAreRefused) {
  std::unique_ptr<TessPar> p = Fresh();
  p->head.w[kTessSymmetry] = 11;
  p->head.w[kTessSetsInUse] = 8;
  Preset("a", *p);
  p->head.w[kTessSymmetry] = 40;
  Preset("b", *p);
  p->head.w[kTessSymmetry] = 5;
  p->head.w[kTessSetsInUse] = 99;
  Preset("c", *p);
  std::unique_ptr<TessPar> r = Fresh();
  r->sets[1].w[8] = 33;
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  std::vector<uint8_t> before;
  driver_.Advance(0.1).Do([&](tb::WindowRef) { before = Bytes(*Held(d)); });
  driver_.Hover(kQtss, 7, {1, 2, 3}).Do([&](tb::WindowRef) { EXPECT_EQ(Bytes(*Held(d)), before); });
  driver_.Choose(kQtss, 7, 2).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->head.w[kTessSymmetry], 1); });
  driver_.Choose(kQtss, 7, 3).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.current()->head.w[kTessSetsInUse], 4);
    EXPECT_EQ(d.current()->sets[1].w[8], 33);
  });
  driver_.Choose(kQtss, 7, 1).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->head.w[kTessSymmetry], 11); });
  driver_.Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// An owner's record out of range is held to its ranges; undo straight after
// opening gives that record back.
TEST_F(TessDialogTest, AnOwnersRecordIsClampedAndUndoAtOnceKeepsIt) {
  std::unique_ptr<TessPar> r = Fresh();
  r->head.w[kTessSymmetry] = 40;
  r->head.w[kTessSetsInUse] = 99;
  r->head.w[kTessCurrentSet] = 30;
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  std::unique_ptr<TessPar> held = Held(d);
  EXPECT_EQ(held->head.w[kTessSymmetry], 17);
  EXPECT_EQ(held->head.w[kTessSetsInUse], 12);
  EXPECT_EQ(held->head.w[kTessCurrentSet], 11);
  EXPECT_TRUE(TessParInRange(*held));
  driver_.Key('z', cmdKey).Advance(0.6).Press(kQtss, 1);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 1);
  std::unique_ptr<TessPar> out = Held(d);
  held->head.w[kTessCurrentSet] = 0;
  EXPECT_EQ(Bytes(*out), Bytes(*held));
}

// The image list's OK switches the fill to image files; the source-picture
// view's edits reach the owner's record within one owner tick, and its
// cancel leaves the record as it was.
TEST_F(TessDialogTest, SubDialogsHandBackOnOkOnly) {
  Image("Tiles/one.tif", 20, 20);
  std::unique_ptr<TessPar> r = Fresh();
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  driver_.Advance(0.1).Press(kQtss, 8).Press(kLima, 30).Press(kUpdt, 1).Choose(kLima, 24, 1).Press(kLima, 1);
  driver_.Press(kLima, 1).Do([&](tb::WindowRef) {
    EXPECT_EQ(gVMKsetima, nullptr);
    EXPECT_EQ(d.current()->head.w[kTessTileSource], 2);
    EXPECT_EQ(PStrString(d.current()->tiles[0].name), "one.tif");
  });
  std::vector<uint8_t> before;
  driver_.Advance(0.6).Do([&](tb::WindowRef) { before = Bytes(*Held(d)); });
  driver_.Press(kQtss, 6)
      .Slide(kOima, 6, 250)
      .Advance(0.5)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        ASSERT_NE(d.oriView, nullptr);
        EXPECT_EQ(d.oriView->current()->sets[0].w[13], 250);
        EXPECT_EQ(d.oriView->pending, 0);
        EXPECT_EQ(d.current()->sets[0].w[13], 250);
        EXPECT_EQ(d.current()->sets[0].w[14], 250);
      })
      .Press(kOima, 2)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(d.oriView, nullptr);
        EXPECT_EQ(Bytes(*Held(d)), before);
      })
      .Press(kQtss, 6)
      .Type(kOima, 7, "77")
      .Press(kOima, 1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->sets[0].w[13], 77); })
      .Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- effect 58 through the dispatcher ----

// The picture well shows the symmetry type's picture, for all seventeen;
// a type out of range empties it.
TEST_F(TessDialogTest, ThePictureWellShowsEachSymmetryType) {
  VMKquorlinUI d;
  std::unique_ptr<TessPar> r = Fresh();
  d.SetTessPar(r.get());
  driver_.Advance(0.1).Do([](tb::WindowRef w) {
    tb::ControlRef well = tb::FindControl(w, kQtss, 44);
    for (int32_t type = 1; type <= 17; ++type) EXPECT_TRUE(ShowSymmetryPicture(well, type)) << type;
    EXPECT_FALSE(ShowSymmetryPicture(well, 0));
    EXPECT_FALSE(ShowSymmetryPicture(well, 18));
  });
  driver_.Choose(kQtss, 12, 14).Do([](tb::WindowRef w) {
    // The well after the type's redraw: type 14's picture, not white.
    const QImage shot = tb::QtWidgetOf(w)->grab().toImage();
    const Rect b = tb::GetControlBounds(tb::FindControl(w, kQtss, 44));
    const QColor centre = shot.pixelColor((b.left + b.right) / 2 + 3, (b.top + b.bottom) / 2);
    EXPECT_NE(centre, QColor(Qt::white));
  });
  driver_.Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

class TessellationRowTest : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPhotoRows(EffectDialogRegistry());
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, Quiet);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 58, nullptr);
    vmkviews::RegisterPreviewEngines();
    DispatchTest::TearDown();
  }
};

TEST_F(TessellationRowTest, CancelLeavesTheOperationAndOkStoresTheRecord) {
  Plant(1, 58);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 1);
  driver_.Choose(kQtss, 12, 13).Press(kQtss, 2);
  EXPECT_EQ(editor.Perform_Effect(58, 0), 0);
  EXPECT_EQ(ScriptBytes(), before);
  driver_.Choose(kQtss, 12, 13).Press(kQtss, 1);
  EXPECT_EQ(editor.Perform_Effect(58, 1), 1);
  EXPECT_TRUE(driver_.errors().empty());
  auto stored = std::make_unique<TessPar>();
  script()->GetTessPar(0, 1, 1, stored.get());
  EXPECT_EQ(stored->head.w[kTessSymmetry], 13);
  EXPECT_EQ(stored->head.w[kTessSetsInUse], 3);
}

}  // namespace

namespace {

// The first sample of a box's picture is v in its three colours (a solid picture resampled).
bool Shows(const VMKimabox* box, int32_t v) {
  const uint8_t* p = box->displayBuffer();
  if (p == nullptr) return false;
  for (int k = 0; k < 3; ++k)
    if (std::abs(p[k] - v) > 2) return false;
  return true;
}

// The tile picture's image file is read on the preview worker, never by the
// redraw: with the worker held a redraw reads nothing, and a file taken away
// before the worker runs is not shown. The picture made is kept: the same
// tile again reads nothing.
TEST_F(TessDialogTest, TheTilePictureIsReadOnThePreviewWorker) {
  vmktest::TempDir dir;
  const std::string first = dir.file("first.png"), second = dir.file("second.png");
  const auto solid = [](const std::string& path, uint8_t v) {
    vmktest::WriteImageFile(path, plat::imageio::kTypePNG, vmktest::SolidImage(40, 40, v, v, v));
  };
  solid(first, 120);
  std::unique_ptr<TessPar> r = Fresh();
  r->head.w[kTessTileSource] = 2;
  r->head.w[kTessCurrentSet] = 0;
  ASSERT_TRUE(SetFicFromPosix(&r->tiles[0], first));
  VMKquorlinUI d;
  d.SetTessPar(r.get());
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    VMKimabox* view = d.Box(1);
    tb::ControlRef name = tb::FindControl(w, kQtss, 14);
    EXPECT_TRUE(Shows(view, 120));
    EXPECT_TRUE(tb::IsControlVisible(name));
    const int32_t made = d.tileView.picturesMade;
    d.previews().Hold(true);
    std::filesystem::remove(first);
    d.DrawWindowContent(w);
    d.previews().RunHeld();
    EXPECT_EQ(d.tileView.picturesMade, made);  // kept: nothing read
    EXPECT_TRUE(Shows(view, 120));
    solid(second, 60);
    ASSERT_TRUE(SetFicFromPosix(&d.current()->tiles[0], second));
    d.DrawWindowContent(w);
    EXPECT_TRUE(Shows(view, 120));
    std::filesystem::remove(second);
    d.previews().RunHeld();
    EXPECT_FALSE(Shows(view, 60));
    // Nothing stands in for it under the file's name: the file back, it is read.
    solid(second, 60);
    d.DrawWindowContent(w);
    d.previews().RunHeld();
    EXPECT_EQ(d.tileView.picturesMade, made + 1);
    EXPECT_TRUE(Shows(view, 60));
    EXPECT_TRUE(tb::IsControlVisible(name));
    d.previews().Hold(false);
  });
  driver_.Press(kQtss, 2);
  EXPECT_EQ(d.Do_QuorlinDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
