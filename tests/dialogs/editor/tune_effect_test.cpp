// The operation-list editor's record: what the constructor sets, what the
// destructor gives back, and the small members the launcher and the main
// editing window call.
#include <gtest/gtest.h>

#include "dialogs/editor/dispatch_fixture.h"
#include "host/session/document.h"

using vmktest::DispatchTest;

namespace {

TEST_F(DispatchTest, TheEditorStartsWithItsDocumentedValuesAndGivesItsBlocksBack) {
  const int32_t blocks = per_.memMan->count();
  {
    VMKtuneeff e;
    EXPECT_EQ(gVMKtuneeff, &e);
    EXPECT_EQ(per_.memMan->count(), blocks + 5);
    EXPECT_EQ(e.shown, 0);
    EXPECT_EQ(e.refreshFlag, 0);
    EXPECT_EQ(e.chanFlag, 0);
    EXPECT_EQ(e.loopCount, 3);
    EXPECT_EQ(e.slotCount, 3);
    EXPECT_EQ(e.loopWords[0], -1);
    EXPECT_EQ(e.loopWords[2], -1);
    EXPECT_EQ(e.previewOn, 1);
    EXPECT_EQ(e.imaToolsValue, 1);
    EXPECT_EQ(e.showAdjust, 0);
    EXPECT_EQ(e.showSource, 1);
    EXPECT_EQ(e.showMask, 1);
    EXPECT_EQ(e.showSwatch[1], 0);
    EXPECT_EQ(e.currentOprn, 1);
    EXPECT_EQ(e.currentKindItem, 1);
    EXPECT_EQ(e.maskMode, 1);
    EXPECT_EQ(e.maskChannel, 1);
    EXPECT_EQ(e.destChannel, 2);
    EXPECT_EQ(e.sourceChannel, 1);
    EXPECT_EQ(e.opacity, 255);
    EXPECT_EQ(e.blendItem, 1);
    EXPECT_EQ(e.selectionItem, 1);
    EXPECT_EQ(e.window, nullptr);
    EXPECT_EQ(e.script, nullptr);
    EXPECT_EQ(e.rampPreviewFlag, 1);
    EXPECT_EQ(e.selectionDialog, nullptr);
    EXPECT_EQ(e.rampEditor, nullptr);
    ASSERT_NE(e.resultPlanes, nullptr);
    ASSERT_NE(e.sourcePlanes, nullptr);
    for (int c = 0; c < VMKtuneeff::kPlaneSlots; ++c) EXPECT_EQ(e.resultPlanes[c], nullptr);
    ASSERT_NE(e.drawPar, nullptr);
    EXPECT_EQ(e.drawPar->limit.right, 32000);
    ASSERT_NE(e.effectFiles, nullptr);
    EXPECT_EQ(e.effectFiles[4095].name[0], 0);
    // Planes the previews leave in the tables go back with the editor.
    e.resultPlanes[6] = reinterpret_cast<uint8_t*>(per_.memMan->NewBuf(100));
    e.sourcePlanes[89] = reinterpret_cast<uint8_t*>(per_.memMan->NewBuf(100));
  }
  EXPECT_EQ(gVMKtuneeff, nullptr);
  EXPECT_EQ(per_.memMan->count(), blocks);
}

TEST_F(DispatchTest, BindingValuesPreviewRequestsAndTheLaunchedPlaid) {
  VMKtuneeff e;
  e.LoadVal(3, 42);
  EXPECT_EQ(e.currentOprn, 3);
  EXPECT_EQ(e.currentKindItem, 42);
  e.SetScriptFile(script(), 0, 1, 1200, 900, 10, 20, 1190, 880);
  EXPECT_EQ(e.script, script());
  EXPECT_EQ(e.document, doc());
  EXPECT_EQ(e.layer, 1);
  EXPECT_EQ(e.imageWidth, 1200);
  EXPECT_EQ(e.areaBottom, 880);
  // Without a window the loaded operation stays current.
  EXPECT_EQ(e.currentOprn, 3);
  EXPECT_EQ(e.currentKindItem, 42);
  // Only a plaid starts with Param1 255, on the bound current operation
  // whatever script the call names.
  Plant(3, 42);
  e.InitScriptParams(nullptr, 7, 9, 41);
  int16_t p1 = 0;
  script()->GetParam1(0, 1, 3, &p1);
  EXPECT_NE(p1, 255);
  e.InitScriptParams(nullptr, 7, 9, 42);
  script()->GetParam1(0, 1, 3, &p1);
  EXPECT_EQ(p1, 255);
  e.pendingPreview = 1;
  EXPECT_EQ(e.CheckSetPreview(0), 1);
  EXPECT_EQ(e.CheckSetPreview(5), 0);
  e.previewOn = 0;
  EXPECT_EQ(e.CheckSetPreview(0), 0);
  EXPECT_EQ(e.pendingPreview, 5);
  e.SetChanFlag(4);
  EXPECT_EQ(e.GetChanFlag(), 4);
  e.SetRefreshFlag(2);
  EXPECT_EQ(e.refreshFlag, 2);
}

}  // namespace
