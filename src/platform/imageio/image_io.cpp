// Entry points of the image layer: format detection, the read and write
// roads shared by the three codecs, the temporary-file-and-rename write, and
// the content importer's 32-bit decode. Writes go through the file layer's
// replacement, which renames a complete temporary file into place.
#include "platform/imageio/image_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/files/file_io.h"
#include "platform/imageio/codec_common.h"

namespace plat::imageio {
namespace {

int Decode(const std::string& path, const TargetFactory* factory, ImageInfo* info,
           bool straightAlpha, std::string* message) {
  std::string scratch;
  std::string& msg = message != nullptr ? *message : scratch;
  msg.clear();
  // Anything but a regular file is refused without waiting: a FIFO given as
  // the image would hold the read for ever.
  FILE* f = detail::OpenForReading(path);
  if (f == nullptr) {
    const std::string other = plat::files::NotRegularKind(path);
    msg = other.empty() ? "cannot open " + path + ": " + std::strerror(errno)
                        : "not an image file but " + other + ": " + path;
    return kErrOpen;
  }
  std::fclose(f);
  const std::string type = SniffType(path);
  if (type.empty()) {
    msg = "not a TIFF, PNG or JPEG file: " + path;
    return kErrFormat;
  }
  ImageInfo local;
  detail::DecodeContext ctx;
  ctx.factory = factory != nullptr && *factory ? factory : nullptr;
  ctx.info = &local;
  ctx.straightAlpha = straightAlpha;
  int status;
  try {
    if (type == kTypeTIFF)
      status = detail::ReadTiff(path, ctx);
    else if (type == kTypePNG)
      status = detail::ReadPng(path, ctx);
    else
      status = detail::ReadJpeg(path, ctx);
  } catch (const std::bad_alloc&) {
    ctx.message = "no memory to read " + path;
    status = kErrNoMemory;
  }
  if (status == kOk) {
    // Only straight colours with their alpha are pixels whose fourth
    // component a writer may keep as the alpha.
    local.properties.hasAlpha = straightAlpha && local.hasAlpha;
    if (info != nullptr) *info = std::move(local);
  } else {
    msg = ctx.message.empty() ? StatusText(status) : ctx.message;
  }
  return status;
}

int CheckSource(const PixelSource& px, std::string* message) {
  const int b = px.bytesPerComponent;
  if ((b != 1 && b != 2 && b != 4) || px.width == 0 || px.height == 0 || px.base == nullptr ||
      px.rowBytes < static_cast<size_t>(px.width) * 4u * static_cast<size_t>(b)) {
    detail::SetMessage(message, "nothing to write: empty or malformed pixel buffer");
    return kErrArgument;
  }
  return kOk;
}

}  // namespace

namespace detail {

FILE* OpenForReading(const std::string& path) {
  const int fd = plat::files::OpenRegular(path, O_RDONLY);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace detail

std::string SniffType(const std::string& path) {
  unsigned char h[8] = {0};
  FILE* f = detail::OpenForReading(path);
  if (f == nullptr) return {};
  const size_t n = std::fread(h, 1, sizeof h, f);
  std::fclose(f);
  if (n >= 4 && ((h[0] == 'I' && h[1] == 'I' && (h[2] == 42 || h[2] == 43) && h[3] == 0) ||
                 (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && (h[3] == 42 || h[3] == 43))))
    return kTypeTIFF;
  if (n == 8 && std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0) return kTypePNG;
  if (n >= 3 && h[0] == 0xFF && h[1] == 0xD8 && h[2] == 0xFF) return kTypeJPEG;
  return {};
}

int ReadInfo(const std::string& path, ImageInfo* info, std::string* message) {
  return Decode(path, nullptr, info, false, message);
}

int ReadImage(const std::string& path, const TargetFactory& factory, ImageInfo* info,
              bool straightAlpha, std::string* message) {
  if (!factory) {
    detail::SetMessage(message, "no pixel target given");
    return kErrArgument;
  }
  return Decode(path, &factory, info, straightAlpha, message);
}

namespace {

// Runs a codec's writer on a temporary file beside `path` and renames it over
// `path` only when the writer succeeded. The codecs close the descriptor they
// are given, so they get a duplicate; the replacement itself is committed
// (synced, closed, renamed) here.
template <typename Writer>
int ReplaceWith(const std::string& path, std::string* message, Writer&& write) {
  plat::files::AtomicReplace out(path);
  const int fd = out.ok() ? ::dup(out.fd()) : -1;
  if (fd < 0) {
    detail::SetMessage(message, "cannot create a temporary file beside " + path + ": " +
                                    std::strerror(errno));
    return kErrWrite;
  }
  int status;
  try {
    status = write(fd);
  } catch (const std::bad_alloc&) {
    detail::SetMessage(message, "no memory to write " + path);
    status = kErrNoMemory;
  }
  if (status == kOk && !out.commit()) {
    detail::SetMessage(message, "cannot replace " + path + ": " + std::strerror(errno));
    status = kErrWrite;
  }
  // Not committed: the replacement removes its temporary file.
  return status;
}

}  // namespace

int WriteImage(const std::string& path, const std::string& type, const Properties& properties,
               const PixelSource& pixels, std::string* message) {
  if (message != nullptr) message->clear();
  if (int st = CheckSource(pixels, message); st != kOk) return st;
  if (type != kTypeTIFF && type != kTypePNG && type != kTypeJPEG) {
    detail::SetMessage(message, "cannot write images of type \"" + type + "\"");
    return kErrArgument;
  }
  return ReplaceWith(path, message, [&](int fd) {
    // The EXIF block says how the written grid is to be shown, as the
    // properties do (1 once the pixels were turned upright).
    Properties props = properties;
    detail::SetExifOrientation(&props.exif, props.orientation);
    if (type == kTypeTIFF) return detail::WriteTiff(fd, path, props, pixels, message);
    if (type == kTypePNG) return detail::WritePng(fd, props, pixels, message);
    return detail::WriteJpeg(fd, props, pixels, message);
  });
}

int WriteRgbaTiff(const std::string& path, const PixelSource& pixels, std::string* message) {
  if (message != nullptr) message->clear();
  if (int st = CheckSource(pixels, message); st != kOk) return st;
  if (pixels.bytesPerComponent != 1) {
    detail::SetMessage(message, "RGBA TIFF files are written at 8 bits only");
    return kErrArgument;
  }
  return ReplaceWith(path, message,
                     [&](int fd) { return detail::WriteTiffRgba(fd, path, pixels, message); });
}

int DecodeARGB(const std::string& path, uint32_t* width, uint32_t* height,
               std::vector<uint8_t>* argb, std::string* message) {
  if (argb == nullptr) return kErrArgument;
  std::vector<uint8_t> pixels;
  bool tooLarge = false;
  std::string declared;
  TargetFactory factory = [&](const ImageInfo& info, PixelTarget* t) {
    if (info.width > kMaxSessionSide || info.height > kMaxSessionSide) {
      tooLarge = true;
      declared = std::to_string(info.width) + " x " + std::to_string(info.height);
      return false;
    }
    try {
      pixels.assign(static_cast<size_t>(info.width) * info.height * 4u, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    t->base = pixels.data();
    t->rowBytes = static_cast<size_t>(info.width) * 4u;
    t->bytesPerComponent = 1;
    return true;
  };
  ImageInfo info;
  const int st = ReadImage(path, factory, &info, true, message);
  if (tooLarge) {
    if (message != nullptr)
      *message = "image of " + declared + " pixels in " + path + ": at most " +
                 std::to_string(kMaxSessionSide) +
                 " pixels per side are imported";
    return kErrTooLarge;
  }
  if (st != kOk) return st;
  // Stored as red, green, blue, alpha; the importer's worlds hold alpha first.
  for (size_t i = 0; i + 3 < pixels.size(); i += 4) {
    const uint8_t a = pixels[i + 3];
    pixels[i + 3] = pixels[i + 2];
    pixels[i + 2] = pixels[i + 1];
    pixels[i + 1] = pixels[i];
    pixels[i] = a;
  }
  if (width != nullptr) *width = info.width;
  if (height != nullptr) *height = info.height;
  *argb = std::move(pixels);
  return kOk;
}

int NaturalSize(const std::string& path, uint32_t* width, uint32_t* height) {
  ImageInfo info;
  const int st = ReadInfo(path, &info);
  if (st != kOk) return st;
  if (width != nullptr) *width = info.width;
  if (height != nullptr) *height = info.height;
  return kOk;
}

const std::vector<std::string>& ReadableExtensions() {
  static const std::vector<std::string> kExt = {".tif", ".tiff", ".png", ".jpg", ".jpeg"};
  return kExt;
}

const char* StatusText(int status) {
  switch (status) {
    case kOk: return "no error";
    case kErrOpen: return "the file cannot be opened";
    case kErrFormat: return "not a TIFF, PNG or JPEG file";
    case kErrDamaged: return "the image file is damaged or truncated";
    case kErrTooLarge: return "the image is larger than this program reads";
    case kErrUnsupported: return "the image's layout is not supported";
    case kErrWrite: return "the image file could not be written";
    case kErrNoMemory: return "not enough memory for the image";
    case kErrArgument: return "bad pixel buffer or image type";
    default: return "unknown image error";
  }
}

}  // namespace plat::imageio
