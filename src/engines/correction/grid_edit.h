// Editing a warp grid with the mouse: selecting nodes, finding the node, line or cell
// under the pointer, building a grid over a frame, moving, scaling, rotating and bending
// groups of nodes, and inserting or deleting node rows and columns.
//
// Everything works on one slot (0-15) of a GridPar in its fixed-point picture
// coordinates. `which` 0 is the in grid, 1 the out grid (the searches,
// MinMaxCenterGrid_GridPar and Which_Corner take any nonzero value as 1); `both` 1 works
// on both grids; `selOnly` 1 admits only selected nodes, 0 every node, anything else none.
// A slot outside 0..15, or whose cell counts lie outside 1..127, is left alone: searches
// and the row and column operations give -1 and the others do nothing.
#pragma once

#include <cstdint>

#include "engines/correction/grid_record.h"

// Every node's selection flag of the chosen set(s) := value.
void SelDeselInOut_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                           int16_t value);
// Toggles the flag of every node strictly inside the rectangle.
void RectSeleInOut_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                           int32_t left, int32_t top, int32_t right, int32_t bottom);
// First node nearer than tolerance in x (mode 0), y (mode 1) or both (mode 2): 0 with its
// column and row, else -1 with the outputs untouched.
int16_t SearchInter_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t mode,
                            int32_t x, int32_t y, int32_t* column, int32_t* row,
                            int16_t tolerance);
// First cell holding the point: 0 with the cell and the point's place u across, v down it.
int16_t SearchPosit_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                            int32_t* column, int32_t* row, float* u, float* v);
int16_t SearchCell_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                           int32_t* column, int32_t* row);
// A regular lattice over the frame of four corners (0 to 1 along the first row, 3 to 2
// along the last). which 1 in, 2 out, 3 both; counts held to 1..127.
void Crea_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t rows, int16_t columns,
                  const int32_t cornerX[4], const int32_t cornerY[4]);
// Moves the selection (returns 2), else the node or handle under the pointer (returns 1).
// held, set, node, column and row carry a drag from one call to the next.
int16_t MoveGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                         int16_t selOnly, int32_t x, int32_t y, int32_t dx, int32_t dy,
                         int16_t mirrorX, int16_t mirrorY, int16_t mirrorC, int16_t* held,
                         int16_t* set, int16_t* node, int16_t* column, int16_t* row,
                         int32_t tolerance);
void MinMaxCenterGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selOnly,
                              int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY,
                              int32_t* centreX, int32_t* centreY);
// 1 to 4 for the corner node under the point, with it and its opposite corner; else -1.
int16_t Which_Corner(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y,
                     int32_t* cornerX, int32_t* cornerY, int32_t* oppositeX, int32_t* oppositeY,
                     int32_t tolerance);
// 1-4 near a corner (left-top, right-top, left-bottom, right-bottom), 0 strictly inside,
// -1 otherwise.
int16_t Which_CornerRect(int32_t x, int32_t y, int32_t left, int32_t right, int32_t top,
                         int32_t bottom, int32_t tolerance);
// Points read from source, written to destination; selection flags read from destination.
void SizeGrid_GridPar(const GridPar* source, GridPar* destination, int16_t grid, int16_t which,
                      int16_t both, int16_t selOnly, float centreX, float centreY,
                      float oldWidth, float oldHeight, float newWidth, float newHeight);
void RotaGrid_GridPar(const GridPar* source, GridPar* destination, int16_t grid, int16_t which,
                      int16_t both, int16_t selOnly, int32_t centreX, int32_t centreY,
                      float startAngle, float endAngle);
// Drags an anchor node by (dx, dy) with its row and column, and the rest of the grid after
// them, following with a linear (falloff 0) or quadratic falloff. anchorMode 0: column a,
// row b; 2: the node within 500 of (a, b); others: the previous anchor. -1 when there is
// no such node (or no memory), else 0.
int16_t PerspGrid_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t both,
                          int16_t selOnly, int16_t falloff, int16_t anchorMode, int32_t a,
                          int32_t b, int32_t dx, int32_t dy);
// The anchor is one for the program; tests put it back to node (0, 0).
void ResetPerspAnchor_GridPar();
// Adds each node's weights to the nodes of one column and one row not yet moved.
void MovRowCol(GridPar* record, int16_t grid, int16_t which, int16_t both, int16_t selOnly,
               uint8_t* moved, int32_t column, int32_t row, const float* inDx,
               const float* inDy, const float* outDx, const float* outDy);
int16_t DelRow_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y);
int16_t DelCol_GridPar(GridPar* record, int16_t grid, int16_t which, int32_t x, int32_t y);
int16_t AddRow_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selectNew,
                       int32_t x, int32_t y);
int16_t AddCol_GridPar(GridPar* record, int16_t grid, int16_t which, int16_t selectNew,
                       int32_t x, int32_t y);
