// Two-layer arithmetic: a source layer's region stretched or shrunk onto a
// target layer's region by nearest sample, then combined with the target
// sample by sample.
//
// The source position of every target column and row is looked up in two
// 16-bit tables filled once per call, so the pixel loop does no division
// for the mapping. A region of a single row or column cannot be mapped (the
// tables would divide by zero): the operation then refuses with -1 and the
// target stays as it was.
//
// When the two regions have the same extent (a script maps its area onto
// itself), the source of a target sample is the sample at a fixed offset:
// the rows then run in bands on the shared threads, each in runs whose
// values and blend take the 16-bit lanes (effect_support.h). Bands must not
// read what another band writes, so that form needs one-sample planes, and
// each source plane either the target plane itself at offset 0 (every
// sample reads only itself) or a plane apart from every target plane; any
// other call keeps the one row-by-row walk.
#include <cstdint>

#include "operations/effect_support.h"
#include "operations/effects.h"

using effect_support::BlendRegionRuns;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Combine;
using effect_support::InByteRange;
using effect_support::Mix;
using effect_support::Weight;

namespace {

struct Regions {
  int32_t sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1;
};

// The clamped target region and the source offset of a mapping by whole
// samples (dx, dy), when the regions have the same extent.
struct Mapping {
  int32_t tx0, ty0, tx1, ty1;
  bool shift;
  int32_t dx, dy;
};

// Runs visit(source pixel, target pixel, weight) over the clamped target
// region, or, when the mapping is a shift and `shifted` takes it (it
// answers whether it did), hands the mapping to `shifted` instead. -1
// (nothing visited) when the regions cannot be mapped or the tables cannot
// be had.
template <typename Visit, typename Shifted>
int32_t ForEachMapped(int16_t opacity, int32_t srcHeight, int32_t srcWidth, int32_t dstHeight,
                      int32_t dstWidth, Regions r, const unsigned char* mask, Visit visit,
                      Shifted shifted) {
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
  // The tables step by the source extent over the target's: by exactly one
  // everywhere when the two are equal.
  const int32_t lastX = tx1 - tx0, lastY = ty1 - ty0;
  const bool shift = col[lastX] - col[0] == lastX && row[lastY] - row[0] == lastY;
  if (shift && shifted(Mapping{tx0, ty0, tx1, ty1, true, col[0] - tx0, row[0] - ty0})) return 0;
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

template <typename Visit>
int32_t ForEachMapped(int16_t opacity, int32_t srcHeight, int32_t srcWidth, int32_t dstHeight,
                      int32_t dstWidth, Regions r, const unsigned char* mask, Visit visit) {
  return ForEachMapped(opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask, visit,
                       [](const Mapping&) { return false; });
}

// Whether the banded form may read `src` (srcSize samples) while it writes
// `dst`: the same plane at offset 0, or planes that do not meet.
bool Apart(const unsigned char* src, int64_t srcSize, const unsigned char* dst, int64_t dstSize,
           const Mapping& m) {
  if (src == dst) return m.dx == 0 && m.dy == 0 && srcSize == dstSize;
  const auto s = reinterpret_cast<uintptr_t>(src), d = reinterpret_cast<uintptr_t>(dst);
  return s + static_cast<uintptr_t>(srcSize) <= d || d + static_cast<uintptr_t>(dstSize) <= s;
}

// Values of one run of a shifted source: value(old, s) of the n target
// samples `old` and their source samples `s`.
template <typename Value>
auto ShiftedValues(const unsigned char* src, int32_t srcWidth, const Mapping& m, Value value) {
  return [=](int32_t x, int32_t y, const unsigned char* old, unsigned char* out, int32_t n) {
    const unsigned char* s = src + static_cast<int64_t>(y + m.dy) * srcWidth + x + m.dx;
    value(old, s, out, n);
  };
}

// The four interleaved operations: every target channel takes the first
// sample of the mapped source pixel through `effect(old, s)`. lanes(old, s,
// out, n) is the same value of a run in 16-bit lanes, used when
// `lanesFit` (the amount lies in 0..255, so no product leaves them).
template <typename Effect, typename Lanes>
int32_t Interleaved(int16_t mode, int16_t opacity, const unsigned char* src, int32_t srcHeight,
                    int32_t srcWidth, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                    Regions r, int16_t srcChannels, int16_t dstChannels, const unsigned char* mask,
                    Effect effect, bool lanesFit, Lanes lanes) {
  if (src == nullptr || dst == nullptr || srcChannels < 1 || dstChannels < 1) return -1;
  const int32_t cs = srcChannels, ct = dstChannels;
  auto shifted = [&](const Mapping& m) {
    if (cs != 1 || ct != 1) return false;
    if (!Apart(src, static_cast<int64_t>(srcHeight) * srcWidth, dst,
               static_cast<int64_t>(dstHeight) * dstWidth, m))
      return false;
    BlendRegionRuns(
        mode, opacity, dst, mask, dstWidth, dstHeight, m.tx0, m.ty0, m.tx1, m.ty1,
        ShiftedValues(
            src, srcWidth, m,
            [=](const unsigned char* old, const unsigned char* s, unsigned char* out, int32_t n) {
              if (lanesFit) {
                lanes(old, s, out, n);
                return;
              }
              for (int32_t i = 0; i < n; ++i)
                out[i] = static_cast<unsigned char>(Clamp255(effect(old[i], s[i])));
            }));
    return true;
  };
  return ForEachMapped(
      opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
      [&](int64_t from, int64_t to, int32_t a) {
        const int32_t s = src[from * cs];
        unsigned char* d = dst + to * ct;
        for (int32_t ch = 0; ch < ct; ++ch) {
          const int32_t old = d[ch];
          d[ch] = Mix(old, Combine(mode, old, Clamp255(effect(old, s))), a);
        }
      },
      shifted);
}

// k * s / 255 of a run in 16-bit lanes, k in 0..255.
inline uint16_t ScaledLane(uint16_t k, unsigned char s) {
  return static_cast<uint16_t>(static_cast<uint16_t>(k * s) / 255);
}

// Replace's value of one sample before the mix: the amount k of the
// combined sample over the old one.
inline int32_t ReplaceValue(int16_t mode, int32_t k, int32_t old, int32_t s) {
  return Clamp255(((255 - k) * old + k * Combine(mode, old, s)) / 255);
}

}  // namespace

int32_t Effects::GetOffset(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight, int32_t dstWidth,
                           int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0,
                           int32_t ty0, int32_t tx1, int32_t ty1, int16_t* columns, int16_t* rows) {
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
    *d = Mix(old, ReplaceValue(mode, k, old, s), a);
  };
  const Regions r{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1};
  const int32_t cs = srcChannels, ct = dstChannels;
  if (srcRed == nullptr || dstRed == nullptr) return -1;
  const int64_t srcSize = static_cast<int64_t>(srcHeight) * srcWidth;
  const int64_t dstSize = static_cast<int64_t>(dstHeight) * dstWidth;
  // Target plane t of `count`, from the planes `from` (their mean when
  // there are three): one whole-plane pass each, in order. A pass may read
  // its own target at offset 0; a plane that a later pass reads must not be
  // an earlier pass's target.
  auto passes = [&](const Mapping& m, unsigned char* const* to, int32_t count,
                    const unsigned char* const* from, bool mean) {
    const int32_t reads = mean ? 3 : 1;
    for (int32_t t = 0; t < count; ++t) {
      for (int32_t later = t; later < count; ++later) {
        for (int32_t j = 0; j < reads; ++j) {
          const unsigned char* f = from[mean ? j : later];
          if (later == t ? !Apart(f, srcSize, to[t], dstSize, m)
                         : f == to[t] || !Apart(f, srcSize, to[t], dstSize, m))
            return false;
        }
      }
    }
    const bool lanesFit = mode == 0 && InByteRange(k);
    for (int32_t t = 0; t < count; ++t) {
      const unsigned char* s0 = from[mean ? 0 : t];
      const unsigned char* s1 = mean ? from[1] : nullptr;
      const unsigned char* s2 = mean ? from[2] : nullptr;
      const int64_t first = static_cast<int64_t>(m.dy) * srcWidth + m.dx;
      BlendRegionRuns(
          0, opacity, to[t], mask, dstWidth, dstHeight, m.tx0, m.ty0, m.tx1, m.ty1,
          [=](int32_t x, int32_t y, const unsigned char* old, unsigned char* out, int32_t n) {
            const int64_t at = static_cast<int64_t>(y) * srcWidth + x + first;
            unsigned char single[effect_support::kRun];
            const unsigned char* s = s0 + at;
            if (mean) {
              for (int32_t i = 0; i < n; ++i)
                single[i] = static_cast<unsigned char>((s0[at + i] + s1[at + i] + s2[at + i]) / 3);
              s = single;
            }
            if (lanesFit) {
              const auto kk = static_cast<uint16_t>(k);
              for (int32_t i = 0; i < n; ++i)
                out[i] = static_cast<unsigned char>(
                    static_cast<uint16_t>((255 - kk) * old[i] + kk * s[i]) / 255);
              return;
            }
            for (int32_t i = 0; i < n; ++i)
              out[i] = static_cast<unsigned char>(ReplaceValue(mode, k, old[i], s[i]));
          });
    }
    return true;
  };
  if (cs == 1 && ct == 1) {
    unsigned char* to[1] = {dstRed};
    const unsigned char* from[1] = {srcRed};
    return ForEachMapped(
        opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
        [&](int64_t f, int64_t t, int32_t a) { put(dstRed + t, srcRed[f], a); },
        [&](const Mapping& m) { return passes(m, to, 1, from, false); });
  }
  if (dstGreen == nullptr || dstBlue == nullptr) {
    // Only the mean of three planes goes into a single target plane.
    if (!(cs == 3 && ct != 3)) return -1;
  }
  unsigned char* const all[3] = {dstRed, dstGreen, dstBlue};
  if (cs == ct) {
    if (srcGreen == nullptr || srcBlue == nullptr) return -1;
    const unsigned char* from[3] = {srcRed, srcGreen, srcBlue};
    return ForEachMapped(
        opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
        [&](int64_t f, int64_t t, int32_t a) {
          put(dstRed + t, srcRed[f], a);
          put(dstGreen + t, srcGreen[f], a);
          put(dstBlue + t, srcBlue[f], a);
        },
        [&](const Mapping& m) { return ct == 3 && passes(m, all, 3, from, false); });
  }
  if (cs == 3) {
    if (srcGreen == nullptr || srcBlue == nullptr) return -1;
    const unsigned char* from[3] = {srcRed, srcGreen, srcBlue};
    return ForEachMapped(
        opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
        [&](int64_t f, int64_t t, int32_t a) {
          const int32_t s = (srcRed[f] + srcGreen[f] + srcBlue[f]) / 3;
          put(dstRed + t, s, a);
        },
        [&](const Mapping& m) { return ct == 1 && passes(m, all, 1, from, true); });
  }
  const unsigned char* from[3] = {srcRed, srcRed, srcRed};
  return ForEachMapped(
      opacity, srcHeight, srcWidth, dstHeight, dstWidth, r, mask,
      [&](int64_t f, int64_t t, int32_t a) {
        const int32_t s = srcRed[f];
        put(dstRed + t, s, a);
        put(dstGreen + t, s, a);
        put(dstBlue + t, s, a);
      },
      [&](const Mapping& m) { return cs == 1 && ct == 3 && passes(m, all, 3, from, false); });
}

int32_t Effects::Add(int16_t mode, int16_t opacity, const unsigned char* src, int32_t srcHeight,
                     int32_t srcWidth, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                     int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0,
                     int32_t tx1, int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                     const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(
      mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
      Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels, mask,
      [k](int32_t old, int32_t s) { return old + k * s / 255; }, InByteRange(k),
      [k](const unsigned char* old, const unsigned char* s, unsigned char* out, int32_t n) {
        const auto kk = static_cast<uint16_t>(k);
        for (int32_t i = 0; i < n; ++i) {
          const auto v = static_cast<uint16_t>(old[i] + ScaledLane(kk, s[i]));
          out[i] = static_cast<unsigned char>(v < 255 ? v : 255);
        }
      });
}

int32_t Effects::Subtract(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(
      mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
      Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels, mask,
      [k](int32_t old, int32_t s) { return old - k * s / 255; }, InByteRange(k),
      [k](const unsigned char* old, const unsigned char* s, unsigned char* out, int32_t n) {
        const auto kk = static_cast<uint16_t>(k);
        for (int32_t i = 0; i < n; ++i) {
          const auto v = static_cast<int16_t>(old[i] - ScaledLane(kk, s[i]));
          out[i] = static_cast<unsigned char>(v > 0 ? v : 0);
        }
      });
}

int32_t Effects::Difference(int16_t mode, int16_t opacity, const unsigned char* src,
                            int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                            int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                            int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                            int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                            const unsigned char* mask, int16_t amount) {
  const int32_t k = amount;
  return Interleaved(
      mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
      Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels, mask,
      [k](int32_t old, int32_t s) {
        const int32_t d = old - k * s / 255;
        return d < 0 ? -d : d;
      },
      InByteRange(k),
      [k](const unsigned char* old, const unsigned char* s, unsigned char* out, int32_t n) {
        const auto kk = static_cast<uint16_t>(k);
        for (int32_t i = 0; i < n; ++i) {
          const auto d = static_cast<int16_t>(old[i] - ScaledLane(kk, s[i]));
          out[i] = static_cast<unsigned char>(d < 0 ? -d : d);
        }
      });
}

int32_t Effects::Multiply(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask) {
  return Interleaved(
      mode, opacity, src, srcHeight, srcWidth, dst, dstHeight, dstWidth,
      Regions{sx0, sy0, sx1, sy1, tx0, ty0, tx1, ty1}, srcChannels, dstChannels, mask,
      [](int32_t old, int32_t s) { return old * s / 255; }, true,
      [](const unsigned char* old, const unsigned char* s, unsigned char* out, int32_t n) {
        for (int32_t i = 0; i < n; ++i)
          out[i] = static_cast<unsigned char>(static_cast<uint16_t>(old[i] * s[i]) / 255);
      });
}
