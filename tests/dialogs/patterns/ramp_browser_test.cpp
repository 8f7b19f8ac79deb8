// The colour-ramp browser on ramp files written into a scratch maker's
// folder: the page and selection as the scroll bar and the name popup move
// them, the captions, the Option choice, an empty library and the choices
// that end with nothing.
#include "dialogs/patterns/ramp_browser.h"

#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/patterns/ramp_fixture.h"
#include "platform/toolbox/api/scripted_ui.h"

using vmktest::RampDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kLvig = FourCC("Lvig");
constexpr int32_t kOk = 1, kCancel = 2, kScroll = 8, kCategories = 21, kNames = 22;
constexpr int32_t kCaptions[6] = {10, 12, 14, 16, 18, 20};

class RampBrowserTest : public RampDialogTest {
 protected:
  // "Basic" 4 ramps, then "Spectrum" 20: categories ALL, Basic, Spectrum.
  void WriteLibrary() {
    for (int k = 0; k < 4; ++k) WriteRamp("basic" + std::to_string(k) + ".hvig", "Basic", Numbered(k));
    for (int k = 0; k < 20; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "spectrum%02d.hvig", k);
      WriteRamp(name, "Spectrum", Numbered(10 + k));
    }
  }
  static std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kLvig, id)); }
};

TEST_F(RampBrowserTest, ScrollingToTheEndKeepsTheLastPageFullAndSelectsTheLastThumbnail) {
  WriteLibrary();
  VMKloadvign dlg;
  std::vector<int> seen;
  driver_.Advance(0.01)
      .Choose(kLvig, kCategories, 3)
      .Slide(kLvig, kScroll, 1000)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        seen = {dlg.keeper->firstVisible, dlg.selectedSlot, tb::GetControl32BitValue(tb::FindControl(w, kLvig, kScroll))};
        EXPECT_EQ(Text(w, kCaptions[0]), "spectrum14");
        EXPECT_EQ(Text(w, kCaptions[5]), "spectrum19");
      })
      .Choose(kLvig, kNames, 18)
      .Do([&](tb::WindowRef) {
        seen.push_back(dlg.keeper->firstVisible);
        seen.push_back(dlg.selectedSlot);
      })
      .Press(kLvig, kCancel);
  EXPECT_EQ(dlg.Do_LoadVignDlg(), 0);
  EXPECT_EQ(seen, (std::vector<int>{14, 6, 700, 14, 4}));
  EXPECT_EQ(dlg.scrollStep, 50);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RampBrowserTest, AShortCategoryLeavesTheLastCaptionsEmptyAndOptionKeepsTheOpacity) {
  WriteLibrary();
  VMKloadvign dlg;
  LutVign mine;
  Init_LutVign(0, &mine, 0, 0, 0, 0);
  for (int i = 0; i < 256; ++i) mine.opacity[i] = static_cast<uint8_t>(i ^ 0x5a);
  dlg.SetLutVign(&mine);
  std::vector<std::string> captions;
  driver_.Advance(0.01)
      .Choose(kLvig, kCategories, 2)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        for (int32_t id : kCaptions) captions.push_back(Text(w, id));
        driver_.ui().SetModifiers(optionKey);
      })
      .Press(kLvig, kOk);
  ASSERT_EQ(dlg.Do_LoadVignDlg(), 1);
  driver_.ui().SetModifiers(0);
  EXPECT_EQ(captions, (std::vector<std::string>{"basic0", "basic1", "basic2", "basic3", "", ""}));
  LutVign out;
  dlg.GetLutVign(&out);
  const LutVign file = Numbered(0);
  EXPECT_EQ(std::memcmp(out.opacity, mine.opacity, 256), 0);
  EXPECT_EQ(std::memcmp(out.colour, file.colour, sizeof out.colour), 0);
}

// Resting on a name fills the page from it, the selected slot included;
// closed without a choice, the page is the browser's own again before an OK
// pressed at once reads the selected slot.
TEST_F(RampBrowserTest, OkJustAfterAHoverChoosesTheSelectedSlotsOwnRamp) {
  WriteLibrary();
  VMKloadvign dlg;
  std::string first;
  driver_.Advance(0.01)
      .Choose(kLvig, kCategories, 2)
      .Advance(0.5)
      .Hover(kLvig, kNames, {3})
      .Do([&](tb::WindowRef w) { first = Text(w, kCaptions[0]); })
      .Press(kLvig, kOk);
  ASSERT_EQ(dlg.Do_LoadVignDlg(), 1);
  EXPECT_EQ(first, "basic0");
  LutVign out;
  dlg.GetLutVign(&out);
  EXPECT_TRUE(Same(out, Numbered(0)));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RampBrowserTest, AnEmptyLibraryShowsNoNamesAndOkOnAnEmptySlotChoosesNothing) {
  VMKloadvign dlg;
  LutVign mine;
  Init_LutVign(3, &mine, 10, 20, 30, 40);
  dlg.SetLutVign(&mine);
  std::vector<int32_t> state;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef names = tb::FindControl(w, kLvig, kNames);
        state = {tb::GetControl32BitMinimum(names), tb::GetControl32BitMaximum(names),
                 tb::GetControl32BitValue(tb::FindControl(w, kLvig, kScroll))};
      })
      .Press(kLvig, kOk);
  EXPECT_EQ(dlg.Do_LoadVignDlg(), 0);
  EXPECT_EQ(state, (std::vector<int32_t>{1, 0, 0}));
  LutVign out;
  dlg.GetLutVign(&out);
  EXPECT_TRUE(Same(out, mine));
}

TEST_F(RampBrowserTest, ARampFileThatCannotBeReadKeepsTheBrowserOpen) {
  WriteLibrary();
  VMKloadvign dlg;
  bool stillOpen = false;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef) { std::filesystem::resize_file(bundle_.makersFile("basic0.hvig"), 100); })
      .Press(kLvig, kOk)
      .Do([&](tb::WindowRef w) { stillOpen = tb::IsWindowVisible(w); })
      .Press(kLvig, kCancel);
  EXPECT_EQ(dlg.Do_LoadVignDlg(), 0);
  EXPECT_TRUE(stillOpen);
}

TEST_F(RampBrowserTest, RebuildingTheListStartsThePageAtTheSecondEntryAndACategoryAtTheFirst) {
  WriteLibrary();
  VMKloadvign dlg;
  std::vector<int> seen;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef) { WriteRamp("added.hvig", "Basic", Numbered(40)); })
      .Press(kLvig, 4)  // 'Bupd'
      .Do([&](tb::WindowRef w) {
        seen = {dlg.keeper->selectedCategory, dlg.keeper->firstVisible,
                tb::GetControl32BitValue(tb::FindControl(w, kLvig, kNames)), dlg.NameCount()};
      })
      .Choose(kLvig, kCategories, 2)
      .Do([&](tb::WindowRef) {
        seen.push_back(dlg.keeper->firstVisible);
        seen.push_back(dlg.NameCount());
      })
      .Press(kLvig, kCancel);
  dlg.Do_LoadVignDlg();
  EXPECT_EQ(seen, (std::vector<int>{1, 1, 2, 25, 0, 5}));
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
