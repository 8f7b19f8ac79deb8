// Displacement maps of the brush family: applying them, composing, mixing
// and scaling them, and the brushes that edit them.
//
// Products of map values are taken in 64 bits: a 32-bit map may hold any
// value a caller stored, and the clamps come after the arithmetic.
#include "raster/displacement_brush.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "raster/colour_select.h"
#include "raster/distortion_warp.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace {

// Rows per band of the whole-picture warps.
constexpr int32_t kBand = 32;
// Outside values of the two long-buffer families.
constexpr uint32_t kShortOutside = 0x80808080u;

int32_t HoldMap(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, kBrushMapTop)); }
uint16_t Hold16(int64_t v) { return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535)); }
uint8_t Hold8(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }

// Displacement in 128ths of a pixel of map value m at the percentage.
int64_t Offset(int64_t m, int16_t percent) { return (m - kBrushMapNeutral) * percent / 100; }

// d x s rounded half up, so that a scale of 1 leaves negative offsets as
// they are.
int64_t Scaled(int64_t d, float s) {
  return static_cast<int64_t>(std::floor(static_cast<float>(d) * s + 0.5f));
}

bool Inside(int64_t x, int64_t y, int32_t w, int32_t h) {
  return x >= 0 && y >= 0 && x < w && y < h;
}

// The map cell a picture pixel reads over a map rectangle, held inside a
// map of cellsW x cellsH cells.
class MapCells {
 public:
  MapCells(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t w, int32_t h,
           int32_t cellsW, int32_t cellsH)
      : left_(left), top_(top), spanX_(right - left), spanY_(bottom - top), w_(w), h_(h),
        cellsW_(cellsW), cellsH_(cellsH) {}
  int32_t Col(int32_t x) const { return Cell(left_, spanX_, x, w_, cellsW_); }
  int32_t Row(int32_t y) const { return Cell(top_, spanY_, y, h_, cellsH_); }
  int64_t Index(int32_t x, int32_t y, int32_t rowLength) const {
    return int64_t{Row(y)} * rowLength + Col(x);
  }

 private:
  static int32_t Cell(int32_t first, int32_t span, int32_t p, int32_t n, int32_t cells) {
    // A picture one pixel across reads the rectangle's first cell.
    const float f = n > 1 ? static_cast<float>(p) * static_cast<float>(span) /
                                static_cast<float>(n - 1)
                          : 0.0f;
    const int64_t c = int64_t{first} + static_cast<int64_t>(f + 0.5f);
    return static_cast<int32_t>(std::clamp<int64_t>(c, 0, cells - 1));
  }

  int32_t left_, top_, spanX_, spanY_, w_, h_, cellsW_, cellsH_;
};

// The brush square around (cx, cy) clipped to the picture: columns
// [x0, x1), rows [y0, y1).
struct Square {
  int32_t x0, x1, y0, y1;
  Square(int32_t cx, int32_t cy, int32_t radius, int32_t w, int32_t h)
      : x0(static_cast<int32_t>(std::max<int64_t>(int64_t{cx} - radius, 0))),
        x1(static_cast<int32_t>(std::min<int64_t>(int64_t{cx} + radius + 1, w))),
        y0(static_cast<int32_t>(std::max<int64_t>(int64_t{cy} - radius, 0))),
        y1(static_cast<int32_t>(std::min<int64_t>(int64_t{cy} + radius + 1, h))) {}
  template <typename F>
  void ForEach(F&& f) const {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x) f(x, y);
  }
};

bool LongPicture(int32_t stride, int32_t height, int32_t width, const void* a, const void* b,
                 const void* c, const void* d) {
  return width > 0 && height > 0 && stride >= width && a != nullptr && b != nullptr &&
         c != nullptr && d != nullptr;
}

void OldPixel(int32_t stride, int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
              const uint16_t* mapX, const uint16_t* mapY, int32_t x, int32_t y,
              int16_t percent) {
  const size_t i = static_cast<size_t>(y) * stride + x;
  const int64_t sx = x + Offset(mapX[i], percent) / 128;
  const int64_t sy = y + Offset(mapY[i], percent) / 128;
  dst[i] = Inside(sx, sy, width, height) ? src[sy * stride + sx] : src[i];
}

// The 16-bit map warp over a map rectangle, pixel by pixel.
struct ShortWarp {
  int32_t stride, height, width;
  MapCells cells;
  float scaleX, scaleY;
  const uint32_t* src;
  uint32_t* dst;
  const uint16_t* mapX;
  const uint16_t* mapY;
  int16_t percent;

  void Pixel(int32_t x, int32_t y) const {
    const int64_t m = cells.Index(x, y, stride);
    const int64_t sx = x + Scaled(Offset(mapX[m], percent), scaleX) / 128;
    const int64_t sy = y + Scaled(Offset(mapY[m], percent), scaleY) / 128;
    dst[static_cast<size_t>(y) * stride + x] =
        Inside(sx, sy, width, height) ? src[sy * stride + sx] : kShortOutside;
  }
};

// The 32-bit map warp of four char planes, pixel by pixel.
struct LongWarp {
  int32_t height, width, mapWidth;
  MapCells cells;
  float scaleX, scaleY;
  const uint8_t* src[4];
  uint8_t* dst[4];
  const uint32_t* mapX;
  const uint32_t* mapY;
  int16_t percent;

  bool Valid() const {
    return width > 0 && height > 0 && mapWidth > 0 && mapX != nullptr && mapY != nullptr &&
           src[0] != nullptr && src[1] != nullptr && src[2] != nullptr && dst[0] != nullptr &&
           dst[1] != nullptr && dst[2] != nullptr;
  }

  void Pixel(int32_t x, int32_t y) const {
    Fetch(x, y, int64_t{cells.Row(y)} * mapWidth + cells.Col(x));
  }

  // Pixel (x, y) through map cell m.
  void Fetch(int32_t x, int32_t y, int64_t m) const {
    const int64_t sx = x + Scaled(Offset(mapX[m], percent), scaleX) / 128;
    const int64_t sy = y + Scaled(Offset(mapY[m], percent), scaleY) / 128;
    const size_t i = static_cast<size_t>(y) * width + x;
    if (Inside(sx, sy, width, height)) {
      const size_t s = static_cast<size_t>(sy) * width + static_cast<size_t>(sx);
      for (int k = 0; k < 3; ++k) dst[k][i] = src[k][s];
      if (dst[3] != nullptr) dst[3][i] = src[3] != nullptr ? src[3][s] : 0;
    } else {
      for (int k = 0; k < 3; ++k) dst[k][i] = 255;
      if (dst[3] != nullptr) dst[3][i] = 0;
    }
  }
};

// Map values whose offset at 100 % and scale 1 is (v - neutral) / 128 toward zero when taken
// in 32 bits: the float rounding of Scaled is exact well past them.
constexpr uint32_t kPlainLongValueTop = 1u << 22;

// One row of the long warp from column `from` on, pixel by pixel.
void LongRowBaseline(const LongWarp& warp, const int32_t* cols, int64_t row, int32_t y,
                     int32_t from) {
  for (int32_t x = from; x < warp.width; ++x) warp.Fetch(x, y, row + cols[x]);
}

// Pixels [from, to) of row y of the long warp at 100 % and scale 1, where pixel x reads map
// cell mx[x] and my[x] (the maps read a cell a column, in order).
using LongRowPlain = void (*)(const LongWarp& warp, const uint32_t* mx, const uint32_t* my,
                              int32_t y, int32_t from, int32_t to);

// (Fetch reads both maps at the x map's cell.)
void LongRowPlainBaseline(const LongWarp& warp, const uint32_t* mx, const uint32_t* /*my*/,
                          int32_t y, int32_t from, int32_t to) {
  for (int32_t x = from; x < to; ++x) warp.Fetch(x, y, (mx - warp.mapX) + x);
}

#if VMK_SIMD_X86
// The samples of eight lanes: the word at `start`, shifted down by `shift` bits.
VMK_TARGET_AVX2 inline __m256i SampleAt8(const uint8_t* plane, __m256i start, __m256i shift) {
  const __m256i words = _mm256_i32gather_epi32(reinterpret_cast<const int*>(plane), start, 1);
  return _mm256_and_si256(_mm256_srlv_epi32(words, shift), _mm256_set1_epi32(0xFF));
}

// Eight 32-bit values of at most 255 to eight bytes.
VMK_TARGET_AVX2 inline void StoreBytes8(uint8_t* out, __m256i v) {
  const __m128i half = _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(half, half));
}

// LongRowPlainBaseline eight pixels a step: each lane's offsets (v - neutral) / 128 toward
// zero in 32 bits, the fetch's place checked against the plane unsigned, and its sample read
// from one 32-bit word as the displacement pull reads it (an index within the last three
// samples reads the four that end the plane and shifts its bytes down). A step holding a map
// value at or above kPlainLongValueTop goes pixel by pixel. The plane must hold at least four
// samples within 32-bit indices; the caller sees to it.
VMK_TARGET_AVX2 void LongRowPlainAvx2(const LongWarp& warp, const uint32_t* mx, const uint32_t* my,
                                      int32_t y, int32_t from, int32_t to) {
  const int32_t w = warp.width;
  const size_t row = static_cast<size_t>(y) * w;
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i neutral = _mm256_set1_epi32(kBrushMapNeutral);
  const __m256i round = _mm256_set1_epi32(127);
  const __m256i valueTop = _mm256_set1_epi32(static_cast<int32_t>(kPlainLongValueTop - 1));
  const __m256i lastX = _mm256_set1_epi32(w - 1), lastY = _mm256_set1_epi32(warp.height - 1);
  const __m256i width = _mm256_set1_epi32(w), rowY = _mm256_set1_epi32(y);
  const __m256i lastWord = _mm256_set1_epi32(static_cast<int32_t>(int64_t{w} * warp.height - 4));
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const bool alpha = warp.dst[3] != nullptr;
  const bool alphaSource = alpha && warp.src[3] != nullptr;
  int32_t x = from;
  for (; x + 8 <= to; x += 8) {
    const __m256i vx = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mx + x));
    const __m256i vy = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(my + x));
    // Both below the top, compared unsigned.
    const __m256i small = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(vx, valueTop), vx),
                                           _mm256_cmpeq_epi32(_mm256_min_epu32(vy, valueTop), vy));
    if (_mm256_movemask_epi8(small) != -1) {
      LongRowPlainBaseline(warp, mx, my, y, x, x + 8);
      continue;
    }
    __m256i dx = _mm256_sub_epi32(vx, neutral), dy = _mm256_sub_epi32(vy, neutral);
    dx = _mm256_srai_epi32(_mm256_add_epi32(dx, _mm256_and_si256(_mm256_srai_epi32(dx, 31), round)),
                           7);
    dy = _mm256_srai_epi32(_mm256_add_epi32(dy, _mm256_and_si256(_mm256_srai_epi32(dy, 31), round)),
                           7);
    const __m256i sx = _mm256_add_epi32(_mm256_add_epi32(_mm256_set1_epi32(x), lane), dx);
    const __m256i sy = _mm256_add_epi32(rowY, dy);
    const __m256i inside = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_min_epu32(sx, lastX), sx),
                                            _mm256_cmpeq_epi32(_mm256_min_epu32(sy, lastY), sy));
    const __m256i index =
        _mm256_and_si256(_mm256_add_epi32(_mm256_mullo_epi32(sy, width), sx), inside);
    const __m256i start = _mm256_min_epi32(index, lastWord);
    const __m256i shift = _mm256_slli_epi32(_mm256_sub_epi32(index, start), 3);
    for (int k = 0; k < 3; ++k) {
      StoreBytes8(warp.dst[k] + row + x,
                  _mm256_blendv_epi8(byte, SampleAt8(warp.src[k], start, shift), inside));
    }
    if (alpha) {
      StoreBytes8(warp.dst[3] + row + x,
                  alphaSource ? _mm256_and_si256(SampleAt8(warp.src[3], start, shift), inside)
                              : _mm256_setzero_si256());
    }
  }
  LongRowPlainBaseline(warp, mx, my, y, x, to);
}
#endif

LongWarp MakeLongWarp(int32_t mapHeight, int32_t mapWidth, int32_t height, int32_t width,
                      int32_t mapLeft, int32_t mapTop, int32_t mapRight, int32_t mapBottom,
                      float scaleX, const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB,
                      const uint8_t* srcA, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB,
                      uint8_t* dstA, const uint32_t* mapX, const uint32_t* mapY,
                      int16_t percent, float scaleY) {
  return LongWarp{height,
                  width,
                  mapWidth,
                  MapCells(mapLeft, mapTop, mapRight, mapBottom, width, height, mapWidth,
                           std::max(mapHeight, 1)),
                  scaleX,
                  scaleY,
                  {srcR, srcG, srcB, srcA},
                  {dstR, dstG, dstB, dstA},
                  mapX,
                  mapY,
                  percent};
}

// The stroke of the displacement brush: one for the program, from a start
// call to the next.
struct Stroke {
  bool begun = false;
  int64_t squaredRadius = 0;
  int32_t prevX = 0;
  int32_t prevY = 0;
  int64_t dx = 0;
  int64_t dy = 0;
};

Stroke gStroke;

// Jitter of one map value: a draw 0..99 around 50, scaled by the weight,
// the picture size and the strength.
int64_t Jitter(int32_t size, int64_t w, int16_t strength) {
  const int64_t r = plat::Random() % 100;
  const int64_t d = r < 50 ? int64_t{size} * w * (50 - r) / 6553600
                           : -int64_t{size} * w * (r - 50) / 6553600;
  return d * strength / 100;
}

// Map cells [first, last] that picture column or row p covers: more than
// one where the map is finer than the picture.
template <typename CellOf>
void Covered(int32_t p, int32_t n, CellOf cellOf, int32_t* first, int32_t* last) {
  *first = cellOf(p);
  *last = p + 1 < n ? std::max(*first, cellOf(p + 1) - 1) : *first;
}

}  // namespace

void Xold_CompuDisplace(int32_t /*ignored*/, int32_t stride, int32_t height, int32_t width,
                        const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                        const uint16_t* mapY, int16_t percent) {
  if (!LongPicture(stride, height, width, src, dst, mapX, mapY)) return;
  plat::ParallelFor(0, height, kBand, [=](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = 0; x < width; ++x)
        OldPixel(stride, height, width, src, dst, mapX, mapY, x, y, percent);
  });
}

void Xold_Brush_CompuDisplace(int32_t /*ignored*/, int32_t stride, int32_t height, int32_t width,
                              const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                              const uint16_t* mapY, int32_t cx, int32_t cy, int32_t radius,
                              int16_t percent) {
  if (!LongPicture(stride, height, width, src, dst, mapX, mapY)) return;
  Square(cx, cy, radius, width, height).ForEach([&](int32_t x, int32_t y) {
    OldPixel(stride, height, width, src, dst, mapX, mapY, x, y, percent);
  });
}

void Xshort_CompuDisplace(int32_t /*ignored*/, int32_t stride, int32_t height, int32_t width,
                          int32_t mapLeft, int32_t mapTop, int32_t mapRight, int32_t mapBottom,
                          float scaleX, const uint32_t* src, uint32_t* dst, const uint16_t* mapX,
                          const uint16_t* mapY, int16_t percent, float scaleY) {
  if (!LongPicture(stride, height, width, src, dst, mapX, mapY)) return;
  const ShortWarp warp{stride, height, width,
                       MapCells(mapLeft, mapTop, mapRight, mapBottom, width, height, width, height),
                       scaleX, scaleY, src, dst, mapX, mapY, percent};
  plat::ParallelFor(0, height, kBand, [warp](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = 0; x < warp.width; ++x) warp.Pixel(x, y);
  });
}

void XShort_Brush_CompuDisplace(int32_t /*ignored*/, int32_t stride, int32_t height, int32_t width,
                                int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                                int32_t mapBottom, float scaleX, const uint32_t* src,
                                uint32_t* dst, const uint16_t* mapX, const uint16_t* mapY,
                                int32_t cx, int32_t cy, int32_t radius, int16_t percent,
                                float scaleY) {
  if (!LongPicture(stride, height, width, src, dst, mapX, mapY)) return;
  const ShortWarp warp{stride, height, width,
                       MapCells(mapLeft, mapTop, mapRight, mapBottom, width, height, width, height),
                       scaleX, scaleY, src, dst, mapX, mapY, percent};
  Square(cx, cy, radius, width, height).ForEach([&](int32_t x, int32_t y) { warp.Pixel(x, y); });
}

void Xlong_CompuDisplace(int32_t mapHeight, int32_t mapWidth, int32_t height, int32_t width,
                         int32_t mapLeft, int32_t mapTop, int32_t mapRight, int32_t mapBottom,
                         float scaleX, const uint8_t* srcR, const uint8_t* srcG,
                         const uint8_t* srcB, const uint8_t* srcA, uint8_t* dstR, uint8_t* dstG,
                         uint8_t* dstB, uint8_t* dstA, const uint32_t* mapX,
                         const uint32_t* mapY, int16_t percent, float scaleY) {
  const LongWarp warp =
      MakeLongWarp(mapHeight, mapWidth, height, width, mapLeft, mapTop, mapRight, mapBottom,
                   scaleX, srcR, srcG, srcB, srcA, dstR, dstG, dstB, dstA, mapX, mapY, percent,
                   scaleY);
  if (!warp.Valid() || mapHeight <= 0) return;
  // The map column of each picture column, found once: the division per
  // pixel cost more than the fetch (2048 x 1536 on this machine: 22 to 9 ms;
  // OpenCV's nearest remap of the same maps, 5 ms).
  const plat::Block<int32_t> colCell(width, WorkSource());
  if (!colCell) return;
  for (int32_t x = 0; x < width; ++x) colCell[x] = warp.cells.Col(x);
  const int32_t* cols = colCell.get();
  // The maps read a cell a column in order (a map of the picture's own width, say) at 100 %
  // and scale 1: a row's offsets are its map row's values less the neutral one, divided by
  // 128, and the row goes eight pixels a step. Measured on 2048 x 1536 (three planes, shared
  // machine at load 18, medians side by side): 7.4 ms against 18 ms pixel by pixel.
  bool inOrder = true;
  for (int32_t x = 1; x < width && inOrder; ++x) inOrder = cols[x] == cols[0] + x;
  const int64_t samples = int64_t{width} * height;
  const LongRowPlain plain = inOrder && percent == 100 && scaleX == 1.0f && scaleY == 1.0f &&
                                     samples >= 4 && samples <= std::numeric_limits<int32_t>::max()
                                 ? plat::PickKernel<LongRowPlain>(LongRowPlainBaseline,
#if VMK_SIMD_X86
                                                                  LongRowPlainAvx2
#else
                                                                  nullptr
#endif
                                                                  )
                                 : nullptr;
  plat::ParallelFor(0, height, kBand, [warp, cols, plain](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      const int64_t row = int64_t{warp.cells.Row(y)} * warp.mapWidth;
      if (plain != nullptr) {
        plain(warp, warp.mapX + row + cols[0], warp.mapY + row + cols[0], y, 0, warp.width);
      } else {
        LongRowBaseline(warp, cols, row, y, 0);
      }
    }
  });
}

int32_t X_Brush_CompuDisplace(int32_t mapHeight, int32_t mapWidth, int32_t height, int32_t width,
                              int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                              int32_t mapBottom, float scaleX, const uint8_t* srcR,
                              const uint8_t* srcG, const uint8_t* srcB, const uint8_t* srcA,
                              uint8_t* dstR, uint8_t* dstG, uint8_t* dstB, uint8_t* dstA,
                              const uint32_t* mapX, const uint32_t* mapY, int32_t cx,
                              int32_t cy, int32_t radius, int16_t percent, float scaleY) {
  const LongWarp warp =
      MakeLongWarp(mapHeight, mapWidth, height, width, mapLeft, mapTop, mapRight, mapBottom,
                   scaleX, srcR, srcG, srcB, srcA, dstR, dstG, dstB, dstA, mapX, mapY, percent,
                   scaleY);
  if (warp.Valid() && mapHeight > 0) {
    Square(cx, cy, radius, width, height).ForEach([&](int32_t x, int32_t y) {
      warp.Pixel(x, y);
    });
  }
  return mapRight - mapLeft;
}

void X_CombineDisplace(int32_t /*ignored*/, int32_t stride, int32_t height, int32_t width,
                       uint16_t* mapAx, uint16_t* mapAy, const uint16_t* mapBx,
                       const uint16_t* mapBy) {
  if (!LongPicture(stride, height, width, mapAx, mapAy, mapBx, mapBy)) return;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const size_t i = static_cast<size_t>(y) * stride + x;
      const int64_t ox = int64_t{mapAx[i]} - kBrushMapNeutral;
      const int64_t oy = int64_t{mapAy[i]} - kBrushMapNeutral;
      const int64_t px = x + ox / 128;
      const int64_t py = y + oy / 128;
      if (!Inside(px, py, width, height)) continue;
      const size_t p = static_cast<size_t>(py) * stride + static_cast<size_t>(px);
      mapAx[i] = Hold16(mapBx[p] + ox);
      mapAy[i] = Hold16(mapBy[p] + oy);
    }
  }
}

int32_t X_InterBufs(int16_t weight, int32_t widthA, int32_t heightA, const uint32_t* bufA,
                    const uint16_t* mapAx, const uint16_t* mapAy, int32_t widthB,
                    int32_t heightB, const uint32_t* bufB, const uint16_t* mapBx,
                    const uint16_t* mapBy, int32_t widthR, int32_t heightR, uint32_t* bufR,
                    uint16_t* mapRx, uint16_t* mapRy) {
  if (!LongPicture(widthA, heightA, widthA, bufA, mapAx, mapAy, bufA) ||
      !LongPicture(widthB, heightB, widthB, bufB, mapBx, mapBy, bufB) ||
      !LongPicture(widthR, heightR, widthR, bufR, mapRx, mapRy, bufR)) {
    return -1;
  }
  plat::Block<uint32_t> mixed(int64_t{widthR} * heightR, WorkSource());
  if (!mixed) return -1;
  const int64_t wa = std::clamp<int64_t>(weight, 0, 255);
  const int64_t wb = 255 - wa;
  auto mix = [&](int64_t a, int64_t b) { return (wa * a + wb * b) / 255; };
  for (int32_t y = 0; y < heightR; ++y) {
    const int64_t ya = int64_t{y} * heightA / heightR;
    const int64_t yb = int64_t{y} * heightB / heightR;
    for (int32_t x = 0; x < widthR; ++x) {
      const int64_t ia = ya * widthA + int64_t{x} * widthA / widthR;
      const int64_t ib = yb * widthB + int64_t{x} * widthB / widthR;
      const uint32_t pa = bufA[ia];
      const uint32_t pb = bufB[ib];
      uint32_t out = pa & 0xFF000000u;
      for (int k = 0; k < 3; ++k) {
        const int64_t v = mix((pa >> (8 * k)) & 0xFF, (pb >> (8 * k)) & 0xFF);
        out |= static_cast<uint32_t>(v) << (8 * k);
      }
      const size_t i = static_cast<size_t>(y) * widthR + x;
      mixed[static_cast<int64_t>(i)] = out;
      mapRx[i] = Hold16(mix(mapAx[ia], mapBx[ib]));
      mapRy[i] = Hold16(mix(mapAy[ia], mapBy[ib]));
    }
  }
  Xshort_CompuDisplace(0, widthR, heightR, widthR, 0, 0, widthR - 1, heightR - 1, 1.0f,
                       mixed.get(), bufR, mapRx, mapRy, 100, 1.0f);
  return 0;
}

void X_interMask(uint16_t* mapX, uint16_t* mapY, int16_t percent) {
  if (mapX == nullptr || mapY == nullptr) return;
  for (int32_t i = 0; i < kCoordinateMapEntries; ++i) {
    mapX[i] = Hold16(Offset(mapX[i], percent) + kBrushMapNeutral);
    mapY[i] = Hold16(Offset(mapY[i], percent) + kBrushMapNeutral);
  }
}

void X_Brush_Displace(int16_t start, int32_t mapHeight, int32_t mapWidth, int32_t height,
                      int32_t width, int32_t mapLeft, int32_t mapTop, int32_t mapRight,
                      int32_t mapBottom, float /*scaleX*/, float /*scaleY*/, uint32_t* mapX,
                      uint32_t* mapY, const uint32_t* origX, const uint32_t* origY,
                      const uint16_t* brush, int32_t x, int32_t y, int32_t radius, int16_t tool,
                      int16_t alongStroke, int16_t strength, int32_t /*ignored*/,
                      int32_t falloffRadius) {
  Stroke& s = gStroke;
  // A dab without a stroke begun starts one, so that no push is taken from
  // a point that was never given.
  if (start == 0 || !s.begun) {
    s = Stroke{true, int64_t{falloffRadius} * falloffRadius, x, y, 0, 0};
    return;
  }
  if (alongStroke == 0) {
    s.dx = (int64_t{s.prevY} - y) * 16;
    s.dy = (int64_t{x} - s.prevX) * 16;
  } else {
    s.dx += (int64_t{s.prevX} - x) * 64;
    s.dy += (int64_t{s.prevY} - y) * 64;
  }
  s.prevX = x;
  s.prevY = y;
  if (width <= 0 || height <= 0 || mapWidth <= 0 || mapHeight <= 0 || radius < 0 ||
      mapX == nullptr || mapY == nullptr || brush == nullptr) {
    return;
  }
  if (tool == 3 && (origX == nullptr || origY == nullptr)) return;
  const MapCells cells(mapLeft, mapTop, mapRight, mapBottom, width, height, mapWidth, mapHeight);
  const int64_t side = 2 * int64_t{radius} + 1;
  auto change = [&](int64_t m, int64_t w) {
    switch (tool) {
      case 0:
      case 4:
        mapX[m] = HoldMap(mapX[m] + ((w * s.dx) >> 16));
        mapY[m] = HoldMap(mapY[m] + ((w * s.dy) >> 16));
        break;
      case 1: {
        const int64_t k = w >> 2;
        mapX[m] = HoldMap(((4096 - k) * mapX[m] + k * kBrushMapNeutral) >> 12);
        mapY[m] = HoldMap(((4096 - k) * mapY[m] + k * kBrushMapNeutral) >> 12);
        break;
      }
      case 2:
        // The y map first, scaled by the width; then the x map by the height.
        mapY[m] = HoldMap(mapY[m] + Jitter(width, w, strength));
        mapX[m] = HoldMap(mapX[m] + Jitter(height, w, strength));
        break;
      case 3: {
        const int64_t k = w >> 2;
        mapX[m] = HoldMap(((4096 - k) * mapX[m] + k * origX[m]) >> 12);
        mapY[m] = HoldMap(((4096 - k) * mapY[m] + k * origY[m]) >> 12);
        break;
      }
      default:
        break;
    }
  };
  for (int64_t j = 0; j < side; ++j) {
    const int64_t py = int64_t{y} - radius + j;
    if (py < 0 || py >= height) continue;
    int32_t r0 = 0, r1 = 0;
    Covered(static_cast<int32_t>(py), height, [&](int32_t p) { return cells.Row(p); }, &r0, &r1);
    for (int64_t i = 0; i < side; ++i) {
      const int64_t px = int64_t{x} - radius + i;
      if (px < 0 || px >= width) continue;
      const int64_t w = brush[j * side + i];
      int32_t c0 = 0, c1 = 0;
      Covered(static_cast<int32_t>(px), width, [&](int32_t p) { return cells.Col(p); }, &c0, &c1);
      for (int32_t r = r0; r <= r1; ++r)
        for (int32_t c = c0; c <= c1; ++c) change(int64_t{r} * mapWidth + c, w);
    }
  }
}

void X_prepare_Brush(int32_t* weights, int32_t radius, int32_t hardness) {
  if (weights == nullptr || radius < 0) return;
  const int64_t s = radius <= 40 ? hardness : hardness / 10;
  const int64_t r2 = radius == 0 ? 1 : int64_t{radius} * radius;
  const int64_t side = 2 * int64_t{radius} + 1;
  for (int64_t j = 0; j < side; ++j) {
    for (int64_t i = 0; i < side; ++i) {
      const int64_t dx = i - radius, dy = j - radius;
      const int64_t d = dx * dx + dy * dy;
      int64_t w = 0;
      if (d <= r2) {
        const int64_t q = r2 - d;
        // Large radii scale q down first, as the weights always were.
        w = q > 1000 ? ((q / 10) * (q / 10) * s / r2 * 100) >> 8 : (q * q * s / r2) >> 8;
        w = std::min<int64_t>(w, 4096);
      }
      weights[j * side + i] = static_cast<int32_t>(w);
    }
  }
}

void X_Brush_DtyMsk(int32_t /*ignored1*/, int32_t /*ignored2*/, int32_t /*ignored3*/,
                    int32_t height, int32_t width, const uint8_t* R, const uint8_t* G,
                    const uint8_t* B, uint8_t* plane, const int16_t* brush, TMaskPar* mask,
                    int32_t cx, int32_t cy, int32_t radius, int32_t value) {
  if (plane == nullptr || brush == nullptr || width <= 0 || height <= 0 || radius < 0) return;
  const bool masked = mask != nullptr && mask->enabled != 0;
  if (masked && (R == nullptr || G == nullptr || B == nullptr)) return;
  if (masked) {
    Init_MaskRGB(mask->centreR, mask->centreG, mask->centreB, mask->active, mask->tolerance,
                 mask->tabR, mask->tabG, mask->tabB, mask->falloff, mask->clamp);
  }
  const int64_t side = 2 * int64_t{radius} + 1;
  Square(cx, cy, radius, width, height).ForEach([&](int32_t x, int32_t y) {
    const size_t i = static_cast<size_t>(y) * width + x;
    int32_t m = 255;
    if (masked) {
      Calc_MaskRGB(1, mask, mask->centreR, mask->centreG, mask->centreB, mask->active,
                   mask->strength, mask->tolerance, mask->remove, R[i], G[i], B[i], &m);
      if (mask->invert == 1) m = 255 - m;
    }
    const int64_t b = brush[(int64_t{y} - cy + radius) * side + (int64_t{x} - cx + radius)];
    const int64_t w = b * m / 255;
    plane[i] = Hold8(((4096 - w) * plane[i] + w * value) >> 12);
  });
}
