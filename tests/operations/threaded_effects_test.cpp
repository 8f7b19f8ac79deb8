// The per-pixel effects that run their rows on the shared threads give, at
// one thread and at eight, exactly what the plain per-sample blend gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "platform/parallel/parallel.h"

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

Plane Noise(size_t n, uint32_t seed) {
  Plane p(n);
  uint32_t v = seed * 2654435761u + 1;
  for (auto& b : p) {
    v = v * 1664525u + 1013904223u;
    b = static_cast<unsigned char>(v >> 24);
  }
  return p;
}

struct Region {
  int32_t x0, y0, x1, y1;
};
// The whole plane, an inner part, and one reaching past the far edges.
std::vector<Region> Regions(Size s) {
  return {{0, 0, s.w - 1, s.h - 1}, {s.w / 3, s.h / 2, s.w - 2, s.h - 1}, {-3, -2, s.w + 4, s.h + 9}};
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
            ASSERT_EQ(Effects::Etch(b.mode, b.opacity, p.data(), s.h, s.w, r.x0, r.y0, r.x1,
                                    r.y1, static_cast<int16_t>(channels), m, tables.data()),
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
                              reinterpret_cast<uint32_t*>(expectPacked.data()), m, x, y, x, y,
                              -200, -40, 20, 0);
          }
        for (int n : kCounts) {
          const Threads t(n);
          Plane p[3] = {planes[0], planes[1], planes[2]};
          Plane q = packed;
          Effects::HSLBlend(b.mode, b.opacity, s.h, s.w, p[0].data(), p[1].data(), p[2].data(),
                            nullptr, m, r.x0, r.y0, r.x1, r.y1, 30, 10, -5, 1);
          Effects::HSLBlend(b.mode, b.opacity, s.h, s.w, reinterpret_cast<uint32_t*>(q.data()), m,
                            r.x0, r.y0, r.x1, r.y1, -200, -40, 20, 0);
          for (int k = 0; k < 3; ++k) ASSERT_EQ(p[k], expect[k]) << s.w << "x" << s.h << " at " << n;
          ASSERT_EQ(q, expectPacked) << s.w << "x" << s.h << " at " << n;
        }
      }
}

}  // namespace
