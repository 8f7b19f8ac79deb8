// The bundle's resource file, kept as a folder of small files.
//
// A resource of type 'PAT#' and number 16300 is the file
// "<folder>/PAT#/16300.<ext>" (any extension; text formats are used where
// the contents are small enough to read by eye). The host points the reader
// at the bundle's copy; tests point it at the source tree. A missing folder
// or file simply means "no such resource": callers fall back or report it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/types/mac_types.h"

namespace plat::res {

// The folder holding one subfolder per resource type ("" = none set).
void SetResourceFolder(const std::string& folder);
const std::string& ResourceFolder();

// Raw bytes of resource (type, id), or nullopt when it does not exist or
// cannot be read. Oversized files (over 4 MB) are refused: resources here
// are small and a huge file means something is wrong with the bundle.
std::optional<std::vector<uint8_t>> GetResource(OSType type, int16_t id);
// The file that holds resource (type, id), for readers that take a path
// (pictures), or nullopt when there is none.
std::optional<std::string> GetResourcePath(OSType type, int16_t id);
// The same as text.
std::optional<std::string> GetResourceText(OSType type, int16_t id);

// String lists ('STR#'): item `index` (1-based) of list `id`, or "" when
// the list or the item does not exist. A list is a text file of one item a
// line, taken as it stands (leading and trailing spaces count); lines that
// begin with '#' are comments and count as no item. Lists are read once and
// kept until the resource folder changes.
std::string GetIndString(int16_t id, int16_t index);
// The number of items of list `id` (0 when it does not exist).
int16_t CountIndStrings(int16_t id);

// The folder name of a type code ("PAT#"), or "" when the code holds a
// character that cannot name a folder.
std::string TypeFolderName(OSType type);

}  // namespace plat::res
