// How far the pyramid blur spreads a picture at each radius it takes, for the previews that
// draw a blur of the picture's pixels on planes of another scale.
#pragma once

#include <cstdint>

// The spread (variance, in squared samples) of the pyramid blur of `radius` (held to 0..199)
// across a step edge, measured once per process; negative when it could not be measured (the
// next query measures again).
double PyramidBlurSpread(int32_t radius);
