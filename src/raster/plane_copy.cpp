// Rectangle-to-rectangle copies and plain plane conversions.
//
// The source position of destination row y is max(top, 0) plus
// (y - dt) x (sb - st) / (db - dt), an integer division on the unclipped
// extents; columns likewise. Callers rely on that exact mapping (a 10 x 10
// rectangle copied to 5 x 5 takes rows and columns 0, 2, 4, ...). A source
// rectangle that hangs over its plane would make that mapping reach outside
// the plane, so every read is kept inside the clipped rectangle.
#include "raster/plane_copy.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "raster/pixel_bytes.h"
#include "raster/rescale.h"

namespace {

struct Rects {
  int32_t sl, st, sr, sb, dl, dt, dr, db;
};

// Source bounds after the shared rectangle test: reads stay within
// [x0, xRead] x [y0, yRead]; x1 / y1 are the bounds that the 2 x 2 copies
// lower their second sample to (exclusive).
struct SourceBounds {
  int32_t x0, y0, x1, y1, xRead, yRead;
};

// The rectangle test of every rectangle copy. `insideVariant` is the rule of
// the 2 x 2 short copy and the char-to-long copy: a right (bottom) edge
// inside the plane is kept, one outside becomes width - 1 (height - 1).
bool RectTest(int32_t srcW, int32_t srcH, const Rects& r, bool insideVariant, SourceBounds* b) {
  if (srcW <= 0 || srcH <= 0) return false;
  if (r.sr == r.sl || r.sb == r.st || r.dr == r.dl || r.db == r.dt) return false;
  if (r.db <= r.dt || r.dr <= r.dl) return false;
  // The walks scale by the extents in 32 bits: a rectangle wider or higher
  // than that could ever be is refused rather than wrapped.
  auto extentFits = [](int32_t lo, int32_t hi) {
    const int64_t e = static_cast<int64_t>(hi) - lo;
    return e >= -INT32_MAX && e <= INT32_MAX;
  };
  if (!extentFits(r.sl, r.sr) || !extentFits(r.st, r.sb) || !extentFits(r.dl, r.dr) ||
      !extentFits(r.dt, r.db)) {
    return false;
  }
  b->x0 = std::max(r.sl, 0);
  b->y0 = std::max(r.st, 0);
  if (insideVariant) {
    b->x1 = r.sr < srcW ? r.sr : srcW - 1;
    b->y1 = r.sb < srcH ? r.sb : srcH - 1;
  } else {
    b->x1 = std::min(r.sr, srcW);
    b->y1 = std::min(r.sb, srcH);
  }
  if (b->y1 <= b->y0 || b->x1 <= b->x0) return false;
  b->xRead = std::min(r.sr, srcW) - 1;
  b->yRead = std::min(r.sb, srcH) - 1;
  return true;
}

inline int32_t MapNearest(int32_t base, int32_t k, int32_t srcExtent, int32_t dstExtent) {
  return base + static_cast<int32_t>(static_cast<int64_t>(k) * srcExtent / dstExtent);
}

// Nearest-sample walk: calls put(dstIndex, srcIndex) for every destination
// sample inside the destination plane.
template <typename Put>
int32_t NearestWalk(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, const Rects& r,
                    bool insideVariant, Put put) {
  SourceBounds b{};
  if (!RectTest(srcW, srcH, r, insideVariant, &b)) return -1;
  const int32_t yFrom = std::max(r.dt, 0), yTo = std::min(r.db, dstH);
  const int32_t xFrom = std::max(r.dl, 0), xTo = std::min(r.dr, dstW);
  for (int32_t y = yFrom; y < yTo; ++y) {
    const int32_t sy =
        std::clamp(MapNearest(b.y0, y - r.dt, r.sb - r.st, r.db - r.dt), b.y0, b.yRead);
    const int64_t srow = static_cast<int64_t>(sy) * srcW;
    const int64_t drow = static_cast<int64_t>(y) * dstW;
    for (int32_t x = xFrom; x < xTo; ++x) {
      const int32_t sx =
          std::clamp(MapNearest(b.x0, x - r.dl, r.sr - r.sl, r.dr - r.dl), b.x0, b.xRead);
      put(drow + x, srow + sx);
    }
  }
  return 0;
}

// 2 x 2 walk: calls put(dstIndex, s00, s01, s10, s11) with the four source
// indices (row 0 / 1, column 0 / 1).
template <typename Put>
int32_t MeanWalk(int32_t srcW, int32_t srcH, int32_t dstW, int32_t dstH, const Rects& r,
                 bool insideVariant, Put put) {
  SourceBounds b{};
  if (!RectTest(srcW, srcH, r, insideVariant, &b)) return -1;
  const int32_t yFrom = std::max(r.dt, 0), yTo = std::min(r.db, dstH);
  const int32_t xFrom = std::max(r.dl, 0), xTo = std::min(r.dr, dstW);
  const int32_t sh = r.sb - r.st, dh = r.db - r.dt, sw = r.sr - r.sl, dw = r.dr - r.dl;
  for (int32_t y = yFrom; y < yTo; ++y) {
    const int32_t k = y - r.dt;
    const int32_t y0 = std::clamp(MapNearest(b.y0, k, sh, dh), b.y0, b.yRead);
    const int32_t y1 =
        std::clamp(std::min(MapNearest(b.y0, k + 1, sh, dh), b.y1 - 1), b.y0, b.yRead);
    const int64_t r0 = static_cast<int64_t>(y0) * srcW, r1 = static_cast<int64_t>(y1) * srcW;
    const int64_t drow = static_cast<int64_t>(y) * dstW;
    for (int32_t x = xFrom; x < xTo; ++x) {
      const int32_t j = x - r.dl;
      const int32_t x0 = std::clamp(MapNearest(b.x0, j, sw, dw), b.x0, b.xRead);
      const int32_t x1 =
          std::clamp(std::min(MapNearest(b.x0, j + 1, sw, dw), b.x1 - 1), b.x0, b.xRead);
      put(drow + x, r0 + x0, r0 + x1, r1 + x0, r1 + x1);
    }
  }
  return 0;
}

}  // namespace

int32_t BufToBufCharLow_andR(int32_t srcW, int32_t srcH, const uint8_t* src, int32_t dstW,
                             int32_t dstH, uint8_t* dst, int32_t sl, int32_t st, int32_t sr,
                             int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  return NearestWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, false,
                     [&](int64_t d, int64_t s) { dst[d] = src[s]; });
}

int32_t BufToBufShortLow_andR(int32_t srcW, int32_t srcH, const int16_t* src, int32_t dstW,
                              int32_t dstH, int16_t* dst, int32_t sl, int32_t st, int32_t sr,
                              int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  return NearestWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, false,
                     [&](int64_t d, int64_t s) { dst[d] = src[s]; });
}

int32_t BufToBufLongLow_andR(int32_t srcW, int32_t srcH, const uint32_t* src, int32_t dstW,
                             int32_t dstH, uint32_t* dst, int32_t sl, int32_t st, int32_t sr,
                             int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  return NearestWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, false,
                     [&](int64_t d, int64_t s) { dst[d] = src[s]; });
}

int32_t BufToBufMulChartoLongLow_andR(int32_t srcW, int32_t srcH, const uint8_t* srcR,
                                      const uint8_t* srcG, const uint8_t* srcB, int32_t dstW,
                                      int32_t dstH, uint32_t* dst, int32_t sl, int32_t st,
                                      int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                                      int32_t db) {
  if (srcR == nullptr || srcG == nullptr || srcB == nullptr || dst == nullptr) return -1;
  auto* bytes = reinterpret_cast<uint8_t*>(dst);
  return NearestWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, false,
                     [&](int64_t d, int64_t s) {
                       uint8_t* px = bytes + d * 4;
                       px[0] = srcR[s];
                       px[1] = srcG[s];
                       px[2] = srcB[s];
                     });
}

int32_t ChBufToLnBuf(int32_t srcW, int32_t srcH, const uint8_t* src, int32_t dstW, int32_t dstH,
                     uint32_t* dst, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                     int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  return NearestWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, true,
                     [&](int64_t d, int64_t s) { dst[d] = 0x01010101u * src[s]; });
}

int32_t BufToBufLong_andR(int32_t srcW, int32_t srcH, const uint32_t* src, int32_t dstW,
                          int32_t dstH, uint32_t* dst, int32_t sl, int32_t st, int32_t sr,
                          int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  return MeanWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, false,
                  [&](int64_t d, int64_t a, int64_t b, int64_t c, int64_t e) {
                    uint8_t out[4];
                    for (int32_t k = 0; k < 4; ++k)
                      out[k] = static_cast<uint8_t>((PixelByte(src[a], k) + PixelByte(src[b], k) +
                                                     PixelByte(src[c], k) + PixelByte(src[e], k)) >>
                                                    2);
                    std::memcpy(&dst[d], out, 4);
                  });
}

int32_t BufToBufShort_andR(int32_t srcW, int32_t srcH, const int16_t* src, int32_t dstW,
                           int32_t dstH, int16_t* dst, int32_t sl, int32_t st, int32_t sr,
                           int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                           int16_t /*fullScale*/) {
  if (src == nullptr || dst == nullptr) return -1;
  return MeanWalk(srcW, srcH, dstW, dstH, {sl, st, sr, sb, dl, dt, dr, db}, true,
                  [&](int64_t d, int64_t a, int64_t b, int64_t c, int64_t e) {
                    const int32_t sum = src[a] + src[b] + src[c] + src[e];
                    dst[d] = static_cast<int16_t>(sum >> 2);
                  });
}

int32_t BufToBufChar_andR(int16_t /*unused*/, int32_t srcW, int32_t srcH, const uint8_t* src,
                          int32_t dstW, int32_t dstH, uint8_t* dst, int32_t sl, int32_t st,
                          int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
  if (src == nullptr || dst == nullptr) return -1;
  SourceBounds b{};
  if (!RectTest(srcW, srcH, {sl, st, sr, sb, dl, dt, dr, db}, false, &b)) return -1;
  return X_Newechant_charbuf(6, src, srcW, srcH, dst, dstW, dstH, b.x0, b.y0, b.x1, b.y1, dl, dt,
                             dr, db);
}

int32_t BufToBufChar_andStepR(int32_t nx, int32_t ny, int32_t srcW, int32_t srcH,
                              const uint8_t* src, int32_t dstW, int32_t dstH, uint8_t* dst,
                              int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                              int32_t dt, int32_t dr, int32_t db) {
  if (nx < 1) nx = 1;
  if (ny < 1) ny = 1;
  if (dst == nullptr) return -1;
  const plat::Block<int32_t> X(static_cast<int64_t>(nx) + 1, WorkSource());
  const plat::Block<int32_t> Y(static_cast<int64_t>(ny) + 1, WorkSource());
  if (!X || !Y) return -1;
  for (int32_t i = 0; i <= nx; ++i)
    X[i] = static_cast<int32_t>(
        static_cast<float>(i) * static_cast<float>(dr - dl) / static_cast<float>(nx) + 0.5f);
  for (int32_t j = 0; j <= ny; ++j)
    Y[j] = static_cast<int32_t>(
        static_cast<float>(j) * static_cast<float>(db - dt) / static_cast<float>(ny) + 0.5f);
  // A first cell that cannot be rendered leaves nothing worth repeating.
  if (BufToBufChar_andR(0, srcW, srcH, src, dstW, dstH, dst, sl, st, sr, sb, 0, 0, X[1], Y[1]) != 0)
    return -1;
  if (nx > 1 || ny > 1) {
    for (int32_t j = 0; j < ny; ++j) {
      for (int32_t i = 0; i < nx; ++i) {
        if (i == 0 && j == 0) continue;
        const int32_t yTo = std::min(Y[j + 1], dstH), xTo = std::min(X[i + 1], dstW);
        for (int32_t y = std::max(Y[j], 0); y < yTo; ++y) {
          const int32_t fy = y - Y[j];
          for (int32_t x = std::max(X[i], 0); x < xTo; ++x) {
            const int32_t fx = x - X[i];
            dst[static_cast<int64_t>(y) * dstW + x] = dst[static_cast<int64_t>(fy) * dstW + fx];
          }
        }
      }
    }
  }
  return 0;
}

void ChBufToChBuf(int32_t w, int32_t h, const uint8_t* src, uint8_t* dst) {
  if (w <= 0 || h <= 0 || src == nullptr || dst == nullptr) return;
  std::memcpy(dst, src, static_cast<size_t>(w) * static_cast<size_t>(h));
}

void LnBufToLnBuf(int32_t w, int32_t h, const uint32_t* src, uint32_t* dst) {
  if (w <= 0 || h <= 0 || src == nullptr || dst == nullptr) return;
  std::memcpy(dst, src, static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
}

void RGBBufToGrBuf(int32_t w, int32_t h, const uint8_t* r, const uint8_t* g, const uint8_t* b,
                   uint8_t* grey) {
  if (w <= 0 || h <= 0) return;
  const int64_t n = static_cast<int64_t>(w) * h;
  for (int64_t i = 0; i < n; ++i)
    grey[i] = static_cast<uint8_t>(std::floor(0.299 * r[i] + 0.587 * g[i] + 0.114 * b[i]));
}

void Transpos_ChBufToChBuf(int32_t w, int32_t h, const uint8_t* src, uint8_t* dst) {
  for (int32_t j = 0; j < h; ++j)
    for (int32_t i = 0; i < w; ++i)
      dst[static_cast<int64_t>(i) * h + j] = src[static_cast<int64_t>(j) * w + i];
}

void ChBufToChBufArea(int32_t w, int32_t h, uint8_t* plane, int32_t srcX, int32_t srcY,
                      int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (plane == nullptr || w <= 0 || h <= 0 || right < left) return;
  // Keep both the destination block and the block it reads inside the plane.
  int32_t x0 = std::max(left, 0), x1 = std::min(right, w - 1);
  x0 = std::max(x0, left - srcX);
  x1 = std::min(x1, w - 1 - (srcX - left));
  int32_t y0 = std::max(top, 0), y1 = std::min(bottom - 1, h - 1);
  y0 = std::max(y0, top - srcY);
  y1 = std::min(y1, h - 1 - (srcY - top));
  if (x1 < x0 || y1 < y0) return;
  const size_t n = static_cast<size_t>(x1 - x0 + 1);
  auto copyRow = [&](int32_t y) {
    const int64_t sy = static_cast<int64_t>(srcY) + (y - top);
    const int64_t sx = static_cast<int64_t>(srcX) + (x0 - left);
    std::memmove(plane + static_cast<int64_t>(y) * w + x0, plane + sy * w + sx, n);
  };
  // Overlapping blocks copy as if through a separate buffer.
  if (srcY < top)
    for (int32_t y = y1; y >= y0; --y) copyRow(y);
  else
    for (int32_t y = y0; y <= y1; ++y) copyRow(y);
}

int32_t X_CentreBuf(const uint32_t* src, int32_t srcW, int32_t srcH, uint32_t* dst, int32_t dstW,
                    int32_t dstH) {
  if (src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0)
    return -1;
  std::memset(dst, 0, static_cast<size_t>(dstW) * static_cast<size_t>(dstH) * 4);
  const float fw = static_cast<float>(srcW), fh = static_cast<float>(srcH);
  const float gw = static_cast<float>(dstW), gh = static_cast<float>(dstH);
  int32_t left, top, right, bottom;
  if (fw / gw >= fh / gh) {
    const int32_t hh = static_cast<int32_t>(fh * (gw / fw));
    top = (dstH - hh) / 2;
    bottom = std::min(hh + top, dstH - 1);
    left = 0;
    right = dstW - 1;
  } else {
    const int32_t ww = static_cast<int32_t>(fw * (gh / fh));
    left = (dstW - ww) / 2;
    right = std::min(ww + left, dstW - 1);
    top = 0;
    bottom = dstH - 1;
  }
  return BufToBufLong_andR(srcW, srcH, src, dstW, dstH, dst, 0, 0, srcW - 1, srcH - 1, left, top,
                           right, bottom);
}

int32_t X_calcul_ss_buffer(const uint32_t* src, int32_t srcW, int32_t srcH, uint32_t* dst,
                           int32_t dstW, int32_t dstH, int32_t* outW, int32_t* outH, float* scale) {
  if (src == nullptr || dst == nullptr || srcW <= 0 || srcH <= 0 || dstW <= 0 || dstH <= 0)
    return -1;
  const float ry = static_cast<float>(dstH) / static_cast<float>(srcH);
  const float rx = static_cast<float>(dstW) / static_cast<float>(srcW);
  const float s = (dstH > srcH || dstW > srcW) ? std::max(ry, rx) : std::min(ry, rx);
  const plat::Block<int32_t> tx(dstW, WorkSource());
  const plat::Block<int32_t> ty(dstH, WorkSource());
  if (!tx || !ty) return -1;
  // Output position i shows the source sample at i / scale; the output stops
  // at the destination's size or where the source ends, whichever is first.
  auto positions = [s](int32_t* table, int32_t outMax, int32_t srcN) {
    int32_t n = 0;
    while (n < outMax) {
      const int32_t p = static_cast<int32_t>(static_cast<float>(n) / s);
      if (p >= srcN) break;
      table[n++] = p;
    }
    return n;
  };
  const int32_t nw = positions(tx.get(), dstW, srcW);
  const int32_t nh = positions(ty.get(), dstH, srcH);
  int64_t o = 0;
  for (int32_t y = 0; y < nh; ++y) {
    const uint32_t* row = src + static_cast<int64_t>(ty[y]) * srcW;
    for (int32_t x = 0; x < nw; ++x) dst[o++] = row[tx[x]];
  }
  if (outW != nullptr) *outW = nw;
  if (outH != nullptr) *outH = nh;
  if (scale != nullptr) *scale = s;
  return 0;
}
