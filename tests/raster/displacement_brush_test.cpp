#include "raster/displacement_brush.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/parallel/parallel.h"
#include "platform/parallel/simd.h"
#include "platform/random/random.h"
#include "raster/colour_select.h"
#include "raster/quad_mapping.h"

namespace {

constexpr int32_t kW = 8;
constexpr int32_t kH = 6;
constexpr uint16_t kN = kBrushMapNeutral;

// A long picture whose pixel value tells its place: 0xAA0000 | y << 8 | x.
std::vector<uint32_t> Numbered(int32_t w, int32_t h) {
  std::vector<uint32_t> p(static_cast<size_t>(w) * h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) p[y * w + x] = 0xAA0000u | (y << 8) | x;
  return p;
}

struct Planes {
  explicit Planes(int32_t n, uint8_t base = 0) {
    for (int k = 0; k < 4; ++k) {
      p[k].resize(n);
      for (int32_t i = 0; i < n; ++i) p[k][i] = static_cast<uint8_t>(base + i + 50 * k);
    }
  }
  std::vector<uint8_t> p[4];
};

// Every member through maps of one value vx, vy; returns the pictures of
// Xold, Xshort and Xlong (its R plane, widened) and checks that each brush
// member equals its whole-picture member inside a square covering all.
struct AllMembers {
  std::vector<uint32_t> old, shrt, lng;
};

AllMembers ApplyAll(uint16_t vx, uint16_t vy, int16_t percent) {
  const auto src = Numbered(kW, kH);
  std::vector<uint16_t> mx(kW * kH, vx), my(kW * kH, vy);
  std::vector<uint32_t> lx(kW * kH, vx), ly(kW * kH, vy);
  AllMembers out;
  out.old.assign(kW * kH, 0);
  out.shrt.assign(kW * kH, 0);
  Xold_CompuDisplace(0, kW, kH, kW, src.data(), out.old.data(), mx.data(), my.data(), percent);
  Xshort_CompuDisplace(0, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, src.data(), out.shrt.data(),
                       mx.data(), my.data(), percent, 1.0f);
  std::vector<uint32_t> b1(kW * kH, 0), b2(kW * kH, 0);
  Xold_Brush_CompuDisplace(0, kW, kH, kW, src.data(), b1.data(), mx.data(), my.data(), 3, 3, 9,
                           percent);
  XShort_Brush_CompuDisplace(0, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, src.data(), b2.data(),
                             mx.data(), my.data(), 3, 3, 9, percent, 1.0f);
  EXPECT_EQ(b1, out.old);
  EXPECT_EQ(b2, out.shrt);
  Planes s(kW * kH), d(kW * kH), d2(kW * kH);
  Xlong_CompuDisplace(kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, s.p[0].data(), s.p[1].data(),
                      s.p[2].data(), s.p[3].data(), d.p[0].data(), d.p[1].data(), d.p[2].data(),
                      d.p[3].data(), lx.data(), ly.data(), percent, 1.0f);
  EXPECT_EQ(X_Brush_CompuDisplace(kH, kW, kH, kW, 0, 0, kW - 1, kH - 1, 1.0f, s.p[0].data(),
                                  s.p[1].data(), s.p[2].data(), s.p[3].data(), d2.p[0].data(),
                                  d2.p[1].data(), d2.p[2].data(), d2.p[3].data(), lx.data(),
                                  ly.data(), 3, 3, 9, percent, 1.0f),
            kW - 1);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(d2.p[k], d.p[k]);
  for (int32_t i = 0; i < kW * kH; ++i) {
    out.lng.push_back(d.p[0][i] | (d.p[1][i] << 8) | (d.p[2][i] << 16) |
                      (static_cast<uint32_t>(d.p[3][i]) << 24));
  }
  return out;
}

uint32_t LongAt(int32_t i) {
  const Planes s(kW * kH);
  return s.p[0][i] | (s.p[1][i] << 8) | (s.p[2][i] << 16) | (static_cast<uint32_t>(s.p[3][i]) << 24);
}

TEST(ApplyDisplacement, NeutralShiftsAndOutsideValuesOfEveryMember) {
  const auto src = Numbered(kW, kH);
  AllMembers m = ApplyAll(kN, kN, 100);
  EXPECT_EQ(m.old, src);
  EXPECT_EQ(m.shrt, src);
  for (int32_t i = 0; i < kW * kH; ++i) ASSERT_EQ(m.lng[i], LongAt(i));

  // Three columns right at 100 %; 192 / 128 is one column at 50 %.
  m = ApplyAll(kN + 384, kN, 100);
  EXPECT_EQ(m.old[2 * kW + 1], src[2 * kW + 4]);
  EXPECT_EQ(m.shrt[2 * kW + 1], src[2 * kW + 4]);
  EXPECT_EQ(m.lng[2 * kW + 1], LongAt(2 * kW + 4));
  // Past the right edge: each member's outside value.
  EXPECT_EQ(m.old[2 * kW + 6], src[2 * kW + 6]);
  EXPECT_EQ(m.shrt[2 * kW + 6], 0x80808080u);
  EXPECT_EQ(m.lng[2 * kW + 6], 0x00FFFFFFu);
  m = ApplyAll(kN + 384, kN, 50);
  EXPECT_EQ(m.old[2 * kW + 1], src[2 * kW + 2]);
  EXPECT_EQ(m.lng[2 * kW + 1], LongAt(2 * kW + 2));
  // Up by less than a pixel truncates to none; up two rows reaches row 0.
  m = ApplyAll(kN, kN - 127, 100);
  EXPECT_EQ(m.shrt, src);
  m = ApplyAll(kN, kN - 256, 100);
  EXPECT_EQ(m.shrt[2 * kW + 5], src[5]);
  EXPECT_EQ(m.shrt[1 * kW + 5], 0x80808080u);
}

TEST(ApplyDisplacement, MapRectangleScaleAndClampedCells) {
  const auto src = Numbered(kW, kH);
  // A 2 x 2 map stretched over the picture: its left column moves by 1,
  // its right column by 2, scaled by 1.5 (rounded half up: 192 and 384).
  std::vector<uint16_t> mx(kW * kH, kN), my(kW * kH, kN);
  mx[0] = mx[kW] = kN + 128;
  mx[1] = mx[kW + 1] = kN + 256;
  std::vector<uint32_t> out(kW * kH, 0);
  Xshort_CompuDisplace(0, kW, kH, kW, 0, 0, 1, 1, 1.5f, src.data(), out.data(), mx.data(),
                       my.data(), 100, 1.0f);
  EXPECT_EQ(out[0], src[1]);            // column 0 reads map column 0
  EXPECT_EQ(out[4], src[4 + 3]);        // column 4: round(4 / 7) = 1
  EXPECT_EQ(out[kW * 5 + 2], src[kW * 5 + 3]);
  // A rectangle reaching past the map reads its last cells, not beyond.
  std::vector<uint32_t> lx(4, kN + 128), ly(4, kN);
  Planes s(kW * kH), d(kW * kH);
  Xlong_CompuDisplace(2, 2, kH, kW, 0, 0, 900, 900, 1.0f, s.p[0].data(), s.p[1].data(),
                      s.p[2].data(), nullptr, d.p[0].data(), d.p[1].data(), d.p[2].data(),
                      nullptr, lx.data(), ly.data(), 100, 1.0f);
  EXPECT_EQ(d.p[1][3], s.p[1][4]);
}

// The plain per-pixel form of the 32-bit map warp.
void ReferenceLong(int32_t w, int32_t h, int32_t mw, int32_t mh, const Planes& s, Planes& d,
                   const std::vector<uint32_t>& mx, const std::vector<uint32_t>& my, int16_t pc,
                   float sx, float sy) {
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t c = std::min(static_cast<int32_t>(x * (mw - 1.0f) / (w - 1) + 0.5f), mw - 1);
      const int32_t r = std::min(static_cast<int32_t>(y * (mh - 1.0f) / (h - 1) + 0.5f), mh - 1);
      const int64_t dx = (int64_t{mx[r * mw + c]} - 32768) * pc / 100;
      const int64_t dy = (int64_t{my[r * mw + c]} - 32768) * pc / 100;
      const int64_t px = x + static_cast<int64_t>(std::floor(dx * sx + 0.5f)) / 128;
      const int64_t py = y + static_cast<int64_t>(std::floor(dy * sy + 0.5f)) / 128;
      const bool in = px >= 0 && py >= 0 && px < w && py < h;
      for (int k = 0; k < 4; ++k) {
        d.p[k][y * w + x] = in ? s.p[k][py * w + px] : (k == 3 ? 0 : 255);
      }
    }
  }
}

TEST(ApplyDisplacement, LongWarpMatchesItsReferenceAtAnyThreadCount) {
  const int32_t w = 67, h = 131, mw = 30, mh = 50;
  plat::SeedRandom(11);
  std::vector<uint32_t> mx(mw * mh), my(mw * mh);
  for (auto& v : mx) v = 32768 + plat::Random() % 4000 - 2000;
  for (auto& v : my) v = 32768 + plat::Random() % 4000 - 2000;
  Planes s(w * h, 3), ref(w * h);
  ReferenceLong(w, h, mw, mh, s, ref, mx, my, 80, 1.3f, 0.7f);
  for (int n : {1, 8}) {
    plat::SetThreadCount(n);
    Planes d(w * h);
    Xlong_CompuDisplace(mh, mw, h, w, 0, 0, mw - 1, mh - 1, 1.3f, s.p[0].data(), s.p[1].data(),
                        s.p[2].data(), s.p[3].data(), d.p[0].data(), d.p[1].data(),
                        d.p[2].data(), d.p[3].data(), mx.data(), my.data(), 80, 0.7f);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(d.p[k], ref.p[k]) << n << " threads, plane " << k;
  }
  plat::SetThreadCount(0);
}

// Maps read a cell a column in order (a rectangle of the picture's size inside a larger map)
// at 100 % and scale 1: a swirl of up to 12 pixels, stretches pushed past every edge and values
// at the ends of the 32 bits and around the vector form's top, with and without alpha planes
// (the alpha source missing too), on odd and tall planes: every SIMD level at one, three and
// eight threads gives the pixel by pixel pull.
TEST(ApplyDisplacement, LongWarpInOrderEqualsThePlainPullAtEveryLevel) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{
           {1, 1}, {17, 3}, {2049, 5}, {5, 2049}, {3, 1}, {47, 301}}) {
    const int32_t mw = w + 5, mh = h + 2;
    std::vector<uint32_t> mx(static_cast<size_t>(mw) * mh), my(mx.size());
    for (int32_t r = 0; r < mh; ++r)
      for (int32_t c = 0; c < mw; ++c) {
        const size_t i = static_cast<size_t>(r) * mw + c;
        double dx = 12.0 * std::sin(c * 0.05 + r * 0.031),
               dy = 12.0 * std::cos(c * 0.043 - r * 0.02);
        if (r % 13 == 5) dx += (c % 2 == 0 ? 1.0 : -1.0) * (w + 3);
        if (c % 11 == 4) dy += (r % 2 == 0 ? 1.0 : -1.0) * (h + 3);
        mx[i] = static_cast<uint32_t>(32768 + static_cast<int64_t>(std::floor(dx * 128.0)));
        my[i] = static_cast<uint32_t>(32768 + static_cast<int64_t>(std::floor(dy * 128.0)));
        const uint32_t extremes[] = {0u,       0xFFFFFFFFu,    0x80000000u,
                                     1u << 22, (1u << 22) - 1, (1u << 24) + 1};
        if (i % 89 == 7) mx[i] = extremes[(i / 89) % 6];
        if (i % 97 == 11) my[i] = extremes[(i / 97) % 6];
      }
    const int32_t n = w * h;
    Planes s(n, 9), ref(n);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const size_t m = static_cast<size_t>(y + 1) * mw + x + 3;
        auto shift = [](uint32_t v) {
          const int64_t d = int64_t{v} - 32768;
          return static_cast<int64_t>(std::floor(static_cast<float>(d) + 0.5f)) / 128;
        };
        const int64_t px = x + shift(mx[m]), py = y + shift(my[m]);
        const bool in = px >= 0 && py >= 0 && px < w && py < h;
        for (int k = 0; k < 4; ++k)
          ref.p[k][y * w + x] = in ? s.p[k][py * w + px] : (k == 3 ? 0 : 255);
      }
    for (const plat::SimdLevel level :
         {plat::SimdLevel::kBaseline, plat::SimdLevel::kAvx2, plat::SimdLevel::kAvx512}) {
      plat::SetSimdLevel(level);
      for (int threads : {1, 3, 8}) {
        plat::SetThreadCount(threads);
        for (int alpha : {0, 1, 2}) {  // both alpha planes, no source alpha, none
          Planes d(n, 77);
          Xlong_CompuDisplace(
              mh, mw, h, w, 3, 1, 3 + w - 1, 1 + h - 1, 1.0f, s.p[0].data(), s.p[1].data(),
              s.p[2].data(), alpha == 0 ? s.p[3].data() : nullptr, d.p[0].data(), d.p[1].data(),
              d.p[2].data(), alpha == 2 ? nullptr : d.p[3].data(), mx.data(), my.data(), 100, 1.0f);
          for (int k = 0; k < 3; ++k)
            ASSERT_EQ(d.p[k], ref.p[k]) << w << "x" << h << " level " << static_cast<int>(level)
                                        << " threads " << threads << " plane " << k;
          const std::vector<uint8_t> alphaWanted = alpha == 0   ? ref.p[3]
                                                   : alpha == 1 ? std::vector<uint8_t>(n, 0)
                                                                : Planes(n, 77).p[3];
          ASSERT_EQ(d.p[3], alphaWanted)
              << w << "x" << h << " threads " << threads << " alpha " << alpha;
        }
      }
    }
    plat::SetSimdLevel(plat::SimdLevel::kAvx512);
    plat::SetThreadCount(0);
  }
}

TEST(ComposeAndMixMaps, CombineInterpolateAndScale) {
  // A moves one column right, B two: composed, three, except where A's
  // fetch falls outside.
  std::vector<uint16_t> ax(kW * kH, kN + 128), ay(kW * kH, kN);
  std::vector<uint16_t> bx(kW * kH, kN + 256), by(kW * kH, kN + 128);
  X_CombineDisplace(0, kW, kH, kW, ax.data(), ay.data(), bx.data(), by.data());
  EXPECT_EQ(ax[0], kN + 384);
  EXPECT_EQ(ay[0], kN + 128);
  EXPECT_EQ(ax[kW - 1], kN + 128);

  // Weight 255 is picture A through its maps; weight 0 picture B.
  const auto a = Numbered(kW, kH);
  std::vector<uint32_t> b(kW * kH, 0x11223344u), r(kW * kH, 0);
  std::vector<uint16_t> nx(kW * kH, kN), ny(kW * kH, kN), sx(kW * kH, kN + 128);
  std::vector<uint16_t> rx(kW * kH), ry(kW * kH);
  ASSERT_EQ(X_InterBufs(255, kW, kH, a.data(), sx.data(), ny.data(), kW, kH, b.data(), nx.data(),
                        ny.data(), kW, kH, r.data(), rx.data(), ry.data()),
            0);
  EXPECT_EQ(r[kW + 2], a[kW + 3]);
  EXPECT_EQ(rx[0], kN + 128);
  ASSERT_EQ(X_InterBufs(0, kW, kH, a.data(), sx.data(), ny.data(), kW, kH, b.data(), nx.data(),
                        ny.data(), kW, kH, r.data(), rx.data(), ry.data()),
            0);
  EXPECT_EQ(r[kW + 2] & 0x00FFFFFFu, 0x223344u);
  EXPECT_EQ(rx[0], kN);
  EXPECT_EQ(X_InterBufs(0, 0, kH, a.data(), sx.data(), ny.data(), kW, kH, b.data(), nx.data(),
                        ny.data(), kW, kH, r.data(), rx.data(), ry.data()),
            -1);

  std::vector<uint16_t> mx(500 * 500, kN + 200), my(500 * 500, kN - 200);
  X_interMask(mx.data(), my.data(), 100);
  EXPECT_EQ(mx[249999], kN + 200);
  EXPECT_EQ(my[0], kN - 200);
  X_interMask(mx.data(), my.data(), 50);
  EXPECT_EQ(mx[0], kN + 100);
  X_interMask(mx.data(), my.data(), 0);
  EXPECT_EQ(mx[123456], kN);
  EXPECT_EQ(my[249999], kN);

  // The 32-bit quad maps: a square onto itself moved 3 right.
  std::vector<uint32_t> qx(20 * 20, 1), qy(20 * 20, 1);
  QuadToQuadLong(20, 20, 0, 0, 0, 0, 0, 0, qx.data(), qy.data(), 2, 2, 9, 2, 9, 9, 2, 9, 5, 2,
                 12, 2, 12, 9, 5, 9);
  EXPECT_EQ(qx[5 * 20 + 8], 32768u - 384u);
  EXPECT_EQ(qy[5 * 20 + 8], 32768u);
  EXPECT_EQ(qx[5 * 20 + 3], 1u);
}

TEST(BrushSquare, PreparedWeights) {
  std::vector<int32_t> w(25);
  X_prepare_Brush(w.data(), 2, 256);
  // R^2 = 4: q = 4 at the centre gives (16 x 256 / 4) >> 8 = 4, q = 3
  // beside it 2, the rim and the corners 0.
  EXPECT_EQ(w[12], 4);
  EXPECT_EQ(w[7], 2);
  EXPECT_EQ(w[2], 0);
  EXPECT_EQ(w[0], 0);
  // Radius 40: q = 1600 at the centre takes the scaled form.
  std::vector<int32_t> big(81 * 81);
  X_prepare_Brush(big.data(), 40, 100);
  EXPECT_EQ(big[40 * 81 + 40], ((160 * 160 * 100 / 1600) * 100) >> 8);
  EXPECT_EQ(big[40 * 81], 0);
  int32_t top = 0;
  for (int32_t v : big) top = std::max(top, v);
  EXPECT_EQ(top, big[40 * 81 + 40]);
  // Above 40 a tenth of the hardness; at most 4096.
  std::vector<int32_t> huge(101 * 101);
  X_prepare_Brush(huge.data(), 50, 30000);
  EXPECT_EQ(huge[50 * 101 + 50], 4096);
  X_prepare_Brush(huge.data(), 50, 100);
  EXPECT_EQ(huge[50 * 101 + 50], ((250 * 250 * 10 / 2500) * 100) >> 8);
}

// A dab on a 5 x 5 picture with a 5 x 5 map, brush radius 1 of one weight.
struct BrushMaps {
  std::vector<uint32_t> x = std::vector<uint32_t>(25, kN), y = std::vector<uint32_t>(25, kN);
  std::vector<uint32_t> ox = std::vector<uint32_t>(25, 40000), oy = std::vector<uint32_t>(25, kN);
  void Dab(int16_t start, int32_t px, int32_t py, int16_t tool, int16_t along, uint16_t w,
           int16_t strength = 100) {
    const std::vector<uint16_t> brush(9, w);
    X_Brush_Displace(start, 5, 5, 5, 5, 0, 0, 4, 4, 1.0f, 1.0f, x.data(), y.data(), ox.data(),
                     oy.data(), brush.data(), px, py, 1, tool, along, strength, 0, 7);
  }
};

TEST(DisplacementBrush, PushRelaxRestoreAndJitter) {
  BrushMaps m;
  m.Dab(0, 2, 2, 0, 0, 65535);
  // Across the stroke: one row down pushes x by -16 (weight just under 1).
  m.Dab(1, 2, 3, 0, 0, 65535);
  EXPECT_EQ(m.x[3 * 5 + 2], kN - 16u);
  EXPECT_EQ(m.x[4 * 5 + 1], kN - 16u);
  EXPECT_EQ(m.x[1 * 5 + 2], kN);  // outside the brush
  EXPECT_EQ(m.y[3 * 5 + 2], kN);
  // Along the stroke the push accumulates: -128 then -256, at half weight.
  m.Dab(0, 0, 0, 0, 1, 32768);
  m.Dab(1, 2, 0, 4, 1, 32768);
  m.Dab(1, 4, 0, 4, 1, 32768);
  EXPECT_EQ(m.x[1], kN - 64u);
  EXPECT_EQ(m.x[3], kN - 64u - 128u);
  EXPECT_EQ(m.x[5 + 4], kN - 128u);
  // Relax: weight 16384 (k = 4096) sets no displacement; 8192 halves it.
  m.x[0] = kN + 1000;
  m.x[1] = kN + 1000;
  m.Dab(1, 0, 0, 1, 1, 8192);
  EXPECT_EQ(m.x[0], kN + 500u);
  m.Dab(1, 0, 0, 1, 1, 16384);
  EXPECT_EQ(m.x[1], kN);
  // Restore moves halfway back to the original at weight 8192.
  m.Dab(1, 4, 4, 3, 1, 8192);
  EXPECT_EQ(m.x[24], (kN + 40000u) / 2);
  // Values stay within 0..65536.
  m.Dab(0, 0, 5000, 0, 0, 65535);
  m.Dab(1, 0, 0, 0, 0, 65535);
  EXPECT_EQ(m.x[0], 65536u);
  m.Dab(0, 0, -5000, 0, 0, 65535);
  m.Dab(1, 0, 0, 0, 0, 65535);
  EXPECT_EQ(m.x[0], 0u);

  // Jitter: y first (scaled by the width), then x (by the height), one pair
  // of draws per map cell in row order, reproducible under one seed.
  BrushMaps j1, j2;
  j1.Dab(0, 0, 0, 2, 0, 40000);
  plat::SeedRandom(77);
  j1.Dab(1, 0, 0, 2, 0, 40000, 50);
  plat::SeedRandom(77);
  j2.Dab(1, 0, 0, 2, 0, 40000, 50);
  EXPECT_EQ(j1.x, j2.x);
  EXPECT_EQ(j1.y, j2.y);
  plat::SeedRandom(77);
  auto jitter = [](int64_t size) {
    const int64_t r = plat::Random() % 100;
    const int64_t d = r < 50 ? size * 40000 * (50 - r) / 6553600 : -size * 40000 * (r - 50) / 6553600;
    return d * 50 / 100;
  };
  const int64_t dy = jitter(5);
  const int64_t dx = jitter(5);
  EXPECT_EQ(int64_t{j1.y[0]}, kN + dy);
  EXPECT_EQ(int64_t{j1.x[0]}, kN + dx);
}

TEST(MaskedPaintBrush, WeightsMaskAndInvert) {
  const int32_t w = 4, h = 4;
  std::vector<uint8_t> r(16, 10), g(16, 20), b(16, 30), plane(16, 100);
  std::vector<int16_t> brush = {0, 2048, 0, 2048, 4096, 2048, 0, 2048, 0};
  X_Brush_DtyMsk(0, 0, 0, h, w, r.data(), g.data(), b.data(), plane.data(), brush.data(), nullptr,
                 0, 0, 1, 200);
  EXPECT_EQ(plane[0], 200);
  EXPECT_EQ(plane[1], 150);
  EXPECT_EQ(plane[5], 100);
  // An enabled mask without active selections weighs every pixel 0; its
  // inverse 255.
  auto mask = std::make_unique<TMaskPar>();
  *mask = TMaskPar{};
  mask->enabled = 1;
  std::fill(plane.begin(), plane.end(), 100);
  X_Brush_DtyMsk(0, 0, 0, h, w, r.data(), g.data(), b.data(), plane.data(), brush.data(),
                 mask.get(), 2, 2, 1, 0);
  EXPECT_EQ(plane[10], 100);
  mask->invert = 1;
  X_Brush_DtyMsk(0, 0, 0, h, w, r.data(), g.data(), b.data(), plane.data(), brush.data(),
                 mask.get(), 2, 2, 1, 0);
  EXPECT_EQ(plane[10], 0);
  EXPECT_EQ(plane[9], 50);
  EXPECT_EQ(plane[0], 100);
}

}  // namespace
