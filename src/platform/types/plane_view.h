// Typed views of sample planes and the two kinds of rectangle that the
// kernels take.
//
// A PlaneView<T> is a pointer, a width, a height and a row step (in samples
// of T, at least the width for a packed plane) over memory that someone
// else owns; ConstPlaneView<T> reads only. The kernels' cores take views and
// rectangles; the older entry points with their loose pointer, width and
// height arguments are thin adapters that build them.
//
// The two rectangles differ in one thing only, and their names say it:
// InclusiveRect (the image operations' regions) counts its right column and
// bottom row as part of it; ExclusiveRect (the raster functions' rectangles)
// stops just before them.
#pragma once

#include <cstdint>
#include <type_traits>

namespace plat {

template <typename T>
struct PlaneView {
  T* data = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int64_t rowStep = 0;  // samples from one row to the next

  constexpr PlaneView() = default;
  constexpr PlaneView(T* d, int32_t w, int32_t h, int64_t step)
      : data(d), width(w), height(h), rowStep(step) {}
  // A writable view read through a read-only one.
  template <typename U>
    requires std::is_same_v<T, const U>
  constexpr PlaneView(const PlaneView<U>& v)  // NOLINT: implicit by design
      : data(v.data), width(v.width), height(v.height), rowStep(v.rowStep) {}

  // Rows laid one after the other, no padding.
  static constexpr PlaneView Packed(T* d, int32_t w, int32_t h) { return {d, w, h, w}; }

  // False for a null pointer or a plane with no samples.
  constexpr bool valid() const { return data != nullptr && width > 0 && height > 0; }
  constexpr int64_t Index(int32_t x, int32_t y) const { return y * rowStep + x; }
  constexpr T* Row(int32_t y) const { return data + y * rowStep; }
  constexpr T& At(int32_t x, int32_t y) const { return data[Index(x, y)]; }
  // Samples of a packed plane (width x height).
  constexpr int64_t count() const { return static_cast<int64_t>(width) * height; }
};

template <typename T>
using ConstPlaneView = PlaneView<const T>;

struct ExclusiveRect;

// left..right and top..bottom, both ends included.
struct InclusiveRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = -1;
  int32_t bottom = -1;

  constexpr int32_t width() const { return right - left + 1; }
  constexpr int32_t height() const { return bottom - top + 1; }
  constexpr bool empty() const { return left > right || top > bottom; }
  // The whole of a width x height plane.
  static constexpr InclusiveRect Whole(int32_t w, int32_t h) { return {0, 0, w - 1, h - 1}; }
  // Cut to a width x height plane; false when nothing is left.
  constexpr bool ClipTo(int32_t w, int32_t h) {
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > w - 1) right = w - 1;
    if (bottom > h - 1) bottom = h - 1;
    return !empty();
  }
  constexpr ExclusiveRect Exclusive() const;
};

// left..right - 1 and top..bottom - 1.
struct ExclusiveRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  constexpr int32_t width() const { return right - left; }
  constexpr int32_t height() const { return bottom - top; }
  constexpr bool empty() const { return left >= right || top >= bottom; }
  static constexpr ExclusiveRect Whole(int32_t w, int32_t h) { return {0, 0, w, h}; }
  constexpr bool ClipTo(int32_t w, int32_t h) {
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (right > w) right = w;
    if (bottom > h) bottom = h;
    return !empty();
  }
  constexpr InclusiveRect Inclusive() const { return {left, top, right - 1, bottom - 1}; }
};

constexpr ExclusiveRect InclusiveRect::Exclusive() const {
  return {left, top, right + 1, bottom + 1};
}

}  // namespace plat
