// Menus that plain code builds without Qt: a menu made by number and title,
// items appended as texts, counted, read back and disposed of.
//
// The menu itself is plain data. Whoever implements the user-interface
// services (ui_services.h) is told when a menu is made, changed and
// disposed of: the Qt toolbox shows each menu as a QMenu (QtMenuOf in
// toolbox.h), the scripted stand-in records them and can refuse new ones
// so that failures can be tested, and the headless default accepts them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The menu record; plain code holds it through MenuRef only.
struct OpaqueMenuRef {
  int16_t id = 0;
  std::string title;
  std::vector<std::string> items;
};
using MenuRef = OpaqueMenuRef*;

namespace plat::ui {

// A new empty menu; null when the services refuse it.
MenuRef NewMenu(int16_t id, const std::string& title);
// Appends one item; a null menu is ignored.
void AppendMenuItemText(MenuRef menu, const std::string& text);
// Removes every item; a null menu is ignored.
void DeleteMenuItems(MenuRef menu);
// Items in the menu (0 for a null menu).
int32_t CountMenuItems(MenuRef menu);
// The text of item `item` (1-based); "" outside the menu.
std::string GetMenuItemText(MenuRef menu, int32_t item);
// Frees the menu; null is ignored.
void DisposeMenu(MenuRef menu);

}  // namespace plat::ui
