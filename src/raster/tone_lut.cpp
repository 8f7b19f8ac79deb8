// Look-up tables, histograms and tone curves.
#include "raster/tone_lut.h"

#include <cstring>

#include "app/core/sample_clamp.h"
#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"

#if VMK_SIMD_X86
#include <immintrin.h>
#endif

namespace {

inline unsigned char LowByte(int32_t v) { return static_cast<unsigned char>(v & 0xFF); }

using RunFn = void (*)(const unsigned char* table, const unsigned char* src, unsigned char* dst,
                       int64_t n);

void LookUpRunPlain(const unsigned char* table, const unsigned char* src, unsigned char* dst,
                    int64_t n) {
  for (int64_t i = 0; i < n; ++i) dst[i] = table[src[i]];
}

void LookUpQuadsPlain(const unsigned char* tables, const unsigned char* src, unsigned char* dst,
                      int64_t pixels) {
  for (int64_t x = 0; x < pixels; ++x) {
    const unsigned char* p = src + x * 4;
    unsigned char* q = dst + x * 4;
    const unsigned char b0 = tables[p[0]], b1 = tables[256 + p[1]], b2 = tables[512 + p[2]],
                        b3 = tables[768 + p[3]];
    q[0] = b0;
    q[1] = b1;
    q[2] = b2;
    q[3] = b3;
  }
}

#if VMK_SIMD_X86

// The last bytes of a run under a mask, so that nothing past it is read or
// written.
VMK_TARGET_AVX512VBMI inline __mmask64 FirstBytes(int64_t n) {
  return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}

VMK_TARGET_AVX512VBMI void LookUpRunVbmi(const unsigned char* table, const unsigned char* src,
                                         unsigned char* dst, int64_t n) {
  const ByteTable512 t = LoadByteTable512(table);
  for (int64_t i = 0; i < n; i += 64) {
    const __mmask64 m = FirstBytes(n - i);
    const __m512i idx = _mm512_maskz_loadu_epi8(m, src + i);
    _mm512_mask_storeu_epi8(dst + i, m, LookUpBytes64(t, idx));
  }
}

// Each of the four tables looks up every byte; byte k of each pixel keeps
// table k's answer.
VMK_TARGET_AVX512VBMI void LookUpQuadsVbmi(const unsigned char* tables, const unsigned char* src,
                                           unsigned char* dst, int64_t pixels) {
  const ByteTable512 t0 = LoadByteTable512(tables), t1 = LoadByteTable512(tables + 256);
  const ByteTable512 t2 = LoadByteTable512(tables + 512), t3 = LoadByteTable512(tables + 768);
  constexpr __mmask64 kByte1 = 0x2222222222222222ull, kByte2 = kByte1 << 1, kByte3 = kByte1 << 2;
  const int64_t n = pixels * 4;
  for (int64_t i = 0; i < n; i += 64) {
    const __mmask64 m = FirstBytes(n - i);
    const __m512i idx = _mm512_maskz_loadu_epi8(m, src + i);
    __m512i r = LookUpBytes64(t0, idx);
    r = _mm512_mask_blend_epi8(kByte1, r, LookUpBytes64(t1, idx));
    r = _mm512_mask_blend_epi8(kByte2, r, LookUpBytes64(t2, idx));
    r = _mm512_mask_blend_epi8(kByte3, r, LookUpBytes64(t3, idx));
    _mm512_mask_storeu_epi8(dst + i, m, r);
  }
}
#endif

}  // namespace

void LookUpRun(const unsigned char* table, const unsigned char* src, unsigned char* dst,
               int64_t n) {
#if VMK_SIMD_X86
  if (plat::SimdHasByteVbmi()) return LookUpRunVbmi(table, src, dst, n);
#endif
  LookUpRunPlain(table, src, dst, n);
}

void LookUpQuads(const unsigned char* tables, const unsigned char* src, unsigned char* dst,
                 int64_t pixels) {
#if VMK_SIMD_X86
  if (plat::SimdHasByteVbmi()) return LookUpQuadsVbmi(tables, src, dst, pixels);
#endif
  LookUpQuadsPlain(tables, src, dst, pixels);
}

int32_t X_lut_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                     int32_t left, int32_t top, int32_t right, int32_t bottom,
                     const int16_t* mask, int16_t percent, const int16_t* lut0,
                     const int16_t* lut1, const int16_t* lut2, const int16_t* lut3) {
  (void)percent;
  if (src == nullptr || dst == nullptr) return 0;
  // Keep to the buffer whatever rectangle the caller hands in.
  if (!ClipExclusiveRect(width, height, left, top, right, bottom)) return 0;

  const int16_t* luts[4] = {lut0, lut1, lut2, lut3};
  const bool none = lut0 == nullptr && lut1 == nullptr && lut2 == nullptr && lut3 == nullptr;
  // Rows are independent; they go in bands on the shared threads, unless
  // the two buffers overlap at an offset, where a row may read what another
  // band has already written.
  const bool shifted = src != dst && src < dst + static_cast<int64_t>(width) * height &&
                       dst < src + static_cast<int64_t>(width) * height;
  // The tables as bytes, a missing table leaving its byte as it is.
  unsigned char table[4 * 256];
  for (int k = 0; k < 4; ++k)
    for (int v = 0; v < 256; ++v)
      table[k * 256 + v] = luts[k] != nullptr ? LowByte(luts[k][v]) : static_cast<unsigned char>(v);
  const unsigned char* bytes = table;
  plat::ParallelFor(top, bottom, shifted ? bottom - top : 16,
                    [=, &luts](int32_t first, int32_t end) {
                      for (int32_t y = first; y < end; ++y) {
                        const int64_t row = static_cast<int64_t>(y) * width;
                        if (none) {
                          std::memmove(dst + row + left, src + row + left,
                                       static_cast<size_t>(right - left) * sizeof(uint32_t));
                          continue;
                        }
                        const unsigned char* s = reinterpret_cast<const unsigned char*>(src + row);
                        unsigned char* d = reinterpret_cast<unsigned char*>(dst + row);
                        if (mask == nullptr) {
                          // One byte table per channel, read by value: a byte
                          // store could otherwise be taken to change the
                          // tables' pointers (three planes' worth of 3072 x
                          // 2048 pixels, one thread: 17 ms reading them
                          // through the pointers, about 9 ms this way, about
                          // 3 ms with byte permutes). Buffers overlapping at
                          // an offset go pixel by pixel, as they always did.
                          if (shifted)
                            LookUpQuadsPlain(bytes, s + left * 4, d + left * 4, right - left);
                          else
                            LookUpQuads(bytes, s + left * 4, d + left * 4, right - left);
                        } else {
                          const int16_t* mrow = mask + row;
                          for (int32_t x = left; x < right; ++x) {
                            const int32_t m = mrow[x];
                            for (int k = 0; k < 4; ++k) {
                              const int32_t v = s[x * 4 + k];
                              const int32_t t = luts[k] != nullptr ? luts[k][v] : v;
                              int32_t r = (t * (8192 - m) + v * m) >> 13;
                              if (r > 255) r = 255;
                              if (r < 0) r = 0;
                              d[x * 4 + k] = static_cast<unsigned char>(r);
                            }
                          }
                        }
                      }
                    });
  return 0;
}

int32_t X_histo_buffer(int32_t height, int32_t width, const uint32_t* buffer, int32_t left,
                       int32_t top, int32_t right, int32_t bottom, int32_t* hist0,
                       int32_t* hist1, int32_t* hist2, int32_t* histMean, int32_t* max0,
                       int32_t* max1, int32_t* max2, int32_t* maxMean, int32_t* total) {
  int32_t* tables[4] = {hist0, hist1, hist2, histMean};
  for (int32_t* t : tables) {
    if (t != nullptr) std::memset(t, 0, 256 * sizeof(int32_t));
  }
  if (buffer == nullptr || hist0 == nullptr || hist1 == nullptr || hist2 == nullptr ||
      histMean == nullptr) {
    return 0;
  }
  if (!ClipInclusiveRect(width, height, left, top, right, bottom)) return 0;
  for (int32_t y = top; y <= bottom; ++y) {
    const unsigned char* p =
        reinterpret_cast<const unsigned char*>(buffer + static_cast<int64_t>(y) * width);
    for (int32_t x = left; x <= right; ++x) {
      const unsigned char* q = p + x * 4;
      ++hist0[q[0]];
      ++hist1[q[1]];
      ++hist2[q[2]];
      ++histMean[(q[0] + q[1] + q[2]) / 3];
    }
  }
  int32_t* maxima[4] = {max0, max1, max2, maxMean};
  int32_t sum = 0;
  for (int k = 0; k < 4; ++k) {
    int32_t best = 0;
    for (int i = 0; i < 256; ++i) {
      if (tables[k][i] > best) best = tables[k][i];
      if (k == 3) sum += tables[k][i];
    }
    if (maxima[k] != nullptr) *maxima[k] = best;
  }
  if (total != nullptr) *total = sum;
  return 0;
}

int32_t Y_lissage(int16_t levels, float* values, int32_t count, int32_t* keys, float* out) {
  // The work curves hold 65 entries, so six levels is the finest grid.
  if (levels < 2 || levels > 6 || count < 1 || values == nullptr || keys == nullptr ||
      out == nullptr) {
    return -1;
  }
  const int32_t n = levels;
  const int32_t N = (1 << n) + 1;
  for (int32_t i = 0; i < count; ++i) {
    if (keys[i] < 0 || keys[i] > N - 1) return -1;
  }

  for (int32_t pass = 0; pass < count / 2; ++pass) {
    for (int32_t i = 0; i + 1 < count; ++i) {
      if (keys[i] > keys[i + 1]) {
        const int32_t k = keys[i];
        keys[i] = keys[i + 1];
        keys[i + 1] = k;
        const float v = values[i];
        values[i] = values[i + 1];
        values[i + 1] = v;
      }
    }
  }

  float f[65];
  float t[65];
  float saved[65];
  unsigned char fixed[65];
  for (int32_t pass = 0; pass < 21; ++pass) {
    if (pass == 0) {
      f[0] = values[0];
      f[1] = values[count / 2];
      f[2] = values[count - 1];
    } else {
      f[0] = saved[0];
      f[1] = saved[N / 2];
      f[2] = saved[N - 1];
    }
    for (int32_t L = 2; L <= n; ++L) {
      const int32_t M = (1 << L) + 1;
      const int32_t shift = n - L;
      std::memset(fixed, 0, sizeof(fixed));
      for (int32_t k = M - 1; k >= 0; --k) {
        f[k] = (k % 2 == 0) ? f[k / 2] : (f[k / 2] + f[k / 2 + 1]) / 2.0f;
      }
      for (int32_t p = 0; p < count; ++p) {
        const int32_t idx = keys[p] >> shift;
        fixed[idx] = 1;
        f[idx] = (pass == 0 || L == n) ? values[p] : saved[idx << shift];
      }
      const bool fixed0 = fixed[0] != 0;
      const bool fixed1 = fixed[1] != 0;
      const int32_t relax = (5 * n) / L;
      for (int32_t r = 0; r < relax; ++r) {
        t[0] = fixed0 ? f[0] : f[1] + (f[0] - f[2]) / 2.0f;
        t[1] = fixed1 ? f[1] : (f[1] + f[2]) / 2.0f + (f[0] - f[3]) / 6.0f;
        for (int32_t k = 2; k <= M - 3; ++k) {
          t[k] = fixed[k] ? f[k]
                          : (f[k - 1] + f[k + 1]) / 3.0f + f[k] / 2.0f -
                                (f[k - 2] + f[k + 2]) / 12.0f;
        }
        t[M - 2] = fixed[M - 2] ? f[M - 2]
                                : (f[M - 2] + f[M - 3]) / 2.0f + (f[M - 1] - f[M - 4]) / 6.0f;
        t[M - 1] = fixed[M - 1] ? f[M - 1] : f[M - 2] + (f[M - 1] - f[M - 3]) / 2.0f;
        std::memcpy(f, t, static_cast<size_t>(M) * sizeof(float));
      }
    }
    if (pass < 20) std::memcpy(saved, f, static_cast<size_t>(N) * sizeof(float));
  }
  std::memcpy(out, f, static_cast<size_t>(N) * sizeof(float));
  return 0;
}

int32_t Y_interpolation_64_256(const float* in, float* out) {
  if (in == nullptr || out == nullptr) return 0;
  for (int32_t i = 0; i < 63; ++i) {
    for (int32_t k = 0; k < 4; ++k) {
      const float w = static_cast<float>(k) / 4.0f;
      out[4 * i + k] = in[i] * (1.0f - w) + in[i + 1] * w;
    }
  }
  const float e = 2.0f * in[63] - in[62];
  out[252] = in[63];
  out[253] = 0.75f * in[63] + 0.25f * e;
  out[254] = 0.5f * in[63] + 0.5f * e;
  out[255] = 0.25f * in[63] + 0.75f * e;
  return 0;
}

int32_t X_cnvRGB_to_LABbufs(int32_t, int32_t, const uint32_t*, unsigned char*, unsigned char*,
                            unsigned char*, int32_t, int32_t, int32_t, int32_t) {
  return 0;
}

int32_t X_cnvLABbufs_to_RGB(int32_t, int32_t, const unsigned char*, const unsigned char*,
                            const unsigned char*, uint32_t*, int32_t, int32_t, int32_t, int32_t) {
  return 0;
}
