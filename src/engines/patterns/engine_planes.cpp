#include "engines/patterns/engine_planes.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "app/folder_scans.h"
#include "app/image_import.h"
#include "raster/plane_copy.h"

namespace vmkpat {

WorkPlanes::WorkPlanes(int32_t planeCount, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
                       int32_t width, int32_t height)
    : three_(planeCount != 1), width_(width), height_(height) {
  if (width <= 0 || height <= 0 || plane0 == nullptr) return;
  if (three_ && (plane1 == nullptr || plane2 == nullptr)) return;
  const int64_t size = (int64_t{width} + 1) * (int64_t{height} + 1);
  block_ = plat::Block<uint8_t>(3 * size, WorkSource());
  if (!block_) return;
  planes_[0] = plane0;
  planes_[1] = three_ ? plane1 : plane0;
  planes_[2] = three_ ? plane2 : plane0;
  const auto plain = static_cast<size_t>(int64_t{width} * height);
  for (int32_t k = 0; k < 3; ++k) {
    copies_[k] = block_.get() + k * size;
    std::memcpy(copies_[k], planes_[k], plain);
    std::memset(copies_[k] + plain, 0, static_cast<size_t>(size) - plain);
  }
}

void WorkPlanes::BlendBack(const uint8_t* mask, const vmkrec::EngineArea& area,
                           int16_t blendMode, int16_t opacity) {
  if (!block_) return;
  if (three_) {
    for (int32_t k = 0; k < 3; ++k)
      vmkrec::BlendEffect(planes_[k], copies_[k], mask, width_, area, blendMode, opacity);
    return;
  }
  const auto plain = static_cast<size_t>(int64_t{width_} * height_);
  for (size_t i = 0; i < plain; ++i)
    copies_[0][i] = static_cast<uint8_t>((copies_[0][i] + copies_[1][i] + copies_[2][i]) / 3);
  vmkrec::BlendEffect(planes_[0], copies_[0], mask, width_, area, blendMode, opacity);
}

namespace {

int32_t CropPixel(int32_t thousandths, int32_t size) {
  const auto v = static_cast<int32_t>(static_cast<double>(thousandths) * (size - 1) / 1000.0 + 0.5);
  return std::clamp(v, 0, size - 1);
}

}  // namespace

int32_t LoadTileImage(const fichier* file, int32_t cropLeft, int32_t cropTop, int32_t cropRight,
                      int32_t cropBottom, int32_t width, int32_t height,
                      uint8_t* const planes[4]) {
  if (file == nullptr || width <= 0 || height <= 0) return -1;
  for (int32_t k = 0; k < 4; ++k)
    if (planes[k] == nullptr) return -1;
  fichier tile = *file;
  SearchAlternateFic(&tile);
  int32_t w = 0, h = 0;
  int16_t unused = 0;
  if (AS_GetImageDimension(&tile, &w, &h, &unused) == -1 || w <= 0 || h <= 0) return -1;
  const int32_t left = CropPixel(cropLeft, w), top = CropPixel(cropTop, h);
  const int32_t right = CropPixel(cropRight, w), bottom = CropPixel(cropBottom, h);

  const int64_t size = int64_t{w} * h;
  plat::Block<uint8_t> image(4 * size, WorkSource());
  if (!image) return -1;
  uint8_t* source[4];
  for (int32_t k = 0; k < 4; ++k) source[k] = image.get() + k * size;
  // The importer fills the fourth plane with 255 where the file has no alpha.
  std::memset(source[3], 255, static_cast<size_t>(size));
  if (AS_GetResizedImage(&tile, 0, 0, 0, w, h, w, h, 0, 0, w, h, 3, source[0], source[1],
                         source[2], source[3]) == -1)
    return -1;
  for (int32_t k = 0; k < 4; ++k)
    BufToBufChar_andR(1, w, h, source[k], width, height, planes[k], left, top, right, bottom, 0,
                      0, width, height);
  return 0;
}

}  // namespace vmkpat
