// TIFF on libtiff. RGB and grey images of 8 or 16 bits and 32-bit float
// samples, and CMYK and Lab of 8 or 16 bits, are read sample by sample,
// strips or tiles, contiguous or planar; every other layout (palette,
// YCbCr, bilevel ...) goes through libtiff's RGBA decoder at 8 bits. Every
// road gives the grid as stored and reports the orientation. Writing
// always makes a contiguous RGB file at the pixels' own depth,
// uncompressed, as the image system does.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/files/file_io.h"
#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

// libtiff's allocation limit for any single block it makes while decoding,
// so that a strip or tile declared with an absurd size is refused there too.
constexpr tmsize_t kTiffMaxSingleAlloc = tmsize_t{512} << 20;

struct TiffErrors {
  std::string text;
};

int OnTiffError(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* e = static_cast<TiffErrors*>(user);
  if (e != nullptr && e->text.empty()) {
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    e->text = module != nullptr ? std::string(module) + ": " + buf : std::string(buf);
  }
  return 1;
}

int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

TIFFOpenOptions* MakeOptions(TiffErrors* errors) {
  TIFFOpenOptions* o = TIFFOpenOptionsAlloc();
  if (o == nullptr) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(o, kTiffMaxSingleAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(o, OnTiffError, errors);
  TIFFOpenOptionsSetWarningHandlerExtR(o, OnTiffWarning, nullptr);
  return o;
}

struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif != nullptr) TIFFClose(tif);
  }
};

std::string Damaged(const TiffErrors& e, const char* what) {
  return std::string("damaged TIFF file: ") + (e.text.empty() ? what : e.text);
}

void ReadProperties(TIFF* tif, Properties* p) {
  float xr = 0.0f, yr = 0.0f;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xr) == 1 &&
      TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yr) == 1 && unit != RESUNIT_NONE && xr > 0.0f &&
      yr > 0.0f) {
    const double k = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    p->hasResolution = true;
    p->resolutionX = xr * k;
    p->resolutionY = yr * k;
  }
  uint32_t n = 0;
  void* data = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &n, &data) == 1 && data != nullptr && n > 0 &&
      n <= kMaxMetadataBytes) {
    const auto* b = static_cast<const uint8_t*>(data);
    p->iccProfile.assign(b, b + n);
  }
}

// Copies one sample of `bytes` bytes.
inline void CopySample(uint8_t* d, const uint8_t* s, int bytes) {
  std::memcpy(d, s, static_cast<size_t>(bytes));
}

void InvertBand(uint8_t* band, size_t samples, Kind kind, int channels) {
  // Only the grey channel; an alpha channel stays as stored.
  for (size_t i = 0; i < samples; i += static_cast<size_t>(channels)) {
    switch (kind) {
      case Kind::U8: band[i] = static_cast<uint8_t>(255 - band[i]); break;
      case Kind::U16: {
        auto* p = reinterpret_cast<uint16_t*>(band);
        p[i] = static_cast<uint16_t>(65535 - p[i]);
        break;
      }
      case Kind::F32: {
        auto* p = reinterpret_cast<float*>(band);
        p[i] = 1.0f - p[i];
        break;
      }
    }
  }
}

struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t spp = 1, bytes = 1;
  int channels = 1;
  bool separate = false;
  bool minIsWhite = false;
  bool associated = false;
  bool cmyk = false;                  // channels hold C, M, Y, K (and alpha)
  const LabConverter* lab = nullptr;  // channels hold L, a, b (and alpha)
  Kind kind = Kind::U8;
};

int ReadGeneric(TIFF* tif, const Layout& L, DecodeContext& ctx, TiffErrors& errs) {
  const uint32_t w = L.width, h = L.height;
  const int bytes = L.bytes;
  const bool tiled = TIFFIsTiled(tif) != 0;
  uint32_t tw = w, th = 0;
  if (tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    if (tw == 0 || th == 0) {
      ctx.message = "damaged TIFF file: tile size 0";
      return kErrDamaged;
    }
  } else {
    uint32_t rps = h;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rps);
    th = rps == 0 ? h : std::min(rps, h);
  }
  const uint32_t bandRows = std::min(th, h);
  const size_t pixelBytes = static_cast<size_t>(L.channels) * static_cast<size_t>(bytes);
  const size_t bandRowBytes = static_cast<size_t>(w) * pixelBytes;
  const tmsize_t unitSize = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
  if (unitSize <= 0) {
    ctx.message = Damaged(errs, "bad strip or tile size");
    return kErrDamaged;
  }
  // Samples per row of one decoded strip or tile.
  const uint32_t unitWidth = tiled ? tw : w;
  const size_t unitRowSamples = static_cast<size_t>(unitWidth) * (L.separate ? 1u : L.spp);
  const size_t unitRowBytes = unitRowSamples * static_cast<size_t>(bytes);
  const bool direct = !tiled && !L.separate && L.spp == L.channels;

  // Every row of a band is written before it is stored: no clearing.
  const size_t bandBytes = static_cast<size_t>(bandRows) * bandRowBytes;
  std::unique_ptr<uint8_t[]> band, unit;
  try {
    band = std::make_unique_for_overwrite<uint8_t[]>(bandBytes);
    if (!direct) unit = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(unitSize));
  } catch (const std::bad_alloc&) {
    ctx.message = "no memory to decode the TIFF file";
    return kErrNoMemory;
  }
  const int planes = L.separate ? L.channels : 1;
  for (uint32_t y0 = 0; y0 < h; y0 += bandRows) {
    const uint32_t rows = std::min(bandRows, h - y0);
    const size_t need = static_cast<size_t>(rows) * (tiled ? 0 : unitRowBytes);
    for (uint32_t x0 = 0; x0 < w; x0 += unitWidth) {
      const uint32_t cols = std::min(unitWidth, w - x0);
      for (int p = 0; p < planes; ++p) {
        tmsize_t n;
        uint8_t* dst = direct ? band.get() : unit.get();
        if (tiled) {
          n = TIFFReadTile(tif, dst, x0, y0, 0, static_cast<uint16_t>(p));
          if (n >= 0 && n < unitSize) n = -1;
        } else {
          const uint32_t strip = TIFFComputeStrip(tif, y0, static_cast<uint16_t>(p));
          n = TIFFReadEncodedStrip(tif, strip, dst,
                                   direct ? static_cast<tmsize_t>(bandBytes) : unitSize);
          if (n >= 0 && static_cast<size_t>(n) < need) n = -1;
        }
        if (n < 0) {
          ctx.message = Damaged(errs, "truncated or undecodable image data");
          return kErrDamaged;
        }
        if (direct) continue;
        for (uint32_t r = 0; r < rows; ++r) {
          const uint8_t* s = unit.get() + static_cast<size_t>(r) * unitRowBytes;
          uint8_t* d = band.get() + static_cast<size_t>(r) * bandRowBytes +
                       static_cast<size_t>(x0) * pixelBytes;
          if (L.separate) {
            d += static_cast<size_t>(p) * static_cast<size_t>(bytes);
            for (uint32_t x = 0; x < cols; ++x, s += bytes, d += pixelBytes) CopySample(d, s, bytes);
          } else {
            const size_t sp = static_cast<size_t>(L.spp) * static_cast<size_t>(bytes);
            for (uint32_t x = 0; x < cols; ++x, s += sp, d += pixelBytes)
              std::memcpy(d, s, pixelBytes);
          }
        }
      }
      if (direct) break;
    }
    if (L.minIsWhite)
      InvertBand(band.get(), static_cast<size_t>(rows) * w * static_cast<size_t>(L.channels),
                 L.kind, L.channels);
    int stored = L.channels;
    const size_t pixels = static_cast<size_t>(rows) * w;
    if (L.cmyk) {
      CmykBandToRgb(band.get(), pixels, L.kind, L.channels == 5);
      stored = L.channels - 1;
    } else if (L.lab != nullptr) {
      L.lab->Convert(band.get(), pixels, L.channels);
    }
    const size_t storedRowBytes = static_cast<size_t>(w) * static_cast<size_t>(stored) * bytes;
    for (uint32_t r = 0; r < rows; ++r)
      StoreRow(band.get() + static_cast<size_t>(r) * storedRowBytes, L.kind, stored,
               L.associated, ctx, y0 + r);
  }
  return kOk;
}

struct RgbaImageEnder {
  TIFFRGBAImage* img;
  ~RgbaImageEnder() { TIFFRGBAImageEnd(img); }
};

// libtiff's RGBA decoder, one band of strips or tiles at a time: memory
// grows with what was decoded, and the first unreadable strip or tile ends
// the read.
int ReadThroughRGBA(TIFF* tif, DecodeContext& ctx, TiffErrors& errs) {
  const uint32_t w = ctx.info->width, h = ctx.info->height;
  char emsg[1024] = {0};
  TIFFRGBAImage img;
  if (TIFFRGBAImageOK(tif, emsg) == 0 || TIFFRGBAImageBegin(&img, tif, 1, emsg) == 0) {
    ctx.message = std::string("unsupported TIFF layout: ") + emsg;
    return kErrUnsupported;
  }
  RgbaImageEnder ender{&img};
  // Asking for the file's own orientation keeps libtiff from turning
  // anything: rows and columns come as stored, as on every other road.
  img.req_orientation = img.orientation;
  uint32_t band = h;
  if (TIFFIsTiled(tif) != 0)
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
  else
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
  band = std::clamp<uint32_t>(band, 1, h);
  std::unique_ptr<uint32_t[]> raster;
  try {
    raster = std::make_unique_for_overwrite<uint32_t[]>(static_cast<size_t>(w) * band);
  } catch (const std::bad_alloc&) {
    ctx.message = "no memory to decode the TIFF file";
    return kErrNoMemory;
  }
  std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
  for (uint32_t y0 = 0; y0 < h; y0 += band) {
    const uint32_t rows = std::min(band, h - y0);
    img.row_offset = static_cast<int>(y0);
    if (TIFFRGBAImageGet(&img, raster.get(), w, rows) == 0) {
      ctx.message = Damaged(errs, "undecodable image data");
      return kErrDamaged;
    }
    for (uint32_t r = 0; r < rows; ++r) {
      const uint32_t* s = raster.get() + static_cast<size_t>(r) * w;
      for (uint32_t x = 0; x < w; ++x) {
        row[4 * x + 0] = static_cast<uint8_t>(TIFFGetR(s[x]));
        row[4 * x + 1] = static_cast<uint8_t>(TIFFGetG(s[x]));
        row[4 * x + 2] = static_cast<uint8_t>(TIFFGetB(s[x]));
        row[4 * x + 3] = static_cast<uint8_t>(TIFFGetA(s[x]));
      }
      // libtiff hands out colours already multiplied by their alpha.
      StoreRow(row.data(), Kind::U8, 4, true, ctx, y0 + r);
    }
  }
  return kOk;
}

// The image's data as decoded, against what the file can hold for the
// file's coding.
int CheckTiffData(TIFF* tif, const Layout& L, uint16_t bps, uint16_t photo,
                  std::string* message) {
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  uint64_t ratio = kOpenRatio;
  switch (compression) {
    case COMPRESSION_NONE: ratio = kStoredRatio; break;
    case COMPRESSION_PACKBITS: ratio = kPackBitsRatio; break;
    case COMPRESSION_LZW: ratio = kLzwRatio; break;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE: ratio = kDeflateRatio; break;
    default: break;
  }
  uint64_t decoded;
  uint16_t hs = 1, vs = 1;
  if (photo == PHOTOMETRIC_YCBCR && !L.separate)
    TIFFGetFieldDefaulted(tif, TIFFTAG_YCBCRSUBSAMPLING, &hs, &vs);
  hs = std::max<uint16_t>(hs, 1);
  vs = std::max<uint16_t>(vs, 1);
  if (hs > 1 || vs > 1) {
    // Subsampled colour: each block of hs x vs pixels stores its lightness
    // samples and one pair of colour samples.
    const uint64_t blocks =
        ((uint64_t{L.width} + hs - 1) / hs) * ((uint64_t{L.height} + vs - 1) / vs);
    decoded = blocks * (uint64_t{hs} * vs + 2) * bps / 8;
  } else {
    const uint64_t planes = L.separate ? L.spp : 1;
    const uint64_t rowSamples = L.separate ? 1 : L.spp;
    decoded = (uint64_t{L.width} * bps * rowSamples + 7) / 8 * L.height * planes;
  }
  return CheckDataFits(decoded, BytesAfter(TIFFFileno(tif), 0), ratio, "TIFF", message);
}

}  // namespace

int ReadTiff(const std::string& path, DecodeContext& ctx) {
  TiffErrors errs;
  TIFFOpenOptions* opts = MakeOptions(&errs);
  // Opened by us, so that only a regular file is opened and the open never
  // waits; the TIFF closes the descriptor with itself.
  const int fd = plat::files::OpenRegular(path, O_RDONLY);
  TIFF* tif = fd >= 0 ? TIFFFdOpenExt(fd, path.c_str(), "r", opts) : nullptr;
  TIFFOpenOptionsFree(opts);
  if (tif == nullptr && fd >= 0) ::close(fd);
  if (tif == nullptr) {
    ctx.message = Damaged(errs, "cannot read the header");
    return kErrDamaged;
  }
  TiffCloser closer{tif};

  Layout L;
  uint16_t bps = 1, fmt = SAMPLEFORMAT_UINT, photo = 0, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &L.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &L.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &L.spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &fmt);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photo) != 1)
    photo = L.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  if (int st = CheckSize(L.width, L.height, &ctx.message); st != kOk) return st;
  if (L.spp == 0) {
    ctx.message = "damaged TIFF file: no samples per pixel";
    return kErrDamaged;
  }

  uint16_t nExtra = 0;
  uint16_t* extra = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &nExtra, &extra);
  uint16_t inkSet = INKSET_CMYK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
  const bool rgb = photo == PHOTOMETRIC_RGB && L.spp >= 3;
  const bool grey = (photo == PHOTOMETRIC_MINISBLACK || photo == PHOTOMETRIC_MINISWHITE);
  const bool integer = (bps == 8 || bps == 16) && fmt == SAMPLEFORMAT_UINT;
  L.cmyk = photo == PHOTOMETRIC_SEPARATED && inkSet == INKSET_CMYK && L.spp >= 4 &&
           L.spp - nExtra == 4 && integer;
  const bool labModel = (photo == PHOTOMETRIC_CIELAB || photo == PHOTOMETRIC_ICCLAB) &&
                        L.spp >= 3 && L.spp - nExtra == 3 && integer;
  const int colour = L.cmyk ? 4 : (rgb || labModel ? 3 : 1);
  const bool alpha = nExtra > 0 && extra != nullptr && extra[0] != EXTRASAMPLE_UNSPECIFIED &&
                     L.spp > colour;
  const bool depthOk = integer || (bps == 32 && fmt == SAMPLEFORMAT_IEEEFP);
  const bool generic = ((rgb || grey) && depthOk) || L.cmyk || labModel;
  L.channels = colour + (alpha ? 1 : 0);
  L.bytes = static_cast<uint16_t>(bps / 8);
  L.separate = planar == PLANARCONFIG_SEPARATE;
  L.minIsWhite = photo == PHOTOMETRIC_MINISWHITE;
  L.associated = alpha && extra[0] == EXTRASAMPLE_ASSOCALPHA;
  L.kind = bps == 8 ? Kind::U8 : (bps == 16 ? Kind::U16 : Kind::F32);
  std::unique_ptr<LabConverter> lab;
  if (labModel) {
    float* white = nullptr;
    const bool named = TIFFGetField(tif, TIFFTAG_WHITEPOINT, &white) == 1 && white != nullptr;
    lab = std::make_unique<LabConverter>(L.kind, photo == PHOTOMETRIC_ICCLAB,
                                         named ? white[0] : 0.0, named ? white[1] : 0.0);
    if (!lab->ok()) {
      ctx.message = "unsupported TIFF layout: no Lab to sRGB conversion";
      return kErrUnsupported;
    }
    L.lab = lab.get();
  }

  ImageInfo& info = *ctx.info;
  info.type = kTypeTIFF;
  info.width = L.width;
  info.height = L.height;
  info.bitsPerComponent = generic ? bps : 8;
  info.isFloat = generic && fmt == SAMPLEFORMAT_IEEEFP;
  info.hasAlpha = generic ? alpha : (nExtra > 0);
  ReadProperties(tif, &info.properties);
  uint16_t orientation = ORIENTATION_TOPLEFT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
  info.properties.orientation =
      orientation >= 1 && orientation <= 8 ? orientation : ORIENTATION_TOPLEFT;
  uint64_t exifOffset = 0;
  if (!TIFFIsBigTIFF(tif)) {
    if (TIFFGetField(tif, TIFFTAG_EXIFIFD, &exifOffset) != 1) exifOffset = 0;
    ReadTiffExifBlock(TIFFFileno(tif), TIFFIsBigEndian(tif) == 0, TIFFCurrentDirOffset(tif),
                      exifOffset, &info.properties.exif);
  }
  if (int st = CheckTiffData(tif, L, bps, photo, &ctx.message); st != kOk) return st;
  if (ctx.factory == nullptr) return kOk;
  if (int st = PrepareTarget(ctx); st != kOk) return st;
  return generic ? ReadGeneric(tif, L, ctx, errs) : ReadThroughRGBA(tif, ctx, errs);
}

// EXIF's first-directory text tags and the TIFF fields that hold them.
constexpr std::pair<uint16_t, ttag_t> kCameraTags[] = {
    {0x010E, TIFFTAG_IMAGEDESCRIPTION}, {0x010F, TIFFTAG_MAKE},     {0x0110, TIFFTAG_MODEL},
    {0x0131, TIFFTAG_SOFTWARE},         {0x0132, TIFFTAG_DATETIME}, {0x013B, TIFFTAG_ARTIST},
    {0x8298, TIFFTAG_COPYRIGHT}};

namespace {

// Rows a strip of the written files holds: some 256 KB of samples (at
// least a row, at most the image), so that a large image goes out in a few
// hundred writes rather than one a row.
uint32_t StripRows(uint32_t width, int pixelBytes, uint32_t height) {
  const uint64_t rowBytes = uint64_t{width} * static_cast<uint64_t>(pixelBytes);
  const uint64_t rows = rowBytes == 0 ? 1 : (uint64_t{1} << 18) / rowBytes;
  return static_cast<uint32_t>(std::clamp<uint64_t>(rows, 1, std::max<uint32_t>(height, 1)));
}

// Bytes written between two requests to start putting them on disk.
constexpr size_t kWriteBackStep = size_t{1} << 20;

// Asks the system to start writing the file's dirty pages to disk without
// waiting for them. The replacement is synced before it is renamed into
// place (so a crash never leaves a damaged file where a good one stood);
// started early, the disk writes run while the rest of the image is packed,
// and that sync waits for the last part only. A 3072 x 2048 16-bit image, a
// virtual disk shared with builds: 47 to 55 ms to write and sync before,
// 33 to 44 ms with raw strips and a start every megabyte (4 MB steps gained
// little). Failures are of no matter: the sync still writes everything.
void StartWriteBack(int fd) {
#if defined(__linux__)
  (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
#endif
}

// The file on fd opened for writing with its errors collected in errs; null, with fd
// closed and the message set, when libtiff refuses it.
TIFF* OpenForWrite(int fd, const std::string& name, TiffErrors* errs, std::string* message) {
  TIFFOpenOptions* opts = MakeOptions(errs);
  TIFF* tif = TIFFFdOpenExt(fd, name.c_str(), "w", opts);
  TIFFOpenOptionsFree(opts);
  if (tif == nullptr) {
    ::close(fd);
    SetMessage(message, "cannot create the TIFF file: " + errs->text);
  }
  return tif;
}

// Closes a written file: kOk, or kErrWrite with libtiff's complaint when a step failed.
int CloseWritten(TIFF* tif, bool ok, const TiffErrors& errs, std::string* message) {
  TIFFClose(tif);
  if (!ok) {
    SetMessage(message, "writing the TIFF file failed" + (errs.text.empty() ? "" : ": " + errs.text));
    return kErrWrite;
  }
  return kOk;
}

}  // namespace

int WriteTiff(int fd, const std::string& name, const Properties& props, const PixelSource& px,
              std::string* message) {
  TiffErrors errs;
  TIFF* tif = OpenForWrite(fd, name, &errs, message);
  if (tif == nullptr) return kErrWrite;
  const int bytes = px.bytesPerComponent;
  const Kind kind = bytes == 1 ? Kind::U8 : (bytes == 2 ? Kind::U16 : Kind::F32);
  // The alpha, when kept, as a fourth sample of unassociated alpha: the
  // colours are stored as they are, not multiplied by it.
  const bool alpha = props.hasAlpha;
  const int samples = alpha ? 4 : 3;
  bool ok =
      TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, px.width) == 1 &&
      TIFFSetField(tif, TIFFTAG_IMAGELENGTH, px.height) == 1 &&
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples) == 1 &&
      TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8 * bytes) == 1 &&
      TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT,
                   bytes == 4 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT) == 1 &&
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) == 1 &&
      TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
      TIFFSetField(tif, TIFFTAG_ORIENTATION,
                   props.orientation >= 1 && props.orientation <= 8 ? props.orientation : 1) == 1 &&
      TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, StripRows(px.width, samples * bytes, px.height)) == 1;
  if (ok && alpha) {
    const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) == 1;
  }
  if (ok && props.hasResolution) {
    ok = TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(props.resolutionX)) == 1 &&
         TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(props.resolutionY)) == 1 &&
         TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH) == 1;
  }
  if (ok && !props.iccProfile.empty())
    ok = TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(props.iccProfile.size()),
                      props.iccProfile.data()) == 1;
  // The camera's tags go to the first directory, where a TIFF keeps them.
  for (const auto& [tag, field] : kCameraTags) {
    const std::string text = ExifText(props.exif, tag);
    if (ok && !text.empty()) ok = TIFFSetField(tif, field, text.c_str()) == 1;
  }
  const bool exif = ok && ExifBlockHasSubDirectory(props.exif);
  if (exif) {
    // A placeholder offset; the real one is patched in once the directory is
    // appended after the image.
    ok = TIFFSetField(tif, TIFFTAG_EXIFIFD, uint64_t{8}) == 1;
  }
  if (ok) {
    // Whole strips packed and handed over at once. They are uncompressed
    // samples in the file's own byte order (the host's), which is what the
    // file holds, so they go out as raw strips: the encoder would only copy
    // each one through a buffer of its own first.
    const size_t rowBytes = static_cast<size_t>(px.width) * static_cast<size_t>(samples * bytes);
    const uint32_t rows = StripRows(px.width, samples * bytes, px.height);
    std::vector<uint8_t> strip(rowBytes * rows);
    size_t unsent = 0;
    for (uint32_t y0 = 0, n = 0; ok && y0 < px.height; y0 += rows, ++n) {
      const uint32_t count = std::min(rows, px.height - y0);
      for (uint32_t r = 0; r < count; ++r) PackRow(px, y0 + r, kind, strip.data() + r * rowBytes, alpha);
      ok = TIFFWriteRawStrip(tif, n, strip.data(), static_cast<tmsize_t>(rowBytes * count)) >= 0;
      unsent += rowBytes * count;
      if (ok && unsent >= kWriteBackStep) {
        StartWriteBack(TIFFFileno(tif));
        unsent = 0;
      }
    }
  }
  ok = ok && TIFFFlush(tif) == 1;
  if (ok && exif) ok = AppendTiffExif(TIFFFileno(tif), props.exif);
  return CloseWritten(tif, ok, errs, message);
}

int WriteTiffRgba(int fd, const std::string& name, const PixelSource& px, std::string* message) {
  TiffErrors errs;
  TIFF* tif = OpenForWrite(fd, name, &errs, message);
  if (tif == nullptr) return kErrWrite;
  const uint16_t alpha[] = {EXTRASAMPLE_UNASSALPHA};
  bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, px.width) == 1 &&
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, px.height) == 1 &&
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4) == 1 &&
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8) == 1 &&
            TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT) == 1 &&
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, alpha) == 1 &&
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) == 1 &&
            TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
            TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == 1 &&
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0)) == 1;
  // The caller's rows are already four 8-bit samples per pixel; a copy only
  // because libtiff's scanline call takes a writable buffer.
  std::vector<uint8_t> row(static_cast<size_t>(px.width) * 4u);
  for (uint32_t y = 0; ok && y < px.height; ++y) {
    std::memcpy(row.data(), px.base + static_cast<size_t>(y) * px.rowBytes, row.size());
    ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
  }
  ok = ok && TIFFFlush(tif) == 1;
  return CloseWritten(tif, ok, errs, message);
}

}  // namespace plat::imageio::detail
