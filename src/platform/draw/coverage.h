// Internal to the drawing ports: the pixel set a primitive covers, and the
// one place where pen modes are applied to pixels.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/draw/port.h"

namespace plat::draw {

// Marks over the box [left, right) x [top, bottom), each pixel once.
class Coverage {
 public:
  Coverage(int left, int top, int right, int bottom)
      : left_(left), top_(top), width_(std::max(0, right - left)), height_(std::max(0, bottom - top)),
        bits_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}
  void set(int x, int y) {
    x -= left_;
    y -= top_;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = 1;
  }
  void fill() { std::fill(bits_.begin(), bits_.end(), uint8_t{1}); }
  bool get(int x, int y) const {
    x -= left_;
    y -= top_;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] != 0;
  }
  int left() const { return left_; }
  int top() const { return top_; }
  int right() const { return left_ + width_; }
  int bottom() const { return top_ + height_; }

 private:
  int left_, top_, width_, height_;
  std::vector<uint8_t> bits_;
};

// Applies the port's pen (mode, pattern, colours) to the covered pixels
// inside the port and its clip, and reports the changed box.
void ApplyPen(Port& port, const Coverage& cov);
// The same with an explicit colour for set pattern bits, mode and pattern.
void ApplyInk(Port& port, const Coverage& cov, uint32_t ink, int16_t mode, const Pattern& pattern);

// The same for a coverage in device pixels (text set at the device size):
// clipped to the port and its clip scaled to device pixels, the pattern
// taken at the port pixel each device pixel lies in.
void ApplyDeviceInk(Port& port, const Coverage& cov, uint32_t ink, int16_t mode, const Pattern& pattern);

// A line of a one-pixel pen from (x0, y0) to (x1, y1), both ends in, each of
// its pixels once: what ApplyPen does for that line's coverage, without
// building it.
void ApplyThinLine(Port& port, int x0, int y0, int x1, int y1);

// The patterns of a pattern list resource (empty when missing or damaged).
std::vector<Pattern> LoadPatternList(int16_t listId);

}  // namespace plat::draw
