// The plain (resampling) resizes of the content-aware resize engine: a source rectangle
// brought to the size of a target rectangle with one of the raster core's filters, then
// finished with a median, a sharpening and grain.
//
// Rectangles are left, top, right, bottom with right and bottom exclusive. The source
// rectangle is clamped to its plane; the target rectangle keeps its extent and only its
// part inside the target plane is written. Nothing outside it changes.
//
// Steps by the two extents (source sw x sh, target tw x th):
//   - target smaller in either direction: one resample with the filter, sharpen 30;
//   - same size: a plain copy (filter 0), the sharpen amount as given;
//   - otherwise (larger): source -> sw + (tw - sw) * 30 / 100 by sh + (th - sh) * 30 / 100
//     -> target, both with the filter; with filter 6 the intermediate is sharpened by 20.
// Then, over the target: filter 6 adds a 3 x 3 median, a nonzero sharpen amount a
// sharpening at that weight, a nonzero noise amount grain of that strength.
//
// Filters are those of X_Newechant_charbuf (0 box, 1 triangle, 2 cubic, 3 bell,
// 4 Mitchell, 5 and 6 Lanczos3, others B-spline). Amounts use their low 16 bits.
#pragma once

#include <cstdint>

// One plane. 0; -1, target untouched, for an empty rectangle or when work memory cannot
// be had.
int16_t PerformYoxelCharResize(int16_t filter, int32_t sharpenAmount, int32_t noiseAmount,
                               const uint8_t* source, int32_t sourceWidth, int32_t sourceHeight,
                               uint8_t* target, int32_t targetWidth, int32_t targetHeight,
                               int32_t sourceLeft, int32_t sourceTop, int32_t sourceRight,
                               int32_t sourceBottom, int32_t targetLeft, int32_t targetTop,
                               int32_t targetRight, int32_t targetBottom);

// Red, green and blue together; the fourth plane (when both its source and target are
// given) by itself with the same filter, always in one step, and with the same finish;
// the fifth plane (likewise optional) in one step with filter 2 and no finish. Results as
// PerformYoxelCharResize: on -1 no target plane has changed.
int16_t PerformYoxelRGBKTResize(int16_t filter, int32_t sharpenAmount, int32_t noiseAmount,
                                const uint8_t* sourceRed, const uint8_t* sourceGreen,
                                const uint8_t* sourceBlue, const uint8_t* sourceFourth,
                                const uint8_t* sourceFifth, int32_t sourceWidth,
                                int32_t sourceHeight, uint8_t* targetRed, uint8_t* targetGreen,
                                uint8_t* targetBlue, uint8_t* targetFourth, uint8_t* targetFifth,
                                int32_t targetWidth, int32_t targetHeight, int32_t sourceLeft,
                                int32_t sourceTop, int32_t sourceRight, int32_t sourceBottom,
                                int32_t targetLeft, int32_t targetTop, int32_t targetRight,
                                int32_t targetBottom);
