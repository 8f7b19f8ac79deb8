// Shared pieces of the three codecs: the decode context, the size check and
// the row converters between the codecs' sample layouts and the four-component
// pixels of the callers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/imageio/image_io.h"

namespace plat::imageio::detail {

enum class Kind { U8, U16, F32 };

inline int KindBytes(Kind k) { return k == Kind::U8 ? 1 : (k == Kind::U16 ? 2 : 4); }

struct DecodeContext {
  const TargetFactory* factory = nullptr;  // null: header and properties only
  ImageInfo* info = nullptr;
  bool straightAlpha = false;
  PixelTarget target;
  std::string message;
};

// kOk, or kErrTooLarge with a message, for a declared size.
int CheckSize(uint32_t width, uint32_t height, std::string* message);

// How many bytes of decoded data one stored byte can give at most, by the
// coding of the stream. A header may declare any size; the file must also
// hold enough data for it, so a short file is refused before the pixels'
// memory is taken.
inline constexpr uint64_t kStoredRatio = 1;
inline constexpr uint64_t kPackBitsRatio = 64;    // 2 bytes make a run of 128
inline constexpr uint64_t kDeflateRatio = 1032;   // a 258-byte match in 2 bits
inline constexpr uint64_t kLzwRatio = 4096;       // a 9-bit code names under 4096 bytes
// Codings whose formats do not bound their expansion (fax, zstd, LERC ...):
// a generous bound that a real picture stays far inside.
inline constexpr uint64_t kOpenRatio = 65536;

// kOk, or kErrDamaged with a message, when `decoded` bytes cannot come out
// of `stored` bytes at `ratio` (a few kilobytes of slack for headers and
// tiny images).
int CheckDataFits(uint64_t decoded, uint64_t stored, uint64_t ratio, const char* format,
                  std::string* message);

// Bytes of the open file from `offset` to its end (0 when unknown).
uint64_t BytesAfter(int fd, uint64_t offset);

// Asks the factory for a target once the header is known; checks its shape.
int PrepareTarget(DecodeContext& ctx);

// One decoded row of `channels` samples per pixel (1 grey, 2 grey and alpha,
// 3 RGB, 4 RGBA) into row y of the target. `premultiplied` says the colours
// were already multiplied by the alpha: drawn over black they stay as they
// are, and a caller asking for straight colours gets them divided back.
void StoreRow(const void* samples, Kind kind, int channels, bool premultiplied,
              const DecodeContext& ctx, uint32_t y);

// A band of CMYK samples (with alpha, CMYKA) of 8 or 16 bits turned into
// RGB (RGBA) in place by the plain ink formula, (max - C)(max - K) / max.
void CmykBandToRgb(uint8_t* band, size_t pixels, Kind kind, bool alpha);

// CIELab (or ICC-encoded Lab) samples of 8 or 16 bits turned into sRGB of
// the same depth in place; an alpha sample after L, a, b stays. The white
// is the file's (chromaticity x, y), or D50 when not given (0, 0).
class LabConverter {
 public:
  LabConverter(Kind kind, bool iccEncoding, double whiteX = 0.0, double whiteY = 0.0);
  ~LabConverter();
  LabConverter(const LabConverter&) = delete;
  LabConverter& operator=(const LabConverter&) = delete;
  bool ok() const { return transform_ != nullptr; }
  void Convert(uint8_t* band, size_t pixels, int channels) const;

 private:
  Kind kind_;
  bool icc_;
  void* transform_ = nullptr;
};

// Row y of the caller's pixels as packed RGB samples of `kind`; with
// `alpha`, RGBA samples, the fourth component as the alpha.
void PackRow(const PixelSource& pixels, uint32_t y, Kind kind, void* out, bool alpha = false);

// Codecs. Readers fill ctx.info and, with a factory, the target.
// The file at `path` opened for reading as a stream, or null; only a
// regular file is opened, and the open never waits (a FIFO would hold it).
FILE* OpenForReading(const std::string& path);

int ReadTiff(const std::string& path, DecodeContext& ctx);
int ReadPng(const std::string& path, DecodeContext& ctx);
int ReadJpeg(const std::string& path, DecodeContext& ctx);
// Writers take an open descriptor of the temporary file, which they close;
// syncing and renaming are the caller's.
int WriteTiff(int fd, const std::string& name, const Properties& props, const PixelSource& px,
              std::string* message);
// Four 8-bit samples per pixel, the fourth as straight alpha.
int WriteTiffRgba(int fd, const std::string& name, const PixelSource& px, std::string* message);
int WritePng(int fd, const Properties& props, const PixelSource& px, std::string* message);
int WriteJpeg(int fd, const Properties& props, const PixelSource& px, std::string* message);

// EXIF between a TIFF file's own directories and the free-standing block
// (first directory with the camera's tags, pointing at the sub-directory).
// Builds the block from the file's first directory and its EXIF directory
// at `exifOffset` (0: none).
bool ReadTiffExifBlock(int fd, bool littleEndian, uint64_t firstIfd, uint64_t exifOffset,
                       std::vector<uint8_t>* blob);
// The block's byte order; false when it is not TIFF-structured.
bool ExifBlockOrder(const std::vector<uint8_t>& blob, bool* littleEndian);
// Whether the block has a readable EXIF sub-directory to write into a TIFF.
bool ExifBlockHasSubDirectory(const std::vector<uint8_t>& blob);
// The block's Orientation (1..8), or 0 when it has none.
int ExifOrientation(const std::vector<uint8_t>& blob);
// Sets the block's Orientation entry, when it has one, to `orientation`.
void SetExifOrientation(std::vector<uint8_t>* blob, int orientation);
// A text tag of the block's first directory, or "".
std::string ExifText(const std::vector<uint8_t>& blob, uint16_t tag);
// Appends the block's sub-directory, in the file's byte order, to a
// finished file and points the first directory's EXIF entry (which must be
// there) at it.
bool AppendTiffExif(int fd, const std::vector<uint8_t>& blob);

// Sets *message when it is given and still empty.
inline void SetMessage(std::string* message, const std::string& text) {
  if (message != nullptr && message->empty()) *message = text;
}

}  // namespace plat::imageio::detail
