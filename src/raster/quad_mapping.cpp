// Quad-to-quad mapping on a shared parameter lattice.
//
// The lattice is dense enough (the larger bounding-box diagonal, both ways)
// that neighbouring points land at most about a pixel apart, so the forward
// mapping leaves no holes inside the destination quadrilateral. The top- and
// bottom-edge points of a lattice column are computed once; per point only
// the blend between them is evaluated. Everything is single precision.
#include "raster/quad_mapping.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <type_traits>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif
#include "raster/warp_frame_record.h"
#include "raster/warp_lattice.h"

namespace {

struct Corners {
  float x[4];
  float y[4];
};

Corners cornersOf(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                  int32_t x3, int32_t y3) {
  return Corners{{static_cast<float>(x0), static_cast<float>(x1), static_cast<float>(x2),
                  static_cast<float>(x3)},
                 {static_cast<float>(y0), static_cast<float>(y1), static_cast<float>(y2),
                  static_cast<float>(y3)}};
}

// trunc(sqrt(dx^2 + dy^2)) in doubles: the sides of corners 2^32 apart would
// overflow a 64-bit sum of squares; held to the int range.
int32_t lengthOf(double dx, double dy) {
  return static_cast<int32_t>(std::min(std::sqrt(dx * dx + dy * dy), static_cast<double>(INT32_MAX)));
}

// Bounding-box diagonal, the box counted inclusively.
int32_t diagonalOf(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                   int32_t x3, int32_t y3) {
  const int64_t w = int64_t{std::max({x0, x1, x2, x3})} - std::min({x0, x1, x2, x3}) + 1;
  const int64_t h = int64_t{std::max({y0, y1, y2, y3})} - std::min({y0, y1, y2, y3}) + 1;
  return lengthOf(static_cast<double>(w), static_cast<double>(h));
}

// Edge length used by the edge-sized lattice: trunc(sqrt((dx+1)^2 + (dy+1)^2)).
int32_t edgeLength(int32_t xs, int32_t ys, int32_t xe, int32_t ye) {
  const int64_t dx = int64_t{xe} - xs + 1;
  const int64_t dy = int64_t{ye} - ys + 1;
  return lengthOf(static_cast<double>(dx), static_cast<double>(dy));
}

// The walk runs down each lattice column (s outer, t inner). Where several
// points land in one pixel the last one written decides it, so the order is
// part of the result. Measured on a
// 2048 x 1536 RGB picture onto a rotated quad (n about 2560, 6.5 million
// points): about 220 ms at -O2, most of it in the column-wise memory walk.
//
// Walks an ns x nt lattice; for every point inside B's bounding box and the
// dstW x dstH destination whose row lies in rowFirst..rowEnd - 1 calls
// fn(x, y, xa, ya, xb, yb) with (x, y) the destination pixel.
//
// Along a lattice column the destination row grows linearly with t, so the
// points that can land in the rows are a run of j: it is worked out with a
// pixel to spare on both sides, and each point of it is then computed as the
// whole walk computes it and kept only when its row is inside. The points
// kept, and their order, are those of the whole walk.
// One lattice column's points for eight j at a time: the same single-precision products and
// sums as the walk, lane by lane, the tests of the walk as a mask of the lanes kept.
struct ColumnLine {
  float atx, aty, abx, aby, btx, bty, bbx, bby;
};
// The lattice column at s of the two quads: its ends on their top and bottom sides, as
// both walks take them.
ColumnLine LineAt(const Corners& a, const Corners& b, float s) {
  return {a.x[0] + s * (a.x[1] - a.x[0]), a.y[0] + s * (a.y[1] - a.y[0]),
          a.x[3] + s * (a.x[2] - a.x[3]), a.y[3] + s * (a.y[2] - a.y[3]),
          b.x[0] + s * (b.x[1] - b.x[0]), b.y[0] + s * (b.y[1] - b.y[0]),
          b.x[3] + s * (b.x[2] - b.x[3]), b.y[3] + s * (b.y[2] - b.y[3])};
}
struct ColumnBounds {
  float minX, maxX, minY, maxY, fw, fh;
  int32_t rowFirst, rowEnd;
};
struct EightPoints {
  alignas(32) float xa[8], ya[8], xb[8], yb[8];
  alignas(32) int32_t x[8], y[8];
  uint32_t kept;  // bit k: lane k is a point of the walk
};

using EightFn = void (*)(const float* t, const ColumnLine& c, const ColumnBounds& b,
                         EightPoints* out);

#if VMK_SIMD_X86
VMK_TARGET_AVX2 void EightAvx2(const float* t8, const ColumnLine& c, const ColumnBounds& b,
                               EightPoints* out) {
  const __m256 t = _mm256_loadu_ps(t8);
  const __m256 u = _mm256_sub_ps(_mm256_set1_ps(1.0f), t);
  const __m256 xb = _mm256_add_ps(_mm256_mul_ps(u, _mm256_set1_ps(c.btx)),
                                  _mm256_mul_ps(t, _mm256_set1_ps(c.bbx)));
  const __m256 yb = _mm256_add_ps(_mm256_mul_ps(u, _mm256_set1_ps(c.bty)),
                                  _mm256_mul_ps(t, _mm256_set1_ps(c.bby)));
  const __m256 xa = _mm256_add_ps(_mm256_mul_ps(u, _mm256_set1_ps(c.atx)),
                                  _mm256_mul_ps(t, _mm256_set1_ps(c.abx)));
  const __m256 ya = _mm256_add_ps(_mm256_mul_ps(u, _mm256_set1_ps(c.aty)),
                                  _mm256_mul_ps(t, _mm256_set1_ps(c.aby)));
  // Out when any test of the walk holds (ordered: a NaN fails them, as in the walk).
  __m256 out8 = _mm256_cmp_ps(xb, _mm256_set1_ps(b.minX), _CMP_LT_OQ);
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(xb, _mm256_set1_ps(b.maxX), _CMP_GT_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(yb, _mm256_set1_ps(b.minY), _CMP_LT_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(yb, _mm256_set1_ps(b.maxY), _CMP_GT_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(xb, _mm256_setzero_ps(), _CMP_LT_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(xb, _mm256_set1_ps(b.fw), _CMP_GE_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(yb, _mm256_setzero_ps(), _CMP_LT_OQ));
  out8 = _mm256_or_ps(out8, _mm256_cmp_ps(yb, _mm256_set1_ps(b.fh), _CMP_GE_OQ));
  const __m256i y = _mm256_cvttps_epi32(yb);
  const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(b.rowFirst), y);
  const __m256i beyond = _mm256_cmpgt_epi32(y, _mm256_set1_epi32(b.rowEnd - 1));
  const __m256i outRows = _mm256_or_si256(below, beyond);
  const uint32_t outBits = static_cast<uint32_t>(_mm256_movemask_ps(out8)) |
                           static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(outRows)));
  out->kept = ~outBits & 0xFFu;
  _mm256_store_ps(out->xa, xa);
  _mm256_store_ps(out->ya, ya);
  _mm256_store_ps(out->xb, xb);
  _mm256_store_ps(out->yb, yb);
  _mm256_store_si256(reinterpret_cast<__m256i*>(out->x), _mm256_cvttps_epi32(xb));
  _mm256_store_si256(reinterpret_cast<__m256i*>(out->y), y);
}
#endif

struct MapColumn;
// The walk's tests of a column's destination points as one range a side, the same for every
// column of a walk (worked out once per walk).
struct ColumnRanges {
  float loX, hiX, loY, hiY;
};
// A whole lattice column of the displacement maps' walk in one call: `count` points from t[0]
// on (t readable eight past the last), each tested as the walk and DisRea test it and, when
// kept, written into the maps as DisRea writes it, in the walk's order.
using MapColumnFn = void (*)(const float* t, int32_t count, const ColumnLine& c,
                             const ColumnBounds& b, const ColumnRanges& r, const MapColumn& m);
struct MapColumn {
  MapColumnFn fn;
  uint32_t* const* xMap;
  uint32_t* const* yMap;
  // Rows `pitch` entries apart from xBase and yBase on (pitch 0: rows anywhere), with every
  // entry's offset within 32 bits; then an entry's place is one multiply-add of its row and
  // column instead of a read of its row's pointer.
  uint32_t* xBase;
  uint32_t* yBase;
  int32_t pitch;
};

// The ranges: xb >= minX, >= 0, <= maxX and < fw is xb in [max(minX, 0), min(maxX, the float
// below fw)]; with yb >= 0 its row trunc(yb) is in rowFirst..rowEnd - 1 just when yb is in
// [rowFirst, the float below rowEnd] (the points are finite: corners are whole numbers, t in
// 0..1).
ColumnRanges RangesOf(const ColumnBounds& b) {
  return {std::max(b.minX, 0.0f), std::min(b.maxX, std::nextafter(b.fw, -1.0f)),
          std::max({b.minY, 0.0f, static_cast<float>(b.rowFirst)}),
          std::min({b.maxY, std::nextafter(b.fh, -1.0f),
                    std::nextafter(static_cast<float>(b.rowEnd), -1e30f)})};
}

#if VMK_SIMD_X86
// 327680000 - trunc(double(128 (to - from)) + 0.5) on eight lanes: step128 lane by lane (the
// float difference and product, widened exactly, the half added in double).
VMK_TARGET_AVX2 inline __m256i MapValues8(__m256 to, __m256 from) {
  const __m256 d = _mm256_mul_ps(_mm256_set1_ps(128.0f), _mm256_sub_ps(to, from));
  const __m256d half = _mm256_set1_pd(0.5);
  const __m128i lo = _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(d)), half));
  const __m128i hi =
      _mm256_cvttpd_epi32(_mm256_add_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(d, 1)), half));
  const __m256i steps = _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
  return _mm256_sub_epi32(_mm256_set1_epi32(327680000), steps);
}

// The points of EightAvx2, then DisRea's test of the source point (ordered, as the scalar
// comparisons) and its two map values; the kept lanes are stored one by one in lane order, so
// where two land in one pixel the later one stays, as in the walk. With evenly spaced rows
// each entry's offset is worked out in the lanes: measured with the lens correction on
// 2048 x 1536 at one thread (shared 8-core AVX2 machine, load about 45), the whole render in
// 39 to 50 ms of processor time against 51 to 60 ms reading each point's row pointers.
template <bool kPitched>
VMK_TARGET_AVX2 inline void MapColumnLanes(const float* t8, int32_t count, const ColumnLine& c,
                                           const ColumnBounds& b, const ColumnRanges& r,
                                           const MapColumn& m) {
  const __m256 one = _mm256_set1_ps(1.0f), zero = _mm256_setzero_ps();
  const __m256 btx = _mm256_set1_ps(c.btx), bbx = _mm256_set1_ps(c.bbx);
  const __m256 bty = _mm256_set1_ps(c.bty), bby = _mm256_set1_ps(c.bby);
  const __m256 atx = _mm256_set1_ps(c.atx), abx = _mm256_set1_ps(c.abx);
  const __m256 aty = _mm256_set1_ps(c.aty), aby = _mm256_set1_ps(c.aby);
  const __m256 fw = _mm256_set1_ps(b.fw), fh = _mm256_set1_ps(b.fh);
  const __m256 loX = _mm256_set1_ps(r.loX), hiX = _mm256_set1_ps(r.hiX);
  const __m256 loY = _mm256_set1_ps(r.loY), hiY = _mm256_set1_ps(r.hiY);
  const __m256i pitch = _mm256_set1_epi32(m.pitch);
  uint32_t* const* xMap = m.xMap;
  uint32_t* const* yMap = m.yMap;
  alignas(32) int32_t xs[8], ys[8];
  alignas(32) uint32_t mx[8], my[8];
  for (int32_t k = 0; k < count; k += 8) {
    const __m256 t = _mm256_loadu_ps(t8 + k);
    const __m256 u = _mm256_sub_ps(one, t);
    const __m256 xb = _mm256_add_ps(_mm256_mul_ps(u, btx), _mm256_mul_ps(t, bbx));
    const __m256 yb = _mm256_add_ps(_mm256_mul_ps(u, bty), _mm256_mul_ps(t, bby));
    const __m256 in8 = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(xb, loX, _CMP_GE_OQ), _mm256_cmp_ps(xb, hiX, _CMP_LE_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(yb, loY, _CMP_GE_OQ), _mm256_cmp_ps(yb, hiY, _CMP_LE_OQ)));
    uint32_t kept = static_cast<uint32_t>(_mm256_movemask_ps(in8));
    if (count - k < 8) kept &= (1u << (count - k)) - 1u;
    if (kept == 0) continue;
    const __m256i x = _mm256_cvttps_epi32(xb);
    const __m256i y = _mm256_cvttps_epi32(yb);
    const __m256 xa = _mm256_add_ps(_mm256_mul_ps(u, atx), _mm256_mul_ps(t, abx));
    const __m256 ya = _mm256_add_ps(_mm256_mul_ps(u, aty), _mm256_mul_ps(t, aby));
    __m256 outA = _mm256_cmp_ps(xa, zero, _CMP_LT_OQ);
    outA = _mm256_or_ps(outA, _mm256_cmp_ps(xa, fw, _CMP_GE_OQ));
    outA = _mm256_or_ps(outA, _mm256_cmp_ps(ya, zero, _CMP_LT_OQ));
    outA = _mm256_or_ps(outA, _mm256_cmp_ps(ya, fh, _CMP_GE_OQ));
    kept &= ~static_cast<uint32_t>(_mm256_movemask_ps(outA));
    if (kept == 0) continue;
    // A kept point whose next lane is kept and lands in the same pixel is written over by it:
    // its stores are left out (the maps end as the walk leaves them).
    const __m256i next = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 7);
    const __m256i same = _mm256_and_si256(
        _mm256_cmpeq_epi32(x, _mm256_permutevar8x32_epi32(x, next)),
        _mm256_cmpeq_epi32(y, _mm256_permutevar8x32_epi32(y, next)));
    kept &= ~(static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(same))) & (kept >> 1));
    _mm256_store_si256(reinterpret_cast<__m256i*>(mx), MapValues8(xb, xa));
    _mm256_store_si256(reinterpret_cast<__m256i*>(my), MapValues8(yb, ya));
    if constexpr (kPitched) {
      _mm256_store_si256(reinterpret_cast<__m256i*>(xs),
                         _mm256_add_epi32(_mm256_mullo_epi32(y, pitch), x));
      uint32_t* const xBase = m.xBase;
      uint32_t* const yBase = m.yBase;
      for (; kept != 0; kept &= kept - 1) {
        const int l = __builtin_ctz(kept);
        const size_t at = static_cast<uint32_t>(xs[l]);
        xBase[at] = mx[l];
        yBase[at] = my[l];
      }
    } else {
      _mm256_store_si256(reinterpret_cast<__m256i*>(xs), x);
      _mm256_store_si256(reinterpret_cast<__m256i*>(ys), y);
      for (; kept != 0; kept &= kept - 1) {
        const int l = __builtin_ctz(kept);
        xMap[ys[l]][xs[l]] = mx[l];
        yMap[ys[l]][xs[l]] = my[l];
      }
    }
  }
}

VMK_TARGET_AVX2 void MapColumnAvx2(const float* t8, int32_t count, const ColumnLine& c,
                                   const ColumnBounds& b, const ColumnRanges& r,
                                   const MapColumn& m) {
  if (m.pitch > 0)
    MapColumnLanes<true>(t8, count, c, b, r, m);
  else
    MapColumnLanes<false>(t8, count, c, b, r, m);
}
#endif

std::atomic<int64_t> gWalkPoints{0};

// The run of j of lattice column (bty .. bby) whose points can land in rows rowFirst..rowEnd - 1,
// a pixel to spare on both sides: false when none can.
bool ColumnRun(float bty, float bby, int32_t nt, float dt, int32_t rowFirst, int32_t rowEnd,
               int32_t* jFirst, int32_t* jLast) {
  const double lo = rowFirst - 1.0, hi = rowEnd + 1.0;
  const double rise = static_cast<double>(bby) - bty;
  if (std::fabs(rise) * nt < 1e-3) return !(bty < lo || bty > hi);
  const double ja = (lo - bty) * dt / rise, jb = (hi - bty) * dt / rise;
  const double from = std::floor(std::min(ja, jb)) - 1.0;
  const double to = std::ceil(std::max(ja, jb)) + 1.0;
  if (to < 0.0 || from > nt - 1.0) return false;
  *jFirst = from > 0.0 ? static_cast<int32_t>(from) : 0;
  *jLast = to < nt - 1.0 ? static_cast<int32_t>(to) : nt - 1;
  return true;
}

// A lattice far denser than the pixels it can land on: a quad a pixel or less across and
// thousands long (a grid cell over a picture one pixel wide or high: n is its length, so n x n
// points fall into n pixels), or a large source quad squeezed into a few pixels. Where only the
// last point to land in a pixel counts, the walk runs backwards instead, keeping the first
// point that writes each pixel (the forward walk's last): each lattice column is cut to the
// part that can reach the box, and where it runs along one line of pixels, its points over
// pixels written already are stepped over to the next pixel not written; a column that can
// only land on written pixels is left out. The same points decide the same pixels, in a time
// that follows the pixels rather than the points. A picture 1 x 30000 under a 3 x 3 grid
// waited 1.1 s (Release, shared 8-core machine) for the grid warp's maps the forward way.
constexpr int64_t kDensePointsPerPixel = 64;
// The most pixels a backward walk keeps its written marks for (16 MB of them).
constexpr int64_t kMostMarkedPixels = int64_t{1} << 21;

// The written pixels of a backward walk's box, line by line (pixel columns, or rows when the
// box is wider than high): each line two chains, "the next place not written yet" upwards and
// downwards (path halving), so a run of written places is crossed at once. Lines and places
// are pixel coordinates: x and y for columns, y and x for rows.
class WrittenPixels {
 public:
  // Lines line0..line1 of places place0..place1 (inclusive, not empty), nothing written.
  void Reset(int32_t line0, int32_t place0, int32_t line1, int32_t place1) {
    line0_ = line0;
    place0_ = place0;
    places_ = place1 - place0 + 1;
    const size_t n = static_cast<size_t>(line1 - line0 + 1) * Stride();
    up_.resize(n);
    down_.resize(n);
    for (size_t c = 0; c < n; c += Stride())
      for (int32_t r = 0; r <= places_ + 1; ++r) {
        up_[c + static_cast<size_t>(r)] = r;
        down_[c + static_cast<size_t>(r)] = r;
      }
  }
  bool Written(int32_t line, int32_t place) { return Up(line, Index(place)) != Index(place); }
  void Write(int32_t line, int32_t place) {
    const size_t at = Row(line) + static_cast<size_t>(Index(place));
    up_[at] = Index(place) + 1;
    down_[at] = Index(place) - 1;
  }
  // The first place not written from `place` upwards (place1 + 1 when none) and downwards
  // (place0 - 1 when none).
  int32_t NextUp(int32_t line, int32_t place) { return Up(line, Index(place)) - 1 + place0_; }
  int32_t NextDown(int32_t line, int32_t place) { return Down(line, Index(place)) - 1 + place0_; }
  // Every place from..to (inside the box) of the line written.
  bool AllWritten(int32_t line, int32_t from, int32_t to) { return NextUp(line, from) > to; }

 private:
  // Index 0 and places_ + 1 are the ends beyond the box.
  int32_t Index(int32_t place) const { return place - place0_ + 1; }
  size_t Stride() const { return static_cast<size_t>(places_) + 2; }
  size_t Row(int32_t line) const { return static_cast<size_t>(line - line0_) * Stride(); }
  int32_t Up(int32_t line, int32_t r) { return Follow(up_.data() + Row(line), r); }
  int32_t Down(int32_t line, int32_t r) { return Follow(down_.data() + Row(line), r); }
  static int32_t Follow(int32_t* c, int32_t r) {
    while (c[r] != r) {
      c[r] = c[c[r]];
      r = c[r];
    }
    return r;
  }
  int32_t line0_ = 0, place0_ = 0, places_ = 0;
  std::vector<int32_t> up_, down_;
};

// The part [*lo, *hi] of t in 0..1 where p + t (q - p) lies in [from, to]; false when none.
bool ClipTo(double p, double q, double from, double to, double* lo, double* hi) {
  const double d = q - p;
  if (std::fabs(d) < 1e-12) return p >= from && p <= to;
  double a = (from - p) / d, b = (to - p) / d;
  if (a > b) std::swap(a, b);
  *lo = std::max(*lo, a);
  *hi = std::min(*hi, b);
  return *lo <= *hi;
}

// The backward walk of walkRows (see above), when the lattice is dense enough for it to pay;
// false when it is not, having written nothing or only pixels the forward walk writes the same.
// fn answers whether it wrote (void: always).
template <typename Fn>
bool walkRowsBackward(int32_t ns, int32_t nt, const Corners& a, const Corners& b, int32_t dstH,
                      int32_t dstW, int32_t rowFirst, int32_t rowEnd, Fn& fn) {
  const float minX = std::min({b.x[0], b.x[1], b.x[2], b.x[3]});
  const float maxX = std::max({b.x[0], b.x[1], b.x[2], b.x[3]});
  const float minY = std::min({b.y[0], b.y[1], b.y[2], b.y[3]});
  const float maxY = std::max({b.y[0], b.y[1], b.y[2], b.y[3]});
  const float fw = static_cast<float>(dstW);
  const float fh = static_cast<float>(dstH);
  // The pixels a point can write: inside B's box, the destination and the rows.
  const double left = std::max(std::floor(static_cast<double>(minX)), 0.0);
  const double right = std::min(std::floor(static_cast<double>(maxX)), dstW - 1.0);
  const double top = std::max(std::floor(static_cast<double>(minY)), 0.0);
  const double bottom = std::min(std::floor(static_cast<double>(maxY)), dstH - 1.0);
  const double first = std::max(top, static_cast<double>(rowFirst));
  const double last = std::min(bottom, rowEnd - 1.0);
  if (right < left || last < first) return false;
  const double density =
      static_cast<double>(ns) * static_cast<double>(nt) / ((right - left + 1.0) * (bottom - top + 1.0));
  if (density < static_cast<double>(kDensePointsPerPixel) ||
      (right - left + 1.0) * (last - first + 1.0) > static_cast<double>(kMostMarkedPixels))
    return false;
  // Lines along the box's longer side.
  const bool columns = last - first >= right - left;
  const auto x0 = static_cast<int32_t>(left), x1 = static_cast<int32_t>(right);
  const auto y0 = static_cast<int32_t>(first), y1 = static_cast<int32_t>(last);
  thread_local WrittenPixels written;
  if (columns)
    written.Reset(x0, y0, x1, y1);
  else
    written.Reset(y0, x0, y1, x1);
  const float ds = static_cast<float>(ns - 1);
  const float dt = static_cast<float>(nt - 1);
  const bool allRows = rowFirst <= 0 && rowEnd >= dstH;
  // Where the columns do not run out of unwritten pixels soon (pixels of the box that no point
  // reaches keep them from being left out), the walk gives up and the forward walk lays every
  // point after all: it writes every pixel written here, with the same value. At most about a
  // sixteenth of the forward walk's points (and a few a lattice column) is spent here first.
  const int64_t pixels = (int64_t{x1} - x0 + 1) * (int64_t{y1} - y0 + 1);
  const int64_t budget = 4 * pixels + 4 * int64_t{nt} + 32 * int64_t{ns};
  int64_t writes = 0;
  // A lattice column whose pixels span at most this many lines is tested line by line.
  constexpr int32_t kTestedLines = 8;
  int64_t points = 0;
  // The last lattice column inside one line across whose points all landed on written pixels:
  // its ends along the line, its line and its run of points.
  struct {
    float from, to;
    int32_t line, jLo, jHi;
    bool valid;
  } full{0.0f, 0.0f, 0, 0, 0, false};
  for (int32_t i = ns - 1; i >= 0; --i) {
    if (points > budget) {
      gWalkPoints.fetch_add(points, std::memory_order_relaxed);
      return false;
    }
    const float s = static_cast<float>(i) / ds;
    const ColumnLine line = LineAt(a, b, s);
    const float atx = line.atx, aty = line.aty, abx = line.abx, aby = line.aby;
    const float btx = line.btx, bty = line.bty, bbx = line.bbx, bby = line.bby;
    int32_t jFirst = 0, jLast = nt - 1;
    if (!allRows && !ColumnRun(bty, bby, nt, dt, rowFirst, rowEnd, &jFirst, &jLast)) continue;
    // A point lies on the column's segment up to the rounding of its two products and sum,
    // which ex and ey cover many times over: the part of the segment that can reach the box,
    // and the pixels it spans.
    auto margin = [](float p, float q) {
      return (std::fabs(static_cast<double>(p)) + std::fabs(static_cast<double>(q)) + 1.0) * 1e-6;
    };
    const double ex = margin(btx, bbx), ey = margin(bty, bby);
    double tlo = 0.0, thi = 1.0;
    if (!ClipTo(btx, bbx, left - ex, right + 1.0 + ex, &tlo, &thi) ||
        !ClipTo(bty, bby, first - ey, last + 1.0 + ey, &tlo, &thi))
      continue;
    // Two lattice steps to spare: t of a point is j / dt to the float.
    const int32_t jHi = std::min(jLast, static_cast<int32_t>(std::ceil(thi * dt)) + 2);
    const int32_t jLo = std::max(jFirst, static_cast<int32_t>(std::floor(tlo * dt)) - 2);
    if (jLo > jHi) continue;
    auto span = [&](float p, float q, double e, double lo, double hi, double* from, double* to) {
      const double u = p + tlo * (static_cast<double>(q) - p), v = p + thi * (static_cast<double>(q) - p);
      *from = std::max(std::floor(std::min(u, v) - e), lo);
      *to = std::min(std::floor(std::max(u, v) + e), hi);
    };
    double cx0 = 0, cx1 = 0, cy0 = 0, cy1 = 0;
    span(btx, bbx, ex, left, right, &cx0, &cx1);
    span(bty, bby, ey, first, last, &cy0, &cy1);
    if (cx1 < cx0 || cy1 < cy0) continue;
    const auto px0 = static_cast<int32_t>(cx0), px1 = static_cast<int32_t>(cx1);
    const auto py0 = static_cast<int32_t>(cy0), py1 = static_cast<int32_t>(cy1);
    const int32_t line0 = columns ? px0 : py0, line1 = columns ? px1 : py1;
    const int32_t place0 = columns ? py0 : px0, place1 = columns ? py1 : px1;
    const bool tested = line1 - line0 < kTestedLines;
    auto allWritten = [&] {
      for (int32_t l = line0; l <= line1; ++l)
        if (!written.AllWritten(l, place0, place1)) return false;
      return true;
    };
    if (tested && allWritten()) continue;
    const bool single = line0 == line1;
    // Along the line: the coordinate the places follow, and how it moves with j.
    const float from = columns ? bty : btx, to = columns ? bby : bbx;
    const double rise = static_cast<double>(to) - from, e = columns ? ey : ex;
    // A column inside one line across, whose ends along it are those of a column all of whose
    // points landed on written pixels, lands its points on those pixels again (the same
    // products and sums): nothing of it is left to write.
    if (single && full.valid && full.line == line0 && full.from == from && full.to == to && full.jLo == jLo &&
        full.jHi == jHi)
      continue;
    // Whether every point of this column that passes the tests along the line lands on a
    // pixel written: then it stands for the columns after it with the same ends along the line
    // and the same run of points (whose points pass those tests where these do).
    bool landed = single;
    for (int32_t j = jHi; j >= jLo; --j) {
      ++points;
      const float t = static_cast<float>(j) / dt;
      const float u = 1.0f - t;
      const float xb = u * btx + t * bbx;
      const float yb = u * bty + t * bby;
      const bool xIn = xb >= minX && xb <= maxX && xb >= 0.0f && xb < fw;
      const int32_t y = yb >= 0.0f && yb < fh ? static_cast<int32_t>(yb) : -1;
      const bool yIn = yb >= minY && yb <= maxY && y >= 0 && y >= rowFirst && y < rowEnd;
      if (!(columns ? yIn : xIn)) continue;
      if (!(columns ? xIn : yIn)) {
        landed = false;
        continue;
      }
      const int32_t x = static_cast<int32_t>(xb);
      const int32_t line = columns ? x : y, place = columns ? y : x;
      if (written.Written(line, place)) {
        if (!single) continue;
        // Step over the points that land on this pixel and the written ones beyond it, to the
        // first point that can reach the next pixel not written (j falls, so the place moves
        // against the rise).
        // The points stepped over land from this place on, back to where they meet the next
        // pixel not written, and rounding may put the first of them a place behind: that
        // place must be written too.
        if (std::fabs(rise) < 1e-12) {
          // Every point lands within e of the same place: done once those places are written.
          const double lo = std::max(std::floor(from - e), static_cast<double>(place0));
          const double hi = std::min(std::floor(from + e), static_cast<double>(place1));
          if (written.NextUp(line, static_cast<int32_t>(lo)) > hi) break;
          continue;
        }
        const double along = columns ? yb : xb;
        if (rise > 0.0 ? written.NextUp(line, place) <= std::floor(along + 2.0 * e)
                       : written.NextDown(line, place) >= std::floor(along - 2.0 * e))
          continue;
        const int32_t q = rise > 0.0 ? written.NextDown(line, place) : written.NextUp(line, place);
        if (q < place0 || q > place1) break;
        const double edge = rise > 0.0 ? q + 1.0 + e : q - e;
        const double jn = std::floor((edge - from) / rise * dt) + 2.0;
        if (jn < j - 1.0) j = static_cast<int32_t>(std::max(jn, static_cast<double>(jLo) - 1.0)) + 1;
        continue;
      }
      const float xa = u * atx + t * abx;
      const float ya = u * aty + t * aby;
      bool wrote = true;
      if constexpr (std::is_same_v<std::invoke_result_t<Fn&, int32_t, int32_t, float, float, float, float>, bool>)
        wrote = fn(x, y, xa, ya, xb, yb);
      else
        fn(x, y, xa, ya, xb, yb);
      if (!wrote) {
        landed = false;
        continue;
      }
      written.Write(line, place);
      // Every pixel of the box written: no point left can change any.
      if (++writes == pixels) {
        gWalkPoints.fetch_add(points, std::memory_order_relaxed);
        return true;
      }
      if (tested && allWritten()) break;
    }
    if (landed) full = {from, to, line0, jLo, jHi, true};
  }
  gWalkPoints.fetch_add(points, std::memory_order_relaxed);
  return true;
}

template <typename Fn>
void walkRows(int32_t ns, int32_t nt, const Corners& a, const Corners& b, int32_t dstH,
              int32_t dstW, int32_t rowFirst, int32_t rowEnd, Fn&& fn,
              const MapColumn* column = nullptr, bool lastWins = false) {
  const float minX = std::min({b.x[0], b.x[1], b.x[2], b.x[3]});
  const float maxX = std::max({b.x[0], b.x[1], b.x[2], b.x[3]});
  const float minY = std::min({b.y[0], b.y[1], b.y[2], b.y[3]});
  const float maxY = std::max({b.y[0], b.y[1], b.y[2], b.y[3]});
  // B's box misses the destination's pixels (a cell of a picture one pixel high placed a row
  // above it): every point would be tested and none kept.
  if (std::min(std::floor(static_cast<double>(maxX)), dstW - 1.0) < std::max(std::floor(static_cast<double>(minX)), 0.0) ||
      std::min({std::floor(static_cast<double>(maxY)), dstH - 1.0, rowEnd - 1.0}) <
          std::max({std::floor(static_cast<double>(minY)), 0.0, static_cast<double>(rowFirst)}))
    return;
  if (lastWins && walkRowsBackward(ns, nt, a, b, dstH, dstW, rowFirst, rowEnd, fn)) return;
  const float fw = static_cast<float>(dstW);
  const float fh = static_cast<float>(dstH);
  const float ds = static_cast<float>(ns - 1);
  const float dt = static_cast<float>(nt - 1);
  const bool allRows = rowFirst <= 0 && rowEnd >= dstH;
  // Every column takes the same t of each j: the quotients are worked out once, not per
  // point (one thread's table, grown as lattices need; a lattice of over a million a side,
  // which no picture needs, divides per point).
  constexpr int32_t kMostTable = 1 << 20;
  thread_local std::vector<float> tOf;
  const bool table = nt <= kMostTable;
  if (table) {
    // Eight to spare: a column kernel reads whole groups of eight past its last point.
    if (tOf.size() < static_cast<size_t>(nt) + 8) tOf.resize(static_cast<size_t>(nt) + 8, 0.0f);
    for (int32_t j = 0; j < nt; ++j) tOf[static_cast<size_t>(j)] = static_cast<float>(j) / dt;
  }
  const float* tj = tOf.data();
  const ColumnBounds bounds{minX, maxX, minY, maxY, fw, fh, rowFirst, rowEnd};
  const ColumnRanges ranges = column != nullptr ? RangesOf(bounds) : ColumnRanges{};
#if VMK_SIMD_X86
  const EightFn eight = plat::PickKernel<EightFn>(nullptr, EightAvx2);
#else
  const EightFn eight = nullptr;
#endif
  int64_t points = 0;
  for (int32_t i = 0; i < ns; ++i) {
    const float s = static_cast<float>(i) / ds;
    const ColumnLine line = LineAt(a, b, s);
    const float atx = line.atx, aty = line.aty, abx = line.abx, aby = line.aby;
    const float btx = line.btx, bty = line.bty, bbx = line.bbx, bby = line.bby;
    int32_t jFirst = 0, jLast = nt - 1;
    if (!allRows && !ColumnRun(bty, bby, nt, dt, rowFirst, rowEnd, &jFirst, &jLast)) continue;
    points += jLast - jFirst + 1;
    if (column != nullptr && table) {
      column->fn(tj + jFirst, jLast - jFirst + 1, line, bounds, ranges, *column);
      continue;
    }
    int32_t j = jFirst;
    if (eight != nullptr && table) {
      // Eight points at a time, kept ones handed on in the walk's order.
      EightPoints p;
      for (; j + 8 <= jLast + 1; j += 8) {
        eight(tj + j, line, bounds, &p);
        for (uint32_t kept = p.kept; kept != 0; kept &= kept - 1) {
          const int k = __builtin_ctz(kept);
          fn(p.x[k], p.y[k], p.xa[k], p.ya[k], p.xb[k], p.yb[k]);
        }
      }
    }
    for (; j <= jLast; ++j) {
      const float t = table ? tj[j] : static_cast<float>(j) / dt;
      const float u = 1.0f - t;
      const float xb = u * btx + t * bbx;
      const float yb = u * bty + t * bby;
      if (xb < minX || xb > maxX || yb < minY || yb > maxY) continue;
      if (xb < 0.0f || xb >= fw || yb < 0.0f || yb >= fh) continue;
      const int32_t y = static_cast<int32_t>(yb);
      if (y < rowFirst || y >= rowEnd) continue;
      const float xa = u * atx + t * abx;
      const float ya = u * aty + t * aby;
      fn(static_cast<int32_t>(xb), y, xa, ya, xb, yb);
    }
  }
  gWalkPoints.fetch_add(points, std::memory_order_relaxed);
}

// Rows of the destination per band of a banded walk, and the fewest lattice
// points worth handing to the shared threads.
constexpr int32_t kWalkBandRows = 32;
constexpr int64_t kWalkBandPoints = int64_t{1} << 16;

// The whole walk. With `banded` (fn writes only at its own (x, y) and reads
// nothing another point writes) a large lattice runs in bands of
// destination rows on the shared threads, each band walking the columns for
// its own rows: the same points reach each pixel in the same order.
// Destination rows a call lays: all of them (first 0, end at least the
// height; `banded` lets a large walk take the shared threads), or one band
// of an engine's, walked here on the calling thread.
struct Window {
  int32_t first, end;
  bool banded;
};

// The longest lattice side any picture needs: a session's picture is at most
// 32767 on a side (diagonal about 46,341) and quads may hang over its edges.
// Corners far past that come only from absurd records (a grid node typed or
// smoothed millions of pixels out): their n x n points would keep a preview
// or a render busy for hours, so such a quad lays nothing.
constexpr int32_t kLatticeSideLimit = 1 << 16;

// `lastWins`: a pixel ends as the last point written there leaves it, whatever the points
// before it wrote (fn reads nothing a point writes), so the walk may run backwards.
template <typename Fn>
void walk(int32_t ns, int32_t nt, const Corners& a, const Corners& b, int32_t dstH, int32_t dstW,
          Fn&& fn, Window window, const MapColumn* column = nullptr, bool lastWins = false) {
  if (ns > kLatticeSideLimit || nt > kLatticeSideLimit) return;
  if (window.first > 0 || window.end < dstH) {
    walkRows(ns, nt, a, b, dstH, dstW, window.first, window.end, fn, column, lastWins);
    return;
  }
  const bool banded = window.banded;
  const double minY = std::min({b.y[0], b.y[1], b.y[2], b.y[3]});
  const double maxY = std::max({b.y[0], b.y[1], b.y[2], b.y[3]});
  const double rows = std::max(dstH, 0);
  const auto top = static_cast<int32_t>(std::clamp(std::floor(minY), 0.0, rows));
  const auto bottom =
      static_cast<int32_t>(std::clamp(std::floor(maxY) + 1.0, static_cast<double>(top), rows));
  if (!banded || int64_t{ns} * nt < kWalkBandPoints || bottom - top <= kWalkBandRows) {
    walkRows(ns, nt, a, b, dstH, dstW, 0, dstH, fn, column, lastWins);
    return;
  }
  plat::ParallelFor(top, bottom, kWalkBandRows, [&](int32_t first, int32_t last) {
    walkRows(ns, nt, a, b, dstH, dstW, first == top ? 0 : first, last == bottom ? dstH : last, fn,
             column, lastWins);
  });
}

// Whether planes of `an` and `bn` bytes share any byte.
bool Overlap(const uint8_t* p, size_t pn, const uint8_t* q, size_t qn) {
  if (p == nullptr || q == nullptr) return false;
  const auto a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(q);
  return a < b + qn && b < a + pn;
}

// Displacement of a lattice point in 1/128 pixel, rounded half up.
int32_t step128(float to, float from) {
  return static_cast<int32_t>(128.0f * (to - from) + 0.5);
}

float holdInside(float v, int32_t size) {
  if (v < 0.0f) return 0.0f;
  const float last = static_cast<float>(size - 1);
  return v > last ? last : v;
}

bool mapsFit(int32_t h, int32_t w) {
  // The 16-bit maps are 500 x 500 planes indexed with the given width.
  return h >= 0 && w >= 0 && int64_t{h} * w <= 500 * 500;
}

}  // namespace

namespace {

int32_t QuadRGB(Window window, int32_t srcH, int32_t srcW, const uint8_t* srcR, const uint8_t* srcG,
                const uint8_t* srcB, int16_t blend, const uint8_t* mask, int32_t dstH, int32_t dstW,
                uint8_t* dstR, uint8_t* dstG, uint8_t* dstB, int32_t ax0, int32_t ay0, int32_t ax1,
                int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0,
                int32_t by0, int32_t bx1, int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                int32_t by3) {
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2 || srcW <= 0 || srcH <= 0) return n;
  const bool blended = (blend == 1 || blend == 2) && mask != nullptr;
  const uint8_t* const src[3] = {srcR, srcG, srcB};
  uint8_t* const dst[3] = {dstR, dstG, dstB};
  // Bands may run together only when no point reads a sample another writes.
  bool apart = true;
  const size_t srcSize = static_cast<size_t>(srcH) * srcW;
  const size_t dstSize = dstH > 0 && dstW > 0 ? static_cast<size_t>(dstH) * dstW : 0;
  for (const uint8_t* from : {srcR, srcG, srcB, blended ? mask : nullptr})
    for (const uint8_t* to : dst) apart = apart && !Overlap(from, srcSize, to, dstSize);
  walk(
      n, n, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), dstH, dstW,
      [&](int32_t x, int32_t y, float xa, float ya, float, float) {
        // A source quadrilateral that overhangs the plane samples its edge.
        xa = holdInside(xa, srcW);
        ya = holdInside(ya, srcH);
        const int32_t ix = static_cast<int32_t>(xa);
        const int32_t iy = static_cast<int32_t>(ya);
        const int32_t jx =
            xa + 1.0f < static_cast<float>(srcW) ? static_cast<int32_t>(xa + 1.0f) : ix;
        const int32_t jy =
            ya + 1.0f < static_cast<float>(srcH) ? static_cast<int32_t>(ya + 1.0f) : iy;
        const float fx = xa - static_cast<float>(ix);
        const float fy = ya - static_cast<float>(iy);
        const size_t i00 = static_cast<size_t>(iy) * srcW + ix;
        const size_t i10 = static_cast<size_t>(iy) * srcW + jx;
        const size_t i01 = static_cast<size_t>(jy) * srcW + ix;
        const size_t i11 = static_cast<size_t>(jy) * srcW + jx;
        auto mix = [&](const uint8_t* p) {
          return (1.0f - fy) * ((1.0f - fx) * p[i00] + fx * p[i10]) +
                 fy * ((1.0f - fx) * p[i01] + fx * p[i11]);
        };
        const size_t di = static_cast<size_t>(y) * dstW + x;
        int32_t mw = 0, mr = 0;
        if (blended) {
          const float m = mix(mask);
          mw = static_cast<int32_t>(m);
          mr = static_cast<int32_t>(255.0f - m);
        }
        for (int k = 0; k < 3; ++k) {
          const int32_t v = static_cast<int32_t>(mix(src[k]));
          const int32_t d = dst[k][di];
          int32_t out = v;
          if (blended) out = blend == 1 ? (d * mw + v * mr) / 255 : (v * mw + d * mr) / 255;
          dst[k][di] = static_cast<uint8_t>(out);
        }
      },
      Window{window.first, window.end, window.banded && apart}, nullptr, !blended && apart);
  return n;
}

// The maps' row step in entries when every row of both lies that step after the one before
// (at least a row's width, each entry's offset within 32 bits); 0 otherwise.
int32_t EvenPitch(uint32_t* const* xMap, uint32_t* const* yMap, int32_t h, int32_t w) {
  if (h <= 0 || w <= 0 || xMap == nullptr || yMap == nullptr) return 0;
  const auto at = [](const uint32_t* p) { return reinterpret_cast<uintptr_t>(p); };
  int64_t pitch = w;
  if (h > 1) {
    if (at(xMap[1]) < at(xMap[0]) || (at(xMap[1]) - at(xMap[0])) % sizeof(uint32_t) != 0) return 0;
    const uintptr_t bytes = at(xMap[1]) - at(xMap[0]);
    if (bytes > static_cast<uintptr_t>(INT32_MAX)) return 0;
    pitch = static_cast<int64_t>(bytes / sizeof(uint32_t));
  }
  if (pitch < w || pitch * (h - 1) + w > INT32_MAX) return 0;
  const uintptr_t step = static_cast<uintptr_t>(pitch) * sizeof(uint32_t);
  for (int32_t y = 0; y < h; ++y) {
    const uintptr_t offset = static_cast<uintptr_t>(y) * step;
    if (at(xMap[y]) != at(xMap[0]) + offset || at(yMap[y]) != at(yMap[0]) + offset) return 0;
  }
  return static_cast<int32_t>(pitch);
}

// `pitch`: EvenPitch of the maps, or 0.
int32_t DisRea(Window window, int32_t h, int32_t w, uint32_t* const* xMap, uint32_t* const* yMap,
               int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2,
               int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1, int32_t by1,
               int32_t bx2, int32_t by2, int32_t bx3, int32_t by3, int32_t pitch = 0) {
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2) return n;
  const float fw = static_cast<float>(w);
  const float fh = static_cast<float>(h);
  // The source point is tested against the destination's own size (the maps pull from the
  // plane they lie over), so the column kernel's bounds serve both tests.
#if VMK_SIMD_X86
  const MapColumnFn wide = plat::PickKernel<MapColumnFn>(nullptr, MapColumnAvx2);
#else
  const MapColumnFn wide = nullptr;
#endif
  const MapColumn column{wide,
                         xMap,
                         yMap,
                         pitch > 0 ? xMap[0] : nullptr,
                         pitch > 0 ? yMap[0] : nullptr,
                         pitch};
  walk(
      n, n, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), h, w,
      [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        if (xa < 0.0f || xa >= fw || ya < 0.0f || ya >= fh) return false;
        xMap[y][x] = static_cast<uint32_t>(327680000 - step128(xb, xa));
        yMap[y][x] = static_cast<uint32_t>(327680000 - step128(yb, ya));
        return true;
      },
      window, wide != nullptr ? &column : nullptr, true);
  return n;
}

}  // namespace

int32_t QuadBufRGBToQuadBufRGB(int32_t srcH, int32_t srcW, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, int16_t blend, const uint8_t* mask,
                               int32_t dstH, int32_t dstW, uint8_t* dstR, uint8_t* dstG,
                               uint8_t* dstB, int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1,
                               int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0,
                               int32_t by0, int32_t bx1, int32_t by1, int32_t bx2, int32_t by2,
                               int32_t bx3, int32_t by3) {
  return QuadRGB(Window{0, dstH, true}, srcH, srcW, srcR, srcG, srcB, blend, mask, dstH, dstW, dstR,
                 dstG, dstB, ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3, bx0, by0, bx1, by1, bx2, by2,
                 bx3, by3);
}

int32_t QuadBufRGBToQuadBufRGBRows(int32_t rowFirst, int32_t rowEnd, int32_t srcH, int32_t srcW,
                                   const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB,
                                   int16_t blend, const uint8_t* mask, int32_t dstH, int32_t dstW,
                                   uint8_t* dstR, uint8_t* dstG, uint8_t* dstB, int32_t ax0,
                                   int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2,
                                   int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1,
                                   int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                                   int32_t by3) {
  return QuadRGB(Window{rowFirst, rowEnd, false}, srcH, srcW, srcR, srcG, srcB, blend, mask, dstH,
                 dstW, dstR, dstG, dstB, ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3, bx0, by0, bx1, by1,
                 bx2, by2, bx3, by3);
}

int32_t QuadBufToQuadBuf(int32_t srcH, int32_t srcW, const uint8_t* src, int16_t /*unusedValue*/,
                         const uint8_t* /*unusedPlane*/, int32_t dstH, int32_t dstW, uint8_t* dst,
                         int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                         int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0,
                         int32_t bx1, int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                         int32_t by3) {
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2 || srcW <= 0 || srcH <= 0) return n;
  const bool apart = !Overlap(src, static_cast<size_t>(srcH) * srcW, dst,
                              dstH > 0 && dstW > 0 ? static_cast<size_t>(dstH) * dstW : 0);
  walk(
      n, n, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), dstH, dstW,
      [&](int32_t x, int32_t y, float xa, float ya, float, float) {
        const int32_t sx = static_cast<int32_t>(holdInside(xa, srcW));
        const int32_t sy = static_cast<int32_t>(holdInside(ya, srcH));
        dst[static_cast<size_t>(y) * dstW + x] = src[static_cast<size_t>(sy) * srcW + sx];
      },
      Window{0, dstH, apart}, nullptr, apart);
  return n;
}

int32_t QuadToQuadDisRea(int32_t h, int32_t w, uint32_t* const* xMap, uint32_t* const* yMap,
                         int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                         int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0,
                         int32_t bx1, int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                         int32_t by3) {
  return DisRea(Window{0, h, true}, h, w, xMap, yMap, ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3, bx0,
                by0, bx1, by1, bx2, by2, bx3, by3);
}

int32_t QuadToQuadDisReaRows(int32_t rowFirst, int32_t rowEnd, int32_t h, int32_t w,
                             uint32_t* const* xMap, uint32_t* const* yMap, int32_t ax0, int32_t ay0,
                             int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3,
                             int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1, int32_t by1,
                             int32_t bx2, int32_t by2, int32_t bx3, int32_t by3) {
  return DisRea(Window{rowFirst, rowEnd, false}, h, w, xMap, yMap, ax0, ay0, ax1, ay1, ax2, ay2,
                ax3, ay3, bx0, by0, bx1, by1, bx2, by2, bx3, by3);
}

int64_t QuadWalkPoints() { return gWalkPoints.load(std::memory_order_relaxed); }

bool QuadPairRows(const QuadPair& q, int32_t* top, int32_t* bottom) {
  const float b[4] = {static_cast<float>(q.b[1]), static_cast<float>(q.b[3]),
                      static_cast<float>(q.b[5]), static_cast<float>(q.b[7])};
  const double lo = std::floor(std::min({b[0], b[1], b[2], b[3]}));
  const double hi = std::floor(std::max({b[0], b[1], b[2], b[3]}));
  if (hi < 0.0 || lo > INT32_MAX) return false;
  *top = static_cast<int32_t>(std::max(lo, 0.0));
  *bottom = static_cast<int32_t>(std::min(hi, static_cast<double>(INT32_MAX)));
  return true;
}

void LayQuadPairsRGB(const QuadPair* pairs, int64_t count, int32_t srcH, int32_t srcW,
                     const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB, int32_t dstH,
                     int32_t dstW, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB) {
  auto lay = [&](const QuadPair& q, int32_t first, int32_t end) {
    const int32_t* a = q.a;
    const int32_t* b = q.b;
    QuadRGB(Window{first, end, false}, srcH, srcW, srcR, srcG, srcB, 0, nullptr, dstH, dstW, dstR,
            dstG, dstB, a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], b[0], b[1], b[2], b[3],
            b[4], b[5], b[6], b[7]);
  };
  const uint8_t* const from[3] = {srcR, srcG, srcB};
  const uint8_t* const to[3] = {dstR, dstG, dstB};
  const bool apart = srcH > 0 && srcW > 0 && dstH > 0 && dstW > 0 &&
                     !PlanesShareBytes(from, 3, static_cast<size_t>(srcH) * srcW, to, 3,
                                       static_cast<size_t>(dstH) * dstW);
  auto rows = [&](int64_t i, int32_t* top, int32_t* bottom) {
    return QuadPairRows(pairs[i], top, bottom);
  };
  if (apart && LayInRowBands(count, dstH, rows, [&](int64_t i, int32_t first, int32_t end) {
        lay(pairs[i], first, end);
      }))
    return;
  for (int64_t i = 0; i < count; ++i) lay(pairs[i], 0, dstH);
}

namespace {

void LayMaps(const QuadPair* pairs, int64_t count, int32_t h, int32_t w, uint32_t* const* xMap,
             uint32_t* const* yMap, bool neutralFirst) {
  const int32_t pitch = EvenPitch(xMap, yMap, h, w);
  auto lay = [&](const QuadPair& q, int32_t first, int32_t end) {
    const int32_t* a = q.a;
    const int32_t* b = q.b;
    DisRea(Window{first, end, false}, h, w, xMap, yMap, a[0], a[1], a[2], a[3], a[4], a[5], a[6],
           a[7], b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], pitch);
  };
  auto rows = [&](int64_t i, int32_t* top, int32_t* bottom) {
    return QuadPairRows(pairs[i], top, bottom);
  };
  auto neutral = [&](int32_t first, int32_t end) {
    if (!neutralFirst || w <= 0) return;
    for (int32_t y = first; y < end; ++y) {
      std::fill(xMap[y], xMap[y] + w, 327680000u);
      std::fill(yMap[y], yMap[y] + w, 327680000u);
    }
  };
  if (h <= 0) return;
  if (LayInRowBands(
          count, h, rows,
          [&](int64_t i, int32_t first, int32_t end) { lay(pairs[i], first, end); }, neutral))
    return;
  // One band, or no room for the band lists: the whole fill, then the pairs one by one.
  plat::ParallelFor(0, h, kQuadBandRows, [&](int32_t first, int32_t end) { neutral(first, end); });
  for (int64_t i = 0; i < count; ++i) lay(pairs[i], 0, h);
}

}  // namespace

void LayQuadPairMaps(const QuadPair* pairs, int64_t count, int32_t h, int32_t w,
                     uint32_t* const* xMap, uint32_t* const* yMap) {
  LayMaps(pairs, count, h, w, xMap, yMap, false);
}

void LayQuadPairMapsOnNeutral(const QuadPair* pairs, int64_t count, int32_t h, int32_t w,
                              uint32_t* const* xMap, uint32_t* const* yMap) {
  LayMaps(pairs, count, h, w, xMap, yMap, true);
}

bool PlanesShareBytes(const uint8_t* const* from, int32_t fromCount, size_t fromSize,
                      const uint8_t* const* to, int32_t toCount, size_t toSize) {
  for (int32_t i = 0; i < fromCount; ++i)
    for (int32_t j = 0; j < toCount; ++j)
      if (Overlap(from[i], fromSize, to[j], toSize)) return true;
  return false;
}

int32_t QuadToQuadLong(int32_t width, int32_t height, int32_t /*unused1*/, int32_t /*unused2*/,
                       int32_t /*unused3*/, int32_t /*unused4*/, int32_t /*unused5*/,
                       int32_t /*unused6*/, uint32_t* mapX, uint32_t* mapY, int32_t ax0,
                       int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2,
                       int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1,
                       int32_t by1, int32_t bx2, int32_t by2, int32_t bx3, int32_t by3) {
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2 || mapX == nullptr || mapY == nullptr) return n;
  const float fw = static_cast<float>(width);
  const float fh = static_cast<float>(height);
  walk(
      n, n, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), height, width,
      [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        if (xa < 0.0f || xa >= fw || ya < 0.0f || ya >= fh) return;
        const size_t k = static_cast<size_t>(y) * width + x;
        // The brush family holds its 32-bit values to 0..65536.
        mapX[k] = static_cast<uint32_t>(std::clamp(kQuadMapNeutral - step128(xb, xa), 0, 65536));
        mapY[k] = static_cast<uint32_t>(std::clamp(kQuadMapNeutral - step128(yb, ya), 0, 65536));
      },
      Window{0, INT32_MAX, true});
  return n;
}

void QuadToQuad(int32_t h, int32_t w, uint16_t* xMap, uint16_t* yMap, int32_t ax0, int32_t ay0,
                int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3,
                int32_t bx0, int32_t by0, int32_t bx1, int32_t by1, int32_t bx2, int32_t by2,
                int32_t bx3, int32_t by3) {
  if (!mapsFit(h, w)) return;
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2) return;
  walk(
      n, n, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), h, w,
      [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        const size_t k = static_cast<size_t>(y) * w + x;
        xMap[k] = static_cast<uint16_t>(kQuadMapNeutral - step128(xb, xa));
        yMap[k] = static_cast<uint16_t>(kQuadMapNeutral - step128(yb, ya));
      },
      Window{0, INT32_MAX, true});
}

void QuadToQuad1(int32_t h, int32_t w, int32_t /*unused1*/, int32_t /*unused2*/, uint16_t* xMap,
                 uint16_t* yMap, int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                 int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1,
                 int32_t by1, int32_t bx2, int32_t by2, int32_t bx3, int32_t by3) {
  if (!mapsFit(h, w)) return;
  const int32_t n = std::max(diagonalOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
                             diagonalOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3));
  if (n < 2) return;
  int32_t nu = std::max({edgeLength(ax0, ay0, ax1, ay1), edgeLength(ax2, ay2, ax3, ay3),
                         edgeLength(bx0, by0, bx1, by1), edgeLength(bx2, by2, bx3, by3)});
  int32_t nv = std::max({edgeLength(ax1, ay1, ax2, ay2), edgeLength(ax0, ay0, ax3, ay3),
                         edgeLength(bx1, by1, bx2, by2), edgeLength(bx0, by0, bx3, by3)});
  // Edges that run backwards by a pixel measure 0 or 1; a lattice needs its
  // two ends.
  nu = std::max(nu, 2);
  nv = std::max(nv, 2);
  walk(
      nu, nv, cornersOf(ax0, ay0, ax1, ay1, ax2, ay2, ax3, ay3),
      cornersOf(bx0, by0, bx1, by1, bx2, by2, bx3, by3), h, w,
      [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        const size_t k = static_cast<size_t>(y) * w + x;
        xMap[k] = static_cast<uint16_t>(kQuadMapNeutral - step128(xb, xa));
        yMap[k] = static_cast<uint16_t>(kQuadMapNeutral - step128(yb, ya));
      },
      Window{0, INT32_MAX, true});
}

int32_t X_Grinout_buffer(int16_t mode, int32_t flipHeight, int32_t /*unused*/, int32_t height,
                         int32_t width, uint16_t* xMap, uint16_t* yMap, const TCWrap* record) {
  if (record == nullptr || !TCWrapLatticeFits(*record)) return -1;
  if (xMap == nullptr || yMap == nullptr || !mapsFit(height, width)) return -1;
  const TCWrapToPicture pic(*record, flipHeight);
  if (!pic.valid()) return -1;
  if (mode == 1) {
    for (int32_t k = 0; k < 500 * 500; ++k) {
      xMap[k] = kQuadMapNeutral;
      yMap[k] = kQuadMapNeutral;
    }
  }
  auto toPictureX = [&](float v) { return pic.X(v); };
  auto toPictureY = [&](float v) { return pic.Y(v); };
  const int32_t nx = record->columns;
  const int32_t ny = record->rows;
  const TCWrapNodes& a = record->set1;
  const TCWrapNodes& b = record->set2;
  for (int32_t j = 0; j < ny; ++j) {
    for (int32_t i = 0; i < nx; ++i) {
      // Corners P0..P3: (i, j), (i + 1, j), (i + 1, j + 1), (i, j + 1).
      const int32_t k[4] = {j * (nx + 1) + i, j * (nx + 1) + i + 1, (j + 1) * (nx + 1) + i + 1,
                            (j + 1) * (nx + 1) + i};
      QuadToQuad(height, width, xMap, yMap, toPictureX(a.x[k[0]]), toPictureY(a.y[k[0]]),
                 toPictureX(a.x[k[1]]), toPictureY(a.y[k[1]]), toPictureX(a.x[k[2]]),
                 toPictureY(a.y[k[2]]), toPictureX(a.x[k[3]]), toPictureY(a.y[k[3]]),
                 toPictureX(b.x[k[0]]), toPictureY(b.y[k[0]]), toPictureX(b.x[k[1]]),
                 toPictureY(b.y[k[1]]), toPictureX(b.x[k[2]]), toPictureY(b.y[k[2]]),
                 toPictureX(b.x[k[3]]), toPictureY(b.y[k[3]]));
    }
  }
  return 0;
}
