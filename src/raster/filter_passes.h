// The 8-bit passes of Filter written back in place, on the vector paths.
//
// Each output is the plain sum of Filter: sum over j of sample[x + j] * k[j]
// through single-precision fused multiply-adds in the order of j, from 0.0,
// then gain * sum + offset stored as a byte (above 254 gives 255, below 1
// gives 0, anything else its truncation); outputs whose window would reach
// the border count as sums of 0. The results are the plain form's to the
// bit on every path and at any thread count; only the order in which rows
// are loaded and outputs computed differs.
#pragma once

#include <cstdint>

namespace filter_passes {

// Along rows (direction 0 of ConvCharBuf). True when the plane holds the
// filtered samples; false, with nothing written, when this processor (or
// the active level) has no vector path or the work memory is short: the
// caller then takes its plain form (which takes memory of its own shape).
bool RowsInPlace(unsigned char* plane, int32_t width, int32_t height, const float* k, int32_t n,
                 float gain, float offset);
// Down columns (direction 1), the same way.
bool ColumnsInPlace(unsigned char* plane, int32_t width, int32_t height, const float* k, int32_t n,
                    float gain, float offset);

}  // namespace filter_passes
