// Measuring content pictures and loading a rectangle of one resized, upright
// or turned, after finding a picture that has moved to another content folder.
#include <algorithm>
#include <string>

#include "app/folder_scans.h"
#include "app/image_import.h"
#include "platform/imageio/image_io.h"

namespace {

// Finds the file (its recorded place, else the alternate content folders)
// and measures it.
bool Measure(fichier* file, int32_t* w, int32_t* h) {
  if (file == nullptr) return false;
  SearchAlternateFic(file);
  const std::string path = FicToPosix(*file);
  uint32_t uw = 0, uh = 0;
  if (path.empty() || plat::imageio::NaturalSize(path, &uw, &uh) != plat::imageio::kOk)
    return false;
  *w = static_cast<int32_t>(uw);
  *h = static_cast<int32_t>(uh);
  return true;
}

struct Request {
  int32_t W = 0, H = 0;
  int32_t sL, sT, sR, sB;
  int32_t dstW = 0, dstH = 0;
};

// The source rectangle clipped to the image and the destination size; false
// for an empty or inverted rectangle. `extra` is 1 for the upright loads
// (inclusive size) and 0 for the turned ones.
bool Prepare(fichier* file, int16_t whole, int32_t bufW, int32_t bufH, int32_t dL, int32_t dT,
             int32_t dR, int32_t dB, int32_t extra, Request* q) {
  if (!Measure(file, &q->W, &q->H)) return false;
  if (whole == 1) {
    q->sL = 0;
    q->sT = 0;
    q->sR = q->W - 1;
    q->sB = q->H - 1;
  } else {
    q->sL = std::max(q->sL, 0);
    q->sT = std::max(q->sT, 0);
    if (q->sL > q->sR || q->sT > q->sB) return false;
    q->sR = std::min(q->sR, q->W - 1);
    q->sB = std::min(q->sB, q->H - 1);
  }
  dL = std::max(dL, 0);
  dT = std::max(dT, 0);
  dR = std::min(dR, bufW - 1);
  dB = std::min(dB, bufH - 1);
  if (!(dL < dR && dT < dB)) return false;
  q->dstW = dR - dL + extra;
  q->dstH = dB - dT + extra;
  return true;
}

}  // namespace

int16_t AS_GetImageDimension(fichier* file, int32_t* width, int32_t* height, int16_t* /*unused*/) {
  int32_t w = 0, h = 0;
  if (!Measure(file, &w, &h)) return -1;
  if (width != nullptr) *width = w;
  if (height != nullptr) *height = h;
  return 0;
}

namespace {

// Prepares the rectangles and loads in the given mode (-1: load nothing).
int16_t LoadResized(fichier* file, int16_t whole, int32_t srcL, int32_t srcT, int32_t srcR,
                    int32_t srcB, int32_t bufW, int32_t bufH, int32_t dstL, int32_t dstT,
                    int32_t dstR, int32_t dstB, int32_t extra, int16_t mode, void* buf1,
                    void* buf2, void* buf3, uint8_t* alpha) {
  Request q{0, 0, srcL, srcT, srcR, srcB, 0, 0};
  if (!Prepare(file, whole, bufW, bufH, dstL, dstT, dstR, dstB, extra, &q)) return -1;
  if (mode < 0) return 0;
  return LoadImaInBuf(2, 0, mode, file, &q.W, &q.H, q.sL, q.sT, q.sR, q.sB, q.dstW, q.dstH, bufW,
                      bufH, buf1, buf2, buf3, nullptr, alpha);
}

}  // namespace

int16_t AS_GetResizedImage(fichier* file, int16_t whole, int32_t srcL, int32_t srcT,
                           int32_t srcR, int32_t srcB, int32_t bufW, int32_t bufH, int32_t dstL,
                           int32_t dstT, int32_t dstR, int32_t dstB, int16_t kind, void* buf1,
                           void* buf2, void* buf3, uint8_t* alpha) {
  static constexpr int16_t kModes[] = {kLoadGrey8, kLoadPixels, kLoadGrey16, kLoadPlanes};
  const int16_t mode = kind >= 0 && kind <= 3 ? kModes[kind] : -1;
  return LoadResized(file, whole, srcL, srcT, srcR, srcB, bufW, bufH, dstL, dstT, dstR, dstB, 1,
                     mode, buf1, buf2, buf3, alpha);
}

int16_t AS_Get90ResizedImage(fichier* file, int16_t whole, int32_t srcL, int32_t srcT,
                             int32_t srcR, int32_t srcB, int32_t bufW, int32_t bufH,
                             int32_t dstL, int32_t dstT, int32_t dstR, int32_t dstB, int16_t kind,
                             void* buf1, void* buf2, void* buf3, uint8_t* alpha) {
  // Kind 1 loads nothing.
  static constexpr int16_t kModes[] = {kLoadPixels90, -1, kLoadGrey16_90, kLoadPlanes90};
  const int16_t mode = kind >= 0 && kind <= 3 ? kModes[kind] : -1;
  return LoadResized(file, whole, srcL, srcT, srcR, srcB, bufW, bufH, dstL, dstT, dstR, dstB, 0,
                     mode, buf1, buf2, buf3, alpha);
}
