#include "raster/run_length.h"

#include <algorithm>
#include <cstring>

namespace {

// Sign-extends a sample to the 32-bit value word.
inline uint32_t Word(uint8_t v) {
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(v)));
}
inline uint32_t Word(int16_t v) {
  return static_cast<uint32_t>(static_cast<int32_t>(v));
}
inline uint32_t Word(uint32_t v) {
  return v;
}

template <typename T>
int32_t Code(int16_t mode, int32_t* count, int32_t width, int32_t height, T* buffer,
             uint32_t* coded) {
  if (mode < 0 || mode > 2) return 0;
  if (width <= 0 || height <= 0 || buffer == nullptr || count == nullptr) return -1;
  const int64_t n = static_cast<int64_t>(width) * height;
  if (mode == 2) {
    const int32_t words = *count;
    if (words == 0) return 0;
    if (words < 0 || (words & 1) != 0 || coded == nullptr) return -1;
    // A stored stream is checked whole before anything is written, so a
    // damaged one leaves the buffer as it was.
    int64_t total = 0;
    for (int32_t i = 0; i < words; i += 2) {
      const int32_t run = static_cast<int32_t>(coded[i]);
      if (run > 0) total += run;
      if (total > n) return -1;
    }
    T* at = buffer;
    for (int32_t i = 0; i < words; i += 2) {
      const int32_t run = static_cast<int32_t>(coded[i]);
      if (run > 0) at = std::fill_n(at, run, RunSample(coded[i + 1], buffer));
    }
    return 0;
  }
  if (mode == 1 && coded == nullptr) return -1;
  int64_t runs = 0;
  int64_t i = 0;
  while (i < n) {
    const T v = buffer[i];
    int64_t j = i + 1;
    // A long run (a grid's unused nodes, a mask's empty rows) is passed 64 samples at a time:
    // a block whose first sample is v and whose every sample equals the next is v throughout.
    while (j + 64 <= n && buffer[j] == v && std::memcmp(buffer + j, buffer + j + 1, 63 * sizeof(T)) == 0) j += 64;
    while (j < n && buffer[j] == v) ++j;
    if (mode == 1) {
      coded[2 * runs] = static_cast<uint32_t>(j - i);
      coded[2 * runs + 1] = Word(v);
    }
    ++runs;
    i = j;
  }
  if (mode == 0) *count = static_cast<int32_t>(2 * runs);
  return 0;
}

}  // namespace

int32_t encodeRLEcharbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                         uint8_t* buffer, uint32_t* coded) {
  return Code(mode, count, width, height, buffer, coded);
}

int32_t encodeRLEshortbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                          int16_t* buffer, uint32_t* coded) {
  return Code(mode, count, width, height, buffer, coded);
}

int32_t encodeRLElongbuf(int16_t mode, int32_t* count, int32_t width, int32_t height,
                         uint32_t* buffer, uint32_t* coded) {
  return Code(mode, count, width, height, buffer, coded);
}
