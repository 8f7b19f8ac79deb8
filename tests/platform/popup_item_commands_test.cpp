// A popup whose items carry commands of their own sends the chosen item's
// command; a popup without them sends its own whatever the item.
#include <gtest/gtest.h>

#include <vector>

#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "support/qt/nib_window_fixture.h"

using namespace plat::tb;

namespace {

constexpr OSType kItcm = FourCC("Itcm");

struct Commands {
  std::vector<uint32_t> seen;
  static OSStatus Handle(EventHandlerCallRef, EventRef e, void* user) {
    static_cast<Commands*>(user)->seen.push_back(e->command);
    return noErr;
  }
};

using PopupItemCommands = vmktest::NibWindowTest;

TEST_F(PopupItemCommands, TheChosenItemsCommandGoesOut) {
  WindowRef w = Open("ItemCommands");
  ASSERT_NE(w, nullptr);
  Commands commands;
  InstallWindowEventHandler(w, Commands::Handle, {{kEventClassCommand, kEventCommandProcess}}, &commands);
  driver_.Choose(kItcm, 1, 2).Choose(kItcm, 1, 1).Choose(kItcm, 1, 3).Choose(kItcm, 2, 2).Choose(kItcm, 2, 1);
  driver_.RunSteps(w);
  // The third item has no command of its own: nothing is sent for it (0).
  EXPECT_EQ(commands.seen, (std::vector<uint32_t>{FourCC("Pcr1"), FourCC("Pcr0"), 0u, FourCC("Pone"),
                                                  FourCC("Pone")}));
  EXPECT_EQ(GetControl32BitValue(FindControl(w, kItcm, 1)), 3);
}

}  // namespace
