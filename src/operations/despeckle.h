// Despeckling: small blobs of one exact colour merged into the most similar
// colour around them, in passes of growing blob size. A blob is a
// 4-connected area of one colour: one sample of one plane, or the triple of
// three planes' samples at the same index.
//
// The flood fills keep a work mask of one byte a pixel: 0 not visited, 1
// counted in the current blob, 2 visited by the neighbour search, 3
// finished. They walk scan-line runs depth first, runs above before runs
// below for each column, on an explicit stack, so a blob of any size is
// walked in the same order a recursive fill would take.
#pragma once

#include <cstdint>

// Level 1..20 passes; pass i merges blobs smaller than 2^i pixels whose
// most similar neighbour lies within 256 / (1 + tightness * i) (an RMS
// distance per sample). Tightness 0.0..8.0. With channels 1 only `red` is
// used, with 3 all three; any other count does nothing and answers 0. -1,
// planes untouched, for an argument out of range or when the work mask
// cannot be had.
int32_t despeckle(unsigned char* red, unsigned char* green, unsigned char* blue, int16_t channels,
                  int32_t height, int32_t width, int32_t level, float tightness);

// The pixels of the blob of `colour` through (x, y) not yet marked 1,
// marking them 1.
int32_t find_size(const unsigned char colour[3], int32_t x, int32_t y, int32_t width,
                  int32_t height, unsigned char* const planes[3], unsigned char* mask);
int32_t find_size_8(unsigned char colour, int32_t x, int32_t y, int32_t width, int32_t height,
                    const unsigned char* plane, unsigned char* mask);

// Walks the blob of `colour` through (x, y), marking it 2, and keeps in
// bestColour the touching colour of the smallest squared error (summed
// over the planes); a bestError of -1 means none yet, and a tie keeps the
// colour met first.
void find_most_similar_neighbor(const unsigned char colour[3], unsigned char bestColour[3],
                                int32_t* bestError, int32_t x, int32_t y, int32_t width,
                                int32_t height, unsigned char* const planes[3],
                                unsigned char* mask);
void find_most_similar_neighbor_8(unsigned char colour, unsigned char* bestColour,
                                  int32_t* bestError, int32_t x, int32_t y, int32_t width,
                                  int32_t height, const unsigned char* plane, unsigned char* mask);

// Recolours the pixels marked 2 connected to (x, y) and marks them 3.
void fill(const unsigned char colour[3], int32_t x, int32_t y, int32_t width, int32_t height,
          unsigned char* const planes[3], unsigned char* mask);
void fill_8(unsigned char colour, int32_t x, int32_t y, int32_t width, int32_t height,
            unsigned char* plane, unsigned char* mask);

// Marks the pixels marked 1 connected to (x, y) as 3.
void ignore(int32_t x, int32_t y, int32_t width, int32_t height, unsigned char* mask);

// Effects::Despeckle of one plane on each of `count` planes: each plane's despeckle is one
// serial walk of its own, so the planes go side by side to the shared threads, their copies
// taken first. The planes are those of the calls made one after the other (without room for
// every copy, they are). 0, or -1 when a plane's despeckle gave -1 (that plane untouched).
int32_t DespeckleEachPlane(int16_t mode, int16_t opacity, unsigned char* const* planes,
                           int32_t count, int32_t height, int32_t width, int32_t x0, int32_t y0,
                           int32_t x1, int32_t y1, const unsigned char* mask, int16_t level,
                           int16_t tightness);
