// Per-value colour arithmetic shared by the whole plug-in: the numbered blend
// kernel, conversions between RGB and the HLS, HSV, YIQ, CIE xyY and CMY(K)
// spaces, and a few whole-buffer row helpers on 32-bit pixels.
//
// Blend roles: `a` is the base value (already in the image), `b` the blend
// value (what the effect produced). The blend-mode numbers 1..12 of
// X_optionRPart are the one numbering used by the main window, the script
// (which stores the mode less one) and every engine.
//
// Colour-space values are single-precision floats: red, green, blue, cyan,
// magenta, yellow and black in 0..1, hue in degrees 0..360, lightness,
// saturation and value in 0..1. A hue of kUndefinedHue marks a grey.
#pragma once

#include <cstdint>

constexpr float kUndefinedHue = -400.0f;

// Blend one 8-bit base value with one 8-bit blend value; writes one byte, or
// nothing for a mode outside 1..12.
void X_optionRPart(unsigned char* dst, uint32_t mode, int32_t a, int32_t b);

// Three-channel variant: modes 1..9 as X_optionRPart per channel; mode 10
// moves the blend colour by the difference of the shift record's target
// (shift[3..5]) and reference (shift[0..2]). Other modes write nothing.
void X_optionRGBPart(unsigned char* dstR, unsigned char* dstG, unsigned char* dstB, uint32_t mode,
                     const int16_t* shift, int32_t aR, int32_t aG, int32_t aB, int32_t bR,
                     int32_t bG, int32_t bB);

void RGBtoHLS(float r, float g, float b, float* h, float* l, float* s);
void HLStoRGB(float h, float l, float s, float* r, float* g, float* b);
// One component of HLStoRGB.
float value(float m1, float m2, float hue);
void RGBtoHSV(float r, float g, float b, float* h, float* s, float* v);
void HSVtoRGB(float h, float s, float v, float* r, float* g, float* b);

// A hue brought back by one whole turn when it has left 0..360 (hues are
// only ever shifted by less than a turn).
inline float WrapHue(float hue) {
  if (hue > 360.0f) {
    hue -= 360.0f;
  } else if (hue < 0.0f) {
    hue += 360.0f;
  }
  return hue;
}

// Hue offset in degrees, saturation change in percent, lightness offset in
// hundredths; the colour is adjusted in place.
void RGBHSLadjust(float* r, float* g, float* b, int32_t hueOffset, int32_t saturationPercent,
                  int32_t lightnessOffset);

void RGB2YIQ(float r, float g, float b, float& y, float& i, float& q);
void YIQ2RGB(float y, float i, float q, float& r, float& g, float& b);
// Outputs chromaticity x, y and luminance Y.
void RGB2CIE(float r, float g, float b, float& x, float& y, float& Y);
void CIE2RGB(float x, float y, float Y, float& r, float& g, float& b);
void RGB2CMY(float r, float g, float b, float& c, float& m, float& y);
void RGB2CMYK(float r, float g, float b, float& c, float& m, float& y, float& k);
// Additive mixing of two chromaticity colours.
void mixcolors(float x1, float y1, float Y1, float x2, float y2, float Y2, float& x, float& y,
               float& Y);
float max3(float a, float b, float c);
float min3(float a, float b, float c);

// Turn a buffer upside down in place (32-bit pixels, or `width` bytes a row).
void ReverseColLongBuf(uint32_t* buffer, int32_t width, int32_t height);
void ReverseColCharBuf(unsigned char* buffer, int32_t width, int32_t height);
// Each pixel's bytes (red, green, blue, alpha) become (alpha, red, green, blue).
void BufRGBAtoARGB(uint32_t* buffer, int32_t width, int32_t height);

// Nearest-neighbour copy between inclusive rectangles of 32-bit pixels, both
// clipped to their buffers; -1 without writing when a clipped rectangle has
// no extent on either axis.
int32_t RoughLongBufToLongBuf(int32_t srcHeight, int32_t srcWidth, const uint32_t* src,
                              int32_t dstHeight, int32_t dstWidth, uint32_t* dst, int32_t srcLeft,
                              int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t dstLeft,
                              int32_t dstTop, int32_t dstRight, int32_t dstBottom);
// The same, spreading bytes 0..3 of each source pixel over four byte planes.
int32_t RoughLongBufToCharBuf(int32_t srcHeight, int32_t srcWidth, const uint32_t* src,
                              int32_t dstHeight, int32_t dstWidth, unsigned char* dst0,
                              unsigned char* dst1, unsigned char* dst2, unsigned char* dst3,
                              int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom,
                              int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom);
