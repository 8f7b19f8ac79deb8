#include "raster/displacement_resample.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// Two 32-bit maps held as row-pointer tables.
struct Maps {
  Maps(int32_t w, int32_t h, uint32_t fill) : x(w * h, fill), y(w * h, fill) {
    for (int32_t r = 0; r < h; ++r) {
      xr.push_back(x.data() + r * w);
      yr.push_back(y.data() + r * w);
    }
  }
  std::vector<uint32_t> x, y;
  std::vector<uint32_t*> xr, yr;
};

struct Planes {
  explicit Planes(int32_t n, uint8_t base) : r(n), g(n), b(n), m(n) {
    for (int32_t i = 0; i < n; ++i) {
      r[i] = static_cast<uint8_t>(base + 10 * i);
      g[i] = static_cast<uint8_t>(base + 3 * i);
      b[i] = static_cast<uint8_t>(255 - 7 * i);
      m[i] = static_cast<uint8_t>(i);
    }
  }
  std::vector<uint8_t> r, g, b, m;
};

TEST(DisplacementResample, NeutralMapsCopyEveryPlane) {
  const int32_t w = 5, h = 4;
  const Planes src(w * h, 1);
  Planes dst(w * h, 0);
  Maps maps(w, h, kDisplacementNeutral);
  ComputeBufRGBInterDisAtXY(h, w, src.r.data(), src.g.data(), src.b.data(), src.m.data(),
                            dst.r.data(), dst.g.data(), dst.b.data(), dst.m.data(), maps.xr.data(),
                            maps.yr.data());
  EXPECT_EQ(dst.r, src.r);
  EXPECT_EQ(dst.g, src.g);
  EXPECT_EQ(dst.b, src.b);
  EXPECT_EQ(dst.m, src.m);
}

TEST(DisplacementResample, PositionsAreHeldInsideThePlane) {
  const int32_t w = 4, h = 1;
  const std::vector<uint8_t> src = {10, 20, 40, 80};
  std::vector<uint8_t> r(4), g(4), b(4), mask(4, 99);
  Maps maps(w, h, kDisplacementNeutral);
  maps.x[0] = kDisplacementNeutral - 128;  // -1 pixel at column 0: column 0
  maps.x[1] = kDisplacementNeutral + 64;   // +0.5: the mean of 20 and 40
  maps.x[2] = kDisplacementNeutral + 16;   // +0.125: 20% of the way to 80, truncated
  maps.x[3] = kDisplacementNeutral + 64;   // +0.5 at the last column: that column alone
  ComputeBufRGBInterDisAtXY(h, w, src.data(), src.data(), src.data(), nullptr, r.data(), g.data(),
                            b.data(), mask.data(), maps.xr.data(), maps.yr.data());
  EXPECT_EQ(r[0], 10);
  EXPECT_EQ(r[1], 30);
  EXPECT_EQ(r[2], 45);
  EXPECT_EQ(r[3], 80);
  EXPECT_EQ(g, r);
  // Without a source mask the destination mask is left alone.
  EXPECT_EQ(mask[0], 99);

  // Far beyond either edge: clamped to the edge sample.
  maps.x[0] = kDisplacementNeutral + 128 * 100;
  maps.x[3] = kDisplacementNeutral - 128 * 100;
  ComputeBufRGBInterDisAtXY(h, w, src.data(), src.data(), src.data(), nullptr, r.data(), g.data(),
                            b.data(), nullptr, maps.xr.data(), maps.yr.data());
  EXPECT_EQ(r[0], 80);
  EXPECT_EQ(r[3], 10);
}

TEST(DisplacementResample, VerticalInterpolationAndFringePercentages) {
  const int32_t w = 1, h = 3;
  const std::vector<uint8_t> src = {0, 100, 200};
  std::vector<uint8_t> r(3), g(3), b(3), r2(3), g2(3), b2(3);
  Maps maps(w, h, kDisplacementNeutral);
  maps.y[0] = kDisplacementNeutral + 96;  // +0.75 row
  ComputeBufRGBInterDisAtXY(h, w, src.data(), src.data(), src.data(), nullptr, r.data(), g.data(),
                            b.data(), nullptr, maps.xr.data(), maps.yr.data());
  EXPECT_EQ(r[0], 75);
  // 100 % for every channel equals the plain pull; 0 % does not move; 200 %
  // moves twice as far.
  ComputeBufRGBInterDisAtXYfring(h, w, src.data(), src.data(), src.data(), nullptr, r2.data(),
                                 g2.data(), b2.data(), nullptr, maps.xr.data(), maps.yr.data(), 100,
                                 0, 200);
  EXPECT_EQ(r2, r);
  EXPECT_EQ(g2[0], 0);
  EXPECT_EQ(b2[0], 150);
}

TEST(DisplacementResample, SingleSampleWeightsInHundredths) {
  const std::vector<uint8_t> src = {0, 255, 255, 0};  // 2 x 2
  uint8_t out = 0;
  Displ(2, 2, src.data(), &out, 0.5, 0.5, -0.5, -0.5, 1.0, 1.0);
  EXPECT_EQ(out, 127);  // 127.5 truncated
  Displ(2, 2, src.data(), &out, 1.0, 0.0, 0.0, -1.0, 1.0, 1.0);
  EXPECT_EQ(out, 255);
}

}  // namespace
