// Clipping of inclusive rectangles to a plane, shared by the raster
// functions that take left, top, right and bottom all inclusive.
#pragma once

#include <cstdint>

// Raises left and top to 0 and lowers right and bottom to width - 1 and
// height - 1; false when nothing of the rectangle is left.
inline bool ClipInclusiveRect(int32_t width, int32_t height, int32_t& left, int32_t& top,
                              int32_t& right, int32_t& bottom) {
  if (left < 0) left = 0;
  if (top < 0) top = 0;
  if (right > width - 1) right = width - 1;
  if (bottom > height - 1) bottom = height - 1;
  return left <= right && top <= bottom;
}
