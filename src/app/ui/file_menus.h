// Popup menus that list preset files: every file of a type, or every file
// whose name holds a text, found in a folder tree, one item per file.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "platform/toolbox/toolbox.h"

// Scans the folder that the record names by its path and name (the folder
// itself) with SortFileType on types[0] (SortFileExt on `text`), then appends
// one item to the popup per entry the scan added to the list, in list order:
// the file's name or, when `numbered` is not 0, the entry's 1-based place in
// the whole list, a space and the name. A folder that does not exist adds
// nothing. The list has room for `capacity` entries; *count is the number
// already in it, in and out.
void InstallMenuFromFileType(plat::tb::ControlRef menu, const fichier* folder, const OSType* types,
                             int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered);
void InstallMenuFromFileExt(plat::tb::ControlRef menu, const fichier* folder, const char* text,
                            int32_t capacity, int32_t* count, FSSpec* list, int16_t numbered);
