// Regular lattice of the warp frame.
#include "raster/warp_lattice.h"

#include "raster/warp_frame_record.h"

namespace {

// i x size / n in 64 bits, so that a large picture cannot wrap the product.
float evenStep(int32_t i, int32_t size, int32_t n) {
  return static_cast<float>(int64_t{i} * size / n);
}

}  // namespace

void InitGrid(int16_t nx, int16_t ny, int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH,
              TCWrap* record) {
  if (record == nullptr || nx <= 0 || ny <= 0) return;
  // A lattice larger than the planes would write past them.
  if ((int32_t{nx} + 1) * (int32_t{ny} + 1) > kTCWrapMaxNodes) return;
  record->columns = nx;
  record->rows = ny;
  for (int32_t j = 0; j <= ny; ++j) {
    for (int32_t i = 0; i <= nx; ++i) {
      const int32_t k = j * (nx + 1) + i;
      record->set1.x[k] = evenStep(i, srcW, nx);
      record->set1.y[k] = evenStep(j, srcH, ny);
      record->set2.x[k] = evenStep(i, dstW, nx);
      record->set2.y[k] = evenStep(j, dstH, ny);
    }
  }
}
