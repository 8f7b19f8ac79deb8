// Row converters between interleaved and planar pixels, and between an
// offscreen drawing surface and a 32-bit buffer.
//
// Every converter takes the source height, width and buffer, the destination
// height, width and buffer, then the source rectangle and the destination
// rectangle (left, top, right, bottom, all inclusive). Both rectangles are
// clipped to their buffers; when either then has no extent on an axis (the
// sampling divides by the destination's spans) nothing is written and the
// result is -1, else 0. Sampling is nearest-neighbour: destination column i
// takes source column sl + (i - dl) (sr - sl) / (dr - dl), rows likewise.
//
// "BGR" pixels are 3 bytes (blue, green, red) or, where a byte count says 1,
// one grey byte that stands for all three; "ARGB" pixels are the 4-byte
// pixels of the display buffers, bytes 0, 1, 2 = red, green, blue, byte 3 left
// as it was. "Rev" reads the source rectangle's rows from the bottom up; "90"
// turns a quarter turn: destination row j walks the source columns and
// destination column i the source rows.
#pragma once

#include <cstdint>

namespace plat::draw {
class Surface;
}

// 3-byte source bytes 0, 1, 2 into destination bytes 2, 1, 0.
int32_t BufBGRToBufARGB(int32_t srcHeight, int32_t srcWidth, const uint8_t* src, int32_t dstHeight,
                        int32_t dstWidth, uint8_t* dst, int32_t sl, int32_t st, int32_t sr,
                        int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
// The reverse: 4-byte source bytes 2, 1, 0 into 3-byte destination bytes 0, 1, 2.
int32_t BufRGBAToBufBGR(int32_t srcHeight, int32_t srcWidth, const uint8_t* src, int32_t dstHeight,
                        int32_t dstWidth, uint8_t* dst, int32_t sl, int32_t st, int32_t sr,
                        int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
int32_t RevBufRGBAToBufBGR(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                           int32_t dstHeight, int32_t dstWidth, uint8_t* dst, int32_t sl,
                           int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db);
// srcBytes 3 or 1 (a grey byte fills red, green and blue).
int32_t RevBufBGRToBufARGB(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                           int32_t dstHeight, int32_t dstWidth, uint8_t* dst, int32_t sl,
                           int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db, int16_t srcBytes);
int32_t Rev90BufBGRToBufARGB(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                             int32_t dstHeight, int32_t dstWidth, uint8_t* dst, int32_t sl,
                             int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt,
                             int32_t dr, int32_t db, int16_t srcBytes);
// Into one grey plane: the mean of the three bytes (truncated), or the byte.
int32_t RevBufBGRToBufARGB_gray(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                                int32_t dstHeight, int32_t dstWidth, uint8_t* grey, int32_t sl,
                                int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt,
                                int32_t dr, int32_t db, int16_t srcBytes);
int32_t Rev90BufBGRToBufARGB_gray(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                                  int32_t dstHeight, int32_t dstWidth, uint8_t* grey, int32_t sl,
                                  int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt,
                                  int32_t dr, int32_t db, int16_t srcBytes);
// Into red, green and blue planes.
int32_t RevBufBGRToBufARGB_plate(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                                 int32_t dstHeight, int32_t dstWidth, uint8_t* red,
                                 uint8_t* green, uint8_t* blue, int32_t sl, int32_t st,
                                 int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                                 int32_t db, int16_t srcBytes);
int32_t Rev90BufBGRToBufARGB_plate(int32_t srcHeight, int32_t srcWidth, const uint8_t* src,
                                   int32_t dstHeight, int32_t dstWidth, uint8_t* red,
                                   uint8_t* green, uint8_t* blue, int32_t sl, int32_t st,
                                   int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                                   int32_t db, int16_t srcBytes);
// Three planes back into BGR pixels of dstBytes 3, or 1 (the mean of the
// three), source rows from the bottom up.
int32_t BufBGRToBufARGB_plate(int32_t srcHeight, int32_t srcWidth, const uint8_t* red,
                              const uint8_t* green, const uint8_t* blue, int32_t dstHeight,
                              int32_t dstWidth, uint8_t* dst, int32_t sl, int32_t st, int32_t sr,
                              int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                              int16_t dstBytes);

// The whole offscreen surface rescaled into a width x height buffer of
// 32-bit pixels (the surface's values as they are), then turned upside down;
// and the way back. -1, nothing written, as the rectangle converters.
int32_t GWorldToBuf(const plat::draw::Surface* world, uint32_t* buffer, int32_t width, int32_t height);
int32_t BufToGWorld(const uint32_t* buffer, int32_t width, int32_t height, plat::draw::Surface* world);
