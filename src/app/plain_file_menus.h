// Menus that list preset files, in the form that needs no Qt: over the
// plain menus of the toolbox api (the popup form is app/ui/file_menus.h;
// both list the same entries with the same texts).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "platform/toolbox/api/plain_menus.h"

// Scans the folder that the record names by its path and name with
// SortFileType on types[0] into the list after its *count entries (room for
// `capacity`), and returns the item text of each entry the scan added, in
// list order: the file's name as the user knows it (without the suffix that
// marks its type, plat::files::DisplayName; the list keeps the name on disk)
// or, when `numbered` is not 0, the entry's 1-based place in the whole list,
// a space and the name. A folder that does not exist adds nothing.
std::vector<std::string> FileTypeMenuTexts(const fichier* folder, const OSType* types,
                                           int32_t capacity, int32_t* count, FSSpec* list,
                                           int16_t numbered);
// The same for files whose name contains `text`, with SortFileExt.
std::vector<std::string> FileExtMenuTexts(const fichier* folder, const char* text,
                                          int32_t capacity, int32_t* count, FSSpec* list,
                                          int16_t numbered);

// Appends one menu item per entry FileTypeMenuTexts adds. A null menu, list
// or count does nothing.
void InstallMenuFromFileType(MenuRef menu, const fichier* folder, const OSType* types,
                             int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered);
