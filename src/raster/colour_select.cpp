// Colour selection weights and the YMCK channel toolbox.
#include "raster/colour_select.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "app/core/colour_spaces.h"
#include "app/core/sample_clamp.h"
#include "platform/parallel/parallel.h"

namespace {

void BuildFalloff(int32_t* falloff, int32_t scale) {
  for (int32_t j = 0; j < 400; ++j) {
    const float t = static_cast<float>(j) / 400.0f;
    int32_t v = static_cast<int32_t>((1.0f + t * t * (t - 2.0f)) * static_cast<float>(scale));
    falloff[j] = ClampInt(v, 0, scale);
  }
  for (int32_t j = 400; j < kFalloffSize; ++j) falloff[j] = 0;
}

void BuildClamp(unsigned char* clamp) {
  for (int32_t i = 0; i < kClampTableSize; ++i) clamp[i] = static_cast<unsigned char>(Clamp255(i - 255));
}

// Weight 0..100 of q inside [lo, hi], 0 outside.
int32_t WindowWeight(float q, int32_t lo, int32_t hi) {
  if (q < static_cast<float>(lo) || q > static_cast<float>(hi)) return 0;
  const int32_t mid = (lo + hi) / 2;
  const int32_t half = (hi - lo) / 2;
  return static_cast<int32_t>(100.0f - std::fabs(q - static_cast<float>(mid)) * 100.0f /
                                           static_cast<float>(half + 1));
}

int32_t HueWeight(float H, int32_t hueMin, int32_t hueMax) {
  const int32_t half = (hueMax - hueMin) / 2;
  auto weigh = [half](float d) {
    return static_cast<int32_t>(100.0f - d * 100.0f / static_cast<float>(half + 1));
  };
  if (hueMin < 0) {
    if (H > static_cast<float>(hueMax) && H < static_cast<float>(hueMin + 360)) return 0;
    const int32_t mid = (hueMin + hueMax) / 2;
    if (mid < 0) return 100;
    const float fm = static_cast<float>(mid);
    float d;
    if (H >= fm && H >= static_cast<float>(hueMax)) {
      d = fm + 360.0f - H;
    } else if (H >= fm) {
      d = H - fm;
    } else {
      d = fm - H;
    }
    return weigh(d);
  }
  if (hueMax <= 360) return WindowWeight(H, hueMin, hueMax);
  if (H > static_cast<float>(hueMax - 360) && H < static_cast<float>(hueMin)) return 0;
  int32_t mid = (hueMin + hueMax) / 2;
  float d;
  if (mid <= 360) {
    const float fm = static_cast<float>(mid);
    if (H > fm) {
      d = H - fm;
    } else if (H < static_cast<float>(hueMin)) {
      d = H + 360.0f - fm;
    } else {
      d = fm - H;
    }
  } else {
    mid -= 360;
    const float fm = static_cast<float>(mid);
    if (H > fm && H >= static_cast<float>(hueMax - 360)) {
      d = fm + 360.0f - H;
    } else if (H > fm) {
      d = H - fm;
    } else {
      d = fm - H;
    }
  }
  return weigh(d);
}

// 0 where all three windows weigh 100, 255 where any weighs nothing.
int32_t SelectionOfWeights(int32_t wHue, int32_t wSat, int32_t wVal) {
  const float product =
      static_cast<float>(wHue) * static_cast<float>(wSat) * static_cast<float>(wVal);
  const auto v = static_cast<int32_t>((1000000.0f - product) * 255.0f / 1000000.0f);
  return std::clamp(v, 0, 255);
}

template <typename PixelFn>
void ForEachPixel(int32_t width, const uint32_t* src, uint32_t* dst, int32_t left, int32_t top,
                  int32_t right, int32_t bottom, PixelFn fn) {
  for (int32_t y = top; y <= bottom; ++y) {
    const int64_t row = static_cast<int64_t>(y) * width;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src + row);
    unsigned char* d = reinterpret_cast<unsigned char*>(dst + row);
    for (int32_t x = left; x <= right; ++x) fn(s + x * 4, d + x * 4);
  }
}

// One selection's update of the running values.
inline void ApplyRange(const TSelec* s, int32_t i, const int32_t f[4], int32_t v[4]) {
  const int32_t ranges[4] = {s->rangeY[i], s->rangeM[i], s->rangeC[i], s->rangeK[i]};
  for (int j = 0; j < 4; ++j) {
    int32_t idx = Clamp255(v[j]) + ((f[j] * ranges[j]) >> 8) + 255;
    // Centres and targets outside 0..255 would reach past the table.
    idx = ClampInt(idx, 0, kClampTableSize - 1);
    v[j] = s->clamp[idx];
  }
}

}  // namespace

void Calc_mskselHSV(int16_t hueMin, int16_t hueMax, int16_t satMin, int16_t satMax,
                    int16_t valMin, int16_t valMax, int32_t r, int32_t g, int32_t b,
                    int32_t* out) {
  if (out == nullptr) return;
  r = Clamp255(r);
  g = Clamp255(g);
  b = Clamp255(b);
  float H = 0.0f, S = 0.0f, V = 0.0f;
  RGBtoHSV(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), &H, &S, &V);
  const int32_t wHue = HueWeight(H, hueMin, hueMax);
  const int32_t wSat = WindowWeight(S * 100.0f, satMin, satMax);
  const int32_t wVal = WindowWeight(V, valMin, valMax);
  *out = SelectionOfWeights(wHue, wSat, wVal);
}

HsvSelection::HsvSelection(int16_t hueMin, int16_t hueMax, int16_t satMin, int16_t satMax,
                           int16_t valMin, int16_t valMax)
    : hueMin_(hueMin), hueMax_(hueMax), saturationWeight_(256 * 256, 0) {
  // The conversion's saturation and value of a pixel are those of its largest and smallest
  // component alone, so converting (largest, smallest, smallest) gives them bit for bit. The
  // 32,896 conversions go in bands of largest components to the shared threads: one after the
  // other they took about as long as a whole 6000 x 4000 selection's pixels on eight threads.
  int16_t* const value = valueWeight_;
  int16_t* const saturation = saturationWeight_.data();
  plat::ParallelFor(0, 256, 16, [=](int32_t first, int32_t end) {
    for (int32_t mx = first; mx < end; ++mx) {
      float H = 0.0f, S = 0.0f, V = 0.0f;
      RGBtoHSV(static_cast<float>(mx), 0.0f, 0.0f, &H, &S, &V);
      value[mx] = static_cast<int16_t>(WindowWeight(V, valMin, valMax));
      for (int32_t mn = 0; mn <= mx; ++mn) {
        RGBtoHSV(static_cast<float>(mx), static_cast<float>(mn), static_cast<float>(mn), &H, &S,
                 &V);
        saturation[mx * 256 + mn] = static_cast<int16_t>(WindowWeight(S * 100.0f, satMin, satMax));
      }
    }
  });
  // The smallest components a largest one is inside both windows with, from the first to the
  // last (none: an empty range).
  for (int32_t mx = 0; mx < 256; ++mx) {
    int32_t first = 256, last = -1;
    if (valueWeight_[mx] != 0)
      for (int32_t mn = 0; mn <= mx; ++mn)
        if (saturation[mx * 256 + mn] != 0) {
          if (first > mn) first = mn;
          last = mn;
        }
    low_[mx] = static_cast<unsigned char>(first <= last ? first : 255);
    high_[mx] = static_cast<unsigned char>(first <= last ? last : 0);
  }
}

int32_t HsvSelection::Inside(int32_t r, int32_t g, int32_t b, int32_t wSat, int32_t wVal) const {
  float H = 0.0f, S = 0.0f, V = 0.0f;
  RGBtoHSV(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), &H, &S, &V);
  return SelectionOfWeights(HueWeight(H, hueMin_, hueMax_), wSat, wVal);
}

void Init_MaskRGB(const int16_t* centreR, const int16_t* centreG, const int16_t* centreB,
                  const int16_t* active, const int16_t* tolerance, int16_t (*tabR)[256],
                  int16_t (*tabG)[256], int16_t (*tabB)[256], int32_t* falloff,
                  unsigned char* clamp) {
  (void)active;
  for (int32_t i = 0; i < 9; ++i) {
    const int32_t t = tolerance[i] * tolerance[i] / 100 + 10;
    const int32_t centres[3] = {centreR[i], centreG[i], centreB[i]};
    int16_t* tabs[3] = {tabR[i], tabG[i], tabB[i]};
    for (int ch = 0; ch < 3; ++ch) {
      for (int32_t v = 0; v < 256; ++v) {
        const int32_t d = std::abs(v - centres[ch]) * 1000 / t;
        tabs[ch][v] = static_cast<int16_t>(d < 400 ? d : 400);
      }
    }
  }
  BuildFalloff(falloff, 255);
  BuildClamp(clamp);
}

void Calc_MaskRGB(int16_t mode, TMaskPar* mask, const int16_t* centreR, const int16_t* centreG,
                  const int16_t* centreB, const int16_t* active, const int16_t* strength,
                  const int16_t* tolerance, const int16_t* remove, int32_t r, int32_t g,
                  int32_t b, int32_t* out) {
  if (mask == nullptr) return;
  if (mode == 0) {
    Init_MaskRGB(centreR, centreG, centreB, active, tolerance, mask->tabR, mask->tabG, mask->tabB,
                 mask->falloff, mask->clamp);
    return;
  }
  if (out == nullptr) return;
  r = Clamp255(r);
  g = Clamp255(g);
  b = Clamp255(b);
  int32_t v = 0;
  for (int32_t i = 0; i < 9; ++i) {
    if (active[i] != 1) continue;
    const int32_t f = mask->falloff[mask->tabR[i][r] + mask->tabG[i][g] + mask->tabB[i][b]];
    const int32_t amount = (f * strength[i]) >> 3;
    if (remove[i] != 0) {
      v -= amount;
      if (v < 0) v = 0;
    } else {
      v += amount;
      if (v > 254) v = 255;
    }
  }
  *out = v;
}

void Init_selYMCK(int16_t mode, TSelec* selection, const int32_t* centreY, const int32_t* centreM,
                  const int32_t* centreC, const int32_t* centreK, const int32_t* targetY,
                  const int32_t* targetM, const int32_t* targetC, const int32_t* targetK,
                  const int32_t* active, const int32_t* tolerance1, const int32_t* tolerance2,
                  const int32_t* tolerance3, const int32_t* tolerance4) {
  TSelec* s = selection;
  for (int32_t i = 0; i < 8; ++i) {
    const bool on = active[i] == 1;
    s->rangeY[i] = on ? targetY[i] - centreY[i] : 0;
    s->rangeM[i] = on ? targetM[i] - centreM[i] : 0;
    s->rangeC[i] = on ? targetC[i] - centreC[i] : 0;
    s->rangeK[i] = on ? targetK[i] - centreK[i] : 0;
    s->tolerance1[i] = tolerance1[i] * tolerance1[i] + 10;
    s->tolerance2[i] = tolerance2[i] * tolerance2[i] + 10;
    s->tolerance3[i] = tolerance3[i] * tolerance3[i] + 10;
    s->tolerance4[i] = tolerance4[i] * tolerance4[i] + 10;
    // Yellow pairs with the third tolerance, magenta the second, cyan the
    // first and black the fourth.
    const int32_t centres[4] = {centreY[i], centreM[i], centreC[i], centreK[i]};
    const int32_t slots[4] = {s->tolerance3[i], s->tolerance2[i], s->tolerance1[i],
                              s->tolerance4[i]};
    int32_t* tabs[4] = {s->distY[i], s->distM[i], s->distC[i], s->distK[i]};
    for (int ch = 0; ch < 4; ++ch) {
      for (int32_t v = 0; v < 256; ++v) {
        const int32_t d = v - centres[ch];
        if (mode != 0) {
          tabs[ch][v] = d * d;
        } else {
          const int32_t e = std::abs(d) * 1000 / slots[ch];
          tabs[ch][v] = e < 400 ? e : 400;
        }
      }
    }
  }
  BuildFalloff(s->falloff, 256);
  BuildClamp(s->clamp);
}

namespace {

// Runs the eight selections one after another over the running values;
// `falloffs(i, sum, f)` gives each channel's falloff for selection i from
// the sum of its four distance entries.
template <typename Falloffs>
void RunSelections(const TSelec* s, int32_t y, int32_t m, int32_t c, int32_t k, int32_t* outY,
                   int32_t* outM, int32_t* outC, int32_t* outK, Falloffs falloffs) {
  int32_t v[4] = {y, m, c, k};
  const int32_t in[4] = {Clamp255(y), Clamp255(m), Clamp255(c), Clamp255(k)};
  for (int32_t i = 0; i < 8; ++i) {
    const int32_t sum = s->distY[i][in[0]] + s->distM[i][in[1]] + s->distC[i][in[2]] +
                        s->distK[i][in[3]];
    int32_t f[4];
    falloffs(i, sum, f);
    ApplyRange(s, i, f, v);
  }
  *outY = v[0];
  *outM = v[1];
  *outC = v[2];
  *outK = v[3];
}

}  // namespace

void Calc_sel0YMCK(const TSelec* selection, int32_t y, int32_t m, int32_t c, int32_t k,
                   int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK) {
  RunSelections(selection, y, m, c, k, outY, outM, outC, outK,
                [selection](int32_t, int32_t sum, int32_t f[4]) {
                  const int32_t fv = selection->falloff[sum < kFalloffSize ? sum : kFalloffSize - 1];
                  f[0] = f[1] = f[2] = f[3] = fv;
                });
}

void Calc_sel1YMCK(const TSelec* selection, int32_t y, int32_t m, int32_t c, int32_t k,
                   int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK) {
  const TSelec* s = selection;
  RunSelections(s, y, m, c, k, outY, outM, outC, outK, [s](int32_t i, int32_t sum, int32_t f[4]) {
    const double d = std::sqrt(static_cast<double>(sum)) * 1000.0;
    const int32_t slots[4] = {s->tolerance3[i], s->tolerance2[i], s->tolerance1[i],
                              s->tolerance4[i]};
    for (int j = 0; j < 4; ++j) {
      const double q = d / slots[j];
      f[j] = s->falloff[q >= kFalloffSize - 1 ? kFalloffSize - 1 : static_cast<int32_t>(q)];
    }
  });
}

int32_t X_seleYMCK_buffer(int16_t mode, int32_t height, int32_t width, const uint32_t* src,
                          uint32_t* dst, int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int32_t ignored1, int32_t ignored2, TSelec* selection,
                          const int32_t* centreY, const int32_t* centreM, const int32_t* centreC,
                          const int32_t* centreK, const int32_t* targetY, const int32_t* targetM,
                          const int32_t* targetC, const int32_t* targetK, const int32_t* active,
                          const int32_t* tolerance1, const int32_t* tolerance2,
                          const int32_t* tolerance3, const int32_t* tolerance4) {
  (void)ignored1;
  (void)ignored2;
  if (src == nullptr || dst == nullptr || selection == nullptr ||
      !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return -1;
  }
  Init_selYMCK(mode, selection, centreY, centreM, centreC, centreK, targetY, targetM, targetC,
               targetK, active, tolerance1, tolerance2, tolerance3, tolerance4);
  ForEachPixel(width, src, dst, left, top, right, bottom,
               [&](const unsigned char* s, unsigned char* d) {
                 int32_t o[4];
                 if (mode != 0) {
                   Calc_sel1YMCK(selection, s[0], s[1], s[2], s[3], &o[0], &o[1], &o[2], &o[3]);
                 } else {
                   Calc_sel0YMCK(selection, s[0], s[1], s[2], s[3], &o[0], &o[1], &o[2], &o[3]);
                 }
                 for (int j = 0; j < 4; ++j) d[j] = static_cast<unsigned char>(o[j]);
               });
  return 0;
}

void Calc_exchYMCK(int16_t channels, const int32_t* coefY, const int32_t* coefM,
                   const int32_t* coefC, const int32_t* coefK, const int32_t* constants,
                   int32_t y, int32_t m, int32_t c, int32_t k, int32_t* outY, int32_t* outM,
                   int32_t* outC, int32_t* outK) {
  const int32_t in[4] = {y, m, c, k};
  int32_t* outs[4] = {outY, outM, outC, outK};
  for (int j = 0; j < 4; ++j) {
    int32_t v = in[j];
    if ((channels & (1 << j)) != 0) {
      // 64-bit: coefficients far beyond a hundred percent must clamp, not wrap.
      const int64_t sum = int64_t{y} * coefY[j] + int64_t{m} * coefM[j] + int64_t{c} * coefC[j] +
                          int64_t{k} * coefK[j] + int64_t{255} * constants[j];
      v = static_cast<int32_t>(std::clamp<int64_t>(sum / 100, -1, 256));
    }
    *outs[j] = Clamp255(v);
  }
}

int32_t X_exchYMCK_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                          int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int16_t channels, const int32_t* coefY, const int32_t* coefM,
                          const int32_t* coefC, const int32_t* coefK, const int32_t* constants) {
  if (src == nullptr || dst == nullptr || !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return -1;
  }
  ForEachPixel(width, src, dst, left, top, right, bottom,
               [&](const unsigned char* s, unsigned char* d) {
                 int32_t o[4];
                 Calc_exchYMCK(channels, coefY, coefM, coefC, coefK, constants, s[0], s[1], s[2],
                               s[3], &o[0], &o[1], &o[2], &o[3]);
                 for (int j = 0; j < 4; ++j) d[j] = static_cast<unsigned char>(o[j]);
               });
  return 0;
}

int16_t Calc_lutYMCK(int16_t channels, const int16_t* lutY, const int16_t* lutM,
                     const int16_t* lutC, const int16_t* lutK, int32_t y, int32_t m, int32_t c,
                     int32_t k, int32_t* outY, int32_t* outM, int32_t* outC, int32_t* outK) {
  const int32_t in[4] = {y, m, c, k};
  const int16_t* luts[4] = {lutY, lutM, lutC, lutK};
  int32_t* outs[4] = {outY, outM, outC, outK};
  for (int j = 0; j < 4; ++j) {
    const bool on = (channels & (1 << j)) != 0 && luts[j] != nullptr;
    *outs[j] = Clamp255(on ? luts[j][Clamp255(in[j])] : in[j]);
  }
  return channels;
}

int32_t X_gradYMCK_buffer(int32_t height, int32_t width, const uint32_t* src, uint32_t* dst,
                          int32_t left, int32_t top, int32_t right, int32_t bottom,
                          int16_t channels, int16_t ignored, const int16_t* lutY,
                          const int16_t* lutM, const int16_t* lutC, const int16_t* lutK) {
  (void)ignored;
  if (src == nullptr || dst == nullptr || !ClipInclusiveRect(width, height, left, top, right, bottom)) {
    return -1;
  }
  int16_t tables[4][256];
  const int16_t* luts[4] = {lutY, lutM, lutC, lutK};
  bool on[4];
  for (int j = 0; j < 4; ++j) {
    on[j] = (channels & (1 << j)) != 0 && luts[j] != nullptr;
    if (on[j]) std::memcpy(tables[j], luts[j], sizeof(tables[j]));
  }
  ForEachPixel(width, src, dst, left, top, right, bottom,
               [&](const unsigned char* s, unsigned char* d) {
                 for (int j = 0; j < 4; ++j) {
                   d[j] = on[j] ? static_cast<unsigned char>(tables[j][s[j]] & 0xFF) : s[j];
                 }
               });
  return 0;
}
