#include "raster/crop_box.h"

namespace {

bool RowSet(const uint8_t* plane, int32_t width, int32_t y) {
  const uint8_t* row = plane + static_cast<int64_t>(y) * width;
  for (int32_t x = 0; x < width; ++x)
    if (row[x] != 0) return true;
  return false;
}

bool ColumnSet(const uint8_t* plane, int32_t width, int32_t height, int32_t x) {
  for (int32_t y = 0; y < height; ++y)
    if (plane[static_cast<int64_t>(y) * width + x] != 0) return true;
  return false;
}

}  // namespace

void inCropbuf(int32_t width, int32_t height, const uint8_t* plane, int32_t* left, int32_t* top,
               int32_t* right, int32_t* bottom) {
  if (plane == nullptr || width <= 0 || height <= 0 || left == nullptr || top == nullptr ||
      right == nullptr || bottom == nullptr)
    return;
  *top = 0;
  for (int32_t y = 0; y < height; ++y)
    if (RowSet(plane, width, y)) {
      *top = y == 0 ? 0 : y - 1;
      break;
    }
  *left = 0;
  for (int32_t x = 0; x < width; ++x)
    if (ColumnSet(plane, width, height, x)) {
      *left = x == 0 ? 0 : x - 1;
      break;
    }
  *bottom = height - 1;
  for (int32_t y = height - 1; y >= 0; --y)
    if (RowSet(plane, width, y)) {
      *bottom = y == height - 1 ? y : y + 1;
      break;
    }
  *right = width;
  for (int32_t x = width - 1; x >= 0; --x)
    if (ColumnSet(plane, width, height, x)) {
      *right = x == width - 1 ? x : x + 1;
      break;
    }
}
