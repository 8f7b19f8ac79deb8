#include "app/ui/file_menus.h"

#include <string>

#include "app/plain_file_menus.h"

void InstallMenuFromFileType(plat::tb::ControlRef menu, const fichier* folder, const OSType* types,
                             int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered) {
  if (menu == nullptr) return;
  for (const std::string& t : FileTypeMenuTexts(folder, types, capacity, count, list, numbered)) {
    plat::tb::AppendMenuItemText(menu, t);
  }
}

void InstallMenuFromFileExt(plat::tb::ControlRef menu, const fichier* folder, const char* text,
                            int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered) {
  if (menu == nullptr) return;
  for (const std::string& t : FileExtMenuTexts(folder, text, capacity, count, list, numbered)) {
    plat::tb::AppendMenuItemText(menu, t);
  }
}
