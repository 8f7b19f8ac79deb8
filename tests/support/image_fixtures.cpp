#include "support/image_fixtures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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

std::vector<uint8_t> HeaderOnlyTiff(uint32_t w, uint32_t h, int bits) {
  struct Entry {
    uint16_t tag, type;
    uint32_t value;
  };
  const uint32_t stripBytes = static_cast<uint32_t>(uint64_t{w} * h * 3 * bits / 8);
  const Entry entries[] = {{256, 4, w},     {257, 4, h},          {258, 3, uint32_t(bits)},
                           {259, 3, 1},     {262, 3, 2},          {273, 4, 4096},
                           {277, 3, 3},     {278, 4, h},          {279, 4, stripBytes},
                           {284, 3, 1},     {339, 3, bits == 32 ? 3u : 1u}};
  std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0};
  auto le = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  le(std::size(entries), 2);
  for (const Entry& e : entries) {
    le(e.tag, 2);
    le(e.type, 2);
    le(1, 4);
    le(e.value, e.type == 3 ? 2 : 4);
    if (e.type == 3) le(0, 2);
  }
  le(0, 4);
  return out;
}

std::vector<uint8_t> HeaderOnlyPng(uint32_t w, uint32_t h) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  auto chunk = [&out](const char* type, const std::vector<uint8_t>& data) {
    const auto n = static_cast<uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(n >> s));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    const uint32_t crc = Crc32(body.data(), body.size());
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(crc >> s));
  };
  std::vector<uint8_t> ihdr;
  for (uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<uint8_t>(v >> s));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  chunk("IHDR", ihdr);
  // zlib's stream of 16 zero bytes.
  chunk("IDAT", {0x78, 0x9c, 0x63, 0x60, 0x40, 0x05, 0x00, 0x00, 0x10, 0x00, 0x01});
  chunk("IEND", {});
  return out;
}

std::vector<uint8_t> HeaderOnlyJpeg(const std::string& scratch, uint16_t w, uint16_t h) {
  WriteImageFile(scratch, plat::imageio::kTypeJPEG, SolidImage(16, 16, 90, 120, 30));
  std::vector<uint8_t> j = ReadBytes(scratch);
  for (size_t i = 2; i + 9 < j.size(); ++i) {
    if (j[i] == 0xFF && j[i + 1] == 0xC0) {
      j[i + 5] = static_cast<uint8_t>(h >> 8);
      j[i + 6] = static_cast<uint8_t>(h);
      j[i + 7] = static_cast<uint8_t>(w >> 8);
      j[i + 8] = static_cast<uint8_t>(w);
    }
    if (j[i] == 0xFF && j[i + 1] == 0xDA) {
      // Keep the scan's header and nothing of its data.
      j.resize(i + 2 + ((size_t{j[i + 2]} << 8) | j[i + 3]));
      break;
    }
  }
  return j;
}

namespace {

uint64_t VmPeakBytes() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmPeak:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
  return 0;
}

}  // namespace

uint64_t PeakGrowth(const std::function<void()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) return UINT64_MAX;
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A new process starts its peak at its size: what grows is the work's.
    ::close(fds[0]);
    const uint64_t before = VmPeakBytes();
    work();
    const uint64_t grown = VmPeakBytes() - before;
    (void)!::write(fds[1], &grown, sizeof grown);
    ::_exit(0);
  }
  ::close(fds[1]);
  uint64_t grown = UINT64_MAX;
  if (pid < 0 || ::read(fds[0], &grown, sizeof grown) != sizeof grown) grown = UINT64_MAX;
  ::close(fds[0]);
  if (pid > 0) ::waitpid(pid, nullptr, 0);
  return grown;
}

}  // namespace vmktest
