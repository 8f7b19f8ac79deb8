// Rubber-band rectangle drags on a drawing port: move, resize and the
// press dispatcher that chooses between them.
//
// The rectangle is four 32-bit values held by the caller in the order left,
// right, bottom, top (bottom is the greater y), in a frame whose origin lies
// at (offH, offV) of the port; the tools keep it inside 0..maxH and 0..maxV.
// Feedback is a frame drawn in XOR; each drag leaves the port as it found
// it and restores the caller's port, pen and fore colour.
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

// Moves the rectangle with the mouse until the button is released.
void Mov_ssrec(plat::draw::Port* port, int32_t maxV, int32_t maxH, int32_t offH, int32_t offV, int32_t* left,
               int32_t* right, int32_t* bottom, int32_t* top);

// Resizes: mode 1 drags left and bottom, 2 right and bottom, 3 left and
// top, 4 right and top, 5 scales about the centre; other modes change
// nothing. keepRatio 1 makes the width follow the height.
void Resize_ssrec(plat::draw::Port* port, int16_t mode, int16_t keepRatio, int32_t maxV, int32_t maxH, int32_t offH,
                  int32_t offV, int32_t* left, int32_t* right, int32_t* bottom, int32_t* top);

// Decides what a press does: with handles 0 always a move; otherwise Shift
// alone scales about the centre, a corner handle resizes from that corner,
// a press inside moves. 1 after a move or resize, 0 when the press missed.
int16_t Track_ssrec(plat::draw::Port* port, int32_t maxV, int32_t maxH, int32_t offH, int32_t offV, Rect clip,
                    int32_t* left, int32_t* right, int32_t* bottom, int32_t* top, int16_t handles);
