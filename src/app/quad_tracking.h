// Interactive editing of a four-corner quad on a drawing port.
//
// Each call is one modal drag: it begins at a press the caller has already
// received and returns when the button goes up. Feedback is drawn in XOR
// straight into the port (so nothing under the quad is redrawn and the port
// is left as it was); port, pen state and colours are put back afterwards.
//
// Corners P1..P4 are eight floats held by the caller, in outline order
// P1 P2 P3 P4; they live in a frame whose origin lies at (offH, offV) of the
// port. Handles: 0..3 the corners, 4..7 the midpoints of P1P2, P2P3, P3P4,
// P4P1, 8 the centre (drawn, never hit).
//
// Constraint: 0 allows every mode; 2 allows moves, scalings and the
// Command+Shift corner move; any other value only moves and scalings.
// Modifier states are compared whole: with Caps Lock or a second key down
// no modifier mode is recognised.
//
// updatequad's result: -1 nothing changed; 0..3 a corner dragged; 4..7 an
// edge handle dragged; 9 moved from inside or rotated; 10 moved with
// Control; 11 scaled about the centre; 12 a new quad drawn (create mode).
#pragma once

#include <cstdint>

#include "platform/draw/port.h"

using GrafPtr = plat::draw::Port*;

int32_t updatequad(GrafPtr port, int16_t offH, int16_t offV, Rect clip, float* x1, float* y1, float* x2,
                   float* y2, float* x3, float* y3, float* x4, float* y4, int16_t* flag, int16_t unused1,
                   int16_t constraint, int16_t create, int16_t unused2);

// Moves the whole quad with the mouse: 1 when it moved, -1 when not.
int32_t ug_movquad(GrafPtr port, int16_t offH, int16_t offV, float* x1, float* y1, float* x2, float* y2,
                   float* x3, float* y3, float* x4, float* y4);

// The outline (pattern 1 of the outline patterns) and the nine handle
// squares, in XOR.
void ugxy_dialquad(GrafPtr port, int16_t offH, int16_t offV, float x1, float y1, float x2, float y2,
                   float x3, float y3, float x4, float y4);

// The closed outline P1 P2 P3 P4 P1 in the current port and pen.
void ugxy_quad(int16_t offH, int16_t offV, int16_t x1, int16_t y1, int16_t x2, int16_t y2, int16_t x3,
               int16_t y3, int16_t x4, int16_t y4);

// Edits a rectangle as a quad kept axis-parallel; returns 0.
int32_t updaterect(GrafPtr port, int16_t offH, int16_t offV, Rect clip, Rect* rect, Rect* frame, int16_t* flag,
                   int16_t unused);

// The pattern list the crawling outlines alternate through.
constexpr int16_t kOutlinePatternList = 16300;
