// Blend kernels and colour-space conversions. The kernels run once per
// channel per pixel in every renderer, so they stay integer-only with one
// switch on the mode; every division truncates toward zero as C does.
#include "app/core/colour_spaces.h"

#include <cmath>
#include <cstring>

#include "app/core/sample_clamp.h"

namespace {

// The shared part of both kernels: 1 when `out` received a result.
inline bool BlendValue(uint32_t mode, int32_t a, int32_t b, int32_t* out) {
  switch (mode) {
    case 1:
      *out = b;
      return true;
    case 2:
      *out = a + b > 255 ? 255 : a + b;
      return true;
    case 3:
      *out = a - b < 0 ? 0 : a - b;
      return true;
    case 4:
      *out = a > b ? a : b;
      return true;
    case 5:
      *out = a < b ? a : b;
      return true;
    case 6:
      *out = a > b ? a - b : b - a;
      return true;
    case 7:
      *out = a * b / 255;
      return true;
    case 8:
      // The product of the complements, deliberately not complemented again.
      *out = (255 - a) * (255 - b) / 255;
      return true;
    case 9:
      if (b <= 128) {
        *out = Clamp255(a - (255 - a) * a * (128 - b) / 32640);
      } else {
        *out = Clamp255(a + (255 - a) * a * (b - 128) / 32640);
      }
      return true;
    default:
      return false;
  }
}

}  // namespace

void X_optionRPart(unsigned char* dst, uint32_t mode, int32_t a, int32_t b) {
  int32_t v = 0;
  if (BlendValue(mode, a, b, &v)) {
    *dst = static_cast<unsigned char>(v);
    return;
  }
  switch (mode) {
    case 10:
      if (b <= 128) {
        v = 2 * a * b / 255;
        if (v > 255) v = 255;
      } else {
        v = 255 - (255 - a) * (511 - 2 * b) / 255;
      }
      break;
    case 11:
      v = Clamp255(a + a * (b - 128) / 128);
      break;
    case 12:
      v = b <= 128 ? a : (a * (511 - 2 * b) + (2 * b - 256) * (255 - a)) / 255;
      break;
    default:
      return;
  }
  *dst = static_cast<unsigned char>(v);
}

void X_optionRGBPart(unsigned char* dstR, unsigned char* dstG, unsigned char* dstB, uint32_t mode,
                     const int16_t* shift, int32_t aR, int32_t aG, int32_t aB, int32_t bR,
                     int32_t bG, int32_t bB) {
  if (mode == 10) {
    if (shift == nullptr) return;
    *dstR = static_cast<unsigned char>(Clamp255(bR - (shift[3] - shift[0])));
    *dstG = static_cast<unsigned char>(Clamp255(bG - (shift[4] - shift[1])));
    *dstB = static_cast<unsigned char>(Clamp255(bB - (shift[5] - shift[2])));
    return;
  }
  int32_t r = 0, g = 0, b = 0;
  if (!BlendValue(mode, aR, bR, &r)) return;
  BlendValue(mode, aG, bG, &g);
  BlendValue(mode, aB, bB, &b);
  *dstR = static_cast<unsigned char>(r);
  *dstG = static_cast<unsigned char>(g);
  *dstB = static_cast<unsigned char>(b);
}

float max3(float a, float b, float c) {
  float m = a > b ? a : b;
  return m > c ? m : c;
}

float min3(float a, float b, float c) {
  float m = a < b ? a : b;
  return m < c ? m : c;
}

void RGBtoHLS(float r, float g, float b, float* h, float* l, float* s) {
  const float mx = max3(r, g, b);
  const float mn = min3(r, g, b);
  *l = (mx + mn) / 2.0f;
  const float delta = mx - mn;
  if (std::fabs(delta) < 0.001f) {
    *h = 0.0f;
    *s = 0.0f;
    return;
  }
  *s = *l <= 0.5f ? delta / (mx + mn) : delta / (2.0f - mx - mn);
  float hue;
  if (r == mx) {
    hue = (g - b) / delta;
  } else if (g == mx) {
    hue = 2.0f + (b - r) / delta;
  } else {
    hue = 4.0f + (r - g) / delta;
  }
  hue *= 60.0f;
  if (hue < 0.0f) hue += 360.0f;
  *h = hue;
}

float value(float m1, float m2, float hue) {
  hue = WrapHue(hue);
  if (hue < 60.0f) return m1 + (m2 - m1) * hue / 60.0f;
  if (hue < 180.0f) return m2;
  if (hue < 240.0f) return m1 + (m2 - m1) * (240.0f - hue) / 60.0f;
  return m1;
}

void HLStoRGB(float h, float l, float s, float* r, float* g, float* b) {
  const float m2 = l <= 0.5f ? l * (1.0f + s) : l + s - l * s;
  const float m1 = 2.0f * l - m2;
  if (s == 0.0f && h == kUndefinedHue) {
    *r = *g = *b = l;
    return;
  }
  auto limit = [](float v) { return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v); };
  *r = limit(value(m1, m2, h + 120.0f));
  *g = limit(value(m1, m2, h));
  *b = limit(value(m1, m2, h - 120.0f));
}

void RGBHSLadjust(float* r, float* g, float* b, int32_t hueOffset, int32_t saturationPercent,
                  int32_t lightnessOffset) {
  float h = 0.0f, l = 0.0f, s = 0.0f;
  RGBtoHLS(*r, *g, *b, &h, &l, &s);
  h = WrapHue(h + static_cast<float>(hueOffset));
  s *= 1.0f + static_cast<float>(saturationPercent) / 100.0f;
  s = Clamp01(s);
  l += static_cast<float>(lightnessOffset) / 100.0f;
  l = Clamp01(l);
  HLStoRGB(h, l, s, r, g, b);
}

void RGBtoHSV(float r, float g, float b, float* h, float* s, float* v) {
  const float mx = max3(r, g, b);
  const float mn = min3(r, g, b);
  *v = mx;
  *s = mx != 0.0f ? (mx - mn) / mx : 0.0f;
  if (*s == 0.0f) {
    *h = kUndefinedHue;
    return;
  }
  const float delta = mx - mn;
  const float rc = (mx - r) / delta;
  const float gc = (mx - g) / delta;
  const float bc = (mx - b) / delta;
  float hue;
  if (r == mx) {
    hue = bc - gc;
  } else if (g == mx) {
    hue = 2.0f + rc - bc;
  } else {
    hue = 4.0f + gc - rc;
  }
  hue *= 60.0f;
  if (hue < 0.0f) hue += 360.0f;
  *h = hue;
}

void HSVtoRGB(float h, float s, float v, float* r, float* g, float* b) {
  if (s == 0.0f) {
    // A grey keeps its value; a saturation of 0 with a defined hue is not a
    // colour this conversion knows, and the outputs are left as they were.
    if (h == kUndefinedHue) *r = *g = *b = v;
    return;
  }
  if (h < 0.0f) h += 360.0f;
  int32_t i;
  float f;
  if (h == 360.0f) {
    i = 0;
    f = 0.0f;
  } else {
    const float sector = h / 60.0f;
    i = static_cast<int32_t>(sector);
    f = sector - static_cast<float>(i);
  }
  const float p = v * (1.0f - s);
  const float q = v * (1.0f - s * f);
  const float t = v * (1.0f - s * (1.0f - f));
  switch (i) {
    case 0: *r = v; *g = t; *b = p; break;
    case 1: *r = q; *g = v; *b = p; break;
    case 2: *r = p; *g = v; *b = t; break;
    case 3: *r = p; *g = q; *b = v; break;
    case 4: *r = t; *g = p; *b = v; break;
    case 5: *r = v; *g = p; *b = q; break;
    default: break;
  }
}

void RGB2YIQ(float r, float g, float b, float& y, float& i, float& q) {
  y = static_cast<float>(0.299 * r + 0.587 * g + 0.114 * b);
  i = static_cast<float>(0.596 * r - 0.274 * g - 0.322 * b);
  q = static_cast<float>(0.211 * r - 0.522 * g + 0.311 * b);
}

void YIQ2RGB(float y, float i, float q, float& r, float& g, float& b) {
  r = static_cast<float>(y + 0.956 * i + 0.623 * q);
  g = static_cast<float>(y - 0.272 * i - 0.648 * q);
  b = static_cast<float>(y - 1.105 * i + 1.705 * q);
}

void RGB2CIE(float r, float g, float b, float& x, float& y, float& Y) {
  const double X = 0.478 * r + 0.299 * g + 0.175 * b;
  const double YY = 0.263 * r + 0.655 * g + 0.081 * b;
  const double Z = 0.02 * r + 0.16 * g + 0.908 * b;
  const double sum = X + YY + Z;
  // Black has no chromaticity; report (0, 0) rather than dividing by zero.
  x = sum != 0.0 ? static_cast<float>(X / sum) : 0.0f;
  y = sum != 0.0 ? static_cast<float>(YY / sum) : 0.0f;
  Y = static_cast<float>(YY);
}

void CIE2RGB(float x, float y, float Y, float& r, float& g, float& b) {
  // A chromaticity y of 0 carries no light: black instead of a division by zero.
  const double X = y != 0.0f ? static_cast<double>(x) * Y / y : 0.0;
  const double Z = y != 0.0f ? (1.0 - x - y) * Y / y : 0.0;
  const double YY = y != 0.0f ? Y : 0.0;
  r = static_cast<float>(2.739 * X - 1.145 * YY - 0.424 * Z);
  g = static_cast<float>(-1.119 * X + 2.029 * YY + 0.033 * Z);
  b = static_cast<float>(0.138 * X - 0.333 * YY + 1.105 * Z);
}

void RGB2CMY(float r, float g, float b, float& c, float& m, float& y) {
  c = 1.0f - r;
  m = 1.0f - g;
  y = 1.0f - b;
}

void RGB2CMYK(float r, float g, float b, float& c, float& m, float& y, float& k) {
  RGB2CMY(r, g, b, c, m, y);
  k = min3(c, m, y);
  c -= k;
  m -= k;
  y -= k;
}

void mixcolors(float x1, float y1, float Y1, float x2, float y2, float Y2, float& x, float& y,
               float& Y) {
  const float w1 = Y1 / y1;
  const float w2 = Y2 / y2;
  x = (w1 * x1 + w2 * x2) / (w1 + w2);
  y = (w1 * y1 + w2 * y2) / (w1 + w2);
  Y = Y1 + Y2;
}

void ReverseColLongBuf(uint32_t* buffer, int32_t width, int32_t height) {
  if (buffer == nullptr || width <= 0) return;
  for (int32_t k = 0; k < height / 2; ++k) {
    uint32_t* top = buffer + static_cast<int64_t>(k) * width;
    uint32_t* bottom = buffer + static_cast<int64_t>(height - 1 - k) * width;
    for (int32_t x = 0; x < width; ++x) {
      const uint32_t t = top[x];
      top[x] = bottom[x];
      bottom[x] = t;
    }
  }
}

void ReverseColCharBuf(unsigned char* buffer, int32_t width, int32_t height) {
  if (buffer == nullptr || width <= 0) return;
  for (int32_t k = 0; k < height / 2; ++k) {
    unsigned char* top = buffer + static_cast<int64_t>(k) * width;
    unsigned char* bottom = buffer + static_cast<int64_t>(height - 1 - k) * width;
    for (int32_t x = 0; x < width; ++x) {
      const unsigned char t = top[x];
      top[x] = bottom[x];
      bottom[x] = t;
    }
  }
}

void BufRGBAtoARGB(uint32_t* buffer, int32_t width, int32_t height) {
  if (buffer == nullptr || width <= 0 || height <= 0) return;
  unsigned char* p = reinterpret_cast<unsigned char*>(buffer);
  const int64_t n = static_cast<int64_t>(width) * height;
  for (int64_t i = 0; i < n; ++i, p += 4) {
    const unsigned char alpha = p[3];
    p[3] = p[2];
    p[2] = p[1];
    p[1] = p[0];
    p[0] = alpha;
  }
}

namespace {

struct RoughMap {
  int32_t sl, st, sr, sb, dl, dt, dr, db;
};

// Clips both inclusive rectangles to their buffers; false when either has no
// extent on an axis (the copy divides by the destination's spans).
bool ClipRough(int32_t srcHeight, int32_t srcWidth, int32_t dstHeight, int32_t dstWidth,
               RoughMap& m) {
  (void)ClipInclusiveRect(srcWidth, srcHeight, m.sl, m.st, m.sr, m.sb);
  (void)ClipInclusiveRect(dstWidth, dstHeight, m.dl, m.dt, m.dr, m.db);
  return m.sl < m.sr && m.st < m.sb && m.dl < m.dr && m.dt < m.db;
}

template <typename Store>
void RoughCopy(const uint32_t* src, int32_t srcWidth, const RoughMap& m, Store store) {
  for (int32_t j = m.dt; j <= m.db; ++j) {
    const int32_t sy = m.st + (j - m.dt) * (m.sb - m.st) / (m.db - m.dt);
    const uint32_t* row = src + static_cast<int64_t>(sy) * srcWidth;
    for (int32_t i = m.dl; i <= m.dr; ++i) {
      const int32_t sx = m.sl + (i - m.dl) * (m.sr - m.sl) / (m.dr - m.dl);
      store(j, i, row[sx]);
    }
  }
}

}  // namespace

int32_t RoughLongBufToLongBuf(int32_t srcHeight, int32_t srcWidth, const uint32_t* src,
                              int32_t dstHeight, int32_t dstWidth, uint32_t* dst, int32_t srcLeft,
                              int32_t srcTop, int32_t srcRight, int32_t srcBottom, int32_t dstLeft,
                              int32_t dstTop, int32_t dstRight, int32_t dstBottom) {
  RoughMap m{srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom};
  if (src == nullptr || dst == nullptr || !ClipRough(srcHeight, srcWidth, dstHeight, dstWidth, m)) {
    return -1;
  }
  RoughCopy(src, srcWidth, m, [&](int32_t y, int32_t x, uint32_t px) {
    dst[static_cast<int64_t>(y) * dstWidth + x] = px;
  });
  return 0;
}

int32_t RoughLongBufToCharBuf(int32_t srcHeight, int32_t srcWidth, const uint32_t* src,
                              int32_t dstHeight, int32_t dstWidth, unsigned char* dst0,
                              unsigned char* dst1, unsigned char* dst2, unsigned char* dst3,
                              int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom,
                              int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom) {
  RoughMap m{srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom};
  if (src == nullptr || dst0 == nullptr || dst1 == nullptr || dst2 == nullptr ||
      dst3 == nullptr || !ClipRough(srcHeight, srcWidth, dstHeight, dstWidth, m)) {
    return -1;
  }
  RoughCopy(src, srcWidth, m, [&](int32_t y, int32_t x, uint32_t px) {
    unsigned char bytes[4];
    std::memcpy(bytes, &px, 4);
    const int64_t i = static_cast<int64_t>(y) * dstWidth + x;
    dst0[i] = bytes[0];
    dst1[i] = bytes[1];
    dst2[i] = bytes[2];
    dst3[i] = bytes[3];
  });
  return 0;
}
