// Pictures a window draws itself as four-byte bitmaps (ramp bars, the ramp
// editor's pickers, tile thumbnails), shown in an image box at the density
// of the box's window.
//
// At one device pixel per view pixel the bitmap is drawn at the picture's
// size and handed to the box with SetBuf, as these pictures always were.
// On a denser screen it is drawn at the view's size times the box's backing
// scale and loaded through SetFineBufRGB, so the screen shows it on the
// device pixels; the box's display, which picks and copies read, takes the
// first device pixel of each view pixel. Sizes, layout and presses stay in
// view pixels.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/types/mac_types.h"

class VMKimabox;

// Draws the picture into `bitmap`, the rectangle (0, 0, h, w) of `r` in the
// pixels of `scale` (rows of exactly w x 4 bytes: red, green, blue and a
// fourth byte the box does not read). False: nothing to show, the box keeps
// what it shows.
using BitmapDraw = std::function<bool(int32_t scale, const Rect& r, uint8_t* bitmap)>;

// The picture of w x h view pixels, drawn by `draw` at the box's backing
// scale and shown in `box`. Where the picture does not cover the box's
// display, the display is cleared to opaque black, as SetBuf leaves it. At
// scale 1 the drawing goes into `bitmap` when given (w x h x 4 bytes, the
// caller's scratch), else into a buffer of its own.
void ShowFineBitmap(VMKimabox* box, int32_t w, int32_t h, const BitmapDraw& draw, uint8_t* bitmap = nullptr);
