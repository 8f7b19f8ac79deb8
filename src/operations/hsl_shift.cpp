// Hue, saturation and lightness shift of three planes or of 4-byte pixels,
// on r, g, b data or on y, m, c data (colour model 0), blended back through
// the script's mode, opacity and mask.
//
// Full lightness gives exact white.
//
// A hue shift of a full turn or more is first brought back within one turn;
// the single correction after adding it then keeps the hue within 0..360.
#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"

using effect_support::Blend;
using effect_support::Clamp255;
using effect_support::ForEachPixelParallel;
using effect_support::Weight;

namespace {

struct HslShift {
  int32_t hue;
  int16_t saturation;
  int16_t lightness;
  bool ymc;

  // The new channel values of one pixel.
  void Apply(int32_t c0, int32_t c1, int32_t c2, int32_t out[3]) const {
    float r, g, b;
    if (ymc) {
      r = (255 - c2) / 255.0f;
      g = (255 - c1) / 255.0f;
      b = (255 - c0) / 255.0f;
    } else {
      r = c0 / 255.0f;
      g = c1 / 255.0f;
      b = c2 / 255.0f;
    }
    float h = 0.0f, l = 0.0f, s = 0.0f;
    RGBtoHLS(r, g, b, &h, &l, &s);
    h = WrapHue(h + static_cast<float>(hue));
    // Single precision throughout, as the colour shift of the tables does:
    // a factor of exactly 0 at -100 % turns any colour grey, where a
    // double 0.01 left a trace of saturation.
    s = Clamp01(s * (1.0f + static_cast<float>(saturation) / 100.0f));
    l = Clamp01(l + static_cast<float>(lightness) / 100.0f);
    // Full lightness is white whatever the hue and saturation; the
    // conversion's float rounding would otherwise leave it at 254 now and
    // then.
    if (l >= 1.0f) {
      r = g = b = 1.0f;
    } else {
      HLStoRGB(h, l, s, &r, &g, &b);
    }
    auto byte = [](float v) { return Clamp255(static_cast<int32_t>(v * 255.0f)); };
    if (ymc) {
      out[0] = byte(1.0f - b);
      out[1] = byte(1.0f - g);
      out[2] = byte(1.0f - r);
    } else {
      out[0] = byte(r);
      out[1] = byte(g);
      out[2] = byte(b);
    }
  }
};

HslShift MakeShift(int16_t hueShift, int16_t saturation, int16_t lightness, int16_t model) {
  int32_t hue = hueShift;
  if (hue >= 360 || hue <= -360) hue %= 360;
  return HslShift{hue, saturation, lightness, model == 0};
}

// Runs the shift over the region, pixel p's three samples at
// sample(p, 0..2), the rows on the shared threads.
template <typename Sample>
void ShiftRegion(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                 const unsigned char* mask, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                 const HslShift& shift, Sample sample) {
  ForEachPixelParallel(width, height, x0, y0, x1, y1, [=](int64_t i, int32_t, int32_t) {
    unsigned char* c[3] = {sample(i, 0), sample(i, 1), sample(i, 2)};
    int32_t shifted[3];
    shift.Apply(*c[0], *c[1], *c[2], shifted);
    const int32_t weight = Weight(mask, i, opacity);
    for (int32_t k = 0; k < 3; ++k) *c[k] = Blend(mode, *c[k], shifted[k], weight);
  });
}

}  // namespace

int32_t Effects::HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          unsigned char* plane0, unsigned char* plane1, unsigned char* plane2,
                          unsigned char* plane3, const unsigned char* mask, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t hueShift,
                          int16_t saturation, int16_t lightness, int16_t model) {
  (void)plane3;
  if (plane0 == nullptr || plane1 == nullptr || plane2 == nullptr) return 0;
  unsigned char* planes[3] = {plane0, plane1, plane2};
  ShiftRegion(mode, opacity, height, width, mask, x0, y0, x1, y1,
              MakeShift(hueShift, saturation, lightness, model),
              [&](int64_t i, int32_t k) { return planes[k] + i; });
  return 0;
}

int32_t Effects::HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          uint32_t* pixels, const unsigned char* mask, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int16_t hueShift, int16_t saturation,
                          int16_t lightness, int16_t model) {
  if (pixels == nullptr) return 0;
  unsigned char* bytes = reinterpret_cast<unsigned char*>(pixels);
  ShiftRegion(mode, opacity, height, width, mask, x0, y0, x1, y1,
              MakeShift(hueShift, saturation, lightness, model),
              [&](int64_t i, int32_t k) { return bytes + i * 4 + k; });
  return 0;
}
