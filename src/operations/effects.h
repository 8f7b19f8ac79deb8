// The image operations: one static class, used as a namespace, whose members
// work on 8-bit sample buffers that the caller owns.
//
// How this header is arranged: the class is declared here once, in topic
// sections; each section is implemented in its own .cpp file of this folder
// (named in the section's heading). A new family of operations adds a
// section at the end of the class and a .cpp of its own. The helpers that
// every operation shares (region clamp, per-sample blend, work buffers) are
// in operations/effect_support.h.
//
// Conventions of every member unless its comment says otherwise:
// - A plane is width x height samples, rows contiguous: (x, y) at
//   y * width + x. An interleaved buffer holds `channels` samples a pixel:
//   sample k of (x, y) at (y * width + x) * channels + k.
// - Buffer sizes come height first, then width.
// - Regions x0, y0, x1, y1 are INCLUSIVE. Each bound is clamped on its own
//   side (x0, y0 up to 0; x1, y1 down to width - 1, height - 1); a region
//   left empty by that processes nothing and still succeeds.
// - Blend mode 0..11 is passed on as mode + 1 to X_optionRPart; opacity is
//   0..255. The mask (null for none where an operation allows it) is one
//   8-bit plane of the target's size, indexed y * width + x whatever the
//   channel count; the weight of a sample is opacity, or
//   mask * opacity / 255, and the sample becomes
//   ((255 - weight) * old + weight * combined) / 255.
// - Every division truncates toward zero; floats are truncated.
// - Work memory comes from the session's memory manager and goes back
//   before the call returns. Results: 0 for success, -1 when work memory
//   cannot be had or an argument is refused (the buffers then unchanged).
#pragma once

#include <cstdint>

struct coords;  // operations/outline_tracing.h

class Effects {
 public:
  Effects() = delete;

  // ---- Region mapping and two-layer arithmetic (two_layer_ops.cpp) ----

  // Fills one source column per target column and one source row per target
  // row of the clamped regions, the first onto the first and the last onto
  // the last. -1, nothing written, when either clamped region has fewer
  // than two columns or rows, or the source region reaches past 32767 (the
  // tables' entries are 16-bit).
  static int32_t GetOffset(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight,
                           int32_t dstWidth, int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1,
                           int32_t tx0, int32_t ty0, int32_t tx1, int32_t ty1, int16_t* columns,
                           int16_t* rows);

  // The source layer's region mapped onto the target's region. Replace
  // works on planes (red, green, blue), the others on interleaved buffers
  // whose target channels all take the first sample of the mapped source
  // pixel. The amount mixes: Add old + amount * s / 255, Subtract
  // old - amount * s / 255, Difference |old - amount * s / 255|, Multiply
  // old * s / 255 (no amount), Replace mixes the kernel's result into the
  // old sample by amount / 255. A null mask is full strength. -1, target
  // unchanged, when the regions cannot be mapped or the tables cannot be had.
  static int32_t Replace(int16_t mode, int16_t opacity, const unsigned char* srcRed,
                         const unsigned char* srcGreen, const unsigned char* srcBlue,
                         int32_t srcHeight, int32_t srcWidth, unsigned char* dstRed,
                         unsigned char* dstGreen, unsigned char* dstBlue, int32_t dstHeight,
                         int32_t dstWidth, int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1,
                         int32_t tx0, int32_t ty0, int32_t tx1, int32_t ty1, int16_t srcChannels,
                         int16_t dstChannels, const unsigned char* mask, int16_t amount);
  static int32_t Add(int16_t mode, int16_t opacity, const unsigned char* src, int32_t srcHeight,
                     int32_t srcWidth, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                     int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0,
                     int32_t tx1, int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                     const unsigned char* mask, int16_t amount);
  static int32_t Subtract(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask, int16_t amount);
  static int32_t Difference(int16_t mode, int16_t opacity, const unsigned char* src,
                            int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                            int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                            int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                            int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                            const unsigned char* mask, int16_t amount);
  static int32_t Multiply(int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                          int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                          int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                          int32_t ty1, int16_t srcChannels, int16_t dstChannels,
                          const unsigned char* mask);

  // ---- Look-up tables, contrast and channel levels (tone_tables.cpp) ----

  // A table set is rows of 256 bytes, one after the other: row k maps
  // channel k of an interleaved pixel.

  // Every channel of the region through its table row, then blended.
  static int32_t Etch(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t channels, const unsigned char* mask, const unsigned char* tables);
  // Row 0 of `tables`: contrast below 0 flattens toward mid-grey (the
  // brightness is then not used); from 0 up a ramp from black at
  // contrast - brightness to white at 255 - contrast - brightness. Invert 1
  // turns the table over. Brightness is held to -255..255.
  static int32_t CreaLut(unsigned char* tables, int16_t contrast, int16_t brightness,
                         int16_t invert);
  // CreaLut and Etch with that table on every channel.
  static int32_t AdjContrast(int16_t mode, int16_t opacity, unsigned char* buffer,
                             int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                             int32_t y1, int16_t channels, const unsigned char* mask,
                             int16_t contrast, int16_t brightness, int16_t invert);
  // Brightness in percent of 255 added to one plane, then the contrast
  // (when not 0) through the mask alone.
  static int32_t AdjustChan(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                            unsigned char* plane, const unsigned char* mask, int32_t x0,
                            int32_t y0, int32_t x1, int32_t y1, int32_t brightness,
                            int32_t contrast);
  // Per-channel brightness shifts in percent and one contrast, weighted by
  // the tonal range: 0 all tones, 1 highlights, 2 mid-tones, 3 shadows. Any
  // other range, or work planes that cannot be had, change nothing.
  static void AdjustRGBChan(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                            unsigned char* red, unsigned char* green, unsigned char* blue,
                            const unsigned char* mask, int32_t x0, int32_t y0, int32_t x1,
                            int32_t y1, int32_t shiftRed, int32_t shiftGreen, int32_t shiftBlue,
                            int32_t contrast, int32_t range);

  // ---- Fills, colour ranges, frames, bars and colour ramps (colour_fills.cpp) ----

  // A ramp table is five rows of 256 bytes: row 0 the opacity, rows 1 to 4
  // the channel values (red, green, blue and a fourth, black for CMYK).
  // The axis of bars and ramps runs from the region's top-left corner to
  // its top-right corner, both turned by `angle` degrees about the
  // region's centre.

  // Mixes colour[ch] into each channel by *strength / 255, then blends.
  static int32_t Fill(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t channels, const unsigned char* mask, const unsigned char* colour,
                      const int16_t* strength);
  // Recolours, with `newColour`, the pixels of the source whose hue,
  // saturation and value lie within `tolerance` of `refColour`'s. One-channel
  // planes use only their red pointer.
  static int32_t ColorRange(int16_t mode, int16_t opacity, int16_t srcChannels,
                            const unsigned char* srcRed, const unsigned char* srcGreen,
                            const unsigned char* srcBlue, int32_t height, int32_t width,
                            int16_t dstChannels, unsigned char* dstRed, unsigned char* dstGreen,
                            unsigned char* dstBlue, int32_t unused1, int32_t unused2, int32_t x0,
                            int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                            int32_t tolerance, const unsigned char* newColour,
                            const unsigned char* refColour);
  // Shrinks the region's picture into an inner rectangle (percent of the
  // region's half sizes) and paints the band up to the outer rectangle in
  // the colour through the mask (null: full strength).
  static int32_t ColorFrame(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                            int32_t y0, int32_t x1, int32_t y1, const unsigned char* mask,
                            const unsigned char* colour, int32_t innerWidth,
                            int32_t innerHeight, int32_t outerX, int32_t outerY);
  // Stripes: the axis is cut into `period` stripes, stripe k painted with
  // colours[pattern[k]] (pattern values of 16 or more leave it alone).
  static int32_t ColorBar(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int32_t period,
                          const unsigned char* pattern, const unsigned char* colours,
                          int16_t angle);
  // The ramp's channel row (channel 0..3), repeated `repeat` times along
  // the axis, laid over the plane by the ramp's opacity.
  static int32_t ColorWavePlane(unsigned char* plane, int32_t height, int32_t width, int32_t x0,
                                int32_t y0, int32_t x1, int32_t y1, int16_t channel,
                                const unsigned char* ramp, int16_t angle, int16_t repeat);
  // The ramp laid over up to four planes (red, green, blue, black; rgb 0
  // converts the ramp to cyan, magenta, yellow, black first), then blended.
  // The offset shifts the ramp, its part beyond 255 running back down.
  static int32_t ColorWave(int16_t mode, int16_t opacity, unsigned char* red,
                           unsigned char* green, unsigned char* blue, unsigned char* black,
                           int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                           int32_t y1, int16_t rgb, int16_t channels, const unsigned char* mask,
                           const unsigned char* ramp, int16_t offset, int16_t angle);
  // Interleaved form; kind 1 runs the ramp left to right across the region
  // whatever the angle. -1 for a zero width or height.
  static int32_t ColorWave(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t rgb, int16_t channels, const unsigned char* mask,
                           const unsigned char* ramp, int16_t offset, int16_t angle,
                           int16_t kind);
  // One ramp row (channel 0..3) straight through the kernel, without the
  // ramp's opacity. -1 for a zero width or height.
  static int32_t ColorWaveChan(int16_t mode, int16_t opacity, unsigned char* plane,
                               int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                               int32_t y1, int16_t channel, const unsigned char* mask,
                               const unsigned char* ramp, int16_t offset, int16_t angle,
                               int16_t kind);

  // ---- Buffer swap file (swap_file.cpp) ----

  // The swap file of a slot: "pspBuf<slot>.lst" in the maker's folder.
  // Mode 0 writes one plane (channels 1) or three, 1 reads them back,
  // 2 deletes the slot's file, 3 the files of slots 0 to 64; other modes do
  // nothing. A read of a missing file is 0 with the planes untouched; a file
  // that cannot be written, opened or read, or whose size is not that of
  // the planes, gives -1.
  static int32_t BufFile(int16_t mode, int16_t slot, unsigned char* plane1,
                         unsigned char* plane2, unsigned char* plane3, int32_t height,
                         int32_t width, int32_t channels);
  // The script's save (fileMode 0) and recall (1) step: the region of the
  // planes through the slot's file, then blended back over the region. A
  // save whose slot cannot be written (or kept) gives -1 with the planes as
  // they were; a recall of a slot that holds nothing, or planes of another
  // size, blends the region with itself.
  static int32_t SaveRecallBuf(int16_t mode, int16_t opacity, unsigned char* red,
                               unsigned char* green, unsigned char* blue, int32_t height,
                               int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               const unsigned char* mask, int16_t channels, int16_t fileMode,
                               int16_t slot);

  // ---- Matrix filter, pyramid blur and sharpening (pyramid_filters.cpp) ----

  // These take the WIDTH BEFORE THE HEIGHT (DeBlur excepted), as the raster
  // core does.

  // Square (2 * radius + 1)^2 kernel in row order, zero weights skipped;
  // taps beyond the region repeat its border samples. Region order x0, x1,
  // y0, y1. value = sum / divisor + bias[channel], truncated and held to
  // 0..255. Without a mask the value is stored as it is (mode and opacity
  // play no part); with one the mask sample at
  // scaleY^2 * y * width + scaleX * x weighs it in.
  static int32_t ApplyMatrix(int16_t mode, int16_t opacity, unsigned char* buffer,
                             const unsigned char* mask, int16_t maskScaleX, int16_t maskScaleY,
                             int32_t width, int32_t height, int32_t x0, int32_t x1, int32_t y0,
                             int32_t y1, int16_t radius, int16_t channels,
                             const unsigned char* bias, float divisor, const int32_t* kernel);
  // Pyramid blur: one or two halvings, (radius / 4 + 1) * (radius % 4 + 1)
  // box passes at low resolution, enlarged back. The whole plane is blurred
  // (an odd last row excepted); the region bounds only the final mix with
  // the unblurred plane, which is made when a mask is given or the opacity
  // is below 255. The radius is held to 0..199. Unlike the rest, the
  // pyramid's own steps round their quotients (X_Blur_buffer), so that the
  // picture keeps its brightness over the many passes of a large radius.
  static int32_t Blur(int16_t mode, int16_t opacity, unsigned char* plane,
                      const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t channels);
  // The pyramid's two steps: a 2 x 2 mean into the target's region, and the
  // enlargement of a half-size level into the target's region (each mean
  // truncated, as on their own they always have been).
  static void DivideInHalf(int32_t srcWidth, int32_t srcHeight, int32_t dstWidth,
                           int32_t unused, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t channels, const unsigned char* src, unsigned char* dst);
  static void Double(int32_t width, int32_t unused, int32_t x0, int32_t y0, int32_t x1,
                     int32_t y1, int16_t channels, unsigned char* dst, const unsigned char* src);
  // old - (blurred - old) * amount / 100 where |blurred - old| > threshold.
  static int32_t UnSharpMask(int16_t mode, int16_t opacity, unsigned char* plane,
                             const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                             int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t amount,
                             int16_t threshold);
  // 128 - (blurred - old) * gain / 200: mid-grey where the plane is flat.
  static int32_t HighPass(int16_t mode, int16_t opacity, unsigned char* plane,
                          const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t radius, int16_t gain);
  // The raster core's 3 x 3 sharpening matrix of level strength * 10.
  // Strength 0 leaves the plane as it is.
  static int32_t Sharpen(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t width, int32_t height, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int16_t strength);
  // Height first. Inverse diffusion: `order` terms of the series of
  // -(strength / 10) times the Laplacian of Gaussian. No mask is full
  // strength.
  static int32_t DeBlur(int16_t mode, int16_t opacity, unsigned char* plane,
                        const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t order, int16_t strength);
  // The binomial row of order n into out[0..n] (out[0] alone for n <= 0).
  static void GaussianMatrix(int32_t* out, int16_t n);

  // ---- Radial and motion blur (streak_blurs.cpp) ----

  // Channel count 1 works on `red` alone, any other count on all three.
  // Samples are read from a copy of the region and count only strictly
  // inside it, so border pixels average nothing and receive 0. -1, nothing
  // changed, for a count (length) of 0 or work planes that cannot be had.

  // Zoom (kind 0) along the ray from the centre, or spin (kind 1) along
  // the circle about it, one sample a pixel or a degree; samples
  // -(count / 2) .. count / 2 - 1; a count of 1 takes the pixel itself (on
  // the border lines too), so it leaves the picture as it is. The centre is
  // in percent of the region's extent, measured from the buffer's origin. A
  // spin takes at most one turn: counts above 360 take 360 samples.
  static int32_t RadialBlur(int16_t mode, int16_t opacity, unsigned char* red,
                            unsigned char* green, unsigned char* blue, int32_t height,
                            int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const unsigned char* mask, int16_t channels, int16_t count,
                            int16_t centreX, int16_t centreY, int16_t kind);
  // A one-sided streak of `length` samples from the pixel along `angle`
  // degrees.
  static int32_t MotionBlur(int16_t mode, int16_t opacity, unsigned char* red,
                            unsigned char* green, unsigned char* blue, int32_t height,
                            int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                            const unsigned char* mask, int16_t channels, int16_t length,
                            int16_t angle);

  // ---- Circular, diamond and angular gradients (colour_gradients.cpp) ----

  // The ramp table's row `colourRow` painted by distance from the centre
  // (kind 1 circle, 2 diamond) or by position along the region's border
  // (kind 0 angular), weighted by the ramp's opacity row (row 0), by the
  // fade (percent of the radius over which the opacity falls away; 0 paints
  // nothing, 100 the plain opacity) and by the mask. The dither brightens
  // circle and diamond by up to `dither`, the same on every call. The shift
  // turns the ramp, cycling over entries 1..255. The table has five rows:
  // -1, nothing changed, for a colour row outside 0..4.
  static int32_t ColorCirc(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t colourRow, const unsigned char* mask,
                           const unsigned char* tables, int16_t shift, int16_t centreX,
                           int16_t centreY, int16_t fade, int16_t kind, int16_t dither);

  // ---- Hue, saturation and lightness shift (hsl_shift.cpp) ----

  // Hue turned by `hueShift` degrees, saturation scaled by `saturation`
  // percent, lightness moved by `lightness` hundredths. Colour model 0 takes
  // the channels as y, m, c; any other as r, g, b. The fourth plane and
  // byte 3 of a pixel are not touched.
  static int32_t HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          unsigned char* plane0, unsigned char* plane1, unsigned char* plane2,
                          unsigned char* plane3, const unsigned char* mask, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t hueShift,
                          int16_t saturation, int16_t lightness, int16_t model);
  static int32_t HSLBlend(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                          uint32_t* pixels, const unsigned char* mask, int32_t x0, int32_t y0,
                          int32_t x1, int32_t y1, int16_t hueShift, int16_t saturation,
                          int16_t lightness, int16_t model);

  // ---- Noise, wind, film grain and denoise (grain_ops.cpp) ----

  // Kind 0 uniform noise; 1 and 3 random grey rectangles (3 larger), 2 and
  // 4 the same inverted; the sizes scale the rectangles. The noise is
  // blurred by `blurRadius`, mapped through the contrast table (a positive
  // brightness darkens) and blended in. Seeded: the same seed, the same
  // noise.
  static int32_t Noise(int16_t mode, int16_t opacity, int16_t kind, unsigned char* plane,
                       const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1, float sizeX, float sizeY,
                       int16_t blurRadius, int16_t contrast, int16_t brightness, int16_t seed);
  // Drags every pixel into a streak of up to `length` samples along
  // `angle`; `randomness` (0..10) shortens streaks at random. Seeded from
  // the clock, so each run differs. -1, nothing changed, when the work
  // plane cannot be had.
  static int32_t Wind(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      const unsigned char* mask, int16_t length, int16_t angle,
                      int16_t randomness);
  // Grain weighted by the pixel's lightness (highlights, mid-tones,
  // shadows); `colourShare` percent of it independent per channel, the
  // rest common to the three. Seeded. -1, nothing changed, when the work
  // planes cannot be had.
  static int32_t FilmGrain(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                           unsigned char* red, unsigned char* green, unsigned char* blue,
                           int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           const unsigned char* mask, int16_t amount, int16_t highlights,
                           int16_t midtones, int16_t shadows, int16_t colourShare, int16_t seed);
  // `passes` rounds of edge-preserving smoothing of the whole plane, blended
  // in over the region.
  static int32_t DeNoise(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int16_t passes, int16_t spatial,
                         int16_t threshold);

  // ---- Wave distortion (wave_distortion.cpp) ----

  // Columns shifted vertically by waves along x, rows horizontally by waves
  // along y (shape 0 sine, 1 triangle, 2 square; amplitudes in percent of
  // the region's other extent); positions leaving the region wrap back into
  // it with a period one row (column) short of its extent.
  static int32_t SinusWave(int16_t mode, int16_t opacity, unsigned char* plane,
                           const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                           int32_t y0, int32_t x1, int32_t y1, int16_t shape, int16_t wavesX,
                           int16_t amplitudeX, int16_t wavesY, int16_t amplitudeY);

  // ---- Posterize and despeckle (posterize_despeckle.cpp) ----

  // The region reduced to `colours` colours (1..256) by Wu's quantiser,
  // whose palette comes from the whole image. With channels 1 the three
  // plane pointers may all be the one plane; only the first is rewritten
  // unless channels is 3. -1, planes untouched, when work memory cannot be
  // had.
  static int32_t PosterizeWU(int16_t mode, int16_t opacity, int16_t channels, int32_t height,
                             int32_t width, unsigned char* red, unsigned char* green,
                             unsigned char* blue, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             const unsigned char* mask, int16_t colours);
  // Despeckles a copy of the whole plane `red` (level 1..20, tightness
  // 0..100 in percent of the strongest) and blends it in over the region.
  // Only channels 1 does anything. -1, plane untouched, when the work
  // plane cannot be had or despeckling refuses the level or tightness.
  static int32_t Despeckle(int16_t mode, int16_t opacity, int16_t channels, unsigned char* red,
                           unsigned char* green, unsigned char* blue, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           const unsigned char* mask, int16_t level, int16_t tightness);

  // ---- Emboss, edges, skeleton and contour lines (edge_filters.cpp) ----

  // Relief: value = (s(x + dx, y - dy) - s(x - dx, y + dy)) / divisor +
  // bias, the offset on the border of the (2 * depth + 1)^2 square nearest
  // the angle (0 along +x, 90 along -y; ties keep the earlier offset),
  // through ApplyMatrix. Depth 0 is a single weight of -1: bias - s /
  // divisor. -1, buffer unchanged, for a depth outside 0..1000, a channel
  // count outside 1..9 or a kernel that cannot be had.
  static int32_t Emboss(int16_t mode, int16_t opacity, unsigned char* buffer,
                        const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t depth, int16_t channels,
                        int16_t bias, int16_t angle, int16_t divisor);
  // The strongest of the four embossed directions of the region, through a
  // contrast table (edges dark on white), blended in by strength (0..255)
  // and opacity. Contrasts below -128 count as -128.
  static int32_t FindEdge(int16_t mode, int16_t opacity, unsigned char* plane,
                          const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int32_t strength, int16_t depth,
                          int16_t contrast);
  // WIDTH FIRST. Sharpening by the raster core's matrix of `level`, passes
  // times at weight percent; with an edge depth only the edges take the
  // sharpened samples (rows y0 <= y < y1). -1, plane unchanged, when the
  // work copies cannot be had.
  static int32_t X_sharpedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t x0,
                                int32_t y0, int32_t x1, int32_t y1, int16_t weight,
                                int16_t passes, int16_t level, int16_t edgeDepth);
  // Threshold at 128 (of the mean of three planes with channels 3), edges
  // with edge flag 1, thinned to one-pixel lines, blended into the one or
  // three planes. -1, planes unchanged, for another channel count or when
  // work memory cannot be had.
  static int32_t Skeleton(int16_t mode, int16_t opacity, int16_t channels, unsigned char* red,
                          unsigned char* green, unsigned char* blue, int32_t height,
                          int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          const unsigned char* mask, int16_t edge);
  // Contour lines of the source at `count` levels (at most 130) drawn in
  // the colour into the target's one or three planes. -1, planes
  // unchanged, when tracing stops or work memory cannot be had.
  static int32_t GeoLevels(int16_t mode, int16_t opacity, int16_t channels,
                           const unsigned char* source, int32_t srcHeight, int32_t srcWidth,
                           unsigned char* red, unsigned char* green, unsigned char* blue,
                           int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                           int32_t y1, const unsigned char* mask, int16_t count,
                           const unsigned char* colour);

  // ---- Maximum, minimum and median (rank_filters.cpp) ----

  // Windows are clipped to the REGION: the maximum and minimum windows
  // shrink symmetrically near its border (at a corner to the pixel alone);
  // the median's coordinates are clamped to it, each clamped sample counted
  // as often as the window names it. Negative radii and passes count as 0.

  // Grey dilation (erosion) over a (2 * rx + 1) x (2 * ry + 1) window of an
  // interleaved buffer of `channels` samples a pixel.
  static int32_t Maxima(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radiusX, int16_t radiusY, int16_t channels,
                        const unsigned char* mask);
  static int32_t Minima(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radiusX, int16_t radiusY, int16_t channels,
                        const unsigned char* mask);
  // The median of the (2 * radius + 1)^2 window, `passes` times.
  static int32_t Median(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t radius, int16_t passes, const unsigned char* mask);
  // WIDTH FIRST. The raster core's 3 x 3 median; with an edge depth the
  // edges keep their samples and flat areas take the median (rows
  // y0 <= y < y1). -1, plane unchanged, when the work copies cannot be had.
  static int32_t X_medianedg_buf(int32_t width, int32_t height, unsigned char* plane, int32_t x0,
                                 int32_t y0, int32_t x1, int32_t y1, int16_t setting,
                                 int16_t edgeDepth);

  // ---- Luminance ramps, shadows and outlines (luminance_ramps.cpp) ----

  // Source regions map onto target regions as GetOffset maps them; the mask
  // is the target's. Colour model 0 paints inks (yellow, magenta, cyan,
  // black) converted from the ramp. Shifts are held to 0..255. -1, target
  // unchanged, when the regions cannot be mapped (a single row or column),
  // a plane the counts need is null or work memory cannot be had.

  // The grey of each mapped source pixel picks a ramp entry (shift s:
  // s + grey, less 255 past 255), laid over the target by the ramp's
  // opacity times strength / 255. Up to four planes each side.
  static int32_t LutToColor(int16_t mode, int16_t opacity, const unsigned char* src0,
                            const unsigned char* src1, const unsigned char* src2,
                            const unsigned char* src3, int32_t srcHeight, int32_t srcWidth,
                            unsigned char* dst0, unsigned char* dst1, unsigned char* dst2,
                            unsigned char* dst3, int32_t dstHeight, int32_t dstWidth,
                            int32_t sx0, int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0,
                            int32_t ty0, int32_t tx1, int32_t ty1, int16_t colourModel,
                            int16_t srcChannels, int16_t dstChannels, const unsigned char* mask,
                            const unsigned char* table, int16_t shift, int16_t strength);
  // Interleaved form: grey - s from s on, the grey itself below s. A
  // one-channel target takes the mean of rows 1 to 3 (choice 0) or row
  // `choice` (1..4).
  static int32_t LutToColor(int16_t mode, int16_t opacity, const unsigned char* src,
                            int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                            int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                            int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                            int32_t ty1, int16_t colourModel, int16_t srcChannels,
                            int16_t dstChannels, int16_t choice, const unsigned char* mask,
                            const unsigned char* table, int16_t shift, int16_t strength);
  // The source's grey moved by (offsetX, -offsetY), wrapped around the
  // source region, blurred and painted through LutToColor.
  static int32_t Shadow(int16_t mode, int16_t opacity, const unsigned char* src0,
                        const unsigned char* src1, const unsigned char* src2,
                        const unsigned char* src3, int32_t srcHeight, int32_t srcWidth,
                        unsigned char* dst0, unsigned char* dst1, unsigned char* dst2,
                        unsigned char* dst3, int32_t dstHeight, int32_t dstWidth, int32_t sx0,
                        int32_t sy0, int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0,
                        int32_t tx1, int32_t ty1, int16_t colourModel, int16_t srcChannels,
                        int16_t dstChannels, const unsigned char* mask, int16_t blurRadius,
                        int16_t offsetX, int16_t offsetY, const unsigned char* table,
                        int16_t shift, int16_t strength);
  // Interleaved form: one byte a pixel is read from the source (its channel
  // counts are not), painted into a one-channel target.
  static int32_t Shadow(int16_t mode, int16_t opacity, const unsigned char* src,
                        int32_t srcHeight, int32_t srcWidth, unsigned char* dst,
                        int32_t dstHeight, int32_t dstWidth, int32_t sx0, int32_t sy0,
                        int32_t sx1, int32_t sy1, int32_t tx0, int32_t ty0, int32_t tx1,
                        int32_t ty1, int16_t colourModel, int16_t srcChannels,
                        int16_t dstChannels, const unsigned char* mask, int16_t blurRadius,
                        int16_t offsetX, int16_t offsetY, const unsigned char* table,
                        int16_t shift, int16_t strength);
  // The bright shapes (above 128) of a one-channel source grown (kind 1) or
  // shrunk (kind 0) by a disc of `radius`, painted in `colour`. The target
  // is addressed with the source's width and region; its own size and
  // region are not read. -1, nothing changed, for a source channel count
  // other than 1.
  static int32_t ContrExp(int16_t kind, int16_t mode, int16_t opacity, const unsigned char* src,
                          int32_t height, int32_t width, unsigned char* dst, int32_t dstHeight,
                          int32_t dstWidth, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                          int32_t tx0, int32_t ty0, int32_t tx1, int32_t ty1,
                          int16_t background, int16_t srcChannels, int16_t dstChannels,
                          int16_t radius, const unsigned char* mask, unsigned char colour,
                          int16_t strength);
  // The difference between the source and its dilation by `radius`,
  // painted in `colour`; addressed as ContrExp.
  static int32_t Outline(int16_t mode, int16_t opacity, const unsigned char* src, int32_t height,
                         int32_t width, unsigned char* dst, int32_t dstHeight, int32_t dstWidth,
                         int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t tx0,
                         int32_t ty0, int32_t tx1, int32_t ty1, int16_t srcChannels,
                         int16_t dstChannels, int16_t radius, const unsigned char* mask,
                         unsigned char colour, int16_t strength);

  // ---- Convolution detectors (convolution_detectors.cpp) ----

  // Fixed 3 x 3 responses of kinds 0..9 at (x, y) of a byte plane (layout
  // 1) or, for kind 5, of 32-bit words (layout 4). *result is 0 for other
  // kinds, and for a pixel on or outside the plane's border.
  static void Convolve_Pixel(int16_t layout, int32_t width, int32_t height, const void* source,
                             int32_t x, int32_t y, int16_t kind, int32_t* result);
  // WIDTH FIRST. The responses over the region into the map (row 0 and the
  // last row, column 0 and the last column take their inner neighbour's
  // response), mixed by percent with the map's values, through the contrast
  // table when the contrast is not 0; *maximum is raised to every value
  // written. -1 for null pointers.
  static int32_t Conv_Detect(int16_t layout, int32_t width, int32_t height, const void* source,
                             int32_t* map, int32_t* maximum, int16_t kind, int16_t mix,
                             int16_t contrast, int32_t x0, int32_t y0, int32_t x1, int32_t y1);
  // The response map of the planes' grey, stretched to 0..255, adjusted,
  // blurred and coloured through the ramp into one plane (layout 1) or
  // three.
  static int32_t Convolution(int16_t mode, int16_t opacity, int16_t layout, unsigned char* plane1,
                             unsigned char* plane2, unsigned char* plane3,
                             const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                             int32_t y0, int32_t x1, int32_t y1, const unsigned char* ramp,
                             int32_t kind, int32_t blurRadius, int32_t contrast,
                             int32_t brightness);
  // ---- Texture tiling, framing and placement (texture_placement.cpp) ----

  // The texture is tiled from the clamped region's corner: the pixel in
  // visited row k and column j takes texel (j mod tw, k mod th). The
  // interleaved form blends every target channel with the texel's first
  // byte; the 4-byte planar form r, g, b with bytes 0..2 and, when kFlag is
  // 0, plane k with byte 3; the grey form the mean of three texture planes.
  // A relief of 1..10 (more counts as 10) embosses the tiled texture at the
  // light angle, darkens the target with it and lays the texture over it in
  // blend mode 8. -1, nothing changed, for tw or th of 0 or less or a work
  // plane that cannot be had.
  static int32_t LoadTexture(int16_t mode, int16_t opacity, unsigned char* target,
                             const unsigned char* texture, int16_t targetChannels,
                             int16_t textureChannels, const unsigned char* mask, int32_t height,
                             int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             int32_t tw, int32_t th, int16_t lightAngle, int16_t relief);
  static int32_t LoadTexture(int16_t mode, int16_t opacity, unsigned char* red,
                             unsigned char* green, unsigned char* blue, unsigned char* black,
                             const unsigned char* texels, int16_t kFlag,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t tw,
                             int32_t th, int16_t lightAngle, int16_t relief);
  static int32_t LoadTexture(int16_t mode, int16_t opacity, unsigned char* target,
                             const unsigned char* textureRed, const unsigned char* textureGreen,
                             const unsigned char* textureBlue, const unsigned char* mask,
                             int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                             int32_t y1, int32_t tw, int32_t th);
  static int32_t LoadTexture(int16_t mode, int16_t opacity, unsigned char* red,
                             unsigned char* green, unsigned char* blue, unsigned char* black,
                             const unsigned char* textureRed, const unsigned char* textureGreen,
                             const unsigned char* textureBlue, const unsigned char* textureBlack,
                             int16_t kFlag, const unsigned char* mask, int32_t height,
                             int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             int32_t tw, int32_t th, int16_t lightAngle, int16_t relief);
  // The region shrunk into the picture rectangle inside a box (box and
  // margins in percent of the region's extent, measured from the buffer's
  // origin); the band outside the open box takes the tiled texture. A null
  // mask is full strength. -1, nothing changed, for tw or th of 0 or less or
  // a work plane that cannot be had.
  static int32_t LoadInFrame(unsigned char* plane, const unsigned char* texture,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int16_t mode, int32_t opacity, int32_t boxWidth, int32_t boxHeight,
                             int32_t marginX, int32_t marginY, int32_t x0, int32_t y0,
                             int32_t x1, int32_t y1, int32_t tw, int32_t th);
  // A colour stamped through an 8-bit stamp whose top-left lies at (left,
  // top); the parts of the stamp outside the planes are skipped.
  static int32_t PlaceBuf(int16_t mode, int16_t opacity, unsigned char* red,
                          unsigned char* green, unsigned char* blue, const unsigned char* mask,
                          int32_t height, int32_t width, const unsigned char* stamp,
                          int32_t stampHeight, int32_t stampWidth, int32_t left, int32_t top,
                          int16_t colourRed, int16_t colourGreen, int16_t colourBlue);
  // Changes nothing.
  static int32_t CropBuf(const unsigned char* srcRed, const unsigned char* srcGreen,
                         const unsigned char* srcBlue, int32_t height, int32_t width,
                         unsigned char* dstRed, unsigned char* dstGreen, unsigned char* dstBlue,
                         int32_t x0, int32_t y0, int32_t x1, int32_t y1);

  // ---- Geometric and displacement operations (geometric_ops.cpp) ----

  // The moved picture is built in work memory and blended back over the
  // region. Positions that leave the region wrap back into it as often as
  // needed; Offset and Kaleido wrap with a period one row (column) short of
  // the region's extent, so one edge row (column) stands in for the other.

  // Turns each sample about the centre (percent of the region's extent from
  // the buffer's origin) by an angle growing toward the centre.
  static int32_t Twirl(int16_t mode, int16_t opacity, unsigned char* plane,
                       const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                       int32_t y0, int32_t x1, int32_t y1, int32_t angle, int32_t centreX,
                       int32_t centreY);
  // The shifted region folded into a wedge, mirrored into four quarters,
  // shrunk into a tile and tiled over the region. -1, nothing changed, for
  // tiles of no size or work memory that cannot be had.
  static int32_t Kaleido(int16_t mode, int16_t opacity, unsigned char* plane,
                         const unsigned char* mask, int32_t height, int32_t width, int32_t x0,
                         int32_t y0, int32_t x1, int32_t y1, int32_t tileWidth,
                         int32_t tileHeight, int16_t shiftX, int16_t shiftY);
  // Rolls the region's pixels right by shiftX and up by shiftY; no blend.
  static int32_t Offset(unsigned char* buffer, int32_t height, int32_t width, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t shiftX, int16_t shiftY,
                        int16_t bytesPerPixel);
  static int32_t Flip(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t horizontal, int16_t vertical, int16_t unused1, int16_t unused2,
                      const unsigned char* mask);
  // Kinds 0..3 mirror one half onto the other (0 left onto right, 1 right
  // onto left, 2 top onto bottom, 3 bottom onto top); 4..7 fold along a
  // diagonal and need a region of two columns and two rows at least (-1,
  // nothing changed, otherwise); other kinds copy.
  static int32_t Mirror(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t kind, int16_t unused, const unsigned char* mask);
  // Blocks of blockWidth x blockHeight take their top-left sample. -1,
  // nothing changed, for blocks smaller than 1.
  static int32_t Mosaic(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                        int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        const unsigned char* mask, int16_t blockWidth, int16_t blockHeight);
  // Every other row rebuilt from its neighbours (method 0 duplicates, 1
  // interpolates; field 0 rebuilds rows y0, y0 + 2, ..., field 1 the rows
  // after them).
  static int32_t DeInterlace(int16_t mode, int16_t opacity, unsigned char* plane,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t field,
                             int32_t method);
  // Each pixel moved by (neutral - map) x amount / 100 where that stays in
  // the region. The XY form reads its two maps tiled over the region; -1,
  // nothing changed, for maps of no size.
  static int32_t Displace(int16_t mode, int16_t opacity, unsigned char* buffer,
                          const unsigned char* map, int32_t height, int32_t width, int32_t x0,
                          int32_t y0, int32_t x1, int32_t y1, int16_t bytesPerPixel,
                          const unsigned char* mask, int16_t horizontal, int16_t vertical,
                          int16_t neutral);
  static int32_t DisplaceXY(int16_t mode, int16_t opacity, unsigned char* buffer,
                            const unsigned char* mapX, const unsigned char* mapY,
                            int32_t mapWidth, int32_t mapHeight, const unsigned char* mask,
                            int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                            int32_t y1, int16_t bytesPerPixel, int16_t horizontal,
                            int16_t vertical, int16_t neutral);
  // The region (half-open here: x1 and y1 are not part of it) turned by
  // `angle` degrees and scaled in percent into its bounding box, centred on
  // the region; what the box leaves uncovered takes the fill value; then
  // rolled by the shift and blended over itself.
  static int32_t Transform(int16_t mode, int16_t opacity, unsigned char* plane, int32_t height,
                           int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                           int16_t shiftX, int16_t shiftY, int16_t scaleX, int16_t scaleY,
                           int16_t angle, int16_t fill, int16_t unused,
                           const unsigned char* mask);
  // Transform of `count` (1 to 4) planes of one size with the same arguments, each plane's
  // bytes those of its own call: the box's positions are solved once for all of them.
  static int32_t TransformPlanes(int16_t mode, int16_t opacity, unsigned char* const* planes,
                                 int32_t count, int32_t height, int32_t width, int32_t x0,
                                 int32_t y0, int32_t x1, int32_t y1, int16_t shiftX,
                                 int16_t shiftY, int16_t scaleX, int16_t scaleY, int16_t angle,
                                 int16_t fill, const unsigned char* mask);

  // ---- Fog, generators, colour selection and channel mixing
  //      (fog_generators.cpp, channel_mixing.cpp) ----

  // Brightens by s4 where the fog is dense. Fog kind 0 draws fresh noise
  // into a plane of its own, 1 draws it into `fog`, 2 takes `fog` as it is.
  // -1, nothing changed, for other kinds or memory that cannot be had.
  static int32_t Foggy(int16_t mode, int16_t opacity, int16_t kind, unsigned char* plane,
                       const unsigned char* mask, unsigned char* fog, int32_t height,
                       int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                       float sizeX, float sizeY, int16_t s1, int16_t s2, int16_t s3, int16_t s4,
                       int16_t s5);
  // A seeded plasma, adjusted, blurred and coloured through the ramp onto
  // one interleaved target (layout 1) or three planes.
  static int32_t FractPlasma(int16_t mode, int16_t opacity, int16_t layout, unsigned char* first,
                             unsigned char* second, unsigned char* third,
                             const unsigned char* mask, int32_t height, int32_t width,
                             int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                             const unsigned char* ramp, int32_t seed, int32_t blurRadius,
                             int32_t contrast, int32_t brightness);
  // A diffusion-limited aggregation grown from one of nine seed positions
  // (kind 0..8: x at 25, 50, 75 % by kind / 3, y by kind % 3). -1, nothing
  // changed, for other kinds or memory that cannot be had.
  static int32_t DiffusAggreg(int16_t mode, int16_t opacity, unsigned char* plane,
                              const unsigned char* mask, int32_t height, int32_t width,
                              int32_t x0, int32_t y0, int32_t x1, int32_t y1, int16_t colourRow,
                              const unsigned char* ramp, int32_t seed, int32_t walkers,
                              int32_t unused, int32_t passes, int32_t position);
  // Paints the target colour where the source is near the reference colour
  // in hue, saturation and value (tolerance t on each).
  static int32_t SelCol(int16_t mode, int16_t opacity, const unsigned char* srcRed,
                        const unsigned char* srcGreen, const unsigned char* srcBlue,
                        int32_t srcHeight, int32_t srcWidth, unsigned char* dstRed,
                        unsigned char* dstGreen, unsigned char* dstBlue, int32_t dstHeight,
                        int32_t dstWidth, int32_t unused1, int32_t unused2, int32_t unused3,
                        int32_t unused4, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int16_t srcChannels, int16_t dstChannels, const unsigned char* mask,
                        int16_t tolerance, const unsigned char* reference,
                        const unsigned char* colour);
  // Channel i (flag bits 4 red, 2 green, 1 blue) becomes
  // (r Wr[i] + g Wg[i] + b Wb[i]) / 100 + offset[i], clamped; unflagged
  // channels pass. Returns the three results packed as 0x00rrggbb.
  static int32_t Calc_exchRGB(int16_t flags, const int32_t* redWeights,
                              const int32_t* greenWeights, const int32_t* blueWeights,
                              const int32_t* offsets, int32_t red, int32_t green, int32_t blue,
                              int32_t* outRed, int32_t* outGreen, int32_t* outBlue);
  // The mix over a region, strength percent of it over the source. -1 for
  // an empty region.
  static int32_t X_exchRGB_CharBuf(int32_t height, int32_t width, const unsigned char* srcRed,
                                   const unsigned char* srcGreen, const unsigned char* srcBlue,
                                   unsigned char* dstRed, unsigned char* dstGreen,
                                   unsigned char* dstBlue, int32_t x0, int32_t y0, int32_t x1,
                                   int32_t y1, int16_t flags, int32_t strength,
                                   const int32_t* redWeights, const int32_t* greenWeights,
                                   const int32_t* blueWeights, const int32_t* offsets);
  // Bytes 0, 1, 2 of each pixel as red, green, blue; byte 3 untouched.
  static int32_t X_exchRGB_LongBuf(int32_t height, int32_t width, const uint32_t* src,
                                   uint32_t* dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int16_t flags, int32_t strength, const int32_t* redWeights,
                                   const int32_t* greenWeights, const int32_t* blueWeights,
                                   const int32_t* offsets);
  // Grey from the colour filter (angle -180..180 from red through green to
  // blue), toned by the tone angle and strength, then contrast. -1, nothing
  // changed, when the work planes cannot be had.
  static int32_t BWConversion(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                              unsigned char* red, unsigned char* green, unsigned char* blue,
                              int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                              const unsigned char* mask, int16_t filterAngle,
                              int16_t filterStrength, int16_t contrast, int16_t toneAngle,
                              int16_t toneStrength);
  // The darkest (least byte sum) or brightest pixel of the window rows
  // y - ry .. y + ry - 1, columns x - rx .. x + rx - 1 into `result`. Width
  // first. The maximum stops at the first byte sum of 255, which on
  // several-byte pixels is not the brightest: kept, as callers expect it.
  static void MinOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel);
  static void MaxOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel);
};

// The rectangle noise (Effects::Noise kinds 1 to 4, and so the fog) painted in bands of rows on
// the shared threads; off, the rectangles are painted one after the other on the calling
// thread, the plain form the banded one is checked against. On by default.
void SetBandedRectangleNoise(bool on);

// Effects::Noise on each of `count` planes in turn, with the same arguments: unblurred uniform
// noise (kind 0) gives every plane the same bytes from the same seed, so with the C library's
// generator they are drawn once and blended into each plane (the shared generator left where
// the last plane's noise leaves it). Otherwise the planes go one after the other. 0, or -1
// when a plane's noise gave -1.
int32_t NoiseEachPlane(int16_t mode, int16_t opacity, int16_t kind, unsigned char* const* planes,
                       int32_t count, const unsigned char* mask, int32_t height, int32_t width,
                       int32_t x0, int32_t y0, int32_t x1, int32_t y1, float sizeX, float sizeY,
                       int16_t blurRadius, int16_t contrast, int16_t brightness, int16_t seed);

// Effects::Wind on each of `count` planes, the seeds taken from the clock in the planes' order:
// each plane's streaks are one walk, so with the C library's generator (each walk drawing from
// its own copy, the shared one left where the last plane's walk ends) the planes go side by
// side to the shared threads. Otherwise, or without room for every plane's work memory,
// they go one after the other. 0, or -1 when a plane's wind gave -1 (that plane untouched).
int32_t WindEachPlane(int16_t mode, int16_t opacity, unsigned char* const* planes, int32_t count,
                      int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      const unsigned char* mask, int16_t length, int16_t angle, int16_t randomness);
// Off, WindEachPlane always goes one plane after the other: the plain form it is checked
// against. On by default.
void SetWindPlanesSideBySide(bool on);
// What step k of the wind streak of the pixel at (x, y) (length 1..32767) adds to its sum
// v w + t (length - w), 0 to 255 length, before the division by the length: 0..length - 1,
// from a hash of the pixel's place and one of the step, added and scaled. Over the pixels each
// offset comes about as often as the others, so a step's quotient is the mean rounded up with
// about the chance of its fraction and, on average, the mean itself: a sample moved by tens
// of steps (of the pixels up-wind of it) keeps its level where truncation took half a level
// with each. A flat picture stays flat (a sum of length times a level, plus less than the
// length). The place, never the sum, picks the offset: a sum that comes back again and again
// (as in a smooth sky) rounds up in some places and down in others; and the step too, or a
// pixel's whole streak would round one way.
int32_t WindStreakOffset(int32_t x, int32_t y, int32_t k, int32_t length);
// Off, the wind walks one pixel at a time, never sixteen neighbours' streaks a step at a time:
// the plain form those are timed against (the tests hold the vector level down instead). On
// by default.
void SetWindSixteenAtOnce(bool on);

// Off, Effects::SinusWave never moves a replaced region in place in two sweeps (rows sideways,
// then columns up or down) but gathers it into a copy as it does under a blend: the form the
// sweeps are checked against. On by default.
void SetWaveSweepsInPlace(bool on);

// Off, Effects::Transform works out its whole box rather than the window of it that lands on
// the region: the plain form the window is checked against (the whole box of a transform at
// its largest on a photo cannot be had). On by default.
void SetTransformBoxBounded(bool on);

// A line of `value` painted into a plane, mixed into each point by
// strength / 255 before the blend: connected, both end points included,
// except that a vertical line stops one short of its larger y. Points
// outside the plane are skipped.
void DrawLine(int16_t mode, int16_t opacity, unsigned char* plane, const unsigned char* mask,
              int32_t height, int32_t width, int16_t startX, int16_t startY, int16_t endX,
              int16_t endY, int32_t value, int32_t strength);

// One outline's pixels (x the column, y the row) drawn into a plane: value
// = clamp(base + offset[k], 0, 255) * opacity[k] / 255, weighed by the
// call's opacity and the mask. With `clear` 1 each drawn pixel's mask
// sample becomes 0, so a later drawing through the same mask leaves it. The
// height is not read: the caller keeps the points inside the plane.
void DrawOutline(int16_t mode, int16_t opacity, unsigned char* plane, unsigned char* mask,
                 int32_t height, int32_t width, int16_t clear, int32_t count,
                 const coords* points, const int16_t* opacities, const int16_t* offsets,
                 unsigned char base);
