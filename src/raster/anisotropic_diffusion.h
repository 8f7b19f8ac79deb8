// Edge-preserving smoothing by nonlinear (Perona-Malik) diffusion: each pass
// moves every interior sample toward its four neighbours by an amount that
// shrinks where the difference to a neighbour is large, so flat areas are
// smoothed and edges survive. Also the influence functions of robust
// diffusion and a volume form driven by them.
#pragma once

#include <cstdint>

// Diffuses the plane in place: mode 0 exponential conduction
// exp(-(d/K)^2), 1 rational 1 / (1 + (d/K)^2); other modes, passes below 1,
// a NaN K and planes without an interior sample change nothing. The
// outermost rows and columns keep their values.
void AnisotropicDiffusion(int32_t width, int32_t height, unsigned char* plane, int16_t mode,
                          int16_t passes, float K);

// Diffuses bytes 0..2 of the pixels of rows top..bottom - 1 and columns
// left..right (right inclusive; the rectangle is clipped to the image) from
// src into dst, mode 0, each channel over a plane holding the whole source
// channel. Byte 3 of dst is not touched. Returns 0.
int32_t X_Aniso_buffer(int16_t unused, int32_t height, int32_t width, const uint32_t* src,
                       uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int16_t unused2, int16_t passes, int16_t K);

// Influence functions.
double tukeyPsi(double x, double sigma);
double linearPsi(double x);
double lorentzianPsi(double x, double sigma);

// Robust diffusion of a volume of nx * ny * nz samples (x fastest), each
// pass updating in scan order: mode 0 Tukey, 1 Lorentzian, 2 linear.
void Caniso3(unsigned char* volume, int32_t nx, int32_t ny, int32_t nz, int16_t mode,
             double sigma, int16_t passes, double lambda);
