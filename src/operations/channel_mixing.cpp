// Colour selection painting, the channel mixer with its black-and-white
// conversion, and the darkest and brightest pixel of a window.
//
// Channel weights are percentages: a mixed channel is the weighted sum of
// the input channels divided by 100, plus its offset, clamped to 0..255.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/cancel.h"
#include "platform/types/plane_view.h"
#include "raster/colour_select.h"

using effect_support::Blend;
using effect_support::ClampRegion;
using effect_support::Weight;

namespace {

using IRect = plat::InclusiveRect;

constexpr int16_t kAllChannels = 7;

// The mixed colour and the strength-weighted result of one pixel.
void MixPixel(int16_t flags, int32_t strength, const int32_t* wr, const int32_t* wg,
              const int32_t* wb, const int32_t* off, const int32_t in[3], int32_t out[3]) {
  int32_t mixed[3];
  Effects::Calc_exchRGB(flags, wr, wg, wb, off, in[0], in[1], in[2], &mixed[0], &mixed[1],
                        &mixed[2]);
  for (int32_t i = 0; i < 3; ++i) out[i] = (strength * mixed[i] + in[i] * (100 - strength)) / 100;
}

// Walks the window about (x, y), keeping the first pixel whose byte sum
// beats the best; stops once the best reaches `enough`.
template <typename Better>
void WindowSearch(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                  int32_t height, int32_t rx, int32_t ry, unsigned char* result, int16_t bytes,
                  int32_t enough, Better better) {
  if (buffer == nullptr || result == nullptr || bytes <= 0) return;
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  auto sum = [&](int64_t p) {
    int32_t s = 0;
    for (int32_t b = 0; b < bytes; ++b) s += buffer[p * bytes + b];
    return s;
  };
  int64_t bestPixel = int64_t{y} * width + x;
  int32_t best = sum(bestPixel);
  for (int32_t yy = y - ry; yy < y + ry && best != enough; ++yy) {
    if (yy < 0 || yy >= height) continue;
    for (int32_t xx = x - rx; xx < x + rx && best != enough; ++xx) {
      if (xx < 0 || xx >= width) continue;
      const int64_t p = int64_t{yy} * width + xx;
      const int32_t s = sum(p);
      if (better(s, best)) best = s, bestPixel = p;
    }
  }
  std::memcpy(result, buffer + bestPixel * bytes, static_cast<size_t>(bytes));
}

}  // namespace

int32_t Effects::SelCol(int16_t /*mode*/, int16_t /*opacity*/, const unsigned char* srcRed,
                        const unsigned char* srcGreen, const unsigned char* srcBlue,
                        int32_t srcHeight, int32_t srcWidth, unsigned char* dstRed,
                        unsigned char* dstGreen, unsigned char* dstBlue, int32_t dstHeight,
                        int32_t dstWidth, int32_t, int32_t, int32_t, int32_t, int32_t x0,
                        int32_t y0, int32_t x1, int32_t y1, int16_t srcChannels,
                        int16_t dstChannels, const unsigned char* mask, int16_t tolerance,
                        const unsigned char* reference, const unsigned char* colour) {
  if (srcRed == nullptr || dstRed == nullptr || reference == nullptr || colour == nullptr)
    return 0;
  const bool srcRgb = srcChannels != 1, dstRgb = dstChannels != 1;
  if ((srcRgb && (srcGreen == nullptr || srcBlue == nullptr)) ||
      (dstRgb && (dstGreen == nullptr || dstBlue == nullptr)))
    return 0;
  IRect r{x0, y0, x1, y1};
  // The source is read at the destination's positions: keep to both.
  if (!r.ClipTo(dstWidth, dstHeight) || !r.ClipTo(srcWidth, srcHeight)) return 0;
  float h = 0, s = 0, v = 0;
  const int32_t ref[3] = {reference[0], srcRgb ? reference[1] : reference[0],
                          srcRgb ? reference[2] : reference[0]};
  RGBtoHSV(static_cast<float>(ref[0]), static_cast<float>(ref[1]), static_cast<float>(ref[2]),
           &h, &s, &v);
  const float t = tolerance;
  // Held to the 16-bit range before the conversion: a tolerance near its end reaches past it.
  const auto lo = [&](float c) { return TruncToInt16(c - t); };
  const auto hi = [&](float c) { return TruncToInt16(c + t); };
  const float s100 = s * 100;
  unsigned char* const dst[3] = {dstRed, dstGreen, dstBlue};
  // One-channel source onto three planes: all three take the colour.
  const int32_t planes = dstRgb ? 3 : 1;
  const HsvSelection select(lo(h), hi(h), lo(s100), hi(s100), lo(v), hi(v));
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t si = int64_t{y} * srcWidth + x;
      const int64_t di = int64_t{y} * dstWidth + x;
      const int32_t rr = srcRed[si];
      const int32_t m =
          select.At(rr, srcRgb ? srcGreen[si] : rr, srcRgb ? srcBlue[si] : rr);
      for (int32_t n = 0; n < planes; ++n) {
        const int32_t byte = dstRgb && srcRgb ? colour[n] : colour[0];
        const int32_t c = std::min(255, byte * m / 255);
        unsigned char& d = dst[n][di];
        d = static_cast<unsigned char>(mask != nullptr ? (d * (255 - mask[di]) + c * mask[di]) / 255
                                                       : c);
      }
    }
  }
  return 0;
}

int32_t Effects::Calc_exchRGB(int16_t flags, const int32_t* redWeights,
                              const int32_t* greenWeights, const int32_t* blueWeights,
                              const int32_t* offsets, int32_t red, int32_t green, int32_t blue,
                              int32_t* outRed, int32_t* outGreen, int32_t* outBlue) {
  const int32_t in[3] = {red, green, blue};
  int32_t* const out[3] = {outRed, outGreen, outBlue};
  int32_t packed = 0;
  for (int32_t i = 0; i < 3; ++i) {
    int32_t v = in[i];
    if ((flags & (4 >> i)) != 0) {
      const int64_t sum = int64_t{red} * redWeights[i] + int64_t{green} * greenWeights[i] +
                          int64_t{blue} * blueWeights[i];
      v = static_cast<int32_t>(std::clamp<int64_t>(sum / 100 + offsets[i], 0, 255));
    }
    v = Clamp255(v);
    if (out[i] != nullptr) *out[i] = v;
    packed = (packed << 8) | v;
  }
  return packed;
}

int32_t Effects::X_exchRGB_CharBuf(int32_t height, int32_t width, const unsigned char* srcRed,
                                   const unsigned char* srcGreen, const unsigned char* srcBlue,
                                   unsigned char* dstRed, unsigned char* dstGreen,
                                   unsigned char* dstBlue, int32_t x0, int32_t y0, int32_t x1,
                                   int32_t y1, int16_t flags, int32_t strength,
                                   const int32_t* redWeights, const int32_t* greenWeights,
                                   const int32_t* blueWeights, const int32_t* offsets) {
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return -1;
  const unsigned char* const src[3] = {srcRed, srcGreen, srcBlue};
  unsigned char* const dst[3] = {dstRed, dstGreen, dstBlue};
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t i = int64_t{y} * width + x;
      const int32_t in[3] = {src[0][i], src[1][i], src[2][i]};
      int32_t out[3];
      MixPixel(flags, strength, redWeights, greenWeights, blueWeights, offsets, in, out);
      for (int32_t n = 0; n < 3; ++n) dst[n][i] = static_cast<unsigned char>(out[n]);
    }
  }
  return 0;
}

int32_t Effects::X_exchRGB_LongBuf(int32_t height, int32_t width, const uint32_t* src,
                                   uint32_t* dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                   int16_t flags, int32_t strength, const int32_t* redWeights,
                                   const int32_t* greenWeights, const int32_t* blueWeights,
                                   const int32_t* offsets) {
  IRect r{x0, y0, x1, y1};
  if (!r.ClipTo(width, height)) return -1;
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    // Stopped work answers a failure; its owner drops the buffer.
    if (plat::Cancelled()) return -1;
    for (int32_t x = r.left; x <= r.right; ++x) {
      const int64_t i = int64_t{y} * width + x;
      unsigned char in8[4], out8[4];
      std::memcpy(in8, &src[i], 4);
      std::memcpy(out8, &dst[i], 4);
      const int32_t in[3] = {in8[0], in8[1], in8[2]};
      int32_t out[3];
      MixPixel(flags, strength, redWeights, greenWeights, blueWeights, offsets, in, out);
      for (int32_t n = 0; n < 3; ++n) out8[n] = static_cast<unsigned char>(out[n]);
      std::memcpy(&dst[i], out8, 4);
    }
  }
  return 0;
}

int32_t Effects::BWConversion(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                              unsigned char* red, unsigned char* green, unsigned char* blue,
                              int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                              const unsigned char* mask, int16_t filterAngle,
                              int16_t filterStrength, int16_t contrast, int16_t toneAngle,
                              int16_t toneStrength) {
  if (red == nullptr || green == nullptr || blue == nullptr || width <= 0 || height <= 0)
    return -1;
  const int32_t S = filterStrength, A = filterAngle;
  const int32_t t = std::abs(S * A) / 180;
  const int32_t wr = A < 0 ? t : 0, wg = S - t, wb = A < 0 ? 0 : t;
  const int32_t T = toneStrength, B = toneAngle;
  const int32_t u = std::abs(T * B) / 180;
  const int32_t offsets[3] = {B < 0 ? u : 0, T - u, B < 0 ? 0 : u};
  unsigned char table[256];
  CreaLut(table, contrast, 0, 0);
  // The mixer's three channels share one weighted sum (each weight serves all three) and
  // differ by their offsets; at full strength the mix is the mixed colour itself, and the
  // contrast step, a replacement without a mask, is its table. So each run's three values
  // go from the samples through the sum and the table straight to the blend, with no
  // whole-plane work copies: the bytes are those of the mixer, the contrast pass over its
  // copies and the blend of each copy back (about 0.9 s for three 6000 x 4000 planes with
  // the copies, one sample after another; a few passes of memory in bands).
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return 0;
  unsigned char* const planes[3] = {red, green, blue};
  // Weights of the usual size keep the sum inside 32 bits (255 times their magnitudes), and
  // then it is taken in 32 bits, with the same truncated quotient.
  const int64_t magnitude = std::abs(int64_t{wr}) + std::abs(int64_t{wg}) + std::abs(int64_t{wb});
  const bool narrow = magnitude <= 8000000 && std::abs(offsets[0]) <= 8000000 &&
                      std::abs(offsets[1]) <= 8000000 && std::abs(offsets[2]) <= 8000000;
  auto bands = [&](auto wide) {
    using Sum = decltype(wide);
    plat::ParallelFor(y0, y1 + 1, effect_support::kPixelBandRows, [&](int32_t first, int32_t end) {
      unsigned char values[3][effect_support::kRun];
      for (int32_t y = first; y < end; ++y) {
        for (int32_t x = x0; x <= x1; x += effect_support::kRun) {
          const int32_t n = x1 - x + 1 < effect_support::kRun ? x1 - x + 1 : effect_support::kRun;
          const int64_t row = int64_t{y} * width + x;
          for (int32_t i = 0; i < n; ++i) {
            const Sum sum = Sum{red[row + i]} * wr + Sum{green[row + i]} * wg + Sum{blue[row + i]} * wb;
            const Sum q = sum / 100;
            for (int32_t k = 0; k < 3; ++k)
              values[k][i] = table[std::clamp<Sum>(q + offsets[k], 0, 255)];
          }
          for (int32_t k = 0; k < 3; ++k)
            effect_support::BlendRun(mode, opacity, planes[k] + row, values[k],
                                     mask != nullptr ? mask + row : nullptr, n);
        }
      }
    });
  };
  if (narrow)
    bands(int32_t{0});
  else
    bands(int64_t{0});
  return 0;
}

void Effects::MinOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel) {
  WindowSearch(x, y, buffer, width, height, rx, ry, result, bytesPerPixel, 0,
               [](int32_t s, int32_t best) { return s < best; });
}

void Effects::MaxOutOfBuf(int32_t x, int32_t y, const unsigned char* buffer, int32_t width,
                          int32_t height, int32_t rx, int32_t ry, unsigned char* result,
                          int16_t bytesPerPixel) {
  // Stops at a byte sum of 255, the brightest one-byte sample.
  WindowSearch(x, y, buffer, width, height, rx, ry, result, bytesPerPixel, 255,
               [](int32_t s, int32_t best) { return s > best; });
}
