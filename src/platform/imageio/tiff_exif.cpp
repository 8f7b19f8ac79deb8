// The EXIF directory of a TIFF file and the free-standing EXIF block.
//
// JPEG and PNG carry EXIF as one TIFF-structured block whose first directory
// holds the camera's tags (make, model, orientation ...) and points at the
// EXIF sub-directory; a TIFF file keeps those tags in its own first
// directory and the sub-directory apart. The block has that one shape on
// every road, in either byte order: reading a TIFF builds it from the file's
// first directory and its EXIF directory; writing sets the camera's tags on
// the file's first directory and appends the sub-directory, turned to the
// file's byte order. Offsets are rebased on the way; the interoperability
// and GPS sub-directories, whose offsets would dangle, are dropped. Everything is bounds-checked: a broken directory is skipped, never
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
constexpr uint16_t kTagGpsIfd = 0x8825;
constexpr uint16_t kTagOrientation = 0x0112;

// The first directory's tags the block carries: what a TIFF file keeps there too.
bool CameraTag(uint16_t tag) {
  switch (tag) {
    case 0x010E: case 0x010F: case 0x0110: case kTagOrientation: case 0x0131: case 0x0132:
    case 0x013B: case 0x8298: return true;
    default: return false;
  }
}
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

// Values of `unit` bytes turned to the other byte order (rationals as two
// longs); bytes and text stay.
void SwapValues(uint8_t* p, size_t bytes, uint16_t type) {
  size_t unit = TypeSize(type);
  if (type == 5 || type == 10) unit = 4;
  if (unit <= 1) return;
  for (size_t i = 0; i + unit <= bytes; i += unit)
    for (size_t a = i, b = i + unit - 1; a < b; ++a, --b) std::swap(p[a], p[b]);
}

using TagFilter = bool (*)(uint16_t tag);
bool AnyTag(uint16_t tag) { return tag != kTagInteropIfd && tag != kTagGpsIfd; }

// The directory at `ifd` of `src` (byte order `le`) as it will stand at
// offset `at` of a target in byte order `outLe`, keeping the entries
// `keep` takes; false when it cannot be read or keeps nothing.
bool CopyDirectory(const Source& src, bool le, uint64_t ifd, uint32_t at,
                   std::vector<uint8_t>* out, bool outLe, TagFilter keep = AnyTag) {
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
    if (unit == 0 || !keep(tag) || count > kMaxMetadataBytes / unit) continue;
    const size_t bytes = unit * count;
    if (bytes > 4) {
      Pending p{kept.size(), std::vector<uint8_t>(bytes)};
      if (!src(Get32(&e[8], le), bytes, p.bytes.data())) continue;
      if (le != outLe) SwapValues(p.bytes.data(), bytes, type);
      outOfLine.push_back(std::move(p));
    } else if (le != outLe) {
      SwapValues(&e[8], bytes, type);
    }
    Put16(&e[0], tag, outLe);
    Put16(&e[2], type, outLe);
    Put32(&e[4], count, outLe);
    kept.push_back(e);
  }
  if (kept.empty()) return false;
  const size_t dirBytes = 2 + kept.size() * 12 + 4;
  std::vector<uint8_t> dir(dirBytes, 0);
  Put16(dir.data(), static_cast<uint16_t>(kept.size()), outLe);
  for (size_t i = 0; i < kept.size(); ++i) std::memcpy(&dir[2 + i * 12], kept[i].data(), 12);
  for (Pending& p : outOfLine) {
    if (dir.size() % 2 != 0) dir.push_back(0);
    Put32(&dir[2 + p.entry * 12 + 8], static_cast<uint32_t>(at + dir.size()), outLe);
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

// Where the value of the entry `tag` of the directory at `ifd` lies, or 0.
uint64_t FindEntry(const Source& src, bool le, uint64_t ifd, uint16_t tag) {
  uint8_t head[2];
  if (!src(ifd, 2, head)) return 0;
  const uint16_t n = Get16(head, le);
  for (uint16_t i = 0; i < n && i < kMaxEntries; ++i) {
    uint8_t e[12];
    if (!src(ifd + 2 + uint64_t{i} * 12, 12, e)) return 0;
    if (Get16(e, le) == tag) return ifd + 2 + uint64_t{i} * 12 + 8;
  }
  return 0;
}

Source BlobSource(const std::vector<uint8_t>& blob) {
  return [&blob](uint64_t off, size_t len, uint8_t* p) {
    if (off > blob.size() || len > blob.size() - off) return false;
    std::memcpy(p, blob.data() + off, len);
    return true;
  };
}

bool CameraOrExif(uint16_t tag) { return CameraTag(tag) || tag == kTagExifIfd; }

// The block's EXIF sub-directory offset, or 0.
uint32_t SubDirectory(const std::vector<uint8_t>& blob, bool le) {
  const uint64_t at = FindEntry(BlobSource(blob), le, Get32(&blob[4], le), kTagExifIfd);
  return at == 0 ? 0 : Get32(&blob[at], le);
}

}  // namespace

bool ReadTiffExifBlock(int fd, bool littleEndian, uint64_t firstIfd, uint64_t exifOffset,
                       std::vector<uint8_t>* blob) {
  const bool le = littleEndian;
  std::vector<uint8_t> out = {le ? uint8_t{'I'} : uint8_t{'M'}, le ? uint8_t{'I'} : uint8_t{'M'},
                              0, 0, 0, 0, 0, 0};
  Put16(&out[2], 42, le);
  Put32(&out[4], 8, le);
  const Source src = [fd](uint64_t off, size_t n, uint8_t* p) { return PreadAll(fd, off, n, p); };
  // The camera's tags and the pointer first, then the sub-directory after them.
  std::vector<uint8_t> first = out;
  const bool haveFirst =
      CopyDirectory(src, le, firstIfd, 8, &first, le, exifOffset > 0 ? CameraOrExif : CameraTag);
  const uint64_t pointer = haveFirst ? FindEntry(BlobSource(first), le, 8, kTagExifIfd) : 0;
  if (pointer != 0) {
    if (first.size() % 2 != 0) first.push_back(0);
    const auto at = static_cast<uint32_t>(first.size());
    if (CopyDirectory(src, le, exifOffset, at, &first, le)) {
      Put32(&first[pointer], at, le);
      *blob = std::move(first);
      return true;
    }
  }
  // No readable sub-directory: the camera's tags alone, if there are any
  // beyond the orientation (which the properties carry anyway).
  out.resize(8);
  if (!CopyDirectory(src, le, firstIfd, 8, &out, le, CameraTag)) return false;
  if (Get16(&out[8], le) == 1 && FindEntry(BlobSource(out), le, 8, kTagOrientation) != 0)
    return false;
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

bool ExifBlockHasSubDirectory(const std::vector<uint8_t>& blob) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le)) return false;
  const uint32_t sub = SubDirectory(blob, le);
  std::vector<uint8_t> scratch;
  return sub != 0 && CopyDirectory(BlobSource(blob), le, sub, 0, &scratch, le);
}

int ExifOrientation(const std::vector<uint8_t>& blob) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le)) return 0;
  const uint64_t at = FindEntry(BlobSource(blob), le, Get32(&blob[4], le), kTagOrientation);
  if (at == 0 || at + 2 > blob.size()) return 0;
  const int v = Get16(&blob[at], le);
  return v >= 1 && v <= 8 ? v : 0;
}

void SetExifOrientation(std::vector<uint8_t>* blob, int orientation) {
  bool le = true;
  if (!ExifBlockOrder(*blob, &le)) return;
  const uint64_t at = FindEntry(BlobSource(*blob), le, Get32(&(*blob)[4], le), kTagOrientation);
  if (at >= 4 && at + 2 <= blob->size() && Get16(&(*blob)[at - 6], le) == 3)
    Put16(&(*blob)[at], static_cast<uint16_t>(orientation), le);
}

std::string ExifText(const std::vector<uint8_t>& blob, uint16_t tag) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le)) return {};
  const Source src = BlobSource(blob);
  const uint64_t at = FindEntry(src, le, Get32(&blob[4], le), tag);
  if (at == 0 || Get16(&blob[at - 6], le) != 2) return {};
  const uint32_t count = Get32(&blob[at - 4], le);
  if (count == 0 || count > 65536) return {};
  std::string text(count, '\0');
  const uint64_t from = count > 4 ? Get32(&blob[at], le) : at;
  if (!src(from, count, reinterpret_cast<uint8_t*>(text.data()))) return {};
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool AppendTiffExif(int fd, const std::vector<uint8_t>& blob) {
  bool le = true;
  if (!ExifBlockOrder(blob, &le)) return false;
  const uint32_t sub = SubDirectory(blob, le);
  if (sub == 0) return false;
  // The file as libtiff left it: its order, its first directory.
  uint8_t header[8];
  if (!PreadAll(fd, 0, 8, header)) return false;
  const bool fileLe = header[0] == 'I';
  const Source file = [fd](uint64_t off, size_t n, uint8_t* p) { return PreadAll(fd, off, n, p); };
  const uint64_t pointerAt = FindEntry(file, fileLe, Get32(&header[4], fileLe), kTagExifIfd);
  if (pointerAt == 0) return false;
  const off_t end = ::lseek(fd, 0, SEEK_END);
  if (end < 0 || end > 0xFFFFFFF0) return false;
  const uint32_t at = static_cast<uint32_t>((end + 1) & ~off_t{1});
  std::vector<uint8_t> dir;
  if (static_cast<off_t>(at) != end) dir.push_back(0);  // directories start on a word
  if (!CopyDirectory(BlobSource(blob), le, sub, at, &dir, fileLe)) return false;
  uint8_t ptr[4];
  Put32(ptr, at, fileLe);
  return PwriteAll(fd, static_cast<uint64_t>(end), dir.data(), dir.size()) &&
         PwriteAll(fd, pointerAt, ptr, 4);
}

}  // namespace plat::imageio::detail
