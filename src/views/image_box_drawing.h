// Drawing pieces the image box shares between its draw event and its mouse
// tracking.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/draw/port.h"
#include "platform/types/mac_types.h"

// Wraps an RGBA buffer (alpha premultiplied and last, 8 bits a component)
// as an image without copying it; the buffer must outlive the image.
plat::draw::ImageRef CreateImageFromRGBA32Bitmap(int32_t width, int32_t height,
                                                 const uint8_t* data, int32_t rowBytes);

namespace vmkviews {

// Screen x of a range value over a rectangle: left + rnd(v (w - 1) / scale),
// single precision. The scale must not be 0.
int32_t RangeMarkerX(const Rect& r, int32_t value, int32_t scale);
// The range picker's figure in the current port and pen: a marker at the
// minimum (its tip to the right), one at the maximum (tip to the left) and
// the line between them, 8 pixels above the bottom.
void DrawRangeFigure(const Rect& r, int32_t minimum, int32_t maximum, int32_t scale);

// `words` broken at spaces into lines of at most `room` wide as `width` measures them, the
// longest run of whole words on each; at most `most` lines (at least one), the words past the
// last one cut there at a word with an ellipsis, and a word longer than a line alone cut at a
// letter so.
std::vector<std::string> BandLines(const std::string& words, int32_t room, size_t most,
                                   const std::function<int32_t(const std::string&)>& width);

}  // namespace vmkviews
