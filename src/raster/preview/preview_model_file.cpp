// The preview colour model's file ":VMKphop" in the maker's folder: the three
// display planes, raw, one after the other, without a header.
#include <cstring>
#include <vector>

#include "app/core/file_records.h"
#include "app/file_access.h"
#include "raster/preview/ymck_preview.h"

namespace {

// The file's record: the maker folder's path and name, then ":VMKphop".
bool PreviewModelRecord(fichier* f) { return MakersFolderItem(":VMKphop", f); }

}  // namespace

int32_t LoadPhoMod(int16_t mode, PhoModTemplate* model) {
  fichier f;
  if (model == nullptr || !PreviewModelRecord(&f)) return -1;
  File_kern file(&f);
  if (mode == 0) {
    if (file.S_open(1) != 0) return -1;
    // Read everything before touching the model, so a short file leaves it
    // as it was.
    std::vector<unsigned char> planes(static_cast<size_t>(3) * kDisplayPlaneSize);
    int32_t rc = 0;
    for (int32_t p = 0; p < 3 && rc == 0; ++p) {
      const int32_t at = p * kDisplayPlaneSize;
      if (file.S_read(planes.data() + at, at, kDisplayPlaneSize) != 0) rc = -1;
    }
    file.S_close();
    if (rc == 0) std::memcpy(model->bytes, planes.data(), planes.size());
    return rc;
  }
  // A file that cannot be created is a failure, not a silent success.
  if (file.S_open(3) != 0) return -1;
  int32_t rc = 0;
  for (int32_t p = 0; p < 3 && rc == 0; ++p) {
    const int32_t at = p * kDisplayPlaneSize;
    if (file.S_write(model->bytes + at, at, kDisplayPlaneSize) != 0) rc = -1;
  }
  // A replaced file takes the old one's place only when it is closed after
  // a complete write; a failed write leaves the old file.
  if (rc == 0) {
    if (file.S_close() != 0) rc = -1;
  } else {
    file.S_close();
  }
  return rc;
}
