// The part of an 8-bit plane that holds non-zero samples, as stored with a
// plane in the grid-warp presets.
#pragma once

#include <cstdint>

// Inclusive box around every non-zero sample with one sample of margin where
// the plane allows it. A plane without a non-zero sample gives left 0, top 0,
// right width, bottom height - 1 (the width there is what stored presets
// carry). Nothing is written for a plane of no samples.
void inCropbuf(int32_t width, int32_t height, const uint8_t* plane, int32_t* left, int32_t* top,
               int32_t* right, int32_t* bottom);
