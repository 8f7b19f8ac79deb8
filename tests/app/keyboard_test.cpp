#include "app/keyboard.h"

#include <gtest/gtest.h>

#include "platform/toolbox/api/scripted_ui.h"
#include "platform/types/mac_types.h"

TEST(Keys, ModifierTestComparesTheWholeState) {
  plat::ui::ScriptedUi ui;
  plat::ui::ScopedServices installed(&ui);
  ui.SetModifiers(optionKey);
  EXPECT_EQ(TestKeyModif(optionKey), 1);
  EXPECT_EQ(TestKeyModif(shiftKey), 0);
  ui.SetModifiers(optionKey | alphaLock);
  EXPECT_EQ(TestKeyModif(optionKey), 0);
  ui.SetModifiers(optionKey | shiftKey);
  EXPECT_EQ(TestKeyModif(optionKey), 0);
  EXPECT_EQ(TestKeyModif(optionKey | shiftKey), 1);
  ui.SetModifiers(0);
  EXPECT_EQ(TestKeyModif(0), 1);
  EXPECT_EQ(TestKeyModif(cmdKey), 0);
  EXPECT_EQ(KeyIsDown(-1), 0);
  EXPECT_EQ(KeyIsDown(128), 0);
  EXPECT_EQ(TestStop(), 0);
}
