// Two-layer arithmetic: a source layer's region stretched or shrunk onto a
// target layer's region by nearest sample, then combined with the target
// sample by sample.
//
// The source position of every target column and row is looked up in two
// 16-bit tables filled once per call, so the pixel loop does no division
// for the mapping. A region of a single row or column cannot be mapped (the
// tables would divide by zero): the operation then refuses with -1 and the
// target stays as it was.
#include <cstdint>

#include "operations/effect_support.h"
#include "operations/effects.h"

using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Combine;
using effect_support::Mix;
using effect_support::Weight;

namespace {

struct Regions {
  int32_t sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1;
};

// Runs visit(source pixel, target pixel, weight) over the clamped target
// region. -1 (nothing visited) when the regions cannot be mapped or the
// tables cannot be had.
template <typename Visit>
int32_t ForEachMapped(int16_t opacity, int32_t srcHeight, int32_t srcWidth, int32_t dstHeight,
                      int32_t dstWidth, Regions r, const unsigned char* mask, Visit visit) {
  int32_t tx0 = r.tx0, ty0 = r.ty0, tx1 = r.tx1, ty1 = r.ty1;
  ClampRegion(dstWidth, dstHeight, tx0, ty0, tx1, ty1);
  if (tx1 < tx0 || ty1 < ty0) return -1;
  plat::Block<int16_t> columns(static_cast<int64_t>(tx1) - tx0 + 1, WorkSource());
  if (!columns) return -1;
  plat::Block<int16_t> rows(static_cast<int64_t>(ty1) - ty0 + 1, WorkSource());
  if (!rows) return -1;
  int16_t* col = columns.get();
  int16_t* row = rows.get();
  if (Effects::GetOffset(srcHeight, srcWidth, dstHeight, dstWidth, r.sx0, r.sy0, r.sx1, r.sy1,
                         r.tx0, r.ty0, r.tx1, r.ty1, col, row) != 0) {
    return -1;
  }
  for (int32_t y = ty0; y <= ty1; ++y) {
    const int64_t srcRow = static_cast<int64_t>(row[y - ty0]) * srcWidth;
    const int64_t dstRow = static_cast<int64_t>(y) * dstWidth;
    for (int32_t x = tx0; x <= tx1; ++x) {
      const int64_t target = dstRow + x;
      visit(srcRow + col[x - tx0], target, Weight(mask, target, opacity));
    }
  }
  return 0;
}

// The four interleaved operations: every target channel takes the first
// sample of the mapped source pixel through `effect(old, s)`.
template <typename Effect>
int32_t Interleaved(int16_t mode, int16_t opacity, const unsigned char* src, int32_t srcHeight,
                    int32_t srcWidth, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                    Regions r, int16_t srcChannels, int16_t dstChannels,
                    const unsigned char* mask, Effect effect) {
  if (src == nullptr || dst == nullptr || srcChannels < 1 || dstChannels < 1) return -1;
  const int32_t cs = srcChannels, ct = dstChannels;
  return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
                       [&](int64_t from, int64_t to, int32_t a) {
                         const int32_t s = src[from * cs];
                         unsigned char* d = dst + to * ct;
                         for (int32_t ch = 0; ch < ct; ++ch) {
                           const int32_t old = d[ch];
                           d[ch] = Mix(old, Combine(mode, old, Clamp255(effect(old, s))), a);
                         }
                       });
}

}  // namespace

int32_t Effects::GetOffset(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight,
                           int32_t dstWidth, int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1,
                           int32_t tx0, int32_t ty0, int32_t tx1, int32_t ty1, int16_t* columns,
                           int16_t* rows) {
  ClampRegion(srcWidth, srcHeight, sx0, sy0, sx1, sy1);
  ClampRegion(dstWidth, dstHeight, tx0, ty0, tx1, ty1);
  // A single row or column counts as empty: its extent would be a divisor.
  if (!(sy0 < sy1 && sx0 < sx1) || !(ty0 < ty1 && tx0 < tx1)) return -1;
  // The tables hold 16-bit coordinates; a wider source would wrap around.
  if (sx1 > INT16_MAX || sy1 > INT16_MAX) return -1;
  if (columns == nullptr || rows == nullptr) return -1;
  // The numerator grows by the source extent each step, so the last entry
  // lands exactly on the region's last row or column.
  int64_t n = 0;
  for (int32_t k = 0; k <= ty1 - ty0; ++k, n += sy1 - sy0) {
    rows[k] = static_cast<int16_t>(sy0 + n / (ty1 - ty0));
  }
  n = 0;
  for (int32_t k = 0; k <= tx1 - tx0; ++k, n += sx1 - sx0) {
    columns[k] = static_cast<int16_t>(sx0 + n / (tx1 - tx0));
  }
  return 0;
}

int32_t Effects::Replace(int16_t mode, int16_t opacity, const unsigned char* srcRed,
                         const unsigned char* srcGreen, const unsigned char* srcBlue,
                         int32_t srcHeight, int32_t srcWidth, unsigned char* dstRed,
                         unsigned char* dstGreen, unsigned char* dstBlue, int32_t dstHeight,
                         int32_t dstWidth, int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1,
                         int32_t tx0, int32_t ty0, int32_t tx1, int32_t ty1, int16_t srcChannels,
                         int16_t dstChannels, const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  // The kernel's result is mixed into the old sample by the amount before
  // the usual weighting (a Fill mixes before the kernel instead).
  auto put = [&](unsigned char* d, int32_t s, int32_t a) {
    const int32_t old = *d;
    const int32_t combined = Clamp255(((255 - k) * old + k * Combine(mode, old, s)) / 255);
    *d = Mix(old, combined, a);
  };
  const Regions r{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1};
  const int32_t cs = srcChannels, ct = dstChannels;
  if (srcRed == nullptr || dstRed == nullptr) return -1;
  if (cs == 1 && ct == 1) {
    return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
                         [&](int64_t from, int64_t to, int32_t a) {
                           put(dstRed + to, srcRed[from], a);
                         });
  }
  if (dstGreen == nullptr || dstBlue == nullptr) {
    // Only the mean of three planes goes into a single target plane.
    if (!(cs == 3 && ct != 3)) return -1;
  }
  if (cs == ct) {
    if (srcGreen == nullptr || srcBlue == nullptr) return -1;
    return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
                         [&](int64_t from, int64_t to, int32_t a) {
                           put(dstRed + to, srcRed[from], a);
                           put(dstGreen + to, srcGreen[from], a);
                           put(dstBlue + to, srcBlue[from], a);
                         });
  }
  if (cs == 3) {
    if (srcGreen == nullptr || srcBlue == nullptr) return -1;
    return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
                         [&](int64_t from, int64_t to, int32_t a) {
                           const int32_t s = (srcRed[from] + srcGreen[from] + srcBlue[from]) / 3;
                           put(dstRed + to, s, a);
                         });
  }
  return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
                       [&](int64_t from, int64_t to, int32_t a) {
                         const int32_t s = srcRed[from];
                         put(dstRed + to, s, a);
                         put(dstGreen + to, s, a);
                         put(dstBlue + to, s, a);
                       });
}

int32_t Effects::Add(int16_t mode, int16_t opacity, const unsigned char* src, int32_t srcHeight,
                     int32_t srcWidth, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                     int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0,
                     int32_t tx1, int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                     const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
                     Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels,
                     mask, [k](int32_t old, int32_t s) { return old + k * s / 255; });
}

int32_t Effects::Subtract(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
                     Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels,
                     mask, [k](int32_t old, int32_t s) { return old - k * s / 255; });
}

int32_t Effects::Difference(int16_t mode, int16_t opacity, const unsigned char* src,
                            int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                            int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                            int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                            int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                            const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
                     Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels,
                     mask, [k](int32_t old, int32_t s) {
                       const int32_t d = old - k * s / 255;
                       return d < 0 ? -d : d;
                     });
}

int32_t Effects::Multiply(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask) {
  return Interleaved(mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
                     Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels,
                     mask, [](int32_t old, int32_t s) { return old * s / 255; });
}
