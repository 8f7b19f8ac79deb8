// Fuzz target: the EXIF block a source picture brought, copied into the written version
// (WriteImage to TIFF: the camera's tags onto the first directory, the EXIF sub-directory
// appended by AppendTiffExif). An input is the block itself, as a JPEG's APP1 or a PNG's
// eXIf holds it; the first byte of it also picks 8- or 16-bit samples.
//
// Promises besides the sanitizers': whatever the block holds, the version is written (a
// damaged block costs its tags, never the picture); it reads back with the pixels written;
// and a block whose sub-directory the writer took comes back with one.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/imageio/codec_common.h"
#include "platform/imageio/image_io.h"

namespace vmkfuzz {
namespace {

namespace io = plat::imageio;

constexpr uint32_t kW = 5, kH = 3;

// A block of the usual shape: the first directory with the camera's make and model and the
// pointer to the EXIF sub-directory, which holds an exposure (rational), a lens text and an
// interoperability pointer (dropped on the way).
Bytes Block(bool le, bool withSub) {
  Bytes b;
  auto u16 = [&](uint16_t v) {
    if (le) b.insert(b.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
    else b.insert(b.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  };
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * (le ? i : 3 - i))));
  };
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    u16(tag);
    u16(type);
    u32(count);
    if (type == 3 && count == 1) {
      u16(static_cast<uint16_t>(value));
      u16(0);
    } else {
      u32(value);
    }
  };
  b.insert(b.end(), le ? std::initializer_list<uint8_t>{'I', 'I'} : std::initializer_list<uint8_t>{'M', 'M'});
  u16(42);
  u32(8);
  const uint16_t first = withSub ? 4 : 3;
  const uint32_t text = 8 + 2 + 12u * first + 4;  // make and model after the directory
  u16(first);
  entry(0x010F, 2, 8, text);        // make
  entry(0x0110, 2, 6, text + 8);    // model
  entry(0x0112, 3, 1, 6);           // orientation
  const uint32_t sub = text + 14;
  if (withSub) entry(34665, 4, 1, sub);
  u32(0);
  for (const char* s : {"Vellmar\0", "Mk 2\0\0"}) b.insert(b.end(), s, s + (b.size() == text ? 8 : 6));
  if (withSub) {
    const uint32_t values = sub + 2 + 12 * 3 + 4;
    u16(3);
    entry(0x829A, 5, 1, values);      // exposure 1/125
    entry(0xA434, 2, 10, values + 8); // lens
    entry(0xA005, 4, 1, 0);           // interoperability pointer
    u32(0);
    u32(1);
    u32(125);
    const char lens[10] = "50mm f/2";
    b.insert(b.end(), lens, lens + 10);
  }
  return b;
}

std::vector<Bytes> ExifSeeds() {
  return {Block(true, true), Block(false, true), Block(true, false), Block(false, false)};
}

void ExifOne(const uint8_t* data, size_t size) {
  const int bytes = size > 0 && (data[0] & 1) != 0 ? 2 : 1;
  const size_t rowBytes = kW * 4 * static_cast<size_t>(bytes);
  Bytes px(rowBytes * kH);
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 53 + 3);
  io::PixelSource src;
  src.base = px.data();
  src.rowBytes = rowBytes;
  src.width = kW;
  src.height = kH;
  src.bytesPerComponent = bytes;
  io::Properties props;
  props.exif.assign(data, data + size);
  const std::string path = File("version.tif");
  std::string msg;
  if (io::WriteImage(path, io::kTypeTIFF, props, src, &msg) != io::kOk)
    Violation("the version was not written", msg);

  Bytes back(rowBytes * kH);
  io::ImageInfo info;
  const int rc = io::ReadImage(
      path,
      [&](const io::ImageInfo& i, io::PixelTarget* t) {
        if (i.width != kW || i.height != kH || i.bitsPerComponent != 8 * bytes) return false;
        t->base = back.data();
        t->rowBytes = rowBytes;
        t->bytesPerComponent = bytes;
        return true;
      },
      &info, false, &msg);
  if (rc != io::kOk) Violation("the written version does not read back", msg);
  for (uint32_t y = 0; y < kH; ++y)
    for (uint32_t x = 0; x < kW; ++x)
      for (int c = 0; c < 3; ++c) {
        const size_t at = y * rowBytes + (x * 4 + static_cast<size_t>(c)) * static_cast<size_t>(bytes);
        if (std::memcmp(&back[at], &px[at], static_cast<size_t>(bytes)) != 0)
          Violation("the written version's pixels differ");
      }
  // The writer first sets the block's orientation to the properties' (1 here), as for every
  // version; in a block whose sub-directory overlaps that entry, the sub-directory changes.
  std::vector<uint8_t> block = props.exif;
  io::detail::SetExifOrientation(&block, props.orientation);
  const bool sub = io::detail::ExifBlockHasSubDirectory(block);
  if (sub && !io::detail::ExifBlockHasSubDirectory(info.properties.exif))
    Violation("the block's sub-directory did not reach the version");
  sub ? Accepted() : RefusedChecked();
}

}  // namespace

const Family& TheFamily() {
  static const Family family{"exif", ExifSeeds, ExifOne};
  return family;
}

}  // namespace vmkfuzz
