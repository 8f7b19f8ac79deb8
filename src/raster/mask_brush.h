// The elliptic brush that paints the 16-bit masks of the image view: its
// footprint, the stamp that paints or erases with it, and the fill and
// invert of whole masks.
//
// A mask holds 0 (empty) to 16384 (full), rows of `width` samples. The
// masks painted here are allocated (width + 1) x (height + 1) samples,
// because the stamp also writes the row just below the last one. A
// footprint is (2 rx + 1) x (2 ry + 1) weights 0..4096, row after row.
#pragma once

#include <cstdint>

// Full scale of a mask sample.
constexpr int16_t kMaskFull = 16384;

// Fills the footprint of radii rx, ry: 0 outside the ellipse; inside, mode
// 1 (hard) gives `value` everywhere, any other mode (soft) a paraboloid
// from `value` at the centre to 0 at the rim. A soft footprint with a zero
// radius is all 0: it has no inside to rise from.
void X_prepare_MskBrush(int16_t mode, int16_t* footprint, int32_t rx, int32_t ry, int32_t value);

// Stamps the footprint of a brush of `radius` (view pixels) centred at
// (centreX, centreY) into the mask shown at the zoom factors and origin:
// brushMode 1 erases toward 0, any other value paints toward 16384, each
// sample by its weight. Columns 0..width - 1 and rows 0..height (the spare
// row) change, nothing else.
void X_Brush_Msk(float originX, float originY, float zoomX, float zoomY, int32_t width,
                 int32_t height, int16_t* mask, const int16_t* footprint, int32_t centreX,
                 int32_t centreY, int32_t radius, int16_t brushMode);

// Every one of the width x height samples m becomes 16384 - m (nothing when
// the product is not positive).
void X_Invert_Msk(int32_t width, int32_t height, int16_t* mask);
// Every one of the width x height samples becomes value.
void X_Color_Msk(int32_t width, int32_t height, int16_t* mask, int16_t value);
