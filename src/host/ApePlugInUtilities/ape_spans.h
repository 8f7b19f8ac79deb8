// One span of one row between the session's pixel buffers and packed 8-bit
// RGB: the road by which the plane readers take the source image and the
// render's write-back fills the destination.
//
// Spans are clamped to the buffer (left and top to at least 0, right to at
// most the width); a span with left > right or right = 0 moves nothing. A
// missing output, a row outside the buffer or a buffer that is not four
// components of 1, 2 or 4 bytes gives -1 instead of touching memory.
//
// Samples of 16 bits are read as their high byte; floats (scale 0..1) as
// f x 255 rounded and clamped to 0..255. Written values go in unchanged for
// 8 and 16 bits and as v / 255 for floats; the fourth component is written
// opaque (255, 65535 or 1.0).
#pragma once

#include <cstdint>

#include "host/ApePlugInUtilities/pixel_buffer.h"

// Reads pixels left .. right - 1 of row `top` of `source` into `rgb` (three
// bytes per pixel) and, when given, their fourth component into `alpha`.
// `count`, `planes` and `bottom` are not used.
int32_t ReadAPEspan(const PixelBuffer& source, int32_t count, uint8_t* rgb, uint8_t* alpha,
                    int16_t planes, int32_t left, int32_t top, int32_t right, int32_t bottom);

// Writes pixels left .. right - 1 of row `top` of `destination` from `rgb`:
// three values per pixel of the destination's component size (bytes, 16-bit
// values, or 32-bit unsigned values for float buffers). The fourth component
// keeps what it held: the render writes colours only, and the picture's
// alpha stays with its pixels.
int32_t WriteAPEspan(PixelBuffer& destination, int32_t count, const void* rgb,
                     const uint8_t* alpha, int16_t planes, int32_t left, int32_t top,
                     int32_t right, int32_t bottom);

// The edit session's source and destination images, which the global forms
// below reach. The session sets them when it has its buffers and clears them
// (nulls) when it ends; the plain libraries cannot see the session itself.
void SetSessionSpanImages(const PixelBuffer* source, PixelBuffer* destination);

// The session's forms: read from its source, write into its destination; -1
// when no session has set its images.
int32_t ReadAPEimage(int32_t count, uint8_t* rgb, uint8_t* alpha, int16_t planes, int32_t left,
                     int32_t top, int32_t right, int32_t bottom);
int32_t WriteAPEimage(int32_t count, const void* rgb, const uint8_t* alpha, int16_t planes,
                      int32_t left, int32_t top, int32_t right, int32_t bottom);
