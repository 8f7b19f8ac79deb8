// 3 x 3 convolution kernels and the 3 x 3 median on planes.
//
// A kernel is nine weights k[0..8] and a divisor: k[0..2] weigh the row below
// the sample (left, centre, right), k[3..5] its own row, k[6..8] the row
// above. Strength is out of 4096 (4096 writes the filtered value, 0 leaves the
// sample). Rectangles are inclusive and are kept off the plane's outermost
// rows and columns, which the filters never change.
#pragma once

#include <cstdint>

// Fills kernel and divisor with a built-in kernel: type 1 smoothing, any
// other type sharpening, chosen by the amount. Amount 0 (and, for smoothing,
// a negative amount) writes nothing.
void Load_matrix(int16_t type, int16_t amount, int32_t* kernel, int16_t* divisor);

// In-place 3 x 3 convolution of the rectangle, mixed with the unfiltered
// sample by strength / 4096. 0, or -1 for an empty rectangle, a zero
// divisor or a failed allocation (the plane is then unchanged).
int32_t X_Mat_Chbuf(int32_t width, int32_t height, uint8_t* plane, int32_t left, int32_t top,
                    int32_t right, int32_t bottom, int16_t bias, int16_t divisor,
                    const int32_t* kernel, int32_t strength);
// One sample: `centre` points at the window sample, rows `rowLength` apart.
void Calc_Chmatrix(uint8_t* dest, const uint8_t* centre, int32_t rowLength, int16_t bias,
                   int16_t divisor, const int32_t* kernel, int32_t keep, int32_t strength);

// The same over 32-bit samples, without clamping.
int32_t X_Mat_Lnbuf(int32_t width, int32_t height, uint32_t* plane, int32_t left, int32_t top,
                    int32_t right, int32_t bottom, int16_t bias, int16_t divisor,
                    const int32_t* kernel, int32_t strength);
void Calc_Lnmatrix(uint32_t* dest, const uint32_t* centre, int32_t rowLength, int16_t bias,
                   int16_t divisor, const int32_t* kernel, int32_t keep, int32_t strength);

// In-place 3 x 3 median of the rectangle; `unused` plays no part.
int32_t X_median_buf(int32_t width, int32_t height, uint8_t* plane, int32_t left, int32_t top,
                     int32_t right, int32_t bottom, int16_t unused);
void Calc_median(uint8_t* dest, const uint8_t* centre, int32_t rowLength, int16_t unused);
