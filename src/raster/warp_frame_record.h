// The warp frame: a lattice of up to 101 x 101 nodes, each with its position
// and four handle points, held twice (typically a regular reference lattice
// and a deformed one), plus two 28-point outlines.
//
// The record is one contiguous block of 836,976 bytes that callers take
// whole from the block registry; its field order and natural alignment are
// the layout every user of the frame shares, and the static checks below pin
// it. Every field starts at zero. The frame's y axis points up: row 0 is the top edge (y =
// height1). Node (i, j), column i = 0..columns, row j = 0..rows, is entry i + j * (columns + 1) of
// every plane and flag array, so (columns + 1) * (rows + 1) may not exceed 10201.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t kTCWrapMaxNodes = 101 * 101;
constexpr int32_t kTCWrapOutlinePoints = 28;

// One node set: ten planes of kTCWrapMaxNodes floats.
struct TCWrapNodes {
  float x[kTCWrapMaxNodes] = {};
  float y[kTCWrapMaxNodes] = {};
  // Handle toward the previous column (the node on the left).
  float prevColX[kTCWrapMaxNodes] = {};
  float prevColY[kTCWrapMaxNodes] = {};
  // Handle toward the next column (the node on the right).
  float nextColX[kTCWrapMaxNodes] = {};
  float nextColY[kTCWrapMaxNodes] = {};
  // Handle toward the previous row.
  float prevRowX[kTCWrapMaxNodes] = {};
  float prevRowY[kTCWrapMaxNodes] = {};
  // Handle toward the next row.
  float nextRowX[kTCWrapMaxNodes] = {};
  float nextRowY[kTCWrapMaxNodes] = {};
};

struct TCWrap {
  uint8_t flag1 = 0;  // 1 after full initialisation
  uint8_t flag2 = 0;  // 1 after full initialisation
  // 1 after full initialisation. The raster warps read it as the measuring
  // unit of width1, height1 and the node coordinates (1 = pixels).
  int32_t kind = 0;
  float width1 = 0;  // size of the area the lattice spans, in that unit
  float height1 = 0;
  float resolution = 0;  // pixels per inch; set by the caller, never by initialisation
  float width2 = 0;      // size in pixels of the picture the frame is applied to
  float height2 = 0;
  int16_t columns = 0;  // cells across (nx)
  int16_t rows = 0;     // cells down (ny)
  int32_t extra = 0;
  TCWrapNodes set1{};
  uint8_t flags1[kTCWrapMaxNodes] = {};  // selection flag per node, 1 = selected
  TCWrapNodes set2{};
  uint8_t flags2[kTCWrapMaxNodes] = {};
  int32_t outlineKind = 0;  // 3 after initialisation
  float outline1X[kTCWrapOutlinePoints] = {};
  float outline1Y[kTCWrapOutlinePoints] = {};
  float outline2X[kTCWrapOutlinePoints] = {};
  float outline2Y[kTCWrapOutlinePoints] = {};
};

constexpr int32_t kTCWrapSize = 836976;

static_assert(sizeof(TCWrapNodes) == 10 * kTCWrapMaxNodes * 4);
static_assert(offsetof(TCWrap, kind) == 4);
static_assert(offsetof(TCWrap, width1) == 8);
static_assert(offsetof(TCWrap, columns) == 28);
static_assert(offsetof(TCWrap, rows) == 30);
static_assert(offsetof(TCWrap, extra) == 32);
static_assert(offsetof(TCWrap, set1) == 36);
static_assert(offsetof(TCWrap, flags1) == 408076);
static_assert(offsetof(TCWrap, set2) == 418280);
static_assert(offsetof(TCWrap, flags2) == 826320);
static_assert(offsetof(TCWrap, outlineKind) == 836524);
static_assert(offsetof(TCWrap, outline2Y) == 836864);
static_assert(sizeof(TCWrap) == kTCWrapSize);

// True when the lattice has cells and its nodes fit the planes.
inline bool TCWrapLatticeFits(const TCWrap& w) {
  return w.columns > 0 && w.rows > 0 &&
         (static_cast<int32_t>(w.columns) + 1) * (static_cast<int32_t>(w.rows) + 1) <=
             kTCWrapMaxNodes;
}
