// Range checks of the tessellation record's head, for everything that indexes the tile
// tables by it: the editor's tile menus and lists, the preview and the fuzzed readers.
//
// A record read from a file is either in range or refused whole (the caller keeps its own
// record, as after a file that cannot be read); a record an owner hands in is brought into
// range instead, so the editor always opens.
#pragma once

#include <cstdint>

#include "engines/tessellation/tessellation_record.h"

// Tiles the editor offers per symmetry type: at most twelve of the sixteen tile sets.
inline constexpr int32_t kTessEditedTiles = 12;

// The tile count of symmetry type `type` (1..17), or -1 for any other type.
int16_t TessTileCount(int32_t type);
// True when the symmetry type is 1..17, the tile count 1..12 and the current tile below
// the count.
bool TessParInRange(const TessPar& record);
// Type held to 1..17, the tile count set by the type's table, the current tile below it.
void ClampTessPar(TessPar* record);
