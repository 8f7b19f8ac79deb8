// Timers, modal loops and custom views through the test driver.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <string>
#include <thread>
#include <vector>

#include "platform/draw/port.h"
#include "platform/toolbox/api/plain_menus.h"
#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "platform/toolbox/toolbox_internal.h"
#include "support/qt/nib_window_fixture.h"

using namespace plat::tb;

namespace {

constexpr OSType kDemo = FourCC("Demo");
constexpr OSType kSmall = FourCC("Smal");

class LoopsTest : public vmktest::NibWindowTest {
 protected:
  void TearDown() override {
    for (EventLoopTimerRef t : timers_) RemoveEventLoopTimer(t);
    NibWindowTest::TearDown();
  }
  EventLoopTimerRef Timer(double delay, double interval, EventLoopTimerProc proc) {
    EventLoopTimerRef t = nullptr;
    EXPECT_EQ(InstallEventLoopTimer(delay, interval, std::move(proc), nullptr, &t), noErr);
    timers_.push_back(t);
    return t;
  }

  std::vector<EventLoopTimerRef> timers_;
};

// A modal dialog on the nib window `name` that quits on OK and cancel.
int RunSmall(WindowRef w, const std::function<void(uint32_t)>& onCommand = {}) {
  int result = -1;
  InstallWindowEventHandler(
      w,
      [&result, w, onCommand](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        if (onCommand) onCommand(e->command);
        if (e->command == FourCC("ok  ") || e->command == FourCC("canc")) {
          result = e->command == FourCC("ok  ") ? 1 : 0;
          QuitAppModalLoopForWindow(w);
          return noErr;
        }
        return eventNotHandledErr;
      },
      {{kEventClassCommand, kEventCommandProcess}}, nullptr);
  ShowWindow(w);
  RunAppModalLoopForWindow(w);
  HideWindow(w);
  return result;
}

}  // namespace

TEST_F(LoopsTest, TimersFireOnTheVirtualClockInTimeOrder) {
  std::vector<std::string> fired;
  EventLoopTimerRef a = Timer(kEventDurationForever, 1.0, [&](EventLoopTimerRef, void*) { fired.push_back("a"); });
  Timer(0.5, 0.0, [&](EventLoopTimerRef, void*) { fired.push_back("once"); });
  Timer(0.75, 2.0, [&](EventLoopTimerRef, void*) { fired.push_back("b"); });
  driver_.Pump();
  EXPECT_TRUE(fired.empty());  // nothing is due, and real time does not count
  SetEventLoopTimerNextFireTime(a, 0.0);
  driver_.Pump();
  EXPECT_EQ(fired, (std::vector<std::string>{"a"}));
  fired.clear();
  // Now a is due at 1.0, "once" at 0.5, b at 0.75, 2.75, ...
  driver_.Advance(3.0);
  driver_.RunSteps(nullptr);
  EXPECT_EQ(fired, (std::vector<std::string>{"once", "b", "a", "a", "b", "a"}));
  fired.clear();
  // A new fire time replaces the pending one; -1 makes the timer dormant.
  SetEventLoopTimerNextFireTime(a, 0.25);
  SetEventLoopTimerNextFireTime(a, 2.0);
  driver_.Advance(1.0);
  driver_.RunSteps(nullptr);
  EXPECT_TRUE(std::count(fired.begin(), fired.end(), "a") == 0);
  SetEventLoopTimerNextFireTime(a, -1.0);
  driver_.Advance(5.0);
  driver_.RunSteps(nullptr);
  EXPECT_EQ(std::count(fired.begin(), fired.end(), "a"), 0);
  EXPECT_EQ(RemoveEventLoopTimer(a), noErr);
  EXPECT_NE(SetEventLoopTimerNextFireTime(a, 0.0), noErr);  // a removed timer is refused
  timers_.erase(timers_.begin());
}

TEST_F(LoopsTest, ModalLoopsNestAndTimersKeepFiringWithoutReentry) {
  // Four levels: Demo, then Small three times, each opened from the one
  // below by its 'Bdee' button or the Demo's check box.
  WindowRef demo = Open("Demo");
  int depthSeen = 0;
  int ticks = 0, reentered = 0;
  bool inTick = false;
  std::vector<int> results;
  std::function<void(uint32_t)> openDeeper = [&](uint32_t cmd) {
    if (cmd != FourCC("Bdee") && cmd != FourCC("Cflg")) return;
    WindowRef w = Open("Small");
    depthSeen = std::max(depthSeen, ModalDepth() + 1);
    results.push_back(RunSmall(w, openDeeper));
  };
  // A timer whose callback opens a modal dialog: the dialog's loop keeps
  // the other timer firing, and the first is not entered again meanwhile.
  EventLoopTimerRef slow = Timer(0.5, 1.0, [&](EventLoopTimerRef, void*) {
    if (inTick) ++reentered;
    inTick = true;
    ++ticks;
    if (ticks == 1) {
      WindowRef w = Open("Small");
      results.push_back(RunSmall(w, openDeeper));
    }
    inTick = false;
  });
  (void)slow;
  int fast = 0;
  Timer(0.1, 0.1, [&](EventLoopTimerRef, void*) { ++fast; });
  driver_.Press(kDemo, 8)                           // Demo -> Small (2)
      .Press(kSmall, 3)                             // -> Small (3)
      .Press(kSmall, 3)                             // -> Small (4)
      .Do([&](WindowRef w) { EXPECT_EQ(GetWindowName(w), "Small"); })
      .Press(kSmall, 1)                             // 4 OK
      .Press(kSmall, 2)                             // 3 cancel
      .Press(kSmall, 1)                             // 2 OK
      .Advance(0.6)                                 // the slow timer opens Small
      .Advance(3.0)                                 // inside it: time passes
      .Press(kSmall, 1)                             // close it
      .Press(kDemo, 1);                             // Demo OK
  EXPECT_EQ(RunSmall(demo, openDeeper), 1);
  EXPECT_TRUE(driver_.errors().empty()) << (driver_.errors().empty() ? "" : driver_.errors()[0]);
  EXPECT_EQ(depthSeen, 4);
  EXPECT_EQ(results, (std::vector<int>{1, 0, 1, 1}));
  EXPECT_EQ(reentered, 0);
  EXPECT_GE(fast, 30);  // kept firing inside the nested loop
  EXPECT_EQ(ModalDepth(), 0);
}

TEST_F(LoopsTest, AScriptThatRunsOutEndsTheLoopAndSaysSo) {
  WindowRef w = Open("Small");
  driver_.Press(kSmall, 3);  // no handler opens anything: the loop never quits
  RunSmall(w);
  ASSERT_EQ(driver_.errors().size(), 1u);
  EXPECT_NE(driver_.errors()[0].find("Small"), std::string::npos);
}

TEST_F(LoopsTest, OuterModalWindowsTakeNoInputButPalettesDo) {
  WindowRef demo = Open("Demo");
  WindowRef palette = Open("Palette");
  ShowWindow(palette);
  int paletteCommands = 0;
  std::vector<std::string> demoCommands;
  InstallWindowEventHandler(
      palette,
      [&](EventHandlerCallRef, EventRef, void*) {
        ++paletteCommands;
        return noErr;
      },
      {{kEventClassCommand, kEventCommandProcess}}, nullptr);
  InstallWindowEventHandler(
      demo,
      [&](EventHandlerCallRef, EventRef e, void*) -> OSStatus {
        demoCommands.push_back(e->command == FourCC("Cflg") ? "flag" : "ok");
        if (e->command == FourCC("Cflg")) RunSmall(Open("Small"));
        if (e->command == FourCC("ok  ")) QuitAppModalLoopForWindow(demo);
        return noErr;
      },
      {{kEventClassCommand, kEventCommandProcess}}, nullptr);
  driver_.Press(kDemo, 8)  // opens Small over Demo
      .Do([&](WindowRef) {
        EXPECT_EQ(ModalDepth(), 2);
        driver_.ClickControl(FindControl(palette, FourCC("Pale"), 1));  // usable
        driver_.ClickControl(FindControl(demo, kDemo, 1));             // blocked
      })
      .Press(kSmall, 1)
      .Press(kDemo, 1);
  ShowWindow(demo);
  RunAppModalLoopForWindow(demo);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(paletteCommands, 1);
  EXPECT_EQ(demoCommands, (std::vector<std::string>{"flag", "ok"}));
}

namespace {

// A custom view class that logs its events, draws a red box and tracks the
// mouse with the layer's tracking call.
struct BoxView {
  std::vector<std::string> log;
  std::vector<std::pair<int, int>> tracked;
  bool leftHalfDead = false;
  static OSStatus Handle(EventHandlerCallRef, EventRef e, void* user) {
    auto* self = static_cast<BoxView*>(user);
    std::string s = std::string(e->eventClass == kEventClassHIObject ? "hiob " : "cntl ") + std::to_string(e->kind);
    switch (e->kind) {
      case kEventControlHitTest:
        if (e->eventClass != kEventClassControl) break;
        e->part = (self->leftHalfDead && e->viewPoint.x < e->bounds.size.width / 2) ? kControlNoPart
                                                                                     : kControlContentPart;
        s += " " + std::to_string(e->part);
        break;
      case kEventControlTrack: {
        s += " " + std::to_string(static_cast<int>(e->viewPoint.x)) + "," + std::to_string(static_cast<int>(e->viewPoint.y));
        int16_t result = 0;
        Point p;
        do {
          plat::ui::TrackMouseLocation(e->port, &p, &result);
          self->tracked.emplace_back(p.h, p.v);
        } while (result != plat::ui::kTrackMouseUp);
        break;
      }
      case kEventControlDraw: {
        if (e->eventClass != kEventClassControl) break;
        s += " at " + std::to_string(e->context.originH) + "," + std::to_string(e->context.originV);
        plat::draw::Port* keep = plat::draw::GetPort();
        plat::draw::SetPort(e->port);
        plat::draw::RGBForeColor(RGBColor{65535, 0, 0});
        plat::draw::PaintRect(e->context.clip);
        plat::draw::SetPort(keep);
        break;
      }
      default:
        if (e->eventClass == kEventClassHIObject && e->kind == kEventHIObjectInitialize) {
          s += " " + std::to_string(static_cast<int>(e->bounds.size.width)) + "x" +
               std::to_string(static_cast<int>(e->bounds.size.height));
        }
        break;
    }
    self->log.push_back(s);
    return noErr;
  }
};

}  // namespace

// A custom view draws into the window's port under the widgets: hidden, its
// picture must leave the window; shown again, it draws anew.
TEST_F(LoopsTest, AHiddenCustomViewLeavesNothingBehind) {
  BoxView box;
  RegisterCustomViewClass("com.vellmarkstead.test.HIbox", BoxView::Handle, &box);
  WindowRef w = Open("Demo");
  ControlRef view = FindControl(w, kDemo, 12);
  ShowWindow(w);
  driver_.Pump();
  const plat::draw::Surface& s = GetWindowPort(w)->surface();
  ASSERT_EQ(s.pixel(230, 10), 0xFFFF0000u);
  HideControl(view);
  EXPECT_EQ(s.pixel(230, 10), 0xFFFFFFFFu);
  EXPECT_EQ(s.pixel(389, 129), 0xFFFFFFFFu);
  HideControl(view);  // hiding again changes nothing
  driver_.Pump();
  EXPECT_EQ(s.pixel(300, 60), 0xFFFFFFFFu);
  ShowControl(view);
  driver_.Pump();
  EXPECT_EQ(s.pixel(300, 60), 0xFFFF0000u);
  DisposeWindow(w);
  windows_.clear();
  UnregisterCustomViewClass("com.vellmarkstead.test.HIbox");
}

TEST_F(LoopsTest, CustomViewsLiveThroughTheirClassHandler) {
  BoxView box;
  RegisterCustomViewClass("com.vellmarkstead.test.HIbox", BoxView::Handle, &box);
  WindowRef w = Open("Demo");
  EXPECT_EQ(box.log, (std::vector<std::string>{"hiob 1", "hiob 2 160x120"}));
  ControlRef view = FindControl(w, kDemo, 12);
  EXPECT_EQ(GetCustomViewClass(view), "com.vellmarkstead.test.HIbox");
  box.log.clear();
  ShowWindow(w);
  EXPECT_TRUE(box.log.empty());  // drawing waits for the event loop
  driver_.Pump();
  EXPECT_EQ(box.log, (std::vector<std::string>{"cntl 4 at 230,10"}));
  const plat::draw::Surface& s = GetWindowPort(w)->surface();
  EXPECT_EQ(s.pixel(230, 10), 0xFFFF0000u);
  EXPECT_EQ(s.pixel(389, 129), 0xFFFF0000u);
  EXPECT_EQ(s.pixel(229, 10), 0xFFFFFFFFu);
  EXPECT_EQ(s.pixel(390, 130), 0xFFFFFFFFu);
  box.log.clear();

  // A press: hit test, then track with the press in view coordinates; the
  // view's own loop reads the drag in window coordinates. Mouse moves are
  // the window's, never the view's.
  driver_.Drag({Point{20, 300}, Point{25, 310}, Point{30, 320}}).MoveMouse(300, 50);
  driver_.RunSteps(w);
  EXPECT_EQ(box.log, (std::vector<std::string>{"cntl 3 10", "cntl 51 70,10"}));
  EXPECT_EQ(box.tracked, (std::vector<std::pair<int, int>>{{300, 20}, {310, 25}, {320, 30}}));
  box.log.clear();
  box.leftHalfDead = true;
  driver_.Drag({Point{20, 240}, Point{20, 250}});
  driver_.RunSteps(w);
  EXPECT_EQ(box.log, (std::vector<std::string>{"cntl 3 0"}));
  box.log.clear();
  SetControlNeedsDisplay(view);
  EXPECT_TRUE(box.log.empty());
  driver_.Pump();
  EXPECT_EQ(box.log.size(), 1u);
  box.log.clear();
  DisposeWindow(w);
  windows_.clear();
  EXPECT_EQ(box.log, (std::vector<std::string>{"hiob 3"}));
  UnregisterCustomViewClass("com.vellmarkstead.test.HIbox");
  // Without a registered class the view is an inert area.
  WindowRef bare = Open("Demo");
  EXPECT_EQ(GetCustomViewClass(FindControl(bare, kDemo, 12)), "com.vellmarkstead.test.HIbox");
  driver_.Drag({Point{20, 300}, Point{30, 320}});
  driver_.RunSteps(bare);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(LoopsTest, CursorsAndPickersGoThroughTheScriptedUser) {
  plat::ui::SetThemeCursor(plat::ui::kCrossCursor);
  EXPECT_EQ(plat::ui::LastCursor().id, plat::ui::kCrossCursor);
  plat::ui::SetResourceCursor(16001);
  EXPECT_EQ(driver_.ui().cursors.back(), (plat::ui::CursorChoice{plat::ui::CursorChoice::Resource, 16001, 0}));
  driver_.ui().AnswerAlert(2);
  EXPECT_EQ(plat::ui::Alert(plat::ui::AlertRequest{129, "", {"Disk full", "x.hvig"}}), 2);
  RGBColor c{1, 2, 3};
  driver_.ui().AnswerColor(RGBColor{100, 200, 300});
  EXPECT_TRUE(plat::ui::AskColor("Choose a color:", &c));
  EXPECT_EQ(c.blue, 300);
}

TEST_F(LoopsTest, ImageViewsScaleTheirImageToFit) {
  WindowRef w = Open("Demo");
  ControlRef pic = FindControl(w, kDemo, 16);  // 40 x 40
  // 2 x 1 image, red then blue, opaque.
  const uint8_t px[8] = {255, 0, 0, 255, 0, 0, 255, 255};
  SetImageViewImage(pic, plat::draw::ImageRef{px, 2, 1, 8});
  QImage shot = pic->widget->grab().toImage();
  ASSERT_EQ(shot.width(), 40);
  // Scaled to 40 x 20, centred vertically: blank above, red left, blue right.
  EXPECT_EQ(QColor(shot.pixel(5, 20)).red(), 255);
  EXPECT_EQ(QColor(shot.pixel(35, 20)).blue(), 255);
  EXPECT_NE(QColor(shot.pixel(5, 2)).rgb(), QColor(Qt::red).rgb());
  SetImageViewScaleToFit(pic, false);
  shot = pic->widget->grab().toImage();
  EXPECT_EQ(QColor(shot.pixel(0, 0)).red(), 255);
  EXPECT_NE(QColor(shot.pixel(5, 20)).rgb(), QColor(Qt::red).rgb());
  SetImageViewImage(pic, plat::draw::ImageRef{px, 2, 1, 4});  // rows too short: cleared
  EXPECT_TRUE(pic->image.isNull());
}

TEST_F(LoopsTest, LiveServicesAnswerWithoutAUser) {
  plat::ui::Services* keep = plat::ui::InstallServices(nullptr);
  InstallLiveServices();
  double t0 = plat::ui::Now();
  EXPECT_GE(plat::ui::Now(), t0);
  Point p;
  int16_t result = 0;
  plat::ui::TrackMouseLocation(nullptr, &p, &result);  // no button held
  EXPECT_EQ(result, plat::ui::kTrackMouseUp);
  EXPECT_FALSE(plat::ui::StillDown());
  plat::ui::SetResourceCursor(16001);  // missing resource folder: the arrow
  plat::ui::SetThemeCursor(plat::ui::kCrossCursor);
  QKeyEvent period(QEvent::KeyPress, Qt::Key_Period, Qt::ControlModifier, ".");
  QCoreApplication::sendEvent(qApp, &period);
  EXPECT_TRUE(plat::ui::KeyIsDown(47));
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Period, Qt::ControlModifier, ".");
  QCoreApplication::sendEvent(qApp, &up);
  EXPECT_FALSE(plat::ui::KeyIsDown(47));
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
  QGuiApplication::restoreOverrideCursor();
  plat::ui::InstallServices(keep);
}

// A thumbnail's render on a worker meets a damaged effect file: its alert builds no window
// off the interface thread and answers with the first button.
TEST_F(LoopsTest, ALiveAlertFromAWorkerShowsNothing) {
  plat::ui::Services* keep = plat::ui::InstallServices(nullptr);
  InstallLiveServices();
  const auto before = QApplication::topLevelWidgets().size();
  int16_t answer = 0;
  std::thread worker([&] {
    plat::ui::AlertRequest alert;
    alert.alertId = 128;
    answer = plat::ui::Alert(alert);
  });
  worker.join();
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), before);
  plat::ui::InstallServices(keep);
}

// A live pause inside a mouse press lasts its ticks and the loop's timers go
// on firing meanwhile. (The user's input from the window system waits for
// its end; a posted event, all a test can make here, is not held back.)
TEST_F(LoopsTest, ALivePauseLastsItsTicksWhileTheLoopsTimersFire) {
  plat::ui::Services* keep = plat::ui::InstallServices(nullptr);
  InstallLiveServices();
  int fired = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++fired; });
  timer.start(1);
  const double t0 = plat::ui::Now();
  plat::ui::Delay(3);
  EXPECT_GE(plat::ui::Now() - t0, 0.045);
  EXPECT_GE(fired, 1);
  plat::ui::InstallServices(keep);
}

TEST_F(LoopsTest, PlainMenusShowAsQtMenus) {
  plat::ui::Services* keep = plat::ui::InstallServices(nullptr);
  // Headless, a menu is plain data with no Qt menu behind it.
  MenuRef plain = plat::ui::NewMenu(16190, "warp");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(QtMenuOf(plain), nullptr);
  plat::ui::DisposeMenu(plain);

  InstallLiveServices();
  MenuRef menu = plat::ui::NewMenu(16191, "warp");
  plat::ui::AppendMenuItemText(menu, "1 arch.sw03");
  plat::ui::AppendMenuItemText(menu, "2 bulge.sw03");
  QMenu* q = QtMenuOf(menu);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->title(), "warp");
  ASSERT_EQ(q->actions().size(), 2);
  EXPECT_EQ(q->actions()[1]->text(), "2 bulge.sw03");
  EXPECT_EQ(plat::ui::CountMenuItems(menu), 2);
  EXPECT_EQ(plat::ui::GetMenuItemText(menu, 1), "1 arch.sw03");
  EXPECT_EQ(plat::ui::GetMenuItemText(menu, 3), "");
  plat::ui::DisposeMenu(menu);
  EXPECT_EQ(QtMenuOf(menu), nullptr);
  plat::ui::InstallServices(keep);
}

TEST_F(LoopsTest, NibAlertsAnswerTheNumberOfTheButtonPressed) {
  // The live alert runs its nib window in a modal loop, which the driver's
  // script answers.
  plat::ui::Services* keep = plat::ui::InstallServices(nullptr);
  InstallLiveServices();
  std::string shown;
  driver_.Do([&](WindowRef w) { shown = GetControlText(FindControl(w, FourCC("Alrt"), 3)); })
      .Press(FourCC("Alrt"), 2);
  int16_t answer = plat::ui::Alert(plat::ui::AlertRequest{0, "Alert", {"a.hvig", "damaged"}});
  plat::ui::InstallServices(keep);
  EXPECT_EQ(answer, 3);
  EXPECT_EQ(shown, "Cannot open a.hvig (damaged).");
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(ModalDepth(), 0);
}

namespace {

// A window disposed of after a test's last loop turn, outside any modal loop
// (as the image library's progress window is), goes with the driver: its
// widget, then its record (which the leak checker would otherwise report).
TEST(DriverEnd, TakesBackAWindowDisposedAfterTheLastLoopTurn) {
  SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib");
  QPointer<QWidget> widget;
  {
    test::Driver driver;
    WindowRef w = nullptr;
    ASSERT_EQ(CreateWindowFromNib("Demo", &w), noErr);
    ShowWindow(w);
    driver.Pump();
    widget = w->widget;
    HideWindow(w);
    DisposeWindow(w);
    driver.Pump();
  }
  EXPECT_TRUE(widget.isNull());
}

}  // namespace
