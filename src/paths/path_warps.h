// Vector descriptions of a warp turned into the 16-bit coordinate maps of
// the quad-to-quad mapping: a lattice of curved cells held in the warp
// frame (each cell's outline rebuilt as a fine grid), an envelope of three
// outlines, and a pair of outlines, the last two through a Coons patch
// spanned by four side paths.
//
// These sit with the paths rather than with the raster warps because they
// measure, cut and sample paths, and the path library lies above the
// raster one; the regular lattice they start from (InitGrid) needs no path
// and stays in the raster core.
//
// Every map producer ends in QuadToQuad: each small source quadrilateral is
// mapped onto the matching destination one, the maps (500 x 500 planes,
// neutral 32768) receiving 32768 + 128 x (source - destination) at each
// destination pixel reached. Lattice and outline coordinates are in the
// frame record's unit with y pointing up, and become picture pixels through
// the record, y flipped about `flipHeight`. A producer returns 0, or -1 with
// its work memory handed back; a refusal found before the first write
// (missing path, width x height beyond the maps, too large a lattice)
// leaves the maps untouched.
#pragma once

#include <cstdint>

#include "paths/path.h"

class CPathList;
struct TCWrap;

// A polyline: `count` points at `pts`.
struct Curve {
  int32_t count = 0;
  Point2f* pts = nullptr;
};

// Subdivision of one lattice cell by the curved-cell warp, and its half.
// They keep the value of the last X_Grcrvinout_buffer call (ShapeToGrid
// reads them), 8 and 4 before the first.
extern int16_t nbgrids;
extern int16_t HALFnbgrids;

// n points along `in` into `out`, whose points come from the work memory and
// go back with DisposeCurve. Mode 0 spaces them by arc length: they lie at
// k x step - 0.0001 from the start (the walk starts a ten-thousandth early
// so the first point is never lost to rounding), step = length / (n - 1);
// a curve without length gives n copies of its first point. Any other mode
// interpolates by point index, the last output point being the last input
// point. `out` is set empty first, and stays so when `in` has fewer than two
// points (mode 0), n is below 2 (other modes) or below 1, or memory fails.
void resample(const Curve* in, Curve* out, int32_t n, int16_t mode);
// Hands back the points resample took; the curve is empty afterwards.
void DisposeCurve(Curve* c);

// Coons patch of nu = right - left + 1 by nv = bottom - top + 1 nodes spanned
// by four side paths: side 1 along the first row, side 2 down the last
// column, side 3 back along the last row, side 4 up the first column. Node
// (r, k) is rounded to a whole number and stored at left + r x nu + k of
// gridX and gridY. Returns 0, or -1 with the grids untouched when a side
// has no knots, nu or nv is below 2, or memory fails.
int32_t prep_nBYnGrid(int32_t left, int32_t top, int32_t right, int32_t bottom, CPath* side1,
                      CPath* side2, CPath* side3, CPath* side4, int16_t* gridX, int16_t* gridY);

// Envelope: the band between the first outline and the shared one is pulled
// onto the band between the second outline and the shared one (the first
// path of each list, each cut into four equal sides).
int32_t X_Env_buffer(int32_t height, int32_t width, int32_t flipHeight, int32_t unused,
                     uint16_t* xMap, uint16_t* yMap, const TCWrap* record, CPathList* first,
                     CPathList* second, CPathList* shared);

// The area inside the source list's first path onto that inside the
// destination's, each cut into four equal sides spanning a 12 x 12 Coons
// grid. Each entry of srcSides and dstSides receives a quarter of its path's
// length. -1 (nothing written) when a path is missing or shorter than 0.1.
int32_t PathToPath(int32_t height, int32_t width, int32_t flipHeight, int32_t unused,
                   uint16_t* xMap, uint16_t* yMap, const TCWrap* record, CPathList* src,
                   CPathList* dst, float* srcSides, float* dstSides);

// Curved-cell lattice warp: every cell of the record's first lattice, its
// edges the curves through the nodes' handles, onto the same cell of the
// second, each cell subdivided nb x nb (16, 8, 6, 4 or 2 as the smaller of
// the column and row counts grows). Mode 1 first resets both maps to 32768.
int32_t X_Grcrvinout_buffer(int16_t mode, int32_t flipHeight, int32_t unused, int32_t height,
                            int32_t width, uint16_t* xMap, uint16_t* yMap, const TCWrap* record);

// The closed outline of the cell whose lower-left node is k (lattice of nx
// columns): 28 points, seven per edge, starting at the upper-left node and
// running down the left edge, along the bottom, up the right edge and back
// along the top, each edge's midpoint (half its arc length) three times.
void GrToShape(int32_t k, int32_t nx, const float* x, const float* y, const float* leftX,
               const float* leftY, const float* prevRowX, const float* prevRowY,
               const float* rightX, const float* rightY, const float* nextRowX,
               const float* nextRowY, float* outX, float* outY);

// The (nbgrids + 1)^2 grid (row r, column c at r x (nbgrids + 1) + c) inside
// a 28-point cell outline: the border sampled by arc length (the left edge
// becoming column 0), the inside from curves that leave each border node
// across its edge. A failed work allocation leaves the grids unwritten.
void ShapeToGrid(const float* outX, const float* outY, float* gridX, float* gridY);
