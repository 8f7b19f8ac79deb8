// Tile orientations and wrap-around offsets.
//
// The offset wraps a coordinate with a period one less than the rectangle's
// extent (a coordinate just past the last row lands on row one, not row
// zero); the tiles that the pattern engines have stored look that way, so the
// period stays. The wrap is a true modulo, so shifts beyond the rectangle's
// size still read inside it.
#include "raster/tile_transform.h"

#include <algorithm>
#include <cstring>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"

namespace {

template <typename T>
void RotaPat(int16_t mode, const T* src, T* dst, int32_t w, int32_t h) {
  if (src == nullptr || dst == nullptr || w <= 0 || h <= 0 || mode < 0 || mode > 7) return;
  auto at = [&](int32_t x, int32_t y) { return src[static_cast<int64_t>(y) * w + x]; };
  if (mode <= 3) {
    for (int32_t Y = 0; Y < h; ++Y) {
      T* out = dst + static_cast<int64_t>(Y) * w;
      for (int32_t X = 0; X < w; ++X) {
        switch (mode) {
          case 0:
            out[X] = at(X, Y);
            break;
          case 1:
            out[X] = at(w - 1 - X, Y);
            break;
          case 2:
            out[X] = at(w - 1 - X, h - 1 - Y);
            break;
          default:
            out[X] = at(X, h - 1 - Y);
            break;
        }
      }
    }
    return;
  }
  // Modes 4 to 7 write a tile h wide and w high.
  for (int32_t Y = 0; Y < w; ++Y) {
    T* out = dst + static_cast<int64_t>(Y) * h;
    for (int32_t X = 0; X < h; ++X) {
      switch (mode) {
        case 4:
          out[X] = at(w - 1 - Y, X);
          break;
        case 5:
          out[X] = at(w - 1 - Y, h - 1 - X);
          break;
        case 6:
          out[X] = at(Y, h - 1 - X);
          break;
        default:
          out[X] = at(Y, X);
          break;
      }
    }
  }
}

template <typename T>
void Offset(int16_t mode, T* plane, int32_t height, int32_t width, int32_t left, int32_t top,
            int32_t right, int32_t bottom, int16_t percentX, int16_t percentY) {
  if (plane == nullptr || width <= 0 || height <= 0 || mode < 0 || mode > 2) return;
  const int32_t x0 = std::max(left, 0), x1 = right < width ? right : width - 1;
  const int32_t y0 = std::max(top, 0), y1 = bottom < height ? bottom : height - 1;
  if (x1 < x0 || y1 < y0) return;
  const int32_t nx = x1 - x0 + 1, ny = y1 - y0 + 1;
  const plat::Block<T> resBlock(static_cast<int64_t>(nx) * ny, WorkSource());
  const plat::Block<int32_t> colT(static_cast<int64_t>(nx) + 1, WorkSource());
  const plat::Block<int32_t> rowT(static_cast<int64_t>(ny) + 1, WorkSource());
  T* res = resBlock.get();
  if (resBlock && colT && rowT) {
    const int32_t dx = static_cast<int32_t>(static_cast<int64_t>(x1 - x0) * percentX / 100);
    const int32_t dy = static_cast<int32_t>(static_cast<int64_t>(y1 - y0) * percentY / 100);
    auto px = [&](int32_t x, int32_t y) -> int32_t {
      return plane[static_cast<int64_t>(y) * width + x];
    };
    if (mode == 1)
      for (int32_t i = 0; i <= nx; ++i)
        colT[i] = static_cast<int32_t>(static_cast<int64_t>(i) * dy / nx);
    if (mode == 2)
      for (int32_t j = 0; j <= ny; ++j)
        rowT[j] = static_cast<int32_t>(static_cast<int64_t>(j) * -static_cast<int64_t>(dx) / ny);
    for (int32_t y = y0; y <= y1; ++y) {
      T* out = res + static_cast<int64_t>(y - y0) * nx;
      for (int32_t x = x0; x <= x1; ++x) {
        int32_t v;
        if (mode == 0) {
          v = px(WrapInSpan(static_cast<int64_t>(x) - dx, x0, x1),
                 WrapInSpan(static_cast<int64_t>(y) + dy, y0, y1));
        } else if (mode == 1) {
          const int32_t r = WrapInSpan(static_cast<int64_t>(y) + colT[x - x0], y0, y1);
          v = (px(x, r) + px(x, WrapInSpan(static_cast<int64_t>(r) - 1, y0, y1))) >> 1;
        } else {
          const int32_t c = WrapInSpan(static_cast<int64_t>(x) + rowT[y - y0], x0, x1);
          v = (px(c, y) + px(WrapInSpan(static_cast<int64_t>(c) - 1, x0, x1), y)) >> 1;
        }
        out[x - x0] = static_cast<T>(v);
      }
    }
    for (int32_t y = y0; y <= y1; ++y)
      std::memcpy(plane + static_cast<int64_t>(y) * width + x0,
                  res + static_cast<int64_t>(y - y0) * nx, static_cast<size_t>(nx) * sizeof(T));
  }
}

}  // namespace

void RotaPatCharBuf(int16_t mode, const uint8_t* src, uint8_t* dst, int32_t w, int32_t h) {
  RotaPat(mode, src, dst, w, h);
}

void RotaPatShortBuf(int16_t mode, const int16_t* src, int16_t* dst, int32_t w, int32_t h) {
  RotaPat(mode, src, dst, w, h);
}

void OffsetCharBuf(int16_t mode, uint8_t* plane, int32_t height, int32_t width, int32_t left,
                   int32_t top, int32_t right, int32_t bottom, int16_t percentX, int16_t percentY) {
  Offset(mode, plane, height, width, left, top, right, bottom, percentX, percentY);
}

void OffsetShortBuf(int16_t mode, int16_t* plane, int32_t height, int32_t width, int32_t left,
                    int32_t top, int32_t right, int32_t bottom, int16_t percentX,
                    int16_t percentY) {
  Offset(mode, plane, height, width, left, top, right, bottom, percentX, percentY);
}
