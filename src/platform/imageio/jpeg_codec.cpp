// JPEG on libjpeg. Grey, YCbCr/RGB and CMYK files are read at 8 bits; a file
// that ends early or whose entropy data is broken is reported as damaged
// rather than shown with grey filler. Writing makes a baseline RGB file with
// the JFIF resolution, the ICC profile and the EXIF block.
//
// libjpeg reports errors by longjmp: the functions holding the jump buffer
// keep only plain locals; owned memory lives in the state record.
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "platform/imageio/codec_common.h"

namespace plat::imageio::detail {
namespace {

constexpr int kJpegQuality = 90;
// Work memory libjpeg may take for one image (progressive files keep every
// coefficient); beyond it the decode fails instead of exhausting memory.
constexpr long kJpegMaxMemory = 1L << 30;
constexpr size_t kJpegOutBuffer = size_t{1} << 18;

struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX] = {0};
  bool dataLost = false;
};

void OnJpegError(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<JpegError*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}

void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level != -1) return;  // trace messages
  auto* e = reinterpret_cast<JpegError*>(cinfo->err);
  const int code = cinfo->err->msg_code;
  // These warnings mean pixels are missing and libjpeg filled them in.
  if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC) {
    if (!e->dataLost) (*cinfo->err->format_message)(cinfo, e->message);
    e->dataLost = true;
  }
}

struct JpegReadState {
  FILE* file = nullptr;
  jpeg_decompress_struct cinfo;
  JpegError err;
  bool created = false;
  uint8_t* row = nullptr;
  JOCTET* icc = nullptr;
};

// Huffman coding spends at least one bit on every 8 x 8 block of every
// component (a sequential scan two: the DC value and the end of block; a
// progressive file codes every DC value in its first scan). Arithmetic
// coding has no such floor and is not checked.
int CheckJpegData(const jpeg_decompress_struct* cinfo, FILE* file, std::string* message) {
  if (cinfo->arith_code) return kOk;
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo->num_components; ++c)
    blocks += uint64_t{cinfo->comp_info[c].width_in_blocks} * cinfo->comp_info[c].height_in_blocks;
  const long at = std::ftell(file);
  const uint64_t stored = BytesAfter(::fileno(file), at > 0 ? static_cast<uint64_t>(at) : 0) +
                          cinfo->src->bytes_in_buffer;
  // 64 samples a bit: 512 bytes of samples a byte.
  return CheckDataFits(blocks * 64, stored, 512, "JPEG", message);
}

int DecodeJpeg(JpegReadState* st, DecodeContext* ctx) {
  jpeg_decompress_struct* cinfo = &st->cinfo;
  cinfo->err = jpeg_std_error(&st->err.pub);
  st->err.pub.error_exit = OnJpegError;
  st->err.pub.emit_message = OnJpegMessage;
  if (setjmp(st->err.jump)) return -1;
  jpeg_create_decompress(cinfo);
  st->created = true;
  cinfo->mem->max_memory_to_use = kJpegMaxMemory;
  jpeg_stdio_src(cinfo, st->file);
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(cinfo, TRUE);
  if (int s = CheckSize(cinfo->image_width, cinfo->image_height, &ctx->message); s != kOk)
    return s;
  if (int s = CheckJpegData(cinfo, st->file, &ctx->message); s != kOk) return s;

  bool cmyk = false;
  if (cinfo->jpeg_color_space == JCS_GRAYSCALE) {
    cinfo->out_color_space = JCS_GRAYSCALE;
  } else if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
    cinfo->out_color_space = JCS_CMYK;
    cmyk = true;
  } else {
    cinfo->out_color_space = JCS_RGB;
  }

  ImageInfo& out = *ctx->info;
  out.type = kTypeJPEG;
  out.width = cinfo->image_width;
  out.height = cinfo->image_height;
  out.bitsPerComponent = 8;
  out.isFloat = false;
  out.hasAlpha = false;
  if (cinfo->num_components == 3 && cinfo->jpeg_color_space == JCS_YCbCr &&
      cinfo->comp_info[1].h_samp_factor == 1 && cinfo->comp_info[1].v_samp_factor == 1 &&
      cinfo->comp_info[2].h_samp_factor == 1 && cinfo->comp_info[2].v_samp_factor == 1) {
    out.properties.jpegSamplingH = cinfo->comp_info[0].h_samp_factor;
    out.properties.jpegSamplingV = cinfo->comp_info[0].v_samp_factor;
  }
  if (cinfo->saw_JFIF_marker && (cinfo->density_unit == 1 || cinfo->density_unit == 2) &&
      cinfo->X_density > 0 && cinfo->Y_density > 0) {
    const double k = cinfo->density_unit == 2 ? 2.54 : 1.0;
    out.properties.hasResolution = true;
    out.properties.resolutionX = cinfo->X_density * k;
    out.properties.resolutionY = cinfo->Y_density * k;
  }
  unsigned int iccLen = 0;
  if (jpeg_read_icc_profile(cinfo, &st->icc, &iccLen) && st->icc != nullptr && iccLen > 0)
    out.properties.iccProfile.assign(st->icc, st->icc + iccLen);
  for (jpeg_saved_marker_ptr m = cinfo->marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
        std::memcmp(m->data, "Exif\0\0", 6) == 0) {
      out.properties.exif.assign(m->data + 6, m->data + m->data_length);
      break;
    }
  }
  if (const int o = ExifOrientation(out.properties.exif); o != 0) out.properties.orientation = o;
  if (ctx->factory == nullptr) return kOk;
  if (int s = PrepareTarget(*ctx); s != kOk) return s;

  // Colour into an 8-bit target is decoded straight into its rows, four
  // samples a pixel with the alpha at full: libjpeg's own conversion to
  // RGBA gives the samples of its RGB one, and the copy into the target
  // is saved.
  if (cinfo->out_color_space == JCS_RGB && ctx->target.bytesPerComponent == 1) {
    cinfo->out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(cinfo);
    while (cinfo->output_scanline < cinfo->output_height) {
      JSAMPROW rows[1] = {ctx->target.base +
                          static_cast<size_t>(cinfo->output_scanline) * ctx->target.rowBytes};
      jpeg_read_scanlines(cinfo, rows, 1);
      if (st->err.dataLost) return -1;
    }
    jpeg_finish_decompress(cinfo);
    return st->err.dataLost ? -1 : kOk;
  }
  jpeg_start_decompress(cinfo);
  const int comps = cinfo->output_components;
  st->row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(cinfo->output_width) * comps));
  if (st->row == nullptr) {
    ctx->message = "no memory to decode the JPEG file";
    return kErrNoMemory;
  }
  const bool adobe = cinfo->saw_Adobe_marker;
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW rows[1] = {st->row};
    jpeg_read_scanlines(cinfo, rows, 1);
    const uint32_t y = cinfo->output_scanline - 1;
    int channels = comps;
    if (cmyk) {
      // Adobe writes CMYK inverted; either way the ink is taken off white.
      uint8_t* p = st->row;
      for (uint32_t x = 0; x < cinfo->output_width; ++x) {
        int c = p[4 * x], m = p[4 * x + 1], yy = p[4 * x + 2], k = p[4 * x + 3];
        if (!adobe) {
          c = 255 - c;
          m = 255 - m;
          yy = 255 - yy;
          k = 255 - k;
        }
        p[3 * x] = static_cast<uint8_t>(c * k / 255);
        p[3 * x + 1] = static_cast<uint8_t>(m * k / 255);
        p[3 * x + 2] = static_cast<uint8_t>(yy * k / 255);
      }
      channels = 3;
    }
    StoreRow(st->row, Kind::U8, channels, false, *ctx, y);
    // Missing data is made up by libjpeg to the last row: stop at the
    // first.
    if (st->err.dataLost) return -1;
  }
  jpeg_finish_decompress(cinfo);
  if (st->err.dataLost) return -1;
  return kOk;
}

struct JpegWriteState {
  FILE* file = nullptr;
  jpeg_compress_struct cinfo;
  JpegError err;
  bool created = false;
  uint8_t* row = nullptr;
  uint8_t* exif = nullptr;
  char* outBuffer = nullptr;  // the file's buffer, freed once it is closed
};

int EncodeJpeg(JpegWriteState* st, const Properties* props, const PixelSource* px) {
  jpeg_compress_struct* cinfo = &st->cinfo;
  cinfo->err = jpeg_std_error(&st->err.pub);
  st->err.pub.error_exit = OnJpegError;
  st->err.pub.emit_message = OnJpegMessage;
  if (setjmp(st->err.jump)) return kErrWrite;
  jpeg_create_compress(cinfo);
  st->created = true;
  jpeg_stdio_dest(cinfo, st->file);
  cinfo->image_width = px->width;
  cinfo->image_height = px->height;
  // 8-bit pixels go to libjpeg as they lie, four samples a pixel of which
  // it reads three; deeper ones are packed into RGB bytes row by row.
  const bool direct = px->bytesPerComponent == 1;
  cinfo->input_components = direct ? 4 : 3;
  cinfo->in_color_space = direct ? JCS_EXT_RGBX : JCS_RGB;
  jpeg_set_defaults(cinfo);
  const int quality = props->jpegQuality >= 1 && props->jpegQuality <= 100 ? props->jpegQuality
                                                                           : kJpegQuality;
  jpeg_set_quality(cinfo, quality, TRUE);
  // The source's sampling (chroma at full or reduced size), within what
  // libjpeg takes; the default 4:2:0 otherwise.
  const int sh = props->jpegSamplingH, sv = props->jpegSamplingV;
  if (sh >= 1 && sh <= 4 && sv >= 1 && sv <= 4 && cinfo->num_components == 3) {
    cinfo->comp_info[0].h_samp_factor = sh;
    cinfo->comp_info[0].v_samp_factor = sv;
  }
  if (props->hasResolution) {
    auto dens = [](double v) {
      const double r = v + 0.5;
      return static_cast<UINT16>(r < 1.0 ? 1.0 : (r > 65535.0 ? 65535.0 : r));
    };
    cinfo->write_JFIF_header = TRUE;
    cinfo->density_unit = 1;
    cinfo->X_density = dens(props->resolutionX);
    cinfo->Y_density = dens(props->resolutionY);
  }
  jpeg_start_compress(cinfo, TRUE);
  // A marker holds at most 65533 bytes after its length word.
  if (!props->exif.empty() && props->exif.size() + 6 <= 65533) {
    st->exif = static_cast<uint8_t*>(std::malloc(props->exif.size() + 6));
    if (st->exif != nullptr) {
      std::memcpy(st->exif, "Exif\0\0", 6);
      std::memcpy(st->exif + 6, props->exif.data(), props->exif.size());
      jpeg_write_marker(cinfo, JPEG_APP0 + 1, st->exif,
                        static_cast<unsigned int>(props->exif.size() + 6));
    }
  }
  if (!props->iccProfile.empty())
    jpeg_write_icc_profile(cinfo, props->iccProfile.data(),
                           static_cast<unsigned int>(props->iccProfile.size()));
  if (direct) {
    while (cinfo->next_scanline < cinfo->image_height) {
      // libjpeg only reads the rows it is handed.
      JSAMPROW rows[1] = {const_cast<uint8_t*>(px->base) +
                          static_cast<size_t>(cinfo->next_scanline) * px->rowBytes};
      jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    return kOk;
  }
  st->row = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(px->width) * 3u));
  if (st->row == nullptr) return kErrNoMemory;
  while (cinfo->next_scanline < cinfo->image_height) {
    PackRow(*px, cinfo->next_scanline, Kind::U8, st->row);
    JSAMPROW rows[1] = {st->row};
    jpeg_write_scanlines(cinfo, rows, 1);
  }
  jpeg_finish_compress(cinfo);
  return kOk;
}

}  // namespace

int ReadJpeg(const std::string& path, DecodeContext& ctx) {
  auto* st = new (std::nothrow) JpegReadState();
  if (st == nullptr) return kErrNoMemory;
  st->file = OpenForReading(path);
  if (st->file == nullptr) {
    delete st;
    ctx.message = "cannot open the JPEG file";
    return kErrOpen;
  }
  int status = DecodeJpeg(st, &ctx);
  if (status == -1) {
    ctx.message = std::string("damaged JPEG file: ") + st->err.message;
    status = std::strstr(st->err.message, "emory") != nullptr ? kErrTooLarge : kErrDamaged;
  }
  if (st->created) jpeg_destroy_decompress(&st->cinfo);
  std::free(st->row);
  std::free(st->icc);
  std::fclose(st->file);
  delete st;
  return status;
}

int WriteJpeg(int fd, const Properties& props, const PixelSource& px, std::string* message) {
  auto* st = new (std::nothrow) JpegWriteState();
  if (st == nullptr) {
    ::close(fd);
    return kErrNoMemory;
  }
  st->file = ::fdopen(fd, "wb");
  if (st->file == nullptr) {
    ::close(fd);
    delete st;
    SetMessage(message, "cannot create the JPEG file");
    return kErrWrite;
  }
  // libjpeg hands its output on 4 KB at a time; gathered here, a photo
  // goes out in a few large writes instead of hundreds of small ones
  // (without the room, the file's own small buffer is used).
  st->outBuffer = static_cast<char*>(std::malloc(kJpegOutBuffer));
  if (st->outBuffer != nullptr) (void)std::setvbuf(st->file, st->outBuffer, _IOFBF, kJpegOutBuffer);
  int status = EncodeJpeg(st, &props, &px);
  if (st->created) jpeg_destroy_compress(&st->cinfo);
  std::free(st->row);
  std::free(st->exif);
  if (std::fflush(st->file) != 0) status = kErrWrite;
  if (std::fclose(st->file) != 0) status = kErrWrite;
  std::free(st->outBuffer);
  if (status != kOk)
    SetMessage(message, std::string("writing the JPEG file failed") +
                            (st->err.message[0] != 0 ? std::string(": ") + st->err.message
                                                     : std::string()));
  delete st;
  return status;
}

}  // namespace plat::imageio::detail
