// Golden masks: the soft, feathered and colour-blended fills of a star, an
// ellipse and an offset rounded rectangle at 512 x 384, pinned by hashes of
// their bytes. A change here changes every path frame and shape engine.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "path_fixture.h"
#include "paths/path_fill.h"
#include "paths/path_list.h"
#include "paths/shape_params.h"

namespace {

constexpr int32_t kW = 512;
constexpr int32_t kH = 384;

uint64_t Fnv1a(const std::vector<uint8_t>& bytes, uint64_t h = 1469598103934665603ULL) {
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ULL;
  }
  return h;
}

enum Shape { kStar, kEllipse, kRoundedRect };

void Build(CPathList& l, Shape shape) {
  int32_t* w = l.objPar.w;
  w[kObjCentreX] = 256;
  w[kObjCentreY] = 192;
  switch (shape) {
    case kStar:
      w[kObjStarPoints] = 7;
      w[kObjStarRadius] = 170;
      w[kObjStarInner] = 45;
      w[kObjTipStyle] = 2;
      w[kObjInnerStyle] = 3;
      l.fct_crea_ngon(0);
      break;
    case kEllipse:
      w[kObjBoxWidth] = 380;
      w[kObjBoxHeight] = 251;
      l.fct_crea_ellipse(0);
      break;
    case kRoundedRect:
      w[kObjBoxLeft] = 60;
      w[kObjBoxTop] = 50;
      w[kObjBoxWidth] = 390;
      w[kObjBoxHeight] = 280;
      w[kObjCornerRadius + 0] = 40;
      w[kObjCornerRadius + 2] = 25;
      w[kObjCornerRadius + 3] = 60;
      w[kObjCornerStyle + 2] = 1;
      w[kObjOutlineOffset] = -12;
      l.fct_crea_RRect(0);
      break;
  }
}

class PathMaskGoldenTest : public pathtest::PathTest {
 protected:
  std::vector<uint8_t> Mask(Shape shape, int32_t feather) {
    CPathList l(0);
    Build(l, shape);
    std::vector<uint8_t> m(kW * kH, 0);
    EXPECT_EQ(FillColPath(0, &l, kH, kW, m.data(), 1, kH, 1.0f, 1.0f, 0, 0, 255, feather), 0);
    return m;
  }

  // Three gradient planes and a ramped selection, blended with a colour.
  uint64_t Blended(Shape shape) {
    CPathList l(0);
    Build(l, shape);
    std::vector<uint8_t> m(kW * kH, 0), sel(kW * kH);
    std::vector<uint8_t> planes[3];
    for (int c = 0; c < 3; ++c) planes[c].resize(kW * kH);
    for (int y = 0; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        planes[0][y * kW + x] = static_cast<uint8_t>(x);
        planes[1][y * kW + x] = static_cast<uint8_t>(y);
        planes[2][y * kW + x] = static_cast<uint8_t>(x ^ y);
        sel[y * kW + x] = static_cast<uint8_t>(255 - y / 2);
      }
    }
    const uint8_t colour[3] = {250, 40, 120};
    const int16_t opacity = 180;
    EXPECT_EQ(FillColinPath(0, &l, kH, kW, m.data(), kH, planes[0].data(), planes[1].data(),
                            planes[2].data(), nullptr, kH, kW, 20, 0, kW - 30, kH - 1, 3,
                            sel.data(), colour, &opacity),
              0);
    uint64_t h = Fnv1a(m);
    for (const auto& p : planes) h = Fnv1a(p, h);
    return h;
  }
};

TEST_F(PathMaskGoldenTest, SoftFeatheredAndBlendedMasks) {
  const Shape shapes[3] = {kStar, kEllipse, kRoundedRect};
  const uint64_t soft[3] = {16211024919747652798ULL, 7484357950821221538ULL,
                            16226718185037965513ULL};
  const uint64_t feathered[3] = {12424135183988333893ULL, 16637521724565624555ULL,
                                 7672675303339068059ULL};
  const uint64_t blended[3] = {5693828705668746433ULL, 14734256071714246215ULL,
                               12242560806683027216ULL};
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> m = Mask(shapes[i], 0);
    EXPECT_GT(std::count(m.begin(), m.end(), 255), kW * kH / 16) << i;
    EXPECT_EQ(Fnv1a(m), soft[i]) << "soft " << i;
    EXPECT_EQ(Fnv1a(Mask(shapes[i], 6)), feathered[i]) << "feathered " << i;
    EXPECT_EQ(Blended(shapes[i]), blended[i]) << "blended " << i;
  }
}

}  // namespace
