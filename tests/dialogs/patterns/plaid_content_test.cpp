// The default content library gives the plaid family its files: three plaids
// whose colours, weaves, strip formulas and lists each file menu of the
// plaid creator takes, four weave patterns for the weave editor's preset
// popup, and a small dark and light picture that the weave editor imports as
// the plain weave.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "dialogs/patterns/plaid_fixture.h"
#include "dialogs/patterns/weave_dialog.h"
#include "support/session.h"

namespace tb = plat::tb;

namespace {

using PlaidContentTest = vmktest::PlaidDialogTest;

constexpr int32_t kPresets = 13, kWarpWeaveMenu = 108, kWarpColourMenu = 110, kWarpStripeMenu = 121;

// Chooses items first .. first + 2 of a menu in turn, each on the record as
// the owner handed it, and gathers what `seen` reads of the record.
template <class F>
std::set<std::string> ChooseEach(plat::tb::test::Driver& driver, int32_t menu,
                                 int32_t first, F seen) {
  std::set<std::string> out;
  VMKcreaplaidUI dlg;
  PlaidPar owner;
  Init_PlaidPar(&owner, 0);
  dlg.SetPlaidPar(255, &owner);
  driver.Advance(0.01);
  for (int32_t item = first; item < first + 3; ++item)
    driver.Do([&](tb::WindowRef) { dlg.SetPlaidPar(255, &owner); })
        .Choose(FourCC("Ppla"), menu, item)
        .Do([&](tb::WindowRef) { out.insert(seen(*dlg.current())); });
  driver.Press(FourCC("Ppla"), 202);
  dlg.Do_CreaPlaidDlg(1);
  return out;
}

std::string FirstColour(const uint8_t (*palette)[kPlaidColours]) {
  return std::to_string(palette[0][0]) + "," + std::to_string(palette[1][0]) + "," + std::to_string(palette[2][0]);
}

TEST_F(PlaidContentTest, EachFileMenuOfThePlaidCreatorTakesSomethingThatShowsFromTheLibrarysPlaids) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  {
    VMKcreaplaidUI dlg;
    driver_.Advance(0.01).Do([&](tb::WindowRef w) {
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kPpla, kPresets)), 1 + 3);
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kPpla, kWarpWeaveMenu)), 5 + 3);
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kPpla, kWarpColourMenu)), 6 + 3);
      EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kPpla, kWarpStripeMenu)), 7 + 3);
    });
    driver_.Press(kPpla, kCancel);
    dlg.Do_CreaPlaidDlg(1);
  }
  // The whole preset: three formulas.
  EXPECT_EQ(ChooseEach(driver_, kPresets, 2, [](const PlaidPar& p) { return std::string(p.formula1); }),
            (std::set<std::string>{"8A2D6B2D2E", "6A6B", "3/A2BC4D"}));
  // The warp's weave: three patterns of their own sizes and cells.
  EXPECT_EQ(ChooseEach(driver_, kWarpWeaveMenu, 6,
                       [](const PlaidPar& p) {
                         std::string s = std::to_string(p.weave1.columns) + "x" + std::to_string(p.weave1.rows) + ":";
                         for (int r = 0; r < p.weave1.rows; ++r)
                           for (int c = 0; c < p.weave1.columns; ++c) s += static_cast<char>('0' + p.weave1.cells[r][c]);
                         return s;
                       })
                .size(),
            3u);
  // The warp's colours: three first colours.
  EXPECT_EQ(ChooseEach(driver_, kWarpColourMenu, 7,
                       [](const PlaidPar& p) { return FirstColour(p.paletteA) + "/" + FirstColour(p.paletteB); })
                .size(),
            3u);
  // The warp's strips: three formulas on the warp's side.
  EXPECT_EQ(ChooseEach(driver_, kWarpStripeMenu, 8,
                       [](const PlaidPar& p) { return std::string(p.formula1) + "|" + p.formula2; })
                .size(),
            3u);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PlaidContentTest, TheWeaveEditorListsTheLibrarysWeavesAndImportsItsCheckerAsThePlainWeave) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  constexpr OSType kCwea = FourCC("Cwea"), kEwea = FourCC("Ewea");
  VMKcreaweavUI dlg;
  WeaveInfo start;
  Init_WeaveInfo(&start, 8, 8);
  dlg.SetWeaveInfo(&start);
  std::set<std::string> sizes;
  driver_.Advance(0.01).Do([&](tb::WindowRef w) {
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kCwea, 21)), 4);
  });
  for (int32_t item = 1; item <= 4; ++item)
    driver_.Choose(kCwea, 21, item).Do([&](tb::WindowRef) {
      sizes.insert(std::to_string(dlg.current()->columns) + "x" + std::to_string(dlg.current()->rows));
    });
  driver_.ui().AnswerOpenFile(bundle_.makersFile("Tiles/weave_import.tif"));
  driver_.Press(kCwea, 117).Press(kEwea, 1).Press(kCwea, 101);
  ASSERT_EQ(dlg.Do_CreaWeavDlg(), 1);
  EXPECT_EQ(sizes, (std::set<std::string>{"2x2", "4x4", "5x5"}));
  const WeaveInfo& w = *dlg.current();
  ASSERT_EQ(w.columns, 32);
  ASSERT_EQ(w.rows, 32);
  // Dark and light in turn along the rows and down the columns, from the
  // first column and row to the last.
  for (int r = 0; r < 32; ++r)
    for (int c = 0; c < 32; ++c) {
      if (c < 31) {
        EXPECT_NE(w.cells[r][c], w.cells[r][c + 1]) << r << " " << c;
      }
      if (r < 31) {
        EXPECT_NE(w.cells[r][c], w.cells[r + 1][c]) << r << " " << c;
      }
    }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
