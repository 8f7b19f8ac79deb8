// The zoom steps, the zoom slider and the pan rectangle at a zoom that every
// window with a zoomed preview and a navigator shares (the effect dialogs
// and the main editing window): whichever control sets the zoom, the view
// shows the picture at the zoom its text says.
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

// The pan rectangles below are those of the zoomed views (views/view_geometry.h:
// ZoomUnitOf): left, top, right, bottom in 1/100000 of the picture, counted from its left
// and top edges.

// The zoom table's first entry for a view of viewWidth x viewHeight: the scale at which the
// whole picture fits the view, each side held to 1:1.
int32_t FitScaleOf(int32_t viewWidth, int32_t viewHeight, int32_t imageWidth, int32_t imageHeight);

// The zoom the zoom text says at Fit, where the whole picture is shown fitted into
// fittedWidth x fittedHeight: the table's first entry `tableFirst`, but for a picture smaller
// than that, which is fitted in enlarged beyond it, the zoom it is enlarged to.
int32_t FittedZoom(int32_t fittedWidth, int32_t fittedHeight, int32_t imageWidth, int32_t imageHeight,
                   int32_t tableFirst);

// The index '+' (direction 1) or '-' (-1) goes to from the zoom shown, which after the
// slider or the navigator's frame may lie between two entries: the first entry above it, or
// the last below it; the table's end when none is.
int32_t ZoomStepIndex(const int32_t* table, int32_t minIndex, int32_t maxIndex, int32_t from, int direction);

// The pan rectangle of a view of viewWidth x viewHeight at `zoom` about picture point
// (cx, cy): the view's size divided by the zoom, the whole side where that is more than the
// picture has, moved (not cut) at the picture's border, so that a picture larger than the
// view at that zoom fills it. A part of a pixel at the view's far edge counts as a pixel.
void PanAtZoom(int32_t* pan, double cx, double cy, int32_t zoom, int32_t viewWidth, int32_t viewHeight,
               int32_t imageWidth, int32_t imageHeight);

// The middle of a pan rectangle's side `from`..`to`, in picture pixels.
double PanCentreOf(int32_t size, int32_t from, int32_t to);

// The zoom after the user left the navigator's frame at `frame` over a view showing `pan` at
// `zoom`: a frame moved keeps its size within a pixel or so (its corners go to whole pixels
// of the navigator and back) and so the zoom; one resized gives the zoom at which its part of
// the picture fills the view on the side it fills first, held within smallest..largest.
int32_t NavigatorFrameZoom(const int32_t frame[4], const int32_t pan[4], int32_t zoom, int32_t viewWidth,
                           int32_t viewHeight, int32_t imageWidth, int32_t imageHeight, int32_t smallest,
                           int32_t largest);
