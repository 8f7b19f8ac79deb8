// The load-effect browser on the test driver: scrolling and selection, the rebuilt list,
// hidden slots, hover previews in the main window, and choosing without loading.
#include "dialogs/editor/load_effect.h"

#include <gtest/gtest.h>

#include "browser_fixture.h"
#include "platform/toolbox/toolbox.h"

namespace {

using vmktest::BrowserTest;
namespace tb = plat::tb;

constexpr OSType kLeff = FourCC("Leff");
constexpr int32_t kOk = 1, kCancel = 2, kUpdate = 19, kBrowse = 20;
constexpr int32_t kScroll = 22, kCategory = 23, kName = 24;

std::string Shown(VMKloadeff& b, int k) { return tb::GetControlText(b.nameTexts[k]); }

TEST_F(BrowserTest, ChoosingANameScrollsAndSelects) {
  Store(20);
  VMKloadeff browser;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(tb::CountMenuItems(browser.namePopup), 20);
        EXPECT_EQ(Shown(browser, 0), "e01");
        EXPECT_EQ(browser.selectedSlot, 1);
      })
      .Choose(kLeff, kName, 18)
      .Do([&](tb::WindowRef) {
        // Names 6 to 20, the eighteenth selected in the thirteenth slot.
        EXPECT_EQ(browser.list->firstVisible, 5);
        EXPECT_EQ(browser.selectedSlot, 13);
        EXPECT_EQ(Shown(browser, 0), "e06");
        EXPECT_EQ(Shown(browser, 12), "e18");
        EXPECT_EQ(Shown(browser, 14), "e20");
        EXPECT_EQ(gPer->effectListWord, 5);
      })
      .Choose(kLeff, kName, 3)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(browser.list->firstVisible, 2);
        EXPECT_EQ(browser.selectedSlot, 1);
        EXPECT_EQ(Shown(browser, 0), "e03");
        EXPECT_EQ(Shown(browser, 14), "e17");
        EXPECT_EQ(tb::GetControl32BitValue(browser.scrollBar), 2);
      })
      // The scroll bar's page part moves ten steps.
      .PressPart(kLeff, kScroll, tb::kControlPageDownPart)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(browser.list->firstVisible, 5);
        EXPECT_EQ(browser.selectedSlot, 8);
      })
      .Advance(0.6)
      .Press(kLeff, kOk);
  ASSERT_EQ(browser.Do_LoadEffDlg(117), 1);
  fichier chosen;
  browser.GetSelecFich(&chosen);
  // Entry 13 (index 12) sits in the eighth slot of the last page.
  EXPECT_EQ(PStrString(chosen.name), "e13.ach1");
  EXPECT_EQ(FicToPosix(chosen), bundle_.makersFile("Effects/e13.ach1"));
  EXPECT_TRUE(driver_.errors().empty());
}

// A click on a preview and OK at once, before the browser's next tick: the
// entry clicked is the one chosen (the first slot's was, once).
TEST_F(BrowserTest, AnEntryClickedJustBeforeOkIsTheOneChosen) {
  Store(5);
  VMKloadeff browser;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) {
        // Shown as saved; the pick still names the file with its type's suffix.
        EXPECT_EQ(Shown(browser, 3), "e04");
        driver_.ClickControl(browser.previewViews[3]);
      })
      .Press(kLeff, kOk);
  ASSERT_EQ(browser.Do_LoadEffDlg(117), 1);
  EXPECT_EQ(browser.selectedSlot, 4);
  fichier chosen;
  browser.GetSelecFich(&chosen);
  EXPECT_EQ(PStrString(chosen.name), "e04.ach1");
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, ReopeningShowsTheRememberedPosition) {
  Store(20);
  {
    VMKloadeff browser;
    driver_.Advance(0.1).Choose(kLeff, kName, 4).Press(kLeff, kCancel);
    EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  }
  VMKloadeff again;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(again.list->firstVisible, 3);
        EXPECT_EQ(Shown(again, 0), "e04");
      })
      .Press(kLeff, kCancel);
  EXPECT_EQ(again.Do_LoadEffDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, UpdateRebuildsAndStartsAtTheSecondEntry) {
  Store(3, "Warm");
  Store(2, "Cold", 4);
  VMKloadeff browser;
  driver_.Advance(0.1)
      .Choose(kLeff, kCategory, 3)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(tb::GetMenuItemText(browser.categoryPopup, 3), "Cold");
        EXPECT_EQ(tb::CountMenuItems(browser.namePopup), 2);
        EXPECT_EQ(tb::GetMenuItemText(browser.namePopup, 1), "e04");
        Store(1, "Cold", 6);  // stored after the list was made: not listed yet
      })
      .Press(kLeff, kUpdate)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(browser.list->selectedCategory, 1);
        EXPECT_EQ(tb::CountMenuItems(browser.namePopup), 6);
        EXPECT_EQ(tb::GetMenuItemText(browser.namePopup, 6), "6 e06");
        // Kept: the first entry is off screen after a rebuild.
        EXPECT_EQ(browser.list->firstVisible, 1);
        EXPECT_EQ(Shown(browser, 0), "e02");
        EXPECT_EQ(browser.selectedSlot, 1);
      })
      .Press(kLeff, kCancel);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, FewerEntriesThanSlotsHideTheRest) {
  Store(4);
  VMKloadeff browser;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        for (int k = 0; k < VMKloadeff::kSlots; ++k) {
          EXPECT_EQ(tb::IsControlVisible(browser.previewViews[k]), k < 4) << k;
          EXPECT_EQ(Shown(browser, k).empty(), k >= 4) << k;
        }
        EXPECT_EQ(browser.slots[2]->previewWidth, 130);
        EXPECT_EQ(browser.slots[2]->previewHeight, 100);
      })
      .Press(kLeff, kCancel);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, HoverPreviewsInTheMainWindowAndClosingRestoresIt) {
  Store(5);
  vmktest::RecordingPinMain main;
  VMKloadeff browser;
  browser.SetPinMain(&main);
  driver_.Advance(0.1).Hover(kLeff, kName, {2, 4}).Press(kLeff, kCancel);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  EXPECT_EQ(main.calls, (std::vector<std::string>{"prepare 1 e02.ach1", "refresh 1", "loop",
                                                  "prepare 1 e04.ach1", "refresh 1", "loop",
                                                  "prepare 1 -", "refresh 1", "loop"}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, OkAndBrowseChooseWithoutTouchingTheDocument) {
  Store(3);
  Doc()->script->SetEffect(0, 1, 1, 9, 0, 0, 0, 0);
  const std::vector<uint8_t> before = LayerBytes();
  {
    VMKloadeff browser;
    driver_.Advance(0.1).Choose(kLeff, kName, 2).Press(kLeff, kOk);
    EXPECT_EQ(browser.Do_LoadEffDlg(117), 1);
    EXPECT_EQ(browser.lastLoadMode, 0);
    EXPECT_EQ(LayerBytes(), before);
  }
  const std::string browsed = stored_->Effect("elsewhere", "Warm", FourCC("aCH1"), 17, 3, 130, 100,
                                              5, "Other");
  VMKloadeff browser;
  driver_.ui().AnswerOpenFile(std::nullopt);  // a cancelled dialog leaves the browser open
  driver_.ui().AnswerOpenFile(browsed);
  driver_.Advance(0.1)
      .Press(kLeff, kBrowse)
      .Do([&](tb::WindowRef) { EXPECT_EQ(browser.lastLoadMode, 0); })
      .Press(kLeff, kBrowse);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 1);
  EXPECT_EQ(browser.lastLoadMode, 3);
  fichier chosen;
  browser.GetSelecFich(&chosen);
  EXPECT_EQ(FicToPosix(chosen), browsed);
  EXPECT_EQ(LayerBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, OkWithNothingListedAnswersCancel) {
  VMKloadeff browser;
  driver_.Advance(0.1).Press(kLeff, kOk);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(BrowserTest, UndoKeysRaiseTheRequestOnly) {
  Store(2);
  VMKloadeff browser;
  driver_.Advance(0.1).Key('z', cmdKey).Press(kLeff, kCancel);
  EXPECT_EQ(browser.Do_LoadEffDlg(117), 0);
  EXPECT_EQ(VMKloadeff::UndoRequest(), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

TEST_F(BrowserTest, TheReducedBrowserShowsNamesAndEndsOnOk) {
  Store(20);
  VMKloadeff browser;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef first = nullptr;
        tb::GetControlByID(w, {kLeff, 26}, &first);
        EXPECT_EQ(tb::GetControlText(first), "1 e01");
      })
      .Choose(kLeff, kName, 4)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef first = nullptr, last = nullptr;
        tb::GetControlByID(w, {kLeff, 26}, &first);
        tb::GetControlByID(w, {kLeff, 40}, &last);
        EXPECT_EQ(tb::GetControlText(first), "4 e04");
        EXPECT_EQ(tb::GetControlText(last), "18 e18");
      })
      .Press(kLeff, kOk);
  EXPECT_EQ(browser.Do_TestOpenDlog(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
