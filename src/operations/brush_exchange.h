// The channel-exchange pixel brush.
//
// It stamps its dab like every pixel brush of the raster core, but its
// target comes from the image operations' RGB channel mixer, and the raster
// core lies below the operations: so it lives here, beside the mixer.
#pragma once

#include <cstdint>

// One dab toward the channel exchange of the source pixel under each
// sample: with `rgb` nonzero the RGB mix of all three channels (rows1..3
// the weights of input bytes 0, 1, 2, offsets its offsets; results to bytes
// 0, 1, 2, byte 3 left), otherwise the YMCK exchange of all four bytes
// (rows1..4 the weights of bytes 0..3, offsets its constants).
void X_Brush_BCol(int16_t rgb, float originX, float originY, float zoom, int32_t width,
                  int32_t height, uint32_t* pixels, const uint32_t* source,
                  const int16_t* footprint, float centreX, float centreY, float radius,
                  const int32_t* row1, const int32_t* row2, const int32_t* row3,
                  const int32_t* row4, const int32_t* offsets);
