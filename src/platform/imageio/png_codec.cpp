// PNG on libpng. Every colour type is expanded to grey, grey and alpha, RGB or
// RGBA at 8 or 16 bits; 16-bit samples are swapped into the host's order. The
// libraries' own limits refuse absurd sizes and oversized metadata chunks.
//
// libpng reports errors by longjmp, so the functions that hold the jump
// buffer keep only plain locals; everything that owns memory lives in the
// state record, which the callers free.
#include <png.h>
#include <unistd.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

struct PngState {
  FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  uint8_t* image = nullptr;        // whole image (interlaced files) or one row
  png_bytep* rowPointers = nullptr;
  char error[256] = {0};
  char warning[256] = {0};
};

void OnPngError(png_structp png, png_const_charp msg) {
  auto* st = static_cast<PngState*>(png_get_error_ptr(png));
  if (st != nullptr && st->error[0] == 0) std::snprintf(st->error, sizeof st->error, "%s", msg);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp png, png_const_charp msg) {
  auto* st = static_cast<PngState*>(png_get_error_ptr(png));
  if (st != nullptr && st->warning[0] == 0)
    std::snprintf(st->warning, sizeof st->warning, "%s", msg);
  // libpng only warns of a chunk longer than the chunk limit, and then
  // allocates its whole declared length (eXIf up to 2 GiB): stop here.
  if (std::strstr(msg, "chunk data is too large") != nullptr) png_error(png, msg);
}

constexpr bool kHostLittle = std::endian::native == std::endian::little;

// Returns kOk or a status; ctx.message holds the reason.
int DecodePng(PngState* st, DecodeContext* ctx) {
  png_structp png = st->png;
  png_infop info = st->info;
  if (setjmp(png_jmpbuf(png))) {
    return -1;  // the caller words the message from st->error
  }
  png_set_user_limits(png, kMaxDimension, kMaxDimension);
  png_set_chunk_malloc_max(png, kMaxMetadataBytes);
  png_init_io(png, st->file);
  png_read_info(png, info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
  if (int s = CheckSize(w, h, &ctx->message); s != kOk) return s;
  // The compressed stream starts here and runs at most to the file's end.
  const long at = std::ftell(st->file);
  const uint64_t stored = BytesAfter(::fileno(st->file), at > 0 ? static_cast<uint64_t>(at) : 0);
  const uint64_t bits = uint64_t{w} * static_cast<uint64_t>(depth) * png_get_channels(png, info);
  if (int s = CheckDataFits((bits + 7) / 8 * h, stored, kDeflateRatio, "PNG", &ctx->message);
      s != kOk)
    return s;

  const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (hasTrns) png_set_tRNS_to_alpha(png);
  if (depth == 16 && kHostLittle) png_set_swap(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int channels = png_get_channels(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);

  ImageInfo& out = *ctx->info;
  out.type = kTypePNG;
  out.width = w;
  out.height = h;
  out.bitsPerComponent = depth == 16 ? 16 : 8;
  out.isFloat = false;
  out.hasAlpha = (colour & PNG_COLOR_MASK_ALPHA) != 0 || hasTrns;
  png_uint_32 rx = 0, ry = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &rx, &ry, &unit) != 0 && unit == PNG_RESOLUTION_METER && rx > 0 &&
      ry > 0) {
    out.properties.hasResolution = true;
    out.properties.resolutionX = rx * 0.0254;
    out.properties.resolutionY = ry * 0.0254;
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profileLen = 0;
  if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLen) != 0 &&
      profile != nullptr)
    out.properties.iccProfile.assign(profile, profile + profileLen);
  png_bytep exif = nullptr;
  png_uint_32 exifLen = 0;
  if (png_get_eXIf_1(png, info, &exifLen, &exif) != 0 && exif != nullptr)
    out.properties.exif.assign(exif, exif + exifLen);
  if (const int o = ExifOrientation(out.properties.exif); o != 0) out.properties.orientation = o;

  if (ctx->factory == nullptr) return kOk;
  if (int s = PrepareTarget(*ctx); s != kOk) return s;
  const Kind kind = depth == 16 ? Kind::U16 : Kind::U8;
  if (passes > 1) {
    st->image = static_cast<uint8_t*>(std::malloc(rowBytes * h));
    st->rowPointers = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * h));
    if (st->image == nullptr || st->rowPointers == nullptr) {
      ctx->message = "no memory to decode the PNG file";
      return kErrNoMemory;
    }
    for (png_uint_32 y = 0; y < h; ++y) st->rowPointers[y] = st->image + rowBytes * y;
    png_read_image(png, st->rowPointers);
    for (png_uint_32 y = 0; y < h; ++y) StoreRow(st->rowPointers[y], kind, channels, false, *ctx, y);
  } else {
    st->image = static_cast<uint8_t*>(std::malloc(rowBytes));
    if (st->image == nullptr) {
      ctx->message = "no memory to decode the PNG file";
      return kErrNoMemory;
    }
    for (png_uint_32 y = 0; y < h; ++y) {
      png_read_row(png, st->image, nullptr);
      StoreRow(st->image, kind, channels, false, *ctx, y);
    }
  }
  png_read_end(png, nullptr);
  return kOk;
}

int EncodePng(PngState* st, const Properties* props, const PixelSource* px) {
  png_structp png = st->png;
  png_infop info = st->info;
  if (setjmp(png_jmpbuf(png))) return kErrWrite;
  png_init_io(png, st->file);
  png_set_benign_errors(png, 1);  // a profile libpng dislikes is dropped, not fatal
  const int depth = px->bytesPerComponent == 1 ? 8 : 16;
  // PNG's alpha is always straight, as the kept fourth component is.
  const bool alpha = props->hasAlpha;
  const size_t samples = alpha ? 4 : 3;
  png_set_IHDR(png, info, px->width, px->height, depth, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (props->hasResolution)
    png_set_pHYs(png, info, static_cast<png_uint_32>(props->resolutionX / 0.0254 + 0.5),
                 static_cast<png_uint_32>(props->resolutionY / 0.0254 + 0.5),
                 PNG_RESOLUTION_METER);
  if (!props->iccProfile.empty())
    png_set_iCCP(png, info, "ICC Profile", PNG_COMPRESSION_TYPE_BASE, props->iccProfile.data(),
                 static_cast<png_uint_32>(props->iccProfile.size()));
  if (!props->exif.empty())
    png_set_eXIf_1(png, info, static_cast<png_uint_32>(props->exif.size()),
                   const_cast<png_bytep>(props->exif.data()));
  png_write_info(png, info);
  if (depth == 16 && kHostLittle) png_set_swap(png);
  st->image = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(px->width) * samples * (depth / 8)));
  if (st->image == nullptr) return kErrNoMemory;
  const Kind kind = depth == 8 ? Kind::U8 : Kind::U16;
  for (uint32_t y = 0; y < px->height; ++y) {
    PackRow(*px, y, kind, st->image, alpha);
    png_write_row(png, st->image);
  }
  png_write_end(png, nullptr);
  return kOk;
}

}  // namespace

int ReadPng(const std::string& path, DecodeContext& ctx) {
  PngState st;
  st.file = OpenForReading(path);
  if (st.file == nullptr) {
    ctx.message = "cannot open the PNG file";
    return kErrOpen;
  }
  st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &st, OnPngError, OnPngWarning);
  if (st.png != nullptr) st.info = png_create_info_struct(st.png);
  int status;
  if (st.png == nullptr || st.info == nullptr) {
    ctx.message = "no memory to decode the PNG file";
    status = kErrNoMemory;
  } else {
    status = DecodePng(&st, &ctx);
    if (status == -1) {
      ctx.message = std::string("damaged PNG file: ") + st.error;
      // libpng words its own size limit as an error like any other.
      status = std::strstr(st.warning, "exceeds user limit") != nullptr ||
                       std::strstr(st.error, "exceeds user limit") != nullptr
                   ? kErrTooLarge
                   : kErrDamaged;
    }
  }
  png_destroy_read_struct(&st.png, st.info != nullptr ? &st.info : nullptr, nullptr);
  std::free(st.image);
  std::free(st.rowPointers);
  std::fclose(st.file);
  return status;
}

int WritePng(int fd, const Properties& props, const PixelSource& px, std::string* message) {
  PngState st;
  st.file = ::fdopen(fd, "wb");
  if (st.file == nullptr) {
    ::close(fd);
    SetMessage(message, "cannot create the PNG file");
    return kErrWrite;
  }
  st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &st, OnPngError, OnPngWarning);
  if (st.png != nullptr) st.info = png_create_info_struct(st.png);
  int status = kErrNoMemory;
  if (st.png != nullptr && st.info != nullptr) status = EncodePng(&st, &props, &px);
  png_destroy_write_struct(&st.png, st.info != nullptr ? &st.info : nullptr);
  std::free(st.image);
  if (std::fflush(st.file) != 0) status = kErrWrite;
  if (std::fclose(st.file) != 0) status = kErrWrite;
  if (status != kOk)
    SetMessage(message, std::string("writing the PNG file failed") +
                            (st.error[0] != 0 ? std::string(": ") + st.error : std::string()));
  return status;
}

}  // namespace plat::imageio::detail
