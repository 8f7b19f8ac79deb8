// Tone work on long buffers and curves: four per-channel look-up tables
// (optionally through a mask), histograms, curve smoothing and widening, and
// the automatic and grain corrections built from them.
#pragma once

#include <cstdint>

#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>

// A 256-entry byte table in four registers, for 64 look-ups at once where the processor permutes
// bytes (plat::SimdHasByteVbmi): two two-register permutes look up the low and the high half by
// the index's low seven bits, its top bit picks between them.
struct ByteTable512 {
  __m512i q0, q1, q2, q3;
};

VMK_TARGET_AVX512VBMI inline ByteTable512 LoadByteTable512(const unsigned char* t) {
  return {_mm512_loadu_si512(t), _mm512_loadu_si512(t + 64), _mm512_loadu_si512(t + 128),
          _mm512_loadu_si512(t + 192)};
}

VMK_TARGET_AVX512VBMI inline __m512i LookUpBytes64(const ByteTable512& t, __m512i idx) {
  const __m512i lo = _mm512_permutex2var_epi8(t.q0, idx, t.q1);
  const __m512i hi = _mm512_permutex2var_epi8(t.q2, idx, t.q3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(idx), lo, hi);
}
#endif

// dst[i] = table[src[i]] for n bytes; src may be dst (not otherwise
// overlapping). 64 bytes a step where the processor permutes bytes.
void LookUpRun(const unsigned char* table, const unsigned char* src, unsigned char* dst, int64_t n);
// The same on pixels of four bytes, byte k through tables[256 k ..].
void LookUpQuads(const unsigned char* tables, const unsigned char* src, unsigned char* dst,
                 int64_t pixels);

// Applies lut_k to byte k of every pixel of the rectangle (right and bottom
// exclusive). With a mask, 8192 keeps the source and 0 applies the table
// fully. All tables null copies the rectangle. Returns 0.
int32_t X_lut_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                     int32_t left, int32_t top, int32_t right, int32_t bottom,
                     const int16_t* mask, int16_t percent, const int16_t* lut0,
                     const int16_t* lut1, const int16_t* lut2, const int16_t* lut3);

// Histograms of bytes 0, 1, 2 and of their mean over the INCLUSIVE rectangle.
int32_t X_histo_buffer(int32_t height, int32_t width, const uint32_t* buffer, int32_t left,
                       int32_t top, int32_t right, int32_t bottom, int32_t* hist0,
                       int32_t* hist1, int32_t* hist2, int32_t* histMean, int32_t* max0,
                       int32_t* max1, int32_t* max2, int32_t* maxMean, int32_t* total);

// Smooths a curve given by `count` points (keys 0..2^levels, values their
// heights) into out[0..2^levels]. Points are reordered in place. -1 with `out`
// untouched when levels is outside 2..6, count < 1 or a key is off the grid.
int32_t Y_lissage(int16_t levels, float* values, int32_t count, int32_t* keys, float* out);

// Widens 64 curve values into 256 (the last group extrapolates).
int32_t Y_interpolation_64_256(const float* in, float* out);

// Automatic correction of src into dst from a blurred guide plane.
int32_t X_AutoCorrect_buffer(int16_t threeChannels, int32_t height, int32_t width,
                             const uint32_t* src, uint32_t* dst, int32_t guideHeight,
                             int32_t guideWidth, const unsigned char* guide,
                             unsigned char* guideWork, int32_t fillHeight, int32_t fillWidth,
                             int32_t left, int32_t top, int32_t right, int32_t bottom,
                             int16_t filtered, int32_t offsetX, int32_t offsetY, float scaleX,
                             float scaleY, int16_t percent, int16_t blurRadius, int16_t sharpen,
                             int16_t amountA, int16_t ignored, int16_t amountB,
                             const int16_t* lut0, const int16_t* lut1, const int16_t* lut2,
                             const int16_t* lut3);

// Grain correction of dst towards src, kept off the guide's edges.
int32_t X_graincorr_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                           int32_t guideHeight, int32_t guideWidth, const unsigned char* guide,
                           unsigned char* guideWork, int32_t fillHeight, int32_t fillWidth,
                           int32_t left, int32_t top, int32_t right, int32_t bottom,
                           int16_t filtered, int32_t offsetX, int32_t offsetY, float scaleX,
                           float scaleY, int16_t amount, int16_t edge, int16_t passes,
                           int16_t sharpen);

// Lab conversions: placeholders that touch nothing and return 0.
int32_t X_cnvRGB_to_LABbufs(int32_t height, int32_t width, const uint32_t* buffer,
                            unsigned char* L, unsigned char* a, unsigned char* b, int32_t left,
                            int32_t top, int32_t right, int32_t bottom);
int32_t X_cnvLABbufs_to_RGB(int32_t height, int32_t width, const unsigned char* L,
                            const unsigned char* a, const unsigned char* b, uint32_t* buffer,
                            int32_t left, int32_t top, int32_t right, int32_t bottom);
