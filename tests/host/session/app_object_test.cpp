#include "host/session/app_object.h"

#include <gtest/gtest.h>

#include <set>

#include "app/core/memory_manager.h"
#include "app/folder_scans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/bundle_fixture.h"
#include "host/session/document.h"
#include "host/session/small_dialogs.h"
#include "platform/toolbox/test_driver.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace {

FilterRecord RecordOf(int16_t width, int16_t height, int16_t rectWidth, int16_t rectHeight) {
  FilterRecord r;
  r.planeCount = 3;
  r.imageMode = 3;
  r.imageWidth = width;
  r.imageHeight = height;
  r.imageRect = Rect{0, 0, rectHeight, rectWidth};
  r.resolutionH = 300 << 16;
  return r;
}

// gPer and gFilterRecord for one test, with the registry the application
// object makes.
class AppObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gPer = &per_;
    gFilterRecord = &record_;
    record_ = RecordOf(1000, 500, 1000, 500);
    ASSERT_EQ(LocateMakersFolder(&per_.makersFolder), 1);
  }
  void TearDown() override {
    gPer = nullptr;
    gFilterRecord = nullptr;
  }
  TPermanent per_;
  FilterRecord record_;
  vmktest::TestBundle bundle_;
  plat::tb::test::Driver driver_;
};

TEST_F(AppObjectTest, PreviewBoxFollowsTheImageProportions) {
  struct Case {
    int16_t w, h, rw, rh;
    float bw, bh;
    int32_t pw, ph;
  };
  const Case cases[] = {{1000, 500, 1000, 500, 500, 250, 1000, 500},
                        {500, 1000, 500, 1000, 250, 500, 500, 1000},
                        {500, 500, 500, 500, 500, 500, 500, 500},
                        // a rectangle beyond the image is held to the image
                        {400, 300, 800, 900, 500, 375, 400, 300},
                        // an empty image has an empty box, not a division by zero
                        {0, 0, 0, 0, 0, 0, 0, 0}};
  for (const Case& c : cases) {
    record_ = RecordOf(c.w, c.h, c.rw, c.rh);
    per_.memMan = new CMemMan();
    ASSERT_EQ(Init_PerData(&per_, 500, 500), 0);
    EXPECT_FLOAT_EQ(per_.boxWidth, c.bw) << c.w << "x" << c.h;
    EXPECT_FLOAT_EQ(per_.boxHeight, c.bh) << c.w << "x" << c.h;
    EXPECT_EQ(per_.previewWidth, c.pw);
    EXPECT_EQ(per_.previewHeight, c.ph);
    EXPECT_EQ(record_.inRect.bottom, record_.imageRect.top + 1);
    EXPECT_EQ(record_.inLastPlane, 2);
    EXPECT_FLOAT_EQ(per_.resolution, 300.0f);
    EXPECT_EQ(FicToPosix(per_.layerScratch), bundle_.makersFile("com.vellmarkstead.lay"));
    EXPECT_EQ(per_.layerScratch.type, FourCC("aLay"));
    Delete_PerData(&per_);
    EXPECT_EQ(per_.memMan->count(), 0);
    delete per_.memMan;
    per_.memMan = nullptr;
  }
}

TEST_F(AppObjectTest, SessionRecordBlocksThatCannotBeHadFailTheStart) {
  per_.memMan = new CMemMan();
  {
    vmktest::NoWorkMemory none;
    EXPECT_EQ(Init_PerData(&per_, 500, 500), -1);
  }
  Delete_PerData(&per_);
  delete per_.memMan;
  per_.memMan = nullptr;
}

TEST_F(AppObjectTest, ViewTableHoldsEveryIdentifierInOrder) {
  int image = 0;
  int colour = 0;
  std::set<std::string> ids;
  for (int i = 0; i < kCustomViewCount; ++i) {
    (CustomViewAt(i).kind == ViewKind::kImage ? image : colour)++;
    ids.insert(CustomViewClassId(i));
  }
  EXPECT_EQ(image, 122);
  EXPECT_EQ(colour, 43);
  EXPECT_EQ(ids.size(), 165u);
  EXPECT_EQ(CustomViewClassId(0), "com.vellmarkstead.pinmain.HIima");
  EXPECT_EQ(CustomViewClassId(kCustomViewCount - 1), "com.vellmarkstead.ieff.HIss3");
  const int cwe7 = FindCustomView("com.vellmarkstead.ppla.HIcwe7");
  ASSERT_GE(cwe7, 0);
  EXPECT_EQ(CustomViewAt(cwe7).entry, 6);
  EXPECT_EQ(CustomViewAt(cwe7).kind, ViewKind::kColour);
  const int32_t sizes[kViewArrayCount] = {12, 12, 16, 16, 6, 15, 15, 5, 4, 3, 3};
  for (int k = 0; k < kViewArrayCount; ++k) EXPECT_EQ(ViewArraySize(k), sizes[k]) << k;
  EXPECT_EQ(ViewArrayUsed(7), 4);
}

TEST_F(AppObjectTest, SessionRegistersEveryViewAndEndsWithEveryBlockFreedOnce) {
  for (int round = 0; round < 2; ++round) {  // a second session registers again
    auto* app = new VMKapp();
    ASSERT_EQ(app->initStatus, 0);
    EXPECT_EQ(gappData, &app->appData);
    ASSERT_EQ(app->InitNibRef(1), 0);
    for (int i = 0; i < kCustomViewCount; ++i) EXPECT_NE(app->ViewInstance(i), nullptr) << i;
    // The effect array has room for a fifth view that nobody registers.
    EXPECT_EQ(app->viewArrays[7][4], nullptr);
    const int vig3 = FindCustomView("com.vellmarkstead.livi.HIvig3");
    EXPECT_EQ(app->ViewInstance(vig3), app->viewArrays[0][3]);
    EXPECT_EQ(app->ImageView(vig3), static_cast<VMKimabox*>(app->viewArrays[0][3]));
    EXPECT_EQ(app->ColourView(vig3), nullptr);
    // The session record's two blocks and the eleven arrays.
    CMemMan* mm = per_.memMan;
    EXPECT_EQ(mm->count(), 13);
    app->UnRegisterCustControl();
    EXPECT_EQ(mm->count(), 2);
    for (int i = 0; i < kCustomViewCount; ++i) EXPECT_EQ(app->ViewInstance(i), nullptr);
    delete app;
    EXPECT_EQ(per_.memMan, nullptr);
    EXPECT_EQ(gVMKapp, nullptr);
    EXPECT_EQ(gappData, nullptr);
  }
}

TEST_F(AppObjectTest, ApplicationDataNamesTheMakersFolder) {
  SetPStr(per_.makersFolder.path, "Disk:Support:");
  SetPStr(per_.makersFolder.name, "Vellmarkstead");
  VMKapp app;
  EXPECT_EQ(PStrView(app.appData.folder.path), "Disk:Support:Vellmarkstead:");
  EXPECT_EQ(app.appData.folder.name[0], 0);
  EXPECT_EQ(app.appData.folder.type, FourCC("AuQv"));
  EXPECT_EQ(PStrView(app.appData.helpPage.name), "Vellmarks.htm");
  EXPECT_EQ(app.appData.helpPage.creator, FourCC("MOSS"));
  EXPECT_EQ(app.appData.imageMode, 3);
}

TEST_F(AppObjectTest, MissingNibRefusesTheSession) {
  SetBundleFolder("/nonexistent/ApeVMKPlugin.bundle");
  VMKapp app;
  EXPECT_NE(app.InitNibRef(1), 0);
  EXPECT_EQ(app.appData.nibRef, nullptr);
}

TEST_F(AppObjectTest, DocumentScriptCoversThePreviewBox) {
  VMKapp app;
  VMKdoc doc;
  EXPECT_EQ(doc.width, 1000);
  EXPECT_EQ(doc.height, 500);
  EXPECT_EQ(doc.resolution, 300);
  EXPECT_EQ(doc.imageMode, 3);
  ASSERT_NE(doc.script, nullptr);
  EXPECT_NE(doc.layer, nullptr);
  DocData copy;
  copy.width = 7;
  CopyDocData(&doc, &copy);
  EXPECT_EQ(copy.width, 1000);
  EXPECT_EQ(copy.script, nullptr);
  EXPECT_EQ(copy.layer, nullptr);
}

TEST_F(AppObjectTest, BasicOrAdvancedAnswersByButton) {
  VMKapp app;
  ASSERT_EQ(app.InitNibRef(1), 0);
  driver_.Press(FourCC("BaAd"), 2);
  EXPECT_EQ(app.Do_BasAdvDlog(41), 2);
  driver_.Press(FourCC("BaAd"), 1);
  EXPECT_EQ(app.Do_BasAdvDlog(116), 1);
  EXPECT_EQ(app.Do_BasAdvDlog(7), 0);  // no window for it
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(AppObjectTest, AlertsAnswerByCommand) {
  VMKapp app;
  ASSERT_EQ(app.InitNibRef(1), 0);
  VMKlibr library;
  EXPECT_EQ(library.Do_AlertDlg(3), 0);
  driver_.Press(FourCC("Aler"), 3);
  EXPECT_EQ(library.Do_AlertDlg(1), 2);
  driver_.Press(FourCC("Aler"), 2);
  EXPECT_EQ(library.Do_AlertDlg(2), 0);
  driver_.Press(FourCC("Aler"), 1);
  EXPECT_EQ(library.Do_AlertDlg(2), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
