// The per-tile image and ramp lists on both owners: which tiles show, the
// copy popups, 'Bcpy', the picker and ramp editor nested inside, what OK
// writes back and what cancel leaves, and the thumbnails' pixels.
#include "dialogs/photo/tile_lists.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/image_import.h"
#include "photo_fixture.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kLima = FourCC("Lima");
constexpr OSType kLivi = FourCC("Livi");
constexpr OSType kAvig = FourCC("Avig");
constexpr OSType kUpdt = FourCC("Updt");

const char* const kNames[3] = {"red.tif", "green.tif", "blue.tif"};

class TileListTest : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    Image("Tiles/red.tif", 30, 20, 220, 20, 20);
    Image("Tiles/green.tif", 20, 30, 20, 220, 20);
    Image("Tiles/blue.tif", 16, 16, 20, 20, 220);
    tess_ = std::make_unique<TessPar>();
    Init_TessPar(tess_.get(), 0, 0, 1);
    for (int k = 0; k < kTessSets; ++k) tess_->tiles[k] = File(kNames[k % 3]);
    layer_ = std::make_unique<BordLay>();
    for (int k = 0; k < kBordFiles; ++k) {
      layer_->files[k] = File(kNames[(k + 1) % 3]);
      layer_->ramps[k] = tess_->ramps[k % 12];
    }
  }
  fichier File(const std::string& name) {
    fichier f;
    Init_FicStruct(&f);
    EXPECT_TRUE(SetFicFromPosix(&f, (makers_ / "Tiles" / name).string()));
    return f;
  }
  std::vector<uint8_t> TessBytes() const {
    std::vector<uint8_t> b(sizeof(TessPar));
    std::memcpy(b.data(), tess_.get(), sizeof(TessPar));
    return b;
  }
  std::vector<uint8_t> LayerBytes() const {
    std::vector<uint8_t> b(sizeof(BordLay));
    std::memcpy(b.data(), layer_.get(), sizeof(BordLay));
    return b;
  }
  std::unique_ptr<TessPar> tess_;
  std::unique_ptr<BordLay> layer_;
};

bool SameFile(const fichier& a, const fichier& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameRamp(const LutVign& a, const LutVign& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Tiles up to `count` show box, companion and choose control; the others
// are hidden.
void ExpectShown(tb::WindowRef w, OSType sig, int count, bool chooser) {
  for (int k = 0; k < kTileListTiles; ++k) {
    const bool shown = k < count;
    EXPECT_EQ(tb::IsControlVisible(tb::FindControl(w, sig, TileListFrame::kBoxIds[k])), shown) << k;
    EXPECT_EQ(tb::IsControlVisible(tb::FindControl(w, sig, TileListFrame::kCompanionIds[k])), shown) << k;
    if (chooser) {
      EXPECT_EQ(tb::IsControlVisible(tb::FindControl(w, sig, 30 + k)), shown) << k;
    }
  }
}

TEST_F(TileListTest, TwoTilesShowTwoAndCopyAllReachesTwelveButOnlyTwoGoBack) {
  tess_->head.w[kTessSetsInUse] = 2;
  const std::vector<uint8_t> before = TessBytes();
  VMKsetima list;
  EXPECT_EQ(gVMKsetima, &list);
  driver_
      .Do([](tb::WindowRef w) {
        ExpectShown(w, kLima, 2, true);
        EXPECT_EQ(vmktest::Items(tb::FindControl(w, kLima, 16)), (std::vector<std::string>{"All", "1", "2"}));
        EXPECT_EQ(vmktest::Items(tb::FindControl(w, kLima, 15)), (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kLima, 5)), "green.tif");
      })
      .Choose(kLima, 15, 2)
      .Choose(kLima, 16, 1)
      .Press(kLima, 17)
      .Do([&](tb::WindowRef w) {
        for (const fichier& f : list.tiles) EXPECT_EQ(PStrString(f.name), "green.tif");
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kLima, 3)), "green.tif");
      })
      .Press(kLima, 1);
  EXPECT_EQ(list.Do_SetImaDlg(tess_.get(), nullptr), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(PStrString(tess_->tiles[0].name), "green.tif");
  EXPECT_EQ(PStrString(tess_->tiles[1].name), "green.tif");
  // Only the first two went back; the rest of the record is as it was.
  std::vector<uint8_t> after = TessBytes();
  const size_t tilesEnd = offsetof(TessPar, tiles) + 2 * sizeof(fichier);
  EXPECT_TRUE(std::equal(after.begin() + tilesEnd, after.end(), before.begin() + tilesEnd));
  EXPECT_EQ(PStrString(tess_->tiles[2].name), "blue.tif");
}

TEST_F(TileListTest, ALayerGetsAllTwelveAndTheEleventhLabelShowsItsName) {
  VMKsetima list;
  driver_
      .Do([](tb::WindowRef w) {
        ExpectShown(w, kLima, 12, true);
        EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kLima, 16)), 13);
        // Tile 11's companion is control 26.
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kLima, 26)), kNames[(10 + 1) % 3]);
      })
      .Choose(kLima, 15, 3)
      .Choose(kLima, 16, 12)  // tile 11
      .Press(kLima, 17)
      .Press(kLima, 1);
  EXPECT_EQ(list.Do_SetImaDlg(nullptr, layer_.get()), 1);
  EXPECT_TRUE(driver_.errors().empty());
  for (int k = 0; k < 12; ++k)
    EXPECT_EQ(PStrString(layer_->files[k].name), k == 10 ? kNames[(2 + 1) % 3] : kNames[(k + 1) % 3]) << k;
  // Files 12..15 are no tile's.
  EXPECT_EQ(PStrString(layer_->files[12].name), kNames[(12 + 1) % 3]);
}

TEST_F(TileListTest, CancelAfterPicksAndRampEditsLeavesBothOwnersByteIdentical) {
  const std::vector<uint8_t> tessBefore = TessBytes();
  const std::vector<uint8_t> layerBefore = LayerBytes();
  {
    VMKsetima list;
    // The picker's first use builds the library.
    driver_.Press(kLima, 30).Press(kUpdt, 1).Choose(kLima, 24, 2).Press(kLima, 1);
    driver_.Do([&](tb::WindowRef) { EXPECT_FALSE(SameFile(list.tiles[0], tess_->tiles[0])); });
    driver_.Press(kLima, 2);
    EXPECT_EQ(list.Do_SetImaDlg(tess_.get(), nullptr), 0);
  }
  {
    VMKsetvig list;
    EXPECT_EQ(gVMKsetvig, &list);
    driver_.Press(kLivi, 5)
        .Do([&](tb::WindowRef) { EXPECT_NE(list.rampEditorUI, nullptr); })
        .Press(kAvig, 4)
        .Press(kAvig, 1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(list.rampEditorUI, nullptr);
          EXPECT_FALSE(SameRamp(list.ramps[1], layer_->ramps[1]));
        })
        .CloseBox();
    EXPECT_EQ(list.Do_SetVigDlg(nullptr, layer_.get()), 0);
  }
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(TessBytes(), tessBefore);
  EXPECT_EQ(LayerBytes(), layerBefore);
  EXPECT_EQ(gVMKsetima, nullptr);
  EXPECT_EQ(gVMKsetvig, nullptr);
}

TEST_F(TileListTest, APickAndARampEditReachTheOwnerOnOk) {
  {
    VMKsetima list;
    driver_.Press(kLima, 31).Press(kUpdt, 1).Choose(kLima, 24, 3).Press(kLima, 1).Press(kLima, 1);
    EXPECT_EQ(list.Do_SetImaDlg(tess_.get(), nullptr), 1);
  }
  // The picker lists the folder by name: blue, green, red.
  EXPECT_EQ(PStrString(tess_->tiles[1].name), "red.tif");
  LutVign edited;
  {
    VMKsetvig list;
    driver_.Press(kLivi, 3).Press(kAvig, 4).Press(kAvig, 1).Do([&](tb::WindowRef) { edited = list.ramps[0]; });
    driver_.Press(kLivi, 1);
    EXPECT_EQ(list.Do_SetVigDlg(tess_.get(), nullptr), 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(SameRamp(tess_->ramps[0], edited));
}

// A tile count past the list's twelve (a damaged record) shows twelve tiles
// and writes back twelve, never the record's thirteenth.
TEST_F(TileListTest, ADamagedTileCountShowsTwelveAndWritesNoMore) {
  tess_->head.w[kTessSetsInUse] = 40;
  const fichier thirteenth = tess_->tiles[12];
  const LutVign ramp13 = tess_->ramps[12];
  {
    VMKsetima list;
    driver_.Do([](tb::WindowRef w) { ExpectShown(w, kLima, 12, true); })
        .Choose(kLima, 15, 1)
        .Choose(kLima, 16, 1)
        .Press(kLima, 17)
        .Press(kLima, 1);
    EXPECT_EQ(list.Do_SetImaDlg(tess_.get(), nullptr), 1);
    EXPECT_EQ(list.tileCount, 12);
  }
  {
    VMKsetvig list;
    driver_.Do([](tb::WindowRef w) { ExpectShown(w, kLivi, 12, false); })
        .Choose(kLivi, 15, 1)
        .Choose(kLivi, 16, 1)
        .Press(kLivi, 17)
        .Press(kLivi, 1);
    EXPECT_EQ(list.Do_SetVigDlg(tess_.get(), nullptr), 1);
  }
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(PStrString(tess_->tiles[11].name), "red.tif");
  EXPECT_TRUE(SameFile(tess_->tiles[12], thirteenth));
  EXPECT_TRUE(SameRamp(tess_->ramps[11], tess_->ramps[0]));
  EXPECT_TRUE(SameRamp(tess_->ramps[12], ramp13));
  EXPECT_EQ(tess_->head.w[kTessSetsInUse], 40);
}

// Each box shows its tile's picture read at the box's size; a tile whose
// file cannot be read shows an empty box. The ramp boxes show the bars.
TEST_F(TileListTest, ThumbnailsAreTheTilesPicturesAtTheBoxSize) {
  tess_->head.w[kTessSetsInUse] = 4;
  tess_->tiles[3] = File("missing.tif");
  VMKsetima list;
  driver_
      .Do([&](tb::WindowRef w) {
        const Rect r = tb::GetControlBounds(tb::FindControl(w, kLima, 4));
        const int32_t bw = r.right - r.left, bh = r.bottom - r.top;
        ASSERT_GT(bw, 0);
        std::vector<char> shown(static_cast<size_t>(bw * bh * 4)), expected(shown.size());
        for (int k = 0; k < 4; ++k) {
          list.Box(static_cast<size_t>(k))->GetBuf(bw, bh, shown.data(), bw, bh);
          fichier f = tess_->tiles[k];
          if (k == 3) {
            // GetBuf gives the three colour bytes of each pixel.
            for (size_t i = 0; i < shown.size(); ++i)
              if (i % 4 != 3) {
                ASSERT_EQ(shown[i], char(255)) << i;
              }
            continue;
          }
          ASSERT_EQ(AS_GetResizedImage(&f, 1, 0, 0, 0, 0, bw, bh, 0, 0, bw - 1, bh - 1, 1, expected.data(), nullptr,
                                       nullptr, nullptr),
                    0);
          for (size_t i = 3; i < shown.size(); i += 4) expected[i] = shown[i];
          EXPECT_EQ(shown, expected) << k;
        }
      })
      .Press(kLima, 2);
  EXPECT_EQ(list.Do_SetImaDlg(tess_.get(), nullptr), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
