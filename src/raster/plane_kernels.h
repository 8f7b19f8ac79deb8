// A built-in 3 x 3 kernel over a whole 8-bit plane, as the focus and
// smoothing filters use it between their own steps.
#pragma once

#include <cstdint>

#include "app/core/sample_clamp.h"
#include "raster/convolution.h"

// Runs the kernel of `step` (type 1 smoothing, any other type sharpening)
// over the whole plane at full strength. A step that selects no kernel
// leaves the plane as it is; so does a plane too small for any sample to
// have a full neighbourhood. 0, or -1 when the work rows cannot be had.
inline int32_t MatrixWholePlane(int32_t width, int32_t height, unsigned char* plane, int16_t type,
                                int32_t step) {
  if (width < 3 || height < 3) return 0;
  int32_t kernel[9] = {0, 0, 0, 0, 1, 0, 0, 0, 0};
  int16_t divisor = 1;
  Load_matrix(type, ClampToInt16(step), kernel, &divisor);
  return X_Mat_Chbuf(width, height, plane, 0, 0, width - 1, height - 1, 0, divisor, kernel, 4096);
}
