// Whole-plane byte passes on the shared threads: the fills, copies and
// complements that a render makes of every plane it touches. Each is cut into
// fixed runs of bytes that do not depend on the thread count, and each byte
// is written from its own source byte alone, so the result is the plain
// loop's at any count. Short runs stay on the calling thread.
#pragma once

#include <cstdint>

namespace plat {

// Bytes per run handed to a thread: large enough that handing it out costs
// nothing beside the copy, small enough that eight threads share a plane.
constexpr int64_t kBytePassRun = int64_t{1} << 18;

// dst[i] = value for i in [0, count).
void FillBytes(uint8_t* dst, int64_t count, uint8_t value);
// dst[i] = src[i]; the two must not overlap.
void CopyBytes(uint8_t* dst, const uint8_t* src, int64_t count);
// dst[i] = 255 - src[i]; dst may be src itself.
void ComplementBytes(uint8_t* dst, const uint8_t* src, int64_t count);

// Byte k of each of the n 4-byte pixels into planes[k] (a null plane skipped), in one read of
// the pixels per run; the planes must not overlap the pixels.
void SplitPixelBytes(const uint8_t* pixels, uint8_t* const planes[4], int64_t n);
// dst[i] = floor((a[i] + b[i] + c[i]) / 3); dst apart from the three.
void MeanOfThree(uint8_t* dst, const uint8_t* a, const uint8_t* b, const uint8_t* c,
                 int64_t count);

// body(first, last) over runs [first, last) of [0, count), on the shared
// threads when there is more than one run.
template <typename F>
void ForEachByteRun(int64_t count, F&& body);

}  // namespace plat

#include "platform/parallel/parallel.h"

namespace plat {

template <typename F>
void ForEachByteRun(int64_t count, F&& body) {
  if (count <= 0) return;
  const int64_t runs = (count + kBytePassRun - 1) / kBytePassRun;
  if (runs <= 1 || runs > INT32_MAX) {
    body(int64_t{0}, count);
    return;
  }
  // A pass over memory: it leaves the progress to the work it serves.
  const QuietProgress quiet;
  ParallelFor(0, static_cast<int32_t>(runs), 1, [&body, count](int32_t first, int32_t last) {
    const int64_t from = first * kBytePassRun;
    const int64_t to = last * kBytePassRun < count ? last * kBytePassRun : count;
    body(from, to);
  });
}

}  // namespace plat
