// Row-held planes: the channels of an image kept row by row, each row behind
// its own handle, as the row-reading paths of the host keep them.
//
// planes[c] is an array of `height` handles for channel c; handle y is a
// master pointer leading to the samples of row y (width 8-bit samples, or
// width 16-bit samples in the 16-bit runs).
#pragma once

#include <cstdint>

using RowHandle = unsigned char**;
using RowPlanes = RowHandle const* const*;

inline unsigned char* RowOf(RowPlanes planes, int32_t channel, int32_t y) {
  return *planes[channel][y];
}
inline int16_t* Row16Of(RowPlanes planes, int32_t channel, int32_t y) {
  return reinterpret_cast<int16_t*>(*planes[channel][y]);
}
