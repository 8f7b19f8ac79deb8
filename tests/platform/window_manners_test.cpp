// Windows as a desktop expects them: a close request answers as the
// window's Cancel, a window opened from another is its dialog and opens
// over it, inside the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QWindow>

#include <string>
#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "platform/toolbox/toolbox_internal.h"
#include "support/qt/nib_window_fixture.h"

using namespace plat::tb;

namespace {

constexpr OSType kSmal = FourCC("Smal");

std::string Code(uint32_t c) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) s.push_back(static_cast<char>((c >> shift) & 0xFF));
  return s;
}

// The window and command events a window's handler hears; it takes the
// close-box click itself when asked to.
struct Listener {
  std::vector<std::string> heard;
  bool takesCloseBox = false;
  static OSStatus Handle(EventHandlerCallRef, EventRef e, void* user) {
    auto* l = static_cast<Listener*>(user);
    if (e->eventClass == kEventClassWindow) {
      l->heard.push_back("close box");
      return l->takesCloseBox ? OSStatus{noErr} : OSStatus{eventNotHandledErr};
    }
    std::string s = "command " + Code(e->command);
    if (e->control != nullptr) s += " from " + std::to_string(GetControlID(e->control).id);
    l->heard.push_back(s);
    return noErr;
  }
  void Listen(WindowRef w) {
    InstallWindowEventHandler(w, Handle,
                              {{kEventClassWindow, kEventWindowClickCloseRgn}, {kEventClassCommand, kEventCommandProcess}},
                              this);
  }
};

// Ends a window's modal loop on its OK or Cancel.
OSStatus QuitOnAnswer(EventHandlerCallRef, EventRef e, void* window) {
  if (e->command != FourCC("ok  ") && e->command != FourCC("canc")) return eventNotHandledErr;
  QuitAppModalLoopForWindow(static_cast<WindowRef>(window));
  return noErr;
}

class WindowMannersTest : public vmktest::NibWindowTest {
 protected:
  WindowRef OpenModal(const std::string& name) {
    WindowRef w = Open(name);
    InstallWindowEventHandler(w, QuitOnAnswer, {{kEventClassCommand, kEventCommandProcess}}, w);
    return w;
  }
};

}  // namespace

// ---- close requests ----

TEST_F(WindowMannersTest, AnUnansweredCloseBoxPressesTheWindowsCancelButton) {
  WindowRef w = Open("Small");
  Listener l;
  l.Listen(w);
  ShowWindow(w);
  driver_.Pump();
  driver_.CloseBox().RunSteps(w);
  // The same command from the same button as a click on Cancel.
  EXPECT_EQ(l.heard, (std::vector<std::string>{"close box", "command canc from 2"}));
  EXPECT_TRUE(IsWindowVisible(w));  // its owner decides what Cancel does
}

TEST_F(WindowMannersTest, AHandlerThatTakesTheCloseBoxIsAllThatRuns) {
  WindowRef w = Open("Small");
  Listener l;
  l.takesCloseBox = true;
  l.Listen(w);
  ShowWindow(w);
  driver_.CloseBox().RunSteps(w);
  EXPECT_EQ(l.heard, (std::vector<std::string>{"close box"}));
}

TEST_F(WindowMannersTest, WithoutACancelButtonTheCloseBoxSendsTheStandardCloseCommand) {
  WindowRef w = Open("Palette");
  Listener l;
  l.Listen(w);
  ShowWindow(w);
  driver_.CloseBox().RunSteps(w);
  EXPECT_EQ(l.heard, (std::vector<std::string>{"close box", "command clos"}));
}

TEST_F(WindowMannersTest, ADisabledCancelCancelsNothing) {
  WindowRef w = Open("Small");
  Listener l;
  l.Listen(w);
  ShowWindow(w);
  DisableControl(FindControl(w, kSmal, 2));
  driver_.CloseBox().RunSteps(w);
  EXPECT_EQ(l.heard, (std::vector<std::string>{"close box"}));
}

TEST_F(WindowMannersTest, AWindowBehindAModalOneIgnoresItsCloseBox) {
  WindowRef owner = Open("Small");
  Listener ownerHears;
  ownerHears.Listen(owner);
  ShowWindow(owner);
  driver_.Pump();
  // A press in the owner opens the modal window from it.
  driver_.ClickControl(FindControl(owner, kSmal, 3));
  ownerHears.heard.clear();
  WindowRef modal = OpenModal("Demo");
  ShowWindow(modal);
  // While the modal window runs, the owner's close box is pressed, then the
  // modal window answers.
  driver_.Do([&](WindowRef) { QtWidgetOf(owner)->close(); }).Key(27);
  EXPECT_EQ(RunAppModalLoopForWindow(modal), noErr);
  EXPECT_TRUE(ownerHears.heard.empty());
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WindowMannersTest, AWindowWithoutACloseBoxOffersNone) {
  WindowRef none = Open("NoClose");
  WindowRef some = Open("Small");
  EXPECT_FALSE(QtWidgetOf(none)->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(QtWidgetOf(some)->windowFlags().testFlag(Qt::WindowCloseButtonHint));
  Listener l;
  l.Listen(none);
  ShowWindow(none);
  driver_.CloseBox().RunSteps(none);
  EXPECT_TRUE(l.heard.empty());
}

// ---- owners ----

TEST_F(WindowMannersTest, AWindowOpenedFromAModalOneIsItsDialogForTheWindowManager) {
  WindowRef dialog = OpenModal("Demo");
  WindowRef question = nullptr;
  driver_
      .Do([&](WindowRef) {
        question = Open("Small");
        ShowWindow(question);
        HideWindow(question);
      })
      .Key(27);
  ShowWindow(dialog);
  EXPECT_EQ(RunAppModalLoopForWindow(dialog), noErr);
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(QtWidgetOf(question)->windowType(), Qt::Dialog);
  ASSERT_NE(QtWidgetOf(question)->windowHandle(), nullptr);
  EXPECT_EQ(QtWidgetOf(question)->windowHandle()->transientParent(), QtWidgetOf(dialog)->windowHandle());
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WindowMannersTest, AQtDialogOfTheProgramBelongsToTheWindowInFront) {
  WindowRef front = OpenModal("Small");
  QDialog dialog;
  dialog.resize(120, 60);
  ShowWindow(front);
  driver_.Do([&](WindowRef) { TieToFrontWindow(&dialog); }).Key(27);
  EXPECT_EQ(RunAppModalLoopForWindow(front), noErr);
  ASSERT_NE(dialog.windowHandle(), nullptr);
  EXPECT_EQ(dialog.windowHandle()->transientParent(), QtWidgetOf(front)->windowHandle());
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WindowMannersTest, TheSecondPressOfADoubleClickMakesAPaletteTheOpener) {
  // The first press of a double click closes a dialog over a palette; the
  // second lands on the palette's button, which opens a window: that
  // window belongs to the palette (and stays above it), not to the modal
  // window the palette floats beside.
  WindowRef editor = OpenModal("Small");
  WindowRef palette = nullptr;
  WindowRef shape = nullptr;
  auto press = [](WindowRef w, QEvent::Type type) {
    QMouseEvent e(type, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(QtWidgetOf(w), &e);
  };
  driver_
      .Do([&](WindowRef) {
        palette = Open("Palette");
        ShowWindow(palette);
        press(editor, QEvent::MouseButtonPress);
        press(palette, QEvent::MouseButtonDblClick);
        shape = Open("Demo");
        ShowWindow(shape);
        HideWindow(shape);
      })
      .Key(27);
  ShowWindow(editor);
  EXPECT_EQ(RunAppModalLoopForWindow(editor), noErr);
  ASSERT_NE(palette, nullptr);
  ASSERT_NE(shape, nullptr);
  EXPECT_EQ(palette->owner, editor);
  EXPECT_EQ(shape->owner, palette);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WindowMannersTest, TwoPalettesOfAWindowOpenSideBySideBesideIt) {
  WindowRef owner = Open("Small");
  ShowWindow(owner);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(QtWidgetOf(owner), &press);
  WindowRef first = Open("Palette");
  WindowRef second = Open("Palette");
  ShowWindow(first);
  ShowWindow(second);
  const QRect o = QtWidgetOf(owner)->frameGeometry();
  const QRect a = QtWidgetOf(first)->frameGeometry();
  const QRect b = QtWidgetOf(second)->frameGeometry();
  EXPECT_EQ(first->owner, owner);
  EXPECT_EQ(second->owner, owner);
  // Each right of the one before, a few pixels apart (the test platform's
  // frames are not all alike), tops aligned; none over another.
  EXPECT_GT(a.left(), o.right());
  EXPECT_LE(a.left(), o.right() + 8);
  EXPECT_GT(b.left(), a.right());
  EXPECT_LE(b.left(), a.right() + 8);
  EXPECT_EQ(b.top(), a.top());
}

// ---- where a window opens ----

namespace {

Placement Over(QRect owner, QSize size) {
  Placement p;
  p.area = QRect(0, 0, 1600, 1000);
  p.ownerFrame = owner;
  p.size = size;
  p.frame = QMargins(1, 20, 1, 5);
  return p;
}

}  // namespace

TEST(WindowPlacement, CentredOverItsOwnerFrameAndAll) {
  // The frame (content and the manager's 2 x 25 more) centred on the owner's.
  EXPECT_EQ(PlaceWindow(Over(QRect(100, 100, 800, 600), QSize(298, 175))), QRect(350, 300, 300, 200));
  // Without an owner, centred on the screen.
  Placement alone = Over(QRect(), QSize(398, 275));
  EXPECT_EQ(PlaceWindow(alone), QRect(600, 350, 400, 300));
}

TEST(WindowPlacement, MovedInsideTheScreenWhenItsOwnerIsNearAnEdge) {
  // The owner's centre near the right and bottom edges: the window ends at them.
  EXPECT_EQ(PlaceWindow(Over(QRect(1300, 800, 300, 200), QSize(398, 275))), QRect(1200, 700, 400, 300));
  // And at the left and top ones.
  EXPECT_EQ(PlaceWindow(Over(QRect(-200, -100, 300, 200), QSize(398, 275))), QRect(0, 0, 400, 300));
  // Inside an area that does not start at the corner (a panel on top).
  Placement p = Over(QRect(0, 0, 100, 100), QSize(398, 275));
  p.area = QRect(0, 30, 1600, 970);
  EXPECT_EQ(PlaceWindow(p), QRect(0, 30, 400, 300));
}

TEST(WindowPlacement, TooLargeForTheScreenIsShrunkWhenResizableElseKeepsItsTitleBarOnIt) {
  Placement p = Over(QRect(100, 100, 800, 600), QSize(1700, 1100));
  p.resizable = true;
  EXPECT_EQ(PlaceWindow(p), QRect(0, 0, 1600, 1000));
  // Never below the window's own minimum.
  p.minimum = QSize(1650, 500);
  EXPECT_EQ(PlaceWindow(p), QRect(0, 0, 1652, 1000));
  p.resizable = false;
  p.minimum = QSize();
  EXPECT_EQ(PlaceWindow(p), QRect(0, 0, 1702, 1125));
}

TEST(WindowPlacement, APaletteOpensBesideItsOwner) {
  Placement p = Over(QRect(100, 100, 800, 600), QSize(248, 425));
  p.beside = true;
  EXPECT_EQ(PlaceWindow(p), QRect(904, 100, 250, 450));  // right of it, tops aligned
  p.ownerFrame = QRect(500, 100, 1000, 600);              // no room on the right
  EXPECT_EQ(PlaceWindow(p), QRect(246, 100, 250, 450));
  p.ownerFrame = QRect(100, 100, 1400, 600);              // nor on the left: over it, inside
  EXPECT_EQ(PlaceWindow(p), QRect(1350, 100, 250, 450));
}

TEST(WindowPlacement, NoScreenAreaLeavesItWhereItsOwnerIs) {
  Placement p = Over(QRect(100, 100, 301, 201), QSize(1998, 1975));
  p.area = QRect();
  p.resizable = true;
  const QRect r = PlaceWindow(p);
  EXPECT_EQ(r.size(), QSize(2000, 2000));
  EXPECT_EQ(r.center(), QPoint(250, 200));
}

// ---- a field the user is editing ----

TEST_F(WindowMannersTest, ARedrawOfTheSameTextKeepsWhatTheUserSelectedToTypeOver) {
  WindowRef w = Open("Demo");
  ControlRef field = FindControl(w, FourCC("Demo"), 3);
  ASSERT_TRUE(IsEditText(field));
  SetControlText(field, "250");
  SetEditTextSelection(field, 0, 3);  // the user's double click
  SetControlText(field, "250");       // the window's timer shows its values again
  int32_t start = -1, end = -1;
  GetEditTextSelection(field, &start, &end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 3);
  // A new value replaces the text, and the selection with it.
  SetControlText(field, "180");
  GetEditTextSelection(field, &start, &end);
  EXPECT_EQ(GetControlText(field), "180");
  EXPECT_EQ(start, 3);
  EXPECT_EQ(end, 3);
}
