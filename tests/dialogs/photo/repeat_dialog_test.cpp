// The photo-repeat dialog: the grid's typed clamps and their reset of the
// cells, the cell commands (to the current cell, its column, its row, all
// cells), random orientations, the shifts, the temporary file, the source
// preview's fallback, undo, the opacity's clamp, the record check on files
// and owners, and the cell picked on the preview.
#include <filesystem>
#include <set>

#include "platform/files/file_types.h"
#include "platform/random/random.h"
#include "repeat_fixture.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kColumns = 8, kRows = 9, kPresets = 13, kTileName = 21, kShift = 24, kOpacity = 28;
constexpr int32_t kActive = 25, kAllCells = 46, kOffset1 = 32;

class RepeatDialog : public vmktest::RepeatDialogTest {
 protected:
  // A dialog on `owner`, run with `flag` through `steps`, then cancelled.
  template <class Steps>
  void Run(VMKcastelUI& dlg, int16_t flag, Steps steps, int16_t expect = 0) {
    driver_.Advance(0.1);
    steps();
    if (expect == 0) driver_.Press(kPrep, kCancel);
    EXPECT_EQ(dlg.Do_CastelDlg(flag), expect);
    EXPECT_TRUE(driver_.errors().empty());
  }
  void Select(RepPar* r, int32_t column, int32_t row) {
    r->grid.w[kRepSelColumn] = column;
    r->grid.w[kRepSelRow] = row;
    r->grid.w[kRepSelCell] = row * r->grid.w[kRepColumnCount] + column;
  }
};

TEST_F(RepeatDialog, TypedRowsAndColumnsStopAt23And1AndLayTheCellsOutAfresh) {
  auto owner = Grid(4, 4);
  owner->cells[5].w[kCellOrientation] = 6;
  Image("Tiles/brick.tif", 8, 8);
  ASSERT_TRUE(SetFicFromPosix(&owner->tiles[0], (makers_ / "Tiles/brick.tif").string()));
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(dlg, 1, [&] {
    driver_.Type(kPrep, kRows, "24").Advance(1.0).Do([&](tb::WindowRef w) {
      EXPECT_EQ(dlg.grid()[kRepRowCount], 23);
      EXPECT_EQ(Text(w, kRows), "23");
      // Every cell back to its defaults, 4 x 23 of them on; the tile kept.
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 6), 0);
      EXPECT_EQ(Count(*dlg.current(), kCellOn, 1), 4 * 23);
      EXPECT_EQ(FicToPosix(dlg.current()->tiles[0]), (makers_ / "Tiles/brick.tif").string());
      ASSERT_FALSE(vmktest::RepeatRenders().empty());
      EXPECT_EQ(vmktest::RepeatRenders().back().grid[kRepRowCount], 23);
    });
    driver_.Type(kPrep, kColumns, "0").Advance(1.0).Do([&](tb::WindowRef w) {
      EXPECT_EQ(dlg.grid()[kRepColumnCount], 1);
      EXPECT_EQ(Text(w, kColumns), "1");
      EXPECT_EQ(Count(*dlg.current(), kCellOn, 1), 23);
    });
  });
}

TEST_F(RepeatDialog, OrientationsGoToTheCellOrToAllCellsAndCopiesFollowColumnAndRow) {
  auto owner = Grid(6, 4);  // 6 columns, 4 rows
  Select(owner.get(), 2, 1);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  const int32_t here = 1 + 2 * 4;
  Run(dlg, 1, [&] {
    driver_.Press(kPrep, 41).Do([&](tb::WindowRef w) {  // 'Bac3' with All cells on
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 3), 576);
      EXPECT_EQ(Value(w, 41), 1);
      EXPECT_EQ(Value(w, 38), 0);
    });
    driver_.Press(kPrep, kAllCells).Press(kPrep, 39).Do([&](tb::WindowRef) {  // 'Bac1', the cell alone
      EXPECT_EQ(dlg.allCells, 0);
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 1), 1);
      EXPECT_EQ(dlg.current()->cells[here].w[kCellOrientation], 1);
    });
    driver_.Choose(kPrep, 51, 2).Do([&](tb::WindowRef) {  // 'Por2': its column, 4 rows
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 1), 4);
      for (int32_t r = 0; r < 4; ++r) EXPECT_EQ(dlg.current()->cells[r + 2 * 4].w[kCellOrientation], 1);
    });
    driver_.Press(kPrep, 42).Choose(kPrep, 51, 3).Do([&](tb::WindowRef) {  // 'Bac4', 'Por3': its row
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 4), 6);
      for (int32_t c = 0; c < 6; ++c) EXPECT_EQ(dlg.current()->cells[1 + c * 4].w[kCellOrientation], 4);
    });
    driver_.Choose(kPrep, 51, 1).Do([&](tb::WindowRef) {  // 'Por1': all back to 0
      EXPECT_EQ(Count(*dlg.current(), kCellOrientation, 0), 576);
    });
    // The pairs copy both words; 'Pms1' and 'Pmo1' reset to 3 and 1.
    driver_.Type(kPrep, kOffset1, "-40").Advance(1.0).Choose(kPrep, 52, 4).Choose(kPrep, 54, 1).Choose(kPrep, 55, 1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(Count(*dlg.current(), kCellScrollX, -40), 576);
          EXPECT_EQ(Count(*dlg.current(), kCellMaskMode, 3), 576);
          EXPECT_EQ(Count(*dlg.current(), kCellBlendMode, 1), 576);
        });
  });
}

TEST_F(RepeatDialog, RandomOrientationsNeverDrawSevenAndOptionTurnsEveryCellOver) {
  auto owner = Grid(5, 5);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  std::set<int32_t> seen;
  int on = 0;
  Run(dlg, 1, [&] {
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
      driver_.Do([seed](tb::WindowRef) { plat::SeedRandom(seed); }).Press(kPrep, 107).Do([&](tb::WindowRef) {
        for (const RepInfo& c : dlg.current()->cells) seen.insert(c.w[kCellOrientation]);
      });
    }
    driver_.Do([&](tb::WindowRef) { EXPECT_EQ(seen, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6})); });
    driver_.Do([&](tb::WindowRef) {
          on = Count(*dlg.current(), kCellOn, 1);
          driver_.ui().SetModifiers(optionKey);
        })
        .Press(kPrep, kActive)
        .Do([&](tb::WindowRef) {
          driver_.ui().SetModifiers(0);
          EXPECT_EQ(Count(*dlg.current(), kCellOn, 0), on);
          EXPECT_EQ(Count(*dlg.current(), kCellOn, 1), 576 - on);
        });
  });
}

TEST_F(RepeatDialog, TheShiftRadiosClearAllFortyEightShifts) {
  auto owner = Grid(4, 4);
  Select(owner.get(), 1, 2);
  for (int32_t k = 0; k < 48; ++k) owner->grid.w[kRepRowShift + k] = k - 20;
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(dlg, 1, [&] {
    // Direction 1 (the default): the field is the current row's shift.
    driver_.Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, kShift), std::to_string(2 - 20)); });
    driver_.Press(kPrep, 56).Do([&](tb::WindowRef) {  // 'Rver', the direction as it was
      EXPECT_EQ(dlg.grid()[11], 1);
      for (int32_t k = 0; k < 48; ++k) EXPECT_EQ(dlg.grid()[kRepRowShift + k], 0);
    });
    driver_.Type(kPrep, kShift, "150").Advance(1.0).Do([&](tb::WindowRef) {
      EXPECT_EQ(dlg.grid()[kRepRowShift + 2], 100);
    });
    driver_.Press(kPrep, 57).Do([&](tb::WindowRef w) {  // 'Rhor'
      EXPECT_EQ(dlg.grid()[11], 0);
      for (int32_t k = 0; k < 48; ++k) EXPECT_EQ(dlg.grid()[kRepRowShift + k], 0);
      EXPECT_EQ(Text(w, kShift), "0");
    });
    driver_.Type(kPrep, kShift, "-30").Advance(1.0).Do([&](tb::WindowRef) {
      EXPECT_EQ(dlg.grid()[kRepColumnShift + 1], -30);
    });
  });
}

TEST_F(RepeatDialog, OkAfterAnOperationOfTheListWritesTheTemporaryFileOutOfThePopup) {
  auto saved = Grid(3, 3, 40);
  SaveRepeat("Three", saved.get());
  auto owner = Grid(5, 2, 77);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(
      dlg, 1,
      [&] {
        driver_.Do([&](tb::WindowRef w) {
          EXPECT_EQ(vmktest::Items(tb::FindControl(w, kPrep, kPresets)),
                    std::vector<std::string>{"Three"});
        });
        // A value typed just before OK counts.
        driver_.Type(kPrep, kOpacity, "55").Press(kPrep, kOk);
      },
      1);
  ASSERT_TRUE(std::filesystem::exists(TempFile()));
  EXPECT_EQ(plat::files::FileTypeOf(TempFile().string()), FourCC("hRep"));
  RepPar kept;
  fichier f;
  ASSERT_TRUE(MakersFolderItem(":tmpvmkpre.hpr", &f));
  ASSERT_EQ(Do_ARepPar_checked(2, SpecOf(f), &kept), 0);
  EXPECT_EQ(kept.cells[0].w[kCellOpacity], 55);
  EXPECT_EQ(kept.grid.w[kRepColumnCount], 5);
  // The next run from the main window starts from it; the popup still lists
  // the one preset.
  VMKcastelUI second;
  second.SetRepPar(saved.get());
  Run(second, 0, [&] {
    driver_.Do([&](tb::WindowRef w) {
      EXPECT_EQ(second.current()->cells[0].w[kCellOpacity], 55);
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kPrep, kPresets)), 1);
    });
  });
}

TEST_F(RepeatDialog, AMissingTileImageShowsThePictureAndHidesTheName) {
  UsePhoto();
  auto owner = Grid(2, 2);
  Image("Tiles/gone.tif", 8, 8);
  ASSERT_TRUE(SetFicFromPosix(&owner->tiles[0], (makers_ / "Tiles/gone.tif").string()));
  std::filesystem::remove(makers_ / "Tiles/gone.tif");
  Image("Tiles/here.tif", 16, 16, 10, 200, 30);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(dlg, 0, [&] {
    driver_.Do([&](tb::WindowRef w) {
      EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kPrep, kTileName)));
      EXPECT_EQ(dlg.sourcePreviews, 1);
      // The picture's colours (the photo's gradient), never the tile's.
      const uint8_t* px = dlg.Box(1)->displayBuffer();
      EXPECT_GT(px[2], 100);
      EXPECT_GT(px[0], 50);
    });
    // The tile image chosen in the picture's place: its name and its pixels.
    driver_.Do([&](tb::WindowRef) {
      ASSERT_TRUE(SetFicFromPosix(&dlg.current()->tiles[0], (makers_ / "Tiles/here.tif").string()));
    });
    driver_.Press(kPrep, kActive).Do([&](tb::WindowRef w) {
      EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kPrep, kTileName)));
      EXPECT_EQ(Text(w, kTileName), "here.tif");
      EXPECT_EQ(dlg.sourcePreviews, 2);
      const uint8_t* px = dlg.Box(1)->displayBuffer();
      EXPECT_EQ(px[1], 200);
    });
    // The picture again: nothing is read twice while the source stays.
    driver_.Choose(kPrep, 19, 1).Press(kPrep, kActive).Do([&](tb::WindowRef w) {
      EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kPrep, kTileName)));
      EXPECT_EQ(dlg.sourcePreviews, 3);
    });
  });
}

TEST_F(RepeatDialog, UndoAfterAGridChangeBringsTheOldGridBackAndKeepsIt) {
  auto owner = Grid(4, 4);
  owner->cells[3].w[kCellOrientation] = 5;
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(dlg, 1, [&] {
    // Cmd-Z straight after opening leaves the record byte for byte.
    driver_.Key('z', cmdKey).Advance(0.5).Do([&](tb::WindowRef) { EXPECT_TRUE(Same(*dlg.current(), *owner)); });
    driver_.Press(kPrep, 40)  // 'Bac2' backs the record up first
        .Type(kPrep, kRows, "7")
        .Advance(1.0)
        .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.grid()[kRepRowCount], 7); })
        .Key('z', cmdKey)
        .Advance(0.5)
        .Advance(0.5)
        .Advance(0.5)
        .Do([&](tb::WindowRef w) {
          // The backup the orientation took, with its 4 rows and their
          // cells, and the fields show it: later ticks do not read 7 again.
          EXPECT_EQ(dlg.grid()[kRepRowCount], 4);
          EXPECT_EQ(Text(w, kRows), "4");
          EXPECT_EQ(dlg.current()->cells[3].w[kCellOrientation], 5);
        });
  });
}

TEST_F(RepeatDialog, TypedOpacityIsAPercentage) {
  auto owner = Grid(3, 3);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  Run(dlg, 1, [&] {
    driver_.Type(kPrep, kOpacity, "-50").Advance(1.0).Do([&](tb::WindowRef w) {
      EXPECT_EQ(dlg.cell()[kCellOpacity], 0);
      EXPECT_EQ(Text(w, kOpacity), "0");
    });
    driver_.Type(kPrep, kOpacity, "180").Advance(1.0).Do([&](tb::WindowRef w) {
      EXPECT_EQ(dlg.cell()[kCellOpacity], 100);
      EXPECT_EQ(Value(w, 29), 100);
    });
    // The bar applies to all cells while All cells is on.
    driver_.Slide(kPrep, 29, 35).Do([&](tb::WindowRef) { EXPECT_EQ(Count(*dlg.current(), kCellOpacity, 35), 576); });
  });
}

TEST_F(RepeatDialog, GridsTheCellsCannotHoldAreRefusedInFilesAndClampedFromOwners) {
  auto good = Grid(3, 3, 60);
  SaveRepeat("A good one", good.get());
  auto rows30 = Grid(3, 3, 61);
  rows30->grid.w[kRepRowCount] = 30;
  SaveRepeat("B thirty rows", rows30.get());
  auto cell700 = Grid(3, 3, 62);
  cell700->grid.w[kRepSelCell] = 700;
  SaveRepeat("C cell 700", cell700.get());
  auto column9 = Grid(3, 3, 63);
  column9->grid.w[kRepSelColumn] = 9;
  SaveRepeat("D column 9", column9.get());
  // The owner's record is held to the grid.
  auto owner = Grid(4, 4, 50);
  owner->grid.w[kRepColumnCount] = 40;
  owner->grid.w[kRepSelRow] = -3;
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  EXPECT_EQ(dlg.grid()[kRepColumnCount], 24);
  EXPECT_EQ(dlg.grid()[kRepSelRow], 0);
  EXPECT_EQ(Check_RepPar(dlg.current()), 0);
  EXPECT_TRUE(Same(*dlg.current(), *dlg.backupRecord()));
  auto start = std::make_unique<RepPar>();
  Run(dlg, 1, [&] {
    driver_.Do([&](tb::WindowRef) { *start = *dlg.current(); });
    for (int32_t item : {2, 3, 4}) {
      driver_.Choose(kPrep, kPresets, item).Do([&, item](tb::WindowRef) {
        EXPECT_TRUE(Same(*dlg.current(), *start)) << item;
      });
    }
    driver_.Hover(kPrep, kPresets, {2, 3, 4}).Do([&](tb::WindowRef) { EXPECT_TRUE(Same(*dlg.current(), *start)); });
    driver_.Choose(kPrep, kPresets, 1).Do([&](tb::WindowRef) {
      EXPECT_EQ(dlg.current()->cells[0].w[kCellOpacity], 60);
    });
  });
}

TEST_F(RepeatDialog, AClickOnThePreviewPicksTheCellTheFieldsThenEdit) {
  // A square picture fills the 500 x 500 preview: a 5 x 5 grid of 100 pixels.
  record_.imageWidth = 500;
  record_.imageHeight = 500;
  record_.imageRect = Rect{0, 0, 500, 500};
  delete app_->appData.documents[0];
  app_->appData.documents[0] = new VMKdoc();
  auto owner = Grid(5, 5);
  VMKcastelUI dlg;
  dlg.SetRepPar(owner.get());
  constexpr int16_t kLeft = 10, kTop = 10;
  Run(dlg, 1, [&] {
    driver_.Press(kPrep, kAllCells)
        .Type(kPrep, kOpacity, "20")  // typed for the cell left
        .Drag({Point{static_cast<int16_t>(kTop + 150), static_cast<int16_t>(kLeft + 350)}})
        .Advance(1.0)
        .Do([&](tb::WindowRef w) {
          const int32_t column = dlg.grid()[kRepSelColumn], row = dlg.grid()[kRepSelRow];
          EXPECT_EQ(column, 3);
          EXPECT_TRUE(row == 1 || row == 3) << row;
          EXPECT_EQ(dlg.grid()[kRepSelCell], row * 5 + column);
          EXPECT_EQ(dlg.current()->cells[0].w[kCellOpacity], 20);
          EXPECT_EQ(dlg.cell()[kCellOpacity], 100);
          EXPECT_EQ(Text(w, kOpacity), "100");
        })
        .Type(kPrep, kOpacity, "70")
        .Advance(1.0)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(dlg.cell()[kCellOpacity], 70);
          EXPECT_EQ(Count(*dlg.current(), kCellOpacity, 70), 1);
        });
  });
}

}  // namespace
