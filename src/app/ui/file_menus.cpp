#include "app/ui/file_menus.h"

#include <algorithm>
#include <string>

#include "app/folder_scans.h"
#include "platform/files/file_spec.h"

namespace {

void AppendEntries(plat::tb::ControlRef menu, const FSSpec* list, int32_t from, int32_t to,
                   int16_t numbered) {
  for (int32_t k = std::max(from, 0); k < to; ++k) {
    std::string text = PStrString(list[k].name);
    if (numbered != 0) text = std::to_string(k + 1) + " " + text;
    plat::tb::AppendMenuItemText(menu, text);
  }
}

}  // namespace

void InstallMenuFromFileType(plat::tb::ControlRef menu, const fichier* folder, const OSType* types,
                             int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered) {
  if (menu == nullptr || types == nullptr || count == nullptr || list == nullptr) return;
  const int32_t dir = FolderIDOfRecord(folder);
  if (dir == 0) return;
  const int32_t before = *count;
  (void)SortFileType(dir, plat::files::kVolume, types, capacity, count, list);
  AppendEntries(menu, list, before, *count, numbered);
}

void InstallMenuFromFileExt(plat::tb::ControlRef menu, const fichier* folder, const char* text,
                            int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered) {
  if (menu == nullptr || text == nullptr || count == nullptr || list == nullptr) return;
  const int32_t dir = FolderIDOfRecord(folder);
  if (dir == 0) return;
  const int32_t before = *count;
  (void)SortFileExt(dir, plat::files::kVolume, text, capacity, count, list);
  AppendEntries(menu, list, before, *count, numbered);
}
