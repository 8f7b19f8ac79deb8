// Regular lattice of the warp frame.
#include "raster/warp_lattice.h"

#include "app/core/text_helpers.h"
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

TCWrapToPicture::TCWrapToPicture(const TCWrap& record, int32_t flipHeight)
    : unit_(static_cast<int16_t>(record.kind)),
      resolution_(record.resolution),
      pictureW_(record.width2),
      pictureH_(record.height2),
      flipHeight_(flipHeight) {
  // An unknown unit converts to nothing and leaves these at 0.
  pixfromunit(&wp_, unit_, record.width1, resolution_);
  pixfromunit(&hp_, unit_, record.height1, resolution_);
}

int32_t TCWrapToPicture::X(float v) const {
  int32_t p = 0;
  pixfromunit(&p, unit_, v, resolution_);
  return static_cast<int32_t>(static_cast<float>(p) * pictureW_ / static_cast<float>(wp_));
}

int32_t TCWrapToPicture::Y(float v) const {
  int32_t p = 0;
  pixfromunit(&p, unit_, v, resolution_);
  return flipHeight_ -
         static_cast<int32_t>(static_cast<float>(p) * pictureH_ / static_cast<float>(hp_));
}
