// Warps that push a source rectangle into a destination quadrilateral: the
// plain distortion, the grid warp (cell by cell, or written as coordinate
// maps) and the cast-shadow warp with its look-up tables and ramps.
//
// Unlike the rectangle copies, these take the height before the width, and a
// source rectangle as left, top and two extents: (l, t, W, H) covers columns
// l..l + W and rows t..t + H, both ends included. The quadrilateral's
// corners P0..P3 receive the rectangle's top-left, top-right, bottom-right
// and bottom-left corners. The percentage p first pulls each corner toward
// its rectangle corner (p = 100 keeps the quadrilateral, p = 0 gives the
// rectangle itself). Each destination pixel of the quadrilateral's bounding
// box, its greatest row and column excluded, takes the nearest source sample
// of its inverse-bilinear position; source reads are held inside the source
// plane.
#pragma once

#include <cstdint>

// Neutral entry of the grid warp's 16-bit coordinate maps.
constexpr uint16_t kGridMapNeutral = 8192;
// Entries of each 500 x 500 coordinate map.
constexpr int32_t kCoordinateMapEntries = 500 * 500;

// Pixel mode 0: char planes; blend 1 writes (d*m + s*(255-m))/255 and
// blend 2 (s*m + d*(255-m))/255 with m the blend-mask sample at the source
// position (the plain sample when no mask is given); other blends write s.
// Pixel mode 1: 32-bit pixels copied whole. Other modes write nothing.
// Returns 0.
int32_t X_distort_buffer(int16_t pixelMode, int32_t srcH, int32_t srcW, const void* src,
                         int16_t blend, const uint8_t* blendMask, int32_t dstH, int32_t dstW,
                         void* dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                         int32_t y2, int32_t x3, int32_t y3, int32_t l, int32_t t, int32_t W,
                         int32_t H, int16_t percentage);

// The colour form: the same mapping, the source sample copied unchanged by
// pixel mode, 0 a 32-bit pixel, 1 a 16-bit sample, 2 an 8-bit sample; any
// other mode writes nothing. No blend mask. `unused` is not read. Returns 0.
int32_t X_distort_bufcol(int16_t pixelMode, int32_t srcH, int32_t srcW, const void* src,
                         int32_t dstH, int32_t dstW, void* dst, int32_t x0, int32_t y0,
                         int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                         int32_t l, int32_t t, int32_t W, int32_t H, int32_t unused,
                         int16_t percentage);

// X_distort_bufcol's 8-bit form on `count` (1 to 4) source planes of one size into as many
// destination planes of one size, each pair as its own call would: the positions are solved
// once for all of them. Returns 0.
int32_t X_distort_planes(int32_t count, int32_t srcH, int32_t srcW, const uint8_t* const* src,
                         int32_t dstH, int32_t dstW, uint8_t* const* dst, int32_t x0, int32_t y0,
                         int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                         int32_t l, int32_t t, int32_t W, int32_t H, int16_t percentage);

// Grid warp over a lattice of (nx + 1) x (ny + 1) nodes (node (i, j) at
// j * (nx + 1) + i of nodeX and nodeY, divided by the scales). Grid mode 0
// distorts each cell of the source rectangle into its lattice quadrilateral;
// any other mode writes, for each reached pixel, 8192 + 128 x (source -
// destination) into the two 16-bit maps (mode 1 first resets all 250000
// entries of both to 8192). Returns 0, or -1 when nx or ny is not positive,
// or, in the map modes, when a map is missing or dstW x dstH exceeds the
// maps' 250000 entries.
int32_t X_Grid_buffer(int16_t gridMode, int16_t pixelMode, int32_t srcH, int32_t srcW,
                      const void* src, const uint8_t* unused, int32_t dstH, int32_t dstW, void* dst,
                      uint16_t* xMap, uint16_t* yMap, int16_t nx, int16_t ny, const float* nodeX,
                      const float* nodeY, int32_t l, int32_t t, int32_t W, int32_t H, float scaleX,
                      float scaleY, int16_t percentage);

// Cast shadow: pushes the one-channel source into the quadrilateral and
// paints destination planes 1 to 3 with the look-up table's colours (rows 1
// to 3 of `lut`, 4 x 256 bytes) at its opacity (row 0), through the column
// and row ramps, the opacity and the optional destination mask, blended by
// kernel mode m + 1. relief shifts the source read by the destination's
// darkness; grain (0..20) jitters source samples above 3 and stores the
// jittered value back into the source. Returns 0, or -1 when a ramp table
// cannot be had from the session registry.
int32_t X_distortandlut_buffer(int16_t m, int16_t opacity, int16_t vPosition, int16_t vSoftness,
                               int16_t hPosition, int16_t hSoftness, int32_t srcH, int32_t srcW,
                               uint8_t* src, int32_t dstH, int32_t dstW, uint8_t* dst1,
                               uint8_t* dst2, uint8_t* dst3, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                               int32_t l, int32_t t, int32_t W, int32_t H, int16_t percentage,
                               const uint8_t* dstMask, const uint8_t* lut, int16_t relief,
                               int16_t grain);
