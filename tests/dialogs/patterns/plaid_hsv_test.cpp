// The HSV sub-dialog on its own (clamps, link, the pending hand-shake) and
// inside the plaid creator: its values previewed on a copy within one plaid
// tick, given to the record only on OK, and Cmd-Z typed into its fields
// undoing the plaid's last change.
#include "dialogs/patterns/plaid_fixture.h"
#include "host/session/app_object.h"
#include "views/colour_box.h"
#include "views/image_box.h"

using vmktest::PlaidDialogTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kHSVOk = 1, kHSVCancel = 2;
constexpr int32_t kWarpColourMenu = 110;

VMKcolbox* Swatch(const std::string& name) {
  const int index = FindCustomView("com.vellmarkstead.ppla." + name);
  return index >= 0 ? gVMKapp->ColourView(index) : nullptr;
}

TEST_F(PlaidDialogTest, HSVClampsHueAndSaturationAndTakesTheValueAsTypedWithinItsShort) {
  VMKadjHSVUI dlg;
  dlg.SetAdjHSVFlagPreview(1);
  int16_t pendingAtTick = -1;
  driver_.Advance(0.01)
      .Type(kAhsv, 6, "500")
      .Type(kAhsv, 13, "-150")
      .Type(kAhsv, 16, "500")
      .Type(kAhsv, 28, "40000")
      .Advance(0.3)
      .Do([&](tb::WindowRef) { pendingAtTick = dlg.CheckSetPreview(0); })
      .Press(kAhsv, kHSVOk);
  ASSERT_EQ(dlg.Do_AdjHSVUIDlg(), 1);
  int16_t v[6];
  dlg.GetHSV(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
  EXPECT_EQ(v[0], 180);
  EXPECT_EQ(v[1], -100);
  EXPECT_EQ(v[2], 500);
  EXPECT_EQ(v[5], 32767);
  EXPECT_EQ(pendingAtTick, 1);
  EXPECT_EQ(dlg.CheckSetPreview(0), 0);
}

TEST_F(PlaidDialogTest, HSVOpenedAndCancelledLeavesNothingPendingAndAValueTypedJustBeforeOkCounts) {
  {
    VMKadjHSVUI dlg;
    dlg.SetAdjHSVFlagPreview(1);
    driver_.Advance(0.01).Advance(0.3).Press(kAhsv, kHSVCancel);
    EXPECT_EQ(dlg.Do_AdjHSVUIDlg(), 0);
    EXPECT_EQ(dlg.pending, 0);
    EXPECT_EQ(dlg.CheckSetPreview(0), 0);
  }
  VMKadjHSVUI dlg;
  driver_.Advance(0.01).Type(kAhsv, 18, "-33").Press(kAhsv, kHSVOk);
  ASSERT_EQ(dlg.Do_AdjHSVUIDlg(), 1);
  EXPECT_EQ(dlg.values[3], -33);
  // Without the owner's preview flag nothing is ever handed out.
  dlg.pending = 1;
  EXPECT_EQ(dlg.CheckSetPreview(0), 0);
}

TEST_F(PlaidDialogTest, HSVLinkHidesTheWeftSideAndCopiesTheWarp) {
  VMKadjHSVUI dlg;
  bool weftShown[2] = {false, true};
  int16_t weftHue = 0;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) { weftShown[0] = tb::IsControlVisible(tb::FindControl(w, kAhsv, 18)); })
      .Slide(kAhsv, 10, 40)
      .Press(kAhsv, 5)
      .Do([&](tb::WindowRef w) {
        weftShown[1] = tb::IsControlVisible(tb::FindControl(w, kAhsv, 18)) ||
                       tb::IsControlVisible(tb::FindControl(w, kAhsv, 4)) ||
                       tb::IsControlVisible(tb::FindControl(w, kAhsv, 29));
        weftHue = dlg.values[3];
      })
      .Slide(kAhsv, 12, -20)
      .Press(kAhsv, kHSVOk);
  ASSERT_EQ(dlg.Do_AdjHSVUIDlg(), 1);
  EXPECT_TRUE(weftShown[0]);
  EXPECT_FALSE(weftShown[1]);
  EXPECT_EQ(weftHue, 40);
  EXPECT_EQ(dlg.values[5], -20);
  EXPECT_EQ(dlg.link, 1);
}

TEST_F(PlaidDialogTest, AnHSVSliderReachesThePreviewAndAllSwatchesWithinOnePlaidTickAndCancelRestoresThem) {
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(4);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar expected = owner;
  AdjHSV_ColPlaidPar(&expected, 60, 0, 0, 0, 0, 0);
  PlaidPar previewed, previewedAfterCancel, record;
  int16_t swatches[2][16][3] = {};
  driver_.Advance(0.01)
      .Choose(kPpla, kWarpColourMenu, 1)
      .Slide(kAhsv, 10, 60)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        previewed = *dlg.previewBox()->plaidRecord();
        record = *dlg.current();
        for (int k = 0; k < 16; ++k) {
          Swatch("HIcwa" + std::to_string(k + 1))->GetCol(&swatches[0][k][0], &swatches[0][k][1], &swatches[0][k][2]);
          Swatch("HIcwe" + std::to_string(k + 1))->GetCol(&swatches[1][k][0], &swatches[1][k][1], &swatches[1][k][2]);
        }
      })
      .Press(kAhsv, kHSVCancel)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { previewedAfterCancel = *dlg.previewBox()->plaidRecord(); })
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  ASSERT_FALSE(SameColours(expected, owner));
  EXPECT_TRUE(SameColours(previewed, expected));
  EXPECT_TRUE(SameColours(record, owner));  // the record waits for OK
  for (int k = 0; k < 16; ++k) {
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(swatches[0][k][c], expected.paletteB[c][k]) << k;
      EXPECT_EQ(swatches[1][k][c], expected.paletteA[c][k]) << k;
    }
  }
  EXPECT_TRUE(SameColours(previewedAfterCancel, owner));
  EXPECT_TRUE(SameColours(*dlg.current(), owner));
  EXPECT_EQ(dlg.hsvDialog, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PlaidDialogTest, HSVOkGivesTheShiftsToTheRecordAndNoShiftChangesNothing) {
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(2);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar unchanged;
  driver_.Advance(0.01)
      .Choose(kPpla, kWarpColourMenu, 1)
      .Press(kAhsv, kHSVOk)
      .Do([&](tb::WindowRef) { unchanged = *dlg.current(); })
      .Choose(kPpla, 111, 1)
      .Type(kAhsv, 18, "-90")
      .Type(kAhsv, 25, "20")
      .Press(kAhsv, kHSVOk)
      .Advance(0.5)
      .Press(kPpla, kOk);
  ASSERT_EQ(dlg.Do_CreaPlaidDlg(1), 1);
  // The colour round trip alone would move some colours.
  PlaidPar roundTrip = owner;
  AdjHSV_ColPlaidPar(&roundTrip, 0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(SameColours(roundTrip, owner));
  EXPECT_TRUE(Same(unchanged, owner));
  PlaidPar expected = owner;
  AdjHSV_ColPlaidPar(&expected, 0, 0, 0, -90, 20, 0);
  EXPECT_TRUE(SameColours(*dlg.current(), expected));
  for (int16_t v : dlg.pendingHSV) EXPECT_EQ(v, 0);
}

TEST_F(PlaidDialogTest, CmdZTypedIntoAnHSVFieldUndoesThePlaidsLastChangeAtItsNextTick) {
  VMKcreaplaidUI dlg;
  const PlaidPar owner = Numbered(3);
  dlg.SetPlaidPar(255, &owner);
  PlaidPar restored;
  int16_t requestBefore = 0, requestAfter = 1;
  std::string field;
  driver_.Advance(0.01)
      .Choose(kPpla, kWarpColourMenu, 1)
      // A change the plaid's backup does not hold.
      .Do([&](tb::WindowRef) { dlg.current()->paletteB[0][0] = 1; })
      .Key('z', cmdKey)
      .Do([&](tb::WindowRef w) {
        requestBefore = VMKcreaplaidUI::UndoRequest();
        field = tb::GetControlText(tb::FindControl(w, kAhsv, 6));
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        requestAfter = VMKcreaplaidUI::UndoRequest();
        restored = *dlg.current();
      })
      .Press(kAhsv, kHSVCancel)
      .Press(kPpla, kCancel);
  dlg.Do_CreaPlaidDlg(1);
  EXPECT_EQ(requestBefore, 1);
  EXPECT_EQ(field, "0");  // the key never reached the field
  EXPECT_EQ(requestAfter, 0);
  EXPECT_EQ(restored.paletteB[0][0], owner.paletteB[0][0]);
}

}  // namespace
