// Small pictures written on the spot for the engines that read tile and cell images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "platform/imageio/image_io.h"
#include "support/image_fixtures.h"
#include "support/plane_hash.h"

namespace vmktest {

// A width x height 8-bit picture file of `type`, opaque, whose sample c (0 to 2) at
// (x, y) is f(x, y, c).
template <class F>
void WritePicture(const std::string& path, const char* type, uint32_t w, uint32_t h, F f) {
  RawImage im = SolidImage(w, h, 0, 0, 0);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) im.row(y)[size_t{x} * 4 + c] = f(x, y, c);
  WriteImageFile(path, type, im);
}

// A width x height PNG of one colour (no alpha), and a file record naming it.
inline fichier SolidPicture(const std::string& path, uint32_t w, uint32_t h, uint8_t r,
                            uint8_t g, uint8_t b) {
  WriteImageFile(path, plat::imageio::kTypePNG, SolidImage(w, h, r, g, b));
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, path));
  return f;
}

}  // namespace vmktest
