// The image loaders of the operation script: an image file put into the target planes
// (load image, 24), tiled over them as a texture (25) or set into a frame (38, 39, 75: the
// image upright, turned a quarter turn, or tiled), and the displacement maps that the
// displace-by-file operation (21) reads.
//
// The three script loaders return 1 when done; 0 when there is nothing to load: the operation
// is inactive, has no file or names no target plane, or a size (planes of one row or column,
// a preview scale or tile that is not positive) leaves no pixel to load into; and -1 when the
// file cannot be measured or read or memory is refused, the planes then as they were (a
// render stops at such a step).
// Files that have moved are looked up in the content folders. The target is the composite
// (channel 2: planes 3, 4, 5; a CMYK script's plane 2 takes nothing) or one plane, made
// and cleared when missing. The operation's mask is built as the renderer's dispatches
// build it; the frame loader does not narrow it by colour.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

class ScriptFile;
struct Oprn;

// The image resized to the area. With alpha 1 the file's fourth channel goes to plane 6
// (composite) or, on one plane, takes the grey's place.
int32_t LoadImageFile(ScriptFile* script, Oprn* op, int16_t alpha);
// The whole image scaled to one tile of Param1 x Param2 (divided by the preview scales, at
// most 1000), tiled with light angle Param3 and relief Param4.
int32_t LoadTextureFile(ScriptFile* script, Oprn* op);
// The image set into a frame: mode 0 upright, 1 turned a quarter turn, 2 a tile of Param1
// (times the first preview scale, at most 1000) repeated; Param2..Param5 place the box.
int32_t LoadImageFrame(ScriptFile* script, Oprn* op, int16_t mode);
// The displacement maps (the DisplaceMapLoader of script/displace_map_loader.h).
int32_t LoadDisplaceFile(int32_t width, int32_t height, fichier* file, int32_t, int32_t,
                         uint8_t* xMap, uint8_t* yMap);

// The render steps 24, 25, 38, 39 and 75 and the displacement hook. Called by
// RegisterPatternRecords; repeating it changes nothing.
void RegisterScriptImageLoaders();
