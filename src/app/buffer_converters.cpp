#include "app/buffer_converters.h"

#include "app/core/colour_spaces.h"
#include "platform/draw/port.h"
#include "platform/types/plane_view.h"

namespace {

// The two clipped rectangles and the nearest-sample walk between them.
struct Walk {
  plat::InclusiveRect s;
  plat::InclusiveRect d;
  bool reverse = false;  // source rows from the bottom of the rectangle up
  bool turn = false;     // quarter turn

  bool Clip(int32_t srcH, int32_t srcW, int32_t dstH, int32_t dstW) {
    s.ClipTo(srcW, srcH);
    d.ClipTo(dstW, dstH);
    return s.left < s.right && s.top < s.bottom && d.left < d.right && d.top < d.bottom;
  }
  static int32_t Step(int32_t from, int32_t span, int32_t k, int32_t steps) {
    return from + static_cast<int32_t>(static_cast<int64_t>(k) * span / steps);
  }
  // Source (x, y) of destination (i, j).
  void Source(int32_t i, int32_t j, int32_t* x, int32_t* y) const {
    if (turn) {
      *x = Step(s.left, s.right - s.left, j - d.top, d.bottom - d.top);
      *y = Step(s.top, s.bottom - s.top, i - d.left, d.right - d.left);
    } else {
      *x = Step(s.left, s.right - s.left, i - d.left, d.right - d.left);
      *y = Step(s.top, s.bottom - s.top, j - d.top, d.bottom - d.top);
    }
    if (reverse) *y = s.bottom - (*y - s.top);
  }
};

// Calls store(destination index, source index) for every destination sample.
template <class Store>
int32_t Convert(int32_t srcH, int32_t srcW, int32_t dstH, int32_t dstW, const int32_t r[8], bool reverse,
                bool turn, Store store) {
  Walk w{{r[0], r[1], r[2], r[3]}, {r[4], r[5], r[6], r[7]}, reverse, turn};
  if (!w.Clip(srcH, srcW, dstH, dstW)) return -1;
  for (int32_t j = w.d.top; j <= w.d.bottom; ++j) {
    for (int32_t i = w.d.left; i <= w.d.right; ++i) {
      int32_t x = 0;
      int32_t y = 0;
      w.Source(i, j, &x, &y);
      store(static_cast<int64_t>(j) * dstW + i, static_cast<int64_t>(y) * srcW + x);
    }
  }
  return 0;
}

// Red, green and blue of a BGR source pixel of 3 bytes or 1.
struct Bgr {
  uint8_t r, g, b;
};
Bgr ReadBgr(const uint8_t* src, int64_t k, int16_t bytes) {
  if (bytes == 1) return Bgr{src[k], src[k], src[k]};
  const uint8_t* p = src + k * 3;
  return Bgr{p[2], p[1], p[0]};
}
uint8_t Mean(const Bgr& c) { return static_cast<uint8_t>((c.r + c.g + c.b) / 3); }

int32_t ToPixels(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                 const int32_t r[8], bool reverse, bool turn, int16_t bytes) {
  if (src == nullptr || dst == nullptr || (bytes != 1 && bytes != 3)) return -1;
  return Convert(sh, sw, dh, dw, r, reverse, turn, [&](int64_t to, int64_t from) {
    const Bgr c = ReadBgr(src, from, bytes);
    uint8_t* p = dst + to * 4;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  });
}

int32_t ToBgr(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
              const int32_t r[8], bool reverse) {
  if (src == nullptr || dst == nullptr) return -1;
  return Convert(sh, sw, dh, dw, r, reverse, false, [&](int64_t to, int64_t from) {
    const uint8_t* p = src + from * 4;
    uint8_t* q = dst + to * 3;
    q[0] = p[2];
    q[1] = p[1];
    q[2] = p[0];
  });
}

int32_t ToGrey(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* grey,
               const int32_t r[8], bool turn, int16_t bytes) {
  if (src == nullptr || grey == nullptr || (bytes != 1 && bytes != 3)) return -1;
  return Convert(sh, sw, dh, dw, r, true, turn,
                 [&](int64_t to, int64_t from) { grey[to] = Mean(ReadBgr(src, from, bytes)); });
}

int32_t ToPlanes(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* red,
                 uint8_t* green, uint8_t* blue, const int32_t r[8], bool turn, int16_t bytes) {
  if (src == nullptr || red == nullptr || green == nullptr || blue == nullptr || (bytes != 1 && bytes != 3)) {
    return -1;
  }
  return Convert(sh, sw, dh, dw, r, true, turn, [&](int64_t to, int64_t from) {
    const Bgr c = ReadBgr(src, from, bytes);
    red[to] = c.r;
    green[to] = c.g;
    blue[to] = c.b;
  });
}

}  // namespace

int32_t BufBGRToBufARGB(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                        int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                        int32_t db) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToPixels(sh, sw, src, dh, dw, dst, r, false, false, 3);
}

int32_t BufRGBAToBufBGR(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                        int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                        int32_t db) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToBgr(sh, sw, src, dh, dw, dst, r, false);
}

int32_t RevBufRGBAToBufBGR(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                           int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToBgr(sh, sw, src, dh, dw, dst, r, true);
}

int32_t RevBufBGRToBufARGB(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                           int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                           int32_t db, int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToPixels(sh, sw, src, dh, dw, dst, r, true, false, srcBytes);
}

int32_t Rev90BufBGRToBufARGB(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw, uint8_t* dst,
                             int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt,
                             int32_t dr, int32_t db, int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToPixels(sh, sw, src, dh, dw, dst, r, true, true, srcBytes);
}

int32_t RevBufBGRToBufARGB_gray(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw,
                                uint8_t* grey, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                                int32_t dt, int32_t dr, int32_t db, int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToGrey(sh, sw, src, dh, dw, grey, r, false, srcBytes);
}

int32_t Rev90BufBGRToBufARGB_gray(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw,
                                  uint8_t* grey, int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl,
                                  int32_t dt, int32_t dr, int32_t db, int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToGrey(sh, sw, src, dh, dw, grey, r, true, srcBytes);
}

int32_t RevBufBGRToBufARGB_plate(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw,
                                 uint8_t* red, uint8_t* green, uint8_t* blue, int32_t sl, int32_t st,
                                 int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                                 int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToPlanes(sh, sw, src, dh, dw, red, green, blue, r, false, srcBytes);
}

int32_t Rev90BufBGRToBufARGB_plate(int32_t sh, int32_t sw, const uint8_t* src, int32_t dh, int32_t dw,
                                   uint8_t* red, uint8_t* green, uint8_t* blue, int32_t sl, int32_t st,
                                   int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db,
                                   int16_t srcBytes) {
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return ToPlanes(sh, sw, src, dh, dw, red, green, blue, r, true, srcBytes);
}

int32_t BufBGRToBufARGB_plate(int32_t sh, int32_t sw, const uint8_t* red, const uint8_t* green,
                              const uint8_t* blue, int32_t dh, int32_t dw, uint8_t* dst, int32_t sl,
                              int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr,
                              int32_t db, int16_t dstBytes) {
  if (red == nullptr || green == nullptr || blue == nullptr || dst == nullptr ||
      (dstBytes != 1 && dstBytes != 3)) {
    return -1;
  }
  const int32_t r[8] = {sl, st, sr, sb, dl, dt, dr, db};
  return Convert(sh, sw, dh, dw, r, true, false, [&](int64_t to, int64_t from) {
    const Bgr c{red[from], green[from], blue[from]};
    if (dstBytes == 1) {
      dst[to] = Mean(c);
      return;
    }
    uint8_t* q = dst + to * 3;
    q[0] = c.b;
    q[1] = c.g;
    q[2] = c.r;
  });
}

int32_t GWorldToBuf(const plat::draw::Surface* world, uint32_t* buffer, int32_t width, int32_t height) {
  if (world == nullptr || buffer == nullptr || world->width() <= 0 || world->height() <= 0) return -1;
  const int32_t w = world->width();
  const int32_t h = world->height();
  if (RoughLongBufToLongBuf(h, w, world->pixels().data(), height, width, buffer, 0, 0, w - 1, h - 1, 0, 0,
                            width - 1, height - 1) != 0) {
    return -1;
  }
  ReverseColLongBuf(buffer, width, height);
  return 0;
}

int32_t BufToGWorld(const uint32_t* buffer, int32_t width, int32_t height, plat::draw::Surface* world) {
  if (world == nullptr || buffer == nullptr || world->width() <= 0 || world->height() <= 0) return -1;
  const int32_t w = world->width();
  const int32_t h = world->height();
  if (RoughLongBufToLongBuf(height, width, buffer, h, w, world->row(0), 0, 0, width - 1, height - 1, 0, 0, w - 1,
                            h - 1) != 0) {
    return -1;
  }
  ReverseColLongBuf(world->row(0), w, h);
  return 0;
}
