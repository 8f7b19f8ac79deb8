// The border editor's view of a layer: what the editor calls a layer's part
// kind, current side or corner, fill, blends and current side tile, and a
// tile's mask and size, named over the stored fields; and the range checks
// of everything the editor indexes by (current layer, side or corner, side
// tile, tile image).
//
// A record read from a file is either in range or refused whole (the caller
// keeps its own record, as after a file that cannot be read); a record an
// owner hands in is brought into range instead, so the editor always opens.
#pragma once

#include <cstdint>

#include "engines/patterns/border_record.h"

// The layer count the editor adds layers up to.
inline constexpr int32_t kBordEditedLayers = 127;

// 0: the sides are edited; any other value: the corners.
inline int32_t& BordPartKind(BordInfo& info) { return info.two[0]; }
inline int32_t BordPartKind(const BordInfo& info) { return info.two[0]; }
// The side or corner edited, 0..3.
inline int32_t& BordCurrentIndex(BordInfo& info) { return info.two[1]; }
inline int32_t BordCurrentIndex(const BordInfo& info) { return info.two[1]; }
// 1: the tiles take the layer's images; 0: its ramps.
inline int32_t& BordFill(BordInfo& info) { return info.kind; }
// The layer is drawn (the editor's layer checkbox).
inline int32_t& BordLayerFlag(BordInfo& info) { return info.shown; }
inline int32_t& BordSideBlend(BordInfo& info, int32_t s) { return info.inset[s]; }
inline int32_t& BordCornerBlend(BordInfo& info, int32_t s) { return info.cornerInset[s]; }
// The tile of the current side the editor works on, 0..63.
inline int32_t& BordCurrentSideTile(BordInfo& info) { return info.last; }
inline int32_t BordCurrentSideTile(const BordInfo& info) { return info.last; }
inline int32_t& BordTileMask(BordTile& tile) { return tile.maskKind; }
// The tile's size lives in two fields that are always set together.
inline void SetBordTileSize(BordTile& tile, int32_t size) { tile.scale = tile.value = size; }

// True when the current layer is below the layer count (or 0 without
// layers), and in every layer in use the side or corner index is 0..3, the
// current side tile 0..63 and every tile's image 0..15.
bool BordParInRange(const BordPar& record);
// The same fields held to those ranges; the layer count to 0..128.
void ClampBordPar(BordPar* record);
