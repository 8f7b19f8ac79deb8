#include "support/image_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace vmktest {

plat::imageio::PixelSource RawImage::source() const {
  plat::imageio::PixelSource s;
  s.base = data.data();
  s.rowBytes = rowBytes();
  s.width = width;
  s.height = height;
  s.bytesPerComponent = bytes;
  return s;
}

RawImage PatternImage(uint32_t w, uint32_t h, int bytes) {
  RawImage im;
  im.width = w;
  im.height = h;
  im.bytes = bytes;
  im.data.assign(im.rowBytes() * h, 0);
  for (uint32_t y = 0; y < h; ++y) {
    uint8_t* row = im.row(y);
    for (uint32_t x = 0; x < w; ++x) {
      for (uint32_t c = 0; c < 4; ++c) {
        const size_t i = x * 4u + c;
        if (bytes == 1) {
          row[i] = static_cast<uint8_t>(x * 37 + y * 11 + c * 71);
        } else if (bytes == 2) {
          const auto v = static_cast<uint16_t>(x * 4099 + y * 257 + c * 12345);
          std::memcpy(row + 2 * i, &v, 2);
        } else {
          const float v = static_cast<float>((x * 7 + y * 3 + c) % 100) / 99.0f;
          std::memcpy(row + 4 * i, &v, 4);
        }
      }
    }
  }
  return im;
}

RawImage SolidImage(uint32_t w, uint32_t h, uint8_t r, uint8_t g, uint8_t b) {
  RawImage im;
  im.width = w;
  im.height = h;
  im.bytes = 1;
  im.data.assign(im.rowBytes() * h, 0);
  for (size_t i = 0; i < im.data.size(); i += 4) {
    im.data[i] = r;
    im.data[i + 1] = g;
    im.data[i + 2] = b;
    im.data[i + 3] = 255;
  }
  return im;
}

std::vector<uint8_t> TestIccProfile() {
  // Header, a two-entry tag table, the media white point and a text tag of
  // varied letters (libpng skips profiles that compress to under about 80
  // bytes, so a realistic profile needs some bulk).
  constexpr uint32_t kText = 200;
  constexpr uint32_t kSize = 176 + 8 + kText;
  std::vector<uint8_t> p(kSize, 0);
  auto be32 = [&p](size_t at, uint32_t v) {
    p[at] = static_cast<uint8_t>(v >> 24);
    p[at + 1] = static_cast<uint8_t>(v >> 16);
    p[at + 2] = static_cast<uint8_t>(v >> 8);
    p[at + 3] = static_cast<uint8_t>(v);
  };
  auto tag = [&p](size_t at, const char* s) { std::memcpy(&p[at], s, 4); };
  be32(0, kSize);
  be32(8, 0x02100000);
  tag(12, "mntr");
  tag(16, "RGB ");
  tag(20, "XYZ ");
  tag(36, "acsp");
  be32(68, 0x0000F6D6);  // D50 white
  be32(72, 0x00010000);
  be32(76, 0x0000D32D);
  be32(128, 2);
  tag(132, "wtpt");
  be32(136, 156);
  be32(140, 20);
  tag(144, "cprt");
  be32(148, 176);
  be32(152, 8 + kText);
  tag(156, "XYZ ");
  be32(164, 0x0000F6D6);
  be32(168, 0x00010000);
  be32(172, 0x0000D32D);
  tag(176, "text");
  uint32_t seed = 12345;
  for (uint32_t i = 0; i + 1 < kText; ++i) {
    seed = seed * 1103515245u + 12345u;
    p[184 + i] = static_cast<uint8_t>('a' + (seed >> 16) % 26);
  }
  return p;
}

std::vector<uint8_t> TestExif() {
  return {'I', 'I', 42, 0, 8, 0, 0, 0,            // header, first directory at 8
          1, 0,                                   // one entry
          0x31, 0x01, 2, 0, 4, 0, 0, 0, 'v', 'm', 'k', 0,  // Software = "vmk"
          0, 0, 0, 0};
}

void Truncate(const std::string& path, size_t keep) { std::filesystem::resize_file(path, keep); }

void WriteImageFile(const std::string& path, const char* type, const RawImage& image,
                    const plat::imageio::Properties& props) {
  std::string msg;
  const int st = plat::imageio::WriteImage(path, type, props, image.source(), &msg);
  ASSERT_EQ(st, plat::imageio::kOk) << msg;
}

uint32_t Crc32(const uint8_t* data, size_t n) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return c ^ 0xFFFFFFFFu;
}

}  // namespace vmktest
