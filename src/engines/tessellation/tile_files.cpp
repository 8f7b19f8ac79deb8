#include "engines/tessellation/tile_files.h"

#include <cstring>
#include <utility>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/folder_scans.h"
#include "app/image_import.h"

fichier ResolveTileFile(const fichier& file) {
  fichier f;
  Copy_FicStruct(&file, &f);
  Str255 full = {0};
  pStrCopy(f.path, full);
  Pstrcat(full, f.name);
  FSMakeFSSpec(0, 0, full, &f);
  // Resolving the folder path may give the item another name; the tile keeps the one it was
  // stored with, which the alternate-folder search looks for.
  pStrCopy(file.name, f.name);
  SearchAlternateFic(&f);
  return f;
}

int32_t TilePictureSize(const fichier* file, int32_t* width, int32_t* height) {
  if (file == nullptr || width == nullptr || height == nullptr) return -1;
  fichier f = ResolveTileFile(*file);
  int32_t w = 0, h = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&f, &w, &h, &unused) == -1 || w <= 0 || h <= 0) return -1;
  *width = w;
  *height = h;
  return 0;
}

int32_t LoadTilePicture(const fichier* file, TilePicture* picture) {
  if (file == nullptr || picture == nullptr) return -1;
  fichier f = ResolveTileFile(*file);
  int32_t w = 0, h = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&f, &w, &h, &unused) == -1 || w <= 0 || h <= 0) return -1;
  plat::Block<uint8_t> block(int64_t{4} * w * h, WorkSource());
  if (!block) return -1;
  picture->block = std::move(block);
  picture->width = w;
  picture->height = h;
  // A picture without alpha leaves its fourth plane opaque.
  std::memset(picture->plane(3), 255, static_cast<size_t>(int64_t{w} * h));
  if (AS_GetResizedImage(&f, 0, 0, 0, w, h, w, h, 0, 0, w, h, 3, picture->plane(0),
                         picture->plane(1), picture->plane(2), picture->plane(3)) == -1)
    return -1;
  return 0;
}
