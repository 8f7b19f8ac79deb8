#include "app/plain_file_menus.h"

#include <algorithm>

#include "app/folder_scans.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"

namespace {

std::vector<std::string> Texts(const FSSpec* list, int32_t from, int32_t to, int16_t numbered) {
  std::vector<std::string> out;
  for (int32_t k = std::max(from, 0); k < to; ++k) {
    std::string text = plat::files::DisplayName(PStrString(list[k].name));
    if (numbered != 0) text = std::to_string(k + 1) + " " + text;
    out.push_back(std::move(text));
  }
  return out;
}

template <typename Scan>
std::vector<std::string> ScanTexts(const fichier* folder, int32_t* count, FSSpec* list,
                                   int16_t numbered, Scan&& scan) {
  if (count == nullptr || list == nullptr) return {};
  const int32_t dir = FolderIDOfRecord(folder);
  if (dir == 0) return {};
  const int32_t before = *count;
  (void)scan(dir);
  return Texts(list, before, *count, numbered);
}

}  // namespace

std::vector<std::string> FileTypeMenuTexts(const fichier* folder, const OSType* types,
                                           int32_t capacity, int32_t* count, FSSpec* list,
                                           int16_t numbered) {
  if (types == nullptr) return {};
  return ScanTexts(folder, count, list, numbered, [&](int32_t dir) {
    return SortFileType(dir, plat::files::kVolume, types, capacity, count, list);
  });
}

std::vector<std::string> FileExtMenuTexts(const fichier* folder, const char* text,
                                          int32_t capacity, int32_t* count, FSSpec* list,
                                          int16_t numbered) {
  if (text == nullptr) return {};
  return ScanTexts(folder, count, list, numbered, [&](int32_t dir) {
    return SortFileExt(dir, plat::files::kVolume, text, capacity, count, list);
  });
}

void InstallMenuFromFileType(MenuRef menu, const fichier* folder, const OSType* types,
                             int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered) {
  if (menu == nullptr) return;
  for (const std::string& t : FileTypeMenuTexts(folder, types, capacity, count, list, numbered)) {
    plat::ui::AppendMenuItemText(menu, t);
  }
}
