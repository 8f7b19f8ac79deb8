// Noise reduction by brightness-similarity (SUSAN) smoothing: every sample
// becomes the mean of its neighbours weighted by how close their brightness
// is to its own, itself left out, or the median of its eight neighbours when
// none is similar. Borders are mirrored so edge samples get a full window.
// The passes round their means and medians to the nearest, and the denoise
// filters their mixes, so that repeated passes keep a picture's brightness.
#pragma once

#include <cstdint>

#include "raster/row_planes.h"

// Advances *table by 258 bytes into its 516-byte block and fills entries
// -256..256 with 100 * exp(-(k/t)^2) (form 2) or 100 * exp(-(k/t)^6) (form 6),
// truncated. A threshold t of 0 or less makes every entry 0: nothing is
// similar, and only the centre sample counts, so smoothing keeps the plane.
void setup_brightness_lut(unsigned char** table, int32_t t, int32_t form);

// Mean of the middle two of the eight neighbours of (column, row), truncated
// (the passes round theirs).
int32_t median(const unsigned char* plane, int32_t row, int32_t column, int32_t width);

// Copies the plane into `enlarged` with a mirrored border of b samples and
// makes *plane, *width and *height describe the enlarged plane. Nothing
// happens when b is negative or larger than the plane.
void enlarge(unsigned char** plane, unsigned char* enlarged, int32_t* width, int32_t* height,
             int32_t b);

// One smoothing pass in place, over a 3 x 3 window (threeByThree nonzero) or
// a round window of radius (int)(dt * 1.5) + 1. 0, or -1 when the plane is
// smaller than the window or memory is short (plane unchanged).
int32_t s_smoothing(int threeByThree, unsigned char* plane, int32_t width, int32_t height,
                    float dt, const unsigned char* table);

// One 3 x 3 pass in place at the brightness threshold. 0, or -1 as above.
int32_t X_smooth_buf(unsigned char* plane, int32_t width, int32_t height, int32_t distance,
                     int32_t threshold);

// `passes` smoothing passes of a copy, mixed into the inclusive rectangle by
// blend mode (mode + 1), opacity (0..255) and the optional mask.
// 0, or -1 when memory is short or the plane is too small (plane unchanged).
int32_t DeNoise(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
                int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
                int32_t bottom, int16_t passes, int16_t distance, int16_t threshold);

// Channel by channel (mode 0: bytes 0..3, else 0..2) over the rectangle
// (right and bottom exclusive, clipped to the image): byte k of dst becomes
// (opacity * smoothed + (100 - opacity) * byte k of dst) / 100, to the nearest.
// 0, or -1 (dst unchanged).
int32_t X_DeNoise_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                         uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                         int16_t opacity, int16_t passes, int16_t distance, int16_t threshold);
// The same on row-held planes, in place.
int32_t X_DeNoise_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                            int32_t left, int32_t top, int32_t right, int32_t bottom,
                            int16_t opacity, int16_t passes, int16_t distance, int16_t threshold);
