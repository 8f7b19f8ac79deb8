// The two random fractals that the image operations draw into a work plane
// and the fractal engine offers as its own members: a plasma cloud by
// recursive midpoint displacement and a diffusion-limited aggregation.
//
// Both draw from the one random source (plat::Random); the same seed and
// the same sequence of calls give the same picture.
#pragma once

#include <cstdint>

// A plasma over the plane: four random corners, subdivided over the least
// power-of-two square covering both sides; samples outside the plane are
// not written. Draws from the current random state (the caller seeds it).
int32_t DrawPlasma(int32_t width, int32_t height, uint8_t* plane);

// The plasma's recursive step over the square at (x, y) of side w x h with
// corner values c1..c4 (0..1, clockwise from the top-left).
void DivideGrid(int32_t width, int32_t height, uint8_t* plane, float x, float y, float w,
                float h, float c1, float c2, float c3, float c4);

// Grows an aggregation from a seed at (startXPercent, startYPercent) of the
// plane. `walkers` random walkers step once a pass; one that touches the
// cluster sticks, paints the plane through row `colourRow` (0..4) of the
// five-row colour table, its opacity row 0 weighting the OLD value, and
// respawns on an ellipse about the centre. Runs `passes` passes (at least
// one), or with a negative count until the cluster nears the left or top
// edge or W x H walkers have stuck. Seeds the random source with `seed`.
// -1, plane unchanged, when work memory cannot be had or the colour row is
// outside 0..4.
int32_t DrawAggregation(int32_t width, int32_t height, uint8_t* plane, int16_t colourRow,
                        const uint8_t* table, int32_t seed, int32_t walkers, int32_t passes,
                        int32_t startXPercent, int32_t startYPercent);

// 1 when one of the eight neighbours of (x, y), wrapping around the grid's
// edges, is occupied; grid[x][y] holds column x.
int32_t nearanother(int32_t width, int32_t height, int32_t x, int32_t y, char** grid);
