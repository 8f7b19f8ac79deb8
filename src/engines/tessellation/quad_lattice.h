// The lattices both tessellation engines lay over the rendered rectangle: parallelogram
// cells repeating a base quad, or axis-aligned cells repeating a base rectangle. Each cell
// goes to a sink as its four corners (corners 0..3, x and y); a sink that answers false
// (a quad it could not allocate) ends the lattice.
#pragma once

#include <cstdint>
#include <functional>

using CellSink = std::function<bool(const int32_t* x, const int32_t* y)>;

// The lattice of the base quad (corners x, y) covering W x H; angle01 and angle12 are the
// directions of its edges 0-1 and 1-2. Cells go row after row along edge 0-3, each row
// along edge 0-1, at most 500 x 500 of them. A base quad whose edges project to nothing
// makes no cell. False when the sink refused a cell.
bool LayQuadLattice(float angle01, float angle12, const float* x, const float* y, int32_t W,
                    int32_t H, const CellSink& sink);
// Axis-aligned cells repeating the base rectangle; angles other than multiples of a right
// angle make nothing.
bool LayRectLattice(float angle, const float* x, const float* y, int32_t W, int32_t H,
                    const CellSink& sink);

// The base quad of a tile set's words (percent of W x H, y upward) in lattice order and in
// pixels with y downward, and the directions of its edges 0-1 and 1-2.
void BaseQuadOf(const int32_t* words, int32_t W, int32_t H, float* x, float* y, float* angle01,
                float* angle12);
