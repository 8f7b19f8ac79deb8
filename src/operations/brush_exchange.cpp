// Channel-exchange pixel brush.
#include "operations/brush_exchange.h"

#include "operations/effects.h"
#include "raster/colour_select.h"
#include "raster/pixel_brush.h"

namespace {

int32_t ByteOf(uint32_t p, int k) { return static_cast<int32_t>((p >> (8 * k)) & 0xFF); }

uint32_t Pack(const int32_t* v, int count, uint32_t keep) {
  uint32_t out = keep;
  for (int k = 0; k < count; ++k) {
    out = (out & ~(0xFFu << (8 * k))) | (static_cast<uint32_t>(v[k] & 0xFF) << (8 * k));
  }
  return out;
}

}  // namespace

void X_Brush_BCol(int16_t rgb, float originX, float originY, float zoom, int32_t width,
                  int32_t height, uint32_t* pixels, const uint32_t* source,
                  const int16_t* footprint, float centreX, float centreY, float radius,
                  const int32_t* row1, const int32_t* row2, const int32_t* row3,
                  const int32_t* row4, const int32_t* offsets) {
  if (pixels == nullptr || source == nullptr || row1 == nullptr || row2 == nullptr ||
      row3 == nullptr || offsets == nullptr || (rgb == 0 && row4 == nullptr)) {
    return;
  }
  const PixelDab dab = PlacePixelDab(originX, originY, zoom, centreX, centreY, radius);
  ForEachDabSample(dab, width, height, footprint, [&](int64_t i, int32_t, int32_t, int32_t m) {
    const uint32_t s = source[i];
    int32_t v[4] = {};
    uint32_t target = 0;
    if (rgb != 0) {
      Effects::Calc_exchRGB(7, row1, row2, row3, offsets, ByteOf(s, 0), ByteOf(s, 1),
                            ByteOf(s, 2), &v[0], &v[1], &v[2]);
      // Byte 3 is no channel of the mix: its target is what it is.
      target = Pack(v, 3, pixels[i] & 0xFF000000u);
    } else {
      Calc_exchYMCK(15, row1, row2, row3, row4, offsets, ByteOf(s, 0), ByteOf(s, 1),
                    ByteOf(s, 2), ByteOf(s, 3), &v[0], &v[1], &v[2], &v[3]);
      target = Pack(v, 4, 0);
    }
    pixels[i] = BrushBlendPixel(pixels[i], target, m);
  });
}
