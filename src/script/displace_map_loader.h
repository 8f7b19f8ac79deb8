// The reader of the displacement maps that the displace-by-file operation (21) takes from an
// image file. The reader lives with the image loaders above the script, so their
// registration installs it here and the operation calls it through this hook.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

// Fills the x map with byte 0 and the y map with byte 1 of the file's pixels, resized to
// width x height (each at most 256, rows that many bytes long); the two longs between are
// not read. 0, or -1 with the maps untouched.
using DisplaceMapLoader = int32_t (*)(int32_t width, int32_t height, fichier* file, int32_t,
                                      int32_t, uint8_t* xMap, uint8_t* yMap);

// Installs the reader; null removes it.
void SetDisplaceMapLoader(DisplaceMapLoader loader);
// The installed reader, or null when none is: the operation then has no map to displace by.
DisplaceMapLoader GetDisplaceMapLoader();
