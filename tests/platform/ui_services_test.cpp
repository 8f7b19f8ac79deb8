#include <gtest/gtest.h>

#include "platform/draw/port.h"
#include "platform/toolbox/api/scripted_ui.h"
#include "platform/toolbox/api/ui_services.h"

using namespace plat::ui;

TEST(UiServices, HeadlessDefaultNeverBlocksAndCancels) {
  Services* keep = InstallServices(nullptr);
  Point p{5, 5};
  int16_t result = 0;
  TrackMouseLocation(nullptr, &p, &result);
  EXPECT_EQ(result, kTrackMouseUp);
  EXPECT_FALSE(StillDown());
  EXPECT_EQ(GetCurrentKeyModifiers(), 0u);
  RGBColor c{1, 2, 3};
  EXPECT_FALSE(AskColor("Choose a color:", &c));
  EXPECT_EQ(c.red, 1);
  std::string path = "unchanged";
  EXPECT_FALSE(AskOpenFile("Load", {FourCC("hVig")}, &path));
  EXPECT_EQ(path, "unchanged");
  EXPECT_EQ(Alert(AlertRequest{129, "", {"a", "b"}}), 1);
  InstallServices(keep);
}

TEST(UiServices, ScriptedDragIsSeenByBothKindsOfLoop) {
  ScriptedUi ui;
  ScopedServices guard(&ui);
  ui.Press(10, 20, 0);
  ui.DragTo(12, 20, shiftKey);
  ui.DragTo(15, 22);  // keeps Shift
  ui.Release(16, 23, 0);
  std::vector<std::pair<int, int>> seen;
  int16_t result = 0;
  Point p;
  do {
    TrackMouseLocation(nullptr, &p, &result);
    seen.emplace_back(p.h, p.v);
    if (seen.size() == 3) {
      EXPECT_EQ(GetCurrentKeyModifiers(), static_cast<uint32_t>(shiftKey));
    }
  } while (result != kTrackMouseUp);
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{10, 20}, {12, 20}, {15, 22}, {16, 23}}));
  EXPECT_EQ(GetCurrentKeyModifiers(), 0u);
  // Button already up: the release comes back at once.
  TrackMouseLocation(nullptr, &p, &result);
  EXPECT_EQ(result, kTrackMouseUp);
  EXPECT_EQ(p.h, 16);

  ui.Press(1, 1);
  ui.DragTo(2, 1);
  ui.Release(3, 1);
  int steps = 0;
  while (StillDown()) {
    GetMouse(&p);
    ++steps;
  }
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(ui.Location().h, 3);
  EXPECT_FALSE(Button());

  // Reading the mouse twice without polling the button sees one place; the
  // press point is seen first.
  ui.Press(7, 8);
  ui.DragTo(9, 8);
  ui.Release(9, 9);
  GetMouse(&p);
  EXPECT_EQ(p.h, 7);
  GetMouse(&p);
  EXPECT_EQ(p.h, 7);
  EXPECT_TRUE(Button());
  TrackMouseLocation(nullptr, &p, &result);
  EXPECT_EQ(p.h, 9);
  EXPECT_EQ(result, kTrackMouseDragged);
  EXPECT_FALSE(StillDown());
  EXPECT_EQ(ui.PendingMouseSamples(), 0u);
}

TEST(UiServices, LocationsAreInThePortsCoordinates) {
  ScriptedUi ui;
  ScopedServices guard(&ui);
  plat::draw::Port view(20, 20);
  view.originInWindow = Point{30, 100};  // v, h
  ui.Release(110, 35);
  Point p;
  int16_t result = 0;
  TrackMouseLocation(&view, &p, &result);
  EXPECT_EQ(p.h, 10);
  EXPECT_EQ(p.v, 5);
}

TEST(UiServices, ModifiersKeysClockAndCursors) {
  ScriptedUi ui;
  ScopedServices guard(&ui);
  ui.SetModifiers(optionKey | alphaLock);
  EXPECT_TRUE(KeyIsDown(kVKOption));
  EXPECT_TRUE(KeyIsDown(kVKCapsLock));
  EXPECT_FALSE(KeyIsDown(kVKCommand));
  EXPECT_NE(GetCurrentKeyModifiers(), static_cast<uint32_t>(optionKey));  // whole masks
  ui.SetKeyDown(47, true);  // '.', as in Command-period
  EXPECT_TRUE(KeyIsDown(47));
  ui.SetKeyDown(47, false);
  EXPECT_FALSE(KeyIsDown(47));
  // A busy wait on the tick count ends under the virtual clock.
  uint32_t start = TickCount();
  int spins = 0;
  while (TickCount() - start < 20) ++spins;
  EXPECT_EQ(spins, 19);
  double t = Now();
  ui.Advance(2.5);
  EXPECT_DOUBLE_EQ(Now(), t + 2.5);
  SetThemeCursor(kCrossCursor);
  SetResourceCursor(16001);
  EXPECT_EQ(LastCursor(), (CursorChoice{CursorChoice::Resource, 16001, 0}));
  ASSERT_EQ(ui.cursors.size(), 2u);
  EXPECT_EQ(ui.cursors[0].id, kCrossCursor);
  SysBeep(1);
  EXPECT_EQ(ui.beeps, 1);
}

TEST(UiServices, PickerAnswersAreConsumedInOrderAndLogged) {
  ScriptedUi ui;
  ScopedServices guard(&ui);
  ui.AnswerColor(RGBColor{0xFF00, 0x8000, 0});
  ui.AnswerColor(std::nullopt);
  RGBColor c{1, 1, 1};
  EXPECT_TRUE(AskColor("Choose destination color", &c));
  EXPECT_EQ(c.red, 0xFF00);
  RGBColor d{7, 7, 7};
  EXPECT_FALSE(AskColor("Choose a color:", &d));
  EXPECT_EQ(d.red, 7);  // cancel leaves the colour
  EXPECT_EQ(ui.colorPrompts, (std::vector<std::string>{"Choose destination color", "Choose a color:"}));

  ui.AnswerOpenFile("/tmp/a.hvig");
  std::string path;
  EXPECT_TRUE(AskOpenFile("Load a New Grid...", {FourCC("hXgr"), FourCC("TEXT")}, &path));
  EXPECT_EQ(path, "/tmp/a.hvig");
  ASSERT_EQ(ui.openRequests.size(), 1u);
  EXPECT_EQ(ui.openRequests[0].types[1], FourCC("TEXT"));
  EXPECT_FALSE(AskOpenFile("again", {}, &path));  // unanswered: cancelled

  ui.AnswerSaveFile("/tmp/b.pAth", true);
  ui.AnswerSaveFile(std::string());  // an empty answer is no answer
  bool replacing = false;
  EXPECT_TRUE(AskSaveFile("", "", FourCC("pAth"), FourCC("vMkC"), &path, &replacing));
  EXPECT_TRUE(replacing);
  EXPECT_FALSE(AskSaveFile("", "x", FourCC("pAth"), FourCC("vMkC"), &path, &replacing));
  EXPECT_EQ(ui.saveRequests[1].defaultName, "x");

  ui.AnswerFolder("/tmp");
  EXPECT_TRUE(AskFolder("Choose", &path));
  EXPECT_EQ(path, "/tmp");
  ui.AnswerAlert(2);
  EXPECT_EQ(Alert(AlertRequest{129, "", {"one", "two"}}), 2);
  EXPECT_EQ(Alert(AlertRequest{}), 1);
  EXPECT_EQ(ui.alertRequests[0].params[1], "two");
}
