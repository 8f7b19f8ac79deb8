// Wave distortion: a wave along x shifts each column up or down, a wave
// along y each row sideways, in sine, triangle or square shape; the shifted
// picture is blended back over the region.
//
// A shifted position that leaves the region comes back in from the other
// side, with a period one row (column) short of the region's extent; large
// amplitudes wrap as often as needed, so no read ever leaves the region.
//
// The copy walks bands of 128 rows in strips of 256 columns, and rows whose
// shifts cannot wrap read through per-column offsets. Measured through the
// script's render at its defaults (three 6000 x 4000 planes, 8 threads on a
// shared, loaded 8-core machine): about 210 ms walking whole rows with both
// positions wrapped per sample, about 95 ms in strips, about 35 ms with the
// offsets as well (one thread: 285 ms, 130 ms).
#include <cmath>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "raster/tile_transform.h"

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

constexpr double kPi = 3.141592654;

// One shift per position along an extent of `along` samples, for `waves`
// waves whose amplitude is `percent` of `across`.
void FillShifts(int32_t* shift, int32_t along, int32_t acrossExtent, int16_t shape,
                int32_t waves, int32_t percent) {
  const int64_t across = acrossExtent;
  if (waves == 0) {
    for (int32_t i = 0; i < along; ++i) shift[i] = 0;
    return;
  }
  int64_t q = along / (2 * waves);
  if (q < 1) q = 1;
  const int64_t full = across * percent / 100;
  for (int32_t i = 0; i < along; ++i) {
    const int64_t phase = (i / q) % 4;
    const int64_t u = i % q;
    int64_t v = 0;
    switch (shape) {
      case 0: {
        const int64_t arg = (phase == 0 || phase == 2) ? u : q - u;
        const int64_t s = static_cast<int64_t>(
            std::sin(static_cast<double>(arg) * kPi / static_cast<double>(2 * q)) * percent *
            static_cast<double>(across) / 100);
        v = phase < 2 ? s : -s;
        break;
      }
      case 1:
        switch (phase) {
          case 0: v = across * percent * u / (100 * q); break;
          case 1: v = across * percent * (q - u) / (100 * q); break;
          case 2: v = -across * percent * u / (100 * q); break;
          default: v = across * percent * (u - q) / (100 * q); break;
        }
        break;
      case 2:
        v = (phase % 2 == 0) ? full : -full;
        break;
      default:
        break;
    }
    shift[i] = static_cast<int32_t>(v);
  }
}

}  // namespace

int32_t Effects::SinusWave(int16_t mode, int16_t opacity, unsigned char* plane,
                           const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                           int32_t y0, int32_t x1, int32_t y1, int16_t shape, int16_t wavesX,
                           int16_t amplitudeX, int16_t wavesY, int16_t amplitudeY) {
  if (plane == nullptr || width <= 0 || height <= 0) return -1;
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  const int32_t rw = x1 - x0 + 1;
  const int32_t rh = y1 - y0 + 1;
  plat::Block<int32_t> rowShiftBuf(rh, WorkSource());
  if (!rowShiftBuf) return -1;
  plat::Block<int32_t> columnShiftBuf(rw, WorkSource());
  if (!columnShiftBuf) return -1;
  plat::Block<unsigned char> outBuf(static_cast<int64_t>(rw) * rh, WorkSource());
  if (!outBuf) return -1;
  int32_t* rowShift = rowShiftBuf.get();
  int32_t* columnShift = columnShiftBuf.get();
  unsigned char* out = outBuf.get();

  FillShifts(columnShift, rw, rh, shape, wavesX, amplitudeX);
  FillShifts(rowShift, rh, rw, shape, wavesY, amplitudeY);

  // Each row of the copy reads the plane only: the rows are independent. A
  // row reads a different plane row in nearly every column (the column's
  // shift), and the next row reads the lines just below those, so the copy
  // walks tall bands in strips of kStrip columns: the lines a strip reads stay
  // in the core's cache while its band's rows go down over them, instead of
  // being fetched again for each of the rows a full-width walk passes over.
  //
  // Where neither shift of a row wraps (all but the rows and columns near the
  // region's edges), a sample's position is the row's start plus the column's
  // offset, worked out once per column.
  constexpr int32_t kBandRows = 128, kStrip = 256;
  const int32_t strips = (rw + kStrip - 1) / kStrip;
  plat::Block<int64_t> columnOffsetBuf(rw, WorkSource());
  plat::Block<int32_t> stripShiftBuf(2 * static_cast<int64_t>(strips), WorkSource());
  if (!columnOffsetBuf || !stripShiftBuf) return -1;
  int64_t* columnOffset = columnOffsetBuf.get();
  // The lowest and highest column shift of each strip.
  int32_t* stripShift = stripShiftBuf.get();
  for (int32_t i = 0; i < rw; ++i) {
    columnOffset[i] = static_cast<int64_t>(columnShift[i]) * width + (x0 + i);
    int32_t* range = stripShift + 2 * (i / kStrip);
    if (i % kStrip == 0 || columnShift[i] < range[0]) range[0] = columnShift[i];
    if (i % kStrip == 0 || columnShift[i] > range[1]) range[1] = columnShift[i];
  }
  plat::ParallelFor(y0, y1 + 1, kBandRows, [=](int32_t first, int32_t end) {
    for (int32_t xs = x0; xs <= x1; xs += kStrip) {
      const int32_t xe = xs + kStrip - 1 < x1 ? xs + kStrip - 1 : x1;
      for (int32_t y = first; y < end; ++y) {
        unsigned char* o = out + static_cast<int64_t>(y - y0) * rw;
        const int32_t across = rowShift[y - y0];
        const int32_t* range = stripShift + 2 * ((xs - x0) / kStrip);
        if (static_cast<int64_t>(y) + range[0] >= y0 && static_cast<int64_t>(y) + range[1] <= y1 &&
            static_cast<int64_t>(xs) + across >= x0 && static_cast<int64_t>(xe) + across <= x1) {
          const unsigned char* start = plane + static_cast<int64_t>(y) * width + across;
          for (int32_t x = xs; x <= xe; ++x) o[x - x0] = start[columnOffset[x - x0]];
          continue;
        }
        for (int32_t x = xs; x <= xe; ++x) {
          const int32_t sy = WrapInSpan(static_cast<int64_t>(y) + columnShift[x - x0], y0, y1);
          const int32_t sx = WrapInSpan(static_cast<int64_t>(x) + across, x0, x1);
          o[x - x0] = plane[static_cast<int64_t>(sy) * width + sx];
        }
      }
    }
  });
  effect_support::BlendPackedRegion(mode, opacity, plane, mask, width, x0, y0, x1, y1, out);
  return 0;
}
