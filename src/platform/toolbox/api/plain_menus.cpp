#include "platform/toolbox/api/plain_menus.h"

#include "platform/toolbox/api/ui_services.h"

namespace plat::ui {

MenuRef NewMenu(int16_t id, const std::string& title) {
  auto* menu = new OpaqueMenuRef{id, title, {}};
  if (!CurrentServices().MenuMade(menu)) {
    delete menu;
    return nullptr;
  }
  return menu;
}

void AppendMenuItemText(MenuRef menu, const std::string& text) {
  if (menu == nullptr) return;
  menu->items.push_back(text);
  CurrentServices().MenuChanged(menu);
}

void DeleteMenuItems(MenuRef menu) {
  if (menu == nullptr) return;
  menu->items.clear();
  CurrentServices().MenuChanged(menu);
}

int32_t CountMenuItems(MenuRef menu) {
  return menu != nullptr ? static_cast<int32_t>(menu->items.size()) : 0;
}

std::string GetMenuItemText(MenuRef menu, int32_t item) {
  if (menu == nullptr || item < 1 || item > CountMenuItems(menu)) return {};
  return menu->items[static_cast<size_t>(item - 1)];
}

void DisposeMenu(MenuRef menu) {
  if (menu == nullptr) return;
  CurrentServices().MenuDisposed(menu);
  delete menu;
}

}  // namespace plat::ui
