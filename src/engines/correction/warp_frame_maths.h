// Building, copying, measuring and deforming the warp frame (engines/correction/
// warp_frame_record.h): the lens correction builds its corrected frame with these, and
// the other users of the frame share them.
//
// Selectors shared by the operations: set 0 names the first node set and any other value
// the second; both 1 names both sets whatever set says; sel 0 takes every node, 1 only
// the nodes whose flag in that set is 1, any other value no node. A point of a node is
// its position or one of its four handles; moving a node moves all five.
//
// An operation on a frame whose lattice does not fit its planes, or on a node outside
// the lattice, does nothing.
#pragma once

#include <cstdint>

#include "raster/warp_frame_record.h"

// Modes: 0 everything (both flags and the kind 1, then modes 1 and 4); 1 the size
// fields, the outline kind 3 and both outlines (2 and 3); 2 the first outline; 3 the
// second; 4 the size fields, the counts and `extra`, then both lattices (5 and 6); 5 a
// regular first lattice and 6 a regular second one over the frame's own size and counts.
// Other modes do nothing. The resolution is never stored.
//
// The counts are held to what the planes take: each at least 1, and while
// (columns + 1) * (rows + 1) exceeds 10201 the larger one is lowered (200 x 200 becomes
// 100 x 100), so a lattice asked of any caller (a lens preset supplies them) stays
// inside its planes.
void InitTCWrap(int16_t mode, float width1, float height1, float width2, float height2,
                float resolution, int32_t columns, int32_t rows, int32_t extra, TCWrap* frame);

// The same modes copy the same parts; 5 and 6 copy the kind, the five size fields, the
// counts, `extra` and the nodes in use of one set with their flags; 0 also the two flags.
void CopyTCWrap(int16_t mode, const TCWrap* source, TCWrap* destination);

// Bounding box of every node position of one set and its centre ((min + max) * 0.5).
void MinMaxCenterGridTCWrap(const TCWrap* frame, int16_t set, float* minX, float* minY,
                            float* maxX, float* maxY, float* centreX, float* centreY);

// Every chosen point of the source becomes, in the destination, cx + newW * (x - cx) / oldW
// and cy + newH * (y - cy) / oldH. Selection flags are read from the destination; nodes
// not chosen keep their destination values. An old size of 0 scales nothing.
void SizeGridTCWrap(const TCWrap* source, TCWrap* destination, int16_t set, int16_t both,
                    int16_t sel, float cx, float cy, float oldW, float oldH, float newW,
                    float newH);

// Turns every chosen point about (cx, cy) by endAngle - startAngle radians (towards
// increasing direction angles), as SizeGridTCWrap reads and writes.
void RotaGridTCWrap(const TCWrap* source, TCWrap* destination, int16_t set, int16_t both,
                    int16_t sel, float cx, float cy, float startAngle, float endAngle);

// The displacement of every node when node (column, row) moves by (dx1, dy1) in the first
// set and (dx2, dy2) in the second: along the node's row it falls off from the moved node
// toward both ends of the row, then along every column from the row toward both ends,
// with weight w(d, D) = d / D (curve 0) or 1 - (D - d)^2 / D^2 (otherwise), d measured
// from the row's or column's end and D from the moved node to that end, in the set's own
// node positions. A span shorter than 0.01 takes the whole displacement. Every node not
// marked done gets its displacement in the arrays (first set: ax1, ay1; second: ax2,
// ay2) and its pending flag. All four displacements at most 0.01 do nothing.
void SetFlag_todo(const TCWrap* frame, int16_t set, int16_t both, uint8_t* pending,
                  const uint8_t* done, int32_t column, int32_t row, int16_t curve, float dx1,
                  float dy1, float dx2, float dy2, float* ax1, float* ay1, float* ax2, float* ay2);

// Moves every node of row `row` and column `column` not yet done by its displacement
// (each named set by its own arrays, chosen nodes only) and marks it done.
void MovRowCol(TCWrap* frame, int16_t set, int16_t both, int16_t sel, uint8_t* done,
               int32_t column, int32_t row, const float* ax1, const float* ay1, const float* ax2,
               const float* ay2);

// Drags node (column, row) by (fx * dx, fy * dy) in the named sets, the lattice following
// with the falloff of SetFlag_todo; every node moves exactly once.
void PerspGridTCWrap(TCWrap* frame, int16_t set, int16_t both, int16_t sel, int16_t curve,
                     float fx, float fy, int32_t column, int32_t row, float dx, float dy);

// The lens distortion: the middle nodes of the top and bottom rows move by -dy and +dy,
// those of the left and right columns by +dx and -dx (positive values pull each edge's
// middle toward the centre), and every node moves by the mean of the four displacements.
void ZondracTCWrap(TCWrap* frame, int16_t set, int16_t both, int16_t sel, int16_t curve, float dx,
                   float dy);
