// Pixel brushes: one dab of a footprint (the mask brush's weights, n x n,
// 4096 full) stamped into a picture, each member with its own target.
//
// A dab of `radius` view pixels centred at (centreX, centreY), the picture
// shown at zoom z and origin (originX, originY), covers n = trunc(2 radius /
// z + 1.5) samples each way from (trunc((originX + centreX - radius) / z +
// 0.5), trunc((originY + centreY - radius) / z + 0.5)). Only samples inside
// the picture change, each channel moving toward its target by the weight m:
// ((4096 - m) old + m target) >> 12, held to 0..255. Planes are rows of
// `width` samples; 32-bit pixels keep their channels in bytes 0..3.
#pragma once

#include <cstdint>

// Where one dab lands: n x n samples from (left, top).
struct PixelDab {
  int32_t left = 0;
  int32_t top = 0;
  int32_t n = 0;
};

// The dab of a brush, or n = 0 when the zoom is not positive.
PixelDab PlacePixelDab(float originX, float originY, float zoom, float centreX, float centreY,
                       float radius);

// f(index, x, y, m) for every footprint sample of the dab that lies inside
// the width x height picture, m its weight.
template <typename F>
void ForEachDabSample(const PixelDab& dab, int32_t width, int32_t height,
                      const int16_t* footprint, F&& f) {
  if (footprint == nullptr) return;
  for (int32_t j = 0; j < dab.n; ++j) {
    const int64_t y = int64_t{dab.top} + j;
    if (y < 0 || y >= height) continue;
    for (int32_t i = 0; i < dab.n; ++i) {
      const int64_t x = int64_t{dab.left} + i;
      if (x < 0 || x >= width) continue;
      f(y * width + x, static_cast<int32_t>(x), static_cast<int32_t>(y),
        int32_t{footprint[int64_t{j} * dab.n + i]});
    }
  }
}

// ((4096 - m) old + m target) >> 12, held to 0..255.
uint8_t BrushBlend(int32_t old, int32_t target, int32_t m);
// The same on each byte of a pixel toward the bytes of `target`.
uint32_t BrushBlendPixel(uint32_t old, uint32_t target, int32_t m);

// Clone: toward the source pixel offset by (dx, dy), where that lies inside
// the picture too.
void X_Brush_Clone(float originX, float originY, float zoom, int32_t width, int32_t height,
                   uint32_t* pixels, const uint32_t* source, const int16_t* footprint,
                   float centreX, float centreY, float radius, int32_t dx, int32_t dy);
void X_Brush_CloneRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                      uint8_t* R, uint8_t* G, uint8_t* B, const uint8_t* srcR,
                      const uint8_t* srcG, const uint8_t* srcB, const int16_t* footprint,
                      float centreX, float centreY, float radius, int32_t dx, int32_t dy);

// Airbrush: toward one colour, given for bytes 2, 1, 0 and 3 in that order.
void X_Brush_Aero(float originX, float originY, float zoom, int32_t width, int32_t height,
                  uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                  float radius, int16_t byte2, int16_t byte1, int16_t byte0, int16_t byte3);
void X_Brush_AeroRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                     uint8_t* R, uint8_t* G, uint8_t* B, const int16_t* footprint,
                     float centreX, float centreY, float radius, int16_t red, int16_t green,
                     int16_t blue);

// Etch: each byte toward its table's entry (256 per table) at its own value.
void X_Brush_Etch(float originX, float originY, float zoom, int32_t width, int32_t height,
                  uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                  float radius, const int16_t* table0, const int16_t* table1,
                  const int16_t* table2, const int16_t* table3);
void X_Brush_EtchRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                     uint8_t* R, uint8_t* G, uint8_t* B, const int16_t* footprint,
                     float centreX, float centreY, float radius, const int16_t* tableR,
                     const int16_t* tableG, const int16_t* tableB);

// Noise: each byte toward itself plus a fresh draw of the random hook modulo
// 255 (held to 255), bytes 0..3 of each pixel in turn.
void X_Brush_Noise(float originX, float originY, float zoom, int32_t width, int32_t height,
                   uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                   float radius);

// Convolution: each byte toward the 3 x 3 convolution of the picture as it
// was before the dab (kernel row by row, divided by `divisor`, at least 1,
// held to 0..255), at a tenth of the brush weight. The picture's outer rows
// and columns never change. -1 when work memory cannot be had, else 0.
int32_t X_Brush_Matrix(float originX, float originY, float zoom, int32_t width, int32_t height,
                       uint32_t* pixels, const int16_t* footprint, float centreX, float centreY,
                       float radius, const int16_t* kernel, int16_t divisor);

// One 8-bit plane toward a constant.
void X_Brush_MskRGB(float originX, float originY, float zoom, int32_t width, int32_t height,
                    uint8_t* plane, const int16_t* footprint, float centreX, float centreY,
                    float radius, int16_t value);

// Computed mask: where the footprint weighs anything, the mask sample
// becomes table[p + q + current - 8192] (index held to 0..8191), p and q the
// samples of two planeW x planeH planes at the sample's place times the
// zoom.
void X_Brush_CompuMsk(float originX, float originY, float zoom, int32_t width, int32_t height,
                      int16_t* mask, const int16_t* footprint, float centreX, float centreY,
                      float radius, int32_t planeW, int32_t planeH, const int16_t* planeP,
                      const int16_t* planeQ, const int16_t* table);
