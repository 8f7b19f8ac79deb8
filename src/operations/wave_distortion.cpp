// Wave distortion: a wave along x shifts each column up or down, a wave
// along y each row sideways, in sine, triangle or square shape; the shifted
// picture is blended back over the region.
//
// A shifted position that leaves the region comes back in from the other
// side, with a period one row (column) short of the region's extent; large
// amplitudes wrap as often as needed, so no read ever leaves the region.
//
// The walk goes down bands of rows in strips of 256 columns, and runs of
// columns of one shift whose positions do not wrap are copied as blocks.
// Measured through the script's render at its defaults (three 6000 x 4000
// planes, 8 threads on a shared, loaded 8-core machine): about 210 ms walking
// whole rows with both positions wrapped per sample, about 95 ms in strips,
// about 35 ms with per-column offsets as well (one thread: 285 ms, 130 ms);
// see below for the walk in place, for the gather 64 columns at a time that
// processors with AVX-512 take instead, and for the two sweeps in place that
// a replacement takes where they also permute bytes across a register.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/simd.h"
#include "raster/tile_transform.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if VMK_SIMD_X86
#include <immintrin.h>
#endif

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

constexpr double kPi = 3.141592654;

// One shift per position along an extent of `along` samples, for `waves`
// waves whose amplitude is `percent` of `across`.
void FillShifts(int32_t* shift, int32_t along, int32_t acrossExtent, int16_t shape,
                int32_t waves, int32_t percent) {
  const int64_t across = acrossExtent;
  if (waves == 0) {
    for (int32_t i = 0; i < along; ++i) shift[i] = 0;
    return;
  }
  int64_t q = along / (2 * waves);
  if (q < 1) q = 1;
  const int64_t full = across * percent / 100;
  for (int32_t i = 0; i < along; ++i) {
    const int64_t phase = (i / q) % 4;
    const int64_t u = i % q;
    int64_t v = 0;
    switch (shape) {
      case 0: {
        const int64_t arg = (phase == 0 || phase == 2) ? u : q - u;
        const int64_t s = static_cast<int64_t>(
            std::sin(static_cast<double>(arg) * kPi / static_cast<double>(2 * q)) * percent *
            static_cast<double>(across) / 100);
        v = phase < 2 ? s : -s;
        break;
      }
      case 1:
        switch (phase) {
          case 0: v = across * percent * u / (100 * q); break;
          case 1: v = across * percent * (q - u) / (100 * q); break;
          case 2: v = -across * percent * u / (100 * q); break;
          default: v = across * percent * (u - q) / (100 * q); break;
        }
        break;
      case 2:
        v = (phase % 2 == 0) ? full : -full;
        break;
      default:
        break;
    }
    shift[i] = static_cast<int32_t>(v);
  }
}

}  // namespace

namespace {

constexpr int32_t kStrip = 256;
// A run's block copy reads and writes up to kSpill bytes from its start.
constexpr int32_t kSpill = 16;
// The cache line, and how many rows ahead of the walk its lines are asked for.
constexpr int32_t kLine = 64, kAhead = 8;
// The rows of a strip a walk in place works out at once, and their step in its tile.
constexpr int32_t kTileRows = 64, kTileStep = kStrip + kSpill;

// The shifts and the column runs a walk reads through.
struct WaveWalk {
  int32_t x0, y0, x1, y1, rw, rh;
  const int32_t* columnShift;  // per region column
  const int32_t* rowShift;     // per region row
  const int32_t* runEnd;       // the column after the run of one shift starting at a column
  const int32_t* blockHigh;    // highest column shift of each kLine columns
};

// kSpill bytes. Runs are mostly a few samples long: the compiler turns a loop of fixed-size
// copies into one call of the library's copy per run, which costs more than the run.
inline void CopyBlock(unsigned char* to, const unsigned char* from) {
#if defined(__SSE2__)
  _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
  std::memcpy(to, from, kSpill);
#endif
}

// One run of `count` samples of one shift, from region row r at column `column` (relative to
// x0) into `to`. A run whose positions do not wrap reads consecutive samples of one row, in
// blocks of kSpill bytes (the last one past the run's end) where they lie in memory; a run
// that wraps goes sample by sample.
template <typename Origin>
inline void CopyRun(const WaveWalk& w, int64_t r, int64_t column, int32_t count,
                    unsigned char* to, Origin& origin) {
  bool blocks = false;
  if (r < w.y0 || r > w.y1 || column < 0 || column + count > w.rw) {
    const unsigned char* from = origin(WrapInSpan(r, w.y0, w.y1), &blocks);
    for (int32_t j = 0; j < count; ++j)
      to[j] = from[WrapInSpan(column + j + w.x0, w.x0, w.x1) - w.x0];
    return;
  }
  const unsigned char* from = origin(static_cast<int32_t>(r), &blocks) + column;
  if (blocks) {
    // The first block outside the loop: a run longer than a block is rare, and only its
    // further blocks may become a call of the library's copy.
    CopyBlock(to, from);
    for (int32_t j = kSpill; j < count; j += kSpill) CopyBlock(to + j, from + j);
  } else {
    for (int32_t j = 0; j < count; ++j) to[j] = from[j];
  }
}

// Row y of strip xs..xe into o (o[0] is column xs; kSpill bytes past the strip may be
// written). origin(r) gives where the samples of region row r start (its column x0) as they
// were before the walk, and whether kSpill bytes past any run of that row may be read.
template <typename Origin>
void WalkStripRow(const WaveWalk& w, int32_t y, int32_t xs, int32_t xe, unsigned char* o,
                  Origin origin) {
  const int32_t across = w.rowShift[y - w.y0];
  // Going down a row, each kLine columns read at most one row they had not read: the highest
  // of their shifts below the row. Those lines are asked for kAhead rows early: the reads jump
  // from row to row along the strip, a pattern the processor does not foresee.
  const int32_t ahead = y + kAhead;
  if (ahead <= w.y1) {
    const int32_t shift = w.rowShift[ahead - w.y0];
    for (int32_t k = (xs - w.x0) / kLine, last = (xe - w.x0) / kLine; k <= last; ++k) {
      const int64_t r = static_cast<int64_t>(ahead) + w.blockHigh[k];
      const int64_t column = static_cast<int64_t>(k) * kLine + shift;
      if (r > w.y1 || column < 0 || column + kLine > w.rw) continue;
      bool blocks = false;
      const unsigned char* p = origin(static_cast<int32_t>(r), &blocks) + column;
      __builtin_prefetch(p);
      __builtin_prefetch(p + kLine - 1);
    }
  }
  for (int32_t i = xs - w.x0, stop = xe - w.x0 + 1; i < stop; i = w.runEnd[i]) {
    const int32_t count = w.runEnd[i] - i;
    const int64_t r = static_cast<int64_t>(y) + w.columnShift[i];
    const int64_t column = static_cast<int64_t>(i) + across;
    unsigned char* to = o + (i - (xs - w.x0));
    CopyRun(w, r, column, count, to, origin);
  }
}

// Rows ya .. yb - 1 of strip xs..xe into tile (row y at tile + (y - ya) * kTileStep; kSpill
// bytes past the strip may be written), run by run, each run going down the rows: its reads
// then step from one row to the next at nearly the same column, which the processor's
// prefetching follows, where a walk along the row jumps between rows at every run.
template <typename Origin>
void WalkStripTile(const WaveWalk& w, int32_t ya, int32_t yb, int32_t xs, int32_t xe,
                   unsigned char* tile, Origin origin) {
  for (int32_t i = xs - w.x0, stop = xe - w.x0 + 1; i < stop; i = w.runEnd[i]) {
    const int32_t count = w.runEnd[i] - i;
    const int32_t shift = w.columnShift[i];
    unsigned char* to = tile + (i - (xs - w.x0));
    for (int32_t y = ya; y < yb; ++y, to += kTileStep) {
      const int64_t r = static_cast<int64_t>(y) + shift;
      const int64_t column = static_cast<int64_t>(i) + w.rowShift[y - w.y0];
      CopyRun(w, r, column, count, to, origin);
    }
  }
}


// The gather into a copy, 64 columns (a window) at a time. A column's shift stays the same
// down all the rows, so each window's columns fall into a few groups of one shift (about 17
// at the defaults, where the shift changes every 3 to 4 columns), found once: a row of the
// window is then one masked 64-byte load a group, from the row its shift names at the
// window's columns moved by the row's shift, merged into one register and stored. The rows
// of a band go down a strip of kGatherStrip windows, so that the few dozen plane rows a
// strip reads move down one row at a time and stay in the core's cache. (Three 6000 x 4000
// planes at the defaults on a loaded 8-core machine: one thread ~110 -> ~60 ms against the
// walk in place, 8 threads ~45 -> ~25 ms; without the lines asked for ahead, one thread
// takes ~90 ms. The strip's width and the band's height barely matter.)
constexpr int32_t kWindow = 64, kGatherStrip = 4, kGatherBand = 128, kGatherAhead = 16;

struct WaveGather {
  const unsigned char* plane;
  int64_t width;
  int32_t x0, y0, x1, y1, rw;
  const int32_t* columnShift;
  const int32_t* rowShift;
  const int32_t* groupFirst;   // the first group of each window; one more entry at the end
  const int32_t* groupShift;   // the column shift of a group
  const int64_t* groupOffset;  // that shift in bytes of the plane
  const uint64_t* groupLanes;  // the window's columns of a group
  const int32_t* low;          // lowest column shift of each window
  const int32_t* high;         // highest
  int32_t windows;
  unsigned char* out;  // rw bytes a row, from plane row outRow0 on
  int32_t outRow0;
};

// Columns i0 .. i1 - 1 of region row y sample by sample, both positions wrapped.
inline void GatherPlain(const WaveGather& g, int32_t y, int32_t i0, int32_t i1) {
  const int32_t across = g.rowShift[y - g.y0];
  unsigned char* to = g.out + static_cast<int64_t>(y - g.outRow0) * g.rw;
  for (int32_t i = i0; i < i1; ++i) {
    const int32_t r = WrapInSpan(static_cast<int64_t>(y) + g.columnShift[i], g.y0, g.y1);
    const int32_t c = WrapInSpan(static_cast<int64_t>(g.x0) + i + across, g.x0, g.x1);
    to[i] = g.plane[r * g.width + c];
  }
}

#if VMK_SIMD_X86
// Rows first .. end - 1. Lanes outside a window's masks are never read (masked loads do not
// touch them), so a load may start before a row or run past it.
VMK_TARGET_AVX512 void GatherRowsAvx512(const WaveGather& g, int32_t first, int32_t end) {
  const int32_t rw = g.rw;
  for (int32_t ks = 0; ks < g.windows; ks += kGatherStrip) {
    const int32_t ke = std::min(ks + kGatherStrip, g.windows);
    for (int32_t y = first; y < end; ++y) {
      const int32_t across = g.rowShift[y - g.y0];
      // A row's shift of a period or more wraps a window's columns more than once.
      if (rw < 2 * kWindow || across >= rw - 1 || -across >= rw - 1) {
        GatherPlain(g, y, ks * kWindow, std::min(ke * kWindow, rw));
        continue;
      }
      unsigned char* to = g.out + static_cast<int64_t>(y - g.outRow0) * rw;
      const unsigned char* row = g.plane + y * g.width + g.x0;
      for (int32_t k = ks; k < ke; ++k) {
        const int32_t i0 = k * kWindow;
        const int32_t n = std::min(kWindow, rw - i0);
        const uint64_t lanes = n == kWindow ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
        // Where the row's shift takes the window past the region's side, its columns from
        // there on (or up to there) read from the other side, rw - 1 columns back (on).
        const int32_t s = i0 + across;
        uint64_t a = lanes, b = 0;
        int64_t wrap = 0;
        if (s < 0) {
          const int32_t m = std::min(-s, n);
          b = m == kWindow ? ~uint64_t{0} : (uint64_t{1} << m) - 1;
          a = lanes & ~b;
          wrap = rw - 1;
        } else if (s + n > rw) {
          const int32_t m = std::max(rw - s, 0);
          b = lanes & ~((uint64_t{1} << m) - 1);
          a = lanes & ~b;
          wrap = -(static_cast<int64_t>(rw) - 1);
        }
        const unsigned char* base = row + s;
        // Going down, a window reads one plane row it had not read: the one its highest shift
        // names. Those rows lie a row apart, a stride the processor does not follow across
        // pages, so the lines are asked for kGatherAhead rows early.
        if (y + kGatherAhead <= g.y1) {
          const int64_t r = static_cast<int64_t>(y) + kGatherAhead + g.high[k];
          const int32_t c = i0 + g.rowShift[y + kGatherAhead - g.y0];
          if (r <= g.y1 && c >= 0 && c + n <= rw) {
            const unsigned char* p = g.plane + r * g.width + g.x0 + c;
            _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(p + n - 1), _MM_HINT_T0);
          }
        }
        __m512i acc = _mm512_setzero_si512();
        const int32_t gf = g.groupFirst[k], ge = g.groupFirst[k + 1];
        if (y + g.low[k] >= g.y0 && y + g.high[k] <= g.y1) {
          if (b == 0) {
            for (int32_t j = gf; j < ge; ++j)
              acc = _mm512_or_si512(acc, _mm512_maskz_loadu_epi8(g.groupLanes[j],
                                                                 base + g.groupOffset[j]));
          } else {
            for (int32_t j = gf; j < ge; ++j) {
              const unsigned char* p = base + g.groupOffset[j];
              acc = _mm512_or_si512(acc, _mm512_maskz_loadu_epi8(g.groupLanes[j] & a, p));
              acc = _mm512_or_si512(acc, _mm512_maskz_loadu_epi8(g.groupLanes[j] & b, p + wrap));
            }
          }
        } else {
          // Rows near the region's top or bottom: a group's row wraps as the plain walk's does.
          for (int32_t j = gf; j < ge; ++j) {
            const int64_t r = WrapInSpan(static_cast<int64_t>(y) + g.groupShift[j], g.y0, g.y1);
            const unsigned char* p = g.plane + r * g.width + g.x0 + s;
            acc = _mm512_or_si512(acc, _mm512_maskz_loadu_epi8(g.groupLanes[j] & a, p));
            if (b != 0)
              acc = _mm512_or_si512(acc, _mm512_maskz_loadu_epi8(g.groupLanes[j] & b, p + wrap));
          }
        }
        if (n == kWindow)
          _mm512_storeu_si512(to + i0, acc);
        else
          _mm512_mask_storeu_epi8(to + i0, lanes, acc);
      }
    }
  }
}

// A replacement at full opacity without a mask, in place in two sweeps, on processors that
// permute bytes across a register (VBMI). Sample (y, x) of the result is plane sample
// (y + columnShift[x], x + rowShift[y]), both wrapped. The first sweep moves each row r
// sideways on its own: its column x takes the sample rowShift[y] on, y the row that will
// read it there (r - columnShift[x], wrapped). The second moves each column up or down by
// its own shift, which no longer depends on the row. Each sweep reads only what it writes
// (a row; a column), so both work in place, without the copy of the plane and the copy back
// that the gather above needs; a window of 64 columns of the first sweep is two byte
// permutes of the 128 samples around its columns moved by its rows' shifts, and the second
// goes down the rows, a column of a shift below 0 reading the rows above it from a ring of
// them kept before they were written. Band by band of kSweepBand rows, the first sweep runs
// kSweepBand rows ahead of the second on the shared threads, so that the second reads what
// the first wrote while it is still in the caches: the plane goes through memory about once.
// Only the first and last rows of the result read one plane sample at two row shifts (the
// wrap's period is one row short of the region's height): they are gathered first from the
// untouched plane and put in last. (Three 6000 x 4000 planes at the defaults through the
// render, on an 8-core machine loaded to about 20: 8 threads ~35 -> ~17 ms against the
// gather, one thread ~95 -> ~50 ms; the second sweep by a masked load per column shift, as
// the gather, took about twice as long as by bits.)
constexpr int32_t kSweepBand = 512, kSweepRows = 32, kSweepStrip = 6, kSweepRun = 128,
                  kStages = 7, kSweepAhead = 40;

struct WaveSweeps {
  unsigned char* region;  // the plane at the region's first row and column
  int64_t width;
  int32_t rw, rh, windows;
  int32_t pad;                 // samples a row's copy holds past each side (wrapped)
  const int32_t* rowShift;     // of row t - ext, wrapped
  const uint8_t* rowShiftLow;  // its low bytes
  int32_t ext;
  const int32_t* low;            // lowest column shift of each window
  const int32_t* high;           // highest
  const uint8_t* toHigh;         // per window, 64 bytes: high - the column's shift
  const int32_t* bits;            // per window: the bits of its highest shift - lowest
  const uint64_t* stageLanes;     // per window, kStages: the columns whose shift - low has the bit
  unsigned char* ring;  // per window, ringRows rows of 64 samples as the first sweep left them
  int32_t ringRows;     // a power of two
  const unsigned char* top;  // rows 0 .. highest shift as the first sweep left them, rw apart
  // Per 32 columns (the AVX2 rows' form): how many shifts, and their high - shift values.
  const uint8_t* halfCount;
  const uint8_t* halfDiff;  // 32 a half
};

// Rows first .. end - 1 (of the region) moved sideways, through `copy` (rw + 2 pad samples).
VMK_TARGET_AVX512VBMI void ShiftRowsAvx512Vbmi(const WaveSweeps& s, int32_t first, int32_t end,
                                                unsigned char* copy) {
  alignas(64) unsigned char lanes[kWindow];
  for (int32_t j = 0; j < kWindow; ++j) lanes[j] = static_cast<unsigned char>(j + 32);
  const __m512i lane = _mm512_load_si512(lanes);
  const int32_t rw = s.rw, pad = s.pad;
  for (int32_t r = first; r < end; ++r) {
    unsigned char* row = s.region + r * s.width;
    // A column wraps with a period one short of the region's width (pad < rw).
    std::memcpy(copy, row + rw - 1 - pad, static_cast<size_t>(pad));
    std::memcpy(copy + pad, row, static_cast<size_t>(rw));
    std::memcpy(copy + pad + rw, row + 1, static_cast<size_t>(pad));
    for (int32_t k = 0; k < s.windows; ++k) {
      const int32_t i0 = k * kWindow;
      // Lane j reads the row shift of row r - shift(j) = t + toHigh[j]: 128 low bytes from t
      // hold them all, and (the shifts there lying within 32 of the one at t) their
      // differences to the one at t are those of the bytes.
      const int64_t t = static_cast<int64_t>(r) - s.high[k] + s.ext;
      const __m512i near = _mm512_permutex2var_epi8(
          _mm512_loadu_si512(s.rowShiftLow + t),
          _mm512_loadu_si512(s.toHigh + static_cast<int64_t>(k) * kWindow),
          _mm512_loadu_si512(s.rowShiftLow + t + kWindow));
      const __m512i index = _mm512_add_epi8(
          lane, _mm512_sub_epi8(near, _mm512_set1_epi8(static_cast<char>(s.rowShiftLow[t]))));
      const unsigned char* from = copy + pad + i0 + s.rowShift[t] - 32;
      const __m512i moved = _mm512_permutex2var_epi8(_mm512_loadu_si512(from), index,
                                                     _mm512_loadu_si512(from + kWindow));
      if (i0 + kWindow <= rw)
        _mm512_storeu_si512(row + i0, moved);
      else
        _mm512_mask_storeu_epi8(row + i0, (uint64_t{1} << (rw - i0)) - 1, moved);
    }
  }
}

// Where the second sweep, at rows a and below, reads region row q of window k: past the top
// and the bottom the wrapped rows (those past the bottom as the first sweep left the top
// ones), a row above a from the ring that kept it before it was written, any other from the
// plane.
inline const unsigned char* SweptRow(const WaveSweeps& s, int32_t k, int32_t a, int32_t q) {
  const int32_t last = s.rh - 1;
  const unsigned char* const column = s.region + static_cast<int64_t>(k) * kWindow;
  if (q < 0) return column + static_cast<int64_t>(q + last) * s.width;  // past the top
  if (q < a)  // written already, kept
    return s.ring + (static_cast<int64_t>(k) * s.ringRows + (q & (s.ringRows - 1))) * kWindow;
  if (q <= last) return column + static_cast<int64_t>(q) * s.width;
  return s.top + static_cast<int64_t>(q - last) * s.rw + static_cast<int64_t>(k) * kWindow;
}

// A window's row asked for ahead: both ends, as it may span two cache lines. The hint's
// type is the compiler's own (an enum in GCC's headers, an int in clang's), so it is deduced.
template <auto kHint>
inline void PrefetchWindow(const unsigned char* row) {
  _mm_prefetch(reinterpret_cast<const char*>(row), kHint);
  _mm_prefetch(reinterpret_cast<const char*>(row + kWindow - 1), kHint);
}

// Windows ks .. ke - 1 of rows first .. end - 1 moved up or down, every row above `first`
// done already and every row below `end` as the first sweep left it. A column of shift c
// takes the row c - low below (low: the window's lowest shift) from the rows shifted by low,
// one bit of c - low at a time: a stage per bit takes, in the columns whose bit is set, the
// row 2^bit below. A row of a window then costs a blend a bit (five at the defaults) where a
// masked load per column shift (about 18) cost twice as much and more. The stages go
// kSweepRun rows at a time through `tile`.
VMK_TARGET_AVX512 void ShiftColumnsAvx512(const WaveSweeps& s, int32_t ks, int32_t ke,
                                          int32_t first, int32_t end, unsigned char* tile) {
  const int32_t ringMask = s.ringRows - 1;
  for (int32_t k = ks; k < ke; ++k) {
    const int32_t i0 = k * kWindow;
    const uint64_t lanes =
        i0 + kWindow <= s.rw ? ~uint64_t{0} : (uint64_t{1} << (s.rw - i0)) - 1;
    const int32_t low = s.low[k], span = s.high[k] - low, bits = s.bits[k];
    const uint64_t* stage = s.stageLanes + static_cast<int64_t>(k) * kStages;
    unsigned char* const column = s.region + i0;
    unsigned char* const ring = s.ring + static_cast<int64_t>(k) * s.ringRows * kWindow;
    for (int32_t a = first; a < end; a += kSweepRun) {
      const int32_t n = std::min(kSweepRun, end - a);
      // Row u of the rows shifted by low, as the first sweep left it. No column reads past
      // row n - 1 + span; the stages' rows beyond it feed only columns that do not take them.
      const int32_t reach = n - 1 + span;
      auto source = [&](int32_t u) { return SweptRow(s, k, a, a + low + std::min(u, reach)); };
      int32_t rows = n;
      if (bits == 0) {
        for (int32_t u = 0; u < n; ++u)
          _mm512_store_si512(tile + u * kWindow, _mm512_maskz_loadu_epi8(lanes, source(u)));
      } else {
        rows = n + (1 << bits) - 2;
        for (int32_t u = 0; u < kSweepAhead && u <= reach; ++u) {
          const unsigned char* ahead = source(u);
          PrefetchWindow<_MM_HINT_T0>(ahead);
        }
        __m512i near = _mm512_maskz_loadu_epi8(lanes, source(0));
        for (int32_t u = 0; u < rows; ++u) {
          // The rows come from the first sweep on other cores: asked for well ahead.
          if (u + kSweepAhead <= reach) {
            const unsigned char* ahead = source(u + kSweepAhead);
            PrefetchWindow<_MM_HINT_T0>(ahead);
          }
          // The rows the last loop keeps in the ring without the stages having read them.
          if (low < 0 && u < n && u > n - 1 + low + span) {
            const unsigned char* kept = column + static_cast<int64_t>(a + u) * s.width;
            PrefetchWindow<_MM_HINT_T1>(kept);
          }
          const __m512i far = _mm512_maskz_loadu_epi8(lanes, source(u + 1));
          _mm512_store_si512(tile + u * kWindow, _mm512_mask_blend_epi8(stage[0], near, far));
          // The sub-band's own rows go to the ring as they pass (rows below read them there).
          const int32_t q = a + low + u + 1;
          if (low < 0 && q >= a && q < a + n && u + 1 <= reach)
            _mm512_store_si512(ring + (q & ringMask) * kWindow, far);
          near = far;
        }
        // The last stage goes straight into the plane below; the others two at a time where
        // they can (a row then takes one of four, and is stored once for both).
        int32_t i = 1;
        for (; i + 2 < bits; i += 2) {
          const int32_t step = (1 << i) * kWindow;
          rows -= 3 << i;
          for (int32_t u = 0; u < rows; ++u) {
            unsigned char* t = tile + u * kWindow;
            const __m512i upper = _mm512_mask_blend_epi8(stage[i], _mm512_load_si512(t),
                                                         _mm512_load_si512(t + step));
            const __m512i lower = _mm512_mask_blend_epi8(stage[i], _mm512_load_si512(t + 2 * step),
                                                         _mm512_load_si512(t + 3 * step));
            _mm512_store_si512(t, _mm512_mask_blend_epi8(stage[i + 1], upper, lower));
          }
        }
        for (; i + 1 < bits; ++i) {
          const int32_t step = 1 << i;
          rows -= step;
          for (int32_t u = 0; u < rows; ++u) {
            unsigned char* t = tile + u * kWindow;
            _mm512_store_si512(t, _mm512_mask_blend_epi8(stage[i], _mm512_load_si512(t),
                                                         _mm512_load_si512(t + step * kWindow)));
          }
        }
      }
      const int32_t step = bits >= 2 ? 1 << (bits - 1) : 0;
      const uint64_t lastStage = bits >= 2 ? stage[bits - 1] : 0;
      for (int32_t u = 0; u < n; ++u) {
        const int32_t y = a + u;
        unsigned char* p = column + static_cast<int64_t>(y) * s.width;
        // Rows below read this one from the ring once it is written. The first stage put
        // there the rows it read: all but those below the highest shift's reach.
        if (low < 0 && (bits == 0 || y > a + n - 1 + low + span))
          _mm512_store_si512(ring + (y & ringMask) * kWindow, _mm512_maskz_loadu_epi8(lanes, p));
        const unsigned char* t = tile + u * kWindow;
        const __m512i moved = _mm512_mask_blend_epi8(lastStage, _mm512_load_si512(t),
                                                     _mm512_load_si512(t + step * kWindow));
        if (lanes == ~uint64_t{0})
          _mm512_storeu_si512(p, moved);
        else
          _mm512_mask_storeu_epi8(p, lanes, moved);
      }
    }
  }
}

// The same two sweeps on processors with AVX2 only, on the same windows of 64 columns, each a
// pair of 32-byte halves. Without byte permutes across a register, a half of a row of the
// first sweep is one unaligned load a column shift among its 32 columns (about nine at the
// defaults), from the row's copy moved by the shift of the row that will read it there,
// merged by a compare of the columns' high - shift bytes; the second is the stages of the
// AVX-512 form with vpblendvb on byte masks.
constexpr int32_t kHalf = 32;

struct WindowPair {
  __m256i lo, hi;
};

// A window's `n` samples from `p` (none read past them); lanes from n on are 0.
VMK_TARGET_AVX2 inline WindowPair LoadWindow(const unsigned char* p, int32_t n) {
  if (n == kWindow)
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + kHalf))};
  alignas(32) unsigned char part[kWindow] = {};
  std::memcpy(part, p, static_cast<size_t>(n));
  return {_mm256_load_si256(reinterpret_cast<const __m256i*>(part)),
          _mm256_load_si256(reinterpret_cast<const __m256i*>(part + kHalf))};
}

// The first `n` samples of a window to `p` (none written past them).
VMK_TARGET_AVX2 inline void StoreWindow(unsigned char* p, int32_t n, WindowPair v) {
  if (n == kWindow) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v.lo);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + kHalf), v.hi);
    return;
  }
  alignas(32) unsigned char part[kWindow];
  _mm256_store_si256(reinterpret_cast<__m256i*>(part), v.lo);
  _mm256_store_si256(reinterpret_cast<__m256i*>(part + kHalf), v.hi);
  std::memcpy(p, part, static_cast<size_t>(n));
}

VMK_TARGET_AVX2 inline WindowPair LoadTile(const unsigned char* t) {
  return {_mm256_load_si256(reinterpret_cast<const __m256i*>(t)),
          _mm256_load_si256(reinterpret_cast<const __m256i*>(t + kHalf))};
}

VMK_TARGET_AVX2 inline void StoreTile(unsigned char* t, WindowPair v) {
  _mm256_store_si256(reinterpret_cast<__m256i*>(t), v.lo);
  _mm256_store_si256(reinterpret_cast<__m256i*>(t + kHalf), v.hi);
}

// b where the mask's bytes are set, a elsewhere.
VMK_TARGET_AVX2 inline WindowPair BlendWindow(const WindowPair& mask, WindowPair a, WindowPair b) {
  return {_mm256_blendv_epi8(a.lo, b.lo, mask.lo), _mm256_blendv_epi8(a.hi, b.hi, mask.hi)};
}

// Bit j of `bits` as byte j of the result, all ones or all zeros.
VMK_TARGET_AVX2 inline __m256i ByteMask(uint32_t bits) {
  const __m256i spread = _mm256_shuffle_epi8(
      _mm256_set1_epi32(static_cast<int32_t>(bits)),
      _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3,
                       3, 3, 3, 3, 3, 3, 3));
  const __m256i bit = _mm256_set1_epi64x(static_cast<int64_t>(0x8040201008040201ULL));
  return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

// Rows first .. end - 1 (of the region) moved sideways, through `copy` (rw + 2 pad samples).
VMK_TARGET_AVX2 void ShiftRowsAvx2(const WaveSweeps& s, int32_t first, int32_t end,
                                   unsigned char* copy) {
  const int32_t rw = s.rw, pad = s.pad, halves = (rw + kHalf - 1) / kHalf;
  const unsigned char* const from = copy + pad;
  for (int32_t r = first; r < end; ++r) {
    unsigned char* row = s.region + r * s.width;
    // A column wraps with a period one short of the region's width (pad < rw).
    std::memcpy(copy, row + rw - 1 - pad, static_cast<size_t>(pad));
    std::memcpy(copy + pad, row, static_cast<size_t>(rw));
    std::memcpy(copy + pad + rw, row + 1, static_cast<size_t>(pad));
    for (int32_t h = 0; h < halves; ++h) {
      const int32_t k = h / 2, i0 = h * kHalf;
      // Column j of the half reads the shift of row r - shift(j) = t + (high - shift(j)).
      const int32_t* const shift = s.rowShift + (static_cast<int64_t>(r) - s.high[k] + s.ext);
      const uint8_t* const diff = s.halfDiff + static_cast<int64_t>(h) * kHalf;
      const __m256i toHigh = _mm256_loadu_si256(
          reinterpret_cast<const __m256i*>(s.toHigh + static_cast<int64_t>(k) * kWindow + (h & 1) * kHalf));
      __m256i moved =
          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i0 + shift[diff[0]]));
      for (int32_t j = 1, count = s.halfCount[h]; j < count; ++j) {
        const __m256i lanes = _mm256_cmpeq_epi8(toHigh, _mm256_set1_epi8(static_cast<char>(diff[j])));
        moved = _mm256_blendv_epi8(
            moved, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i0 + shift[diff[j]])),
            lanes);
      }
      if (i0 + kHalf <= rw) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + i0), moved);
      } else {
        alignas(32) unsigned char part[kHalf];
        _mm256_store_si256(reinterpret_cast<__m256i*>(part), moved);
        std::memcpy(row + i0, part, static_cast<size_t>(rw - i0));
      }
    }
  }
}

// Windows ks .. ke - 1 of rows first .. end - 1 moved up or down, as ShiftColumnsAvx512 (whose
// comments hold here): the stages' lane masks as byte masks, a window's last columns past the
// region through a copy of their samples.
VMK_TARGET_AVX2 void ShiftColumnsAvx2(const WaveSweeps& s, int32_t ks, int32_t ke, int32_t first,
                                      int32_t end, unsigned char* tile) {
  const int32_t ringMask = s.ringRows - 1;
  for (int32_t k = ks; k < ke; ++k) {
    const int32_t i0 = k * kWindow;
    const int32_t cols = std::min(kWindow, s.rw - i0);
    const int32_t low = s.low[k], span = s.high[k] - low, bits = s.bits[k];
    const uint64_t* stage = s.stageLanes + static_cast<int64_t>(k) * kStages;
    WindowPair mask[kStages];
    for (int32_t i = 0; i < bits; ++i)
      mask[i] = {ByteMask(static_cast<uint32_t>(stage[i])), ByteMask(static_cast<uint32_t>(stage[i] >> 32))};
    unsigned char* const column = s.region + i0;
    unsigned char* const ring = s.ring + static_cast<int64_t>(k) * s.ringRows * kWindow;
    for (int32_t a = first; a < end; a += kSweepRun) {
      const int32_t n = std::min(kSweepRun, end - a);
      const int32_t reach = n - 1 + span;
      auto source = [&](int32_t u) { return SweptRow(s, k, a, a + low + std::min(u, reach)); };
      int32_t rows = n;
      if (bits == 0) {
        for (int32_t u = 0; u < n; ++u) StoreTile(tile + u * kWindow, LoadWindow(source(u), cols));
      } else {
        rows = n + (1 << bits) - 2;
        for (int32_t u = 0; u < kSweepAhead && u <= reach; ++u) {
          const unsigned char* ahead = source(u);
          PrefetchWindow<_MM_HINT_T0>(ahead);
        }
        WindowPair near = LoadWindow(source(0), cols);
        for (int32_t u = 0; u < rows; ++u) {
          if (u + kSweepAhead <= reach) {
            const unsigned char* ahead = source(u + kSweepAhead);
            PrefetchWindow<_MM_HINT_T0>(ahead);
          }
          if (low < 0 && u < n && u > n - 1 + low + span) {
            const unsigned char* kept = column + static_cast<int64_t>(a + u) * s.width;
            PrefetchWindow<_MM_HINT_T1>(kept);
          }
          const WindowPair far = LoadWindow(source(u + 1), cols);
          StoreTile(tile + u * kWindow, BlendWindow(mask[0], near, far));
          const int32_t q = a + low + u + 1;
          if (low < 0 && q >= a && q < a + n && u + 1 <= reach)
            StoreTile(ring + (q & ringMask) * kWindow, far);
          near = far;
        }
        int32_t i = 1;
        for (; i + 2 < bits; i += 2) {
          const int32_t step = (1 << i) * kWindow;
          rows -= 3 << i;
          for (int32_t u = 0; u < rows; ++u) {
            unsigned char* t = tile + u * kWindow;
            const WindowPair upper = BlendWindow(mask[i], LoadTile(t), LoadTile(t + step));
            const WindowPair lower = BlendWindow(mask[i], LoadTile(t + 2 * step), LoadTile(t + 3 * step));
            StoreTile(t, BlendWindow(mask[i + 1], upper, lower));
          }
        }
        for (; i + 1 < bits; ++i) {
          const int32_t step = 1 << i;
          rows -= step;
          for (int32_t u = 0; u < rows; ++u) {
            unsigned char* t = tile + u * kWindow;
            StoreTile(t, BlendWindow(mask[i], LoadTile(t), LoadTile(t + step * kWindow)));
          }
        }
      }
      const int32_t step = bits >= 2 ? 1 << (bits - 1) : 0;
      const WindowPair lastStage =
          bits >= 2 ? mask[bits - 1] : WindowPair{_mm256_setzero_si256(), _mm256_setzero_si256()};
      for (int32_t u = 0; u < n; ++u) {
        const int32_t y = a + u;
        unsigned char* p = column + static_cast<int64_t>(y) * s.width;
        if (low < 0 && (bits == 0 || y > a + n - 1 + low + span))
          StoreTile(ring + (y & ringMask) * kWindow, LoadWindow(p, cols));
        const unsigned char* t = tile + u * kWindow;
        StoreWindow(p, cols, BlendWindow(lastStage, LoadTile(t), LoadTile(t + step * kWindow)));
      }
    }
  }
}

// The gather on processors with AVX2 only: 32 columns (half a window) at a time, one unaligned
// load a group with columns among them, merged by vpblendvb on the group's lanes as bytes.
// Without masked loads, the 32 columns whose positions wrap at the region's sides, and those
// past its width, go sample by sample.
VMK_TARGET_AVX2 void GatherRowsAvx2(const WaveGather& g, int32_t first, int32_t end) {
  const int32_t rw = g.rw;
  for (int32_t ks = 0; ks < g.windows; ks += kGatherStrip) {
    const int32_t ke = std::min(ks + kGatherStrip, g.windows);
    for (int32_t y = first; y < end; ++y) {
      const int32_t across = g.rowShift[y - g.y0];
      if (rw < 2 * kWindow || across >= rw - 1 || -across >= rw - 1) {
        GatherPlain(g, y, ks * kWindow, std::min(ke * kWindow, rw));
        continue;
      }
      unsigned char* to = g.out + static_cast<int64_t>(y - g.outRow0) * rw;
      const unsigned char* row = g.plane + y * g.width + g.x0;
      for (int32_t k = ks; k < ke; ++k) {
        const int32_t i0 = k * kWindow;
        if (y + kGatherAhead <= g.y1) {
          const int64_t r = static_cast<int64_t>(y) + kGatherAhead + g.high[k];
          const int32_t c = i0 + g.rowShift[y + kGatherAhead - g.y0];
          const int32_t n = std::min(kWindow, rw - i0);
          if (r <= g.y1 && c >= 0 && c + n <= rw) {
            const unsigned char* p = g.plane + r * g.width + g.x0 + c;
            _mm_prefetch(reinterpret_cast<const char*>(p), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(p + n - 1), _MM_HINT_T0);
          }
        }
        const bool inside = y + g.low[k] >= g.y0 && y + g.high[k] <= g.y1;
        const int32_t gf = g.groupFirst[k], ge = g.groupFirst[k + 1];
        for (int32_t half = 0; half < 2; ++half) {
          const int32_t h0 = i0 + half * kHalf, s = h0 + across;
          if (h0 >= rw) break;
          if (h0 + kHalf > rw || s < 0 || s + kHalf > rw) {
            GatherPlain(g, y, h0, std::min(h0 + kHalf, rw));
            continue;
          }
          __m256i acc = _mm256_setzero_si256();
          for (int32_t j = gf; j < ge; ++j) {
            const auto lanes = static_cast<uint32_t>(g.groupLanes[j] >> (half * kHalf));
            if (lanes == 0) continue;
            const unsigned char* p =
                inside ? row + s + g.groupOffset[j]
                       : g.plane +
                             WrapInSpan(static_cast<int64_t>(y) + g.groupShift[j], g.y0, g.y1) *
                                 g.width +
                             g.x0 + s;
            acc = _mm256_blendv_epi8(acc, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                                     ByteMask(lanes));
          }
          _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + h0), acc);
        }
      }
    }
  }
}

// Rows first .. end - 1 gathered sample by sample (the AVX2 sweeps' first and last rows).
void GatherRowsPlain(const WaveGather& g, int32_t first, int32_t end) {
  for (int32_t y = first; y < end; ++y) GatherPlain(g, y, 0, g.rw);
}

// The forms of the two sweeps at one vector level.
struct SweepForm {
  void (*rows)(const WaveSweeps&, int32_t, int32_t, unsigned char*);
  void (*columns)(const WaveSweeps&, int32_t, int32_t, int32_t, int32_t, unsigned char*);
  void (*ends)(const WaveGather&, int32_t, int32_t);  // the first and last rows of the result
  bool nearShifts;  // rows picks a window's rows' shifts from 128 bytes by byte permutes
  bool halves;      // rows reads the shifts of each 32 columns from halfCount and halfDiff
};

// The two sweeps of the region, when its shifts allow them: 1 done, 0 not (nothing
// touched), -1 no memory.
int32_t SweepInPlace(const WaveGather& g, unsigned char* plane, int32_t rh, const SweepForm& form) {
  const int32_t rw = g.rw, windows = g.windows;
  if (rw < 2 * kWindow) return 0;
  int32_t low = 0, high = 0, span = 0, across = 0;
  for (int32_t k = 0; k < windows; ++k) {
    low = std::min(low, g.low[k]);
    high = std::max(high, g.high[k]);
    span = std::max(span, g.high[k] - g.low[k]);
  }
  for (int32_t y = 0; y < rh; ++y) across = std::max(across, std::abs(g.rowShift[y]));
  // A window's rows' shifts are picked from 128 bytes, and its samples from 128 around it.
  // The rows the top ones read past the top (from `bottom` on) are swept first, and the second
  // sweep's band that reads them comes before the one that writes them; the rows the bottom
  // ones read past the bottom (up to `high`) are kept before the second sweep writes them.
  const int64_t bottom = static_cast<int64_t>(rh) - 1 + low;
  if (span >= 2 * kWindow || static_cast<int64_t>(across) + 128 > rw - 1 ||
      bottom < -static_cast<int64_t>(low) + kSweepBand || bottom <= high)
    return 0;
  const int32_t pad = across + 128;
  const int32_t ext = std::max(-low, high) + 2 * kWindow;
  const int32_t length = rh + 2 * ext;
  plat::Block<int32_t> shiftBuf(length, WorkSource());
  plat::Block<uint8_t> shiftLowBuf(length, WorkSource());
  if (!shiftBuf || !shiftLowBuf) return -1;
  int32_t* shift = shiftBuf.get();
  for (int32_t t = 0; t < length; ++t) {
    shift[t] = g.rowShift[WrapInSpan(static_cast<int64_t>(t) - ext, 0, rh - 1)];
    shiftLowBuf[t] = static_cast<uint8_t>(shift[t]);
  }
  // Every run of span + 1 rows' shifts lies within 32 of its first.
  for (int32_t t = 0; form.nearShifts && t + span < length; ++t)
    for (int32_t u = t + 1; u <= t + span; ++u)
      if (std::abs(shift[u] - shift[t]) > 32) return 0;

  int32_t ringRows = 1;
  while (ringRows <= -low) ringRows *= 2;
  const int32_t tasks = std::max(plat::BandCount(0, kSweepBand + high, kSweepRows),
                                 plat::BandCount(0, 1 - low, kSweepRows));
  const int64_t copyStep = static_cast<int64_t>(rw) + 2 * pad;
  plat::Block<uint8_t> toHighBuf(static_cast<int64_t>(windows) * kWindow, WorkSource());
  plat::Block<int32_t> bitsBuf(windows, WorkSource());
  plat::Block<uint64_t> stageBuf(static_cast<int64_t>(windows) * kStages, WorkSource());
  plat::Block<unsigned char> copyBuf(copyStep * tasks, WorkSource());
  plat::Block<unsigned char> ringBuf(static_cast<int64_t>(windows) * ringRows * kWindow + kWindow,
                                     WorkSource());
  const int32_t strips = (windows + kSweepStrip - 1) / kSweepStrip;
  const int64_t tileStep = static_cast<int64_t>(kSweepRun + 2 * kWindow) * kWindow;
  plat::Block<unsigned char> tileBuf(tileStep * strips + kWindow, WorkSource());
  plat::Block<unsigned char> topBuf((static_cast<int64_t>(high) + 1) * rw, WorkSource());
  plat::Block<unsigned char> endsBuf(2 * static_cast<int64_t>(rw), WorkSource());
  const int32_t halves = form.halves ? (rw + kHalf - 1) / kHalf : 0;
  plat::Block<uint8_t> halfCountBuf(std::max(halves, 1), WorkSource());
  plat::Block<uint8_t> halfDiffBuf(std::max(halves, 1) * static_cast<int64_t>(kHalf), WorkSource());
  if (!toHighBuf || !bitsBuf || !stageBuf || !copyBuf || !ringBuf || !tileBuf || !topBuf ||
      !endsBuf || !halfCountBuf || !halfDiffBuf)
    return -1;
  for (int32_t h = 0; h < halves; ++h) {
    const int32_t k = h / 2, i0 = h * kHalf, n = std::min(kHalf, rw - i0);
    uint8_t* diff = halfDiffBuf.get() + static_cast<int64_t>(h) * kHalf;
    int32_t count = 0;
    for (int32_t j = 0; j < n; ++j) {
      const auto d = static_cast<uint8_t>(g.high[k] - g.columnShift[i0 + j]);
      if (std::find(diff, diff + count, d) == diff + count) diff[count++] = d;
    }
    halfCountBuf[h] = static_cast<uint8_t>(count);
  }
  for (int32_t k = 0; k < windows; ++k) {
    const int32_t i0 = k * kWindow, n = std::min(kWindow, rw - i0);
    const int32_t low = g.low[k], span = g.high[k] - low;
    for (int32_t j = 0; j < kWindow; ++j)
      toHighBuf[static_cast<int64_t>(k) * kWindow + j] =
          static_cast<uint8_t>(j < n ? g.high[k] - g.columnShift[i0 + j] : 0);
    int32_t bits = 0;
    while ((span >> bits) != 0) ++bits;
    bitsBuf[k] = bits;
    uint64_t* stage = stageBuf.get() + static_cast<int64_t>(k) * kStages;
    for (int32_t i = 0; i < kStages; ++i) {
      stage[i] = 0;
      for (int32_t j = 0; j < n; ++j)
        if (((g.columnShift[i0 + j] - low) >> i & 1) != 0) stage[i] |= uint64_t{1} << j;
    }
  }
  // The ring's rows start on a cache line.
  unsigned char* const ring = ringBuf.get() + (kWindow - reinterpret_cast<uintptr_t>(ringBuf.get()) % kWindow) % kWindow;
  unsigned char* const top = topBuf.get();
  const WaveSweeps s{plane + g.y0 * g.width + g.x0,
                     g.width,
                     rw,
                     rh,
                     windows,
                     pad,
                     shift,
                     shiftLowBuf.get(),
                     ext,
                     g.low,
                     g.high,
                     toHighBuf.get(),
                     bitsBuf.get(),
                     stageBuf.get(),
                     ring,
                     ringRows,
                     top,
                     halfCountBuf.get(),
                     halfDiffBuf.get()};

  // The first and last rows, from the untouched plane.
  unsigned char* const ends = endsBuf.get();
  WaveGather first = g, last = g;
  first.out = ends;
  last.out = ends + rw;
  last.outRow0 = g.y1;
  form.ends(first, g.y0, g.y0 + 1);
  form.ends(last, g.y1, g.y1 + 1);

  unsigned char* const copies = copyBuf.get();
  unsigned char* const tiles =
      tileBuf.get() + (kWindow - reinterpret_cast<uintptr_t>(tileBuf.get()) % kWindow) % kWindow;
  // One queue of tasks, taken in order. First the first sweep's rows the first band reads:
  // from the top on, and the bottom ones the top rows read past the top; the rows the bottom
  // ones read past the bottom (up to `high`) are kept as they are swept. Then band by band of
  // the second sweep, the first sweep's rows the next band reads, then the band's strips
  // (which read none of those rows). A strip waits only for its own strip of the band before
  // (its ring, the rows above) and for the rows swept for it, not for every task before it
  // (a loop per band left the threads waiting at each band's end for its slowest strip). A
  // task waits only on tasks before it, each taken by a thread that is running it, so the
  // queue cannot stall at any count of threads.
  const int32_t firstRows = std::min(kSweepBand + high, static_cast<int32_t>(bottom));
  const int32_t topTasks = plat::BandCount(0, firstRows, kSweepRows);
  const int32_t firstTasks = topTasks + plat::BandCount(static_cast<int32_t>(bottom), rh, kSweepRows);
  const int32_t bands = (rh + kSweepBand - 1) / kSweepBand;
  plat::Block<int32_t> bandBuf(4 * static_cast<int64_t>(bands) + strips + 1, WorkSource());
  if (!bandBuf) return -1;
  int32_t* const bandFrom = bandBuf.get();     // the first sweep's rows beside band b ..
  int32_t* const bandTo = bandFrom + bands;    // .. up to here
  int32_t* const bandTask = bandTo + bands;    // band b's first task
  int32_t* const rowsDone = bandTask + bands;  // band b's first-sweep tasks done
  int32_t* const stripDone = rowsDone + bands;  // bands done of strip j
  int32_t* const firstDone = stripDone + strips;  // the first tasks done
  int32_t taskCount = firstTasks, swept = firstRows;
  for (int32_t b = 0; b < bands; ++b) {
    const int32_t end = std::min((b + 1) * kSweepBand, rh);
    bandFrom[b] = swept;
    bandTo[b] = std::max(swept, std::min(end + kSweepBand + high, static_cast<int32_t>(bottom)));
    swept = bandTo[b];
    bandTask[b] = taskCount;
    rowsDone[b] = 0;
    taskCount += strips + plat::BandCount(bandFrom[b], bandTo[b], kSweepRows);
  }
  for (int32_t j = 0; j < strips; ++j) stripDone[j] = 0;
  *firstDone = 0;
  // Each worker's row copy is one of the `tasks` copies.
  const int32_t workers = std::max(1, std::min({plat::ThreadCount(), tasks, taskCount}));
  std::atomic<int32_t> next{0};
  auto waitFor = [](int32_t& count, int32_t target) {
    const std::atomic_ref<int32_t> done(count);
    int32_t now = done.load(std::memory_order_acquire);
    for (int32_t spins = 0; now < target; now = done.load(std::memory_order_acquire)) {
      if (++spins < 256)
        _mm_pause();
      else
        done.wait(now, std::memory_order_acquire);  // asleep: the thread it waits on may want this core
    }
  };
  auto finish = [](int32_t& count, bool add, int32_t value) {
    const std::atomic_ref<int32_t> done(count);
    if (add)
      done.fetch_add(1, std::memory_order_acq_rel);
    else
      done.store(value, std::memory_order_release);
    done.notify_all();
  };
  plat::ParallelFor(0, workers, 1, [=, &next](int32_t worker, int32_t, int32_t) {
    unsigned char* const copy = copies + worker * copyStep;
    int32_t b = 0;
    for (int32_t task = next.fetch_add(1, std::memory_order_relaxed); task < taskCount;
         task = next.fetch_add(1, std::memory_order_relaxed)) {
      if (task < firstTasks) {
        const int32_t a = task < topTasks
                              ? task * kSweepRows
                              : static_cast<int32_t>(bottom) + (task - topTasks) * kSweepRows;
        const int32_t e = std::min(a + kSweepRows, task < topTasks ? firstRows : rh);
        form.rows(s, a, e, copy);
        for (int32_t y = a; y < e && y <= high && task < topTasks; ++y)
          std::memcpy(top + static_cast<int64_t>(y) * s.rw, s.region + y * s.width,
                      static_cast<size_t>(s.rw));
        finish(*firstDone, true, 0);
        continue;
      }
      while (b + 1 < bands && bandTask[b + 1] <= task) ++b;
      const int32_t rowTasks = plat::BandCount(bandFrom[b], bandTo[b], kSweepRows);
      const int32_t local = task - bandTask[b] - rowTasks;
      if (local >= 0) {
        if (b > 0) {
          waitFor(stripDone[local], b);
          waitFor(rowsDone[b - 1], plat::BandCount(bandFrom[b - 1], bandTo[b - 1], kSweepRows));
        } else {
          waitFor(*firstDone, firstTasks);
        }
        const int32_t y = b * kSweepBand;
        form.columns(s, local * kSweepStrip, std::min((local + 1) * kSweepStrip, windows), y,
                     std::min(y + kSweepBand, rh), tiles + local * tileStep);
        finish(stripDone[local], false, b + 1);
      } else {
        const int32_t a = bandFrom[b] + (local + rowTasks) * kSweepRows;
        form.rows(s, a, std::min(a + kSweepRows, bandTo[b]), copy);
        finish(rowsDone[b], true, 0);
      }
    }
  });
  std::memcpy(s.region, ends, static_cast<size_t>(rw));
  std::memcpy(s.region + (rh - 1) * s.width, ends + rw, static_cast<size_t>(rw));
  return 1;
}
#endif

bool gWaveSweeps = true;

}  // namespace

void SetWaveSweepsInPlace(bool on) { gWaveSweeps = on; }

int32_t Effects::SinusWave(int16_t mode, int16_t opacity, unsigned char* plane,
                           const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                           int32_t y0, int32_t x1, int32_t y1, int16_t shape, int16_t wavesX,
                           int16_t amplitudeX, int16_t wavesY, int16_t amplitudeY) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t rw = x1 - x0 + 1;
  const int32_t rh = y1 - y0 + 1;
  plat::Block<int32_t> rowShiftBuf(rh, WorkSource());
  if (!rowShiftBuf) return -1;
  plat::Block<int32_t> columnShiftBuf(rw, WorkSource());
  if (!columnShiftBuf) return -1;
  int32_t* rowShift = rowShiftBuf.get();
  int32_t* columnShift = columnShiftBuf.get();

  FillShifts(columnShift, rw, rh, shape, wavesX, amplitudeX);
  FillShifts(rowShift, rh, rw, shape, wavesY, amplitudeY);

  const bool replace = mode == 0 && opacity == 255 && mask == nullptr;
#if VMK_SIMD_X86
  const bool wide = plat::SimdAtLeast(plat::SimdLevel::kAvx512);
  if (plat::SimdAtLeast(plat::SimdLevel::kAvx2)) {
    // Into a copy of the region, window by window (see GatherRowsAvx512 and GatherRowsAvx2),
    // blended back after; a replacement, in place in two sweeps where they run.
    const int32_t windows = (rw + kWindow - 1) / kWindow;
    plat::Block<int32_t> groupFirstBuf(static_cast<int64_t>(windows) + 1, WorkSource());
    plat::Block<int32_t> groupShiftBuf(rw, WorkSource());
    plat::Block<int64_t> groupOffsetBuf(rw, WorkSource());
    plat::Block<uint64_t> groupLanesBuf(rw, WorkSource());
    plat::Block<int32_t> lowBuf(windows, WorkSource()), highBuf(windows, WorkSource());
    if (!groupFirstBuf || !groupShiftBuf || !groupOffsetBuf || !groupLanesBuf ||
        !lowBuf || !highBuf)
      return -1;
    int32_t* groupFirst = groupFirstBuf.get();
    int32_t* groupShift = groupShiftBuf.get();
    int64_t* groupOffset = groupOffsetBuf.get();
    uint64_t* groupLanes = groupLanesBuf.get();
    int32_t groups = 0;
    for (int32_t k = 0; k < windows; ++k) {
      groupFirst[k] = groups;
      const int32_t i0 = k * kWindow, n = std::min(kWindow, rw - i0);
      lowBuf[k] = highBuf[k] = columnShift[i0];
      for (int32_t j = 0; j < n; ++j) {
        const int32_t shift = columnShift[i0 + j];
        lowBuf[k] = std::min(lowBuf[k], shift);
        highBuf[k] = std::max(highBuf[k], shift);
        // Columns of one shift share a group even where other shifts lie between them.
        int32_t at = groups - 1;
        while (at >= groupFirst[k] && groupShift[at] != shift) --at;
        if (at < groupFirst[k]) {
          at = groups++;
          groupShift[at] = shift;
          groupOffset[at] = static_cast<int64_t>(shift) * width;
          groupLanes[at] = 0;
        }
        groupLanes[at] |= uint64_t{1} << j;
      }
    }
    groupFirst[windows] = groups;
    WaveGather gather{plane,       width,       x0,         y0,         x1,
                      y1,          rw,          columnShift, rowShift,   groupFirst,
                      groupShift,  groupOffset, groupLanes,  lowBuf.get(), highBuf.get(),
                      windows,     nullptr,     y0};
    if (replace && gWaveSweeps && (!wide || plat::SimdHasByteVbmi())) {
      static constexpr SweepForm kAvx512Sweeps{ShiftRowsAvx512Vbmi, ShiftColumnsAvx512,
                                               GatherRowsAvx512, true, false};
      static constexpr SweepForm kAvx2Sweeps{ShiftRowsAvx2, ShiftColumnsAvx2, GatherRowsPlain,
                                             false, true};
      const int32_t swept = SweepInPlace(gather, plane, rh, wide ? kAvx512Sweeps : kAvx2Sweeps);
      if (swept != 0) return swept < 0 ? -1 : 0;
    }
    plat::Block<unsigned char> outBuf(static_cast<int64_t>(rw) * rh, WorkSource());
    if (!outBuf) return -1;
    gather.out = outBuf.get();
    if (wide)
      plat::ParallelFor(y0, y1 + 1, kGatherBand, [gather](int32_t first, int32_t end) {
        GatherRowsAvx512(gather, first, end);
      });
    else
      plat::ParallelFor(y0, y1 + 1, kGatherBand, [gather](int32_t first, int32_t end) {
        GatherRowsAvx2(gather, first, end);
      });
    effect_support::BlendPackedRegion(mode, opacity, plane, mask, width, x0, y0, x1, y1,
                                      outBuf.get());
    return 0;
  }
#endif

  // A row reads a different plane row in nearly every column (the column's shift), and the
  // next row reads the lines just below those, so the walk goes down bands of rows in strips
  // of kStrip columns: the lines a strip reads stay in the core's cache while the band's rows
  // go down over them. Neighbouring columns mostly share their shift: a run of columns of one
  // shift reads consecutive samples of one row.
  const int32_t strips = (rw + kStrip - 1) / kStrip;
  plat::Block<int32_t> runEndBuf(rw, WorkSource());
  if (!runEndBuf) return -1;
  int32_t* runEnd = runEndBuf.get();
  int32_t lowest = 0, highest = 0;
  for (int32_t i = rw - 1; i >= 0; --i) {
    const bool last = i == rw - 1 || (i + 1) % kStrip == 0 || columnShift[i + 1] != columnShift[i];
    runEnd[i] = last ? i + 1 : runEnd[i + 1];
  }
  for (int32_t i = 0; i < rw; ++i) {
    lowest = std::min(lowest, columnShift[i]);
    highest = std::max(highest, columnShift[i]);
  }
  plat::Block<int32_t> blockHighBuf((rw + kLine - 1) / kLine, WorkSource());
  if (!blockHighBuf) return -1;
  int32_t* blockHigh = blockHighBuf.get();
  for (int32_t i = 0; i < rw; ++i)
    if (i % kLine == 0 || columnShift[i] > blockHigh[i / kLine]) blockHigh[i / kLine] = columnShift[i];
  const WaveWalk walk{x0, y0, x1, y1, rw, rh, columnShift, rowShift, runEnd, blockHigh};
  const unsigned char* const planeEnd = plane + static_cast<int64_t>(width) * height;
  // The plane rows from which on a block after a run may read past the plane.
  int32_t lastFull = y1 + 1;
  while (lastFull > y0 && planeEnd - (plane + static_cast<int64_t>(lastFull - 1) * width + x0) <
                              static_cast<int64_t>(rw) + kSpill)
    --lastFull;

  // In place, band after band of kBand rows (the strips of a band on the shared threads).
  // While no shift reaches half the region's height, a read wraps at most once: a band reads
  // rows from -`lowest` above its first to `highest` below its last, rows near the region's
  // bottom (top rows whose shift wraps) and rows 1 to `highest` of the region (bottom rows
  // whose shift wraps). The rows below the band are still as they were; the band's own rows
  // and the -`lowest` rows above it are kept, as they were, in a ring of rows copied before
  // each band is written, and the top rows in a copy made before the first band. Larger
  // shifts read anywhere: the walk then writes a whole copy of the region first and blends it
  // back after. Each strip of a band is worked out kTileRows rows at a time into a tile, run
  // by run down its rows. (Three 6000 x 4000 planes at the defaults, one thread: 160 ms
  // through the whole copy sample by sample, about 120 ms in place row by row, about 105 ms by
  // runs down the tiles; 8 threads at loads of 20 to 24: about 50 to 80 ms before and after,
  // swinging with the load. What is left waits on the reads' cache misses.)
  constexpr int32_t kBand = 256;
  const int32_t ringRows = std::min(kBand - lowest + 1, rh + 1);
  const int64_t ringStep = static_cast<int64_t>(rw) + kSpill;
  if (-static_cast<int64_t>(lowest) <= rh / 2 && highest <= rh / 2) {
    plat::Block<unsigned char> ringBuf(ringStep * ringRows, WorkSource());
    plat::Block<unsigned char> topBuf(ringStep * (static_cast<int64_t>(highest) + 1), WorkSource());
    if (!ringBuf || !topBuf) return -1;
    plat::Block<const unsigned char*> rowAtBuf(static_cast<int64_t>(kBand) + highest - lowest + 1,
                                               WorkSource());
    if (!rowAtBuf) return -1;
    const unsigned char** const rowAt = rowAtBuf.get();
    unsigned char* const ring = ringBuf.get();
    unsigned char* const top = topBuf.get();
    for (int32_t r = 0; r <= highest; ++r)
      std::memcpy(top + r * ringStep, plane + static_cast<int64_t>(y0 + r) * width + x0,
                  static_cast<size_t>(rw));
    for (int32_t a = y0; a <= y1; a += kBand) {
      const int32_t b = std::min(a + kBand, y1 + 1);
      plat::ParallelFor(a, b, effect_support::kPixelBandRows, [=](int32_t first, int32_t end) {
        for (int32_t r = first; r < end; ++r)
          std::memcpy(ring + ((r - y0) % ringRows) * ringStep,
                      plane + static_cast<int64_t>(r) * width + x0, static_cast<size_t>(rw));
      });
      // Where row r's samples stand as they were before the walk.
      auto place = [=](int32_t r) -> const unsigned char* {
        if (r >= b) return plane + static_cast<int64_t>(r) * width + x0;
        if (r >= a + lowest) return ring + ((r - y0) % ringRows) * ringStep;
        return top + (r - y0) * ringStep;
      };
      // The rows a band reads without wrapping, looked up by table (not a division a run).
      const int32_t near = std::max(a + lowest, y0), far = std::min(b - 1 + highest, y1);
      for (int32_t r = near; r <= far; ++r) rowAt[r - near] = place(r);
      const unsigned char* const* at = rowAt;
      auto origin = [=](int32_t r, bool* blocks) -> const unsigned char* {
        // Only the plane's last rows may lack kSpill bytes after a run.
        *blocks = r < b || r < lastFull;
        if (r >= near && r <= far) return at[r - near];
        return place(r);
      };
      plat::ParallelFor(0, strips, 1, [=](int32_t first, int32_t end) {
        unsigned char tile[kTileRows * kTileStep];
        for (int32_t strip = first; strip < end; ++strip) {
          const int32_t xs = x0 + strip * kStrip;
          const int32_t xe = xs + kStrip - 1 < x1 ? xs + kStrip - 1 : x1;
          for (int32_t ya = a; ya < b; ya += kTileRows) {
            const int32_t yb = std::min(ya + kTileRows, b);
            WalkStripTile(walk, ya, yb, xs, xe, tile, origin);
            for (int32_t y = ya; y < yb; ++y) {
              const int64_t at = static_cast<int64_t>(y) * width + xs;
              const unsigned char* row = tile + (y - ya) * kTileStep;
              if (replace)
                std::memcpy(plane + at, row, static_cast<size_t>(xe - xs + 1));
              else
                effect_support::BlendRun(mode, opacity, plane + at, row,
                                         mask != nullptr ? mask + at : nullptr, xe - xs + 1);
            }
          }
        }
      });
    }
    return 0;
  }

  // Through a whole copy: its rows carry kSpill bytes past the region's width, so that a
  // run's block copy may write that far past its end (the next run, or the next strip, writes
  // those bytes later).
  const int64_t outStep = static_cast<int64_t>(rw) + kSpill;
  plat::Block<unsigned char> outBuf(outStep * rh, WorkSource());
  if (!outBuf) return -1;
  unsigned char* out = outBuf.get();
  auto origin = [=](int32_t r, bool* blocks) -> const unsigned char* {
    *blocks = r < lastFull;
    return plane + static_cast<int64_t>(r) * width + x0;
  };
  constexpr int32_t kBandRows = 128;
  plat::ParallelFor(y0, y1 + 1, kBandRows, [=](int32_t first, int32_t end) {
    for (int32_t xs = x0; xs <= x1; xs += kStrip) {
      const int32_t xe = xs + kStrip - 1 < x1 ? xs + kStrip - 1 : x1;
      for (int32_t y = first; y < end; ++y)
        WalkStripRow(walk, y, xs, xe, out + static_cast<int64_t>(y - y0) * outStep + (xs - x0),
                     origin);
    }
  });
  effect_support::BlendPackedRegion(mode, opacity, plane, mask, width, x0, y0, x1, y1, out,
                                    outStep);
  return 0;
}
