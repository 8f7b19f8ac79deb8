// The image picker on a maker's folder of the test's own images, driven on
// the virtual clock: paging, clamps, updates, files from disk, and the
// image-file effects through the dispatcher.
#include "dialogs/photo/image_picker.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/photo_rows.h"
#include "host/session/view_registry.h"
#include "photo_fixture.h"
#include "views/image_box.h"

namespace fs = std::filesystem;
namespace tb = plat::tb;

namespace {

constexpr OSType kLima = FourCC("Lima");
constexpr OSType kLeff = FourCC("Leff");
constexpr OSType kUpdt = FourCC("Updt");

// 20 images "p01.tif" .. "p20.tif" in Tiles1, three in Lights.
class PickerTest : public vmktest::PhotoDialogTest {
 protected:
  void Library(int tiles = 20) {
    for (int i = 1; i <= tiles; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "Tiles1/p%02d.tif", i);
      Image(name, 8 + i, 8, static_cast<uint8_t>(10 * i), 0, 0);
    }
    for (const char* n : {"Lights/a.tif", "Lights/b.tif", "Lights/c.tif"}) Image(n, 12, 12);
  }
  // The list is built on first use: the confirmation is the first step.
  void FirstUse() { driver_.Press(kUpdt, 1); }
  int16_t Pick(VMKloadima& picker) { return picker.Do_LoadImaDlg(0); }
  // Checks the page the window shows while it is open.
  void ExpectPage(const std::vector<std::string>& captions, int16_t selected) {
    driver_.Advance(0.5).Do([this, captions, selected](tb::WindowRef w) {
      for (int k = 0; k < 15; ++k) {
        const std::string want = k < static_cast<int>(captions.size()) ? captions[k] : "";
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kLima, 26 + k)), want) << k;
        EXPECT_EQ(tb::IsControlVisible(tb::FindControl(w, kLeff, 4 + k)), !want.empty()) << k;
      }
      EXPECT_EQ(gVMKloadima->selectedSlot, selected);
    });
  }
  static std::vector<std::string> Names(int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i <= to; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "p%02d.tif", i);
      out.push_back(name);
    }
    return out;
  }
};

TEST_F(PickerTest, OpensOnTheFirstPageOfTheSavedCategoryAndPicksTheLastName) {
  Library();
  VMKloadima picker;
  FirstUse();
  EXPECT_EQ(gVMKloadima, &picker);
  EXPECT_EQ(picker.selectedSlot, 1);
  EXPECT_EQ(picker.keeper->lastDrawnFirst, -1);
  // Lights (first by name) is a short page: the list file keeps it.
  driver_.Choose(kLima, 23, 2);
  ExpectPage({"a.tif", "b.tif", "c.tif"}, 1);
  driver_.Choose(kLima, 23, 3);  // Tiles1: a full page, not kept
  ExpectPage(Names(1, 15), 1);
  driver_.Choose(kLima, 24, 20);
  ExpectPage(Names(6, 20), 15);
  driver_.Do([](tb::WindowRef w) {
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kLima, 22)), 5);
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kLima, 24)), 6);
  });
  driver_.Press(kLima, 1);
  ASSERT_EQ(Pick(picker), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier f;
  Init_FicStruct(&f);
  picker.GetSelecFich(&f);
  EXPECT_EQ(PStrString(f.name), "p20.tif");
  EXPECT_EQ(FicToPosix(f), (makers_ / "Tiles1" / "p20.tif").string());
  EXPECT_EQ(picker.images[14].width, 130);
  EXPECT_EQ(picker.images[14].height, 8 * 130 / 28);

  // The category kept with the last short page is where the next opening
  // starts, at its top.
  VMKloadima again;
  ExpectPage({"a.tif", "b.tif", "c.tif"}, 1);
  driver_.Press(kLima, 2);
  EXPECT_EQ(again.Do_LoadImaDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PickerTest, AClickedThumbnailIsTheOneChosen) {
  Library(4);
  VMKloadima picker;
  FirstUse();
  driver_.Choose(kLima, 23, 3);
  // The third thumbnail is clicked: its box says so at the next tick.
  driver_.Do([](tb::WindowRef) {
    VMKimabox* box = gVMKapp->ImageView(FindCustomView("com.vellmarkstead.lima.HIima2"));
    box->SetSelMode(1, 1);
    box->CheckSetRefresh(1);
  });
  ExpectPage(Names(1, 4), 3);
  driver_.Press(kLima, 1);
  ASSERT_EQ(Pick(picker), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier f;
  Init_FicStruct(&f);
  picker.GetSelecFich(&f);
  EXPECT_EQ(PStrString(f.name), "p03.tif");
}

// On a display the click on a thumbnail, the pointer's way to OK over the
// page (which redraws it) and OK itself can all come before the next tick:
// the image clicked is still the one chosen.
TEST_F(PickerTest, AThumbnailClickedJustBeforeOkIsTheOneChosen) {
  Library(4);
  VMKloadima picker;
  FirstUse();
  driver_.Choose(kLima, 23, 3);
  ExpectPage(Names(1, 4), 1);
  driver_.Do([this](tb::WindowRef w) { driver_.ClickControl(tb::FindControl(w, kLeff, 6)); });
  driver_.MoveMouse(100, 200);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKloadima->selectedSlot, 3); });
  driver_.Press(kLima, 1);
  ASSERT_EQ(Pick(picker), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier f;
  Init_FicStruct(&f);
  picker.GetSelecFich(&f);
  EXPECT_EQ(PStrString(f.name), "p03.tif");
}

TEST_F(PickerTest, ScrollPartsMoveByTheStepAndTenAndKeepThePageInside) {
  Library();
  VMKloadima picker;
  FirstUse();
  driver_.Choose(kLima, 23, 3);
  driver_.PressPart(kLima, 22, tb::kControlPageDownPart);
  ExpectPage(Names(6, 20), 6);  // 10 is past the last page: clamped to 5, slot 10 - 5 + 1
  driver_.PressPart(kLima, 22, tb::kControlPageUpPart);
  ExpectPage(Names(1, 15), 1);
  driver_.PressPart(kLima, 22, tb::kControlDownButtonPart);
  ExpectPage(Names(2, 16), 1);
  driver_.Press(kLima, 2);
  EXPECT_EQ(Pick(picker), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PickerTest, UpdateStartsAtTheSecondImageAndACategoryAtTheFirst) {
  Library(4);
  VMKloadima picker;
  FirstUse();
  driver_.Choose(kLima, 23, 3);
  ExpectPage(Names(1, 4), 1);
  driver_.Do([this](tb::WindowRef) { Image("Tiles1/p05.tif", 9, 9); });
  driver_.Press(kLima, 41).Press(kUpdt, 1);  // 'Bupd', confirmed
  driver_.Do([](tb::WindowRef w) {
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kLima, 23)), 1);  // "ALL"
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kLima, 24)), 8);
  });
  ExpectPage({"b.tif", "c.tif", "p01.tif", "p02.tif", "p03.tif", "p04.tif", "p05.tif"}, 1);
  driver_.Choose(kLima, 23, 3);
  ExpectPage(Names(1, 5), 1);
  // Declined, the update changes no menu and still redraws from the top.
  driver_.Press(kLima, 41).Press(kUpdt, 2);
  driver_.Do([](tb::WindowRef w) {
    EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kLima, 24)), 5);
    EXPECT_EQ(gVMKloadima->keeper->firstVisible, 1);
  });
  ExpectPage({"b.tif", "c.tif", "p01.tif", "p02.tif", "p03.tif", "p04.tif", "p05.tif"}, 1);
  driver_.Press(kLima, 2);
  EXPECT_EQ(Pick(picker), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PickerTest, FewerThanAPageHidesTheRestAndLeavesTheirCaptionsEmpty) {
  Library(2);
  VMKloadima picker;
  FirstUse();
  ExpectPage({"a.tif", "b.tif", "c.tif", "p01.tif", "p02.tif"}, 1);
  driver_.Choose(kLima, 23, 2);
  ExpectPage({"a.tif", "b.tif", "c.tif"}, 1);
  driver_.Press(kLima, 2);
  EXPECT_EQ(Pick(picker), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PickerTest, LoadingFromDiskReturnsAFileOutsideTheLibrary) {
  Library(1);
  const std::string outside = bundle_.file("elsewhere.tif");
  vmktest::WriteImageFile(outside, plat::imageio::kTypeTIFF, vmktest::SolidImage(5, 5, 1, 2, 3));
  VMKloadima picker;
  FirstUse();
  driver_.ui().AnswerOpenFile(std::nullopt);  // cancelled: the picker stays
  driver_.ui().AnswerOpenFile(outside);
  driver_.Press(kLima, 42).Press(kLima, 42);
  ASSERT_EQ(Pick(picker), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier f;
  Init_FicStruct(&f);
  picker.GetSelecFich(&f);
  EXPECT_EQ(FicToPosix(f), outside);
  EXPECT_EQ(picker.selectedSlot, 1);
}

TEST_F(PickerTest, OkOnAnEmptyLibraryReturnsNothing) {
  VMKloadima picker;
  FirstUse();
  fichier mine;
  Init_FicStruct(&mine);
  ASSERT_TRUE(SetFicFromPosix(&mine, bundle_.file("mine.tif")));
  picker.SetSelecFich(&mine);
  driver_.Press(kLima, 1);
  EXPECT_EQ(Pick(picker), 0);
  EXPECT_TRUE(driver_.errors().empty());
  // The owner takes nothing back; what it handed in is still the record.
  fichier out = mine;
  const fichier before = out;
  if (picker.result == 1) picker.GetSelecFich(&out);
  EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
  // A page shorter than the selected slot answers the same.
  Library(2);
  VMKloadima second;
  driver_.Press(kLima, 41).Press(kUpdt, 1);
  driver_.Do([](tb::WindowRef) { gVMKloadima->selectedSlot = 9; });
  driver_.Press(kLima, 1);
  EXPECT_EQ(Pick(second), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PickerTest, MouseOverTheThumbnailsRedrawsAndSetsTheArrow) {
  Library(3);
  VMKloadima picker;
  FirstUse();
  driver_.MoveMouse(100, 200);
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(plat::ui::LastCursor().id, plat::ui::kArrowCursor);
  });
  driver_.Press(kLima, 2);
  EXPECT_EQ(Pick(picker), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- the image-file effects through the dispatcher ----

class ImageFileRowTest : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPhotoRows(EffectDialogRegistry());
    const fs::path makers = fs::path(bundle_.makersFile(""));
    fs::create_directories(makers / "Images");
    vmktest::WriteImageFile((makers / "Images" / "pick.tif").string(), plat::imageio::kTypeTIFF,
                            vmktest::SolidImage(20, 10, 9, 9, 9));
  }
};

TEST_F(ImageFileRowTest, OkSetsTheOperationsFileAndCancelLeavesIt) {
  Plant(1, 24);
  fichier old;
  Init_FicStruct(&old);
  ASSERT_TRUE(SetFicFromPosix(&old, bundle_.file("old.tif")));
  ASSERT_EQ(script()->SetFileOprn(0, 1, 1, &old), 0);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 1);
  driver_.Press(kUpdt, 1).Press(kLima, 2);
  EXPECT_EQ(editor.Perform_Effect(24, 0), 1);  // cancelled, and still 1
  EXPECT_EQ(ScriptBytes(), before);
  driver_.Press(kLima, 1);
  EXPECT_EQ(editor.Perform_Effect(24, 1), 1);
  EXPECT_TRUE(driver_.errors().empty());
  fichier* stored = nullptr;
  ASSERT_NE(script()->GetFileOprn(0, 1, 1, &stored), nullptr);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(PStrString(stored->name), "pick.tif");
  EXPECT_NE(ScriptBytes(), before);
  for (int16_t code : {21, 25, 38, 39, 52, 61, 75}) EXPECT_NE(EffectDialogRegistry().Find(code), nullptr);
}

}  // namespace
