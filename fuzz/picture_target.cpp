// Fuzz target: the pickers' load of a decoded picture resized into their buffers
// (AS_GetResizedImage, and AS_Get90ResizedImage turned a quarter). The first 11 bytes of an
// input choose the load: byte 0 the kind (bits 0-1), turned (bit 2), whole (bit 3) and an
// alpha plane (bit 4); bytes 1 and 2 the buffer's width and height (1 to 32); bytes 3-6 the
// source rectangle and 7-10 the destination rectangle, each a signed byte. The rest is the
// picture file (TIFF, PNG or JPEG).
//
// Promises besides the sanitizers' (which see any write past a buffer): the answer is 0 or
// -1; a refused load leaves every buffer as it was.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/core/file_records.h"
#include "app/image_import.h"
#include "fuzz/fuzz_support.h"
#include "platform/imageio/image_io.h"

namespace vmkfuzz {
namespace {

constexpr size_t kHead = 11;

// A small picture of each reader, 8- and 16-bit, with and without alpha.
std::vector<Bytes> Pictures() {
  namespace io = plat::imageio;
  const struct {
    const char* type;
    int bytes;
    uint32_t w, h;
  } kinds[] = {{io::kTypeTIFF, 1, 7, 5}, {io::kTypePNG, 2, 6, 4}, {io::kTypeJPEG, 1, 9, 8},
               {io::kTypeTIFF, 1, 1, 1}};
  std::vector<Bytes> out;
  int n = 0;
  for (const auto& k : kinds) {
    const size_t rowBytes = static_cast<size_t>(k.w) * 4 * k.bytes;
    Bytes px(rowBytes * k.h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 29 + 7);
    io::PixelSource src;
    src.base = px.data();
    src.rowBytes = rowBytes;
    src.width = k.w;
    src.height = k.h;
    src.bytesPerComponent = k.bytes;
    const std::string path = File("picture-seed" + std::to_string(n++));
    std::string msg;
    if (io::WriteImage(path, k.type, io::Properties{}, src, &msg) != io::kOk) Violation("seed write", msg);
    out.push_back(GetFile(path));
  }
  return out;
}

std::vector<Bytes> PictureSeeds() {
  // Whole pictures into buffers larger and smaller than them, a part of one, a turned load,
  // and an inverted rectangle.
  const uint8_t heads[][kHead] = {
      {0x08 | 1, 12, 10, 0, 0, 0, 0, 0, 0, 11, 9},
      {0x08 | 3, 4, 3, 0, 0, 0, 0, 1, 0, 3, 2},
      {0x10 | 0, 16, 16, 1, 1, 5, 3, 2, 2, 14, 15},
      {0x04 | 0x08 | 2, 8, 9, 0, 0, 0, 0, 0, 0, 8, 9},
      {0x04 | 1, 5, 5, 3, 3, 1, 1, 0, 0, 4, 4},
  };
  std::vector<Bytes> out;
  const std::vector<Bytes> pictures = Pictures();
  for (size_t p = 0; p < pictures.size(); ++p)
    for (size_t h = 0; h < sizeof heads / sizeof heads[0]; ++h) {
      if ((p + h) % 2 != 0) continue;
      Bytes b(heads[h], heads[h] + kHead);
      b.insert(b.end(), pictures[p].begin(), pictures[p].end());
      out.push_back(std::move(b));
    }
  return out;
}

void PictureOne(const uint8_t* data, size_t size) {
  if (size < kHead) return;
  const int16_t kind = static_cast<int16_t>(data[0] & 3);
  const bool turned = (data[0] & 4) != 0;
  const int16_t whole = (data[0] & 8) != 0 ? 1 : 0;
  const bool withAlpha = (data[0] & 16) != 0;
  const int32_t bufW = 1 + data[1] % 32, bufH = 1 + data[2] % 32;
  auto s = [data](int i) { return static_cast<int32_t>(static_cast<int8_t>(data[i])); };
  const std::string path = File("offered-picture");
  PutFile(path, data + kHead, size - kHead);
  fichier file;
  Init_FicStruct(&file);
  if (!SetFicFromPosix(&file, path)) Violation("harness: cannot name", path);

  // Each buffer as large as the kind asks and no larger, so that the sanitizers see a
  // sample written past it; filled with a pattern to see a refused load write.
  const size_t samples = static_cast<size_t>(bufW) * static_cast<size_t>(bufH);
  // Upright: 0 grey bytes, 1 four-byte pixels, 2 16-bit grey, 3 planes; turned, 0 is pixels.
  const size_t unit = kind == (turned ? 0 : 1) ? 4 : kind == 2 ? 2 : 1;
  std::vector<uint8_t> b1(samples * unit), b2(kind == 3 ? samples : 0), b3(kind == 3 ? samples : 0),
      alpha(withAlpha ? samples : 0);
  for (std::vector<uint8_t>* b : {&b1, &b2, &b3, &alpha})
    for (size_t i = 0; i < b->size(); ++i) (*b)[i] = static_cast<uint8_t>(0xA5 ^ i);
  const std::vector<uint8_t> before1 = b1, before2 = b2, before3 = b3, beforeAlpha = alpha;
  auto ptr = [](std::vector<uint8_t>& b) -> void* { return b.empty() ? nullptr : b.data(); };
  const int16_t rc =
      turned ? AS_Get90ResizedImage(&file, whole, s(3), s(4), s(5), s(6), bufW, bufH, s(7), s(8), s(9), s(10),
                                    kind, ptr(b1), ptr(b2), ptr(b3), withAlpha ? alpha.data() : nullptr)
             : AS_GetResizedImage(&file, whole, s(3), s(4), s(5), s(6), bufW, bufH, s(7), s(8), s(9), s(10),
                                  kind, ptr(b1), ptr(b2), ptr(b3), withAlpha ? alpha.data() : nullptr);
  if (rc != 0 && rc != -1) Violation("answer", std::to_string(rc));
  if (rc == -1) {
    if (b1 != before1 || b2 != before2 || b3 != before3 || alpha != beforeAlpha)
      Violation("a refused load wrote into a buffer");
    RefusedChecked();
    return;
  }
  Accepted();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"picture", PictureSeeds, PictureOne};
  return family;
}

}  // namespace vmkfuzz
