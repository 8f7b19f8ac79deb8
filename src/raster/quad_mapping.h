// Forward mapping of one quadrilateral onto another: both are sampled on the
// same dense lattice of parameters (s, t), and each lattice point carries the
// pixel, or its displacement, from its point in the source quadrilateral A
// to its point in the destination quadrilateral B.
//
// A quadrilateral is eight values x0, y0, x1, y1, x2, y2, x3, y3: P0-P1 the
// top edge, P3-P2 the bottom edge. The lattice is n x n with n the larger
// bounding-box diagonal of A and B; when n < 2, or n is past any picture's
// reach (65536), nothing is written. Lattice points outside B's bounding box
// or the destination are skipped. Source reads are held inside the source
// plane.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/core/memory_manager.h"
#include "platform/memory/block.h"
#include "platform/parallel/parallel.h"

struct TCWrap;

// Neutral entry of the quad, lattice, envelope and path warps' 16-bit maps.
constexpr uint16_t kQuadMapNeutral = 32768;

// Bilinear warp of three char planes. Blend 1 keeps the destination where
// the (bilinear) mask is 255, blend 2 takes the source there; other blends
// write the source and leave the mask unread. Returns n.
int32_t QuadBufRGBToQuadBufRGB(int32_t srcH, int32_t srcW, const uint8_t* srcR, const uint8_t* srcG,
                               const uint8_t* srcB, int16_t blend, const uint8_t* mask,
                               int32_t dstH, int32_t dstW, uint8_t* dstR, uint8_t* dstG,
                               uint8_t* dstB, int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1,
                               int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0,
                               int32_t by0, int32_t bx1, int32_t by1, int32_t bx2, int32_t by2,
                               int32_t bx3, int32_t by3);

// The destination rows rowFirst..rowEnd - 1 of QuadBufRGBToQuadBufRGB and of
// QuadToQuadDisRea (below): exactly the lattice points of the whole call that
// land in those rows, written in the same order, on the calling thread. An
// engine that lays many quads runs bands of rows on the shared threads, each
// band laying every quad in order through these, when no quad reads what
// another writes (maps, or source planes apart from the destination's): the
// planes are then those of the quads laid one after the other. Return n.
int32_t QuadBufRGBToQuadBufRGBRows(int32_t rowFirst, int32_t rowEnd, int32_t srcH, int32_t srcW,
                                   const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB,
                                   int16_t blend, const uint8_t* mask, int32_t dstH, int32_t dstW,
                                   uint8_t* dstR, uint8_t* dstG, uint8_t* dstB, int32_t ax0,
                                   int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2,
                                   int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1,
                                   int32_t by1, int32_t bx2, int32_t by2, int32_t bx3, int32_t by3);
int32_t QuadToQuadDisReaRows(int32_t rowFirst, int32_t rowEnd, int32_t h, int32_t w,
                             uint32_t* const* xMap, uint32_t* const* yMap, int32_t ax0, int32_t ay0,
                             int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3,
                             int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1, int32_t by1,
                             int32_t bx2, int32_t by2, int32_t bx3, int32_t by3);
// Whether any of the `fromCount` planes of `fromSize` bytes (null ones
// skipped) shares a byte with any of the `toCount` planes of `toSize`.
bool PlanesShareBytes(const uint8_t* const* from, int32_t fromCount, size_t fromSize,
                      const uint8_t* const* to, int32_t toCount, size_t toSize);

// Runs lay(i, rowFirst, rowEnd) for items 0..count - 1 in bands of destination rows
// (kQuadBandRows) on the shared threads: a band runs, in item order, every item whose rows
// rowsOf(i, &top, &bottom) (inclusive; false for none) reach it. False, with nothing run,
// when the plane is a single band or the band lists cannot be had: the caller then lays the
// items one after the other. lay must write only in its rows and read nothing any item
// writes.
// A band's rows are first handed to before(rowFirst, rowEnd), on the band's thread.
constexpr int32_t kQuadBandRows = 32;
struct NothingBefore {
  void operator()(int32_t, int32_t) const {}
};
template <typename RowsOf, typename Lay, typename Before = NothingBefore>
bool LayInRowBands(int64_t count, int32_t dstH, RowsOf rowsOf, Lay lay, Before before = {});

// One quad pair: source corners a, destination corners b, each x0, y0 .. x3, y3.
struct QuadPair {
  int32_t a[8];
  int32_t b[8];
};

// The destination rows a pair can write: its destination's bounding box as the walk converts
// it (top held to 0); false when it lies wholly above the plane.
bool QuadPairRows(const QuadPair& pair, int32_t* top, int32_t* bottom);

// The lattice points the quad walks have worked out so far, every thread's: what tests look at
// to see a walk's work follow the pixels it writes.
int64_t QuadWalkPoints();

// Lays `count` pairs in order onto three planes (QuadBufRGBToQuadBufRGB with
// blend 0) or into the maps (QuadToQuadDisRea). The destination's rows go in
// bands to the shared threads, each band laying in order the pairs whose
// destination reaches it, when no source plane shares a byte with a
// destination plane; otherwise, or when the band lists cannot be had, the
// pairs are laid one after the other. Either way the result is that of the
// pairs laid one after the other.
void LayQuadPairsRGB(const QuadPair* pairs, int64_t count, int32_t srcH, int32_t srcW,
                     const uint8_t* srcR, const uint8_t* srcG, const uint8_t* srcB, int32_t dstH,
                     int32_t dstW, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB);
void LayQuadPairMaps(const QuadPair* pairs, int64_t count, int32_t h, int32_t w,
                     uint32_t* const* xMap, uint32_t* const* yMap);
// The same into maps whose entries are not yet set: each of the h rows of w entries is set
// to the neutral 327680000 first, in the bands a band's rows just before its pairs are laid
// over them (the rows are then written while they are at hand rather than in a pass of
// their own). The maps end as a neutral fill followed by LayQuadPairMaps leaves them.
void LayQuadPairMapsOnNeutral(const QuadPair* pairs, int64_t count, int32_t h, int32_t w,
                              uint32_t* const* xMap, uint32_t* const* yMap);

// Nearest-sample (truncating) warp of one char plane. Returns n.
int32_t QuadBufToQuadBuf(int32_t srcH, int32_t srcW, const uint8_t* src, int16_t unusedValue,
                         const uint8_t* unusedPlane, int32_t dstH, int32_t dstW, uint8_t* dst,
                         int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                         int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0,
                         int32_t bx1, int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                         int32_t by3);

// 32-bit displacement maps (row pointers, 327680000 neutral) of the mapping,
// written where the source point lies inside the w x h plane. Returns n.
int32_t QuadToQuadDisRea(int32_t h, int32_t w, uint32_t* const* xMap, uint32_t* const* yMap,
                         int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                         int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0,
                         int32_t bx1, int32_t by1, int32_t bx2, int32_t by2, int32_t bx3,
                         int32_t by3);

// The brush family's flat 32-bit maps (width x height, 32768 + 128 x d):
// each destination pixel of B receives the offset back to its source point
// in A, written where that source point lies inside the plane. The six
// values are not read. Returns n.
int32_t QuadToQuadLong(int32_t width, int32_t height, int32_t unused1, int32_t unused2,
                       int32_t unused3, int32_t unused4, int32_t unused5, int32_t unused6,
                       uint32_t* mapX, uint32_t* mapY, int32_t ax0, int32_t ay0, int32_t ax1,
                       int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3,
                       int32_t bx0, int32_t by0, int32_t bx1, int32_t by1, int32_t bx2,
                       int32_t by2, int32_t bx3, int32_t by3);

// 16-bit coordinate maps (flat, 32768 neutral) of the mapping. The maps hold
// 500 x 500 entries; a w x h beyond that writes nothing.
void QuadToQuad(int32_t h, int32_t w, uint16_t* xMap, uint16_t* yMap, int32_t ax0, int32_t ay0,
                int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2, int32_t ax3, int32_t ay3,
                int32_t bx0, int32_t by0, int32_t bx1, int32_t by1, int32_t bx2, int32_t by2,
                int32_t bx3, int32_t by3);

// As QuadToQuad, on a lattice sized from the edge lengths rather than the
// diagonals.
void QuadToQuad1(int32_t h, int32_t w, int32_t unused1, int32_t unused2, uint16_t* xMap,
                 uint16_t* yMap, int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2,
                 int32_t ay2, int32_t ax3, int32_t ay3, int32_t bx0, int32_t by0, int32_t bx1,
                 int32_t by1, int32_t bx2, int32_t by2, int32_t bx3, int32_t by3);

// Fills the 16-bit maps (500 x 500 planes, width and height given) with the
// mapping of every cell of the grid-warp record's first lattice onto the
// same cell of its second. Lattice coordinates are in the record's unit
// (its kind) with y pointing up; they become pixels of a picture of the
// record's second size, y flipped about flipHeight. Mode 1 first resets
// both maps to 32768. Returns 0, or -1 with the maps untouched when the
// record has no cells or more nodes than its planes hold, its lattice size
// converts to no pixels, or width x height exceeds the maps.
int32_t X_Grinout_buffer(int16_t mode, int32_t flipHeight, int32_t unused, int32_t height,
                         int32_t width, uint16_t* xMap, uint16_t* yMap, const TCWrap* record);

// --- LayInRowBands ---------------------------------------------------------------------------

template <typename RowsOf, typename Lay, typename Before>
bool LayInRowBands(int64_t count, int32_t dstH, RowsOf rowsOf, Lay lay, Before before) {
  const int32_t bands = plat::BandCount(0, dstH, kQuadBandRows);
  if (bands <= 1 || count <= 0) return false;
  // The bands an item reaches, from its rows held to the plane.
  auto span = [&](int64_t i, int32_t* from, int32_t* to) {
    int32_t top = 0, bottom = 0;
    if (!rowsOf(i, &top, &bottom) || bottom < 0 || top >= dstH || bottom < top) return false;
    *from = (top > 0 ? top : 0) / kQuadBandRows;
    *to = (bottom < dstH - 1 ? bottom : dstH - 1) / kQuadBandRows;
    return true;
  };
  plat::Block<int64_t> starts(static_cast<int64_t>(bands) + 1, WorkSource());
  if (!starts) return false;
  starts.Clear();
  int64_t total = 0;
  for (int64_t i = 0; i < count; ++i) {
    int32_t from = 0, to = 0;
    if (!span(i, &from, &to)) continue;
    for (int32_t k = from; k <= to; ++k) ++starts[k + 1];
    total += to - from + 1;
  }
  plat::Block<int64_t> list(total > 0 ? total : 1, WorkSource());
  plat::Block<int64_t> fill(bands, WorkSource());
  if (!list || !fill) return false;
  for (int32_t k = 0; k < bands; ++k) starts[k + 1] += starts[k];
  for (int32_t k = 0; k < bands; ++k) fill[k] = starts[k];
  for (int64_t i = 0; i < count; ++i) {
    int32_t from = 0, to = 0;
    if (!span(i, &from, &to)) continue;
    for (int32_t k = from; k <= to; ++k) list[fill[k]++] = i;
  }
  const int64_t* s = starts.get();
  const int64_t* l = list.get();
  plat::ParallelFor(0, dstH, kQuadBandRows, [&](int32_t band, int32_t first, int32_t end) {
    before(first, end);
    for (int64_t e = s[band]; e < s[band + 1]; ++e) lay(l[e], first, end);
  });
  return true;
}
