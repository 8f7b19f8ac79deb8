#include "host/session/small_dialogs.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QEvent>

#include <cstring>

#include "app/core/memory_manager.h"
#include "app/folder_scans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/app_object.h"
#include "platform/toolbox/test_driver.h"
#include "script/operation.h"

namespace {

constexpr OSType kOk = 1;

class SmallDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPer = &per_;
    gFilterRecord = &record_;
    app_ = std::make_unique<VMKapp>();
    ASSERT_EQ(app_->InitNibRef(1), 0);
  }
  void TearDown() override {
    app_.reset();
    gPer = nullptr;
    gFilterRecord = nullptr;
  }
  TPermanent per_;
  FilterRecord record_;
  vmktest::TestBundle bundle_;
  std::unique_ptr<VMKapp> app_;
  plat::tb::test::Driver driver_;
  VMKlibr lib_;
};

TEST_F(SmallDialogsTest, PercentagesAreHeldToTheirRangesAtTheNextTick) {
  int16_t a = 50, b = 50;
  driver_.Type(FourCC("Popt"), 3, "0").Type(FourCC("Popt"), 5, "101").Advance(1.1).Press(FourCC("Popt"), kOk);
  EXPECT_EQ(lib_.Do_PercOptDlg(&a, &b), 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 100);
  int16_t option = 1, percent = 40;
  driver_.Type(FourCC("Clop"), 5, "250").Advance(1.1).Press(FourCC("Clop"), kOk);
  EXPECT_EQ(lib_.Do_MaskOptDlg(&option, &percent), 1);
  EXPECT_EQ(percent, 100);
  driver_.Type(FourCC("Clop"), 5, "-5").Advance(1.1).Choose(FourCC("Clop"), 3, 3).Press(FourCC("Clop"), kOk);
  EXPECT_EQ(lib_.Do_MaskOptDlg(&option, &percent), 1);
  EXPECT_EQ(percent, 0);
  EXPECT_EQ(option, 3);
  // Typed but not yet applied when cancelled: nothing comes back.
  driver_.Type(FourCC("Popt"), 3, "7").Press(FourCC("Popt"), 2);
  EXPECT_EQ(lib_.Do_PercOptDlg(&a, &b), 0);
  EXPECT_EQ(a, 1);
  EXPECT_TRUE(driver_.errors().empty());
}

// Return presses OK at once, before the second the fields wait for after a
// key: the values just typed are the ones handed back, held to their ranges
// as the tick would hold them.
TEST_F(SmallDialogsTest, ReturnRightAfterTypingHandsBackWhatWasTyped) {
  int16_t a = 50, b = 50;
  driver_.Type(FourCC("Popt"), 3, "30").Type(FourCC("Popt"), 5, "150").Key(13);
  EXPECT_EQ(lib_.Do_PercOptDlg(&a, &b), 1);
  EXPECT_EQ(a, 30);
  EXPECT_EQ(b, 100);
  TObjPar par;
  Init_TObjPar(&par);
  driver_.Type(FourCC("Csta"), 7, "12").Press(FourCC("Csta"), kOk);
  EXPECT_EQ(lib_.Do_CreStarDlg(&par), 1);
  EXPECT_EQ(par.w[kObjStarPoints], 12);
  int16_t option = 1, percent = 40;
  driver_.Type(FourCC("Clop"), 5, "70").Key(13);
  EXPECT_EQ(lib_.Do_MaskOptDlg(&option, &percent), 1);
  EXPECT_EQ(percent, 70);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(SmallDialogsTest, ShapeDialogsLimitTheirWordsAndCopyBackOnlyOnOk) {
  TObjPar par;
  Init_TObjPar(&par);
  const TObjPar before = par;
  driver_.Type(FourCC("Csta"), 7, "1").Advance(1.1).Press(FourCC("Csta"), 2);
  EXPECT_EQ(lib_.Do_CreStarDlg(&par), 0);
  EXPECT_EQ(std::memcmp(&par, &before, sizeof par), 0);
  driver_.Type(FourCC("Csta"), 7, "5000").Type(FourCC("Csta"), 9, "1").Advance(1.1).Press(FourCC("Csta"), kOk);
  EXPECT_EQ(lib_.Do_CreStarDlg(&par), 1);
  EXPECT_EQ(par.w[kObjStarPoints], 2000);
  EXPECT_EQ(par.w[kObjStarInner], 1);
  driver_.Type(FourCC("Csta"), 7, "1").Advance(1.1).Press(FourCC("Csta"), kOk);
  lib_.Do_CreStarDlg(&par);
  EXPECT_EQ(par.w[kObjStarPoints], 2);

  driver_.Type(FourCC("Crec"), 5, "5000").Type(FourCC("Crec"), 7, "-20000").Advance(1.1)
      .Press(FourCC("Crec"), 10).Press(FourCC("Crec"), kOk);
  EXPECT_EQ(lib_.Do_CreRectDlg(&par), 1);
  EXPECT_EQ(par.w[6], 5000);
  EXPECT_EQ(par.w[10], -10000);
  EXPECT_EQ(par.w[kObjCornerStyle], 1);  // top left bevelled

  driver_.Type(FourCC("Ctab"), 11, "0").Type(FourCC("Ctab"), 13, "0").Advance(1.1).Press(FourCC("Ctab"), kOk);
  EXPECT_EQ(lib_.Do_CreTableDlg(&par), 1);
  EXPECT_EQ(par.w[kObjColumns], 1);
  EXPECT_EQ(par.w[kObjRows], 1);

  driver_.Choose(FourCC("Cstp"), 4, 3).Type(FourCC("Cstp"), 13, "-720").Advance(1.1).Press(FourCC("Cstp"), kOk);
  EXPECT_EQ(lib_.Do_CreStepDlg(&par), 1);
  EXPECT_EQ(par.w[kObjStepMode], 2);
  EXPECT_EQ(par.w[kObjStepAngle], -720);  // not limited
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(SmallDialogsTest, GridStepAndMoveHandNumbersBackEvenOnCancel) {
  int32_t h = 10, v = 20;
  driver_.Type(FourCC("Gstp"), 6, "33").Press(FourCC("Gstp"), 2);
  EXPECT_EQ(lib_.Do_GrdStpDlg(&h, &v), 0);
  EXPECT_EQ(h, 33);
  EXPECT_EQ(v, 20);
  int32_t from = 1, to = 2;
  driver_.Type(FourCC("Mlay"), 5, "4").Press(FourCC("Mlay"), kOk);
  EXPECT_EQ(lib_.Do_MovLayDlg(1, &from, &to), 1);
  EXPECT_EQ(to, 4);
  char name[256] = "Layer 1";
  driver_.Type(FourCC("Catn"), 1, "Sky").Press(FourCC("Catn"), 101);
  EXPECT_EQ(lib_.Do_CatalogDlg(0, name), 1);
  EXPECT_STREQ(name, "Sky");
  EXPECT_EQ(lib_.Do_CatalogDlg(2, name), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(SmallDialogsTest, SelectionOptionsEditTheCurrentEntryHeldToTheTable) {
  OprnExt ext{};
  ext.head[5] = 99;  // a damaged index: the last entry is edited
  ext.SelLevel[15] = 10;
  OprnExt untouched{};
  untouched.SelLevel[0] = 77;
  lib_.GetSeleVal(&untouched);  // no copy yet: nothing written
  EXPECT_EQ(untouched.SelLevel[0], 77);
  EXPECT_EQ(lib_.Do_SeleOptDlg(), 0);  // no copy: no dialog
  lib_.SetSeleVal(&ext);
  driver_.Type(FourCC("Seop"), 4, "250").Type(FourCC("Seop"), 6, "42").Advance(1.1).Press(FourCC("Seop"), kOk);
  EXPECT_EQ(lib_.Do_SeleOptDlg(), 1);
  EXPECT_EQ(lib_.SeleCheckSetRefresh(0), 1);
  EXPECT_EQ(lib_.SeleCheckSetRefresh(0), 0);
  OprnExt out{};
  lib_.GetSeleVal(&out);
  EXPECT_EQ(out.SelLevel[15], 100);
  EXPECT_EQ(out.SelValueD[15], 42);
  EXPECT_EQ(out.SelLevel[0], 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(SmallDialogsTest, ColourOptionsTakeTheSwatchOnOk) {
  int16_t mode = 2, r = 10, g = 20, b = 30;
  driver_.Choose(FourCC("Copt"), 3, 1).Press(FourCC("Copt"), kOk);
  EXPECT_EQ(lib_.Do_ColorOptDlg(&mode, &r, &g, &b), 1);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(b, 30);
  int16_t clear = 2;
  driver_.Choose(FourCC("Clop"), 3, 4).Press(FourCC("Clop"), 2);
  EXPECT_EQ(lib_.Do_ClearOptDlg(&clear), 0);
  EXPECT_EQ(clear, 2);
  driver_.Press(FourCC("Updt"), kOk);
  EXPECT_EQ(lib_.Do_UpdateDlg(), 1);
  plat::tb::WindowRef progress = lib_.Do_UpdatingDlg(0, nullptr);
  ASSERT_NE(progress, nullptr);
  EXPECT_TRUE(plat::tb::IsWindowVisible(progress));
  EXPECT_EQ(lib_.Do_UpdatingDlg(1, progress), nullptr);
  // The host's event loop takes a disposed window back on its next turn; no loop runs here.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  driver_.Pump();
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
