// Thinning: every area of one sample value of an 8-bit plane peeled, one
// border layer and one side at a time, down to lines one pixel wide; the
// removed pixels take the background value. Areas of different values are
// thinned independently of each other.
#pragma once

#include <array>
#include <cstdint>

// The four sides peeled in turn, as bits of a 3 x 3 neighbourhood map
// (a b c / d e f / g h i read as bits 8 down to 0): north (b), south (h),
// west (d), east (f). A pixel is removed in a side's sub-pass only when
// that neighbour is not of its value.
extern const int32_t masks[4];

// Indexed by a neighbourhood map: 1 where the centre may be removed (it is
// set, at least two neighbours are set, and removing it keeps the area
// 8-connected). The 16 maps with b, d, e, f and h all set also hold 1;
// no side's sub-pass ever reaches them.
extern const std::array<unsigned char, 512> todelete;

// Thins every value but the background in place. -1, plane unchanged,
// when work memory cannot be had.
int32_t thin_image(unsigned char* plane, int32_t height, int32_t width, int32_t background);

// Thins the areas of `value` in place, passes of four sub-passes until a
// pass removes nothing. -1, plane unchanged, when work memory cannot be
// had.
int32_t thin1(unsigned char* plane, int32_t height, int32_t width, int32_t background,
              unsigned char value);
