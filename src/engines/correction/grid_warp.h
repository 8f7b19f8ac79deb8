// The grid-warp engine: each enabled grid of a GridPar carries the picture from its in
// lattice to its out lattice (or part way, by the morph percentage), cell by cell, with
// straight cell edges or, with a curvature, edges bent into smooth curves through 8 x 8
// sub-quads per cell. The preview draws curved grids with the same SubGrid functions.
#pragma once

#include <cstdint>

#include "engines/correction/grid_record.h"
#include "engines/records/param_record.h"

// One cell of one node set, in node units, cut into 8 x 8 sub-quads. Row 0 of the points
// runs along the cell's top edge, column 0 down its left edge. The eight slots are the
// corner tangents and edge handles, two per edge, clockwise from the top edge's left end.
class SubGrid {
 public:
  SubGrid();
  // Corners top-left, top-right, bottom-right, bottom-left.
  void InitSubGrid(float* xs, float* ys);

  float ptX[9][9];
  float ptY[9][9];
  float tgtX[8];
  float tgtY[8];
  float hdlX[8];
  float hdlY[8];
};

// Cell tables hold cell (r, c) at entry r * (cols + 1) + c.
void CalcTgt_SubGrid(const int32_t* xs, const int32_t* ys, SubGrid** cells, int32_t cols,
                     int32_t rows);
// Needs the tangents. A tangent parallel to its edge's normal places the handle at its
// quarter point.
void CalcDisp_SubGrid(const int32_t* xs, const int32_t* ys, SubGrid** cells, int32_t cols,
                      int32_t rows);
// Moves point (row, column) by (dx, dy) and spreads the move over the cell, quadratically
// down to nothing at the cell's edges.
void PerspSubGrid(SubGrid* cell, int32_t column, int32_t row, int32_t dx, int32_t dy);
// Neighbouring cells take the same points along their shared edges.
void CorrAdj_SubGrid(SubGrid** cells, int32_t cols, int32_t rows);

class MiscGrid {
 public:
  void SetGridPar(const GridPar* record);
  void GetGridPar(GridPar* record) const;

  // One grid into the destination planes (mode 0) or into the displacement maps
  // (otherwise). 0, or -1 when the cells cannot be had (nothing written then). An empty
  // view or frame, or cell counts outside 1..127, skip the grid.
  int16_t ValidGrid(int16_t mode, uint32_t** xMap, uint32_t** yMap, const GridInfo* grid,
                    int32_t width, int32_t height, int32_t imageWidth, int32_t imageHeight,
                    int32_t viewLeft, int32_t viewTop, int32_t viewRight, int32_t viewBottom,
                    int32_t frameWidth, int32_t frameHeight, const uint8_t* srcR,
                    const uint8_t* srcG, const uint8_t* srcB, int32_t frameWidth2,
                    int32_t frameHeight2, uint8_t* dstR, uint8_t* dstG, uint8_t* dstB);
  // Renders every enabled grid over the planes' rectangle [left, right) x [top, bottom).
  // makeMaps 1 resamples once through displacement maps, 0 copies quad by quad. 0, or -1
  // when memory cannot be had (the planes then hold what the source step put there). The
  // scales (picture pixels a plane sample) read the host picture's window when nothing
  // warps it; the warp reads the whole picture at the rectangle's size.
  int16_t FillBuf(int16_t planes, int16_t blendMode, int16_t strength, int16_t source,
                  int16_t makeMaps, int16_t apply, int32_t width, int32_t height, int32_t left,
                  int32_t top, int32_t right, int32_t bottom, int32_t imageWidth,
                  int32_t imageHeight, int32_t viewLeft, int32_t viewTop, int32_t viewRight,
                  int32_t viewBottom, float scaleX, float scaleY, uint8_t* red, uint8_t* green,
                  uint8_t* blue, uint8_t* selection, const uint8_t* mask);

  GridPar* record() const { return par_.get(); }

 private:
  vmkrec::ScratchRecord<GridPar> par_;
};
