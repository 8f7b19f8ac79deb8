// The fractal's escape-time walk in vector lanes, and what it shares with the one-pixel walk
// (misc_fract.cpp): the elementary functions of the formulas, the escape's colour entry and the
// blend of an entry into the planes.
//
// A lane runs one pixel's orbit with the same double operations in the same order as the
// one-pixel walk (the build contracts nothing into fused multiply-adds), so each pixel's entry
// is the one-pixel walk's to the bit, at every vector level. The walk keeps eight (AVX2) or
// sixteen (AVX-512) pixels in flight, two vectors a step; a lane whose pixel escapes or reaches
// the limit takes the next pixel of its band at once, so a slow pixel holds up no other.
#pragma once

#include <cmath>
#include <cstdint>

namespace fractlanes {

// sin x and cos x; sinh y and cosh y. Written once for every lane width
// (fractal_lane_math.inc): the same bits in one lane as in sixteen.
void SinCos(double x, double* sine, double* cosine);
void SinhCosh(double y, double* sinh, double* cosh);

// The colour-table entry of an orbit that escaped at step n with squared modulus m after prev:
// 0 for a modulus that is not a number, else the clamped smooth escape count x scale.
inline int32_t EscapeEntry(int32_t n, double m, double prev, double bailout, int32_t colourScale) {
  if (std::isnan(m)) return 0;
  // A non-positive rise (only with a negative bail-out) counts n.
  const double s = m - prev > 0 ? ((bailout - prev) * n + (m - bailout) * (n - 1)) / (m - prev)
                                : static_cast<double>(n);
  const double index = s * colourScale + 0.5;
  if (!(index > 0)) return 0;
  return index >= 255 ? 255 : static_cast<int32_t>(index);
}

// Blends entry e of the table (row 0 the opacity, rows 1..3 the colours) into one pixel.
inline void BlendEntry(const uint8_t (*t)[256], int32_t e, uint8_t* p1, uint8_t* p2, uint8_t* p3) {
  const int32_t op = t[0][e];
  *p1 = static_cast<uint8_t>((op * t[1][e] + (255 - op) * *p1) / 255);
  *p2 = static_cast<uint8_t>((op * t[2][e] + (255 - op) * *p2) / 255);
  *p3 = static_cast<uint8_t>((op * t[3][e] + (255 - op) * *p3) / 255);
}

// A pixel's orbit before its first step: z, the formula's second value k, and the constant c.
struct Start {
  double zr = 0, zi = 0, kr = 0, ki = 0, cr = 0, ci = 0;
};

// One drawing of a formula over the drawn rows and columns of three planes.
struct Job {
  int16_t formula = 0;
  int32_t stride = 0;
  uint8_t* plane1 = nullptr;
  uint8_t* plane2 = nullptr;
  uint8_t* plane3 = nullptr;
  const uint8_t (*table)[256] = nullptr;
  int32_t limit = 0;
  int32_t colourScale = 0;
  double bailout = 0;
  // Drawn columns [firstColumn, endColumn) at x = xs[column - firstColumn]; drawn rows start
  // at firstRow, row r at y = heights[r - firstRow].
  int32_t firstColumn = 0, endColumn = 0, firstRow = 0;
  const double* xs = nullptr;
  const double* heights = nullptr;
  // The orbit of the pixel at x, y, the `pixel`-th drawn in row order (the engine's own start,
  // which may carry state from one pixel to the next).
  void (*start)(const void* context, double x, double y, int64_t pixel, Start* out) = nullptr;
  const void* context = nullptr;
};

// Draws rows [first, last) of the job's drawn rows: each pixel first takes entry 0, an escaping
// one then the entry of its escape. Stops between rows once the work is cancelled.
using WalkFn = void (*)(const Job& job, int32_t first, int32_t last);

// The widest walk the active vector level allows, for a formula the walk takes (one that
// starts each pixel afresh, or whose carried state the engine's start gives per pixel); null
// at the baseline level or for any other formula: the one-pixel walk then draws.
WalkFn PickWalk(int16_t formula);

}  // namespace fractlanes
