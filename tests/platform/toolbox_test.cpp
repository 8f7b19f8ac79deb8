#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

#include <string>
#include <utility>
#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "support/qt/nib_window_fixture.h"

using namespace plat::tb;

namespace {

constexpr OSType kDemo = FourCC("Demo");

std::string Code(uint32_t c) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((c >> shift) & 0xFF));
  return s;
}

// Records every event a window's handler sees, as text.
struct Recorder {
  std::vector<std::string> seen;
  OSStatus answer = eventNotHandledErr;
  static OSStatus Handle(EventHandlerCallRef, EventRef e, void* user) {
    auto* r = static_cast<Recorder*>(user);
    std::string s = Code(e->eventClass) + " " + std::to_string(e->kind);
    if (e->eventClass == kEventClassCommand) s += " " + Code(e->command);
    if (e->eventClass == kEventClassMenu) s += " " + std::to_string(e->menuItem);
    if (e->eventClass == kEventClassKeyboard ||
        (e->eventClass == kEventClassTextInput && e->kind == kEventTextInputUnicodeForKeyEvent)) {
      s += " " + std::to_string(e->charCode);
    }
    r->seen.push_back(s);
    return r->answer;
  }
};

const std::vector<EventTypeSpec> kAllTypes = {
    {kEventClassCommand, kEventCommandProcess}, {kEventClassMouse, kEventMouseMoved},
    {kEventClassTextInput, kEventTextInputFilterText}, {kEventClassTextInput, kEventTextInputUnicodeForKeyEvent},
    {kEventClassKeyboard, kEventRawKeyDown}, {kEventClassMenu, kEventMenuOpening},
    {kEventClassMenu, kEventMenuTargetItem}, {kEventClassMenu, kEventMenuClosed},
    {kEventClassWindow, kEventWindowDrawContent}, {kEventClassWindow, kEventWindowResizeCompleted},
    {kEventClassWindow, kEventWindowZoomed}, {kEventClassWindow, kEventWindowClickCloseRgn},
    {kEventClassWindow, kEventWindowClickContentRgn}};

class ToolboxTest : public vmktest::NibWindowTest {
 protected:
  ControlRef C(WindowRef w, int32_t id) { return FindControl(w, kDemo, id); }
};

}  // namespace

TEST_F(ToolboxTest, WindowsComeFromTheNibByName) {
  WindowRef w = nullptr;
  EXPECT_NE(CreateWindowFromNib("NoSuchWindow", &w), noErr);
  EXPECT_EQ(w, nullptr);
  EXPECT_NE(CreateWindowFromNib("../Demo", &w), noErr);
  w = Open("Demo");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(GetWindowTitle(w), "Demonstration");
  EXPECT_FALSE(IsWindowVisible(w));
  Rect b = GetWindowContentBounds(w);
  EXPECT_EQ(b.right, 400);
  EXPECT_EQ(b.bottom, 300);
  ControlRef c = nullptr;
  EXPECT_EQ(GetControlByID(w, ControlID{kDemo, 3}, &c), noErr);
  EXPECT_EQ(GetControlID(c).id, 3);
  EXPECT_EQ(GetControlOwner(c), w);
  EXPECT_EQ(GetControlByID(w, ControlID{kDemo, 99}, &c), errUnknownControl);
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(GetControlCommandID(C(w, 1)), FourCC("ok  "));
  Rect r = GetControlBounds(C(w, 1));
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.top, 260);
  EXPECT_EQ(r.right, 380);
  SetControlBounds(C(w, 1), Rect{250, 290, 280, 390});
  r = GetControlBounds(C(w, 1));
  EXPECT_EQ(r.left, 290);
  EXPECT_EQ(r.bottom, 280);
  // A control inside a group reports bounds in window coordinates.
  EXPECT_EQ(GetControlBounds(C(w, 15)).left, 20);
  EXPECT_EQ(GetControlBounds(C(w, 15)).top, 225);
}

TEST_F(ToolboxTest, UserChangesSendCommandsAndProgramChangesDoNot) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  ASSERT_FALSE(rec.seen.empty());
  EXPECT_EQ(rec.seen.front(), "wind 2");  // first show draws the content
  rec.seen.clear();

  // Setting values, texts and menus from code sends nothing.
  SetControl32BitValue(C(w, 8), 1);
  SetControl32BitValue(C(w, 9), 3);
  SetControl32BitValue(C(w, 7), 2);
  SetControl32BitValue(C(w, 5), 100);
  SetControl32BitValue(C(w, 13), 2);
  SetControlText(C(w, 3), "12");
  driver_.Pump();
  EXPECT_TRUE(rec.seen.empty());
  EXPECT_EQ(GetControl32BitValue(C(w, 9)), 3);
  EXPECT_EQ(GetControl32BitValue(C(w, 13)), 2);

  driver_.Press(kDemo, 8).Choose(kDemo, 9, 2).Choose(kDemo, 13, 1).PressPart(kDemo, 10, kControlUpButtonPart);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"cmds 1 Cflg", "cmds 1 Rmod", "cmds 1 Tpag", "cmds 1 Aval"}));
  EXPECT_EQ(GetControl32BitValue(C(w, 8)), 0);  // toggled off before the command
  EXPECT_EQ(GetControl32BitValue(C(w, 9)), 2);
  EXPECT_EQ(GetControl32BitValue(C(w, 13)), 1);
  EXPECT_EQ(GetControl32BitValue(C(w, 10)), 3);  // little arrows: up counts up
  // Values stay within the range.
  SetControl32BitValue(C(w, 10), 99);
  EXPECT_EQ(GetControl32BitValue(C(w, 10)), 5);
  SetControl32BitValue(C(w, 5), -4);
  EXPECT_EQ(GetControl32BitValue(C(w, 5)), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A popup is held to its minimum and maximum as every other control is: a
// value below shows its first item, one beyond its last (or the maximum the
// code set), never an empty field.
TEST_F(ToolboxTest, PopupValuesAreHeldToTheirRange) {
  WindowRef w = Open("Demo");
  ControlRef popup = C(w, 7);
  ASSERT_EQ(CountMenuItems(popup), 3);
  EXPECT_EQ(GetControl32BitMinimum(popup), 1);
  EXPECT_EQ(GetControl32BitMaximum(popup), 3);
  SetControl32BitValue(popup, 2);
  SetControl32BitValue(popup, 0);
  EXPECT_EQ(GetControl32BitValue(popup), 1);
  SetControl32BitValue(popup, -7);
  EXPECT_EQ(GetControl32BitValue(popup), 1);
  SetControl32BitValue(popup, 9);
  EXPECT_EQ(GetControl32BitValue(popup), 3);
  // Emptied, it shows nothing whatever it is given; filled again, its
  // maximum follows the items until the code sets another.
  DeleteMenuItems(popup);
  SetControl32BitValue(popup, 1);
  EXPECT_EQ(GetControl32BitValue(popup), 0);
  AppendMenuItemText(popup, "One");
  AppendMenuItemText(popup, "Two");
  SetControl32BitValue(popup, 0);
  EXPECT_EQ(GetControl32BitValue(popup), 1);
  SetControl32BitValue(popup, 5);
  EXPECT_EQ(GetControl32BitValue(popup), 2);
  SetControl32BitMaximum(popup, 1);
  SetControl32BitValue(popup, 2);
  EXPECT_EQ(GetControl32BitValue(popup), 1);
}

// Control with a letter reaches the window as that letter's control
// character, as the original keyboard gave it.
TEST_F(ToolboxTest, ControlLettersArriveAsControlCharacters) {
  WindowRef w = Open("Demo");
  Recorder rec;
  rec.answer = noErr;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  driver_.Key(1, controlKey).Key(2, controlKey).Key(26, controlKey);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"keyb 1 1", "keyb 1 2", "keyb 1 26"}));
}

// The key events a desktop's keyboard sends (Qt's, as the X server gives
// them) reach the handlers as the system's keys: Ctrl is the command key and
// types the key itself, not the control character the desktop made of it,
// so the command shortcuts hold; Meta is the control key and types the
// letter's control character.
TEST_F(ToolboxTest, DesktopKeysArriveAsTheSystemsCommandAndControlKeys) {
  WindowRef w = Open("Demo");
  std::vector<std::pair<int, uint32_t>> seen;
  auto record = [](EventHandlerCallRef, EventRef e, void* user) -> OSStatus {
    static_cast<std::vector<std::pair<int, uint32_t>>*>(user)->emplace_back(e->charCode, e->modifiers);
    return noErr;
  };
  InstallWindowEventHandler(w, record, {{kEventClassKeyboard, kEventRawKeyDown}}, &seen);
  ShowWindow(w);
  driver_.Pump();
  const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
  const struct {
    int key;
    Qt::KeyboardModifiers mods;
    const char* text;
  } keys[] = {
      {Qt::Key_Z, ctrl, "\x1a"},                        // Ctrl+Z: undo
      {Qt::Key_Z, ctrl | Qt::ShiftModifier, "\x1a"},    // Ctrl+Shift+Z
      {Qt::Key_S, ctrl, "\x13"},                        // Ctrl+S
      {Qt::Key_A, ctrl, "\x01"},                        // Ctrl+A
      {Qt::Key_M, ctrl, "\r"},                          // Ctrl+M, no Return
      {Qt::Key_BracketLeft, ctrl, "\x1b"},              // Ctrl+[, no Escape
      {Qt::Key_Period, ctrl, "."},                       // Ctrl+period
      {Qt::Key_Z, Qt::MetaModifier, "z"},                // Meta+Z
      {Qt::Key_Z, Qt::NoModifier, "z"},                  // a plain letter
      {Qt::Key_Z, Qt::ShiftModifier, "Z"},
      {Qt::Key_Return, ctrl, "\r"},                     // Ctrl+Return stays Return
  };
  driver_.Do([&](WindowRef win) {
    QWidget* widget = QtWidgetOf(win);
    QWidget* target = widget->focusWidget() != nullptr ? widget->focusWidget() : widget;
    for (const auto& k : keys) {
      QKeyEvent press(QEvent::KeyPress, k.key, k.mods, QString::fromLatin1(k.text));
      QCoreApplication::sendEvent(target, &press);
    }
  });
  driver_.RunSteps(w);
  const std::vector<std::pair<int, uint32_t>> expected = {
      {'z', cmdKey}, {'Z', cmdKey | shiftKey}, {'s', cmdKey}, {'a', cmdKey}, {'m', cmdKey},
      {'[', cmdKey}, {'.', cmdKey},           {26, controlKey}, {'z', 0},  {'Z', shiftKey},
      {13, cmdKey}};
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(driver_.errors().empty());
}

// Nothing handles them: a command key with a letter answers no button,
// where the control character the desktop typed would have been a Return,
// an Escape or an Enter.
TEST_F(ToolboxTest, CommandLettersPressNoButton) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  driver_.Do([](WindowRef win) {
    QWidget* widget = QtWidgetOf(win);
    QWidget* target = widget->focusWidget() != nullptr ? widget->focusWidget() : widget;
    QKeyEvent ctrlM(QEvent::KeyPress, Qt::Key_M, Qt::ControlModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(target, &ctrlM);
    QKeyEvent ctrlBracket(QEvent::KeyPress, Qt::Key_BracketLeft, Qt::ControlModifier, QStringLiteral("\x1b"));
    QCoreApplication::sendEvent(target, &ctrlBracket);
    // Ctrl+C, copy, types 3: the Enter key's character.
    QKeyEvent ctrlC(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, QStringLiteral("\x03"));
    QCoreApplication::sendEvent(target, &ctrlC);
  });
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"keyb 1 109", "keyb 1 91", "keyb 1 99"}));
}

TEST_F(ToolboxTest, PopupMenusReportOpeningTargetsAndClosingBeforeTheCommand) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ControlRef popup = C(w, 7);
  EXPECT_EQ(CountMenuItems(popup), 3);
  EXPECT_EQ(GetControl32BitMaximum(popup), 3);
  driver_.Hover(kDemo, 7, {2, 3}).Choose(kDemo, 7, 3);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"menu 4 0", "menu 6 2", "menu 6 3", "menu 5 0", "menu 4 0",
                                                "menu 6 3", "menu 5 0", "cmds 1 Pmod"}));
  EXPECT_EQ(GetControl32BitValue(popup), 3);
  DeleteMenuItems(popup);
  EXPECT_EQ(CountMenuItems(popup), 0);
  AppendMenuItemText(popup, "a (b) & <c>");
  AppendMenuItemText(popup, "-");
  EXPECT_EQ(CountMenuItems(popup), 2);
  EXPECT_EQ(GetMenuItemText(popup, 1), "a (b) & <c>");
  EXPECT_EQ(GetMenuItemText(popup, 2), "-");
  EXPECT_EQ(GetMenuItemText(popup, 3), "");
  EXPECT_EQ(GetControl32BitMaximum(popup), 2);
  SetControl32BitMinimum(popup, 1);
  SetControl32BitMaximum(popup, 1);
  EXPECT_EQ(GetControl32BitMaximum(popup), 1);
}

TEST_F(ToolboxTest, SlidersRunTheirLiveActionAndSendTheCommandOnRelease) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  std::vector<int> parts;
  // The pattern's action: arrows one step, pages ten, then the paired field.
  SetControlReference(C(w, 5), C(w, 6));
  SetControlAction(C(w, 5), [&parts](ControlRef c, int16_t part) {
    parts.push_back(part);
    int32_t v = GetControl32BitValue(c);
    if (part == kControlUpButtonPart) v -= 1;
    if (part == kControlDownButtonPart) v += 1;
    if (part == kControlPageUpPart) v -= 10;
    if (part == kControlPageDownPart) v += 10;
    SetControl32BitValue(c, v);
    SetControlText(static_cast<ControlRef>(GetControlReference(c)), std::to_string(GetControl32BitValue(c)));
  });
  SetControl32BitValue(C(w, 5), 50);
  driver_.Slide(kDemo, 5, 120).PressPart(kDemo, 5, kControlPageDownPart).PressPart(kDemo, 5, kControlUpButtonPart);
  driver_.RunSteps(w);
  EXPECT_EQ(parts, (std::vector<int>{kControlIndicatorPart, kControlPageDownPart, kControlUpButtonPart}));
  EXPECT_EQ(GetControl32BitValue(C(w, 5)), 129);
  EXPECT_EQ(GetControlText(C(w, 6)), "129");
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"cmds 1 Sopa", "cmds 1 Sopa", "cmds 1 Sopa"}));
  // Without an action the scroll bar steps by itself.
  driver_.PressPart(kDemo, 18, kControlDownButtonPart).PressPart(kDemo, 18, kControlPageDownPart);
  driver_.RunSteps(w);
  EXPECT_EQ(GetControl32BitValue(C(w, 18)), 11);
}

TEST_F(ToolboxTest, KeysPassFiltersAndReturnAndEscapeAnswerTheDialog) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  int blocked = 0;
  SetKeyFilter(C(w, 3), [&blocked](ControlRef, int16_t*, int16_t* ch, uint32_t*) {
    bool pass = (*ch >= '0' && *ch <= '9') || *ch == '-' || *ch == ' ' || *ch == 8;
    if (!pass) ++blocked;
    return pass;
  });
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  driver_.Type(kDemo, 3, "1x2\b5");
  driver_.RunSteps(w);
  EXPECT_EQ(GetControlText(C(w, 3)), "15");
  EXPECT_EQ(blocked, 1);
  EXPECT_EQ(GetKeyboardFocus(w), C(w, 3));
  // Each key: raw key down, then the typed character, then the new text.
  ASSERT_EQ(rec.seen.size(), 13u);
  EXPECT_EQ(rec.seen[0], "keyb 1 49");
  EXPECT_EQ(rec.seen[1], "text 2 49");
  EXPECT_EQ(rec.seen[2], "text 14");
  EXPECT_EQ(rec.seen[3], "keyb 1 120");  // 'x' is seen raw, then blocked
  EXPECT_EQ(rec.seen[4], "keyb 1 50");
  rec.seen.clear();
  // A handled raw key goes no further; Return and Escape press the buttons.
  rec.answer = noErr;
  driver_.Key('z', cmdKey);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"keyb 1 122"}));
  rec.answer = eventNotHandledErr;
  rec.seen.clear();
  driver_.Key(13).Key(27);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"keyb 1 13", "cmds 1 ok  ", "keyb 1 27", "cmds 1 canc"}));
}

TEST_F(ToolboxTest, TabWalksTheEditFieldsByIdPastFiltersAndWraps) {
  // The fields are 3, 4 and 6; the slider between them is 5.
  WindowRef w = Open("Demo");
  int filtered = 0;
  for (int32_t id : {3, 4, 6})
    SetKeyFilter(C(w, id), [&filtered](ControlRef, int16_t*, int16_t* ch, uint32_t*) {
      ++filtered;
      return *ch >= '0' && *ch <= '9';
    });
  ShowWindow(w);
  driver_.Pump();
  SetKeyboardFocus(w, C(w, 3));
  std::vector<ControlRef> seen;
  for (int k = 0; k < 3; ++k) {
    driver_.Key(9);
    driver_.RunSteps(w);
    seen.push_back(GetKeyboardFocus(w));
  }
  EXPECT_EQ(seen, (std::vector<ControlRef>{C(w, 4), C(w, 6), C(w, 3)}));
  // Backwards from the first wraps to the last; from a control that is no
  // field, on to the next field by id.
  driver_.Key(9, shiftKey);
  driver_.RunSteps(w);
  EXPECT_EQ(GetKeyboardFocus(w), C(w, 6));
  SetKeyboardFocus(w, C(w, 5));
  driver_.Key(9);
  driver_.RunSteps(w);
  EXPECT_EQ(GetKeyboardFocus(w), C(w, 6));
  // A disabled field is passed over; no filter ever saw a Tab, and no field
  // took one as text.
  DisableControl(C(w, 4));
  SetKeyboardFocus(w, C(w, 3));
  driver_.Key(9);
  driver_.RunSteps(w);
  EXPECT_EQ(GetKeyboardFocus(w), C(w, 6));
  EXPECT_EQ(filtered, 0);
  for (int32_t id : {3, 4, 6}) EXPECT_EQ(GetControlText(C(w, id)).find('\t'), std::string::npos);
}

TEST_F(ToolboxTest, ControlHandlersComeBeforeTheWindowsAndCanPassOn) {
  WindowRef w = Open("Demo");
  Recorder windowRec, controlRec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &windowRec);
  EventHandlerRef h = nullptr;
  InstallControlEventHandler(C(w, 8), Recorder::Handle, {{kEventClassCommand, kEventCommandProcess}}, &controlRec, &h);
  driver_.Press(kDemo, 8);
  driver_.RunSteps(w);
  EXPECT_EQ(controlRec.seen.size(), 1u);
  EXPECT_EQ(windowRec.seen.size(), 1u);  // not handled: passed on
  controlRec.answer = noErr;
  driver_.Press(kDemo, 8);
  driver_.RunSteps(w);
  EXPECT_EQ(controlRec.seen.size(), 2u);
  EXPECT_EQ(windowRec.seen.size(), 1u);
  RemoveEventHandler(h);
  driver_.Press(kDemo, 8);
  driver_.RunSteps(w);
  EXPECT_EQ(controlRec.seen.size(), 2u);
  EXPECT_EQ(windowRec.seen.size(), 2u);
  // CallNextEventHandler hands the event on from inside a handler.
  Recorder inner;
  int calls = 0;
  InstallWindowEventHandler(
      w,
      [&calls](EventHandlerCallRef next, EventRef e, void*) {
        ++calls;
        CallNextEventHandler(next, e);
        return noErr;
      },
      {{kEventClassCommand, kEventCommandProcess}}, nullptr);
  driver_.Press(kDemo, 1);
  driver_.RunSteps(w);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(windowRec.seen.back(), "cmds 1 ok  ");
}

TEST_F(ToolboxTest, GroupsCascadeVisibilityAndEnabling) {
  WindowRef w = Open("Demo");
  ShowWindow(w);
  EXPECT_TRUE(IsControlVisible(C(w, 15)));
  HideControl(C(w, 14));
  EXPECT_FALSE(IsControlVisible(C(w, 14)));
  EXPECT_FALSE(IsControlVisible(C(w, 15)));
  ShowControl(C(w, 14));
  EXPECT_TRUE(IsControlVisible(C(w, 15)));
  DisableControl(C(w, 14));
  EXPECT_FALSE(IsControlEnabled(C(w, 15)));
  EnableControl(C(w, 14));
  EXPECT_TRUE(IsControlEnabled(C(w, 15)));
  // A disabled button sends nothing.
  driver_.Pump();
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  DisableControl(C(w, 8));
  driver_.Press(kDemo, 8);
  driver_.RunSteps(w);
  EXPECT_TRUE(rec.seen.empty());
  // Static text and titles; indicator value.
  SetControlText(C(w, 11), " R 12");
  EXPECT_EQ(GetControlText(C(w, 11)), " R 12");
  SetControlTitle(C(w, 14), "Frame");
  EXPECT_EQ(GetControlText(C(w, 14)), "Frame");
  SetControl32BitMaximum(C(w, 17), 1);
  SetControl32BitValue(C(w, 17), 1);
  EXPECT_EQ(GetControl32BitValue(C(w, 17)), 1);
  int dummy = 0;
  SetControlReference(C(w, 17), &dummy);
  EXPECT_EQ(GetControlReference(C(w, 17)), &dummy);
}

TEST_F(ToolboxTest, WindowEventsAndTheCloseBoxThatNeverDisposes) {
  WindowRef w = Open("Palette");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  EXPECT_TRUE(IsWindowResizable(w));
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  driver_.CloseBox().Zoom().Drag({Point{45, 95}}).MoveMouse(5, 45);
  driver_.RunSteps(w);
  // The close box nobody took becomes the standard close command (the window
  // has no Cancel button to press).
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"wind 35", "cmds 1 clos", "wind 76", "wind 37", "mous 5"}));
  EXPECT_TRUE(IsWindowVisible(w));  // still there
  rec.seen.clear();
  SizeWindow(w, 150, 80);
  driver_.Pump();
  EXPECT_EQ(GetWindowContentBounds(w).right, 150);
  EXPECT_EQ(GetWindowPort(w)->surface().width(), 150);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"wind 29", "wind 2"}));  // resized, then redrawn
  SetWindowTitle(w, "Tools");
  EXPECT_EQ(GetWindowTitle(w), "Tools");
}

TEST_F(ToolboxTest, AWindowWithoutACloseBoxReportsNoCloseButStillZooms) {
  WindowRef w = Open("NoClose");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  driver_.CloseBox().Zoom();
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"wind 76"}));
  EXPECT_TRUE(IsWindowVisible(w));
}

TEST_F(ToolboxTest, AUserResizeReachesThePortAndTheHandlers) {
  WindowRef w = Open("Demo");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  plat::draw::Port* port = GetWindowPort(w);
  plat::draw::SetPort(port);
  plat::draw::PaintRect(Rect{0, 0, 10, 10});
  driver_.Resize(420, 320);
  driver_.RunSteps(w);
  EXPECT_EQ(port->surface().width(), 420);
  EXPECT_EQ(port->surface().pixel(5, 5), 0xFF000000u);      // kept
  EXPECT_EQ(port->surface().pixel(410, 310), 0xFFFFFFFFu);  // new area white
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"wind 29", "wind 2"}));
  EXPECT_FALSE(IsWindowResizable(w));
  plat::draw::SetPort(nullptr);
}

// Lone radio buttons: each is a control of its own with its own command;
// those that share a parent turn each other off when the user clicks, and
// the program can turn any of them off.
TEST_F(ToolboxTest, LoneRadioButtonsAreOnOrOffAndSendTheirOwnCommands) {
  constexpr OSType kRadi = FourCC("Radi");
  WindowRef w = Open("Radios");
  Recorder rec;
  InstallWindowEventHandler(w, Recorder::Handle, kAllTypes, &rec);
  ShowWindow(w);
  driver_.Pump();
  rec.seen.clear();
  ControlRef one = FindControl(w, kRadi, 1), two = FindControl(w, kRadi, 2);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(GetControl32BitMinimum(one), 0);
  EXPECT_EQ(GetControl32BitMaximum(one), 1);
  SetControl32BitValue(one, 1);
  EXPECT_EQ(GetControl32BitValue(one), 1);
  SetControl32BitValue(one, 0);
  EXPECT_EQ(GetControl32BitValue(one), 0);
  driver_.Pump();
  EXPECT_TRUE(rec.seen.empty());

  driver_.Press(kRadi, 1).Press(kRadi, 2);
  driver_.RunSteps(w);
  EXPECT_EQ(rec.seen, (std::vector<std::string>{"cmds 1 Rad1", "cmds 1 Rad2"}));
  EXPECT_EQ(GetControl32BitValue(one), 0);
  EXPECT_EQ(GetControl32BitValue(two), 1);
  // Both off, then both on: the program decides.
  SetControl32BitValue(two, 0);
  EXPECT_EQ(GetControl32BitValue(two), 0);
  EXPECT_TRUE(driver_.errors().empty());
}
