// What the photo-repeat dialog and its files may hand the grid: rows and
// columns the 576 cells can hold, and a current cell inside the grid. The
// cells are laid out column by column (index row + column x rows), so a grid
// beyond 24 x 24 or a current cell outside it would index past the cells.
#pragma once

#include <cstdint>

#include "engines/tessellation/photo_repeat_record.h"

// 0 when rows and columns are 1..24 and the current cell (its column, its
// row and its index row x columns + column, as the preview's pick writes it)
// lies in the grid; -1 otherwise.
int16_t Check_RepPar(const RepPar* record);

// An owner's record brought inside: rows and columns held to 1..24, the
// current column and row to the grid, the index made from them.
void Clamp_RepPar(RepPar* record);

// The cell the current column and row name, in the record's layout; the
// record is taken as checked or clamped.
int32_t CurrentRepCell(const RepPar* record);

// Do_ARepPar_file whose reads (modes 0 and 2) refuse a record that fails
// Check_RepPar like an unreadable file: -1, the caller's record untouched.
// Writes go through as they are.
int16_t Do_ARepPar_checked(int16_t mode, FSSpec spec, RepPar* record);
