#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"

using namespace plat::tb;
using plat::tb::test::Driver;

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
    if (e->eventClass == kEventClassKeyboard || e->kind == kEventTextInputUnicodeForKeyEvent) {
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

class ToolboxTest : public ::testing::Test {
 protected:
  void SetUp() override { SetNibFolder(std::string(VMK_FIXTURES_DIR) + "/nib"); }
  void TearDown() override {
    for (WindowRef w : windows_) DisposeWindow(w);
    driver_.Pump();
  }
  WindowRef Open(const std::string& name) {
    WindowRef w = nullptr;
    EXPECT_EQ(CreateWindowFromNib(name, &w), noErr);
    if (w != nullptr) windows_.push_back(w);
    return w;
  }
  ControlRef C(WindowRef w, int32_t id) { return FindControl(w, kDemo, id); }

  Driver driver_;
  std::vector<WindowRef> windows_;
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
