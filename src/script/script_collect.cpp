// Collecting a region of a channel plane into a caller's buffer, resampled to its size: how
// the preview views show the planes of a script. The region is given in thousandths of the
// render area, the output as a width, a height and the destination corner p, q.
#include <cstring>
#include <utility>

#include "app/core/memory_manager.h"
#include "platform/parallel/byte_passes.h"
#include "raster/plane_copy.h"
#include "script/script_file.h"

namespace {

struct Region {
  int32_t x0, y0, x1, y1;
};

// Thousandths of the area to plane positions, each truncated toward zero.
Region RegionOf(const ScriptFile& s, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  auto at = [](int32_t extent, int32_t v) {
    return static_cast<int32_t>((static_cast<int64_t>(extent) - 1) * v / 1000);
  };
  return {at(s.areaWidth, x0), at(s.areaHeight, y0), at(s.areaWidth, x1), at(s.areaHeight, y1)};
}

template <class T>
void ZeroOutput(T* out, int32_t w, int32_t h) {
  if (out != nullptr && w > 0 && h > 0)
    std::memset(out, 0, static_cast<size_t>(w) * static_cast<size_t>(h) * sizeof(T));
}

}  // namespace

// The plane a collection reads: the channel's own, or for channel 0 a temporary plane of
// floor((R + G + B) / 3) that `owned` hands back. 0 with *plane null when the channel has
// no plane; -1 when the temporary plane cannot be had.
int32_t ScriptFile::CollectSource(int16_t channel, uint8_t** plane, plat::Block<uint8_t>* owned) {
  *plane = nullptr;
  if (channel != 0) {
    *plane = ChannelPlane(channel, 0);
    return 0;
  }
  const uint8_t* r = ChannelPlane(3, 0);
  const uint8_t* g = ChannelPlane(4, 0);
  const uint8_t* b = ChannelPlane(5, 0);
  if (r == nullptr || g == nullptr || b == nullptr) return 0;
  plat::Block<uint8_t> mean = PlaneBlock(spareMean_);
  if (!mean) return -1;
  plat::MeanOfThree(mean.get(), r, g, b, mean.size());
  *plane = mean.get();
  *owned = std::move(mean);
  return 0;
}

int32_t ScriptFile::CollectCharBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1,
                                   int32_t y1, int32_t outW, int32_t outH, uint8_t* out,
                                   int32_t p, int32_t q) {
  uint8_t* plane = nullptr;
  plat::Block<uint8_t> owned;
  if (CollectSource(channel, &plane, &owned) != 0) return -1;
  if (plane == nullptr) {
    ZeroOutput(out, outW, outH);
    return 0;
  }
  const Region g = RegionOf(*this, x0, y0, x1, y1);
  // The resampler reads the plane without writing it, so the plane itself is its source.
  BufToBufChar_andR(0, planeWidth, planeHeight, plane, outW, outH, out, g.x0, g.y0, g.x1, g.y1,
                    0, 0, p, q);
  return 0;
}

int32_t ScriptFile::CollectShortBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1,
                                    int32_t y1, int32_t outW, int32_t outH, int16_t* out,
                                    int32_t p, int32_t q) {
  uint8_t* plane = nullptr;
  plat::Block<uint8_t> owned;
  if (CollectSource(channel, &plane, &owned) != 0) return -1;
  if (plane == nullptr) {
    ZeroOutput(out, outW, outH);
    return 0;
  }
  const size_t n = static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight);
  plat::Block<int16_t> wide(static_cast<int64_t>(n), WorkSource());
  if (!wide) return -1;
  for (size_t i = 0; i < n; ++i) wide[i] = static_cast<int16_t>(plane[i] * 32);
  const Region g = RegionOf(*this, x0, y0, x1, y1);
  BufToBufShort_andR(planeWidth, planeHeight, wide.get(), outW, outH, out, g.x0, g.y0, g.x1, g.y1,
                     0, 0, p, q, 8192);
  return 0;
}

int32_t ScriptFile::CollectLongBuf(int16_t channel, int32_t x0, int32_t y0, int32_t x1,
                                   int32_t y1, int32_t outW, int32_t outH, uint32_t* out,
                                   int32_t p, int32_t q) {
  const Region g = RegionOf(*this, x0, y0, x1, y1);
  if (channel == 0) {
    // The composite keeps its three components apart, one per byte.
    const uint8_t* r = ChannelPlane(3, 0);
    const uint8_t* gr = ChannelPlane(4, 0);
    const uint8_t* b = ChannelPlane(5, 0);
    if (r == nullptr || gr == nullptr || b == nullptr) {
      ZeroOutput(out, outW, outH);
      return 0;
    }
    BufToBufMulChartoLongLow_andR(planeWidth, planeHeight, r, gr, b, outW, outH, out, g.x0,
                                  g.y0, g.x1, g.y1, 0, 0, p, q);
    return 0;
  }
  const uint8_t* plane = ChannelPlane(channel, 0);
  if (plane == nullptr) {
    ZeroOutput(out, outW, outH);
    return 0;
  }
  const size_t n = static_cast<size_t>(planeWidth) * static_cast<size_t>(planeHeight);
  plat::Block<uint32_t> spread(static_cast<int64_t>(n), WorkSource());
  if (!spread) return -1;
  for (size_t i = 0; i < n; ++i) spread[i] = plane[i] * 0x01010101u;
  BufToBufLong_andR(planeWidth, planeHeight, spread.get(), outW, outH, out, g.x0, g.y0, g.x1,
                    g.y1, 0, 0, p, q);
  return 0;
}
