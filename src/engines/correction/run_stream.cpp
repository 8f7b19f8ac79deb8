#include "engines/correction/run_stream.h"

#include <algorithm>

#include "raster/run_length.h"

namespace vmkrec {

namespace {

inline int64_t RunLength(uint32_t word) {
  const int32_t run = static_cast<int32_t>(word);
  return run > 0 ? run : 0;
}

template <class T>
void Resample(const std::vector<uint32_t>& words, int32_t srcWidth, int32_t srcHeight, T* dst,
              int32_t dstWidth, int32_t dstHeight) {
  if (dst == nullptr || srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return;
  const float rx = static_cast<float>(srcWidth) / static_cast<float>(dstWidth);
  const float ry = static_cast<float>(srcHeight) / static_cast<float>(dstHeight);
  const size_t pairs = words.size() / 2;
  // Along a row the stored index only grows, and each new stored row lies beyond the last,
  // so one pass over the runs serves.
  size_t k = 0;
  int64_t runEnd = pairs > 0 ? RunLength(words[0]) : 0;
  int32_t lastRow = -1;
  for (int32_t y = 0; y < dstHeight; ++y) {
    const int32_t sy = std::min(static_cast<int32_t>(ry * static_cast<float>(y)), srcHeight - 1);
    T* row = dst + static_cast<int64_t>(y) * dstWidth;
    // A stored row read again gives the same output row; a new one lies further on.
    if (sy == lastRow) {
      std::copy(row - dstWidth, row, row);
      continue;
    }
    lastRow = sy;
    for (int32_t x = 0; x < dstWidth; ++x) {
      const int32_t sx = std::min(static_cast<int32_t>(rx * static_cast<float>(x)), srcWidth - 1);
      const int64_t at = static_cast<int64_t>(sy) * srcWidth + sx;
      while (k < pairs && at >= runEnd) {
        ++k;
        if (k < pairs) runEnd += RunLength(words[2 * k]);
      }
      row[x] = k < pairs ? RunSample(words[2 * k + 1], row) : T{0};
    }
  }
}

}  // namespace

bool ReadRunWords(plat::bytes::Reader& reader, int32_t count, std::vector<uint32_t>* words) {
  if (count < 0 || (count & 1) != 0) return false;
  if (static_cast<uint64_t>(count) * 4 > reader.remaining()) return false;
  std::vector<uint32_t> w(static_cast<size_t>(count));
  for (auto& v : w) v = reader.u32();
  if (!reader.ok()) return false;
  *words = std::move(w);
  return true;
}

bool RunsFit(const std::vector<uint32_t>& words, int64_t samples) {
  if ((words.size() & 1) != 0 || samples < 0) return false;
  int64_t total = 0;
  for (size_t i = 0; i < words.size(); i += 2) {
    total += RunLength(words[i]);
    if (total > samples) return false;
  }
  return true;
}

void ResampleRuns(const std::vector<uint32_t>& words, int32_t srcWidth, int32_t srcHeight,
                  uint8_t* dst, int32_t dstWidth, int32_t dstHeight) {
  Resample(words, srcWidth, srcHeight, dst, dstWidth, dstHeight);
}

void ResampleRuns(const std::vector<uint32_t>& words, int32_t srcWidth, int32_t srcHeight,
                  int16_t* dst, int32_t dstWidth, int32_t dstHeight) {
  Resample(words, srcWidth, srcHeight, dst, dstWidth, dstHeight);
}

void WriteRunWords(plat::bytes::Writer& writer, const std::vector<uint32_t>& words) {
  for (uint32_t w : words) writer.u32(w);
}

}  // namespace vmkrec
