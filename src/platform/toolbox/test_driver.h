// Drives windows in tests: a virtual clock, a scripted user, and modal
// loops that run a script of steps until the window quits.
//
//   plat::tb::test::Driver d;              // needs a QApplication
//   d.Type('Demo', 3, "250").Advance(1.0).Press('Demo', 1);
//   short result = Do_DemoDlg();           // its modal loop runs the steps
//   EXPECT_TRUE(d.errors().empty());
//
// Steps are queued and taken, one at a time, by whichever modal loop is
// innermost when the step's turn comes, so a step that opens a nested
// dialog hands the following steps to it. After every step the driver
// pumps: pending Qt events, then the timers due at the virtual clock. A
// loop whose script runs out before it quits is ended and reported in
// errors(), so a test never hangs. Nothing fires on real time.
//
// Mouse drags on custom views go through the scripted user (ui()): the
// press reaches the view's hit test and track, and the view's own tracking
// loop reads the rest of the drag from the script.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/toolbox/api/scripted_ui.h"
#include "platform/toolbox/modal_runner.h"
#include "platform/toolbox/toolbox.h"

// Named only by the driver's private members; declared so that this header
// pulls in no Qt header.
class QWidget;

namespace plat::tb::test {

// Windows opened from now on draw at this backing scale (device pixels per
// window pixel) whatever the screen says, as on a screen of that density;
// 0 follows the screen again.
void UseBackingScale(int scale);

class Driver : public ModalRunner {
 public:
  Driver();
  ~Driver() override;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  ui::ScriptedUi& ui() { return ui_; }

  // ---- steps ----
  // Clicks a push button, check box or indicator with the mouse.
  Driver& Press(OSType sig, int32_t id);
  // Clicks a part: little arrows (up, down) or a slider's or scroll bar's
  // arrow and page parts.
  Driver& PressPart(OSType sig, int32_t id, int16_t part);
  // Chooses: a popup's item (menu opening, target, closed, then the
  // command), a radio group's button, a tab's page.
  Driver& Choose(OSType sig, int32_t id, int32_t value);
  // Opens a popup, rests on the items in turn and closes it without a
  // choice.
  Driver& Hover(OSType sig, int32_t id, std::vector<int32_t> items);
  // Drags a slider's or scroll bar's thumb to `value` and releases it.
  Driver& Slide(OSType sig, int32_t id, int32_t value);
  // Types into an edit field, key by key ('\b' is backspace); `replace`
  // selects the old text first.
  Driver& Type(OSType sig, int32_t id, const std::string& text, bool replace = true);
  // A key with modifiers, to the focused control or the window, as the Qt
  // key event a desktop's keyboard sends (the command key with 'z' is Ctrl
  // with Qt::Key_Z and the text "\x1a").
  Driver& Key(int16_t charCode, uint32_t modifiers = 0);
  // Press at the first point, drag through the others, release at the last
  // (window coordinates).
  Driver& Drag(const std::vector<Point>& points, uint32_t modifiers = 0);
  Driver& MoveMouse(int16_t h, int16_t v, uint32_t modifiers = 0);
  // Moves the virtual clock on, firing due timers in time order.
  Driver& Advance(double seconds);
  Driver& Resize(int16_t width, int16_t height);
  Driver& CloseBox();
  Driver& Zoom();
  Driver& Do(std::function<void(WindowRef)> action);

  // ---- outside steps ----
  // Clicks a control of any window now, with real mouse events (so the
  // layer's input blocking applies).
  void ClickControl(ControlRef c);
  // Runs pending events and the timers due now.
  void Pump();
  // Takes back the windows closed outside any modal loop (the host's next
  // loop turn would), then pumps. For a test's end, outside every handler.
  void Settle();
  // Runs the queued steps against a window that runs no modal loop.
  void RunSteps(WindowRef window);
  size_t PendingSteps() const { return steps_.size(); }
  const std::vector<std::string>& errors() const { return errors_; }

 private:
  using Step = std::function<void(Window*)>;
  Driver& Queue(Step step);
  void Run(Window* window) override;
  Control* Need(Window* w, OSType sig, int32_t id, const char* what);
  void Click(QWidget* target);
  void AdvanceNow(double seconds);

  ui::ScriptedUi ui_;
  ui::Services* previous_ = nullptr;
  std::deque<Step> steps_;
  std::vector<std::string> errors_;
};

}  // namespace plat::tb::test
