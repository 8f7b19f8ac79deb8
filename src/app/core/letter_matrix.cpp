// The letter patterns, drawn as text so that they can be checked by eye:
// 'X' is ink, '.' background. Rows 0 and 12 are background except the tail
// of Y; only rows 1 to 11 are listed here.
#include "app/core/letter_matrix.h"

namespace {

struct Pattern {
  char letter;
  const char* rows[11];
};

constexpr Pattern kPatterns[] = {
    {'A',
     {"..XXXXX..", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXXX.", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'B',
     {".XXXXXX..", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXX..", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXX.."}},
    {'C',
     {"..XXXXX..", ".XX....X.", ".XX......", ".XX......", ".XX......", ".XX......", ".XX......",
      ".XX......", ".XX......", ".XX....X.", "..XXXXX.."}},
    {'E',
     {".XXXXXX..", ".XX......", ".XX......", ".XX......", ".XX......", ".XXXXX...", ".XX......",
      ".XX......", ".XX......", ".XX......", ".XXXXXX.."}},
    {'F',
     {".XXXXXX..", ".XX......", ".XX......", ".XX......", ".XX......", ".XXXXX...", ".XX......",
      ".XX......", ".XX......", ".XX......", ".XX..X..."}},
    {'H',
     {".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXXX.", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'L',
     {".XX......", ".XX......", ".XX......", ".XX......", ".XX......", ".XX......", ".XX......",
      ".XX......", ".XX......", ".XX......", ".XXXXXX.."}},
    {'M',
     {".X.....X.", ".XX...XX.", ".XXX.XXX.", ".XXXXXXX.", ".XX.X.XX.", ".XX...XX.", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'N',
     {".X.....X.", ".XX...XX.", ".XXX..XX.", ".XXXX.XX.", ".XX.XXXX.", ".XX..XXX.", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'O',
     {"..XXXXX..", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", "..XXXXX.."}},
    {'P',
     {".XXXXXX..", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXX..", ".XX......",
      ".XX......", ".XX......", ".XX......", ".XX......"}},
    {'R',
     {".XXXXXX..", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XXXXXX..", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'S',
     {"..XXXX...", ".XX...X..", ".XX......", ".XXX.....", "..XXX....", "..XXXX...", "...XXX...",
      "....XXX..", ".....XX..", ".X...XX..", "..XXXX..."}},
    {'T',
     {".XXXXXXX.", ".XXXXXXX.", "....XX...", "....XX...", "....XX...", "....XX...", "....XX...",
      "....XX...", "....XX...", "....XX...", "....XX..."}},
    {'U',
     {".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.",
      ".XX...XX.", "..X...X..", "...XXX...", "...XXX..."}},
    {'X',
     {".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX.", "..XXXXX..", ".XX...XX.",
      ".XX...XX.", ".XX...XX.", ".XX...XX.", ".XX...XX."}},
    {'Y',
     {".X.....X.", ".X.....X.", ".XX...XX.", ".XX...XX.", ".XX...XX.", "..XX.XX..", "..XX.XX..",
      "...XXX...", "....X....", "....X....", "....X...."}},
};

void fillRow(int16_t* row, const char* text) {
  for (int c = 0; c < kLetterMatrixColumns; ++c) row[c] = text[c] == 'X' ? 255 : 0;
}

}  // namespace

int16_t In_mat(int16_t* matrix, int16_t letter) {
  for (const Pattern& p : kPatterns) {
    if (p.letter != letter) continue;
    fillRow(matrix, ".........");
    for (int r = 0; r < 11; ++r) fillRow(matrix + (r + 1) * kLetterMatrixColumns, p.rows[r]);
    // Y alone carries its stem into the last row.
    fillRow(matrix + 12 * kLetterMatrixColumns, letter == 'Y' ? "....X...." : ".........");
    return 0;
  }
  return 0;
}
