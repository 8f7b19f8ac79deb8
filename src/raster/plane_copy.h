// Rectangle copies, plain copies and conversions between pixel planes.
//
// Planes are bare arrays with contiguous, unpadded rows: the sample of column
// x, row y lies at y * width + x. A char plane holds 8-bit samples, a short
// plane 16-bit samples, a long buffer 32-bit pixels whose bytes 0..3 (memory
// order) are four 8-bit channels.
//
// Rectangle copies take: source width, height, plane(s); destination width,
// height, plane; source left, top, right, bottom; destination left, top,
// right, bottom; right and bottom exclusive. They return 0, or -1 without
// writing when a rectangle is empty or the source rectangle misses the
// source plane. Destination rows and columns outside the destination plane
// are skipped; source reads never leave the (clipped) source rectangle.
#pragma once

#include <cstdint>

// Nearest-sample copies.
int32_t BufToBufCharLow_andR(int32_t srcW, int32_t srcH, const uint8_t* src, int32_t dstW,
                             int32_t dstH, uint8_t* dst, int32_t sl, int32_t st, int32_t sr,
                             int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
int32_t BufToBufShortLow_andR(int32_t srcW, int32_t srcH, const int16_t* src, int32_t dstW,
                              int32_t dstH, int16_t* dst, int32_t sl, int32_t st, int32_t sr,
                              int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
int32_t BufToBufLongLow_andR(int32_t srcW, int32_t srcH, const uint32_t* src, int32_t dstW,
                             int32_t dstH, uint32_t* dst, int32_t sl, int32_t st, int32_t sr,
                             int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
// R, G, B planes into bytes 0, 1, 2 of the destination pixels; byte 3 is
// left as it was.
int32_t BufToBufMulChartoLongLow_andR(int32_t srcW, int32_t srcH, const uint8_t* srcR,
                                      const uint8_t* srcG, const uint8_t* srcB, int32_t dstW,
                                      int32_t dstH, uint32_t* dst, int32_t sl, int32_t st,
                                      int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                                      int32_t db);
// One char plane into all four bytes of the destination pixels.
int32_t ChBufToLnBuf(int32_t srcW, int32_t srcH, const uint8_t* src, int32_t dstW, int32_t dstH,
                     uint32_t* dst, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                     int32_t dt, int32_t dr, int32_t db);

// Mean of 2 x 2 source samples (per byte for long pixels), truncated.
int32_t BufToBufLong_andR(int32_t srcW, int32_t srcH, const uint32_t* src, int32_t dstW,
                          int32_t dstH, uint32_t* dst, int32_t sl, int32_t st, int32_t sr,
                          int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);
// `fullScale` (callers pass 8192) does not affect the result.
int32_t BufToBufShort_andR(int32_t srcW, int32_t srcH, const int16_t* src, int32_t dstW,
                           int32_t dstH, int16_t* dst, int32_t sl, int32_t st, int32_t sr,
                           int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                           int16_t fullScale);

// Filtered (Lanczos3) rescale of a char rectangle; `unused` plays no part.
int32_t BufToBufChar_andR(int16_t unused, int32_t srcW, int32_t srcH, const uint8_t* src,
                          int32_t dstW, int32_t dstH, uint8_t* dst, int32_t sl, int32_t st,
                          int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);

// Step and repeat: the source rectangle rescaled into the first of nx x ny
// cells counted from the destination's origin, then repeated into the others.
int32_t BufToBufChar_andStepR(int32_t nx, int32_t ny, int32_t srcW, int32_t srcH,
                              const uint8_t* src, int32_t dstW, int32_t dstH, uint8_t* dst,
                              int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                              int32_t dt, int32_t dr, int32_t db);

void ChBufToChBuf(int32_t w, int32_t h, const uint8_t* src, uint8_t* dst);
void LnBufToLnBuf(int32_t w, int32_t h, const uint32_t* src, uint32_t* dst);
// grey = floor(0.299 R + 0.587 G + 0.114 B).
void RGBBufToGrBuf(int32_t w, int32_t h, const uint8_t* r, const uint8_t* g, const uint8_t* b,
                   uint8_t* grey);
// src is w wide and h high; dst is h wide and w high.
void Transpos_ChBufToChBuf(int32_t w, int32_t h, const uint8_t* src, uint8_t* dst);
// Inside one plane of width w and height h: columns left..right (inclusive)
// and rows top..bottom - 1 take the block whose top-left corner is
// (srcX, srcY). Parts that would fall outside the plane are not copied.
void ChBufToChBufArea(int32_t w, int32_t h, uint8_t* plane, int32_t srcX, int32_t srcY,
                      int32_t left, int32_t top, int32_t right, int32_t bottom);

// Clears the destination long buffer and copies the source into it centred,
// aspect ratio kept (2 x 2 mean copy); returns that copy's code.
int32_t X_CentreBuf(const uint32_t* src, int32_t srcW, int32_t srcH, uint32_t* dst, int32_t dstW,
                    int32_t dstH);

// Nearest-sample subsampling of a long buffer by one uniform scale. The
// result is packed row after row (outW pixels a row) into dst, which holds
// dstW x dstH pixels. 0, or -1 when the position tables cannot be had.
int32_t X_calcul_ss_buffer(const uint32_t* src, int32_t srcW, int32_t srcH, uint32_t* dst,
                           int32_t dstW, int32_t dstH, int32_t* outW, int32_t* outH, float* scale);
