// Fuzz target: TIFF, PNG and JPEG files through readSourceImage, infoSourceImage and the
// content importer's DecodeARGB.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "host/ApePlugInUtilities/pixel_buffer.h"
#include "platform/bytes/byte_order.h"
#include "platform/imageio/image_io.h"

namespace vmkfuzz {
namespace {


// PNG chunks carry CRCs that random mutation almost never keeps right; the harness
// recomputes them so that mutations reach the decoder instead of the CRC check.
uint32_t Crc32(const uint8_t* p, size_t n) {
  static uint32_t table[256];
  static bool made = false;
  if (!made) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
      table[i] = c;
    }
    made = true;
  }
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

void FixPngCrcs(Bytes& b) {
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (b.size() < 8 || std::memcmp(b.data(), sig, 8) != 0) return;
  size_t at = 8;
  while (at + 12 <= b.size()) {
    const uint32_t len = plat::bytes::loadBE32(&b[at]);
    if (len > b.size() - at - 12) break;
    const uint32_t crc = Crc32(&b[at + 4], 4 + static_cast<size_t>(len));
    plat::bytes::storeBE32(&b[at + 8 + len], crc);
    at += 12 + static_cast<size_t>(len);
  }
}

std::vector<Bytes> ImageSeeds() {
  std::vector<Bytes> out;
  namespace io = plat::imageio;
  io::Properties props;
  props.hasResolution = true;
  props.resolutionX = 300;
  props.resolutionY = 150;
  props.exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x31, 0x01, 2, 0, 4, 0, 0, 0,
                'v', 'm', 'k', 0, 0, 0, 0, 0};
  // A small RGB profile (header, two tags), as the image tests use.
  Bytes icc(384, 0);
  auto be32 = [&icc](size_t at, uint32_t v) { plat::bytes::storeBE32(&icc[at], v); };
  be32(0, 384);
  be32(8, 0x02100000);
  std::memcpy(&icc[12], "mntrRGB XYZ ", 12);
  std::memcpy(&icc[36], "acsp", 4);
  be32(128, 2);
  std::memcpy(&icc[132], "wtpt", 4);
  be32(136, 156);
  be32(140, 20);
  std::memcpy(&icc[144], "cprt", 4);
  be32(148, 176);
  be32(152, 208);
  std::memcpy(&icc[156], "XYZ ", 4);
  std::memcpy(&icc[176], "text", 4);
  for (size_t i = 184; i < icc.size(); ++i) icc[i] = static_cast<uint8_t>('a' + (i * 7) % 26);
  const struct {
    const char* type;
    int bytes;
    bool withProps;
    uint32_t w, h;
  } kinds[] = {
      {io::kTypeTIFF, 1, false, 7, 5},  {io::kTypeTIFF, 2, true, 7, 5},
      {io::kTypeTIFF, 4, true, 5, 3},   {io::kTypePNG, 1, false, 7, 5},
      {io::kTypePNG, 2, true, 9, 4},    {io::kTypeJPEG, 1, false, 16, 9},
      {io::kTypeJPEG, 1, true, 3, 2},   {io::kTypeTIFF, 1, true, 1, 1},
      {io::kTypePNG, 1, true, 1, 1},
  };
  int n = 0;
  for (const auto& k : kinds) {
    const size_t rowBytes = static_cast<size_t>(k.w) * 4 * k.bytes;
    Bytes px(rowBytes * k.h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 37 + 11);
    if (k.bytes == 4)
      for (size_t i = 0; i + 4 <= px.size(); i += 4) {
        const float v = static_cast<float>(i % 97) / 97.0f;
        std::memcpy(&px[i], &v, 4);
      }
    io::PixelSource src;
    src.base = px.data();
    src.rowBytes = rowBytes;
    src.width = k.w;
    src.height = k.h;
    src.bytesPerComponent = k.bytes;
    io::Properties p;
    if (k.withProps) {
      p = props;
      p.iccProfile = icc;
    }
    const std::string path = File("seed" + std::to_string(n++));
    std::string msg;
    if (io::WriteImage(path, k.type, p, src, &msg) != io::kOk) Violation("seed write", msg);
    out.push_back(GetFile(path));
  }
  return out;
}

void ImageOne(const uint8_t* data, size_t size) {
  Bytes b(data, data + size);
  FixPngCrcs(b);
  const std::string path = File("offered.img");
  PutFile(path, b.data(), b.size());

  // readSourceImage: on failure the buffer is left untouched.
  for (int bits : {0, 16}) {
    PixelBuffer buffer(3, 2, 1, 4);
    for (uint32_t y = 0; y < 2; ++y) std::memset(buffer.rowPtr(y), 0x5A + y, buffer.rowBytes());
    const PixelBuffer& cbuf = buffer;  // const access: no separation of shared bodies
    const Bytes before(cbuf.rowPtr(0), cbuf.rowPtr(0) + cbuf.rowBytes() * 2);
    const PixelBuffer other = buffer;  // a second handle on the same body
    std::string type = "kept";
    ImageProperties props;
    props.resolutionX = 12.5;
    std::string msg;
    const int rc = readSourceImage(path, &type, &props, bits, true, buffer, &msg);
    if (rc > 0) Violation("readSourceImage positive status", std::to_string(rc));
    if (rc != 0) {
      RefusedChecked();
      if (buffer.width() != 3 || buffer.height() != 2 || !buffer.sharesBodyWith(other) ||
          Bytes(cbuf.rowPtr(0), cbuf.rowPtr(0) + cbuf.rowBytes() * 2) != before)
        Violation("readSourceImage changed the buffer on failure", msg);
      if (type != "kept" || props.resolutionX != 12.5)
        Violation("readSourceImage changed type/properties on failure", msg);
    } else {
      Accepted();
      if (buffer.width() == 0 || buffer.height() == 0 || buffer.width() > kMaxRecordSide ||
          buffer.height() > kMaxRecordSide)
        Violation("readSourceImage accepted an impossible size");
      // Touch the first and last row: the buffer must be as large as it says.
      volatile uint8_t s = cbuf.rowPtr(0)[0];
      s = cbuf.rowPtr(cbuf.height() - 1)[cbuf.rowBytes() - 1];
      (void)s;
    }
  }

  // infoSourceImage: the record is unchanged on failure.
  FilterRecord rec;
  std::memset(static_cast<void*>(&rec), 0xA5, sizeof rec);
  const Bytes recBefore = RawBytes(rec);
  std::string msg;
  const int rc = infoSourceImage(path, nullptr, nullptr, 8, true, &rec, &msg);
  if (rc > 0) Violation("infoSourceImage positive status");
  if (rc != 0 && RawBytes(rec) != recBefore)
    Violation("infoSourceImage changed the record on failure", msg);

  // The content importer's road: straight alpha, ARGB.
  uint32_t w = 77, h = 88;
  std::vector<uint8_t> argb = {1, 2, 3};
  const int st = plat::imageio::DecodeARGB(path, &w, &h, &argb, &msg);
  if (st != 0 && (w != 77 || h != 88 || argb.size() != 3))
    Violation("DecodeARGB changed its outputs on failure", msg);
  if (st == 0 && argb.size() != static_cast<size_t>(w) * h * 4)
    Violation("DecodeARGB size mismatch");
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"image", ImageSeeds, ImageOne};
  return family;
}

}  // namespace vmkfuzz
