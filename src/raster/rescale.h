// Filtered rescaling of pixel planes.
//
// Every change of size that has to look good goes through one separable
// rescaler: contributor lists (source index and weight) are built once per
// destination column and row, the horizontal pass resamples source rows into
// a small ring of intermediate rows, and the vertical pass mixes ring rows.
// The 8-bit members' weights are whole numbers that sum to exactly 1024, and
// a sample is the weighted sum divided by 1024 to the nearest (plus 512,
// shifted right by 10 bits): a flat plane stays flat, and a picture keeps its
// mean level.
//
// Rectangles are left, top, right, bottom with right and bottom exclusive.
// The source rectangle must lie inside its plane (otherwise the call returns
// -1 and writes nothing); destination samples that fall outside the
// destination plane are skipped. Lists and ring are sized from the request,
// so even very large reductions keep every contributor.
#pragma once

#include <cstdint>
#include <vector>

// One destination column's (or row's) contributors. `index` and `weight`
// point into storage that the rescaler owns for the length of one call.
struct CLIST {
  int32_t count = 0;
  int32_t* index = nullptr;  // source index from the rectangle's left / top
  float* weight = nullptr;   // integer-valued weight, list sums to 1024
  int32_t last = 0;          // largest index (row lists only)
  float centre = 0.0f;       // integer part of the list's centre
};

// The lists of the calling thread's rescale in progress; null outside a call.
extern thread_local CLIST* contribX;
extern thread_local CLIST* contribY;

// Reconstruction kernels: weight for a signed distance in source samples.
float box_filter(float t);
float triangle_filter(float t);
float cubic_filter(float t);
float bell_filter(float t);
float B_spline_filter(float t);
float Mitchell_filter(float t);
float sinc(float x);
float Lanczos3_filter(float t);

// x itself when integral, otherwise rounded away from zero.
float ceiling(float x);
// Cubic B-spline weight used by the bicubic interpolator.
float CubicWeight(float t);

// 8-bit plane. Filter: 0 box, 1 triangle, 2 cubic, 3 bell, 4 Mitchell,
// 5 and 6 Lanczos3, anything else B-spline. 0, or -1 on a bad rectangle or
// a failed allocation.
int32_t X_Newechant_charbuf(int16_t filter, const uint8_t* src, int32_t srcW, int32_t srcH,
                            uint8_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                            int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);

// The weights of the 8-bit members' lists for `count` destination samples from `extent` source
// samples, the column lists' rule or (with `rows`) the row lists', each list's in order: the
// lists the rescale itself builds, for a look at them from outside a call.
std::vector<std::vector<float>> CharRescaleWeights(int16_t filter, int32_t extent, int32_t count,
                                                  bool rows);

// Whether an 8-bit rescale whose every list takes its own source sample at full weight (the
// same extent each way under the filters that weigh the other samples at 0) copies the
// samples instead of summing them: the sums give the sample itself, so the bytes are the
// same. On by default; the tests turn it off to compare against the sums.
void SetRescaleCopiesOneToOne(bool on);

// Three 8-bit planes sharing one set of lists; same numbering and results as
// X_Newechant_charbuf on each plane.
int32_t X_Newechant_buffer(int16_t filter, const uint8_t* srcR, const uint8_t* srcG,
                           const uint8_t* srcB, int32_t srcW, int32_t srcH, uint8_t* dstR,
                           uint8_t* dstG, uint8_t* dstB, int32_t dstW, int32_t dstH, int32_t sl,
                           int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db);

// 16-bit and 32-bit samples. Filter: 0 box, 1 triangle, 2 bell, 3 B-spline,
// 5 cubic, 6 Mitchell, 7 Lanczos3; 4 and anything above 7 return -1.
int32_t X_Newechant_shortbuf(int16_t filter, const int16_t* src, int32_t srcW, int32_t srcH,
                             int16_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                             int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                             int16_t maxValue);
int32_t X_Newechant_longbuf(int16_t filter, const uint32_t* src, int32_t srcW, int32_t srcH,
                            uint32_t* dst, int32_t dstW, int32_t dstH, int32_t sl, int32_t st,
                            int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db);

// Horizontal passes of one row through the column lists (n destination
// samples).
void Hor_CharExpan(const CLIST* contrib, int32_t n, const uint8_t* src, uint8_t* dst);
void Hor_ShortExpan(const CLIST* contrib, int32_t n, const int16_t* src, int16_t* dst,
                    int16_t maxValue);
void Hor_LongExpan(const CLIST* contrib, int32_t n, const uint32_t* src, uint32_t* dst);
// Four-channel pixels, each byte weighted on its own.
void Hor_Expan(const CLIST* contrib, int32_t n, const uint8_t* src, uint8_t* dst);

// Bicubic interpolation without lists; rows and columns of the source are
// clamped to the source rectangle.
void X_BiCubic_charbuf(const uint8_t* src, int32_t srcW, int32_t srcH, uint8_t* dst, int32_t dstW,
                       int32_t dstH, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                       int32_t dt, int32_t dr, int32_t db);
