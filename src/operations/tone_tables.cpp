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

#include "app/core/percent.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/simd.h"
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
  return static_cast<int32_t>(PercentTo255(static_cast<int32_t>(percent)));
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

// --- The three-channel levels in byte lanes ---------------------------------------------------
//
// A channel's shifted value Clamp255(c + step[L]) is the byte c raised by up[L] and lowered by
// down[L] with saturation, up and down the step's positive and negative parts held to 255 (a
// larger step saturates either way); the lightness L = (2 r + g) / 3 and the range's mix
// (t A + v B) / D, A + B = D, are 16-bit quotients: a multiply-high by ceil(2^17 / 3) or by
// ceil(2^23 / 255) shifted, exact for every 16-bit numerator, and a shift by 7 for D = 128.
struct LevelsTables {
  unsigned char up[3][256], down[3][256];
  const unsigned char* table;
  bool identity;  // the contrast table gives every value back
  int32_t range;
};

#if VMK_SIMD_X86
// GCC 12's 512-bit intrinsics start their results from deliberately undefined lanes, which
// its flow analysis reports as uninitialised values in every caller.
#pragma GCC diagnostic push
#if !defined(__clang__)  // a warning of GCC's alone
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#pragma GCC diagnostic ignored "-Wuninitialized"


// The bytes of 32 16-bit lanes of each of two registers, in order.
VMK_TARGET_AVX512VBMI inline __m512i Bytes64(__m512i low, __m512i high) {
  return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtepi16_epi8(low)),
                            _mm512_cvtepi16_epi8(high), 1);
}

VMK_TARGET_AVX512VBMI inline __m512i Low16(__m512i bytes) {
  return _mm512_cvtepu8_epi16(_mm512_castsi512_si256(bytes));
}

VMK_TARGET_AVX512VBMI inline __m512i High16(__m512i bytes) {
  return _mm512_cvtepu8_epi16(_mm512_extracti64x4_epi64(bytes, 1));
}

VMK_TARGET_AVX512VBMI inline __m512i By255(__m512i x) {
  return _mm512_srli_epi16(_mm512_mulhi_epu16(x, _mm512_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

// (t a + v (d - a)) / d on 32 16-bit lanes, d 255 or 128.
VMK_TARGET_AVX512VBMI inline __m512i Mix16(__m512i t, __m512i v, __m512i a, bool by255) {
  const __m512i d = _mm512_set1_epi16(by255 ? 255 : 128);
  const __m512i x = _mm512_add_epi16(_mm512_mullo_epi16(t, a),
                                     _mm512_mullo_epi16(v, _mm512_sub_epi16(d, a)));
  return by255 ? By255(x) : _mm512_srli_epi16(x, 7);
}

// (2 r + g) / 3 on 32 16-bit lanes.
VMK_TARGET_AVX512VBMI inline __m512i Lightness(__m512i r16, __m512i g16, __m512i third) {
  return _mm512_srli_epi16(
      _mm512_mulhi_epu16(_mm512_add_epi16(_mm512_add_epi16(r16, r16), g16), third), 1);
}

// One run of n samples from each plane (rows r, g, b) into out[0..2], 64 a step, the last step
// under a mask. Every sample of a step is read before any is written, so out may be the planes.
VMK_TARGET_AVX512VBMI void LevelsRunVbmi(const LevelsTables& k, unsigned char* const* in,
                                         unsigned char* const* out, int32_t n) {
  ByteTable512 up[3], down[3];
  for (int32_t c = 0; c < 3; ++c) up[c] = LoadByteTable512(k.up[c]), down[c] = LoadByteTable512(k.down[c]);
  const ByteTable512 table = LoadByteTable512(k.table);
  const __m512i third = _mm512_set1_epi16(static_cast<int16_t>(0xAAAB));
  for (int32_t i = 0; i < n; i += 64) {
    const __mmask64 lanes = n - i >= 64 ? ~__mmask64{0} : (__mmask64{1} << (n - i)) - 1;
    __m512i x[3];
    for (int32_t c = 0; c < 3; ++c) x[c] = _mm512_maskz_loadu_epi8(lanes, in[c] + i);
    const __m512i l0 = Lightness(Low16(x[0]), Low16(x[1]), third);
    const __m512i l1 = Lightness(High16(x[0]), High16(x[1]), third);
    const __m512i L = Bytes64(l0, l1);
    // The range's weight of the table's value, and its divisor.
    __m512i a0 = l0, a1 = l1;
    const bool by255 = k.range != 2;
    if (k.range == 2) {
      const __m512i c128 = _mm512_set1_epi16(128);
      a0 = _mm512_sub_epi16(c128, _mm512_abs_epi16(_mm512_sub_epi16(l0, c128)));
      a1 = _mm512_sub_epi16(c128, _mm512_abs_epi16(_mm512_sub_epi16(l1, c128)));
    } else if (k.range == 3) {
      const __m512i c255 = _mm512_set1_epi16(255);
      a0 = _mm512_sub_epi16(c255, l0);
      a1 = _mm512_sub_epi16(c255, l1);
    }
    __m512i result[3];
    for (int32_t c = 0; c < 3; ++c) {
      const __m512i v =
          _mm512_subs_epu8(_mm512_adds_epu8(x[c], LookUpBytes64(up[c], L)), LookUpBytes64(down[c], L));
      const __m512i t = k.identity ? v : LookUpBytes64(table, v);
      if (k.range == 0) {
        result[c] = t;
        continue;
      }
      result[c] = Bytes64(Mix16(Low16(t), Low16(v), a0, by255), Mix16(High16(t), High16(v), a1, by255));
    }
    for (int32_t c = 0; c < 3; ++c) _mm512_mask_storeu_epi8(out[c] + i, lanes, result[c]);
  }
}
#pragma GCC diagnostic pop
#endif

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
  bool identity = true;
  for (int32_t v = 0; v < 256; ++v) identity = identity && table[v] == v;
  bool still = identity;
  for (int32_t c = 0; c < 3; ++c)
    for (int32_t L = 0; L < 256; ++L) still = still && steps[c][L] == 0;
  // No step and no contrast give every sample its own value, in every range ((t A + t B) / D
  // is t); replacement blends a sample with itself to itself, so nothing changes.
  if (still && mode == 0) return;
#if VMK_SIMD_X86
  // Sixty-four pixels a step in byte lanes; without a mask at full replacement the values go
  // straight into the planes. (Three 6000 x 4000 planes, shifts 30, -20, 10 and contrast 40,
  // the mid-tones, 8 threads, where one read and write of the planes took 2 ms: 24 ms one
  // pixel at a time, 1.9 ms in byte lanes.)
  if (plat::SimdHasByteVbmi()) {
    LevelsTables k;
    for (int32_t c = 0; c < 3; ++c)
      for (int32_t L = 0; L < 256; ++L) {
        const int32_t step = steps[c][L];
        k.up[c][L] = static_cast<unsigned char>(step > 0 ? (step < 255 ? step : 255) : 0);
        k.down[c][L] = static_cast<unsigned char>(step < 0 ? (-step < 255 ? -step : 255) : 0);
      }
    k.table = table;
    k.identity = identity;
    k.range = range;
    const bool direct = mode == 0 && opacity == 255 && mask == nullptr;
    effect_support::BlendRegionRuns3(
        mode, opacity, planes, mask, width, x0, y0, x1, y1, direct,
        [&](int64_t row, unsigned char* const out[3], int32_t n) {
          unsigned char* const in[3] = {red + row, green + row, blue + row};
          LevelsRunVbmi(k, in, out, n);
        });
    return;
  }
#endif
  // The range picked once per call, not per sample.
  auto bands = [&](auto kRange) {
    constexpr int32_t kR = decltype(kRange)::value;
    const auto values = [&](int64_t row, unsigned char* const work[3], int32_t n) {
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
    };
    effect_support::BlendRegionRuns3(mode, opacity, planes, mask, width, x0, y0, x1, y1, false,
                                     values);
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
