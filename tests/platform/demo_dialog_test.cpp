// A small dialog written the way every dialog of the system is written,
// driven end to end: typed values are limited at the next timer tick, the
// slider and its field follow each other, OK hands the record back and
// cancel leaves the caller's record alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"

using namespace plat::tb;

namespace {

constexpr OSType kDemo = FourCC("Demo");

struct DemoPar {
  int32_t width = 100;   // 0..500
  int32_t height = 50;   // 1..100
  int32_t opacity = 255; // 0..255
};

class VMKdemoUI;
VMKdemoUI* gVMKdemo = nullptr;

bool NumEditKeyFilter(ControlRef, int16_t*, int16_t* charCode, uint32_t*) {
  const int16_t c = *charCode;
  if ((c >= '0' && c <= '9') || c == '-' || c == ' ' || c == 8) return true;
  plat::ui::SysBeep(1);
  return false;
}

class VMKdemoUI {
 public:
  VMKdemoUI() { gVMKdemo = this; }
  ~VMKdemoUI() {
    if (timer_ != nullptr) {
      SetEventLoopTimerNextFireTime(timer_, kEventDurationForever);
      RemoveEventLoopTimer(timer_);
    }
    gVMKdemo = nullptr;
  }
  void SetDemoPar(const DemoPar& p) { edit_ = p; }
  void GetDemoPar(DemoPar* p) const { *p = edit_; }

  int16_t Do_DemoDlg() {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
    if (CreateWindowFromNib("Demo", &window_) != noErr) return 0;
    for (int i = 0; i < 4; ++i) controls_[i] = FindControl(window_, kDemo, kIds[i]);
    InstallWindowEventHandler(
        window_, [](EventHandlerCallRef next, EventRef e, void* w) { return gVMKdemo->Handler(next, e, w); },
        {{kEventClassCommand, kEventCommandProcess},
         {kEventClassTextInput, kEventTextInputFilterText},
         {kEventClassWindow, kEventWindowDrawContent}},
        window_);
    InstallEventLoopTimer(
        kEventDurationForever, 1.0, [](EventLoopTimerRef, void*) { gVMKdemo->DemoLoop(); }, window_, &timer_);
    SetEventLoopTimerNextFireTime(timer_, 0.0);
    for (ControlRef field : {controls_[0], controls_[1], controls_[3]}) SetKeyFilter(field, NumEditKeyFilter);
    SetControlReference(controls_[2], controls_[3]);
    SetControlAction(controls_[2], [](ControlRef c, int16_t part) {
      int32_t v = GetControl32BitValue(c);
      if (part == kControlUpButtonPart) SetControl32BitValue(c, v - 1);
      if (part == kControlDownButtonPart) SetControl32BitValue(c, v + 1);
      if (part == kControlPageUpPart) SetControl32BitValue(c, v - 10);
      if (part == kControlPageDownPart) SetControl32BitValue(c, v + 10);
      SetControlText(static_cast<ControlRef>(GetControlReference(c)), std::to_string(GetControl32BitValue(c)));
    });
    SetKeyboardFocus(window_, controls_[0]);
    ShowWindow(window_);
    result_ = 0;
    refresh_ = 1;
    RunAppModalLoopForWindow(window_);
    HideWindow(window_);
    DisposeWindow(window_);
    return result_;
  }

 private:
  static constexpr int32_t kIds[4] = {3, 4, 5, 6};

  static int32_t Read(ControlRef field, int32_t lo, int32_t hi) {
    return std::clamp(static_cast<int32_t>(std::atol(GetControlText(field).c_str())), lo, hi);
  }

  void GetEditValue() {
    edit_.width = Read(controls_[0], 0, 500);
    edit_.height = Read(controls_[1], 1, 100);
    edit_.opacity = Read(controls_[3], 0, 255);
  }

  void DrawWindowContent() {
    SetControlText(controls_[0], std::to_string(edit_.width));
    SetControlText(controls_[1], std::to_string(edit_.height));
    SetControl32BitValue(controls_[2], edit_.opacity);
    SetControlText(controls_[3], std::to_string(edit_.opacity));
  }

  void DemoLoop() {
    if (refresh_ != 1) return;
    GetEditValue();
    DrawWindowContent();
    refresh_ = 0;
  }

  OSStatus Handler(EventHandlerCallRef, EventRef e, void*) {
    if (e->eventClass == kEventClassCommand) {
      switch (e->command) {
        case FourCC("ok  "):
          result_ = 1;
          QuitAppModalLoopForWindow(window_);
          break;
        case FourCC("canc"):
          result_ = 0;
          QuitAppModalLoopForWindow(window_);
          break;
        case FourCC("Sopa"):
          // The slider wins over its field: the field already shows it.
          edit_.opacity = GetControl32BitValue(controls_[2]);
          SetEventLoopTimerNextFireTime(timer_, 2.0);
          refresh_ = 1;
          break;
        default:
          break;
      }
      return noErr;
    }
    if (e->eventClass == kEventClassTextInput) {
      refresh_ = 1;
      SetEventLoopTimerNextFireTime(timer_, 1.0);
      return eventNotHandledErr;
    }
    DrawWindowContent();
    DrawControls(window_);
    return noErr;
  }

  DemoPar edit_;
  WindowRef window_ = nullptr;
  EventLoopTimerRef timer_ = nullptr;
  ControlRef controls_[4] = {};
  int16_t result_ = 0;
  int16_t refresh_ = 0;
};

// The owner's side: a copy goes in, and comes back only on OK.
int16_t EditDemo(DemoPar* record) {
  VMKdemoUI dialog;
  dialog.SetDemoPar(*record);
  int16_t r = dialog.Do_DemoDlg();
  if (r == 1) dialog.GetDemoPar(record);
  return r;
}

class DemoDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib"); }
  test::Driver driver_;
};

}  // namespace

TEST_F(DemoDialogTest, TypedValuesAreLimitedAtTheNextTickAndOkCopiesBack) {
  DemoPar rec;
  std::string before, after;
  driver_.Type(kDemo, 3, "900")
      .Type(kDemo, 4, "0")
      .Advance(0.5)  // typing pushed the tick a second away
      .Do([&](WindowRef w) { before = GetControlText(FindControl(w, kDemo, 3)); })
      .Advance(0.6)
      .Do([&](WindowRef w) { after = GetControlText(FindControl(w, kDemo, 3)); })
      .Do([&](WindowRef w) { EXPECT_EQ(GetControlText(FindControl(w, kDemo, 4)), "1"); })
      .Press(kDemo, 1);
  EXPECT_EQ(EditDemo(&rec), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(before, "900");
  EXPECT_EQ(after, "500");
  EXPECT_EQ(rec.width, 500);
  EXPECT_EQ(rec.height, 1);
  EXPECT_EQ(rec.opacity, 255);
}

TEST_F(DemoDialogTest, TheSliderAndItsFieldFollowEachOther) {
  DemoPar rec;
  std::string shown;
  int32_t slider = 0;
  driver_.Slide(kDemo, 5, 200)
      .Do([&](WindowRef w) { shown = GetControlText(FindControl(w, kDemo, 6)); })
      .PressPart(kDemo, 5, kControlPageUpPart)
      .Type(kDemo, 6, "17")
      .Advance(1.0)
      .Do([&](WindowRef w) { slider = GetControl32BitValue(FindControl(w, kDemo, 5)); })
      .Key(13);  // Return is OK
  EXPECT_EQ(EditDemo(&rec), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(shown, "200");  // live, before any tick
  EXPECT_EQ(slider, 17);    // the field's value reached the slider at the tick
  EXPECT_EQ(rec.opacity, 17);
}

TEST_F(DemoDialogTest, CancelLeavesTheRecordAndFiltersKeepLettersOut) {
  DemoPar rec;
  rec.width = 321;
  int beeps = 0;
  driver_.Type(kDemo, 3, "4a2")
      .Do([&](WindowRef w) {
        EXPECT_EQ(GetControlText(FindControl(w, kDemo, 3)), "42");
        beeps = driver_.ui().beeps;
      })
      .Advance(2.0)
      .Key(27);
  EXPECT_EQ(EditDemo(&rec), 0);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(beeps, 1);
  EXPECT_EQ(rec.width, 321);
  EXPECT_EQ(plat::ui::LastCursor().id, plat::ui::kArrowCursor);
}

TEST_F(DemoDialogTest, NoWindowMeansCancel) {
  SetNibFolder("/nonexistent");
  DemoPar rec;
  EXPECT_EQ(EditDemo(&rec), 0);
  EXPECT_EQ(driver_.PendingSteps(), 0u);
}
