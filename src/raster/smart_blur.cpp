// Smart blur and the smoothing effect built on it.
//
// The pass visits pixels in raster order. Pixel p scans rightward along its
// row and, in each of the next H rows, leftward from its own column and then
// rightward, every scan ending at its first pixel of too different a colour
// (a row whose pixel straight below p is dissimilar ends the rows). Each
// similar pixel q found adds itself to p's running sums and p to q's slot,
// so that when q's turn comes its sums already hold every earlier pixel
// that found it. Integer arithmetic throughout.
//
// Each pixel's weighted mean is rounded to the nearest: truncated, it took
// half a level off a textured picture at every pass, and the noise reduction
// repeats the pass up to five times (a photo-like plane lost 2.7 levels).
#include "raster/smart_blur.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/memory/memory.h"
#include "platform/parallel/cancel.h"
#include "platform/parallel/parallel.h"
#include "platform/types/plane_view.h"
#include "raster/blend_filters.h"
#include "raster/blend_rows.h"
#include "raster/plane_kernels.h"
#include "raster/plane_rect.h"
#include "raster/rescale.h"

namespace {

constexpr int32_t kColourEntries = 1024;
constexpr int32_t kRampEntries = 768;
// Rows per band of the pixel pass, raised to the depth of the scans (half
// the radius) when that is more.
constexpr int32_t kBand = 16;

// A pixel's weighted sum over its weight (at least 1), to the nearest. A
// slot gathers at most the 23 x 23 pixels within half the largest radius of
// it, at most 256 each times a sample below 256, so twice the sum stays far
// within 32 bits.
inline int32_t RoundedMean(int32_t sum, int32_t weight) {
  return (2 * sum + weight) / (2 * weight);
}

template <typename T>
T* NewArray(int64_t count) {
  if (count <= 0) return nullptr;
  return reinterpret_cast<T*>(plat::NewPtr(count * static_cast<int64_t>(sizeof(T))));
}

void FreeTables(TSmartBlurData* d) {
  plat::DisposePtr(d->colourTable);
  plat::DisposePtr(d->spatialTable);
  plat::DisposePtr(d->spatialTableD);
  d->colourTable = nullptr;
  d->spatialTable = nullptr;
  d->spatialTableD = nullptr;
}

void FreeWork(TSmartBlurData* d) {
  plat::DisposePtr(d->work3);
  plat::DisposePtr(d->work4);
  d->work3 = nullptr;
  d->work4 = nullptr;
}

void FreeRows(TSmartBlurData* d, int32_t height) {
  for (int32_t** &plane : d->rows) {
    if (plane == nullptr) continue;
    for (int32_t y = 0; y < height; ++y) plat::DisposePtr(plane[y]);
    plat::DisposePtr(plane);
    plane = nullptr;
  }
}

// True when every accumulator plane and each of its rows is there.
bool RowsComplete(const TSmartBlurData* d, int32_t height) {
  for (int32_t** plane : d->rows) {
    if (plane == nullptr) return false;
    for (int32_t y = 0; y < height; ++y)
      if (plane[y] == nullptr) return false;
  }
  return true;
}

bool AllocTables(TSmartBlurData* d) {
  const int64_t spatial = static_cast<int64_t>((d->radius >> 1) + 1) * (d->radius + 1);
  d->spatialTable = NewArray<int32_t>(spatial);
  d->colourTable = NewArray<int32_t>(kColourEntries);
  d->spatialTableD = NewArray<double>(spatial);
  return d->spatialTable != nullptr && d->colourTable != nullptr && d->spatialTableD != nullptr;
}

// Fills the spatial tables (read by no pass: the spatial option selects
// nothing) and the colour ramp.
void FillTables(TSmartBlurData* d) {
  const int32_t r = d->radius, h = r >> 1;
  const double spread = 2.0 * std::max(h, 1) * std::max(h, 1);
  for (int32_t dy = 0; dy <= h; ++dy) {
    for (int32_t j = 0; j <= r; ++j) {
      const int32_t dx = j - h;
      const double v = std::exp(-(dx * dx + dy * dy) / spread);
      d->spatialTableD[dy * (r + 1) + j] = v;
      d->spatialTable[dy * (r + 1) + j] = static_cast<int32_t>(v * 256.0 * d->amount / 25.0);
    }
  }
  // The ramp falls from 256 at a summed difference of 3 lo to 0 at 3 T.
  // Where it has reached 0, and past the entries it fills, a similar pixel
  // weighs nothing.
  const int32_t lo = d->lowThreshold;
  const double step = 256.0 / (3.0 * (d->threshold - lo));
  double ramp = 256.0;
  bool started = false;
  for (int32_t i = 0; i < kColourEntries; ++i) {
    int32_t v = 0;
    if (i < kRampEntries) {
      if (i < 3 * lo) {
        v = 256;
      } else {
        if (started) ramp -= step;
        started = true;
        const double rv = ramp + 0.5;
        v = rv >= 256.0 ? 256 : (rv >= 1.0 ? static_cast<int32_t>(rv) : 0);
      }
    }
    d->colourTable[i] = v;
  }
}

// Start for the 32-bit runs (mode 0 four channels, 1 three) and, with
// `rowHeld`, for the row-held runs.
int32_t Prepare(int16_t mode, TSmartBlurData* d, int32_t width, int32_t height, bool rowHeld) {
  if (d == nullptr || width <= 0 || height <= 0) return 1;
  // Tables for a radius beyond any window would be useless and huge.
  if (d->radius < 0 || d->radius > 1024) return 1;
  bool ownMissing;
  if (rowHeld) {
    ownMissing = !RowsComplete(d, height);
  } else {
    ownMissing = (mode == 0 && d->work4 == nullptr) || (mode == 1 && d->work3 == nullptr);
  }
  // Besides a changed radius, storage that the run needs but an earlier
  // start for another run did not take is taken now.
  if (d->radius != (d->key & 15) || ownMissing || d->colourTable == nullptr) {
    FreeTables(d);
    if (rowHeld) {
      FreeRows(d, height);
    } else {
      FreeWork(d);
    }
    if (!AllocTables(d)) {
      FreeTables(d);
      return 1;
    }
    const int64_t pixels = static_cast<int64_t>(width) * height;
    if (rowHeld) {
      for (int32_t** &plane : d->rows) {
        plane = reinterpret_cast<int32_t**>(plat::NewPtrClear(int64_t{height} * sizeof(int32_t*)));
        if (plane == nullptr) return 1;
        for (int32_t y = 0; y < height; ++y) {
          plane[y] = NewArray<int32_t>(width);
          if (plane[y] == nullptr) return 1;
        }
      }
    } else if (mode == 0) {
      d->work4 = NewArray<int32_t>(pixels * 5);
    } else if (mode == 1) {
      d->work3 = NewArray<int32_t>(pixels * 4);
    }
  }
  if (rowHeld) {
    if (!RowsComplete(d, height)) return 1;
  } else if (d->work3 == nullptr && d->work4 == nullptr) {
    return 1;
  }
  d->key = SmartBlurKey(d);
  FillTables(d);
  return 0;
}

// The candidates of pixel (x, y) in scan order: rightward along its row,
// then in each of the next `half` rows leftward from column x and rightward
// from x + 1; visit(qx, qy) answers whether q is similar, and every scan
// ends at its first dissimilar pixel. A dissimilar pixel straight below
// ends the rows after that row's rightward scan.
template <typename Visit>
inline void Scan(int32_t x, int32_t y, int32_t width, int32_t height, int32_t half, Visit& visit) {
  const int32_t xr = std::min(x + half, width - 1);
  const int32_t xl = std::max(x - half, 0);
  for (int32_t qx = x + 1; qx <= xr; ++qx)
    if (!visit(qx, y)) break;
  const int32_t rows = std::min(half, height - 1 - y);
  for (int32_t dd = 1; dd <= rows; ++dd) {
    const int32_t qy = y + dd;
    bool below = true;
    for (int32_t qx = x; qx >= xl; --qx) {
      if (!visit(qx, qy)) {
        below = qx != x;
        break;
      }
    }
    for (int32_t qx = x + 1; qx <= xr; ++qx)
      if (!visit(qx, qy)) break;
    if (!below) break;
  }
}

// Samples and accumulator slots of one pass. Img: int Get(k, x, y) and
// void Put(k, x, y, value); Acc: int32_t& At(k, x, y) with k = C the weight.
template <int C, typename Img, typename Acc>
void Pass(const TSmartBlurData* d, int32_t width, int32_t height, Img& img, Acc& acc,
          bool weighted) {
  const int32_t t = d->threshold;
  const int32_t half = d->radius >> 1;
  const int32_t* table = d->colourTable;
  const int32_t unit = weighted ? 256 : 1;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      for (int k = 0; k < C; ++k) acc.At(k, x, y) = img.Get(k, x, y) * unit;
      acc.At(C, x, y) = unit;
    }
  }
  for (int32_t y = 0; y < height; ++y) {
    // A cancelled pass stops between rows; RunLong and its callers then
    // answer a failure and nothing reads the rows left.
    if (plat::Cancelled()) return;
    for (int32_t x = 0; x < width; ++x) {
      int32_t c[C];
      int32_t sum[C + 1];
      for (int k = 0; k < C; ++k) c[k] = img.Get(k, x, y);
      for (int k = 0; k <= C; ++k) sum[k] = acc.At(k, x, y);
      auto visit = [&](int32_t qx, int32_t qy) {
        int32_t q[C];
        int32_t diff = 0;
        for (int k = 0; k < C; ++k) {
          q[k] = img.Get(k, qx, qy);
          const int32_t dk = std::abs(q[k] - c[k]);
          if (dk >= t) return false;
          diff += dk;
        }
        const int32_t w =
            weighted ? (diff >= 0 && diff < kColourEntries ? table[diff] : 0) : 1;
        for (int k = 0; k < C; ++k) {
          sum[k] += w * q[k];
          acc.At(k, qx, qy) += w * c[k];
        }
        sum[C] += w;
        acc.At(C, qx, qy) += w;
        return true;
      };
      Scan(x, y, width, height, half, visit);
      for (int k = 0; k < C; ++k) img.Put(k, x, y, RoundedMean(sum[k], sum[C]));
      if constexpr (C == 3) img.Clear3(x, y);
    }
  }
}

#if defined(__SSE2__)
// The 32-bit pass with each pixel's channels side by side in one register:
// the per-channel test, the summed difference (one SAD) and both
// accumulations take a handful of instructions, against index arithmetic
// and a loop per channel in the general pass. The sums are the same
// integers, so the bytes are identical (checked against a straightforward
// version in the tests). 2048 x 1536, radius 10, weighted (Xeon, -O2):
// 1055 ms through the general pass, 380 ms this way. An AVX2 form taking
// eight candidates of a scan at once, weights gathered, measured 470 ms:
// the scans (five or six candidates at this radius) are too short to pay
// for the gathers and the lane bookkeeping.
template <int C>
void PassLongWide(const TSmartBlurData* d, int32_t width, int32_t height,
                  const unsigned char* src, unsigned char* dst, int32_t* slots, bool weighted) {
  constexpr int S = C + 1;
  const int32_t t = d->threshold;
  const int32_t half = d->radius >> 1;
  const int32_t* table = d->colourTable;
  const int32_t unit = weighted ? 256 : 1;
  const int32_t rows = std::max(kBand, half);
  plat::ParallelFor(0, height, rows, [=](int32_t y0, int32_t y1) {
    const int64_t end = static_cast<int64_t>(y1) * width;
    for (int64_t i = static_cast<int64_t>(y0) * width; i < end; ++i) {
      if ((i & 0xFFFFF) == 0 && plat::Cancelled()) return;  // see Pass
      for (int k = 0; k < C; ++k) slots[i * S + k] = src[i * 4 + k] * unit;
      slots[i * S + C] = unit;
    }
  });
  if (plat::Cancelled()) return;
  // Similar: every channel difference at most t - 1 (t above 256 passes all).
  const bool none = t <= 0;
  const __m128i limit = _mm_set1_epi8(static_cast<char>(t > 256 ? 255 : (none ? 0 : t - 1)));
  const __m128i zero = _mm_setzero_si128();
  const __m128i channels = _mm_cvtsi32_si128(C == 3 ? 0x00FFFFFF : -1);
  const __m128i keep3 = _mm_set_epi32(0, -1, -1, -1);
  const __m128i one3 = _mm_set_epi32(1, 0, 0, 0);
  auto pixel = [=](int64_t i) {
    int32_t v;
    std::memcpy(&v, src + i * 4, 4);
    return _mm_and_si128(_mm_cvtsi32_si128(v), channels);
  };
  // 32-bit lanes of the four bytes; with three channels lane 3 becomes 1,
  // so that a multiply by the weight also yields the weight.
  auto lanes = [=](__m128i v) {
    const __m128i w = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
    return C == 3 ? _mm_or_si128(_mm_and_si128(w, keep3), one3) : w;
  };
  // A pixel's slot gains only from itself and from pixels that come before
  // it (its row to the left, the rows above within half), and every gain is
  // an integer add, so the order of the scans does not change any sum. Bands
  // of kBand rows each reach at most half (11) rows into the band below: the
  // even bands run at once, then the odd ones, then every pixel divides its
  // finished slot.
  auto band = [=](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      if (plat::Cancelled()) return;  // see Pass
      for (int32_t x = 0; x < width; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const __m128i p = pixel(i);
        const __m128i c32 = lanes(p);
        __m128i sum = _mm_setzero_si128();
        int32_t sumW = 0;
        auto visit = [&](int32_t qx, int32_t qy) {
          const int64_t j = static_cast<int64_t>(qy) * width + qx;
          const __m128i q = pixel(j);
          const __m128i ad = _mm_or_si128(_mm_subs_epu8(p, q), _mm_subs_epu8(q, p));
          if (_mm_cvtsi128_si32(_mm_subs_epu8(ad, limit)) != 0) return false;
          const int32_t w = weighted ? table[_mm_cvtsi128_si32(_mm_sad_epu8(ad, zero))] : 1;
          const __m128i wv = _mm_set1_epi32(w);
          sum = _mm_add_epi32(sum, _mm_madd_epi16(lanes(q), wv));
          int32_t* qs = slots + j * S;
          __m128i* qv = reinterpret_cast<__m128i*>(qs);
          _mm_storeu_si128(qv, _mm_add_epi32(_mm_loadu_si128(qv), _mm_madd_epi16(c32, wv)));
          if constexpr (C == 4) {
            sumW += w;
            qs[4] += w;
          }
          return true;
        };
        if (none) continue;
        Scan(x, y, width, height, half, visit);
        int32_t* ps = slots + i * S;
        __m128i* pv = reinterpret_cast<__m128i*>(ps);
        _mm_storeu_si128(pv, _mm_add_epi32(_mm_loadu_si128(pv), sum));
        if constexpr (C == 4) ps[4] += sumW;
      }
    }
  };
  const int32_t bands = plat::BandCount(0, height, rows);
  for (int32_t parity = 0; parity < 2; ++parity) {
    plat::ParallelFor(0, (bands + 1 - parity) / 2, 1, [=](int32_t first, int32_t last) {
      for (int32_t b = first; b < last; ++b) {
        const int32_t y0 = (2 * b + parity) * rows;
        band(y0, std::min(y0 + rows, height));
      }
    });
  }
  if (plat::Cancelled()) return;  // the slots are unfinished
  plat::ParallelFor(0, height, rows, [=](int32_t y0, int32_t y1) {
    for (int64_t i = static_cast<int64_t>(y0) * width; i < static_cast<int64_t>(y1) * width;
         ++i) {
      const int32_t* ps = slots + i * S;
      const int32_t weight = ps[C];
      unsigned char* o = dst + i * 4;
      for (int k = 0; k < C; ++k) o[k] = static_cast<unsigned char>(RoundedMean(ps[k], weight));
      if constexpr (C == 3) o[3] = 0;
    }
  });
}
#endif

// 32-bit pixels, slots of `S` words.
template <int S>
struct SlotAcc {
  int32_t* slots;
  int32_t width;
  int32_t& At(int k, int32_t x, int32_t y) {
    return slots[(static_cast<int64_t>(y) * width + x) * S + k];
  }
};

struct LongImg {
  const unsigned char* src;
  unsigned char* dst;
  int32_t width;
  int32_t Get(int k, int32_t x, int32_t y) const {
    return src[(static_cast<int64_t>(y) * width + x) * 4 + k];
  }
  void Put(int k, int32_t x, int32_t y, int32_t v) {
    dst[(static_cast<int64_t>(y) * width + x) * 4 + k] = static_cast<unsigned char>(v);
  }
  void Clear3(int32_t x, int32_t y) { dst[(static_cast<int64_t>(y) * width + x) * 4 + 3] = 0; }
};

// Three-channel row-held runs keep the weight in the fifth plane.
struct RowAcc3 {
  int32_t** const* rows;
  int32_t& At(int k, int32_t x, int32_t y) { return rows[k == 3 ? 4 : k][y][x]; }
};
struct RowAcc4 {
  int32_t** const* rows;
  int32_t& At(int k, int32_t x, int32_t y) { return rows[k][y][x]; }
};

struct RowImg8 {
  RowPlanes planes;
  int32_t Get(int k, int32_t x, int32_t y) const { return RowOf(planes, k, y)[x]; }
  void Put(int k, int32_t x, int32_t y, int32_t v) {
    RowOf(planes, k, y)[x] = static_cast<unsigned char>(v);
  }
  void Clear3(int32_t, int32_t) {}
};

struct RowImg16 {
  RowPlanes planes;
  int32_t Get(int k, int32_t x, int32_t y) const { return Row16Of(planes, k, y)[x] >> 7; }
  void Put(int k, int32_t x, int32_t y, int32_t v) {
    Row16Of(planes, k, y)[x] = static_cast<int16_t>(v * 128);
  }
  void Clear3(int32_t, int32_t) {}
};

bool KeyChanged(const TSmartBlurData* d) { return SmartBlurKey(d) != d->key; }

int32_t RunRowHeld(TSmartBlurData* d, int32_t width, int32_t height, RowPlanes planes, int kind) {
  if (d == nullptr || planes == nullptr) return 1;
  const bool missing = d->colourTable == nullptr || !RowsComplete(d, height);
  if ((KeyChanged(d) || missing) && prep_tables_buf(1, d, width, height) != 0) return 1;
  if (kind == 4) {
    RowImg8 img{planes};
    RowAcc4 acc{d->rows};
    Pass<4>(d, width, height, img, acc, true);
  } else if (kind == 16) {
    RowImg16 img{planes};
    RowAcc3 acc{d->rows};
    Pass<3>(d, width, height, img, acc, true);
  } else {
    RowImg8 img{planes};
    RowAcc3 acc{d->rows};
    Pass<3>(d, width, height, img, acc, true);
  }
  return 0;
}

// One pass over 32-bit pixels with C channels (3: slots of four words, 4:
// slots of five), redoing the start when the key or the storage is stale.
template <int C>
int32_t RunLong(TSmartBlurData* d, int32_t width, int32_t height, const uint32_t* src,
                uint32_t* dst) {
  if (d == nullptr || src == nullptr || dst == nullptr || plat::Cancelled()) return 1;
  const int16_t mode = C == 3 ? 1 : 0;
  if ((KeyChanged(d) || (C == 3 ? d->work3 : d->work4) == nullptr || d->colourTable == nullptr) &&
      prep_tables_RGB(mode, d, width, height) != 0) {
    return 1;
  }
  int32_t* slots = C == 3 ? d->work3 : d->work4;
  LongImg img{reinterpret_cast<const unsigned char*>(src), reinterpret_cast<unsigned char*>(dst),
              width};
#if defined(__SSE2__)
  PassLongWide<C>(d, width, height, img.src, img.dst, slots, d->colourWeighting != 0);
#else
  SlotAcc<C + 1> acc{slots, width};
  Pass<C>(d, width, height, img, acc, d->colourWeighting != 0);
#endif
  return plat::Cancelled() ? 1 : 0;
}

// A run's record, in a block of its own; its tables and planes are freed by
// the End call of the run.
plat::Block<TSmartBlurData> NewRecord(int16_t radius, int16_t threshold, int16_t amount,
                                      int16_t colourWeighting) {
  plat::Block<TSmartBlurData> block(1, WorkSource());
  if (!block) return block;
  TSmartBlurData* d = new (block.get()) TSmartBlurData{};
  d->amount = amount / 5;
  d->radius = radius <= 4 ? 5 : (radius > 22 ? 22 : radius);
  d->threshold = threshold;
  d->colourWeighting = colourWeighting;
  return block;
}

// X_SmartBlur_RGB with its result: 0, or 1 when nothing was written.
int32_t SmartBlurLong(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                      uint32_t* dst, int16_t radius, int16_t threshold, int16_t amount,
                      int16_t colourWeighting) {
  if (src == nullptr || dst == nullptr) return 1;
  const plat::Block<TSmartBlurData> d = NewRecord(radius, threshold, amount, colourWeighting);
  if (!d) return 1;
  const int16_t runMode = mode != 0 ? 1 : 0;
  StartSmartBlur_RGB(runMode, d.get(), width, height);
  const int32_t rc = runMode != 0 ? RunSmartBlur_RGB(d.get(), width, height, src, dst)
                                  : RunSmartBlur_CMYK(d.get(), width, height, src, dst);
  EndSmartBlur_RGB(d.get());
  return rc;
}

int32_t SmartBlurRows(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                      int16_t radius, int16_t threshold, int16_t amount, int16_t colourWeighting) {
  if (planes == nullptr || (mode != 0 && mode != 1 && mode != 4)) return 1;
  const plat::Block<TSmartBlurData> d = NewRecord(radius, threshold, amount, colourWeighting);
  if (!d) return 1;
  StartSmartBlur_buf(d.get(), width, height);
  int32_t rc;
  if (mode == 1)
    rc = RunSmartBlur_bufRGB(d.get(), width, height, planes);
  else if (mode == 4)
    rc = RunSmartBlur_bufRGB16(d.get(), width, height, planes);
  else
    rc = RunSmartBlur_bufCMYK(d.get(), width, height, planes);
  EndSmartBlur_buf(d.get(), width, height);
  return rc;
}

// What steers the smoothing: the grey guide picture and the corner of the
// image (0, 0 .. outRight, outBottom) over which it is rescaled.
struct SmoothGuide {
  plat::ConstPlaneView<unsigned char> picture;
  int32_t outRight = 0;
  int32_t outBottom = 0;
};

// The guide rescaled over the image (A) and the contrast mask M made from
// the difference of a smoothed copy of it (B) and A. `invert` gives
// 255 - d, as the pixel form wants, else d. Empty when the guide is missing
// or memory is short.
plat::Block<unsigned char> MakeMask(int32_t width, int32_t height, const SmoothGuide& guide,
                                    int16_t matrix, int16_t gain, bool invert) {
  const plat::ConstPlaneView<unsigned char>& g = guide.picture;
  if (!g.valid()) return {};
  const int64_t count = static_cast<int64_t>(width) * height;
  const plat::Block<unsigned char> a(count, WorkSource());
  const plat::Block<unsigned char> b(count, WorkSource());
  plat::Block<unsigned char> m(count, WorkSource());
  if (!a || !b || !m) return {};
  a.Clear();
  if (X_Newechant_charbuf(5, g.data, g.width, g.height, a.get(), width, height, 0, 0, g.width,
                          g.height, 0, 0, guide.outRight, guide.outBottom) != 0) {
    return {};
  }
  // Stopped work has no mask (its caller then fails); between steps, as
  // each takes a while on a large picture.
  if (plat::Cancelled()) return {};
  std::memcpy(b.get(), a.get(), static_cast<size_t>(count));  // the same rescale twice
  if (MatrixWholePlane(width, height, b.get(), 1, matrix == 0 ? 1 : matrix) != 0) return {};
  if (plat::Cancelled()) return {};
  // The whole plane, so that the mask's smoothing reads sound values past
  // the rectangle's edge.
  for (int64_t i = 0; i < count; ++i) {
    const int32_t d = Clamp255(gain * (b[i] - a[i]) / 2 + 128);
    m[i] = static_cast<unsigned char>(invert ? 255 - d : d);
  }
  if (MatrixWholePlane(width, height, m.get(), 1, 30) != 0) return {};
  return m;
}

SmoothGuide GuideOf(int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                    int32_t outBottom, int32_t outRight) {
  return {plat::ConstPlaneView<unsigned char>::Packed(guide, guideWidth, guideHeight), outRight,
          outBottom};
}

// The smoothing of 32-bit pixels: src and dst are packed width x height
// planes of pixels; only the clipped rectangle of dst is written.
int32_t SmoothLongCore(int16_t mode, plat::ConstPlaneView<uint32_t> src, uint32_t* dst,
                       const SmoothGuide& guide, plat::ExclusiveRect rect, int16_t limitMode,
                       int16_t iterations, int16_t opacity, int16_t radius, int16_t threshold,
                       int16_t matrix, int16_t gain) {
  const int32_t width = src.width;
  const int32_t height = src.height;
  const int64_t count = src.count();
  // The blur goes into a buffer of its own, so that dst outside the
  // rectangle keeps what it held.
  const plat::Block<uint32_t> blurred(count, WorkSource());
  const plat::Block<uint32_t> copy(iterations > 1 ? count : 0, WorkSource());
  if (!blurred || !copy) return -1;
  const plat::Block<unsigned char> mask = MakeMask(width, height, guide, matrix, gain, true);
  if (!mask) return -1;
  if (iterations <= 1) {
    if (SmartBlurLong(mode, height, width, src.data, blurred.get(), radius, threshold, 128, 32) !=
        0) {
      return -1;
    }
  } else {
    std::memcpy(copy.get(), src.data, static_cast<size_t>(count) * sizeof(uint32_t));
    for (int32_t n = 0; n < iterations; ++n) {
      if (SmartBlurLong(mode, height, width, copy.get(), blurred.get(), radius, threshold, 128,
                        32) != 0) {
        return -1;
      }
      for (int32_t y = rect.top; y < rect.bottom; ++y) {
        const int64_t row = static_cast<int64_t>(y) * width;
        std::memcpy(copy.get() + row + rect.left, blurred.get() + row + rect.left,
                    static_cast<size_t>(rect.width()) * sizeof(uint32_t));
      }
    }
  }
  // Percent: beyond 0..100 the mix would weigh outside the two values.
  const int32_t op = ClampInt(opacity, 0, 100) * 255 / 100;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src.data);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(blurred.get());
  unsigned char* d = reinterpret_cast<unsigned char*>(dst);
  // Both blends are looked up rather than called per byte (the whole
  // smoothing of 2048 x 1536, radius 10: 505 ms with a
  // call per byte, 449 ms through the tables).
  auto shape = RasterBlend(9);
  auto limit = RasterBlend(limitMode == 1 ? 5 : 4);
  // Every row filled before the bands, which then only read the tables.
  for (int32_t v = 0; v < 256; ++v) {
    shape.Row(v);
    if (limitMode == 1 || limitMode == 2) limit.Row(v);
  }
  const unsigned char* m = mask.get();
  plat::ParallelFor(rect.top, rect.bottom, kBand, [&, m](int32_t y0, int32_t y1) {
    for (int32_t y = y0; y < y1; ++y) {
      for (int32_t x = rect.left; x < rect.right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const unsigned char* shaped = shape.Row(m[i]);
        for (int k = 0; k < 4; ++k) {
          const int32_t sv = s[i * 4 + k];
          int32_t t = shaped[b[i * 4 + k]];
          if (limitMode == 1 || limitMode == 2) t = limit.Row(t)[sv];
          // To the nearest, as the blur's means: a truncated mix would take
          // half a level at any opacity short of 100.
          d[i * 4 + k] = static_cast<unsigned char>((op * t + (255 - op) * sv + 127) / 255);
        }
      }
    }
  });
  return 0;
}

}  // namespace

int32_t SmartBlurKey(const TSmartBlurData* d) {
  const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
  return static_cast<int32_t>((u(d->amount) << 8) | u(d->radius) | (u(d->spatialWeighting) << 17) |
                              (u(d->threshold) << 24) | (u(d->lowThreshold) << 4) |
                              (u(d->densityOutput) << 23));
}

int32_t prep_tables_RGB(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height) {
  return Prepare(mode, data, width, height, false);
}

int32_t StartSmartBlur_RGB(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height) {
  return prep_tables_RGB(mode, data, width, height);
}

int32_t prep_tables_buf(int16_t mode, TSmartBlurData* data, int32_t width, int32_t height) {
  return Prepare(mode, data, width, height, true);
}

int32_t StartSmartBlur_buf(TSmartBlurData* data, int32_t width, int32_t height) {
  return prep_tables_buf(1, data, width, height);
}

int32_t RunSmartBlur_RGB(TSmartBlurData* d, int32_t width, int32_t height, const uint32_t* src,
                         uint32_t* dst) {
  return RunLong<3>(d, width, height, src, dst);
}

int32_t RunSmartBlur_CMYK(TSmartBlurData* d, int32_t width, int32_t height, const uint32_t* src,
                          uint32_t* dst) {
  return RunLong<4>(d, width, height, src, dst);
}

int32_t RunSmartBlur_bufRGB(TSmartBlurData* d, int32_t width, int32_t height, RowPlanes planes) {
  return RunRowHeld(d, width, height, planes, 3);
}

int32_t RunSmartBlur_bufCMYK(TSmartBlurData* d, int32_t width, int32_t height, RowPlanes planes) {
  return RunRowHeld(d, width, height, planes, 4);
}

int32_t RunSmartBlur_bufRGB16(TSmartBlurData* d, int32_t width, int32_t height,
                              RowPlanes planes) {
  return RunRowHeld(d, width, height, planes, 16);
}

int32_t EndSmartBlur_RGB(TSmartBlurData* d) {
  if (d == nullptr) return 0;
  FreeTables(d);
  FreeWork(d);
  d->key = -1;
  return 0;
}

int32_t EndSmartBlur_buf(TSmartBlurData* d, int32_t /*width*/, int32_t height) {
  if (d == nullptr) return 0;
  FreeTables(d);
  FreeRows(d, height);
  d->key = -1;
  return 0;
}

void X_SmartBlur_RGB(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                     uint32_t* dst, int16_t radius, int16_t threshold, int16_t amount,
                     int16_t colourWeighting) {
  SmartBlurLong(mode, height, width, src, dst, radius, threshold, amount, colourWeighting);
}

void X_SmartBlur_buf(int16_t mode, int32_t height, int32_t width, RowPlanes planes, int16_t radius,
                     int16_t threshold, int16_t amount, int16_t colourWeighting) {
  SmartBlurRows(mode, height, width, planes, radius, threshold, amount, colourWeighting);
}

int32_t X_Smooth_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                        uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                        const unsigned char* guide, int32_t outBottom, int32_t outRight,
                        int32_t left, int32_t top, int32_t right, int32_t bottom,
                        int16_t /*resample*/, int32_t /*offsetX*/, int32_t /*offsetY*/,
                        float /*scaleX*/, float /*scaleY*/, int16_t limitMode,
                        int16_t iterations, int16_t opacity, int16_t radius, int16_t threshold,
                        int16_t matrix, int16_t gain) {
  const auto pixels = plat::ConstPlaneView<uint32_t>::Packed(src, width, height);
  if (!pixels.valid() || dst == nullptr) return -1;
  plat::ExclusiveRect rect{left, top, right, bottom};
  if (!rect.ClipTo(width, height)) return 0;
  return SmoothLongCore(mode, pixels, dst,
                        GuideOf(guideHeight, guideWidth, guide, outBottom, outRight), rect,
                        limitMode, iterations, opacity, radius, threshold, matrix, gain);
}

int32_t X_Smooth_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                           int32_t right, int32_t bottom, int16_t radius, int16_t threshold,
                           int16_t matrix, int16_t gain) {
  if (planes == nullptr || width <= 0 || height <= 0) return -1;
  plat::ExclusiveRect rect{left, top, right, bottom};
  rect.ClipTo(width, height);
  const plat::Block<unsigned char> mask =
      MakeMask(width, height, GuideOf(guideHeight, guideWidth, guide, outBottom, outRight), matrix,
               gain, false);
  if (!mask) return -1;
  if ((mode == 0 || mode == 1 || mode == 4) &&
      SmartBlurRows(mode, height, width, planes, radius, threshold, 128, 32) != 0) {
    return -1;
  }
  const int channels = mode == 0 ? 4 : 3;
  if (mode == 0 || mode == 1 || mode == 4) {
    for (int c = 0; c < channels; ++c) {
      for (int32_t y = rect.top; y < rect.bottom; ++y) {
        const unsigned char* m = mask.get() + static_cast<int64_t>(y) * width;
        if (mode == 4) {
          int16_t* row = Row16Of(planes, c, y);
          for (int32_t x = rect.left; x < rect.right; ++x) {
            int32_t v = row[x];
            X_optionBlend16(&v, 9, row[x], m[x] * 128);
            row[x] = static_cast<int16_t>(v);
          }
        } else {
          unsigned char* row = RowOf(planes, c, y);
          for (int32_t x = rect.left; x < rect.right; ++x) X_optionBlend(&row[x], 9, row[x], m[x]);
        }
      }
    }
  }
  return 0;
}
