// Resampling through displacement maps: each destination pixel is pulled
// from the source position its two maps give, with bilinear interpolation
// and edge replication.
//
// The maps are arrays of h row pointers of w unsigned 32-bit values each;
// a value v moves the sample by (v - 327680000) / 128 pixels, so 327680000
// means no displacement.
#pragma once

#include <cstdint>

constexpr uint32_t kDisplacementNeutral = 327680000u;

// Pulls R, G, B (and the mask, when both masks are given) through the maps.
void ComputeBufRGBInterDisAtXY(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                               uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                               const uint32_t* const* xMap, const uint32_t* const* yMap);

// The same with each channel's displacement scaled by its percentage (the
// mask uses 100): corrects colour fringes when the channels disagree.
void ComputeBufRGBInterDisAtXYfring(int32_t h, int32_t w, const uint8_t* srcR, const uint8_t* srcG,
                                    const uint8_t* srcB, const uint8_t* srcMask, uint8_t* dstR,
                                    uint8_t* dstG, uint8_t* dstB, uint8_t* dstMask,
                                    const uint32_t* const* xMap, const uint32_t* const* yMap,
                                    int32_t kR, int32_t kG, int32_t kB);

// One bilinear sample of `src` (w wide) at (x, y) into *dst, with (xNext,
// yNext) the column and row of the far neighbours, already held inside the
// plane. xPrev and yPrev (x - 1, y - 1) are accepted for the callers' sake;
// positions are never negative here, so they do not enter the result.
void Displ(int32_t h, int32_t w, const uint8_t* src, uint8_t* dst, double x, double y, double xPrev,
           double yPrev, double xNext, double yNext);
