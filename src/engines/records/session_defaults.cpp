#include "engines/records/session_defaults.h"

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "platform/types/mac_types.h"

int32_t SessionPhotoWidth() { return gPer != nullptr ? gPer->previewWidth : 0; }

int32_t SessionPhotoHeight() { return gPer != nullptr ? gPer->previewHeight : 0; }

void SetContentPicture(fichier* f, const char* relative) {
  if (f == nullptr) return;
  f->name[0] = 0;
  Str255 full = {0};
  const std::string_view item = relative != nullptr ? relative : "";
  if (gPer != nullptr) {
    PathBelowFolder(gPer->makersFolder, item, full);
  } else {
    SetPStr(full, item);
  }
  // A missing picture still gets its name and folder path, so the content-folder search
  // can find it later; only a name the file system refuses leaves the record unnamed.
  FSMakeFSSpec(0, 0, full, f);
  BuildVName(f, f->path, &f->parent, 1);
  f->type = FourCC("TIFF");
}
