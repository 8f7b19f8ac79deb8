#include "platform/parallel/byte_passes.h"

#include <cstring>

namespace plat {

void FillBytes(uint8_t* dst, int64_t count, uint8_t value) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    std::memset(dst + first, value, static_cast<size_t>(last - first));
  });
}

void CopyBytes(uint8_t* dst, const uint8_t* src, int64_t count) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    std::memcpy(dst + first, src + first, static_cast<size_t>(last - first));
  });
}

void ComplementBytes(uint8_t* dst, const uint8_t* src, int64_t count) {
  ForEachByteRun(count, [=](int64_t first, int64_t last) {
    for (int64_t i = first; i < last; ++i) dst[i] = static_cast<uint8_t>(255 - src[i]);
  });
}

}  // namespace plat
