// Letter matrices: 13 rows of 9 columns of 16-bit values, row by row, 0 for
// background and 255 for ink, used where an effect stamps a capital letter.
#pragma once

#include <cstdint>

constexpr int kLetterMatrixRows = 13;
constexpr int kLetterMatrixColumns = 9;
constexpr int kLetterMatrixSize = kLetterMatrixRows * kLetterMatrixColumns;

// Fills the 117 values of `matrix` with the pattern of `letter` (an ASCII
// capital). Letters without a pattern, and any other code, leave the matrix
// untouched. Returns 0.
int16_t In_mat(int16_t* matrix, int16_t letter);
