// The plaid creator on the project's CreaPlaid window: the temporary
// settings file, the colour buttons and menus, the stripe lists and their
// popups, the readout, the clamps of the typed values, counts held to the
// record's arrays, and undo.
#include <filesystem>
#include <fstream>
#include <vector>

#include "dialogs/patterns/plaid_fixture.h"
#include "support/session.h"
#include "views/image_box.h"

using vmktest::PlaidDialogTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kWarpColourMenu = 110, kWeftColourMenu = 111, kPresets = 13;

TEST_F(PlaidDialogTest, FlagZeroWithoutATempFileShowsTheOwnersRecordAndOkWritesIt) {
  const PlaidPar owner = Numbered(3);
  ASSERT_FALSE(std::filesystem::exists(TempPath()));
  {
    VMKcreaplaidUI dlg;
    dlg.SetPlaidPar(128, &owner);
    std::string formula;
    driver_.Advance(0.01).Do([&](tb::WindowRef w) { formula = Text(w, kPpla, 15); }).Press(kPpla, kOk);
    ASSERT_EQ(dlg.Do_CreaPlaidDlg(0), 1);
    EXPECT_EQ(formula, "d e3");
    EXPECT_EQ(dlg.previewSource, 3);
  }
  ASSERT_TRUE(std::filesystem::exists(TempPath()));
  // The next run from the main window starts from the file, not the owner.
  VMKcreaplaidUI again;
  const PlaidPar other = Numbered(5);
  again.SetPlaidPar(128, &other);
  driver_.Advance(0.01).Press(kPpla, kCancel);
  EXPECT_EQ(again.Do_CreaPlaidDlg(0), 0);
  EXPECT_TRUE(SameColours(*again.current(), owner));
  EXPECT_STREQ(again.current()->formula2, owner.formula2);
}

TEST_F(PlaidDialogTest, FlagOneShowsTheRecordAsHandedInAndItsOkWritesTheFileToo) {
  SavePlaid("unused", Numbered(1));
  const PlaidPar owner = Numbered(4);
  VMKcreaplaidUI dlg;
  PlaidPar withList = owner;
  withList.freeMode = 1;
  dlg.SetPlaidPar(200, &withList);
  bool listShown = false, formulaShown = true;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) {
        listShown = Shown(w, 131);
        formulaShown = Shown(w, 15);
      })
      .Press(kPpla, kOk);
  ASSERT_EQ(dlg.Do_CreaPlaidDlg(1), 1);
  EXPECT_EQ(dlg.previewSource, 2);
  EXPECT_TRUE(listShown);
  EXPECT_FALSE(formulaShown);
  EXPECT_EQ(dlg.current()->freeMode, 1);
  PlaidPar fromFile;
  fichier f;
  ASSERT_TRUE(MakersFolderItem(":tmpvmkplaid.hpl", &f));
  ASSERT_EQ(Do_APlaidPar_file(2, SpecOf(f), &fromFile), 0);
  EXPECT_TRUE(SameColours(fromFile, owner));
}

TEST_F(PlaidDialogTest, ADamagedTempFileOpensTheOwnersRecordAndOkReplacesIt) {
  std::ofstream(TempPath(), std::ios::binary) << "not a plaid at all";
  const PlaidPar owner = Numbered(2);
  VMKcreaplaidUI dlg;
  dlg.SetPlaidPar(255, &owner);
  PlaidPar shown;
  driver_.Advance(0.01).Do([&](tb::WindowRef) { shown = *dlg.current(); }).Press(kPpla, kOk);
  ASSERT_EQ(dlg.Do_CreaPlaidDlg(0), 1);
  EXPECT_TRUE(SameColours(shown, owner));
  fichier f;
  ASSERT_TRUE(MakersFolderItem(":tmpvmkplaid.hpl", &f));
  PlaidPar fromFile;
  ASSERT_EQ(Do_APlaidPar_file(2, SpecOf(f), &fromFile), 0);
  EXPECT_TRUE(SameColours(fromFile, owner));
}

TEST_F(PlaidDialogTest, UndoRightAfterOpeningGivesTheDefaultsAndUndoIsOneStep) {
  VMKcreaplaidUI dlg;
  PlaidPar defaults;
  Init_PlaidPar(&defaults, 0);
  EXPECT_TRUE(Same(*dlg.current(), defaults));
  EXPECT_TRUE(Same(*dlg.backupRecord(), defaults));
  const PlaidPar owner = Numbered(6);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar afterSwap, afterUndo;
  driver_.Advance(0.01)
      .Press(kPpla, 403)  // 'Bcp2': swap the colour sets
      .Do([&](tb::WindowRef) { afterSwap = *dlg.current(); })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { afterUndo = *dlg.current(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(std::memcmp(afterSwap.paletteA, owner.paletteB, sizeof owner.paletteA), 0);
  EXPECT_TRUE(SameColours(afterUndo, owner));
}

TEST_F(PlaidDialogTest, PlainClicksOnNextColoursWalkThePresetsFromTheSecond) {
  for (int k = 0; k < 3; ++k) SavePlaid(std::string("preset") + static_cast<char>('a' + k), Numbered(10 + k));
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(1);
  dlg.SetPlaidPar(255, &owner);
  std::vector<PlaidPar> seen;
  std::vector<std::string> items;
  driver_.Advance(0.01).Do([&](tb::WindowRef w) {
    for (int i = 1; i <= tb::CountMenuItems(tb::FindControl(w, kPpla, kPresets)); ++i)
      items.push_back(tb::GetMenuItemText(tb::FindControl(w, kPpla, kPresets), i));
  });
  for (int click = 0; click < 4; ++click)
    driver_.Press(kPpla, 410).Do([&](tb::WindowRef) { seen.push_back(*dlg.current()); });  // 'Bcwa'
  driver_.Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  ASSERT_EQ(items,
            (std::vector<std::string>{"Choose a plaid...", "preseta", "presetb", "presetc"}));
  ASSERT_EQ(seen.size(), 4u);
  const int expected[] = {1, 2, 0, 1};
  for (int i = 0; i < 4; ++i) {
    const PlaidPar preset = Numbered(10 + expected[i]);
    EXPECT_EQ(std::memcmp(seen[i].paletteB, preset.paletteB, sizeof preset.paletteB), 0) << i;
    // Without Option only the warp set is taken.
    EXPECT_EQ(std::memcmp(seen[i].paletteA, owner.paletteA, sizeof owner.paletteA), 0) << i;
  }
  EXPECT_EQ(dlg.presetCount, 3);
}

TEST_F(PlaidDialogTest, ThePresetPopupsFirstItemReadsNothingAndItsLastReadsTheLastPreset) {
  SavePlaid("first", Numbered(7));
  SavePlaid("second", Numbered(8));
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(0);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar afterFirst, afterHover, afterLast;
  driver_.Advance(0.01)
      .Choose(kPpla, kPresets, 1)
      .Do([&](tb::WindowRef) { afterFirst = *dlg.current(); })
      .Hover(kPpla, kPresets, {1, 2, 3})
      .Do([&](tb::WindowRef) { afterHover = *dlg.current(); })
      .Choose(kPpla, kPresets, 3)
      .Do([&](tb::WindowRef) { afterLast = *dlg.current(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_TRUE(SameColours(afterFirst, owner));
  EXPECT_TRUE(SameColours(afterHover, owner));
  EXPECT_TRUE(SameColours(afterLast, Numbered(8)));
}

TEST_F(PlaidDialogTest, ItemThreeOfEitherColourMenuCopiesWarpToWeftAndItemFiveSwapsRamps) {
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(2);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar viaWeftMenu, swapped;
  driver_.Advance(0.01)
      .Choose(kPpla, kWeftColourMenu, 3)
      .Do([&](tb::WindowRef) { viaWeftMenu = *dlg.current(); })
      .Press(kPpla, 22)  // the warp takes its ramp: 'Rvwa' opens the ramp editor
      .Press(FourCC("Avig"), 1)
      .Choose(kPpla, kWarpColourMenu, 5)
      .Do([&](tb::WindowRef) { swapped = *dlg.current(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(std::memcmp(viaWeftMenu.paletteA, owner.paletteB, sizeof owner.paletteB), 0);
  EXPECT_EQ(std::memcmp(viaWeftMenu.paletteB, owner.paletteB, sizeof owner.paletteB), 0);
  EXPECT_EQ(swapped.threadSource, 1);
  EXPECT_EQ(std::memcmp(&swapped.ramp1, &owner.ramp2, sizeof owner.ramp2), 0);
  EXPECT_EQ(std::memcmp(&swapped.ramp2, &owner.ramp1, sizeof owner.ramp1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PlaidDialogTest, AddingToAListOf255Makes256AndThenNothingMore) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(0);
  owner.free1.stripCount = 255;
  owner.free1.selected = 0;
  owner.freeMode = 1;
  dlg.SetPlaidPar(255, &owner);
  PlaidPar once, twice;
  int32_t items = 0;
  driver_.Advance(0.01)
      .Press(kPpla, 300 + 141)  // 'Bada'
      .Do([&](tb::WindowRef w) {
        once = *dlg.current();
        items = tb::CountMenuItems(tb::FindControl(w, kPpla, 131));
      })
      .Press(kPpla, 300 + 141)
      .Do([&](tb::WindowRef) { twice = *dlg.current(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(once.free1.stripCount, 256);
  EXPECT_EQ(once.free1.selected, 1);
  EXPECT_EQ(once.free1.stripWidth[0], owner.free1.stripWidth[0]);
  // The new stripe is a copy of the one that followed; the rest moved up.
  EXPECT_EQ(once.free1.stripWidth[1], owner.free1.stripWidth[1]);
  EXPECT_EQ(once.free1.stripWidth[2], owner.free1.stripWidth[1]);
  EXPECT_EQ(once.free1.stripWidth[255], owner.free1.stripWidth[254]);
  EXPECT_EQ(items, 256);
  EXPECT_EQ(twice.free1.stripCount, 256);
  EXPECT_EQ(std::memcmp(&twice.free1, &once.free1, sizeof once.free1), 0);
}

TEST_F(PlaidDialogTest, DeletingTheOnlyStripeHidesTheControlsAndAddingMakesStripeZeroCurrent) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(0);
  owner.free2.stripCount = 1;
  owner.free2.selected = 0;
  owner.freeMode = 2;
  dlg.SetPlaidPar(255, &owner);
  bool shownAfterDelete = true, shownAfterAdd = false;
  PlaidPar deleted, added;
  driver_.Advance(0.01)
      .Press(kPpla, 300 + 136)  // 'Bdee'
      .Do([&](tb::WindowRef w) {
        deleted = *dlg.current();
        shownAfterDelete = Shown(w, 137) || Shown(w, 138) || Shown(w, 135) || Shown(w, 134);
      })
      .Press(kPpla, 300 + 136)  // nothing left to delete
      .Press(kPpla, 300 + 142)  // 'Bade'
      .Do([&](tb::WindowRef w) {
        added = *dlg.current();
        shownAfterAdd = Shown(w, 137) && Shown(w, 138);
      })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(deleted.free2.stripCount, 0);
  EXPECT_EQ(deleted.free2.selected, 0);
  EXPECT_FALSE(shownAfterDelete);
  EXPECT_EQ(added.free2.stripCount, 1);
  EXPECT_EQ(added.free2.selected, 0);
  EXPECT_TRUE(shownAfterAdd);
}

TEST(StripeItems, LabelsLengthsAndRunningEndsByMode) {
  WWInfo list;
  Init_WWInfo(&list);
  list.stripCount = 12;
  for (int i = 0; i < 12; ++i) {
    list.stripWidth[i] = 10 * (i + 1);
    list.stripOn[i] = i == 1 ? 0 : 1;
    list.stripColour[i] = i;
  }
  int32_t end = 0;
  list.cumulative = 0;
  EXPECT_EQ(StripeItemText(list, 0, 1, true, 900, 0, &end), "1 - x  - Len: 10 | Y: 10 - Col.: A");
  EXPECT_EQ(StripeItemText(list, 1, 1, true, 900, 0, &end), "2 -     - Len: 20 | Y: 30 - Col.: B");
  end = 0;
  list.cumulative = 1;
  EXPECT_EQ(StripeItemText(list, 0, 1, false, 1200, 0, &end), "1 - x  - Len: 10 | X: 10 - Col.: A");
  EXPECT_EQ(StripeItemText(list, 1, 1, false, 1200, 0, &end), "2 -     - Len: 10 | X: 20 - Col.: B");
  // Mode 2: lengths shared out over the picture by the marked sum.
  end = 0;
  EXPECT_EQ(StripeItemText(list, 0, 2, false, 1200, 600, &end), "1 - x  - Len: 10 | X: 20 - Col.: A");
  EXPECT_EQ(StripeItemText(list, 10, 2, false, 1200, 600, &end), "11  - x  - Len: 110 | X: 240 - Col.: K");
  // With no marked stripe only the lengths show.
  end = 0;
  EXPECT_EQ(StripeItemText(list, 0, 2, true, 900, 0, &end), "1 - x  - Len: 10 - Col.: A");
  list.stripColour[0] = 16;
  EXPECT_EQ(StripeItemText(list, 0, 2, true, 900, 0, &end), "1 - x  - Len: 10 - Col.: ");
}

TEST_F(PlaidDialogTest, TheStripePopupsSayYForTheWarpAndXForTheWeft) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(0);
  owner.freeMode = 3;
  owner.lineMode = 2;
  for (int i = 0; i < kFreeStrips; ++i) owner.free2.stripOn[i] = 0;
  dlg.SetPlaidPar(255, &owner);
  std::string warp, weft;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) {
        warp = tb::GetMenuItemText(tb::FindControl(w, kPpla, 131), 1);
        weft = tb::GetMenuItemText(tb::FindControl(w, kPpla, 137), 1);
      })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(warp, "1 - x  - Len: 5 | Y: 409 - Col.: A");  // 5 x 900 / (5 + 6)
  EXPECT_EQ(weft, "1 -     - Len: 7 - Col.: A");          // no marked weft stripe
}

TEST_F(PlaidDialogTest, StripeListCommandsEditTheCurrentStripe) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(3);
  owner.freeMode = 1;
  owner.lineMode = 1;
  dlg.SetPlaidPar(255, &owner);
  PlaidPar r;
  int32_t typed = -1;
  bool positionsShown = false;
  driver_.Advance(0.01)
      .Choose(kPpla, 131, 3)        // 'Plsa': stripe 3
      .Choose(kPpla, 129, 16)       // 'Pcoa': colour P
      .Press(kPpla, 130)            // 'Cfra': unmark
      .Type(kPpla, 132, "-40")      // negative lengths become 0
      .Advance(1.1)
      .Do([&](tb::WindowRef) { typed = dlg.current()->free1.stripWidth[2]; })
      .PressPart(kPpla, 139, tb::kControlUpButtonPart)  // 'Lara': read at once
      .Press(kPpla, 141)            // 'Raba'
      .Do([&](tb::WindowRef w) {
        r = *dlg.current();
        positionsShown = Shown(w, 141);
      })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(r.free1.selected, 2);
  EXPECT_EQ(r.free1.stripColour[2], 15);
  EXPECT_EQ(r.free1.stripOn[2], 0);
  EXPECT_EQ(typed, 0);
  EXPECT_EQ(r.free1.stripWidth[2], 1);
  EXPECT_EQ(r.free1.cumulative, owner.free2.cumulative == 0 ? 1 : 0);
  EXPECT_EQ(r.free2.cumulative, r.free1.cumulative);
  EXPECT_TRUE(positionsShown);
}

TEST_F(PlaidDialogTest, OptionClickInTheWarpStripeBoxPicksTheCurrentStripesColour) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(1);
  owner.freeMode = 3;
  for (int i = 0; i < kFreeStrips; ++i) owner.free1.stripColour[i] = owner.free2.stripColour[i] = 5;
  dlg.SetPlaidPar(255, &owner);
  driver_.ui().AnswerColor(RGBColor{0x0A00, 0x1400, 0x1E00});
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef) { driver_.ui().SetModifiers(optionKey); })
      .Drag({Point{100, 1000}}, optionKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { driver_.ui().SetModifiers(0); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(driver_.ui().colorPrompts.size(), 1u);
  EXPECT_EQ(dlg.current()->paletteB[0][5], 10);
  EXPECT_EQ(dlg.current()->paletteB[1][5], 20);
  EXPECT_EQ(dlg.current()->paletteB[2][5], 30);
  EXPECT_EQ(dlg.current()->paletteA[0][5], owner.paletteA[0][5]);
}

TEST_F(PlaidDialogTest, TheReadoutInItsFourUnits) {
  VMKcreaplaidUI dlg;
  std::string texts[4][2];
  driver_.Advance(0.01).Do([&](tb::WindowRef) {
    dlg.readoutX = 600;
    dlg.readoutY = 450;
  });
  for (int unit = 1; unit <= 4; ++unit)
    driver_.Choose(kPpla, 126, unit).Do([&, unit](tb::WindowRef w) {
      texts[unit - 1][0] = Text(w, kPpla, 20);
      texts[unit - 1][1] = Text(w, kPpla, 19);
    });
  driver_.Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  const double res = dlg.context.resolution;
  char inches[2][32], points[2][32];
  std::snprintf(inches[0], 32, "Weft: %4.2f", static_cast<double>(static_cast<float>(600 / res)));
  std::snprintf(inches[1], 32, "Warp: %4.2f", static_cast<double>(static_cast<float>(450 / res)));
  std::snprintf(points[0], 32, "Weft: %4.2f", static_cast<double>(static_cast<float>(600 * 72 / res)));
  std::snprintf(points[1], 32, "Warp: %4.2f", static_cast<double>(static_cast<float>(450 * 72 / res)));
  EXPECT_EQ(texts[0][0], "Weft: 50 %");
  EXPECT_EQ(texts[0][1], "Warp: 50 %");
  EXPECT_EQ(texts[1][0], "Weft: 600");
  EXPECT_EQ(texts[1][1], "Warp: 450");
  EXPECT_EQ(texts[2][0], inches[0]);
  EXPECT_EQ(texts[2][1], inches[1]);
  EXPECT_EQ(texts[3][0], points[0]);
  EXPECT_EQ(texts[3][1], points[1]);
}

TEST_F(PlaidDialogTest, TypedValuesAreClampedAndReadAtOk) {
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(1);
  dlg.SetPlaidPar(255, &owner);
  driver_.Advance(0.01)
      .Type(kPpla, 118, "1000")
      .Type(kPpla, 29, "400")
      .Type(kPpla, 41, "-5")
      .Type(kPpla, 15, "x y z")
      .Press(kPpla, kOk);
  ASSERT_EQ(dlg.Do_CreaPlaidDlg(1), 1);
  int16_t opacity = 0;
  PlaidPar out;
  dlg.GetPlaidPar(&opacity, &out);
  EXPECT_EQ(opacity, 255);
  EXPECT_EQ(out.rowAngle, 360);
  EXPECT_EQ(out.threadHeight, 0);
  EXPECT_STREQ(out.formula2, "x y z");
  VMKcreaplaidUI low;
  low.SetPlaidPar(255, &owner);
  driver_.Advance(0.01).Type(kPpla, 118, "-20").Press(kPpla, kOk);
  ASSERT_EQ(low.Do_CreaPlaidDlg(1), 1);
  low.GetPlaidPar(&opacity, &out);
  EXPECT_EQ(opacity, 0);
  VMKcreaplaidUI half;
  half.SetPlaidPar(255, &owner);
  driver_.Advance(0.01).Type(kPpla, 118, "50").Press(kPpla, kOk);
  ASSERT_EQ(half.Do_CreaPlaidDlg(1), 1);
  half.GetPlaidPar(&opacity, &out);
  // 50 x 2.55 is a hair under 127.5 in floating point: the truncation gives
  // 127, which shows as 50 again.
  EXPECT_EQ(opacity, 127);
}

TEST_F(PlaidDialogTest, CountsFromTheOwnerAndFromFilesAreHeldToTheArrays) {
  PlaidPar wild = Numbered(0);
  wild.free1.stripCount = 300;
  wild.free1.selected = 700;
  wild.free2.stripCount = -3;
  wild.free2.selected = 2;
  wild.weave1.columns = 300;
  wild.weave2.rows = -1;
  wild.freeMode = 3;
  VMKcreaplaidUI dlg;
  dlg.SetPlaidPar(255, &wild);
  EXPECT_EQ(dlg.current()->free1.stripCount, 256);
  EXPECT_EQ(dlg.current()->free1.selected, 255);
  EXPECT_EQ(dlg.current()->free2.stripCount, 0);
  EXPECT_EQ(dlg.current()->free2.selected, 0);
  EXPECT_EQ(dlg.current()->weave1.columns, 128);
  EXPECT_EQ(dlg.current()->weave2.rows, 0);
  // The same record as a preset file: loaded, hovered and chosen, it is held too.
  SavePlaid("wild", wild);
  const PlaidPar owner = Numbered(1);
  dlg.SetPlaidPar(255, &owner);
  driver_.ui().AnswerOpenFile(bundle_.makersFile("wild.hpld"));
  PlaidPar loaded, hovered;
  driver_.Advance(0.01)
      .Press(kPpla, kLoad)
      .Do([&](tb::WindowRef) { loaded = *dlg.current(); })
      .Hover(kPpla, kPresets, {2})
      .Press(kPpla, 300 + 141)  // add a warp stripe to the held list
      .Choose(kPpla, kPresets, 2)
      .Do([&](tb::WindowRef) { hovered = *dlg.current(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(loaded.free1.stripCount, 256);
  EXPECT_EQ(loaded.free1.selected, 255);
  EXPECT_EQ(loaded.weave1.columns, 128);
  EXPECT_EQ(hovered.free1.stripCount, 256);
  EXPECT_EQ(hovered.free2.stripCount, 0);
}

TEST_F(PlaidDialogTest, TheSymmetryHidesTheWeftWeaveMenuAndTheWeaveEditorEditsTheWarpWeave) {
  VMKcreaplaidUI dlg;
  PlaidPar owner = Numbered(1);
  owner.sameWeave = 0;
  dlg.SetPlaidPar(255, &owner);
  bool shownBefore = false, shownAfter = true;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) { shownBefore = Shown(w, 109); })
      .Press(kPpla, 33)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { shownAfter = Shown(w, 109) || Shown(w, 39); })
      .Choose(kPpla, 108, 1)           // the weave editor on the warp weave
      .Press(FourCC("Cwea"), 111)      // invert
      .Press(FourCC("Cwea"), 101)      // OK
      .Choose(kPpla, 108, 3)           // warp weave over the weft weave
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_TRUE(shownBefore);
  EXPECT_FALSE(shownAfter);
  EXPECT_EQ(dlg.current()->sameWeave, 1);
  const WeaveInfo& w = dlg.current()->weave1;
  for (int r = 0; r < w.rows; ++r)
    for (int c = 0; c < w.columns; ++c) EXPECT_EQ(w.cells[r][c], 1 - owner.weave1.cells[r][c]);
  EXPECT_EQ(std::memcmp(&dlg.current()->weave2, &w, sizeof w), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
