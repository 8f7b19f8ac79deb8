// Two-layer operations that paint a target through the source's grey: the
// luminance-to-colour ramp, the shadow (a shifted, blurred grey painted
// through the ramp), the grown or shrunk bright shapes in one colour, and
// the outline between a source and its dilation.
//
// The ramp index of a grey value is shifted differently by the two forms
// of LutToColor, and both are kept: the planar form cycles over entries
// 1..255 (s + i, less 255 past 255), the interleaved form subtracts the
// shift from the greys at or above it and leaves the others. Shifts are
// held to 0..255, the extent of the ramp.
//
// The shadow's shift wraps a coordinate that leaves the source region back
// by the region's extent less one, as often as it takes to land inside;
// coordinates inside never move, and a region of one column (row) reads
// its only column (row).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "operations/colour_ramp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "operations/rank_kernels.h"
#include "platform/parallel/parallel.h"

using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::Combine;
using effect_support::Mix;
using effect_support::Weight;

namespace {

struct Region {
  int32_t x0, y0, x1, y1;
};

// The ramp's entry for each grey value.
using IndexMap = unsigned char[256];

void PlanarIndex(int32_t shift, IndexMap map) {
  const int32_t s = Clamp255(shift);
  for (int32_t i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(s + i > 255 ? s + i - 255 : s + i);
}

void InterleavedIndex(int32_t shift, IndexMap map) {
  const int32_t s = Clamp255(shift);
  for (int32_t i = 0; i < 256; ++i) map[i] = static_cast<unsigned char>(i >= s ? i - s : i);
}

// When a pixel may be painted on its own: `apart`, no source sample shares a byte with a
// target sample; `pointwise`, a pixel mapped onto its own index reads only its own samples.
struct Banding {
  bool apart, pointwise;
};

// Whether any of the sources (srcSize bytes each, null skipped) meets any target.
bool Meet(const unsigned char* const* from, int32_t nFrom, int64_t srcSize,
          unsigned char* const* to, int32_t nTo, int64_t dstSize) {
  for (int32_t i = 0; i < nFrom; ++i)
    for (int32_t j = 0; j < nTo; ++j) {
      if (from[i] == nullptr || to[j] == nullptr) continue;
      const auto a = reinterpret_cast<uintptr_t>(from[i]), b = reinterpret_cast<uintptr_t>(to[j]);
      if (a < b + static_cast<uintptr_t>(dstSize) && b < a + static_cast<uintptr_t>(srcSize))
        return true;
    }
  return false;
}

// Runs paint(source pixel, target pixel, weight) over the clamped target
// region, each target pixel mapped onto its source pixel: in bands of rows
// on the shared threads when `banding` allows it, else row by row. -1,
// nothing painted, when the regions cannot be mapped or the tables cannot
// be had.
template <typename Paint>
int32_t ForEachMappedPixel(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight, int32_t dstWidth,
                           Region s, Region t, int16_t opacity, const unsigned char* mask,
                           Paint paint, Banding banding) {
  Region c = t;
  ClampRegion(dstWidth, dstHeight, c.x0, c.y0, c.x1, c.y1);
  if (c.x0 > c.x1 || c.y0 > c.y1) return -1;
  plat::Block<int16_t> columns(static_cast<int64_t>(c.x1) - c.x0 + 1, WorkSource());
  plat::Block<int16_t> rows(static_cast<int64_t>(c.y1) - c.y0 + 1, WorkSource());
  if (!columns || !rows) return -1;
  if (Effects::GetOffset(srcHeight, srcWidth, dstHeight, dstWidth, s.x0, s.y0, s.x1, s.y1, t.x0,
                         t.y0, t.x1, t.y1, columns.get(), rows.get()) != 0) {
    return -1;
  }
  const int16_t* col = columns.get();
  const int16_t* row = rows.get();
  auto paintRows = [&](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      const int64_t srcRow = static_cast<int64_t>(row[y - c.y0]) * srcWidth;
      for (int32_t x = c.x0; x <= c.x1; ++x) {
        const int64_t target = static_cast<int64_t>(y) * dstWidth + x;
        paint(srcRow + col[x - c.x0], target, Weight(mask, target, opacity));
      }
    }
  };
  // Every pixel onto its own index: the tables step by one from the region's corner.
  const int32_t lastX = c.x1 - c.x0, lastY = c.y1 - c.y0;
  const bool own = srcWidth == dstWidth && col[0] == c.x0 && col[lastX] == c.x1 && row[0] == c.y0 &&
                   row[lastY] == c.y1;
  if (banding.apart || (banding.pointwise && own)) {
    plat::ParallelFor(c.y0, c.y1 + 1, effect_support::kPixelBandRows, paintRows);
    return 0;
  }
  paintRows(c.y0, c.y1 + 1);
  return 0;
}

// Whether every target pixel of region t (clamped) is painted from the same pixel of the
// source, as ForEachMappedPixel maps them.
bool MapsOntoItself(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight, int32_t dstWidth,
                    Region s, Region t) {
  Region c = t;
  ClampRegion(dstWidth, dstHeight, c.x0, c.y0, c.x1, c.y1);
  if (c.x0 > c.x1 || c.y0 > c.y1 || srcWidth != dstWidth) return false;
  plat::Block<int16_t> columns(static_cast<int64_t>(c.x1) - c.x0 + 1, WorkSource());
  plat::Block<int16_t> rows(static_cast<int64_t>(c.y1) - c.y0 + 1, WorkSource());
  if (!columns || !rows) return false;
  if (Effects::GetOffset(srcHeight, srcWidth, dstHeight, dstWidth, s.x0, s.y0, s.x1, s.y1, t.x0,
                         t.y0, t.x1, t.y1, columns.get(), rows.get()) != 0)
    return false;
  for (int32_t x = c.x0; x <= c.x1; ++x)
    if (columns[x - c.x0] != x) return false;
  for (int32_t y = c.y0; y <= c.y1; ++y)
    if (rows[y - c.y0] != y) return false;
  return true;
}

// The planar ramp painted in runs of a row, every pixel from its own source pixel: the
// ramp entries and weights of a run are looked up first, then each target plane takes both
// of Lay's mixes in the 16-bit lanes. Only for replacement with the opacity and every ramp
// opacity in 0..255: each product is then at most 255 x 255 and the lay's clamp never
// bites, so every byte is Lay's.
struct LaneRamp {
  const unsigned char* src[4];
  int32_t sources;  // 1, 3 (their mean) or 4 (their sum shifted by 2)
  unsigned char* dst[4];
  int32_t count;
  const unsigned char* mask;
  uint16_t opacity;
  IndexMap index;
  unsigned char a[256];
  unsigned char colour[4][256];
};

// d[i] = Mix(d[i], Lay's colour over d[i], w[i]) for i < n.
inline void LayLanes(unsigned char* __restrict d, const unsigned char* __restrict colour,
                     const unsigned char* __restrict a, const unsigned char* __restrict w,
                     int32_t n) {
  using effect_support::MixLane;
  int32_t i = 0;
  for (; i + effect_support::kMixStep <= n; i += effect_support::kMixStep)
    for (int32_t k = 0; k < effect_support::kMixStep; ++k) {
      const uint16_t old = d[i + k];
      d[i + k] = MixLane(old, MixLane(old, colour[i + k], a[i + k]), w[i + k]);
    }
  for (; i < n; ++i) {
    const uint16_t old = d[i];
    d[i] = MixLane(old, MixLane(old, colour[i], a[i]), w[i]);
  }
}

// The n pixels from index p on.
void LaneRampRun(const LaneRamp& r, int64_t p, int32_t n) {
  using effect_support::kRun;
  unsigned char j[kRun], a[kRun], w[kRun], colour[kRun];
  const unsigned char* s0 = r.src[0] + p;
  if (r.sources == 1) {
    for (int32_t i = 0; i < n; ++i) j[i] = r.index[s0[i]];
  } else if (r.sources == 3) {
    const unsigned char* s1 = r.src[1] + p;
    const unsigned char* s2 = r.src[2] + p;
    for (int32_t i = 0; i < n; ++i) j[i] = r.index[(s0[i] + s1[i] + s2[i]) / 3];
  } else {
    const unsigned char* s1 = r.src[1] + p;
    const unsigned char* s2 = r.src[2] + p;
    const unsigned char* s3 = r.src[3] + p;
    for (int32_t i = 0; i < n; ++i) j[i] = r.index[(s0[i] + s1[i] + s2[i] + s3[i]) >> 2];
  }
  for (int32_t i = 0; i < n; ++i) a[i] = r.a[j[i]];
  if (r.mask == nullptr) {
    std::memset(w, r.opacity, static_cast<size_t>(n));
  } else {
    const unsigned char* m = r.mask + p;
    for (int32_t i = 0; i < n; ++i) w[i] = static_cast<unsigned char>(effect_support::MaskLane(m[i], r.opacity));
  }
  for (int32_t c = 0; c < r.count; ++c) {
    for (int32_t i = 0; i < n; ++i) colour[i] = r.colour[c][j[i]];
    LayLanes(r.dst[c] + p, colour, a, w, n);
  }
}

// The ramp colour laid over a target sample by the ramp's opacity a, then
// blended.
inline unsigned char Lay(int16_t mode, int32_t old, int32_t colour, int32_t a, int32_t weight) {
  const int32_t v = Clamp255(((255 - a) * old + a * colour) / 255);
  return Mix(old, Combine(mode, old, v), weight);
}

// Moves v into lo..hi by whole steps of hi - lo.
int32_t Wrap(int64_t v, int32_t lo, int32_t hi) {
  const int64_t period = hi - lo;
  if (v < lo) {
    if (period == 0) return lo;
    v += (lo - v + period - 1) / period * period;
  } else if (v > hi) {
    if (period == 0) return hi;
    v -= (v - hi + period - 1) / period * period;
  }
  return static_cast<int32_t>(v);
}

// The shadow's grey plane: rw x rh samples of grey(source pixel index),
// moved by the offsets and wrapped into the source region.
template <typename Grey>
bool ShiftedGrey(plat::Block<unsigned char>& work, int32_t srcWidth, Region s, int16_t offsetX,
                 int16_t offsetY, Grey grey) {
  const int32_t rw = s.x1 - s.x0 + 1, rh = s.y1 - s.y0 + 1;
  work = plat::Block<unsigned char>(static_cast<int64_t>(rw) * rh, WorkSource());
  if (!work) return false;
  for (int32_t y = 0; y < rh; ++y) {
    const int32_t sy = Wrap(static_cast<int64_t>(s.y0) + y + offsetY, s.y0, s.y1);
    for (int32_t x = 0; x < rw; ++x) {
      const int32_t sx = Wrap(static_cast<int64_t>(s.x0) + x - offsetX, s.x0, s.x1);
      work[static_cast<int64_t>(y) * rw + x] =
          static_cast<unsigned char>(grey(static_cast<int64_t>(sy) * srcWidth + sx));
    }
  }
  return true;
}

// Clamps the shadow's source region; false when nothing is left of it.
bool ShadowRegion(int32_t srcHeight, int32_t srcWidth, Region& s) {
  ClampRegion(srcWidth, srcHeight, s.x0, s.y0, s.x1, s.y1);
  return s.x0 <= s.x1 && s.y0 <= s.y1;
}

// Integer square root: the largest q with q * q <= n.
int64_t ISqrt(int64_t n) {
  if (n < 0) return -1;
  auto q = static_cast<int64_t>(std::sqrt(static_cast<double>(n)));
  while (q * q > n) --q;
  while ((q + 1) * (q + 1) <= n) ++q;
  return q;
}

// The shapes of ContrExp: `work` (the source's size) is stamped with discs
// of `value` about the edge pixels of the source region.
class Stamper {
 public:
  Stamper(const unsigned char* src, unsigned char* work, int32_t width, Region r, int32_t radius,
          unsigned char value)
      : src_(src), work_(work), width_(width), r_(r), radius_(radius), value_(value) {}

  // Stamps every edge pixel (above 128, on the region's border or beside a
  // sample of at most 128); with `everyBorder` every border pixel counts.
  // Returns how many were stamped.
  //
  // Every disc writes the one value and the edges are read from the source,
  // so the stamped plane is the same in any order: the rows go in bands to
  // the shared threads, each band stamping the discs of the edges within a
  // radius of it into its own rows only, and counting its own edges.
  int64_t Pass(bool everyBorder) const {
    const int32_t bands = plat::BandCount(r_.y0, r_.y1 + 1, kStampRows);
    plat::Block<int64_t> counts(bands, WorkSource());
    if (!counts) return PassRows(everyBorder, r_.y0, r_.y1 + 1);
    int64_t* count = counts.get();
    plat::ParallelFor(r_.y0, r_.y1 + 1, kStampRows, [&](int32_t band, int32_t first, int32_t end) {
      count[band] = PassRows(everyBorder, first, end);
    });
    int64_t edges = 0;
    for (int32_t b = 0; b < bands; ++b) edges += count[b];
    return edges;
  }

 private:
  static constexpr int32_t kStampRows = 32;

  // The stamping of rows first..end - 1: discs of every edge whose disc reaches them, drawn
  // into those rows; the edges of those rows counted.
  int64_t PassRows(bool everyBorder, int32_t first, int32_t end) const {
    int64_t edges = 0;
    // A disc spans radius - 1 rows either side of its edge (none at radius 0 or 1); the
    // band's own rows are always scanned, for their count.
    const int64_t spread = std::max<int64_t>(int64_t{radius_} - 1, 0);
    const int64_t from = std::max<int64_t>(r_.y0, int64_t{first} - spread);
    const int64_t to = std::min<int64_t>(r_.y1, int64_t{end} - 1 + spread);
    for (int64_t y = from; y <= to; ++y) {
      for (int32_t x = r_.x0; x <= r_.x1; ++x) {
        const auto yy = static_cast<int32_t>(y);
        if (IsEdge(x, yy) || (everyBorder && OnBorder(x, yy))) {
          Disc(x, yy, first, end);
          if (y >= first && y < end) ++edges;
        }
      }
    }
    return edges;
  }

  unsigned char At(int32_t x, int32_t y) const { return src_[static_cast<int64_t>(y) * width_ + x]; }
  bool OnBorder(int32_t x, int32_t y) const {
    return x == r_.x0 || x == r_.x1 || y == r_.y0 || y == r_.y1;
  }
  bool IsEdge(int32_t x, int32_t y) const {
    if (At(x, y) <= 128) return false;
    return OnBorder(x, y) || At(x - 1, y) <= 128 || At(x + 1, y) <= 128 || At(x, y - 1) <= 128 ||
           At(x, y + 1) <= 128;
  }
  // The points (x + i, y + j) with i^2 + j^2 < radius^2 inside the region
  // and in rows first..end - 1.
  void Disc(int32_t x, int32_t y, int32_t first, int32_t end) const {
    const int64_t r2 = static_cast<int64_t>(radius_) * radius_;
    const int64_t top =
        std::max<int64_t>({r_.y0, static_cast<int64_t>(y) - radius_ + 1, int64_t{first}});
    const int64_t bottom =
        std::min<int64_t>({r_.y1, static_cast<int64_t>(y) + radius_ - 1, int64_t{end} - 1});
    for (int64_t yy = top; yy <= bottom; ++yy) {
      const int64_t j = yy - y;
      const int64_t reach = ISqrt(r2 - j * j - 1);
      if (reach < 0) continue;
      const int64_t left = std::max<int64_t>(r_.x0, x - reach);
      const int64_t right = std::min<int64_t>(r_.x1, x + reach);
      if (left > right) continue;
      std::memset(work_ + yy * width_ + left, value_, static_cast<size_t>(right - left + 1));
    }
  }

  const unsigned char* src_;
  unsigned char* work_;
  int32_t width_;
  Region r_;
  int32_t radius_;
  unsigned char value_;
};

}  // namespace

namespace {

// Whether the planar ramp may take the lanes: replacement, an opacity and every ramp opacity
// in 0..255, and no target sample that a pixel's reads (its sources, its mask) share with
// another pixel: a source is either apart from every target or one of them, the mask apart
// from them all.
bool LaneRampFits(int16_t mode, int16_t opacity, const unsigned char* const* sources, unsigned char* const* targets,
                  int32_t count, const unsigned char* mask, int32_t srcHeight, int32_t srcWidth,
                  int32_t dstHeight, int32_t dstWidth, const RampRows& ramp, int32_t k) {
  if (mode != 0 || !effect_support::InByteRange(opacity)) return false;
  for (int32_t i = 0; i < 256; ++i)
    if (!effect_support::InByteRange(ramp.rows[0][i] * k / 255)) return false;
  const int64_t srcSize = int64_t{srcHeight} * srcWidth, dstSize = int64_t{dstHeight} * dstWidth;
  // Targets are the same plane or apart: each plane is painted a run at a time.
  for (int32_t t = 0; t < count; ++t)
    for (int32_t u = t + 1; u < count; ++u)
      if (targets[t] != targets[u] && Meet(const_cast<const unsigned char* const*>(&targets[t]), 1,
                                           dstSize, &targets[u], 1, dstSize))
        return false;
  for (int32_t i = 0; i < 4; ++i) {
    if (sources[i] == nullptr || !Meet(&sources[i], 1, srcSize, targets, count, dstSize))
      continue;
    if (srcSize != dstSize) return false;
    bool same = false;
    for (int32_t t = 0; t < count; ++t) same = same || targets[t] == sources[i];
    if (!same) return false;
    // A source that is one target must meet no other one.
    for (int32_t t = 0; t < count; ++t)
      if (targets[t] != sources[i] && Meet(&sources[i], 1, srcSize, &targets[t], 1, dstSize))
        return false;
  }
  return mask == nullptr || !Meet(&mask, 1, dstSize, targets, count, dstSize);
}

}  // namespace

int32_t Effects::LutToColor(int16_t mode, int16_t opacity, const unsigned char* src0,
                            const unsigned char* src1, const unsigned char* src2,
                            const unsigned char* src3, int32_t srcHeight, int32_t srcWidth,
                            unsigned char* dst0, unsigned char* dst1, unsigned char* dst2,
                            unsigned char* dst3, int32_t dstHeight, int32_t dstWidth,
                            int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0,
                            int32_t ty0, int32_t tx1, int32_t ty1, int16_t colourModel,
                            int16_t srcChannels, int16_t dstChannels, const unsigned char* mask,
                            const unsigned char* table, int16_t shift, int16_t strength) {
  const bool rgb = colourModel != 0;
  const bool oneSource = srcChannels < 2;
  if (table == nullptr || src0 == nullptr) return -1;
  if (!oneSource && (src1 == nullptr || src2 == nullptr || (!rgb && src3 == nullptr))) return -1;
  unsigned char* targets[4] = {dst0, dst1, dst2, dst3};
  // The ramp has four channel rows; further target channels have none.
  const int32_t count = std::clamp<int32_t>(dstChannels, 0, 4);
  for (int32_t k = 0; k < count; ++k) {
    if (targets[k] == nullptr) return -1;
  }
  IndexMap index;
  PlanarIndex(shift, index);
  const RampRows ramp(table, rgb, RampRows::Inks::kYMCK);
  const int32_t k = strength;
  auto grey = [&](int64_t p) -> int32_t {
    if (oneSource) return src0[p];
    if (rgb) return (src0[p] + src1[p] + src2[p]) / 3;
    return (src0[p] + src1[p] + src2[p] + src3[p]) >> 2;
  };
  const unsigned char* const sources[4] = {src0, oneSource ? nullptr : src1,
                                           oneSource ? nullptr : src2,
                                           oneSource || rgb ? nullptr : src3};
  const bool apart = !Meet(sources, 4, int64_t{srcHeight} * srcWidth, targets, count,
                           int64_t{dstHeight} * dstWidth);
  if (LaneRampFits(mode, opacity, sources, targets, count, mask, srcHeight,
                   srcWidth, dstHeight, dstWidth, ramp, k) &&
      MapsOntoItself(srcHeight, srcWidth, dstHeight, dstWidth, Region{sx0, sy0, sx1, sy1},
                     Region{tx0, ty0, tx1, ty1})) {
    LaneRamp lanes;
    for (int32_t c = 0; c < 4; ++c) lanes.src[c] = sources[c];
    lanes.sources = oneSource ? 1 : (rgb ? 3 : 4);
    for (int32_t c = 0; c < 4; ++c) lanes.dst[c] = targets[c];
    lanes.count = count;
    lanes.mask = mask;
    lanes.opacity = static_cast<uint16_t>(opacity);
    std::memcpy(lanes.index, index, sizeof index);
    for (int32_t i = 0; i < 256; ++i) {
      lanes.a[i] = static_cast<unsigned char>(ramp.rows[0][i] * k / 255);
      for (int32_t c = 0; c < count; ++c) lanes.colour[c][i] = ramp.rows[c + 1][i];
    }
    Region c{tx0, ty0, tx1, ty1};
    ClampRegion(dstWidth, dstHeight, c.x0, c.y0, c.x1, c.y1);
    const int32_t x0 = c.x0, x1 = c.x1;
    plat::ParallelFor(c.y0, c.y1 + 1, effect_support::kPixelBandRows,
                      [&lanes, x0, x1, dstWidth](int32_t first, int32_t end) {
                        for (int32_t y = first; y < end; ++y)
                          for (int32_t x = x0; x <= x1; x += effect_support::kRun)
                            LaneRampRun(lanes, int64_t{y} * dstWidth + x,
                                        std::min(x1 - x + 1, effect_support::kRun));
                      });
    return 0;
  }
  return ForEachMappedPixel(
      srcHeight, srcWidth, dstHeight, dstWidth, Region{sx0, sy0, sx1, sy1},
      Region{tx0, ty0, tx1, ty1}, opacity, mask,
      [&](int64_t from, int64_t to, int32_t weight) {
        const int32_t j = index[grey(from)];
        const int32_t a = ramp.rows[0][j] * k / 255;
        for (int32_t c = 0; c < count; ++c) {
          targets[c][to] = Lay(mode, targets[c][to], ramp.rows[c + 1][j], a, weight);
        }
      },
      Banding{apart, true});
}

int32_t Effects::LutToColor(int16_t mode, int16_t opacity, const unsigned char* src,
                            int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                            int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                            int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                            int32_t ty1, int16_t colourModel, int16_t srcChannels,
                            int16_t dstChannels, int16_t choice, const unsigned char* mask,
                            const unsigned char* table, int16_t shift, int16_t strength) {
  if (src == nullptr || dst == nullptr || table == nullptr) return -1;
  const int32_t cs = std::max<int32_t>(srcChannels, 1);
  const int32_t ct = std::max<int32_t>(dstChannels, 1);
  IndexMap index;
  InterleavedIndex(shift, index);
  const RampRows ramp(table, colourModel != 0, RampRows::Inks::kYMCK);
  const int32_t k = strength;
  const int32_t row = std::clamp<int32_t>(choice, 0, 4);
  return ForEachMappedPixel(
      srcHeight, srcWidth, dstHeight, dstWidth, Region{sx0, sy0, sx1, sy1},
      Region{tx0, ty0, tx1, ty1}, opacity, mask,
      [&](int64_t from, int64_t to, int32_t weight) {
        const unsigned char* s = src + from * cs;
        // The mean needs three samples a pixel; fewer read the first alone.
        const int32_t g = cs < 3 ? s[0] : (s[0] + s[1] + s[2]) / 3;
        const int32_t j = index[g];
        const int32_t a = ramp.rows[0][j] * k / 255;
        unsigned char* d = dst + to * ct;
        if (ct == 1) {
          const int32_t colour =
              row == 0 ? (ramp.rows[1][j] + ramp.rows[2][j] + ramp.rows[3][j]) / 3
                       : ramp.rows[row][j];
          d[0] = Lay(mode, d[0], colour, a, weight);
          return;
        }
        for (int32_t c = 0; c < ct && c < 4; ++c) {
          d[c] = Lay(mode, d[c], ramp.rows[c + 1][j], a, weight);
        }
      },
      Banding{!Meet(&src, 1, int64_t{srcHeight} * srcWidth * cs, &dst, 1,
                    int64_t{dstHeight} * dstWidth * ct),
              cs == ct});
}

int32_t Effects::Shadow(int16_t mode, int16_t opacity, const unsigned char* src0,
                        const unsigned char* src1, const unsigned char* src2,
                        const unsigned char* src3, int32_t srcHeight, int32_t srcWidth,
                        unsigned char* dst0, unsigned char* dst1, unsigned char* dst2,
                        unsigned char* dst3, int32_t dstHeight, int32_t dstWidth, int32_t sx0,
                        int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0,
                        int32_t tx1, int32_t ty1, int16_t colourModel, int16_t srcChannels,
                        int16_t dstChannels, const unsigned char* mask, int16_t blurRadius,
                        int16_t offsetX, int16_t offsetY, const unsigned char* table,
                        int16_t shift, int16_t strength) {
  const bool rgb = colourModel != 0;
  const bool oneSource = srcChannels < 2;
  if (src0 == nullptr || srcWidth <= 0 || srcHeight <= 0) return -1;
  if (!oneSource && (src1 == nullptr || src2 == nullptr || (!rgb && src3 == nullptr))) return -1;
  Region s{sx0, sy0, sx1, sy1};
  if (!ShadowRegion(srcHeight, srcWidth, s)) return -1;
  plat::Block<unsigned char> work;
  if (!ShiftedGrey(work, srcWidth, s, offsetX, offsetY, [&](int64_t p) -> int32_t {
        if (oneSource) return src0[p];
        if (rgb) return (src0[p] + src1[p] + src2[p]) / 3;
        return (src0[p] + src1[p] + src2[p] + src3[p]) >> 2;
      })) {
    return -1;
  }
  const int32_t rw = s.x1 - s.x0 + 1, rh = s.y1 - s.y0 + 1;
  if (Blur(0, 255, work.get(), nullptr, rw, rh, 0, 0, rw - 1, rh - 1, blurRadius, 1) != 0) {
    return -1;
  }
  return LutToColor(mode, opacity, work.get(), nullptr, nullptr, nullptr, rh, rw, dst0, dst1,
                    dst2, dst3, dstHeight, dstWidth, 0, 0, rw, rh, tx0, ty0, tx1, ty1,
                    colourModel, 1, dstChannels, mask, table, shift, strength);
}

int32_t Effects::Shadow(int16_t mode, int16_t opacity, const unsigned char* src,
                        int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                        int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                        int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                        int32_t ty1, int16_t colourModel, int16_t /*srcChannels*/,
                        int16_t /*dstChannels*/, const unsigned char* mask, int16_t blurRadius,
                        int16_t offsetX, int16_t offsetY, const unsigned char* table,
                        int16_t shift, int16_t strength) {
  if (src == nullptr || dst == nullptr || srcWidth <= 0 || srcHeight <= 0) return -1;
  Region s{sx0, sy0, sx1, sy1};
  if (!ShadowRegion(srcHeight, srcWidth, s)) return -1;
  plat::Block<unsigned char> work;
  // One byte a pixel, whatever the channel count says.
  if (!ShiftedGrey(work, srcWidth, s, offsetX, offsetY,
                   [&](int64_t p) -> int32_t { return src[p]; })) {
    return -1;
  }
  const int32_t rw = s.x1 - s.x0 + 1, rh = s.y1 - s.y0 + 1;
  if (Blur(0, 255, work.get(), nullptr, rw, rh, 0, 0, rw - 1, rh - 1, blurRadius, 1) != 0) {
    return -1;
  }
  return LutToColor(mode, opacity, work.get(), rh, rw, dst, dstHeight, dstWidth, 0, 0, rw, rh,
                    tx0, ty0, tx1, ty1, colourModel, 1, 1, 0, mask, table, shift, strength);
}

int32_t Effects::ContrExp(int16_t kind, int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t height, int32_t width, unsigned char* dst,
                          int32_t /*dstHeight*/, int32_t /*dstWidth*/, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int32_t /*tx0*/, int32_t /*ty0*/,
                          int32_t /*tx1*/, int32_t /*ty1*/, int16_t background,
                          int16_t srcChannels, int16_t dstChannels, int16_t radius,
                          const unsigned char* mask, unsigned char colour, int16_t strength) {
  // The edge test and the discs read the source as one sample a pixel.
  if (src == nullptr || dst == nullptr || srcChannels != 1 || dstChannels < 1) return -1;
  if (width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const Region r{x0, y0, x1, y1};
  plat::Block<unsigned char> work(static_cast<int64_t>(width) * height, WorkSource());
  if (!work) return -1;
  const bool grow = kind == 1;
  unsigned char* const shapes = work.get();
  // Every step below reads and writes each pixel's own samples (the discs apart): bands of
  // rows on the shared threads.
  auto rows = [&](auto each) {
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      for (int32_t y = first; y < end; ++y)
        for (int32_t x = x0; x <= x1; ++x) each(static_cast<int64_t>(y) * width + x);
    });
  };
  rows([&](int64_t i) { shapes[i] = grow ? 0 : (radius < 0 ? 255 - src[i] : src[i]); });
  const int32_t reach = std::abs(static_cast<int32_t>(radius));
  const Stamper stamper(src, shapes, width, r, reach, grow ? 255 : 0);
  if (stamper.Pass(false) == 0 && !grow) {
    // No bright shape: the border stands in for its edge and the result is
    // turned over.
    stamper.Pass(true);
    rows([&](int64_t i) { shapes[i] = static_cast<unsigned char>(255 - shapes[i]); });
  }
  const int32_t f = strength * opacity / 255;
  const int32_t ct = dstChannels;
  plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      for (int32_t x = x0; x <= x1; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        const int32_t w = mask != nullptr ? (255 - work[i]) * mask[i] / 255 : 255 - work[i];
        unsigned char* d = dst + i * ct;
        for (int32_t c = 0; c < ct; ++c) {
          const int32_t t = d[c];
          const int32_t combined = Combine(mode, t, Clamp255(((255 - f) * t + f * colour) / 255));
          if (!grow) {
            d[c] = Mix(t, combined, w);
          } else if (background == 1 || w != 255) {
            // Growing replaces rather than mixes: away from the shapes the
            // target darkens by the weight.
            d[c] = static_cast<unsigned char>((255 - w) * combined / 255);
          }
        }
      }
    }
  });
  return 0;
}

int32_t Effects::Outline(int16_t mode, int16_t opacity, const unsigned char* src, int32_t height,
                         int32_t width, unsigned char* dst, int32_t /*dstHeight*/,
                         int32_t /*dstWidth*/, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                         int32_t /*tx0*/, int32_t /*ty0*/, int32_t /*tx1*/, int32_t /*ty1*/,
                         int16_t srcChannels, int16_t dstChannels, int16_t radius,
                         const unsigned char* mask, unsigned char colour, int16_t strength) {
  if (src == nullptr || dst == nullptr || srcChannels != 1 || dstChannels < 1) return -1;
  if (width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t rw = x1 - x0 + 1, rh = y1 - y0 + 1;
  plat::Block<unsigned char> b(static_cast<int64_t>(width) * height, WorkSource());
  plat::Block<unsigned char> inverse(static_cast<int64_t>(rw) * rh, WorkSource());
  if (!b || !inverse) return -1;
  for (int32_t y = 0; y < rh; ++y) {
    const unsigned char* s = src + static_cast<int64_t>(y + y0) * width + x0;
    for (int32_t x = 0; x < rw; ++x) inverse[static_cast<int64_t>(y) * rw + x] = 255 - s[x];
  }
  // B = 255 minus the source's maximum over the window that shrinks at the
  // region's border: the minimum of the turned-over source.
  const plat::PlaneView<uint8_t> bRegion(b.get() + static_cast<int64_t>(y0) * width + x0, rw, rh,
                                         width);
  if (rank::ExtremeFilter(plat::ConstPlaneView<uint8_t>::Packed(inverse.get(), rw, rh), bRegion,
                          1, radius, radius, rank::Extreme::kMin) != 0) {
    return -1;
  }
  if (Difference(0, 255, src, height, width, b.get(), height, width, x0, y0, x1, y1, x0, y0, x1,
                 y1, 1, 1, nullptr, 255) != 0) {
    return -1;
  }
  const int32_t s = strength;
  const int32_t ct = dstChannels;
  for (int32_t y = y0; y <= y1; ++y) {
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * width + x;
      const int32_t weight = Weight(mask, i, opacity);
      const int32_t edge = b[i];
      unsigned char* d = dst + i * ct;
      for (int32_t c = 0; c < ct; ++c) {
        const int32_t t = d[c];
        const int32_t tinted = ((255 - s) * t + s * colour) / 255;
        const int32_t v = Clamp255((t * edge + tinted * (255 - edge)) / 255);
        d[c] = Mix(t, Combine(mode, t, v), weight);
      }
    }
  }
  return 0;
}
