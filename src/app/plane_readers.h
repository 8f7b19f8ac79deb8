// Rows of the session's source image into the renderer's 8-bit channel
// planes, stored bottom row first (image row y of R rows goes to plane row
// R - 1 - y), with the fourth (mask) plane decided by the current effect.
//
// Both readers keep the image-info record's input and mask rectangles on the
// row being read and return 0, or -1 when a span cannot be read or its work
// buffers cannot be had. Spans are clamped to the image: columns outside it
// are left untouched, rows past its bottom are not read, and sampled columns
// beyond the span repeat its last pixel.
#pragma once

#include <cstdint>

// One source row, one to one: pixels left .. right - 1 of row `top` into
// red[0 ..], green, blue and alpha. Only mode 3 (RGB) is read; `width`,
// `height`, `black`, `extra` and `bottom` are not used.
int16_t ReadOneLineBuffromPho(int16_t mode, int32_t width, int32_t height, uint8_t* red,
                              uint8_t* green, uint8_t* blue, uint8_t* black, uint8_t* alpha,
                              uint8_t* extra, int32_t left, int32_t top, int32_t right,
                              int32_t bottom);

// A resampled rectangle: output row k (stored at plane row rows - 1 - k) takes
// source row top + (k x stepY + 0.5), column j takes source column
// left + (stepX x j + 0.5), both truncated; columns count .. outWidth - 1 are
// a black, transparent margin. With displFlag 1 the two 16-bit planes are
// filled with 32768 (no displacement). A nonzero alphaOnly leaves the colour
// planes alone.
int16_t ReadCharBuffromPho(int16_t mode, int16_t alphaOnly, int32_t stride, int32_t unused1,
                           uint8_t* red, uint8_t* green, uint8_t* blue, uint8_t* alpha,
                           int16_t displFlag, uint16_t* displX, uint16_t* displY, int32_t left,
                           int32_t top, int32_t right, int32_t bottom, int32_t count,
                           int32_t rows, float stepX, float stepY, int32_t outWidth,
                           int32_t unused2);
