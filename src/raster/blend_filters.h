// Per-sample blends of the raster core, the hue/saturation/lightness turn of
// RGB planes, the general kernel convolution with its pyramid blur, the
// directional emboss and the edge finder built on it, the edge-protected
// sharpen and median, the opacity copy between long buffers and the contrast
// table.
//
// Interleaved buffers hold `samples` bytes per pixel (1 for a char plane, 4
// for a long buffer, at most 9); sample c of pixel (x, y) lies at
// (y * width + x) * samples + c. Rectangles here are inclusive unless a
// function says otherwise.
#pragma once

#include <cstdint>
#include <functional>

// Blend modes 1..9 of the raster core on 8-bit samples (full scale 255) or
// tone samples (full scale 32640); mode 0 and modes above 9 write nothing.
void X_optionBlend(unsigned char* out, int16_t mode, int32_t a, int32_t b);
void X_optionBlend16(int32_t* out, int16_t mode, int32_t a, int32_t b);

// Turns hue by hueShift degrees, scales saturation by saturation percent and
// shifts lightness by lightness hundredths, in place over the inclusive
// rectangle. Return 0.
int32_t HSLBlendChar(unsigned char* red, unsigned char* green, unsigned char* blue, int32_t height,
                     int32_t width, int32_t left, int32_t top, int32_t right, int32_t bottom,
                     int16_t hueShift, int16_t saturation, int16_t lightness);
int32_t HSLBlendLong(uint32_t* buffer, int32_t height, int32_t width, int32_t left, int32_t top,
                     int32_t right, int32_t bottom, int16_t hueShift, int16_t saturation,
                     int16_t lightness);

// In-place convolution of the inclusive rectangle (note the order left,
// right, top, bottom) with a (2 * radius + 1)^2 kernel in row order; taps
// falling outside the rectangle repeat its border. `offsets` holds one value
// per sample added after the division. With a mask the result is mixed with
// the old sample by the mask value read at
// maskStepY * maskStepY * y * width + x * maskStepX.
// Returns 0, or -1 when work storage cannot be had.
int32_t ApplyMatrix(unsigned char* buffer, const unsigned char* mask, int32_t maskStepX,
                    int32_t maskStepY, int32_t width, int32_t height, int32_t left, int32_t right,
                    int32_t top, int32_t bottom, int32_t radius, int32_t samples,
                    const unsigned char* offsets, float divisor, const int32_t* kernel);

// One step down (2 x 2 mean) and one step up (copy and interpolate) of the
// pyramid, over inclusive rectangles of the destination; each mean truncated.
void DivideInHalf(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth, int32_t dstHeight,
                  int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t samples,
                  const unsigned char* src, unsigned char* dst);
void Double(int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
            int32_t bottom, int32_t samples, unsigned char* dst, const unsigned char* src);

// Pyramid blur of the whole buffer in place (the rectangle takes no part).
// Its halvings and doublings are those above with each mean rounded to the
// nearest (a tie below 127.5 to the odd value, from there to the even one);
// each 3 x 3 box pass divides its sum plus PyramidBoxOffset by 9, truncated,
// and mixes that through the mask rounded to the nearest. So the picture
// keeps its mean level at any radius, and the blur of a picture's negative is
// the negative of its blur.
// Returns 0, or -1 when a level cannot be allocated (buffer unchanged).
int32_t X_Blur_buffer(unsigned char* buffer, const unsigned char* mask, int32_t width,
                      int32_t height, int32_t left, int32_t top, int32_t right, int32_t bottom,
                      int32_t radius, int32_t samples);

// The offset, 0..8, that box pass `pass` of X_Blur_buffer (its passes counted
// from 0 over both levels) adds to a 3 x 3 sum (0..2295) before dividing it by
// 9: 4 (to the nearest) in the first four passes, then a hash of the sum and
// the pass, each offset as often as the others over the sums, 8 less the
// offset of 2295 - sum. It depends on nothing else, so a window of a picture
// blurs as the picture does.
int32_t PyramidBoxOffset(int32_t sum, int32_t pass);

// The blur of X_Blur_buffer of a one-sample plane, the plane left as it is: each blurred row
// y (0..height-1, `width` samples) goes to sink(y, row) instead, once, from the shared
// threads (rows of different bands at once). The row is scratch the sink may change; the
// plane is read before row y is handed on, never after, so the sink may write the plane's row y.
// Returns 0, or -1 when work memory cannot be had (then no row is handed on).
using BlurRowSink = std::function<void(int32_t y, unsigned char* row)>;
int32_t BlurPlaneRows(const unsigned char* plane, const unsigned char* mask, int32_t width,
                      int32_t height, int32_t radius, const BlurRowSink& sink);

// Directional emboss at `angle` degrees over the inclusive rectangle.
int32_t X_Emboss(unsigned char* buffer, const unsigned char* mask, int32_t height, int32_t width,
                 int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t radius,
                 int32_t samples, int32_t offset, int32_t angle, float divisor);

// Replaces the inclusive rectangle of a char plane by its edge strength,
// mapped through a contrast table (255 where there is no edge).
int32_t X_FindEdge(unsigned char* plane, const unsigned char* mask, int32_t height, int32_t width,
                   int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t opacity,
                   int32_t radius, int32_t contrast, int16_t unused);

// Sharpen and median of a char plane, optionally kept off the edges
// (edgeRadius 0 = no protection).
int32_t X_sharp_buffer(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                       int32_t top, int32_t right, int32_t bottom, int32_t percent,
                       int32_t passes, int32_t amount, int32_t edgeRadius);
int32_t X_medianedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t left,
                        int32_t top, int32_t right, int32_t bottom, int32_t passes,
                        int32_t edgeRadius);

// Nearest-sample copy of a source rectangle onto a destination rectangle of
// long buffers (right and bottom exclusive), mixed by opacity and written
// only inside the inclusive clip rectangle. Returns 0 or -1.
int32_t X_Opa_BufToBuf_andR(int32_t srcWidth, int32_t srcHeight, const uint32_t* src,
                            int32_t dstWidth, int32_t dstHeight, uint32_t* dst, int32_t srcLeft,
                            int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t dstLeft,
                            int32_t dstTop, int32_t dstRight, int32_t dstBottom, int32_t clipLeft,
                            int32_t clipTop, int32_t clipRight, int32_t clipBottom,
                            int32_t opacity);

// 256-entry contrast table; amount -255 (inversion) .. 255, 0 = identity.
void X_lutcontrast(int32_t* table, int32_t amount);
