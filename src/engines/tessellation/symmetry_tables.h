// The copies each symmetry type cuts from one lattice cell: corners as cell coordinates
// (a, b) in 24ths of the cell's edges P0P1 and P0P3, the tile set drawn into the copy and
// its transform tag. The corner order decides how the tile lies in the copy.
#pragma once

#include <cstdint>
#include <span>

struct CellPoint {
  int8_t a;  // 24ths along P1 - P0
  int8_t b;  // 24ths along P3 - P0
};

struct CopyRow {
  CellPoint corner[4];
  int16_t tile;
  int16_t tag;  // names the copy's transform; nothing reads it
};

inline constexpr int32_t kCellUnit = 24;
inline constexpr int16_t kSymmetryTypes = 17;

// The rows of `type` (1..17) gathered about P0; empty for any other type. Types 13..17
// repeat their rows about the cell centre.
std::span<const CopyRow> SymmetryRows(int16_t type);
// The twin engine's rows: those of SymmetryRows but for types 3 and 7.
std::span<const CopyRow> TwinSymmetryRows(int16_t type);
inline bool RepeatsAboutCentre(int16_t type) { return type >= 13 && type <= kSymmetryTypes; }
