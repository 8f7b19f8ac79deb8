// Content-picture import on the image layer's 32-bit decode.
#include "app/image_import.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/core/session_state.h"
#include "app/file_dialogs.h"
#include "platform/imageio/image_io.h"
#include "platform/parallel/parallel.h"

namespace {

namespace io = plat::imageio;

struct Decoded {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> argb;  // alpha, red, green, blue; row 0 at the top
  const uint8_t* at(int32_t x, int32_t y) const {
    return argb.data() + (static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4u;
  }
};

bool Decode(const fichier& file, Decoded* d) {
  const std::string path = FicToPosix(file);
  if (path.empty()) return false;
  uint32_t w = 0, h = 0;
  if (io::DecodeARGB(path, &w, &h, &d->argb) != io::kOk) return false;
  d->width = static_cast<int32_t>(w);
  d->height = static_cast<int32_t>(h);
  return true;
}

// One side of the source rectangle: its first pixel and its count, the
// rectangle inclusive and held inside the picture.
struct Side {
  int32_t first = 0;
  int64_t count = 0;
};

// [from, to] kept inside 0 .. limit - 1; false when nothing is left of it.
bool Clip(int32_t from, int32_t to, int32_t limit, Side* side) {
  const int32_t a = std::max(from, 0), b = std::min(to, limit - 1);
  if (a > b) return false;
  side->first = a;
  side->count = int64_t{b} - a + 1;
  return true;
}

// Destination sample k of n takes the first pixel of its equal share of the
// side: a read at the rectangle's own size comes back pixel for pixel, and
// the first and the last shares are taken the same way at any scale. The
// index stays inside the rectangle (k < n); products in 64 bits so that large
// pictures cannot overflow.
int32_t Sample(const Side& side, int64_t k, int64_t n) {
  return side.first + static_cast<int32_t>(k * side.count / n);
}

bool BuffersFor(int16_t mode, void* b1, void* b2, void* b3) {
  switch (mode) {
    case kLoadPlanes:
    case kLoadPlanes90:
      return b1 != nullptr && b2 != nullptr && b3 != nullptr;
    case kLoadPixels:
    case kLoadGrey16:
    case kLoadGrey8:
    case kLoadPixels90:
    case kLoadGrey16_90:
      return b1 != nullptr;
    default:
      return false;
  }
}

void Store(int16_t mode, size_t at, const uint8_t* px, void* b1, void* b2, void* b3,
           uint8_t* alpha) {
  const uint8_t r = px[1], g = px[2], b = px[3];
  switch (mode) {
    case kLoadPlanes:
    case kLoadPlanes90:
      static_cast<uint8_t*>(b1)[at] = r;
      static_cast<uint8_t*>(b2)[at] = g;
      static_cast<uint8_t*>(b3)[at] = b;
      break;
    case kLoadPixels:
    case kLoadPixels90: {
      uint8_t* d = static_cast<uint8_t*>(b1) + at * 4;
      d[0] = r;
      d[1] = g;
      d[2] = b;
      break;
    }
    case kLoadGrey16:
    case kLoadGrey16_90:
      static_cast<uint16_t*>(b1)[at] = Grey16Of(r, g);
      break;
    default:
      static_cast<uint8_t*>(b1)[at] = GreyOf(r, g);
      break;
  }
  if (alpha != nullptr) alpha[at] = px[0];
}

}  // namespace

int16_t LoadImaInBuf(int16_t action, int16_t fileKind, int16_t mode, fichier* file,
                     int32_t* width, int32_t* height, int32_t srcL, int32_t srcT, int32_t srcR,
                     int32_t srcB, int32_t dstW, int32_t dstH, int32_t bufW, int32_t bufH,
                     void* buf1, void* buf2, void* buf3, void* /*buf4*/, uint8_t* alpha) {
  if (file == nullptr) return -1;
  if (action == 0) return LoadIma(fileKind, file) == 1 ? 0 : -1;
  if (action == 1) {
    const std::string path = FicToPosix(*file);
    uint32_t w = 0, h = 0;
    if (path.empty() || io::NaturalSize(path, &w, &h) != io::kOk) return -1;
    if (width != nullptr) *width = static_cast<int32_t>(w);
    if (height != nullptr) *height = static_cast<int32_t>(h);
    return 0;
  }
  if (action != 2) return -1;
  if (!BuffersFor(mode, buf1, buf2, buf3) || dstW <= 0 || dstH <= 0 || bufW <= 0 || bufH <= 0)
    return -1;
  Decoded img;
  if (!Decode(*file, &img)) return -1;
  if (width != nullptr) *width = img.width;
  if (height != nullptr) *height = img.height;
  // Callers pass the right and bottom either inclusive or as the picture's
  // width and height: both come to the same rectangle once held inside it.
  Side across, down;
  if (!Clip(srcL, srcR, img.width, &across) || !Clip(srcT, srcB, img.height, &down)) return -1;
  // Modes 91 and 92 turn like mode 90: their callers ask for a turned load.
  const bool turned = mode == kLoadPlanes90 || mode == kLoadPixels90 || mode == kLoadGrey16_90;
  // Where in the decoded pixels each destination column and row sample, worked out once
  // rather than at every pixel: a pixel's bytes start at its row's offset plus its column's.
  // Turned, a destination row runs down a source column.
  const int32_t columns = std::min(dstW, bufW);
  const size_t pitch = static_cast<size_t>(img.width) * 4u;
  std::vector<size_t> alongRow(static_cast<size_t>(columns));
  std::vector<size_t> ofRow(static_cast<size_t>(dstH));
  for (int32_t i = 0; i < columns; ++i)
    alongRow[static_cast<size_t>(i)] =
        turned ? static_cast<size_t>(Sample(down, i, dstW)) * pitch
               : static_cast<size_t>(Sample(across, i, dstW)) * 4u;
  for (int32_t j = 0; j < dstH; ++j)
    ofRow[static_cast<size_t>(j)] =
        turned ? static_cast<size_t>(Sample(across, j, dstH)) * 4u
               : static_cast<size_t>(Sample(down, j, dstH)) * pitch;
  const bool planes = mode == kLoadPlanes || mode == kLoadPlanes90;
  const uint8_t* pixels = img.argb.data();
  // Each destination row is written by its own j alone: the rows go in bands to the shared
  // threads.
  plat::ParallelFor(0, dstH, 16, [&](int32_t first, int32_t end) {
    for (int32_t j = first; j < end; ++j) {
      const int32_t row = dstH - 1 - j;
      if (row >= bufH) continue;  // only rows inside the buffer are written
      const uint8_t* from = pixels + ofRow[static_cast<size_t>(j)];
      const size_t at = static_cast<size_t>(row) * static_cast<size_t>(bufW);
      if (planes && alpha == nullptr) {
        // Store's three planes, in its order (the planes may be one).
        uint8_t* r = static_cast<uint8_t*>(buf1) + at;
        uint8_t* g = static_cast<uint8_t*>(buf2) + at;
        uint8_t* b = static_cast<uint8_t*>(buf3) + at;
        for (int32_t i = 0; i < columns; ++i) {
          const uint8_t* px = from + alongRow[static_cast<size_t>(i)];
          r[i] = px[1];
          g[i] = px[2];
          b[i] = px[3];
        }
        continue;
      }
      for (int32_t i = 0; i < columns; ++i)
        Store(mode, at + static_cast<size_t>(i), from + alongRow[static_cast<size_t>(i)], buf1,
              buf2, buf3, alpha);
    }
  });
  return 0;
}

int16_t LoadIma(int16_t fileKind, fichier* file) {
  if (file == nullptr) return 0;
  fichier chosen;
  Copy_FicStruct(file, &chosen);
  std::vector<OSType> types;
  int32_t count = 0;
  switch (fileKind) {
    case 0:  // what the image readers take
      BuildGraphicsImporterValidFileTypes(&types, &count);
      break;
    case 1: {
      if (gPer != nullptr) gPer->channelScratch.type = FourCC("aCH1");
      const OSType channelTypes[] = {FourCC("aCH1"), FourCC("TEXT")};
      unsigned char prompt[256];
      SetPStr(prompt, "Load a New File...");
      if (VMK_GetFile(&chosen, channelTypes, prompt, 2) != 1) return 0;
      break;
    }
    case 2:
      types = {FourCC("8BIM"), FourCC("TIFF"), FourCC("EPSF"), FourCC("8BPS"),
               FourCC("PICT"), FourCC("JPEG"), FourCC("PNGf"), FourCC("GIFf")};
      break;
    case 3:
      types = {FourCC("TIFF")};
      break;
    default:
      return 0;
  }
  if (fileKind != 1) {
    FSSpec s;
    if (GetOneFileWithPreview(static_cast<int16_t>(types.size()), nullptr, types.data(), &s,
                              nullptr) != 0)
      return 0;
    if (!SetFicFromSpec(&chosen, s)) return 0;
  }
  const FSSpec spec = SpecOf(chosen);
  OSType type = 0, creator = 0;
  if (FSpGetFileType(&spec, &type, &creator) != 0) return 0;
  chosen.type = type;
  chosen.creator = creator;
  Copy_FicStruct(&chosen, file);
  return 1;
}
