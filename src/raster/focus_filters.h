// Focus corrections: deblurring by an exponential series of
// Laplacian-of-Gaussian passes, high-pass sharpening and blurring outside
// edges, on one 8-bit plane and channel by channel on 32-bit pixels or
// row-held planes, optionally steered by an edge map of a grey guide.
//
// The deblur builds its kernel with Filter: a sampled derivative of a
// Gaussian made from Hermite polynomials, convolved along rows or columns
// with single-precision fused multiply-adds.
#pragma once

#include <cstdint>

#include "raster/row_planes.h"

class Filter {
 public:
  Filter();
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;
  virtual ~Filter();

  // 1.0 when both are 0.0, else pow(base, exponent) in single precision.
  float herpow(float base, float exponent);
  // n!, 1 for n <= 0.
  int fac(int n);
  // The Hermite factor of the n-th derivative of exp(-x^2 / (2 sigma^2)):
  // 1 for n = 0, x / sigma^2 for n = 1, x^2 / sigma^4 - 1 / sigma^2 for n = 2.
  float hermitefunction(float x, float sigma, int n);
  // Builds a `size`-tap kernel of the order-th derivative of a normalised
  // Gaussian. 1, or 0 (filter unchanged) when size <= 2 or order < 0.
  int MakeDogFilter(int size, int order, float sigma);
  // Convolves along rows (direction 0) or columns (1) into a float plane;
  // samples whose window would reach the border are 0. With dst null the
  // 8-bit member writes gain * value + offset back into src (clamped; below
  // 1 gives 0, above 254 gives 255). 1, or 0 when memory or a kernel is
  // missing.
  int ConvCharBuf(unsigned char* src, float* dst, int32_t width, int32_t height, int direction,
                  float gain, int offset);
  int ConvCharBuf(float* src, float* dst, int32_t width, int32_t height, int direction);

  float* kernel = nullptr;  // owned; null until MakeDogFilter succeeds
  int32_t centre = 0;
  int32_t size = 0;
};

// In place over the inclusive rectangle: deblur by `orders` terms of the
// series of -(strength / 10) times the Laplacian of Gaussian, mixed by
// blend mode (mode + 1), opacity (0..255) and the optional mask.
// 0, or -1 when memory is short (plane unchanged). The strength is held to
// +-kDeBlurMaxStrength, where the largest coefficient still fits a float
// (beyond it the series overflowed into NaN), and the orders to
// kDeBlurMaxOrders: within that strength every later coefficient is 0.
inline constexpr int16_t kDeBlurMaxStrength = 634;
inline constexpr int16_t kDeBlurMaxOrders = 171;
int32_t DeBlur(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
               int32_t height, int32_t width, int32_t left, int32_t top, int32_t right,
               int32_t bottom, int16_t orders, int16_t strength);

// In place over the inclusive rectangle (width before height here): the
// high-pass of the plane against its pyramid blur, 128 where flat, mixed by
// blend mode (mode + 1), opacity and the mask (no mask: full opacity).
int32_t HighPass(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
                 int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                 int32_t bottom, int16_t blur, int16_t amount);

// Channel drivers on 32-bit pixels. mode 0 filters all four bytes, any other
// mode bytes 0..2 (byte 3 of dst is left). The rectangle (right and bottom
// exclusive) is clipped to the image. The guide is a grey picture of the
// image; its edge map goes into `scratch` (guideWidth x guideHeight) and is
// rescaled over 0, 0, outRight, outBottom of the image. The guide is always
// rescaled with the Lanczos filter: `resample`, the offsets and the scales
// are accepted for the callers' sake and play no part. Results 0, or -1
// when memory is short or a needed plane is missing (dst unchanged).
//
// X_DeBlur_buffer: opacity 0..255; edge map (radius 11 - edgeLevel) only
// when edgeLevel > 0.
int32_t X_DeBlur_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                        uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                        const unsigned char* guide, unsigned char* scratch, int32_t outBottom,
                        int32_t outRight, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, int16_t resample, int32_t offsetX, int32_t offsetY,
                        float scaleX, float scaleY, int16_t opacity, int16_t orders,
                        int16_t strength, int16_t edgeLevel);
// Opacity in percent; edge map (radius edgeLevel) only when edgeLevel > 0.
int32_t X_HighSharp_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                           uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                           const unsigned char* guide, unsigned char* scratch, int32_t outBottom,
                           int32_t outRight, int32_t left, int32_t top, int32_t right,
                           int32_t bottom, int16_t resample, int32_t offsetX, int32_t offsetY,
                           float scaleX, float scaleY, int16_t opacity, int16_t blur,
                           int16_t amount, int16_t edgeLevel);
// Opacity and lift in percent; always with an edge map of radius edgeRadius;
// sharpen 0 = no sharpening afterwards.
int32_t X_bluroutedge_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                             uint32_t* dst, int32_t guideHeight, int32_t guideWidth,
                             const unsigned char* guide, unsigned char* scratch,
                             int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                             int32_t right, int32_t bottom, int16_t resample, int32_t offsetX,
                             int32_t offsetY, float scaleX, float scaleY, int16_t opacity,
                             int16_t edgeRadius, int16_t blur, int16_t lift, int16_t sharpen);

// The same on row-held 8-bit planes, in place: mode 0 planes 0..3, any
// other mode planes 0..2.
int32_t X_DeBlur_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           unsigned char* scratch, int32_t outBottom, int32_t outRight,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int16_t opacity, int16_t orders, int16_t strength, int16_t edgeLevel);
int32_t X_HighSharp_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                              int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                              unsigned char* scratch, int32_t outBottom, int32_t outRight,
                              int32_t left, int32_t top, int32_t right, int32_t bottom,
                              int16_t opacity, int16_t blur, int16_t amount, int16_t edgeLevel);
int32_t X_bluroutedge_reabuffer(int16_t mode, int32_t height, int32_t width, RowPlanes planes,
                                int32_t guideHeight, int32_t guideWidth,
                                const unsigned char* guide, unsigned char* scratch,
                                int32_t outBottom, int32_t outRight, int32_t left, int32_t top,
                                int32_t right, int32_t bottom, int16_t opacity,
                                int16_t edgeRadius, int16_t blur, int16_t lift, int16_t sharpen);
