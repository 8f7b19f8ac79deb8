#include "script/ramp_bitmaps.h"

#include <algorithm>
#include <cstddef>

#include "app/core/colour_spaces.h"
#include "app/core/memory_manager.h"
#include "platform/memory/block.h"

namespace {

int32_t WidthOf(const Rect* r) {
  return r->right - r->left;
}
int32_t HeightOf(const Rect* r) {
  return r->bottom - r->top;
}

// Ramp position of column x in a bar of width w.
int32_t Position(int32_t x, int32_t w) {
  return x * 255 / w;
}

// 255 where the cell's column and row parities agree; the cells are 4 x 4
// pixels of the view, `scale` device pixels each way per pixel.
uint8_t Checker(int32_t x, int32_t y, int32_t scale) {
  if (scale == 1) return ((x >> 2) & 1) == ((y >> 2) & 1) ? 255 : 0;
  const int32_t cell = 4 * scale;
  return ((x / cell) & 1) == ((y / cell) & 1) ? 255 : 0;
}

// The density of a picture drawn for the screen: 1 below.
int32_t Density(int32_t scale) {
  return scale > 1 ? scale : 1;
}

uint16_t Component(int64_t v) {
  return static_cast<uint16_t>(std::clamp<int64_t>(v, 0, 65535));
}

uint8_t ToByte(float v) {
  return static_cast<uint8_t>(std::clamp(static_cast<int>(v * 255.0), 0, 255));
}

// The hue of column dx, each of the six ramps seg pixels wide.
void Hue(int64_t dx, int64_t seg, int64_t c[3]) {
  constexpr int64_t F = 65535;
  if (dx < 0) dx = 0;
  if (dx >= 6 * seg) {
    c[0] = F, c[1] = 0, c[2] = 0;
  } else if (dx < seg) {
    c[0] = F, c[1] = dx * F / seg, c[2] = 0;
  } else if (dx < 2 * seg) {
    c[0] = (2 * seg - dx) * F / seg, c[1] = F, c[2] = 0;
  } else if (dx < 3 * seg) {
    c[0] = 0, c[1] = F, c[2] = (dx - 2 * seg) * F / seg;
  } else if (dx < 4 * seg) {
    c[0] = 0, c[1] = (4 * seg - dx) * F / seg, c[2] = F;
  } else if (dx < 5 * seg) {
    c[0] = (dx - 4 * seg) * F / seg, c[1] = 0, c[2] = F;
  } else {
    c[0] = F, c[1] = 0, c[2] = (6 * seg - dx) * F / seg;
  }
}

// One line of a control-point edit over table t: from `left` at a to v at mid, from v at mid
// to `right` at b.
struct Anchors {
  int32_t mid;
  bool snapLeft, snapRight;
};

Anchors AnchorsOf(int32_t a, int32_t b, int32_t m) {
  Anchors k{m, false, false};
  if (m < a + 3) k = {a, true, false};
  if (b - 3 < k.mid) k.mid = b, k.snapRight = true;
  return k;
}

void Interpolate(uint8_t* t, int32_t a, int32_t b, const Anchors& k, int64_t v) {
  const int64_t left = k.snapLeft ? v : t[a];
  const int64_t right = k.snapRight ? v : t[b];
  const int32_t mid = k.mid;
  if (mid > a)
    for (int32_t i = a; i <= mid; ++i)
      t[i] = static_cast<uint8_t>((left * (mid - i) + v * (i - a)) / (mid - a));
  if (mid < b)
    for (int32_t i = mid; i <= b; ++i)
      t[i] = static_cast<uint8_t>((v * (b - i) + right * (i - mid)) / (b - mid));
}

// The range of an edit cut to the ramp; false when nothing is left of it.
bool CutRange(int16_t& a, int16_t& b) {
  a = std::max<int16_t>(a, 0);
  b = std::min<int16_t>(b, 255);
  return a <= b;
}

}  // namespace

void getAPick(int32_t x, int32_t, const Rect* r, uint16_t* out) {
  if (r == nullptr || out == nullptr) return;
  const int32_t w = WidthOf(r);
  *out = w > 0 ? static_cast<uint16_t>(x * 255 / w) : 0;
}

int32_t getVPick(int32_t x, int32_t y, const Rect* r, uint16_t* red, uint16_t* green,
                 uint16_t* blue) {
  if (r == nullptr) return 0;
  const auto seg = static_cast<int64_t>(WidthOf(r) / 6.0 + 0.5);
  const auto hh = static_cast<int64_t>(static_cast<float>(HeightOf(r)) * 0.5f + 0.5f);
  const int64_t dx = x - r->left, dy = y - r->top;
  int64_t c[3];
  Hue(dx, seg, c);
  uint16_t* out[3] = {red, green, blue};
  for (int k = 0; k < 3; ++k) {
    int64_t v = c[k];
    if (hh > 0) v = dy < hh ? ((hh - dy) * 65535 + c[k] * dy) / hh : c[k] * (2 * hh - dy) / hh;
    if (out[k] != nullptr) *out[k] = Component(v);
  }
  return y - r->top;
}

void build_BufPick(int16_t, const Rect* r, uint8_t* bitmap, int16_t hue, int16_t saturation,
                   int16_t lightness) {
  if (r == nullptr || bitmap == nullptr) return;
  const int32_t w = WidthOf(r), h = HeightOf(r);
  const Rect field{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4) {
      uint16_t c[3];
      getVPick(x, h - y, &field, &c[0], &c[1], &c[2]);
      float f[3];
      for (int k = 0; k < 3; ++k) f[k] = static_cast<float>(c[k] / 65535.0);
      RGBHSLadjust(&f[0], &f[1], &f[2], hue, saturation, lightness);
      for (int k = 0; k < 3; ++k) p[k] = ToByte(f[k]);
      p[3] = 0;
    }
  }
}

void build_BufPat(const Rect* r, uint8_t* bitmap) {
  build_BufPatAt(1, r, bitmap);
}

void build_BufPatAt(int32_t scale, const Rect* r, uint8_t* bitmap) {
  if (r == nullptr || bitmap == nullptr) return;
  const int32_t w = WidthOf(r), h = HeightOf(r), k = Density(scale);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4) {
      p[0] = p[1] = p[2] = Checker(x, y, k);
      p[3] = 0;
    }
  }
}

void build_BufPickPat(const Rect* r, uint8_t* bitmap) {
  build_BufPickPatAt(1, r, bitmap);
}

void build_BufPickPatAt(int32_t scale, const Rect* r, uint8_t* bitmap) {
  if (r == nullptr || bitmap == nullptr) return;
  const int32_t w = WidthOf(r), h = HeightOf(r);
  build_BufPatAt(scale, r, bitmap);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4)
      for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((255 - Position(x, w)) * p[k] / 255);
  }
}

int32_t build_BufBarOpa(const Rect* r, uint8_t* bitmap, const LutVign* lut) {
  return build_BufBarOpaAt(1, r, bitmap, lut);
}

int32_t build_BufBarOpaAt(int32_t scale, const Rect* r, uint8_t* bitmap, const LutVign* lut) {
  if (r == nullptr || bitmap == nullptr || lut == nullptr) return 0;
  const int32_t w = WidthOf(r), h = HeightOf(r);
  build_BufPatAt(scale, r, bitmap);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4) {
      const int32_t o = lut->opacity[Position(x, w)];
      for (int k = 0; k < 3; ++k) p[k] = static_cast<uint8_t>((255 - o) * p[k] / 255);
    }
  }
  return w * 4;
}

namespace {

// Per column of a bar: the shifted colour at p(x) and the opacity there. The shift depends on
// the position only, so the ramp is shifted once, exactly as a ramp file's save shifts it.
struct BarColumns {
  BarColumns(const LutVign* lut, int16_t hue, int16_t saturation, int16_t lightness)
      : shifted(*lut) {
    HSLadjust_LutVign(&shifted, hue, saturation, lightness);
  }
  // (colour x o + (255 - o) x old) / 255 at position p.
  uint8_t Over(int k, int32_t p, uint8_t old) const {
    const int32_t o = shifted.opacity[p];
    return static_cast<uint8_t>((shifted.colour[k][p] * o + (255 - o) * old) / 255);
  }
  LutVign shifted;
};

}  // namespace

void build_BufBar(const Rect* r, uint8_t* bitmap, const LutVign* lut, int16_t hue,
                  int16_t saturation, int16_t lightness) {
  build_BufBarAt(1, r, bitmap, lut, hue, saturation, lightness);
}

void build_BufBarAt(int32_t scale, const Rect* r, uint8_t* bitmap, const LutVign* lut, int16_t hue,
                    int16_t saturation, int16_t lightness) {
  if (r == nullptr || bitmap == nullptr || lut == nullptr) return;
  const int32_t w = WidthOf(r), h = HeightOf(r);
  build_BufPatAt(scale, r, bitmap);
  const BarColumns bar(lut, hue, saturation, lightness);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* p = bitmap + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int32_t x = 0; x < w; ++x, p += 4)
      for (int k = 0; k < 3; ++k) p[k] = bar.Over(k, Position(x, w), p[k]);
  }
}

void build_BufRGBBar(const Rect* r, uint8_t* red, uint8_t* green, uint8_t* blue, const LutVign* lut,
                     int16_t hue, int16_t saturation, int16_t lightness) {
  build_BufRGBBarAt(1, r, red, green, blue, lut, hue, saturation, lightness);
}

void build_BufRGBBarAt(int32_t scale, const Rect* r, uint8_t* red, uint8_t* green, uint8_t* blue,
                       const LutVign* lut, int16_t hue, int16_t saturation, int16_t lightness) {
  if (r == nullptr || lut == nullptr) return;
  const int32_t w = WidthOf(r), h = HeightOf(r), s = Density(scale);
  if (w <= 0 || h <= 0) return;
  const BarColumns bar(lut, hue, saturation, lightness);
  // Each column's result over a white and over a black cell, so a row is a choice per pixel.
  plat::Block<uint8_t> over(static_cast<int64_t>(w) * 6, WorkSource());
  if (!over) return;
  for (int32_t x = 0; x < w; ++x)
    for (int k = 0; k < 3; ++k) {
      over[(static_cast<int64_t>(k) * 2) * w + x] = bar.Over(k, Position(x, w), 0);
      over[(static_cast<int64_t>(k) * 2 + 1) * w + x] = bar.Over(k, Position(x, w), 255);
    }
  uint8_t* planes[3] = {red, green, blue};
  for (int k = 0; k < 3; ++k) {
    if (planes[k] == nullptr) continue;
    const uint8_t* onBlack = &over[static_cast<int64_t>(k) * 2 * w];
    const uint8_t* onWhite = onBlack + w;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = planes[k] + static_cast<size_t>(y) * static_cast<size_t>(w);
      for (int32_t x = 0; x < w; ++x) row[x] = Checker(x, y, s) != 0 ? onWhite[x] : onBlack[x];
    }
  }
}

void InterLutOpa(int16_t a, int16_t b, LutVign* lut, int16_t m, int32_t value) {
  if (lut == nullptr || !CutRange(a, b)) return;
  Interpolate(lut->opacity, a, b, AnchorsOf(a, b, m), value);
}

void InterLutCol(int16_t a, int16_t b, LutVign* lut, int16_t m, int32_t red, int32_t green,
                 int32_t blue) {
  if (lut == nullptr || !CutRange(a, b)) return;
  const Anchors k = AnchorsOf(a, b, m);
  const int32_t v[3] = {red, green, blue};
  for (int t = 0; t < 3; ++t) Interpolate(lut->colour[t], a, b, k, v[t]);
}
