// The colour-ramp editor's pictures and picks, as plain pixel buffers: the ramp drawn as bars
// over a checkerboard, the hue-and-brightness picker field, the two picks that turn a click
// into a value, and the two interpolations that edit a ramp by a control point joined to the
// ends of a range by straight lines.
//
// Rectangles are the toolbox's (top, left, bottom, right; right and bottom exclusive); a
// bitmap is W x H four-byte pixels in rows of exactly W x 4 bytes: red, green, blue and a 0.
// The RGB-plane bar writes three W x H byte planes instead. The ramp position of column x is
// p(x) = x x 255 / W, truncated. The checkerboard's cells are 4 x 4 pixels, the top-left one
// white.
#pragma once

#include <cstdint>

#include "platform/types/mac_types.h"
#include "script/lut_vign.h"

// out = x x 255 / W (x as passed, relative to the rectangle's left edge); 0 for a rectangle
// without width.
void getAPick(int32_t x, int32_t y, const Rect* r, uint16_t* out);

// The picker colour at (x, y), components 0 to 65535: a hue from red round to red across six
// segments of the width, white at the top edge, the pure hue at half height, black at the
// bottom. Columns at or past six segment widths, which no segment covers when W is not a
// multiple of six, take the segment end's red. Returns y - top.
int32_t getVPick(int32_t x, int32_t y, const Rect* r, uint16_t* red, uint16_t* green,
                 uint16_t* blue);

// The picker field, shifted by hue, saturation and lightness; the top row shows the dark end.
void build_BufPick(int16_t, const Rect* r, uint8_t* bitmap, int16_t hue, int16_t saturation,
                   int16_t lightness);
// The checkerboard.
void build_BufPat(const Rect* r, uint8_t* bitmap);
// The checkerboard darkened from left to right: (255 - p(x)) x c / 255.
void build_BufPickPat(const Rect* r, uint8_t* bitmap);
// The opacity bar: (255 - o) x c / 255 with o the ramp's opacity at p(x). Returns W x 4, the
// bitmap's row length.
int32_t build_BufBarOpa(const Rect* r, uint8_t* bitmap, const LutVign* lut);
// The colour bar: colours 1 to 3 at p(x), shifted by hue, saturation and lightness, laid over
// the checkerboard at the ramp's opacity.
void build_BufBar(const Rect* r, uint8_t* bitmap, const LutVign* lut, int16_t hue,
                  int16_t saturation, int16_t lightness);
// The same bar into three planes, the checkerboard drawn into each first.
void build_BufRGBBar(const Rect* r, uint8_t* red, uint8_t* green, uint8_t* blue, const LutVign* lut,
                     int16_t hue, int16_t saturation, int16_t lightness);

// The checkerboard, the opacity picker, the opacity bar and the two colour bars drawn for a
// screen of `scale` device pixels per view pixel: r is the picture's rectangle in device pixels
// (the view's times the scale), p(x) is taken over the device width, and the checkerboard's
// cells stay 4 x 4 view pixels (4 x scale device pixels). The first device pixel of each view
// pixel is then the picture drawn at the view's size, and the rest is the ramp at the screen's
// own resolution. Scale 1 (or less) is the plain function.
void build_BufPatAt(int32_t scale, const Rect* r, uint8_t* bitmap);
void build_BufPickPatAt(int32_t scale, const Rect* r, uint8_t* bitmap);
int32_t build_BufBarOpaAt(int32_t scale, const Rect* r, uint8_t* bitmap, const LutVign* lut);
void build_BufBarAt(int32_t scale, const Rect* r, uint8_t* bitmap, const LutVign* lut, int16_t hue,
                    int16_t saturation, int16_t lightness);
void build_BufRGBBarAt(int32_t scale, const Rect* r, uint8_t* red, uint8_t* green, uint8_t* blue,
                       const LutVign* lut, int16_t hue, int16_t saturation, int16_t lightness);

// Sets opacity positions a to b by a control point of `value` at position m: straight lines
// from the opacity at a to the point and from the point to the opacity at b. A point within 3
// of an end snaps to it and takes that end's place. Positions outside the ramp do not exist:
// the range is cut to 0..255 first.
void InterLutOpa(int16_t a, int16_t b, LutVign* lut, int16_t m, int32_t value);
// The same for colour tables 1 to 3 at once; table 4 and the opacity stay.
void InterLutCol(int16_t a, int16_t b, LutVign* lut, int16_t m, int32_t red, int32_t green,
                 int32_t blue);
