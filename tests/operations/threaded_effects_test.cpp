// The per-pixel effects that run their rows on the shared threads give, at
// one thread and at eight, exactly what the plain per-sample blend gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include "app/core/colour_spaces.h"
#include "app/core/plane_geometry.h"
#include "app/core/sample_clamp.h"
#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"
#include "raster/distortion_warp.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

struct Size {
  int32_t w, h;
};
constexpr Size kSizes[] = {{1, 1}, {17, 3}, {2049, 5}, {7, 301}};
constexpr int kCounts[] = {1, 3, 8};

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

using vmktest::Noise;

struct Region {
  int32_t x0, y0, x1, y1;
};
// The whole plane, an inner part, and one reaching past the far edges.
std::vector<Region> Regions(Size s) {
  return {
      {0, 0, s.w - 1, s.h - 1}, {s.w / 3, s.h / 2, s.w - 2, s.h - 1}, {-3, -2, s.w + 4, s.h + 9}};
}
bool Inside(const Region& r, int32_t x, int32_t y) {
  return x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1;
}

struct Blending {
  int16_t mode, opacity;
  bool masked;
};
constexpr Blending kBlends[] = {{0, 255, false}, {0, 128, false}, {0, 255, true},
                                {3, 255, false}, {9, 200, true},  {11, 255, false}};

TEST(ThreadedEffects, EtchAndTableFamily) {
  const Plane tables = Noise(4 * 256, 99);
  for (Size s : kSizes)
    for (int32_t channels : {1, 3, 4})
      for (const Region& r : Regions(s))
        for (const Blending& b : kBlends) {
          const size_t pixels = static_cast<size_t>(s.w) * s.h;
          const Plane orig = Noise(pixels * channels, static_cast<uint32_t>(s.w + channels));
          const Plane mask = Noise(pixels, 7);
          const unsigned char* m = b.masked ? mask.data() : nullptr;
          Plane expect = orig;
          for (int32_t y = 0; y < s.h; ++y)
            for (int32_t x = 0; x < s.w; ++x) {
              if (!Inside(r, x, y)) continue;
              const int64_t i = static_cast<int64_t>(y) * s.w + x;
              const int32_t weight = effect_support::Weight(m, i, b.opacity);
              for (int32_t k = 0; k < channels; ++k) {
                unsigned char& v = expect[i * channels + k];
                v = effect_support::Blend(b.mode, v, tables[k * 256 + v], weight);
              }
            }
          for (int n : kCounts) {
            const Threads t(n);
            Plane p = orig;
            ASSERT_EQ(Effects::Etch(b.mode, b.opacity, p.data(), s.h, s.w, r.x0, r.y0, r.x1, r.y1,
                                    static_cast<int16_t>(channels), m, tables.data()),
                      0);
            ASSERT_EQ(p, expect) << s.w << "x" << s.h << " channels " << channels << " mode "
                                 << b.mode << " opacity " << b.opacity << " at " << n;
          }
        }
}

// The shift of each pixel on its own, the rows never split, is the plain run.
TEST(ThreadedEffects, HSLBlendPlanesAndPixels) {
  for (Size s : kSizes)
    for (const Region& r : Regions(s))
      for (const Blending& b : kBlends) {
        const size_t pixels = static_cast<size_t>(s.w) * s.h;
        const Plane mask = Noise(pixels, 3);
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        Plane planes[3] = {Noise(pixels, 1), Noise(pixels, 2), Noise(pixels, 5)};
        const Plane packed = Noise(pixels * 4, 4);
        Plane expect[3] = {planes[0], planes[1], planes[2]};
        Plane expectPacked = packed;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) {
            if (!Inside(r, x, y)) continue;
            Effects::HSLBlend(b.mode, b.opacity, s.h, s.w, expect[0].data(), expect[1].data(),
                              expect[2].data(), nullptr, m, x, y, x, y, 30, 10, -5, 1);
            Effects::HSLBlend(b.mode, b.opacity, s.h, s.w,
                              reinterpret_cast<uint32_t*>(expectPacked.data()), m, x, y, x, y, -200,
                              -40, 20, 0);
          }
        for (int n : kCounts) {
          const Threads t(n);
          Plane p[3] = {planes[0], planes[1], planes[2]};
          Plane q = packed;
          Effects::HSLBlend(b.mode, b.opacity, s.h, s.w, p[0].data(), p[1].data(), p[2].data(),
                            nullptr, m, r.x0, r.y0, r.x1, r.y1, 30, 10, -5, 1);
          Effects::HSLBlend(b.mode, b.opacity, s.h, s.w, reinterpret_cast<uint32_t*>(q.data()), m,
                            r.x0, r.y0, r.x1, r.y1, -200, -40, 20, 0);
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(p[k], expect[k]) << s.w << "x" << s.h << " at " << n;
          ASSERT_EQ(q, expectPacked) << s.w << "x" << s.h << " at " << n;
        }
      }
}

// The filters against a blurred copy: each sample of the region from its
// old value and the whole plane's blur, blended as the plain loop does.
TEST(ThreadedEffects, UnSharpMaskAndHighPassAgainstTheirBlur) {
  for (Size s : kSizes)
    for (const Region& r : Regions(s))
      for (const Blending& b : kBlends) {
        const size_t pixels = static_cast<size_t>(s.w) * s.h;
        const Plane orig = Noise(pixels, static_cast<uint32_t>(s.w * 3 + s.h));
        const Plane mask = Noise(pixels, 8);
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        Plane blurred = orig;
        ASSERT_EQ(
            Effects::Blur(0, 255, blurred.data(), nullptr, s.w, s.h, 0, 0, s.w - 1, s.h - 1, 3, 1),
            0);
        Plane wantUsm = orig, wantHigh = orig;
        for (int32_t y = 0; y < s.h; ++y)
          for (int32_t x = 0; x < s.w; ++x) {
            if (!Inside(r, x, y)) continue;
            const int64_t i = static_cast<int64_t>(y) * s.w + x;
            const int32_t old = orig[i], d = blurred[i] - old,
                          w = effect_support::Weight(m, i, b.opacity);
            const int32_t usm =
                (d < 0 ? -d : d) <= 4 ? old : effect_support::Clamp255(old - d * 150 / 100);
            wantUsm[i] = effect_support::Blend(b.mode, old, usm, w);
            wantHigh[i] = effect_support::Blend(b.mode, old,
                                                effect_support::Clamp255(128 - d * 300 / 200), w);
          }
        for (int n : kCounts) {
          const Threads t(n);
          Plane usm = orig, high = orig;
          ASSERT_EQ(Effects::UnSharpMask(b.mode, b.opacity, usm.data(), m, s.w, s.h, r.x0, r.y0,
                                         r.x1, r.y1, 3, 150, 4),
                    0);
          ASSERT_EQ(Effects::HighPass(b.mode, b.opacity, high.data(), m, s.w, s.h, r.x0, r.y0, r.x1,
                                      r.y1, 3, 300),
                    0);
          ASSERT_EQ(usm, wantUsm) << s.w << "x" << s.h << " mode " << b.mode << " at " << n;
          ASSERT_EQ(high, wantHigh) << s.w << "x" << s.h << " mode " << b.mode << " at " << n;
        }
      }
}

// The shift one pixel at a time through the shared conversions, as plainly
// as it can be written: what the eight-wide path must give byte for byte.
void PlainShift(const unsigned char in[3], int32_t hue, int16_t sat, int16_t light, bool ymc,
                unsigned char out[3]) {
  float r = (ymc ? 255 - in[2] : in[0]) / 255.0f, g = (ymc ? 255 - in[1] : in[1]) / 255.0f,
        b = (ymc ? 255 - in[0] : in[2]) / 255.0f;
  float h = 0.0f, l = 0.0f, s = 0.0f;
  RGBtoHLS(r, g, b, &h, &l, &s);
  h = WrapHue(h + static_cast<float>(hue));
  s = Clamp01(s * (1.0f + static_cast<float>(sat) / 100.0f));
  l = Clamp01(l + static_cast<float>(light) / 100.0f);
  if (l >= 1.0f) {
    r = g = b = 1.0f;
  } else {
    HLStoRGB(h, l, s, &r, &g, &b);
  }
  auto byte = [](float v) {
    return static_cast<unsigned char>(Clamp255(static_cast<int32_t>(v * 255.0f)));
  };
  if (ymc) {
    out[0] = byte(1.0f - b), out[1] = byte(1.0f - g), out[2] = byte(1.0f - r);
  } else {
    out[0] = byte(r), out[1] = byte(g), out[2] = byte(b);
  }
}

// Every red and green with every fifteenth blue, for shifts across their ranges.
TEST(ThreadedEffects, HSLBlendMatchesThePlainShiftOverTheColourCube) {
  constexpr int32_t kW = 256 * 4, kH = 256 * 18 / 4;
  Plane planes[3];
  for (Plane& p : planes) p.resize(static_cast<size_t>(kW) * kH);
  for (size_t i = 0; i < planes[0].size(); ++i) {
    planes[0][i] = static_cast<unsigned char>(i & 255);
    planes[1][i] = static_cast<unsigned char>((i >> 8) & 255);
    planes[2][i] = static_cast<unsigned char>(std::min<size_t>((i >> 16) * 15, 255));
  }
  struct Shift {
    int16_t hue, sat, light, model;
  };
  for (const Shift& t : {Shift{30, 10, -5, 1}, Shift{-200, -40, 20, 0}, Shift{0, -100, 0, 1},
                         Shift{359, 100, 100, 1}, Shift{-720, 50, -100, 0}, Shift{180, 0, 0, 0}}) {
    Plane p[3] = {planes[0], planes[1], planes[2]};
    Effects::HSLBlend(0, 255, kH, kW, p[0].data(), p[1].data(), p[2].data(), nullptr, nullptr, 0, 0,
                      kW - 1, kH - 1, t.hue, t.sat, t.light, t.model);
    const int32_t hue = t.hue >= 360 || t.hue <= -360 ? t.hue % 360 : t.hue;
    for (size_t i = 0; i < planes[0].size(); ++i) {
      const unsigned char in[3] = {planes[0][i], planes[1][i], planes[2][i]};
      unsigned char want[3];
      PlainShift(in, hue, t.sat, t.light, t.model == 0, want);
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(p[k][i], want[k])
            << "colour " << int(in[0]) << "," << int(in[1]) << "," << int(in[2]) << " channel " << k
            << " shift " << t.hue << "/" << t.sat << "/" << t.light;
    }
  }
}

// The bars and the ramp plane read only their own place: the same bytes at every count, on
// odd sizes and angles.
TEST(ThreadedEffects, ColourBarsAndRampPlane) {
  Plane pattern = Noise(97, 3);
  for (unsigned char& v : pattern) v = static_cast<unsigned char>(v % 20);  // some stay unpainted
  const Plane ramp = Noise(5 * 256, 4);
  unsigned char colours[16];
  for (int k = 0; k < 16; ++k) colours[k] = static_cast<unsigned char>(17 * k);
  for (Size s : kSizes)
    for (int16_t angle : {0, 37, 90, 200}) {
      std::vector<Plane> results;
      for (int n : kCounts) {
        const Threads t(n);
        Plane bars = Noise(static_cast<size_t>(s.w) * s.h, 5), wave = bars;
        Effects::ColorBar(bars.data(), s.h, s.w, 0, 0, s.w - 1, s.h - 1, 97, pattern.data(),
                          colours, angle);
        Effects::ColorWavePlane(wave.data(), s.h, s.w, 1, 0, s.w - 1, s.h - 2, 2, ramp.data(),
                                angle, 3);
        bars.insert(bars.end(), wave.begin(), wave.end());
        results.push_back(bars);
      }
      for (const Plane& r : results) ASSERT_EQ(r, results[0]) << s.w << "x" << s.h << " " << angle;
    }
}

// The ramp through the grey of the sources: onto other planes, onto the sources themselves,
// interleaved, and through a shifted region (which keeps the one walk when the planes are
// the same): the same bytes at every count as at one thread.
TEST(ThreadedEffects, LuminanceRampOntoItselfAndOtherPlanes) {
  const Plane table = Noise(5 * 256, 8);
  for (Size s : kSizes)
    for (const Blending& b : kBlends) {
      const size_t n = static_cast<size_t>(s.w) * s.h;
      const Plane mask = Noise(n, 7);
      const unsigned char* m = b.masked ? mask.data() : nullptr;
      std::vector<std::vector<Plane>> results;
      for (int threads : kCounts) {
        const Threads t(threads);
        std::vector<Plane> p = {Noise(n, 1), Noise(n, 2), Noise(n, 3),    Noise(n, 4),
                                Noise(n, 5), Noise(n, 6), Noise(3 * n, 9)};
        Effects::LutToColor(b.mode, b.opacity, p[0].data(), p[1].data(), p[2].data(), nullptr, s.h,
                            s.w, p[3].data(), p[4].data(), p[5].data(), nullptr, s.h, s.w, 0, 0,
                            s.w - 1, s.h - 1, 0, 0, s.w - 1, s.h - 1, 1, 3, 3, m, table.data(), 3,
                            200);
        Effects::LutToColor(b.mode, b.opacity, p[0].data(), p[1].data(), p[2].data(), nullptr, s.h,
                            s.w, p[0].data(), p[1].data(), p[2].data(), nullptr, s.h, s.w, 0, 0,
                            s.w - 1, s.h - 1, 0, 0, s.w - 1, s.h - 1, 1, 3, 3, m, table.data(), 3,
                            200);
        Effects::LutToColor(b.mode, b.opacity, p[3].data(), p[4].data(), p[5].data(), nullptr, s.h,
                            s.w, p[3].data(), p[4].data(), p[5].data(), nullptr, s.h, s.w, 1, 0,
                            s.w - 1, s.h - 1, 0, 0, s.w - 2, s.h - 1, 1, 3, 3, m, table.data(), 0,
                            255);
        Effects::LutToColor(b.mode, b.opacity, p[6].data(), s.h, s.w, p[6].data(), s.h, s.w, 0, 0,
                            s.w - 1, s.h - 1, 0, 0, s.w - 1, s.h - 1, 1, 3, 3, 0, m, table.data(),
                            5, 180);
        results.push_back(p);
      }
      for (const auto& r : results) ASSERT_EQ(r, results[0]) << s.w << "x" << s.h;
    }
}

// The planar luminance ramp written out plainly, pixel by pixel: the mean grey's entry
// (cycled by the shift), the ramp colour laid by the entry's opacity times the strength,
// clamped, then blended by the mode through the mask. The lane form it takes for replacement
// gives these bytes at every thread count, over and onto its own planes, from one source and
// three, on planes of one pixel, three rows and 2049 columns, and so does the per-sample form for the modes, opacities and strengths (a ramp
// opacity past 255 or below 0) the lanes leave alone.
TEST(ThreadedEffects, LuminanceRampEqualsThePlainLay) {
  const Plane table = Noise(5 * 256, 11);
  struct Case {
    int16_t mode, opacity, shift, strength;
    bool masked, inPlace, oneSource;
  };
  constexpr Case kCases[] = {
      {0, 255, 0, 255, false, false, false}, {0, 178, 0, 255, false, false, false},
      {0, 255, 3, 200, true, false, false},  {0, 200, 0, 255, false, true, false},
      {0, 128, 7, 255, true, true, false},   {0, 255, 0, 255, false, false, true},
      {0, 90, 250, 100, true, true, true},   {0, 300, 0, 255, false, false, false},
      {0, 255, 0, 400, false, false, false}, {0, 255, 0, -20, true, false, false},
      {3, 255, 0, 255, false, false, false}, {9, 200, 5, 255, true, true, false}};
  auto plain = [&](const Case& k, const Plane* src, Plane* dst, const unsigned char* mask,
                   Size s, Region r) {
    const int32_t shift = std::clamp<int32_t>(k.shift, 0, 255);
    // A region of one row or one column (once held to the plane) is not mapped: no pixel.
    const Region c{std::max(r.x0, 0), std::max(r.y0, 0), std::min(r.x1, s.w - 1),
                   std::min(r.y1, s.h - 1)};
    if (c.x0 >= c.x1 || c.y0 >= c.y1) return;
    for (int32_t y = 0; y < s.h; ++y)
      for (int32_t x = 0; x < s.w; ++x) {
        if (!Inside(r, x, y)) continue;
        const size_t p = static_cast<size_t>(y) * s.w + x;
        const int32_t g =
            k.oneSource ? src[0][p] : (src[0][p] + src[1][p] + src[2][p]) / 3;
        const int32_t j = shift + g > 255 ? shift + g - 255 : shift + g;
        const int32_t a = table[j] * k.strength / 255;
        const int32_t weight = mask != nullptr ? mask[p] * k.opacity / 255 : k.opacity;
        for (int32_t c = 0; c < 3; ++c) {
          const int32_t old = dst[c][p];
          const int32_t v = Clamp255(((255 - a) * old + a * table[(c + 1) * 256 + j]) / 255);
          dst[c][p] = effect_support::Blend(k.mode, old, v, weight);
        }
      }
  };
  for (Size s : {Size{1, 1}, Size{17, 3}, Size{2049, 5}})
    for (const Region& region : Regions(s))
      for (const Case& k : kCases) {
        const size_t n = static_cast<size_t>(s.w) * s.h;
        const Plane mask = Noise(n, 13);
        const unsigned char* m = k.masked ? mask.data() : nullptr;
        const Plane src[3] = {Noise(n, 21), Noise(n, 22), Noise(n, 23)};
        const Plane dst[3] = {Noise(n, 31), Noise(n, 32), Noise(n, 33)};
        Plane want[3] = {dst[0], dst[1], dst[2]};
        {
          const Plane* from = k.inPlace ? want : src;
          Plane copy[3] = {from[0], from[1], from[2]};
          // In place the greys are the targets' own before the pixel is painted.
          plain(k, copy, want, m, s, region);
        }
        for (int threads : kCounts) {
          const Threads t(threads);
          Plane got[3] = {dst[0], dst[1], dst[2]};
          Plane in[3] = {src[0], src[1], src[2]};
          Plane* from = k.inPlace ? got : in;
          const int16_t channels = k.oneSource ? 1 : 3;
          Effects::LutToColor(k.mode, k.opacity, from[0].data(), from[1].data(), from[2].data(),
                              nullptr, s.h, s.w, got[0].data(), got[1].data(), got[2].data(),
                              nullptr, s.h, s.w, region.x0, region.y0, region.x1, region.y1,
                              region.x0, region.y0, region.x1, region.y1, 1, channels, 3, m,
                              table.data(), k.shift, k.strength);
          for (int32_t c = 0; c < 3; ++c)
            ASSERT_EQ(got[c], want[c]) << s.w << "x" << s.h << " region " << region.x0 << ","
                                       << region.y0 << " mode " << k.mode << " opacity "
                                       << k.opacity << " strength " << k.strength << " threads "
                                       << threads << " plane " << c;
        }
      }
}

// Growing and shrinking the bright shapes, written out plainly: every edge pixel's disc
// stamped in scan order, the border standing in when there is no shape. The banded form
// (each band stamping its own rows) gives the same planes at every count, for radii below,
// at and above a band's height, a negative radius, a picture without bright shapes, both
// backgrounds, several channels and a mask.
TEST(ThreadedEffects, ContourGrowthEqualsThePlainStamping) {
  auto plain = [](int16_t kind, int16_t mode, int16_t opacity, const Plane& src, Size s, Plane dst,
                  int32_t ct, int16_t radius, const unsigned char* mask, int16_t background,
                  unsigned char colour, int16_t strength) {
    const int32_t w = s.w, h = s.h;
    const bool grow = kind == 1;
    Plane work(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < work.size(); ++i)
      work[i] = grow ? 0 : (radius < 0 ? 255 - src[i] : src[i]);
    const int32_t reach = std::abs(static_cast<int32_t>(radius));
    auto at = [&](int32_t x, int32_t y) { return src[static_cast<size_t>(y) * w + x]; };
    auto border = [&](int32_t x, int32_t y) {
      return x == 0 || x == w - 1 || y == 0 || y == h - 1;
    };
    auto edge = [&](int32_t x, int32_t y) {
      if (at(x, y) <= 128) return false;
      return border(x, y) || at(x - 1, y) <= 128 || at(x + 1, y) <= 128 || at(x, y - 1) <= 128 ||
             at(x, y + 1) <= 128;
    };
    auto pass = [&](bool every) {
      int64_t n = 0;
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
          if (!(edge(x, y) || (every && border(x, y)))) continue;
          ++n;
          for (int32_t yy = std::max(0, y - reach + 1); yy <= std::min(h - 1, y + reach - 1); ++yy)
            for (int32_t xx = std::max(0, x - reach + 1); xx <= std::min(w - 1, x + reach - 1);
                 ++xx) {
              const int64_t di = xx - x, dj = yy - y;
              if (di * di + dj * dj < int64_t{reach} * reach)
                work[static_cast<size_t>(yy) * w + xx] = grow ? 255 : 0;
            }
        }
      return n;
    };
    if (pass(false) == 0 && !grow) {
      pass(true);
      for (auto& v : work) v = static_cast<unsigned char>(255 - v);
    }
    const int32_t f = strength * opacity / 255;
    for (size_t i = 0; i < work.size(); ++i) {
      const int32_t wt = mask != nullptr ? (255 - work[i]) * mask[i] / 255 : 255 - work[i];
      for (int32_t c = 0; c < ct; ++c) {
        unsigned char& d = dst[i * ct + c];
        const int32_t t = d;
        const int32_t combined = effect_support::Combine(
            mode, t, effect_support::Clamp255(((255 - f) * t + f * colour) / 255));
        if (!grow)
          d = effect_support::Mix(t, combined, wt);
        else if (background == 1 || wt != 255)
          d = static_cast<unsigned char>((255 - wt) * combined / 255);
      }
    }
    return dst;
  };
  for (Size s : {Size{1, 1}, Size{17, 3}, Size{61, 97}, Size{5, 140}})
    for (int16_t radius : {0, 1, 2, 7, -5, 40})
      for (int16_t kind : {0, 1})
        for (bool flat : {false, true}) {
          const size_t n = static_cast<size_t>(s.w) * s.h;
          Plane src = Noise(n, 3);
          for (auto& v : src)
            v = flat ? static_cast<unsigned char>(v % 100)
                     : static_cast<unsigned char>(v > 200 ? 255 : 0);
          const Plane mask = Noise(n, 4);
          const int32_t ct = kind == 1 ? 3 : 1;
          const Plane dst = Noise(n * ct, 5);
          const unsigned char* m = radius == 2 ? mask.data() : nullptr;
          const int16_t background = radius == 7 ? 1 : 0;
          const Plane expect = plain(kind, 3, 200, src, s, dst, ct, radius, m, background, 90, 180);
          for (int threads : kCounts) {
            const Threads t(threads);
            Plane got = dst;
            ASSERT_EQ(Effects::ContrExp(kind, 3, 200, src.data(), s.h, s.w, got.data(), s.h, s.w, 0,
                                        0, s.w - 1, s.h - 1, 0, 0, 0, 0, background, 1,
                                        static_cast<int16_t>(ct), radius, m, 90, 180),
                      0);
            ASSERT_EQ(got, expect) << s.w << "x" << s.h << " radius " << radius << " kind " << kind
                                   << " flat " << flat << " threads " << threads;
          }
        }
}

// The geometric operations' shifted copy and blend-back in bands: the same planes at every
// count, for every blending and odd sizes.
TEST(ThreadedEffects, GeometricBlendBacks) {
  for (Size s : kSizes)
    for (const Blending& b : kBlends) {
      const size_t n = static_cast<size_t>(s.w) * s.h;
      const Plane mask = Noise(n, 7);
      const unsigned char* m = b.masked ? mask.data() : nullptr;
      std::vector<Plane> results;
      for (int threads : kCounts) {
        const Threads t(threads);
        Plane a = Noise(n, 1), c = Noise(n, 2), d = Noise(n, 3);
        Effects::Transform(b.mode, b.opacity, a.data(), s.h, s.w, 1, 0, s.w, s.h, 5, -3, 90, 110,
                           25, 40, 0, m);
        Effects::Flip(b.mode, b.opacity, c.data(), s.h, s.w, 0, 1, s.w - 1, s.h - 1, 1, 1, 0, 0, m);
        Effects::Twirl(b.mode, b.opacity, d.data(), m, s.h, s.w, 0, 0, s.w - 1, s.h - 1, 60, 40,
                       55);
        a.insert(a.end(), c.begin(), c.end());
        a.insert(a.end(), d.begin(), d.end());
        results.push_back(a);
      }
      for (const Plane& r : results) ASSERT_EQ(r, results[0]) << s.w << "x" << s.h;
    }
}

// The twirl as it was first written, one pixel after another: each pixel of the region from
// the plane's sample at its turned position (0 outside), then blended back through the mask.
Plane PlainTwirl(const Plane& src, Size s, Region r, int16_t mode, int16_t opacity,
                 const unsigned char* mask, int32_t angle, int32_t centreX, int32_t centreY) {
  const int32_t x0 = std::max(r.x0, 0), y0 = std::max(r.y0, 0);
  const int32_t x1 = std::min(r.x1, s.w - 1), y1 = std::min(r.y1, s.h - 1);
  Plane work = src, out = src;
  const float cx = static_cast<float>(x1 - x0) * static_cast<float>(centreX) / 100 + 0.5f;
  const float cy = static_cast<float>(y1 - y0) * static_cast<float>(centreY) / 100 + 0.5f;
  const double R = std::sqrt(static_cast<double>(cx) * cx + static_cast<double>(cy) * cy);
  const double turn = static_cast<double>(angle) / (2 * 3.141592654 * R);
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const double dx = x - static_cast<double>(cx), dy = y - static_cast<double>(cy);
      const double rr = std::sqrt(dx * dx + dy * dy);
      const double theta = std::atan2(dy, dx) + std::fabs(R - rr) * turn;
      const auto sx = TruncToInt32(rr * static_cast<double>(static_cast<float>(std::cos(theta))) + cx + 0.5);
      const auto sy = TruncToInt32(rr * static_cast<double>(static_cast<float>(std::sin(theta))) + cy + 0.5);
      const bool inside = sx >= 0 && sx < s.w - 1 && sy >= 0 && sy < s.h - 1;
      work[static_cast<size_t>(y) * s.w + x] = inside ? src[static_cast<size_t>(sy) * s.w + sx] : 0;
    }
  for (int32_t y = y0; y <= y1; ++y)
    for (int32_t x = x0; x <= x1; ++x) {
      const int64_t i = static_cast<int64_t>(y) * s.w + x;
      out[i] = effect_support::Blend(mode, out[i], work[i], effect_support::Weight(mask, i, opacity));
    }
  return out;
}

// The twirl's rows in bands on the shared threads equal the plain walk at one, three and eight
// threads: every blending, the regions, centres inside and far outside, both turns.
TEST(ThreadedEffects, TwirlEqualsThePlainWalk) {
  for (Size s : {Size{1, 1}, Size{17, 3}, Size{61, 47}, Size{7, 301}})
    for (const Region& r : Regions(s))
      for (const Blending& b : kBlends)
        for (const auto& [angle, cx, cy] : {std::tuple<int32_t, int32_t, int32_t>{1000, 40, 55},
                                            {-700, 100, 0}, {359, -900, 3000}}) {
          const size_t n = static_cast<size_t>(s.w) * s.h;
          const Plane orig = Noise(n, static_cast<uint32_t>(s.w * 7 + s.h));
          const Plane mask = Noise(n, 7);
          const unsigned char* m = b.masked ? mask.data() : nullptr;
          const Plane expect = PlainTwirl(orig, s, r, b.mode, b.opacity, m, angle, cx, cy);
          for (int threads : kCounts) {
            const Threads t(threads);
            Plane p = orig;
            ASSERT_EQ(Effects::Twirl(b.mode, b.opacity, p.data(), m, s.h, s.w, r.x0, r.y0, r.x1,
                                     r.y1, angle, cx, cy),
                      0);
            ASSERT_EQ(p, expect) << s.w << "x" << s.h << " angle " << angle << " threads " << threads;
          }
        }
}

// The transform as it was first written, one sample at a time: the region turned and scaled
// into its box through the distortion, the box copied back centred with its wrap, the band it
// leaves filled, the shifted copy rolled, and every sample blended back through the mask.
Plane PlainTransform(Plane p, Size s, Region r, int16_t mode, int16_t opacity, int16_t shiftX,
                     int16_t shiftY, int16_t scaleX, int16_t scaleY, int16_t angle, int16_t fill,
                     const unsigned char* mask) {
  const int32_t x0 = std::max(r.x0, 0), y0 = std::max(r.y0, 0);
  const int32_t x1 = std::min(r.x1, s.w), y1 = std::min(r.y1, s.h);
  if (x1 <= x0 || y1 <= y0) return p;
  const auto at = [&](Plane& q, int32_t x, int32_t y) -> unsigned char& {
    return q[static_cast<size_t>(y) * s.w + x];
  };
  const int32_t w = x1 - x0, h = y1 - y0;
  const float cx = 0.5f * static_cast<float>(w), cy = 0.5f * static_cast<float>(h);
  const float rad = static_cast<float>(angle * 6.283185308 / 360);
  const float px[4] = {0, static_cast<float>(w), static_cast<float>(w), 0};
  const float py[4] = {0, 0, static_cast<float>(h), static_cast<float>(h)};
  int32_t qx[4], qy[4];
  for (int i = 0; i < 4; ++i) {
    float rx = 0, ry = 0;
    A_point_fromAng(cx, cy, px[i], py[i], &rx, &ry, rad);
    qx[i] = static_cast<int32_t>(rx * scaleX / 100.0 + 0.5);
    qy[i] = static_cast<int32_t>(ry * scaleY / 100.0 + 0.5);
  }
  const int32_t minX = *std::min_element(qx, qx + 4), maxX = *std::max_element(qx, qx + 4);
  const int32_t minY = *std::min_element(qy, qy + 4), maxY = *std::max_element(qy, qy + 4);
  const int32_t bw = maxX - minX, bh = maxY - minY;
  Plane box(static_cast<size_t>(bw + 1) * (bh + 1), static_cast<unsigned char>(fill));
  X_distort_bufcol(2, s.h, s.w, p.data(), bh, bw, box.data(), qx[0] - minX, qy[0] - minY,
                   qx[1] - minX, qy[1] - minY, qx[2] - minX, qy[2] - minY, qx[3] - minX,
                   qy[3] - minY, x0, y0, w - 1, h - 1, 0, 100);
  const int32_t dx = (bw - w) / 2, dy = (bh - h) / 2;
  const int32_t ox = std::max(0, -dx), oy = std::max(0, -dy);
  for (int32_t j = 0; j < bh; ++j) {
    const int32_t row = oy + j;
    if (row < y0 || row >= y1) continue;
    int32_t sj = j + std::max(0, dy);
    if (sj > bh - 1) sj -= bh - 1;
    for (int32_t k = 0; k < bw; ++k) {
      const int32_t col = ox + k;
      if (col < x0 || col >= x1) continue;
      int32_t sk = k + std::max(0, dx);
      if (sk > bw - 1) sk -= bw - 1;
      at(p, col, row) = box[static_cast<size_t>(sj) * bw + sk];
    }
  }
  const auto f = static_cast<unsigned char>(fill);
  if (dx < 0)
    for (int32_t y = y0; y < y1; ++y) {
      for (int32_t x = x0; x < std::min(-dx, x1); ++x) at(p, x, y) = f;
      for (int32_t x = std::max(x0, -dx + bw); x < x1; ++x) at(p, x, y) = f;
    }
  if (dy < 0)
    for (int32_t x = x0; x < x1; ++x) {
      for (int32_t y = y0; y < std::min(-dy, y1); ++y) at(p, x, y) = f;
      for (int32_t y = std::max(y0, -dy + bh); y < y1; ++y) at(p, x, y) = f;
    }
  const auto wrap = [](int64_t c, int32_t lo, int32_t n) {
    int64_t k = (c - lo) % n;
    if (k < 0) k += n;
    return static_cast<int32_t>(lo + k);
  };
  Plane rolled = p;
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) at(rolled, x, y) = at(p, wrap(int64_t{x} - shiftX, x0, w), wrap(int64_t{y} + shiftY, y0, h));
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) {
      const size_t i = static_cast<size_t>(y) * s.w + x;
      p[i] = static_cast<unsigned char>(effect_support::Blend(
          mode, p[i], rolled[i], mask != nullptr ? mask[i] * opacity / 255 : opacity));
    }
  return p;
}

// Several planes turned together take, plane by plane, the bytes of the plain transform of
// each (and each plane's own call takes them too): turns square and not, scales, shifts, fills, blends and masks, odd and tall
// sizes, at one, three and eight threads; planes given twice fall back to the walks one by one.
TEST(ThreadedEffects, PlanesTurnedTogetherAreEachPlanesOwnTransform) {
  struct Turn {
    int16_t shiftX, shiftY, scaleX, scaleY, angle, fill;
  };
  constexpr Turn kTurns[] = {{0, 0, 100, 100, 90, 0},   {0, 0, 100, 100, 45, 255},
                             {5, -3, 90, 110, 25, 40},  {0, 0, 60, 60, 180, 7},
                             {-2, 4, 130, 100, 315, 0}, {0, 0, 100, 100, 0, 9}};
  for (Size s : kSizes)
    for (const Turn& t : kTurns)
      for (const Blending& b : kBlends) {
        const size_t n = static_cast<size_t>(s.w) * s.h;
        const Plane mask = Noise(n, 7);
        const unsigned char* m = b.masked ? mask.data() : nullptr;
        const Region r{s.w / 5, 0, s.w, s.h};
        std::vector<Plane> plain;
        for (uint32_t k = 0; k < 4; ++k) {
          Plane p = Noise(n, 11 + k);
          plain.push_back(PlainTransform(p, s, r, b.mode, b.opacity, t.shiftX, t.shiftY, t.scaleX,
                                         t.scaleY, t.angle, t.fill, m));
          Effects::Transform(b.mode, b.opacity, p.data(), s.h, s.w, r.x0, r.y0, r.x1, r.y1,
                             t.shiftX, t.shiftY, t.scaleX, t.scaleY, t.angle, t.fill, 0, m);
          ASSERT_EQ(p, plain.back()) << s.w << "x" << s.h << " angle " << t.angle;
        }
        for (int threads : kCounts) {
          const Threads th(threads);
          for (int32_t count : {1, 3, 4}) {
            std::vector<Plane> together;
            unsigned char* planes[4] = {};
            for (int32_t k = 0; k < count; ++k) together.push_back(Noise(n, 11 + k));
            for (int32_t k = 0; k < count; ++k) planes[k] = together[k].data();
            ASSERT_EQ(Effects::TransformPlanes(b.mode, b.opacity, planes, count, s.h, s.w, r.x0,
                                               r.y0, r.x1, r.y1, t.shiftX, t.shiftY, t.scaleX,
                                               t.scaleY, t.angle, t.fill, m),
                      0);
            for (int32_t k = 0; k < count; ++k)
              ASSERT_EQ(together[k], plain[k]) << s.w << "x" << s.h << " angle " << t.angle
                                               << " plane " << k << " of " << count
                                               << " threads " << threads;
          }
          // The same plane twice: the second turn starts from the first's result.
          Plane twice = Noise(n, 11);
          unsigned char* same[2] = {twice.data(), twice.data()};
          Plane again = plain[0];
          Effects::Transform(b.mode, b.opacity, again.data(), s.h, s.w, r.x0, r.y0, r.x1, r.y1,
                             t.shiftX, t.shiftY, t.scaleX, t.scaleY, t.angle, t.fill, 0, m);
          ASSERT_EQ(Effects::TransformPlanes(b.mode, b.opacity, same, 2, s.h, s.w, r.x0, r.y0,
                                             r.x1, r.y1, t.shiftX, t.shiftY, t.scaleX, t.scaleY,
                                             t.angle, t.fill, m),
                    0);
          ASSERT_EQ(twice, again) << s.w << "x" << s.h << " angle " << t.angle;
        }
      }
}

}  // namespace
