// The quad warps and the displacement pull in bands of destination rows on the shared threads
// give the planes and maps of the one whole walk, written out here as it was first written:
// every lattice column walked top to bottom in one order, the last point to land in a pixel
// deciding it. Checked at one, three and eight threads on quads large enough to be banded,
// turned, flipped, nearly flat, overhanging the destination and larger than it, on odd sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "raster/displacement_resample.h"
#include "raster/distortion_warp.h"
#include "raster/inverse_bilinear.h"
#include "raster/quad_mapping.h"
#include "support/noise_plane.h"

namespace {

using Plane = std::vector<uint8_t>;

struct Threads {
  explicit Threads(int n) { plat::SetThreadCount(n); }
  ~Threads() { plat::SetThreadCount(0); }
};

using vmktest::Noise;

struct Quad {
  int32_t a[8], b[8];
};

// The plain walk.
template <typename Fn>
void PlainWalk(int32_t n, const Quad& q, int32_t dstH, int32_t dstW, Fn fn) {
  float ax[4], ay[4], bx[4], by[4];
  for (int k = 0; k < 4; ++k) {
    ax[k] = static_cast<float>(q.a[2 * k]);
    ay[k] = static_cast<float>(q.a[2 * k + 1]);
    bx[k] = static_cast<float>(q.b[2 * k]);
    by[k] = static_cast<float>(q.b[2 * k + 1]);
  }
  const float minX = std::min({bx[0], bx[1], bx[2], bx[3]});
  const float maxX = std::max({bx[0], bx[1], bx[2], bx[3]});
  const float minY = std::min({by[0], by[1], by[2], by[3]});
  const float maxY = std::max({by[0], by[1], by[2], by[3]});
  const float fw = static_cast<float>(dstW), fh = static_cast<float>(dstH);
  const float d = static_cast<float>(n - 1);
  for (int32_t i = 0; i < n; ++i) {
    const float s = static_cast<float>(i) / d;
    const float atx = ax[0] + s * (ax[1] - ax[0]), aty = ay[0] + s * (ay[1] - ay[0]);
    const float abx = ax[3] + s * (ax[2] - ax[3]), aby = ay[3] + s * (ay[2] - ay[3]);
    const float btx = bx[0] + s * (bx[1] - bx[0]), bty = by[0] + s * (by[1] - by[0]);
    const float bbx = bx[3] + s * (bx[2] - bx[3]), bby = by[3] + s * (by[2] - by[3]);
    for (int32_t j = 0; j < n; ++j) {
      const float t = static_cast<float>(j) / d;
      const float u = 1.0f - t;
      const float xb = u * btx + t * bbx;
      const float yb = u * bty + t * bby;
      if (xb < minX || xb > maxX || yb < minY || yb > maxY) continue;
      if (xb < 0.0f || xb >= fw || yb < 0.0f || yb >= fh) continue;
      fn(static_cast<int32_t>(xb), static_cast<int32_t>(yb), u * atx + t * abx, u * aty + t * aby,
         xb, yb);
    }
  }
}

int32_t Diagonal(const int32_t* c) {
  const int64_t w =
      int64_t{std::max({c[0], c[2], c[4], c[6]})} - std::min({c[0], c[2], c[4], c[6]}) + 1;
  const int64_t h =
      int64_t{std::max({c[1], c[3], c[5], c[7]})} - std::min({c[1], c[3], c[5], c[7]}) + 1;
  return static_cast<int32_t>(std::sqrt(static_cast<double>(w * w + h * h)));
}

int32_t Lattice(const Quad& q) {
  return std::max(Diagonal(q.a), Diagonal(q.b));
}

float Hold(float v, int32_t size) {
  if (v < 0.0f) return 0.0f;
  const float last = static_cast<float>(size - 1);
  return v > last ? last : v;
}

constexpr int32_t kW = 601, kH = 457;

// The rows of a map laid row after row.
std::vector<const uint32_t*> MapRows(const std::vector<uint32_t>& map, int32_t w, int32_t h) {
  std::vector<const uint32_t*> rows(h);
  for (int32_t y = 0; y < h; ++y) rows[y] = map.data() + static_cast<size_t>(y) * w;
  return rows;
}

// The pull sample by sample: each position held to the plane with its far neighbour one on
// (held too), and the bilinear value as Displ takes it, for each of the four planes.
void PlainPull(int32_t w, int32_t h, const Plane src[4], const std::vector<const uint32_t*>& rx,
               const std::vector<const uint32_t*>& ry, Plane expect[4]) {
  auto hold = [](double p, int32_t size, double* next) {
    if (p < 0.0) p = 0.0;
    if (p >= size) p = size - 1;
    *next = p + 1.0 >= size ? size - 1 : p + 1.0;
    return p;
  };
  auto offset = [](uint32_t v) {
    return (static_cast<double>(v) - static_cast<double>(kDisplacementNeutral)) / 128.0;
  };
  for (int k = 0; k < 4; ++k) {
    expect[k].resize(static_cast<size_t>(w) * h);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        double nx = 0, ny = 0;
        const double px = hold(x + offset(rx[y][x]), w, &nx);
        const double py = hold(y + offset(ry[y][x]), h, &ny);
        Displ(h, w, src[k].data(), &expect[k][static_cast<size_t>(y) * w + x], px, py, px - 1.0,
              py - 1.0, nx, ny);
      }
  }
}

// Source corners the whole source; destinations: turned, flipped, nearly flat in y and in x,
// overhanging, larger than the destination, and a small one that is not banded.
std::vector<Quad> Quads() {
  const int32_t src[8] = {0, 0, kW - 1, 0, kW - 1, kH - 1, 0, kH - 1};
  const int32_t dst[][8] = {{40, 10, 560, 90, 520, 440, 5, 380},
                            {580, 440, 20, 430, 30, 15, 590, 5},
                            {0, 200, 600, 201, 600, 202, 0, 203},
                            {300, 0, 301, 0, 302, 456, 303, 456},
                            {-150, -90, 700, -40, 650, 560, -120, 500},
                            {-2000, -1500, 2600, -1300, 2500, 1900, -1800, 2000},
                            {10, 10, 40, 12, 38, 41, 9, 39}};
  std::vector<Quad> v;
  for (const auto& d : dst) {
    Quad q;
    std::copy(src, src + 8, q.a);
    std::copy(d, d + 8, q.b);
    v.push_back(q);
  }
  return v;
}

TEST(BandedWarps, QuadWarpsAndMapsEqualTheWholeWalk) {
  const size_t n = static_cast<size_t>(kW) * kH;
  const Plane src[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
  const Plane background = Noise(n, 4);
  int qi = 0;
  for (const Quad& q : Quads()) {
    ++qi;
    const int32_t lattice = Lattice(q);
    // Plain results.
    Plane expect[3] = {background, background, background}, expectNearest = background;
    std::vector<uint32_t> expectX(n, 7), expectY(n, 9), expectLongX(n, 3), expectLongY(n, 5);
    PlainWalk(
        lattice, q, kH, kW, [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
          const float hx = Hold(xa, kW), hy = Hold(ya, kH);
          const int32_t ix = static_cast<int32_t>(hx), iy = static_cast<int32_t>(hy);
          const int32_t jx =
              hx + 1.0f < static_cast<float>(kW) ? static_cast<int32_t>(hx + 1.0f) : ix;
          const int32_t jy =
              hy + 1.0f < static_cast<float>(kH) ? static_cast<int32_t>(hy + 1.0f) : iy;
          const float fx = hx - static_cast<float>(ix), fy = hy - static_cast<float>(iy);
          const size_t di = static_cast<size_t>(y) * kW + x;
          for (int k = 0; k < 3; ++k) {
            const uint8_t* p = src[k].data();
            const float v = (1.0f - fy) * ((1.0f - fx) * p[iy * kW + ix] + fx * p[iy * kW + jx]) +
                            fy * ((1.0f - fx) * p[jy * kW + ix] + fx * p[jy * kW + jx]);
            expect[k][di] = static_cast<uint8_t>(static_cast<int32_t>(v));
          }
          expectNearest[di] = src[0][static_cast<size_t>(iy) * kW + ix];
          if (xa >= 0.0f && xa < static_cast<float>(kW) && ya >= 0.0f &&
              ya < static_cast<float>(kH)) {
            expectX[di] =
                static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (xb - xa) + 0.5));
            expectY[di] =
                static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (yb - ya) + 0.5));
            expectLongX[di] = static_cast<uint32_t>(std::clamp(
                kQuadMapNeutral - static_cast<int32_t>(128.0f * (xb - xa) + 0.5), 0, 65536));
            expectLongY[di] = static_cast<uint32_t>(std::clamp(
                kQuadMapNeutral - static_cast<int32_t>(128.0f * (yb - ya) + 0.5), 0, 65536));
          }
        });
    // Every thread count, on each vector form the processor has (the walk's points eight at a
    // time on AVX2).
    for (int combo = 0; combo < 9; ++combo) {
      const int threads = std::array<int, 3>{1, 3, 8}[combo % 3];
      plat::SetSimdLevel(static_cast<plat::SimdLevel>(combo / 3));
      const Threads t(threads);
      const std::string where = "quad " + std::to_string(qi) + " threads " +
                                std::to_string(threads) + " level " + std::to_string(combo / 3);
      Plane got[3] = {background, background, background}, nearest = background;
      QuadBufRGBToQuadBufRGB(kH, kW, src[0].data(), src[1].data(), src[2].data(), 0, nullptr, kH,
                             kW, got[0].data(), got[1].data(), got[2].data(), q.a[0], q.a[1],
                             q.a[2], q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2],
                             q.b[3], q.b[4], q.b[5], q.b[6], q.b[7]);
      for (int k = 0; k < 3; ++k) ASSERT_EQ(got[k], expect[k]) << where << " plane " << k;
      QuadBufToQuadBuf(kH, kW, src[0].data(), 0, nullptr, kH, kW, nearest.data(), q.a[0], q.a[1],
                       q.a[2], q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2],
                       q.b[3], q.b[4], q.b[5], q.b[6], q.b[7]);
      ASSERT_EQ(nearest, expectNearest) << where;
      std::vector<uint32_t> mx(n, 7), my(n, 9), lx(n, 3), ly(n, 5);
      std::vector<uint32_t*> rx(kH), ry(kH);
      for (int32_t y = 0; y < kH; ++y) {
        rx[y] = mx.data() + static_cast<size_t>(y) * kW;
        ry[y] = my.data() + static_cast<size_t>(y) * kW;
      }
      QuadToQuadDisRea(kH, kW, rx.data(), ry.data(), q.a[0], q.a[1], q.a[2], q.a[3], q.a[4], q.a[5],
                       q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4], q.b[5], q.b[6],
                       q.b[7]);
      ASSERT_EQ(mx, expectX) << where;
      ASSERT_EQ(my, expectY) << where;
      QuadToQuadLong(kW, kH, 0, 0, 0, 0, 0, 0, lx.data(), ly.data(), q.a[0], q.a[1], q.a[2], q.a[3],
                     q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4], q.b[5],
                     q.b[6], q.b[7]);
      ASSERT_EQ(lx, expectLongX) << where;
      ASSERT_EQ(ly, expectLongY) << where;
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// Lattices far denser than the pixels they land on: the cells of a 3 x 3 grid over pictures
// one pixel wide and one pixel high (straight and bent, zero and one pixel across, half a row
// outside the picture), a large
// source squeezed into a few pixels, into a thin upright strip and into a slanted one. The
// walk runs backwards for them and leaves out the columns whose pixels are all written: the
// planes and maps, quad by quad and laid together in bands, are the plain walk's, at one,
// three and eight threads.
TEST(BandedWarps, LatticesFarDenserThanTheirPixelsEqualThePlainWalk) {
  struct Case {
    int32_t w, h;
    std::vector<Quad> quads;
  };
  std::vector<Case> cases;
  for (const bool upright : {true, false}) {
    // The grid engine's nodes on a picture 1 x 900: columns 0, 0, 1, 1; bent rows.
    const int32_t length = 900;
    Case c{upright ? 1 : length, upright ? length : 1, {}};
    const int32_t across[4] = {0, 0, 1, 1}, along[4] = {0, 300, 600, length - 1};
    auto node = [&](int32_t i, int32_t j, bool bent, int32_t* x, int32_t* y) {
      int32_t a = across[i], l = along[j];
      if (bent) {
        l += static_cast<int32_t>(23.0 * std::sin(i * 1.3 + j * 0.7));
        a = (i + j) % 2 == 0 ? across[i] : 1 - across[i];
      }
      *x = upright ? a : l;
      *y = upright ? l : a;
    };
    for (int32_t j = 0; j < 3; ++j)
      for (int32_t i = 0; i < 3; ++i)
        for (const bool bent : {false, true}) {
          Quad q;
          const int32_t corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
          for (int32_t k = 0; k < 4; ++k) {
            node(i + corner[k][0], j + corner[k][1], false, &q.a[2 * k], &q.a[2 * k + 1]);
            node(i + corner[k][0], j + corner[k][1], bent, &q.b[2 * k], &q.b[2 * k + 1]);
          }
          c.quads.push_back(q);
        }
    // As the grid engine places a picture one pixel high's cells when their inner nodes move
    // along it: half of each a row above the picture, the rest along its one row.
    const int32_t moved[2][4] = {{0, 270, 630, length - 1}, {0, 330, 570, length - 1}};
    for (int32_t i = 0; i < 3; ++i)
      for (int32_t k = 0; k < 2; ++k) {
        const int32_t l0 = moved[k][i], l1 = moved[k][i + 1], m0 = moved[1 - k][i], m1 = moved[1 - k][i + 1];
        const int32_t along[8] = {300 * i, 0, 300 * (i + 1), 0, 300 * (i + 1), 0, 300 * i, 0};
        const int32_t bent[8] = {l0, k - 1, l1, k - 1, m1, k, m0, k};
        Quad q;
        for (int32_t n = 0; n < 4; ++n) {
          q.a[2 * n] = upright ? along[2 * n + 1] : along[2 * n];
          q.a[2 * n + 1] = upright ? along[2 * n] : along[2 * n + 1];
          q.b[2 * n] = upright ? bent[2 * n + 1] : bent[2 * n];
          q.b[2 * n + 1] = upright ? bent[2 * n] : bent[2 * n + 1];
        }
        c.quads.push_back(q);
      }
    cases.push_back(c);
  }
  cases.push_back(Case{61, 47,
                       {Quad{{0, 0, 700, 0, 700, 600, 0, 600}, {20, 20, 23, 21, 22, 24, 19, 23}},
                        Quad{{0, 0, 700, 0, 700, 600, 0, 600}, {30, 2, 30, 2, 31, 44, 30, 44}},
                        Quad{{-50, -40, 640, 10, 600, 620, 5, 580}, {5, 40, 5, 41, 58, 41, 58, 40}},
                        Quad{{0, 0, 640, 0, 640, 640, 0, 640}, {3, 3, 5, 3, 55, 40, 53, 40}}}});
  for (const Case& c : cases) {
    const int32_t w = c.w, h = c.h;
    const size_t n = static_cast<size_t>(w) * h;
    const Plane src[3] = {Noise(n, 11), Noise(n, 12), Noise(n, 13)};
    const Plane background = Noise(n, 14);
    Plane expect[3] = {background, background, background}, expectNearest = background;
    std::vector<uint32_t> expectX(n, 7), expectY(n, 9);
    std::vector<QuadPair> pairs;
    for (const Quad& q : c.quads) {
      QuadPair p;
      std::copy(q.a, q.a + 8, p.a);
      std::copy(q.b, q.b + 8, p.b);
      pairs.push_back(p);
      if (Lattice(q) < 2) continue;
      PlainWalk(Lattice(q), q, h, w, [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        const float hx = Hold(xa, w), hy = Hold(ya, h);
        const int32_t ix = static_cast<int32_t>(hx), iy = static_cast<int32_t>(hy);
        const int32_t jx = hx + 1.0f < static_cast<float>(w) ? static_cast<int32_t>(hx + 1.0f) : ix;
        const int32_t jy = hy + 1.0f < static_cast<float>(h) ? static_cast<int32_t>(hy + 1.0f) : iy;
        const float fx = hx - static_cast<float>(ix), fy = hy - static_cast<float>(iy);
        const size_t di = static_cast<size_t>(y) * w + x;
        for (int k = 0; k < 3; ++k) {
          const uint8_t* p = src[k].data();
          const float v = (1.0f - fy) * ((1.0f - fx) * p[iy * w + ix] + fx * p[iy * w + jx]) +
                          fy * ((1.0f - fx) * p[jy * w + ix] + fx * p[jy * w + jx]);
          expect[k][di] = static_cast<uint8_t>(static_cast<int32_t>(v));
        }
        expectNearest[di] = src[0][static_cast<size_t>(iy) * w + ix];
        if (xa >= 0.0f && xa < static_cast<float>(w) && ya >= 0.0f && ya < static_cast<float>(h)) {
          expectX[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (xb - xa) + 0.5));
          expectY[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (yb - ya) + 0.5));
        }
      });
    }
    for (int combo = 0; combo < 9; ++combo) {
      const int threads = std::array<int, 3>{1, 3, 8}[combo % 3];
      plat::SetSimdLevel(static_cast<plat::SimdLevel>(combo / 3));
      const Threads t(threads);
      const std::string where = std::to_string(w) + "x" + std::to_string(h) + " threads " +
                                std::to_string(threads) + " level " + std::to_string(combo / 3);
      Plane got[3] = {background, background, background}, nearest = background;
      std::vector<uint32_t> mx(n, 7), my(n, 9), lx(n, 7), ly(n, 9);
      std::vector<uint32_t*> rx(h), ry(h), rlx(h), rly(h);
      for (int32_t y = 0; y < h; ++y) {
        rx[y] = mx.data() + static_cast<size_t>(y) * w;
        ry[y] = my.data() + static_cast<size_t>(y) * w;
        rlx[y] = lx.data() + static_cast<size_t>(y) * w;
        rly[y] = ly.data() + static_cast<size_t>(y) * w;
      }
      for (const Quad& q : c.quads) {
        QuadBufRGBToQuadBufRGB(h, w, src[0].data(), src[1].data(), src[2].data(), 0, nullptr, h, w,
                               got[0].data(), got[1].data(), got[2].data(), q.a[0], q.a[1], q.a[2],
                               q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3],
                               q.b[4], q.b[5], q.b[6], q.b[7]);
        QuadBufToQuadBuf(h, w, src[0].data(), 0, nullptr, h, w, nearest.data(), q.a[0], q.a[1], q.a[2],
                         q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4],
                         q.b[5], q.b[6], q.b[7]);
        QuadToQuadDisRea(h, w, rx.data(), ry.data(), q.a[0], q.a[1], q.a[2], q.a[3], q.a[4], q.a[5],
                         q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4], q.b[5], q.b[6], q.b[7]);
      }
      LayQuadPairMaps(pairs.data(), static_cast<int64_t>(pairs.size()), h, w, rlx.data(), rly.data());
      for (int k = 0; k < 3; ++k) ASSERT_EQ(got[k], expect[k]) << where << " plane " << k;
      ASSERT_EQ(nearest, expectNearest) << where;
      ASSERT_EQ(mx, expectX) << where;
      ASSERT_EQ(my, expectY) << where;
      ASSERT_EQ(lx, expectX) << where << " laid together";
      ASSERT_EQ(ly, expectY) << where << " laid together";
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// A warp whose source is its own destination keeps the one walk: its points read samples
// that earlier points wrote.
TEST(BandedWarps, AWarpInPlaceKeepsTheOneWalk) {
  const size_t n = static_cast<size_t>(kW) * kH;
  const Quad q = Quads()[0];
  Plane one[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
  {
    const Threads t(1);
    QuadBufRGBToQuadBufRGB(kH, kW, one[0].data(), one[1].data(), one[2].data(), 0, nullptr, kH, kW,
                           one[0].data(), one[1].data(), one[2].data(), q.a[0], q.a[1], q.a[2],
                           q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3],
                           q.b[4], q.b[5], q.b[6], q.b[7]);
  }
  for (int threads : {3, 8}) {
    const Threads t(threads);
    Plane p[3] = {Noise(n, 1), Noise(n, 2), Noise(n, 3)};
    QuadBufRGBToQuadBufRGB(kH, kW, p[0].data(), p[1].data(), p[2].data(), 0, nullptr, kH, kW,
                           p[0].data(), p[1].data(), p[2].data(), q.a[0], q.a[1], q.a[2], q.a[3],
                           q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4],
                           q.b[5], q.b[6], q.b[7]);
    for (int k = 0; k < 3; ++k) ASSERT_EQ(p[k], one[k]) << threads;
  }
}

// The pull through displacement maps: every row from the maps and the sources, bottom up.
TEST(BandedWarps, DisplacementPullEqualsTheRowByRowPull) {
  for (const auto& [w, h] :
       std::vector<std::pair<int32_t, int32_t>>{{1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {301, 77}}) {
    const size_t n = static_cast<size_t>(w) * h;
    const Plane src[4] = {Noise(n, 11), Noise(n, 12), Noise(n, 13), Noise(n, 14)};
    std::vector<uint32_t> mx(n), my(n);
    for (size_t i = 0; i < n; ++i) {
      mx[i] = kDisplacementNeutral + static_cast<uint32_t>((i * 2654435761u) % 4000) - 2000;
      my[i] = kDisplacementNeutral + static_cast<uint32_t>((i * 40503u) % 3000) - 1500;
      // Now and then a value at either end of the 32 bits: positions far outside, held.
      if (i % 97 == 5) mx[i] = 0xFFFFFFFFu;
      if (i % 89 == 7) my[i] = 0;
    }
    std::vector<const uint32_t*> rx(h), ry(h);
    for (int32_t y = 0; y < h; ++y) {
      rx[y] = mx.data() + static_cast<size_t>(y) * w;
      ry[y] = my.data() + static_cast<size_t>(y) * w;
    }
    // Plain, then with the fringe's per-plane scales (the fourth plane at 100).
    for (const bool fringe : {false, true}) {
      const double scale[4] = {101.0, 100.0, 99.0, 100.0};
      Plane expect[4];
      for (int k = 0; k < 4; ++k) {
        expect[k].resize(n);
        auto offset = [&](uint32_t v) {
          const double d = static_cast<double>(v) - static_cast<double>(kDisplacementNeutral);
          return fringe ? d * scale[k] / 12800.0 : d / 128.0;
        };
        for (int32_t y = h - 1; y >= 0; --y)
          for (int32_t x = 0; x < w; ++x) {
            auto hold = [](double p, int32_t size, double* next) {
              if (p < 0.0) p = 0.0;
              if (p >= size) p = size - 1;
              *next = p + 1.0 >= size ? size - 1 : p + 1.0;
              return p;
            };
            double nx = 0, ny = 0;
            const double px = hold(x + offset(rx[y][x]), w, &nx);
            const double py = hold(y + offset(ry[y][x]), h, &ny);
            Displ(h, w, src[k].data(), &expect[k][static_cast<size_t>(y) * w + x], px, py, px - 1.0,
                  py - 1.0, nx, ny);
          }
      }
      // Every vector form the processor has, and without the fourth plane.
      for (const plat::SimdLevel level :
           {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
        plat::SetSimdLevel(level);
        for (int threads : {1, 3, 8}) {
          const Threads t(threads);
          for (const bool fourth : {true, false}) {
            Plane got[4] = {Plane(n), Plane(n), Plane(n), Plane(n)};
            const uint8_t* s3 = fourth ? src[3].data() : nullptr;
            uint8_t* d3 = fourth ? got[3].data() : nullptr;
            if (fringe)
              ComputeBufRGBInterDisAtXYfring(h, w, src[0].data(), src[1].data(), src[2].data(), s3,
                                             got[0].data(), got[1].data(), got[2].data(), d3,
                                             rx.data(), ry.data(), 101, 100, 99);
            else
              ComputeBufRGBInterDisAtXY(h, w, src[0].data(), src[1].data(), src[2].data(), s3,
                                        got[0].data(), got[1].data(), got[2].data(), d3, rx.data(),
                                        ry.data());
            for (int k = 0; k < (fourth ? 4 : 3); ++k)
              ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " threads " << threads << " fringe "
                                           << fringe << " level " << static_cast<int>(level);
          }
        }
      }
      plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    }
  }
}

// An engine's quads laid together in bands of rows equal the quads laid one after the other:
// a bent lattice of cells sharing their edges, then quads that overlap so that their order
// decides the pixels they share, and one reaching outside the destination.
TEST(BandedWarps, QuadPairsLaidInBandsEqualThePairsOneByOne) {
  const size_t n = static_cast<size_t>(kW) * kH;
  const Plane src[3] = {Noise(n, 5), Noise(n, 6), Noise(n, 7)};
  const Plane background = Noise(n, 8);
  std::vector<QuadPair> pairs;
  const int32_t cols = 12, rows = 9;
  auto node = [&](int32_t i, int32_t j, bool bent, int32_t* x, int32_t* y) {
    *x = i * (kW - 1) / cols;
    *y = j * (kH - 1) / rows;
    if (bent) {
      *x += static_cast<int32_t>(14.0 * std::sin(j * 0.7 + i * 0.3));
      *y += static_cast<int32_t>(11.0 * std::cos(i * 0.5 - j * 0.2));
    }
  };
  for (int32_t j = 0; j < rows; ++j)
    for (int32_t i = 0; i < cols; ++i) {
      QuadPair q;
      const int32_t corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
      for (int32_t k = 0; k < 4; ++k) {
        node(i + corner[k][0], j + corner[k][1], false, &q.a[2 * k], &q.a[2 * k + 1]);
        node(i + corner[k][0], j + corner[k][1], true, &q.b[2 * k], &q.b[2 * k + 1]);
      }
      pairs.push_back(q);
    }
  for (const Quad& q : Quads()) {
    QuadPair p;
    std::copy(q.a, q.a + 8, p.a);
    std::copy(q.b, q.b + 8, p.b);
    pairs.push_back(p);
  }
  Plane expect[3] = {background, background, background};
  std::vector<uint32_t> ex(n, 1), ey(n, 2);
  std::vector<uint32_t*> erx(kH), ery(kH);
  for (int32_t y = 0; y < kH; ++y) {
    erx[y] = ex.data() + static_cast<size_t>(y) * kW;
    ery[y] = ey.data() + static_cast<size_t>(y) * kW;
  }
  {
    const Threads t(1);
    for (const QuadPair& q : pairs) {
      const int32_t* a = q.a;
      const int32_t* b = q.b;
      QuadBufRGBToQuadBufRGB(kH, kW, src[0].data(), src[1].data(), src[2].data(), 0, nullptr, kH,
                             kW, expect[0].data(), expect[1].data(), expect[2].data(), a[0], a[1],
                             a[2], a[3], a[4], a[5], a[6], a[7], b[0], b[1], b[2], b[3], b[4], b[5],
                             b[6], b[7]);
      QuadToQuadDisRea(kH, kW, erx.data(), ery.data(), a[0], a[1], a[2], a[3], a[4], a[5], a[6],
                       a[7], b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
    }
  }
  for (int combo = 0; combo < 6; ++combo) {
    const int threads = std::array<int, 3>{1, 3, 8}[combo % 3];
    plat::SetSimdLevel(combo < 3 ? plat::SimdLevel::kBaseline : plat::SimdLevel::kAvx512);
    const Threads t(threads);
    Plane got[3] = {background, background, background};
    LayQuadPairsRGB(pairs.data(), static_cast<int64_t>(pairs.size()), kH, kW, src[0].data(),
                    src[1].data(), src[2].data(), kH, kW, got[0].data(), got[1].data(),
                    got[2].data());
    for (int k = 0; k < 3; ++k) ASSERT_EQ(got[k], expect[k]) << threads << " plane " << k;
    std::vector<uint32_t> mx(n, 1), my(n, 2);
    std::vector<uint32_t*> rx(kH), ry(kH);
    for (int32_t y = 0; y < kH; ++y) {
      rx[y] = mx.data() + static_cast<size_t>(y) * kW;
      ry[y] = my.data() + static_cast<size_t>(y) * kW;
    }
    LayQuadPairMaps(pairs.data(), static_cast<int64_t>(pairs.size()), kH, kW, rx.data(), ry.data());
    ASSERT_EQ(mx, ex) << threads << " " << combo;
    ASSERT_EQ(my, ey) << threads << " " << combo;
  }
  plat::SetSimdLevel(plat::SimdLevel::kAvx512);
}

// The warp through a mask (blend 1 keeps the destination where the mask is full, blend 2
// takes the source there), whole and band by band through the rows form.
TEST(BandedWarps, MaskedWarpsWholeAndByRowsEqualTheWholeWalk) {
  const size_t n = static_cast<size_t>(kW) * kH;
  const Plane src[3] = {Noise(n, 21), Noise(n, 22), Noise(n, 23)};
  const Plane mask = Noise(n, 24), background = Noise(n, 25);
  for (int16_t blend : {1, 2}) {
    for (const Quad& q : Quads()) {
      Plane expect[3] = {background, background, background};
      PlainWalk(Lattice(q), q, kH, kW, [&](int32_t x, int32_t y, float xa, float ya, float, float) {
        const float hx = Hold(xa, kW), hy = Hold(ya, kH);
        const int32_t ix = static_cast<int32_t>(hx), iy = static_cast<int32_t>(hy);
        const int32_t jx =
            hx + 1.0f < static_cast<float>(kW) ? static_cast<int32_t>(hx + 1.0f) : ix;
        const int32_t jy =
            hy + 1.0f < static_cast<float>(kH) ? static_cast<int32_t>(hy + 1.0f) : iy;
        const float fx = hx - static_cast<float>(ix), fy = hy - static_cast<float>(iy);
        auto mix = [&](const uint8_t* p) {
          return (1.0f - fy) * ((1.0f - fx) * p[iy * kW + ix] + fx * p[iy * kW + jx]) +
                 fy * ((1.0f - fx) * p[jy * kW + ix] + fx * p[jy * kW + jx]);
        };
        const float m = mix(mask.data());
        const int32_t mw = static_cast<int32_t>(m);
        const int32_t mr = static_cast<int32_t>(255.0f - m);
        const size_t di = static_cast<size_t>(y) * kW + x;
        for (int k = 0; k < 3; ++k) {
          const int32_t v = static_cast<int32_t>(mix(src[k].data()));
          const int32_t d = expect[k][di];
          expect[k][di] =
              static_cast<uint8_t>(blend == 1 ? (d * mw + v * mr) / 255 : (v * mw + d * mr) / 255);
        }
      });
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        Plane whole[3] = {background, background, background};
        Plane rows[3] = {background, background, background};
        QuadBufRGBToQuadBufRGB(kH, kW, src[0].data(), src[1].data(), src[2].data(), blend,
                               mask.data(), kH, kW, whole[0].data(), whole[1].data(),
                               whole[2].data(), q.a[0], q.a[1], q.a[2], q.a[3], q.a[4], q.a[5],
                               q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4], q.b[5],
                               q.b[6], q.b[7]);
        for (int32_t first = 0; first < kH; first += 45)
          QuadBufRGBToQuadBufRGBRows(first, std::min(first + 45, kH), kH, kW, src[0].data(),
                                     src[1].data(), src[2].data(), blend, mask.data(), kH, kW,
                                     rows[0].data(), rows[1].data(), rows[2].data(), q.a[0], q.a[1],
                                     q.a[2], q.a[3], q.a[4], q.a[5], q.a[6], q.a[7], q.b[0], q.b[1],
                                     q.b[2], q.b[3], q.b[4], q.b[5], q.b[6], q.b[7]);
        for (int k = 0; k < 3; ++k) {
          ASSERT_EQ(whole[k], expect[k]) << "blend " << blend << " threads " << threads;
          ASSERT_EQ(rows[k], expect[k]) << "blend " << blend << " threads " << threads;
        }
      }
    }
  }
}

// Flat planes: the map's 1/128 steps keep every weight, product and sum exact, so each pixel
// is the sample itself; a hold or a truncation taken wrong shows as another value. Every
// 1/128 offset in both directions, on each vector form.
TEST(BandedWarps, DisplacementPullOfFlatPlanesGivesTheSampleAtEveryOffset) {
  const int32_t w = 128, h = 129;
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint32_t> mx(n), my(n);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      mx[static_cast<size_t>(y) * w + x] = kDisplacementNeutral + static_cast<uint32_t>(x);
      my[static_cast<size_t>(y) * w + x] = kDisplacementNeutral + static_cast<uint32_t>(y);
    }
  std::vector<const uint32_t*> rx(h), ry(h);
  for (int32_t y = 0; y < h; ++y) {
    rx[y] = mx.data() + static_cast<size_t>(y) * w;
    ry[y] = my.data() + static_cast<size_t>(y) * w;
  }
  for (const int value : {1, 3, 7, 77, 128, 199, 255}) {
    const Plane flat(n, static_cast<uint8_t>(value));
    Plane expect(n);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        double px = x + (static_cast<double>(rx[y][x]) - kDisplacementNeutral) / 128.0;
        double py = y + (static_cast<double>(ry[y][x]) - kDisplacementNeutral) / 128.0;
        px = px >= w ? w - 1 : px;
        py = py >= h ? h - 1 : py;
        const double nx = px + 1.0 >= w ? w - 1 : px + 1.0, ny = py + 1.0 >= h ? h - 1 : py + 1.0;
        Displ(h, w, flat.data(), &expect[static_cast<size_t>(y) * w + x], px, py, px - 1.0,
              py - 1.0, nx, ny);
      }
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      Plane r(n), g(n), b(n);
      ComputeBufRGBInterDisAtXY(h, w, flat.data(), flat.data(), flat.data(), nullptr, r.data(),
                                g.data(), b.data(), nullptr, rx.data(), ry.data());
      ASSERT_EQ(r, expect) << value << " level " << static_cast<int>(level);
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// A rectangle distorted into a quadrilateral: each row of the destination solved afresh, in
// bands on the shared threads when source and destination are apart; the same samples as the
// one row-by-row scan, for one- and four-byte samples and overhanging corners.
TEST(BandedWarps, DistortedRectangleEqualsTheRowByRowScan) {
  const int32_t w = 301, h = 257;
  for (const int16_t mode : {2, 0}) {
    const int32_t bytes = mode == 2 ? 1 : 4;
    const Plane src = Noise(static_cast<size_t>(w) * h * bytes, 31);
    const Plane background = Noise(static_cast<size_t>(w) * h * bytes, 32);
    const int32_t corners[][8] = {{20, 10, 280, 40, 250, 240, 5, 200},
                                  {-40, -30, 330, 10, 290, 300, -20, 220}};
    for (const auto& c : corners) {
      Plane expect = background;
      const raster_detail::Quad q = raster_detail::PercentQuad(
          raster_detail::Quad{{c[0], c[2], c[4], c[6]}, {c[1], c[3], c[5], c[7]}}, 10, 5, 250, 200,
          100);
      raster_detail::ScanQuad(q, h, w, [&](int32_t x, int32_t y, double u, double v) {
        const int32_t sx = raster_detail::ClampIndex(10 + raster_detail::NearestOffset(u, 250), w);
        const int32_t sy = raster_detail::ClampIndex(5 + raster_detail::NearestOffset(v, 200), h);
        for (int32_t k = 0; k < bytes; ++k)
          expect[(static_cast<size_t>(y) * w + x) * bytes + k] =
              src[(static_cast<size_t>(sy) * w + sx) * bytes + k];
      });
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        Plane got = background;
        X_distort_bufcol(mode, h, w, src.data(), h, w, got.data(), c[0], c[1], c[2], c[3], c[4],
                         c[5], c[6], c[7], 10, 5, 250, 200, 0, 100);
        ASSERT_EQ(got, expect) << "mode " << mode << " threads " << threads;
      }
    }
  }
}

// The one-byte distortion with its blend mask (the mask weighs the old sample in blend 1, the
// source in blend 2): in bands when neither the source nor the mask meets the destination,
// the samples of the row-by-row scan on odd, flat and tall sizes; a source that is the
// destination keeps to the one scan.
TEST(BandedWarps, DistortedBufferWithItsBlendMaskEqualsTheRowByRowScan) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {301, 257}}) {
    const size_t n = static_cast<size_t>(w) * h;
    const Plane src = Noise(n, 41), mask = Noise(n, 42), background = Noise(n, 43);
    const int32_t c[8] = {w / 10, h / 20, w - 3, h / 8, w - w / 6, h - 2, -w / 9, h - h / 5};
    const int32_t l = w / 20, t = h / 30, W = std::max(w - 2 * l - 1, 1),
                  H = std::max(h - 2 * t - 1, 1);
    for (const int16_t blend : {0, 1, 2}) {
      const uint8_t* m = blend == 0 ? nullptr : mask.data();
      Plane expect = background;
      const raster_detail::Quad q = raster_detail::PercentQuad(
          raster_detail::Quad{{c[0], c[2], c[4], c[6]}, {c[1], c[3], c[5], c[7]}}, l, t, W, H, 100);
      raster_detail::ScanQuad(q, h, w, [&](int32_t x, int32_t y, double u, double v) {
        const int32_t sx = raster_detail::ClampIndex(l + raster_detail::NearestOffset(u, W), w);
        const int32_t sy = raster_detail::ClampIndex(t + raster_detail::NearestOffset(v, H), h);
        const int32_t sv = src[static_cast<size_t>(sy) * w + sx];
        uint8_t& out = expect[static_cast<size_t>(y) * w + x];
        const int32_t k = m != nullptr ? m[static_cast<size_t>(sy) * w + sx] : 0;
        out = static_cast<uint8_t>(blend == 1   ? (out * k + sv * (255 - k)) / 255
                                   : blend == 2 ? (sv * k + out * (255 - k)) / 255
                                                : sv);
      });
      if (w > 2 && h > 2) {
        EXPECT_NE(expect, background) << w << "x" << h;
      }
      for (int threads : {1, 3, 8}) {
        const Threads run(threads);
        Plane got = background;
        X_distort_buffer(0, h, w, src.data(), blend, m, h, w, got.data(), c[0], c[1], c[2], c[3],
                         c[4], c[5], c[6], c[7], l, t, W, H, 100);
        ASSERT_EQ(got, expect) << w << "x" << h << " blend " << blend << " threads " << threads;
      }
      // In place: each pixel reads what the pixels before it wrote, one scan.
      Plane inPlace = src, scanned = src;
      raster_detail::ScanQuad(q, h, w, [&](int32_t x, int32_t y, double u, double v) {
        const int32_t sx = raster_detail::ClampIndex(l + raster_detail::NearestOffset(u, W), w);
        const int32_t sy = raster_detail::ClampIndex(t + raster_detail::NearestOffset(v, H), h);
        scanned[static_cast<size_t>(y) * w + x] = scanned[static_cast<size_t>(sy) * w + sx];
      });
      for (int threads : {1, 8}) {
        const Threads run(threads);
        Plane got = src;
        X_distort_buffer(0, h, w, got.data(), 0, nullptr, h, w, got.data(), c[0], c[1], c[2], c[3],
                         c[4], c[5], c[6], c[7], l, t, W, H, 100);
        ASSERT_EQ(got, scanned) << w << "x" << h << " in place, threads " << threads;
      }
    }
  }
}

// Smooth maps, as the lens and grid engines make them (neighbouring pixels moved alike, so the
// wide form reads their samples from a few rows of the source), with stretches pushed past
// the right and bottom edges, a stretch that spreads sixteen neighbours over many rows, and a
// few values at the ends of the 32 bits: every vector form at one, three and eight threads
// gives the sample by sample pull, on odd and tall sizes.
TEST(BandedWarps, DisplacementPullThroughSmoothMapsEqualsThePlainPull) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {47, 301}, {640, 97}}) {
    const size_t n = static_cast<size_t>(w) * h;
    const Plane src[4] = {Noise(n, 21), Noise(n, 22), Noise(n, 23), Noise(n, 24)};
    std::vector<uint32_t> mx(n), my(n);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        // Up to 12 pixels across and 3 rows down, changing by at most a column or a row
        // over the sixteen of a step.
        double dx = 12.0 * std::sin(x * 0.013 + y * 0.021);
        double dy = 3.0 * std::cos(x * 0.009 - y * 0.017);
        if (y % 41 == 40) dx += 2.0 * w;     // past the right edge, held
        if (x % 53 == 50) dy += 2.0 * h;     // past the bottom edge, held
        if (y % 37 == 12) dy += (x % 16) * 0.9;  // sixteen neighbours over many rows
        mx[i] = static_cast<uint32_t>(static_cast<int64_t>(kDisplacementNeutral) +
                                      static_cast<int64_t>(std::floor(dx * 128.0)));
        my[i] = static_cast<uint32_t>(static_cast<int64_t>(kDisplacementNeutral) +
                                      static_cast<int64_t>(std::floor(dy * 128.0)));
        if (i % 1013 == 3) mx[i] = 0xFFFFFFFFu;
        if (i % 997 == 9) my[i] = 0;
      }
    const std::vector<const uint32_t*> rx = MapRows(mx, w, h), ry = MapRows(my, w, h);
    Plane expect[4];
    PlainPull(w, h, src, rx, ry, expect);
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        for (const bool fourth : {true, false}) {
          Plane got[4] = {Plane(n), Plane(n), Plane(n), Plane(n)};
          ComputeBufRGBInterDisAtXY(h, w, src[0].data(), src[1].data(), src[2].data(),
                                    fourth ? src[3].data() : nullptr, got[0].data(), got[1].data(),
                                    got[2].data(), fourth ? got[3].data() : nullptr, rx.data(),
                                    ry.data());
          for (int k = 0; k < (fourth ? 4 : 3); ++k)
            ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " threads " << threads << " level "
                                         << static_cast<int>(level) << " plane " << k;
        }
      }
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// Steps of eight pixels whose positions spread across about 0 to 20 columns and whose rows
// step by 0, 1 or 2 (up and down) among neighbours: the eight-lane pull picks the samples of a
// narrow step out of three rows of 16 read once and gathers those of a wider one, and either
// way, at the plane's last rows and columns too, gives the plain pull's samples.
TEST(BandedWarps, DisplacementPullOfStepsAroundTheReadWindowEqualsThePlainPull) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {23, 19}, {64, 40}, {9, 700}}) {
    const size_t n = static_cast<size_t>(w) * h;
    const Plane src[4] = {Noise(n, 31), Noise(n, 32), Noise(n, 33), Noise(n, 34)};
    std::vector<uint32_t> mx(n), my(n);
    const int32_t spreads[] = {0, 7, 13, 14, 15, 16, 20};
    const int32_t rowSteps[][8] = {{0, 0, 0, 0, 0, 0, 0, 0},   {0, 1, 0, 1, 0, 1, 0, 1},
                                   {0, 1, 2, 0, 1, 2, 0, 1},   {0, -1, 0, -1, 0, -1, 0, -1},
                                   {0, 0, 0, 0, 0, 0, 0, 2},   {1, 1, 1, 1, 1, 1, 1, 1}};
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = static_cast<size_t>(y) * w + x;
        const int32_t lane = x % 8, group = x / 8 + 3 * y;
        // The lanes of a group land about `spread` columns apart from first to last.
        const int64_t across = int64_t{lane} * (spreads[group % 7] * 128 / 7 - 128) +
                               (x * 37 + y * 11) % 128;
        const int64_t down = int64_t{rowSteps[group % 6][lane]} * 128 + (x * 53 + y * 29) % 128;
        mx[i] = static_cast<uint32_t>(int64_t{kDisplacementNeutral} + across);
        my[i] = static_cast<uint32_t>(int64_t{kDisplacementNeutral} + down);
      }
    const std::vector<const uint32_t*> rx = MapRows(mx, w, h), ry = MapRows(my, w, h);
    Plane expect[4];
    PlainPull(w, h, src, rx, ry, expect);
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        Plane got[4] = {Plane(n), Plane(n), Plane(n), Plane(n)};
        ComputeBufRGBInterDisAtXY(h, w, src[0].data(), src[1].data(), src[2].data(), src[3].data(),
                                  got[0].data(), got[1].data(), got[2].data(), got[3].data(),
                                  rx.data(), ry.data());
        for (int k = 0; k < 4; ++k)
          ASSERT_EQ(got[k], expect[k]) << w << "x" << h << " threads " << threads << " level "
                                       << static_cast<int>(level) << " plane " << k;
      }
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// The maps of quads laid on odd and tall planes, a lattice column a call on the wide form:
// lattices of cells over the plane and quads hanging over its edges, laid together in bands
// (over set maps, and over unset ones made neutral band by band) and one by one, equal the
// plain walk's maps at one, three and eight threads.
TEST(BandedWarps, QuadMapsOnOddSizesEqualThePlainWalk) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {3, 700}}) {
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<Quad> quads;
    const int32_t cols = 4, rows = 5;
    auto node = [&](int32_t i, int32_t j, bool bent, int32_t* x, int32_t* y) {
      *x = i * (w - 1) / cols;
      *y = j * (h - 1) / rows;
      if (bent) {
        // Moved off the top and left edges, which keep their first entries.
        *x += static_cast<int32_t>(0.02 * w * std::sin(j * 0.7 + i * 0.3) + 2.0 * std::cos(i)) +
              w / 10 + 1;
        *y += static_cast<int32_t>(0.02 * h * std::cos(i * 0.5 - j * 0.2) + 2.0 * std::sin(j)) +
              h / 10 + 1;
      }
    };
    for (int32_t j = 0; j < rows; ++j)
      for (int32_t i = 0; i < cols; ++i) {
        Quad q;
        const int32_t corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int32_t k = 0; k < 4; ++k) {
          node(i + corner[k][0], j + corner[k][1], false, &q.a[2 * k], &q.a[2 * k + 1]);
          node(i + corner[k][0], j + corner[k][1], true, &q.b[2 * k], &q.b[2 * k + 1]);
        }
        quads.push_back(q);
      }
    quads.push_back(Quad{{-3, -2, w + 4, 1, w + 2, h + 5, 0, h - 1},
                         {2, -4, w - 1, 3, w + 6, h + 1, -5, h + 2}});
    quads.push_back(Quad{{0, 0, w - 1, 0, w - 1, h - 1, 0, h - 1},
                         {w - 1, h - 1, w / 3, h - 1, w / 3, h / 3, w - 1, h / 3}});
    // Laid over entries of 7 and 9, and over neutral ones (the maps laid on neutral start
    // from any values).
    std::vector<uint32_t> ex(n, 7), ey(n, 9), nx(n, kDisplacementNeutral), ny(n, kDisplacementNeutral);
    for (const Quad& q : quads) {
      // A lattice of fewer than two points a side lays nothing.
      if (Lattice(q) < 2) continue;
      PlainWalk(Lattice(q), q, h, w, [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        if (xa < 0.0f || xa >= static_cast<float>(w) || ya < 0.0f || ya >= static_cast<float>(h))
          return;
        const size_t di = static_cast<size_t>(y) * w + x;
        ex[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (xb - xa) + 0.5));
        ey[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (yb - ya) + 0.5));
        nx[di] = ex[di];
        ny[di] = ey[di];
      });
    }
    std::vector<QuadPair> pairs;
    for (const Quad& q : quads) {
      QuadPair p;
      std::copy(q.a, q.a + 8, p.a);
      std::copy(q.b, q.b + 8, p.b);
      pairs.push_back(p);
    }
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        for (const int together : {0, 1, 2}) {
          std::vector<uint32_t> mx(n, together == 2 ? 0xDEADBEEFu : 7u),
              my(n, together == 2 ? 0x12345678u : 9u);
          std::vector<uint32_t*> rx(h), ry(h);
          for (int32_t y = 0; y < h; ++y) {
            rx[y] = mx.data() + static_cast<size_t>(y) * w;
            ry[y] = my.data() + static_cast<size_t>(y) * w;
          }
          if (together == 2) {
            LayQuadPairMapsOnNeutral(pairs.data(), static_cast<int64_t>(pairs.size()), h, w,
                                     rx.data(), ry.data());
          } else if (together == 1) {
            LayQuadPairMaps(pairs.data(), static_cast<int64_t>(pairs.size()), h, w, rx.data(),
                            ry.data());
          } else {
            for (const Quad& q : quads)
              QuadToQuadDisRea(h, w, rx.data(), ry.data(), q.a[0], q.a[1], q.a[2], q.a[3], q.a[4],
                               q.a[5], q.a[6], q.a[7], q.b[0], q.b[1], q.b[2], q.b[3], q.b[4],
                               q.b[5], q.b[6], q.b[7]);
          }
          const std::string where = std::to_string(w) + "x" + std::to_string(h) + " threads " +
                                    std::to_string(threads) + " level " +
                                    std::to_string(static_cast<int>(level)) + " together " +
                                    std::to_string(together);
          ASSERT_EQ(mx, together == 2 ? nx : ex) << where;
          ASSERT_EQ(my, together == 2 ? ny : ey) << where;
        }
      }
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// The maps laid in bands through row tables of every shape: rows a little more than a width
// apart, both maps in one block (the engines' layout), rows out of order and rows of the two
// maps spaced differently; every one gives the plain walk's maps, at one, three and eight
// threads, on odd and tall planes.
TEST(BandedWarps, QuadMapsThroughEveryRowLayoutEqualThePlainWalk) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {61, 47}}) {
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<QuadPair> pairs;
    const int32_t cells = 3;
    auto node = [&](int32_t i, int32_t j, bool bent, int32_t* x, int32_t* y) {
      *x = i * (w - 1) / cells;
      *y = j * (h - 1) / cells;
      if (bent) {
        *x += static_cast<int32_t>(0.05 * w * std::sin(j * 0.9 + i * 0.4)) + 1;
        *y += static_cast<int32_t>(0.05 * h * std::cos(i * 0.6 - j * 0.3)) + 1;
      }
    };
    for (int32_t j = 0; j < cells; ++j)
      for (int32_t i = 0; i < cells; ++i) {
        QuadPair q;
        const int32_t corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int32_t k = 0; k < 4; ++k) {
          node(i + corner[k][0], j + corner[k][1], false, &q.a[2 * k], &q.a[2 * k + 1]);
          node(i + corner[k][0], j + corner[k][1], true, &q.b[2 * k], &q.b[2 * k + 1]);
        }
        pairs.push_back(q);
      }
    pairs.push_back(QuadPair{{-3, -2, w + 4, 1, w + 2, h + 5, 0, h - 1},
                             {w - 1, h + 2, -4, h - 3, 1, -5, w + 3, 2}});
    std::vector<uint32_t> ex(n, kDisplacementNeutral), ey(n, kDisplacementNeutral);
    for (const QuadPair& p : pairs) {
      Quad q;
      std::copy(p.a, p.a + 8, q.a);
      std::copy(p.b, p.b + 8, q.b);
      if (Lattice(q) < 2) continue;
      PlainWalk(Lattice(q), q, h, w, [&](int32_t x, int32_t y, float xa, float ya, float xb, float yb) {
        if (xa < 0.0f || xa >= static_cast<float>(w) || ya < 0.0f || ya >= static_cast<float>(h))
          return;
        const size_t di = static_cast<size_t>(y) * w + x;
        ex[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (xb - xa) + 0.5));
        ey[di] = static_cast<uint32_t>(327680000 - static_cast<int32_t>(128.0f * (yb - ya) + 0.5));
      });
    }
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        for (int layout = 0; layout < 4; ++layout) {
          // 0: rows w + 3 apart, apart maps; 1: one block, rows w + 16 apart, y after x;
          // 2: rows in reverse order; 3: the y map's rows w apart, the x map's w + 1.
          const size_t pitchX = w + (layout == 0 ? 3 : layout == 1 ? 16 : layout == 3 ? 1 : 0);
          const size_t pitchY = layout == 3 ? w : pitchX;
          std::vector<uint32_t> block(pitchX * h + pitchY * h + 8, 0xDEADBEEFu);
          std::vector<uint32_t*> rx(h), ry(h);
          for (int32_t y = 0; y < h; ++y) {
            const int32_t row = layout == 2 ? h - 1 - y : y;
            rx[y] = block.data() + static_cast<size_t>(row) * pitchX;
            ry[y] = block.data() + pitchX * h + 8 + static_cast<size_t>(row) * pitchY;
          }
          LayQuadPairMapsOnNeutral(pairs.data(), static_cast<int64_t>(pairs.size()), h, w,
                                   rx.data(), ry.data());
          std::vector<uint32_t> gx(n), gy(n);
          for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
              gx[static_cast<size_t>(y) * w + x] = rx[y][x];
              gy[static_cast<size_t>(y) * w + x] = ry[y][x];
            }
          const std::string where = std::to_string(w) + "x" + std::to_string(h) + " threads " +
                                    std::to_string(threads) + " level " +
                                    std::to_string(static_cast<int>(level)) + " layout " +
                                    std::to_string(layout);
          ASSERT_EQ(gx, ex) << where;
          ASSERT_EQ(gy, ey) << where;
          // The gaps between rows are left as they were.
          for (int32_t y = 0; y < h; ++y)
            for (size_t x = w; x < pitchX; ++x) ASSERT_EQ(rx[y][x], 0xDEADBEEFu) << where;
        }
      }
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
  }
}

// Several one-byte planes distorted together take each plane's own samples: planes apart in
// one walk of bands, and a destination that is another pair's source through the calls one by
// one, in order.
TEST(BandedWarps, PlanesDistortedTogetherAreEachPlanesOwnCall) {
  const int32_t corners[][8] = {{20, 10, 280, 40, 250, 240, 5, 200},
                                {-40, -30, 330, 10, 290, 300, -20, 220}};
  for (auto [w, h] : {std::pair{301, 257}, std::pair{17, 3}, std::pair{2049, 5}, std::pair{1, 1}}) {
    const size_t n = static_cast<size_t>(w) * h;
    for (const auto& c : corners) {
      const auto call = [&](const uint8_t* s, uint8_t* d) {
        X_distort_bufcol(2, h, w, s, h, w, d, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], 1,
                         0, w - 2, h - 1, 0, 90);
      };
      for (int threads : {1, 3, 8}) {
        const Threads t(threads);
        // Apart: four sources, four destinations.
        std::vector<Plane> src, want, got;
        for (uint32_t k = 0; k < 4; ++k) {
          src.push_back(Noise(n, 40 + k));
          want.push_back(Noise(n, 50 + k));
          call(src[k].data(), want[k].data());
          got.push_back(Noise(n, 50 + k));
        }
        const uint8_t* from[4] = {src[0].data(), src[1].data(), src[2].data(), src[3].data()};
        uint8_t* to[4] = {got[0].data(), got[1].data(), got[2].data(), got[3].data()};
        X_distort_planes(4, h, w, from, h, w, to, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7],
                         1, 0, w - 2, h - 1, 90);
        for (int32_t k = 0; k < 4; ++k) ASSERT_EQ(got[k], want[k]) << w << "x" << h << " plane " << k;
        // The first destination is the second source: the second call reads the first's result.
        Plane a = Noise(n, 60), b = Noise(n, 61), d = Noise(n, 62);
        Plane a2 = a, b2 = b, d2 = d;
        call(a.data(), b.data());
        call(b.data(), d.data());
        const uint8_t* chained[2] = {a2.data(), b2.data()};
        uint8_t* into[2] = {b2.data(), d2.data()};
        X_distort_planes(2, h, w, chained, h, w, into, c[0], c[1], c[2], c[3], c[4], c[5], c[6],
                         c[7], 1, 0, w - 2, h - 1, 90);
        ASSERT_EQ(b2, b) << w << "x" << h;
        ASSERT_EQ(d2, d) << w << "x" << h;
      }
    }
  }
}

}  // namespace
