// Row-held planes for tests: every row in its own block behind a master
// pointer, as the row-reading paths hand them to the raster filters.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/row_planes.h"

namespace vmktest {

class RowHeld {
 public:
  RowHeld(int channels, int32_t width, int32_t height, int bytesPerSample = 1)
      : height_(height) {
    const size_t n = static_cast<size_t>(channels) * height;
    rows_.resize(n, std::vector<unsigned char>(static_cast<size_t>(width) * bytesPerSample));
    masters_.resize(n);
    handles_.resize(n);
    for (size_t i = 0; i < n; ++i) {
      masters_[i] = rows_[i].data();
      handles_[i] = &masters_[i];
    }
    for (int c = 0; c < channels; ++c) channels_.push_back(handles_.data() + c * height);
  }
  RowHeld(const RowHeld&) = delete;
  RowHeld& operator=(const RowHeld&) = delete;

  RowPlanes planes() const { return channels_.data(); }
  unsigned char& at(int c, int32_t x, int32_t y) { return rows_[Index(c, y)][x]; }
  int16_t get16(int c, int32_t x, int32_t y) const {
    int16_t v;
    std::memcpy(&v, rows_[Index(c, y)].data() + x * 2, 2);
    return v;
  }
  void set16(int c, int32_t x, int32_t y, int16_t v) {
    std::memcpy(rows_[Index(c, y)].data() + x * 2, &v, 2);
  }

 private:
  size_t Index(int c, int32_t y) const { return static_cast<size_t>(c) * height_ + y; }
  int32_t height_;
  std::vector<std::vector<unsigned char>> rows_;
  std::vector<unsigned char*> masters_;
  std::vector<RowHandle> handles_;
  std::vector<RowHandle const*> channels_;
};

}  // namespace vmktest
