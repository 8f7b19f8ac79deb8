// The EXIF directory of a TIFF file and the free-standing EXIF block.
//
// JPEG and PNG carry EXIF as one TIFF-structured block; a TIFF file carries
// it as a directory of its own that the first directory points at. Reading
// copies that directory (with the values it points at) into a block of the
// same form; writing appends the block's directory to the finished file and
// points the first directory's EXIF entry at it. Offsets are rebased on the
// way; the interoperability sub-directory, whose offset would dangle, is
// dropped. Everything is bounds-checked: a broken directory is skipped, never
// followed out of its file.
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>

#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

constexpr uint16_t kTagExifIfd = 34665;
constexpr uint16_t kTagInteropIfd = 0xA005;
constexpr uint16_t kMaxEntries = 1024;

using Source = std::function<bool(uint64_t offset, size_t n, uint8_t* out)>;

uint16_t Get16(const uint8_t* p, bool le) {
  return le ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : static_cast<uint16_t>((p[0] << 8) | p[1]);
}
uint32_t Get32(const uint8_t* p, bool le) {
  return le ? (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24))
            : ((static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
}
void Put16(uint8_t* p, uint16_t v, bool le) {
  p[le ? 0 : 1] = static_cast<uint8_t>(v);
  p[le ? 1 : 0] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v, bool le) {
  for (int i = 0; i < 4; ++i) p[le ? i : 3 - i] = static_cast<uint8_t>(v >> (8 * i));
}

size_t TypeSize(uint16_t type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;    // byte, ascii, sbyte, undefined
    case 3: case 8: return 2;                    // short, sshort
    case 4: case 9: case 11: case 13: return 4;  // long, slong, float, ifd
    case 5: case 10: case 12: return 8;          // rational, srational, double
    default: return 0;
  }
}

// The directory at `ifd` of `src` as it will stand at offset `at` of a target
// in the same byte order; false when it cannot be read at all.
bool CopyDirectory(const Source& src, bool le, uint64_t ifd, uint32_t at,
                   std::vector<uint8_t>* out) {
  uint8_t head[2];
  if (!src(ifd, 2, head)) return false;
  const uint16_t n = Get16(head, le);
  if (n == 0 || n > kMaxEntries) return false;
  std::vector<uint8_t> entries(static_cast<size_t>(n) * 12);
  if (!src(ifd + 2, entries.size(), entries.data())) return false;
  std::vector<std::array<uint8_t, 12>> kept;
  struct Pending {
    size_t entry;
    std::vector<uint8_t> bytes;
  };
  std::vector<Pending> outOfLine;
  for (uint16_t i = 0; i < n; ++i) {
    std::array<uint8_t, 12> e;
    std::memcpy(e.data(), &entries[static_cast<size_t>(i) * 12], 12);
    const uint16_t tag = Get16(&e[0], le), type = Get16(&e[2], le);
    const uint32_t count = Get32(&e[4], le);
    const size_t unit = TypeSize(type);
    if (unit == 0 || tag == kTagInteropIfd || count > kMaxMetadataBytes / unit) continue;
    const size_t bytes = unit * count;
    if (bytes > 4) {
      Pending p{kept.size(), std::vector<uint8_t>(bytes)};
      if (!src(Get32(&e[8], le), bytes, p.bytes.data())) continue;
      outOfLine.push_back(std::move(p));
    }
    kept.push_back(e);
  }
  if (kept.empty()) return false;
  const size_t dirBytes = 2 + kept.size() * 12 + 4;
  std::vector<uint8_t> dir(dirBytes, 0);
  Put16(dir.data(), static_cast<uint16_t>(kept.size()), le);
  for (size_t i = 0; i < kept.size(); ++i) std::memcpy(&dir[2 + i * 12], kept[i].data(), 12);
  for (Pending& p : outOfLine) {
    if (dir.size() % 2 != 0) dir.push_back(0);
    Put32(&dir[2 + p.entry * 12 + 8], static_cast<uint32_t>(at + dir.size()), le);
    dir.insert(dir.end(), p.bytes.begin(), p.bytes.end());
    if (dir.size() > kMaxMetadataBytes) return false;
  }
  out->insert(out->end(), dir.begin(), dir.end());
  return true;
}

bool PreadAll(int fd, uint64_t offset, size_t n, uint8_t* out) {
  while (n > 0) {
    const ssize_t r = ::pread(fd, out, n, static_cast<off_t>(offset));
    if (r <= 0) return false;
    out += r;
    offset += static_cast<uint64_t>(r);
    n -= static_cast<size_t>(r);
  }
  return true;
}

bool PwriteAll(int fd, uint64_t offset, const uint8_t* p, size_t n) {
  while (n > 0) {
    const ssize_t r = ::pwrite(fd, p, n, static_cast<off_t>(offset));
    if (r <= 0) return false;
    p += r;
    offset += static_cast<uint64_t>(r);
    n -= static_cast<size_t>(r);
  }
  return true;
}

}  // namespace

bool ReadTiffExifBlock(int fd, bool littleEndian, uint64_t exifOffset, std::vector<uint8_t>* blob) {
  std::vector<uint8_t> out = {littleEndian ? uint8_t{'I'} : uint8_t{'M'},
                              littleEndian ? uint8_t{'I'} : uint8_t{'M'}, 0, 0, 0, 0, 0, 0};
  Put16(&out[2], 42, littleEndian);
  Put32(&out[4], 8, littleEndian);
  const Source src = [fd](uint64_t off, size_t n, uint8_t* p) { return PreadAll(fd, off, n, p); };
  if (!CopyDirectory(src, littleEndian, exifOffset, 8, &out)) return false;
  *blob = std::move(out);
  return true;
}

bool ExifBlockOrder(const std::vector<uint8_t>& blob, bool* littleEndian) {
  if (blob.size() < 8) return false;
  if (blob[0] == 'I' && blob[1] == 'I' && blob[2] == 42 && blob[3] == 0) *littleEndian = true;
  else if (blob[0] == 'M' && blob[1] == 'M' && blob[2] == 0 && blob[3] == 42) *littleEndian = false;
  else return false;
  return true;
}

namespace {
Source BlobSource(const std::vector<uint8_t>& blob) {
  return [&blob](uint64_t off, size_t len, uint8_t* p) {
    if (off > blob.size() || len > blob.size() - off) return false;
    std::memcpy(p, blob.data() + off, len);
    return true;
  };
}
}  // namespace

bool ExifBlockFitsTiff(const std::vector<uint8_t>& blob, bool fileLittleEndian) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le) || le != fileLittleEndian) return false;
  std::vector<uint8_t> scratch;
  return CopyDirectory(BlobSource(blob), le, Get32(&blob[4], le), 0, &scratch);
}

bool AppendTiffExif(int fd, const std::vector<uint8_t>& blob) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le)) return false;
  // The file as libtiff left it: its order, its first directory.
  uint8_t header[8];
  if (!PreadAll(fd, 0, 8, header)) return false;
  const bool fileLe = header[0] == 'I';
  if (fileLe != le) return false;
  const uint32_t ifd0 = Get32(&header[4], le);
  uint8_t cnt[2];
  if (!PreadAll(fd, ifd0, 2, cnt)) return false;
  const uint16_t n = Get16(cnt, le);
  uint64_t pointerAt = 0;
  for (uint16_t i = 0; i < n && pointerAt == 0; ++i) {
    uint8_t e[12];
    if (!PreadAll(fd, ifd0 + 2 + static_cast<uint64_t>(i) * 12, 12, e)) return false;
    if (Get16(e, le) == kTagExifIfd) pointerAt = ifd0 + 2 + static_cast<uint64_t>(i) * 12 + 8;
  }
  if (pointerAt == 0) return false;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0 || end > 0xFFFFFFF0) return false;
  const uint32_t at = static_cast<uint32_t>((end + 1) & ~off_t{1});
  const Source src = BlobSource(blob);
  std::vector<uint8_t> dir;
  if (static_cast<off_t>(at) != end) dir.push_back(0);  // directories start on a word
  if (!CopyDirectory(src, le, Get32(&blob[4], le), at, &dir)) return false;
  uint8_t ptr[4];
  Put32(ptr, at, le);
  return PwriteAll(fd, static_cast<uint64_t>(end), dir.data(), dir.size()) &&
         PwriteAll(fd, pointerAt, ptr, 4);
}

}  // namespace plat::imageio::detail
