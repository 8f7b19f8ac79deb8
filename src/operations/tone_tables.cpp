// Tone work through 256-entry tables: the table applier that every
// table-driven tone effect of the script goes through, the contrast and
// brightness table, and the brightness and contrast of one plane or of the
// three colour planes weighted toward a tonal range.
//
// Brightness shifts are given in percent of full scale; the step is
// percent * 2.55 rounded by adding one half and truncating, with the percent
// taken to single precision and the arithmetic in double, so 10 % gives 26
// and -10 % gives -25.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "raster/tone_lut.h"

using effect_support::Blend;
using effect_support::BlendRegionRuns;
using effect_support::Clamp255;
using effect_support::ClampRegion;
using effect_support::kPixelBandRows;
using effect_support::ForEachPixel;
using effect_support::ForEachPixelParallel;
using effect_support::Weight;

namespace {

// Beyond 1000 % every sample saturates anyway; the bound keeps the
// conversion inside the integer range.
int32_t PercentStep(int64_t percent) {
  if (percent > 1000) percent = 1000;
  if (percent < -1000) percent = -1000;
  return static_cast<int32_t>(static_cast<double>(static_cast<float>(percent)) * 2.55 + 0.5);
}

// Etch with row k of the set at tables + k * rowStride; a stride of 0 gives
// every channel the same row. Replacement at full opacity without a mask
// blends to the table's value itself, so that case is the bare look-up.
//
// The bare look-up walks whole rows with its values held locally: a store
// into the row could otherwise be taken to change the table pointer or the
// bounds, and every sample would reload them (three planes of 3072 x 2048 on
// one thread: 40 ms through the pixel visitor, 7 ms this way).
void LookUpRows(unsigned char* buffer, int32_t width, int32_t height, int32_t x0, int32_t y0,
                int32_t x1, int32_t y1, int32_t channels, const unsigned char* tables,
                int32_t rowStride) {
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1) return;
  const int64_t count = static_cast<int64_t>(x1 - x0 + 1) * channels;
  plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [=](int32_t first, int32_t end) {
    for (int32_t y = first; y < end; ++y) {
      unsigned char* p = buffer + (static_cast<int64_t>(y) * width + x0) * channels;
      if (channels == 1) {
        LookUpRun(tables, p, p, count);
        continue;
      }
      for (int64_t i = 0; i < count; i += channels)
        for (int32_t k = 0; k < channels; ++k) p[i + k] = tables[k * rowStride + p[i + k]];
    }
  });
}

void EtchRows(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
              int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t channels,
              const unsigned char* mask, const unsigned char* tables, int32_t rowStride) {
  if (mode == 0 && opacity == 255 && mask == nullptr) {
    LookUpRows(buffer, width, height, x0, y0, x1, y1, channels, tables, rowStride);
    return;
  }
  if (channels == 1) {
    // A plane: the looked-up run, then the blend in lanes.
    BlendRegionRuns(mode, opacity, buffer, mask, width, height, x0, y0, x1, y1,
                    [tables](int32_t, int32_t, const unsigned char* old, unsigned char* out,
                             int32_t n) { LookUpRun(tables, old, out, n); });
    return;
  }
  ForEachPixelParallel(width, height, x0, y0, x1, y1, [&](int64_t pixel, int32_t, int32_t) {
    const int32_t a = Weight(mask, pixel, opacity);
    unsigned char* p = buffer + pixel * channels;
    for (int32_t k = 0; k < channels; ++k) {
      const int32_t old = p[k];
      p[k] = Blend(mode, old, tables[k * rowStride + old], a);
    }
  });
}

// Sets entries from..to (inclusive) that lie in the table.
template <typename Value>
void SetRange(unsigned char* t, int32_t from, int32_t to, Value value) {
  if (from < 0) from = 0;
  if (to > 255) to = 255;
  for (int32_t j = from; j <= to; ++j) t[j] = static_cast<unsigned char>(value(j));
}

}  // namespace

int32_t Effects::Etch(int16_t mode, int16_t opacity, unsigned char* buffer, int32_t height,
                      int32_t width, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                      int16_t channels, const unsigned char* mask, const unsigned char* tables) {
  if (buffer == nullptr || tables == nullptr || channels < 1) return -1;
  EtchRows(mode, opacity, buffer, height, width, x0, y0, x1, y1, channels, mask, tables, 256);
  return 0;
}

int32_t Effects::CreaLut(unsigned char* tables, int16_t contrast, int16_t brightness,
                         int16_t invert) {
  if (tables == nullptr) return -1;
  unsigned char* t = tables;
  const int32_t c = contrast;
  // Beyond a full shift the table would only be black or white anyway; the
  // bound keeps every range below inside the table.
  const int32_t b = ClampInt(brightness, -255, 255);
  if (c < 0) {
    // Less contrast: squeezed toward the middle; the brightness plays no part.
    for (int32_t i = 0; i < 256; ++i) {
      t[i] = static_cast<unsigned char>(i * (255 + 2 * c) / 255 - c);
    }
  } else {
    // Later steps overwrite earlier ones where they meet, so at contrast 128
    // and above the white entries win and the ramp becomes a threshold.
    auto black = [](int32_t) { return 0; };
    auto white = [](int32_t) { return 255; };
    if (b < 0) SetRange(t, 0, -b, black);
    SetRange(t, -b, c - b, black);
    if (255 - 2 * c > 0) {
      SetRange(t, c - b, 255 - c - b,
               [&](int32_t j) { return 255 * (j - (c - b)) / (255 - 2 * c); });
    }
    SetRange(t, 255 - c - b, 255 - b, white);
    if (b > 0) SetRange(t, 255 - b, 255, white);
  }
  if (invert == 1) {
    for (int32_t i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(255 - t[i]);
  }
  return 0;
}

int32_t Effects::AdjContrast(int16_t mode, int16_t opacity, unsigned char* buffer,
                             int32_t height, int32_t width, int32_t x0, int32_t y0, int32_t x1,
                             int32_t y1, int16_t channels, const unsigned char* mask,
                             int16_t contrast, int16_t brightness, int16_t invert) {
  if (buffer == nullptr || channels < 1) return -1;
  unsigned char table[256];
  CreaLut(table, contrast, brightness, invert);
  // One row serves every channel, however many the buffer has.
  EtchRows(mode, opacity, buffer, height, width, x0, y0, x1, y1, channels, mask, table, 0);
  return 0;
}

int32_t Effects::AdjustChan(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                            unsigned char* plane, const unsigned char* mask, int32_t x0,
                            int32_t y0, int32_t x1, int32_t y1, int32_t brightness,
                            int32_t contrast) {
  if (plane == nullptr) return -1;
  const int32_t delta = PercentStep(brightness);
  unsigned char shifted[256];
  for (int32_t i = 0; i < 256; ++i) shifted[i] = static_cast<unsigned char>(Clamp255(i + delta));
  EtchRows(mode, opacity, plane, height, width, x0, y0, x1, y1, 1, mask, shifted, 0);
  if (contrast != 0) {
    // Mode 0 replaces: only the mask weights the contrast step.
    AdjContrast(0, 255, plane, height, width, x0, y0, x1, y1, 1, mask, ClampToInt16(contrast), 0, 0);
  }
  return 0;
}

void Effects::AdjustRGBChan(int16_t mode, int16_t opacity, int32_t height, int32_t width,
                            unsigned char* red, unsigned char* green, unsigned char* blue,
                            const unsigned char* mask, int32_t x0, int32_t y0, int32_t x1,
                            int32_t y1, int32_t shiftRed, int32_t shiftGreen, int32_t shiftBlue,
                            int32_t contrast, int32_t range) {
  // A range the weighting does not know changes nothing.
  if (range < 0 || range > 3) return;
  if (red == nullptr || green == nullptr || blue == nullptr || height < 0 || width < 0) return;
  unsigned char table[256];
  CreaLut(table, ClampToInt16(contrast), 0, 0);

  unsigned char* const planes[3] = {red, green, blue};
  // The brightness step of each channel depends only on the lightness:
  // worked out once per lightness instead of once per sample.
  const int32_t shifts[3] = {shiftRed, shiftGreen, shiftBlue};
  int32_t steps[3][256];
  for (int32_t c = 0; c < 3; ++c) {
    for (int32_t L = 0; L < 256; ++L) {
      const int32_t mid = 128 - (L > 128 ? L - 128 : 128 - L);
      int64_t s = shifts[c];
      if (range == 1) s = s * L / 255;
      if (range == 2) s = s * mid / 128;
      if (range == 3) s = s * (255 - L) / 255;
      steps[c][L] = PercentStep(s);
    }
  }
  // Each pixel reads and writes only its own samples: the rows run in bands, and each run's
  // three shifted channels are worked out from the samples before any of them is blended back.
  ClampRegion(width, height, x0, y0, x1, y1);
  if (x0 > x1 || y0 > y1) return;
  // The range picked once per call, not per sample.
  auto bands = [&](auto kRange) {
    constexpr int32_t kR = decltype(kRange)::value;
    plat::ParallelFor(y0, y1 + 1, kPixelBandRows, [&](int32_t first, int32_t end) {
      unsigned char work[3][effect_support::kRun];
      for (int32_t y = first; y < end; ++y) {
        for (int32_t x = x0; x <= x1; x += effect_support::kRun) {
          const int32_t n = x1 - x + 1 < effect_support::kRun ? x1 - x + 1 : effect_support::kRun;
          const int64_t row = static_cast<int64_t>(y) * width + x;
          for (int32_t i = 0; i < n; ++i) {
            // Lightness from the values before the shift; blue does not enter.
            const int32_t L = (2 * red[row + i] + green[row + i]) / 3;
            const int32_t mid = 128 - (L > 128 ? L - 128 : 128 - L);
            const int32_t off = 128 - mid;
            for (int32_t c = 0; c < 3; ++c) {
              const int32_t v = Clamp255(planes[c][row + i] + steps[c][L]);
              int32_t out = 0;
              if constexpr (kR == 0) {
                out = table[v];
              } else if constexpr (kR == 1) {
                out = (L * table[v] + (255 - L) * v) / 255;
              } else if constexpr (kR == 2) {
                out = (table[v] * mid + off * v) / 128;
              } else {
                out = (table[v] * (255 - L) + L * v) / 255;
              }
              work[c][i] = static_cast<unsigned char>(out);
            }
          }
          for (int32_t c = 0; c < 3; ++c)
            effect_support::BlendRun(mode, opacity, planes[c] + row, work[c],
                                     mask != nullptr ? mask + row : nullptr, n);
        }
      }
    });
  };
  switch (range) {
    case 0:
      bands(std::integral_constant<int32_t, 0>{});
      break;
    case 1:
      bands(std::integral_constant<int32_t, 1>{});
      break;
    case 2:
      bands(std::integral_constant<int32_t, 2>{});
      break;
    default:
      bands(std::integral_constant<int32_t, 3>{});
      break;
  }
}
