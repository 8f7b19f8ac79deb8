// Small pictures written on the spot for the engines that read tile and cell images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/file_records.h"
#include "platform/imageio/image_io.h"

namespace vmktest {

// A width x height PNG of one colour (no alpha), and a file record naming it.
inline fichier SolidPicture(const std::string& path, uint32_t w, uint32_t h, uint8_t r,
                            uint8_t g, uint8_t b) {
  std::vector<uint8_t> px(size_t{w} * h * 4, 255);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = r;
    px[i + 1] = g;
    px[i + 2] = b;
  }
  plat::imageio::PixelSource src;
  src.base = px.data();
  src.rowBytes = size_t{w} * 4;
  src.width = w;
  src.height = h;
  EXPECT_EQ(plat::imageio::WriteImage(path, plat::imageio::kTypePNG, {}, src),
            plat::imageio::kOk);
  fichier f;
  EXPECT_TRUE(SetFicFromPosix(&f, path));
  return f;
}

// FNV-1a over every plane, for the kept pictures.
inline uint64_t PlanesHash(const std::vector<std::vector<uint8_t>>& planes) {
  uint64_t h = 1469598103934665603ull;
  for (const auto& p : planes)
    for (uint8_t b : p) h = (h ^ b) * 1099511628211ull;
  return h;
}

}  // namespace vmktest
