// The photo-border dialog on the virtual clock: the layer list, the apply
// modes with Option's cross-links, the slider limits and the typed clamps,
// undo after a whole-layer change, the settings carried from one run to
// the next, files out of range, the image list nested inside, and effect
// 106 through the dispatcher.
#include "dialogs/photo/border_dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/photo_rows.h"
#include "engines/patterns/border_editing.h"
#include "photo_fixture.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kCbor = FourCC("Cbor");
constexpr int32_t kOk = 1, kCancel = 3, kAdd = 7, kImages = 8;

int32_t Quiet(const vmkviews::PreviewCall&) { return 0; }

// What the last render read: the head and the layers in use of its record.
BordPar* gRendered = nullptr;
int32_t Capture(const vmkviews::PreviewCall& call) {
  const auto* record = call.recordAs<BordPar>();
  if (record == nullptr || gRendered == nullptr) return -1;
  CopyBordParInUse(record, gRendered);
  return 0;
}

std::unique_ptr<BordPar> Fresh() {
  auto r = std::make_unique<BordPar>();
  Init_BordPar(r.get(), 600, 400, 1, 1, 1, 1);
  return r;
}

std::unique_ptr<BordPar> Held(const VMKmirrovanUI& d) {
  auto r = std::make_unique<BordPar>();
  d.GetBordPar(r.get());
  return r;
}

// The head, and in the first `layers` layers the layer head and every tile.
bool SameBorder(const BordPar& a, const BordPar& b, int32_t layers) {
  if (std::memcmp(&a.head, &b.head, sizeof a.head) != 0) return false;
  for (int32_t i = 0; i < layers; ++i) {
    if (std::memcmp(&a.layers[i].info, &b.layers[i].info, sizeof(BordInfo)) != 0) return false;
    if (std::memcmp(a.layers[i].tiles, b.layers[i].tiles, sizeof a.layers[i].tiles) != 0) return false;
  }
  return true;
}

// Every layer, with its files and ramps.
bool SameWholeBorder(const BordPar& a, const BordPar& b) {
  if (!SameBorder(a, b, kBordLayers)) return false;
  for (int32_t i = 0; i < kBordLayers; ++i) {
    if (std::memcmp(a.layers[i].ramps, b.layers[i].ramps, sizeof a.layers[i].ramps) != 0) return false;
    for (int32_t f = 0; f < kBordFiles; ++f)
      if (FicToPosix(a.layers[i].files[f]) != FicToPosix(b.layers[i].files[f])) return false;
  }
  return true;
}

// The first sample of a box's picture is v in its three colours (a solid picture resampled).
bool Shows(const VMKimabox* box, int32_t v) {
  const uint8_t* p = box->displayBuffer();
  if (p == nullptr) return false;
  for (int k = 0; k < 3; ++k)
    if (std::abs(p[k] - v) > 2) return false;
  return true;
}

void SolidFile(const std::string& path, uint8_t v) {
  vmktest::WriteImageFile(path, plat::imageio::kTypePNG, vmktest::SolidImage(40, 40, v, v, v));
}

int32_t TilesWithHue(const BordLay& layer, int32_t hue) {
  int32_t n = 0;
  for (const BordTile& t : layer.tiles) n += t.hue == hue ? 1 : 0;
  return n;
}

class BordDialogTest : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    // The previews are not what these tests look at.
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, Quiet);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  // A preset "<name>.hbor" in the maker's folder.
  void Preset(const std::string& name, BordPar* r) {
    driver_.ui().AnswerSaveFile((makers_ / (name + ".hbor")).string());
    FSSpec none{};
    ASSERT_EQ(Do_ABordPar_file(1, none, r), 0);
  }
};

TEST_F(BordDialogTest, AddStopsAtOneHundredTwentySevenAndDeleteShowsWithTwoLayers) {
  std::unique_ptr<BordPar> r = Fresh();
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.1).Do([](tb::WindowRef w) {
    EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCbor, 64)));
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kCbor, 62)), 1);
  });
  driver_.Press(kCbor, kAdd).Do([&](tb::WindowRef w) {
    EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCbor, 64)));
    ASSERT_EQ(tb::CountMenuItems(tb::FindControl(w, kCbor, 62)), 2);
    EXPECT_EQ(tb::GetMenuItemText(tb::FindControl(w, kCbor, 62), 2), "Layer 2");
    d.current()->head.layerCount = 127;
  });
  driver_.Press(kCbor, kAdd).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->head.layerCount, 127); });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Mode 2 (the default) reaches all 260 tiles; mode 0 the current tile only.
TEST_F(BordDialogTest, HueByApplyModeReachesTheLayerOrOneTile) {
  std::unique_ptr<BordPar> r = Fresh();
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Slide(kCbor, 17, 40).Do([&](tb::WindowRef) {
    EXPECT_EQ(TilesWithHue(d.Layer(), 40), kBordTiles);
  });
  // Whole layer off, side off: mode 0, side 2's tile 3.
  driver_.Press(kCbor, 67).Choose(kCbor, 13, 3).Choose(kCbor, 27, 3).Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.applyMode, 0);
    EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCbor, 34)));
  });
  driver_.Type(kCbor, 18, "-90").Advance(1.1).Press(kCbor, kOk);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  std::unique_ptr<BordPar> out = Held(d);
  EXPECT_EQ(TilesWithHue(out->layers[0], -90), 1);
  EXPECT_EQ(out->layers[0].tiles[4 + 64 * 2 + 2].hue, -90);
  EXPECT_EQ(TilesWithHue(out->layers[0], 40), kBordTiles - 1);
}

// In the corners kind, mode 2 and Option: the width also sets sides 0 and 2.
TEST_F(BordDialogTest, CornerWidthWithOptionAlsoSetsSidesZeroAndTwo) {
  std::unique_ptr<BordPar> r = Fresh();
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Choose(kCbor, 2, 2).Do([&](tb::WindowRef w) {
    EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCbor, 13)));
    EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCbor, 39)));
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCbor, 26)), "Mirror:");
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kCbor, 27)), 3);
    driver_.ui().SetModifiers(optionKey);
  });
  driver_.Slide(kCbor, 37, 12).Do([&](tb::WindowRef) {
    driver_.ui().SetModifiers(0);
    const BordInfo& i = d.Layer().info;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(i.cornerWidth[k], 12) << k;
    EXPECT_EQ(i.thickness[0], 12);
    EXPECT_EQ(i.thickness[2], 12);
    EXPECT_EQ(i.thickness[1], 20);
    EXPECT_EQ(i.thickness[3], 20);
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A typed width is held to 0..the side's maximum, which is never below 0;
// a typed size of 500 is 360 in both size fields; OK reads what was typed.
TEST_F(BordDialogTest, TypedValuesAreHeldToTheirLimits) {
  std::unique_ptr<BordPar> r = Fresh();
  BordInfo& i = r->layers[0].info;
  // Side 0's maximum: 100 - width[2] - blend[0] - blend[2] = 100 - 30 - 10 - 5.
  i.thickness[2] = 30;
  i.inset[0] = 10;
  i.inset[2] = 5;
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Press(kCbor, 67).Type(kCbor, 38, "90").Type(kCbor, 73, "500").Advance(1.1);
  driver_.Do([&](tb::WindowRef w) {
    EXPECT_EQ(d.sliderLimits[VMKmirrovanUI::kWidthMax][0], 55);
    EXPECT_EQ(tb::GetControl32BitMaximum(tb::FindControl(w, kCbor, 37)), 55);
    EXPECT_EQ(d.Layer().info.thickness[0], 55);
    EXPECT_EQ(d.Tile().scale, 360);
    EXPECT_EQ(d.Tile().value, 360);
  });
  driver_.Type(kCbor, 38, "-8").Advance(1.1).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.Layer().info.thickness[0], 0);
    // Neighbours wider than the picture: the maximum is 0, not below.
    d.current()->layers[0].info.thickness[2] = 99;
  });
  driver_.Type(kCbor, 38, "30").Press(kCbor, kOk);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(d.sliderLimits[VMKmirrovanUI::kWidthMax][0], 0);
  EXPECT_EQ(Held(d)->layers[0].info.thickness[0], 0);
}

// A width typed over the whole layer that leaves no room beside the
// opposite side's new width: 60 on all four sides holds each side to 40.
// The preview after the tick shows the record OK keeps, not the 60 typed
// (the preview drew sides half as thick again as those OK wrote); a
// blend typed the same way is held likewise.
TEST_F(BordDialogTest, AWholeLayerWidthIsHeldBeforeThePreviewShowsIt) {
  std::unique_ptr<BordPar> r = Fresh();
  auto rendered = std::make_unique<BordPar>();
  gRendered = rendered.get();
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, Capture);
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Type(kCbor, 38, "60").Advance(1.1).Do([&](tb::WindowRef w) {
    d.previews().RunHeld();
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(rendered->layers[0].info.thickness[k], 40) << k;
      EXPECT_EQ(d.Layer().info.thickness[k], 40) << k;
    }
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCbor, 38)), "40");
  });
  driver_.Type(kCbor, 70, "70").Advance(1.1).Do([&](tb::WindowRef) {
    d.previews().RunHeld();
    // Blend maximum 100 - 70 = 30 once all four are 70; the width then at
    // most 100 - 40 - 30 - 30 = 0.
    for (int k = 0; k < 4; ++k) {
      EXPECT_EQ(rendered->layers[0].info.inset[k], 30) << k;
      EXPECT_EQ(rendered->layers[0].info.thickness[k], 0) << k;
    }
  });
  driver_.Press(kCbor, kOk);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  EXPECT_TRUE(SameBorder(*Held(d), *rendered, 1));
  gRendered = nullptr;
  EXPECT_TRUE(driver_.errors().empty());
}

// Cmd-Z after a whole-layer width change gives all four widths back; OK
// with flag 1 keeps the settings the next run with flag 0 starts from.
TEST_F(BordDialogTest, UndoAfterAWidthRestoresAllFourAndTheSettingsCarryOver) {
  std::unique_ptr<BordPar> r = Fresh();
  {
    VMKmirrovanUI d;
    d.SetBordPar(r.get());
    driver_.Advance(0.6).Slide(kCbor, 37, 33).Do([&](tb::WindowRef) {
      for (int k = 0; k < 4; ++k) EXPECT_EQ(d.Layer().info.thickness[k], 33) << k;
    });
    driver_.Key('z', cmdKey).Advance(1.1).Do([&](tb::WindowRef w) {
      EXPECT_TRUE(SameBorder(*Held(d), *r, 1));
      EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCbor, 38)), "20");
    });
    driver_.Slide(kCbor, 20, 25).Advance(1.1).Press(kCbor, kOk);
    EXPECT_EQ(d.Do_MirrovanDlg(1), 1);
    EXPECT_EQ(d.previewSource, 2);
  }
  VMKmirrovanUI next;
  driver_.Advance(0.6).Do([&](tb::WindowRef) { EXPECT_EQ(TilesWithHue(next.Layer(), 0), kBordTiles); });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(next.Do_MirrovanDlg(0), 0);
  EXPECT_EQ(next.previewSource, 3);
  EXPECT_EQ(next.current()->layers[0].tiles[7].saturation, 25);
  EXPECT_TRUE(driver_.errors().empty());
}

// A confirmed run keeps its settings for the next in the maker's folder,
// beside the presets and of their type: the next run's popup lists the
// presets alone.
TEST_F(BordDialogTest, TheLastSettingsAreNoPresetOfTheNextRun) {
  std::unique_ptr<BordPar> p = Fresh();
  Preset("a", p.get());
  Preset("b", p.get());
  const auto items = [](tb::WindowRef w) {
    std::vector<std::string> out;
    tb::ControlRef popup = tb::FindControl(w, kCbor, 9);
    for (int32_t i = 1; i <= tb::CountMenuItems(popup); ++i) out.push_back(tb::GetMenuItemText(popup, i));
    return out;
  };
  const std::vector<std::string> presets = {"a", "b"};
  {
    VMKmirrovanUI d;
    d.SetBordPar(p.get());
    driver_.Advance(0.6).Do([&](tb::WindowRef w) { EXPECT_EQ(items(w), presets); });
    driver_.Press(kCbor, kOk);
    EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  }
  ASSERT_TRUE(std::filesystem::exists(makers_ / "tmpvmkpbo.hbr"));
  VMKmirrovanUI next;
  driver_.Advance(0.6).Do([&](tb::WindowRef w) { EXPECT_EQ(items(w), presets); });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(next.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Files whose side index or side tile is out of range are refused whole;
// an owner's record out of range is held to the ranges.
TEST_F(BordDialogTest, FilesOutOfRangeAreRefusedAndOwnersRecordsClamped) {
  std::unique_ptr<BordPar> p = Fresh();
  p->layers[0].tiles[5].hue = 77;
  Preset("a", p.get());
  BordCurrentIndex(p->layers[0].info) = 9;
  Preset("b", p.get());
  BordCurrentIndex(p->layers[0].info) = 1;
  BordCurrentSideTile(p->layers[0].info) = 300;
  Preset("c", p.get());
  std::unique_ptr<BordPar> r = Fresh();
  r->layers[0].tiles[0].image = 40;
  r->head.current = 5;
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  EXPECT_EQ(d.current()->layers[0].tiles[0].image, 15);
  EXPECT_EQ(d.current()->head.current, 0);
  EXPECT_TRUE(BordParInRange(*d.current()));
  std::unique_ptr<BordPar> before;
  driver_.Advance(0.6).Do([&](tb::WindowRef) { before = Held(d); });
  driver_.Choose(kCbor, 9, 2).Choose(kCbor, 9, 3).Do([&](tb::WindowRef) {
    EXPECT_TRUE(SameBorder(*Held(d), *before, 1));
  });
  driver_.Choose(kCbor, 9, 1).Do([&](tb::WindowRef) { EXPECT_EQ(d.current()->layers[0].tiles[5].hue, 77); });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The image list works on a scratch copy: cancel changes nothing, OK takes
// the layer's files back and sets the fill to images.
TEST_F(BordDialogTest, TheImageListHandsBackOnOkOnly) {
  std::unique_ptr<BordPar> r = Fresh();
  BordFill(r->layers[0].info) = 0;
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Press(kCbor, kImages).Press(FourCC("Lima"), 2).Do([&](tb::WindowRef) {
    EXPECT_EQ(BordFill(d.Layer().info), 0);
  });
  driver_.Press(kCbor, kImages).Press(FourCC("Lima"), 1).Do([&](tb::WindowRef w) {
    EXPECT_EQ(BordFill(d.Layer().info), 1);
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCbor, 41)), 1);
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCbor, 54)), "Image:");
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Four windows deep (border, ramp list, ramp editor, ramp browser): the
// border's timer fires inside and previews the hue slid before; cancelling
// each leaves the border's ramps and fill as they were.
TEST_F(BordDialogTest, NestedListEditorAndBrowserKeepTheBorderTicking) {
  constexpr OSType kLivi = FourCC("Livi"), kAvig = FourCC("Avig"), kLvig = FourCC("Lvig");
  std::unique_ptr<BordPar> r = Fresh();
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Slide(kCbor, 17, 30).Do([&](tb::WindowRef) { EXPECT_EQ(d.refreshFlag, 1); });
  driver_.Press(kCbor, 10).Press(kLivi, 3).Press(kAvig, 8).Advance(1.1).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.refreshFlag, 0);
  });
  driver_.Press(kLvig, 2).Press(kAvig, 2).Press(kLivi, 2).Do([&](tb::WindowRef) {
    EXPECT_EQ(BordFill(d.Layer().info), 1);
    EXPECT_EQ(std::memcmp(&d.Layer().ramps[0], &r->layers[0].ramps[0], sizeof(LutVign)), 0);
    EXPECT_EQ(TilesWithHue(d.Layer(), 30), kBordTiles);
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A value typed just before a list opens is read first, so the list's OK
// (which brings back the record as it was when the list opened) keeps it.
TEST_F(BordDialogTest, ATypedValueSurvivesTheImageListsOk) {
  std::unique_ptr<BordPar> r = Fresh();
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Type(kCbor, 21, "-45").Press(kCbor, kImages).Press(FourCC("Lima"), 1).Press(kCbor, kOk);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  std::unique_ptr<BordPar> out = Held(d);
  EXPECT_EQ(out->layers[0].tiles[100].saturation, -45);
}

class BorderRowTest : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPhotoRows(EffectDialogRegistry());
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, Quiet);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, nullptr);
    vmkviews::RegisterPreviewEngines();
    DispatchTest::TearDown();
  }
};

TEST_F(BorderRowTest, CancelLeavesTheOperationAndOkStoresTheRecord) {
  Plant(1, 106);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 1);
  driver_.Press(kCbor, kAdd).Press(kCbor, kCancel);
  EXPECT_EQ(editor.Perform_Effect(106, 0), 0);
  EXPECT_EQ(ScriptBytes(), before);
  driver_.Press(kCbor, kAdd).Press(kCbor, kOk);
  EXPECT_EQ(editor.Perform_Effect(106, 1), 1);
  EXPECT_TRUE(driver_.errors().empty());
  auto stored = std::make_unique<BordPar>();
  script()->GetBordPar(0, 1, 1, stored.get());
  EXPECT_EQ(stored->head.layerCount, 2);
}

// A preview renders the record as it was when asked: an edit made while the
// job waits for the worker, in the dialog's record or in the box's own copy,
// does not reach it; and the next ask, with only one layer changed, hands
// the box the whole new record.
TEST_F(BordDialogTest, APreviewRendersTheRecordAsItWasAsked) {
  std::unique_ptr<BordPar> r = Fresh();
  r->head.layerCount = 2;
  for (BordTile& t : r->layers[1].tiles) t.saturation = 30;
  auto rendered = std::make_unique<BordPar>();
  gRendered = rendered.get();
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 106, Capture);
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.6).Do([&](tb::WindowRef w) {
    VMKimabox* box = d.Box(0);
    d.previews().Hold(true);
    d.ModifAllVal(w, 2, FourCC("Shue"), 40);
    box->SetBordPar(d.current(), d.previewDisplay, d.previewSource, nullptr);
    const std::unique_ptr<BordPar> asked = Held(d);
    // Written straight into the records: a dialog's edit would also stale the job.
    for (BordTile& t : d.current()->layers[0].tiles) t.hue = 80;
    box->bordRecord()->layers[0].tiles[9].hue = 120;
    box->bordRecord()->layers[1].info.shown = 0;
    box->bordRecord()->head.layerCount = 5;
    EXPECT_GE(d.previews().RunHeld(), 1);
    EXPECT_TRUE(SameBorder(*rendered, *asked, 2));
    EXPECT_EQ(TilesWithHue(rendered->layers[0], 40), kBordTiles);
    // The next ask: the box's copy is the dialog's record again, whole.
    d.current()->layers[3].tiles[2].hue = 7;  // beyond the count
    box->SetBordPar(d.current(), d.previewDisplay, d.previewSource, nullptr);
    d.previews().RunHeld();
    EXPECT_TRUE(SameWholeBorder(*box->bordRecord(), *Held(d)));
    EXPECT_TRUE(SameBorder(*rendered, *Held(d), 2));
    EXPECT_EQ(TilesWithHue(rendered->layers[0], 80), kBordTiles);
    d.previews().Hold(false);
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  gRendered = nullptr;
  EXPECT_TRUE(driver_.errors().empty());
}

// Undo gives back the whole record as it was before the action, layers
// beyond the count included: after a hue step (one layer changed) and
// after a delete (every layer from the deleted one on rewritten).
TEST_F(BordDialogTest, UndoRestoresTheWholeRecordExactly) {
  std::unique_ptr<BordPar> r = Fresh();
  r->head.layerCount = 3;
  r->head.current = 1;
  for (int32_t l = 0; l < 6; ++l)
    for (BordTile& t : r->layers[l].tiles) t.lightness = 10 * l + 5;
  r->layers[4].ramps[2].colour[1][17] = 99;  // beyond the count
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  std::unique_ptr<BordPar> before;
  driver_.Advance(0.6).Slide(kCbor, 17, 40).Advance(1.1).Do([&](tb::WindowRef) { before = Held(d); });
  driver_.Slide(kCbor, 17, 70).Advance(1.1).Do([&](tb::WindowRef) {
    EXPECT_EQ(TilesWithHue(d.current()->layers[1], 70), kBordTiles);
  });
  driver_.Key('z', cmdKey).Advance(1.1).Do([&](tb::WindowRef) {
    EXPECT_TRUE(SameWholeBorder(*Held(d), *before));
  });
  driver_.Press(kCbor, 64).Do([&](tb::WindowRef) {
    EXPECT_EQ(d.current()->head.layerCount, 2);
    EXPECT_NE(d.current()->layers[4].ramps[2].colour[1][17], 99);
  });
  driver_.Key('z', cmdKey).Advance(1.1).Do([&](tb::WindowRef) {
    EXPECT_TRUE(SameWholeBorder(*Held(d), *before));
    EXPECT_EQ(d.current()->layers[4].ramps[2].colour[1][17], 99);
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

// The tile view's image is read on the preview worker, never by the redraw:
// with the worker held, a redraw reads nothing, and a file taken away before
// the worker runs leaves the view as it was. The picture made is kept, so a
// redraw of the same tile reads nothing at all.
TEST_F(BordDialogTest, TheTileViewImageIsReadOnThePreviewWorker) {
  vmktest::TempDir dir;
  const std::string first = dir.file("first.png"), second = dir.file("second.png");
  SolidFile(first, 90);
  std::unique_ptr<BordPar> r = Fresh();
  ASSERT_TRUE(SetFicFromPosix(&r->layers[0].files[0], first));
  ASSERT_TRUE(SetFicFromPosix(&r->layers[0].files[1], second));
  for (BordTile& t : r->layers[0].tiles) t.image = 0;
  LutVign& red = r->layers[0].ramps[0];
  for (int32_t i = 0; i < 256; ++i) {
    red.opacity[i] = red.colour[0][i] = 255;
    red.colour[1][i] = red.colour[2][i] = 0;
  }
  VMKmirrovanUI d;
  d.SetBordPar(r.get());
  driver_.Advance(0.1).Do([&](tb::WindowRef w) {
    VMKimabox* view = d.Box(1);
    EXPECT_TRUE(Shows(view, 90));  // the worker runs in line on the virtual clock
    const int32_t made = d.tileView.picturesMade, shown = d.tileView.picturesShown;
    EXPECT_GE(made, 1);
    d.previews().Hold(true);
    // The same tile again: the kept picture, nothing read.
    std::filesystem::remove(first);
    d.DrawWindowContent(w);
    EXPECT_EQ(d.tileView.picturesShown, shown);
    d.previews().RunHeld();
    EXPECT_EQ(d.tileView.picturesMade, made);
    EXPECT_EQ(d.tileView.picturesShown, shown + 1);
    EXPECT_TRUE(Shows(view, 90));
    // Another image: asked for by the redraw, read when the worker runs.
    SolidFile(second, 200);
    d.Tile().image = 1;
    d.DrawWindowContent(w);
    std::filesystem::remove(second);
    d.previews().RunHeld();
    EXPECT_EQ(d.tileView.picturesMade, made);
    EXPECT_TRUE(Shows(view, 90));
    SolidFile(second, 200);
    d.DrawWindowContent(w);
    EXPECT_TRUE(Shows(view, 90));
    d.previews().RunHeld();
    EXPECT_EQ(d.tileView.picturesMade, made + 1);
    EXPECT_TRUE(Shows(view, 200));
    // Ramps are painted in the box's line: the image still on its way does not cover them.
    d.Tile().image = 0;
    SolidFile(first, 30);
    d.DrawWindowContent(w);  // the first image, not kept any more
    d.Layer().info.kind = 0;
    d.DrawWindowContent(w);  // its ramp
    d.previews().RunHeld();
    EXPECT_FALSE(Shows(view, 30));
    EXPECT_FALSE(Shows(view, 200));
    d.previews().Hold(false);
  });
  driver_.Press(kCbor, kCancel);
  EXPECT_EQ(d.Do_MirrovanDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
