// Smart blur: every pixel becomes the weighted mean (to the nearest) of
// itself and of the nearby pixels of close enough colour, the neighbourhood
// being what short straight scans reach before they meet a pixel of too
// different a colour.
// Each pair of pixels is tested once, from the one that comes first in
// raster order, and credited to both. The smoothing effect shapes the
// blurred image by a contrast mask from a grey guide.
//
// The density-output, spatial-weighting and luminance-distance options and
// the low threshold are carried in the record but select nothing.
#pragma once

#include <cstdint>

#include "raster/row_planes.h"

struct TSmartBlurData {
  int32_t amount = 0;             // the caller's amount / 5
  int32_t radius = 0;             // 5..22; the half-window is radius >> 1
  int32_t threshold = 0;          // a channel difference below it is similar
  int32_t densityOutput = 0;
  int32_t spatialWeighting = 0;
  int32_t luminanceDistance = 0;
  int32_t key = 0;                // parameters the tables were built for; -1 after the end
  int32_t colourWeighting = 0;    // 0: every similar pixel weighs 1
  int32_t lowThreshold = 0;
  int32_t* work3 = nullptr;       // width x height slots of 4 accumulators
  int32_t* work4 = nullptr;       // width x height slots of 5 accumulators
  int32_t** rows[5] = {};         // row-held accumulators: channels 0..3 and the weight
  int32_t* colourTable = nullptr; // 1024 weights by summed channel difference
  int32_t* spatialTable = nullptr;
  double* spatialTableD = nullptr;
};

// The key of the record's current parameters.
int32_t SmartBlurKey(const TSmartBlurData* data);

// (Re)builds tables and work storage: mode 1 the three-channel slots, mode 0
// the four-channel ones. 0, or 1 when the storage cannot be had.
int32_t prep_tables_RGB(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height);
int32_t StartSmartBlur_RGB(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height);
// The same with the five row-held accumulator planes.
int32_t prep_tables_buf(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height);
int32_t StartSmartBlur_buf(TSmartBlurData* data, int32_t width, int32_t height);

// One pass: bytes 0..2 (byte 3 of dst set to 0), or all four bytes. 0, or 1
// with nothing written when the storage cannot be had.
int32_t RunSmartBlur_RGB(TSmartBlurData* data, int32_t width, int32_t height, const uint32_t* src,
                         uint32_t* dst);
int32_t RunSmartBlur_CMYK(TSmartBlurData* data, int32_t width, int32_t height,
                          const uint32_t* src, uint32_t* dst);
// One pass in place over three or four 8-bit planes, or three 16-bit planes
// (full scale 32640); always weighted by the colour table.
int32_t RunSmartBlur_bufRGB(TSmartBlurData* data, int32_t width, int32_t height, RowPlanes planes);
int32_t RunSmartBlur_bufCMYK(TSmartBlurData* data, int32_t width, int32_t height,
                             RowPlanes planes);
int32_t RunSmartBlur_bufRGB16(TSmartBlurData* data, int32_t width, int32_t height,
                              RowPlanes planes);

// Free what the record owns and set its key to -1.
int32_t EndSmartBlur_RGB(TSmartBlurData* data);
int32_t EndSmartBlur_buf(TSmartBlurData* data, int32_t width, int32_t height);

// One smart blur of src into dst (mode nonzero: three channels, 0: four).
// The radius is held to 5..22.
void X_SmartBlur_RGB(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                     uint32_t* dst, int16_t radius, int16_t threshold, int16_t amount,
                     int16_t colourWeighting);
// In place on row-held planes: mode 1 three 8-bit planes, 4 three 16-bit
// planes, 0 four 8-bit planes, any other mode nothing.
void X_SmartBlur_buf(int16_t mode, int32_t height, int32_t width, RowPlanes planes, int16_t radius,
                     int16_t threshold, int16_t amount, int16_t colourWeighting);

// The smoothing effect over the rectangle (right and bottom exclusive,
// clipped): smart-blurred `iterations` times (below 1 counts as 1), shaped by
// the guide's contrast mask, limited to darkening (limitMode 1) or
// lightening (2) and mixed with src at opacity percent, to the nearest. Outside the
// rectangle dst is not touched. The guide is always rescaled with the
// Lanczos filter; `resample`, the offsets and the scales play no part.
// 0, or -1 when memory is short (dst unchanged).
int32_t X_Smooth_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                        uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                        const unsigned char* guide, int32_t outBottom, int32_t outRight,
                        int32_t left, int32_t top, int32_t right, int32_t bottom, int16_t resample,
                        int32_t offsetX, int32_t offsetY, float scaleX, float scaleY,
                        int16_t limitMode, int16_t iterations, int16_t opacity, int16_t radius,
                        int16_t threshold, int16_t matrix, int16_t gain);
// The same in place on row-held planes (modes as X_SmartBlur_buf), one
// blur, no limit and no opacity. The blur covers the whole planes.
int32_t X_Smooth_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, int16_t radius, int16_t threshold,
                           int16_t matrix, int16_t gain);
