// Clamping of samples and of inclusive rectangles to a plane. One
// copy for the colour kernels, the raster core and the image operations, so
// that every caller holds a value or a rectangle inside its range the same
// way (below the low end gives the low end, above the high end the high end).
#pragma once

#include <cstdint>

#include "platform/types/plane_view.h"

// v held to lo..hi.
inline int32_t ClampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

// v held to the signed 16-bit range.
inline int16_t ClampToInt16(int32_t v) {
  return static_cast<int16_t>(ClampInt(v, INT16_MIN, INT16_MAX));
}

// v held to the signed 32-bit range: a span between two ints at the ends of it.
inline int32_t ClampToInt32(int64_t v) {
  return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
}

// x truncated toward zero as a conversion to a 32-bit or a 16-bit int does, with x first held
// to the target's range so that a value beyond it (a record word scaled by a percentage) is no
// undefined conversion; NaN gives 0.
inline int32_t TruncToInt32(double x) {
  if (!(x == x)) return 0;
  return static_cast<int32_t>(x < INT32_MIN ? INT32_MIN : (x > INT32_MAX ? INT32_MAX : x));
}
inline int16_t TruncToInt16(double x) {
  if (!(x == x)) return 0;
  return static_cast<int16_t>(x < INT16_MIN ? INT16_MIN : (x > INT16_MAX ? INT16_MAX : x));
}

// v held to a sample's range 0..255.
inline int32_t Clamp255(int32_t v) { return ClampInt(v, 0, 255); }

// A colour-space fraction held to 0..1 (NaN passes through unchanged).
inline float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

namespace sample_clamp_detail {
// Clips through the plane rectangle type R and writes the edges back.
template <class R>
bool ClipAs(int32_t width, int32_t height, int32_t& left, int32_t& top, int32_t& right,
            int32_t& bottom) {
  R r{left, top, right, bottom};
  const bool left_over = r.ClipTo(width, height);
  left = r.left;
  top = r.top;
  right = r.right;
  bottom = r.bottom;
  return left_over;
}
}  // namespace sample_clamp_detail

// Raises left and top to 0 and lowers right and bottom to width - 1 and
// height - 1 (all four inclusive); false when nothing of the rectangle is
// left.
inline bool ClipInclusiveRect(int32_t width, int32_t height, int32_t& left, int32_t& top,
                              int32_t& right, int32_t& bottom) {
  return sample_clamp_detail::ClipAs<plat::InclusiveRect>(width, height, left, top, right, bottom);
}

// The same for a rectangle whose right and bottom lie just outside it: they
// are lowered to width and height; false when nothing is left.
inline bool ClipExclusiveRect(int32_t width, int32_t height, int32_t& left, int32_t& top,
                              int32_t& right, int32_t& bottom) {
  return sample_clamp_detail::ClipAs<plat::ExclusiveRect>(width, height, left, top, right, bottom);
}
