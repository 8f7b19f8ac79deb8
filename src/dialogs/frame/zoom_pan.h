// The zoom steps, the zoom slider and the centred pan rectangle that every
// window with a zoomed preview and a navigator shares (the effect dialogs
// and the main editing window).
//
// Zooms are scales x 10000 (10000 = 1:1). The table has 33 entries: from the
// fit zoom up to 1:1 in 16 steps, then on to 8:1 in steps of 4375; a picture
// that fits at 1:1 or more steps from 1:1 to 8:1. The slider runs 0..200:
// 0..100 from the smallest zoom to the middle entry, 100..200 from the
// middle entry to the largest.
#pragma once

#include <cstdint>

inline constexpr int32_t kZoomEntries = 33;

// Fills the table for a fit zoom of `minimum`; the indices become 0, 16, 32.
void FillZoomTable(int32_t* table, int32_t minimum, int32_t* minIndex, int32_t* midIndex,
                   int32_t* maxIndex);

// The slider position that shows zoom `z`.
int32_t ZoomSliderPosition(const int32_t* table, int32_t minIndex, int32_t midIndex,
                           int32_t maxIndex, int32_t z);

// The zoom at slider position `p`.
int32_t ZoomAtSliderPosition(const int32_t* table, int32_t minIndex, int32_t midIndex,
                             int32_t maxIndex, int16_t p);

// The first entry above `z`; `current` when no entry is above it.
int32_t ZoomIndexAbove(const int32_t* table, int32_t minIndex, int32_t maxIndex, int32_t z,
                       int32_t current);

// The pan rectangle (left, top, right, bottom in 1/100000 of the picture)
// kept on its centre and sized for zoom `zoom` when the whole picture shows
// `fit` (a fraction, at most 1) of the view at 1:1. Cut, not shifted, at the
// border: near an edge the part shown is smaller than the zoom asks for.
void CentrePanOnZoom(int32_t* pan, float fit, int32_t zoom);

// The zoom at which a pan rectangle `width` wide (1/100000 of the picture)
// shows, for the same `fit`: what CentrePanOnZoom sized it for, read back
// from a rectangle the user resized in the navigator. 1 for an empty one.
int32_t ZoomOfPanWidth(int32_t width, float fit);
