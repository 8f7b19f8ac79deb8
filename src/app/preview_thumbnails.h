// Small pictures outside the image boxes: byte blocks kept as resources of
// the bundle, and the 130 x 130 preview of a file chosen in an open dialog.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "platform/draw/port.h"
#include "platform/types/mac_types.h"

// Resource type of the byte blocks.
inline constexpr OSType kImageBlockType = FourCC("E1GN");

// Mode 0 reads the width x height byte block of resource 'E1GN' id into
// `bytes`; mode 2 stores `bytes` as that resource. 0, or -1 (a missing or
// short resource, a size that is not positive, a failed write, another
// mode) with nothing read or replaced.
int16_t LoadImaRsrc(int16_t mode, int16_t id, int32_t width, int32_t height, uint8_t* bytes);

// Side of the preview square.
inline constexpr int32_t kPreviewSide = 130;
// Offsets in the program's own effect files: the preview flag (16-bit
// little-endian, 1 = a preview follows) and the 130 x 130 4-byte pixels
// (bytes 0, 1, 2 = red, green, blue, bottom row first).
inline constexpr int32_t kPreviewFlagAt = 512;
inline constexpr int32_t kPreviewPixelsAt = 518;

// Draws the preview of a file into the 130 x 130 square at `area`'s top-left
// corner of the port: a picture file resized to fit (aspect kept, centred),
// or the thumbnail an effect file carries. 0 when drawn; -1 when the file is
// neither, or carries no preview (nothing drawn).
int16_t showPreview(fichier* file, plat::draw::Port* port, const Rect& area);
