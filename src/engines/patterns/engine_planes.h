// Planes shared by the tile-drawing engines: the three working copies an engine draws into
// before it blends them back over the caller's planes, and a tile image read from a content
// file into four planes.
#pragma once

#include <cstdint>

#include "app/core/file_records.h"
#include "engines/records/engine_frame.h"
#include "platform/memory/block.h"

namespace vmkpat {

// Three copies of the planes, each (width + 1) x (height + 1) bytes with rows `width` apart;
// with one plane all three copy it. Empty (false) when the memory cannot be had.
class WorkPlanes {
 public:
  WorkPlanes(int32_t planeCount, uint8_t* plane0, uint8_t* plane1, uint8_t* plane2,
             int32_t width, int32_t height);
  WorkPlanes(const WorkPlanes&) = delete;
  WorkPlanes& operator=(const WorkPlanes&) = delete;

  explicit operator bool() const { return static_cast<bool>(block_); }
  uint8_t* operator[](int32_t k) const { return copies_[k]; }
  uint8_t* const* all() { return copies_; }

  // The copies back over the caller's planes within the area (exclusive corners, clamped):
  // each plane with its own copy, or, with one plane, with the mean of the three copies.
  void BlendBack(const uint8_t* mask, const vmkrec::EngineArea& area, int16_t blendMode,
                 int16_t opacity);

 private:
  plat::Block<uint8_t> block_;
  uint8_t* planes_[3] = {};
  uint8_t* copies_[3] = {};
  bool three_ = true;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// The crop (thousandths of the picture, rounded to the nearest pixel and kept inside it) of
// a content picture resampled into four planes of width x height: red, green, blue and its
// fourth plane, 255 where the file has no alpha. The file is looked for in the content
// folders when it has moved. 0, or -1 with the planes untouched when the file cannot be read
// or memory fails.
int32_t LoadTileImage(const fichier* file, int32_t cropLeft, int32_t cropTop, int32_t cropRight,
                      int32_t cropBottom, int32_t width, int32_t height, uint8_t* const planes[4]);

}  // namespace vmkpat
