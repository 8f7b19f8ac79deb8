#include "raster/blend_filters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/core/colour_spaces.h"
#include "platform/parallel/parallel.h"
#include "platform/random/random.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;

int Blend8(int16_t mode, int a, int b) {
  unsigned char out = 77;
  X_optionBlend(&out, mode, a, b);
  return out;
}

int Blend16(int16_t mode, int a, int b) {
  int32_t out = -5;
  X_optionBlend16(&out, mode, a, b);
  return out;
}

TEST(RasterBlend, EightBitModes) {
  EXPECT_EQ(Blend8(1, 3, 200), 200);
  EXPECT_EQ(Blend8(2, 200, 100), 255);
  EXPECT_EQ(Blend8(3, 100, 200), 0);
  EXPECT_EQ(Blend8(6, 10, 250), 240);
  EXPECT_EQ(Blend8(6, 250, 10), 240);
  EXPECT_EQ(Blend8(7, 255, 100), 100);
  for (int b = 0; b < 256; b += 51) EXPECT_EQ(Blend8(8, 255, b), 0);
  for (int a = 0; a < 256; a += 15) EXPECT_EQ(Blend8(9, a, 128), a);
  EXPECT_EQ(Blend8(0, 1, 2), 77);
  EXPECT_EQ(Blend8(10, 1, 2), 77);
}

TEST(RasterBlend, ToneModes) {
  EXPECT_EQ(Blend16(2, 30000, 30000), 32640);
  EXPECT_EQ(Blend16(7, 32640, 1234), 1234);
  EXPECT_EQ(Blend16(8, 0, 0), 32640);
  EXPECT_EQ(Blend16(9, 20000, 16384), 20000);
  EXPECT_EQ(Blend16(9, 16320, 32640), 16320 + (16320 / 128) * (16320 * 127) / 32640);
  EXPECT_EQ(Blend16(9, 16320, 0), 16320 - (16320 / 128) * (128 * 16320) / 32640);
  EXPECT_EQ(Blend16(0, 1, 2), -5);
}

TEST(HslBlend, IdentityAndHueWrap) {
  Plane r = {0, 255, 10, 200, 77, 128}, g = {0, 0, 250, 100, 77, 64}, b = {0, 0, 30, 50, 77, 32};
  const Plane r0 = r, g0 = g, b0 = b;
  EXPECT_EQ(HSLBlendChar(r.data(), g.data(), b.data(), 2, 3, -4, -4, 40, 40, 0, 0, 0), 0);
  for (size_t i = 0; i < r.size(); ++i) {
    EXPECT_LE(std::abs(r[i] - r0[i]), 1);
    EXPECT_LE(std::abs(g[i] - g0[i]), 1);
    EXPECT_LE(std::abs(b[i] - b0[i]), 1);
  }

  // A colour of hue about 350 turned by +20 lands near 10, and back.
  Plane pr = {255}, pg = {0}, pb = {42};
  HSLBlendChar(pr.data(), pg.data(), pb.data(), 1, 1, 0, 0, 0, 0, 20, 0, 0);
  float h, l, s;
  RGBtoHLS(pr[0] / 255.0f, pg[0] / 255.0f, pb[0] / 255.0f, &h, &l, &s);
  EXPECT_NEAR(h, 10.0f, 0.6f);
  HSLBlendChar(pr.data(), pg.data(), pb.data(), 1, 1, 0, 0, 0, 0, -20, 0, 0);
  RGBtoHLS(pr[0] / 255.0f, pg[0] / 255.0f, pb[0] / 255.0f, &h, &l, &s);
  EXPECT_NEAR(h, 350.0f, 0.6f);

  // Long form works on bytes 0..2 and leaves byte 3.
  uint32_t px;
  const unsigned char bytes[4] = {255, 0, 0, 9};
  std::memcpy(&px, bytes, 4);
  HSLBlendLong(&px, 1, 1, 0, 0, 0, 0, 180, 0, 0);
  unsigned char got[4];
  std::memcpy(got, &px, 4);
  EXPECT_EQ(got[0], 0);
  EXPECT_EQ(got[1], 255);
  EXPECT_EQ(got[2], 255);
  EXPECT_EQ(got[3], 9);
}

// Straightforward out-of-place convolution used as the oracle for the
// in-place banded version.
Plane Convolve(const Plane& in, int w, int l, int r, int t, int b, int radius, int samples,
               const unsigned char* off, float div, const std::vector<int32_t>& k) {
  Plane out = in;
  const int side = 2 * radius + 1;
  for (int y = t; y <= b; ++y) {
    for (int x = l; x <= r; ++x) {
      for (int c = 0; c < samples; ++c) {
        int32_t sum = 0;
        for (int dy = -radius; dy <= radius; ++dy) {
          for (int dx = -radius; dx <= radius; ++dx) {
            const int sy = std::clamp(y + dy, t, b), sx = std::clamp(x + dx, l, r);
            sum += k[(dy + radius) * side + dx + radius] * in[(sy * w + sx) * samples + c];
          }
        }
        const float f = static_cast<float>(sum) / div + off[c];
        out[(y * w + x) * samples + c] =
            static_cast<unsigned char>(f <= 0 ? 0 : (f >= 255 ? 255 : static_cast<int>(f)));
      }
    }
  }
  return out;
}

TEST(ApplyMatrix, IdentityBoxAndBorderRepeat) {
  Plane p = {0, 90, 180};
  const unsigned char zero[4] = {0, 0, 0, 0};
  std::vector<int32_t> centre(9, 0);
  centre[4] = 1;
  Plane q = p;
  EXPECT_EQ(ApplyMatrix(q.data(), nullptr, 1, 1, 3, 1, 0, 2, 0, 0, 1, 1, zero, 1.0f, centre.data()),
            0);
  EXPECT_EQ(q, p);
  std::vector<int32_t> box(9, 1);
  EXPECT_EQ(ApplyMatrix(q.data(), nullptr, 1, 1, 3, 1, 0, 2, 0, 0, 1, 1, zero, 9.0f, box.data()), 0);
  EXPECT_EQ(q, (Plane{30, 90, 150}));
}

TEST(ApplyMatrix, InPlaceMatchesOutOfPlaceOnSubRectangles) {
  plat::SeedRandom(7);
  const int w = 23, h = 41;
  for (int samples : {1, 4}) {
    for (int radius : {1, 2, 4}) {
      Plane p(w * h * samples);
      for (auto& v : p) v = static_cast<unsigned char>(plat::Random() & 0xFF);
      const int side = 2 * radius + 1;
      std::vector<int32_t> k(side * side);
      for (auto& v : k) v = static_cast<int32_t>(plat::Random() % 7) - 2;
      const unsigned char off[4] = {10, 128, 0, 200};
      const Plane want = Convolve(p, w, 3, 19, 2, 37, radius, samples, off, 3.5f, k);
      Plane got = p;
      ASSERT_EQ(ApplyMatrix(got.data(), nullptr, 1, 1, w, h, 3, 19, 2, 37, radius, samples, off,
                            3.5f, k.data()),
                0);
      EXPECT_EQ(got, want) << "samples " << samples << " radius " << radius;
      // A rectangle narrower than the kernel repeats its border columns.
      const Plane narrow = Convolve(p, w, 5, 7, 0, 40, radius, samples, off, 3.5f, k);
      got = p;
      ASSERT_EQ(ApplyMatrix(got.data(), nullptr, 1, 1, w, h, 5, 7, 0, 40, radius, samples, off,
                            3.5f, k.data()),
                0);
      EXPECT_EQ(got, narrow) << "narrow, samples " << samples << " radius " << radius;
    }
  }
}

TEST(ApplyMatrix, MaskMixesWithOldValue) {
  Plane p = {100, 100, 100, 100};
  const Plane mask = {0, 255, 128, 0};
  const unsigned char off[1] = {50};
  std::vector<int32_t> centre(1, 1);  // radius 0
  EXPECT_EQ(ApplyMatrix(p.data(), mask.data(), 1, 1, 4, 1, 0, 3, 0, 0, 0, 1, off, 1.0f,
                        centre.data()),
            0);
  EXPECT_EQ(p, (Plane{100, 150, (150 * 128 + 127 * 100) / 255, 100}));
}

TEST(Pyramid, HalveAndDouble) {
  const Plane src = {1, 2, 3, 4, 5, 6, 7, 8};  // 4 x 2
  Plane half(2, 0);
  DivideInHalf(4, 2, 2, 1, 0, 0, 1, 0, 1, src.data(), half.data());
  EXPECT_EQ(half, (Plane{3, 5}));

  const Plane small = {0, 100, 200, 255};  // 2 x 2
  Plane big(9, 1);
  Double(3, 3, 0, 0, 2, 2, 1, big.data(), small.data());
  EXPECT_EQ(big, (Plane{0, 50, 100, 100, 138, 177, 200, 227, 255}));
}

TEST(Pyramid, BlurKeepsFlatPlanesAndAgreesAcrossLayouts) {
  for (int radius : {0, 2, 9, 40}) {
    Plane flat(64 * 48, 77);
    EXPECT_EQ(X_Blur_buffer(flat.data(), nullptr, 64, 48, 0, 0, 63, 47, radius, 1), 0);
    EXPECT_EQ(flat, Plane(64 * 48, 77)) << radius;
  }
  // A step edge blurs to a monotone ramp; the four-sample layout with equal
  // channels gives the same values as the single plane.
  const int w = 40, h = 20;
  Plane one(w * h), four(w * h * 4);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned char v = x < w / 2 ? 0 : 255;
      one[y * w + x] = v;
      for (int c = 0; c < 4; ++c) four[(y * w + x) * 4 + c] = v;
    }
  }
  ASSERT_EQ(X_Blur_buffer(one.data(), nullptr, w, h, 0, 0, 0, 0, 6, 1), 0);
  ASSERT_EQ(X_Blur_buffer(four.data(), nullptr, w, h, 0, 0, 0, 0, 6, 4), 0);
  for (int x = 1; x < w; ++x) EXPECT_GE(one[5 * w + x], one[5 * w + x - 1]);
  EXPECT_GT(one[5 * w + w / 2], 0);
  EXPECT_LT(one[5 * w + w / 2 - 1], 255);
  for (int i = 0; i < w * h; ++i) ASSERT_EQ(four[i * 4 + 2], one[i]) << i;
}

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

// Rows in bands on the shared threads: the same samples at one thread and at
// eight as the plain convolution, on odd sizes and on planes tall enough for
// many bands, whole and inside.
TEST(ApplyMatrix, AnyThreadCountMatchesThePlainConvolution) {
  struct Size {
    int w, h;
  };
  plat::SeedRandom(11);
  for (Size sz : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{13, 301}})
    for (int samples : {1, 3})
      for (int radius : {1, 2, 5}) {
        Plane p(static_cast<size_t>(sz.w) * sz.h * samples);
        for (auto& v : p) v = static_cast<unsigned char>(plat::Random() & 0xFF);
        const int side = 2 * radius + 1;
        std::vector<int32_t> k(side * side);
        for (auto& v : k) v = static_cast<int32_t>(plat::Random() % 7) - 2;
        // Offsets that differ by sample, and one offset for all of them.
        const unsigned char offs[2][3] = {{10, 128, 0}, {7, 7, 7}};
        const int rects[2][4] = {{0, sz.w - 1, 0, sz.h - 1},
                                 {sz.w / 3, sz.w - 1, sz.h / 4, sz.h - 2 > 0 ? sz.h - 2 : 0}};
        for (const unsigned char* off : offs)
        for (const auto& r : rects) {
          const Plane want =
              Convolve(p, sz.w, r[0], r[1], r[2], r[3], radius, samples, off, 3.5f, k);
          for (int n : {1, 3, 8}) {
            const Threads t(n);
            Plane got = p;
            ASSERT_EQ(ApplyMatrix(got.data(), nullptr, 1, 1, sz.w, sz.h, r[0], r[1], r[2], r[3],
                                  radius, samples, off, 3.5f, k.data()),
                      0);
            ASSERT_EQ(got, want) << sz.w << "x" << sz.h << " radius " << radius << " at " << n;
          }
        }
      }
}

// With a mask each filtered value v is mixed with the sample before it by the pixel's mask
// value m: (v * m + (255 - m) * old) / 255, m read at stepY * stepY * y * width + x * stepX.
TEST(ApplyMatrix, MaskedMatchesThePlainConvolutionMixedAtAnyThreadCount) {
  struct Size {
    int w, h;
  };
  plat::SeedRandom(23);
  for (Size sz : {Size{1, 1}, Size{17, 3}, Size{2049, 5}, Size{13, 301}}) {
    for (int samples : {1, 3}) {
      for (int step : {1, 2}) {
        const int radius = 2, side = 5;
        Plane p(static_cast<size_t>(sz.w) * sz.h * samples);
        for (auto& v : p) v = static_cast<unsigned char>(plat::Random() & 0xFF);
        Plane mask(static_cast<size_t>(4) * sz.w * sz.h);
        for (auto& v : mask) v = static_cast<unsigned char>(plat::Random() & 0xFF);
        for (size_t i = 0; i < mask.size(); i += 7) mask[i] = 255;
        for (size_t i = 3; i < mask.size(); i += 11) mask[i] = 0;
        std::vector<int32_t> k(side * side, 0);
        k[3] = 1;
        k[21] = -1;
        k[12] = 2;
        const unsigned char off[3] = {128, 40, 0};
        const int r[4] = {sz.w / 3, sz.w - 1, sz.h / 4, sz.h - 1};
        const Plane filtered =
            Convolve(p, sz.w, r[0], r[1], r[2], r[3], radius, samples, off, 1.5f, k);
        Plane want = p;
        for (int y = r[2]; y <= r[3]; ++y) {
          for (int x = r[0]; x <= r[1]; ++x) {
            const int m = mask[static_cast<size_t>(step) * step * y * sz.w + x * step];
            for (int c = 0; c < samples; ++c) {
              const size_t i = (static_cast<size_t>(y) * sz.w + x) * samples + c;
              want[i] = static_cast<unsigned char>((filtered[i] * m + (255 - m) * p[i]) / 255);
            }
          }
        }
        for (int n : {1, 3, 8}) {
          const Threads t(n);
          Plane got = p;
          ASSERT_EQ(ApplyMatrix(got.data(), mask.data(), step, step, sz.w, sz.h, r[0], r[1], r[2],
                                r[3], radius, samples, off, 1.5f, k.data()),
                    0);
          ASSERT_EQ(got, want) << sz.w << "x" << sz.h << " samples " << samples << " step "
                               << step << " at " << n;
        }
      }
    }
  }
}

TEST(Pyramid, BlurIsTheSameAtAnyThreadCount) {
  plat::SeedRandom(12);
  const int w = 257, h = 301;
  Plane noise(w * h * 3), mask(w * h);
  for (auto& v : noise) v = static_cast<unsigned char>(plat::Random() & 0xFF);
  for (auto& v : mask) v = static_cast<unsigned char>(plat::Random() & 0xFF);
  for (int radius : {1, 6, 13})
    for (const unsigned char* m : {static_cast<const unsigned char*>(nullptr),
                                   static_cast<const unsigned char*>(mask.data())})
      for (int samples : {1, 3}) {
        Plane one = noise, eight = noise;
        {
          const Threads t(1);
          ASSERT_EQ(X_Blur_buffer(one.data(), m, w, h, 0, 0, 0, 0, radius, samples), 0);
        }
        const Threads t(8);
        ASSERT_EQ(X_Blur_buffer(eight.data(), m, w, h, 0, 0, 0, 0, radius, samples), 0);
        ASSERT_EQ(one, eight) << "radius " << radius << " samples " << samples;
      }
}

// The blur's rounding of a mean: to the nearest, a tie below 127.5 to the odd value and from
// there to the even one.
unsigned char Nearest(double v) {
  const double k = std::floor(v);
  if (v - k != 0.5) return static_cast<unsigned char>(std::lround(v));
  const bool odd = static_cast<int>(k) % 2 == 1;
  return static_cast<unsigned char>(v < 127.5 ? (odd ? k : k + 1) : (odd ? k + 1 : k));
}

// A mean of `count` samples that sum to `sum`: the standalone halving and doubling truncate
// it, the blur's own steps round it.
using Mean = unsigned char (*)(int sum, int count);
unsigned char Truncated(int sum, int count) { return static_cast<unsigned char>(sum / count); }
unsigned char Rounded(int sum, int count) { return Nearest(static_cast<double>(sum) / count); }

// The 2 x 2 mean of the halving (a last odd column or row read through its neighbour).
Plane LiteralHalve(const Plane& src, int sw, int sh, int samples, Mean mean = Rounded) {
  const int dw = (sw + 1) / 2, dh = (sh + 1) / 2;
  Plane half(static_cast<size_t>(dw) * dh * samples);
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw; ++x) {
      const int y0 = std::max(std::min(2 * y, sh - 2), 0), y1 = std::min(y0 + 1, sh - 1);
      const int x0 = std::max(std::min(2 * x, sw - 2), 0), x1 = std::min(x0 + 1, sw - 1);
      for (int c = 0; c < samples; ++c) {
        auto at = [&](int xx, int yy) { return src[(static_cast<size_t>(yy) * sw + xx) * samples + c]; };
        half[(static_cast<size_t>(y) * dw + x) * samples + c] =
            mean(at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1), 4);
      }
    }
  return half;
}

// The doubling of `half` over a level of sw x sh: its samples at even columns and rows, the
// mean of the two beside at odd columns and then odd rows, a last even column or row
// repeating the one before.
void LiteralDouble(Plane& big, int sw, int sh, int samples, const Plane& half,
                   Mean mean = Rounded) {
  const int dw = (sw + 1) / 2;
  auto put = [&](int x, int y, int c) -> unsigned char& {
    return big[(static_cast<size_t>(y) * sw + x) * samples + c];
  };
  for (int y = 0; y < sh; y += 2)
    for (int x = 0; x < sw; ++x)
      for (int c = 0; c < samples; ++c) {
        const int k = x / 2;
        const auto s = [&](int kk) { return half[(static_cast<size_t>(y / 2) * dw + kk) * samples + c]; };
        put(x, y, c) = x % 2 == 0 ? s(k) : (x + 1 < sw ? mean(s(k) + s(k + 1), 2) : s(k));
      }
  for (int y = 1; y < sh; y += 2)
    for (int x = 0; x < sw; ++x)
      for (int c = 0; c < samples; ++c)
        put(x, y, c) =
            y + 1 < sh ? mean(put(x, y - 1, c) + put(x, y + 1, c), 2) : put(x, y - 1, c);
}


// The pyramid's steps on their own against their formulas, and the blur
// without a mask against the blur through a mask of 255 (whose box passes mix
// each result with the sample it replaces), at one, three and eight threads.
TEST(Pyramid, StepsAndMasklessBoxMatchThePlainForms) {
  struct Size {
    int w, h;
  };
  plat::SeedRandom(21);
  for (Size sz : {Size{1, 1}, Size{1, 9}, Size{2, 2}, Size{17, 3}, Size{2049, 5}, Size{33, 301},
                  Size{130, 7}})
    for (int samples : {1, 3}) {
      const int sw = sz.w, sh = sz.h, dw = (sw + 1) / 2, dh = (sh + 1) / 2;
      Plane src(static_cast<size_t>(sw) * sh * samples);
      for (auto& v : src) v = static_cast<unsigned char>(plat::Random() & 0xFF);
      const Plane half = LiteralHalve(src, sw, sh, samples, Truncated);
      // Doubling the half back over the source's size (its own odd rules).
      Plane big(src.size());
      LiteralDouble(big, sw, sh, samples, half, Truncated);
      for (const plat::SimdLevel level : {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                          plat::SimdLevel::kAvx512})
      for (int n : {1, 3, 8}) {
        const vmktest::LevelAndThreads t(level, n);
        Plane gotHalf(half.size(), 7), gotBig(big.size(), 7);
        DivideInHalf(sw, sh, dw, dh, 0, 0, dw - 1, dh - 1, samples, src.data(), gotHalf.data());
        ASSERT_EQ(gotHalf, half) << sw << "x" << sh << " samples " << samples << " at " << n
                                 << " level " << static_cast<int>(level);
        Double(sw, sh, 0, 0, sw - 1, sh - 1, samples, gotBig.data(), half.data());
        ASSERT_EQ(gotBig, big) << sw << "x" << sh << " samples " << samples << " at " << n;
        const Plane full(static_cast<size_t>(sw) * sh, 255);
        for (int radius : {1, 6}) {
          Plane plain = src, masked = src;
          ASSERT_EQ(X_Blur_buffer(plain.data(), nullptr, sw, sh, 0, 0, 0, 0, radius, samples), 0);
          ASSERT_EQ(X_Blur_buffer(masked.data(), full.data(), sw, sh, 0, 0, 0, 0, radius, samples), 0);
          ASSERT_EQ(plain, masked) << sw << "x" << sh << " radius " << radius << " at " << n;
        }
      }
    }
}

TEST(EmbossAndEdges, FlatPlanes) {
  Plane p(7 * 5, 90);
  EXPECT_EQ(X_Emboss(p.data(), nullptr, 5, 7, 0, 0, 6, 4, 2, 1, 128, 45, 1.0f), 0);
  EXPECT_EQ(p, Plane(7 * 5, 128));
  Plane q(6 * 4, 200);
  EXPECT_EQ(X_FindEdge(q.data(), nullptr, 4, 6, 0, 0, 5, 3, 255, 1, 0, 0), 0);
  EXPECT_EQ(q, Plane(6 * 4, 255));  // no edge: the inverted table's value for 0
  // A contrast far below the table's range is taken as its lowest value.
  Plane r(6 * 4, 200);
  EXPECT_EQ(X_FindEdge(r.data(), nullptr, 4, 6, 0, 0, 5, 3, 255, 1, -1000, 0), 0);
  EXPECT_EQ(r, Plane(6 * 4, 0));
  // Half opacity mixes with the plane's old values.
  Plane s(6 * 4, 200);
  EXPECT_EQ(X_FindEdge(s.data(), nullptr, 4, 6, 0, 0, 5, 3, 128, 1, 0, 0), 0);
  EXPECT_EQ(s[0], (128 * 255 + 127 * 200) / 255);
}

TEST(EmbossAndEdges, VerticalEdgeIsFound) {
  const int w = 8, h = 3;
  Plane p(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[y * w + x] = x < 4 ? 0 : 200;
  EXPECT_EQ(X_FindEdge(p.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 255, 1, 0, 0), 0);
  // Far from the step there is no edge (255); beside it the edge is strong.
  EXPECT_EQ(p[1 * w + 0], 255);
  EXPECT_EQ(p[1 * w + 7], 255);
  EXPECT_LT(p[1 * w + 3], 100);
  EXPECT_LT(p[1 * w + 4], 100);
}

TEST(ContrastTable, IdentityInversionAndLimits) {
  int32_t t[256];
  X_lutcontrast(t, 0);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], i);
  X_lutcontrast(t, -255);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], 255 - i);
  X_lutcontrast(t, -100);
  EXPECT_EQ(t[0], 100);
  EXPECT_EQ(t[255], 155);
  X_lutcontrast(t, 100);
  EXPECT_EQ(t[100], 0);
  EXPECT_EQ(t[101], 255 / 55);
  EXPECT_EQ(t[154], 54 * 255 / 55);
  EXPECT_EQ(t[155], 255);
  // Out-of-range amounts are taken as the nearest limit.
  int32_t u[256];
  X_lutcontrast(t, 1000);
  X_lutcontrast(u, 255);
  EXPECT_EQ(std::memcmp(t, u, sizeof t), 0);
  X_lutcontrast(t, -1000);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(t[i], 255 - i);
}

TEST(OpacityCopy, MixesInsideClipOnly) {
  std::vector<uint32_t> src(4, 0xFFFFFFFFu), dst(9, 0);
  EXPECT_EQ(X_Opa_BufToBuf_andR(2, 2, src.data(), 3, 3, dst.data(), 0, 0, 2, 2, 0, 0, 3, 3, 1, 0,
                                2, 1, 255),
            0);
  unsigned char b[4];
  std::memcpy(b, &dst[1], 4);
  EXPECT_EQ(b[0], 254);  // (255 * 255) >> 8
  EXPECT_EQ(dst[0], 0u);
  EXPECT_EQ(dst[6], 0u);
  std::memcpy(b, &dst[5], 4);
  EXPECT_EQ(b[3], 254);
  // A clip rectangle larger than the destination writes only inside it.
  std::vector<uint32_t> d2(4, 0);
  EXPECT_EQ(X_Opa_BufToBuf_andR(2, 2, src.data(), 2, 2, d2.data(), 0, 0, 2, 2, 0, 0, 9, 9, -5, -5,
                                50, 50, 128),
            0);
  EXPECT_EQ(X_Opa_BufToBuf_andR(2, 2, src.data(), 2, 2, d2.data(), 0, 0, 2, 2, 0, 0, 2, 0, 0, 0,
                                1, 1, 128),
            -1);
}

}  // namespace

namespace {

// A masked 3 x 3 box filter against its two plain halves: the same filter without a mask gives
// the filtered samples, and each region pixel then mixes them with its old samples by the mask
// sample it reads (every stepX-th byte along a row, clamped at the mask's end). At mask steps
// 1 to 4 on a single pixel, short rows, rows of several lanes and a tall plane, at 1, 3 and 8
// threads.
TEST(MaskedMatrix, RowsMixedInLanesMatchThePlainMix) {
  struct Shape {
    int w, h, left, right, top, bottom;
  };
  const Shape shapes[] = {{1, 1, 0, 0, 0, 0},      {17, 3, 0, 16, 0, 2},  {2049, 5, 0, 2048, 0, 4},
                          {2049, 5, 3, 2040, 1, 3}, {6, 300, 0, 5, 0, 299}, {70, 260, 2, 66, 9, 251}};
  const int32_t box[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  const unsigned char zero[1] = {0};
  uint32_t seed = 5;
  for (const Shape& s : shapes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    Plane in(n);
    for (auto& v : in) v = static_cast<unsigned char>((seed = seed * 1664525u + 1013904223u) >> 24);
    Plane filtered = in;
    ASSERT_EQ(ApplyMatrix(filtered.data(), nullptr, 1, 1, s.w, s.h, s.left, s.right, s.top,
                          s.bottom, 1, 1, zero, 9.0f, box),
              0);
    for (const int step : {1, 2, 3, 4}) {
      Plane mask(static_cast<size_t>(step) * step * n);
      for (auto& v : mask) v = static_cast<unsigned char>((seed = seed * 1664525u + 1013904223u) >> 24);
      Plane want = in;
      for (int y = s.top; y <= s.bottom; ++y) {
        for (int x = s.left; x <= s.right; ++x) {
          const size_t i = static_cast<size_t>(y) * s.w + x;
          const int m = mask[static_cast<size_t>(step) * step * y * s.w + static_cast<size_t>(step) * x];
          want[i] = static_cast<unsigned char>((filtered[i] * m + (255 - m) * in[i]) / 255);
        }
      }
      for (const int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        Plane got = in;
        ASSERT_EQ(ApplyMatrix(got.data(), mask.data(), step, step, s.w, s.h, s.left, s.right,
                              s.top, s.bottom, 1, 1, zero, 9.0f, box),
                  0);
        ASSERT_EQ(got, want) << s.w << "x" << s.h << " step " << step << " threads " << threads;
      }
    }
  }
  plat::SetThreadCount(0);
}

}  // namespace

namespace {

// One literal 3 x 3 box pass over a whole level (lw x lh, `samples` a pixel), the taps past
// its edges repeating them, the sum and the pass's offset for it divided by 9 and truncated;
// with a mask the result is mixed with the old sample by the mask byte at
// step * step * y * lw + step * x, held inside the mask's `limit` bytes, to the nearest.
void LiteralBoxPass(Plane& level, int lw, int lh, int samples, const unsigned char* mask,
                    int step, long long limit, int pass) {
  const Plane old = level;
  for (int y = 0; y < lh; ++y) {
    for (int x = 0; x < lw; ++x) {
      for (int c = 0; c < samples; ++c) {
        int sum = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx)
            sum += old[(static_cast<size_t>(std::clamp(y + dy, 0, lh - 1)) * lw +
                        std::clamp(x + dx, 0, lw - 1)) * samples + c];
        const int v = (sum + PyramidBoxOffset(sum, pass)) / 9;
        const size_t i = (static_cast<size_t>(y) * lw + x) * samples + c;
        if (mask == nullptr) {
          level[i] = static_cast<unsigned char>(v);
          continue;
        }
        const long long mi = std::clamp(static_cast<long long>(step) * step * y * lw +
                                            static_cast<long long>(step) * x,
                                        0LL, limit - 1);
        level[i] = Nearest((v * mask[mi] + (255 - mask[mi]) * old[i]) / 255.0);
      }
    }
  }
}

// The pyramid blur step by step, each level a whole plane: halve the even part of the
// height, radius + 1 - 4 (radius / 4) box passes on level 1, then (radius 4 on) on level 2
// once per further four, doubling back level by level.
Plane LiteralPyramid(Plane p, const unsigned char* mask, int w, int h, int radius,
                     int samples = 1) {
  const int h0 = h & ~1;
  if (w < 2 || h0 < 2) return p;
  const int w1 = (w + 1) / 2, h1 = (h0 + 1) / 2, w2 = (w1 + 1) / 2, h2 = (h1 + 1) / 2;
  const int rounds = radius / 4, passes = radius - 4 * rounds + 1;
  const long long limit = static_cast<long long>(w) * h;
  int pass = 0;
  Plane l1 = LiteralHalve(p, w, h0, samples);
  for (int k = 0; k < passes; ++k) LiteralBoxPass(l1, w1, h1, samples, mask, 2, limit, pass++);
  if (rounds > 0) {
    Plane l2 = LiteralHalve(l1, w1, h1, samples);
    for (int k = 0; k < passes * rounds; ++k)
      LiteralBoxPass(l2, w2, h2, samples, mask, 4, limit, pass++);
    LiteralDouble(l1, w1, h1, samples, l2);
  }
  LiteralDouble(p, w, h0, samples, l1);
  return p;
}

// The offsets of the box passes: 4 (to the nearest) in the first four; then 0 to 8, each
// within a quarter of its share over the sums of a pass, 8 less the offset of the opposite
// sum, and not the same from pass to pass.
TEST(Pyramid, BoxOffsetsAreBalancedAndOpposite) {
  for (int pass = 0; pass < 200; ++pass) {
    int count[9] = {};
    for (int sum = 0; sum <= 2295; ++sum) {
      const int offset = PyramidBoxOffset(sum, pass);
      ASSERT_TRUE(offset >= 0 && offset <= 8) << sum << " " << pass;
      ASSERT_EQ(PyramidBoxOffset(2295 - sum, pass), 8 - offset) << sum << " " << pass;
      if (pass < 4) {
        ASSERT_EQ(offset, 4) << sum << " " << pass;
      }
      ++count[offset];
    }
    for (int d = 0; d < 9 && pass >= 4; ++d)
      EXPECT_NEAR(count[d], 2296 / 9, 2296 / 9 / 4) << "offset " << d << " pass " << pass;
  }
  int same = 0;
  for (int sum = 0; sum <= 2295; ++sum) same += PyramidBoxOffset(sum, 4) == PyramidBoxOffset(sum, 5);
  EXPECT_LT(same, 2296 / 4);
}

// A mask of zeros keeps every box pass from changing anything: what is left is exactly the
// two halvings and two doublings of the pyramid, each mean rounded, not truncated as the
// standalone steps do; the same in three interleaved samples. Without a mask, three samples
// a pixel against the literal steps. Mean ties on both sides of mid-grey: planes of the two
// values beside a tie.
TEST(Pyramid, TheBlursOwnStepsRoundTheirMeans) {
  const int w = 40, h = 20;
  const Plane noise = vmktest::Noise(static_cast<size_t>(w) * h * 3, 3);
  const Plane zeros(static_cast<size_t>(w) * h, 0);
  for (const int samples : {1, 3}) {
    const Plane in(noise.begin(), noise.begin() + static_cast<long>(w) * h * samples);
    Plane want = in;
    LiteralDouble(want, w, h, samples, [&] {
      Plane l1 = LiteralHalve(in, w, h, samples);
      Plane back = l1;
      LiteralDouble(back, w / 2, h / 2, samples, LiteralHalve(l1, w / 2, h / 2, samples));
      return back;
    }());
    Plane got = in;
    ASSERT_EQ(X_Blur_buffer(got.data(), zeros.data(), w, h, 0, 0, 0, 0, 12, samples), 0);
    EXPECT_EQ(got, want) << samples;
    // The standalone steps still truncate: somewhere they differ.
    Plane l1(in.size() / 4), l2(in.size() / 16), back(in.size() / 4), truncated = in;
    DivideInHalf(w, h, w / 2, h / 2, 0, 0, w / 2 - 1, h / 2 - 1, samples, in.data(), l1.data());
    DivideInHalf(w / 2, h / 2, w / 4, h / 4, 0, 0, w / 4 - 1, h / 4 - 1, samples, l1.data(),
                 l2.data());
    Double(w / 2, h / 2, 0, 0, w / 2 - 1, h / 2 - 1, samples, back.data(), l2.data());
    Double(w, h, 0, 0, w - 1, h - 1, samples, truncated.data(), back.data());
    EXPECT_NE(truncated, want);
  }
  for (const int radius : {0, 3, 6, 13}) {
    const Plane in = vmktest::Noise(static_cast<size_t>(37) * 22 * 3, 40 + radius);
    Plane got = in;
    ASSERT_EQ(X_Blur_buffer(got.data(), nullptr, 37, 22, 0, 0, 0, 0, radius, 3), 0);
    EXPECT_EQ(got, LiteralPyramid(in, nullptr, 37, 22, radius, 3)) << radius;
  }
  for (const int low : {40, 41, 126, 127, 128, 200, 201}) {
    Plane pair(static_cast<size_t>(66) * 18);
    for (size_t i = 0; i < pair.size(); ++i) pair[i] = static_cast<unsigned char>(low + (i * 7 / 3 + i / 66) % 2);
    // A mask of the plane's pixels: one sample a pixel reads 66 x 18 of it.
    const Plane none(pair.size(), 0);
    for (const int samples : {1, 2}) {
      const int w = samples == 1 ? 66 : 33;
      Plane got = pair;
      ASSERT_EQ(X_Blur_buffer(got.data(), none.data(), w, 18, 0, 0, 0, 0, 0, samples), 0);
      EXPECT_EQ(got, LiteralPyramid(pair, none.data(), w, 18, 0, samples)) << low << " " << samples;
    }
  }
}

// The one-sample blur takes its box passes and its last doubling in bands of rows, in place
// or handing the rows on: both against the whole-level steps, at every vector level and at
// 1, 3 and 8 threads, on a single pixel, one row, short and odd rows, rows of many lanes, tall
// planes of many bands (the last one or two rows high) and odd heights, with no mask, a noise
// mask and a mask of runs of 0 and 255, at radii whose passes all fall on level 1 (0 to 3)
// and beyond.
TEST(Pyramid, BandedLastStepsMatchTheWholeLevelSteps) {
  struct Size {
    int w, h;
  };
  const Size sizes[] = {{1, 1}, {5, 1}, {2, 2}, {3, 3}, {17, 3}, {2049, 5},
                        {2050, 6}, {6, 301}, {71, 260}, {3, 2049}, {9, 132}, {130, 258}};
  const plat::SimdLevel levels[] = {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2,
                                    plat::SimdLevel::kAvx512};
  uint32_t seed = 400;
  for (const Size& s : sizes) {
    const size_t n = static_cast<size_t>(s.w) * s.h;
    const Plane in = vmktest::Noise(n, ++seed);
    const Plane noiseMask = vmktest::Noise(n, ++seed);
    Plane runs(n);
    for (size_t i = 0; i < n; ++i) runs[i] = (i / 37) % 3 == 0 ? 255 : (i / 37) % 3 == 1 ? 0 : 128;
    const unsigned char* const masks[] = {nullptr, noiseMask.data(), runs.data()};
    for (const unsigned char* mask : masks) {
      for (const int radius : {0, 1, 2, 3, 5, 9, 22}) {
        const Plane want = LiteralPyramid(in, mask, s.w, s.h, radius);
        for (const plat::SimdLevel level : levels) {
          for (const int threads : {1, 3, 8}) {
            const vmktest::LevelAndThreads hold(level, threads);
            Plane got = in;
            ASSERT_EQ(X_Blur_buffer(got.data(), mask, s.w, s.h, 0, 0, 0, 0, radius, 1), 0);
            ASSERT_EQ(got, want) << s.w << "x" << s.h << " radius " << radius << " level "
                                 << static_cast<int>(level) << " threads " << threads;
            // Handed on, each row once, the plane untouched.
            Plane rows(n, 7);
            std::vector<int> seen(static_cast<size_t>(s.h), 0);
            ASSERT_EQ(BlurPlaneRows(in.data(), mask, s.w, s.h, radius,
                                    [&](int32_t y, unsigned char* row) {
                                      ++seen[static_cast<size_t>(y)];
                                      std::memcpy(rows.data() + static_cast<size_t>(y) * s.w, row,
                                                  static_cast<size_t>(s.w));
                                      std::memset(row, 0, static_cast<size_t>(s.w));
                                    }),
                      0);
            ASSERT_EQ(rows, want) << s.w << "x" << s.h << " radius " << radius << " level "
                                  << static_cast<int>(level) << " threads " << threads;
            ASSERT_EQ(seen, std::vector<int>(static_cast<size_t>(s.h), 1));
          }
        }
      }
    }
  }
}

}  // namespace
