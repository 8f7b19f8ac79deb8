// Clipping of inclusive rectangles to a plane, for the raster functions that
// take left, top, right and bottom all inclusive. The clip itself lives with
// the shell's sample clamps, which the colour conversions below the raster
// core share.
#pragma once

#include "app/core/sample_clamp.h"
