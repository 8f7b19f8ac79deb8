// Tiled textures and the textured frame lay their rows in bands when no plane shares bytes
// with the texture, the mask or another plane: at 1, 3 and 8 threads the planes are those of
// the plain walk below (every region pixel in turn, its texel by the tiling rule, blended
// through its weight), on odd sizes, a tall plane and inner regions, with and without a mask,
// in replacement and another mode. A texture inside the plane keeps to the one walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "operations/effect_support.h"
#include "operations/effects.h"
#include "raster/plane_copy.h"
#include "support/level_and_threads.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<unsigned char>;
using effect_support::Blend;
using vmktest::LevelAndThreads;
using vmktest::Noise;

struct Case {
  int32_t w, h, x0, y0, x1, y1;
};
constexpr Case kCases[] = {{1, 1, 0, 0, 0, 0},       {17, 3, 0, 0, 16, 2},
                           {2049, 5, 3, 1, 2040, 4}, {5, 2049, 0, 0, 4, 2048},
                           {61, 37, 4, 2, 50, 30},   {33, 29, -3, -2, 40, 40}};
constexpr int32_t kTw = 7, kTh = 5;

// visit(pixel, texel, x, y) over the clipped region, texels anchored at its corner.
template <typename Visit>
void PlainTile(const Case& c, Visit visit) {
  const int32_t l = std::max(c.x0, 0), t = std::max(c.y0, 0);
  const int32_t r = std::min(c.x1, c.w - 1), b = std::min(c.y1, c.h - 1);
  for (int32_t y = t; y <= b; ++y)
    for (int32_t x = l; x <= r; ++x)
      visit(int64_t{y} * c.w + x, int64_t{(y - t) % kTh} * kTw + (x - l) % kTw, x, y);
}

int32_t WeightOf(const unsigned char* mask, int64_t p, int32_t opacity) {
  return mask != nullptr ? mask[p] * opacity / 255 : opacity;
}

TEST(TextureBands, TiledTexturesAtEveryThreadCountAreThePlainWalk) {
  const unsigned char* none = nullptr;
  for (const Case& c : kCases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane mask = Noise(n, 50);
    const Plane tex4 = Noise(kTw * kTh * 4, 51);
    const Plane texR = Noise(kTw * kTh, 52), texG = Noise(kTw * kTh, 53),
                texB = Noise(kTw * kTh, 54), texK = Noise(kTw * kTh, 55);
    for (const unsigned char* m : {none, mask.data()}) {
      for (int16_t mode : {0, 3}) {
        for (int16_t opacity : {255, 130}) {
          const auto where = [&](int threads) {
            return std::to_string(c.w) + "x" + std::to_string(c.h) + " mask " +
                   std::to_string(m != nullptr) + " mode " + std::to_string(mode) + " opacity " +
                   std::to_string(opacity) + " threads " + std::to_string(threads);
          };
          // One target of 1 or 3 interleaved samples from a texture of 1 or 3.
          for (int16_t targetChannels : {1, 3}) {
            for (int16_t textureChannels : {1, 3}) {
              const Plane start = Noise(n * targetChannels, 56);
              Plane plain = start;
              PlainTile(c, [&](int64_t p, int64_t t, int32_t, int32_t) {
                for (int32_t k = 0; k < targetChannels; ++k) {
                  unsigned char& s = plain[p * targetChannels + k];
                  s = Blend(mode, s, tex4[t * textureChannels], WeightOf(m, p, opacity));
                }
              });
              for (int threads : {1, 3, 8}) {
                const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
                Plane p = start;
                ASSERT_EQ(Effects::LoadTexture(mode, opacity, p.data(), tex4.data(), targetChannels,
                                               textureChannels, m, c.h, c.w, c.x0, c.y0, c.x1, c.y1,
                                               kTw, kTh, 0, 0),
                          0);
                ASSERT_EQ(p, plain)
                    << where(threads) << " channels " << targetChannels << "/" << textureChannels;
              }
            }
          }
          // Three or four planes from interleaved texels and from a texture of planes.
          for (int16_t kFlag : {0, 1}) {
            Plane start[4] = {Noise(n, 60), Noise(n, 61), Noise(n, 62), Noise(n, 63)};
            Plane fromTexels[4] = {start[0], start[1], start[2], start[3]};
            Plane fromPlanes[4] = {start[0], start[1], start[2], start[3]};
            const unsigned char* tex[4] = {texR.data(), texG.data(), texB.data(), texK.data()};
            const int32_t count = kFlag == 0 ? 4 : 3;
            PlainTile(c, [&](int64_t p, int64_t t, int32_t, int32_t) {
              const int32_t a = WeightOf(m, p, opacity);
              for (int32_t k = 0; k < count; ++k) {
                fromTexels[k][p] = Blend(mode, fromTexels[k][p], tex4[t * 4 + k], a);
                fromPlanes[k][p] = Blend(mode, fromPlanes[k][p], tex[k][t], a);
              }
            });
            for (int threads : {1, 3, 8}) {
              const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
              Plane p[4] = {start[0], start[1], start[2], start[3]};
              ASSERT_EQ(Effects::LoadTexture(mode, opacity, p[0].data(), p[1].data(), p[2].data(),
                                             p[3].data(), tex4.data(), kFlag, m, c.h, c.w, c.x0,
                                             c.y0, c.x1, c.y1, kTw, kTh, 0, 0),
                        0);
              for (int k = 0; k < 4; ++k)
                ASSERT_EQ(p[k], fromTexels[k]) << where(threads) << " texels, plane " << k;
              for (int k = 0; k < 4; ++k) p[k] = start[k];
              ASSERT_EQ(Effects::LoadTexture(mode, opacity, p[0].data(), p[1].data(), p[2].data(),
                                             p[3].data(), tex[0], tex[1], tex[2], tex[3], kFlag, m,
                                             c.h, c.w, c.x0, c.y0, c.x1, c.y1, kTw, kTh, 0, 0),
                        0);
              for (int k = 0; k < 4; ++k)
                ASSERT_EQ(p[k], fromPlanes[k]) << where(threads) << " planes, plane " << k;
            }
          }
        }
      }
    }
  }
}

// The frame: the region shrunk into its box, then the texture laid around the box.
Plane PlainFrame(Plane plane, const unsigned char* texture, const unsigned char* mask,
                 const Case& c, int16_t mode, int32_t opacity, int32_t boxW, int32_t boxH,
                 int32_t marginX, int32_t marginY) {
  const Plane before = plane;
  const int32_t l = std::max(c.x0, 0), t = std::max(c.y0, 0);
  const int32_t r = std::min(c.x1, c.w - 1), b = std::min(c.y1, c.h - 1);
  if (l > r || t > b) return plane;
  const float hw = static_cast<float>(r - l) * 0.5f, hh = static_cast<float>(b - t) * 0.5f;
  const auto left = static_cast<int32_t>(hw - hw * static_cast<float>(boxW) / 100);
  const auto right = static_cast<int32_t>(hw + hw * static_cast<float>(boxW) / 100);
  const auto top = static_cast<int32_t>(hh - hh * static_cast<float>(boxH) / 100);
  const auto bottom = static_cast<int32_t>(hh + hh * static_cast<float>(boxH) / 100);
  const auto pl = static_cast<int32_t>(int64_t{left} * marginX / 100);
  const auto pt = static_cast<int32_t>(int64_t{top} * marginY / 100);
  const auto pr = static_cast<int32_t>(right + int64_t{r - right} * (100 - marginX) / 100);
  const auto pb = static_cast<int32_t>(bottom + int64_t{b - bottom} * (100 - marginY) / 100);
  BufToBufChar_andR(0, c.w, c.h, before.data(), c.w, c.h, plane.data(), l, t, r, b, pl, pt, pr, pb);
  PlainTile(c, [&](int64_t p, int64_t tx, int32_t x, int32_t y) {
    if (left < x && x < right && top < y && y < bottom) return;
    plane[p] = Blend(mode, plane[p], texture[tx], WeightOf(mask, p, opacity));
  });
  return plane;
}

TEST(TextureBands, TexturedFrameAtEveryThreadCountIsThePlainWalk) {
  const unsigned char* none = nullptr;
  for (const Case& c : kCases) {
    const size_t n = static_cast<size_t>(c.w) * c.h;
    const Plane mask = Noise(n, 70), texture = Noise(kTw * kTh, 71), start = Noise(n, 72);
    for (const unsigned char* m : {none, mask.data()}) {
      for (int16_t mode : {0, 3}) {
        const Plane plain = PlainFrame(start, texture.data(), m, c, mode, 200, 60, 40, 30, 70);
        if (c.w > 8 && c.h > 8) {
          EXPECT_NE(plain, start) << c.w << "x" << c.h;
        }
        for (int threads : {1, 3, 8}) {
          const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
          Plane p = start;
          ASSERT_EQ(Effects::LoadInFrame(p.data(), texture.data(), m, c.h, c.w, mode, 200, 60, 40,
                                         30, 70, c.x0, c.y0, c.x1, c.y1, kTw, kTh),
                    0);
          ASSERT_EQ(p, plain) << c.w << "x" << c.h << " mask " << (m != nullptr) << " mode " << mode
                              << " threads " << threads;
        }
      }
    }
  }
}

// A texture that is the plane's own first rows: each pixel reads texels that the pixels before
// it may have written, so the one walk decides.
TEST(TextureBands, TextureInsideThePlaneKeepsToTheOneWalk) {
  const Case c{41, 300, 0, 0, 40, 299};
  const Plane start = Noise(static_cast<size_t>(c.w) * c.h, 80);
  Plane plain = start;
  PlainTile(c, [&](int64_t p, int64_t t, int32_t, int32_t) {
    plain[p] = Blend(0, plain[p], plain[t], 255);
  });
  for (int threads : {1, 8}) {
    const LevelAndThreads run(plat::SimdLevel::kAvx512, threads);
    Plane p = start;
    ASSERT_EQ(Effects::LoadTexture(0, 255, p.data(), p.data(), 1, 1, nullptr, c.h, c.w, c.x0, c.y0,
                                   c.x1, c.y1, kTw, kTh, 0, 0),
              0);
    ASSERT_EQ(p, plain) << "threads " << threads;
  }
}

}  // namespace
