// Densitometers: the mean colour of a small square around a point, as the
// preview reads it under the pointer.
//
// The size code gives the square: 2 -> 3 x 3, 3 -> 5 x 5, 4 -> 7 x 7, any
// other -> the one sample. The square is cut to the plane. Each mean is
// sum / count + 0.5, truncated. The height comes before the width. Returns 0,
// or -1 with every output 0 when the square misses the plane.
#pragma once

#include <cstdint>

int32_t X_CharDensitometre(int32_t height, int32_t width, const uint8_t* plane, int32_t x,
                           int32_t y, int16_t size, int16_t* value);
int32_t X_ShortDensitometre(int32_t height, int32_t width, const int16_t* plane, int32_t x,
                            int32_t y, int16_t size, int16_t* value);
int32_t X_RGBCharDensitometre(int32_t height, int32_t width, const uint8_t* red,
                              const uint8_t* green, const uint8_t* blue, int32_t x, int32_t y,
                              int16_t size, int16_t* r, int16_t* g, int16_t* b);
// Means of bytes 0, 1, 2 of the pixels.
int32_t X_RGBLongDensitometre(int32_t height, int32_t width, const uint32_t* buffer, int32_t x,
                              int32_t y, int16_t size, int16_t* r, int16_t* g, int16_t* b);
// Means of bytes 0..3 (Y, M, C, K); byte 0 is summed with its lowest bit set.
int32_t X_YMCKdensitometre(int32_t height, int32_t width, const uint32_t* buffer, int32_t x,
                           int32_t y, int16_t size, int16_t* yellow, int16_t* magenta,
                           int16_t* cyan, int16_t* black);
