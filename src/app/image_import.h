// Content pictures into the caller's buffers: a rectangle of an image file
// resized by nearest-neighbour sampling into three 8-bit planes, 32-bit
// pixels, an 8-bit or a 16-bit grey plane, with an optional alpha plane,
// upright or turned a quarter turn; and the open dialog that picks one.
//
// Buffers are bufW x bufH samples with contiguous rows. The sampled picture
// always starts at the buffer's first sample and is stored bottom row first:
// destination row j goes to buffer row dstH - 1 - j. Samples falling outside
// the buffer are not written.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"

// Output modes of LoadImaInBuf.
enum : int16_t {
  kLoadPlanes = 0,      // red, green, blue planes in buffers 1 to 3
  kLoadPixels = 1,      // 4-byte pixels in buffer 1: bytes 0, 1, 2 = R, G, B
  kLoadGrey16 = 2,      // 16-bit grey (full scale 8192) in buffer 1
  kLoadGrey8 = 3,       // 8-bit grey in buffer 1
  kLoadPlanes90 = 90,   // turned a quarter turn, as planes
  kLoadPixels90 = 91,   // turned, as 4-byte pixels
  kLoadGrey16_90 = 92,  // turned, as 16-bit grey
};

// Grey of a pixel: (red + 2 x green) / 3, and its 16-bit form with full
// scale 8192; blue takes no part; quotients truncated.
inline uint8_t GreyOf(uint8_t r, uint8_t g) { return static_cast<uint8_t>((r + 2 * g) / 3); }
inline uint16_t Grey16Of(uint8_t r, uint8_t g) {
  return static_cast<uint16_t>((r + 2 * g) * 8192 / 765);
}

// action 0: the open dialog of LoadIma (0 when a file was chosen, else -1);
// action 1: measures the file into *width, *height; action 2: loads the
// source rectangle (inclusive, clipped to the image; a right or bottom of the
// picture's width or height means its last column or row) into dstW x dstH
// samples of the buffers in the given mode and reports the natural size.
// Nearest sampling: destination sample k of n on a side takes the first
// pixel of its equal share of that side of the rectangle, so a read at the
// rectangle's own size is pixel for pixel. Turned modes run destination rows
// down source columns. 0, or -1 (nothing written) for a failed read, missing
// buffers, an empty destination or a rectangle with nothing inside the image.
int16_t LoadImaInBuf(int16_t action, int16_t fileKind, int16_t mode, fichier* file,
                     int32_t* width, int32_t* height, int32_t srcL, int32_t srcT, int32_t srcR,
                     int32_t srcB, int32_t dstW, int32_t dstH, int32_t bufW, int32_t bufH,
                     void* buf1, void* buf2, void* buf3, void* buf4, uint8_t* alpha);

// The open dialog for a file kind: 0 every readable image, 1 channel files
// ("Load a New File...", types 'aCH1' and 'TEXT'), 2 the image types of the
// picture editors, 3 TIFF only. 1 when a file was chosen (the record then
// names it, with its type and creator), 0 when cancelled (record unchanged).
int16_t LoadIma(int16_t fileKind, fichier* file);

// The natural size of a content picture, found first where its record says,
// else in the alternate content folders (the record then points there).
// 0, or -1 when no reader takes the file. The last argument is not written.
int16_t AS_GetImageDimension(fichier* file, int32_t* width, int32_t* height, int16_t* unused);

// Loads a rectangle of a content picture (whole = 1: all of it) resized to the
// destination rectangle's size, inclusive, into the buffers: kind 0 8-bit
// grey, 1 4-byte pixels, 2 16-bit grey, 3 three planes; other kinds load
// nothing and return 0. Rectangles are clipped to the image and the buffer;
// an empty or inverted one gives -1. The picture starts at the buffer's first
// sample, whatever the destination's left and top.
int16_t AS_GetResizedImage(fichier* file, int16_t whole, int32_t srcL, int32_t srcT,
                           int32_t srcR, int32_t srcB, int32_t bufW, int32_t bufH, int32_t dstL,
                           int32_t dstT, int32_t dstR, int32_t dstB, int16_t kind, void* buf1,
                           void* buf2, void* buf3, uint8_t* alpha);

// The same turned a quarter turn, the destination size right - left by
// bottom - top: kind 0 4-byte pixels, 2 16-bit grey, 3 three planes; kind 1
// loads nothing.
int16_t AS_Get90ResizedImage(fichier* file, int16_t whole, int32_t srcL, int32_t srcT,
                             int32_t srcR, int32_t srcB, int32_t bufW, int32_t bufH,
                             int32_t dstL, int32_t dstT, int32_t dstR, int32_t dstB, int16_t kind,
                             void* buf1, void* buf2, void* buf3, uint8_t* alpha);
