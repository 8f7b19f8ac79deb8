// The regular lattice of the warp frame: the starting point of every lattice
// the grid warps bend, laid the same way into the frame's reference set and
// its deformed set.
#pragma once

#include <cstdint>

struct TCWrap;

// Sets the record's column and row counts to nx and ny and lays node (i, j)
// of the first set at (i * srcW / nx, j * srcH / ny) and of the second at
// (i * dstW / nx, j * dstH / ny), integer quotients. Handles are left as
// they are. Nothing changes when nx or ny is not positive or when the
// (nx + 1) x (ny + 1) nodes would not fit the record's planes.
void InitGrid(int16_t nx, int16_t ny, int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH,
              TCWrap* record);
