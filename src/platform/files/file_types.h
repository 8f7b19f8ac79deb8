// File types, their file-name extensions, and type/creator tags on disk.
//
// A file's four-character type and creator live in its file record; on disk
// the extension tells the type (one extension per type, from one table), and
// where the file system allows it both codes are also kept in extended
// attributes. Our own preset and scratch types use their code in lower case
// ('hVig' -> ".hvig"); images use their usual extensions.
#pragma once

#include <string>
#include <string_view>

#include "platform/types/mac_types.h"

namespace plat::files {

// The extension of a type, with its dot (".hvig", ".tif"); "" for a code
// that cannot make one (no letter or digit in it).
std::string ExtensionForType(OSType type);

// The type an extension stands for (case-insensitive, with or without the
// dot), or 0 when no type uses it. ".tiff" and ".jpeg" are accepted as the
// second spellings of the image types.
OSType TypeForExtension(std::string_view extension);

// The extension of a file name or path ("" when it has none).
std::string ExtensionOf(std::string_view name);

// `name` with the type's extension appended unless it already ends with an
// extension of that type.
std::string WithTypeExtension(std::string_view name, OSType type);

// The name a user sees for a file: its name without the suffix that marks
// one of the system's own types ("Light.sse4" -> "Light"). Those types were
// told apart without suffixes where the system comes from, so a user never
// saw them; image and text extensions are the files' real names and stay
// ("canvas.tif"), and so does every other dot ("v1.2.sse4" -> "v1.2"). Only
// the last suffix goes, and a name that is nothing but a suffix keeps it.
// Whatever opens the file keeps its name as it is on disk.
std::string DisplayName(std::string_view name);

// Writes type and creator as extended attributes; a file system that does
// not take them is ignored. A zero code is not written.
void SetTypeCreator(const std::string& posix, OSType type, OSType creator);
// Reads them back; false when neither is recorded. Missing codes read as 0.
bool GetTypeCreator(const std::string& posix, OSType* type, OSType* creator);

// The file's type: its recorded type when there is one, else the type of its
// extension, else 0.
OSType FileTypeOf(const std::string& posix);

}  // namespace plat::files
