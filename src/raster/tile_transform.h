// Tile orientations and wrap-around offsets of a rectangle of a plane.
//
// These take inclusive bounds and, for the offsets, the height before the
// width, as the tile engines call them.
#pragma once

#include <cstdint>

// Wraps c into lo..hi with period hi - lo, so that a coordinate one past hi
// lands on lo + 1 and one before lo on hi - 1, however far it has gone; lo
// when the span has no period. In 64 bits, so that a shifted coordinate
// cannot overflow on its way back.
inline int32_t WrapInSpan(int64_t c, int32_t lo, int32_t hi) {
  const int64_t period = static_cast<int64_t>(hi) - lo;
  if (period <= 0) return lo;
  if (c < lo) c += period * ((lo - c + period - 1) / period);
  if (c > hi) c -= period * ((c - hi + period - 1) / period);
  return static_cast<int32_t>(c);
}

// Writes orientation `mode` of a w-wide, h-high tile into dst:
//   0 copy, 1 left-right mirror, 2 half turn, 3 top-bottom mirror (w x h);
//   4 quarter turn (right column becomes the top row), 5 mirror about the
//   anti-diagonal, 6 quarter turn the other way, 7 transpose (h wide, w high).
// Any other mode writes nothing.
void RotaPatCharBuf(int16_t mode, const uint8_t* src, uint8_t* dst, int32_t w, int32_t h);
void RotaPatShortBuf(int16_t mode, const int16_t* src, int16_t* dst, int32_t w, int32_t h);

// Reworks the inclusive rectangle in place with wrap-around: mode 0 shifts it
// by percentY of its height and by minus percentX of its width, mode 1 shears
// it vertically, mode 2 horizontally (the shears average two neighbouring
// samples). Any other mode, an empty rectangle or a failed allocation leaves
// the plane unchanged.
void OffsetCharBuf(int16_t mode, uint8_t* plane, int32_t height, int32_t width, int32_t left,
                   int32_t top, int32_t right, int32_t bottom, int16_t percentX, int16_t percentY);
void OffsetShortBuf(int16_t mode, int16_t* plane, int32_t height, int32_t width, int32_t left,
                    int32_t top, int32_t right, int32_t bottom, int16_t percentX, int16_t percentY);
