// Values that record defaults take from the session: the host photo's size and the file
// references of the content library's default pictures.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

// The size of the host photo being edited, as the session record keeps it; 0 outside a
// session.
int32_t SessionPhotoWidth();
int32_t SessionPhotoHeight();

// Points `f` at a picture of the content library: an empty name, the path of the session's
// maker-folder reference followed by its name and by `relative` (a colon path such as
// ":Vellmarkstead:Images:generic.tif"), resolved into a specification, the folder path
// rebuilt, and the file type 'TIFF'. Outside a session only `relative` is used. Creator and
// the further words stay as they were.
void SetContentPicture(fichier* f, const char* relative);
